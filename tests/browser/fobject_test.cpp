// The connection window against the sandbox server: creation steps, close, and the SQL
// services that every other window uses.
#include "app/fmain.h"
#include "browser/fobject.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "support/qstring_printer.h"
#include "support/testdb.h"

#include <QApplication>
#include <QFileInfo>
#include <QComboBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

void Flush()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// A tool window that records WM_DBCHANGE and closes when its connection is gone.
class ToolWindow : public TkdForm
{
public:
    using TkdForm::TkdForm;
    int changes = 0;
    void DBChange() override
    {
        ++changes;
        if (!OwnerFormOpen())
            close();
    }
};

class ConnectionWindowTest : public testdb::SchemaTest
{
protected:
    void SetUp() override
    {
        testdb::SchemaTest::SetUp();
        FOldHook = SetMessageBoxHook([this](MessageBoxRequest &r) {
            Boxes << r.text;
            return IDOK;
        });
        SetLogonProc({});
        Main = new TfrmMain; // loads the options
        Main->SetCloseSteps({});
        TkdOption::Global().UpdateToCommit = false;
        TkdOption::Global().CharacterSet = QStringLiteral("UTF8");
        TkdOption::Global().UseLowerName = false;
        Main->show();
        QApplication::setActiveWindow(Main);
        Flush();
    }
    void TearDown() override
    {
        Main->SetCloseSteps({});
        Main->close();
        delete Main;
        Flush();
        SetMessageBoxHook(FOldHook);
        TkdOption::Global().UpdateToCommit = false;
        testdb::SchemaTest::TearDown();
    }
    TConnectArgs Args(const QString &schemaName = QString()) const
    {
        const testdb::Params &p = testdb::params();
        return {p.host, p.port, p.database, schemaName.isEmpty() ? schema() : schemaName, p.user, p.password};
    }
    TfrmObject *Open(const QString &schemaName = QString()) { return TfrmObject::Create(Args(schemaName)); }
    QString Value(TfrmObject *f, const QString &sql)
    {
        db::Query *q = f->OpenSQL(sql);
        const QString v = q->isEmpty() ? QString() : q->field(0).asString();
        q->close();
        return v;
    }

    TfrmMain *Main = nullptr;
    QStringList Boxes;

private:
    MessageBoxHook FOldHook;
};

} // namespace

TEST_F(ConnectionWindowTest, CreationConnectsAndJoinsTheMainWindow)
{
    auto *probe = new ToolWindow(Main);
    Main->AddChildWindow(probe);
    TfrmObject *f = Open();
    const testdb::Params &p = testdb::params();
    const QString identity = p.user + QStringLiteral(" @ ") + p.database + QStringLiteral("/") + p.host
        + QStringLiteral(":") + p.port;
    EXPECT_EQ(f->windowTitle(), QStringLiteral("オブジェクトリスト - ") + identity);
    EXPECT_EQ(f->DBName, p.database);

    // Version from the server's numeric version: version choices work on every server.
    const int num = scalar(QStringLiteral("SHOW server_version_num")).toInt();
    EXPECT_EQ(f->DBVer(), (num / 10000) * 10000 + (num % 10000) * 100);
    EXPECT_GE(f->DBVer(), 100000);
    EXPECT_EQ(f->VerStr(90100, QStringLiteral("new"), QStringLiteral("old")), QStringLiteral("new"));
    EXPECT_EQ(f->g_Linux_Ver(), Value(f, QStringLiteral("SELECT version()")).contains(QLatin1String("linux")));

    EXPECT_EQ(QString::number(f->MYSID), Value(f, QStringLiteral("SELECT pg_backend_pid()")));
    EXPECT_EQ(f->GetMySID(), f->MYSID);
    EXPECT_EQ(Value(f, QStringLiteral("SELECT current_schema()")), schema());
    EXPECT_EQ(f->ConnectionParam(QStringLiteral("MetaDefSchema")), schema());
    EXPECT_EQ(Value(f, QStringLiteral("SELECT current_setting('application_name')")),
              QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    // UpdateToCommit off: the connection works inside an explicit transaction.
    EXPECT_TRUE(f->dbsMain()->inTransaction());

    EXPECT_EQ(Main->Connections(), QList<TkdConnForm *>{f});
    EXPECT_EQ(Main->cmbDBName->currentText(), identity);
    EXPECT_EQ(Main->CurrentForm(), f);
    EXPECT_TRUE(Main->actDBCommit->isEnabled());
    EXPECT_EQ(probe->changes, 1);
    ASSERT_TRUE(f->FTaskButton);
    EXPECT_EQ(f->FTaskButton->text(), identity.left(10) + QChar(0x2026));
    EXPECT_EQ(f->FTaskButton->toolTip(), f->windowTitle());
}

TEST_F(ConnectionWindowTest, WithUpdateToCommitOnNoTransactionIsOpened)
{
    TkdOption::Global().UpdateToCommit = true;
    TfrmObject *f = Open();
    EXPECT_FALSE(f->dbsMain()->inTransaction());
}

TEST_F(ConnectionWindowTest, UnknownSchemaFallsBackToTheFirstSchemaName)
{
    // Letter case matters: an upper-case spelling of an existing schema is not that schema.
    TfrmObject *f = Open(schema().toUpper());
    QStringList schemas;
    f->GetSchemaInfo(schemas, true);
    ASSERT_FALSE(schemas.isEmpty());
    EXPECT_EQ(f->ConnectionParam(QStringLiteral("MetaDefSchema")), schemas.first());
    EXPECT_TRUE(schemas.contains(schema()));
}

TEST_F(ConnectionWindowTest, SearchPathSurvivesARollbackOfTheUsersWork)
{
    TfrmObject *f = Open();
    f->ExecuteSQL(QStringLiteral("ROLLBACK"));
    f->ExecuteSQL(QStringLiteral("BEGIN"));
    EXPECT_EQ(Value(f, QStringLiteral("SELECT current_schema()")), schema());
}

TEST_F(ConnectionWindowTest, FailedConnectionsLeaveNoWindowBehind)
{
    struct Case {
        const char *what;
        TConnectArgs args;
    };
    const testdb::Params &p = testdb::params();
    const Case cases[] = {
        {"wrong password", {p.host, p.port, p.database, schema(), p.user, QStringLiteral("not-the-password")}},
        {"unreachable host", {QStringLiteral("127.0.0.1"), QStringLiteral("1"), p.database, schema(), p.user, p.password}},
        {"unknown database", {p.host, p.port, QStringLiteral("no_such_db_x"), schema(), p.user, p.password}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QString message;
        try {
            TfrmObject::Create(c.args);
            ADD_FAILURE() << "connected";
        } catch (const db::Error &e) {
            message = e.message;
        }
        EXPECT_FALSE(message.isEmpty());
        Flush();
        EXPECT_TRUE(Main->ChildWindows().isEmpty());
        EXPECT_EQ(Main->cmbDBName->count(), 0);
        EXPECT_FALSE(Main->actDBCommit->isEnabled());
    }
}

TEST_F(ConnectionWindowTest, CloseRollsBackDisconnectsAndTellsTheOtherWindows)
{
    TfrmObject *f = Open();
    auto *tool = new ToolWindow(f);
    Main->AddChildWindow(tool);
    QPointer<ToolWindow> toolAlive = tool;
    EXPECT_EQ(tool->OwnerForm(), f);
    const QString pid = QString::number(f->MYSID);
    f->ExecuteSQL(QStringLiteral("CREATE TABLE ") + schema() + QStringLiteral(".left_open (id int)"));

    f->close();
    Flush();
    // Not committed, so rolled back; the server session is gone.
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM pg_tables WHERE schemaname = '") + schema()
                     + QStringLiteral("' AND tablename = 'left_open'")),
              QStringLiteral("0"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE pid = ") + pid), QStringLiteral("0"));
    EXPECT_EQ(Main->cmbDBName->count(), 0);
    EXPECT_EQ(Main->CurrentForm(), nullptr);
    EXPECT_FALSE(Main->actDBCommit->isEnabled());
    // The tool window heard WM_DBCHANGE, found its connection gone and closed itself.
    EXPECT_TRUE(toolAlive.isNull());
}

TEST_F(ConnectionWindowTest, CloseAsksTheEditorsItOwns)
{
    TfrmObject *f = Open();
    auto *editor = new TkdForm(f);
    Main->AddChildWindow(editor);
    editor->SetModified(true);
    SetMessageBoxHook([this](MessageBoxRequest &r) {
        Boxes << r.text;
        return IDCANCEL;
    });
    EXPECT_FALSE(f->close());
    EXPECT_EQ(Boxes, QStringList{QStringLiteral("情報が変更されています。コンパイルしますか？")});
    EXPECT_EQ(Main->Connections(), QList<TkdConnForm *>{f});
    EXPECT_TRUE(f->dbsMain()->isConnected());
}

TEST_F(ConnectionWindowTest, TwoWindowsOnOneIdentityKeepTheirOwnTransactions)
{
    exec(QStringLiteral("CREATE TABLE ") + schema() + QStringLiteral(".t (id int)"));
    TfrmObject *a = Open();
    TfrmObject *b = Open();
    ASSERT_EQ(a->Identity(), b->Identity());
    a->ExecuteSQL(QStringLiteral("INSERT INTO t VALUES (1)"));
    b->ExecuteSQL(QStringLiteral("INSERT INTO t VALUES (2)"));

    // The second window is current: commit ends its transaction only.
    EXPECT_EQ(Main->CurrentForm(), b);
    Main->actDBCommitExecute();
    EXPECT_EQ(scalar(QStringLiteral("SELECT string_agg(id::text, ',') FROM ") + schema() + QStringLiteral(".t")),
              QStringLiteral("2"));
    // Activating the first window makes it current, by its own item.
    Main->mdiMain->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(a->parentWidget()));
    Flush();
    EXPECT_EQ(Main->CurrentForm(), a);
    Main->actDBRollbackExecute();
    EXPECT_EQ(Value(b, QStringLiteral("SELECT count(*) FROM t")), QStringLiteral("1"));
    // Log off closes the current window only.
    Main->actDBLogoffExecute();
    Flush();
    EXPECT_EQ(Main->Connections(), QList<TkdConnForm *>{b});
    EXPECT_TRUE(b->dbsMain()->isConnected());
}

TEST_F(ConnectionWindowTest, StatementListsSplitAtSemicolonLines)
{
    exec(QStringLiteral("CREATE TABLE ") + schema() + QStringLiteral(".log (line text)"));
    TfrmObject *f = Open();
    struct Case {
        const char *what;
        QStringList lines;
        QString expected;
    };
    const Case cases[] = {
        {"blank statement between two ; lines runs nothing",
         {QStringLiteral("INSERT INTO log VALUES ('a')"), QStringLiteral("  ;  "), QString(), QStringLiteral(";"),
          QStringLiteral("INSERT INTO log VALUES ('b')")},
         QStringLiteral("a,b")},
        {"no ; line: one statement",
         {QStringLiteral("INSERT INTO log"), QStringLiteral("VALUES ('c')")},
         QStringLiteral("c")},
        {"only ; lines: nothing", {QStringLiteral(";"), QStringLiteral(" ;"), QStringLiteral(";")}, QString()},
        {"a statement may end with ; on its own line after a blank",
         {QStringLiteral("INSERT INTO log VALUES ('d')"), QStringLiteral("\t;\t")},
         QStringLiteral("d")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        f->ExecuteSQL(QStringLiteral("DELETE FROM log"));
        f->ExecuteSQL(c.lines, false);
        EXPECT_EQ(Value(f, QStringLiteral("SELECT string_agg(line, ',' ORDER BY line) FROM log")), c.expected);
    }
}

TEST_F(ConnectionWindowTest, StatementListErrorsStopOrAreSkippedWithoutAbortingTheTransaction)
{
    exec(QStringLiteral("CREATE TABLE ") + schema() + QStringLiteral(".log (line text)"));
    TfrmObject *f = Open();
    ASSERT_TRUE(f->dbsMain()->inTransaction());
    f->ExecuteSQL(QStringLiteral("INSERT INTO log VALUES ('before')"));
    const QStringList three = {QStringLiteral("INSERT INTO log VALUES ('1')"), QStringLiteral(";"),
                               QStringLiteral("INSERT INTO no_such_table VALUES (1)"), QStringLiteral(";"),
                               QStringLiteral("INSERT INTO log VALUES ('3')")};
    EXPECT_THROW(f->ExecuteSQL(three, false), db::Error);
    EXPECT_EQ(Value(f, QStringLiteral("SELECT string_agg(line, ',' ORDER BY line) FROM log")), QStringLiteral("1,before"));

    f->ExecuteSQL(QStringLiteral("DELETE FROM log WHERE line <> 'before'"));
    f->ExecuteSQL(three, true);
    EXPECT_EQ(Value(f, QStringLiteral("SELECT string_agg(line, ',' ORDER BY line) FROM log")),
              QStringLiteral("1,3,before"));
    // The user's transaction is still open and usable, and the earlier work is still in it.
    EXPECT_TRUE(f->dbsMain()->inTransaction());
    f->ExecuteSQL(QStringLiteral("COMMIT"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT string_agg(line, ',' ORDER BY line) FROM ") + schema()
                     + QStringLiteral(".log")),
              QStringLiteral("1,3,before"));
}

TEST_F(ConnectionWindowTest, OpenSqlAndExecuteSqlShareOneQuery)
{
    TfrmObject *f = Open();
    db::Query *q = f->OpenSQL(QStringLiteral("SELECT n FROM generate_series(1, 3) AS n"));
    ASSERT_TRUE(q->isActive());
    EXPECT_EQ(q->field(0).asString(), QStringLiteral("1"));
    // Any other service closes the result; ExecuteSQL leaves the query closed.
    f->ExecuteSQL(QStringLiteral("SELECT 1"));
    EXPECT_FALSE(q->isActive());

    q = f->OpenSQL(QStringLiteral("SELECT :A || '-' || :B || '-' || :A"),
                   {QStringLiteral("x"), QStringLiteral("y'; DROP TABLE t; --"), QStringLiteral("ignored")});
    EXPECT_EQ(q->field(0).asString(), QStringLiteral("x-y'; DROP TABLE t; ---x"));
    EXPECT_THROW(f->OpenSQL(QStringLiteral("SELECT :A, :B"), {QStringLiteral("only one")}), db::Error);
    EXPECT_FALSE(q->isActive());
    EXPECT_THROW(f->OpenSQL(QStringLiteral("SELECT * FROM no_such_table")), db::Error);
    EXPECT_FALSE(q->isActive());

    exec(QStringLiteral("CREATE TABLE ") + schema() + QStringLiteral(".p (v text)"));
    f->ExecuteSQL(QStringLiteral("INSERT INTO p VALUES (:V)"), {QStringLiteral("it's")});
    EXPECT_EQ(Value(f, QStringLiteral("SELECT v FROM p")), QStringLiteral("it's"));
}

TEST_F(ConnectionWindowTest, RoleAndTablespaceLookups)
{
    TfrmObject *f = Open();
    QStringList users{QStringLiteral("stale")};
    f->GetUser(users, true);
    ASSERT_FALSE(users.isEmpty());
    EXPECT_EQ(users.last(), QStringLiteral("public"));
    EXPECT_TRUE(users.contains(testdb::params().user));
    EXPECT_FALSE(users.contains(QStringLiteral("stale")));
    QStringList sorted = users.mid(0, users.size() - 1);
    EXPECT_EQ(sorted.join(QLatin1Char(',')),
              scalar(QStringLiteral("SELECT string_agg(rolname, ',' ORDER BY rolname) FROM pg_roles WHERE rolcanlogin")));

    QStringList roles;
    f->GetRole(roles);
    EXPECT_FALSE(roles.contains(QStringLiteral("public")));
    EXPECT_EQ(roles.join(QLatin1Char(',')),
              scalar(QStringLiteral("SELECT string_agg(rolname, ',' ORDER BY rolname) FROM pg_roles WHERE NOT rolcanlogin")));

    QStringList spaces;
    f->GetTBS(spaces);
    EXPECT_TRUE(spaces.contains(QStringLiteral("pg_default")));
    EXPECT_EQ(spaces.join(QLatin1Char(',')),
              scalar(QStringLiteral("SELECT string_agg(spcname, ',' ORDER BY spcname) FROM pg_tablespace")));
}

TEST_F(ConnectionWindowTest, ObjectComments)
{
    exec(QStringLiteral("CREATE TABLE ") + schema() + QStringLiteral(".c (id int)"));
    exec(QStringLiteral("COMMENT ON TABLE ") + schema() + QStringLiteral(".c IS '得意先'"));
    const int oid = scalar(QStringLiteral("SELECT '") + schema() + QStringLiteral(".c'::regclass::oid")).toInt();
    TfrmObject *f = Open();
    EXPECT_EQ(f->GetObjComment(45, oid), QStringLiteral("得意先"));
    EXPECT_EQ(f->GetObjComment(52, oid), QString());
    EXPECT_EQ(f->GetObjComment(4, oid), QString());
}

TEST_F(ConnectionWindowTest, ObjectListsOfOneSchema)
{
    exec(QStringLiteral("CREATE TABLE ") + schema() + QStringLiteral(".zeta (id int)"));
    exec(QStringLiteral("CREATE TABLE ") + schema() + QStringLiteral(".alpha (id int)"));
    exec(QStringLiteral("CREATE VIEW ") + schema() + QStringLiteral(".v1 AS SELECT 1 AS x"));
    exec(QStringLiteral("CREATE FUNCTION ") + schema() + QStringLiteral(".f(a int) RETURNS int LANGUAGE sql AS 'SELECT a'"));
    exec(QStringLiteral("CREATE FUNCTION ") + schema() + QStringLiteral(".f(a text) RETURNS text LANGUAGE sql AS 'SELECT a'"));
    TfrmObject *f = Open();
    struct Case {
        QString schemaName, type;
        QStringList expected;
    };
    const Case cases[] = {
        {schema(), QStringLiteral("TABLE"), {QStringLiteral("alpha"), QStringLiteral("zeta")}},
        {schema(), QStringLiteral("table"), {QStringLiteral("alpha"), QStringLiteral("zeta")}},
        {schema(), QStringLiteral("VIEW"), {QStringLiteral("v1")}},
        {schema(), QStringLiteral("FUNCTION"), {QStringLiteral("f"), QStringLiteral("f")}}, // once per overload
        {QString(), QStringLiteral("TABLE"), {}},
        {QStringLiteral("   "), QStringLiteral("TABLE"), {}},
        {QLatin1Char(' ') + schema(), QStringLiteral("TABLE"), {}}, // a non-blank schema is not trimmed
    };
    for (const Case &c : cases) {
        QStringList list{QStringLiteral("stale")};
        f->GetObject(list, c.schemaName, c.type);
        EXPECT_EQ(list, c.expected) << c.schemaName.toStdString() << " " << c.type.toStdString();
    }
    QStringList list{QStringLiteral("stale")};
    EXPECT_THROW(f->GetObject(list, schema(), QStringLiteral("INDEX")), db::Error);
    EXPECT_TRUE(list.isEmpty());
    EXPECT_THROW(f->GetObject(list, schema(), QString()), db::Error);
}

TEST_F(ConnectionWindowTest, DataTypesOfferedToTheEditors)
{
    exec(QStringLiteral("CREATE TYPE ") + schema() + QStringLiteral(".mood AS ENUM ('sad', 'ok')"));
    TfrmObject *f = Open();
    QStringList types;
    f->GetDataType(types, 45);
    for (const char *name : {"integer", "text", "serial", "bigserial", "interval YEAR", "interval DAY TO SECOND[]",
                             "time(6) with time zone", "timestamp(6) without time zone[]"})
        EXPECT_TRUE(types.contains(QString::fromLatin1(name))) << name;
    for (const char *name : {"trigger", "void", "record", "cstring", "any", "time with time zone"})
        EXPECT_FALSE(types.contains(QString::fromLatin1(name))) << name;
    EXPECT_TRUE(types.contains(schema() + QStringLiteral(".mood")));
    // Catalog types come first, user types after them.
    EXPECT_LT(types.indexOf(QStringLiteral("text")), types.indexOf(schema() + QStringLiteral(".mood")));
    // The kind of editor does not change the list (user types of other tests may come and go
    // meanwhile, so only the catalog types are compared).
    QStringList again;
    f->GetDataType(again, 52);
    const auto catalogOnly = [](const QStringList &l) {
        return l.filter(QRegularExpression(QStringLiteral("^[^.]*$")));
    };
    EXPECT_EQ(catalogOnly(again), catalogOnly(types));
}
