// File rules of the script output (see scriptout.h).
#include "browser/scriptout.h"

#include "core/kddialogsupport.h"
#include "core/kdsub_text.h"

#include <QStringList>

QString NormalizeScriptFolder(const QString &Path)
{
    QString p = Path.trimmed();
    p.replace(u'\\', u'/');
    if (p.isEmpty())
        return p;
    if (!p.endsWith(u'/'))
        p += u'/';
    return p;
}

QString ScriptFileName(const QString &Name, const QString &ScriptName)
{
    return SafePathPart(ScriptName.isEmpty() ? Name + QStringLiteral(".SQL") : ScriptName);
}

QString ScriptFilePath(const TScriptPlan &Plan, const QString &Schema, const QString &TypeName,
                       const QString &FileName)
{
    if (Plan.OneScript)
        return Plan.Path;
    const QString file = SafePathPart(FileName);
    if (!Plan.Dir)
        return Plan.Path + file;
    const QString s = SafePathPart(Schema), t = SafePathPart(TypeName);
    return Plan.TypesFirst ? Plan.Path + t + u'/' + s + u'/' + file : Plan.Path + s + u'/' + t + u'/' + file;
}

QString GrantFilePath(const TScriptPlan &Plan, const QString &Schema, const QString &TypeName,
                      const QString &FileName)
{
    if (!Plan.Grant || Plan.OneScript || Plan.GrantMode == 0)
        return QString();
    const QString s = SafePathPart(Schema), t = SafePathPart(TypeName);
    if (Plan.GrantMode == 1)
        return Plan.TypesFirst ? Plan.Path + QStringLiteral("GRANT/") + s + u'/' + SafePathPart(FileName)
                               : Plan.Path + s + QStringLiteral("/GRANT/") + SafePathPart(FileName);
    if (!Plan.Dir)
        return Plan.Path + QStringLiteral("_GRANT.SQL");
    return Plan.Path + (Plan.TypesFirst ? t : s) + QStringLiteral("/_GRANT.SQL");
}

QString BackingConstraintSQL()
{
    return QStringLiteral(" SELECT Con.conname FROM   pg_constraint       AS Con LEFT JOIN pg_namespace     AS Nms"
                          "  ON  Con.connamespace      =   Nms.oid WHERE  Con.contype         IN  ('p', 'u')"
                          " AND    Nms.nspname         =   :OWNER AND    Con.conname         =   :NAME");
}

QString NameTableTestSQL(const QString &Table)
{
    QStringList parts;
    for (const QString &part : Table.trimmed().split(u'.'))
        parts << QuoteIdentifier(part);
    return QStringLiteral(" SELECT owner, object_name, object_type, script_name FROM   ") + parts.join(u'.')
           + QStringLiteral(" LIMIT 0");
}
