// The constraint editor against the sandbox server: the editor table's contract for code
// 66, a table of constraint fixtures of all five kinds rebuilt by the window (DROP + ADD in
// one transaction) and scripted, dropped and run back with the same pg_get_constraintdef
// and pg_dump; the column pairs of foreign keys; exclusion operators that must exist; a
// failing rebuild that leaves the old constraint; and the window on an exclusion constraint
// (grabbed to a file when VANTOR_SHOT_DIR is set).
#include "controls/kdgrid.h"
#include "controls/kdmemo.h"
#include "controls/kdstdctl.h"
#include "editors/column_chooser.h"
#include "editors/constraint_editor.h"
#include "support/editor_contract.h"
#include "support/roundtrip.h"
#include "support/testdb.h"
#include "editors/editor_fixture.h"

#include <QAction>
#include <QButtonGroup>
#include <QDir>
#include <QTabWidget>

namespace {

class ConstraintEditorTest : public EditorDbTest
{
protected:
    TfrmConst *Open(const QString &name, const QString &table = "child")
    {
        QWidget *w = Conn->OpenObject(66, schema(), name, omDefine, false, 0, 0, table);
        FlushEvents();
        return qobject_cast<TfrmConst *>(w);
    }
    static void Compile(TObjectEditor *e)
    {
        GuardedCall([e] { e->Compile(); });
        FlushEvents();
    }
    QString Def(const QString &name, const QString &table = "child")
    {
        return scalar("SELECT pg_get_constraintdef(oid) FROM pg_constraint WHERE conrelid = '" + schema() + "." + table
                      + "'::regclass AND conname = " + QuoteLiteral(name));
    }
    QString Dump(const QString &table = "child") { return roundtrip::SchemaDump({"-t", roundtrip::ExactPattern(schema(), table)}); }
    void MakeTables()
    {
        const QString s = schema();
        exec("CREATE TABLE " + s + ".parent (x int, y int, z int, CONSTRAINT parent_pk PRIMARY KEY (x, y), "
             "CONSTRAINT parent_z UNIQUE (z))");
        exec("CREATE TABLE " + s + ".child (id int NOT NULL, a int DEFAULT 0, b int DEFAULT 0, c int, t text, "
             "r int4range, \"Odd Col\" int)");
    }
    // Scripts the constraint, drops it, runs the script: the same definition and dump.
    void ScriptRoundTrip(const QString &name, const QString &table = "child")
    {
        const QString before = Dump(table);
        const QString def = Def(name, table);
        TScriptSink sink;
        ASSERT_TRUE(Conn->OutputScript(66, schema(), name, sink, QString(), QString(), 0, table));
        exec("ALTER TABLE " + schema() + "." + table + " DROP CONSTRAINT " + QuoteIdentifier(name, true));
        roundtrip::RunLines(Conn, sink.Lines());
        EXPECT_EQ(Def(name, table), def) << sink.Lines().join('\n');
        EXPECT_EQ(Dump(table), before) << sink.Lines().join('\n');
    }
};

TEST_F(ConstraintEditorTest, EditorTableContract)
{
    MakeTables();
    exec("ALTER TABLE " + schema() + ".child ADD CONSTRAINT contract_ck CHECK (id > 0)");
    TEditorContract c;
    c.Owner = Conn;
    c.Code = 66;
    c.Schema = schema();
    c.Name = "contract_ck";
    c.TableName = "child";
    c.PagesOfModes = {{omDefine, 0}, {omSource, 0}, {omGrant, 0}};
    CheckEditorContract(c);
    // Without a table there is nothing to script.
    TScriptSink sink;
    EXPECT_FALSE(Conn->OutputScript(66, schema(), "contract_ck", sink));
}

// Each fixture is changed and changed back by the window, each change a DROP + ADD run in
// one transaction; afterwards definition and dump are those of the hand-written SQL.
TEST_F(ConstraintEditorTest, FixturesSurviveRebuildAndScript)
{
    MakeTables();
    const QString s = schema();
    const QString tbs = qEnvironmentVariable("VANTOR_TBS");
    struct Fixture {
        QString name, ddl;
        std::function<void(TfrmConst *)> change, back; // back empty: the change keeps the definition
    };
    const QList<Fixture> fixtures = {
        {"fk2",
         "FOREIGN KEY (a, b) REFERENCES " + s + ".parent (x, y) MATCH FULL ON UPDATE CASCADE ON DELETE SET DEFAULT "
         "DEFERRABLE INITIALLY DEFERRED",
         [](TfrmConst *w) { w->grpDelete->button(2)->click(); }, [](TfrmConst *w) { w->grpDelete->button(4)->click(); }},
        {"fk_odd", "FOREIGN KEY (\"Odd Col\") REFERENCES " + s + ".parent (z) ON DELETE SET NULL NOT VALID",
         [](TfrmConst *w) { w->grpUpdate->button(1)->click(); }, [](TfrmConst *w) { w->grpUpdate->button(0)->click(); }},
        {"ck_nv", "CHECK (c > 0) NOT VALID", [](TfrmConst *w) { w->txtCheck->setText(w->txtCheck->text() + "\n "); }, {}},
        {"ck_multi", "CHECK (c > 0\n   AND id < 100)",
         [](TfrmConst *w) { w->txtCheck->setText("c > 0\r\nAND id < 100"); }, {}},
        {"ck_and", "CHECK ((a>0) AND (b>0))", [](TfrmConst *w) { w->txtCheck->setText("(a>0) AND (b>0)"); }, {}},
        {"ck_ni", "CHECK (id > 0) NO INHERIT", [](TfrmConst *w) { w->txtCheck->setText("id>0"); }, {}},
        {"ex_gist", "EXCLUDE USING gist (r WITH &&, int4range(a, b) WITH &&) WHERE (id > 0)",
         [](TfrmConst *w) {
             w->grdExclude->SetCurrentCell(0, 2);
             w->btnGridDelClick();
         },
         [](TfrmConst *w) {
             const int r = w->grdExclude->RowCount() - 1;
             w->grdExclude->SetCells(0, r, "int4range(a, b)");
             w->grdExclude->SetCells(4, r, "&&");
             w->OnChange();
         }},
        {"ex_btree", "EXCLUDE USING btree (t text_pattern_ops DESC NULLS LAST WITH =)",
         [](TfrmConst *w) {
             w->grdExclude->SetCells(2, 1, "FIRST");
             w->OnChange();
         },
         [](TfrmConst *w) {
             w->grdExclude->SetCells(2, 1, "LAST");
             w->OnChange();
         }},
        {"uq_incl",
         "UNIQUE (c, t) INCLUDE (b) WITH (fillfactor = 80)" + (tbs.isEmpty() ? QString() : " USING INDEX TABLESPACE " + tbs)
             + " DEFERRABLE",
         [](TfrmConst *w) {
             w->fraColumns->SetItems({{"t", {}, -1}, {"c", {}, -1}});
             w->OnChange();
         },
         [](TfrmConst *w) {
             w->fraColumns->SetItems({{"c", {}, -1}, {"t", {}, -1}});
             w->OnChange();
         }},
    };
    for (const Fixture &f : fixtures) {
        SCOPED_TRACE(f.name.toStdString());
        exec("ALTER TABLE " + s + ".child ADD CONSTRAINT " + f.name + " " + f.ddl);
        const QString def = Def(f.name);
        const QString dump = Dump();
        TRecordingRunner runner;
        TfrmConst *w = Open(f.name);
        ASSERT_NE(w, nullptr);
        f.change(w);
        ASSERT_TRUE(w->Modified());
        Compile(w);
        ASSERT_EQ(runner.Ran.size(), 1);
        EXPECT_EQ(runner.Ran[0].value(0), "ALTER TABLE " + QuoteIdentifier(s) + ".child DROP CONSTRAINT " + f.name);
        EXPECT_EQ(runner.Errors, 0) << runner.Ran[0].join('\n');
        EXPECT_FALSE(w->Modified());
        if (f.back) {
            EXPECT_NE(Def(f.name), def) << "the change reached the server";
            f.back(w);
            Compile(w);
            ASSERT_EQ(runner.Ran.size(), 2);
            EXPECT_EQ(runner.Errors, 0) << runner.Ran[1].join('\n');
        }
        EXPECT_EQ(Def(f.name), def) << runner.Ran.last().join('\n');
        EXPECT_EQ(Dump(), dump);
        CloseEditor(w);
        ScriptRoundTrip(f.name);
        exec("ALTER TABLE " + s + ".child DROP CONSTRAINT " + f.name);
    }
    // The parent's two-column key and the key whose index was renamed load their columns.
    exec("ALTER INDEX " + s + ".parent_pk RENAME TO parent_key_index");
    TfrmConst *w = Open("parent_key_index", "parent");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->fraColumns->Names(), QStringList({"x", "y"}));
    CloseEditor(w);
    ScriptRoundTrip("parent_key_index", "parent");
}

TEST_F(ConstraintEditorTest, ForeignKeyLoadsPairsAndSkipsEmptyRows)
{
    MakeTables();
    exec("ALTER TABLE " + schema() + ".child ADD CONSTRAINT fk_pairs FOREIGN KEY (b, a) REFERENCES " + schema()
         + ".parent (x, y) ON UPDATE SET NULL ON DELETE RESTRICT");
    TRecordingRunner runner;
    TfrmConst *w = Open("fk_pairs");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->cmbConstType->currentIndex(), 2);
    ASSERT_EQ(w->grdForeign->RowCount(), 3);
    EXPECT_EQ(w->grdForeign->Cells(0, 1), "x");
    EXPECT_EQ(w->grdForeign->Cells(1, 1), "b");
    EXPECT_EQ(w->grdForeign->Cells(0, 2), "y");
    EXPECT_EQ(w->grdForeign->Cells(1, 2), "a");
    EXPECT_EQ(w->grpUpdate->checkedId(), 3);
    EXPECT_EQ(w->grpDelete->checkedId(), 1);
    EXPECT_EQ(w->cmbRefSchema->Text(), schema());
    EXPECT_EQ(w->cmbRefTable->Text(), "parent");
    EXPECT_EQ(w->cmbRefIndex->Text(), "parent_pk") << "the constraint's own referenced index";
    // A third row with only one side is left out of the statement.
    w->grdForeign->SetRowCount(4);
    w->grdForeign->SetCells(0, 3, "z");
    w->grdForeign->SetCells(1, 3, "");
    w->grpDelete->button(2)->click();
    Compile(w);
    ASSERT_EQ(runner.Ran.size(), 1);
    EXPECT_EQ(runner.Errors, 0) << runner.Ran[0].join('\n');
    // (The server leaves out the schema on the search path.)
    EXPECT_EQ(Def("fk_pairs"), "FOREIGN KEY (b, a) REFERENCES parent(x, y) ON UPDATE SET NULL ON DELETE CASCADE");
    CloseEditor(w);
}

TEST_F(ConstraintEditorTest, NewConstraintsOfEachKind)
{
    MakeTables();
    TRecordingRunner runner;
    TBoxes boxes;
    TfrmConst *w = OpenEditor<TfrmConst>(66, schema(), QString());
    // OpenObject passes no table here: the window asks for one.
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->IsNew());
    EXPECT_EQ(w->windowTitle(), "CONSTRAINT - 新規");
    w->txtName->setText("new_pk");
    Compile(w);
    EXPECT_EQ(boxes.Texts.value(0), "テーブルを設定して下さい。");
    w->cmbTableName->setEditText("child");
    w->cmbTableName->textActivated("child");
    Compile(w);
    EXPECT_EQ(boxes.Texts.value(1), "列を指定して下さい。");
    for (int i = 0; i < w->fraColumns->lstTabCol->count(); ++i)
        w->fraColumns->lstTabCol->item(i)->setSelected(w->fraColumns->lstTabCol->item(i)->text() == "id");
    w->fraColumns->btnInsClick();
    Compile(w);
    ASSERT_EQ(runner.Ran.size(), 1);
    EXPECT_EQ(Def("new_pk"), "PRIMARY KEY (id)");
    EXPECT_FALSE(w->IsNew());
    EXPECT_TRUE(w->windowTitle().startsWith("CONSTRAINT - " + schema() + ".child.new_pk @ ")) << w->windowTitle();
    EXPECT_FALSE(w->pnlObj->isEnabled());
    CloseEditor(w);

    // An exclusion constraint whose operator does not exist never reaches the server.
    TfrmConst *x = OpenEditor<TfrmConst>(66, schema(), QString());
    ASSERT_NE(x, nullptr);
    x->txtName->setText("new_ex");
    x->cmbTableName->setEditText("child");
    x->cmbTableName->textActivated("child");
    x->cmbConstType->setCurrentIndex(4);
    x->cmbConstTypeChange();
    QStringList methods;
    for (int i = 0; i < x->cmbAccessMethod->count(); ++i)
        methods << x->cmbAccessMethod->itemText(i);
    EXPECT_TRUE(methods.contains("GIST"));
    EXPECT_TRUE(methods.contains("BTREE"));
    EXPECT_FALSE(methods.contains("GIN")) << "only methods that can exclude";
    EXPECT_FALSE(methods.contains("BRIN"));
    EXPECT_TRUE(x->ExcludePickList(4).contains("&&"));
    x->cmbAccessMethod->setCurrentIndex(x->cmbAccessMethod->findText("GIST"));
    x->grdExclude->SetCells(0, 1, "r");
    x->grdExclude->SetCells(4, 1, "&&; DROP TABLE x");
    x->OnChange();
    const qsizetype before = boxes.Texts.size();
    Compile(x);
    EXPECT_EQ(boxes.Texts.value(before), "演算子 &&; DROP TABLE x は存在しません。");
    x->grdExclude->SetCells(4, 1, "=&&");
    Compile(x);
    EXPECT_EQ(boxes.Texts.value(before + 1), "演算子 =&& は存在しません。");
    EXPECT_EQ(runner.Ran.size(), 1);
    x->grdExclude->SetCells(4, 1, "&&");
    Compile(x);
    ASSERT_EQ(runner.Ran.size(), 2);
    EXPECT_EQ(Def("new_ex"), "EXCLUDE USING gist (r WITH &&)");
    CloseEditor(x);
}

// The ADD fails after the DROP ran: both are rolled back; a key that foreign keys reference
// cannot be dropped either.
TEST_F(ConstraintEditorTest, FailedRebuildLeavesTheOldConstraint)
{
    MakeTables();
    exec("ALTER TABLE " + schema() + ".child ADD CONSTRAINT ck_keep CHECK (c > 0) NOT VALID");
    exec("ALTER TABLE " + schema() + ".child ADD CONSTRAINT fk_ref FOREIGN KEY (a, b) REFERENCES " + schema() + ".parent (x, y)");
    const QString before = Def("ck_keep");
    TRecordingRunner runner;
    runner.FailAt = 2;
    TfrmConst *w = Open("ck_keep");
    ASSERT_NE(w, nullptr);
    w->txtCheck->setText("c > 1");
    Compile(w);
    EXPECT_EQ(runner.Errors, 1);
    EXPECT_EQ(Def("ck_keep"), before);
    EXPECT_TRUE(w->Modified());
    EXPECT_EQ(w->txtCheck->text(), "c > 1");
    CloseEditor(w);

    runner.FailAt = 0;
    TfrmConst *p = Open("parent_pk", "parent");
    ASSERT_NE(p, nullptr);
    p->fraColumns->SetItems({{"y", {}, -1}, {"x", {}, -1}});
    p->OnChange();
    Compile(p);
    EXPECT_EQ(runner.Errors, 2) << "the referenced key cannot be dropped";
    EXPECT_EQ(Def("parent_pk", "parent"), "PRIMARY KEY (x, y)");
    EXPECT_TRUE(p->Modified());
    CloseEditor(p);
}

TEST_F(ConstraintEditorTest, ExclusionWindowShowsElements)
{
    MakeTables();
    exec("ALTER TABLE " + schema() + ".child ADD CONSTRAINT ex_show EXCLUDE USING btree (t text_pattern_ops DESC NULLS LAST "
         "WITH =, \"Odd Col\" WITH =, (c + 1) WITH =)");
    TfrmConst *w = Open("ex_show");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->cmbConstType->currentIndex(), 4);
    EXPECT_EQ(w->cmbAccessMethod->currentText(), "BTREE");
    EXPECT_FALSE(w->cmbAccessMethod->isEnabled());
    ASSERT_GE(w->grdExclude->RowCount(), 4);
    const QList<QStringList> rows = {{"t", "DESC", "LAST", "text_pattern_ops", "="},
                                     {"Odd Col", "ASC", "LAST", "", "="},
                                     {"((c + 1))", "ASC", "LAST", "", "="}};
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < 5; ++c)
            EXPECT_EQ(w->grdExclude->Cells(c, r + 1), rows[r][c]) << r << "," << c;
    EXPECT_TRUE(w->grdExclude->Cells(0, 4).isEmpty()) << "an empty input row";
    const QString dir = qEnvironmentVariable("VANTOR_SHOT_DIR");
    if (!dir.isEmpty()) {
        QWidget *frame = w->parentWidget() ? w->parentWidget() : w;
        frame->resize(760, 520);
        FlushEvents();
        frame->grab().save(QDir(dir).filePath("constraint_exclude.png"));
    }
    // Nothing changed: nothing is run.
    TRecordingRunner runner;
    TBoxes boxes;
    w->OnChange();
    Compile(w);
    EXPECT_TRUE(runner.Ran.isEmpty());
    EXPECT_EQ(boxes.Texts.value(0), "変更箇所が見つかりませんでした。");
    CloseEditor(w);
}

} // namespace
