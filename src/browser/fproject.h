#pragma once
// The schema filter dialog of the object tree: the schemas of the connection with a check
// box each; OK stores the ticked ones as the database's stored schema list.
#include <QDialog>
#include <QStringList>
#include <functional>

class QListWidget;
class QPushButton;
class TkdConnServices;

class TfrmProject : public QDialog {
    Q_OBJECT
public:
    // Shows the dialog for the connection of AOwner with the schema names from
    // GetSchemaInfo (every schema, as the object tree lists them). True on OK, after the
    // ticked schemas were stored; ProjectName is not used.
    static bool ShowWindow(TkdConnServices *AOwner,
                           const std::function<void(QStringList &)> &GetSchemaInfo,
                           const QString &ProjectName);

    QListWidget *chkUserList = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;

private:
    explicit TfrmProject(QWidget *AParent = nullptr);
    void btnOkClick();
    QStringList Ticked() const;
};
