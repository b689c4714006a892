#include "browser/flogon.h"

#include "browser/fobject.h"
#include "controls/kdstdctl.h"
#include "core/kdforms.h"
#include "core/kdreg.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_service.h"
#include "core/kdsub_start.h"

#include "platform/db/dbconnection.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QProgressDialog>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// The connection waiter of the user-interface thread (see InstallConnectWaiter).
class TConnectWaiter : public QObject, public db::ConnectWaiter
{
public:
    void begin() override
    {
        if (FDepth++ > 0 || !OnGuiThread())
            return;
        FAbandoned = false;
        qApp->installEventFilter(this);
        // A quick logon never flashes the box.
        FShowTimer = new QTimer(this);
        FShowTimer->setSingleShot(true);
        connect(FShowTimer, &QTimer::timeout, this, [this] { ShowBox(); });
        FShowTimer->start(400);
    }
    void end() override
    {
        if (--FDepth > 0 || !OnGuiThread())
            return;
        qApp->removeEventFilter(this);
        delete FShowTimer;
        FShowTimer = nullptr;
        delete FBox.data();
    }
    Result wait(int socket, bool forWrite, int msecs) override
    {
        if (!OnGuiThread())
            return db::pollSocket(socket, forWrite, msecs);
        if (FAbandoned)
            return Result::Abandoned;
        QEventLoop loop;
        Result result = Result::TimedOut;
        QSocketNotifier notifier(qintptr(socket), forWrite ? QSocketNotifier::Write : QSocketNotifier::Read);
        connect(&notifier, &QSocketNotifier::activated, &loop, [&] {
            result = Result::Ready;
            loop.quit();
        });
        QTimer limit;
        limit.setSingleShot(true);
        connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        if (msecs >= 0)
            limit.start(msecs);
        QEventLoop *outer = FLoop;
        FLoop = &loop;
        loop.exec();
        FLoop = outer;
        return FAbandoned ? Result::Abandoned : result;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        switch (e->type()) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent *>(e)->key() == Qt::Key_Escape) {
                Abandon();
                return true;
            }
            [[fallthrough]];
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::Drop:
            // Input belongs to the progress box alone while the attempt runs.
            return !InBox(watched);
        case QEvent::Close:
            return e->spontaneous() && !InBox(watched);
        default:
            return false;
        }
    }

private:
    static bool OnGuiThread() { return qApp && QThread::currentThread() == qApp->thread(); }
    bool InBox(QObject *o) const
    {
        for (; o; o = o->parent())
            if (o == FBox.data())
                return true;
        return false;
    }
    void Abandon()
    {
        FAbandoned = true;
        if (FLoop)
            FLoop->quit();
    }
    void ShowBox()
    {
        TkdMainForm *host = TkdMainForm::Instance();
        auto *box = new QProgressDialog(QStringLiteral("データベースに接続中です．．．"), QStringLiteral("キャンセル"), 0, 0,
                                        host ? host->Widget() : nullptr);
        box->setObjectName(QStringLiteral("dlgConnecting"));
        box->setWindowTitle(QStringLiteral("ログオン"));
        box->setWindowModality(Qt::ApplicationModal);
        box->setAutoReset(false);
        box->setAutoClose(false);
        box->setMinimumDuration(0);
        box->setMinimumWidth(320);
        connect(box, &QProgressDialog::canceled, this, [this] { Abandon(); });
        FBox = box;
        box->show();
    }

    int FDepth = 0;
    bool FAbandoned = false;
    QEventLoop *FLoop = nullptr;
    QTimer *FShowTimer = nullptr;
    QPointer<QProgressDialog> FBox;
};

QString DatabaseKey()
{
    return QString::fromUtf16(kMainKey) + QStringLiteral("\\DATABASE");
}
QString LogonLayoutKey()
{
    return QString::fromUtf16(kMainKey) + QStringLiteral("\\GUI\\LOGON");
}
QStringList SplitLines(const QString &text)
{
    QStringList lines;
    for (const QString &line : QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")).split(QLatin1Char('\n')))
        if (!line.isEmpty())
            lines << line;
    return lines;
}
} // namespace

bool MatchesLogon(const TLogonFields &row, const TLogonFields &fields)
{
    return row.UserID == fields.UserID && row.Database == fields.Database && KdSameTextAscii(row.Host, fields.Host)
        && row.Schema == fields.Schema && KdSameTextAscii(row.Port, fields.Port);
}

QList<TLogonFields> LoadConnectionList(TkdRegistry &reg)
{
    QList<TLogonFields> rows;
    if (!reg.KeyExists(DatabaseKey()))
        return rows;
    if (!reg.OpenKey(DatabaseKey(), false))
        return rows;
    QStringList keys = reg.GetKeyNames();
    QStringList order = SplitLines(reg.GetString(QStringLiteral("Sort"), keys.join(QStringLiteral("\r\n"))));
    reg.CloseKey();
    // From the end: a name that is no key is dropped; a key keeps its last mention only.
    QStringList kept;
    for (auto it = order.crbegin(); it != order.crend(); ++it) {
        const qsizetype i = keys.indexOf(*it);
        if (i < 0)
            continue;
        keys.removeAt(i);
        kept.prepend(*it);
    }
    kept += keys;
    for (const QString &name : kept) {
        if (!reg.OpenKey(DatabaseKey() + QLatin1Char('\\') + name, false))
            continue;
        TLogonFields row;
        row.UserID = reg.GetString(QStringLiteral("UserID"), QString());
        row.Host = reg.GetString(QStringLiteral("Host"), QString());
        row.Database = reg.GetString(QStringLiteral("Database"), QString());
        row.Schema = reg.GetString(QStringLiteral("Schema"), QString());
        row.Port = reg.GetString(QStringLiteral("Port"), QString());
        row.Password = UnscramblePassword(reg.GetString(QStringLiteral("Password"), QString()));
        row.Key = name;
        reg.CloseKey();
        rows << row;
    }
    return rows;
}

void SaveConnectionList(TkdRegistry &reg, const QList<TLogonFields> &rows, const TLogonFields &fields, bool saveEntry,
                        bool savePassword)
{
    if (!reg.OpenKey(DatabaseKey(), true))
        throw ERegistryException(QStringLiteral("接続先リストを保存できません。"));
    reg.WriteString(QStringLiteral("UserID"), fields.UserID);
    reg.WriteString(QStringLiteral("Database"), fields.Database);
    reg.WriteString(QStringLiteral("Host"), fields.Host);
    reg.WriteString(QStringLiteral("Port"), fields.Port);
    reg.WriteString(QStringLiteral("Schema"), fields.Schema);
    QString sort;
    for (const TLogonFields &row : rows)
        sort += row.Key + QStringLiteral("\r\n");
    reg.WriteString(QStringLiteral("Sort"), sort);
    reg.CloseKey();
    if (!saveEntry)
        return;
    const QString password = savePassword ? ScramblePassword(fields.Password) : QString();
    for (const TLogonFields &row : rows)
        if (MatchesLogon(row, fields)) {
            if (reg.OpenKey(DatabaseKey() + QLatin1Char('\\') + row.Key, false)) {
                if (savePassword)
                    reg.WriteString(QStringLiteral("Password"), password);
                else
                    reg.DeleteValue(QStringLiteral("Password"));
                reg.CloseKey();
            }
            return;
        }
    QString name;
    for (int n = 0;; ++n) {
        name = QStringLiteral("DB%1").arg(n, 3, 10, QLatin1Char('0'));
        if (!reg.KeyExists(DatabaseKey() + QLatin1Char('\\') + name))
            break;
    }
    if (!reg.OpenKey(DatabaseKey() + QLatin1Char('\\') + name, true))
        throw ERegistryException(QStringLiteral("接続先リストを保存できません。"));
    reg.WriteString(QStringLiteral("UserID"), fields.UserID);
    reg.WriteString(QStringLiteral("Database"), fields.Database);
    if (savePassword)
        reg.WriteString(QStringLiteral("Password"), password);
    reg.WriteString(QStringLiteral("Host"), fields.Host);
    reg.WriteString(QStringLiteral("Port"), fields.Port);
    reg.WriteString(QStringLiteral("Schema"), fields.Schema);
    reg.CloseKey();
}

void InstallConnectWaiter()
{
    static TConnectWaiter *waiter = nullptr;
    if (waiter)
        return;
    waiter = new TConnectWaiter;
    waiter->moveToThread(qApp->thread());
    db::setConnectWaiter(waiter);
}

QString CheckLogonFields(const TLogonFields &fields, int *field)
{
    const std::pair<const QString *, const char16_t *> required[] = {
        {&fields.UserID, u"ユーザー名"}, {&fields.Database, u"データベース"}, {&fields.Host, u"ホスト"}, {&fields.Port, u"ポート"}};
    for (int i = 0; i < 4; ++i)
        if (required[i].first->isEmpty()) {
            if (field)
                *field = i;
            return FormatText(QStringLiteral("%sを入力して下さい。"), {QString::fromUtf16(required[i].second)});
        }
    bool ok = false;
    const int port = fields.Port.toInt(&ok);
    if (!ok || port < 1 || port > 65535) {
        if (field)
            *field = 3;
        return QStringLiteral("ポートの範囲は1～65535です。");
    }
    return QString();
}

// ---------------------------------------------------------------------------------------------

TfrmLogon::TfrmLogon(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("frmLogon"));
    setWindowTitle(QStringLiteral("ログオン"));
    setSizeGripEnabled(true);
    TkdMainForm *host = TkdMainForm::Instance();

    lstUserID = new QTreeWidget;
    lstUserID->setObjectName(QStringLiteral("lstUserID"));
    lstUserID->setRootIsDecorated(false);
    lstUserID->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstUserID->setSelectionMode(QAbstractItemView::SingleSelection);
    lstUserID->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstUserID->setHeaderLabels({QStringLiteral("ユーザーID"), QStringLiteral("サーバー"), QStringLiteral("データベース"),
                                QStringLiteral("スキーマ"), QStringLiteral("ポート")});
    lstUserID->setColumnWidth(0, 100);
    lstUserID->setColumnWidth(1, 120);
    lstUserID->setColumnWidth(2, 100);
    lstUserID->setColumnWidth(3, 100);
    lstUserID->header()->setStretchLastSection(true);
    lstUserID->installEventFilter(this);
    connect(lstUserID, &QTreeWidget::itemSelectionChanged, this, [this] {
        RowSelected();
        UpdateActions();
    });
    connect(lstUserID, &QTreeWidget::itemDoubleClicked, this, [this] { GuardedCall([this] { actOkExecute(); }); });

    auto makeAction = [&](const char *name, const QString &hint, int image, void (TfrmLogon::*slot)()) {
        auto *a = new QAction(hint, this);
        a->setObjectName(QString::fromLatin1(name));
        a->setToolTip(hint);
        if (host)
            a->setIcon(host->Image(image));
        connect(a, &QAction::triggered, this, [this, slot] { GuardedCall([this, slot] { (this->*slot)(); }); });
        return a;
    };
    actUp = makeAction("actUp", QStringLiteral("上へ移動"), 35, &TfrmLogon::actUpExecute);
    actDown = makeAction("actDown", QStringLiteral("下へ移動"), 36, &TfrmLogon::actDownExecute);
    actDel = makeAction("actDel", QStringLiteral("削除"), 41, &TfrmLogon::actDelExecute);
    auto *buttons = new QVBoxLayout;
    for (QAction *a : {actUp, actDown, actDel}) {
        auto *b = new QToolButton;
        b->setObjectName(QStringLiteral("btn") + a->objectName().mid(3));
        b->setDefaultAction(a);
        b->setText(a->toolTip().left(1));
        buttons->addWidget(b);
    }
    buttons->addStretch(1);

    auto edit = [](const char *name, bool password = false) {
        auto *e = new QLineEdit;
        e->setObjectName(QString::fromLatin1(name));
        e->setMaxLength(255);
        if (password)
            e->setEchoMode(QLineEdit::Password);
        return e;
    };
    txtUserID = edit("txtUserID");
    txtPassword = edit("txtPassword", true);
    txtHost = edit("txtHost");
    txtPort = new TkdNumEdit;
    txtPort->setObjectName(QStringLiteral("txtPort"));
    txtPort->setMaxLength(5);
    txtPort->SetAllowMinus(true);
    txtDatabase = edit("txtDatabase");
    txtSchema = edit("txtSchema");
    chkSave = new QCheckBox(QStringLiteral("接続先リストに登録する"));
    chkSave->setObjectName(QStringLiteral("chkSave"));
    chkSavePassword = new QCheckBox(QStringLiteral("パスワードも登録する"));
    chkSavePassword->setObjectName(QStringLiteral("chkSavePassword"));
    chkSavePassword->setChecked(true);
    chkSavePassword->setEnabled(false);
    connect(chkSave, &QCheckBox::toggled, chkSavePassword, &QWidget::setEnabled);

    btnOk = new QPushButton(QStringLiteral("接続"));
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("キャンセル"));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOk, &QPushButton::clicked, this, [this] { GuardedCall([this] { actOkExecute(); }); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    // "接続" needs a user ID; an empty password is allowed (the client may find it elsewhere).
    connect(txtUserID, &QLineEdit::textChanged, this, [this] { btnOk->setEnabled(!txtUserID->text().isEmpty()); });
    btnOk->setEnabled(false);

    auto *listLabel = new QLabel(QStringLiteral("接続先リスト"));
    auto *grid = new QGridLayout;
    grid->addWidget(listLabel, 0, 0, 1, 2);
    grid->addWidget(lstUserID, 1, 0);
    grid->addLayout(buttons, 1, 1);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("ユーザーＩＤ"), txtUserID);
    form->addRow(QStringLiteral("パスワード"), txtPassword);
    form->addRow(QStringLiteral("サーバー"), txtHost);
    form->addRow(QStringLiteral("ポート"), txtPort);
    form->addRow(QStringLiteral("データベース"), txtDatabase);
    form->addRow(QStringLiteral("接続スキーマ"), txtSchema);
    form->addRow(QString(), chkSave);
    form->addRow(QString(), chkSavePassword);
    auto *box = new QDialogButtonBox;
    box->addButton(btnOk, QDialogButtonBox::AcceptRole);
    box->addButton(btnCancel, QDialogButtonBox::RejectRole);
    auto *main = new QVBoxLayout(this);
    main->addLayout(grid, 1);
    main->addLayout(form);
    main->addWidget(box);
    resize(560, 470);
    UpdateActions();
}

TLogonFields TfrmLogon::Fields() const
{
    TLogonFields f;
    f.UserID = txtUserID->text();
    f.Password = txtPassword->text();
    f.Host = txtHost->text();
    f.Port = txtPort->text();
    f.Database = txtDatabase->text();
    f.Schema = txtSchema->text();
    return f;
}

void TfrmLogon::SetFields(const TLogonFields &fields)
{
    txtUserID->setText(fields.UserID);
    txtPassword->setText(fields.Password);
    txtHost->setText(fields.Host);
    txtPort->setText(fields.Port);
    txtDatabase->setText(fields.Database);
    txtSchema->setText(fields.Schema);
}

void TfrmLogon::LoadConnections()
{
    FindSymfowareClientFolder();
    FRows = LoadConnectionList(SharedRegistry());
    const TLogonFields fields = Fields();
    for (const TLogonFields &row : FRows)
        if (MatchesLogon(row, fields))
            txtPassword->setText(row.Password);
    FillList();
}

void TfrmLogon::SaveConnections()
{
    SaveConnectionList(SharedRegistry(), FRows, Fields(), chkSave->isChecked(), chkSavePassword->isChecked());
}

void TfrmLogon::FillList()
{
    const QSignalBlocker block(lstUserID);
    lstUserID->clear();
    for (const TLogonFields &row : FRows)
        lstUserID->addTopLevelItem(new QTreeWidgetItem({row.UserID, row.Host, row.Database, row.Schema, row.Port}));
    UpdateActions();
}

void TfrmLogon::RowSelected()
{
    const int i = lstUserID->indexOfTopLevelItem(lstUserID->currentItem());
    if (i < 0 || i >= FRows.size() || lstUserID->selectedItems().isEmpty())
        return;
    SetFields(FRows.at(i));
}

void TfrmLogon::UpdateActions()
{
    const bool selected = !lstUserID->selectedItems().isEmpty();
    const int i = selected ? lstUserID->indexOfTopLevelItem(lstUserID->selectedItems().first()) : -1;
    actUp->setEnabled(selected && i > 0);
    actDown->setEnabled(selected && i >= 0 && i < lstUserID->topLevelItemCount() - 1);
    actDel->setEnabled(selected);
}

void TfrmLogon::MoveRow(int delta)
{
    if (lstUserID->selectedItems().isEmpty())
        return;
    const int i = lstUserID->indexOfTopLevelItem(lstUserID->selectedItems().first());
    const int j = i + delta;
    if (i < 0 || j < 0 || j >= FRows.size())
        return;
    FRows.swapItemsAt(i, j);
    FillList();
    const QSignalBlocker block(lstUserID);
    lstUserID->setCurrentItem(lstUserID->topLevelItem(j));
    lstUserID->topLevelItem(j)->setSelected(true);
    lstUserID->setFocus();
    UpdateActions();
}

void TfrmLogon::actUpExecute()
{
    MoveRow(-1);
}

void TfrmLogon::actDownExecute()
{
    MoveRow(1);
}

void TfrmLogon::actDelExecute()
{
    if (lstUserID->selectedItems().isEmpty())
        return;
    const int i = lstUserID->indexOfTopLevelItem(lstUserID->selectedItems().first());
    if (i < 0 || i >= FRows.size())
        return;
    SharedRegistry().DeleteKey(DatabaseKey() + QLatin1Char('\\') + FRows.at(i).Key);
    FRows.removeAt(i);
    FillList();
}

void TfrmLogon::actOkExecute()
{
    // Every field but the password is trimmed: blanks can belong to a password.
    txtUserID->setText(TrimCtl(txtUserID->text()));
    txtHost->setText(TrimCtl(txtHost->text()));
    txtPort->setText(TrimCtl(txtPort->text()));
    txtDatabase->setText(TrimCtl(txtDatabase->text()));
    txtSchema->setText(TrimCtl(txtSchema->text()));
    int field = 0;
    const QString message = CheckLogonFields(Fields(), &field);
    if (!message.isEmpty()) {
        ShowMessageBox(message, MB_OK | MB_ICONWARNING);
        QWidget *const targets[] = {txtUserID, txtDatabase, txtHost, txtPort};
        targets[field]->setFocus();
        return;
    }
    accept();
}

bool TfrmLogon::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == lstUserID && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(e)->key();
        if (key == Qt::Key_Delete) {
            GuardedCall([this] { actDelExecute(); });
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            GuardedCall([this] { actOkExecute(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}

bool TfrmLogon::ShowWindow(const QString &host, const QString &port, const QString &dbName, const QString &schema,
                           const QString &userID, const QString &password, bool autoPass)
{
    InstallConnectWaiter();
    TLogonFields given{userID, password, host, port, dbName, schema, QString()};
    bool automatic = autoPass;
    // A failed connection shows its error and offers the dialog again with what was entered.
    for (;;) {
        TkdMainForm *mainForm = TkdMainForm::Instance();
        TfrmLogon dialog(mainForm ? mainForm->Widget() : nullptr);
        TLogonFields fields;
        if (!given.UserID.isEmpty()) {
            fields = {TrimCtl(given.UserID), given.Password, TrimCtl(given.Host), TrimCtl(given.Port),
                      TrimCtl(given.Database), TrimCtl(given.Schema), QString()};
        } else {
            TkdRegistry &reg = SharedRegistry();
            if (reg.KeyExists(DatabaseKey()) && reg.OpenKey(DatabaseKey(), false)) {
                fields.UserID = reg.GetString(QStringLiteral("UserID"), QString());
                fields.Database = reg.GetString(QStringLiteral("Database"), QString());
                fields.Host = reg.GetString(QStringLiteral("Host"), QString());
                fields.Port = reg.GetString(QStringLiteral("Port"), QString());
                fields.Schema = reg.GetString(QStringLiteral("Schema"), QString());
                reg.CloseKey();
            }
        }
        dialog.SetFields(fields);
        dialog.LoadConnections();
        {
            TkdRegistry &reg = SharedRegistry();
            if (reg.OpenKey(LogonLayoutKey(), true)) {
                dialog.resize(reg.GetInteger(QStringLiteral("Width"), dialog.width()),
                              reg.GetInteger(QStringLiteral("Height"), dialog.height()));
                reg.CloseKey();
            }
        }
        dialog.txtDatabase->deselect();
        if (!automatic && dialog.exec() != QDialog::Accepted)
            return false;
        {
            TkdRegistry &reg = SharedRegistry();
            if (reg.OpenKey(LogonLayoutKey(), true)) {
                reg.WriteInteger(QStringLiteral("Width"), dialog.width());
                reg.WriteInteger(QStringLiteral("Height"), dialog.height());
                reg.CloseKey();
            }
        }
        const TLogonFields entered = dialog.Fields();
        try {
            TfrmObject *form = TfrmObject::Create(
                {entered.Host, entered.Port, entered.Database, entered.Schema, entered.UserID, entered.Password});
            // A schema that does not exist was replaced by the first one there is: say so, and
            // remember the schema in use, never the unknown name.
            const QString used = form->ConnectionParam(QStringLiteral("MetaDefSchema"));
            if (!entered.Schema.isEmpty() && used != entered.Schema) {
                ShowMessageBox(QStringLiteral("スキーマ \"%1\" は存在しないため、スキーマ \"%2\" に接続しました。")
                                   .arg(entered.Schema, used),
                               MB_OK | MB_ICONWARNING);
                dialog.txtSchema->setText(used);
            }
            dialog.SaveConnections();
            return true;
        } catch (const EAbort &) {
            return false;
        } catch (const db::Error &e) {
            // Abandoned by the user (Esc, キャンセル): no message, the dialog comes back.
            if (e.kind == db::Error::Kind::Abandoned) {
                given = entered;
                automatic = false;
                continue;
            }
            QString text = e.message;
            if (e.kind == db::Error::Kind::Client || e.kind == db::Error::Kind::ConnectionLost)
                text = QStringLiteral("データベースに接続できませんでした。\n") + text;
            ShowMessageBox(text, MB_OK | MB_ICONERROR);
        } catch (const std::exception &e) {
            ShowMessageBox(QString::fromUtf8(e.what()), MB_OK | MB_ICONERROR);
        }
        given = entered;
        automatic = false;
    }
}
