// Reading a large result through the data-access layer, side by side with the plain libpq
// program (bench/c/db_fetch_libpq.c) and with psql. Each variant runs in a child process so
// that its wall time and peak memory are its own.
//
//   bench_db_fetch [rows [repeats]]  fills a table, runs every variant, prints a table
//   bench_db_fetch --layer SQL       one run of the layer (used by the driver)
//
// Connection values come from the PG* environment variables (source the sandbox's env file).
#include "platform/db/dbquery.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

const char *const TableName = "vantor_bench_fetch";

// A table of ten columns of mixed kinds, some NULL. Reading a table is what the windows do;
// a cursor over generate_series() is slower on the server than a plain query, which would
// measure the server rather than the client.
std::string createSql(long rows)
{
    return std::string("DROP TABLE IF EXISTS ") + TableName + "; CREATE UNLOGGED TABLE " + TableName
           + " AS SELECT g AS id, g::int8 * 7919 AS big, g * 0.5::float8 AS f, (g % 100000)::numeric(12,2) AS amount, "
             "'name-' || g AS name, DATE '2020-01-01' + (g % 3650) AS day, "
             "TIMESTAMP '2020-01-01' + g * INTERVAL '1 second' AS at, (g % 2 = 0) AS flag, "
             "CASE WHEN g % 10 = 0 THEN NULL ELSE md5(g::text) END AS hash, "
             "'\\x0102'::bytea AS raw FROM generate_series(1, " + std::to_string(rows) + ") g";
}

int runLayer(const char *sql, bool asText)
{
    db::Connection conn;
    QElapsedTimer timer;
    try {
        conn.open();
        timer.start(); // from sending the query
        db::Query q(&conn);
        q.setParamCreation(false);
        q.setSql(QString::fromUtf8(sql));
        q.open();
        unsigned long long bytes = 0, nulls = 0;
        long rows = 0;
        const int cols = q.fieldCount();
        double firstMs = -1;
        for (q.first(); !q.eof(); q.next()) {
            for (int c = 0; c < cols; ++c) {
                const db::Field &f = q.field(c);
                if (asText) {
                    // What a grid does: every value's display text.
                    const QString t = f.text();
                    bytes += std::size_t(t.size()) + (t.isEmpty() ? 0u : t.at(0).unicode());
                    continue;
                }
                if (f.isNull())
                    ++nulls;
                const QByteArrayView v = f.raw();
                bytes += std::size_t(v.size()) + (v.isEmpty() ? 0u : (unsigned char)v[0]);
            }
            if (++rows == 1000)
                firstMs = double(timer.nsecsElapsed()) / 1e6;
        }
        std::printf("rows=%ld bytes=%llu nulls=%llu first1000_ms=%.2f\n", rows, bytes, nulls, firstMs);
    } catch (const db::Error &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}

struct Outcome {
    double seconds = 0;
    long peakKb = 0;
    std::string output;
    int status = 0;
};

Outcome runChild(const std::vector<std::string> &argv, bool discardOutput)
{
    int pipefd[2];
    if (pipe(pipefd) != 0)
        return {};
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(discardOutput ? open("/dev/null", O_WRONLY) : pipefd[1], 1);
        close(pipefd[0]);
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(pipefd[1]);
    Outcome o;
    char buf[4096];
    ssize_t n;
    while ((n = read(pipefd[0], buf, sizeof buf)) > 0)
        o.output.append(buf, std::size_t(n));
    close(pipefd[0]);
    int status = 0;
    struct rusage ru {};
    wait4(pid, &status, 0, &ru);
    o.seconds = double(timer.nsecsElapsed()) / 1e9;
    o.peakKb = ru.ru_maxrss;
    o.status = status;
    while (!o.output.empty() && o.output.back() == '\n')
        o.output.pop_back();
    return o;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--layer") == 0)
        return runLayer(argv[2], false); // the layer needs no application object
    if (argc >= 3 && std::strcmp(argv[1], "--layer-text") == 0)
        return runLayer(argv[2], true);
    QCoreApplication app(argc, argv);
    const long rows = argc >= 2 ? std::atol(argv[1]) : 1000000;
    const std::string sql = std::string("SELECT * FROM ") + TableName;
    const int repeats = argc >= 3 ? std::atoi(argv[2]) : 3;
    db::Connection setup;
    try {
        setup.open();
        setup.execute(QString::fromStdString(createSql(rows)));
        setup.execute(QStringLiteral("VACUUM ANALYZE %1").arg(QLatin1String(TableName)));
    } catch (const db::Error &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    const std::string dir = QCoreApplication::applicationDirPath().toStdString();
    struct Variant { const char *name; std::vector<std::string> argv; bool discard; };
    const Variant variants[] = {
        {"libpq (PQexec/PQgetvalue)", {dir + "/benchc_db_fetch_libpq", sql}, false},
        {"db layer (Query, cursor blocks)", {self, "--layer", sql}, false},
        {"psql -c … >/dev/null", {"psql", "-X", "-q", "-A", "-t", "-c", sql}, true},
        {"psql FETCH_COUNT=1000 >/dev/null", {"psql", "-X", "-q", "-A", "-t", "-v", "FETCH_COUNT=1000", "-c", sql}, true},
        {"db layer, every value as text", {self, "--layer-text", sql}, false},
    };
    std::printf("%ld rows x 10 columns, each value read; median of %d runs\n", rows, repeats);
    std::printf("%-34s %10s %12s  %s\n", "variant", "wall s", "peak MiB", "output");
    // The runs of the variants take turns, so that a change of the machine's load falls on
    // all of them alike; the median run of each counts.
    const std::size_t count = sizeof variants / sizeof variants[0];
    std::vector<std::vector<Outcome>> runs(count);
    for (int i = 0; i < repeats; ++i)
        for (std::size_t k = 0; k < count; ++k)
            runs[k].push_back(runChild(variants[k].argv, variants[k].discard));
    std::vector<Outcome> best(count);
    for (std::size_t k = 0; k < count; ++k) {
        std::sort(runs[k].begin(), runs[k].end(),
                  [](const Outcome &a, const Outcome &b) { return a.seconds < b.seconds; });
        best[k] = runs[k][runs[k].size() / 2];
    }
    for (std::size_t k = 0; k < count; ++k) {
        const Outcome &o = best[k];
        std::printf("%-34s %10.3f %12.1f  %s  (%.2fx time, %.2fx memory)%s\n", variants[k].name, o.seconds,
                    double(o.peakKb) / 1024.0, o.output.c_str(), o.seconds / best[0].seconds,
                    double(o.peakKb) / double(best[0].peakKb), o.status == 0 ? "" : "  FAILED");
    }
    setup.execute(QStringLiteral("DROP TABLE IF EXISTS %1").arg(QLatin1String(TableName)));
    std::printf("ratio layer/libpq time %.2f, text/layer time %.2f\n", best[1].seconds / best[0].seconds,
                best[4].seconds / best[1].seconds);
    return 0;
}
