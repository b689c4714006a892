#pragma once
// A connection window over a real connection to one database of the sandbox server, for tests
// of child windows that work on their owner's connection.
#include "core/kdforms.h"
#include "platform/db/dbconnection.h"
#include "support/testdb_layer.h"

#include <QWidget>

namespace testdb {

class DbConnForm : public QWidget, public TkdConnForm
{
public:
    // Opens the connection; a non-empty schema becomes the connection's current schema.
    explicit DbConnForm(const QString &database, const QString &schema = QString())
    {
        setLayerParams(FDb, database);
        if (!schema.isEmpty())
            FDb.setParam(QStringLiteral("MetaDefSchema"), schema);
        FDb.open();
    }
    db::Connection *dbsMain() const override { return const_cast<db::Connection *>(&FDb); }
    QString ConnectionParam(const QString &name) const override { return FDb.param(name); }
    int DBVer() const override { return 150000; }
    int DBAMODE() const override { return 0; }
    QWidget *Widget() override { return this; }
    int ObjectCount() const override { return 0; }
    int SelectedObjectCount() const override { return 0; }
    void ExecuteSQL(const QString &) override {}
    void FormActivate() override {}
    db::Connection FDb;
};

} // namespace testdb
