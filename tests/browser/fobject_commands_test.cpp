// The object commands of the real connection window against the sandbox server: the state
// rules in both tree orders and the tree pop-up, the per-object loop (Esc, deselection),
// open and new through the editor table, drop passes and failure reports, rename in place,
// index rebuild, copy; and that with UpdateToCommit off a failed command leaves the user's
// open transaction usable.
#include "objcommands_fixture.h"
#include "core/kdworkspace.h"
#include "support/testdb.h"

#include <QThread>

namespace {

using namespace objcmds;

TEST_F(ObjectCommandsTest, StateRulesInBothTreeOrdersAndTreePopup)
{
    exec(u("CREATE TABLE t1 (a int PRIMARY KEY)"));
    TfrmObject *f = Open();
    QTreeWidgetItem *root = f->trvObject->topLevelItem(0);
    ASSERT_NE(root, nullptr);

    // the database root: new-object submenu, database windows in the pop-up
    Select(f, root);
    EXPECT_TRUE(f->mnuNew1->menuAction()->isVisible());
    EXPECT_FALSE(Visible(f, "actNew"));
    f->popTreePopup();
    for (const char *n : {"actUser", "actStorage", "actSession", "actLock", "actDatabase", "actPerform", "actDBExport"})
        EXPECT_TRUE(Visible(f, n)) << n;
    EXPECT_FALSE(Visible(f, "actLogon"));
    EXPECT_FALSE(Visible(f, "actNew"));

    // the login schema node: logon and backup
    QTreeWidgetItem *schemaNode = root->child(0);
    Select(f, schemaNode);
    f->popTreePopup();
    EXPECT_TRUE(Visible(f, "actLogon"));
    EXPECT_TRUE(Visible(f, "actDBExport"));
    EXPECT_FALSE(Visible(f, "actUser"));
    EXPECT_TRUE(Visible(f, "actNew")); // level 1 in the pop-up

    // a type node: "new" of that type replaces the submenu
    SelectType(f, 45);
    EXPECT_FALSE(f->mnuNew1->menuAction()->isVisible());
    EXPECT_TRUE(Visible(f, "actNew"));
    EXPECT_EQ(f->Action(u("actNew"))->property("imageIndex").toInt(), 45);
    EXPECT_FALSE(Enabled(f, "actDelete"));
    EXPECT_FALSE(Enabled(f, "actPaste"));
    EXPECT_TRUE(Enabled(f, "actGrep"));
    SelectRows(f, {u("t1")});
    for (const char *n : {"actDelete", "actRename", "actOpenDefine", "actScript", "actPrint", "actCopy", "actOpen"})
        EXPECT_TRUE(Enabled(f, n)) << n;
    EXPECT_FALSE(Enabled(f, "actIndexFragment"));
    EXPECT_FALSE(Enabled(f, "actComment"));
    SelectType(f, 46);
    f->lstObject->selectAll();
    f->mnuObjectClick();
    EXPECT_TRUE(Enabled(f, "actIndexFragment"));

    // the menu order of the merged menu
    QStringList order;
    for (QAction *a : f->mnuObject->actions())
        order << (a->isSeparator() ? u("-") : a->menu() ? a->menu()->objectName() : a->objectName());
    EXPECT_EQ(order.mid(0, 7), QStringList({u("mnuNew1"), u("actNew"), u("actCopy"), u("actPaste"), u("actDelete"),
                                            u("actRename"), u("-")}));
    EXPECT_EQ(order.last(), u("actAddWorkSpace"));

    // types first: a type node is level 1, "new" takes its image
    f->FTreePane->btnTree2->click();
    Flush();
    ASSERT_EQ(TkdOption::Global().TreeSort, 1);
    QTreeWidgetItem *typeNode = nullptr;
    for (int c = 0; c < f->trvObject->topLevelItem(0)->childCount(); ++c) {
        auto *n = dynamic_cast<TkdTreeNode *>(f->trvObject->topLevelItem(0)->child(c));
        if (n && n->Data().toInt() == 47)
            typeNode = n;
    }
    ASSERT_NE(typeNode, nullptr);
    Select(f, typeNode);
    EXPECT_TRUE(Visible(f, "actNew"));
    EXPECT_EQ(f->Action(u("actNew"))->property("imageIndex").toInt(), 47);
    EXPECT_FALSE(f->mnuNew1->menuAction()->isVisible());

    // activation puts the menu into the main menu bar
    f->FormActivate();
    EXPECT_TRUE(Main->menuBar()->actions().contains(f->mnuObject->menuAction()));
    const QPointer<QMenu> menu = f->mnuObject;
    const int bar = int(Main->menuBar()->actions().size());
    f->close();
    Flush();
    EXPECT_EQ(Main->menuBar()->actions().size(), bar - 1);
    EXPECT_TRUE(!menu || !Main->menuBar()->actions().contains(menu->menuAction()));
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join(u("\n")).toStdString();
}

TEST_F(ObjectCommandsTest, LoopStopsAtEscAndDeselectsWhatItOpened)
{
    for (int i = 1; i <= 5; ++i)
        exec(u("CREATE TABLE t%1 (a int)").arg(i));
    TfrmObject *f = Open();
    QStringList opened;
    QList<TObjectArgs> args;
    RegisterEditor(45, [&](TkdConnForm *, const TObjectArgs &a) -> QWidget * {
        opened << a.ObjectName;
        args << a;
        if (opened.size() == 2) {
            // Esc arrives while the second object opens
            QKeyEvent *press = new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QCoreApplication::postEvent(f->lstObject, press);
            // the loop looks for Esc at most every 50 ms
            QThread::msleep(60);
        }
        return nullptr;
    });
    SelectType(f, 45);
    f->lstObject->selectAll();
    f->Action(u("actOpenDefine"))->trigger();
    EXPECT_EQ(opened, QStringList({u("t1"), u("t2")}));
    EXPECT_EQ(SelectedNames(f), QStringList({u("t3"), u("t4"), u("t5")}));
    Flush(); // the Esc key reaches the list

    // open data with a row count: the count goes to the editor and, ticked, becomes the default
    opened.clear();
    args.clear();
    Answer = [](MessageBoxRequest &r) {
        if (r.kind == MessageBoxRequest::Kind::Input) {
            r.value = u("25");
            r.items[0].Checked = true;
        }
        return IDOK;
    };
    SelectRows(f, {u("t4")});
    f->Action(u("actOpenDataTop"))->trigger();
    ASSERT_EQ(args.size(), 1);
    EXPECT_EQ(args[0].OpenMode, omData);
    EXPECT_EQ(args[0].DefTopRecord, 25);
    EXPECT_EQ(TkdOption::Global().DefTopRecord, 25);

    // new object: the login schema and an empty name, whatever is selected
    args.clear();
    f->Action(u("actNewTable"))->trigger();
    ASSERT_EQ(args.size(), 1);
    EXPECT_EQ(args[0].Schema, schema());
    EXPECT_TRUE(args[0].ObjectName.isEmpty());
    f->close();
    Flush();
}

TEST_F(ObjectCommandsTest, DropPassesRetryDependantsAndReportWhatIsLeft)
{
    exec(u("CREATE TABLE a_base (x int)"));
    exec(u("CREATE VIEW z_view AS SELECT * FROM a_base"));
    exec(u("CREATE TABLE b_keep (x int)"));
    exec(u("CREATE VIEW b_keep_v AS SELECT * FROM b_keep"));
    exec(u("CREATE TABLE \"Odd \"\"name\"\".x\" (x int)"));
    TfrmObject *f = Open();

    // table first, view second, DelErr ticked: the second pass drops the table
    SelectType(f, 45);
    // both kinds in one list: the schema node lists every object
    Select(f, f->trvObject->topLevelItem(0)->child(0));
    if (RowOf(f, u("z_view")) < 0) {
        GTEST_SKIP() << "the schema node does not list every kind";
    }
    QList<QStringList> offered;
    Answer = [&](MessageBoxRequest &r) {
        if (r.kind == MessageBoxRequest::Kind::CheckMessage) {
            QStringList caps;
            for (MsgCheckItem &i : r.items) {
                caps << i.Caption;
                if (i.Caption == u("削除時のエラーを無視する"))
                    i.Checked = true;
            }
            offered << caps;
            return IDYES;
        }
        return IDOK;
    };
    SelectRows(f, {u("a_base"), u("z_view"), u("Odd \"name\".x")});
    Boxes.clear();
    f->Action(u("actDelete"))->trigger();
    ASSERT_EQ(offered.size(), 1);
    EXPECT_EQ(offered[0], QStringList({u("削除時のエラーを無視する"), u("CASCADE オプション")}));
    EXPECT_EQ(Boxes.last(), u("オブジェクトが削除されました。"));
    EXPECT_FALSE(Exists(u("a_base")));
    EXPECT_FALSE(Exists(u("z_view")));
    EXPECT_FALSE(Exists(u("Odd \"name\".x")));
    EXPECT_TRUE(TkdOption::Global().DelErr);
    EXPECT_EQ(RowOf(f, u("a_base")), -1);

    // a table whose view is not selected cannot go: the report names it and its error
    exec(u("CREATE TABLE c_free (x int)"));
    Select(f, f->trvObject->topLevelItem(0)->child(0));
    SelectRows(f, {u("b_keep"), u("c_free")});
    Boxes.clear();
    f->Action(u("actDelete"))->trigger();
    ASSERT_FALSE(Boxes.isEmpty());
    EXPECT_NE(Boxes.last(), u("オブジェクトが削除されました。"));
    EXPECT_TRUE(Boxes.last().contains(u("1 個のオブジェクトを削除しました。"))) << Boxes.last().toStdString();
    EXPECT_TRUE(Boxes.last().contains(schema() + u(".b_keep: "))) << Boxes.last().toStdString();
    EXPECT_TRUE(Exists(u("b_keep")));
    EXPECT_FALSE(Exists(u("c_free")));
    EXPECT_EQ(SelectedNames(f), QStringList({u("b_keep")}));

    // one object that fails: its error, no completion message, the row stays
    Boxes.clear();
    f->Action(u("actDelete"))->trigger();
    ASSERT_EQ(Boxes.size(), 2);
    EXPECT_TRUE(Boxes[1].contains(u("b_keep_v")) || Boxes[1].contains(u("depend"))) << Boxes[1].toStdString();
    EXPECT_GE(RowOf(f, u("b_keep")), 0);

    // with CASCADE ticked it goes with its view
    Answer = [&](MessageBoxRequest &r) {
        for (MsgCheckItem &i : r.items)
            i.Checked = i.Caption == u("CASCADE オプション");
        return r.kind == MessageBoxRequest::Kind::CheckMessage ? IDYES : IDOK;
    };
    Boxes.clear();
    f->Action(u("actDelete"))->trigger();
    EXPECT_EQ(Boxes.last(), u("オブジェクトが削除されました。"));
    EXPECT_FALSE(Exists(u("b_keep_v")));

    // No keeps everything
    exec(u("CREATE TABLE d_no (x int)"));
    Select(f, f->trvObject->topLevelItem(0)->child(0));
    SelectRows(f, {u("d_no")});
    Answer = [](MessageBoxRequest &) { return IDNO; };
    f->Action(u("actDelete"))->trigger();
    EXPECT_TRUE(Exists(u("d_no")));
    f->close();
    Flush();
}

TEST_F(ObjectCommandsTest, DropOfAWholeSelectedListDropsEveryRow)
{
    // One selection range over every row: removing its first row must not lose the others.
    for (int i = 0; i < 30; ++i)
        exec(u("CREATE TABLE m%1 (a int)").arg(i, 2, 10, QLatin1Char('0')));
    TfrmObject *f = Open();
    SelectType(f, 45);
    f->lstObject->selectAll();
    Boxes.clear();
    f->Action(u("actDelete"))->trigger();
    EXPECT_EQ(Boxes.last(), u("オブジェクトが削除されました。"));
    EXPECT_EQ(f->ObjectCount(), 0);
    EXPECT_EQ(scalar(u("SELECT count(*) FROM pg_tables WHERE schemaname = '%1'").arg(schema())), u("0"));
    f->close();
    Flush();
}

TEST_F(ObjectCommandsTest, FailedDropKeepsTheOpenTransactionWithUpdateToCommitOff)
{
    TkdOption::Global().UpdateToCommit = false;
    exec(u("CREATE TABLE keep (x int)"));
    exec(u("CREATE TABLE base (x int)"));
    exec(u("CREATE VIEW base_v AS SELECT * FROM base"));
    TfrmObject *f = Open();
    f->ExecuteSQL(u("INSERT INTO keep VALUES (1)")); // pending change of the user
    SelectType(f, 45);
    SelectRows(f, {u("base")});
    Boxes.clear();
    f->Action(u("actDelete"))->trigger(); // fails: the view depends on it
    EXPECT_TRUE(Exists(u("base")));
    // the transaction is still usable and the earlier change commits
    f->ExecuteSQL(u("COMMIT"));
    EXPECT_EQ(scalar(u("SELECT count(*) FROM %1.keep").arg(schema())), u("1"));
    f->ExecuteSQL(u("BEGIN"));
    f->close();
    Flush();
}

TEST_F(ObjectCommandsTest, RenameInPlaceFollowsTheRules)
{
    exec(u("CREATE TABLE r1 (x int)"));
    exec(u("CREATE TABLE r2 (x int)"));
    TfrmObject *f = Open();
    SelectType(f, 45);
    TObjectListModel *m = f->lstObject->Model();
    const QModelIndex i1 = m->index(RowOf(f, u("r1")), 0);
    EXPECT_TRUE(m->flags(i1) & Qt::ItemIsEditable);
    EXPECT_FALSE(m->flags(m->index(RowOf(f, u("r1")), 1)) & Qt::ItemIsEditable);

    // capitals are lower-cased with UseLowerName off, sent and shown
    EXPECT_TRUE(m->setData(i1, u("NewName")));
    EXPECT_EQ(m->Row(i1.row()).Caption, u("newname"));
    EXPECT_TRUE(Exists(u("newname")));

    // a name that exists: the error, the caption and the object stay
    Boxes.clear();
    const QModelIndex i2 = m->index(RowOf(f, u("r2")), 0);
    EXPECT_FALSE(m->setData(i2, u("newname")));
    EXPECT_EQ(Boxes.size(), 1);
    EXPECT_EQ(m->Row(i2.row()).Caption, u("r2"));
    EXPECT_TRUE(Exists(u("r2")));

    // the unchanged name sends nothing and shows nothing
    Boxes.clear();
    EXPECT_FALSE(m->setData(i2, u("r2")));
    EXPECT_TRUE(Boxes.isEmpty());

    // F2 opens the editor on the first selected row
    SelectRows(f, {u("r2")});
    f->lstObject->setFocus();
    f->Action(u("actRename"))->trigger();
    EXPECT_TRUE(f->lstObject->Editing());
    f->close();
    Flush();
}

TEST_F(ObjectCommandsTest, RebuildRunsEachIndexAloneAndReportsFailures)
{
    exec(u("CREATE TABLE ix (a int, b int)"));
    exec(u("CREATE INDEX ix_a ON ix (a)"));
    exec(u("CREATE INDEX ix_b ON ix (b)"));
    TfrmObject *f = Open();
    SelectType(f, 46);
    SelectRows(f, {u("ix_a"), u("ix_b")});
    exec(u("DROP INDEX ix_a")); // gone behind the window's back
    Answer = [](MessageBoxRequest &r) {
        for (MsgCheckItem &i : r.items)
            i.Checked = true; // ignore errors
        return r.kind == MessageBoxRequest::Kind::CheckMessage ? IDYES : IDOK;
    };
    Boxes.clear();
    f->Action(u("actIndexFragment"))->trigger();
    ASSERT_FALSE(Boxes.isEmpty());
    EXPECT_TRUE(Boxes.last().startsWith(u("再構築に失敗しました。"))) << Boxes.last().toStdString();
    EXPECT_TRUE(Boxes.last().contains(u("ix_a")));
    EXPECT_EQ(SelectedNames(f), QStringList({u("ix_a")})); // the rebuilt one is deselected

    // one index that works
    SelectType(f, 46);
    SelectRows(f, {u("ix_b")});
    Boxes.clear();
    f->Action(u("actIndexFragment"))->trigger();
    EXPECT_EQ(Boxes.last(), u("再構築が完了しました。"));
    f->close();
    Flush();
}

TEST_F(ObjectCommandsTest, CopyExcludesIndexesAndEmptiesOnClose)
{
    exec(u("CREATE TABLE cp (a int)"));
    exec(u("CREATE INDEX cp_a ON cp (a)"));
    TfrmObject *f = Open();
    Select(f, f->trvObject->topLevelItem(0)->child(0));
    if (RowOf(f, u("cp_a")) < 0)
        SelectType(f, 46);
    SelectRows(f, {u("cp_a")});
    Boxes.clear();
    f->Action(u("actCopy"))->trigger();
    EXPECT_EQ(Boxes.size(), 1);
    EXPECT_EQ(QApplication::clipboard()->text(), u("cp_a"));
    f->mnuObjectClick();
    EXPECT_FALSE(Enabled(f, "actPaste"));

    SelectType(f, 45);
    SelectRows(f, {u("cp")});
    Boxes.clear();
    f->Action(u("actCopy"))->trigger();
    EXPECT_TRUE(Boxes.isEmpty());
    EXPECT_TRUE(Enabled(f, "actPaste"));
    f->close();
    Flush();
    TfrmObject *g = Open();
    g->mnuObjectClick();
    EXPECT_FALSE(g->Action(u("actPaste"))->isEnabled());
    g->close();
    Flush();
}

TEST_F(ObjectCommandsTest, KeysBelongToTheList)
{
    exec(u("CREATE TABLE k1 (a int)"));
    TfrmObject *f = Open();
    f->FormActivate();
    SelectType(f, 45);
    SelectRows(f, {u("k1")});
    int drops = 0;
    Answer = [&](MessageBoxRequest &r) {
        if (r.text == u("オブジェクトを削除しますか？"))
            ++drops;
        return IDNO;
    };
    // Delete in the find box edits the box, never drops
    QWidget *find = f->FListPane->cmbFind;
    find->setFocus();
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : find, Qt::Key_Delete);
    EXPECT_EQ(drops, 0);
    // Delete in the list asks to drop
    f->lstObject->setFocus();
    QTest::keyClick(f->lstObject, Qt::Key_Delete);
    EXPECT_EQ(drops, 1);
    EXPECT_EQ(f->Action(u("actDelete"))->shortcutContext(), Qt::WidgetShortcut);
    EXPECT_EQ(f->Action(u("actRename"))->shortcut(), QKeySequence(Qt::Key_F2));
    f->close();
    Flush();
}

} // namespace

namespace {

using namespace objcmds;

// The main window with the connection window active, its menu merged into the menu bar and
// the list's context menu open, drawn into one picture (VANTOR_SCREENSHOT_DIR keeps it).
TEST_F(ObjectCommandsTest, PictureOfTheMergedMenuAndContextMenu)
{
    exec(u("CREATE TABLE 受注明細 (a int)"));
    exec(u("CREATE TABLE customers (a int)"));
    TfrmObject *f = Open();
    Main->resize(1000, 900); // tall enough for the whole context menu
    f->FormActivate();
    SelectType(f, 45);
    SelectRows(f, {u("customers")});
    QTest::qWait(50);
    ASSERT_TRUE(Main->menuBar()->actions().contains(f->mnuObject->menuAction()));
    QPixmap shot = Main->grab();
    f->mnuObjectClick();
    const QPoint at = f->lstObject->viewport()->mapTo(Main, QPoint(60, 30));
    f->mnuObject->popup(Main->mapToGlobal(at));
    QTest::qWait(50);
    const QPixmap menu = f->mnuObject->grab();
    f->mnuObject->hide();
    EXPECT_GT(menu.height(), 300);
    {
        QPainter p(&shot);
        p.drawPixmap(at, menu);
    }
    const QString dir = qEnvironmentVariable("VANTOR_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        EXPECT_TRUE(shot.save(dir + u("/object_commands_menu.png")));
    }
    f->close();
    Flush();
}

} // namespace

namespace {

using namespace objcmds;

// Adding to the work space: each object once per connection, a function of the same name with
// another OID as a second entry, titles with the argument column of the list's layout.
TEST_F(ObjectCommandsTest, AddToWorkSpaceRegistersEachObjectOnceWithItsTitle)
{
    exec(u("CREATE TABLE ws_t (a int)"));
    exec(u("CREATE FUNCTION ws_f(a int) RETURNS int LANGUAGE sql AS 'SELECT 1'"));
    exec(u("CREATE FUNCTION ws_f(a text) RETURNS int LANGUAGE sql AS 'SELECT 2'"));
    LoadWorkSpace();
    WorkSpaceStore().clear();
    SaveWorkSpace();
    for (const bool treeData : {false, true}) {
        SCOPED_TRACE(treeData);
        TkdOption::Global().TreeData = treeData;
        TfrmObject *f = Open();
        SelectType(f, 45);
        f->lstObject->clearSelection();
        f->mnuObjectClick();
        f->Action(u("actAddWorkSpace"))->trigger(); // nothing selected: nothing added
        LoadWorkSpace();
        EXPECT_TRUE(WorkSpaceStore().isEmpty());
        SelectRows(f, {u("ws_t")});
        f->Action(u("actAddWorkSpace"))->trigger();
        f->Action(u("actAddWorkSpace"))->trigger();
        SelectType(f, 52);
        f->lstObject->selectAll();
        f->mnuObjectClick();
        f->Action(u("actAddWorkSpace"))->trigger();
        f->Action(u("actAddWorkSpace"))->trigger();
        LoadWorkSpace();
        QStringList titles;
        for (const TkdWorkSpace &e : WorkSpaceStore())
            titles << e.Title;
        titles.sort();
        const QString s = schema();
        const QStringList expected = {u("ws_f(int4) (%1)").arg(s), u("ws_f(text) (%1)").arg(s), u("ws_t (%1)").arg(s)};
        EXPECT_EQ(titles, expected);
        for (const TkdWorkSpace &e : WorkSpaceStore())
            EXPECT_EQ(e.Connect, f->Identity());
        // the main window's work space list shows them
        EXPECT_EQ(Main->lstWorkSpace->topLevelItemCount(), 3);
        f->close();
        Flush();
        WorkSpaceStore().clear();
        SaveWorkSpace();
    }
    TkdOption::Global().TreeData = false;
}

// Closing a connection window takes only its own menu off the menu bar: another window's
// merged menu stays.
TEST_F(ObjectCommandsTest, ClosingAWindowKeepsTheOtherWindowsMergedMenu)
{
    TfrmObject *a = Open();
    TfrmObject *b = Open();
    b->FormActivate();
    ASSERT_TRUE(Main->menuBar()->actions().contains(b->mnuObject->menuAction()));
    a->close();
    Flush();
    EXPECT_TRUE(Main->menuBar()->actions().contains(b->mnuObject->menuAction()));
    b->close();
    Flush();
    for (QAction *x : Main->menuBar()->actions())
        EXPECT_NE(x->text(), u("オブジェクトリスト(&O)"));
}

// The list's column widths are written when the window closes, under the value names the
// layout reads them from, so they come back to the same columns.
TEST_F(ObjectCommandsTest, ColumnWidthsAreSavedAtCloseAndComeBackToTheirColumns)
{
    exec(u("CREATE TABLE cw (a int)"));
    exec(u("CREATE FUNCTION cw_f() RETURNS int LANGUAGE sql AS 'SELECT 1'"));
    TkdOption::Global().TreeData = false;
    TfrmObject *f = Open();
    SelectType(f, 52);
    const int cols = f->lstObject->Model()->columnCount();
    ASSERT_GE(cols, 6);
    // (the last column may stretch with the view)
    for (int c = 1; c < cols - 1; ++c)
        f->lstObject->setColumnWidth(c, 50 + 7 * c);
    f->close();
    Flush();
    TfrmObject *g = Open();
    SelectType(g, 52);
    for (int c = 1; c < cols - 1; ++c)
        EXPECT_EQ(g->lstObject->columnWidth(c), 50 + 7 * c) << c;
    g->close();
    Flush();
}

} // namespace
