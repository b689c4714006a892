// Statements and rules of the object-list commands, without a window: every identifier goes
// through the quoting routine (hostile names stay one identifier), CASCADE only where it
// applies, the rename rule, and the user-command macros.
#include "browser/objcommands.h"
#include "support/qstring_printer.h"

#include <gtest/gtest.h>

namespace {

QString u(const char *s) { return QString::fromUtf8(s); }

TListObject Obj(int type, const char *schema, const char *name, const char *table = "", const char *args = "")
{
    TListObject o;
    o.Type = type;
    o.Schema = u(schema);
    o.Name = u(name);
    o.Table = u(table);
    o.Arguments = u(args);
    return o;
}

TEST(ObjectCommandStatements, DropByType)
{
    struct Case {
        TListObject O;
        bool Cascade;
        const char *Sql;
    };
    const Case cases[] = {
        {Obj(45, "s", "t"), false, "DROP TABLE s.t"},
        {Obj(45, "s", "t"), true, "DROP TABLE s.t CASCADE"},
        {Obj(46, "s", "i"), true, "DROP INDEX s.i"},
        {Obj(47, "s", "v"), true, "DROP VIEW s.v"},
        {Obj(52, "s", "f", "", "integer, text"), true, "DROP FUNCTION s.f(integer, text) CASCADE"},
        {Obj(55, "s", "ty"), false, "DROP TYPE s.ty"},
        {Obj(57, "s", "tr", "t"), true, "DROP TRIGGER tr ON s.t"},
        {Obj(58, "s", "q"), true, "DROP SEQUENCE s.q"},
        {Obj(66, "s", "c", "t"), true, "ALTER TABLE s.t DROP CONSTRAINT c"},
        {Obj(127, "s", "r", "t"), false, "DROP RULE r ON s.t"},
        // hostile names: quotes, blanks, dots, slashes, mixed case, Japanese
        {Obj(45, "My Schema", "a\"b.c/d"), false, "DROP TABLE \"My Schema\".\"a\"\"b.c/d\""},
        {Obj(57, "s", "Tr", "表 1"), false, "DROP TRIGGER \"Tr\" ON s.\"表 1\""},
        {Obj(4, "s", "x"), false, ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DropStatement(c.O, c.Cascade), u(c.Sql)) << c.Sql;
}

TEST(ObjectCommandStatements, RenameByType)
{
    struct Case {
        TListObject O;
        const char *NewName;
        const char *Sql;
    };
    const Case cases[] = {
        {Obj(45, "s", "t"), "u", "ALTER TABLE s.t RENAME TO u"},
        {Obj(46, "s", "i"), "j", "ALTER INDEX  s.i RENAME TO j"},
        {Obj(47, "s", "v"), "Big", "ALTER VIEW s.v RENAME TO \"Big\""},
        {Obj(52, "s", "f", "", "integer"), "g", "ALTER FUNCTION s.f (integer)  RENAME TO g"},
        {Obj(55, "s", "ty"), "a.b", "ALTER TYPE s.ty RENAME TO \"a.b\""},
        // the trigger's table is qualified, never found through the search path
        {Obj(57, "s", "tr", "t"), "tr2", "ALTER TRIGGER tr ON s.t RENAME TO tr2"},
        {Obj(58, "s", "q"), "q\"2", "ALTER SEQUENCE s.q RENAME TO \"q\"\"2\""},
        {Obj(127, "s", "r", "t"), "r2", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(RenameStatement(c.O, u(c.NewName)), u(c.Sql)) << c.Sql;
    EXPECT_EQ(RenameStatement(Obj(66, "s", "c", "ignored"), u("d"), u("tab")),
              u("ALTER TABLE s.tab RENAME CONSTRAINT c TO d"));
}

TEST(ObjectCommandStatements, WhoMayBeRenamed)
{
    struct Case {
        int Type;
        const char *Schema;
        int Ver;
        bool May;
    };
    const Case cases[] = {
        {45, "login", 150000, true},  {46, "login", 150000, true}, {47, "login", 150000, true},
        {52, "login", 150000, true},  {55, "login", 150000, true}, {57, "login", 150000, true},
        {58, "login", 150000, true},  {66, "login", 90200, true},  {66, "login", 90199, false},
        {127, "login", 150000, false}, {45, "other", 150000, false}, {45, "Login", 150000, false},
        {4, "login", 150000, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(MayRenameObject(Obj(c.Type, c.Schema, "x"), u("login"), c.Ver), c.May)
            << c.Type << " " << c.Schema << " " << c.Ver;
}

TEST(ObjectCommandStatements, ReindexLinesQuote)
{
    EXPECT_EQ(ReindexLines(u("s"), u("Ix 1")), QStringList({u("REINDEX INDEX s.\"Ix 1\""), u(";")}));
}

TEST(UserCommandMacros, ReplacedPerRow)
{
    QStringList sub;
    for (int i = 0; i < 13; ++i)
        sub << u("v%1").arg(i);
    sub[0] = u("sales");
    sub[1] = u("TABLE");
    struct Case {
        const char *Sql;
        const char *Expected;
    };
    const Case cases[] = {
        {"ANALYZE &OWNER.&NAME", "ANALYZE sales.orders"},
        {"analyze &owner.&name", "analyze sales.orders"},
        {"&TYPE &0", "TABLE orders"},
        // &12 is sub-item 11, not &1 followed by "2"
        {"&12|&1", "v11|sales"},
        {"SELECT '&'", "SELECT '&'"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ExpandUserMacros(u(c.Sql), u("orders"), sub), u(c.Expected)) << c.Sql;
}

} // namespace
