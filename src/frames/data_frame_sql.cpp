#include "frames/data_frame_sql.h"

#include "core/kdsqllex.h"

#include <QStringList>
#include <functional>

namespace dataframe {

namespace {

// Walks the statement as the server's lexer does and reports every word that stands outside
// parentheses, literals and comments (upper-cased), and the index of the last character
// that is neither blank nor part of a comment.
struct ScanResult {
    QStringList topWords;
    qsizetype lastSignificant = -1;
};

ScanResult Scan(const QString &s)
{
    ScanResult r;
    const qsizetype n = s.size();
    int depth = 0;
    qsizetype i = 0;
    while (i < n) {
        const QChar c = s.at(i);
        if (c == u'-' && i + 1 < n && s.at(i + 1) == u'-') {
            while (i < n && s.at(i) != u'\n')
                ++i;
            continue;
        }
        if (c == u'/' && i + 1 < n && s.at(i + 1) == u'*') {
            int nest = 1;
            i += 2;
            while (i < n && nest > 0) {
                if (s.at(i) == u'/' && i + 1 < n && s.at(i + 1) == u'*') {
                    ++nest;
                    i += 2;
                } else if (s.at(i) == u'*' && i + 1 < n && s.at(i + 1) == u'/') {
                    --nest;
                    i += 2;
                } else {
                    ++i;
                }
            }
            continue;
        }
        if (c.isSpace()) {
            ++i;
            continue;
        }
        if (c == u'\'') {
            const bool escape = kdsqllex::IsEscapeQuote(s, i);
            ++i;
            while (i < n) {
                if (escape && s.at(i) == u'\\') {
                    i += 2;
                    continue;
                }
                if (s.at(i) == u'\'') {
                    if (i + 1 < n && s.at(i + 1) == u'\'') {
                        i += 2;
                        continue;
                    }
                    break;
                }
                ++i;
            }
            r.lastSignificant = std::min(i, n - 1);
            ++i;
            continue;
        }
        if (c == u'"') {
            ++i;
            while (i < n) {
                if (s.at(i) == u'"') {
                    if (i + 1 < n && s.at(i + 1) == u'"') {
                        i += 2;
                        continue;
                    }
                    break;
                }
                ++i;
            }
            r.lastSignificant = std::min(i, n - 1);
            ++i;
            continue;
        }
        if (c == u'$') {
            const int tag = kdsqllex::DollarTagLength(s, i);
            if (tag > 0) {
                const qsizetype end = kdsqllex::DollarBodyEnd(s, i, tag);
                i = end < 0 ? n : end;
                r.lastSignificant = i - 1;
                continue;
            }
        }
        if (kdsqllex::IsIdentChar(c) && c != u'$') {
            const qsizetype start = i;
            while (i < n && kdsqllex::IsIdentChar(s.at(i)))
                ++i;
            if (depth == 0)
                r.topWords << s.mid(start, i - start).toUpper();
            r.lastSignificant = i - 1;
            continue;
        }
        if (c == u'(')
            ++depth;
        else if (c == u')' && depth > 0)
            --depth;
        r.lastSignificant = i;
        ++i;
    }
    return r;
}

} // namespace

QString StripTrailingSemicolon(const QString &Sql)
{
    const ScanResult r = Scan(Sql);
    if (r.lastSignificant >= 0 && Sql.at(r.lastSignificant) == u';')
        return Sql.left(r.lastSignificant) + Sql.mid(r.lastSignificant + 1);
    return Sql;
}

bool HasTopLevelOrderBy(const QString &Sql)
{
    const QStringList w = Scan(Sql).topWords;
    for (qsizetype i = 0; i + 1 < w.size(); ++i)
        if (w.at(i) == u"ORDER" && w.at(i + 1) == u"BY")
            return true;
    return false;
}

bool HasTopLevelLimit(const QString &Sql)
{
    for (const QString &w : Scan(Sql).topWords)
        if (w == u"LIMIT" || w == u"OFFSET" || w == u"FETCH")
            return true;
    return false;
}

QString BuildDataSQL(const QString &Sql, int SortColumn, bool Descending, std::optional<int> RowLimit)
{
    const bool sort = SortColumn > 0 && !HasTopLevelOrderBy(Sql);
    if (!sort && !RowLimit)
        return Sql;
    QString body = StripTrailingSemicolon(Sql);
    while (body.endsWith(u'\n') || body.endsWith(u'\r'))
        body.chop(1);
    if (HasTopLevelLimit(body))
        body = QStringLiteral("SELECT * FROM (\n") + body + QStringLiteral("\n) AS t");
    if (sort) {
        body += QStringLiteral("\nORDER BY ") + QString::number(SortColumn);
        if (Descending)
            body += QStringLiteral(" DESC");
    }
    if (RowLimit)
        body += QStringLiteral("\nLIMIT ") + QString::number(*RowLimit);
    return body;
}

QString AggregateSQL(const QString &Function, const QString &QuotedName, const QString &Sql)
{
    return QStringLiteral("SELECT %1(%2) FROM (\n%3\n) TBL")
        .arg(Function, QuotedName, StripTrailingSemicolon(Sql.trimmed()));
}

QString QuoteCellText(const QString &Text)
{
    bool special = false;
    for (const QChar c : Text) {
        if (c == u'\t' || c == u'\n' || c == u'\r' || c == u'"') {
            special = true;
            break;
        }
    }
    if (!special)
        return Text;
    QString t = Text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(u'\r', u'\n');
    t.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + t + u'"';
}

QString FixLeadingPoint(const QString &Text)
{
    return Text.startsWith(u'.') ? u'0' + Text : Text;
}

TCellLook CellLook(db::FieldType AType, bool AColumnWise, int AShowMode)
{
    using T = db::FieldType;
    const int mode = AColumnWise ? AShowMode : 0;
    TCellLook look;
    if (AType == T::Integer || AType == T::LargeInt || AType == T::Float || AType == T::Decimal) {
        look.place = mode == 1 ? TCellLook::Left : TCellLook::Right;
        look.fixPoint = mode == 0;
    } else if (AType == T::WideMemo || AType == T::LongWord || AType == T::Bytes) {
        look.place = mode == 2 ? TCellLook::Right : TCellLook::Left;
    } else if (mode != 0) {
        look.place = mode == 2 ? TCellLook::Right : TCellLook::Left;
    }
    return look;
}

} // namespace dataframe
