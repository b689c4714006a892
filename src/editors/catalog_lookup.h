#pragma once
// Catalog reads of the editors' load and script paths: small results read whole in one
// round trip (no server-side cursor around them), on the connection window's connection,
// with colon parameters set from values in order of first appearance.
#include <QString>
#include <QStringList>
#include <memory>

class TkdConnForm;
namespace db {
class Query;
}

std::unique_ptr<db::Query> OpenCatalogRows(TkdConnForm *Conn, const QString &Sql, const QStringList &Values);

// The first column of every row of a statement run through the connection window's OpenSQL
// (colon parameters set from values in order), NULL as empty; blanks around each value cut
// off when `Trimmed`.
QStringList ReadFirstColumn(TkdConnForm *Conn, const QString &Sql, const QStringList &Values = {}, bool Trimmed = false);
