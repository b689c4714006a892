// INSERT scripts of a table's rows against the sandbox server: a table of N rows (default
// 1,000,000) × 10 mixed columns scripted through the editor table with the script option
// Insert on, into a file, side by side with `pg_dump --data-only --inserts -t` of the same
// table into a file. Goal: within 1.5 times pg_dump's wall time. The peak resident memory is
// printed after N/10 rows and after N rows: it must not grow with the row count.
//
// Run with the sandbox's variables set (set -a; . /tmp/vantor-pg-<port>/env; set +a), under
// the offscreen platform: QT_QPA_PLATFORM=offscreen bench_table_inserts [rows]
// Exits non-zero when the goal is missed.
#include "browser/fobject.h"
#include "core/kdeditorreg.h"
#include "core/kdforms.h"
#include "core/kdreg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_service.h"
#include "core/kdsub_start.h"
#include "editors/editor_table.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {
QString env(const char *name) { return QString::fromLocal8Bit(qgetenv(name)); }

long peakKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Seconds to script the table into a file.
double scriptTable(TfrmObject *form, const QString &path)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    TScriptSink sink(&file, TFileEncoding::Utf8);
    QElapsedTimer t;
    t.start();
    form->OutputScript(45, QStringLiteral("bench_ins"), QStringLiteral("t"), sink);
    return t.nsecsElapsed() / 1e9;
}

void fill(TfrmObject *form, int rows)
{
    form->ExecuteSQL(QStringLiteral("TRUNCATE bench_ins.t"));
    form->ExecuteSQL(QStringLiteral(
                         "INSERT INTO bench_ins.t (i, b, n, f, tx, d, ts, ok, u, j) SELECT g, g::bigint * 1000003, g / 7.0, g / 3.0, "
                         "'text ''' || g || ' 表', DATE '2000-01-01' + g % 9000, TIMESTAMPTZ '2020-01-01 00:00:00.123+00' + g * "
                         "INTERVAL '1 second', g % 2 = 0, md5(g::text)::uuid, jsonb_build_object('k', g) "
                         "FROM generate_series(1, %1) g")
                         .arg(rows));
}
} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir config;
    qputenv("VANTOR_CONFIG_DIR", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    InitializeSharedUnit();
    LoadSettings();
    TkdOption::Global().UpdateToCommit = true;
    TScriptOption::Global().Insert = true;
    TScriptOption::Global().InsertMode = 0;
    RegisterEditors();
    const QString database = env("PGDATABASE").isEmpty() ? QStringLiteral("postgres") : env("PGDATABASE");
    TfrmObject *form = TfrmObject::Create({env("PGHOST"), env("PGPORT"), database, QStringLiteral("public"), env("PGUSER"), env("PGPASSWORD")});
    form->ExecuteSQL(QStringLiteral("DROP SCHEMA IF EXISTS bench_ins CASCADE"));
    form->ExecuteSQL(QStringLiteral("CREATE SCHEMA bench_ins"));
    form->ExecuteSQL(QStringLiteral("CREATE TABLE bench_ins.t (i int, b bigint, n numeric, f float8, tx text, d date, "
                                    "ts timestamptz, ok boolean, u uuid, j jsonb)"));
    QTemporaryDir out;

    fill(form, rows / 10);
    scriptTable(form, out.filePath("small.sql"));
    const long smallPeak = peakKb();

    fill(form, rows);
    const double ours = scriptTable(form, out.filePath("ours.sql"));
    const long bigPeak = peakKb();

    QProcess dump;
    dump.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    dump.start(QStringLiteral("pg_dump"), {QStringLiteral("--data-only"), QStringLiteral("--inserts"), QStringLiteral("-t"),
                                           QStringLiteral("bench_ins.t"), QStringLiteral("-f"), out.filePath("dump.sql"),
                                           QStringLiteral("-h"), env("PGHOST"), QStringLiteral("-p"), env("PGPORT"),
                                           QStringLiteral("-U"), env("PGUSER"), database});
    dump.waitForFinished(-1);
    const double theirs = timer.nsecsElapsed() / 1e9;
    std::printf("INSERT script of %d rows x 10 columns: %.2f s (%lld bytes); pg_dump --data-only --inserts: %.2f s "
                "(%lld bytes); ratio %.2f (goal <= 1.5)\n",
                rows, ours, QFile(out.filePath("ours.sql")).size(), theirs, QFile(out.filePath("dump.sql")).size(),
                ours / theirs);
    std::printf("peak resident memory: %ld kB after %d rows, %ld kB after %d rows\n", smallPeak, rows / 10, bigPeak, rows);
    form->ExecuteSQL(QStringLiteral("DROP SCHEMA bench_ins CASCADE"));
    delete form;
    return ours <= 1.5 * theirs ? 0 : 1;
}
