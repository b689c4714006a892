#pragma once
// An index as the catalogs hold it, and its CREATE INDEX text. The parts come from pg_index
// and pg_class (method, key columns and expressions, per-column collation and operator class
// as the server prints them, DESC and NULLS from indoption, INCLUDE columns, reloptions,
// predicate, tablespace), so an index written back reads the same in pg_get_indexdef. The
// index editor, the constraint editor (the index behind a key or an exclusion) and the table
// script all write indexes through these functions.
#include <QChar>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class TkdConnForm;
struct TScriptBatchItem;

struct TIndexColumn {
    QString Name;          // a plain table column (as stored, unquoted); empty for an expression
    QString Expression;    // an expression element as the server writes it (with its parentheses)
    QString Collation;     // the COLLATE name as the server writes it (quoted); empty: the default
    QString OpClass;       // the operator class as the server writes it (with options); empty: default
    bool Desc = false;
    bool NullsFirst = false; // NULLS FIRST (the default of DESC), false: NULLS LAST
    bool operator==(const TIndexColumn &) const = default;
};

struct TIndexDef {
    QString Schema, Name;          // the index
    QString TableSchema, Table;    // its table
    QChar TableKind;               // relkind of the table: r, p, m, t
    QString Method = QStringLiteral("btree");
    bool Unique = false;
    bool NullsNotDistinct = false;
    QList<TIndexColumn> Columns;   // key columns in index order
    QStringList Include;           // INCLUDE columns (unquoted)
    QStringList Options;           // reloptions, "name=value" each
    QString Where;                 // predicate as pg_get_expr writes it; empty: none
    QString Tablespace;            // empty: the database's default
    QString Definition;            // pg_get_indexdef as loaded (empty for a new index)
    QString ConstraintName;        // the constraint the index backs; empty: none
    QChar ConstraintType;          // p, u, x when ConstraintName is set
    bool operator==(const TIndexDef &) const = default;
};

// Options of the text.
struct TIndexTextOptions {
    QString Prefix;                // schema prefix of the table ("" or "schema.")
    QString NewName;               // non-empty: the index under this name (unquoted)
    QString NewTable;              // non-empty: on this table (written as given, already quoted)
    bool Tablespace = true;        // write TABLESPACE when the index has one
};

// Reads one index by schema and name; false when there is none. Server errors are thrown.
bool LoadIndexDef(TkdConnForm *Conn, const QString &Schema, const QString &Name, TIndexDef &Def);
// Reads the index with this OID (as text); false when there is none.
bool LoadIndexDefByOid(TkdConnForm *Conn, const QString &Oid, TIndexDef &Def);
// Every index of a table (those behind constraints included, see ConstraintName), by name.
QList<TIndexDef> LoadTableIndexDefs(TkdConnForm *Conn, const QString &Schema, const QString &Table);
// The same for the table (or materialized view) with this OID (as text), which also reaches a
// temporary table whose schema the caller only knows as pg_temp.
QList<TIndexDef> LoadTableIndexDefsByOid(TkdConnForm *Conn, const QString &TableOid);
// Every index of the tables with these OIDs (as text) in one statement (script loops over a
// selection of tables), each with the facts LoadTableIndexDefsByOid gives.
QList<TIndexDef> LoadTableIndexDefsByOids(TkdConnForm *Conn, const QStringList &TableOids);

// Many indexes in one statement (script loops over a selection), with the facts the reads above
// give: those among Items (schema and name) that exist, by TScriptBatch::Key; and those
// with these OIDs (as text), by OID. LoadIndexDef takes an announced index from the first.
QHash<QString, TIndexDef> LoadIndexDefBlock(TkdConnForm *Conn, const QList<TScriptBatchItem> &Items);
QHash<QString, TIndexDef> LoadIndexDefsByOids(TkdConnForm *Conn, const QStringList &Oids);

// Splits the parts of a pg_get_indexdef text: the elements of its key list (top-level comma
// split, quotes and parentheses respected). Empty when the text has no list.
QStringList IndexDefElements(const QString &Definition);
// The element text of one column: its key as written with COLLATE, operator class, DESC and
// NULLS. `Ordered`: the method keeps an order (only then are DESC and NULLS written).
QString IndexColumnText(const TIndexColumn &Col, bool Ordered);
// Fills Collation and OpClass of Col from the element text `Element` whose key is `Key`
// (the element without its key is " COLLATE x opclass DESC NULLS ..."). False when the
// element does not begin with the key.
bool ParseIndexElement(const QString &Element, const QString &Key, TIndexColumn &Col);
// The first character of a catalog code ("p", "u", ...); Default for an empty text.
QChar FirstChar(const QString &Text, QChar Default = QChar());
// A predicate in the parentheses WHERE needs (kept when it already is one parenthesised whole).
QString IndexPredicateText(const QString &Predicate);
// True for the methods whose indexes keep an order (DESC / NULLS apply).
bool IndexMethodOrdered(const QString &Method);

// CREATE INDEX statement lines, ending with ";". A partitioned table's index is created
// on the table and its partitions (never ON ONLY).
QStringList IndexCreateLines(const TIndexDef &Def, const TIndexTextOptions &Opt = {});
// "DROP INDEX schema.name" and ";".
QStringList IndexDropLines(const QString &Schema, const QString &Name);
QString IndexDropStatement(const QString &Schema, const QString &Name);
// "ALTER INDEX schema.name SET TABLESPACE ts" and ";".
QStringList IndexTablespaceLines(const QString &Schema, const QString &Name, const QString &Tablespace);
// The WITH (...) text of reloptions ("fillfactor='70', ..."); empty for none.
QString IndexOptionsText(const QStringList &Options);
