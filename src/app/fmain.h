#pragma once
// The main window: parent of every child window, the connection selector, the task bar of
// child windows, the status bar, start-up (first-paint logon) and shutdown.
#include "core/kdforms.h"

#include <QHash>
#include <QIcon>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <utility>

class QAction;
class QButtonGroup;
class QComboBox;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QScrollArea;
class QToolBar;
class QToolButton;
class QHBoxLayout;

// Names the application with the program title. No display name is set: window managers
// append a display name to every window title ("ログオン — …"), and twice to the main
// window's while a child window is maximised, so titles would no longer be the program's own.
void InitializeApplicationTitle();

// The logon switches of the command line ("/U=", "/PS=", "/D=", "/H=", "/P=", "/S="), read from
// the arguments after the program name; a later switch replaces an earlier one.
TLogonValues ParseLogonSwitches(const QStringList &args);

// One step of the shutdown: a name for the report and the work.
using TCloseStep = std::pair<QString, std::function<void()>>;
// Runs every step even when an earlier one fails; returns one line per failed step.
QStringList RunCloseSteps(const QList<TCloseStep> &steps);

class TfrmMain : public QMainWindow, public TkdMainForm
{
    Q_OBJECT
public:
    // `args`: the program's arguments without the program name.
    explicit TfrmMain(const QStringList &args = QStringList(), QWidget *parent = nullptr);
    ~TfrmMain() override;

    // TkdMainForm
    QWidget *Widget() override { return this; }
    TkdConnForm *CurrentForm() const override;
    void SelectConnection(TkdConnForm *form) override;
    void AddChildWindow(QWidget *window) override;
    QList<QWidget *> ChildWindows() const override;
    QToolButton *CreateTaskButton(QWidget *window) override;
    QIcon Image(int index) const override;
    void SetDefMessage() override;
    void SetLoopMessage(int nowCount, int maxCount) override;
    void SetStatusText(const QString &text) override;
    void AddConnection(TkdConnForm *form) override;
    void RemoveConnection(TkdConnForm *form) override;
    QList<TkdConnForm *> Connections() const override;
    TkdConnForm *GetDBForm(const QString &identity) const override;
    QWidget *FindWindow(const QMetaObject *cls, const QString &caption, bool show) override;
    using TkdMainForm::FindWindow;
    bool Closing() const override { return FClosing; }
    void SetChildMenu(QMenu *menu) override;
    // TkdMainServices
    QAction *FindAction(const QString &actionName) const override;
    void EditorSettingsLoaded(const TkdEditorSettings &settings) override;
    void CollectEditorSettings(TkdEditorSettings &settings) override;

    // Window geometry and bar visibility under "GUI\MAIN".
    void LoadWindowLayout();
    void SaveWindowLayout();
    // The SQL history index file in the temporary folder.
    static QString HistoryIndexFile();
    // The shutdown's save steps: layout, options, SQL history index.
    QList<TCloseStep> DefaultCloseSteps();

    // The enabling rule; then the current connection window is shown and brought to the front.
    void cmbDBNameChange();
    // Text of status-bar panel `index` (0..2).
    QString StatusText(int index) const;
    // The switches read at the first paint (empty until then).
    const TLogonValues &LogonSwitches() const { return FSwitches; }
    bool FirstPaintDone() const { return FFirstPaintDone; }
    // The steps run when the window closes; tests and start-up may replace them.
    void SetCloseSteps(QList<TCloseStep> steps) { FCloseSteps = std::move(steps); }

    QComboBox *cmbDBName = nullptr;
    QMdiArea *mdiMain = nullptr;
    QScrollArea *scrTask = nullptr;
    QWidget *tolTask = nullptr;
    QToolBar *pnlDB = nullptr;

    QAction *actDBCommit = nullptr;
    QAction *actDBRollback = nullptr;
    QAction *actDBLogon = nullptr;
    QAction *actDBLogoff = nullptr;
    QAction *actFileExit = nullptr;
    QAction *actViewSQL = nullptr;
    QAction *actViewScript = nullptr;
    QAction *actViewField = nullptr;
    QAction *actViewTemplate = nullptr;
    QAction *actViewComp = nullptr;
    QAction *actViewSQLCatch = nullptr;
    QAction *actViewSQLCRUD = nullptr;
    QAction *actToolIndexAdviser = nullptr;
    QAction *actAdminUser = nullptr;
    QAction *actAdminStorage = nullptr;
    QAction *actAdminSession = nullptr;
    QAction *actAdminLock = nullptr;
    QAction *actAdminDatabase = nullptr;
    QAction *actAdminPerform = nullptr;
    QAction *actAdminExport = nullptr;
    QAction *actAdminImport = nullptr;
    QAction *actAdminLoad = nullptr;
    QAction *actToolCommandSetup = nullptr;
    QAction *btnNewTable = nullptr;
    QAction *btnNewIndex = nullptr;
    QAction *btnNewView = nullptr;
    QAction *btnNewFunc = nullptr;
    QAction *btnNewType = nullptr;
    QAction *btnNewTrigger = nullptr;
    QAction *btnNewSeq = nullptr;
    QAction *btnNewConst = nullptr;
    QAction *btnNewRule = nullptr;
    QAction *mnuDispList = nullptr;
    QAction *mnuDispReport = nullptr;
    QAction *mnuReload = nullptr;
    QAction *mnuTaskBar = nullptr;
    QAction *mnuStsbar = nullptr;
    QAction *mnuCloseWindow = nullptr;

    void actDBCommitExecute();
    void actDBRollbackExecute();
    void actDBLogonExecute();
    void actDBLogoffExecute();
    void mnuReloadClick();
    void mnuCloseWindowClick();

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    void FormCreate();
    void FormPaint();
    bool FormCloseQuery();
    void FormClose();
    void BuildActions();
    void BuildMenus();
    void BuildBars();
    void EndTransaction(const QString &verb);
    QMdiSubWindow *SubWindowOf(QWidget *window) const;
    void ShowChild(QWidget *window);
    void SubWindowActivated(QMdiSubWindow *sub);
    void TaskBarMenu(QToolButton *button, const QPoint &pos);

    QStringList FArgs;
    TLogonValues FSwitches;
    bool FFirstPaintDone = false;
    bool FClosing = false;
    QPointer<QMenu> FChildMenu;
    bool FDestroying = false;
    QList<TCloseStep> FCloseSteps;
    QLabel *FPanels[3] = {nullptr, nullptr, nullptr};
    QHBoxLayout *FTaskLayout = nullptr;
    QButtonGroup *FTaskGroup = nullptr;
    QMenu *popTask = nullptr;
    mutable QHash<int, QIcon> FImages;
};
