#pragma once
// A role as the role and user editors show it: attributes, login attributes, memberships in
// group roles (with the admin option), members, per-role settings, comment and the CREATE /
// USAGE privileges on schemas; read from the catalogs and written back as CREATE, ALTER and
// DROP text. Plain values and functions, used by the windows and by the script entries.
#include "editors/schema_def.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

class TkdConnForm;

struct TRoleDef {
    bool Login = false;
    bool SuperUser = false, CreateDB = false, CreateRole = false, Inherit = true;
    bool Replication = false, BypassRls = false;
    bool Catupdate = false;        // servers before 9.5 only
    QString ConnLimit = QStringLiteral("-1");
    QString ValidUntil;            // ISO "yyyy-MM-dd HH:mm:ss"; empty: no expiry
    QMap<QString, bool> MemberOf;  // group role -> admin option
    QMap<QString, bool> Members;   // member role -> admin option (roles that are members of this one)
    QStringList Settings;          // "name=value" of ALTER ROLE ... SET (all databases)
    QString Comment;
    QMap<QString, TSchemaGrant> Schemas; // schema -> CREATE / USAGE of this role
    bool operator==(const TRoleDef &) const = default;
};

// What the text generators need to know besides the definition.
struct TRoleText {
    QString Keyword = QStringLiteral("ROLE"); // ROLE or USER
    int DBVer = 150000;
    // PASSWORD clause: the verifier (never the clear text); empty: no clause.
    QString PasswordVerifier;
    bool PasswordChanged = false;   // ALTER: the password was changed
    bool ExpiryChanged = false;     // ALTER: the expiry differs from the snapshot
    bool ConnLimitChanged = false;  // ALTER: the connection limit differs from the snapshot
    QStringList SchemaOrder;        // schemas in list order (statements follow it)
    QStringList GroupOrder;         // group roles in list order
};

// Reads a role; false when no role of that name with that login state exists.
bool LoadRoleDef(TkdConnForm *Conn, const QString &Name, bool Login, TRoleDef &Def);
// Schemas offered in the schema list (pg_catalog and the user schemas), by name.
QStringList RoleSchemaOrder(TkdConnForm *Conn);
// Group roles offered in the role list (pg_* roles included), by name.
QStringList RoleGroupOrder(TkdConnForm *Conn);

// True when an expiry text means no expiry (empty, 'infinity', 9999-12-31 23:59:59).
bool IsUnlimitedExpiry(const QString &ValidUntil);
// Connection limit text: "-" becomes "-1"; false when it is not a whole number (blank is
// accepted and means "no clause" / -1).
bool NormalizeConnLimit(QString &Text);

QStringList RoleCreateLines(const TRoleDef &Def, const QString &Name, const TRoleText &T);
QStringList RoleAlterLines(const TRoleDef &Saved, const TRoleDef &Now, const QString &Name, const TRoleText &T);
QStringList RoleDropLines(const QString &Name, const TRoleText &T);
QString RoleDropStatement(const QString &Name, const QString &Keyword);

// Replaces every clear-text PASSWORD '...' literal of a source text by its verifier
// (`Encrypt` computes it); literals already in SCRAM or md5 form stay. Dollar-quoted bodies,
// comments and identifiers are skipped.
QString EncryptPasswordLiterals(const QString &Source, const std::function<QString(const QString &)> &Encrypt);
// True when a line of the source holds the keyword PASSWORD and nothing else.
bool HasBarePasswordLine(const QString &Source);
