// User commands: a named SQL text from a command file, run once, or once per selected
// object with the object's name, schema, type and list columns filled into its macros. Each
// run reads its file anew. Statements run under the connection's savepoint, so with
// UpdateToCommit off a failing command leaves the user's open transaction usable.
#include "browser/fobject.h"

#include "browser/objcommands.h"
#include "browser/objlist.h"
#include "core/kdopeners.h"
#include "core/kdsub_msg.h"

namespace {

const QString kDone = QStringLiteral("コマンドを実行しました。");

// The completion message; with errors ignored, how many statements failed.
QString DoneText(int failures)
{
    if (failures == 0)
        return kDone;
    return kDone + QStringLiteral("\r\n") + QString::number(failures) + QStringLiteral(" 件の実行でエラーが発生しました。");
}

} // namespace

void TfrmObject::RunUserCommand(const QString &name)
{
    const TUserCommand cmd = GetCommandValue(UserCommandPath(name));
    if (cmd.Dialog && ShowMessageBox(name + QStringLiteral(" を実行しますか？"), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    TkdWaitCursor wait;

    // One statement: in a new SQL window that runs it and reports itself, or here.
    auto runOne = [&](const QString &sql) {
        if (cmd.SQLWindow) {
            TOpenerArgs args;
            args.Owner = this;
            args.Parent = this;
            args.Values.insert(QStringLiteral("SQL"), sql);
            args.Values.insert(QStringLiteral("Run"), true);
            kdopeners::Open(QStringLiteral("TfrmSQL"), args);
            return;
        }
        if (sql.trimmed().isEmpty())
            return;
        dbsMain()->protect([&] { ExecuteSQL(sql); });
    };
    auto failed = [&](const std::exception &e, const QString &sql) {
        ShowMessageBox(QString::fromUtf8(e.what()) + QStringLiteral("\r\n\r\n") + sql, MB_ICONERROR | MB_OK);
    };

    if (!cmd.SQL.contains(u'&')) {
        int failures = 0;
        try {
            runOne(cmd.SQL);
        } catch (const EAbort &) {
            throw;
        } catch (const std::exception &e) {
            if (!cmd.Error) {
                failed(e, cmd.SQL);
                return;
            }
            ++failures;
        }
        if (!cmd.SQLWindow)
            ShowMessageBox(DoneText(failures), MB_ICONINFORMATION | MB_OK);
        return;
    }

    // Once per selected object; a failure keeps its object selected.
    if (lstObject->SelectedRows().isEmpty())
        return;
    const TObjectListModel *m = lstObject->Model();
    int failures = 0;
    ObjectLoop(true, [&](int row) {
        const QString sql = ExpandUserMacros(cmd.SQL, m->Row(row).Caption, m->Row(row).SubItems);
        try {
            runOne(sql);
        } catch (const EAbort &) {
            throw;
        } catch (const std::exception &e) {
            if (!cmd.Error) {
                failed(e, sql);
                throw EAbort(); // ends the command; this object and the later ones stay selected
            }
            ++failures;
            return false;
        }
        return true;
    });
    if (!cmd.SQLWindow)
        ShowMessageBox(DoneText(failures), MB_ICONINFORMATION | MB_OK);
}
