// The tokens of SQL text as the PostgreSQL server reads them (see kdsqltoken.h).
#include "core/kdsqltoken.h"
#include "core/kdsqllex.h"

using namespace kdsqllex;

namespace kdsqltoken {

namespace {

bool IsSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == ' ' || u == '\t' || u == '\n' || u == '\r' || u == '\f' || u == '\v';
}

bool IsDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

bool IsOpChar(QChar c)
{
    switch (c.unicode()) {
    case '+': case '-': case '*': case '/': case '<': case '>': case '=': case '~': case '!':
    case '@': case '#': case '%': case '^': case '&': case '|': case '`': case '?':
        return true;
    default:
        return false;
    }
}

// Index behind the single-quoted literal whose opening quote is at q.
qsizetype StringEnd(QStringView s, qsizetype q, bool escape)
{
    const qsizetype n = s.size();
    qsizetype i = q + 1;
    while (i < n) {
        const QChar c = s.at(i);
        if (escape && c == u'\\') {
            i += 2;
            continue;
        }
        if (c == u'\'') {
            if (i + 1 < n && s.at(i + 1) == u'\'') {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return n;
}

qsizetype QuotedNameEnd(QStringView s, qsizetype q)
{
    const qsizetype n = s.size();
    qsizetype i = q + 1;
    while (i < n) {
        if (s.at(i) == u'"') {
            if (i + 1 < n && s.at(i + 1) == u'"') {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return n;
}

// Length of a "$tag$" at i (no look at the character before it), 0 when none.
int TagAt(QStringView s, qsizetype i)
{
    const qsizetype n = s.size();
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

} // namespace

std::vector<TToken> Tokenize(QStringView s)
{
    std::vector<TToken> out;
    const qsizetype n = s.size();
    qsizetype i = 0;
    auto at = [&](qsizetype k) { return k < n ? s.at(k) : QChar(); };
    auto push = [&](TTokenKind kind, qsizetype start, qsizetype end) {
        out.push_back(TToken{kind, start, end - start});
        i = end;
    };
    while (i < n) {
        const QChar c = s.at(i);
        const QChar next = at(i + 1);
        if (IsSpace(c)) {
            ++i;
            continue;
        }
        if (c == u'-' && next == u'-') {
            qsizetype e = i + 2;
            while (e < n && s.at(e) != u'\n' && s.at(e) != u'\r')
                ++e;
            push(TTokenKind::LineComment, i, e);
            continue;
        }
        if (c == u'/' && next == u'*') {
            int depth = 1;
            qsizetype e = i + 2;
            while (e < n && depth > 0) {
                if (s.at(e) == u'/' && at(e + 1) == u'*') {
                    ++depth;
                    e += 2;
                } else if (s.at(e) == u'*' && at(e + 1) == u'/') {
                    --depth;
                    e += 2;
                } else {
                    ++e;
                }
            }
            push(TTokenKind::BlockComment, i, qMin(e, n));
            continue;
        }
        if (c == u'"') {
            push(TTokenKind::QuotedName, i, QuotedNameEnd(s, i));
            continue;
        }
        if (c == u'\'') {
            push(TTokenKind::String, i, StringEnd(s, i, false));
            continue;
        }
        if (IsTagStart(c)) {
            const char16_t u = c.unicode();
            // A prefix letter right behind a number ("8E'x'") is no prefix: the server
            // refuses the pair, and the other routines read a plain literal there.
            const bool prefix = i == 0 || !IsIdentChar(s.at(i - 1));
            if (prefix && next == u'\'' && (u == 'e' || u == 'E' || u == 'b' || u == 'B' || u == 'x' || u == 'X' || u == 'n' || u == 'N')) {
                push(TTokenKind::String, i, StringEnd(s, i + 1, u == 'e' || u == 'E'));
                continue;
            }
            if (prefix && (u == 'u' || u == 'U') && next == u'&' && at(i + 2) == u'\'') {
                push(TTokenKind::String, i, StringEnd(s, i + 2, false));
                continue;
            }
            if (prefix && (u == 'u' || u == 'U') && next == u'&' && at(i + 2) == u'"') {
                push(TTokenKind::QuotedName, i, QuotedNameEnd(s, i + 2));
                continue;
            }
            qsizetype e = i + 1;
            while (e < n && IsIdentChar(s.at(e)))
                ++e;
            push(TTokenKind::Word, i, e);
            continue;
        }
        if (c == u'$') {
            const int tag = TagAt(s, i);
            if (tag > 0) {
                const qsizetype k = s.indexOf(s.mid(i, tag), i + tag);
                push(TTokenKind::Dollar, i, k < 0 ? n : k + tag);
                continue;
            }
            if (IsDigit(next)) {
                qsizetype e = i + 1;
                while (e < n && IsDigit(s.at(e)))
                    ++e;
                push(TTokenKind::Param, i, e);
                continue;
            }
            push(TTokenKind::Punct, i, i + 1);
            continue;
        }
        if (IsDigit(c) || (c == u'.' && IsDigit(next))) {
            qsizetype e = i;
            while (e < n && IsDigit(s.at(e)))
                ++e;
            if (e < n && s.at(e) == u'.' && at(e + 1) != u'.') {
                ++e;
                while (e < n && IsDigit(s.at(e)))
                    ++e;
            }
            if (e < n && (s.at(e) == u'e' || s.at(e) == u'E')) {
                qsizetype f = e + 1;
                if (f < n && (s.at(f) == u'+' || s.at(f) == u'-'))
                    ++f;
                if (f < n && IsDigit(s.at(f))) {
                    while (f < n && IsDigit(s.at(f)))
                        ++f;
                    e = f;
                }
            }
            push(TTokenKind::Number, i, e);
            continue;
        }
        if (c == u'.' && next == u'.') {
            push(TTokenKind::Punct, i, i + 2);
            continue;
        }
        if (c == u':' && (next == u':' || next == u'=')) {
            push(TTokenKind::Operator, i, i + 2);
            continue;
        }
        if (IsOpChar(c)) {
            // An operator ends where a comment starts; a name of several characters drops
            // its trailing + and - unless it holds one of ~ ! @ # % ^ & | ` ?.
            qsizetype e = i;
            while (e < n && IsOpChar(s.at(e))) {
                if (e > i && ((s.at(e) == u'-' && at(e + 1) == u'-') || (s.at(e) == u'/' && at(e + 1) == u'*')))
                    break;
                ++e;
            }
            if (e - i > 1) {
                bool special = false;
                for (qsizetype k = i; k < e; ++k)
                    if (QStringView(u"~!@#%^&|`?").contains(s.at(k)))
                        special = true;
                if (!special)
                    while (e - i > 1 && (s.at(e - 1) == u'+' || s.at(e - 1) == u'-'))
                        --e;
            }
            push(TTokenKind::Operator, i, e);
            continue;
        }
        push(TTokenKind::Punct, i, i + 1);
    }
    return out;
}

namespace {

bool WordIs(QStringView s, const TToken &t, QStringView w)
{
    return t.FKind == TTokenKind::Word && s.mid(t.FStart, t.FLength).compare(w, Qt::CaseInsensitive) == 0;
}

bool IsComment(const TToken &t)
{
    return t.FKind == TTokenKind::LineComment || t.FKind == TTokenKind::BlockComment;
}

// Indexes (into Tokens) of the dollar bodies of plpgsql and sql routines.
std::vector<size_t> RoutineBodies(QStringView s, const std::vector<TToken> &tokens)
{
    std::vector<size_t> bodies;
    size_t i = 0;
    const size_t n = tokens.size();
    while (i < n) {
        // One statement: from here to the next ";" outside parentheses.
        std::vector<size_t> words; // significant tokens of the statement
        int depth = 0;
        size_t e = i;
        for (; e < n; ++e) {
            const TToken &t = tokens[e];
            if (IsComment(t))
                continue;
            if (t.FKind == TTokenKind::Punct && t.FLength == 1) {
                const QChar c = s.at(t.FStart);
                if (c == u'(')
                    ++depth;
                else if (c == u')' && depth > 0)
                    --depth;
                else if (c == u';' && depth == 0)
                    break;
            }
            if (depth == 0 || t.FKind == TTokenKind::Dollar)
                words.push_back(e);
        }
        i = e + 1;
        if (words.empty())
            continue;
        size_t w = 0;
        const bool isDo = WordIs(s, tokens[words[0]], u"DO");
        bool routine = isDo;
        if (!isDo && WordIs(s, tokens[words[0]], u"CREATE")) {
            w = 1;
            if (w + 1 < words.size() && WordIs(s, tokens[words[w]], u"OR") && WordIs(s, tokens[words[w + 1]], u"REPLACE"))
                w += 2;
            routine = w < words.size()
                      && (WordIs(s, tokens[words[w]], u"FUNCTION") || WordIs(s, tokens[words[w]], u"PROCEDURE"));
        }
        if (!routine)
            continue;
        QString language = isDo ? QStringLiteral("plpgsql") : QString();
        qsizetype body = -1;
        for (size_t k = 1; k < words.size(); ++k) {
            const TToken &t = tokens[words[k]];
            if (WordIs(s, t, u"LANGUAGE") && k + 1 < words.size()) {
                const TToken &l = tokens[words[k + 1]];
                QString name = s.mid(l.FStart, l.FLength).toString();
                if (l.FKind == TTokenKind::String || l.FKind == TTokenKind::QuotedName)
                    name = name.size() >= 2 && name.front() == name.back() ? name.mid(1, name.size() - 2) : QString();
                else if (l.FKind != TTokenKind::Word)
                    name.clear();
                language = name.toLower();
            } else if (t.FKind == TTokenKind::Dollar && body < 0
                       && (isDo || WordIs(s, tokens[words[k - 1]], u"AS"))) {
                body = qsizetype(words[k]);
            }
        }
        if (body >= 0 && (language == u"plpgsql" || language == u"sql"))
            bodies.push_back(size_t(body));
    }
    return bodies;
}

} // namespace

std::vector<TToken> TokenizeRoutines(QStringView s)
{
    std::vector<TToken> flat = Tokenize(s);
    const std::vector<size_t> bodies = RoutineBodies(s, flat);
    if (bodies.empty())
        return flat;
    std::vector<TToken> out;
    out.reserve(flat.size());
    size_t b = 0;
    for (size_t k = 0; k < flat.size(); ++k) {
        const TToken &t = flat[k];
        if (b >= bodies.size() || bodies[b] != k) {
            out.push_back(t);
            continue;
        }
        ++b;
        const int tag = TagAt(s, t.FStart);
        const bool closed = t.FLength >= 2 * tag && s.mid(t.End() - tag, tag) == s.mid(t.FStart, tag);
        const qsizetype contentStart = t.FStart + tag;
        const qsizetype contentEnd = closed ? t.End() - tag : t.End();
        out.push_back(TToken{TTokenKind::DollarTag, t.FStart, tag});
        for (TToken inner : Tokenize(s.mid(contentStart, contentEnd - contentStart))) {
            inner.FStart += contentStart;
            out.push_back(inner);
        }
        if (closed)
            out.push_back(TToken{TTokenKind::DollarTag, contentEnd, tag});
    }
    return out;
}

std::vector<qsizetype> RoutineBodyTags(QStringView s)
{
    std::vector<qsizetype> tags;
    for (const TToken &t : TokenizeRoutines(s))
        if (t.FKind == TTokenKind::DollarTag)
            tags.push_back(t.FStart);
    return tags;
}

QString TokenKey(QStringView s, const TToken &t)
{
    QString k = s.mid(t.FStart, t.FLength).toString();
    auto upper = [](QString &text, qsizetype upto) {
        for (qsizetype i = 0; i < upto; ++i) {
            const char16_t u = text.at(i).unicode();
            if (u >= 'a' && u <= 'z')
                text[i] = QChar(u - 32);
        }
    };
    switch (t.FKind) {
    case TTokenKind::Word:
    case TTokenKind::Number:
        upper(k, k.size());
        break;
    case TTokenKind::String:
        upper(k, qMax<qsizetype>(0, k.indexOf(u'\'')));
        break;
    case TTokenKind::QuotedName:
        upper(k, qMax<qsizetype>(0, k.indexOf(u'"')));
        break;
    default:
        break;
    }
    return k;
}

QStringList TokenKeys(QStringView s)
{
    QStringList keys;
    for (const TToken &t : TokenizeRoutines(s))
        keys.append(TokenKey(s, t));
    return keys;
}

bool SameStatementText(QStringView a, QStringView b)
{
    const std::vector<TToken> ta = TokenizeRoutines(a);
    const std::vector<TToken> tb = TokenizeRoutines(b);
    if (ta.size() != tb.size())
        return false;
    auto breakBefore = [](QStringView s, const std::vector<TToken> &t, size_t k) {
        const QStringView gap = s.mid(t[k - 1].End(), t[k].FStart - t[k - 1].End());
        return gap.contains(u'\n') || gap.contains(u'\r');
    };
    for (size_t k = 0; k < ta.size(); ++k) {
        if (ta[k].FKind != tb[k].FKind || TokenKey(a, ta[k]) != TokenKey(b, tb[k]))
            return false;
        if (k > 0 && ta[k].FKind == TTokenKind::String && ta[k - 1].FKind == TTokenKind::String
            && a.at(ta[k].FStart) == u'\'' && breakBefore(a, ta, k) != breakBefore(b, tb, k))
            return false;
    }
    return true;
}

bool NeedBlankBetween(QStringView Left, QStringView Right)
{
    if (Left.isEmpty() || Right.isEmpty())
        return false;
    // A number or parameter written against a word is refused by the server ("1AS").
    if (IsIdentChar(Left.back()) && IsIdentChar(Right.front()))
        return true;
    const QString joined = Left.toString() + Right.toString();
    const std::vector<TToken> t = Tokenize(joined);
    return !(t.size() == 2 && t[0].FLength == Left.size());
}

} // namespace kdsqltoken
