#include "core/kdreserve.h"

#include <QSet>
#include <algorithm>

namespace {

// The built-in SQL reserved words, upper case, in ascending order.
constexpr const char16_t *kReservedWords[] = {
    u"ABORT", u"ABSOLUTE", u"ACCESS", u"ACTION", u"ADD", u"ADMIN", u"AFTER", u"AGGREGATE",
    u"ALL", u"ALSO", u"ALTER", u"ALWAYS", u"ANALYSE", u"ANALYZE", u"AND", u"ANY", u"ARE",
    u"ARRAY", u"AS", u"ASC", u"ASSERTION", u"ASSIGNMENT", u"ASYMMETRIC", u"AT", u"ATTRIBUTE",
    u"AUTHORIZATION", u"BACKWARD", u"BEFORE", u"BEGIN", u"BETWEEN", u"BIGINT", u"BINARY",
    u"BIT", u"BOOLEAN", u"BOTH", u"BY", u"CACHE", u"CALLED", u"CASCADE", u"CASCADED", u"CASE",
    u"CAST", u"CATALOG", u"CHAIN", u"CHAR", u"CHARACTER", u"CHARACTERISTICS", u"CHECK",
    u"CHECKPOINT", u"CLASS", u"CLOSE", u"CLUSTER", u"COALESCE", u"COLLATE", u"COLLATION",
    u"COLUMN", u"COMMENT", u"COMMENTS", u"COMMIT", u"COMMITTED", u"CONCURRENTLY",
    u"CONFIGURATION", u"CONNECTION", u"CONSTRAINT", u"CONSTRAINTS", u"CONTENT", u"CONTINUE",
    u"CONVERSION", u"COPY", u"COST", u"CREATE", u"CROSS", u"CSV", u"CURRENT",
    u"CURRENT_CATALOG", u"CURRENT_DATE", u"CURRENT_ROLE", u"CURRENT_SCHEMA", u"CURRENT_TIME",
    u"CURRENT_TIMESTAMP", u"CURRENT_USER", u"CURSOR", u"CYCLE", u"DATA", u"DATABASE", u"DAY",
    u"DEALLOCATE", u"DEC", u"DECIMAL", u"DECLARE", u"DEFAULT", u"DEFAULTS", u"DEFERRABLE",
    u"DEFERRED", u"DEFINER", u"DELETE", u"DELIMITER", u"DELIMITERS", u"DESC", u"DICTIONARY",
    u"DISABLE", u"DISCARD", u"DISTINCT", u"DO", u"DOCUMENT", u"DOMAIN", u"DOUBLE", u"DROP",
    u"EACH", u"ELSE", u"ENABLE", u"ENCODING", u"ENCRYPTED", u"END", u"ENUM", u"ESCAPE",
    u"EXCEPT", u"EXCLUDE", u"EXCLUDING", u"EXCLUSIVE", u"EXECUTE", u"EXISTS", u"EXPLAIN",
    u"EXTENSION", u"EXTERNAL", u"EXTRACT", u"FALSE", u"FAMILY", u"FETCH", u"FIRST", u"FLOAT",
    u"FOLLOWING", u"FOR", u"FORCE", u"FOREIGN", u"FORWARD", u"FREEZE", u"FROM", u"FULL",
    u"FUNCTION", u"FUNCTIONS", u"GLOBAL", u"GRANT", u"GRANTED", u"GREATEST", u"GROUP",
    u"HANDLER", u"HAVING", u"HEADER", u"HOLD", u"HOUR", u"IDENTITY", u"IF", u"ILIKE",
    u"IMMEDIATE", u"IMMUTABLE", u"IMPLICIT", u"IN", u"INCLUDING", u"INCREMENT", u"INDEX",
    u"INDEXES", u"INHERIT", u"INHERITS", u"INITIALLY", u"INLINE", u"INNER", u"INOUT", u"INPUT",
    u"INSENSITIVE", u"INSERT", u"INSTEAD", u"INT", u"INTEGER", u"INTERSECT", u"INTERVAL",
    u"INTO", u"INVOKER", u"IS", u"ISNULL", u"ISOLATION", u"JOIN", u"KEY", u"LABEL",
    u"LANGUAGE", u"LARGE", u"LAST", u"LC_COLLATE", u"LC_CTYPE", u"LEADING", u"LEAKPROOF",
    u"LEAST", u"LEFT", u"LEVEL", u"LIKE", u"LIMIT", u"LISTEN", u"LOAD", u"LOCAL", u"LOCALTIME",
    u"LOCALTIMESTAMP", u"LOCATION", u"LOCK", u"MAPPING", u"MATCH", u"MAXVALUE", u"MINUTE",
    u"MINVALUE", u"MODE", u"MONTH", u"MOVE", u"NAME", u"NAMES", u"NATIONAL", u"NATURAL",
    u"NCHAR", u"NEXT", u"NO", u"NONE", u"NOT", u"NOTHING", u"NOTIFY", u"NOTNULL", u"NOWAIT",
    u"NULL", u"NULLIF", u"NULLS", u"NUMERIC", u"OBJECT", u"OF", u"OFF", u"OFFSET", u"OIDS",
    u"ON", u"ONLY", u"OPERATOR", u"OPTION", u"OPTIONS", u"OR", u"ORDER", u"OUT", u"OUTER",
    u"OVER", u"OVERLAPS", u"OVERLAY", u"OWNED", u"OWNER", u"PARSER", u"PARTIAL", u"PARTITION",
    u"PASSING", u"PASSWORD", u"PLACING", u"PLANS", u"POSITION", u"PRECEDING", u"PRECISION",
    u"PREPARE", u"PREPARED", u"PRESERVE", u"PRIMARY", u"PRIOR", u"PRIVILEGES", u"PROCEDURAL",
    u"PROCEDURE", u"QUOTE", u"RANGE", u"READ", u"REAL", u"REASSIGN", u"RECHECK", u"RECURSIVE",
    u"REF", u"REFERENCES", u"REINDEX", u"RELATIVE", u"RELEASE", u"RENAME", u"REPEATABLE",
    u"REPLACE", u"REPLICA", u"RESET", u"RESTART", u"RESTRICT", u"RETURNING", u"RETURNS",
    u"REVOKE", u"RIGHT", u"ROLE", u"ROLLBACK", u"ROW", u"ROWS", u"RULE", u"SAVEPOINT",
    u"SCHEMA", u"SCROLL", u"SEARCH", u"SECOND", u"SECURITY", u"SELECT", u"SEQUENCE",
    u"SEQUENCES", u"SERIALIZABLE", u"SERVER", u"SESSION", u"SESSION_USER", u"SET", u"SETOF",
    u"SHARE", u"SHOW", u"SIMILAR", u"SIMPLE", u"SMALLINT", u"SNAPSHOT", u"SOME", u"STABLE",
    u"STANDALONE", u"START", u"STATEMENT", u"STATISTICS", u"STDIN", u"STDOUT", u"STORAGE",
    u"STRICT", u"STRIP", u"SUBSTRING", u"SYMMETRIC", u"SYSID", u"SYSTEM", u"TABLE", u"TABLES",
    u"TABLESPACE", u"TEMP", u"TEMPLATE", u"TEMPORARY", u"TEXT", u"THEN", u"TIME", u"TIMESTAMP",
    u"TO", u"TRAILING", u"TRANSACTION", u"TREAT", u"TRIGGER", u"TRIM", u"TRUE", u"TRUNCATE",
    u"TRUSTED", u"TYPE", u"TYPES", u"UNBOUNDED", u"UNCOMMITTED", u"UNENCRYPTED", u"UNION",
    u"UNIQUE", u"UNKNOWN", u"UNLISTEN", u"UNLOGGED", u"UNTIL", u"UPDATE", u"USER", u"USING",
    u"VACUUM", u"VALID", u"VALIDATE", u"VALIDATOR", u"VALUE", u"VALUES", u"VARCHAR",
    u"VARIADIC", u"VARYING", u"VERBOSE", u"VERSION", u"VIEW", u"VOLATILE", u"WHEN", u"WHERE",
    u"WHITESPACE", u"WINDOW", u"WITH", u"WITHOUT", u"WORK", u"WRAPPER", u"WRITE", u"XML",
    u"XMLATTRIBUTES", u"XMLCONCAT", u"XMLELEMENT", u"XMLEXISTS", u"XMLFOREST", u"XMLPARSE",
    u"XMLPI", u"XMLROOT", u"XMLSERIALIZE", u"YEAR", u"YES", u"ZONE",
};

} // namespace

std::span<const char16_t *const> BuiltInReservedWords()
{
    return std::span<const char16_t *const>(kReservedWords);
}

void AddReservedWords(QStringList &List)
{
    List.reserve(List.size() + static_cast<qsizetype>(std::size(kReservedWords)));
    for (const char16_t *w : kReservedWords)
        List.append(QString::fromUtf16(w));
}

bool IsReservedWord(QStringView word)
{
    // One upper-case set, built on first use.
    static const QSet<QString> words = [] {
        QStringList list;
        AddReservedWords(list);
        return QSet<QString>(list.cbegin(), list.cend());
    }();
    return words.contains(word.toString().toUpper());
}

void SortWordsCaseInsensitive(QStringList &list)
{
    std::stable_sort(list.begin(), list.end(), [](const QString &a, const QString &b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
}

QStringList UniqueWordsCaseInsensitive(const QStringList &list)
{
    QStringList out;
    out.reserve(list.size());
    QSet<QString> seen;
    for (const QString &w : list) {
        const QString key = w.toCaseFolded();
        if (seen.contains(key))
            continue;
        seen.insert(key);
        out.append(w);
    }
    return out;
}

QStringList MergeKeywordList(const QStringList &userWords)
{
    QStringList list = userWords;
    AddReservedWords(list);
    // After the first exit the stored words include the built-in ones; keep each word
    // once so that the keyword list does not grow by a full copy at every start.
    list = UniqueWordsCaseInsensitive(list);
    SortWordsCaseInsensitive(list);
    return list;
}
