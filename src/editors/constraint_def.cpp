#include "editors/constraint_def.h"

#include "core/kdforms.h"
#include "core/kdsub_text.h"
#include "editors/catalog_batch.h"
#include "editors/catalog_lookup.h"
#include "platform/db/dbquery.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

// One row: the constraint's flags, its column lists as JSON arrays of names in key order,
// the referenced table and the constraint's own index, the check condition, the exclusion
// operators (qualified unless they live in pg_catalog). ON DELETE SET NULL (...) columns
// are read through to_jsonb so that servers before 15 give none.
const char *const kConstraintSql =
    "SELECT co.contype, co.condeferrable, co.condeferred, co.convalidated, co.connoinherit, "
    "co.confmatchtype, co.confupdtype, co.confdeltype, pg_get_expr(co.conbin, co.conrelid), "
    "(SELECT json_agg(a.attname ORDER BY k.i) FROM unnest(co.conkey) WITH ORDINALITY k(n, i) "
    "  JOIN pg_attribute a ON a.attrelid = co.conrelid AND a.attnum = k.n), "
    "(SELECT json_agg(a.attname ORDER BY k.i) FROM unnest(co.confkey) WITH ORDINALITY k(n, i) "
    "  JOIN pg_attribute a ON a.attrelid = co.confrelid AND a.attnum = k.n), "
    "rn.nspname, rt.relname, ci.relname, co.conindid, "
    "(SELECT json_agg(CASE WHEN opn.nspname = 'pg_catalog' THEN op.oprname "
    "  ELSE 'OPERATOR(' || quote_ident(opn.nspname) || '.' || op.oprname || ')' END ORDER BY k.i) "
    "  FROM unnest(co.conexclop) WITH ORDINALITY k(o, i) JOIN pg_operator op ON op.oid = k.o "
    "  JOIN pg_namespace opn ON opn.oid = op.oprnamespace), "
    "(SELECT json_agg(a.attname ORDER BY k.i) FROM jsonb_array_elements_text(CASE WHEN "
    "  jsonb_typeof(to_jsonb(co) -> 'confdelsetcols') = 'array' THEN to_jsonb(co) -> 'confdelsetcols' ELSE '[]' END) "
    "  WITH ORDINALITY k(n, i) JOIN pg_attribute a ON a.attrelid = co.conrelid AND a.attnum = k.n::int2), "
    "pg_get_constraintdef(co.oid), t.relname, tn.nspname, co.conname "
    "FROM pg_constraint co JOIN pg_class t ON t.oid = co.conrelid "
    "JOIN pg_namespace tn ON tn.oid = t.relnamespace "
    "LEFT JOIN pg_class rt ON rt.oid = co.confrelid LEFT JOIN pg_namespace rn ON rn.oid = rt.relnamespace "
    "LEFT JOIN pg_class ci ON ci.oid = co.conindid "
    "WHERE %1";

// A constraint as its row gives it, with what its index adds later: the index's OID (text,
// "0" for none) and the exclusion operators in element order.
struct TConstraintRow {
    TConstraintDef Def;
    QString IndexOid;
    QStringList Operators;
};

QStringList JsonNames(const QString &text)
{
    QStringList names;
    if (text.isEmpty())
        return names;
    for (const QJsonValue &v : QJsonDocument::fromJson(text.toUtf8()).array())
        names << v.toString();
    return names;
}

QString QI(const QString &s) { return QuoteIdentifier(s); }

QString NameList(const QStringList &names)
{
    QStringList q;
    for (const QString &n : names)
        q << QI(n);
    return q.join(QStringLiteral(", "));
}

const char kActions[] = {'a', 'r', 'c', 'n', 'd'};

QString ActionText(QChar code, const QStringList &setColumns)
{
    switch (code.toLatin1()) {
    case 'r': return QStringLiteral("RESTRICT");
    case 'c': return QStringLiteral("CASCADE");
    case 'n':
    case 'd': {
        QString s = code == QLatin1Char('n') ? QStringLiteral("SET NULL") : QStringLiteral("SET DEFAULT");
        if (!setColumns.isEmpty())
            s += QStringLiteral(" (") + NameList(setColumns) + QLatin1Char(')');
        return s;
    }
    default: return QStringLiteral("NO ACTION");
    }
}

// WITH (...) and USING INDEX TABLESPACE of the constraint's index.
QString IndexParameters(const TConstraintDef &Def)
{
    QString s;
    if (!Def.Include.isEmpty())
        s += QStringLiteral(" INCLUDE (") + NameList(Def.Include) + QLatin1Char(')');
    if (!Def.IndexOptions.isEmpty())
        s += QStringLiteral(" WITH (") + IndexOptionsText(Def.IndexOptions) + QLatin1Char(')');
    if (!Def.IndexTablespace.isEmpty())
        s += QStringLiteral(" USING INDEX TABLESPACE ") + QI(Def.IndexTablespace);
    return s;
}

} // namespace

namespace {

// The constraint of the open query's current row.
TConstraintRow ReadConstraintRow(db::Query *q)
{
    TConstraintRow r;
    TConstraintDef &d = r.Def;
    d.Type = FirstChar(q->field(0).asString());
    d.Deferrable = q->field(1).asBoolean();
    d.Deferred = q->field(2).asBoolean();
    d.Validated = q->field(3).asBoolean();
    d.NoInherit = q->field(4).asBoolean();
    d.Match = FirstChar(q->field(5).asString(), QLatin1Char('s'));
    d.UpdateAction = FirstChar(q->field(6).asString(), QLatin1Char('a'));
    d.DeleteAction = FirstChar(q->field(7).asString(), QLatin1Char('a'));
    d.Check = q->field(8).asString();
    d.Columns = JsonNames(q->field(9).asString());
    d.RefColumns = JsonNames(q->field(10).asString());
    d.RefSchema = q->field(11).asString();
    d.RefTable = q->field(12).asString();
    const QString indexName = q->field(13).asString();
    r.IndexOid = q->field(14).asString();
    r.Operators = JsonNames(q->field(15).asString());
    d.DeleteSetColumns = JsonNames(q->field(16).asString());
    d.Definition = q->field(17).asString();
    d.Table = q->field(18).asString();
    d.Schema = q->field(19).asString();
    d.Name = q->field(20).asString();
    if (d.Type == QLatin1Char('f'))
        d.RefIndex = indexName;
    return r;
}

// Keys and exclusions take INCLUDE, NULLS NOT DISTINCT, WITH, tablespace, and for an
// exclusion its method, elements and predicate from the index behind them.
bool NeedsIndex(const TConstraintRow &r)
{
    const QChar t = r.Def.Type;
    return (t == QLatin1Char('p') || t == QLatin1Char('u') || t == QLatin1Char('x')) && !r.IndexOid.isEmpty()
           && r.IndexOid != QLatin1String("0");
}

void ApplyIndex(TConstraintRow &r, const TIndexDef &ix)
{
    TConstraintDef &d = r.Def;
    d.Include = ix.Include;
    d.NullsNotDistinct = ix.NullsNotDistinct;
    d.IndexOptions = ix.Options;
    d.IndexTablespace = ix.Tablespace;
    if (d.Type == QLatin1Char('x')) {
        d.Method = ix.Method;
        d.Where = ix.Where;
        for (int i = 0; i < ix.Columns.size(); ++i)
            d.Elements << TExcludeElement{ix.Columns[i], r.Operators.value(i)};
    }
}

} // namespace

bool LoadConstraintDef(TkdConnForm *Conn, const QString &Schema, const QString &Table, const QString &Name,
                       TConstraintDef &Def)
{
    if (CatalogBatchLookup<TConstraintDef>(Conn, 66, {Schema, Table, Name}, Def, &LoadConstraintDefBlock))
        return true;
    db::Query *q = Conn->OpenSQL(
        QString::fromLatin1(kConstraintSql).arg(QStringLiteral("tn.nspname = :SCHEMA AND t.relname = :TBLNAME AND co.conname = :CONNAME")),
        {Schema, Table, Name});
    if (q->eof()) {
        q->close();
        return false;
    }
    TConstraintRow r = ReadConstraintRow(q);
    q->close();
    r.Def.Schema = Schema;
    r.Def.Name = Name;
    TIndexDef ix;
    if (NeedsIndex(r) && LoadIndexDefByOid(Conn, r.IndexOid, ix))
        ApplyIndex(r, ix);
    Def = r.Def;
    return true;
}

QHash<QString, TConstraintDef> LoadConstraintDefBlock(TkdConnForm *Conn, const QList<TScriptBatchItem> &Items)
{
    QHash<QString, TConstraintDef> defs;
    if (Items.isEmpty())
        return defs;
    QList<TConstraintRow> rows;
    QStringList oids;
    {
        const std::unique_ptr<db::Query> q = OpenCatalogRows(
            Conn,
            QString::fromLatin1(kConstraintSql)
                .arg(CatalogBatchCondition(QStringLiteral("co.oid"), QStringLiteral("pg_constraint"))),
            {CatalogBatchKeys(Items)});
        while (!q->eof()) {
            rows << ReadConstraintRow(q.get());
            if (NeedsIndex(rows.last()))
                oids << rows.last().IndexOid;
            q->next();
        }
        q->close();
    }
    const QHash<QString, TIndexDef> indexes = LoadIndexDefsByOids(Conn, oids);
    for (TConstraintRow &r : rows) {
        const QString key = TScriptBatch::Key(r.Def.Schema, r.Def.Table, r.Def.Name);
        if (defs.contains(key))
            continue; // the first row, as the one-object read takes it
        if (NeedsIndex(r))
            if (const auto ix = indexes.constFind(r.IndexOid); ix != indexes.constEnd())
                ApplyIndex(r, *ix);
        defs.insert(key, r.Def);
    }
    return defs;
}

int ConstraintKindIndex(QChar Type)
{
    switch (Type.toLatin1()) {
    case 'u': return 1;
    case 'f': return 2;
    case 'c': return 3;
    case 'x': return 4;
    default: return 0;
    }
}

QChar ConstraintKindType(int Index)
{
    static const char types[] = {'p', 'u', 'f', 'c', 'x'};
    return QLatin1Char(types[(Index >= 0 && Index < 5) ? Index : 0]);
}

int ConstraintActionIndex(QChar Action)
{
    for (int i = 0; i < 5; ++i)
        if (Action == QLatin1Char(kActions[i]))
            return i;
    return 0;
}

QChar ConstraintActionCode(int Index)
{
    return QLatin1Char(kActions[(Index >= 0 && Index < 5) ? Index : 0]);
}

QString ConstraintCheckText(const QString &Condition)
{
    QString t = Condition;
    t.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    t.replace(QLatin1Char('\n'), QLatin1Char(' '));
    t.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return QStringLiteral("CHECK (") + t.trimmed() + QLatin1Char(')');
}

QStringList ConstraintAddLines(const TConstraintDef &Def, const QString &Prefix)
{
    QStringList lines;
    lines << QStringLiteral("ALTER TABLE ") + Prefix + QI(Def.Table) + QStringLiteral(" ADD CONSTRAINT ") + QI(Def.Name);
    QString body;
    switch (Def.Type.toLatin1()) {
    case 'c':
        body = ConstraintCheckText(Def.Check);
        if (Def.NoInherit)
            body += QStringLiteral(" NO INHERIT");
        break;
    case 'u':
        body = QStringLiteral("UNIQUE ") + (Def.NullsNotDistinct ? QStringLiteral("NULLS NOT DISTINCT ") : QString())
               + QLatin1Char('(') + NameList(Def.Columns) + QLatin1Char(')') + IndexParameters(Def);
        break;
    case 'f': {
        body = QStringLiteral("FOREIGN KEY (") + NameList(Def.Columns) + QStringLiteral(") REFERENCES ") + QI(Def.RefSchema)
               + QLatin1Char('.') + QI(Def.RefTable) + QLatin1Char('(') + NameList(Def.RefColumns) + QLatin1Char(')');
        if (Def.Match == QLatin1Char('f'))
            body += QStringLiteral(" MATCH FULL");
        else if (Def.Match == QLatin1Char('p'))
            body += QStringLiteral(" MATCH PARTIAL");
        body += QStringLiteral(" ON UPDATE ") + ActionText(Def.UpdateAction, {});
        body += QStringLiteral(" ON DELETE ") + ActionText(Def.DeleteAction, Def.DeleteSetColumns);
        break;
    }
    case 'x': {
        const bool ordered = IndexMethodOrdered(Def.Method);
        QStringList elements;
        for (const TExcludeElement &e : Def.Elements)
            elements << IndexColumnText(e.Column, ordered) + QStringLiteral(" WITH ") + e.Operator;
        body = QStringLiteral("EXCLUDE USING ") + Def.Method.toLower() + QStringLiteral(" (") + elements.join(QStringLiteral(", "))
               + QLatin1Char(')') + IndexParameters(Def);
        if (!Def.Where.isEmpty())
            body += QStringLiteral(" WHERE ") + IndexPredicateText(Def.Where);
        break;
    }
    default:
        body = QStringLiteral("PRIMARY KEY (") + NameList(Def.Columns) + QLatin1Char(')') + IndexParameters(Def);
        break;
    }
    if (Def.Deferrable)
        body += Def.Deferred ? QStringLiteral(" DEFERRABLE INITIALLY DEFERRED") : QStringLiteral(" DEFERRABLE");
    if (!Def.Validated && (Def.Type == QLatin1Char('f') || Def.Type == QLatin1Char('c')))
        body += QStringLiteral(" NOT VALID");
    lines << body;
    lines << QStringLiteral(";");
    return lines;
}

QString ConstraintDropStatement(const QString &Schema, const QString &Table, const QString &Name)
{
    return QStringLiteral("ALTER TABLE ") + QI(Schema) + QLatin1Char('.') + QI(Table) + QStringLiteral(" DROP CONSTRAINT ")
           + QI(Name);
}

QStringList ConstraintDropLines(const QString &Schema, const QString &Table, const QString &Name)
{
    return {ConstraintDropStatement(Schema, Table, Name), QStringLiteral(";")};
}
