#pragma once
// The main window: parent of every child window, the connection selector, the task bar of
// child windows, the status bar, start-up (first-paint logon) and shutdown.
#include "core/kdforms.h"

#include <QHash>
#include <QIcon>
#include <QMainWindow>
#include <QPointer>
#include <QVariantHash>
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
class QTreeWidgetItem;
class QToolButton;
class QHBoxLayout;
class QDockWidget;
class QDialog;
class QLineEdit;
class QCheckBox;
class TkdStatusBar;
class TkdListView;
class TkdMemo;
class THTMLHelp;

// One action of the main window as it is built: name, category, caption, hint (short text,
// vertical bar, long text) and image index (-1 for none). Default shortcuts come from the
// stored-shortcut table.
struct TMainActionRow {
    const char *Name;
    const char *Category;
    const char *Caption;
    const char *Hint;
    int Image;
};
// Every action of the main window, in menu order within each category.
QList<TMainActionRow> MainActionRows();

// The catalog query of open-definition: every object of one schema (:OWNER) and name (:OBJNM)
// among tables, views, indexes, functions, types, triggers, sequences, constraints and rules.
QString OpenDefinitionSQL();
// The help context of a window class ("TfrmSQL" 30100); 0 when it has none.
int HelpContextOfClass(const QString &className);

// The user-command list of the Tools menu: name and sequence number, in menu order (sorted
// by name ignoring case, then by number with the exchange sort the menu has always used).
struct TCommandEntry {
    QString Name;
    int Seq = 0;
};
QList<TCommandEntry> OrderCommandEntries(QList<TCommandEntry> entries);
// Sequence number and shortcut code of a user-command file; zeros when unreadable.
void ReadCommandFile(const QString &path, int *seq, int *shortcut);
// The kind tag of a report definition file: 0 for the object-list kind or an unreadable
// file, else its output type + 1.
int ReadReportTag(const QString &path);

// Names the application with the program title. No display name is set: window managers
// append a display name to every window title ("ログオン — …"), and twice to the main
// window's while a child window is maximised, so titles would no longer be the program's own.
void InitializeApplicationTitle();

// The workbook extension the program works with, from the stored option ExcelExt: the
// program writes .xlsx files only, so an empty value and ".XLS" or ".XLSX" in any case give
// ".XLSX" (the spelling the file filter expects).
QString WorkbookExtension(const QString &storedExt);

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
    void MergeMenu(QMenu *menu) override;
    void UnmergeMenu(QMenu *menu) override;
    bool ObjectListReport() const override;
    // TkdMainServices
    QAction *FindAction(const QString &actionName) const override;
    void EditorSettingsLoaded(const TkdEditorSettings &settings) override;
    void CollectEditorSettings(TkdEditorSettings &settings) override;

    // Window geometry and bar visibility under "GUI\MAIN".
    void LoadWindowLayout();
    void SaveWindowLayout();
    // The six tool bars docked, shown and in their first rows again.
    void ResetToolBars();
    // Work-space placements on an edge (nothing while the work space is hidden).
    void PlaceWorkSpace(Qt::DockWidgetArea area);
    // Refills the work-space list with the entries of the open connections but EraseForm.
    void ShowWorkSpace(TkdConnForm *EraseForm = nullptr) override;

    // Work-space commands on the selected entries.
    void WorkSpaceOpen(TOpenMode mode);
    void WorkSpaceOpenData(bool askCount);
    void WorkSpaceExec();
    void WorkSpaceRemove();
    // Registers the selected objects of a connection window's list; returns how many were added.
    int WorkSpaceDrop(TkdConnForm *source);
    // 0 icons, 1 small icons, 2 list, 3 report.
    void SetWorkSpaceStyle(int style);
    int WorkSpaceStyle() const { return FWorkSpaceStyle; }
    // Height (top, bottom) or width (left, right), at least 1 and at most half the client area.
    void SetWorkSpaceSize(int size);
    void UpdateWorkSpaceMenu();

    // An action by its name ("actEditUndo"); nullptr when there is none.
    QAction *Act(const QString &name) const;
    // The enabling rules of the editing commands, for the control that has the focus now.
    void UpdateEditActions();
    // The control the editing commands act on: the focused control of the active window.
    QWidget *FocusedControl() const;
    // User-command and report submenus of the Tools menu, rebuilt from their files.
    void SetCommandList();
    void SetReportList();
    // The web-page items of the Help menu (hidden while their address is empty).
    void SetHomePage();
    // The help context of the active child window (the contents page when it has none).
    int ActiveHelpContext() const;
    // Opens the page of a help context; 0 opens the contents.
    void ShowHelp(int context);

    // Editor commands.
    void EditUndo(bool redo);
    void EditCut();
    void EditCopy();
    void EditPaste();
    void EditDelete();
    void EditRename();
    void EditSelectAll();
    void EditSelectMode();
    void EditFind();
    void EditReplace();
    // Searches with the find text and match-case flag of the find (or the replace) dialog.
    void EditFindNext(bool fromReplaceDialog = false);
    void EditFindPrev();
    void ReplaceOne();
    void ReplaceAll();
    void EditJump();
    void EditFormat();
    void EditCase(bool upper);
    void EditIndent(bool forward);
    void EditComment();
    void EditMacroSave();
    void EditMacroExec();
    void EditOpen();
    // Find and replace dialogs (made on first use; they live with the main window).
    QDialog *FindDialog();
    QDialog *ReplaceDialog();
    QLineEdit *FindText() const { return FFindText; }
    QCheckBox *FindMatchCase() const { return FFindCase; }
    QLineEdit *ReplaceFindText() const { return FReplFind; }
    QLineEdit *ReplaceText() const { return FReplText; }
    QCheckBox *ReplaceMatchCase() const { return FReplCase; }
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
    QToolBar *pnlEdit = nullptr;
    QToolBar *pnlTool = nullptr;
    QToolBar *pnlAdmin = nullptr;
    QToolBar *pnlNewObj = nullptr;
    QToolBar *pnlTool2 = nullptr;
    QToolBar *ctlTask = nullptr;
    TkdStatusBar *stsMain = nullptr;
    QDockWidget *dckWorkSpace = nullptr;
    TkdListView *lstWorkSpace = nullptr;
    QMenu *mnuToolBar = nullptr;
    QMenu *mnuCommandMenu = nullptr;
    QMenu *mnuReportMenu = nullptr;
    QMenu *mnuHelpHomePage = nullptr;
    QMenu *popEditor = nullptr;
    QMenu *popWorkSpace = nullptr;
    QMenu *mnuView = nullptr;
    QAction *mnuWorkSpace = nullptr;
    QAction *mnuToolBarReset = nullptr;
    QAction *mnuMacroRun = nullptr;

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
    bool event(QEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void FormCreate();
    void FormPaint();
    bool FormCloseQuery();
    void FormClose();
    void BuildActions();
    void BuildMenus();
    void BuildBars();
    void BuildWorkSpace();
    void DockDefaultRows();
    void BuildHelp();
    void ConnectUpdates();
    void ApplyPendingLayout();
    void WorkSpaceRenamed(QTreeWidgetItem *item, const QString &text);
    TkdConnForm *ConnectionOfObjectList(QObject *list) const;
    // Tiles the child windows in one column (Qt::Vertical) or one row (Qt::Horizontal).
    void TileChildren(Qt::Orientation orientation);
    void OpenWindow(const QString &key, bool needsConnection, const QVariantHash &values = {});
    void EndTransaction(const QString &verb);
    QMdiSubWindow *SubWindowOf(QWidget *window) const;
    void ShowChild(QWidget *window);
    void SubWindowActivated(QMdiSubWindow *sub);
    void TaskBarMenu(QToolButton *button, const QPoint &pos);

    QStringList FArgs;
    TLogonValues FSwitches;
    bool FFirstPaintDone = false;
    bool FClosing = false;
    bool FDestroying = false;
    QList<TCloseStep> FCloseSteps;
    QHBoxLayout *FTaskLayout = nullptr;
    QButtonGroup *FTaskGroup = nullptr;
    QMenu *popTask = nullptr;
    mutable QHash<int, QIcon> FImages;
    QHash<QString, QAction *> FActions;
    QPointer<QMenu> FMergedMenu;
    QAction *FMergedAction = nullptr;
    QByteArray FDefaultBarState;
    QDialog *FFindDialog = nullptr;
    QDialog *FReplaceDialog = nullptr;
    QLineEdit *FFindText = nullptr;
    QCheckBox *FFindCase = nullptr;
    QLineEdit *FReplFind = nullptr;
    QLineEdit *FReplText = nullptr;
    QCheckBox *FReplCase = nullptr;
    QPointer<QObject> FWatchedSelection;
    THTMLHelp *FHelp = nullptr;
    int FWorkSpaceStyle = 1;
    int FWorkSpaceSize = 46;
    bool FSizePending = false;
};
