#pragma once
// The dual-list column chooser of the index and constraint editors: the chosen columns
// (lstIdxCol, in key order) on the left, the table's columns (lstTabCol, in column order) on
// the right, and between them "全て追加", "追加", "削除", "全て削除". A chosen item carries
// the column name and a tag (the position of the loaded column it came from, -1 for one
// added here), so an editor can keep what it loaded about that column (operator class,
// collation, order) while the user adds, removes or keeps it.
#include <QString>
#include <QStringList>
#include <QWidget>

class QLabel;
class QToolButton;
class TkdListBox;

class TColumnChooser : public QWidget
{
    Q_OBJECT
public:
    explicit TColumnChooser(QWidget *Parent = nullptr, bool AllButtons = true);

    // The table's columns (right list), in column order.
    void SetTableColumns(const QStringList &Names);
    QStringList TableColumns() const;
    // The chosen columns: names, display texts and tags. An empty display text shows the name.
    struct TItem {
        QString Name;
        QString Display;
        int Tag = -1;
        bool operator==(const TItem &) const = default;
    };
    void SetItems(const QList<TItem> &Items);
    QList<TItem> Items() const;
    QStringList Names() const;
    // The chosen list as one text (one display text per line): the snapshot of the list.
    QString ItemsText() const;
    void ClearAll();

    // Button handlers (also double-click, Enter and Delete in the lists).
    void btnInsAllClick();
    void btnInsClick();
    void btnDelClick();
    void btnDelAllClick();

    QLabel *lblIdxCol = nullptr;
    QLabel *lblTabCol = nullptr;
    TkdListBox *lstIdxCol = nullptr;
    TkdListBox *lstTabCol = nullptr;
    QToolButton *btnInsAll = nullptr;
    QToolButton *btnIns = nullptr;
    QToolButton *btnDel = nullptr;
    QToolButton *btnDelAll = nullptr;

Q_SIGNALS:
    // The chosen list changed through the user.
    void changed();

protected:
    bool eventFilter(QObject *Watched, QEvent *Event) override;

private:
    void Append(const QStringList &Names);
};
