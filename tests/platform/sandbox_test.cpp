// The test harness itself: the sandbox server answers, a test schema is private and is
// dropped afterwards, and the sample database is there.
#include "support/testdb.h"

namespace {

class SandboxTest : public testdb::SchemaTest {};

TEST_F(SandboxTest, SchemaIsFreshAndOnSearchPath)
{
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = '%1'").arg(schema())), QStringLiteral("0"));
    exec(QStringLiteral("CREATE TABLE t1 (a int)"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT n.nspname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace WHERE c.relname = 't1' AND n.nspname = '%1'").arg(schema())), schema());
}

TEST(Sandbox, PasswordAuthenticationOverTcp)
{
    const auto &p = testdb::params();
    ASSERT_FALSE(p.host.isEmpty());
    const QByteArray host = p.host.toUtf8(), port = p.port.toUtf8(), user = p.user.toUtf8(), db = p.database.toUtf8();
    const char *keys[] = {"host", "port", "user", "password", "dbname", nullptr};
    const char *vals[] = {host.constData(), port.constData(), user.constData(), "wrong-password", db.constData(), nullptr};
    testdb::ConnPtr c(PQconnectdbParams(keys, vals, 0));
    EXPECT_NE(PQstatus(c.get()), CONNECTION_OK);
    EXPECT_NE(QString::fromUtf8(PQerrorMessage(c.get())).indexOf(QLatin1String("password authentication failed")), -1);
}

TEST(Sandbox, SampleDatabaseIsLoaded)
{
    auto c = testdb::connect(testdb::params().sampleDatabase);
    ASSERT_EQ(PQstatus(c.get()), CONNECTION_OK);
}

} // namespace
