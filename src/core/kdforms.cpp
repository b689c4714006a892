#include "core/kdforms.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_text.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"
#include <stdexcept>

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QTabWidget>
#include <QToolButton>

// ---------------------------------------------------------------------------------------------
// Messages

TkdMessageEvent::TkdMessageEvent(TkdMessage msg, qintptr wParam, qintptr lParam)
    : QEvent(TypeOf(msg)), WParam(wParam), LParam(lParam)
{
}

QEvent::Type TkdMessageEvent::TypeOf(TkdMessage msg)
{
    // Reserve the three numbers once so that no other registered type takes them.
    static const bool reserved = [] {
        QEvent::registerEventType(WM_DBCHANGE);
        QEvent::registerEventType(WM_RELOAD);
        QEvent::registerEventType(WM_CODEASSIST);
        return true;
    }();
    Q_UNUSED(reserved);
    return QEvent::Type(int(msg));
}

void SendKdMessage(const QList<QWidget *> &windows, TkdMessage msg, qintptr wParam, qintptr lParam)
{
    QList<QPointer<QWidget>> targets;
    for (QWidget *w : windows)
        targets.append(w);
    for (const QPointer<QWidget> &w : targets) {
        if (!w)
            continue; // closed by an earlier window's answer
        TkdMessageEvent ev(msg, wParam, lParam);
        QCoreApplication::sendEvent(w, &ev);
    }
}

// ---------------------------------------------------------------------------------------------
// Silent abort and the guard of event handlers

void ShowError(const QString &text)
{
    ShowMessageBox(text, MB_OK | MB_ICONERROR);
}

// ---------------------------------------------------------------------------------------------
// Lookups of a connection window without a server

namespace {
[[noreturn]] void RefuseLookup()
{
    throw std::runtime_error("この接続ではデータベースを参照できません。");
}
} // namespace

db::Query *TkdConnForm::OpenSQL(const QString &, const QStringList &) { RefuseLookup(); }
void TkdConnForm::GetUser(QStringList &, bool) { RefuseLookup(); }
void TkdConnForm::GetRole(QStringList &) { RefuseLookup(); }
void TkdConnForm::GetTBS(QStringList &) { RefuseLookup(); }

bool GuardedCall(const std::function<void()> &fn)
{
    try {
        fn();
        return true;
    } catch (const EAbort &) {
        return false;
    } catch (const std::exception &e) {
        ShowError(QString::fromUtf8(e.what()));
        return false;
    } catch (...) {
        ShowError(QStringLiteral("不明なエラーが発生しました。"));
        return false;
    }
}

// ---------------------------------------------------------------------------------------------
// Wait cursor

TkdWaitCursor::TkdWaitCursor() : FActive(qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr)
{
    if (FActive)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

TkdWaitCursor::~TkdWaitCursor()
{
    if (FActive)
        QGuiApplication::restoreOverrideCursor();
}

// ---------------------------------------------------------------------------------------------
// Loop scope

namespace {
TkdLoopScope *&CurrentLoop()
{
    static TkdLoopScope *loop = nullptr;
    return loop;
}
} // namespace

TkdLoopScope::TkdLoopScope() : FOuter(CurrentLoop())
{
    CurrentLoop() = this;
}

TkdLoopScope::~TkdLoopScope()
{
    CurrentLoop() = FOuter;
    if (TkdMainForm *host = TkdMainForm::Instance())
        host->SetDefMessage();
}

bool TkdLoopScope::Step(int nowCount, int maxCount)
{
    if (TkdMainForm *host = TkdMainForm::Instance())
        host->SetLoopMessage(nowCount, maxCount);
    return EscapePressed();
}

bool TkdLoopScope::Active()
{
    return CurrentLoop() != nullptr;
}

// ---------------------------------------------------------------------------------------------
// Registered main window and logon

namespace {
TkdMainForm *&MainInstance()
{
    static TkdMainForm *main = nullptr;
    return main;
}
TLogonProc &LogonProc()
{
    static TLogonProc proc;
    return proc;
}
} // namespace

TkdMainForm *TkdMainForm::Instance()
{
    return MainInstance();
}

void TkdMainForm::SetInstance(TkdMainForm *mainForm)
{
    MainInstance() = mainForm;
}

namespace {
TControlHook &ControlHook()
{
    static TControlHook hook;
    return hook;
}
} // namespace

namespace {
TCodeAssistHook &CodeAssistHook()
{
    static TCodeAssistHook hook;
    return hook;
}
} // namespace

void SetCodeAssistHook(TCodeAssistHook hook)
{
    CodeAssistHook() = std::move(hook);
}

void SetControlHook(TControlHook hook)
{
    ControlHook() = std::move(hook);
}

void SetLogonProc(TLogonProc proc)
{
    LogonProc() = std::move(proc);
}

bool RunLogon(const TLogonValues &values, bool autoPass)
{
    if (!LogonProc())
        return false;
    return LogonProc()(values, autoPass);
}

// ---------------------------------------------------------------------------------------------
// TkdForm

TkdForm::TkdForm(QObject *owner) : FUseLowerName(TkdOption::Global().UseLowerName)
{
    setAttribute(Qt::WA_DeleteOnClose);
    TkdMainForm *host = TkdMainForm::Instance();
    TkdConnForm *conn = nullptr;
    if (auto *c = dynamic_cast<TkdConnForm *>(owner))
        conn = c;
    else if (auto *f = qobject_cast<TkdForm *>(owner))
        conn = f->OwnerForm();
    else if (host && owner && owner == host->Widget())
        conn = host->CurrentForm();
    if (conn)
        SetOwnerForm(conn);

    // Ctrl+PgUp / Ctrl+PgDn switch pages from anywhere inside the window and are never passed
    // on: the keys of every control of the window pass this filter first.
    qApp->installEventFilter(this);
}

TkdForm::~TkdForm()
{
    delete FTaskButton.data();
    // The window's queries are closed while the window and the controls bound to them still
    // exist, so that every listener sees the close (a result released only by the query's own
    // destructor tells nobody).
    for (db::Query *q : findChildren<db::Query *>()) {
        try {
            q->close();
        } catch (...) {
            // a destructor lets nothing out; the query's own destructor still releases it
        }
    }
}

void TkdForm::InitForm()
{
    // Every control gets the shared settings of its kind (editor font, colours, menus).
    if (ControlHook())
        for (QWidget *w : findChildren<QWidget *>())
            ControlHook()(w);
    // The first page control in depth-first child order switches pages on Ctrl+PgUp/PgDn.
    if (!FPageControl)
        FPageControl = findChild<QTabWidget *>();
    // The queries that the derived constructor created before this call join the window's
    // connection, as any later change of OwnerForm rebinds them.
    if (TkdConnForm *owner = OwnerForm())
        RebindQueries(owner->dbsMain());
    LoadWindowLayout();
}

void TkdForm::RebindQueries(db::Connection *conn)
{
    // Every query of the window, in frames too; each is closed before it changes connection.
    for (db::Query *q : findChildren<db::Query *>())
        q->setConnection(conn);
}

void TkdForm::SetOwnerForm(TkdConnForm *value)
{
    if (value == OwnerForm())
        return;
    FOwnerForm = value;
    FOwnerWidget = value ? value->Widget() : nullptr;
    // Without an owner the queries are closed and unbound: none may go on running on a
    // connection the window no longer names.
    RebindQueries(value ? value->dbsMain() : nullptr);
    emit OwnerFormChanged(value);
}

QString SchemaPrefixFor(TSourceMode mode, const QString &schema, const QString &compareSchema)
{
    if (mode == smText) {
        // Scripts follow the script options: 0 always, 1 when the schema differs, else never.
        const int owner = TScriptOption::Global().Owner;
        if (owner == 1) {
            if (schema.trimmed() == compareSchema.trimmed())
                return QString();
        } else if (owner != 0) {
            return QString();
        }
    }
    if (schema.trimmed().isEmpty())
        return QString();
    return QuoteIdentifier(schema, TkdOption::Global().UseLowerName) + QLatin1Char('.');
}

QString TkdForm::SchemaPrefix(const QString &schema, const QString &compareSchema) const
{
    return SchemaPrefixFor(SourceMode, schema, compareSchema);
}

db::Query *TkdForm::CodeAssistQuery()
{
    TkdConnForm *owner = OwnerForm();
    db::Connection *conn = owner ? owner->dbsMain() : nullptr;
    if (!conn)
        return nullptr;
    if (!FAssistQuery)
        FAssistQuery = new db::Query(conn, this);
    else
        FAssistQuery->setConnection(conn); // follows a changed owner; closes the last statement
    return FAssistQuery;
}

void TkdForm::WMCodeAssist(QWidget *editor, int x, int y)
{
    if (CodeAssistHook() && editor)
        CodeAssistHook()(this, editor, x, y);
}

bool TkdForm::OwnerFormOpen() const
{
    TkdConnForm *owner = OwnerForm();
    TkdMainForm *host = TkdMainForm::Instance();
    return owner && host && host->Connections().contains(owner);
}

void TkdForm::SetObjType(int value)
{
    if (value == FObjType)
        return;
    FObjType = value;
    SetTaskIcon(value);
}

void TkdForm::SetIsNew(bool value)
{
    FIsNew = value;
    ChangedIsNew();
}

QString TkdForm::TaskCaption() const
{
    return FTaskButton ? FTaskButton->text() : QString();
}

void TkdForm::SetTaskCaption(const QString &value)
{
    if (!FTaskButton)
        return;
    FTaskButton->setText(value.size() > 12 ? value.left(12) + QChar(0x2026) : value);
}

void TkdForm::CreateTaskButton()
{
    TkdMainForm *host = TkdMainForm::Instance();
    if (!FTaskButton) {
        if (!host)
            return;
        FTaskButton = host->CreateTaskButton(this);
        if (!FTaskButton)
            return;
    }
    FTaskButton->setToolTip(windowTitle());
    FTaskButton->setChecked(true);
}

void TkdForm::SetTaskIcon(int index)
{
    TkdMainForm *host = TkdMainForm::Instance();
    if (!host)
        return;
    const QIcon icon = host->Image(index);
    setWindowIcon(icon);
    if (FTaskButton)
        FTaskButton->setIcon(icon);
}

bool TkdForm::CloseQuery()
{
    bool answer = true;
    if (FModified && !FIsToastObject) {
        switch (ShowMessageBox(QStringLiteral("情報が変更されています。コンパイルしますか？"),
                               MB_YESNOCANCEL | MB_ICONQUESTION)) {
        case IDCANCEL:
            answer = false;
            break;
        case IDYES:
            GuardedCall([this] { Compile(); });
            if (FModified)
                answer = false;
            break;
        default:
            break;
        }
    }
    if (answer)
        GuardedCall([this] { SaveWindowLayout(); });
    return answer;
}

void TkdForm::Activate()
{
    if (TkdMainForm *host = TkdMainForm::Instance())
        host->SelectConnection(OwnerForm());
    if (FTaskButton)
        FTaskButton->setChecked(true);
}

bool TkdForm::event(QEvent *e)
{
    switch (int(e->type())) {
    case WM_DBCHANGE:
        GuardedCall([this] { DBChange(); });
        return true;
    case WM_RELOAD:
        // A reload shows what the server holds now, also in code assist of the connection.
        if (TkdConnForm *conn = OwnerForm())
            if (db::Connection *c = conn->dbsMain())
                c->markCatalogChanged();
        GuardedCall([this] { Reload(); });
        return true;
    case WM_CODEASSIST:
        // Only an editor's request carries the editor; a bare message has nothing to answer.
        if (auto *ca = dynamic_cast<TCodeAssistEvent *>(e))
            GuardedCall([this, ca] { WMCodeAssist(ca->Editor, ca->X, ca->Y); });
        e->accept();
        return true;
    case QEvent::WindowTitleChange:
        if (FTaskButton)
            FTaskButton->setToolTip(windowTitle());
        break;
    default:
        break;
    }
    return QWidget::event(e);
}

void TkdForm::closeEvent(QCloseEvent *e)
{
    if (!FCloseAsked && !CloseQuery()) {
        e->ignore();
        return;
    }
    e->accept();
}

bool TkdForm::eventFilter(QObject *watched, QEvent *e)
{
    if ((e->type() == QEvent::KeyPress || e->type() == QEvent::ShortcutOverride) && watched->isWidgetType()) {
        auto *k = static_cast<QKeyEvent *>(e);
        auto *w = static_cast<QWidget *>(watched);
        if ((k->modifiers() & Qt::ControlModifier) && (k->key() == Qt::Key_PageUp || k->key() == Qt::Key_PageDown)
            && (w == this || isAncestorOf(w))) {
            if (e->type() == QEvent::KeyPress)
                FormKeyDown(k);
            e->accept(); // claimed before any shortcut or control sees it
            return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}

void TkdForm::keyPressEvent(QKeyEvent *e)
{
    if (!FormKeyDown(e))
        QWidget::keyPressEvent(e);
}

bool TkdForm::FormKeyDown(QKeyEvent *e)
{
    if (!(e->modifiers() & Qt::ControlModifier)
        || (e->key() != Qt::Key_PageUp && e->key() != Qt::Key_PageDown))
        return false;
    if (FPageControl && FPageControl->count() > 1) {
        FPageControl->setFocus();
        const int step = e->key() == Qt::Key_PageUp ? -1 : 1;
        const int next = FPageControl->currentIndex() + step;
        if (next >= 0 && next < FPageControl->count())
            FPageControl->setCurrentIndex(next);
    }
    e->accept();
    return true;
}
