// Catalog SQL fragments run against the sandbox server on objects of a fresh schema, the
// argument lists and signatures of functions, data-type texts and access-control items.
#include "core/kdsub_catalog.h"
#include "core/kdsub_text.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dberror.h"
#include "platform/db/dbquery.h"
#include "support/qstring_printer.h"
#include "support/testdb.h"
#include <QSet>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

namespace {

QString u(const char *s) { return QString::fromUtf8(s); }

// A connection of the data-access layer to a database of the sandbox.
std::unique_ptr<db::Connection> openDb(const QString &database)
{
    const testdb::Params &p = testdb::params();
    auto db = std::make_unique<db::Connection>();
    db->setParam(u("Server"), p.host);
    db->setParam(u("Port"), p.port);
    db->setParam(u("Database"), database);
    db->setParam(u("User_Name"), p.user);
    db->setParam(u("Password"), p.password);
    db->open();
    return db;
}

class CatalogTest : public testdb::SchemaTest {
protected:
    void SetUp() override
    {
        testdb::SchemaTest::SetUp();
        if (HasFatalFailure())
            return;
        FGrantee = testdb::uniqueName(u("Acl")) + u(" =/\"x");
        FGrantor = testdb::uniqueName(u("grantor"));
        const QString s = schema();
        const char *ddl[] = {
            "CREATE TABLE t1 (id integer CONSTRAINT t1_pk PRIMARY KEY, name varchar(10),"
            " amount numeric(10,2) CONSTRAINT t1_amount_ck CHECK (amount > 0), neg numeric(5,-2),"
            " ts timestamp(3), iv interval day to second(3), ym interval year to month, b bit(4),"
            " vb bit varying(7), c char(3), t text, arr integer[], tz time(2) with time zone)",
            "CREATE INDEX t1_name_ix ON t1 (name)",
            "CREATE TABLE t2 (id integer, t1_id integer CONSTRAINT t2_t1_fk REFERENCES t1)",
            "CREATE TABLE pt (k integer) PARTITION BY RANGE (k)",
            "CREATE TABLE pt_1 PARTITION OF pt FOR VALUES FROM (0) TO (10)",
            "CREATE VIEW v1 AS SELECT id FROM t1",
            "CREATE SEQUENCE seq1",
            "CREATE TYPE myenum AS ENUM ('a', 'b')",
            "CREATE TYPE mycomp AS (x integer, y text)",
            "CREATE TYPE myrange AS RANGE (subtype = integer)",
            "CREATE DOMAIN mydomain AS integer",
            "CREATE FUNCTION trgfn() RETURNS trigger LANGUAGE plpgsql AS 'BEGIN RETURN NEW; END'",
            "CREATE TRIGGER t1_trg BEFORE INSERT ON t1 FOR EACH ROW EXECUTE FUNCTION trgfn()",
            "CREATE RULE t1_rule AS ON UPDATE TO t1 DO ALSO NOTIFY t1_changed",
            "CREATE FUNCTION f_none() RETURNS integer LANGUAGE sql AS 'SELECT 1'",
            "CREATE FUNCTION f_in(a integer, b text DEFAULT 'x') RETURNS integer LANGUAGE sql AS 'SELECT a'",
            "CREATE FUNCTION f_modes(IN a integer, OUT b text, INOUT c numeric, VARIADIC d integer[])"
            " LANGUAGE sql AS 'SELECT ''x''::text, c'",
            "CREATE FUNCTION f_table(p integer DEFAULT 0) RETURNS TABLE(x integer, \"Y\" text)"
            " LANGUAGE sql AS 'SELECT p, ''y''::text'",
            "CREATE FUNCTION f_types(myenum, \"char\", integer[], character varying, mycomp)"
            " RETURNS integer LANGUAGE sql AS 'SELECT 1'",
            "CREATE AGGREGATE my_sum(integer) (SFUNC = int4pl, STYPE = integer)",
        };
        for (const char *sql : ddl)
            exec(QString::fromUtf8(sql));
        // An access item granted by a role other than the owner, to a role whose name needs quotes.
        exec(QStringLiteral("CREATE ROLE %1").arg(QuoteIdentifier(FGrantee, true)));
        exec(QStringLiteral("CREATE ROLE %1").arg(FGrantor));
        FRolesMade = true;
        exec(QStringLiteral("GRANT USAGE ON SCHEMA %1 TO %2").arg(s, FGrantor));
        exec(QStringLiteral("GRANT SELECT, UPDATE ON t1 TO %1 WITH GRANT OPTION").arg(FGrantor));
        exec(QStringLiteral("GRANT SELECT ON t1 TO PUBLIC"));
        exec(QStringLiteral("SET ROLE %1").arg(FGrantor));
        exec(QStringLiteral("GRANT SELECT ON %1.t1 TO %2").arg(s, QuoteIdentifier(FGrantee, true)));
        exec(QStringLiteral("RESET ROLE"));

        FDb = openDb(testdb::params().database);
    }

    void TearDown() override
    {
        if (FDb)
            FDb->close();
        FDb.reset();
        testdb::SchemaTest::TearDown();
        if (FRolesMade) {
            auto admin = testdb::connect();
            for (const QString &role : {QuoteIdentifier(FGrantee, true), FGrantor}) {
                testdb::exec(admin.get(), QStringLiteral("DROP OWNED BY %1").arg(role));
                testdb::exec(admin.get(), QStringLiteral("DROP ROLE %1").arg(role));
            }
        }
    }

    // Names of one listing, restricted to the test schema through the given column.
    QSet<QString> listing(int code, const QString &nameColumn, const QString &schemaColumn)
    {
        QString from, where;
        ObjectListSQL(code, from, where);
        const QString sql = QStringLiteral("SELECT %1, TblRol.rolname %2%3 %4 %5 = %6")
                                .arg(nameColumn, from, where,
                                     where.isEmpty() ? u("WHERE") : u("AND"), schemaColumn,
                                     QuoteLiteral(schema()));
        PGresult *r = PQexec(conn(), sql.toUtf8().constData());
        QSet<QString> names;
        EXPECT_EQ(PQresultStatus(r), PGRES_TUPLES_OK) << PQresultErrorMessage(r) << sql.toStdString();
        for (int i = 0; i < PQntuples(r); ++i) {
            names << QString::fromUtf8(PQgetvalue(r, i, 0));
            EXPECT_FALSE(PQgetisnull(r, i, 1)) << "owner of " << PQgetvalue(r, i, 0);
        }
        PQclear(r);
        return names;
    }

    quint32 functionOid(const QString &name)
    {
        return scalar(QStringLiteral("SELECT p.oid FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace"
                                     " WHERE n.nspname = %1 AND p.proname = %2")
                          .arg(QuoteLiteral(schema()), QuoteLiteral(name)))
            .toUInt();
    }

    FncArgArray argsOf(const QString &name)
    {
        db::Query q(FDb.get());
        FncArgArray args;
        EXPECT_TRUE(GetFunctionArgs(functionOid(name), q, args));
        EXPECT_FALSE(q.isActive());
        return args;
    }

    std::unique_ptr<db::Connection> FDb;
    QString FGrantee, FGrantor;
    bool FRolesMade = false;
};

TEST_F(CatalogTest, ListingsHoldTheirKindsOnly)
{
    using Set = QSet<QString>;
    EXPECT_EQ(listing(45, u("TblInf.relname"), u("TblNsp.nspname")), (Set{u("t1"), u("t2"), u("pt"), u("pt_1")}));
    EXPECT_EQ(listing(46, u("C.relname"), u("N.nspname")), (Set{u("t1_pk"), u("t1_name_ix")}));
    EXPECT_EQ(listing(47, u("TblInf.relname"), u("TblNsp.nspname")), (Set{u("v1")}));
    EXPECT_EQ(listing(52, u("Prc.proname"), u("Nms.nspname")),
              (Set{u("trgfn"), u("f_none"), u("f_in"), u("f_modes"), u("f_table"), u("f_types"),
                   u("my_sum"), u("myrange"), u("mymultirange")})); // with the range constructors
    EXPECT_EQ(listing(55, u("T.typname"), u("N.nspname")), (Set{u("myenum"), u("mycomp"), u("myrange")}));
    // the foreign key's internal triggers stay out
    EXPECT_EQ(listing(57, u("TrgInf.tgname"), u("Nms.nspname")), (Set{u("t1_trg")}));
    EXPECT_EQ(listing(58, u("C.relname"), u("N.nspname")), (Set{u("seq1")}));
    EXPECT_EQ(listing(66, u("ConInf.conname"), u("TblNsp.nspname")),
              (Set{u("t1_pk"), u("t1_amount_ck"), u("t2_t1_fk")}));
    EXPECT_EQ(listing(127, u("r.rulename"), u("ns.nspname")), (Set{u("_RETURN"), u("t1_rule")}));
}

TEST(ObjectListSQL, FragmentShapes)
{
    QString from = u("x"), where = u("y");
    ObjectListSQL(52, from, where);
    EXPECT_TRUE(from.startsWith(u(" FROM pg_proc             AS Prc LEFT JOIN")));
    EXPECT_TRUE(where.isEmpty());
    for (int code : {2, 3, 4, 51, 68, 69, 126, 0, -1}) {
        from = u("x"), where = u("y");
        ObjectListSQL(code, from, where);
        EXPECT_TRUE(from.isEmpty() && where.isEmpty()) << code;
    }
    for (int code : {45, 46, 47, 55, 57, 58, 66}) {
        ObjectListSQL(code, from, where);
        EXPECT_TRUE(from.startsWith(u(" FROM ")) && where.startsWith(u(" WHERE "))) << code;
        EXPECT_TRUE(from.contains(u("AS TblRol"))) << code;
    }
    ObjectListSQL(45, from, where);
    EXPECT_EQ(where, u(" WHERE  TblInf.relkind    IN  ('r', 'f', 't', 'p')"));
}

struct ArgRow { const char *mode, *name, *schema, *typeOri, *typeCon; };

void expectArgs(const FncArgArray &args, std::initializer_list<ArgRow> rows, const QString &schema)
{
    ASSERT_EQ(args.size(), qsizetype(rows.size()));
    int i = 0;
    for (const ArgRow &r : rows) {
        const TFuncArgument &a = args.at(i++);
        EXPECT_EQ(a.strMode, QString::fromUtf8(r.mode)) << i;
        EXPECT_EQ(a.strArgName, QString::fromUtf8(r.name)) << i;
        EXPECT_EQ(a.strSchema, QString::fromUtf8(r.schema).replace(u("$s"), schema)) << i;
        EXPECT_EQ(a.strTypeNaOri, QString::fromUtf8(r.typeOri)) << i;
        EXPECT_EQ(a.strTypeNaCon, QString::fromUtf8(r.typeCon).replace(u("$s"), schema)) << i;
        EXPECT_NE(a.intOid, 0u) << i;
        EXPECT_TRUE(a.strTypeNaConLen.isEmpty());
        EXPECT_EQ(a.intLength, 0);
    }
}

TEST_F(CatalogTest, FunctionArgumentsInOrder)
{
    const QString s = schema();
    EXPECT_TRUE(argsOf(u("f_none")).isEmpty());
    expectArgs(argsOf(u("f_in")), {{"i", "a", "pg_catalog", "int4", "integer"},
                                   {"i", "b", "pg_catalog", "text", "text"}}, s);
    expectArgs(argsOf(u("f_modes")), {{"i", "a", "pg_catalog", "int4", "integer"},
                                      {"o", "b", "pg_catalog", "text", "text"},
                                      {"b", "c", "pg_catalog", "numeric", "numeric"},
                                      {"v", "d", "pg_catalog", "_int4", "integer[]"}}, s);
    expectArgs(argsOf(u("f_table")), {{"i", "p", "pg_catalog", "int4", "integer"},
                                      {"t", "x", "pg_catalog", "int4", "integer"},
                                      {"t", "Y", "pg_catalog", "text", "text"}}, s);
    expectArgs(argsOf(u("f_types")), {{"i", "", "$s", "myenum", "$s.myenum"},
                                      {"i", "", "pg_catalog", "char", "\"char\""},
                                      {"i", "", "pg_catalog", "_int4", "integer[]"},
                                      {"i", "", "pg_catalog", "varchar", "character varying"},
                                      {"i", "", "$s", "mycomp", "$s.mycomp"}}, s);
    // aggregates have arguments too, and no function text to show
    expectArgs(argsOf(u("my_sum")), {{"i", "", "pg_catalog", "int4", "integer"}}, s);
    // no such function: no arguments
    db::Query q(FDb.get());
    FncArgArray args{TFuncArgument{}};
    EXPECT_TRUE(GetFunctionArgs(4000000000u, q, args));
    EXPECT_TRUE(args.isEmpty());
}

TEST_F(CatalogTest, QueryIsClosedWhenTheServerFails)
{
    db::Query q(FDb.get());
    FDb->close();
    FncArgArray args;
    EXPECT_THROW(GetFunctionArgs(functionOid(u("f_in")), q, args), db::Error);
    EXPECT_FALSE(q.isActive());
}

TEST(FunctionArgs, ParseLists)
{
    const FncArgArray a = ParseFunctionArgs(u("23\r\n25"), QString(), QString());
    ASSERT_EQ(a.size(), 2);
    EXPECT_EQ(a[1].intOid, 25u);
    EXPECT_EQ(a[1].strMode, u("i"));
    EXPECT_EQ(a[1].strArgName, u(""));
    // oids above 2^31 are valid
    EXPECT_EQ(ParseFunctionArgs(u("3000000000"), u("i"), u("x")).at(0).intOid, 3000000000u);
    EXPECT_THROW(ParseFunctionArgs(u("23\r\nabc"), QString(), QString()), db::Error);
    EXPECT_TRUE(ParseFunctionArgs(QString(), QString(), QString()).isEmpty());
    EXPECT_TRUE(FunctionArgTypesSQL(0).isEmpty());
    EXPECT_TRUE(FunctionArgTypesSQL(2).endsWith(u(" ORDER BY 1")));
}

TEST_F(CatalogTest, SignaturesNameExistingFunctions)
{
    const QString s = schema();
    const FncArgArray modes = argsOf(u("f_modes"));
    struct Case { int selector; QString expected; };
    const Case cases[] = {
        // "numeric" is a keyword: quoted, it still names the catalog's type
        {0, u("int4")}, {1, u("text")}, {2, u("\"numeric\"")}, {3, u("_int4")}, {4, u("")},
        {5, u("int4,\"numeric\",_int4")}, {6, u("int4,text,\"numeric\",_int4")}, {7, u("")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FormatFunctionArgs(modes, c.selector, s, false), c.expected) << c.selector;
    EXPECT_EQ(FormatFunctionArgs(modes, 5, s, true), u("\"int4\",\"numeric\",\"_int4\""));

    const FncArgArray types = argsOf(u("f_types"));
    EXPECT_EQ(FormatFunctionArgs(types, 5, s, false), u("myenum,\"char\",_int4,\"varchar\",mycomp"));
    EXPECT_EQ(FormatFunctionArgs(types, 5, u("public"), false),
              QStringLiteral("%1.myenum,\"char\",_int4,\"varchar\",%1.mycomp").arg(s));

    // Every signature names the function it was read from, under both quoting settings,
    // from a session whose search path does not hold the schema.
    exec(u("SET search_path TO public"));
    for (bool useLower : {false, true}) {
        for (const char *fn : {"f_none", "f_in", "f_modes", "f_table", "f_types", "my_sum"}) {
            const QString name = QString::fromUtf8(fn);
            const QString sig = FormatFunctionArgs(argsOf(name), 5, s, useLower);
            const QString proc = QStringLiteral("%1.%2(%3)").arg(s, name, sig);
            const QString oid = scalar(QStringLiteral("SELECT to_regprocedure(%1)::oid").arg(QuoteLiteral(
                QStringLiteral("%1.%2(%3)").arg(s, name,
                    FormatFunctionArgs(argsOf(name), 5, u("pg_catalog"), useLower)))));
            EXPECT_EQ(oid.toUInt(), functionOid(name)) << proc.toStdString();
        }
    }
    // and the statements the editors generate run
    exec(QStringLiteral("ALTER FUNCTION %1.f_table(%2) RENAME TO f_table2")
             .arg(s, FormatFunctionArgs(argsOf(u("f_table")), 5, u("pg_catalog"), false)));
    exec(QStringLiteral("DROP FUNCTION %1.f_table2(%2)")
             .arg(s, FormatFunctionArgs(argsOf(u("f_table2")), 5, u("pg_catalog"), true)));
    exec(QStringLiteral("DROP AGGREGATE %1.my_sum(%2)")
             .arg(s, FormatFunctionArgs(argsOf(u("my_sum")), 5, u("pg_catalog"), false)));
}

TEST(DataType, TextsFromTypmods)
{
    struct Case { QString type; int typmod; QString data, typmod_, interval; };
    const Case cases[] = {
        {u("character varying"), 14, u("character varying(10)"), u("10"), u("character varying")},
        {u("numeric"), 10 * 65536 + 2 + 4, u("numeric(10,2)"), u("10,2"), u("numeric")},
        {u("numeric"), 10 * 65536 + 4, u("numeric(10,0)"), u("10"), u("numeric")},
        {u("numeric"), (5 << 16) + (-2 & 0x7FF) + 4, u("numeric(5,-2)"), u("5,-2"), u("numeric")},
        {u("numeric[]"), (3 << 16) + 1 + 4, u("numeric(3,1)[]"), u("3,1"), u("numeric[]")},
        {u("interval"), 0x1C080003, u("interval DAY TO SECOND (3)"), u("3"), u("interval DAY TO SECOND")},
        {u("interval"), 0x1000FFFF, u("interval SECOND"), u(""), u("interval SECOND")},
        {u("interval"), 0x7FFF0002, u("interval (2)"), u("2"), u("interval")},
        {u("interval[]"), 0x6FFFF, u("interval YEAR TO MONTH[]"), u(""), u("interval YEAR TO MONTH[]")},
        {u("interval"), 0x12345, u("interval"), u(""), u("interval")},
        {u("integer[]"), -1, u("integer[]"), u(""), u("integer[]")},
        {u("integer"), -1, u("integer"), u(""), u("integer")},
        {u("character varying"), -1, u("character varying"), u(""), u("character varying")},
        {u("timestamp without time zone"), 3, u("timestamp(3) without time zone"), u("3"), u("timestamp without time zone")},
        {u("time with time zone[]"), 2, u("time(2) with time zone[]"), u("2"), u("time with time zone[]")},
        {u("bit"), 4, u("bit(4)"), u("4"), u("bit")},
        {u("bit varying[]"), 7, u("bit varying(7)[]"), u("7"), u("bit varying[]")},
        {u("character"), 7, u("character(3)"), u("3"), u("character")},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(FormatDataType(c.type, c.typmod, false), c.data) << c.type.toStdString();
        EXPECT_EQ(FormatTypmod(c.type, c.typmod), c.typmod_) << c.type.toStdString();
        EXPECT_EQ(FormatIntervalType(c.type, c.typmod), c.interval) << c.type.toStdString();
    }
    // schema-qualified names are quoted part by part
    EXPECT_EQ(FormatDataType(u("s.\"MyType\""), -1, false), u("s.\"MyType\""));
    EXPECT_EQ(FormatDataType(u("s.mytype[]"), -1, true), u("\"s\".\"mytype\"[]"));
}

TEST_F(CatalogTest, DataTypeTextsRecreateTheColumns)
{
    // Every column of t1 rebuilt from FormatDataType has the original type and modifier.
    PGresult *r = PQexec(conn(), QStringLiteral(
        "SELECT attname, format_type(atttypid, NULL), atttypmod, format_type(atttypid, atttypmod)"
        " FROM pg_attribute WHERE attrelid = '%1.t1'::regclass AND attnum > 0 ORDER BY attnum")
        .arg(schema()).toUtf8().constData());
    ASSERT_EQ(PQresultStatus(r), PGRES_TUPLES_OK);
    QStringList columns;
    QStringList expected;
    for (int i = 0; i < PQntuples(r); ++i) {
        const QString type = QString::fromUtf8(PQgetvalue(r, i, 1));
        const int typmod = QString::fromUtf8(PQgetvalue(r, i, 2)).toInt();
        columns << QStringLiteral("c%1 %2").arg(i).arg(FormatDataType(type, typmod, false));
        expected << QString::fromUtf8(PQgetvalue(r, i, 3));
    }
    PQclear(r);
    exec(QStringLiteral("CREATE TABLE rebuilt (%1)").arg(columns.join(u(", "))));
    r = PQexec(conn(), "SELECT format_type(atttypid, atttypmod) FROM pg_attribute"
                       " WHERE attrelid = 'rebuilt'::regclass AND attnum > 0 ORDER BY attnum");
    ASSERT_EQ(PQresultStatus(r), PGRES_TUPLES_OK);
    QStringList rebuilt;
    for (int i = 0; i < PQntuples(r); ++i)
        rebuilt << QString::fromUtf8(PQgetvalue(r, i, 0));
    PQclear(r);
    EXPECT_EQ(rebuilt, expected);
}

TEST(DataType, ColumnLengthText)
{
    const QVariant null;
    struct Case { QString type; QVariant len, prec, scale; QString expected; };
    const Case cases[] = {
        {u("character varying"), 10, null, null, u("10")},
        {u("char[]"), null, null, null, u("")},
        {u("numeric"), null, 10, 2, u("10,2")},
        {u("numeric"), null, 10, null, u("10")},
        {u("numeric"), null, null, null, u("")},
        {u("bit"), null, 4, null, u("4")},
        {u("interval DAY TO SECOND"), null, 3, null, u("3")},
        {u("integer"), 4, 32, 0, u("")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ColumnLengthText(c.type, c.len, c.prec, c.scale), c.expected) << c.type.toStdString();
}

TEST(AclItem, SplitsTextualItems)
{
    struct Case { QString item, grantee, privileges, grantor; };
    const Case cases[] = {
        {u("=rw/owner"), u("public"), u("rw"), u("owner")},
        {u("scott=arwdDxt/owner"), u("scott"), u("arwdDxt"), u("owner")},
        {u("\"Mixed Case\"=r*w/\"Other Owner\""), u("Mixed Case"), u("r*w"), u("Other Owner")},
        {u("\"a=b/c\"=r/\"x\"\"y\""), u("a=b/c"), u("r"), u("x\"y")},
        {u("alice=r/bob"), u("alice"), u("r"), u("bob")},
        {u("社員=r/所有者"), u("社員"), u("r"), u("所有者")},
        {u("=r"), u("public"), u("r"), u("")},
        {u(""), u("public"), u(""), u("")},
    };
    for (const Case &c : cases) {
        QString grantee = u("?"), privileges = u("?"), grantor = u("?");
        SplitAclItem(c.item, grantee, privileges, &grantor);
        EXPECT_EQ(grantee, c.grantee) << c.item.toStdString();
        EXPECT_EQ(privileges, c.privileges) << c.item.toStdString();
        EXPECT_EQ(grantor, c.grantor) << c.item.toStdString();
    }
}

TEST_F(CatalogTest, AclItemsOfTheServerSplitAsTheServerReadsThem)
{
    // Each item of t1's list, split by text, against the server's own decomposition.
    PGresult *r = PQexec(conn(), QStringLiteral(
        "SELECT a.item::text, coalesce(ge.rolname, 'public'), gr.rolname,"
        "       string_agg(CASE e.privilege_type"
        "          WHEN 'SELECT' THEN 'r' WHEN 'UPDATE' THEN 'w' WHEN 'INSERT' THEN 'a'"
        "          WHEN 'DELETE' THEN 'd' WHEN 'TRUNCATE' THEN 'D' WHEN 'REFERENCES' THEN 'x'"
        "          WHEN 'TRIGGER' THEN 't' END || CASE WHEN e.is_grantable THEN '*' ELSE '' END, '')"
        " FROM pg_class c"
        " CROSS JOIN LATERAL unnest(c.relacl) AS a(item)"
        " CROSS JOIN LATERAL aclexplode(ARRAY[a.item]) AS e"
        " LEFT JOIN pg_roles ge ON ge.oid = e.grantee"
        " LEFT JOIN pg_roles gr ON gr.oid = e.grantor"
        " WHERE c.oid = '%1.t1'::regclass GROUP BY 1, 2, 3").arg(schema()).toUtf8().constData());
    ASSERT_EQ(PQresultStatus(r), PGRES_TUPLES_OK) << PQresultErrorMessage(r);
    bool sawOtherGrantor = false;
    QSet<QString> items;
    for (int i = 0; i < PQntuples(r); ++i) {
        const QString item = QString::fromUtf8(PQgetvalue(r, i, 0));
        items << item;
        QString grantee, privileges, grantor;
        SplitAclItem(item, grantee, privileges, &grantor);
        EXPECT_EQ(grantee, QString::fromUtf8(PQgetvalue(r, i, 1))) << item.toStdString();
        EXPECT_EQ(grantor, QString::fromUtf8(PQgetvalue(r, i, 2))) << item.toStdString();
        QString sortedA = privileges, sortedB = QString::fromUtf8(PQgetvalue(r, i, 3));
        std::sort(sortedA.begin(), sortedA.end());
        std::sort(sortedB.begin(), sortedB.end());
        EXPECT_EQ(sortedA, sortedB) << item.toStdString();
        if (grantor == FGrantor) {
            sawOtherGrantor = true;
            EXPECT_EQ(grantee, FGrantee);
            EXPECT_EQ(privileges, u("r"));
        }
    }
    PQclear(r);
    EXPECT_TRUE(sawOtherGrantor);
    EXPECT_GE(items.size(), 4);
}

} // namespace

namespace {

// On the sample database: every listing runs, and every routine of its own schemas, every
// aggregate and every catalog function with OUT, TABLE or VARIADIC arguments is found
// again from the signature written from its arguments.
TEST(CatalogOnSample, ListingsRunAndSignaturesFindEveryRoutine)
{
    const testdb::Params &p = testdb::params();
    auto conn = testdb::connect(p.sampleDatabase);
    for (int code : {45, 46, 47, 52, 55, 57, 58, 66, 127}) {
        QString from, where;
        ObjectListSQL(code, from, where);
        PGresult *r = PQexec(conn.get(), (u("SELECT count(*), count(TblRol.rolname)") + from + where).toUtf8().constData());
        EXPECT_EQ(PQresultStatus(r), PGRES_TUPLES_OK) << code << ": " << PQresultErrorMessage(r);
        PQclear(r);
    }

    const auto db = openDb(p.sampleDatabase);
    PGresult *r = PQexec(conn.get(),
        "SELECT p.oid, n.nspname, p.proname FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace"
        " WHERE n.nspname NOT IN ('pg_catalog', 'information_schema') OR p.prokind = 'a'"
        "    OR p.proallargtypes IS NOT NULL OR p.provariadic <> 0 ORDER BY p.oid");
    ASSERT_EQ(PQresultStatus(r), PGRES_TUPLES_OK);
    ASSERT_GT(PQntuples(r), 100);
    db::Query q(db.get());
    for (int i = 0; i < PQntuples(r); ++i) {
        const quint32 oid = QByteArray(PQgetvalue(r, i, 0)).toUInt();
        const QString schema = QString::fromUtf8(PQgetvalue(r, i, 1));
        const QString name = QString::fromUtf8(PQgetvalue(r, i, 2));
        FncArgArray args;
        ASSERT_TRUE(GetFunctionArgs(oid, q, args)) << name.toStdString();
        for (const TFuncArgument &a : args)
            EXPECT_FALSE(a.strTypeNaOri.isEmpty()) << name.toStdString();
        const QString signature = QStringLiteral("%1.%2(%3)").arg(QuoteIdentifier(schema, true),
            QuoteIdentifier(name, true), FormatFunctionArgs(args, 5, u("pg_catalog"), false));
        const QString found = testdb::scalar(conn.get(),
            QStringLiteral("SELECT to_regprocedure(%1)::oid").arg(QuoteLiteral(signature)));
        EXPECT_EQ(found.toUInt(), oid) << signature.toStdString();
    }
    PQclear(r);
}

} // namespace
