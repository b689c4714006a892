// The table script against the sandbox server: every table of the sample database loads,
// and in a fresh copy of that database its script (with indexes, then its triggers) run
// after DROP ... CASCADE gives the same `pg_dump --schema-only` of the table (owners and
// privileges left out of the comparison, rules too). Awkward names and the copy script run
// in the test database.
#include "browser/fobject.h"
#include "controls/kdgrid.h"
#include "controls/kdstdctl.h"
#include "editors/table_editor.h"
#include "core/kdsub_options.h"
#include "editors/table_def.h"
#include "editors/editor_fixture.h"
#include "core/kddialogsupport.h"
#include "frames/data_frame.h"
#include "frames/filter_panel.h"
#include "frames/storage_frame.h"
#include "platform/db/dbquery.h"
#include "support/roundtrip.h"
#include "support/testdb.h"

#include <QTabWidget>
#include <QThread>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTreeWidget>

namespace {

class TableEditorTest : public EditorDbTest
{
protected:
    TfrmTable *OpenTable(TkdConnForm *, const QString &schemaName, const QString &name)
    {
        return OpenEditor<TfrmTable>(45, schemaName, name);
    }
    // The dump of one table without rule statements and rule comments (rules have their own
    // editor).
    static QString TableDump(const QString &database, const QString &schema, const QString &name)
    {
        const QString dump = roundtrip::SchemaDump(
            {"--no-owner", "--no-privileges", "-t", roundtrip::ExactPattern(schema, name)}, database);
        QStringList kept;
        bool inRule = false;
        for (const QString &line : dump.split('\n')) {
            if (line.startsWith("CREATE RULE ") || line.startsWith("COMMENT ON RULE "))
                inRule = true;
            if (!inRule)
                kept << line;
            if (inRule && line.trimmed().endsWith(';'))
                inRule = false;
        }
        return kept.join('\n');
    }
    // The table's own rows as one ordered digest.
    static QString RowDigest(TkdConnForm *conn, const QString &schema, const QString &name)
    {
        db::Query *q = conn->OpenSQL("SELECT count(*) || ':' || COALESCE(md5(string_agg(r::text, chr(1) ORDER BY r::text)), '') "
                                     "FROM ONLY " + QuoteIdentifier(schema, true) + "." + QuoteIdentifier(name, true) + " r",
                                     {});
        const QString digest = q->field(0).asString();
        q->close();
        return digest;
    }
    // Script, drop with CASCADE, run, compare (the rows too when the script writes them).
    static void RoundTrip(TkdConnForm *conn, const QString &database, const QString &schema, const QString &name)
    {
        const QString rows = RowDigest(conn, schema, name);
        const QString before = TableDump(database, schema, name);
        ASSERT_FALSE(before.isEmpty()) << name;
        TScriptSink sink;
        ASSERT_TRUE(conn->OutputScript(45, schema, name, sink)) << name;
        TTableDef def;
        ASSERT_TRUE(LoadTableDef(conn, schema, name, def));
        const QStringList script = sink.Lines() + TableTriggerLines(def);
        conn->ExecuteSQL("DROP TABLE " + QuoteIdentifier(schema, true) + "." + QuoteIdentifier(name, true) + " CASCADE");
        roundtrip::RunLines(conn, script);
        const QString after = TableDump(database, schema, name);
        EXPECT_EQ(after, before) << script.mid(0, 400).join('\n').toStdString();
        if (TScriptOption::Global().Insert) {
            EXPECT_EQ(RowDigest(conn, schema, name), rows);
        }
    }
};

TEST_F(TableEditorTest, EveryTableOfTheSampleDatabaseScriptsBackTheSame)
{
    const testdb::Params &p = testdb::params();
    auto admin = testdb::connect("postgres");
    TkdOption::Global().UseLowerName = false;
    TScriptOption::Global().Index = true;
    TScriptOption::Global().Insert = true;
    TScriptOption::Global().InsertMode = 0;
    QStringList tables;
    {
        auto c = testdb::connect(p.sampleDatabase);
        tables = testdb::scalar(c.get(), "SELECT string_agg(n.nspname || chr(1) || c.relname, chr(2) ORDER BY n.nspname, c.relname) "
                                         "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                                         "WHERE c.relkind IN ('r', 'p') AND n.nspname NOT IN ('pg_catalog', 'information_schema') "
                                         "AND n.nspname NOT LIKE 'pg_toast%'")
                     .split(QChar(2), Qt::SkipEmptyParts);
    }
    EXPECT_GE(tables.size(), 20);
    for (const QString &t : tables) {
        const QString schema = t.section(QChar(1), 0, 0);
        const QString name = t.section(QChar(1), 1);
        SCOPED_TRACE((schema + "." + name).toStdString());
        // Each table in a fresh copy: a DROP ... CASCADE of one never touches the next.
        const QString copy = testdb::uniqueName("tbl_rt");
        bool made = false;
        for (int i = 0; i < 30 && !made; ++i) {
            try {
                testdb::exec(admin.get(), "CREATE DATABASE " + copy + " TEMPLATE " + QuoteIdentifier(p.sampleDatabase + "_template", true));
                made = true;
            } catch (...) {
                QThread::msleep(500); // the server may still be ending the previous copy's sessions
            }
        }
        ASSERT_TRUE(made);
        TfrmObject *conn = TfrmObject::Create({p.host, p.port, copy, "public", p.user, p.password});
        ASSERT_NE(conn, nullptr);
        FlushEvents();
        try {
            RoundTrip(conn, copy, schema, name);
        } catch (const std::exception &e) {
            ADD_FAILURE() << e.what();
        }
        conn->close();
        FlushEvents();
        testdb::exec(admin.get(), "DROP DATABASE IF EXISTS " + copy + " WITH (FORCE)");
    }
    TScriptOption::Global().Index = false;
    TScriptOption::Global().Insert = false;
}

TEST_F(TableEditorTest, AwkwardNamesAndFeaturesScriptBackTheSame)
{
    TScriptOption::Global().Index = true;
    const QString s = QuoteIdentifier(schema(), true);
    const QStringList names = {"Upper", "with blank", "a\"b", "表1", QString(21, QChar(0x8868)), "select"};
    for (bool lower : {false, true}) {
        TkdOption::Global().UseLowerName = lower;
        for (const QString &name : names) {
            const QString q = s + "." + QuoteIdentifier(name, true);
            exec("CREATE TABLE " + q + " (\"id\" int GENERATED ALWAYS AS IDENTITY (START WITH 7 INCREMENT BY 3), "
                 "\"Col \"\"x\"\"\" varchar(10)[] COLLATE \"C\" DEFAULT '{}', n numeric(12,2) NOT NULL, "
                 "g numeric GENERATED ALWAYS AS (n * 2) STORED, s serial, "
                 "PRIMARY KEY (id) WITH (fillfactor = 80), UNIQUE (n) INCLUDE (s), "
                 "CHECK (n IS NOT NULL), CONSTRAINT \"nv\" CHECK (n > 0) NOT VALID, "
                 "EXCLUDE USING btree (s WITH =)) WITH (fillfactor = 70)");
            exec("CREATE INDEX ON " + q + " (lower(\"Col \"\"x\"\"\"[1]), n DESC) WHERE n > 1");
            exec("COMMENT ON TABLE " + q + " IS 'it''s \\ 表'");
            exec("COMMENT ON COLUMN " + q + ".n IS ''''");
            RoundTrip(Conn, testdb::params().database, schema(), name);
            exec("DROP TABLE " + q);
        }
    }
    TkdOption::Global().UseLowerName = false;
    TScriptOption::Global().Index = false;
}

TEST_F(TableEditorTest, CopyScriptMakesAnIndependentTable)
{
    TScriptOption::Global().Index = true;
    exec("CREATE TABLE " + schema() + ".src (id int PRIMARY KEY, v text UNIQUE, r int REFERENCES " + schema()
         + ".src (id))");
    exec("CREATE INDEX src_v_idx ON " + schema() + ".src (v)");
    TScriptSink sink;
    ASSERT_TRUE(Conn->OutputScript(45, schema(), "src", sink, schema(), "dst"));
    roundtrip::RunLines(Conn, sink.Lines());
    EXPECT_EQ(scalar("SELECT count(*) FROM pg_indexes WHERE schemaname = '" + schema() + "' AND tablename = 'dst'"), "3");
    EXPECT_EQ(scalar("SELECT count(*) FROM pg_indexes WHERE schemaname = '" + schema() + "' AND tablename = 'src'"), "3");
    EXPECT_EQ(scalar("SELECT count(*) FROM pg_indexes WHERE indexname = 'dst_src_v_idx'"), "1");
    TScriptOption::Global().Index = false;
}

TEST_F(TableEditorTest, MissingTableScriptsNothing)
{
    TScriptSink sink;
    EXPECT_FALSE(Conn->OutputScript(45, schema(), "no such table", sink));
    EXPECT_EQ(sink.LineCount(), 0);
}

void CompileWindow(TObjectEditor *e)
{
    GuardedCall([e] { e->Compile(); });
    FlushEvents();
}

TEST_F(TableEditorTest, WindowShowsColumnsKeysCommentsAndTheTree)
{
    exec("CREATE TABLE " + schema() + ".\"社員\" (\"社員番号\" int GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, "
         "\"氏名\" varchar(40) NOT NULL DEFAULT '', tags varchar(10)[], \"給与\" numeric(10,2) CHECK (\"給与\" > 0))");
    exec("COMMENT ON TABLE " + schema() + ".\"社員\" IS '社員マスター'");
    exec("COMMENT ON COLUMN " + schema() + ".\"社員\".\"氏名\" IS '姓と名'");
    exec("CREATE INDEX ON " + schema() + ".\"社員\" (\"氏名\")");
    exec("INSERT INTO " + schema() + ".\"社員\" (\"氏名\", \"給与\") VALUES ('山田 太郎', 300000), ('鈴木 花子', 280000)");
    TfrmTable *w = OpenTable(Conn, schema(), "社員");
    ASSERT_NE(w, nullptr);
    w->resize(900, 560);
    w->show();
    FlushEvents();
    EXPECT_EQ(w->txtComment->text(), "社員マスター");
    TkdStringGrid *g = w->grdColumn;
    ASSERT_EQ(g->RowCount(), 6) << "four columns, the title and the input row";
    struct Row {
        QString key, name, type, length, notNull, comment;
    } rows[] = {
        {"1", "社員番号", "integer", "", "1", ""},
        {"", "氏名", "character varying", "40", "1", "姓と名"},
        {"", "tags", "character varying[]", "10", "", ""},
        {"", "給与", "numeric", "10,2", "", ""},
    };
    for (int r = 1; r <= 4; ++r) {
        const Row &e = rows[r - 1];
        EXPECT_EQ(g->Cells(tgcKey, r), e.key) << r;
        EXPECT_EQ(g->Cells(tgcName, r), e.name) << r;
        EXPECT_EQ(g->Cells(tgcType, r), e.type) << r;
        EXPECT_EQ(g->Cells(tgcLength, r), e.length) << r;
        EXPECT_EQ(g->Cells(tgcNotNull, r), e.notNull) << r;
        EXPECT_EQ(g->Cells(tgcComment, r), e.comment) << r;
        EXPECT_EQ(g->Objects(tgcName, r).toInt(), r) << "load position";
    }
    EXPECT_EQ(g->Cells(tgcDefault, 2), "''::character varying");
    EXPECT_TRUE(g->Cells(tgcName, 5).isEmpty());
    ASSERT_EQ(w->lstConst->topLevelItemCount(), 3);
    EXPECT_EQ(w->lstConst->topLevelItem(0)->text(0), "CONSTRAINT");
    EXPECT_EQ(w->lstConst->topLevelItem(0)->childCount(), 2);
    EXPECT_EQ(w->lstConst->topLevelItem(0)->child(0)->text(1), "PRIMARY KEY");
    EXPECT_EQ(w->lstConst->topLevelItem(1)->childCount(), 1);
    EXPECT_FALSE(w->Modified());
    w->grab().save("/tmp/table_editor_define.png");
    w->pagObject->setCurrentWidget(w->tabData);
    FlushEvents();
    w->grab().save("/tmp/table_editor_data.png");
    CloseEditor(w);
}

TEST_F(TableEditorTest, CompileAltersInPlaceAndKeepsRows)
{
    TRecordingRunner runner;
    const QString t = schema() + ".alt";
    exec("CREATE TABLE " + t + " (id int PRIMARY KEY, name varchar(10), note text DEFAULT 'x', gone int)");
    exec("INSERT INTO " + t + " VALUES (1, 'a', 'n', 9), (2, 'b', NULL, 8)");
    exec("GRANT SELECT ON " + t + " TO PUBLIC");
    TfrmTable *w = OpenTable(Conn, schema(), "alt");
    ASSERT_NE(w, nullptr);
    TkdStringGrid *g = w->grdColumn;
    g->StoreEditText(tgcLength, 2, "20");
    g->StoreEditText(tgcNotNull, 2, "1");
    g->StoreEditText(tgcName, 2, "名前");
    g->StoreEditText(tgcDefault, 3, "");
    g->StoreEditText(tgcComment, 3, "備考");
    g->SetCurrentCell(tgcName, 4);
    w->btnColDeleteClick();
    g->StoreEditText(tgcName, 4, "added");
    g->StoreEditText(tgcType, 4, "integer");
    g->StoreEditText(tgcDefault, 4, "7");
    w->txtComment->setText("表");
    ASSERT_TRUE(w->Modified());
    CompileWindow(w);
    ASSERT_EQ(runner.Ran.size(), 1) << runner.Statements.join("\n").toStdString();
    EXPECT_EQ(scalar("SELECT string_agg(attname || ':' || format_type(atttypid, atttypmod) || ':' || attnotnull, ',' ORDER BY attnum) "
                     "FROM pg_attribute WHERE attrelid = '" + t + "'::regclass AND attnum > 0 AND NOT attisdropped"),
              "id:integer:true,名前:character varying(20):true,note:text:false,added:integer:false");
    EXPECT_EQ(scalar("SELECT string_agg(id || '=' || \"名前\" || '/' || coalesce(note, '-') || '/' || added, ',' ORDER BY id) FROM " + t),
              "1=a/n/7,2=b/-/7");
    EXPECT_EQ(scalar("SELECT obj_description('" + t + "'::regclass, 'pg_class')"), "表");
    EXPECT_EQ(scalar("SELECT col_description('" + t + "'::regclass, 3)"), "備考");
    EXPECT_EQ(scalar("SELECT has_table_privilege('public', '" + t + "', 'SELECT')"), "t") << "grants kept";
    EXPECT_FALSE(w->Modified());
    EXPECT_EQ(g->Cells(tgcName, 2), "名前") << "reloaded";
    CloseEditor(w);
}

TEST_F(TableEditorTest, NewTableCreatesWithKeyFromTheMarks)
{
    TRecordingRunner runner;
    TfrmTable *w = OpenTable(Conn, schema(), QString());
    ASSERT_NE(w, nullptr);
    w->cmbSchema->setEditText(schema());
    w->txtName->setText("made");
    TkdStringGrid *g = w->grdColumn;
    g->StoreEditText(tgcName, 1, "id");
    g->StoreEditText(tgcType, 1, "integer");
    g->StoreEditText(tgcKey, 1, "1");
    ASSERT_GE(g->RowCount(), 3) << "a new input row";
    g->StoreEditText(tgcName, 2, "title");
    g->StoreEditText(tgcType, 2, "character varying");
    g->StoreEditText(tgcLength, 2, "30");
    g->StoreEditText(tgcNotNull, 2, "1");
    g->StoreEditText(tgcComment, 2, "題");
    CompileWindow(w);
    EXPECT_EQ(scalar("SELECT pg_get_constraintdef(oid) FROM pg_constraint WHERE conrelid = '" + schema() + ".made'::regclass AND contype = 'p'"),
              "PRIMARY KEY (id)");
    EXPECT_EQ(scalar("SELECT format_type(atttypid, atttypmod) || attnotnull FROM pg_attribute WHERE attrelid = '" + schema()
                     + ".made'::regclass AND attname = 'title'"),
              "character varying(30)true");
    EXPECT_EQ(scalar("SELECT col_description('" + schema() + ".made'::regclass, 2)"), "題");
    CloseEditor(w);
}

TEST_F(TableEditorTest, FilterGridQuotesFiltersSortsAndRemembersConditions)
{
    const QString t = schema() + ".\"Filter 表\"";
    exec("CREATE TABLE " + t + " (\"名前\" varchar(10), n int, \"Code\" char(3))");
    exec("INSERT INTO " + t + " VALUES ('abc', 1, 'x1'), ('abd', 2, 'y2'), ('b_c', 3, 'x3'), ('abc', 4, 'z4')");
    TkdOption::Global().WhereAutoQuote = true;
    TfrmTable *w = OpenTable(Conn, schema(), "Filter 表");
    ASSERT_NE(w, nullptr);
    w->resize(900, 600);
    w->show();
    w->pagObject->setCurrentWidget(w->tabData);
    FlushEvents();
    TfraFilterPanel *p = w->pnlWhere;
    TkdStringGrid *g = p->grdWhere;
    ASSERT_EQ(g->RowCount(), 4);
    EXPECT_EQ(g->Cells(0, 1), "名前");
    EXPECT_EQ(w->fraData->qryData()->recordCount(), 4);

    g->StoreEditText(1, 1, "abc");  // 名前 = abc
    g->StoreEditText(4, 2, "3");    // n <= 3
    g->StoreEditText(6, 2, "desc"); // sorted by n descending
    g->StoreEditText(2, 3, "   ");  // blanks only: no condition
    p->cmbWhere->setEditText("\"Code\" LIKE 'x%'");
    p->btnExec->trigger();
    FlushEvents();
    EXPECT_EQ(g->Cells(1, 1), "'abc'") << "quoted when the page was read";
    EXPECT_EQ(g->Cells(6, 2), "1 DESC");
    EXPECT_EQ(w->fraData->qryData()->recordCount(), 1);
    EXPECT_EQ(w->fraData->SQL(), "SELECT \"名前\", \"n\", \"Code\" FROM \"" + schema() + "\".\"Filter 表\" WHERE \"名前\" = 'abc' AND \"n\" <= 3  AND \"Code\" LIKE 'x%' ORDER BY \"n\" DESC");
    EXPECT_EQ(p->cmbWhere->itemText(0), "\"Code\" LIKE 'x%'") << "the free condition is in the history";

    // The history survives another window on the same table; a LIKE value gets its % signs.
    CloseEditor(w);
    w = OpenTable(Conn, schema(), "Filter 表");
    ASSERT_NE(w, nullptr);
    w->pagObject->setCurrentWidget(w->tabData);
    FlushEvents();
    EXPECT_EQ(w->pnlWhere->cmbWhere->itemText(0), "\"Code\" LIKE 'x%'");
    w->pnlWhere->grdWhere->StoreEditText(5, 1, "c");
    w->pnlWhere->btnExec->trigger();
    FlushEvents();
    EXPECT_EQ(w->pnlWhere->grdWhere->Cells(5, 1), "'%c%'");
    EXPECT_EQ(w->fraData->qryData()->recordCount(), 3);

    // A row limit that is not a positive number: a warning, nothing read.
    TBoxes boxes;
    w->pnlWhere->txtRecord->setText("0");
    w->pnlWhere->btnExec->trigger();
    FlushEvents();
    ASSERT_EQ(boxes.Texts.size(), 1);
    EXPECT_EQ(boxes.Texts[0], "表示件数には1以上の整数を入力して下さい。");
    w->pnlWhere->txtRecord->setText("2");
    w->pnlWhere->grdWhere->StoreEditText(5, 1, "");
    w->pnlWhere->cmbWhere->setEditText("");
    w->pnlWhere->btnExec->trigger();
    FlushEvents();
    EXPECT_EQ(w->fraData->qryData()->recordCount(), 2) << "the row limit";

    // Clearing keeps the names and reads nothing.
    boxes.Answers = {IDYES};
    w->pnlWhere->grdWhere->StoreEditText(1, 2, "1");
    w->pnlWhere->btnGrdWhereClearClick();
    EXPECT_EQ(w->pnlWhere->grdWhere->Cells(0, 2), "n");
    EXPECT_TRUE(w->pnlWhere->grdWhere->Cells(1, 2).isEmpty());
    CloseEditor(w);
}

TEST_F(TableEditorTest, SaveWritesTheCreateTextOnlyForAnUnchangedTable)
{
    exec("CREATE TABLE " + schema() + ".saved (id int PRIMARY KEY, \"名前\" text)");
    TfrmTable *w = OpenTable(Conn, schema(), "saved");
    ASSERT_NE(w, nullptr);
    QTemporaryDir dir;
    const QString path = dir.filePath("out.sql");
    QString proposed;
    TSaveFileHook previous = SetSaveFileHook([&](const TSaveFileRequest &r) -> std::optional<QString> {
        proposed = r.FileName;
        return path;
    });
    TkdOption::Global().FileDir = dir.path() + "/";
    EXPECT_TRUE(w->actSave->isEnabled());
    {
        TBoxes boxes;
        w->actSaveExecute();
        ASSERT_EQ(boxes.Texts.size(), 1);
        EXPECT_EQ(boxes.Texts[0], "スクリプトが出力されました。");
    }
    EXPECT_TRUE(proposed.endsWith(schema() + ".saved.sql")) << proposed.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.startsWith("CREATE TABLE")) << text.toStdString();
    EXPECT_TRUE(text.contains("名前"));
    EXPECT_TRUE(text.contains("\r\n"));
    EXPECT_EQ(QDir(TkdOption::Global().FileDir).absolutePath(), QDir(dir.path()).absolutePath());
    f.close();
    QFile::remove(path);
    w->txtComment->setText("changed");
    EXPECT_FALSE(w->actSave->isEnabled());
    EXPECT_FALSE(w->actPrint->isEnabled());
    w->actSaveExecute();
    EXPECT_FALSE(QFile::exists(path)) << "nothing is saved while the window is modified";
    SetSaveFileHook(previous);
    CloseEditor(w);
}

TEST_F(TableEditorTest, InsertScriptsRoundTripEveryKindOfValue)
{
    const QString t = schema() + ".vals";
    exec("CREATE TYPE " + schema() + ".mood AS ENUM ('ok', 'bad')");
    exec("CREATE TABLE " + t + " (id int GENERATED ALWAYS AS IDENTITY, t text, e text, b bytea, u uuid, j jsonb, "
         "a varchar(5)[], m " + schema() + ".mood, d date, ts timestamptz(3), ti time(2), iv interval, f float8, "
         "r real, n numeric, ok boolean, g int GENERATED ALWAYS AS (id * 2) STORED)");
    exec("SET TIME ZONE 'Asia/Tokyo'");
    exec("INSERT INTO " + t + " (t, e, b, u, j, a, m, d, ts, ti, iv, f, r, n, ok) VALUES "
         "('it''s \\ 表', '', '\\x00ff10', 'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11', '{\"k\": [1, \"x\"]}', "
         "'{\"a b\",NULL,\"\"}', 'bad', '2024-02-29', '2025-01-31 10:11:12.345+09', '23:59:59.99', '1 year 2 mons -3 days 04:05:06.5', "
         "0.1, 1.17549435e-38, 'NaN', true), "
         "(NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, '-Infinity', NULL, 12345678901234567890.123, false)");
    auto digest = [&] {
        return scalar("SELECT md5(string_agg(r::text, '|' ORDER BY r.id)) FROM " + t + " r");
    };
    const QString before = digest();
    TScriptOption::Global().Insert = true;
    TScriptOption::Global().InsertMode = 0;
    Conn->ExecuteSQL("SET DateStyle = SQL, DMY");
    Conn->ExecuteSQL("SET IntervalStyle = sql_standard");
    TScriptSink sink;
    ASSERT_TRUE(Conn->OutputScript(45, schema(), "vals", sink));
    TScriptOption::Global().Insert = false;
    const QStringList lines = sink.Lines();
    EXPECT_EQ(lines.filter("INSERT INTO").size(), 2);
    EXPECT_TRUE(lines.join("\n").contains("''::text")) << "an empty text is ''";
    EXPECT_TRUE(lines.join("\n").contains("OVERRIDING SYSTEM VALUE"));
    exec("DROP TABLE " + t);
    roundtrip::RunLines(Conn, lines);
    EXPECT_EQ(digest(), before) << lines.join("\n").toStdString();
    Conn->ExecuteSQL("RESET DateStyle");
    Conn->ExecuteSQL("RESET IntervalStyle");
}

TEST_F(TableEditorTest, InsertRowsGoToDataFilesByMode)
{
    exec("CREATE TABLE " + schema() + ".f1 (a int)");
    exec("CREATE TABLE " + schema() + ".f2 (a int)");
    exec("CREATE TABLE " + schema() + ".empty (a int)");
    exec("INSERT INTO " + schema() + ".f1 VALUES (1), (2)");
    exec("INSERT INTO " + schema() + ".f2 VALUES (3)");
    QTemporaryDir dir;
    TScriptOption &o = TScriptOption::Global();
    o.Insert = true;
    o.Path = dir.path() + "/";
    o.OneScript = false;
    o.Dir = false;
    o.InsertMode = 1;
    TScriptSink sink;
    ASSERT_TRUE(Conn->OutputScript(45, schema(), "f1", sink));
    EXPECT_EQ(sink.Lines().filter("INSERT").size(), 0) << "the rows are in the data file";
    QFile one(dir.path() + "/" + schema() + "/DATA/f1.SQL");
    ASSERT_TRUE(one.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(one.readAll()).count("INSERT INTO"), 2);
    ASSERT_TRUE(Conn->OutputScript(45, schema(), "empty", sink));
    EXPECT_FALSE(QFile::exists(dir.path() + "/" + schema() + "/DATA/empty.SQL")) << "no rows, no file";
    o.InsertMode = 2;
    ASSERT_TRUE(Conn->OutputScript(45, schema(), "f1", sink));
    ASSERT_TRUE(Conn->OutputScript(45, schema(), "f2", sink));
    QFile common(dir.path() + "/_DATA.SQL");
    ASSERT_TRUE(common.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(common.readAll());
    EXPECT_EQ(text.count("INSERT INTO"), 3);
    EXPECT_GE(text.indexOf("f1 VALUES"), 0);
    EXPECT_LT(text.indexOf("f1 VALUES"), text.indexOf("f2 VALUES")) << "the second table after the first";
    o.InsertMode = 0;
    o.Insert = false;
    o.Path.clear();
}

TEST_F(TableEditorTest, SampleEmployeeTableShowsItsGridTreeAndFilteredData)
{
    const testdb::Params &p = testdb::params();
    TfrmObject *sample = TfrmObject::Create({p.host, p.port, p.sampleDatabase, "hr", p.user, p.password});
    ASSERT_NE(sample, nullptr);
    FlushEvents();
    auto *w = qobject_cast<TfrmTable *>(sample->OpenObject(45, "hr", "社員"));
    ASSERT_NE(w, nullptr);
    if (auto *sub = qobject_cast<QMdiSubWindow *>(w->parentWidget()))
        sub->resize(1000, 640);
    else
        w->resize(1000, 640);
    w->show();
    FlushEvents();
    EXPECT_GE(w->grdColumn->RowCount(), 13);
    EXPECT_EQ(w->grdColumn->Cells(tgcName, 1), "社員番号");
    EXPECT_EQ(w->lstConst->topLevelItem(1)->childCount(), 3) << "three indexes";
    EXPECT_EQ(w->lstConst->topLevelItem(2)->childCount(), 1) << "one trigger";
    w->grab().save("/tmp/table_shain_define.png");
    w->pagObject->setCurrentWidget(w->tabData);
    FlushEvents();
    w->pnlWhere->grdWhere->StoreEditText(6, 1, "desc");
    w->pnlWhere->btnExec->trigger();
    FlushEvents();
    EXPECT_GT(w->fraData->qryData()->recordCount(), 0);
    EXPECT_TRUE(w->fraData->SQL().endsWith("ORDER BY \"社員番号\" DESC"));
    w->grab().save("/tmp/table_shain_data.png");
    CloseEditor(w);
    sample->close();
    FlushEvents();
}

TEST_F(TableEditorTest, StoragePageAltersAutovacuumAndCreatesATemporaryTable)
{
    TRecordingRunner runner;
    exec("CREATE TABLE " + schema() + ".st (a int)");
    exec("INSERT INTO " + schema() + ".st VALUES (1)");
    TfrmTable *w = OpenTable(Conn, schema(), "st");
    ASSERT_NE(w, nullptr);
    w->pagObject->setCurrentWidget(w->tabStorage);
    FlushEvents();
    ASSERT_TRUE(w->fraStorage->IsInit());
    w->fraStorage->chkAutoVacuum->setChecked(true);
    w->fraStorage->chkAutoVacuumClick();
    w->fraStorage->Field(0, 1)->setText("123");
    w->OnChange();
    CompileWindow(w);
    EXPECT_EQ(runner.Errors, 0) << runner.Statements.join("\n").toStdString();
    EXPECT_EQ(scalar("SELECT array_to_string(reloptions, ',') FROM pg_class WHERE oid = '" + schema() + ".st'::regclass"),
              "autovacuum_vacuum_threshold=123");
    EXPECT_EQ(scalar("SELECT count(*) FROM " + schema() + ".st"), "1") << "altered in place";
    CloseEditor(w);

    // A new temporary table: created in the session's own schema, then the window closes.
    w = OpenTable(Conn, schema(), QString());
    ASSERT_NE(w, nullptr);
    // The storage page first: a page change of a modified window asks its question.
    w->pagObject->setCurrentWidget(w->tabStorage);
    FlushEvents();
    const int temp = w->fraStorage->cmbStorageType->findText("一時表");
    ASSERT_GE(temp, 0);
    w->fraStorage->cmbStorageType->setCurrentIndex(temp);
    w->fraStorage->cmbStorageTypeChange();
    w->cmbSchema->setEditText(schema());
    w->txtName->setText("tmp_new");
    w->grdColumn->StoreEditText(tgcName, 1, "id");
    w->grdColumn->StoreEditText(tgcType, 1, "integer");
    QPointer<TfrmTable> guard(w);
    TBoxes boxes;
    CompileWindow(w);
    FlushEvents();
    ASSERT_FALSE(boxes.Texts.isEmpty());
    EXPECT_TRUE(boxes.Texts.last().contains("pg_temp")) << boxes.Texts.last().toStdString();
    EXPECT_TRUE(runner.Statements.join("\n").contains("CREATE TEMPORARY TABLE"));
    db::Query *q = Conn->OpenSQL("SELECT count(*) FROM pg_class WHERE relname = 'tmp_new' AND relpersistence = 't'", {});
    EXPECT_EQ(q->field(0).asString(), "1");
    q->close();
    EXPECT_TRUE(guard.isNull() || !guard->isVisible()) << "the window closed";
    Conn->ExecuteSQL("DROP TABLE IF EXISTS pg_temp.tmp_new");
}

} // namespace

