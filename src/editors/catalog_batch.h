#pragma once
// The editors' side of a script loop over many objects (core/kdscriptbatch.h): the load
// functions of indexes, constraints, triggers, tables and sequences first ask here. When the
// object was announced, the block of announced objects of its kind that holds it (the
// announced objects cut into blocks of kCatalogBatchBlock in their order) is read in one
// statement per kind of fact and kept until the loop moves to another block, and the
// object's facts come from there; they are the facts the one-object read gives, so the
// script is the same text.
#include "core/kdscriptbatch.h"
#include "editors/catalog_lookup.h"
#include "platform/db/dbquery.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <exception>
#include <memory>
#include <optional>

class TkdConnForm;

// Announced objects read together at most.
constexpr int kCatalogBatchBlock = 1000;

// The names of the items as a JSON array of objects {"s": schema, "t": table, "n": name},
// the one parameter of the block reads (every name travels as a value, never as SQL).
QString CatalogBatchKeys(const QList<TScriptBatchItem> &Items);

// The SQL condition that keeps the rows whose OID (OidCol) is that of an object among the
// keys of the parameter :KEYS: Catalog "" for relations (schema and name), "pg_constraint"
// or "pg_trigger" for the constraints and triggers of tables (schema, table and name).
QString CatalogBatchCondition(const QString &OidCol, const QString &Catalog);

// The OIDs (as text) as a JSON array, the one parameter :OIDS of CatalogBatchOidCondition,
// and the SQL condition that keeps the rows whose OidCol is among them.
QString CatalogBatchOids(const QStringList &Oids);
QString CatalogBatchOidCondition(const QString &OidCol);

// A block read of one row per object: Sql (its condition made by CatalogBatchCondition) opened
// with the keys of Items, each row read by Read into the facts of one object, kept under the
// TScriptBatch::Key that KeyOf gives for the row and those facts.
template <class Def, class ReadRow, class KeyOfDef>
QHash<QString, Def> ReadCatalogBatchRows(TkdConnForm *Conn, const QString &Sql, const QList<TScriptBatchItem> &Items,
                                         ReadRow Read, KeyOfDef KeyOf)
{
    QHash<QString, Def> defs;
    if (Items.isEmpty())
        return defs;
    const std::unique_ptr<db::Query> q = OpenCatalogRows(Conn, Sql, {CatalogBatchKeys(Items)});
    for (; !q->eof(); q->next()) {
        const Def d = Read(q.get());
        defs.insert(KeyOf(q.get(), d), d);
    }
    q->close();
    return defs;
}

// Reads a block of items: the facts of those found, by TScriptBatch::Key.
template <class Def>
using TCatalogBatchReader = QHash<QString, Def> (*)(TkdConnForm *Conn, const QList<TScriptBatchItem> &Items);

template <class Def>
struct TCatalogBatchBlock {
    int Start = 0, End = 0;       // positions among the announced items
    QHash<QString, Def> Defs;
};

// The facts of Item from the live batch of Conn: nullopt when there is no batch, the item
// was not announced, or its block did not return it (the caller then reads it alone); true
// with Out set otherwise. A block read that fails leaves its items to the one-object reads.
template <class Def>
std::optional<bool> CatalogBatchLookup(TkdConnForm *Conn, int EditorCode, const TScriptBatchItem &Item, Def &Out,
                                       TCatalogBatchReader<Def> Read)
{
    TScriptBatch *batch = TScriptBatch::Of(Conn);
    if (!batch)
        return std::nullopt;
    const int pos = batch->Position(EditorCode, Item);
    if (pos < 0)
        return std::nullopt;
    std::shared_ptr<void> &slot = batch->Cache(EditorCode);
    auto block = std::static_pointer_cast<TCatalogBatchBlock<Def>>(slot);
    if (!block || pos < block->Start || pos >= block->End) {
        const int start = pos / kCatalogBatchBlock * kCatalogBatchBlock;
        const QList<TScriptBatchItem> items = batch->Items(EditorCode).mid(start, kCatalogBatchBlock);
        block = std::make_shared<TCatalogBatchBlock<Def>>();
        block->Start = start;
        block->End = start + int(items.size());
        slot = block; // only the newest block is kept
        try {
            block->Defs = Read(Conn, items);
        } catch (const std::exception &) {
            // The items of this block are read one at a time, which reports what failed.
        }
    }
    const auto it = block->Defs.constFind(TScriptBatch::Key(Item.Schema, Item.TableName, Item.ObjectName));
    if (it == block->Defs.constEnd())
        return std::nullopt;
    Out = *it;
    return true;
}
