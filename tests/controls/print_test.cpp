// Printing of source text: the layout of texts on pages (invariants over a table of texts),
// the print dialog's checks and options, and PDF output read back with poppler-utils.
#include "controls/fpreview.h"
#include "controls/fprint.h"
#include "controls/kdprinter.h"
#include "core/kdreg.h"
#include "core/kdsub_msg.h"
#include "core/msghook.h"
#include "print_fixture.h"
#include "support/qstring_printer.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPaintEngine>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A device that keeps the texts drawn on it, with where they were drawn (in its dots).
struct DrawnText {
    QPointF At;
    QString Text;
};

class TextCaptureEngine : public QPaintEngine
{
public:
    TextCaptureEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState &) override {}
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
    void drawTextItem(const QPointF &p, const QTextItem &item) override
    {
        Texts.append({painter()->transform().map(p), item.text()});
    }
    Type type() const override { return QPaintEngine::User; }
    QList<DrawnText> Texts;
};

class TextCaptureDevice : public QPaintDevice
{
public:
    QPaintEngine *paintEngine() const override { return &FEngine; }
    QList<DrawnText> &Texts() { return FEngine.Texts; }

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth: return 5000;
        case PdmHeight: return 7100;
        case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return 600;
        case PdmDepth: return 32;
        case PdmNumColors: return INT_MAX;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(QPaintDevice::devicePixelRatioFScale());
        case PdmWidthMM: return 211;
        case PdmHeightMM: return 300;
        default: return 0;
        }
    }

private:
    mutable TextCaptureEngine FEngine;
};

// The texts of a recorded page in drawing order, positions in page dots.
QList<DrawnText> PageTexts(const QPicture &page)
{
    TextCaptureDevice device;
    {
        QPainter p(&device);
        KdDrawPage(p, page, QPointF(0, 0));
    }
    return device.Texts();
}

QString WithoutBlanksAndControls(const QString &s)
{
    QString r;
    for (QChar c : s)
        if (!c.isSpace() && c.unicode() >= 0x20 && c.unicode() != 0x7F)
            r += c;
    return r;
}

// Runs `fn` on the next modal print dialog once it is shown.
void OnNextDialog(std::function<void(TfrmPrint *)> fn)
{
    QTimer::singleShot(0, [fn] {
        auto *d = qobject_cast<TfrmPrint *>(QApplication::activeModalWidget());
        if (!d) {
            OnNextDialog(fn);
            return;
        }
        fn(d);
    });
}

void OnNextPreview(std::function<void(TfrmPreview *)> fn)
{
    QTimer::singleShot(0, [fn] {
        auto *d = qobject_cast<TfrmPreview *>(QApplication::activeModalWidget());
        if (!d) {
            OnNextPreview(fn);
            return;
        }
        fn(d);
    });
}

QString RunTool(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

int PdfPages(const QString &file)
{
    const QString info = RunTool(QStringLiteral("pdfinfo"), {file});
    static const QRegularExpression re(QStringLiteral("Pages:\\s+(\\d+)"));
    const auto m = re.match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QString PdfPageText(const QString &file, int page)
{
    return RunTool(QStringLiteral("pdftotext"),
               {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                QString::number(page), QStringLiteral("-raw"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), file,
                QStringLiteral("-")});
}

// A text of n numbered lines.
QStringList Numbered(int n, const QString &prefix)
{
    QStringList lines;
    for (int i = 1; i <= n; ++i)
        lines << QStringLiteral("%1 %2 行目のテキスト\tTAB").arg(prefix).arg(i);
    return lines;
}

} // namespace

class PrintSourceTest : public PrintTest {
protected:
    // Lays the texts out in the test's own document as a print procedure does.
    void Print(const QList<QPair<QStringList, bool>> &texts, const QString &title = QStringLiteral("public.tbl"))
    {
        TfrmPrint::BeginPrint();
        for (const auto &t : texts)
            TfrmPrint::PrintSource(title, t.first, t.second);
        TfrmPrint::EndPrint();
    }
    int W() const { return PrinterMetrics().GetPrintableWidth(20, 20); }
    int H() const { return PrinterMetrics().GetPrintableHeight(20, 20); }
};

// ---------------------------------------------------------------------------------------------
// Layout invariants over a table of texts: every character once and in order, no page over
// the text rectangle, title above and number below each page, no page starting with an empty
// line, numbering.

TEST_F(PrintSourceTest, LayoutInvariantsOverATableOfTexts)
{
    QString surrogates;
    for (int i = 0; i < 3000; ++i)
        surrogates += i % 2 ? QStringLiteral("e\u0301") : QStringLiteral("𠮷");
    struct Case {
        const char *name;
        QList<QPair<QStringList, bool>> texts;
        QList<int> numbers; // the number printed on each page
    };
    const Case cases[] = {
        {"Japanese with tabs", {{Numbered(300, QStringLiteral("日本語")), true}}, {}},
        {"CR and LF line ends inside items",
         {{{QStringLiteral("一行目\r二行目\n三行目\r\n四行目\r"), QStringLiteral("五")}, true}}, {1}},
        {"surrogate pairs and combining marks", {{{surrogates}, true}}, {}},
        {"control characters", {{{QStringLiteral("a\x01" "b\x1f" "c\x7f" "d\te")}, true}}, {1}},
        {"leading empty lines", {{{QString(), QString(), QStringLiteral("本文"), QString(), QStringLiteral("末")}, true}}, {1}},
        {"one long line", {{{QString(200000, u'x').replace(7, 1, u' ')}, true}}, {}},
        {"two texts numbered afresh",
         {{Numbered(120, QStringLiteral("A")), true}, {Numbered(120, QStringLiteral("B")), true}}, {}},
        {"two texts numbered on", {{Numbered(120, QStringLiteral("A")), false}, {Numbered(120, QStringLiteral("B")), false}}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Print(c.texts);
        ASSERT_GE(Doc.PageCount(), 1);
        QString expected;
        for (const auto &t : c.texts)
            for (const QString &s : t.first)
                expected += WithoutBlanksAndControls(s);
        QString printed;
        QList<int> numbers;
        for (int i = 0; i < Doc.PageCount(); ++i) {
            const QList<DrawnText> texts = PageTexts(Doc.Pages(i));
            ASSERT_GE(texts.size(), 3) << "page " << i;
            // title band above the text rectangle, number band below it
            EXPECT_EQ(texts[0].Text, QStringLiteral("public.tbl"));
            EXPECT_LT(texts[0].At.y(), 0);
            EXPECT_GT(texts[1].At.y(), H());
            numbers << texts[1].Text.toInt();
            for (qsizetype k = 2; k < texts.size(); ++k) {
                EXPECT_GE(texts[k].At.y(), 0);
                EXPECT_LT(texts[k].At.y(), H());
                EXPECT_GE(texts[k].At.x(), 0);
                EXPECT_LE(texts[k].At.x(), W());
                printed += WithoutBlanksAndControls(texts[k].Text);
            }
        }
        EXPECT_EQ(printed, expected);
        if (!c.numbers.isEmpty())
            EXPECT_EQ(numbers, c.numbers);
        if (QByteArray(c.name) == "two texts numbered afresh") {
            const qsizetype half = numbers.size() / 2;
            ASSERT_EQ(numbers.size(), 2 * half);
            for (qsizetype i = 0; i < half; ++i) {
                EXPECT_EQ(numbers[i], i + 1);
                EXPECT_EQ(numbers[half + i], i + 1);
            }
        }
        if (QByteArray(c.name) == "two texts numbered on")
            for (qsizetype i = 0; i < numbers.size(); ++i)
                EXPECT_EQ(numbers[i], i + 1);
    }
}

TEST_F(PrintSourceTest, PagesHoldLinesStrictlyBelowTheirHeightAndDropLeadingEmptyLines)
{
    const QFont font = KdPrintFont(QStringLiteral("Noto Sans CJK JP"), 10, 600);
    const QList<TkdPrintPage> one = KdPaginate({QStringLiteral("x")}, font, 4000, 1e9, 8);
    ASSERT_EQ(one.size(), 1);
    const double h = one[0][0].Height;
    const QStringList six = {"1", "2", "3", "4", "5", "6"};
    struct Case { const char *name; QStringList lines; double H; QList<QList<qsizetype>> pages; };
    const Case cases[] = {
        // three lines exactly H high do not fit: the third goes over
        {"exactly H", six, 3 * h, {{0, 1}, {2, 3}, {4, 5}}},
        {"just over", six, 3 * h + 0.5, {{0, 1, 2}, {3, 4, 5}}},
        // the line break at the page boundary starts no page with an empty line
        {"break at boundary", {"1", "2", "3", "", "4", "", "", "5"}, 3 * h + 0.5, {{0, 1, 2}, {4, 5, 6}, {7}}},
        {"leading empties", {"", "", "1", "", "2"}, 10 * h, {{2, 3, 4}}},
        {"only empties", {"", "", ""}, 10 * h, {}},
        {"nothing", {}, 10 * h, {}},
        // a rectangle lower than a line still takes one line per page and ends
        {"too low", {"1", "2"}, h / 2, {{0}, {1}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QList<TkdPrintPage> pages = KdPaginate(c.lines, font, 4000, c.H, 8);
        QList<QList<qsizetype>> got;
        for (const TkdPrintPage &p : pages) {
            QList<qsizetype> lines;
            for (const TkdPrintLine &l : p)
                lines << l.Line;
            got << lines;
        }
        EXPECT_EQ(got, c.pages);
    }
}

TEST_F(PrintSourceTest, WideWordsWrapAndClustersStayWhole)
{
    const QFont font = KdPrintFont(QStringLiteral("Noto Sans CJK JP"), 10, 600);
    const QString text = QString(500, u'W') + QStringLiteral(" 𠮷e\u0301𠮷e\u0301").repeated(200)
                         + QStringLiteral("\tend");
    const QList<TkdPrintPage> pages = KdPaginate({text}, font, 1000, 1e9, 4);
    ASSERT_EQ(pages.size(), 1);
    qsizetype next = 0;
    for (const TkdPrintLine &l : pages[0]) {
        EXPECT_EQ(l.Start, next);
        next = l.Start + l.Length;
        const QChar first = text.at(l.Start);
        EXPECT_FALSE(first.isLowSurrogate());
        EXPECT_NE(first.category(), QChar::Mark_NonSpacing);
        for (const TkdPrintRun &r : l.Runs)
            EXPECT_LE(r.X, 1000.5);
    }
    EXPECT_EQ(next, text.size());
    EXPECT_GT(pages[0].size(), 10);
}

TEST_F(PrintSourceTest, EmptySourceKeepsOnlyTheFirstPage)
{
    Print({{{}, true}, {{QString(), QString()}, true}});
    EXPECT_EQ(Doc.PageCount(), 1);
    EXPECT_TRUE(PageTexts(Doc.Pages(0)).isEmpty());
    // the pending first page is used by the next text of the same document
    TfrmPrint::BeginPrint();
    TfrmPrint::PrintSource(QStringLiteral("t"), {}, true);
    TfrmPrint::PrintSource(QStringLiteral("t"), {QStringLiteral("本文")}, true);
    TfrmPrint::EndPrint();
    ASSERT_EQ(Doc.PageCount(), 1);
    EXPECT_EQ(PageTexts(Doc.Pages(0)).at(1).Text, QStringLiteral("1"));
}

TEST_F(PrintSourceTest, TabsStopAtTheEditorTabWidth)
{
    const QFont font = KdPrintFont(QStringLiteral("Noto Sans CJK JP"), 10, 600);
    const double avg = QFontMetricsF(font).averageCharWidth();
    const QList<TkdPrintPage> pages = KdPaginate({QStringLiteral("a\tb\t\tc")}, font, 4000, 1e9, 4);
    ASSERT_EQ(pages.size(), 1);
    const auto &runs = pages[0][0].Runs;
    ASSERT_EQ(runs.size(), 3);
    EXPECT_NEAR(runs[1].X, 4 * avg, 1.0);
    EXPECT_NEAR(runs[2].X, 12 * avg, 1.0);
}

// ---------------------------------------------------------------------------------------------
// The dialog

class PrintDialogTest : public PrintSourceTest {
protected:
    void SetUp() override
    {
        PrintSourceTest::SetUp();
        ASSERT_TRUE(Dir.isValid());
        FOldHook = TfrmPrint::SetFileNameHook([this](QWidget *, const QString &) { return PdfFile; });
        PdfFile = Dir.filePath(QStringLiteral("out.pdf"));
    }
    void TearDown() override
    {
        TfrmPrint::SetFileNameHook(FOldHook);
        PrintSourceTest::TearDown();
    }
    // A print procedure of three texts, each of `pages` pages.
    TfrmPrint::TPrintProc Proc(int lines = 150)
    {
        return [this, lines] {
            TfrmPrint::BeginPrint();
            try {
                for (const QString &p : {QStringLiteral("一"), QStringLiteral("二")})
                    TfrmPrint::PrintSource(QStringLiteral("public.表"), Numbered(lines, p), true);
            } catch (...) {
                TfrmPrint::EndPrint();
                throw;
            }
            TfrmPrint::EndPrint();
            ++ProcCalls;
        };
    }
    QTemporaryDir Dir;
    QString PdfFile;
    int ProcCalls = 0;
    TfrmPrint::TFileNameHook FOldHook;
};

TEST_F(PrintDialogTest, ControlsAndTheirRules)
{
    OnNextDialog([](TfrmPrint *d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("印刷"));
        SaveShot(d, QStringLiteral("print-dialog"));
        EXPECT_EQ(d->cmbPrinterName->currentText(), TkdPrinter::PdfPrinterName());
        EXPECT_EQ(d->txtCopies->text(), QStringLiteral("1"));
        EXPECT_TRUE(d->rdoRangeAll->isChecked());
        EXPECT_FALSE(d->txtRangeFrom->isEnabled());
        EXPECT_FALSE(d->lblRange->isEnabled());
        d->rdoRangeSelect->click();
        EXPECT_TRUE(d->txtRangeFrom->isEnabled());
        EXPECT_TRUE(d->txtRangeTo->isEnabled());
        EXPECT_TRUE(d->lblRange->isEnabled());
        d->rdoRangeAll->click();
        EXPECT_FALSE(d->txtRangeTo->isEnabled());
        // collation only above one copy
        EXPECT_FALSE(d->chkCollate->isEnabled());
        d->txtCopies->setText(QStringLiteral("2"));
        EXPECT_TRUE(d->chkCollate->isEnabled());
        d->txtCopies->setText(QStringLiteral("1"));
        EXPECT_FALSE(d->chkCollate->isEnabled());
        // the stored options are loaded
        EXPECT_EQ(d->txtTopMargin->text(), QStringLiteral("20"));
        EXPECT_EQ(d->txtFontSize->text(), QStringLiteral("10"));
        EXPECT_EQ(d->OrientationItem(), 0);
        d->btnCancel->click();
    });
    EXPECT_FALSE(TfrmPrint::ShowWindow(QStringLiteral("t"), Proc()));
    EXPECT_EQ(ProcCalls, 0);
}

TEST_F(PrintDialogTest, RefusesTooManyCopiesBadFontSizesAndMarginsThatLeaveNoRoom)
{
    auto d0 = InjectedDevice();
    d0.SupportCopies = true;
    d0.MaxCopies = 5;
    InjectDevice(d0);
    struct Case { const char *name; std::function<void(TfrmPrint *)> set; QString message; const char *focus; };
    const QString margin = QStringLiteral("余白が大きすぎるため、印刷できません。");
    const QString size = QStringLiteral("フォントサイズを正しく指定して下さい。");
    const Case cases[] = {
        {"copies", [](TfrmPrint *d) { d->txtCopies->setText("6"); },
         QStringLiteral("印刷部数の値を小さくして下さい。"), "txtCopies"},
        {"size 0", [](TfrmPrint *d) { d->txtFontSize->setText("0"); }, size, "txtFontSize"},
        {"size empty", [](TfrmPrint *d) { d->txtFontSize->setText(""); }, size, "txtFontSize"},
        {"size letters", [](TfrmPrint *d) { d->txtFontSize->setText("ab"); }, size, "txtFontSize"},
        {"top and bottom", [](TfrmPrint *d) {
             d->txtTopMargin->setText("100"); d->txtBottomMargin->setText("90");
             d->txtFontSize->setText("300"); }, margin, "txtTopMargin"},
        {"left and right", [](TfrmPrint *d) {
             d->txtLeftMargin->setText("100"); d->txtRightMargin->setText("100");
             d->txtFontSize->setText("100"); }, margin, "txtLeftMargin"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (const char *button : {"btnOk", "btnPreview"}) {
            if (QByteArray(c.name) == "copies" && QByteArray(button) == "btnPreview")
                continue; // the preview prints nothing: no copy check
            ScriptedMessageBoxes boxes;
            boxes.Answer(IDOK);
            const TkdPrintOption before = TkdPrintOption::Global();
            OnNextDialog([&](TfrmPrint *d) {
                d->show();
                c.set(d);
                d->findChild<QPushButton *>(button)->click();
                EXPECT_TRUE(d->isVisible());
                ASSERT_EQ(boxes.Shown().size(), 1);
                EXPECT_EQ(boxes.Last().text, c.message);
                EXPECT_EQ(boxes.Last().flags & 0xF0, MB_ICONWARNING);
                ASSERT_NE(d->focusWidget(), nullptr);
                EXPECT_EQ(d->focusWidget()->objectName(), QLatin1String(c.focus));
                d->btnCancel->click();
            });
            EXPECT_FALSE(TfrmPrint::ShowWindow(QStringLiteral("t"), Proc()));
            EXPECT_EQ(ProcCalls, 0);
            EXPECT_EQ(TkdPrintOption::Global().FontSize, before.FontSize);
            EXPECT_EQ(TkdPrintOption::Global().MMTopMargin, before.MMTopMargin);
        }
    }
}

TEST_F(PrintDialogTest, OptionsRoundTripThroughTheSettingsStoreAndCancelStoresNothing)
{
    const QString family = TfrmPrint::FontFamilies().value(0);
    ASSERT_FALSE(family.isEmpty());
    // Cancel: nothing stored
    OnNextDialog([](TfrmPrint *d) {
        d->txtTopMargin->setText("33");
        d->SetOrientationItem(1);
        d->btnCancel->click();
    });
    TfrmPrint::ShowWindow(QStringLiteral("t"), Proc());
    EXPECT_EQ(TkdPrintOption::Global().MMTopMargin, 20);
    EXPECT_EQ(TkdPrintOption::Global().Orientation, poPortrait);

    // No font selected: the stored name stays.
    OnNextDialog([](TfrmPrint *d) {
        EXPECT_EQ(d->lstFontName->currentItem(), nullptr); // "ＭＳ ゴシック" is not installed
        d->txtTopMargin->setText("31");
        d->btnOk->click();
    });
    EXPECT_TRUE(TfrmPrint::ShowWindow(QStringLiteral("t"), Proc(5)));
    EXPECT_EQ(TkdPrintOption::Global().FontName, QStringLiteral("ＭＳ ゴシック"));
    EXPECT_EQ(TkdPrintOption::Global().MMTopMargin, 31);

    OnNextDialog([&](TfrmPrint *d) {
        d->txtTopMargin->setText("11");
        d->txtBottomMargin->setText("12");
        d->txtLeftMargin->setText("-5"); // below the range: 0
        d->txtRightMargin->setText("14");
        d->txtFontSize->setText("12");
        d->SetOrientationItem(1);
        d->lstFontName->setCurrentItem(d->lstFontName->findItems(family, Qt::MatchExactly).value(0));
        d->btnOk->click();
    });
    EXPECT_TRUE(TfrmPrint::ShowWindow(QStringLiteral("t"), Proc(5)));
    const TkdPrintOption stored = TkdPrintOption::Global();
    EXPECT_TRUE(SaveSettings().isEmpty());
    TkdPrintOption::Global().Reset();
    LoadSettings();
    const TkdPrintOption &o = TkdPrintOption::Global();
    EXPECT_EQ(o.MMTopMargin, 11);
    EXPECT_EQ(o.MMBottomMargin, 12);
    EXPECT_EQ(o.MMLeftMargin, 0);
    EXPECT_EQ(o.MMRightMargin, 14);
    EXPECT_EQ(o.FontSize, 12);
    EXPECT_EQ(o.FontName, family);
    EXPECT_EQ(o.Orientation, poLandscape);
    EXPECT_EQ(stored.FontName, o.FontName);
    // and they come back into a new dialog
    OnNextDialog([&](TfrmPrint *d) {
        EXPECT_EQ(d->txtBottomMargin->text(), QStringLiteral("12"));
        EXPECT_EQ(d->OrientationItem(), 1);
        ASSERT_NE(d->lstFontName->currentItem(), nullptr);
        EXPECT_EQ(d->lstFontName->currentItem()->text(), family);
        d->btnCancel->click();
    });
    TfrmPrint::ShowWindow(QStringLiteral("t"), Proc());
}

// ---------------------------------------------------------------------------------------------
// PDF output

TEST_F(PrintDialogTest, CopiesAndCollationDecideTheSheets)
{
    struct Case { bool copies, collate, checked; QList<int> order; };
    // two pages, three copies; the order names the recorded page on each sheet
    const Case cases[] = {
        {false, false, false, {1, 1, 1, 2, 2, 2}},
        {false, false, true, {1, 2, 1, 2, 1, 2}},
        {true, false, false, {1, 2}},          // the printer makes the copies
        {true, false, true, {1, 2, 1, 2, 1, 2}},
        {false, true, true, {1, 2}},           // the printer collates
        {true, true, false, {1, 2}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.copies << c.collate << c.checked);
        PrinterMetrics().SetDeviceReader({});
        OnNextDialog([&](TfrmPrint *d) {
            UsePdfDevice(c.copies, c.collate);
            d->txtCopies->setText("3");
            d->chkCollate->setChecked(c.checked);
            d->btnOk->click();
        });
        QFile::remove(PdfFile);
        const auto proc = [] {
            TfrmPrint::BeginPrint();
            TfrmPrint::PrintSource(QStringLiteral("t"), Numbered(60, QStringLiteral("P")), true);
            TfrmPrint::EndPrint();
        };
        ASSERT_TRUE(TfrmPrint::ShowWindow(QStringLiteral("copies"), proc));
        ASSERT_EQ(Doc.PageCount(), 2);
        ASSERT_EQ(PdfPages(PdfFile), c.order.size());
        for (qsizetype i = 0; i < c.order.size(); ++i) {
            const QString text = PdfPageText(PdfFile, int(i + 1));
            const bool first = WithoutBlanksAndControls(text.normalized(QString::NormalizationForm_KC)).contains(QStringLiteral("P1行目"));
            EXPECT_EQ(first ? 1 : 2, c.order[i]) << "sheet " << i + 1;
        }
        const TkdPrinter &m = PrinterMetrics();
        EXPECT_EQ(m.Printer()->copyCount(), c.copies ? (c.checked && !c.collate ? 1 : 3) : 1);
    }
}

TEST_F(PrintDialogTest, RangesPrintTheirPagesAndPdfTextEqualsTheRecordedText)
{
    UsePdfDevice(false, false);
    struct Case { QString from, to; int pages; int first; };
    const Case cases[] = {{"2", "0", 3, 2}, {"0", "0", 4, 1}, {"", "3", 3, 1}, {"2", "2", 1, 2}};
    for (const Case &c : cases) {
        SCOPED_TRACE((c.from + "-" + c.to).toStdString());
        QFile::remove(PdfFile);
        OnNextDialog([&](TfrmPrint *d) {
            d->rdoRangeSelect->click();
            d->txtRangeFrom->setText(c.from);
            d->txtRangeTo->setText(c.to);
            d->btnOk->click();
        });
        ASSERT_TRUE(TfrmPrint::ShowWindow(QStringLiteral("range"), Proc(70)));
        ASSERT_EQ(Doc.PageCount(), 4);
        ASSERT_EQ(PdfPages(PdfFile), c.pages);
        for (int sheet = 1; sheet <= c.pages; ++sheet) {
            QString recorded;
            for (const DrawnText &t : PageTexts(Doc.Pages(c.first - 1 + sheet - 1)))
                recorded += t.Text;
            const QString pdf = PdfPageText(PdfFile, sheet);
            EXPECT_EQ(WithoutBlanksAndControls(pdf.normalized(QString::NormalizationForm_KC)),
                      WithoutBlanksAndControls(recorded.normalized(QString::NormalizationForm_KC)))
                << "sheet " << sheet;
        }
    }
    // page 1 rendered
    const QString png = QDir::temp().filePath(QStringLiteral("print-page"));
    RunTool(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("50"),
                                     QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                                     QStringLiteral("1"), PdfFile, png});
    QImage image(png + QStringLiteral("-1.png"));
    if (image.isNull())
        image.load(png + QStringLiteral("-01.png"));
    ASSERT_FALSE(image.isNull());
    SaveShot(image, QStringLiteral("pdf-page-1"));
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 128;
    EXPECT_GT(dark, 100);
    EXPECT_NEAR(image.width(), 210 / 25.4 * 50, 2);
}

TEST_F(PrintDialogTest, ARangeWithoutPagesSendsNothing)
{
    UsePdfDevice(false, false);
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDOK);
    OnNextDialog([&](TfrmPrint *d) {
        d->rdoRangeSelect->click();
        d->txtRangeFrom->setText("9");
        d->btnOk->click();
    });
    EXPECT_FALSE(TfrmPrint::ShowWindow(QStringLiteral("range"), Proc(10)));
    ASSERT_EQ(boxes.Shown().size(), 1);
    EXPECT_EQ(boxes.Last().text, QStringLiteral("印刷するページがありません。"));
    EXPECT_FALSE(QFile::exists(PdfFile));
}

TEST_F(PrintDialogTest, FailuresAreShownAndNeverReportedAsSuccess)
{
    UsePdfDevice(false, false);
    // A PDF file in a missing folder: named in the message, the dialog stays usable.
    {
        ScriptedMessageBoxes boxes;
        boxes.Answer(IDOK);
        PdfFile = Dir.filePath(QStringLiteral("missing/out.pdf"));
        OnNextDialog([&](TfrmPrint *d) {
            d->btnOk->click();
            EXPECT_TRUE(d->isVisible());
            ASSERT_EQ(boxes.Shown().size(), 1);
            EXPECT_TRUE(boxes.Last().text.contains(QStringLiteral("missing/out.pdf")));
            PdfFile = Dir.filePath(QStringLiteral("out.pdf"));
            d->btnOk->click();
        });
        EXPECT_TRUE(TfrmPrint::ShowWindow(QStringLiteral("t"), Proc(5)));
        EXPECT_EQ(PdfPages(PdfFile), 2);
    }
    // A print procedure that fails: the error is shown, no file is left, the document is idle.
    {
        ScriptedMessageBoxes boxes;
        boxes.Answer(IDOK);
        QFile::remove(PdfFile);
        OnNextDialog([](TfrmPrint *d) { d->btnOk->click(); });
        const bool sent = TfrmPrint::ShowWindow(QStringLiteral("t"), [] {
            TfrmPrint::BeginPrint();
            throw std::runtime_error("用意できません");
        });
        EXPECT_FALSE(sent);
        ASSERT_EQ(boxes.Shown().size(), 1);
        EXPECT_EQ(boxes.Last().text, QStringLiteral("用意できません"));
        EXPECT_FALSE(QFile::exists(PdfFile));
        EXPECT_FALSE(Doc.Printing());
    }
    // A folder that goes away after the check: the job fails, no file is left.
    {
        ScriptedMessageBoxes boxes;
        boxes.Answer(IDOK);
        const QString sub = Dir.filePath(QStringLiteral("gone"));
        QDir().mkpath(sub);
        PdfFile = sub + QStringLiteral("/out.pdf");
        OnNextDialog([](TfrmPrint *d) { d->btnOk->click(); });
        const bool sent = TfrmPrint::ShowWindow(QStringLiteral("t"), [&] {
            QDir(sub).removeRecursively();
            Proc(5)();
        });
        EXPECT_FALSE(sent);
        ASSERT_EQ(boxes.Shown().size(), 1);
        EXPECT_TRUE(boxes.Last().text.contains(QStringLiteral("gone/out.pdf")));
        EXPECT_FALSE(QFile::exists(PdfFile));
        EXPECT_FALSE(PrinterMetrics().Printer()->printerState() == QPrinter::Active);
    }
}

TEST_F(PrintDialogTest, PreviewPrintOpensAFreshDialogAndLaysThePagesOutAgain)
{
    UsePdfDevice(false, false);
    OnNextDialog([&](TfrmPrint *d) {
        d->txtCopies->setText("2");
        OnNextPreview([&](TfrmPreview *p) {
            EXPECT_EQ(ProcCalls, 1);
            EXPECT_EQ(p->FPage, 1);
            OnNextDialog([&](TfrmPrint *d2) {
                EXPECT_EQ(d2->txtCopies->text(), QStringLiteral("1"));
                d2->btnOk->click();
            });
            p->actPrint->trigger();
        });
        d->btnPreview->click();
    });
    EXPECT_TRUE(TfrmPrint::ShowWindow(QStringLiteral("t"), Proc(5)));
    EXPECT_EQ(ProcCalls, 2);
    EXPECT_EQ(PdfPages(PdfFile), 2);
}
