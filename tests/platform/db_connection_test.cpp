// Connecting, parameters, version, notices, encodings, lost backends, cancel and COPY.
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"
#include "platform/db_fixture.h"

#include "support/fake_server.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <memory>
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
    // A result read across a switch: each block is decoded in the encoding it came in.
    FDb.execute(QStringLiteral("SET CLIENT_ENCODING TO 'SJIS'"));
    db::Query across(&FDb);
    across.setFetchRows(2);
    across.setSql(QStringLiteral("SELECT g, '社員' || g AS t FROM generate_series(1, 9) g"));
    across.open();
    FDb.execute(QStringLiteral("SET CLIENT_ENCODING TO 'UTF8'"));
    int n = 0;
    for (; !across.eof(); across.next()) {
        ++n;
        EXPECT_EQ(across.field(1).asString(), QStringLiteral("社員%1").arg(n));
    }
    EXPECT_EQ(n, 9);
    EXPECT_EQ(across.valueString(0, 1), QStringLiteral("社員1"));
    EXPECT_EQ(across.displayText(8, 1), QStringLiteral("社員9"));

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

// The catalog generation moves on with every path by which this session may change the
// catalog, and with nothing else; the statement observer is left to its owner.
TEST_F(DbTest, CatalogGenerationMovesWithWhatMayChangeTheCatalog)
{
    QStringList observed;
    FDb.setStatementObserver([&](const QString &sql) { observed << sql; });
    db::Query q(&FDb);
    q.setParamCreation(false);
    auto query = [&](const QString &sql, bool open) {
        q.close();
        q.setSql(sql);
        if (open)
            q.open();
        else
            q.execute();
    };
    auto noRows = [](QByteArray &) { return false; };
    struct Case {
        const char *label;
        std::function<void()> run;
        bool moves;
    };
    const Case cases[] = {
        {"query open SELECT", [&] { query("SELECT 1", true); }, false},
        {"query execute CREATE", [&] { query("CREATE TABLE g (a int)", false); }, true},
        {"execute INSERT", [&] { FDb.execute("INSERT INTO g VALUES (1)"); }, false},
        {"execute SELECT; ALTER", [&] { FDb.execute("SELECT 1; ALTER TABLE g ADD b int"); }, true},
        {"COPY in", [&] { FDb.copyIn("COPY g FROM STDIN", noRows); }, false},
        {"startTransaction", [&] { FDb.startTransaction(); }, false},
        {"savepoint", [&] { FDb.startTransaction(); }, false},
        {"rollback() of the savepoint", [&] { FDb.rollback(); }, true},
        {"commit() of the block", [&] { FDb.commit(); }, false},
        {"statement in a failed block",
         [&] {
             FDb.setStatementSavepoints(false);
             FDb.execute("BEGIN");
             EXPECT_THROW(FDb.execute("SELECT 1 / 0"), db::Error);
             const quint64 before = FDb.catalogGeneration();
             EXPECT_THROW(FDb.execute("SELECT 1"), db::Error);
             EXPECT_GT(FDb.catalogGeneration(), before);
         },
         true},
        {"commit() of a failed block",
         [&] {
             EXPECT_THROW(FDb.commit(), db::Error);
             FDb.setStatementSavepoints(true);
         },
         true},
        {"rollback() of a block",
         [&] {
             FDb.startTransaction();
             FDb.rollback();
         },
         true},
        {"rollback() outside a block", [&] { FDb.rollback(); }, false},
        {"the user's reload", [&] { FDb.markCatalogChanged(); }, true},
        {"close", [&] { FDb.close(); }, true},
        {"open", [&] { dbtest::openConnection(FDb, schema()); }, true},
    };
    for (const Case &c : cases) {
        const quint64 before = FDb.catalogGeneration();
        c.run();
        EXPECT_EQ(FDb.catalogGeneration() != before, c.moves) << c.label;
    }
    EXPECT_TRUE(observed.contains("CREATE TABLE g (a int)")) << "the observer still sees every statement";
}

TEST_F(DbTest, CatalogCachesGoWithTheSession)
{
    struct Kept : db::Connection::CatalogCache {
        int value = 0;
    };
    static const char key = 0, other = 0;
    auto kept = std::make_shared<Kept>();
    kept->value = 7;
    FDb.setCatalogCache(&key, kept);
    EXPECT_EQ(FDb.catalogCache(&key), kept);
    EXPECT_EQ(FDb.catalogCache(&other), nullptr);
    std::weak_ptr<Kept> watch = kept;
    // Closing lets go of the caches; one still in a caller's hands stays valid.
    FDb.close();
    EXPECT_EQ(FDb.catalogCache(&key), nullptr);
    EXPECT_EQ(kept->value, 7);
    kept.reset();
    EXPECT_TRUE(watch.expired());
    // Set while closed, dropped by opening; set while open, dropped by the destructor.
    FDb.setCatalogCache(&key, std::make_shared<Kept>());
    dbtest::openConnection(FDb, schema());
    EXPECT_EQ(FDb.catalogCache(&key), nullptr);
    auto second = std::make_shared<Kept>();
    watch = second;
    {
        db::Connection c;
        dbtest::openConnection(c);
        c.setCatalogCache(&key, std::move(second));
    }
    EXPECT_TRUE(watch.expired());
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

// ---- connecting without blocking ----------------------------------------------------------

namespace {

// Sets an environment variable for one scope and restores it.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const QByteArray &value) : FName(name), FHad(qEnvironmentVariableIsSet(name)), FOld(qgetenv(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (FHad)
            qputenv(FName, FOld);
        else
            qunsetenv(FName);
    }

private:
    const char *FName;
    bool FHad;
    QByteArray FOld;
};

// A waiter that counts its waits and can give up after a number of them.
class CountingWaiter : public db::ConnectWaiter {
public:
    int begins = 0, ends = 0, waits = 0, abandonAfter = -1;
    void begin() override { ++begins; }
    void end() override { ++ends; }
    Result wait(int socket, bool forWrite, int msecs) override
    {
        if (abandonAfter >= 0 && waits >= abandonAfter)
            return Result::Abandoned;
        ++waits;
        return db::pollSocket(socket, forWrite, std::min(msecs < 0 ? 100 : msecs, 100));
    }
};

} // namespace

TEST(DbConnect, SilentServerEndsWithTheTimeOutMessageAndNothingOpen)
{
    testdb::FakeServer silent(testdb::FakeServer::Mode::Silent);
    db::Connection c;
    c.setParam(QStringLiteral("Server"), QStringLiteral("127.0.0.1"));
    c.setParam(QStringLiteral("Port"), silent.port());
    c.setParam(QStringLiteral("User_Name"), QStringLiteral("nobody"));
    c.setParam(QStringLiteral("Database"), QStringLiteral("nothing"));
    c.setParam(QStringLiteral("LoginTimeout"), QStringLiteral("2"));
    ScopedEnv noEnv("PGCONNECT_TIMEOUT", QByteArray());
    CountingWaiter waiter;
    db::ConnectWaiter *old = db::setConnectWaiter(&waiter);
    QElapsedTimer t;
    t.start();
    try {
        c.open();
        ADD_FAILURE() << "connected to a server that never answers";
    } catch (const db::Error &e) {
        EXPECT_EQ(e.kind, db::Error::Kind::Client);
        EXPECT_TRUE(e.message.contains(QStringLiteral("2 秒以内に応答がなかった"))) << e.message.toStdString();
        EXPECT_TRUE(e.message.contains(silent.port())) << e.message.toStdString();
    }
    db::setConnectWaiter(old);
    EXPECT_GE(t.elapsed(), 1900);
    EXPECT_LT(t.elapsed(), 6000);
    EXPECT_FALSE(c.isConnected());
    // The waiter saw the whole attempt, in short steps the caller's loop could use.
    EXPECT_EQ(waiter.begins, 1);
    EXPECT_EQ(waiter.ends, 1);
    EXPECT_GE(waiter.waits, 10);
}

TEST(DbConnect, AbandonedAttemptEndsAtOnceAndLeavesNothingOpen)
{
    testdb::FakeServer silent(testdb::FakeServer::Mode::Silent);
    db::Connection c;
    c.setParam(QStringLiteral("Server"), QStringLiteral("127.0.0.1"));
    c.setParam(QStringLiteral("Port"), silent.port());
    c.setParam(QStringLiteral("User_Name"), QStringLiteral("nobody"));
    CountingWaiter waiter;
    waiter.abandonAfter = 3;
    db::ConnectWaiter *old = db::setConnectWaiter(&waiter);
    QElapsedTimer t;
    t.start();
    try {
        c.open();
        ADD_FAILURE() << "connected";
    } catch (const db::Error &e) {
        EXPECT_EQ(e.kind, db::Error::Kind::Abandoned);
    }
    db::setConnectWaiter(old);
    EXPECT_LT(t.elapsed(), 1500);
    EXPECT_FALSE(c.isConnected());
    EXPECT_EQ(waiter.ends, 1);
}

TEST(DbConnect, FailuresComeWithinTheTimeOutWithTheirOwnMessage)
{
    testdb::FakeServer hangUp(testdb::FakeServer::Mode::HangUp);
    const testdb::Params &p = testdb::params();
    struct Case { const char *what; QString host, port, password; QString expected; };
    const Case cases[] = {
        {"refused port", QStringLiteral("127.0.0.1"), QStringLiteral("1"), p.password, QStringLiteral("refused")},
        {"unknown host", QStringLiteral("no-such-host.invalid"), p.port, p.password, QStringLiteral("no-such-host.invalid")},
        {"wrong password", p.host, p.port, QStringLiteral("wrong-password"), QStringLiteral("password")},
        {"server gone during the logon", QStringLiteral("127.0.0.1"), hangUp.port(), p.password, QStringLiteral("closed")},
    };
    for (const Case &k : cases) {
        db::Connection c;
        testdb::setLayerParams(c);
        c.setParam(QStringLiteral("Server"), k.host);
        c.setParam(QStringLiteral("Port"), k.port);
        c.setParam(QStringLiteral("Password"), k.password);
        c.setParam(QStringLiteral("LoginTimeout"), QStringLiteral("10"));
        QElapsedTimer t;
        t.start();
        try {
            c.open();
            ADD_FAILURE() << k.what << ": connected";
        } catch (const db::Error &e) {
            EXPECT_EQ(e.kind, db::Error::Kind::Client) << k.what;
            EXPECT_TRUE(e.message.contains(k.expected)) << k.what << ": " << e.message.toStdString();
        }
        EXPECT_LT(t.elapsed(), 9000) << k.what;
        EXPECT_FALSE(c.isConnected()) << k.what;
    }
}

TEST(DbConnect, TimeOutOfTheEnvironmentOrAServiceFileWinsOverTheParameter)
{
    QTemporaryDir dir;
    const QString serviceFile = dir.filePath(QStringLiteral("pg_service.conf"));
    {
        QFile f(serviceFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[slow]\nconnect_timeout=7\n[plain]\napplication_name=x\n");
    }
    ScopedEnv file("PGSERVICEFILE", serviceFile.toLocal8Bit());
    struct Case { QByteArray env, service; QString param; int used; };
    const Case cases[] = {
        {QByteArray(), QByteArray(), QString(), db::kDefaultLoginTimeout},
        {QByteArray(), QByteArray(), QStringLiteral("5"), 5},
        {QByteArray(), QByteArray(), QStringLiteral("0"), 0},
        {QByteArray("4"), QByteArray(), QStringLiteral("5"), 4},
        {QByteArray("1"), QByteArray(), QString(), 2}, // libpq's floor of two seconds
        {QByteArray(), QByteArray("slow"), QStringLiteral("5"), 7},
        {QByteArray(), QByteArray("plain"), QStringLiteral("5"), 5},
    };
    for (const Case &k : cases) {
        ScopedEnv env("PGCONNECT_TIMEOUT", k.env);
        ScopedEnv service("PGSERVICE", k.service);
        db::Connection c;
        dbtest::setSandboxParams(c);
        if (!k.param.isNull())
            c.setParam(QStringLiteral("LoginTimeout"), k.param);
        ASSERT_NO_THROW(c.open()) << k.env.constData() << "/" << k.service.constData();
        EXPECT_TRUE(c.isConnected());
        EXPECT_EQ(c.loginTimeoutUsed(), k.used) << k.env.constData() << "/" << k.service.constData();
    }
}
