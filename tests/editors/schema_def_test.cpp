// The schema editor's access-list reading and DDL text without a window or server: NULL
// lists, PUBLIC, grant options, items granted by a role other than the owner, the CREATE
// text of the example schema, the order of owner change and PUBLIC revoke, and the removed
// grant option as REVOKE then GRANT.
#include "core/kdsub_options.h"
#include "editors/privilege_list.h"
#include "editors/schema_def.h"
#include "support/qstring_printer.h"
#include "editors/qstring_stream.h"

#include <gtest/gtest.h>

namespace {

class SchemaDefTest : public ::testing::Test
{
protected:
    void SetUp() override { TkdOption::Global().UseLowerName = false; }
    void TearDown() override { TkdOption::Global().UseLowerName = false; }
};

TEST_F(SchemaDefTest, AccessListsAreReadWithTheirOwnGrantor)
{
    struct Case {
        const char *what;
        bool aclNull;
        QStringList items;
        bool publicCreate, publicUsage;
        QMap<QString, TSchemaGrant> grants;
    };
    const QList<Case> cases = {
        {"NULL list: the owner's defaults", true, {}, false, false, {{"o", {true, false, true, false}}}},
        {"empty list: nothing", false, {}, false, false, {}},
        {"PUBLIC usage only", false, {"o=UC/o", "=U/o"}, false, true, {{"o", {true, false, true, false}}}},
        {"dev with U*C", false, {"dev=U*C/o"}, false, false, {{"dev", {true, false, true, true}}}},
        {"granted by another role", false, {"u2=C*/dev", "\"Odd Role\"=U/u2"}, false, false,
         {{"u2", {true, true, false, false}}, {"Odd Role", {false, false, true, false}}}},
        {"two grantors add up", false, {"u=U/o", "u=C*/dev"}, false, false, {{"u", {true, true, true, false}}}},
        {"PG15 public schema", false, {"pg_database_owner=UC/pg_database_owner", "=U/pg_database_owner"}, false, true,
         {{"pg_database_owner", {true, false, true, false}}}},
    };
    for (const Case &c : cases) {
        TSchemaDef d;
        d.Owner = "o";
        ApplySchemaAcl(d, c.aclNull, c.items);
        EXPECT_EQ(d.PublicCreate, c.publicCreate) << c.what;
        EXPECT_EQ(d.PublicUsage, c.publicUsage) << c.what;
        EXPECT_EQ(d.Grants, c.grants) << c.what;
    }
    const QList<TAclEntry> acl = ReadAcl({"u2=C*/dev"});
    ASSERT_EQ(acl.size(), 1);
    EXPECT_EQ(acl[0].Grantor, "dev");
}

TEST_F(SchemaDefTest, CreateTextOfTheExample)
{
    TSchemaDef d;
    d.Owner = "alice";
    d.PublicUsage = true;
    d.Grants["dev"] = {true, true, false, false};
    const QStringList order = {"dev", "zed", "alice"};
    EXPECT_EQ(SchemaCreateLines(d, "sales", order),
              QStringList({"CREATE SCHEMA sales", "AUTHORIZATION alice", ";", "GRANT USAGE ON SCHEMA sales TO public", ";",
                           "GRANT CREATE ON SCHEMA sales TO dev WITH GRANT OPTION", ";"}));
    TkdOption::Global().UseLowerName = true;
    EXPECT_EQ(SchemaCreateLines(d, "sales", order),
              QStringList({"CREATE SCHEMA \"sales\"", "AUTHORIZATION \"alice\"", ";",
                           "GRANT USAGE ON SCHEMA \"sales\" TO \"public\"", ";",
                           "GRANT CREATE ON SCHEMA \"sales\" TO \"dev\" WITH GRANT OPTION", ";"}));
}

TEST_F(SchemaDefTest, CreateTextRevokesWhatTheOwnerGaveUp)
{
    struct Case {
        bool aclNull;
        QStringList items;
        QStringList revokes;
    };
    const QList<Case> cases = {
        {true, {}, {}},
        {false, {"o=UC/o"}, {}},
        {false, {}, {"REVOKE CREATE ON SCHEMA s FROM o", ";", "REVOKE USAGE ON SCHEMA s FROM o", ";"}},
        {false, {"o=U/o", "=U/o"}, {"REVOKE CREATE ON SCHEMA s FROM o", ";", "GRANT USAGE ON SCHEMA s TO public", ";"}},
    };
    for (const Case &c : cases) {
        TSchemaDef d;
        d.Owner = "o";
        ApplySchemaAcl(d, c.aclNull, c.items);
        const QStringList lines = SchemaCreateLines(d, "s", {});
        QStringList expected = {"CREATE SCHEMA s", "AUTHORIZATION o", ";"};
        expected += c.revokes;
        if (c.aclNull || c.items.size() == 1 && c.items[0] == "o=UC/o")
            expected.clear(), expected << "CREATE SCHEMA s" << "AUTHORIZATION o" << ";";
        EXPECT_EQ(lines, expected) << c.items.join(",");
    }
}

TEST_F(SchemaDefTest, AlterTextOfChanges)
{
    TSchemaDef saved;
    saved.Owner = "o";
    saved.PublicCreate = true;
    saved.Grants["dev"] = {true, true, true, false};
    const QStringList order = {"dev", "u"};
    struct Case {
        const char *what;
        std::function<void(TSchemaDef &)> change;
        QStringList expected;
    };
    const QList<Case> cases = {
        {"nothing", [](TSchemaDef &) {}, {}},
        {"owner change comes before the PUBLIC revoke",
         [](TSchemaDef &d) {
             d.Owner = "u";
             d.PublicCreate = false;
         },
         {"ALTER SCHEMA s", "OWNER TO u", ";", "REVOKE CREATE ON SCHEMA s FROM public", ";"}},
        {"grant option removed: REVOKE then GRANT",
         [](TSchemaDef &d) { d.Grants["dev"].CreateGrant = false; },
         {"REVOKE CREATE ON SCHEMA s FROM dev", ";", "GRANT CREATE ON SCHEMA s TO dev", ";"}},
        {"grant option added: GRANT only",
         [](TSchemaDef &d) { d.Grants["dev"].UsageGrant = true; },
         {"GRANT USAGE ON SCHEMA s TO dev WITH GRANT OPTION", ";"}},
        {"privilege revoked with its grant option",
         [](TSchemaDef &d) { d.Grants["dev"] = {false, false, true, false}; },
         {"REVOKE CREATE ON SCHEMA s FROM dev", ";"}},
        {"new grantee and PUBLIC usage",
         [](TSchemaDef &d) {
             d.Grants["u"] = {false, false, true, false};
             d.PublicUsage = true;
         },
         {"GRANT USAGE ON SCHEMA s TO public", ";", "GRANT USAGE ON SCHEMA s TO u", ";"}},
    };
    for (const Case &c : cases) {
        TSchemaDef now = saved;
        c.change(now);
        EXPECT_EQ(SchemaAlterLines(saved, now, "s", order), c.expected) << c.what;
    }
    EXPECT_EQ(SchemaDropStatement("My Schema", true), "DROP SCHEMA \"My Schema\" CASCADE");
    EXPECT_EQ(SchemaDropLines("s"), QStringList({"DROP SCHEMA s", ";"}));
}

TEST_F(SchemaDefTest, PrivilegeLinesMatchWholeRoleNames)
{
    TPrivilegeList list({" [CREATE]", " [USAGE] "});
    list.SetRoles({"dev", "dev2", "u"});
    ASSERT_EQ(list.count(), 6);
    EXPECT_EQ(list.item(2)->text(), "dev2 [CREATE]");
    EXPECT_EQ(list.item(3)->text(), "dev2 [USAGE] ");
    EXPECT_EQ(list.LineOf("dev2", 0), 2);
    EXPECT_EQ(list.LineOf("de", 0), -1);
    EXPECT_EQ(list.RoleOfLine(5), "u");
    EXPECT_EQ(list.RoleOfLine(6), "");
}

} // namespace
