// Time of a logon to the sample database: the whole automatic logon (connection window
// built, tree filled) through TfrmLogon::ShowWindow, and the connection alone, opened by
// the data-access layer and by one blocking PQconnectdbParams call with the same values;
// beside them a plain client's minimum, connecting and running one query. It also prints
// the round trips the logon sends after the connection is made (a plain client: one), the
// figure that multiplies with the network's latency.
//
// Needs the sandbox server: run with the variables of its env file set
// (set -a; . /tmp/vantor-pg-<port>/env; set +a).
//   bench_logon [runs] [database] [delay-ms]
// With delay-ms, every connection goes through a proxy on the loopback that holds each
// chunk of data that many milliseconds in either direction, so each round trip costs twice
// that: the figure shows how the logon grows with the network's latency beside a plain client.
#include "app/fmain.h"
#include "browser/flogon.h"
#include "core/kdsub_start.h"
#include "platform/db/dbconnection.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMdiSubWindow>
#include <QTemporaryDir>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <libpq-fe.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
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

// Copies from one socket to the other, holding each chunk delayMs before it is sent on.
void pump(int from, int to, int delayMs)
{
    char buf[65536];
    for (;;) {
        const ssize_t n = recv(from, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        ssize_t sent = 0;
        while (sent < n) {
            const ssize_t k = send(to, buf + sent, std::size_t(n - sent), MSG_NOSIGNAL);
            if (k <= 0)
                break;
            sent += k;
        }
    }
    shutdown(to, SHUT_WR);
    shutdown(from, SHUT_RD);
}

// A delaying proxy to host:port on a free loopback port; returns that port (0 on failure).
// Its threads live until the program ends.
int startProxy(const QString &host, const QString &port, int delayMs)
{
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || listen(listener, 16) != 0)
        return 0;
    socklen_t len = sizeof addr;
    getsockname(listener, reinterpret_cast<sockaddr *>(&addr), &len);
    const std::string h = host.toStdString(), p = port.toStdString();
    std::thread([listener, h, p, delayMs] {
        for (;;) {
            const int client = accept(listener, nullptr, nullptr);
            if (client < 0)
                return;
            addrinfo hints{}, *res = nullptr;
            hints.ai_socktype = SOCK_STREAM;
            if (getaddrinfo(h.c_str(), p.c_str(), &hints, &res) != 0) {
                close(client);
                continue;
            }
            const int server = socket(res->ai_family, SOCK_STREAM, 0);
            const bool ok = connect(server, res->ai_addr, res->ai_addrlen) == 0;
            freeaddrinfo(res);
            if (!ok) {
                close(client);
                close(server);
                continue;
            }
            std::thread([client, server, delayMs] {
                std::thread back(pump, server, client, delayMs);
                pump(client, server, delayMs);
                back.join();
                close(client);
                close(server);
            }).detach();
        }
    }).detach();
    return ntohs(addr.sin_port);
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
    QString host = env("PGHOST"), port = env("PGPORT");
    const QString user = env("PGUSER"), password = env("PGPASSWORD");
    const int delayMs = argc > 3 ? std::atoi(argv[3]) : 0;
    if (delayMs > 0) {
        const int proxy = startProxy(host, port, delayMs);
        if (proxy == 0) {
            std::fprintf(stderr, "cannot start the delaying proxy\n");
            return 2;
        }
        host = QStringLiteral("127.0.0.1");
        port = QString::number(proxy);
        std::printf("through a proxy adding %d ms in each direction\n", delayMs);
    }

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
