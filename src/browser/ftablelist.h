#pragma once
// The table chooser "表の選択": tables and views of one schema of a connection, filtered by
// kind and by a name part; the chosen ones are appended to the caller's list as (schema,
// name) pairs, never joined into one text.
#include <QDialog>
#include <QList>
#include <QPair>

class QComboBox;
class QLineEdit;
class QListWidget;
class QToolButton;
class TfrmObject;

using TTableChoice = QPair<QString, QString>; // schema, relation name

class TfrmTableList : public QDialog {
    Q_OBJECT
public:
    // Appends the chosen relations on "選択(&O)"; TableList is never cleared.
    static void ShowWindow(TfrmObject *AOwner, QList<TTableChoice> &TableList);

    // The statement for the kinds shown (parameter OWNER).
    static QString TableSQL(bool Tables, bool Views);

    explicit TfrmTableList(TfrmObject *AOwner, QWidget *AParent = nullptr);
    // Refills the list for the schema, toggles and filter.
    void FillList();
    QList<TTableChoice> Chosen() const;

    TfrmObject *FOwner = nullptr;
    QToolButton *btnOk = nullptr;
    QToolButton *btnExit = nullptr;
    QToolButton *btnTable = nullptr;
    QToolButton *btnView = nullptr;
    QComboBox *cmbSchema = nullptr;
    QLineEdit *txtFindTable = nullptr;
    QListWidget *lstTable = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;
    bool event(QEvent *e) override;

private:
    void chkButtonClick(QToolButton *clicked);
};
