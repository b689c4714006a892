// What queries cost on the wire, counted on the connection: a small result read whole takes
// one round trip and no cursor, and keeps the layer's promises (the caller's block survives
// a failing look-up; parameters are bound).
#include "platform/db/dbquery.h"
#include "support/qstring_printer.h"
#include "platform/db_fixture.h"

#include <gtest/gtest.h>

namespace {

using DbRoundTrips = dbtest::DbTest;

TEST_F(DbRoundTrips, SmallResultsComeWholeInOneRoundTripOutsideABlock)
{
    FDb.execute(QStringLiteral("CREATE TABLE s (id int, v text)"));
    FDb.execute(QStringLiteral("INSERT INTO s SELECT g, 'v' || g FROM generate_series(1, 5) g"));
    struct Case { const char *name; bool small; qint64 trips; };
    // Behind a cursor, with a parameter: BEGIN, DECLARE (bound) and the first FETCH, then
    // CLOSE and COMMIT in one message once every row is read.
    const Case cases[] = {{"cursor", false, 4}, {"small", true, 1}};
    for (const Case &c : cases) {
        db::Query q(&FDb);
        q.setSmallResult(c.small);
        q.setSql(QStringLiteral("SELECT id, v FROM s WHERE id >= :FROM ORDER BY id"));
        q.param(0).setAsInteger(2);
        const qint64 before = FDb.roundTrips();
        const qint64 statements = FDb.statementCount();
        q.open();
        QStringList values;
        for (; !q.eof(); q.next())
            values << q.field(1).asString();
        q.close();
        EXPECT_EQ(values, (QStringList{"v2", "v3", "v4", "v5"})) << c.name;
        EXPECT_EQ(FDb.roundTrips() - before, c.trips) << c.name;
        EXPECT_EQ(FDb.statementCount() - statements, 1) << c.name;
        EXPECT_FALSE(FDb.inTransaction()) << c.name;
    }
}

TEST_F(DbRoundTrips, AFailingSmallLookupInsideTheCallersBlockUndoesOnlyItself)
{
    FDb.execute(QStringLiteral("CREATE TABLE k (id int)"));
    FDb.startTransaction();
    FDb.execute(QStringLiteral("INSERT INTO k VALUES (1)"));
    db::Query q(&FDb);
    q.setSmallResult(true);
    q.setParamCreation(false);
    q.setSql(QStringLiteral("SELECT 1 / 0"));
    FDb.setErrorFilter(false);
    EXPECT_THROW(q.open(), db::Error);
    EXPECT_TRUE(FDb.inTransaction());
    q.setSql(QStringLiteral("SELECT count(*) FROM k"));
    q.open();
    EXPECT_EQ(q.field(0).asString(), QStringLiteral("1"));
    q.close();
    FDb.commit();
    db::Query after(&FDb);
    after.setSql(QStringLiteral("SELECT count(*) FROM k"));
    after.open();
    EXPECT_EQ(after.field(0).asString(), QStringLiteral("1"));
}

} // namespace
