#include "editors/trigger_def.h"

#include "core/kdforms.h"
#include "core/kdsqltoken.h"
#include "core/kdsub_text.h"
#include "editors/catalog_batch.h"
#include "editors/catalog_lookup.h"
#include "platform/db/dbquery.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

// pg_trigger.tgtype bits.
constexpr int kRow = 1 << 0;
constexpr int kBefore = 1 << 1;
constexpr int kInsert = 1 << 2;
constexpr int kDelete = 1 << 3;
constexpr int kUpdate = 1 << 4;
constexpr int kTruncate = 1 << 5;
constexpr int kInstead = 1 << 6;

// One statement per trigger: the type bits, the UPDATE OF names in tgattr order (as a JSON
// array, so that any name survives), the arguments as bytes, the FROM table, the function
// and the printed definition (for WHEN only).
const char *const kTriggerSql =
    "SELECT t.tgtype, c.relkind, t.tgconstraint <> 0, "
    "(SELECT json_agg(a.attname ORDER BY k.ord) FROM unnest(t.tgattr::int2[]) WITH ORDINALITY AS k(num, ord) "
    "JOIN pg_attribute a ON a.attrelid = t.tgrelid AND a.attnum = k.num), "
    "rn.nspname, rc.relname, t.tgdeferrable, t.tginitdeferred, "
    "CASE WHEN t.tgqual IS NOT NULL THEN pg_get_triggerdef(t.oid, true) END, "
    "fn.nspname, f.proname, t.tgargs, t.tgenabled, %1, n.nspname, c.relname, t.tgname "
    "FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid "
    "JOIN pg_namespace n ON n.oid = c.relnamespace "
    "LEFT JOIN pg_class rc ON rc.oid = t.tgconstrrelid "
    "LEFT JOIN pg_namespace rn ON rn.oid = rc.relnamespace "
    "JOIN pg_proc f ON f.oid = t.tgfoid JOIN pg_namespace fn ON fn.oid = f.pronamespace "
    "WHERE %2 AND NOT t.tgisinternal";

QString Q(const QString &s)
{
    return QuoteIdentifier(s);
}

bool IsTrue(const QString &s)
{
    return s == QLatin1String("t") || s == QLatin1String("true");
}

} // namespace

void DecodeTriggerType(int TgType, TTriggerDef &Def)
{
    Def.Timing = (TgType & kInstead) ? TTriggerTiming::InsteadOf
                 : (TgType & kBefore) ? TTriggerTiming::Before
                                      : TTriggerTiming::After;
    Def.Row = TgType & kRow;
    Def.Insert = TgType & kInsert;
    Def.Delete = TgType & kDelete;
    Def.Update = TgType & kUpdate;
    Def.Truncate = TgType & kTruncate;
}

int EncodeTriggerType(const TTriggerDef &Def)
{
    int t = 0;
    if (Def.Row)
        t |= kRow;
    if (Def.Timing == TTriggerTiming::Before)
        t |= kBefore;
    if (Def.Timing == TTriggerTiming::InsteadOf)
        t |= kInstead;
    if (Def.Insert)
        t |= kInsert;
    if (Def.Delete)
        t |= kDelete;
    if (Def.Update)
        t |= kUpdate;
    if (Def.Truncate)
        t |= kTruncate;
    return t;
}

QStringList SplitTriggerArgs(const QByteArray &TgArgs)
{
    QStringList args;
    qsizetype start = 0;
    for (qsizetype i = 0; i < TgArgs.size(); ++i) {
        if (TgArgs.at(i) == '\0') {
            args << QString::fromUtf8(TgArgs.mid(start, i - start));
            start = i + 1;
        }
    }
    if (start < TgArgs.size())
        args << QString::fromUtf8(TgArgs.mid(start));
    return args;
}

QString CutTriggerWhen(const QString &TriggerDef)
{
    using namespace kdsqltoken;
    const std::vector<TToken> tokens = Tokenize(TriggerDef);
    int depth = 0;
    bool afterEach = false;
    qsizetype whenEnd = -1;
    auto word = [&](const TToken &t, const char *w) {
        return t.FKind == TTokenKind::Word
               && QStringView(TriggerDef).mid(t.FStart, t.FLength).compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
    };
    for (const TToken &t : tokens) {
        if (t.FKind == TTokenKind::Punct && t.FLength == 1) {
            const QChar c = TriggerDef.at(t.FStart);
            if (c == u'(')
                ++depth;
            else if (c == u')')
                --depth;
            continue;
        }
        if (depth != 0)
            continue;
        if (!afterEach) {
            if (word(t, "EACH"))
                afterEach = true;
            continue;
        }
        if (whenEnd < 0) {
            if (word(t, "WHEN"))
                whenEnd = t.End();
            else if (word(t, "EXECUTE"))
                return QString();
            continue;
        }
        if (word(t, "EXECUTE"))
            return TriggerDef.mid(whenEnd, t.FStart - whenEnd).trimmed();
    }
    return QString();
}

QString TriggerArgsText(const QStringList &Args)
{
    QStringList parts;
    for (const QString &a : Args)
        parts << QLatin1Char('\'') + QString(a).replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
    return parts.join(QStringLiteral(", "));
}

TListError SplitQuotedList(const QString &Text, QChar Quote, QList<TListItem> &Items)
{
    QList<TListItem> out;
    if (Text.trimmed().isEmpty()) {
        Items = out;
        return TListError::None;
    }
    const qsizetype n = Text.size();
    qsizetype i = 0;
    for (;;) {
        while (i < n && Text.at(i).isSpace())
            ++i;
        TListItem item;
        if (i < n && Text.at(i) == Quote) {
            item.Quoted = true;
            ++i;
            bool closed = false;
            while (i < n) {
                if (Text.at(i) == Quote) {
                    if (i + 1 < n && Text.at(i + 1) == Quote) {
                        item.Text += Quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                item.Text += Text.at(i++);
            }
            if (!closed)
                return TListError::Unclosed;
            while (i < n && Text.at(i).isSpace())
                ++i;
            if (i < n && Text.at(i) != u',')
                return TListError::AfterQuote;
        } else {
            const qsizetype start = i;
            while (i < n && Text.at(i) != u',') {
                if (Text.at(i) == Quote)
                    return TListError::QuoteInBare;
                ++i;
            }
            item.Text = Text.mid(start, i - start).trimmed();
            if (item.Text.isEmpty())
                return TListError::Empty;
        }
        out << item;
        if (i >= n)
            break;
        ++i; // the comma
    }
    Items = out;
    return TListError::None;
}

bool ParseTriggerArgs(const QString &Text, QStringList &Args, QString &Error)
{
    QList<TListItem> items;
    switch (SplitQuotedList(Text, QLatin1Char('\''), items)) {
    case TListError::None: break;
    case TListError::Unclosed:
    case TListError::QuoteInBare:
        Error = QStringLiteral("引数の引用符が閉じられていません。");
        return false;
    case TListError::AfterQuote:
        Error = QStringLiteral("引数の指定が正しくありません。引用符の後には「,」で次の引数を続けて下さい。");
        return false;
    case TListError::Empty:
        Error = QStringLiteral("空の引数があります。空の文字列は '' と入力して下さい。");
        return false;
    }
    QStringList out;
    for (const TListItem &i : items)
        out << i.Text;
    Args = out;
    return true;
}

namespace {

QString TriggerSql(TkdConnForm *Conn, const QString &Where)
{
    const QString transition = Conn->DBVer() >= 100000 ? QStringLiteral("t.tgoldtable, t.tgnewtable")
                                                       : QStringLiteral("NULL::name, NULL::name");
    return QString::fromLatin1(kTriggerSql).arg(transition, Where);
}

// The trigger of the open query's current row, named as the row names it.
TTriggerDef ReadTriggerRow(db::Query *q)
{
    TTriggerDef d;
    d.Schema = q->field(15).asString();
    d.Table = q->field(16).asString();
    d.Name = q->field(17).asString();
    DecodeTriggerType(q->field(0).asInteger(), d);
    const QString kind = q->field(1).asString();
    d.TableKind = kind.isEmpty() ? QChar() : kind.at(0);
    d.Constraint = IsTrue(q->field(2).asString());
    if (!q->field(3).isNull())
        for (const QJsonValue &v : QJsonDocument::fromJson(q->field(3).asString().toUtf8()).array())
            d.UpdateColumns << v.toString();
    d.RefSchema = q->field(4).asString();
    d.RefTable = q->field(5).asString();
    d.Deferrable = IsTrue(q->field(6).asString());
    d.InitDeferred = IsTrue(q->field(7).asString());
    d.When = CutTriggerWhen(q->field(8).asString());
    d.FuncSchema = q->field(9).asString();
    d.FuncName = q->field(10).asString();
    d.Args = SplitTriggerArgs(q->field(11).asBytes());
    const QString enabled = q->field(12).asString();
    d.Enabled = enabled.isEmpty() ? QLatin1Char('O') : enabled.at(0);
    d.OldTable = q->field(13).asString();
    d.NewTable = q->field(14).asString();
    return d;
}

} // namespace

bool LoadTriggerDef(TkdConnForm *Conn, const QString &Schema, const QString &Table, const QString &Name,
                    TTriggerDef &Def)
{
    if (CatalogBatchLookup<TTriggerDef>(Conn, 57, {Schema, Table, Name}, Def, &LoadTriggerDefBlock))
        return true;
    const std::unique_ptr<db::Query> rows = OpenCatalogRows(
        Conn,
        TriggerSql(Conn, QStringLiteral("n.nspname = CAST(:SCHEMA AS name) AND c.relname = CAST(:TABLE AS name) "
                                        "AND t.tgname = CAST(:NAME AS name)")),
        {Schema, Table, Name});
    db::Query *q = rows.get();
    if (q->eof()) {
        q->close();
        return false;
    }
    TTriggerDef d = ReadTriggerRow(q);
    q->close();
    d.Schema = Schema;
    d.Table = Table;
    d.Name = Name;
    Def = d;
    return true;
}

QHash<QString, TTriggerDef> LoadTriggerDefBlock(TkdConnForm *Conn, const QList<TScriptBatchItem> &Items)
{
    return ReadCatalogBatchRows<TTriggerDef>(
        Conn, TriggerSql(Conn, CatalogBatchCondition(QStringLiteral("t.oid"), QStringLiteral("pg_trigger"))), Items,
        &ReadTriggerRow, [](db::Query *, const TTriggerDef &d) { return TScriptBatch::Key(d.Schema, d.Table, d.Name); });
}

QStringList TriggerCreateLines(const TTriggerDef &Def, const QString &Prefix)
{
    QStringList l;
    l << (Def.Constraint ? QStringLiteral("CREATE CONSTRAINT TRIGGER ") : QStringLiteral("CREATE TRIGGER ")) + Q(Def.Name);
    QString ev;
    switch (Def.Timing) {
    case TTriggerTiming::Before: ev = QStringLiteral("BEFORE "); break;
    case TTriggerTiming::After: ev = QStringLiteral("AFTER "); break;
    case TTriggerTiming::InsteadOf: ev = QStringLiteral("INSTEAD OF "); break;
    }
    bool any = false;
    if (Def.Insert) {
        ev += QStringLiteral("INSERT ");
        any = true;
    }
    if (Def.Delete) {
        ev += (any ? QStringLiteral("OR ") : QString()) + QStringLiteral("DELETE ");
        any = true;
    }
    if (Def.Update) {
        ev += (any ? QStringLiteral("OR ") : QString()) + QStringLiteral("UPDATE ");
        if (!Def.UpdateColumns.isEmpty() && Def.Timing != TTriggerTiming::InsteadOf) {
            QStringList cols;
            for (const QString &c : Def.UpdateColumns)
                cols << Q(c);
            ev += QStringLiteral("OF ") + cols.join(QStringLiteral(", ")) + QLatin1Char(' ');
        }
        any = true;
    }
    if (Def.Truncate)
        ev += (any ? QStringLiteral("OR ") : QString()) + QStringLiteral("TRUNCATE ");
    l << ev;
    l << QStringLiteral("ON ") + Prefix + Q(Def.Table);
    if (Def.Constraint) {
        if (!TrimBlanks(Def.RefTable).isEmpty())
            l << QStringLiteral("FROM ") + Q(Def.RefSchema) + QLatin1Char('.') + Q(Def.RefTable);
        if (Def.Deferrable) {
            l << QStringLiteral("DEFERRABLE ");
            if (Def.InitDeferred)
                l << QStringLiteral("INITIALLY DEFERRED");
        }
    }
    if (!Def.OldTable.isEmpty() || !Def.NewTable.isEmpty()) {
        QString r = QStringLiteral("REFERENCING");
        if (!Def.OldTable.isEmpty())
            r += QStringLiteral(" OLD TABLE AS ") + Q(Def.OldTable);
        if (!Def.NewTable.isEmpty())
            r += QStringLiteral(" NEW TABLE AS ") + Q(Def.NewTable);
        l << r;
    }
    if (Def.Row)
        l << QStringLiteral("FOR EACH ROW");
    if (!TrimBlanks(Def.When).isEmpty() && Def.Timing != TTriggerTiming::InsteadOf)
        l << QStringLiteral("WHEN ") + Def.When;
    QStringList args;
    for (const QString &a : Def.Args)
        args << QuoteLiteral(a);
    l << QStringLiteral("EXECUTE PROCEDURE ") + Q(Def.FuncSchema) + QLatin1Char('.') + Q(Def.FuncName) + QLatin1Char('(')
             + args.join(QStringLiteral(", ")) + QLatin1Char(')');
    l << QStringLiteral(";");
    QString state;
    switch (Def.Enabled.unicode()) {
    case 'D': state = QStringLiteral(" DISABLE TRIGGER "); break;
    case 'R': state = QStringLiteral(" ENABLE REPLICA TRIGGER "); break;
    case 'A': state = QStringLiteral(" ENABLE ALWAYS TRIGGER "); break;
    default: break;
    }
    if (!state.isEmpty()) {
        l << QStringLiteral("ALTER TABLE ") + Prefix + Q(Def.Table) + state + Q(Def.Name);
        l << QStringLiteral(";");
    }
    return l;
}

QString TriggerDropStatement(const QString &Schema, const QString &Table, const QString &Name, bool Cascade)
{
    return QStringLiteral("DROP TRIGGER ") + Q(Name) + QStringLiteral(" ON ") + Q(Schema) + QLatin1Char('.') + Q(Table)
           + (Cascade ? QStringLiteral(" CASCADE") : QString());
}

// ---------------------------------------------------------------------------------------------

void ApplyTriggerRules(TTriggerControls &C, const QString &Kind, bool IsNew, bool FunctionEmpty)
{
    const bool isView = !Kind.isEmpty() && Kind != QLatin1String("TABLE");
    // 1. Timing: a constraint trigger is AFTER.
    if (C.Constraint) {
        C.After = true;
        C.Before = C.Instead = false;
        C.AfterOn = true;
        C.BeforeOn = C.InsteadOn = false;
    } else {
        C.BeforeOn = C.AfterOn = C.InsteadOn = true;
        if (!IsNew) {
            if (C.Before || C.After)
                C.InsteadOn = false;
            if (C.Instead)
                C.BeforeOn = C.AfterOn = false;
        }
    }
    // 2. TRUNCATE: statement level on tables only.
    if (C.Constraint || ((C.Before || C.After) && C.Row) || C.Instead) {
        C.TruncateOn = false;
        C.Truncate = false;
    } else if (C.Before || C.After) {
        if (isView) {
            C.TruncateOn = false;
            C.Truncate = false;
        } else {
            C.TruncateOn = true;
        }
    }
    // 3. FROM of a constraint trigger.
    C.RefOn = C.Constraint;
    // 4. Row level.
    if (C.Constraint) {
        C.RowOn = false;
        C.Row = true;
    } else {
        if (C.Before || C.After) {
            if (C.Truncate) {
                C.RowOn = false;
                C.Row = false;
            } else {
                C.RowOn = true;
            }
        } else if (C.Instead) {
            C.RowOn = false;
            C.Row = true;
        }
        if (!IsNew && isView)
            C.RowOn = false;
    }
    // 5. Deferral.
    C.DeferrableOn = C.Constraint;
    C.CheckTimeOn = C.Constraint && C.Deferrable;
    // 6. UPDATE OF.
    C.UpdColOn = C.Update && !C.Instead;
    // 7. WHEN, and the constraint box of an existing trigger on a view.
    C.WhenOn = C.Constraint || !C.Instead;
    C.ConstraintOn = C.Constraint || IsNew || !isView;
    // 8. The table must be of a kind the trigger can have.
    bool needTable = false;
    bool needView = false;
    if (C.Constraint)
        needTable = true;
    else if (C.Instead)
        needView = true;
    else if (C.Insert || C.Update || C.Delete)
        needTable = C.Row;
    else if (C.Truncate)
        needTable = true;
    else
        needTable = C.Row;
    C.ClearTable = (needTable && Kind != QLatin1String("TABLE")) || (needView && Kind != QLatin1String("VIEW"));
    // 9. Arguments need a function.
    C.ParamOn = !FunctionEmpty;
}

QString TriggerTableListKind(const TTriggerControls &C, int DBVer)
{
    if (C.Constraint)
        return QStringLiteral("TABLE");
    if (!C.Before && !C.After)
        return QStringLiteral("VIEW");
    if (C.Insert || C.Update || C.Delete || !C.Truncate) {
        if (C.Row)
            return QStringLiteral("TABLE");
        return DBVer >= 90100 ? QString() : QStringLiteral("TABLE");
    }
    return QStringLiteral("TABLE");
}
