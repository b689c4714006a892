// Filling the object list with the tables of a schema of 20,000 tables, against the same
// catalog query run by psql into /dev/null. Goals: the fill takes at most 1.5 times the
// psql time, the first rows are visible long before the fill ends, the event loop keeps
// running during the fill (largest gap between two runs of a 5 ms timer), and Esc ends the
// fill early with the rows read so far.
//
// Needs the sandbox server: run with the variables of its env file set
// (set -a; . /tmp/vantor-pg-<port>/env; set +a). The database "vantor_bench_objlist" with
// the schema "big" is created on the first run and kept for the next.
//   bench_objlist_fill [tables]
#include "bench_db.h"
#include "browser/objlist.h"
#include "core/kdconnservices.h"
#include "core/kdreg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_start.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTimer>
#include <QTreeView>

#include <cstdio>
#include <cstdlib>

namespace {

const char *kDatabase = "vantor_bench_objlist";

using bench::env;
using bench::scalar;

void setParams(db::Connection &c, const QString &database)
{
    bench::setParams(c, database);
    c.setParam(QStringLiteral("MetaDefSchema"), QStringLiteral("big"));
}

class BenchConn : public TkdConnServices {
public:
    db::Connection Db;
    db::Connection *dbsMain() const override { return const_cast<db::Connection *>(&Db); }
    QString ConnectionParam(const QString &Name) const override { return Db.param(Name); }
    int DBVer() const override { return Db.dbVer(); }
    int DBAMODE() const override { return 0; }
};

void prepareDatabase(int tables)
{
    db::Connection admin;
    setParams(admin, env("PGDATABASE").isEmpty() ? QStringLiteral("postgres") : env("PGDATABASE"));
    admin.open();
    if (scalar(admin, QStringLiteral("SELECT count(*) FROM pg_database WHERE datname = '%1'").arg(QLatin1String(kDatabase))) == QLatin1String("0"))
        admin.execute(QStringLiteral("CREATE DATABASE %1").arg(QLatin1String(kDatabase)));
    db::Connection c;
    setParams(c, QString::fromLatin1(kDatabase));
    c.open();
    c.execute(QStringLiteral("CREATE SCHEMA IF NOT EXISTS big"));
    int have = scalar(c, QStringLiteral("SELECT count(*) FROM pg_class WHERE relnamespace = 'big'::regnamespace AND relkind = 'r'")).toInt();
    if (have >= tables)
        return;
    std::fprintf(stderr, "creating %d tables...\n", tables - have);
    // In blocks of 1000, so that no transaction holds too many locks.
    for (int from = have; from < tables; from += 1000) {
        const int to = std::min(tables, from + 1000);
        c.execute(QStringLiteral("DO $$ BEGIN FOR i IN %1..%2 LOOP "
                                 "EXECUTE format('CREATE TABLE IF NOT EXISTS big.%I (id int PRIMARY KEY, name text)', 'tbl_' || lpad(i::text, 6, '0')); "
                                 "EXECUTE format('COMMENT ON TABLE big.%I IS %L', 'tbl_' || lpad(i::text, 6, '0'), '表 ' || i); "
                                 "END LOOP; END $$")
                      .arg(from + 1)
                      .arg(to));
    }
    c.execute(QStringLiteral("ANALYZE"));
}

// psql running the query into /dev/null; the time of "SELECT 1" (start-up and connect) is
// measured too so that the query alone can be compared.
double psqlMs(const QString &sql)
{
    QTemporaryFile file;
    file.open();
    file.write(sql.toUtf8() + ";\n");
    file.flush();
    QProcess p;
    p.setStandardOutputFile(QStringLiteral("/dev/null"));
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-A"), QStringLiteral("-t"),
                                     QStringLiteral("-d"), QString::fromLatin1(kDatabase), QStringLiteral("-f"), file.fileName()});
    p.waitForFinished(-1);
    return double(t.nsecsElapsed()) / 1e6;
}

struct FillResult {
    double totalMs = 0, firstRowsMs = -1, maxGapMs = 0;
    int rows = 0;
};

FillResult fill(TObjectListPane &pane, bool escAfterFirstRows)
{
    FillResult r;
    QElapsedTimer t;
    qint64 lastTick = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = t.nsecsElapsed();
        r.maxGapMs = std::max(r.maxGapMs, double(now - lastTick) / 1e6);
        lastTick = now;
    });
    auto conn = QObject::connect(pane.lstObject->model(), &QAbstractItemModel::rowsInserted, [&] {
        if (r.firstRowsMs < 0) {
            r.firstRowsMs = double(t.nsecsElapsed()) / 1e6;
            if (escAfterFirstRows)
                QCoreApplication::postEvent(pane.lstObject, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        }
    });
    TTreeSelection node;
    node.Level = 2;
    node.Text = QStringLiteral("TABLE");
    node.ParentText = QStringLiteral("big");
    t.start();
    ticker.start();
    pane.ShowObject(false, node, 0);
    r.totalMs = double(t.nsecsElapsed()) / 1e6;
    ticker.stop();
    QObject::disconnect(conn);
    r.maxGapMs = std::max(r.maxGapMs, double(t.nsecsElapsed() - lastTick) / 1e6);
    r.rows = pane.lstObject->model()->rowCount();
    QCoreApplication::processEvents(); // deliver a held Esc
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir config;
    setenv("VANTOR_CONFIG_DIR", config.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    const int tables = argc > 1 ? std::atoi(argv[1]) : 20000;
    if (env("PGHOST").isEmpty()) {
        std::fprintf(stderr, "set the sandbox's env variables first\n");
        return 2;
    }
    InitializeSharedUnit();
    LoadSettings();
    prepareDatabase(tables);

    BenchConn conn;
    setParams(conn.Db, QString::fromLatin1(kDatabase));
    conn.Db.open();
    QWidget window;
    window.resize(1000, 700);
    TObjectListPane pane(&conn, &window);
    pane.resize(1000, 700);
    window.show();
    QApplication::setActiveWindow(&window);
    pane.lstObject->setFocus();
    QCoreApplication::processEvents();

    bool ok = true;
    for (bool detail : {false, true}) {
        TkdOption::Global().TreeData = detail;
        const QString T = QStringLiteral("TABLE");
        const QString sql = ObjectListQuery(T, detail, SchemaCondition(QStringLiteral("big"), 0, {}),
                                            QStringLiteral("%"), conn.DBVer()).join(QLatin1Char('\n'));
        // best of three each
        double psqlBest = 1e300, startBest = 1e300;
        FillResult best;
        best.totalMs = 1e300;
        for (int i = 0; i < 3; ++i) {
            psqlBest = std::min(psqlBest, psqlMs(sql));
            startBest = std::min(startBest, psqlMs(QStringLiteral("SELECT 1")));
            const FillResult r = fill(pane, false);
            if (r.totalMs < best.totalMs)
                best = r;
        }
        const double ratio = best.totalMs / psqlBest;
        const double ratioQuery = best.totalMs / std::max(1.0, psqlBest - startBest);
        std::printf("%s list, %d rows: fill %.0f ms (first rows at %.0f ms, largest event-loop gap %.0f ms); "
                    "psql %.0f ms (start-up %.0f ms); fill/psql %.2f, fill/psql query alone %.2f\n",
                    detail ? "detail" : "plain", best.rows, best.totalMs, best.firstRowsMs, best.maxGapMs,
                    psqlBest, startBest, ratio, ratioQuery);
        ok = ok && best.rows >= tables && ratio <= 1.5 && best.firstRowsMs < best.totalMs / 2;
        const FillResult esc = fill(pane, true);
        std::printf("  Esc after the first rows: stopped at %.0f ms with %d rows\n", esc.totalMs, esc.rows);
        ok = ok && esc.rows < tables;
    }
    std::printf(ok ? "goals met\n" : "GOALS MISSED\n");
    return ok ? 0 : 1;
}
