#include "editors/index_script.h"

#include "core/kdforms.h"
#include "core/kdsub_text.h"
#include "editors/catalog_batch.h"
#include "editors/catalog_lookup.h"
#include "platform/db/dbquery.h"

#include <QMap>

namespace {

// One row per index column (key and INCLUDE columns); the index's own values repeat, and the
// rows of one index come together (the order holds the OID for equal names of two schemas). The
// NULLS NOT DISTINCT flag is read through to_jsonb so that servers before 15 give false.
const char *const kIndexSql =
    "SELECT c.oid, n.nspname, c.relname, tn.nspname, t.relname, t.relkind, am.amname, i.indisunique, "
    "coalesce((to_jsonb(i) ->> 'indnullsnotdistinct')::boolean, false), i.indnkeyatts, "
    "pg_get_indexdef(c.oid), pg_get_expr(i.indpred, i.indrelid), ts.spcname, "
    "(SELECT string_agg(o, E'\\n') FROM unnest(c.reloptions) o), con.conname, con.contype, "
    "k.n, pg_get_indexdef(c.oid, k.n, false), a.attname, i.indoption[k.n - 1] "
    "FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid "
    "JOIN pg_namespace n ON n.oid = c.relnamespace "
    "JOIN pg_class t ON t.oid = i.indrelid JOIN pg_namespace tn ON tn.oid = t.relnamespace "
    "JOIN pg_am am ON am.oid = c.relam LEFT JOIN pg_tablespace ts ON ts.oid = c.reltablespace "
    "LEFT JOIN LATERAL (SELECT k.conname, k.contype FROM pg_constraint k WHERE k.conrelid = t.oid "
    "  AND k.conindid = c.oid AND k.contype IN ('p', 'u', 'x') LIMIT 1) con ON true "
    "CROSS JOIN generate_series(1, i.indnatts) k(n) "
    "LEFT JOIN pg_attribute a ON a.attrelid = t.oid AND a.attnum = i.indkey[k.n - 1] AND i.indkey[k.n - 1] <> 0 "
    "WHERE %1 ORDER BY c.relname, c.oid, k.n";

// Index of the character after the quoted or plain text that starts at i.
qsizetype SkipQuoted(const QString &s, qsizetype i)
{
    const QChar q = s.at(i);
    const bool backslash = q == QLatin1Char('\'') && i > 0 && (s.at(i - 1) == QLatin1Char('E') || s.at(i - 1) == QLatin1Char('e'));
    for (++i; i < s.size(); ++i) {
        if (backslash && s.at(i) == QLatin1Char('\\')) {
            ++i;
            continue;
        }
        if (s.at(i) == q) {
            if (i + 1 < s.size() && s.at(i + 1) == q) {
                ++i;
                continue;
            }
            return i + 1;
        }
    }
    return s.size();
}

bool IsQuote(QChar c) { return c == QLatin1Char('"') || c == QLatin1Char('\''); }

// Position of `what` outside quotes at or after `from`; -1 when none.
qsizetype FindOutsideQuotes(const QString &s, const QString &what, qsizetype from = 0)
{
    for (qsizetype i = from; i < s.size();) {
        if (IsQuote(s.at(i))) {
            i = SkipQuoted(s, i);
            continue;
        }
        if (QStringView(s).mid(i).startsWith(what))
            return i;
        ++i;
    }
    return -1;
}

// The closing parenthesis of the one at `open`; -1 when unbalanced.
qsizetype MatchParen(const QString &s, qsizetype open)
{
    int depth = 0;
    for (qsizetype i = open; i < s.size();) {
        const QChar c = s.at(i);
        if (IsQuote(c)) {
            i = SkipQuoted(s, i);
            continue;
        }
        if (c == QLatin1Char('('))
            ++depth;
        else if (c == QLatin1Char(')') && --depth == 0)
            return i;
        ++i;
    }
    return -1;
}

QStringList SplitTopLevel(const QString &s)
{
    QStringList parts;
    int depth = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < s.size();) {
        const QChar c = s.at(i);
        if (IsQuote(c)) {
            i = SkipQuoted(s, i);
            continue;
        }
        if (c == QLatin1Char('('))
            ++depth;
        else if (c == QLatin1Char(')'))
            --depth;
        else if (c == QLatin1Char(',') && depth == 0) {
            parts << s.mid(start, i - start).trimmed();
            start = i + 1;
        }
        ++i;
    }
    parts << s.mid(start).trimmed();
    return parts;
}

// Removes a trailing word sequence (" NULLS FIRST", " DESC") when present.
bool StripTail(QString &s, const QString &tail)
{
    if (s == tail) {
        s.clear();
        return true;
    }
    if (s.endsWith(QLatin1Char(' ') + tail)) {
        s.chop(tail.size() + 1);
        return true;
    }
    return false;
}

// A (possibly qualified, possibly quoted) name at the front of s; returns its length.
qsizetype NameLength(const QString &s)
{
    qsizetype i = 0;
    while (i < s.size()) {
        if (s.at(i) == QLatin1Char('"'))
            i = SkipQuoted(s, i);
        else
            while (i < s.size() && s.at(i) != QLatin1Char('.') && s.at(i) != QLatin1Char(' ') && s.at(i) != QLatin1Char('"'))
                ++i;
        if (i < s.size() && s.at(i) == QLatin1Char('.'))
            ++i;
        else
            break;
    }
    return i;
}

// The indexes of the open query's rows, in their order; Oids (when given) receives the OID of
// each. Closes the query.
QList<TIndexDef> ReadIndexRows(db::Query *q, QStringList *Oids = nullptr)
{
    QList<TIndexDef> list;
    QString oid;
    QStringList elements;
    int keyCount = 0;
    while (!q->eof()) {
        if (q->field(0).asString() != oid) {
            oid = q->field(0).asString();
            TIndexDef d;
            d.Schema = q->field(1).asString();
            d.Name = q->field(2).asString();
            d.TableSchema = q->field(3).asString();
            d.Table = q->field(4).asString();
            d.TableKind = FirstChar(q->field(5).asString());
            d.Method = q->field(6).asString();
            d.Unique = q->field(7).asBoolean();
            d.NullsNotDistinct = q->field(8).asBoolean();
            keyCount = q->field(9).asInteger();
            d.Definition = q->field(10).asString();
            d.Where = q->field(11).asString();
            d.Tablespace = q->field(12).asString();
            const QString options = q->field(13).asString();
            if (!options.isEmpty())
                d.Options = options.split(QLatin1Char('\n'));
            d.ConstraintName = q->field(14).asString();
            d.ConstraintType = FirstChar(q->field(15).asString());
            elements = IndexDefElements(d.Definition);
            list << d;
            if (Oids)
                *Oids << oid;
        }
        TIndexDef &d = list.last();
        const int n = q->field(16).asInteger();
        const QString key = q->field(17).asString();
        const QString attname = q->field(18).asString();
        if (n > keyCount) {
            d.Include << (attname.isEmpty() ? UnquoteIdentifier(key) : attname);
        } else {
            TIndexColumn col;
            const int option = q->field(19).asInteger();
            col.Desc = option & 1;
            col.NullsFirst = option & 2;
            if (q->field(18).isNull()) {
                col.Expression = key;
                ParseIndexElement(elements.value(n - 1), key, col);
                // The list writes an expression that is not a function call in parentheses.
                const QString element = elements.value(n - 1);
                if (element.startsWith(QLatin1Char('(') + key + QLatin1Char(')')))
                    col.Expression = QLatin1Char('(') + key + QLatin1Char(')');
            } else {
                col.Name = attname;
                ParseIndexElement(elements.value(n - 1), key, col);
            }
            d.Columns << col;
        }
        q->next();
    }
    q->close();
    return list;
}

QList<TIndexDef> ReadIndexes(TkdConnForm *Conn, const QString &Where, const QStringList &Values)
{
    return ReadIndexRows(Conn->OpenSQL(QString::fromLatin1(kIndexSql).arg(Where), Values));
}

QString QI(const QString &s) { return QuoteIdentifier(s); }

} // namespace

QChar FirstChar(const QString &Text, QChar Default)
{
    return Text.isEmpty() ? Default : Text.at(0);
}

QString IndexPredicateText(const QString &Predicate)
{
    const QString p = Predicate.trimmed();
    if (p.startsWith(QLatin1Char('(')) && MatchParen(p, 0) == p.size() - 1)
        return p;
    return QLatin1Char('(') + p + QLatin1Char(')');
}

bool LoadIndexDef(TkdConnForm *Conn, const QString &Schema, const QString &Name, TIndexDef &Def)
{
    if (CatalogBatchLookup<TIndexDef>(Conn, 46, {Schema, QString(), Name}, Def, &LoadIndexDefBlock))
        return true;
    const QList<TIndexDef> list = ReadIndexes(Conn, QStringLiteral("n.nspname = :SCHEMA AND c.relname = :NAME"), {Schema, Name});
    if (list.isEmpty())
        return false;
    Def = list.first();
    return true;
}

bool LoadIndexDefByOid(TkdConnForm *Conn, const QString &Oid, TIndexDef &Def)
{
    const QList<TIndexDef> list = ReadIndexes(Conn, QStringLiteral("c.oid = CAST(:OID AS oid)"), {Oid});
    if (list.isEmpty())
        return false;
    Def = list.first();
    return true;
}

QList<TIndexDef> LoadTableIndexDefs(TkdConnForm *Conn, const QString &Schema, const QString &Table)
{
    return ReadIndexes(Conn, QStringLiteral("tn.nspname = :SCHEMA AND t.relname = :TABLE"), {Schema, Table});
}

QList<TIndexDef> LoadTableIndexDefsByOid(TkdConnForm *Conn, const QString &TableOid)
{
    return ReadIndexes(Conn, QStringLiteral("t.oid = CAST(:OID AS oid)"), {TableOid});
}

QList<TIndexDef> LoadTableIndexDefsByOids(TkdConnForm *Conn, const QStringList &TableOids)
{
    if (TableOids.isEmpty())
        return {};
    const std::unique_ptr<db::Query> q = OpenCatalogRows(
        Conn, QString::fromLatin1(kIndexSql).arg(CatalogBatchOidCondition(QStringLiteral("t.oid"))),
        {CatalogBatchOids(TableOids)});
    return ReadIndexRows(q.get());
}

QHash<QString, TIndexDef> LoadIndexDefBlock(TkdConnForm *Conn, const QList<TScriptBatchItem> &Items)
{
    QHash<QString, TIndexDef> defs;
    if (Items.isEmpty())
        return defs;
    const std::unique_ptr<db::Query> q = OpenCatalogRows(
        Conn, QString::fromLatin1(kIndexSql).arg(CatalogBatchCondition(QStringLiteral("c.oid"), QString())),
        {CatalogBatchKeys(Items)});
    for (const TIndexDef &d : ReadIndexRows(q.get()))
        defs.insert(TScriptBatch::Key(d.Schema, QString(), d.Name), d);
    return defs;
}

QHash<QString, TIndexDef> LoadIndexDefsByOids(TkdConnForm *Conn, const QStringList &Oids)
{
    QHash<QString, TIndexDef> defs;
    if (Oids.isEmpty())
        return defs;
    const std::unique_ptr<db::Query> q = OpenCatalogRows(
        Conn,
QString::fromLatin1(kIndexSql).arg(CatalogBatchOidCondition(QStringLiteral("c.oid"))),
        {CatalogBatchOids(Oids)});
    QStringList oids;
    const QList<TIndexDef> list = ReadIndexRows(q.get(), &oids);
    for (int i = 0; i < list.size(); ++i)
        defs.insert(oids.at(i), list.at(i));
    return defs;
}

QStringList IndexDefElements(const QString &Definition)
{
    const qsizetype using_ = FindOutsideQuotes(Definition, QStringLiteral(" USING "));
    if (using_ < 0)
        return {};
    const qsizetype open = Definition.indexOf(QLatin1Char('('), using_);
    if (open < 0)
        return {};
    const qsizetype close = MatchParen(Definition, open);
    if (close < 0)
        return {};
    return SplitTopLevel(Definition.mid(open + 1, close - open - 1));
}

bool ParseIndexElement(const QString &Element, const QString &Key, TIndexColumn &Col)
{
    QString rest;
    if (Element == Key || Element.startsWith(Key + QLatin1Char(' ')))
        rest = Element.mid(Key.size());
    else if (const QString wrapped = QLatin1Char('(') + Key + QLatin1Char(')');
             Element == wrapped || Element.startsWith(wrapped + QLatin1Char(' ')))
        rest = Element.mid(wrapped.size());
    else
        return false;
    rest = rest.trimmed();
    // Order and NULLS come from indoption; only collation and operator class are read here.
    if (!StripTail(rest, QStringLiteral("NULLS FIRST")))
        StripTail(rest, QStringLiteral("NULLS LAST"));
    if (!StripTail(rest, QStringLiteral("DESC")))
        StripTail(rest, QStringLiteral("ASC"));
    rest = rest.trimmed();
    Col.Collation.clear();
    if (rest.startsWith(QLatin1String("COLLATE "))) {
        rest = rest.mid(8);
        const qsizetype len = NameLength(rest);
        Col.Collation = rest.left(len);
        rest = rest.mid(len).trimmed();
    }
    Col.OpClass = rest;
    return true;
}

bool IndexMethodOrdered(const QString &Method)
{
    return Method.compare(QLatin1String("btree"), Qt::CaseInsensitive) == 0;
}

QString IndexColumnText(const TIndexColumn &Col, bool Ordered)
{
    QString s = Col.Name.isEmpty() ? Col.Expression : QI(Col.Name);
    if (!Col.Collation.isEmpty())
        s += QStringLiteral(" COLLATE ") + Col.Collation;
    if (!Col.OpClass.isEmpty())
        s += QLatin1Char(' ') + Col.OpClass;
    if (Ordered) {
        if (Col.Desc)
            s += Col.NullsFirst ? QStringLiteral(" DESC") : QStringLiteral(" DESC NULLS LAST");
        else if (Col.NullsFirst)
            s += QStringLiteral(" NULLS FIRST");
    }
    return s;
}

QString IndexOptionsText(const QStringList &Options)
{
    QStringList items;
    for (const QString &o : Options) {
        const qsizetype eq = o.indexOf(QLatin1Char('='));
        if (eq < 0)
            items << o;
        else
            items << o.left(eq) + QLatin1Char('=') + QuoteLiteral(o.mid(eq + 1));
    }
    return items.join(QStringLiteral(", "));
}

QStringList IndexCreateLines(const TIndexDef &Def, const TIndexTextOptions &Opt)
{
    QStringList lines;
    lines << QStringLiteral("CREATE ") + (Def.Unique ? QStringLiteral("UNIQUE ") : QString()) + QStringLiteral("INDEX ")
                 + QI(Opt.NewName.isEmpty() ? Def.Name : Opt.NewName);
    lines << QStringLiteral("ON ") + (Opt.NewTable.isEmpty() ? Opt.Prefix + QI(Def.Table) : Opt.NewTable);
    lines << QStringLiteral("USING ") + Def.Method;
    const bool ordered = IndexMethodOrdered(Def.Method);
    QStringList elements;
    for (const TIndexColumn &c : Def.Columns)
        elements << IndexColumnText(c, ordered);
    lines << QLatin1Char('(') + elements.join(QStringLiteral(", ")) + QLatin1Char(')');
    if (!Def.Include.isEmpty()) {
        QStringList names;
        for (const QString &n : Def.Include)
            names << QI(n);
        lines << QStringLiteral("INCLUDE (") + names.join(QStringLiteral(", ")) + QLatin1Char(')');
    }
    if (Def.NullsNotDistinct)
        lines << QStringLiteral("NULLS NOT DISTINCT");
    if (!Def.Options.isEmpty())
        lines << QStringLiteral("WITH (") + IndexOptionsText(Def.Options) + QLatin1Char(')');
    if (Opt.Tablespace && !Def.Tablespace.isEmpty())
        lines << QStringLiteral("TABLESPACE ") + QI(Def.Tablespace);
    if (!Def.Where.isEmpty())
        lines << QStringLiteral("WHERE ") + IndexPredicateText(Def.Where);
    lines << QStringLiteral(";");
    return lines;
}

QString IndexDropStatement(const QString &Schema, const QString &Name)
{
    return QStringLiteral("DROP INDEX ") + QI(Schema) + QLatin1Char('.') + QI(Name);
}

QStringList IndexDropLines(const QString &Schema, const QString &Name)
{
    return {IndexDropStatement(Schema, Name), QStringLiteral(";")};
}

QStringList IndexTablespaceLines(const QString &Schema, const QString &Name, const QString &Tablespace)
{
    return {QStringLiteral("ALTER INDEX ") + QI(Schema) + QLatin1Char('.') + QI(Name) + QStringLiteral(" SET TABLESPACE ")
                + QI(Tablespace),
            QStringLiteral(";")};
}
