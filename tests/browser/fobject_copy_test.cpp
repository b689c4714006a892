// Paste of copied objects in the real connection window against the sandbox server: a table
// with its indexes and rows under entered names, a function through its script builder with
// a new name in capitals, cancel at the second of three, an object the pasting window's
// database lacks, a failing paste with UpdateToCommit off that leaves the user's pending
// change committable, and the script options restored afterwards.
#include "objcommands_fixture.h"
#include "browser/fddlexec.h"
#include "editors/table_script.h"
#include "support/testdb.h"

#include <QTimer>

namespace {

using namespace objcmds;

class PasteTest : public ObjectCommandsTest
{
protected:
    void SetUp() override
    {
        ObjectCommandsTest::SetUp();
        TkdOption::Global().CloseDDL = true;
        RegisterEditor(45, {}, &TableScript);
        // Functions: the server's own definition, as a script builder gives it.
        RegisterEditor(52, {}, [](TkdConnForm *owner, const TObjectArgs &a, TScriptSink &sink) {
            db::Query *q = owner->OpenSQL(u("SELECT pg_get_functiondef(:OID)"), {QString::number(a.OID)});
            if (q->eof())
                return;
            sink.WriteScript(q->field(0).asString().split(u'\n') << u(";"));
        });
        // Run logs that stay open (a failed statement) are closed as a user would.
        FCloser = new QTimer;
        QObject::connect(FCloser, &QTimer::timeout, [] {
            for (TfrmDDLExec *w : TfrmDDLExec::Windows())
                if (!w->Running())
                    w->close();
        });
        FCloser->start(50);
    }
    void TearDown() override
    {
        delete FCloser;
        TkdOption::Global().CloseDDL = false;
        ObjectCommandsTest::TearDown();
    }
    // Answers the name dialogs in order: a value or nullptr for Cancel; the check boxes of the
    // first dialog take `boxes` when given.
    void Names(QList<const char *> values, QList<bool> boxes = {})
    {
        Prompts.clear();
        Answer = [this, values, boxes](MessageBoxRequest &r) mutable {
            if (r.kind != MessageBoxRequest::Kind::Input)
                return (r.flags & MB_YESNO) ? IDYES : IDOK; // also "処理を中断しますか？" of a stopped run log
            Prompts << r.text + u("=") + r.value;
            if (values.isEmpty() || !values.first()) {
                if (!values.isEmpty())
                    values.removeFirst();
                return IDCANCEL;
            }
            r.value = u(values.takeFirst());
            for (int i = 0; i < boxes.size() && i < r.items.size(); ++i)
                r.items[i].Checked = boxes.at(i);
            boxes.clear();
            return IDOK;
        };
    }
    QStringList Prompts;
    QTimer *FCloser = nullptr;
};

TEST_F(PasteTest, TableWithIndexesAndRowsUnderEnteredNames)
{
    exec(u("CREATE TABLE src (id int PRIMARY KEY, note text DEFAULT 'src')"));
    exec(u("CREATE INDEX src_note ON src (note)"));
    exec(u("INSERT INTO src SELECT g, 'n' || g FROM generate_series(1, 3) g"));
    TfrmObject *f = Open();
    SelectType(f, 45);
    SelectRows(f, {u("src")});
    f->Action(u("actCopy"))->trigger();
    ASSERT_TRUE(Enabled(f, "actPaste"));
    TScriptOption::Global().Insert = true;
    TScriptOption::Global().Index = false;
    // name, then the two index names the copy's script has (key first)
    Names({"Dst Copy", "dst_pk", "dst_note"});
    f->Action(u("actPaste"))->trigger();
    Flush();
    ASSERT_EQ(Prompts.size(), 3) << Prompts.join(u(" | ")).toStdString();
    EXPECT_EQ(Prompts.at(0), u("新規オブジェクト名=src"));
    EXPECT_TRUE(Prompts.at(1).startsWith(u("新規インデックス名=")));
    EXPECT_TRUE(Exists(u("Dst Copy")));
    EXPECT_TRUE(Exists(u("dst_pk")));
    EXPECT_TRUE(Exists(u("dst_note")));
    EXPECT_EQ(scalar(u("SELECT count(*) FROM \"%1\".\"Dst Copy\"").arg(schema())), u("3"));
    EXPECT_EQ(scalar(u("SELECT conname FROM pg_constraint WHERE conrelid = '\"%1\".\"Dst Copy\"'::regclass AND contype = 'p'")
                         .arg(schema())),
              u("dst_pk"));
    // the source keeps its own indexes
    EXPECT_TRUE(Exists(u("src_note")));
    // the list was reloaded and shows the copy; the script options are back
    EXPECT_GE(RowOf(f, u("Dst Copy")), 0);
    EXPECT_TRUE(TScriptOption::Global().Insert);
    EXPECT_FALSE(TScriptOption::Global().Index);

    // without indexes and rows: no index dialog, an empty table
    Names({"bare"}, {false, false});
    f->Action(u("actPaste"))->trigger();
    Flush();
    EXPECT_EQ(Prompts.size(), 1);
    EXPECT_TRUE(Exists(u("bare")));
    EXPECT_EQ(scalar(u("SELECT count(*) FROM \"%1\".bare").arg(schema())), u("0"));
    EXPECT_EQ(scalar(u("SELECT count(*) FROM pg_indexes WHERE schemaname = '%1' AND tablename = 'bare'").arg(schema())), u("1"));
    f->close();
    Flush();
}

TEST_F(PasteTest, FunctionNameInCapitalsIsQuotedAndLowerCaseAsTyped)
{
    exec(u("CREATE FUNCTION calc(a int) RETURNS int LANGUAGE sql AS $$ SELECT a + 1 $$"));
    TfrmObject *f = Open();
    SelectType(f, 52);
    SelectRows(f, {u("calc")});
    f->Action(u("actCopy"))->trigger();
    Names({"CalcCopy"});
    f->Action(u("actPaste"))->trigger();
    Flush();
    EXPECT_EQ(scalar(u("SELECT count(*) FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace "
                       "WHERE n.nspname = '%1' AND p.proname = 'CalcCopy'").arg(schema())),
              u("1"));
    Names({"calc_lower"});
    f->Action(u("actPaste"))->trigger();
    Flush();
    EXPECT_EQ(scalar(u("SELECT \"%1\".calc_lower(1)").arg(schema())), u("2"));
    f->close();
    Flush();
}

TEST_F(PasteTest, CancelAtTheSecondOfThreeKeepsTheFirstAndDoesNotReload)
{
    for (const char *t : {"p1", "p2", "p3"})
        exec(u("CREATE TABLE %1 (a int)").arg(u(t)));
    TfrmObject *f = Open();
    SelectType(f, 45);
    SelectRows(f, {u("p1"), u("p2"), u("p3")});
    f->Action(u("actCopy"))->trigger();
    Names({"p1_copy", nullptr}, {false, false});
    f->Action(u("actPaste"))->trigger();
    Flush();
    EXPECT_EQ(Prompts.size(), 2);
    EXPECT_TRUE(Exists(u("p1_copy")));
    EXPECT_FALSE(Exists(u("p2")) && Exists(u("p2_copy")));
    EXPECT_EQ(RowOf(f, u("p1_copy")), -1); // not reloaded
    f->close();
    Flush();
}

TEST_F(PasteTest, ObjectMissingInThePastingWindowsDatabaseRunsNothing)
{
    exec(u("CREATE TABLE gone (a int)"));
    exec(u("CREATE TABLE kept (a int)"));
    TfrmObject *f = Open();
    SelectType(f, 45);
    SelectRows(f, {u("gone"), u("kept")});
    f->Action(u("actCopy"))->trigger();
    exec(u("DROP TABLE gone"));
    TfrmObject *g = Open();
    SelectType(g, 45);
    Names({"gone2", "kept2"}, {false, false});
    Boxes.clear();
    g->Action(u("actPaste"))->trigger();
    Flush();
    EXPECT_FALSE(Exists(u("gone2")));
    EXPECT_TRUE(Exists(u("kept2")));
    EXPECT_TRUE(TfrmDDLExec::Windows().isEmpty());
    for (const QString &b : Boxes)
        EXPECT_TRUE(b == u("新規オブジェクト名")) << b.toStdString(); // no error box
    g->close();
    Flush();
    f->close();
    Flush();
}

TEST_F(PasteTest, FailedPasteWithUpdateToCommitOffLeavesThePendingChangeCommittable)
{
    TkdOption::Global().UpdateToCommit = false;
    exec(u("CREATE TABLE dup (a int)"));
    exec(u("CREATE TABLE dup2 (a int)"));
    TfrmObject *f = Open();
    f->ExecuteSQL(u("CREATE TABLE pending_one (a int)"));
    SelectType(f, 45);
    SelectRows(f, {u("dup")});
    f->Action(u("actCopy"))->trigger();
    Names({"dup2"}, {false, false}); // already there: the CREATE fails in the run log
    f->Action(u("actPaste"))->trigger();
    Flush();
    f->ExecuteSQL(u("COMMIT"));
    EXPECT_TRUE(Exists(u("pending_one")));
    f->close();
    Flush();
}

} // namespace
