// Catalog SQL fragments and data-type texts.
#include "core/kdsub_catalog.h"
#include "core/kdsub_options.h"
#include "core/kdsub_text.h"
#include "platform/db/dberror.h"
#include "platform/db/dbfield.h"
#include "platform/db/dbquery.h"
#include <QStringList>
#include <map>

QString TableRelkindsSQL()
{
    return QStringLiteral("'r', 'f', 't', 'p'");
}

QString ViewRelkindsSQL()
{
    return QStringLiteral("'v'");
}

namespace {

struct Fragments { QStringList from, where; };

// The listing fragments per object-type code. The table listing takes partitioned tables
// (relkind 'p') with the other tables; the trigger listing leaves out the triggers the
// server makes for itself (foreign keys, deferred unique checks).
const std::map<int, Fragments> &listingFragments()
{
    static const std::map<int, Fragments> fragments{
        {45, {{QStringLiteral("FROM pg_class            AS TblInf"),
               QStringLiteral("LEFT JOIN pg_namespace   AS TblNsp"),
               QStringLiteral(" ON  TblNsp.oid          =   TblInf.relnamespace"),
               QStringLiteral("LEFT JOIN pg_tablespace  AS TblSpe"),
               QStringLiteral(" ON  TblSpe.oid          =   TblInf.reltablespace"),
               QStringLiteral("LEFT JOIN pg_roles       AS TblRol"),
               QStringLiteral(" ON  TblRol.oid          =  TblInf.relowner")},
              {QStringLiteral("WHERE  TblInf.relkind    IN  (") + TableRelkindsSQL() + QLatin1Char(')')}}},
        {46, {{QStringLiteral("FROM pg_class            AS C"),
               QStringLiteral("LEFT JOIN pg_namespace   AS N"),
               QStringLiteral(" ON  C.relnamespace      =   N.oid"),
               QStringLiteral("LEFT JOIN pg_index       AS I"),
               QStringLiteral(" ON  C.oid               =   I.indexrelid"),
               QStringLiteral("LEFT JOIN pg_am          AS AM"),
               QStringLiteral(" ON  C.relam             =   AM.oid"),
               QStringLiteral("LEFT JOIN pg_tablespace  AS T"),
               QStringLiteral(" ON  C.reltablespace     =   T.oid"),
               QStringLiteral("LEFT JOIN pg_class       AS C2"),
               QStringLiteral(" ON  I.indrelid          =   C2.oid"),
               QStringLiteral("LEFT JOIN pg_namespace   AS N2"),
               QStringLiteral(" ON  C2.relnamespace     =   N2.oid"),
               QStringLiteral("LEFT JOIN pg_description AS D"),
               QStringLiteral(" ON  C.oid               =   D.objoid"),
               QStringLiteral("LEFT JOIN pg_roles       AS TblRol"),
               QStringLiteral(" ON  TblRol.oid          =  C.relowner")},
              {QStringLiteral("WHERE  C.relkind         =   'i'")}}},
        {47, {{QStringLiteral("FROM pg_class            AS TblInf"),
               QStringLiteral("LEFT JOIN pg_namespace   AS TblNsp"),
               QStringLiteral(" ON  TblNsp.oid          =   TblInf.relnamespace"),
               QStringLiteral("LEFT JOIN pg_roles       AS TblRol"),
               QStringLiteral(" ON  TblRol.oid          =  TblInf.relowner")},
              {QStringLiteral("WHERE  TblInf.relkind    IN  (") + ViewRelkindsSQL() + QLatin1Char(')')}}},
        {52, {{QStringLiteral("FROM pg_proc             AS Prc"),
               QStringLiteral("LEFT JOIN pg_namespace   AS Nms"),
               QStringLiteral(" ON  Prc.pronamespace    =   Nms.oid"),
               QStringLiteral("LEFT JOIN pg_type        AS Typ"),
               QStringLiteral(" ON  Prc.prorettype      =   Typ.oid"),
               QStringLiteral("LEFT JOIN pg_roles       AS TblRol"),
               QStringLiteral(" ON  TblRol.oid          =  Prc.proowner")},
              {}}},
        {55, {{QStringLiteral("FROM pg_type             AS T"),
               QStringLiteral("LEFT JOIN pg_namespace   AS N"),
               QStringLiteral(" ON  T.typnamespace      =   N.oid"),
               QStringLiteral("LEFT JOIN pg_class       AS C"),
               QStringLiteral(" ON  T.typrelid          =   c.oid"),
               QStringLiteral("LEFT JOIN pg_roles       AS TblRol"),
               QStringLiteral(" ON  TblRol.oid          =  T.typowner")},
              {QStringLiteral("WHERE  ("),
               QStringLiteral("             C.relkind = 'c'"),
               QStringLiteral("         OR  T.typtype = 'e'"),
               QStringLiteral("         OR  T.typtype = 'r'"),
               QStringLiteral("         OR  T.typtype = 'p'"),
               QStringLiteral("         OR  ("),
               QStringLiteral("                   T.typtype     =       'b'"),
               QStringLiteral("               AND T.typcategory NOT IN  ('A','B','C','D','E','G','I','N','P','R','S','T','V','X')"),
               QStringLiteral("             )"),
               QStringLiteral("       )")}}},
        {57, {{QStringLiteral("FROM pg_trigger            AS TrgInf"),
               QStringLiteral("LEFT JOIN pg_class         AS TblInf"),
               QStringLiteral("  ON  TrgInf.tgrelid       =   TblInf.oid"),
               QStringLiteral("LEFT JOIN pg_class         AS RefTblInf"),
               QStringLiteral("  ON  TrgInf.tgconstrrelid =   RefTblInf.oid"),
               QStringLiteral("LEFT JOIN pg_proc          AS FncInf"),
               QStringLiteral("  ON  TrgInf.tgfoid        =   FncInf.oid"),
               QStringLiteral("LEFT JOIN pg_namespace     AS Nms"),
               QStringLiteral("  ON  TblInf.relnamespace  =   Nms.oid"),
               QStringLiteral("LEFT JOIN pg_tables        AS TblShe"),
               QStringLiteral("  ON  TblInf.relname       =   TblShe.tablename"),
               QStringLiteral("  AND Nms.nspname          =   TblShe.schemaname"),
               QStringLiteral("LEFT JOIN pg_views         AS VieShe"),
               QStringLiteral("  ON  TblInf.relname       =   VieShe.viewname"),
               QStringLiteral("  AND Nms.nspname          =   VieShe.schemaname"),
               QStringLiteral("LEFT JOIN pg_namespace     AS FncNms"),
               QStringLiteral("  ON  FncInf.pronamespace  =   FncNms.oid"),
               QStringLiteral("LEFT JOIN pg_description   AS TrgCom"),
               QStringLiteral("  ON  TrgInf.oid           =   TrgCom.Objoid"),
               QStringLiteral("LEFT JOIN pg_roles         AS TblRol"),
               QStringLiteral(" ON  TblRol.oid            =  TblInf.relowner")},
              {QStringLiteral("WHERE  NOT TrgInf.tgisinternal")}}},
        {58, {{QStringLiteral("FROM pg_class            AS C"),
               QStringLiteral("LEFT JOIN pg_namespace   AS N"),
               QStringLiteral(" ON  C.relnamespace      =  N.oid"),
               QStringLiteral("LEFT JOIN pg_roles       AS TblRol"),
               QStringLiteral(" ON  TblRol.oid          =  C.relowner")},
              {QStringLiteral("WHERE  C.relkind         = 'S'")}}},
        {66, {{QStringLiteral("FROM pg_constraint       AS ConInf"),
               QStringLiteral("LEFT JOIN pg_namespace   AS ConNsp"),
               QStringLiteral(" ON  ConNsp.oid          =   ConInf.connamespace"),
               QStringLiteral("LEFT JOIN pg_class       AS TblInf"),
               QStringLiteral(" ON  TblInf.oid          =   ConInf.conrelid"),
               QStringLiteral("LEFT JOIN pg_namespace   AS TblNsp"),
               QStringLiteral(" ON  TblNsp.oid          =   TblInf.relnamespace"),
               QStringLiteral("LEFT JOIN pg_roles       AS TblRol"),
               QStringLiteral(" ON  TblRol.oid          =  TblInf.relowner")},
              {QStringLiteral("WHERE  ConInf.contype    <>  't'")}}},
        {127, {{QStringLiteral("FROM pg_rewrite          AS r"),
                QStringLiteral("LEFT JOIN pg_class       AS c"),
                QStringLiteral(" ON  c.oid               =   r.ev_class"),
                QStringLiteral("LEFT JOIN pg_namespace   AS ns"),
                QStringLiteral(" ON  ns.oid              =   c.relnamespace"),
                QStringLiteral("LEFT JOIN pg_description AS cm"),
                QStringLiteral(" ON  r.oid               =   cm.Objoid"),
                QStringLiteral("LEFT JOIN pg_roles       AS TblRol"),
                QStringLiteral(" ON  TblRol.oid          =  c.relowner")},
               {}}},
    };
    return fragments;
}

QString joinFragments(const QStringList &parts)
{
    QString text;
    for (const QString &p : parts)
        text += u' ' + p;
    return text;
}

// ---- type-name groups --------------------------------------------------------------------

bool inList(const QString &name, std::initializer_list<const char *> names)
{
    for (const char *n : names)
        if (name == QLatin1String(n))
            return true;
    return false;
}

bool inCharacterGroup(const QString &n)
{
    return inList(n, {"character", "char", "character varying", "varchar", "character[]", "char[]",
                      "character varying[]", "varchar[]", "national character",
                      "national character[]", "national character varying",
                      "national character varying[]"});
}
bool inNumericGroup(const QString &n) { return inList(n, {"numeric", "numeric[]"}); }
bool inIntervalGroup(const QString &n) { return inList(n, {"interval", "interval[]"}); }
bool inBitGroup(const QString &n) { return inList(n, {"bit", "bit[]", "bit varying", "bit varying[]"}); }
bool inTimeGroup(const QString &n)
{
    return inList(n, {"time with time zone", "time with time zone[]", "time without time zone",
                      "time without time zone[]", "timestamp with time zone",
                      "timestamp with time zone[]", "timestamp without time zone",
                      "timestamp without time zone[]"});
}
bool inPrecisionGroup(const QString &n)
{
    return inCharacterGroup(n)
           || inList(n, {"bit", "bit varying", "numeric", "bit[]", "bit varying[]", "numeric[]",
                         "interval", "interval[]", "interval SECOND", "interval SECOND[]",
                         "interval DAY TO SECOND", "interval DAY TO SECOND[]",
                         "interval HOUR TO SECOND", "interval HOUR TO SECOND[]",
                         "interval MINUTE TO SECOND", "interval MINUTE TO SECOND[]"});
}

// The interval qualifier of a typmod; with withPrecision, the seconds precision too.
QString intervalQualifier(int typmod, bool withPrecision)
{
    struct Q { quint32 typmod; const char *text; };
    static const Q exact[] = {
        {0x2FFFF, " MONTH"}, {0x4FFFF, " YEAR"}, {0x6FFFF, " YEAR TO MONTH"}, {0x8FFFF, " DAY"},
        {0x400FFFF, " HOUR"}, {0x408FFFF, " DAY TO HOUR"}, {0x800FFFF, " MINUTE"},
        {0xC00FFFF, " HOUR TO MINUTE"}, {0xC08FFFF, " DAY TO MINUTE"}, {0x1000FFFF, " SECOND"},
        {0x1800FFFF, " MINUTE TO SECOND"}, {0x1C00FFFF, " HOUR TO SECOND"},
        {0x1C08FFFF, " DAY TO SECOND"},
    };
    static const Q withDigit[] = {
        {0x10000000, " SECOND"}, {0x18000000, " MINUTE TO SECOND"},
        {0x1C000000, " HOUR TO SECOND"}, {0x1C080000, " DAY TO SECOND"}, {0x7FFF0000, ""},
    };
    const quint32 t = quint32(typmod);
    for (const Q &q : exact)
        if (t == q.typmod)
            return QString::fromLatin1(q.text);
    for (const Q &q : withDigit) {
        if (t >= q.typmod && t <= q.typmod + 6) {
            const QString text = QString::fromLatin1(q.text);
            return withPrecision ? text + QStringLiteral(" (%1)").arg(t - q.typmod) : text;
        }
    }
    return QString();
}

// The seconds precision of an interval typmod with a precision digit; -1 when none.
int intervalPrecision(int typmod)
{
    const quint32 t = quint32(typmod);
    for (quint32 base : {0x10000000u, 0x18000000u, 0x1C000000u, 0x1C080000u, 0x7FFF0000u})
        if (t >= base && t <= base + 6)
            return int(t - base);
    return -1;
}

QString nullableText(const QVariant &v)
{
    return (!v.isValid() || v.isNull()) ? QString() : v.toString();
}
bool isNullValue(const QVariant &v) { return !v.isValid() || v.isNull(); }

// One name of an acl item: quoted (up to its closing quote) or plain; `pos` moves past it.
QString readAclName(const QString &s, qsizetype &pos, QChar stop)
{
    if (pos < s.size() && s.at(pos) == u'"')
        return ReadQuotedText(s, pos);
    QString name;
    while (pos < s.size() && s.at(pos) != stop)
        name += s.at(pos++);
    return name;
}

} // namespace

void ObjectListSQL(int Code, QString &FromText, QString &WhereText)
{
    FromText.clear();
    WhereText.clear();
    const auto &all = listingFragments();
    const auto it = all.find(Code);
    if (it == all.end())
        return;
    FromText = joinFragments(it->second.from);
    WhereText = joinFragments(it->second.where);
}

// ---- function arguments --------------------------------------------------------------------

QString FunctionArgsSQL()
{
    // The array elements are joined with CR LF inside the string literal.
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral(" SELECT oid")
           + QStringLiteral(", ") + QStringLiteral("      CASE")
           + QStringLiteral("          WHEN proallargtypes IS NULL")
           + QStringLiteral("            THEN  array_to_string(proargtypes, '") + crlf + QStringLiteral("')")
           + QStringLiteral("          ELSE    array_to_string(proallargtypes, '") + crlf + QStringLiteral("')")
           + QStringLiteral("        END AS AryType")
           + QStringLiteral(",       CASE")
           + QStringLiteral("          WHEN proargmodes IS NULL THEN ''")
           + QStringLiteral("          ELSE array_to_string(proargmodes, '") + crlf + QStringLiteral("')")
           + QStringLiteral("        END AS AryMode")
           + QStringLiteral(",       CASE")
           + QStringLiteral("          WHEN proargnames IS NULL THEN ''")
           + QStringLiteral("          ELSE array_to_string(proargnames, '") + crlf + QStringLiteral("')")
           + QStringLiteral("        END AS AryNm")
           + QStringLiteral("        ")
           + QStringLiteral(" FROM   pg_proc")
           + QStringLiteral(" WHERE  oid = :OID")
           + QStringLiteral(" ORDER")
           + QStringLiteral(" BY     proname");
}

QString FunctionArgTypesSQL(int Count)
{
    // Each branch carries its argument number, and the union is ordered by it: the row
    // order of a UNION ALL is not defined otherwise.
    QStringList branches;
    for (int i = 0; i < Count; ++i)
        branches << QStringLiteral(" SELECT %1 AS ArgNo").arg(i)
                        + QStringLiteral("      , NA.nspname")
                        + QStringLiteral("      , TY.typname")
                        + QStringLiteral("      , format_type(TY.oid, null)")
                        + QStringLiteral(" FROM pg_type TY")
                        + QStringLiteral(" LEFT JOIN pg_namespace NA ON TY.typnamespace = NA.oid")
                        + QStringLiteral(" WHERE TY.oid = :OID%1").arg(i);
    if (branches.isEmpty())
        return QString();
    return branches.join(QStringLiteral(" UNION ALL")) + QStringLiteral(" ORDER BY 1");
}

FncArgArray ParseFunctionArgs(const QString &AryType, const QString &AryMode, const QString &AryNm)
{
    // Lines as a string list reads a text: no lines for an empty text.
    auto lines = [](const QString &text) {
        return text.isEmpty() ? QStringList() : text.split(QStringLiteral("\r\n"));
    };
    const QStringList types = lines(AryType);
    const QStringList modes = lines(AryMode);
    const QStringList names = lines(AryNm);
    FncArgArray args;
    for (qsizetype i = 0; i < types.size(); ++i) {
        TFuncArgument a;
        bool ok = false;
        a.intOid = types.at(i).trimmed().toUInt(&ok);
        if (!ok)
            throw db::Error(db::Error::Kind::Refused,
                            QStringLiteral("'%1' は有効な整数値ではありません").arg(types.at(i)));
        a.strMode = modes.isEmpty() ? QStringLiteral("i") : modes.value(i);
        a.strArgName = names.value(i);
        args << a;
    }
    return args;
}

bool GetFunctionArgs(quint32 Oid, db::Query &Query, FncArgArray &Args)
{
    struct Closer {
        db::Query &q;
        ~Closer() { q.close(); }
    } closer{Query};

    Query.close();
    Query.setSql(FunctionArgsSQL());
    Query.paramByName(QStringLiteral("OID")).setAsString(QString::number(Oid));
    Query.open();
    FncArgArray args;
    if (!Query.isEmpty())
        args = ParseFunctionArgs(Query.fieldByName(QStringLiteral("AryType")).asString(),
                                 Query.fieldByName(QStringLiteral("AryMode")).asString(),
                                 Query.fieldByName(QStringLiteral("AryNm")).asString());
    Query.close();

    if (!args.isEmpty()) {
        Query.setSql(FunctionArgTypesSQL(int(args.size())));
        for (qsizetype i = 0; i < args.size(); ++i)
            Query.paramByName(QStringLiteral("OID%1").arg(i)).setAsString(QString::number(args.at(i).intOid));
        Query.open();
        for (Query.first(); !Query.eof(); Query.next()) {
            const int n = Query.field(0).asInteger();
            if (n < 0 || n >= args.size())
                continue;
            TFuncArgument &a = args[n];
            a.strSchema = Query.field(1).asString();
            a.strTypeNaOri = Query.field(2).asString();
            a.strTypeNaCon = Query.field(3).asString();
        }
        Query.close();
    }
    Args = args;
    return true;
}

QString FormatFunctionArgs(const FncArgArray &Args, int Selector, const QString &Schema,
                           bool useLowerName)
{
    QString modes;
    switch (Selector) {
    case 0: modes = QStringLiteral("i"); break;
    case 1: modes = QStringLiteral("o"); break;
    case 2: modes = QStringLiteral("b"); break;
    case 3: modes = QStringLiteral("v"); break;
    case 4: modes = QStringLiteral("t"); break;
    // Table columns are results, not arguments: they are no part of the identity.
    case 5: modes = QStringLiteral("ibv"); break;
    case 6: modes = QStringLiteral("iobvt"); break;
    default: break;
    }
    QStringList parts;
    for (const TFuncArgument &a : Args) {
        if (a.strMode.size() != 1 || !modes.contains(a.strMode))
            continue;
        QString text = QuoteIdentifier(a.strTypeNaOri, useLowerName);
        if (a.strSchema != QStringLiteral("pg_catalog") && a.strSchema != Schema)
            text = QuoteIdentifier(a.strSchema, useLowerName) + u'.' + text;
        parts << text;
    }
    return parts.join(u',');
}

QString FormatFunctionArgs(const FncArgArray &Args, int Selector, const QString &Schema)
{
    return FormatFunctionArgs(Args, Selector, Schema, TkdOption::Global().UseLowerName);
}

// ---- data types --------------------------------------------------------------------------

NumericTypmod DecodeNumericTypmod(int Typmod)
{
    // The server packs ((precision << 16) | (scale & 0x7FF)) + 4; the scale is an 11-bit
    // signed value, so numeric(5,-2) keeps its negative scale.
    const int t = Typmod - 4;
    NumericTypmod r;
    r.precision = (t >> 16) & 0xFFFF;
    r.scale = ((t & 0x7FF) ^ 1024) - 1024;
    return r;
}

QString FormatDataType(const QString &TypeName, int Typmod, bool useLowerName)
{
    const bool arr = TypeName.endsWith(QStringLiteral("[]"));
    const QString base = arr ? TypeName.left(TypeName.size() - 2) : TypeName;
    const QString brackets = arr ? QStringLiteral("[]") : QString();
    if (Typmod == -1) {
        QString plain = base;
        plain.remove(u'"');
        return QuoteNameList(plain, false, QStringLiteral("."), useLowerName) + brackets;
    }
    if (inTimeGroup(TypeName)) {
        const qsizetype blank = TypeName.indexOf(u' ');
        return TypeName.left(blank) + QStringLiteral("(%1)").arg(Typmod) + TypeName.mid(blank);
    }
    if (TypeName.contains(QStringLiteral("interval")))
        return base + intervalQualifier(Typmod, true) + brackets;
    if (TypeName.contains(QStringLiteral("numeric"))) {
        const NumericTypmod n = DecodeNumericTypmod(Typmod);
        return base + QStringLiteral("(%1,%2)").arg(n.precision).arg(n.scale) + brackets;
    }
    if (TypeName.contains(QStringLiteral("bit")))
        return base + QStringLiteral("(%1)").arg(Typmod) + brackets;
    return base + QStringLiteral("(%1)").arg(Typmod - 4) + brackets;
}

QString FormatDataType(const QString &TypeName, int Typmod)
{
    return FormatDataType(TypeName, Typmod, TkdOption::Global().UseLowerName);
}

QString FormatTypmod(const QString &TypeName, int Typmod)
{
    if (Typmod == -1)
        return QString();
    if (inIntervalGroup(TypeName)) {
        const int p = intervalPrecision(Typmod);
        return p < 0 ? QString() : QString::number(p);
    }
    if (inNumericGroup(TypeName)) {
        const NumericTypmod n = DecodeNumericTypmod(Typmod);
        if (n.precision == 0)
            return QString();
        if (n.scale == 0)
            return QString::number(n.precision);
        return QStringLiteral("%1,%2").arg(n.precision).arg(n.scale);
    }
    if (inBitGroup(TypeName) || inTimeGroup(TypeName))
        return QString::number(Typmod);
    return QString::number(Typmod - 4);
}

QString FormatIntervalType(const QString &TypeName, int Typmod)
{
    const bool arr = TypeName.endsWith(QStringLiteral("[]"));
    const QString base = arr ? TypeName.left(TypeName.size() - 2) : TypeName;
    return base + intervalQualifier(Typmod, false) + (arr ? QStringLiteral("[]") : QString());
}

QString ColumnLengthText(const QString &TypeName, const QVariant &LengthField,
                         const QVariant &PrecisionField, const QVariant &ScaleField)
{
    if (inCharacterGroup(TypeName))
        return nullableText(LengthField);
    if (inNumericGroup(TypeName)) {
        if (!isNullValue(PrecisionField) && !isNullValue(ScaleField))
            return nullableText(PrecisionField) + u',' + nullableText(ScaleField);
        return nullableText(PrecisionField);
    }
    if (inPrecisionGroup(TypeName))
        return nullableText(PrecisionField);
    return QString();
}

// ---- access-control items ------------------------------------------------------------------

void SplitAclItem(const QString &AclItem, QString &Grantee, QString &Privileges, QString *Grantor)
{
    Grantee.clear();
    Privileges.clear();
    if (Grantor)
        Grantor->clear();
    // grantee "=" privileges "/" grantor; names may be quoted and then hold "=", "/" or
    // doubled quotes, so the item is read from the left, name by name.
    qsizetype pos = 0;
    const QString grantee = readAclName(AclItem, pos, u'=');
    while (pos < AclItem.size() && AclItem.at(pos) != u'=')
        ++pos; // text after a closing quote up to "=" (not written by the server)
    if (pos < AclItem.size())
        ++pos;
    const qsizetype slash = AclItem.indexOf(u'/', pos);
    Privileges = AclItem.mid(pos, slash < 0 ? -1 : slash - pos);
    if (slash >= 0 && Grantor) {
        qsizetype g = slash + 1;
        *Grantor = readAclName(AclItem, g, QChar());
    }
    Grantee = grantee.isEmpty() ? QStringLiteral("public") : grantee;
}
