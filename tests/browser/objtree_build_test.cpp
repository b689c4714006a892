// The nodes of the object tree without a server: orders, schema filters, the restricted
// system schemas and the login schema's place.
#include "browser/objlist.h"
#include "browser/objtree.h"
#include "support/qstring_printer.h"

#include <QLocale>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

QString u(const char *s) { return QString::fromUtf8(s); }

// The tree as text: "root[a(TABLE,INDEX),b]" with the selected node marked by "*".
QString dump(const TObjTreeLayout &L)
{
    std::function<QString(const TObjTreeNode &, QList<int>)> rec = [&](const TObjTreeNode &n, QList<int> path) {
        QString s = n.Text;
        if (path == L.SelectPath)
            s += u'*';
        if (!n.Children.isEmpty()) {
            QStringList parts;
            for (int i = 0; i < n.Children.size(); ++i)
                parts << rec(n.Children.at(i), path + QList<int>{i});
            s += QString(path.isEmpty() ? u'[' : u'(') + parts.join(u',') + QString(path.isEmpty() ? u']' : u')');
        }
        return s;
    };
    return rec(L.Root, {});
}

TObjTreeInput input()
{
    TObjTreeInput in;
    in.Database = u("db");
    in.Schemas = {u("public"), u("Archive"), u("pg_catalog"), u("pg_temp"), u("pg_toast")};
    in.LoginSchema = u("public");
    in.Types = {45, 46};
    return in;
}

TEST(ObjectTreeBuild, OrdersFiltersAndSystemSchemas)
{
    struct Case {
        const char *Name;
        std::function<void(TObjTreeInput &)> Set;
        const char *Tree;
    };
    const Case cases[] = {
        {"schema first", [](TObjTreeInput &) {},
         "db[Archive(TABLE,INDEX),pg_catalog(TABLE,INDEX),pg_temp(TABLE),pg_toast(TABLE,INDEX),public*(TABLE,INDEX)]"},
        {"type first", [](TObjTreeInput &in) { in.Order = TTreeOrder::TypeFirst; },
         "db*[TABLE(Archive,pg_catalog,pg_temp,pg_toast,public),INDEX(Archive,pg_catalog,pg_toast,public)]"},
        {"login schema only", [](TObjTreeInput &in) { in.Disp = 1; }, "db[public*(TABLE,INDEX)]"},
        {"login schema missing", [](TObjTreeInput &in) { in.Disp = 1; in.LoginSchema = u("gone"); }, "db*"},
        {"login schema missing, type first",
         [](TObjTreeInput &in) { in.Disp = 1; in.LoginSchema = u("gone"); in.Order = TTreeOrder::TypeFirst; },
         "db*[TABLE,INDEX]"},
        {"login schema matched with its case", [](TObjTreeInput &in) { in.Disp = 1; in.LoginSchema = u("PUBLIC"); }, "db*"},
        {"stored list ignoring case", [](TObjTreeInput &in) { in.Disp = 2; in.Stored = {u("PUBLIC"), u("archive")}; },
         "db[Archive(TABLE,INDEX),public*(TABLE,INDEX)]"},
        {"empty stored list filters nothing", [](TObjTreeInput &in) { in.Disp = 2; in.Types = {}; },
         "db[Archive,pg_catalog,pg_temp,pg_toast,public*]"},
        {"stored list naming nothing", [](TObjTreeInput &in) { in.Disp = 2; in.Stored = {u("nothing")}; }, "db*"},
        {"no tables: pg_temp childless", [](TObjTreeInput &in) { in.Types = {46}; in.Schemas = {u("pg_temp")}; }, "db*[pg_temp]"},
        {"no tables, type first: pg_temp absent",
         [](TObjTreeInput &in) { in.Types = {46}; in.Schemas = {u("pg_temp"), u("a")}; in.Order = TTreeOrder::TypeFirst; },
         "db*[INDEX(a)]"},
        {"every type off, type first", [](TObjTreeInput &in) { in.Types = {}; in.Order = TTreeOrder::TypeFirst; }, "db*"},
        {"login schema first", [](TObjTreeInput &in) { in.UserFirst = true; in.Types = {}; },
         "db[public*,Archive,pg_catalog,pg_temp,pg_toast]"},
        {"login schema first, missing", [](TObjTreeInput &in) { in.UserFirst = true; in.Types = {}; in.LoginSchema = u("x"); },
         "db*[Archive,pg_catalog,pg_temp,pg_toast,public]"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        TObjTreeInput in = input();
        c.Set(in);
        EXPECT_EQ(dump(BuildObjectTree(in)), u(c.Tree));
    }
}

TEST(ObjectTreeBuild, ImagesOfNodes)
{
    TObjTreeInput in = input();
    in.Schemas = {u("public"), u("other")};
    const TObjTreeLayout schemaFirst = BuildObjectTree(in);
    EXPECT_EQ(schemaFirst.Root.Image, 1);
    EXPECT_EQ(schemaFirst.Root.Children.at(0).Image, 4);   // other
    EXPECT_EQ(schemaFirst.Root.Children.at(1).Image, 126); // login schema
    EXPECT_EQ(schemaFirst.Root.Children.at(1).Children.at(1).Image, 46);
    EXPECT_TRUE(schemaFirst.SelectLoginSchema);
    in.Order = TTreeOrder::TypeFirst;
    const TObjTreeLayout typeFirst = BuildObjectTree(in);
    EXPECT_EQ(typeFirst.Root.Children.at(0).Image, 45);
    EXPECT_EQ(typeFirst.Root.Children.at(0).Children.at(1).Image, 126);
    EXPECT_FALSE(typeFirst.SelectLoginSchema);
}

} // namespace

// The tree's schemas and the list's name column put names in one order, whatever the locale:
// without regard to case first, then exactly.
TEST(ObjectNameOrder, TreeAndListAgreeOnEveryLocale)
{
    const QStringList names{u("ContactHistory"), u("cart_sessions"), u("Zeta"), u("cart"), u("部署"),
                            u("Cart"), u("_x"), u("alpha"), u("社員")};
    const QStringList expected{u("_x"), u("alpha"), u("Cart"), u("cart"), u("cart_sessions"),
                               u("ContactHistory"), u("Zeta"), u("社員"), u("部署")};
    const QLocale saved;
    for (const char *name : {"C", "en_US", "ja_JP", "de_DE", "sv_SE"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
        TObjTreeInput in;
        in.Database = u("db");
        in.Schemas = names;
        in.LoginSchema = u("nobody");
        TObjTreeLayout tree = BuildObjectTree(in);
        QStringList treeOrder;
        for (const TObjTreeNode &n : tree.Root.Children)
            treeOrder << n.Text;
        EXPECT_EQ(treeOrder, expected) << name;

        TObjectListModel model;
        model.SetColumns({TObjListColumn{u("名前"), u("W"), 100, Qt::AlignLeft}});
        std::vector<TObjListRow> rows;
        for (const QString &n : names)
            rows.push_back({n, 45, {}});
        model.AppendRows(std::move(rows));
        for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            model.sort(0, order);
            QStringList listOrder;
            for (int r = 0; r < model.rowCount(); ++r)
                listOrder << model.Row(r).Caption;
            QStringList want = expected;
            if (order == Qt::DescendingOrder)
                std::reverse(want.begin(), want.end());
            EXPECT_EQ(listOrder, want) << name << int(order);
        }
    }
    QLocale::setDefault(saved);
}
