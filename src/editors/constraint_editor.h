#pragma once
// The constraint editor: one primary key, unique, foreign key, check or exclusion
// constraint of a table. A changed constraint is dropped and added again in one
// transaction; what the window does not show (DEFERRABLE, MATCH, NOT VALID, NO INHERIT,
// INCLUDE, the index's options) is kept from the server.
#include "editors/constraint_def.h"
#include "editors/object_editor.h"

class QButtonGroup;
class QGroupBox;
class QStackedWidget;
class QToolButton;
class TColumnChooser;
class TkdStringGrid;

class TfrmConst : public TObjectEditor
{
    Q_OBJECT
public:
    TfrmConst(TkdConnForm *Owner, const TObjectArgs &Args, TSourceMode Mode);

    static const TEditorPolicy &ConstPolicy();
    // The editor table's entries (code 66).
    static QWidget *Open(TkdConnForm *Owner, const TObjectArgs &Args);
    static void Script(TkdConnForm *Owner, const TObjectArgs &Args, TScriptSink &Sink);

    TConstraintDef ControlsDef() const;
    const TConstraintDef &Loaded() const { return FLoaded; }

    // Handlers.
    void cmbConstTypeChange();
    void cmbRefIndexSelect();
    void cmbAccessMethodChange();
    void btnGridInsClick();
    void btnGridDelClick();
    // The pick list of a cell of grdExclude (rows from 1).
    QStringList ExcludePickList(int Col) const;

    TkdComboBox *cmbConstType = nullptr;
    TkdComboBox *cmbTableName = nullptr;
    QWidget *pnlObj = nullptr;
    QStackedWidget *pagType = nullptr;
    QWidget *tabPrimary = nullptr; // primary key and unique share this page
    QWidget *tabForeign = nullptr;
    QWidget *tabCheck = nullptr;
    QWidget *tabExclude = nullptr;
    TColumnChooser *fraColumns = nullptr;
    TkdComboBox *cmbRefSchema = nullptr;
    TkdComboBox *cmbRefTable = nullptr;
    TkdComboBox *cmbRefIndex = nullptr;
    QGroupBox *rdoUpdateAction = nullptr;
    QGroupBox *rdoDeleteAction = nullptr;
    QButtonGroup *grpUpdate = nullptr;
    QButtonGroup *grpDelete = nullptr;
    TkdStringGrid *grdForeign = nullptr;
    TkdMemo *txtCheck = nullptr;
    QWidget *pnlExclude = nullptr;
    TkdComboBox *cmbAccessMethod = nullptr;
    QToolButton *btnGridIns = nullptr;
    QToolButton *btnGridDel = nullptr;
    TkdStringGrid *grdExclude = nullptr;
    QWidget *tabStorage = nullptr;
    TkdComboBox *cmbTBS = nullptr;

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

private:
    void SetControls(const TConstraintDef &Def);
    void ShowTabCol();
    void FillAccessMethods();
    void FillRefTables();
    void FillRefIndexes();

    TConstraintDef FLoaded;
    TConstraintDef FSaved;
    QString FTableName;
    QString FDefaultTBS;
    bool FMethodsRead = false;
    QStringList FTableColumns;
    mutable QStringList FOperators;
    mutable QString FOpClassMethod;
    mutable QStringList FOpClasses;
};
