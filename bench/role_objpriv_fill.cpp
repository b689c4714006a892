// The object privilege list of the user editor for a login role holding privileges on
// 10,000 (or any number of) objects: tables (two privileges each, one with the grant
// option), with every tenth object a function instead, against the same catalog statement
// run by psql inside one psql session (`\timing`, the statement alone). Goal: the fill
// (statement, lines, list) within 1.5 times psql's time, so the window opens without a
// freeze. Medians of five runs.
//
// Needs the sandbox server: run with the variables of its env file set
// (set -a; . /tmp/vantor-pg-<port>/env; set +a). The schema "vantor_bench_op" and the role
// "vantor_bench_op_user" are made for the run and dropped at its end.
//   bench_role_objpriv_fill [objects]   (default 10000)
#include "app/fmain.h"
#include "bench_db.h"
#include "bench_window.h"
#include "browser/fobject.h"
#include "core/kdeditorreg.h"
#include "core/kdforms.h"
#include "core/kdsub_start.h"
#include "core/kdsub_text.h"
#include "editors/editor_table.h"
#include "editors/role_editor.h"
#include "editors/role_objpriv.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using bench::env;
using bench::median;
using bench::psqlQueryMs;

const char *const kRole = "vantor_bench_op_user";

void objects(int count, bool create)
{
    db::Connection c;
    bench::setParams(c, env("PGDATABASE"));
    c.open();
    c.execute(QStringLiteral("DROP SCHEMA IF EXISTS vantor_bench_op CASCADE"));
    c.execute(QStringLiteral("DROP ROLE IF EXISTS %1").arg(QLatin1String(kRole)));
    if (!create)
        return;
    c.execute(QStringLiteral("CREATE ROLE %1 LOGIN").arg(QLatin1String(kRole)));
    c.execute(QStringLiteral("CREATE SCHEMA vantor_bench_op"));
    c.execute(QStringLiteral(
                  "DO $$BEGIN FOR i IN 1..%1 LOOP "
                  "IF i % 10 = 0 THEN "
                  "EXECUTE format('CREATE FUNCTION vantor_bench_op.f%s(int, text) RETURNS int LANGUAGE sql AS ''SELECT 1''', i); "
                  "EXECUTE format('GRANT EXECUTE ON FUNCTION vantor_bench_op.f%s(int, text) TO vantor_bench_op_user', i); "
                  "ELSE "
                  "EXECUTE format('CREATE TABLE vantor_bench_op.t%s (a int)', i); "
                  "EXECUTE format('GRANT SELECT ON vantor_bench_op.t%s TO vantor_bench_op_user WITH GRANT OPTION', i); "
                  "EXECUTE format('GRANT INSERT ON vantor_bench_op.t%s TO vantor_bench_op_user', i); "
                  "END IF; END LOOP; END$$")
                  .arg(count));
}

} // namespace

int main(int argc, char **argv)
{
    bench::OffscreenApp app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    if (!bench::haveSandbox())
        return 2;
    InitializeSharedUnit();
    objects(count, true);
    int result = 1;
    {
        benchwin::MainWindow window(env("PGDATABASE"));
        TfrmObject *conn = window.Conn;
        QElapsedTimer open;
        open.start();
        auto *w = qobject_cast<TfrmUser *>(conn->OpenObject(2, QString(), QLatin1String(kRole)));
        const double openMs = bench::ms(open);
        if (!w) {
            std::fprintf(stderr, "the user editor did not open\n");
        } else {
            const int runs = 5;
            std::vector<double> fills;
            for (int i = 0; i < runs; ++i) {
                QElapsedTimer t;
                t.start();
                w->ShowObjectGrant();
                fills.push_back(bench::ms(t));
            }
            const QString sql =
                ObjectPrivilegeSQL(conn->DBVer(), true).replace(QStringLiteral(":UNAME"), QuoteLiteral(QLatin1String(kRole)));
            const double psql = psqlQueryMs(sql, runs);
            const double ratio = median(fills) / std::max(0.001, psql);
            std::printf("%d objects, %d lines: window opened in %.0f ms; fill median %.0f ms; psql statement alone "
                        "median %.0f ms; fill/psql %.2f\n",
                        count, w->lstObj->count(), openMs, median(fills), psql, ratio);
            result = w->lstObj->count() >= count && ratio <= 1.5 ? 0 : 1;
            std::printf(result == 0 ? "goal met\n" : "GOAL MISSED\n");
            w->SetModified(false);
        }
    }
    objects(count, false);
    return result;
}
