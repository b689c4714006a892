#include "platform/db/dbdatetext.h"

#include <QDate>
#include <QTime>
#include <vector>

namespace db {

namespace {

enum class Seg : unsigned char { Lit, Y4, Y2, M2, M1, D2, D1, H2, H1, N2, N1, S2, S1, Z3, Z1 };

struct Piece {
    Seg kind;
    QString text; // for Lit
};

// A display format split into numeric fields and literal text, in Qt's notation. Usable is
// false when the format holds a field this fast path does not write.
struct Compiled {
    QString source;
    bool valid = false;
    bool usable = false;
    std::vector<Piece> pieces;
};

void compile(Compiled &c, const QString &format)
{
    c.source = format;
    c.valid = true;
    c.usable = true;
    c.pieces.clear();
    auto lit = [&](const QString &t) {
        if (!c.pieces.empty() && c.pieces.back().kind == Seg::Lit)
            c.pieces.back().text += t;
        else
            c.pieces.push_back({Seg::Lit, t});
    };
    const qsizetype n = format.size();
    for (qsizetype i = 0; i < n;) {
        const QChar ch = format.at(i);
        if (ch == u'\'') {
            // Quoted text; '' is one quote, inside or outside quotes.
            if (i + 1 < n && format.at(i + 1) == u'\'') {
                lit(QStringLiteral("'"));
                i += 2;
                continue;
            }
            QString t;
            qsizetype j = i + 1;
            for (; j < n; ++j) {
                if (format.at(j) == u'\'') {
                    if (j + 1 < n && format.at(j + 1) == u'\'') {
                        t += u'\'';
                        ++j;
                        continue;
                    }
                    break;
                }
                t += format.at(j);
            }
            lit(t);
            i = j + 1;
            continue;
        }
        if (!(ch.unicode() < 128 && ch.isLetter())) {
            lit(QString(ch));
            ++i;
            continue;
        }
        qsizetype run = 1;
        while (i + run < n && format.at(i + run) == ch)
            ++run;
        Seg kind = Seg::Lit;
        switch (ch.unicode()) {
        case 'y': kind = run == 4 ? Seg::Y4 : run == 2 ? Seg::Y2 : Seg::Lit; break;
        case 'M': kind = run == 2 ? Seg::M2 : run == 1 ? Seg::M1 : Seg::Lit; break;
        case 'd': kind = run == 2 ? Seg::D2 : run == 1 ? Seg::D1 : Seg::Lit; break;
        case 'H': case 'h': kind = run == 2 ? Seg::H2 : run == 1 ? Seg::H1 : Seg::Lit; break;
        case 'm': kind = run == 2 ? Seg::N2 : run == 1 ? Seg::N1 : Seg::Lit; break;
        case 's': kind = run == 2 ? Seg::S2 : run == 1 ? Seg::S1 : Seg::Lit; break;
        case 'z': kind = run == 3 ? Seg::Z3 : run == 1 ? Seg::Z1 : Seg::Lit; break;
        default: break;
        }
        if (kind == Seg::Lit) {
            // Names, AM/PM, time zones, or run lengths with their own meaning: Qt writes them.
            c.usable = false;
            return;
        }
        c.pieces.push_back({kind, QString()});
        i += run;
    }
}

const Compiled &compiled(const QString &format, int slot)
{
    // One cache per thread and per role (date, time): formats change only with the options.
    thread_local Compiled cache[2];
    Compiled &c = cache[slot];
    if (!c.valid || c.source != format)
        compile(c, format);
    return c;
}

void two(QString &out, int v)
{
    out += QChar(u'0' + v / 10 % 10);
    out += QChar(u'0' + v % 10);
}

void write(QString &out, const Compiled &c, int y, int mo, int d, int h, int mi, int s)
{
    for (const Piece &p : c.pieces) {
        switch (p.kind) {
        case Seg::Lit: out += p.text; break;
        case Seg::Y4:
            out += QChar(u'0' + y / 1000 % 10);
            out += QChar(u'0' + y / 100 % 10);
            two(out, y % 100);
            break;
        case Seg::Y2: two(out, y % 100); break;
        case Seg::M2: two(out, mo); break;
        case Seg::M1: out += QString::number(mo); break;
        case Seg::D2: two(out, d); break;
        case Seg::D1: out += QString::number(d); break;
        case Seg::H2: two(out, h); break;
        case Seg::H1: out += QString::number(h); break;
        case Seg::N2: two(out, mi); break;
        case Seg::N1: out += QString::number(mi); break;
        case Seg::S2: two(out, s); break;
        case Seg::S1: out += QString::number(s); break;
        case Seg::Z3: out += QLatin1String("000"); break;
        case Seg::Z1: out += QLatin1Char('0'); break;
        }
    }
}

bool digits(QByteArrayView v, qsizetype at, qsizetype count, int &value)
{
    value = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        const char ch = v[i];
        if (ch < '0' || ch > '9')
            return false;
        value = value * 10 + (ch - '0');
    }
    return true;
}

bool parseDate(QByteArrayView v, int &y, int &m, int &d)
{
    return v.size() >= 10 && v[4] == '-' && v[7] == '-' && digits(v, 0, 4, y) && digits(v, 5, 2, m)
        && digits(v, 8, 2, d) && QDate::isValid(y, m, d);
}

} // namespace

QString isoDateText(QByteArrayView V, const QString &Format)
{
    int y = 0, m = 0, d = 0;
    if (V.size() != 10 || !parseDate(V, y, m, d))
        return QString();
    const Compiled &c = compiled(Format, 0);
    if (!c.usable)
        return QDate(y, m, d).toString(Format);
    QString out;
    out.reserve(Format.size() + 4);
    write(out, c, y, m, d, 0, 0, 0);
    return out;
}

QString isoTimestampText(QByteArrayView V, const QString &DateFormat, const QString &TimeFormat)
{
    int y = 0, m = 0, d = 0, h = 0, mi = 0, s = 0;
    if (V.size() < 19 || V[10] != ' ' || !parseDate(V, y, m, d) || V[13] != ':' || V[16] != ':'
        || !digits(V, 11, 2, h) || !digits(V, 14, 2, mi) || !digits(V, 17, 2, s) || !QTime::isValid(h, mi, s))
        return QString();
    const Compiled &dc = compiled(DateFormat, 0);
    const Compiled &tc = compiled(TimeFormat, 1);
    if (!dc.usable || !tc.usable)
        return QDate(y, m, d).toString(DateFormat) + QLatin1Char(' ') + QTime(h, mi, s).toString(TimeFormat);
    QString out;
    out.reserve(DateFormat.size() + TimeFormat.size() + 8);
    write(out, dc, y, m, d, 0, 0, 0);
    out += QLatin1Char(' ');
    write(out, tc, 0, 0, 0, h, mi, s);
    return out;
}

} // namespace db
