// Copy and paste of objects. A copy records the selected objects by name in one list shared
// by every connection window (and puts their names on the clipboard); a paste recreates each
// of them under a new name in the schema selected in the tree of the window where it is
// given: the object's script comes from the editor table (OutputScript) and is renamed on
// whole tokens (objpaste.h), then runs through the DDL preview and the run log. A paste reads
// definitions and rows through its own window's connection.
#include "browser/fobject.h"

#include "browser/fddlexec.h"
#include "browser/fddlpreview.h"
#include "browser/objcommands.h"
#include "browser/objlist.h"
#include "browser/objpaste.h"
#include "browser/objtree.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_object.h"
#include "core/kdsub_options.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>

namespace {

// One copied object.
struct TCopiedObject {
    int Type = 0;
    QString Schema, Name, Oid, Table;
};

QList<TCopiedObject> &CopiedObjects()
{
    static QList<TCopiedObject> list;
    return list;
}

// The script options a paste changes for its own duration, restored on every exit.
struct TScriptOptionScope {
    TScriptOption Saved = TScriptOption::Global();
    ~TScriptOptionScope() { TScriptOption::Global() = Saved; }
};

QString Title()
{
    const QString t = QGuiApplication::applicationDisplayName();
    return t.isEmpty() ? QStringLiteral("Kelvane for Symfoware") : t;
}

// Asks for a name; false on Cancel. A blank answer is asked again.
bool AskName(const QString &prompt, QString &name, QList<MsgCheckItem> &boxes)
{
    for (;;) {
        if (!InputQueryWithChecks(Title(), prompt, name, boxes, false))
            return false;
        if (!name.trimmed().isEmpty())
            return true;
    }
}

} // namespace

bool HasCopiedObjects()
{
    return !CopiedObjects().isEmpty();
}

void ClearCopiedObjects()
{
    CopiedObjects().clear();
}

void TfrmObject::actCopyExecute()
{
    const TObjectListModel *m = lstObject->Model();
    const QList<int> rows = lstObject->SelectedRows();
    if (rows.isEmpty())
        return;
    QList<TCopiedObject> copied;
    QStringList names;
    bool excluded = false;
    for (int row : rows) {
        const TListObject o = ListObjectOf(m->Row(row).Caption, m->Row(row).ImageIndex, m->Row(row).SubItems);
        names << o.Name;
        if (o.Type == 46 || o.Type == 66 || o.Schema.startsWith(QStringLiteral("pg_temp"))
            || o.Schema.startsWith(QStringLiteral("pg_toast"))) {
            excluded = true;
            continue;
        }
        const bool hasTable = o.Type == 57 || o.Type == 127;
        copied << TCopiedObject{o.Type, o.Schema, o.Name, o.Type == 52 ? o.Oid : QString(),
                                hasTable ? o.Table : QString()};
    }
    QApplication::clipboard()->setText(names.join(QStringLiteral("\r\n")));
    CopiedObjects() = copied;
    if (excluded)
        ShowMessageBox(QStringLiteral("コピーできないオブジェクトが選択されていました。\r\npg_temp / pg_toast / "
                                      "pg_toast_tempスキーマに\r\n属するオブジェクト、INDEX / CONSTRAINT オブジェクトは"
                                      "\r\nコピーできないため、コピー対象から除外しました。"),
                       MB_ICONWARNING | MB_OK);
    mnuObjectClick();
}

void TfrmObject::actPasteExecute()
{
    // A copy of the list: a window closed while a paste runs empties the shared one.
    const QList<TCopiedObject> objects = CopiedObjects();
    if (objects.isEmpty())
        return;
    TScriptOptionScope options;
    TScriptOption::Global().Insert = false;
    TScriptOption::Global().Owner = 0;
    const TTreeSelection node = FTreePane->Selection();
    const QString target = PasteTargetSchema(node.Level, node.Image, node.Text, node.ParentText,
                                             TkdOption::Global().TreeSort, ConnectionParam(QStringLiteral("User_Name")));
    for (const TCopiedObject &e : objects) {
        const bool table = e.Type == 45;
        QList<MsgCheckItem> boxes;
        if (table)
            boxes = {MsgCheckItem{QStringLiteral("インデックスも含める"), true},
                     MsgCheckItem{QStringLiteral("テーブルデータも含める"), true}};
        QString newName = e.Name;
        if (!AskName(QStringLiteral("新規オブジェクト名"), newName, boxes))
            return; // objects pasted before stay; nothing is reloaded
        const bool withIndexes = table && boxes.value(0).Checked;
        const bool withData = table && boxes.value(1).Checked;
        TScriptOption::Global().Index = withIndexes;

        TScriptSink sink;
        const quint32 oid = e.Type == 52 ? e.Oid.toUInt() : 0;
        if (!OutputScript(e.Type, e.Schema, e.Name, sink, target, newName, oid, e.Table))
            continue; // not in this database (or no script): nothing runs for it
        QStringList lines = sink.Lines();

        TPasteRename rename;
        rename.Type = e.Type;
        rename.Schema = e.Schema;
        rename.Name = e.Name;
        rename.NewSchema = target;
        rename.NewName = newName;
        if (withIndexes) {
            // The copy's indexes, each under the name the user gives it (the script's own
            // name offered), renamed in this table's script alone.
            for (const QString &ix : ScriptIndexNames(lines)) {
                QString to = ix;
                QList<MsgCheckItem> none;
                if (!AskName(QStringLiteral("新規インデックス名"), to, none))
                    return;
                rename.IndexNames.append({ix, to});
            }
        }
        lines = RenamePastedScript(lines, rename);
        if (withData)
            lines << PasteDataLines(e.Schema, e.Name, target, newName);

        if (!TfrmDDLPreview::ShowWindow(lines, target, newName))
            continue;
        try {
            TfrmDDLExec::ShowWindow(this, lines);
        } catch (const EAbort &) {
            // the run log reports each statement itself
        }
        TfrmDDLExec::WaitProc();
    }
    GuardedCall([this] { ShowObject(false); });
}
