#pragma once
// Shared set-up of the benchmarks that drive a real connection window: a private settings
// folder, the window logged on to the sandbox server from its env variables, and the list
// showing every table of one schema, all selected; or the main window with the editors
// registered and one connection window in it.
#include "app/fmain.h"
#include "browser/fobject.h"
#include "browser/objlist.h"
#include "browser/objtree.h"
#include "controls/kdcomctrls.h"
#include "core/kdeditorreg.h"
#include "core/kdforms.h"
#include "editors/editor_table.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

#include <cstdio>
#include <functional>

namespace benchwin {

inline QString env(const char *name) { return QString::fromLocal8Bit(qgetenv(name)); }

inline QString database() { return env("PGDATABASE").isEmpty() ? QStringLiteral("postgres") : env("PGDATABASE"); }

// A connection window on the sandbox server whose login schema is `schema`.
inline TfrmObject *open(const QString &schema)
{
    return TfrmObject::Create({env("PGHOST"), env("PGPORT"), database(), schema, env("PGUSER"), env("PGPASSWORD")});
}

// Shows the tree, lets its settle timer fill the list (so it does not refill it later and drop
// the selection), then shows the tables of `schema` and selects them all. False when the
// schema has no TABLE node.
inline bool selectAllTables(TfrmObject *form, const QString &schema)
{
    form->ShowTree();
    QTreeWidgetItem *tables = nullptr;
    std::function<void(QTreeWidgetItem *)> walk = [&](QTreeWidgetItem *i) {
        auto *n = dynamic_cast<TkdTreeNode *>(i);
        if (!tables && n && n->Data().toInt() == 45 && i->parent() && i->parent()->text(0) == schema)
            tables = i;
        for (int c = 0; c < i->childCount(); ++c)
            walk(i->child(c));
    };
    walk(form->trvObject->topLevelItem(0));
    if (!tables) {
        std::fprintf(stderr, "no TABLE node of %s\n", qPrintable(schema));
        return false;
    }
    form->trvObject->setCurrentItem(tables);
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    form->ShowObject(false);
    form->lstObject->selectAll();
    std::printf("tables listed          %d\n", form->ObjectCount());
    return true;
}

// The main window (no logon dialog, no questions when it closes) with the editors
// registered and one connection window on the sandbox server, logged on to `database` with
// the login schema "public". The window closes and the editor table is emptied at the end.
class MainWindow
{
public:
    explicit MainWindow(const QString &database) : FNoLogon((SetLogonProc({}), true))
    {
        Main.SetCloseSteps({});
        Main.show();
        RegisterEditors();
        Conn = TfrmObject::Create(
            {env("PGHOST"), env("PGPORT"), database, QStringLiteral("public"), env("PGUSER"), env("PGPASSWORD")});
        QCoreApplication::processEvents();
    }
    ~MainWindow()
    {
        Main.close();
        ClearEditorRegistry();
    }
    MainWindow(const MainWindow &) = delete;
    MainWindow &operator=(const MainWindow &) = delete;

private:
    bool FNoLogon;

public:
    TfrmMain Main;
    TfrmObject *Conn = nullptr;
};

} // namespace benchwin
