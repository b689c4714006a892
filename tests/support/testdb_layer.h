#pragma once
// The sandbox server's connection values on a connection of the program's data-access layer.
#include "platform/db/dbconnection.h"
#include "support/testdb.h"

namespace testdb {

// Sets Server, Port, Database (the test database unless one is named), User_Name and
// Password; the caller adds what else it needs (MetaDefSchema, …) and opens.
inline void setLayerParams(db::Connection &conn, const QString &database = QString())
{
    const Params &p = params();
    conn.setParam(QStringLiteral("Server"), p.host);
    conn.setParam(QStringLiteral("Port"), p.port);
    conn.setParam(QStringLiteral("Database"), database.isEmpty() ? p.database : database);
    conn.setParam(QStringLiteral("User_Name"), p.user);
    conn.setParam(QStringLiteral("Password"), p.password);
}

} // namespace testdb
