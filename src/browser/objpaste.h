#pragma once
// The pasting of copied objects as plain functions: the schema a paste goes to, the index
// names a table's copy script creates, and the renaming of a copied object's script to its
// new schema and name. Renaming works on whole tokens of the SQL text (core's tokenizer):
// a name is only ever replaced where it stands as a whole identifier, never inside another
// name, a string literal, a comment or a routine body, and every new name is written
// through QuoteIdentifier.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// The schema a paste creates its objects in, from the selected tree node: a schema node
// (image 4 or 126) gives its own text; the database root (image 1), no node (Level -1) and,
// with the types-first tree (TreeSort not 0), any other node give the login user's name;
// with the schemas-first tree any other node gives the text of its parent.
QString PasteTargetSchema(int Level, int Image, const QString &NodeText, const QString &ParentText,
                          int TreeSort, const QString &UserName);

// The names of the indexes a table script creates, in order of appearance: the name after
// "CREATE [UNIQUE] INDEX" and the name of every "CONSTRAINT name PRIMARY KEY" or
// "CONSTRAINT name UNIQUE". Each name once.
QStringList ScriptIndexNames(const QStringList &Lines);

struct TPasteRename {
    int Type = 0;          // object-type code of the copied object
    QString Schema, Name;  // the copied object
    QString NewSchema, NewName;
    // Table scripts: index names as the script has them, and the names they get.
    QList<QPair<QString, QString>> IndexNames;
};

// The script of a copied object renamed for its copy:
// - every qualified "schema.name" of the copied object becomes the new schema and name;
// - when its first statement names the object without a schema (triggers, rules, schemas),
//   the name after the object's keyword (TRIGGER, RULE, SCHEMA; else its first whole
//   occurrence in that statement) becomes the new name, in every statement;
// - functions, types, triggers and rules: in the first statement, up to the routine body or
//   the rule's action, every other name qualified with the copied schema moves to the new
//   schema (argument and return types, a trigger's or rule's table);
// - tables: each index name of IndexNames after INDEX, CONSTRAINT or CLUSTER ON becomes its
//   new name.
// Literals, comments, quoted bodies and other names are left exactly as they were.
QStringList RenamePastedScript(const QStringList &Lines, const TPasteRename &R);

// The statement that copies a table's rows into its copy.
QStringList PasteDataLines(const QString &Schema, const QString &Name, const QString &NewSchema,
                           const QString &NewName);
