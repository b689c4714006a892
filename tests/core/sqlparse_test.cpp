// Statement analysis: kinds, tables, items, conditions and the clause lists.
#include "core/kdsub_sql.h"
#include "support/qstring_printer.h"

#include <gtest/gtest.h>

namespace {

using Pairs = QList<QPair<QString, QString>>;

Pairs ToPairs(const TkdParseList &list)
{
    Pairs out;
    for (int i = 0; i < list.Count(); ++i)
        out.append({list.ObjectName(i), list.Alias(i)});
    return out;
}

struct Parsed {
    TkdSQLType kind = TkdSQLType::sqltNone;
    TkdParseList items, tables, orders;
    QStringList conditions, groups, havings;
    QString viewName;
    bool raised = false;
};

void Parse(Parsed &p, const QString &sql, const QString &message = QStringLiteral("msg"))
{
    try {
        p.kind = ParseSQL(sql, p.items, p.tables, p.orders, p.conditions, p.groups, p.havings, message, p.viewName);
    } catch (const ESQLParseError &e) {
        EXPECT_EQ(e.message(), message);
        p.raised = true;
    }
}

struct ParseCase {
    const char *name;
    const char *sql;
    TkdSQLType kind;
    Pairs items, tables, orders;
    QStringList conditions, groups, havings;
};

class ParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTest, FillsTheLists)
{
    const ParseCase &c = GetParam();
    Parsed p;
    Parse(p, QString::fromUtf8(c.sql));
    ASSERT_FALSE(p.raised);
    EXPECT_EQ(p.kind, c.kind);
    EXPECT_EQ(ToPairs(p.items), c.items);
    EXPECT_EQ(ToPairs(p.tables), c.tables);
    EXPECT_EQ(ToPairs(p.orders), c.orders);
    EXPECT_EQ(p.conditions, c.conditions);
    EXPECT_EQ(p.groups, c.groups);
    EXPECT_EQ(p.havings, c.havings);
}

const ParseCase kParseCases[] = {
    {"SelectWithAliasesAndOrder", "SELECT a, b x FROM emp e, dept WHERE e.id = 1 ORDER BY a DESC, b",
     TkdSQLType::sqltSelect, {{"a", ""}, {"b", "x"}}, {{"emp", "e"}, {"dept", ""}}, {{"a", "DESC"}, {"b", ""}},
     {"e.id", "=", "1"}, {}, {}},
    {"GroupAndHaving", "SELECT a, b FROM t GROUP BY a, b HAVING count(*) > 1 ORDER BY a", TkdSQLType::sqltSelect,
     {{"a", ""}, {"b", ""}}, {{"t", ""}}, {{"a", ""}}, {}, {"a", "b"}, {"count", "(*)", ">", "1"}},
    {"AsIsNoKeywordOutsideViews", "SELECT col AS c FROM tab AS t", TkdSQLType::sqltSelect, {{"col AS", "c"}},
     {{"tab AS", "t"}}, {}, {}, {}, {}},
    {"InsertWithColumns", "INSERT INTO t (a, b) VALUES (1, 'x')", TkdSQLType::sqltInsert,
     {{"a", "1"}, {"b", "'x'"}}, {{"t", ""}}, {}, {}, {}, {}},
    {"InsertWithoutColumns", "INSERT INTO t VALUES (1, 'x')", TkdSQLType::sqltInsert, {{"", "1"}, {"", "'x'"}},
     {{"t", ""}}, {}, {}, {}, {}},
    {"InsertLastRowCounts", "INSERT INTO t (a) VALUES (1), (2)", TkdSQLType::sqltInsert, {{"a", "2"}},
     {{"t", ""}}, {}, {}, {}, {}},
    {"Update", "UPDATE t x SET a = 1, b = 'q' WHERE c > 2", TkdSQLType::sqltUpdate, {{"a", "1"}, {"b", "'q'"}},
     {{"t", "x"}}, {}, {"c", ">", "2"}, {}, {}},
    {"LeftJoin", "SELECT a FROM t1 LEFT JOIN t2 y ON t1.k = y.k WHERE a IN (1, 2)", TkdSQLType::sqltSelect,
     {{"a", ""}}, {{"t1", ""}, {"t2", "y"}}, {}, {"t1.k", "=", "y.k", "a", "IN", "(1, 2)"}, {}, {}},
    {"NoStatementKeyword", "VACUUM t", TkdSQLType::sqltNone, {}, {}, {}, {}, {}, {}},
    {"JapaneseLiteral", "DELETE FROM t WHERE a = 'め'", TkdSQLType::sqltDelete, {}, {{"t", ""}}, {},
     {"a", "=", "'め'"}, {}, {}},
    {"OperatorRun", "SELECT a FROM t WHERE a<>1 AND b >= 2", TkdSQLType::sqltSelect, {{"a", ""}}, {{"t", ""}},
     {}, {"a", "<>", "1", "AND", "b", ">=", "2"}, {}, {}},
    // A doubled quote stays inside its literal: one token.
    {"DoubledQuoteIsOneToken", "DELETE FROM t WHERE a = 'it''s'", TkdSQLType::sqltDelete, {}, {{"t", ""}}, {},
     {"a", "=", "'it''s'"}, {}, {}},
    {"EscapeStringIsOneToken", "DELETE FROM t WHERE a = E'it\\'s' AND b = 1", TkdSQLType::sqltDelete, {},
     {{"t", ""}}, {}, {"a", "=", "E'it\\'s'", "AND", "b", "=", "1"}, {}, {}},
    {"DollarStringIsOneToken", "DELETE FROM t WHERE a = $q$ FROM x WHERE $q$", TkdSQLType::sqltDelete, {},
     {{"t", ""}}, {}, {"a", "=", "$q$ FROM x WHERE $q$"}, {}, {}},
    {"QuotedNameWithBlank", "SELECT \"my col\" FROM \"my table\" m", TkdSQLType::sqltSelect,
     {{"\"my col\"", ""}}, {{"\"my table\"", "m"}}, {}, {}, {}, {}},
    {"SemicolonAloneEndsTheScan", "SELECT a FROM t\r\n;\r\nSELECT b FROM u", TkdSQLType::sqltSelect, {{"a", ""}},
     {{"t", ""}}, {}, {}, {}, {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, ParseTest, ::testing::ValuesIn(kParseCases),
                         [](const ::testing::TestParamInfo<ParseCase> &info) { return std::string(info.param.name); });

TEST(ParseSQL, CreateView)
{
    Parsed p;
    Parse(p, QStringLiteral("CREATE VIEW v AS SELECT a FROM t"));
    EXPECT_EQ(p.kind, TkdSQLType::sqltCreateView);
    EXPECT_EQ(p.viewName, QStringLiteral("v"));
    EXPECT_EQ(ToPairs(p.items), (Pairs{{"a", ""}}));
    EXPECT_EQ(ToPairs(p.tables), (Pairs{{"t", ""}}));

    Parsed q;
    Parse(q, QStringList{"CREATE VIEW \"v\" AS", "SELECT", "  a,", "  b", "FROM", "  t"}.join("\r\n"));
    EXPECT_EQ(q.viewName, QStringLiteral("\"v\""));
    EXPECT_EQ(ToPairs(q.items), (Pairs{{"a", ""}, {"b", ""}}));
    EXPECT_EQ(ToPairs(q.tables), (Pairs{{"t", ""}}));
}

TEST(ParseSQL, RaisesWithTheCallersMessage)
{
    const char *const bad[] = {
        "SELECT a FROM t UNION SELECT b FROM u", "SELECT a FROM t FOR UPDATE", "SELECT a WHERE b = 1",
        "SELECT a FROM t WHERE b = 1, c = 2",    "SELECT a) FROM t",           "SELECT (a FROM t",
        "INSERT INTO t (a, b) VALUES (1)",       "SELECT 'abc FROM t",         "SELECT a FROM t ORDER BY a HAVING b",
        "SELECT a FROM t WHERE x = $$abc",
    };
    for (const char *sql : bad) {
        Parsed p;
        Parse(p, QString::fromUtf8(sql), QStringLiteral("この SQL を解析することは出来ません。"));
        EXPECT_TRUE(p.raised) << sql;
    }
}

TEST(ParseSQL, TolerantMode)
{
    // Unclosed parentheses pass; a ")" without "(" still raises.
    Parsed open;
    Parse(open, QStringLiteral("SELECT (a FROM t"), QString());
    EXPECT_FALSE(open.raised);
    Parsed closing;
    Parse(closing, QStringLiteral("SELECT a) FROM t"), QString());
    EXPECT_TRUE(closing.raised);

    // A nested statement is analysed into the same lists.
    Parsed nested;
    Parse(nested, QStringLiteral("SELECT x FROM emp e WHERE e.id IN ( SELECT d.id FROM dept d"), QString());
    EXPECT_FALSE(nested.raised);
    EXPECT_EQ(nested.kind, TkdSQLType::sqltSelect);
    EXPECT_EQ(ToPairs(nested.tables), (Pairs{{"emp", "e"}, {"dept", "d"}}));

    Parsed closed;
    Parse(closed, QStringLiteral("SELECT x FROM emp e WHERE e.id IN ( SELECT d.id FROM dept d)"), QString());
    EXPECT_TRUE(closed.raised);
    EXPECT_EQ(ToPairs(closed.tables), (Pairs{{"emp", "e"}}));

    // Strict mode reads the group as one token.
    Parsed strict;
    Parse(strict, QStringLiteral("SELECT x FROM emp e WHERE e.id IN ( SELECT d.id FROM dept d)"));
    EXPECT_FALSE(strict.raised);
    EXPECT_EQ(ToPairs(strict.tables), (Pairs{{"emp", "e"}}));
    EXPECT_EQ(strict.conditions.last(), QStringLiteral("( SELECT d.id FROM dept d)"));
}

TEST(ParseSQL, DeepNestingNeitherRecursesNorSlowsDown)
{
    QString sql;
    for (int i = 0; i < 20000; ++i)
        sql += QStringLiteral("SELECT x FROM t%1 WHERE a IN ( ").arg(i);
    Parsed p;
    Parse(p, sql, QString());
    EXPECT_FALSE(p.raised);
    EXPECT_EQ(p.tables.Count(), 20000);
}

TEST(ParseSQL, AddsToListsItIsGiven)
{
    Parsed p;
    p.tables.Add(QStringLiteral("old"), QString());
    Parse(p, QStringLiteral("SELECT a FROM t"));
    EXPECT_EQ(ToPairs(p.tables), (Pairs{{"old", ""}, {"t", ""}}));
}

TEST(TkdParseList, OperationsAndGrowth)
{
    TkdParseList list;
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Capacity(), 0);
    EXPECT_EQ(list.Add("a", "1"), 0);
    EXPECT_EQ(list.Capacity(), 4);
    for (int i = 1; i < 5; ++i)
        list.Add(QString::number(i), QString());
    EXPECT_EQ(list.Capacity(), 8);
    for (int i = 5; i < 9; ++i)
        list.Add(QString::number(i), QString());
    EXPECT_EQ(list.Capacity(), 12); // 8 is not above 8: plus 4
    for (int i = 9; i < 13; ++i)
        list.Add(QString::number(i), QString());
    EXPECT_EQ(list.Capacity(), 28); // above 8: plus 16
    for (int i = 13; i < 77; ++i)
        list.Add(QString::number(i), QString());
    EXPECT_EQ(list.Capacity(), 76 + 19); // 28, 44, 60, 76, then above 64: plus a quarter
    list.Insert(0, "first", "f");
    EXPECT_EQ(list.ObjectName(0), QStringLiteral("first"));
    EXPECT_EQ(list.IndexOf("a", "1"), 1);
    EXPECT_EQ(list.IndexOf("A", "1"), -1);
    list.Delete(0);
    EXPECT_EQ(list.ObjectName(0), QStringLiteral("a"));
    list.SetAlias(0, "z");
    EXPECT_EQ(list.Alias(0), QStringLiteral("z"));
    const int capacity = list.Capacity();
    list.Delete(0);
    EXPECT_EQ(list.Capacity(), capacity);
    try {
        list.GetObjectName(list.Count());
        FAIL() << "no error for a bad index";
    } catch (const EListError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("リストのインデックスが範囲を超えています (%1)").arg(list.Count()));
    }
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Capacity(), 0);
}

} // namespace
