#pragma once
// Reading of statement text as the server's lexer sees it: colon parameters and the kind
// of a statement. String literals ('…', E'…'), quoted identifiers, dollar quotes, "--" and
// nested "/* */" comments are skipped; "::" casts, ":=" and array slices are not parameters.
#include <QString>
#include <QStringList>

namespace db {

// The statement with every ":NAME" replaced by "$n", n being the 1-based index of NAME
// among the distinct names in order of first appearance. Names compare without regard to
// case; a quoted name (:"Name") keeps its case and may hold any character but '"'.
struct ParsedSql {
    QString text;
    QStringList names; // one per distinct parameter, as first written (without quotes)
};
ParsedSql parseParams(const QString &sql);

enum class CommandKind {
    Select,        // returns rows: SELECT, VALUES, TABLE, WITH … SELECT, SHOW, EXPLAIN, FETCH
    SelectForLock, // SELECT … FOR UPDATE / FOR SHARE / FOR NO KEY UPDATE / FOR KEY SHARE
    Insert,
    Update,
    Delete,
    Create,
    Alter,
    Drop,
    Commit, // COMMIT, END
    Rollback,
    Other, // everything else (SET, BEGIN, GRANT, CALL, SELECT … INTO, …)
};

struct StatementInfo {
    CommandKind kind = CommandKind::Other;
    QString keyword; // first keyword, upper case ("SELECT", "WITH", "CREATE", …); empty for blank text
    bool cursorable = false; // may run behind DECLARE … CURSOR (plain read-only query, one statement)
    QString cursorText;      // the text to put behind DECLARE (a closing ";" removed)
};
StatementInfo classify(const QString &sql);

// Whether running the text may change what the catalog shows this session: names, columns,
// privileges. Each statement of the text (split at ";" outside parentheses, literals and
// comments) is judged by its first keyword. Reads and data changes (SELECT, VALUES, TABLE,
// WITH, INSERT, UPDATE, DELETE, MERGE, COPY, TRUNCATE), cursor, prepared-statement,
// session-setting and transaction commands that keep the block (BEGIN, COMMIT, SAVEPOINT,
// RELEASE) and maintenance (VACUUM, ANALYZE, CLUSTER, REINDEX, REFRESH, CHECKPOINT, LOCK,
// LISTEN, NOTIFY) do not; EXPLAIN is judged by the statement it explains. Everything else
// may: CREATE, ALTER, DROP, COMMENT, GRANT, REVOKE, SELECT … INTO, ROLLBACK (it can undo
// DDL), PREPARE TRANSACTION, COMMIT PREPARED, SET ROLE / SESSION AUTHORIZATION and RESET
// ALL (privileges decide what the catalog views show), CALL and DO, DISCARD, and any
// keyword not named here. A routine called from a SELECT is not looked into.
bool mayChangeCatalog(const QString &sql);

// True for a keyword that starts or ends a transaction or savepoint (BEGIN, START, COMMIT,
// END, ROLLBACK, ABORT, SAVEPOINT, RELEASE).
bool isTransactionControl(const QString &keyword);

} // namespace db
