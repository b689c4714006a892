#include "core/kdscriptbatch.h"

#include "core/kdeditorreg.h"
#include "core/kdsub_options.h"

namespace {
// The live batch of each connection window. Script loops run on the GUI thread only.
QHash<TkdConnForm *, TScriptBatch *> &Batches()
{
    static QHash<TkdConnForm *, TScriptBatch *> batches;
    return batches;
}
} // namespace

TScriptBatch::TScriptBatch(TkdConnForm *Owner) : FOwner(Owner), FOuter(Batches().value(Owner))
{
    Batches().insert(Owner, this);
}

TScriptBatch::~TScriptBatch()
{
    if (FOuter)
        Batches().insert(FOwner, FOuter);
    else
        Batches().remove(FOwner);
}

QString TScriptBatch::Key(const QString &Schema, const QString &TableName, const QString &ObjectName)
{
    // Names never hold a zero character, so the key is unambiguous.
    return Schema + QChar(0) + TableName + QChar(0) + ObjectName;
}

void TScriptBatch::Add(int ObjectType, const QString &Schema, const QString &ObjectName, const QString &TableName)
{
    int code = 0;
    TObjectArgs args;
    if (!ScriptArgsOf(ObjectType, Schema, ObjectName, QString(), QString(), 0, TableName,
                      TScriptOption::Global().Index, code, args))
        return;
    TKind &kind = FKinds[code];
    const QString key = Key(args.Schema, args.TableName, args.ObjectName);
    if (kind.Positions.contains(key))
        return;
    kind.Positions.insert(key, int(kind.Items.size()));
    kind.Items << TScriptBatchItem{args.Schema, args.TableName, args.ObjectName};
}

TScriptBatch *TScriptBatch::Of(TkdConnForm *Owner)
{
    return Batches().value(Owner);
}

const QList<TScriptBatchItem> &TScriptBatch::Items(int EditorCode) const
{
    static const QList<TScriptBatchItem> none;
    const auto it = FKinds.find(EditorCode);
    return it == FKinds.end() ? none : it->second.Items;
}

int TScriptBatch::Position(int EditorCode, const TScriptBatchItem &Item) const
{
    const auto it = FKinds.find(EditorCode);
    if (it == FKinds.end())
        return -1;
    return it->second.Positions.value(Key(Item.Schema, Item.TableName, Item.ObjectName), -1);
}
