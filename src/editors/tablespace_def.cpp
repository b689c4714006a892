#include "editors/tablespace_def.h"

#include "core/kdforms.h"
#include "core/kdsub_text.h"
#include "platform/db/dbquery.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>

namespace {

const char *const kDefinitionSql =
    "SELECT pg_get_userbyid(t.spcowner) AS rolname, %1 AS spclocation, t.spcacl IS NULL AS aclnull "
    "FROM pg_tablespace t WHERE t.spcname = :spcname";
const char *const kAclSql =
    "SELECT a.item FROM pg_tablespace t "
    "CROSS JOIN LATERAL unnest(t.spcacl::text[]) WITH ORDINALITY AS a(item, n) "
    "WHERE t.spcname = :spcname ORDER BY a.n";
const char *const kOptionsSql =
    "SELECT o.item FROM pg_tablespace t "
    "CROSS JOIN LATERAL unnest(t.spcoptions) WITH ORDINALITY AS o(item, n) "
    "WHERE t.spcname = :spcname ORDER BY o.n";

QString Grantee(const QString &Name)
{
    return Name == QLatin1String("public") ? QStringLiteral("PUBLIC") : QuoteIdentifier(Name);
}

QString OnTablespace(const QString &Name)
{
    return QStringLiteral(" ON TABLESPACE ") + QuoteIdentifier(Name);
}

QStringList Column(db::Query *q)
{
    QStringList list;
    while (!q->eof()) {
        list << q->field(0).asString();
        q->next();
    }
    q->close();
    return list;
}

} // namespace

const QStringList &TablespaceGridOptions()
{
    static const QStringList names{QStringLiteral("random_page_cost"), QStringLiteral("seq_page_cost")};
    return names;
}

QString TTablespaceDef::Option(const QString &OptionName) const
{
    for (const QString &o : Options)
        if (o.section(u'=', 0, 0).trimmed() == OptionName)
            return o.section(u'=', 1).trimmed();
    return QString();
}

bool LoadTablespaceDef(TkdConnForm *Conn, const QString &Name, TTablespaceDef &Def)
{
    const QString location = Conn->DBVer() >= 90200 ? QStringLiteral("pg_tablespace_location(t.oid)")
                                                    : QStringLiteral("t.spclocation");
    db::Query *q = Conn->OpenSQL(QString::fromLatin1(kDefinitionSql).arg(location), {Name});
    if (q->eof()) {
        q->close();
        return false;
    }
    TTablespaceDef d;
    d.Name = Name;
    d.Owner = q->field(0).asString();
    d.Location = q->field(1).asString();
    d.AclNull = q->field(2).asBoolean();
    q->close();
    d.Acl = ReadAcl(Column(Conn->OpenSQL(QString::fromLatin1(kAclSql), {Name})));
    d.Options = Column(Conn->OpenSQL(QString::fromLatin1(kOptionsSql), {Name}));
    Def = d;
    return true;
}

bool IsTablespaceOptionValue(const QString &Value)
{
    const QString v = Value.trimmed();
    if (v.isEmpty())
        return true;
    // A plain decimal number as the server reads it: digits, one point, an exponent.
    static const QRegularExpression number(QStringLiteral("^[+]?([0-9]+(\\.[0-9]*)?|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    return number.match(v).hasMatch();
}

QStringList TablespaceCreateLines(const QString &Name, const QString &Owner, const QString &Location)
{
    QStringList l;
    l << QStringLiteral("CREATE TABLESPACE ") + QuoteIdentifier(Name);
    if (!Owner.isEmpty())
        l << QStringLiteral("  OWNER ") + QuoteIdentifier(Owner);
    l << QStringLiteral("  LOCATION ") + QuoteLiteral(Location) << QStringLiteral(";");
    return l;
}

QStringList TablespaceSetLines(const QString &Name, const QList<TTablespaceOptionRow> &Rows)
{
    QStringList set;
    for (const TTablespaceOptionRow &r : Rows)
        if (!r.second.trimmed().isEmpty())
            set << r.first + QStringLiteral(" = ") + r.second.trimmed();
    if (set.isEmpty())
        return {};
    return {QStringLiteral("ALTER TABLESPACE ") + QuoteIdentifier(Name),
            QStringLiteral(" SET (") + set.join(QStringLiteral(" , ")) + QLatin1Char(')'), QStringLiteral(";")};
}

QStringList TablespaceOptionLines(const QString &Name, const QList<TTablespaceOptionRow> &Rows)
{
    QStringList l = TablespaceSetLines(Name, Rows);
    QStringList reset;
    for (const TTablespaceOptionRow &r : Rows)
        if (r.second.trimmed().isEmpty())
            reset << r.first;
    if (!reset.isEmpty())
        l << QStringLiteral("ALTER TABLESPACE ") + QuoteIdentifier(Name)
          << QStringLiteral(" RESET (") + reset.join(QStringLiteral(" , ")) + QLatin1Char(')') << QStringLiteral(";");
    return l;
}

QStringList TablespaceOwnerLines(const QString &Name, const QString &Owner)
{
    return {QStringLiteral("ALTER TABLESPACE ") + QuoteIdentifier(Name),
            QStringLiteral(" OWNER TO ") + QuoteIdentifier(Owner), QStringLiteral(";")};
}

QStringList TablespaceGrantLines(const QString &Name, const QString &GranteeName, bool Held, bool GrantOption,
                                 bool HadGrantOption, bool CreateMode)
{
    QStringList l;
    const QString on = OnTablespace(Name);
    if (!Held) {
        if (!CreateMode)
            l << QStringLiteral("REVOKE CREATE") + on + QStringLiteral(" FROM ") + Grantee(GranteeName)
              << QStringLiteral(";");
        return l;
    }
    if (!CreateMode && !GrantOption && HadGrantOption)
        l << QStringLiteral("REVOKE CREATE") + on + QStringLiteral(" FROM ") + Grantee(GranteeName) << QStringLiteral(";");
    // PUBLIC cannot hold a grant option.
    const bool withOption = GrantOption && GranteeName != QLatin1String("public");
    l << QStringLiteral("GRANT CREATE") + on + QStringLiteral(" TO ") + Grantee(GranteeName)
             + (withOption ? QStringLiteral(" WITH GRANT OPTION") : QString())
      << QStringLiteral(";");
    return l;
}

QStringList TablespaceAclLines(const QString &Name, const QString &Owner, bool AclNull, const QList<TAclEntry> &Acl)
{
    if (AclNull)
        return {};
    QStringList l;
    bool ownerHolds = false;
    QStringList done;
    for (const TAclEntry &e : Acl) {
        if (!e.Has(u'C'))
            continue;
        if (e.Grantee == Owner) {
            ownerHolds = true;
            continue; // the owner of the new tablespace holds CREATE already
        }
        if (done.contains(e.Grantee))
            continue;
        done << e.Grantee;
        // Items of one grantee from several grantors add up.
        bool option = false;
        for (const TAclEntry &o : Acl)
            if (o.Grantee == e.Grantee && o.HasGrantOption(u'C'))
                option = true;
        l << TablespaceGrantLines(Name, e.Grantee, true, option, false, true);
    }
    if (!ownerHolds && !Owner.isEmpty())
        l << QStringLiteral("REVOKE CREATE") + OnTablespace(Name) + QStringLiteral(" FROM ") + Grantee(Owner)
          << QStringLiteral(";");
    return l;
}

QStringList TablespaceDropLines(const QString &Name)
{
    return {QStringLiteral("DROP TABLESPACE ") + QuoteIdentifier(Name), QStringLiteral(";")};
}

QStringList TablespaceScriptLines(const TTablespaceDef &Def)
{
    QStringList l = TablespaceCreateLines(Def.Name, Def.Owner, Def.Location);
    QList<TTablespaceOptionRow> rows;
    for (const QString &o : Def.Options)
        rows << TTablespaceOptionRow{o.section(u'=', 0, 0).trimmed(), o.section(u'=', 1).trimmed()};
    l << TablespaceSetLines(Def.Name, rows);
    l << TablespaceAclLines(Def.Name, Def.Owner, Def.AclNull, Def.Acl);
    return l;
}

QStringList TablespaceMoveLines(const QString &Name, const QString &TempName, const QString &Owner,
                                const QString &Location, const QStringList &SetLines, const QStringList &AclLines)
{
    QStringList l = TablespaceCreateLines(TempName, Owner, Location);
    l << SetLines << AclLines;
    l << TablespaceDropLines(Name);
    l << QStringLiteral("ALTER TABLESPACE ") + QuoteIdentifier(TempName)
      << QStringLiteral(" RENAME TO ") + QuoteIdentifier(Name) << QStringLiteral(";");
    return l;
}

QString TablespaceTempName()
{
    return QStringLiteral("vantor_move_") + QString::number(QDateTime::currentMSecsSinceEpoch(), 36);
}

QString TablespaceSizeSQL()
{
    return QStringLiteral("SELECT pg_tablespace_size(t.oid) AS all_db_size FROM pg_tablespace t "
                          "WHERE t.spcname = :TBS_NAME");
}

QString TablespaceContentsSQL()
{
    return QStringLiteral(
        "SELECT x.* FROM ("
        " SELECT coalesce(t.spcname, (SELECT dt.spcname FROM pg_database d"
        "   LEFT OUTER JOIN pg_tablespace dt ON dt.oid = d.dattablespace WHERE d.datname = :DB_NAME)) AS tblsp_name,"
        "  c.relname,"
        "  CASE c.relkind WHEN 'r' THEN 'TABLE' WHEN 't' THEN 'TABLE' WHEN 'f' THEN 'TABLE'"
        "   WHEN 'i' THEN 'INDEX' WHEN 'S' THEN 'SEQUENCE' WHEN 'v' THEN 'VIEW' WHEN 'c' THEN 'TYPE'"
        "   ELSE c.relkind::text END AS type_name,"
        "  n.nspname, a.rolname,"
        "  c.relpages::bigint * current_setting('block_size')::bigint AS use_size"
        " FROM pg_class c"
        " LEFT OUTER JOIN pg_namespace n ON n.oid = c.relnamespace"
        " LEFT OUTER JOIN pg_roles a ON a.oid = c.relowner"
        " LEFT OUTER JOIN pg_tablespace t ON t.oid = c.reltablespace"
        ") x WHERE x.tblsp_name = :TBL_SPACE");
}

QString TablespaceSuperUserSQL()
{
    return QStringLiteral("SELECT usesuper FROM pg_user WHERE usename = :USER_NAME");
}

QString StoredObjectDropSQL(const QString &TypeName, const QString &Schema, const QString &Name, bool Cascade)
{
    QString head;
    if (TypeName == QLatin1String("TABLE"))
        head = QStringLiteral("DROP TABLE IF EXISTS ");
    else if (TypeName == QLatin1String("INDEX"))
        head = QStringLiteral("DROP INDEX IF EXISTS ");
    else if (TypeName == QLatin1String("SEQUENCE"))
        head = QStringLiteral("DROP SEQUENCE IF EXISTS ");
    else
        return QString();
    return head + QuoteIdentifier(Schema) + QLatin1Char('.') + QuoteIdentifier(Name)
           + (Cascade ? QStringLiteral(" CASCADE") : QString());
}

QString KiloBytesText(qint64 KiloBytes)
{
    QLocale c(QLocale::C);
    c.setNumberOptions(QLocale::DefaultNumberOptions);
    return c.toString(KiloBytes);
}
