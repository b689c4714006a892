#include "editors/sequence_def.h"

#include "core/kdforms.h"
#include "core/kdsub_text.h"
#include "editors/catalog_batch.h"
#include "editors/catalog_lookup.h"
#include "platform/db/dbquery.h"

#include <limits>

namespace {

// The statements of the sequence editor.
const char *const kSequenceSql =
    "SELECT s.seqmin, s.seqmax, s.seqincrement, s.seqcycle, s.seqcache, format_type(s.seqtypid, NULL), "
    "COALESCE(pg_sequence_last_value(c.oid), s.seqstart), o.relname, o.attname, n.nspname, c.relname "
    "FROM pg_sequence s JOIN pg_class c ON c.oid = s.seqrelid "
    "JOIN pg_namespace n ON n.oid = c.relnamespace "
    "LEFT JOIN LATERAL (SELECT t.relname, a.attname FROM pg_depend d JOIN pg_class t ON t.oid = d.refobjid "
    "JOIN pg_attribute a ON a.attrelid = d.refobjid AND a.attnum = d.refobjsubid "
    "WHERE d.classid = 'pg_class'::regclass AND d.objid = c.oid AND d.refclassid = 'pg_class'::regclass "
    "AND d.refobjsubid > 0 AND d.deptype IN ('a', 'i') ORDER BY 1, 2 LIMIT 1) o ON true "
    "WHERE %1";

QString Q(const QString &s)
{
    return QuoteIdentifier(s);
}

qint64 ToInt64(const QString &s)
{
    bool ok = false;
    const qint64 v = s.trimmed().toLongLong(&ok);
    return ok ? v : 0;
}

// The facts of the sequence on the current row of kSequenceSql.
TSequenceDef ReadSequenceRow(db::Query *q)
{
    TSequenceDef d;
    d.MinValue = q->field(0).asString().trimmed();
    d.MaxValue = q->field(1).asString().trimmed();
    d.Increment = q->field(2).asString().trimmed();
    d.Cycle = q->field(3).asString() == QLatin1String("t") || q->field(3).asString() == QLatin1String("true");
    d.Cache = q->field(4).asString().trimmed();
    if (d.Cache == QLatin1String("0"))
        d.Cache.clear();
    d.TypeName = q->field(5).asString().trimmed();
    // The value the relation holds as last_value: the last one handed out, or START before
    // the first NEXTVAL.
    d.LastValue = q->field(6).asString().trimmed();
    d.OwnedNone = q->field(7).isNull();
    if (!d.OwnedNone) {
        d.Table = q->field(7).asString().trimmed();
        d.Column = q->field(8).asString().trimmed();
    }
    InferSequenceDefaults(d);
    return d;
}

} // namespace

qint64 SequenceTypeMin(const QString &TypeName)
{
    if (TypeName == QLatin1String("smallint"))
        return std::numeric_limits<qint16>::min();
    if (TypeName == QLatin1String("integer"))
        return std::numeric_limits<qint32>::min();
    return std::numeric_limits<qint64>::min();
}

qint64 SequenceTypeMax(const QString &TypeName)
{
    if (TypeName == QLatin1String("smallint"))
        return std::numeric_limits<qint16>::max();
    if (TypeName == QLatin1String("integer"))
        return std::numeric_limits<qint32>::max();
    return std::numeric_limits<qint64>::max();
}

void InferSequenceDefaults(TSequenceDef &Def)
{
    bool ok = false;
    int inc = Def.Increment.trimmed().toInt(&ok);
    if (!ok)
        inc = 0;
    const qint64 max = ToInt64(Def.MaxValue);
    const qint64 min = ToInt64(Def.MinValue);
    Def.NoMax = (inc > 0 && max == SequenceTypeMax(Def.TypeName)) || (inc < 0 && Def.MaxValue.trimmed() == QLatin1String("-1"));
    Def.NoMin = (inc > 0 && Def.MinValue.trimmed() == QLatin1String("1"))
                || (inc < 0 && min <= SequenceTypeMin(Def.TypeName) + 1);
}

bool LoadSequenceDef(TkdConnForm *Conn, const QString &Schema, const QString &Name, TSequenceDef &Def)
{
    if (CatalogBatchLookup<TSequenceDef>(Conn, 58, {Schema, QString(), Name}, Def, &LoadSequenceDefBlock))
        return true;
    db::Query *q = Conn->OpenSQL(QString::fromLatin1(kSequenceSql).arg(QStringLiteral("n.nspname = :SCHEMA AND c.relname = :NAME")),
                                 {Schema, Name});
    if (q->eof()) {
        q->close();
        return false;
    }
    Def = ReadSequenceRow(q);
    q->close();
    return true;
}

QHash<QString, TSequenceDef> LoadSequenceDefBlock(TkdConnForm *Conn, const QList<TScriptBatchItem> &Items)
{
    // The row's last two columns, the schema and the name, make the key.
    return ReadCatalogBatchRows<TSequenceDef>(
        Conn, QString::fromLatin1(kSequenceSql).arg(CatalogBatchCondition(QStringLiteral("c.oid"), QString())), Items,
        &ReadSequenceRow, [](db::Query *q, const TSequenceDef &) {
            return TScriptBatch::Key(q->field(9).asString(), QString(), q->field(10).asString());
        });
}

QString SequenceNameLiteral(const QString &Schema, const QString &Name)
{
    return QuoteLiteral(Q(Schema) + QLatin1Char('.') + Q(Name));
}

QStringList SequenceCreateLines(const TSequenceDef &Def, const QString &Prefix, const QString &Schema,
                                const QString &Name)
{
    QStringList l;
    l << QStringLiteral("CREATE SEQUENCE ") + Prefix + Q(Name);
    // A sequence of a smaller type keeps its type (its limits follow the type).
    if (Def.TypeName == QLatin1String("smallint") || Def.TypeName == QLatin1String("integer"))
        l << QStringLiteral("AS ") + Def.TypeName;
    if (!TrimBlanks(Def.Increment).isEmpty())
        l << QStringLiteral("INCREMENT ") + Def.Increment;
    if (!TrimBlanks(Def.LastValue).isEmpty())
        l << QStringLiteral("START ") + Def.LastValue;
    if (Def.NoMax)
        l << QStringLiteral("NO MAXVALUE");
    else if (!TrimBlanks(Def.MaxValue).isEmpty())
        l << QStringLiteral("MAXVALUE ") + Def.MaxValue;
    if (Def.NoMin)
        l << QStringLiteral("NO MINVALUE");
    else if (!TrimBlanks(Def.MinValue).isEmpty())
        l << QStringLiteral("MINVALUE ") + Def.MinValue;
    l << (Def.Cycle ? QStringLiteral("CYCLE ") : QStringLiteral("NO CYCLE "));
    if (!TrimBlanks(Def.Cache).isEmpty())
        l << QStringLiteral("CACHE ") + Def.Cache;
    if (Def.OwnedNone)
        l << QStringLiteral("OWNED BY NONE");
    else
        l << QStringLiteral("OWNED BY ") + Q(Schema) + QLatin1Char('.') + Q(Def.Table) + QLatin1Char('.') + Q(Def.Column);
    l << QStringLiteral(";");
    return l;
}

QStringList SequenceAlterLines(const TSequenceDef &Saved, const TSequenceDef &Now, const QString &Schema,
                               const QString &Name)
{
    QStringList work;
    if (Now.Increment != Saved.Increment && !TrimBlanks(Now.Increment).isEmpty())
        work << QStringLiteral("INCREMENT ") + Now.Increment;
    if (Now.NoMax) {
        if (!Saved.NoMax)
            work << QStringLiteral("NO MAXVALUE");
    } else if (Now.MaxValue != Saved.MaxValue && !TrimBlanks(Now.MaxValue).isEmpty()) {
        work << QStringLiteral("MAXVALUE ") + Now.MaxValue;
    }
    if (Now.NoMin) {
        if (!Saved.NoMin)
            work << QStringLiteral("NO MINVALUE");
    } else if (Now.MinValue != Saved.MinValue && !TrimBlanks(Now.MinValue).isEmpty()) {
        work << QStringLiteral("MINVALUE ") + Now.MinValue;
    }
    if (Now.Cycle != Saved.Cycle)
        work << (Now.Cycle ? QStringLiteral("CYCLE ") : QStringLiteral("NO CYCLE "));
    if (Now.Cache != Saved.Cache)
        work << (TrimBlanks(Now.Cache).isEmpty() ? QStringLiteral("CACHE 1") : QStringLiteral("CACHE ") + Now.Cache);
    if (Now.OwnedNone) {
        if (!Saved.OwnedNone)
            work << QStringLiteral("OWNED BY NONE");
    } else if (Saved.OwnedNone || Now.Table != Saved.Table || Now.Column != Saved.Column) {
        work << QStringLiteral("OWNED BY ") + Q(Schema) + QLatin1Char('.') + Q(Now.Table) + QLatin1Char('.') + Q(Now.Column);
    }
    QStringList l;
    if (!work.isEmpty())
        l << QStringLiteral("ALTER SEQUENCE ") + Q(Schema) + QLatin1Char('.') + Q(Name) << work << QStringLiteral(";");
    // A new last value is set in place: the sequence keeps its grants, comment, owner and
    // the defaults that use it.
    if (Now.LastValue != Saved.LastValue && !TrimBlanks(Now.LastValue).isEmpty())
        l << QStringLiteral("SELECT setval(") + SequenceNameLiteral(Schema, Name) + QStringLiteral(", ")
                 + TrimBlanks(Now.LastValue) + QStringLiteral(")")
          << QStringLiteral(";");
    return l;
}

QStringList SequenceDropLines(const QString &Schema, const QString &Name)
{
    return {SequenceDropStatement(Schema, Name), QStringLiteral(";")};
}

QString SequenceDropStatement(const QString &Schema, const QString &Name)
{
    return QStringLiteral("DROP SEQUENCE ") + Q(Schema) + QLatin1Char('.') + Q(Name);
}
