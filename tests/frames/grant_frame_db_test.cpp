// The privilege frame in an editor window against the sandbox server: grantee lists, the
// tri-state check list, and the generated statements run and read back.
#include "controls/kdchklst.h"
#include "controls/kdcomctrls.h"
#include "core/kdsub_text.h"
#include "frames/grant_frame.h"
#include "frames_fixture.h"
#include "support/testdb.h"

#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QTreeWidgetItem *ItemOf(TfraGrant *f, const QString &name)
{
    for (int i = 0; i < f->lstGrant->topLevelItemCount(); ++i)
        if (f->lstGrant->topLevelItem(i)->text(0) == name)
            return f->lstGrant->topLevelItem(i);
    return nullptr;
}

QStringList CellsOf(TfraGrant *f, const QString &name)
{
    QTreeWidgetItem *item = ItemOf(f, name);
    if (!item)
        return {QStringLiteral("<no row>")};
    QStringList cells;
    for (int i = 1; i < f->lstGrant->columnCount(); ++i)
        cells << item->text(i);
    return cells;
}

void Select(TfraGrant *f, const QStringList &names)
{
    f->lstGrant->clearSelection();
    for (const QString &n : names)
        if (QTreeWidgetItem *item = ItemOf(f, n))
            item->setSelected(true);
}

class GrantFrameTest : public testdb::SchemaTest
{
protected:
    void SetUp() override
    {
        testdb::SchemaTest::SetUp();
        ResetFrameOptions();
    }
};

} // namespace

TEST_F(GrantFrameTest, SampleTableShowsGrantsMadeByAnotherGrantor)
{
    FakeConnForm conn(testdb::params().sampleDatabase);
    FrameHostForm<TfraGrant> host(&conn, 45);
    TfraGrant *f = host.Frame;
    f->ShowData(QStringLiteral("sales"), QStringLiteral("customers"));
    QStringList heads;
    for (int i = 0; i < f->lstGrant->columnCount(); ++i)
        heads << f->lstGrant->headerItem()->text(i);
    EXPECT_EQ(heads, QStringList({"ユーザー名", "DELETE", "INSERT", "REFERENCES", "SELECT", "TRIGGER", "TRUNCATE", "UPDATE"}));
    // sample_manager holds SELECT and UPDATE with grant option; sample_clerk got SELECT from
    // sample_manager, not from the owner.
    EXPECT_EQ(CellsOf(f, "sample_manager").at(3), "G");
    EXPECT_EQ(CellsOf(f, "sample_manager").at(6), "G");
    EXPECT_EQ(CellsOf(f, "sample_clerk").at(3), "*");
    EXPECT_EQ(f->chkGrant->count(), 7);
    EXPECT_FALSE(f->chkGrant->isEnabled());
}

TEST_F(GrantFrameTest, DefaultPrivilegesAndShowModes)
{
    exec(QStringLiteral("CREATE TABLE %1.t (a int)").arg(schema()));
    exec(QStringLiteral("CREATE FUNCTION %1.f(a int4, b text) RETURNS int LANGUAGE sql AS 'SELECT 1'").arg(schema()));
    FakeConnForm conn;
    const QString me = conn.ConnectionParam(QStringLiteral("User_Name"));
    {
        FrameHostForm<TfraGrant> host(&conn, 45);
        host.Frame->ShowData(schema(), QStringLiteral("t"));
        ASSERT_EQ(host.Frame->lstGrant->topLevelItemCount(), 1);
        EXPECT_EQ(host.Frame->lstGrant->topLevelItem(0)->text(0), me);
        EXPECT_EQ(CellsOf(host.Frame, me), QStringList(7, QStringLiteral("*")));
        // Every grantee in show mode 1, the owner's row among them.
        host.Frame->rdoShowAll->setChecked(true);
        host.Frame->ShowData(schema(), QStringLiteral("t"));
        EXPECT_GT(host.Frame->lstGrant->topLevelItemCount(), 3);
        EXPECT_TRUE(ItemOf(host.Frame, "public"));
        EXPECT_TRUE(ItemOf(host.Frame, "sample_sales")); // a group role
        EXPECT_EQ(ItemOf(host.Frame, me)->data(0, Qt::UserRole).toInt(), 3);
        EXPECT_EQ(ItemOf(host.Frame, "public")->data(0, Qt::UserRole).toInt(), 2);
        EXPECT_EQ(ItemOf(host.Frame, "sample_sales")->data(0, Qt::UserRole).toInt(), 68);
    }
    {
        FrameHostForm<TfraGrant> host(&conn, 52);
        const QString oid = scalar(QStringLiteral("SELECT '%1.f(int4,text)'::regprocedure::oid").arg(schema()));
        host.Frame->ShowData(schema(), QStringLiteral("f"), oid.toLongLong(), QStringLiteral("integer, text"));
        ASSERT_EQ(host.Frame->lstGrant->topLevelItemCount(), 2);
        EXPECT_EQ(CellsOf(host.Frame, me), QStringList({"*"}));
        EXPECT_EQ(CellsOf(host.Frame, "public"), QStringList({"*"}));
        // Revoking from PUBLIC names the function with its argument list.
        Select(host.Frame, {"public"});
        host.Frame->chkGrant->SetStateL(0, Qt::Unchecked);
        host.Frame->chkGrantClick();
        QStringList s;
        host.Frame->GetSource(s);
        EXPECT_EQ(s, QStringList({QStringLiteral("REVOKE EXECUTE ON ") +
                                      GrantObjectText(52, schema(), QStringLiteral("f"), QStringLiteral("integer, text"), false) +
                                      QStringLiteral(" FROM ") + QuoteIdentifier(QStringLiteral("public")),
                                  ";"}));
    }
}

TEST_F(GrantFrameTest, ShowModeAsksItsOwnHostToReload)
{
    FakeConnForm conn;
    FrameHostForm<TfraGrant> host(&conn, 45);
    FrameHostForm<TfraGrant> other(&conn, 45);
    QTest::mouseClick(host.Frame->rdoShowAll, Qt::LeftButton);
    EXPECT_EQ(host.Reloads, 1);
    EXPECT_EQ(other.Reloads, 0);
}

TEST_F(GrantFrameTest, CheckListFollowsTheSelectedGrantees)
{
    exec(QStringLiteral("CREATE TABLE %1.t (a int); GRANT SELECT ON %1.t TO sample_clerk; "
                        "GRANT SELECT, UPDATE ON %1.t TO sample_manager WITH GRANT OPTION")
             .arg(schema()));
    FakeConnForm conn;
    FrameHostForm<TfraGrant> host(&conn, 45);
    TfraGrant *f = host.Frame;
    f->rdoShowAll->setChecked(true);
    f->ShowData(schema(), QStringLiteral("t"));
    const int sel = 3, upd = 6;

    Select(f, {"sample_clerk", "public"});
    EXPECT_TRUE(f->chkGrant->isEnabled());
    EXPECT_EQ(f->chkGrant->StateL(sel), Qt::PartiallyChecked);
    EXPECT_EQ(f->chkGrant->StateL(upd), Qt::Unchecked);
    EXPECT_TRUE(f->chkGrant->ItemEnabledR(sel));

    Select(f, {"sample_clerk", "sample_manager"});
    EXPECT_EQ(f->chkGrant->StateL(sel), Qt::Checked);
    EXPECT_EQ(f->chkGrant->StateR(sel), Qt::PartiallyChecked);
    EXPECT_EQ(f->chkGrant->StateL(upd), Qt::PartiallyChecked);

    // PUBLIC alone takes no grant option.
    Select(f, {"public"});
    for (int i = 0; i < 7; ++i)
        EXPECT_FALSE(f->chkGrant->ItemEnabledR(i));

    // Ticking the grant option for PUBLIC and another grantee: "*" and "G".
    Select(f, {"public", "sample_clerk"});
    host.SetModified(false);
    f->chkGrant->SetStateL(sel, Qt::Checked);
    f->chkGrant->SetStateR(sel, Qt::Checked);
    f->chkGrantClick();
    EXPECT_TRUE(host.Modified());
    EXPECT_EQ(CellsOf(f, "public").at(sel), "*");
    EXPECT_EQ(CellsOf(f, "sample_clerk").at(sel), "G");
    // A grayed box leaves each row's own cell alone.
    Select(f, {"sample_clerk", "sample_manager"});
    EXPECT_EQ(f->chkGrant->StateL(upd), Qt::PartiallyChecked);
    f->chkGrantClick();
    EXPECT_EQ(CellsOf(f, "sample_manager").at(upd), "G");
    EXPECT_EQ(CellsOf(f, "sample_clerk").at(upd), "");
}

TEST_F(GrantFrameTest, PseudoTypeKeepsTheCheckListDisabled)
{
    FakeConnForm conn;
    FrameHostForm<TfraGrant> host(&conn, 55);
    host.Frame->rdoShowAll->setChecked(true);
    host.Frame->ShowData(QStringLiteral("pg_catalog"), QStringLiteral("anyelement"), -1, QString(), QStringLiteral("p"));
    ASSERT_GT(host.Frame->lstGrant->topLevelItemCount(), 0);
    host.Frame->lstGrant->topLevelItem(0)->setSelected(true);
    EXPECT_FALSE(host.Frame->chkGrant->isEnabled());
}

TEST_F(GrantFrameTest, GeneratedStatementsRoundTrip)
{
    struct Case { int type; QString create, name; };
    const QList<Case> cases = {
        {45, QStringLiteral("CREATE TABLE %1.\"Memo \"\"Draft\"\"\" (a int)"), QStringLiteral("Memo \"Draft\"")},
        {45, QStringLiteral("CREATE TABLE %1.\"請求書\" (a int) PARTITION BY RANGE (a)"), QStringLiteral("請求書")},
        {47, QStringLiteral("CREATE VIEW %1.v AS SELECT 1 AS a"), QStringLiteral("v")},
        {58, QStringLiteral("CREATE SEQUENCE %1.\"Seq A\""), QStringLiteral("Seq A")},
        // A name of 63 bytes, the longest the server keeps.
        {45, QStringLiteral("CREATE TABLE %1.\"%2\" (a int)").arg(QStringLiteral("%1"), QString(21, QChar(0x8868))),
         QString(21, QChar(0x8868))},
        {52, QStringLiteral("CREATE PROCEDURE %1.p(a int) LANGUAGE sql AS 'SELECT 1'"), QStringLiteral("p")},
    };
    FakeConnForm conn;
    for (const Case &c : cases) {
        exec(c.create.arg(schema()));
        FrameHostForm<TfraGrant> host(&conn, c.type);
        TfraGrant *f = host.Frame;
        f->rdoShowAll->setChecked(true);
        qint64 oid = -1;
        if (c.type == 52)
            oid = scalar(QStringLiteral("SELECT '%1.p(int)'::regprocedure::oid").arg(schema())).toLongLong();
        f->ShowData(schema(), c.name, oid, QStringLiteral("integer"));
        const int n = int(f->Privileges().size());
        // Every privilege with grant option to one grantee, the first without to another,
        // and the first to PUBLIC.
        Select(f, {"sample_manager"});
        for (int i = 0; i < n; ++i) {
            f->chkGrant->SetStateL(i, Qt::Checked);
            f->chkGrant->SetStateR(i, Qt::Checked);
        }
        f->chkGrantClick();
        Select(f, {"sample_clerk", "public"});
        f->chkGrant->SetStateL(0, Qt::Checked);
        f->chkGrant->SetStateR(0, Qt::Unchecked);
        f->chkGrantClick();
        const QStringList ticked = CellsOf(f, "sample_manager") + CellsOf(f, "sample_clerk") + CellsOf(f, "public");
        QStringList s;
        f->GetSource(s);
        ASSERT_FALSE(s.isEmpty());
        if (c.type == 52) {
            EXPECT_TRUE(s.first().contains(QStringLiteral(" ON PROCEDURE "))) << s.first().toStdString();
        }
        for (const QString &line : s)
            if (line != u";")
                conn.ExecuteSQL(line);
        f->ShowData(schema(), c.name, oid, QStringLiteral("integer"));
        EXPECT_EQ(CellsOf(f, "sample_manager") + CellsOf(f, "sample_clerk") + CellsOf(f, "public"), ticked)
            << c.name.toStdString();
        // Nothing left to do after the reload.
        QStringList again;
        f->GetSource(again);
        EXPECT_TRUE(again.isEmpty()) << again.join(QLatin1Char('\n')).toStdString();
    }
}

TEST_F(GrantFrameTest, ClerkLoadsThePageButCannotGrantOthers)
{
    FakeConnForm conn(testdb::params().sampleDatabase, QStringLiteral("sample_clerk"), QStringLiteral("sample_clerk"));
    FrameHostForm<TfraGrant> host(&conn, 45);
    host.Frame->rdoShowAll->setChecked(true);
    host.Frame->ShowData(QStringLiteral("sales"), QStringLiteral("customers"));
    EXPECT_EQ(CellsOf(host.Frame, "sample_clerk").at(3), "*");

    // A table the clerk holds nothing on: the GRANT fails and nothing changes.
    auto admin = testdb::connect(testdb::params().sampleDatabase);
    const QString table = testdb::scalar(admin.get(),
        QStringLiteral("SELECT n.nspname || '.' || c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                       "WHERE c.relkind = 'r' AND n.nspname NOT IN ('pg_catalog', 'information_schema', 'pg_toast') "
                       "AND NOT has_table_privilege('sample_clerk', c.oid, 'SELECT,INSERT,UPDATE,DELETE,TRUNCATE,REFERENCES,TRIGGER') "
                       "AND c.relname !~ '[^a-z_0-9]' ORDER BY 1 LIMIT 1"));
    ASSERT_FALSE(table.isEmpty());
    const QString nsp = table.section(u'.', 0, 0), rel = table.section(u'.', 1);
    host.Frame->ShowData(nsp, rel);
    Select(host.Frame, {"public"});
    host.Frame->chkGrant->SetStateL(3, Qt::Checked);
    host.Frame->chkGrantClick();
    QStringList s;
    host.Frame->GetSource(s);
    ASSERT_EQ(s, QStringList({QStringLiteral("GRANT SELECT ON ") + GrantObjectText(45, nsp, rel, QString(), false) +
                                  QStringLiteral(" TO ") + QuoteIdentifier(QStringLiteral("public")),
                              ";"}));
    conn.FDb.startTransaction();
    EXPECT_ANY_THROW(conn.ExecuteSQL(s.first()));
    conn.FDb.rollback();
    EXPECT_EQ(testdb::scalar(admin.get(), QStringLiteral("SELECT has_table_privilege('public', '%1', 'SELECT')").arg(table)), "f");
}
