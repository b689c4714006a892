// The options dialog against the sandbox server, with real connection windows: the commit
// mode change reaches every connection, the tree is rebuilt only when its order changed, and
// the object-list options reach every open window.
#include "app/app_openers.h"
#include "app/fmain.h"
#include "app/foption.h"
#include "app/option_run.h"
#include "browser/fobject.h"
#include "controls/kdcomctrls.h"
#include "controls/kdstdctl.h"
#include "core/kdopeners.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "platform/db/dbconnection.h"
#include "support/qstring_printer.h"
#include "support/testdb.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

void Flush()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

class OptionDbTest : public testdb::SchemaTest
{
protected:
    void SetUp() override
    {
        testdb::SchemaTest::SetUp();
        FOldHook = SetMessageBoxHook([this](MessageBoxRequest &r) {
            Boxes << r.text;
            return IDOK;
        });
        SetLogonProc({});
        kdopeners::Clear();
        Main = new TfrmMain;
        Main->SetCloseSteps({});
        RegisterAppOpeners();
        TkdOption::Global().UpdateToCommit = false;
        TkdOption::Global().CharacterSet = QStringLiteral("UTF8");
        TkdOption::Global().UseLowerName = false;
        TkdOption::Global().TreeSort = 0;
        Main->show();
        QApplication::setActiveWindow(Main);
        Flush();
        exec(QStringLiteral("CREATE TABLE %1.t (id int)").arg(schema()));
    }
    void TearDown() override
    {
        Main->SetCloseSteps({});
        Main->close();
        delete Main;
        Flush();
        kdopeners::Clear();
        SetMessageBoxHook(FOldHook);
        ResetAllOptions();
        testdb::SchemaTest::TearDown();
    }
    TfrmObject *Open()
    {
        const testdb::Params &p = testdb::params();
        TfrmObject *f = TfrmObject::Create({p.host, p.port, p.database, schema(), p.user, p.password});
        Flush();
        return f;
    }
    // Runs the options command; `act` sets the controls, then OK is pressed.
    void RunOptions(const std::function<void(TfrmOption *)> &act)
    {
        EXPECT_TRUE(RunOptionsCommand(Main, act, true));
        Flush();
    }
    int Rows() { return scalar(QStringLiteral("SELECT count(*) FROM %1.t").arg(schema())).toInt(); }

    TfrmMain *Main = nullptr;
    QStringList Boxes;

private:
    MessageBoxHook FOldHook;
};

} // namespace

TEST_F(OptionDbTest, TurningAutoCommitOnCommitsAndOffBeginsOnEveryConnection)
{
    TfrmObject *a = Open();
    TfrmObject *b = Open();
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(a->dbsMain()->inTransaction());
    ASSERT_TRUE(b->dbsMain()->inTransaction());
    // Work of both connections, not committed yet.
    a->ExecuteSQL(QStringLiteral("INSERT INTO %1.t VALUES (1)").arg(schema()));
    b->ExecuteSQL(QStringLiteral("INSERT INTO %1.t VALUES (2)").arg(schema()));
    EXPECT_EQ(Rows(), 0);

    RunOptions([](TfrmOption *d) {
        EXPECT_FALSE(d->chkUpdateToCommit->isChecked());
        d->chkUpdateToCommit->setChecked(true);
    });
    EXPECT_TRUE(TkdOption::Global().UpdateToCommit);
    EXPECT_EQ(Rows(), 2) << "both connections committed";
    EXPECT_FALSE(a->dbsMain()->inTransaction());
    EXPECT_FALSE(b->dbsMain()->inTransaction());

    // OK without a change sends nothing.
    RunOptions([](TfrmOption *) {});
    EXPECT_FALSE(a->dbsMain()->inTransaction());

    RunOptions([](TfrmOption *d) { d->chkUpdateToCommit->setChecked(false); });
    EXPECT_FALSE(TkdOption::Global().UpdateToCommit);
    EXPECT_TRUE(a->dbsMain()->inTransaction());
    EXPECT_TRUE(b->dbsMain()->inTransaction());
    a->ExecuteSQL(QStringLiteral("INSERT INTO %1.t VALUES (3)").arg(schema()));
    EXPECT_EQ(Rows(), 2) << "the new transaction holds the row";
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join(QLatin1Char('\n')).toStdString();
}

TEST_F(OptionDbTest, TheTreeIsRebuiltOnlyWhenItsOrderChanged)
{
    TfrmObject *a = Open();
    TfrmObject *b = Open();
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    const auto tree = [](TfrmObject *f) { return f->findChild<QTreeWidget *>(QStringLiteral("lstTree")); };
    ASSERT_NE(tree(a), nullptr);
    // A marker entry in each tree shows whether the tree was rebuilt.
    for (TfrmObject *f : {a, b})
        new QTreeWidgetItem(tree(f), QStringList{QStringLiteral("marker")});
    const auto hasMarker = [&](TfrmObject *f) {
        return !tree(f)->findItems(QStringLiteral("marker"), Qt::MatchExactly).isEmpty();
    };

    // OK without an order change: trees untouched, but the list options reach every window.
    RunOptions([](TfrmOption *d) {
        d->chkFind->setChecked(false);
        d->chkRowSelect->setChecked(true);
    });
    for (TfrmObject *f : {a, b}) {
        EXPECT_TRUE(hasMarker(f));
        EXPECT_FALSE(f->findChild<QWidget *>(QStringLiteral("pnlFind"))->isVisibleTo(f));
        EXPECT_EQ(f->findChild<QAbstractItemView *>(QStringLiteral("lstObject"))->selectionBehavior(),
                  QAbstractItemView::SelectRows);
    }

    // Only the order changed: every tree is rebuilt in the new order.
    RunOptions([](TfrmOption *d) { d->rdoSort->button(1)->click(); });
    EXPECT_EQ(TkdOption::Global().TreeSort, 1);
    for (TfrmObject *f : {a, b}) {
        EXPECT_FALSE(hasMarker(f));
        EXPECT_TRUE(f->findChild<QAbstractButton *>(QStringLiteral("btnTree2"))->isChecked());
        EXPECT_FALSE(f->findChild<QAbstractButton *>(QStringLiteral("btnTree1"))->isChecked());
        EXPECT_GT(tree(f)->topLevelItemCount(), 0);
    }
    // And back, after a pass without change.
    for (TfrmObject *f : {a, b})
        new QTreeWidgetItem(tree(f), QStringList{QStringLiteral("marker")});
    RunOptions([](TfrmOption *d) { d->chkFind->setChecked(true); });
    EXPECT_TRUE(hasMarker(a));
    EXPECT_TRUE(a->findChild<QWidget *>(QStringLiteral("pnlFind"))->isVisibleTo(a));
    RunOptions([](TfrmOption *d) { d->rdoSort->button(0)->click(); });
    EXPECT_FALSE(hasMarker(a));
    EXPECT_FALSE(hasMarker(b));
    EXPECT_TRUE(a->findChild<QAbstractButton *>(QStringLiteral("btnTree1"))->isChecked());
    EXPECT_EQ(TkdOption::Global().TreeSort, 0);
}

TEST_F(OptionDbTest, ChangedShortcutsReachTheOpenConnectionWindows)
{
    TfrmObject *a = Open();
    ASSERT_NE(a, nullptr);
    RunOptions([](TfrmOption *d) {
        TkdTreeNode *node = d->ShortCutNode(QStringLiteral("actOpenData"));
        ASSERT_NE(node, nullptr);
        d->lstShortCut->setCurrentItem(node);
        node->setSelected(true);
        d->lstShortCutKeyUp(Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    });
    EXPECT_EQ(Main->Act(QStringLiteral("actOpenData"))->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D));
    EXPECT_EQ(a->Action(QStringLiteral("actOpenData"))->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D));
}
