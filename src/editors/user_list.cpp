#include "editors/user_list.h"

#include "browser/fobject.h"
#include "controls/kdcomctrls.h"
#include "core/kddialogsupport.h"
#include "core/kdeditorreg.h"
#include "core/kdopeners.h"
#include "core/kdreg.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_service.h"
#include "core/kdsub_text.h"
#include "editors/list_loop.h"
#include "editors/tool_window.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dbfield.h"
#include "platform/db/dbquery.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

QString V(int ver, int threshold, const char *a, const char *b)
{
    return QLatin1String(ver >= threshold ? a : b);
}

QString Keyword(int image)
{
    switch (image) {
    case 2:
    case 3: return QStringLiteral("USER");
    case 4:
    case 126: return QStringLiteral("SCHEMA");
    default: return QStringLiteral("ROLE");
    }
}

// Opens a script file: replaced when `replace`, else appended to (created when missing).
void OpenScriptFile(QFile &file, bool replace)
{
    const QString dir = QFileInfo(file.fileName()).absolutePath();
    if (!QDir().mkpath(dir))
        throw TkdFileError(QStringLiteral("フォルダを作成できません: %1").arg(dir));
    const QIODevice::OpenMode mode = !replace && file.exists() ? QIODevice::WriteOnly | QIODevice::Append
                                                                : QIODevice::WriteOnly | QIODevice::Truncate;
    if (!file.open(mode))
        throw TkdFileError(QStringLiteral("ファイルを作成できません: %1 (%2)").arg(file.fileName(), file.errorString()));
}

// Rows of the list asked for at a time.
constexpr int kUserListBlockRows = 2000;

} // namespace

QString UserListSQL(int TabCode, int DBVer)
{
    if (TabCode == 4)
        return QStringLiteral(" SELECT NS.nspname , RO.rolname FROM pg_namespace NS"
                              " LEFT JOIN pg_roles RO ON RO.oid = NS.nspowner"
                              " WHERE (NOT(NS.nspname LIKE 'pg\\_%') OR NS.nspname = 'pg_catalog') ORDER BY 1");
    QString s = QStringLiteral(" SELECT rolname, oid, rolsuper, rolcreatedb, rolcreaterole, rolinherit")
                + V(DBVer, 90500, ", NULL", ", rolcatupdate");
    if (TabCode == 3)
        s += QStringLiteral(", TO_CHAR(rolvaliduntil, 'YYYY/MM/DD') || ' ' || TO_CHAR(rolvaliduntil, 'HH24:MI:SS') AS rolvaliduntil");
    s += V(DBVer, 90100, ", rolreplication", "");
    s += QStringLiteral(" FROM pg_roles WHERE rolcanlogin = ") + (TabCode == 3 ? QStringLiteral("True") : QStringLiteral("False"));
    s += QStringLiteral(" ORDER BY rolname");
    return s;
}

QList<QPair<QString, int>> UserListColumns(int TabCode, int DBVer)
{
    QList<QPair<QString, int>> c;
    if (TabCode == 4)
        return {{QStringLiteral("スキーマ名"), 200}, {QStringLiteral("所有者"), 160}};
    if (TabCode == 3)
        c = {{QStringLiteral("ユーザー名"), 160}, {QStringLiteral("ユーザーID"), 90}, {QStringLiteral("スーパーユーザ"), 120},
             {QStringLiteral("DB作成権限"), 90}, {QStringLiteral("ロール作成"), 100}, {QStringLiteral("権限継承"), 80},
             {QStringLiteral("システムカタログ更新"), 160}, {QStringLiteral("パスワードの有効期限"), 160}};
    else
        c = {{QStringLiteral("ロール名"), 160}, {QStringLiteral("ロールID"), 80}, {QStringLiteral("スーパーユーザ"), 120},
             {QStringLiteral("DB作成権限"), 100}, {QStringLiteral("ロール作成"), 100}, {QStringLiteral("権限継承"), 80},
             {QStringLiteral("システムカタログ更新"), 160}};
    if (DBVer >= 90100)
        c << QPair<QString, int>{QStringLiteral("ストリーミングレプリケーション"), 230};
    return c;
}

QString UserListScriptFile(const QString &Path, bool SubDir, int TabCode, const QString &Name)
{
    const QString type = NameOfObjectType(TabCode);
    QString folder = Path;
    if (SubDir && !type.isEmpty())
        folder += SafePathPart(type) + QLatin1Char('/');
    return folder + SafePathPart(Name + QStringLiteral(".SQL"));
}

QString UserListGrantFile(const QString &Path, bool SubDir, int GrantMode, int TabCode, const QString &Name)
{
    if (GrantMode == 1)
        return Path + QStringLiteral("GRANT/") + SafePathPart(Name + QStringLiteral(".SQL"));
    if (GrantMode == 2) {
        const QString type = NameOfObjectType(TabCode);
        return Path + (SubDir && !type.isEmpty() ? SafePathPart(type) + QLatin1Char('/') : QString())
               + QStringLiteral("_GRANT.SQL");
    }
    return QString();
}

QString UserListRenameSQL(int Image, const QString &OldName, const QString &NewName)
{
    return QStringLiteral("ALTER ") + Keyword(Image) + QLatin1Char(' ') + QuoteIdentifier(OldName)
           + QStringLiteral(" RENAME TO ") + QuoteIdentifier(NewName);
}

QString UserListDropSQL(int TabCode, const QString &Name, bool Cascade)
{
    return QStringLiteral("DROP ") + Keyword(TabCode) + QLatin1Char(' ') + QuoteIdentifier(Name)
           + (Cascade && TabCode == 4 ? QStringLiteral(" CASCADE") : QString());
}

// ---------------------------------------------------------------------------------------------

QString TfrmUserList::CaptionFor(TkdConnForm *Owner)
{
    return QStringLiteral("ユーザー情報 - ") + (Owner ? Owner->Identity() : QString());
}

TfrmUserList *TfrmUserList::ShowWindow(TkdConnForm *Owner)
{
    if (!Owner)
        return nullptr;
    TkdMainForm *host = TkdMainForm::Instance();
    if (host && host->FindWindow<TfrmUserList>(CaptionFor(Owner), true))
        return nullptr;
    auto *w = new TfrmUserList(Owner);
    try {
        w->FillConnections(Owner->Identity());
        w->cmbDBNameChange();
    } catch (...) {
        delete w;
        throw;
    }
    if (host)
        host->AddChildWindow(w);
    w->CreateTaskButton();
    w->SetTaskCaption(FormatRecParam(Owner->RecParam(), 0, true));
    return w;
}

TfrmUserList::TfrmUserList(TkdConnForm *Owner) : TkdForm(Owner ? Owner->Widget() : nullptr)
{
    setObjectName(QStringLiteral("frmUserList"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("ユーザー情報"));
    resize(937, 328);
    SetTaskIcon(3);
    TkdMainForm *host = TkdMainForm::Instance();
    auto action = [this, host](QAction *&a, const char *name, const QString &caption, int image, const QString &hint) {
        a = new QAction(caption, this);
        a->setObjectName(QLatin1String(name));
        a->setToolTip(hint.section(u'|', 0, 0));
        a->setStatusTip(hint.section(u'|', -1));
        if (host && image >= 0)
            a->setIcon(host->Image(image));
    };
    action(actNew, "actNew", QStringLiteral("新規(&N)"), 3, QStringLiteral("新しいユーザー・ロール・スキーマを作成します。"));
    action(actOpen, "actOpen", QStringLiteral("開く(&O)"), 17, QStringLiteral("選択中のユーザー・ロール・スキーマを開きます。"));
    action(actScript, "actScript", QStringLiteral("スクリプト出力(&S)"), 18,
           QStringLiteral("スクリプト出力|選択したオブジェクトのスクリプトを出力します。"));
    action(actDelete, "actDelete", QStringLiteral("削除(&D)"), 41, QStringLiteral("選択中のオブジェクトを削除します。"));
    action(actExport, "actExport", QStringLiteral("バックアップ(&B)"), 7,
           QStringLiteral("バックアップ|選択中のスキーマをバックアップします。"));
    action(actRefresh, "actRefresh", QStringLiteral("最新(&R)"), 16, QStringLiteral("リストの内容を最新の状態に変更します。"));
    action(actExit, "actExit", QStringLiteral("終了(&X)"), 42, QStringLiteral("画面を閉じます。"));
    connect(actNew, &QAction::triggered, this, [this] { GuardedCall([this] { actNewExecute(); }); });
    connect(actOpen, &QAction::triggered, this, [this] { GuardedCall([this] { actOpenExecute(); }); });
    connect(actScript, &QAction::triggered, this, [this] { GuardedCall([this] { actScriptExecute(); }); });
    connect(actDelete, &QAction::triggered, this, [this] { GuardedCall([this] { actDeleteExecute(); }); });
    connect(actExport, &QAction::triggered, this, [this] { GuardedCall([this] { actExportExecute(); }); });
    connect(actRefresh, &QAction::triggered, this, [this] { GuardedCall([this] { Reload(); }); });
    connect(actExit, &QAction::triggered, this, [this] {
        if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
            sub->close();
        else
            close();
    });

    mnuObject = new QMenu(QStringLiteral("ユーザー情報(&O)"), this);
    mnuObject->setObjectName(QStringLiteral("mnuObject"));
    mnuObject->addAction(actNew);
    mnuObject->addAction(actOpen);
    mnuObject->addAction(actScript);
    mnuObject->addAction(actDelete);
    mnuObject->addSeparator();
    mnuObject->addAction(actExport);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *top = new QWidget(this);
    auto *topRow = new QHBoxLayout(top);
    topRow->setContentsMargins(0, 0, 0, 0);
    tolCmd = new QToolBar(top);
    tolCmd->setObjectName(QStringLiteral("tolCmd"));
    tolCmd->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    for (QAction *a : {actNew, actOpen, actDelete, actRefresh, actExit})
        tolCmd->addAction(a);
    tolCmd->addSeparator();
    auto *pnlName = new QWidget(top);
    pnlName->setObjectName(QStringLiteral("pnlName"));
    auto *nameRow = new QHBoxLayout(pnlName);
    nameRow->setContentsMargins(4, 0, 4, 0);
    nameRow->addWidget(new QLabel(QStringLiteral("　データベース"), pnlName));
    cmbDBName = new QComboBox(pnlName);
    cmbDBName->setObjectName(QStringLiteral("cmbDBName"));
    cmbDBName->setFixedWidth(340);
    cmbDBName->setFocusPolicy(Qt::ClickFocus);
    nameRow->addWidget(cmbDBName);
    nameRow->addStretch(1);
    topRow->addWidget(tolCmd);
    topRow->addWidget(pnlName, 1);
    layout->addWidget(top);

    pagUsrList = new QTabWidget(this);
    pagUsrList->setObjectName(QStringLiteral("pagUsrList"));
    auto tab = [this, host](QWidget *&t, const char *name, const QString &caption, int image) {
        t = new QWidget;
        t->setObjectName(QLatin1String(name));
        auto *l = new QVBoxLayout(t);
        l->setContentsMargins(0, 0, 0, 0);
        const int i = pagUsrList->addTab(t, caption);
        if (host)
            pagUsrList->setTabIcon(i, host->Image(image));
    };
    tab(tabUser, "tabUser", QStringLiteral("ユーザー"), 3);
    tab(tabRole, "tabRole", QStringLiteral("ロール"), 68);
    tab(tabSchema, "tabSchema", QStringLiteral("スキーマ"), 4);
    layout->addWidget(pagUsrList, 1);

    lstObject = new TkdListView(tabUser);
    lstObject->setObjectName(QStringLiteral("lstObject"));
    lstObject->SetMultiSelect(true);
    lstObject->setRootIsDecorated(false);
    lstObject->setUniformRowHeights(true);
    lstObject->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstObject->setContextMenuPolicy(Qt::CustomContextMenu);
    tabUser->layout()->addWidget(lstObject);
    lstObject->installEventFilter(this);
    lstObject->OnEdited = [this](TkdListView *, QTreeWidgetItem *item, QString &text) {
        GuardedCall([&] { RenameRow(item, text); });
    };
    connect(lstObject, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &p) { mnuObject->popup(lstObject->viewport()->mapToGlobal(p)); });
    connect(lstObject, &QTreeWidget::itemDoubleClicked, this, [this] { GuardedCall([this] { actOpenExecute(); }); });
    connect(lstObject, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateActions(); });
    connect(pagUsrList, &QTabWidget::currentChanged, this, [this] { GuardedCall([this] { pagUsrListChange(); }); });
    connect(cmbDBName, &QComboBox::currentIndexChanged, this, [this] {
        GuardedCall([this] { cmbDBNameChange(); });
    });
    InitForm();
    UpdateActions();
}

TfrmUserList::~TfrmUserList() = default;

void TfrmUserList::Activate()
{
    TkdForm::Activate();
    if (TkdMainForm *m = TkdMainForm::Instance())
        m->MergeMenu(mnuObject);
}

int TfrmUserList::TabCode() const
{
    QWidget *t = pagUsrList->currentWidget();
    return t == tabRole ? 68 : t == tabSchema ? 4 : 3;
}

void TfrmUserList::SetTab(int Code)
{
    pagUsrList->setCurrentWidget(Code == 68 ? tabRole : Code == 4 ? tabSchema : tabUser);
}

void TfrmUserList::pagUsrListChange()
{
    QWidget *t = pagUsrList->currentWidget();
    if (lstObject->parentWidget() != t) {
        lstObject->setParent(t);
        t->layout()->addWidget(lstObject);
        lstObject->show();
    }
    Reload();
}

void TfrmUserList::UpdateActions()
{
    const bool selected = !lstObject->selectedItems().isEmpty();
    if (TkdMainForm *host = TkdMainForm::Instance())
        actNew->setIcon(host->Image(TabCode()));
    actOpen->setEnabled(selected);
    actScript->setEnabled(selected);
    actDelete->setEnabled(selected);
    actExport->setEnabled(selected && TabCode() == 4);
}

QList<QTreeWidgetItem *> TfrmUserList::SelectedInOrder() const
{
    QList<QTreeWidgetItem *> items;
    for (int i = 0; i < lstObject->topLevelItemCount(); ++i)
        if (lstObject->topLevelItem(i)->isSelected())
            items << lstObject->topLevelItem(i);
    return items;
}

void TfrmUserList::FillConnections(const QString &Select)
{
    FillConnectionBox(cmbDBName, FConnections, OwnerForm(), Select);
}

void TfrmUserList::cmbDBNameChange()
{
    const int i = cmbDBName->currentIndex();
    if (i < 0 || i >= FConnections.size())
        return;
    SetOwnerForm(FConnections.at(i));
    Reload();
}

void TfrmUserList::Reload()
{
    TkdConnForm *conn = OwnerForm();
    if (!conn)
        return;
    TkdWaitCursor wait;
    setWindowTitle(CaptionFor(conn));
    SetTaskCaption(FormatRecParam(conn->RecParam(), 0, true));
    const int code = TabCode();
    const int ver = conn->DBVer();
    lstObject->clear();
    const QList<QPair<QString, int>> cols = UserListColumns(code, ver);
    lstObject->setColumnCount(int(cols.size()));
    QStringList captions;
    for (const auto &c : cols)
        captions << c.first;
    lstObject->setHeaderLabels(captions);
    for (int i = 0; i < cols.size(); ++i)
        lstObject->setColumnWidth(i, cols.at(i).second);

    TkdMainForm *host = TkdMainForm::Instance();
    const int image = code == 3 ? 2 : code;
    // The logon user's row: its name exactly, else in upper case, else ignoring case (the
    // first such row in list order), looked for while the rows are read.
    const QString logon = UnquoteIdentifier(conn->ConnectionParam(QStringLiteral("User_Name")));
    const QByteArray logonExact = logon.toUtf8();
    const QByteArray logonUpper = logon.toUpper().toUtf8();
    QTreeWidgetItem *exact = nullptr;
    QTreeWidgetItem *upper = nullptr;
    QList<QTreeWidgetItem *> caseless;
    {
        struct TEnd {
            TfrmUserList *w;
            ~TEnd() { w->UpdateActions(); }
        } end{this};
        TListFill fill(lstObject, conn->dbsMain());
        try {
            // Read behind a cursor in blocks: while the rows of one block become list rows, the
            // layer has asked for the next one, so the server's work and ours overlap.
            db::Query query(conn->dbsMain());
            query.setParamCreation(false);
            query.setFetchRows(kUserListBlockRows);
            query.setMaxFetchRows(kUserListBlockRows);
            query.setSql(UserListSQL(code, ver));
            query.open();
            const int fields = query.fieldCount();
            auto texts = std::make_shared<TListTexts>(fields);
            if (host)
                texts->SetIcon(image, host->Image(image));
            // Values are kept as the server's bytes when they come in UTF-8 (else decoded once).
            const bool utf8 = conn->dbsMain()->clientEncoding() == QLatin1String("UTF8");
            std::vector<bool> boolean(std::size_t(fields), false);
            for (int f = 0; f < fields; ++f)
                boolean[std::size_t(f)] = query.field(f).dataType() == db::FieldType::Boolean;
            int row = 0;
            while (!query.eof()) {
                if (fill.Escape())
                    break;
                texts->BeginRow(image);
                for (int f = 0; f < fields; ++f) {
                    const db::Field &field = query.field(f);
                    if (field.isNull())
                        texts->AddCell({});
                    else if (boolean[std::size_t(f)])
                        texts->AddCell(field.asBoolean() ? "True" : "False");
                    else if (utf8)
                        texts->AddCell(field.raw());
                    else
                        texts->AddCell(field.asString().toUtf8());
                }
                auto *item = new TListTextItem(texts, row++);
                if (code == 3) {
                    const QByteArrayView name = texts->Bytes(row - 1, 0);
                    if (name == logonExact)
                        exact = item;
                    else if (name == logonUpper)
                        upper = item;
                    else if (!exact && !upper && texts->Text(row - 1, 0).compare(logon, Qt::CaseInsensitive) == 0)
                        caseless << item;
                }
                fill.Add(item);
                query.next();
            }
            query.close();
        } catch (const std::exception &e) {
            // Esc while the server worked cancelled the call: the rows read so far stay.
            if (!CancelledByUser(e))
                throw;
        }
        fill.Finish();
    }

    if (code == 3) {
        QTreeWidgetItem *found = exact ? exact : upper;
        if (!found && !caseless.isEmpty()) {
            found = caseless.first();
            for (QTreeWidgetItem *i : std::as_const(caseless))
                if (lstObject->indexOfTopLevelItem(i) < lstObject->indexOfTopLevelItem(found))
                    found = i;
        }
        if (found) {
            found->setData(0, Qt::UserRole, 3);
            if (host)
                found->setIcon(0, host->Image(3));
        }
    }
}

void TfrmUserList::DBChange()
{
    // While the main window closes down, it closes every child window itself.
    if (TkdMainForm *host = TkdMainForm::Instance(); !host || host->Closing())
        return;
    const QString current = cmbDBName->currentText();
    FillConnections(current);
    if (FConnections.isEmpty() || !OwnerFormOpen() || cmbDBName->currentIndex() < 0) {
        if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
            sub->close();
        else
            close();
    }
}

void TfrmUserList::LoadWindowLayout()
{
    LoadToolWindowSize(this, QStringLiteral("USERLIST"));
}

void TfrmUserList::SaveWindowLayout()
{
    SaveToolWindowSize(this, QStringLiteral("USERLIST"));
}

bool TfrmUserList::eventFilter(QObject *Watched, QEvent *Event)
{
    if (Watched == lstObject && Event->type() == QEvent::KeyPress && !lstObject->IsEditing()) {
        auto *k = static_cast<QKeyEvent *>(Event);
        switch (k->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            GuardedCall([this] { actOpenExecute(); });
            return true;
        case Qt::Key_Delete:
            GuardedCall([this] { actDeleteExecute(); });
            return true;
        case Qt::Key_F2:
            if (QTreeWidgetItem *i = lstObject->currentItem(); i && i->isSelected())
                lstObject->EditCaption(i);
            return true;
        default:
            break;
        }
    }
    return TkdForm::eventFilter(Watched, Event);
}

void TfrmUserList::actNewExecute()
{
    if (OwnerForm())
        OwnerForm()->OpenObject(TabCode(), QString(), QString(), omDefine);
}

void TfrmUserList::actOpenExecute()
{
    const QList<QTreeWidgetItem *> rows = SelectedInOrder();
    if (rows.isEmpty() || !OwnerForm())
        return;
    TkdLoopScope loop;
    TfrmObject::TLoopStep step;
    int count = 0;
    const int code = TabCode();
    for (QTreeWidgetItem *item : rows) {
        if (step.Escape(loop, ++count, int(rows.size())))
            break;
        OwnerForm()->OpenObject(code, QString(), item->text(0), TOpenMode(TkdOption::Global().OpenMode));
        item->setSelected(false);
    }
}

void TfrmUserList::actScriptExecute()
{
    const QList<QTreeWidgetItem *> rows = SelectedInOrder();
    if (rows.isEmpty() || !OwnerForm())
        return;
    QString path, nameTable;
    bool accepted = false;
    TOpenerArgs args;
    args.Owner = OwnerForm();
    args.Parent = this;
    args.Values.insert(QStringLiteral("ScriptPath"), QVariant::fromValue<void *>(&path));
    args.Values.insert(QStringLiteral("NameTable"), QVariant::fromValue<void *>(&nameTable));
    args.Values.insert(QStringLiteral("Accepted"), QVariant::fromValue<void *>(&accepted));
    kdopeners::Open(QStringLiteral("TfrmScriptOption"), args);
    if (!accepted)
        return;
    const TScriptOption &opt = TScriptOption::Global();
    path = path.trimmed();
    if (!opt.OneScript) {
        path.replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (!path.isEmpty() && !path.endsWith(QLatin1Char('/')))
            path += QLatin1Char('/');
    }
    if (path.isEmpty())
        return;
    const int code = TabCode();
    const TFileEncoding encoding = GetFileEncoding();
    auto *conn = dynamic_cast<TfrmObject *>(OwnerForm());
    TkdWaitCursor wait;
    TkdLoopScope loop;
    TfrmObject::TLoopStep step;
    // One file for all: replaced at the start by the overwrite option, then appended to.
    if (opt.OneScript && opt.SameName)
        QFile::remove(path);
    bool firstGrantFile = true;
    int count = 0;
    QStringList empty;
    for (QTreeWidgetItem *item : rows) {
        if (step.Escape(loop, ++count, int(rows.size())))
            break;
        lstObject->scrollToItem(item);
        const QString name = item->text(0);
        QFile file(opt.OneScript ? path : UserListScriptFile(path, opt.Dir, code, name));
        OpenScriptFile(file, !opt.OneScript && opt.SameName);
        TScriptSink sink(&file, encoding);
        if (!OwnerForm()->OutputScript(code, QString(), name, sink))
            empty << name;
        if (opt.Grant && code != 4 && conn) {
            const QString grantPath = opt.OneScript ? QString() : UserListGrantFile(path, opt.Dir, opt.GrantMode, code, name);
            if (grantPath.isEmpty()) {
                conn->OutputGrant(name, QStringLiteral("%"), sink, 2, QString(), QString());
            } else {
                QFile grants(grantPath);
                // The shared grant file starts by the overwrite option with the first object.
                OpenScriptFile(grants, opt.GrantMode == 2 ? firstGrantFile && opt.SameName : opt.SameName);
                TScriptSink grantSink(&grants, encoding);
                conn->OutputGrant(name, QStringLiteral("%"), grantSink, 2, QString(), QString());
            }
            firstGrantFile = false;
        }
        item->setSelected(false);
    }
    QString text = QStringLiteral("スクリプトが出力されました。");
    if (!empty.isEmpty())
        text += QStringLiteral("\r\nスクリプトを作成できなかったオブジェクト: %1 個\r\n").arg(empty.size())
                + empty.join(QStringLiteral("\r\n"));
    ShowMessageBox(text, (empty.isEmpty() ? MB_ICONINFORMATION : MB_ICONWARNING) | MB_OK);
}

void TfrmUserList::actDeleteExecute()
{
    if (SelectedInOrder().isEmpty() || !OwnerForm())
        return;
    const int code = TabCode();
    bool cascade = false;
    if (!AskDropRows(code == 4, cascade))
        return;
    const TDropOutcome out = DropSelectedRows(lstObject, OwnerForm(), TkdOption::Global().DelErr, [code, cascade](QTreeWidgetItem *i) {
        return UserListDropSQL(code, i->text(0), cascade);
    });
    UpdateActions();
    ShowDropOutcome(out);
    if (out.Dropped > 0)
        if (auto *conn = dynamic_cast<TfrmObject *>(OwnerForm()))
            GuardedCall([conn] { conn->ShowTree(); });
}

void TfrmUserList::RenameRow(QTreeWidgetItem *Item, QString &Text)
{
    QString name = Text;
    if (!TkdOption::Global().UseLowerName)
        name = name.toLower();
    const QString old = Item->text(0);
    if (name == old || name.trimmed().isEmpty()) {
        Text.clear(); // the old caption stays
        return;
    }
    const int image = Item->data(0, Qt::UserRole).toInt();
    try {
        OwnerForm()->dbsMain()->protect([&] { OwnerForm()->ExecuteSQL(UserListRenameSQL(image, old, name)); });
    } catch (...) {
        Text.clear(); // the old caption comes back
        throw;
    }
    Text = name;
}

void TfrmUserList::actExportExecute()
{
    if (TabCode() != 4)
        return;
    QStringList schemas;
    for (QTreeWidgetItem *i : SelectedInOrder())
        schemas << i->text(0);
    if (schemas.isEmpty())
        return;
    TOpenerArgs args;
    args.Owner = OwnerForm();
    args.Parent = this;
    args.Values.insert(QStringLiteral("Mode"), 1);
    args.Values.insert(QStringLiteral("Schemas"), schemas.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    args.Values.insert(QStringLiteral("Tables"), QString());
    kdopeners::Open(QStringLiteral("TfrmExp"), args);
}
