// The privilege frame's logic without a window or server: access lists into cells, and cells
// into GRANT and REVOKE statements.
#include "frames/grant_frame.h"
#include "support/qstring_printer.h"

#include <gtest/gtest.h>

namespace {

QList<TGrantRow> MakeRows(const QStringList &names, int n)
{
    QList<TGrantRow> rows;
    for (const QString &name : names)
        rows << TGrantRow{name, QStringList(n, QString()), QStringList(n, QString())};
    return rows;
}

const TGrantRow &Row(const QList<TGrantRow> &rows, const QString &name)
{
    for (const TGrantRow &r : rows)
        if (r.Name == name)
            return r;
    static TGrantRow none;
    ADD_FAILURE() << "no row " << name.toStdString();
    return none;
}

} // namespace

TEST(GrantCells, NullListGivesDefaultPrivilegesPerKind)
{
    struct Case { int type; QStringList owner, pub; };
    const Case cases[] = {
        {45, QStringList(7, QStringLiteral("*")), QStringList(7, QString())},
        {47, QStringList(7, QStringLiteral("*")), QStringList(7, QString())},
        {52, {QStringLiteral("*")}, {QStringLiteral("*")}},
        {55, {QStringLiteral("*")}, {QStringLiteral("*")}},
        {58, QStringList(3, QStringLiteral("*")), QStringList(3, QString())},
    };
    for (const Case &c : cases) {
        const auto privs = GrantPrivileges(c.type);
        auto rows = MakeRows({QStringLiteral("alice"), QStringLiteral("owner"), QStringLiteral("public")}, int(privs.size()));
        FillGrantCells(rows, privs, c.type, QStringLiteral("owner"), true, {});
        EXPECT_EQ(Row(rows, QStringLiteral("owner")).Cells, c.owner) << c.type;
        EXPECT_EQ(Row(rows, QStringLiteral("public")).Cells, c.pub) << c.type;
        EXPECT_EQ(Row(rows, QStringLiteral("owner")).Snapshot, c.owner) << c.type;
        EXPECT_FALSE(Row(rows, QStringLiteral("alice")).FromServer) << c.type;
    }
}

TEST(GrantCells, EntriesFillTheirGranteesWhoeverGranted)
{
    struct Case { int type; QString item; QString grantee; QStringList cells; };
    const Case cases[] = {
        // An empty grantee is PUBLIC.
        {45, QStringLiteral("=r/owner"), QStringLiteral("public"), {"", "", "", "*", "", "", ""}},
        // A "*" belongs to the letter before it; a letter without a column is ignored.
        {58, QStringLiteral("alice=arw*/owner"), QStringLiteral("alice"), {"*", "G", ""}},
        // d (DELETE) and D (TRUNCATE) differ.
        {45, QStringLiteral("alice=D/owner"), QStringLiteral("alice"), {"", "", "", "", "", "*", ""}},
        {45, QStringLiteral("alice=d*/owner"), QStringLiteral("alice"), {"G", "", "", "", "", "", ""}},
        // Granted by a role other than the owner, with a long grantor name.
        {45, QStringLiteral("sample_clerk=r/sample_manager"), QStringLiteral("sample_clerk"), {"", "", "", "*", "", "", ""}},
        // Quoted names with blanks, quotes and Japanese.
        {52, QStringLiteral("\"経理 \"\"係\"\"\"=X*/\"Owner Name\""), QStringLiteral("経理 \"係\""), {"G"}},
        {55, QStringLiteral("alice=U/owner"), QStringLiteral("alice"), {"*"}},
    };
    for (const Case &c : cases) {
        const auto privs = GrantPrivileges(c.type);
        auto rows = MakeRows({QStringLiteral("alice"), QStringLiteral("sample_clerk"), QStringLiteral("経理 \"係\""),
                              QStringLiteral("public")},
                             int(privs.size()));
        FillGrantCells(rows, privs, c.type, QStringLiteral("owner"), false, {c.item, QStringLiteral("nobody=r/owner")});
        EXPECT_EQ(Row(rows, c.grantee).Cells, c.cells) << c.item.toStdString();
        EXPECT_EQ(Row(rows, c.grantee).Snapshot, c.cells) << c.item.toStdString();
        EXPECT_TRUE(Row(rows, c.grantee).FromServer) << c.item.toStdString();
    }
}

TEST(GrantStatements, EachCellChangeGivesItsStatements)
{
    const QString obj = QStringLiteral("TABLE s.t");
    struct Case { QString name, was, now; QStringList expected; };
    const Case cases[] = {
        {"alice", "*", "", {"REVOKE SELECT ON TABLE s.t FROM alice", ";"}},
        {"alice", "G", "", {"REVOKE SELECT ON TABLE s.t FROM alice", ";"}},
        {"alice", "", "*", {"GRANT SELECT ON TABLE s.t TO alice", ";"}},
        {"alice", "G", "*", {"REVOKE SELECT ON TABLE s.t FROM alice", ";", "GRANT SELECT ON TABLE s.t TO alice", ";"}},
        {"alice", "", "G", {"GRANT SELECT ON TABLE s.t TO alice WITH GRANT OPTION", ";"}},
        {"alice", "*", "G", {"GRANT SELECT ON TABLE s.t TO alice WITH GRANT OPTION", ";"}},
        {"public", "", "G", {"GRANT SELECT ON TABLE s.t TO public", ";"}},
        {"public", "*", "G", {}},
        {"alice", "*", "*", {}},
        {"Mixed Case", "", "*", {"GRANT SELECT ON TABLE s.t TO \"Mixed Case\"", ";"}},
    };
    const QList<TGrantPrivilege> privs{{QChar(u'r'), QStringLiteral("SELECT"), QString()}};
    for (const Case &c : cases) {
        const QList<TGrantRow> rows{TGrantRow{c.name, {c.now}, {c.was}}};
        EXPECT_EQ(GrantChangeStatements(rows, privs, obj), c.expected) << c.was.toStdString() << "->" << c.now.toStdString();
    }
}

TEST(GrantStatements, ObjectTextsQuoteNamesAndNameTheKind)
{
    EXPECT_EQ(GrantObjectText(45, "sales", "orders", "", false), "TABLE sales.orders");
    EXPECT_EQ(GrantObjectText(47, "sales", "order_summary", "", false), "TABLE sales.order_summary");
    EXPECT_EQ(GrantObjectText(52, "sales", "f", "integer, text", false), "FUNCTION sales.f(integer, text)");
    EXPECT_EQ(GrantObjectText(52, "sales", "p", "integer", true), "PROCEDURE sales.p(integer)");
    EXPECT_EQ(GrantObjectText(55, "Archive", "Memo \"Draft\"", "", false), "TYPE \"Archive\".\"Memo \"\"Draft\"\"\"");
    EXPECT_EQ(GrantObjectText(58, "inventory", "冷蔵点検", "", false), "SEQUENCE inventory.冷蔵点検");
}

TEST(GrantStatements, ReregistWritesEveryGranteeOnce)
{
    const QList<TGrantPrivilege> privs = GrantPrivileges(55);
    const QList<TGrantRow> rows{TGrantRow{"alice", {"G"}, {""}}, TGrantRow{"bob", {"*"}, {"*"}},
                                TGrantRow{"carol", {""}, {"*"}}};
    const QStringList s = GrantReregistStatements(rows, privs, QStringLiteral("TYPE s.t"));
    EXPECT_EQ(s, QStringList({"GRANT USAGE ON TYPE s.t TO alice WITH GRANT OPTION", ";",
                              "GRANT USAGE ON TYPE s.t TO bob", ";", "REVOKE USAGE ON TYPE s.t FROM carol", ";"}));
}
