#pragma once
// What the benchmarks against the sandbox server share: the connection values from the
// environment (the variables of the sandbox's env file) and a one-value query.
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"

#include <QElapsedTimer>
#include <QString>

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

} // namespace bench
