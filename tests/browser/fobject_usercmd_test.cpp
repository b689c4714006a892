// User commands in the real connection window against the sandbox server: the submenu copied
// from the main window's menu ("&" shown), a run per selected object with the macros filled
// and the successes deselected, the ERROR flag (stop and show, or go on and count), DIALOG,
// SQLWINDOW with the real SQL window, the messages for files that cannot be used, and a
// failing command with UpdateToCommit off that leaves the pending change committable.
#include "objcommands_fixture.h"
#include "controls/kdmemo.h"
#include "core/kdsub_start.h"
#include "sqltools/fsql.h"
#include "support/testdb.h"

#include <QFile>

namespace {

using namespace objcmds;

class UserCommandTest : public ObjectCommandsTest
{
protected:
    void SetUp() override
    {
        // The data folder inside the program's private home (never the working folder,
        // which tests running at once share).
        InitializeSharedUnit();
        ObjectCommandsTest::SetUp();
        ASSERT_TRUE(QDir::isAbsolutePath(AppDataFolder()));
        FDir = AppDataFolder() + u("USERCMD/");
        QDir(FDir).removeRecursively();
        QDir().mkpath(FDir);
    }
    void TearDown() override
    {
        QDir(FDir).removeRecursively();
        kdopeners::Clear();
        ObjectCommandsTest::TearDown();
    }
    void Write(const QString &name, const QString &body)
    {
        QFile file(FDir + name + u(".cmd"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(body.toUtf8());
    }
    // A version-2 command file.
    void Command(const QString &name, const QString &sql, bool dialog = false, bool sqlWindow = false, bool error = false)
    {
        auto b = [](bool v) { return v ? u("True") : u("False"); };
        Write(name, u("<?xml version=\"1.0\"?><KDDOC KDDOC-VERSION=\"2\"><USERCMD SEQ=\"0\" NAME=\"x\" DIALOG=\"%1\" "
                      "SQLWINDOW=\"%2\" ERROR=\"%3\" SQL=\"%4\"/></KDDOC>")
                        .arg(b(dialog), b(sqlWindow), b(error), sql.toHtmlEscaped()));
    }
    // The main window rebuilds its menu and every connection window its copy.
    static void Rebuild(TfrmMain *main) { main->SetCommandList(); }
    static QAction *Item(TfrmObject *f, const QString &name)
    {
        for (QAction *a : f->mnuCommand->actions())
            if (a->property("commandName").toString() == name)
                return a;
        return nullptr;
    }
    void Run(TfrmObject *f, const QString &name)
    {
        QAction *a = Item(f, name);
        ASSERT_NE(a, nullptr) << name.toStdString();
        Boxes.clear();
        a->trigger();
        Flush();
    }
    QString FDir;
};

TEST_F(UserCommandTest, SubmenuCopiesTheMainMenuAndShowsAmpersands)
{
    Command(u("A&B"), u("SELECT 1"));
    Command(u("plain"), u("SELECT 1"));
    TfrmObject *f = Open();
    // at creation the window copies what the main window lists
    Rebuild(Main);
    QStringList captions;
    for (QAction *a : f->mnuCommand->actions())
        captions << a->text();
    EXPECT_EQ(captions, (QStringList{u("A&&B"), u("plain")}));
    EXPECT_TRUE(f->mnuCommand->isEnabled());
    // the item runs the file of its own name
    Run(f, u("A&B"));
    EXPECT_EQ(Boxes, QStringList{u("コマンドを実行しました。")});
    // a second window built afterwards copies the menu at creation
    TfrmObject *g = Open();
    EXPECT_EQ(g->mnuCommand->actions().size(), 2);
    QDir(FDir).removeRecursively();
    Rebuild(Main);
    EXPECT_TRUE(f->mnuCommand->isEmpty());
    f->mnuObjectClick();
    EXPECT_FALSE(f->mnuCommand->isEnabled());
    g->close();
    Flush();
    f->close();
    Flush();
}

TEST_F(UserCommandTest, RunPerSelectedObjectFillsMacrosAndDeselectsSuccesses)
{
    exec(u("CREATE TABLE log (name text, owner text)"));
    for (const char *t : {"u1", "u2", "u3"})
        exec(u("CREATE TABLE %1 (a int CHECK (a > 0))").arg(u(t)));
    Command(u("logit"), u("INSERT INTO log VALUES ('&name', '&OWNER')"));
    TfrmObject *f = Open();
    Rebuild(Main);
    SelectType(f, 45);
    SelectRows(f, {u("u1"), u("u2"), u("u3")});
    Run(f, u("logit"));
    EXPECT_EQ(scalar(u("SELECT string_agg(name || '/' || owner, ',' ORDER BY name) FROM log")),
              u("u1/%1,u2/%1,u3/%1").arg(schema()));
    EXPECT_TRUE(SelectedNames(f).isEmpty());
    EXPECT_EQ(Boxes, QStringList{u("コマンドを実行しました。")});

    // with nothing selected nothing runs and nothing is shown
    Run(f, u("logit"));
    EXPECT_TRUE(Boxes.isEmpty());
    EXPECT_EQ(scalar(u("SELECT count(*) FROM log")), u("3"));
    f->close();
    Flush();
}

TEST_F(UserCommandTest, ErrorFlagStopsAndShowsOrGoesOnAndCounts)
{
    exec(u("CREATE TABLE e1 (a int)"));
    exec(u("CREATE TABLE e2 (a int CHECK (a < 0))"));
    exec(u("CREATE TABLE e3 (a int)"));
    Command(u("stop"), u("INSERT INTO &NAME VALUES (1)"));
    Command(u("goon"), u("INSERT INTO &NAME VALUES (1)"), false, false, true);
    Command(u("once"), u("INSERT INTO e2 VALUES (1)"), false, false, true);
    TfrmObject *f = Open();
    Rebuild(Main);
    SelectType(f, 45);

    // ERROR off: the failure is shown with its statement; it and the later ones stay selected
    SelectRows(f, {u("e1"), u("e2"), u("e3")});
    Run(f, u("stop"));
    ASSERT_EQ(Boxes.size(), 1);
    EXPECT_TRUE(Boxes.first().endsWith(u("\r\n\r\nINSERT INTO e2 VALUES (1)"))) << Boxes.first().toStdString();
    EXPECT_EQ(SelectedNames(f), (QStringList{u("e2"), u("e3")}));
    EXPECT_EQ(scalar(u("SELECT count(*) FROM e3")), u("0"));

    // ERROR on: the others run, the failed one stays selected, the end message counts it
    SelectRows(f, {u("e1"), u("e2"), u("e3")});
    Run(f, u("goon"));
    EXPECT_EQ(SelectedNames(f), QStringList{u("e2")});
    EXPECT_EQ(scalar(u("SELECT count(*) FROM e3")), u("1"));
    ASSERT_EQ(Boxes.size(), 1);
    EXPECT_TRUE(Boxes.first().startsWith(u("コマンドを実行しました。")));
    EXPECT_TRUE(Boxes.first().contains(u("1 件"))) << Boxes.first().toStdString();

    // a single run that fails with ERROR on is not reported as plain success
    Run(f, u("once"));
    ASSERT_EQ(Boxes.size(), 1);
    EXPECT_NE(Boxes.first(), u("コマンドを実行しました。"));
    EXPECT_TRUE(Boxes.first().contains(u("1 件")));
    f->close();
    Flush();
}

TEST_F(UserCommandTest, DialogNoRunsNothingAndYesRuns)
{
    exec(u("CREATE TABLE d1 (a int)"));
    Command(u("ask"), u("INSERT INTO d1 VALUES (1)"), true);
    TfrmObject *f = Open();
    Rebuild(Main);
    Answer = [](MessageBoxRequest &r) { return r.flags & MB_YESNO ? IDNO : IDOK; };
    Run(f, u("ask"));
    EXPECT_EQ(Boxes, QStringList{u("ask を実行しますか？")});
    EXPECT_EQ(scalar(u("SELECT count(*) FROM d1")), u("0"));
    Answer = [](MessageBoxRequest &r) { return r.flags & MB_YESNO ? IDYES : IDOK; };
    Run(f, u("ask"));
    EXPECT_EQ(Boxes, (QStringList{u("ask を実行しますか？"), u("コマンドを実行しました。")}));
    EXPECT_EQ(scalar(u("SELECT count(*) FROM d1")), u("1"));
    f->close();
    Flush();
}

TEST_F(UserCommandTest, SqlWindowPerObjectOpensTheRealSqlWindowWithItsText)
{
    RegisterSQLWindow();
    exec(u("CREATE TABLE w1 (a int)"));
    exec(u("CREATE TABLE w2 (a int)"));
    Command(u("win"), u("SELECT count(*) FROM &NAME"), false, true);
    TfrmObject *f = Open();
    Rebuild(Main);
    SelectType(f, 45);
    SelectRows(f, {u("w1"), u("w2")});
    const int before = int(Main->ChildWindows().size());
    Run(f, u("win"));
    QStringList texts;
    for (QWidget *w : Main->ChildWindows())
        if (auto *sql = qobject_cast<TfrmSQL *>(w))
            texts << sql->txtSQL->text();
    EXPECT_EQ(int(Main->ChildWindows().size()), before + 2);
    EXPECT_EQ(texts, (QStringList{u("SELECT count(*) FROM w1"), u("SELECT count(*) FROM w2")}));
    EXPECT_TRUE(Boxes.isEmpty()); // no completion message
    for (QWidget *w : Main->ChildWindows())
        if (qobject_cast<TfrmSQL *>(w))
            w->close();
    Flush();
    f->close();
    Flush();
}

TEST_F(UserCommandTest, FilesThatCannotBeUsedGiveTheirMessageOnlyFromTheWindowsMenu)
{
    struct Case {
        const char *Name;
        const char *Body; // nullptr: the file is gone after the menu was built
        const char *Message;
    } cases[] = {
        {"v3", "<KDDOC KDDOC-VERSION=\"3\"><USERCMD SQL=\"SELECT 1\"/></KDDOC>", "このバージョンのファイルには対応していません。"},
        {"nover", "<KDDOC><USERCMD SQL=\"SELECT 1\"/></KDDOC>", "このバージョンのファイルには対応していません。"},
        {"other", "<OTHER KDDOC-VERSION=\"1\"><USERCMD SQL=\"SELECT 1\"/></OTHER>", "このバージョンのファイルには対応していません。"},
        {"junk", "not xml at all", "このバージョンのファイルには対応していません。"},
        {"gone", nullptr, "ファイルを開けません。"},
    };
    for (const Case &c : cases)
        Write(u(c.Name), c.Body ? u(c.Body) : u("<KDDOC KDDOC-VERSION=\"2\"><USERCMD SQL=\"SELECT 1\"/></KDDOC>"));
    TfrmObject *f = Open();
    Rebuild(Main);
    for (const Case &c : cases)
        if (!c.Body)
            QFile::remove(FDir + u(c.Name) + u(".cmd"));
    for (const Case &c : cases) {
        Run(f, u(c.Name));
        ASSERT_EQ(Boxes.size(), 1) << c.Name;
        EXPECT_TRUE(Boxes.first().startsWith(u(c.Message))) << c.Name << ": " << Boxes.first().toStdString();
        // the main window's item of the same command shows nothing
        QAction *mainItem = nullptr;
        for (QAction *a : Main->mnuCommandMenu->actions())
            if (a->property("commandName").toString() == u(c.Name))
                mainItem = a;
        ASSERT_NE(mainItem, nullptr) << c.Name;
        Boxes.clear();
        mainItem->trigger();
        Flush();
        EXPECT_TRUE(Boxes.isEmpty()) << c.Name;
    }
    f->close();
    Flush();
}

TEST_F(UserCommandTest, FailingCommandWithUpdateToCommitOffKeepsThePendingChange)
{
    TkdOption::Global().UpdateToCommit = false;
    Command(u("bad"), u("SELECT * FROM no_such_table"));
    TfrmObject *f = Open();
    Rebuild(Main);
    f->ExecuteSQL(u("CREATE TABLE pending_two (a int)"));
    Run(f, u("bad"));
    ASSERT_EQ(Boxes.size(), 1);
    EXPECT_TRUE(Boxes.first().contains(u("no_such_table")));
    f->ExecuteSQL(u("COMMIT"));
    EXPECT_TRUE(Exists(u("pending_two")));
    f->close();
    Flush();
}

} // namespace
