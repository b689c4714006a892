// Script output of selected tables into one file against pg_dump --schema-only of the same
// schema: N tables (default 2,000, each with a key, a default, a comment and an index) in a
// scratch schema, the connection window's script command with its options dialog answered
// (one file, no grants, no data), then pg_dump --schema-only -n of that schema. Goal: the
// window takes at most 3 times as long as pg_dump.
//
// Needs the sandbox server: run with the variables of its env file set
// (set -a; . /tmp/vantor-pg-<port>/env; set +a), under the offscreen platform:
//   QT_QPA_PLATFORM=offscreen bench_script_output [tables]
#include "bench_window.h"
#include "browser/fobject.h"
#include "browser/fsoption.h"
#include "browser/objlist.h"
#include "browser/objtree.h"
#include "controls/kdcomctrls.h"
#include "core/kdreg.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_start.h"
#include "editors/editor_table.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    QTemporaryDir config;
    qputenv("VANTOR_CONFIG_DIR", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 2000;
    InitializeSharedUnit();
    LoadSettings();
    RegisterEditors();
    TkdOption::Global().UpdateToCommit = true;
    TkdOption::Global().ShowLevel1 = false;
    TScriptOption &so = TScriptOption::Global();
    so.OneScript = true;
    so.Grant = false;
    so.Insert = false;
    so.Index = true;
    so.SameName = true;
    SetMessageBoxHook([](MessageBoxRequest &r) {
        std::printf("message: %s\n", qPrintable(r.text.left(200)));
        return IDOK;
    });
    const QString database = benchwin::database();
    TfrmObject *form = benchwin::open(QStringLiteral("bench_script"));
    form->ExecuteSQL(QStringLiteral("DROP SCHEMA IF EXISTS bench_script CASCADE"));
    form->ExecuteSQL(QStringLiteral("CREATE SCHEMA bench_script"));
    QStringList sql;
    for (int i = 0; i < count; ++i)
        sql << QStringLiteral("CREATE TABLE bench_script.t%1 (id int PRIMARY KEY, name text NOT NULL DEFAULT 'x', "
                              "amount numeric(12,2), created timestamp DEFAULT now())")
                   .arg(i)
            << QStringLiteral(";")
            << QStringLiteral("CREATE INDEX t%1_name ON bench_script.t%1 (name)").arg(i) << QStringLiteral(";")
            << QStringLiteral("COMMENT ON TABLE bench_script.t%1 IS 'table %1'").arg(i) << QStringLiteral(";");
    form->ExecuteSQL(sql, false);
    if (!benchwin::selectAllTables(form, QStringLiteral("bench_script")))
        return 1;

    QTemporaryDir out;
    const QString file = out.path() + QStringLiteral("/all.sql");
    // The options dialog: one file at `file`, started at once.
    QTimer::singleShot(0, [file] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *d = qobject_cast<TfrmScriptOption *>(w)) {
                d->txtDir->setText(file);
                d->btnOk->click();
            }
    });
    QElapsedTimer timer;
    timer.start();
    form->actScriptExecute();
    const double window = timer.nsecsElapsed() / 1e9;
    QFile written(file);
    std::printf("script file            %lld bytes\n", written.size());
    for (const QFileInfo &fi : QDir(out.path()).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot))
        std::printf("  written: %s %lld\n", qPrintable(fi.fileName()), fi.size());

    timer.restart();
    QProcess dump;
    dump.start(QStringLiteral("pg_dump"), {QStringLiteral("--schema-only"), QStringLiteral("-n"), QStringLiteral("bench_script"),
                                           QStringLiteral("-f"), out.path() + QStringLiteral("/dump.sql"), database});
    dump.waitForFinished(-1);
    const double reference = timer.nsecsElapsed() / 1e9;
    std::printf("tables                 %d\n", count);
    std::printf("pg_dump --schema-only  %.3f s (exit %d)\n", reference, dump.exitCode());
    std::printf("script output          %.3f s  (%.2fx, goal <= 3.00x)\n", window, window / reference);
    form->ExecuteSQL(QStringLiteral("DROP SCHEMA IF EXISTS bench_script CASCADE"));
    form->close();
    return 0;
}
