#include "sqltools/sqlbind.h"
#include "platform/db/dbquery.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <QTime>

namespace {

enum class TBindKind { Small, Int, Big, Numeric, Float, Serial4, Serial8, Text, Time, TimeStamp, Date, Bool, Unknown };

TBindKind KindOf(const QString &typeName)
{
    static const QList<QPair<QString, TBindKind>> table = {
        {QStringLiteral("smallint"), TBindKind::Small},
        {QStringLiteral("integer"), TBindKind::Int},
        {QStringLiteral("bigint"), TBindKind::Big},
        {QStringLiteral("numeric"), TBindKind::Numeric},
        {QStringLiteral("real"), TBindKind::Float},
        {QStringLiteral("double precision"), TBindKind::Float},
        {QStringLiteral("smallserial"), TBindKind::Serial4},
        {QStringLiteral("serial"), TBindKind::Serial4},
        {QStringLiteral("bigserial"), TBindKind::Serial8},
        {QStringLiteral("char"), TBindKind::Text},
        {QStringLiteral("varchar"), TBindKind::Text},
        {QStringLiteral("character"), TBindKind::Text},
        {QStringLiteral("character varying"), TBindKind::Text},
        {QStringLiteral("text"), TBindKind::Text},
        {QStringLiteral("time(6) without time zone"), TBindKind::Time},
        {QStringLiteral("timestamp(6) without time zone"), TBindKind::TimeStamp},
        {QStringLiteral("date"), TBindKind::Date},
        {QStringLiteral("boolean"), TBindKind::Bool},
    };
    const QString key = BindTypeKey(typeName);
    for (const auto &row : table)
        if (row.first == key)
            return row.second;
    return TBindKind::Unknown;
}

[[noreturn]] void Fail(const QString &value, const QString &typeName)
{
    throw EBindConvertError(QStringLiteral("'%1' は %2 の値に変換できません。").arg(value, typeName));
}

qint64 ToInt(const QString &value, const QString &typeName, const QLocale &locale, qint64 lo, qint64 hi)
{
    bool ok = false;
    const QString t = value.trimmed();
    qint64 v = t.toLongLong(&ok);
    if (!ok)
        v = locale.toLongLong(t, &ok);
    if (!ok || v < lo || v > hi)
        Fail(value, typeName);
    return v;
}

// Exact decimal text: digits with an optional sign, decimal point and exponent. The
// locale's group and decimal separators are read as the locale writes them.
QString ToDecimal(const QString &value, const QString &typeName, const QLocale &locale)
{
    static const QRegularExpression plain(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    QString t = value.trimmed();
    if (plain.match(t).hasMatch())
        return t;
    QString s = t;
    s.remove(locale.groupSeparator());
    s.replace(locale.decimalPoint(), QStringLiteral("."));
    if (!plain.match(s).hasMatch())
        Fail(value, typeName);
    return s;
}

// The locale's short date format reads a two-digit year as 19yy; the user means the
// nearest century: 00-49 are 2000-2049, 50-99 are 1950-1999.
QDate LocaleShortDate(const QString &t, const QLocale &locale)
{
    const QString fmt = locale.dateFormat(QLocale::ShortFormat);
    QDate d = locale.toDate(t, fmt);
    if (d.isValid() && !fmt.contains(QLatin1String("yyyy")) && d.year() >= 1900 && d.year() < 1950)
        d = d.addYears(100);
    return d;
}

QDate ToDate(const QString &value, const QString &typeName, const QLocale &locale)
{
    const QString t = value.trimmed();
    QDate d = QDate::fromString(t, Qt::ISODate);
    if (!d.isValid())
        d = LocaleShortDate(t, locale);
    if (!d.isValid())
        d = locale.toDate(t, QLocale::LongFormat);
    if (!d.isValid())
        Fail(value, typeName);
    return d;
}

QTime ToTime(const QString &value, const QString &typeName, const QLocale &locale)
{
    const QString t = value.trimmed();
    QTime v = QTime::fromString(t, Qt::ISODateWithMs);
    if (!v.isValid())
        v = QTime::fromString(t, Qt::ISODate);
    if (!v.isValid())
        v = locale.toTime(t, QLocale::ShortFormat);
    if (!v.isValid())
        v = locale.toTime(t, QLocale::LongFormat);
    if (!v.isValid())
        Fail(value, typeName);
    return v;
}

QDateTime ToDateTime(const QString &value, const QString &typeName, const QLocale &locale)
{
    QString t = value.trimmed();
    QDateTime v = QDateTime::fromString(t, Qt::ISODateWithMs);
    if (!v.isValid()) {
        QString iso = t;
        iso.replace(u' ', u'T');
        v = QDateTime::fromString(iso, Qt::ISODateWithMs);
    }
    if (!v.isValid())
        v = locale.toDateTime(t, QLocale::ShortFormat);
    if (!v.isValid())
        v = locale.toDateTime(t, QLocale::LongFormat);
    if (!v.isValid()) {
        // A date alone is midnight of that day.
        const QDate d = QDate::fromString(t, Qt::ISODate).isValid() ? QDate::fromString(t, Qt::ISODate)
                                                                    : LocaleShortDate(t, locale);
        if (d.isValid())
            v = QDateTime(d, QTime(0, 0));
    }
    if (!v.isValid())
        Fail(value, typeName);
    return v;
}

bool ToBool(const QString &value, const QString &typeName)
{
    const QString t = value.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double n = t.toDouble(&ok);
    if (!ok)
        Fail(value, typeName);
    return n != 0;
}

} // namespace

QString BindTypeKey(const QString &TypeName)
{
    return TypeName.contains(QLatin1String("[]")) ? TypeName.left(TypeName.size() - 2) : TypeName;
}

bool IsKnownBindType(const QString &TypeName)
{
    return KindOf(TypeName) != TBindKind::Unknown;
}

db::ParamType BindParamType(const QString &TypeName)
{
    using P = db::ParamType;
    switch (KindOf(TypeName)) {
    case TBindKind::Small: case TBindKind::Int: case TBindKind::Serial4: return P::Integer;
    case TBindKind::Big: case TBindKind::Serial8: return P::LargeInt;
    case TBindKind::Numeric: return P::Decimal;
    case TBindKind::Float: return P::Float;
    case TBindKind::Time: return P::Time;
    case TBindKind::TimeStamp: return P::DateTime;
    case TBindKind::Date: return P::Date;
    case TBindKind::Bool: return P::Boolean;
    default: return P::Text;
    }
}

void BindParamValue(db::Param &Param, const QString &TypeName, const QString &Value, const QLocale &Locale)
{
    switch (KindOf(TypeName)) {
    case TBindKind::Small:
        Param.setAsInteger(int(ToInt(Value, TypeName, Locale, -32768, 32767)));
        break;
    case TBindKind::Int: case TBindKind::Serial4:
        Param.setAsInteger(int(ToInt(Value, TypeName, Locale, INT_MIN, INT_MAX)));
        break;
    case TBindKind::Big: case TBindKind::Serial8:
        Param.setAsLargeInt(ToInt(Value, TypeName, Locale, LLONG_MIN, LLONG_MAX));
        break;
    case TBindKind::Numeric:
        Param.setAsDecimal(ToDecimal(Value, TypeName, Locale));
        break;
    case TBindKind::Float: {
        // Sent as the exact text typed, so that no digit is lost on the way.
        Param.setAsDecimal(ToDecimal(Value, TypeName, Locale));
        Param.setDataType(db::ParamType::Float);
        break;
    }
    case TBindKind::Time:
        Param.setAsTime(ToTime(Value, TypeName, Locale));
        break;
    case TBindKind::TimeStamp:
        Param.setAsDateTime(ToDateTime(Value, TypeName, Locale));
        break;
    case TBindKind::Date:
        Param.setAsDate(ToDate(Value, TypeName, Locale));
        break;
    case TBindKind::Bool:
        Param.setAsBoolean(ToBool(Value, TypeName));
        break;
    default:
        Param.setAsString(Value);
        break;
    }
}
