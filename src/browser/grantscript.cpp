#include "browser/grantscript.h"

#include "core/kdsub_catalog.h"
#include "core/kdsub_options.h"
#include "core/kdsub_text.h"

namespace {
// Privilege letters in the order statements are written.
struct TPrivilege { QChar Letter; const char *Name; };
const TPrivilege kPrivileges[] = {
    {u'd', "DELETE"}, {u'X', "EXECUTE"}, {u'a', "INSERT"}, {u'x', "REFERENCES"}, {u'r', "SELECT"},
    {u't', "TRIGGER"}, {u'D', "TRUNCATE"}, {u'w', "UPDATE"}, {u'U', "USAGE"},
};

const char *kSep = "chr(13)||chr(10)";

QString TableSelect()
{
    return QStringLiteral("SELECT 'TABLE' AS cls, na.nspname, cl.relname, au.rolname, array_to_string(cl.relacl, %1) AS stracl, "
                          "CASE WHEN cl.relacl IS NULL THEN NULL ELSE coalesce(array_length(cl.relacl, 1), 0) END AS lenacl, NULL::oid AS oid "
                          "FROM   pg_class cl LEFT JOIN pg_namespace na ON cl.relnamespace = na.oid "
                          "LEFT JOIN pg_roles au ON cl.relowner = au.oid ")
        .arg(QLatin1String(kSep));
}
QString FunctionSelect(int DBVer)
{
    const QString cls = DBVer >= 110000 ? QStringLiteral("CASE WHEN pr.prokind = 'p' THEN 'PROCEDURE' ELSE 'FUNCTION' END")
                                        : QStringLiteral("'FUNCTION'");
    return QStringLiteral("SELECT %2 AS cls, na.nspname, pr.proname, au.rolname, array_to_string(pr.proacl, %1) AS stracl, "
                          "CASE WHEN pr.proacl IS NULL THEN NULL ELSE coalesce(array_length(pr.proacl, 1), 0) END AS lenacl, pr.oid AS oid "
                          "FROM   pg_proc pr LEFT JOIN pg_namespace na ON pr.pronamespace = na.oid "
                          "LEFT JOIN pg_roles au ON pr.proowner = au.oid ")
        .arg(QLatin1String(kSep), cls);
}
QString SequenceSelect()
{
    return QStringLiteral("SELECT 'SEQUENCE' AS cls, na.nspname, cl.relname, au.rolname, array_to_string(cl.relacl, %1) AS stracl, "
                          "CASE WHEN cl.relacl IS NULL THEN NULL ELSE coalesce(array_length(cl.relacl, 1), 0) END AS lenacl, NULL::oid AS oid "
                          "FROM   pg_class cl LEFT JOIN pg_namespace na ON cl.relnamespace = na.oid "
                          "LEFT JOIN pg_roles au ON cl.relowner = au.oid ")
        .arg(QLatin1String(kSep));
}
QString TypeSelect()
{
    return QStringLiteral("SELECT 'TYPE' AS cls, na.nspname, ty.typname, au.rolname, array_to_string(ty.typacl, %1) AS stracl, "
                          "CASE WHEN ty.typacl IS NULL THEN NULL ELSE coalesce(array_length(ty.typacl, 1), 0) END AS lenacl, NULL::oid AS oid "
                          "FROM   pg_type ty LEFT JOIN pg_namespace na ON ty.typnamespace = na.oid "
                          "LEFT JOIN pg_class cl ON ty.typrelid = cl.oid LEFT JOIN pg_roles au ON ty.typowner = au.oid ")
        .arg(QLatin1String(kSep));
}
const char *kTableKinds = "cl.relkind IN ('r', 'v', 'p')";
const char *kTypeKinds = "(cl.relkind = 'c' OR ty.typtype = 'e' OR ty.typtype = 'r' OR ( ty.typtype = 'b' AND "
                         "ty.typcategory NOT IN('A','B','C','D','E','G','I','N','P','R','S','T','V','X')) )";
const char *kUserSchemas = " AND NOT(na.nspname LIKE 'pg\\_%') AND na.nspname <> 'information_schema'";

// The role named :UNAME owns the object or is a grantee of its list.
QString RoleCondition(const char *acl)
{
    return QStringLiteral("(au.rolname = :UNAME OR EXISTS (SELECT 1 FROM aclexplode(%1) x "
                          "WHERE x.grantee = (SELECT r.oid FROM pg_roles r WHERE r.rolname = :UNAME)))")
        .arg(QLatin1String(acl));
}
} // namespace

QString GrantObjectSQL(int Code, int DBVer)
{
    switch (Code) {
    case 45: case 47:
        return TableSelect() + QStringLiteral("WHERE  ") + QLatin1String(kTableKinds)
            + QStringLiteral(" AND na.nspname = :SCHEMA AND cl.relname = :OBJNAME");
    case 51: case 52:
        return FunctionSelect(DBVer) + QStringLiteral("WHERE  pr.oid = :FUNCOID");
    case 58:
        return SequenceSelect() + QStringLiteral("WHERE  cl.relkind = 'S' AND na.nspname = :SCHEMA AND cl.relname = :OBJNAME");
    case 55:
        if (DBVer < 90200)
            return QString();
        return TypeSelect() + QStringLiteral("WHERE ") + QLatin1String(kTypeKinds)
            + QStringLiteral(" AND na.nspname = :SCHEMA AND ty.typname = :OBJNAME");
    default:
        return QString();
    }
}

QString GrantRoleSQL(int DBVer)
{
    QStringList parts;
    parts << TableSelect() + QStringLiteral("WHERE  ") + QLatin1String(kTableKinds) + QStringLiteral(" AND ")
            + RoleCondition("cl.relacl") + QLatin1String(kUserSchemas);
    parts << FunctionSelect(DBVer) + QStringLiteral("WHERE ") + RoleCondition("pr.proacl") + QLatin1String(kUserSchemas);
    parts << SequenceSelect() + QStringLiteral("WHERE  cl.relkind = 'S' AND ") + RoleCondition("cl.relacl")
            + QLatin1String(kUserSchemas);
    if (DBVer >= 90200)
        parts << TypeSelect() + QStringLiteral("WHERE ") + QLatin1String(kTypeKinds) + QStringLiteral(" AND ")
                + RoleCondition("ty.typacl") + QLatin1String(kUserSchemas);
    return QStringLiteral("SELECT cls, nspname, relname, rolname, stracl, lenacl, oid FROM ( ")
        + parts.join(QStringLiteral(" UNION ALL ")) + QStringLiteral(") acl_tbl ORDER BY 2,3");
}

QString GrantDesignation(const TAclRow &Row, const QString &CurrentSchema, const QString &Args)
{
    QString prefix;
    const int owner = TScriptOption::Global().Owner;
    if (owner == 0 || (owner == 1 && Row.Schema != CurrentSchema))
        prefix = QuoteIdentifier(Row.Schema) + QLatin1Char('.');
    QString word = Row.Cls;
    if (word == QLatin1String("VIEW"))
        word = QStringLiteral("TABLE");
    QString text = word + QLatin1Char(' ') + prefix + QuoteIdentifier(Row.Name);
    if (Row.Cls == QLatin1String("FUNCTION") || Row.Cls == QLatin1String("PROCEDURE"))
        text += QLatin1Char('(') + Args + QLatin1Char(')');
    return text;
}

namespace {
void Add(QStringList &out, const char *privilege, const QString &designation, const QString &grantee, bool grantOption)
{
    out << QStringLiteral("GRANT ") + QLatin1String(privilege) + QStringLiteral(" ON ") + designation
            + QStringLiteral(" TO ") + QuoteIdentifier(grantee) + (grantOption ? QStringLiteral(" WITH GRANT OPTION") : QString());
    out << QStringLiteral(";");
}

void AddDefaults(QStringList &out, const TAclRow &row, const QString &designation, bool withPublic)
{
    const QString &cls = row.Cls;
    if (cls == QLatin1String("TABLE") || cls == QLatin1String("VIEW")) {
        for (const char *p : {"DELETE", "INSERT", "REFERENCES", "SELECT", "TRIGGER", "TRUNCATE", "UPDATE"})
            Add(out, p, designation, row.Owner, false);
    } else if (cls == QLatin1String("FUNCTION") || cls == QLatin1String("PROCEDURE")) {
        if (withPublic)
            Add(out, "EXECUTE", designation, QStringLiteral("public"), false);
        Add(out, "EXECUTE", designation, row.Owner, false);
    } else if (cls == QLatin1String("TYPE")) {
        if (withPublic)
            Add(out, "USAGE", designation, QStringLiteral("public"), false);
        Add(out, "USAGE", designation, row.Owner, false);
    } else if (cls == QLatin1String("SEQUENCE")) {
        for (const char *p : {"SELECT", "UPDATE", "USAGE"})
            Add(out, p, designation, row.Owner, false);
    }
}
} // namespace

QStringList GrantStatements(const TAclRow &Row, const QString &Designation, bool RoleMode, const QString &Role)
{
    QStringList out;
    if (Row.AclNull) {
        if (!RoleMode)
            AddDefaults(out, Row, Designation, true);
        else if (Row.Owner == Role)
            AddDefaults(out, Row, Designation, false);
        return out;
    }
    for (const QString &entry : Row.AclText.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        QString grantee, letters;
        SplitAclItem(entry, grantee, letters);
        if (RoleMode && grantee != Role)
            continue;
        for (const TPrivilege &p : kPrivileges) {
            if (!letters.contains(p.Letter))
                continue;
            Add(out, p.Name, Designation, grantee, letters.contains(QString(p.Letter) + QLatin1Char('*')));
        }
    }
    return out;
}
