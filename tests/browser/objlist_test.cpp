// The object tree and list on the sandbox server: both tree orders and the schema filter on
// the sample database, every kind's list with checked values, the all-types list, the find
// box and its history, column widths per layout, sorting, Esc, quoted and Japanese names,
// and the faults the list guards against (sequence values, trigger words in names,
// database names with quotes, internal triggers, partitioned tables).
#include "browser/objlist.h"
#include "browser/objtree.h"
#include "controls/kdcomctrls.h"
#include "controls/kdstdctl.h"
#include "core/kdsub_service.h"
#include "browser/objbrowser_fixture.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

QString u(const char *s) { return QString::fromUtf8(s); }

// A tree and a list side by side in one window, as the connection window holds them.
class Browser {
public:
    Browser(const QString &Database, const QString &Login)
        : Conn(Database, Login), Tree(&Conn, &Window), List(&Conn, &Window)
    {
        Tree.GetSchemaInfo = [this](QStringList &l) { l = TreeSchemaNames(*Conn.dbsMain()); };
        Window.resize(900, 600);
    }
    // Selects the node at Path (texts below the root) and fills the list for it.
    void Show(const QStringList &Path, bool IsGrep = false)
    {
        QTreeWidgetItem *item = Tree.lstTree->topLevelItem(0);
        for (const QString &t : Path) {
            QTreeWidgetItem *next = nullptr;
            for (int i = 0; item && i < item->childCount(); ++i)
                if (item->child(i)->text(0) == t)
                    next = item->child(i);
            ASSERT_NE(next, nullptr) << t.toStdString();
            item = next;
        }
        Tree.lstTree->setCurrentItem(item);
        List.ShowObject(IsGrep, Tree.Selection(), Tree.Disp());
    }
    TObjectListModel &Model() { return *List.lstObject->Model(); }
    // The row of a name (and schema when given); -1 when absent.
    int Find(const QString &Name, const QString &Schema = QString())
    {
        for (int r = 0; r < Model().rowCount(); ++r)
            if (Model().Row(r).Caption == Name && (Schema.isEmpty() || Model().SubItem(r, 0) == Schema))
                return r;
        return -1;
    }
    QStringList Names()
    {
        QStringList n;
        for (int r = 0; r < Model().rowCount(); ++r)
            n << Model().Row(r).Caption;
        return n;
    }

    TestConnServices Conn;
    QWidget Window;
    TObjectTreePane Tree;
    TObjectListPane List;
};

class SampleBrowserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetOptionsToDefaults();
        B = std::make_unique<Browser>(testdb::params().sampleDatabase, u("sales"));
        B->Tree.ShowTree();
    }
    void TearDown() override { B.reset(); }
    TkdOption &Opt() { return TkdOption::Global(); }
    std::unique_ptr<Browser> B;
};

QStringList childTexts(QTreeWidgetItem *item)
{
    QStringList t;
    for (int i = 0; i < item->childCount(); ++i)
        t << item->child(i)->text(0);
    return t;
}

TEST_F(SampleBrowserTest, TreeOrdersAndSchemaFilter)
{
    QTreeWidgetItem *root = B->Tree.lstTree->topLevelItem(0);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->text(0), testdb::params().sampleDatabase);
    const QStringList schemas = childTexts(root);
    for (const char *s : {"Archive", "hr", "inventory", "pg_catalog", "pg_toast", "public", "reporting", "sales", "経理"})
        EXPECT_TRUE(schemas.contains(u(s))) << s;
    // sorted ignoring case; the login schema selected and expanded with its nine types
    EXPECT_LT(schemas.indexOf(u("Archive")), schemas.indexOf(u("hr")));
    QTreeWidgetItem *sales = B->Tree.lstTree->currentItem();
    ASSERT_NE(sales, nullptr);
    EXPECT_EQ(sales->text(0), u("sales"));
    EXPECT_TRUE(sales->isExpanded());
    EXPECT_EQ(childTexts(sales), (QStringList{u("TABLE"), u("INDEX"), u("VIEW"), u("FUNCTION"), u("TYPE"),
                                              u("TRIGGER"), u("SEQUENCE"), u("CONSTRAINT"), u("RULE")}));
    EXPECT_EQ(childTexts(root->child(schemas.indexOf(u("pg_toast")))), (QStringList{u("TABLE"), u("INDEX")}));
    EXPECT_EQ(static_cast<TkdTreeNode *>(sales)->Data().toInt(), 126);

    // type first: the root is selected, each type lists the schemas
    B->Tree.btnTree2->click();
    EXPECT_EQ(Opt().TreeSort, 1);
    root = B->Tree.lstTree->topLevelItem(0);
    EXPECT_EQ(B->Tree.lstTree->currentItem(), root);
    EXPECT_EQ(root->child(0)->text(0), u("TABLE"));
    EXPECT_TRUE(childTexts(root->child(0)).contains(u("経理")));
    EXPECT_EQ(B->Tree.btnLevel1->toolTip(), u("オブジェクトタイプ選択時にオブジェクト一覧を表示する"));

    // the login schema only
    B->Tree.cmbTree->setCurrentIndex(1);
    Q_EMIT B->Tree.cmbTree->activated(1);
    EXPECT_EQ(B->Tree.Disp(), 1);
    EXPECT_EQ(childTexts(B->Tree.lstTree->topLevelItem(0)->child(0)), QStringList{u("sales")});

    // the stored schemas, matched ignoring case; a cancelled dialog changes nothing
    WriteStoredSchemas(testdb::params().sampleDatabase, {u("HR"), u("経理")});
    B->Tree.ShowSchemaFilter = [] { return false; };
    Q_EMIT B->Tree.cmbTree->activated(2);
    EXPECT_EQ(B->Tree.Disp(), 1);
    EXPECT_EQ(B->Tree.cmbTree->currentIndex(), 1);
    B->Tree.ShowSchemaFilter = [] { return true; };
    B->Tree.btnTree1->click();
    Q_EMIT B->Tree.cmbTree->activated(2);
    EXPECT_EQ(B->Tree.Disp(), 2);
    EXPECT_EQ(childTexts(B->Tree.lstTree->topLevelItem(0)), (QStringList{u("hr"), u("経理")}));
    // the all-types list of the root follows the stored schemas
    B->Show({});
    ASSERT_GT(B->Model().rowCount(), 0);
    for (int r = 0; r < B->Model().rowCount(); ++r)
        EXPECT_TRUE(B->Model().SubItem(r, 0) == u("hr") || B->Model().SubItem(r, 0) == u("経理"));
}

TEST_F(SampleBrowserTest, SelectionChangeIsReportedAfterTheDelay)
{
    QSignalSpy spy(&B->Tree, &TObjectTreePane::TreeChange);
    EXPECT_EQ(spy.count(), 0); // building the tree reports nothing
    QTreeWidgetItem *root = B->Tree.lstTree->topLevelItem(0);
    B->Tree.lstTree->setCurrentItem(root);
    B->Tree.lstTree->setCurrentItem(root->child(0));
    EXPECT_EQ(spy.count(), 0);
    EXPECT_TRUE(spy.wait(1000));
    EXPECT_EQ(spy.count(), 1); // one report for the settled selection
    const TTreeSelection s = B->Tree.Selection();
    EXPECT_EQ(s.Level, 1);
    EXPECT_EQ(s.Text, root->child(0)->text(0));
}

// Expected sub-items of one row: position and text.
struct Expect {
    const char *Name;
    const char *Schema;
    std::vector<std::pair<int, QString>> Sub;
};

TEST_F(SampleBrowserTest, DetailListsOfEveryKind)
{
    Opt().TreeData = true;
    testdb::ConnPtr pg = testdb::connect(testdb::params().sampleDatabase);
    auto oid = [&](const char *sql) { return testdb::scalar(pg.get(), u(sql)); };
    const QString ordersKB = SizeInKBText(QString::number(
        oid("SELECT relpages FROM pg_class WHERE oid = 'sales.orders'::regclass").toLongLong() * 8192));

    struct Case { QStringList Path; std::vector<Expect> Rows; const char *Absent; };
    const std::vector<Case> cases = {
        {{u("sales"), u("TABLE")},
         {{"orders", "sales", {{1, u("TABLE")}, {2, oid("SELECT 'sales.orders'::regclass::oid")}, {3, u("pg_default")},
                               {4, ordersKB}, {5, u("○")}, {6, u("○")}, {7, u("－")}, {8, u("－")}, {9, u("vantor")}, {10, u("受注")}}},
          {"order_audit", "sales", {{6, u("－")}, {7, u("○")}}},
          {"ContactHistory", "sales", {{10, u("顧客への連絡履歴（大文字小文字を区別する表名）")}}}},
         "order_summary"},
        {{u("inventory"), u("TABLE")},
         {{"stock_movements", "inventory", {{1, u("TABLE")}}}, // partitioned
          {"inspections", "inventory", {{8, u("○")}}}},
         nullptr},
        {{u("sales"), u("INDEX")},
         {{"orders_pkey", "sales", {{1, u("INDEX")}, {3, u("pg_default")}, {5, u("orders")}, {6, u("sales")}}}},
         nullptr},
        {{u("hr"), u("VIEW")},
         {{"employee_directory", "hr", {{1, u("VIEW")}, {2, oid("SELECT 'hr.employee_directory'::regclass::oid")}, {3, u("vantor")}, {4, u("社員名簿（在籍者のみ）")}}},
          {"部署別人数", "hr", {{1, u("VIEW")}}}},
         nullptr},
        {{u("sales"), u("FUNCTION")},
         {{"customer_stats", "sales", {{1, u("FUNCTION")}, {3, u("int4,int8,numeric,date")}, {4, u("record")}, {12, u("\"int4\"")}}},
          {"join_codes", "sales", {{3, u("text,_text")}, {12, u("\"text\",\"_text\"")}}},
          {"normalize_range", "sales", {{12, u("\"numeric\",\"numeric\"")}}}},
         nullptr},
        {{u("sales"), u("TYPE")},
         {{"order_status", "sales", {{1, u("TYPE")}, {3, u("e")}, {8, oid("SELECT 'sales.order_status'::regtype::oid")}, {13, u("e")}}},
          {"address", "sales", {{3, u("c")}}}},
         nullptr},
        {{u("sales"), u("TRIGGER")},
         {{"orders_audit_insert_delete", "sales", {{1, u("TRIGGER")}, {3, u("orders")}, {4, u("sales")}, {5, u("AFTER")}, {6, u("INSERT, DELETE")}, {7, u("sales")}, {8, u("log_order_change")}, {11, u("orders")}}},
          {"orders_audit_status", "sales", {{5, u("AFTER")}, {6, u("UPDATE")}}},
          {"order_lines_log_change", "sales", {{6, u("UPDATE, DELETE, TRUNCATE")}}},
          {"order_summary_cancel", "sales", {{5, u("INSTEAD")}, {6, u("DELETE")}}}},
         nullptr},
        {{u("sales"), u("RULE")},
         {{"order_audit_no_delete", "sales", {{1, u("RULE")}, {3, u("order_audit")}, {5, u("DELETE")}, {6, u("INSTEAD")}, {7, u("Origin")}, {11, u("order_audit")}}},
          {"顧客ランク変更", "sales", {{5, u("UPDATE")}, {6, u("ALSO")}}}},
         nullptr},
        {{u("sales"), u("SEQUENCE")},
         {{"ticket_no_seq", "sales", {{1, u("SEQUENCE")}, {3, u("100")}, {4, u("100")}, {5, u("999990")}, {6, u("10")}, {7, u("YES")}, {8, u("5")}, {10, u("問い合わせ番号（循環する独立シーケンス）")}}}},
         nullptr},
        {{u("Archive"), u("SEQUENCE")},
         {{"Legacy Counter", "Archive", {{3, u("-1")}, {4, u("-1000000")}, {5, u("-1")}, {6, u("-1")}, {7, u("NO")}}}},
         nullptr},
        {{u("sales"), u("CONSTRAINT")},
         {{"orders_pkey", "sales", {{1, u("CONSTRAINT")}, {3, u("P")}, {4, u("orders")}, {5, u("sales")}, {11, u("orders")}}},
          {"price_history_no_overlap", "sales", {{3, u("X")}}},
          {"email_address_check", "sales", {{3, u("C")}, {4, QString()}}}},
         nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Path.join(u"/").toStdString());
        B->Show(c.Path);
        EXPECT_EQ(B->List.ViewType(), c.Path.last());
        EXPECT_EQ(B->Model().columnCount(), ObjectListColumns(c.Path.last(), true).size());
        for (const Expect &e : c.Rows) {
            const int r = B->Find(u(e.Name), u(e.Schema));
            ASSERT_GE(r, 0) << e.Name;
            EXPECT_EQ(B->Model().Row(r).ImageIndex, ObjectTypeOfName(c.Path.last()));
            for (const auto &[pos, text] : e.Sub)
                EXPECT_EQ(B->Model().SubItem(r, pos), text) << e.Name << " sub-item " << pos;
        }
        if (c.Absent) {
            EXPECT_EQ(B->Find(u(c.Absent)), -1);
        }
    }
    // no trigger the server made for itself (foreign keys) anywhere
    B->Show({});
    for (const QString &n : B->Names())
        EXPECT_FALSE(n.startsWith(u("RI_ConstraintTrigger"))) << n.toStdString();
}

TEST_F(SampleBrowserTest, PlainAndAllTypesListsKeepTheSubItemContract)
{
    QAbstractItemModelTester tester(&B->Model(), QAbstractItemModelTester::FailureReportingMode::Warning);
    B->Show({u("sales"), u("FUNCTION")});
    EXPECT_EQ(B->List.ViewType(), u("SOURCE"));
    EXPECT_EQ(B->List.TreeDispState(), u("FUNCTION"));
    int r = B->Find(u("customer_stats"));
    ASSERT_GE(r, 0);
    EXPECT_EQ(B->Model().SubItem(r, 2), u("int4,int8,numeric,date"));
    testdb::ConnPtr pg = testdb::connect(testdb::params().sampleDatabase);
    const QString statsOid = testdb::scalar(pg.get(), u("SELECT 'sales.customer_stats'::regproc::oid"));
    EXPECT_EQ(B->Model().SubItem(r, 8), statsOid);

    // the sales schema node lists every kind in one list
    B->Show({u("sales")});
    EXPECT_EQ(B->List.TreeDispState(), u("%"));
    EXPECT_EQ(B->Model().columnCount(), 8);
    QSet<int> kinds;
    for (int i = 0; i < B->Model().rowCount(); ++i)
        kinds.insert(B->Model().Row(i).ImageIndex);
    EXPECT_EQ(kinds, (QSet<int>{45, 46, 47, 52, 55, 57, 58, 66, 127}));
    r = B->Find(u("customer_stats"));
    EXPECT_EQ(B->Model().SubItem(r, 3), u("int4,int8,numeric,date"));
    EXPECT_EQ(B->Model().SubItem(r, 8), statsOid);
    EXPECT_EQ(B->Model().SubItem(r, 12), u("\"int4\""));
    r = B->Find(u("orders_audit_status"));
    EXPECT_EQ(B->Model().SubItem(r, 2), u("orders"));
    EXPECT_EQ(B->Model().SubItem(r, 11), u("orders"));
    r = B->Find(u("order_status"));
    EXPECT_EQ(B->Model().SubItem(r, 13), u("e"));

    // with TreeData the OID column shows
    Opt().TreeData = true;
    B->Show({u("sales")});
    EXPECT_EQ(B->Model().columnCount(), 9);
    r = B->Find(u("orders"), u("sales"));
    EXPECT_EQ(B->Model().SubItem(r, 2), testdb::scalar(pg.get(), u("SELECT 'sales.orders'::regclass::oid")));

    // level buttons off: root and level-1 nodes leave the list empty
    B->Tree.btnLevel1->click();
    EXPECT_FALSE(Opt().ShowLevel1);
    B->Show({u("sales")});
    EXPECT_EQ(B->Model().rowCount(), 0);
    EXPECT_EQ(B->Model().columnCount(), 0);
    B->Tree.btnLevel0->click();
    B->Show({});
    EXPECT_EQ(B->Model().rowCount(), 0);
}

TEST_F(SampleBrowserTest, FindBoxAndHistory)
{
    B->List.cmbFind->setEditText(u("order"));
    B->Show({u("sales"), u("TABLE")});
    EXPECT_EQ(B->Names().size(), 3); // orders, order_lines, order_audit
    for (const QString &n : B->Names())
        EXPECT_TRUE(n.contains(u("order")));
    B->List.cmbFind->setEditText(u("cust%"));
    B->Show({u("sales"), u("TABLE")});
    EXPECT_EQ(B->Names(), QStringList{u("customers")});
    B->List.cmbFind->setEditText(u("order"));
    B->Show({u("sales"), u("TABLE")});
    QStringList items;
    for (int i = 0; i < B->List.cmbFind->count(); ++i)
        items << B->List.cmbFind->itemText(i);
    EXPECT_EQ(items, (QStringList{u("order"), u("cust%")}));
    QStringList stored;
    LoadWhereHistory(u("%"), u("%"), stored);
    EXPECT_EQ(stored, items);
    // a full-text search lists every name and leaves the history alone
    B->Show({u("sales"), u("TABLE")}, true);
    EXPECT_GT(B->Names().size(), 3);
    EXPECT_EQ(B->List.cmbFind->count(), 2);
    // without FindAuto the text must match the whole name
    Opt().FindAuto = false;
    B->List.cmbFind->setEditText(u("order"));
    B->Show({u("sales"), u("TABLE")});
    EXPECT_EQ(B->Model().rowCount(), 0);
    // Japanese names are found too
    Opt().FindAuto = true;
    B->List.cmbFind->setEditText(u("社員"));
    B->Show({u("hr"), u("TABLE")});
    EXPECT_EQ(B->Names(), QStringList{u("社員")});
    // a new pane starts with the stored history
    TObjectListPane other(&B->Conn);
    other.LoadFindHistory();
    EXPECT_EQ(other.cmbFind->itemText(0), u("社員"));
}

TEST_F(SampleBrowserTest, ColumnWidthsAreKeptPerLayout)
{
    Opt().TreeData = true;
    B->Show({u("sales"), u("TABLE")});
    EXPECT_EQ(B->List.lstObject->columnWidth(5), 140);
    B->List.lstObject->setColumnWidth(1, 177);
    B->Show({u("sales"), u("VIEW")});
    EXPECT_EQ(B->List.lstObject->columnWidth(1), 100);
    B->List.lstObject->setColumnWidth(1, 133);
    B->Show({u("sales"), u("TABLE")});
    EXPECT_EQ(B->List.lstObject->columnWidth(1), 177);
    B->Show({u("sales"), u("VIEW")});
    EXPECT_EQ(B->List.lstObject->columnWidth(1), 133);
    // list style shows the captions alone and writes no width of the hidden columns
    B->List.lstObject->SetStyle(TListStyle::List);
    B->Show({u("sales"), u("TABLE")});
    EXPECT_TRUE(B->List.lstObject->isHeaderHidden());
    EXPECT_TRUE(B->List.lstObject->isColumnHidden(1));
    B->List.lstObject->SetStyle(TListStyle::Report);
    B->Show({u("sales"), u("VIEW")});
    EXPECT_EQ(B->List.lstObject->columnWidth(1), 133);
}

TEST_F(SampleBrowserTest, SortingByColumnsWithQuotedAndJapaneseNames)
{
    Opt().TreeData = true;
    B->Show({u("Archive"), u("TABLE")});
    EXPECT_EQ(B->Names(), (QStringList{u("Memo \"Draft\""), u("Orders 2019")}));
    B->List.lstObject->sortByColumn(0, Qt::DescendingOrder);
    EXPECT_EQ(B->Names(), (QStringList{u("Orders 2019"), u("Memo \"Draft\"")}));
    // a new fill keeps the chosen order
    B->Show({u("hr"), u("TABLE")});
    QStringList names = B->Names();
    QStringList sorted = names;
    std::sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) {
        return CompareObjectNames(a, b) > 0;
    });
    EXPECT_EQ(names, sorted);
    EXPECT_TRUE(names.contains(u("社員")));
    // the size column sorts as numbers, the selection follows its row
    B->Show({u("sales"), u("TABLE")});
    const int orders = B->Find(u("orders"));
    B->List.lstObject->selectionModel()->select(B->Model().index(orders, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
    B->List.lstObject->sortByColumn(5, Qt::DescendingOrder);
    double previous = 1e300;
    for (int r = 0; r < B->Model().rowCount(); ++r) {
        const double v = KdNumberOfText(B->Model().SubItem(r, 4));
        EXPECT_LE(v, previous);
        previous = v;
    }
    const QList<int> selected = B->List.lstObject->SelectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(B->Model().Row(selected.first()).Caption, u("orders"));
    // overlapping and separate ranges give each row once, in order
    ASSERT_GE(B->Model().rowCount(), 6);
    auto *sel = B->List.lstObject->selectionModel();
    auto rows = [&](int top, int bottom) {
        sel->select(QItemSelection(B->Model().index(top, 0), B->Model().index(bottom, 0)),
                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    };
    sel->clearSelection();
    rows(5, 5);
    rows(1, 3);
    rows(0, 2);
    EXPECT_EQ(B->List.lstObject->SelectedRows(), (QList<int>{0, 1, 2, 3, 5}));
}

TEST_F(SampleBrowserTest, EscStopsTheFillAndKeepsWhatWasRead)
{
    B->Window.show();
    QApplication::setActiveWindow(&B->Window);
    B->List.lstObject->setFocus();
    ASSERT_EQ(QApplication::activeWindow(), &B->Window);
    QSignalSpy counts(&B->List, &TObjectListPane::DefMessage);
    B->List.SetPollInterval(0);
    QCoreApplication::postEvent(B->List.lstObject,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    B->Show({u("pg_catalog"), u("TABLE")});
    EXPECT_EQ(B->Model().rowCount(), 1);
    ASSERT_FALSE(counts.isEmpty());
    EXPECT_EQ(counts.last().at(0).toInt(), 1);
    QCoreApplication::processEvents(); // the Esc is delivered afterwards
    B->Show({u("pg_catalog"), u("TABLE")});
    EXPECT_GT(B->Model().rowCount(), 50);
    EXPECT_EQ(counts.last().at(0).toInt(), B->Model().rowCount());
}

// Servers before 10 keep the sequence values in the relation; that statement fails on this
// server, and the fill shows empty values instead of failing. Each sequence's statement
// reaches the server (the server's refusal is seen), though the list's own statement had
// its rows handed over while it ran.
TEST_F(SampleBrowserTest, SequenceValuesOfOlderServersFailSoftly)
{
    Opt().TreeData = true;
    B->Conn.SetDBVer(90600);
    QStringList states;
    B->Conn.dbsMain()->setOnError([&](std::optional<db::Error> &e) { states << e->sqlState; });
    B->Show({u("sales"), u("SEQUENCE")});
    B->Conn.dbsMain()->setOnError({});
    EXPECT_EQ(states.size(), B->Model().rowCount());
    EXPECT_EQ(states.count(u("42703")), states.size()) << states.join(u' ').toStdString();
    const int r = B->Find(u("ticket_no_seq"));
    ASSERT_GE(r, 0);
    for (int i = 3; i <= 8; ++i)
        EXPECT_EQ(B->Model().SubItem(r, i), QString());
    EXPECT_EQ(B->Model().SubItem(r, 10), u("問い合わせ番号（循環する独立シーケンス）"));
}

class SchemaBrowserTest : public testdb::SchemaTest {
protected:
    void SetUp() override
    {
        testdb::SchemaTest::SetUp();
        ResetOptionsToDefaults();
        TkdOption::Global().TreeData = true;
    }
};

TEST_F(SchemaBrowserTest, TriggerWordsInNamesDoNotCount)
{
    exec(u("CREATE TABLE update_log (id int)"));
    exec(u("CREATE FUNCTION truncate_all() RETURNS trigger LANGUAGE plpgsql AS 'BEGIN RETURN NEW; END'"));
    exec(u("CREATE TRIGGER before_delete AFTER INSERT ON update_log FOR EACH ROW EXECUTE FUNCTION truncate_all()"));
    Browser b(testdb::params().database, schema());
    b.Tree.ShowTree();
    b.Show({schema(), u("TRIGGER")});
    const int r = b.Find(u("before_delete"));
    ASSERT_GE(r, 0);
    EXPECT_EQ(b.Model().SubItem(r, 5), u("AFTER"));
    EXPECT_EQ(b.Model().SubItem(r, 6), u("INSERT"));
}

TEST_F(SchemaBrowserTest, SequenceTheUserMayNotReadShowsNoValues)
{
    const QString role = testdb::uniqueName(u("noread"));
    exec(u("CREATE SEQUENCE secret_seq"));
    exec(u("CREATE SEQUENCE open_seq START 7"));
    exec(u("CREATE ROLE ") + role);
    exec(u("GRANT USAGE ON SCHEMA ") + schema() + u(" TO ") + role);
    exec(u("GRANT SELECT ON ") + schema() + u(".open_seq TO ") + role);
    {
        Browser b(testdb::params().database, schema());
        b.Conn.dbsMain()->execute(u("SET ROLE ") + role);
        b.Tree.GetSchemaInfo = [&](QStringList &l) { l = {schema()}; };
        b.Tree.ShowTree();
        b.Show({schema(), u("SEQUENCE")});
        const int secret = b.Find(u("secret_seq"));
        const int open = b.Find(u("open_seq"));
        ASSERT_GE(secret, 0);
        ASSERT_GE(open, 0);
        EXPECT_EQ(b.Model().SubItem(secret, 3), QString());
        EXPECT_EQ(b.Model().SubItem(secret, 4), QString());
        EXPECT_EQ(b.Model().SubItem(open, 3), u("7"));
        EXPECT_EQ(b.Model().SubItem(open, 4), u("1"));
        b.Conn.dbsMain()->execute(u("RESET ROLE"));
    }
    exec(u("DROP OWNED BY ") + role);
    exec(u("DROP ROLE ") + role);
}

// A database whose name holds a quote lists its tables and indexes with their tablespace.
TEST(ObjectListDatabaseName, QuoteInDatabaseName)
{
    ResetOptionsToDefaults();
    TkdOption::Global().TreeData = true;
    const QString name = testdb::uniqueName(u("o'q"));
    testdb::ConnPtr admin = testdb::connect();
    testdb::exec(admin.get(), u("CREATE DATABASE \"") + name + u("\""));
    {
        testdb::ConnPtr pg = testdb::connect(name);
        testdb::exec(pg.get(), u("CREATE TABLE public.t (id int PRIMARY KEY)"));
        Browser b(name, u("public"));
        b.Tree.ShowTree();
        EXPECT_EQ(b.Tree.lstTree->topLevelItem(0)->text(0), name);
        for (const char *type : {"TABLE", "INDEX"}) {
            b.Show({u("public"), u(type)});
            ASSERT_EQ(b.Model().rowCount(), 1) << type;
            EXPECT_EQ(b.Model().SubItem(0, 3), u("pg_default"));
        }
    }
    testdb::exec(admin.get(), u("DROP DATABASE \"") + name + u("\" WITH (FORCE)"));
}

} // namespace
