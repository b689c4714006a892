// The code-assist provider against the sandbox server: what each kind of token lists.
#include "core/kdassist.h"
#include "core/kdsub_catalog.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dberror.h"
#include "platform/db/dbquery.h"
#include "support/qstring_printer.h"
#include "support/testdb.h"
#include "support/testdb_layer.h"

#include <gtest/gtest.h>
#include <memory>

using namespace kdassist;

namespace {

class AssistProviderTest : public testdb::SchemaTest
{
protected:
    void SetUp() override
    {
        testdb::SchemaTest::SetUp();
        if (HasFatalFailure())
            return;
        const char *ddl[] = {
            "CREATE TABLE dept (deptno integer PRIMARY KEY, dname text)",
            "CREATE TABLE emp (empno integer, ename varchar(10), sal numeric(7,2), \"MixedCol\" text,"
            " deptno integer REFERENCES dept, CONSTRAINT emp_pk PRIMARY KEY (empno))",
            "CREATE TABLE \"MyTab\" (id integer PRIMARY KEY, \"Note\" char(3))",
            "CREATE TABLE 社員 (社員番号 integer PRIMARY KEY, 氏名 varchar(20))",
            "CREATE VIEW emp_v AS SELECT empno, ename FROM emp",
            "CREATE INDEX emp_ename_ix ON emp (ename)",
            "CREATE SEQUENCE emp_seq",
            "CREATE TYPE emp_kind AS ENUM ('a', 'b')",
            "CREATE FUNCTION emp_count(p_dept integer, OUT n integer, INOUT m text)"
            " LANGUAGE sql AS 'SELECT 1, m'",
            "CREATE FUNCTION emp_trg() RETURNS trigger LANGUAGE plpgsql AS 'BEGIN RETURN NEW; END'",
            "CREATE TRIGGER emp_biu BEFORE INSERT ON emp FOR EACH ROW EXECUTE FUNCTION emp_trg()",
            "CREATE RULE emp_rule AS ON UPDATE TO dept DO ALSO NOTIFY dept_changed",
        };
        for (const char *sql : ddl)
            exec(QString::fromUtf8(sql));
        FDb = std::make_unique<db::Connection>();
        testdb::setLayerParams(*FDb);
        FDb->setParam("MetaDefSchema", schema());
        FDb->open();
        FQuery = std::make_unique<db::Query>(FDb.get());
    }
    void TearDown() override
    {
        FQuery.reset();
        FDb.reset();
        testdb::SchemaTest::TearDown();
    }
    TAssistResult Ask(const QString &token, const QString &text = QString(), quint32 oid = 0)
    {
        TAssistRequest r;
        r.Token = token;
        r.EditorText = text;
        r.Schema = schema();
        r.Keywords = {"EMPTY", "SELECT", "WHERE"};
        r.FunctionOid = oid;
        return GatherCodeAssist(*FQuery, r);
    }
    std::unique_ptr<db::Connection> FDb;
    std::unique_ptr<db::Query> FQuery;
};

bool Has(const TAssistResult &r, const QString &caption, const QString &detail, int image)
{
    for (int i = 0; i < r.Candidates.size(); ++i)
        if (r.Candidates.Captions.at(i) == caption && r.Candidates.Details.at(i) == detail
            && r.Candidates.Images.at(i) == image)
            return true;
    return false;
}

QString Find(const TAssistResult &r, const QString &caption, int *image = nullptr)
{
    const int i = r.Candidates.Captions.indexOf(caption);
    if (i < 0)
        return QStringLiteral("<none>");
    if (image)
        *image = r.Candidates.Images.at(i);
    return r.Candidates.Details.at(i);
}

} // namespace

TEST_F(AssistProviderTest, ObjectListsOfTheCurrentAndANamedSchema)
{
    // A prefix alone: objects of the current schema and the keywords, filter upper-cased.
    TAssistResult r = Ask("emp");
    ASSERT_EQ(r.Kind, TAssistListKind::Objects);
    EXPECT_EQ(r.ListSchema, schema());
    EXPECT_EQ(r.Filter, "EMP");
    EXPECT_TRUE(r.HasPrefix);
    EXPECT_EQ(r.Caption0, "オブジェクト名");
    EXPECT_EQ(r.Caption1, "タイプ");
    // The server narrows the objects to those the popup's filter keeps; keywords follow.
    struct Obj { QString name; QString type; int image; };
    const Obj objects[] = {
        {"emp", "TABLE", 45},       {"emp_v", "VIEW", 47},        {"emp_ename_ix", "INDEX", 46},
        {"emp_count", "FUNCTION", 52}, {"emp_kind", "TYPE", 55},  {"emp_biu", "TRIGGER", 57},
        {"emp_seq", "SEQUENCE", 58}, {"emp_pk", "CONSTRAINT", 66}, {"emp_rule", "RULE", 127},
        {"SELECT", "KEYWORD", 10},
    };
    for (const Obj &o : objects)
        EXPECT_TRUE(Has(r, o.name, o.type, o.image)) << o.name.toStdString() << " " << o.type.toStdString();
    EXPECT_EQ(Find(r, "dept"), "<none>");
    // Ordered by kind, then by name; keywords last.
    EXPECT_LT(r.Candidates.Captions.indexOf("emp"), r.Candidates.Captions.indexOf("emp_v"));
    EXPECT_LT(r.Candidates.Captions.indexOf("emp_v"), r.Candidates.Captions.indexOf("emp_ename_ix"));
    EXPECT_EQ(r.Candidates.Captions.last(), "WHERE");
    // emp, emp_v, emp_ename_ix, emp_pk (index and constraint), emp_count, emp_trg, emp_kind,
    // emp_biu, emp_seq, emp_deptno_fkey, emp_rule and the keyword EMPTY.
    {
        QStringList got;
        for (int i : FilterCandidates(r.Candidates.Captions, r.Filter))
            got << r.Candidates.Captions.at(i) + "/" + r.Candidates.Details.at(i);
        EXPECT_EQ(got.size(), 13) << got.join(", ").toStdString();
    }
    // Without a prefix every object of the schema, in kind and name order.
    r = Ask(schema() + ".");
    for (const Obj &o : {Obj{"dept", "TABLE", 45}, Obj{"社員", "TABLE", 45}, Obj{"MyTab", "TABLE", 45}})
        EXPECT_TRUE(Has(r, o.name, o.type, o.image)) << o.name.toStdString();
    EXPECT_LT(r.Candidates.Captions.indexOf("dept"), r.Candidates.Captions.indexOf("emp"));

    // Schema, then a prefix: that schema's objects without keywords.
    r = Ask(schema() + ".");
    ASSERT_EQ(r.Kind, TAssistListKind::Objects);
    EXPECT_FALSE(r.HasPrefix);
    EXPECT_EQ(Find(r, "SELECT"), "<none>");
    EXPECT_EQ(Find(r, "emp"), "TABLE");
    r = Ask(schema() + ".em");
    ASSERT_EQ(r.Kind, TAssistListKind::Objects);
    EXPECT_EQ(r.Filter, "EM");
    // pg_catalog is offered; other pg_ schemas are not schemas to code assist.
    r = Ask("pg_catalog.pg_cl");
    ASSERT_EQ(r.Kind, TAssistListKind::Objects);
    EXPECT_EQ(Find(r, "pg_class"), "TABLE");
    EXPECT_EQ(Ask("pg_toast.").Kind, TAssistListKind::None);
}

TEST_F(AssistProviderTest, ColumnListsForEachKindOfToken)
{
    const QString S = schema();
    struct Case { QString token; QString text; QString table; QString filter; };
    const Case cases[] = {
        {"emp.", "", "emp", ""},
        {"emp.en", "", "emp", "EN"},
        {S + ".emp.", "", "emp", ""},
        {S + ".emp.sa", "", "emp", "SA"},
        {"e.", "SELECT * FROM emp e WHERE e.", "emp", ""},
        {"E.na", "select * from EMP e where E.na", "emp", "NA"},   // alias ignoring case, name lower-cased
        {"x.", "SELECT * FROM " + S + ".\"MyTab\" x WHERE x.", "MyTab", ""},
        {"MyTab.", "SELECT \"MyTab\".", "MyTab", ""},              // the quoted name as the token has it
        {"社員.", "", "社員", ""},
        {"s.氏", "SELECT * FROM 社員 s WHERE s.氏", "社員", "氏"},
        {"emp_v.", "", "emp_v", ""},
    };
    for (const Case &c : cases) {
        const TAssistResult r = Ask(c.token, c.text);
        ASSERT_EQ(r.Kind, TAssistListKind::Columns) << c.token.toStdString();
        EXPECT_EQ(r.ListSchema, S) << c.token.toStdString();
        EXPECT_EQ(r.ListTable, c.table) << c.token.toStdString();
        EXPECT_EQ(r.Filter, c.filter) << c.token.toStdString();
        EXPECT_EQ(r.Caption0, "列名");
        EXPECT_EQ(r.Caption1, "データ型");
        EXPECT_EQ(r.Candidates.Captions.value(0), "*") << c.token.toStdString();
    }
    TAssistResult r = Ask("emp.");
    EXPECT_EQ(r.Candidates.Captions, (QStringList{"*", "empno", "ename", "sal", "MixedCol", "deptno"}));
    int image = 0;
    EXPECT_EQ(Find(r, "empno", &image), "int4");
    EXPECT_EQ(image, 46) << "primary-key column";
    EXPECT_EQ(Find(r, "ename", &image), "varchar(10)");
    EXPECT_EQ(image, -1);
    EXPECT_EQ(Find(r, "sal"), "numeric(7,2)");
    r = Ask("社員.");
    EXPECT_EQ(Find(r, "社員番号", &image), "int4");
    EXPECT_EQ(image, 46);
    EXPECT_EQ(Find(r, "氏名"), "varchar(20)");
    r = Ask("MyTab.");
    EXPECT_EQ(r.Candidates.Captions.size(), 3);
}

TEST_F(AssistProviderTest, TokensThatListNothing)
{
    const QString S = schema();
    const QString tokens[] = {
        "EMP.",               // names are compared as typed
        "nosuch.",
        "emp_ename_ix.",      // an index alone lists nothing
        "a.b.c.d",            // four parts
        S + ".emp.x.y",
        "..",
        S + ".nosuch.",
    };
    for (const QString &t : tokens)
        EXPECT_EQ(Ask(t).Kind, TAssistListKind::None) << t.toStdString();
}

TEST_F(AssistProviderTest, RoutineArgumentsComeFirst)
{
    const quint32 oid = scalar(QStringLiteral("SELECT 'emp_count'::regproc::oid")).toUInt();
    ASSERT_NE(oid, 0u);
    const TAssistResult r = Ask("", QString(), oid);
    ASSERT_EQ(r.Kind, TAssistListKind::Objects);
    ASSERT_GE(r.Candidates.size(), 3);
    EXPECT_EQ(r.Candidates.Captions.mid(0, 3), (QStringList{"p_dept", "n", "m"}));
    EXPECT_EQ(r.Candidates.Images.mid(0, 3), (QVector<int>{80, 81, 82}));
    EXPECT_EQ(r.Candidates.Details.value(0), "integer");
    // Not after a schema: arguments join only the list of a single part being typed.
    EXPECT_EQ(Ask(schema() + ".", QString(), oid).Candidates.Captions.indexOf("p_dept"), -1);
}

// The popup shows the candidates that start with the typed text, compared ignoring case. The
// server's narrowing must keep exactly those: names with regular-expression characters,
// mixed case, Japanese and letters whose case folding leaves ASCII.
TEST_F(AssistProviderTest, NarrowedListsKeepExactlyWhatThePopupShows)
{
    const char *names[] = {"a.b", "a_b", "aXb", "A$b", "a[b", "a\\b", "a(b", "a*b", "a^b", "a|b",
                           "straße", "STRASSE", "Kelvin", "\u212Aelvin", "ｅｍｐ全角", "社員表"};
    for (const char *n : names)
        exec(QStringLiteral("CREATE TABLE \"%1\" (id integer)").arg(QString::fromUtf8(n).replace("\"", "\"\"")));
    const TAssistResult all = Ask(schema() + ".");
    ASSERT_EQ(all.Kind, TAssistListKind::Objects);
    // (A dot ends a part of the token, so no prefix holds one.)
    const QStringList prefixes = {"a_", "ax", "a$", "a[", "a\\", "a(", "a*", "a^", "a|", "stra",
                                  "STRAß", "k", "\u212A", "ｅ", "社員", "社", "z", "A", "%", "_"};
    for (const QString &prefix : prefixes) {
        QStringList want;
        for (int i : FilterCandidates(all.Candidates.Captions, prefix.toUpper()))
            want << all.Candidates.Captions.at(i) + "/" + all.Candidates.Details.at(i);
        const TAssistResult got = Ask(schema() + "." + prefix);
        QStringList have;
        for (int i : FilterCandidates(got.Candidates.Captions, got.Filter))
            have << got.Candidates.Captions.at(i) + "/" + got.Candidates.Details.at(i);
        EXPECT_EQ(have, want) << prefix.toStdString();
        // Nothing beyond those travels.
        EXPECT_EQ(got.Candidates.size(), have.size()) << prefix.toStdString();
    }
}

TEST_F(AssistProviderTest, CatalogErrorsPropagate)
{
    FDb->close();
    EXPECT_THROW(Ask("emp."), db::Error);
}

// What the connection keeps: asked again, every kind of token gives the same result, and
// only an object list (narrowed to the prefix each time) goes to the server again.
TEST_F(AssistProviderTest, AskedAgainTheSameResultFromWhatTheConnectionKept)
{
    const QString S = schema();
    struct Case { QString token; QString text; int statements; };
    const Case cases[] = {
        {"emp.", "", 0},
        {"emp.en", "", 0},
        {S + ".emp.", "", 0},
        {S + ".emp.sa", "", 0},
        {"e.", "SELECT * FROM emp e WHERE e.", 0},
        {"x.", "SELECT * FROM " + S + ".\"MyTab\" x WHERE x.", 0},
        {"社員.", "", 0},
        {"emp_v.", "", 0},
        {"nosuch.", "", 0},           // not a table, alias or schema: nothing else is asked
        {S + ".nosuch.", "", 0},
        {S + ".", "", 1},             // the object list
        {S + ".em", "", 1},
        {"pg_catalog.pg_cl", "", 1},
        {"emp", "", 1},
        {"pg_toast.", "", 0},
    };
    for (const Case &c : cases) {
        const TAssistResult cold = Ask(c.token, c.text);
        const qint64 statements = FDb->statementCount();
        const TAssistResult warm = Ask(c.token, c.text);
        EXPECT_EQ(FDb->statementCount() - statements, c.statements) << c.token.toStdString();
        EXPECT_EQ(warm.Kind, cold.Kind) << c.token.toStdString();
        EXPECT_EQ(warm.ListSchema, cold.ListSchema) << c.token.toStdString();
        EXPECT_EQ(warm.ListTable, cold.ListTable) << c.token.toStdString();
        EXPECT_EQ(warm.Candidates.Captions, cold.Candidates.Captions) << c.token.toStdString();
        EXPECT_EQ(warm.Candidates.Details, cold.Candidates.Details) << c.token.toStdString();
        EXPECT_EQ(warm.Candidates.Images, cold.Candidates.Images) << c.token.toStdString();
    }
    // The reload of the user (or any other move of the catalog generation) reads again.
    const qint64 statements = FDb->statementCount();
    FDb->markCatalogChanged();
    Ask("emp.");
    EXPECT_GT(FDb->statementCount(), statements);
}

// Every kind of change that this connection sends is seen by the next request, whichever
// of the kept lists it touches: the schema list, whether a name is a table, and columns.
TEST_F(AssistProviderTest, ChangesSentOnTheConnectionAreSeenByTheNextRequest)
{
    const QString S = schema();
    auto columns = [&](const QString &token) {
        const TAssistResult r = Ask(token);
        return r.Kind == TAssistListKind::Columns ? r.Candidates.Captions.mid(1).join(QLatin1Char(','))
                                                  : QStringLiteral("<none>");
    };
    struct Case { QString token; QString before; QString sql; QString after; };
    // %1 stands for the test's schema.
    auto in = [&](const QString &text) { return QString(text).replace(QLatin1String("%1"), S); };
    const Case cases[] = {
        {"emp_v.", "empno,ename", "CREATE OR REPLACE VIEW %1.emp_v AS SELECT empno, ename, sal FROM %1.emp",
         "empno,ename,sal"},
        {"dept.", "deptno,dname", "ALTER TABLE %1.dept DROP COLUMN dname", "deptno"},
        {"dept.", "deptno", "ALTER TABLE %1.dept RENAME TO division", "<none>"},
        {"division.", "deptno", "-- a comment first\n/* and a block */ ALTER TABLE %1.division ADD code text",
         "deptno,code"},
        {"fresh.", "<none>", "CREATE TABLE %1.fresh (f1 integer)", "f1"},
        {"fresh2.", "<none>", "SELECT 1 AS one INTO %1.fresh2", "one"},
        {"fresh2.", "one", "DROP TABLE %1.fresh2; SELECT 1", "<none>"},
        {"%1_n.t.", "<none>", "CREATE SCHEMA %1_n CREATE TABLE t (c1 integer)", "c1"},
        {"%1_n.t.", "c1", "ALTER SCHEMA %1_n RENAME TO %1_m", "<none>"},
        {"%1_m.t.", "c1", "SELECT 1; ALTER TABLE %1_m.t ADD c2 int", "c1,c2"},
        {"%1_m.t.", "c1,c2", "DROP SCHEMA %1_m CASCADE", "<none>"},
    };
    for (const Case &c : cases) {
        const QString token = in(c.token);
        EXPECT_EQ(columns(token), c.before) << token.toStdString() << " before " << c.sql.toStdString();
        FDb->execute(in(c.sql));
        EXPECT_EQ(columns(token), c.after) << token.toStdString() << " after " << c.sql.toStdString();
    }
    exec(QStringLiteral("DROP SCHEMA IF EXISTS %1_n, %1_m CASCADE").arg(S));
    // Reading, writing rows and session settings keep what is held.
    for (const QString sql : {"SELECT 1", "INSERT INTO %1.fresh VALUES (1)", "UPDATE %1.fresh SET f1 = 2",
                              "SET search_path TO public", "SHOW search_path", "TRUNCATE %1.fresh"}) {
        columns("fresh.");
        const qint64 statements = FDb->statementCount();
        FDb->execute(in(sql));
        columns("fresh.");
        EXPECT_EQ(FDb->statementCount() - statements, 1) << sql.toStdString();
    }
}

TEST(AssistNames, NormaliseAssistName)
{
    EXPECT_EQ(NormaliseAssistName("EMP;"), "emp");
    EXPECT_EQ(NormaliseAssistName("\"MyTab\""), "MyTab");
    EXPECT_EQ(NormaliseAssistName("\"a\"\"b\";"), "a\"b");
}
