#include "editors/catalog_batch.h"

QString CatalogBatchKeys(const QList<TScriptBatchItem> &Items)
{
    QJsonArray keys;
    for (const TScriptBatchItem &i : Items)
        keys.append(QJsonObject{{QStringLiteral("s"), i.Schema}, {QStringLiteral("t"), i.TableName}, {QStringLiteral("n"), i.ObjectName}});
    return QString::fromUtf8(QJsonDocument(keys).toJson(QJsonDocument::Compact));
}

QString CatalogBatchCondition(const QString &SchemaCol, const QString &TableCol, const QString &NameCol)
{
    if (TableCol.isEmpty())
        return QLatin1Char('(') + SchemaCol + QStringLiteral(", ") + NameCol
               + QStringLiteral(") IN (SELECT k.s, k.n FROM json_to_recordset(CAST(:KEYS AS json)) AS k(s name, n name))");
    return QLatin1Char('(') + SchemaCol + QStringLiteral(", ") + TableCol + QStringLiteral(", ") + NameCol
           + QStringLiteral(") IN (SELECT k.s, k.t, k.n FROM json_to_recordset(CAST(:KEYS AS json)) AS k(s name, t name, n name))");
}
