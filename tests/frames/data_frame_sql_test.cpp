// The statements the data frame builds, the clipboard form of values, and the plan parser,
// as tables of cases.
#include "frames/data_frame_sql.h"
#include "frames/plan_frame.h"
#include "frames/xls_sql_dialog.h"
#include "support/qstring_printer.h"

#include <gtest/gtest.h>

using namespace dataframe;

TEST(DataFrameSql, TrailingSemicolonOnlyOutsideLiteralsAndComments)
{
    struct Case { QString in, out; };
    const Case cases[] = {
        {"SELECT 1;", "SELECT 1"},
        {"SELECT 1 ;  ", "SELECT 1   "},
        {"SELECT 1; -- done", "SELECT 1 -- done"},
        {"SELECT ';'", "SELECT ';'"},
        {"SELECT 1 -- no;", "SELECT 1 -- no;"},
        {"SELECT 1 /* ; */", "SELECT 1 /* ; */"},
        {"SELECT $$;$$", "SELECT $$;$$"},
        {"SELECT \"a;\" FROM t", "SELECT \"a;\" FROM t"},
        {"SELECT 1;;", "SELECT 1;"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(StripTrailingSemicolon(c.in), c.out) << c.in.toStdString();
}

TEST(DataFrameSql, OrderByAndLimitAreFoundAtTheTopLevelOnly)
{
    struct Case { QString sql; bool order, limit; };
    const Case cases[] = {
        {"SELECT * FROM t ORDER BY a", true, false},
        {"select * from t order by a", true, false},
        {"SELECT a, row_number() OVER (ORDER BY a) FROM t", false, false},
        {"SELECT * FROM (SELECT * FROM t ORDER BY a LIMIT 3) s", false, false},
        {"SELECT 'ORDER BY' FROM t", false, false},
        {"SELECT * FROM t -- ORDER BY a", false, false},
        {"SELECT * FROM t LIMIT 3", false, true},
        {"SELECT * FROM t OFFSET 3", false, true},
        {"SELECT * FROM t FETCH FIRST 3 ROWS ONLY", false, true},
        {"SELECT \"order\" FROM t", false, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(HasTopLevelOrderBy(c.sql), c.order) << c.sql.toStdString();
        EXPECT_EQ(HasTopLevelLimit(c.sql), c.limit) << c.sql.toStdString();
    }
}

TEST(DataFrameSql, BuildDataSqlAppendsSortAndLimitOnLinesOfTheirOwn)
{
    struct Case { QString sql; int sort; bool desc; std::optional<int> limit; QString out; };
    const Case cases[] = {
        {"SELECT * FROM t", 0, false, std::nullopt, "SELECT * FROM t"},
        {"SELECT * FROM t;", 0, false, std::nullopt, "SELECT * FROM t;"},
        {"SELECT * FROM t;", 2, false, std::nullopt, "SELECT * FROM t\nORDER BY 2"},
        {"SELECT * FROM t\n", 1, true, std::nullopt, "SELECT * FROM t\nORDER BY 1 DESC"},
        {"SELECT * FROM t -- note", 1, false, std::nullopt, "SELECT * FROM t -- note\nORDER BY 1"},
        {"SELECT * FROM t", 0, false, 100, "SELECT * FROM t\nLIMIT 100"},
        {"SELECT * FROM t;", 3, true, 5, "SELECT * FROM t\nORDER BY 3 DESC\nLIMIT 5"},
        {"SELECT * FROM t ORDER BY a", 2, false, std::nullopt, "SELECT * FROM t ORDER BY a"},
        {"SELECT * FROM t order by a", 2, false, 10, "SELECT * FROM t order by a\nLIMIT 10"},
        {"SELECT a FROM t LIMIT 3", 1, true, std::nullopt, "SELECT * FROM (\nSELECT a FROM t LIMIT 3\n) AS t\nORDER BY 1 DESC"},
        {"SELECT a FROM t LIMIT 3 -- c", 1, false, std::nullopt, "SELECT * FROM (\nSELECT a FROM t LIMIT 3 -- c\n) AS t\nORDER BY 1"},
        {"SELECT a, rank() OVER (ORDER BY a) FROM t", 2, false, std::nullopt,
         "SELECT a, rank() OVER (ORDER BY a) FROM t\nORDER BY 2"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(BuildDataSQL(c.sql, c.sort, c.desc, c.limit), c.out) << c.sql.toStdString();
}

TEST(DataFrameSql, AggregateStatementClosesOnItsOwnLine)
{
    EXPECT_EQ(AggregateSQL("SUM", "\"a\"", "  SELECT a FROM t; -- x\n"),
              "SELECT SUM(\"a\") FROM (\nSELECT a FROM t -- x\n) TBL");
}

TEST(DataFrameSql, CellQuotingTable)
{
    struct Case { QString in, out; };
    const Case cases[] = {
        {"plain", "plain"},
        {"", ""},
        {"a\tb", "\"a\tb\""},
        {"a\r\nb", "\"a\nb\""},
        {"a\rb", "\"a\nb\""},
        {"a\nb", "\"a\nb\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"日本,語", "日本,語"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(QuoteCellText(c.in), c.out) << c.in.toStdString();
}

TEST(DataFrameSql, LeadingPointGetsAZero)
{
    EXPECT_EQ(FixLeadingPoint(".25"), "0.25");
    EXPECT_EQ(FixLeadingPoint("-.25"), "-.25");
    EXPECT_EQ(FixLeadingPoint("1.5"), "1.5");
}

TEST(XlsSqlDialog, TargetNamesBecomeXlsx)
{
    struct Case { QString in, out; };
    const Case cases[] = {
        {"/tmp/a", "/tmp/a.xlsx"},
        {"/tmp/a.xlsx", "/tmp/a.xlsx"},
        {"/tmp/a.XLSX", "/tmp/a.XLSX"},
        {"/tmp/a.xls", "/tmp/a.xlsx"},
        {"/tmp/a.XLS", "/tmp/a.XLSx"},
        {"/tmp/a.csv", "/tmp/a.csv.xlsx"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(XlsTargetFileName(c.in), c.out);
    const QStringList cols = XlsColumnNames();
    ASSERT_EQ(cols.size(), 256);
    EXPECT_EQ(cols.at(0), "A");
    EXPECT_EQ(cols.at(25), "Z");
    EXPECT_EQ(cols.at(26), "AA");
    EXPECT_EQ(cols.at(27), "AB");
    EXPECT_EQ(cols.at(255), "IV");
}

// Plans as PostgreSQL 15 prints them in FORMAT TEXT.
TEST(PlanParser, LinesLevelsAndParents)
{
    const QStringList rows{
        "Hash Join  (cost=60.85..99.39 rows=2260 width=8)",
        "  Hash Cond: (a.id = b.id)",
        "  InitPlan 1 (returns $0)",
        "    ->  Result  (cost=0.00..0.01 rows=1 width=4)",
        "  ->  Seq Scan on a  (cost=0.00..32.60 rows=2260 width=8)",
        "        Filter: (x > 1)",
        "  ->  Hash  (cost=32.60..32.60 rows=2260 width=4)",
        "        ->  Seq Scan on b  (cost=0.00..32.60 rows=2260 width=4)",
        "  ->  Seq Scan on c  (cost=0.00..1.00 rows=1 width=4)",
    };
    const QStringList lines = PlanLines("select * from a", rows);
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines.at(0), "select STATEMENT");
    const TTreInf recs = ParsePlanLines(lines);
    struct Want { int lv; QString op, cost, rows, width; };
    const Want want[] = {
        {0, "select STATEMENT", "", "", ""},
        {1, "Hash Join Hash Cond: (a.id = b.id) InitPlan 1 (returns $0)", "60.85..99.39", "2260", "8"},
        {2, "Result", "0.00..0.01", "1", "4"}, // an init plan's node, 2 columns further right
        {2, "Seq Scan on a Filter: (x > 1)", "0.00..32.60", "2260", "8"},
        {2, "Hash", "32.60..32.60", "2260", "4"},
        {3, "Seq Scan on b", "0.00..32.60", "2260", "4"},
        {2, "Seq Scan on c", "0.00..1.00", "1", "4"},
    };
    ASSERT_EQ(recs.size(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(recs.at(i).intLv, want[i].lv) << i;
        EXPECT_EQ(recs.at(i).strOperation, want[i].op) << i;
        EXPECT_EQ(recs.at(i).strCost, want[i].cost) << i;
        EXPECT_EQ(recs.at(i).strRows, want[i].rows) << i;
        EXPECT_EQ(recs.at(i).strWidth, want[i].width) << i;
    }
    EXPECT_EQ(PlanParents(recs), (QList<int>{-1, 0, 1, 1, 1, 4, 1}));
}

TEST(PlanParser, StatementWordAndTreeNeverClimbsAboveTheTop)
{
    EXPECT_EQ(PlanLines("  create table x as select 1", {}).at(0), "CREATE TABLE AS STATEMENT");
    EXPECT_EQ(PlanLines("With q AS (select 1) select * from q", {}).at(0), "With STATEMENT");
    TTreInf recs;
    for (int lv : {0, 1, 2, 3, 4, 2, 1, 5, 1})
        recs.append(TTreDtlInf{lv, QString(), QString(), QString(), QString()});
    // A jump back from level 5 to 1 lands below the statement line, never above the top.
    EXPECT_EQ(PlanParents(recs), (QList<int>{-1, 0, 1, 2, 3, 1, 0, 6, 0}));
    TTreInf deep{{0, "", "", "", ""}, {3, "", "", "", ""}, {1, "", "", "", ""}};
    EXPECT_EQ(PlanParents(deep), (QList<int>{-1, 0, 0}));
}

TEST(DataFrameSql, CellLookByTypeGridAndShowMode)
{
    using T = db::FieldType;
    using L = TCellLook;
    struct Case { T type; bool columnWise; int mode; L look; };
    const Case cases[] = {
        {T::Decimal, false, 2, {L::Right, true}}, // the row-wise grid ignores DataShowMode
        {T::Integer, true, 0, {L::Right, true}},
        {T::Float, true, 1, {L::Left, false}},
        {T::LargeInt, true, 2, {L::Right, false}},
        {T::WideMemo, false, 0, {L::Left, false}},
        {T::WideMemo, true, 2, {L::Right, false}},
        {T::Bytes, true, 1, {L::Left, false}},
        {T::WideString, false, 0, {L::Grid, false}},
        {T::WideString, true, 0, {L::Grid, false}},
        {T::WideString, true, 1, {L::Left, false}},
        {T::WideString, true, 2, {L::Right, false}},
        {T::Date, true, 2, {L::Right, false}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(CellLook(c.type, c.columnWise, c.mode), c.look) << int(c.type) << " " << c.mode;
}
