#pragma once
// A db::Connection to the sandbox server whose search path starts with the test's schema.
#include "platform/db/dbquery.h"
#include "support/testdb_layer.h"

namespace dbtest {

inline void setSandboxParams(db::Connection &db)
{
    testdb::setLayerParams(db);
    db.setParam(QStringLiteral("ApplicationName"), QStringLiteral("vantor-dbtest"));
    db.setParam(QStringLiteral("CharacterSet"), QStringLiteral("UTF8"));
}

inline void openConnection(db::Connection &db, const QString &schema = QString())
{
    setSandboxParams(db);
    db.open();
    if (!schema.isEmpty())
        db.execute(QStringLiteral("SET search_path TO %1, public").arg(schema));
}

// The test's schema plus a layer connection on it.
class DbTest : public testdb::SchemaTest {
protected:
    void SetUp() override
    {
        testdb::SchemaTest::SetUp();
        ASSERT_NO_THROW(openConnection(FDb, schema()));
    }
    void TearDown() override
    {
        FDb.close();
        testdb::SchemaTest::TearDown();
    }
    // First column of the first row through the layer.
    QString value(const QString &sql)
    {
        db::Query q(&FDb);
        q.setParamCreation(false);
        q.setSql(sql);
        q.open();
        return q.isEmpty() ? QString() : q.field(0).asString();
    }
    db::Connection FDb;
};

} // namespace dbtest
