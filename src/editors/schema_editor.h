#pragma once
// The schema editor: owner and the CREATE and USAGE privileges of one schema for PUBLIC,
// each group role and each login role; it creates, alters, scripts and drops the schema.
#include "editors/object_editor.h"
#include "editors/schema_def.h"

class TkdCheckBox;
class TkdComboBox;
class TPrivilegeList;

class TfrmSchema : public TObjectEditor
{
    Q_OBJECT
public:
    TfrmSchema(TkdConnForm *Owner, const TObjectArgs &Args, TSourceMode Mode);

    static const TEditorPolicy &SchemaPolicy();
    // The editor table's entries (codes 4 and 126).
    static QWidget *Open(TkdConnForm *Owner, const TObjectArgs &Args);
    static void Script(TkdConnForm *Owner, const TObjectArgs &Args, TScriptSink &Sink);

    TSchemaDef ControlsDef() const;
    void SetControls(const TSchemaDef &Def);
    // Opens the role or user editor of the selected line of a list.
    void OpenRoleOfLine(TPrivilegeList *List);

    TkdComboBox *cmbOwner = nullptr;
    TkdCheckBox *chkCreate = nullptr;
    TkdCheckBox *chkUsage = nullptr;
    TPrivilegeList *chkRole = nullptr;
    TPrivilegeList *chkUser = nullptr;

protected:
    void LoadDefinition() override;
    void SaveControls() override;
    void ValidateInput() override;
    void GetSourceCreate(QStringList &Lines) override;
    void GetSourceAlter(QStringList &Lines) override;
    void GetSourceDrop(QStringList &Lines) override;
    QString DropStatement(bool Cascade) const override;

private:
    QStringList RoleOrder() const;
    void ShowOwnerList();

    TSchemaDef FSaved;
    bool FAclExplicit = false;
};
