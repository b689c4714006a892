// The storage frame in an editor window against the sandbox server: storage types, the
// autovacuum settings of a table and its TOAST table, parents, and the statements that
// change them.
#include "controls/kdgrid.h"
#include "controls/kdstdctl.h"
#include "core/kdsub_text.h"
#include "frames/storage_frame.h"
#include "frames_fixture.h"
#include "support/testdb.h"

#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

using Host = FrameHostForm<TfraStorage>;

QStringList Items(QComboBox *c)
{
    QStringList out;
    for (int i = 0; i < c->count(); ++i)
        out << c->itemText(i);
    return out;
}

// Loads an existing table as the table editor does.
void LoadTable(Host &host, const QString &schema, const QString &name)
{
    TfraStorage *f = host.Frame;
    f->Init(schema, name);
    f->ShowDefine();
    f->Save();
    host.SetModified(false);
}

void RunAll(FakeConnForm &conn, const QStringList &lines)
{
    QString statement;
    for (const QString &line : lines) {
        if (line == u";") {
            conn.ExecuteSQL(statement);
            statement.clear();
        } else {
            statement += line + QStringLiteral("\n");
        }
    }
    if (!statement.trimmed().isEmpty())
        conn.ExecuteSQL(statement);
}

class StorageFrameTest : public testdb::SchemaTest
{
protected:
    void SetUp() override
    {
        testdb::SchemaTest::SetUp();
        ResetFrameOptions();
    }
    QString Q(const QString &n) const { return QuoteIdentifier(n); }
    QString Alter(const QString &table) const { return QStringLiteral("ALTER TABLE ") + Q(schema()) + "." + Q(table); }
};

} // namespace

TEST_F(StorageFrameTest, StorageTypeListsAndPages)
{
    FakeConnForm conn;
    exec(QStringLiteral("CREATE TABLE %1.t (a int)").arg(schema()));
    {
        Host host(&conn, 45, true);
        host.Frame->Init(schema(), QString());
        EXPECT_EQ(Items(host.Frame->cmbStorageType), QStringList({"標準", "一時表", "継承"}));
        EXPECT_EQ(host.Frame->pagStorage->currentWidget(), host.Frame->tabDefault);
        EXPECT_FALSE(host.Frame->chkAutoVacuum->isHidden());
        host.Frame->cmbStorageType->setCurrentIndex(1);
        EXPECT_EQ(host.Frame->pagStorage->currentWidget(), host.Frame->tabTemporary);
        EXPECT_FALSE(host.Frame->grpOnCommit->isHidden());
        host.Frame->cmbStorageType->setCurrentIndex(2);
        EXPECT_EQ(host.Frame->pagStorage->currentWidget(), host.Frame->tabPartition);
    }
    {
        Host host(&conn, 45);
        host.Frame->grpOnCommit->hide(); // the table editor shows it only for a temporary table
        LoadTable(host, schema(), QStringLiteral("t"));
        EXPECT_EQ(Items(host.Frame->cmbStorageType), QStringList({"標準", "継承"}));
        EXPECT_EQ(host.Frame->cmbStorageType->currentText(), "標準");
    }
    {
        // An index holds only the tablespace; a second Init keeps its list.
        Host host(&conn, 46);
        host.Frame->Init(schema(), QStringLiteral("ix"));
        host.Frame->Init(schema(), QStringLiteral("ix2"));
        EXPECT_EQ(Items(host.Frame->cmbStorageType), QStringList({"標準"}));
        EXPECT_TRUE(host.Frame->chkAutoVacuum->isHidden());
        EXPECT_TRUE(host.Frame->grpAutoVacuum->isHidden());
    }
    {
        // An existing temporary table: only 一時表, and no retention choice.
        conn.ExecuteSQL(QStringLiteral("CREATE TEMP TABLE tmp_t (a int) ON COMMIT PRESERVE ROWS"));
        db::Query *q = conn.OpenSQL(QStringLiteral("SELECT nspname FROM pg_namespace WHERE oid = pg_my_temp_schema()"), {});
        const QString tempSchema = q->field(0).asString();
        q->close();
        Host host(&conn, 45);
        LoadTable(host, tempSchema, QStringLiteral("tmp_t"));
        EXPECT_EQ(Items(host.Frame->cmbStorageType), QStringList({"一時表"}));
        EXPECT_EQ(host.Frame->pagStorage->currentWidget(), host.Frame->tabTemporary);
        EXPECT_TRUE(host.Frame->grpOnCommit->isHidden());
    }
}

TEST_F(StorageFrameTest, CreateClausesOfANewTable)
{
    FakeConnForm conn;
    struct Case {
        const char *name;
        std::function<void(TfraStorage *)> setup;
        QStringList expected;
    };
    const QList<Case> cases = {
        {"temporary, kept for the session",
         [](TfraStorage *f) {
             f->cmbTBS->setEditText(QStringLiteral("pg_default"));
             f->cmbStorageType->setCurrentIndex(1);
             f->rdoSession->setChecked(true);
         },
         {"ON COMMIT PRESERVE ROWS"}},
        {"temporary, emptied at commit",
         [](TfraStorage *f) {
             f->cmbStorageType->setCurrentIndex(1);
             f->rdoTransaction->setChecked(true);
         },
         {"ON COMMIT DELETE ROWS"}},
        {"custom autovacuum with one threshold",
         [](TfraStorage *f) {
             f->chkAutoVacuum->setChecked(true);
             f->chkAutoVacuumClick();
             f->chkEnabled->setChecked(true);
             f->Field(0, 1)->setText(QStringLiteral("100"));
         },
         {"WITH (", "    AUTOVACUUM_ENABLED = TRUE,", "    AUTOVACUUM_VACUUM_THRESHOLD = 100", ")"}},
        {"TOAST settings and a tablespace",
         [](TfraStorage *f) {
             f->chkAutoVacuum->setChecked(true);
             f->chkAutoVacuumClick();
             f->chkToastEnabled->setChecked(true);
             f->Field(1, 3)->setText(QStringLiteral("0.2"));
             f->Field(1, 2)->setText(QStringLiteral("50")); // no ANALYZE settings for TOAST
             f->cmbTBS->setEditText(QStringLiteral("pg_default"));
         },
         {"WITH (", "    TOAST.AUTOVACUUM_ENABLED = TRUE,", "    TOAST.AUTOVACUUM_VACUUM_SCALE_FACTOR = 0.2", ")",
          "TABLESPACE " + QuoteIdentifier(QStringLiteral("pg_default"))}},
        {"a clear enabled box writes nothing",
         [](TfraStorage *f) {
             f->chkAutoVacuum->setChecked(true);
             f->chkAutoVacuumClick();
         },
         {}},
        {"typed parents",
         [](TfraStorage *f) {
             f->grdPartition->SetCells(0, 1, QStringLiteral("\"Archive\".\"Memo \"\"Draft\"\"\""));
             f->btnPartInsClick();
             f->grdPartition->SetCells(0, 2, QStringLiteral("inventory.inspections"));
         },
         {"INHERITS (" + QuoteIdentifier("Archive") + "." + QuoteIdentifier("Memo \"Draft\"") + ", " +
          QuoteIdentifier("inventory") + "." + QuoteIdentifier("inspections") + ")"}},
    };
    for (const Case &c : cases) {
        Host host(&conn, 45, true);
        host.Frame->Init(schema(), QString());
        host.Frame->Save();
        c.setup(host.Frame);
        QStringList s;
        host.Frame->GetSourceCreate(s);
        EXPECT_EQ(s, c.expected) << c.name;
    }
    // A parent name that is not a name is refused before anything is built.
    Host host(&conn, 45, true);
    host.Frame->Init(schema(), QString());
    host.Frame->Save();
    host.Frame->grdPartition->SetCells(0, 1, QStringLiteral("a; DROP TABLE b"));
    QStringList s;
    try {
        host.Frame->GetSourceCreate(s);
        ADD_FAILURE() << "accepted";
    } catch (const std::runtime_error &e) {
        EXPECT_STREQ(e.what(), "親テーブル名が正しくありません。");
    }
    EXPECT_TRUE(s.isEmpty());
}

TEST_F(StorageFrameTest, SampleSettingsAndParents)
{
    FakeConnForm conn(testdb::params().sampleDatabase);
    {
        Host host(&conn, 45);
        LoadTable(host, QStringLiteral("inventory"), QStringLiteral("stock"));
        EXPECT_TRUE(host.Frame->chkAutoVacuum->isChecked());
        EXPECT_EQ(host.Frame->Field(0, 3)->text(), "0.05");
        EXPECT_EQ(host.Frame->Field(0, 4)->text(), "0.02");
        EXPECT_FALSE(host.Frame->chkEnabled->isChecked());
        EXPECT_TRUE(host.Frame->Field(0, 1)->isEnabled());
    }
    {
        Host host(&conn, 45);
        LoadTable(host, QStringLiteral("inventory"), QStringLiteral("冷蔵点検"));
        EXPECT_EQ(host.Frame->grdPartition->Cells(0, 1), QuoteIdentifier("inventory") + "." + QuoteIdentifier("inspections"));
        EXPECT_EQ(host.Frame->grdPartition->Objects(0, 1).toInt(), 1);
        EXPECT_EQ(host.Frame->grdPartition->RowCount(), 3);
        EXPECT_EQ(host.Frame->grdPartition->Cells(0, 2), "");
        // The standard page of an existing child names its parents in CREATE.
        QStringList s;
        host.Frame->GetSourceCreate(s);
        EXPECT_TRUE(s.contains("INHERITS (" + QuoteIdentifier("inventory") + "." + QuoteIdentifier("inspections") + ")"))
            << s.join("\n").toStdString();
    }
    {
        // A partitioned table has no autovacuum settings; its partitions no classic parents.
        Host host(&conn, 45);
        LoadTable(host, QStringLiteral("inventory"), QStringLiteral("stock_movements"));
        EXPECT_TRUE(host.Frame->IsPartitioned());
        EXPECT_TRUE(host.Frame->chkAutoVacuum->isHidden());
        EXPECT_TRUE(host.Frame->grpAutoVacuum->isHidden());
        QStringList s;
        host.Frame->GetSourceAlterV(s);
        EXPECT_TRUE(s.isEmpty());
        Host part(&conn, 45);
        LoadTable(part, QStringLiteral("inventory"), QStringLiteral("stock_movements_2025q1"));
        EXPECT_EQ(part.Frame->grdPartition->RowCount(), 2);
        EXPECT_EQ(part.Frame->grdPartition->Cells(0, 1), "");
    }
}

TEST_F(StorageFrameTest, AlterStatementsOfAutovacuumSettings)
{
    const QString t = QStringLiteral("t");
    exec(QStringLiteral("CREATE TABLE %1.t (a int, b text) WITH (autovacuum_enabled = true, "
                        "autovacuum_vacuum_threshold = 100, autovacuum_vacuum_cost_delay = 2.5, "
                        "autovacuum_vacuum_scale_factor = 1)").arg(schema()));
    FakeConnForm conn;
    const QString s = Alter(t);
    {
        // Clearing the threshold: a SET of the rest, then a RESET of the threshold alone.
        Host host(&conn, 45);
        LoadTable(host, schema(), t);
        EXPECT_EQ(host.Frame->Field(0, 5)->text(), "2.5");
        EXPECT_EQ(host.Frame->Field(0, 3)->text(), "1");
        host.Frame->Field(0, 1)->clear();
        EXPECT_TRUE(host.Modified());
        QStringList out;
        host.Frame->GetSourceAlterV(out);
        EXPECT_EQ(out, QStringList({s + " SET (", "    AUTOVACUUM_ENABLED = TRUE,",
                                    "    AUTOVACUUM_VACUUM_SCALE_FACTOR = 1,", "    AUTOVACUUM_VACUUM_COST_DELAY = 2.5", ")",
                                    ";", s + " RESET (", "    AUTOVACUUM_VACUUM_THRESHOLD", ")", ";"}));
        RunAll(conn, out);
        EXPECT_EQ(scalar(QStringLiteral("SELECT array_to_string(reloptions, ',') FROM pg_class WHERE oid = '%1.t'::regclass").arg(schema())),
                  "autovacuum_enabled=true,autovacuum_vacuum_scale_factor=1,autovacuum_vacuum_cost_delay=2.5");
    }
    {
        // Custom settings off on the table target: RESET of the flag and all nine options.
        Host host(&conn, 45);
        LoadTable(host, schema(), t);
        host.Frame->chkAutoVacuum->setChecked(false);
        host.Frame->chkAutoVacuumClick();
        EXPECT_FALSE(host.Frame->Field(0, 1)->isEnabled());
        QStringList out;
        host.Frame->GetSourceAlterV(out);
        QStringList expected{s + " RESET (", "    AUTOVACUUM_ENABLED,"};
        for (int row = 1; row < 10; ++row)
            expected << QStringLiteral("    ") + VacuumOptions[row].Word + (row < 9 ? "," : "");
        expected << ")" << ";";
        EXPECT_EQ(out, expected);
        RunAll(conn, out);
        EXPECT_EQ(scalar(QStringLiteral("SELECT coalesce(array_length(reloptions, 1), 0) FROM pg_class WHERE oid = '%1.t'::regclass").arg(schema())), "0");
    }
    {
        // Nothing changed: nothing to do.
        Host host(&conn, 45);
        LoadTable(host, schema(), t);
        QStringList out;
        host.Frame->GetSourceAlterV(out);
        EXPECT_TRUE(out.isEmpty()) << out.join("\n").toStdString();
    }
}

TEST_F(StorageFrameTest, ParentsReplacedAndRemovedInOrder)
{
    const QString sc = schema();
    exec(QStringLiteral("CREATE TABLE %1.p1 (a int); CREATE TABLE %1.p2 (b int); CREATE TABLE %1.q (a int);"
                        "CREATE TABLE %1.child (d int) INHERITS (%1.p1, %1.p2);").arg(sc));
    // A table of the same name in another schema with other parents.
    exec(QStringLiteral("CREATE SCHEMA %1_x; CREATE TABLE %1_x.p9 (z int); CREATE TABLE %1_x.child (d int) INHERITS (%1_x.p9);").arg(sc));
    FakeConnForm conn;
    Host host(&conn, 45);
    LoadTable(host, sc, QStringLiteral("child"));
    TfraStorage *f = host.Frame;
    ASSERT_EQ(f->grdPartition->RowCount(), 4);
    EXPECT_EQ(f->grdPartition->Cells(0, 1), Q(sc) + "." + Q("p1"));
    EXPECT_EQ(f->grdPartition->Cells(0, 2), Q(sc) + "." + Q("p2"));
    f->cmbStorageType->setCurrentText(QStringLiteral("継承"));
    EXPECT_EQ(f->pagStorage->currentWidget(), f->tabPartition);
    f->grdPartition->SetCells(0, 1, sc + ".q");
    f->grdPartition->SetCurrentCell(0, 2);
    f->btnPartDelClick();
    QStringList out;
    f->GetSourceAlterP(out);
    const QString s = Alter(QStringLiteral("child"));
    EXPECT_EQ(out, QStringList({s + " NO INHERIT " + Q(sc) + "." + Q("p1"), ";", s + " INHERIT " + Q(sc) + "." + Q("q"), ";",
                                s + " NO INHERIT " + Q(sc) + "." + Q("p2"), ";"}));
    RunAll(conn, out);
    EXPECT_EQ(scalar(QStringLiteral("SELECT string_agg(c.relnamespace::regnamespace::text || '.' || c.relname, ',') FROM pg_inherits JOIN pg_class c ON c.oid = inhparent WHERE inhrelid = '%1.child'::regclass").arg(sc)),
              sc + ".q");
    EXPECT_EQ(scalar(QStringLiteral("SELECT string_agg(c.relnamespace::regnamespace::text || '.' || c.relname, ',') FROM pg_inherits JOIN pg_class c ON c.oid = inhparent WHERE inhrelid = '%1_x.child'::regclass").arg(sc)),
              sc + "_x.p9");
    // Deleting the single data row deletes nothing but marks the window modified.
    Host again(&conn, 45);
    LoadTable(again, sc, QStringLiteral("child"));
    ASSERT_EQ(again.Frame->grdPartition->RowCount(), 3);
    again.Frame->grdPartition->SetRowCount(2);
    again.Frame->grdPartition->SetCurrentCell(0, 1);
    again.Frame->btnPartDelClick();
    EXPECT_EQ(again.Frame->grdPartition->RowCount(), 2);
    EXPECT_TRUE(again.Modified());
    exec(QStringLiteral("DROP SCHEMA %1_x CASCADE").arg(sc));
}

TEST_F(StorageFrameTest, ShowStorageSourceOffKeepsOnlyTheAutovacuumAlter)
{
    exec(QStringLiteral("CREATE TABLE %1.p (a int); CREATE TABLE %1.t (b int) INHERITS (%1.p)").arg(schema()));
    FakeConnForm conn;
    Host host(&conn, 45);
    LoadTable(host, schema(), QStringLiteral("t"));
    TkdOption::Global().ShowStorageSource = false;
    host.Frame->chkAutoVacuum->setChecked(true);
    host.Frame->chkAutoVacuumClick();
    host.Frame->Field(0, 1)->setText(QStringLiteral("5"));
    host.Frame->cmbTBS->setEditText(QStringLiteral("pg_default"));
    QStringList create, alterP, alterV;
    host.Frame->GetSourceCreate(create);
    host.Frame->cmbStorageType->setCurrentText(QStringLiteral("継承"));
    host.Frame->btnPartInsClick();
    host.Frame->grdPartition->SetCells(0, 2, schema() + ".p");
    host.Frame->GetSourceAlterP(alterP);
    host.Frame->GetSourceAlterV(alterV);
    EXPECT_TRUE(create.isEmpty());
    EXPECT_TRUE(alterP.isEmpty());
    EXPECT_EQ(alterV.size(), 4);
}

TEST_F(StorageFrameTest, ControlRulesAndModified)
{
    FakeConnForm conn;
    exec(QStringLiteral("CREATE TABLE %1.t (a int, b text)").arg(schema()));
    Host host(&conn, 45);
    LoadTable(host, schema(), QStringLiteral("t"));
    TfraStorage *f = host.Frame;
    // Custom settings off: the target's controls are disabled.
    EXPECT_FALSE(f->chkAutoVacuum->isChecked());
    EXPECT_FALSE(f->rdoVacuumTarget->isEnabled());
    EXPECT_FALSE(f->chkEnabled->isEnabled());
    EXPECT_FALSE(f->Field(0, 1)->isEnabled());
    f->chkAutoVacuum->setChecked(true);
    f->chkAutoVacuumClick();
    EXPECT_TRUE(f->rdoVacuumTarget->isEnabled());
    EXPECT_TRUE(f->Field(0, 2)->isEnabled());
    // The TOAST target has no ANALYZE settings.
    f->rdoTargetToast->setChecked(true);
    f->rdoVacuumTargetClick();
    EXPECT_TRUE(f->Field(0, 1)->isHidden());
    EXPECT_FALSE(f->Field(1, 1)->isHidden());
    EXPECT_FALSE(f->Field(1, 2)->isEnabled());
    EXPECT_FALSE(f->Field(1, 4)->isEnabled());
    EXPECT_FALSE(f->lblAnalyzeThreshold->isEnabled());
    f->rdoTargetTable->setChecked(true);
    f->rdoVacuumTargetClick();
    EXPECT_TRUE(f->Field(0, 2)->isEnabled());
    EXPECT_TRUE(f->lblAnalyzeFactor->isEnabled());

    // Every kind of change marks the host modified.
    const QList<std::pair<const char *, std::function<void()>>> changes = {
        {"threshold", [f] { f->Field(0, 1)->setText("7"); }},
        {"toast field", [f] { f->Field(1, 5)->setText("3"); }},
        {"enabled", [f] { f->chkEnabled->setChecked(!f->chkEnabled->isChecked()); }},
        {"toast enabled", [f] { f->chkToastEnabled->setChecked(!f->chkToastEnabled->isChecked()); }},
        {"tablespace", [f] { f->cmbTBS->setEditText("pg_default"); }},
        {"retention", [f] { f->rdoSession->setChecked(true); }},
        {"storage type", [f] { f->cmbStorageType->setCurrentText("継承"); }},
        {"add parent row", [f] { f->btnPartInsClick(); }},
        {"custom settings", [f] { f->chkAutoVacuumClick(); }},
    };
    for (const auto &[name, change] : changes) {
        host.SetModified(false);
        change();
        EXPECT_TRUE(host.Modified()) << name;
    }
    // Tablespace and retention changes ask for a re-creation.
    Host other(&conn, 45);
    LoadTable(other, schema(), QStringLiteral("t"));
    EXPECT_FALSE(other.Frame->IsCreate());
    other.Frame->cmbTBS->setEditText("pg_default");
    EXPECT_TRUE(other.Frame->IsCreate());
    // Numeric fields keep digits and one point only.
    other.Frame->Field(0, 5)->setText(QStringLiteral("2.5.1x-"));
    EXPECT_EQ(other.Frame->Field(0, 5)->text().count(u'.'), 1);
    EXPECT_FALSE(other.Frame->Field(0, 5)->text().contains(u'x'));
}

TEST_F(StorageFrameTest, TablespaceOfATableCreatedInIt)
{
    const QString tbs = testdb::params().tablespace;
    if (tbs.isEmpty())
        GTEST_SKIP() << "the sandbox has no tablespace (VANTOR_TBS not set by scripts/pg-sandbox.sh)";
    exec(QStringLiteral("CREATE TABLE %1.t (a int) TABLESPACE %2").arg(schema(), tbs));
    FakeConnForm conn;
    Host host(&conn, 45);
    // The table editor writes the table's tablespace into the box before loading.
    host.Frame->cmbTBS->setEditText(scalar(QStringLiteral(
        "SELECT spcname FROM pg_class c JOIN pg_tablespace s ON s.oid = c.reltablespace WHERE c.oid = '%1.t'::regclass").arg(schema())));
    LoadTable(host, schema(), QStringLiteral("t"));
    host.Frame->cmbTBSDropDown();
    EXPECT_TRUE(Items(host.Frame->cmbTBS).contains(tbs));
    EXPECT_EQ(host.Frame->cmbTBS->currentText(), tbs);
    EXPECT_FALSE(host.Frame->IsCreate());
    QStringList s;
    host.Frame->GetSourceCreate(s);
    EXPECT_TRUE(s.contains("TABLESPACE " + QuoteIdentifier(tbs))) << s.join("\n").toStdString();
}
