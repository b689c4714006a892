#pragma once
// The trigger editor: timing, events, row level, UPDATE OF columns, WHEN, constraint
// triggers with FROM and deferral, the trigger function and its arguments. An existing
// trigger is never altered: Compile drops and creates it in one transaction through the
// connection window, so a refused CREATE leaves the old trigger as it was.
#include "editors/object_editor.h"
#include "editors/trigger_def.h"

class QGroupBox;
class QLabel;
class QToolButton;
class TkdCheckBox;
class TkdComboBox;
class TkdRadioButton;
class TkdStrEdit;

class TfrmTrigger : public TObjectEditor
{
    Q_OBJECT
public:
    TfrmTrigger(TkdConnForm *Owner, const TObjectArgs &Args, TSourceMode Mode);

    static const TEditorPolicy &TriggerPolicy();
    // The editor table's entries (code 57).
    static QWidget *Open(TkdConnForm *Owner, const TObjectArgs &Args);
    static void Script(TkdConnForm *Owner, const TObjectArgs &Args, TScriptSink &Sink);

    QString TableText() const;
    // The trigger as the controls show it (the loaded enabled state and transition tables
    // kept). Throws nothing; the argument and column texts are read leniently (see
    // ValidateInput for the checks).
    TTriggerDef ControlsDef() const;
    void SetControls(const TTriggerDef &Def);
    const TTriggerDef &LoadedDef() const { return FLoaded; }

    // Shows or hides INSTEAD OF, the constraint box and both constraint groups by the
    // server version (they need 90100); the constructor applies the connection's.
    void ApplyVersionGate(int DBVer);
    int VersionGate() const { return FDBVer; }
    // The control rules on the current ticks (after every load and each change).
    void SetControlState();
    // "TABLE", "VIEW" or empty for a name in a schema.
    QString GetTableType(const QString &Name, const QString &Schema) const;
    // Names of kind "TABLE" (tables, partitioned and foreign tables), "VIEW", or both.
    QStringList GetTableList(const QString &Schema, const QString &Kind) const;
    QStringList GetFunctionList() const;

    void btnFieldClick();

    QWidget *grpHead = nullptr;
    QGroupBox *grpTiming = nullptr;
    TkdRadioButton *rdoBefore = nullptr;
    TkdRadioButton *rdoAfter = nullptr;
    TkdRadioButton *rdoInstead = nullptr;
    QGroupBox *grpEvent = nullptr;
    TkdCheckBox *chkInsert = nullptr;
    TkdCheckBox *chkUpdate = nullptr;
    TkdCheckBox *chkDelete = nullptr;
    TkdCheckBox *chkTruncate = nullptr;
    TkdCheckBox *chkRow = nullptr;
    QLabel *lblUpdCol = nullptr;
    TkdStrEdit *txtUpdCol = nullptr;
    QToolButton *btnField = nullptr;
    QLabel *lblWhen = nullptr;
    TkdStrEdit *txtWhen = nullptr;
    TkdCheckBox *chkConstraint = nullptr;
    QGroupBox *grpConstraint = nullptr;
    QLabel *lblRefSkm = nullptr;
    TkdComboBox *cmbRefSkm = nullptr;
    QLabel *lblRefTblNm = nullptr;
    TkdComboBox *cmbRefTblNm = nullptr;
    QGroupBox *grpDefTiming = nullptr;
    TkdCheckBox *chkDeferrable = nullptr;
    QGroupBox *grpLimChkTim = nullptr;
    TkdRadioButton *rdoSentence = nullptr;
    TkdRadioButton *rdoTran = nullptr;
    QGroupBox *grpFnc = nullptr;
    QLabel *lblFncSkm = nullptr;
    TkdComboBox *cmbFncSkm = nullptr;
    QLabel *lblFnc = nullptr;
    TkdComboBox *cmbFncNm = nullptr;
    QLabel *lblParam = nullptr;
    TkdStrEdit *txtParam = nullptr;
    QLabel *lblTableName = nullptr;
    TkdComboBox *cmbTableName = nullptr;

protected:
    void LoadDefinition() override;
    // No snapshots (a trigger is never altered); a new trigger gets the control rules here,
    // an existing one after its load.
    void SaveControls() override;
    void ValidateInput() override;
    bool MustRecreate() const override { return true; }
    void GetSourceCreate(QStringList &Lines) override;
    void GetSourceAlter(QStringList &Lines) override { Q_UNUSED(Lines); }
    void GetSourceDrop(QStringList &Lines) override;
    QString DropStatement(bool Cascade) const override;
    void ChangedIsNewEditor() override;
    void ShowCross() override;

private:
    void OnChangeSetVisible();
    void OnChangeVaChk(QWidget *Sender);
    TTriggerControls CurrentTicks() const;
    void SetItems(TkdComboBox *Box, const QStringList &Names);
    void FillSchemas(TkdComboBox *Box);
    void FillTableList();
    void FillRefTableList();
    void FillFunctionList();

    TTriggerDef FLoaded;
    int FDBVer = 999999;
    bool FFilling = false;
};

// Reads the "変更列" text: names separated by commas outside double quotes; a quoted name
// is its content, a bare name folds ASCII capitals to lower case as the server does.
// False with a message for an unclosed quote or an empty name.
bool ParseColumnList(const QString &Text, QStringList &Names, QString &Error);
