#pragma once
// The surroundings of the editor tests: a main window, a real connection window on the
// sandbox test database (its login schema a fresh one per test), the editors registered,
// and a recording runner in place of the preview and run-log dialogs that runs the
// statements through the connection window and can fail at statement n.
#include "app/fmain.h"
#include "browser/fddlexec.h"
#include "controls/fprint.h"
#include "controls/kdprinter.h"
#include "browser/fobject.h"
#include "core/kdeditorreg.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_text.h"
#include "core/msghook.h"
#include "editors/editor_table.h"
#include "editors/object_editor.h"
#include "platform/db/dbconnection.h"
#include "support/qstring_printer.h"
#include "editors/qstring_stream.h"
#include "support/testdb.h"

#include <QApplication>
#include <functional>
#include <QComboBox>
#include <QFile>
#include <QMdiSubWindow>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

inline void FlushEvents()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// Triggers a print action and answers the real print dialog with the PDF printer; gives the
// text pdftotext reads back from the printed file (empty when nothing was printed).
inline QString PrintedText(QAction *Print)
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("printed.pdf"));
    auto previous = TfrmPrint::SetFileNameHook([&](QWidget *, const QString &) { return pdf; });
    bool answered = false;
    QTimer poll; // runs inside the dialog's own event loop
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *d = qobject_cast<TfrmPrint *>(QApplication::activeModalWidget());
        if (!d)
            return;
        poll.stop();
        d->cmbPrinterName->setCurrentIndex(d->cmbPrinterName->findText(TkdPrinter::PdfPrinterName()));
        answered = true;
        d->btnOk->click();
    });
    poll.start();
    Print->trigger();
    poll.stop();
    TfrmPrint::SetFileNameHook(previous);
    if (!answered || !QFile::exists(pdf))
        return QString();
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf,
                                             QStringLiteral("-")});
    text.waitForFinished(60000);
    return QString::fromUtf8(text.readAllStandardOutput());
}

// Records what a compile previews and runs. Run executes each statement through the
// connection window; statement FailAt (1-based) fails on the server instead. With
// StopOnError the failure ends the run with the silent abort (the editor rolls back);
// without it the failed statement is undone alone and the run goes on.
class TRecordingRunner : public TDDLRunner
{
public:
    TRecordingRunner() { FPrevious = SetDDLRunner(this); }
    ~TRecordingRunner() override { SetDDLRunner(FPrevious); }

    bool Preview(QStringList &Lines, const QString &Schema, const QString &Name) override
    {
        Previewed << Lines;
        PreviewArgs << (Schema + QLatin1Char('|') + Name);
        return PreviewAnswer;
    }
    void Run(TkdConnForm *Owner, const QStringList &Lines) override
    {
        Ran << Lines;
        QStringList statements;
        QStringList current;
        for (const QString &l : Lines) {
            if (l.trimmed() == QLatin1String(";")) {
                statements << current.join(QLatin1Char('\n'));
                current.clear();
            } else {
                current << l;
            }
        }
        if (!current.join(QString()).trimmed().isEmpty())
            statements << current.join(QLatin1Char('\n'));
        int n = 0;
        for (const QString &s : statements) {
            if (s.trimmed().isEmpty())
                continue;
            ++n;
            if (BeforeStatement)
                BeforeStatement(n);
            const QString text = n == FailAt ? QStringLiteral("SELECT 1 / 0") : s;
            try {
                if (StopOnError)
                    Owner->ExecuteSQL(text);
                else
                    Owner->dbsMain()->protect([&] { Owner->ExecuteSQL(text); });
                Statements << text;
            } catch (const std::exception &) {
                ++Errors;
                if (StopOnError || !Owner->dbsMain()->isConnected())
                    throw EAbort();
            }
        }
    }
    void Wait() override { ++Waits; }

    bool PreviewAnswer = true;
    bool StopOnError = true;
    int FailAt = 0;
    std::function<void(int)> BeforeStatement;
    QList<QStringList> Previewed;
    QStringList PreviewArgs;
    QList<QStringList> Ran;
    QStringList Statements;
    int Errors = 0;
    int Waits = 0;

private:
    TDDLRunner *FPrevious = nullptr;
};

// Answers every message box from a queue (OK when empty) and records the texts and flags.
class TBoxes
{
public:
    TBoxes()
    {
        FPrevious = SetMessageBoxHook([this](MessageBoxRequest &r) {
            Texts << r.text;
            Flags << r.flags;
            if (OnBox)
                OnBox(r);
            return Answers.isEmpty() ? IDOK : Answers.takeFirst();
        });
    }
    ~TBoxes() { SetMessageBoxHook(std::move(FPrevious)); }
    QStringList Texts;
    QList<int> Flags;
    QList<int> Answers;
    std::function<void(MessageBoxRequest &)> OnBox;

private:
    MessageBoxHook FPrevious;
};

class EditorDbTest : public testdb::SchemaTest
{
protected:
    void SetUp() override
    {
        testdb::SchemaTest::SetUp();
        SetLogonProc({});
        Main = new TfrmMain;
        Main->SetCloseSteps({});
        Main->show();
        FlushEvents();
        ClearEditorRegistry();
        RegisterEditors();
        const testdb::Params &p = testdb::params();
        Conn = TfrmObject::Create({p.host, p.port, p.database, schema(), p.user, p.password});
        FlushEvents();
        // After the main window and the connection window read the stored settings.
        TkdOption::Global().UpdateToCommit = true;
        TkdOption::Global().UseLowerName = false;
        TkdOption::Global().CharacterSet = QStringLiteral("UTF8");
        TkdOption::Global().ShowDDL = true;
        TkdOption::Global().CloseDDL = true;
    }
    void TearDown() override
    {
        TearDownWindows();
        ClearEditorRegistry();
        TkdOption::Global().UpdateToCommit = false;
        TkdOption::Global().UseLowerName = false;
        testdb::SchemaTest::TearDown();
    }
    // Drops the roles that exist, their objects and privileges first (DROP OWNED BY).
    void DropRoles(const QStringList &roles)
    {
        for (const QString &r : roles) {
            exec("DO $$BEGIN IF EXISTS (SELECT FROM pg_roles WHERE rolname = " + QuoteLiteral(r)
                 + ") THEN EXECUTE 'DROP OWNED BY " + QString(QuoteIdentifier(r, true)).replace("'", "''")
                 + "'; END IF; END$$");
            exec("DROP ROLE IF EXISTS " + QuoteIdentifier(r, true));
        }
    }
    // The connection's wait delay (setCallWaitDelay) at each statement that Run sends on
    // the connection window's main connection.
    QList<int> WaitDelaysOfStatements(const std::function<void()> &Run)
    {
        db::Connection *db = Conn->dbsMain();
        QList<int> delays;
        db->setStatementObserver([&delays, db](const QString &) { delays << db->callWaitDelay(); });
        Run();
        db->setStatementObserver({});
        return delays;
    }
    // Closes the run logs, the editors and the main window (once).
    void TearDownWindows()
    {
        if (!Main)
            return;
        for (TfrmDDLExec *w : TfrmDDLExec::Windows()) {
            ScriptedMessageBoxes yes;
            yes.Answer(IDYES);
            w->close();
        }
        FlushEvents();
        {
            TBoxes no;
            no.Answers = {IDNO, IDNO, IDNO, IDNO};
            for (QWidget *w : Main->ChildWindows())
                if (auto *f = qobject_cast<TkdForm *>(w))
                    f->SetModified(false);
            Main->close();
        }
        delete Main;
        Main = nullptr;
        FlushEvents();
    }
    template <class T>
    T *OpenEditor(int code, const QString &schemaName, const QString &name, TOpenMode mode = omDefine)
    {
        QWidget *w = Conn->OpenObject(code, schemaName, name, mode);
        FlushEvents();
        return qobject_cast<T *>(w);
    }
    static void CloseEditor(QWidget *w)
    {
        if (!w)
            return;
        if (auto *f = qobject_cast<TkdForm *>(w))
            f->SetModified(false);
        if (auto *sub = qobject_cast<QMdiSubWindow *>(w->parentWidget()))
            sub->close();
        else
            w->close();
        FlushEvents();
    }
    bool Exists(const QString &regclass)
    {
        return scalar(QStringLiteral("SELECT to_regclass(%1) IS NOT NULL").arg(QuoteLiteral(regclass))) == QLatin1String("t");
    }

    TfrmMain *Main = nullptr;
    TfrmObject *Conn = nullptr;
};
