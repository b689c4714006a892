// Queries: colon parameters sent as typed $n values, parameter creation switched off,
// command kinds, open against execute, rows affected.
#include "platform/db_fixture.h"

namespace {

using DbQuery = dbtest::DbTest;

TEST_F(DbQuery, RepeatedQuotedAndCastParametersAreBoundOncePerName)
{
    db::Query q(&FDb);
    q.setSql(QStringList{QStringLiteral("SELECT :a::text || :b AS x, :A::int + 1 AS y,"),
                         QStringLiteral("  :\"Mixed Case\" AS z, ':a' AS lit, 2::numeric AS cast")});
    ASSERT_EQ(q.paramCount(), 3);
    EXPECT_EQ(q.param(0).name(), QStringLiteral("a"));
    EXPECT_EQ(q.param(2).name(), QStringLiteral("Mixed Case"));
    q.paramByName(QStringLiteral("a")).setAsString(QStringLiteral("41"));
    q.param(1).setAsString(QStringLiteral("!"));
    q.paramByName(QStringLiteral("Mixed Case")).setAsString(QStringLiteral("z"));
    q.open();
    EXPECT_EQ(q.fieldByName(QStringLiteral("x")).asString(), QStringLiteral("41!"));
    EXPECT_EQ(q.fieldByName(QStringLiteral("y")).asInteger(), 42);
    EXPECT_EQ(q.fieldByName(QStringLiteral("z")).asString(), QStringLiteral("z"));
    EXPECT_EQ(q.fieldByName(QStringLiteral("lit")).asString(), QStringLiteral(":a"));
    EXPECT_EQ(q.fieldByName(QStringLiteral("cast")).asString(), QStringLiteral("2"));
    // A new text keeps the values of names that stay.
    q.setSql(QStringLiteral("SELECT :b || :a"));
    EXPECT_EQ(q.param(0).asString(), QStringLiteral("!"));
    EXPECT_EQ(q.param(1).asString(), QStringLiteral("41"));
}

TEST_F(DbQuery, TypedValuesAndNulls)
{
    struct Case { std::function<void(db::Param &)> set; const char *type; const char *text; };
    const Case cases[] = {
        {[](db::Param &p) { p.setAsInteger(-7); }, "integer", "-7"},
        {[](db::Param &p) { p.setAsLargeInt(9007199254740993LL); }, "bigint", "9007199254740993"},
        {[](db::Param &p) { p.setAsFloat(0.1); }, "double precision", "0.1"},
        {[](db::Param &p) { p.setAsDecimal(QStringLiteral("12345678901234567890.0001")); }, "numeric", "12345678901234567890.0001"},
        {[](db::Param &p) { p.setAsDate(QDate(2024, 2, 29)); }, "date", "2024-02-29"},
        {[](db::Param &p) { p.setAsDateTime(QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58, 125))); },
         "timestamp without time zone", "2024-02-29 23:59:58.125"},
        {[](db::Param &p) { p.setAsTime(QTime(1, 2, 3)); }, "time without time zone", "01:02:03"},
        {[](db::Param &p) { p.setAsBoolean(true); }, "boolean", "true"},
        {[](db::Param &p) { p.setAsString(QStringLiteral("日本語")); }, "text", "日本語"},
        {[](db::Param &p) { p.setAsInteger(1); p.clear(); }, "integer", nullptr},
        {[](db::Param &) {}, "text", nullptr}, // never assigned
    };
    for (const Case &c : cases) {
        db::Query q(&FDb);
        // The first use gives an untyped (text) value its type, as for a quoted literal.
        q.setSql(QStringLiteral("SELECT :v::text AS v, pg_typeof(:v)::text AS t, :v::text IS NULL AS n"));
        c.set(q.param(0));
        q.open();
        EXPECT_EQ(q.field(1).asString(), QString::fromLatin1(c.type)) << c.type;
        EXPECT_EQ(q.field(0).isNull(), c.text == nullptr) << c.type;
        if (c.text) {
            EXPECT_EQ(q.field(0).asString(), QString::fromUtf8(c.text));
        }
        EXPECT_EQ(q.field(2).asBoolean(), c.text == nullptr);
    }
}

TEST_F(DbQuery, WithoutParameterCreationTheTextIsSentAsWritten)
{
    db::Query q(&FDb);
    q.setParamCreation(false);
    q.setSql(QStringLiteral("DO $$DECLARE v int; BEGIN v := 1; PERFORM v; END$$"));
    EXPECT_EQ(q.paramCount(), 0);
    EXPECT_NO_THROW(q.execute());
    q.setSql(QStringLiteral("SELECT ':x' AS a, 'b:c' AS \"d:e\""));
    q.open();
    EXPECT_EQ(q.field(0).asString(), QStringLiteral(":x"));
    EXPECT_EQ(q.field(1).name(), QStringLiteral("d:e"));
    // Switched on, the same marker becomes a parameter.
    q.setParamCreation(true);
    q.setSql(QStringLiteral("SELECT :x AS a"));
    EXPECT_EQ(q.paramCount(), 1);
    q.setParamCreation(false);
    EXPECT_EQ(q.paramCount(), 0);
}

TEST_F(DbQuery, ExecuteRefusesRowReturningQueriesAndCountsRows)
{
    FDb.execute(QStringLiteral("CREATE TABLE r (id int)"));
    db::Query q(&FDb);
    q.setSql(QStringLiteral("INSERT INTO r SELECT g FROM generate_series(1, 5) g"));
    EXPECT_EQ(q.commandKind(), db::CommandKind::Insert);
    q.execute();
    EXPECT_EQ(q.rowsAffected(), 5);

    q.setSql(QStringLiteral("SELECT * FROM r"));
    EXPECT_EQ(q.commandKind(), db::CommandKind::Select);
    try {
        q.execute();
        ADD_FAILURE() << "a SELECT was executed";
    } catch (const db::Error &e) {
        EXPECT_TRUE(e.message.contains(QLatin1String("SELECT-like commands")));
    }

    q.setSql(QStringLiteral("SELECT * FROM r WHERE id < 3 FOR UPDATE"));
    EXPECT_EQ(q.commandKind(), db::CommandKind::SelectForLock);
    EXPECT_NO_THROW(q.execute());

    q.setSql(QStringLiteral("UPDATE r SET id = id + 10 WHERE id > :n"));
    q.param(0).setAsInteger(3);
    q.execute();
    EXPECT_EQ(q.rowsAffected(), 2);
    EXPECT_EQ(q.commandKeyword(), QStringLiteral("UPDATE"));

    q.setSql(QStringLiteral("DELETE FROM r"));
    EXPECT_THROW(q.open(), db::Error); // returns no rows
}

TEST_F(DbQuery, RowReturningStatementsThatCannotUseACursorOpenWhole)
{
    FDb.execute(QStringLiteral("CREATE TABLE r (id serial, v text)"));
    struct Case { const char *sql; int rows; };
    const Case cases[] = {
        {"INSERT INTO r (v) VALUES ('a'), ('b') RETURNING id", 2},
        {"SHOW search_path", 1},
        {"EXPLAIN SELECT * FROM r", 1},
        {"SELECT * FROM r FOR UPDATE", 2},
        {"WITH d AS (DELETE FROM r WHERE v = 'a' RETURNING *) SELECT * FROM d", 1},
    };
    for (const Case &c : cases) {
        db::Query q(&FDb);
        q.setSql(QString::fromLatin1(c.sql));
        q.open();
        EXPECT_TRUE(q.fetchedAll()) << c.sql;
        EXPECT_GE(q.recordCount(), c.rows) << c.sql;
    }
}

} // namespace
