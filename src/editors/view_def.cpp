#include "editors/view_def.h"

#include "core/kdforms.h"
#include "core/kdsub_catalog.h"
#include "core/kdsub_text.h"
#include "editors/catalog_lookup.h"
#include "platform/db/dbquery.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

// The view itself: definition, comment and reloptions (as a JSON array, so that any value
// survives), by schema and name.
const char *const kViewSql =
    "SELECT pg_get_viewdef(c.oid), d.description, array_to_json(c.reloptions) "
    "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
    "LEFT JOIN pg_description d ON d.objoid = c.oid AND d.classoid = 'pg_class'::regclass AND d.objsubid = 0 "
    "WHERE c.relkind = 'v' AND n.nspname = CAST(:SCHEMA AS name) AND c.relname = CAST(:NAME AS name)";

// Its columns in order: name, type without and with modifier, modifier, comment.
const char *const kColumnSql =
    "SELECT a.attname, format_type(a.atttypid, NULL), format_type(a.atttypid, a.atttypmod), a.atttypmod, d.description "
    "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
    "JOIN pg_attribute a ON a.attrelid = c.oid "
    "LEFT JOIN pg_description d ON d.objoid = c.oid AND d.classoid = 'pg_class'::regclass AND d.objsubid = a.attnum "
    "WHERE c.relkind = 'v' AND a.attnum > 0 AND NOT a.attisdropped AND n.nspname = CAST(:SCHEMA AS name) AND c.relname = CAST(:NAME AS name) "
    "ORDER BY a.attnum";

QString Q(const QString &s)
{
    return QuoteIdentifier(s);
}

bool IsTimeType(const QString &t)
{
    static const QStringList times = {
        "time with time zone", "time with time zone[]", "time without time zone", "time without time zone[]",
        "timestamp with time zone", "timestamp with time zone[]", "timestamp without time zone",
        "timestamp without time zone[]"};
    return times.contains(t);
}

bool IsPlainWord(const QString &s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != u'_' && c != u'.')
            return false;
    return true;
}

} // namespace

bool LoadViewDef(TkdConnForm *Conn, const QString &Schema, const QString &Name, TViewDef &Def)
{
    TViewDef d;
    d.Schema = Schema;
    d.Name = Name;
    std::unique_ptr<db::Query> rows = OpenCatalogRows(Conn, QString::fromLatin1(kViewSql), {Schema, Name});
    db::Query *q = rows.get();
    if (q->eof()) {
        q->close();
        return false;
    }
    d.Definition = q->field(0).asString();
    d.Comment = q->field(1).asString();
    if (!q->field(2).isNull())
        for (const QJsonValue &v : QJsonDocument::fromJson(q->field(2).asString().toUtf8()).array())
            d.Options << v.toString();
    q->close();

    rows = OpenCatalogRows(Conn, QString::fromLatin1(kColumnSql), {Schema, Name});
    q = rows.get();
    while (!q->eof()) {
        TViewColumn c;
        c.Name = q->field(0).asString();
        const QString bare = q->field(1).asString();
        const int typmod = q->field(3).asInteger();
        if (IsTimeType(bare)) {
            c.Type = q->field(2).asString();
        } else {
            c.Type = (bare == QLatin1String("interval") || bare == QLatin1String("interval[]"))
                         ? FormatIntervalType(bare, typmod)
                         : bare;
            c.Length = FormatTypmod(bare, typmod);
        }
        c.Comment = q->field(4).asString();
        d.Columns << c;
        q->next();
    }
    q->close();
    Def = d;
    return true;
}

QStringList ViewColumnListLines(const QStringList &QuotedNames)
{
    QStringList lines;
    if (QuotedNames.isEmpty())
        return lines;
    QString buffer = QStringLiteral("    (");
    for (int i = 0; i < QuotedNames.size(); ++i) {
        buffer += QuotedNames.at(i) + QLatin1Char(',');
        if (buffer.size() > 70 && i != QuotedNames.size() - 1) {
            lines << buffer;
            buffer = QStringLiteral("    ");
        }
    }
    buffer.chop(1);
    buffer += QLatin1Char(')');
    lines << buffer;
    return lines;
}

QString ViewOptionsClause(const QStringList &Options)
{
    QStringList parts;
    for (const QString &o : Options) {
        const qsizetype eq = o.indexOf(QLatin1Char('='));
        const QString key = eq < 0 ? o : o.left(eq);
        const QString value = eq < 0 ? QString() : o.mid(eq + 1);
        QString part = IsPlainWord(key) ? key : Q(key);
        if (eq >= 0)
            part += QLatin1Char('=') + (IsPlainWord(value) ? value : QuoteLiteral(value));
        parts << part;
    }
    return parts.isEmpty() ? QString() : QStringLiteral("WITH (") + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QStringList ViewSourceLines(const TViewDef &Def, const QString &Prefix, const QString &Name, bool WithColumns)
{
    QStringList l;
    const QString head = QStringLiteral("CREATE OR REPLACE VIEW ") + Prefix + Q(Name);
    const QString with = ViewOptionsClause(Def.Options);
    if (WithColumns && !Def.Columns.isEmpty()) {
        l << head;
        QStringList names;
        for (const TViewColumn &c : Def.Columns)
            names << Q(c.Name);
        l += ViewColumnListLines(names);
        if (!with.isEmpty())
            l << QStringLiteral("    ") + with;
        l << QStringLiteral("AS");
    } else {
        l << head + (with.isEmpty() ? QString() : QLatin1Char(' ') + with) + QStringLiteral(" AS");
    }
    QString body = Def.Definition;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    l += body.split(QLatin1Char('\n'));
    l << QStringLiteral(";");
    if (!TrimBlanks(Def.Comment).isEmpty()) {
        l << QStringLiteral("COMMENT ON VIEW ") + Prefix + Q(Name) + QStringLiteral(" IS ") + QuoteLiteral(Def.Comment);
        l << QStringLiteral(";");
    }
    for (const TViewColumn &c : Def.Columns) {
        if (c.Name.isEmpty() || c.Comment.isEmpty())
            continue;
        l << QStringLiteral("COMMENT ON COLUMN ") + Prefix + Q(Name) + QLatin1Char('.') + Q(c.Name) + QStringLiteral(" IS ")
                 + QuoteLiteral(c.Comment);
        l << QStringLiteral(";");
    }
    return l;
}

QStringList ViewCommentLines(const TViewDef &Saved, const TViewDef &Now, const QString &Prefix, const QString &Name)
{
    QStringList l;
    if (Saved.Comment != Now.Comment) {
        l << QStringLiteral("COMMENT ON VIEW ") + Prefix + Q(Name) + QStringLiteral(" IS ") + QuoteLiteral(Now.Comment);
        l << QStringLiteral(";");
    }
    for (int i = 0; i < Now.Columns.size(); ++i) {
        const TViewColumn &c = Now.Columns.at(i);
        if (c.Name.isEmpty())
            continue;
        const QString before = i < Saved.Columns.size() ? Saved.Columns.at(i).Comment : QString();
        if (before == c.Comment)
            continue;
        l << QStringLiteral("COMMENT ON COLUMN ") + Prefix + Q(Name) + QLatin1Char('.') + Q(c.Name) + QStringLiteral(" IS ")
                 + QuoteLiteral(c.Comment);
        l << QStringLiteral(";");
    }
    return l;
}

QString ViewSelectSQL(const QString &Schema, const QString &Name, const QStringList &Columns)
{
    QStringList cols;
    for (const QString &c : Columns)
        cols << QuoteIdentifier(c, true);
    return QStringLiteral("SELECT ") + (cols.isEmpty() ? QStringLiteral("*") : cols.join(QStringLiteral(", ")))
           + QStringLiteral(" FROM ") + QuoteIdentifier(Schema, true) + QLatin1Char('.') + QuoteIdentifier(Name, true);
}

QString ViewDropStatement(const QString &Schema, const QString &Name)
{
    return QStringLiteral("DROP VIEW ") + Q(Schema) + QLatin1Char('.') + Q(Name);
}
