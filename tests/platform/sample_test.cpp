// The sample business database that scripts/load-sample.sh loads: every kind of catalog
// object the program browses is there, names that need quoting and Japanese names exist
// exactly as written, the data has the promised size, and the login role can log on.
#include "support/testdb.h"

#include <vector>

namespace {

struct CatalogCase {
    const char *what;
    const char *sql; // one number: how many objects of the kind the sample holds
    int atLeast;
};

class SampleDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FConn = testdb::connect(testdb::params().sampleDatabase);
        ASSERT_EQ(PQstatus(FConn.get()), CONNECTION_OK);
    }
    QString scalar(const QString &sql) { return testdb::scalar(FConn.get(), sql); }
    int count(const char *sql) { return scalar(QString::fromUtf8(sql)).toInt(); }
    void expectCases(const std::vector<CatalogCase> &cases)
    {
        for (const auto &c : cases)
            EXPECT_GE(count(c.sql), c.atLeast) << c.what << "\n" << c.sql;
    }
    testdb::ConnPtr FConn;
};

// Restricts catalog queries to the sample's own schemas.
#define SAMPLE_NS "(SELECT oid FROM pg_namespace WHERE nspname IN ('sales', 'hr', 'inventory', 'reporting', '経理', 'Archive'))"

TEST_F(SampleDatabaseTest, HasSchemasTablesAndConstraintsOfEveryKind)
{
    expectCases({
        {"schemas", "SELECT count(*) FROM " SAMPLE_NS " s", 6},
        {"ordinary tables", "SELECT count(*) FROM pg_class WHERE relkind = 'r' AND relnamespace IN " SAMPLE_NS, 20},
        {"partitioned table", "SELECT count(*) FROM pg_class WHERE relkind = 'p' AND relnamespace IN " SAMPLE_NS, 1},
        {"partitions incl. default",
         "SELECT count(*) FROM pg_inherits i JOIN pg_class c ON c.oid = i.inhrelid "
         "WHERE i.inhparent = 'inventory.stock_movements'::regclass AND c.relispartition", 5},
        {"default partition", "SELECT count(*) FROM pg_partitioned_table WHERE partdefid <> 0", 1},
        {"classic inheritance child",
         "SELECT count(*) FROM pg_inherits i JOIN pg_class c ON c.oid = i.inhrelid WHERE NOT c.relispartition "
         "AND c.relnamespace IN " SAMPLE_NS, 1},
        {"unlogged table", "SELECT count(*) FROM pg_class WHERE relpersistence = 'u' AND relkind = 'r' AND relnamespace IN " SAMPLE_NS, 1},
        {"table with storage options", "SELECT count(*) FROM pg_class WHERE relkind = 'r' AND reloptions IS NOT NULL AND relnamespace IN " SAMPLE_NS, 2},
        {"primary keys", "SELECT count(*) FROM pg_constraint WHERE contype = 'p' AND connamespace IN " SAMPLE_NS, 15},
        {"unique constraints", "SELECT count(*) FROM pg_constraint WHERE contype = 'u' AND connamespace IN " SAMPLE_NS, 5},
        {"foreign keys", "SELECT count(*) FROM pg_constraint WHERE contype = 'f' AND connamespace IN " SAMPLE_NS, 10},
        {"deferrable foreign key", "SELECT count(*) FROM pg_constraint WHERE contype = 'f' AND condeferrable AND connamespace IN " SAMPLE_NS, 1},
        {"multi-column foreign key", "SELECT count(*) FROM pg_constraint WHERE contype = 'f' AND cardinality(conkey) > 1 AND connamespace IN " SAMPLE_NS, 1},
        {"table check constraints", "SELECT count(*) FROM pg_constraint WHERE contype = 'c' AND conrelid <> 0 AND connamespace IN " SAMPLE_NS, 10},
        {"exclusion constraints", "SELECT count(*) FROM pg_constraint WHERE contype = 'x' AND connamespace IN " SAMPLE_NS, 2},
        {"identity columns", "SELECT count(*) FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
                             "WHERE a.attidentity <> '' AND c.relnamespace IN " SAMPLE_NS, 3},
        {"generated column", "SELECT count(*) FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
                             "WHERE a.attgenerated = 's' AND c.relnamespace IN " SAMPLE_NS, 1},
    });
}

TEST_F(SampleDatabaseTest, HasIndexesOfEveryShapeAndAccessMethod)
{
    for (const char *am : {"btree", "hash", "gin", "gist", "spgist", "brin"}) {
        EXPECT_GE(scalar(QStringLiteral("SELECT count(*) FROM pg_class c JOIN pg_am a ON a.oid = c.relam "
                                        "WHERE c.relkind IN ('i', 'I') AND a.amname = '%1' AND c.relnamespace IN " SAMPLE_NS)
                             .arg(QLatin1String(am)))
                      .toInt(),
                  1)
            << am;
    }
    expectCases({
        {"unique index that is no constraint",
         "SELECT count(*) FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid WHERE i.indisunique "
         "AND NOT EXISTS (SELECT 1 FROM pg_constraint k WHERE k.conindid = i.indexrelid) AND c.relnamespace IN " SAMPLE_NS, 2},
        {"partial indexes", "SELECT count(*) FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid "
                            "WHERE i.indpred IS NOT NULL AND c.relnamespace IN " SAMPLE_NS, 3},
        {"expression indexes", "SELECT count(*) FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid "
                               "WHERE i.indexprs IS NOT NULL AND c.relnamespace IN " SAMPLE_NS, 2},
        {"multi-column indexes", "SELECT count(*) FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid "
                                 "WHERE i.indnkeyatts > 1 AND NOT i.indisprimary AND c.relnamespace IN " SAMPLE_NS, 3},
        {"index with included columns", "SELECT count(*) FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid "
                                        "WHERE i.indnatts > i.indnkeyatts AND c.relnamespace IN " SAMPLE_NS, 1},
        {"partitioned index", "SELECT count(*) FROM pg_class WHERE relkind = 'I' AND relnamespace IN " SAMPLE_NS, 2},
        {"index on the materialised view",
         "SELECT count(*) FROM pg_index WHERE indrelid = 'reporting.monthly_sales'::regclass AND indisunique", 1},
    });
}

TEST_F(SampleDatabaseTest, HasViewsRoutinesTypesTriggersSequencesAndRules)
{
    expectCases({
        {"views", "SELECT count(*) FROM pg_class WHERE relkind = 'v' AND relnamespace IN " SAMPLE_NS, 6},
        {"view with check option", "SELECT count(*) FROM information_schema.views WHERE check_option <> 'NONE'", 1},
        {"materialised view", "SELECT count(*) FROM pg_class WHERE relkind = 'm' AND relispopulated AND relnamespace IN " SAMPLE_NS, 1},
        {"SQL functions", "SELECT count(*) FROM pg_proc p JOIN pg_language l ON l.oid = p.prolang "
                          "WHERE p.prokind = 'f' AND l.lanname = 'sql' AND p.pronamespace IN " SAMPLE_NS, 5},
        {"PL/pgSQL functions", "SELECT count(*) FROM pg_proc p JOIN pg_language l ON l.oid = p.prolang "
                               "WHERE p.prokind = 'f' AND l.lanname = 'plpgsql' AND p.pronamespace IN " SAMPLE_NS, 3},
        {"OUT argument", "SELECT count(*) FROM pg_proc WHERE 'o' = ANY (proargmodes) AND pronamespace IN " SAMPLE_NS, 1},
        {"INOUT argument", "SELECT count(*) FROM pg_proc WHERE 'b' = ANY (proargmodes) AND pronamespace IN " SAMPLE_NS, 2},
        {"VARIADIC argument", "SELECT count(*) FROM pg_proc WHERE 'v' = ANY (proargmodes) AND pronamespace IN " SAMPLE_NS, 1},
        {"RETURNS TABLE", "SELECT count(*) FROM pg_proc WHERE 't' = ANY (proargmodes) AND pronamespace IN " SAMPLE_NS, 1},
        {"argument defaults", "SELECT count(*) FROM pg_proc WHERE pronargdefaults > 0 AND pronamespace IN " SAMPLE_NS, 4},
        {"overloaded name", "SELECT count(*) FROM pg_proc WHERE proname = 'stock_of' AND pronamespace = 'inventory'::regnamespace", 2},
        {"SECURITY DEFINER", "SELECT count(*) FROM pg_proc WHERE prosecdef AND pronamespace IN " SAMPLE_NS, 1},
        {"aggregate", "SELECT count(*) FROM pg_proc WHERE prokind = 'a' AND pronamespace IN " SAMPLE_NS, 1},
        {"procedures", "SELECT count(*) FROM pg_proc WHERE prokind = 'p' AND pronamespace IN " SAMPLE_NS, 2},
        {"trigger functions", "SELECT count(*) FROM pg_proc WHERE prorettype = 'trigger'::regtype AND pronamespace IN " SAMPLE_NS, 4},
        {"composite types", "SELECT count(*) FROM pg_type t JOIN pg_class c ON c.oid = t.typrelid "
                            "WHERE t.typtype = 'c' AND c.relkind = 'c' AND t.typnamespace IN " SAMPLE_NS, 2},
        {"enum types", "SELECT count(*) FROM pg_type WHERE typtype = 'e' AND typnamespace IN " SAMPLE_NS, 2},
        {"domains", "SELECT count(*) FROM pg_type WHERE typtype = 'd' AND typnamespace IN " SAMPLE_NS, 3},
        {"range types", "SELECT count(*) FROM pg_type WHERE typtype = 'r' AND typnamespace IN " SAMPLE_NS, 2},
        {"row triggers", "SELECT count(*) FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid "
                         "WHERE NOT t.tgisinternal AND t.tgparentid = 0 AND (t.tgtype & 1) = 1 AND c.relnamespace IN " SAMPLE_NS, 5},
        {"statement triggers", "SELECT count(*) FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid "
                               "WHERE NOT t.tgisinternal AND (t.tgtype & 1) = 0 AND c.relnamespace IN " SAMPLE_NS, 2},
        {"trigger with a condition", "SELECT count(*) FROM pg_trigger WHERE tgqual IS NOT NULL", 1},
        {"INSTEAD OF trigger on a view", "SELECT count(*) FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid "
                                         "WHERE (t.tgtype & 64) <> 0 AND c.relkind = 'v'", 1},
        {"deferred constraint trigger", "SELECT count(*) FROM pg_trigger t JOIN pg_constraint k ON k.oid = t.tgconstraint "
                                        "WHERE NOT t.tgisinternal AND k.contype = 't' AND t.tginitdeferred", 1},
        {"disabled trigger", "SELECT count(*) FROM pg_trigger WHERE NOT tgisinternal AND tgenabled = 'D'", 1},
        {"sequences owned by a column",
         "SELECT count(*) FROM pg_class s JOIN pg_depend d ON d.objid = s.oid AND d.classid = 'pg_class'::regclass "
         "AND d.refclassid = 'pg_class'::regclass AND d.deptype IN ('a', 'i') WHERE s.relkind = 'S' AND s.relnamespace IN " SAMPLE_NS, 3},
        {"free-standing sequences",
         "SELECT count(*) FROM pg_class s WHERE s.relkind = 'S' AND s.relnamespace IN " SAMPLE_NS
         " AND NOT EXISTS (SELECT 1 FROM pg_depend d WHERE d.objid = s.oid AND d.classid = 'pg_class'::regclass "
         "AND d.refclassid = 'pg_class'::regclass AND d.deptype IN ('a', 'i'))", 3},
        {"rules on tables", "SELECT count(*) FROM pg_rules WHERE schemaname IN ('sales', 'hr')", 4},
        {"rule with a condition", "SELECT count(*) FROM pg_rewrite WHERE rulename <> '_RETURN' AND ev_qual <> '<>'", 1},
    });
}

TEST_F(SampleDatabaseTest, HasGroupAndLoginRolesWithGrants)
{
    expectCases({
        {"group roles", "SELECT count(*) FROM pg_roles WHERE rolname LIKE 'sample\\_%' AND NOT rolcanlogin", 4},
        {"login roles", "SELECT count(*) FROM pg_roles WHERE rolname LIKE 'sample\\_%' AND rolcanlogin", 3},
        {"memberships", "SELECT count(*) FROM pg_auth_members m JOIN pg_roles r ON r.oid = m.roleid WHERE r.rolname LIKE 'sample\\_%'", 7},
        {"objects owned by other roles",
         "SELECT count(*) FROM pg_class WHERE relowner IN (SELECT oid FROM pg_roles WHERE rolname LIKE 'sample\\_%') "
         "AND relnamespace IN " SAMPLE_NS, 3},
        {"columns with column privileges", "SELECT count(*) FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
                                           "WHERE a.attacl IS NOT NULL AND c.relnamespace IN " SAMPLE_NS, 10},
        {"revoked default execute", "SELECT count(*) FROM pg_proc WHERE proacl IS NOT NULL AND NOT EXISTS "
                                    "(SELECT 1 FROM aclexplode(proacl) a WHERE a.grantee = 0) AND pronamespace IN " SAMPLE_NS, 2},
        {"default privileges", "SELECT count(*) FROM pg_default_acl", 2},
    });
    // A grant made WITH GRANT OPTION to a role that is not the owner, passed on by that role.
    EXPECT_EQ(scalar(QStringLiteral("SELECT string_agg(privilege_type || ':' || is_grantable, ',' ORDER BY privilege_type) "
                                    "FROM information_schema.table_privileges WHERE table_schema = 'sales' "
                                    "AND table_name = 'customers' AND grantee = 'sample_manager'")),
              QStringLiteral("SELECT:YES,UPDATE:YES"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT grantor FROM information_schema.table_privileges WHERE table_schema = 'sales' "
                                    "AND table_name = 'customers' AND grantee = 'sample_clerk'")),
              QStringLiteral("sample_manager"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT string_agg(column_name, ',' ORDER BY column_name) FROM information_schema.column_privileges "
                                    "WHERE table_schema = 'sales' AND table_name = 'customers' AND grantee = 'sample_clerk' "
                                    "AND privilege_type = 'UPDATE' AND grantor = 'sample_manager'")),
              QStringLiteral("CustomerNote,phone"));
}

TEST_F(SampleDatabaseTest, LoginRoleLogsOnWithItsPasswordAndSeesOnlyWhatItWasGranted)
{
    const auto &p = testdb::params();
    const QByteArray host = p.host.toUtf8(), port = p.port.toUtf8(), db = p.sampleDatabase.toUtf8();
    const char *keys[] = {"host", "port", "user", "password", "dbname", nullptr};
    const char *vals[] = {host.constData(), port.constData(), "sample_clerk", "sample_clerk", db.constData(), nullptr};
    testdb::ConnPtr clerk(PQconnectdbParams(keys, vals, 0));
    ASSERT_EQ(PQstatus(clerk.get()), CONNECTION_OK) << PQerrorMessage(clerk.get());
    EXPECT_EQ(testdb::scalar(clerk.get(), QStringLiteral("SELECT count(*) FROM sales.customers")), QStringLiteral("2000"));
    // Column privileges: the names of employees are visible, the pay is not.
    EXPECT_EQ(testdb::scalar(clerk.get(), QStringLiteral("SELECT count(\"氏名\") FROM hr.\"社員\"")), QStringLiteral("200"));
    PGresult *r = PQexec(clerk.get(), "SELECT \"給与\" FROM hr.\"社員\" LIMIT 1");
    EXPECT_EQ(PQresultStatus(r), PGRES_FATAL_ERROR);
    EXPECT_STREQ(PQresultErrorField(r, PG_DIAG_SQLSTATE), "42501");
    PQclear(r);
}

TEST_F(SampleDatabaseTest, NamesThatNeedQuotingAndJapaneseNamesExistExactly)
{
    // Each relation and column is found only under its exact, case-sensitive name.
    const std::vector<std::pair<const char *, const char *>> columns = {
        {"sales.customers", "CustomerNote"},
        {"sales.orders", "order memo"},
        {"sales.orders", "user"},
        {"sales.product_categories", "order"},
        {"sales.products", "size \"inch\""},
        {"sales.\"ContactHistory\"", "ContactedAt"},
        {"hr.\"社員\"", "氏名"},
        {"hr.\"社員\"", "社員番号"},
        {"hr.\"部署\"", "部署名"},
        {"\"経理\".\"請求書\"", "請求番号"},
        {"\"Archive\".\"Orders 2019\"", "Order ID"},
        {"\"Archive\".\"Memo \"\"Draft\"\"\"", "Memo"},
        {"inventory.\"冷蔵点検\"", "温度"},
    };
    for (const auto &[table, column] : columns) {
        EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM pg_attribute WHERE attrelid = to_regclass('%1') "
                                        "AND attname = '%2' AND NOT attisdropped")
                             .arg(QString::fromUtf8(table).replace(QLatin1Char('\''), QLatin1String("''")),
                                  QString::fromUtf8(column).replace(QLatin1Char('\''), QLatin1String("''")))),
                  QStringLiteral("1"))
            << table << " " << column;
    }
    // The folded spelling of a mixed-case name does not exist.
    EXPECT_EQ(scalar(QStringLiteral("SELECT to_regclass('sales.contacthistory') IS NULL")), QStringLiteral("t"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM pg_attribute WHERE attrelid = 'sales.customers'::regclass AND attname = 'customernote'")),
              QStringLiteral("0"));
    // Quoted names of other kinds: a trigger and a sequence with blanks, a Japanese function and rule.
    expectCases({
        {"trigger with blanks", "SELECT count(*) FROM pg_trigger WHERE tgname = 'Read Only Guard'", 2},
        {"sequence with blanks", "SELECT count(*) FROM pg_class WHERE relname = 'Legacy Counter' AND relkind = 'S'", 1},
        {"Japanese function", "SELECT count(*) FROM pg_proc WHERE proname = '勤続年数'", 1},
        {"Japanese rule", "SELECT count(*) FROM pg_rewrite WHERE rulename = '顧客ランク変更'", 1},
        {"Japanese view", "SELECT count(*) FROM pg_class WHERE relname = '部署別人数' AND relkind = 'v'", 1},
        {"Japanese domain", "SELECT count(*) FROM pg_type WHERE typname = '郵便番号' AND typtype = 'd'", 1},
    });
}

TEST_F(SampleDatabaseTest, ObjectsAndColumnsCarryJapaneseComments)
{
    EXPECT_EQ(scalar(QStringLiteral("SELECT obj_description('hr.\"社員\"'::regclass, 'pg_class')")), QStringLiteral("社員マスター"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT col_description('sales.orders'::regclass, "
                                    "(SELECT attnum FROM pg_attribute WHERE attrelid = 'sales.orders'::regclass AND attname = 'order memo'))")),
              QStringLiteral("受注メモ（空白を含む列名）"));
    expectCases({
        {"commented tables and views", "SELECT count(*) FROM pg_description d JOIN pg_class c ON c.oid = d.objoid "
                                       "AND d.classoid = 'pg_class'::regclass AND d.objsubid = 0 WHERE c.relnamespace IN " SAMPLE_NS, 25},
        {"commented columns", "SELECT count(*) FROM pg_description d JOIN pg_class c ON c.oid = d.objoid "
                              "AND d.classoid = 'pg_class'::regclass AND d.objsubid > 0 WHERE c.relnamespace IN " SAMPLE_NS, 20},
        {"commented routines", "SELECT count(*) FROM pg_description d JOIN pg_proc p ON p.oid = d.objoid "
                               "AND d.classoid = 'pg_proc'::regclass WHERE p.pronamespace IN " SAMPLE_NS, 10},
        {"commented types", "SELECT count(*) FROM pg_description d JOIN pg_type t ON t.oid = d.objoid "
                            "AND d.classoid = 'pg_type'::regclass WHERE t.typnamespace IN " SAMPLE_NS, 6},
        {"commented schemas", "SELECT count(*) FROM pg_description d JOIN " SAMPLE_NS " s ON s.oid = d.objoid "
                              "AND d.classoid = 'pg_namespace'::regclass", 6},
        {"commented triggers, rules, indexes",
         "SELECT (SELECT count(*) FROM pg_description WHERE classoid = 'pg_trigger'::regclass) "
         "+ (SELECT count(*) FROM pg_description WHERE classoid = 'pg_rewrite'::regclass) "
         "+ (SELECT count(*) FROM pg_description d JOIN pg_class c ON c.oid = d.objoid AND c.relkind = 'i')", 10},
        {"commented roles", "SELECT count(*) FROM pg_shdescription d JOIN pg_roles r ON r.oid = d.objoid WHERE r.rolname LIKE 'sample\\_%'", 7},
        {"Japanese comment texts", "SELECT count(*) FROM pg_description WHERE description ~ '[ぁ-んァ-ン一-龥]'", 80},
    });
}

TEST_F(SampleDatabaseTest, HoldsTheDataItPromises)
{
    const std::vector<std::pair<const char *, int>> rows = {
        {"sales.order_lines", 50000},
        {"sales.orders", 10000},
        {"sales.customers", 2000},
        {"sales.products", 500},
        {"sales.price_history", 1500},
        {"sales.\"ContactHistory\"", 3000},
        {"hr.\"社員\"", 200},
        {"hr.\"部署\"", 10},
        {"inventory.stock", 2500},
        {"inventory.stock_movements", 20000},
        {"\"経理\".\"請求書\"", 7000},
        {"\"Archive\".\"Orders 2019\"", 300},
    };
    for (const auto &[table, n] : rows)
        EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM %1").arg(QString::fromUtf8(table))).toInt(), n) << table;
    expectCases({
        {"months and categories in the materialised view", "SELECT count(*) FROM reporting.monthly_sales", 200},
        {"customers with and without orders", "SELECT least(count(*) FILTER (WHERE n = 0), count(*) FILTER (WHERE n >= 10)) "
                                              "FROM (SELECT (SELECT count(*) FROM sales.orders o WHERE o.customer_id = c.customer_id) AS n "
                                              "FROM sales.customers c) x", 50},
        {"rows in the default partition", "SELECT count(*) FROM inventory.stock_movements_default", 100},
        {"rows in every quarter", "SELECT min(n) FROM (SELECT count(*) AS n FROM inventory.stock_movements "
                                  "GROUP BY date_trunc('quarter', moved_at)) q", 1000},
        {"rows read through the parent of inherited tables", "SELECT count(*) FROM inventory.inspections", 160},
        {"NULLs in nullable columns", "SELECT count(*) FILTER (WHERE email IS NULL) + count(*) FILTER (WHERE \"CustomerNote\" IS NULL) FROM sales.customers", 100},
        {"Japanese text values", "SELECT count(*) FROM hr.\"社員\" WHERE \"氏名\" ~ '^\\S+　\\S+$' AND \"氏名\" ~ '[一-龥]'", 200},
        {"Japanese memos", "SELECT count(*) FROM sales.orders WHERE \"order memo\" ~ '[ぁ-んァ-ン一-龥]'", 1000},
        {"audit rows written by the row trigger", "SELECT count(*) FROM sales.order_audit", 10000},
        {"log rows written by the statement trigger", "SELECT count(*) FROM sales.line_change_log WHERE row_count = 50000", 1},
    });
    // The stored order totals agree with the lines, through the sample's own SQL function.
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM sales.orders WHERE total <> sales.order_total(order_id)")), QStringLiteral("0"));
    // The data is generated, not random: a fixed row reads the same on every load.
    EXPECT_EQ(scalar(QStringLiteral("SELECT \"氏名\" || '/' || \"部署コード\" FROM hr.\"社員\" WHERE \"社員番号\" = 1001")),
              QStringLiteral("中村　彩/100"));
}

#undef SAMPLE_NS

} // namespace
