// Drop, rename in place and index rebuild of the connection window: statements from
// objcommands.h, run on the window's connection inside whatever transaction it has open.
// Each statement runs under the connection's savepoint, so a failure never aborts the
// user's open transaction; nothing here commits.
#include "browser/fobject.h"

#include "browser/fddlexec.h"
#include "browser/fddlpreview.h"
#include "browser/objcommands.h"
#include "browser/objlist.h"
#include "browser/objtree.h"
#include "core/kdforms.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_text.h"
#include "platform/db/dberror.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QPersistentModelIndex>
#include <QSignalBlocker>

namespace {

QString ErrorText(const std::exception &e)
{
    return QString::fromUtf8(e.what());
}

bool ConnectionLost(const std::exception &e, db::Connection *c)
{
    if (auto *d = dynamic_cast<const db::Error *>(&e))
        if (d->kind == db::Error::Kind::ConnectionLost)
            return true;
    return c && !c->isConnected();
}

TListObject RowObject(const TObjectListModel *m, int row)
{
    return ListObjectOf(m->Row(row).Caption, m->Row(row).ImageIndex, m->Row(row).SubItems);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Drop

void TfrmObject::actDeleteExecute()
{
    TObjectListModel *m = lstObject->Model();
    QList<int> rows = lstObject->SelectedRows();
    if (rows.isEmpty())
        return;
    TkdOption &opt = TkdOption::Global();
    bool cascadeOffered = false;
    for (int row : rows)
        if (OffersCascade(m->Row(row).ImageIndex))
            cascadeOffered = true;
    QList<MsgCheckItem> boxes;
    const bool several = rows.size() > 1;
    if (several)
        boxes << MsgCheckItem{QStringLiteral("削除時のエラーを無視する"), opt.DelErr};
    if (cascadeOffered)
        boxes << MsgCheckItem{QStringLiteral("CASCADE オプション"), false};
    const int answer = ShowCheckMessageBox(QStringLiteral("オブジェクトを削除しますか？"),
                                           MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, boxes);
    if (several)
        opt.DelErr = boxes.first().Checked;
    if (answer != IDYES)
        return;
    const bool cascade = cascadeOffered && boxes.last().Checked;

    TkdWaitCursor wait;
    TkdLoopScope loop;
    struct Refresh {
        TfrmObject *f;
        ~Refresh()
        {
            f->lstObject->viewport()->update();
            f->mnuObjectClick();
        }
    } refresh{this};

    // The objects travel as persistent indexes: they follow the rows while dropped rows
    // leave the list, whatever the selection model makes of its ranges meanwhile.
    QHash<QString, QString> lastError;
    auto identity = [](const TListObject &o) {
        return o.Schema + QChar(0) + o.Name + QChar(0) + o.Table + QChar(0) + QString::number(o.Type);
    };
    QList<QPersistentModelIndex> pending;
    for (int row : rows)
        pending << QPersistentModelIndex(m->index(row, 0));
    QList<QPersistentModelIndex> remaining;
    // What was not dropped stays selected, so the user sees what is left.
    auto reselect = [this, m, &remaining] {
        lstObject->clearSelection();
        for (const QPersistentModelIndex &i : remaining)
            if (i.isValid())
                lstObject->selectionModel()->select(m->index(i.row(), 0),
                                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    };
    int dropped = 0;
    bool interrupted = false;
    TLoopStep step;
    while (!pending.isEmpty()) {
        QList<QPersistentModelIndex> failed;
        int droppedThisPass = 0;
        const int total = int(pending.size());
        for (int n = 0; n < total; ++n) {
            if (step.Escape(loop, n + 1, total)) {
                interrupted = true;
                remaining = failed + pending.mid(n);
                break;
            }
            const int row = pending.at(n).row();
            lstObject->scrollTo(m->index(row, 0));
            const TListObject o = RowObject(m, row);
            const QString sql = DropStatement(o, cascade && (o.Type == 45 || o.Type == 52 || o.Type == 55));
            try {
                dbsMain()->protect([&] { ExecuteSQL(sql); });
                m->RemoveRow(row);
                ++dropped;
                ++droppedThisPass;
                lastError.remove(identity(o));
            } catch (const std::exception &e) {
                // One object dropped alone, errors not ignored, or the connection gone: the
                // error, and the command ends. Several objects with errors ignored: the
                // failures are reported at the end.
                if (!several || !opt.DelErr || ConnectionLost(e, dbsMain())) {
                    remaining = failed + pending.mid(n);
                    reselect();
                    ShowError(ErrorText(e));
                    return;
                }
                failed << pending.at(n);
                lastError.insert(identity(o), o.Schema + u'.' + o.Name + QStringLiteral(": ") + ErrorText(e));
            }
        }
        if (interrupted)
            break;
        remaining = failed;
        // Another pass while the last one dropped something: dependants may be gone now.
        if (droppedThisPass == 0)
            break;
        pending = failed;
    }
    reselect();

    // The end message says what happened: everything dropped, or how many and which are left.
    const QList<int> left = lstObject->SelectedRows();
    if (!interrupted && left.isEmpty()) {
        ShowMessageBox(QStringLiteral("オブジェクトが削除されました。"), MB_ICONINFORMATION | MB_OK);
        return;
    }
    QString text = interrupted ? QStringLiteral("削除を中断しました。") : QString();
    if (!text.isEmpty())
        text += QStringLiteral("\r\n");
    text += QStringLiteral("%1 個のオブジェクトを削除しました。").arg(dropped);
    if (!left.isEmpty()) {
        text += QStringLiteral("\r\n削除されずに残ったオブジェクト: %1 個").arg(left.size());
        for (int r : left) {
            const TListObject o = RowObject(m, r);
            const QString err = lastError.value(identity(o));
            text += QStringLiteral("\r\n") + (err.isEmpty() ? o.Schema + u'.' + o.Name : err);
        }
    }
    ShowMessageBox(text, (left.isEmpty() ? MB_ICONINFORMATION : MB_ICONWARNING) | MB_OK);
}

// ---------------------------------------------------------------------------------------------
// Rename in place

void TfrmObject::actRenameExecute()
{
    const QList<int> rows = lstObject->SelectedRows();
    if (rows.isEmpty())
        return;
    const QModelIndex i = lstObject->model()->index(rows.first(), 0);
    lstObject->setCurrentIndex(i);
    lstObject->edit(i);
}

bool TfrmObject::lstObjectEditing(int row) const
{
    const TObjectListModel *m = lstObject->Model();
    if (row < 0 || row >= m->rowCount())
        return false;
    return MayRenameObject(RowObject(m, row), ConnectionParam(QStringLiteral("MetaDefSchema")), DBVer());
}

bool TfrmObject::lstObjectEdited(int row, QString &text)
{
    TObjectListModel *m = lstObject->Model();
    const TListObject o = RowObject(m, row);
    if (!TkdOption::Global().UseLowerName)
        text = text.toLower();
    if (text == o.Name)
        return false;
    // A constraint's table stands under the list column captioned "テーブル名".
    QString table = o.Table;
    if (o.Type == 66) {
        const QList<TObjListColumn> &cols = m->Columns();
        for (int c = 1; c < cols.size(); ++c)
            if (cols.at(c).Caption == u"テーブル名") {
                table = m->SubItem(row, c - 1);
                break;
            }
    }
    const QString sql = RenameStatement(o, text, table);
    if (sql.isEmpty())
        return false;
    bool ok = GuardedCall([&] { dbsMain()->protect([&] { ExecuteSQL(sql); }); });
    return ok;
}

// ---------------------------------------------------------------------------------------------
// Index rebuild

void TfrmObject::actIndexFragmentExecute()
{
    TObjectListModel *m = lstObject->Model();
    const QList<int> rows = lstObject->SelectedRows();
    if (rows.isEmpty())
        return;
    TkdOption &opt = TkdOption::Global();
    QList<MsgCheckItem> boxes;
    if (rows.size() > 1 && !opt.ShowDDL)
        boxes << MsgCheckItem{QStringLiteral("エラーを無視する"), false};
    if (ShowCheckMessageBox(QStringLiteral("インデックス再構築を行いますか？"), MB_YESNO | MB_ICONQUESTION, boxes) != IDYES)
        return;
    const bool ignoreErr = !boxes.isEmpty() && boxes.first().Checked;

    // Collect; Esc ends the collecting only.
    struct TIndex {
        QString Schema, Name;
    };
    QList<TIndex> indexes;
    QStringList lines;
    ObjectLoop(true, [&](int row) {
        const TListObject o = RowObject(m, row);
        indexes << TIndex{o.Schema, o.Name};
        lines << ReindexLines(o.Schema, o.Name);
        return false; // deselected once rebuilt
    });
    if (indexes.isEmpty())
        return;

    auto deselect = [this, m](const TIndex &ix) {
        for (int r : lstObject->SelectedRows())
            if (m->Row(r).Caption == ix.Name && m->SubItem(r, kSubSchema) == ix.Schema) {
                lstObject->selectionModel()->select(m->index(r, 0),
                                                    QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
                break;
            }
    };

    if (opt.ShowDDL) {
        QStringList preview = lines;
        if (!TfrmDDLPreview::ShowWindow(preview, QString(), QStringLiteral("インデックスの再構築")))
            return;
        TfrmDDLExec::ShowWindow(this, preview);
        TfrmDDLExec::WaitProc();
        ShowObject(false);
        ShowMessageBox(QStringLiteral("再構築が完了しました。"), MB_ICONINFORMATION | MB_OK);
        return;
    }

    // Without the preview each REINDEX runs alone: an index is deselected only after it
    // was rebuilt, and every failure is reported.
    TkdWaitCursor wait;
    QStringList failures;
    for (const TIndex &ix : indexes) {
        const QStringList one = ReindexLines(ix.Schema, ix.Name);
        try {
            dbsMain()->protect([&] { ExecuteSQL(one.first()); });
            deselect(ix);
        } catch (const std::exception &e) {
            if (ConnectionLost(e, dbsMain()) || !ignoreErr) {
                ShowMessageBox(QStringLiteral("再構築に失敗しました。"), MB_ICONWARNING | MB_OK);
                ShowError(ErrorText(e));
                mnuObjectClick();
                return;
            }
            failures << ix.Schema + u'.' + ix.Name + QStringLiteral(": ") + ErrorText(e);
        }
    }
    mnuObjectClick();
    if (!failures.isEmpty()) {
        ShowMessageBox(QStringLiteral("再構築に失敗しました。") + QStringLiteral("\r\n") + failures.join(QStringLiteral("\r\n")),
                       MB_ICONWARNING | MB_OK);
        return;
    }
    ShowObject(false);
    ShowMessageBox(QStringLiteral("再構築が完了しました。"), MB_ICONINFORMATION | MB_OK);
}
