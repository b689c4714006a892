#include "core/kdworkspace.h"

#include "core/kdreg.h"

namespace {
const QString kKey = QString::fromUtf16(kMainKey) + QStringLiteral("\\WORKSPACE");

bool HasOid(int type) { return type == 52; }
bool HasTable(int type) { return type == 57 || type == 66 || type == 127; }
} // namespace

QList<TkdWorkSpace> &WorkSpaceStore()
{
    static QList<TkdWorkSpace> store;
    return store;
}

void LoadWorkSpace()
{
    TkdRegistry &reg = SharedRegistry();
    QList<TkdWorkSpace> &store = WorkSpaceStore();
    store.clear();
    if (!reg.OpenKey(kKey, true))
        return;
    const QStringList names = reg.GetKeyNames();
    reg.CloseKey();
    for (const QString &name : names) {
        TkdWorkSpace e;
        if (reg.OpenKey(kKey + QStringLiteral("\\") + name, false)) {
            e.ObjectType = reg.GetInteger(QStringLiteral("ObjectType"), 45);
            e.Title = reg.GetString(QStringLiteral("Title"), QString());
            e.Schema = reg.GetString(QStringLiteral("Schema"), QString());
            e.ObjectName = reg.GetString(QStringLiteral("ObjectName"), QString());
            e.Connect = reg.GetString(QStringLiteral("Connect"), QString());
            if (HasOid(e.ObjectType))
                e.oid = reg.GetInteger(QStringLiteral("oid"), -1);
            else if (HasTable(e.ObjectType))
                e.TableName = reg.GetString(QStringLiteral("TableName"), QString());
            reg.CloseKey();
        }
        store.append(e);
    }
}

void SaveWorkSpace()
{
    TkdRegistry &reg = SharedRegistry();
    reg.BeginUpdate();
    try {
        reg.DeleteKey(kKey);
        const QList<TkdWorkSpace> &store = WorkSpaceStore();
        for (int n = 0; n < store.size(); ++n) {
            const TkdWorkSpace &e = store.at(n);
            if (!reg.OpenKey(kKey + QStringLiteral("\\") + QString::number(n), true))
                continue;
            reg.WriteInteger(QStringLiteral("ObjectType"), e.ObjectType);
            reg.WriteString(QStringLiteral("Title"), e.Title);
            reg.WriteString(QStringLiteral("Schema"), e.Schema);
            reg.WriteString(QStringLiteral("ObjectName"), e.ObjectName);
            reg.WriteString(QStringLiteral("Connect"), e.Connect);
            if (HasOid(e.ObjectType))
                reg.WriteInteger(QStringLiteral("oid"), int(e.oid));
            else if (HasTable(e.ObjectType))
                reg.WriteString(QStringLiteral("TableName"), e.TableName);
            reg.CloseKey();
        }
    } catch (...) {
        reg.CancelUpdate();
        throw;
    }
    reg.EndUpdate();
}

QString WorkSpaceTitle(int ObjectType, const QString &Name, const QString &Schema, const QString &Args,
                       const QString &TableName)
{
    if (HasOid(ObjectType))
        return Name + QStringLiteral("(") + Args + QStringLiteral(") (") + Schema + QStringLiteral(")");
    if (HasTable(ObjectType))
        return Name + QStringLiteral(" (") + Schema + QStringLiteral(".") + TableName + QStringLiteral(")");
    return Name + QStringLiteral(" (") + Schema + QStringLiteral(")");
}

int WorkSpaceIndexOf(const TkdWorkSpace &Entry)
{
    const QList<TkdWorkSpace> &store = WorkSpaceStore();
    for (int i = 0; i < store.size(); ++i) {
        const TkdWorkSpace &e = store.at(i);
        if (e.ObjectType != Entry.ObjectType || e.ObjectName != Entry.ObjectName || e.Schema != Entry.Schema
            || e.Connect != Entry.Connect)
            continue;
        if (HasOid(e.ObjectType) && e.oid != Entry.oid)
            continue;
        if (HasTable(e.ObjectType) && e.TableName != Entry.TableName)
            continue;
        return i;
    }
    return -1;
}

bool WorkSpaceContains(const TkdWorkSpace &Entry)
{
    return WorkSpaceIndexOf(Entry) >= 0;
}

int WorkSpaceArgsSubItem(const QStringList &ColumnCaptions)
{
    const qsizetype column = ColumnCaptions.indexOf(QStringLiteral("引数"));
    return column >= 1 ? int(column) - 1 : -1;
}

int AppendWorkSpaceItems(const QString &Connect, const QList<TkdWorkSpaceItem> &Items)
{
    int added = 0;
    for (const TkdWorkSpaceItem &item : Items) {
        TkdWorkSpace e;
        e.ObjectType = item.ObjectType;
        e.ObjectName = item.Name;
        e.Schema = item.SubItems.value(0);
        e.Connect = Connect;
        if (HasOid(e.ObjectType))
            e.oid = item.SubItems.value(8).toLongLong();
        if (HasTable(e.ObjectType))
            e.TableName = item.SubItems.value(11);
        if (WorkSpaceContains(e))
            continue;
        const QString args = item.ArgsSubItem >= 0 ? item.SubItems.value(item.ArgsSubItem) : QString();
        e.Title = WorkSpaceTitle(e.ObjectType, e.ObjectName, e.Schema, args, e.TableName);
        WorkSpaceStore().append(e);
        ++added;
    }
    return added;
}
