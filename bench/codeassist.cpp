// Time from a code-assist request to the shown popup on a schema of 10,000 tables: cold (the
// connection's kept schema and column lists dropped first) and warm (a second popup).
// Run against a server given by the libpq variables (PGHOST, PGPORT, PGUSER, PGPASSWORD,
// PGDATABASE), for example the sandbox's env file:
//   set -a; . /tmp/vantor-pg-<port>/env; set +a; QT_QPA_PLATFORM=offscreen build/bench/bench_codeassist
// The goal is a popup within 0.3 s.
#include "controls/kdcodeassist.h"
#include "controls/kdmemo.h"
#include "core/kdassist.h"
#include "core/kdreserve.h"
#include "core/kdsub_options.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {
QString Env(const char *name, const char *fallback)
{
    const char *v = std::getenv(name);
    return QString::fromLocal8Bit(v && *v ? v : fallback);
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int tables = argc > 1 ? std::atoi(argv[1]) : 10000;
    db::Connection conn;
    conn.setParam("Server", Env("PGHOST", "127.0.0.1"));
    conn.setParam("Port", Env("PGPORT", "5432"));
    conn.setParam("Database", Env("PGDATABASE", "postgres"));
    conn.setParam("User_Name", Env("PGUSER", "postgres"));
    conn.setParam("Password", Env("PGPASSWORD", ""));
    conn.open();
    const QString schema = QStringLiteral("bench_codeassist");
    db::Query q(&conn);
    q.setParamCreation(false);
    auto run = [&](const QString &sql) {
        q.close();
        q.setSql(sql);
        q.execute();
    };
    // Tables are created and dropped in batches: one statement may hold only so many locks.
    auto dropAll = [&] {
        for (;;) {
            q.close();
            q.setSql(QStringLiteral("SELECT count(*) FROM pg_tables WHERE schemaname = '%1'").arg(schema));
            q.open();
            const int left = q.field(0).asInteger();
            q.close();
            if (left == 0)
                break;
            run(QStringLiteral("DO $$ DECLARE r record; BEGIN FOR r IN SELECT tablename FROM pg_tables "
                               "WHERE schemaname = '%1' LIMIT 500 LOOP EXECUTE format('DROP TABLE %1.%I', "
                               "r.tablename); END LOOP; END $$").arg(schema));
        }
        run(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(schema));
    };
    dropAll();
    run(QStringLiteral("CREATE SCHEMA %1").arg(schema));
    QElapsedTimer setup;
    setup.start();
    for (int from = 1; from <= tables; from += 500)
        run(QStringLiteral("DO $$ BEGIN FOR i IN %1..%2 LOOP EXECUTE format("
                           "'CREATE TABLE %3.t%s (id integer PRIMARY KEY, name text)', i); END LOOP; END $$")
                .arg(from)
                .arg(qMin(tables, from + 499))
                .arg(schema));
    std::printf("created %d tables in %.1f s\n", tables, setup.elapsed() / 1000.0);
    // Dropping and creating thousands of tables leaves the catalogs full of dead rows, which a
    // real database would not have; the measurement starts on vacuumed catalogs.
    run(QStringLiteral("VACUUM ANALYZE pg_catalog.pg_class, pg_catalog.pg_type, pg_catalog.pg_constraint, "
                       "pg_catalog.pg_index, pg_catalog.pg_attribute, pg_catalog.pg_depend"));

    TkdOption::Global().CodeAssist = true;
    QWidget win;
    auto *lay = new QVBoxLayout(&win);
    auto *memo = new TkdMemo(&win);
    lay->addWidget(memo);
    QStringList words;
    AddReservedWords(words);
    memo->SetReserveWordList(words);
    win.resize(800, 500);
    win.show();
    db::Query assist(&conn);

    struct Case { const char *label; QString text; };
    const Case cases[] = {
        {"prefix 't' (objects and keywords)", QStringLiteral("select * from t")},
        {"prefix 't12' (objects and keywords)", QStringLiteral("select * from t12")},
        {"schema. (all objects)", QStringLiteral("select * from %1.").arg(schema)},
        {"table. (columns)", QStringLiteral("select t42.")},
    };
    auto median = [](QList<qint64> v) {
        std::sort(v.begin(), v.end());
        return v.at(v.size() / 2) / 1000.0;
    };
    for (const Case &c : cases) {
        // Cold: the connection's kept schema and column lists dropped before each popup, as
        // after DDL or a reload; warm: the second popup on the connection.
        QList<qint64> times, warmTimes;
        qint64 coldStatements = 0, warmStatements = 0;
        for (int round = 0; round < 14; ++round) {
            const bool warm = round >= 7;
            if (!warm)
                conn.markCatalogChanged();
            memo->setText(c.text);
            memo->setCursorPosition(0, c.text.size());
            const qint64 sent = conn.statementCount();
            QElapsedTimer t;
            t.start();
            const QPoint p = memo->CaretClientPos();
            ShowCodeAssist(memo, &win, assist, schema, 0, false, p.x(), p.y());
            QApplication::processEvents();
            (warm ? warmTimes : times) << t.nsecsElapsed() / 1000;
            (warm ? warmStatements : coldStatements) = conn.statementCount() - sent;
            if (!memo->CodeAssist || !memo->CodeAssist->isVisible()) {
                std::printf("%s: no popup\n", c.label);
                return 1;
            }
            memo->CloseCodeAssist();
            QApplication::processEvents();
        }
        // The catalog part alone (cold).
        QList<qint64> gather;
        for (int round = 0; round < 5; ++round) {
            kdassist::TAssistRequest r;
            memo->setText(c.text);
            memo->setCursorPosition(0, c.text.size());
            r.Token = memo->GetCodeAssistToken();
            r.EditorText = c.text;
            r.Schema = schema;
            r.Keywords = words;
            conn.markCatalogChanged();
            QElapsedTimer t;
            t.start();
            kdassist::GatherCodeAssist(assist, r);
            gather << t.nsecsElapsed() / 1000;
        }
        // A completion query of the kind a command-line client sends for the same prefix:
        // the relations of the schema whose name starts with it, at most 1,000.
        QList<qint64> peer;
        const QString prefix = c.text.section(QLatin1Char(' '), -1).section(QLatin1Char('.'), -1);
        for (int round = 0; round < 5; ++round) {
            QElapsedTimer t;
            t.start();
            q.close();
            q.setSql(QStringLiteral("SELECT c.relname FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n "
                                    "ON n.oid = c.relnamespace WHERE n.nspname = '%1' AND c.relkind IN "
                                    "('r','p','v','m','f','S','i') AND substring(c.relname, 1, %2) = '%3' "
                                    "LIMIT 1000")
                         .arg(schema)
                         .arg(prefix.size())
                         .arg(prefix));
            q.open();
            for (q.first(); !q.eof(); q.next())
                (void)q.field(0).asString();
            q.close();
            peer << t.nsecsElapsed() / 1000;
        }
        std::sort(times.begin(), times.end());
        std::printf("%-36s cold: median %7.1f ms  max %7.1f ms  %lld statements (catalog part: median %7.1f ms; "
                    "completion query: median %7.1f ms; ratio popup/completion %.1f)\n",
                    c.label, median(times), times.last() / 1000.0, (long long)coldStatements, median(gather),
                    median(peer), median(times) / qMax(0.001, median(peer)));
        std::printf("%-36s warm: median %7.1f ms  max %7.1f ms  %lld statements\n", "",
                    median(warmTimes), *std::max_element(warmTimes.begin(), warmTimes.end()) / 1000.0,
                    (long long)warmStatements);
    }
    dropAll();
    return 0;
}
