// The sequence editor and the editor base it stands on, against the sandbox server: the
// editor table's contract for code 58, loading by type, the common compile rules with the
// recording runner (validation, nothing changed, source page, preview cancel, transactions
// and failures), the real dialogs with ShowDDL off, delete, close and layout, advance, and
// the script round trip over awkward names.
#include "controls/kdmemo.h"
#include "controls/kdstdctl.h"
#include "core/kdreg.h"
#include "editors/sequence_editor.h"
#include "support/editor_contract.h"
#include "support/roundtrip.h"
#include "support/testdb.h"
#include "editors/editor_fixture.h"

#include <QAction>
#include <QPushButton>
#include <QDialog>
#include <QLabel>
#include <QTabWidget>
#include <QTimer>

namespace {

class SequenceEditorTest : public EditorDbTest
{
protected:
    TfrmSeq *Open(const QString &name, TOpenMode mode = omDefine, const QString &schemaName = QString())
    {
        return OpenEditor<TfrmSeq>(58, schemaName.isEmpty() ? schema() : schemaName, name, mode);
    }
    QString Seq(const QString &name) { return QuoteIdentifier(schema(), true) + "." + QuoteIdentifier(name, true); }
    QString Compile(TObjectEditor *e)
    {
        GuardedCall([e] { e->Compile(); });
        FlushEvents();
        return QString();
    }
};

TEST_F(SequenceEditorTest, EditorTableContract)
{
    exec("CREATE SEQUENCE " + schema() + ".contract_seq");
    TEditorContract c;
    c.Owner = Conn;
    c.Code = 58;
    c.Schema = schema();
    c.Name = "contract_seq";
    c.PagesOfModes = {{omDefine, 0}, {omSource, 1}, {omData, 0}, {omCross, 3}, {omGrant, 2}};
    CheckEditorContract(c);
}

TEST_F(SequenceEditorTest, OneWindowPerSequenceAndOnePerSchema)
{
    exec("CREATE SCHEMA " + schema() + "_b");
    exec("CREATE SEQUENCE " + schema() + ".same");
    exec("CREATE SEQUENCE " + schema() + "_b.same");
    TfrmSeq *a = Open("same");
    ASSERT_NE(a, nullptr);
    TfrmSeq *b = Open("same", omDefine, schema() + "_b");
    ASSERT_NE(b, nullptr) << "the same name in another schema opens its own window";
    EXPECT_NE(a->windowTitle(), b->windowTitle());
    EXPECT_TRUE(a->windowTitle().startsWith("SEQUENCE - " + schema() + ".same @ "));
    EXPECT_EQ(Open("same"), nullptr) << "the open window is raised instead";
    EXPECT_EQ(a->TaskCaption(), "same");
    CloseEditor(a);
    CloseEditor(b);
    exec("DROP SCHEMA " + schema() + "_b CASCADE");
}

TEST_F(SequenceEditorTest, LoadsEachTypeAndDirection)
{
    struct Case {
        const char *ddl;
        const char *type;
        bool noMin, noMax;
        const char *cache;
    };
    const QList<Case> cases = {
        {"AS smallint", "smallint", true, true, "1"},
        {"AS integer", "integer", true, true, "1"},
        {"AS bigint CACHE 20", "bigint", true, true, "20"},
        {"INCREMENT -1", "bigint", true, true, "1"},
        {"AS integer INCREMENT -3 MINVALUE -100 MAXVALUE -2", "integer", false, false, "1"},
        {"MINVALUE 3 MAXVALUE 50 CYCLE", "bigint", false, false, "1"},
    };
    int i = 0;
    for (const Case &c : cases) {
        const QString name = QStringLiteral("t%1").arg(++i);
        exec("CREATE SEQUENCE " + schema() + "." + name + " " + c.ddl);
        TfrmSeq *w = Open(name);
        ASSERT_NE(w, nullptr) << c.ddl;
        const TSequenceDef d = w->ControlsDef();
        EXPECT_EQ(d.TypeName, c.type) << c.ddl;
        EXPECT_EQ(d.NoMin, c.noMin) << c.ddl;
        EXPECT_EQ(d.NoMax, c.noMax) << c.ddl;
        EXPECT_EQ(d.Cache, c.cache) << c.ddl;
        EXPECT_FALSE(w->txtMax->isEnabled() == d.NoMax) << c.ddl;
        EXPECT_EQ(w->pnlCurrent->text(), "(不明)");
        EXPECT_EQ(w->lblLastNo->text(), "最終番号");
        EXPECT_FALSE(w->Modified());
        EXPECT_FALSE(w->pnlName->isEnabled());
        CloseEditor(w);
    }
}

TEST_F(SequenceEditorTest, OwnedByColumnLoadsAndDropsDown)
{
    exec("CREATE TABLE " + schema() + ".\"Orders\" (id int, \"Code\" int)");
    exec("CREATE SEQUENCE " + schema() + ".oseq OWNED BY " + schema() + ".\"Orders\".\"Code\"");
    TfrmSeq *w = Open("oseq");
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(w->chkOwned->isChecked());
    EXPECT_EQ(w->cmbTable->Text(), QString("Orders"));
    EXPECT_EQ(w->cmbColumn->Text(), QString("Code"));
    EXPECT_TRUE(w->cmbTable->isEnabled());
    EXPECT_GE(w->cmbTable->findText("Orders"), 0);
    EXPECT_GE(w->cmbColumn->findText("id"), 0);
    CloseEditor(w);
}

TEST_F(SequenceEditorTest, NewSequenceCreatesAndItsFirstNextvalIsStart)
{
    TRecordingRunner runner;
    TfrmSeq *w = OpenEditor<TfrmSeq>(58, schema(), QString());
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->IsNew());
    EXPECT_EQ(w->windowTitle(), "SEQUENCE - 新規");
    EXPECT_TRUE(w->pnlName->isEnabled());
    EXPECT_FALSE(w->pagObject->isTabVisible(1));
    EXPECT_FALSE(w->btnInc->isVisible());
    EXPECT_EQ(w->lblLastNo->text(), "初 期 値");
    EXPECT_FALSE(w->actDelete->isEnabled());
    w->cmbSchema->setEditText(schema());
    w->txtName->setText("fresh");
    w->txtLastNo->setText("5");
    Compile(w);
    ASSERT_EQ(runner.Ran.size(), 1);
    EXPECT_EQ(runner.Ran[0].first(), "CREATE SEQUENCE " + schema() + ".fresh");
    EXPECT_TRUE(runner.Ran[0].contains("START 5"));
    EXPECT_EQ(runner.Waits, 1);
    EXPECT_FALSE(w->IsNew());
    EXPECT_FALSE(w->Modified());
    EXPECT_TRUE(w->windowTitle().startsWith("SEQUENCE - " + schema() + ".fresh @ "));
    EXPECT_TRUE(w->actDelete->isEnabled());
    EXPECT_TRUE(w->actInc->isEnabled());
    EXPECT_EQ(scalar("SELECT nextval('" + schema() + ".fresh')"), "5") << "no setval after creating";
    CloseEditor(w);
}

TEST_F(SequenceEditorTest, ValidationWarnsAndFocuses)
{
    TRecordingRunner runner;
    struct Case {
        const char *what;
        QString schemaText, name;
        bool owned;
        QString table;
        QString message;
        const char *focus;
    };
    const QList<Case> cases = {
        {"empty name", schema(), "  ", true, "", "名前を入力して下さい。", "txtName"},
        {"empty schema", "", "n1", true, "", "スキーマ名を入力して下さい。", "cmbSchema"},
        {"no table", schema(), "n1", false, "", "テーブルを選択して下さい。", "cmbTable"},
        {"no column", schema(), "n1", false, "t", "カラムを選択して下さい。", "cmbColumn"},
        {"name over 63 bytes", schema(), QString(22, QChar(0x8868)), true, "",
         "名前が長すぎます。63バイト以内で入力して下さい。", "txtName"},
    };
    for (const Case &c : cases) {
        TfrmSeq *w = OpenEditor<TfrmSeq>(58, schema(), QString());
        ASSERT_NE(w, nullptr);
        w->activateWindow();
        w->cmbSchema->setEditText(c.schemaText);
        w->txtName->setText(c.name);
        if (!c.owned)
            w->chkOwned->click();
        w->cmbTable->setEditText(c.table);
        TBoxes boxes;
        Compile(w);
        EXPECT_EQ(boxes.Texts, QStringList{c.message}) << c.what;
        EXPECT_EQ(boxes.Flags.value(0) & 0xF0, MB_ICONWARNING) << c.what;
        QWidget *focus = w->findChild<QWidget *>(c.focus);
        ASSERT_NE(focus, nullptr);
        EXPECT_TRUE(focus == w->focusWidget() || focus->isAncestorOf(w->focusWidget()) || !w->focusWidget()) << c.what;
        EXPECT_TRUE(runner.Ran.isEmpty()) << c.what;
        EXPECT_TRUE(w->IsNew());
        CloseEditor(w);
    }
}

TEST_F(SequenceEditorTest, NothingChangedSaysSoAndReloads)
{
    TRecordingRunner runner;
    exec("CREATE SEQUENCE " + schema() + ".same_seq");
    TfrmSeq *w = Open("same_seq");
    ASSERT_NE(w, nullptr);
    // Ticked and unticked again: modified, but the text is the same.
    w->chkCycle->click();
    w->chkCycle->click();
    EXPECT_TRUE(w->Modified());
    TBoxes boxes;
    Compile(w);
    EXPECT_EQ(boxes.Texts, QStringList{"変更箇所が見つかりませんでした。"});
    EXPECT_EQ(boxes.Flags.value(0) & 0xF0, MB_ICONWARNING);
    EXPECT_TRUE(runner.Previewed.isEmpty());
    EXPECT_FALSE(w->Modified());
    CloseEditor(w);
}

TEST_F(SequenceEditorTest, AlterAndLastValueKeepGrantsAndDefaults)
{
    TRecordingRunner runner;
    exec("CREATE SEQUENCE " + schema() + ".kept");
    exec("CREATE TABLE " + schema() + ".uses (id bigint DEFAULT nextval('" + schema() + ".kept'))");
    exec("GRANT USAGE ON SEQUENCE " + schema() + ".kept TO PUBLIC");
    exec("COMMENT ON SEQUENCE " + schema() + ".kept IS 'keep me'");
    TfrmSeq *w = Open("kept");
    ASSERT_NE(w, nullptr);
    w->txtInc->setText("3");
    Compile(w);
    ASSERT_EQ(runner.Ran.size(), 1);
    EXPECT_EQ(runner.Ran[0], QStringList({"ALTER SEQUENCE " + schema() + ".kept", "INCREMENT 3", ";"}));
    w->txtLastNo->setText("40");
    Compile(w);
    ASSERT_EQ(runner.Ran.size(), 2);
    EXPECT_EQ(runner.Ran[1], QStringList({"SELECT setval('" + schema() + ".kept', 40)", ";"}));
    EXPECT_EQ(scalar("SELECT nextval('" + schema() + ".kept')"), "43");
    EXPECT_EQ(scalar("SELECT has_sequence_privilege('public', '" + schema() + ".kept', 'USAGE')"), "t");
    EXPECT_EQ(scalar("SELECT obj_description('" + schema() + ".kept'::regclass, 'pg_class')"), "keep me");
    EXPECT_EQ(scalar("SELECT count(*) FROM pg_depend WHERE classid = 'pg_attrdef'::regclass AND refobjid = '" + schema()
                     + ".kept'::regclass"),
              "1") << "the default still uses the sequence";
    EXPECT_EQ(w->txtLastNo->text(), "40");
    CloseEditor(w);
}

TEST_F(SequenceEditorTest, SourcePageRunsTheMemoUnchangedAfterTheDrop)
{
    TRecordingRunner runner;
    exec("CREATE SEQUENCE " + schema() + ".src START 7");
    TfrmSeq *w = Open("src", omSource);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->pagObject->currentWidget(), w->tabSource);
    EXPECT_TRUE(w->actCompile->isEnabled()) << "the source can always be run";
    const QString memo = "CREATE SEQUENCE " + schema() + ".src\n  INCREMENT 2  \n;\n-- note\n";
    w->txtSource->setText(memo);
    Compile(w);
    ASSERT_EQ(runner.Ran.size(), 1);
    QStringList expected = {"DROP SEQUENCE " + schema() + ".src", ";"};
    expected += memo.split('\n');
    EXPECT_EQ(runner.Ran[0], expected);
    EXPECT_EQ(scalar("SELECT increment_by FROM pg_sequences WHERE schemaname = '" + schema() + "' AND sequencename = 'src'"), "2");
    CloseEditor(w);
}

TEST_F(SequenceEditorTest, PreviewCancelRunsNothingAndKeepsModified)
{
    TRecordingRunner runner;
    runner.PreviewAnswer = false;
    exec("CREATE SEQUENCE " + schema() + ".pc");
    TfrmSeq *w = Open("pc");
    ASSERT_NE(w, nullptr);
    w->txtInc->setText("9");
    Compile(w);
    EXPECT_EQ(runner.Previewed.size(), 1);
    EXPECT_EQ(runner.PreviewArgs.value(0), schema() + "|pc");
    EXPECT_TRUE(runner.Ran.isEmpty());
    EXPECT_TRUE(w->Modified());
    EXPECT_EQ(w->txtInc->text(), "9");
    CloseEditor(w);
}

TEST_F(SequenceEditorTest, RealDialogsWithShowDDLOffShowNoPreview)
{
    TkdOption::Global().ShowDDL = false;
    TkdOption::Global().CloseDDL = true;
    TfrmSeq *w = OpenEditor<TfrmSeq>(58, schema(), QString());
    ASSERT_NE(w, nullptr);
    w->cmbSchema->setEditText(schema());
    w->txtName->setText("real");
    int dialogs = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        for (QWidget *t : QApplication::topLevelWidgets())
            if (qobject_cast<QDialog *>(t) && t->isVisible())
                ++dialogs, t->close();
    });
    watch.start(5);
    Compile(w);
    watch.stop();
    EXPECT_EQ(dialogs, 0);
    EXPECT_TRUE(Exists(schema() + ".real"));
    EXPECT_FALSE(w->IsNew());
    EXPECT_TRUE(TfrmDDLExec::Windows().isEmpty()) << "the run log closed itself after a clean run";
    CloseEditor(w);
}

TEST_F(SequenceEditorTest, StopOnErrorRollsBackAndContinueCommitsTheRest)
{
    for (bool stop : {true, false}) {
        TRecordingRunner runner;
        runner.StopOnError = stop;
        runner.FailAt = 3;
        const QString p = stop ? "stop_" : "go_";
        exec("CREATE SEQUENCE " + schema() + "." + p + "s");
        TfrmSeq *w = Open(p + "s", omSource);
        ASSERT_NE(w, nullptr);
        // 1 the DROP, 2 a table, 3 fails, 4 the sequence again, 5 another table.
        w->txtSource->setText("CREATE TABLE " + schema() + "." + p + "t2 (x int)\n;\nSELECT 1\n;\nCREATE SEQUENCE " + schema()
                              + "." + p + "s\n;\nCREATE TABLE " + schema() + "." + p + "t5 (x int)\n;");
        Compile(w);
        EXPECT_EQ(runner.Errors, 1);
        if (stop) {
            EXPECT_TRUE(Exists(schema() + "." + p + "s")) << "the DROP was rolled back";
            EXPECT_FALSE(Exists(schema() + "." + p + "t2"));
            EXPECT_FALSE(Exists(schema() + "." + p + "t5"));
            EXPECT_TRUE(w->Modified()) << "the user's text stays for a second try";
        } else {
            EXPECT_TRUE(Exists(schema() + "." + p + "s"));
            EXPECT_TRUE(Exists(schema() + "." + p + "t2"));
            EXPECT_TRUE(Exists(schema() + "." + p + "t5"));
            EXPECT_FALSE(w->Modified());
        }
        EXPECT_EQ(scalar("SELECT count(*) FROM pg_stat_activity WHERE state = 'idle in transaction (aborted)' AND datname = current_database() AND pid <> pg_backend_pid() AND application_name = ''"),
                  "0");
        CloseEditor(w);
    }
}

TEST_F(SequenceEditorTest, PendingWorkOfTheUserSurvivesCompiles)
{
    TkdOption::Global().UpdateToCommit = false;
    exec("CREATE TABLE " + schema() + ".pending (x int)");
    exec("CREATE SEQUENCE " + schema() + ".pseq");
    TRecordingRunner runner;
    // The user's own work in the connection window: an INSERT not committed yet.
    Conn->dbsMain()->startTransaction();
    Conn->ExecuteSQL("INSERT INTO " + schema() + ".pending VALUES (1)");
    TfrmSeq *w = Open("pseq");
    ASSERT_NE(w, nullptr);
    w->txtInc->setText("2");
    Compile(w); // succeeds
    w->txtInc->setText("0"); // the server refuses an increment of zero
    Compile(w);
    EXPECT_EQ(runner.Ran.size(), 2);
    EXPECT_TRUE(w->Modified()) << "the failed compile keeps the typed value";
    EXPECT_TRUE(Conn->dbsMain()->inTransaction()) << "the user's block is still open";
    EXPECT_EQ(scalar("SELECT count(*) FROM " + schema() + ".pending"), "0") << "not committed by a compile";
    db::Query *q = Conn->OpenSQL("SELECT count(*) FROM " + schema() + ".pending");
    EXPECT_EQ(q->field(0).asString(), "1") << "not rolled back by a compile";
    q->close();
    Conn->dbsMain()->rollback();
    CloseEditor(w);
}

TEST_F(SequenceEditorTest, TerminatedBackendDuringCompileGivesAClearError)
{
    TRecordingRunner runner;
    exec("CREATE SEQUENCE " + schema() + ".lost");
    TfrmSeq *w = Open("lost");
    ASSERT_NE(w, nullptr);
    const QString pid = QString::number(Conn->dbsMain()->backendPid());
    runner.BeforeStatement = [&](int) { exec("SELECT pg_terminate_backend(" + pid + ")"); };
    runner.StopOnError = false;
    w->txtInc->setText("4");
    TBoxes boxes;
    bool finished = true;
    finished = GuardedCall([w] { w->Compile(); });
    EXPECT_FALSE(finished);
    EXPECT_TRUE(w->Modified());
    EXPECT_EQ(w->txtInc->text(), "4");
    EXPECT_TRUE(w->isVisible());
    CloseEditor(w);
}

TEST_F(SequenceEditorTest, AdvanceShowsTheSessionValue)
{
    exec("CREATE SEQUENCE " + schema() + ".adv START 10");
    TfrmSeq *w = Open("adv");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->pnlCurrent->text(), "(不明)");
    EXPECT_TRUE(w->actInc->isEnabled());
    w->actInc->trigger();
    FlushEvents();
    EXPECT_EQ(w->pnlCurrent->text(), "10");
    w->actInc->trigger();
    FlushEvents();
    EXPECT_EQ(w->pnlCurrent->text(), "11");
    EXPECT_EQ(w->txtLastNo->text(), "11");
    w->txtInc->setText("5");
    EXPECT_FALSE(w->actInc->isEnabled()) << "not while modified";
    CloseEditor(w);
}

TEST_F(SequenceEditorTest, DeleteDropsAfterYesOnly)
{
    exec("CREATE SEQUENCE " + schema() + ".del");
    TfrmSeq *w = Open("del");
    ASSERT_NE(w, nullptr);
    QPointer<TfrmSeq> p(w);
    {
        TBoxes boxes;
        boxes.Answers = {IDNO};
        w->actDelete->trigger();
        FlushEvents();
        EXPECT_EQ(boxes.Texts, QStringList{"オブジェクトを削除しますか？"});
        EXPECT_EQ(boxes.Flags.value(0) & 0xF00, MB_DEFBUTTON2);
        EXPECT_TRUE(Exists(schema() + ".del"));
        EXPECT_TRUE(p);
    }
    // A failing DROP (a default uses the sequence) keeps the window and says nothing of success.
    exec("CREATE TABLE " + schema() + ".dep (id bigint DEFAULT nextval('" + schema() + ".del'))");
    {
        TBoxes boxes;
        boxes.Answers = {IDYES};
        w->actDelete->trigger();
        FlushEvents();
        EXPECT_FALSE(boxes.Texts.contains("オブジェクトが削除されました。"));
        EXPECT_EQ(boxes.Texts.size(), 2) << "the question and the server's error";
        EXPECT_TRUE(p);
    }
    exec("DROP TABLE " + schema() + ".dep");
    {
        TBoxes boxes;
        boxes.Answers = {IDYES};
        w->SetModified(true);
        w->actDelete->trigger();
        FlushEvents();
        EXPECT_EQ(boxes.Texts, QStringList({"オブジェクトを削除しますか？", "オブジェクトが削除されました。"}));
        EXPECT_FALSE(Exists(schema() + ".del"));
        EXPECT_FALSE(p) << "the window closed without a close question";
    }
}

TEST_F(SequenceEditorTest, CloseQuestionAndStoredSize)
{
    TRecordingRunner runner;
    TkdRegistry &reg = SharedRegistry();
    const QString key = QString::fromUtf16(kMainKey) + "\\GUI\\SEQ";
    // Yes with a validation failure keeps the window.
    TfrmSeq *w = OpenEditor<TfrmSeq>(58, schema(), QString());
    ASSERT_NE(w, nullptr);
    QPointer<TfrmSeq> p(w);
    w->txtLastNo->setText("3");
    {
        TBoxes boxes;
        boxes.Answers = {IDYES};
        w->parentWidget()->close();
        FlushEvents();
        EXPECT_EQ(boxes.Texts, QStringList({"情報が変更されています。コンパイルしますか？", "名前を入力して下さい。"}));
        EXPECT_TRUE(p);
    }
    // A normal window stores its size; a maximised one keeps the stored size.
    w->parentWidget()->showNormal();
    w->parentWidget()->resize(1000, 620);
    FlushEvents();
    const QSize normal = w->size();
    {
        TBoxes boxes;
        boxes.Answers = {IDNO};
        w->parentWidget()->close();
        FlushEvents();
    }
    EXPECT_FALSE(p);
    ASSERT_TRUE(reg.OpenKey(key, false));
    EXPECT_EQ(reg.GetInteger("Width", 0), normal.width());
    EXPECT_EQ(reg.GetInteger("Height", 0), normal.height());
    reg.CloseKey();

    w = OpenEditor<TfrmSeq>(58, schema(), QString());
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->size(), normal) << "opened in the stored size";
    w->parentWidget()->showMaximized();
    FlushEvents();
    CloseEditor(w);
    ASSERT_TRUE(reg.OpenKey(key, false));
    EXPECT_EQ(reg.GetInteger("Width", 0), normal.width());
    EXPECT_EQ(reg.GetInteger("Height", 0), normal.height());
    reg.CloseKey();
}

TEST_F(SequenceEditorTest, PageChangeAsksWhileModified)
{
    TRecordingRunner runner;
    exec("CREATE SEQUENCE " + schema() + ".pg");
    TfrmSeq *w = Open("pg");
    ASSERT_NE(w, nullptr);
    struct Case {
        int answer;
        bool moves;
        int runs;
    };
    for (const Case &c : {Case{IDCANCEL, false, 0}, Case{IDNO, true, 0}, Case{IDYES, true, 1}}) {
        w->pagObject->setCurrentWidget(w->tabDefine);
        FlushEvents();
        runner.Ran.clear();
        w->txtInc->setText(QString::number(10 + c.answer));
        ASSERT_TRUE(w->Modified());
        TBoxes boxes;
        boxes.Answers = {c.answer};
        w->pagObject->setCurrentWidget(w->tabSource);
        FlushEvents();
        EXPECT_EQ(boxes.Texts.value(0), "情報が変更されています。コンパイルしますか？");
        EXPECT_EQ(w->pagObject->currentWidget() == w->tabSource, c.moves) << c.answer;
        EXPECT_EQ(runner.Ran.size(), c.runs) << c.answer;
        if (c.moves) {
            EXPECT_TRUE(w->txtSource->text().startsWith("CREATE SEQUENCE " + schema() + ".pg"));
        }
    }
    // Reload asks only while modified.
    w->txtSource->setText("changed");
    {
        TBoxes boxes;
        boxes.Answers = {IDNO};
        w->actRefresh->trigger();
        EXPECT_EQ(boxes.Texts, QStringList{"全ての変更を取り消しますか？"});
        EXPECT_EQ(w->txtSource->text(), "changed");
    }
    {
        TBoxes boxes;
        boxes.Answers = {IDYES};
        w->actRefresh->trigger();
        EXPECT_TRUE(w->txtSource->text().startsWith("CREATE SEQUENCE"));
        EXPECT_FALSE(w->Modified());
    }
    CloseEditor(w);
}

TEST_F(SequenceEditorTest, VanishedSequenceKeepsTheWindow)
{
    exec("CREATE SEQUENCE " + schema() + ".gone");
    TfrmSeq *w = Open("gone");
    ASSERT_NE(w, nullptr);
    w->txtInc->setText("6");
    exec("DROP SEQUENCE " + schema() + ".gone");
    TBoxes boxes;
    boxes.Answers = {IDYES};
    w->actRefresh->trigger();
    FlushEvents();
    EXPECT_EQ(boxes.Texts, QStringList({"全ての変更を取り消しますか？", "定義情報を読み込めませんでした。"}));
    EXPECT_EQ(w->txtInc->text(), "6") << "the last content stays";
    CloseEditor(w);
}

TEST_F(SequenceEditorTest, ScriptRoundTripOverAwkwardNames)
{
    const QStringList names = {"Upper", "with blank", "a\"b", "a'b", "表1", "x（y）", QString(63, QLatin1Char('n')), "select"};
    for (bool lower : {false, true}) {
        TkdOption::Global().UseLowerName = lower;
        for (const QString &name : names) {
            const QString q = QuoteIdentifier(schema(), true) + "." + QuoteIdentifier(name, true);
            exec("CREATE SEQUENCE " + q + " AS integer INCREMENT 4 START 12 MAXVALUE 900 CACHE 3 CYCLE");
            roundtrip::CheckScriptRoundTrip(Conn, 58, schema(), name, "DROP SEQUENCE " + q,
                                            {"-t", roundtrip::ExactPattern(schema(), name)});
            exec("DROP SEQUENCE " + q);
        }
    }
    TkdOption::Global().UseLowerName = false;
    // Descending, smallint and owned sequences.
    exec("CREATE TABLE " + schema() + ".own (id int)");
    for (const QString &ddl : {QString("AS smallint INCREMENT -2"), QString("MINVALUE -50 MAXVALUE 50 START 0"),
                               "OWNED BY " + schema() + ".own.id"}) {
        exec("CREATE SEQUENCE " + schema() + ".rt " + ddl);
        roundtrip::CheckScriptRoundTrip(Conn, 58, schema(), "rt", "DROP SEQUENCE " + schema() + ".rt",
                                        {"-t", roundtrip::ExactPattern(schema(), "rt")});
        exec("DROP SEQUENCE " + schema() + ".rt");
    }
}

TEST_F(SequenceEditorTest, CreatedByTheWindowScriptsBackTheSame)
{
    TRecordingRunner runner;
    TkdOption::Global().UseLowerName = true; // typed names keep their case
    TfrmSeq *w = OpenEditor<TfrmSeq>(58, schema(), QString());
    ASSERT_NE(w, nullptr);
    w->cmbSchema->setEditText(schema());
    w->txtName->setText("Made Here");
    w->txtInc->setText("-1");
    w->txtLastNo->setText("-1");
    w->chkNomax->setChecked(true);
    w->chkNoMin->setChecked(true);
    Compile(w);
    ASSERT_TRUE(Exists(schema() + ".\"Made Here\""));
    roundtrip::CheckScriptRoundTrip(Conn, 58, schema(), "Made Here", "DROP SEQUENCE " + schema() + ".\"Made Here\"",
                                    {"-t", roundtrip::ExactPattern(schema(), "Made Here")});
    CloseEditor(w);
}

} // namespace
