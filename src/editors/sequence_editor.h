#pragma once
// The sequence editor: definition, source, privileges and references of one sequence; it
// creates, alters, advances, scripts and drops it.
#include "editors/object_editor.h"
#include "editors/sequence_def.h"

class QLabel;
class QPushButton;
class TkdCheckBox;
class TkdComboBox;
class TkdNumEdit;

class TfrmSeq : public TObjectEditor
{
    Q_OBJECT
public:
    TfrmSeq(TkdConnForm *Owner, const TObjectArgs &Args, TSourceMode Mode);

    static const TEditorPolicy &SeqPolicy();
    // The editor table's entries (code 58).
    static QWidget *Open(TkdConnForm *Owner, const TObjectArgs &Args);
    static void Script(TkdConnForm *Owner, const TObjectArgs &Args, TScriptSink &Sink);

    // The values of the definition controls, and back.
    TSequenceDef ControlsDef() const;
    void SetControls(const TSequenceDef &Def);

    void actIncExecute();
    bool NextValCalled() const { return FNextVal; }

    QLabel *lblCurrent = nullptr;
    QLabel *pnlCurrent = nullptr;
    QPushButton *btnInc = nullptr;
    QLabel *lblLastNo = nullptr;
    TkdNumEdit *txtLastNo = nullptr;
    TkdNumEdit *txtMin = nullptr;
    TkdCheckBox *chkNoMin = nullptr;
    TkdNumEdit *txtMax = nullptr;
    TkdCheckBox *chkNomax = nullptr;
    TkdNumEdit *txtInc = nullptr;
    TkdCheckBox *chkCycle = nullptr;
    TkdNumEdit *txtCache = nullptr;
    TkdComboBox *cmbTable = nullptr;
    TkdComboBox *cmbColumn = nullptr;
    TkdCheckBox *chkOwned = nullptr;
    QAction *actInc = nullptr;

protected:
    void LoadDefinition() override;
    void SaveControls() override;
    void ValidateInput() override;
    void GetSourceCreate(QStringList &Lines) override;
    void GetSourceAlter(QStringList &Lines) override;
    void GetSourceDrop(QStringList &Lines) override;
    QString DropStatement(bool Cascade) const override;
    void AfterCommit(bool Recreated, bool WasNew) override;
    void ChangedIsNewEditor() override;
    void UpdateEditorActions() override;

private:
    void UpdateEnabling();
    void ShowTableList();
    void ShowColumnList();
    void ShowCurrentValue();

    TSequenceDef FSaved;
    QString FTypeName = QStringLiteral("bigint");
    bool FNextVal = false;
};
