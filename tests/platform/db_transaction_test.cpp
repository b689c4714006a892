// Transactions: savepoints inside an open block, the state followed from libpq, errors
// inside a "BEGIN" block, and a COMMIT that the server turned into a ROLLBACK.
#include "platform/db_fixture.h"

namespace {

class DbTransaction : public dbtest::DbTest {
protected:
    void SetUp() override
    {
        dbtest::DbTest::SetUp();
        FDb.execute(QStringLiteral("CREATE TABLE tx (id int PRIMARY KEY)"));
    }
    void run(const QString &sql)
    {
        db::Query q(&FDb);
        q.setSql(sql);
        q.execute();
    }
    QString ids() { return scalar(QStringLiteral("SELECT coalesce(string_agg(id::text, ',' ORDER BY id), '') FROM %1.tx").arg(schema())); }
};

TEST_F(DbTransaction, NestedStartsAreSavepoints)
{
    EXPECT_FALSE(FDb.inTransaction());
    FDb.startTransaction();
    EXPECT_TRUE(FDb.inTransaction());
    run(QStringLiteral("INSERT INTO tx VALUES (1)"));
    FDb.startTransaction();
    EXPECT_EQ(FDb.savepointLevel(), 1);
    run(QStringLiteral("INSERT INTO tx VALUES (2)"));
    FDb.rollback(); // only the inner level
    EXPECT_TRUE(FDb.inTransaction());
    FDb.startTransaction();
    run(QStringLiteral("INSERT INTO tx VALUES (3)"));
    FDb.commit(); // releases the savepoint; nothing is visible outside yet
    EXPECT_EQ(ids(), QString());
    FDb.commit();
    EXPECT_FALSE(FDb.inTransaction());
    EXPECT_EQ(ids(), QStringLiteral("1,3"));
}

TEST_F(DbTransaction, StateFollowsPlainStatements)
{
    run(QStringLiteral("BEGIN"));
    EXPECT_TRUE(FDb.inTransaction());
    EXPECT_EQ(FDb.transactionState(), db::TransactionState::InBlock);
    FDb.startTransaction(); // a savepoint inside the statement's block
    run(QStringLiteral("INSERT INTO tx VALUES (1)"));
    run(QStringLiteral("COMMIT")); // ends everything, savepoints included
    EXPECT_FALSE(FDb.inTransaction());
    EXPECT_EQ(FDb.savepointLevel(), 0);
    EXPECT_EQ(ids(), QStringLiteral("1"));
    FDb.commit(); // nothing open: nothing happens
    EXPECT_EQ(FDb.transactionState(), db::TransactionState::Idle);
}

TEST_F(DbTransaction, ErrorInsideBlockKeepsEarlierWorkForCommit)
{
    run(QStringLiteral("BEGIN"));
    run(QStringLiteral("INSERT INTO tx VALUES (1)"));
    EXPECT_THROW(run(QStringLiteral("INSERT INTO tx VALUES (1)")), db::Error); // duplicate key
    EXPECT_THROW(run(QStringLiteral("SELECT 1/0 FROM tx FOR UPDATE")), db::Error);
    EXPECT_EQ(FDb.transactionState(), db::TransactionState::InBlock);
    run(QStringLiteral("INSERT INTO tx VALUES (2)"));
    ASSERT_NO_THROW(run(QStringLiteral("COMMIT")));
    EXPECT_EQ(ids(), QStringLiteral("1,2"));
}

TEST_F(DbTransaction, CommitOfAnAbortedBlockRaises)
{
    // Without statement savepoints the first error aborts the block; the server then
    // answers COMMIT with ROLLBACK, which must not pass as success.
    FDb.setStatementSavepoints(false);
    const std::function<void()> commits[] = {
        [&] { run(QStringLiteral("COMMIT")); },
        [&] { FDb.commit(); },
        [&] { FDb.execute(QStringLiteral("end")); },
    };
    for (const auto &commit : commits) {
        FDb.startTransaction();
        run(QStringLiteral("INSERT INTO tx VALUES (10)"));
        EXPECT_THROW(run(QStringLiteral("INSERT INTO tx VALUES (10)")), db::Error);
        EXPECT_EQ(FDb.transactionState(), db::TransactionState::InFailedBlock);
        try {
            commit();
            ADD_FAILURE() << "COMMIT of an aborted block reported as success";
        } catch (const db::Error &e) {
            EXPECT_EQ(e.sqlState, QStringLiteral("25P02"));
            EXPECT_TRUE(e.message.startsWith(QLatin1String("ERROR: ")));
        }
        EXPECT_FALSE(FDb.inTransaction());
        EXPECT_EQ(ids(), QString());
    }
}

TEST_F(DbTransaction, ProtectedLoopGoesOnAfterErrors)
{
    FDb.setStatementSavepoints(false); // the caller's loop protects each step itself
    FDb.startTransaction();
    int failures = 0;
    for (const char *sql : {"INSERT INTO tx VALUES (1)", "INSERT INTO tx VALUES ('x')", "INSERT INTO tx VALUES (3)"}) {
        try {
            FDb.protect([&] { FDb.execute(QString::fromLatin1(sql)); });
        } catch (const db::Error &) {
            ++failures;
        }
    }
    EXPECT_EQ(failures, 1);
    FDb.commit();
    EXPECT_EQ(ids(), QStringLiteral("1,3"));
}

TEST_F(DbTransaction, ErrorDroppedByTheFilterLeavesTheBlockUsable)
{
    FDb.startTransaction();
    run(QStringLiteral("INSERT INTO tx VALUES (1)"));
    ASSERT_NO_THROW(run(QStringLiteral("CLOSE no_such_cursor")));
    EXPECT_EQ(FDb.transactionState(), db::TransactionState::InBlock);
    run(QStringLiteral("INSERT INTO tx VALUES (2)"));
    ASSERT_NO_THROW(FDb.commit());
    EXPECT_EQ(ids(), QStringLiteral("1,2"));
}

} // namespace
