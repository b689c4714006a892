#pragma once
// A view as the view editor shows it, read from the catalogs, and its CREATE OR REPLACE
// text with the comments. Plain values and functions, used by the window and by the script
// entry of the editor table alike. A view is never dropped by a compile: its text replaces
// the stored query in place, so triggers, grants and comments on the server stay.
#include <QList>
#include <QString>
#include <QStringList>

class TkdConnForm;

struct TViewColumn {
    QString Name;
    QString Type;    // type text (time types with precision, intervals with qualifier)
    QString Length;  // length or precision text, empty for the time types
    QString Comment;
    bool operator==(const TViewColumn &) const = default;
};

struct TViewDef {
    QString Schema, Name;
    QList<TViewColumn> Columns;
    QString Comment;
    QString Definition;      // the server's query text (pg_get_viewdef), ending with ";"
    QStringList Options;     // reloptions as "key=value": security_barrier, security_invoker, check_option
    bool operator==(const TViewDef &) const = default;
};

// Reads a view (relkind 'v'); false when there is none. Server errors are thrown.
bool LoadViewDef(TkdConnForm *Conn, const QString &Schema, const QString &Name, TViewDef &Def);

// The column list of the CREATE line: "    (" then the quoted names each followed by ",";
// a line that has grown beyond 70 characters ends there (unless it holds the last name) and
// the next starts with four blanks; the last "," becomes ")".
QStringList ViewColumnListLines(const QStringList &QuotedNames);

// The WITH (...) clause of the reloptions, empty when there are none. Values that are not
// plain words are written as literals.
QString ViewOptionsClause(const QStringList &Options);

// The full text: CREATE OR REPLACE VIEW Prefix + Q(Name) [column list] [WITH (...)] AS, the
// definition lines unchanged, ";", then COMMENT ON VIEW when the comment is not blank and
// COMMENT ON COLUMN for every column with a comment.
QStringList ViewSourceLines(const TViewDef &Def, const QString &Prefix, const QString &Name, bool WithColumns);

// The COMMENT statements of what changed between two states of the same view (an emptied
// comment gives an empty literal); empty when nothing changed.
QStringList ViewCommentLines(const TViewDef &Saved, const TViewDef &Now, const QString &Prefix, const QString &Name);

// The SELECT of the data page: the chosen columns (all when none) of the view.
QString ViewSelectSQL(const QString &Schema, const QString &Name, const QStringList &Columns);

// "DROP VIEW schema.name", always qualified.
QString ViewDropStatement(const QString &Schema, const QString &Name);
