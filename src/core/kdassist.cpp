#include "core/kdassist.h"

namespace kdassist {

namespace {

bool IsDelimiter(QChar c, bool withDot)
{
    switch (c.unicode()) {
    case ' ': case '(': case ')': case '%': case ';': case ',': case '+': case '-':
    case '<': case '>': case '{': case '}': case '[': case ']': case '"': case '\'':
    case '\r': case '\n': case '\t':
        return true;
    case '.':
        return withDot;
    default:
        return false;
    }
}

// 1-based character access; positions outside the row read as an empty character.
QChar At(const QString &s, int pos)
{
    return (pos >= 1 && pos <= s.size()) ? s.at(pos - 1) : QChar();
}

// Step 6 of the token rule on `s` at 1-based position p: the word that ends at p + 1 at the
// latest. Returns the token and its 0-based start.
QString TokenEndingAt(const QString &s, int p, int *start0)
{
    int st = qMin(p, s.size() + 1);
    while (st > 1 && !IsTokenDelimiter(At(s, st - 1)))
        --st;
    const int last = qMin(p + 1, s.size());
    int e = st;
    while (e <= last && !IsTokenDelimiter(At(s, e)))
        ++e;
    *start0 = st - 1;
    return s.mid(st - 1, e - st);
}

int ExpandedLength(const QString &row, int tabWidth)
{
    int n = 0;
    for (QChar c : row) {
        if (c == QLatin1Char('\t') && tabWidth > 0)
            n = (n / tabWidth + 1) * tabWidth;
        else
            ++n;
    }
    return n;
}

QString LeftTrimmedControl(const QString &s)
{
    int i = 0;
    while (i < s.size() && s.at(i).unicode() <= 0x20)
        ++i;
    return s.mid(i);
}

QString TrimmedControl(const QString &s)
{
    int b = 0, e = s.size();
    while (b < e && s.at(b).unicode() <= 0x20)
        ++b;
    while (e > b && s.at(e - 1).unicode() <= 0x20)
        --e;
    return s.mid(b, e - b);
}

} // namespace

bool IsWordDelimiter(QChar c) { return IsDelimiter(c, true); }
bool IsTokenDelimiter(QChar c) { return IsDelimiter(c, false); }

bool WordAt(const QString &row, int column, int *start, int *length)
{
    if (column <= 0 || row.isEmpty() || column > row.size())
        return false;
    if (IsWordDelimiter(At(row, column)))
        return false;
    int s = column;
    while (s > 1 && !IsWordDelimiter(At(row, s - 1)))
        --s;
    int e = s;
    while (e <= row.size() && !IsWordDelimiter(At(row, e)))
        ++e;
    *start = s - 1;
    *length = e - s;
    return true;
}

TAssistToken CodeAssistToken(const QString &row, int caretColumn)
{
    TAssistToken t;
    t.PrefixStart = caretColumn;
    if (caretColumn <= 0 || row.isEmpty())
        return t;
    const QString &S = row;
    int p = caretColumn - 1;
    const QChar dot = QLatin1Char('.');
    const QChar sp = At(S, p), sp1 = At(S, p + 1);
    if ((sp.isNull() || sp.unicode() <= 0x20) && sp1 == dot) {
        t.Text = QStringLiteral(".");
        return t;
    }
    if (S.contains(QLatin1String("csv"), Qt::CaseInsensitive)
        && (sp == QLatin1Char('"') || sp == QLatin1Char('\'') || sp == dot) && sp1 == dot) {
        t.Text = QStringLiteral(".");
        return t;
    }
    if (sp1 != dot) {
        ++p;
        if (IsTokenDelimiter(At(S, p)))
            return t;
    }
    int start0 = 0;
    if (!IsWordDelimiter(At(S, p))) {
        t.Text = TokenEndingAt(S, p, &start0);
        if (!t.Text.endsWith(dot)) {
            const int lastDot = t.Text.lastIndexOf(dot);
            t.PrefixStart = qMin(start0 + lastDot + 1, caretColumn);
        }
        return t;
    }
    // The caret follows a "." that follows a delimiter, such as the closing double quote of
    // a quoted name: the quotes are dropped and the word is taken from the shortened row.
    if (IsWordDelimiter(At(S, p - 1)))
        return t;
    QString shortened = S;
    shortened.remove(QLatin1Char('"'));
    t.Text = TokenEndingAt(shortened, p, &start0);
    return t;
}

bool RowsCommented(const QStringList &rows, const TCommentToggle &opt)
{
    if (rows.isEmpty())
        return false;
    for (const QString &r : rows) {
        const QString part = opt.BoxMode ? r.mid(opt.BoxLeft) : r;
        if (!LeftTrimmedControl(part).startsWith(QLatin1String("--")))
            return false;
    }
    return true;
}

QStringList ToggleLineComments(const QStringList &rows, const TCommentToggle &opt,
                               const QVector<bool> &changeable)
{
    const bool commented = RowsCommented(rows, opt);
    const QString marker = QStringLiteral("--");
    QStringList out;
    out.reserve(rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        QString r = rows.at(i);
        bool may = i >= changeable.size() || changeable.at(i);
        if (opt.BoxMode) {
            if (r.size() <= opt.BoxLeft)
                may = false;
            if (may && opt.WrapByte > 0) {
                QString probe = r;
                probe.insert(opt.BoxLeft, marker);
                may = ExpandedLength(probe, opt.TabWidth) < opt.WrapByte;
            }
            if (may) {
                if (commented) {
                    const int at = r.indexOf(marker, opt.BoxLeft);
                    if (at >= 0)
                        r.remove(at, 2);
                } else {
                    r.insert(opt.BoxLeft, marker);
                }
            }
        } else {
            if (may && opt.WrapByte > 0)
                may = ExpandedLength(r, opt.TabWidth) + opt.TabWidth < opt.WrapByte;
            if (may) {
                if (commented) {
                    const int at = r.indexOf(marker);
                    if (at >= 0)
                        r.remove(at, 2);
                } else {
                    r.prepend(marker);
                }
            }
        }
        out << r;
    }
    return out;
}

bool IsStatsPackChar(QChar c)
{
    const ushort u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '1' && u <= '9')
        || u == '(' || u == ')' || u == '-';
}

QString TokenStringStatsPack(const QString &line, int tokenStart, int tokenLength)
{
    const int n = line.size();
    tokenStart = qBound(0, tokenStart, n);
    int e = qBound(tokenStart, tokenStart + tokenLength, n);
    while (e < n) {
        const QChar c = line.at(e);
        if (IsStatsPackChar(c)) {
            ++e;
        } else if (c == QLatin1Char(' ') && e + 1 < n && IsStatsPackChar(line.at(e + 1))) {
            e += 2;
        } else {
            break;
        }
    }
    return line.left(tokenStart) + line.mid(tokenStart, e - tokenStart);
}

QString QuoteForInsert(const QString &name)
{
    static const QString specials = QStringLiteral("()（） @=");
    bool quote = false;
    for (QChar c : name) {
        if (specials.contains(c)) {
            quote = true;
            break;
        }
    }
    if (!quote) {
        const QString trimmed = TrimmedControl(name);
        if (!trimmed.startsWith(QLatin1Char('"'))) {
            quote = trimmed != name.toLower() || name.contains(QLatin1Char('-'));
            if (!quote) {
                for (QChar c : name)
                    if (c.isUpper()) {
                        quote = true;
                        break;
                    }
            }
        }
    }
    if (!quote)
        return name;
    QString inner = name;
    inner.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

QVector<int> FilterCandidates(const QStringList &captions, const QString &filter)
{
    const QString f = TrimmedControl(filter);
    QVector<int> out;
    out.reserve(captions.size());
    for (int i = 0; i < captions.size(); ++i)
        if (f.isEmpty() || captions.at(i).startsWith(f, Qt::CaseInsensitive))
            out << i;
    return out;
}

QString ConvertCase(const QString &text, bool upper)
{
    QString out = text;
    for (QChar &c : out)
        c = upper ? c.toUpper() : c.toLower();
    return out;
}

} // namespace kdassist
