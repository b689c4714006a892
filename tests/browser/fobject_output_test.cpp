// Script output, full-text search and the options dialog of the real connection window
// against the sandbox server. The scripts come from a table script registered in the editor
// table, so the files show exactly what the command wrote where.
#include "objcommands_fixture.h"
#include "support/testdb.h"
#include "support/modal.h"

#include "browser/fgrep.h"
#include "browser/fsoption.h"
#include "browser/scriptout.h"
#include "core/kdscriptbatch.h"
#include "core/kdsub_service.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

namespace {

using namespace objcmds;

template <class D>
void onDialog(std::function<void(D *)> Act)
{
    OnModalDialog<D>(std::move(Act));
}

QString ReadAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("<missing>");
    return QString::fromUtf8(f.readAll());
}

class ScriptOutputTest : public ObjectCommandsTest
{
protected:
    void SetUp() override
    {
        ObjectCommandsTest::SetUp();
        TScriptOption &o = TScriptOption::Global();
        o.OneScript = false;
        o.Dir = false;
        o.SameName = true;
        o.Grant = false;
        o.GrantMode = 0;
        o.NameTable.clear();
        o.Insert = true;
        // Tables have a script; views do not (no script builder).
        RegisterEditor(45, {}, [this](TkdConnForm *, const TObjectArgs &a, TScriptSink &s) {
            InsertSeen << TScriptOption::Global().Insert;
            s.WriteScript({u("CREATE TABLE ") + a.Schema + u(".") + a.ObjectName + u(" (Marker int);")});
        });
        RegisterEditor(46, {}, [](TkdConnForm *, const TObjectArgs &a, TScriptSink &s) {
            s.WriteScript({u("CREATE INDEX ") + a.ObjectName + u(";")});
        });
    }
    // Runs the script output with the dialog answered: folder or file `path`.
    void RunScript(TfrmObject *f, const QString &path)
    {
        onDialog<TfrmScriptOption>([path](TfrmScriptOption *d) {
            d->txtDir->setText(path);
            d->btnOk->click();
        });
        f->Action(u("actScript"))->trigger();
    }
    QList<bool> InsertSeen;
};

TEST_F(ScriptOutputTest, FilesGrantsAndEmptyScriptsCounted)
{
    exec(u("CREATE TABLE t1 (a int PRIMARY KEY)"));
    exec(u("CREATE TABLE \"../x\" (a int)"));
    exec(u("CREATE TABLE t3 (a int)"));
    exec(u("GRANT SELECT ON t1 TO PUBLIC"));
    exec(u("GRANT SELECT ON t3 TO PUBLIC"));
    QTemporaryDir tmp;
    const QString out = tmp.path() + u("/out");
    TScriptOption &o = TScriptOption::Global();
    o.Grant = true;
    o.GrantMode = 2;
    TfrmObject *f = Open();
    SelectType(f, 45);
    f->lstObject->selectAll();
    Boxes.clear();
    RunScript(f, out);
    ASSERT_FALSE(Boxes.isEmpty());
    EXPECT_EQ(Boxes.last(), u("スクリプトが出力されました。"));
    EXPECT_TRUE(ReadAll(out + u("/t1.SQL")).contains(u("CREATE TABLE ") + schema() + u(".t1")));
    EXPECT_TRUE(ReadAll(out + u("/t3.SQL")).contains(u("Marker")));
    // the hostile name stays inside the folder
    const QStringList files = QDir(out).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(files.size(), 4) << files.join(u(",")).toStdString();
    EXPECT_FALSE(QFile::exists(tmp.path() + u("/x.SQL")));
    const QString grants = ReadAll(out + u("/_GRANT.SQL"));
    EXPECT_TRUE(grants.contains(u("t1")) && grants.contains(u("t3"))) << grants.toStdString();
    EXPECT_TRUE(f->lstObject->SelectedRows().isEmpty());
    // the path was stored with its separator
    EXPECT_EQ(o.Path, out + u("/"));

    // SameName off: the shared grant file is continued
    o.SameName = false;
    SelectType(f, 45);
    f->lstObject->selectAll();
    RunScript(f, out);
    EXPECT_EQ(ReadAll(out + u("/_GRANT.SQL")).count(u("t1")), 2 * grants.count(u("t1")));

    // a view has no script builder: counted in the end message
    exec(u("CREATE VIEW v1 AS SELECT 1 AS a"));
    o.Grant = false;
    SelectType(f, 47);
    f->lstObject->selectAll();
    Boxes.clear();
    RunScript(f, out);
    EXPECT_TRUE(Boxes.last().contains(schema() + u(".v1"))) << Boxes.last().toStdString();
    f->close();
    Flush();
}

TEST_F(ScriptOutputTest, OneFileAndFoldersInBothOrders)
{
    exec(u("CREATE TABLE b (a int)"));
    exec(u("CREATE TABLE a (a int PRIMARY KEY)"));
    exec(u("CREATE INDEX a_ix ON a (a)"));
    QTemporaryDir tmp;
    TScriptOption &o = TScriptOption::Global();
    TfrmObject *f = Open();

    // one file: emptied first, every script in selection order
    o.OneScript = true;
    const QString one = tmp.path() + u("/all.sql");
    QFile old(one);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("OLD CONTENT\r\n");
    old.close();
    SelectType(f, 45);
    f->lstObject->selectAll();
    RunScript(f, one);
    const QString all = ReadAll(one);
    EXPECT_FALSE(all.contains(u("OLD CONTENT")));
    EXPECT_LT(all.indexOf(u(".a ")), all.indexOf(u(".b "))) << all.toStdString();

    // index backing a key is not written on its own
    o.OneScript = false;
    o.Dir = true;
    SelectType(f, 46);
    f->lstObject->selectAll();
    RunScript(f, tmp.path() + u("/d1"));
    EXPECT_TRUE(QFile::exists(tmp.path() + u("/d1/") + schema() + u("/INDEX/a_ix.SQL")));
    EXPECT_FALSE(QFile::exists(tmp.path() + u("/d1/") + schema() + u("/INDEX/a_pkey.SQL")));

    // types first
    f->FTreePane->btnTree2->click();
    Flush();
    QTreeWidgetItem *tables = nullptr;
    for (int c = 0; c < f->trvObject->topLevelItem(0)->childCount(); ++c)
        if (f->trvObject->topLevelItem(0)->child(c)->text(0) == u("TABLE"))
            tables = f->trvObject->topLevelItem(0)->child(c);
    ASSERT_NE(tables, nullptr);
    QTreeWidgetItem *schemaNode = nullptr;
    for (int c = 0; c < tables->childCount(); ++c)
        if (tables->child(c)->text(0) == schema())
            schemaNode = tables->child(c);
    ASSERT_NE(schemaNode, nullptr);
    Select(f, schemaNode);
    f->lstObject->selectAll();
    RunScript(f, tmp.path() + u("/d2"));
    EXPECT_TRUE(QFile::exists(tmp.path() + u("/d2/TABLE/") + schema() + u("/a.SQL")));
    f->close();
    Flush();
}

// Script output, print and search announce the selected objects to a batch before the
// first script, with the names each script receives, so that the editors may read their
// catalogs together; the batch ends with the command.
TEST_F(ScriptOutputTest, LoopsAnnounceTheirObjectsToABatch)
{
    exec(u("CREATE FUNCTION tf() RETURNS trigger LANGUAGE plpgsql AS $f$BEGIN RETURN NULL; END$f$"));
    exec(u("CREATE TABLE t (a int)"));
    exec(u("CREATE TABLE \"u.v\" (a int)"));
    exec(u("CREATE TRIGGER tr1 AFTER INSERT ON t FOR EACH ROW EXECUTE FUNCTION tf()"));
    exec(u("CREATE TRIGGER tr2 AFTER DELETE ON t FOR EACH ROW EXECUTE FUNCTION tf()"));
    exec(u("CREATE TRIGGER tr1 AFTER INSERT ON \"u.v\" FOR EACH ROW EXECUTE FUNCTION tf()"));
    struct Seen {
        bool Batch;
        int Announced;
        int Position;
    };
    QList<Seen> seen;
    RegisterEditor(57, {}, [&seen](TkdConnForm *owner, const TObjectArgs &a, TScriptSink &s) {
        const TScriptBatch *b = TScriptBatch::Of(owner);
        seen << Seen{b != nullptr, b ? int(b->Items(57).size()) : 0,
                     b ? b->Position(57, {a.Schema, a.TableName, a.ObjectName}) : -1};
        s.WriteScript({u("CREATE TRIGGER ") + a.ObjectName + u(" ON ") + a.TableName + u(";")});
    });
    QTemporaryDir tmp;
    TScriptOption::Global().OneScript = true;
    TfrmObject *f = Open();
    SelectType(f, 57);
    ASSERT_EQ(f->ObjectCount(), 3);
    const auto check = [&](const char *what) {
        SCOPED_TRACE(what);
        ASSERT_EQ(seen.size(), 3);
        QList<int> positions;
        for (const Seen &x : seen) {
            EXPECT_TRUE(x.Batch);
            EXPECT_EQ(x.Announced, 3);
            positions << x.Position;
        }
        EXPECT_EQ(positions, QList<int>({0, 1, 2})); // announced in the order scripted
        EXPECT_EQ(TScriptBatch::Of(f), nullptr);
        seen.clear();
    };
    f->lstObject->selectAll();
    RunScript(f, tmp.path() + u("/all.sql"));
    const QString text = ReadAll(tmp.path() + u("/all.sql"));
    EXPECT_TRUE(text.contains(u("CREATE TRIGGER tr1 ON u.v;"))) << text.toStdString();
    check("script output");
    f->lstObject->selectAll();
    f->Grep(u("TRIGGER"), 0, false);
    check("search");
    SelectType(f, 57);
    f->lstObject->selectAll();
    f->PrintSelected();
    check("print");
    f->close();
    Flush();
}

TEST_F(ScriptOutputTest, SearchScopesAndCase)
{
    exec(u("CREATE TABLE alpha (a int)"));
    exec(u("CREATE TABLE beta (a int)"));
    TfrmObject *f = Open();
    SelectType(f, 45);

    // scope 0: the selected object only; no hit empties the list, the message still comes
    SelectRows(f, {u("alpha")});
    Boxes.clear();
    f->Grep(u("BETA"), 0, false);
    EXPECT_EQ(f->ObjectCount(), 0);
    EXPECT_EQ(Boxes, QStringList({u("検索を完了しました。")}));
    // table scripts are built without data during the search, the option comes back
    ASSERT_FALSE(InsertSeen.isEmpty());
    EXPECT_FALSE(InsertSeen.last());
    EXPECT_TRUE(TScriptOption::Global().Insert);

    // scope 2 reloads the node; without case the word matches in any case
    f->Grep(u("MARKER"), 2, false);
    EXPECT_EQ(f->ObjectCount(), 2);
    // with case only the exact letters match
    f->Grep(u("marker"), 2, true);
    EXPECT_EQ(f->ObjectCount(), 0);
    f->Grep(u("Marker"), 2, true);
    EXPECT_EQ(f->ObjectCount(), 2);
    // scope 1: what is listed now
    f->Grep(u("ALPHA"), 1, false);
    EXPECT_EQ(f->ObjectCount(), 1);
    // scope 3: every object of the database root
    f->Grep(u("BETA"), 3, false);
    EXPECT_GE(f->ObjectCount(), 1);

    // through the dialog
    SelectType(f, 45);
    onDialog<TfrmGrep>([](TfrmGrep *d) {
        d->txtGrepWord->setText(u("alpha"));
        d->rdoObject[2]->setChecked(true);
        d->btnOk->click();
    });
    f->Action(u("actGrep"))->trigger();
    EXPECT_EQ(f->ObjectCount(), 1);
    f->close();
    Flush();
}

TEST_F(ScriptOutputTest, OptionsDialogRules)
{
    TScriptOption &o = TScriptOption::Global();
    o.OneScript = false;
    o.Path = u("/keep/");
    exec(u("CREATE TABLE names (owner text, object_name text, object_type text, script_name text)"));
    TfrmObject *f = Open();
    {
        TfrmScriptOption d(f);
        d.ShowOptions();
        EXPECT_TRUE(d.chkDir->isEnabled());
        EXPECT_TRUE(d.cmbNameTable->isEnabled());
        d.chkDir->setChecked(true);
        d.chkOneScript->setChecked(true);
        EXPECT_FALSE(d.chkDir->isChecked());
        EXPECT_FALSE(d.chkDir->isEnabled());
        EXPECT_FALSE(d.cmbNameTable->isEnabled());
        d.chkOneScript->setChecked(false);
        EXPECT_TRUE(d.chkDir->isEnabled());
        EXPECT_FALSE(d.rdoGrant->button(0)->isEnabled());
        d.chkGrant->setChecked(true);
        EXPECT_TRUE(d.rdoGrant->button(0)->isEnabled());
    }
    // an empty folder is refused; a bad name table is refused with the server's message
    Boxes.clear();
    bool stayedEmpty = false, stayedBad = false;
    onDialog<TfrmScriptOption>([&](TfrmScriptOption *d) {
        d->txtDir->setText(u("  "));
        d->btnOk->click();
        stayedEmpty = d->isVisible();
        d->txtDir->setText(u("/tmp/x"));
        d->cmbNameTable->setEditText(u("nosuch"));
        d->btnOk->click();
        stayedBad = d->isVisible();
        d->cmbNameTable->setEditText(u("names")); // one part: quoted, found
        d->btnOk->click();
    });
    QString path, table;
    EXPECT_TRUE(TfrmScriptOption::ShowWindow(f, path, table));
    EXPECT_TRUE(stayedEmpty);
    EXPECT_TRUE(stayedBad);
    ASSERT_EQ(Boxes.size(), 2);
    EXPECT_TRUE(Boxes[1].startsWith(u("名前TBL名が無効です。"))) << Boxes[1].toStdString();
    EXPECT_EQ(path, u("/tmp/x/"));
    EXPECT_EQ(table, u("names"));
    EXPECT_TRUE(o.NameTable.contains(testdb::params().database + u("=names")));
    // the transaction of the window is still usable after the refused name table
    EXPECT_NO_THROW(f->ExecuteSQL(u("SELECT 1")));
    f->close();
    Flush();
}

} // namespace
