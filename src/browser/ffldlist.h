#pragma once
// The column picker: the chosen columns of one table or view on the left, the others on the
// right, buttons move them across. The relation editors use it for their column lists.
#include <QDialog>
#include <QStringList>

class QLabel;
class QListWidget;
class QToolButton;
class QPushButton;
class TkdConnForm;

class TfrmFieldList : public QDialog {
    Q_OBJECT
public:
    // FieldList is read (chosen columns, quoted or not) and, on "選択(&S)" with at least
    // one chosen column, replaced by the chosen columns in their order. Server errors pass.
    static void ShowWindow(TkdConnForm *AOwner, const QString &Schema, const QString &TableName,
                           QStringList &FieldList);

    // The statement of the columns (parameters SCHEMA, TBLNAME).
    static QString FieldSQL();

    explicit TfrmFieldList(QWidget *AParent = nullptr);
    // Fills both lists from the table's columns in column order.
    void Fill(const QStringList &Columns, const QStringList &FieldList);

    QListWidget *lstSelect = nullptr;
    QListWidget *lstAll = nullptr;
    QLabel *lblAll = nullptr;
    QToolButton *btnInsAll = nullptr;
    QToolButton *btnIns = nullptr;
    QToolButton *btnDel = nullptr;
    QToolButton *btnDelAll = nullptr;
    QPushButton *btnSelect = nullptr;
    QPushButton *btnExit = nullptr;

    void btnInsClick();
    void btnDelClick();
    void btnInsAllClick();
    void btnDelAllClick();

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;
};
