#pragma once
// Cutting the SQL window's text into statements and cleaning each statement's lines. A line
// that is ";" once trimmed of blanks and control characters ends a statement; everything
// else belongs to the statement being collected. No server is involved.
#include <QList>
#include <QString>
#include <QStringList>

namespace db { enum class CommandKind; }

// Text without the characters of code 32 or below at both ends.
QString TrimControl(const QString &Line);
// True when the line ends a statement: ";" alone once trimmed (Exact: the line is exactly ";").
bool IsStatementEnd(const QString &Line, bool Exact = false);

struct TSqlStatementLines
{
    QStringList Lines; // the collected lines, uncleaned
    int FirstLine = 0; // index of the first collected line in the lines being run
    int LastLine = 0;  // index of the ";" line that ended it, or of the last line run
};

// Every statement of Lines in order, including statements that clean to nothing (the
// caller skips them). A statement after the last ";" line ends at the last line.
QList<TSqlStatementLines> SplitStatements(const QStringList &Lines, bool Exact = false);

// Leading and trailing lines that are blank or a REM / REMARK remark are removed; when the
// first or last remaining line starts with "select" (any case), TABs become blanks.
QStringList CleanStatementLines(const QStringList &Lines);
// The cleaned lines, each followed by CR LF.
QString StatementText(const QStringList &CleanLines);

// The lines of a selection: cut at each line break (CR LF, LF or CR); the part after the last
// break is the last line, even when empty.
QStringList SelectionLines(const QString &Selection);

// True when a statement of this kind loses its trailing ";" before it runs: DELETE, INSERT,
// UPDATE, CREATE, ALTER, DROP, COMMIT, ROLLBACK, except CREATE of a code object written in
// capitals (the test is case-sensitive, as users rely on it to keep a body's last ";").
bool DropsTrailingSemicolon(db::CommandKind Kind, const QString &Text);
// Text trimmed without its last ";" (the text unchanged when it does not end with one).
QString WithoutTrailingSemicolon(const QString &Text);

// True when parameter creation is off for the statement: it starts with "CREATE".
bool IsCreateStatement(const QString &Text);
