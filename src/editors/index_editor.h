#pragma once
// The index editor: definition (kind, access method, unique, table, columns or expressions),
// source and tablespace of one index. A changed index is dropped and created again in one
// transaction; a change of the tablespace alone is ALTER INDEX ... SET TABLESPACE. An index
// that backs a constraint, and an index of a TOAST table, open read-only.
#include "editors/index_script.h"
#include "editors/object_editor.h"

#include <QMap>

class QLabel;
class QPushButton;
class QStackedWidget;
class TColumnChooser;
class TkdCheckBox;
class TkdComboBox;

// What an access method can do (pg_indexam_has_property).
struct TIndexMethod {
    QString Name;
    bool CanUnique = false;
    bool CanMultiCol = false;
    bool CanInclude = false;
};

class TfrmIndex : public TObjectEditor
{
    Q_OBJECT
public:
    TfrmIndex(TkdConnForm *Owner, const TObjectArgs &Args, TSourceMode Mode);

    static const TEditorPolicy &IndexPolicy();
    // The editor table's entries (code 46).
    static QWidget *Open(TkdConnForm *Owner, const TObjectArgs &Args);
    static void Script(TkdConnForm *Owner, const TObjectArgs &Args, TScriptSink &Sink);

    // The index as the controls describe it (loaded parts the controls do not show kept).
    TIndexDef ControlsDef() const;
    // 0 table index (columns), 1 function index (expressions).
    int GetIndexKind() const;
    // True while the window only shows the index (it backs a constraint or is a TOAST index).
    bool ReadOnly() const { return FReadOnly; }
    const TIndexDef &Loaded() const { return FLoaded; }
    const QList<TIndexMethod> &Methods() const { return FMethods; }

    // Handlers.
    void cmbIndexTypeSelect();
    void cmbMethodChange();
    void cmbTableNameExit();
    void btnConstraintClick();

    TkdComboBox *cmbIndexType = nullptr;
    TkdCheckBox *chkUnique = nullptr;
    TkdComboBox *cmbMethod = nullptr;
    TkdComboBox *cmbTableOwner = nullptr;
    TkdComboBox *cmbTableName = nullptr;
    QStackedWidget *pagIndexType = nullptr;
    QWidget *tabNormal = nullptr;
    QWidget *tabFunc = nullptr;
    TColumnChooser *fraColumns = nullptr;
    TkdMemo *txtFunc = nullptr;
    QWidget *tabStorage = nullptr;
    TkdComboBox *cmbTBS = nullptr;
    QWidget *pnlBody = nullptr;
    QLabel *lblReadOnly = nullptr;
    QPushButton *btnConstraint = nullptr;

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
    void LoadMethods();
    void LoadTablespaces();
    void ShowTableList();
    void ShowTabCol();
    void UpdateRules();
    void SetReadOnly(bool ReadOnly);
    const TIndexMethod *Method(const QString &Name) const;

    TIndexDef FLoaded;
    TIndexDef FSaved;
    QList<TIndexMethod> FMethods;
    QString FDefaultTBS;
    QString FTableName;
    QString FShownTable;
    bool FReadOnly = false;
};
