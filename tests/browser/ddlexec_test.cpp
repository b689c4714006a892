// The run log against the sandbox server: the statement separator rules, error stop and
// continue, the no-error-stop commit, the rolled-back caller, filtered errors, closing
// while running, a lost connection, refused DDL, and the window's modality and summary.
#include "app/fmain.h"
#include "browser/fddlexec.h"
#include "browser/fobject.h"
#include <Qsci/qsciscintilla.h>
#include "controls/kdstdctl.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/msghook.h"
#include "support/qstring_printer.h"
#include "support/testdb.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

void Flush()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

class RunLogTest : public testdb::SchemaTest
{
protected:
    void SetUp() override
    {
        testdb::SchemaTest::SetUp();
        SetLogonProc({});
        Main = new TfrmMain;
        Main->SetCloseSteps({});
        TkdOption::Global().UpdateToCommit = false;
        TkdOption::Global().CharacterSet = QStringLiteral("UTF8");
        TkdOption::Global().CloseDDL = false;
        Main->show();
        Flush();
    }
    void TearDown() override
    {
        for (TfrmDDLExec *w : TfrmDDLExec::Windows()) {
            ScriptedMessageBoxes yes;
            yes.Answer(IDYES);
            w->close();
        }
        Flush();
        Main->SetCloseSteps({});
        Main->close();
        delete Main;
        Flush();
        TkdOption::Global().UpdateToCommit = false;
        TkdOption::Global().CloseDDL = false;
        testdb::SchemaTest::TearDown();
    }
    TfrmObject *Open(const QString &user = QString(), const QString &password = QString(),
                     const QString &database = QString(), const QString &login = QString())
    {
        const testdb::Params &p = testdb::params();
        return TfrmObject::Create({p.host, p.port, database.isEmpty() ? p.database : database,
                                   login.isEmpty() ? schema() : login, user.isEmpty() ? p.user : user,
                                   user.isEmpty() ? p.password : password});
    }
    // Runs the list; true when ShowWindow returned normally, false on the silent abort.
    bool Run(TfrmObject *f, const QStringList &sql)
    {
        try {
            TfrmDDLExec::ShowWindow(f, sql);
            return true;
        } catch (const EAbort &) {
            return false;
        }
    }
    TfrmDDLExec *Log()
    {
        const QList<TfrmDDLExec *> w = TfrmDDLExec::Windows();
        return w.isEmpty() ? nullptr : w.last();
    }
    bool Exists(const QString &table)
    {
        return scalar(QStringLiteral("SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                                     "WHERE n.nspname = '%1' AND c.relname = '%2'").arg(schema(), table)) == QLatin1String("1");
    }
    void CloseLog()
    {
        if (TfrmDDLExec *w = Log()) {
            if (!w->Finished()) {
                ScriptedMessageBoxes yes;
                yes.Answer(IDYES);
                w->close();
            } else {
                w->close();
            }
        }
        Flush();
    }

    TfrmMain *Main = nullptr;
};

const QString OK = QStringLiteral("《正常終了》");
const QString ERR = QStringLiteral("《エラー》");

} // namespace

TEST_F(RunLogTest, SeparatorRulesDecideWhatIsSent)
{
    TfrmObject *f = Open();
    struct Case { QStringList sql; int sent; };
    const QList<Case> cases = {
        // Two separators in a row: the empty statement between them is skipped.
        {{"CREATE TABLE a1 (x int)", ";", ";", "COMMENT ON TABLE a1 IS '表 a1'"}, 2},
        // A separator at the start, and a list without a final separator.
        {{";", "CREATE TABLE a2 (x int)", ";", "CREATE TABLE a3 (x int)"}, 2},
        // No separator at all: one statement over several lines, blank lines kept.
        {{"CREATE TABLE a4 (", "", "  x int", ")"}, 1},
        // " ;" and "; " are text: one statement.
        {{"SELECT 1", " ;", "; "}, 1},
    };
    for (const Case &c : cases) {
        Run(f, c.sql);
        TfrmDDLExec *w = Log();
        ASSERT_NE(w, nullptr);
        const QString log = w->LogText();
        EXPECT_EQ(log.count(OK) + log.count(ERR), c.sent) << c.sql.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(log.contains(QStringLiteral("スクリプト実行が完了しました。")));
        EXPECT_FALSE(log.contains(QStringLiteral("\n;\n")));
        CloseLog();
    }
    f->ExecuteSQL(QStringLiteral("COMMIT"));
    EXPECT_TRUE(Exists(QStringLiteral("a1")));
    EXPECT_TRUE(Exists(QStringLiteral("a3")));
    EXPECT_TRUE(Exists(QStringLiteral("a4")));
    EXPECT_EQ(testdb::scalar(conn(), QStringLiteral("SELECT 1")), QStringLiteral("1"));
}

TEST_F(RunLogTest, ErrorStopAbortsAndContinueRunsTheRest)
{
    TfrmObject *f = Open();
    const QStringList sql = {"CREATE TABLE b1 (x int)", ";", "CREATE TABLE b1 (x int)", ";", "CREATE TABLE b3 (x int)", ";"};
    EXPECT_FALSE(Run(f, sql));
    TfrmDDLExec *w = Log();
    ASSERT_NE(w, nullptr);
    QString log = w->LogText();
    EXPECT_EQ(log.count(OK), 1);
    EXPECT_EQ(log.count(ERR), 1);
    EXPECT_TRUE(log.contains(QStringLiteral("b1")));
    EXPECT_TRUE(log.contains(QStringLiteral("already exists")) || log.contains(QStringLiteral("既に存在")));
    EXPECT_FALSE(log.contains(QStringLiteral("スクリプト実行が完了しました。")));
    EXPECT_TRUE(w->btnOK->isEnabled());
    EXPECT_EQ(w->RemainingLines(), (QStringList{"CREATE TABLE b3 (x int)", ";"}));
    EXPECT_EQ(w->ErrorCount(), 1);
    // The caller keeps its connection's block open: continue runs the rest.
    w->btnOK->click();
    log = w->LogText();
    EXPECT_EQ(log.count(OK), 2);
    EXPECT_TRUE(log.contains(QStringLiteral("スクリプト実行が完了しました。\nエラー: 1 件")));
    EXPECT_EQ(w->btnCancel->text(), QStringLiteral("終了(&X)"));
    EXPECT_FALSE(w->btnOK->isEnabled());
    // Closing after the summary asks nothing.
    ScriptedMessageBoxes none;
    w->close();
    Flush();
    EXPECT_TRUE(TfrmDDLExec::Windows().isEmpty());
    EXPECT_TRUE(none.Shown().isEmpty());
}

TEST_F(RunLogTest, WithoutErrorStopTheGoodStatementsCommit)
{
    for (bool updateToCommit : {false, true}) {
        TkdOption::Global().UpdateToCommit = updateToCommit;
        TfrmObject *f = Open();
        db::Connection *c = f->dbsMain();
        const QString p = updateToCommit ? QStringLiteral("on_") : QStringLiteral("off_");
        const QStringList sql = {"CREATE TABLE " + p + "c1 (x int)", ";", "SELECT * FROM nosuch_table", ";",
                                 "CREATE TABLE " + p + "c3 (x int)", ";"};
        // The box is unticked after the first statement, as a user would between statements.
        QTimer::singleShot(0, [] {
            if (TfrmDDLExec *w = TfrmDDLExec::Windows().value(0))
                w->chkErrorStop->setChecked(false);
        });
        c->startTransaction();
        EXPECT_TRUE(Run(f, sql)) << updateToCommit;
        EXPECT_NO_THROW(c->commit()) << updateToCommit;
        if (!updateToCommit)
            f->ExecuteSQL(QStringLiteral("COMMIT"));
        TfrmDDLExec *w = Log();
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->ErrorCount(), 1);
        EXPECT_TRUE(w->LogText().contains(QStringLiteral("エラー: 1 件")));
        EXPECT_TRUE(Exists(p + "c1")) << updateToCommit;
        EXPECT_TRUE(Exists(p + "c3")) << updateToCommit;
        CloseLog();
        f->close();
        Flush();
    }
}

TEST_F(RunLogTest, RolledBackCallerStopsTheRest)
{
    TfrmObject *f = Open();
    db::Connection *c = f->dbsMain();
    c->startTransaction();
    EXPECT_FALSE(Run(f, {"CREATE TABLE d1 (x int)", ";", "SELECT 1/0", ";", "CREATE TABLE d3 (x int)", ";"}));
    c->rollback(); // the caller's handling of the abort
    TfrmDDLExec *w = Log();
    ASSERT_NE(w, nullptr);
    w->btnOK->click();
    EXPECT_FALSE(w->btnOK->isEnabled());
    EXPECT_TRUE(w->LogText().contains(
        QStringLiteral("呼び出し元のトランザクションが取り消されたため、残りの文は実行されません。")));
    f->ExecuteSQL(QStringLiteral("COMMIT"));
    EXPECT_FALSE(Exists(QStringLiteral("d1")));
    EXPECT_FALSE(Exists(QStringLiteral("d3")));
    ScriptedMessageBoxes none;
    w->close();
    Flush();
    EXPECT_TRUE(TfrmDDLExec::Windows().isEmpty());
}

TEST_F(RunLogTest, FilteredErrorIsLoggedAsAnError)
{
    TfrmObject *f = Open();
    // Elsewhere the layer drops "cursor does not exist"; the run log never logs it as success.
    EXPECT_FALSE(Run(f, {"CLOSE nosuch", ";"}));
    TfrmDDLExec *w = Log();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->LogText().count(ERR), 1);
    EXPECT_EQ(w->LogText().count(OK), 0);
    EXPECT_EQ(w->ErrorCount(), 1);
    CloseLog();
    // The filter is back on for the other windows.
    EXPECT_TRUE(f->dbsMain()->errorFilter());
    EXPECT_NO_THROW(f->ExecuteSQL(QStringLiteral("CLOSE nosuch")));
}

TEST_F(RunLogTest, ServerMessageCarriesDetailAndHintLines)
{
    TfrmObject *f = Open();
    EXPECT_FALSE(Run(f, {"DO $$ BEGIN RAISE EXCEPTION '失敗 \"x\"' USING DETAIL = 'det line', HINT = 'hint line'; END $$", ";"}));
    const QString log = Log()->LogText();
    EXPECT_TRUE(log.contains(QStringLiteral("失敗 \"x\"")));
    EXPECT_TRUE(log.contains(QStringLiteral("\nDETAIL:  det line")) || log.contains(QStringLiteral("\nDETAIL: det line")));
    EXPECT_TRUE(log.contains(QStringLiteral("hint line")));
    CloseLog();
}

TEST_F(RunLogTest, ClosingWhileRunningSendsNothingMore)
{
    TfrmObject *f = Open();
    QStringList sql;
    for (int i = 0; i < 20; ++i)
        sql << QStringLiteral("CREATE TABLE e%1 (x int)").arg(i) << QStringLiteral(";");
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDYES);
    QTimer::singleShot(0, [] {
        if (TfrmDDLExec *w = TfrmDDLExec::Windows().value(0))
            w->close();
    });
    EXPECT_FALSE(Run(f, sql));
    ASSERT_EQ(boxes.Shown().size(), 1);
    EXPECT_EQ(boxes.Last().text, QStringLiteral("処理を中断しますか？"));
    EXPECT_EQ(boxes.Last().flags & 0xF00, MB_DEFBUTTON2);
    Flush();
    EXPECT_TRUE(TfrmDDLExec::Windows().isEmpty());
    f->ExecuteSQL(QStringLiteral("COMMIT"));
    EXPECT_TRUE(Exists(QStringLiteral("e0")));
    EXPECT_FALSE(Exists(QStringLiteral("e19")));
    EXPECT_TRUE(Main->cursor().shape() != Qt::WaitCursor);
}

TEST_F(RunLogTest, ClosingAtAnErrorStopAsksAndNoKeepsTheWindow)
{
    TfrmObject *f = Open();
    EXPECT_FALSE(Run(f, {"SELECT 1/0", ";", "SELECT 1", ";"}));
    TfrmDDLExec *w = Log();
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDNO).Answer(IDYES);
    w->close();
    Flush();
    EXPECT_EQ(TfrmDDLExec::Windows().size(), 1);
    w->close();
    Flush();
    EXPECT_TRUE(TfrmDDLExec::Windows().isEmpty());
    EXPECT_EQ(boxes.Shown().size(), 2);
}

TEST_F(RunLogTest, CloseDDLClosesOnlyAFaultlessRun)
{
    TkdOption::Global().CloseDDL = true;
    TfrmObject *f = Open();
    EXPECT_TRUE(Run(f, {"SELECT 1", ";"}));
    Flush();
    EXPECT_TRUE(TfrmDDLExec::Windows().isEmpty());
    QTimer::singleShot(0, [] {
        if (TfrmDDLExec *w = TfrmDDLExec::Windows().value(0))
            w->chkErrorStop->setChecked(false);
    });
    EXPECT_TRUE(Run(f, {"SELECT 1", ";", "SELECT 1/0", ";"}));
    Flush();
    ASSERT_EQ(TfrmDDLExec::Windows().size(), 1);
    EXPECT_TRUE(Log()->LogText().contains(QStringLiteral("エラー: 1 件")));
    CloseLog();
}

TEST_F(RunLogTest, LogIsApplicationModalAndWaitProcWaitsForIt)
{
    TfrmObject *f = Open();
    TfrmDDLExec::WaitProc(); // nothing open: returns at once
    EXPECT_TRUE(Run(f, {"SELECT 1", ";"}));
    TfrmDDLExec *w = Log();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowModality(), Qt::ApplicationModal);
    EXPECT_TRUE(w->isWindow());
    EXPECT_EQ(QApplication::activeModalWidget(), w);
    EXPECT_EQ(Main->cursor().shape(), Qt::WaitCursor);
    EXPECT_TRUE(w->btnCancel->isEnabled());
    bool closedByTimer = false;
    QTimer::singleShot(50, [&] {
        closedByTimer = true;
        if (TfrmDDLExec *x = TfrmDDLExec::Windows().value(0))
            x->close();
    });
    TfrmDDLExec::WaitProc();
    EXPECT_TRUE(closedByTimer);
    EXPECT_TRUE(TfrmDDLExec::Windows().isEmpty());
    EXPECT_NE(Main->cursor().shape(), Qt::WaitCursor);
}

TEST_F(RunLogTest, LostConnectionEndsTheRunLikeAnErrorStop)
{
    TfrmObject *f = Open();
    const int pid = f->MYSID;
    QTimer::singleShot(0, [&] {
        if (TfrmDDLExec *w = TfrmDDLExec::Windows().value(0))
            w->chkErrorStop->setChecked(false);
        testdb::scalar(conn(), QStringLiteral("SELECT pg_terminate_backend(%1)").arg(pid));
    });
    EXPECT_FALSE(Run(f, {"SELECT 1", ";", "SELECT 2", ";", "SELECT 3", ";"}));
    TfrmDDLExec *w = Log();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->LogText().count(ERR), 1);
    EXPECT_FALSE(w->btnOK->isEnabled());
    EXPECT_FALSE(w->RemainingLines().isEmpty());
    CloseLog();
}

TEST_F(RunLogTest, RefusedDDLOfAClerkIsLoggedAndNothingCommits)
{
    const testdb::Params &p = testdb::params();
    TfrmObject *f = Open(QStringLiteral("sample_clerk"), QStringLiteral("sample_clerk"), p.sampleDatabase,
                         QStringLiteral("sales"));
    QTimer::singleShot(0, [] {
        if (TfrmDDLExec *w = TfrmDDLExec::Windows().value(0))
            w->chkErrorStop->setChecked(false);
    });
    EXPECT_TRUE(Run(f, {"SELECT 1", ";", "CREATE TABLE sales.clerk_tbl (x int)", ";", "DROP TABLE sales.customers", ";"}));
    EXPECT_EQ(Log()->ErrorCount(), 2);
    EXPECT_TRUE(Log()->LogText().contains(QStringLiteral("permission denied")) || Log()->LogText().contains(QStringLiteral("権限")));
    CloseLog();
    auto sample = testdb::connect(p.sampleDatabase);
    EXPECT_EQ(testdb::scalar(sample.get(), QStringLiteral("SELECT to_regclass('sales.clerk_tbl') IS NULL")), QStringLiteral("t"));
    EXPECT_EQ(testdb::scalar(sample.get(), QStringLiteral("SELECT to_regclass('sales.customers') IS NOT NULL")), QStringLiteral("t"));
}

TEST_F(RunLogTest, HostileNamesAndALongListStayIntact)
{
    TfrmObject *f = Open();
    const QString name = QStringLiteral("表 \"q\" /..") + QString(40, QLatin1Char('x'));
    QStringList sql = {QStringLiteral("CREATE TABLE \"%1\" (\"列 'a'\" int)").arg(QString(name).replace("\"", "\"\"")), ";"};
    for (int i = 0; i < 2000; ++i)
        sql << QStringLiteral("SELECT %1").arg(i) << QStringLiteral(";");
    EXPECT_TRUE(Run(f, sql));
    TfrmDDLExec *w = Log();
    EXPECT_EQ(w->LogText().count(OK), 2001);
    EXPECT_TRUE(w->LogText().contains(QStringLiteral("CREATE TABLE \"表 \"\"q\"\" /..")));
    CloseLog();
    f->ExecuteSQL(QStringLiteral("COMMIT"));
    EXPECT_TRUE(Exists(name));
}

TEST_F(RunLogTest, ForcedErrorStopCannotBeUntickedAndStopsAtTheFirstError)
{
    TfrmObject *f = Open();
    const QStringList sql = {"CREATE TABLE fs1 (x int)", ";", "SELECT * FROM nosuch_table", ";", "CREATE TABLE fs3 (x int)", ";"};
    bool locked = false;
    // A user trying to untick the box between statements: it is disabled and stays ticked.
    QTimer::singleShot(0, [&] {
        if (TfrmDDLExec *w = TfrmDDLExec::Windows().value(0)) {
            locked = !w->chkErrorStop->isEnabled() && w->chkErrorStop->isChecked();
            w->chkErrorStop->click();
        }
    });
    db::Connection *c = f->dbsMain();
    c->startTransaction();
    bool aborted = false;
    try {
        TfrmDDLExec::ShowWindowStopping(f, sql);
    } catch (const EAbort &) {
        aborted = true;
    }
    c->rollback();
    EXPECT_TRUE(aborted);
    EXPECT_TRUE(locked);
    TfrmDDLExec *w = Log();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->chkErrorStop->isChecked());
    EXPECT_EQ(w->RemainingLines(), (QStringList{"CREATE TABLE fs3 (x int)", ";"}));
    EXPECT_FALSE(Exists("fs1")) << "rolled back";
    EXPECT_FALSE(Exists("fs3"));
    CloseLog();
    f->close();
    Flush();
}
