// Connecting, parameters, version, notices, encodings, lost backends, cancel and COPY.
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"
#include "platform/db_fixture.h"

#include <QElapsedTimer>
#include <thread>

namespace {

using dbtest::DbTest;

TEST_F(DbTest, ConnectsAndReportsVersionPidAndApplicationName)
{
    ASSERT_TRUE(FDb.isConnected());
    const int v = FDb.serverVersion();
    EXPECT_EQ(QString::number(v), scalar(QStringLiteral("SHOW server_version_num")));
    // From server 10 on the version has two parts: 15.4 is 150400, never 999999.
    EXPECT_EQ(FDb.dbVer(), (v / 10000) * 10000 + (v % 10000) * 100);
    EXPECT_EQ(QString::number(FDb.backendPid()), value(QStringLiteral("SELECT pg_backend_pid()")));
    EXPECT_EQ(value(QStringLiteral("SELECT current_setting('application_name')")), QStringLiteral("vantor-dbtest"));
    EXPECT_EQ(FDb.param(QStringLiteral("User_Name")), testdb::params().user);
    FDb.close();
    EXPECT_FALSE(FDb.isConnected());
    EXPECT_EQ(FDb.serverVersion(), 0);
}

TEST(DbConnection, ParameterValuesAreNeverReadAsConnectionText)
{
    // A value that would add keywords if it were spliced into a conninfo string.
    struct Case { const char *param; const char *value; const char *expected; };
    const Case cases[] = {
        {"Database", "nosuchdb host=203.0.113.1", "nosuchdb host=203.0.113.1"},
        {"Password", "wrong' user='postgres", "password authentication failed"},
    };
    for (const Case &c : cases) {
        db::Connection conn;
        dbtest::setSandboxParams(conn);
        conn.setParam(QString::fromLatin1(c.param), QString::fromLatin1(c.value));
        try {
            conn.open();
            ADD_FAILURE() << c.param << ": connected";
        } catch (const db::Error &e) {
            EXPECT_TRUE(e.message.contains(QString::fromLatin1(c.expected))) << e.message.toStdString();
            EXPECT_FALSE(e.message.startsWith(QLatin1String("[")));
        }
        EXPECT_FALSE(conn.isConnected());
    }
}

TEST_F(DbTest, NoticesAreCollectedNotRaised)
{
    ASSERT_NO_THROW(FDb.execute(QStringLiteral("DO $$BEGIN RAISE NOTICE 'first'; RAISE WARNING 'second'; END$$")));
    const QStringList n = FDb.takeNotices();
    EXPECT_EQ(n, (QStringList{QStringLiteral("NOTICE: first"), QStringLiteral("WARNING: second")}));
    EXPECT_TRUE(FDb.notices().isEmpty());
}

TEST_F(DbTest, ClientEncodingSwitchKeepsJapaneseTextIntact)
{
    const QString ja = QStringLiteral("社員テーブル（ｶﾅ）～①");
    const QString eucSafe = QStringLiteral("社員テーブル");
    FDb.execute(QStringLiteral("CREATE TABLE enc (id int, t text)"));
    struct Case { const char *encoding; QString text; };
    const Case cases[] = {{"SJIS", ja}, {"EUC_JP", eucSafe}, {"UTF8", ja}};
    int id = 0;
    for (const Case &c : cases) {
        ++id;
        db::Query set(&FDb);
        set.setSql(QStringLiteral("SET CLIENT_ENCODING TO '%1'").arg(QLatin1String(c.encoding)));
        set.execute();
        EXPECT_EQ(FDb.clientEncoding(), QLatin1String(c.encoding));
        db::Query ins(&FDb);
        ins.setSql(QStringLiteral("INSERT INTO enc VALUES (:id, :t || '・' || 'ア')"));
        ins.paramByName(QStringLiteral("id")).setAsInteger(id);
        ins.paramByName(QStringLiteral("t")).setAsString(c.text);
        ins.execute();
        db::Query sel(&FDb);
        sel.setSql(QStringLiteral("SELECT t, '全角' AS \"列名\" FROM enc WHERE id = :id"));
        sel.param(0).setAsInteger(id);
        sel.open();
        ASSERT_EQ(sel.recordCount(), 1);
        EXPECT_EQ(sel.field(0).asString(), c.text + QStringLiteral("・ア")) << c.encoding;
        EXPECT_EQ(sel.fieldByName(QStringLiteral("列名")).text(), QStringLiteral("全角")) << c.encoding;
    }
    // Stored correctly: the server, in UTF-8, sees the same characters.
    FDb.execute(QStringLiteral("SET CLIENT_ENCODING TO 'UTF8'"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT t FROM %1.enc WHERE id = 1").arg(schema())), ja + QStringLiteral("・ア"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT t FROM %1.enc WHERE id = 2").arg(schema())), eucSafe + QStringLiteral("・ア"));
}

TEST_F(DbTest, TextThatTheEncodingCannotHoldOrAZeroByteIsRefusedBeforeSending)
{
    FDb.execute(QStringLiteral("CREATE TABLE z (t text)"));
    struct Case { const char *encoding; QString text; };
    const Case cases[] = {
        {"UTF8", QStringLiteral("a") + QChar(0) + QStringLiteral("b")},
        {"SJIS", QStringLiteral("한국어")}, // Hangul has no place in Shift_JIS
    };
    for (const Case &c : cases) {
        FDb.execute(QStringLiteral("SET CLIENT_ENCODING TO '%1'").arg(QLatin1String(c.encoding)));
        db::Query q(&FDb);
        q.setSql(QStringLiteral("INSERT INTO z VALUES (:t)"));
        q.param(0).setAsString(c.text);
        try {
            q.execute();
            ADD_FAILURE() << c.encoding << ": accepted";
        } catch (const db::Error &e) {
            EXPECT_EQ(e.kind, db::Error::Kind::Refused);
            EXPECT_FALSE(db::errorIsFiltered(e.message));
        }
    }
    FDb.execute(QStringLiteral("SET CLIENT_ENCODING TO 'UTF8'"));
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM z")), QStringLiteral("0"));
}

TEST_F(DbTest, TerminatedBackendGivesAClearErrorOnTheNextCall)
{
    db::Query big(&FDb);
    big.setFetchRows(100);
    big.setSql(QStringLiteral("SELECT g FROM generate_series(1, 1000) g"));
    big.open();
    exec(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(FDb.backendPid()));
    try {
        FDb.execute(QStringLiteral("SELECT 1"));
        ADD_FAILURE() << "no error after the backend was terminated";
    } catch (const db::Error &e) {
        EXPECT_EQ(e.kind, db::Error::Kind::ConnectionLost) << e.message.toStdString();
        EXPECT_FALSE(e.message.isEmpty());
    }
    EXPECT_FALSE(FDb.isConnected());
    EXPECT_THROW(FDb.execute(QStringLiteral("SELECT 1")), db::Error);
    EXPECT_THROW(FDb.startTransaction(), db::Error);
    // The open result keeps its rows but cannot pretend to be complete.
    EXPECT_EQ(big.fetchedCount(), 100);
    EXPECT_THROW(big.recordCount(), db::Error);
    EXPECT_FALSE(big.fetchedAll());
}

TEST_F(DbTest, CancelStopsARunningStatement)
{
    QElapsedTimer timer;
    timer.start();
    std::thread canceller([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        FDb.cancel();
    });
    try {
        FDb.execute(QStringLiteral("SELECT pg_sleep(20)"));
        ADD_FAILURE() << "not cancelled";
    } catch (const db::Error &e) {
        EXPECT_EQ(e.sqlState, QStringLiteral("57014")) << e.message.toStdString();
    }
    canceller.join();
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_EQ(value(QStringLiteral("SELECT 1")), QStringLiteral("1"));
}

TEST_F(DbTest, CopyInAndOutWithProgress)
{
    FDb.execute(QStringLiteral("CREATE TABLE c (id int, name text)"));
    int chunk = 0;
    QList<qint64> progress;
    const qint64 loaded = FDb.copyIn(
        QStringLiteral("COPY c FROM STDIN"),
        [&](QByteArray &out) {
            ++chunk;
            out = FDb.encode(QStringLiteral("%1\t名前%1\n").arg(chunk));
            return chunk < 3;
        },
        [&](qint64 bytes) { progress.append(bytes); return true; });
    EXPECT_EQ(loaded, 3);
    EXPECT_EQ(progress.size(), 3);
    EXPECT_LT(progress.front(), progress.back());

    QStringList rows;
    const qint64 written = FDb.copyOut(QStringLiteral("COPY (SELECT * FROM c ORDER BY id) TO STDOUT"),
                                       [&](const char *data, int len) {
                                           rows.append(FDb.decode(data, len));
                                           return true;
                                       });
    EXPECT_EQ(written, 3);
    EXPECT_EQ(rows, (QStringList{QStringLiteral("1\t名前1\n"), QStringLiteral("2\t名前2\n"), QStringLiteral("3\t名前3\n")}));

    // A COPY in the other direction is refused and leaves the connection usable.
    EXPECT_THROW(FDb.copyIn(QStringLiteral("COPY c TO STDOUT"), [](QByteArray &) { return false; }), db::Error);
    EXPECT_THROW(FDb.copyOut(QStringLiteral("COPY c FROM STDIN"), [](const char *, int) { return true; }), db::Error);
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM c")), QStringLiteral("3"));
}

TEST_F(DbTest, FailedCopyIsAlwaysRaisedAndLeavesTheBlockUsable)
{
    FDb.execute(QStringLiteral("CREATE TABLE c (id int)"));
    FDb.startTransaction();
    FDb.execute(QStringLiteral("INSERT INTO c VALUES (100)"));
    struct Case { QByteArray data; db::Error::Kind kind; };
    const Case cases[] = {
        {QByteArray("1\n2\nx\n"), db::Error::Kind::Server},       // bad integer
        {QByteArray("1\n\0\n", 5), db::Error::Kind::Refused},     // zero byte in text data
    };
    for (const Case &c : cases) {
        try {
            FDb.copyIn(QStringLiteral("COPY c FROM STDIN"), [&](QByteArray &out) {
                out = c.data;
                return false;
            });
            ADD_FAILURE() << "load reported as success";
        } catch (const db::Error &e) {
            EXPECT_EQ(e.kind, c.kind) << e.message.toStdString();
        }
    }
    FDb.commit();
    EXPECT_EQ(value(QStringLiteral("SELECT string_agg(id::text, ',') FROM c")), QStringLiteral("100"));
}

} // namespace
