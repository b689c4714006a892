#include "support/testdb.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QFile>
#include <QProcessEnvironment>
#include <QRandomGenerator>

namespace testdb {

namespace {

Params loadParams()
{
    Params p;
    const auto env = QProcessEnvironment::systemEnvironment();
    QString envFile = env.value(QStringLiteral("VANTOR_PG_ENV"));
    if (envFile.isEmpty())
        envFile = QStringLiteral("/tmp/vantor-pg-%1/env")
                      .arg(env.value(QStringLiteral("VANTOR_PG_PORT"), QStringLiteral("55432")));
    QFile f(envFile);
    QHash<QString, QString> v;
    if (f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        while (!f.atEnd()) {
            QString line = QString::fromUtf8(f.readLine()).trimmed();
            if (line.startsWith(QLatin1String("export ")))
                line = line.mid(7);
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (eq <= 0)
                continue;
            QString val = line.mid(eq + 1);
            if (val.size() >= 2 && val.startsWith(QLatin1Char('\'')) && val.endsWith(QLatin1Char('\'')))
                val = val.mid(1, val.size() - 2);
            v.insert(line.left(eq), val);
        }
    }
    auto pick = [&](const char *name) {
        const QString n = QString::fromLatin1(name);
        return env.contains(n) ? env.value(n) : v.value(n);
    };
    p.host = pick("PGHOST");
    p.port = pick("PGPORT");
    p.user = pick("PGUSER");
    p.password = pick("PGPASSWORD");
    p.database = pick("PGDATABASE");
    p.sampleDatabase = pick("VANTOR_SAMPLE_DB");
    if (p.sampleDatabase.isEmpty())
        p.sampleDatabase = QStringLiteral("vantor_sample");
    p.tablespace = pick("VANTOR_TBS");
    return p;
}

} // namespace

const Params &params()
{
    static const Params p = loadParams();
    return p;
}

ConnPtr connect(const QString &database)
{
    const Params &p = params();
    const QByteArray host = p.host.toUtf8(), port = p.port.toUtf8(), user = p.user.toUtf8(),
                     pass = p.password.toUtf8(),
                     db = (database.isEmpty() ? p.database : database).toUtf8();
    const char *keys[] = {"host", "port", "user", "password", "dbname", "application_name", nullptr};
    const char *vals[] = {host.constData(), port.constData(), user.constData(), pass.constData(),
                          db.constData(), "vantor-test", nullptr};
    ConnPtr c(PQconnectdbParams(keys, vals, 0));
    // Notices (such as a ROLLBACK with no transaction at tear-down) are not test output.
    PQsetNoticeProcessor(c.get(), [](void *, const char *) {}, nullptr);
    if (PQstatus(c.get()) != CONNECTION_OK) {
        ADD_FAILURE() << "cannot connect to the sandbox server (" << host.constData() << ":"
                      << port.constData() << "/" << db.constData()
                      << "); start it with scripts/pg-sandbox.sh start: " << PQerrorMessage(c.get());
    }
    return c;
}

void exec(PGconn *conn, const QString &sql)
{
    ASSERT_NE(conn, nullptr);
    PGresult *r = PQexec(conn, sql.toUtf8().constData());
    const ExecStatusType st = PQresultStatus(r);
    const bool ok = st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK;
    const std::string err = ok ? std::string() : std::string(PQresultErrorMessage(r));
    PQclear(r);
    ASSERT_TRUE(ok) << sql.toStdString() << "\n" << err;
}

QString scalar(PGconn *conn, const QString &sql)
{
    if (!conn)
        return QString();
    PGresult *r = PQexec(conn, sql.toUtf8().constData());
    QString out;
    if (PQresultStatus(r) == PGRES_TUPLES_OK) {
        if (PQntuples(r) > 0 && PQnfields(r) > 0)
            out = QString::fromUtf8(PQgetvalue(r, 0, 0));
    } else {
        ADD_FAILURE() << sql.toStdString() << "\n" << PQresultErrorMessage(r);
    }
    PQclear(r);
    return out;
}

QString uniqueName(const QString &prefix)
{
    static QAtomicInt counter;
    return QStringLiteral("%1_%2_%3_%4")
        .arg(prefix)
        .arg(QCoreApplication::applicationPid())
        .arg(counter.fetchAndAddRelaxed(1))
        .arg(QRandomGenerator::global()->bounded(1000000));
}

void SchemaTest::SetUp()
{
    FConn = connect();
    ASSERT_EQ(PQstatus(FConn.get()), CONNECTION_OK);
    FSchema = uniqueName(QStringLiteral("t"));
    exec(QStringLiteral("CREATE SCHEMA %1").arg(FSchema));
    exec(QStringLiteral("SET search_path TO %1, public").arg(FSchema));
}

void SchemaTest::TearDown()
{
    if (FConn && PQstatus(FConn.get()) == CONNECTION_OK && !FSchema.isEmpty()) {
        PGresult *r = PQexec(FConn.get(), "ROLLBACK");
        PQclear(r);
        exec(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(FSchema));
    }
    FConn.reset();
}

void DatabaseTest::SetUp()
{
    ConnPtr admin = connect();
    ASSERT_EQ(PQstatus(admin.get()), CONNECTION_OK);
    FDatabase = uniqueName(QStringLiteral("tdb"));
    testdb::exec(admin.get(), QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8' LC_COLLATE 'C' LC_CTYPE 'C'").arg(FDatabase));
    FConn = connect(FDatabase);
    ASSERT_EQ(PQstatus(FConn.get()), CONNECTION_OK);
}

void DatabaseTest::TearDown()
{
    FConn.reset();
    if (FDatabase.isEmpty())
        return;
    ConnPtr admin = connect();
    if (PQstatus(admin.get()) == CONNECTION_OK)
        testdb::exec(admin.get(), QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(FDatabase));
}

} // namespace testdb
