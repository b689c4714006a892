#pragma once
// The loops of the list windows of the editors layer (the tablespace's stored objects and
// the user list): a throttled Esc and progress step, and the one multi-pass drop of the
// selected rows of a list view with the option "削除時のエラーを無視する" (DelErr).
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QTreeWidgetItem;
class TkdConnForm;
class TkdListView;
class TkdLoopScope;

// Filling a list view from a query: the status bar counts the rows and Esc ends the fill;
// unless the option Progress is on, the rows are held and added at once at the end (with
// it, the list repaints after every row). The end sorts the list by its current key.
class TListFill
{
public:
    explicit TListFill(TkdListView *List);
    ~TListFill();
    TListFill(const TListFill &) = delete;
    TListFill &operator=(const TListFill &) = delete;
    // True when Esc was pressed (the fill ends); call before each row.
    bool Escape();
    void Add(QTreeWidgetItem *Item);
    // Adds the held rows and sorts (also done by the destructor when not called).
    void Finish();

private:
    TkdListView *FList;
    bool FProgress;
    bool FFinished = false;
    int FCount = 0;
    qint64 FLast = -1;
    QList<QTreeWidgetItem *> FHeld;
    TkdLoopScope *FLoop;
};

// What a drop of selected rows came to.
struct TDropOutcome {
    int Dropped = 0;          // rows dropped (and removed from the list)
    int NotDropped = 0;       // rows left selected: failed, or of a kind that cannot be dropped
    bool Interrupted = false; // Esc ended the loop
    bool Stopped = false;     // a failure ended the loop (StopError holds the server's message)
    QString StopError;
    QStringList Errors;       // "name: server message" of each row left after a failure
};

// The question before a drop of selected rows: "オブジェクトを削除しますか？" (Yes/No, No the
// default) with "削除時のエラーを無視する", shown with the option DelErr and written back to
// it, and "CASCADE オプション" (unticked) when `OfferCascade`. True on Yes.
bool AskDropRows(bool OfferCascade, bool &Cascade);

// Drops the selected rows of `List` in list order on the connection of `Conn`. `Statement`
// gives a row's DROP statement (empty: the row's kind cannot be dropped; it stays selected
// and counts as not dropped). Each statement runs under the connection's savepoint, so a
// failure never aborts the user's open transaction. A dropped row leaves the list; a failed
// one stays selected. With `IgnoreErrors` and more than one row, failures are passed over
// and the rows left are tried again in another pass while the last pass dropped something
// (a row may depend on one dropped after it). Without it, with a single row, or when the
// connection is lost, the first failure ends the loop (Stopped): the rows not yet dropped
// stay selected. Esc ends the loop between two rows.
TDropOutcome DropSelectedRows(TkdListView *List, TkdConnForm *Conn, bool IgnoreErrors,
                              const std::function<QString(QTreeWidgetItem *)> &Statement,
                              const std::function<QString(QTreeWidgetItem *)> &Label = {});

// Shows the end of a drop: "オブジェクトが削除されました。" when every row was dropped;
// otherwise how many were dropped and how many were not, with the reasons (warning icon),
// and "削除を中断しました。" first when Esc ended it. A failure that ended the loop shows the
// server's message with the error icon (alone when nothing else happened).
void ShowDropOutcome(const TDropOutcome &Outcome);
