#pragma once
// Where the connection window's script output writes: the file of each object's script and
// of its privileges, by the script options and the tree order. Every path part that comes
// from the database (schema, type name, object name, a name table's script name) passes
// SafePathPart, so no file lands outside the output folder. Plain functions, tested alone.
#include <QString>

struct TScriptPlan {
    QString Path;           // the output folder (ends with "/") or, with OneScript, the file
    bool OneScript = false;
    bool Dir = false;
    bool Grant = false;
    int GrantMode = 0;      // 0 own script, 1 a GRANT folder, 2 one _GRANT.SQL file
    bool TypesFirst = false; // the tree shows types first
};

// The output folder as stored: "\" counts as "/", trimmed, one "/" at the end. Empty stays
// empty (the dialog refuses it: an empty folder is never taken as the root).
QString NormalizeScriptFolder(const QString &Path);

// The file name of an object's script: ScriptName (from the name table) when not empty,
// else Name + ".SQL"; either through SafePathPart.
QString ScriptFileName(const QString &Name, const QString &ScriptName);

// The script file of an object (OneScript: the output file itself).
QString ScriptFilePath(const TScriptPlan &Plan, const QString &Schema, const QString &TypeName,
                       const QString &FileName);
// The file its privileges go to; empty when they go into the script itself (GrantMode 0 or
// OneScript).
QString GrantFilePath(const TScriptPlan &Plan, const QString &Schema, const QString &TypeName,
                      const QString &FileName);

// Whether an index backs a primary-key or unique constraint (parameters OWNER, NAME).
QString BackingConstraintSQL();

// The test query of a name table on OK of the options dialog: every part quoted (a one-part
// name too), no rows read.
QString NameTableTestSQL(const QString &Table);
