// The object tree and list inside the connection window on the sample database: the tree
// is built at creation with the stored display filter, a settled tree selection fills the
// list, and the display filter chosen in the window is stored when it closes.
#include "app/fmain.h"
#include "browser/fobject.h"
#include "browser/objlist.h"
#include "browser/objtree.h"
#include "controls/kdcomctrls.h"
#include "controls/kdstdctl.h"
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

TEST(ConnectionWindowObjects, TreeAndListInTheWindow)
{
    QStringList boxes;
    const MessageBoxHook old = SetMessageBoxHook([&](MessageBoxRequest &r) {
        boxes << r.text;
        return IDOK;
    });
    auto *main = new TfrmMain;
    main->SetCloseSteps({});
    TkdOption::Global().UpdateToCommit = false;
    TkdOption::Global().CharacterSet = u("UTF8");
    main->show();
    QApplication::setActiveWindow(main);
    const testdb::Params &p = testdb::params();
    {
        TkdRegistry reg(HKEY_CURRENT_USER);
        ASSERT_TRUE(reg.OpenKey(QString::fromUtf16(kMainKey) + u("\\OBJECTTREE\\") + p.sampleDatabase, true));
        reg.WriteInteger(u("Disp"), 1); // the login schema only
        reg.CloseKey();
    }
    TfrmObject *f = TfrmObject::Create({p.host, p.port, p.sampleDatabase, u("sales"), p.user, p.password});
    Flush();
    EXPECT_EQ(f->Disp, 1);
    QTreeWidgetItem *root = f->trvObject->topLevelItem(0);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->text(0), p.sampleDatabase);
    ASSERT_EQ(root->childCount(), 1);
    EXPECT_EQ(root->child(0)->text(0), u("sales"));
    EXPECT_EQ(f->FTreePane->cmbTree->currentIndex(), 1);

    // a settled selection fills the list
    f->trvObject->setCurrentItem(root->child(0)->child(0)); // sales / TABLE
    QTRY_VERIFY_WITH_TIMEOUT(f->ObjectCount() > 0, 2000);
    EXPECT_EQ(f->ObjectCount(), 10);
    bool orders = false;
    for (int r = 0; r < f->lstObject->Model()->rowCount(); ++r)
        orders = orders || f->lstObject->Model()->Row(r).Caption == u("orders");
    EXPECT_TRUE(orders);
    f->lstObject->selectAll();
    EXPECT_EQ(f->SelectedObjectCount(), 10);

    // every schema, then closing stores the choice
    f->FTreePane->cmbTree->setCurrentIndex(0);
    Q_EMIT f->FTreePane->cmbTree->activated(0);
    EXPECT_EQ(f->Disp, 0);
    EXPECT_GT(f->trvObject->topLevelItem(0)->childCount(), 5);
    f->close();
    Flush();
    {
        TkdRegistry reg(HKEY_CURRENT_USER);
        ASSERT_TRUE(reg.OpenKey(QString::fromUtf16(kMainKey) + u("\\OBJECTTREE\\") + p.sampleDatabase, false));
        EXPECT_EQ(reg.GetInteger(u("Disp"), -1), 0);
        reg.CloseKey();
    }
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join(u("\n")).toStdString();
    main->close();
    delete main;
    Flush();
    SetMessageBoxHook(old);
}

} // namespace
