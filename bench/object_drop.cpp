// Dropping selected tables from the connection window's object list against psql running the
// same DROP statements from a file: N tables (default 1,000) in a scratch schema, the window's
// drop command with its confirmation answered, then psql -f on a fresh copy. Goal: the window
// takes at most 1.5 times as long as psql.
//
// Needs the sandbox server: run with the variables of its env file set
// (set -a; . /tmp/vantor-pg-<port>/env; set +a), under the offscreen platform:
//   QT_QPA_PLATFORM=offscreen bench_object_drop [tables]
#include "bench_window.h"
#include "browser/fobject.h"
#include "browser/objcommands.h"
#include "browser/objlist.h"
#include "browser/objtree.h"
#include "controls/kdcomctrls.h"
#include "core/kdreg.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_start.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    QTemporaryDir config;
    qputenv("VANTOR_CONFIG_DIR", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    InitializeSharedUnit();
    LoadSettings();
    TkdOption::Global().UpdateToCommit = true;
    TkdOption::Global().ShowLevel1 = false;
    SetMessageBoxHook([](MessageBoxRequest &r) {
        std::printf("message: %s\n", qPrintable(r.text.left(200)));
        return r.kind == MessageBoxRequest::Kind::CheckMessage ? IDYES : IDOK;
    });
    const QString database = benchwin::database();

    TfrmObject *form = benchwin::open(QStringLiteral("bench_drop"));
    auto create = [&] {
        form->ExecuteSQL(QStringLiteral("DROP SCHEMA IF EXISTS bench_drop CASCADE"));
        form->ExecuteSQL(QStringLiteral("CREATE SCHEMA bench_drop"));
        QStringList sql;
        for (int i = 0; i < count; ++i)
            sql << QStringLiteral("CREATE TABLE bench_drop.t%1 (i int, t text)").arg(i) << QStringLiteral(";");
        form->ExecuteSQL(sql, false);
    };
    create();
    if (!benchwin::selectAllTables(form, QStringLiteral("bench_drop")))
        return 1;

    QElapsedTimer timer;
    timer.start();
    form->actDeleteExecute();
    const double window = timer.nsecsElapsed() / 1e9;
    std::printf("left after the drop    %d (selected %d)\n", form->ObjectCount(), form->SelectedObjectCount());

    create();
    QTemporaryDir dir;
    QFile file(dir.path() + QStringLiteral("/drop.sql"));
    file.open(QIODevice::WriteOnly);
    for (int i = 0; i < count; ++i) {
        TListObject o;
        o.Type = 45;
        o.Schema = QStringLiteral("bench_drop");
        o.Name = QStringLiteral("t%1").arg(i);
        file.write((DropStatement(o, false) + QStringLiteral(";\n")).toUtf8());
    }
    file.close();
    timer.restart();
    QProcess psql;
    psql.start(QStringLiteral("psql"), {QStringLiteral("-q"), QStringLiteral("-d"), database, QStringLiteral("-f"), file.fileName()});
    psql.waitForFinished(-1);
    const double reference = timer.nsecsElapsed() / 1e9;
    std::printf("tables                 %d\n", count);
    std::printf("psql -f                %.3f s\n", reference);
    std::printf("drop command           %.3f s  (%.2fx, goal <= 1.50x)\n", window, window / reference);
    form->ExecuteSQL(QStringLiteral("DROP SCHEMA IF EXISTS bench_drop CASCADE"));
    form->close();
    return 0;
}
