#pragma once
// "データベース統計履歴の削除": the statistics snapshots with a check box each; the ticked
// ones are marked for deletion by the performance window.
#include <QDialog>
#include <QList>
#include <QStringList>
#include <functional>

class QListWidget;
class QPushButton;

class TfrmStatList : public QDialog {
    Q_OBJECT
public:
    // Lists S through FileNameToDate; on "削除(&D)" Marked holds one flag per entry of S
    // (true for the ticked ones) and the result is true. Otherwise Marked stays as it was.
    static bool ShowWindow(const std::function<QString(const QString &)> &FileNameToDate, const QStringList &S,
                           QList<bool> &Marked);

    explicit TfrmStatList(QWidget *AParent = nullptr);

    QListWidget *lstLog = nullptr;
    QPushButton *btnDelete = nullptr;
    QPushButton *btnExit = nullptr;
};
