// Object list queries, layouts and row conversion without a server: which node lists what,
// the schema and name conditions, the assembled query texts, the layouts and the fill rules.
#include "browser/objlistsql.h"
#include "support/qstring_printer.h"

#include <gtest/gtest.h>

namespace {

QString u(const char *s) { return QString::fromUtf8(s); }

struct FilterCase {
    int Level;
    TTreeOrder Order;
    const char *Node, *Parent;
    int Disp;
    bool Level0, Level1;
    bool Fill;
    const char *T, *S;
};

TEST(ObjectListFilter, NodeGivesTypeAndSchema)
{
    const auto SF = TTreeOrder::SchemaFirst;
    const auto TF = TTreeOrder::TypeFirst;
    const FilterCase cases[] = {
        {-1, SF, "", "", 0, true, true, false, "", ""},
        {0, SF, "db", "", 0, true, true, true, "%", "%"},
        {0, TF, "db", "", 1, true, true, true, "%", "Login"},
        {0, SF, "db", "", 0, false, true, false, "", ""},
        {1, SF, "sales", "db", 1, true, true, true, "%", "sales"},
        {1, TF, "TABLE", "db", 0, true, true, true, "TABLE", "%"},
        {1, TF, "TABLE", "db", 1, true, true, true, "TABLE", "Login"},
        {1, TF, "TABLE", "db", 1, true, false, false, "", ""},
        {2, SF, "VIEW", "hr", 1, false, false, true, "VIEW", "hr"},
        {2, TF, "hr", "VIEW", 0, true, true, true, "VIEW", "hr"},
    };
    for (const FilterCase &c : cases) {
        SCOPED_TRACE(testing::Message() << "level " << c.Level << " node " << c.Node);
        const TListFilter f = ChooseListFilter(c.Level, c.Order, u(c.Node), u(c.Parent), c.Disp,
                                               u("Login"), c.Level0, c.Level1);
        EXPECT_EQ(f.Fill, c.Fill);
        if (c.Fill) {
            EXPECT_EQ(f.T, u(c.T));
            EXPECT_EQ(f.S, u(c.S));
        }
    }
}

TEST(ObjectListFilter, SchemaConditionAndNamePattern)
{
    EXPECT_EQ(SchemaCondition(u("%"), 2, {u("a"), u("b")}), u("IN ('a','b')"));
    EXPECT_EQ(SchemaCondition(u("%"), 2, {}), u("LIKE '%'"));
    EXPECT_EQ(SchemaCondition(u("%"), 0, {u("a")}), u("LIKE '%'"));
    EXPECT_EQ(SchemaCondition(u("pg_temp"), 0, {}), u("LIKE 'pg_temp%'"));
    EXPECT_EQ(SchemaCondition(u("pg_toast_temp"), 0, {}), u("LIKE 'pg_toast_temp%'"));
    EXPECT_EQ(SchemaCondition(u("o'neil"), 0, {}), u("LIKE 'o''neil'"));
    EXPECT_EQ(SchemaCondition(u("%"), 2, {u("x'y")}), u("IN ('x''y')"));

    EXPECT_EQ(NamePattern(u("emp"), true), u("%emp%"));
    EXPECT_EQ(NamePattern(u(" emp "), true), u("%emp%"));
    EXPECT_EQ(NamePattern(u("em%"), true), u("em%"));
    EXPECT_EQ(NamePattern(u("emp"), false), u("emp"));
    EXPECT_EQ(NamePattern(u("   "), true), u("%%"));
}

TEST(ObjectListQuery, AssemblesConditionsPerType)
{
    const QString C = u("IN ('a','b')");
    // the trigger's schema condition names both pg_tables and pg_views
    const QString trig = ObjectListQuery(u("TRIGGER"), true, C, u("%x%"), 150000).join(u("\n"));
    EXPECT_EQ(trig.count(C), 2);
    EXPECT_TRUE(trig.contains(u("AND   TrgInf.tgname LIKE '%x%'")));
    EXPECT_TRUE(trig.contains(u("NOT TrgInf.tgisinternal")));
    // the function list leaves out the nvarchar functions from version 9.5 on
    const QString nv = u("Not(Prc.proname = 'nvarchar'");
    EXPECT_TRUE(ObjectListQuery(u("FUNCTION"), false, C, u("%"), 90500).join(u("\n")).contains(nv));
    EXPECT_FALSE(ObjectListQuery(u("FUNCTION"), false, C, u("%"), 90499).join(u("\n")).contains(nv));
    // all types: nine SELECTs joined by UNION ALL lines, tables first, constraints last
    const QStringList all = ObjectListQuery(u("%"), false, C, u("%"), 150000);
    ASSERT_EQ(all.size(), 17);
    for (int i = 1; i < 17; i += 2)
        EXPECT_EQ(all.at(i), u("UNION ALL"));
    EXPECT_TRUE(all.first().startsWith(u("SELECT 'TABLE'")));
    EXPECT_TRUE(all.last().startsWith(u("SELECT 'CONSTRAINT'")));
    // the database's default tablespace is found without splicing a name into the text
    const QString table = ObjectListQuery(u("TABLE"), true, C, u("%"), 150000).join(u("\n"));
    EXPECT_TRUE(table.contains(u("D.datname = current_database()")));
    EXPECT_TRUE(table.contains(u("AND   TblNsp.nspname IN ('a','b')")));
}

TEST(ObjectListLayout, ColumnsAndViewTypes)
{
    struct Case { const char *T; bool TreeData; int Columns; const char *ViewType; const char *Last; };
    const Case cases[] = {
        {"TABLE", true, 12, "TABLE", "TABLE11"},   {"INDEX", true, 10, "INDEX", "INDEX9"},
        {"VIEW", true, 6, "VIEW", "VIEW5"},        {"FUNCTION", true, 8, "FUNCTION", "FUNCTION7"},
        {"TYPE", true, 7, "TYPE", "TYPE6"},        {"TRIGGER", true, 12, "TRIGGER", "TRIGGER11"},
        {"RULE", true, 11, "RULE", "RULE10"},      {"SEQUENCE", true, 12, "SEQUENCE", "SEQUENCE11"},
        {"CONSTRAINT", true, 9, "CONSTRAINT", "CONSTRAINT8"},
        {"TABLE", false, 5, "SOURCE", "SOURCE5"},  {"FUNCTION", false, 7, "SOURCE", "SOURCE5"},
        {"RULE", false, 6, "SOURCE", "SOURCE5"},   {"CONSTRAINT", false, 7, "SOURCE", "SOURCE5"},
        {"%", true, 9, "SOURCE", "SOURCE5"},       {"%", false, 8, "SOURCE", "SOURCE5"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.T);
        const QList<TObjListColumn> cols = ObjectListColumns(u(c.T), c.TreeData);
        ASSERT_EQ(cols.size(), c.Columns);
        EXPECT_EQ(cols.first().Caption, u("オブジェクト名"));
        EXPECT_EQ(cols.last().WidthValue, u(c.Last));
        EXPECT_EQ(ObjectListViewType(u(c.T), c.TreeData), u(c.ViewType));
    }
    const QList<TObjListColumn> table = ObjectListColumns(u("TABLE"), true);
    EXPECT_EQ(table.at(5).Caption, u("サイズ(KB)"));
    EXPECT_EQ(table.at(5).Align, Qt::AlignRight);
    EXPECT_EQ(table.at(6).Align, Qt::AlignHCenter);
    EXPECT_EQ(table.at(5).DefaultWidth, 140);
}

TEST(ObjectListRow, TriggerTimingAndEventsComeFromTheClauseOnly)
{
    struct Case { const char *Def; const char *Timing; const char *Events; };
    const Case cases[] = {
        {"CREATE TRIGGER t AFTER INSERT OR UPDATE ON s.x FOR EACH ROW EXECUTE FUNCTION f()", "AFTER", "INSERT, UPDATE"},
        {"CREATE TRIGGER t BEFORE DELETE OR UPDATE OR TRUNCATE ON x FOR EACH STATEMENT EXECUTE FUNCTION f()", "BEFORE", "UPDATE, DELETE, TRUNCATE"},
        {"CREATE TRIGGER t INSTEAD OF DELETE ON v FOR EACH ROW EXECUTE FUNCTION f()", "INSTEAD", "DELETE"},
        // names that hold the words do not count
        {"CREATE TRIGGER before_delete AFTER INSERT ON update_log FOR EACH ROW EXECUTE FUNCTION truncate_all()", "AFTER", "INSERT"},
        {"CREATE TRIGGER \"BEFORE x\" AFTER UPDATE OF \"DELETE\", insert ON s.\"ON\" FOR EACH ROW EXECUTE FUNCTION f()", "AFTER", "UPDATE"},
        {"CREATE CONSTRAINT TRIGGER \"請求額\" AFTER INSERT OR UPDATE OF \"金額\", order_id ON \"経理\".\"請求書\" DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION g()", "AFTER", "INSERT, UPDATE"},
        {"", "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Def);
        EXPECT_EQ(TriggerTiming(u(c.Def)), u(c.Timing));
        EXPECT_EQ(TriggerEvents(u(c.Def)), u(c.Events));
    }
}

TEST(ObjectListRow, SizeInKilobytes)
{
    EXPECT_EQ(SizeInKBText(u("8192")), u("           8"));
    EXPECT_EQ(SizeInKBText(u("0")), u("           0"));
    EXPECT_EQ(SizeInKBText(u("1073741824")), u("   1,048,576"));
    EXPECT_EQ(SizeInKBText(u("x")), u("           0"));
    EXPECT_EQ(SizeInKBText(u("1536")), u("           2"));
}

// A function row of each layout: argument types, signature without OUT and TABLE columns,
// and the sub-item contract (8 the OID, 12 the signature).
TEST(ObjectListRow, FunctionRowsKeepTheSubItemContract)
{
    TTypeNameMap types;
    types.insert(23, {u("int4"), u("pg_catalog")});
    types.insert(25, {u("text"), u("pg_catalog")});
    types.insert(9001, {u("My Type"), u("other")});
    types.insert(9002, {u("mine"), u("login")});
    TObjListFillContext ctx;
    ctx.LoginSchema = u("login");
    ctx.Types = &types;
    const QString argTypes = u("23\r\n9001\r\n9002\r\n25");
    const QString modes = u("i\r\no\r\nb\r\nt");

    struct Case { const char *T; bool TreeData; QStringList Row; int ArgPos; };
    const Case cases[] = {
        {"FUNCTION", true, {u("FUNCTION"), u("f"), u("s"), u("FUNCTION"), u("77"), argTypes, u("int4"), u("me"), u("c"), QString(), u("77"), QString(), QString(), QString(), modes}, 3},
        {"FUNCTION", false, {u("FUNCTION"), u("f"), u("s"), u("FUNCTION"), argTypes, u("int4"), u("me"), u("c"), QString(), QString(), u("77"), QString(), QString(), QString(), modes}, 2},
        {"%", true, {u("FUNCTION"), u("f"), u("s"), u("FUNCTION"), u("77"), QString(), argTypes, u("int4"), u("me"), u("c"), u("77"), QString(), QString(), QString(), modes, QString()}, 4},
        {"%", false, {u("FUNCTION"), u("f"), u("s"), u("FUNCTION"), u("77"), QString(), argTypes, u("int4"), u("me"), u("c"), u("77"), QString(), QString(), QString(), modes, QString()}, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.T << " " << c.TreeData);
        ctx.T = u(c.T);
        ctx.TreeData = c.TreeData;
        const TObjListRow row = ConvertObjectListRow(ctx, int(c.Row.size()),
                                                     [&](int k) { return c.Row.at(k - 1); });
        EXPECT_EQ(row.Caption, u("f"));
        EXPECT_EQ(row.ImageIndex, 52);
        EXPECT_EQ(row.SubItems.value(0), u("s"));
        EXPECT_EQ(row.SubItems.value(1), u("FUNCTION"));
        EXPECT_EQ(row.SubItems.value(c.ArgPos), u("int4,other.My Type,mine,text"));
        EXPECT_EQ(row.SubItems.value(8), u("77"));
        EXPECT_EQ(row.SubItems.value(12), u("int4,mine"));
        ctx.UseLowerName = true;
        const TObjListRow quoted = ConvertObjectListRow(ctx, int(c.Row.size()),
                                                        [&](int k) { return c.Row.at(k - 1); });
        EXPECT_EQ(quoted.SubItems.value(12), u("\"int4\",\"mine\""));
        ctx.UseLowerName = false;
    }
}

// The all-types list without TreeData drops the OID column and pads so that the table of
// triggers, rules and constraints stays sub-item 11 and the OID of types sub-item 8.
TEST(ObjectListRow, AllTypesCompaction)
{
    TObjListFillContext ctx;
    ctx.T = u("%");
    auto rowOf = [](const char *type, const char *table, const char *oid11, const char *kind) {
        return QStringList{u(type), u("n"), u("s"), u(type), u("5"), u(table), QString(), QString(),
                           u("own"), u("com"), u(oid11), u(kind), QString(), u(table), QString(), u(kind)};
    };
    const QStringList trig = rowOf("TRIGGER", "tbl", "0", "");
    TObjListRow r = ConvertObjectListRow(ctx, 16, [&](int k) { return trig.at(k - 1); });
    EXPECT_EQ(r.SubItems.value(2), u("tbl"));
    EXPECT_EQ(r.SubItems.value(5), u("own"));
    EXPECT_EQ(r.SubItems.value(7), u("0"));
    EXPECT_EQ(r.SubItems.value(11), u("tbl"));
    const QStringList type = rowOf("TYPE", "", "42", "e");
    r = ConvertObjectListRow(ctx, 16, [&](int k) { return type.at(k - 1); });
    EXPECT_EQ(r.SubItems.value(8), u("42"));
    EXPECT_EQ(r.SubItems.value(13), u("e"));
    ctx.TreeData = true;
    r = ConvertObjectListRow(ctx, 16, [&](int k) { return trig.at(k - 1); });
    EXPECT_EQ(r.SubItems.value(2), u("5"));
    EXPECT_EQ(r.SubItems.value(11), u("tbl"));
}

} // namespace
