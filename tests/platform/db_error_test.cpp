// The one error routine: composed messages, error fields, the OnError hook and the filter
// that drops four kinds of server errors.
#include "platform/db_fixture.h"

namespace {

TEST(DbErrorFilter, DropsTheFourPairsAndNothingElse)
{
    struct Case { const char *text; bool dropped; };
    const Case cases[] = {
        {"ERROR: 符号化方式\"UTF8\"で無効なバイトシーケンスです: 0x00", true},
        {"ERROR: invalid byte sequence for encoding \"UTF8\": 0x00", true},
        {"ERROR: カーソル\"c1\"は存在しません", true},
        {"ERROR: cursor \"c1\" does not exist", true},
        {"ERROR: cursor \"c1\" does not exist\nDETAIL: more", true},
        // near misses
        {"ERROR: invalid byte sequence for encoding \"UTF8\": 0xe3 0x81", false},
        {"ERROR: 符号化方式\"UTF8\"で無効なバイトシーケンスです: 0xe3", false},
        {"error: cursor \"c1\" does not exist", false},
        {"Error: cursor \"c1\" does not exist", false},
        {"ERROR: cursor \"c1\" already exists", false},
        {"ERROR: relation \"cursor \" does not exist", false},
        {"ERROR: カーソル\"c1\"はすでに存在します", false},
        {"", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(db::errorIsFiltered(QString::fromUtf8(c.text)), c.dropped) << c.text;
}

using DbErrors = dbtest::DbTest;

TEST_F(DbErrors, MessageIsSeverityAndPrimaryThenDetailAndHint)
{
    struct Case { const char *sql; const char *message; const char *state; int position; };
    const Case cases[] = {
        {"SELECT 1/0", "ERROR: division by zero", "22012", 0},
        {"DO $$BEGIN RAISE EXCEPTION 'boom' USING DETAIL = 'the detail', HINT = 'the hint'; END$$",
         "ERROR: boom\nDETAIL: the detail\nHINT: the hint", "P0001", 0},
        {"SELEC 1", "ERROR: syntax error at or near \"SELEC\"", "42601", 1},
        {"SELECT * FROM no_such_table", "ERROR: relation \"no_such_table\" does not exist", "42P01", 15},
    };
    for (const Case &c : cases) {
        try {
            FDb.execute(QString::fromUtf8(c.sql));
            ADD_FAILURE() << c.sql;
        } catch (const db::Error &e) {
            EXPECT_EQ(e.message, QString::fromUtf8(c.message));
            EXPECT_EQ(e.sqlState, QLatin1String(c.state));
            EXPECT_EQ(e.position, c.position) << c.sql;
            EXPECT_EQ(e.kind, db::Error::Kind::Server);
            EXPECT_EQ(e.severity, QStringLiteral("ERROR"));
            EXPECT_STREQ(e.what(), c.message);
        }
    }
    try {
        FDb.execute(QStringLiteral("DO $$BEGIN PERFORM 1/0; END$$"));
    } catch (const db::Error &e) {
        EXPECT_TRUE(e.context.contains(QLatin1String("PL/pgSQL"))) << e.context.toStdString();
    }
}

TEST_F(DbErrors, ServerErrorsOfTheFourKindsAreDropped)
{
    const char *sqls[] = {
        "SELECT E'a\\000b'",                                   // invalid byte sequence … 0x00, when parsed
        "SELECT convert_from('\\x610062'::bytea, 'UTF8')",     // the same, when the first rows are fetched
        "SELECT convert_from(:b::bytea, 'UTF8')",              // the same, with a parameter
        "FETCH NEXT FROM no_such_cursor",                      // cursor … does not exist
        "CLOSE no_such_cursor",
    };
    for (const bool inBlock : {false, true}) {
        if (inBlock)
            FDb.startTransaction();
        // Another result, partly read, stays readable whatever is dropped beside it.
        db::Query other(&FDb);
        other.setFetchRows(10);
        other.setSql(QStringLiteral("SELECT g FROM generate_series(1, 100) g"));
        other.open();
        for (const char *sql : sqls) {
            db::Query q(&FDb);
            q.setSql(QString::fromLatin1(sql));
            if (q.paramCount() > 0)
                q.param(0).setAsString(QStringLiteral("\\x610062"));
            EXPECT_NO_THROW(q.open()) << sql;
            EXPECT_FALSE(q.isActive()) << sql;
            if (q.paramCount() == 0) {
                EXPECT_NO_THROW(FDb.execute(QString::fromLatin1(sql))) << sql;
            }
            EXPECT_NO_THROW(other.fetchMore()) << sql << " in block: " << inBlock;
        }
        EXPECT_NO_THROW(other.fetchAll()) << "in block: " << inBlock;
        EXPECT_EQ(other.recordCount(), 100);
        EXPECT_EQ(FDb.inTransaction(), inBlock);
        if (inBlock)
            FDb.commit();
        EXPECT_EQ(FDb.transactionState(), db::TransactionState::Idle);
    }
    // A near miss: an invalid byte other than 0x00 is raised.
    EXPECT_THROW(FDb.execute(QStringLiteral("SELECT convert_from('\\xe381'::bytea, 'UTF8')")), db::Error);
}

TEST_F(DbErrors, OnErrorHookMayReplaceOrClear)
{
    struct Case {
        const char *replacement; // null: clear
        bool raised;
    };
    const Case cases[] = {
        {"ERROR: cursor \"x\" does not exist", false}, // replaced by a text the filter drops
        {"ERROR: something else", true},
        {nullptr, false},
    };
    for (const Case &c : cases) {
        int calls = 0;
        FDb.setOnError([&](std::optional<db::Error> &e) {
            ++calls;
            if (c.replacement)
                e->message = QString::fromUtf8(c.replacement);
            else
                e.reset();
        });
        bool raised = false;
        try {
            FDb.execute(QStringLiteral("SELECT 1/0"));
        } catch (const db::Error &e) {
            raised = true;
            EXPECT_EQ(e.message, QString::fromUtf8(c.replacement));
        }
        EXPECT_EQ(raised, c.raised);
        EXPECT_EQ(calls, 1);
    }
    FDb.setOnError({});
}

TEST_F(DbErrors, FilterSwitchedOffRaisesEverything)
{
    // With the switch off neither the filter nor a clearing hook drops an error; the
    // hook's replacement text still shows. The switch back on restores the dropping.
    FDb.setErrorFilter(false);
    for (const bool inBlock : {false, true}) {
        if (inBlock)
            FDb.startTransaction();
        EXPECT_THROW(FDb.execute(QStringLiteral("CLOSE no_such_cursor")), db::Error) << inBlock;
        db::Query q(&FDb);
        q.setSql(QStringLiteral("CLOSE no_such_cursor"));
        EXPECT_THROW(q.execute(), db::Error) << inBlock;
        FDb.setOnError([](std::optional<db::Error> &e) { e.reset(); });
        EXPECT_THROW(FDb.execute(QStringLiteral("SELECT 1/0")), db::Error) << inBlock;
        FDb.setOnError([](std::optional<db::Error> &e) { e->message = QStringLiteral("replaced"); });
        try {
            FDb.execute(QStringLiteral("SELECT 1/0"));
            ADD_FAILURE() << "not raised";
        } catch (const db::Error &e) {
            EXPECT_EQ(e.message, QStringLiteral("replaced"));
        }
        FDb.setOnError({});
        if (inBlock) {
            // Each failure undid only itself: the block still commits.
            EXPECT_NO_THROW(FDb.commit());
        }
    }
    FDb.setErrorFilter(true);
    EXPECT_NO_THROW(FDb.execute(QStringLiteral("CLOSE no_such_cursor")));
}

} // namespace
