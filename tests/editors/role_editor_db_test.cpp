// The role and user editors against the sandbox server: the editor table's contract for
// codes 2, 3 and 68, loading attributes and memberships, the user's password (only
// verifiers in every text the window produces, and the password logs in), the input checks
// of password and connection limit, the admin option and schema grant option changes,
// gating of a plain login, the expiry under another DateStyle, the source page with and
// without a PASSWORD value, Delete of a role that owns objects, and the script round trip.
#include "controls/kdmemo.h"
#include "controls/kdstdctl.h"
#include "editors/privilege_list.h"
#include "editors/role_editor.h"
#include "support/editor_contract.h"
#include "support/roundtrip.h"
#include "support/testdb.h"
#include "editors/editor_fixture.h"

#include <QDateEdit>
#include <QImage>
#include <QProcess>
#include <QTabWidget>
#include <QTimeEdit>

namespace {

// The lines of pg_dumpall --roles-only that name the role (password lines aside).
QString RoleDump(const QString &role)
{
    const testdb::Params &p = testdb::params();
    QProcess proc;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PGPASSWORD", p.password);
    proc.setProcessEnvironment(env);
    proc.start("pg_dumpall", {"--roles-only", "--no-role-passwords", "-h", p.host, "-p", p.port, "-U", p.user});
    if (!proc.waitForFinished(60000) || proc.exitCode() != 0) {
        ADD_FAILURE() << proc.readAllStandardError().toStdString();
        return {};
    }
    QStringList kept;
    const QRegularExpression word("(^|[^A-Za-z0-9_])" + QRegularExpression::escape(role) + "($|[^A-Za-z0-9_])");
    for (const QString &line : QString::fromUtf8(proc.readAllStandardOutput()).split('\n'))
        if (!line.startsWith("--") && word.match(line).hasMatch())
            kept << line;
    return kept.join('\n');
}

bool CanLogIn(const QString &user, const QString &password)
{
    const testdb::Params &p = testdb::params();
    const QByteArray h = p.host.toUtf8(), po = p.port.toUtf8(), d = p.database.toUtf8(), u = user.toUtf8(),
                     pw = password.toUtf8();
    const char *keys[] = {"host", "port", "dbname", "user", "password", nullptr};
    const char *vals[] = {h.constData(), po.constData(), d.constData(), u.constData(), pw.constData(), nullptr};
    PGconn *c = PQconnectdbParams(keys, vals, 0);
    const bool ok = PQstatus(c) == CONNECTION_OK;
    PQfinish(c);
    return ok;
}

class RoleEditorTest : public EditorDbTest
{
protected:
    void SetUp() override
    {
        EditorDbTest::SetUp();
        U = testdb::uniqueName("u");
        G = testdb::uniqueName("g");
        G2 = G + "2";
        Roles << U << G << G2;
        exec("CREATE ROLE " + U + " LOGIN PASSWORD 'x'");
        exec("CREATE ROLE " + G);
        exec("CREATE ROLE " + G2);
    }
    void TearDown() override
    {
        EditorDbTest::TearDownWindows();
        DropRoles(Roles);
        EditorDbTest::TearDown();
    }
    TfrmUser *OpenUser(const QString &name, TOpenMode mode = omDefine)
    {
        return OpenEditor<TfrmUser>(2, QString(), name, mode);
    }
    TfrmRole *OpenRole(const QString &name, TOpenMode mode = omDefine)
    {
        return OpenEditor<TfrmRole>(68, QString(), name, mode);
    }
    static bool Compile(TObjectEditor *e)
    {
        const bool ok = GuardedCall([e] { e->Compile(); });
        FlushEvents();
        return ok;
    }
    QString Authid(const QString &role, const QString &col)
    {
        return scalar("SELECT " + col + " FROM pg_authid WHERE rolname = " + QuoteLiteral(role));
    }
    QString U, G, G2;
    QStringList Roles;
};

TEST_F(RoleEditorTest, EditorTableContractForEveryCode)
{
    for (auto [code, name] : QList<QPair<int, QString>>{{2, U}, {3, U}, {68, G}}) {
        TEditorContract c;
        c.Owner = Conn;
        c.Code = code;
        c.Name = name;
        c.PagesOfModes = {{omDefine, 0}, {omSource, 1}, {omGrant, 0}, {omCross, 0}};
        SCOPED_TRACE(code);
        CheckEditorContract(c);
    }
    // A login role is no group role and the other way round.
    TBoxes boxes;
    EXPECT_EQ(OpenRole(U), nullptr);
    EXPECT_EQ(OpenUser(G), nullptr);
}

TEST_F(RoleEditorTest, LoadsAttributesMembershipsAndLists)
{
    exec("ALTER ROLE " + U + " CREATEDB NOINHERIT CONNECTION LIMIT 7");
    exec("GRANT " + G + " TO " + U + " WITH ADMIN OPTION");
    exec("GRANT " + G2 + " TO " + U);
    exec("GRANT USAGE ON SCHEMA " + schema() + " TO " + U + " WITH GRANT OPTION");
    TfrmUser *w = OpenUser(U);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->chkCreateDB->isChecked());
    EXPECT_FALSE(w->chkSucParRole->isChecked());
    EXPECT_FALSE(w->chkSuperUser->isChecked());
    EXPECT_EQ(w->txtConRest->text(), "7");
    EXPECT_FALSE(w->chkPass->isChecked());
    const int g = w->chkRole->LineOf(G, 0), g2 = w->chkRole->LineOf(G2, 0);
    ASSERT_GE(g, 0);
    ASSERT_GE(g2, 0);
    EXPECT_TRUE(w->chkRole->CheckedL(g));
    EXPECT_TRUE(w->chkRole->CheckedR(g));
    EXPECT_TRUE(w->chkRole->CheckedL(g2));
    EXPECT_FALSE(w->chkRole->CheckedR(g2));
    // The server's predefined roles are group roles.
    EXPECT_GE(w->chkRole->LineOf("pg_read_all_data", 0), 0);
    const int s = w->chkSchema->LineOf(schema(), 1);
    ASSERT_GE(s, 0);
    EXPECT_TRUE(w->chkSchema->CheckedL(s));
    EXPECT_TRUE(w->chkSchema->CheckedR(s));
    EXPECT_FALSE(w->chkSchema->CheckedL(s - 1));
    EXPECT_FALSE(w->Modified());
    CloseEditor(w);
    // The role editor never offers the edited role itself.
    TfrmRole *r = OpenRole(G);
    ASSERT_NE(r, nullptr);
    EXPECT_LT(r->chkRole->LineOf(G, 0), 0);
    EXPECT_GE(r->chkRole->LineOf(G2, 0), 0);
    CloseEditor(r);
}

TEST_F(RoleEditorTest, NewUserPasswordIsNeverClearText)
{
    TRecordingRunner runner;
    const QString name = testdb::uniqueName("n");
    Roles << name;
    const QString pw = "p'w \\ 日本";
    TfrmUser *w = OpenUser(QString());
    ASSERT_NE(w, nullptr);
    w->txtName->setText(name);
    w->txtPassword1->setText(pw);
    w->txtPassword2->setText(pw);
    w->OnChange();
    ASSERT_TRUE(Compile(w));
    EXPECT_EQ(Authid(name, "rolcanlogin"), "t");
    EXPECT_TRUE(Authid(name, "rolpassword").startsWith("SCRAM-SHA-256$"));
    EXPECT_EQ(Authid(name, "rolconnlimit"), "-1");
    EXPECT_TRUE(CanLogIn(name, pw));
    // Changing it again on the definition page, then on the source page.
    const QString pw2 = "second 'one'", pw3 = "third";
    w->txtPassword1->setText(pw2);
    w->txtPassword2->setText(pw2);
    w->OnChange();
    ASSERT_TRUE(Compile(w));
    EXPECT_TRUE(CanLogIn(name, pw2));
    {
        TBoxes boxes;
        w->pagObject->setCurrentWidget(w->tabSource);
        FlushEvents();
    }
    w->txtSource->setText(w->txtSource->text().replace("NOREPLICATION", "NOREPLICATION\nPASSWORD 'third'"));
    ASSERT_TRUE(Compile(w));
    EXPECT_TRUE(CanLogIn(name, pw3));
    EXPECT_FALSE(CanLogIn(name, pw2));
    ASSERT_FALSE(runner.Previewed.isEmpty());
    for (const QStringList &lines : runner.Previewed + runner.Ran)
        for (const QString &secret : {pw, pw2, pw3, QString("third")})
            EXPECT_FALSE(lines.join('\n').contains("'" + QuoteLiteral(secret).mid(1)))
                << lines.join('\n').toStdString();
    // The boxes hold only the placeholder after the compile.
    EXPECT_NE(w->txtPassword1->text(), pw2);
    CloseEditor(w);
}

TEST_F(RoleEditorTest, RefusesBadPasswordsAndLimits)
{
    TRecordingRunner runner;
    struct Case {
        bool isNew;
        QString pw1, pw2, limit, message, limitAfter;
    };
    const QList<Case> cases = {
        {true, "", "", "-1", "パスワードを入力して下さい。", ""},
        {true, "a", "", "-1", "パスワードを入力して下さい。", ""},
        {true, "a", "b", "-1", "パスワードが一致しません。", ""},
        {true, "a", "a", "2.5", "接続制限数は整数を入力して下さい。", ""},
        {false, "", "", "-1", "パスワードを入力して下さい。", ""},
        {false, "          ", "          ", "-", "", "-1"},
    };
    for (const Case &c : cases) {
        TfrmUser *w = OpenUser(c.isNew ? QString() : U);
        ASSERT_NE(w, nullptr);
        if (c.isNew)
            w->txtName->setText(testdb::uniqueName("x"));
        w->txtPassword1->setText(c.pw1);
        w->txtPassword2->setText(c.pw2);
        w->txtConRest->setText(c.limit);
        w->OnChange();
        TBoxes boxes;
        Compile(w);
        if (c.message.isEmpty()) {
            EXPECT_TRUE(boxes.Texts.isEmpty() || !boxes.Texts.first().contains("パスワード")) << boxes.Texts.join("|").toStdString();
            EXPECT_EQ(w->txtConRest->text(), c.limitAfter);
        } else {
            ASSERT_FALSE(boxes.Texts.isEmpty());
            EXPECT_EQ(boxes.Texts.first(), c.message);
        }
        CloseEditor(w);
    }
}

TEST_F(RoleEditorTest, ConnectionLimitAndExpiryChanges)
{
    TRecordingRunner runner;
    exec("ALTER ROLE " + U + " CONNECTION LIMIT 4 VALID UNTIL '2031-05-06 07:08:09'");
    // The expiry is read and written as ISO text whatever the session's DateStyle.
    Conn->ExecuteSQL("SET DateStyle = 'SQL, DMY'");
    TfrmUser *w = OpenUser(U);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->chkPass->isChecked());
    EXPECT_EQ(w->dtpLapseDate->date(), QDate(2031, 5, 6));
    EXPECT_EQ(w->dtpLapseTime->time(), QTime(7, 8, 9));
    w->dtpLapseTime->setTime(QTime(10, 0, 0));
    w->txtConRest->setText("");
    w->OnChange();
    ASSERT_TRUE(Compile(w));
    ASSERT_FALSE(runner.Previewed.isEmpty());
    const QString text = runner.Previewed.last().join('\n');
    EXPECT_EQ(text.count("VALID UNTIL"), 1) << text.toStdString();
    EXPECT_TRUE(text.contains("CONNECTION LIMIT -1")) << text.toStdString();
    EXPECT_EQ(Authid(U, "to_char(rolvaliduntil, 'YYYY-MM-DD HH24:MI:SS')"), "2031-05-06 10:00:00");
    EXPECT_EQ(Authid(U, "rolconnlimit"), "-1");
    // Unticking the expiry gives infinity.
    w->chkPass->click();
    ASSERT_TRUE(Compile(w));
    EXPECT_EQ(Authid(U, "rolvaliduntil::text"), "infinity");
    CloseEditor(w);
}

TEST_F(RoleEditorTest, AdminOptionAndSchemaGrantChanges)
{
    TRecordingRunner runner;
    exec("GRANT " + G + " TO " + U + " WITH ADMIN OPTION");
    exec("GRANT CREATE ON SCHEMA " + schema() + " TO " + U + " WITH GRANT OPTION");
    TfrmUser *w = OpenUser(U);
    ASSERT_NE(w, nullptr);
    w->chkRole->SetCheckedR(w->chkRole->LineOf(G, 0), false);
    w->chkSchema->SetCheckedR(w->chkSchema->LineOf(schema(), 0), false);
    w->chkRole->SetCheckedL(w->chkRole->LineOf(G2, 0), true);
    w->OnChange();
    ASSERT_TRUE(Compile(w));
    const QString text = runner.Previewed.last().join('\n');
    EXPECT_EQ(text, QString("REVOKE %1 FROM %2\n;\nGRANT %1 TO %2\n;\nGRANT %3 TO %2\n;\n"
                            "REVOKE CREATE ON SCHEMA %4 FROM %2\n;\nGRANT CREATE ON SCHEMA %4 TO %2\n;")
                        .arg(G, U, G2, schema()));
    EXPECT_EQ(scalar("SELECT string_agg(g.rolname || ':' || m.admin_option, ',' ORDER BY g.rolname) FROM pg_auth_members m "
                     "JOIN pg_roles g ON g.oid = m.roleid JOIN pg_roles r ON r.oid = m.member WHERE r.rolname = '"
                     + U + "'"),
              G + ":false," + G2 + ":false");
    // Nothing changed: the warning and a reload.
    TBoxes boxes;
    w->OnChange();
    Compile(w);
    ASSERT_FALSE(boxes.Texts.isEmpty());
    EXPECT_EQ(boxes.Texts.first(), "変更箇所が見つかりませんでした。");
    CloseEditor(w);
}

TEST_F(RoleEditorTest, PlainLoginSeesAttributesDisabled)
{
    const testdb::Params &p = testdb::params();
    const QString plain = testdb::uniqueName("plain");
    Roles << plain;
    exec("CREATE ROLE " + plain + " LOGIN PASSWORD 'pw'");
    TfrmObject *own = TfrmObject::Create({p.host, p.port, p.database, schema(), plain, "pw"});
    FlushEvents();
    ASSERT_NE(own, nullptr);
    for (const QString &name : {plain, U}) {
        auto *w = qobject_cast<TfrmUser *>(own->OpenObject(2, QString(), name, omDefine));
        FlushEvents();
        ASSERT_NE(w, nullptr) << name.toStdString();
        EXPECT_FALSE(w->LoginSuperUser());
        for (QWidget *c : std::initializer_list<QWidget *>{w->chkSuperUser, w->chkCreateDB, w->chkCreateRole,
                                                           w->chkSucParRole, w->chkReplication, w->chkPass, w->txtConRest})
            EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();
        // Only the own password may be changed.
        EXPECT_EQ(w->txtPassword1->isEnabled(), name == plain) << name.toStdString();
        if (name == plain) {
            TRecordingRunner runner;
            w->txtPassword1->setText("new pw");
            w->txtPassword2->setText("new pw");
            w->OnChange();
            ASSERT_TRUE(Compile(w));
            EXPECT_TRUE(CanLogIn(plain, "new pw"));
        }
        CloseEditor(w);
    }
    // The superuser's window enables everything.
    TfrmUser *w = OpenUser(U);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->chkSuperUser->isEnabled());
    EXPECT_TRUE(w->txtConRest->isEnabled());
    CloseEditor(w);
}

TEST_F(RoleEditorTest, SourcePageBarePasswordKeepsText)
{
    TfrmUser *w = OpenUser(U, omSource);
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(w->SourcePageShown());
    const QString text = w->txtSource->text() + "\nPASSWORD\n";
    w->txtSource->setText(text);
    TRecordingRunner runner;
    TBoxes boxes;
    Compile(w);
    ASSERT_FALSE(boxes.Texts.isEmpty());
    EXPECT_EQ(boxes.Texts.first(), "パスワード（PASSWORD句）を入力してください。");
    EXPECT_EQ(w->txtSource->text(), text);
    EXPECT_TRUE(runner.Ran.isEmpty());
    EXPECT_EQ(Authid(U, "rolcanlogin"), "t");
    CloseEditor(w);
}

TEST_F(RoleEditorTest, SourceRecreateKeepsEverythingButThePassword)
{
    TRecordingRunner runner;
    exec("ALTER ROLE " + U + " BYPASSRLS CONNECTION LIMIT 3 VALID UNTIL '2032-01-01 00:00:00'");
    exec("ALTER ROLE " + U + " SET work_mem TO '8MB'");
    exec("COMMENT ON ROLE " + U + " IS 'who''s this'");
    exec("GRANT " + G + " TO " + U);
    exec("GRANT " + U + " TO " + G2);
    const QString before = RoleDump(U);
    TfrmUser *w = OpenUser(U, omSource);
    ASSERT_NE(w, nullptr);
    w->OnChange();
    ASSERT_TRUE(Compile(w));
    EXPECT_EQ(RoleDump(U), before);
    CloseEditor(w);
}

TEST_F(RoleEditorTest, ScriptRoundTripOfRoleAndUser)
{
    exec("ALTER ROLE " + U + " CREATEDB NOINHERIT CONNECTION LIMIT 9 VALID UNTIL 'infinity'");
    exec("ALTER ROLE " + U + " SET statement_timeout TO '5s'");
    exec("COMMENT ON ROLE " + G + " IS 'グループ'");
    exec("GRANT " + G + " TO " + U + " WITH ADMIN OPTION");
    exec("GRANT " + G2 + " TO " + G);
    exec("GRANT USAGE ON SCHEMA " + schema() + " TO " + U);
    for (auto [code, role] : QList<QPair<int, QString>>{{3, U}, {68, G}}) {
        SCOPED_TRACE(role.toStdString());
        const QString before = RoleDump(role);
        const QString acl = scalar("SELECT nspacl::text FROM pg_namespace WHERE nspname = '" + schema() + "'");
        TScriptSink sink;
        ASSERT_TRUE(Conn->OutputScript(code, QString(), role, sink));
        EXPECT_FALSE(sink.Lines().join('\n').contains("PASSWORD"));
        exec("DROP OWNED BY " + role);
        exec("DROP ROLE " + role);
        roundtrip::RunLines(Conn, sink.Lines());
        EXPECT_EQ(RoleDump(role), before) << sink.Lines().join('\n').toStdString();
        EXPECT_EQ(scalar("SELECT nspacl::text FROM pg_namespace WHERE nspname = '" + schema() + "'"), acl);
    }
}

TEST_F(RoleEditorTest, DeleteOfARoleOwningObjectsKeepsTheWindow)
{
    exec("CREATE TABLE " + schema() + ".owned (a int)");
    exec("ALTER TABLE " + schema() + ".owned OWNER TO " + G);
    TfrmRole *w = OpenRole(G);
    ASSERT_NE(w, nullptr);
    QPointer<TfrmRole> p(w);
    {
        TBoxes boxes;
        boxes.Answers = {IDYES};
        GuardedCall([w] { w->actDeleteExecute(); });
        FlushEvents();
        EXPECT_FALSE(boxes.Texts.contains("オブジェクトが削除されました。"));
    }
    EXPECT_TRUE(p);
    EXPECT_EQ(scalar("SELECT count(*) FROM pg_roles WHERE rolname = '" + G + "'"), "1");
    exec("DROP TABLE " + schema() + ".owned");
    {
        TBoxes boxes;
        boxes.Answers = {IDYES};
        GuardedCall([w] { w->actDeleteExecute(); });
        FlushEvents();
        EXPECT_TRUE(boxes.Texts.contains("オブジェクトが削除されました。"));
    }
    EXPECT_EQ(scalar("SELECT count(*) FROM pg_roles WHERE rolname = '" + G + "'"), "0");
}

TEST_F(RoleEditorTest, Screenshot)
{
    exec("GRANT " + G + " TO " + U + " WITH ADMIN OPTION");
    TfrmUser *w = OpenUser(U);
    ASSERT_NE(w, nullptr);
    w->resize(754, 511);
    FlushEvents();
    EXPECT_TRUE(w->grab().toImage().save("/tmp/vantor-user-editor.png"));
    CloseEditor(w);
    TfrmRole *r = OpenRole(G);
    ASSERT_NE(r, nullptr);
    r->resize(754, 511);
    FlushEvents();
    EXPECT_TRUE(r->grab().toImage().save("/tmp/vantor-role-editor.png"));
    CloseEditor(r);
}

} // namespace
