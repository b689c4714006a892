#include "editors/catalog_batch.h"

QString CatalogBatchKeys(const QList<TScriptBatchItem> &Items)
{
    QJsonArray keys;
    for (const TScriptBatchItem &i : Items)
        keys.append(QJsonObject{{QStringLiteral("s"), i.Schema}, {QStringLiteral("t"), i.TableName}, {QStringLiteral("n"), i.ObjectName}});
    return QString::fromUtf8(QJsonDocument(keys).toJson(QJsonDocument::Compact));
}

QString CatalogBatchCondition(const QString &OidCol, const QString &Catalog)
{
    // The keys find the relations through the catalogs' name indexes, and the rows are then
    // taken by OID: the planner drives the read from the keys (a join on the names read
    // every index or trigger of the database and kept those among the keys).
    QString sql = OidCol + QStringLiteral(
        " = ANY (ARRAY(SELECT b.oid FROM json_to_recordset(CAST(:KEYS AS json)) AS k(s name, t name, n name) "
        "JOIN pg_namespace bn ON bn.nspname = k.s ");
    if (Catalog.isEmpty())
        return sql + QStringLiteral("JOIN pg_class b ON b.relnamespace = bn.oid AND b.relname = k.n))");
    sql += QStringLiteral("JOIN pg_class bc ON bc.relnamespace = bn.oid AND bc.relname = k.t ");
    if (Catalog == QLatin1String("pg_constraint"))
        return sql + QStringLiteral("JOIN pg_constraint b ON b.conrelid = bc.oid AND b.conname = k.n))");
    return sql + QStringLiteral("JOIN pg_trigger b ON b.tgrelid = bc.oid AND b.tgname = k.n))");
}

QString CatalogBatchOids(const QStringList &Oids)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(Oids)).toJson(QJsonDocument::Compact));
}

QString CatalogBatchOidCondition(const QString &OidCol)
{
    return OidCol + QStringLiteral(" = ANY (ARRAY(SELECT CAST(o AS oid) FROM json_array_elements_text(CAST(:OIDS AS json)) AS x(o)))");
}
