// Time of a logon to the sample database: the whole automatic logon (connection window
// built, tree filled) through TfrmLogon::ShowWindow, and the connection alone, opened by
// the data-access layer and by one blocking PQconnectdbParams call with the same values;
// beside them a plain client's minimum, connecting and running one query. It also prints
// the round trips the logon sends after the connection is made (a plain client: one), the
// figure that multiplies with the network's latency.
//
// Needs the sandbox server: run with the variables of its env file set
// (set -a; . /tmp/vantor-pg-<port>/env; set +a).
//   bench_logon [runs] [database]
#include "app/fmain.h"
#include "browser/flogon.h"
#include "core/kdsub_start.h"
#include "platform/db/dbconnection.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMdiSubWindow>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <libpq-fe.h>
#include <vector>

namespace {

QString env(const char *name) { return QString::fromLocal8Bit(qgetenv(name)); }

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void report(const char *what, const std::vector<double> &ms)
{
    std::printf("%-28s median %7.2f ms  min %7.2f ms  (%zu runs)\n", what, median(ms),
                ms.empty() ? 0.0 : *std::min_element(ms.begin(), ms.end()), ms.size());
}

} // namespace

int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir config;
    setenv("VANTOR_CONFIG_DIR", config.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 15;
    const QString database = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("vantor_sample");
    if (env("PGHOST").isEmpty()) {
        std::fprintf(stderr, "set the sandbox's env variables first\n");
        return 2;
    }
    InitializeSharedUnit();
    const QString host = env("PGHOST"), port = env("PGPORT"), user = env("PGUSER"), password = env("PGPASSWORD");

    std::vector<double> libpq, libpqQuery, layer, logon;
    qint64 logonTrips = -1, logonStatements = -1;
    for (int i = 0; i < runs; ++i) {
        // One blocking call, as a plain client connects.
        {
            const QByteArray h = host.toUtf8(), p = port.toUtf8(), d = database.toUtf8(), u = user.toUtf8(),
                             w = password.toUtf8();
            const char *keys[] = {"host", "port", "dbname", "user", "password", "client_encoding", nullptr};
            const char *vals[] = {h.constData(), p.constData(), d.constData(), u.constData(), w.constData(), "UTF8", nullptr};
            QElapsedTimer t;
            t.start();
            PGconn *c = PQconnectdbParams(keys, vals, 0);
            const bool ok = PQstatus(c) == CONNECTION_OK;
            libpq.push_back(double(t.nsecsElapsed()) / 1e6);
            PQclear(PQexec(c, "SELECT 1"));
            libpqQuery.push_back(double(t.nsecsElapsed()) / 1e6);
            PQfinish(c);
            if (!ok) {
                std::fprintf(stderr, "cannot connect to %s\n", d.constData());
                return 1;
            }
        }
        // The data-access layer.
        {
            db::Connection c;
            c.setParam(QStringLiteral("Server"), host);
            c.setParam(QStringLiteral("Port"), port);
            c.setParam(QStringLiteral("Database"), database);
            c.setParam(QStringLiteral("User_Name"), user);
            c.setParam(QStringLiteral("Password"), password);
            c.setParam(QStringLiteral("CharacterSet"), QStringLiteral("UTF8"));
            QElapsedTimer t;
            t.start();
            c.open();
            layer.push_back(double(t.nsecsElapsed()) / 1e6);
        }
    }

    {
        TfrmMain main;
        main.SetCloseSteps({});
        main.show();
        QCoreApplication::processEvents();
        for (int i = 0; i < runs; ++i) {
            QElapsedTimer t;
            t.start();
            if (!TfrmLogon::ShowWindow(host, port, database, QStringLiteral("public"), user, password, true)) {
                std::fprintf(stderr, "logon failed\n");
                return 1;
            }
            logon.push_back(double(t.nsecsElapsed()) / 1e6);
            if (TkdConnForm *form = main.CurrentForm(); form && form->dbsMain()) {
                logonTrips = form->dbsMain()->roundTrips();
                logonStatements = form->dbsMain()->statementCount();
            }
            for (QMdiSubWindow *sub : main.findChildren<QMdiSubWindow *>())
                sub->close();
            QCoreApplication::processEvents();
        }
        main.close();
    }
    report("PQconnectdbParams", libpq);
    report("  + one query (plain client)", libpqQuery);
    report("db::Connection::open", layer);
    report("logon (ShowWindow, auto)", logon);
    std::printf("logon after connecting: %lld statements in %lld round trips (plain client: 1)\n",
                static_cast<long long>(logonStatements), static_cast<long long>(logonTrips));
    std::printf("ratio logon / plain client (medians): %.2f\n", median(logon) / std::max(median(libpqQuery), 1e-9));
    FinalizeSharedUnit();
    return 0;
}
