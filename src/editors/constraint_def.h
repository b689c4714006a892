#pragma once
// A table constraint (primary key, unique, foreign key, check, exclusion) as the catalogs hold
// it, and its ALTER TABLE ... ADD CONSTRAINT / DROP CONSTRAINT text. Attributes the server
// keeps apart from the key (DEFERRABLE, INITIALLY DEFERRED, MATCH, NOT VALID, NO INHERIT, the
// index's WITH options and tablespace) are read and written back, so a rebuilt constraint
// reads the same in pg_get_constraintdef. Plain values; the window and the script entry share them.
#include "editors/index_script.h"

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

class TkdConnForm;
struct TScriptBatchItem;

// One element of an exclusion constraint: the index column and its operator.
struct TExcludeElement {
    TIndexColumn Column;
    QString Operator;      // as written after WITH: "&&" or "OPERATOR(schema.op)"
    bool operator==(const TExcludeElement &) const = default;
};

struct TConstraintDef {
    QString Schema, Table, Name;
    QChar Type = QLatin1Char('p');  // p, u, f, c, x
    bool Deferrable = false;
    bool Deferred = false;
    bool Validated = true;          // false: NOT VALID (foreign keys and checks)
    bool NoInherit = false;         // checks
    // Primary key and unique: key columns (unquoted), INCLUDE columns, NULLS NOT DISTINCT.
    QStringList Columns;
    QStringList Include;
    bool NullsNotDistinct = false;
    // Foreign key: own and referenced columns in key order, the referenced table and the
    // referenced index (the constraint's own), actions a/r/c/n/d, match f/p/s, the
    // columns of ON DELETE SET NULL / SET DEFAULT (...).
    QStringList RefColumns;
    QString RefSchema, RefTable, RefIndex;
    QChar UpdateAction = QLatin1Char('a');
    QChar DeleteAction = QLatin1Char('a');
    QChar Match = QLatin1Char('s');
    QStringList DeleteSetColumns;
    // Check: the condition as pg_get_expr writes it (or as typed).
    QString Check;
    // Exclusion: method and elements; the predicate.
    QString Method = QStringLiteral("gist");
    QList<TExcludeElement> Elements;
    QString Where;
    // The index behind a key or exclusion: reloptions and tablespace (empty: the default).
    QStringList IndexOptions;
    QString IndexTablespace;
    QString Definition;             // pg_get_constraintdef as loaded
    bool operator==(const TConstraintDef &) const = default;
};

// Reads a constraint of a table; false when there is none. Server errors are thrown.
bool LoadConstraintDef(TkdConnForm *Conn, const QString &Schema, const QString &Table, const QString &Name,
                       TConstraintDef &Def);
// Many constraints in two statements (script loops over a selection), with the facts the
// read above gives: those among Items (schema, table, name) that exist, by TScriptBatch::Key.
// LoadConstraintDef takes an announced constraint from here.
QHash<QString, TConstraintDef> LoadConstraintDefBlock(TkdConnForm *Conn, const QList<TScriptBatchItem> &Items);

// The five kinds as the type box lists them (PRIMARY KEY, UNIQUE KEY, FOREIGN KEY, CHECK,
// EXCLUDE) and back.
int ConstraintKindIndex(QChar Type);
QChar ConstraintKindType(int Index);

// Radio index 0..4 of an action code a, r, c, n, d and back.
int ConstraintActionIndex(QChar Action);
QChar ConstraintActionCode(int Index);

// "CHECK (" + condition + ")" with line breaks made blanks.
QString ConstraintCheckText(const QString &Condition);

// ALTER TABLE prefix.table ADD CONSTRAINT name / the clause / ";". Prefix: "" or "schema.".
QStringList ConstraintAddLines(const TConstraintDef &Def, const QString &Prefix);
// ALTER TABLE schema.table DROP CONSTRAINT name, ";" (always qualified).
QStringList ConstraintDropLines(const QString &Schema, const QString &Table, const QString &Name);
QString ConstraintDropStatement(const QString &Schema, const QString &Table, const QString &Name);
