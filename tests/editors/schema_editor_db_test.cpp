// The schema editor against the sandbox server: the editor table's contract for codes 4 and
// 126, loading owner and access lists into the two-box lists (red lines for grant options),
// compiles of grants and owner changes, the source page of a schema that holds objects,
// Delete with and without CASCADE, the script round trip, and screenshots of both editors.
#include "controls/kdmemo.h"
#include "controls/kdstdctl.h"
#include "editors/privilege_list.h"
#include "editors/schema_editor.h"
#include "editors/sequence_editor.h"
#include "support/editor_contract.h"
#include "support/roundtrip.h"
#include "support/testdb.h"
#include "editors/editor_fixture.h"

#include <QImage>
#include <QTabWidget>

namespace {

class SchemaEditorTest : public EditorDbTest
{
protected:
    void SetUp() override
    {
        EditorDbTest::SetUp();
        U = testdb::uniqueName("u");
        U2 = U + "2";
        Dev = testdb::uniqueName("dev");
        exec("CREATE ROLE " + U + " LOGIN");
        exec("CREATE ROLE " + U2 + " LOGIN");
        exec("CREATE ROLE " + Dev);
        exec("GRANT " + U + ", " + U2 + ", " + Dev + " TO CURRENT_USER");
    }
    void TearDown() override
    {
        EditorDbTest::TearDownWindows();
        for (const QString &s : Schemas)
            exec("DROP SCHEMA IF EXISTS " + QuoteIdentifier(s, true) + " CASCADE");
        for (const QString &r : {U, U2, Dev}) {
            exec("DROP OWNED BY " + r);
            exec("DROP ROLE IF EXISTS " + r);
        }
        EditorDbTest::TearDown();
    }
    QString NewSchema(const QString &suffix)
    {
        const QString s = schema() + "_" + suffix;
        Schemas << s;
        return s;
    }
    TfrmSchema *Open(const QString &name, TOpenMode mode = omDefine, int code = 4)
    {
        return OpenEditor<TfrmSchema>(code, QString(), name, mode);
    }
    static void Compile(TObjectEditor *e)
    {
        GuardedCall([e] { e->Compile(); });
        FlushEvents();
    }
    QString Acl(const QString &s) { return scalar("SELECT nspacl::text FROM pg_namespace WHERE nspname = '" + s + "'"); }
    QString U, U2, Dev;
    QStringList Schemas;
};

TEST_F(SchemaEditorTest, EditorTableContractForBothCodes)
{
    for (int code : {4, 126}) {
        TEditorContract c;
        c.Owner = Conn;
        c.Code = code;
        c.Name = schema();
        c.PagesOfModes = {{omDefine, 0}, {omSource, 1}, {omGrant, 0}, {omCross, 0}};
        SCOPED_TRACE(code);
        CheckEditorContract(c);
    }
}

TEST_F(SchemaEditorTest, LoadsOwnerAndAccessLists)
{
    struct Case {
        const char *what;
        QString setup; // %1 schema
        bool publicCreate, publicUsage;
        // role, privilege (0 CREATE, 1 USAGE), L, R
        QList<std::tuple<QString, int, bool, bool>> lines;
    };
    const QList<Case> cases = {
        {"NULL list", "", false, false, {{U, 0, true, false}, {U, 1, true, false}, {U2, 0, false, false}}},
        {"PUBLIC usage", "GRANT USAGE ON SCHEMA %1 TO PUBLIC", false, true, {{U, 0, true, false}}},
        {"dev with U*C", "GRANT USAGE ON SCHEMA %1 TO " + Dev + " WITH GRANT OPTION; GRANT CREATE ON SCHEMA %1 TO " + Dev,
         false, false, {{Dev, 0, true, false}, {Dev, 1, true, true}}},
        {"granted by a non-owner",
         "GRANT USAGE ON SCHEMA %1 TO " + U2 + " WITH GRANT OPTION; SET ROLE " + U2 + "; GRANT USAGE ON SCHEMA %1 TO "
             + Dev + "; RESET ROLE",
         false, false, {{Dev, 1, true, false}, {U2, 1, true, true}}},
    };
    int i = 0;
    for (const Case &c : cases) {
        const QString s = NewSchema(QString::number(++i));
        exec("CREATE SCHEMA " + s + " AUTHORIZATION " + U);
        if (!c.setup.isEmpty())
            exec(QString(c.setup).arg(s));
        TfrmSchema *w = Open(s);
        ASSERT_NE(w, nullptr) << c.what;
        EXPECT_EQ(w->cmbOwner->Text(), U) << c.what;
        EXPECT_EQ(w->chkCreate->isChecked(), c.publicCreate) << c.what;
        EXPECT_EQ(w->chkUsage->isChecked(), c.publicUsage) << c.what;
        for (const auto &[role, priv, l, r] : c.lines) {
            TPrivilegeList *list = w->chkRole->LineOf(role, 0) >= 0 ? w->chkRole : w->chkUser;
            const int line = list->LineOf(role, priv);
            ASSERT_GE(line, 0) << role;
            EXPECT_EQ(list->CheckedL(line), l) << c.what << " " << role << " " << priv;
            EXPECT_EQ(list->CheckedR(line), r) << c.what << " " << role << " " << priv;
        }
        EXPECT_FALSE(w->Modified());
        CloseEditor(w);
    }
}

TEST_F(SchemaEditorTest, Pg15PublicSchemaLoads)
{
    TfrmSchema *w = Open("public");
    ASSERT_NE(w, nullptr);
    if (w->cmbOwner->Text() == "pg_database_owner") {
        EXPECT_TRUE(w->chkUsage->isChecked());
        EXPECT_FALSE(w->chkCreate->isChecked());
        const int line = w->chkRole->LineOf("pg_database_owner", 0);
        ASSERT_GE(line, 0);
        EXPECT_TRUE(w->chkRole->CheckedL(line));
        EXPECT_TRUE(w->chkRole->CheckedL(line + 1));
    }
    CloseEditor(w);
}

TEST_F(SchemaEditorTest, CompilesGrantsAndOwnerChanges)
{
    TRecordingRunner runner;
    const QString s = NewSchema("g");
    exec("CREATE SCHEMA " + s + " AUTHORIZATION " + U);
    exec("GRANT CREATE ON SCHEMA " + s + " TO PUBLIC");
    exec("GRANT CREATE ON SCHEMA " + s + " TO " + Dev + " WITH GRANT OPTION");
    TfrmSchema *w = Open(s);
    ASSERT_NE(w, nullptr);
    const int dev = w->chkRole->LineOf(Dev, 0);
    ASSERT_TRUE(w->chkRole->CheckedR(dev));
    // Owner to u2 and PUBLIC CREATE off, in that order; dev's grant option removed.
    w->cmbOwner->setEditText(U2);
    w->chkCreate->click();
    w->chkRole->SetCheckedR(dev, false);
    w->OnChange();
    Compile(w);
    ASSERT_EQ(runner.Ran.size(), 1);
    EXPECT_EQ(runner.Ran[0], QStringList({"ALTER SCHEMA " + s, "OWNER TO " + U2, ";", "REVOKE CREATE ON SCHEMA " + s + " FROM public",
                                          ";", "REVOKE CREATE ON SCHEMA " + s + " FROM " + Dev, ";",
                                          "GRANT CREATE ON SCHEMA " + s + " TO " + Dev, ";"}));
    EXPECT_EQ(runner.PreviewArgs.value(0), "|" + s) << "schemas are never qualified";
    EXPECT_FALSE(w->Modified());
    EXPECT_EQ(w->cmbOwner->Text(), U2);
    EXPECT_FALSE(w->chkCreate->isChecked());
    EXPECT_TRUE(w->chkRole->CheckedL(dev));
    EXPECT_FALSE(w->chkRole->CheckedR(dev));
    EXPECT_EQ(scalar("SELECT has_schema_privilege('public', '" + s + "', 'CREATE')"), "f");
    // Ticking and unticking leaves Modified set, and there is nothing to run.
    w->chkUsage->click();
    w->chkUsage->click();
    {
        TBoxes boxes;
        Compile(w);
        EXPECT_EQ(boxes.Texts, QStringList{"変更箇所が見つかりませんでした。"});
    }
    // Owner empty on the definition page.
    w->cmbOwner->setEditText("");
    {
        TBoxes boxes;
        Compile(w);
        EXPECT_EQ(boxes.Texts, QStringList{"オーナーを入力して下さい。"});
    }
    CloseEditor(w);
}

TEST_F(SchemaEditorTest, NewSchemaThenSourcePageOfAFullSchemaRollsBack)
{
    TRecordingRunner runner;
    TfrmSchema *w = Open(QString());
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->pnlName->isEnabled());
    EXPECT_FALSE(w->pagObject->isTabVisible(1));
    EXPECT_EQ(w->cmbOwner->Text(), testdb::params().user);
    const QString s = NewSchema("new");
    w->txtName->setText(s);
    w->cmbOwner->setEditText(U);
    w->chkUsage->click();
    Compile(w);
    ASSERT_EQ(runner.Ran.size(), 1);
    EXPECT_EQ(runner.Ran[0], QStringList({"CREATE SCHEMA " + s, "AUTHORIZATION " + U, ";",
                                          "GRANT USAGE ON SCHEMA " + s + " TO public", ";"}));
    EXPECT_EQ(w->windowTitle(), TObjectEditor::CaptionFor(Conn, TfrmSchema::SchemaPolicy(), QString(), s));
    EXPECT_TRUE(w->pagObject->isTabVisible(1));

    exec("CREATE TABLE " + s + ".holds (x int)");
    w->pagObject->setCurrentWidget(w->tabSource);
    FlushEvents();
    EXPECT_TRUE(w->txtSource->text().startsWith("CREATE SCHEMA " + s));
    Compile(w);
    ASSERT_EQ(runner.Ran.size(), 2);
    EXPECT_EQ(runner.Ran[1].mid(0, 2), QStringList({"DROP SCHEMA " + s, ";"}));
    EXPECT_EQ(runner.Errors, 1) << "the server refuses to drop a schema that holds objects";
    EXPECT_TRUE(Exists(s + ".holds")) << "rolled back";
    EXPECT_EQ(w->pagObject->currentWidget(), w->tabSource);
    EXPECT_FALSE(w->IsNew());
    CloseEditor(w);
}

TEST_F(SchemaEditorTest, DeleteWithAndWithoutCascade)
{
    for (bool cascade : {false, true}) {
        const QString s = NewSchema(cascade ? "c" : "nc");
        exec("CREATE SCHEMA " + s);
        exec("CREATE TABLE " + s + ".t (x int)");
        TfrmSchema *w = Open(s);
        ASSERT_NE(w, nullptr);
        QPointer<TfrmSchema> p(w);
        TBoxes boxes;
        boxes.Answers = {IDYES};
        boxes.OnBox = [cascade](MessageBoxRequest &r) {
            if (!r.items.isEmpty()) {
                EXPECT_EQ(r.items[0].Caption, "CASCADE オプション");
                EXPECT_FALSE(r.items[0].Checked);
                r.items[0].Checked = cascade;
            }
        };
        w->actDelete->trigger();
        FlushEvents();
        EXPECT_EQ(boxes.Texts.value(0), "オブジェクトを削除しますか？");
        if (cascade) {
            EXPECT_EQ(boxes.Texts.value(1), "オブジェクトが削除されました。");
            EXPECT_EQ(scalar("SELECT count(*) FROM pg_namespace WHERE nspname = '" + s + "'"), "0");
            EXPECT_FALSE(p);
        } else {
            EXPECT_NE(boxes.Texts.value(1), "オブジェクトが削除されました。");
            EXPECT_TRUE(Exists(s + ".t"));
            EXPECT_TRUE(p);
            CloseEditor(w);
        }
    }
}

TEST_F(SchemaEditorTest, ScriptRoundTrip)
{
    const QStringList setups = {
        "",
        "GRANT USAGE ON SCHEMA %1 TO PUBLIC; GRANT CREATE ON SCHEMA %1 TO " + Dev + " WITH GRANT OPTION; GRANT USAGE ON SCHEMA %1 TO " + U2,
        "REVOKE ALL ON SCHEMA %1 FROM " + U,
    };
    for (const QString &name : {QString("rt"), QString("Mixed Case"), QString("表")}) {
        SCOPED_TRACE(name.toStdString());
        for (const QString &setup : setups) {
            const QString s = NewSchema(name);
            const QString q = QuoteIdentifier(s, true);
            exec("CREATE SCHEMA " + q + " AUTHORIZATION " + U);
            if (!setup.isEmpty())
                exec(QString(setup).arg(q));
            roundtrip::CheckScriptRoundTrip(Conn, 4, QString(), s, "DROP SCHEMA " + q, {"-n", roundtrip::ExactPattern(s)});
            exec("DROP SCHEMA " + q);
        }
    }
}

TEST_F(SchemaEditorTest, ScreenshotsOfBothEditors)
{
    const QString s = NewSchema("shot");
    exec("CREATE SCHEMA " + s + " AUTHORIZATION " + U);
    exec("GRANT USAGE ON SCHEMA " + s + " TO " + Dev + " WITH GRANT OPTION");
    exec("GRANT CREATE ON SCHEMA " + s + " TO " + U2 + " WITH GRANT OPTION");
    exec("GRANT USAGE ON SCHEMA " + s + " TO PUBLIC");
    exec("CREATE SEQUENCE " + s + ".orders_seq AS integer START 100");
    TfrmSchema *w = Open(s);
    ASSERT_NE(w, nullptr);
    w->parentWidget()->resize(760, 560);
    FlushEvents();
    const QImage shot = w->grab().toImage();
    EXPECT_TRUE(shot.save("/tmp/editor_schema.png"));
    // A line with its grant option is drawn in red.
    const int line = w->chkRole->LineOf(Dev, 1);
    const QRect r = w->chkRole->visualItemRect(w->chkRole->item(line));
    const QImage list = w->chkRole->viewport()->grab(r).toImage();
    bool red = false;
    for (int y = 0; y < list.height() && !red; ++y)
        for (int x = 0; x < list.width() && !red; ++x) {
            const QColor c = list.pixelColor(x, y);
            red = c.red() > 200 && c.green() < 60 && c.blue() < 60;
        }
    EXPECT_TRUE(red);
    CloseEditor(w);
    TfrmSeq *seq = OpenEditor<TfrmSeq>(58, s, "orders_seq");
    ASSERT_NE(seq, nullptr);
    seq->parentWidget()->resize(780, 460);
    FlushEvents();
    EXPECT_TRUE(seq->grab().toImage().save("/tmp/editor_sequence.png"));
    CloseEditor(seq);
    TfrmSeq *fresh = OpenEditor<TfrmSeq>(58, s, QString());
    ASSERT_NE(fresh, nullptr);
    fresh->parentWidget()->resize(780, 460);
    FlushEvents();
    EXPECT_TRUE(fresh->grab().toImage().save("/tmp/editor_sequence_new.png"));
    CloseEditor(fresh);
}

} // namespace
