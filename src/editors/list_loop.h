#pragma once
// The loops of the list windows of the editors layer (the tablespace's stored objects and
// the user list): a throttled Esc and progress step, and the one multi-pass drop of the
// selected rows of a list view with the option "削除時のエラーを無視する" (DelErr).
#include <QByteArrayView>
#include <QElapsedTimer>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTreeWidgetItem>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

namespace db {
class Connection;
}
class TkdConnForm;
class TkdListView;
class TkdLoopScope;

// The texts of the rows of a long list in one block: the UTF-8 bytes of every cell one after
// another, and per row an image index. A list of ten thousands of rows then costs one item
// per row instead of an item, a string and a value per cell; a cell's text is decoded when
// the view or a sort asks for it.
class TListTexts
{
public:
    explicit TListTexts(int Columns);
    int Columns() const { return FColumns; }
    int Rows() const { return int(FCodes.size()); }
    // Starts a row with its image index (-1: no image).
    void BeginRow(int Code);
    // The next cell of the row begun last, as UTF-8 bytes.
    void AddCell(QByteArrayView Utf8);
    QString Text(int Row, int Column) const;
    // The cell's bytes, as added.
    QByteArrayView Bytes(int Row, int Column) const;
    int Code(int Row) const { return FCodes[std::size_t(Row)]; }
    // The image shown for an image index (set before the rows are shown).
    void SetIcon(int Code, const QIcon &Icon) { FIcons.insert(Code, Icon); }
    QIcon Icon(int Code) const { return FIcons.value(Code); }
    // The alignment of a column's texts (none set: the view's default).
    void SetAlignment(int Column, Qt::Alignment Alignment) { FAlignments.insert(Column, int(Alignment)); }
    QVariant Alignment(int Column) const { return FAlignments.value(Column, QVariant()); }

private:
    int FColumns;
    QByteArray FBytes;
    std::vector<qsizetype> FEnds; // the end of each cell in FBytes
    std::vector<int> FCodes;
    QHash<int, QIcon> FIcons;
    QHash<int, QVariant> FAlignments;
};

// A list row whose texts, image and image index (Qt::UserRole of column 0) come from a
// TListTexts. Anything set on the item afterwards (a new caption after a rename, another
// image) takes the place of the stored value.
class TListTextItem : public QTreeWidgetItem
{
public:
    TListTextItem(std::shared_ptr<const TListTexts> Texts, int Row);
    QVariant data(int Column, int Role) const override;

private:
    std::shared_ptr<const TListTexts> FTexts;
    int FRow;
};

// Filling a list view from a query: the status bar counts the rows and Esc ends the fill;
// unless the option Progress is on, the rows are held and added at once at the end (with
// it, the list repaints after every row). The end sorts the list by its current key.
class TListFill
{
public:
    // With a connection, its calls hand the event loop over sooner while the fill runs
    // (restored at the end), so a long wait for the server does not hold the window.
    explicit TListFill(TkdListView *List, db::Connection *Conn = nullptr);
    ~TListFill();
    TListFill(const TListFill &) = delete;
    TListFill &operator=(const TListFill &) = delete;
    // Removes the list's rows (before the first row of the fill).
    void Clear();
    // True when Esc was pressed (the fill ends); call before each row. The first look for
    // Esc (and the first repaint of the count) comes one interval after the start, so a fill
    // shorter than that never stops to repaint the window.
    bool Escape();
    void Add(QTreeWidgetItem *Item);
    // Adds the held rows and sorts (also done by the destructor when not called).
    void Finish();

    // Lets the event loop run (at most every interval, or at once with `Now`); Esc is
    // dropped. Used while the end sorts and adds, and before a long wait for the server,
    // whose call lets the event loop run only once it has waited a while.
    void Pump(bool Now = false);

private:
    // Sorts the held rows by `Before` (row positions in FHeld), stable, in slices with the
    // event loop let run between them.
    void SortHeld(const std::function<bool(qsizetype, qsizetype)> &Before);

    TkdListView *FList;
    db::Connection *FConn;
    int FOldWaitDelay = 0;
    bool FProgress;
    bool FFinished = false;
    int FCount = 0;
    qint64 FLast = -1;
    QElapsedTimer FStart;
    QList<QTreeWidgetItem *> FHeld;
    TkdLoopScope *FLoop;
};

// True for the error of a call that the user cancelled by Esc while it waited for the server
// (a fill then ends quietly with the rows read so far).
bool CancelledByUser(const std::exception &Error);

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
