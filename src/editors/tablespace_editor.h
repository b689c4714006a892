#pragma once
// The tablespace editor: creates a tablespace, changes its owner, its options and the
// CREATE privilege of group roles, moves it to another folder, drops it, and lists the
// relations of the connected database stored in it with their sizes, from where they are
// opened or dropped. CREATE and DROP TABLESPACE cannot run inside a transaction block, so
// the compile and Delete refuse while the user's block is open, before anything runs. A
// location change creates the new tablespace under a temporary name first, so a folder
// the server refuses leaves the old tablespace as it was.
#include "editors/object_editor.h"
#include "editors/tablespace_def.h"

class QAction;
class QLabel;
class QToolButton;
class TkdListView;
class TkdStringGrid;
class TPrivilegeList;

class TfrmTBS : public TObjectEditor
{
    Q_OBJECT
public:
    TfrmTBS(TkdConnForm *Owner, const TObjectArgs &Args, TSourceMode Mode);

    static const TEditorPolicy &TBSPolicy();
    // The editor table's entries (code 69).
    static QWidget *Open(TkdConnForm *Owner, const TObjectArgs &Args);
    static void Script(TkdConnForm *Owner, const TObjectArgs &Args, TScriptSink &Sink);

    void Compile() override;
    bool ContentsPageShown() const;
    // The definition as loaded.
    const TTablespaceDef &Loaded() const { return FDef; }

    // Handlers, public so that tests reach them as the user would.
    void actDeleteTablespace();
    void actOpenObjectExecute();
    void actDelObjectExecute();
    void btnDirClick();
    void ShowContents();
    // The tablespace's size in every database (superusers only; "(非表示)" otherwise).
    void ShowTotalSize();
    // True when the connection's server runs on this machine (the folder picker is offered).
    bool ServerIsLocal() const;

    TkdComboBox *cmbOwner = nullptr;
    TkdStrEdit *txtDir = nullptr;
    QToolButton *btnDir = nullptr;
    TPrivilegeList *chkRole = nullptr;
    TkdStringGrid *grdTbsOption = nullptr;
    QWidget *tabContents = nullptr;
    QLabel *lblAllUseSize = nullptr;
    QLabel *lblSelfUseSize = nullptr;
    TkdListView *lstObject = nullptr;
    QAction *actOpenObject = nullptr;
    QAction *actDelObject = nullptr;

protected:
    void LoadDefinition() override;
    void SaveControls() override;
    void ValidateInput() override;
    bool MustRecreate() const override;
    void GetSourceCreate(QStringList &Lines) override;
    void GetSourceAlter(QStringList &Lines) override;
    void GetSourceDrop(QStringList &Lines) override;
    QString DropStatement(bool Cascade) const override;
    void ChangedIsNewEditor() override;
    void UpdateEditorActions() override;

private:
    void FillOwners();
    void ShowRoleList();
    QList<TTablespaceOptionRow> OptionRows() const;
    // The option rows plus the options the grid does not show, as loaded.
    QList<TTablespaceOptionRow> AllOptionRows() const;
    // The access list the controls stand for: the group roles as ticked, every other
    // grantee (login roles, PUBLIC, the owner) as loaded.
    QList<TAclEntry> CurrentAcl() const;
    bool CurrentAclNull() const;
    bool Moving() const;
    void GetSourceGrant(QStringList &Lines, bool CreateMode) const;
    // After a location change: a temporary tablespace left behind is dropped again (the old
    // one still stands) or takes the name (the old one is gone).
    void RepairMove();
    // Refuses (warning, silent abort) while the connection holds an open transaction block.
    void RefuseInsideBlock() const;

    TTablespaceDef FDef;
    QList<bool> L_wRoleR;
    QStringList FRoles;
    QString FTempName;
};
