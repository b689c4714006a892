// The reference frame in an editor window against the sandbox server: what an object uses
// and what uses it, the filter buttons, the depth, and opening a node.
#include "controls/kdcomctrls.h"
#include "frames/cross_frame.h"
#include "frames_fixture.h"
#include "support/testdb.h"

#include <QGuiApplication>
#include <QToolButton>
#include <QTest>
#include <gtest/gtest.h>
#include <functional>

namespace {

// "text|code|level" of every node of a tree, depth first.
QStringList Nodes(TkdTreeView *tree)
{
    QStringList out;
    std::function<void(QTreeWidgetItem *, int)> walk = [&](QTreeWidgetItem *item, int level) {
        out << QStringLiteral("%1|%2|%3").arg(item->text(0)).arg(static_cast<TkdTreeNode *>(item)->Data().toInt()).arg(level);
        for (int i = 0; i < item->childCount(); ++i)
            walk(item->child(i), level + 1);
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        walk(tree->topLevelItem(i), 0);
    return out;
}

// Texts of the direct children of the root.
QStringList Children(TkdTreeView *tree)
{
    QStringList out;
    if (tree->topLevelItemCount() == 0)
        return out;
    for (int i = 0; i < tree->topLevelItem(0)->childCount(); ++i)
        out << tree->topLevelItem(0)->child(i)->text(0);
    return out;
}

int MaxLevel(TkdTreeView *tree)
{
    int max = -1;
    for (const QString &n : Nodes(tree))
        max = std::max(max, n.section(u'|', 2).toInt());
    return max;
}

QTreeWidgetItem *FindNode(TkdTreeView *tree, const QString &text)
{
    const auto items = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return items.isEmpty() ? nullptr : items.first();
}

class CrossFrameTest : public testdb::SchemaTest
{
protected:
    void SetUp() override
    {
        testdb::SchemaTest::SetUp();
        ResetFrameOptions();
    }
};

} // namespace

TEST_F(CrossFrameTest, SampleTablesViewsAndSequences)
{
    FakeConnForm conn(testdb::params().sampleDatabase);
    {
        FrameHostForm<TfraCross> host(&conn, 45);
        host.Frame->ShowData(QStringLiteral("sales"), QStringLiteral("orders"));
        const QStringList uses = Children(host.Frame->lstTree1);
        EXPECT_TRUE(uses.contains("sales.orders_order_id_seq")) << uses.join(", ").toStdString();
        const QStringList usedBy = Children(host.Frame->lstTree2);
        EXPECT_TRUE(usedBy.contains("sales.order_summary")) << usedBy.join(", ").toStdString();
        EXPECT_TRUE(usedBy.contains("sales.orders.orders_audit_insert_delete")) << usedBy.join(", ").toStdString();
        // Never its own child.
        EXPECT_FALSE(uses.contains("sales.orders"));
        EXPECT_FALSE(usedBy.contains("sales.orders"));
        EXPECT_EQ(host.Frame->lstTree1->topLevelItem(0)->text(0), "sales.orders");
        EXPECT_TRUE(host.Frame->lstTree2->topLevelItem(0)->isExpanded());
    }
    {
        // A view's uses come through its "_RETURN" rule.
        FrameHostForm<TfraCross> host(&conn, 47);
        host.Frame->ShowData(QStringLiteral("sales"), QStringLiteral("order_summary"));
        QTreeWidgetItem *orders = FindNode(host.Frame->lstTree1, "sales.orders");
        ASSERT_TRUE(orders);
        EXPECT_EQ(orders->parent(), host.Frame->lstTree1->topLevelItem(0));
        EXPECT_EQ(static_cast<TkdTreeNode *>(orders)->Data().toInt(), 45);
    }
    {
        FrameHostForm<TfraCross> host(&conn, 45);
        host.Frame->ShowData(QStringLiteral("経理"), QStringLiteral("請求書"));
        EXPECT_TRUE(Children(host.Frame->lstTree1).contains("経理.請求番号_seq"));
    }
    {
        FrameHostForm<TfraCross> host(&conn, 58);
        host.Frame->ShowData(QStringLiteral("経理"), QStringLiteral("請求番号_seq"));
        EXPECT_TRUE(Children(host.Frame->lstTree2).contains("経理.請求書"));
    }
}

TEST_F(CrossFrameTest, NodesCarryTheirKindsAndOpenFromTheirOwnData)
{
    const QString s = schema();
    exec(QStringLiteral("CREATE TABLE %1.\"a.b(c\" (id serial, v text)").arg(s));
    exec(QStringLiteral("CREATE FUNCTION %1.f(a int4, b text) RETURNS bigint LANGUAGE sql BEGIN ATOMIC "
                        "SELECT count(*) FROM %1.\"a.b(c\"; END").arg(s));
    exec(QStringLiteral("CREATE FUNCTION %1.f(a int8) RETURNS bigint LANGUAGE sql BEGIN ATOMIC "
                        "SELECT count(*) FROM %1.\"a.b(c\"; END").arg(s));
    exec(QStringLiteral("CREATE FUNCTION %1.tg() RETURNS trigger LANGUAGE plpgsql AS 'BEGIN RETURN NEW; END'").arg(s));
    exec(QStringLiteral("CREATE TRIGGER \"Tg.1\" BEFORE INSERT ON %1.\"a.b(c\" FOR EACH ROW EXECUTE FUNCTION %1.tg()").arg(s));
    exec(QStringLiteral("CREATE RULE r1 AS ON DELETE TO %1.\"a.b(c\" DO INSTEAD NOTHING").arg(s));
    exec(QStringLiteral("CREATE VIEW %1.\"v(x)\" AS SELECT id FROM %1.\"a.b(c\"").arg(s));
    exec(QStringLiteral("CREATE INDEX \"ix.v\" ON %1.\"a.b(c\" (v)").arg(s));

    FakeConnForm conn;
    FrameHostForm<TfraCross> host(&conn, 45);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    TfraCross *f = host.Frame;
    f->ShowData(s, QStringLiteral("a.b(c"));
    QCoreApplication::processEvents();
    const QStringList usedBy = Children(f->lstTree2);
    const QStringList expected = {
        s + ".a.b(c_id_seq", // pg_class (ordered by catalog, then text)
        s + ".ix.v",
        s + ".f(int4,text)", // pg_proc
        s + ".f(int8)",
        s + ".a.b(c.r1",     // pg_rewrite
        s + ".v(x)",
        s + ".a.b(c.Tg.1",   // pg_trigger
    };
    EXPECT_EQ(usedBy, expected);

    struct Case { QString text; TOpenObjectCall call; };
    const quint32 oid = scalar(QStringLiteral("SELECT '%1.f(int4,text)'::regprocedure::oid").arg(s)).toUInt();
    const Case cases[] = {
        {s + ".f(int4,text)", {52, s, "f", omDefine, true, 0, oid, ""}},
        {s + ".a.b(c.Tg.1", {57, s, "Tg.1", omDefine, true, 0, 0, "a.b(c"}},
        {s + ".a.b(c.r1", {127, s, "r1", omDefine, true, 0, 0, "a.b(c"}},
        {s + ".v(x)", {47, s, "v(x)", omDefine, true, 0, 0, ""}},
        {s + ".ix.v", {46, s, "ix.v", omDefine, true, 0, 0, ""}},
        {s + ".a.b(c_id_seq", {58, s, "a.b(c_id_seq", omDefine, true, 0, 0, ""}},
    };
    for (const Case &c : cases) {
        QTreeWidgetItem *item = FindNode(f->lstTree2, c.text);
        ASSERT_TRUE(item) << c.text.toStdString();
        f->lstTree2->setCurrentItem(item);
        conn.Opened.clear();
        Q_EMIT f->lstTree2->itemDoubleClicked(item, 0);
        ASSERT_EQ(conn.Opened.size(), 1) << c.text.toStdString();
        EXPECT_EQ(conn.Opened.first(), c.call);
    }
    // The pop-up command acts on the focused tree's node.
    conn.Opened.clear();
    f->lstTree2->setCurrentItem(FindNode(f->lstTree2, s + ".v(x)"));
    f->lstTree2->setFocus();
    f->popOpenClick();
    ASSERT_EQ(conn.Opened.size(), 1);
    EXPECT_EQ(conn.Opened.first().ObjectName, "v(x)");
    // The root and an empty selection open nothing.
    conn.Opened.clear();
    f->lstTree2->setCurrentItem(f->lstTree2->topLevelItem(0));
    f->OpenNode(f->lstTree2);
    f->lstTree2->clearSelection();
    f->OpenNode(f->lstTree2);
    EXPECT_TRUE(conn.Opened.isEmpty());

    // The function's root found by its OID and, without one, by its argument list.
    FrameHostForm<TfraCross> fn(&conn, 52);
    fn.Frame->ShowData(s, QStringLiteral("f"), QString(), QStringLiteral("int4,text"), oid);
    EXPECT_EQ(fn.Frame->lstTree1->topLevelItem(0)->text(0), s + ".f(int4,text)");
    EXPECT_TRUE(Children(fn.Frame->lstTree1).contains(s + ".a.b(c"));
    fn.Frame->ShowData(s, QStringLiteral("f"), QString(), QStringLiteral("int8"));
    EXPECT_TRUE(Children(fn.Frame->lstTree1).contains(s + ".a.b(c"));
    fn.Frame->ShowData(s, QStringLiteral("f"), QString(), QStringLiteral("numeric"));
    EXPECT_EQ(Nodes(fn.Frame->lstTree1).size(), 1); // no match: only the root
}

TEST_F(CrossFrameTest, DepthFiltersAndCyclesStayBounded)
{
    const QString s = schema();
    exec(QStringLiteral("CREATE SEQUENCE %1.seq").arg(s));
    exec(QStringLiteral("CREATE TABLE %1.t (id int DEFAULT nextval('%1.seq'))").arg(s));
    exec(QStringLiteral("ALTER SEQUENCE %1.seq OWNED BY %1.t.id").arg(s));
    exec(QStringLiteral("CREATE VIEW %1.v1 AS SELECT id FROM %1.t").arg(s));
    exec(QStringLiteral("CREATE VIEW %1.v2 AS SELECT id FROM %1.v1").arg(s));
    FakeConnForm conn;
    FrameHostForm<TfraCross> host(&conn, 45);
    TfraCross *f = host.Frame;

    struct Case { int level; int maxDepth; };
    for (const Case c : {Case{1, 1}, Case{2, 2}, Case{3, 3}}) {
        TkdOption::Global().CrossLevel = c.level;
        f->ShowData(s, QStringLiteral("t"));
        EXPECT_EQ(MaxLevel(f->lstTree1), c.maxDepth) << c.level; // t -> seq -> t -> seq ... (a cycle)
        EXPECT_EQ(MaxLevel(f->lstTree2), c.maxDepth) << c.level;
    }
    // A view that uses the view shows in tree 2 and follows its own rule.
    TkdOption::Global().CrossLevel = 3;
    f->ShowData(s, QStringLiteral("t"));
    QTreeWidgetItem *v1 = nullptr;
    for (int i = 0; i < f->lstTree2->topLevelItem(0)->childCount(); ++i)
        if (f->lstTree2->topLevelItem(0)->child(i)->text(0) == s + ".v1")
            v1 = f->lstTree2->topLevelItem(0)->child(i);
    ASSERT_TRUE(v1);
    bool v2Below = false;
    for (int i = 0; i < v1->childCount(); ++i)
        v2Below = v2Below || v1->child(i)->text(0) == s + ".v2";
    EXPECT_TRUE(v2Below) << Nodes(f->lstTree2).join("\n").toStdString();

    // With the TABLE and VIEW buttons up no such node shows, nor anything below one.
    f->btnTree1Table->setChecked(false);
    f->btnTree1View->setChecked(false);
    f->ShowData(s, QStringLiteral("seq"));
    for (TkdTreeView *tree : {f->lstTree1, f->lstTree2})
        for (const QString &n : Nodes(tree).mid(1)) {
            EXPECT_NE(n.section(u'|', 1, 1), "45") << n.toStdString();
            EXPECT_NE(n.section(u'|', 1, 1), "47") << n.toStdString();
        }
    // A missing object gives two roots only.
    f->ShowData(s, QStringLiteral("missing"));
    EXPECT_EQ(Nodes(f->lstTree1).size(), 1);
    EXPECT_EQ(Nodes(f->lstTree2).size(), 1);
}

TEST_F(CrossFrameTest, StatementsPerLevelNotPerNode)
{
    const QString s = schema();
    exec(QStringLiteral("CREATE TABLE %1.t (id int)").arg(s));
    for (int i = 0; i < 30; ++i) {
        exec(QStringLiteral("CREATE VIEW %1.v%2 AS SELECT id FROM %1.t").arg(s).arg(i));
        exec(QStringLiteral("CREATE FUNCTION %1.f%2(a int4, b text) RETURNS bigint LANGUAGE sql BEGIN ATOMIC "
                            "SELECT count(*) FROM %1.t; END").arg(s).arg(i));
    }
    FakeConnForm conn;
    FrameHostForm<TfraCross> host(&conn, 45);
    int statements = 0;
    conn.FDb.setStatementObserver([&](const QString &) { ++statements; });
    TkdOption::Global().CrossLevel = 3;
    host.Frame->ShowData(s, QStringLiteral("t"));
    conn.FDb.setStatementObserver({});
    EXPECT_EQ(Children(host.Frame->lstTree2).size(), 60);
    EXPECT_LE(statements, 1 + 2 * 3 * 3);
}

TEST_F(CrossFrameTest, LostConnectionLeavesEmptyTreesAndPassesTheError)
{
    exec(QStringLiteral("CREATE TABLE %1.t (id int)").arg(schema()));
    FakeConnForm conn;
    FrameHostForm<TfraCross> host(&conn, 45);
    host.Frame->ShowData(schema(), QStringLiteral("t"));
    conn.FDb.close();
    EXPECT_ANY_THROW(host.Frame->ShowData(schema(), QStringLiteral("t")));
    EXPECT_EQ(host.Frame->lstTree1->topLevelItemCount(), 0);
    EXPECT_EQ(host.Frame->lstTree2->topLevelItemCount(), 0);
    EXPECT_TRUE(host.Frame->lstTree1->updatesEnabled());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}
