// Data sets: fields and their kinds, navigation, bookmarks, block fetching while other
// statements run, results lost with their transaction, observers.
#include "platform/db_fixture.h"

#include <QSignalSpy>

namespace {

using DbDataSet = dbtest::DbTest;

TEST_F(DbDataSet, FieldsMapServerTypesOnceAndShowTheirText)
{
    struct Case { const char *expr; db::FieldType type; const char *text; int size; };
    using T = db::FieldType;
    const Case cases[] = {
        {"1::int2", T::Integer, "1", 0},
        {"2::int4", T::Integer, "2", 0},
        {"9007199254740993::int8", T::LargeInt, "9007199254740993", 0},
        {"1.5::float8", T::Float, "1.5", 0},
        {"0.25::float4", T::Float, "0.25", 0},
        {"12345678901234567890.123456789::numeric(40,9)", T::Decimal, "12345678901234567890.123456789", 40},
        {"true", T::Boolean, "True", 0},
        {"false", T::Boolean, "False", 0},
        {"'abc'::varchar(10)", T::WideString, "abc", 10},
        {"'pg_class'::name", T::WideString, "pg_class", 0},
        {"'ab'::char(4)", T::FixedWideChar, "ab  ", 4},
        {"'長い文'::text", T::WideMemo, "長い文", 0},
        {"'{\"a\":1}'::jsonb", T::WideMemo, "{\"a\": 1}", 0},
        {"'<a/>'::xml", T::WideMemo, "<a/>", 0},
        {"'\\x00ff41'::bytea", T::Bytes, "00ff41", 0},
        {"26::oid", T::LongWord, "26", 0},
        {"'2024-02-29'::date", T::Date, "2024/02/29", 0},
        {"'2024-02-29 13:14:15.5'::timestamp", T::DateTime, "2024/02/29 13:14:15", 0},
        {"'12:00'::time", T::WideString, "12:00:00", 0},
        {"'(1,2)'::point", T::WideString, "(1,2)", 0},
        {"NULL::int4", T::Integer, "", 0},
    };
    for (const Case &c : cases) {
        db::Query q(&FDb);
        q.setSql(QStringLiteral("SELECT %1 AS v").arg(QString::fromUtf8(c.expr)));
        q.open();
        db::Field &f = q.field(0);
        EXPECT_EQ(f.dataType(), c.type) << c.expr;
        EXPECT_EQ(f.text(), QString::fromUtf8(c.text)) << c.expr;
        EXPECT_EQ(f.size(), c.size) << c.expr;
        EXPECT_EQ(q.displayText(0, 0), f.text()) << c.expr;
    }
    db::Query q(&FDb);
    q.setSql(QStringLiteral("SELECT '\\x00ff41'::bytea AS b, 7::int8 AS n, '2024-02-29 13:14:15'::timestamptz AS t, NULL::text AS z"));
    q.open();
    EXPECT_EQ(q.field(0).asBytes(), QByteArray("\x00\xff\x41", 3));
    EXPECT_EQ(q.fieldByName(QStringLiteral("N")).asLargeInt(), 7);
    EXPECT_EQ(q.field(2).asDateTime().date(), QDate(2024, 2, 29));
    EXPECT_TRUE(q.field(3).isNull());
    EXPECT_FALSE(q.field(2).isNull());
    EXPECT_EQ(q.findField(QStringLiteral("nope")), nullptr);
    EXPECT_THROW(q.fieldByName(QStringLiteral("nope")), db::Error);
    EXPECT_THROW(q.field(9), db::Error);
    EXPECT_THROW(q.field(-1), db::Error);
    EXPECT_THROW(q.field(2).asInteger(), db::Error);
}

// Blocks grow from the first one, but never past the cap a caller sets; every row arrives
// once and in order, inside and outside the caller's block.
TEST_F(DbDataSet, BlockGrowthStopsAtTheCap)
{
    for (const bool inBlock : {false, true}) {
        if (inBlock)
            FDb.startTransaction();
        db::Query q(&FDb);
        q.setFetchRows(100);
        q.setMaxFetchRows(250);
        q.setSql(QStringLiteral("SELECT g FROM generate_series(1, 2000) g"));
        q.open();
        EXPECT_EQ(q.fetchedCount(), 100);
        QList<int> steps;
        int before = q.fetchedCount();
        while (q.fetchMore()) {
            steps << q.fetchedCount() - before;
            before = q.fetchedCount();
        }
        for (int step : steps)
            EXPECT_LE(step, 250) << inBlock;
        EXPECT_EQ(steps.value(0), 250) << "the cap is below the first growth step";
        ASSERT_EQ(q.fetchedCount(), 2000);
        for (int r = 0; r < 2000; ++r)
            ASSERT_EQ(q.valueString(r, 0).toInt(), r + 1);
        q.close();
        if (inBlock)
            FDb.rollback();
    }
}

TEST_F(DbDataSet, NavigationFetchesBlocksOnDemand)
{
    db::Query q(&FDb);
    q.setFetchRows(100);
    q.setSql(QStringLiteral("SELECT g, g * 2 AS d FROM generate_series(1, 2500) g"));
    q.open();
    EXPECT_EQ(q.fetchedCount(), 100); // the first block only
    EXPECT_FALSE(q.fetchedAll());
    EXPECT_TRUE(q.bof());
    EXPECT_FALSE(q.eof());
    EXPECT_EQ(q.recNo(), 1);
    int n = 0;
    qint64 sum = 0, sumRaw = 0;
    const db::Field &d = q.field(1); // a field held across the fetches of later blocks
    for (q.first(); !q.eof(); q.next()) {
        ++n;
        sum += q.field(0).asInteger();
        ASSERT_FALSE(d.isNull());
        sumRaw += d.raw().toLongLong();
    }
    EXPECT_EQ(n, 2500);
    EXPECT_EQ(sum, 2500LL * 2501 / 2);
    EXPECT_EQ(sumRaw, 2 * sum);
    EXPECT_TRUE(q.fetchedAll());
    q.prior();
    EXPECT_EQ(q.recNo(), 2499);
    q.setRecNo(7);
    EXPECT_EQ(q.field(1).asInteger(), 14);
    q.last();
    EXPECT_EQ(q.field(0).asInteger(), 2500);
    EXPECT_TRUE(q.eof());
    q.first();
    q.prior();
    EXPECT_TRUE(q.bof());
    EXPECT_EQ(q.recordCount(), 2500);

    // Bookmarks survive fetches and edits elsewhere.
    db::Query r(&FDb);
    r.setFetchRows(10);
    r.setSql(QStringLiteral("SELECT g FROM generate_series(1, 100) g"));
    r.open();
    r.setRecNo(5);
    const db::DataSet::Bookmark b5 = r.bookmark();
    r.setRecNo(50);
    const db::DataSet::Bookmark b50 = r.bookmark();
    EXPECT_TRUE(r.bookmarkValid(b5));
    EXPECT_FALSE(r.bookmarkValid(db::DataSet::Bookmark()));
    EXPECT_EQ(r.compareBookmarks(b5, b50), -1);
    EXPECT_EQ(r.compareBookmarks(b50, b5), 1);
    EXPECT_EQ(r.compareBookmarks(b5, b5), 0);
    r.gotoBookmark(b5);
    EXPECT_EQ(r.field(0).asInteger(), 5);
    r.close();
    EXPECT_FALSE(r.bookmarkValid(b5));
    EXPECT_THROW(r.gotoBookmark(b5), db::Error);
}

TEST_F(DbDataSet, ResultStaysOpenWhileOtherStatementsRun)
{
    FDb.execute(QStringLiteral("CREATE TABLE log (n int)"));
    enum Mode { Idle, InBlock, BlockAfterOpen };
    int logged = 0;
    for (const Mode mode : {Idle, InBlock, BlockAfterOpen}) {
        if (mode == InBlock)
            FDb.startTransaction();
        db::Query big(&FDb), other(&FDb);
        big.setFetchRows(50);
        big.setSql(QStringLiteral("SELECT g FROM generate_series(1, 1000) g"));
        big.open();
        int seen = 0;
        for (; !big.eof() && seen < 120; big.next())
            ++seen;
        if (mode == BlockAfterOpen)
            FDb.execute(QStringLiteral("BEGIN"));
        // Lookups, changes, failures and other results in between.
        EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM log")), QString::number(logged));
        other.setSql(QStringLiteral("INSERT INTO log VALUES (:n)"));
        other.param(0).setAsInteger(seen);
        other.execute();
        ++logged;
        db::Query failing(&FDb);
        failing.setSql(QStringLiteral("SELECT 1 / (g - 3) FROM generate_series(1, 5) g"));
        EXPECT_THROW(failing.open(), db::Error);
        EXPECT_THROW(FDb.execute(QStringLiteral("INSERT INTO log VALUES ('x')")), db::Error);
        db::Query second(&FDb);
        second.setFetchRows(10);
        second.setSql(QStringLiteral("SELECT g FROM generate_series(1, 30) g"));
        second.open();
        EXPECT_EQ(second.recordCount(), 30);
        for (; !big.eof(); big.next())
            ++seen;
        EXPECT_EQ(seen, 1000) << "mode " << mode;
        EXPECT_EQ(big.recordCount(), 1000);
        if (mode != Idle) {
            EXPECT_TRUE(FDb.inTransaction());
            FDb.commit();
        }
        EXPECT_FALSE(FDb.inTransaction());
    }
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM %1.log").arg(schema())), QStringLiteral("3"));
    // Outside a block nothing of the reading is left open on the server.
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM pg_cursors WHERE statement NOT LIKE '%pg_cursors%'")),
              QStringLiteral("0"));
    EXPECT_EQ(FDb.transactionState(), db::TransactionState::Idle);
}

TEST_F(DbDataSet, ResultLostWithItsTransactionIsReportedNotTruncated)
{
    struct Case { const char *end; };
    const Case cases[] = {{"COMMIT"}, {"ROLLBACK"}};
    for (const Case &c : cases) {
        FDb.execute(QStringLiteral("BEGIN"));
        db::Query q(&FDb);
        q.setFetchRows(100);
        q.setSql(QStringLiteral("SELECT g FROM generate_series(1, 1000) g"));
        q.open();
        q.setRecNo(100);
        FDb.execute(QString::fromLatin1(c.end));
        int seen = 100;
        bool raised = false;
        try {
            for (q.next(); !q.eof(); q.next())
                ++seen;
        } catch (const db::Error &e) {
            raised = true;
            EXPECT_EQ(e.kind, db::Error::Kind::ResultLost);
            EXPECT_FALSE(db::errorIsFiltered(e.message));
        }
        EXPECT_TRUE(raised) << c.end << ": the result ended silently after " << seen << " rows";
        EXPECT_FALSE(q.eof());
        EXPECT_THROW(q.recordCount(), db::Error);
        EXPECT_THROW(q.last(), db::Error);
        EXPECT_EQ(q.fetchedCount(), 100); // what was read stays readable
        EXPECT_EQ(q.raw(99, 0), QByteArrayView("100"));
    }
}

TEST_F(DbDataSet, AnErrorInALaterBlockIsRaised)
{
    // Even a handler that clears every error cannot turn a failed fetch into an end.
    FDb.setOnError([](std::optional<db::Error> &e) { e.reset(); });
    db::Query q(&FDb);
    q.setFetchRows(10);
    q.setSql(QStringLiteral("SELECT 100 / (50 - g) FROM generate_series(1, 100) g"));
    q.open();
    EXPECT_EQ(q.fetchedCount(), 10);
    try {
        q.fetchAll();
        ADD_FAILURE() << "division by zero in row 50 went unnoticed";
    } catch (const db::Error &e) {
        EXPECT_TRUE(e.message.contains(QLatin1String("division by zero"))) << e.message.toStdString();
    }
    EXPECT_FALSE(q.fetchedAll());
    EXPECT_EQ(value(QStringLiteral("SELECT 1")), QStringLiteral("1"));
    EXPECT_EQ(FDb.transactionState(), db::TransactionState::Idle);
}

TEST_F(DbDataSet, ObserversCanBeSuspended)
{
    db::Query q(&FDb);
    QSignalSpy opened(&q, &db::DataSet::afterOpen), closed(&q, &db::DataSet::afterClose),
        moved(&q, &db::DataSet::recordChanged), data(&q, &db::DataSet::dataChanged);
    q.setFetchRows(5);
    q.setSql(QStringLiteral("SELECT g FROM generate_series(1, 20) g"));
    q.open();
    EXPECT_EQ(opened.count(), 1);
    q.next();
    EXPECT_EQ(moved.count(), 1);
    q.disableControls();
    q.disableControls();
    for (int i = 0; i < 10; ++i)
        q.next();
    q.enableControls();
    EXPECT_TRUE(q.controlsDisabled());
    EXPECT_EQ(moved.count(), 1);
    const int before = data.count();
    q.enableControls();
    EXPECT_FALSE(q.controlsDisabled());
    EXPECT_EQ(data.count(), before + 1);
    EXPECT_EQ(moved.count(), 1);
    q.close();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(q.isActive());
}

} // namespace

namespace {

TEST_F(DbDataSet, ClosingWhileTheNextBlockIsOnItsWay)
{
    // After each block the next one is asked for ahead; closing the result or the
    // connection meanwhile leaves nothing behind and nothing dangling.
    for (const bool closeConnection : {false, true}) {
        db::Query q(&FDb);
        q.setFetchRows(10);
        q.setSql(QStringLiteral("SELECT g FROM generate_series(1, 100000) g"));
        q.open();
        q.setRecNo(15); // the second block is read, the third is on its way
        if (closeConnection) {
            FDb.close();
            EXPECT_FALSE(FDb.isConnected());
            EXPECT_THROW(q.recordCount(), db::Error);
            EXPECT_EQ(q.field(0).asInteger(), 15);
            dbtest::openConnection(FDb, schema());
        } else {
            q.close();
            EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM pg_cursors WHERE statement NOT LIKE '%pg_cursors%'")),
                      QStringLiteral("0"));
            EXPECT_EQ(FDb.transactionState(), db::TransactionState::Idle);
        }
    }
}

} // namespace
