// INSERT statements of rows without a server: literals by type (numbers and booleans plain,
// words like NaN quoted, every other type quoted with its cast, empty text as '', NULL as
// null, generated columns DEFAULT), the wrap after 70 characters, and the COPY text decoder.
#include "editors/table_inserts.h"
#include "support/qstring_printer.h"

#include <gtest/gtest.h>

namespace {

TInsertColumn C(const QString &type)
{
    return TInsertColumn{type, InsertKindOf(type)};
}

TEST(TableInsertsTest, LiteralsByType)
{
    struct Case {
        QString type, value;
        bool null;
        QString expected;
    } cases[] = {
        {"integer", "42", false, "42"},
        {"bigint", "-9223372036854775808", false, "-9223372036854775808"},
        {"numeric(12,2)", "1234.50", false, "1234.50"},
        {"numeric", "NaN", false, "'NaN'::numeric"},
        {"double precision", "-Infinity", false, "'-Infinity'::double precision"},
        {"real", "1.23456791e+10", false, "1.23456791e+10"},
        {"boolean", "t", false, "true"},
        {"boolean", "f", false, "false"},
        {"text", "", false, "''::text"},
        {"text", "it's", false, "'it''s'::text"},
        {"character varying(10)", "表", false, "'表'::character varying(10)"},
        {"text", "", true, "null"},
        {"integer", "", true, "null"},
        {"bytea", "\\x00ff", false, "E'\\\\x00ff'::bytea"},
        {"uuid", "a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11", false, "'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11'::uuid"},
        {"jsonb", "{\"a\": 1}", false, "'{\"a\": 1}'::jsonb"},
        {"integer[]", "{1,2}", false, "'{1,2}'::integer[]"},
        {"sales.order_status", "draft", false, "'draft'::sales.order_status"},
        {"date", "2025-01-31", false, "'2025-01-31'::date"},
        {"timestamp(3) with time zone", "2025-01-31 10:11:12.345+09", false,
         "'2025-01-31 10:11:12.345+09'::timestamp(3) with time zone"},
        {"interval", "1 day 02:00:00.5", false, "'1 day 02:00:00.5'::interval"},
        {"sales.money_amount", "12.00", false, "'12.00'::sales.money_amount"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(InsertLiteral(c.value, c.null, C(c.type)), c.expected) << c.type.toStdString();
    EXPECT_EQ(InsertLiteral("x", false, TInsertColumn{"numeric", TInsertKind::Generated}), "DEFAULT");
}

TEST(TableInsertsTest, RowsWrapAfterSeventyCharacters)
{
    QStringList out;
    const QList<TInsertColumn> cols = {C("integer"), C("text"), C("text")};
    AppendInsertRow(out, "INSERT INTO t VALUES(", cols, {"1", "a", "b"}, {false, false, false});
    EXPECT_EQ(out, QStringList({"INSERT INTO t VALUES(1,'a'::text,'b'::text)", ";"}));
    out.clear();
    const QString longText(60, QLatin1Char('x'));
    const QString longer(70, QLatin1Char('y'));
    AppendInsertRow(out, "INSERT INTO t VALUES(", cols, {"1", longText, longer}, {false, false, false});
    ASSERT_EQ(out.size(), 4);
    EXPECT_EQ(out[0], "INSERT INTO t VALUES(1,'" + longText + "'::text,");
    EXPECT_EQ(out[1], "'" + longer + "'::text");
    EXPECT_EQ(out[2], ")") << "the last value ran over: the bracket stands alone";
    EXPECT_EQ(out[3], ";");
}

TEST(TableInsertsTest, CopyTextDecodes)
{
    QStringList v;
    QList<bool> n;
    DecodeCopyRow("1\t\\N\ta\\tb\\nc\\\\d\t", v, n);
    EXPECT_EQ(v, QStringList({"1", "", "a\tb\nc\\d", ""}));
    EXPECT_EQ(n, QList<bool>({false, true, false, false}));
}

} // namespace
