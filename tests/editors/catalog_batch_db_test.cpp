// Scripts of many indexes, constraints and triggers read a block at a time against the
// sandbox server: for awkward fixtures (every index access method, operator classes,
// collations, expressions, partial and INCLUDE indexes; all five constraint kinds with
// deferral, MATCH, NOT VALID, NO INHERIT and exclusions; triggers with arguments, WHEN,
// transition tables, constraint triggers and every enabled state; equal names in two
// schemas and on two tables) and for every object of the sample database, the batch
// writes each object's script exactly as the one-object read does, in a few statements.
// Objects missing, not announced or scripted out of order, and the end of the batch.
#include "core/kdscriptbatch.h"
#include "editors/catalog_batch.h"
#include "editors/constraint_def.h"
#include "editors/index_script.h"
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

// Every index, table constraint and trigger of the schemas, read by libpq.
QList<TItem> CatalogItems(PGconn *c, const QStringList &schemas)
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
        "WHERE n.nspname = ANY(%1) AND NOT g.tgisinternal) s").arg(in);
    QList<TItem> items;
    for (const QString &row : testdb::scalar(c, sql).split(QChar(2), Qt::SkipEmptyParts)) {
        const QStringList f = row.split(QChar(1));
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
    // One read per object alone; one block per kind (two for constraints) in the batch.
    EXPECT_GE(single.Statements, items.size());
    EXPECT_LE(batched.Statements, 4);
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
        const QString s = QuoteIdentifier(schema(), true);
        const QString s2 = QuoteIdentifier(Second(), true);
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
        for (QString q : sql)
            exec(q.replace("S2.", s2 + ".").replace("S.", s + "."));
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

TEST_F(CatalogBatchTest, SampleDatabaseScriptsTheSameInBatch)
{
    const testdb::Params &p = testdb::params();
    QStringList schemas;
    {
        auto c = testdb::connect(p.sampleDatabase);
        schemas = testdb::scalar(c.get(), "SELECT string_agg(nspname, chr(2)) FROM pg_namespace WHERE nspname NOT LIKE 'pg\\_%' "
                                          "AND nspname <> 'information_schema'")
                      .split(QChar(2), Qt::SkipEmptyParts);
        const QList<TItem> items = CatalogItems(c.get(), schemas);
        EXPECT_GE(items.size(), 40);
        TfrmObject *sample = TfrmObject::Create({p.host, p.port, p.sampleDatabase, "public", p.user, p.password});
        ASSERT_NE(sample, nullptr);
        FlushEvents();
        ExpectSameScripts(sample, items);
        delete sample;
        FlushEvents();
    }
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

} // namespace
