// The tablespace statements that need no server: the CREATE with options and grants of a new
// tablespace, the SET / RESET lists, grant changes (the grant option taken away alone is a
// REVOKE and a plain GRANT), the access list as statements (PUBLIC, login roles, quoted
// names, an owner without CREATE), the location change through a temporary name, option
// values that must be numbers, the drop statements of stored objects, the kilobyte text, and
// the user list's and script-name table's plain texts.
#include "core/kdsub_options.h"
#include "editors/nametable_def.h"
#include "editors/tablespace_def.h"
#include "editors/user_list.h"
#include "support/qstring_printer.h"

#include <gtest/gtest.h>

namespace {

class TablespaceDef : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FSaved = TkdOption::Global().UseLowerName;
        TkdOption::Global().UseLowerName = false;
    }
    void TearDown() override { TkdOption::Global().UseLowerName = FSaved; }
    bool FSaved = false;
};

QList<TAclEntry> Acl(const QList<QPair<QString, QString>> &items)
{
    QList<TAclEntry> l;
    for (const auto &i : items)
        l << TAclEntry{i.first, i.second, QStringLiteral("o")};
    return l;
}

TEST_F(TablespaceDef, NewTablespaceWithOptionsAndGrantOption)
{
    QStringList lines = TablespaceCreateLines("ts", "u", "D:\\pg\\ts");
    lines << TablespaceOptionLines("ts", {{"random_page_cost", "2"}, {"seq_page_cost", ""}});
    lines << TablespaceGrantLines("ts", "r", true, true, false, true);
    const QStringList expected = {"CREATE TABLESPACE ts", "  OWNER u", "  LOCATION E'D:\\\\pg\\\\ts'", ";",
                                  "ALTER TABLESPACE ts", " SET (random_page_cost = 2)", ";",
                                  "ALTER TABLESPACE ts", " RESET (seq_page_cost)", ";",
                                  "GRANT CREATE ON TABLESPACE ts TO r WITH GRANT OPTION", ";"};
    EXPECT_EQ(lines, expected);
}

TEST_F(TablespaceDef, OptionListsSetAndReset)
{
    struct Case {
        QList<TTablespaceOptionRow> rows;
        QStringList all, setOnly;
    };
    const QList<Case> cases = {
        {{{"random_page_cost", "1.5"}, {"seq_page_cost", "0.5"}},
         {"ALTER TABLESPACE t", " SET (random_page_cost = 1.5 , seq_page_cost = 0.5)", ";"},
         {"ALTER TABLESPACE t", " SET (random_page_cost = 1.5 , seq_page_cost = 0.5)", ";"}},
        // Clearing the only value: both rows are reset, nothing is set.
        {{{"random_page_cost", ""}, {"seq_page_cost", " "}},
         {"ALTER TABLESPACE t", " RESET (random_page_cost , seq_page_cost)", ";"},
         {}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(TablespaceOptionLines("t", c.rows), c.all);
        EXPECT_EQ(TablespaceSetLines("t", c.rows), c.setOnly);
    }
}

TEST_F(TablespaceDef, GrantChanges)
{
    struct Case {
        bool held, option, hadOption, createMode;
        QStringList expected;
    };
    const QString g = "GRANT CREATE ON TABLESPACE t TO \"R x\"", r = "REVOKE CREATE ON TABLESPACE t FROM \"R x\"";
    const QList<Case> cases = {
        {true, false, true, false, {r, ";", g, ";"}}, // only the grant option goes
        {true, true, false, false, {g + " WITH GRANT OPTION", ";"}},
        {false, false, true, false, {r, ";"}},
        {false, false, false, true, {}},
        {true, false, false, true, {g, ";"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TablespaceGrantLines("t", "R x", c.held, c.option, c.hadOption, c.createMode), c.expected);
    // PUBLIC is a keyword and cannot hold a grant option.
    EXPECT_EQ(TablespaceGrantLines("t", "public", true, true, false, true),
              QStringList({"GRANT CREATE ON TABLESPACE t TO PUBLIC", ";"}));
}

TEST_F(TablespaceDef, AccessListAsStatements)
{
    // Login roles, PUBLIC and a quoted name are all kept; the owner's own item is implicit.
    const QList<TAclEntry> acl = Acl({{"o", "C*"}, {"login1", "C"}, {"public", "C"}, {"a\"b", "C*"}, {"g", "C"}});
    EXPECT_EQ(TablespaceAclLines("t", "o", false, acl),
              QStringList({"GRANT CREATE ON TABLESPACE t TO login1", ";", "GRANT CREATE ON TABLESPACE t TO PUBLIC", ";",
                           "GRANT CREATE ON TABLESPACE t TO \"a\"\"b\" WITH GRANT OPTION", ";",
                           "GRANT CREATE ON TABLESPACE t TO g", ";"}));
    // A list that takes CREATE away from the owner.
    EXPECT_EQ(TablespaceAclLines("t", "o", false, Acl({{"g", "C"}})),
              QStringList({"GRANT CREATE ON TABLESPACE t TO g", ";", "REVOKE CREATE ON TABLESPACE t FROM o", ";"}));
    // Items of one grantee from two grantors: one GRANT, with the option one of them gives.
    EXPECT_EQ(TablespaceAclLines("t", "o", false, Acl({{"o", "C*"}, {"g", "C"}, {"g", "C*"}})),
              QStringList({"GRANT CREATE ON TABLESPACE t TO g WITH GRANT OPTION", ";"}));
    EXPECT_TRUE(TablespaceAclLines("t", "o", true, {}).isEmpty());
}

TEST_F(TablespaceDef, ScriptCarriesEveryOptionAndTheWholeAccessList)
{
    TTablespaceDef d;
    d.Name = "t";
    d.Owner = "grp";
    d.Location = "/srv/it's";
    d.Options = {"seq_page_cost=1.1", "effective_io_concurrency=4"};
    d.AclNull = false;
    d.Acl = Acl({{"grp", "C*"}, {"public", "C"}});
    EXPECT_EQ(TablespaceScriptLines(d),
              QStringList({"CREATE TABLESPACE t", "  OWNER grp", "  LOCATION '/srv/it''s'", ";", "ALTER TABLESPACE t",
                           " SET (seq_page_cost = 1.1 , effective_io_concurrency = 4)", ";",
                           "GRANT CREATE ON TABLESPACE t TO PUBLIC", ";"}));
    EXPECT_EQ(d.Option("effective_io_concurrency"), "4");
    EXPECT_EQ(d.Option("random_page_cost"), "");
}

TEST_F(TablespaceDef, LocationChangeThroughATemporaryName)
{
    const QString temp = TablespaceTempName();
    EXPECT_LE(temp.toUtf8().size(), 63);
    const QStringList lines = TablespaceMoveLines("t", "tmp", "o", "/new", {"SET"}, {"GRANT"});
    EXPECT_EQ(lines, QStringList({"CREATE TABLESPACE tmp", "  OWNER o", "  LOCATION '/new'", ";", "SET", "GRANT",
                                  "DROP TABLESPACE t", ";", "ALTER TABLESPACE tmp", " RENAME TO t", ";"}));
}

TEST_F(TablespaceDef, OptionValuesMustBeNumbers)
{
    for (const char *ok : {"", " ", "1", "1.5", "0.25", ".5", "4.", "1e3", "+2", " 3 "})
        EXPECT_TRUE(IsTablespaceOptionValue(ok)) << ok;
    for (const char *bad : {"a", "1,5", "1.5.1", "1); DROP TABLE x; --", "-1", "1 2", "e3", "NaN"})
        EXPECT_FALSE(IsTablespaceOptionValue(bad)) << bad;
}

TEST_F(TablespaceDef, StoredObjectDropsAndSizes)
{
    EXPECT_EQ(StoredObjectDropSQL("TABLE", "s", "T", false), "DROP TABLE IF EXISTS s.\"T\"");
    EXPECT_EQ(StoredObjectDropSQL("INDEX", "s", "i", true), "DROP INDEX IF EXISTS s.i CASCADE");
    EXPECT_EQ(StoredObjectDropSQL("SEQUENCE", "s", "q", false), "DROP SEQUENCE IF EXISTS s.q");
    for (const char *kind : {"VIEW", "TYPE", "m", "p"})
        EXPECT_TRUE(StoredObjectDropSQL(kind, "s", "x", false).isEmpty()) << kind;
    EXPECT_EQ(KiloBytesText(2400000), "2,400,000");
    EXPECT_EQ(KiloBytesText(0), "0");
    EXPECT_TRUE(TablespaceContentsSQL().contains("relpages::bigint"));
}

TEST_F(TablespaceDef, UserListTexts)
{
    // Script files: the kind's folder with SubDir (none for schemas), names made safe.
    EXPECT_EQ(UserListScriptFile("/out/", true, 3, "u"), "/out/USER/u.SQL");
    EXPECT_EQ(UserListScriptFile("/out/", true, 68, "r"), "/out/ROLE/r.SQL");
    EXPECT_EQ(UserListScriptFile("/out/", true, 4, "s"), "/out/s.SQL");
    EXPECT_EQ(UserListScriptFile("/out/", false, 3, "../x"), "/out/..x.SQL");
    EXPECT_FALSE(UserListScriptFile("/out/", false, 3, "a/b").mid(5).contains('/'));
    EXPECT_EQ(UserListGrantFile("/out/", true, 2, 3, "u"), "/out/USER/_GRANT.SQL");
    EXPECT_EQ(UserListGrantFile("/out/", false, 2, 3, "u"), "/out/_GRANT.SQL");
    EXPECT_EQ(UserListGrantFile("/out/", true, 1, 3, "u"), "/out/GRANT/u.SQL");
    EXPECT_EQ(UserListGrantFile("/out/", true, 0, 3, "u"), "");
    EXPECT_EQ(UserListRenameSQL(2, "a", "B"), "ALTER USER a RENAME TO \"B\"");
    EXPECT_EQ(UserListRenameSQL(68, "a", "b"), "ALTER ROLE a RENAME TO b");
    EXPECT_EQ(UserListRenameSQL(4, "a", "b"), "ALTER SCHEMA a RENAME TO b");
    EXPECT_EQ(UserListDropSQL(4, "s", true), "DROP SCHEMA s CASCADE");
    EXPECT_EQ(UserListDropSQL(3, "u", true), "DROP USER u");
    // Version gates of the list statements and columns.
    EXPECT_TRUE(UserListSQL(3, 90400).contains("rolcatupdate"));
    EXPECT_FALSE(UserListSQL(3, 90500).contains("rolcatupdate"));
    EXPECT_FALSE(UserListSQL(68, 90000).contains("rolreplication"));
    EXPECT_EQ(UserListColumns(3, 90000).size(), 8);
    EXPECT_EQ(UserListColumns(3, 150000).size(), 9);
    EXPECT_EQ(UserListColumns(68, 150000).size(), 8);
}

TEST_F(TablespaceDef, NameTableTexts)
{
    QString s, n;
    SplitNameTable("tools.names", s, n);
    EXPECT_EQ(s, "tools");
    EXPECT_EQ(n, "names");
    SplitNameTable("names", s, n);
    EXPECT_EQ(s, "");
    EXPECT_EQ(n, "names");
    SplitNameTable("a.b.c", s, n);
    EXPECT_EQ(n, "b.c");
    QStringList lines{"db1=a.b", "db2=c.d"};
    SetRegisteredNameTable(lines, "db1", "x.y");
    EXPECT_EQ(lines, QStringList({"db2=c.d", "db1=x.y"}));
    SetRegisteredNameTable(lines, "db2", "");
    EXPECT_EQ(lines, QStringList({"db1=x.y"}));
    EXPECT_EQ(NameTableCreateSQL("Tools", "n"), "CREATE TABLE \"Tools\".n(  owner       VARCHAR(255),  object_name "
                                                "VARCHAR(255),  object_type VARCHAR(255),  script_name VARCHAR(255))");
    // The schema filter is a parameter, never the typed text.
    const QString own = NameTableInitialDataSQL("s", "n", true);
    EXPECT_TRUE(own.contains(":SCHEMA"));
    EXPECT_FALSE(NameTableInitialDataSQL("s", "n", false).contains(":SCHEMA"));
    EXPECT_EQ(own.count("UNION ALL"), 8);
}

} // namespace
