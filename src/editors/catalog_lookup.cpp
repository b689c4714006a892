#include "editors/catalog_lookup.h"

#include "core/kdforms.h"
#include "platform/db/dbquery.h"

QStringList ReadFirstColumn(TkdConnForm *Conn, const QString &Sql, const QStringList &Values, bool Trimmed)
{
    QStringList list;
    db::Query *q = Conn->OpenSQL(Sql, Values);
    while (!q->eof()) {
        list << (Trimmed ? q->field(0).asString().trimmed() : q->field(0).asString());
        q->next();
    }
    q->close();
    return list;
}

std::unique_ptr<db::Query> OpenCatalogRows(TkdConnForm *Conn, const QString &Sql, const QStringList &Values)
{
    auto q = std::make_unique<db::Query>(Conn->dbsMain());
    q->setParamCreation(true);
    q->setSql(Sql);
    for (int i = 0; i < q->paramCount() && i < Values.size(); ++i)
        q->param(i).setAsString(Values.at(i));
    q->setSmallResult(true);
    q->open();
    return q;
}
