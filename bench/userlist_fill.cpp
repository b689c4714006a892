// The user tab of the user list window over 10,000 (or any number of) login roles, against
// the same catalog statement run by psql inside one psql session (`\timing`, the statement
// alone, no process start-up). Goals: the fill (statement, rows into the list, sort, the
// logon user's row) within 1.5 times psql's time, and the event loop never held more than
// 100 ms (the call waiter installed as the program installs it). Also: Esc pressed during a
// fill that repaints every row (the option Progress) ends it early. Medians of the runs.
//
// Needs the sandbox server: run with the variables of its env file set
// (set -a; . /tmp/vantor-pg-<port>/env; set +a). The login roles "vantor_bench_ul_<n>" are
// created for the run and dropped at its end (roles belong to the whole cluster, and other
// programs list them).
//   bench_userlist_fill [roles [runs]]   (defaults 10000 and 5)
#include "app/fmain.h"
#include "bench_db.h"
#include "bench_window.h"
#include "event_gap.h"
#include "core/kdcallwait.h"
#include "browser/fobject.h"
#include "controls/kdcomctrls.h"
#include "core/kdeditorreg.h"
#include "core/kdforms.h"
#include "core/kdsub_options.h"
#include "core/kdsub_start.h"
#include "editors/editor_table.h"
#include "editors/user_list.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using bench::env;
using bench::median;
using bench::psqlQueryMs;

void roles(int count, bool create)
{
    db::Connection c;
    bench::setParams(c, env("PGDATABASE"));
    c.open();
    if (create)
        c.execute(QStringLiteral("DO $$BEGIN FOR i IN 1..%1 LOOP EXECUTE format('CREATE ROLE %I LOGIN', "
                                 "'vantor_bench_ul_' || i); END LOOP; END$$")
                      .arg(count));
    else
        c.execute(QStringLiteral("DO $$DECLARE r text; BEGIN FOR r IN SELECT rolname FROM pg_roles WHERE rolname LIKE "
                                 "'vantor\\_bench\\_ul\\_%' LOOP EXECUTE format('DROP ROLE %I', r); END LOOP; END$$"));
}

} // namespace

int main(int argc, char **argv)
{
    bench::OffscreenApp app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    if (!bench::haveSandbox())
        return 2;
    InitializeSharedUnit();
    InstallCallWaiter();
    roles(count, false);
    roles(count, true);
    int result = 1;
    {
        benchwin::MainWindow window(env("PGDATABASE"));
        TfrmObject *conn = window.Conn;
        TkdOption::Global().Progress = false;
        TfrmUserList *w = TfrmUserList::ShowWindow(conn);
        QApplication::setActiveWindow(&window.Main);
        QCoreApplication::processEvents();
        const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
        std::vector<double> fills, gaps;
        int rows = 0;
        bench::EventGap gap;
        for (int i = 0; i < runs; ++i) {
            gap.start();
            w->Reload();
            fills.push_back(gap.elapsedMs());
            gaps.push_back(gap.stop());
            rows = w->lstObject->topLevelItemCount();
        }
        const double psql = psqlQueryMs(UserListSQL(3, conn->DBVer()), runs);
        const double ratio = median(fills) / std::max(0.001, psql);
        const double worstGap = *std::max_element(gaps.begin(), gaps.end());
        std::printf("%d login roles, %d rows: fill median %.0f ms; longest event-loop gap %.0f ms median, %.0f ms worst; "
                    "psql statement alone median %.0f ms; fill/psql %.2f\n",
                    count, rows, median(fills), median(gaps), worstGap, psql, ratio);
        // Esc while the rows show one by one.
        TkdOption::Global().Progress = true;
        QTimer::singleShot(60, w->lstObject, [w] {
            QCoreApplication::postEvent(w->lstObject, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        });
        gap.start();
        w->Reload();
        std::printf("  Progress on, Esc after 60 ms: stopped at %.0f ms with %d rows\n", gap.elapsedMs(),
                    w->lstObject->topLevelItemCount());
        gap.stop();
        TkdOption::Global().Progress = false;
        result = rows >= count && ratio <= 1.5 && worstGap <= 100 ? 0 : 1;
        std::printf(result == 0 ? "goal met\n" : "GOAL MISSED\n");
    }
    roles(count, false);
    return result;
}
