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

namespace {

// Two rows of a table without a key that differ only in one column whose values "=" cannot
// tell apart (or cannot compare at all). Editing or deleting the row shown must change that
// row and no other, whichever of the two it is.
struct LookalikeCase {
    const char *type;
    const char *first;  // SQL literals (NULL allowed)
    const char *second;
};

const LookalikeCase kLookalikes[] = {
    {"json", "'{\"a\": 1}'", "'{\"a\":1}'"},
    {"jsonb", "'1.0'", "'1.00'"},
    {"numeric", "1.0", "1.00"},
    {"numeric", "1", "1.000"},
    {"numeric[]", "'{1.0}'", "'{1.00}'"},
    {"interval", "'1 day'", "'24 hours'"},
    {"interval", "'1 mon'", "'30 days'"},
    {"float8", "'-0'", "'0'"},
    {"float4", "'-0'", "'0'"},
    {"bpchar", "'a'", "'a  '"},
    {"text", "'a'", "'a '"},
    {"int[]", "'{1,2}'", "'[0:1]={1,2}'"},
    {"timetz", "'12:00+00'", "'13:00+01'"},
    {"xml", "'<a/>'", "'<a></a>'"},
    {"point", "'(1,2)'", "'(1,3)'"},
    {"lookalike_pair", "ROW(1.0, 'x')", "ROW(1.00, 'x')"},
    {"jsonb", "NULL", "'null'"},
    {"text", "NULL", "''"},
    {"int[]", "'{NULL}'", "'{}'"},
};

// The value as the result shows it (format gives '' for NULL, hence the CASE).
const QString kShownText = QStringLiteral("CASE WHEN v IS NULL THEN '<null>' ELSE format('%s', v) END");

class DbEditLookalikes : public DbEdit {
protected:
    void SetUp() override
    {
        DbEdit::SetUp();
        FDb.execute(QStringLiteral("CREATE TYPE lookalike_pair AS (n numeric, t text)"));
    }
    // "mark=value" of every row, by the value's text (NULL as "<null>").
    QString state()
    {
        return scalar(QStringLiteral("SELECT string_agg(m || '=' || %2, ';' ORDER BY %2, m) FROM %1.look")
                          .arg(schema(), kShownText));
    }
};

TEST_F(DbEditLookalikes, EditAndDeleteChangeExactlyTheRowShown)
{
    for (const LookalikeCase &c : kLookalikes) {
        const QString what = QStringLiteral("%1 %2/%3").arg(QLatin1String(c.type), QLatin1String(c.first), QLatin1String(c.second));
        FDb.execute(QStringLiteral("DROP TABLE IF EXISTS look"));
        FDb.execute(QStringLiteral("CREATE TABLE look (m text, v %1)").arg(QLatin1String(c.type)));
        for (int shown = 0; shown < 2; ++shown) {
            for (const bool remove : {false, true}) {
                FDb.execute(QStringLiteral("DELETE FROM look"));
                FDb.execute(QStringLiteral("INSERT INTO look VALUES ('same', %1), ('same', %2)")
                                .arg(QLatin1String(c.first), QLatin1String(c.second)));
                db::Query q;
                openOn(q, QStringLiteral("SELECT m, v FROM look ORDER BY %1").arg(kShownText));
                ASSERT_TRUE(q.canModify()) << what.toStdString();
                ASSERT_EQ(q.recordCount(), 2);
                q.setRecNo(shown + 1);
                auto text = [&](int row) {
                    return q.isNull(row, 1) ? QStringLiteral("<null>") : q.valueString(row, 1);
                };
                const QString v = text(shown);
                const QString other = text(1 - shown);
                QStringList expected;
                try {
                    if (remove) {
                        q.deleteRecord();
                        expected << QStringLiteral("same=") + other;
                    } else {
                        q.edit();
                        q.field(0).setAsString(QStringLiteral("edited"));
                        q.post();
                        EXPECT_EQ(q.field(0).asString(), QStringLiteral("edited")) << what.toStdString();
                        EXPECT_EQ(text(shown), v) << what.toStdString();
                        expected << QStringLiteral("edited=") + v << QStringLiteral("same=") + other;
                        if (shown == 1)
                            std::swap(expected[0], expected[1]);
                    }
                } catch (const db::Error &e) {
                    ADD_FAILURE() << what.toStdString() << (remove ? " delete" : " edit") << " row " << shown << ": "
                                  << e.message.toStdString();
                    continue;
                }
                EXPECT_EQ(state(), expected.join(QLatin1Char(';')))
                    << what.toStdString() << (remove ? " delete" : " edit") << " row " << shown;
            }
        }
    }
}

TEST_F(DbEdit, RowsThatLookTheSameButDifferInHiddenColumnsAreRefused)
{
    FDb.execute(QStringLiteral("CREATE TABLE hid (a int, b int)"));
    FDb.execute(QStringLiteral("INSERT INTO hid VALUES (1, 10), (1, 20), (2, 30)"));
    db::Query q;
    openOn(q, QStringLiteral("SELECT a FROM hid ORDER BY a"));
    ASSERT_TRUE(q.canModify());
    q.edit();
    q.field(0).setAsInteger(5);
    try {
        q.post();
        ADD_FAILURE() << "an edit picked one of two rows";
    } catch (const db::Error &e) {
        EXPECT_EQ(e.kind, db::Error::Kind::Refused);
        EXPECT_TRUE(e.message.contains(QStringLiteral("複数"))) << e.message.toStdString();
    }
    q.cancel();
    EXPECT_THROW(q.deleteRecord(), db::Error);
    EXPECT_EQ(rows(QStringLiteral("hid")), QStringLiteral("(1,10);(1,20);(2,30)"));
    // A row that is unique by what is shown is still edited and deleted.
    q.last();
    q.edit();
    q.field(0).setAsInteger(3);
    q.post();
    EXPECT_EQ(rows(QStringLiteral("hid")), QStringLiteral("(1,10);(1,20);(3,30)"));
    q.deleteRecord();
    EXPECT_EQ(rows(QStringLiteral("hid")), QStringLiteral("(1,10);(1,20)"));
    // Inside the caller's block the refusal leaves the block usable.
    FDb.startTransaction();
    q.first();
    EXPECT_THROW(q.deleteRecord(), db::Error);
    FDb.execute(QStringLiteral("INSERT INTO hid VALUES (9, 90)"));
    FDb.commit();
    EXPECT_EQ(rows(QStringLiteral("hid")), QStringLiteral("(1,10);(1,20);(9,90)"));
}

} // namespace
