#pragma once
// What the shared core needs of a connection window: its connection, the connection's
// parameters read by name, and the server version. The connection window implements it;
// the core and the controls reach a connection window only through this interface.
#include "core/kdsub_object.h"
#include <QString>

namespace db { class Connection; }

class TkdConnServices {
public:
    virtual ~TkdConnServices() = default;

    // The connection `dbsMain` that every query of a child window runs on.
    virtual db::Connection *dbsMain() const = 0;

    // A parameter of that connection, as text: "Server", "Database", "MetaDefSchema" (the
    // current schema), "Port", "User_Name", "Password"; empty when it is not set.
    virtual QString ConnectionParam(const QString &Name) const = 0;

    // The server version as major*10000 + minor*100 + patch (999999 when unknown).
    virtual int DBVer() const = 0;

    // The access mode passed along to the code-assist provider.
    virtual int DBAMODE() const = 0;

    // The connection's current schema (its "MetaDefSchema" parameter).
    QString CurrentSchema() const { return ConnectionParam(QStringLiteral("MetaDefSchema")); }

    // The connection as a TRecParam (no object fields).
    TRecParam RecParam() const
    {
        return MakeRecParam(ConnectionParam(QStringLiteral("Server")),
                            ConnectionParam(QStringLiteral("Database")), CurrentSchema(),
                            ConnectionParam(QStringLiteral("Port")),
                            ConnectionParam(QStringLiteral("User_Name")),
                            ConnectionParam(QStringLiteral("Password")));
    }
};
