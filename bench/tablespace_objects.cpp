// The stored-objects page of the tablespace editor over a tablespace that holds 100,000 (or
// any even number of) relations of the connected database: half tables, half their primary
// key indexes, named so that the catalog's order is not the order of the names (the page
// sorts what it reads, as it must for a real database). The page's fill (the rows read,
// built, sorted by name and summed, then the superuser test and the tablespace's total
// size) against the page's two statements (the rows, pg_tablespace_size) run by psql inside
// one psql session (`\timing`, the statements alone, no process start-up). Goals: the
// fill within 1.5 times psql's time, and the event loop never held more than 100 ms (the
// call waiter installed as the program installs it). Also: Esc pressed during the fill ends
// it with the rows read so far. Medians of the runs.
//
// Needs the sandbox server: run with the variables of its env file set
// (set -a; . /tmp/vantor-pg-<port>/env; set +a). The tablespace "vantor_bench_tbs" (its
// folder "benchtbs" beside the sandbox's free tablespace folders) and the database
// "vantor_bench_tbs" with the schema "big" are kept for the next run; more relations are
// added when a larger number is asked for.
//   bench_tablespace_objects [relations [runs]]   (defaults 100000 and 5)
#include "app/fmain.h"
#include "bench_db.h"
#include "bench_window.h"
#include "browser/fobject.h"
#include "controls/kdcomctrls.h"
#include "core/kdcallwait.h"
#include "core/kdeditorreg.h"
#include "core/kdforms.h"
#include "core/kdsub_options.h"
#include "core/kdsub_start.h"
#include "editors/editor_table.h"
#include "editors/tablespace_def.h"
#include "editors/tablespace_editor.h"
#include "event_gap.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char *kName = "vantor_bench_tbs";

using bench::env;
using bench::median;
using bench::scalar;

// The tablespace's folder: beside the sandbox's free folders, owned by the server's user.
QString prepareFolder()
{
    const QString free = env("VANTOR_TBS_FREE");
    if (free.isEmpty())
        return QString();
    const QString dir = QFileInfo(free).absolutePath() + QStringLiteral("/benchtbs");
    QDir().mkpath(dir);
    if (geteuid() == 0)
        if (const passwd *pg = getpwnam("postgres"))
            if (chown(dir.toLocal8Bit().constData(), pg->pw_uid, pg->pw_gid) != 0)
                std::perror("chown");
    chmod(dir.toLocal8Bit().constData(), 0700);
    return dir;
}

bool prepare(int relations)
{
    const QString name = QString::fromLatin1(kName);
    db::Connection admin;
    bench::setParams(admin, env("PGDATABASE"));
    admin.open();
    if (scalar(admin, QStringLiteral("SELECT count(*) FROM pg_tablespace WHERE spcname = '%1'").arg(name)) == QLatin1String("0")) {
        const QString dir = prepareFolder();
        if (dir.isEmpty()) {
            std::fprintf(stderr, "VANTOR_TBS_FREE is not set: run with the sandbox's env file\n");
            return false;
        }
        admin.execute(QStringLiteral("CREATE TABLESPACE %1 LOCATION '%2'").arg(name, dir));
    }
    if (scalar(admin, QStringLiteral("SELECT count(*) FROM pg_database WHERE datname = '%1'").arg(name)) == QLatin1String("0"))
        admin.execute(QStringLiteral("CREATE DATABASE %1").arg(name));
    db::Connection c;
    bench::setParams(c, name);
    c.open();
    c.execute(QStringLiteral("CREATE SCHEMA IF NOT EXISTS big"));
    c.execute(QStringLiteral("SET default_tablespace = %1").arg(name));
    const int have = scalar(c, QStringLiteral("SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                                              "WHERE n.nspname = 'big' AND c.relkind = 'r'"))
                         .toInt();
    const int tables = relations / 2;
    if (have >= tables)
        return true;
    std::fprintf(stderr, "creating %d tables with their indexes...\n", tables - have);
    // In blocks of 500 tables, so that no transaction holds too many locks.
    for (int from = have; from < tables; from += 500) {
        const int to = std::min(tables, from + 500);
        c.execute(QStringLiteral("DO $$ BEGIN FOR i IN %1..%2 LOOP "
                                 "EXECUTE format('CREATE TABLE IF NOT EXISTS big.%I (id int PRIMARY KEY)', "
                                 "'t_' || md5(i::text)); END LOOP; END $$")
                      .arg(from + 1)
                      .arg(to));
    }
    c.execute(QStringLiteral("VACUUM ANALYZE pg_class"));
    return true;
}

// The page's statement with its two values written in, for psql.
QString psqlStatement()
{
    QString sql = TablespaceContentsSQL();
    sql.replace(QStringLiteral(":DB_NAME"), QStringLiteral("'%1'").arg(QLatin1String(kName)));
    sql.replace(QStringLiteral(":TBL_SPACE"), QStringLiteral("'%1'").arg(QLatin1String(kName)));
    return sql;
}

} // namespace

int main(int argc, char **argv)
{
    bench::OffscreenApp app(argc, argv);
    const int relations = argc > 1 ? std::max(2, std::atoi(argv[1])) : 100000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    if (!bench::haveSandbox())
        return 2;
    InitializeSharedUnit();
    if (!prepare(relations))
        return 2;
    InstallCallWaiter();
    int result = 1;
    {
        benchwin::MainWindow window(QString::fromLatin1(kName));
        TfrmObject *conn = window.Conn;
        TkdOption::Global().Progress = false;
        auto *w = qobject_cast<TfrmTBS *>(conn->OpenObject(69, QString(), QString::fromLatin1(kName), omDefine));
        if (!w) {
            std::fprintf(stderr, "the tablespace editor did not open\n");
            return 1;
        }
        QApplication::setActiveWindow(&window.Main);
        w->pagObject->setCurrentWidget(w->tabContents);
        QCoreApplication::processEvents();

        std::vector<double> fills, gaps;
        int rows = 0;
        bench::EventGap gap;
        for (int i = 0; i < runs; ++i) {
            gap.start();
            w->ShowContents();
            fills.push_back(gap.elapsedMs());
            gaps.push_back(gap.stop());
            std::printf("  run %d: fill %.0f ms, longest gap %.0f ms ending at %.0f ms\n", i + 1, fills.back(), gaps.back(),
                        gap.longestEndMs());
            rows = w->lstObject->topLevelItemCount();
        }
        const QStringList db{QStringLiteral("-d"), QString::fromLatin1(kName)};
        const double psqlRows = bench::psqlQueryMs(psqlStatement(), runs, db);
        // The page also shows the tablespace's total, for which the server walks its files.
        const double psqlTotal = bench::psqlQueryMs(
            QStringLiteral("SELECT pg_tablespace_size('%1')").arg(QLatin1String(kName)), runs, db);
        const double psql = psqlRows + psqlTotal;
        const double ratio = median(fills) / std::max(0.001, psql);
        const double worstGap = *std::max_element(gaps.begin(), gaps.end());
        std::printf("%d rows (%s KB in the database, %s KB in all): fill median %.0f ms; longest event-loop gap %.0f ms "
                    "median, %.0f ms worst; psql alone: the rows' statement median %.0f ms + the total's %.0f ms; "
                    "fill/psql %.2f\n",
                    rows, qPrintable(w->lblSelfUseSize->text()), qPrintable(w->lblAllUseSize->text()), median(fills),
                    median(gaps), worstGap, psqlRows, psqlTotal, ratio);

        QTimer::singleShot(100, w->lstObject, [w] {
            QCoreApplication::postEvent(w->lstObject, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        });
        gap.start();
        w->ShowContents();
        std::printf("  Esc after 100 ms: stopped at %.0f ms with %d rows\n", gap.elapsedMs(), w->lstObject->topLevelItemCount());
        gap.stop();
        result = rows >= relations && ratio <= 1.5 && worstGap <= 100 ? 0 : 1;
        std::printf(result == 0 ? "goal met\n" : "GOAL MISSED\n");
    }
    return result;
}
