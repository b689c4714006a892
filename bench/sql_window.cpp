// The SQL window driven offscreen against the sandbox server, beside psql on the same work.
// Each measurement runs in a child process so that its time and memory are its own.
//
//   bench_sql_window [statements]     fills the tables and runs every measurement
//   bench_sql_window --child MODE [N]
//
// Modes: window-commit / window-block run N small INSERT/UPDATE statements (UpdateToCommit
// on / off: one block, a savepoint per statement) with the row-count box switched off by
// its check box at the first statement; psql / psql-block run the same file with
// "psql -f" and "psql -1 -v ON_ERROR_ROLLBACK=on -f"; window-select shows a SELECT of
// 1,000,000 rows x 10 columns, then Ctrl+End; layer-last reads the same rows through the
// data-access layer alone (the full-fetch peak of bench_db_fetch).
// Connection values come from the PG* environment variables (source the sandbox's env file).
#include "app/fmain.h"
#include "browser/fobject.h"
#include "controls/kdmemo.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_start.h"
#include "frames/data_frame.h"
#include "platform/db/dbquery.h"
#include "sqltools/fsql.h"

#include "bench_db.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char *const Small = "vantor_bench_sqlwin";
const char *const Big = "vantor_bench_sqlwin_big";

using bench::env;
using bench::ms;
using bench::peakKb;

long currentKb()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts.at(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

QString scriptPath() { return QDir::tempPath() + QStringLiteral("/vantor_bench_sqlwin.sql"); }

// N statements, each followed by a line holding ";" alone (the window's and psql's end).
QString script(long n)
{
    QString s;
    for (long i = 1; i <= n; ++i) {
        if (i % 2)
            s += QStringLiteral("INSERT INTO %1 VALUES (%2, 'v%2')\n;\n").arg(QLatin1String(Small)).arg(i);
        else
            s += QStringLiteral("UPDATE %1 SET v = 'w%2' WHERE id = %3\n;\n").arg(QLatin1String(Small)).arg(i).arg(i - 1);
    }
    return s;
}

int child(int argc, char **argv, const std::string &mode, long n)
{
    QApplication app(argc, argv);
    InitializeSharedUnit();
    QTemporaryDir temp;
    TkdOption &o = TkdOption::Global();
    o.TempDir = temp.path() + QStringLiteral("/");
    o.CharacterSet = QStringLiteral("UTF8");
    o.UpdateToCommit = mode != "window-block";
    o.UsePartial = false;
    // The first row-count box is answered with its check box ticked: no more boxes.
    SetMessageBoxHook([](MessageBoxRequest &r) {
        for (MsgCheckItem &i : r.items)
            i.Checked = true;
        return IDOK;
    });
    if (mode == "layer-last") {
        db::Connection conn;
        conn.open();
        db::Query q(&conn);
        q.setSql(QStringLiteral("SELECT * FROM %1").arg(QLatin1String(Big)));
        QElapsedTimer t;
        t.start();
        q.open();
        q.last();
        std::printf("%-14s all rows %.1f ms, peak %ld kB\n", mode.c_str(), ms(t), peakKb());
        return 0;
    }
    SetLogonProc({});
    auto *main = new TfrmMain;
    main->SetCloseSteps({});
    main->resize(1280, 900);
    main->show();
    TfrmObject *conn = TfrmObject::Create({env("PGHOST"), env("PGPORT"), env("PGDATABASE"), QStringLiteral("public"),
                                           env("PGUSER"), env("PGPASSWORD")});
    auto *w = new TfrmSQL(conn);
    w->resize(1200, 800);
    app.processEvents();
    (void)w->grab(); // fonts and styles loaded by a first paint, as in a running program
    QElapsedTimer t;
    if (mode == "window-commit" || mode == "window-block") {
        QFile f(scriptPath());
        f.open(QIODevice::ReadOnly);
        w->txtSQL->setText(QString::fromUtf8(f.readAll()));
        const long before = currentKb();
        t.start();
        w->actExecExecute();
        if (!o.UpdateToCommit)
            conn->dbsMain()->commit();
        const double total = ms(t);
        std::printf("%-14s %ld statements %.1f ms, memory %ld kB before the run, %ld kB after, peak %ld kB\n",
                    mode.c_str(), n, total, before, currentKb(), peakKb());
    } else if (mode == "window-select") {
        w->txtSQL->setText(QStringLiteral("SELECT * FROM %1").arg(QLatin1String(Big)));
        app.processEvents();
        const long idle = currentKb();
        t.start();
        w->actExecExecute();
        (void)w->grab();
        const double first = ms(t);
        const long shown = currentKb();
        TfraData *frame = w->fraData->Frame();
        frame->MoveTo(3); // Ctrl+End
        app.processEvents();
        (void)w->grab();
        std::printf("%-14s first rows painted %.1f ms; memory idle %ld kB, first screen %ld kB (+%ld kB); "
                    "after Ctrl+End %.1f ms, peak %ld kB\n",
                    mode.c_str(), first, idle, shown, shown - idle, ms(t), peakKb());
    }
    delete w;
    main->close();
    delete main;
    return 0;
}

double runChild(const char *self, const std::string &mode, long n = 0)
{
    std::fflush(stdout);
    QElapsedTimer t;
    t.start();
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string ns = std::to_string(n);
        execl(self, self, "--child", mode.c_str(), ns.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return ms(t);
}

double runPsql(bool block)
{
    std::fflush(stdout);
    QElapsedTimer t;
    const std::string file = scriptPath().toStdString();
    t.start();
    const pid_t pid = fork();
    if (pid == 0) {
        if (!freopen("/dev/null", "w", stdout))
            _exit(126);
        if (block)
            execlp("psql", "psql", "-X", "-q", "-1", "-v", "ON_ERROR_ROLLBACK=on", "-f", file.c_str(),
                   static_cast<char *>(nullptr));
        else
            execlp("psql", "psql", "-X", "-q", "-f", file.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double total = ms(t);
    std::printf("%-14s %.1f ms\n", block ? "psql-block" : "psql", total);
    return total;
}

void reset(db::Connection &c)
{
    c.execute(QStringLiteral("DROP TABLE IF EXISTS %1; CREATE TABLE %1 (id int PRIMARY KEY, v text)").arg(QLatin1String(Small)));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0)
        return child(argc, argv, argv[2], argc > 3 ? std::atol(argv[3]) : 0);
    const long n = argc > 1 ? std::atol(argv[1]) : 10000;
    const char *self = argv[0];
    QCoreApplication app(argc, argv);
    db::Connection conn;
    conn.open();
    {
        QFile f(scriptPath());
        f.open(QIODevice::WriteOnly);
        f.write(script(n).toUtf8());
    }
    std::printf("%ld small INSERT/UPDATE statements\n", n);
    for (int round = 0; round < 3; ++round) {
        reset(conn);
        runPsql(false);
        reset(conn);
        runChild(self, "window-commit", n);
        reset(conn);
        runPsql(true);
        reset(conn);
        runChild(self, "window-block", n);
    }
    // Memory stays flat: a tenth of the statements for comparison.
    {
        QFile f(scriptPath());
        f.open(QIODevice::WriteOnly);
        f.write(script(n / 10).toUtf8());
    }
    reset(conn);
    runChild(self, "window-commit", n / 10);
    conn.execute(QStringLiteral("DROP TABLE IF EXISTS %1").arg(QLatin1String(Small)));
    QFile::remove(scriptPath());

    std::printf("SELECT of 1,000,000 rows x 10 columns\n");
    conn.execute(QStringLiteral("DROP TABLE IF EXISTS %1; CREATE UNLOGGED TABLE %1 AS SELECT g AS id, "
                                "g::int8 * 7919 AS big, g * 0.5::float8 AS f, (g %% 100000)::numeric(12,2) AS amount, "
                                "'name-' || g AS name, DATE '2020-01-01' + (g %% 3650) AS day, "
                                "TIMESTAMP '2020-01-01' + g * INTERVAL '1 second' AS at, (g %% 2 = 0) AS flag, "
                                "CASE WHEN g %% 10 = 0 THEN NULL ELSE md5(g::text) END AS hash, "
                                "'\\x0102'::bytea AS raw FROM generate_series(1, 1000000) g; ANALYZE %1")
                     .arg(QLatin1String(Big))
                     .replace(QStringLiteral("%%"), QStringLiteral("%")));
    for (int round = 0; round < 3; ++round) {
        runChild(self, "window-select");
        runChild(self, "layer-last");
    }
    conn.execute(QStringLiteral("DROP TABLE IF EXISTS %1").arg(QLatin1String(Big)));
    return 0;
}
