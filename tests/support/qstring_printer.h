#pragma once
// Readable gtest output for Qt string types.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QByteArray &b, std::ostream *os) { *os << '"' << b.toStdString() << '"'; }
inline void PrintTo(const QStringList &l, std::ostream *os)
{
    *os << '[';
    for (qsizetype i = 0; i < l.size(); ++i) {
        if (i) *os << ", ";
        PrintTo(l[i], os);
    }
    *os << ']';
}
