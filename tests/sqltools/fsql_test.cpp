// The SQL window against the sandbox server: splitting and running, result tabs, row-count
// messages, error marking and continuing, transactions, plan mode, bind variables, history.
#include "app/fmain.h"
#include "browser/fobject.h"
#include "controls/kddbmodel.h"
#include "controls/kddbgrid.h"
#include "controls/kdgrid.h"
#include "controls/kdmemo.h"
#include "core/kdsub_options.h"
#include "core/kdsub_start.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"
#include "sqltools/fsql.h"
#include "sqltools/fsqllog.h"
#include "support/qstring_printer.h"
#include "support/testdb.h"
#include "../core/msghook.h"

#include <QApplication>
#include <QListWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

void Flush()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

class SqlWindowTest : public testdb::SchemaTest
{
protected:
    void SetUp() override
    {
        testdb::SchemaTest::SetUp();
        SetLogonProc({});
        Main = new TfrmMain;
        Main->SetCloseSteps({});
        TkdOption &o = TkdOption::Global();
        o.UpdateToCommit = true;
        o.CharacterSet = QStringLiteral("UTF8");
        o.UsePartial = false;
        o.SQLBuf = 32;
        o.Encoding = 2;
        o.TempDir = Temp.path() + QStringLiteral("/");
        SQLHistoryList().clear();
        Main->show();
        Flush();
    }
    void TearDown() override
    {
        if (Window)
            Window->close();
        Flush();
        Main->SetCloseSteps({});
        Main->close();
        delete Main;
        Flush();
        TkdOption::Global().UpdateToCommit = false;
        testdb::SchemaTest::TearDown();
    }
    TfrmSQL *Open()
    {
        const testdb::Params &p = testdb::params();
        Conn = TfrmObject::Create({p.host, p.port, p.database, schema(), p.user, p.password});
        Window = new TfrmSQL(Conn);
        Flush();
        return Window;
    }
    void Run(const QString &text)
    {
        Window->txtSQL->setText(text);
        Window->actExecExecute();
        Flush();
    }
    QStringList Tabs() const
    {
        QStringList t;
        for (int i = 0; i < Window->pagData->count(); ++i)
            t << Window->pagData->tabText(i);
        return t;
    }
    QString Cell(int tab, int row, int col)
    {
        auto *pane = qobject_cast<TSQLResultPane *>(Window->pagData->widget(tab));
        return pane->Query()->valueString(row, col);
    }

    QTemporaryDir Temp;
    TfrmMain *Main = nullptr;
    TfrmObject *Conn = nullptr;
    QPointer<TfrmSQL> Window;
};

const QString kRowsMsg = QStringLiteral(" SQLを実行しました。\r\n(対象：%1 レコード )");

TEST_F(SqlWindowTest, StatementsRunIntoTabsAndRowCounts)
{
    exec("CREATE TABLE t (id int, name text)");
    exec("INSERT INTO t VALUES (1, '東京'), (2, '大阪')");
    Open();
    ScriptedMessageBoxes boxes;
    // A SELECT ending with ";", a ";" line, an UPDATE ending with ";": both ";" dropped.
    boxes.Answer(IDOK);
    Run(QStringLiteral("SELECT name FROM t ORDER BY id;\n;\nUPDATE t SET name = name || '!';"));
    EXPECT_EQ(Tabs(), QStringList({"結果"}));
    EXPECT_EQ(Cell(0, 0, 0), QStringLiteral("東京"));
    ASSERT_EQ(boxes.Shown().size(), 1);
    EXPECT_EQ(boxes.Last().text, kRowsMsg.arg(2));
    EXPECT_TRUE(boxes.Last().items.isEmpty()); // the UPDATE ends on the last line
    EXPECT_EQ(scalar("SELECT string_agg(name, ',' ORDER BY id) FROM t"), QStringLiteral("東京!,大阪!"));
    EXPECT_TRUE(Main->StatusText(2).startsWith(QStringLiteral("処理時間(HH:MM:SS.Ms)：")));

    // Three SELECTs: three tabs; SELECT, UPDATE, SELECT: two, the UPDATE taking none.
    Run(QStringLiteral("SELECT 1\n;\nSELECT 2\n;\nSELECT 3"));
    EXPECT_EQ(Tabs(), QStringList({"結果", "結果2", "結果3"}));
    EXPECT_EQ(Cell(2, 0, 0), QStringLiteral("3"));
    boxes.Answer(IDOK);
    Run(QStringLiteral("SELECT 1\n;\nUPDATE t SET id = id\n;\nSELECT 3"));
    EXPECT_EQ(Tabs(), QStringList({"結果", "結果2"}));
    EXPECT_EQ(Cell(1, 0, 0), QStringLiteral("3"));
    EXPECT_EQ(boxes.Last().items.size(), 1); // more lines follow: the "no more dialogs" box
    EXPECT_EQ(boxes.Last().items.first().Caption, QStringLiteral("以降の結果ダイアログを表示しない"));

    // "No more dialogs" ticked: the second UPDATE shows nothing.
    boxes.Answer(IDOK, [](MessageBoxRequest &r) { r.items[0].Checked = true; });
    Run(QStringLiteral("UPDATE t SET id = id\n;\nUPDATE t SET id = id"));
    EXPECT_EQ(boxes.Shown().size(), 3);

    // RETURNING shows rows in a tab.
    Run(QStringLiteral("UPDATE t SET id = id + 10 RETURNING id, name"));
    EXPECT_EQ(Tabs(), QStringList({"結果"}));
    EXPECT_EQ(Cell(0, 0, 0).toInt() > 10, true);
    EXPECT_EQ(boxes.Shown().size(), 3);

    // Only blank, REM and ";" lines: nothing runs, no box; the old results are discarded.
    Run(QStringLiteral("SELECT 1\n;\nSELECT 2"));
    Run(QStringLiteral("\nREM nothing\n;\n  \n;"));
    EXPECT_EQ(Tabs(), QStringList({"結果"}));
    EXPECT_EQ(boxes.Shown().size(), 3);
    EXPECT_EQ(boxes.Pending(), 0);
}

TEST_F(SqlWindowTest, TrailingSemicolonAndVariablesOfCreateStatements)
{
    Open();
    QStringList sent;
    Conn->dbsMain()->setStatementObserver([&](const QString &sql) { sent << sql; });
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDOK).Answer(IDOK).Answer(IDOK);
    // Capitals keep the ";" of a code object; lower case loses it (the test is case-sensitive);
    // a CREATE gets no variables even where ":name" stands in its text.
    Run(QStringLiteral("CREATE FUNCTION f1() RETURNS int AS 'select 1' LANGUAGE sql;\n;\n"
                       "create function f2() returns int as 'select 2' language sql;\n;\n"
                       "CREATE TABLE c1 (a int DEFAULT 1); -- :notavariable"));
    Conn->dbsMain()->setStatementObserver({});
    ASSERT_EQ(sent.size(), 3);
    EXPECT_TRUE(sent[0].trimmed().endsWith(u';'));
    EXPECT_FALSE(sent[1].trimmed().endsWith(u';'));
    EXPECT_TRUE(Window->grdParam->isHidden());
    EXPECT_EQ(scalar("SELECT count(*) FROM pg_proc WHERE proname IN ('f1', 'f2') AND pronamespace = '" + schema() + "'::regnamespace"), "2");
    EXPECT_EQ(scalar("SELECT to_regclass('" + schema() + ".c1') IS NOT NULL"), "t");
}

TEST_F(SqlWindowTest, FailingStatementIsMarkedAndMayContinue)
{
    exec("CREATE TABLE t (id int)");
    Open();
    const QString script = QStringLiteral("INSERT INTO t VALUES (1)\n;\nSELEC bad\nFROM t\n;\nINSERT INTO t VALUES (2)");
    {
        // Not ticked: the run stops at the failing statement, whose lines are selected.
        ScriptedMessageBoxes boxes;
        boxes.Answer(IDOK).Answer(IDOK);
        Run(script);
        ASSERT_EQ(boxes.Shown().size(), 2);
        const MessageBoxRequest &err = boxes.Last();
        EXPECT_TRUE(err.text.contains(QStringLiteral("SELEC")));
        EXPECT_EQ(err.flags & 0xF0, MB_ICONWARNING);
        ASSERT_EQ(err.items.size(), 1);
        EXPECT_EQ(err.items[0].Caption, QStringLiteral("処理を続行する"));
        int lf, i_f, lt, it;
        Window->txtSQL->getSelection(&lf, &i_f, &lt, &it);
        EXPECT_EQ(lf, 2);
        EXPECT_GE(lt, 3);
        EXPECT_EQ(scalar("SELECT string_agg(id::text, ',' ORDER BY id) FROM t"), "1");
    }
    {
        // Ticked: the next statement runs.
        ScriptedMessageBoxes boxes;
        boxes.Answer(IDOK).Answer(IDOK, [](MessageBoxRequest &r) { r.items[0].Checked = true; }).Answer(IDOK);
        Run(script);
        EXPECT_EQ(boxes.Shown().size(), 3);
        EXPECT_EQ(scalar("SELECT string_agg(id::text, ',' ORDER BY id) FROM t"), "1,1,2");
    }
    {
        // A failure on the last line offers nothing: the run ends.
        ScriptedMessageBoxes boxes;
        boxes.Answer(IDOK);
        Run(QStringLiteral("SELECT * FROM no_such_table"));
        ASSERT_EQ(boxes.Shown().size(), 1);
        EXPECT_TRUE(boxes.Last().items.isEmpty());
    }
}

TEST_F(SqlWindowTest, OpenBlockGoesOnPastErrorsAndBeginsAgainAfterCommit)
{
    exec("CREATE TABLE t (id int)");
    TkdOption::Global().UpdateToCommit = false;
    Open();
    ASSERT_TRUE(Conn->dbsMain()->inTransaction());
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDOK)
        .Answer(IDOK, [](MessageBoxRequest &r) { r.items[0].Checked = true; })
        .Answer(IDOK)
        .Answer(IDOK);
    Run(QStringLiteral("INSERT INTO t VALUES (1)\n;\nINSERT INTO t VALUES ('x')\n;\nINSERT INTO t VALUES (2)\n;\nCOMMIT"));
    EXPECT_EQ(boxes.Shown().size(), 4);
    EXPECT_EQ(scalar("SELECT string_agg(id::text, ',' ORDER BY id) FROM t"), "1,2");
    // COMMIT was followed by BEGIN: later work is in a block again.
    EXPECT_TRUE(Conn->dbsMain()->inTransaction());
    boxes.Answer(IDOK);
    Run(QStringLiteral("INSERT INTO t VALUES (3)"));
    EXPECT_EQ(scalar("SELECT count(*) FROM t"), "2");
}

TEST_F(SqlWindowTest, PlanOfTheFirstStatementOnly)
{
    exec("CREATE TABLE t (id int)");
    Open();
    Window->btnExplan->setChecked(true);
    Window->btnExplanClick();
    EXPECT_FALSE(Window->pagExplan->isHidden());
    EXPECT_TRUE(Window->pagData->isHidden());
    ScriptedMessageBoxes boxes; // the broken second statement is never run
    Run(QStringLiteral("SELECT * FROM t WHERE id > 1\n;\nSELEC broken"));
    ASSERT_GE(Window->fraExplan->topLevelItemCount(), 1);
    EXPECT_TRUE(Window->fraExplan->topLevelItem(0)->text(0).contains(QStringLiteral("Scan")));
    EXPECT_FALSE(Window->fraExplan->topLevelItem(0)->text(1).isEmpty());
    EXPECT_TRUE(boxes.Shown().isEmpty());
    // A failing plan: error icon, no continue offer.
    boxes.Answer(IDOK);
    Run(QStringLiteral("SELECT * FROM missing_table"));
    ASSERT_EQ(boxes.Shown().size(), 1);
    EXPECT_EQ(boxes.Last().flags & 0xF0, MB_ICONERROR);
}

TEST_F(SqlWindowTest, PartialRunTakesTheSelectionOnlyWhenTheOptionIsOn)
{
    exec("CREATE TABLE t (id int)");
    Open();
    ScriptedMessageBoxes boxes;
    for (bool partial : {true, false}) {
        TkdOption::Global().UsePartial = partial;
        exec("TRUNCATE t");
        Window->txtSQL->setText(QStringLiteral("INSERT INTO t VALUES (1)\n;\nINSERT INTO t VALUES (2)"));
        Window->txtSQL->setSelection(2, 0, 2, 24);
        boxes.Answer(IDOK);
        if (!partial)
            boxes.Answer(IDOK);
        Window->actExecExecute();
        EXPECT_EQ(scalar("SELECT string_agg(id::text, ',' ORDER BY id) FROM t"), partial ? "2" : "1,2");
    }
}

TEST_F(SqlWindowTest, ClosingTheConnectionClosesTheWindow)
{
    Open();
    ASSERT_TRUE(Window);
    EXPECT_TRUE(Window->windowTitle().startsWith(QStringLiteral("SQL 実行 - ")));
    EXPECT_EQ(Window->cmbDBName->currentText(), TfrmSQL::BoxText(Conn));
    Conn->close();
    Flush();
    EXPECT_TRUE(Window.isNull());
}

TEST_F(SqlWindowTest, BindVariablesStopFirstThenBindAndReadBack)
{
    exec("CREATE TABLE t (id bigint, amount numeric, d date)");
    Open();
    ScriptedMessageBoxes boxes;
    // First run: the grid is built, the run stops with the status request; nothing runs.
    boxes.Answer(IDOK);
    Run(QStringLiteral("INSERT INTO t VALUES (0, 0, NULL)\n;\nSELECT :a::int + :b::int AS s"));
    EXPECT_EQ(boxes.Shown().size(), 1); // the INSERT before it ran
    EXPECT_FALSE(Window->grdParam->isHidden());
    EXPECT_EQ(Window->grdParam->RowCount(), 3);
    EXPECT_EQ(Window->grdParam->Cells(0, 1), QStringLiteral("a"));
    EXPECT_EQ(Window->grdParam->Cells(0, 2), QStringLiteral("b"));
    EXPECT_EQ(Main->StatusText(2), QStringLiteral("バインド変数値を入力して下さい。"));
    EXPECT_EQ(scalar("SELECT count(*) FROM t"), "1");
    // Second run binds.
    Window->grdParam->SetCells(1, 1, QStringLiteral("40"));
    Window->grdParam->SetCells(2, 1, QStringLiteral("integer"));
    Window->grdParam->SetCells(1, 2, QStringLiteral("2"));
    Window->grdParam->SetCells(2, 2, QStringLiteral("integer[]"));
    Run(QStringLiteral("SELECT :a::int + :b::int AS s"));
    EXPECT_EQ(Cell(0, 0, 0), QStringLiteral("42"));
    // A renamed variable empties that row's value only; types stay.
    Run(QStringLiteral("SELECT :a::int + :c::int AS s"));
    EXPECT_EQ(Window->grdParam->Cells(1, 1), QStringLiteral("40"));
    EXPECT_EQ(Window->grdParam->Cells(1, 2), QString());
    EXPECT_EQ(Window->grdParam->Cells(2, 2), QStringLiteral("integer[]"));
    // A look at the window: set VANTOR_SCREENSHOT_DIR to keep a picture of it.
    if (qEnvironmentVariableIsSet("VANTOR_SCREENSHOT_DIR")) {
        Window->resize(900, 600);
        Window->grab().save(qEnvironmentVariable("VANTOR_SCREENSHOT_DIR") + QStringLiteral("/sqlwindow.png"));
    }
    // Exact numeric and bigserial; the values are read back after the change.
    Window->grdParam->SetCells(1, 1, QStringLiteral("1099511627776"));
    Window->grdParam->SetCells(2, 1, QStringLiteral("bigserial"));
    Window->grdParam->SetCells(1, 2, QStringLiteral("123456789012345678901234567890.12"));
    Window->grdParam->SetCells(2, 2, QStringLiteral("numeric"));
    boxes.Answer(IDOK);
    Run(QStringLiteral("UPDATE t SET id = :a, amount = :c"));
    EXPECT_EQ(scalar("SELECT id::text || ' ' || amount::text FROM t"),
              QStringLiteral("1099511627776 123456789012345678901234567890.12"));
    EXPECT_EQ(Window->grdParam->Cells(1, 1), QStringLiteral("1099511627776"));
    // A value that does not convert fails like a server error.
    Window->grdParam->SetCells(1, 1, QStringLiteral("abc"));
    Window->grdParam->SetCells(2, 1, QStringLiteral("integer"));
    boxes.Answer(IDOK);
    Run(QStringLiteral("UPDATE t SET id = :a, amount = :c"));
    EXPECT_TRUE(boxes.Last().text.contains(QStringLiteral("abc")));
    // A type not in the table binds as text and the server decides.
    Window->grdParam->SetCells(1, 1, QStringLiteral("7"));
    Window->grdParam->SetCells(2, 1, QStringLiteral("whatever"));
    boxes.Answer(IDOK);
    Run(QStringLiteral("UPDATE t SET id = :a, amount = :c"));
    EXPECT_EQ(scalar("SELECT id FROM t"), "7");
    // A statement without variables hides the grid.
    Run(QStringLiteral("SELECT 1"));
    EXPECT_TRUE(Window->grdParam->isHidden());
    // No false variables in quotes, comments, casts and dollar bodies.
    Run(QStringLiteral("SELECT ':x', \"a:b\".y, E'\\':z', 1::int, $$ :w $$ -- :v\nFROM (SELECT 1 AS y) AS \"a:b\""));
    EXPECT_TRUE(Window->grdParam->isHidden());
    EXPECT_EQ(Cell(0, 0, 0), QStringLiteral(":x"));
}

TEST_F(SqlWindowTest, HistoryRecordsChangedTextsAndStepsWithoutLosingEdits)
{
    Open();
    ScriptedMessageBoxes boxes;
    Run(QStringLiteral("SELECT 1"));
    EXPECT_EQ(Window->FLog, 0);
    Window->actExecExecute(); // unchanged: recorded once
    EXPECT_EQ(SQLHistoryList().size(), 1);
    Run(QStringLiteral("SELECT 2"));
    EXPECT_EQ(SQLHistoryList().size(), 2);
    // An edited text is recorded before stepping away from it.
    Window->txtSQL->setText(QStringLiteral("SELECT 3 -- being edited"));
    Window->actPrevExecute();
    EXPECT_EQ(SQLHistoryList().size(), 3);
    EXPECT_EQ(Window->FLog, 1);
    EXPECT_EQ(Window->txtSQL->text(), QStringLiteral("SELECT 2"));
    Window->actNextExecute();
    EXPECT_EQ(Window->txtSQL->text(), QStringLiteral("SELECT 3 -- being edited"));
    Window->actNextExecute(); // past the newest: empty editor
    EXPECT_EQ(Window->FLog, -1);
    EXPECT_TRUE(Window->txtSQL->text().isEmpty());
    Window->actPrevExecute();
    EXPECT_EQ(Window->FLog, 0);
    EXPECT_EQ(Window->txtSQL->text(), QStringLiteral("SELECT 3 -- being edited"));
    EXPECT_FALSE(Window->txtSQL->isModified());

    // The list dialog: rows per entry, search marks, move, delete, choose.
    QFile::remove(Temp.path() + QStringLiteral("/") + SQLHistoryList().at(2)); // "SELECT 1" file gone
    TfrmSQLLog::SetTestDriver([&](TfrmSQLLog *dlg) {
        ASSERT_EQ(dlg->lstSQL->count(), 3);
        EXPECT_TRUE(dlg->lstSQL->item(0)->text().endsWith(QStringLiteral("SELECT 3 -- being edited")));
        EXPECT_TRUE(dlg->lstSQL->item(2)->text().isEmpty()); // missing file: empty row
        dlg->txtFind->setText(QStringLiteral("select 2"));
        dlg->btnFindClick();
        EXPECT_EQ(dlg->Mark(0), 0);
        EXPECT_EQ(dlg->Mark(1), 1);
        dlg->lstSQL->setCurrentRow(1);
        dlg->btnUpClick();
        EXPECT_EQ(SQLHistoryList().at(0), QStringLiteral("SQLLOG2.SQL"));
        dlg->lstSQL->selectAll();
        boxes.Answer(IDOK);
        dlg->btnDownClick(); // several rows: refused
        EXPECT_EQ(boxes.Last().text, QStringLiteral("同時に複数行を移動する事は出来ません。１行だけ選択して下さい。"));
        dlg->lstSQL->clearSelection();
        dlg->lstSQL->setCurrentRow(2);
        dlg->btnDelClick();
        EXPECT_EQ(SQLHistoryList().size(), 2);
        dlg->lstSQL->setCurrentRow(0);
        dlg->btnSelectClick();
    });
    Window->actLogExecute();
    TfrmSQLLog::SetTestDriver({});
    EXPECT_EQ(Window->FLog, 0);
    EXPECT_EQ(Window->txtSQL->text(), QStringLiteral("SELECT 2"));
}

} // namespace
