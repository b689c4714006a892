// Printer metrics and the print document: conversions, margins against the device border,
// printer choice, the document's states and what a new page inherits.
#include "controls/kdprinter.h"
#include "controls/kdstdctl.h"
#include "print_fixture.h"
#include "support/qstring_printer.h"

#include <QPainter>
#include <QPrinter>
#include <functional>

using PrinterTest = PrintTest;

TEST_F(PrinterTest, ConvertsBetweenMillimetresAndDots)
{
    TkdPrinter &m = PrinterMetrics();
    EXPECT_EQ(m.MMToDPIX(25.4), 600);
    EXPECT_EQ(m.MMToDPIY(25.4), 600);
    EXPECT_DOUBLE_EQ(m.DPIXToMM(600), 25.4);
    EXPECT_DOUBLE_EQ(m.DPIYToMM(600), 25.4);
    // Halves round to even: 0.0635 mm is 1.5 dots, 0.1905 mm 4.5 dots.
    InjectDevice([] { auto d = InjectedDevice(); d.DPI = QSize(254, 254); return d; }());
    EXPECT_EQ(m.MMToDPIX(0.5), 5);   // 5.0
    EXPECT_EQ(m.MMToDPIX(0.15), 2);  // 1.5 -> 2
    EXPECT_EQ(m.MMToDPIX(0.25), 2);  // 2.5 -> 2
    EXPECT_EQ(m.MMToDPIY(0.45), 4);  // 4.5 -> 4
    EXPECT_EQ(m.MMToDPIY(0.35), 4);  // 3.5 -> 4
    EXPECT_DOUBLE_EQ(m.ScreenToPrinterRate(), 254 / 96.0);
    EXPECT_DOUBLE_EQ(m.PrinterToScreenRate(), 96 / 254.0);
}

TEST_F(PrinterTest, RefreshDerivesBordersMillimetresAndScaledSizes)
{
    TkdPrinter &m = PrinterMetrics();
    EXPECT_EQ(m.PaperSize(), (TSizeI{4961, 7016}));
    EXPECT_EQ(m.LeftMargin(), 100);
    EXPECT_EQ(m.TopMargin(), 100);
    EXPECT_EQ(m.RightMargin(), 100);
    EXPECT_EQ(m.BottomMargin(), 100);
    EXPECT_NEAR(m.MMPaperSize().Width, 210.0, 0.02);
    EXPECT_NEAR(m.MMLeftMargin(), 100 / 600.0 * 25.4, 1e-9);
    EXPECT_EQ(m.ScaleFactor(), 100);
    EXPECT_DOUBLE_EQ(m.ScaledPaperSize().Height, m.MMPaperSize().Height);
    EXPECT_FALSE(m.SupportCopies());
    EXPECT_EQ(m.MaxCopies(), 999);

    auto d = InjectedDevice();
    d.ScaleFactor = 50;
    d.SupportCopies = true;
    d.MaxCopies = 9;
    InjectDevice(d);
    EXPECT_DOUBLE_EQ(m.ScaledPaperSize().Width, m.MMPaperSize().Width / 2);
    EXPECT_DOUBLE_EQ(m.ScaledLeftMargin(), m.MMLeftMargin() / 2);
    EXPECT_TRUE(m.SupportCopies());
    EXPECT_EQ(m.MaxCopies(), 9);
}

TEST_F(PrinterTest, PrintableSizeTakesTheLargerOfMarginAndBorder)
{
    TkdPrinter &m = PrinterMetrics();
    struct Case { double left, right, top, bottom; int width, height; };
    const Case cases[] = {
        {0, 0, 0, 0, 4961 - 200, 7016 - 200},            // border wins on every side
        {25.4, 0, 0, 25.4, 4961 - 600 - 100, 7016 - 100 - 600},
        {20, 20, 20, 20, 4961 - 2 * 472, 7016 - 2 * 472}, // 20 mm = 472.44 dots
        {1, 1, 1, 1, 4961 - 200, 7016 - 200},            // 1 mm = 24 dots < border
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.left << "/" << c.right);
        EXPECT_EQ(m.GetPrintableWidth(c.left, c.right), c.width);
        EXPECT_EQ(m.GetPrintableHeight(c.top, c.bottom), c.height);
    }
}

TEST_F(PrinterTest, ChoosingTheSamePrinterKeepsItsSettingsAnotherStartsFromDefaults)
{
    TkdPrinter &m = PrinterMetrics();
    const int pdf = int(m.PrinterNames().size()) - 1;
    EXPECT_EQ(m.PrinterNames().last(), TkdPrinter::PdfPrinterName());
    m.SetPrinterIndex(pdf);
    m.Printer()->setCopyCount(3);
    QPrinter *before = m.Printer();
    m.SetPrinterIndex(pdf);
    EXPECT_EQ(m.Printer(), before);
    EXPECT_EQ(m.Printer()->copyCount(), 3);
    EXPECT_TRUE(m.IsPdfPrinter());

    if (pdf > 0) { // a system printer exists: choosing it and back resets the settings
        m.SetPrinterIndex(0);
        m.SetPrinterIndex(pdf);
    } else {
        m.SetPrinterIndex(-1); // no printer at all: the default entry is the PDF file
        EXPECT_EQ(m.PrinterIndex(), pdf);
        m.SetPrinterIndex(pdf);
    }
    EXPECT_TRUE(m.IsPdfPrinter());
    EXPECT_EQ(m.Printer()->resolution(), 600);
}

TEST_F(PrinterTest, SettingEditHandsCopiesAndCollationToThePrinter)
{
    TkdPrinter &m = PrinterMetrics();
    m.BeginSetting();
    ASSERT_NE(m.PDev, nullptr);
    m.PDev->Copies = 4;
    m.PDev->Collate = true;
    m.EndSetting();
    EXPECT_EQ(m.PDev, nullptr);
    EXPECT_EQ(m.Printer()->copyCount(), 4);
    EXPECT_TRUE(m.Printer()->collateCopies());
    m.BeginSetting();
    m.PDev->Copies = 1;
    m.PDev->Collate = false;
    m.EndSetting();
}

TEST_F(PrinterTest, RealPdfDeviceReadsA4At600Dpi)
{
    TkdPrinter &m = PrinterMetrics();
    m.SetDeviceReader({});
    m.Refresh();
    EXPECT_EQ(m.DPI(), QSize(600, 600));
    EXPECT_NEAR(m.MMPaperSize().Width, 210.0, 0.2);
    EXPECT_NEAR(m.MMPaperSize().Height, 297.0, 0.2);
    EXPECT_TRUE(m.SupportColor());
    EXPECT_EQ(m.MaxCopies(), 999);
    EXPECT_EQ(m.LeftMargin() + m.PrintableSize().Width + m.RightMargin(), m.PaperSize().Width);
}

// ---------------------------------------------------------------------------------------------
// The document's states: every call in either state, with its message or "nothing changes".

TEST_F(PrinterTest, DocumentCallsInEachState)
{
    using Call = std::function<void(TkdPrintdata &)>;
    struct Case { const char *name; bool printing; Call call; QString error; int pagesAfter; bool printingAfter; };
    const QString started = QStringLiteral("既に印刷が開始されています。");
    const QString notStarted = QStringLiteral("印刷が開始されていません。");
    const QString notDone = QStringLiteral("印刷が完了していません。");
    const Case cases[] = {
        {"BeginDoc idle", false, [](TkdPrintdata &d) { d.BeginDoc(); }, {}, 1, true},
        {"NewPage idle", false, [](TkdPrintdata &d) { d.NewPage(); }, notStarted, 2, false},
        {"EndDoc idle", false, [](TkdPrintdata &d) { d.EndDoc(); }, notStarted, 2, false},
        {"Canvas idle", false, [](TkdPrintdata &d) { d.Canvas(); }, notStarted, 2, false},
        {"Pages idle", false, [](TkdPrintdata &d) { d.Pages(1); }, {}, 2, false},
        {"Pages idle out of range", false, [](TkdPrintdata &d) { d.Pages(2); },
         EListError::MessageFor(2), 2, false},
        {"Pages idle negative", false, [](TkdPrintdata &d) { d.Pages(-1); },
         EListError::MessageFor(-1), 2, false},
        {"BeginDoc printing", true, [](TkdPrintdata &d) { d.BeginDoc(); }, started, 2, true},
        {"NewPage printing", true, [](TkdPrintdata &d) { d.NewPage(); }, {}, 3, true},
        {"EndDoc printing", true, [](TkdPrintdata &d) { d.EndDoc(); }, {}, 2, false},
        {"Canvas printing", true, [](TkdPrintdata &d) { ASSERT_NE(d.Canvas(), nullptr); }, {}, 2, true},
        {"Pages printing", true, [](TkdPrintdata &d) { d.Pages(0); }, notDone, 2, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TkdPrintdata d;
        d.BeginDoc();
        d.NewPage(); // two pages
        if (!c.printing)
            d.EndDoc();
        QString error;
        try {
            c.call(d);
        } catch (const std::exception &e) {
            error = QString::fromStdString(e.what());
        }
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(d.PageCount(), c.pagesAfter);
        EXPECT_EQ(d.Printing(), c.printingAfter);
    }
}

TEST_F(PrinterTest, BeginDocDiscardsTheLastDocument)
{
    TkdPrintdata d;
    d.BeginDoc();
    d.Canvas()->drawText(QPointF(10, 100), QStringLiteral("一"));
    d.NewPage();
    d.NewPage();
    d.EndDoc();
    EXPECT_EQ(d.PageCount(), 3);
    EXPECT_GT(d.Pages(0).size(), 0u);
    d.BeginDoc();
    EXPECT_EQ(d.PageCount(), 1);
    d.EndDoc();
    EXPECT_EQ(d.PageCount(), 1);
}

TEST_F(PrinterTest, NextPageInheritsFontPenAndBrush)
{
    TkdPrintdata d;
    d.BeginDoc();
    // The first page starts with a 9 pt font in printer dots: 9 * 600 / 72 = 75.
    EXPECT_EQ(d.Canvas()->font().pixelSize(), 75);
    QFont f = KdPrintFont(QStringLiteral("Noto Sans CJK JP"), 14, 600);
    f.setBold(true);
    d.Canvas()->setFont(f);
    d.Canvas()->setPen(QPen(Qt::red, 7));
    d.Canvas()->setBrush(QBrush(Qt::blue, Qt::Dense4Pattern));
    d.NewPage();
    EXPECT_EQ(d.Canvas()->font(), f);
    EXPECT_EQ(d.Canvas()->font().pixelSize(), 117); // 14 * 600 / 72 = 116.67
    EXPECT_EQ(d.Canvas()->pen(), QPen(Qt::red, 7));
    EXPECT_EQ(d.Canvas()->brush(), QBrush(Qt::blue, Qt::Dense4Pattern));
    d.EndDoc();
}

TEST_F(PrinterTest, ReplayedPageKeepsItsSizeInDots)
{
    // A bar 600 dots long recorded on a page replays 600 dots long on a 600 dpi image and
    // 96 pixels long at 96 dpi with the painter scaled: the picture's own scaling is undone.
    TkdPrintdata d;
    d.BeginDoc();
    d.Canvas()->fillRect(QRect(0, 0, 600, 60), Qt::black);
    d.EndDoc();
    QImage image(800, 100, QImage::Format_RGB32);
    image.setDotsPerMeterX(int(600 / 0.0254));
    image.setDotsPerMeterY(int(600 / 0.0254));
    image.fill(Qt::white);
    {
        QPainter p(&image);
        KdDrawPage(p, d.Pages(0), QPointF(10, 10));
    }
    EXPECT_EQ(image.pixelColor(15, 20), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(605, 20), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(615, 20), QColor(Qt::white));
}
