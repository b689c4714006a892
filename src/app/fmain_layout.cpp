// Layout of the main window: the six tool bars, the work space, the task bar and the status
// bar, kept under "GUI\MAIN"; the work space's list and commands; window tiling; help.
#include "app/fmain.h"

#include "controls/kdcomctrls.h"
#include "controls/kdhhelp.h"
#include "controls/kdstsbar.h"
#include "core/kdopeners.h"
#include "core/kdreg.h"
#include "core/kdsub_catalog.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdworkspace.h"
#include "platform/db/dbquery.h"

#include <QApplication>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScrollArea>
#include <QStatusBar>
#include <QToolBar>

namespace {
const QString kLayoutKey = QString::fromUtf16(kMainKey) + QStringLiteral("\\GUI\\MAIN");
// Version of the stored tool-bar arrangement; another version gives the first arrangement.
constexpr int kToolBarsVersion = 1;
constexpr int kWorkSpaceHeight = 46;

Qt::DockWidgetArea AreaOfAlign(int align)
{
    switch (align) {
    case 1: return Qt::TopDockWidgetArea;
    case 3: return Qt::LeftDockWidgetArea;
    case 4: return Qt::RightDockWidgetArea;
    default: return Qt::BottomDockWidgetArea;
    }
}

int AlignOfArea(Qt::DockWidgetArea area)
{
    switch (area) {
    case Qt::TopDockWidgetArea: return 1;
    case Qt::LeftDockWidgetArea: return 3;
    case Qt::RightDockWidgetArea: return 4;
    default: return 2;
    }
}

// Sub-items of a work-space row (columns 1..5): object name, schema, connection, OID, table.
enum { wsObjectName = 1, wsSchema = 2, wsConnect = 3, wsOid = 4, wsTable = 5 };

TkdWorkSpace EntryOfItem(const QTreeWidgetItem *item)
{
    TkdWorkSpace e;
    e.ObjectType = item->data(0, Qt::UserRole).toInt();
    e.Title = item->text(0);
    e.ObjectName = item->text(wsObjectName);
    e.Schema = item->text(wsSchema);
    e.Connect = item->text(wsConnect);
    e.oid = item->text(wsOid).toLongLong();
    e.TableName = item->text(wsTable);
    return e;
}
} // namespace

// ---------------------------------------------------------------------------------------------
// Work space

void TfrmMain::BuildWorkSpace()
{
    dckWorkSpace = new QDockWidget(QStringLiteral("ワークスペース"), this);
    dckWorkSpace->setObjectName(QStringLiteral("dckWorkSpace"));
    // Closable only so that its View-menu item may hide it; it has no title bar to close it by.
    dckWorkSpace->setFeatures(QDockWidget::DockWidgetClosable);
    dckWorkSpace->setTitleBarWidget(new QWidget(dckWorkSpace));
    dckWorkSpace->setAllowedAreas(Qt::AllDockWidgetAreas);
    lstWorkSpace = new TkdListView;
    lstWorkSpace->setObjectName(QStringLiteral("lstWorkSpace"));
    lstWorkSpace->setColumnCount(6);
    lstWorkSpace->setHeaderLabels({QStringLiteral("タイトル"), QStringLiteral("オブジェクト名"), QStringLiteral("スキーマ"),
                                   QStringLiteral("データベース"), QStringLiteral("OID"), QStringLiteral("テーブル")});
    lstWorkSpace->setColumnWidth(0, 200);
    lstWorkSpace->setColumnWidth(1, 160);
    lstWorkSpace->setColumnWidth(2, 160);
    lstWorkSpace->setColumnWidth(3, 160);
    lstWorkSpace->setColumnHidden(wsOid, true);
    lstWorkSpace->setColumnHidden(wsTable, true);
    lstWorkSpace->setHeaderHidden(true);
    lstWorkSpace->SetMultiSelect(true);
    lstWorkSpace->setIconSize(QSize(16, 16));
    lstWorkSpace->setDragEnabled(true);
    lstWorkSpace->setAcceptDrops(true);
    lstWorkSpace->viewport()->setAcceptDrops(true);
    lstWorkSpace->setDropIndicatorShown(false);
    lstWorkSpace->setMinimumSize(1, 1);
    lstWorkSpace->setToolTip(QStringLiteral("頻繁に利用するオブジェクトを登録する事で、すばやくオブジェクト情報を参照できます。"));
    lstWorkSpace->viewport()->installEventFilter(this);
    lstWorkSpace->installEventFilter(this);
    lstWorkSpace->OnEdited = [this](TkdListView *, QTreeWidgetItem *item, QString &text) {
        GuardedCall([this, item, &text] { WorkSpaceRenamed(item, text); });
    };
    connect(lstWorkSpace, &QTreeWidget::itemDoubleClicked, this,
            [this] { GuardedCall([this] { WorkSpaceOpen(TkdOption::Global().OpenMode); }); });
    SetWorkSpaceStyle(1);
    dckWorkSpace->setWidget(lstWorkSpace);
    addDockWidget(Qt::BottomDockWidgetArea, dckWorkSpace);

    mnuWorkSpace = dckWorkSpace->toggleViewAction();
    mnuWorkSpace->setText(QStringLiteral("ワークスペース"));
    mnuWorkSpace->setObjectName(QStringLiteral("mnuWorkSpace"));
    connect(mnuWorkSpace, &QAction::triggered, this, [this](bool on) {
        if (on)
            PlaceWorkSpace(dockWidgetArea(dckWorkSpace));
    });

    popWorkSpace = new QMenu(this);
    popWorkSpace->setObjectName(QStringLiteral("popWorkSpace"));
    auto add = [this](const char *name, const QString &text, std::function<void()> fn) {
        QAction *a = popWorkSpace->addAction(text);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, [fn] { GuardedCall(fn); });
        return a;
    };
    add("mnuWSOpenDefine", QStringLiteral("定義情報を開く(&O)"), [this] { WorkSpaceOpen(omDefine); });
    add("mnuWSOpenSource", QStringLiteral("ソースを開く(&S)"), [this] { WorkSpaceOpen(omSource); });
    add("mnuWSOpenData", QStringLiteral("データを開く(&T)"), [this] { WorkSpaceOpenData(false); });
    add("mnuWSOpenDataTop", QStringLiteral("データを開く(件数指定)(&M)"), [this] { WorkSpaceOpenData(true); });
    add("mnuWSExec", QStringLiteral("実行(&E)"), [this] { WorkSpaceExec(); });
    add("mnuWSRename", QStringLiteral("名前の変更(&R)"), [this] { lstWorkSpace->EditCaption(); });
    popWorkSpace->addSeparator();
    add("mnuWSDelete", QStringLiteral("ワークスペースからオブジェクトを削除する(&D)"), [this] { WorkSpaceRemove(); });
    popWorkSpace->addSeparator();
    QMenu *align = popWorkSpace->addMenu(QStringLiteral("表示位置(&A)"));
    align->setObjectName(QStringLiteral("mnuWorkSpaceAlign"));
    const std::pair<const char *, Qt::DockWidgetArea> places[] = {{"上(&T)", Qt::TopDockWidgetArea},
                                                                 {"下(&B)", Qt::BottomDockWidgetArea},
                                                                 {"左(&L)", Qt::LeftDockWidgetArea},
                                                                 {"右(&R)", Qt::RightDockWidgetArea}};
    for (const auto &[text, area] : places) {
        QAction *a = align->addAction(QString::fromUtf8(text));
        a->setCheckable(true);
        a->setData(int(area));
        const Qt::DockWidgetArea where = area;
        connect(a, &QAction::triggered, this, [this, where] { PlaceWorkSpace(where); });
    }
    QAction *icons = add("mnuWSIcon", QStringLiteral("アイコン表示(&V)"), [this] { SetWorkSpaceStyle(0); });
    QAction *report = add("mnuWSReport", QStringLiteral("リスト表示(&L)"), [this] { SetWorkSpaceStyle(3); });
    icons->setCheckable(true);
    report->setCheckable(true);
    lstWorkSpace->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lstWorkSpace, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        UpdateWorkSpaceMenu();
        popWorkSpace->popup(lstWorkSpace->viewport()->mapToGlobal(pos));
    });
}

void TfrmMain::UpdateWorkSpaceMenu()
{
    const QList<QTreeWidgetItem *> sel = lstWorkSpace->selectedItems();
    const int type = sel.isEmpty() ? -1 : sel.first()->data(0, Qt::UserRole).toInt();
    auto item = [this](const char *name) { return popWorkSpace->findChild<QAction *>(QLatin1String(name)); };
    for (const char *name : {"mnuWSOpenDefine", "mnuWSOpenSource", "mnuWSRename", "mnuWSDelete"})
        item(name)->setEnabled(!sel.isEmpty());
    const bool data = type == 45 || type == 47 || type == 61;
    item("mnuWSOpenData")->setEnabled(data);
    item("mnuWSOpenDataTop")->setEnabled(data);
    item("mnuWSExec")->setEnabled(type >= 51 && type <= 54);
    QMenu *align = popWorkSpace->findChild<QMenu *>(QStringLiteral("mnuWorkSpaceAlign"));
    align->setEnabled(!dckWorkSpace->isHidden());
    for (QAction *a : align->actions())
        a->setChecked(a->data().toInt() == int(dockWidgetArea(dckWorkSpace)));
    item("mnuWSIcon")->setChecked(FWorkSpaceStyle == 0);
    item("mnuWSReport")->setChecked(FWorkSpaceStyle == 3);
}

void TfrmMain::SetWorkSpaceStyle(int style)
{
    FWorkSpaceStyle = qBound(0, style, 3);
    // Report style shows the four columns under their headings; the others the titles.
    lstWorkSpace->setHeaderHidden(FWorkSpaceStyle != 3);
    for (int c = wsObjectName; c <= wsConnect; ++c)
        lstWorkSpace->setColumnHidden(c, FWorkSpaceStyle != 3);
}

void TfrmMain::PlaceWorkSpace(Qt::DockWidgetArea area)
{
    if (dckWorkSpace->isHidden())
        return;
    const Qt::DockWidgetArea old = dockWidgetArea(dckWorkSpace);
    const bool vertical = area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea;
    const bool wasVertical = old == Qt::TopDockWidgetArea || old == Qt::BottomDockWidgetArea;
    const int size = vertical == wasVertical ? (vertical ? dckWorkSpace->height() : dckWorkSpace->width())
                                             : (vertical ? kWorkSpaceHeight : 200);
    if (old != area) {
        removeDockWidget(dckWorkSpace);
        addDockWidget(area, dckWorkSpace);
        dckWorkSpace->show();
    }
    SetWorkSpaceSize(size);
    if (!ChildWindows().isEmpty())
        ShowWorkSpace(nullptr);
}

void TfrmMain::SetWorkSpaceSize(int size)
{
    const Qt::DockWidgetArea area = dockWidgetArea(dckWorkSpace);
    const bool vertical = area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea;
    // At least 1, at most half the client area.
    const QSize client = centralWidget() ? centralWidget()->size() + (vertical ? QSize(0, dckWorkSpace->height())
                                                                               : QSize(dckWorkSpace->width(), 0))
                                         : QMainWindow::size();
    const int cap = (vertical ? client.height() : client.width()) / 2;
    size = qMax(1, qMin(size, qMax(1, cap)));
    resizeDocks({dckWorkSpace}, {size}, vertical ? Qt::Vertical : Qt::Horizontal);
    FWorkSpaceSize = size;
}

void TfrmMain::ShowWorkSpace(TkdConnForm *EraseForm)
{
    lstWorkSpace->setUpdatesEnabled(false);
    lstWorkSpace->clear();
    QSet<QString> open;
    for (TkdConnForm *conn : Connections())
        if (conn != EraseForm)
            open.insert(conn->Identity());
    LoadWorkSpace();
    for (const TkdWorkSpace &e : std::as_const(WorkSpaceStore())) {
        if (!open.contains(e.Connect))
            continue;
        auto *item = new QTreeWidgetItem(lstWorkSpace);
        item->setText(0, e.Title);
        item->setText(wsObjectName, e.ObjectName);
        item->setText(wsSchema, e.Schema);
        item->setText(wsConnect, e.Connect);
        item->setText(wsOid, QString::number(e.oid));
        item->setText(wsTable, e.TableName);
        item->setData(0, Qt::UserRole, e.ObjectType);
        item->setIcon(0, Image(e.ObjectType));
    }
    lstWorkSpace->Sort();
    lstWorkSpace->setUpdatesEnabled(true);
}

int TfrmMain::WorkSpaceDrop(TkdConnForm *source)
{
    if (!source)
        return 0;
    const QString identity = source->Identity();
    LoadWorkSpace();
    QList<TkdWorkSpaceItem> items;
    for (const TkdConnForm::TObjectItem &item : source->SelectedObjectItems())
        items.append({item.ImageIndex, item.Caption, item.SubItems, item.ArgsSubItem});
    const int added = AppendWorkSpaceItems(identity, items);
    if (added > 0) {
        SaveWorkSpace();
        ShowWorkSpace(nullptr);
    }
    return added;
}

TkdConnForm *TfrmMain::ConnectionOfObjectList(QObject *list) const
{
    if (!list)
        return nullptr;
    for (TkdConnForm *conn : Connections())
        if (conn->ObjectListWidget() && conn->ObjectListWidget() == list)
            return conn;
    return nullptr;
}

// The OIDs of the functions of one schema and name; with oid > 0 only that one when it exists.
static QList<qint64> FunctionOids(TkdConnForm *conn, const QString &schema, const QString &name, qint64 oid)
{
    QString from, where;
    ObjectListSQL(52, from, where);
    QString sql = QStringLiteral(" SELECT Prc.OID,       Nms.nspname,       Prc.proname ") + from + QLatin1Char(' ') + where;
    sql += (where.trimmed().isEmpty() ? QStringLiteral(" WHERE  Nms.nspname   =   :OWNER")
                                      : QStringLiteral(" AND    Nms.nspname   =   :OWNER"));
    sql += QStringLiteral(" AND    Prc.proname   =   :FNCNM");
    if (oid >= 0)
        sql += QStringLiteral(" AND    Prc.OID       =   :OID");
    db::Query q(conn->dbsMain());
    q.setSql(sql);
    q.paramByName(QStringLiteral("OWNER")).setAsString(schema);
    q.paramByName(QStringLiteral("FNCNM")).setAsString(name);
    if (oid >= 0)
        q.paramByName(QStringLiteral("OID")).setAsLargeInt(oid);
    QList<qint64> oids;
    TkdWaitCursor wait;
    q.open();
    for (; !q.eof(); q.next())
        oids << q.fieldByName(QStringLiteral("oid")).asString().toLongLong();
    q.close();
    return oids;
}

// Shows the re-register warning once at the end of a command that met a lost function, also
// when a later lookup fails.
struct TReRegisterWarning {
    bool Lost = false;
    ~TReRegisterWarning();
};

static const QString kReRegister = QStringLiteral("OID番号が一致するFUNCTIONが見つからなかった為、")
                                   + QStringLiteral("同じ名前のFUNCTIONを全て開きました。\r\n")
                                   + QStringLiteral("FUNCTIONのOID番号が変わっている可能性がある為、")
                                   + QStringLiteral("ワークスペースを登録し直して下さい。");

TReRegisterWarning::~TReRegisterWarning()
{
    if (Lost)
        ShowMessageBox(kReRegister, MB_OK | MB_ICONWARNING);
}

void TfrmMain::WorkSpaceOpen(TOpenMode mode)
{
    TReRegisterWarning warn;
    for (QTreeWidgetItem *item : lstWorkSpace->selectedItems()) {
        const TkdWorkSpace e = EntryOfItem(item);
        TkdConnForm *conn = GetDBForm(e.Connect);
        if (!conn)
            continue;
        if (e.ObjectType != 52 || !FunctionOids(conn, e.Schema, e.ObjectName, e.oid).isEmpty()) {
            conn->OpenObject(e.ObjectType, e.Schema, e.ObjectName, mode, true, 0, quint32(e.oid), e.TableName);
            continue;
        }
        for (qint64 oid : FunctionOids(conn, e.Schema, e.ObjectName, -1))
            conn->OpenObject(52, e.Schema, e.ObjectName, mode, true, 0, quint32(oid), QString());
        warn.Lost = true;
    }
}

void TfrmMain::WorkSpaceExec()
{
    TReRegisterWarning warn;
    for (QTreeWidgetItem *item : lstWorkSpace->selectedItems()) {
        const TkdWorkSpace e = EntryOfItem(item);
        TkdConnForm *conn = GetDBForm(e.Connect);
        if (!conn || e.ObjectType != 52)
            continue;
        QList<qint64> oids = FunctionOids(conn, e.Schema, e.ObjectName, e.oid);
        if (oids.isEmpty()) {
            oids = FunctionOids(conn, e.Schema, e.ObjectName, -1);
            warn.Lost = true;
        }
        for (qint64 oid : oids) {
            TOpenerArgs args;
            args.Owner = conn;
            args.Parent = this;
            args.Values = {{QStringLiteral("Schema"), e.Schema}, {QStringLiteral("ObjectName"), e.ObjectName},
                           {QStringLiteral("ObjectType"), 52}, {QStringLiteral("OID"), oid}};
            kdopeners::Open(QStringLiteral("TfrmExecProc"), args);
        }
    }
}

void TfrmMain::WorkSpaceOpenData(bool askCount)
{
    for (QTreeWidgetItem *item : lstWorkSpace->selectedItems()) {
        const TkdWorkSpace e = EntryOfItem(item);
        TkdConnForm *conn = GetDBForm(e.Connect);
        if (!conn)
            continue;
        int count = 0;
        if (askCount) {
            QString value = QString::number(TkdOption::Global().DefTopRecord);
            QList<MsgCheckItem> checks{MsgCheckItem{QStringLiteral("既定値にする"), false}};
            if (!InputQueryWithChecks(QApplication::applicationName(), QStringLiteral("レコード件数"), value, checks, true))
                return;
            if (value.trimmed().isEmpty())
                value = QStringLiteral("0");
            count = int(value.trimmed().toDouble());
            if (checks.value(0).Checked && count > 0)
                TkdOption::Global().DefTopRecord = count;
        }
        conn->OpenObject(e.ObjectType, e.Schema, e.ObjectName, omData, true, count, quint32(e.oid), e.TableName);
    }
}

void TfrmMain::WorkSpaceRenamed(QTreeWidgetItem *item, const QString &text)
{
    TkdWorkSpace e = EntryOfItem(item);
    LoadWorkSpace();
    const int at = WorkSpaceIndexOf(e);
    if (at < 0)
        return;
    WorkSpaceStore()[at].Title = text;
    SaveWorkSpace();
}

void TfrmMain::WorkSpaceRemove()
{
    LoadWorkSpace();
    for (QTreeWidgetItem *item : lstWorkSpace->selectedItems()) {
        const int at = WorkSpaceIndexOf(EntryOfItem(item));
        if (at >= 0)
            WorkSpaceStore().removeAt(at);
    }
    SaveWorkSpace();
    ShowWorkSpace(nullptr);
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *e)
{
    // F1 anywhere in the program: the help page of the window that has the focus, except in a
    // control that takes F1 as input (the hot-key list, where F1 can be assigned).
    if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(e)->key() == Qt::Key_F1
        && static_cast<QKeyEvent *>(e)->modifiers() == Qt::NoModifier && watched->isWidgetType()
        && !(QApplication::focusWidget() && QApplication::focusWidget()->property("TakesHelpKey").toBool())) {
        ShowHelp(ActiveHelpContext());
        return true;
    }
    if (lstWorkSpace && (watched == lstWorkSpace->viewport() || watched == lstWorkSpace)) {
        switch (e->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto *d = static_cast<QDropEvent *>(e);
            if (ConnectionOfObjectList(d->source())) {
                d->setDropAction(Qt::CopyAction);
                d->accept();
            } else {
                d->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto *d = static_cast<QDropEvent *>(e);
            TkdConnForm *source = ConnectionOfObjectList(d->source());
            if (source) {
                d->setDropAction(Qt::CopyAction);
                d->accept();
                GuardedCall([this, source] { WorkSpaceDrop(source); });
            }
            return true;
        }
        case QEvent::KeyPress: {
            auto *k = static_cast<QKeyEvent *>(e);
            if (watched == lstWorkSpace && !lstWorkSpace->IsEditing()) {
                if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
                    GuardedCall([this] { WorkSpaceOpen(TkdOption::Global().OpenMode); });
                    return true;
                }
                if (k->key() == Qt::Key_Delete) {
                    GuardedCall([this] { WorkSpaceRemove(); });
                    return true;
                }
            }
            break;
        }
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, e);
}

// ---------------------------------------------------------------------------------------------
// Layout

void TfrmMain::LoadWindowLayout()
{
    TkdRegistry &reg = SharedRegistry();
    // The work space's height is set once the window is laid out, on the first start too.
    FSizePending = true;
    if (!reg.OpenKey(kLayoutKey, false))
        return;
    struct Close {
        TkdRegistry &r;
        ~Close() { r.CloseKey(); }
    } close{reg};
    const QRect g = geometry();
    int state = reg.GetInteger(QStringLiteral("WindowState"), 0);
    if (state == 1)
        state = 0;
    if (state == 0) {
        setGeometry(reg.GetInteger(QStringLiteral("Left"), g.left()), reg.GetInteger(QStringLiteral("Top"), g.top()),
                    std::max(200, reg.GetInteger(QStringLiteral("Width"), g.width())),
                    std::max(150, reg.GetInteger(QStringLiteral("Height"), g.height())));
    } else if (state == 2) {
        setWindowState(Qt::WindowMaximized);
    }
    // Tool bars: a stored arrangement of another version, or one that does not restore,
    // gives the first arrangement.
    const QByteArray bars = reg.ValueExists(QStringLiteral("ToolBars")) ? reg.ReadBinaryData(QStringLiteral("ToolBars"))
                                                                         : QByteArray();
    if (!bars.isEmpty() && !restoreState(bars, kToolBarsVersion))
        restoreState(FDefaultBarState, kToolBarsVersion);

    ctlTask->setVisible(reg.GetBool(QStringLiteral("TaskBar"), true));
    stsMain->setVisible(reg.GetBool(QStringLiteral("StatusBar"), true));
    mnuTaskBar->setChecked(!ctlTask->isHidden());
    mnuStsbar->setChecked(!stsMain->isHidden());

    SetWorkSpaceStyle(reg.GetInteger(QStringLiteral("WorkSpaceStyle"), 1));
    const bool visible = reg.GetBool(QStringLiteral("WorkSpace"), true);
    const Qt::DockWidgetArea area = AreaOfAlign(reg.GetInteger(QStringLiteral("WorkSpaceAlign"), 2));
    if (dockWidgetArea(dckWorkSpace) != area) {
        removeDockWidget(dckWorkSpace);
        addDockWidget(area, dckWorkSpace);
    }
    dckWorkSpace->setVisible(visible);
    mnuWorkSpace->setChecked(visible);
    const bool vertical = area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea;
    FWorkSpaceSize = reg.GetInteger(QStringLiteral("WorkSpaceSize"), vertical ? kWorkSpaceHeight : 200);
    FSizePending = true;
}

void TfrmMain::ApplyPendingLayout()
{
    // Sizes of docks need the window laid out at its restored size.
    if (!FSizePending)
        return;
    FSizePending = false;
    if (!dckWorkSpace->isHidden())
        SetWorkSpaceSize(FWorkSpaceSize);
}

void TfrmMain::SaveWindowLayout()
{
    TkdRegistry &reg = SharedRegistry();
    if (!reg.OpenKey(kLayoutKey, true))
        throw std::runtime_error("GUI\\MAIN");
    struct Close {
        TkdRegistry &r;
        ~Close() { r.CloseKey(); }
    } close{reg};
    reg.BeginUpdate();
    const int state = isMaximized() ? 2 : isMinimized() ? 1 : 0;
    reg.WriteInteger(QStringLiteral("WindowState"), state);
    if (state == 0) {
        const QRect g = geometry();
        reg.WriteInteger(QStringLiteral("Left"), g.left());
        reg.WriteInteger(QStringLiteral("Top"), g.top());
        reg.WriteInteger(QStringLiteral("Width"), g.width());
        reg.WriteInteger(QStringLiteral("Height"), g.height());
    }
    reg.WriteBool(QStringLiteral("TaskBar"), !ctlTask->isHidden());
    reg.WriteBool(QStringLiteral("StatusBar"), !stsMain->isHidden());
    reg.WriteBool(QStringLiteral("WorkSpace"), !dckWorkSpace->isHidden());
    reg.WriteInteger(QStringLiteral("WorkSpaceStyle"), FWorkSpaceStyle);
    const Qt::DockWidgetArea area = dockWidgetArea(dckWorkSpace);
    reg.WriteInteger(QStringLiteral("WorkSpaceAlign"), AlignOfArea(area));
    const bool vertical = area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea;
    reg.WriteInteger(QStringLiteral("WorkSpaceSize"),
                     dckWorkSpace->isHidden() ? FWorkSpaceSize : vertical ? dckWorkSpace->height() : dckWorkSpace->width());
    reg.WriteBinaryData(QStringLiteral("ToolBars"), saveState(kToolBarsVersion));
    reg.EndUpdate();
}

void TfrmMain::ResetToolBars()
{
    const QList<QToolBar *> bars{pnlDB, pnlEdit, pnlTool, pnlAdmin, pnlTool2, pnlNewObj};
    for (QToolBar *bar : bars)
        removeToolBar(bar);
    // Breaks left between empty rows go with the bars they stood before.
    for (QToolBar *bar : bars)
        removeToolBarBreak(bar);
    DockDefaultRows();
    for (QToolBar *bar : bars)
        bar->show();
}

void TfrmMain::DockDefaultRows()
{
    // Three rows: database and editing; tools, administration and the second tools; new objects.
    addToolBar(Qt::TopToolBarArea, pnlDB);
    addToolBar(Qt::TopToolBarArea, pnlEdit);
    addToolBarBreak(Qt::TopToolBarArea);
    addToolBar(Qt::TopToolBarArea, pnlTool);
    addToolBar(Qt::TopToolBarArea, pnlAdmin);
    addToolBar(Qt::TopToolBarArea, pnlTool2);
    addToolBarBreak(Qt::TopToolBarArea);
    addToolBar(Qt::TopToolBarArea, pnlNewObj);
}

void TfrmMain::TileChildren(Qt::Orientation orientation)
{
    QList<QMdiSubWindow *> subs;
    for (QMdiSubWindow *sub : mdiMain->subWindowList(QMdiArea::CreationOrder))
        if (sub->isVisible() && !sub->isMinimized())
            subs << sub;
    if (subs.isEmpty())
        return;
    const QRect area = mdiMain->viewport()->rect();
    const int n = int(subs.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow *sub = subs.at(i);
        if (sub->isMaximized())
            sub->showNormal();
        if (orientation == Qt::Vertical) {
            const int h = area.height() / n;
            sub->setGeometry(0, i * h, area.width(), i == n - 1 ? area.height() - i * h : h);
        } else {
            const int w = area.width() / n;
            sub->setGeometry(i * w, 0, i == n - 1 ? area.width() - i * w : w, area.height());
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Help

int HelpContextOfClass(const QString &className)
{
    struct TContext {
        const char *Class;
        int Context;
    };
    static const TContext contexts[] = {
        {"TfrmMain", 100},
        {"TfrmLogon", 200},
        {"TfrmObject", 10100},
        {"TfrmTable", 10200},
        {"TfrmIndex", 10300},
        {"TfrmView", 10400},
        {"TfrmTrigger", 11200},
        {"TfrmSeq", 11300},
        {"TfrmConst", 12100},
        {"TfrmRule", 12200},
        {"TfrmExecProc", 20100},
        {"TfrmScriptOption", 20300},
        {"TfrmPrint", 20400},
        {"TfrmMatrix", 20700},
        {"TfrmGrant", 20800},
        {"TfrmAnalyze", 20900},
        {"TfrmGrep", 21100},
        {"TfrmDataGenerate", 21200},
        {"TfrmProject", 21300},
        {"TfrmXlsSQL", 21400},
        {"TfrmSQL", 30100},
        {"TfrmExecScript", 30200},
        {"TfrmField", 30300},
        {"TfrmTemplate", 30400},
        {"TfrmUserList", 40100},
        {"TfrmUser", 40200},
        {"TfrmSchema", 40300},
        {"TfrmRole", 40400},
        {"TfrmStorage", 40500},
        {"TfrmTBS", 40600},
        {"TfrmSession", 40900},
        {"TfrmLock", 41100},
        {"TfrmDB", 41200},
        {"TfrmExp", 41400},
        {"TfrmImp", 41500},
        {"TfrmLoader", 41600},
        {"TfrmOption", 50100},
        {"TfrmNameTable", 50300},
        {"TfrmUserCommand", 50400},
        {"TfrmXLSSetup", 50500},
        {"TfrmComp", 50600},
        {"TfrmDDLExec", 50700},
        {"TfrmDDLPreview", 50800},
        {"TfrmPerform", 51000},
        {"TfrmSQLBldConnect", 51100},
        {"TfrmSQLCatch", 51200},
        {"TfrmSQLCRUD", 51300},
        {"TfrmComment", 51501},
        {"TfrmIndexAdviser", 51600},
        {"TfrmPreview", 12100},
        {"TfrmEditorOption", 50200},
    };
    for (const TContext &c : contexts)
        if (className == QLatin1String(c.Class))
            return c.Context;
    return 0;
}

int TfrmMain::ActiveHelpContext() const
{
    // From the focused control outwards; without one, the active window.
    QWidget *w = QApplication::focusWidget();
    if (!w)
        w = QApplication::activeWindow();
    if (!w || w == this)
        if (QMdiSubWindow *sub = mdiMain->activeSubWindow())
            w = sub->widget();
    for (; w; w = w->parentWidget()) {
        // A window's own context, else the one of its class.
        const QVariant v = w->property("HelpContext");
        if (v.isValid() && v.toInt() > 0)
            return v.toInt();
        if (w->isWindow() || qobject_cast<QMdiSubWindow *>(w->parentWidget()))
            if (const int c = HelpContextOfClass(QLatin1String(w->metaObject()->className())))
                return c;
    }
    return 0;
}

void TfrmMain::ShowHelp(int context)
{
    // A window without a page of its own opens the contents.
    if (context > 0) {
        ShowHelpContext(context);
        return;
    }
    bool callHelp = true;
    if (FHelp)
        FHelp->OnApplicationHelp(HELP_FINDER, 0, callHelp);
}
