#pragma once
// A table as the table editor shows it, read from the catalogs of a PostgreSQL 15 server, and
// the CREATE, ALTER and DROP texts written from it. Plain values and pure functions: the
// window, the script entry of the editor table and the tests use the same code.
#include "editors/index_script.h"

#include <QHash>
#include <QList>
#include <functional>
#include <QString>
#include <QStringList>

class TkdConnForm;
struct TScriptBatchItem;

struct TTableColumn {
    QString Name;
    QString TypeName;      // the type as the grid shows it (no length), e.g. "character varying[]"
    QString Length;        // "10", "12,2" or empty
    QString FullType;      // format_type with the modifier, as loaded; empty for a new column
    bool NotNull = false;
    bool PrimaryKey = false;
    QString Default;       // pg_get_expr of the default (empty for a generated column)
    QString Generated;     // expression of a stored generated column
    QString Identity;      // "a" ALWAYS, "d" BY DEFAULT, empty: none
    QString IdentityOptions; // sequence options of an identity column, "(SEQUENCE NAME ... )"
    QString Collation;     // a collation other than the type's, quoted
    QString Comment;
    bool Local = true;     // false: inherited from a parent only (not written in CREATE)
    int LoadPos = 0;       // position at load (1, 2, ...); 0 for a column added in the window
    int AttNum = 0;
    bool operator==(const TTableColumn &) const = default;
};

struct TTableConstraint {
    QString Name;
    QChar Type;            // p, u, f, c, x
    QString Definition;    // pg_get_constraintdef
    QString IndexWith;     // reloptions of the key's index: "fillfactor=80, ..."
    QString IndexTablespace;
    bool Validated = true;
    QString Comment;       // the constraint's own comment
    QString IndexComment;  // the comment of a key's index
    bool operator==(const TTableConstraint &) const = default;
};

struct TTableIndex {
    QString Name;
    QString Definition;    // pg_get_indexdef as loaded (what the window lists)
    bool Clustered = false;
    QString Comment;
    TIndexDef Index;       // the parts the CREATE INDEX text is written from
    bool operator==(const TTableIndex &) const = default;
};

struct TTableTrigger {
    QString Name;
    QString Definition;    // pg_get_triggerdef
    QChar Enabled;         // O, D, R, A
    QString Comment;
    bool operator==(const TTableTrigger &) const = default;
};

// A sequence owned by a column (serial): created before the table, owned after it.
struct TOwnedSequence {
    QString Schema, Name, Column;
    QStringList CreateLines; // CREATE SEQUENCE ... ending with ";"
    bool operator==(const TOwnedSequence &) const = default;
};

struct TTableDef {
    QString Schema, Name;
    QString Oid;                          // pg_class.oid of a loaded table
    QString Comment;
    QChar Persistence = QLatin1Char('p'); // p, u, t
    QChar RelKind = QLatin1Char('r');     // r, p (partitioned), t (TOAST), f
    QString Tablespace;                   // empty: the database's default
    QString Options;                      // reloptions joined by ", "
    QString OnCommit;                     // temporary tables: "DELETE ROWS", "DROP", empty
    QStringList Parents;                  // INHERITS, qualified and quoted
    QString PartitionBy;                  // pg_get_partkeydef
    QString PartitionOf;                  // the parent of a partition, qualified and quoted
    QString PartitionBound;               // "FOR VALUES ..." / "DEFAULT"
    QString Owner;
    QList<TTableColumn> Columns;
    QList<TTableConstraint> Constraints;  // locally defined only
    QList<TTableIndex> Indexes;           // indexes not behind a constraint
    QList<TTableTrigger> Triggers;        // user triggers
    QList<TOwnedSequence> Sequences;
    bool operator==(const TTableDef &) const = default;
};

// Options of the text generators.
struct TTableTextOptions {
    QString Prefix;           // the schema prefix of the CREATE line ("" or "schema.")
    bool UseLowerName = false;
    bool WithIndexes = false; // CREATE INDEX statements after the table
    QString CopySchema, CopyName; // non-empty: a copy under this name
    // A rebuild: the owned sequences stand already (detached before the drop) and are
    // owned again by the rebuild itself, so the text neither creates nor owns them.
    bool KeepSequences = false;
};

// Reads the table; false when there is no such table. Server errors are thrown. In a script
// loop that announced the table (core/kdscriptbatch.h) the facts come from the block read below.
bool LoadTableDef(TkdConnForm *Conn, const QString &Schema, const QString &Name, TTableDef &Def);
// Many tables with the facts LoadTableDef gives, in one statement per kind of fact (the
// tables, parents, columns, constraints, indexes and their parts, triggers, owned sequences):
// those among Items (schema and name) that exist, by TScriptBatch::Key.
QHash<QString, TTableDef> LoadTableDefBlock(TkdConnForm *Conn, const QList<TScriptBatchItem> &Items);

// The grid's type and length of a formatted type: ("character varying(10)[]") gives
// "character varying[]" and "10"; "numeric(12,2)" gives "numeric" and "12,2"; time, timestamp
// and interval keep their modifier in the type.
void SplitTypeText(const QString &Formatted, QString &TypeName, QString &Length);
// The type part of a column line: the base type, "(" length ")" and "[]" again for arrays.
QString ColumnTypeText(const TTableColumn &Col, bool UseLowerName);

// True when the edited table cannot be reached by ALTER TABLE: a column moved or inserted
// between others, or a changed ON COMMIT. A new table (empty loaded name) is always created.
bool TableNeedsRebuild(const TTableDef &Loaded, const TTableDef &Edited);

// A default typed as a plain word (letters, digits, "_") for a character column, quoted as a
// literal; anything else (numbers, quoted texts, expressions, value keywords such as
// CURRENT_USER) unchanged.
QString AutoQuotedDefault(const QString &TypeName, const QString &Default);

QStringList TableCreateLines(const TTableDef &Def, const TTableTextOptions &Opt);
// ALTER statements (each ending with a line ";") changing Loaded into Edited; empty when
// nothing changed. Columns match by LoadPos.
QStringList TableAlterLines(const TTableDef &Loaded, const TTableDef &Edited, bool UseLowerName = false);
QStringList TableDropLines(const QString &Schema, const QString &Name, bool Cascade);
// The statements of one index of the table: CREATE INDEX (written by IndexCreateLines), its
// comment and CLUSTER ON. `Table` is the table as the CREATE INDEX names it, `ExactTable` the
// qualified name CLUSTER ON uses, `IndexPrefix` the schema prefix of the index's comment ("" or
// "schema."); a non-empty `NewName` writes the index under that name (a copy's index).
QStringList TableIndexLines(const TTableIndex &Ix, const QString &Table, const QString &ExactTable,
                            const QString &IndexPrefix, const QString &NewName = QString());
// The trigger statements of the table (CREATE TRIGGER, then DISABLE/ENABLE REPLICA/ALWAYS).
QStringList TableTriggerLines(const TTableDef &Def);
// The name of a backup table for a rebuild: "name_bk" cut to fit 63 bytes with a number
// when `taken` says the name is used.
QString TableBackupName(const QString &Name, const std::function<bool(const QString &)> &taken);
