#pragma once
// Base of every child window inside the main window, the application messages they answer,
// and the small interfaces through which core reaches the main window, the connection
// windows and the logon (all of which live in higher layers).
#include "core/kdconnservices.h"
#include "core/kdmessage.h"
#include "core/kdmainservices.h"
#include "core/kdsub_options.h"

#include <QEvent>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <exception>
#include <functional>

class QIcon;
class QMenu;
class QAction;
namespace db { class Connection; class Query; }
class TScriptSink;
#include <QTabWidget>
#include <QToolButton>

// ---------------------------------------------------------------------------------------------
// Application messages (core/kdmessage.h).

// Sends `msg` synchronously to each window in order (windows that vanish meanwhile are skipped).
void SendKdMessage(const QList<QWidget *> &windows, TkdMessage msg, qintptr wParam = 0, qintptr lParam = 0);

// ---------------------------------------------------------------------------------------------
// The silent abort: ends an operation without any message. Every event handler that catches
// exceptions lets this one pass quietly.

class EAbort : public std::exception
{
public:
    const char *what() const noexcept override { return "operation aborted"; }
};

// Runs `fn`; returns true when it finished. A silent abort returns false without a message;
// any other exception is shown through the one message routine and returns false. Slots and
// event handlers wrap their work in it so that no exception crosses a Qt event dispatch.
bool GuardedCall(const std::function<void()> &fn);
// Shows `text` through the one message routine with the error icon and an OK button.
void ShowError(const QString &text);

// ---------------------------------------------------------------------------------------------
// Wait cursor for database work: set on construction, the previous cursor restored on every
// exit path.

class TkdWaitCursor
{
public:
    TkdWaitCursor();
    ~TkdWaitCursor();
    TkdWaitCursor(const TkdWaitCursor &) = delete;
    TkdWaitCursor &operator=(const TkdWaitCursor &) = delete;
private:
    bool FActive;
};

// A long loop on the user-interface thread: each step shows its progress in the main window's
// status bar and polls the Esc key; the end of the scope restores the object count.
class TkdLoopScope
{
public:
    TkdLoopScope();
    ~TkdLoopScope();
    TkdLoopScope(const TkdLoopScope &) = delete;
    TkdLoopScope &operator=(const TkdLoopScope &) = delete;
    // Shows "now / max" (max <= 0: a running count) and returns true when Esc was pressed.
    bool Step(int nowCount, int maxCount);
    // True while any loop scope is alive.
    static bool Active();
private:
    TkdLoopScope *FOuter;
};

// ---------------------------------------------------------------------------------------------
// The connection window as core and the application frame see it. The browser's TfrmObject
// implements it; its object is the window widget itself.

class TkdConnForm : public TkdConnServices
{
public:
    virtual QWidget *Widget() = 0;
    // The connection identity (user " @ " database "/" server ":" port).
    QString Identity() const { return FormatRecParam(RecParam(), 0); }
    // Items and selected items of the object list (for the status bar).
    virtual int ObjectCount() const = 0;
    virtual int SelectedObjectCount() const = 0;
    // Runs one statement on the window's connection; errors are thrown.
    virtual void ExecuteSQL(const QString &sqlText) = 0;
    // The window became the active child window: select its own selector item, press its button.
    virtual void FormActivate() = 0;
    // Opens the editor window of an object-type code for the object (an empty ObjectName asks
    // for a new object). Returns the new window, or nullptr when none was created (an open
    // window of the same object was raised instead, the code has no editor, or building it
    // failed). OID identifies a function (code 52; 0 = none); TableName is the table of a
    // trigger, constraint or rule. The connection window implements it with the editor table.
    virtual QWidget *OpenObject(int ObjectType, const QString &Schema, const QString &ObjectName,
                                TOpenMode OpenMode = omDefine, bool ShowRefObject = false,
                                int DefTopRecord = 0, quint32 OID = 0,
                                const QString &TableName = QString())
    {
        Q_UNUSED(ObjectType); Q_UNUSED(Schema); Q_UNUSED(ObjectName); Q_UNUSED(OpenMode);
        Q_UNUSED(ShowRefObject); Q_UNUSED(DefTopRecord); Q_UNUSED(OID); Q_UNUSED(TableName);
        return nullptr;
    }
    // Lookups of the embedded frames. OpenSQL opens `sqlText` with its colon parameters set, in
    // order of first appearance, to `values` (text, typed by the server) and returns the query
    // positioned on the first row; it stays valid until the next service call of the window.
    // GetUser: the login roles by name (then "public" when asked); GetRole: the roles that
    // cannot log in; GetTBS: the tablespaces. Errors are thrown. A window without a server
    // refuses them.
    virtual db::Query *OpenSQL(const QString &sqlText, const QStringList &values);
    virtual void GetUser(QStringList &listData, bool addPublic);
    virtual void GetRole(QStringList &listData);
    virtual void GetTBS(QStringList &listData);
    // Writes the DDL script of an object (a DDL line list) to Sink, through the editor
    // table: NewSchema/NewObjectName script a copy of a table or view, OID identifies a
    // function or procedure, TableName the table of a trigger, constraint or rule. Shows
    // nothing; true when a script was written.
    virtual bool OutputScript(int ObjectType, const QString &Schema, const QString &ObjectName,
                              TScriptSink &Sink, const QString &NewSchema = QString(),
                              const QString &NewObjectName = QString(), quint32 OID = 0,
                              const QString &TableName = QString());
    // The View menu's "一覧" (false) or "詳細" (true) style for the object list.
    virtual void SetObjectListStyle(bool Report) { Q_UNUSED(Report); }
    // The main window's shortcuts changed: the window copies them onto its own commands.
    virtual void SetShortCut() {}
    // The object list (the source of drags onto the work space) and its selected rows in list
    // order: caption, image index (object-type code) and sub-items as the list holds them.
    struct TObjectItem {
        QString Caption;
        int ImageIndex = -1;
        QStringList SubItems;
        int ArgsSubItem = -1; // the sub-item of a function's argument types in the list's layout
    };
    virtual QWidget *ObjectListWidget() const { return nullptr; }
    virtual QList<TObjectItem> SelectedObjectItems() const { return {}; }
    // The user-command and report submenus of the main window changed: the window copies their
    // generated items (those above the separator) into its own submenus.
    virtual void SetCommandList(QMenu *source) { Q_UNUSED(source); }
    virtual void SetReportList(QMenu *source) { Q_UNUSED(source); }
    // A generated item of those submenus was clicked while this window is current; the item's
    // "commandName" property names the command or report, its data is the sequence number of
    // a command or the kind tag of a report.
    virtual void UserCommandClick(QAction *item) { Q_UNUSED(item); }
    virtual void ReportClick(QAction *item) { Q_UNUSED(item); }
};

// ---------------------------------------------------------------------------------------------
// The main window as the child windows see it (beyond what the settings need of it). The
// application frame registers its one instance.

class TkdMainForm : public TkdMainServices
{
public:
    virtual QWidget *Widget() = 0;
    // The connection window chosen in the selector; nullptr when none.
    virtual TkdConnForm *CurrentForm() const = 0;
    // Selects the selector item attached to `form` without running the enabling rule;
    // nullptr (or a window without an item) clears the selection.
    virtual void SelectConnection(TkdConnForm *form) = 0;
    // Adds a child window (an MDI child) and shows it.
    virtual void AddChildWindow(QWidget *window) = 0;
    // The child windows in creation order.
    virtual QList<QWidget *> ChildWindows() const = 0;
    // Creates the task-bar button of `window` (grouped, checkable, pressed); the caller owns it.
    virtual QToolButton *CreateTaskButton(QWidget *window) = 0;
    // Image `index` of the main image list (index = object-type code for object kinds).
    virtual QIcon Image(int index) const = 0;
    virtual void SetDefMessage() = 0;
    virtual void SetLoopMessage(int nowCount, int maxCount) = 0;
    // Writes a text into the message panel of the status bar.
    virtual void SetStatusText(const QString &text) = 0;
    // A connection window joins the selector (appended, selected, enabling rule run) or leaves it
    // (its own item removed, the last remaining item selected, enabling rule run).
    virtual void AddConnection(TkdConnForm *form) = 0;
    virtual void RemoveConnection(TkdConnForm *form) = 0;
    // The open connection windows in the selector's order.
    virtual QList<TkdConnForm *> Connections() const = 0;
    // The open connection window whose identity equals `identity` exactly; nullptr when none.
    virtual TkdConnForm *GetDBForm(const QString &identity) const = 0;
    // The last child window that is a `cls` (or derived) with exactly this caption; shown and
    // brought to the front when `show`; nullptr when none.
    virtual QWidget *FindWindow(const QMetaObject *cls, const QString &caption, bool show) = 0;
    template <class T>
    T *FindWindow(const QString &caption, bool show)
    {
        return static_cast<T *>(FindWindow(&T::staticMetaObject, caption, show));
    }
    // The menu of the active child window joins the main menu bar after the View menu; a
    // window sets its menu when it becomes active and clears it (nullptr) when it stops being
    // active. Setting another menu replaces the one shown.
    virtual void MergeMenu(QMenu *menu) { Q_UNUSED(menu); }
    // Takes menu out of the menu bar only when it is the merged one: a window that closes
    // never removes the menu another, active window merged.
    virtual void UnmergeMenu(QMenu *menu) { Q_UNUSED(menu); }
    // The object-list style chosen in the View menu ("詳細": true), which a connection window
    // takes when it opens.
    virtual bool ObjectListReport() const { return true; }
    // Refills the work space list from the store, without the entries of EraseForm.
    virtual void ShowWorkSpace(TkdConnForm *EraseForm) { Q_UNUSED(EraseForm); }
    // True while the main window is closing down (child windows were already asked).
    virtual bool Closing() const = 0;

    static TkdMainForm *Instance();
    static void SetInstance(TkdMainForm *mainForm);
};

// ---------------------------------------------------------------------------------------------
// The logon as the main window reaches it: registered at start-up by the program.

struct TLogonValues
{
    QString Host, Port, Database, Schema, UserID, Password;
    bool operator==(const TLogonValues &) const = default;
};

using TLogonProc = std::function<bool(const TLogonValues &values, bool autoPass)>;
void SetLogonProc(TLogonProc proc);
// Runs the registered logon; false when none is registered.
bool RunLogon(const TLogonValues &values, bool autoPass);

// ---------------------------------------------------------------------------------------------
// What a child window does with each of its controls when it is built (the shared editor
// settings of the controls layer, and the letter-case reset of text and combo boxes under the
// lower-case name option); registered at start-up by the program.

using TControlHook = std::function<void(QWidget *control)>;
void SetControlHook(TControlHook hook);

// ---------------------------------------------------------------------------------------------
// What a child window does with a code-assist request of one of its SQL editors (the provider
// and popup of the controls layer); registered at start-up by the program.

class TkdForm;
using TCodeAssistHook = std::function<void(TkdForm *form, QWidget *editor, int x, int y)>;
void SetCodeAssistHook(TCodeAssistHook hook);

// ---------------------------------------------------------------------------------------------
// Base child window.

enum TSourceMode { smShow, smText };

// The schema prefix ("schema.") of a name in generated DDL: in script text it follows the
// script option Owner (always, only when the schema differs from compareSchema, never);
// otherwise the quoted schema and "." whenever there is a schema.
QString SchemaPrefixFor(TSourceMode mode, const QString &schema, const QString &compareSchema);

class TkdForm : public QWidget
{
    Q_OBJECT
public:
    // `owner` decides the connection: a connection window itself, the main window's current
    // connection, or the OwnerForm of another TkdForm; anything else leaves none.
    explicit TkdForm(QObject *owner);
    ~TkdForm() override;

    TkdConnForm *OwnerForm() const { return FOwnerWidget ? FOwnerForm : nullptr; }
    // True while OwnerForm is set and still among the open connections (DBChange asks this).
    bool OwnerFormOpen() const;
    // A different value rebinds every query of the window (closed first) to the new owner's
    // connection, then emits OwnerFormChanged; nullptr closes and unbinds them.
    void SetOwnerForm(TkdConnForm *value);
    int ObjType() const { return FObjType; }
    void SetObjType(int value);
    bool IsNew() const { return FIsNew; }
    void SetIsNew(bool value);
    bool Modified() const { return FModified; }
    void SetModified(bool value) { FModified = value; }
    bool UseLowerName() const { return FUseLowerName; }
    QString TaskCaption() const;
    void SetTaskCaption(const QString &value);
    // Set by a window that loaded a TOAST table: its own close skips the unsaved-changes question.
    bool IsToastObject() const { return FIsToastObject; }
    void SetIsToastObject(bool value) { FIsToastObject = value; }
    QToolButton *TaskButton() const { return FTaskButton; }
    QTabWidget *PageControl() const { return FPageControl; }

    void CreateTaskButton();
    void SetTaskIcon(int index);
    QString SchemaPrefix(const QString &schema) const { return SchemaPrefix(schema, schema); }
    QString SchemaPrefix(const QString &schema, const QString &compareSchema) const;

    // Asks whether the window may close (the unsaved-changes question); saves the layout when yes.
    virtual bool CloseQuery();
    // CloseQuery unless the window was already asked during this close.
    bool CanClose() { return FCloseAsked || CloseQuery(); }
    // Called when the window becomes the active child window.
    virtual void Activate();

    virtual void ChangedIsNew() {}
    virtual void Compile() {}
    virtual void Reload() {}
    virtual void DBChange() {}
    virtual void LoadWindowLayout() {}
    virtual void SaveWindowLayout() {}

    TSourceMode SourceMode = smShow;

    // The query that code assist reads the catalogs with, bound to OwnerForm's connection at
    // each call; nullptr while the window has no connection.
    db::Query *CodeAssistQuery();

signals:
    // The connection changed: the window's queries follow it.
    void OwnerFormChanged(TkdConnForm *form);

protected:
    // Finishes construction: component walk and layout. Derived constructors call it once their
    // controls exist (C++ cannot reach derived overrides from the base constructor).
    void InitForm();
    bool event(QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;
    // Ctrl+PgUp / Ctrl+PgDn page switch; true when the key was taken.
    bool FormKeyDown(QKeyEvent *e);
    // Answers a code-assist request of one of the window's editors (F6): the registered host
    // with this window as the popup's owner. Errors are shown by the caller's guard.
    virtual void WMCodeAssist(QWidget *editor, int x, int y);

private:
    void RebindQueries(db::Connection *conn);

    TkdConnForm *FOwnerForm = nullptr;
    QPointer<QWidget> FOwnerWidget;
    int FObjType = 0;
    bool FIsNew = false;
    bool FModified = false;
    bool FUseLowerName;
    bool FIsToastObject = false;
    bool FCloseAsked = false;
    QPointer<QToolButton> FTaskButton;
    QPointer<QTabWidget> FPageControl;
    db::Query *FAssistQuery = nullptr; // child of the window
public:
    // The main window asks every child before it closes; a window already asked is not asked again.
    void MarkCloseAsked(bool asked) { FCloseAsked = asked; }
};
