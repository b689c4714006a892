#pragma once
// The base of the object editor windows: caption and identity, one window per object, the
// opening page, change tracking, the page-change, reload and close questions, the window
// size under "GUI\<key>", action enabling in one function, and the Compile, Delete and
// script pipelines. An editor adds its definition controls and fills in the hooks (load,
// own checks, must-recreate test, CREATE / ALTER / DROP text) and a policy record of the
// points where it behaves differently from the other editors.
#include "core/kdeditorreg.h"
#include "core/kdforms.h"
#include "core/kdsub_msg.h"

#include <QStringList>
#include <functional>

class QAction;
class QMenu;
class QTabWidget;
class QToolBar;
class QToolButton;
class QWidget;
class TfraCross;
class TfraGrant;
class TkdComboBox;
class TkdMemo;
class TkdStrEdit;

// What an editor does differently from the common flow.
struct TEditorPolicy {
    QString Kind;                     // caption kind: "SEQUENCE", "SCHEMA", ...
    QString LayoutKey;                // "SEQ", "SCHEMA", ... under "\Software\Tarnwell\ZUMAQ\GUI\"
    int CaptionMode = 3;              // FormatRecParam mode of the identity text
    int ObjType = 0;                  // object-type code of the window
    bool HasSchema = true;            // the name panel holds a schema box
    bool HasGrant = true;             // privilege page
    bool HasCross = true;             // reference page
    bool Preview = true;              // statements go through the preview dialog
    bool Transaction = true;          // the run is wrapped in a transaction
    bool RunLog = true;               // the run log runs the list; false: ExecuteSQL(lines)
    bool WaitAfterRollback = false;   // wait for the run log also after a rolled-back run
    int NoChangeIcon = MB_ICONWARNING; // icon of "変更箇所が見つかりませんでした。"
    bool OfferCascade = false;        // Delete offers "CASCADE オプション"
    bool CloseAfterCreate = false;    // a created new object closes the window
    bool PreviewWithSchema = true;    // the preview and saved sources receive the schema
};

// The output menu of an editor (出力 with 印刷 and ファイル保存): what differs between editors.
struct TOutputMenu {
    // Tool tip and status-bar text of 出力.
    QString OutputHint = QStringLiteral("オブジェクトの情報を外部に出力します。");
    // Status-bar text of ファイル保存 (its tool tip is "ファイル保存").
    QString SaveHint = QStringLiteral("オブジェクトの情報をファイルに保存します。");
    // The tool-bar action the 出力 button stands before; nullptr: before 削除.
    QAction *Before = nullptr;
    // The object menu gets one "出力(&P)" submenu instead of a separator, 印刷 and ファイル保存.
    bool ObjectSubmenu = false;
};

// Preview, run and wait of a compile: the real dialogs by default; tests install their own.
class TDDLRunner
{
public:
    virtual ~TDDLRunner() = default;
    // True when the statements may run (the user may edit them).
    virtual bool Preview(QStringList &Lines, const QString &Schema, const QString &Name) = 0;
    // Runs the statements on the owner's connection; ends with the silent abort when the
    // run stopped at an error (the caller rolls back).
    virtual void Run(TkdConnForm *Owner, const QStringList &Lines) = 0;
    // The same, stopping at the first failed statement whatever the run log's box says.
    virtual void RunStopping(TkdConnForm *Owner, const QStringList &Lines) { Run(Owner, Lines); }
    // Returns once the run's window (if any) has closed.
    virtual void Wait() = 0;
};

// The runner in use (the dialogs when none was installed). Installing returns the previous
// one; nullptr brings the dialogs back.
TDDLRunner &DDLRunner();
TDDLRunner *SetDDLRunner(TDDLRunner *Runner);

// Byte length limit of names (the server truncates longer ones).
constexpr int kMaxNameBytes = 63;

class TObjectEditor : public TkdForm
{
    Q_OBJECT
public:
    TObjectEditor(TkdConnForm *Owner, const TEditorPolicy &Policy, TSourceMode Mode);
    ~TObjectEditor() override;

    const TEditorPolicy &Policy() const { return FPolicy; }

    // The caption of an editor on an object: kind + " - " + the identity text (the policy's
    // FormatRecParam mode; Table for the modes that show the object's table), or
    // kind + " - 新規" for an empty name.
    static QString CaptionFor(TkdConnForm *Owner, const TEditorPolicy &Policy, const QString &Schema,
                              const QString &Name, const QString &Table = QString());

    // Texts of the name panel.
    QString SchemaText() const;
    QString NameText() const;

    // Pages and common controls (names as in every editor).
    QToolBar *tolCmd = nullptr;
    QWidget *pnlName = nullptr;
    TkdComboBox *cmbSchema = nullptr; // nullptr when the policy has no schema
    TkdStrEdit *txtName = nullptr;
    QTabWidget *pagObject = nullptr;
    QWidget *tabDefine = nullptr;
    QWidget *tabSource = nullptr;
    QWidget *tabGrant = nullptr;
    QWidget *tabCross = nullptr;
    TkdMemo *txtSource = nullptr;
    TfraGrant *fraGrant = nullptr;
    TfraCross *fraCross = nullptr;
    QAction *actCompile = nullptr;
    QAction *actRefresh = nullptr;
    QAction *actDelete = nullptr;
    QAction *actExit = nullptr;
    QMenu *mnuObject = nullptr; // the object menu the main window shows while the editor is active
    // The output menu (nullptr until the editor adds it with AddOutputMenu).
    QAction *actOutput = nullptr;
    QAction *actPrint = nullptr;
    QAction *actSave = nullptr;
    QMenu *popOutput = nullptr;
    QToolButton *btnOutput = nullptr;

    bool SourcePageShown() const;
    bool DefinePageShown() const;
    bool GrantPageShown() const;
    bool CrossPageShown() const;

    // TkdForm
    void ChangedIsNew() override;
    void Compile() override;
    void Reload() override;
    void LoadWindowLayout() override;
    void SaveWindowLayout() override;

    // Handlers (public so that hosts and tests reach them as the user would).
    void actDeleteExecute();
    void actExitExecute();
    // Output menu: drops down 出力's menu; prints; saves to a file. Print and save do
    // nothing for a new or modified object: they show the object as the server holds it.
    void actOutputExecute();
    void actPrintExecute();
    void actSaveExecute();
    // Marks the window modified and updates the actions (every editable control's change).
    void OnChange();
    // Enables the actions from the window's state; editors add theirs in UpdateEditorActions.
    void UpdateActions();
    // The load of the active page (construction, page change, reload, after a compile):
    // existing object read, source, privilege and reference pages filled; clears Modified in
    // every case. Ends with the silent abort when the object cannot be read.
    void ShowDefine();

    // Opening: page by mode, IsNew, first load; throws when the object cannot be read.
    void OpenOn(TOpenMode Mode, bool New);
    // Script mode: reads the object and gives its CREATE text (lines as written).
    QStringList ScriptLines();

protected:
    // Finishes construction once the editor's own controls exist (InitForm, change tracking).
    void FinishSetup();

    // ---- shared pieces of the editors' own pages ---------------------------------------
    // The first column of a query on the owner's connection, row by row.
    QStringList ReadList(const QString &Sql, const QStringList &Values = {}) const;
    // Adds the storage page "領域情報" (tabStorage) holding only the tablespace box "表領域"
    // (cmbTBS); returns the page and sets Box.
    QWidget *AddTablespacePage(TkdComboBox *&Box);
    // Lists the server's tablespaces in Box and selects the database's default one, which it
    // returns (signals of Box blocked).
    QString FillTablespaces(TkdComboBox *Box);

    // ---- print and file save of the object's text ----------------------------------------
    // Adds 出力 (a drop-down tool button btnOutput with popOutput: 印刷, ファイル保存) to the
    // tool bar and the object menu. Print and save take their text from OutputText; the
    // three actions are enabled for an existing object without unsaved changes.
    void AddOutputMenu(const TOutputMenu &Menu = {});
    // The text 印刷 and ファイル保存 give: the CREATE text by default.
    virtual QStringList OutputText();
    // The print dialog with one text titled schema.name, read by Lines when the pages are made.
    void PrintObjectText(const std::function<QStringList()> &Lines);
    // The save dialog proposing FileDir + "schema.name.sql"; the lines are written without a
    // byte-order mark, CR LF after each, in the file encoding, replacing the file only once
    // all is written. FileDir follows the chosen folder; a failure raises TkdFileError.
    void SaveObjectText(const QStringList &Lines);

    // ---- hooks -------------------------------------------------------------------------
    // Reads the existing object into the definition controls (skipped for a new object) and
    // snapshots every change-tracking control. A missing object: ObjectMissing().
    virtual void LoadDefinition() = 0;
    // The snapshots of the definition controls (after a load, also for a new object).
    virtual void SaveControls() = 0;
    // The editor's own checks after the name and schema checks (warning, focus, EAbort).
    virtual void ValidateInput() {}
    // True when the compile drops and creates the object.
    virtual bool MustRecreate() const;
    virtual void GetSourceCreate(QStringList &Lines) = 0;
    virtual void GetSourceAlter(QStringList &Lines) = 0;
    virtual void GetSourceDrop(QStringList &Lines) = 0;
    // The DROP statement of Delete (one statement, no ";").
    virtual QString DropStatement(bool Cascade) const = 0;
    // A re-creation of an existing object: the editor may turn the statement list (the DROP
    // and CREATE text or the source page's text) into its own list, ask its questions and
    // end with the silent abort. Returns true when the list must stop at its first error.
    virtual bool FinishRecreate(QStringList &Lines) { Q_UNUSED(Lines); return false; }
    // After a successful commit, before the reload (`Recreated`: the must-recreate test as
    // it was before the run, `WasNew`: the object was new).
    virtual void AfterCommit(bool Recreated, bool WasNew) { Q_UNUSED(Recreated); Q_UNUSED(WasNew); }
    // Editor-specific part of ChangedIsNew and of action enabling.
    virtual void ChangedIsNewEditor() {}
    virtual void UpdateEditorActions() {}
    // The page a window opens on (1 source, 3 references, 4 privileges, other: definition;
    // a new object: definition).
    virtual QWidget *OpeningPage(TOpenMode Mode, bool New);
    // Arguments of the privilege and reference frames.
    virtual void ShowGrant();
    virtual void ShowCross();

    // Shows "定義情報を読み込めませんでした。" in a shown window and ends with the silent abort.
    [[noreturn]] void ObjectMissing();
    // Warning with focus on the control, then the silent abort.
    [[noreturn]] void Refuse(const QString &Text, QWidget *Focus);
    // Refuses a name longer than the server keeps.
    void CheckNameLength(const QString &Text, QWidget *Focus);

private:
    void pagObjectChange(int Index);
    bool pagObjectChanging();
    void SetPage(QWidget *Page);
    void SaveSource(bool After);
    void CloseWindow();

    TEditorPolicy FPolicy;
    int FPage = 0;
    bool FLoading = false;
};

// Shows an editor built for the editor table: the first load on the page of Mode, then the
// main window's child list, the task button, the caption and the actions. A window whose
// first load fails is deleted and the error passes on.
QWidget *ShowEditorWindow(TObjectEditor *Editor, TOpenMode Mode, bool New);

// Open functions of the editor table for an editor class T. The duplicate check by caption
// raises the open window and gives nullptr; otherwise MakeWindow builds the window (the
// shorter forms: T(owner, args, smShow)) and ShowEditorWindow shows it. The caption comes
// from the policy (schema and name, and the table for kinds whose identity holds one)
// unless given.
template <class T, class Make>
QWidget *OpenEditorWindow(const TObjectArgs &Args, const QString &Caption, Make &&MakeWindow)
{
    TkdMainForm *host = TkdMainForm::Instance();
    if (!Args.ObjectName.isEmpty() && host && host->FindWindow(&T::staticMetaObject, Caption, true))
        return nullptr;
    T *w = MakeWindow();
    return ShowEditorWindow(w, Args.OpenMode, Args.ObjectName.isEmpty());
}

template <class T>
QWidget *OpenEditorWindow(TkdConnForm *Owner, const TObjectArgs &Args, const QString &Caption)
{
    return OpenEditorWindow<T>(Args, Caption, [&] { return new T(Owner, Args, smShow); });
}

template <class T>
QWidget *OpenEditorWindow(TkdConnForm *Owner, const TObjectArgs &Args, const TEditorPolicy &Policy)
{
    return OpenEditorWindow<T>(
        Owner, Args, TObjectEditor::CaptionFor(Owner, Policy, Args.Schema, Args.ObjectName, Args.TableName));
}
