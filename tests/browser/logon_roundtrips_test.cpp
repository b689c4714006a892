// How much a logon and the first object list cost on the wire: the statements the connection
// window sends and the round trips they take, counted on the connection. A change that adds
// a statement or a round trip to these paths makes this fail; every round trip costs the
// user the network's latency once more.
#include "app/fmain.h"
#include "browser/fobject.h"
#include "browser/objlist.h"
#include "browser/objtree.h"
#include "controls/kdcomctrls.h"
#include "core/kdreg.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "support/qstring_printer.h"
#include "support/testdb.h"
#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QString u(const char *s) { return QString::fromUtf8(s); }

void Flush()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

struct LogonCase
{
    const char *name;
    bool updateToCommit;
    // After the connection is made. A command-line client needs one round trip for its
    // first query; the logon may take two more (schema list, search path, transaction).
    qint64 maxRoundTrips;
    qint64 maxStatements;
    qint64 maxListRoundTrips;
};

class LogonRoundTrips : public ::testing::TestWithParam<LogonCase>
{
protected:
    void SetUp() override
    {
        FOld = SetMessageBoxHook([this](MessageBoxRequest &r) {
            Boxes << r.text;
            return IDOK;
        });
        Main = new TfrmMain;
        Main->SetCloseSteps({});
        TkdOption::Global().UpdateToCommit = GetParam().updateToCommit;
        TkdOption::Global().CharacterSet = u("UTF8");
        Main->show();
        QApplication::setActiveWindow(Main);
        const testdb::Params &p = testdb::params();
        TkdRegistry reg(HKEY_CURRENT_USER);
        ASSERT_TRUE(reg.OpenKey(QString::fromUtf16(kMainKey) + u("\\OBJECTTREE\\") + p.sampleDatabase, true));
        reg.WriteInteger(u("Disp"), 1); // the login schema only
        reg.CloseKey();
    }
    void TearDown() override
    {
        Main->close();
        delete Main;
        Flush();
        SetMessageBoxHook(FOld);
        TkdOption::Global().UpdateToCommit = false;
    }
    TfrmMain *Main = nullptr;
    QStringList Boxes;
    MessageBoxHook FOld;
};

TEST_P(LogonRoundTrips, LogonAndFirstObjectListStayWithinTheirRoundTrips)
{
    const LogonCase &c = GetParam();
    const testdb::Params &p = testdb::params();
    TfrmObject *f = TfrmObject::Create({p.host, p.port, p.sampleDatabase, u("sales"), p.user, p.password});
    ASSERT_NE(f, nullptr);
    db::Connection *conn = f->dbsMain();
    const qint64 logonTrips = conn->roundTrips();
    const qint64 logonStatements = conn->statementCount();
    EXPECT_LE(logonTrips, c.maxRoundTrips);
    EXPECT_LE(logonStatements, c.maxStatements);
    // What the logon must still have done, whatever it saved.
    EXPECT_EQ(f->DBVer(), conn->dbVer());
    EXPECT_EQ(f->MYSID, conn->backendPid());
    EXPECT_EQ(conn->inTransaction(), !c.updateToCommit);
    QTreeWidgetItem *root = f->trvObject->topLevelItem(0);
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->childCount(), 1);
    EXPECT_EQ(root->child(0)->text(0), u("sales"));

    // Opening the object list of a schema's tables: one statement. It runs behind a cursor
    // (a list may hold 100,000 rows and the first ones show at once): outside a block the
    // layer's own block, the cursor and the first rows go in one message and its end in a
    // second; inside the window's block the opening and the closing each run under a
    // savepoint.
    QStringList sent;
    conn->setStatementObserver([&](const QString &sql) { sent << sql; });
    const qint64 before = conn->roundTrips();
    f->trvObject->setCurrentItem(root->child(0)->child(0)); // sales / TABLE
    QTRY_VERIFY_WITH_TIMEOUT(f->ObjectCount() > 0, 2000);
    conn->setStatementObserver({});
    EXPECT_EQ(f->ObjectCount(), 10);
    EXPECT_EQ(sent.size(), 1) << sent.join(u("\n----\n")).toStdString();
    EXPECT_LE(conn->roundTrips() - before, c.maxListRoundTrips);

    // Asked for later, the version text still comes from the server.
    EXPECT_EQ(f->g_Linux_Ver(), f->g_Linux_Ver());
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join(u("\n")).toStdString();
    f->close();
    Flush();
}

INSTANTIATE_TEST_SUITE_P(Logon, LogonRoundTrips,
                         ::testing::Values(LogonCase{"InsideTheWindowsBlock", false, 3, 3, 6},
                                           LogonCase{"EachStatementCommits", true, 2, 2, 2}),
                         [](const ::testing::TestParamInfo<LogonCase> &info) { return info.param.name; });

} // namespace
