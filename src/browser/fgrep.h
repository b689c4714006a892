#pragma once
// The options of the connection window's full-text search "GREP": the word, which objects
// are searched and whether letter case counts.
#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TfrmGrep : public QDialog {
    Q_OBJECT
public:
    // True on OK: GrepWord as typed (upper-cased when case does not count), Mode the scope
    // 0 to 3, CharCase the box. Otherwise the three stay as they were.
    static bool ShowWindow(QString &GrepWord, int &Mode, bool &CharCase);

    QLineEdit *txtGrepWord = nullptr;
    QRadioButton *rdoObject[4] = {};
    QButtonGroup *grpObject = nullptr;
    QCheckBox *chkCharCase = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;

private:
    explicit TfrmGrep(QWidget *AParent = nullptr);
    void btnOkClick();
};
