// Comment stripping and first-statement cut of SQL text held as lines.
#include "core/kdsub_sql.h"
#include "core/kdsqllex.h"
#include "core/kdsub_text.h"

using namespace kdsqllex;

namespace {

// An empty line or a REM / REMARK line (a line comment of script files).
bool IsRemLine(const QString &Line)
{
    const QString s = TrimBlanks(Line).toUpper();
    if (s.isEmpty())
        return true;
    auto remWord = [&s](const QString &w) {
        if (!s.startsWith(w))
            return false;
        return s.size() == w.size() || IsBlankChar(s.at(w.size()));
    };
    return remWord(QStringLiteral("REM")) || remWord(QStringLiteral("REMARK"));
}

// The scan states that carry from one line to the next.
struct TStripState {
    bool FLiteral = false;  // in a single-quoted literal
    bool FEscape = false;   // that literal is an E'...' string (backslash escapes)
    bool FIdent = false;    // in a double-quoted name
    int FBlockDepth = 0;    // nesting depth of block comments
    QString FDollarTag;     // the tag of the dollar-quoted body we are in, empty outside

    bool inQuote() const { return FLiteral || FIdent || !FDollarTag.isEmpty(); }
};

} // namespace

void StripSQLComments(QStringList &Lines, bool Mode)
{
    qsizetype lead = 0;
    while (lead < Lines.size() && IsRemLine(Lines.at(lead)))
        ++lead;
    Lines.erase(Lines.begin(), Lines.begin() + lead);
    while (!Lines.isEmpty() && IsRemLine(Lines.last()))
        Lines.removeLast();

    TStripState st;
    for (qsizetype li = 0; li < Lines.size(); ++li) {
        const QString &raw = Lines.at(li);
        // Blanks at the ends of a line belong to the text when a literal, quoted name or
        // dollar body runs over the line break; elsewhere they are trimmed.
        qsizetype left = 0, right = raw.size();
        if (!st.inQuote())
            while (left < right && IsBlankChar(raw.at(left)))
                ++left;
        while (right > left && IsBlankChar(raw.at(right - 1)))
            --right;
        const QString s = raw.mid(left, right - left);
        const qsizetype n = s.size();

        QString out;
        out.reserve(n);
        bool cutLine = false, cutAll = false;
        qsizetype bodyEnd = -1; // where a dollar body closed on this line: a tag may follow at once
        // The run of name characters before i, read as the server reads it: a name, or a
        // number ("1", "1e5") or parameter ("$1") behind which a "$" may open a body.
        bool wordRun = false, paramRun = false, exponentSeen = false;
        qsizetype i = 0;
        while (i < n) {
            const QChar c = s.at(i);
            const QChar next = i + 1 < n ? s.at(i + 1) : QChar();
            if (st.FBlockDepth > 0) {
                if (c == u'/' && next == u'*') {
                    ++st.FBlockDepth;
                    i += 2;
                } else if (c == u'*' && next == u'/') {
                    --st.FBlockDepth;
                    i += 2;
                    // The comment separated what stands on both sides of it: a blank
                    // takes its place, so "1/*c*/AS" does not become "1AS".
                    if (st.FBlockDepth == 0 && !out.isEmpty() && !IsBlankChar(out.back()) && i < n
                        && !IsBlankChar(s.at(i)))
                        out += u' ';
                } else {
                    ++i;
                }
                continue;
            }
            if (!st.FDollarTag.isEmpty()) {
                const qsizetype k = s.indexOf(st.FDollarTag, i);
                if (k < 0) {
                    out += QStringView(s).mid(i);
                    i = n;
                } else {
                    const qsizetype e = k + st.FDollarTag.size();
                    out += QStringView(s).mid(i, e - i);
                    i = e;
                    bodyEnd = e;
                    st.FDollarTag.clear();
                }
                continue;
            }
            if (st.FLiteral) {
                if (st.FEscape && c == u'\\') {
                    out += c;
                    if (i + 1 < n)
                        out += next;
                    i += 2;
                    continue;
                }
                if (c == u'\'')
                    st.FLiteral = false;
                out += c;
                ++i;
                continue;
            }
            if (st.FIdent) {
                if (c == u'"')
                    st.FIdent = false;
                out += c;
                ++i;
                continue;
            }
            const bool inRun = i > 0 && i != bodyEnd && IsIdentChar(s.at(i - 1));
            if (!inRun && IsIdentChar(c)) {
                wordRun = IsTagStart(c);
                paramRun = c == u'$';
                exponentSeen = false;
            } else if (inRun && !wordRun && IsTagStart(c)) {
                // Behind a number only an exponent continues it; any other letter starts a name.
                const auto digitAt = [&](qsizetype k) { return k < n && s.at(k).unicode() >= '0' && s.at(k).unicode() <= '9'; };
                const bool exponent = !paramRun && !exponentSeen && (c == u'e' || c == u'E')
                                      && (digitAt(i + 1) || ((next == u'+' || next == u'-') && digitAt(i + 2)));
                if (exponent)
                    exponentSeen = true;
                else
                    wordRun = true;
            }
            if (c == u'"') {
                st.FIdent = true;
            } else if (c == u'\'') {
                st.FLiteral = true;
                st.FEscape = IsEscapeQuote(s, i);
            } else if (c == u'-' && next == u'-') {
                cutLine = true;
                break;
            } else if (c == u'/' && next == u'*') {
                st.FBlockDepth = 1;
                i += 2;
                continue;
            } else if (c == u';' && Mode) {
                cutAll = true;
                break;
            } else if (c == u'$') {
                const int len = inRun && wordRun ? 0 : DollarTagAt(s, i);
                if (len > 0) {
                    st.FDollarTag = s.mid(i, len);
                    out += st.FDollarTag;
                    i += len;
                    continue;
                }
            }
            out += c;
            ++i;
        }
        if (!cutLine && !cutAll && st.inQuote())
            out += QStringView(raw).mid(right);
        Lines[li] = out;
        if (cutAll) {
            Lines.erase(Lines.begin() + li + 1, Lines.end());
            return;
        }
    }
}
