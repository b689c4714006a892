// Keyword colouring of a 50,000-line script: time to show it, to restyle what is shown after
// an edit near the top, and to colour the whole text. Run by hand:
//   QT_QPA_PLATFORM=offscreen build/bench/bench_memo_styling
#include "controls/kdmemo.h"
#include "core/kdreserve.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 50000;
    QStringList rows;
    rows.reserve(lines);
    for (int i = 0; i < lines; ++i) {
        switch (i % 5) {
        case 0: rows << QStringLiteral("SELECT 社員番号, 氏名, 'literal %1' FROM 社員 WHERE id = %1").arg(i); break;
        case 1: rows << QStringLiteral("  -- comment line %1 with select and from").arg(i); break;
        case 2: rows << QStringLiteral("  /* block %1").arg(i); break;
        case 3: rows << QStringLiteral("     still comment */ UPDATE t SET x = x + 1;"); break;
        default: rows << QStringLiteral("INSERT INTO \"MyTab\" (a, b) VALUES (%1, 'x');").arg(i); break;
        }
    }
    const QString text = rows.join(QLatin1Char('\n'));
    TkdMemo memo;
    QStringList words;
    AddReservedWords(words);
    memo.SetReserveWordList(words);
    memo.resize(900, 700);
    memo.show();
    app.processEvents();

    auto ms = [](QElapsedTimer &t) { return t.nsecsElapsed() / 1e6; };
    QElapsedTimer t;
    t.start();
    memo.setText(text);
    memo.repaint();
    app.processEvents();
    std::printf("load and show %d lines:            %8.1f ms\n", lines, ms(t));

    memo.setFirstVisibleLine(lines / 2);
    t.restart();
    memo.repaint();
    app.processEvents();
    std::printf("jump to the middle and show:        %8.1f ms\n", ms(t));

    double worst = 0, total = 0;
    for (int i = 0; i < 20; ++i) {
        memo.setFirstVisibleLine(lines / 2);
        t.restart();
        memo.insertAt(QStringLiteral("/*"), 1, 0); // opens a comment that runs on
        memo.repaint();
        app.processEvents();
        memo.undo();
        memo.repaint();
        app.processEvents();
        const double e = ms(t);
        worst = qMax(worst, e);
        total += e;
    }
    std::printf("edit at the top while the middle shows (and undo): mean %6.1f ms, worst %6.1f ms\n",
                total / 20, worst);

    t.restart();
    memo.SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0UL, -1L);
    std::printf("colour the whole text:              %8.1f ms\n", ms(t));
    return 0;
}
