#pragma once
// The statements and rules of the object-list commands that need no window: drop, rename in
// place and index rebuild statements, who may be renamed, and the macros of user commands.
// An object travels as its list row: type code, schema, name and the sub-items the list
// query filled (table of a trigger, constraint or rule; argument signature of a function).
#include <QString>
#include <QStringList>

// The fields of one object-list row the commands read.
struct TListObject {
    int Type = 0;
    QString Schema;
    QString Name;
    QString Table;     // trigger, constraint, rule: the table (sub-item 11)
    QString Arguments; // function: the argument signature (sub-item 12)
    QString Oid;       // function or type: the OID (sub-item 8)
};

// Sub-item positions of an object-list row.
enum : int {
    kSubSchema = 0,
    kSubTypeName = 1,
    kSubOid = 8,
    kSubTable = 11,
    kSubArguments = 12,
};

// Builds the fields of a row from its caption, image and sub-items.
TListObject ListObjectOf(const QString &Caption, int ImageIndex, const QStringList &SubItems);

// The DROP statement of an object (empty for a type the list never holds). Cascade is
// written for tables, functions and types only.
QString DropStatement(const TListObject &O, bool Cascade);
// True when Cascade can apply to the type (tables and types offer the box).
bool OffersCascade(int Type);

// The rename statement; empty when the type cannot be renamed. The table of a trigger is
// schema-qualified, so it never resolves through the search path to another schema's table;
// ConstraintTable is the table column of a constraint row.
QString RenameStatement(const TListObject &O, const QString &NewName,
                        const QString &ConstraintTable = QString());
// Whether a row's caption may be edited: the types 45, 46, 47, 52, 55, 57, 58, 66, only in
// the login schema (exact), a constraint only from server 9.2 (90200) on.
bool MayRenameObject(const TListObject &O, const QString &LoginSchema, int DBVer);

// The two lines ("REINDEX INDEX schema.name", ";") of one index.
QStringList ReindexLines(const QString &Schema, const QString &Name);

// A user command's text with the macros replaced for one row (case-insensitive, every
// occurrence): &NAME, &OWNER, &TYPE, &0, then &n for n from the last sub-item but one down
// to 1, each by sub-item n - 1. Replacement texts are inserted raw.
QString ExpandUserMacros(const QString &Sql, const QString &Caption, const QStringList &SubItems);

// One user command as its file gives it.
struct TUserCommand {
    bool Dialog = false;    // ask before running
    bool SQLWindow = false; // run in a new SQL window
    bool Error = false;     // ignore errors
    QString SQL;
};
// The file of a user command: the data folder's "USERCMD/" + name + ".cmd".
QString UserCommandPath(const QString &Name);
// Reads a command file: a KDDOC document (KDDOC-VERSION 2 or lower; a missing or unreadable
// version counts as too new) whose first USERCMD element gives the flags and the text; no
// such element gives an empty command. Throws TkdFileError with the message to show: a file
// that cannot be read, no XML, another root or a newer version.
TUserCommand GetCommandValue(const QString &Path);
