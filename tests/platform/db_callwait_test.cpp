// Waiting for the server: the call waiter's timing, cancelling from it, refusing a second
// call on a busy connection, savepoints around a cancelled statement inside a block, and
// statements that must go out as one command.
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"
#include "platform/db_fixture.h"

#include <QElapsedTimer>
#include <functional>

namespace {

using dbtest::DbTest;

// Records when it is called (ms since the call began) and runs `action` on each call.
class RecordingWaiter : public db::CallWaiter {
public:
    RecordingWaiter() { FPrevious = db::setCallWaiter(this); }
    ~RecordingWaiter() override { db::setCallWaiter(FPrevious); }
    void start() { FClock.start(); }
    void waiting(db::Connection &c) override
    {
        FTimes.append(FClock.elapsed());
        if (action)
            action(c);
    }
    QList<qint64> FTimes;
    std::function<void(db::Connection &)> action;

private:
    db::CallWaiter *FPrevious = nullptr;
    QElapsedTimer FClock;
};

TEST_F(DbTest, WaiterIsCalledAfterADelayAndThenRegularly)
{
    RecordingWaiter waiter;
    waiter.start();
    FDb.execute(QStringLiteral("SELECT 1"));
    EXPECT_TRUE(waiter.FTimes.isEmpty()) << "a quick call never calls the waiter";

    waiter.start();
    FDb.execute(QStringLiteral("SELECT pg_sleep(0.6)"));
    ASSERT_GE(waiter.FTimes.size(), 4);
    EXPECT_GE(waiter.FTimes.first(), db::kCallWaitDelayMs - 5);
    EXPECT_LT(waiter.FTimes.first(), 400);
    // About every 50 ms: never faster, and no long gaps beyond scheduling noise.
    for (int i = 1; i < waiter.FTimes.size(); ++i) {
        const qint64 gap = waiter.FTimes.at(i) - waiter.FTimes.at(i - 1);
        EXPECT_GE(gap, db::kCallWaitIntervalMs - 5) << i;
        EXPECT_LT(gap, 300) << i;
    }
    EXPECT_FALSE(FDb.isBusy());
}

TEST_F(DbTest, ConnectionMayAskForTheWaiterSooner)
{
    RecordingWaiter waiter;
    const int old = FDb.setCallWaitDelay(20);
    EXPECT_EQ(old, db::kCallWaitDelayMs);
    waiter.start();
    FDb.execute(QStringLiteral("SELECT pg_sleep(0.3)"));
    ASSERT_FALSE(waiter.FTimes.isEmpty());
    EXPECT_GE(waiter.FTimes.first(), 15);
    EXPECT_LT(waiter.FTimes.first(), db::kCallWaitDelayMs) << "the shorter delay was not used";
    EXPECT_EQ(FDb.setCallWaitDelay(old), 20);
    waiter.FTimes.clear();
    waiter.start();
    FDb.execute(QStringLiteral("SELECT pg_sleep(0.2)"));
    ASSERT_FALSE(waiter.FTimes.isEmpty());
    EXPECT_GE(waiter.FTimes.first(), db::kCallWaitDelayMs - 5);
}

TEST_F(DbTest, WaiterCancelsTheRunningStatement)
{
    RecordingWaiter waiter;
    waiter.action = [](db::Connection &c) { c.cancel(); };
    QElapsedTimer clock;
    clock.start();
    try {
        FDb.execute(QStringLiteral("SELECT pg_sleep(30)"));
        ADD_FAILURE() << "not cancelled";
    } catch (const db::Error &e) {
        EXPECT_EQ(e.kind, db::Error::Kind::Cancelled) << e.message.toStdString();
        EXPECT_EQ(e.sqlState, QStringLiteral("57014"));
    }
    EXPECT_LT(clock.elapsed(), 1000);
    waiter.action = nullptr;
    EXPECT_EQ(value(QStringLiteral("SELECT 2")), QStringLiteral("2"));
}

TEST_F(DbTest, StatementTimeoutIsNoUserCancel)
{
    FDb.execute(QStringLiteral("SET statement_timeout = 200"));
    try {
        FDb.execute(QStringLiteral("SELECT pg_sleep(5)"));
        ADD_FAILURE() << "no time-out";
    } catch (const db::Error &e) {
        EXPECT_EQ(e.sqlState, QStringLiteral("57014"));
        EXPECT_EQ(e.kind, db::Error::Kind::Server);
    }
    FDb.execute(QStringLiteral("SET statement_timeout = 0"));
}

TEST_F(DbTest, BusyConnectionRefusesEverySecondCall)
{
    FDb.execute(QStringLiteral("CREATE TABLE big AS SELECT g AS id FROM generate_series(1, 5000) g"));
    // A result partly read: its next block is fetched on demand.
    db::Query partial(&FDb);
    partial.setParamCreation(false);
    partial.setFetchRows(100);
    partial.setSql(QStringLiteral("SELECT id FROM big ORDER BY id"));
    partial.open();

    RecordingWaiter waiter;
    QStringList refusals;
    bool busySeen = false;
    waiter.action = [&](db::Connection &c) {
        if (!refusals.isEmpty())
            return;
        busySeen = c.isBusy();
        const std::function<void()> attempts[] = {
            [&] { c.execute(QStringLiteral("SELECT 1")); },
            [&] {
                db::Query q(&c);
                q.setSql(QStringLiteral("SELECT 1"));
                q.open();
            },
            [&] { c.startTransaction(); },
            [&] { partial.last(); },
        };
        for (const auto &attempt : attempts) {
            try {
                attempt();
                refusals << QStringLiteral("ran");
            } catch (const db::Error &e) {
                refusals << (e.kind == db::Error::Kind::Refused ? e.message : QStringLiteral("other: ") + e.message);
            }
        }
    };
    EXPECT_EQ(FDb.execute(QStringLiteral("UPDATE big SET id = id FROM (SELECT pg_sleep(0.3)) AS s WHERE id = 1")), 1);
    EXPECT_TRUE(busySeen);
    ASSERT_EQ(refusals.size(), 4);
    for (const QString &r : refusals)
        EXPECT_TRUE(r.contains(QStringLiteral("別の処理を実行中"))) << r.toStdString();
    // The refused fetch left the result intact: it reads to its end afterwards.
    waiter.action = nullptr;
    partial.last();
    EXPECT_EQ(partial.recordCount(), 5000);
    EXPECT_EQ(partial.field(0).asString(), QStringLiteral("5000"));
}

TEST_F(DbTest, FetchRefusedInsideABlockKeepsTheResult)
{
    FDb.startTransaction();
    db::Query partial(&FDb);
    partial.setParamCreation(false);
    partial.setFetchRows(10);
    partial.setSql(QStringLiteral("SELECT g FROM generate_series(1, 500) g"));
    partial.open();
    RecordingWaiter waiter;
    QString refused;
    waiter.action = [&](db::Connection &) {
        if (!refused.isEmpty())
            return;
        try {
            partial.last();
            refused = QStringLiteral("ran");
        } catch (const db::Error &e) {
            refused = e.kind == db::Error::Kind::Refused ? QStringLiteral("refused") : e.message;
        }
    };
    FDb.execute(QStringLiteral("SELECT pg_sleep(0.3)"));
    EXPECT_EQ(refused, QStringLiteral("refused"));
    waiter.action = nullptr;
    partial.last();
    EXPECT_EQ(partial.recordCount(), 500);
    FDb.commit();
}

// The next block of a result is asked for ahead while the caller reads the current one; when
// its answer is slow, the wait for it goes through the waiter like any call (the window keeps
// painting), the connection refuses other calls meanwhile, and Esc cancels it: the rows read
// stay and the connection goes on.
TEST_F(DbTest, TheWaitForABlockAskedForAheadGoesThroughTheWaiter)
{
    // Rows after the 100th take 2 ms each on the server: the block asked for ahead (400 rows)
    // takes about 0.8 s.
    const QString sql = QStringLiteral("SELECT g, CASE WHEN g > 100 THEN pg_sleep(0.002) END FROM generate_series(1, 500) g");
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancelled" : "waited for");
        db::Query q(&FDb);
        q.setParamCreation(false);
        q.setFetchRows(100);
        q.setSql(sql);
        q.open();
        ASSERT_EQ(q.fetchedCount(), 100);
        RecordingWaiter waiter;
        bool refused = false;
        waiter.action = [&](db::Connection &c) {
            try {
                c.execute(QStringLiteral("SELECT 1"));
            } catch (const db::Error &e) {
                refused = e.kind == db::Error::Kind::Refused;
            }
            if (cancel)
                c.cancel();
        };
        waiter.start();
        if (cancel) {
            try {
                q.fetchMore();
                ADD_FAILURE() << "not cancelled";
            } catch (const db::Error &e) {
                EXPECT_EQ(e.kind, db::Error::Kind::ResultLost) << e.message.toStdString();
            }
            EXPECT_EQ(q.fetchedCount(), 100);
        } else {
            EXPECT_TRUE(q.fetchMore());
            EXPECT_EQ(q.fetchedCount(), 500);
        }
        EXPECT_FALSE(waiter.FTimes.isEmpty());
        EXPECT_TRUE(refused);
        waiter.action = nullptr;
        q.close();
        EXPECT_FALSE(FDb.isBusy());
        EXPECT_EQ(value(QStringLiteral("SELECT 'on'")), QStringLiteral("on"));
    }
}

TEST_F(DbTest, CancelledStatementInsideABlockUndoesOnlyItself)
{
    FDb.execute(QStringLiteral("CREATE TABLE kept (id int)"));
    FDb.startTransaction();
    FDb.execute(QStringLiteral("INSERT INTO kept VALUES (1)"));
    {
        RecordingWaiter waiter;
        waiter.action = [](db::Connection &c) { c.cancel(); };
        db::Query q(&FDb);
        q.setSingleStatement(true);
        q.setSql(QStringLiteral("INSERT INTO kept SELECT 2 FROM pg_sleep(30)"));
        EXPECT_THROW(q.execute(), db::Error);
    }
    EXPECT_EQ(FDb.transactionState(), db::TransactionState::InBlock);
    FDb.execute(QStringLiteral("INSERT INTO kept VALUES (3)"));
    FDb.commit();
    EXPECT_EQ(value(QStringLiteral("SELECT string_agg(id::text, ',' ORDER BY id) FROM kept")), QStringLiteral("1,3"));
}

TEST_F(DbTest, SingleStatementQueriesAreOneCommand)
{
    FDb.execute(QStringLiteral("CREATE TABLE one (id int)"));
    struct Case {
        const char *sql;
        bool opens; // true: open(), false: execute()
        bool refused;
    };
    const Case cases[] = {
        // Two commands without ";" between: a syntax error, nothing runs.
        {"INSERT INTO one VALUES (1)\nINSERT INTO one VALUES (2)", false, true},
        // Two commands with ";": refused as a list, nothing runs.
        {"INSERT INTO one VALUES (1); INSERT INTO one VALUES (2)", false, true},
        {"SELECT 1; SELECT 2", true, true},
        {"SELECT 1\nSELECT 2", true, true},
        // One command, also with a closing ";" or a comment at its end.
        {"INSERT INTO one VALUES (7);", false, false},
        {"SELECT 1 AS a -- a note", true, false},
        {"SELECT 1 AS a; -- a note", true, false},
        {"SELECT 1 AS a /* note */", true, false},
    };
    for (const Case &c : cases) {
        db::Query q(&FDb);
        q.setSingleStatement(true);
        q.setSql(QString::fromUtf8(c.sql));
        bool threw = false;
        try {
            if (c.opens)
                q.open();
            else
                q.execute();
        } catch (const db::Error &) {
            threw = true;
        }
        EXPECT_EQ(threw, c.refused) << c.sql;
        if (c.opens && !c.refused) {
            ASSERT_TRUE(q.isActive()) << c.sql;
            EXPECT_EQ(q.field(0).asString(), QStringLiteral("1")) << c.sql;
        }
    }
    EXPECT_EQ(value(QStringLiteral("SELECT string_agg(id::text, ',') FROM one")), QStringLiteral("7"));
}

TEST_F(DbTest, QueryEndingInALineCommentOpensBehindACursor)
{
    // Over the simple protocol too: the ";" after the cursor declaration must not land in
    // the comment.
    for (const bool inBlock : {false, true}) {
        if (inBlock)
            FDb.startTransaction();
        db::Query q(&FDb);
        q.setSql(QStringLiteral("SELECT g FROM generate_series(1, 3) g -- the last line is a comment"));
        ASSERT_NO_THROW(q.open()) << inBlock;
        q.last();
        EXPECT_EQ(q.recordCount(), 3);
        q.close();
        if (inBlock)
            FDb.commit();
    }
}

TEST_F(DbTest, ExecuteKeepsTheRowACallReturns)
{
    FDb.execute(QStringLiteral("CREATE PROCEDURE twice(IN a int, INOUT b int, INOUT c text) LANGUAGE plpgsql AS "
                               "$$ BEGIN b := a * 2; c := c || '!'; END $$"));
    db::Query q(&FDb);
    q.setSql(QStringLiteral("CALL twice(:a, :b, :c)"));
    q.paramByName(QStringLiteral("a")).setAsInteger(21);
    q.paramByName(QStringLiteral("b")).setAsInteger(0);
    q.paramByName(QStringLiteral("c")).setAsString(QStringLiteral("日本"));
    q.execute();
    EXPECT_EQ(q.returnedNames(), (QStringList{QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_EQ(q.returnedValues(), (QStringList{QStringLiteral("42"), QStringLiteral("日本!")}));
    // A statement without a result leaves nothing behind.
    q.setSql(QStringLiteral("SET search_path TO %1, public").arg(schema()));
    q.execute();
    EXPECT_TRUE(q.returnedNames().isEmpty());
}

} // namespace
