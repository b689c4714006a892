#include "app/fmain.h"
#include "core/kdhistoryindex.h"

#include "controls/kdcodeassist.h"
#include "controls/kdhhelp.h"
#include "controls/kdsharedsettings.h"
#include "controls/kdstsbar.h"
#include "core/kdreg.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_object.h"
#include "core/kdsub_options.h"
#include "core/kdsub_service.h"
#include "core/kdsub_start.h"

#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPolygonF>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
const QString kTitle = QStringLiteral("Kelvane for Symfoware");
const QString kEscHint = QStringLiteral(" [ESC]キーを押すと処理を中断");
} // namespace

void InitializeApplicationTitle()
{
    QApplication::setApplicationName(kTitle);
}

TLogonValues ParseLogonSwitches(const QStringList &args)
{
    TLogonValues v;
    const QLocale locale;
    for (const QString &arg : args) {
        const QString upper = locale.toUpper(arg);
        if (upper.startsWith(QLatin1String("/PS=")))
            v.Password = arg.mid(4);
        else if (upper.startsWith(QLatin1String("/U=")))
            v.UserID = arg.mid(3);
        else if (upper.startsWith(QLatin1String("/D=")))
            v.Database = arg.mid(3);
        else if (upper.startsWith(QLatin1String("/H=")))
            v.Host = arg.mid(3);
        else if (upper.startsWith(QLatin1String("/P=")))
            v.Port = arg.mid(3);
        else if (upper.startsWith(QLatin1String("/S=")))
            v.Schema = arg.mid(3);
    }
    return v;
}

QString WorkbookExtension(const QString &storedExt)
{
    const QString ext = storedExt.trimmed();
    if (ext.isEmpty() || ext.compare(QLatin1String(".XLS"), Qt::CaseInsensitive) == 0
        || ext.compare(QLatin1String(".XLSX"), Qt::CaseInsensitive) == 0)
        return QStringLiteral(".XLSX");
    return ext;
}

QStringList RunCloseSteps(const QList<TCloseStep> &steps)
{
    QStringList failures;
    for (const TCloseStep &step : steps) {
        try {
            step.second();
        } catch (const std::exception &e) {
            failures << step.first + QStringLiteral(": ") + QString::fromUtf8(e.what());
        } catch (...) {
            failures << step.first;
        }
    }
    return failures;
}

// ---------------------------------------------------------------------------------------------

TfrmMain::TfrmMain(const QStringList &args, QWidget *parent) : QMainWindow(parent), FArgs(args)
{
    setObjectName(QStringLiteral("frmMain"));
    TkdMainForm::SetInstance(this);
    SetMainServices(this);
    FormCreate();
}

TfrmMain::~TfrmMain()
{
    FDestroying = true;
    TkdCodeAssist::SetImageProvider({});
    disconnect(mdiMain, nullptr, this, nullptr);
    // Child windows go first, while the bars that hold their task buttons still stand: left
    // to the base destructor, a bar could go before a window that still removes its button.
    for (QMdiSubWindow *sub : mdiMain->subWindowList())
        delete sub;
    if (TkdMainForm::Instance() == this)
        TkdMainForm::SetInstance(nullptr);
    if (MainServices() == this)
        SetMainServices(nullptr);
}

void TfrmMain::FormCreate()
{
    // The icon theme of the commands, once for the whole run (a desktop may have chosen one).
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor")) {
        QStringList paths = QIcon::themeSearchPaths();
        for (const QString &dir :
             QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"), QStandardPaths::LocateDirectory))
            if (!paths.contains(dir))
                paths << dir;
        QIcon::setThemeSearchPaths(paths);
        QIcon::setThemeName(QStringLiteral("breeze"));
    }
    setWindowTitle(kTitle);
    setWindowIcon(Image(0));
    setDockOptions(QMainWindow::AnimatedDocks);

    mdiMain = new QMdiArea;
    mdiMain->setObjectName(QStringLiteral("mdiMain"));
    mdiMain->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiMain->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(mdiMain, &QMdiArea::subWindowActivated, this, &TfrmMain::SubWindowActivated);
    setCentralWidget(mdiMain);

    BuildActions();
    BuildBars();

    // Task bar: one button per child window, in a horizontally scrolling strip in the bottom
    // tool-bar area, so that from the bottom edge come the status bar, the task bar and then
    // a work space docked at the bottom.
    scrTask = new QScrollArea;
    scrTask->setObjectName(QStringLiteral("scrTask"));
    scrTask->setWidgetResizable(true);
    scrTask->setFrameShape(QFrame::NoFrame);
    scrTask->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrTask->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scrTask->setFixedHeight(28);
    tolTask = new QWidget;
    tolTask->setObjectName(QStringLiteral("tolTask"));
    FTaskLayout = new QHBoxLayout(tolTask);
    FTaskLayout->setContentsMargins(1, 1, 1, 1);
    FTaskLayout->setSpacing(1);
    FTaskLayout->addStretch(1);
    scrTask->setWidget(tolTask);
    ctlTask = new QToolBar(QStringLiteral("タスクバー"), this);
    ctlTask->setObjectName(QStringLiteral("ctlTask"));
    ctlTask->setMovable(false);
    ctlTask->setFloatable(false);
    ctlTask->toggleViewAction()->setVisible(false);
    ctlTask->setContextMenuPolicy(Qt::PreventContextMenu);
    ctlTask->addWidget(scrTask);
    addToolBar(Qt::BottomToolBarArea, ctlTask);
    connect(mnuTaskBar, &QAction::toggled, ctlTask, &QWidget::setVisible);
    FTaskGroup = new QButtonGroup(this);
    FTaskGroup->setExclusive(true);
    popTask = new QMenu(this);
    popTask->addAction(mnuCloseWindow);

    BuildWorkSpace();
    BuildMenus();

    // Status bar: panel 0 (100, right), panel 1 (20, centred), panel 2 messages. Hints of
    // actions never reach it.
    stsMain = new TkdStatusBar;
    stsMain->setObjectName(QStringLiteral("stsMain"));
    stsMain->AddPanel(100, Qt::AlignRight | Qt::AlignVCenter);
    stsMain->AddPanel(20, Qt::AlignCenter);
    stsMain->AddPanel(0);
    setStatusBar(stsMain);
    connect(mnuStsbar, &QAction::toggled, stsMain, &QWidget::setVisible);

    // Bar colour of the menu bar, the tool bars and the task bar, to the right edge.
    setStyleSheet(QStringLiteral("QMenuBar#mnuMain, QToolBar { background: #C6DBFD; }"
                                 " QMenuBar#mnuMain::item { background: transparent; }"
                                 " QMenuBar#mnuMain::item:selected { background: #99B4D1; }"
                                 " QScrollArea#scrTask, QWidget#tolTask { background: #C6DBFD; }"));
    FDefaultBarState = saveState(1);

    FHelp = new THTMLHelp(this);
    // Code-assist candidates show the images of the main image list.
    TkdCodeAssist::SetImageProvider([this](int index) { return Image(index); });
    ConnectUpdates();
    qApp->installEventFilter(this);

    resize(1024, 720);

    // Settings: the client folder first (a default of the trace settings), then every group.
    try {
        ReadClientHomeFolder();
    } catch (...) {
        // A machine key that cannot be read leaves the default empty.
    }
    for (const QString &warning : LoadSettings())
        ShowMessageBox(warning, MB_OK | MB_ICONWARNING);
    // The program's date and time display formats follow the options.
    ApplyDateTimeFormats(TkdOption::Global().DateFormat, TkdOption::Global().TimeDelphi);
    // The SQL history index; a missing or unreadable file leaves the list empty.
    // Its encoding comes from a byte-order mark and is kept for writing it back at exit.
    SQLHistoryList() = LoadSQLHistoryIndex(HistoryIndexFile(), &SQLHistoryIndexEncoding());
    LoadWindowLayout();
    SetCommandList();
    SetReportList();
    SetHomePage();
    // Workbooks are written as .xlsx files only: a stored ".XLS" (from an installation that
    // wrote the old format) would offer a file type that is never written.
    TkdOption::Global().ExcelExt = WorkbookExtension(TkdOption::Global().ExcelExt);
    ExcelFileFilter() = ExcelFileFilterFor(TkdOption::Global().ExcelExt);
    FCloseSteps = DefaultCloseSteps();
    // With no connection open every command that needs one starts disabled.
    cmbDBNameChange();
}

QString TfrmMain::HistoryIndexFile()
{
    return TkdOption::Global().TempDir + QStringLiteral("SQLLOG.IDX");
}

QList<TCloseStep> TfrmMain::DefaultCloseSteps()
{
    return {
        {QStringLiteral("ウィンドウの配置"), [this] { SaveWindowLayout(); }},
        {QStringLiteral("オプション"),
         [] {
             const QStringList warnings = SaveSettings();
             if (!warnings.isEmpty())
                 throw std::runtime_error(warnings.join(QLatin1Char('\n')).toStdString());
         }},
        {QStringLiteral("SQL履歴"),
         [] {
             // Written back in the encoding it was read in at start-up.
             if (!SaveSQLHistoryIndex(HistoryIndexFile(), SQLHistoryList(), SQLHistoryIndexEncoding()))
                 throw std::runtime_error(
                     QStringLiteral("%1 に書き込めません。").arg(HistoryIndexFile()).toStdString());
         }},
    };
}

QAction *TfrmMain::FindAction(const QString &actionName) const
{
    return findChild<QAction *>(actionName, Qt::FindDirectChildrenOnly);
}

void TfrmMain::EditorSettingsLoaded(const TkdEditorSettings &settings)
{
    LoadSharedEditorProp(settings);
}

void TfrmMain::CollectEditorSettings(TkdEditorSettings &settings)
{
    SaveSharedEditorProp(settings);
}

// ---------------------------------------------------------------------------------------------
// Images: the main image list, indexed by object-type code for object kinds.

QIcon TfrmMain::Image(int index) const
{
    auto it = FImages.constFind(index);
    if (it != FImages.constEnd())
        return *it;
    // Commands: icons of the desktop theme, when it has them; object kinds and anything the
    // theme lacks: drawn glyphs.
    struct ThemeIcon { int code; const char *name; };
    static const ThemeIcon themeIcons[] = {
        {1, "server-database"},       {3, "user-identity"},        {5, "view-process-users"},
        {6, "object-locked"},         {7, "document-export"},      {8, "document-import"},
        {9, "document-open-data"},    {10, "document-edit"},       {11, "system-run"},
        {12, "view-list-details"},    {13, "network-connect"},     {14, "network-disconnect"},
        {15, "dialog-ok-apply"},      {16, "dialog-cancel"},       {17, "document-open"},
        {18, "document-save-as"},     {19, "edit-undo"},           {20, "edit-cut"},
        {21, "edit-copy"},            {22, "edit-paste"},          {23, "edit-find"},
        {24, "search"},               {25, "window-duplicate"},    {26, "view-split-top-bottom"},
        {27, "view-split-left-right"}, {28, "media-playback-start"}, {41, "edit-delete"},
        // Moving items between two lists, adding and removing grid rows, closing a window,
        // workbook output.
        {31, "go-first"},             {32, "go-previous"},         {33, "go-next"},
        {34, "go-last"},              {39, "list-add"},            {40, "list-remove"},
        {42, "application-exit"},     {44, "x-office-spreadsheet"},
        {91, "security-high"},        {92, "link"},                {98, "document-print"},
        // Generating rows of test data for a table.
        {103, "edit-table-insert-row-below"},
        // Window and frame buttons: SQL history steps, first/previous/next/last record, the
        // history list, grid direction, edit mode, plans, memo, filter and its clearing,
        // previews and sample code, the builder panel.
        {29, "go-previous"},          {30, "go-next"},             {35, "go-up"},
        {36, "go-down"},              {37, "go-top"},              {38, "go-bottom"},
        {86, "view-history"},         {87, "object-rotate-right"}, {88, "edit-entry"},
        {89, "view-list-tree"},       {93, "text-x-generic"},      {96, "view-filter"},
        {99, "document-preview"},     {110, "view-form"},          {112, "view-list-tree"},
        {117, "edit-clear-all"},
        {105, "view-process-system"}, {106, "view-table-of-contents-ltr"}, {107, "view-statistics"},
        {119, "vcs-diff"},    {120, "tools-wizard"},
    };
    for (const ThemeIcon &t : themeIcons)
        if (t.code == index && QIcon::hasThemeIcon(QLatin1String(t.name))) {
            const QIcon icon = QIcon::fromTheme(QLatin1String(t.name));
            FImages.insert(index, icon);
            return icon;
        }
    struct Glyph { int code; const char *text; QRgb colour; };
    static const Glyph glyphs[] = {
        // The database root of the tree; the login schema (126) in its own colour and with a
        // mark, so it stands out among the other schemas (4).
        {1, "DB", 0x3b4f7a},
        {0, "K", 0x1f5fa8},  {2, "U", 0x7a4fa0},  {3, "U", 0x7a4fa0},  {4, "S", 0x2f8f5b},
        {13, "+", 0x2f7fbf}, {14, "-", 0xa0522d}, {15, "C", 0x2f8f2f}, {16, "R", 0xb03030},
        {45, "T", 0x2066b0}, {46, "I", 0x8a6d1c}, {47, "V", 0x2f8f8f}, {51, "P", 0x8f2f6f},
        {52, "F", 0x8f2f6f}, {55, "Y", 0x5f5f9f}, {57, "G", 0xbf6f1f}, {58, "Q", 0x4f7f2f},
        {66, "K", 0x9f3f3f}, {68, "R", 0x6f4f9f}, {69, "D", 0x6f6f6f}, {94, "DB", 0x1f5fa8},
        {126, "S", 0xc06a00}, {127, "R", 0x7f5f2f}, {35, "\u2191", 0x4f6f8f}, {36, "\u2193", 0x4f6f8f},
        {41, "\u00d7", 0xb03030},
        // Tool buttons of the connection window: tree order, tree levels, WHERE and full-text search.
        {75, "SO", 0x4f6f8f}, {76, "OS", 0x4f6f8f}, {95, "S+", 0x2f8f5b},
        {23, "W", 0x6f5f2f},  {24, "G", 0x6f5f2f},
        // Code-assist candidates: keywords and the IN, OUT and INOUT arguments of a routine.
        {10, "#", 0x4f4f4f}, {80, "in", 0x2f7f7f}, {81, "out", 0x7f2f5f}, {82, "io", 0x5f5f2f},
    };
    QString text = QString::number(index);
    QColor colour = QColor::fromHsv((index * 47) % 360, 120, 170);
    for (const Glyph &g : glyphs)
        if (g.code == index) {
            text = QString::fromUtf8(g.text);
            colour = QColor(g.colour);
        }
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colour);
    p.setPen(colour.darker(130));
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setPixelSize(text.size() > 2 ? 6 : text.size() > 1 ? 8 : 11);
    f.setBold(true);
    p.setFont(f);
    p.drawText(pm.rect(), Qt::AlignCenter, text);
    if (index == ObjectTypeCode::OtherSchema) {
        // The login schema's mark: a yellow corner.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xffd84a));
        p.drawPolygon(QPolygonF({QPointF(9, 0.5), QPointF(15.5, 0.5), QPointF(15.5, 7)}));
    }
    p.end();
    QIcon icon(pm);
    FImages.insert(index, icon);
    return icon;
}

// ---------------------------------------------------------------------------------------------
// Child windows and the task bar

QMdiSubWindow *TfrmMain::SubWindowOf(QWidget *window) const
{
    if (!window)
        return nullptr;
    for (QMdiSubWindow *sub : mdiMain->subWindowList())
        if (sub->widget() == window)
            return sub;
    return nullptr;
}

void TfrmMain::AddChildWindow(QWidget *window)
{
    const bool sized = window->testAttribute(Qt::WA_Resized);
    const QSize size = window->size();
    QMdiSubWindow *sub = mdiMain->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    // A window that chose its size keeps it inside its frame.
    if (sized)
        sub->resize(sub->sizeHint().expandedTo(size + (sub->sizeHint() - window->sizeHint()).expandedTo(QSize(0, 0))));
    sub->setWindowIcon(window->windowIcon());
    // A window that closes or is deleted in code takes its frame with it.
    connect(window, &QObject::destroyed, sub, [sub] {
        sub->hide();
        sub->deleteLater();
    });
    sub->show();
    mdiMain->setActiveSubWindow(sub);
}

QList<QWidget *> TfrmMain::ChildWindows() const
{
    QList<QWidget *> list;
    for (QMdiSubWindow *sub : mdiMain->subWindowList(QMdiArea::CreationOrder))
        if (sub->widget())
            list << sub->widget();
    return list;
}

void TfrmMain::ShowChild(QWidget *window)
{
    QMdiSubWindow *sub = SubWindowOf(window);
    if (!sub)
        return;
    if (sub->isMinimized())
        sub->showNormal();
    sub->show();
    mdiMain->setActiveSubWindow(sub);
    sub->raise();
}

QToolButton *TfrmMain::CreateTaskButton(QWidget *window)
{
    auto *button = new QToolButton;
    button->setObjectName(QStringLiteral("taskButton"));
    button->setCheckable(true);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setFixedSize(104, 24);
    button->setAutoRaise(true);
    button->setToolTip(window->windowTitle());
    button->setProperty("window", QVariant::fromValue<QObject *>(window));
    button->setContextMenuPolicy(Qt::CustomContextMenu);
    FTaskGroup->addButton(button);
    FTaskLayout->insertWidget(FTaskLayout->count() - 1, button);
    button->setChecked(true);
    QPointer<QWidget> target(window);
    connect(button, &QToolButton::clicked, this, [this, target] {
        if (target)
            ShowChild(target);
    });
    connect(button, &QWidget::customContextMenuRequested, this,
            [this, button](const QPoint &pos) { TaskBarMenu(button, pos); });
    QTimer::singleShot(0, scrTask, [this] {
        scrTask->ensureVisible(tolTask->width(), 0);
    });
    return button;
}

void TfrmMain::TaskBarMenu(QToolButton *button, const QPoint &pos)
{
    button->click();
    popTask->popup(button->mapToGlobal(pos));
}

void TfrmMain::SubWindowActivated(QMdiSubWindow *sub)
{
    if (!sub || !sub->widget())
        return;
    QWidget *w = sub->widget();
    GuardedCall([w] {
        if (auto *form = qobject_cast<TkdForm *>(w))
            form->Activate();
        else if (auto *conn = dynamic_cast<TkdConnForm *>(w))
            conn->FormActivate();
    });
}

QWidget *TfrmMain::FindWindow(const QMetaObject *cls, const QString &caption, bool show)
{
    const QList<QWidget *> windows = ChildWindows();
    for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
        QWidget *w = *it;
        if (w->metaObject()->inherits(cls) && w->windowTitle() == caption) {
            if (show)
                ShowChild(w);
            return w;
        }
    }
    return nullptr;
}

void TfrmMain::mnuReloadClick()
{
    if (QMdiSubWindow *sub = mdiMain->activeSubWindow())
        if (sub->widget())
            SendKdMessage({sub->widget()}, WM_RELOAD);
}

void TfrmMain::mnuCloseWindowClick()
{
    if (QMdiSubWindow *sub = mdiMain->activeSubWindow())
        sub->close();
}

// ---------------------------------------------------------------------------------------------
// Connection selector

TkdConnForm *TfrmMain::CurrentForm() const
{
    const int i = cmbDBName->currentIndex();
    if (i < 0)
        return nullptr;
    auto *w = qobject_cast<QWidget *>(cmbDBName->itemData(i).value<QObject *>());
    return w ? dynamic_cast<TkdConnForm *>(w) : nullptr;
}

void TfrmMain::SelectConnection(TkdConnForm *form)
{
    int index = -1;
    if (form)
        index = cmbDBName->findData(QVariant::fromValue<QObject *>(form->Widget()));
    const QSignalBlocker block(cmbDBName);
    cmbDBName->setCurrentIndex(index);
}

void TfrmMain::AddConnection(TkdConnForm *form)
{
    QObject *key = form->Widget();
    cmbDBName->addItem(form->Identity(), QVariant::fromValue<QObject *>(key));
    // A window destroyed without leaving the selector must not leave an item pointing to it.
    connect(key, &QObject::destroyed, this, [this, key] {
        if (FDestroying)
            return;
        const int i = cmbDBName->findData(QVariant::fromValue<QObject *>(key));
        if (i >= 0) {
            cmbDBName->removeItem(i);
            cmbDBNameChange();
        }
    });
    {
        const QSignalBlocker block(cmbDBName);
        cmbDBName->setCurrentIndex(cmbDBName->count() - 1);
    }
    cmbDBNameChange();
    // The work space shows the entries of the connections now open.
    GuardedCall([this] { ShowWorkSpace(nullptr); });
}

void TfrmMain::RemoveConnection(TkdConnForm *form)
{
    const QVariant key = QVariant::fromValue<QObject *>(form->Widget());
    for (int i = cmbDBName->count() - 1; i >= 0; --i)
        if (cmbDBName->itemData(i) == key) {
            cmbDBName->removeItem(i);
            break;
        }
    {
        const QSignalBlocker block(cmbDBName);
        cmbDBName->setCurrentIndex(cmbDBName->count() - 1);
    }
    cmbDBNameChange();
    GuardedCall([this, form] { ShowWorkSpace(form); });
}

QList<TkdConnForm *> TfrmMain::Connections() const
{
    QList<TkdConnForm *> list;
    for (int i = 0; i < cmbDBName->count(); ++i)
        if (auto *w = qobject_cast<QWidget *>(cmbDBName->itemData(i).value<QObject *>()))
            if (auto *conn = dynamic_cast<TkdConnForm *>(w))
                list << conn;
    return list;
}

TkdConnForm *TfrmMain::GetDBForm(const QString &identity) const
{
    TkdConnForm *current = CurrentForm();
    if (current && current->Identity() == identity)
        return current;
    const QList<QWidget *> windows = ChildWindows();
    for (auto it = windows.crbegin(); it != windows.crend(); ++it)
        if (auto *conn = dynamic_cast<TkdConnForm *>(*it))
            if (conn->Identity() == identity)
                return conn;
    return nullptr;
}

void TfrmMain::cmbDBNameChange()
{
    const bool open = cmbDBName->count() > 0;
    TkdConnForm *current = CurrentForm();
    for (QAction *a : {actDBCommit, actDBRollback, actDBLogoff, actViewSQL, actViewScript, actViewField,
                       actViewTemplate, actViewComp, actViewSQLCatch, actViewSQLCRUD, actToolIndexAdviser,
                       btnNewTable, btnNewIndex, btnNewView, btnNewFunc, btnNewTrigger, btnNewRule, btnNewSeq,
                       btnNewConst, mnuDispList, mnuDispReport, mnuReload})
        a->setEnabled(open);
    btnNewType->setEnabled(open && (!current || current->DBVer() >= 80000));
    for (QAction *a : {actAdminUser, actAdminStorage, actAdminSession, actAdminLock, actAdminDatabase,
                       actAdminPerform, actAdminExport, actAdminImport, actAdminLoad})
        a->setEnabled(current != nullptr);
    actToolCommandSetup->setEnabled(true);
    if (current)
        ShowChild(current->Widget());
}

// ---------------------------------------------------------------------------------------------
// Status bar

QString TfrmMain::StatusText(int index) const
{
    return stsMain->PanelText(index);
}

void TfrmMain::SetStatusText(const QString &text)
{
    stsMain->SetPanelText(2, text);
}

void TfrmMain::SetDefMessage()
{
    TkdConnForm *current = CurrentForm();
    if (!current) {
        // No connection (a first logon failed or was abandoned): no leftover progress text.
        SetStatusText(QString());
        return;
    }
    const int n = current->ObjectCount();
    const int m = current->SelectedObjectCount();
    if (m == 0)
        SetStatusText(QString::number(n) + QStringLiteral("個のオブジェクトがあります。"));
    else
        SetStatusText(QString::number(n) + QStringLiteral("個中 ") + QString::number(m)
                      + QStringLiteral("個のオブジェクトを選択中。"));
}

void TfrmMain::SetLoopMessage(int nowCount, int maxCount)
{
    QString text;
    if (nowCount == 0 && maxCount == 0)
        text = kEscHint;
    else if (maxCount <= 0)
        text = QString::number(nowCount) + QStringLiteral("件処理中...") + kEscHint;
    else
        text = QString::number(nowCount) + QStringLiteral(" / ") + QString::number(maxCount) + kEscHint;
    SetStatusText(text);
    if (QLabel *panel = stsMain->Panel(2))
        panel->repaint();
}

// ---------------------------------------------------------------------------------------------
// Commands of the connection

void TfrmMain::EndTransaction(const QString &verb)
{
    TkdConnForm *current = CurrentForm();
    if (!current)
        return;
    {
        TkdWaitCursor wait;
        current->ExecuteSQL(verb);
    }
    SetStatusText(QStringLiteral("現行データベース [ ") + current->ConnectionParam(QStringLiteral("User_Name"))
                  + QStringLiteral(" @ ") + current->ConnectionParam(QStringLiteral("Database"))
                  + QStringLiteral(" ] のトランザクションを ") + verb + QStringLiteral(" しました。"));
}

void TfrmMain::actDBCommitExecute()
{
    EndTransaction(QStringLiteral("COMMIT"));
}

void TfrmMain::actDBRollbackExecute()
{
    EndTransaction(QStringLiteral("ROLLBACK"));
}

void TfrmMain::actDBLogonExecute()
{
    RunLogon(TLogonValues(), false);
}

void TfrmMain::actDBLogoffExecute()
{
    TkdConnForm *current = CurrentForm();
    if (!current)
        return;
    try {
        QWidget *w = current->Widget();
        ShowChild(w);
        if (QMdiSubWindow *sub = SubWindowOf(w))
            sub->close();
    } catch (...) {
        // Errors while logging off are ignored; the window reports what it must itself.
    }
}

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown

void TfrmMain::showEvent(QShowEvent *e)
{
    QMainWindow::showEvent(e);
    if (!FFirstPaintDone) {
        FFirstPaintDone = true;
        // After the window has painted once, the logon starts (once per run).
        QTimer::singleShot(0, this, [this] { GuardedCall([this] { FormPaint(); }); });
    }
}

void TfrmMain::FormPaint()
{
    FSwitches = ParseLogonSwitches(FArgs);
    if (!FSwitches.UserID.isEmpty()) {
        QCoreApplication::processEvents();
        RunLogon(FSwitches, true);
    } else {
        RunLogon(TLogonValues(), false);
    }
}

bool TfrmMain::FormCloseQuery()
{
    // Every child window is asked once; a refusal keeps the program running.
    const QList<QWidget *> windows = ChildWindows();
    QList<QPointer<TkdForm>> asked;
    for (QWidget *w : windows) {
        auto *form = qobject_cast<TkdForm *>(w);
        if (!form)
            continue;
        if (!form->CloseQuery()) {
            for (const QPointer<TkdForm> &f : asked)
                if (f)
                    f->MarkCloseAsked(false);
            return false;
        }
        form->MarkCloseAsked(true);
        asked << form;
    }
    FClosing = true;
    // Then the connection windows close, from the last to the first (rollback, disconnect).
    for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
        QPointer<QWidget> w = *it;
        if (w && dynamic_cast<TkdConnForm *>(w.data()))
            if (QMdiSubWindow *sub = SubWindowOf(w))
                sub->close();
    }
    return true;
}

void TfrmMain::FormClose()
{
    const QStringList failures = RunCloseSteps(FCloseSteps);
    if (!failures.isEmpty())
        ShowError(QStringLiteral("終了時の保存に失敗しました。\n") + failures.join(QLatin1Char('\n')));
}

bool TfrmMain::event(QEvent *e)
{
    // Hints of actions stay in their tool tips: the status bar's panels belong to the windows.
    if (e->type() == QEvent::StatusTip)
        return true;
    if (e->type() == QEvent::LayoutRequest || e->type() == QEvent::Show)
        QTimer::singleShot(0, this, [this] { ApplyPendingLayout(); });
    return QMainWindow::event(e);
}

void TfrmMain::closeEvent(QCloseEvent *e)
{
    if (!FormCloseQuery()) {
        e->ignore();
        return;
    }
    FormClose();
    e->accept();
}

