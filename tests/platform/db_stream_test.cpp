// Rows handed over one at a time while the server sends them (Connection::streamRows): values
// and NULLs as a query reads them, one statement in one round trip, a stop or a failure that
// leaves the connection and the caller's block usable, and no second call while it runs.
#include "platform/db/dbquery.h"
#include "support/qstring_printer.h"
#include "platform/db_fixture.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace {

using DbStream = dbtest::DbTest;

// Every row as "a|b|…", NULL written as "∅".
QStringList streamAll(db::Connection &c, const QString &sql)
{
    QStringList rows;
    c.streamRows(sql, [&](const db::RowView &r) {
        QStringList values;
        for (int i = 0; i < r.fieldCount(); ++i)
            values << (r.isNull(i) ? QStringLiteral("∅") : r.text(i));
        rows << values.join(u'|');
        return true;
    });
    return rows;
}

TEST_F(DbStream, RowsComeInOrderWithTheirValuesInOneRoundTrip)
{
    // Values that repeat down a column, change back and forth, and NULL beside an empty text:
    // each row shows its own value, however the texts of equal values are shared.
    FDb.execute(QStringLiteral("CREATE TABLE s (id int, k text, v text)"));
    FDb.execute(QStringLiteral("INSERT INTO s VALUES (1, '表', 'a'), (2, '表', 'a'), (3, '裏', 'b'), "
                               "(4, '表', NULL), (5, '表', ''), (6, NULL, 'b')"));
    QStringList seen;
    FDb.setStatementObserver([&](const QString &sql) { seen << sql; });
    const qint64 trips = FDb.roundTrips();
    const QStringList rows = streamAll(FDb, QStringLiteral("SELECT id, k, v FROM s ORDER BY id"));
    EXPECT_EQ(rows, (QStringList{"1|表|a", "2|表|a", "3|裏|b", "4|表|∅", "5|表|", "6|∅|b"}));
    EXPECT_EQ(FDb.roundTrips() - trips, 1);
    EXPECT_EQ(seen, QStringList{QStringLiteral("SELECT id, k, v FROM s ORDER BY id")});
    EXPECT_FALSE(FDb.inTransaction());
    // An empty result hands over nothing and returns 0.
    EXPECT_EQ(FDb.streamRows(QStringLiteral("SELECT 1 WHERE false"), [](const db::RowView &) { return true; }), 0);
}

TEST_F(DbStream, TextsAreDecodedInTheClientEncoding)
{
    FDb.execute(QStringLiteral("SET CLIENT_ENCODING TO 'SJIS'"));
    EXPECT_EQ(streamAll(FDb, QStringLiteral("SELECT '日本語の名前', 'ｶﾅ'")), QStringList{QStringLiteral("日本語の名前|ｶﾅ")});
}

TEST_F(DbStream, AStopOrAFailureLeavesTheConnectionAndTheCallersBlockUsable)
{
    FDb.setErrorFilter(false);
    FDb.execute(QStringLiteral("CREATE TABLE k (id int)"));
    const QString many = QStringLiteral("SELECT g FROM generate_series(1, 200000) g");
    const QString failing = QStringLiteral("SELECT 10 / (3 - g) FROM generate_series(1, 5) g");
    struct Case { const char *name; bool inBlock; };
    for (const Case c : {Case{"outside a block", false}, Case{"inside the caller's block", true}}) {
        SCOPED_TRACE(c.name);
        if (c.inBlock) {
            FDb.startTransaction();
            FDb.execute(QStringLiteral("INSERT INTO k VALUES (1)"));
        }
        // The sink stops after three rows: the rest is not handed over.
        int handed = 0;
        const qint64 rows = FDb.streamRows(many, [&](const db::RowView &) { return ++handed < 3; });
        EXPECT_EQ(handed, 3);
        EXPECT_EQ(rows, 3);
        EXPECT_EQ(value(QStringLiteral("SELECT 41 + 1")), QStringLiteral("42"));
        // A failure after the first rows: the rows before it came, then the error.
        QStringList before;
        try {
            FDb.streamRows(failing, [&](const db::RowView &r) { before << r.text(0); return true; });
            ADD_FAILURE() << "no error";
        } catch (const db::Error &e) {
            EXPECT_EQ(e.sqlState, QStringLiteral("22012"));
        }
        EXPECT_EQ(before, (QStringList{"5", "10"}));
        // An exception of the sink passes on; the statement is given up.
        EXPECT_THROW(FDb.streamRows(many, [](const db::RowView &) -> bool { throw std::runtime_error("sink"); }),
                     std::runtime_error);
        EXPECT_FALSE(FDb.isBusy());
        EXPECT_EQ(value(QStringLiteral("SELECT 'next'")), QStringLiteral("next"));
        if (c.inBlock) {
            EXPECT_TRUE(FDb.inTransaction());
            EXPECT_EQ(FDb.transactionState(), db::TransactionState::InBlock);
            EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM k")), QStringLiteral("1"));
            FDb.commit();
            EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM k")), QStringLiteral("1"));
        }
    }
}

TEST_F(DbStream, AStopBeforeTheFirstRowCancelsASlowStatement)
{
    // The server takes 30 s before its first row; the caller gives up at the first wait.
    QElapsedTimer clock;
    clock.start();
    int waits = 0;
    const qint64 rows = FDb.streamRows(
        QStringLiteral("SELECT pg_sleep(30), 1"), [](const db::RowView &) { return true; },
        [&] { return ++waits < 1; });
    EXPECT_EQ(rows, 0);
    EXPECT_EQ(waits, 1);
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(value(QStringLiteral("SELECT 'after'")), QStringLiteral("after"));
}

TEST_F(DbStream, TheConnectionTakesNoOtherCallWhileRowsAreHandedOver)
{
    FDb.setErrorFilter(false);
    std::optional<db::Error::Kind> refused;
    FDb.streamRows(QStringLiteral("SELECT g FROM generate_series(1, 3) g"), [&](const db::RowView &) {
        try {
            FDb.execute(QStringLiteral("SELECT 1"));
        } catch (const db::Error &e) {
            refused = e.kind;
        }
        return false;
    });
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(*refused, db::Error::Kind::Refused);
    EXPECT_EQ(value(QStringLiteral("SELECT 'free again'")), QStringLiteral("free again"));
}

} // namespace
