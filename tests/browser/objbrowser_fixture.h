#pragma once
// A connection-window stand-in for the object tree and list tests: the connection services
// over a data-access connection to a sandbox database, with the option records loaded
// with their defaults into the test's private settings.
#include "core/kdconnservices.h"
#include "core/kdreg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_start.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"
#include "support/qstring_printer.h"
#include "support/testdb.h"
#include "support/testdb_layer.h"

#include <QString>
#include <memory>

class TestConnServices : public TkdConnServices {
public:
    // Opens a connection to Database with LoginSchema as its current schema.
    TestConnServices(const QString &Database, const QString &LoginSchema)
    {
        testdb::setLayerParams(FDb, Database);
        FDb.setParam(QStringLiteral("MetaDefSchema"), LoginSchema);
        FDb.open();
        FVer = FDb.dbVer();
    }
    db::Connection *dbsMain() const override { return const_cast<db::Connection *>(&FDb); }
    QString ConnectionParam(const QString &Name) const override { return FDb.param(Name); }
    int DBVer() const override { return FVer; }
    int DBAMODE() const override { return 0; }
    void SetDBVer(int Ver) { FVer = Ver; }

private:
    db::Connection FDb;
    int FVer = 0;
};

// Fresh settings with the default options for each test.
inline void ResetOptionsToDefaults()
{
    InitializeSharedUnit();
    LoadSettings();
}

// The schema names the connection window's GetSchemaInfo gives the tree: every user schema,
// pg_catalog, pg_toast and the temporary schemas folded to two names.
inline QStringList TreeSchemaNames(db::Connection &Db)
{
    db::Query q(&Db);
    q.setSql(QStringLiteral(
        "SELECT DISTINCT CASE WHEN nspname LIKE 'pg_temp%' THEN 'pg_temp' "
        "WHEN nspname LIKE 'pg_toast_temp%' THEN 'pg_toast_temp' ELSE nspname END "
        "FROM pg_namespace WHERE NOT nspname LIKE 'pg_%' OR nspname IN ('pg_catalog', 'pg_toast') "
        "OR nspname LIKE 'pg_temp%' OR nspname LIKE 'pg_toast_temp%' ORDER BY 1"));
    q.open();
    q.fetchAll();
    QStringList names;
    for (int r = 0; r < q.fetchedCount(); ++r)
        names << q.valueString(r, 0);
    return names;
}
