#pragma once
// The real connection window on a fresh schema of the sandbox server, with the main window,
// scripted message boxes and helpers to pick tree nodes and list rows.
#include "app/fmain.h"
#include "browser/fobject.h"
#include "browser/objlist.h"
#include "browser/objtree.h"
#include "controls/kdcomctrls.h"
#include "core/kdeditorreg.h"
#include "core/kdopeners.h"
#include "core/kdreg.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "support/qstring_printer.h"
#include "support/testdb.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QDir>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

namespace objcmds {

inline QString u(const char *s) { return QString::fromUtf8(s); }

inline void Flush()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

class ObjectCommandsTest : public testdb::SchemaTest
{
protected:
    void SetUp() override
    {
        testdb::SchemaTest::SetUp();
        FOldHook = SetMessageBoxHook([this](MessageBoxRequest &r) {
            Boxes << r.text;
            if (Answer)
                return Answer(r);
            return r.kind == MessageBoxRequest::Kind::Message ? IDOK : IDYES;
        });
        SetLogonProc({});
        Main = new TfrmMain;
        Main->SetCloseSteps({});
        TkdOption &opt = TkdOption::Global();
        opt.UpdateToCommit = true;
        opt.CharacterSet = u("UTF8");
        opt.UseLowerName = false;
        opt.ShowDDL = false;
        opt.DelErr = false;
        opt.TreeSort = 0;
        Main->show();
        QApplication::setActiveWindow(Main);
        const testdb::Params &p = testdb::params();
        TkdRegistry reg(HKEY_CURRENT_USER);
        if (reg.OpenKey(QString::fromUtf16(kMainKey) + u("\\OBJECTTREE\\") + p.database, true)) {
            reg.WriteInteger(u("Disp"), 1); // the login schema only
            reg.CloseKey();
        }
        Flush();
    }
    void TearDown() override
    {
        ClearEditorRegistry();
        Main->SetCloseSteps({});
        Main->close();
        delete Main;
        Flush();
        SetMessageBoxHook(FOldHook);
        TkdOption::Global().UpdateToCommit = false;
        TkdOption::Global().TreeSort = 0;
        testdb::SchemaTest::TearDown();
    }
    TfrmObject *Open()
    {
        const testdb::Params &p = testdb::params();
        TfrmObject *f = TfrmObject::Create({p.host, p.port, p.database, schema(), p.user, p.password});
        Flush();
        return f;
    }
    // The tree node of an image under the login schema (or the schema node itself for 126/4).
    static QTreeWidgetItem *Node(TfrmObject *f, int image)
    {
        QTreeWidgetItem *found = nullptr;
        std::function<void(QTreeWidgetItem *)> walk = [&](QTreeWidgetItem *i) {
            auto *n = dynamic_cast<TkdTreeNode *>(i);
            if (!found && n && n->Data().toInt() == image)
                found = i;
            for (int c = 0; c < i->childCount(); ++c)
                walk(i->child(c));
        };
        walk(f->trvObject->topLevelItem(0));
        return found;
    }
    static void Select(TfrmObject *f, QTreeWidgetItem *node)
    {
        f->trvObject->setCurrentItem(node);
        // the tree's settle timer (50 ms) fills the list; let it run before selecting rows
        QTest::qWait(120);
        f->ShowObject(false);
        Flush();
        f->mnuObjectClick();
    }
    static void SelectType(TfrmObject *f, int image)
    {
        QTreeWidgetItem *n = Node(f, image);
        ASSERT_NE(n, nullptr) << image;
        Select(f, n);
    }
    static int RowOf(TfrmObject *f, const QString &name)
    {
        for (int r = 0; r < f->lstObject->Model()->rowCount(); ++r)
            if (f->lstObject->Model()->Row(r).Caption == name)
                return r;
        return -1;
    }
    static void SelectRows(TfrmObject *f, const QStringList &names)
    {
        f->lstObject->clearSelection();
        for (const QString &n : names) {
            const int r = RowOf(f, n);
            ASSERT_GE(r, 0) << n.toStdString();
            f->lstObject->selectionModel()->select(f->lstObject->model()->index(r, 0),
                                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        f->mnuObjectClick();
    }
    static QStringList SelectedNames(TfrmObject *f)
    {
        QStringList names;
        for (int r : f->lstObject->SelectedRows())
            names << f->lstObject->Model()->Row(r).Caption;
        return names;
    }
    bool Exists(const QString &name)
    {
        return scalar(u("SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                        "WHERE n.nspname = '%1' AND c.relname = '%2'").arg(schema(), name)) == u("1");
    }
    static bool Visible(TfrmObject *f, const char *name) { return f->Action(u(name))->isVisible(); }
    static bool Enabled(TfrmObject *f, const char *name) { return f->Action(u(name))->isEnabled(); }

    TfrmMain *Main = nullptr;
    QStringList Boxes;
    std::function<int(MessageBoxRequest &)> Answer;
    MessageBoxHook FOldHook;
};

} // namespace objcmds
