#pragma once
// The script-output options dialog: output file or folder, subfolders, overwrite, name
// table, schema prefix, indexes, data, storage, view columns, privileges, empty lines. Before
// a script output it also gives the output path and the name table ("開始"); from the main
// window it edits the options alone ("OK").
#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class TfrmObject;

class TfrmScriptOption : public QDialog {
    Q_OBJECT
public:
    // Before a script output of AOwner's objects: true on "開始", with ScriptPath (a folder
    // ends with "/") and NameTable (empty for none). The options are stored on OK only.
    static bool ShowWindow(TfrmObject *AOwner, QString &ScriptPath, QString &NameTable);
    // The options alone (no name table).
    static bool ShowWindow();

    explicit TfrmScriptOption(TfrmObject *AOwner, QWidget *AParent = nullptr);
    void ShowOptions();
    void SaveOptions();

    TfrmObject *OwnerForm = nullptr;
    QGroupBox *grpFile = nullptr;
    QCheckBox *chkOneScript = nullptr;
    QCheckBox *chkDir = nullptr;
    QLabel *lblNameTable = nullptr;
    QComboBox *cmbNameTable = nullptr;
    QPushButton *btnNameTable = nullptr;
    QLineEdit *txtDir = nullptr;
    QToolButton *btnDialog = nullptr;
    QCheckBox *chkSameName = nullptr;
    QButtonGroup *rdoOwner = nullptr;
    QCheckBox *chkIndex = nullptr;
    QCheckBox *chkInsert = nullptr;
    QButtonGroup *rdoInsert = nullptr;
    QCheckBox *chkStorage = nullptr;
    QCheckBox *chkListViewCol = nullptr;
    QCheckBox *chkGrant = nullptr;
    QButtonGroup *rdoGrant = nullptr;
    QCheckBox *chkNullLine = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;

private:
    void btnOkClick();
    void btnDialogClick();
    void UpdateStates();
    QString Database() const;
};
