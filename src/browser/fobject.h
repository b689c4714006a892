#pragma once
// The connection window: one per logon. It owns the connection `dbsMain` that every window
// working on that database uses, runs SQL for them, joins the main window's connection
// selector while it is open, and rolls back and disconnects when it closes. The object tree
// and the object list fill the two panes of the window.
#include "core/kdforms.h"
#include "core/kdeditorreg.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class QSplitter;
class QToolButton;
class QTreeWidget;
class TObjectListPane;
class TObjectListView;
class TObjectTreePane;

// The identity of a logon as the logon dialog passes it.
// Text without the blanks and control characters (code 32 or below) at both ends.
QString TrimCtl(const QString &s);

// Empties the objects of the last copy (every connection window's close does it).
void ClearCopiedObjects();
bool HasCopiedObjects();

struct TConnectArgs
{
    QString Host, Port, Database, Schema, UserID, Password;
};

class TfrmObject : public QWidget, public TkdConnForm
{
    Q_OBJECT
public:
    // Builds, connects and joins the main window; throws (leaving no window) when the
    // connection cannot be opened or a required step fails.
    static TfrmObject *Create(const TConnectArgs &args);
    ~TfrmObject() override;

    // TkdConnServices / TkdConnForm
    db::Connection *dbsMain() const override { return FdbsMain.get(); }
    QString ConnectionParam(const QString &name) const override;
    int DBVer() const override { return FDBVer; }
    int DBAMODE() const override { return 0; }
    QWidget *Widget() override { return this; }
    int ObjectCount() const override;
    int SelectedObjectCount() const override;
    void ExecuteSQL(const QString &sqlText) override;
    void FormActivate() override;
    QWidget *ObjectListWidget() const override;
    QList<TObjectItem> SelectedObjectItems() const override;

    // SQL services: every statement of the windows on this connection runs through these.
    // A statement list: lines whose trimmed text is ";" end a statement; blank statements are
    // skipped. With ignoreError a failing statement is passed over (the open transaction stays
    // usable); otherwise the first failure ends the call.
    void ExecuteSQL(const QStringList &sqlText, bool ignoreError);
    // One statement with its colon parameters set, in order of first appearance, to `values`.
    void ExecuteSQL(const QString &sqlText, const QStringList &values);
    // Opens `sqlText` on qryExec and returns it, positioned on the first row. The result stays
    // valid until the next service call of this window.
    db::Query *OpenSQL(const QString &sqlText);
    db::Query *OpenSQL(const QString &sqlText, const QStringList &values) override;
    void GetUser(QStringList &listData, bool addPublic) override;
    void GetRole(QStringList &listData) override;
    void GetTBS(QStringList &listData) override;
    void GetObject(QStringList &listData, const QString &schema, const QString &objectType);
    void GetDataType(QStringList &listData, int objType);
    QString VerStr(int version, const QString &s1, const QString &s2) const
    {
        return FDBVer < version ? s2 : s1;
    }
    void GetSchemaInfo(QStringList &listData, bool objList);
    int GetMySID();
    QString GetObjComment(int objType, int oid);

    // Object windows, scripts and saved sources (fobject_script.cpp): OpenObject goes through
    // the editor table. SaveBeforeSource/SaveAfterSource keep the object's script in a file
    // just before and after an editor changes it, as the options ask; they raise a failing
    // name-table query, folder or file to the editor, and a cancelled save dialog skips.
    QWidget *OpenObject(int ObjectType, const QString &Schema, const QString &ObjectName,
                        TOpenMode OpenMode = omDefine, bool ShowRefObject = false,
                        int DefTopRecord = 0, quint32 OID = 0,
                        const QString &TableName = QString()) override;
    void SaveBeforeSource(const QString &Schema, const QString &ObjectName, int ObjectType,
                          quint32 OID = 0, const QString &TableName = QString());
    void SaveAfterSource(const QString &Schema, const QString &ObjectName, int ObjectType,
                         quint32 OID = 0, const QString &TableName = QString());
    // GRANT statements rebuilt from the access lists, as a DDL line list (fobject_grant.cpp).
    // intMode 1: every privilege on one object (strObjCls "TABLE", "VIEW", "FUNCTION",
    // "PROCEDURE", "TYPE" or "SEQUENCE"; strOid a function's OID); any other mode: every
    // privilege the role named by Schema holds. Server errors pass to the caller.
    void OutputGrant(const QString &Schema, const QString &ObjectName, TScriptSink &Sink,
                     int intMode, const QString &strObjCls, const QString &strOid);

    // The object tree and list (browser/objtree.h, browser/objlist.h; wired in
    // fobject_list.cpp). ShowTree rebuilds the tree; ShowObject refills the list for the
    // selected node (with isGrep the find text is ignored). Both throw on server errors.
    virtual void ShowTree();
    virtual void ShowObject(bool isGrep);

    // Object commands (fobject_commands.cpp). The actions are children of the window named as
    // the commands ("actDelete"); the menu "オブジェクトリスト(&O)" doubles as the list's
    // context menu and stands in the main menu bar while the window is active.
    QAction *Action(const QString &name) const;
    // Enables and shows the commands for the tree node and the selection.
    void mnuObjectClick();
    // Shows the tree pop-up's entries for the node under it.
    void popTreePopup();
    // Copies the main window's shortcuts onto the commands of the same name.
    void SetShortCut() override;
    // Rebuilds the user-command submenu from the main window's user-command menu (its items
    // above the separator); nullptr empties it.
    void SetCommandList(QMenu *source) override;
    // The report submenu's items (none yet).
    void SetReportList() {}
    // The per-object loop: walks the selected rows in list order while Esc is not pressed;
    // each processed row is deselected unless `act` returns false; the status bar shows the
    // progress; cursor, status and list are restored on every exit. Returns the number of
    // rows `act` ran for.
    int ObjectLoop(bool scroll, const std::function<bool(int row)> &act);
    // One step of a loop: the progress, and Esc looked for at most every 50 ms (a key press
    // is answered well within 0.2 s while a step costs no event processing).
    struct TLoopStep {
        qint64 FLast = -1;
        bool Escape(class TkdLoopScope &loop, int count, int total);
    };
    void OpenSelected(TOpenMode mode, int topRecord);
    void actNewExecute(int objectType);
    void actOpenDataTopExecute();
    void actDeleteExecute();
    void actRenameExecute();
    void actIndexFragmentExecute();
    void actCopyExecute();
    // Registers the selected objects in the work space (each once per connection).
    void actAddWorkSpaceExecute();
    // Recreates every copied object under a new name in the schema selected in the tree
    // (fobject_copy.cpp).
    void actPasteExecute();
    // A user command item of the main window's menu, run here (file errors pass to the caller).
    void UserCommandClick(QAction *item) override;
    // Runs the user command of that name (fobject_usercmd.cpp): once, or once per selected
    // object when its text holds "&". File errors are thrown; statement errors are shown.
    void RunUserCommand(const QString &name);
    // Script output, print and full-text search (fobject_output.cpp).
    void actScriptExecute();
    void actPrintExecute();
    void PrintSelected();
    void actGrepExecute();
    // Searches the scripts of the candidates of a scope (0 selected, 1 listed, 2 the node
    // reloaded without the find text, 3 every object) for word; the list shows the hits.
    void Grep(const QString &word, int scope, bool charCase);
    // The script of a list row into sink; false when nothing was written.
    bool WriteItemScript(int row, TScriptSink &sink);
    // Whether an index backs a primary-key or unique constraint (its table's script has it).
    bool BacksConstraint(const QString &schema, const QString &name);
    // Rename in place: whether a row may be edited, and the end of an edit.
    bool lstObjectEditing(int row) const;
    bool lstObjectEdited(int row, QString &text);

    QMenu *mnuObject = nullptr;
    QMenu *mnuNew1 = nullptr;
    QMenu *mnuReport = nullptr;
    QMenu *mnuCommand = nullptr;
    QMenu *popTree = nullptr;
    // True when the server's version text ("SELECT version()") contains "linux". Read from
    // the server on first use, not at logon: no logon step needs it, and the logon saves a
    // round trip. False when the statement fails.
    bool g_Linux_Ver();

    QString DBName;
    int MYSID = -1;
    int Disp = 0;
    bool DBAMODEFlag = false;
    QTreeWidget *trvObject = nullptr;
    TObjectListView *lstObject = nullptr;
    TObjectTreePane *FTreePane = nullptr;
    TObjectListPane *FListPane = nullptr;
    QWidget *pnlTree = nullptr;
    QSplitter *splObject = nullptr;
    QPointer<QToolButton> FTaskButton;
    QPointer<QWidget> FieldWindow;

protected:
    bool event(QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    TfrmObject();
    void CreateCommands();
    void BuildObjectMenus();
    QAction *NewCommand(const QString &name, const QString &caption, const QString &hint, int image,
                        const std::function<void()> &run);
    void CreateSteps(const TConnectArgs &args);
    void CreateObjectPanes();
    bool FormCloseQuery();
    void FormClose();
    void LoadWindowLayout();
    void SaveWindowLayout();
    void ReadServerVersion();
    // OpenSQL for the window's own catalog look-ups, whose results are small and read whole:
    // the query goes out as it is, without a cursor around it (one round trip).
    db::Query *OpenLookup(const QString &sqlText, const QStringList &values = {});
    void RunStatement(const QString &sqlText);
    // Runs qryExec's prepared text (opened when it is a query) and closes it, also on failure.
    void RunPrepared();
    // Sets qryExec's text with parameter creation on and gives the parameters `values` in order.
    void PrepareWithValues(const QString &sqlText, const QStringList &values);

    std::unique_ptr<db::Connection> FdbsMain;
    std::unique_ptr<db::Connection> FdbsBG;
    std::unique_ptr<db::Connection> FdbsTrace;
    db::Query *qryExec = nullptr;
    db::Query *qryObject = nullptr;
    int FDBVer = 0;
    bool FJoined = false;
    std::optional<bool> FLinuxVer;
    // The schema list read at logon, handed to the object tree's first build so that the
    // logon reads it once; empty afterwards.
    std::optional<QStringList> FLogonSchemas;
    bool FClosed = false;
    // A close was asked while the object list filled: the fill stops and the window closes
    // once it has returned (the fill still uses the window's connection and list).
    bool FCloseAfterFill = false;

public:
    // While one lives, OpenSQL with values reads its result whole in one round trip (the
    // loops that build scripts of many objects, whose queries are catalog look-ups).
    struct TScriptLoopScope {
        explicit TScriptLoopScope(TfrmObject *f) : F(f) { ++F->FScriptLoops; }
        ~TScriptLoopScope() { --F->FScriptLoops; }
        TScriptLoopScope(const TScriptLoopScope &) = delete;
        TScriptLoopScope &operator=(const TScriptLoopScope &) = delete;
        TfrmObject *F;
    };

private:
    int FScriptLoops = 0;
};
