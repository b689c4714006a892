#include "browser/fddlexec.h"

#include "browser/ddllog_memo.h"
#include <Qsci/qsciscintilla.h>
#include "controls/kdstdctl.h"
#include "core/kddialogsupport.h"
#include "core/kdforms.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "platform/db/dbconnection.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QPushButton>

namespace {
const QString kGeometry = QStringLiteral("LOG");
const QString kOK = QStringLiteral("《正常終了》");
const QString kError = QStringLiteral("《エラー》");
// The log repaints at most ten times a second while statements run.
constexpr int kFlushMs = 100;
// Pending events are handled at least this often while statements run.
constexpr int kEventsMs = 10;

QList<QPointer<TfrmDDLExec>> &OpenWindows()
{
    static QList<QPointer<TfrmDDLExec>> windows;
    return windows;
}

// Switches the connection to what the run needs and back: no error is dropped by the
// filter (a failure is never logged as success), and inside a block every statement runs
// under its own savepoint (a failure undoes only itself, the rest can still commit).
class TRunSettings
{
public:
    explicit TRunSettings(db::Connection *c) : FConn(c)
    {
        if (!c)
            return;
        FFilter = c->errorFilter();
        FSavepoints = c->statementSavepoints();
        c->setErrorFilter(false);
        c->setStatementSavepoints(true);
    }
    ~TRunSettings()
    {
        if (!FConn)
            return;
        FConn->setErrorFilter(FFilter);
        FConn->setStatementSavepoints(FSavepoints);
    }
private:
    db::Connection *FConn;
    bool FFilter = true;
    bool FSavepoints = true;
};
} // namespace

TfrmDDLExec::TfrmDDLExec(QWidget *parent, TkdConnForm *owner, const QStringList &sql)
    : QWidget(parent, Qt::Window), FOwner(owner), FOwnerWidget(owner ? owner->Widget() : nullptr), FSQL(sql)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);
    setWindowTitle(QStringLiteral("スクリプト実行"));
    chkErrorStop = new TkdCheckBox(QStringLiteral("エラー発生時に処理を中断する"), this);
    chkErrorStop->setObjectName(QStringLiteral("chkErrorStop"));
    chkErrorStop->setChecked(true);
    btnOK = new QPushButton(QStringLiteral("継続(&U)"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnCancel = new QPushButton(QStringLiteral("中止(&A)"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    txtLog = BuildStatementWindow(this, "frmDDLExec", true, chkErrorStop, {btnOK, btnCancel});
    connect(btnOK, &QPushButton::clicked, this, [this] { GuardedCall([this] { btnOKClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, &QWidget::close);
    OpenWindows().append(this);
}

TfrmDDLExec::~TfrmDDLExec()
{
    OpenWindows().removeAll(QPointer<TfrmDDLExec>(this));
    OpenWindows().removeAll(QPointer<TfrmDDLExec>());
}

QList<TfrmDDLExec *> TfrmDDLExec::Windows()
{
    QList<TfrmDDLExec *> list;
    for (const QPointer<TfrmDDLExec> &w : OpenWindows())
        if (w && !w->FClosed)
            list << w.data();
    return list;
}

int TfrmDDLExec::TransactionLevel() const
{
    db::Connection *c = FOwnerWidget && FOwner ? FOwner->dbsMain() : nullptr;
    if (!c || !c->isConnected())
        return 0;
    return (c->inTransaction() ? 1 : 0) + c->savepointLevel();
}

void TfrmDDLExec::ShowWindow(TkdConnForm *AOwner, const QStringList &ASQL)
{
    Open(AOwner, ASQL, false);
}

void TfrmDDLExec::ShowWindowStopping(TkdConnForm *AOwner, const QStringList &ASQL)
{
    Open(AOwner, ASQL, true);
}

void TfrmDDLExec::Open(TkdConnForm *AOwner, const QStringList &ASQL, bool ForceStop)
{
    TkdMainForm *host = TkdMainForm::Instance();
    QWidget *main = host ? host->Widget() : nullptr;
    auto *form = new TfrmDDLExec(main, AOwner, ASQL);
    if (ForceStop) {
        form->chkErrorStop->setChecked(true);
        form->chkErrorStop->setEnabled(false);
    }
    if (main)
        main->setCursor(Qt::WaitCursor);
    form->FTransactionLevel = form->TransactionLevel();
    LoadDialogGeometry(form, kGeometry);
    CentreOverMainWindow(form);
    form->show();
    form->txtLog->setFocus();
    QPointer<TfrmDDLExec> guard(form);
    const bool done = form->Run();
    if (guard && guard->FAbort)
        guard->close();
    if (!done)
        throw EAbort();
}

void TfrmDDLExec::WaitProc()
{
    for (;;) {
        const QList<TfrmDDLExec *> windows = Windows();
        if (windows.isEmpty())
            return;
        QEventLoop loop;
        QPointer<TfrmDDLExec> w = windows.first();
        connect(w, &TfrmDDLExec::Closed, &loop, &QEventLoop::quit);
        connect(w, &QObject::destroyed, &loop, &QEventLoop::quit);
        if (w && !w->FClosed)
            loop.exec();
    }
}

QString TfrmDDLExec::LogText() const
{
    return txtLog->text() + FPending;
}

void TfrmDDLExec::Append(const QStringList &lines)
{
    for (const QString &line : lines) {
        FPending += line;
        FPending += QLatin1Char('\n');
    }
}

void TfrmDDLExec::FlushLog(bool force)
{
    if (FPending.isEmpty())
        return;
    if (!force && FLastFlush.isValid() && FLastFlush.elapsed() < kFlushMs)
        return;
    txtLog->append(FPending);
    FPending.clear();
    const int last = std::max(0, txtLog->lines() - 1);
    txtLog->setCursorPosition(last, 0);
    txtLog->ensureLineVisible(last);
    FLastFlush.restart();
}

bool TfrmDDLExec::Run()
{
    btnOK->setEnabled(false);
    FRunning = true;
    QPointer<TfrmDDLExec> self(this);
    db::Connection *conn = FOwner && FOwnerWidget ? FOwner->dbsMain() : nullptr;
    bool stopped = false;
    {
        TRunSettings settings(conn);
        // One wait cursor for the whole run: setting and restoring it around every
        // statement touches every window each time and costs more than a small statement.
        TkdWaitCursor wait;
        while (FPos < FSQL.size() && !FAbort) {
            QStringList statement;
            while (FPos < FSQL.size()) {
                const QString &line = FSQL.at(FPos++);
                if (line == QLatin1String(";"))
                    break;
                statement << line;
            }
            if (statement.isEmpty())
                continue;
            Append(statement);
            QString text;
            for (const QString &line : statement) {
                text += line;
                text += QStringLiteral("\r\n");
            }
            bool failed = false;
            QString message;
            if (!FOwnerWidget || !FOwner) {
                failed = true;
                FConnectionLost = true;
                message = QStringLiteral("接続ウィンドウが閉じられています。");
            } else {
                try {
                    FOwner->ExecuteSQL(text);
                } catch (const db::Error &e) {
                    failed = true;
                    message = e.message;
                    if (e.kind == db::Error::Kind::ConnectionLost || (conn && !conn->isConnected()))
                        FConnectionLost = true;
                } catch (const EAbort &) {
                    failed = true;
                    message = QStringLiteral("中断されました。");
                } catch (const std::exception &e) {
                    failed = true;
                    message = QString::fromUtf8(e.what());
                }
            }
            if (!failed) {
                Append({kOK, QString()});
            } else {
                ++FErrorCount;
                QString lines = message;
                lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
                Append(QStringList{kError} + lines.split(QLatin1Char('\n')) + QStringList{QString()});
                if (chkErrorStop->isChecked() || FConnectionLost) {
                    stopped = true;
                    break;
                }
            }
            FlushLog(false);
            // Pending events every few milliseconds keep the window responsive without
            // paying the event dispatch for every one of thousands of tiny statements.
            if (!FLastEvents.isValid() || FLastEvents.elapsed() >= kEventsMs) {
                QCoreApplication::processEvents();
                FLastEvents.restart();
            }
            if (!self)
                return false; // cannot happen: the window is never deleted while it runs
        }
    }
    FRunning = false;
    FlushLog(true);
    if (stopped) {
        btnOK->setEnabled(!FConnectionLost);
        if (btnOK->isEnabled())
            btnOK->setFocus();
        return false;
    }
    if (FAbort)
        return false;
    Finish();
    return true;
}

void TfrmDDLExec::Finish()
{
    Append({QStringLiteral("スクリプト実行が完了しました。"), QStringLiteral("エラー: %1 件").arg(FErrorCount)});
    FlushLog(true);
    btnCancel->setText(QStringLiteral("終了(&X)"));
    btnCancel->setFocus();
    FEndProc = true;
    if (FErrorCount == 0 && TkdOption::Global().CloseDDL)
        close();
}

void TfrmDDLExec::btnOKClick()
{
    if (FRunning)
        return;
    if (TransactionLevel() < FTransactionLevel) {
        // The caller rolled its transaction back after the error stop: what is left belonged
        // to it and must not run on its own.
        btnOK->setEnabled(false);
        Append({QStringLiteral("呼び出し元のトランザクションが取り消されたため、残りの文は実行されません。")});
        FlushLog(true);
        btnCancel->setText(QStringLiteral("終了(&X)"));
        btnCancel->setFocus();
        FEndProc = true;
        return;
    }
    Run();
    if (FAbort)
        close();
}

void TfrmDDLExec::closeEvent(QCloseEvent *e)
{
    if (FClosed) {
        e->accept();
        return;
    }
    if (!FEndProc) {
        const int answer = ShowMessageBox(QStringLiteral("処理を中断しますか？"),
                                          MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
        if (answer != IDYES) {
            e->ignore();
            return;
        }
        FEndProc = true;
        if (FRunning) {
            // Nothing more is sent; the window closes once the current statement returns.
            FAbort = true;
            e->ignore();
            return;
        }
    }
    FClosed = true;
    if (TkdMainForm *host = TkdMainForm::Instance())
        if (QWidget *main = host->Widget())
            main->unsetCursor();
    SaveDialogGeometry(this, kGeometry);
    e->accept();
    emit Closed();
}
