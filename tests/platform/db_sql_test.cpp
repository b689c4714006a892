// Colon parameters and statement kinds, read the way the server's lexer reads the text.
#include "platform/db/dbsql.h"
#include "support/qstring_printer.h"
#include <gtest/gtest.h>

namespace {

struct ParamCase {
    const char *sql;
    const char *text;
    QStringList names;
};

TEST(DbSql, ColonParametersOutsideLiteralsCommentsCastsAndSlices)
{
    const ParamCase cases[] = {
        {"SELECT * FROM t WHERE a = :A AND b = :b AND c = :a",
         "SELECT * FROM t WHERE a = $1 AND b = $2 AND c = $1", {"A", "b"}},
        {"SELECT :x::int, ':y', E'\\':z', 'it''s :w', \"q:v\"",
         "SELECT $1::int, ':y', E'\\':z', 'it''s :w', \"q:v\"", {"x"}},
        {"SELECT $$ :d $$, $t$ :e $$ :e2 $t$, :k -- :f\n/* :g /* :h */ :i */ :j",
         "SELECT $$ :d $$, $t$ :e $$ :e2 $t$, $1 -- :f\n/* :g /* :h */ :i */ $2", {"k", "j"}},
        {"SELECT a[1:n], a[lo:hi], ARRAY[:p, :q], f(x := :v)",
         "SELECT a[1:n], a[lo:hi], ARRAY[$1, $2], f(x := $3)", {"p", "q", "v"}},
        {"SELECT :\"My Name\", :my, :\"My Name\", :MY",
         "SELECT $1, $2, $1, $2", {"My Name", "my"}},
        {"SELECT 1::text, now()::date", "SELECT 1::text, now()::date", {}},
        {"SELECT :社員番号, '社員:x'", "SELECT $1, '社員:x'", {"社員番号"}},
        {"SELECT e'\\'' || :a", "SELECT e'\\'' || $1", {"a"}},
        {"SELECT ':unterminated", "SELECT ':unterminated", {}},
    };
    for (const ParamCase &c : cases) {
        const db::ParsedSql p = db::parseParams(QString::fromUtf8(c.sql));
        EXPECT_EQ(p.text, QString::fromUtf8(c.text)) << c.sql;
        EXPECT_EQ(p.names, c.names) << c.sql;
    }
}

struct KindCase {
    const char *sql;
    db::CommandKind kind;
    const char *keyword;
    bool cursorable;
};

TEST(DbSql, ClassifiesStatements)
{
    using K = db::CommandKind;
    const KindCase cases[] = {
        {"select * from t", K::Select, "SELECT", true},
        {"  -- note\n/* c */ (SELECT 1) UNION (SELECT 2);", K::Select, "SELECT", true},
        {"VALUES (1), (2)", K::Select, "VALUES", true},
        {"WITH x AS (SELECT 1) SELECT * FROM x", K::Select, "WITH", true},
        {"WITH x AS (DELETE FROM t RETURNING *) SELECT * FROM x", K::Select, "WITH", false},
        {"WITH x AS (SELECT 1) INSERT INTO t SELECT * FROM x", K::Insert, "WITH", false},
        {"SELECT * FROM t FOR UPDATE", K::SelectForLock, "SELECT", false},
        {"SELECT * FROM t FOR NO KEY UPDATE NOWAIT", K::SelectForLock, "SELECT", false},
        {"SELECT (SELECT 1 FOR UPDATE)", K::Select, "SELECT", true},
        {"SELECT 1 INTO newtable", K::Other, "SELECT", false},
        {"SELECT 1; SELECT 2", K::Select, "SELECT", false},
        {"SELECT 'for update'", K::Select, "SELECT", true},
        {"SHOW search_path", K::Select, "SHOW", false},
        {"EXPLAIN SELECT 1", K::Select, "EXPLAIN", false},
        {"insert into t values (1)", K::Insert, "INSERT", false},
        {"UPDATE t SET a = 1", K::Update, "UPDATE", false},
        {"DELETE FROM t", K::Delete, "DELETE", false},
        {"CREATE TABLE t (a int)", K::Create, "CREATE", false},
        {"ALTER TABLE t ADD b int", K::Alter, "ALTER", false},
        {"DROP TABLE t", K::Drop, "DROP", false},
        {"COMMIT", K::Commit, "COMMIT", false},
        {"end", K::Commit, "END", false},
        {"ROLLBACK", K::Rollback, "ROLLBACK", false},
        {"BEGIN", K::Other, "BEGIN", false},
        {"SET CLIENT_ENCODING TO 'SJIS'", K::Other, "SET", false},
        {"   ", K::Other, "", false},
    };
    for (const KindCase &c : cases) {
        const db::StatementInfo info = db::classify(QString::fromUtf8(c.sql));
        EXPECT_EQ(info.kind, c.kind) << c.sql;
        EXPECT_EQ(info.keyword, QString::fromUtf8(c.keyword)) << c.sql;
        EXPECT_EQ(info.cursorable, c.cursorable) << c.sql;
    }
    EXPECT_EQ(db::classify(QStringLiteral("SELECT 1;\n-- end\n")).cursorText, QStringLiteral("SELECT 1"));
}

TEST(DbSql, StatementsThatMayChangeTheCatalog)
{
    struct Case { const char *sql; bool changes; };
    const Case cases[] = {
        // Reading and writing rows, cursors, settings, transaction commands that keep the block.
        {"SELECT * FROM t", false},
        {"(SELECT 1) UNION (SELECT 2)", false},
        {"WITH x AS (SELECT 1) INSERT INTO t SELECT * FROM x", false},
        {"WITH x AS (DELETE FROM t RETURNING *) SELECT * FROM x", false},
        {"VALUES (1)", false},
        {"TABLE t", false},
        {"SELECT * FROM t FOR UPDATE", false},
        {"insert into t values ('CREATE TABLE x ()')", false},
        {"UPDATE t SET a = 1 -- ; DROP TABLE t", false},
        {"DELETE FROM t /* ; DROP TABLE t; */", false},
        {"MERGE INTO t USING s ON t.a = s.a WHEN MATCHED THEN DELETE", false},
        {"COPY t FROM STDIN", false},
        {"TRUNCATE t", false},
        {"BEGIN", false},
        {"START TRANSACTION", false},
        {"SAVEPOINT s", false},
        {"RELEASE SAVEPOINT s", false},
        {"COMMIT", false},
        {"END", false},
        {"SET search_path TO a, public", false},
        {"SET CLIENT_ENCODING TO 'SJIS'", false},
        {"RESET search_path", false},
        {"SHOW search_path", false},
        {"DECLARE c CURSOR FOR SELECT 1", false},
        {"FETCH 10 FROM c", false},
        {"CLOSE c", false},
        {"PREPARE p AS SELECT 1", false},
        {"EXECUTE p", false},
        {"DEALLOCATE p", false},
        {"EXPLAIN SELECT 1", false},
        {"EXPLAIN ANALYZE VERBOSE SELECT 1", false},
        {"EXPLAIN (ANALYZE, BUFFERS) UPDATE t SET a = 1", false},
        {"VACUUM ANALYZE t", false},
        {"LOCK TABLE t", false},
        {"NOTIFY ch", false},
        {"SELECT 1; INSERT INTO t VALUES (1);", false},
        {"SELECT $$; DROP TABLE t; $$", false},
        {"SELECT ';DROP TABLE t'", false},
        {"   ", false},
        {"-- only a comment", false},
        // Changes of the catalog, and what undoes or ends them.
        {"CREATE TABLE t (a int)", true},
        {"create or replace view v as select 1", true},
        {"ALTER TABLE t ADD b int", true},
        {"ALTER TABLE t RENAME TO u", true},
        {"DROP TABLE t", true},
        {"COMMENT ON TABLE t IS 'x'", true},
        {"GRANT SELECT ON t TO PUBLIC", true},
        {"REVOKE SELECT ON t FROM PUBLIC", true},
        {"SELECT 1 INTO newtable", true},
        {"WITH x AS (SELECT 1) SELECT * INTO newtable FROM x", true},
        {"EXPLAIN ANALYZE CREATE TABLE t2 AS SELECT 1", true},
        {"ROLLBACK", true},
        {"ABORT", true},
        {"ROLLBACK TO SAVEPOINT s", true},
        {"PREPARE TRANSACTION 'x'", true},
        {"COMMIT PREPARED 'x'", true},
        {"SET ROLE other", true},
        {"SET LOCAL ROLE other", true},
        {"SET SESSION AUTHORIZATION other", true},
        {"RESET ROLE", true},
        {"RESET ALL", true},
        {"CALL p()", true},
        {"DO $$ BEGIN EXECUTE 'DROP TABLE t'; END $$", true},
        {"DISCARD TEMP", true},
        {"IMPORT FOREIGN SCHEMA s FROM SERVER f INTO t", true},
        {"SECURITY LABEL ON TABLE t IS 'x'", true},
        {"SOMETHINGNEW t", true},
        {"\"CREATE\" TABLE t ()", true},
        // A text of several statements counts as changing when any of them does.
        {"SELECT 1; CREATE TABLE t (a int)", true},
        {"-- note\nINSERT INTO t VALUES (1);\n/* c */ DROP TABLE u;", true},
        {"CREATE RULE r AS ON INSERT TO t DO ALSO (SELECT 1; SELECT 2)", true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(db::mayChangeCatalog(QString::fromUtf8(c.sql)), c.changes) << c.sql;
}

} // namespace
