#pragma once
// Display texts of the server's ISO date and timestamp values, without the per-value parsing
// and format interpretation of QDate::fromString/QDate::toString. The display format (the
// user's "yyyy/MM/dd", "HH:mm:ss" and the like) is compiled once; formats holding anything
// but numeric fields and literal text (month or day names, AM/PM) are left to Qt, with the
// same result.
#include <QByteArrayView>
#include <QString>

namespace db {

// "yyyy-MM-dd" (exactly ten characters) in Format, or a null QString when V is not such a
// valid date.
QString isoDateText(QByteArrayView V, const QString &Format);

// "yyyy-MM-dd HH:mm:ss[...]" as DateFormat + " " + TimeFormat (the seconds' fraction and a
// zone are not shown), or a null QString when V does not start with a valid date and time.
QString isoTimestampText(QByteArrayView V, const QString &DateFormat, const QString &TimeFormat);

} // namespace db
