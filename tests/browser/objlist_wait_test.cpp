// The object list while it waits for the server, with the program's call waiter installed:
// the event loop keeps running during the wait, and what may happen meanwhile is safe: Esc,
// a second fill, a close of the connection, a close of the connection window. The wait is
// made certain by another session that holds a sequence locked (the sequence values of the
// detail list read the sequence) until the test lets it go.
#include "app/fmain.h"
#include "browser/fobject.h"
#include "browser/objbrowser_fixture.h"
#include "browser/objlist.h"
#include "browser/objtree.h"
#include "core/kdcallwait.h"
#include "core/kdforms.h"
#include "core/kdsub_msg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>
#include <gtest/gtest.h>
#include <functional>

namespace {

void Flush()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// Counts the ticks of a 5 ms timer; they only come while the event loop runs.
struct Ticker {
    Ticker()
    {
        Timer.setInterval(5);
        QObject::connect(&Timer, &QTimer::timeout, [this] { ++Ticks; });
        Timer.start();
    }
    QTimer Timer;
    int Ticks = 0;
};

class ListWaitTest : public testdb::SchemaTest {
protected:
    void SetUp() override
    {
        testdb::SchemaTest::SetUp();
        ResetOptionsToDefaults();
        InstallCallWaiter(); // as the program does
        TkdOption::Global().TreeData = true;
        exec(QStringLiteral("CREATE TABLE %1.t1 (id int)").arg(schema()));
        for (const char *s : {"s1", "s2", "s3"})
            exec(QStringLiteral("CREATE SEQUENCE %1.%2").arg(schema(), QLatin1String(s)));
        FOldHook = SetMessageBoxHook([this](MessageBoxRequest &r) {
            Boxes << r.text;
            return IDOK;
        });
    }
    void TearDown() override
    {
        if (FLocked)
            Release();
        SetMessageBoxHook(FOldHook);
        testdb::SchemaTest::TearDown();
    }
    // Another session holds s2 until Release: reading its values waits.
    void Lock()
    {
        exec(QStringLiteral("BEGIN"));
        exec(QStringLiteral("DROP SEQUENCE %1.s2").arg(schema()));
        FLocked = true;
    }
    void Release()
    {
        FLocked = false;
        exec(QStringLiteral("ROLLBACK"));
    }
    TTreeSelection Node(const QString &kind) const
    {
        TTreeSelection n;
        n.Level = 2;
        n.Text = kind;
        n.ParentText = schema();
        return n;
    }
    static QStringList Names(TObjectListPane &list)
    {
        QStringList n;
        for (int r = 0; r < list.lstObject->Model()->rowCount(); ++r)
            n << list.lstObject->Model()->Row(r).Caption;
        return n;
    }
    // Runs `action` once, `afterMs` into the fill's wait.
    static void During(int afterMs, std::function<void()> action)
    {
        QTimer::singleShot(afterMs, std::move(action));
    }

    QStringList Boxes;

private:
    MessageBoxHook FOldHook;
    bool FLocked = false;
};

TEST_F(ListWaitTest, EventLoopRunsWhileTheFillWaitsAndTheFillCompletes)
{
    TestConnServices conn(testdb::params().database, schema());
    QWidget window;
    TObjectListPane list(&conn, &window);
    window.show();
    Lock();
    Ticker ticker;
    QElapsedTimer clock;
    clock.start();
    During(400, [&] { Release(); });
    list.ShowObject(false, Node(QStringLiteral("SEQUENCE")), 0);
    EXPECT_GE(clock.elapsed(), 350) << "the fill did not wait for the lock";
    // The waiter lets the queue run about every 50 ms of the wait (a blocked loop would see
    // one tick at most, after the fill).
    EXPECT_GE(ticker.Ticks, 5);
    EXPECT_EQ(Names(list), (QStringList{QStringLiteral("s1"), QStringLiteral("s2"), QStringLiteral("s3")}));
    EXPECT_FALSE(list.lstObject->Model()->SubItem(1, 1).isEmpty()) << "values of the released sequence";
    EXPECT_FALSE(list.Filling());
    EXPECT_EQ(conn.dbsMain()->callWaitDelay(), db::kCallWaitDelayMs) << "the fill's shorter delay is undone";
}

// What may interrupt a waiting fill; each ends it at once, without an error, leaving the
// list usable. The session holding the lock keeps it throughout: the fill never got past it.
TEST_F(ListWaitTest, InterruptionsDuringTheWait)
{
    struct Case {
        const char *name;
        std::function<void(TObjectListPane &, db::Connection &)> interrupt;
        QStringList rowsAfter; // after the events have run
        bool connected;
    };
    const Case cases[] = {
        {"Esc",
         [](TObjectListPane &l, db::Connection &) {
             QCoreApplication::postEvent(l.lstObject, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
         },
         {}, true},
        {"second fill",
         [this](TObjectListPane &l, db::Connection &) { l.ShowObject(false, Node(QStringLiteral("TABLE")), 0); },
         {QStringLiteral("t1")}, true},
        {"connection closed", [](TObjectListPane &, db::Connection &c) { c.close(); }, {}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestConnServices conn(testdb::params().database, schema());
        QWidget window;
        TObjectListPane list(&conn, &window);
        window.show();
        QApplication::setActiveWindow(&window);
        list.lstObject->setFocus();
        Lock();
        QElapsedTimer clock;
        clock.start();
        During(150, [&] { c.interrupt(list, *conn.dbsMain()); });
        EXPECT_NO_THROW(list.ShowObject(false, Node(QStringLiteral("SEQUENCE")), 0));
        EXPECT_LT(clock.elapsed(), 5000) << "the fill went on waiting";
        EXPECT_FALSE(list.Filling());
        Flush(); // a deferred fill runs here
        EXPECT_EQ(Names(list), c.rowsAfter);
        EXPECT_EQ(conn.dbsMain()->isConnected(), c.connected);
        Release();
        if (c.connected) {
            // The connection took no harm: the same list fills in full.
            list.ShowObject(false, Node(QStringLiteral("SEQUENCE")), 0);
            EXPECT_EQ(Names(list).size(), 3);
        }
    }
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join(QStringLiteral("\n")).toStdString();
}

// Closing the connection window while its list waits: the close waits for the fill to stop
// (the fill still uses the window's connection and list), then goes on as usual.
TEST_F(ListWaitTest, WindowClosedDuringTheWaitClosesAfterTheFill)
{
    SetLogonProc({});
    auto *main = new TfrmMain;
    main->SetCloseSteps({});
    TkdOption::Global().UpdateToCommit = false;
    TkdOption::Global().CharacterSet = QStringLiteral("UTF8");
    TkdOption::Global().TreeData = true;
    main->show();
    QApplication::setActiveWindow(main);
    Flush();
    const testdb::Params &p = testdb::params();
    QPointer<TfrmObject> f = TfrmObject::Create({p.host, p.port, p.database, schema(), p.user, p.password});
    ASSERT_TRUE(f);
    Flush();
    Lock();
    bool closeReturned = false;
    During(150, [&] {
        if (auto *sub = qobject_cast<QMdiSubWindow *>(f->parentWidget()))
            sub->close();
        else
            f->close();
        closeReturned = true;
    });
    EXPECT_NO_THROW(f->FListPane->ShowObject(false, Node(QStringLiteral("SEQUENCE")), 0));
    EXPECT_TRUE(closeReturned);
    ASSERT_TRUE(f) << "the window went away under its own fill";
    EXPECT_FALSE(f->FListPane->Filling());
    Flush();
    Flush();
    EXPECT_FALSE(f) << "the window closes once the fill has stopped";
    EXPECT_TRUE(main->Connections().isEmpty());
    Release();
    main->close();
    delete main;
    Flush();
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join(QStringLiteral("\n")).toStdString();
}

} // namespace
