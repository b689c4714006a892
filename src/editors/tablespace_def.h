#pragma once
// The tablespace as plain values: its definition read from the catalogs (owner read
// directly, so a group role that owns it is kept; every option; the whole access list,
// login roles and PUBLIC included), the statements that create, alter, grant on and drop
// it, the statement list of a location change through a temporary name, and the catalog
// statements of the stored-objects page. Nothing here needs a window.
#include "editors/privilege_list.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class TkdConnForm;

// The two options the definition page shows, in grid order.
const QStringList &TablespaceGridOptions();

struct TTablespaceDef {
    QString Name;
    QString Owner;
    QString Location;
    // Every option as the catalog holds it ("name=value"), in catalog order.
    QStringList Options;
    bool AclNull = true;        // no explicit access list: the owner holds CREATE alone
    QList<TAclEntry> Acl;       // the items of the access list, in catalog order
    bool operator==(const TTablespaceDef &) const = default;

    // The value of option `Name` ("" when not set).
    QString Option(const QString &OptionName) const;
};

// Reads a tablespace; false when there is none of that name.
bool LoadTablespaceDef(TkdConnForm *Conn, const QString &Name, TTablespaceDef &Def);

// A value typed for an option: empty (reset) or a number the server takes; false otherwise.
bool IsTablespaceOptionValue(const QString &Value);

// One option row of the definition page: the option's name and the value typed ("" resets).
using TTablespaceOptionRow = QPair<QString, QString>;

// "CREATE TABLESPACE name", "  OWNER owner", "  LOCATION 'dir'", ";".
QStringList TablespaceCreateLines(const QString &Name, const QString &Owner, const QString &Location);
// The SET list of the rows with a value and the RESET list of the rows without one, each
// "ALTER TABLESPACE name", " SET (a = 1 , b = 2)" / " RESET (a , b)", ";"; nothing for an
// empty list. Values are written as typed (they were checked to be numbers).
QStringList TablespaceOptionLines(const QString &Name, const QList<TTablespaceOptionRow> &Rows);
// Only the SET statement of the rows with a value (a new tablespace has nothing to reset).
QStringList TablespaceSetLines(const QString &Name, const QList<TTablespaceOptionRow> &Rows);
// "ALTER TABLESPACE name", " OWNER TO owner", ";".
QStringList TablespaceOwnerLines(const QString &Name, const QString &Owner);
// GRANT / REVOKE of CREATE for one grantee ("public" for PUBLIC). Change mode: when the
// grant option goes while the privilege stays, a REVOKE first and then the plain GRANT;
// a privilege no longer held is revoked. Create mode writes only the GRANT of a held one.
QStringList TablespaceGrantLines(const QString &Name, const QString &Grantee, bool Held, bool GrantOption,
                                 bool HadGrantOption, bool CreateMode);
// The access list as statements on a newly created tablespace owned by `Owner`: a GRANT per
// grantee holding CREATE (WITH GRANT OPTION where held), and a REVOKE from the owner when
// the list takes the owner's own CREATE away. Nothing for a list that is NULL.
QStringList TablespaceAclLines(const QString &Name, const QString &Owner, bool AclNull,
                               const QList<TAclEntry> &Acl);
// "DROP TABLESPACE name", ";".
QStringList TablespaceDropLines(const QString &Name);

// The whole script of a tablespace: CREATE, every option, the whole access list.
QStringList TablespaceScriptLines(const TTablespaceDef &Def);

// A location change as one statement list that leaves the old tablespace untouched when
// the new folder is refused: CREATE under `TempName` at the new folder with the given
// options and access list, DROP of the old tablespace, RENAME of the new one to the name.
// The caller drops `TempName` again when the run stops before the rename.
QStringList TablespaceMoveLines(const QString &Name, const QString &TempName, const QString &Owner,
                                const QString &Location, const QStringList &SetLines,
                                const QStringList &AclLines);
// A temporary name that no user picks (under 63 bytes).
QString TablespaceTempName();

// The statements of the stored-objects page.
// Parameter TBS_NAME: the tablespace's total size in bytes (superusers only).
QString TablespaceSizeSQL();
// Parameters DB_NAME (the connected database), TBL_SPACE (the tablespace): one row per
// relation of the connected database stored in it (relations without a tablespace of their
// own count as stored in the database's default): tblsp_name, relname, type_name, nspname,
// rolname, use_size (bytes, from relpages as bigint times the block size).
QString TablespaceContentsSQL();
// "SELECT usesuper FROM pg_user WHERE usename = :USER_NAME".
QString TablespaceSuperUserSQL();
// The DROP statement of a stored object ("TABLE", "INDEX", "SEQUENCE"); empty for any other
// kind, which cannot be dropped from the list.
QString StoredObjectDropSQL(const QString &TypeName, const QString &Schema, const QString &Name, bool Cascade);
// Kilobytes as the page shows them: thousands separators, no decimals.
QString KiloBytesText(qint64 KiloBytes);
