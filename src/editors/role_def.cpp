#include "editors/role_def.h"

#include "core/kdforms.h"
#include "core/kdsub_text.h"
#include "editors/privilege_list.h"
#include "platform/db/dbquery.h"

#include <QRegularExpression>

namespace {

QString Q(const QString &s)
{
    return QuoteIdentifier(s);
}

bool Bool(db::Query *q, int i)
{
    const QString t = q->field(i).asString();
    return t == QLatin1String("t") || t == QLatin1String("true") || t == QLatin1String("True");
}

QString RoleSql(int ver)
{
    return QStringLiteral("SELECT rolname, rolinherit, rolcreaterole, rolcreatedb, rolsuper, ")
           + (ver < 90500 ? QStringLiteral("rolcatupdate") : QStringLiteral("NULL"))
           + QStringLiteral(", rolconnlimit, CASE WHEN rolvaliduntil = 'infinity' THEN 'infinity' "
                            "ELSE to_char(rolvaliduntil, 'YYYY-MM-DD HH24:MI:SS') END, ")
           + (ver >= 90100 ? QStringLiteral("rolreplication") : QStringLiteral("NULL")) + QStringLiteral(", ")
           + (ver >= 90500 ? QStringLiteral("rolbypassrls") : QStringLiteral("NULL"))
           + QStringLiteral(", shobj_description(oid, 'pg_authid') FROM pg_roles WHERE rolcanlogin = ")
           + QStringLiteral(":LOGIN::boolean AND rolname = :USERNAME");
}

const char *const kMemberOfSql =
    "SELECT g.rolname, m.admin_option FROM pg_auth_members m JOIN pg_roles g ON g.oid = m.roleid "
    "JOIN pg_roles r ON r.oid = m.member WHERE r.rolname = :USERNAME ORDER BY 1";
const char *const kMembersSql =
    "SELECT r.rolname, m.admin_option FROM pg_auth_members m JOIN pg_roles g ON g.oid = m.roleid "
    "JOIN pg_roles r ON r.oid = m.member WHERE g.rolname = :USERNAME ORDER BY 1";
const char *const kSettingsSql =
    "SELECT c.item FROM pg_db_role_setting s JOIN pg_roles r ON r.oid = s.setrole "
    "CROSS JOIN LATERAL unnest(s.setconfig) WITH ORDINALITY AS c(item, n) "
    "WHERE r.rolname = :USERNAME AND s.setdatabase = 0 ORDER BY c.n";
const char *const kSchemaAclSql =
    "SELECT ns.nspname, ro.rolname, ns.nspacl IS NULL, a.item FROM pg_namespace AS ns "
    "LEFT JOIN pg_roles ro ON ns.nspowner = ro.oid "
    "LEFT JOIN LATERAL unnest(ns.nspacl::text[]) WITH ORDINALITY AS a(item, n) ON true "
    "WHERE (NOT(ns.nspname LIKE 'pg\\_%') OR ns.nspname = 'pg_catalog') ORDER BY 1, a.n";
const char *const kSchemasSql =
    "SELECT nspname FROM pg_namespace WHERE (NOT(nspname LIKE 'pg\\_%') OR nspname = 'pg_catalog') ORDER BY 1";
const char *const kGroupsSql = "SELECT rolname FROM pg_roles WHERE rolcanlogin = False ORDER BY 1";

QStringList Column(TkdConnForm *conn, const char *sql)
{
    QStringList list;
    db::Query *q = conn->OpenSQL(QString::fromLatin1(sql), {});
    while (!q->eof()) {
        list << q->field(0).asString();
        q->next();
    }
    q->close();
    return list;
}

QMap<QString, bool> Memberships(TkdConnForm *conn, const char *sql, const QString &name)
{
    QMap<QString, bool> m;
    db::Query *q = conn->OpenSQL(QString::fromLatin1(sql), {name});
    while (!q->eof()) {
        m[q->field(0).asString()] = Bool(q, 1);
        q->next();
    }
    q->close();
    return m;
}

QString Flag(bool on, const char *word)
{
    return (on ? QString() : QStringLiteral("NO")) + QLatin1String(word);
}

QString ExpiryClause(const QString &validUntil)
{
    return QStringLiteral("VALID UNTIL ") + QuoteLiteral(validUntil.isEmpty() ? QStringLiteral("infinity") : validUntil);
}

void CatupdateLines(QStringList &l, const QString &name, bool on)
{
    l << QStringLiteral("UPDATE pg_authid SET rolcatupdate = ") + (on ? QStringLiteral("TRUE") : QStringLiteral("FALSE"))
             + QStringLiteral(" WHERE rolname = ") + QuoteLiteral(name)
      << QStringLiteral(";");
}

void SettingLines(QStringList &l, const QString &keyword, const QString &name, const QStringList &settings)
{
    for (const QString &s : settings) {
        const int eq = s.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        l << QStringLiteral("ALTER ") + keyword + QLatin1Char(' ') + Q(name) + QStringLiteral(" SET ") + Q(s.left(eq))
                 + QStringLiteral(" TO ") + QuoteLiteral(s.mid(eq + 1))
          << QStringLiteral(";");
    }
}

void Grant(QStringList &l, const QString &what, const QString &to, const QString &option)
{
    l << QStringLiteral("GRANT ") + what + QStringLiteral(" TO ") + to + option << QStringLiteral(";");
}

void Revoke(QStringList &l, const QString &what, const QString &from)
{
    l << QStringLiteral("REVOKE ") + what + QStringLiteral(" FROM ") + from << QStringLiteral(";");
}

// One two-box line (privilege, option) from its snapshot to its state now.
void ChangeLine(QStringList &l, bool savedOn, bool savedOpt, bool on, bool opt, const QString &what, const QString &to,
                const QString &option)
{
    if (savedOn == on && savedOpt == opt)
        return;
    if (on) {
        if (!opt && savedOpt)
            Revoke(l, what, to);
        Grant(l, what, to, opt ? option : QString());
    } else {
        Revoke(l, what, to);
    }
}

QStringList SchemaKeys(const TRoleDef &a, const TRoleDef &b, const QStringList &order)
{
    if (!order.isEmpty())
        return order;
    QStringList keys = a.Schemas.keys();
    for (const QString &k : b.Schemas.keys())
        if (!keys.contains(k))
            keys << k;
    return keys;
}

} // namespace

bool LoadRoleDef(TkdConnForm *Conn, const QString &Name, bool Login, TRoleDef &Def)
{
    const int ver = Conn->DBVer();
    db::Query *q = Conn->OpenSQL(RoleSql(ver), {Login ? QStringLiteral("true") : QStringLiteral("false"), Name});
    if (q->eof()) {
        q->close();
        return false;
    }
    TRoleDef d;
    d.Login = Login;
    d.Inherit = Bool(q, 1);
    d.CreateRole = Bool(q, 2);
    d.CreateDB = Bool(q, 3);
    d.SuperUser = Bool(q, 4);
    d.Catupdate = Bool(q, 5);
    d.ConnLimit = q->field(6).asString();
    d.ValidUntil = q->field(7).asString();
    d.Replication = Bool(q, 8);
    d.BypassRls = Bool(q, 9);
    d.Comment = q->field(10).asString();
    q->close();
    d.MemberOf = Memberships(Conn, kMemberOfSql, Name);
    d.Members = Memberships(Conn, kMembersSql, Name);
    db::Query *s = Conn->OpenSQL(QString::fromLatin1(kSettingsSql), {Name});
    while (!s->eof()) {
        d.Settings << s->field(0).asString();
        s->next();
    }
    s->close();
    db::Query *a = Conn->OpenSQL(QString::fromLatin1(kSchemaAclSql), {});
    while (!a->eof()) {
        const QString schema = a->field(0).asString();
        const QString owner = a->field(1).asString();
        if (Bool(a, 2)) {
            if (owner == Name)
                d.Schemas[schema] = TSchemaGrant{true, false, true, false};
        } else if (!a->field(3).isNull()) {
            // The grantee is compared as a whole name: a role "u" never takes the items of "u2".
            for (const TAclEntry &e : ReadAcl({a->field(3).asString()})) {
                if (e.Grantee != Name)
                    continue;
                TSchemaGrant &g = d.Schemas[schema];
                g.Create |= e.Has(QLatin1Char('C'));
                g.CreateGrant |= e.HasGrantOption(QLatin1Char('C'));
                g.Usage |= e.Has(QLatin1Char('U'));
                g.UsageGrant |= e.HasGrantOption(QLatin1Char('U'));
            }
        }
        a->next();
    }
    a->close();
    Def = d;
    return true;
}

QStringList RoleSchemaOrder(TkdConnForm *Conn)
{
    return Column(Conn, kSchemasSql);
}

QStringList RoleGroupOrder(TkdConnForm *Conn)
{
    return Column(Conn, kGroupsSql);
}

bool IsUnlimitedExpiry(const QString &ValidUntil)
{
    return ValidUntil.isEmpty() || ValidUntil == QLatin1String("infinity")
           || ValidUntil == QLatin1String("9999-12-31 23:59:59");
}

bool NormalizeConnLimit(QString &Text)
{
    const QString t = Text.trimmed();
    if (t == QLatin1String("-")) {
        Text = QStringLiteral("-1");
        return true;
    }
    if (t.isEmpty())
        return true;
    static const QRegularExpression whole(QStringLiteral("^-?[0-9]{1,9}$"));
    if (!whole.match(t).hasMatch())
        return false;
    Text = t;
    return true;
}

QStringList RoleCreateLines(const TRoleDef &Def, const QString &Name, const TRoleText &T)
{
    QStringList l;
    l << QStringLiteral("CREATE ") + T.Keyword + QLatin1Char(' ') + Q(Name);
    l << Flag(Def.SuperUser, "SUPERUSER") << Flag(Def.CreateDB, "CREATEDB") << Flag(Def.CreateRole, "CREATEROLE")
      << Flag(Def.Inherit, "INHERIT");
    if (T.DBVer > 90099)
        l << Flag(Def.Replication, "REPLICATION");
    if (T.DBVer >= 90500 && Def.BypassRls)
        l << QStringLiteral("BYPASSRLS");
    if (!T.PasswordVerifier.isEmpty())
        l << QStringLiteral("PASSWORD ") + QuoteLiteral(T.PasswordVerifier);
    if (!Def.ValidUntil.isEmpty())
        l << ExpiryClause(Def.ValidUntil);
    const QString limit = Def.ConnLimit.trimmed();
    if (!limit.isEmpty() && (Def.Login || limit != QLatin1String("-1")))
        l << QStringLiteral("CONNECTION LIMIT ") + limit;
    l << QStringLiteral(";");
    if (T.DBVer < 90500 && Def.SuperUser && !Def.Catupdate)
        CatupdateLines(l, Name, false);
    if (!Def.Comment.isEmpty())
        l << QStringLiteral("COMMENT ON ROLE ") + Q(Name) + QStringLiteral(" IS ") + QuoteLiteral(Def.Comment)
          << QStringLiteral(";");
    SettingLines(l, T.Keyword, Name, Def.Settings);
    const QStringList groups = T.GroupOrder.isEmpty() ? Def.MemberOf.keys() : T.GroupOrder;
    for (const QString &g : groups)
        if (Def.MemberOf.contains(g))
            Grant(l, Q(g), Q(Name), Def.MemberOf.value(g) ? QStringLiteral(" WITH ADMIN OPTION") : QString());
    // Memberships in roles the list does not offer (login roles) are kept as well.
    for (auto it = Def.MemberOf.cbegin(); it != Def.MemberOf.cend(); ++it)
        if (!groups.contains(it.key()))
            Grant(l, Q(it.key()), Q(Name), it.value() ? QStringLiteral(" WITH ADMIN OPTION") : QString());
    for (auto it = Def.Members.cbegin(); it != Def.Members.cend(); ++it)
        Grant(l, Q(Name), Q(it.key()), it.value() ? QStringLiteral(" WITH ADMIN OPTION") : QString());
    const QString option = QStringLiteral(" WITH GRANT OPTION");
    for (const QString &s : SchemaKeys(Def, Def, T.SchemaOrder)) {
        const TSchemaGrant g = Def.Schemas.value(s);
        if (g.Create)
            Grant(l, QStringLiteral("CREATE ON SCHEMA ") + Q(s), Q(Name), g.CreateGrant ? option : QString());
        if (g.Usage)
            Grant(l, QStringLiteral("USAGE ON SCHEMA ") + Q(s), Q(Name), g.UsageGrant ? option : QString());
    }
    return l;
}

QStringList RoleAlterLines(const TRoleDef &Saved, const TRoleDef &Now, const QString &Name, const TRoleText &T)
{
    QStringList clauses;
    if (Saved.SuperUser != Now.SuperUser)
        clauses << Flag(Now.SuperUser, "SUPERUSER");
    if (Saved.CreateDB != Now.CreateDB)
        clauses << Flag(Now.CreateDB, "CREATEDB");
    if (Saved.CreateRole != Now.CreateRole)
        clauses << Flag(Now.CreateRole, "CREATEROLE");
    if (Saved.Inherit != Now.Inherit)
        clauses << Flag(Now.Inherit, "INHERIT");
    if (T.DBVer > 90099 && Saved.Replication != Now.Replication)
        clauses << Flag(Now.Replication, "REPLICATION");
    if (T.PasswordChanged && !T.PasswordVerifier.isEmpty())
        clauses << QStringLiteral("PASSWORD ") + QuoteLiteral(T.PasswordVerifier);
    if (T.ExpiryChanged)
        clauses << ExpiryClause(Now.ValidUntil);
    if (T.ConnLimitChanged)
        clauses << QStringLiteral("CONNECTION LIMIT ")
                       + (Now.ConnLimit.trimmed().isEmpty() ? QStringLiteral("-1") : Now.ConnLimit.trimmed());
    QStringList l;
    if (!clauses.isEmpty())
        l << QStringLiteral("ALTER ") + T.Keyword + QLatin1Char(' ') + Q(Name) << clauses << QStringLiteral(";");
    if (T.DBVer < 90500) {
        if (Saved.SuperUser != Now.SuperUser) {
            if (Now.SuperUser && !Now.Catupdate)
                CatupdateLines(l, Name, false);
        } else if (Saved.Catupdate != Now.Catupdate) {
            CatupdateLines(l, Name, Now.Catupdate);
        }
    }
    QStringList groups = T.GroupOrder;
    for (const QString &g : Saved.MemberOf.keys() + Now.MemberOf.keys())
        if (!groups.contains(g))
            groups << g;
    for (const QString &g : groups)
        ChangeLine(l, Saved.MemberOf.contains(g), Saved.MemberOf.value(g), Now.MemberOf.contains(g), Now.MemberOf.value(g),
                   Q(g), Q(Name), QStringLiteral(" WITH ADMIN OPTION"));
    for (const QString &s : SchemaKeys(Saved, Now, T.SchemaOrder)) {
        const TSchemaGrant a = Saved.Schemas.value(s), b = Now.Schemas.value(s);
        ChangeLine(l, a.Create, a.CreateGrant, b.Create, b.CreateGrant, QStringLiteral("CREATE ON SCHEMA ") + Q(s), Q(Name),
                   QStringLiteral(" WITH GRANT OPTION"));
        ChangeLine(l, a.Usage, a.UsageGrant, b.Usage, b.UsageGrant, QStringLiteral("USAGE ON SCHEMA ") + Q(s), Q(Name),
                   QStringLiteral(" WITH GRANT OPTION"));
    }
    return l;
}

QStringList RoleDropLines(const QString &Name, const TRoleText &T)
{
    return {RoleDropStatement(Name, T.Keyword), QStringLiteral(";")};
}

QString RoleDropStatement(const QString &Name, const QString &Keyword)
{
    return QStringLiteral("DROP ") + Keyword + QLatin1Char(' ') + Q(Name);
}

namespace {

bool IsVerifier(const QString &v)
{
    static const QRegularExpression md5(QStringLiteral("^md5[0-9a-f]{32}$"));
    return v.startsWith(QLatin1String("SCRAM-SHA-256$")) || md5.match(v).hasMatch();
}

bool WordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

// Index after a quoted run starting at i (quote char q, doubled quotes inside).
int SkipQuoted(const QString &s, int i, QChar q)
{
    ++i;
    while (i < s.size()) {
        if (s[i] == q) {
            if (i + 1 < s.size() && s[i + 1] == q) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return i;
}

} // namespace

QString EncryptPasswordLiterals(const QString &Source, const std::function<QString(const QString &)> &Encrypt)
{
    QString out;
    const QString &s = Source;
    int i = 0;
    bool afterPassword = false;
    static const QRegularExpression dollarTag(QStringLiteral("^\\$([A-Za-z_][A-Za-z0-9_]*)?\\$"));
    while (i < s.size()) {
        const QChar c = s[i];
        if (c == QLatin1Char('-') && i + 1 < s.size() && s[i + 1] == QLatin1Char('-')) {
            int e = s.indexOf(QLatin1Char('\n'), i);
            e = e < 0 ? s.size() : e;
            out += s.mid(i, e - i);
            i = e;
            continue;
        }
        if (c == QLatin1Char('/') && i + 1 < s.size() && s[i + 1] == QLatin1Char('*')) {
            int e = s.indexOf(QStringLiteral("*/"), i + 2);
            e = e < 0 ? s.size() : e + 2;
            out += s.mid(i, e - i);
            i = e;
            continue;
        }
        if (c == QLatin1Char('"')) {
            const int e = SkipQuoted(s, i, c);
            out += s.mid(i, e - i);
            i = e;
            afterPassword = false;
            continue;
        }
        if (c == QLatin1Char('$') && (i == 0 || !WordChar(s[i - 1]))) {
            const QRegularExpressionMatch m = dollarTag.match(QStringView(s).mid(i));
            if (m.hasMatch()) {
                const QString tag = m.captured(0);
                int e = s.indexOf(tag, i + tag.size());
                e = e < 0 ? s.size() : e + tag.size();
                out += s.mid(i, e - i);
                i = e;
                afterPassword = false;
                continue;
            }
        }
        if (c == QLatin1Char('\'')) {
            const int e = SkipQuoted(s, i, c);
            const QString literal = s.mid(i, e - i);
            if (afterPassword && literal.size() >= 2 && literal.endsWith(QLatin1Char('\''))) {
                const QString value = literal.mid(1, literal.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
                out += IsVerifier(value) ? literal : QuoteLiteral(Encrypt(value));
            } else {
                out += literal;
            }
            i = e;
            afterPassword = false;
            continue;
        }
        if (WordChar(c)) {
            int e = i;
            while (e < s.size() && WordChar(s[e]))
                ++e;
            const QString word = s.mid(i, e - i);
            afterPassword = word.compare(QLatin1String("PASSWORD"), Qt::CaseInsensitive) == 0
                            && (i == 0 || !WordChar(s[i - 1]));
            out += word;
            i = e;
            continue;
        }
        if (!c.isSpace())
            afterPassword = false;
        out += c;
        ++i;
    }
    return out;
}

bool HasBarePasswordLine(const QString &Source)
{
    for (const QString &line : Source.split(QLatin1Char('\n'))) {
        if (!line.contains(QLatin1String("PASSWORD")))
            continue;
        if (QString(line).remove(QStringLiteral("PASSWORD")).trimmed().remove(QLatin1Char(';')).trimmed().isEmpty())
            return true;
    }
    return false;
}
