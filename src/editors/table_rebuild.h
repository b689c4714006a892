#pragma once
// The rebuild of a table that ALTER TABLE cannot reach (a changed column order, a column put
// between others, the source page): one statement list, run in one transaction with the stop
// at the first error, that copies the rows aside, drops and creates the table, copies the
// rows back by column number and puts back everything that hung on the old table.
//
// Everything the list needs is read by the table's oid before anything runs
// (`ReadRebuildFacts`); the list itself is a pure function of the loaded definition, the
// edited one and those facts (`TableRebuildLines`), so its order is tested without a server.
#include "editors/table_def.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class TkdConnForm;

// One group of privileges of an ACL: grantor, grantee (empty: PUBLIC), the column number
// (0: the relation itself) and whether the grant option comes with them.
struct TRebuildGrant {
    QString Grantor, Grantee;
    int AttNum = 0;
    QStringList Privileges; // "SELECT", "UPDATE", ...
    bool Grantable = false;
    bool CanSetRole = true; // the login may act as the grantor (SET ROLE)
    bool operator==(const TRebuildGrant &) const = default;
};

// A relation's ACL: `Set` false means the default privileges (relacl NULL).
struct TRebuildAcl {
    bool Set = false;
    QString Owner;
    QList<TRebuildGrant> Grants;
};

// A view or materialised view that depends on the table, directly or through other views.
struct TRebuildView {
    QString Schema, Name;
    QChar Kind = QLatin1Char('v'); // v, m
    int Depth = 1;                 // longest path from the table; views are made in this order
    QStringList CreateLines;       // CREATE, owner, comments, defaults, indexes, rules, triggers
    TRebuildAcl Acl;
    QMap<int, QString> ColumnNames; // attnum -> name, for column grants
};

// A foreign key of another table that references the rebuilt one.
struct TIncomingKey {
    QString Table;      // qualified and quoted
    QString Name;
    QString Definition; // pg_get_constraintdef
    QString Comment;
};

// The value of an identity column's sequence, put back after the rows.
struct TIdentityValue {
    QString Column;     // loaded name
    QString Sequence;   // qualified and quoted
    QString LastValue;  // empty: never used
};

struct TRebuildFacts {
    QString CurrentUser;
    QStringList Refusals;         // children, partitions, policies, publications, rules elsewhere
    QStringList IndexLines;       // CREATE INDEX, CLUSTER ON, comments
    QStringList TriggerLines;     // CREATE TRIGGER, enable state, comments
    QStringList RuleLines;        // CREATE RULE, enable state, comments
    QStringList StatisticsLines;  // CREATE STATISTICS, targets, comments
    QStringList TableLines;       // row security, replica identity
    QList<TIncomingKey> IncomingKeys;
    QList<TRebuildView> Views;    // creation order
    QList<TIdentityValue> IdentityValues;
    TRebuildAcl Acl;              // the table's and its columns' ACL
    QString BackupName;           // free name of the backup table in the table's schema
};

// How the list is built.
struct TRebuildOptions {
    bool Backup = true;        // copy the rows aside (off: the rows are given up)
    bool CopyBack = true;      // copy them back (off with the source page)
    bool KeepBackup = false;   // leave the backup table (the source page)
    bool UseLowerName = false;
    QString Prefix;            // schema prefix of the CREATE line
};

// Reads the facts of a loaded table (`Loaded.Oid`). Server errors are thrown.
void ReadRebuildFacts(TkdConnForm *Conn, const TTableDef &Loaded, TRebuildFacts &Facts);

// The statement list (a line ";" ends each statement). `Source`: the source page's text in
// place of the CREATE text written from `Edited`.
QStringList TableRebuildLines(const TTableDef &Loaded, const TTableDef &Edited, const TRebuildFacts &Facts,
                              const TRebuildOptions &Opt, const QStringList *Source = nullptr);

// The GRANT statements that put an ACL back on `Target` (a relation, qualified and quoted):
// REVOKE ALL from the owner first when the ACL was set, then each group in an order in which
// every grantor holds its grant option, under SET ROLE of grantors other than the owner.
QStringList RebuildGrantLines(const QString &Target, const TRebuildAcl &Acl, const QMap<int, QString> &Columns);

// Grants that the login cannot give as their grantor (it may not SET ROLE to it): they are
// recorded as the login's. One line per grant for the confirmation.
QStringList GrantsRecordedAsLogin(const TRebuildFacts &Facts, const QString &Table);
