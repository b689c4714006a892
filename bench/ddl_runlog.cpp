// The run log against running the same statements with ExecuteSQL(lines) on the same
// connection window: 10,000 small statements in a scratch schema, both in one run. Goal:
// the run log takes at most 1.2 times as long. Then a finished log waits in WaitProc for
// two seconds; goal: under 1 % of one CPU (getrusage).
//
// Needs the sandbox server: run with the variables of its env file set
// (set -a; . /tmp/vantor-pg-<port>/env; set +a), under the offscreen platform:
//   QT_QPA_PLATFORM=offscreen bench_ddl_runlog [statements]
#include "browser/fddlexec.h"
#include "browser/fobject.h"
#include "core/kdforms.h"
#include "core/kdreg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_start.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {
QString env(const char *name) { return QString::fromLocal8Bit(qgetenv(name)); }

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

QStringList statements(int count, const QString &table)
{
    QStringList sql;
    sql.reserve(count * 2);
    for (int i = 0; i < count; ++i)
        sql << QStringLiteral("INSERT INTO bench_runlog.%1 VALUES (%2, 'row %2')").arg(table).arg(i) << QStringLiteral(";");
    return sql;
}
} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir config;
    qputenv("VANTOR_CONFIG_DIR", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    InitializeSharedUnit();
    LoadSettings();
    TkdOption::Global().UpdateToCommit = true;
    TkdOption::Global().CloseDDL = false;

    TfrmObject *form = TfrmObject::Create({env("PGHOST"), env("PGPORT"), env("PGDATABASE").isEmpty() ? QStringLiteral("postgres") : env("PGDATABASE"),
                                           QStringLiteral("public"), env("PGUSER"), env("PGPASSWORD")});
    form->ExecuteSQL(QStringLiteral("DROP SCHEMA IF EXISTS bench_runlog CASCADE"));
    form->ExecuteSQL(QStringLiteral("CREATE SCHEMA bench_runlog"));
    form->ExecuteSQL(QStringLiteral("CREATE TABLE bench_runlog.a (i int, t text)"));
    form->ExecuteSQL(QStringLiteral("CREATE TABLE bench_runlog.b (i int, t text)"));

    QElapsedTimer timer;
    double c0 = cpuSeconds();
    timer.start();
    form->ExecuteSQL(statements(count, QStringLiteral("a")), false);
    const double plain = timer.nsecsElapsed() / 1e9;
    const double plainCpu = cpuSeconds() - c0;

    // Where the time goes: one call per statement, and with the event processing of the log.
    form->ExecuteSQL(QStringLiteral("TRUNCATE bench_runlog.a"));
    timer.restart();
    for (int i = 0; i < count; ++i)
        form->ExecuteSQL(QStringLiteral("INSERT INTO bench_runlog.a VALUES (%1, 'row %1')\r\n").arg(i));
    const double single = timer.nsecsElapsed() / 1e9;
    timer.restart();
    for (int i = 0; i < count; ++i) {
        form->ExecuteSQL(QStringLiteral("INSERT INTO bench_runlog.a VALUES (%1, 'row %1')\r\n").arg(i));
        QCoreApplication::processEvents();
    }
    const double events = timer.nsecsElapsed() / 1e9;
    std::printf("one call per statement %.3f s, with event processing %.3f s\n", single, events);

    c0 = cpuSeconds();
    timer.restart();
    TfrmDDLExec::ShowWindow(form, statements(count, QStringLiteral("b")));
    const double log = timer.nsecsElapsed() / 1e9;
    const double logCpu = cpuSeconds() - c0;
    std::printf("statements            %d\n", count);
    std::printf("ExecuteSQL(lines)     %.3f s  (client CPU %.3f s)\n", plain, plainCpu);
    std::printf("run log               %.3f s  (%.2fx, goal <= 1.20x; client CPU %.3f s)\n", log, log / plain, logCpu);

    // A finished log in WaitProc: the timer closes it after two seconds.
    QTimer::singleShot(2000, [] {
        for (TfrmDDLExec *w : TfrmDDLExec::Windows())
            w->close();
    });
    const double cpu0 = cpuSeconds();
    timer.restart();
    TfrmDDLExec::WaitProc();
    const double wall = timer.nsecsElapsed() / 1e9;
    const double cpu = cpuSeconds() - cpu0;
    std::printf("WaitProc              %.2f s wall, %.4f s CPU (%.2f %%, goal < 1 %%)\n", wall, cpu, 100.0 * cpu / wall);

    form->ExecuteSQL(QStringLiteral("DROP SCHEMA bench_runlog CASCADE"));
    form->close();
    return 0;
}
