// The data grids over a large result, beside the data set alone. Each measurement runs in a
// child process (offscreen) so that its wall time and peak memory are its own.
//
//   bench_grid [rows]   fills the tables (rows default 1,000,000), runs every variant, prints
//   bench_grid --child MODE ARGS...   one measurement (used by the driver)
//
// Connection values come from the PG* environment variables (source the sandbox's env file).
#include "controls/kddbgrid.h"
#include "controls/kddbmodel.h"
#include "platform/db/dbquery.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const char *const TableName = "vantor_bench_grid";
const char *const WideName = "vantor_bench_grid_wide";

double ms(const QElapsedTimer &t) { return double(t.nsecsElapsed()) / 1e6; }

// Same shape as the table of bench_db_fetch: ten columns of mixed kinds, some NULL.
std::string createSql(long rows)
{
    std::string wide;
    for (int c = 2; c <= 100; ++c)
        wide += ", g + " + std::to_string(c) + " AS c" + std::to_string(c);
    return std::string("DROP TABLE IF EXISTS ") + TableName + "; CREATE UNLOGGED TABLE " + TableName
           + " AS SELECT g AS id, g::int8 * 7919 AS big, g * 0.5::float8 AS f, (g % 100000)::numeric(12,2) AS amount, "
             "'name-' || g AS name, DATE '2020-01-01' + (g % 3650) AS day, "
             "TIMESTAMP '2020-01-01' + g * INTERVAL '1 second' AS at, (g % 2 = 0) AS flag, "
             "CASE WHEN g % 10 = 0 THEN NULL ELSE md5(g::text) END AS hash, "
             "'\\x0102'::bytea AS raw FROM generate_series(1, " + std::to_string(rows) + ") g; "
           + "DROP TABLE IF EXISTS " + WideName + "; CREATE UNLOGGED TABLE " + WideName
           + " AS SELECT g AS c1" + wide + " FROM generate_series(1, 100000) g";
}

void openQuery(db::Connection &conn, db::Query &q, const std::string &sql)
{
    conn.open();
    q.setConnection(&conn);
    q.setParamCreation(false);
    q.setSql(QString::fromStdString(sql));
}

// The data set alone: first block, then everything (in a process with the same Qt
// application, so that the memory figures compare).
int childDataSet(int argc, char **argv, const std::string &sql)
{
    QApplication app(argc, argv);
    db::Connection conn;
    db::Query q;
    openQuery(conn, q, sql);
    QElapsedTimer t;
    t.start();
    q.open();
    const double first = ms(t);
    t.restart();
    q.fetchAll();
    std::printf("first_block_ms=%.1f fetchall_ms=%.1f rows=%d\n", first, ms(t), q.fetchedCount());
    return 0;
}

template <class G>
int childGrid(int argc, char **argv, const std::string &sql, bool ctrlEnd)
{
    QApplication app(argc, argv);
    db::Connection conn;
    db::Query q;
    openQuery(conn, q, sql);
    G grid;
    grid.SetOptions(dgDefaultOptions | dgBit(dgMultiSelect));
    grid.resize(1280, 800);
    grid.show();
    QApplication::processEvents();
    QElapsedTimer t;
    t.start();
    q.open();
    const double opened = ms(t);
    TkdDataSetModel model(&q);
    grid.SetDataSource(&model);
    const double bound = ms(t);
    grid.repaint();
    const double firstPaint = ms(t);
    if (qEnvironmentVariableIsSet("BENCH_GRID_DETAIL"))
        std::printf("bind_ms=%.1f paint_ms=%.1f\n", bound - opened, firstPaint - bound);
    double end = 0;
    if (ctrlEnd) {
        t.restart();
        grid.KeyDown(Qt::Key_End, Qt::ControlModifier);
        grid.repaint();
        end = ms(t);
    }
    std::printf("open_to_first_paint_ms=%.1f (first block %.1f + grid %.1f) ctrl_end_ms=%.1f rows=%d\n", firstPaint,
                opened, firstPaint - opened, end, q.fetchedCount());
    return 0;
}

// Median repaint after each PgDn and after each horizontal page, 100 columns × 100,000 rows.
template <class G>
int childRepaint(int argc, char **argv)
{
    QApplication app(argc, argv);
    db::Connection conn;
    db::Query q;
    openQuery(conn, q, std::string("SELECT * FROM ") + WideName + " ORDER BY c1");
    q.open();
    TkdDataSetModel model(&q);
    G grid;
    grid.resize(1920, 1080);
    grid.SetDataSource(&model);
    grid.show();
    QApplication::processEvents();
    grid.repaint();
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    std::vector<double> pg, hz;
    QElapsedTimer t;
    for (int i = 0; i < 40; ++i) {
        grid.KeyDown(Qt::Key_PageDown, Qt::NoModifier);
        QApplication::processEvents();
        t.start();
        grid.repaint();
        pg.push_back(ms(t));
    }
    QScrollBar *bar = grid.horizontalScrollBar();
    for (int i = 0; i < 40 && bar->value() < bar->maximum(); ++i) {
        bar->setValue(bar->value() + bar->pageStep());
        QApplication::processEvents();
        t.start();
        grid.repaint();
        hz.push_back(ms(t));
    }
    std::printf("median_pgdn_repaint_ms=%.2f median_hpage_repaint_ms=%.2f\n", median(pg), median(hz));
    return 0;
}

struct Outcome {
    double seconds = 0;
    long peakKb = 0;
};

Outcome runChild(const std::vector<std::string> &args)
{
    Outcome o;
    QElapsedTimer t;
    t.start();
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>("/proc/self/exe"));
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv("/proc/self/exe", argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage ru {};
    wait4(pid, &status, 0, &ru);
    o.seconds = double(t.nsecsElapsed()) / 1e9;
    o.peakKb = ru.ru_maxrss;
    return o;
}

} // namespace

int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0) {
        const std::string mode = argv[2];
        const std::string sql = argc >= 4 ? argv[3] : "";
        try {
            if (mode == "dataset")
                return childDataSet(argc, argv, sql);
            if (mode == "gridv")
                return childGrid<TkdDBGridV>(argc, argv, sql, false);
            if (mode == "gridv-end")
                return childGrid<TkdDBGridV>(argc, argv, sql, true);
            if (mode == "gridh")
                return childGrid<TkdDBGridH>(argc, argv, sql, false);
            if (mode == "repaint-v")
                return childRepaint<TkdDBGridV>(argc, argv);
            if (mode == "repaint-h")
                return childRepaint<TkdDBGridH>(argc, argv);
        } catch (const db::Error &e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
        return 2;
    }
    const long rows = argc >= 2 ? std::atol(argv[1]) : 1000000;
    {
        db::Connection conn;
        conn.open();
        std::printf("filling %ld rows…\n", rows);
        conn.execute(QString::fromStdString(createSql(rows)));
    }
    for (long n : {1000L, 100000L, rows}) {
        const std::string sql = std::string("SELECT * FROM ") + TableName + " WHERE id <= " + std::to_string(n) + " ORDER BY id";
        std::printf("-- %ld rows\n", n);
        std::fflush(stdout);
        runChild({"--child", "dataset", sql});
        std::fflush(stdout);
        runChild({"--child", "gridv", sql});
        runChild({"--child", "gridh", sql});
    }
    const std::string all = std::string("SELECT * FROM ") + TableName + " ORDER BY id";
    std::printf("-- Ctrl+End over %ld rows (peak memory of the whole process)\n", rows);
    std::fflush(stdout);
    Outcome ds = runChild({"--child", "dataset", all});
    std::printf("   data set alone: %.2f s, peak %ld kB\n", ds.seconds, ds.peakKb);
    std::fflush(stdout);
    Outcome g = runChild({"--child", "gridv-end", all});
    std::printf("   grid + Ctrl+End: %.2f s, peak %ld kB (%.2f × the data set)\n", g.seconds, g.peakKb,
                ds.peakKb > 0 ? double(g.peakKb) / double(ds.peakKb) : 0.0);
    std::printf("-- 100 columns × 100,000 rows at 1920 × 1080\n");
    std::fflush(stdout);
    runChild({"--child", "repaint-v"});
    std::fflush(stdout);
    runChild({"--child", "repaint-h"});
    return 0;
}
