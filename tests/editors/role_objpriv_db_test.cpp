// The object privilege list of the role and user editors against the sandbox server: the
// exact lines for every kind of object (materialised views in the user editor only, kinds
// the list does not show left out), awkward names and a role whose name begins another's,
// revoking with and without CASCADE, a revoke that fails or only warns stops and reports,
// the Delete key and the "No" answer, and the screenshot of the filled user editor.
#include "controls/kdstdctl.h"
#include "core/kdsub_text.h"
#include "editors/role_editor.h"
#include "editors/role_objpriv.h"
#include "platform/db/dbquery.h"
#include "support/testdb.h"
#include "editors/editor_fixture.h"

#include <QKeyEvent>
#include <QMenu>
#include <QTabWidget>

namespace {

QStringList Texts(const TObjectPrivilegeList *list)
{
    QStringList t;
    for (const TObjectPrivilege &i : list->Items())
        t << i.Text + (i.GrantOption ? QStringLiteral(" *") : QString());
    return t;
}

class RoleObjPrivTest : public EditorDbTest
{
protected:
    void SetUp() override
    {
        EditorDbTest::SetUp();
        U = testdb::uniqueName("u");
        G = testdb::uniqueName("g");
        Roles << U << G;
        exec("CREATE ROLE " + U + " LOGIN");
        exec("CREATE ROLE " + G);
        S = schema();
    }
    void TearDown() override
    {
        EditorDbTest::TearDownWindows();
        for (const QString &s : Schemas)
            exec("DROP SCHEMA IF EXISTS " + QuoteIdentifier(s, true) + " CASCADE");
        DropRoles(Roles);
        EditorDbTest::TearDown();
    }
    TfrmUser *OpenUser(const QString &name) { return OpenEditor<TfrmUser>(2, QString(), name); }
    TfrmRole *OpenRole(const QString &name) { return OpenEditor<TfrmRole>(68, QString(), name); }
    // Selects the lines (by text) and answers the revoke question with Yes, CASCADE as given.
    QStringList Revoke(TfrmRoleEditor *w, const QStringList &lines, bool cascade, int answer = IDYES)
    {
        QList<int> rows;
        for (const QString &l : lines) {
            const int r = Texts(w->lstObj).indexOf(l);
            EXPECT_GE(r, 0) << l.toStdString();
            rows << r;
        }
        w->lstObj->SelectRows(rows);
        TBoxes boxes;
        boxes.Answers = {answer};
        boxes.OnBox = [cascade](MessageBoxRequest &r) {
            if (r.kind == MessageBoxRequest::Kind::CheckMessage) {
                EXPECT_EQ(r.items.size(), 1);
                EXPECT_EQ(r.items.value(0).Caption, "CASCADE オプション");
                EXPECT_FALSE(r.items.value(0).Checked);
                if (!r.items.isEmpty())
                    r.items[0].Checked = cascade;
            }
        };
        w->lstObj->popRevoke->trigger();
        FlushEvents();
        return boxes.Texts;
    }
    QString Acl(const QString &relation)
    {
        return scalar("SELECT coalesce(relacl::text, '') FROM pg_class WHERE oid = " + QuoteLiteral(relation) + "::regclass");
    }
    QString U, G, S;
    QStringList Roles, Schemas;
};

TEST_F(RoleObjPrivTest, EveryKindShowsItsLines)
{
    const QString q = S + ".";
    exec("CREATE TABLE " + q + "t (a int, b int)");
    exec("CREATE TABLE " + q + "owned (a int)");
    exec("CREATE TABLE " + q + "emptied (a int)");
    exec("CREATE VIEW " + q + "v AS SELECT 1 AS x");
    exec("CREATE MATERIALIZED VIEW " + q + "mv AS SELECT 1 AS x");
    exec("CREATE SEQUENCE " + q + "sq");
    exec("CREATE FUNCTION " + q + "f(integer, " + q + "t, text[]) RETURNS int LANGUAGE sql AS 'SELECT 1'");
    exec("CREATE PROCEDURE " + q + "p(integer) LANGUAGE sql AS 'SELECT 1'");
    exec("CREATE TYPE " + q + "en AS ENUM ('a')");
    exec("CREATE TYPE " + q + "co AS (a int)");
    exec("CREATE TYPE " + q + "rg AS RANGE (subtype = float8)");
    exec("CREATE DOMAIN " + q + "dm AS int");
    exec("CREATE FOREIGN DATA WRAPPER " + U + "_fdw");
    exec("CREATE SERVER " + U + "_srv FOREIGN DATA WRAPPER " + U + "_fdw");
    for (const QString &r : {U, G}) {
        exec("GRANT SELECT ON " + q + "t TO " + r + " WITH GRANT OPTION");
        exec("GRANT INSERT, UPDATE ON " + q + "t TO " + r);
        exec("GRANT UPDATE (b) ON " + q + "t TO " + r);
        exec("GRANT SELECT ON " + q + "v TO " + r);
        exec("GRANT SELECT ON " + q + "mv TO " + r);
        exec("GRANT USAGE ON SEQUENCE " + q + "sq TO " + r + " WITH GRANT OPTION");
        exec("GRANT EXECUTE ON FUNCTION " + q + "f(integer, " + q + "t, text[]) TO " + r);
        exec("GRANT EXECUTE ON PROCEDURE " + q + "p(integer) TO " + r);
        exec("GRANT USAGE ON TYPE " + q + "en, " + q + "co, " + q + "rg TO " + r);
        exec("GRANT USAGE ON DOMAIN " + q + "dm TO " + r);
        exec("GRANT CONNECT ON DATABASE " + testdb::params().database + " TO " + r);
        exec("GRANT CREATE ON TABLESPACE vantor_tbs TO " + r);
        exec("GRANT USAGE ON FOREIGN DATA WRAPPER " + U + "_fdw TO " + r);
        exec("GRANT USAGE ON FOREIGN SERVER " + U + "_srv TO " + r);
    }
    exec("ALTER TABLE " + q + "owned OWNER TO " + U);
    exec("ALTER TABLE " + q + "emptied OWNER TO " + U);
    exec("REVOKE ALL ON " + q + "emptied FROM " + U);
    exec("ALTER SEQUENCE " + q + "sq OWNER TO " + U);
    // The sequence's owner entry now stands in its access list beside the grant.
    const QString T = "TABLE " + q;
    const QStringList user = {
        "USAGE ON TYPE " + q + "co",
        "USAGE ON TYPE " + q + "en",
        "EXECUTE ON FUNCTION " + q + "f(int4,t,_text)",
        "SELECT ON " + T + "mv",
        "DELETE ON " + T + "owned",
        "INSERT ON " + T + "owned",
        "REFERENCES ON " + T + "owned",
        "SELECT ON " + T + "owned",
        "TRIGGER ON " + T + "owned",
        "TRUNCATE ON " + T + "owned",
        "UPDATE ON " + T + "owned",
        "EXECUTE ON PROCEDURE " + q + "p(int4)",
        "USAGE ON TYPE " + q + "rg",
        "SELECT ON SEQUENCE " + q + "sq",
        "UPDATE ON SEQUENCE " + q + "sq",
        "USAGE ON SEQUENCE " + q + "sq *",
        "INSERT ON " + T + "t",
        "SELECT ON " + T + "t *",
        "UPDATE ON " + T + "t",
        "SELECT ON " + T + "v",
    };
    TfrmUser *w = OpenUser(U);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(Texts(w->lstObj), user);
    EXPECT_FALSE(w->Modified());
    CloseEditor(w);
    // The role editor leaves materialised views out.
    TfrmRole *r = OpenRole(G);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(Texts(r->lstObj),
              QStringList({"USAGE ON TYPE " + q + "co", "USAGE ON TYPE " + q + "en",
                           "EXECUTE ON FUNCTION " + q + "f(int4,t,_text)", "EXECUTE ON PROCEDURE " + q + "p(int4)",
                           "USAGE ON TYPE " + q + "rg",
                           "USAGE ON SEQUENCE " + q + "sq *", "INSERT ON " + T + "t", "SELECT ON " + T + "t *",
                           "UPDATE ON " + T + "t", "SELECT ON " + T + "v"}));
    CloseEditor(r);
    // Servers before 9.2 have no type privileges: the statement leaves types out.
    db::Query *rows = Conn->OpenSQL(ObjectPrivilegeSQL(90100, true), {U});
    int types = 0, all = 0;
    for (; !rows->eof(); rows->next(), ++all)
        types += rows->field(0).asString() == "TYPE";
    rows->close();
    EXPECT_EQ(types, 0);
    EXPECT_GT(all, 0);
    exec("DROP SERVER " + U + "_srv");
    exec("DROP FOREIGN DATA WRAPPER " + U + "_fdw");
}

TEST_F(RoleObjPrivTest, AwkwardNamesAndANameInsideAnother)
{
    const QString odd = "Odd \"Rôle\" 日本";
    const QString u2 = U + "2";
    Roles << odd << u2;
    const QString sch = "Sch\"ema 日本";
    Schemas << sch;
    const QString qs = QuoteIdentifier(sch, false), qodd = QuoteIdentifier(odd, false);
    exec("CREATE ROLE " + qodd + " LOGIN");
    exec("CREATE ROLE " + u2 + " LOGIN");
    exec("CREATE SCHEMA " + qs);
    exec("CREATE TABLE " + qs + ".\"Mixed Case\" (a int)");
    exec("CREATE TYPE " + qs + ".\"Typ\" AS (a int)");
    exec("CREATE FUNCTION " + qs + ".\"Fn\"(" + qs + ".\"Typ\") RETURNS int LANGUAGE sql AS 'SELECT 1'");
    exec("GRANT SELECT ON " + qs + ".\"Mixed Case\" TO " + qodd + " WITH GRANT OPTION");
    exec("GRANT EXECUTE ON FUNCTION " + qs + ".\"Fn\"(" + qs + ".\"Typ\") TO " + qodd);
    exec("GRANT INSERT ON " + qs + ".\"Mixed Case\" TO " + u2);
    // A user schema whose name merely begins with "pg" is no system schema.
    const QString pgx = "pgx" + S;
    Schemas << pgx;
    exec("CREATE SCHEMA " + pgx);
    exec("CREATE TABLE " + pgx + ".t (a int)");
    exec("GRANT DELETE ON " + pgx + ".t TO " + u2);
    const QString table = "TABLE " + qs + ".\"Mixed Case\"";
    const QString fn = "FUNCTION " + qs + ".\"Fn\"(" + qs + ".\"Typ\")";
    TfrmUser *w = OpenUser(odd);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(Texts(w->lstObj), QStringList({"EXECUTE ON " + fn, "SELECT ON " + table + " *"}));
    // Both lines revoke as written.
    const QStringList boxes = Revoke(w, {"EXECUTE ON " + fn, "SELECT ON " + table + " *"}, false);
    EXPECT_EQ(boxes.value(1), "権限を取り消しました。");
    EXPECT_TRUE(Texts(w->lstObj).isEmpty());
    EXPECT_EQ(scalar("SELECT has_table_privilege(" + QuoteLiteral(odd) + ", " + QuoteLiteral(qs + ".\"Mixed Case\"")
                     + ", 'SELECT')"),
              "f");
    CloseEditor(w);
    // u holds nothing, although its name is the beginning of u2's.
    TfrmUser *wu = OpenUser(U);
    ASSERT_NE(wu, nullptr);
    EXPECT_TRUE(Texts(wu->lstObj).isEmpty());
    CloseEditor(wu);
    TfrmUser *w2 = OpenUser(u2);
    ASSERT_NE(w2, nullptr);
    EXPECT_EQ(Texts(w2->lstObj), QStringList({"INSERT ON " + table, "DELETE ON TABLE " + pgx + ".t"}));
    CloseEditor(w2);
}

class RevokeTest : public RoleObjPrivTest
{
protected:
    void SetUp() override
    {
        RoleObjPrivTest::SetUp();
        // U holds three privileges with the grant option and passed one on to G.
        for (const char *t : {"a", "b", "c"}) {
            exec("CREATE TABLE " + S + "." + t + " (x int)");
            exec("GRANT SELECT ON " + S + "." + t + " TO " + U + " WITH GRANT OPTION");
        }
        exec("GRANT USAGE ON SCHEMA " + S + " TO " + U);
        exec("SET ROLE " + U);
        exec("GRANT SELECT ON " + S + ".b TO " + G);
        exec("RESET ROLE");
        A = "SELECT ON TABLE " + S + ".a *";
        B = "SELECT ON TABLE " + S + ".b *";
        C = "SELECT ON TABLE " + S + ".c *";
    }
    QString A, B, C;
};

TEST_F(RevokeTest, CascadeRevokesAllAndTheDependentGrant)
{
    TfrmUser *w = OpenUser(U);
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(Texts(w->lstObj), QStringList({A, B, C}));
    w->SetModified(false);
    const QStringList boxes = Revoke(w, {A, B, C}, true);
    EXPECT_EQ(boxes, QStringList({"オブジェクト権限を取り消しますか？", "権限を取り消しました。"}));
    EXPECT_TRUE(Texts(w->lstObj).isEmpty());
    EXPECT_EQ(Acl(S + ".b"), "{" + testdb::params().user + "=arwdDxt/" + testdb::params().user + "}");
    EXPECT_FALSE(w->Modified());
    CloseEditor(w);
}

TEST_F(RevokeTest, FailureWithoutCascadeStopsAndReloads)
{
    TfrmUser *w = OpenUser(U);
    ASSERT_NE(w, nullptr);
    const QStringList boxes = Revoke(w, {A, B, C}, false);
    ASSERT_EQ(boxes.size(), 2);
    // The server's message, not the success message; a was revoked, c was not tried.
    EXPECT_TRUE(boxes.at(1).contains("dependent privileges exist")) << boxes.at(1).toStdString();
    EXPECT_EQ(Texts(w->lstObj), QStringList({B, C}));
    EXPECT_TRUE(Acl(S + ".b").contains(G + "=r/" + U));
    CloseEditor(w);
}

TEST_F(RevokeTest, FailureInsideTheUsersOpenBlockKeepsTheBlockUsable)
{
    TfrmUser *w = OpenUser(U);
    ASSERT_NE(w, nullptr);
    Conn->ExecuteSQL("BEGIN");
    const QStringList boxes = Revoke(w, {A, B, C}, false);
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_TRUE(boxes.at(1).contains("dependent privileges exist")) << boxes.at(1).toStdString();
    // The reload ran in the same block: a is revoked there, b and c are not.
    EXPECT_EQ(Texts(w->lstObj), QStringList({B, C}));
    Conn->ExecuteSQL("ROLLBACK");
    w->ShowObjectGrant();
    EXPECT_EQ(Texts(w->lstObj), QStringList({A, B, C}));
    CloseEditor(w);
}

TEST_F(RevokeTest, ARevokeThatOnlyWarnsStopsAndReports)
{
    TfrmUser *w = OpenUser(U);
    ASSERT_NE(w, nullptr);
    // A login user holding the privilege without the grant option may not revoke it: the
    // server only warns.
    exec("GRANT USAGE ON SCHEMA " + S + " TO " + G);
    exec("GRANT SELECT ON " + S + ".a, " + S + ".c TO " + G);
    Conn->ExecuteSQL("SET ROLE " + G);
    const QStringList boxes = Revoke(w, {A, C}, false);
    Conn->ExecuteSQL("RESET ROLE");
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_TRUE(boxes.at(1).contains("no privileges could be revoked")) << boxes.at(1).toStdString();
    EXPECT_EQ(Texts(w->lstObj), QStringList({A, B, C}));
    CloseEditor(w);
}

TEST_F(RevokeTest, NoAnswerDeleteKeyAndEmptySelection)
{
    TfrmUser *w = OpenUser(U);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(Revoke(w, {A}, true, IDNO), QStringList({"オブジェクト権限を取り消しますか？"}));
    EXPECT_EQ(Texts(w->lstObj).size(), 3);
    {
        // Nothing selected: no question.
        w->lstObj->SelectRows({});
        ScriptedMessageBoxes none;
        w->lstObj->popRevoke->trigger();
        EXPECT_TRUE(none.Shown().isEmpty());
    }
    w->lstObj->SelectRows({0});
    {
        ScriptedMessageBoxes yes;
        yes.Answer(IDYES).Answer(IDOK);
        QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
        QCoreApplication::sendEvent(w->lstObj, &del);
        FlushEvents();
        ASSERT_EQ(yes.Shown().size(), 2);
        EXPECT_EQ(yes.Shown().at(1).text, "権限を取り消しました。");
    }
    EXPECT_EQ(Texts(w->lstObj), QStringList({B, C}));
    // The role still exists and the window stays.
    EXPECT_EQ(scalar("SELECT count(*) FROM pg_roles WHERE rolname = '" + U + "'"), "1");
    CloseEditor(w);
}

TEST_F(RevokeTest, Screenshot)
{
    exec("CREATE SEQUENCE " + S + ".seq");
    exec("GRANT USAGE ON SEQUENCE " + S + ".seq TO " + U);
    TfrmUser *w = OpenUser(U);
    ASSERT_NE(w, nullptr);
    w->resize(900, 560);
    w->lstObj->SelectRows({1});
    FlushEvents();
    EXPECT_TRUE(w->grab().toImage().save("/tmp/vantor-user-objpriv.png"));
    CloseEditor(w);
}

} // namespace
