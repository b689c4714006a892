// Editing result rows: rows found again by all their original values, exactly one row
// per change or nothing, values read back from the server, read-only results refused.
#include "platform/db_fixture.h"

namespace {

class DbEdit : public dbtest::DbTest {
protected:
    QString rows(const QString &table)
    {
        return scalar(QStringLiteral("SELECT coalesce(string_agg(t::text, ';' ORDER BY t::text), '') FROM %1.%2 t")
                          .arg(schema(), table));
    }
    void openOn(db::Query &q, const QString &sql)
    {
        q.setConnection(&FDb);
        q.setSql(sql);
        q.open();
    }
};

TEST_F(DbEdit, OneOfTwoIdenticalRowsIsChangedAlone)
{
    FDb.execute(QStringLiteral("CREATE TABLE dup (a int, b text, c json)"));
    FDb.execute(QStringLiteral("INSERT INTO dup VALUES (1, NULL, '{\"k\": 1}'), (1, NULL, '{\"k\": 1}'), (2, 'x', NULL)"));
    db::Query q;
    openOn(q, QStringLiteral("SELECT a, b, c FROM dup ORDER BY a"));
    ASSERT_TRUE(q.canModify());
    q.edit();
    EXPECT_EQ(q.state(), db::DataSet::State::Edit);
    q.field(1).setAsString(QStringLiteral("changed"));
    q.post();
    EXPECT_EQ(q.state(), db::DataSet::State::Browse);
    EXPECT_EQ(rows(QStringLiteral("dup")),
              QStringLiteral("(1,,\"{\"\"k\"\": 1}\");(1,changed,\"{\"\"k\"\": 1}\");(2,x,)"));
    EXPECT_EQ(q.field(1).asString(), QStringLiteral("changed"));
    q.next();
    q.deleteRecord();
    EXPECT_EQ(rows(QStringLiteral("dup")), QStringLiteral("(1,changed,\"{\"\"k\"\": 1}\");(2,x,)"));
    EXPECT_EQ(q.recordCount(), 2);
}

TEST_F(DbEdit, ReadOnlyResultsRefuseEdits)
{
    FDb.execute(QStringLiteral("CREATE TABLE a (id int, v text)"));
    FDb.execute(QStringLiteral("CREATE TABLE b (id int, w text)"));
    FDb.execute(QStringLiteral("INSERT INTO a VALUES (1, 'x'); INSERT INTO b VALUES (1, 'y')"));
    FDb.execute(QStringLiteral("CREATE VIEW av AS SELECT * FROM a"));
    const char *sqls[] = {
        "SELECT a.id, b.w FROM a JOIN b USING (id)",
        "SELECT id, v || '!' AS e FROM a",
        "SELECT count(*) FROM a",
        "SELECT * FROM av",
        "SELECT json_build_object('a', 1) AS j",
    };
    for (const char *sql : sqls) {
        db::Query q;
        openOn(q, QString::fromLatin1(sql));
        EXPECT_FALSE(q.canModify()) << sql;
        EXPECT_THROW(q.edit(), db::Error) << sql;
        EXPECT_THROW(q.append(), db::Error) << sql;
        EXPECT_THROW(q.deleteRecord(), db::Error) << sql;
        EXPECT_EQ(q.state(), db::DataSet::State::Browse) << sql;
    }
    db::Query q;
    q.setReadOnly(true);
    openOn(q, QStringLiteral("SELECT * FROM a"));
    EXPECT_FALSE(q.canModify());
    EXPECT_THROW(q.field(1).setAsString(QStringLiteral("z")), db::Error);
    EXPECT_EQ(rows(QStringLiteral("a")), QStringLiteral("(1,x)"));
}

TEST_F(DbEdit, InsertedRowsAreReadBackWithServerDefaults)
{
    FDb.execute(QStringLiteral("CREATE TABLE ins (id serial, name text, made date DEFAULT '2000-01-01', "
                               "twice int GENERATED ALWAYS AS (id * 2) STORED)"));
    db::Query q;
    openOn(q, QStringLiteral("SELECT id, name, made, twice FROM ins"));
    EXPECT_TRUE(q.isEmpty());
    q.append();
    q.fieldByName(QStringLiteral("name")).setText(QStringLiteral("一郎"));
    q.post();
    EXPECT_EQ(q.field(0).asInteger(), 1);
    EXPECT_EQ(q.field(2).text(), QStringLiteral("2000/01/01"));
    EXPECT_EQ(q.field(3).asInteger(), 2);
    EXPECT_TRUE(q.field(3).readOnly());
    EXPECT_THROW(q.field(3).setAsInteger(5), db::Error);
    q.insert();
    q.field(1).setText(QStringLiteral("二郎"));
    q.field(2).setText(QStringLiteral("2024/02/29"));
    q.post();
    EXPECT_EQ(q.recNo(), 1); // inserted before the current record
    EXPECT_EQ(q.recordCount(), 2);
    EXPECT_EQ(rows(QStringLiteral("ins")), QStringLiteral("(1,一郎,2000-01-01,2);(2,二郎,2024-02-29,4)"));
    q.insert();
    q.cancel();
    EXPECT_EQ(q.recordCount(), 2);
    EXPECT_EQ(q.field(1).asString(), QStringLiteral("二郎"));
}

TEST_F(DbEdit, ChangeThatFindsNoRowIsUndoneAndRaised)
{
    FDb.execute(QStringLiteral("CREATE TABLE t (id int, v text)"));
    FDb.execute(QStringLiteral("INSERT INTO t VALUES (1, 'a'), (2, 'b')"));
    db::Query q;
    openOn(q, QStringLiteral("SELECT id, v FROM t ORDER BY id"));
    exec(QStringLiteral("UPDATE %1.t SET v = 'other' WHERE id = 1").arg(schema())); // another session
    q.field(1).setAsString(QStringLiteral("mine"));
    EXPECT_THROW(q.post(), db::Error);
    EXPECT_EQ(q.state(), db::DataSet::State::Edit); // the user may retry or cancel
    q.cancel();
    EXPECT_THROW(q.deleteRecord(), db::Error);
    EXPECT_EQ(rows(QStringLiteral("t")), QStringLiteral("(1,other);(2,b)"));
    EXPECT_FALSE(FDb.inTransaction());
}

TEST_F(DbEdit, ChangesFollowTheConnectionsTransaction)
{
    FDb.execute(QStringLiteral("CREATE TABLE t (id int, v text)"));
    FDb.execute(QStringLiteral("INSERT INTO t VALUES (1, 'a')"));
    // Inside the caller's block: the change stays in it.
    FDb.startTransaction();
    {
        db::Query q;
        openOn(q, QStringLiteral("SELECT * FROM t"));
        q.field(1).setAsString(QStringLiteral("b"));
        q.post();
        EXPECT_TRUE(FDb.inTransaction());
        EXPECT_EQ(rows(QStringLiteral("t")), QStringLiteral("(1,a)"));
        // A failing change inside the block leaves it usable.
        q.field(0).setText(QStringLiteral("not a number"));
        EXPECT_THROW(q.post(), db::Error);
        q.cancel();
        EXPECT_EQ(FDb.transactionState(), db::TransactionState::InBlock);
    }
    FDb.rollback();
    EXPECT_EQ(rows(QStringLiteral("t")), QStringLiteral("(1,a)"));
    // Without auto-commit a change outside a block opens one that stays open.
    FDb.setAutoCommit(false);
    {
        db::Query q;
        openOn(q, QStringLiteral("SELECT * FROM t"));
        q.field(1).setAsString(QStringLiteral("c"));
        q.post();
    }
    EXPECT_TRUE(FDb.inTransaction());
    FDb.commit();
    FDb.setAutoCommit(true);
    EXPECT_EQ(rows(QStringLiteral("t")), QStringLiteral("(1,c)"));
    // With auto-commit the change is visible at once.
    db::Query q;
    openOn(q, QStringLiteral("SELECT * FROM t"));
    q.field(1).setAsString(QStringLiteral("d"));
    q.post();
    EXPECT_FALSE(FDb.inTransaction());
    EXPECT_EQ(rows(QStringLiteral("t")), QStringLiteral("(1,d)"));
}

TEST_F(DbEdit, ZeroByteInAnEditedValueIsRefused)
{
    FDb.execute(QStringLiteral("CREATE TABLE t (v text, b bytea)"));
    FDb.execute(QStringLiteral("INSERT INTO t VALUES ('a', NULL)"));
    db::Query q;
    openOn(q, QStringLiteral("SELECT * FROM t"));
    try {
        q.field(0).setAsString(QStringLiteral("x") + QChar(0));
        q.post();
        ADD_FAILURE() << "a zero byte was accepted";
    } catch (const db::Error &e) {
        EXPECT_EQ(e.kind, db::Error::Kind::Refused);
    }
    q.cancel();
    // Bytes are fine in a bytea column.
    q.field(1).setAsBytes(QByteArray("\0\1", 2));
    q.post();
    EXPECT_EQ(q.field(1).asBytes(), QByteArray("\0\1", 2));
    EXPECT_EQ(rows(QStringLiteral("t")), QStringLiteral("(a,\"\\\\x0001\")"));
}

} // namespace

namespace {

TEST_F(DbEdit, DisplayTextWrittenBackRoundTrips)
{
    FDb.execute(QStringLiteral("CREATE TABLE k (id int, b bool, d date, ts timestamp, by bytea, n numeric(6,2), i int, s varchar(5))"));
    FDb.execute(QStringLiteral("INSERT INTO k (id) VALUES (1)"));
    struct Case { const char *column; const char *text; const char *shown; const char *stored; };
    const Case cases[] = {
        {"b", "False", "False", "false"},
        {"b", "true", "True", "true"},
        {"d", "2024/02/29", "2024/02/29", "2024-02-29"},
        {"ts", "2024/01/02 03:04:05", "2024/01/02 03:04:05", "2024-01-02 03:04:05"},
        {"ts", "2024/01/02", "2024/01/02 00:00:00", "2024-01-02 00:00:00"},
        {"by", "0aff", "0aff", "\\x0aff"},
        {"n", "1.5", "1.50", "1.50"},
        {"i", "", "", nullptr}, // empty text: NULL
        {"s", "", "", ""},      // but an empty string stays a string
        {"s", "日本", "日本", "日本"},
    };
    for (const Case &c : cases) {
        db::Query q;
        q.setConnection(&FDb);
        q.setSql(QStringLiteral("SELECT * FROM k"));
        q.open();
        db::Field &f = q.fieldByName(QString::fromLatin1(c.column));
        f.setText(QString::fromUtf8(c.text));
        q.post();
        EXPECT_EQ(f.text(), QString::fromUtf8(c.shown)) << c.column << " " << c.text;
        const QString stored = scalar(QStringLiteral("SELECT %1::text FROM %2.k").arg(QLatin1String(c.column), schema()));
        if (c.stored)
            EXPECT_EQ(stored, QString::fromUtf8(c.stored)) << c.column << " " << c.text;
        else
            EXPECT_TRUE(f.isNull()) << c.column;
    }
}

} // namespace
