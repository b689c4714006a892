// Saved sources against the sandbox server: folders with and without a trailing separator,
// roles and schemas, numbering, the script-name table (hit, miss, dropped), the header line
// in the script's encoding, the save dialog, hostile names and failures raised to the editor.
#include "app/fmain.h"
#include "browser/fobject.h"
#include "browser/savedsource.h"
#include "core/kddialogsupport.h"
#include "core/kdeditorreg.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_service.h"
#include "support/qstring_printer.h"
#include "support/testdb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
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

QString ReadFile(const QString &path, TFileEncoding enc)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("<missing %1>").arg(path);
    return DecodeFileText(f.readAll(), enc);
}

class SavedSourceTest : public testdb::SchemaTest
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
        TkdOption::Global().Encoding = 2;
        TScriptOption::Global().NameTable.clear();
        Main->show();
        Flush();
        // A script entry that reads the catalog: a vanished table writes nothing.
        RegisterEditor(45, {}, [](TkdConnForm *owner, const TObjectArgs &a, TScriptSink &sink) {
            auto *form = dynamic_cast<TfrmObject *>(owner);
            db::Query *q = form->OpenSQL(QStringLiteral("SELECT c.relname FROM pg_class c JOIN pg_namespace n "
                                                        "ON n.oid = c.relnamespace WHERE n.nspname = :S AND c.relname = :N"),
                                         {a.Schema, a.ObjectName});
            const bool found = !q->isEmpty();
            q->close();
            if (found)
                sink.WriteScript({QStringLiteral("CREATE TABLE %1 (x int)").arg(a.ObjectName), QStringLiteral(";")});
            throw EAbort();
        });
        RegisterEditor(68, {}, [](TkdConnForm *, const TObjectArgs &a, TScriptSink &sink) {
            sink.WriteScript({QStringLiteral("CREATE ROLE %1").arg(a.ObjectName), QStringLiteral(";")});
        });
        RegisterEditor(4, {}, [](TkdConnForm *, const TObjectArgs &a, TScriptSink &sink) {
            sink.WriteScript({QStringLiteral("CREATE SCHEMA %1").arg(a.ObjectName), QStringLiteral(";")});
        });
        exec(QStringLiteral("CREATE TABLE %1.t1 (x int)").arg(schema()));
        Form = Open();
    }
    void TearDown() override
    {
        SetSaveFileHook({});
        ClearEditorRegistry();
        Main->SetCloseSteps({});
        Main->close();
        delete Main;
        Flush();
        TkdOption::Global().SaveBeforeSrc = TkdOption::Global().SaveAfterSrc = false;
        TkdOption::Global().SaveBeforeSrcRenum = TkdOption::Global().SaveBeforeSrcHead = false;
        TkdOption::Global().SaveBeforeSrcDialog = false;
        TkdOption::Global().Encoding = 0;
        TkdOption::Global().UpdateToCommit = false;
        TScriptOption::Global().NameTable.clear();
        testdb::SchemaTest::TearDown();
    }
    TfrmObject *Open()
    {
        const testdb::Params &p = testdb::params();
        return TfrmObject::Create({p.host, p.port, p.database, schema(), p.user, p.password});
    }
    void Before(const QString &dir, bool renum = false, bool head = false, bool dialog = false)
    {
        TkdOption &o = TkdOption::Global();
        o.SaveBeforeSrc = true;
        o.SaveBeforeSrcDir = dir;
        o.SaveBeforeSrcRenum = renum;
        o.SaveBeforeSrcHead = head;
        o.SaveBeforeSrcDialog = dialog;
    }

    TfrmMain *Main = nullptr;
    TfrmObject *Form = nullptr;
    QTemporaryDir Dir;
};

} // namespace

TEST_F(SavedSourceTest, OptionOffWritesNothing)
{
    TkdOption::Global().SaveBeforeSrc = false;
    TkdOption::Global().SaveBeforeSrcDir = Dir.path() + QStringLiteral("/");
    Form->SaveBeforeSource(schema(), QStringLiteral("t1"), 45);
    EXPECT_TRUE(QDir(Dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

TEST_F(SavedSourceTest, FolderFollowsTheDocumentedPaths)
{
    const QString base = Dir.path();
    struct Case { QString dir; QString schema; QString name; int code; QString file; };
    const QList<Case> cases = {
        // With a trailing separator, and without: the schema is appended directly.
        {base + "/src/", schema(), "t1", 45, base + "/src/" + schema() + "/TABLE/t1.SQL"},
        {base + "/src", schema(), "t1", 45, base + "/src" + schema() + "/TABLE/t1.SQL"},
        {base + "\\win\\", schema(), "t1", 45, base + "/win/" + schema() + "/TABLE/t1.SQL"},
        // A role: no schema, type folder ROLE; a schema: no type name.
        {base + "/src/", "", "r1", 68, base + "/src/ROLE/r1.SQL"},
        {base + "/src/", "", "s1", 4, base + "/src/s1.SQL"},
    };
    for (const Case &c : cases) {
        Before(c.dir);
        Form->SaveBeforeSource(c.schema, c.name, c.code);
        EXPECT_TRUE(QFileInfo::exists(c.file)) << c.file.toStdString();
        EXPECT_TRUE(ReadFile(c.file, TFileEncoding::Utf8).endsWith(QStringLiteral(";\r\n"))) << c.file.toStdString();
    }
    // Replaced at every change without numbering.
    Before(base + "/src/");
    Form->SaveBeforeSource(schema(), QStringLiteral("t1"), 45);
    EXPECT_EQ(QDir(base + "/src/" + schema() + "/TABLE").entryList(QDir::Files).size(), 1);
}

TEST_F(SavedSourceTest, NumberingTakesTheFirstFreeNumber)
{
    const QString dir = Dir.path() + QStringLiteral("/");
    Before(dir, true);
    const QString folder = dir + schema() + QStringLiteral("/TABLE/");
    Form->SaveBeforeSource(schema(), QStringLiteral("t1"), 45);
    Form->SaveBeforeSource(schema(), QStringLiteral("t1"), 45);
    Form->SaveBeforeSource(schema(), QStringLiteral("t1"), 45);
    EXPECT_TRUE(QFileInfo::exists(folder + "t1_02.SQL"));
    QFile::remove(folder + "t1_00.SQL");
    Form->SaveBeforeSource(schema(), QStringLiteral("t1"), 45);
    EXPECT_TRUE(QFileInfo::exists(folder + "t1_00.SQL"));
    for (int i = 0; i < 100; ++i) {
        QFile f(folder + QStringLiteral("t1_%1.SQL").arg(i, 2, 10, QLatin1Char('0')));
        f.open(QIODevice::WriteOnly);
    }
    Form->SaveBeforeSource(schema(), QStringLiteral("t1"), 45);
    EXPECT_TRUE(QFileInfo::exists(folder + "t1_100.SQL"));
    EXPECT_EQ(SavedSourceFile(folder.chopped(1), QStringLiteral("t1"), true), folder + "t1_100.SQL");
}

TEST_F(SavedSourceTest, NameTableGivesTheFileNameAndADroppedTableRaises)
{
    exec(QStringLiteral("CREATE TABLE %1.names (owner text, object_name text, object_type text, script_name text)").arg(schema()));
    exec(QStringLiteral("INSERT INTO %1.names VALUES ('%1', 't1', 'TABLE', 'customer_master')").arg(schema()));
    TScriptOption::Global().NameTable = {testdb::params().database + QStringLiteral("=") + schema() + QStringLiteral(".names")};
    const QString dir = Dir.path() + QStringLiteral("/");
    Before(dir);
    Form->SaveBeforeSource(schema(), QStringLiteral("t1"), 45);
    EXPECT_TRUE(QFileInfo::exists(dir + schema() + "/TABLE/customer_master.SQL"));
    exec(QStringLiteral("CREATE TABLE %1.t2 (x int)").arg(schema()));
    Form->SaveBeforeSource(schema(), QStringLiteral("t2"), 45);
    EXPECT_TRUE(QFileInfo::exists(dir + schema() + "/TABLE/t2.SQL"));
    // A hostile SCRIPT_NAME stays inside the folder.
    exec(QStringLiteral("UPDATE %1.names SET script_name = '../../../evil'").arg(schema()));
    Form->SaveBeforeSource(schema(), QStringLiteral("t1"), 45);
    EXPECT_TRUE(QFileInfo::exists(dir + schema() + "/TABLE/......evil.SQL"));
    exec(QStringLiteral("DROP TABLE %1.names").arg(schema()));
    EXPECT_THROW(Form->SaveBeforeSource(schema(), QStringLiteral("t1"), 45), std::exception);
}

TEST_F(SavedSourceTest, HeaderIsWrittenInTheScriptsEncoding)
{
    const QString dir = Dir.path() + QStringLiteral("/");
    Before(dir, false, true);
    TkdFormatSettings::Global().ShortDateFormat = QStringLiteral("yyyy/mm/dd");
    TkdFormatSettings::Global().LongTimeFormat = QStringLiteral("hh:nn:ss");
    for (int enc : {2, 3, 4, 0}) {
        TkdOption::Global().Encoding = enc;
        TkdOption::Global().SaveAfterSrc = true;
        TkdOption::Global().SaveAfterSrcDir = dir + QStringLiteral("after");
        TkdOption::Global().SaveAfterSrcHead = true;
        Form->SaveBeforeSource(schema(), QStringLiteral("t1"), 45);
        Form->SaveAfterSource(schema(), QStringLiteral("t1"), 45);
        const QString path = dir + schema() + "/TABLE/t1.SQL";
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) << enc;
        const QString text = DecodeFileText(bytes, GetFileEncoding(enc));
        const QStringList lines = text.split(QStringLiteral("\r\n"));
        ASSERT_GE(lines.size(), 3);
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^-- \\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d 変更前ソース$"))
                        .match(lines.at(0)).hasMatch()) << lines.at(0).toStdString();
        EXPECT_EQ(lines.at(1), QStringLiteral("CREATE TABLE t1 (x int)"));
        const QString after = ReadFile(dir + "after" + schema() + "/TABLE/t1.SQL", GetFileEncoding(enc));
        EXPECT_TRUE(after.startsWith(QStringLiteral("-- "))) << enc;
        EXPECT_TRUE(after.section(QStringLiteral("\r\n"), 0, 0).endsWith(QStringLiteral(" 変更後ソース")));
    }
    TkdFormatSettings::Global() = TkdFormatSettings();
    TkdOption::Global().SaveAfterSrcHead = false;
}

TEST_F(SavedSourceTest, DialogChoosesOrCancels)
{
    const QString dir = Dir.path() + QStringLiteral("/");
    Before(dir, false, false, true);
    TSaveFileRequest asked;
    SetSaveFileHook([&](const TSaveFileRequest &r) -> std::optional<QString> {
        asked = r;
        return std::nullopt;
    });
    EXPECT_NO_THROW(Form->SaveBeforeSource(schema(), QStringLiteral("t1"), 45));
    EXPECT_EQ(asked.Title, QStringLiteral("変更前ソースの保存"));
    EXPECT_EQ(asked.FileName, dir + schema() + "/TABLE/t1.SQL");
    EXPECT_FALSE(QFileInfo::exists(asked.FileName));
    const QString chosen = dir + QStringLiteral("chosen.txt");
    SetSaveFileHook([&](const TSaveFileRequest &) -> std::optional<QString> { return chosen; });
    Form->SaveBeforeSource(schema(), QStringLiteral("t1"), 45);
    EXPECT_TRUE(ReadFile(chosen, TFileEncoding::Utf8).startsWith(QStringLiteral("CREATE TABLE t1")));
}

TEST_F(SavedSourceTest, HostileNamesStayInsideTheBaseFolder)
{
    const QString base = Dir.path() + QStringLiteral("/base/");
    Before(base);
    const QString nasty = QStringLiteral("..");
    const QString table = QStringLiteral("../../x \"y\" 表") + QString(40, QLatin1Char('z'));
    exec(QStringLiteral("CREATE SCHEMA \"..\""));
    exec(QStringLiteral("CREATE TABLE \"..\".\"%1\" (x int)").arg(QString(table).replace("\"", "\"\"")));
    Form->SaveBeforeSource(nasty, table, 45);
    exec(QStringLiteral("DROP SCHEMA \"..\" CASCADE"));
    const QString file = base + QStringLiteral("_../TABLE/") + SafePathPart(table) + QStringLiteral(".SQL");
    EXPECT_TRUE(QFileInfo::exists(file)) << file.toStdString();
    // Nothing landed next to the base folder.
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{QStringLiteral("base")});
}

TEST_F(SavedSourceTest, FailuresRaiseToTheEditorNamingThePath)
{
    QFile blocker(Dir.path() + QStringLiteral("/file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Before(Dir.path() + QStringLiteral("/file/"));
    try {
        Form->SaveBeforeSource(schema(), QStringLiteral("t1"), 45);
        ADD_FAILURE() << "no error";
    } catch (const TkdFileError &e) {
        EXPECT_TRUE(e.Message().contains(Dir.path() + QStringLiteral("/file/"))) << e.Message().toStdString();
    }
    // A vanished object: the file is written, empty.
    Before(Dir.path() + QStringLiteral("/ok/"));
    Form->SaveBeforeSource(schema(), QStringLiteral("gone"), 45);
    EXPECT_EQ(QFileInfo(Dir.path() + "/ok/" + schema() + "/TABLE/gone.SQL").size(), 0);
}

TEST_F(SavedSourceTest, ConnectionWindowOpensAndScriptsThroughTheTable)
{
    TObjectArgs received;
    RegisterEditor(45, [&](TkdConnForm *owner, const TObjectArgs &a) -> QWidget * {
        received = a;
        auto *w = new TkdForm(owner->Widget());
        w->setWindowTitle(QStringLiteral("TABLE - ") + a.ObjectName);
        TkdMainForm::Instance()->AddChildWindow(w);
        return w;
    }, FindEditor(45)->Script);
    QWidget *w = Form->OpenObject(45, schema(), QStringLiteral("t1"), omData, false, 25);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(qobject_cast<TkdForm *>(w)->OwnerForm(), Form);
    EXPECT_EQ(received.DefTopRecord, 25);
    EXPECT_EQ(received.OpenMode, omData);
    EXPECT_EQ(Form->OpenObject(48, schema(), QStringLiteral("t1")), nullptr);
    TScriptSink sink;
    EXPECT_TRUE(Form->OutputScript(45, schema(), QStringLiteral("t1"), sink));
    EXPECT_EQ(sink.Lines(), (QStringList{QStringLiteral("CREATE TABLE t1 (x int)"), QStringLiteral(";")}));
    EXPECT_FALSE(Form->OutputScript(45, schema(), QStringLiteral("gone"), sink));
    EXPECT_EQ(sink.LineCount(), 2);
}
