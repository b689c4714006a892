// The index editor against the sandbox server: the editor table's contract for code 46, a
// table of index fixtures (every access method, operator classes, collations, order and
// NULLS, expressions, partial, INCLUDE, WITH, a partitioned table, awkward names) each
// re-created by the window and scripted, dropped and run back with the same
// pg_get_indexdef and pg_dump; a column edit keeping the other columns' parts; a change of
// the tablespace alone; the method and unique rules; read-only indexes of constraints and
// TOAST tables; and a failing re-creation that leaves the old index in place.
#include "controls/kdmemo.h"
#include "controls/kdstdctl.h"
#include "core/kddialogsupport.h"
#include "core/kdsub_options.h"
#include "editors/column_chooser.h"
#include "editors/constraint_editor.h"
#include "editors/index_editor.h"
#include "support/editor_contract.h"
#include "support/roundtrip.h"
#include "support/testdb.h"
#include "editors/editor_fixture.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>

namespace {

class IndexEditorTest : public EditorDbTest
{
protected:
    TfrmIndex *Open(const QString &name, TOpenMode mode = omDefine, const QString &schemaName = QString())
    {
        return OpenEditor<TfrmIndex>(46, schemaName.isEmpty() ? schema() : schemaName, name, mode);
    }
    static void Compile(TObjectEditor *e)
    {
        GuardedCall([e] { e->Compile(); });
        FlushEvents();
    }
    QString IndexDef(const QString &name, const QString &schemaName = QString())
    {
        return scalar("SELECT pg_get_indexdef(c.oid) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                      "WHERE n.nspname = " + QuoteLiteral(schemaName.isEmpty() ? schema() : schemaName)
                      + " AND c.relname = " + QuoteLiteral(name));
    }
    QString Tablespace(const QString &name)
    {
        return scalar("SELECT coalesce(t.spcname, '') FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                      "LEFT JOIN pg_tablespace t ON t.oid = c.reltablespace WHERE n.nspname = " + QuoteLiteral(schema())
                      + " AND c.relname = " + QuoteLiteral(name));
    }
    void MakeTables()
    {
        exec("CREATE TABLE " + schema() + ".fx (a int, b text, c int, d tsvector, r int4range, p point, n text, "
             "\"Mixed Col\" int)");
        exec("CREATE TABLE " + schema() + ".part (id int, k int) PARTITION BY RANGE (id)");
        exec("CREATE TABLE " + schema() + ".part_1 PARTITION OF " + schema() + ".part FOR VALUES FROM (0) TO (100)");
    }
};

TEST_F(IndexEditorTest, EditorTableContract)
{
    MakeTables();
    exec("CREATE INDEX contract_ix ON " + schema() + ".fx (a)");
    TEditorContract c;
    c.Owner = Conn;
    c.Code = 46;
    c.Schema = schema();
    c.Name = "contract_ix";
    c.PagesOfModes = {{omDefine, 0}, {omSource, 1}, {omData, 0}, {omGrant, 0}};
    CheckEditorContract(c);
}

// Each fixture is re-created by the window from its source page (DROP, then the generated
// CREATE), then scripted, dropped and run again: pg_get_indexdef and pg_dump of the table
// stay the same throughout.
TEST_F(IndexEditorTest, FixturesSurviveRecreationAndScript)
{
    MakeTables();
    const QString s = schema();
    struct Fixture {
        QString name, table, ddl;
    };
    QList<Fixture> fixtures = {
        {"ix_multi", "fx", "(a DESC NULLS FIRST, b COLLATE \"C\" text_pattern_ops, c NULLS FIRST, \"Mixed Col\" DESC NULLS LAST)"},
        {"ix_hash", "fx", "USING hash (b)"},
        {"ix_gist", "fx", "USING gist (r, p)"},
        {"ix_gin", "fx", "USING gin (d)"},
        {"ix_brin", "fx", "USING brin (c) WITH (pages_per_range = 16)"},
        {"ix_spgist", "fx", "USING spgist (p)"},
        {"ix_expr", "fx", "(lower(b) DESC, (a + c), (b || 'x,)'))"},
        {"ix_partial", "fx", "(a) WHERE (c > 0 AND b IS NOT NULL)"},
        {"ix_incl", "fx", "(a, c) INCLUDE (b, \"Mixed Col\")"},
        {"ix_ff", "fx", "(c) WITH (fillfactor = 70)"},
        {"ix_part", "part", "(k DESC)"},
        {"Ix \"q\" 日本.x", "fx", "(n)"},
    };
    const QString tbs = qEnvironmentVariable("VANTOR_TBS");
    if (!tbs.isEmpty())
        fixtures << Fixture{"ix_tbs", "fx", "(n) TABLESPACE " + tbs};
    for (const Fixture &f : fixtures) {
        SCOPED_TRACE(f.name.toStdString());
        const QString quoted = s + "." + QuoteIdentifier(f.name, true);
        const bool unique = f.name == "ix_partial" || f.name == "ix_incl";
        exec(QString(unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") + QuoteIdentifier(f.name, true) + " ON " + s + "."
             + f.table + " " + f.ddl);
        const QString before = IndexDef(f.name);
        ASSERT_FALSE(before.isEmpty());
        {
            TRecordingRunner runner;
            TfrmIndex *w = Open(f.name, omSource);
            ASSERT_NE(w, nullptr);
            EXPECT_FALSE(w->ReadOnly());
            Compile(w);
            ASSERT_EQ(runner.Ran.size(), 1);
            EXPECT_EQ(runner.Ran[0].value(0), "DROP INDEX " + QuoteIdentifier(s) + "." + QuoteIdentifier(f.name));
            EXPECT_EQ(runner.Errors, 0) << runner.Ran[0].join('\n');
            EXPECT_EQ(IndexDef(f.name), before) << runner.Ran[0].join('\n');
            CloseEditor(w);
        }
        roundtrip::CheckScriptRoundTrip(Conn, 46, s, f.name, "DROP INDEX " + quoted,
                                        {"-t", roundtrip::ExactPattern(s, f.table)});
        EXPECT_EQ(IndexDef(f.name), before);
        if (f.name == "ix_part") {
            EXPECT_EQ(scalar("SELECT count(*) FROM pg_index WHERE indrelid = '" + s + ".part_1'::regclass"), "1")
                << "the partition gets its index again";
        }
        exec("DROP INDEX " + quoted);
    }
}

// A column taken out and put back comes back bare; the other columns keep their operator
// class, collation, order and NULLS, and the index its method.
TEST_F(IndexEditorTest, ColumnEditKeepsTheOtherColumnsParts)
{
    MakeTables();
    exec("CREATE INDEX ix_edit ON " + schema() + ".fx (a DESC NULLS LAST, b COLLATE \"C\" text_pattern_ops, c DESC) "
         "WITH (fillfactor = 60) WHERE (a > 1)");
    TRecordingRunner runner;
    TfrmIndex *w = Open("ix_edit");
    ASSERT_NE(w, nullptr);
    QListWidget *idx = w->fraColumns->lstIdxCol;
    ASSERT_EQ(idx->count(), 3);
    EXPECT_EQ(idx->item(0)->text(), "a DESC NULLS LAST");
    EXPECT_EQ(idx->item(1)->text(), "b COLLATE \"C\" text_pattern_ops");
    idx->item(2)->setSelected(true);
    w->fraColumns->btnDelClick();
    EXPECT_TRUE(w->Modified());
    QListWidget *tab = w->fraColumns->lstTabCol;
    for (int i = 0; i < tab->count(); ++i)
        tab->item(i)->setSelected(tab->item(i)->text() == "c");
    w->fraColumns->btnInsClick();
    Compile(w);
    ASSERT_EQ(runner.Ran.size(), 1);
    EXPECT_EQ(IndexDef("ix_edit"), "CREATE INDEX ix_edit ON " + schema()
                                        + ".fx USING btree (a DESC NULLS LAST, b COLLATE \"C\" text_pattern_ops, c) "
                                          "WITH (fillfactor='60') WHERE (a > 1)");
    EXPECT_FALSE(w->Modified());
    const QString dir = qEnvironmentVariable("VANTOR_SHOT_DIR");
    if (!dir.isEmpty()) {
        QWidget *frame = w->parentWidget() ? w->parentWidget() : w;
        frame->resize(760, 480);
        FlushEvents();
        frame->grab().save(QDir(dir).filePath("index_columns.png"));
    }
    CloseEditor(w);
}

TEST_F(IndexEditorTest, TablespaceAloneIsAlterIndex)
{
    const QString tbs = qEnvironmentVariable("VANTOR_TBS");
    if (tbs.isEmpty())
        GTEST_SKIP() << "no sandbox tablespace";
    MakeTables();
    exec("CREATE INDEX ix_space ON " + schema() + ".fx (a DESC)");
    exec("INSERT INTO " + schema() + ".fx (a) SELECT g FROM generate_series(1, 10) g");
    TRecordingRunner runner;
    TfrmIndex *w = Open("ix_space");
    ASSERT_NE(w, nullptr);
    SelectComboItem(w->cmbTBS, tbs);
    w->OnChange();
    Compile(w);
    ASSERT_EQ(runner.Ran.size(), 1);
    EXPECT_EQ(runner.Ran[0], QStringList({"ALTER INDEX " + QuoteIdentifier(schema()) + ".ix_space SET TABLESPACE " + tbs, ";"}));
    EXPECT_EQ(Tablespace("ix_space"), tbs);
    EXPECT_EQ(IndexDef("ix_space"), "CREATE INDEX ix_space ON " + schema() + ".fx USING btree (a DESC)");
    // And back to the database's default.
    SelectComboItem(w->cmbTBS, "pg_default");
    w->OnChange();
    Compile(w);
    EXPECT_EQ(Tablespace("ix_space"), "");
    CloseEditor(w);

    // A new index is created where the storage page says.
    TfrmIndex *n = OpenEditor<TfrmIndex>(46, schema(), QString());
    ASSERT_NE(n, nullptr);
    n->txtName->setText("ix_new_space");
    n->cmbTableName->setEditText("fx");
    n->cmbTableNameExit();
    n->fraColumns->lstTabCol->item(0)->setSelected(true);
    n->fraColumns->btnInsClick();
    SelectComboItem(n->cmbTBS, tbs);
    Compile(n);
    EXPECT_EQ(Tablespace("ix_new_space"), tbs);
    EXPECT_FALSE(n->IsNew());
    CloseEditor(n);
}

// UNIQUE only where the method can; several columns only where it can; the checks of a
// new index in their order.
TEST_F(IndexEditorTest, MethodAndUniqueRules)
{
    MakeTables();
    TRecordingRunner runner;
    TBoxes boxes;
    TfrmIndex *w = OpenEditor<TfrmIndex>(46, schema(), QString());
    ASSERT_NE(w, nullptr);
    ASSERT_GE(w->cmbMethod->count(), 6);
    EXPECT_EQ(w->cmbMethod->itemText(0), "btree") << "btree first";
    struct Rule {
        QString method;
        bool canUnique;
    };
    for (const Rule &r : QList<Rule>{{"btree", true}, {"hash", false}, {"gist", false}, {"gin", false}, {"brin", false},
                                     {"spgist", false}}) {
        w->chkUnique->setEnabled(true);
        w->chkUnique->setChecked(true);
        w->cmbMethod->setCurrentIndex(w->cmbMethod->findText(r.method));
        w->cmbMethodChange();
        EXPECT_EQ(w->chkUnique->isEnabled(), r.canUnique) << r.method;
        EXPECT_EQ(w->chkUnique->isChecked(), r.canUnique) << r.method;
    }
    w->txtName->setText("ix_rules");
    Compile(w);
    EXPECT_EQ(boxes.Texts.value(0), "テーブル名を入力して下さい。");
    w->cmbTableName->setEditText("fx");
    w->cmbTableNameExit();
    Compile(w);
    EXPECT_EQ(boxes.Texts.value(1), "インデックス列を指定して下さい。");
    for (int i = 0; i < 2; ++i)
        w->fraColumns->lstTabCol->item(i)->setSelected(true);
    w->fraColumns->btnInsClick();
    EXPECT_EQ(w->fraColumns->Names(), QStringList({"a", "b"}));
    w->cmbMethod->setCurrentIndex(w->cmbMethod->findText("hash"));
    w->cmbMethodChange();
    Compile(w);
    EXPECT_EQ(boxes.Texts.value(2), "ハッシュ使用時は1項目のみ指定して下さい。");
    w->cmbMethod->setCurrentIndex(w->cmbMethod->findText("spgist"));
    Compile(w);
    EXPECT_EQ(boxes.Texts.value(3), "SPGIST使用時は1項目のみ指定して下さい。");
    EXPECT_TRUE(runner.Ran.isEmpty());
    w->cmbIndexType->setCurrentIndex(1);
    w->cmbIndexTypeSelect();
    Compile(w);
    EXPECT_EQ(boxes.Texts.value(4), "式列を指定して下さい。");
    // Two expression lines, the first ending with a comma, make one list.
    w->txtFunc->setText("lower(b),\n(a + 1)");
    w->cmbMethod->setCurrentIndex(0);
    w->cmbMethodChange();
    w->chkUnique->setChecked(true);
    Compile(w);
    ASSERT_EQ(runner.Ran.size(), 1);
    EXPECT_EQ(IndexDef("ix_rules"), "CREATE UNIQUE INDEX ix_rules ON " + schema() + ".fx USING btree (lower(b), ((a + 1)))");
    CloseEditor(w);
}

TEST_F(IndexEditorTest, ConstraintIndexIsReadOnlyAndLeadsToTheConstraint)
{
    MakeTables();
    exec("ALTER TABLE " + schema() + ".fx ADD CONSTRAINT fx_pk PRIMARY KEY (a)");
    TfrmIndex *w = Open("fx_pk");
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->ReadOnly());
    EXPECT_FALSE(w->actCompile->isEnabled());
    EXPECT_FALSE(w->actDelete->isEnabled());
    EXPECT_FALSE(w->pnlBody->isEnabled());
    EXPECT_TRUE(w->lblReadOnly->text().contains("fx_pk"));
    w->btnConstraintClick();
    FlushEvents();
    TfrmConst *c = nullptr;
    for (QWidget *child : Main->ChildWindows())
        if (auto *k = qobject_cast<TfrmConst *>(child))
            c = k;
    ASSERT_NE(c, nullptr) << "the constraint editor opens";
    EXPECT_EQ(c->cmbConstType->currentIndex(), 0);
    EXPECT_EQ(c->fraColumns->Names(), QStringList({"a"}));
    CloseEditor(c);
    CloseEditor(w);
}

TEST_F(IndexEditorTest, ToastIndexIsReadOnly)
{
    MakeTables();
    const QString toastIndex = scalar("SELECT ic.relname FROM pg_class t JOIN pg_index i ON i.indrelid = t.reltoastrelid "
                                      "JOIN pg_class ic ON ic.oid = i.indexrelid WHERE t.oid = '" + schema() + ".fx'::regclass");
    ASSERT_FALSE(toastIndex.isEmpty());
    TfrmIndex *w = Open(toastIndex, omDefine, "pg_toast");
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->ReadOnly());
    EXPECT_TRUE(w->IsToastObject());
    EXPECT_FALSE(w->actCompile->isEnabled());
    EXPECT_FALSE(w->actDelete->isEnabled());
    EXPECT_EQ(w->Loaded().TableKind, QChar('t'));
    CloseEditor(w);
}

// The run stops at the CREATE: the DROP before it is rolled back with it, the window keeps
// the edit.
TEST_F(IndexEditorTest, FailedRecreationLeavesTheOldIndex)
{
    MakeTables();
    exec("CREATE INDEX ix_keep ON " + schema() + ".fx (a, b DESC)");
    const QString before = IndexDef("ix_keep");
    TRecordingRunner runner;
    runner.FailAt = 2;
    TfrmIndex *w = Open("ix_keep");
    ASSERT_NE(w, nullptr);
    w->fraColumns->lstIdxCol->item(1)->setSelected(true);
    w->fraColumns->btnDelClick();
    Compile(w);
    ASSERT_EQ(runner.Ran.size(), 1);
    EXPECT_EQ(runner.Errors, 1);
    EXPECT_EQ(IndexDef("ix_keep"), before);
    EXPECT_TRUE(w->Modified());
    EXPECT_EQ(w->fraColumns->Names(), QStringList({"a"}));
    // A unique index over duplicates is refused by the server: the same.
    exec("INSERT INTO " + schema() + ".fx (a) VALUES (1), (1)");
    runner.FailAt = 0;
    w->chkUnique->setChecked(true);
    Compile(w);
    EXPECT_EQ(runner.Errors, 2);
    EXPECT_EQ(IndexDef("ix_keep"), before);
    CloseEditor(w);
}

// 出力, 印刷 and ファイル保存 only for an existing index without edits.
TEST_F(IndexEditorTest, OutputMenuOnlyForAnUnchangedExistingIndex)
{
    MakeTables();
    exec("CREATE INDEX ix_menu ON " + schema() + ".fx (a)");
    TfrmIndex *w = Open("ix_menu");
    ASSERT_NE(w, nullptr);
    for (QAction *a : {w->actOutput, w->actPrint, w->actSave})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    // An edit disables them, and a save asked for anyway writes nothing.
    w->chkUnique->click();
    ASSERT_TRUE(w->Modified());
    for (QAction *a : {w->actOutput, w->actPrint, w->actSave})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    int asked = 0;
    TSaveFileHook previous = SetSaveFileHook([&](const TSaveFileRequest &) -> std::optional<QString> {
        ++asked;
        return std::nullopt;
    });
    w->actSaveExecute();
    EXPECT_EQ(asked, 0);
    SetSaveFileHook(previous);
    // Reverting brings them back.
    {
        TBoxes boxes;
        boxes.Answers = {IDYES};
        GuardedCall([w] { w->Reload(); });
    }
    EXPECT_TRUE(w->actSave->isEnabled());
    CloseEditor(w);

    TfrmIndex *fresh = OpenEditor<TfrmIndex>(46, schema(), QString());
    ASSERT_NE(fresh, nullptr);
    for (QAction *a : {fresh->actOutput, fresh->actPrint, fresh->actSave})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    CloseEditor(fresh);
}

// Save proposes FileDir + schema.name.sql (a name that holds a path separator stays one
// file in that folder) and writes the window's CREATE INDEX text, table schema-qualified,
// CR LF after each line, in the configured encoding without a byte-order mark.
TEST_F(IndexEditorTest, SaveWritesTheCreateTextInTheFileEncoding)
{
    MakeTables();
    exec("CREATE UNIQUE INDEX \"出力/ix\" ON " + schema() + ".fx (a DESC, lower(b)) WHERE c > 0");
    TfrmIndex *w = Open("出力/ix", omSource);
    ASSERT_NE(w, nullptr);
    const QString expected = "CREATE UNIQUE INDEX \"出力/ix\"\r\nON " + QuoteIdentifier(schema()) + ".fx\r\n"
                             "USING btree\r\n(a DESC, lower(b))\r\nWHERE (c > 0)\r\n;\r\n";
    QTemporaryDir dir;
    const int savedEncoding = TkdOption::Global().Encoding;
    struct Case {
        int encoding;
        const char *iconvName; // how an independent reader decodes the file
    };
    for (const Case &c : {Case{0, "CP932"}, Case{2, "UTF-8"}, Case{3, "UTF-16LE"}}) {
        SCOPED_TRACE(c.iconvName);
        TkdOption::Global().Encoding = c.encoding;
        TkdOption::Global().FileDir = dir.path();
        const QString path = dir.filePath(QStringLiteral("out-%1.sql").arg(c.encoding));
        QString proposed;
        TSaveFileHook previous = SetSaveFileHook([&](const TSaveFileRequest &r) -> std::optional<QString> {
            proposed = r.FileName;
            return path;
        });
        {
            TBoxes boxes;
            w->actSave->trigger();
            EXPECT_EQ(boxes.Texts, QStringList{"スクリプトが出力されました。"});
            EXPECT_EQ(boxes.Flags.value(0) & 0xF0, MB_ICONINFORMATION);
        }
        SetSaveFileHook(previous);
        EXPECT_EQ(QFileInfo(proposed).absolutePath(), QDir(dir.path()).absolutePath()) << proposed.toStdString();
        EXPECT_TRUE(QFileInfo(proposed).fileName().startsWith(schema() + ".出力")) << proposed.toStdString();
        EXPECT_TRUE(proposed.endsWith(".sql"));
        EXPECT_EQ(TkdOption::Global().FileDir, dir.path() + "/");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        for (const QByteArray &bom : {QByteArray("\xEF\xBB\xBF"), QByteArray("\xFF\xFE"), QByteArray("\xFE\xFF")})
            EXPECT_FALSE(bytes.startsWith(bom));
        QProcess iconv;
        iconv.start("iconv", {"-f", c.iconvName, "-t", "UTF-8", path});
        ASSERT_TRUE(iconv.waitForFinished(30000));
        EXPECT_EQ(iconv.exitCode(), 0);
        EXPECT_EQ(QString::fromUtf8(iconv.readAllStandardOutput()), expected);
    }
    TkdOption::Global().Encoding = savedEncoding;
    CloseEditor(w);
}

// Print lays the CREATE INDEX text out under the title schema.name.
TEST_F(IndexEditorTest, PrintLaysTheCreateTextOutUnderItsTitle)
{
    MakeTables();
    exec("CREATE INDEX \"出力索引\" ON " + schema() + ".fx USING hash (b)");
    TfrmIndex *w = Open("出力索引");
    ASSERT_NE(w, nullptr);
    // The PDF's text may give some ideographs as their radical forms; NFKC folds them back.
    const QString printed = PrintedText(w->actPrint).normalized(QString::NormalizationForm_KC);
    EXPECT_TRUE(printed.contains(schema() + ".出力索引")) << printed.toStdString();
    EXPECT_TRUE(printed.contains("CREATE INDEX")) << printed.toStdString();
    EXPECT_TRUE(printed.contains("USING hash")) << printed.toStdString();
    EXPECT_TRUE(printed.contains("ON " + QuoteIdentifier(schema()) + ".fx")) << printed.toStdString();
    // Nothing is printed while the window holds an edit.
    w->chkUnique->setChecked(true);
    w->OnChange();
    EXPECT_TRUE(PrintedText(w->actPrint).isEmpty());
    CloseEditor(w);
}

} // namespace
