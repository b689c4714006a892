#include "platform/db/dbsql.h"

#include <initializer_list>
#include <vector>

namespace db {

namespace {

enum class Tok { Word, QuotedIdent, Number, String, Param, Punct };

struct Token {
    Tok type;
    qsizetype start;
    qsizetype length;
    int depth;       // parenthesis depth at the token
    QString name;    // Param: the name; Word: upper-cased text
};

bool identStart(QChar c) { return c.isLetter() || c == u'_' || c.unicode() > 0x7f; }
bool identChar(QChar c) { return identStart(c) || c.isDigit() || c == u'$'; }

// Splits statement text into tokens the way the server's lexer would, skipping comments
// and whitespace. Colon parameters become Param tokens.
std::vector<Token> tokenize(const QString &s)
{
    std::vector<Token> out;
    const qsizetype n = s.size();
    qsizetype i = 0;
    int depth = 0;
    int brackets = 0;
    auto at = [&](qsizetype k) { return k < n ? s[k] : QChar(); };
    auto lastIsOperand = [&]() {
        if (out.empty())
            return false;
        const Token &t = out.back();
        if (t.type == Tok::Punct)
            return s[t.start] == u')' || s[t.start] == u']';
        return true;
    };
    auto skipQuoted = [&](qsizetype from, QChar quote, bool backslash) {
        qsizetype k = from + 1;
        while (k < n) {
            if (backslash && s[k] == u'\\') {
                k += 2;
                continue;
            }
            if (s[k] == quote) {
                if (at(k + 1) == quote) {
                    k += 2;
                    continue;
                }
                return k + 1;
            }
            ++k;
        }
        return n;
    };
    while (i < n) {
        const QChar c = s[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        if (c == u'-' && at(i + 1) == u'-') {
            while (i < n && s[i] != u'\n')
                ++i;
            continue;
        }
        if (c == u'/' && at(i + 1) == u'*') {
            int level = 0;
            while (i < n) {
                if (s[i] == u'/' && at(i + 1) == u'*') {
                    ++level;
                    i += 2;
                } else if (s[i] == u'*' && at(i + 1) == u'/') {
                    i += 2;
                    if (--level == 0)
                        break;
                } else {
                    ++i;
                }
            }
            continue;
        }
        const qsizetype start = i;
        if (c == u'\'') {
            i = skipQuoted(i, u'\'', false);
            out.push_back({Tok::String, start, i - start, depth, {}});
            continue;
        }
        if (c == u'"') {
            i = skipQuoted(i, u'"', false);
            out.push_back({Tok::QuotedIdent, start, i - start, depth, {}});
            continue;
        }
        if (c == u'$') {
            if (at(i + 1).isDigit()) { // positional parameter $n
                i += 1;
                while (i < n && s[i].isDigit())
                    ++i;
                out.push_back({Tok::Word, start, i - start, depth, {}});
                continue;
            }
            qsizetype k = i + 1;
            while (k < n && identChar(s[k]) && s[k] != u'$')
                ++k;
            if (at(k) == u'$' && (k == i + 1 || identStart(s[i + 1]))) {
                const QString tag = s.mid(i, k - i + 1);
                const qsizetype end = s.indexOf(tag, k + 1);
                i = end < 0 ? n : end + tag.size();
                out.push_back({Tok::String, start, i - start, depth, {}});
                continue;
            }
            ++i;
            out.push_back({Tok::Punct, start, 1, depth, {}});
            continue;
        }
        if (identStart(c)) {
            while (i < n && identChar(s[i]))
                ++i;
            if (i - start == 1 && (c == u'E' || c == u'e') && at(i) == u'\'') {
                i = skipQuoted(i, u'\'', true);
                out.push_back({Tok::String, start, i - start, depth, {}});
                continue;
            }
            out.push_back({Tok::Word, start, i - start, depth, s.mid(start, i - start).toUpper()});
            continue;
        }
        if (c.isDigit() || (c == u'.' && at(i + 1).isDigit())) {
            while (i < n && (s[i].isLetterOrNumber() || s[i] == u'.' || s[i] == u'_'))
                ++i;
            out.push_back({Tok::Number, start, i - start, depth, {}});
            continue;
        }
        if (c == u':') {
            if (at(i + 1) == u':' || at(i + 1) == u'=') { // cast or named argument
                i += 2;
                out.push_back({Tok::Punct, start, 2, depth, {}});
                continue;
            }
            const bool slice = brackets > 0 && lastIsOperand();
            if (!slice && identStart(at(i + 1))) {
                qsizetype k = i + 1;
                while (k < n && identChar(s[k]))
                    ++k;
                out.push_back({Tok::Param, start, k - start, depth, s.mid(i + 1, k - i - 1)});
                i = k;
                continue;
            }
            if (!slice && at(i + 1) == u'"') {
                const qsizetype close = s.indexOf(u'"', i + 2);
                if (close > i + 2) {
                    out.push_back({Tok::Param, start, close + 1 - start, depth,
                        s.mid(i + 2, close - i - 2)});
                    i = close + 1;
                    continue;
                }
            }
            ++i;
            out.push_back({Tok::Punct, start, 1, depth, {}});
            continue;
        }
        if (c == u'(')
            ++depth;
        else if (c == u'[')
            ++brackets;
        else if (c == u']' && brackets > 0)
            --brackets;
        out.push_back({Tok::Punct, start, 1, c == u')' ? depth : depth, {}});
        if (c == u')' && depth > 0) {
            out.back().depth = depth - 1;
            --depth;
        }
        ++i;
    }
    return out;
}

bool isPunct(const QString &s, const Token &t, char16_t c)
{
    return t.type == Tok::Punct && t.length == 1 && s[t.start] == QChar(c);
}

bool wordIn(const QString &word, std::initializer_list<const char *> words)
{
    for (const char *w : words)
        if (word == QLatin1String(w))
            return true;
    return false;
}

// One statement of a text, the tokens [b, e): see mayChangeCatalog.
bool statementMayChangeCatalog(const QString &sql, const std::vector<Token> &tokens, std::size_t b, std::size_t e)
{
    const std::size_t opening = b;
    while (b < e && isPunct(sql, tokens[b], u'('))
        ++b;
    if (b >= e || tokens[b].type != Tok::Word)
        return true; // nothing the layer can read as a statement
    const QString &keyword = tokens[b].name;
    const int base = tokens[b].depth;
    const QString next = b + 1 < e && tokens[b + 1].type == Tok::Word ? tokens[b + 1].name : QString();
    if (wordIn(keyword, {"SELECT", "VALUES", "TABLE", "WITH"})) {
        // SELECT … INTO creates a table, which classify tells apart.
        const qsizetype from = tokens[opening].start;
        const CommandKind kind = classify(sql.mid(from, tokens[e - 1].start + tokens[e - 1].length - from)).kind;
        return kind != CommandKind::Select && kind != CommandKind::SelectForLock && kind != CommandKind::Insert
               && kind != CommandKind::Update && kind != CommandKind::Delete;
    }
    if (keyword == QLatin1String("EXPLAIN")) {
        // EXPLAIN (options) statement, or EXPLAIN [ANALYZE] [VERBOSE] statement.
        std::size_t k = b + 1;
        if (k < e && isPunct(sql, tokens[k], u'(')) {
            while (k < e && !(isPunct(sql, tokens[k], u')') && tokens[k].depth == base))
                ++k;
            ++k;
        }
        while (k < e && tokens[k].type == Tok::Word && wordIn(tokens[k].name, {"ANALYZE", "ANALYSE", "VERBOSE"}))
            ++k;
        return statementMayChangeCatalog(sql, tokens, k, e);
    }
    if (keyword == QLatin1String("SET") || keyword == QLatin1String("RESET")) {
        // The role decides which columns and objects the catalog views show.
        for (std::size_t k = b + 1; k < e; ++k)
            if (tokens[k].type == Tok::Word && wordIn(tokens[k].name, {"ROLE", "AUTHORIZATION", "ALL"}))
                return true;
        return false;
    }
    if (keyword == QLatin1String("PREPARE"))
        return next == QLatin1String("TRANSACTION"); // the block's changes leave this session
    if (keyword == QLatin1String("COMMIT"))
        return next == QLatin1String("PREPARED"); // another block's changes arrive
    return !wordIn(keyword, {"INSERT", "UPDATE", "DELETE", "MERGE", "COPY", "TRUNCATE", "BEGIN", "START", "END",
                             "SAVEPOINT", "RELEASE", "SHOW", "FETCH", "MOVE", "CLOSE", "DECLARE", "EXECUTE",
                             "DEALLOCATE", "LISTEN", "UNLISTEN", "NOTIFY", "LOCK", "VACUUM", "ANALYZE", "ANALYSE",
                             "CLUSTER", "REINDEX", "REFRESH", "CHECKPOINT"});
}

} // namespace

ParsedSql parseParams(const QString &sql)
{
    ParsedSql out;
    const std::vector<Token> tokens = tokenize(sql);
    QStringList keys; // upper-cased unquoted names, quoted names as written
    qsizetype copied = 0;
    for (const Token &t : tokens) {
        if (t.type != Tok::Param)
            continue;
        const bool quoted = sql[t.start + 1] == u'"';
        const QString key = quoted ? QStringLiteral("\"") + t.name : t.name.toUpper();
        qsizetype idx = keys.indexOf(key);
        if (idx < 0) {
            keys.append(key);
            out.names.append(t.name);
            idx = keys.size() - 1;
        }
        out.text += QStringView(sql).mid(copied, t.start - copied);
        out.text += QLatin1Char('$') + QString::number(idx + 1);
        copied = t.start + t.length;
    }
    out.text += QStringView(sql).mid(copied);
    return out;
}

StatementInfo classify(const QString &sql)
{
    StatementInfo info;
    const std::vector<Token> tokens = tokenize(sql);
    // The first word, after any opening parentheses.
    std::size_t first = 0;
    while (first < tokens.size() && isPunct(sql, tokens[first], u'('))
        ++first;
    if (first >= tokens.size() || tokens[first].type != Tok::Word)
        return info;
    info.keyword = tokens[first].name;
    const int base = tokens[first].depth;

    // Statement end: the first ";" at the outer level; anything after it but more ";" makes
    // the text a list of statements.
    std::size_t end = tokens.size();
    bool single = true;
    for (std::size_t k = first; k < tokens.size(); ++k) {
        if (isPunct(sql, tokens[k], u';')) {
            if (end == tokens.size())
                end = k;
        } else if (end != tokens.size()) {
            single = false;
            break;
        }
    }

    QString main = info.keyword;
    bool modifyingCte = false;
    if (main == QLatin1String("WITH")) {
        main.clear();
        for (std::size_t k = first + 1; k < end; ++k) {
            const Token &t = tokens[k];
            if (t.type != Tok::Word)
                continue;
            static const char *const verbs[] = {"SELECT", "INSERT", "UPDATE", "DELETE", "MERGE", "VALUES", "TABLE"};
            bool verb = false;
            for (const char *v : verbs)
                verb = verb || t.name == QLatin1String(v);
            if (!verb)
                continue;
            if (t.depth == base) {
                if (main.isEmpty())
                    main = t.name;
            } else if (k > 0 && isPunct(sql, tokens[k - 1], u'(') && t.name != QLatin1String("SELECT")
                       && t.name != QLatin1String("VALUES") && t.name != QLatin1String("TABLE")) {
                modifyingCte = true;
            }
        }
    }

    auto outerWord = [&](std::size_t k, const char *w) {
        return tokens[k].type == Tok::Word && tokens[k].depth == base && tokens[k].name == QLatin1String(w);
    };
    if (main == QLatin1String("SELECT") || main == QLatin1String("VALUES") || main == QLatin1String("TABLE")) {
        info.kind = CommandKind::Select;
        for (std::size_t k = first + 1; k < end; ++k) {
            if (outerWord(k, "INTO") && main == QLatin1String("SELECT")) {
                info.kind = CommandKind::Other; // SELECT … INTO creates a table
                break;
            }
            if (outerWord(k, "FOR") && k + 1 < end
                && (outerWord(k + 1, "UPDATE") || outerWord(k + 1, "SHARE") || outerWord(k + 1, "NO")
                    || outerWord(k + 1, "KEY"))) {
                info.kind = CommandKind::SelectForLock;
                break;
            }
        }
    } else if (main == QLatin1String("SHOW") || main == QLatin1String("EXPLAIN") || main == QLatin1String("FETCH")) {
        info.kind = CommandKind::Select;
    } else if (main == QLatin1String("INSERT")) {
        info.kind = CommandKind::Insert;
    } else if (main == QLatin1String("UPDATE")) {
        info.kind = CommandKind::Update;
    } else if (main == QLatin1String("DELETE")) {
        info.kind = CommandKind::Delete;
    } else if (main == QLatin1String("CREATE")) {
        info.kind = CommandKind::Create;
    } else if (main == QLatin1String("ALTER")) {
        info.kind = CommandKind::Alter;
    } else if (main == QLatin1String("DROP")) {
        info.kind = CommandKind::Drop;
    } else if (main == QLatin1String("COMMIT") || main == QLatin1String("END")) {
        info.kind = CommandKind::Commit;
    } else if (main == QLatin1String("ROLLBACK") || main == QLatin1String("ABORT")) {
        info.kind = CommandKind::Rollback;
    }

    const bool readQuery = main == QLatin1String("SELECT") || main == QLatin1String("VALUES")
                           || main == QLatin1String("TABLE");
    if (info.kind == CommandKind::Select && readQuery && single && !modifyingCte) {
        info.cursorable = true;
        const qsizetype stop = end < tokens.size() ? tokens[end].start : sql.size();
        info.cursorText = sql.left(stop);
    }
    return info;
}

bool mayChangeCatalog(const QString &sql)
{
    const std::vector<Token> tokens = tokenize(sql);
    std::size_t begin = 0;
    for (std::size_t k = 0; k <= tokens.size(); ++k) {
        if (k < tokens.size() && !(isPunct(sql, tokens[k], u';') && tokens[k].depth == 0))
            continue;
        if (k > begin && statementMayChangeCatalog(sql, tokens, begin, k))
            return true;
        begin = k + 1;
    }
    return false;
}

bool isTransactionControl(const QString &keyword)
{
    static const char *const words[] = {"BEGIN", "START", "COMMIT", "END", "ROLLBACK", "ABORT",
                                        "SAVEPOINT", "RELEASE"};
    for (const char *w : words)
        if (keyword == QLatin1String(w))
            return true;
    return false;
}

} // namespace db
