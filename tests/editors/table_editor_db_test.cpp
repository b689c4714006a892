// The table script against the sandbox server: every table of the sample database loads,
// and in a fresh copy of that database its script (with indexes, then its triggers) run
// after DROP ... CASCADE gives the same `pg_dump --schema-only` of the table (owners and
// privileges left out of the comparison, rules too). Awkward names and the copy script run
// in the test database.
#include "browser/fobject.h"
#include "core/kdsub_options.h"
#include "editors/table_def.h"
#include "editors/editor_fixture.h"
#include "support/roundtrip.h"
#include "support/testdb.h"

#include <QThread>

namespace {

class TableEditorTest : public EditorDbTest
{
protected:
    // The dump of one table without rule statements (they have their own editor).
    static QString TableDump(const QString &database, const QString &schema, const QString &name)
    {
        const QString dump = roundtrip::SchemaDump(
            {"--no-owner", "--no-privileges", "-t", roundtrip::ExactPattern(schema, name)}, database);
        QStringList kept;
        bool inRule = false;
        for (const QString &line : dump.split('\n')) {
            if (line.startsWith("CREATE RULE "))
                inRule = true;
            if (!inRule)
                kept << line;
            if (inRule && line.trimmed().endsWith(';'))
                inRule = false;
        }
        return kept.join('\n');
    }
    // Script, drop with CASCADE, run, compare.
    static void RoundTrip(TkdConnForm *conn, const QString &database, const QString &schema, const QString &name)
    {
        const QString before = TableDump(database, schema, name);
        ASSERT_FALSE(before.isEmpty()) << name;
        TScriptSink sink;
        ASSERT_TRUE(conn->OutputScript(45, schema, name, sink)) << name;
        TTableDef def;
        ASSERT_TRUE(LoadTableDef(conn, schema, name, def));
        const QStringList script = sink.Lines() + TableTriggerLines(def);
        conn->ExecuteSQL("DROP TABLE " + QuoteIdentifier(schema, true) + "." + QuoteIdentifier(name, true) + " CASCADE");
        roundtrip::RunLines(conn, script);
        EXPECT_EQ(TableDump(database, schema, name), before) << script.join('\n').toStdString();
    }
};

TEST_F(TableEditorTest, EveryTableOfTheSampleDatabaseScriptsBackTheSame)
{
    const testdb::Params &p = testdb::params();
    const QString copy = testdb::uniqueName("tbl_rt");
    auto admin = testdb::connect("postgres");
    // Other tests may hold a session on the sample database for a moment.
    bool made = false;
    for (int i = 0; i < 30 && !made; ++i) {
        try {
            testdb::exec(admin.get(), "CREATE DATABASE " + copy + " TEMPLATE " + QuoteIdentifier(p.sampleDatabase, true));
            made = true;
        } catch (...) {
            QThread::msleep(500);
        }
    }
    ASSERT_TRUE(made);
    TkdOption::Global().UseLowerName = false;
    TScriptOption::Global().Index = true;
    TfrmObject *conn = TfrmObject::Create({p.host, p.port, copy, "public", p.user, p.password});
    ASSERT_NE(conn, nullptr);
    FlushEvents();
    {
        auto c = testdb::connect(copy);
        // Partitions and inheritance children first: dropping a parent takes them along.
        const QString list = testdb::scalar(
            c.get(), "SELECT string_agg(n.nspname || chr(1) || c.relname, chr(2) ORDER BY "
                     "c.relispartition DESC, EXISTS (SELECT 1 FROM pg_inherits i WHERE i.inhrelid = c.oid) DESC, "
                     "n.nspname, c.relname) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                     "WHERE c.relkind IN ('r', 'p') AND n.nspname NOT IN ('pg_catalog', 'information_schema') "
                     "AND n.nspname NOT LIKE 'pg_toast%'");
        c.reset();
        const QStringList tables = list.split(QChar(2), Qt::SkipEmptyParts);
        EXPECT_GE(tables.size(), 20);
        for (const QString &t : tables) {
            const QString schema = t.section(QChar(1), 0, 0);
            const QString name = t.section(QChar(1), 1);
            SCOPED_TRACE((schema + "." + name).toStdString());
            RoundTrip(conn, copy, schema, name);
        }
    }
    conn->close();
    FlushEvents();
    TScriptOption::Global().Index = false;
    testdb::exec(admin.get(), "DROP DATABASE IF EXISTS " + copy + " WITH (FORCE)");
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

} // namespace
