#include "editors/table_def.h"

#include "core/kdforms.h"
#include "core/kdsub_text.h"
#include "editors/catalog_batch.h"
#include "editors/catalog_lookup.h"
#include "platform/db/dbquery.h"

namespace {

// Catalog reads, all by the table's oid once it is known. Expressions come from pg_get_expr
// and the definitions from the server's own deparsers, so every PostgreSQL 15 feature
// (identity, generated columns, partitioning, INCLUDE, NOT VALID ...) is read as the server
// would write it. The table row ends with its schema and name; every other statement keeps
// the rows of the tables whose OID passes the condition %1 and ends with that OID, ordered by
// it first, so one statement serves one table or a block of tables alike.
const char *const kTableSql =
    "SELECT c.oid, c.relkind, c.relpersistence, COALESCE(ts.spcname, ''), "
    "COALESCE(array_to_string(c.reloptions, ', '), ''), COALESCE(obj_description(c.oid, 'pg_class'), ''), "
    "pg_get_userbyid(c.relowner), CASE WHEN c.relkind = 'p' THEN pg_get_partkeydef(c.oid) ELSE '' END, "
    "CASE WHEN c.relispartition THEN pg_get_expr(c.relpartbound, c.oid) ELSE '' END, n.nspname, c.relname "
    "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
    "LEFT JOIN pg_tablespace ts ON ts.oid = c.reltablespace "
    "WHERE c.relkind IN ('r', 'p', 't', 'f') AND %1";
const char *const kParentSql =
    "SELECT format('%I.%I', n.nspname, p.relname), c.relispartition, i.inhrelid FROM pg_inherits i "
    "JOIN pg_class p ON p.oid = i.inhparent JOIN pg_namespace n ON n.oid = p.relnamespace "
    "JOIN pg_class c ON c.oid = i.inhrelid WHERE %1 ORDER BY i.inhrelid, i.inhseqno";
const char *const kColumnSql =
    "SELECT a.attname, format_type(a.atttypid, a.atttypmod), a.attnotnull, "
    "COALESCE(pg_get_expr(d.adbin, d.adrelid), ''), a.attgenerated, a.attidentity, "
    "CASE WHEN a.attcollation <> t.typcollation THEN format('%I.%I', cn.nspname, co.collname) ELSE '' END, "
    "COALESCE(col_description(a.attrelid, a.attnum), ''), a.attislocal, a.attnum, "
    "EXISTS (SELECT 1 FROM pg_constraint k WHERE k.conrelid = a.attrelid AND k.contype = 'p' "
    "AND a.attnum = ANY (k.conkey)), "
    "COALESCE((SELECT format('%I.%I', sn.nspname, s.relname) || chr(1) || q.seqstart || chr(1) || q.seqincrement "
    "|| chr(1) || q.seqmin || chr(1) || q.seqmax || chr(1) || q.seqcache || chr(1) || q.seqcycle "
    "FROM pg_depend dp JOIN pg_class s ON s.oid = dp.objid JOIN pg_namespace sn ON sn.oid = s.relnamespace "
    "JOIN pg_sequence q ON q.seqrelid = s.oid WHERE dp.classid = 'pg_class'::regclass "
    "AND dp.refclassid = 'pg_class'::regclass AND dp.refobjid = a.attrelid AND dp.refobjsubid = a.attnum AND dp.deptype = 'i' LIMIT 1), ''), a.attrelid "
    "FROM pg_attribute a JOIN pg_type t ON t.oid = a.atttypid "
    "LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum "
    "LEFT JOIN pg_collation co ON co.oid = a.attcollation LEFT JOIN pg_namespace cn ON cn.oid = co.collnamespace "
    "WHERE %1 AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attrelid, a.attnum";
// Constraints defined on this table (inherited copies come back through INHERITS); the
// partition's own copies of its parent's keys are kept, ATTACH PARTITION adopts them.
const char *const kConstraintSql =
    "SELECT co.conname, co.contype, pg_get_constraintdef(co.oid), "
    "CASE WHEN co.contype IN ('p', 'u') THEN COALESCE(array_to_string(ic.reloptions, ', '), '') ELSE '' END, "
    "CASE WHEN co.contype IN ('p', 'u') THEN COALESCE(its.spcname, '') ELSE '' END, co.convalidated, "
    "COALESCE(obj_description(co.oid, 'pg_constraint'), ''), "
    "CASE WHEN co.contype IN ('p', 'u', 'x') THEN COALESCE(obj_description(co.conindid, 'pg_class'), '') ELSE '' END, "
    "co.conrelid FROM pg_constraint co LEFT JOIN pg_class ic ON ic.oid = co.conindid "
    "LEFT JOIN pg_tablespace its ON its.oid = ic.reltablespace "
    "WHERE %1 AND co.contype IN ('p', 'u', 'f', 'c', 'x') "
    "AND (co.conislocal OR co.conparentid <> 0 "
    "OR EXISTS (SELECT 1 FROM pg_class pc WHERE pc.oid = co.conrelid AND pc.relispartition)) "
    "ORDER BY co.conrelid, co.contype <> 'p', co.contype <> 'u', co.conname";
const char *const kIndexSql =
    "SELECT ic.relname, pg_get_indexdef(i.indexrelid), i.indisclustered, "
    "COALESCE(obj_description(i.indexrelid, 'pg_class'), ''), i.indrelid FROM pg_index i "
    "JOIN pg_class ic ON ic.oid = i.indexrelid WHERE %1 "
    "AND NOT EXISTS (SELECT 1 FROM pg_constraint k WHERE k.conindid = i.indexrelid AND k.conrelid = i.indrelid) "
    "ORDER BY i.indrelid, ic.relname";
const char *const kTriggerSql =
    "SELECT tgname, pg_get_triggerdef(oid), tgenabled, COALESCE(obj_description(oid, 'pg_trigger'), ''), tgrelid "
    "FROM pg_trigger "
    "WHERE %1 AND NOT tgisinternal AND tgparentid = 0 ORDER BY tgrelid, tgname";
// Sequences owned by a column of the table through OWNED BY (serial), not identity ones.
const char *const kOwnedSequenceSql =
    "SELECT sn.nspname, s.relname, a.attname, format_type(q.seqtypid, NULL), q.seqstart, q.seqincrement, "
    "q.seqmin, q.seqmax, q.seqcache, q.seqcycle, d.refobjid "
    "FROM pg_depend d JOIN pg_class s ON s.oid = d.objid AND s.relkind = 'S' "
    "JOIN pg_namespace sn ON sn.oid = s.relnamespace JOIN pg_sequence q ON q.seqrelid = s.oid "
    "JOIN pg_attribute a ON a.attrelid = d.refobjid AND a.attnum = d.refobjsubid "
    "WHERE d.classid = 'pg_class'::regclass AND d.refclassid = 'pg_class'::regclass "
    "AND %1 AND d.deptype = 'a' ORDER BY d.refobjid, s.relname";

bool IsTrue(const QString &s)
{
    return s == QLatin1String("t") || s == QLatin1String("true");
}

QString QI(const QString &s, bool lower)
{
    return QuoteIdentifier(s, lower);
}

// Types whose modifier belongs to the type text rather than to a length.
bool ModifierInName(const QString &t)
{
    return t.startsWith(QLatin1String("time")) || t.startsWith(QLatin1String("interval"));
}

QString Exact(const QString &Schema, const QString &Name)
{
    return QuoteIdentifier(Schema, true) + QLatin1Char('.') + QuoteIdentifier(Name, true);
}

QString PadName(const QString &Quoted)
{
    const int pad = 31 - TextDisplayWidth(Quoted);
    return Quoted + QString(pad > 0 ? pad : 0, QLatin1Char(' '));
}

QString PadChars(const QString &Quoted)
{
    return Quoted.size() >= 31 ? Quoted + QLatin1Char(' ') : Quoted.leftJustified(31, QLatin1Char(' '));
}

// The options of a column line after its type.
QString ColumnOptions(const TTableColumn &c, bool copy)
{
    QString s;
    if (!c.Collation.isEmpty())
        s += QStringLiteral(" COLLATE ") + c.Collation;
    if (!c.Generated.isEmpty())
        s += QStringLiteral(" GENERATED ALWAYS AS (") + c.Generated + QStringLiteral(") STORED");
    if (!c.Identity.isEmpty()) {
        s += c.Identity == QLatin1String("a") ? QStringLiteral(" GENERATED ALWAYS AS IDENTITY")
                                              : QStringLiteral(" GENERATED BY DEFAULT AS IDENTITY");
        QString opts = c.IdentityOptions;
        // A copy names its own identity sequence.
        if (copy && opts.startsWith(QLatin1String("SEQUENCE NAME "))) {
            const int cut = opts.indexOf(QLatin1String(" START WITH "));
            opts = cut < 0 ? QString() : opts.mid(cut + 1);
        }
        if (!opts.isEmpty())
            s += QStringLiteral(" (") + opts + QLatin1Char(')');
    }
    if (c.Generated.isEmpty() && c.Identity.isEmpty() && !TrimBlanks(c.Default).isEmpty())
        s += QStringLiteral(" DEFAULT ") + c.Default;
    if (c.NotNull)
        s += QStringLiteral(" NOT NULL");
    return s;
}

QString IdentityOptionsText(const QString &packed)
{
    const QStringList p = packed.split(QChar(1));
    if (p.size() < 7)
        return QString();
    QString s = QStringLiteral("SEQUENCE NAME ") + p[0] + QStringLiteral(" START WITH ") + p[1]
                + QStringLiteral(" INCREMENT BY ") + p[2] + QStringLiteral(" MINVALUE ") + p[3]
                + QStringLiteral(" MAXVALUE ") + p[4] + QStringLiteral(" CACHE ") + p[5];
    if (IsTrue(p[6]))
        s += QStringLiteral(" CYCLE");
    return s;
}

// Cuts a name to 63 bytes of UTF-8 without splitting a character.
QString Fit63(QString s)
{
    while (s.toUtf8().size() > 63)
        s.chop(1);
    return s;
}

// The table on the current row of kTableSql (its facts from the other statements follow).
TTableDef ReadTableRow(db::Query *q)
{
    TTableDef d;
    d.Oid = q->field(0).asString();
    d.RelKind = FirstChar(q->field(1).asString(), QLatin1Char('r'));
    d.Persistence = FirstChar(q->field(2).asString(), QLatin1Char('p'));
    d.Tablespace = q->field(3).asString();
    d.Options = q->field(4).asString();
    d.Comment = q->field(5).asString();
    d.Owner = q->field(6).asString();
    d.PartitionBy = q->field(7).asString();
    d.PartitionBound = q->field(8).asString();
    d.Schema = q->field(9).asString();
    d.Name = q->field(10).asString();
    return d;
}

void ReadParentRow(db::Query *q, TTableDef &d)
{
    if (IsTrue(q->field(1).asString()))
        d.PartitionOf = q->field(0).asString();
    else
        d.Parents << q->field(0).asString();
}

void ReadColumnRow(db::Query *q, TTableDef &d)
{
    TTableColumn c;
    c.Name = q->field(0).asString();
    c.FullType = q->field(1).asString();
    SplitTypeText(c.FullType, c.TypeName, c.Length);
    c.NotNull = IsTrue(q->field(2).asString());
    const QString expr = q->field(3).asString();
    if (q->field(4).asString() == QLatin1String("s"))
        c.Generated = expr;
    else if (TrimBlanks(expr).compare(QLatin1String("NULL"), Qt::CaseInsensitive) != 0)
        c.Default = TrimBlanks(expr);
    c.Identity = q->field(5).asString();
    c.Collation = q->field(6).asString();
    c.Comment = q->field(7).asString();
    c.Local = IsTrue(q->field(8).asString());
    c.AttNum = q->field(9).asString().toInt();
    c.PrimaryKey = IsTrue(q->field(10).asString());
    if (!c.Identity.isEmpty())
        c.IdentityOptions = IdentityOptionsText(q->field(11).asString());
    // An identity column is NOT NULL by its nature; the mark is shown but not written.
    c.LoadPos = int(d.Columns.size()) + 1;
    d.Columns << c;
}

void ReadConstraintRow(db::Query *q, TTableDef &d)
{
    TTableConstraint k;
    k.Name = q->field(0).asString();
    k.Type = FirstChar(q->field(1).asString());
    k.Definition = q->field(2).asString();
    k.IndexWith = q->field(3).asString();
    k.IndexTablespace = q->field(4).asString();
    k.Validated = IsTrue(q->field(5).asString());
    k.Comment = q->field(6).asString();
    k.IndexComment = q->field(7).asString();
    d.Constraints << k;
}

void ReadIndexRow(db::Query *q, TTableDef &d)
{
    d.Indexes << TTableIndex{q->field(0).asString(), q->field(1).asString(), IsTrue(q->field(2).asString()),
                             q->field(3).asString(), {}};
}

void ReadTriggerRow(db::Query *q, TTableDef &d)
{
    d.Triggers << TTableTrigger{q->field(0).asString(), q->field(1).asString(), FirstChar(q->field(2).asString()),
                                q->field(3).asString()};
}

void ReadOwnedSequenceRow(db::Query *q, TTableDef &d)
{
    TOwnedSequence s;
    s.Schema = q->field(0).asString();
    s.Name = q->field(1).asString();
    s.Column = q->field(2).asString();
    const QString type = q->field(3).asString();
    s.CreateLines << QStringLiteral("CREATE SEQUENCE ") + Exact(s.Schema, s.Name);
    if (type != QLatin1String("bigint"))
        s.CreateLines << QStringLiteral("AS ") + type;
    s.CreateLines << QStringLiteral("START WITH ") + q->field(4).asString()
                  << QStringLiteral("INCREMENT BY ") + q->field(5).asString()
                  << QStringLiteral("MINVALUE ") + q->field(6).asString()
                  << QStringLiteral("MAXVALUE ") + q->field(7).asString()
                  << QStringLiteral("CACHE ") + q->field(8).asString()
                  << (IsTrue(q->field(9).asString()) ? QStringLiteral("CYCLE") : QStringLiteral("NO CYCLE"))
                  << QStringLiteral(";");
    d.Sequences << s;
}

// The statements asked after the table row, in this order, and the reader of their rows.
struct TTableFact {
    const char *Sql;
    const char *OidCol; // the column the condition tests
    void (*Read)(db::Query *, TTableDef &);
};
const TTableFact kTableFacts[] = {
    {kParentSql, "i.inhrelid", &ReadParentRow},
    {kColumnSql, "a.attrelid", &ReadColumnRow},
    {kConstraintSql, "co.conrelid", &ReadConstraintRow},
    {kIndexSql, "i.indrelid", &ReadIndexRow},
    {kTriggerSql, "tgrelid", &ReadTriggerRow},
    {kOwnedSequenceSql, "d.refobjid", &ReadOwnedSequenceRow},
};

// The rows of one fact statement, each given to the table its last column names by OID.
void ReadFactRows(db::Query *q, const QHash<QString, TTableDef *> &Tables, void (*Read)(db::Query *, TTableDef &))
{
    const int owner = q->fieldCount() - 1;
    for (; !q->eof(); q->next())
        if (TTableDef *d = Tables.value(q->field(owner).asString()))
            Read(q, *d);
    q->close();
}

// The parts of each listed index, by name; one dropped between the two reads is left out.
void AttachIndexParts(TTableDef &d, const QList<TIndexDef> &Parts)
{
    QList<TTableIndex> kept;
    for (TTableIndex &ix : d.Indexes)
        for (const TIndexDef &p : Parts)
            if (p.Name == ix.Name) {
                ix.Index = p;
                kept << ix;
                break;
            }
    d.Indexes = kept;
}

} // namespace

QStringList TableIndexLines(const TTableIndex &Ix, const QString &Table, const QString &ExactTable,
                            const QString &IndexPrefix, const QString &NewName)
{
    TIndexTextOptions opt;
    opt.NewName = NewName;
    opt.NewTable = Table;
    QStringList l = IndexCreateLines(Ix.Index, opt);
    const QString name = NewName.isEmpty() ? Ix.Name : NewName;
    if (!Ix.Comment.isEmpty())
        l << QStringLiteral("COMMENT ON INDEX ") + IndexPrefix + QuoteIdentifier(name, true) + QStringLiteral(" IS ")
                 + QuoteLiteral(Ix.Comment)
          << QStringLiteral(";");
    if (Ix.Clustered)
        l << QStringLiteral("ALTER TABLE ") + ExactTable + QStringLiteral(" CLUSTER ON ") + QuoteIdentifier(name, false)
          << QStringLiteral(";");
    return l;
}

void SplitTypeText(const QString &Formatted, QString &TypeName, QString &Length)
{
    TypeName = Formatted;
    Length.clear();
    QString base = Formatted;
    const bool array = base.endsWith(QLatin1String("[]"));
    if (array)
        base.chop(2);
    if (ModifierInName(base) || !base.endsWith(QLatin1Char(')')))
        return;
    const int open = base.lastIndexOf(QLatin1Char('('));
    if (open <= 0 || base.indexOf(QLatin1Char('"'), open) >= 0)
        return;
    Length = base.mid(open + 1, base.size() - open - 2).remove(QLatin1Char(' '));
    TypeName = base.left(open) + (array ? QStringLiteral("[]") : QString());
}

QString ColumnTypeText(const TTableColumn &Col, bool UseLowerName)
{
    Q_UNUSED(UseLowerName)
    // Loaded types come from format_type, already quoted and qualified where needed.
    QString t = TrimBlanks(Col.TypeName);
    const QString len = TrimBlanks(Col.Length);
    if (t.endsWith(QLatin1String("[]"))) {
        t.chop(2);
        if (!len.isEmpty())
            t += QLatin1Char('(') + len + QLatin1Char(')');
        return t + QStringLiteral("[]");
    }
    if (!len.isEmpty())
        t += QLatin1Char('(') + len + QLatin1Char(')');
    return t;
}

bool LoadTableDef(TkdConnForm *Conn, const QString &Schema, const QString &Name, TTableDef &Def)
{
    if (CatalogBatchLookup<TTableDef>(Conn, 45, {Schema, QString(), Name}, Def, &LoadTableDefBlock))
        return true;
    db::Query *q = Conn->OpenSQL(QString::fromLatin1(kTableSql).arg(QStringLiteral("n.nspname = :SCHEMA AND c.relname = :NAME")),
                                 {Schema, Name});
    if (q->eof()) {
        q->close();
        return false;
    }
    TTableDef d = ReadTableRow(q);
    q->close();
    const QString oid = d.Oid;
    const QHash<QString, TTableDef *> tables = {{oid, &d}};
    for (const TTableFact &f : kTableFacts)
        ReadFactRows(Conn->OpenSQL(QString::fromLatin1(f.Sql).arg(QString::fromLatin1(f.OidCol) + QStringLiteral(" = CAST(:OID AS oid)")), {oid}),
                     tables, f.Read);
    AttachIndexParts(d, LoadTableIndexDefsByOid(Conn, oid));
    Def = d;
    return true;
}

QHash<QString, TTableDef> LoadTableDefBlock(TkdConnForm *Conn, const QList<TScriptBatchItem> &Items)
{
    QHash<QString, TTableDef> defs = ReadCatalogBatchRows<TTableDef>(
        Conn, QString::fromLatin1(kTableSql).arg(CatalogBatchCondition(QStringLiteral("c.oid"), QString())), Items,
        &ReadTableRow, [](db::Query *, const TTableDef &d) { return TScriptBatch::Key(d.Schema, QString(), d.Name); });
    if (defs.isEmpty())
        return defs;
    QHash<QString, TTableDef *> tables;
    for (TTableDef &d : defs)
        tables.insert(d.Oid, &d);
    const QString oids = CatalogBatchOids(tables.keys());
    for (const TTableFact &f : kTableFacts) {
        const std::unique_ptr<db::Query> q = OpenCatalogRows(
            Conn, QString::fromLatin1(f.Sql).arg(CatalogBatchOidCondition(QString::fromLatin1(f.OidCol))), {oids});
        ReadFactRows(q.get(), tables, f.Read);
    }
    // The indexes of all the tables, handed to each table as the one-table read gives them.
    QHash<QString, QList<TIndexDef>> parts;
    for (const TIndexDef &p : LoadTableIndexDefsByOids(Conn, tables.keys()))
        parts[TScriptBatch::Key(p.TableSchema, QString(), p.Table)] << p;
    for (auto it = defs.begin(); it != defs.end(); ++it)
        AttachIndexParts(*it, parts.value(it.key()));
    return defs;
}

bool TableNeedsRebuild(const TTableDef &Loaded, const TTableDef &Edited)
{
    if (Loaded.Name.isEmpty())
        return true;
    if (Loaded.OnCommit != Edited.OnCommit)
        return true;
    // Loaded columns must keep their order, and added ones must come after all of them.
    int last = 0;
    bool added = false;
    for (const TTableColumn &c : Edited.Columns) {
        if (TrimBlanks(c.Name).isEmpty())
            continue;
        if (c.LoadPos == 0) {
            added = true;
            continue;
        }
        if (added || c.LoadPos < last)
            return true;
        last = c.LoadPos;
    }
    return false;
}

QString AutoQuotedDefault(const QString &TypeName, const QString &Default)
{
    static const QStringList character = {"character", "char", "character varying", "varchar", "text",
                                          "national character", "national character varying"};
    static const QStringList keywords = {"current_user", "current_date", "current_time", "current_timestamp",
                                         "localtime", "localtimestamp", "session_user", "user", "current_role",
                                         "current_schema", "current_catalog", "null", "true", "false", "default"};
    const QString v = TrimBlanks(Default);
    if (v.isEmpty() || !character.contains(TrimBlanks(TypeName).toLower()) || keywords.contains(v.toLower()))
        return Default;
    bool number = false;
    v.toDouble(&number);
    if (number)
        return Default;
    for (QChar c : v)
        if (!(c.isLetterOrNumber() || c == QLatin1Char('_')))
            return Default;
    return QuoteLiteral(v);
}

QStringList TableCreateLines(const TTableDef &Def, const TTableTextOptions &Opt)
{
    const bool copy = !Opt.CopySchema.isEmpty() && !Opt.CopyName.isEmpty();
    const bool lower = Opt.UseLowerName;
    const QString name = copy ? Opt.CopyName : Def.Name;
    const QString schema = copy ? Opt.CopySchema : Def.Schema;
    const bool temp = Def.Persistence == QLatin1Char('t');
    const QString target = temp ? QI(name, lower) : Opt.Prefix + QI(name, lower);
    // Statements that change the table name it exactly.
    const QString exact = temp ? QI(name, lower) : QI(schema, lower) + QLatin1Char('.') + QI(name, lower);

    QStringList l;
    const bool ownSequences = !copy && !Opt.KeepSequences;
    if (ownSequences)
        for (const TOwnedSequence &s : Def.Sequences)
            l << s.CreateLines;

    QString head = temp ? QStringLiteral("CREATE TEMPORARY TABLE ")
                        : Def.Persistence == QLatin1Char('u') ? QStringLiteral("CREATE UNLOGGED TABLE ")
                                                              : QStringLiteral("CREATE TABLE ");
    l << head + target;
    l << QStringLiteral("(");
    QStringList elements;
    QStringList pkMarked;
    for (const TTableColumn &c : Def.Columns) {
        // An inheritance child gets its parents' columns through INHERITS; a partition is
        // created on its own and attached afterwards, so it writes every column.
        if (TrimBlanks(c.Name).isEmpty() || (!c.Local && Def.PartitionOf.isEmpty()))
            continue;
        const QString qn = QI(c.Name, lower);
        elements << QStringLiteral("    ") + PadName(qn) + QLatin1Char(' ') + ColumnTypeText(c, lower)
                        + ColumnOptions(c, copy);
        if (c.PrimaryKey)
            pkMarked << qn;
    }
    const int columnCount = elements.size();
    bool pkWritten = false;
    int uk = 0;
    QStringList after; // NOT VALID constraints are added once the table stands
    for (const TTableConstraint &k : Def.Constraints) {
        const bool key = k.Type == QLatin1Char('p') || k.Type == QLatin1Char('u');
        if (copy && !key)
            continue;
        QString kname = k.Name;
        if (copy && !Opt.WithIndexes)
            kname = k.Type == QLatin1Char('p') ? QStringLiteral("PK_") + name
                                               : QStringLiteral("UK_") + name + QString::number(++uk);
        else if (copy && schema == Def.Schema)
            // The source's key indexes hold these names in the same schema.
            kname = Fit63(name + QLatin1Char('_') + k.Name);
        QString line = QStringLiteral("CONSTRAINT ") + QI(kname, lower) + QLatin1Char(' ') + k.Definition;
        if (key && !k.IndexWith.isEmpty())
            line += QStringLiteral(" WITH (") + k.IndexWith + QLatin1Char(')');
        if (key && !k.IndexTablespace.isEmpty())
            line += QStringLiteral(" USING INDEX TABLESPACE ") + QI(k.IndexTablespace, lower);
        if (k.Type == QLatin1Char('p'))
            pkWritten = true;
        if (!k.Validated) {
            after << QStringLiteral("ALTER TABLE ") + exact + QStringLiteral(" ADD ") + line << QStringLiteral(";");
            continue;
        }
        elements << QStringLiteral("    ") + line;
    }
    // A new table's key comes from the column marks.
    if (!pkWritten && !pkMarked.isEmpty()) {
        QString line = QStringLiteral("    CONSTRAINT ") + QI(QStringLiteral("PK_") + name, lower)
                       + QStringLiteral(" PRIMARY KEY (") + pkMarked.join(QStringLiteral(", ")) + QLatin1Char(')');
        if (!TrimBlanks(Def.Tablespace).isEmpty())
            line += QStringLiteral(" USING INDEX TABLESPACE ") + QI(Def.Tablespace, lower);
        elements.insert(columnCount, line);
    }
    for (int i = 0; i < elements.size(); ++i)
        l << elements[i] + (i + 1 < elements.size() ? QStringLiteral(",") : QString());
    l << QStringLiteral(")");
    if (!Def.Parents.isEmpty() && Def.PartitionOf.isEmpty())
        l << QStringLiteral("INHERITS (") + Def.Parents.join(QStringLiteral(", ")) + QLatin1Char(')');
    if (!Def.PartitionBy.isEmpty())
        l << QStringLiteral("PARTITION BY ") + Def.PartitionBy;
    if (!Def.Options.isEmpty())
        l << QStringLiteral("WITH (") + Def.Options + QLatin1Char(')');
    if (!Def.Tablespace.isEmpty() && !temp)
        l << QStringLiteral("TABLESPACE ") + QI(Def.Tablespace, lower);
    if (temp && !Def.OnCommit.isEmpty())
        l << QStringLiteral("ON COMMIT ") + Def.OnCommit;
    l << QStringLiteral(";");
    l << after;
    if (ownSequences)
        for (const TOwnedSequence &s : Def.Sequences)
            l << QStringLiteral("ALTER SEQUENCE ") + Exact(s.Schema, s.Name) + QStringLiteral(" OWNED BY ") + exact
                     + QLatin1Char('.') + QuoteIdentifier(s.Column, true)
              << QStringLiteral(";");

    const QString commentTarget = target;
    if (!TrimBlanks(Def.Comment).isEmpty())
        l << QStringLiteral("COMMENT ON TABLE ") + commentTarget + QStringLiteral(" IS ") + QuoteLiteral(Def.Comment)
          << QStringLiteral(";");
    for (const TTableColumn &c : Def.Columns)
        if (!TrimBlanks(c.Name).isEmpty() && !TrimBlanks(c.Comment).isEmpty())
            l << QStringLiteral("COMMENT ON COLUMN ") + commentTarget + QLatin1Char('.') + QI(c.Name, lower)
                     + QStringLiteral(" IS ") + QuoteLiteral(c.Comment)
              << QStringLiteral(";");
    // Comments of the constraints and of the keys' indexes (the copy's keys are named anew).
    const QString indexPrefix = temp ? QString() : QI(schema, lower) + QLatin1Char('.');
    if (!copy)
        for (const TTableConstraint &k : Def.Constraints) {
            if (!k.Comment.isEmpty())
                l << QStringLiteral("COMMENT ON CONSTRAINT ") + QI(k.Name, lower) + QStringLiteral(" ON ") + exact
                         + QStringLiteral(" IS ") + QuoteLiteral(k.Comment)
                  << QStringLiteral(";");
            if (!k.IndexComment.isEmpty())
                l << QStringLiteral("COMMENT ON INDEX ") + indexPrefix + QI(k.Name, lower) + QStringLiteral(" IS ")
                         + QuoteLiteral(k.IndexComment)
                  << QStringLiteral(";");
        }

    if (Opt.WithIndexes)
        // Each index on the table as the CREATE line names it; a copy's index is named with
        // the copy's name in front.
        for (const TTableIndex &ix : Def.Indexes)
            l << TableIndexLines(ix, target, exact, indexPrefix, copy ? Fit63(name + QLatin1Char('_') + ix.Name) : QString());
    if (!copy && !Def.PartitionOf.isEmpty())
        l << QStringLiteral("ALTER TABLE ") + Def.PartitionOf + QStringLiteral(" ATTACH PARTITION ") + exact + QLatin1Char(' ')
                 + Def.PartitionBound
          << QStringLiteral(";");
    return l;
}

QStringList TableAlterLines(const TTableDef &Loaded, const TTableDef &Edited, bool UseLowerName)
{
    const bool lower = UseLowerName;
    const QString T = QI(Loaded.Schema, lower) + QLatin1Char('.') + QI(Loaded.Name, lower);
    auto loadedAt = [&](int pos) -> const TTableColumn * {
        for (const TTableColumn &c : Loaded.Columns)
            if (c.LoadPos == pos)
                return &c;
        return nullptr;
    };
    auto kept = [&](int pos) {
        for (const TTableColumn &c : Edited.Columns)
            if (c.LoadPos == pos && !TrimBlanks(c.Name).isEmpty())
                return true;
        return false;
    };
    QStringList l;
    // Removed columns.
    for (const TTableColumn &c : Loaded.Columns)
        if (!kept(c.LoadPos))
            l << QStringLiteral("ALTER TABLE ") + T + QStringLiteral(" DROP COLUMN ") + QI(c.Name, lower)
              << QStringLiteral(";");
    // Changed columns, under their loaded names.
    for (const TTableColumn &c : Edited.Columns) {
        if (c.LoadPos == 0 || TrimBlanks(c.Name).isEmpty())
            continue;
        const TTableColumn *o = loadedAt(c.LoadPos);
        if (!o)
            continue;
        const QString C = PadChars(QI(o->Name, lower));
        if (c.TypeName != o->TypeName || c.Length != o->Length)
            l << QStringLiteral("ALTER TABLE ") + T
              << QStringLiteral("    ALTER COLUMN ") + C + QStringLiteral(" TYPE ") + ColumnTypeText(c, lower)
              << QStringLiteral(";");
        if (c.NotNull != o->NotNull)
            l << QStringLiteral("ALTER TABLE ") + T
              << QStringLiteral("    ALTER COLUMN ") + C + (c.NotNull ? QStringLiteral(" SET NOT NULL") : QStringLiteral(" DROP NOT NULL"))
              << QStringLiteral(";");
        if (TrimBlanks(c.Default) != TrimBlanks(o->Default))
            l << QStringLiteral("ALTER TABLE ") + T
              << QStringLiteral("    ALTER COLUMN ") + C
                     + (TrimBlanks(c.Default).isEmpty() ? QStringLiteral(" DROP DEFAULT")
                                                        : QStringLiteral(" SET DEFAULT ") + TrimBlanks(c.Default))
              << QStringLiteral(";");
    }
    // Added columns, at the end.
    for (const TTableColumn &c : Edited.Columns)
        if (c.LoadPos == 0 && !TrimBlanks(c.Name).isEmpty())
            l << QStringLiteral("ALTER TABLE ") + T
              << QStringLiteral("    ADD COLUMN ") + PadChars(QI(c.Name, lower)) + ColumnTypeText(c, lower)
                     + ColumnOptions(c, false)
              << QStringLiteral(";");
    // Renames.
    for (const TTableColumn &c : Edited.Columns) {
        const TTableColumn *o = c.LoadPos ? loadedAt(c.LoadPos) : nullptr;
        if (o && !TrimBlanks(c.Name).isEmpty() && c.Name != o->Name)
            l << QStringLiteral("ALTER TABLE ") + T + QStringLiteral(" RENAME COLUMN ") + QI(o->Name, lower)
                     + QStringLiteral(" TO ") + QI(c.Name, lower)
              << QStringLiteral(";");
    }
    // The primary key, after the columns exist under their new names.
    bool pkChanged = false;
    QStringList keyCols;
    for (const TTableColumn &c : Edited.Columns) {
        if (TrimBlanks(c.Name).isEmpty())
            continue;
        const TTableColumn *o = c.LoadPos ? loadedAt(c.LoadPos) : nullptr;
        if ((o && o->PrimaryKey != c.PrimaryKey) || (!o && c.PrimaryKey))
            pkChanged = true;
        if (c.PrimaryKey)
            keyCols << QI(c.Name, lower);
    }
    for (const TTableColumn &o : Loaded.Columns)
        if (o.PrimaryKey && !kept(o.LoadPos))
            pkChanged = true;
    if (pkChanged) {
        QString pkName = QStringLiteral("PK_") + Loaded.Name;
        for (const TTableConstraint &k : Loaded.Constraints)
            if (k.Type == QLatin1Char('p')) {
                pkName = k.Name;
                // A dropped key column took the key with it.
                bool gone = false;
                for (const TTableColumn &o : Loaded.Columns)
                    if (o.PrimaryKey && !kept(o.LoadPos))
                        gone = true;
                if (!gone)
                    l << QStringLiteral("ALTER TABLE ") + T + QStringLiteral(" DROP CONSTRAINT ") + QI(k.Name, lower)
                      << QStringLiteral(";");
            }
        if (!keyCols.isEmpty()) {
            QString line = QStringLiteral("    ADD CONSTRAINT ") + QI(pkName, lower) + QStringLiteral(" PRIMARY KEY (")
                           + keyCols.join(QStringLiteral(", ")) + QLatin1Char(')');
            if (!TrimBlanks(Edited.Tablespace).isEmpty())
                line += QStringLiteral(" USING INDEX TABLESPACE ") + QI(Edited.Tablespace, lower);
            l << QStringLiteral("ALTER TABLE ") + T << line << QStringLiteral(";");
        }
    }
    // Storage.
    if (Edited.Tablespace != Loaded.Tablespace)
        l << QStringLiteral("ALTER TABLE ") + T + QStringLiteral(" SET TABLESPACE ")
                 + (TrimBlanks(Edited.Tablespace).isEmpty() ? QStringLiteral("pg_default") : QI(Edited.Tablespace, lower))
          << QStringLiteral(";");
    if (Edited.Options != Loaded.Options) {
        QStringList reset;
        for (const QString &o : Loaded.Options.split(QStringLiteral(", "), Qt::SkipEmptyParts))
            reset << o.section(QLatin1Char('='), 0, 0);
        if (!reset.isEmpty())
            l << QStringLiteral("ALTER TABLE ") + T + QStringLiteral(" RESET (") + reset.join(QStringLiteral(", ")) + QLatin1Char(')')
              << QStringLiteral(";");
        if (!TrimBlanks(Edited.Options).isEmpty())
            l << QStringLiteral("ALTER TABLE ") + T + QStringLiteral(" SET (") + Edited.Options + QLatin1Char(')')
              << QStringLiteral(";");
    }
    for (const QString &p : Loaded.Parents)
        if (!Edited.Parents.contains(p))
            l << QStringLiteral("ALTER TABLE ") + T + QStringLiteral(" NO INHERIT ") + p << QStringLiteral(";");
    for (const QString &p : Edited.Parents)
        if (!Loaded.Parents.contains(p))
            l << QStringLiteral("ALTER TABLE ") + T + QStringLiteral(" INHERIT ") + p << QStringLiteral(";");
    // Comments; an emptied comment is removed with an empty literal.
    if (Edited.Comment != Loaded.Comment)
        l << QStringLiteral("COMMENT ON TABLE ") + T + QStringLiteral(" IS ") + QuoteLiteral(Edited.Comment)
          << QStringLiteral(";");
    for (const TTableColumn &c : Edited.Columns) {
        if (TrimBlanks(c.Name).isEmpty())
            continue;
        const TTableColumn *o = c.LoadPos ? loadedAt(c.LoadPos) : nullptr;
        if (c.Comment != (o ? o->Comment : QString()))
            l << QStringLiteral("COMMENT ON COLUMN ") + T + QLatin1Char('.') + QI(c.Name, lower) + QStringLiteral(" IS ")
                     + QuoteLiteral(c.Comment)
              << QStringLiteral(";");
    }
    return l;
}

QStringList TableDropLines(const QString &Schema, const QString &Name, bool Cascade)
{
    return {QStringLiteral("DROP TABLE ") + Exact(Schema, Name) + (Cascade ? QStringLiteral(" CASCADE") : QString()),
            QStringLiteral(";")};
}

QStringList TableTriggerLines(const TTableDef &Def)
{
    QStringList l;
    const QString T = Exact(Def.Schema, Def.Name);
    for (const TTableTrigger &t : Def.Triggers) {
        l << t.Definition << QStringLiteral(";");
        const QString q = QuoteIdentifier(t.Name, true);
        if (!t.Comment.isEmpty())
            l << QStringLiteral("COMMENT ON TRIGGER ") + q + QStringLiteral(" ON ") + T + QStringLiteral(" IS ")
                     + QuoteLiteral(t.Comment)
              << QStringLiteral(";");
        if (t.Enabled == QLatin1Char('D'))
            l << QStringLiteral("ALTER TABLE ") + T + QStringLiteral(" DISABLE TRIGGER ") + q << QStringLiteral(";");
        else if (t.Enabled == QLatin1Char('R'))
            l << QStringLiteral("ALTER TABLE ") + T + QStringLiteral(" ENABLE REPLICA TRIGGER ") + q << QStringLiteral(";");
        else if (t.Enabled == QLatin1Char('A'))
            l << QStringLiteral("ALTER TABLE ") + T + QStringLiteral(" ENABLE ALWAYS TRIGGER ") + q << QStringLiteral(";");
    }
    return l;
}

QString TableBackupName(const QString &Name, const std::function<bool(const QString &)> &taken)
{
    for (int n = 0;; ++n) {
        const QString suffix = n == 0 ? QStringLiteral("_bk") : QStringLiteral("_bk") + QString::number(n);
        QString base = Name;
        while ((base + suffix).toUtf8().size() > 63)
            base.chop(1);
        const QString candidate = base + suffix;
        if (!taken || !taken(candidate))
            return candidate;
    }
}
