#include "editors/nametable_def.h"

#include "core/kdsub_catalog.h"
#include "core/kdsub_text.h"

namespace {

// " AND " + condition when the listing has a WHERE clause, else " WHERE " + condition.
QString Filter(const QString &Where, const QString &Condition)
{
    return (Where.trimmed().isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND   ")) + Condition;
}

QString CheckBranch(int Code, const char *Kind)
{
    QString from, where;
    ObjectListSQL(Code, from, where);
    return QStringLiteral(" SELECT '") + QLatin1String(Kind) + QStringLiteral("', TblNsp.nspname, TblInf.relname ")
           + from + QLatin1Char(' ') + where + Filter(where, QStringLiteral("TblNsp.nspname = :SCHEMA"))
           + QStringLiteral(" AND TblInf.relname = :TBLNM");
}

struct TBranch {
    int Code;
    const char *SchemaExpr;
    const char *NameExpr;
    const char *Type;
    const char *FilterExpr; // the condition on :SCHEMA
};

const TBranch kBranches[] = {
    {45, "TblNsp.nspname", "TblInf.relname", "TABLE", "TblNsp.nspname = :SCHEMA"},
    {46, "N.nspname", "C.relname", "INDEX", "N.nspname = :SCHEMA"},
    {47, "TblNsp.nspname", "TblInf.relname", "VIEW", "TblNsp.nspname = :SCHEMA"},
    {52, "Nms.nspname", "Prc.proname", "FUNCTION", "Nms.nspname = :SCHEMA"},
    {55, "N.nspname", "T.typname", "TYPE", "N.nspname = :SCHEMA"},
    {57, "CASE WHEN TblShe.schemaname IS NULL THEN VieShe.schemaname ELSE TblShe.schemaname END",
     "TrgInf.tgname", "TRIGGER", "(TblShe.schemaname = :SCHEMA OR VieShe.schemaname = :SCHEMA)"},
    {58, "N.nspname", "C.relname", "SEQUENCE", "N.nspname = :SCHEMA"},
    {66, "ConNsp.nspname", "ConInf.conname", "CONSTRAINT", "ConNsp.nspname = :SCHEMA"},
    {127, "ns.nspname", "r.rulename", "RULE", "ns.nspname = :SCHEMA"},
};

} // namespace

QString NameTableCheckSQL()
{
    return CheckBranch(45, "TABLE") + QStringLiteral(" UNION ALL") + CheckBranch(47, "VIEW");
}

QString NameTableSelectSQL(const QString &Schema, const QString &Name)
{
    return QStringLiteral(" SELECT owner, object_name, object_type, script_name FROM ") + QuoteIdentifier(Schema)
           + QLatin1Char('.') + QuoteIdentifier(Name);
}

QString NameTableCreateSQL(const QString &Schema, const QString &Name)
{
    return QStringLiteral("CREATE TABLE ") + QuoteIdentifier(Schema) + QLatin1Char('.') + QuoteIdentifier(Name)
           + QStringLiteral("(  owner       VARCHAR(255),  object_name VARCHAR(255),"
                            "  object_type VARCHAR(255),  script_name VARCHAR(255))");
}

QString NameTableInitialDataSQL(const QString &Schema, const QString &Name, bool OwnSchemaOnly)
{
    QStringList branches;
    for (const TBranch &b : kBranches) {
        QString from, where;
        ObjectListSQL(b.Code, from, where);
        QString s = QStringLiteral(" SELECT ") + QLatin1String(b.SchemaExpr) + QStringLiteral(", ")
                    + QLatin1String(b.NameExpr) + QStringLiteral(", '") + QLatin1String(b.Type) + QStringLiteral("', ")
                    + QLatin1String(b.NameExpr) + QStringLiteral(" || '.SQL' ") + from + QLatin1Char(' ') + where;
        if (OwnSchemaOnly)
            s += Filter(where, QLatin1String(b.FilterExpr));
        branches << s;
    }
    return QStringLiteral(" INSERT INTO ") + QuoteIdentifier(Schema) + QLatin1Char('.') + QuoteIdentifier(Name)
           + branches.join(QStringLiteral(" UNION ALL"));
}

void SetRegisteredNameTable(QStringList &Lines, const QString &Database, const QString &Value)
{
    for (int i = int(Lines.size()) - 1; i >= 0; --i)
        if (Lines.at(i).section(u'=', 0, 0) == Database)
            Lines.removeAt(i);
    if (!Value.isEmpty())
        Lines << Database + u'=' + Value;
}

void SplitNameTable(const QString &Value, QString &Schema, QString &Name)
{
    const int dot = int(Value.indexOf(u'.'));
    Schema = dot < 0 ? QString() : Value.left(dot);
    Name = dot < 0 ? Value : Value.mid(dot + 1);
}
