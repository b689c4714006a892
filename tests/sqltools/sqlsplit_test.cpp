// Statement splitting and line cleaning of the SQL window, without a server.
#include "platform/db/dbsql.h"
#include "sqltools/sqlsplit.h"
#include "support/qstring_printer.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase {
    const char *name;
    QStringList lines;
    QList<QStringList> statements; // collected lines of each statement
    QList<QPair<int, int>> ranges;   // first and last line of each
};

TEST(SqlSplit, StatementsEndAtSemicolonLines)
{
    const QList<SplitCase> cases = {
        {"single statement without end line", {"SELECT 1", "FROM t"}, {{"SELECT 1", "FROM t"}}, {{0, 1}}},
        {"semicolon line with blanks and tabs", {"SELECT 1;", " \t; \t", "UPDATE t SET a = 1;"},
         {{"SELECT 1;"}, {"UPDATE t SET a = 1;"}}, {{0, 1}, {2, 2}}},
        {"semicolon inside a line does not split", {"SELECT 1; SELECT 2"}, {{"SELECT 1; SELECT 2"}}, {{0, 0}}},
        {"consecutive statements without a semicolon line stay one", {"SELECT 1", "SELECT 2"},
         {{"SELECT 1", "SELECT 2"}}, {{0, 1}}},
        {"body line of semicolon alone cuts the function",
         {"CREATE FUNCTION f() RETURNS int AS $$", "BEGIN RETURN 1", ";", "END $$ LANGUAGE plpgsql"},
         {{"CREATE FUNCTION f() RETURNS int AS $$", "BEGIN RETURN 1"}, {"END $$ LANGUAGE plpgsql"}}, {{0, 2}, {3, 3}}},
        {"only separators give empty statements", {";", "", ";"}, {{}, {""}}, {{0, 0}, {1, 2}}},
        {"trailing separator leaves nothing after it", {"SELECT 1", ";"}, {{"SELECT 1"}}, {{0, 1}}},
    };
    for (const SplitCase &c : cases) {
        SCOPED_TRACE(c.name);
        const QList<TSqlStatementLines> got = SplitStatements(c.lines);
        ASSERT_EQ(got.size(), c.statements.size());
        for (int i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].Lines, c.statements[i]);
            EXPECT_EQ(got[i].FirstLine, c.ranges[i].first);
            EXPECT_EQ(got[i].LastLine, c.ranges[i].second);
        }
    }
}

TEST(SqlSplit, ExactModeTakesOnlyABareSemicolon)
{
    const QList<TSqlStatementLines> got = SplitStatements({"a", " ;", "b", ";", "c"}, true);
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[0].Lines, QStringList({"a", " ;", "b"}));
    EXPECT_EQ(got[1].Lines, QStringList({"c"}));
    EXPECT_TRUE(IsStatementEnd(QStringLiteral("\x01;\x1f")));
    EXPECT_FALSE(IsStatementEnd(QStringLiteral("\x01;\x1f"), true));
}

TEST(SqlSplit, CleaningRemovesBlankAndRemarkLinesAtBothEnds)
{
    struct Case { const char *name; QStringList in, out; };
    const QList<Case> cases = {
        {"blank and remark lines around", {"", "REM comment", "remark\tx", "UPDATE t", "SET a=1", "  ", "REM"},
         {"UPDATE t", "SET a=1"}},
        {"remark inside kept", {"UPDATE t", "REM inner", "SET a=1"}, {"UPDATE t", "REM inner", "SET a=1"}},
        {"REMOVE is not a remark", {"REMOVE x"}, {"REMOVE x"}},
        {"REMARKS is not a remark", {"REMARKS"}, {"REMARKS"}},
        {"tabs become blanks in a select", {"select\ta", "from\tt"}, {"select a", "from t"}},
        {"tabs of a select on the last line", {"WITH x AS (VALUES (1))", "\tSELECT\t*"}, {"WITH x AS (VALUES (1))", " SELECT *"}},
        {"tabs stay in other statements", {"UPDATE\tt", "SET a = '\t'"}, {"UPDATE\tt", "SET a = '\t'"}},
        {"only remarks give nothing", {"REM a", "", "rem"}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CleanStatementLines(c.in), c.out);
    }
    EXPECT_EQ(StatementText({"a", "b"}), QStringLiteral("a\r\nb\r\n"));
}

TEST(SqlSplit, SelectionCutsAtEveryLineBreak)
{
    EXPECT_EQ(SelectionLines(QStringLiteral("a\r\nb\nc\r")), QStringList({"a", "b", "c", ""}));
    EXPECT_EQ(SelectionLines(QStringLiteral("x")), QStringList({"x"}));
}

TEST(SqlSplit, TrailingSemicolonRules)
{
    using K = db::CommandKind;
    struct Case { const char *name; K kind; const char *text; bool drops; };
    const QList<Case> cases = {
        {"update", K::Update, "UPDATE t SET a = 1;\r\n", true},
        {"insert", K::Insert, "insert into t values (1);", true},
        {"commit", K::Commit, "COMMIT;", true},
        {"no semicolon", K::Delete, "DELETE FROM t", false},
        {"other kind keeps it", K::Other, "SET x = 1;", false},
        {"capital CREATE FUNCTION keeps it", K::Create, "CREATE FUNCTION f() RETURNS int AS 'select 1;' LANGUAGE sql;", false},
        {"capital CREATE TYPE keeps it", K::Create, "CREATE TYPE t AS (a int);", false},
        {"lower-case create function loses it", K::Create, "create function f() returns int as 'select 1;' language sql;", true},
        {"create table loses it", K::Create, "CREATE TABLE t (a int);", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DropsTrailingSemicolon(c.kind, QString::fromUtf8(c.text)), c.drops);
    }
    EXPECT_EQ(WithoutTrailingSemicolon(QStringLiteral("  SELECT 1;\r\n")), QStringLiteral("SELECT 1"));
    EXPECT_TRUE(IsCreateStatement(QStringLiteral("create table")));
    EXPECT_FALSE(IsCreateStatement(QStringLiteral(" CREATE")));
}

} // namespace
