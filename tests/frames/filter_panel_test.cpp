// The filter panel's SELECT builder and carry-over without a server: conditions of each
// kind, one BETWEEN for both bounds, blank cells as empty, the free condition after the
// rows, the sort by number and DESC with the cells rewritten, auto-quoting by type with the
// table's and the view's rules, odd names always quoted, and the history order.
#include "core/kdsub_text.h"
#include "controls/kdgrid.h"
#include "frames/filter_panel.h"
#include "support/qstring_printer.h"

#include <QAction>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TFilterRow Row(const QString &column, const QStringList &cells)
{
    TFilterRow r;
    r.Column = column;
    for (int i = 0; i < cells.size() && i < fcCount; ++i)
        r.Cells[i] = cells[i];
    return r;
}

TEST(FilterPanelTest, ConditionsOfEachKind)
{
    struct Case {
        QList<TFilterRow> rows;
        QString where, expected;
    } cases[] = {
        {{Row("a", {})}, "", "SELECT \"a\", \"b\" FROM \"s\".\"t\""},
        {{Row("a", {"1"})}, "", "SELECT \"a\", \"b\" FROM \"s\".\"t\" WHERE \"a\" = 1 "},
        {{Row("a", {"", "2"})}, "", "SELECT \"a\", \"b\" FROM \"s\".\"t\" WHERE \"a\" <> 2 "},
        {{Row("a", {"", "", "3", "9"})}, "", "SELECT \"a\", \"b\" FROM \"s\".\"t\" WHERE \"a\" BETWEEN 3 AND 9 "},
        {{Row("a", {"", "", "3"})}, "", "SELECT \"a\", \"b\" FROM \"s\".\"t\" WHERE \"a\" >= 3 "},
        {{Row("a", {"", "", "", "9"})}, "", "SELECT \"a\", \"b\" FROM \"s\".\"t\" WHERE \"a\" <= 9 "},
        {{Row("b", {"", "", "", "", "'%x%'"})}, "", "SELECT \"a\", \"b\" FROM \"s\".\"t\" WHERE \"b\" LIKE '%x%' "},
        {{Row("a", {"1"}), Row("b", {"'x'"})}, "",
         "SELECT \"a\", \"b\" FROM \"s\".\"t\" WHERE \"a\" = 1 AND \"b\" = 'x' "},
        {{Row("a", {"   ", " "})}, "", "SELECT \"a\", \"b\" FROM \"s\".\"t\""},
        {{Row("a", {"1"})}, "b IS NULL", "SELECT \"a\", \"b\" FROM \"s\".\"t\" WHERE \"a\" = 1  AND b IS NULL"},
        {{Row("a", {})}, "b IS NULL", "SELECT \"a\", \"b\" FROM \"s\".\"t\" WHERE b IS NULL"},
    };
    for (Case &c : cases) {
        EXPECT_EQ(BuildFilterSelect("s", "t", {"a", "b"}, c.rows, c.where), c.expected) << c.expected.toStdString();
    }
}

TEST(FilterPanelTest, OddNamesAreQuotedValuesStayTheUsersSql)
{
    QList<TFilterRow> rows = {Row("a\"b", {"x + 1"}), Row("select", {"", "", "", "", "", "1"})};
    EXPECT_EQ(BuildFilterSelect("sch ema", "表 \"1\"", {"a\"b", "select"}, rows, ""),
              "SELECT \"a\"\"b\", \"select\" FROM \"sch ema\".\"表 \"\"1\"\"\" WHERE \"a\"\"b\" = x + 1  ORDER BY \"select\"");
}

TEST(FilterPanelTest, SortByNumberAndDescRewritesTheCells)
{
    QList<TFilterRow> rows = {Row("a", {"", "", "", "", "", "2"}), Row("b", {"", "", "", "", "", "1 desc"}),
                              Row("c", {"", "", "", "", "", "x"}), Row("d", {"", "", "", "", "", "DESC"})};
    const QString sql = BuildFilterSelect("s", "t", {"a"}, rows, "");
    EXPECT_EQ(sql, "SELECT \"a\" FROM \"s\".\"t\" ORDER BY \"d\" DESC,\"b\" DESC,\"a\"");
    EXPECT_EQ(rows[0].Cells[fcSort], "3");
    EXPECT_EQ(rows[1].Cells[fcSort], "2 DESC");
    EXPECT_EQ(rows[2].Cells[fcSort], "");
    EXPECT_EQ(rows[3].Cells[fcSort], "1 DESC");
}

TEST(FilterPanelTest, CarryOverKeepsCellsByNameAndQuotesCharacterColumns)
{
    const QList<TFilterRow> previous = {Row("NAME", {"abc", "'q'", "", "", "ab"}), Row("n", {"5", "", "", "", "", "1"}),
                                        Row("gone", {"1"}), Row("code", {"", "", "", "", "a_c"})};
    const QList<TFilterColumn> columns = {{"name", "character varying"}, {"n", "integer"}, {"code", "character"},
                                          {"tags", "character varying[]"}, {"new", "text"}};
    const QList<TFilterRow> table = CarryOverFilterRows(previous, columns, true, TFilterStyle::Table());
    ASSERT_EQ(table.size(), 5);
    EXPECT_EQ(table[0].Column, "name");
    EXPECT_EQ(table[0].Cells[fcEqual], "'abc'");
    EXPECT_EQ(table[0].Cells[fcNotEqual], "'q'") << "a quoted value stays";
    EXPECT_EQ(table[0].Cells[fcLike], "'%ab%'");
    EXPECT_EQ(table[1].Cells[fcEqual], "5") << "numbers are not quoted";
    EXPECT_EQ(table[1].Cells[fcSort], "1");
    EXPECT_EQ(table[2].Cells[fcLike], "'a_c'");
    EXPECT_TRUE(table[4].Cells[fcEqual].isEmpty());

    const QList<TFilterRow> view = CarryOverFilterRows(previous, columns, true, TFilterStyle::View());
    EXPECT_EQ(view[0].Cells[fcLike], "'ab'") << "the view quotes patterns as they are";
    const QList<TFilterRow> off = CarryOverFilterRows(previous, columns, false, TFilterStyle::Table());
    EXPECT_EQ(off[0].Cells[fcEqual], "abc");

    EXPECT_TRUE(IsFilterCharacterType("national character varying[]", TFilterStyle::Table()));
    EXPECT_FALSE(IsFilterCharacterType("national character varying", TFilterStyle::View()));
    EXPECT_FALSE(IsFilterCharacterType("text", TFilterStyle::Table()));
}

TEST(FilterPanelTest, HistoryMovesAnEntryToTheTopAndKeepsTwenty)
{
    QStringList items;
    for (int i = 0; i < 20; ++i)
        items << QString("a = %1").arg(i);
    PushFilterHistory(items, "A = 5");
    EXPECT_EQ(items.size(), 20);
    EXPECT_EQ(items[0], "A = 5");
    EXPECT_EQ(items.filter(QRegularExpression("^a = 5$", QRegularExpression::CaseInsensitiveOption)).size(), 1);
    PushFilterHistory(items, "b = 1");
    EXPECT_EQ(items.size(), 20);
    EXPECT_EQ(items.last(), "a = 18");
}

// The column names stand on the button face so they read as labels; the condition cells
// keep the grid's base colour.
TEST(FilterPanelTest, ColumnNamesArePaintedOnTheButtonFace)
{
    TfraFilterPanel panel(TFilterStyle::Table());
    panel.SetColumns({{"name", "text"}, {"id", "integer"}});
    QPalette pal = panel.grdWhere->palette();
    pal.setColor(QPalette::Button, QColor(10, 200, 30));
    pal.setColor(QPalette::Base, QColor(250, 250, 250));
    panel.grdWhere->setPalette(pal);
    if (!panel.btnWhere->isChecked())
        panel.btnWhere->trigger();
    panel.resize(900, 300);
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    ASSERT_TRUE(panel.grdWhere->isVisible());
    const QImage img = panel.grdWhere->viewport()->grab().toImage();
    const qreal dpr = img.devicePixelRatio();
    auto pixel = [&](int col, int row) {
        const QRect r = panel.grdWhere->visualRect(panel.grdWhere->model()->index(row, col));
        return QColor(img.pixel(int((r.right() - 3) * dpr), int((r.bottom() - 3) * dpr)));
    };
    EXPECT_EQ(pixel(0, 0), QColor(10, 200, 30));
    EXPECT_EQ(pixel(0, 1), QColor(10, 200, 30));
    EXPECT_NE(pixel(1, 0), QColor(10, 200, 30));
    EXPECT_NE(pixel(6, 1), QColor(10, 200, 30));
}

} // namespace
