// Replace all in a 50,000-line SQL editor text with 100,000 hits, through the main window's
// command, and the one undo step that takes it back. Run by hand:
//   QT_QPA_PLATFORM=offscreen build/bench/bench_replace_all
#include "app/fmain.h"
#include "controls/kdmemo.h"
#include "core/kdsub_msg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 50000;
    QStringList rows;
    rows.reserve(lines);
    for (int i = 0; i < lines; ++i)
        rows << QStringLiteral("SELECT emp.id, emp.名前 FROM t%1 WHERE x = %1;").arg(i);
    SetMessageBoxHook([](MessageBoxRequest &r) {
        std::printf("message: %s\n", qPrintable(r.text));
        return IDOK;
    });
    TfrmMain main{QStringList()};
    main.SetCloseSteps({});
    main.show();
    auto *memo = new TkdMemo;
    main.AddChildWindow(memo);
    memo->setText(rows.join(QLatin1Char('\n')));
    memo->setFocus();
    app.processEvents();
    main.ReplaceDialog();
    main.ReplaceFindText()->setText(QStringLiteral("emp"));
    main.ReplaceText()->setText(QStringLiteral("employee"));
    QElapsedTimer t;
    t.start();
    main.ReplaceAll();
    app.processEvents();
    const double replaceMs = t.nsecsElapsed() / 1e6;
    t.restart();
    memo->undo();
    app.processEvents();
    const double undoMs = t.nsecsElapsed() / 1e6;
    std::printf("lines %d: replace all %.1f ms, undo %.1f ms, text restored %s\n", lines, replaceMs, undoMs,
                memo->text() == rows.join(QLatin1Char('\n')) ? "yes" : "no");
    main.hide();
    return 0;
}
