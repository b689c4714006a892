// The role text pieces that need no server: clear-text PASSWORD literals of a source text
// become verifiers (only where PASSWORD is the keyword before a literal, never inside
// dollar-quoted bodies, comments or identifiers), the bare PASSWORD line test, connection
// limit texts, and the ALTER text of membership and schema privilege changes.
#include "editors/role_def.h"
#include "support/qstring_printer.h"

#include <gtest/gtest.h>

namespace {

QString Fake(const QString &pw)
{
    return QStringLiteral("SCRAM-SHA-256$X:") + pw;
}

TEST(RoleDef, PasswordLiteralsBecomeVerifiers)
{
    struct Case {
        QString source, expected;
    };
    const QList<Case> cases = {
        {"CREATE USER u\nPASSWORD 'secret'\n;", "CREATE USER u\nPASSWORD 'SCRAM-SHA-256$X:secret'\n;"},
        {"ALTER USER u password  'it''s'", "ALTER USER u password  'SCRAM-SHA-256$X:it''s'"},
        {"PASSWORD 'a\\b c 日本'", "PASSWORD E'SCRAM-SHA-256$X:a\\\\b c 日本'"},
        // Verifiers already in the text stay as they are.
        {"PASSWORD 'SCRAM-SHA-256$4096:abc'", "PASSWORD 'SCRAM-SHA-256$4096:abc'"},
        {"PASSWORD 'md50123456789abcdef0123456789abcdef'", "PASSWORD 'md50123456789abcdef0123456789abcdef'"},
        // Not the keyword: other literals, comments, identifiers and dollar bodies.
        {"COMMENT ON ROLE u IS 'PASSWORD ''x'''", "COMMENT ON ROLE u IS 'PASSWORD ''x'''"},
        {"-- PASSWORD 'x'\nSELECT 1", "-- PASSWORD 'x'\nSELECT 1"},
        {"/* PASSWORD 'x' */", "/* PASSWORD 'x' */"},
        {"SELECT \"PASSWORD\" 'x'", "SELECT \"PASSWORD\" 'x'"},
        {"DO $b$ BEGIN PERFORM 'PASSWORD ''x'''; END $b$", "DO $b$ BEGIN PERFORM 'PASSWORD ''x'''; END $b$"},
        {"SELECT my_password 'x'", "SELECT my_password 'x'"},
        {"PASSWORD NULL", "PASSWORD NULL"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(EncryptPasswordLiterals(c.source, Fake), c.expected) << c.source.toStdString();
}

TEST(RoleDef, BarePasswordLine)
{
    EXPECT_TRUE(HasBarePasswordLine("CREATE USER u\nPASSWORD\n;"));
    EXPECT_TRUE(HasBarePasswordLine("CREATE USER u\n  PASSWORD  ;"));
    EXPECT_FALSE(HasBarePasswordLine("CREATE USER u\nPASSWORD 'x'\n;"));
    EXPECT_FALSE(HasBarePasswordLine("CREATE USER u\n;"));
}

TEST(RoleDef, ConnectionLimitTexts)
{
    struct Case {
        QString in;
        bool ok;
        QString out;
    };
    for (const Case &c : QList<Case>{{"-", true, "-1"}, {" 5 ", true, "5"}, {"", true, ""}, {"-1", true, "-1"},
                                     {"2.5", false, "2.5"}, {"1e3", false, "1e3"}, {"99999999999", false, "99999999999"}}) {
        QString t = c.in;
        EXPECT_EQ(NormalizeConnLimit(t), c.ok) << c.in.toStdString();
        if (c.ok) {
            EXPECT_EQ(t, c.out) << c.in.toStdString();
        }
    }
}

TEST(RoleDef, AlterTextOfMembershipsAndSchemas)
{
    TRoleDef saved;
    saved.MemberOf = {{"g1", true}, {"g2", false}};
    saved.Schemas["s"] = TSchemaGrant{true, true, true, false};
    TRoleDef now = saved;
    now.MemberOf["g1"] = false;   // admin option removed
    now.MemberOf["g3"] = true;    // new with admin option
    now.MemberOf.remove("g2");    // membership removed
    now.Schemas["s"] = TSchemaGrant{true, false, true, true};
    TRoleText t;
    t.GroupOrder = {"g1", "g2", "g3"};
    t.SchemaOrder = {"s"};
    EXPECT_EQ(RoleAlterLines(saved, now, "u", t).join("\n"),
              QStringLiteral("REVOKE g1 FROM u\n;\nGRANT g1 TO u\n;\n"
                             "REVOKE g2 FROM u\n;\n"
                             "GRANT g3 TO u WITH ADMIN OPTION\n;\n"
                             "REVOKE CREATE ON SCHEMA s FROM u\n;\nGRANT CREATE ON SCHEMA s TO u\n;\n"
                             "GRANT USAGE ON SCHEMA s TO u WITH GRANT OPTION\n;"));
    EXPECT_TRUE(RoleAlterLines(saved, saved, "u", t).isEmpty());
}

TEST(RoleDef, CreateTextKeepsEveryAttribute)
{
    TRoleDef d;
    d.Login = true;
    d.BypassRls = true;
    d.ConnLimit = "3";
    d.ValidUntil = "2030-01-02 03:04:05";
    d.Comment = "it's";
    d.Settings = {"work_mem=8MB"};
    d.MemberOf = {{"g", true}};
    d.Members = {{"m", false}};
    TRoleText t;
    t.Keyword = "USER";
    t.PasswordVerifier = "SCRAM-SHA-256$v";
    const QString text = RoleCreateLines(d, "U x", t).join("\n");
    for (const char *part : {"CREATE USER \"U x\"", "BYPASSRLS", "PASSWORD 'SCRAM-SHA-256$v'",
                             "VALID UNTIL '2030-01-02 03:04:05'", "CONNECTION LIMIT 3",
                             "COMMENT ON ROLE \"U x\" IS 'it''s'", "ALTER USER \"U x\" SET work_mem TO '8MB'",
                             "GRANT g TO \"U x\" WITH ADMIN OPTION", "GRANT \"U x\" TO m\n"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(part))) << part << "\n" << text.toStdString();
}

} // namespace
