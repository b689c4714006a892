// Privilege scripts against the sandbox server: the statements for the documented cases,
// the schema prefix option, an empty list, a grantor other than the owner, procedures,
// RETURNS TABLE functions, partitioned tables, the role mode (a quoted role name included),
// and each script re-applied to bare objects giving the same access lists.
#include "app/fmain.h"
#include "browser/fobject.h"
#include "browser/grantscript.h"
#include "core/kdeditorreg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_text.h"
#include "support/qstring_printer.h"
#include "support/testdb.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {

void Flush()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

class GrantTest : public testdb::SchemaTest
{
protected:
    void SetUp() override
    {
        testdb::SchemaTest::SetUp();
        SetLogonProc({});
        Main = new TfrmMain;
        Main->SetCloseSteps({});
        TkdOption::Global().UpdateToCommit = true;
        TkdOption::Global().CharacterSet = QStringLiteral("UTF8");
        TkdOption::Global().UseLowerName = false;
        TScriptOption::Global().Owner = 0;
        Main->show();
        Flush();
        Owner = scalar(QStringLiteral("SELECT current_user"));
    }
    void TearDown() override
    {
        Main->SetCloseSteps({});
        Main->close();
        delete Main;
        Flush();
        for (const QString &r : Roles)
            exec(QStringLiteral("DROP OWNED BY %1; DROP ROLE %1").arg(QuoteIdentifier(r)));
        TScriptOption::Global().Owner = 0;
        TkdOption::Global().UpdateToCommit = false;
        testdb::SchemaTest::TearDown();
    }
    TfrmObject *Open(const QString &database = QString(), const QString &login = QString())
    {
        const testdb::Params &p = testdb::params();
        return TfrmObject::Create({p.host, p.port, database.isEmpty() ? p.database : database,
                                   login.isEmpty() ? schema() : login, p.user, p.password});
    }
    QStringList Grant(TfrmObject *f, const QString &s, const QString &name, const QString &cls, const QString &oid = {})
    {
        TScriptSink sink;
        f->OutputGrant(s, name, sink, 1, cls, oid);
        return sink.Lines();
    }
    QStringList RoleGrant(TfrmObject *f, const QString &role)
    {
        TScriptSink sink;
        f->OutputGrant(role, QStringLiteral("%"), sink, 2, QString(), QString());
        return sink.Lines();
    }
    QString Role(const QString &prefix)
    {
        const QString r = testdb::uniqueName(prefix);
        exec(QStringLiteral("CREATE ROLE %1").arg(QuoteIdentifier(r)));
        Roles << r;
        return r;
    }
    // The access list as grantee/privilege/grantable, grantor left out, defaults filled in.
    QString Acl(const QString &catalog, const QString &column, const QString &kind, const QString &owner,
                const QString &where)
    {
        return scalar(QStringLiteral(
            "SELECT string_agg(format('%s/%s/%s', coalesce(r.rolname, 'PUBLIC'), a.privilege_type, a.is_grantable), ',' "
            "ORDER BY 1) FROM %1 o, aclexplode(coalesce(o.%2, acldefault('%3', o.%4))) a "
            "LEFT JOIN pg_roles r ON r.oid = a.grantee WHERE %5").arg(catalog, column, kind, owner, where));
    }
    QString G(const QString &priv, const QString &on, const QString &to, bool option = false)
    {
        return QStringLiteral("GRANT %1 ON %2 TO %3%4").arg(priv, on, QuoteIdentifier(to),
                                                               option ? QStringLiteral(" WITH GRANT OPTION") : QString());
    }

    TfrmMain *Main = nullptr;
    QString Owner;
    QStringList Roles;
};

QStringList Statements(const QStringList &lines)
{
    QStringList out;
    for (const QString &l : lines)
        if (l != QLatin1String(";"))
            out << l;
    return out;
}

} // namespace

TEST_F(GrantTest, DefaultListsGiveTheOwnersStatements)
{
    exec(QStringLiteral("CREATE TABLE %1.t (x int)").arg(schema()));
    exec(QStringLiteral("CREATE FUNCTION %1.f(a integer, OUT b text) RETURNS text LANGUAGE sql AS 'SELECT ''x'''").arg(schema()));
    exec(QStringLiteral("CREATE SEQUENCE %1.sq").arg(schema()));
    exec(QStringLiteral("CREATE TYPE %1.ty AS ENUM ('a')").arg(schema()));
    TfrmObject *f = Open();
    const QString t = QuoteIdentifier(schema()) + QStringLiteral(".") + QuoteIdentifier(QStringLiteral("t"));
    const QStringList lines = Grant(f, schema(), QStringLiteral("t"), QStringLiteral("TABLE"));
    QStringList expected;
    for (const char *p : {"DELETE", "INSERT", "REFERENCES", "SELECT", "TRIGGER", "TRUNCATE", "UPDATE"})
        expected << G(QLatin1String(p), QStringLiteral("TABLE ") + t, Owner) << QStringLiteral(";");
    EXPECT_EQ(lines, expected);

    const QString oid = scalar(QStringLiteral("SELECT '%1.f'::regproc::oid").arg(schema()));
    const QString fn = QStringLiteral("FUNCTION ") + QuoteIdentifier(schema()) + QStringLiteral(".") + QuoteIdentifier(QStringLiteral("f")) + QStringLiteral("(int4)");
    EXPECT_EQ(Statements(Grant(f, schema(), QStringLiteral("f"), QStringLiteral("FUNCTION"), oid)),
              (QStringList{G("EXECUTE", fn, "public"), G("EXECUTE", fn, Owner)}));
    const QString sq = QStringLiteral("SEQUENCE ") + QuoteIdentifier(schema()) + QStringLiteral(".") + QuoteIdentifier(QStringLiteral("sq"));
    EXPECT_EQ(Statements(Grant(f, schema(), QStringLiteral("sq"), QStringLiteral("SEQUENCE"))),
              (QStringList{G("SELECT", sq, Owner), G("UPDATE", sq, Owner), G("USAGE", sq, Owner)}));
    const QString ty = QStringLiteral("TYPE ") + QuoteIdentifier(schema()) + QStringLiteral(".") + QuoteIdentifier(QStringLiteral("ty"));
    EXPECT_EQ(Statements(Grant(f, schema(), QStringLiteral("ty"), QStringLiteral("TYPE"))),
              (QStringList{G("USAGE", ty, "public"), G("USAGE", ty, Owner)}));
    // Unsupported kinds, missing objects and a bad OID text.
    EXPECT_TRUE(Grant(f, schema(), QStringLiteral("t"), QStringLiteral("INDEX")).isEmpty());
    EXPECT_TRUE(Grant(f, schema(), QStringLiteral("nosuch"), QStringLiteral("TABLE")).isEmpty());
    EXPECT_TRUE(Grant(f, schema(), QStringLiteral("f"), QStringLiteral("FUNCTION"), QStringLiteral("1")).isEmpty());
    EXPECT_THROW(Grant(f, schema(), QStringLiteral("f"), QStringLiteral("FUNCTION"), QStringLiteral("x1")), std::exception);
}

TEST_F(GrantTest, EntriesGivePrivilegesGrantOptionAndPublic)
{
    const QString r = Role(QStringLiteral("g_r"));
    exec(QStringLiteral("CREATE TABLE %1.t (x int)").arg(schema()));
    exec(QStringLiteral("REVOKE ALL ON %1.t FROM %2").arg(schema(), QuoteIdentifier(Owner)));
    exec(QStringLiteral("GRANT SELECT, UPDATE ON %1.t TO PUBLIC").arg(schema()));
    exec(QStringLiteral("GRANT SELECT ON %1.t TO %2 WITH GRANT OPTION").arg(schema(), QuoteIdentifier(r)));
    exec(QStringLiteral("GRANT UPDATE ON %1.t TO %2").arg(schema(), QuoteIdentifier(r)));
    TfrmObject *f = Open();
    const QString t = QStringLiteral("TABLE ") + QuoteIdentifier(schema()) + QStringLiteral(".") + QuoteIdentifier(QStringLiteral("t"));
    const QStringList got = Statements(Grant(f, schema(), QStringLiteral("t"), QStringLiteral("TABLE")));
    EXPECT_TRUE(got.contains(G("SELECT", t, "public")));
    EXPECT_TRUE(got.contains(G("UPDATE", t, "public")));
    EXPECT_TRUE(got.contains(G("SELECT", t, r, true)));
    EXPECT_TRUE(got.contains(G("UPDATE", t, r, false)));
    EXPECT_EQ(got.size(), 4);
    // An empty list ("{}") gives nothing at all.
    exec(QStringLiteral("REVOKE ALL ON %1.t FROM PUBLIC, %2").arg(schema(), QuoteIdentifier(r)));
    EXPECT_EQ(scalar(QStringLiteral("SELECT relacl::text FROM pg_class WHERE oid = '%1.t'::regclass").arg(schema())), QStringLiteral("{}"));
    EXPECT_TRUE(Grant(f, schema(), QStringLiteral("t"), QStringLiteral("TABLE")).isEmpty());
}

TEST_F(GrantTest, SchemaPrefixFollowsTheOwnerOption)
{
    exec(QStringLiteral("CREATE TABLE %1.t (x int)").arg(schema()));
    TfrmObject *f = Open(); // the test schema is the current one
    struct Case { int owner; bool prefixed; };
    for (const Case &c : {Case{0, true}, Case{1, false}, Case{2, false}}) {
        TScriptOption::Global().Owner = c.owner;
        const QString first = Grant(f, schema(), QStringLiteral("t"), QStringLiteral("TABLE")).value(0);
        EXPECT_EQ(first.contains(QuoteIdentifier(schema()) + QStringLiteral(".")), c.prefixed) << c.owner;
    }
    TScriptOption::Global().Owner = 1;
    TfrmObject *other = Open(QString(), QStringLiteral("public"));
    EXPECT_TRUE(Grant(other, schema(), QStringLiteral("t"), QStringLiteral("TABLE")).value(0).contains(QuoteIdentifier(schema()) + "."));
}

TEST_F(GrantTest, SampleObjectsProcedureAndGrantorOtherThanOwner)
{
    const testdb::Params &p = testdb::params();
    TfrmObject *f = Open(p.sampleDatabase, QStringLiteral("sales"));
    // sample_clerk received SELECT from sample_manager, not from the owner.
    const QStringList customers = Statements(Grant(f, QStringLiteral("sales"), QStringLiteral("customers"), QStringLiteral("TABLE")));
    EXPECT_TRUE(customers.contains(QStringLiteral("GRANT SELECT ON TABLE sales.customers TO sample_clerk"))) << customers.join("\n").toStdString();
    EXPECT_TRUE(customers.contains(QStringLiteral("GRANT SELECT ON TABLE sales.customers TO sample_manager WITH GRANT OPTION")));
    // A procedure is granted ON PROCEDURE, by its identity signature.
    const QString oid = testdb::scalar(testdb::connect(p.sampleDatabase).get(),
                                       QStringLiteral("SELECT 'sales.cancel_order'::regproc::oid"));
    const QStringList proc = Statements(Grant(f, QStringLiteral("sales"), QStringLiteral("cancel_order"), QStringLiteral("FUNCTION"), oid));
    ASSERT_FALSE(proc.isEmpty());
    for (const QString &s : proc)
        EXPECT_TRUE(s.startsWith(QStringLiteral("GRANT EXECUTE ON PROCEDURE sales.cancel_order(int8,text) TO "))) << s.toStdString();
    EXPECT_TRUE(proc.contains(QStringLiteral("GRANT EXECUTE ON PROCEDURE sales.cancel_order(int8,text) TO sample_manager")))
        << proc.join("\n").toStdString();
}

TEST_F(GrantTest, RoleModeListsWhatTheRoleHolds)
{
    const testdb::Params &p = testdb::params();
    TfrmObject *f = Open(p.sampleDatabase, QStringLiteral("sales"));
    const QStringList manager = Statements(RoleGrant(f, QStringLiteral("sample_manager")));
    EXPECT_TRUE(manager.contains(QStringLiteral("GRANT SELECT ON TABLE sales.customers TO sample_manager WITH GRANT OPTION")));
    for (const QString &s : manager)
        EXPECT_TRUE(s.endsWith(QStringLiteral(" TO sample_manager")) || s.endsWith(QStringLiteral(" TO sample_manager WITH GRANT OPTION")))
            << s.toStdString();
    // The clerk is only a grantee; the manager's grants as grantor do not appear for it.
    const QStringList clerk = Statements(RoleGrant(f, QStringLiteral("sample_clerk")));
    EXPECT_TRUE(clerk.contains(QStringLiteral("GRANT SELECT ON TABLE sales.customers TO sample_clerk")));
    for (const QString &s : clerk)
        EXPECT_TRUE(s.contains(QStringLiteral(" TO sample_clerk"))) << s.toStdString();
}

TEST_F(GrantTest, RoleModeFindsAQuotedRoleAndItsOwnObjects)
{
    const QString r = Role(QStringLiteral("q\"role"));
    exec(QStringLiteral("CREATE TABLE %1.t (x int)").arg(schema()));
    exec(QStringLiteral("CREATE TABLE %1.own (x int)").arg(schema()));
    exec(QStringLiteral("ALTER TABLE %1.own OWNER TO %2").arg(schema(), QuoteIdentifier(r)));
    exec(QStringLiteral("GRANT INSERT ON %1.t TO %2").arg(schema(), QuoteIdentifier(r)));
    TfrmObject *f = Open();
    const QStringList got = Statements(RoleGrant(f, r));
    const QString t = QStringLiteral("TABLE ") + QuoteIdentifier(schema()) + QStringLiteral(".") + QuoteIdentifier(QStringLiteral("t"));
    const QString own = QStringLiteral("TABLE ") + QuoteIdentifier(schema()) + QStringLiteral(".") + QuoteIdentifier(QStringLiteral("own"));
    EXPECT_TRUE(got.contains(G("INSERT", t, r))) << got.join("\n").toStdString();
    // The role owns "own" with the default list: the owner's lines, no PUBLIC line.
    EXPECT_TRUE(got.contains(G("SELECT", own, r)));
    for (const QString &s : got)
        EXPECT_FALSE(s.endsWith(QStringLiteral(" TO public"))) << s.toStdString();
}

TEST_F(GrantTest, ScriptsReappliedToBareObjectsGiveTheSameLists)
{
    const QString r = Role(QStringLiteral("g_a"));
    const QString q = Role(QStringLiteral("g \"b\""));
    const QString s = schema();
    const QStringList ddl = {
        QStringLiteral("CREATE TABLE %1.t (x int)").arg(s),
        QStringLiteral("CREATE TABLE %1.pt (x int) PARTITION BY RANGE (x)").arg(s),
        QStringLiteral("CREATE VIEW %1.\"v 表\" AS SELECT 1 AS c").arg(s),
        QStringLiteral("CREATE SEQUENCE %1.sq").arg(s),
        QStringLiteral("CREATE FUNCTION %1.tf(a int) RETURNS TABLE (b int, c text) LANGUAGE sql AS 'SELECT 1, ''x'''").arg(s),
        QStringLiteral("CREATE PROCEDURE %1.pr(IN a int, INOUT b int) LANGUAGE sql AS 'SELECT 1'").arg(s),
        QStringLiteral("CREATE TYPE %1.en AS ENUM ('a')").arg(s),
    };
    const QStringList grants = {
        QStringLiteral("GRANT SELECT, INSERT ON %1.t TO %2 WITH GRANT OPTION").arg(s, QuoteIdentifier(r)),
        QStringLiteral("GRANT DELETE ON %1.t TO %2").arg(s, QuoteIdentifier(q)),
        QStringLiteral("GRANT SELECT ON %1.pt TO PUBLIC").arg(s),
        QStringLiteral("GRANT UPDATE ON %1.\"v 表\" TO %2").arg(s, QuoteIdentifier(q)),
        QStringLiteral("GRANT USAGE ON SEQUENCE %1.sq TO %2").arg(s, QuoteIdentifier(r)),
        QStringLiteral("REVOKE EXECUTE ON FUNCTION %1.tf(int) FROM PUBLIC").arg(s),
        QStringLiteral("GRANT EXECUTE ON FUNCTION %1.tf(int) TO %2").arg(s, QuoteIdentifier(q)),
        QStringLiteral("GRANT EXECUTE ON PROCEDURE %1.pr(int, int) TO %2 WITH GRANT OPTION").arg(s, QuoteIdentifier(r)),
        QStringLiteral("REVOKE USAGE ON TYPE %1.en FROM PUBLIC").arg(s),
        QStringLiteral("GRANT USAGE ON TYPE %1.en TO %2").arg(s, QuoteIdentifier(q)),
    };
    for (const QString &d : ddl + grants)
        exec(d);
    struct Obj { QString name, cls, catalog, column, kind, owner, where; };
    const QString ns = QStringLiteral("(SELECT oid FROM pg_namespace WHERE nspname = '%1')").arg(s);
    const QList<Obj> objects = {
        {"t", "TABLE", "pg_class", "relacl", "r", "relowner", "relname = 't' AND relnamespace = " + ns},
        {"pt", "TABLE", "pg_class", "relacl", "r", "relowner", "relname = 'pt' AND relnamespace = " + ns},
        {"v 表", "VIEW", "pg_class", "relacl", "r", "relowner", "relname = 'v 表' AND relnamespace = " + ns},
        {"sq", "SEQUENCE", "pg_class", "relacl", "s", "relowner", "relname = 'sq' AND relnamespace = " + ns},
        {"tf", "FUNCTION", "pg_proc", "proacl", "f", "proowner", "proname = 'tf' AND pronamespace = " + ns},
        {"pr", "FUNCTION", "pg_proc", "proacl", "f", "proowner", "proname = 'pr' AND pronamespace = " + ns},
        {"en", "TYPE", "pg_type", "typacl", "T", "typowner", "typname = 'en' AND typnamespace = " + ns},
    };
    TfrmObject *f = Open();
    QStringList before, script;
    for (const Obj &o : objects) {
        before << Acl(o.catalog, o.column, o.kind, o.owner, o.where);
        QString oid;
        if (o.catalog == QLatin1String("pg_proc"))
            oid = scalar(QStringLiteral("SELECT oid FROM pg_proc WHERE ") + o.where);
        const QStringList lines = Grant(f, s, o.name, o.cls, oid);
        EXPECT_FALSE(lines.isEmpty()) << o.name.toStdString();
        script += lines;
    }
    f->close();
    Flush();
    // Bare objects: the same definitions, every privilege revoked, then the script.
    exec(QStringLiteral("DROP SCHEMA %1 CASCADE").arg(s));
    exec(QStringLiteral("CREATE SCHEMA %1").arg(s));
    for (const QString &d : ddl)
        exec(d);
    for (const QString &rev : {QStringLiteral("REVOKE ALL ON ALL TABLES IN SCHEMA %1 FROM PUBLIC, CURRENT_USER"),
                               QStringLiteral("REVOKE ALL ON ALL SEQUENCES IN SCHEMA %1 FROM PUBLIC, CURRENT_USER"),
                               QStringLiteral("REVOKE ALL ON ALL ROUTINES IN SCHEMA %1 FROM PUBLIC, CURRENT_USER"),
                               QStringLiteral("REVOKE ALL ON TYPE %1.en FROM PUBLIC, CURRENT_USER")})
        exec(rev.arg(s));
    for (const QString &line : script)
        if (line != QLatin1String(";"))
            exec(line);
    for (int i = 0; i < objects.size(); ++i) {
        const Obj &o = objects.at(i);
        EXPECT_EQ(Acl(o.catalog, o.column, o.kind, o.owner, o.where), before.at(i)) << o.name.toStdString();
    }
}
