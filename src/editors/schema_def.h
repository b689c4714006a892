#pragma once
// A schema as the schema editor shows it: owner, the PUBLIC privileges and, per role, CREATE
// and USAGE with their grant options; read from the catalogs and written back as CREATE,
// ALTER and DROP text. Plain values and functions, used by the window and by the script
// entry of the editor table alike.
#include <QMap>
#include <QString>
#include <QStringList>

class TkdConnForm;

struct TSchemaGrant {
    bool Create = false, CreateGrant = false, Usage = false, UsageGrant = false;
    bool operator==(const TSchemaGrant &) const = default;
};

struct TSchemaDef {
    QString Owner;
    bool PublicCreate = false;
    bool PublicUsage = false;
    QMap<QString, TSchemaGrant> Grants; // by role name; roles without privileges may be missing
    // The access list was read and is not NULL: privileges the owner lacks are revoked from
    // it in the CREATE text (a new schema would otherwise give them back).
    bool AclExplicit = false;
    bool operator==(const TSchemaDef &) const = default;
};

// Fills the privileges of a definition from its access list. A NULL list (the defaults)
// gives the owner CREATE and USAGE without grant option. Items of the same grantee from
// several grantors add up.
void ApplySchemaAcl(TSchemaDef &Def, bool AclNull, const QStringList &AclItems);

// Reads a schema; false when it does not exist. Server errors are thrown.
bool LoadSchemaDef(TkdConnForm *Conn, const QString &Name, TSchemaDef &Def);
// The group roles, then the login roles, each by name: the order of the editor's lists.
QStringList SchemaRoleOrder(TkdConnForm *Conn, QStringList *GroupRoles = nullptr, QStringList *LoginRoles = nullptr);

// Role statements follow RoleOrder (roles not in it are left out).
QStringList SchemaCreateLines(const TSchemaDef &Def, const QString &Name, const QStringList &RoleOrder);
QStringList SchemaAlterLines(const TSchemaDef &Saved, const TSchemaDef &Now, const QString &Name,
                             const QStringList &RoleOrder);
QStringList SchemaDropLines(const QString &Name);
QString SchemaDropStatement(const QString &Name, bool Cascade);
