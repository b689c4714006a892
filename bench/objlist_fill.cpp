// Filling the object list with the tables of a schema of 20,000 (or any number of) tables,
// against the same catalog query run by psql inside one psql session (`\timing`, the query
// alone, no process start-up). Goals: the fill takes at most 1.3 times psql's query, the
// first rows are visible long before the fill ends, the event loop is never blocked for
// more than 100 ms (largest gap between two runs of a 5 ms timer), and Esc ends the fill
// early with the rows read so far. Medians of the runs. The program's call waiter is
// installed as in the program, so the gaps are those the user sees.
//
// Needs the sandbox server: run with the variables of its env file set
// (set -a; . /tmp/vantor-pg-<port>/env; set +a). The database "vantor_bench_objlist" gets a
// schema "big_<n>" of exactly n tables for each size asked for, kept for the next run, so
// sizes may be given in any order.
//   bench_objlist_fill [tables ...]   (default 20000)
#include "bench_db.h"
#include "browser/objlist.h"
#include "core/kdcallwait.h"
#include "core/kdconnservices.h"
#include "core/kdreg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_start.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const char *kDatabase = "vantor_bench_objlist";

using bench::env;
using bench::median;
using bench::scalar;

QString schemaOf(int tables) { return QStringLiteral("big_%1").arg(tables); }

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
    const QString schema = schemaOf(tables);
    db::Connection admin;
    bench::setParams(admin, env("PGDATABASE").isEmpty() ? QStringLiteral("postgres") : env("PGDATABASE"));
    admin.open();
    if (scalar(admin, QStringLiteral("SELECT count(*) FROM pg_database WHERE datname = '%1'").arg(QLatin1String(kDatabase))) == QLatin1String("0"))
        admin.execute(QStringLiteral("CREATE DATABASE %1").arg(QLatin1String(kDatabase)));
    db::Connection c;
    bench::setParams(c, QString::fromLatin1(kDatabase));
    c.open();
    c.execute(QStringLiteral("CREATE SCHEMA IF NOT EXISTS ") + schema);
    int have = scalar(c, QStringLiteral("SELECT count(*) FROM pg_class WHERE relnamespace = '%1'::regnamespace AND relkind = 'r'").arg(schema)).toInt();
    if (have >= tables)
        return;
    std::fprintf(stderr, "creating %d tables...\n", tables - have);
    // In blocks of 1000, so that no transaction holds too many locks.
    for (int from = have; from < tables; from += 1000) {
        const int to = std::min(tables, from + 1000);
        c.execute(QStringLiteral("DO $$ BEGIN FOR i IN %1..%2 LOOP "
                                 "EXECUTE format('CREATE TABLE IF NOT EXISTS %3.%I (id int PRIMARY KEY, name text)', 'tbl_' || lpad(i::text, 6, '0')); "
                                 "EXECUTE format('COMMENT ON TABLE %3.%I IS %L', 'tbl_' || lpad(i::text, 6, '0'), '表 ' || i); "
                                 "END LOOP; END $$")
                      .arg(from + 1)
                      .arg(to)
                      .arg(schema));
    }
    c.execute(QStringLiteral("ANALYZE"));
}

struct FillResult {
    double totalMs = 0, firstRowsMs = -1, maxGapMs = 0;
    int rows = 0;
};

FillResult fill(TObjectListPane &pane, const QString &schema, bool escAfterFirstRows)
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
    node.ParentText = schema;
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
    bench::OffscreenApp app(argc, argv);
    // As the program does: the waits for the server let the event loop run.
    InstallCallWaiter();
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes.push_back(20000);
    if (!bench::haveSandbox())
        return 2;
    InitializeSharedUnit();
    LoadSettings();
    for (int tables : sizes)
        prepareDatabase(tables);

    BenchConn conn;
    bench::setParams(conn.Db, QString::fromLatin1(kDatabase));
    conn.Db.open();
    QWidget window;
    window.resize(1000, 700);
    TObjectListPane pane(&conn, &window);
    pane.resize(1000, 700);
    window.show();
    QApplication::setActiveWindow(&window);
    pane.lstObject->setFocus();
    QCoreApplication::processEvents();

    const int runs = 5;
    bool ok = true;
    double worstRatio = 0;
    for (int tables : sizes) {
        const QString schema = schemaOf(tables);
        for (bool detail : {false, true}) {
            TkdOption::Global().TreeData = detail;
            const QString sql = ObjectListQuery(QStringLiteral("TABLE"), detail, SchemaCondition(schema, 0, {}),
                                                QStringLiteral("%"), conn.DBVer()).join(QLatin1Char('\n'));
            const double psql = bench::psqlQueryMs(sql, runs, {QStringLiteral("-d"), QString::fromLatin1(kDatabase)});
            std::vector<double> total, first, gap;
            int rows = 0;
            for (int i = 0; i < runs; ++i) {
                const FillResult r = fill(pane, schema, false);
                total.push_back(r.totalMs);
                first.push_back(r.firstRowsMs);
                gap.push_back(r.maxGapMs);
                rows = r.rows;
            }
            const double maxGap = *std::max_element(gap.begin(), gap.end());
            const double ratio = median(total) / std::max(0.001, psql);
            worstRatio = std::max(worstRatio, ratio);
            std::printf("%d tables, %s list, %d rows: fill median %.0f ms (first rows at %.0f ms, largest "
                        "event-loop gap %.0f ms median, %.0f ms worst); psql query alone median %.0f ms; "
                        "fill/psql %.2f\n",
                        tables, detail ? "detail" : "plain", rows, median(total), median(first), median(gap),
                        maxGap, psql, ratio);
            ok = ok && rows >= tables && ratio <= 1.3 && maxGap <= 100 && median(first) < median(total) / 2;
            const FillResult esc = fill(pane, schema, true);
            std::printf("  Esc after the first rows: stopped at %.0f ms with %d rows\n", esc.totalMs, esc.rows);
            ok = ok && esc.rows < tables;
        }
    }
    std::printf(ok ? "goals met\n" : "GOALS MISSED\n");
    std::printf("ratio fill/psql query alone (worst median): %.2f\n", worstRatio);
    return ok ? 0 : 1;
}
