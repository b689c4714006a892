#pragma once
// The script-name table as plain statements: the look-up of a table or view of that schema
// and name, the read of its four columns, its CREATE TABLE, the INSERT of one row per object
// of the database (optionally only the objects of one schema, given as the parameter
// :SCHEMA), and the registration value per database in the script option NameTable.
#include <QString>
#include <QStringList>

// One row per table or view of schema :SCHEMA and name :TBLNM ('TABLE' / 'VIEW', schema, name).
QString NameTableCheckSQL();
// "SELECT owner, object_name, object_type, script_name FROM schema.name" (names quoted).
QString NameTableSelectSQL(const QString &Schema, const QString &Name);
// The one-line CREATE TABLE of the four VARCHAR(255) columns.
QString NameTableCreateSQL(const QString &Schema, const QString &Name);
// INSERT INTO schema.name of every table, index, view, function, type, trigger, sequence,
// constraint and rule; with OwnSchemaOnly only those of the schema in the parameter :SCHEMA
// (for triggers the schema of their table or view).
QString NameTableInitialDataSQL(const QString &Schema, const QString &Name, bool OwnSchemaOnly);

// The registration of a database in the NameTable option lines ("database=schema.name"; read
// with NameTableOf): an empty value removes it.
void SetRegisteredNameTable(QStringList &Lines, const QString &Database, const QString &Value);
// A registration split at its first ".": schema (empty when no ".") and name.
void SplitNameTable(const QString &Value, QString &Schema, QString &Name);
