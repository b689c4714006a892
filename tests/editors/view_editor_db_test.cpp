// The view editor against the sandbox server: the editor table's contract for code 47, a
// table of hand-written views that survive a compile of the window (never dropped: same
// oid, grants and triggers kept) and a script round trip, copies under another name, a
// compile the server refuses, comment edits, the new-view template and its renaming, the
// data and plan pages with the row limit, file save and Delete.
#include "controls/kdcomctrls.h"
#include "controls/kdgrid.h"
#include "controls/kdmemo.h"
#include "controls/kdstdctl.h"
#include "core/kddialogsupport.h"
#include "editors/view_editor.h"
#include "frames/data_frame.h"
#include "frames/filter_panel.h"
#include "frames/plan_frame.h"
#include "platform/db/dbquery.h"
#include "support/editor_contract.h"
#include "support/roundtrip.h"
#include "support/testdb.h"
#include "editors/editor_fixture.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QSplitter>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>

namespace {

class ViewEditorTest : public EditorDbTest
{
protected:
    void SetUp() override
    {
        EditorDbTest::SetUp();
        S = QuoteIdentifier(schema(), true);
        TkdOption::Global().ShowColumnSource = true;
        TScriptOption::Global().ViewCol = true;
        exec("CREATE TABLE " + S + ".t (a int PRIMARY KEY, b text, c numeric(10,2), d timestamp(3) with time zone, "
             "e interval day to second, \"Odd \"\"Col\"\"\" int)");
        exec("INSERT INTO " + S + ".t SELECT g, 'row ' || g, g / 3.0, now(), '1 day', g FROM generate_series(1, 500) g");
    }
    TfrmView *Open(const QString &name, TOpenMode mode = omDefine, int rows = 0)
    {
        QWidget *w = Conn->OpenObject(47, schema(), name, mode, false, rows);
        FlushEvents();
        return qobject_cast<TfrmView *>(w);
    }
    QString ViewDef(const QString &name)
    {
        return scalar("SELECT pg_get_viewdef(" + QuoteLiteral(S + "." + QuoteIdentifier(name, true)) + "::regclass)");
    }
    QString Oid(const QString &name)
    {
        return scalar("SELECT " + QuoteLiteral(S + "." + QuoteIdentifier(name, true)) + "::regclass::oid");
    }
    void Compile(TObjectEditor *e)
    {
        GuardedCall([e] { e->Compile(); });
        FlushEvents();
    }
    QString S;
};

TEST_F(ViewEditorTest, EditorTableContract)
{
    exec("CREATE VIEW " + S + ".contract_v AS SELECT a FROM " + S + ".t");
    TEditorContract c;
    c.Owner = Conn;
    c.Code = 47;
    c.Schema = schema();
    c.Name = "contract_v";
    c.PagesOfModes = {{omDefine, 0}, {omSource, 1}, {omData, 2}, {omCross, 5}, {omGrant, 4}};
    CheckEditorContract(c);
}

struct ViewFixture {
    const char *what;
    const char *name;
    const char *ddl; // %S schema, %N quoted name
    const char *extra = "";
};

TEST_F(ViewEditorTest, FixturesSurviveCompileAndScript)
{
    exec("CREATE TABLE " + S + ".wide (" + [] {
        QStringList cols;
        for (int i = 0; i < 14; ++i)
            cols << QStringLiteral("a_rather_long_column_name_%1 int").arg(i);
        return cols.join(", ");
    }() + ")");
    const QList<ViewFixture> fixtures = {
        {"column list wrapped at 70", "wide_v", "CREATE VIEW %N AS SELECT * FROM %S.wide"},
        {"comments on the view and its columns", "commented",
         "CREATE VIEW %N AS SELECT a, b AS \"Bee\" FROM %S.t",
         "COMMENT ON VIEW %N IS 'it''s 日本語'; COMMENT ON COLUMN %N.\"Bee\" IS 'two\nlines'"},
        {"local check option", "checked_local", "CREATE VIEW %N AS SELECT a, b FROM %S.t WHERE a > 0 WITH LOCAL CHECK OPTION"},
        {"cascaded check option", "checked", "CREATE VIEW %N AS SELECT a, b FROM %S.t WHERE a > 0 WITH CHECK OPTION"},
        {"security barrier", "barrier", "CREATE VIEW %N WITH (security_barrier) AS SELECT a FROM %S.t WHERE a < 10"},
        {"security invoker", "invoker", "CREATE VIEW %N WITH (security_invoker = true) AS SELECT a, c, d, e FROM %S.t"},
        {"awkward name", "ビュー \"q\".名", "CREATE VIEW %N AS SELECT \"Odd \"\"Col\"\"\" FROM %S.t"},
        {"keyword name", "select", "CREATE VIEW %N AS SELECT 1 AS \"from\""},
    };
    TRecordingRunner runner;
    for (const ViewFixture &f : fixtures) {
        SCOPED_TRACE(f.what);
        const QString name = QString::fromUtf8(f.name);
        auto fill = [&](const char *text) {
            return QString::fromUtf8(text).replace("%S", S).replace("%N", S + "." + QuoteIdentifier(name, true));
        };
        exec(fill(f.ddl));
        if (*f.extra)
            exec(fill(f.extra));
        // what the compile must keep on the server
        exec("GRANT SELECT ON " + S + "." + QuoteIdentifier(name, true) + " TO PUBLIC");
        const QString def = ViewDef(name);
        const QString oid = Oid(name);
        const QString dump = roundtrip::SchemaDump({"-t", roundtrip::ExactPattern(schema(), name)});

        TfrmView *w = Open(name, omSource);
        ASSERT_NE(w, nullptr);
        const QStringList source = w->txtSource->text().split('\n');
        EXPECT_TRUE(source.value(0).startsWith("CREATE OR REPLACE VIEW " + schema() + ".")) << source.value(0);
        for (const QString &l : source)
            EXPECT_LE(l.size(), 70 + 40) << l.toStdString();
        // a trivial change on the source page, then compile: replaced in place
        w->txtSource->append("\n");
        EXPECT_TRUE(w->Modified());
        const int ran = runner.Ran.size();
        Compile(w);
        ASSERT_EQ(runner.Ran.size(), ran + 1);
        EXPECT_EQ(runner.Errors, 0);
        EXPECT_EQ(ViewDef(name), def);
        EXPECT_EQ(Oid(name), oid) << "never dropped";
        EXPECT_EQ(roundtrip::SchemaDump({"-t", roundtrip::ExactPattern(schema(), name)}), dump);
        EXPECT_FALSE(w->Modified());
        CloseEditor(w);

        // script, drop, run: the same view (the grant is not part of the view's script)
        TScriptSink sink;
        ASSERT_TRUE(Conn->OutputScript(47, schema(), name, sink));
        exec("DROP VIEW " + S + "." + QuoteIdentifier(name, true));
        roundtrip::RunLines(Conn, sink.Lines());
        exec("GRANT SELECT ON " + S + "." + QuoteIdentifier(name, true) + " TO PUBLIC");
        EXPECT_EQ(ViewDef(name), def) << sink.Lines().join('\n');
        EXPECT_EQ(roundtrip::SchemaDump({"-t", roundtrip::ExactPattern(schema(), name)}), dump);
    }
}

TEST_F(ViewEditorTest, ColumnListLinesOfAWideView)
{
    QStringList cols;
    for (int i = 0; i < 14; ++i)
        cols << QStringLiteral("a_rather_long_column_name_%1 int").arg(i);
    exec("CREATE TABLE " + S + ".wide (" + cols.join(", ") + ")");
    exec("CREATE VIEW " + S + ".wide_v AS SELECT * FROM " + S + ".wide");
    TScriptSink sink;
    ASSERT_TRUE(Conn->OutputScript(47, schema(), "wide_v", sink));
    const QStringList l = sink.Lines();
    ASSERT_GE(l.size(), 5);
    EXPECT_TRUE(l[1].startsWith("    (a_rather_long_column_name_0,"));
    int i = 1;
    for (; !l[i].endsWith(")"); ++i) {
        EXPECT_GT(l[i].size(), 70) << "a line ends only once it passed 70";
        EXPECT_TRUE(l[i].endsWith(","));
    }
    EXPECT_TRUE(l[i].startsWith("    a_rather_long_column_name_"));
    EXPECT_EQ(l[i + 1], "AS");
    // without the column list
    TScriptOption::Global().ViewCol = false;
    TScriptSink plain;
    ASSERT_TRUE(Conn->OutputScript(47, schema(), "wide_v", plain));
    EXPECT_EQ(plain.Lines().value(0), "CREATE OR REPLACE VIEW " + SchemaPrefixFor(smText, schema(), Conn->CurrentSchema())
                                          + "wide_v AS");
}

TEST_F(ViewEditorTest, CopyUnderAnotherNameKeepsDefinitionAndComments)
{
    exec("CREATE SCHEMA " + S.chopped(1) + "_copy\"");
    exec("CREATE VIEW " + S + ".orig AS SELECT a, b FROM " + S + ".t");
    exec("COMMENT ON VIEW " + S + ".orig IS 'v'; COMMENT ON COLUMN " + S + ".orig.b IS 'bee'");
    TScriptSink sink;
    ASSERT_TRUE(Conn->OutputScript(47, schema(), "orig", sink, schema() + "_copy", "Copy of"));
    for (const QString &l : sink.Lines())
        EXPECT_FALSE(l.contains("orig")) << l;
    roundtrip::RunLines(Conn, sink.Lines());
    const QString copy = QuoteIdentifier(schema() + "_copy", true) + ".\"Copy of\"";
    EXPECT_EQ(scalar("SELECT pg_get_viewdef(" + QuoteLiteral(copy) + "::regclass)"), ViewDef("orig"));
    EXPECT_EQ(scalar("SELECT obj_description(" + QuoteLiteral(copy) + "::regclass, 'pg_class')"), "v");
    EXPECT_EQ(scalar("SELECT col_description(" + QuoteLiteral(copy) + "::regclass, 2)"), "bee");
    // one of the two new names alone renames nothing
    TScriptSink half;
    ASSERT_TRUE(Conn->OutputScript(47, schema(), "orig", half, QString(), "other"));
    EXPECT_TRUE(half.Lines().join('\n').contains("orig"));
    exec("DROP SCHEMA " + S.chopped(1) + "_copy\" CASCADE");
}

TEST_F(ViewEditorTest, RefusedReplaceLeavesTheViewAndTheEdits)
{
    exec("CREATE VIEW " + S + ".narrow AS SELECT a, b FROM " + S + ".t");
    const QString def = ViewDef("narrow");
    TRecordingRunner runner;
    TfrmView *w = Open("narrow", omSource);
    ASSERT_NE(w, nullptr);
    // a view cannot lose columns through CREATE OR REPLACE
    const QString edited = "CREATE OR REPLACE VIEW " + S + ".narrow AS SELECT a FROM " + S + ".t\n;";
    w->txtSource->setText(edited);
    Compile(w);
    EXPECT_EQ(runner.Errors, 1);
    EXPECT_EQ(runner.Waits, 1) << "the window waits for the run log also after a stopped run";
    EXPECT_EQ(ViewDef("narrow"), def);
    EXPECT_TRUE(w->Modified());
    EXPECT_EQ(w->txtSource->text(), edited);
    CloseEditor(w);
}

TEST_F(ViewEditorTest, DefinitionPageWritesOnlyChangedComments)
{
    exec("CREATE VIEW " + S + ".cv AS SELECT a, b FROM " + S + ".t");
    exec("COMMENT ON COLUMN " + S + ".cv.a IS 'old'");
    TRecordingRunner runner;
    TfrmView *w = Open("cv");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->grdColumn->Cells(vgcName, 1), "a");
    EXPECT_EQ(w->grdColumn->Cells(vgcComment, 1), "old");
    EXPECT_EQ(w->grdColumn->Cells(vgcType, 2), "text");
    {
        TBoxes boxes;
        w->OnChange();
        Compile(w);
        EXPECT_EQ(boxes.Texts, QStringList{"変更箇所が見つかりませんでした。"});
        EXPECT_TRUE(runner.Ran.isEmpty());
    }
    w->grdColumn->StoreEditText(vgcComment, 1, "");
    w->grdColumn->StoreEditText(vgcComment, 2, "it's b");
    w->txtComment->setText("view");
    EXPECT_TRUE(w->Modified());
    Compile(w);
    ASSERT_EQ(runner.Ran.size(), 1);
    EXPECT_EQ(runner.Ran[0], QStringList({"COMMENT ON VIEW " + schema() + ".cv IS 'view'", ";",
                                          "COMMENT ON COLUMN " + schema() + ".cv.a IS ''", ";",
                                          "COMMENT ON COLUMN " + schema() + ".cv.b IS 'it''s b'", ";"}));
    EXPECT_EQ(scalar("SELECT col_description(" + QuoteLiteral(S + ".cv") + "::regclass, 2)"), "it's b");
    EXPECT_EQ(scalar("SELECT col_description(" + QuoteLiteral(S + ".cv") + "::regclass, 1) IS NULL"), "t");
    EXPECT_EQ(w->txtComment->text(), "view");
    CloseEditor(w);
}

TEST_F(ViewEditorTest, ColumnTypesAndLengths)
{
    exec("CREATE VIEW " + S + ".typed AS SELECT b, c, d, e FROM " + S + ".t");
    TfrmView *w = Open("typed");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->grdColumn->Cells(vgcType, 2), "numeric");
    EXPECT_EQ(w->grdColumn->Cells(vgcLength, 2), "10,2");
    EXPECT_EQ(w->grdColumn->Cells(vgcType, 3), "timestamp(3) with time zone");
    EXPECT_EQ(w->grdColumn->Cells(vgcLength, 3), "");
    EXPECT_TRUE(w->grdColumn->Cells(vgcType, 4).startsWith("interval")) << w->grdColumn->Cells(vgcType, 4);
    CloseEditor(w);
}

TEST_F(ViewEditorTest, NewViewFromTheTemplateWithRenaming)
{
    TRecordingRunner runner;
    TfrmView *w = Open(QString());
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->IsNew());
    EXPECT_EQ(w->pagObject->currentWidget(), w->tabSource);
    for (QWidget *p : {w->tabDefine, w->tabData, w->tabExplan, w->tabGrant, w->tabCross})
        EXPECT_FALSE(w->pagObject->isTabVisible(w->pagObject->indexOf(p)));
    w->cmbSchema->setEditText(schema());
    w->txtName->setText("orders");
    w->txtNameExit(w->txtName);
    EXPECT_EQ(w->txtSource->text(), "CREATE VIEW " + schema() + ".orders AS\nSELECT\n");
    w->txtSource->setText(w->txtSource->text() + "a FROM " + S + ".t\n");
    w->txtName->setText("orders_new");
    w->txtNameExit(w->txtName);
    EXPECT_TRUE(w->txtSource->text().startsWith("CREATE VIEW " + schema() + ".orders_new AS\n")) << w->txtSource->text();
    Compile(w);
    ASSERT_EQ(runner.Ran.size(), 1);
    EXPECT_FALSE(w->IsNew());
    EXPECT_TRUE(Exists(schema() + ".orders_new"));
    EXPECT_TRUE(w->windowTitle().startsWith("VIEW - " + schema() + ".orders_new @ "));
    EXPECT_TRUE(w->pagObject->isTabVisible(w->pagObject->indexOf(w->tabData)));
    EXPECT_TRUE(w->txtSource->text().startsWith("CREATE OR REPLACE VIEW "));
    CloseEditor(w);
}

TEST_F(ViewEditorTest, DataAndPlanPagesHonourTheRowLimit)
{
    exec("CREATE VIEW " + S + ".big AS SELECT a, b FROM " + S + ".t");
    TfrmView *w = Open("big", omData, 7);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->pagObject->currentWidget(), w->tabData);
    EXPECT_EQ(w->txtRecord->text(), "7");
    ASSERT_TRUE(w->fraData->qryData()->isActive());
    EXPECT_EQ(w->fraData->qryData()->recordCount(), 7);
    EXPECT_FALSE(w->actDelete->isEnabled()) << "no Delete on the data page";
    w->txtRecord->setText("3");
    GuardedCall([w] { w->ShowData(); });
    EXPECT_EQ(w->fraData->qryData()->recordCount(), 3);
    w->pagObject->setCurrentWidget(w->tabExplan);
    FlushEvents();
    EXPECT_EQ(w->pnlWhere->parentWidget(), w->tabExplan) << "the bar moves with the page";
    EXPECT_TRUE(w->fraExplan->SQL().contains("LIMIT 3"));
    EXPECT_GT(w->fraExplan->lstPlan()->topLevelItemCount(), 0);
    EXPECT_TRUE(w->actDelete->isEnabled());
    CloseEditor(w);
}

TEST_F(ViewEditorTest, FilterGridQuotesFiltersSortsAndFollowsThePage)
{
    QTemporaryDir temp;
    TkdOption::Global().TempDir = temp.path() + "/hist/";
    TkdOption::Global().WhereAutoQuote = true;
    exec("CREATE TABLE " + S + ".src (\"名前\" varchar(10), n int, code char(3), memo text)");
    exec("INSERT INTO " + S + ".src VALUES ('abc', 1, 'x1', 'm'), ('abd', 2, 'y2', 'm'), ('ab', 3, 'x3', 'm'), "
         "('abc', 4, 'z4', 'm')");
    const QString odd = "Odd \"V\" 表/x";
    exec("CREATE VIEW " + S + "." + QuoteIdentifier(odd, true) + " AS SELECT * FROM " + S + ".src");
    TfrmView *w = Open(odd, omData);
    ASSERT_NE(w, nullptr);
    w->resize(900, 600);
    w->show();
    FlushEvents();
    TfraFilterPanel *p = w->pnlWhere;
    TkdStringGrid *g = p->grdWhere;
    EXPECT_EQ(p->parentWidget(), w->splWhere);
    EXPECT_EQ(p->btnExec, w->btnExec);
    ASSERT_EQ(g->RowCount(), 5);
    EXPECT_EQ(g->Cells(0, 1), "名前");
    EXPECT_EQ(g->Cells(0, 4), "memo");
    ASSERT_TRUE(w->fraData->qryData()->isActive());
    EXPECT_EQ(w->fraData->qryData()->recordCount(), 4);

    g->StoreEditText(5, 1, "ab");   // 名前 LIKE ab: quoted as it is, no % added in a view
    g->StoreEditText(3, 2, "2");    // n >= 2
    g->StoreEditText(6, 2, "desc");
    g->StoreEditText(2, 3, "'z4'"); // code <> 'z4': already quoted, left alone
    p->cmbWhere->setEditText("n < 9");
    p->btnExec->trigger();
    FlushEvents();
    EXPECT_EQ(g->Cells(5, 1), "'ab'");
    EXPECT_EQ(g->Cells(2, 3), "'z4'");
    EXPECT_EQ(g->Cells(6, 2), "1 DESC");
    const QString from = "\"" + schema() + "\".\"Odd \"\"V\"\" 表/x\"";
    const QString select = "SELECT \"名前\", \"n\", \"code\", \"memo\" FROM " + from
                           + " WHERE \"名前\" LIKE 'ab' AND \"n\" >= 2 AND \"code\" <> 'z4'  AND n < 9 ORDER BY \"n\" DESC";
    EXPECT_EQ(w->fraData->SQL(), select);
    ASSERT_TRUE(w->fraData->qryData()->isActive());
    EXPECT_EQ(w->fraData->qryData()->recordCount(), 1);
    EXPECT_EQ(p->cmbWhere->itemText(0), "n < 9");
    // A picture of the data page for a look by hand.
    if (const QString dir = qEnvironmentVariable("VANTOR_SCREENSHOT_DIR"); !dir.isEmpty()) {
        EXPECT_TRUE(w->grab().save(dir + "/view_data_filter.png"));
    }

    // The plan page takes the panel and explains the same filtered text with the limit.
    w->pagObject->setCurrentWidget(w->tabExplan);
    FlushEvents();
    EXPECT_EQ(p->parentWidget(), w->tabExplan);
    EXPECT_TRUE(w->fraExplan->SQL().startsWith(select)) << w->fraExplan->SQL();
    EXPECT_TRUE(w->fraExplan->SQL().contains("LIMIT "));
    EXPECT_GT(w->fraExplan->lstPlan()->topLevelItemCount(), 0);
    w->pagObject->setCurrentWidget(w->tabData);
    FlushEvents();
    EXPECT_EQ(p->parentWidget(), w->splWhere) << "back above the rows";
    EXPECT_EQ(g->Cells(5, 1), "'ab'") << "the grid is carried over the reloads";

    // The clipboard button copies the same SELECT.
    {
        TBoxes boxes;
        p->btnExecSQL->trigger();
        FlushEvents();
        EXPECT_EQ(QApplication::clipboard()->text(), select);
        ASSERT_EQ(boxes.Texts.size(), 1);
        EXPECT_EQ(boxes.Texts[0], "指定した条件のSELECT文を、\r\nクリップボードに出力しました。");
    }

    // A row limit that is not a positive number: the warning and nothing read.
    {
        TBoxes boxes;
        p->txtRecord->setText("0");
        p->btnExec->trigger();
        FlushEvents();
        ASSERT_EQ(boxes.Texts.size(), 1);
        EXPECT_EQ(boxes.Texts[0], "表示件数には1以上の整数を入力して下さい。");
        p->txtRecord->setText("");
    }

    // The free condition used again stays once; the history survives a new window of the
    // oddly named view.
    p->cmbWhere->setEditText("n > 0");
    p->btnExec->trigger();
    FlushEvents();
    p->cmbWhere->setEditText("N < 9");
    p->btnExec->trigger();
    FlushEvents();
    EXPECT_EQ(p->cmbWhere->count(), 2);
    CloseEditor(w);
    w = Open(odd, omData);
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(w->pnlWhere->cmbWhere->count(), 2);
    EXPECT_EQ(w->pnlWhere->cmbWhere->itemText(0), "N < 9");
    EXPECT_EQ(w->pnlWhere->cmbWhere->itemText(1), "n > 0");
    CloseEditor(w);
}

TEST_F(ViewEditorTest, FilterQuotesOnlyPlainCharacterColumnsAndKeepsValuesOnAServerError)
{
    QTemporaryDir temp;
    TkdOption::Global().TempDir = temp.path() + "/hist/";
    TkdOption::Global().WhereAutoQuote = true;
    exec("CREATE VIEW " + S + ".kinds AS SELECT 'a'::varchar(5) AS v, 'a'::char(2) AS c, 'a'::text AS t, "
         "ARRAY['a']::varchar[] AS va, 1 AS i");
    TfrmView *w = Open("kinds", omData);
    ASSERT_NE(w, nullptr);
    TkdStringGrid *g = w->pnlWhere->grdWhere;
    ASSERT_EQ(g->RowCount(), 6);
    struct Case {
        int row;
        const char *typed;
        const char *after;
    } cases[] = {{1, "a", "'a'"}, {2, "a", "'a'"}, {3, "a", "a"}, {4, "a", "a"}, {5, "a", "a"}};
    for (const Case &c : cases)
        g->StoreEditText(1, c.row, c.typed);
    TBoxes boxes;
    w->pnlWhere->btnExec->trigger();
    FlushEvents();
    for (const Case &c : cases)
        EXPECT_EQ(g->Cells(1, c.row), c.after) << g->Cells(0, c.row).toStdString();
    ASSERT_FALSE(boxes.Texts.isEmpty()) << "the unquoted text value is an unknown column";
    EXPECT_TRUE(boxes.Texts.last().contains("\"a\"")) << boxes.Texts.last().toStdString();

    // Without auto-quoting only the typed text reaches the server.
    TkdOption::Global().WhereAutoQuote = false;
    for (const Case &c : cases)
        g->StoreEditText(1, c.row, c.row <= 2 ? "a" : "");
    boxes.Texts.clear();
    w->pnlWhere->btnExec->trigger();
    FlushEvents();
    EXPECT_EQ(g->Cells(1, 1), "a");
    TkdOption::Global().WhereAutoQuote = true;
    CloseEditor(w);
}

TEST_F(ViewEditorTest, ShownColumnsFollowARedefinedView)
{
    QTemporaryDir temp;
    TkdOption::Global().TempDir = temp.path() + "/hist/";
    exec("CREATE VIEW " + S + ".shape AS SELECT a, b, c FROM " + S + ".t");
    TfrmView *w = Open("shape", omData, 5);
    ASSERT_NE(w, nullptr);
    w->pnlWhere->SetShownColumns({"c", "a"});
    w->pnlWhere->grdWhere->StoreEditText(3, 1, "10"); // a >= 10
    w->pnlWhere->btnExec->trigger();
    FlushEvents();
    EXPECT_EQ(w->fraData->SQL(), "SELECT \"c\", \"a\" FROM \"" + schema() + "\".\"shape\" WHERE \"a\" >= 10 ");
    exec("DROP VIEW " + S + ".shape");
    exec("CREATE VIEW " + S + ".shape AS SELECT b AS \"A\", a AS z FROM " + S + ".t");
    TBoxes boxes; // text >= 10 is refused by the server
    w->pnlWhere->btnExec->trigger();
    FlushEvents();
    EXPECT_EQ(w->pnlWhere->grdWhere->Cells(0, 1), "A");
    EXPECT_EQ(w->pnlWhere->grdWhere->Cells(3, 1), "10") << "kept by name regardless of case";
    EXPECT_EQ(w->pnlWhere->ShownColumns(), QStringList({"A", "z"})) << "none left: every column";
    CloseEditor(w);
}

TEST_F(ViewEditorTest, SaveWritesTheScriptAndDeleteDrops)
{
    exec("CREATE VIEW " + S + ".saved AS SELECT a FROM " + S + ".t");
    QTemporaryDir dir;
    const QString file = dir.filePath("saved.sql");
    TSaveFileHook previous = SetSaveFileHook([&](const TSaveFileRequest &r) -> std::optional<QString> {
        EXPECT_TRUE(r.FileName.endsWith(schema() + ".saved.sql"));
        return file;
    });
    TfrmView *w = Open("saved");
    ASSERT_NE(w, nullptr);
    {
        TBoxes boxes;
        GuardedCall([w] { w->actSaveExecute(); });
        EXPECT_EQ(boxes.Texts, QStringList{"スクリプトが出力されました。"});
    }
    SetSaveFileHook(previous);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith("CREATE OR REPLACE VIEW "));
    TScriptSink sink;
    Conn->OutputScript(47, schema(), "saved", sink);
    EXPECT_EQ(bytes, TScriptSink::EncodeLines(sink.Lines(), GetFileEncoding()));
    EXPECT_EQ(TkdOption::Global().FileDir, dir.path() + "/");

    TBoxes boxes;
    boxes.Answers = {IDYES, IDOK};
    GuardedCall([w] { w->actDeleteExecute(); });
    FlushEvents();
    EXPECT_EQ(boxes.Texts, QStringList({"オブジェクトを削除しますか？", "オブジェクトが削除されました。"}));
    EXPECT_EQ(boxes.Flags.value(0) & MB_DEFBUTTON2, MB_DEFBUTTON2);
    EXPECT_FALSE(Exists(schema() + ".saved"));
}

} // namespace

namespace {

// The data page of a view as the user sees it; the picture goes to $VANTOR_SHOT_DIR when
// that is set.
TEST_F(ViewEditorTest, DataPagePaints)
{
    exec("CREATE VIEW " + S + ".\"売上 view\" AS SELECT a AS \"番号\", b AS \"名前\", c, d FROM " + S + ".t");
    exec("COMMENT ON COLUMN " + S + ".\"売上 view\".\"名前\" IS '顧客名'");
    TfrmView *w = Open("売上 view", omData, 20);
    ASSERT_NE(w, nullptr);
    QWidget *frame = w->parentWidget() ? w->parentWidget() : w;
    frame->resize(960, 520);
    frame->show();
    FlushEvents();
    const QPixmap shot = frame->grab();
    EXPECT_FALSE(shot.isNull());
    EXPECT_EQ(w->fraData->qryData()->recordCount(), 20);
    if (const QByteArray dir = qgetenv("VANTOR_SHOT_DIR"); !dir.isEmpty()) {
        shot.save(QString::fromLocal8Bit(dir) + "/view_data.png");
        w->pagObject->setCurrentWidget(w->tabDefine);
        FlushEvents();
        frame->grab().save(QString::fromLocal8Bit(dir) + "/view_define.png");
    }
    CloseEditor(w);
}

} // namespace

namespace {

// Opening a view reads its definition only; its rows are read when the data page is shown,
// and then no more of them than the row limit.
TEST_F(ViewEditorTest, OpeningReadsNoRowsUntilTheDataPage)
{
    exec("CREATE VIEW " + S + ".huge AS SELECT g AS n FROM generate_series(1, 50000000) g");
    QStringList statements;
    Conn->dbsMain()->setStatementObserver([&](const QString &sql) { statements << sql; });
    TfrmView *w = Open("huge", omDefine, 5);
    ASSERT_NE(w, nullptr);
    for (const QString &s : statements)
        EXPECT_FALSE(s.contains("FROM " + S + ".\"huge\"")) << s;
    statements.clear();
    w->pagObject->setCurrentWidget(w->tabData);
    FlushEvents();
    Conn->dbsMain()->setStatementObserver({});
    bool read = false;
    for (const QString &s : statements)
        if (s.contains("FROM " + S + ".\"huge\"")) {
            read = true;
            EXPECT_TRUE(s.contains("LIMIT 5")) << s;
        }
    EXPECT_TRUE(read);
    EXPECT_EQ(w->fraData->qryData()->recordCount(), 5);
    CloseEditor(w);
}

} // namespace
