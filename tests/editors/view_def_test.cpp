// The view editor's plain parts: the wrapped column list, the reloption clause, the full
// CREATE OR REPLACE text with comments, the changed comments and the data page's SELECT.
#include "core/kdsub_options.h"
#include "editors/view_def.h"
#include "support/qstring_printer.h"

#include <gtest/gtest.h>

namespace {

class ViewDefTest : public ::testing::Test
{
protected:
    void SetUp() override { TkdOption::Global().UseLowerName = false; }
};

TEST_F(ViewDefTest, ColumnListWrapsAfterTheColumnThatPassesSeventy)
{
    // "    (" is 5 characters; each name of 9 letters adds 10 with its comma.
    QStringList nine;
    for (int i = 0; i < 8; ++i)
        nine << QStringLiteral("column_%1%1").arg(i);
    const QStringList lines = ViewColumnListLines(nine);
    // 5 + 7 * 10 = 75 > 70 after the seventh name: the line ends there.
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], "    (column_00,column_11,column_22,column_33,column_44,column_55,column_66,");
    EXPECT_EQ(lines[1], "    column_77)");
    for (const QString &l : lines)
        EXPECT_TRUE(l.startsWith("    "));

    // exactly 70 does not break; the last name never leaves an empty line behind
    QStringList seventy{QString(64, 'a')}; // 5 + 64 + 1 = 70
    seventy << "b";
    EXPECT_EQ(ViewColumnListLines(seventy), QStringList({"    (" + QString(64, 'a') + ",b)"}));
    QStringList longLast{QString(80, 'c')};
    EXPECT_EQ(ViewColumnListLines(longLast), QStringList({"    (" + QString(80, 'c') + ")"}));
    QStringList twoLong{QString(70, 'd'), QString(70, 'e')};
    EXPECT_EQ(ViewColumnListLines(twoLong), QStringList({"    (" + QString(70, 'd') + ",", "    " + QString(70, 'e') + ")"}));
    EXPECT_TRUE(ViewColumnListLines({}).isEmpty());
}

TEST_F(ViewDefTest, OptionsClause)
{
    EXPECT_EQ(ViewOptionsClause({}), "");
    EXPECT_EQ(ViewOptionsClause({"security_barrier=true", "check_option=cascaded"}),
              "WITH (security_barrier=true, check_option=cascaded)");
    EXPECT_EQ(ViewOptionsClause({"security_invoker=on"}), "WITH (security_invoker=on)");
    // a value that is not a plain word reaches the text only as a literal
    EXPECT_EQ(ViewOptionsClause({"x=a b'c"}), "WITH (x='a b''c')");
}

TViewDef Sample()
{
    TViewDef d;
    d.Schema = "public";
    d.Name = "v";
    d.Columns = {{"id", "integer", "", ""}, {"name", "text", "", "名前"}};
    d.Definition = " SELECT t.id,\n    t.name\n   FROM t;";
    return d;
}

TEST_F(ViewDefTest, FullTextWithAndWithoutColumnList)
{
    TViewDef d = Sample();
    EXPECT_EQ(ViewSourceLines(d, "public.", "v", true),
              QStringList({"CREATE OR REPLACE VIEW public.v", "    (id,name)", "AS", " SELECT t.id,", "    t.name", "   FROM t;",
                           ";", "COMMENT ON COLUMN public.v.name IS '名前'", ";"}));
    d.Comment = "it's a view";
    d.Options = {"check_option=local"};
    EXPECT_EQ(ViewSourceLines(d, "", "Copy Of", false),
              QStringList({"CREATE OR REPLACE VIEW \"Copy Of\" WITH (check_option=local) AS", " SELECT t.id,", "    t.name",
                           "   FROM t;", ";", "COMMENT ON VIEW \"Copy Of\" IS 'it''s a view'", ";",
                           "COMMENT ON COLUMN \"Copy Of\".name IS '名前'", ";"}));
    const QStringList withCols = ViewSourceLines(d, "", "v", true);
    EXPECT_EQ(withCols.mid(0, 4), QStringList({"CREATE OR REPLACE VIEW v", "    (id,name)", "    WITH (check_option=local)", "AS"}));
}

TEST_F(ViewDefTest, OnlyChangedCommentsAreWritten)
{
    const TViewDef saved = Sample();
    TViewDef now = saved;
    EXPECT_TRUE(ViewCommentLines(saved, now, "s.", "v").isEmpty());
    now.Columns[1].Comment.clear(); // cleared: an empty literal
    now.Columns[0].Comment = "key";
    now.Comment = "c";
    EXPECT_EQ(ViewCommentLines(saved, now, "s.", "v"),
              QStringList({"COMMENT ON VIEW s.v IS 'c'", ";", "COMMENT ON COLUMN s.v.id IS 'key'", ";",
                           "COMMENT ON COLUMN s.v.name IS ''", ";"}));
}

TEST_F(ViewDefTest, SelectOfTheDataPage)
{
    EXPECT_EQ(ViewSelectSQL("s", "v", {}), "SELECT * FROM \"s\".\"v\"");
    EXPECT_EQ(ViewSelectSQL("s", "v", {"a", "B"}), "SELECT \"a\", \"B\" FROM \"s\".\"v\"");
    EXPECT_EQ(ViewDropStatement("s", "My View"), "DROP VIEW s.\"My View\"");
}

} // namespace
