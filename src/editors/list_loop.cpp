#include "editors/list_loop.h"

#include "browser/fobject.h"
#include "controls/kdcomctrls.h"
#include "core/kdforms.h"
#include "core/kdsub_msg.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dberror.h"

#include <QCollator>
#include <QHash>
#include <QTreeWidgetItem>

#include <algorithm>

namespace {
// The interval of the fill's looks for Esc (that of TfrmObject::TLoopStep).
constexpr int kListFillStepMs = 50;
// Rows sorted, merged or added between two looks at the event loop at the end of a fill.
constexpr qsizetype kSortRun = 8192;
} // namespace

TListTexts::TListTexts(int Columns) : FColumns(std::max(1, Columns)) {}

void TListTexts::BeginRow(int Code)
{
    FCodes.push_back(Code);
}

void TListTexts::AddCell(QByteArrayView Utf8)
{
    FBytes.append(Utf8);
    FEnds.push_back(FBytes.size());
}

QByteArrayView TListTexts::Bytes(int Row, int Column) const
{
    if (Row < 0 || Column < 0 || Column >= FColumns)
        return {};
    const std::size_t i = std::size_t(Row) * std::size_t(FColumns) + std::size_t(Column);
    if (i >= FEnds.size())
        return {};
    const qsizetype from = i == 0 ? 0 : FEnds[i - 1];
    return QByteArrayView(FBytes.constData() + from, FEnds[i] - from);
}

QString TListTexts::Text(int Row, int Column) const
{
    return QString::fromUtf8(Bytes(Row, Column));
}

TListTextItem::TListTextItem(std::shared_ptr<const TListTexts> Texts, int Row) : FTexts(std::move(Texts)), FRow(Row)
{
    // The item's column count is that of the values set on it: one placeholder in the last
    // column gives it the list's count, as if every text had been set.
    QTreeWidgetItem::setData(FTexts->Columns() - 1, Qt::UserRole + 99, QVariant());
}

QVariant TListTextItem::data(int Column, int Role) const
{
    QVariant own = QTreeWidgetItem::data(Column, Role);
    if (own.isValid() || Column < 0 || Column >= FTexts->Columns())
        return own;
    switch (Role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return FTexts->Text(FRow, Column);
    case Qt::DecorationRole:
        if (Column == 0 && FTexts->Code(FRow) >= 0) {
            const QIcon icon = FTexts->Icon(FTexts->Code(FRow));
            if (!icon.isNull())
                return icon;
        }
        return own;
    case Qt::TextAlignmentRole:
        return FTexts->Alignment(Column);
    case Qt::UserRole:
        return Column == 0 ? QVariant(FTexts->Code(FRow)) : own;
    default:
        return own;
    }
}

TListFill::TListFill(TkdListView *List, db::Connection *Conn)
    : FList(List), FConn(Conn), FProgress(TkdOption::Global().Progress), FLoop(new TkdLoopScope)
{
    FStart.start();
    if (FConn)
        FOldWaitDelay = FConn->setCallWaitDelay(db::kFillCallWaitDelayMs);
    if (!FProgress)
        FList->setUpdatesEnabled(false);
}

TListFill::~TListFill()
{
    if (!FFinished) {
        // An error ended the fill: the rows read so far stay.
        FList->addTopLevelItems(FHeld);
        FHeld.clear();
    }
    FList->setUpdatesEnabled(true);
    if (FConn)
        FConn->setCallWaitDelay(FOldWaitDelay);
    delete FLoop;
}

void TListFill::Clear()
{
    // The rows go in slices: freeing a hundred thousand rows at once holds the event loop.
    QList<QTreeWidgetItem *> old = FList->invisibleRootItem()->takeChildren();
    for (qsizetype i = 0; i < old.size(); ++i) {
        delete old.at(i);
        if (i % kSortRun == kSortRun - 1)
            Pump();
    }
}

bool TListFill::Escape()
{
    // Without a repaint per row the clock is read every few rows only: reading it costs more
    // than building a row.
    if ((!FProgress && (FCount & 15) != 0) || (FLast < 0 && !FStart.hasExpired(kListFillStepMs))) {
        ++FCount;
        return false;
    }
    TfrmObject::TLoopStep step{FLast};
    const bool esc = step.Escape(*FLoop, ++FCount, 0);
    FLast = step.FLast;
    return esc;
}

void TListFill::Pump(bool Now)
{
    // As in Escape: not before one interval has passed since the start.
    if (Now)
        FLast = -1;
    else if (FLast < 0 && !FStart.hasExpired(kListFillStepMs))
        return;
    // The count stays; an Esc now is too late to shorten the fill and is dropped.
    TfrmObject::TLoopStep step{FLast};
    step.Escape(*FLoop, FCount, 0);
    FLast = step.FLast;
}

void TListFill::Add(QTreeWidgetItem *Item)
{
    if (FProgress) {
        FList->addTopLevelItem(Item);
        FList->repaint();
    } else {
        FHeld << Item;
    }
}

void TListFill::SortHeld(const std::function<bool(qsizetype, qsizetype)> &Before)
{
    // A merge sort in slices: runs of kSortRun rows sorted, then merged in pairs (std::merge
    // keeps equal rows in their order, so the whole sort is stable).
    const qsizetype n = FHeld.size();
    std::vector<qsizetype> order(static_cast<std::size_t>(n)), merged(static_cast<std::size_t>(n));
    for (qsizetype i = 0; i < n; ++i)
        order[std::size_t(i)] = i;
    for (qsizetype from = 0; from < n; from += kSortRun) {
        std::stable_sort(order.begin() + from, order.begin() + std::min(n, from + kSortRun), Before);
        Pump();
    }
    for (qsizetype width = kSortRun; width < n; width *= 2) {
        for (qsizetype from = 0; from < n; from += 2 * width) {
            const auto a = order.begin() + from;
            const auto m = order.begin() + std::min(n, from + width);
            const auto e = order.begin() + std::min(n, from + 2 * width);
            std::merge(a, m, m, e, merged.begin() + from, Before);
            Pump();
        }
        order.swap(merged);
    }
    QList<QTreeWidgetItem *> sorted;
    sorted.reserve(n);
    for (qsizetype i : order)
        sorted << FHeld.at(i);
    FHeld.swap(sorted);
}

void TListFill::Finish()
{
    if (FFinished)
        return;
    // A text column without the window's compare hook is sorted in slices before the rows are
    // added, with the event loop let run between them, so a long list never holds it: the
    // list's own sort (TkdListView::Sort) made the same way, the collator's keys, case
    // sensitive, stable. Decided here, once the list holds none but the fill's rows (a fill
    // clears the list after it begins). Other keys sort by the list's Sort at the end.
    const int column = std::abs(FList->SortID()) - 1;
    const int keyColumn = !FProgress && FList->SortID() != 0 && column < FList->columnCount() && !FList->OnCompare
                         && FList->topLevelItemCount() == 0
                         && !(FList->headerItem()->textAlignment(column) & Qt::AlignRight)
                     ? column
                     : -1;
    // Rows that arrive in the list's order (the statements order by name) need no sort: one
    // pass over neighbours is much cheaper than sorting ten thousand rows again.
    bool inOrder = true;
    if (keyColumn >= 0) {
        const bool descending = FList->SortID() < 0;
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseSensitive);
        QString previous;
        for (qsizetype i = 0; inOrder && i < FHeld.size(); ++i) {
            QString text = FHeld.at(i)->text(keyColumn);
            if (i > 0) {
                const int c = collator.compare(previous, text);
                inOrder = descending ? c >= 0 : c <= 0;
            }
            previous.swap(text);
        }
        if (!inOrder) {
            std::vector<QCollatorSortKey> keys;
            keys.reserve(std::size_t(FHeld.size()));
            for (qsizetype i = 0; i < FHeld.size(); ++i) {
                keys.push_back(collator.sortKey(FHeld.at(i)->text(keyColumn)));
                if (i % kSortRun == kSortRun - 1)
                    Pump();
            }
            SortHeld([&keys, descending](qsizetype a, qsizetype b) {
                return (descending ? keys[std::size_t(b)].compare(keys[std::size_t(a)])
                                   : keys[std::size_t(a)].compare(keys[std::size_t(b)]))
                       < 0;
            });
            inOrder = true;
        }
    } else {
        inOrder = FList->topLevelItemCount() == 0;
        for (qsizetype i = 1; inOrder && i < FHeld.size(); ++i)
            inOrder = FList->Compare(FHeld.at(i - 1), FHeld.at(i)) <= 0;
        if (!inOrder && FList->OnCompare && FList->topLevelItemCount() == 0) {
            // The window's hook decides row by row, as the list's Sort does (stably), but in
            // slices before the rows are added: one sort of a hundred thousand rows through
            // the hook held the event loop for well over 100 ms.
            SortHeld([this](qsizetype a, qsizetype b) { return FList->Compare(FHeld.at(a), FHeld.at(b)) < 0; });
            inOrder = true;
        }
    }
    // Added at once: each addition makes the view lay out every row again.
    FList->addTopLevelItems(FHeld);
    FHeld.clear();
    if (!inOrder)
        FList->Sort();
    FFinished = true;
}

namespace {

bool ConnectionLost(const std::exception &e, db::Connection *c)
{
    if (auto *d = dynamic_cast<const db::Error *>(&e))
        if (d->kind == db::Error::Kind::ConnectionLost)
            return true;
    return c && !c->isConnected();
}

QList<QTreeWidgetItem *> SelectedInOrder(TkdListView *List)
{
    QList<QTreeWidgetItem *> items;
    for (int i = 0; i < List->topLevelItemCount(); ++i)
        if (List->topLevelItem(i)->isSelected())
            items << List->topLevelItem(i);
    return items;
}

} // namespace

bool CancelledByUser(const std::exception &Error)
{
    auto *d = dynamic_cast<const db::Error *>(&Error);
    return d && d->kind == db::Error::Kind::Cancelled;
}

bool AskDropRows(bool OfferCascade, bool &Cascade)
{
    TkdOption &opt = TkdOption::Global();
    QList<MsgCheckItem> boxes{{QStringLiteral("削除時のエラーを無視する"), opt.DelErr}};
    if (OfferCascade)
        boxes << MsgCheckItem{QStringLiteral("CASCADE オプション"), false};
    const int answer = ShowCheckMessageBox(QStringLiteral("オブジェクトを削除しますか？"),
                                           MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, boxes);
    opt.DelErr = boxes.first().Checked;
    Cascade = OfferCascade && boxes.last().Checked;
    return answer == IDYES;
}

TDropOutcome DropSelectedRows(TkdListView *List, TkdConnForm *Conn, bool IgnoreErrors,
                              const std::function<QString(QTreeWidgetItem *)> &Statement,
                              const std::function<QString(QTreeWidgetItem *)> &Label)
{
    TDropOutcome out;
    QList<QTreeWidgetItem *> pending = SelectedInOrder(List);
    if (pending.isEmpty())
        return out;
    const bool several = pending.size() > 1;
    auto label = [&](QTreeWidgetItem *i) { return Label ? Label(i) : i->text(0); };
    QHash<QTreeWidgetItem *, QString> lastError;
    TkdWaitCursor wait;
    TkdLoopScope loop;
    TfrmObject::TLoopStep step;
    db::Connection *c = Conn->dbsMain();
    while (!pending.isEmpty()) {
        QList<QTreeWidgetItem *> failed;
        int droppedThisPass = 0;
        const int total = int(pending.size());
        for (int n = 0; n < total; ++n) {
            if (step.Escape(loop, n + 1, total)) {
                out.Interrupted = true;
                failed += pending.mid(n);
                break;
            }
            QTreeWidgetItem *item = pending.at(n);
            List->scrollToItem(item);
            const QString sql = Statement(item);
            if (sql.isEmpty()) {
                // A kind without a DROP stays selected and is not tried again.
                lastError.insert(item, label(item) + QStringLiteral(": この種類のオブジェクトは削除できません。"));
                continue;
            }
            try {
                c->protect([&] { Conn->ExecuteSQL(sql); });
                lastError.remove(item);
                delete item;
                ++out.Dropped;
                ++droppedThisPass;
            } catch (const std::exception &e) {
                if (!several || !IgnoreErrors || ConnectionLost(e, c)) {
                    // The rows not dropped stay selected.
                    out.Stopped = true;
                    out.StopError = QString::fromUtf8(e.what());
                    break;
                }
                failed << item;
                lastError.insert(item, label(item) + QStringLiteral(": ") + QString::fromUtf8(e.what()));
            }
        }
        if (out.Interrupted || out.Stopped || droppedThisPass == 0 || failed.isEmpty()) {
            pending = failed;
            break;
        }
        pending = failed;
    }
    const QList<QTreeWidgetItem *> left = SelectedInOrder(List);
    out.NotDropped = int(left.size());
    for (QTreeWidgetItem *i : left)
        if (lastError.contains(i))
            out.Errors << lastError.value(i);
    return out;
}

void ShowDropOutcome(const TDropOutcome &Outcome)
{
    if (Outcome.Stopped && Outcome.Dropped == 0 && Outcome.Errors.isEmpty()) {
        ShowError(Outcome.StopError);
        return;
    }
    if (!Outcome.Interrupted && Outcome.NotDropped == 0) {
        ShowMessageBox(QStringLiteral("オブジェクトが削除されました。"), MB_ICONINFORMATION | MB_OK);
        return;
    }
    QStringList text;
    if (Outcome.Interrupted)
        text << QStringLiteral("削除を中断しました。");
    text << QStringLiteral("%1 個のオブジェクトを削除しました。").arg(Outcome.Dropped);
    if (Outcome.NotDropped > 0)
        text << QStringLiteral("削除されずに残ったオブジェクト: %1 個").arg(Outcome.NotDropped);
    text << Outcome.Errors;
    if (Outcome.Stopped)
        text << Outcome.StopError;
    const int icon = Outcome.Stopped ? MB_ICONERROR : Outcome.NotDropped > 0 ? MB_ICONWARNING : MB_ICONINFORMATION;
    ShowMessageBox(text.join(QStringLiteral("\r\n")), icon | MB_OK);
}
