// The table rebuild against the sandbox server. A table with everything that can hang on it
// (serial, identity and generated columns, foreign keys in from another schema and out, two
// triggers of which one is disabled, a rule, extended statistics, a view on a view with
// grants and comments, column grants, a grant made by a non-owner, an owner other than the
// login) has a column moved: afterwards `pg_dump` of the schemas reads the same but for the
// order of the table's column lines, the rows are the same and the sequences go on. A
// failure forced after each statement of the list leaves the catalog and the rows exactly as
// before and no backup table. Refusals run nothing.
#include "controls/kdgrid.h"
#include "core/kdsub_options.h"
#include "editors/editor_fixture.h"
#include "editors/table_editor.h"
#include "editors/table_rebuild.h"
#include "support/roundtrip.h"
#include "support/testdb.h"

#include <algorithm>

namespace {

class TableRebuildTest : public EditorDbTest
{
protected:
    void SetUp() override
    {
        EditorDbTest::SetUp();
        Owner = testdb::uniqueName("own");
        Grantor = testdb::uniqueName("gnt");
        Reader = testdb::uniqueName("rdr");
        for (const QString &r : {Owner, Grantor, Reader})
            exec("CREATE ROLE " + r);
        Other = schema() + "_in";
        TkdOption::Global().BackupData = true;
    }
    void TearDown() override
    {
        EditorDbTest::TearDownWindows();
        exec("DROP SCHEMA IF EXISTS " + Other + " CASCADE");
        exec("DROP SCHEMA IF EXISTS " + schema() + " CASCADE");
        for (const QString &r : {Owner, Grantor, Reader}) {
            exec("DROP OWNED BY " + r);
            exec("DROP ROLE IF EXISTS " + r);
        }
        EditorDbTest::TearDown();
    }

    // The table of many dependants, `t` in the test schema.
    void MakeTortureTable()
    {
        const QString s = schema();
        exec("CREATE TABLE " + s + ".parent (pid int PRIMARY KEY)");
        exec("INSERT INTO " + s + ".parent SELECT g FROM generate_series(1, 5) g");
        exec("CREATE TABLE " + s + ".t (id serial PRIMARY KEY, code int GENERATED ALWAYS AS IDENTITY (START WITH 100), "
             "a text NOT NULL DEFAULT 'x', n numeric(10,2), g numeric GENERATED ALWAYS AS (n * 2) STORED, "
             "pid int REFERENCES " + s + ".parent, \"列 b\" varchar(10)[] COLLATE \"C\", "
             "CONSTRAINT t_n_check CHECK (n >= 0))");
        exec("COMMENT ON TABLE " + s + ".t IS '拷問'");
        exec("COMMENT ON COLUMN " + s + ".t.a IS '列の注釈'");
        exec("COMMENT ON CONSTRAINT t_n_check ON " + s + ".t IS 'check の注釈'");
        exec("CREATE INDEX t_a_idx ON " + s + ".t (lower(a)) WHERE n > 0");
        exec("COMMENT ON INDEX " + s + ".t_a_idx IS '索引の注釈'");
        exec("CREATE STATISTICS " + s + ".t_stat (dependencies) ON a, n FROM " + s + ".t");
        exec("INSERT INTO " + s + ".t (a, n, pid, \"列 b\") SELECT 'r' || g, g * 1.5, 1 + g % 5, ARRAY['x' || g] "
             "FROM generate_series(1, 40) g");
        exec("CREATE FUNCTION " + s + ".touch() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN RETURN NEW; END$$");
        exec("CREATE TRIGGER t_on BEFORE UPDATE ON " + s + ".t FOR EACH ROW EXECUTE FUNCTION " + s + ".touch()");
        exec("CREATE TRIGGER t_off BEFORE INSERT ON " + s + ".t FOR EACH ROW EXECUTE FUNCTION " + s + ".touch()");
        exec("ALTER TABLE " + s + ".t DISABLE TRIGGER t_off");
        exec("COMMENT ON TRIGGER t_on ON " + s + ".t IS 'トリガーの注釈'");
        exec("CREATE RULE t_keep AS ON DELETE TO " + s + ".t WHERE old.a = 'keep' DO INSTEAD NOTHING");
        exec("COMMENT ON RULE t_keep ON " + s + ".t IS 'ルールの注釈'");
        exec("CREATE SCHEMA " + Other);
        exec("CREATE TABLE " + Other + ".child (cid int PRIMARY KEY, tid int REFERENCES " + s + ".t (id) ON DELETE CASCADE)");
        exec("INSERT INTO " + Other + ".child SELECT g, g FROM generate_series(1, 10) g");
        exec("COMMENT ON CONSTRAINT child_tid_fkey ON " + Other + ".child IS '外から入るキー'");
        exec("CREATE VIEW " + s + ".v1 AS SELECT id, a, n, g FROM " + s + ".t WHERE n > 3");
        exec("CREATE VIEW " + s + ".v2 WITH (security_barrier) AS SELECT id, a FROM " + s + ".v1");
        exec("CREATE MATERIALIZED VIEW " + Other + ".m AS SELECT count(*) AS c FROM " + s + ".v2");
        exec("CREATE INDEX m_c ON " + Other + ".m (c)");
        exec("COMMENT ON VIEW " + s + ".v1 IS 'ビュー1'");
        exec("COMMENT ON COLUMN " + s + ".v2.a IS 'ビュー2の列'");
        exec("ALTER VIEW " + s + ".v2 ALTER COLUMN a SET DEFAULT 'v'");
        exec("ALTER TABLE " + s + ".t OWNER TO " + Owner);
        exec("ALTER VIEW " + s + ".v1 OWNER TO " + Owner);
        exec("GRANT SELECT ON " + s + ".v2 TO " + Reader);
        exec("GRANT SELECT, UPDATE (a) ON " + s + ".t TO " + Reader);
        exec("GRANT SELECT, INSERT ON " + s + ".t TO " + Grantor + " WITH GRANT OPTION");
        exec("GRANT USAGE ON SCHEMA " + s + " TO " + Grantor);
        exec("SET ROLE " + Grantor);
        exec("GRANT INSERT ON " + s + ".t TO " + Reader);
        exec("RESET ROLE");
        exec("REVOKE TRUNCATE ON " + s + ".t FROM " + Owner);
    }

    QString Dump()
    {
        return roundtrip::SchemaDump({"-n", roundtrip::ExactPattern(schema()), "-n", roundtrip::ExactPattern(Other)});
    }
    // The dump's lines sorted, trailing commas dropped: equal when only the order differs.
    static QStringList Sorted(const QString &dump)
    {
        QStringList l;
        for (QString line : dump.split('\n')) {
            if (line.endsWith(','))
                line.chop(1);
            l << line;
        }
        std::sort(l.begin(), l.end());
        return l;
    }
    QString Rows()
    {
        return scalar("SELECT md5(string_agg(concat_ws('|', id, code, a, n, g, pid, \"列 b\"), ',' ORDER BY id)) FROM "
                      + schema() + ".t")
               + scalar("SELECT md5(string_agg(concat_ws('|', cid, tid), ',' ORDER BY cid)) FROM " + Other + ".child")
               + scalar("SELECT count(*) FROM " + schema() + ".v2");
    }
    QString Backups()
    {
        return scalar("SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                      "WHERE n.nspname = '" + schema() + "' AND c.relname LIKE 't\\_bk%'");
    }
    TfrmTable *OpenMoved(const QString &name = "t", int row = 3)
    {
        TfrmTable *w = OpenEditor<TfrmTable>(45, schema(), name);
        if (!w)
            return nullptr;
        w->grdColumn->SetCurrentCell(tgcName, row);
        w->MoveColumn(-1);
        return w;
    }
    static void CompileWindow(TObjectEditor *e)
    {
        GuardedCall([e] { e->Compile(); });
        FlushEvents();
    }
    static int StatementCount(const QStringList &lines)
    {
        int n = 0;
        QString current;
        for (const QString &l : lines) {
            if (l.trimmed() == ";") {
                n += current.trimmed().isEmpty() ? 0 : 1;
                current.clear();
            } else {
                current += l;
            }
        }
        return n + (current.trimmed().isEmpty() ? 0 : 1);
    }

    QString Owner, Grantor, Reader, Other;
};

TEST_F(TableRebuildTest, MovingAColumnKeepsRowsDependantsGrantsAndSequences)
{
    MakeTortureTable();
    const QString before = Dump();
    const QString rows = Rows();
    const QString nextId = scalar("SELECT last_value + 1 FROM " + schema() + ".t_id_seq");
    TRecordingRunner runner;
    TfrmTable *w = OpenMoved();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->grdColumn->Cells(tgcName, 2), "a");
    CompileWindow(w);
    ASSERT_EQ(runner.Ran.size(), 1);
    EXPECT_EQ(runner.Errors, 0) << runner.Statements.join("\n;\n").toStdString();
    EXPECT_EQ(scalar("SELECT string_agg(attname, ',' ORDER BY attnum) FROM pg_attribute WHERE attrelid = '" + schema()
                     + ".t'::regclass AND attnum > 0 AND NOT attisdropped"),
              "id,a,code,n,g,pid,列 b");
    const QString after = Dump();
    EXPECT_NE(after, before) << "the column order changed";
    EXPECT_EQ(Sorted(after), Sorted(before));
    EXPECT_EQ(Rows(), rows);
    EXPECT_EQ(Backups(), "0");
    exec("INSERT INTO " + schema() + ".t (a, n) VALUES ('new', 1)");
    EXPECT_EQ(scalar("SELECT id || ':' || code FROM " + schema() + ".t WHERE a = 'new'"), nextId + ":140")
        << "serial and identity go on";
    EXPECT_FALSE(w->Modified());
    CloseEditor(w);
}

TEST_F(TableRebuildTest, AFailureAfterAnyStatementLeavesEverythingAsItWas)
{
    MakeTortureTable();
    const QString before = Dump();
    const QString rows = Rows();
    int count = 0;
    {
        TRecordingRunner probe;
        probe.PreviewAnswer = false;
        TfrmTable *w = OpenMoved();
        ASSERT_NE(w, nullptr);
        CompileWindow(w);
        ASSERT_EQ(probe.Previewed.size(), 1);
        count = StatementCount(probe.Previewed[0]);
        CloseEditor(w);
    }
    ASSERT_GT(count, 25);
    for (int k = 0; k < count; ++k) {
        SCOPED_TRACE(k);
        TRecordingRunner runner;
        runner.FailAt = k + 1;
        TfrmTable *w = OpenMoved();
        ASSERT_NE(w, nullptr);
        CompileWindow(w);
        EXPECT_EQ(runner.Errors, 1);
        EXPECT_TRUE(w->Modified()) << "the edits are kept";
        EXPECT_EQ(w->grdColumn->Cells(tgcName, 2), "a");
        CloseEditor(w);
        ASSERT_EQ(Dump(), before);
        ASSERT_EQ(Rows(), rows);
        ASSERT_EQ(Backups(), "0");
    }
}

TEST_F(TableRebuildTest, RefusalsNameWhatStandsInTheWayAndRunNothing)
{
    const QString s = schema();
    struct Case {
        QString setup, expected;
    } cases[] = {
        {"CREATE TABLE " + s + ".r (a int, b int); CREATE TABLE " + s + ".r_kid () INHERITS (" + s + ".r)", "r_kid"},
        {"CREATE TABLE " + s + ".r (a int, b int) PARTITION BY LIST (a); CREATE TABLE " + s + ".r_p1 PARTITION OF " + s
             + ".r FOR VALUES IN (1)",
         "r_p1"},
        {"CREATE TABLE " + s + ".r (a int, b int); CREATE POLICY \"見る\" ON " + s + ".r USING (true)", "見る"},
        {"CREATE TABLE " + s + ".r (a int, b int); CREATE PUBLICATION " + s + "_pub FOR TABLE " + s + ".r", s + "_pub"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.expected.toStdString());
        exec(c.setup);
        TRecordingRunner runner;
        TBoxes boxes;
        TfrmTable *w = OpenMoved("r", 2);
        ASSERT_NE(w, nullptr);
        CompileWindow(w);
        ASSERT_EQ(boxes.Texts.size(), 1);
        EXPECT_TRUE(boxes.Texts[0].contains(c.expected)) << boxes.Texts[0].toStdString();
        EXPECT_TRUE(runner.Previewed.isEmpty());
        EXPECT_TRUE(runner.Ran.isEmpty());
        EXPECT_TRUE(w->Modified());
        CloseEditor(w);
        exec("DROP PUBLICATION IF EXISTS " + s + "_pub");
        exec("DROP TABLE " + s + ".r CASCADE");
    }
}

TEST_F(TableRebuildTest, TemporaryTableKeepsItsRowsThroughATemporaryBackup)
{
    // The editor's connection holds the temporary table.
    Conn->ExecuteSQL("CREATE TEMPORARY TABLE tmp_r (a int, b text, c int)");
    Conn->ExecuteSQL("INSERT INTO tmp_r SELECT g, 'v' || g, g * 2 FROM generate_series(1, 5) g");
    const QString tempSchema = [&] {
        db::Query *q = Conn->OpenSQL("SELECT nspname FROM pg_namespace WHERE oid = pg_my_temp_schema()", {});
        const QString n = q->field(0).asString();
        q->close();
        return n;
    }();
    TRecordingRunner runner;
    TfrmTable *w = OpenEditor<TfrmTable>(45, tempSchema, "tmp_r");
    ASSERT_NE(w, nullptr);
    w->grdColumn->SetCurrentCell(tgcName, 3);
    w->MoveColumn(-2);
    CompileWindow(w);
    EXPECT_EQ(runner.Errors, 0) << runner.Statements.join("\n;\n").toStdString();
    EXPECT_TRUE(runner.Statements.join("\n").contains("CREATE TEMPORARY TABLE"));
    db::Query *q = Conn->OpenSQL("SELECT string_agg(c || '/' || a || '/' || b, ',' ORDER BY a) FROM tmp_r", {});
    EXPECT_EQ(q->field(0).asString(), "2/1/v1,4/2/v2,6/3/v3,8/4/v4,10/5/v5");
    q->close();
    q = Conn->OpenSQL("SELECT string_agg(attname, ',' ORDER BY attnum) FROM pg_attribute WHERE attrelid = 'tmp_r'::regclass "
                      "AND attnum > 0 AND NOT attisdropped",
                      {});
    EXPECT_EQ(q->field(0).asString(), "c,a,b");
    q->close();
    CloseEditor(w);
    Conn->ExecuteSQL("DROP TABLE tmp_r");
}

TEST_F(TableRebuildTest, RenamedAndMovedColumnsAndAnInsertedOneKeepTheirValues)
{
    const QString s = schema();
    exec("CREATE TABLE " + s + ".m (a int PRIMARY KEY, b text, c int)");
    exec("CREATE VIEW " + s + ".mv AS SELECT a, b FROM " + s + ".m");
    exec("INSERT INTO " + s + ".m VALUES (1, 'x', 10), (2, 'y', 20)");
    TRecordingRunner runner;
    TfrmTable *w = OpenMoved("m", 3); // c before b
    ASSERT_NE(w, nullptr);
    TkdStringGrid *g = w->grdColumn;
    g->StoreEditText(tgcName, 3, "b2"); // b renamed
    g->SetCurrentCell(tgcName, 2);
    w->btnColInsertClick(); // a new column between a and c
    g->StoreEditText(tgcName, 2, "new");
    g->StoreEditText(tgcType, 2, "integer");
    g->StoreEditText(tgcDefault, 2, "5");
    CompileWindow(w);
    EXPECT_EQ(runner.Errors, 0) << runner.Statements.join("\n;\n").toStdString();
    EXPECT_EQ(scalar("SELECT string_agg(concat_ws('/', a, new, c, b2), ',' ORDER BY a) FROM " + s + ".m"), "1/5/10/x,2/5/20/y");
    // The view keeps its own column name and reads the renamed column.
    EXPECT_EQ(scalar("SELECT string_agg(b, ',' ORDER BY a) FROM " + s + ".mv"), "x,y");
    EXPECT_TRUE(scalar("SELECT pg_get_viewdef('" + s + ".mv'::regclass)").contains("b2")) << "the view follows the rename";
    CloseEditor(w);
}

} // namespace
