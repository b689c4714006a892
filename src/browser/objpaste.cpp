#include "browser/objpaste.h"

#include "core/kdsqltoken.h"
#include "core/kdsub_text.h"

#include <algorithm>

using kdsqltoken::TToken;
using kdsqltoken::TTokenKind;

namespace {

// A new name as SQL: through QuoteIdentifier, except that a name beginning with a double
// quote is a name of its own (QuoteIdentifier would take it as quoted already).
QString QName(const QString &Name)
{
    if (Name.startsWith(u'"')) {
        QString s = Name;
        s.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        return u'"' + s + u'"';
    }
    return QuoteIdentifier(Name);
}

struct TScriptTokens {
    QString Text;
    std::vector<TToken> Tokens;

    QStringView View(size_t i) const { return QStringView(Text).mid(Tokens[i].FStart, Tokens[i].FLength); }
    bool IsIdent(size_t i) const
    {
        return i < Tokens.size()
               && (Tokens[i].FKind == TTokenKind::Word || Tokens[i].FKind == TTokenKind::QuotedName);
    }
    // The name an identifier token stands for: a bare word folded to lower case as the server
    // folds it (ASCII letters only), a quoted name without its quotes.
    QString Ident(size_t i) const
    {
        const QStringView v = View(i);
        if (Tokens[i].FKind == TTokenKind::QuotedName) {
            if (!v.startsWith(u'"'))
                return v.toString(); // U&"..." is compared as written
            QString s = v.mid(1, v.size() >= 2 && v.endsWith(u'"') ? v.size() - 2 : v.size() - 1).toString();
            s.replace(QStringLiteral("\"\""), QStringLiteral("\""));
            return s;
        }
        QString s = v.toString();
        for (QChar &c : s)
            if (c >= u'A' && c <= u'Z')
                c = QChar(c.unicode() + 32);
        return s;
    }
    bool IsWord(size_t i, const char *upper) const
    {
        return i < Tokens.size() && Tokens[i].FKind == TTokenKind::Word
               && View(i).compare(QLatin1String(upper), Qt::CaseInsensitive) == 0;
    }
    bool IsPunct(size_t i, QChar c) const
    {
        return i < Tokens.size() && (Tokens[i].FKind == TTokenKind::Punct || Tokens[i].FKind == TTokenKind::Operator)
               && View(i).size() == 1 && View(i).at(0) == c;
    }
    // Whether token i and i + 1 touch (no blank between: "a.b", not "a . b" in a comment).
    bool Touch(size_t i) const { return i + 1 < Tokens.size() && Tokens[i].End() == Tokens[i + 1].FStart; }
    bool QualifiedBefore(size_t i) const { return i >= 1 && IsPunct(i - 1, u'.'); }
    bool QualifiedAfter(size_t i) const { return IsPunct(i + 1, u'.') && Touch(i); }
};

TScriptTokens TokensOf(const QStringList &Lines)
{
    TScriptTokens t;
    t.Text = Lines.join(u'\n');
    t.Tokens = kdsqltoken::Tokenize(t.Text);
    return t;
}

// Replacements by token index, applied from the end so positions stay valid.
QStringList Apply(const TScriptTokens &t, QList<QPair<size_t, QString>> edits)
{
    std::sort(edits.begin(), edits.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    QString text = t.Text;
    size_t last = size_t(-1);
    for (const auto &[i, s] : edits) {
        if (i == last)
            continue; // one replacement per token
        last = i;
        text.replace(t.Tokens[i].FStart, t.Tokens[i].FLength, s);
    }
    return text.split(u'\n');
}

// The keyword that stands before an unqualified name of the type in its statements.
const char *NameKeyword(int Type)
{
    switch (Type) {
    case 57:
        return "TRIGGER";
    case 127:
        return "RULE";
    case 4: case 126:
        return "SCHEMA";
    default:
        return nullptr;
    }
}

bool MovesSchemaInHeader(int Type)
{
    return Type == 52 || Type == 55 || Type == 57 || Type == 127;
}

} // namespace

QString PasteTargetSchema(int Level, int Image, const QString &NodeText, const QString &ParentText,
                          int TreeSort, const QString &UserName)
{
    if (Level < 0)
        return UserName;
    if (Image == 4 || Image == 126)
        return NodeText;
    if (Image == 1 || TreeSort != 0)
        return UserName;
    return ParentText;
}

QStringList ScriptIndexNames(const QStringList &Lines)
{
    const TScriptTokens t = TokensOf(Lines);
    QStringList names;
    auto add = [&names](const QString &n) {
        if (!names.contains(n))
            names << n;
    };
    for (size_t i = 0; i + 1 < t.Tokens.size(); ++i) {
        if (t.IsWord(i, "INDEX") && (t.IsWord(i - 1, "CREATE") || (t.IsWord(i - 1, "UNIQUE") && t.IsWord(i - 2, "CREATE")))) {
            size_t n = i + 1;
            if (t.IsWord(n, "CONCURRENTLY"))
                ++n;
            if (t.IsIdent(n) && !t.IsWord(n, "ON"))
                add(t.Ident(n));
        } else if (i >= 1 && t.IsWord(i, "CONSTRAINT") && t.IsIdent(i + 1)
                   && ((t.IsWord(i + 2, "PRIMARY") && t.IsWord(i + 3, "KEY")) || t.IsWord(i + 2, "UNIQUE"))) {
            add(t.Ident(i + 1));
        }
    }
    return names;
}

QStringList RenamePastedScript(const QStringList &Lines, const TPasteRename &R)
{
    const TScriptTokens t = TokensOf(Lines);
    const size_t n = t.Tokens.size();
    QList<QPair<size_t, QString>> edits;
    const QString qSchema = QName(R.NewSchema);
    const QString qName = QName(R.NewName);

    // The first statement ends at its first ";".
    size_t headEnd = n;
    for (size_t i = 0; i < n; ++i)
        if (t.IsPunct(i, u';')) {
            headEnd = i;
            break;
        }

    // Qualified names of the object, in every statement.
    bool headNamed = false;
    const char *keyword = NameKeyword(R.Type);
    // (Triggers, rules and schemas have no qualified name of their own: a trigger's table of
    // the same name stays the table.)
    if (!R.Schema.isEmpty() && !keyword)
        for (size_t i = 0; i + 2 < n; ++i)
            if (t.IsIdent(i) && t.Ident(i) == R.Schema && !t.QualifiedBefore(i) && t.QualifiedAfter(i)
                && t.IsIdent(i + 2) && t.Ident(i + 2) == R.Name && t.Touch(i + 1) && !t.QualifiedAfter(i + 2)) {
                edits.emplace_back(i, qSchema);
                edits.emplace_back(i + 2, qName);
                if (i < headEnd)
                    headNamed = true;
            }

    // Unqualified names after the type's keyword, in every statement.
    if (keyword)
        for (size_t i = 1; i < n; ++i)
            if (t.IsIdent(i) && t.Ident(i) == R.Name && t.IsWord(i - 1, keyword) && !t.QualifiedAfter(i)) {
                edits.emplace_back(i, qName);
                if (i < headEnd)
                    headNamed = true;
            }
    // Else the first whole occurrence of the name in the first statement (not for tables and
    // views, whose scripts come from their builder under the new names already).
    if (!headNamed && R.Type != 45 && R.Type != 47)
        for (size_t i = 0; i < headEnd; ++i)
            if (t.IsIdent(i) && t.Ident(i) == R.Name && !t.QualifiedBefore(i) && !t.QualifiedAfter(i)) {
                edits.emplace_back(i, qName);
                break;
            }

    // Other names of the copied schema (argument and return types, a trigger's or rule's
    // table), outside literals and bodies; in the first statement only up to the routine's
    // body or the rule's action.
    if (MovesSchemaInHeader(R.Type) && !R.Schema.isEmpty()) {
        bool inBody = false;
        for (size_t i = 0; i < n; ++i) {
            if (i == headEnd)
                inBody = false;
            if (i < headEnd && (t.Tokens[i].FKind == TTokenKind::Dollar || t.Tokens[i].FKind == TTokenKind::DollarTag
                                || t.IsWord(i, "ATOMIC") || (R.Type == 127 && t.IsWord(i, "DO"))))
                inBody = true;
            if (!inBody && t.IsIdent(i) && t.Ident(i) == R.Schema && !t.QualifiedBefore(i) && t.QualifiedAfter(i))
                edits.emplace_back(i, qSchema);
        }
    }

    // Index names of a table's script.
    for (const auto &[from, to] : R.IndexNames) {
        if (from == to)
            continue;
        for (size_t i = 1; i < n; ++i)
            if (t.IsIdent(i) && t.Ident(i) == from && !t.QualifiedAfter(i)
                && (t.IsWord(i - 1, "INDEX") || t.IsWord(i - 1, "CONSTRAINT")
                    || (t.IsWord(i - 1, "ON") && t.IsWord(i - 2, "CLUSTER"))))
                edits.emplace_back(i, QName(to));
    }
    if (edits.isEmpty())
        return Lines;
    return Apply(t, edits);
}

QStringList PasteDataLines(const QString &Schema, const QString &Name, const QString &NewSchema,
                           const QString &NewName)
{
    return {QStringLiteral("INSERT INTO ") + QName(NewSchema) + u'.' + QName(NewName) + QStringLiteral(" SELECT * FROM ")
                + QName(Schema) + u'.' + QName(Name),
            QStringLiteral(";")};
}
