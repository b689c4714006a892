// The main window's layout kept under "GUI\MAIN" (tool bars, work space, task bar, status
// bar) and the work space's entries: registration, titles, duplicates, opening, renaming,
// removing, and entries of closed connections.
#include "app/fmain.h"
#include "app/fsupport.h"
#include "app/stubconn.h"
#include "controls/kdcomctrls.h"
#include "controls/kdstsbar.h"
#include "core/kdreg.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdworkspace.h"
#include "support/qstring_printer.h"

#include <QApplication>
#include <QDockWidget>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

namespace {

void Flush()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

const QString kLayout = QString::fromUtf16(kMainKey) + QStringLiteral("\\GUI\\MAIN");

class LayoutTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FOldHook = SetMessageBoxHook([this](MessageBoxRequest &r) {
            Boxes << r.text;
            if (OnBox)
                OnBox(r);
            return Answer;
        });
        SetLogonProc([](const TLogonValues &, bool) { return true; });
        SharedRegistry().DeleteKey(kLayout);
        SharedRegistry().DeleteKey(QString::fromUtf16(kMainKey) + QStringLiteral("\\WORKSPACE"));
    }
    void TearDown() override
    {
        Close();
        SetLogonProc({});
        SetMessageBoxHook(FOldHook);
        SharedRegistry().DeleteKey(kLayout);
        SharedRegistry().DeleteKey(QString::fromUtf16(kMainKey) + QStringLiteral("\\WORKSPACE"));
    }
    TfrmMain *Make()
    {
        Main = new TfrmMain(QStringList());
        Main->SetCloseSteps({});
        Main->show();
        QApplication::setActiveWindow(Main);
        Flush();
        return Main;
    }
    // Closes the window as the program does at exit: the layout is saved.
    void Close()
    {
        if (!Main)
            return;
        Main->SaveWindowLayout();
        delete Main;
        Main = nullptr;
        Flush();
    }
    int Stored(const char *name, int def) const
    {
        TkdRegistry &reg = SharedRegistry();
        if (!reg.OpenKey(kLayout, false))
            return def;
        const int v = reg.GetInteger(QLatin1String(name), def);
        reg.CloseKey();
        return v;
    }
    void Store(const char *name, int value)
    {
        TkdRegistry &reg = SharedRegistry();
        ASSERT_TRUE(reg.OpenKey(kLayout, true));
        reg.WriteInteger(QLatin1String(name), value);
        reg.CloseKey();
    }
    QList<QToolBar *> Bars() const
    {
        return {Main->pnlDB, Main->pnlEdit, Main->pnlTool, Main->pnlAdmin, Main->pnlNewObj, Main->pnlTool2};
    }

    TfrmMain *Main = nullptr;
    QStringList Boxes;
    int Answer = IDOK;
    std::function<void(MessageBoxRequest &)> OnBox;

private:
    MessageBoxHook FOldHook;
};

} // namespace

TEST_F(LayoutTest, FirstStartShowsEveryBarDockedAndTheWorkSpaceAboveTheTaskBar)
{
    Make();
    for (QToolBar *bar : Bars()) {
        EXPECT_TRUE(bar->isVisible()) << bar->objectName().toStdString();
        EXPECT_FALSE(bar->isFloating());
    }
    // Three rows: the first row's bars share a top, the new-object bar is below the others.
    EXPECT_EQ(Main->pnlDB->y(), Main->pnlEdit->y());
    EXPECT_EQ(Main->pnlTool->y(), Main->pnlAdmin->y());
    EXPECT_LT(Main->pnlDB->y(), Main->pnlTool->y());
    EXPECT_LT(Main->pnlTool->y(), Main->pnlNewObj->y());
    EXPECT_EQ(Main->dockWidgetArea(Main->dckWorkSpace), Qt::BottomDockWidgetArea);
    EXPECT_TRUE(Main->dckWorkSpace->isVisible());
    EXPECT_EQ(Main->WorkSpaceStyle(), 1);
    // From the bottom edge: status bar, task bar, work space.
    const int status = Main->stsMain->geometry().top();
    const int task = Main->ctlTask->geometry().top();
    const int space = Main->dckWorkSpace->geometry().top();
    EXPECT_LT(task, status);
    EXPECT_LT(space, task);
    EXPECT_LE(Main->dckWorkSpace->geometry().bottom(), task);
}

TEST_F(LayoutTest, MaximisedCloseKeepsTheLastNormalBounds)
{
    Make();
    Main->setGeometry(40, 50, 900, 650);
    Flush();
    Close();
    EXPECT_EQ(Stored("WindowState", -1), 0);
    const int width = Stored("Width", -1);
    EXPECT_EQ(width, 900);
    Make();
    Main->showMaximized();
    Flush();
    Close();
    EXPECT_EQ(Stored("WindowState", -1), 2);
    EXPECT_EQ(Stored("Width", -1), 900);
    // A stored minimised state restores as normal.
    Store("WindowState", 1);
    Make();
    EXPECT_FALSE(Main->isMinimized());
}

TEST_F(LayoutTest, HiddenAndMovedBarsComeBackAsTheyWereAndResetDocksThem)
{
    Make();
    Main->pnlAdmin->hide();
    Main->removeToolBar(Main->pnlTool2);
    Main->addToolBar(Qt::LeftToolBarArea, Main->pnlTool2);
    Main->mnuTaskBar->setChecked(false);
    Flush();
    Close();
    Make();
    EXPECT_TRUE(Main->pnlAdmin->isHidden());
    EXPECT_EQ(Main->toolBarArea(Main->pnlTool2), Qt::LeftToolBarArea);
    EXPECT_TRUE(Main->ctlTask->isHidden());
    // Reset after the question: every bar docked at the top and shown.
    Main->findChild<QAction *>(QStringLiteral("mnuToolBarReset"))->trigger();
    EXPECT_EQ(Boxes, QStringList{QStringLiteral("ツールバーの位置を初期化しますか？")});
    Answer = IDYES;
    Main->ResetToolBars();
    Flush();
    for (QToolBar *bar : Bars()) {
        EXPECT_TRUE(bar->isVisible()) << bar->objectName().toStdString();
        EXPECT_EQ(Main->toolBarArea(bar), Qt::TopToolBarArea) << bar->objectName().toStdString();
    }
    EXPECT_EQ(Main->pnlDB->y(), Main->pnlEdit->y());
    EXPECT_LT(Main->pnlTool->y(), Main->pnlNewObj->y());
    // A stored arrangement that does not read gives the first arrangement.
    Close();
    TkdRegistry &reg = SharedRegistry();
    ASSERT_TRUE(reg.OpenKey(kLayout, true));
    reg.WriteBinaryData(QStringLiteral("ToolBars"), QByteArray("garbage"));
    reg.CloseKey();
    Make();
    for (QToolBar *bar : Bars())
        EXPECT_TRUE(bar->isVisible()) << bar->objectName().toStdString();
}

TEST_F(LayoutTest, WorkSpaceSizeIsCappedAtHalfTheClientAndKeepsItsEdge)
{
    Store("WorkSpaceSize", 5000);
    Store("WorkSpaceAlign", 2);
    Make();
    Main->resize(900, 700);
    Flush();
    Main->SetWorkSpaceSize(5000);
    Flush();
    const int client = Main->centralWidget()->height() + Main->dckWorkSpace->height();
    EXPECT_LE(Main->dckWorkSpace->height(), client / 2 + 2);
    EXPECT_GT(Main->dckWorkSpace->height(), client / 2 - 10);
    Main->SetWorkSpaceSize(-5);
    Flush();
    EXPECT_GE(Main->dckWorkSpace->height(), 1);
    // Placement on the left keeps after a restart, with its style.
    Main->PlaceWorkSpace(Qt::LeftDockWidgetArea);
    Main->SetWorkSpaceStyle(3);
    Close();
    EXPECT_EQ(Stored("WorkSpaceAlign", -1), 3);
    EXPECT_EQ(Stored("WorkSpaceStyle", -1), 3);
    Make();
    EXPECT_EQ(Main->dockWidgetArea(Main->dckWorkSpace), Qt::LeftDockWidgetArea);
    EXPECT_EQ(Main->WorkSpaceStyle(), 3);
    // Hidden: placements do nothing, and it stays hidden over a restart.
    Main->mnuWorkSpace->trigger();
    EXPECT_TRUE(Main->dckWorkSpace->isHidden());
    Main->PlaceWorkSpace(Qt::TopDockWidgetArea);
    EXPECT_EQ(Main->dockWidgetArea(Main->dckWorkSpace), Qt::LeftDockWidgetArea);
    Close();
    Make();
    EXPECT_TRUE(Main->dckWorkSpace->isHidden());
    // A stored value of another type gives the default.
    Close();
    TkdRegistry &reg = SharedRegistry();
    ASSERT_TRUE(reg.OpenKey(kLayout, true));
    reg.WriteString(QStringLiteral("WorkSpaceAlign"), QStringLiteral("left"));
    reg.WriteBool(QStringLiteral("WorkSpace"), true);
    reg.CloseKey();
    Make();
    EXPECT_EQ(Main->dockWidgetArea(Main->dckWorkSpace), Qt::BottomDockWidgetArea);
}

// ---------------------------------------------------------------------------------------------
// Work space entries

namespace {
TkdConnForm::TObjectItem Item(const QString &name, int type, const QString &schema, const QString &args = QString(),
                              const QString &oid = QString(), const QString &table = QString())
{
    TkdConnForm::TObjectItem i;
    i.Caption = name;
    i.ImageIndex = type;
    i.SubItems = QStringList(12);
    i.SubItems[0] = schema;
    i.SubItems[3] = args;
    i.SubItems[8] = oid;
    i.SubItems[11] = table;
    i.ArgsSubItem = 3; // the detail function list's argument column
    return i;
}

QStringList Titles(TfrmMain *main)
{
    QStringList t;
    for (int i = 0; i < main->lstWorkSpace->topLevelItemCount(); ++i)
        t << main->lstWorkSpace->topLevelItem(i)->text(0);
    return t;
}
} // namespace

TEST_F(LayoutTest, DroppedObjectsAreRegisteredOnceWithTitlesByKind)
{
    Make();
    auto *a = StubConnForm::Open(Main, QStringLiteral("u"), QStringLiteral("db"));
    a->Items = {Item("emp", 45, "public"),
                Item("calc", 52, "public", "integer", "100"),
                Item("calc", 52, "public", "text", "101"),
                Item("trg", 57, "public", QString(), QString(), "t1"),
                Item("trg", 57, "public", QString(), QString(), "t2")};
    EXPECT_EQ(Main->WorkSpaceDrop(a), 5);
    EXPECT_EQ(Titles(Main), (QStringList{"calc(integer) (public)", "calc(text) (public)", "emp (public)",
                                         "trg (public.t1)", "trg (public.t2)"}));
    // The same objects again add nothing.
    EXPECT_EQ(Main->WorkSpaceDrop(a), 0);
    // The same table from another connection identity is a second entry, shown with it.
    auto *b = StubConnForm::Open(Main, QStringLiteral("other"), QStringLiteral("db"));
    b->Items = {Item("emp", 45, "public")};
    EXPECT_EQ(Main->WorkSpaceDrop(b), 1);
    EXPECT_EQ(Titles(Main).count(QStringLiteral("emp (public)")), 2);
    // Closing a connection hides its entries; they stay in the store.
    b->close();
    Flush();
    EXPECT_EQ(Titles(Main).count(QStringLiteral("emp (public)")), 1);
    LoadWorkSpace();
    EXPECT_EQ(WorkSpaceStore().size(), 6);
    // With no connection the list is empty; opening it again shows them sorted by title.
    a->close();
    Flush();
    EXPECT_TRUE(Titles(Main).isEmpty());
    StubConnForm::Open(Main, QStringLiteral("u"), QStringLiteral("db"));
    EXPECT_EQ(Titles(Main).size(), 5);
    EXPECT_EQ(Titles(Main).first(), QStringLiteral("calc(integer) (public)"));
}

TEST_F(LayoutTest, EntriesOpenRenameAndRemove)
{
    Make();
    auto *a = StubConnForm::Open(Main, QStringLiteral("u"), QStringLiteral("db"));
    a->Items = {Item("emp", 45, "public"), Item("v1", 47, "public"), Item("trg", 57, "s", QString(), QString(), "t1")};
    Main->WorkSpaceDrop(a);
    QTreeWidget *list = Main->lstWorkSpace;
    list->topLevelItem(0)->setSelected(true);  // emp
    list->topLevelItem(1)->setSelected(true);  // trg
    Main->WorkSpaceOpen(omSource);
    EXPECT_EQ(a->Opened, (QStringList{"45|public|emp|1|0|0|", "57|s|trg|1|0|0|t1"}));
    // Open data with a row count: cancel for the second entry stops the command.
    a->Opened.clear();
    int asked = 0;
    OnBox = [&](MessageBoxRequest &r) {
        if (r.kind != MessageBoxRequest::Kind::Input)
            return;
        ++asked;
        EXPECT_EQ(r.text, QStringLiteral("レコード件数"));
        r.value = QStringLiteral("25");
        r.items[0].Checked = true;
        if (asked == 2)
            Answer = IDCANCEL;
    };
    const int before = TkdOption::Global().DefTopRecord;
    list->topLevelItem(2)->setSelected(true);  // v1 too
    Main->WorkSpaceOpenData(true);
    EXPECT_EQ(a->Opened, QStringList{"45|public|emp|2|25|0|"});
    EXPECT_EQ(TkdOption::Global().DefTopRecord, 25);
    TkdOption::Global().DefTopRecord = before;
    Answer = IDOK;
    OnBox = nullptr;
    // Rename changes only the stored title of that entry.
    list->clearSelection();
    list->topLevelItem(0)->setSelected(true);
    list->setCurrentItem(list->topLevelItem(0));
    Main->lstWorkSpace->EditCaption(list->topLevelItem(0));
    ASSERT_TRUE(Main->lstWorkSpace->IsEditing());
    QWidget *editor = QApplication::focusWidget();
    ASSERT_NE(editor, nullptr);
    auto *line = qobject_cast<QLineEdit *>(editor);
    ASSERT_NE(line, nullptr);
    line->setText(QStringLiteral("社員"));
    QTest::keyClick(editor, Qt::Key_Return);
    Flush();
    EXPECT_FALSE(Main->lstWorkSpace->IsEditing());
    LoadWorkSpace();
    QStringList stored;
    for (const TkdWorkSpace &e : WorkSpaceStore())
        stored << e.Title;
    stored.sort();
    EXPECT_EQ(stored, (QStringList{"trg (s.t1)", "v1 (public)", "社員"}));
    // Delete removes the selected entries without asking.
    Boxes.clear();
    Main->ShowWorkSpace(nullptr);
    list->clearSelection();
    list->topLevelItem(0)->setSelected(true);
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_TRUE(Boxes.isEmpty());
    EXPECT_EQ(Titles(Main), (QStringList{"v1 (public)", "社員"}));
    // The pop-up's state follows the first selected entry.
    list->clearSelection();
    list->topLevelItem(0)->setSelected(true);
    Main->UpdateWorkSpaceMenu();
    EXPECT_TRUE(Main->popWorkSpace->findChild<QAction *>(QStringLiteral("mnuWSOpenData"))->isEnabled());
    EXPECT_FALSE(Main->popWorkSpace->findChild<QAction *>(QStringLiteral("mnuWSExec"))->isEnabled());
}

TEST(WorkSpaceStoreTest, SaveRewritesTheStoreAndKeepsOnlyTheFieldsOfEachKind)
{
    WorkSpaceStore() = {
        {52, QStringLiteral("f(int) (s)"), QStringLiteral("s"), QStringLiteral("f"), QStringLiteral("c"), 77, QString()},
        {57, QStringLiteral("t (s.x)"), QStringLiteral("s"), QStringLiteral("t"), QStringLiteral("c"), 0, QStringLiteral("x")},
        {45, QStringLiteral("e (s)"), QStringLiteral("s"), QStringLiteral("e"), QStringLiteral("c"), 0, QString()},
    };
    SaveWorkSpace();
    WorkSpaceStore().removeAt(1);
    SaveWorkSpace();
    WorkSpaceStore().clear();
    LoadWorkSpace();
    ASSERT_EQ(WorkSpaceStore().size(), 2);
    EXPECT_EQ(WorkSpaceStore().at(0).oid, 77);
    EXPECT_EQ(WorkSpaceStore().at(1).ObjectName, QStringLiteral("e"));
    WorkSpaceStore().clear();
    SaveWorkSpace();
}

TEST_F(LayoutTest, EveryBarShowsAllItsButtonsWithAWorkSpaceAndAMenuOpen)
{
    Make();
    Main->resize(1100, 700);
    auto *a = StubConnForm::Open(Main, QStringLiteral("scott"), QStringLiteral("sales"));
    a->Items = {Item("emp", 45, "public"), Item("dept_view", 47, "public"), Item("calc", 52, "public", "integer", "7")};
    Main->WorkSpaceDrop(a);
    Flush();
    for (QToolBar *bar : Bars())
        EXPECT_GE(bar->width(), bar->sizeHint().width() - 2) << bar->objectName().toStdString();
    EXPECT_EQ(Main->lstWorkSpace->topLevelItemCount(), 3);
    QMenu *edit = Main->menuBar()->findChild<QMenu *>(QStringLiteral("mnuEdit"));
    edit->popup(Main->mapToGlobal(QPoint(60, 20)));
    Flush();
    EXPECT_TRUE(edit->isVisible());
    // Pictures for a person to look at, when asked for.
    const QString dir = qEnvironmentVariable("VANTOR_SHOT_DIR");
    if (!dir.isEmpty()) {
        Main->grab().save(dir + QStringLiteral("/main-window.png"));
        edit->grab().save(dir + QStringLiteral("/main-window-edit-menu.png"));
        Main->ReplaceDialog()->adjustSize();
        Main->ReplaceDialog()->grab().save(dir + QStringLiteral("/replace-dialog.png"));
        TfrmSupport support(Main);
        support.grab().save(dir + QStringLiteral("/support-dialog.png"));
    }
    edit->hide();
}
