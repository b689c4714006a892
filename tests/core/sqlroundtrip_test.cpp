// Round trips on the sandbox server: a statement formatted with any layout, or stripped of
// its comments, gives the server the same work as the statement as written.
#include "core/kdsqltoken.h"
#include "core/kdsub_sql.h"
#include "sqlcorpus.h"
#include "support/testdb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <functional>

namespace {

// Every result row of the last statement of Sql as text, or the server's error.
QString RunForText(PGconn *conn, const QString &sql)
{
    PGresult *r = PQexec(conn, sql.toUtf8().constData());
    QString out;
    const ExecStatusType st = PQresultStatus(r);
    if (st == PGRES_TUPLES_OK) {
        for (int row = 0; row < PQntuples(r); ++row) {
            QStringList fields;
            for (int f = 0; f < PQnfields(r); ++f)
                fields.append(PQgetisnull(r, row, f) ? QStringLiteral("<null>") : QString::fromUtf8(PQgetvalue(r, row, f)));
            out += fields.join(u'|') + u'\n';
        }
    } else if (st != PGRES_COMMAND_OK) {
        out = QStringLiteral("ERROR: ") + QString::fromUtf8(PQresultErrorMessage(r));
    } else {
        out = QString::fromUtf8(PQcmdStatus(r));
    }
    PQclear(r);
    return out;
}

// The text with the content of every plpgsql and sql routine body replaced by its tokens
// (words in upper case), which is what the formatter may change in it besides white space.
QString WithBodyTokens(const QString &text)
{
    const std::vector<qsizetype> tags = kdsqltoken::RoutineBodyTags(text);
    QString out;
    qsizetype at = 0;
    for (size_t k = 0; k + 1 < tags.size(); k += 2) {
        const qsizetype open = tags[k];
        const qsizetype tagLength = text.indexOf(u'$', open + 1) - open + 1;
        const qsizetype contentStart = open + tagLength;
        out += QStringView(text).mid(at, contentStart - at);
        out += u' ' + kdsqltoken::TokenKeys(text.mid(contentStart, tags[k + 1] - contentStart)).join(u' ') + u' ';
        at = tags[k + 1];
    }
    out += QStringView(text).mid(at);
    return out;
}

TFormatOption DefaultLayout()
{
    TFormatOption o;
    o.Reset();
    return o;
}

const QList<TFormatOption> &Layouts()
{
    static const QList<TFormatOption> layouts = [] {
        QList<TFormatOption> l;
        l.append(DefaultLayout());
        TFormatOption a = DefaultLayout();
        a.Indent = 2;
        a.CommaPos = 1;
        a.AndPos = 1;
        a.ReservePos = 1;
        a.ReserveTrans = 1;
        a.ItemTrans = 0;
        l.append(a);
        TFormatOption b = DefaultLayout();
        b.ItemReturn = 1;
        b.ReserveTrans = 2;
        b.ItemTrans = 1;
        l.append(b);
        return l;
    }();
    return layouts;
}

QString LayoutName(int i)
{
    return QStringLiteral("layout %1").arg(i);
}

class RoundTrip : public testdb::SchemaTest {
protected:
    void SetUp() override
    {
        testdb::SchemaTest::SetUp();
        if (HasFatalFailure())
            return;
        exec(QStringLiteral(
            "CREATE TABLE dept (id integer PRIMARY KEY, name text);"
            "CREATE TABLE emp (id integer PRIMARY KEY, name text, dept_id integer REFERENCES dept(id),"
            " salary numeric, tags text[], data jsonb, hired date);"
            "INSERT INTO dept VALUES (1, 'Sales'), (2, 'R&D'), (3, 'it''s');"
            "INSERT INTO emp VALUES (1, 'ann', 1, 120, '{a,b}', '{\"k\": \"v\", \"n\": 1}', '2019-05-01'),"
            " (2, 'bob', 2, 450, '{b}', '{\"k\": \"w\"}', '2020-01-01'),"
            " (3, 'zed', NULL, 90, '{}', '{}', '2021-07-07'),"
            " (4, E'multi\\r\\nline literal', 1, 300.5, '{a}', '{\"n\": 2}', '2018-02-02');"
            "CREATE FUNCTION f_add(a integer, b integer) RETURNS integer AS $$ BEGIN RETURN a + b; END; $$"
            " LANGUAGE plpgsql;"
            "CREATE FUNCTION f_sql(integer) RETURNS integer AS $fn$ SELECT $1 * 2 $fn$ LANGUAGE sql;"));
    }

    // The objects of the schema and the rows of its tables, as one text.
    QString State()
    {
        const QString s = schema();
        QString out = RunForText(conn(), QStringLiteral(
            "SELECT x FROM ("
            " SELECT c.relname || ':' || c.relkind || ':' || coalesce(pg_get_viewdef(c.oid), '')"
            "   FROM pg_class c WHERE c.relnamespace = '%1'::regnamespace"
            " UNION ALL SELECT table_name || ':' || column_name || ':' || data_type || ':' || coalesce(column_default, '')"
            "   FROM information_schema.columns WHERE table_schema = '%1'"
            " UNION ALL SELECT c.relname || ':' || coalesce(obj_description(c.oid), '')"
            "   FROM pg_class c WHERE c.relnamespace = '%1'::regnamespace"
            ") q(x) ORDER BY x").arg(s));
        // Routine bodies count by their tokens: the formatter lays them out.
        PGresult *fr = PQexec(conn(), QStringLiteral("SELECT p.proname || ':' || pg_get_function_identity_arguments(p.oid),"
                                                     " pg_get_functiondef(p.oid) FROM pg_proc p"
                                                     " WHERE p.pronamespace = '%1'::regnamespace AND p.prokind <> 'a'"
                                                     " ORDER BY 1").arg(s).toUtf8().constData());
        if (PQresultStatus(fr) == PGRES_TUPLES_OK)
            for (int row = 0; row < PQntuples(fr); ++row)
                out += QString::fromUtf8(PQgetvalue(fr, row, 0)) + u'\n'
                       + WithBodyTokens(QString::fromUtf8(PQgetvalue(fr, row, 1))) + u'\n';
        else
            out += QStringLiteral("ERROR: ") + QString::fromUtf8(PQresultErrorMessage(fr));
        PQclear(fr);
        const QString tables = RunForText(conn(), QStringLiteral(
            "SELECT tablename FROM pg_tables WHERE schemaname = '%1' ORDER BY 1").arg(s));
        for (const QString &t : tables.split(u'\n', Qt::SkipEmptyParts))
            out += RunForText(conn(), QStringLiteral("SELECT x::text FROM %1.%2 x ORDER BY 1").arg(s, t));
        return out;
    }

    // Runs Sql in a transaction that is rolled back and returns its answer and the state.
    QString Effect(const QString &sql)
    {
        RunForText(conn(), QStringLiteral("BEGIN"));
        QString out = RunForText(conn(), sql);
        out += u'\n' + State();
        RunForText(conn(), QStringLiteral("ROLLBACK"));
        return out;
    }

    // The statement formatted with every layout has the effect of the statement as written.
    void ExpectSameEffectFormatted(const char *statement)
    {
        const QString sql = QString::fromUtf8(statement);
        const QString expected = Effect(sql);
        ASSERT_FALSE(expected.startsWith(QStringLiteral("ERROR"))) << statement << expected.toStdString();
        for (int i = 0; i < Layouts().size(); ++i) {
            const QString formatted = FormatSQL(sql, Layouts()[i]);
            EXPECT_EQ(Effect(formatted), expected) << LayoutName(i).toStdString() << "\n" << formatted.toStdString();
        }
    }
};

const char *const kQueries[] = {
    "SELECT id, name FROM emp ORDER BY id",
    "SELECT e.name, d.name AS dept FROM emp e LEFT OUTER JOIN dept d ON e.dept_id = d.id WHERE e.salary BETWEEN 100 "
    "AND 500 AND (d.name = 'Sales' OR d.name IS NULL) ORDER BY 1",
    "SELECT dept_id, count(*), sum(salary) FROM emp GROUP BY dept_id HAVING count(*) >= 1 AND sum(salary) > 0 "
    "ORDER BY dept_id DESC NULLS LAST, 2",
    "SELECT 'it''s' AS a, E'tab\\there\\\\n' AS b, $$dollar ; -- not a comment$$ AS c, $t$ /* nor\tthis */ $t$ AS d, "
    "\"name\" FROM emp WHERE id = 1",
    "SELECT name FROM emp WHERE tags @> ARRAY['a'] AND data->>'k' = 'v' AND data #>> '{n}' <> 'x' AND name !~ '^z' "
    "AND tags <@ '{a,b,c}' ORDER BY name",
    "SELECT 1.5e-3 * salary, -salary, salary/2, salary % 3, 2^3, B'101'::int, X'1F'::int, U&'\\0061', e'\\x41' "
    "FROM emp ORDER BY 1",
    "SELECT name FROM emp WHERE id IN (1, 2, 3) AND dept_id IN (SELECT id FROM dept WHERE name LIKE 'S%') ORDER BY name",
    "SELECT name, /* inline */ salary -- trailing\r\nFROM emp -- another\r\nWHERE id > 0 /* x */ ORDER BY 1",
    "SELECT a FROM (VALUES (1), (2)) v(a) UNION ALL SELECT id FROM emp ORDER BY 1",
    "SELECT CASE WHEN salary > 300 THEN 'high' ELSE 'low' END AS band, count(*) FROM emp GROUP BY 1 ORDER BY 1",
    "SELECT e.id, d.name FROM emp e INNER JOIN dept d ON d.id = e.dept_id RIGHT JOIN dept d2 ON d2.id = d.id "
    "ORDER BY e.id, 2",
    "SELECT name FROM emp WHERE hired < DATE '2020-01-01' + INTERVAL '1 day' ORDER BY 1",
    "SELECT string_agg(name, ',' ORDER BY name) FROM emp",
    "SELECT id FROM emp WHERE name = 'multi\r\nline literal' OR name = 'x' ORDER BY 1",
    "SELECT \"Quoted Col\", \"a\"\"b\" FROM (SELECT 1 AS \"Quoted Col\", 2 AS \"a\"\"b\") q",
    "WITH x AS (SELECT id FROM emp) SELECT count(*) FROM x",
    "SELECT id FROM emp ORDER BY id FOR UPDATE",
    "SELECT coalesce(nullif(name, ''), '-') FROM emp e WHERE NOT EXISTS (SELECT 1 FROM dept d WHERE d.id = "
    "e.dept_id AND d.name = 'none') ORDER BY 1",
    "SELECT id FROM emp WHERE id = ANY('{1,2}'::int[]) AND name IS DISTINCT FROM 'q' ORDER BY 1",
    "SELECT f_add(1, 2), f_sql(3), f_add(a => 1, b => 2)",
    "SELECT id FROM dept\r\n;\r\nSELECT 1",
    "select\tid\t,\tname\tfrom\temp\twhere\tid\t=\t1",
    "SELECT 'a' -- c\r\n  'b' AS continued",
    "SELECT id FROM emp WHERE salary BETWEEN 1 AND 1000 AND name <> 'x' OR id = 2 ORDER BY 1",
    "SELECT count(*) FILTER (WHERE salary > 100) OVER (PARTITION BY dept_id ORDER BY id) FROM emp ORDER BY 1",
};

const char *const kChanges[] = {
    "INSERT INTO emp (id, name, dept_id, salary) VALUES (10, 'it''s', 1, 1e2)",
    "INSERT INTO emp VALUES (11, 'x', NULL, 5, '{a,b}', '{\"k\": \"v\"}', '2021-01-01')",
    "INSERT INTO dept (id, name) SELECT id + 100, name FROM dept WHERE id < 3",
    "UPDATE emp SET salary = salary * 2, name = name || '!' WHERE dept_id = 1 AND salary BETWEEN 0 AND 1000",
    "UPDATE emp SET salary = (salary+1)*2, tags = tags || '{z}' WHERE data @> '{\"k\": \"v\"}' AND salary <= 500;",
    "UPDATE emp e SET salary = d.id FROM dept d WHERE d.id = e.dept_id",
    "DELETE FROM emp WHERE id IN (SELECT id FROM emp WHERE salary < 200) OR name LIKE 'z%'",
    "DELETE FROM emp USING dept WHERE emp.dept_id = dept.id AND dept.name = 'Sales'",
    "CREATE VIEW v_emp AS SELECT e.id, e.name FROM emp e WHERE e.salary > 100",
    "CREATE FUNCTION f_body(n integer) RETURNS integer AS $$\r\nDECLARE\r\n  r integer := 0;\r\nBEGIN\r\n"
    "  FOR i IN 1..n LOOP\r\n    r := r + i; -- sum\r\n  END LOOP;\r\n  IF r > 10 THEN\r\n    RETURN r;\r\n"
    "  ELSE\r\n    RETURN -r;\r\n  END IF;\r\nEXCEPTION WHEN others THEN\r\n  RETURN 0;\r\nEND;\r\n$$ LANGUAGE plpgsql",
    "CREATE TABLE t_new (id integer PRIMARY KEY, ref integer REFERENCES dept(id) ON DELETE SET NULL ON UPDATE "
    "CASCADE, note text DEFAULT 'a;b', CHECK (id > 0))",
    "CREATE INDEX ix_emp_name ON emp (lower(name)) WHERE salary > 0",
    "COMMENT ON TABLE emp IS 'Employees -- all of them; /* really */'",
    "ALTER TABLE emp ADD COLUMN extra text DEFAULT E'x\\ny'",
    "DO $$ BEGIN INSERT INTO dept VALUES (50, 'do'); END $$",
    "INSERT INTO emp (id, name) VALUES (20, 'a'); UPDATE emp SET name = 'b' WHERE id = 20; DELETE FROM emp WHERE id = 3",
    "insert into dept values (60, 'tab\there')\r\n;\r\nupdate dept set name = 'n' where id = 60\r\n;",
};

// The statements of the corpus that can run give the same answer and leave the same state
// formatted with several layouts, and stripped of their comments, as written.
TEST_F(RoundTrip, CorpusFormattedAndStrippedRunsTheSame)
{
    exec(QStringLiteral(
        "CREATE TABLE sales (region text, item text, qty int, price numeric, sold date);"
        "CREATE TABLE sales_archive (LIKE sales);"
        "INSERT INTO sales VALUES ('east', 'pen', 2, 1.5, '2020-01-02'), ('west', 'ink', 5, 3, '2020-02-03'),"
        " ('east', 'ink', 1, 3, '2021-03-04'), ('north', 'pad', 7, 2.25, '2021-04-05');"));
    int ran = 0;
    for (const sqlcorpus::TCase &c : sqlcorpus::Cases()) {
        if (!c.FRuns)
            continue;
        const QString expected = Effect(c.FText);
        if (expected.startsWith(QStringLiteral("ERROR"))) {
            ADD_FAILURE() << c.FName.toStdString() << "\n" << expected.toStdString();
            continue;
        }
        for (int i = 0; i < Layouts().size(); ++i) {
            const QString formatted = FormatSQL(c.FText, Layouts()[i]);
            EXPECT_EQ(Effect(formatted), expected) << c.FName.toStdString() << " " << LayoutName(i).toStdString() << "\n"
                                                   << formatted.toStdString();
        }
        QStringList lines = c.FText.split(QStringLiteral("\r\n"));
        StripSQLComments(lines, false);
        EXPECT_EQ(Effect(lines.join(QStringLiteral("\r\n"))), expected) << c.FName.toStdString() << " stripped";
        ++ran;
    }
    EXPECT_GT(ran, 50);
}

TEST_F(RoundTrip, FormattedQueriesGiveTheSameRows)
{
    for (const char *q : kQueries)
        ExpectSameEffectFormatted(q);
}

TEST_F(RoundTrip, FormattedChangesLeaveTheSameState)
{
    for (const char *q : kChanges)
        ExpectSameEffectFormatted(q);
}

TEST_F(RoundTrip, StrippingCommentsKeepsWhatTheServerRuns)
{
    QList<const char *> all(std::begin(kQueries), std::end(kQueries));
    all.append(QList<const char *>(std::begin(kChanges), std::end(kChanges)));
    for (const char *q : std::as_const(all)) {
        const QString sql = QString::fromUtf8(q);
        QStringList lines = sql.split(QStringLiteral("\r\n"));
        StripSQLComments(lines, false);
        EXPECT_EQ(Effect(lines.join(QStringLiteral("\r\n"))), Effect(sql)) << q;
    }
}

TEST_F(RoundTrip, CutAtTheFirstStatementRunsThatStatement)
{
    const QStringList script{"SELECT $$a;b$$, 'c;d' /* ; */, E'\\';' -- ;", ", $t$;$t$ AS x; SELECT 2", "SELECT 3"};
    QStringList lines = script;
    StripSQLComments(lines, true);
    const QString expected = Effect(QStringLiteral("SELECT $$a;b$$, 'c;d', E'\\';', $t$;$t$ AS x"));
    ASSERT_TRUE(expected.startsWith(QStringLiteral("a;b|c;d|';|;"))) << expected.toStdString();
    EXPECT_EQ(Effect(lines.join(QStringLiteral("\r\n"))), expected);
}

// pg_dump of Database (only Schema when given; the rows too when WithData), without the
// lines of psql meta-commands, which carry a random key.
QString SchemaDump(const QString &database, const QString &schema = QString(), bool withData = false)
{
    const testdb::Params &p = testdb::params();
    QProcess dump;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), p.password);
    dump.setProcessEnvironment(env);
    QStringList args{"--no-owner", "-h", p.host, "-p", p.port, "-U", p.user, "-d", database};
    if (!withData)
        args.prepend(QStringLiteral("--schema-only"));
    if (!schema.isEmpty())
        args << "-n" << schema;
    dump.start(QStringLiteral("pg_dump"), args);
    if (!dump.waitForFinished(120000) || dump.exitCode() != 0) {
        ADD_FAILURE() << "pg_dump failed: " << dump.readAllStandardError().toStdString();
        return QString();
    }
    QStringList lines = QString::fromUtf8(dump.readAllStandardOutput()).split(u'\n');
    lines.removeIf([](const QString &l) { return l.startsWith(u'\\'); });
    return lines.join(u'\n');
}

TEST_F(RoundTrip, FormattedSchemaDumpRestoresTheSameSchema)
{
    exec(QStringLiteral(
        "CREATE VIEW v_rich AS SELECT e.id, d.name FROM emp e JOIN dept d ON d.id = e.dept_id WHERE e.salary > 1;"
        "CREATE FUNCTION trg_fn() RETURNS trigger AS $body$\nBEGIN\n  NEW.name := upper(NEW.name); -- ';'\n"
        "  RETURN NEW;\nEND;\n$body$ LANGUAGE plpgsql;"
        "CREATE TRIGGER trg BEFORE INSERT ON emp FOR EACH ROW EXECUTE FUNCTION trg_fn();"
        "CREATE SEQUENCE seq_x START 5;"
        "CREATE INDEX ix_tags ON emp USING gin (tags);"
        "COMMENT ON COLUMN emp.name IS 'the name; -- not a comment';"
        "CREATE TYPE mood AS ENUM ('sad', 'it''s ok');"));
    const QString original = SchemaDump(testdb::params().database, schema());
    ASSERT_FALSE(original.isEmpty());
    for (int i = 0; i < Layouts().size(); ++i) {
        const QString formatted = FormatSQL(original, Layouts()[i]);
        exec(QStringLiteral("DROP SCHEMA %1 CASCADE").arg(schema()));
        const QString answer = RunForText(conn(), formatted);
        ASSERT_FALSE(answer.startsWith(QStringLiteral("ERROR"))) << LayoutName(i).toStdString() << answer.toStdString();
        exec(QStringLiteral("SET search_path TO %1, public").arg(schema()));
        EXPECT_EQ(WithBodyTokens(SchemaDump(testdb::params().database, schema())), WithBodyTokens(original))
            << LayoutName(i).toStdString();
    }
}

TEST(RoundTripSample, FormattedSampleDumpRestoresTheSameDatabase)
{
    const testdb::Params &p = testdb::params();
    testdb::ConnPtr admin = testdb::connect();
    if (testdb::scalar(admin.get(), QStringLiteral("SELECT count(*) FROM pg_database WHERE datname = '%1'")
                                        .arg(p.sampleDatabase)) != u"1")
        GTEST_SKIP() << "no sample database";
    const QString original = SchemaDump(p.sampleDatabase);
    const QString copy = testdb::uniqueName(QStringLiteral("fmt"));
    testdb::exec(admin.get(), QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8'").arg(copy));
    {
        testdb::ConnPtr target = testdb::connect(copy);
        const QString answer = RunForText(target.get(), FormatSQL(original, DefaultLayout()));
        EXPECT_FALSE(answer.startsWith(QStringLiteral("ERROR"))) << answer.toStdString();
    }
    EXPECT_EQ(WithBodyTokens(SchemaDump(copy)), WithBodyTokens(original));
    testdb::exec(admin.get(), QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(copy));
}

// Two loads differ in the time stamps of rows and in the physical order of rows: the stamps
// are blanked and the lines sorted.
QString WithoutLoadTimes(QString dump)
{
    static const QRegularExpression stamp(QStringLiteral("\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}(\\.\\d+)?\\+\\d{2}"));
    QStringList lines = WithBodyTokens(dump.replace(stamp, QStringLiteral("<time>"))).split(u'\n');
    lines.sort();
    return lines.join(u'\n');
}

// Loads the sample scripts into a new database, each script passed through Transform first,
// and returns that database's name.
QString LoadSampleScripts(PGconn *admin, const QDir &scripts, const QStringList &files,
                          const std::function<QString(const QString &)> &transform)
{
    const QString copy = testdb::uniqueName(QStringLiteral("fmt"));
    testdb::exec(admin, QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8'").arg(copy));
    testdb::ConnPtr target = testdb::connect(copy);
    for (const QString &name : files) {
        QFile file(scripts.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        const QString text = QString::fromUtf8(file.readAll());
        if (text.contains(QStringLiteral("VACUUM")))
            continue; // statistics only; VACUUM cannot run with other statements
        const QString answer = RunForText(target.get(), transform(text));
        EXPECT_FALSE(answer.startsWith(QStringLiteral("ERROR"))) << name.toStdString() << answer.toStdString();
    }
    return copy;
}

// The sample database's own scripts, formatted or stripped of comments, load a database that
// dumps exactly like one loaded from the scripts as written. The reference is loaded here
// rather than taken from the sample database, whose unlogged table the server empties after
// an unclean stop.
TEST(RoundTripSample, FormattedSampleScriptsLoadTheSameDatabase)
{
    testdb::ConnPtr admin = testdb::connect();
    const QDir scripts(sqlcorpus::SourceFolder(__FILE__) + QStringLiteral("/../../scripts/sample"));
    const QStringList files = scripts.entryList({QStringLiteral("*.sql")}, QDir::Files, QDir::Name);
    if (files.isEmpty())
        GTEST_SKIP() << "no sample scripts";
    const auto drop = [&](const QString &db) {
        testdb::exec(admin.get(), QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(db));
    };
    const QString reference = LoadSampleScripts(admin.get(), scripts, files, [](const QString &t) { return t; });
    const QString original = WithoutLoadTimes(SchemaDump(reference, QString(), true));
    drop(reference);
    ASSERT_FALSE(original.isEmpty());
    // Two layouts, then the scripts stripped of their comments instead of formatted.
    for (int i = 0; i < 3; ++i) {
        const QString copy = LoadSampleScripts(admin.get(), scripts, files, [i](const QString &text) {
            if (i < 2)
                return FormatSQL(text, Layouts()[i]);
            QStringList lines = text.split(u'\n');
            StripSQLComments(lines, false);
            return lines.join(u'\n');
        });
        EXPECT_EQ(WithoutLoadTimes(SchemaDump(copy, QString(), true)), original)
            << (i < 2 ? LayoutName(i) : QStringLiteral("stripped")).toStdString();
        drop(copy);
    }
}

} // namespace

namespace {

// Calls of the sample database's routines whose answers must not change when the routine is
// replaced by its formatted definition.
const char *const kSampleCalls[] = {
    "SELECT sales.price_with_tax(100, 0.1), sales.price_with_tax(19.99, 0)",
    "SELECT sales.join_codes('-', 'a', 'b', 'c'), sales.join_codes(',', 'x')",
    "SELECT * FROM sales.normalize_range(5, 1)",
    "SELECT * FROM sales.normalize_range(1, 5)",
    "SELECT sales.order_total(1), sales.order_total(2), sales.order_total(-1)",
    "SELECT * FROM sales.customer_stats(1)",
    "SELECT * FROM sales.top_customers(3, '2000-01-01') ORDER BY 1",
    "SELECT sales.weighted_avg_step('{1,2}', 2, 3), sales.weighted_avg_final('{6,3}')",
    "SELECT hr.department_headcount('HR'), hr.department_headcount('X')",
    "SELECT hr.\"勤続年数\"('2000-04-01', '2024-03-31'), hr.time_subtype_diff('10:00', '08:30')",
    "SELECT inventory.stock_of(1), inventory.stock_of(1::smallint, 1)",
    "SELECT * FROM inventory.low_stock(1::smallint) ORDER BY 1, 2",
    "CALL inventory.transfer_stock(1::smallint, 2::smallint, 1, 1, NULL)",
    "CALL sales.cancel_order(1, 'test')",
};

// The answers of every call, each in its own savepoint so that one failing call leaves the
// others their answer.
QString SampleCallAnswers(PGconn *conn)
{
    QString out;
    for (const char *call : kSampleCalls) {
        RunForText(conn, QStringLiteral("SAVEPOINT c"));
        out += QString::fromUtf8(call) + u'\n' + RunForText(conn, QString::fromUtf8(call)) + u'\n';
        RunForText(conn, QStringLiteral("ROLLBACK TO SAVEPOINT c"));
    }
    return out;
}

// Every plpgsql and sql routine of the sample database, replaced by its formatted definition,
// keeps the token sequence of its body and answers the calls as before.
TEST(RoundTripSample, FormattedSampleRoutinesStayTheSame)
{
    const testdb::Params &p = testdb::params();
    testdb::ConnPtr admin = testdb::connect();
    if (testdb::scalar(admin.get(), QStringLiteral("SELECT count(*) FROM pg_database WHERE datname = '%1'")
                                        .arg(p.sampleDatabase)) != u"1")
        GTEST_SKIP() << "no sample database";
    testdb::ConnPtr conn = testdb::connect(p.sampleDatabase);
    RunForText(conn.get(), QStringLiteral("BEGIN"));
    const QString expected = SampleCallAnswers(conn.get());
    RunForText(conn.get(), QStringLiteral("ROLLBACK"));

    PGresult *r = PQexec(conn.get(),
                         "SELECT p.oid, pg_get_functiondef(p.oid), p.prosrc FROM pg_proc p"
                         " JOIN pg_language l ON l.oid = p.prolang JOIN pg_namespace n ON n.oid = p.pronamespace"
                         " WHERE l.lanname IN ('plpgsql', 'sql') AND p.prokind IN ('f', 'p')"
                         " AND n.nspname NOT IN ('pg_catalog', 'information_schema') ORDER BY 1");
    ASSERT_EQ(PQresultStatus(r), PGRES_TUPLES_OK);
    struct Routine {
        QString oid, definition, source;
    };
    QList<Routine> routines;
    for (int row = 0; row < PQntuples(r); ++row)
        routines.append({QString::fromUtf8(PQgetvalue(r, row, 0)), QString::fromUtf8(PQgetvalue(r, row, 1)),
                         QString::fromUtf8(PQgetvalue(r, row, 2))});
    PQclear(r);
    ASSERT_GE(routines.size(), 20);

    for (int i = 0; i < Layouts().size(); ++i) {
        RunForText(conn.get(), QStringLiteral("BEGIN"));
        for (const Routine &routine : std::as_const(routines)) {
            const QString formatted = FormatSQL(routine.definition, Layouts()[i]);
            EXPECT_NE(formatted, routine.definition) << "the body was not laid out";
            const QString answer = RunForText(conn.get(), formatted);
            ASSERT_FALSE(answer.startsWith(QStringLiteral("ERROR"))) << LayoutName(i).toStdString() << "\n"
                                                                      << formatted.toStdString() << answer.toStdString();
            const QString source = testdb::scalar(conn.get(), QStringLiteral("SELECT prosrc FROM pg_proc WHERE oid = %1").arg(routine.oid));
            EXPECT_EQ(kdsqltoken::TokenKeys(source), kdsqltoken::TokenKeys(routine.source)) << formatted.toStdString();
        }
        EXPECT_EQ(SampleCallAnswers(conn.get()), expected) << LayoutName(i).toStdString();
        RunForText(conn.get(), QStringLiteral("ROLLBACK"));
    }
}

} // namespace
