// The object privilege lines of the role and user editors without a server: lines by kind
// from catalog rows (implicit owner privileges, an emptied access list, grant options,
// privileges outside the kind, quoting and argument qualification), the REVOKE text, and the
// list model under the model tester.
#include "core/kdsub_options.h"
#include "editors/role_objpriv.h"
#include "support/qstring_printer.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <gtest/gtest.h>

namespace {

QStringList Texts(const QList<TObjectPrivilege> &items)
{
    QStringList t;
    for (const TObjectPrivilege &i : items)
        t << i.Text + (i.GrantOption ? QStringLiteral(" *") : QString());
    return t;
}

TObjectPrivilegeRow Row(const QString &kind, const QString &schema, const QString &name, bool owned, bool aclNull,
                        const QString &held = {}, const QString &grantable = {}, const QString &args = {})
{
    TObjectPrivilegeRow r;
    r.Kind = kind;
    r.Schema = schema;
    r.Name = name;
    r.Owned = owned;
    r.AclNull = aclNull;
    r.Held = held.split(',', Qt::SkipEmptyParts);
    r.Grantable = grantable.split(',', Qt::SkipEmptyParts);
    r.ArgTypes = args;
    return r;
}

TEST(RoleObjectPrivileges, LinesByKindFromCatalogRows)
{
    TkdOption::Global().UseLowerName = false;
    struct Case {
        const char *what;
        TObjectPrivilegeRow row;
        QStringList expected;
    };
    const QList<Case> cases = {
        {"owner without access list: every table privilege, none in red",
         Row("TABLE", "s", "t", true, true),
         {"DELETE ON TABLE s.t", "INSERT ON TABLE s.t", "REFERENCES ON TABLE s.t", "SELECT ON TABLE s.t",
          "TRIGGER ON TABLE s.t", "TRUNCATE ON TABLE s.t", "UPDATE ON TABLE s.t"}},
        {"owner of a sequence", Row("SEQUENCE", "s", "q", true, true),
         {"SELECT ON SEQUENCE s.q", "UPDATE ON SEQUENCE s.q", "USAGE ON SEQUENCE s.q"}},
        {"owner of a type", Row("TYPE", "s", "e", true, true), {"USAGE ON TYPE s.e"}},
        {"owner of a function without arguments", Row("FUNCTION", "s", "f", true, true), {"EXECUTE ON FUNCTION s.f()"}},
        {"owner whose access list was emptied holds nothing", Row("TABLE", "s", "t", true, false), {}},
        {"grantee: alphabetical, grant option marked",
         Row("TABLE", "s", "t", false, false, "UPDATE,SELECT,INSERT", "SELECT"),
         {"INSERT ON TABLE s.t", "SELECT ON TABLE s.t *", "UPDATE ON TABLE s.t"}},
        {"owner with an access list takes only what it lists",
         Row("TABLE", "s", "t", true, false, "SELECT", "SELECT"), {"SELECT ON TABLE s.t *"}},
        {"privileges the list does not know are left out",
         Row("TABLE", "s", "t", false, false, "MAINTAIN,SELECT"), {"SELECT ON TABLE s.t"}},
        {"quoted names", Row("TABLE", "Sch\"ema", "日本 Tab", false, false, "SELECT"),
         {"SELECT ON TABLE \"Sch\"\"ema\".\"日本 Tab\""}},
        {"argument types qualified outside pg_catalog and the current schema",
         Row("PROCEDURE", "s", "p", false, false, "EXECUTE", "EXECUTE",
             R"([["pg_catalog","int4"],["cur","t"],["other","Typ"],["pg_catalog","_text"]])"),
         {"EXECUTE ON PROCEDURE s.p(int4,t,other.\"Typ\",_text) *"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Texts(ObjectPrivilegeItems({c.row}, "cur")), c.expected);
    }
}

TEST(RoleObjectPrivileges, RevokeStatementQuotesTheRole)
{
    TkdOption::Global().UseLowerName = false;
    const TObjectPrivilege item{"SELECT ON TABLE s.t", true};
    EXPECT_EQ(ObjectRevokeStatement(item, "u", false), "REVOKE SELECT ON TABLE s.t FROM u");
    EXPECT_EQ(ObjectRevokeStatement(item, "My \"Role\"", true), "REVOKE SELECT ON TABLE s.t FROM \"My \"\"Role\"\"\" CASCADE");
}

TEST(RoleObjectPrivileges, ModelAndListSelection)
{
    TObjectPrivilegeList list;
    QAbstractItemModelTester tester(list.model(), QAbstractItemModelTester::FailureReportingMode::Warning);
    list.SetItems({{"A", false}, {"B", true}, {"C", false}});
    EXPECT_EQ(list.count(), 3);
    const QModelIndex b = list.model()->index(1, 0);
    EXPECT_EQ(b.data().toString(), "B");
    EXPECT_TRUE(b.data(Qt::UserRole).toBool());
    EXPECT_EQ(b.data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    EXPECT_FALSE(list.model()->index(0, 0).data(Qt::ForegroundRole).isValid());
    list.SelectRows({2, 0});
    const QList<TObjectPrivilege> selected = list.SelectedItems();
    ASSERT_EQ(selected.size(), 2);
    EXPECT_EQ(selected.at(0).Text, "A");
    EXPECT_EQ(selected.at(1).Text, "C");
    EXPECT_EQ(list.popRevoke->text(), "取消(&R)");
    // A reload empties the selection.
    list.SetItems({{"X", false}});
    EXPECT_TRUE(list.SelectedItems().isEmpty());
}

} // namespace
