// Laying source text out on printed pages, and showing a page in the preview. Goals (A4 at
// 600 dpi, 10 pt): a 10,000-line script and one 1,000,000-character line each in under 1 s,
// doubling the input under 2.2 times the time; on 500 lines at least 10 times faster than
// re-measuring the whole page text after every line and every removed character; a preview
// page at zoom 2.0 in under 200 ms, a cached one under 20 ms.
//   ./bench_print_layout                   (Google Benchmark options apply)
#include "controls/fpreview.h"
#include "controls/fprint.h"
#include "controls/kdprinter.h"
#include "core/kdsub_options.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPrinter>
#include <benchmark/benchmark.h>

namespace {

void UseA4At600Dpi()
{
    PrinterMetrics().SetDeviceReader([](QPrinter &) {
        TkdPrinterDevice d;
        d.DPI = QSize(600, 600);
        d.PaperSize = {4961, 7016};
        d.PrintableSize = {4761, 6816};
        d.LeftMargin = d.TopMargin = 100;
        return d;
    });
    PrinterMetrics().Refresh();
    TkdPrintOption &o = TkdPrintOption::Global();
    o.MMLeftMargin = o.MMTopMargin = o.MMRightMargin = o.MMBottomMargin = 20;
    o.FontName = QStringLiteral("ＭＳ ゴシック");
    o.FontSize = 10;
}

QStringList Script(int lines)
{
    const QStringList block = {
        "CREATE TABLE public.\"受注明細\" (",
        "\t受注番号\tinteger NOT NULL,",
        "\t明細番号\tsmallint NOT NULL, -- 行番号",
        "\t商品コード\tvarchar(20) NOT NULL REFERENCES public.商品 (商品コード) ON DELETE RESTRICT,",
        "\t数量\tnumeric(10, 2) DEFAULT 1 CHECK (数量 > 0)",
        ");",
        "",
        "COMMENT ON TABLE public.\"受注明細\" IS '受注の明細行。数量と単価から金額を計算する。';",
    };
    QStringList out;
    while (out.size() < lines)
        out += block;
    return out.mid(0, lines);
}

void Print(const QStringList &source)
{
    TfrmPrint::BeginPrint();
    TfrmPrint::PrintSource(QStringLiteral("public.受注明細"), source, true);
    TfrmPrint::EndPrint();
}

void BM_PrintScript(benchmark::State &state)
{
    UseA4At600Dpi();
    const QStringList source = Script(int(state.range(0)));
    for (auto _ : state)
        Print(source);
    state.counters["pages"] = PrintDocument().PageCount();
    state.SetComplexityN(state.range(0));
}

// One line of Length characters: with range(1) 1 Japanese and Latin change every few
// characters (a script change starts a new shaping item), with 0 a long VALUES list with a
// Japanese word now and then.
QString LongLine(qint64 Length, bool Mixed)
{
    QString line;
    int i = 0;
    while (line.size() < Length)
        line += Mixed ? QStringLiteral("SELECT 列名, 'テキスト' FROM 表 WHERE x = 1; ")
                      : QStringLiteral("(%1, 'customer-%1', 1234.50, '2024-01-01'%2), ")
                            .arg(++i)
                            .arg(i % 20 ? QString() : QStringLiteral(", '東京'"));
    line.truncate(Length);
    return line;
}

void BM_PrintOneLongLine(benchmark::State &state)
{
    UseA4At600Dpi();
    const QString line = LongLine(state.range(0), state.range(1));
    const QStringList source = {line};
    for (auto _ : state)
        Print(source);
    state.counters["pages"] = PrintDocument().PageCount();
    state.SetComplexityN(state.range(0));
}

// The layout alone, without recording the pages.
void BM_PaginateOneLongLine(benchmark::State &state)
{
    UseA4At600Dpi();
    const QString line = LongLine(state.range(0), state.range(1));
    const QFont font = KdPrintFont(QStringLiteral("ＭＳ ゴシック"), 10, 600);
    const TkdPrinter &m = PrinterMetrics();
    for (auto _ : state)
        benchmark::DoNotOptimize(KdPaginate({line}, font, m.GetPrintableWidth(20, 20),
                                            m.GetPrintableHeight(20, 20), 8));
}

// The baseline: the page text measured whole after every added line and, on overflow,
// after every character taken off its end.
void BM_RemeasureBaseline(benchmark::State &state)
{
    UseA4At600Dpi();
    const QStringList source = Script(int(state.range(0)));
    const TkdPrinter &m = PrinterMetrics();
    const int W = m.GetPrintableWidth(20, 20), H = m.GetPrintableHeight(20, 20);
    const QFont font = KdPrintFont(QStringLiteral("ＭＳ ゴシック"), 10, 600);
    const QFontMetrics fm(font);
    const int flags = Qt::TextWordWrap | Qt::TextExpandTabs;
    auto height = [&](const QString &t) {
        return fm.boundingRect(QRect(0, 0, W, INT_MAX / 4), flags, t).height();
    };
    for (auto _ : state) {
        int pages = 0;
        QString T;
        for (const QString &line : source) {
            T = T.isEmpty() ? line : T + QStringLiteral("\r\n") + line;
            if (height(T) < H)
                continue;
            QString O;
            do {
                O.prepend(T.back());
                T.chop(1);
            } while (height(T) > H);
            ++pages;
            T = O;
            if (T.startsWith(u'\r'))
                T.remove(0, 1);
            if (T.startsWith(u'\n'))
                T.remove(0, 1);
        }
        benchmark::DoNotOptimize(pages);
    }
}

void BM_PreviewPageZoom2(benchmark::State &state)
{
    UseA4At600Dpi();
    Print(Script(2000));
    const int pages = PrintDocument().PageCount();
    int page = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TfrmPreview preview;
        state.ResumeTiming();
        benchmark::DoNotOptimize(preview.RenderPage(page++ % pages, 2.0));
    }
}

void BM_PreviewPageCached(benchmark::State &state)
{
    UseA4At600Dpi();
    Print(Script(200));
    TfrmPreview preview;
    preview.RenderPage(0, 2.0);
    for (auto _ : state)
        benchmark::DoNotOptimize(preview.RenderPage(0, 2.0));
}

} // namespace

BENCHMARK(BM_PrintScript)->Arg(500)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(BM_PrintOneLongLine)
    ->Args({1000000, 0})->Args({2000000, 0})->Args({1000000, 1})->Args({2000000, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaginateOneLongLine)->Args({1000000, 0})->Args({2000000, 0})->Args({1000000, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RemeasureBaseline)->Arg(500)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewPageZoom2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewPageCached)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
