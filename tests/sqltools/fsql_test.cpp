// The SQL window against the sandbox server: splitting and running, result tabs, row-count
// messages, error marking and continuing, transactions, plan mode, bind variables, history.
#include "app/fmain.h"
#include "browser/fobject.h"
#include "controls/kddbmodel.h"
#include "controls/kddbgrid.h"
#include "controls/kdgrid.h"
#include "controls/kdcomctrls.h"
#include "frames/plan_frame.h"
#include "controls/kdmemo.h"
#include "core/kdhistoryindex.h"
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
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QListWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <QMenuBar>

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
    // Shown by the plan frame: the statement line on top, the scan below it.
    TkdTreeView *tree = Window->fraExplan->lstPlan();
    ASSERT_GE(tree->topLevelItemCount(), 1);
    EXPECT_TRUE(tree->topLevelItem(0)->text(0).contains(QStringLiteral("SELECT")));
    ASSERT_GE(tree->topLevelItem(0)->childCount(), 1);
    EXPECT_TRUE(tree->topLevelItem(0)->child(0)->text(0).contains(QStringLiteral("Scan")));
    EXPECT_FALSE(tree->topLevelItem(0)->child(0)->text(1).isEmpty());
    EXPECT_EQ(tree->columnWidth(1), 100);
    EXPECT_EQ(tree->columnWidth(0), qMax(100, Window->width() - 329));
    EXPECT_TRUE(boxes.Shown().isEmpty());
    EXPECT_TRUE(Main->StatusText(2).startsWith(QStringLiteral("処理時間(HH:MM:SS.Ms)：")));
    // Variables of the planned statement come from the grid: the first run asks for them.
    tree->clear();
    Run(QStringLiteral("SELECT * FROM t WHERE id > :lo\n;\nSELECT :other"));
    EXPECT_EQ(Main->StatusText(2), QStringLiteral("バインド変数値を入力して下さい。"));
    EXPECT_EQ(Window->grdParam->RowCount(), 2);
    EXPECT_EQ(tree->topLevelItemCount(), 0);
    Window->grdParam->SetCells(1, 1, QStringLiteral("5"));
    Window->grdParam->SetCells(2, 1, QStringLiteral("integer"));
    Run(QStringLiteral("SELECT * FROM t WHERE id > :lo\n;\nSELECT :other"));
    ASSERT_GE(tree->topLevelItemCount(), 1);
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

// A closing SQL window takes only its own menu out of the menu bar: the connection window's
// menu, merged while that window is active, stays.
TEST_F(SqlWindowTest, ClosingKeepsTheMenuAnotherWindowMerged)
{
    Open();
    Conn->FormActivate();
    Flush();
    ASSERT_TRUE(Main->menuBar()->actions().contains(Conn->mnuObject->menuAction()));
    Window->close();
    Flush();
    EXPECT_TRUE(Window.isNull());
    EXPECT_TRUE(Main->menuBar()->actions().contains(Conn->mnuObject->menuAction()));
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

// Counts the paint events a widget receives.
class PaintCounter : public QObject
{
public:
    int FPaints = 0;
protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            ++FPaints;
        return false;
    }
};

TEST_F(SqlWindowTest, EscCancelsARunningStatementWhileTheWindowPaints)
{
    exec("CREATE TABLE t (id int)");
    Open();
    Window->resize(800, 600);
    QApplication::setActiveWindow(Window);
    Flush();
    ScriptedMessageBoxes boxes; // a cancelled statement shows no box
    QStringList sent;
    Conn->dbsMain()->setStatementObserver([&](const QString &sql) { sent << sql; });

    // While the statement runs: a timer asks for repaints, a click on 実行 and an F9 arrive,
    // then Esc.
    PaintCounter paints;
    Window->txtSQL->viewport()->installEventFilter(&paints);
    QTimer repaint;
    QObject::connect(&repaint, &QTimer::timeout, Window->txtSQL->viewport(), [&] { Window->txtSQL->viewport()->update(); });
    repaint.start(40);
    QWidget *execButton = Window->tolCmd->widgetForAction(Window->actExec);
    ASSERT_NE(execButton, nullptr);
    int runs = 0;
    QObject::connect(Window->actExec, &QAction::triggered, Window, [&] { ++runs; });
    QElapsedTimer clock;
    qint64 escAt = -1;
    QTimer::singleShot(300, Window, [&] {
        const QPoint c = execButton->rect().center();
        QCoreApplication::postEvent(execButton, new QMouseEvent(QEvent::MouseButtonPress, c, execButton->mapToGlobal(c),
                                                                Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(execButton, new QMouseEvent(QEvent::MouseButtonRelease, c, execButton->mapToGlobal(c),
                                                                Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
        QCoreApplication::postEvent(Window->txtSQL, new QKeyEvent(QEvent::KeyPress, Qt::Key_F9, Qt::NoModifier));
    });
    QTimer::singleShot(700, Window, [&] {
        escAt = clock.elapsed();
        QCoreApplication::postEvent(Window->txtSQL, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    });
    clock.start();
    Window->txtSQL->setText(QStringLiteral("SELECT pg_sleep(30)\n;\nINSERT INTO t VALUES (1)"));
    Window->actExecExecute();
    const qint64 done = clock.elapsed();
    const int paintsDuring = paints.FPaints;
    Flush();
    repaint.stop();
    Conn->dbsMain()->setStatementObserver({});

    ASSERT_GE(escAt, 0);
    EXPECT_LT(done - escAt, 1000) << "Esc answered after " << done - escAt << " ms";
    EXPECT_GE(paintsDuring, 3) << "the window did not paint while waiting";
    // The click and F9 were dropped: one run, one statement; the run ended at the cancel.
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(sent.size(), 1);
    EXPECT_EQ(scalar("SELECT count(*) FROM t"), "0");
    EXPECT_TRUE(boxes.Shown().isEmpty());
    EXPECT_TRUE(Main->StatusText(2).contains(QStringLiteral("処理を中断しました。"))) << Main->StatusText(2).toStdString();
    int lf, i_f, lt, it;
    Window->txtSQL->getSelection(&lf, &i_f, &lt, &it);
    EXPECT_EQ(lf, 0);
    // The connection goes on working.
    boxes.Answer(IDOK);
    Run(QStringLiteral("INSERT INTO t VALUES (2)"));
    EXPECT_EQ(scalar("SELECT count(*) FROM t"), "1");
}

TEST_F(SqlWindowTest, EscCancelInsideAnOpenBlockKeepsEarlierWork)
{
    TkdOption::Global().UpdateToCommit = false;
    exec("CREATE TABLE t (id int)");
    Open();
    QApplication::setActiveWindow(Window);
    ASSERT_TRUE(Conn->dbsMain()->inTransaction());
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDOK);
    QTimer::singleShot(400, Window, [&] {
        QCoreApplication::postEvent(Window->txtSQL, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    });
    Run(QStringLiteral("INSERT INTO t VALUES (1)\n;\nSELECT pg_sleep(30)"));
    EXPECT_EQ(boxes.Shown().size(), 1); // the INSERT's row count only
    EXPECT_EQ(Conn->dbsMain()->transactionState(), db::TransactionState::InBlock);
    boxes.Answer(IDOK);
    Run(QStringLiteral("COMMIT"));
    EXPECT_EQ(scalar("SELECT count(*) FROM t"), "1");
    EXPECT_TRUE(Conn->dbsMain()->inTransaction()); // BEGIN again after the typed COMMIT
}

TEST_F(SqlWindowTest, LostConnectionShowsOneMessageAndEndsTheRun)
{
    exec("CREATE TABLE t (id int)");
    Open();
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDOK);
    // The server ends the session while a statement waits: one message without a continue
    // offer, the statements after it never run.
    const QString pid = QString::number(Conn->dbsMain()->backendPid());
    QTimer::singleShot(300, [&] { scalar("SELECT pg_terminate_backend(" + pid + ")"); });
    Run(QStringLiteral("SELECT pg_sleep(5)\n;\nINSERT INTO t VALUES (1)\n;\nINSERT INTO t VALUES (2)"));
    ASSERT_EQ(boxes.Shown().size(), 1);
    EXPECT_TRUE(boxes.Last().items.isEmpty());
    EXPECT_EQ(scalar("SELECT count(*) FROM t"), "0");
    // The window stays usable: the next run reports the closed connection.
    boxes.Answer(IDOK);
    Run(QStringLiteral("INSERT INTO t VALUES (3)"));
    ASSERT_EQ(boxes.Shown().size(), 2);
    EXPECT_FALSE(Window->isHidden());
}

TEST_F(SqlWindowTest, EachStatementIsOneCommand)
{
    exec("CREATE TABLE t (id int)");
    Open();
    ScriptedMessageBoxes boxes;
    // Two commands without a ";" line between: the server refuses the text, nothing runs.
    boxes.Answer(IDOK);
    Run(QStringLiteral("INSERT INTO t VALUES (1)\nINSERT INTO t VALUES (2)"));
    ASSERT_EQ(boxes.Shown().size(), 1);
    EXPECT_EQ(boxes.Last().flags & 0xF0, MB_ICONWARNING);
    boxes.Answer(IDOK);
    Run(QStringLiteral("SELECT 1 AS a; SELECT 2 AS b"));
    ASSERT_EQ(boxes.Shown().size(), 2);
    EXPECT_EQ(boxes.Last().flags & 0xF0, MB_ICONWARNING);
    EXPECT_EQ(scalar("SELECT count(*) FROM t"), "0");
    // A query whose last line is a comment, without ";", opens.
    Run(QStringLiteral("SELECT 41 + 1 AS answer\n-- the answer"));
    EXPECT_EQ(boxes.Shown().size(), 2);
    EXPECT_EQ(Cell(0, 0, 0), QStringLiteral("42"));
    Run(QStringLiteral("SELECT 'x' AS v -- trailing note"));
    EXPECT_EQ(Cell(0, 0, 0), QStringLiteral("x"));
}

TEST_F(SqlWindowTest, CallReadsItsOutputArgumentsBackIntoTheGrid)
{
    exec("CREATE PROCEDURE calc(IN a int, INOUT total numeric, INOUT label text) LANGUAGE plpgsql AS "
         "$$ BEGIN total := a * 1.5; label := label || 'です'; END $$");
    Open();
    Window->resize(900, 600);
    Flush();
    ScriptedMessageBoxes boxes;
    const QString call = QStringLiteral("CALL calc(:a, :total, :label)");
    Run(call); // builds the grid and asks for the values
    EXPECT_EQ(Window->grdParam->RowCount(), 4);
    // The grid opens at a third of the editor panel, its columns readable.
    Flush();
    EXPECT_GE(Window->grdParam->width(), Window->splParam->width() / 3 - 10);
    for (int c = 0; c < 3; ++c)
        EXPECT_GE(Window->grdParam->columnWidth(c), 60) << c;
    Window->grdParam->SetCells(1, 1, QStringLiteral("3"));
    Window->grdParam->SetCells(2, 1, QStringLiteral("integer"));
    Window->grdParam->SetCells(1, 2, QStringLiteral("0"));
    Window->grdParam->SetCells(2, 2, QStringLiteral("numeric"));
    Window->grdParam->SetCells(1, 3, QStringLiteral("結果"));
    Window->grdParam->SetCells(2, 3, QStringLiteral("text"));
    boxes.Answer(IDOK);
    Run(call);
    EXPECT_EQ(boxes.Shown().size(), 1);
    EXPECT_EQ(Window->grdParam->Cells(1, 1), QStringLiteral("3"));
    EXPECT_EQ(Window->grdParam->Cells(1, 2), QStringLiteral("4.5"));
    EXPECT_EQ(Window->grdParam->Cells(1, 3), QStringLiteral("結果です"));
}

TEST_F(SqlWindowTest, BindGridOpensWideEnoughForItsTitlesAndRows)
{
    // At the size the window opens with and in a small window: the grid takes at least a
    // third of the editor panel, every title fits its column, every column is in view, and
    // the three rows show without scrolling.
    Open();
    Flush();
    const QSize opening = Window->window()->size();
    for (const QSize size : {opening, QSize(560, 480)}) {
        Window->grdParam->hide(); // opens afresh
        Window->parentWidget()->resize(size);
        Flush();
        Run(QStringLiteral("SELECT :開始日::date, :件数::int, :名前::text"));
        Flush();
        TkdStringGrid *grid = Window->grdParam;
        ASSERT_FALSE(grid->isHidden());
        ASSERT_EQ(grid->RowCount(), 4);
        if (qEnvironmentVariableIsSet("VANTOR_SCREENSHOT_DIR"))
            Window->grab().save(qEnvironmentVariable("VANTOR_SCREENSHOT_DIR")
                                + QStringLiteral("/sqlwindow-bind3-%1.png").arg(size.width()));
        const int panel = Window->splParam->width();
        EXPECT_GE(grid->width(), panel / 3 - 8) << "panel " << panel;
        const QFontMetrics fm(grid->horizontalHeader()->font());
        const QStringList titles = grid->Header();
        for (int c = 0; c < 3; ++c)
            EXPECT_GE(grid->columnWidth(c), fm.horizontalAdvance(titles.at(c)) + 2)
                << titles.at(c).toStdString() << " at width " << size.width();
        int columns = 0;
        for (int c = 0; c < 3; ++c)
            columns += grid->columnWidth(c);
        EXPECT_LE(columns, grid->viewport()->width()) << "every column in view at width " << size.width();
        for (int r = 1; r <= 3; ++r) {
            const QRect cell = grid->visualRect(grid->Model()->IndexOf(1, r));
            EXPECT_TRUE(grid->viewport()->rect().contains(cell)) << "row " << r << " at width " << size.width();
        }
        EXPECT_GE(Window->txtSQL->width(), 100) << "the editor keeps room";
    }
}

TEST_F(SqlWindowTest, TwoTabsOfJapaneseDataBindGridAndMarkedError)
{
    exec("CREATE TABLE 商品 (名前 text, 価格 int); INSERT INTO 商品 VALUES ('りんご', 120), ('みかん', 80), ('ぶどう', 300)");
    Open();
    Window->resize(1000, 640);
    Flush();
    ScriptedMessageBoxes boxes;
    // Every statement uses the variable: one without it hides the grid, and the next one
    // with it would stop the run again.
    const QString text = QStringLiteral("SELECT '日本語のデータ' AS 説明, :下限::int AS 値\n;\n"
                                        "SELECT 名前, 価格 FROM 商品 WHERE 価格 > :下限 ORDER BY 価格\n;\n"
                                        "UPDATE 商品 SET 価格 = 価格 + 1\nWHERE 価格 > :下限 AND 存在しない列 = 1");
    Run(text); // asks for the value
    Window->grdParam->SetCells(1, 1, QStringLiteral("100"));
    Window->grdParam->SetCells(2, 1, QStringLiteral("integer"));
    boxes.Answer(IDOK);
    Run(text);
    ASSERT_EQ(boxes.Shown().size(), 1);
    EXPECT_TRUE(boxes.Last().items.isEmpty()); // the last statement: no continue offer
    EXPECT_TRUE(boxes.Last().text.contains(QStringLiteral("存在しない列")));
    ASSERT_EQ(Window->pagData->count(), 2);
    EXPECT_EQ(Window->pagData->tabText(1), QStringLiteral("結果2"));
    EXPECT_EQ(Cell(0, 0, 0), QStringLiteral("日本語のデータ"));
    EXPECT_EQ(Cell(1, 0, 0), QStringLiteral("りんご"));
    EXPECT_EQ(Cell(1, 1, 0), QStringLiteral("ぶどう"));
    int lf, i_f, lt, it;
    Window->txtSQL->getSelection(&lf, &i_f, &lt, &it);
    EXPECT_EQ(lf, 4);
    EXPECT_FALSE(Window->grdParam->isHidden());
    if (qEnvironmentVariableIsSet("VANTOR_SCREENSHOT_DIR")) {
        Flush();
        Window->grab().save(qEnvironmentVariable("VANTOR_SCREENSHOT_DIR") + QStringLiteral("/sqlwindow-tabs.png"));
        Window->pagData->setCurrentIndex(1);
        Flush();
        Window->grab().save(qEnvironmentVariable("VANTOR_SCREENSHOT_DIR") + QStringLiteral("/sqlwindow-tab2.png"));
    }
}

// The main window reads the history index at start-up in the encoding its byte-order mark
// names and writes it back at exit in that same encoding.
TEST(SqlHistoryIndexFile, StartUpAndExitKeepTheEncodingRead)
{
    struct Case {
        QByteArray mark;
        TFileEncoding encoding;
    };
    const Case cases[] = {
        {QByteArray("\xFF\xFE"), TFileEncoding::Utf16LE},
        {QByteArray("\xFE\xFF"), TFileEncoding::Utf16BE},
        {QByteArray("\xEF\xBB\xBF"), TFileEncoding::Utf8},
        {QByteArray(), TFileEncoding::Ansi},
    };
    SetLogonProc({});
    for (const Case &c : cases) {
        QTemporaryDir dir;
        const QString temp = dir.path() + QStringLiteral("/");
        const QString idx = temp + QStringLiteral("SQLLOG.IDX");
        ScriptedMessageBoxes boxes; // none expected
        // A first start stores the folder option.
        SQLHistoryList().clear();
        {
            TfrmMain first;
            first.show();
            Flush();
            TkdOption::Global().TempDir = temp;
            first.SetCloseSteps(first.DefaultCloseSteps());
            ASSERT_TRUE(first.close());
        }
        const QByteArray written = EncodeFileText(QStringLiteral("SQLLOG2.SQL\r\nSQLLOG1.SQL\r\n"), c.encoding);
        ASSERT_TRUE(written.startsWith(c.mark));
        {
            QFile f(idx);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(written);
        }
        // The next start reads it in the encoding of its mark.
        SQLHistoryList().clear();
        TfrmMain second;
        second.show();
        Flush();
        EXPECT_EQ(SQLHistoryList(), (QStringList{QStringLiteral("SQLLOG2.SQL"), QStringLiteral("SQLLOG1.SQL")}));
        EXPECT_EQ(SQLHistoryIndexEncoding(), c.encoding);
        // Its exit writes it back in the same encoding, with the same mark.
        SQLHistoryList().prepend(QStringLiteral("SQLLOG3.SQL"));
        second.SetCloseSteps(second.DefaultCloseSteps());
        ASSERT_TRUE(second.close());
        QFile f(idx);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), EncodeFileText(QStringLiteral("SQLLOG3.SQL\r\nSQLLOG2.SQL\r\nSQLLOG1.SQL\r\n"), c.encoding))
            << int(c.encoding);
        SQLHistoryList().clear();
    }
}

} // namespace
