#include "editors/schema_def.h"

#include "core/kdforms.h"
#include "core/kdsub_text.h"
#include "editors/catalog_lookup.h"
#include "editors/privilege_list.h"
#include "platform/db/dbquery.h"

namespace {

// The statements of the schema editor. The access list comes item by item, in its order.
const char *const kSchemaSql =
    "SELECT ro.rolname, ns.nspacl IS NULL, a.item FROM pg_namespace AS ns "
    "LEFT JOIN pg_roles ro ON ns.nspowner = ro.oid "
    "LEFT JOIN LATERAL unnest(ns.nspacl::text[]) WITH ORDINALITY AS a(item, n) ON true "
    "WHERE ns.nspname = :SCHEMA ORDER BY a.n";
const char *const kRoleSql = "SELECT rolname FROM pg_roles WHERE rolcanlogin = False ORDER BY 1";
const char *const kUserSql = "SELECT rolname FROM pg_roles WHERE rolcanlogin = True ORDER BY 1";

QString Q(const QString &s)
{
    return QuoteIdentifier(s);
}

void PrivilegeLines(QStringList &l, const QString &verb, const QString &priv, const QString &name, const QString &role,
                    bool grantOption)
{
    if (verb == QLatin1String("GRANT"))
        l << QStringLiteral("GRANT ") + priv + QStringLiteral(" ON SCHEMA ") + Q(name) + QStringLiteral(" TO ") + Q(role)
                 + (grantOption ? QStringLiteral(" WITH GRANT OPTION") : QString());
    else
        l << QStringLiteral("REVOKE ") + priv + QStringLiteral(" ON SCHEMA ") + Q(name) + QStringLiteral(" FROM ") + Q(role);
    l << QStringLiteral(";");
}

} // namespace

void ApplySchemaAcl(TSchemaDef &Def, bool AclNull, const QStringList &AclItems)
{
    Def.PublicCreate = Def.PublicUsage = false;
    Def.Grants.clear();
    Def.AclExplicit = !AclNull;
    if (AclNull) {
        Def.Grants[Def.Owner] = TSchemaGrant{true, false, true, false};
        return;
    }
    for (const TAclEntry &e : ReadAcl(AclItems)) {
        if (e.Grantee == QLatin1String("public")) {
            Def.PublicCreate |= e.Has(QLatin1Char('C'));
            Def.PublicUsage |= e.Has(QLatin1Char('U'));
            continue;
        }
        TSchemaGrant &g = Def.Grants[e.Grantee];
        g.Create |= e.Has(QLatin1Char('C'));
        g.CreateGrant |= e.HasGrantOption(QLatin1Char('C'));
        g.Usage |= e.Has(QLatin1Char('U'));
        g.UsageGrant |= e.HasGrantOption(QLatin1Char('U'));
    }
}

bool LoadSchemaDef(TkdConnForm *Conn, const QString &Name, TSchemaDef &Def)
{
    db::Query *q = Conn->OpenSQL(QString::fromLatin1(kSchemaSql), {Name});
    if (q->eof()) {
        q->close();
        return false;
    }
    TSchemaDef d;
    d.Owner = q->field(0).asString().trimmed();
    const bool aclNull = q->field(1).asString() == QLatin1String("t") || q->field(1).asString() == QLatin1String("true");
    QStringList items;
    while (!q->eof()) {
        if (!q->field(2).isNull())
            items << q->field(2).asString();
        q->next();
    }
    q->close();
    ApplySchemaAcl(d, aclNull, items);
    Def = d;
    return true;
}

QStringList SchemaRoleOrder(TkdConnForm *Conn, QStringList *GroupRoles, QStringList *LoginRoles)
{
    const QStringList roles = ReadFirstColumn(Conn, QString::fromLatin1(kRoleSql), {}, true);
    const QStringList users = ReadFirstColumn(Conn, QString::fromLatin1(kUserSql), {}, true);
    if (GroupRoles)
        *GroupRoles = roles;
    if (LoginRoles)
        *LoginRoles = users;
    return roles + users;
}

QStringList SchemaCreateLines(const TSchemaDef &Def, const QString &Name, const QStringList &RoleOrder)
{
    QStringList l;
    l << QStringLiteral("CREATE SCHEMA ") + Q(Name) << QStringLiteral("AUTHORIZATION ") + Q(Def.Owner) << QStringLiteral(";");
    const QString pub = QStringLiteral("public");
    if (Def.AclExplicit && !Def.Owner.isEmpty()) {
        const TSchemaGrant owner = Def.Grants.value(Def.Owner);
        if (!owner.Create)
            PrivilegeLines(l, QStringLiteral("REVOKE"), QStringLiteral("CREATE"), Name, Def.Owner, false);
        if (!owner.Usage)
            PrivilegeLines(l, QStringLiteral("REVOKE"), QStringLiteral("USAGE"), Name, Def.Owner, false);
    }
    if (Def.PublicCreate)
        PrivilegeLines(l, QStringLiteral("GRANT"), QStringLiteral("CREATE"), Name, pub, false);
    if (Def.PublicUsage)
        PrivilegeLines(l, QStringLiteral("GRANT"), QStringLiteral("USAGE"), Name, pub, false);
    for (const QString &role : RoleOrder) {
        const TSchemaGrant g = Def.Grants.value(role);
        if (g.Create)
            PrivilegeLines(l, QStringLiteral("GRANT"), QStringLiteral("CREATE"), Name, role, g.CreateGrant);
        if (g.Usage)
            PrivilegeLines(l, QStringLiteral("GRANT"), QStringLiteral("USAGE"), Name, role, g.UsageGrant);
    }
    return l;
}

QStringList SchemaAlterLines(const TSchemaDef &Saved, const TSchemaDef &Now, const QString &Name,
                             const QStringList &RoleOrder)
{
    QStringList l;
    if (Now.Owner != Saved.Owner)
        l << QStringLiteral("ALTER SCHEMA ") + Q(Name) << QStringLiteral("OWNER TO ") + Q(Now.Owner) << QStringLiteral(";");
    const QString pub = QStringLiteral("public");
    if (Now.PublicCreate != Saved.PublicCreate)
        PrivilegeLines(l, Now.PublicCreate ? QStringLiteral("GRANT") : QStringLiteral("REVOKE"), QStringLiteral("CREATE"),
                       Name, pub, false);
    if (Now.PublicUsage != Saved.PublicUsage)
        PrivilegeLines(l, Now.PublicUsage ? QStringLiteral("GRANT") : QStringLiteral("REVOKE"), QStringLiteral("USAGE"),
                       Name, pub, false);
    for (const QString &role : RoleOrder) {
        const TSchemaGrant before = Saved.Grants.value(role);
        const TSchemaGrant now = Now.Grants.value(role);
        const struct {
            const char *priv;
            bool wasL, wasR, isL, isR;
        } lines[] = {{"CREATE", before.Create, before.CreateGrant, now.Create, now.CreateGrant},
                     {"USAGE", before.Usage, before.UsageGrant, now.Usage, now.UsageGrant}};
        for (const auto &p : lines) {
            if (p.wasL == p.isL && p.wasR == p.isR)
                continue;
            const QString priv = QString::fromLatin1(p.priv);
            if (p.isL && !p.isR && p.wasR) {
                // The grant option was removed: revoke, then grant the plain privilege.
                l << QStringLiteral("REVOKE ") + priv + QStringLiteral(" ON SCHEMA ") + Q(Name) + QStringLiteral(" FROM ") + Q(role)
                  << QStringLiteral(";");
                PrivilegeLines(l, QStringLiteral("GRANT"), priv, Name, role, false);
            } else if (p.isL) {
                PrivilegeLines(l, QStringLiteral("GRANT"), priv, Name, role, p.isR);
            } else {
                PrivilegeLines(l, QStringLiteral("REVOKE"), priv, Name, role, false);
            }
        }
    }
    return l;
}

QStringList SchemaDropLines(const QString &Name)
{
    return {SchemaDropStatement(Name, false), QStringLiteral(";")};
}

QString SchemaDropStatement(const QString &Name, bool Cascade)
{
    return QStringLiteral("DROP SCHEMA ") + Q(Name) + (Cascade ? QStringLiteral(" CASCADE") : QString());
}
