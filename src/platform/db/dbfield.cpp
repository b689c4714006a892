#include "platform/db/dbfield.h"

#include "platform/db/dbdataset.h"

#include <libpq-fe.h>

namespace db {

FieldType fieldTypeOf(unsigned oid)
{
    // The one table from server types to field kinds.
    struct Map { unsigned oid; FieldType type; };
    static const Map map[] = {
        {21, FieldType::Integer},        // int2
        {23, FieldType::Integer},        // int4
        {20, FieldType::LargeInt},       // int8
        {700, FieldType::Float},         // float4
        {701, FieldType::Float},         // float8
        {1700, FieldType::Decimal},      // numeric
        {16, FieldType::Boolean},        // bool
        {1043, FieldType::WideString},   // varchar
        {19, FieldType::WideString},     // name
        {18, FieldType::WideString},     // "char"
        {1042, FieldType::FixedWideChar},// bpchar
        {25, FieldType::WideMemo},       // text
        {114, FieldType::WideMemo},      // json
        {3802, FieldType::WideMemo},     // jsonb
        {142, FieldType::WideMemo},      // xml
        {17, FieldType::Bytes},          // bytea
        {26, FieldType::LongWord},       // oid
        {28, FieldType::LongWord},       // xid
        {1082, FieldType::Date},         // date
        {1114, FieldType::DateTime},     // timestamp
        {1184, FieldType::DateTime},     // timestamptz
    };
    for (const Map &m : map)
        if (m.oid == oid)
            return m.type;
    return FieldType::WideString;
}

static DisplayFormats &formatsStore()
{
    static DisplayFormats formats;
    return formats;
}

const DisplayFormats &displayFormats() { return formatsStore(); }
void setDisplayFormats(const DisplayFormats &formats) { formatsStore() = formats; }

namespace {

Error conversionError(const Field &f, const char *what)
{
    return Error(Error::Kind::Usage, QStringLiteral("列 %1 の値 '%2' は%3に変換できません。")
                                         .arg(f.name(), f.asString(), QString::fromUtf8(what)));
}

// "2024-01-02", "2024-01-02 03:04:05.678+09" as the server writes them (DateStyle ISO).
QDate parseIsoDate(QByteArrayView v)
{
    if (v.size() < 10)
        return QDate();
    return QDate::fromString(QString::fromLatin1(v.first(10)), Qt::ISODate);
}

QTime parseIsoTime(QByteArrayView v)
{
    if (v.size() < 19)
        return QTime();
    QByteArrayView t = v.sliced(11);
    qsizetype end = 0;
    while (end < t.size() && (QChar(t[end]).isDigit() || t[end] == ':' || t[end] == '.'))
        ++end;
    QString text = QString::fromLatin1(t.first(end));
    if (text.size() > 12)
        text.truncate(12); // milliseconds are all QTime keeps
    return QTime::fromString(text, text.size() > 8 ? QStringLiteral("HH:mm:ss.z") : QStringLiteral("HH:mm:ss"));
}

} // namespace

// These two run once per value read: the browsed row is reached inline, and only editing
// and the other cases take the general path.
bool Field::isNull() const
{
    int index = 0;
    if (pg_result *res = FOwner->browsedRow(FIndex, index))
        return PQgetisnull(res, index, FIndex) != 0;
    return FOwner->currentIsNull(FIndex);
}

QByteArrayView Field::raw() const
{
    int index = 0;
    if (pg_result *res = FOwner->browsedRow(FIndex, index))
        return QByteArrayView(PQgetvalue(res, index, FIndex), PQgetlength(res, index, FIndex));
    return FOwner->currentRaw(FIndex);
}

QString Field::asString() const
{
    if (FOwner->FRows.empty() || isNull())
        return QString();
    return FOwner->decodeCell(FOwner->FCurrent, FIndex, raw());
}

int Field::asInteger() const
{
    if (isNull())
        return 0;
    bool ok = false;
    const int v = raw().toInt(&ok);
    if (!ok)
        throw conversionError(*this, "整数");
    return v;
}

qint64 Field::asLargeInt() const
{
    if (isNull())
        return 0;
    bool ok = false;
    const qint64 v = raw().toLongLong(&ok);
    if (!ok)
        throw conversionError(*this, "整数");
    return v;
}

double Field::asFloat() const
{
    if (isNull())
        return 0;
    bool ok = false;
    const double v = QByteArray(raw().data(), raw().size()).toDouble(&ok);
    if (!ok) {
        const QByteArrayView r = raw();
        if (r == "NaN")
            return qQNaN();
        if (r == "Infinity")
            return qInf();
        if (r == "-Infinity")
            return -qInf();
        throw conversionError(*this, "数値");
    }
    return v;
}

bool Field::asBoolean() const
{
    const QByteArrayView v = raw();
    return !v.isEmpty() && (v[0] == 't' || v[0] == 'T' || v[0] == '1' || v[0] == 'y' || v[0] == 'Y');
}

QByteArray Field::asBytes() const
{
    if (isNull())
        return QByteArray();
    const QByteArrayView v = raw();
    if (FType != FieldType::Bytes)
        return v.toByteArray();
    if (v.startsWith("\\x"))
        return QByteArray::fromHex(v.sliced(2).toByteArray());
    const QByteArray z = v.toByteArray(); // escape format: needs a terminated copy
    size_t len = 0;
    unsigned char *bytes = PQunescapeBytea(reinterpret_cast<const unsigned char *>(z.constData()), &len);
    if (!bytes)
        return QByteArray();
    QByteArray out(reinterpret_cast<const char *>(bytes), qsizetype(len));
    PQfreemem(bytes);
    return out;
}

QDate Field::asDate() const
{
    return isNull() ? QDate() : parseIsoDate(raw());
}

QDateTime Field::asDateTime() const
{
    if (isNull())
        return QDateTime();
    const QByteArrayView v = raw();
    const QDate d = parseIsoDate(v);
    if (!d.isValid())
        return QDateTime();
    return QDateTime(d, FType == FieldType::Date ? QTime(0, 0) : parseIsoTime(v));
}

QString Field::text() const
{
    if (FOwner->FRows.empty())
        return QString();
    return FOwner->displayTextOf(FOwner->FCurrent, *this, raw(), isNull());
}

void Field::setAsString(const QString &value)
{
    if (!FOwner->FConn)
        throw Error(Error::Kind::ConnectionLost, QStringLiteral("データベースに接続されていません。"));
    FOwner->setBuffer(FIndex, FOwner->FConn->encode(value));
}

void Field::setText(const QString &text)
{
    const bool stringKind = FType == FieldType::WideString || FType == FieldType::FixedWideChar
                            || FType == FieldType::WideMemo;
    if (stringKind) {
        setAsString(text);
        return;
    }
    if (text.isEmpty()) {
        clear();
        return;
    }
    const DisplayFormats &fmt = displayFormats();
    switch (FType) {
    case FieldType::Boolean: {
        const QString t = text.trimmed().toLower();
        static const QStringList yes = {QStringLiteral("true"), QStringLiteral("t"), QStringLiteral("yes"),
                                        QStringLiteral("y"), QStringLiteral("1"), QStringLiteral("on")};
        static const QStringList no = {QStringLiteral("false"), QStringLiteral("f"), QStringLiteral("no"),
                                       QStringLiteral("n"), QStringLiteral("0"), QStringLiteral("off")};
        if (yes.contains(t))
            setAsBoolean(true);
        else if (no.contains(t))
            setAsBoolean(false);
        else
            setAsString(text); // the server judges it
        return;
    }
    case FieldType::Date: {
        const QDate d = QDate::fromString(text.trimmed(), fmt.date);
        if (d.isValid())
            setAsDate(d);
        else
            setAsString(text);
        return;
    }
    case FieldType::DateTime: {
        const QString t = text.trimmed();
        QDateTime dt = QDateTime::fromString(t, fmt.date + QLatin1Char(' ') + fmt.time);
        if (!dt.isValid()) {
            const QDate d = QDate::fromString(t, fmt.date);
            if (d.isValid())
                dt = QDateTime(d, QTime(0, 0));
        }
        if (dt.isValid())
            setAsDateTime(dt);
        else
            setAsString(text);
        return;
    }
    case FieldType::Bytes:
        setAsString(text.startsWith(QLatin1String("\\x")) ? text : QStringLiteral("\\x") + text.trimmed());
        return;
    default:
        setAsString(text.trimmed());
        return;
    }
}

void Field::setAsInteger(qint64 value) { FOwner->setBuffer(FIndex, QByteArray::number(value)); }
void Field::setAsFloat(double value) { FOwner->setBuffer(FIndex, QByteArray::number(value, 'g', 17)); }
void Field::setAsBoolean(bool value) { FOwner->setBuffer(FIndex, QByteArray(value ? "t" : "f")); }
void Field::setAsDate(const QDate &value)
{
    FOwner->setBuffer(FIndex, value.isValid() ? std::optional<QByteArray>(value.toString(Qt::ISODate).toLatin1())
                                              : std::nullopt);
}
void Field::setAsDateTime(const QDateTime &value)
{
    if (!value.isValid()) {
        clear();
        return;
    }
    FOwner->setBuffer(FIndex, value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toLatin1());
}
void Field::setAsBytes(const QByteArray &value)
{
    if (FType == FieldType::Bytes)
        FOwner->setBuffer(FIndex, QByteArray("\\x") + value.toHex());
    else
        FOwner->setBuffer(FIndex, value);
}
void Field::clear() { FOwner->setBuffer(FIndex, std::nullopt); }

} // namespace db
