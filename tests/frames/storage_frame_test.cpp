// The storage frame's readers without a window or server: reloptions items and parent names.
#include "frames/storage_frame.h"
#include "support/qstring_printer.h"

#include <gtest/gtest.h>
#include <stdexcept>

TEST(StorageOptions, ItemsSplitAtTheFirstEqualSign)
{
    struct Case { QString item; int row; QString value; };
    const Case cases[] = {
        {"autovacuum_vacuum_cost_delay=2.5", 5, "2.5"},
        {"autovacuum_vacuum_scale_factor=1", 3, "1"},
        {"autovacuum_analyze_scale_factor=0.02", 4, "0.02"},
        {"autovacuum_vacuum_threshold=100", 1, "100"},
        {"autovacuum_freeze_table_age=150000000", 9, "150000000"},
        {"autovacuum_enabled=true", 0, "true"},
        {"autovacuum_enabled=on", 0, "true"},
        {"autovacuum_enabled=false", 0, "false"},
        {"autovacuum_enabled=off", 0, "false"},
        // Not a plain unsigned number: shown empty, never written back altered.
        {"autovacuum_vacuum_cost_limit=-1", 6, ""},
        {"autovacuum_vacuum_cost_delay=1e1", 5, ""},
    };
    for (const Case &c : cases) {
        const QStringList v = ParseVacuumOptions({QStringLiteral("fillfactor=70"), c.item});
        ASSERT_EQ(v.size(), 10);
        for (int row = 0; row < 10; ++row)
            EXPECT_EQ(v[row], row == c.row ? c.value : QString()) << c.item.toStdString() << " row " << row;
    }
    EXPECT_EQ(ParseVacuumOptions({}), QStringList(10));
}

TEST(StorageParents, TypedNamesAreReadAsQualifiedNames)
{
    struct Case { QString text; bool ok; QString schema, name, quoted; };
    const Case cases[] = {
        {"sales.orders", true, "sales", "orders", "sales.orders"},
        {"  orders ", true, "", "orders", "orders"},
        {"Sales.Orders", true, "sales", "orders", "sales.orders"},
        {"\"Archive\".\"Memo \"\"Draft\"\"\"", true, "Archive", "Memo \"Draft\"", "\"Archive\".\"Memo \"\"Draft\"\"\""},
        {"inventory.\"冷蔵点検\"", true, "inventory", "冷蔵点検", "inventory.冷蔵点検"},
        {"\"a.b(c\"", true, "", "a.b(c", "\"a.b(c\""},
        {"a.b.c", false, "", "", ""},
        {"\"open", false, "", "", ""},
        {"a b", false, "", "", ""},
        {"x; DROP TABLE y", false, "", "", ""},
        {"", false, "", "", ""},
        {"1abc", false, "", "", ""},
        {"a.", false, "", "", ""},
    };
    for (const Case &c : cases) {
        QString schema, name;
        EXPECT_EQ(ParseTableName(c.text, schema, name), c.ok) << c.text.toStdString();
        if (c.ok) {
            EXPECT_EQ(schema, c.schema) << c.text.toStdString();
            EXPECT_EQ(name, c.name) << c.text.toStdString();
            EXPECT_EQ(QuotedTableName(c.text), c.quoted) << c.text.toStdString();
        } else {
            try {
                QuotedTableName(c.text);
                ADD_FAILURE() << "accepted " << c.text.toStdString();
            } catch (const std::runtime_error &e) {
                EXPECT_STREQ(e.what(), "親テーブル名が正しくありません。");
            }
        }
    }
}
