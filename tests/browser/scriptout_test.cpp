// File rules of the script output: where each script and its privileges go in both tree
// orders, hostile names kept inside the folder, the folder normalisation and the name-table
// test query.
#include "browser/scriptout.h"
#include "support/qstring_printer.h"

#include <gtest/gtest.h>

namespace {

QString u(const char *s) { return QString::fromUtf8(s); }

TScriptPlan Plan(bool dir, bool typesFirst, bool grant = false, int grantMode = 0, bool one = false)
{
    TScriptPlan p;
    p.Path = one ? u("/out/all.sql") : u("/out/");
    p.Dir = dir;
    p.TypesFirst = typesFirst;
    p.Grant = grant;
    p.GrantMode = grantMode;
    p.OneScript = one;
    return p;
}

TEST(ScriptOutputFiles, ScriptAndGrantPaths)
{
    struct Case {
        TScriptPlan P;
        const char *Script;
        const char *Grant;
    };
    const Case cases[] = {
        {Plan(false, false), "/out/t.SQL", ""},
        {Plan(true, false), "/out/s/TABLE/t.SQL", ""},
        {Plan(true, true), "/out/TABLE/s/t.SQL", ""},
        {Plan(false, false, true, 0), "/out/t.SQL", ""},
        {Plan(false, false, true, 1), "/out/t.SQL", "/out/s/GRANT/t.SQL"},
        {Plan(true, true, true, 1), "/out/TABLE/s/t.SQL", "/out/GRANT/s/t.SQL"},
        {Plan(false, false, true, 2), "/out/t.SQL", "/out/_GRANT.SQL"},
        {Plan(true, false, true, 2), "/out/s/TABLE/t.SQL", "/out/s/_GRANT.SQL"},
        {Plan(true, true, true, 2), "/out/TABLE/s/t.SQL", "/out/TABLE/_GRANT.SQL"},
        {Plan(true, true, true, 2, true), "/out/all.sql", ""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ScriptFilePath(c.P, u("s"), u("TABLE"), u("t.SQL")), u(c.Script)) << c.Script;
        EXPECT_EQ(GrantFilePath(c.P, u("s"), u("TABLE"), u("t.SQL")), u(c.Grant)) << c.Grant;
    }
}

TEST(ScriptOutputFiles, HostileNamesStayInsideTheFolder)
{
    const char *const names[] = {"..", ".", "../../etc/passwd", "a/b", "a\\b", "名前 \"x\"", ""};
    for (const char *n : names) {
        for (const char *schema : {"..", "s/../..", "public"}) {
            const QString file = ScriptFileName(u(n), QString());
            const QString path = ScriptFilePath(Plan(true, false), u(schema), u("TABLE"), file);
            ASSERT_TRUE(path.startsWith(u("/out/"))) << path.toStdString();
            const QStringList parts = path.mid(5).split(u'/');
            EXPECT_EQ(parts.size(), 3) << path.toStdString();
            for (const QString &part : parts)
                EXPECT_TRUE(part != u("..") && part != u(".") && !part.isEmpty()) << path.toStdString();
        }
    }
    // a name table's script name is used whole, extension included, but made safe
    EXPECT_EQ(ScriptFileName(u("t"), u("t_create.ddl")), u("t_create.ddl"));
    EXPECT_FALSE(ScriptFileName(u("t"), u("../x.sql")).contains(QLatin1Char('/')));
}

TEST(ScriptOutputFiles, FolderAndNameTableQuery)
{
    EXPECT_EQ(NormalizeScriptFolder(u(" /tmp/x ")), u("/tmp/x/"));
    EXPECT_EQ(NormalizeScriptFolder(u("C:\\out")), u("C:/out/"));
    EXPECT_EQ(NormalizeScriptFolder(u("/tmp/x/")), u("/tmp/x/"));
    EXPECT_EQ(NormalizeScriptFolder(u("  ")), QString());
    // a one-part name is quoted too; no rows are read
    EXPECT_EQ(NameTableTestSQL(u("Names")),
              u(" SELECT owner, object_name, object_type, script_name FROM   \"Names\" LIMIT 0"));
    EXPECT_EQ(NameTableTestSQL(u("s.names")),
              u(" SELECT owner, object_name, object_type, script_name FROM   s.names LIMIT 0"));
}

} // namespace
