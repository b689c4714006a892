// The user list window against the sandbox server: opened by the main window's and the
// connection window's command (one window per connection), the three tabs with the logon
// user's image and the server's predefined roles, opening rows in editors, rename in place
// (same text runs nothing, a refused rename keeps the old caption), the drop loop with the
// counts of dropped and failed rows, script files that follow the overwrite option and
// names made safe (grant files in the kind's folder, none for schemas), 10,000 login roles
// filled with progress and stopped by Esc, closing with the connection, and a screenshot.
#include "app/fmain.h"
#include "controls/kdcomctrls.h"
#include "core/kdopeners.h"
#include "editors/role_editor.h"
#include "editors/user_list.h"
#include "editors/tablespace_fixture.h"
#include "support/testdb.h"

#include <QAction>
#include <QComboBox>
#include <QDirIterator>
#include <QKeyEvent>
#include <QTabWidget>
#include <QThread>
#include <QTreeWidgetItem>

namespace {

class UserListTest : public TablespaceDbTest
{
protected:
    void SetUp() override
    {
        EditorDbTest::SetUp();
        Main->activateWindow();
        FlushEvents();
    }
    void TearDown() override
    {
        kdopeners::Register(QStringLiteral("TfrmScriptOption"), {});
        TablespaceDbTest::TearDown();
    }
    TfrmUserList *OpenList()
    {
        Main->FindAction("actAdminUser")->trigger();
        FlushEvents();
        return Main->FindWindow<TfrmUserList>(TfrmUserList::CaptionFor(Conn), false);
    }
    static QTreeWidgetItem *Row(TfrmUserList *w, const QString &name)
    {
        const QList<QTreeWidgetItem *> hits = w->lstObject->findItems(name, Qt::MatchExactly, 0);
        return hits.isEmpty() ? nullptr : hits.first();
    }
    static void Select(TfrmUserList *w, const QStringList &names)
    {
        w->lstObject->clearSelection();
        for (const QString &n : names)
            if (QTreeWidgetItem *i = Row(w, n))
                i->setSelected(true);
    }
    bool RoleExists(const QString &name)
    {
        return scalar("SELECT count(*) FROM pg_roles WHERE rolname = " + QuoteLiteral(name)) == "1";
    }
    // The options dialog answered: the given path and options, OK.
    void AnswerScriptOptions(const QString &path)
    {
        kdopeners::Register(QStringLiteral("TfrmScriptOption"), [path](const TOpenerArgs &a) -> QWidget * {
            *kdopeners::OpenerOut<QString>(a.Values, "ScriptPath") = path;
            *kdopeners::OpenerOut<bool>(a.Values, "Accepted") = true;
            return nullptr;
        });
    }
};

TEST_F(UserListTest, OpensOncePerConnectionWithTheThreeTabs)
{
    const QString u = Role(testdb::uniqueName("u"), "LOGIN");
    const QString g = Role(testdb::uniqueName("g"));
    TfrmUserList *w = OpenList();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "ユーザー情報 - " + Conn->Identity());
    EXPECT_EQ(w->cmbDBName->currentText(), Conn->Identity());
    // The connection window's command raises the same window.
    const qsizetype count = Main->ChildWindows().size();
    Conn->Action("actUser")->trigger();
    FlushEvents();
    EXPECT_EQ(Main->ChildWindows().size(), count);

    EXPECT_EQ(w->TabCode(), 3);
    EXPECT_EQ(w->lstObject->columnCount(), 9);
    ASSERT_NE(Row(w, u), nullptr);
    EXPECT_EQ(Row(w, u)->data(0, Qt::UserRole).toInt(), 2);
    ASSERT_NE(Row(w, testdb::params().user), nullptr);
    EXPECT_EQ(Row(w, testdb::params().user)->data(0, Qt::UserRole).toInt(), 3) << "the logon user";
    EXPECT_EQ(Row(w, testdb::params().user)->text(2), "True");
    EXPECT_EQ(Row(w, g), nullptr);

    w->SetTab(68);
    FlushEvents();
    EXPECT_EQ(w->lstObject->columnCount(), 8);
    ASSERT_NE(Row(w, g), nullptr);
    EXPECT_EQ(Row(w, g)->text(2), "False");
    EXPECT_NE(Row(w, "pg_read_all_data"), nullptr) << "predefined roles are group roles";
    EXPECT_EQ(Row(w, u), nullptr);

    w->SetTab(4);
    FlushEvents();
    ASSERT_NE(Row(w, schema()), nullptr);
    EXPECT_EQ(Row(w, schema())->text(1), testdb::params().user);
    EXPECT_NE(Row(w, "pg_catalog"), nullptr);
    EXPECT_EQ(Row(w, "pg_toast"), nullptr);
    Select(w, {schema()});
    EXPECT_TRUE(w->actExport->isEnabled());

    // Open: the editors of the selected rows, which are then deselected.
    w->SetTab(68);
    FlushEvents();
    Select(w, {g});
    w->actOpen->trigger();
    FlushEvents();
    EXPECT_NE(Main->FindWindow<TfrmRole>(TObjectEditor::CaptionFor(Conn, TfrmRole::RolePolicy(), QString(), g), false),
              nullptr);
    EXPECT_TRUE(w->lstObject->selectedItems().isEmpty());
}

TEST_F(UserListTest, RenameInPlace)
{
    const QString g = Role(testdb::uniqueName("g"));
    const QString renamed = g + "_new";
    Roles << renamed;
    TBoxes boxes;
    TfrmUserList *w = OpenList();
    ASSERT_NE(w, nullptr);
    w->SetTab(68);
    FlushEvents();
    QTreeWidgetItem *row = Row(w, g);
    ASSERT_NE(row, nullptr);
    QString same = g;
    w->RenameRow(row, same);
    EXPECT_TRUE(same.isEmpty()) << "the same text runs nothing and keeps the caption";
    QString text = renamed;
    ASSERT_TRUE(GuardedCall([&] { w->RenameRow(row, text); }));
    EXPECT_EQ(text, renamed);
    EXPECT_TRUE(RoleExists(renamed));
    EXPECT_FALSE(RoleExists(g));

    // The logon user cannot be renamed: the server's message, the old caption stays.
    w->SetTab(3);
    FlushEvents();
    QTreeWidgetItem *me = Row(w, testdb::params().user);
    ASSERT_NE(me, nullptr);
    QString other = testdb::uniqueName("me");
    w->lstObject->OnEdited(w->lstObject, me, other);
    EXPECT_TRUE(other.isEmpty());
    EXPECT_EQ(boxes.Flags.last() & 0xF0, MB_ICONERROR);
    EXPECT_TRUE(RoleExists(testdb::params().user));
}

TEST_F(UserListTest, DropReportsDroppedAndFailedRows)
{
    const QString a = Role(testdb::uniqueName("a"), "LOGIN"), b = Role(testdb::uniqueName("b"), "LOGIN"),
                  c = Role(testdb::uniqueName("c"), "LOGIN");
    // a and c own objects: the server refuses their DROP.
    exec("CREATE TABLE " + schema() + ".owned_a (x int)");
    exec("ALTER TABLE " + schema() + ".owned_a OWNER TO " + a);
    exec("CREATE TABLE " + schema() + ".owned_c (x int)");
    exec("ALTER TABLE " + schema() + ".owned_c OWNER TO " + c);
    TBoxes boxes;
    TfrmUserList *w = OpenList();
    ASSERT_NE(w, nullptr);
    Select(w, {a, b, c});
    boxes.OnBox = [](MessageBoxRequest &r) {
        if (r.text == "オブジェクトを削除しますか？") {
            ASSERT_EQ(r.items.size(), 1);
            r.items[0].Checked = true;
        }
    };
    boxes.Answers = {IDYES};
    w->actDelete->trigger();
    FlushEvents();
    EXPECT_FALSE(RoleExists(b));
    EXPECT_TRUE(RoleExists(a));
    EXPECT_TRUE(RoleExists(c));
    EXPECT_EQ(Row(w, b), nullptr);
    ASSERT_NE(Row(w, a), nullptr);
    EXPECT_TRUE(Row(w, a)->isSelected());
    EXPECT_TRUE(Row(w, c)->isSelected());
    const QString text = boxes.Texts.last();
    EXPECT_NE(text, "オブジェクトが削除されました。");
    EXPECT_TRUE(text.contains("1 個のオブジェクトを削除しました。")) << text.toStdString();
    EXPECT_TRUE(text.contains("削除されずに残ったオブジェクト: 2 個")) << text.toStdString();
    EXPECT_TRUE(text.contains(a)) << text.toStdString();

    // A single failing row: the server's message with the error icon, errors ignored or not.
    Select(w, {a});
    boxes.Answers = {IDYES};
    w->actDelete->trigger();
    FlushEvents();
    EXPECT_EQ(boxes.Flags.last() & 0xF0, MB_ICONERROR);
    EXPECT_NE(Row(w, a), nullptr);

    // Once the objects are gone, both go and the plain message comes.
    exec("DROP TABLE " + schema() + ".owned_a, " + schema() + ".owned_c");
    Select(w, {a, c});
    boxes.Answers = {IDYES};
    w->actDelete->trigger();
    FlushEvents();
    EXPECT_EQ(boxes.Texts.last(), "オブジェクトが削除されました。");
    EXPECT_FALSE(RoleExists(a));
    EXPECT_FALSE(RoleExists(c));
    TkdOption::Global().DelErr = false;
}

TEST_F(UserListTest, ScriptFilesFollowTheOverwriteOptionAndSafeNames)
{
    const QString u = Role(testdb::uniqueName("u"), "LOGIN");
    const QString odd = Role(testdb::uniqueName("a/b"), "LOGIN");
    exec("GRANT SELECT ON ALL TABLES IN SCHEMA " + schema() + " TO " + u);
    exec("CREATE TABLE " + schema() + ".granted (x int)");
    exec("GRANT SELECT ON " + schema() + ".granted TO " + u);
    QTemporaryDir out;
    const QString path = out.path() + "/";
    AnswerScriptOptions(out.path());
    TScriptOption &opt = TScriptOption::Global();
    const TScriptOption saved = opt;
    opt.OneScript = false;
    opt.Dir = true;
    opt.Grant = true;
    opt.GrantMode = 2;
    opt.SameName = false;
    TBoxes boxes;
    TfrmUserList *w = OpenList();
    ASSERT_NE(w, nullptr);
    auto run = [&](const QStringList &names) {
        Select(w, names);
        w->actScript->trigger();
        FlushEvents();
    };
    auto read = [](const QString &file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString("<missing>");
    };
    run({u, odd});
    EXPECT_EQ(boxes.Texts.last(), "スクリプトが出力されました。");
    const QString script = read(path + "USER/" + u + ".SQL");
    EXPECT_TRUE(script.startsWith("CREATE USER " + u)) << script.toStdString();
    EXPECT_TRUE(QFile::exists(path + "USER/" + SafeFileName(odd) + ".SQL")) << "a name with / stays in the folder";
    const QString grants = read(path + "USER/_GRANT.SQL");
    EXPECT_TRUE(grants.contains("GRANT SELECT ON")) << grants.toStdString();
    EXPECT_TRUE(grants.contains("granted")) << grants.toStdString();

    // Overwrite off: the file is appended to; on: replaced.
    run({u});
    EXPECT_EQ(read(path + "USER/" + u + ".SQL"), script + script);
    opt.SameName = true;
    run({u});
    EXPECT_EQ(read(path + "USER/" + u + ".SQL"), script);

    // Schemas never write grant files.
    QDir(path).removeRecursively();
    QDir().mkpath(path);
    w->SetTab(4);
    FlushEvents();
    run({schema()});
    EXPECT_TRUE(QFile::exists(path + schema() + ".SQL"));
    QDirIterator it(path, QDir::Files, QDirIterator::Subdirectories);
    int files = 0;
    while (it.hasNext()) {
        it.next();
        ++files;
    }
    EXPECT_EQ(files, 1);
    opt = saved;
}

TEST_F(UserListTest, TenThousandLoginRolesFillWithProgressAndEscStops)
{
    const QString prefix = testdb::uniqueName("bulk");
    exec("DO $$BEGIN FOR i IN 1..10000 LOOP EXECUTE format('CREATE ROLE %I LOGIN', '" + prefix
         + "_' || i); END LOOP; END$$");
    struct TDrop {
        std::function<void()> f;
        ~TDrop() { f(); }
    } drop{[this, prefix] {
        exec("DO $$DECLARE r text; BEGIN FOR r IN SELECT rolname FROM pg_roles WHERE rolname LIKE '" + prefix
             + "\\_%' LOOP EXECUTE format('DROP ROLE %I', r); END LOOP; END$$");
    }};
    TfrmUserList *w = OpenList();
    ASSERT_NE(w, nullptr);
    EXPECT_GE(w->lstObject->topLevelItemCount(), 10000);
    EXPECT_NE(Row(w, prefix + "_10000"), nullptr);

    // With Progress on the rows show one by one; Esc ends the fill early.
    TkdOption::Global().Progress = true;
    QCoreApplication::postEvent(w->lstObject, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    w->Reload();
    const int filled = w->lstObject->topLevelItemCount();
    EXPECT_LT(filled, 10000);
    TkdOption::Global().Progress = false;
    FlushEvents();
    // The fill's waits for the server hand the event loop over sooner; the connection's usual
    // delay comes back afterwards.
    const QList<int> delays = WaitDelaysOfStatements([w] { w->Reload(); });
    EXPECT_GE(w->lstObject->topLevelItemCount(), 10000);
    ASSERT_FALSE(delays.isEmpty());
    EXPECT_EQ(delays, QList<int>(delays.size(), db::kFillCallWaitDelayMs));
    EXPECT_EQ(Conn->dbsMain()->callWaitDelay(), db::kCallWaitDelayMs);
}

TEST_F(UserListTest, OnlyTrueOrFalseColumnsReadTrueOrFalse)
{
    // Names and validity texts that read "t" or "f" stay as they are; the attribute columns
    // read "True" / "False"; a column the server leaves NULL is empty.
    const QString t = Role("t", "LOGIN CREATEDB");
    const QString f = Role("f");
    TfrmUserList *w = OpenList();
    ASSERT_NE(w, nullptr);
    QTreeWidgetItem *user = Row(w, t);
    ASSERT_NE(user, nullptr) << "the login role named t is listed under its name";
    EXPECT_EQ(user->text(0), "t");
    EXPECT_EQ(user->text(2), "False"); // rolsuper
    EXPECT_EQ(user->text(3), "True");  // rolcreatedb
    EXPECT_EQ(user->text(5), "True");  // rolinherit
    EXPECT_EQ(user->text(6), "");      // no catalog-update column on this server
    EXPECT_EQ(user->text(7), "");      // no expiry
    EXPECT_EQ(user->data(0, Qt::UserRole).toInt(), 2);
    EXPECT_EQ(user->text(1), scalar("SELECT oid FROM pg_roles WHERE rolname = 't'"));
    w->SetTab(68);
    FlushEvents();
    QTreeWidgetItem *role = Row(w, f);
    ASSERT_NE(role, nullptr);
    EXPECT_EQ(role->text(0), "f");
    EXPECT_EQ(role->text(2), "False");
    EXPECT_EQ(role->data(0, Qt::UserRole).toInt(), 68);

    // The rows follow the list's order.
    QStringList names;
    for (int i = 0; i < w->lstObject->topLevelItemCount(); ++i)
        names << w->lstObject->topLevelItem(i)->text(0);
    QStringList sorted = names;
    std::stable_sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) {
        return QString::localeAwareCompare(a, b) < 0;
    });
    EXPECT_EQ(names, sorted);
}

TEST_F(UserListTest, ClosesWithItsConnectionAndScreenshot)
{
    Role(testdb::uniqueName("u"), "LOGIN");
    TfrmUserList *w = OpenList();
    ASSERT_NE(w, nullptr);
    w->resize(940, 360);
    FlushEvents();
    const QImage shot = w->grab().toImage();
    EXPECT_FALSE(shot.isNull());
    shot.save("/tmp/vantor-user-list.png");
    QPointer<TfrmUserList> alive(w);
    if (auto *sub = qobject_cast<QMdiSubWindow *>(Conn->parentWidget()))
        sub->close();
    else
        Conn->close();
    FlushEvents();
    EXPECT_FALSE(alive) << "the list closes with its connection";
}

} // namespace
