// Scripts of many indexes, constraints, triggers, tables and sequences read a block at a time
// against the sandbox server: for awkward fixtures (every index access method, operator classes,
// collations, expressions, partial and INCLUDE indexes; all five constraint kinds with
// deferral, MATCH, NOT VALID, NO INHERIT and exclusions; triggers with arguments, WHEN,
// transition tables, constraint triggers and every enabled state; equal names in two
// schemas and on two tables; tables with every kind of fact, sequences with every option)
// and for every object of the sample database, the batch
// writes each object's script exactly as the one-object read does, in a few statements.
// Objects missing, not announced or scripted out of order, and the end of the batch.
#include "core/kdscriptbatch.h"
#include "editors/catalog_batch.h"
#include "editors/constraint_def.h"
#include "editors/index_script.h"
#include "editors/sequence_def.h"
#include "editors/table_def.h"
#include "editors/trigger_def.h"
#include "editors/editor_fixture.h"

namespace {

struct TItem {
    int Code;
    QString Schema, Table, Name;
};

QString Desc(const TItem &i)
{
    return QString::number(i.Code) + u' ' + i.Schema + u'.' + i.Table + u'.' + i.Name;
}

// The kinds of objects read a block at a time, and the statements one block of each takes.
const QList<int> kIndexKinds = {46, 66, 57};
const QList<int> kRelationKinds = {45, 58};
const QHash<int, int> kBlockStatements = {{46, 1}, {66, 2}, {57, 1}, {45, 8}, {58, 1}};

// Every index, table constraint and trigger (or every table and sequence) of the schemas,
// read by libpq.
QList<TItem> CatalogItems(PGconn *c, const QStringList &schemas, const QList<int> &kinds = kIndexKinds)
{
    QStringList literals;
    for (const QString &s : schemas)
        literals << QuoteLiteral(s);
    const QString in = QStringLiteral("ARRAY[%1]::name[]").arg(literals.join(u','));
    const QString sql = QStringLiteral(
        "SELECT string_agg(x, chr(2) ORDER BY x) FROM ("
        "SELECT '46' || chr(1) || n.nspname || chr(1) || chr(1) || c.relname AS x FROM pg_index i "
        "JOIN pg_class c ON c.oid = i.indexrelid JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = ANY(%1) "
        "UNION ALL SELECT '66' || chr(1) || n.nspname || chr(1) || t.relname || chr(1) || k.conname FROM pg_constraint k "
        "JOIN pg_class t ON t.oid = k.conrelid JOIN pg_namespace n ON n.oid = t.relnamespace WHERE n.nspname = ANY(%1) "
        "UNION ALL SELECT '57' || chr(1) || n.nspname || chr(1) || t.relname || chr(1) || g.tgname FROM pg_trigger g "
        "JOIN pg_class t ON t.oid = g.tgrelid JOIN pg_namespace n ON n.oid = t.relnamespace "
        "WHERE n.nspname = ANY(%1) AND NOT g.tgisinternal "
        "UNION ALL SELECT CASE WHEN c.relkind = 'S' THEN '58' ELSE '45' END || chr(1) || n.nspname || chr(1) || chr(1) "
        "|| c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
        "WHERE n.nspname = ANY(%1) AND c.relkind IN ('r', 'p', 'f', 'S')) s").arg(in);
    QList<TItem> items;
    for (const QString &row : testdb::scalar(c, sql).split(QChar(2), Qt::SkipEmptyParts)) {
        const QStringList f = row.split(QChar(1));
        if (kinds.contains(f.value(0).toInt()))
            items << TItem{f.value(0).toInt(), f.value(1), f.value(2), f.value(3)};
    }
    return items;
}

struct TScripts {
    QList<QStringList> Texts;
    QList<bool> Written;
    qint64 Statements = 0;
};

// Scripts the items in the given order as the list's script output does (its loop scope),
// with the items announced to a batch or without.
TScripts ScriptAll(TfrmObject *form, const QList<TItem> &items, bool batched, const QList<TItem> &order = {})
{
    const TfrmObject::TScriptLoopScope lookups(form);
    TScriptBatch batch(form);
    if (batched)
        for (const TItem &i : items)
            batch.Add(i.Code, i.Schema, i.Name, i.Table);
    TScripts out;
    const qint64 before = form->dbsMain()->statementCount();
    for (const TItem &i : order.isEmpty() ? items : order) {
        TScriptSink sink;
        out.Written << form->OutputScript(i.Code, i.Schema, i.Name, sink, QString(), QString(), 0, i.Table);
        out.Texts << sink.Lines();
    }
    out.Statements = form->dbsMain()->statementCount() - before;
    return out;
}

// The same objects scripted with and without the batch give the same text, object by object.
void ExpectSameScripts(TfrmObject *form, const QList<TItem> &items)
{
    const TScripts single = ScriptAll(form, items, false);
    const TScripts batched = ScriptAll(form, items, true);
    ASSERT_EQ(single.Texts.size(), items.size());
    ASSERT_EQ(batched.Texts.size(), items.size());
    for (int i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(Desc(items[i]).toStdString());
        EXPECT_TRUE(single.Written[i]);
        EXPECT_EQ(batched.Written[i], single.Written[i]);
        EXPECT_EQ(batched.Texts[i], single.Texts[i]);
    }
    // One read per object alone (several for a table); one block per kind in the batch.
    EXPECT_GE(single.Statements, items.size());
    QSet<int> kinds;
    for (const TItem &i : items)
        kinds << i.Code;
    int blocks = 0;
    for (int k : kinds)
        blocks += kBlockStatements.value(k);
    EXPECT_LE(batched.Statements, blocks);
}

class CatalogBatchTest : public EditorDbTest
{
protected:
    void TearDown() override
    {
        if (!FSecond.isEmpty())
            exec("DROP SCHEMA IF EXISTS " + QuoteIdentifier(FSecond, true) + " CASCADE");
        EditorDbTest::TearDown();
    }
    // Runs the statements with S. and S2. standing for the two schemas.
    void ExecFixtures(const QStringList &sql)
    {
        const QString s = QuoteIdentifier(schema(), true);
        const QString s2 = QuoteIdentifier(Second(), true);
        for (QString q : sql)
            exec(q.replace("S2.", s2 + ".").replace("S.", s + "."));
    }
    // A second schema (a Japanese name) that repeats names of the first.
    QString Second()
    {
        if (FSecond.isEmpty()) {
            FSecond = schema() + QStringLiteral("_別");
            exec("DROP SCHEMA IF EXISTS " + QuoteIdentifier(FSecond, true) + " CASCADE");
            exec("CREATE SCHEMA " + QuoteIdentifier(FSecond, true));
        }
        return FSecond;
    }
    void MakeFixtures()
    {
        // 21 three-byte characters: a name of the longest length, 63 bytes.
        const QString longName = QString(21, QChar(0x7d22));
        const QStringList sql = {
            // indexes
            "CREATE TABLE S.fx (id int, a int, b text, c int, d tsvector, r int4range, p point, n text, \"Mixed Col\" int)",
            "CREATE INDEX ix_multi ON S.fx (a DESC NULLS LAST, b COLLATE \"C\" text_pattern_ops NULLS FIRST, \"Mixed Col\")",
            "CREATE INDEX ix_hash ON S.fx USING hash (b)",
            "CREATE INDEX ix_gist ON S.fx USING gist (r, p)",
            "CREATE INDEX ix_gin ON S.fx USING gin (d) WITH (fastupdate = off)",
            "CREATE INDEX ix_brin ON S.fx USING brin (a, c) WITH (pages_per_range = 16)",
            "CREATE INDEX ix_spgist ON S.fx USING spgist (p)",
            "CREATE INDEX ix_expr ON S.fx ((a + c), lower(b) DESC, (b || 'x') COLLATE \"C\")",
            "CREATE INDEX ix_partial ON S.fx (c) WHERE c > 0 AND b <> 'WHERE x'",
            "CREATE UNIQUE INDEX ix_incl ON S.fx (a) INCLUDE (b, n) NULLS NOT DISTINCT WITH (fillfactor = 70)",
            "CREATE INDEX \"ix \"\"quoted\"\".dot\" ON S.fx (n)",
            "CREATE INDEX " + longName + " ON S.fx (id)",
            "CREATE TABLE S.part (id int, k int) PARTITION BY RANGE (id)",
            "CREATE TABLE S.part_1 PARTITION OF S.part FOR VALUES FROM (0) TO (100)",
            "CREATE INDEX ix_part ON S.part (k DESC)",
            "CREATE TABLE S2.fx (a int, b text)",
            "CREATE INDEX ix_multi ON S2.fx USING hash (b)",
            // constraints
            "CREATE TABLE S.ref (x int, y int, PRIMARY KEY (x, y))",
            "CREATE TABLE S.con (id int, x int DEFAULT 0, y int DEFAULT 0, a int, b int, r int4range, t text, "
            " CONSTRAINT con_pk PRIMARY KEY (id) WITH (fillfactor = 90), "
            " CONSTRAINT con_uq UNIQUE NULLS NOT DISTINCT (a, b) INCLUDE (t) DEFERRABLE INITIALLY DEFERRED, "
            " CONSTRAINT con_fk FOREIGN KEY (x, y) REFERENCES S.ref (x, y) MATCH FULL ON UPDATE CASCADE "
            "   ON DELETE SET DEFAULT DEFERRABLE, "
            " CONSTRAINT con_fk_null FOREIGN KEY (x, y) REFERENCES S.ref ON DELETE SET NULL (x), "
            " CONSTRAINT con_ck CHECK ((a > 0) AND (b > 0)), "
            " CONSTRAINT con_ck_ml CHECK (a > 0\n OR\n b < 10) NO INHERIT, "
            " CONSTRAINT con_ex EXCLUDE USING gist (r WITH &&, int4range(a, b) WITH &&) WHERE (a > 0), "
            " CONSTRAINT con_ex_bt EXCLUDE USING btree (t text_pattern_ops DESC NULLS LAST WITH =))",
            "ALTER TABLE S.con ADD CONSTRAINT con_fk_nv FOREIGN KEY (a, b) REFERENCES S.ref NOT VALID",
            "ALTER TABLE S.con ADD CONSTRAINT con_ck_nv CHECK (b < 100) NOT VALID",
            "CREATE TABLE S.con2 (a int CONSTRAINT con_ck CHECK (a > 1))",
            "CREATE TABLE S2.con (a int CONSTRAINT con_ck CHECK (a > 2), CONSTRAINT con_pk PRIMARY KEY (a))",
            // triggers
            "CREATE FUNCTION S.tf() RETURNS trigger LANGUAGE plpgsql AS $f$BEGIN RETURN NULL; END$f$",
            "CREATE TABLE S.tt (a int, \"Odd Col\" text, b int)",
            "CREATE TRIGGER after_x BEFORE INSERT OR UPDATE OF \"Odd Col\", b ON S.tt FOR EACH ROW "
            " WHEN (new.a > 0 AND new.\"Odd Col\" <> 'WHEN x EXECUTE') EXECUTE FUNCTION S.tf('a''b', 'c,d', '')",
            "CREATE TRIGGER del_log AFTER DELETE OR TRUNCATE ON S.tt EXECUTE FUNCTION S.tf()",
            "CREATE TRIGGER trans AFTER INSERT ON S.tt REFERENCING NEW TABLE AS nt FOR EACH STATEMENT EXECUTE FUNCTION S.tf()",
            "CREATE TRIGGER trans2 AFTER UPDATE ON S.tt REFERENCING OLD TABLE AS ot NEW TABLE AS \"New T\" "
            " FOR EACH ROW EXECUTE FUNCTION S.tf()",
            "CREATE CONSTRAINT TRIGGER ctrig AFTER INSERT OR UPDATE ON S.tt FROM S.ref DEFERRABLE INITIALLY DEFERRED "
            " FOR EACH ROW EXECUTE FUNCTION S.tf('x')",
            "CREATE TRIGGER \"無効 トリガー\" BEFORE UPDATE ON S.tt FOR EACH ROW EXECUTE FUNCTION S.tf()",
            "ALTER TABLE S.tt DISABLE TRIGGER \"無効 トリガー\"",
            "CREATE TRIGGER rep BEFORE DELETE ON S.tt FOR EACH ROW EXECUTE FUNCTION S.tf()",
            "ALTER TABLE S.tt ENABLE REPLICA TRIGGER rep",
            "CREATE TRIGGER alw AFTER INSERT OR DELETE OR UPDATE ON S.tt EXECUTE FUNCTION S.tf()",
            "ALTER TABLE S.tt ENABLE ALWAYS TRIGGER alw",
            "CREATE VIEW S.v AS SELECT * FROM S.tt",
            "CREATE TRIGGER io INSTEAD OF INSERT OR UPDATE ON S.v FOR EACH ROW EXECUTE FUNCTION S.tf()",
            "CREATE TRIGGER ptrig AFTER INSERT ON S.part FOR EACH ROW EXECUTE FUNCTION S.tf('p')",
            "CREATE TABLE S.\"t.a\"\"b\" (a int)",
            "CREATE TRIGGER after_x AFTER INSERT ON S.\"t.a\"\"b\" FOR EACH ROW EXECUTE FUNCTION S.tf()",
            "CREATE TABLE S2.tt (a int)",
            "CREATE TRIGGER after_x BEFORE INSERT ON S2.tt FOR EACH ROW WHEN (new.a IS NULL) EXECUTE FUNCTION S.tf('2')",
        };
        ExecFixtures(sql);
    }
    // Tables with each kind of fact the table script writes, and sequences with each option.
    void MakeRelationFixtures()
    {
        const QStringList sql = {
            "CREATE FUNCTION S.tf() RETURNS trigger LANGUAGE plpgsql AS $f$BEGIN RETURN NULL; END$f$",
            // identity, serial, generated, collation, defaults, comments, keys with options,
            // NOT VALID, a clustered index with a comment, triggers in each state
            "CREATE TABLE S.\"Odd \"\"Table\"\".x\" (id int GENERATED ALWAYS AS IDENTITY (START WITH 7 INCREMENT BY 3 CACHE 5) "
            " PRIMARY KEY WITH (fillfactor = 80), s serial, b bigserial, t text COLLATE \"C\" NOT NULL DEFAULT 'a''b', "
            " g int GENERATED ALWAYS AS (id * 2) STORED, n numeric(12,2) DEFAULT 0, ts timestamp(3) with time zone, "
            " arr varchar(10)[], \"Mixed Col\" int GENERATED BY DEFAULT AS IDENTITY, "
            " CONSTRAINT uq_t UNIQUE (t, n) INCLUDE (ts), CONSTRAINT ck_n CHECK (n >= 0)) WITH (fillfactor = 70, autovacuum_enabled = off)",
            "ALTER TABLE S.\"Odd \"\"Table\"\".x\" ADD CONSTRAINT ck_nv CHECK (g > 0) NOT VALID",
            "COMMENT ON TABLE S.\"Odd \"\"Table\"\".x\" IS '表の''注釈'",
            "COMMENT ON COLUMN S.\"Odd \"\"Table\"\".x\".t IS 'column t'",
            "COMMENT ON CONSTRAINT uq_t ON S.\"Odd \"\"Table\"\".x\" IS 'unique'",
            "COMMENT ON INDEX S.uq_t IS 'its index'",
            "CREATE INDEX ix_odd ON S.\"Odd \"\"Table\"\".x\" (lower(t) DESC)",
            "CREATE INDEX ix_odd_partial ON S.\"Odd \"\"Table\"\".x\" (n) WHERE n > 0",
            "CLUSTER S.\"Odd \"\"Table\"\".x\" USING ix_odd",
            "COMMENT ON INDEX S.ix_odd IS 'clustered'",
            "CREATE TRIGGER trg_odd BEFORE INSERT ON S.\"Odd \"\"Table\"\".x\" FOR EACH ROW EXECUTE FUNCTION S.tf('x')",
            "COMMENT ON TRIGGER trg_odd ON S.\"Odd \"\"Table\"\".x\" IS 'trigger'",
            "CREATE TRIGGER trg_off AFTER UPDATE ON S.\"Odd \"\"Table\"\".x\" FOR EACH ROW EXECUTE FUNCTION S.tf()",
            "ALTER TABLE S.\"Odd \"\"Table\"\".x\" DISABLE TRIGGER trg_off",
            // a sequence owned by another table's column, a serial of a smaller type
            "CREATE TABLE S.owner (id smallserial, k int)",
            "CREATE SEQUENCE S.owned_by_k AS integer INCREMENT -2 MINVALUE -1000 MAXVALUE -1 START -5 CACHE 10 CYCLE OWNED BY S.owner.k",
            // inheritance from two parents, a child with a column of its own and a NO INHERIT check
            "CREATE TABLE S.pa (a int NOT NULL, b text)",
            "CREATE TABLE S.pb (c int CHECK (c > 0))",
            "CREATE TABLE S.child (d int, CONSTRAINT ck_child CHECK (d <> 0) NO INHERIT) INHERITS (S.pa, S.pb)",
            // partitions: range with a key and an index, a default partition, a sub-partitioned one
            "CREATE TABLE S.part (id int, k int, v text, PRIMARY KEY (id, k)) PARTITION BY RANGE (id)",
            "CREATE INDEX ix_part_v ON S.part (v)",
            "CREATE TABLE S.part_1 PARTITION OF S.part FOR VALUES FROM (0) TO (100)",
            "CREATE TABLE S.part_d PARTITION OF S.part DEFAULT",
            "CREATE TABLE S.part_2 PARTITION OF S.part FOR VALUES FROM (100) TO (200) PARTITION BY LIST (k)",
            "CREATE TABLE S.part_2a PARTITION OF S.part_2 FOR VALUES IN (1, 2)",
            "CREATE TRIGGER ptrig AFTER INSERT ON S.part FOR EACH ROW EXECUTE FUNCTION S.tf('p')",
            "CREATE UNLOGGED TABLE S.unlogged (a int)",
            "CREATE TABLE S.\"空の表\" ()",
            "CREATE TABLE S.dropped_col (a int, b int, c int)",
            "ALTER TABLE S.dropped_col DROP COLUMN b",
            // sequences with options other than the defaults
            "CREATE SEQUENCE S.seq_plain",
            "CREATE SEQUENCE S.\"Seq \"\"Odd\"\".x\" AS smallint INCREMENT 5 MINVALUE 10 MAXVALUE 3000 START 20 CACHE 3",
            "CREATE SEQUENCE S.seq_used START 42",
            "SELECT nextval('" + QuoteIdentifier(schema(), true).replace("'", "''") + ".seq_used')",
            "CREATE SEQUENCE S.seq_cycle INCREMENT -1 CYCLE NO MINVALUE NO MAXVALUE",
            // the same names in the second schema
            "CREATE TABLE S2.owner (id serial PRIMARY KEY, note text)",
            "CREATE TABLE S2.part (id int)",
            "CREATE SEQUENCE S2.seq_plain MAXVALUE 99",
        };
        ExecFixtures(sql);
    }

private:
    QString FSecond;
};

TEST_F(CatalogBatchTest, AwkwardFixturesScriptTheSameInBatch)
{
    MakeFixtures();
    const QList<TItem> items = CatalogItems(conn(), {schema(), Second()});
    int kinds[3] = {0, 0, 0};
    for (const TItem &i : items)
        ++kinds[i.Code == 46 ? 0 : i.Code == 66 ? 1 : 2];
    EXPECT_GE(kinds[0], 20); // the fixtures' indexes, those of keys and exclusions, and partitions'
    EXPECT_GE(kinds[1], 14);
    EXPECT_GE(kinds[2], 13);
    ExpectSameScripts(Conn, items);
}

// The block reads give the facts the one-object reads give, field by field (also those a
// script does not write, such as the loaded definition).
TEST_F(CatalogBatchTest, BlockReadsGiveTheOneObjectFacts)
{
    MakeFixtures();
    const QList<TItem> items = CatalogItems(conn(), {schema(), Second()});
    QList<TScriptBatchItem> ix, con, trg;
    for (const TItem &i : items)
        (i.Code == 46 ? ix : i.Code == 66 ? con : trg) << TScriptBatchItem{i.Schema, i.Table, i.Name};
    const QHash<QString, TIndexDef> ixDefs = LoadIndexDefBlock(Conn, ix);
    const QHash<QString, TConstraintDef> conDefs = LoadConstraintDefBlock(Conn, con);
    const QHash<QString, TTriggerDef> trgDefs = LoadTriggerDefBlock(Conn, trg);
    EXPECT_EQ(ixDefs.size(), ix.size());
    EXPECT_EQ(conDefs.size(), con.size());
    EXPECT_EQ(trgDefs.size(), trg.size());
    for (const TScriptBatchItem &i : ix) {
        SCOPED_TRACE((i.Schema + "." + i.ObjectName).toStdString());
        TIndexDef one;
        ASSERT_TRUE(LoadIndexDef(Conn, i.Schema, i.ObjectName, one));
        EXPECT_TRUE(ixDefs.value(TScriptBatch::Key(i.Schema, i.TableName, i.ObjectName)) == one);
    }
    for (const TScriptBatchItem &i : con) {
        SCOPED_TRACE((i.Schema + "." + i.TableName + "." + i.ObjectName).toStdString());
        TConstraintDef one;
        ASSERT_TRUE(LoadConstraintDef(Conn, i.Schema, i.TableName, i.ObjectName, one));
        EXPECT_TRUE(conDefs.value(TScriptBatch::Key(i.Schema, i.TableName, i.ObjectName)) == one);
    }
    for (const TScriptBatchItem &i : trg) {
        SCOPED_TRACE((i.Schema + "." + i.TableName + "." + i.ObjectName).toStdString());
        TTriggerDef one;
        ASSERT_TRUE(LoadTriggerDef(Conn, i.Schema, i.TableName, i.ObjectName, one));
        EXPECT_TRUE(trgDefs.value(TScriptBatch::Key(i.Schema, i.TableName, i.ObjectName)) == one);
    }
}

// Every object of these kinds in the sample database (at least AtLeast of them) scripts the
// same with the batch as without it.
void ExpectSampleScriptsTheSame(const QList<int> &Kinds, int AtLeast)
{
    const testdb::Params &p = testdb::params();
    auto c = testdb::connect(p.sampleDatabase);
    const QStringList schemas =
        testdb::scalar(c.get(), "SELECT string_agg(nspname, chr(2)) FROM pg_namespace WHERE nspname NOT LIKE 'pg\\_%' "
                                "AND nspname <> 'information_schema'")
            .split(QChar(2), Qt::SkipEmptyParts);
    const QList<TItem> items = CatalogItems(c.get(), schemas, Kinds);
    EXPECT_GE(items.size(), AtLeast);
    TfrmObject *sample = TfrmObject::Create({p.host, p.port, p.sampleDatabase, "public", p.user, p.password});
    ASSERT_NE(sample, nullptr);
    FlushEvents();
    ExpectSameScripts(sample, items);
    delete sample;
    FlushEvents();
}

TEST_F(CatalogBatchTest, SampleDatabaseScriptsTheSameInBatch)
{
    ExpectSampleScriptsTheSame(kIndexKinds, 40);
}

// Objects outside what the batch announced, or gone, and scripts in another order than
// announced: the same outcome as without the batch, still a block at a time; the facts end
// with the batch.
TEST_F(CatalogBatchTest, MissingUnannouncedAndReorderedObjects)
{
    const QString s = QuoteIdentifier(schema(), true);
    exec("CREATE FUNCTION " + s + ".tf() RETURNS trigger LANGUAGE plpgsql AS $f$BEGIN RETURN NULL; END$f$");
    exec("CREATE TABLE " + s + ".big (a int, b text)");
    // More triggers than one block holds.
    const int count = kCatalogBatchBlock + 5;
    exec(QStringLiteral("DO $$ BEGIN FOR i IN 1..%1 LOOP EXECUTE format('CREATE TRIGGER tr%2 BEFORE UPDATE OF b ON %3.big "
                        "FOR EACH ROW WHEN (new.a > %2) EXECUTE FUNCTION %3.tf(%4, ''x'')', i, i, i); END LOOP; END $$")
             .arg(count)
             .arg(QStringLiteral("%s"), s, QStringLiteral("%L")));
    const QList<TItem> items = CatalogItems(conn(), {schema()});
    ASSERT_EQ(items.size(), count);
    QList<TItem> reversed(items.crbegin(), items.crend());
    const TScripts single = ScriptAll(Conn, items, false, reversed);
    const TScripts batched = ScriptAll(Conn, items, true, reversed);
    EXPECT_EQ(batched.Texts, single.Texts);
    EXPECT_EQ(batched.Statements, 2); // the last block first, then the first one
    EXPECT_EQ(ScriptAll(Conn, items, true).Statements, 2);

    // Announced but not there: nothing written, as alone; not announced while a batch lives:
    // read alone, the right text.
    exec("CREATE TABLE " + s + ".other (a int)");
    exec("CREATE TRIGGER lone AFTER INSERT ON " + s + ".other FOR EACH ROW EXECUTE FUNCTION " + s + ".tf('lone')");
    const QList<TItem> odd = {{57, schema(), "big", "no_such"}, {46, schema(), "", "no_such_ix"}, {57, schema(), "other", "lone"}};
    const TScripts alone = ScriptAll(Conn, odd, false);
    {
        const TfrmObject::TScriptLoopScope lookups(Conn);
        TScriptBatch batch(Conn);
        batch.Add(odd[0].Code, odd[0].Schema, odd[0].Name, odd[0].Table);
        batch.Add(odd[1].Code, odd[1].Schema, odd[1].Name, odd[1].Table);
        EXPECT_EQ(TScriptBatch::Of(Conn), &batch);
        for (int i = 0; i < odd.size(); ++i) {
            SCOPED_TRACE(Desc(odd[i]).toStdString());
            TScriptSink sink;
            EXPECT_EQ(Conn->OutputScript(odd[i].Code, odd[i].Schema, odd[i].Name, sink, QString(), QString(), 0, odd[i].Table),
                      alone.Written[i]);
            EXPECT_EQ(sink.Lines(), alone.Texts[i]);
        }
        EXPECT_FALSE(alone.Written[0]);
        EXPECT_TRUE(alone.Written[2]);
        // An inner batch stands in for the outer one while it lives.
        {
            TScriptBatch inner(Conn);
            EXPECT_EQ(TScriptBatch::Of(Conn), &inner);
        }
        EXPECT_EQ(TScriptBatch::Of(Conn), &batch);
    }
    EXPECT_EQ(TScriptBatch::Of(Conn), nullptr);

    // A batch's facts do not outlive it: a trigger dropped afterwards is no longer scripted.
    {
        TScriptBatch batch(Conn);
        batch.Add(57, schema(), "lone", "other");
        TScriptSink sink;
        EXPECT_TRUE(Conn->OutputScript(57, schema(), "lone", sink, QString(), QString(), 0, "other"));
    }
    exec("DROP TRIGGER lone ON " + s + ".other");
    TScriptSink after;
    EXPECT_FALSE(Conn->OutputScript(57, schema(), "lone", after, QString(), QString(), 0, "other"));
}

// Tables and sequences: each script of the batch is the one-object script, with the
// table script's options that change what it reads or writes (indexes, lower-case names).
TEST_F(CatalogBatchTest, TablesAndSequencesScriptTheSameInBatch)
{
    MakeRelationFixtures();
    const QList<TItem> items = CatalogItems(conn(), {schema(), Second()}, kRelationKinds);
    int tables = 0, sequences = 0;
    for (const TItem &i : items)
        ++(i.Code == 45 ? tables : sequences);
    EXPECT_GE(tables, 15);
    EXPECT_GE(sequences, 12); // the fixtures' own, identity and serial ones
    struct TCase {
        bool Index, Lower;
    };
    const TScriptOption saved = TScriptOption::Global();
    const bool savedLower = TkdOption::Global().UseLowerName;
    for (const TCase c : {TCase{false, false}, TCase{true, false}, TCase{true, true}}) {
        SCOPED_TRACE(QStringLiteral("index %1 lower %2").arg(c.Index).arg(c.Lower).toStdString());
        TScriptOption::Global().Index = c.Index;
        TkdOption::Global().UseLowerName = c.Lower;
        ExpectSameScripts(Conn, items);
    }
    TScriptOption::Global() = saved;
    TkdOption::Global().UseLowerName = savedLower;
}

// The block reads give the facts the one-object reads give, field by field (the owner, the
// loaded types and definitions, the index parts).
TEST_F(CatalogBatchTest, TableAndSequenceBlocksGiveTheOneObjectFacts)
{
    MakeRelationFixtures();
    const QList<TItem> items = CatalogItems(conn(), {schema(), Second()}, kRelationKinds);
    QList<TScriptBatchItem> tables, sequences;
    for (const TItem &i : items)
        (i.Code == 45 ? tables : sequences) << TScriptBatchItem{i.Schema, QString(), i.Name};
    const QHash<QString, TTableDef> tableDefs = LoadTableDefBlock(Conn, tables);
    const QHash<QString, TSequenceDef> sequenceDefs = LoadSequenceDefBlock(Conn, sequences);
    EXPECT_EQ(tableDefs.size(), tables.size());
    EXPECT_EQ(sequenceDefs.size(), sequences.size());
    int withIndexes = 0, withSequences = 0, withParents = 0;
    for (const TScriptBatchItem &i : tables) {
        SCOPED_TRACE((i.Schema + "." + i.ObjectName).toStdString());
        TTableDef one;
        ASSERT_TRUE(LoadTableDef(Conn, i.Schema, i.ObjectName, one));
        const TTableDef block = tableDefs.value(TScriptBatch::Key(i.Schema, QString(), i.ObjectName));
        EXPECT_TRUE(block == one);
        EXPECT_EQ(block.Columns, one.Columns);
        EXPECT_EQ(block.Indexes, one.Indexes);
        withIndexes += !one.Indexes.isEmpty();
        withSequences += !one.Sequences.isEmpty();
        withParents += !one.Parents.isEmpty() || !one.PartitionOf.isEmpty();
    }
    // The fixtures reach the facts that are handed out by table OID.
    EXPECT_GE(withIndexes, 2);
    EXPECT_GE(withSequences, 3);
    EXPECT_GE(withParents, 5);
    for (const TScriptBatchItem &i : sequences) {
        SCOPED_TRACE((i.Schema + "." + i.ObjectName).toStdString());
        TSequenceDef one;
        ASSERT_TRUE(LoadSequenceDef(Conn, i.Schema, i.ObjectName, one));
        EXPECT_TRUE(sequenceDefs.value(TScriptBatch::Key(i.Schema, QString(), i.ObjectName)) == one);
    }
}

TEST_F(CatalogBatchTest, SampleTablesAndSequencesScriptTheSameInBatch)
{
    const TScriptOption saved = TScriptOption::Global();
    TScriptOption::Global().Index = true;
    ExpectSampleScriptsTheSame(kRelationKinds, 20);
    TScriptOption::Global() = saved;
}

// A table or sequence dropped after the loop announced it is not scripted, as without the
// batch; one dropped after its block was read is scripted from the block, and the block of
// the next loop no longer holds it. Each case: what was announced, what is dropped, and when.
TEST_F(CatalogBatchTest, RelationsDroppedWhileTheLoopRuns)
{
    const QString s = QuoteIdentifier(schema(), true);
    exec("CREATE TABLE " + s + ".keep (id serial PRIMARY KEY, v text)");
    exec("CREATE INDEX keep_v ON " + s + ".keep (v)");
    exec("CREATE SEQUENCE " + s + ".keep_seq START 3");
    struct TCase {
        int Code;
        QString Name, Create, Drop;
    };
    const QList<TCase> cases = {
        {45, "gone", "CREATE TABLE S.gone (a int PRIMARY KEY, b text)", "DROP TABLE S.gone"},
        {58, "gone_seq", "CREATE SEQUENCE S.gone_seq INCREMENT 7", "DROP SEQUENCE S.gone_seq"},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name.toStdString());
        const auto keep = [](int code) { return code == 45 ? QStringLiteral("keep") : QStringLiteral("keep_seq"); };
        const int other = c.Code == 45 ? 58 : 45;
        const QList<TItem> items = {{c.Code, schema(), "", keep(c.Code)}, {c.Code, schema(), "", c.Name},
                                    {other, schema(), "", keep(other)}};
        const QString create = QString(c.Create).replace("S.", s + ".");
        const QString drop = QString(c.Drop).replace("S.", s + ".");
        exec(create);
        const TScripts before = ScriptAll(Conn, items, false);
        ASSERT_TRUE(before.Written[1]);
        // Dropped between the announcement and the block read: the block does not return it,
        // the one-object read finds nothing, the others come from the block.
        {
            const TfrmObject::TScriptLoopScope lookups(Conn);
            TScriptBatch batch(Conn);
            for (const TItem &i : items)
                batch.Add(i.Code, i.Schema, i.Name, i.Table);
            exec(drop);
            for (int i = 0; i < items.size(); ++i) {
                TScriptSink sink;
                EXPECT_EQ(Conn->OutputScript(items[i].Code, schema(), items[i].Name, sink), i != 1);
                if (i != 1) {
                    EXPECT_EQ(sink.Lines(), before.Texts[i]);
                }
            }
        }
        // Dropped after its block was read: the loop writes what it read.
        exec(create);
        const TScripts again = ScriptAll(Conn, items, false);
        {
            const TfrmObject::TScriptLoopScope lookups(Conn);
            TScriptBatch batch(Conn);
            for (const TItem &i : items)
                batch.Add(i.Code, i.Schema, i.Name, i.Table);
            TScriptSink first;
            EXPECT_TRUE(Conn->OutputScript(items[0].Code, schema(), items[0].Name, first));
            exec(drop);
            TScriptSink sink;
            EXPECT_TRUE(Conn->OutputScript(c.Code, schema(), c.Name, sink));
            EXPECT_EQ(sink.Lines(), again.Texts[1]);
        }
        TScriptSink after;
        EXPECT_FALSE(Conn->OutputScript(c.Code, schema(), c.Name, after));
    }
}

// A block read the server refuses (a sequence this session may not read, in the block with
// readable ones) leaves each sequence of the block to the one-object read: the readable ones
// are scripted as alone, the refused one is not, as alone.
TEST_F(CatalogBatchTest, RefusedBlockReadFallsBackToOneObjectReads)
{
    const QString s = QuoteIdentifier(schema(), true);
    const QString role = QuoteIdentifier(schema() + "_reader", true);
    exec("CREATE SEQUENCE " + s + ".open_a START 5");
    exec("CREATE SEQUENCE " + s + ".refused INCREMENT 3");
    exec("CREATE SEQUENCE " + s + ".open_b AS integer CYCLE");
    exec("DROP ROLE IF EXISTS " + role);
    exec("CREATE ROLE " + role);
    exec("GRANT USAGE ON SCHEMA " + s + " TO " + role);
    exec("GRANT SELECT ON SEQUENCE " + s + ".open_a, " + s + ".open_b TO " + role);
    const QList<TItem> items = {{58, schema(), "", "open_a"}, {58, schema(), "", "refused"}, {58, schema(), "", "open_b"}};
    Conn->ExecuteSQL("SET ROLE " + role);
    const TScripts alone = ScriptAll(Conn, items, false);
    const TScripts batched = ScriptAll(Conn, items, true);
    Conn->ExecuteSQL("RESET ROLE");
    exec("DROP OWNED BY " + role);
    exec("DROP ROLE " + role);
    EXPECT_EQ(alone.Written, (QList<bool>{true, false, true}));
    EXPECT_EQ(batched.Written, alone.Written);
    EXPECT_EQ(batched.Texts, alone.Texts);
    // The refused block, then each sequence alone.
    EXPECT_GE(batched.Statements, items.size());
}

} // namespace
