// The SQL formatter: one scan over the text that writes clause keywords in a column of
// width 6, one item per line, conditions broken at AND / OR, procedural blocks indented and
// words in the chosen case. Literals, quoted names and dollar-quoted bodies pass unchanged.
#include "core/kdsub_sql.h"
#include "core/kdreserve.h"
#include "core/kdsqllex.h"
#include "core/kdsqltoken.h"

#include <algorithm>

#include <cstring>
#include <vector>

using namespace kdsqllex;

namespace {

enum class TKind { None, Select, Insert, Update, Delete };

// Widest indentation written in front of a line.
constexpr int kMaxIndentation = 240;
enum class TClause { None, SelectList, SetList, InsertInto, Values, From, Condition, GroupBy, Having, OrderBy };

QString CRLF()
{
    return QStringLiteral("\r\n");
}

bool IsDelimiter(QChar c)
{
    switch (c.unicode()) {
    case '\t': case '\n': case '\r': case ' ': case '"': case '\'': case '(': case ')': case '*':
    case ',': case '-': case '/': case ';': case '<': case '=': case '>':
        return true;
    default:
        return false;
    }
}

// Characters of operators; two of them written next to each other form one operator, so
// no blank may come between them.
bool IsOperatorChar(QChar c)
{
    switch (c.unicode()) {
    case '+': case '-': case '*': case '/': case '<': case '>': case '=': case '~': case '!':
    case '@': case '#': case '%': case '^': case '&': case '|': case '`': case '?':
        return true;
    default:
        return false;
    }
}

// Characters that two tokens may not share without a blank between them.
bool IsGlueChar(QChar c)
{
    return IsIdentChar(c);
}

// Case conversion of ASCII letters only: the server folds nothing else in unquoted names.
QString AsciiCase(const QString &s, bool upper)
{
    const char16_t from = upper ? 'a' : 'A';
    QString r = s;
    for (QChar &c : r)
        if (c.unicode() >= from && c.unicode() <= from + 25)
            c = QChar(upper ? c.unicode() - 32 : c.unicode() + 32);
    return r;
}

QString AsciiUpper(const QString &s)
{
    return AsciiCase(s, true);
}

QString AsciiLower(const QString &s)
{
    return AsciiCase(s, false);
}

// The mantissa of a number in exponent notation up to its "e" ("1.5e", ".2E").
bool IsExponentStart(const QString &w)
{
    if (w.size() < 2)
        return false;
    const QChar e = w.back();
    if (e != u'e' && e != u'E')
        return false;
    bool digit = false;
    for (qsizetype i = 0; i + 1 < w.size(); ++i) {
        const QChar c = w.at(i);
        if (c.isDigit() && c.unicode() < 128)
            digit = true;
        else if (c != u'.')
            return false;
    }
    return digit;
}

class TFormatter {
public:
    TFormatter(const QString &text, const TFormatOption &layout, std::vector<qsizetype> bodyTags);
    QString Run();

private:
    // -- text access and look-ahead
    QChar At(qsizetype i) const { return i >= 0 && i < N ? T.at(i) : QChar(); }
    qsizetype SkipFrom(const std::vector<qsizetype> &next, qsizetype i, bool (*skip)(QChar)) const;
    static bool SkipWS(QChar c) { return IsBlankChar(c); }
    static bool SkipBlank(QChar c) { return c == u' '; }
    static bool SkipWSSemi(QChar c) { return IsBlankChar(c) || c == u';'; }
    bool ClauseKeywordAhead(qsizetype i);
    bool NextWordIs(qsizetype i, QStringView w) const;
    bool CommentAhead(qsizetype i) const;
    bool LineEndsHere(qsizetype i) const;
    bool CommaAhead(qsizetype i) const;
    bool OnlyBlanksFollow(qsizetype i) const { return SkipFrom(FNextNonWS, i, SkipWS) >= N; }
    bool ItemContinues(qsizetype i) { return !ClauseKeywordAhead(i) && !CommaAhead(i); }
    bool SemicolonAlone(qsizetype i) const
    {
        return At(i - 1) == u'\n' && (i + 1 >= N || At(i + 1) == u'\r' || At(i + 1) == u'\n');
    }

    // -- layout primitives
    // The indentation is capped, so that thousands of nested blocks cannot make the result
    // grow with the square of the text.
    QString Indentation() const { return FIndent > 0 ? QString(qsizetype(qMin<qint64>(FIndent, kMaxIndentation)), u' ') : QString(); }
    QString ReserveCase(const QString &s) const;
    QString ItemCase(const QString &w) const;
    QString KeywordField(const QString &s) const;
    QString ContIndent() const;
    QString CommentBreakText() const;
    void ItemBreak();
    void BreakUnlessLineEnds(qsizetype i);
    void NewLineKeyword(const QString &text);
    void WriteBlockWord();
    void WritePending();
    void AppendGlued(QString &target, const QString &text) const;
    bool CommentContinuation(qsizetype i, const QString *w);
    bool AnyOpen() const { return FBlockDepth > 0 || FLineComment || FLiteral || FQuoted; }
    bool CompletesCommentPair(QChar d) const
    {
        return (d == u'/' && At(FPos - 1) == u'*') || (d == u'-' && At(FPos - 1) == u'-') || (d == u'*' && At(FPos - 1) == u'/');
    }
    bool OperatorAdjacent(QChar d) const { return IsOperatorChar(d) && IsOperatorChar(At(FPos - 1)); }

    // -- the steps at a delimiter
    void Delimiter(QChar d);
    void BlockKeywords();
    void StatementKeywords();
    void ClauseOutput(QChar d);
    void GroupA(QChar d);
    void GroupB(QChar d);
    void GroupC(QChar d);
    void DelimiterRule(QChar d, const char *set, bool afterBetween);
    bool GenericOutput(QChar d);
    void ScanStates(QChar d);
    void StatementEnd(QChar d);

    QString T;
    const qsizetype N;
    const TFormatOption &O;
    std::vector<qsizetype> FNextNonWS, FNextNonBlank, FNextNonWSSemi, FOpenerScan;
    std::vector<char> FOpenerFound;
    std::vector<qsizetype> FBodyTags; // dollar tags whose body is laid out like other text

    qsizetype FPos = 0;
    QString R, W, FPending;
    bool FWordVerbatim = false; // the word holds a dollar-quoted body
    bool FAtEnd = false;        // the virtual delimiter behind the last word
    TKind FKind = TKind::None;
    TClause FClause = TClause::None;
    qint64 FIndent = 0;
    const int FStep; // blanks per block level, within 0..kMaxIndentation
    bool FLineStart = true, FIndentWritten = false, FJoinPending = false;
    int FBlockDepth = 0;
    qsizetype FBlockStar = -1;
    bool FLineComment = false, FLiteral = false, FEscape = false, FQuoted = false;
    bool FInParen = false, FListParen = false, FBetween = false;
    bool FExceptionPart = false, FFirstWhen = true, FBeforeBegin = true;
    bool FForPending = false, FWhilePending = false, FCursorPending = false, FDeclareSeen = false;
};

TFormatter::TFormatter(const QString &text, const TFormatOption &layout, std::vector<qsizetype> bodyTags)
    : T(text), N(text.size()), O(layout), FBodyTags(std::move(bodyTags)), FStep(qBound(0, layout.Indent, kMaxIndentation))
{
    // Skip tables for the look-ahead tests, so that long runs of blanks, line ends or
    // semicolons are crossed in one step. Only characters behind the scan position are
    // read from them, and those are never changed by the scan.
    FNextNonWS.assign(N + 1, N);
    FNextNonBlank.assign(N + 1, N);
    FNextNonWSSemi.assign(N + 1, N);
    FOpenerScan.assign(N + 1, N);
    FOpenerFound.assign(N + 1, 0);
    for (qsizetype i = N - 1; i >= 0; --i) {
        const QChar c = T.at(i);
        FNextNonWS[i] = SkipWS(c) ? FNextNonWS[i + 1] : i;
        FNextNonBlank[i] = SkipBlank(c) ? FNextNonBlank[i + 1] : i;
        FNextNonWSSemi[i] = SkipWSSemi(c) ? FNextNonWSSemi[i + 1] : i;
        const QChar prev = i > 0 ? T.at(i - 1) : QChar();
        if ((prev == u'/' && c == u'*') || (prev == u'-' && c == u'-')) {
            FOpenerScan[i] = i;
            FOpenerFound[i] = 1;
        } else if (c == u' ' || c == u'-' || c == u'/') {
            FOpenerScan[i] = FOpenerScan[i + 1];
            FOpenerFound[i] = FOpenerFound[i + 1];
        } else {
            FOpenerScan[i] = i;
        }
    }
}

qsizetype TFormatter::SkipFrom(const std::vector<qsizetype> &next, qsizetype i, bool (*skip)(QChar)) const
{
    // Characters at or before the scan position may have been changed: read them live.
    while (i < N && i <= FPos) {
        if (!skip(T.at(i)))
            return i;
        ++i;
    }
    return i >= N ? N : next[i];
}

bool TFormatter::ClauseKeywordAhead(qsizetype i)
{
    const qsizetype j = SkipFrom(FNextNonWS, i, SkipWS);
    if (j >= N)
        return false;
    bool found = false;
    if (FClause == TClause::InsertInto && T.at(j) == u'(') {
        found = true;
    } else {
        qsizetype e = j;
        while (e < N && !IsBlankChar(T.at(e)) && e - j <= 6)
            ++e;
        if (e - j <= 6 && (e >= N || IsBlankChar(T.at(e)))) {
            const QString tok = AsciiUpper(T.mid(j, e - j));
            static const char *const words[] = {"SELECT", "FROM", "WHERE", "GROUP", "ORDER", "HAVING",
                                                "RIGHT", "LEFT", "INNER", "OUTER", "JOIN", "INSERT",
                                                "VALUES", "UPDATE", "SET", "DELETE", "UNION", "FOR"};
            for (const char *w : words)
                if (tok == QLatin1String(w)) {
                    found = true;
                    break;
                }
            if (!found && (tok == u"AND" || tok == u"OR") && O.AndPos == 0 && O.ItemReturn == 0)
                found = true;
        }
    }
    if (found)
        FJoinPending = false;
    return found;
}

bool TFormatter::NextWordIs(qsizetype i, QStringView w) const
{
    const qsizetype j = SkipFrom(FNextNonWSSemi, i, SkipWSSemi);
    if (j + w.size() > N)
        return false;
    if (QStringView(T).mid(j, w.size()).compare(w, Qt::CaseInsensitive) != 0)
        return false;
    return j + w.size() >= N || SkipWSSemi(T.at(j + w.size()));
}

bool TFormatter::CommentAhead(qsizetype i) const
{
    const qsizetype j = SkipFrom(FNextNonWS, i, SkipWS);
    return (At(j) == u'-' && At(j + 1) == u'-') || (At(j) == u'/' && At(j + 1) == u'*');
}

bool TFormatter::LineEndsHere(qsizetype i) const
{
    const qsizetype j = SkipFrom(FNextNonBlank, i, SkipBlank);
    // The end of the text counts as a line end: no line break is added behind the last word.
    return j >= N || At(j) == u'\r' || At(j) == u'\n';
}

bool TFormatter::CommaAhead(qsizetype i) const
{
    return At(SkipFrom(FNextNonWS, i, SkipWS)) == u',';
}

// Case option: 0 upper case, 1 lower case, any other value keeps the text.
QString ApplyCase(const QString &s, int option)
{
    if (option == 0)
        return AsciiUpper(s);
    if (option == 1)
        return AsciiLower(s);
    return s;
}

QString TFormatter::ReserveCase(const QString &s) const
{
    return ApplyCase(s, O.ReserveTrans);
}

QString TFormatter::ItemCase(const QString &w) const
{
    if (w.isEmpty() || AnyOpen() || FWordVerbatim)
        return w;
    if (IsReservedWord(w))
        return ReserveCase(w);
    // Only ASCII letters change: the server folds nothing else in unquoted names.
    return ApplyCase(w, O.ItemTrans);
}

QString TFormatter::KeywordField(const QString &s) const
{
    QString f = s;
    if (f.size() <= 6) {
        const QString pad(6 - f.size(), u' ');
        f = O.ReservePos == 0 ? pad + f : f + pad;
    }
    const bool allBlank = f.trimmed().isEmpty();
    if (FClause == TClause::GroupBy || FClause == TClause::OrderBy) {
        if (O.ReservePos == 0 || allBlank)
            f = u' ' + s;
    }
    if (!f.trimmed().isEmpty())
        f += u' ';
    return f;
}

QString TFormatter::ContIndent() const
{
    int n = 0;
    switch (FClause) {
    case TClause::SelectList: case TClause::SetList: case TClause::From:
        n = 6 + (O.CommaPos == 1 ? 1 : 0);
        break;
    case TClause::Condition: case TClause::Having:
        n = 6 + ((O.CommaPos == 1 || O.AndPos == 1) ? 1 : 0);
        break;
    case TClause::InsertInto: case TClause::Values:
        n = 7 + (O.CommaPos == 1 ? 1 : 0);
        break;
    case TClause::GroupBy: case TClause::OrderBy:
        n = 8 + (O.CommaPos == 1 ? 1 : 0) + (O.ReservePos == 0 ? 1 : 0);
        break;
    case TClause::None:
        n = O.CommaPos == 1 ? 1 : 0;
        break;
    }
    return QString(n, u' ');
}

QString TFormatter::CommentBreakText() const
{
    return CRLF() + Indentation() + (O.CommaPos == 1 ? ContIndent() : u' ' + ContIndent());
}

void TFormatter::ItemBreak()
{
    R += CRLF() + Indentation() + ContIndent();
    FLineStart = false;
    FIndentWritten = false;
}

void TFormatter::BreakUnlessLineEnds(qsizetype i)
{
    if (!LineEndsHere(i)) {
        R += CRLF();
        FLineStart = true;
    }
}

// Writes a block word (DECLARE, BEGIN, EXCEPTION) and ends its line unless the line ends
// there anyway.
void TFormatter::WriteBlockWord()
{
    R += ReserveCase(W);
    W.clear();
    FLineStart = FIndentWritten = false;
    BreakUnlessLineEnds(FPos);
}

void TFormatter::NewLineKeyword(const QString &text)
{
    R += CRLF() + Indentation() + KeywordField(ReserveCase(text));
    FLineStart = false;
    FIndentWritten = false;
}

void TFormatter::AppendGlued(QString &target, const QString &text) const
{
    // Two words that stood apart in the text never run together in the result.
    if (!text.isEmpty() && !target.isEmpty() && IsGlueChar(target.back()) && IsGlueChar(text.front()))
        target += u' ';
    target += text;
}

void TFormatter::WritePending()
{
    AppendGlued(R, FPending);
    FPending.clear();
}

bool TFormatter::CommentContinuation(qsizetype i, const QString *w)
{
    bool acted = false;
    bool block = false, line = false;
    int depth = 0;
    qsizetype j = i;
    while (j < N) {
        if (!block && !line) {
            // Blanks, hyphens and slashes are passed over until a comment opens.
            bool opener = false;
            while (j < N) {
                if (j <= FPos + 1) {
                    if (j >= 1 && !FLiteral && !FQuoted
                        && ((T.at(j - 1) == u'/' && T.at(j) == u'*') || (T.at(j - 1) == u'-' && T.at(j) == u'-'))) {
                        opener = true;
                        break;
                    }
                    const QChar c = T.at(j);
                    if (c != u' ' && c != u'-' && c != u'/')
                        break;
                    ++j;
                } else {
                    opener = FOpenerFound[j] && !FLiteral && !FQuoted;
                    j = FOpenerScan[j];
                    break;
                }
            }
            if (!opener || j >= N)
                return acted;
            R += T.at(j - 1);
            R += T.at(j);
            FPos = j;
            FLineStart = false;
            FIndentWritten = false;
            if (T.at(j) == u'*') {
                block = true;
                depth = 1;
            } else {
                line = true;
            }
            ++j;
            continue;
        }
        const QChar c = T.at(j);
        if (c == u'\r' && At(j + 1) == u'\n') {
            ++j;
            continue;
        }
        if (c == u'\n') {
            acted = true;
            if (line && OnlyBlanksFollow(j + 1)) {
                FPos = j; // nothing but white space follows: no line is started for it
                return acted;
            }
            if (ClauseKeywordAhead(j + 1) || (O.CommaPos == 0 && O.ItemReturn == 0 && CommaAhead(j + 1))) {
                // Keep the scan from reading the comment's last character as a quote or end.
                const QChar m = T.at(FPos);
                if (m == u'"' || m == u'\'' || m == u')' || m == u'*' || m == u'/' || m == u';')
                    T[FPos] = u' ';
                return acted;
            }
            R += CRLF();
            FPos = j;
            R += Indentation();
            if (w)
                R += KeywordField(ItemCase(*w));
            else
                R += O.CommaPos == 1 ? ContIndent() : u' ' + ContIndent();
            FLineStart = false;
            FIndentWritten = false;
            if (line)
                return acted;
            ++j;
            continue;
        }
        if (block && c == u'/' && At(j + 1) == u'*') {
            ++depth;
            R += QStringLiteral("/*");
            FPos = j + 1;
            j += 2;
            continue;
        }
        if (block && c == u'*' && At(j + 1) == u'/') {
            R += QStringLiteral("*/");
            FPos = j + 1;
            j += 2;
            if (--depth > 0)
                continue;
            qsizetype k = j;
            while (k < N && (T.at(k) == u' ' || T.at(k) == u'\t'))
                ++k;
            if (At(k) == u'\r' && At(k + 1) == u'\n') {
                acted = true;
                const bool stay = ClauseKeywordAhead(k + 2) || CommentAhead(k + 2) || (O.CommaPos == 0 && CommaAhead(k + 2));
                if (!stay) {
                    R += CRLF();
                    FPos = k;
                    R += Indentation() + ContIndent();
                    FLineStart = false;
                    FIndentWritten = false;
                }
            }
            block = false;
            j = k;
            continue;
        }
        R += c;
        FPos = j;
        ++j;
    }
    return acted;
}

void TFormatter::DelimiterRule(QChar d, const char *set, bool afterBetween)
{
    if (IsBlankChar(d) || d.isNull())
        return;
    if (d == u';' && SemicolonAlone(FPos))
        return;
    bool blank = true;
    if (FPending.isEmpty() || d == u'(' || d == u')')
        blank = false;
    else if (std::strchr(set, char(FPending.back().unicode() < 128 ? FPending.back().unicode() : 1)))
        blank = false;
    else if (!afterBetween && CompletesCommentPair(d))
        blank = false;
    // Operators written together stay together (also "--" after BETWEEN, which would
    // otherwise stop being a comment); a prefix stays on its quote (E'', B'', U&"").
    else if (OperatorAdjacent(d))
        blank = false;
    else if ((d == u'\'' || d == u'"') && !W.isEmpty())
        blank = false;
    if (blank)
        FPending += u' ';
    FPending += d;
}

void TFormatter::GroupA(QChar d)
{
    if (R.endsWith(u')'))
        R += u' ';
    AppendGlued(R, ItemCase(W));
    switch (d.unicode()) {
    case ',':
        if (!FInParen || ((FClause == TClause::InsertInto || FClause == TClause::Values) && !FListParen)) {
            if (O.ItemReturn == 1) {
                R += QStringLiteral(", ");
            } else if (O.CommaPos == 1) {
                R += u',';
                CommentContinuation(FPos, nullptr);
                if (!LineEndsHere(FPos) && !CommentAhead(FPos + 1))
                    ItemBreak();
            } else {
                ItemBreak();
                R += u',';
                CommentContinuation(FPos + 1, nullptr);
            }
        } else {
            R += QStringLiteral(", ");
        }
        break;
    case '(':
        if (FClause == TClause::InsertInto && !CommentContinuation(FPos, nullptr)) {
            R += CRLF() + Indentation() + QString(7, u' ');
            FLineStart = false;
            FIndentWritten = false;
        }
        R += u'(';
        break;
    case ')':
        if (FClause == TClause::InsertInto) {
            CommentContinuation(FPos, nullptr);
            R += u')';
            BreakUnlessLineEnds(FPos + 1);
        } else {
            R += u')';
        }
        break;
    case ' ':
        if (!R.endsWith(u' ') && !R.endsWith(u',') && !OnlyBlanksFollow(FPos + 1)) {
            if (ItemContinues(FPos + 1) || FInParen)
                R += u' ';
        }
        break;
    case '\n':
        if (CommentAhead(FPos + 1) && !FLineStart) {
            R += CommentBreakText();
            FLineStart = true;
        } else if (!R.endsWith(u' ') && !R.endsWith(u',') && !CommaAhead(FPos + 1) && !OnlyBlanksFollow(FPos + 1)) {
            if (!ClauseKeywordAhead(FPos + 1))
                R += u' ';
        }
        break;
    case '\r':
        break;
    case '*':
        R += u'*';
        break;
    default: {
        const qsizetype before = FPos;
        const bool acted = CommentContinuation(FPos, nullptr);
        if (!acted && FPos == before && !d.isNull()) {
            if (!CompletesCommentPair(d) && !(d == u';' && SemicolonAlone(FPos)))
                R += d;
        }
        break;
    }
    }
}

void TFormatter::GroupB(QChar d)
{
    if (!W.isEmpty()) {
        const QString w = ItemCase(W);
        const qsizetype wordStart = FPos - W.size();
        bool blank = !FPending.isEmpty();
        if (blank) {
            const QChar last = FPending.back();
            if (last == u' ' || last == u'(' || last == u'-' || last == u'/' || last == u'<' || last == u'>')
                blank = false;
            else if (IsOperatorChar(W.front()) && IsOperatorChar(At(wordStart - 1)))
                blank = false;
        }
        if (blank)
            FPending += u' ';
        AppendGlued(FPending, w);
    }
    const bool lineFirst = At(FPos - 1) == u'\n' && (FPos + 1 >= N || At(FPos + 1) == u'\r');
    if (!IsBlankChar(d) && !d.isNull() && d != u',' && !lineFirst) {
        if (d == u';') {
            // The statement's own terminator is kept (unless alone on its line, where the
            // statement end writes it).
            FPending += d;
        } else {
            bool blank = !(FPending.isEmpty() || FPending.endsWith(u' ') || d == u'(' || d == u')'
                           || CompletesCommentPair(d) || OperatorAdjacent(d)
                           || ((d == u'\'' || d == u'"') && !W.isEmpty()));
            if (blank)
                FPending += u' ';
            FPending += d;
        }
    }
    if (d == u',') {
        WritePending();
        if (FInParen || O.ItemReturn == 1) {
            R += QStringLiteral(", ");
        } else if (O.CommaPos == 1) {
            R += u',';
            CommentContinuation(FPos, nullptr);
            if (!LineEndsHere(FPos) && !CommentAhead(FPos + 1)) {
                ItemBreak();
                FLineStart = true;
            }
        } else {
            ItemBreak();
            R += u',';
            CommentContinuation(FPos + 1, nullptr);
        }
    }
    if (d == u'\n' && CommentAhead(FPos + 1))
        FPending += CommentBreakText();
}

void TFormatter::GroupC(QChar d)
{
    const QString u = AsciiUpper(W);
    const bool andOr = u == u"AND" || u == u"OR";
    const qsizetype wordStart = FPos - W.size();
    auto addWord = [&](bool blank) {
        if (blank && IsOperatorChar(W.front()) && IsOperatorChar(At(wordStart - 1)))
            blank = false;
        if (blank)
            FPending += u' ';
        AppendGlued(FPending, ItemCase(W));
    };
    if (andOr && FBetween) {
        FBetween = false;
        const bool blank = !(FPending.isEmpty() || FPending.endsWith(u'(') || FPending.endsWith(u')')
                             || FPending.endsWith(u';') || FInParen);
        addWord(blank);
        DelimiterRule(d, " (-/<>", false);
    } else if (andOr) {
        WritePending();
        const QString word = ItemCase(W);
        if (FInParen) {
            if (!R.endsWith(u' '))
                R += u' ';
            R += word + u' ';
        } else if (O.ItemReturn == 1) {
            R += u' ' + word + u' ';
        } else if (O.AndPos == 1) {
            R += u' ' + word;
            if (!CommentContinuation(FPos, nullptr) && !CommentAhead(FPos + 1))
                ItemBreak();
        } else {
            if (!CommentContinuation(FPos, &W)) {
                R += CRLF() + Indentation() + KeywordField(word);
                FLineStart = false;
                FIndentWritten = false;
            }
        }
        FPending.clear();
        d = At(FPos);
        if (FPos < N)
            DelimiterRule(d, "", false);
    } else if (u == u"BETWEEN") {
        FBetween = true;
        addWord(!(FPending.isEmpty() || FPending.endsWith(u'(')));
        DelimiterRule(d, " (-/<>", true);
    } else {
        if (!W.isEmpty())
            addWord(!(FPending.isEmpty() || FPending.endsWith(u'(') || FPending.endsWith(u')')));
        DelimiterRule(d, " !(-/<>", false);
    }
    if (d == u'\n' && CommentAhead(FPos + 1))
        FPending += CommentBreakText();
}

void TFormatter::ClauseOutput(QChar d)
{
    switch (FClause) {
    case TClause::SetList:
        GroupB(d);
        break;
    case TClause::Condition: case TClause::Having:
        GroupC(d);
        break;
    default:
        GroupA(d);
        break;
    }
}

void TFormatter::BlockKeywords()
{
    const QString u = AsciiUpper(W);
    if (u == u"CREATE") {
        if (!FLineStart)
            R += CRLF();
        FIndent = 0;
        FExceptionPart = false;
        FBeforeBegin = true;
        FFirstWhen = true;
        FForPending = FWhilePending = FCursorPending = false;
        FDeclareSeen = false;
    } else if (u == u"DECLARE") {
        if (!FLineStart)
            R += CRLF();
        if (!FBeforeBegin) {
            R += Indentation();
            FIndent += FStep;
        }
        WriteBlockWord();
        FDeclareSeen = true;
    } else if (u == u"BEGIN" || (u == u"IS" && FIndent <= 0)) {
        if (u == u"IS" && FCursorPending) {
            FCursorPending = false;
            if (FLineStart) {
                R += Indentation();
                FIndentWritten = true;
            }
            return;
        }
        if (!FLineStart)
            R += CRLF();
        if (FBeforeBegin) {
            FIndent = 0;
            if (u == u"BEGIN")
                FBeforeBegin = false;
        } else if (FDeclareSeen) {
            FIndent -= FStep;
            R += Indentation();
        } else {
            R += Indentation();
        }
        WriteBlockWord();
        FIndent += FStep;
        FDeclareSeen = false;
    } else if (u == u"EXCEPTION") {
        FExceptionPart = true;
        FFirstWhen = true;
        if (!FLineStart)
            R += CRLF();
        FIndent -= FStep;
        if (!FIndentWritten)
            R += Indentation();
        WriteBlockWord();
        FIndent += FStep;
    } else if (u == u"END") {
        if (!FLineStart)
            R += CRLF();
        FIndent -= FStep;
        if (FExceptionPart && !FFirstWhen && !NextWordIs(FPos, u"IF") && !NextWordIs(FPos, u"LOOP"))
            FIndent -= FStep;
        R += Indentation();
        R += ReserveCase(W);
        W.clear();
        FLineStart = FIndentWritten = false;
    } else if (u == u"IF" || u == u"LOOP") {
        qsizetype e = R.size();
        while (e > 0 && IsBlankChar(R.at(e - 1)))
            --e;
        const bool afterEnd = e >= 3 && QStringView(R).mid(e - 3, 3).compare(u"END", Qt::CaseInsensitive) == 0
                              && (e == 3 || !IsIdentChar(R.at(e - 4)));
        if (afterEnd) {
            R += ReserveCase(W);
            W.clear();
            FLineStart = FIndentWritten = false;
            qsizetype q = FPos;
            while (q < N && T.at(q) == u' ')
                ++q;
            if (q < N && T.at(q) == u';') {
                R += u';';
                T[q] = u' ';
                FPos = q;
            } else if (q > FPos) {
                FPos = q - 1;
            }
            BreakUnlessLineEnds(FPos);
            return;
        }
        if (u == u"LOOP" && (FForPending || FWhilePending)) {
            FForPending = FWhilePending = false;
            if (FLineStart) {
                R += Indentation();
                FIndentWritten = true;
            }
        } else {
            if (!FLineStart)
                R += CRLF();
            R += Indentation();
            FIndentWritten = true;
        }
        if (u == u"LOOP") {
            FIndent += FStep;
            if (!LineEndsHere(FPos)) {
                R += ReserveCase(W) + CRLF() + Indentation();
                W.clear();
                FLineStart = FIndentWritten = true;
            }
        }
    } else if (u == u"ELSE" || u == u"ELSIF") {
        if (!FLineStart)
            R += CRLF();
        FIndent -= FStep;
        if (!FIndentWritten)
            R += Indentation();
        R += ReserveCase(W);
        FLineStart = FIndentWritten = false;
        if (u == u"ELSE") {
            BreakUnlessLineEnds(FPos);
            FIndent += FStep;
        }
        W.clear();
    } else if (u == u"FOR") {
        FForPending = true;
    } else if (u == u"WHILE") {
        FWhilePending = true;
    } else if (u == u"THEN") {
        if (FLineStart)
            R += Indentation();
        R += ReserveCase(W);
        FIndentWritten = false;
        W.clear();
        FIndent += FStep;
        BreakUnlessLineEnds(FPos);
    } else if (u == u"CURSOR") {
        FCursorPending = true;
    } else if (u == u"WHEN") {
        if (FExceptionPart) {
            if (FFirstWhen)
                FFirstWhen = false;
            else
                FIndent -= FStep;
        }
    }
}

void TFormatter::StatementKeywords()
{
    if (W.isEmpty() || W.size() > 6)
        return;
    const QString u = AsciiUpper(W);
    const bool select = FKind == TKind::Select;
    // Keyword written at the start of a new line without the new-line-and-keyword form.
    auto lineKeyword = [&](const QString &text) {
        WritePending();
        if (!FLineStart)
            R += CRLF();
        FLineStart = FIndentWritten = false;
        R += Indentation();
        R += KeywordField(ReserveCase(text));
    };
    if (u == u"SELECT") {
        WritePending();
        FKind = TKind::Select;
        FClause = TClause::SelectList;
        if (!FLineStart && !R.isEmpty())
            R += CRLF();
        if (!FIndentWritten && !R.isEmpty())
            R += Indentation();
        FLineStart = FIndentWritten = false;
        R += KeywordField(ReserveCase(W));
        FInParen = false;
    } else if (u == u"FROM" && (select || FKind == TKind::Delete)) {
        WritePending();
        FClause = TClause::From;
        NewLineKeyword(W);
    } else if (u == u"WHERE") {
        WritePending();
        FClause = TClause::Condition;
        NewLineKeyword(W);
        FBetween = false;
        FPending.clear();
    } else if (u == u"AND" || (u == u"OR" && (select || FKind == TKind::Update || FKind == TKind::Delete))) {
        FClause = TClause::Condition;
        return; // written by the clause output
    } else if (u == u"GROUP" && select && NextWordIs(FPos, u"BY")) {
        // Only GROUP BY opens a clause: WITHIN GROUP and EXCLUDE GROUP are words of an item.
        WritePending();
        FClause = TClause::GroupBy;
        NewLineKeyword(QStringLiteral("GROUP BY"));
    } else if (u == u"ORDER" && select && NextWordIs(FPos, u"BY")) {
        WritePending();
        FClause = TClause::OrderBy;
        NewLineKeyword(QStringLiteral("ORDER BY"));
    } else if (u == u"BY" && (select || FKind == TKind::Update)) {
        if (FClause != TClause::GroupBy && FClause != TClause::OrderBy)
            return;
    } else if (u == u"HAVING" && select) {
        WritePending();
        FClause = TClause::Having;
        NewLineKeyword(W);
    } else if ((u == u"RIGHT" || u == u"LEFT" || u == u"INNER" || u == u"OUTER") && select) {
        WritePending();
        if (FJoinPending) {
            if (!R.endsWith(u' '))
                R += u' ';
            R += ReserveCase(W);
        } else {
            NewLineKeyword(W);
        }
        FJoinPending = true;
    } else if (u == u"JOIN" && select) {
        WritePending();
        if (FJoinPending) {
            if (!R.endsWith(u' '))
                R += u' ';
            R += ReserveCase(W) + u' ';
        } else {
            NewLineKeyword(W);
        }
        FJoinPending = false;
    } else if (u == u"ON" && FJoinPending) {
        WritePending();
        FClause = TClause::Condition;
        NewLineKeyword(W);
    } else if (u == u"INSERT" && NextWordIs(FPos, u"INTO")) {
        WritePending();
        FKind = TKind::Insert;
        FClause = TClause::InsertInto;
        if (!FLineStart)
            R += CRLF();
        if (!FIndentWritten)
            R += Indentation();
        FLineStart = FIndentWritten = false;
        R += KeywordField(ReserveCase(QStringLiteral("INSERT INTO")));
        FListParen = false;
    } else if (u == u"INTO" && FKind == TKind::Insert) {
    } else if (u == u"VALUES" && FKind == TKind::Insert) {
        FClause = TClause::Values;
        lineKeyword(W);
        FListParen = false;
    } else if (u == u"UPDATE") {
        qsizetype e = R.size();
        while (e > 0 && IsBlankChar(R.at(e - 1)))
            --e;
        const bool afterFor = e >= 3 && QStringView(R).mid(e - 3, 3).compare(u"FOR", Qt::CaseInsensitive) == 0;
        if (afterFor)
            return;
        FKind = TKind::Update;
        FClause = TClause::From;
        lineKeyword(W);
    } else if (u == u"SET" && FKind == TKind::Update) {
        FClause = TClause::SetList;
        lineKeyword(W);
        FPending.clear();
    } else if (u == u"DELETE") {
        FKind = TKind::Delete;
        FClause = TClause::From;
        lineKeyword(W);
    } else if (u == u"UNION") {
        FKind = TKind::Select;
        FClause = TClause::SelectList;
        WritePending();
        NewLineKeyword(W);
    } else if (u == u"FOR" && (select || FKind == TKind::Update)) {
        lineKeyword(W);
    } else {
        return;
    }
    W.clear();
}

bool TFormatter::GenericOutput(QChar d)
{
    const bool write = !FAtEnd && !d.isNull();
    if (FLiteral || FQuoted) {
        // Inside a literal or quoted name everything stands as written.
        R += W;
        if (write)
            R += d;
        return true;
    }
    if (!R.isEmpty() && FLineStart) {
        if (d == u' ' && W.isEmpty())
            return false;
        if (!FIndentWritten) {
            const bool skip = W.isEmpty() && (d == u'\r' || d == u'\n' || (d == u';' && SemicolonAlone(FPos)));
            if (!skip) {
                R += Indentation();
                FIndentWritten = true;
            }
        }
    }
    const QString w = ItemCase(W);
    AppendGlued(R, w);
    if (!W.isEmpty())
        FIndentWritten = false;
    if (!((d == u' ' && FIndentWritten) || (R.isEmpty() && IsBlankChar(d))) && write)
        R += d;
    FIndentWritten = false;
    return true;
}

void TFormatter::ScanStates(QChar d)
{
    const QChar prev = At(FPos - 1);
    if (d == u'-' && prev == u'-' && FBlockDepth == 0 && !FLiteral && !FQuoted) {
        FLineComment = true;
    } else if (d == u'*' && prev == u'/' && !(FPos >= 2 && T.at(FPos - 2) == u'*') && !FLineComment && !FLiteral
               && !FQuoted) {
        ++FBlockDepth;
        FBlockStar = FPos;
    } else if (d == u'/' && prev == u'*' && !FLineComment && !FLiteral && !FQuoted && FBlockDepth > 0
               && FPos - 1 != FBlockStar) {
        --FBlockDepth;
    } else if (d == u'(' && !AnyOpen()) {
        if ((FClause == TClause::InsertInto || FClause == TClause::Values) && !FListParen)
            FListParen = true;
        else
            FInParen = true;
    } else if (d == u')' && !AnyOpen()) {
        FInParen = false;
    } else if (d == u'\'' && FBlockDepth == 0 && !FLineComment && !FQuoted) {
        FLiteral = !FLiteral;
        FEscape = FLiteral && IsEscapeQuote(T, FPos);
    } else if (d == u'"' && FBlockDepth == 0 && !FLineComment && !FLiteral) {
        FQuoted = !FQuoted;
    }
}

void TFormatter::StatementEnd(QChar d)
{
    if (FKind != TKind::None) {
        if (d == u';' && !AnyOpen()) {
            WritePending();
            FKind = TKind::None;
            FLineStart = FIndentWritten = FCursorPending = false;
            if (SemicolonAlone(FPos)) {
                while (!R.isEmpty() && IsBlankChar(R.back()))
                    R.chop(1);
                R += CRLF() + u';';
            }
        }
        return;
    }
    if (FLiteral || FQuoted) {
        FLineStart = false;
        return;
    }
    FLineStart = d == u'\n';
    if (d == u'\n')
        FLineComment = false;
}

void TFormatter::Delimiter(QChar d)
{
    if (d == u'\t' && !FLiteral && !FQuoted) {
        T[FPos] = u' ';
        d = u' ';
    }
    if (AnyOpen()) {
        if (FKind != TKind::None) {
            WritePending();
            R += W;
            const bool write = !FAtEnd && !d.isNull();
            if (FLiteral || FQuoted) {
                // Line breaks inside literals and quoted names are part of their text.
                if (write)
                    R += d;
            } else if (d == u'\r' && At(FPos + 1) == u'\n') {
            } else if (d == u'\n' && FLineComment) {
                FLineComment = false;
                if (!ClauseKeywordAhead(FPos + 1) && !OnlyBlanksFollow(FPos + 1)) {
                    R += CRLF() + Indentation() + (O.CommaPos == 1 ? ContIndent() : u' ' + ContIndent());
                    FLineStart = FIndentWritten = false;
                }
            } else if (d == u'\n') {
                R += CRLF() + Indentation() + ContIndent();
                FLineStart = FIndentWritten = false;
            } else if (write) {
                R += d;
            }
        }
    } else {
        if (FKind == TKind::None) {
            BlockKeywords();
            d = At(FPos);
            if (FAtEnd)
                d = u'\r';
        }
        StatementKeywords();
        if (FKind != TKind::None) {
            ClauseOutput(d);
            d = FAtEnd ? QChar(u'\r') : At(FPos);
        }
    }
    if (FKind == TKind::None && !GenericOutput(d))
        return;
    if (FAtEnd)
        return;
    ScanStates(d);
    StatementEnd(d);
}

QString TFormatter::Run()
{
    R.reserve(N + N / 4);
    while (true) {
        if (FPos >= N) {
            if (W.isEmpty())
                break;
            // The last word ends at a line end of its own, which is not written.
            FAtEnd = true;
            FPos = N;
            Delimiter(u'\r');
            break;
        }
        const QChar c = T.at(FPos);
        if (!IsDelimiter(c)) {
            if (c == u'$' && !AnyOpen()) {
                const int len = DollarTagLength(T, FPos);
                if (len > 0 && std::binary_search(FBodyTags.begin(), FBodyTags.end(), FPos)) {
                    // The tag of a routine body: a word of its own, and the body is read on.
                    W += QStringView(T).mid(FPos, len);
                    FPos += len;
                    continue;
                }
                if (len > 0) {
                    qsizetype e = DollarBodyEnd(T, FPos, len);
                    if (e < 0)
                        e = N;
                    W += QStringView(T).mid(FPos, e - FPos);
                    FWordVerbatim = true;
                    FPos = e;
                    continue;
                }
            }
            if (FLiteral && FEscape && c == u'\\') {
                W += c;
                if (FPos + 1 < N)
                    W += T.at(FPos + 1);
                FPos += 2;
                continue;
            }
            W += c;
            ++FPos;
            continue;
        }
        if ((c == u'-' || c == u'+') && !AnyOpen() && IsExponentStart(W) && At(FPos + 1).isDigit()) {
            W += c;
            ++FPos;
            continue;
        }
        Delimiter(c);
        W.clear();
        FWordVerbatim = false;
        ++FPos;
    }
    WritePending();
    return R;
}

} // namespace

namespace {

using kdsqltoken::TToken;
using kdsqltoken::TTokenKind;

bool IsCaseToken(const TToken &t)
{
    return t.FKind == TTokenKind::Word || t.FKind == TTokenKind::Number;
}

bool IsPlainString(QStringView s, const TToken &t)
{
    return t.FKind == TTokenKind::String && s.at(t.FStart) == u'\'';
}

bool HasLineBreak(QStringView gap)
{
    return gap.contains(u'\n') || gap.contains(u'\r');
}

// The blanks in front of the last line of Text.
QString LineIndent(const QString &text)
{
    qsizetype start = text.size();
    while (start > 0 && text.at(start - 1) != u'\n' && text.at(start - 1) != u'\r')
        --start;
    qsizetype e = start;
    while (e < text.size() && text.at(e) == u' ')
        ++e;
    return text.mid(start, e - start);
}

// Pairs each input token with the laid-out token that stands for it (-1 where the layout
// lost it). Equal keys are paired in order; where they differ, the nearest point from which
// two tokens agree again is sought in a window, so a token the layout added or lost costs
// a few steps, not a scan of the whole text.
std::vector<qsizetype> AlignTokens(const QStringList &in, const QStringList &out)
{
    const qsizetype n = in.size(), m = out.size();
    std::vector<qsizetype> match(size_t(n), -1);
    constexpr qsizetype kWindow = 24;
    auto agree = [&](qsizetype a, qsizetype b) {
        if (a >= n || b >= m || in.at(a) != out.at(b))
            return false;
        return a + 1 >= n || b + 1 >= m || in.at(a + 1) == out.at(b + 1);
    };
    qsizetype i = 0, j = 0;
    qsizetype coolDown = 0; // after a search that found nothing, the next tokens are paired without one
    while (i < n && j < m) {
        if (in.at(i) == out.at(j)) {
            match[size_t(i++)] = j++;
            continue;
        }
        if (coolDown > 0) {
            --coolDown;
            match[size_t(i++)] = j++;
            continue;
        }
        bool found = false;
        for (qsizetype d = 1; d <= 2 * kWindow && !found; ++d) {
            for (qsizetype a = qMax<qsizetype>(0, d - kWindow); a <= qMin(d, kWindow); ++a) {
                if (agree(i + a, j + d - a)) {
                    i += a;
                    j += d - a;
                    found = true;
                    break;
                }
            }
        }
        if (!found) {
            // Neither side recovers soon: the input token takes the laid-out one's place,
            // and so do the next ones, so that text that differs throughout costs no search
            // at every token.
            match[size_t(i++)] = j++;
            coolDown = kWindow;
        }
    }
    return match;
}

// The word or number as it goes into the result: the input's text in the case the options
// ask for (reserved words by ReserveTrans, the others by ItemTrans), whatever the layout pass
// wrote, so that a keyword it writes itself ("INSERT INTO", "GROUP BY") keeps the user's case
// when the options keep it.
QString CasedText(const QString &original, const TFormatOption &o)
{
    return ApplyCase(original, IsReservedWord(original) ? o.ReserveTrans : o.ItemTrans);
}

// Writes the input's tokens in order, each behind the white space that the layout put in
// front of the token standing for it, so the result reads as the same token sequence as the
// input whatever the layout pass did. A token the layout lost keeps its own white space; a
// token the layout added is left out. White space is then mended where the server would read
// the text differently: two tokens never run together, a line comment is always followed by
// a line break, and a string literal continued on the next line keeps that line break
// (while two literals apart on one line are not turned into a continuation).
QString WriteTokens(const QString &in, const QString &out, const TFormatOption &o, bool useLayout)
{
    const std::vector<TToken> ti = kdsqltoken::TokenizeRoutines(in);
    if (ti.empty())
        return QString();
    const std::vector<TToken> to = useLayout ? kdsqltoken::TokenizeRoutines(out) : std::vector<TToken>();
    QStringList ki, ko;
    ki.reserve(qsizetype(ti.size()));
    for (const TToken &t : ti)
        ki.append(kdsqltoken::TokenKey(in, t));
    ko.reserve(qsizetype(to.size()));
    for (const TToken &t : to)
        ko.append(kdsqltoken::TokenKey(out, t));
    const std::vector<qsizetype> match = useLayout ? AlignTokens(ki, ko) : std::vector<qsizetype>(ti.size(), -1);

    QString r;
    r.reserve(out.size() + out.size() / 8 + 16);
    QString prevText;
    for (size_t k = 0; k < ti.size(); ++k) {
        const TToken &t = ti[k];
        const qsizetype m = match[k];
        const qsizetype origGapStart = k > 0 ? ti[k - 1].End() : 0;
        const QStringView origGap = QStringView(in).mid(origGapStart, t.FStart - origGapStart);
        QString gap;
        if (m >= 0) {
            const qsizetype s = m > 0 ? to[size_t(m - 1)].End() : 0;
            gap = out.mid(s, to[size_t(m)].FStart - s);
        } else {
            gap = origGap.toString();
        }
        if (k == 0)
            gap.clear();
        QString text = in.mid(t.FStart, t.FLength);
        if (IsCaseToken(t))
            text = CasedText(text, o);
        // A literal, name or comment left open inside a routine body runs up to the closing
        // tag with the blanks in front of it: nothing may come between them.
        const bool keepGap = t.FKind == TTokenKind::DollarTag && origGap.isEmpty();
        if (keepGap)
            gap.clear();
        if (k > 0 && useLayout) {
            const TToken &p = ti[k - 1];
            if (p.FKind == TTokenKind::LineComment && !HasLineBreak(gap)) {
                gap = CRLF() + gap;
            } else if (p.FKind == TTokenKind::String && IsPlainString(in, t)) {
                if (HasLineBreak(origGap) && !HasLineBreak(gap))
                    gap = CRLF() + LineIndent(r);
                else if (!HasLineBreak(origGap) && HasLineBreak(gap))
                    gap = QStringLiteral(" ");
            }
            if (gap.isEmpty() && !origGap.isEmpty() && !keepGap && kdsqltoken::NeedBlankBetween(prevText, text))
                gap = QStringLiteral(" ");
        }
        r += gap;
        r += text;
        prevText = text;
    }
    // White space behind the last token, as the layout ends its text.
    const TToken &last = ti.back();
    const qsizetype lastMatch = match.back();
    if (lastMatch >= 0 && size_t(lastMatch) + 1 == to.size())
        r += QStringView(out).mid(to.back().End());
    else if (!useLayout)
        r += QStringView(in).mid(last.End());
    return r;
}

} // namespace

QString FormatSQL(const QString &Text, const TFormatOption &Layout)
{
    TFormatter formatter(Text, Layout, kdsqltoken::RoutineBodyTags(Text));
    const QString laidOut = formatter.Run();
    const QString result = WriteTokens(Text, laidOut, Layout, true);
    if (kdsqltoken::SameStatementText(Text, result))
        return result;
    // Should the white space of the layout still have changed how the text reads, the input's
    // own white space is kept and only the letter case converted.
    return WriteTokens(Text, QString(), Layout, false);
}
