#pragma once
// What the benchmarks against the sandbox server share: the connection values from the
// environment (the variables of the sandbox's env file) and a one-value query.
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <sys/resource.h>

namespace bench {

// Milliseconds on a timer, with fractions.
inline double ms(const QElapsedTimer &t) { return double(t.nsecsElapsed()) / 1e6; }

// The process's peak resident memory so far, in kB.
inline long peakKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

inline QString env(const char *name) { return QString::fromLocal8Bit(qgetenv(name)); }

// Server, Port, Database, User_Name and Password of the sandbox on `c`.
inline void setParams(db::Connection &c, const QString &database)
{
    c.setParam(QStringLiteral("Server"), env("PGHOST"));
    c.setParam(QStringLiteral("Port"), env("PGPORT"));
    c.setParam(QStringLiteral("Database"), database);
    c.setParam(QStringLiteral("User_Name"), env("PGUSER"));
    c.setParam(QStringLiteral("Password"), env("PGPASSWORD"));
}

// The first value of the first row (empty when there is none).
inline QString scalar(db::Connection &c, const QString &sql)
{
    db::Query q(&c);
    q.setSql(sql);
    q.open();
    return q.isEmpty() ? QString() : q.valueString(0, 0);
}

// The middle value (0 for none).
inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// psql's time for a statement alone: one psql session (the environment's connection values,
// `extraArgs` added) runs it `runs` times with `\timing`, its rows going to /dev/null; the
// median of the times psql prints.
inline double psqlQueryMs(const QString &sql, int runs, const QStringList &extraArgs = {})
{
    QTemporaryFile file;
    file.open();
    file.write("\\o /dev/null\n\\timing on\n");
    for (int i = 0; i < runs; ++i)
        file.write(sql.toUtf8() + ";\n");
    file.flush();
    QProcess p;
    p.start(QStringLiteral("psql"), QStringList{QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-A"),
                                                QStringLiteral("-t"), QStringLiteral("-f"), file.fileName()}
                                        + extraArgs);
    p.waitForFinished(-1);
    std::vector<double> times;
    for (const QByteArray &line : p.readAllStandardOutput().split('\n'))
        if (line.startsWith("Time: "))
            times.push_back(line.mid(6).split(' ').value(0).toDouble());
    return median(times);
}

// The application of a window benchmark: the offscreen platform (unless another is asked
// for) and a settings folder of its own, both set before the application is made.
class OffscreenApp
{
public:
    OffscreenApp(int &argc, char **argv) : FReady(prepare(FConfig)), FApp(argc, argv) {}

private:
    static bool prepare(const QTemporaryDir &config)
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        setenv("VANTOR_CONFIG_DIR", config.path().toLocal8Bit().constData(), 1);
        return true;
    }
    QTemporaryDir FConfig;
    bool FReady;
    QApplication FApp;
};

// False, with a word on stderr, when the sandbox's env variables are not set.
inline bool haveSandbox()
{
    if (!env("PGHOST").isEmpty())
        return true;
    std::fprintf(stderr, "set the sandbox's env variables first\n");
    return false;
}

} // namespace bench
