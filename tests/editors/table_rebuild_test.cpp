// The rebuild's statement list without a server: the order of its steps, the copy back by
// column number under the loaded names with the renames last, the grants under SET ROLE of
// their grantors in an order in which each grantor holds its grant option, and what the
// source page and a rebuild without backup leave out.
#include "editors/table_rebuild.h"
#include "support/qstring_printer.h"

#include <gtest/gtest.h>

namespace {

TTableColumn Col(const QString &name, int pos, int attnum)
{
    TTableColumn c;
    c.Name = name;
    c.TypeName = "integer";
    c.LoadPos = pos;
    c.AttNum = attnum;
    return c;
}

TTableDef Loaded()
{
    TTableDef d;
    d.Schema = "s";
    d.Name = "t";
    d.Owner = "own";
    d.Columns << Col("id", 1, 1) << Col("a", 2, 3) << Col("b", 3, 4);
    d.Columns[0].PrimaryKey = true;
    d.Constraints << TTableConstraint{"t_pkey", QLatin1Char('p'), "PRIMARY KEY (id)", "", "", true, {}, {}};
    d.Sequences << TOwnedSequence{"s", "t_id_seq", "id", {"CREATE SEQUENCE s.t_id_seq", ";"}};
    return d;
}

TRebuildFacts Facts()
{
    TRebuildFacts f;
    f.BackupName = "t_bk";
    f.IndexLines << "CREATE INDEX i ON s.t USING btree (a)" << ";";
    f.TriggerLines << "CREATE TRIGGER tr BEFORE UPDATE ON s.t FOR EACH ROW EXECUTE FUNCTION s.f()" << ";";
    f.RuleLines << "CREATE RULE r AS ON DELETE TO s.t DO INSTEAD NOTHING" << ";";
    f.StatisticsLines << "CREATE STATISTICS s.st ON a, b FROM s.t" << ";";
    f.IncomingKeys << TIncomingKey{"\"o\".\"c\"", "c_fk", "FOREIGN KEY (tid) REFERENCES s.t(id)", ""};
    TRebuildView v1;
    v1.Schema = "s";
    v1.Name = "v1";
    v1.CreateLines << "CREATE VIEW \"s\".\"v1\" AS" << " SELECT a FROM s.t" << ";";
    TRebuildView v2 = v1;
    v2.Name = "v2";
    v2.Depth = 2;
    v2.CreateLines = QStringList{"CREATE VIEW \"s\".\"v2\" AS", " SELECT a FROM s.v1", ";"};
    f.Views << v1 << v2;
    f.Acl.Set = true;
    f.Acl.Owner = "own";
    // Listed before the grant that gives its grantor the option.
    f.Acl.Grants << TRebuildGrant{"g", "r", 0, {"INSERT"}, false, true}
                 << TRebuildGrant{"own", "own", 0, {"SELECT", "INSERT"}, false, true}
                 << TRebuildGrant{"own", "g", 0, {"INSERT"}, true, true}
                 << TRebuildGrant{"own", "", 4, {"SELECT"}, false, true}
                 << TRebuildGrant{"x", "r", 0, {"SELECT"}, false, false};
    f.IdentityValues << TIdentityValue{"a", "\"s\".\"t_a_seq\"", "41"};
    return f;
}

// Statements joined to one line each.
QStringList Statements(const QStringList &lines)
{
    QStringList out;
    QStringList cur;
    for (const QString &l : lines) {
        if (l == ";") {
            out << cur.join(' ');
            cur.clear();
        } else {
            cur << l;
        }
    }
    return out;
}

int IndexOf(const QStringList &st, const QString &start)
{
    for (int i = 0; i < st.size(); ++i)
        if (st[i].startsWith(start))
            return i;
    return -1;
}

TEST(TableRebuildTest, StepsComeInTheirOrder)
{
    TTableDef edited = Loaded();
    std::swap(edited.Columns[1], edited.Columns[2]);
    edited.Columns[2].Name = "a2"; // renamed as well
    TRebuildOptions opt;
    opt.Prefix = "\"s\".";
    const QStringList lines = TableRebuildLines(Loaded(), edited, Facts(), opt);
    const QStringList st = Statements(lines);
    const QStringList order = {
        "ALTER SEQUENCE \"s\".\"t_id_seq\" OWNED BY NONE",
        "ALTER TABLE \"o\".\"c\" DROP CONSTRAINT \"c_fk\"",
        "DROP VIEW \"s\".\"v2\"",
        "DROP VIEW \"s\".\"v1\"",
        "CREATE UNLOGGED TABLE \"s\".\"t_bk\" AS SELECT * FROM \"s\".\"t\"",
        "DROP TABLE \"s\".\"t\"",
        "CREATE TABLE \"s\".t",
        "ALTER TABLE \"s\".\"t\" OWNER TO \"own\"",
        "INSERT INTO \"s\".\"t\" (\"id\", \"b\", \"a\") OVERRIDING SYSTEM VALUE SELECT \"id\", \"b\", \"a\" FROM \"s\".\"t_bk\"",
        "SELECT setval('\"s\".\"t_a_seq\"', 41, true)",
        "ALTER SEQUENCE \"s\".\"t_id_seq\" OWNED BY \"s\".\"t\".\"id\"",
        "CREATE INDEX i",
        "CREATE TRIGGER tr",
        "CREATE RULE r",
        "CREATE STATISTICS s.st",
        "ALTER TABLE \"o\".\"c\" ADD CONSTRAINT \"c_fk\" FOREIGN KEY (tid)",
        "CREATE VIEW \"s\".\"v1\"",
        "CREATE VIEW \"s\".\"v2\"",
        "REVOKE ALL ON TABLE \"s\".\"t\" FROM \"own\"",
        "ALTER TABLE \"s\".\"t\" RENAME COLUMN \"a\" TO \"a2\"",
        "DROP TABLE \"s\".\"t_bk\"",
    };
    int last = -1;
    for (const QString &o : order) {
        const int at = IndexOf(st, o);
        EXPECT_GT(at, last) << o.toStdString() << "\n" << st.join('\n').toStdString();
        last = at;
    }
    const int b = IndexOf(lines, "    b ");
    const int a = IndexOf(lines, "    a ");
    EXPECT_TRUE(b >= 0 && a > b) << "the new order, the loaded names";
    EXPECT_EQ(IndexOf(st, "CREATE SEQUENCE"), -1) << "the owned sequence stands already";
    EXPECT_EQ(st.filter("DROP TABLE \"s\".\"t\"").size(), 1);
}

TEST(TableRebuildTest, GrantsFollowTheirGrantorsAndColumnsMapByNumber)
{
    TTableDef edited = Loaded();
    edited.Columns.removeAt(1); // a (attnum 3) deleted
    std::swap(edited.Columns[0], edited.Columns[1]);
    const QStringList st = Statements(TableRebuildLines(Loaded(), edited, Facts(), TRebuildOptions()));
    const int revoke = IndexOf(st, "REVOKE ALL");
    ASSERT_GE(revoke, 0);
    const QStringList grants = st.mid(revoke, 9);
    const QStringList expected = {
        "REVOKE ALL ON TABLE \"s\".\"t\" FROM \"own\"",
        "GRANT SELECT, INSERT ON TABLE \"s\".\"t\" TO \"own\"",
        "GRANT INSERT ON TABLE \"s\".\"t\" TO \"g\" WITH GRANT OPTION",
        "GRANT SELECT (\"b\") ON TABLE \"s\".\"t\" TO PUBLIC",
        "SET ROLE \"g\"",
        "GRANT INSERT ON TABLE \"s\".\"t\" TO \"r\"",
        "RESET ROLE",
        "GRANT SELECT ON TABLE \"s\".\"t\" TO \"r\"", // x cannot be become: granted as the login
        "DROP TABLE \"s\".\"t_bk\"",
    };
    EXPECT_EQ(grants, expected);
    EXPECT_EQ(IndexOf(st, "SELECT setval"), -1) << "the identity column was deleted";
    EXPECT_EQ(GrantsRecordedAsLogin(Facts(), "s.t").size(), 1);
    EXPECT_TRUE(GrantsRecordedAsLogin(Facts(), "s.t").value(0).contains("x"));
    const int insert = IndexOf(st, "INSERT INTO");
    ASSERT_GE(insert, 0);
    EXPECT_EQ(st[insert], "INSERT INTO \"s\".\"t\" (\"b\", \"id\") OVERRIDING SYSTEM VALUE SELECT \"b\", \"id\" FROM \"s\".\"t_bk\"");
}

TEST(TableRebuildTest, SourcePageKeepsTheBackupAndWithoutBackupNoRowsMove)
{
    const QStringList source = {"CREATE TABLE s.t (id int)", ";"};
    TRebuildOptions opt;
    opt.CopyBack = false;
    opt.KeepBackup = true;
    QStringList st = Statements(TableRebuildLines(Loaded(), Loaded(), Facts(), opt, &source));
    EXPECT_GE(IndexOf(st, "CREATE UNLOGGED TABLE \"s\".\"t_bk\""), 0);
    EXPECT_GE(IndexOf(st, "CREATE TABLE s.t (id int)"), 0);
    EXPECT_EQ(IndexOf(st, "INSERT INTO"), -1);
    EXPECT_EQ(IndexOf(st, "DROP TABLE \"s\".\"t_bk\""), -1);

    TRebuildOptions none;
    none.Backup = false;
    st = Statements(TableRebuildLines(Loaded(), Loaded(), Facts(), none));
    EXPECT_EQ(IndexOf(st, "CREATE UNLOGGED TABLE"), -1);
    EXPECT_EQ(IndexOf(st, "INSERT INTO"), -1);
    EXPECT_EQ(st.filter("t_bk").size(), 0);

    TTableDef temp = Loaded();
    temp.Persistence = QLatin1Char('t');
    st = Statements(TableRebuildLines(temp, temp, Facts(), TRebuildOptions()));
    EXPECT_GE(IndexOf(st, "CREATE TEMPORARY TABLE \"t_bk\" AS SELECT * FROM \"s\".\"t\""), 0);
}

TEST(TableRebuildTest, PrimaryKeyFollowsChangedMarks)
{
    TTableDef edited = Loaded();
    std::swap(edited.Columns[1], edited.Columns[2]);
    edited.Columns[0].PrimaryKey = false;
    edited.Columns[1].PrimaryKey = true; // b
    QStringList l = TableRebuildLines(Loaded(), edited, Facts(), TRebuildOptions());
    EXPECT_EQ(l.filter("CONSTRAINT t_pkey PRIMARY KEY (\"b\")").size(), 1) << l.join('\n').toStdString();
    for (TTableColumn &c : edited.Columns)
        c.PrimaryKey = false;
    l = TableRebuildLines(Loaded(), edited, Facts(), TRebuildOptions());
    EXPECT_EQ(l.filter("PRIMARY KEY").size(), 0);
}

} // namespace
