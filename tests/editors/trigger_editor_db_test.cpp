// The trigger editor against the sandbox server: the editor table's contract for code 57,
// a table of hand-written triggers that each survive a compile of the window and a script
// round trip unchanged, a compile the server refuses (the old trigger stays), argument
// input refused before anything runs, the control rules and the version gate on the real
// window, a new trigger, and Delete.
#include "controls/kdmemo.h"
#include "controls/kdstdctl.h"
#include "editors/trigger_editor.h"
#include "support/editor_contract.h"
#include "support/roundtrip.h"
#include "support/testdb.h"
#include "editors/editor_fixture.h"

#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>

namespace {

class TriggerEditorTest : public EditorDbTest
{
protected:
    void SetUp() override
    {
        EditorDbTest::SetUp();
        S = QuoteIdentifier(schema(), true);
        exec("CREATE FUNCTION " + S + ".trg_fn() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN RETURN NULL; END$$");
        exec("CREATE TABLE " + S + ".t (a int PRIMARY KEY, b text, \"Odd Col\" int, \"select\" int)");
        exec("CREATE TABLE " + S + ".ref (id int)");
    }
    TfrmTrigger *Open(const QString &name, const QString &table, TOpenMode mode = omDefine)
    {
        QWidget *w = Conn->OpenObject(57, schema(), name, mode, false, 0, 0, table);
        FlushEvents();
        return qobject_cast<TfrmTrigger *>(w);
    }
    QString Def(const QString &table, const QString &name)
    {
        return scalar("SELECT pg_get_triggerdef(t.oid) FROM pg_trigger t WHERE t.tgrelid = '" + S + "."
                      + QuoteIdentifier(table, true).replace("'", "''") + "'::regclass AND t.tgname = "
                      + QuoteLiteral(name));
    }
    QString Enabled(const QString &table, const QString &name)
    {
        return scalar("SELECT t.tgenabled FROM pg_trigger t WHERE t.tgrelid = '" + S + "."
                      + QuoteIdentifier(table, true).replace("'", "''") + "'::regclass AND t.tgname = " + QuoteLiteral(name));
    }
    void Compile(TObjectEditor *e)
    {
        GuardedCall([e] { e->Compile(); });
        FlushEvents();
    }
    QString S;
};

TEST_F(TriggerEditorTest, EditorTableContract)
{
    exec("CREATE TRIGGER contract_trg BEFORE INSERT ON " + S + ".t FOR EACH ROW EXECUTE FUNCTION " + S + ".trg_fn()");
    TEditorContract c;
    c.Owner = Conn;
    c.Code = 57;
    c.Schema = schema();
    c.Name = "contract_trg";
    c.TableName = "t";
    c.PagesOfModes = {{omDefine, 0}, {omSource, 1}, {omData, 0}, {omCross, 2}, {omGrant, 0}};
    CheckEditorContract(c);
}

struct Fixture {
    const char *what;
    const char *table;   // the table (or view) of the trigger
    const char *name;
    const char *ddl;     // %S: quoted schema, %N: quoted name, %T: quoted table
    const char *after = ""; // statements after the CREATE
};

TEST_F(TriggerEditorTest, FixturesSurviveCompileAndScript)
{
    exec("CREATE VIEW " + S + ".v AS SELECT a, b FROM " + S + ".t");
    exec("CREATE TABLE " + S + ".p (k int, v text) PARTITION BY RANGE (k)");
    exec("CREATE TABLE " + S + ".p1 PARTITION OF " + S + ".p FOR VALUES FROM (0) TO (100)");
    exec("CREATE TABLE " + S + ".\"Tab.le x\" (\"odd \"\"col\"\"\" int, 列 int)");
    const QByteArray longName(63, 'n'); // kept alive: the table below points into it
    const QList<Fixture> fixtures = {
        {"before insert row", "t", "bef_ins", "CREATE TRIGGER %N BEFORE INSERT ON %T FOR EACH ROW EXECUTE FUNCTION %S.trg_fn()"},
        {"a name that says after on a before trigger", "t", "after_x",
         "CREATE TRIGGER %N BEFORE UPDATE ON %T FOR EACH ROW EXECUTE FUNCTION %S.trg_fn()"},
        {"a name that says delete on an insert trigger", "t", "del_log",
         "CREATE TRIGGER %N AFTER INSERT ON %T FOR EACH STATEMENT EXECUTE FUNCTION %S.trg_fn()"},
        {"every event, statement level", "t", "all_events",
         "CREATE TRIGGER %N AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON %T EXECUTE FUNCTION %S.trg_fn()"},
        {"delete or update", "t", "del_upd",
         "CREATE TRIGGER %N BEFORE DELETE OR UPDATE ON %T FOR EACH ROW EXECUTE FUNCTION %S.trg_fn()"},
        {"update of odd columns", "t", "upd_of",
         "CREATE TRIGGER %N BEFORE UPDATE OF \"Odd Col\", \"select\", b ON %T FOR EACH ROW EXECUTE FUNCTION %S.trg_fn()"},
        {"when", "t", "with_when",
         "CREATE TRIGGER %N AFTER UPDATE ON %T FOR EACH ROW WHEN (old.b IS DISTINCT FROM new.b AND new.b <> 'WHEN x EXECUTE') "
         "EXECUTE FUNCTION %S.trg_fn()"},
        {"constraint trigger with FROM and deferral", "t", "ctrig",
         "CREATE CONSTRAINT TRIGGER %N AFTER DELETE ON %T FROM %S.ref DEFERRABLE INITIALLY DEFERRED FOR EACH ROW "
         "EXECUTE FUNCTION %S.trg_fn()"},
        {"constraint trigger deferrable, initially immediate", "t", "ctrig2",
         "CREATE CONSTRAINT TRIGGER %N AFTER INSERT OR UPDATE ON %T DEFERRABLE FOR EACH ROW EXECUTE FUNCTION %S.trg_fn()"},
        {"several arguments with quotes", "t", "args",
         "CREATE TRIGGER %N BEFORE INSERT ON %T FOR EACH ROW EXECUTE FUNCTION %S.trg_fn('a', 'it''s', 'x, y', '', '日本')"},
        {"disabled", "t", "off_trg", "CREATE TRIGGER %N AFTER DELETE ON %T FOR EACH ROW EXECUTE FUNCTION %S.trg_fn()",
         "ALTER TABLE %T DISABLE TRIGGER %N"},
        {"enabled always", "t", "always_trg", "CREATE TRIGGER %N AFTER DELETE ON %T FOR EACH ROW EXECUTE FUNCTION %S.trg_fn()",
         "ALTER TABLE %T ENABLE ALWAYS TRIGGER %N"},
        {"transition tables", "t", "trans",
         "CREATE TRIGGER %N AFTER UPDATE ON %T REFERENCING OLD TABLE AS o NEW TABLE AS \"new rows\" FOR EACH STATEMENT "
         "EXECUTE FUNCTION %S.trg_fn()"},
        {"instead of on a view", "v", "inst",
         "CREATE TRIGGER %N INSTEAD OF INSERT OR UPDATE ON %T FOR EACH ROW EXECUTE FUNCTION %S.trg_fn()"},
        {"statement trigger on a view", "v", "v_stmt",
         "CREATE TRIGGER %N BEFORE DELETE ON %T FOR EACH STATEMENT EXECUTE FUNCTION %S.trg_fn()"},
        {"on a partitioned table", "p", "part_trg",
         "CREATE TRIGGER %N AFTER INSERT ON %T FOR EACH ROW EXECUTE FUNCTION %S.trg_fn()"},
        {"awkward names everywhere", "Tab.le x", "トリガー \"q\".名",
         "CREATE TRIGGER %N BEFORE UPDATE OF \"odd \"\"col\"\"\", 列 ON %T FOR EACH ROW EXECUTE FUNCTION %S.trg_fn('O''Neil')"},
        {"63-byte name that is a keyword-free word", "t", longName.constData(),
         "CREATE TRIGGER %N AFTER INSERT ON %T FOR EACH ROW EXECUTE FUNCTION %S.trg_fn()"},
        {"keyword name", "t", "select", "CREATE TRIGGER %N AFTER INSERT ON %T FOR EACH ROW EXECUTE FUNCTION %S.trg_fn()"},
    };
    TRecordingRunner runner;
    for (const Fixture &f : fixtures) {
        SCOPED_TRACE(f.what);
        const QString table = QString::fromUtf8(f.table);
        const QString name = QString::fromUtf8(f.name);
        auto fill = [&](const char *text) {
            return QString::fromUtf8(text)
                .replace("%S", S)
                .replace("%N", QuoteIdentifier(name, true))
                .replace("%T", S + "." + QuoteIdentifier(table, true));
        };
        exec(fill(f.ddl));
        if (*f.after)
            exec(fill(f.after));
        const QString before = Def(table, name);
        const QString enabled = Enabled(table, name);
        ASSERT_FALSE(before.isEmpty());

        // open, a trivial change, compile: DROP + CREATE gives the same trigger
        TfrmTrigger *w = Open(name, table);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->windowTitle().section(" @ ", 0, 0), "TRIGGER - " + schema() + "." + table + "." + name);
        EXPECT_FALSE(w->Modified());
        w->txtParam->setText(w->txtParam->text() + " ");
        EXPECT_TRUE(w->Modified());
        TBoxes boxes;
        Compile(w);
        EXPECT_EQ(boxes.Texts, QStringList{"コンパイルは正常に終了しました。"});
        EXPECT_EQ(Def(table, name), before);
        EXPECT_EQ(Enabled(table, name), enabled);
        EXPECT_FALSE(w->Modified());
        CloseEditor(w);

        // script, drop, run: the same trigger and the same dump of its table
        const QString dump = roundtrip::SchemaDump({"-t", roundtrip::ExactPattern(schema(), table)});
        TScriptSink sink;
        ASSERT_TRUE(Conn->OutputScript(57, schema(), name, sink, QString(), QString(), 0, table));
        exec("DROP TRIGGER " + QuoteIdentifier(name, true) + " ON " + S + "." + QuoteIdentifier(table, true));
        roundtrip::RunLines(Conn, sink.Lines());
        EXPECT_EQ(Def(table, name), before) << sink.Lines().join('\n');
        EXPECT_EQ(Enabled(table, name), enabled);
        EXPECT_EQ(roundtrip::SchemaDump({"-t", roundtrip::ExactPattern(schema(), table)}), dump);
    }
}

TEST_F(TriggerEditorTest, LoadedControlsFollowTheCatalogNotTheName)
{
    exec("CREATE TRIGGER after_x BEFORE UPDATE OF \"Odd Col\", b ON " + S + ".t FOR EACH ROW WHEN (new.a > 0) "
         "EXECUTE FUNCTION " + S + ".trg_fn('it''s', 'b')");
    TfrmTrigger *w = Open("after_x", "t");
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->rdoBefore->isChecked());
    EXPECT_FALSE(w->rdoAfter->isChecked());
    EXPECT_TRUE(w->chkUpdate->isChecked());
    EXPECT_FALSE(w->chkInsert->isChecked());
    EXPECT_TRUE(w->chkRow->isChecked());
    EXPECT_EQ(w->txtUpdCol->text(), "\"Odd Col\", b");
    EXPECT_EQ(w->txtWhen->text(), "(new.a > 0)");
    EXPECT_EQ(w->txtParam->text(), "'it''s', 'b'");
    EXPECT_EQ(w->cmbFncNm->Text(), "trg_fn");
    EXPECT_EQ(w->cmbFncSkm->Text(), schema());
    EXPECT_FALSE(w->pnlName->isEnabled());
    EXPECT_FALSE(w->rdoInstead->isEnabled()) << "an existing BEFORE trigger cannot become INSTEAD OF";
    CloseEditor(w);
}

TEST_F(TriggerEditorTest, RefusedCompileLeavesTheOldTriggerAndTheEdits)
{
    exec("CREATE TRIGGER keep_me BEFORE INSERT ON " + S + ".t FOR EACH ROW EXECUTE FUNCTION " + S + ".trg_fn('x')");
    const QString before = Def("t", "keep_me");
    TRecordingRunner runner;
    TfrmTrigger *w = Open("keep_me", "t");
    ASSERT_NE(w, nullptr);
    // a function that does not exist: the DROP runs, the CREATE fails, all is rolled back
    w->cmbFncNm->setEditText("no_such_fn");
    TBoxes boxes;
    Compile(w);
    ASSERT_EQ(boxes.Texts.size(), 1);
    EXPECT_TRUE(boxes.Texts[0].contains("no_such_fn")) << boxes.Texts[0];
    EXPECT_TRUE(boxes.Flags[0] & MB_ICONERROR);
    EXPECT_EQ(Def("t", "keep_me"), before);
    EXPECT_TRUE(w->Modified());
    EXPECT_EQ(w->cmbFncNm->Text(), "no_such_fn");
    ASSERT_EQ(runner.Previewed.size(), 1);
    EXPECT_TRUE(runner.Previewed[0].value(0).startsWith("DROP TRIGGER keep_me ON "));
    EXPECT_EQ(runner.Previewed[0].value(1), ";");
    CloseEditor(w);
}

TEST_F(TriggerEditorTest, BadArgumentAndColumnTextIsRefusedBeforeAnythingRuns)
{
    exec("CREATE TRIGGER guarded BEFORE UPDATE ON " + S + ".t FOR EACH ROW EXECUTE FUNCTION " + S + ".trg_fn('x')");
    const QString before = Def("t", "guarded");
    TRecordingRunner runner;
    TfrmTrigger *w = Open("guarded", "t");
    ASSERT_NE(w, nullptr);
    struct Case {
        TkdStrEdit *box;
        QString text;
        QString message;
    };
    const QList<Case> cases = {
        {w->txtParam, "'x'); DROP TABLE t; --", "引数の指定が正しくありません。"},
        {w->txtParam, "'open", "引数の引用符が閉じられていません。"},
        {w->txtUpdCol, "\"open", "変更列の引用符が閉じられていません。"},
    };
    for (const Case &c : cases) {
        c.box->setText(c.text);
        TBoxes boxes;
        Compile(w);
        ASSERT_EQ(boxes.Texts.size(), 1) << c.text;
        EXPECT_TRUE(boxes.Texts[0].startsWith(c.message)) << boxes.Texts[0];
        EXPECT_TRUE(boxes.Flags[0] & MB_ICONWARNING);
        EXPECT_TRUE(runner.Previewed.isEmpty());
        EXPECT_EQ(Def("t", "guarded"), before);
        c.box->setText(c.box == w->txtParam ? "'x'" : "");
    }
    EXPECT_TRUE(Exists(schema() + ".t"));
    CloseEditor(w);
}

TEST_F(TriggerEditorTest, ControlRulesOnTheWindow)
{
    exec("CREATE VIEW " + S + ".v AS SELECT a, b FROM " + S + ".t");
    TfrmTrigger *w = Open(QString(), "t");
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->IsNew());
    EXPECT_EQ(w->windowTitle(), "TRIGGER - 新規");
    EXPECT_EQ(w->TableText(), "t");
    // the rules hold from the start
    EXPECT_FALSE(w->txtUpdCol->isEnabled());
    EXPECT_FALSE(w->cmbRefTblNm->isEnabled());
    EXPECT_FALSE(w->chkDeferrable->isEnabled());
    EXPECT_TRUE(w->txtWhen->isEnabled());
    // constraint trigger: AFTER and row forced, FROM and deferral open
    w->chkConstraint->click();
    EXPECT_TRUE(w->rdoAfter->isChecked());
    EXPECT_FALSE(w->rdoBefore->isEnabled());
    EXPECT_TRUE(w->chkRow->isChecked());
    EXPECT_FALSE(w->chkRow->isEnabled());
    EXPECT_FALSE(w->chkTruncate->isEnabled());
    EXPECT_TRUE(w->cmbRefTblNm->isEnabled());
    EXPECT_TRUE(w->chkDeferrable->isEnabled());
    EXPECT_FALSE(w->rdoTran->isEnabled());
    w->chkDeferrable->click();
    EXPECT_TRUE(w->rdoTran->isEnabled());
    w->chkConstraint->click();
    EXPECT_FALSE(w->cmbRefTblNm->isEnabled());
    // INSTEAD OF needs a view: the table name goes
    w->rdoInstead->click();
    EXPECT_EQ(w->TableText(), "");
    EXPECT_FALSE(w->txtWhen->isEnabled());
    w->cmbTableName->setEditText("v");
    w->SetControlState();
    EXPECT_EQ(w->TableText(), "v");
    w->chkUpdate->click();
    EXPECT_FALSE(w->txtUpdCol->isEnabled()) << "no UPDATE OF with INSTEAD OF";
    // a disabled box's text never reaches the statement
    w->txtWhen->setText("(new.a > 0)");
    w->cmbFncNm->setEditText("trg_fn");
    w->SetControlState();
    EXPECT_FALSE(w->ControlsDef().When.size());
    CloseEditor(w);
}

TEST_F(TriggerEditorTest, ExistingInsteadOfTriggerOnAView)
{
    exec("CREATE VIEW " + S + ".v AS SELECT a, b FROM " + S + ".t");
    exec("CREATE TRIGGER inst INSTEAD OF DELETE ON " + S + ".v FOR EACH ROW EXECUTE FUNCTION " + S + ".trg_fn()");
    TfrmTrigger *w = Open("inst", "v");
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->rdoInstead->isChecked());
    EXPECT_FALSE(w->rdoBefore->isEnabled());
    EXPECT_FALSE(w->rdoAfter->isEnabled());
    EXPECT_TRUE(w->chkRow->isChecked());
    EXPECT_FALSE(w->chkRow->isEnabled());
    EXPECT_FALSE(w->chkConstraint->isEnabled());
    CloseEditor(w);
}

TEST_F(TriggerEditorTest, VersionGateHidesWhatOldServersLack)
{
    exec("CREATE CONSTRAINT TRIGGER ctr AFTER DELETE ON " + S + ".t FROM " + S + ".ref DEFERRABLE FOR EACH ROW "
         "EXECUTE FUNCTION " + S + ".trg_fn()");
    TfrmTrigger *w = Open("ctr", "t");
    ASSERT_NE(w, nullptr);
    for (QWidget *c : {static_cast<QWidget *>(w->rdoInstead), static_cast<QWidget *>(w->chkConstraint),
                       static_cast<QWidget *>(w->grpConstraint), static_cast<QWidget *>(w->grpDefTiming)})
        EXPECT_TRUE(c->isVisibleTo(w)) << c->objectName().toStdString();
    EXPECT_TRUE(w->ControlsDef().Constraint);
    w->ApplyVersionGate(90099);
    for (QWidget *c : {static_cast<QWidget *>(w->rdoInstead), static_cast<QWidget *>(w->chkConstraint),
                       static_cast<QWidget *>(w->grpConstraint), static_cast<QWidget *>(w->grpDefTiming)})
        EXPECT_FALSE(c->isVisibleTo(w)) << c->objectName().toStdString();
    const TTriggerDef d = w->ControlsDef();
    EXPECT_FALSE(d.Constraint);
    const QString text = TriggerCreateLines(d, QString()).join('\n');
    EXPECT_FALSE(text.contains("CONSTRAINT"));
    EXPECT_FALSE(text.contains("FROM"));
    w->ApplyVersionGate(90100);
    EXPECT_TRUE(w->grpConstraint->isVisibleTo(w));
    CloseEditor(w);
}

TEST_F(TriggerEditorTest, NewTriggerIsCreatedAndTheWindowBecomesItsEditor)
{
    TRecordingRunner runner;
    TfrmTrigger *w = Open(QString(), "t");
    ASSERT_NE(w, nullptr);
    TBoxes boxes;
    // checks in their order
    Compile(w);
    EXPECT_EQ(boxes.Texts.value(0), "名前を入力して下さい。");
    w->txtName->setText("fresh");
    Compile(w);
    EXPECT_EQ(boxes.Texts.value(1), "トリガーの起動イベントを指定して下さい。");
    w->chkInsert->click();
    w->chkRow->click();
    w->cmbFncNm->setEditText("");
    Compile(w);
    EXPECT_EQ(boxes.Texts.value(2), "ファンクション名を入力して下さい。");
    w->cmbFncNm->setEditText("trg_fn");
    w->txtParam->setText("a, 'b c'");
    Compile(w);
    EXPECT_EQ(boxes.Texts.value(3), "コンパイルは正常に終了しました。");
    ASSERT_EQ(runner.Previewed.size(), 1);
    EXPECT_EQ(runner.Previewed[0].value(0), "CREATE TRIGGER fresh");
    const QString def = Def("t", "fresh");
    EXPECT_TRUE(def.startsWith("CREATE TRIGGER fresh BEFORE INSERT ON " + schema() + ".t FOR EACH ROW EXECUTE FUNCTION "))
        << def;
    EXPECT_TRUE(def.endsWith("trg_fn('a', 'b c')")) << def;
    EXPECT_FALSE(w->IsNew());
    EXPECT_TRUE(w->windowTitle().startsWith("TRIGGER - " + schema() + ".t.fresh @ "));
    EXPECT_FALSE(w->pnlName->isEnabled());
    CloseEditor(w);
}

TEST_F(TriggerEditorTest, DeleteOffersCascade)
{
    exec("CREATE TRIGGER gone BEFORE INSERT ON " + S + ".t FOR EACH ROW EXECUTE FUNCTION " + S + ".trg_fn()");
    TfrmTrigger *w = Open("gone", "t");
    ASSERT_NE(w, nullptr);
    TBoxes boxes;
    boxes.Answers = {IDYES, IDOK};
    boxes.OnBox = [](MessageBoxRequest &r) {
        if (r.kind == MessageBoxRequest::Kind::CheckMessage)
            for (MsgCheckItem &i : r.items)
                i.Checked = true;
    };
    QPointer<TfrmTrigger> guard(w);
    GuardedCall([w] { w->actDeleteExecute(); });
    FlushEvents();
    EXPECT_EQ(boxes.Texts, QStringList({"オブジェクトを削除しますか？", "オブジェクトが削除されました。"}));
    EXPECT_TRUE(Def("t", "gone").isEmpty());
    EXPECT_TRUE(guard.isNull() || !guard->isVisible());
}

} // namespace

namespace {

// The window on a constraint trigger as the user sees it; the picture goes to
// $VANTOR_SHOT_DIR when that is set.
TEST_F(TriggerEditorTest, ConstraintTriggerWindowPaints)
{
    exec("CREATE CONSTRAINT TRIGGER \"制約 trg\" AFTER UPDATE OF b ON " + S + ".t FROM " + S
         + ".ref DEFERRABLE INITIALLY DEFERRED FOR EACH ROW WHEN (new.a > 0) EXECUTE FUNCTION " + S + ".trg_fn('it''s', 'x')");
    TfrmTrigger *w = Open("制約 trg", "t");
    ASSERT_NE(w, nullptr);
    QWidget *frame = w->parentWidget() ? w->parentWidget() : w;
    frame->resize(900, 560);
    frame->show();
    FlushEvents();
    const QPixmap shot = frame->grab();
    EXPECT_FALSE(shot.isNull());
    EXPECT_TRUE(w->chkConstraint->isChecked());
    EXPECT_TRUE(w->rdoTran->isChecked());
    EXPECT_EQ(w->cmbRefTblNm->Text(), "ref");
    if (const QByteArray dir = qgetenv("VANTOR_SHOT_DIR"); !dir.isEmpty())
        shot.save(QString::fromLocal8Bit(dir) + "/trigger_constraint.png");
    CloseEditor(w);
}

} // namespace

namespace {

// From the source page the edited text runs after the DROP, in one transaction; a text the
// server refuses leaves the old trigger.
TEST_F(TriggerEditorTest, SourcePageRunsTheTextAfterTheDrop)
{
    exec("CREATE TRIGGER src_trg BEFORE INSERT ON " + S + ".t FOR EACH ROW EXECUTE FUNCTION " + S + ".trg_fn()");
    TRecordingRunner runner;
    TfrmTrigger *w = Open("src_trg", "t", omSource);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->txtSource->text().startsWith("CREATE TRIGGER src_trg\nBEFORE INSERT "));
    EXPECT_TRUE(w->actCompile->isEnabled()) << "the source text can always be run";
    QString text = w->txtSource->text();
    text.replace("BEFORE INSERT", "AFTER DELETE");
    w->txtSource->setText(text);
    {
        TBoxes boxes;
        Compile(w);
        EXPECT_EQ(boxes.Texts, QStringList{"コンパイルは正常に終了しました。"});
    }
    EXPECT_TRUE(Def("t", "src_trg").contains("AFTER DELETE ON"));
    w->txtSource->setText("CREATE TRIGGER src_trg AFTER DELETE ON no_such_table FOR EACH ROW EXECUTE FUNCTION trg_fn()\n;");
    {
        TBoxes boxes;
        Compile(w);
        ASSERT_EQ(boxes.Texts.size(), 1);
        EXPECT_TRUE(boxes.Flags[0] & MB_ICONERROR);
    }
    EXPECT_TRUE(Def("t", "src_trg").contains("AFTER DELETE ON")) << "the old trigger stays";
    EXPECT_TRUE(w->Modified());
    CloseEditor(w);
}

} // namespace
