#pragma once
// Where a saved source (the script of an object kept just before or just after an editor
// changes it) goes: the folder, the numbered file name and the header line. Plain functions,
// so the file rules are tested without a window; the connection window runs them.
#include <QDateTime>
#include <QString>
#include <QStringList>

// One group of the options SaveBeforeSrc* or SaveAfterSrc*.
struct TSavedSourceOptions {
    bool Save = false;
    QString Dir;
    bool Renum = false;
    bool Dialog = false;
    bool Head = false;
};
TSavedSourceOptions SavedSourceOptions(bool After);

// The folder: Dir, then the schema (appended directly, without a separator, as the option
// is documented), then "/" and the type name. Schema and type name pass SafePathPart, so a
// hostile name never leads out of Dir. A backslash in Dir counts as a separator.
QString SavedSourceFolder(const QString &Dir, const QString &Schema, const QString &TypeName);
// The file in Folder: Base + ".SQL"; numbered: Base + "_NN.SQL" with the first free number
// from 00 to 99, else 100. Base passes SafePathPart.
QString SavedSourceFile(const QString &Folder, const QString &Base, bool Renum);
// "-- <date> <time> 変更前ソース" (After: 変更後ソース) in the program's date and time formats.
QString SavedSourceHeader(const QDateTime &When, bool After);
// The script-name table of a database from the option NameTable ("database=table"
// entries); empty when none is set.
QString NameTableOf(const QStringList &NameTable, const QString &Database);
// The look-up statement of SCRIPT_NAME in that table (parameters OWNER, OBJECT_NAME,
// OBJECT_TYPE); the table name is quoted part by part at ".".
QString NameTableSQL(const QString &Table);
