#pragma once
// Small lexical tests shared by the SQL text routines: PostgreSQL's dollar quotes, E'...'
// escape strings and the characters of identifiers. Positions are 0-based indexes.
#include <QString>

namespace kdsqllex {

// A character that may stand inside an unquoted identifier (so "$" after it is no quote).
inline bool IsIdentChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_'
           || u == '$' || u >= 0x80;
}

inline bool IsTagStart(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_' || u >= 0x80;
}

inline bool IsTagChar(QChar c)
{
    return IsTagStart(c) || (c.unicode() >= '0' && c.unicode() <= '9');
}

// Length of the "$tag$" (or "$$") at index i whatever stands before it, 0 when none.
inline int DollarTagAt(const QString &s, qsizetype i)
{
    const qsizetype n = s.size();
    if (i < 0 || i >= n || s.at(i) != u'$')
        return 0;
    qsizetype j = i + 1;
    if (j < n && s.at(j) != u'$') {
        if (!IsTagStart(s.at(j)))
            return 0;
        ++j;
        while (j < n && IsTagChar(s.at(j)))
            ++j;
    }
    if (j >= n || s.at(j) != u'$')
        return 0;
    return int(j - i + 1);
}

// Length of the opening "$tag$" (or "$$") at index i, 0 when none starts there.
inline int DollarTagLength(const QString &s, qsizetype i)
{
    const qsizetype n = s.size();
    if (i < 0 || i >= n || s.at(i) != u'$')
        return 0;
    if (i > 0 && IsIdentChar(s.at(i - 1)))
        return 0; // a "$" inside a name opens nothing
    return DollarTagAt(s, i);
}

// Index just behind the closing tag of the dollar-quoted body opened at i with a tag of
// TagLength characters; -1 when the body is never closed.
inline qsizetype DollarBodyEnd(const QString &s, qsizetype i, int TagLength)
{
    const QStringView tag = QStringView(s).mid(i, TagLength);
    const qsizetype k = s.indexOf(tag, i + TagLength);
    return k < 0 ? -1 : k + TagLength;
}

// True when the single quote at index q opens an escape string (E'...' or e'...').
inline bool IsEscapeQuote(const QString &s, qsizetype q)
{
    if (q < 1 || (s.at(q - 1) != u'E' && s.at(q - 1) != u'e'))
        return false;
    return q < 2 || !IsIdentChar(s.at(q - 2));
}

inline bool IsBlankChar(QChar c)
{
    const char16_t u = c.unicode();
    return u == '\t' || u == '\n' || u == '\r' || u == ' ';
}

} // namespace kdsqllex
