#include "editors/source_def.h"

#include "core/kdsqltoken.h"
#include "core/kdsub_catalog.h"
#include "core/kdsub_text.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"

#include <QHash>

#include <algorithm>
#include <functional>
#include <set>

namespace {

// ---- the statements of the source editor ------------------------------------------------

// The routine columns: oid, schema, name, kind, definition, schema and name as quoted by
// the server. %1 is the kind expression (prokind from 11 on).
const char *const kRoutineSelect =
    "SELECT p.oid, n.nspname, p.proname, %1 AS kind, "
    "CASE WHEN %1 <> 'a' THEN pg_get_functiondef(p.oid) END, quote_ident(n.nspname), quote_ident(p.proname) "
    "FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace ";
const char *const kRoutineByOid = "WHERE p.oid = :OID";
const char *const kRoutineByName =
    "WHERE n.nspname = :SCHEMA AND p.proname = :NAME AND (%1 = 'p') = (:PROC = 't') "
    "ORDER BY pg_get_function_identity_arguments(p.oid), p.oid LIMIT 1";
const char *const kRoutineOids =
    "SELECT p.oid FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace "
    "WHERE n.nspname = :SCHEMA AND p.proname = :NAME ORDER BY p.oid";

const char *const kTypeKind =
    "SELECT T.oid, T.typtype, obj_description(T.oid, 'pg_type'), T.typacl IS NOT NULL, pg_get_userbyid(T.typowner) "
    "FROM pg_type T LEFT JOIN pg_namespace N ON T.typnamespace = N.oid "
    "LEFT JOIN pg_class C ON T.typrelid = C.oid "
    "WHERE (C.relkind = 'c' OR T.typtype IN ('e', 'r', 'p') "
    "       OR (T.typtype = 'b' AND T.typcategory NOT IN ('A','B','C','D','E','G','I','N','P','R','S','T','V','X'))) "
    "AND N.nspname = :SCHEMA AND T.typname = :OBJNAME";

const char *const kCompositeAttributes =
    "SELECT A.attname, format_type(A.atttypid, NULL), A.atttypmod, col_description(C.oid, A.attnum), "
    "CASE WHEN A.attcollation <> 0 AND A.attcollation <> AT.typcollation THEN CO.collname END, CN.nspname "
    "FROM pg_type T JOIN pg_class C ON C.oid = T.typrelid "
    "JOIN pg_attribute A ON A.attrelid = C.oid JOIN pg_type AT ON AT.oid = A.atttypid "
    "LEFT JOIN pg_collation CO ON CO.oid = A.attcollation LEFT JOIN pg_namespace CN ON CN.oid = CO.collnamespace "
    "WHERE T.oid = :OID AND C.relkind = 'c' AND A.attnum > 0 AND NOT A.attisdropped ORDER BY A.attnum";

const char *const kTypeAcl =
    "SELECT a.grantee = 0, pg_get_userbyid(a.grantee), a.is_grantable FROM pg_type T, aclexplode(T.typacl) a "
    "WHERE T.oid = :OID AND a.privilege_type = 'USAGE' ORDER BY 1, 2";

const char *const kEnumLabels = "SELECT enumlabel FROM pg_enum WHERE enumtypid = :OID ORDER BY enumsortorder";

const char *const kRange =
    "SELECT st.typname, stn.nspname, opc.opcname, opcn.nspname, co.collname, con.nspname, "
    "r.rngcollation <> 0 AND r.rngcollation <> st.typcollation, "
    "cp.proname, cpn.nspname, dp.proname, dpn.nspname "
    "FROM pg_range r JOIN pg_type st ON st.oid = r.rngsubtype JOIN pg_namespace stn ON stn.oid = st.typnamespace "
    "LEFT JOIN pg_opclass opc ON opc.oid = r.rngsubopc LEFT JOIN pg_namespace opcn ON opcn.oid = opc.opcnamespace "
    "LEFT JOIN pg_collation co ON co.oid = r.rngcollation LEFT JOIN pg_namespace con ON con.oid = co.collnamespace "
    "LEFT JOIN pg_proc cp ON cp.oid = r.rngcanonical LEFT JOIN pg_namespace cpn ON cpn.oid = cp.pronamespace "
    "LEFT JOIN pg_proc dp ON dp.oid = r.rngsubdiff LEFT JOIN pg_namespace dpn ON dpn.oid = dp.pronamespace "
    "WHERE r.rngtypid = :OID";

// The support functions of a base type, in the order of its text.
const char *const kBaseFunctions[] = {"typinput", "typoutput", "typreceive", "typsend",
                                      "typmodin", "typmodout", "typanalyze"};
const char *const kBaseFunctionWords[] = {"    INPUT = ", "  , OUTPUT = ", "  , RECEIVE = ", "  , SEND = ",
                                          "  , TYPMOD_IN = ", "  , TYPMOD_OUT = ", "  , ANALYZE = "};

QString BaseTypeSql()
{
    QString select = QStringLiteral("SELECT ");
    QString joins;
    for (int i = 0; i < 7; ++i) {
        select += QStringLiteral("f%1.proname, fn%1.nspname, ").arg(i);
        joins += QStringLiteral("LEFT JOIN pg_proc f%1 ON f%1.oid = T.%2 "
                                "LEFT JOIN pg_namespace fn%1 ON fn%1.oid = f%1.pronamespace ")
                     .arg(i)
                     .arg(QLatin1String(kBaseFunctions[i]));
    }
    select += QStringLiteral("T.typlen, T.typbyval, T.typalign, T.typstorage, T.typcategory, T.typispreferred, "
                             "T.typdefault, T.typelem, et.typname, etn.nspname, T.typdelim, T.typcollation ");
    return select + QStringLiteral("FROM pg_type T ") + joins
           + QStringLiteral("LEFT JOIN pg_type et ON et.oid = T.typelem "
                            "LEFT JOIN pg_namespace etn ON etn.oid = et.typnamespace WHERE T.oid = :OID");
}

QString KindExpression(TkdConnForm *Conn)
{
    return Conn->DBVer() >= 110000
               ? QStringLiteral("p.prokind")
               : QStringLiteral("(CASE WHEN p.proisagg THEN 'a' WHEN p.proiswindow THEN 'w' ELSE 'f' END)");
}

QString Q(const QString &s)
{
    return QuoteIdentifier(s);
}

QChar FirstChar(const QString &s)
{
    return s.isEmpty() ? QChar() : s.at(0);
}

bool IsTrue(const db::Field &f)
{
    const QString t = f.asString();
    return t == QLatin1String("t") || t == QLatin1String("true");
}

// A name of another object in a type's text: objects of pg_catalog bare, others with the
// schema prefix of the text's mode.
QString OtherName(const TTypeTextContext &c, const QString &schema, const QString &name)
{
    if (schema.isEmpty() || schema == QLatin1String("pg_catalog"))
        return Q(name);
    return SchemaPrefixFor(c.Mode, schema, c.LoginSchema) + Q(name);
}

QString TrimCtl(const QString &line)
{
    qsizetype b = 0, e = line.size();
    while (b < e && line.at(b).unicode() <= 32)
        ++b;
    while (e > b && line.at(e - 1).unicode() <= 32)
        --e;
    return line.mid(b, e - b);
}

} // namespace

QString SourceKindName(TSourceKind Kind)
{
    switch (Kind) {
    case TSourceKind::Function: return QStringLiteral("FUNCTION");
    case TSourceKind::Procedure: return QStringLiteral("PROCEDURE");
    case TSourceKind::Type: return QStringLiteral("TYPE");
    }
    return QString();
}

int SourceKindCode(TSourceKind Kind)
{
    switch (Kind) {
    case TSourceKind::Function: return 52;
    case TSourceKind::Procedure: return 51;
    case TSourceKind::Type: return 55;
    }
    return 0;
}

// ---- routines -------------------------------------------------------------------------------

bool LoadRoutineDef(TkdConnForm *Conn, quint32 Oid, const QString &Schema, const QString &Name, bool Procedure,
                    TRoutineDef &Def)
{
    const QString kind = KindExpression(Conn);
    const QString select = QString::fromLatin1(kRoutineSelect).arg(kind);
    db::Query *q = Oid != 0
                       ? Conn->OpenSQL(select + QLatin1String(kRoutineByOid), {QString::number(Oid)})
                       : Conn->OpenSQL(select + QString::fromLatin1(kRoutineByName).arg(kind),
                                       {Schema, Name, Procedure ? QStringLiteral("t") : QStringLiteral("f")});
    if (q->eof()) {
        q->close();
        return false;
    }
    TRoutineDef d;
    d.Oid = q->field(0).asString().toUInt();
    d.Schema = q->field(1).asString();
    d.Name = q->field(2).asString();
    d.ProKind = FirstChar(q->field(3).asString());
    const bool hasDef = !q->field(4).isNull();
    const QString def = q->field(4).asString();
    d.QuotedSchema = q->field(5).asString();
    d.QuotedName = q->field(6).asString();
    q->close();
    if (Oid != 0 && ((!Schema.isEmpty() && Schema != d.Schema) || (!Name.isEmpty() && Name != d.Name)))
        return false;
    if (hasDef) {
        d.Definition = SourceTextLines(def);
        while (!d.Definition.isEmpty() && TrimBlanks(d.Definition.last()).isEmpty())
            d.Definition.removeLast();
    }
    db::Query args(Conn->dbsMain());
    FncArgArray list;
    if (GetFunctionArgs(d.Oid, args, list))
        d.ArgList = FormatFunctionArgs(list, 5, Conn->CurrentSchema());
    Def = d;
    return true;
}

QList<quint32> RoutineOids(TkdConnForm *Conn, const QString &Schema, const QString &Name)
{
    QList<quint32> oids;
    db::Query *q = Conn->OpenSQL(QString::fromLatin1(kRoutineOids), {Schema, Name});
    for (; !q->eof(); q->next())
        oids << q->field(0).asString().toUInt();
    q->close();
    return oids;
}

QStringList RoutineSourceLines(const TRoutineDef &Def, bool Script, const QString &SchemaPrefix)
{
    QStringList lines = Def.Definition;
    if (Script && !lines.isEmpty()) {
        for (const QString &word : {QStringLiteral("FUNCTION "), QStringLiteral("PROCEDURE ")}) {
            const QString head = QStringLiteral("CREATE OR REPLACE ") + word;
            const QString qualified = head + Def.QuotedSchema + u'.' + Def.QuotedName;
            QString &first = lines.first();
            if (first.startsWith(qualified)) {
                first = head + SchemaPrefix + Def.QuotedName + first.mid(qualified.size());
                break;
            }
        }
    }
    lines << QStringLiteral(";");
    return lines;
}

QString RoutineDropStatement(bool Procedure, const QString &Schema, const QString &Name, const QString &ArgList,
                             bool Cascade)
{
    return (Procedure ? QStringLiteral("DROP PROCEDURE ") : QStringLiteral("DROP FUNCTION ")) + Q(Schema) + u'.'
           + Q(Name) + u'(' + ArgList + u')' + (Cascade ? QStringLiteral(" CASCADE") : QString());
}

// ---- types ----------------------------------------------------------------------------------

bool LoadTypeDef(TkdConnForm *Conn, const QString &Schema, const QString &Name, TTypeDef &Def)
{
    db::Query *q = Conn->OpenSQL(QString::fromLatin1(kTypeKind), {Schema, Name});
    if (q->eof()) {
        q->close();
        return false;
    }
    TTypeDef d;
    d.Oid = q->field(0).asString().toUInt();
    d.TypType = FirstChar(q->field(1).asString());
    d.HasComment = !q->field(2).isNull();
    d.Comment = q->field(2).asString();
    d.HasAcl = IsTrue(q->field(3));
    d.Owner = q->field(4).asString();
    q->close();
    if (d.HasAcl) {
        q = Conn->OpenSQL(QString::fromLatin1(kTypeAcl), {QString::number(d.Oid)});
        for (; !q->eof(); q->next())
            d.UsageGrants << TTypeDef::TGrant{IsTrue(q->field(0)) ? QString() : q->field(1).asString(), IsTrue(q->field(2))};
        q->close();
    }
    if (d.TypType == u'c') {
        q = Conn->OpenSQL(QString::fromLatin1(kCompositeAttributes), {QString::number(d.Oid)});
        for (; !q->eof(); q->next())
            if (!q->field(3).isNull())
                d.AttributeComments << qMakePair(q->field(0).asString(), q->field(3).asString());
        q->close();
    }
    Def = d;
    return true;
}

QString CompositeAttributeLine(const QString &QuotedName, const QString &TypeText, bool Last)
{
    QString line = QStringLiteral("    ") + QuotedName;
    // The type stands in column 30 after the name's start; a longer name keeps one blank.
    line += QString(std::max<qsizetype>(1, 30 - QuotedName.size()), u' ');
    line += TypeText;
    if (!Last)
        line += u',';
    return line;
}

QStringList TypeSourceLines(TkdConnForm *Conn, const QString &Schema, const QString &Name, const TTypeDef &Def,
                            const TTypeTextContext &Context)
{
    QStringList lines;
    lines << QStringLiteral("CREATE TYPE ") + SchemaPrefixFor(Context.Mode, Schema, Context.LoginSchema) + Q(Name);
    const QString oid = QString::number(Def.Oid);
    auto ignoring = [&](const std::function<void()> &read) {
        // The detail of an enum, range or base type: an error keeps what was read.
        try {
            read();
        } catch (const std::exception &) {
        }
    };
    switch (Def.TypType.unicode()) {
    case 'c': {
        lines << QStringLiteral("AS (");
        db::Query *q = Conn->OpenSQL(QString::fromLatin1(kCompositeAttributes), {oid});
        QStringList attributes;
        for (; !q->eof(); q->next()) {
            QString type = FormatDataType(q->field(1).asString(), q->field(2).asInteger());
            if (!q->field(4).isNull())
                type += QStringLiteral(" COLLATE ") + OtherName(Context, q->field(5).asString(), q->field(4).asString());
            attributes << Q(q->field(0).asString()) + QChar(0) + type;
        }
        q->close();
        for (qsizetype i = 0; i < attributes.size(); ++i)
            lines << CompositeAttributeLine(attributes.at(i).section(QChar(0), 0, 0),
                                            attributes.at(i).section(QChar(0), 1), i + 1 == attributes.size());
        break;
    }
    case 'e': {
        lines << QStringLiteral("AS ENUM (");
        QStringList labels;
        ignoring([&] {
            db::Query *q = Conn->OpenSQL(QString::fromLatin1(kEnumLabels), {oid});
            for (; !q->eof(); q->next())
                labels << q->field(0).asString();
            q->close();
        });
        for (qsizetype i = 0; i < labels.size(); ++i)
            lines << QStringLiteral("    ") + QuoteLiteral(labels.at(i)) + (i + 1 < labels.size() ? QStringLiteral(",") : QString());
        break;
    }
    case 'r':
        lines << QStringLiteral("AS RANGE (");
        ignoring([&] {
            db::Query *q = Conn->OpenSQL(QString::fromLatin1(kRange), {oid});
            if (!q->eof()) {
                QStringList add;
                add << QStringLiteral("    SUBTYPE = ") + OtherName(Context, q->field(1).asString(), q->field(0).asString());
                if (!q->field(2).isNull())
                    add << QStringLiteral("  , SUBTYPE_OPCLASS = ")
                               + OtherName(Context, q->field(3).asString(), q->field(2).asString());
                // The subtype's own collation is the default; "default" itself is a keyword.
                if (IsTrue(q->field(6)) && !q->field(4).isNull())
                    add << QStringLiteral("  , COLLATION = ")
                               + (q->field(5).asString() == QLatin1String("pg_catalog")
                                      ? QuoteIdentifier(q->field(4).asString(), true)
                                      : SchemaPrefixFor(Context.Mode, q->field(5).asString(), Context.LoginSchema)
                                            + QuoteIdentifier(q->field(4).asString(), true));
                if (!q->field(7).isNull())
                    add << QStringLiteral("  , CANONICAL = ") + OtherName(Context, q->field(8).asString(), q->field(7).asString());
                if (!q->field(9).isNull())
                    add << QStringLiteral("  , SUBTYPE_DIFF = ") + OtherName(Context, q->field(10).asString(), q->field(9).asString());
                lines << add;
            }
            q->close();
        });
        break;
    case 'b':
        lines << QStringLiteral("(");
        ignoring([&] {
            db::Query *q = Conn->OpenSQL(BaseTypeSql(), {oid});
            if (!q->eof()) {
                QStringList add;
                for (int i = 0; i < 7; ++i)
                    if (!q->field(2 * i).isNull() && !q->field(2 * i).asString().isEmpty())
                        add << QLatin1String(kBaseFunctionWords[i])
                                   + OtherName(Context, q->field(2 * i + 1).asString(), q->field(2 * i).asString());
                const int b = 14;
                add << QStringLiteral("  , INTERNALLENGTH = ") + q->field(b).asString();
                if (IsTrue(q->field(b + 1)))
                    add << QStringLiteral("  , PASSEDBYVALUE");
                static const QHash<QString, QString> align = {{"c", "char"}, {"s", "int2"}, {"i", "int4"}, {"d", "double"}};
                static const QHash<QString, QString> storage = {
                    {"p", "plain"}, {"e", "external"}, {"m", "main"}, {"x", "extended"}};
                if (align.contains(q->field(b + 2).asString()))
                    add << QStringLiteral("  , ALIGNMENT = ") + align.value(q->field(b + 2).asString());
                if (storage.contains(q->field(b + 3).asString()))
                    add << QStringLiteral("  , STORAGE = ") + storage.value(q->field(b + 3).asString());
                add << QStringLiteral("  , CATEGORY = ") + QuoteLiteral(q->field(b + 4).asString());
                add << (IsTrue(q->field(b + 5)) ? QStringLiteral("  , PREFERRED = TRUE") : QStringLiteral("  , PREFERRED = FALSE"));
                if (!q->field(b + 6).isNull())
                    add << QStringLiteral("  , DEFAULT = ") + QuoteLiteral(q->field(b + 6).asString());
                if (q->field(b + 7).asString() != QLatin1String("0") && !q->field(b + 8).isNull())
                    add << QStringLiteral("  , ELEMENT = ") + OtherName(Context, q->field(b + 9).asString(), q->field(b + 8).asString());
                add << QStringLiteral("  , DELIMITER = ") + QuoteLiteral(q->field(b + 10).asString());
                add << (q->field(b + 11).asString() != QLatin1String("0") ? QStringLiteral("  , COLLATABLE = TRUE")
                                                                           : QStringLiteral("  , COLLATABLE = FALSE"));
                lines << add;
            }
            q->close();
        });
        break;
    default:
        break;
    }
    if (Def.TypType != u'p')
        lines << QStringLiteral(")");
    lines << QStringLiteral(";");
    return lines;
}

QStringList TypeOwnerAndAclLines(const TTypeDef &Def, const QString &Schema, const QString &Name)
{
    QStringList lines;
    if (!Def.Owner.isEmpty())
        lines << QStringLiteral("ALTER TYPE ") + Q(Schema) + u'.' + Q(Name) + QStringLiteral(" OWNER TO ") + Q(Def.Owner)
              << QStringLiteral(";");
    if (!Def.HasAcl)
        return lines; // the defaults, which a new type has as well
    const QString on = QStringLiteral("USAGE ON TYPE ") + Q(Schema) + u'.' + Q(Name);
    lines << QStringLiteral("REVOKE ") + on + QStringLiteral(" FROM PUBLIC") << QStringLiteral(";");
    lines << QStringLiteral("REVOKE ") + on + QStringLiteral(" FROM ") + Q(Def.Owner) << QStringLiteral(";");
    for (const TTypeDef::TGrant &g : Def.UsageGrants)
        lines << QStringLiteral("GRANT ") + on + QStringLiteral(" TO ")
                     + (g.Grantee.isEmpty() ? QStringLiteral("PUBLIC") : Q(g.Grantee))
                     + (g.Grantable && !g.Grantee.isEmpty() ? QStringLiteral(" WITH GRANT OPTION") : QString())
              << QStringLiteral(";");
    return lines;
}

QString TypeDropStatement(const QString &Schema, const QString &Name, bool Cascade)
{
    return QStringLiteral("DROP TYPE ") + Q(Schema) + u'.' + Q(Name) + (Cascade ? QStringLiteral(" CASCADE") : QString());
}

// ---- templates ------------------------------------------------------------------------------

QStringList FunctionTemplate(const QString &Schema, const QString &Name)
{
    return {QStringLiteral("CREATE FUNCTION ") + Q(Schema) + u'.' + Q(Name) + QStringLiteral("() /* (引数, 引数...) */"),
            QStringLiteral("RETURNS -- 戻り値のデータ型"),
            QStringLiteral("-- 手続き言語の指定が【PL/pgSQL】の場合"),
            QStringLiteral("AS $$"),
            QStringLiteral("BEGIN"),
            QStringLiteral("  NULL;"),
            QStringLiteral("END ;"),
            QStringLiteral("$$ LANGUAGE plpgsql;"),
            QString(),
            QStringLiteral("-- 手続き言語の指定が【SQL】の場合"),
            QStringLiteral("--AS '"),
            QStringLiteral("--  NULL;"),
            QStringLiteral("--' LANGUAGE SQL;"),
            QString(),
            QStringLiteral("-- 手続き言語の指定が【internal】の場合"),
            QStringLiteral("--AS ''"),
            QStringLiteral("--LANGUAGE internal STRICT;"),
            QString(),
            QStringLiteral("-- 手続き言語の指定が【C】の場合"),
            QStringLiteral("--AS '', ''"),
            QStringLiteral("--LANGUAGE C STRICT;"),
            QString()};
}

QStringList TypeTemplate(const QString &Schema, const QString &Name)
{
    return {QStringLiteral("CREATE TYPE ") + Q(Schema) + u'.' + Q(Name),
            QStringLiteral("-- 複合型の場合"),
            QStringLiteral("AS ("),
            QStringLiteral("    [ attribute_name data_type [ COLLATE collation ] [, ... ] ]"),
            QStringLiteral(")"),
            QStringLiteral("-- 列挙型の場合"),
            QStringLiteral("AS ENUM ("),
            QStringLiteral("    [ 'label' [, ... ] ]"),
            QStringLiteral(")"),
            QStringLiteral("-- 範囲型の場合(Ver9.2から使用可)"),
            QStringLiteral("AS RANGE ("),
            QStringLiteral("    SUBTYPE = subtype"),
            QStringLiteral("    [ , SUBTYPE_OPCLASS = subtype_operator_class ]"),
            QStringLiteral("    [ , COLLATION = collation ]"),
            QStringLiteral("    [ , CANONICAL = canonical_function ]"),
            QStringLiteral("    [ , SUBTYPE_DIFF = subtype_diff_function ]"),
            QStringLiteral(")"),
            QStringLiteral("-- 基本型の場合"),
            QStringLiteral("("),
            QStringLiteral("    INPUT = input_function,"),
            QStringLiteral("    OUTPUT = output_function"),
            QStringLiteral("    [ , RECEIVE = receive_function ]"),
            QStringLiteral("    [ , SEND = send_function ]"),
            QStringLiteral("    [ , TYPMOD_IN = type_modifier_input_function ]"),
            QStringLiteral("    [ , TYPMOD_OUT = type_modifier_output_function ]"),
            QStringLiteral("    [ , ANALYZE = analyze_function ]"),
            QStringLiteral("    [ , INTERNALLENGTH = { internallength | VARIABLE } ]"),
            QStringLiteral("    [ , PASSEDBYVALUE ]"),
            QStringLiteral("    [ , ALIGNMENT = alignment ]"),
            QStringLiteral("    [ , STORAGE = storage ]"),
            QStringLiteral("    [ , LIKE = like_type ]"),
            QStringLiteral("    [ , CATEGORY = category ]"),
            QStringLiteral("    [ , PREFERRED = preferred ]"),
            QStringLiteral("    [ , DEFAULT = default ]"),
            QStringLiteral("    [ , ELEMENT = element ]"),
            QStringLiteral("    [ , DELIMITER = delimiter ]"),
            QStringLiteral("    [ , COLLATABLE = collatable ]"),
            QStringLiteral(")"),
            QStringLiteral("-- シェル型の場合"),
            QStringLiteral("CREATE TYPE name")};
}

// ---- statements -----------------------------------------------------------------------------

QStringList SourceTextLines(const QString &Text)
{
    QStringList lines = Text.split(u'\n');
    for (QString &l : lines)
        if (l.endsWith(u'\r'))
            l.chop(1);
    return lines;
}

QStringList SplitSourceStatements(const QStringList &Lines)
{
    using namespace kdsqltoken;
    const QString text = Lines.join(u'\n');
    // A ";" line ends a statement only where the ";" is a token of its own, not a character
    // inside a literal, a quoted name, a dollar-quoted body or a comment.
    std::set<qsizetype> ends;
    for (const TToken &t : Tokenize(text))
        if (t.FKind == TTokenKind::Punct && t.FLength == 1 && text.at(t.FStart) == u';')
            ends.insert(t.FStart);
    QStringList statements;
    QStringList current;
    auto flush = [&] {
        const QString s = current.join(u'\n');
        current.clear();
        bool code = false;
        for (const TToken &t : Tokenize(s))
            if (t.FKind != TTokenKind::LineComment && t.FKind != TTokenKind::BlockComment)
                code = true;
        if (code)
            statements << s;
    };
    qsizetype offset = 0;
    for (const QString &line : Lines) {
        const qsizetype semicolon = line.indexOf(u';');
        if (TrimCtl(line) == QLatin1String(";") && ends.count(offset + semicolon))
            flush();
        else
            current << line;
        offset += line.size() + 1;
    }
    flush();
    return statements;
}
