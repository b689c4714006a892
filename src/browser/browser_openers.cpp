// Registration of the connection-window layer's dialogs in the window-opener table.
#include "browser/browser_openers.h"

#include "browser/ffldlist.h"
#include "browser/fobject.h"
#include "browser/fsoption.h"
#include "browser/ftablelist.h"
#include "core/kdopeners.h"

using kdopeners::OpenerOut;

namespace {
TfrmObject *ConnectionWindow(const TOpenerArgs &a)
{
    return a.Owner ? dynamic_cast<TfrmObject *>(a.Owner) : nullptr;
}
} // namespace

void RegisterBrowserOpeners()
{
    kdopeners::Register(QStringLiteral("TfrmFieldList"), [](const TOpenerArgs &a) -> QWidget * {
        QStringList *list = OpenerOut<QStringList>(a.Values, "FieldList");
        if (a.Owner && list)
            TfrmFieldList::ShowWindow(a.Owner, a.Values.value(QStringLiteral("Schema")).toString(),
                                      a.Values.value(QStringLiteral("TableName")).toString(), *list);
        return nullptr;
    });
    kdopeners::Register(QStringLiteral("TfrmTableList"), [](const TOpenerArgs &a) -> QWidget * {
        auto *list = OpenerOut<QList<TTableChoice>>(a.Values, "TableList");
        if (TfrmObject *owner = ConnectionWindow(a); owner && list)
            TfrmTableList::ShowWindow(owner, *list);
        return nullptr;
    });
    kdopeners::Register(QStringLiteral("TfrmScriptOption"), [](const TOpenerArgs &a) -> QWidget * {
        bool *accepted = OpenerOut<bool>(a.Values, "Accepted");
        bool ok = false;
        if (TfrmObject *owner = ConnectionWindow(a)) {
            QString path, table;
            ok = TfrmScriptOption::ShowWindow(owner, path, table);
            if (ok) {
                if (QString *p = OpenerOut<QString>(a.Values, "ScriptPath"))
                    *p = path;
                if (QString *t = OpenerOut<QString>(a.Values, "NameTable"))
                    *t = table;
            }
        } else {
            ok = TfrmScriptOption::ShowWindow();
        }
        if (accepted)
            *accepted = ok;
        return nullptr;
    });
}
