#pragma once
// Lets test messages stream Qt strings ("<< name").
#include <QString>
#include <ostream>

inline std::ostream &operator<<(std::ostream &os, const QString &s)
{
    return os << s.toStdString();
}
