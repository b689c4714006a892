// The code-assist provider: what the dot-separated parts of the token name, read from the
// catalogs, and the candidates of the list that follows from it.
#include "core/kdassist.h"

#include "core/kdsub_catalog.h"
#include "core/kdsub_sql.h"
#include "core/kdsub_text.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"

#include <QHash>
#include <QPair>
#include <QSet>
#include <memory>
#include <optional>

namespace kdassist {

namespace {

// What one part of the token names.
enum PartCode {
    pcSchema = 0, pcTable = 1, pcAlias = 2, pcIndex = 3, pcFunction = 4, pcType = 5,
    pcTrigger = 6, pcSequence = 7, pcConstraint = 8, pcRule = 9, pcPrefix = 10
};

QString FromOf(int code)
{
    QString from, where;
    ObjectListSQL(code, from, where);
    return from;
}

QString WhereOf(int code)
{
    QString from, where;
    ObjectListSQL(code, from, where);
    return where;
}

// " " F(code) " " W(code) " " and the schema condition in its AND or WHERE form.
QString FromWhere(int code, const QString &andForm, const QString &whereForm)
{
    const QString where = WhereOf(code);
    return QLatin1Char(' ') + FromOf(code) + QLatin1Char(' ') + where + QLatin1Char(' ')
        + (where.trimmed().isEmpty() ? whereForm : andForm);
}

QString ExistsSQL(const QString &select, int code, const QString &andForm, const QString &whereForm,
                  const QString &nameCondition)
{
    return select + FromWhere(code, andForm, whereForm) + QLatin1Char(' ') + nameCondition;
}

QString Lines(std::initializer_list<const char *> pieces)
{
    QString s;
    for (const char *p : pieces)
        s += QLatin1Char(' ') + QString::fromLatin1(p);
    return s;
}

QString ObjectBranch(const char *first, const char *typ, const char *typTail, int no, int code,
                     const char *andForm, const char *whereForm)
{
    return QString::fromLatin1(first) + QStringLiteral(",       '") + QString::fromLatin1(typ)
        + QString::fromLatin1(typTail) + QStringLiteral(",       %1                 AS ObjNo").arg(no)
        + FromWhere(code, QString::fromLatin1(andForm), QString::fromLatin1(whereForm));
}

int ObjectImage(const QString &objTyp)
{
    static const QHash<QString, int> images{
        {QStringLiteral("TABLE"), ImageTable},         {QStringLiteral("VIEW"), ImageView},
        {QStringLiteral("INDEX"), ImageIndex},         {QStringLiteral("FUNCTION"), ImageFunction},
        {QStringLiteral("TYPE"), ImageType},           {QStringLiteral("TRIGGER"), ImageTrigger},
        {QStringLiteral("SEQUENCE"), ImageSequence},   {QStringLiteral("CONSTRAINT"), ImageConstraint},
        {QStringLiteral("RULE"), ImageRule}};
    return images.value(objTyp, -1);
}

bool Exists(db::Query &q, int kind, const QString &owner, const QString &name)
{
    q.close();
    q.setSql(CodeAssistSQL(kind));
    q.param(0).setAsString(owner);
    if (kind != 2)
        q.param(1).setAsString(name);
    q.open();
    const bool found = !q.isEmpty();
    q.close();
    return found;
}

// ---- what code assist keeps of the catalog ---------------------------------------------------
// Per connection: the schema list, and for each schema and name whether a table or view of
// that name exists and its column list. Everything is dropped when the connection's catalog
// generation moves on (a statement of this session that may change the catalog, a rollback,
// the user's reload) and with the connection itself; see docs/performance.md.

using TObjectKey = QPair<QString, QString>; // schema, name: exactly as the statements get them

struct TAssistCatalogCache : db::Connection::CatalogCache {
    quint64 Generation = 0;
    std::optional<QSet<QString>> Schemas;
    QHash<TObjectKey, std::optional<bool>> Relations;
    QHash<TObjectKey, std::optional<TAssistCandidates>> Columns;
};

// The connection's cache, emptied when the catalog may have changed since it was filled;
// null without a connection.
std::shared_ptr<TAssistCatalogCache> CacheOf(db::Connection *conn)
{
    if (!conn)
        return nullptr;
    static const char key = 0;
    auto cache = std::static_pointer_cast<TAssistCatalogCache>(conn->catalogCache(&key));
    if (!cache) {
        cache = std::make_shared<TAssistCatalogCache>();
        conn->setCatalogCache(&key, cache);
    } else if (cache->Generation == conn->catalogGeneration()) {
        return cache;
    }
    *cache = TAssistCatalogCache();
    cache->Generation = conn->catalogGeneration();
    return cache;
}

// What `read` gives, read once per catalog generation: `slot` names where the cache keeps
// it. An answer is kept only when nothing that may change the catalog happened while it
// was read.
template <class T, class Slot, class Read>
T Remembered(db::Connection *conn, Slot slot, Read read)
{
    const std::shared_ptr<TAssistCatalogCache> cache = CacheOf(conn);
    if (cache)
        if (const std::optional<T> &held = slot(*cache))
            return *held;
    T value = read();
    if (cache && conn->catalogGeneration() == cache->Generation)
        slot(*cache) = value;
    return value;
}

// Whether the server would compare `name` with a schema name as it stands: the parameter
// becomes a name, which the server cuts at 63 bytes (an ASCII character is one byte in
// every server encoding, any other at most four), and the client encoding is UTF-8 (so no
// character is refused on the way).
bool ComparesAsItStands(const db::Connection *conn, const QString &name)
{
    if (!conn || conn->clientEncoding() != QLatin1String("UTF8") || name.contains(QChar(0)))
        return false;
    int bytes = 0;
    for (QChar c : name)
        bytes += c.unicode() < 0x80 ? 1 : 4;
    return bytes <= 63;
}

bool IsSchema(db::Query &query, const QString &name)
{
    db::Connection *conn = query.connection();
    if (!ComparesAsItStands(conn, name))
        return Exists(query, 2, name, QString());
    return Remembered<QSet<QString>>(
               conn, [](TAssistCatalogCache &c) -> std::optional<QSet<QString>> & { return c.Schemas; },
               [&] {
                   QSet<QString> names;
                   query.close();
                   query.setSql(CodeAssistSQL(14));
                   query.open();
                   for (query.first(); !query.eof(); query.next())
                       names.insert(query.field(0).asString());
                   query.close();
                   return names;
               })
        .contains(name);
}

// A table or view `name` in `owner`.
bool IsRelation(db::Query &query, const QString &owner, const QString &name)
{
    return Remembered<bool>(
        query.connection(),
        [&](TAssistCatalogCache &c) -> std::optional<bool> & { return c.Relations[{owner, name}]; },
        [&] { return Exists(query, 0, owner, name) || Exists(query, 1, owner, name); });
}

// The column candidates of a table or view (without "*"): name, data type with its length,
// the key image on primary-key columns; none when there is no such table or view.
TAssistCandidates Columns(db::Query &query, const QString &schema, const QString &table)
{
    return Remembered<TAssistCandidates>(
        query.connection(),
        [&](TAssistCatalogCache &c) -> std::optional<TAssistCandidates> & { return c.Columns[{schema, table}]; },
        [&] {
            TAssistCandidates columns;
            query.close();
            query.setSql(CodeAssistSQL(11));
            query.param(0).setAsString(schema);
            query.param(1).setAsString(table);
            query.open();
            if (query.isEmpty()) {
                query.close();
                return columns;
            }
            QSet<QString> keyColumns;
            {
                db::Query pk(query.connection());
                pk.setParamCreation(true);
                pk.setSql(CodeAssistSQL(12));
                pk.param(0).setAsString(schema);
                pk.param(1).setAsString(table);
                pk.open();
                for (pk.first(); !pk.eof(); pk.next())
                    keyColumns.insert(pk.field(0).asString().toUpper());
                pk.close();
            }
            auto variant = [&](int i) {
                return query.field(i).isNull() ? QVariant() : QVariant(query.field(i).asString());
            };
            for (query.first(); !query.eof(); query.next()) {
                const QString column = query.field(0).asString();
                QString detail = query.field(1).asString();
                const QString len = ColumnLengthText(detail, variant(2), variant(3), variant(4));
                if (!len.isEmpty())
                    detail += QLatin1Char('(') + len + QLatin1Char(')');
                columns.append(column, detail, keyColumns.contains(column.toUpper()) ? ImagePrimaryKey : -1);
            }
            query.close();
            return columns;
        });
}

} // namespace

bool FindTableAlias(const QString &statement, const QString &alias, QString *objectName)
{
    QString text = statement;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QStringList lines = text.split(QLatin1Char('\n'));
    StripSQLComments(lines, false);
    TkdParseList items, tables, orders;
    QStringList conditions, groups, havings;
    QString viewName;
    try {
        ParseSQL(lines.join(QLatin1String("\r\n")), items, tables, orders, conditions, groups, havings,
                 QString(), viewName);
    } catch (...) {
        // A statement that cannot be analysed simply has no aliases; what was found stays.
    }
    for (int i = 0; i < tables.Count(); ++i) {
        if (tables.Alias(i).compare(alias, Qt::CaseInsensitive) == 0) {
            *objectName = tables.ObjectName(i);
            return true;
        }
    }
    return false;
}

QString CodeAssistSQL(int kind)
{
    const QString tblAnd = QStringLiteral("AND    TblNsp.nspname    =   :OWNER");
    const QString tblWhere = QStringLiteral("WHERE  TblNsp.nspname    =   :OWNER");
    const QString nAnd = QStringLiteral("AND    N.nspname   =   :OWNER");
    const QString nWhere = QStringLiteral("WHERE  N.nspname   =   :OWNER");
    switch (kind) {
    case 0:
        return ExistsSQL(QStringLiteral(" SELECT TblInf.relname"), ImageTable, tblAnd, tblWhere,
                         QStringLiteral(" AND    TblInf.relname    =   :TBLNM"));
    case 1:
        return ExistsSQL(QStringLiteral(" SELECT TblInf.relname"), ImageView, tblAnd, tblWhere,
                         QStringLiteral(" AND    TblInf.relname    =   :VIWNM"));
    case 2:
        return CodeAssistSQL(14) + Lines({"AND    nspname           =   :SCHNM"});
    case 14:
        return Lines({"SELECT nspname", "FROM   pg_namespace", "WHERE  (",
                      "             NOT(nspname LIKE 'pg_%')", "         OR  nspname = 'pg_catalog'",
                      "       )"});
    case 3:
        return ExistsSQL(QStringLiteral(" SELECT C.relname"), ImageIndex, nAnd, nWhere,
                         QStringLiteral(" AND    C.relname   =   :IDXNM"));
    case 4:
        return ExistsSQL(QStringLiteral(" SELECT DISTINCT        Prc.proname"), ImageFunction,
                         QStringLiteral("AND    Nms.nspname   =   :OWNER"),
                         QStringLiteral("WHERE  Nms.nspname   =   :OWNER"),
                         QStringLiteral(" AND    Prc.proname   =   :FNCNM"));
    case 5:
        return ExistsSQL(QStringLiteral(" SELECT T.typname"), ImageType, nAnd, nWhere,
                         QStringLiteral(" AND    T.typname   =   :TYPNM"));
    case 6: {
        const QString cond = QStringLiteral(" "
                                            "             TblShe.schemaname   =   :OWNER"
                                            "          OR  VieShe.schemaname   =   :OWNER"
                                            "        )");
        return ExistsSQL(QStringLiteral(" SELECT DISTINCT        TrgInf.tgname"), ImageTrigger,
                         QStringLiteral("AND    (") + cond, QStringLiteral("WHERE  (") + cond,
                         QStringLiteral(" AND    TrgInf.tgname   =   :TRGNM"));
    }
    case 7:
        return ExistsSQL(QStringLiteral(" SELECT C.relname"), ImageSequence, nAnd, nWhere,
                         QStringLiteral(" AND    C.relname   =   :SEQNM"));
    case 8:
        return ExistsSQL(QStringLiteral(" SELECT ConInf.conname"), ImageConstraint,
                         QStringLiteral("AND    ConNsp.nspname    =   :OWNER"),
                         QStringLiteral("WHERE  ConNsp.nspname    =   :OWNER"),
                         QStringLiteral(" AND    ConInf.conname    =   :CONNM"));
    case 9:
        return ExistsSQL(QStringLiteral(" SELECT DISTINCT        r.rulename"), ImageRule,
                         QStringLiteral("AND    ns.nspname    =   :OWNER"),
                         QStringLiteral("WHERE  ns.nspname    =   :OWNER"),
                         QStringLiteral(" AND    r.rulename    =   :RULENM"));
    case 10: {
        const char *tA = "AND    TblNsp.nspname    =   :OWNER", *tW = "WHERE  TblNsp.nspname    =   :OWNER";
        const char *nA = "AND    N.nspname         =   :OWNER", *nW = "WHERE  N.nspname         =   :OWNER";
        const QStringList branches{
            ObjectBranch(" SELECT TblInf.relname    AS ObjNm", "TABLE", "'  AS ObjTyp", 1, ImageTable, tA, tW),
            ObjectBranch(" SELECT TblInf.relname    AS ObjNm", "VIEW", "'  AS ObjTyp", 2, ImageView, tA, tW),
            ObjectBranch(" SELECT C.relname         AS ObjNm", "INDEX", "'  AS ObjTyp", 3, ImageIndex, nA, nW),
            ObjectBranch(" SELECT DISTINCT        Prc.proname       AS ObjNm", "FUNCTION", "'  AS ObjTyp", 4,
                         ImageFunction, "AND    Nms.nspname       =   :OWNER",
                         "WHERE  Nms.nspname       =   :OWNER"),
            ObjectBranch(" SELECT T.typname         AS ObjNm", "TYPE", "'  AS ObjTyp", 5, ImageType, nA, nW),
            ObjectBranch(" SELECT DISTINCT        TrgInf.tgname     AS ObjNm", "TRIGGER", "'  AS ObjTyp", 6,
                         ImageTrigger, "AND    (TblShe.schemaname = :OWNER OR VieShe.schemaname = :OWNER)",
                         "WHERE  (TblShe.schemaname = :OWNER OR VieShe.schemaname = :OWNER)"),
            ObjectBranch(" SELECT C.relname         AS ObjNm", "SEQUENCE", "'  AS ObjTyp", 7, ImageSequence, nA, nW),
            ObjectBranch(" SELECT ConInf.conname    AS ObjNm", "CONSTRAINT", "'  AS ObjTyp", 8, ImageConstraint,
                         "AND    ConNsp.nspname    =   :OWNER", "WHERE  ConNsp.nspname    =   :OWNER"),
            ObjectBranch(" SELECT DISTINCT        r.rulename        AS ObjNm", "RULE", "' AS ObjTyp", 9, ImageRule,
                         "AND    ns.nspname        =   :OWNER", "WHERE  ns.nspname        =   :OWNER"),
        };
        return branches.join(QStringLiteral(" UNION ALL"))
            + QStringLiteral(" ORDER BY     ObjNo,       ObjNm");
    }
    case 13:
        return QStringLiteral(" SELECT ObjNm, ObjTyp, ObjNo FROM (") + CodeAssistSQL(10).remove(
                   QStringLiteral(" ORDER BY     ObjNo,       ObjNm"))
            + QStringLiteral(" ) AS Obj WHERE ObjNm ~ :PATTERN ORDER BY     ObjNo,       ObjNm");
    case 11:
        return QStringLiteral(" SELECT Col.column_name,       Typ.typname,       Col.character_maximum_length,"
                              "       Col.numeric_precision,       Col.numeric_scale,       Col.column_default,"
                              "       Dsc.description")
            + Lines({"FROM   information_schema.columns  AS Col", "LEFT JOIN pg_namespace   AS Nms",
                     " ON  Col.table_schema    =   Nms.nspname", "LEFT JOIN pg_class       AS Cls",
                     " ON  Col.table_name      =   Cls.relname", " AND Nms.oid             =   Cls.relnamespace",
                     "LEFT JOIN pg_description AS Dsc", " ON  Cls.oid             =   Dsc.objoid",
                     " AND Col.ordinal_position  =   Dsc.objsubid", "LEFT JOIN pg_attribute   AS Att",
                     " ON  Cls.oid             =   Att.attrelid", " AND Col.column_name     =   Att.attname",
                     "LEFT JOIN pg_type        AS Typ", " ON  Att.atttypid        =   Typ.oid"})
            // The columns of every relation that the table and view listings show.
            + QStringLiteral(" WHERE  Cls.relkind  IN  (") + TableRelkindsSQL() + QStringLiteral(", ")
            + ViewRelkindsSQL() + QLatin1Char(')')
            + Lines({"AND    Col.table_schema  =   :OWNER", "AND    Col.table_name    =   :TBLNM",
                     "AND    Att.attnum        >   0", "AND    Att.attisdropped  =   False", "ORDER",
                     "BY     Att.attnum"});
    case 12:
        return Lines({"SELECT Att.attname", "FROM   pg_constraint     AS Con", "LEFT JOIN pg_namespace   AS Nms",
                      " ON  Con.connamespace    =   Nms.oid", "LEFT JOIN pg_class       AS Cls",
                      " ON  Con.conindid        =   Cls.oid", "LEFT JOIN pg_attribute   AS Att",
                      " ON  Cls.oid             =   Att.attrelid", "LEFT JOIN pg_class       AS Cls2",
                      " ON  Con.conrelid        =   Cls2.oid", "WHERE  Con.contype\t\t\t  =\t'p'",
                      "AND    Att.attnum        > 0", "AND    Nms.nspname       =   :OWNER",
                      "AND    Cls2.relname      =   :TBLNM", "ORDER", "BY     Cls2.relname"})
            + QStringLiteral(",       Att.attnum");
    default:
        return QString();
    }
}

QString PrefixPattern(const QString &Prefix)
{
    if (Prefix.isEmpty())
        return QString();
    // Every character of the basic plane grouped by its case folding, built once.
    static const QHash<char16_t, QString> classes = [] {
        QHash<char16_t, QString> h;
        for (char32_t u = 0; u <= 0xFFFF; ++u) {
            if (u >= 0xD800 && u <= 0xDFFF)
                continue;
            const QChar c{char16_t(u)};
            const QChar folded(c.toCaseFolded());
            if (folded != c || QChar(c).toUpper() != c || QChar(c).toLower() != c)
                h[folded.unicode()] += c;
        }
        return h;
    }();
    auto literal = [](QChar c) {
        // Outside the letters and digits of ASCII every character is written escaped or as
        // itself: in the advanced syntax a backslash before a non-alphanumeric is that character.
        if (c.unicode() < 128 && !c.isLetterOrNumber())
            return QStringLiteral("\\") + c;
        return QString(c);
    };
    QString pattern = QStringLiteral("^");
    for (QChar c : Prefix) {
        const QString same = classes.value(c.toCaseFolded().unicode());
        if (same.size() <= 1 || c.isSurrogate()) {
            pattern += literal(c);
            continue;
        }
        pattern += QLatin1Char('[');
        for (QChar m : same)
            pattern += literal(m);
        pattern += QLatin1Char(']');
    }
    return pattern;
}

QString NormaliseAssistName(const QString &name)
{
    QString s = name;
    if (s.endsWith(QLatin1Char(';')))
        s.chop(1);
    if (s.startsWith(QLatin1Char('"')))
        return UnquoteIdentifier(s);
    return s.toLower();
}

// With a prefix the server keeps only the names the popup's filter would show, so a schema
// of many objects sends a few rows instead of all. The pattern may hold any character of
// the prefix's case class; where the client encoding is not UTF-8 those may not travel, and
// every object is read. Rows that tie in the order are equal in every column, so parts read
// with an offset join up to the whole list.
TAssistCandidates ReadObjects(db::Query &query, const QString &schema, const QString &filter, int offset,
                              int limit)
{
    query.close();
    query.setParamCreation(true);
    const QString prefix = TrimControl(filter);
    const bool narrow = !prefix.isEmpty() && query.connection()
                        && query.connection()->clientEncoding() == QLatin1String("UTF8");
    QString sql = CodeAssistSQL(narrow ? 13 : 10);
    if (limit > 0)
        sql += QStringLiteral(" LIMIT %1").arg(limit);
    if (offset > 0)
        sql += QStringLiteral(" OFFSET %1").arg(offset);
    query.setSql(sql);
    query.param(0).setAsString(schema);
    if (narrow)
        query.paramByName(QStringLiteral("PATTERN")).setAsString(PrefixPattern(prefix));
    query.open();
    TAssistCandidates objects;
    for (query.first(); !query.eof(); query.next()) {
        const QString typ = query.field(1).asString();
        objects.append(query.field(0).asString(), typ, ObjectImage(typ));
    }
    query.close();
    return objects;
}

TAssistResult GatherCodeAssist(db::Query &query, const TAssistRequest &request)
{
    TAssistResult r;
    QString T = request.Token;
    r.HasPrefix = true;
    if (T.endsWith(QLatin1Char('.'))) {
        T.chop(1);
        r.HasPrefix = false;
    }
    if (!T.isEmpty() && T.count(QLatin1Char('.')) == T.size())
        return r;
    QStringList parts;
    while (T.contains(QLatin1Char('.')) && parts.size() < 3) {
        const int dot = T.indexOf(QLatin1Char('.'));
        parts << T.left(dot);
        T = T.mid(dot + 1);
    }
    if (T.contains(QLatin1Char('.')))
        return r; // a fourth dot
    parts << T;
    const int N = parts.size();
    query.close();
    query.setParamCreation(true);

    // What each part names.
    QVector<int> codes(N, -1);
    for (int i = 0; i < N; ++i) {
        if (i == N - 1 && r.HasPrefix) {
            codes[i] = pcPrefix;
            break;
        }
        const QString owner = i == 0 ? request.Schema : parts.at(0);
        if (IsRelation(query, owner, parts.at(i))) {
            codes[i] = pcTable;
            continue;
        }
        if (i == 0) {
            QString object;
            const TAliasLookup &lookup = request.AliasLookup ? request.AliasLookup : TAliasLookup(FindTableAlias);
            if (lookup(request.EditorText, parts.at(0), &object)) {
                codes[i] = pcAlias;
                parts[0] = object;
                continue;
            }
            if (IsSchema(query, parts.at(0))) {
                codes[i] = pcSchema;
                continue;
            }
        }
        // Not a table, alias or schema: whatever else it names (an index, a function, …) has
        // no list after its dot, so it is not looked up further.
        return r;
    }

    // The list that follows from the codes.
    bool keywords = false;
    QString aliasSchema, aliasTable;
    if (codes.value(0) == pcAlias) {
        const QString object = parts.at(0);
        const int dot = object.indexOf(QLatin1Char('.'));
        if (dot < 0) {
            aliasSchema = request.Schema;
            aliasTable = NormaliseAssistName(object);
        } else {
            aliasSchema = NormaliseAssistName(object.left(dot));
            aliasTable = NormaliseAssistName(object.mid(dot + 1));
        }
    }
    auto is = [&](std::initializer_list<int> want) {
        return QVector<int>(want) == codes;
    };
    if (is({pcSchema})) {
        r.Kind = TAssistListKind::Objects;
        r.ListSchema = parts[0];
    } else if (is({pcPrefix})) {
        r.Kind = TAssistListKind::Objects;
        r.ListSchema = request.Schema;
        r.Filter = parts[0];
        keywords = true;
    } else if (is({pcTable})) {
        r.Kind = TAssistListKind::Columns;
        r.ListSchema = request.Schema;
        r.ListTable = parts[0];
    } else if (is({pcAlias})) {
        r.Kind = TAssistListKind::Columns;
        r.ListSchema = aliasSchema;
        r.ListTable = aliasTable;
    } else if (is({pcSchema, pcPrefix})) {
        r.Kind = TAssistListKind::Objects;
        r.ListSchema = parts[0];
        r.Filter = parts[1];
    } else if (is({pcSchema, pcTable})) {
        r.Kind = TAssistListKind::Columns;
        r.ListSchema = parts[0];
        r.ListTable = parts[1];
    } else if (is({pcTable, pcPrefix})) {
        r.Kind = TAssistListKind::Columns;
        r.ListSchema = request.Schema;
        r.ListTable = parts[0];
        r.Filter = parts[1];
    } else if (is({pcAlias, pcPrefix})) {
        r.Kind = TAssistListKind::Columns;
        r.ListSchema = aliasSchema;
        r.ListTable = aliasTable;
        r.Filter = parts[1];
    } else if (is({pcSchema, pcTable, pcPrefix})) {
        r.Kind = TAssistListKind::Columns;
        r.ListSchema = parts[0];
        r.ListTable = parts[1];
        r.Filter = parts[2];
    } else {
        return r;
    }
    r.Filter = r.Filter.toUpper();

    if (r.Kind == TAssistListKind::Objects) {
        r.Caption0 = QStringLiteral("オブジェクト名");
        r.Caption1 = QStringLiteral("タイプ");
        if (keywords && request.FunctionOid != 0) {
            query.close();
            FncArgArray args;
            if (GetFunctionArgs(request.FunctionOid, query, args)) {
                for (const TFuncArgument &a : args) {
                    const int image = a.strMode == QLatin1String("i") ? ImageArgIn
                        : a.strMode == QLatin1String("o")             ? ImageArgOut
                        : a.strMode == QLatin1String("b")             ? ImageArgInOut
                                                                      : -1;
                    r.Candidates.append(a.strArgName, a.strTypeNaCon, image);
                }
            }
        }
        // The first kAssistObjectRows objects in the list's order, and whether there are more.
        const TAssistCandidates objects = ReadObjects(query, r.ListSchema, r.Filter, 0, kAssistObjectRows + 1);
        const int held = std::min<int>(objects.size(), kAssistObjectRows);
        r.ObjectsBegin = r.Candidates.size();
        for (int i = 0; i < held; ++i)
            r.Candidates.append(objects.Captions.at(i), objects.Details.at(i), objects.Images.at(i));
        r.ObjectsCut = objects.size() > kAssistObjectRows;
        r.ObjectsEnd = r.Candidates.size();
        if (keywords)
            for (const QString &w : request.Keywords)
                r.Candidates.append(w, QStringLiteral("KEYWORD"), KeywordImage);
        if (r.Candidates.size() == 0)
            r.Kind = TAssistListKind::None;
        return r;
    }

    // Column list.
    const TAssistCandidates columns = Columns(query, r.ListSchema, r.ListTable);
    if (columns.size() == 0) {
        r.Kind = TAssistListKind::None;
        return r;
    }
    r.Caption0 = QStringLiteral("列名");
    r.Caption1 = QStringLiteral("データ型");
    r.Candidates.append(QStringLiteral("*"), QString(), -1);
    for (int i = 0; i < columns.size(); ++i)
        r.Candidates.append(columns.Captions.at(i), columns.Details.at(i), columns.Images.at(i));
    return r;
}

} // namespace kdassist
