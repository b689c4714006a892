#include "editors/list_loop.h"

#include "browser/fobject.h"
#include "controls/kdcomctrls.h"
#include "core/kdforms.h"
#include "core/kdsub_msg.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dberror.h"

#include <QHash>
#include <QTreeWidgetItem>

TListFill::TListFill(TkdListView *List)
    : FList(List), FProgress(TkdOption::Global().Progress), FLoop(new TkdLoopScope)
{
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
    delete FLoop;
}

bool TListFill::Escape()
{
    TfrmObject::TLoopStep step{FLast};
    const bool esc = step.Escape(*FLoop, ++FCount, 0);
    FLast = step.FLast;
    return esc;
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

void TListFill::Finish()
{
    // Rows that arrive in the list's order (the statements order by name) need no sort: one
    // pass over neighbours is much cheaper than sorting ten thousand rows again.
    bool inOrder = FList->topLevelItemCount() == 0;
    for (qsizetype i = 1; inOrder && i < FHeld.size(); ++i)
        inOrder = FList->Compare(FHeld.at(i - 1), FHeld.at(i)) <= 0;
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
