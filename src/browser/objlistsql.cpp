// Object list queries, column layouts and row conversion.
#include "browser/objlistsql.h"

#include "core/kdsub_catalog.h"
#include "core/kdsub_object.h"
#include "core/kdsub_text.h"

#include <cmath>
#include <map>

namespace {

// The per-type texts: the code, the schema column (after an empty WHERE text / after a WHERE
// text), the name condition, and the detail, plain and all-types SELECT lists.
struct TypeTexts {
    int Code;
    const char *SchemaColumn; // without the leading "WHERE " / "AND   "
    const char *NameCondition;
    QString Detail;
    QString Plain;
    QString All;
};

// The all-types TYPE list casts the kind letter to text: the other SELECTs have NULL in those
// columns, which the server resolves to text before it meets the "char" of typtype, and a
// UNION of text and "char" is refused.
const std::map<QString, TypeTexts> &typeTexts()
{
    static const std::map<QString, TypeTexts> texts{
        {QStringLiteral("TABLE"),
         {45, "TblNsp.nspname ", "AND   TblInf.relname LIKE ",
          QStringLiteral("SELECT 'TABLE' AS OBJECT_TYPE, TblInf.relname AS TABLE_NAME, TblNsp.nspname AS TABLE_SCHEMA, 'TABLE' AS OBJECT_TYPE, TblInf.oid AS TABLE_OID, COALESCE(TblSpe.spcname,         (SELECT TblSpe.spcname            FROM pg_database D LEFT JOIN pg_tablespace TblSpe ON D.dattablespace = TblSpe.oid           WHERE D.datname = current_database()))  AS TBS_NAME, "
                         "(TblInf.relpages * 8192) as USE_SIZE, "
                         "CASE TblInf.relhasindex    WHEN 'TRUE' THEN '○' ELSE '－' END AS TABLE_INDEX, "
                         "CASE TblInf.relhastriggers WHEN 'TRUE' THEN '○' ELSE '－' END AS TABLE_TRIGGER, "
                         "CASE TblInf.relhasrules    WHEN 'TRUE' THEN '○' ELSE '－' END AS TABLE_RULES, "
                         "CASE TblInf.relhassubclass WHEN 'TRUE' THEN '○' ELSE '－' END AS TABLE_INHERITANCE, "
                         "TblRol.rolname AS OWNER, "
                         "obj_description(TblInf.oid, 'pg_class') AS COMMENTS "),
          QStringLiteral("SELECT 'TABLE' AS OBJECT_TYPE, TblInf.relname AS TABLE_NAME, TblNsp.nspname AS TABLE_SCHEMA, 'TABLE' AS OBJECT_TYPE, TblRol.rolname AS OWNER, obj_description(TblInf.oid, 'pg_class') AS COMMENTS "),
          QStringLiteral("SELECT 'TABLE'      AS OBJECT_TYPE,   TblInf.relname AS OBJECT_NAME,   TblNsp.nspname AS OBJECT_SCHEMA, 'TABLE'      AS OBJECT_TYPE,   TblInf.oid     AS OBJECT_OID,    NULL           AS TABLE_NAME,    NULL           AS ARGUMENT,      NULL           AS RETURN_VALUE,  TblRol.rolname AS OWNER,         obj_description(TblInf.oid, 'pg_class') AS COMMENTS, 0              AS OBJECT_OID,    NULL           AS TYPE_KIND,     NULL           AS DUMMY_COL1,    NULL           AS ARG_TBLNAME,   NULL           AS DEL_ARGUMENT,  NULL           AS TYPE_KIND      ")}},
        {QStringLiteral("INDEX"),
         {46, "N.nspname ", "AND   C.relname LIKE ",
          QStringLiteral("SELECT 'INDEX' AS OBJECT_TYPE, C.relname AS INDEX_NAME, N.nspname AS INDEX_SCHEMA, 'INDEX' AS OBJECT_TYPE, C.oid AS INDEX_OID, COALESCE(T.spcname , (SELECT T.spcname FROM pg_database D LEFT JOIN pg_tablespace T ON D.dattablespace = T.oid WHERE D.datname = current_database()))  AS tblsp_name, "
                         "(C.relpages * 8192) as USE_SIZE, "
                         "C2.relname AS TABLE_NAME, "
                         "N2.nspname AS TABLE_SCHEMA, "
                         "TblRol.rolname AS OWNER, "
                         "D.description AS COMMENTS "),
          QStringLiteral("SELECT 'INDEX' AS OBJECT_TYPE, C.relname AS INDEX_NAME, N.nspname AS INDEX_SCHEMA, 'INDEX' AS OBJECT_TYPE, TblRol.rolname AS OWNER, D.description AS COMMENTS "),
          QStringLiteral("SELECT 'INDEX' AS OBJECT_TYPE,   C.relname AS OBJECT_NAME,   N.nspname AS OBJECT_SCHEMA, 'INDEX' AS OBJECT_TYPE,   C.oid     AS OBJECT_OID,    NULL      AS TABLE_NAME,    NULL      AS ARGUMENT,      NULL      AS RETURN_VALUE,  TblRol.rolname AS OWNER,    obj_description(C.oid, 'pg_class') AS COMMENTS, 0         AS OBJECT_OID,    NULL      AS TYPE_KIND,     NULL      AS DUMMY_COL1,    NULL      AS ARG_TBLNAME,   NULL      AS DEL_ARGUMENT,  NULL      AS TYPE_KIND      ")}},
        {QStringLiteral("VIEW"),
         {47, "TblNsp.nspname ", "AND   TblInf.relname LIKE ",
          QStringLiteral("SELECT 'VIEW' AS OBJECT_TYPE, TblInf.relname AS TABLE_NAME, TblNsp.nspname AS TABLE_SCHEMA, 'VIEW' AS OBJECT_TYPE, TblInf.oid AS TABLE_OID, TblRol.rolname AS OWNER, obj_description(TblInf.oid, 'pg_class') AS COMMENTS "),
          QStringLiteral("SELECT 'VIEW' AS OBJECT_TYPE, TblInf.relname AS TABLE_NAME, TblNsp.nspname AS TABLE_SCHEMA, 'VIEW' AS OBJECT_TYPE, TblRol.rolname AS OWNER, obj_description(TblInf.oid, 'pg_class') AS COMMENTS "),
          QStringLiteral("SELECT 'VIEW'       AS OBJECT_TYPE,   TblInf.relname AS OBJECT_NAME,   TblNsp.nspname AS OBJECT_SCHEMA, 'VIEW'       AS OBJECT_TYPE,   TblInf.oid     AS OBJECT_OID,    NULL           AS TABLE_NAME,    NULL           AS ARGUMENT,      NULL           AS RETURN_VALUE,  TblRol.rolname AS OWNER,         obj_description(TblInf.oid, 'pg_class') AS COMMENTS, 0              AS OBJECT_OID,    NULL           AS TYPE_KIND,     NULL           AS DUMMY_COL1,    NULL           AS ARG_TBLNAME,   NULL           AS DEL_ARGUMENT,  NULL           AS TYPE_KIND      ")}},
        {QStringLiteral("FUNCTION"),
         {52, "Nms.nspname ", "AND   Prc.proname LIKE ",
          QStringLiteral("SELECT 'FUNCTION', Prc.proname, Nms.nspname, 'FUNCTION', Prc.oid, CASE   WHEN Prc.proallargtypes IS NULL     THEN  array_to_string(Prc.proargtypes, '\r\n')   ELSE    array_to_string(Prc.proallargtypes, '\r\n') END AS AryType, Typ.typname, TblRol.rolname AS OWNER, obj_description(Prc.oid, 'pg_proc') AS Comment, NULL, Prc.oid, NULL, NULL, NULL, CASE   WHEN Prc.proargmodes IS NULL     THEN  ''   ELSE    array_to_string(Prc.proargmodes, '\r\n') END AS AryMode "),
          QStringLiteral("SELECT 'FUNCTION', Prc.proname, Nms.nspname, 'FUNCTION', CASE   WHEN Prc.proallargtypes IS NULL     THEN  array_to_string(Prc.proargtypes, '\r\n')   ELSE    array_to_string(Prc.proallargtypes, '\r\n') END AS AryType, Typ.typname, TblRol.rolname AS OWNER, obj_description(Prc.oid, 'pg_proc') AS Comment, NULL , NULL , Prc.oid, NULL , NULL , NULL , CASE   WHEN Prc.proargmodes IS NULL     THEN  ''   ELSE    array_to_string(Prc.proargmodes, '\r\n') END AS AryMode "),
          QStringLiteral("SELECT 'FUNCTION'   AS OBJECT_TYPE,   Prc.proname    AS OBJECT_NAME,   Nms.nspname    AS OBJECT_SCHEMA, 'FUNCTION'   AS OBJECT_TYPE,   Prc.oid        AS OBJECT_OID,    NULL           AS TABLE_NAME,    CASE   WHEN Prc.proallargtypes IS NULL     THEN  array_to_string(Prc.proargtypes, '\r\n')   ELSE    array_to_string(Prc.proallargtypes, '\r\n') END AS AryType ,      Typ.typname    AS RETURN_VALUE,  TblRol.rolname AS OWNER,         obj_description(Prc.oid, 'pg_proc') AS COMMENTS, Prc.oid        AS OBJECT_OID,    NULL           AS TYPE_KIND,     NULL           AS DUMMY_COL1,    NULL           AS ARG_TBLNAME,   CASE   WHEN Prc.proargmodes IS NULL     THEN  ''   ELSE    array_to_string(Prc.proargmodes, '\r\n') END AS DEL_ARGUMENT, NULL AS TYPE_KIND                ")}},
        {QStringLiteral("TYPE"),
         {55, "N.nspname ", "AND   T.typname LIKE ",
          QStringLiteral("SELECT 'TYPE', T.typname, N.nspname, 'TYPE', T.oid, T.typtype, TblRol.rolname AS OWNER, obj_description(T.oid, 'pg_type') AS Comment, NULL,  NULL,  T.oid, NULL,  NULL,  NULL,  NULL,  T.typtype "),
          QStringLiteral("SELECT 'TYPE', T.typname, N.nspname, 'TYPE', TblRol.rolname AS OWNER, obj_description(T.oid, 'pg_type') AS Comment, NULL,  NULL,  NULL,  NULL,  T.oid, NULL,  NULL,  NULL,  NULL,  T.typtype "),
          QStringLiteral("SELECT 'TYPE'  AS OBJECT_TYPE,   T.typname AS OBJECT_NAME,   N.nspname AS OBJECT_SCHEMA, 'TYPE'  AS OBJECT_TYPE,   T.oid     AS OBJECT_OID,    NULL      AS TABLE_NAME,    NULL      AS ARGUMENT,      NULL      AS RETURN_VALUE,  TblRol.rolname AS OWNER,    obj_description(T.oid, 'pg_type') AS COMMENTS, T.oid     AS OBJECT_OID,    T.typtype::text AS TYPE_KIND,     NULL      AS DUMMY_COL1,    NULL      AS ARG_TBLNAME,   NULL      AS DEL_ARGUMENT,  T.typtype::text AS TYPE_KIND      ")}},
        {QStringLiteral("TRIGGER"),
         {57, nullptr, "AND   TrgInf.tgname LIKE ",
          QStringLiteral("SELECT 'TRIGGER', TrgInf.tgname, Nms.nspname, 'TRIGGER', TrgInf.oid, TblInf.relname, Nms.nspname, pg_get_triggerdef(TrgInf.oid, True) AS TrgTim, pg_get_triggerdef(TrgInf.oid, True) AS TrgEve, FncNms.nspname, FncInf.proname, TblRol.rolname AS OWNER, TrgCom.description, TblInf.relname "),
          QStringLiteral("SELECT 'TRIGGER', TrgInf.tgname, Nms.nspname, 'TRIGGER', TblInf.relname, TblRol.rolname AS OWNER, TrgCom.description, NULL, NULL, NULL, NULL, NULL, NULL, TblInf.relname "),
          QStringLiteral("SELECT 'TRIGGER'    AS OBJECT_TYPE,   TrgInf.tgname  AS OBJECT_NAME,   Nms.nspname    AS OBJECT_SCHEMA, 'TRIGGER'    AS OBJECT_TYPE,   TrgInf.oid     AS OBJECT_OID,    TblInf.relname AS TABLE_NAME,    NULL           AS ARGUMENT,      NULL           AS RETURN_VALUE,  TblRol.rolname AS OWNER,         obj_description(TrgInf.oid, 'pg_trigger') AS COMMENTS, 0              AS OBJECT_OID,    NULL           AS TYPE_KIND,     NULL           AS DUMMY_COL1,    TblInf.relname AS ARG_TBLNAME,   NULL           AS DEL_ARGUMENT,  NULL           AS TYPE_KIND      ")}},
        {QStringLiteral("RULE"),
         {127, "ns.nspname ", "AND   r.rulename LIKE ",
          QStringLiteral(" SELECT 'RULE', r.rulename, ns.nspname, 'RULE', r.oid, c.relname, ns.nspname, CASE ev_type WHEN '1' THEN 'SELECT' WHEN '2' THEN 'UPDATE' WHEN '3' THEN 'INSERT' WHEN '4' THEN 'DELETE' ELSE '(Unknown)' END AS ev_typename, CASE is_instead WHEN true THEN 'INSTEAD' ELSE 'ALSO' END AS ev_action, CASE ev_enabled WHEN 'O' THEN 'Origin' WHEN 'D' THEN 'Disable' WHEN 'R' THEN 'Replica' WHEN 'A' THEN 'Always' ELSE '(Unknown)' END AS ev_enabledname,TblRol.rolname AS OWNER,  cm.description, NULL,  c.relname "),
          QStringLiteral(" SELECT 'RULE', r.rulename, ns.nspname, 'RULE', c.relname,TblRol.rolname AS OWNER,  cm.description, NULL, NULL, NULL, NULL, NULL, NULL, c.relname "),
          QStringLiteral(" SELECT 'RULE' AS OBJECT_TYPE, r.rulename AS OBJECT_NAME, ns.nspname AS OBJECT_SCHEMA, 'RULE' AS OBJECT_TYPE, r.oid AS OBJECT_OID, c.relname AS TABLE_NAME, NULL AS ARGUMENT, NULL AS RETURN_VALUE, TblRol.rolname AS OWNER, obj_description(r.oid, 'pg_rewrite') AS COMMENTS,  0 AS OBJECT_OID, NULL AS TYPE_KIND, NULL AS DUMMY_COL1, c.relname AS ARG_TBLNAME, NULL AS DEL_ARGUMENT, NULL AS TYPE_KIND ")}},
        {QStringLiteral("SEQUENCE"),
         {58, "N.nspname ", "AND   C.relname LIKE ",
          QStringLiteral("SELECT 'SEQUENCE', C.relname, N.nspname, 'SEQUENCE', C.oid, '' AS LAST_VALUE , '' AS MIN, '' AS MAX, '' AS INQ, '' AS CYCLE, '' AS CHACH, TblRol.rolname AS OWNER, obj_description(C.oid, 'pg_class') AS Comment "),
          QStringLiteral("SELECT 'SEQUENCE', C.relname, N.nspname, 'SEQUENCE', TblRol.rolname AS OWNER, obj_description(C.oid, 'pg_class') AS Comment "),
          QStringLiteral("SELECT 'SEQUENCE' AS OBJECT_TYPE,   C.relname    AS OBJECT_NAME,   N.nspname    AS OBJECT_SCHEMA, 'SEQUENCE' AS OBJECT_TYPE,   C.oid        AS OBJECT_OID,    NULL         AS TABLE_NAME,    NULL         AS ARGUMENT,      NULL         AS RETURN_VALUE,  TblRol.rolname AS OWNER,       obj_description(C.oid, 'pg_class') AS COMMENTS, 0            AS OBJECT_OID,    NULL         AS TYPE_KIND,     NULL         AS DUMMY_COL1,    NULL         AS ARG_TBLNAME,   NULL         AS DEL_ARGUMENT,  NULL         AS TYPE_KIND      ")}},
        {QStringLiteral("CONSTRAINT"),
         {66, "ConNsp.nspname ", "AND   ConInf.conname LIKE ",
          QStringLiteral("SELECT 'CONSTRAINT',           ConInf.conname,           ConNsp.nspname,           'CONSTRAINT',           ConInf.oid,               UPPER(ConInf.contype) ,   TblInf.relname,           TblNsp.nspname,           TblRol.rolname AS OWNER,  obj_description(ConInf.oid, 'pg_constraint') AS Comment, NULL,                     NULL,                     NULL,                     TblInf.relname,           obj_description(ConInf.oid, 'pg_constraint') AS Comment "),
          QStringLiteral("SELECT 'CONSTRAINT', ConInf.conname, ConNsp.nspname, 'CONSTRAINT', UPPER(ConInf.contype), TblInf.relname, TblRol.rolname AS OWNER, obj_description(ConInf.oid, 'pg_constraint') AS Comment, NULL, NULL, NULL, NULL, NULL, TblInf.relname "),
          QStringLiteral("SELECT 'CONSTRAINT' AS OBJECT_TYPE,   ConInf.conname AS OBJECT_NAME,   ConNsp.nspname AS OBJECT_SCHEMA, 'CONSTRAINT' AS OBJECT_TYPE,   ConInf.oid     AS OBJECT_OID,    TblInf.relname AS OBJECT_TYPE,   NULL           AS ARGUMENT,      NULL           AS RETURN_VALUE,  TblRol.rolname AS OWNER,         obj_description(ConInf.oid, 'pg_constraint') AS COMMENTS, 0              AS OBJECT_OID,    NULL           AS TYPE_KIND,     NULL           AS DUMMY_COL1,    TblInf.relname AS ARG_TBLNAME,   NULL           AS DEL_ARGUMENT,  NULL           AS TYPE_KIND      ")}},
    };
    return texts;
}

const TypeTexts *findType(const QString &T)
{
    const auto &texts = typeTexts();
    const auto it = texts.find(T);
    return it == texts.end() ? nullptr : &it->second;
}

// Builds a layout from (caption, value, width, alignment) rows.
struct ColumnRow {
    const char *Caption;
    const char *Value;
    int Width;
    Qt::Alignment Align;
};

QList<TObjListColumn> makeColumns(std::initializer_list<ColumnRow> rows)
{
    QList<TObjListColumn> cols;
    for (const ColumnRow &r : rows)
        cols.append({QString::fromUtf8(r.Caption), QString::fromLatin1(r.Value), r.Width, r.Align});
    return cols;
}

constexpr Qt::Alignment L = Qt::AlignLeft;
constexpr Qt::Alignment R = Qt::AlignRight;
constexpr Qt::Alignment C = Qt::AlignHCenter;

QString upper(const QString &s) { return s.toUpper(); }

// The words of the clause between a trigger's name and "ON": quoted names are one word
// (kept with their quotes, so they never match a keyword).
QStringList triggerClauseWords(const QString &definition)
{
    QStringList words;
    qsizetype i = 0;
    const qsizetype n = definition.size();
    auto readWord = [&]() -> QString {
        while (i < n && definition.at(i).isSpace())
            ++i;
        if (i >= n)
            return QString();
        const qsizetype start = i;
        if (definition.at(i) == u'"') {
            ++i;
            while (i < n) {
                if (definition.at(i) == u'"') {
                    if (i + 1 < n && definition.at(i + 1) == u'"') {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
        } else {
            while (i < n && !definition.at(i).isSpace() && definition.at(i) != u'"')
                ++i;
        }
        return definition.mid(start, i - start);
    };
    // "CREATE [CONSTRAINT] TRIGGER name"
    QString w = readWord();
    if (upper(w) != QLatin1String("CREATE"))
        return words;
    w = readWord();
    if (upper(w) == QLatin1String("CONSTRAINT"))
        w = readWord();
    if (upper(w) != QLatin1String("TRIGGER"))
        return words;
    readWord(); // the trigger's name
    for (;;) {
        w = readWord();
        if (w.isEmpty() || w == QLatin1String("ON"))
            break;
        words << w;
    }
    return words;
}

QString trim(const QString &s) { return TrimBlanks(s); }

} // namespace

TListFilter ChooseListFilter(int Level, TTreeOrder Order, const QString &NodeText,
                             const QString &ParentText, int Disp, const QString &LoginSchema,
                             bool ShowLevel0, bool ShowLevel1)
{
    TListFilter f;
    const QString allSchemas = Disp == 1 ? LoginSchema : QStringLiteral("%");
    switch (Level) {
    case 0:
        if (!ShowLevel0)
            return f;
        f.T = QStringLiteral("%");
        f.S = allSchemas;
        break;
    case 1:
        if (!ShowLevel1)
            return f;
        if (Order == TTreeOrder::SchemaFirst) {
            f.T = QStringLiteral("%");
            f.S = NodeText;
        } else {
            f.T = NodeText;
            f.S = allSchemas;
        }
        break;
    case 2:
        if (Order == TTreeOrder::SchemaFirst) {
            f.T = NodeText;
            f.S = ParentText;
        } else {
            f.T = ParentText;
            f.S = NodeText;
        }
        break;
    default:
        return f;
    }
    f.Fill = true;
    return f;
}

QString SchemaCondition(const QString &S, int Disp, const QStringList &Stored)
{
    if (S == QLatin1String("%") && Disp == 2 && !Stored.isEmpty()) {
        QStringList literals;
        for (const QString &name : Stored)
            literals << QuoteLiteral(name);
        return QStringLiteral("IN (") + literals.join(u',') + u')';
    }
    QString pattern = S;
    if (pattern == QLatin1String("pg_temp") || pattern == QLatin1String("pg_toast_temp"))
        pattern += u'%';
    return QStringLiteral("LIKE ") + QuoteLiteral(pattern);
}

QString NamePattern(const QString &FindText, bool FindAuto)
{
    const QString text = trim(FindText);
    if (FindAuto && !FindText.contains(u'%'))
        return u'%' + text + u'%';
    return text;
}

const QStringList &ObjectListTypeNames()
{
    static const QStringList names{
        QStringLiteral("TABLE"),   QStringLiteral("INDEX"),   QStringLiteral("VIEW"),
        QStringLiteral("FUNCTION"), QStringLiteral("TYPE"),   QStringLiteral("TRIGGER"),
        QStringLiteral("RULE"),    QStringLiteral("SEQUENCE"), QStringLiteral("CONSTRAINT")};
    return names;
}

QString CompleteObjectSelect(int Code, const QString &SelectList, const QString &C,
                             const QString &N, int DBVer)
{
    const TypeTexts *texts = findType(NameOfObjectType(Code));
    QString from, where;
    ObjectListSQL(Code, from, where);
    if (!texts)
        return SelectList + from + u' ' + where;
    if (Code == ObjectTypeCode::Trigger) {
        // The trigger's table is found in pg_tables or pg_views, under either schema column.
        where += where.isEmpty() ? QStringLiteral(" WHERE (") : QStringLiteral(" AND   (");
        where += QStringLiteral("             TblShe.schemaname ") + C;
        where += QStringLiteral("         OR  VieShe.schemaname ") + C;
        where += QStringLiteral("       )");
    } else {
        where += where.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND   ");
        where += QString::fromLatin1(texts->SchemaColumn) + C;
    }
    where += u' ' + QString::fromLatin1(texts->NameCondition) + QuoteLiteral(N);
    if (Code == ObjectTypeCode::Function && DBVer > 90499)
        where += QStringLiteral(" AND   Not(Prc.proname = 'nvarchar' AND ('6001' && Prc.proargtypes or '6001' && Prc.proargtypes))");
    return SelectList + from + u' ' + where;
}

QStringList ObjectListQuery(const QString &T, bool TreeData, const QString &C, const QString &N,
                            int DBVer)
{
    if (const TypeTexts *texts = findType(T))
        return {CompleteObjectSelect(texts->Code, TreeData ? texts->Detail : texts->Plain, C, N, DBVer)};
    QStringList lines;
    for (const QString &name : ObjectListTypeNames()) {
        if (!lines.isEmpty())
            lines << QStringLiteral("UNION ALL");
        const TypeTexts *texts = findType(name);
        lines << CompleteObjectSelect(texts->Code, texts->All, C, N, DBVer);
    }
    return lines;
}

QString TypeNameMapSQL()
{
    return QStringLiteral(" SELECT  TY.oid,        TY.typname,        NA.nspname "
                          "FROM    pg_type TY LEFT JOIN pg_namespace NA ON TY.typnamespace = NA.oid "
                          "ORDER BY TY.oid");
}

QList<TObjListColumn> ObjectListColumns(const QString &T, bool TreeData)
{
    const bool typed = findType(T) != nullptr;
    if (typed && TreeData) {
        if (T == QLatin1String("TABLE"))
            return makeColumns({{"オブジェクト名", "TABLE0", 200, L}, {"スキーマ", "TABLE1", 100, L},
                                {"タイプ", "TABLE2", 140, L}, {"OID", "TABLE3", 100, R},
                                {"テーブルスペース", "TABLE4", 140, L}, {"サイズ(KB)", "TABLE5", 140, R},
                                {"インデックス", "TABLE6", 100, C}, {"トリガー", "TABLE7", 80, C},
                                {"ルール", "TABLE8", 80, C}, {"継承", "TABLE9", 80, C},
                                {"作成者", "TABLE10", 100, L}, {"コメント", "TABLE11", 200, L}});
        if (T == QLatin1String("INDEX"))
            return makeColumns({{"オブジェクト名", "INDEX0", 200, L}, {"スキーマ", "INDEX1", 100, L},
                                {"タイプ", "INDEX2", 140, L}, {"OID", "INDEX3", 100, R},
                                {"テーブルスペース", "INDEX4", 140, L}, {"サイズ(KB)", "INDEX5", 120, R},
                                {"テーブル名", "INDEX6", 140, L}, {"テーブルスキーマ", "INDEX7", 140, L},
                                {"作成者", "INDEX8", 100, L}, {"コメント", "INDEX9", 200, L}});
        if (T == QLatin1String("VIEW"))
            return makeColumns({{"オブジェクト名", "VIEW0", 200, L}, {"スキーマ", "VIEW1", 100, L},
                                {"タイプ", "VIEW2", 140, L}, {"OID", "VIEW3", 100, R},
                                {"作成者", "VIEW4", 100, L}, {"コメント", "VIEW5", 200, L}});
        if (T == QLatin1String("FUNCTION"))
            return makeColumns({{"オブジェクト名", "FUNCTION0", 200, L}, {"スキーマ", "FUNCTION1", 100, L},
                                {"タイプ", "FUNCTION2", 140, L}, {"OID", "FUNCTION3", 100, R},
                                {"引数", "FUNCTION4", 100, L}, {"戻り値", "FUNCTION5", 100, L},
                                {"作成者", "FUNCTION6", 100, L}, {"コメント", "FUNCTION7", 200, L}});
        if (T == QLatin1String("TYPE"))
            return makeColumns({{"オブジェクト名", "TYPE0", 200, L}, {"スキーマ", "TYPE1", 100, L},
                                {"タイプ", "TYPE2", 140, L}, {"OID", "TYPE3", 100, R},
                                {"タイプ種別", "TYPE4", 100, L}, {"作成者", "TYPE5", 100, L},
                                {"コメント", "TYPE6", 200, L}});
        if (T == QLatin1String("TRIGGER"))
            return makeColumns({{"オブジェクト名", "TRIGGER0", 200, L}, {"スキーマ", "TRIGGER1", 100, L},
                                {"タイプ", "TRIGGER2", 140, L}, {"OID", "TRIGGER3", 100, R},
                                {"テーブル名", "TRIGGER4", 140, L}, {"テーブルスキーマ", "TRIGGER5", 140, L},
                                {"タイミング", "TRIGGER6", 100, L}, {"イベント", "TRIGGER7", 100, L},
                                {"ﾌｧﾝｸｼｮﾝｽｷｰﾏ", "TRIGGER8", 140, L}, {"使用ファンクション", "TRIGGER9", 140, L},
                                {"作成者", "TRIGGER10", 100, L}, {"コメント", "TRIGGER11", 200, L}});
        if (T == QLatin1String("RULE"))
            return makeColumns({{"オブジェクト名", "RULE0", 200, L}, {"スキーマ", "RULE1", 100, L},
                                {"タイプ", "RULE2", 140, L}, {"OID", "RULE3", 100, R},
                                {"テーブル名", "RULE4", 140, L}, {"テーブルスキーマ", "RULE5", 140, L},
                                {"イベント", "RULE6", 100, L}, {"動作種別", "RULE7", 100, L},
                                {"制御", "RULE8", 100, L}, {"作成者", "RULE9", 100, L},
                                {"コメント", "RULE10", 140, L}});
        if (T == QLatin1String("SEQUENCE"))
            return makeColumns({{"オブジェクト名", "SEQUENCE0", 200, L}, {"スキーマ", "SEQUENCE1", 100, L},
                                {"タイプ", "SEQUENCE2", 140, L}, {"OID", "SEQUENCE3", 100, R},
                                {"現在値", "SEQUENCE4", 100, R}, {"最小値", "SEQUENCE5", 100, R},
                                {"最大値", "SEQUENCE6", 100, R}, {"増分", "SEQUENCE7", 100, R},
                                {"サイクル", "SEQUENCE8", 100, R}, {"キャッシュ", "SEQUENCE9", 100, R},
                                {"作成者", "SEQUENCE10", 100, L}, {"コメント", "SEQUENCE11", 200, L}});
        // CONSTRAINT
        return makeColumns({{"オブジェクト名", "CONSTRAINT0", 200, L}, {"スキーマ", "CONSTRAINT1", 100, L},
                            {"タイプ", "CONSTRAINT2", 140, L}, {"OID", "CONSTRAINT3", 100, R},
                            {"制約種別", "CONSTRAINT4", 100, L}, {"テーブル名", "CONSTRAINT5", 140, L},
                            {"テーブルスキーマ", "CONSTRAINT6", 140, L}, {"作成者", "CONSTRAINT7", 100, L},
                            {"コメント", "CONSTRAINT8", 200, L}});
    }
    if (typed) {
        if (T == QLatin1String("FUNCTION"))
            return makeColumns({{"オブジェクト名", "SOURCE0", 200, L}, {"スキーマ", "SOURCE1", 100, L},
                                {"タイプ", "SOURCE2", 140, L}, {"引数", "SOURCE3", 140, L},
                                {"戻り値", "SOURCE4", 140, L}, {"作成者", "SOURCE7", 100, L},
                                {"コメント", "SOURCE5", 200, L}});
        if (T == QLatin1String("TRIGGER") || T == QLatin1String("RULE"))
            return makeColumns({{"オブジェクト名", "SOURCE0", 200, L}, {"スキーマ", "SOURCE1", 100, L},
                                {"タイプ", "SOURCE2", 140, L}, {"テーブル名", "SOURCE3", 200, L},
                                {"作成者", "SOURCE7", 100, L}, {"コメント", "SOURCE5", 200, L}});
        if (T == QLatin1String("CONSTRAINT"))
            return makeColumns({{"オブジェクト名", "SOURCE0", 200, L}, {"スキーマ", "SOURCE1", 100, L},
                                {"タイプ", "SOURCE2", 140, L}, {"タイプ", "SOURCE2", 140, L},
                                {"テーブル名", "SOURCE3", 200, L}, {"作成者", "SOURCE7", 100, L},
                                {"コメント", "SOURCE5", 200, L}});
        return makeColumns({{"オブジェクト名", "SOURCE0", 200, L}, {"スキーマ", "SOURCE1", 100, L},
                            {"タイプ", "SOURCE2", 140, L}, {"作成者", "SOURCE7", 100, L},
                            {"コメント", "SOURCE5", 200, L}});
    }
    if (TreeData)
        return makeColumns({{"オブジェクト名", "SOURCE0", 200, L}, {"スキーマ", "SOURCE1", 100, L},
                            {"タイプ", "SOURCE2", 140, L}, {"OID", "SOURCE6", 100, L},
                            {"テーブル名", "SOURCE3", 140, L}, {"引数", "SOURCE3", 140, L},
                            {"戻り値", "SOURCE4", 140, L}, {"作成者", "SOURCE7", 100, L},
                            {"コメント", "SOURCE5", 200, L}});
    return makeColumns({{"オブジェクト名", "SOURCE0", 200, L}, {"スキーマ", "SOURCE1", 100, L},
                        {"タイプ", "SOURCE2", 140, L}, {"テーブル名", "SOURCE3", 140, L},
                        {"引数", "SOURCE3", 140, L}, {"戻り値", "SOURCE4", 140, L},
                        {"作成者", "SOURCE7", 100, L}, {"コメント", "SOURCE5", 200, L}});
}

QString ObjectListViewType(const QString &T, bool TreeData)
{
    return findType(T) && TreeData ? T : QStringLiteral("SOURCE");
}

bool SequenceValuesInCatalog(int DBVer) { return DBVer >= 100000; }

QString SequenceValuesSQL(const QString &C)
{
    // An unread sequence has no last value yet; the relation itself answers with its start
    // value then, and so does this list. Sequences the user may not read have no row.
    return QStringLiteral(
               "SELECT S.schemaname, S.sequencename, COALESCE(S.last_value, S.start_value), "
               "S.min_value, S.max_value, S.increment_by, "
               "CASE WHEN S.cycle THEN 'YES' ELSE 'NO' END, S.cache_size "
               "FROM pg_sequences S "
               "WHERE has_sequence_privilege(quote_ident(S.schemaname) || '.' || quote_ident(S.sequencename), 'SELECT') "
               "AND S.schemaname ")
           + C;
}

QString SequenceRowSQL(const QString &Schema, const QString &Name)
{
    return QStringLiteral("SELECT last_value, min_value, max_value, increment_by, CASE WHEN is_cycled THEN 'YES' ELSE 'NO' END CYCLED, cache_value FROM ")
           + QuoteIdentifier(Schema, true) + u'.' + QuoteIdentifier(Name, true);
}

QString TriggerTiming(const QString &Definition)
{
    const QStringList words = triggerClauseWords(Definition);
    if (words.isEmpty())
        return QString();
    const QString first = upper(words.first());
    if (first == QLatin1String("BEFORE") || first == QLatin1String("AFTER"))
        return first;
    if (first == QLatin1String("INSTEAD"))
        return QStringLiteral("INSTEAD");
    return QString();
}

QString TriggerEvents(const QString &Definition)
{
    const QStringList words = triggerClauseWords(Definition);
    bool seen[4] = {false, false, false, false};
    static const char *const events[4] = {"INSERT", "UPDATE", "DELETE", "TRUNCATE"};
    bool inColumns = false; // after "UPDATE OF": column names until the next "OR"
    QString previous;
    for (const QString &w : words) {
        const QString u = upper(w);
        const QString before = previous;
        previous = u;
        if (u == QLatin1String("OR")) {
            inColumns = false;
            continue;
        }
        if (inColumns)
            continue;
        if (u == QLatin1String("OF") && before == QLatin1String("UPDATE")) {
            inColumns = true;
            continue;
        }
        for (int i = 0; i < 4; ++i)
            if (u == QLatin1String(events[i]))
                seen[i] = true;
    }
    QStringList out;
    for (int i = 0; i < 4; ++i)
        if (seen[i])
            out << QString::fromLatin1(events[i]);
    return out.join(QStringLiteral(", "));
}

QString SizeInKBText(const QString &Bytes)
{
    bool ok = false;
    qint64 bytes = Bytes.trimmed().toLongLong(&ok);
    if (!ok)
        bytes = 0;
    const double kb = double(bytes) / 1024.0;
    const qint64 rounded = qint64(std::llround(kb));
    QString digits = QString::number(rounded < 0 ? -rounded : rounded);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, u',');
    if (rounded < 0)
        digits.prepend(u'-');
    return digits.rightJustified(12, u' ');
}

TObjListRow ConvertObjectListRow(const TObjListFillContext &Ctx, int ColumnCount,
                                 const std::function<QString(int)> &Column)
{
    TObjListRow row;
    const QString R = Column(1);
    row.Caption = Column(2);
    row.ImageIndex = ObjectTypeOfName(R);
    const bool all = Ctx.T == QLatin1String("%");
    const bool isFunction = R == QLatin1String("FUNCTION");
    QString argTypes; // the argument type oids of a function row, kept for its signature
    row.SubItems.reserve(ColumnCount);
    for (int k = 3; k <= ColumnCount; ++k) {
        // 1. size in KB
        if ((Ctx.T == QLatin1String("TABLE") || Ctx.T == QLatin1String("INDEX")) && Ctx.TreeData
            && k == 7) {
            row.SubItems << SizeInKBText(Column(k));
            continue;
        }
        // 2. argument types
        if (isFunction
            && ((k == 5 && !Ctx.TreeData && Ctx.T == QLatin1String("FUNCTION"))
                || (k == 6 && Ctx.TreeData && Ctx.T == QLatin1String("FUNCTION"))
                || (k == 7 && all))) {
            argTypes = Column(k);
            QStringList names;
            if (!argTypes.isEmpty()) {
                for (const QString &line : argTypes.split(QStringLiteral("\r\n"))) {
                    const TTypeName t = Ctx.Types ? Ctx.Types->value(line.trimmed().toUInt()) : TTypeName();
                    if (t.Schema == QLatin1String("pg_catalog") || t.Schema == Ctx.LoginSchema)
                        names << t.Name;
                    else
                        names << t.Schema + u'.' + t.Name;
                }
            }
            row.SubItems << names.join(u',');
            continue;
        }
        // 3. argument signature: the identity arguments (no output or table columns)
        if (isFunction && k == 15 && (all || Ctx.T == QLatin1String("FUNCTION"))) {
            FncArgArray args;
            try {
                args = ParseFunctionArgs(argTypes, Column(k), QString());
            } catch (const std::exception &) {
                args.clear();
            }
            for (TFuncArgument &a : args) {
                const TTypeName t = Ctx.Types ? Ctx.Types->value(a.intOid) : TTypeName();
                a.strSchema = t.Schema;
                a.strTypeNaOri = t.Name;
            }
            row.SubItems << FormatFunctionArgs(args, 5, Ctx.LoginSchema, Ctx.UseLowerName);
            continue;
        }
        // 4. trigger timing and events
        if (!all && R == QLatin1String("TRIGGER") && Ctx.TreeData && (k == 8 || k == 9)) {
            row.SubItems << (k == 8 ? TriggerTiming(Column(k)) : TriggerEvents(Column(k)));
            continue;
        }
        // 5. sequence values
        if (!all && R == QLatin1String("SEQUENCE") && Ctx.TreeData && k >= 6 && k <= 11) {
            if (k == 6) {
                QStringList values = Ctx.SequenceValues ? Ctx.SequenceValues(Column(3), Column(2))
                                                        : QStringList();
                values.resize(6);
                row.SubItems << values;
            }
            continue;
        }
        // 6. all-types compaction
        if (all && !Ctx.TreeData) {
            if (k == 5)
                continue;
            if ((k == 11 && (isFunction || R == QLatin1String("TYPE")))
                || (k == 14
                    && (R == QLatin1String("TRIGGER") || R == QLatin1String("CONSTRAINT")
                        || R == QLatin1String("RULE")))) {
                row.SubItems << QString() << Column(k);
                continue;
            }
        }
        // 7. the text as it stands
        row.SubItems << Column(k);
    }
    return row;
}
