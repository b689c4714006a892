// The data frame and the plan frame beside the data-access layer alone, side by side in one
// run. Each measurement runs in a child process (offscreen) so its time and peak memory are
// its own.
//
//   bench_data_frame            fills the tables and runs every measurement
//   bench_data_frame --child MODE [N]
//
// Connection values come from the PG* environment variables (source the sandbox's env file).
#include "controls/kdcomctrls.h"
#include "controls/kddbgrid.h"
#include "controls/kddbmodel.h"
#include "core/kdsub_start.h"
#include "frames/data_frame.h"
#include "frames/plan_frame.h"
#include "frames/data_frame_sql.h"
#include "platform/db/dbquery.h"

#include "bench_db.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char *const Big = "vantor_bench_frame";

using bench::ms;
using bench::peakKb;

QString planSql()
{
    QString sql;
    for (int i = 0; i < 2000; ++i)
        sql += QStringLiteral("%1SELECT id FROM %2 WHERE id = %3 AND big > 5")
                   .arg(i ? QStringLiteral(" UNION ALL ") : QString())
                   .arg(QLatin1String(Big))
                   .arg(i);
    return sql;
}

int child(int argc, char **argv, const std::string &mode, long n)
{
    QApplication app(argc, argv);
    InitializeSharedUnit();
    db::Connection conn;
    conn.open();
    QElapsedTimer t;
    const QString all = QStringLiteral("SELECT * FROM %1").arg(QLatin1String(Big));
    const QString some = QStringLiteral("SELECT * FROM %1 WHERE id <= %2").arg(QLatin1String(Big)).arg(n);
    if (mode == "layer-open" || mode == "layer-last") {
        db::Query q(&conn);
        q.setSql(all);
        t.start();
        q.open();
        const double first = ms(t);
        if (mode == "layer-last")
            q.last();
        std::printf("%-12s first rows %.1f ms, total %.1f ms, peak %ld kB\n", mode.c_str(), first, ms(t), peakKb());
    } else if (mode == "frame-open" || mode == "frame-last") {
        QWidget host;
        host.resize(1280, 800);
        auto *f = new TfraData(&host);
        f->resize(1280, 800);
        f->SetConnection(&conn);
        host.show();
        (void)host.grab(); // fonts and styles loaded by an empty paint first, as in a running program
        t.start();
        f->SetSQL(all);
        f->Prepare();
        f->Open();
        QPixmap p = host.grab();
        const double first = ms(t);
        if (mode == "frame-last") {
            f->MoveTo(3);
            app.processEvents();
            p = host.grab();
        }
        std::printf("%-12s first rows painted %.1f ms, total %.1f ms, peak %ld kB\n", mode.c_str(), first, ms(t),
                    peakKb());
    } else if (mode == "copy-plain" || mode == "copy-frame") {
        QWidget host;
        auto *f = new TfraData(&host);
        f->SetConnection(&conn);
        f->SetSQL(some);
        f->Prepare();
        f->Open();
        db::DataSet *ds = f->qryData();
        t.start();
        qsizetype size = 0;
        if (mode == "copy-plain") {
            ds->fetchAll();
            QString out;
            for (int r = 0; r < ds->fetchedCount(); ++r) {
                for (int c = 0; c < ds->fieldCount(); ++c) {
                    if (c)
                        out += u'\t';
                    out += dataframe::QuoteCellText(ds->displayText(r, c));
                }
                out += QStringLiteral("\r\n");
            }
            size = out.size();
        } else {
            size = f->ResultText(false, false).size();
        }
        std::printf("%-12s %ld rows %.1f ms (%lld chars)\n", mode.c_str(), n, ms(t), (long long)size);
    } else if (mode == "plan-layer" || mode == "plan-frame") {
        const QString sql = planSql();
        t.start();
        int lines = 0;
        if (mode == "plan-layer") {
            db::Query q(&conn);
            q.setSql(QStringLiteral(" EXPLAIN (FORMAT TEXT) ") + sql);
            q.open();
            QStringList rows;
            while (!q.eof()) {
                rows << q.field(0).asString();
                q.next();
            }
            lines = int(rows.size());
        } else {
            TfraExplan f;
            f.SetConnection(&conn);
            f.SetSQL(sql);
            f.ShowPlan();
            lines = f.lstPlan()->topLevelItemCount();
        }
        std::printf("%-12s %.1f ms (%d)\n", mode.c_str(), ms(t), lines);
    }
    return 0;
}

void run(const char *self, const std::string &mode, long n = 0)
{
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string ns = std::to_string(n);
        execl(self, self, "--child", mode.c_str(), ns.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0)
        return child(argc, argv, argv[2], argc > 3 ? std::atol(argv[3]) : 0);
    {
        QCoreApplication app(argc, argv);
        db::Connection conn;
        conn.open();
        conn.execute(QStringLiteral("DROP TABLE IF EXISTS %1; CREATE UNLOGGED TABLE %1 AS SELECT g AS id, "
                                    "g::int8 * 7919 AS big, g * 0.5::float8 AS f, (g %% 100000)::numeric(12,2) AS amount, "
                                    "'name-' || g AS name, DATE '2020-01-01' + (g %% 3650) AS day, "
                                    "TIMESTAMP '2020-01-01' + g * INTERVAL '1 second' AS at, (g %% 2 = 0) AS flag, "
                                    "md5(g::text) AS hash, E'a\\tb' AS tabbed FROM generate_series(1, 1000000) g; "
                                    "CREATE INDEX ON %1 (id); ANALYZE %1")
                         .arg(QLatin1String(Big))
                         .replace(QStringLiteral("%%"), QStringLiteral("%")));
    }
    const char *self = argv[0];
    std::printf("1,000,000 x 10, no row limit\n");
    run(self, "layer-open");
    run(self, "frame-open");
    run(self, "layer-last");
    run(self, "frame-last");
    for (long n : {100000L, 200000L}) {
        run(self, "copy-plain", n);
        run(self, "copy-frame", n);
    }
    std::printf("plan of a UNION ALL of 2,000 filtered scans\n");
    run(self, "plan-layer");
    run(self, "plan-frame");
    return 0;
}
