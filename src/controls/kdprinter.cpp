#include "controls/kdprinter.h"
#include "controls/kdmemo.h"
#include "controls/kdsharedsettings.h"
#include "controls/kdstdctl.h"

#include <QCoreApplication>
#include <QFont>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kPdfResolution = 600;

TkdPrintdata *GDocument = nullptr;
TkdPrintdata *GOwnDocument = nullptr;

} // namespace

int KdRoundHalfEven(double AValue)
{
    return int(std::nearbyint(AValue)); // the default rounding mode rounds halves to even
}

QFont KdPrintFont(const QString &AName, double APoints, int ADpi)
{
    InstallFontSubstitutions(); // stored Windows font names print in the mapped fonts
    QFont font(AName);
    font.setPixelSize(std::max(1, KdRoundHalfEven(APoints * ADpi / 72.0)));
    return font;
}

int KdPrintTabSpaceCount()
{
    return SharedEditorProp().Caret.TabSpaceCount;
}

void KdDrawPage(QPainter &APainter, const QPicture &APage, const QPointF &AAt)
{
    // A picture replays scaled by the device's resolution over its own; undo that, so that
    // one recorded dot is one dot of the painter's coordinates.
    QPaintDevice *device = APainter.device();
    const double sx = device ? double(APage.logicalDpiX()) / device->logicalDpiX() : 1.0;
    const double sy = device ? double(APage.logicalDpiY()) / device->logicalDpiY() : 1.0;
    APainter.save();
    APainter.translate(AAt);
    APainter.scale(sx, sy);
    APainter.drawPicture(QPointF(0, 0), APage);
    APainter.restore();
}

// ---------------------------------------------------------------------------------------------

TkdPrinter::TkdPrinter() = default;
TkdPrinter::~TkdPrinter() = default;

QString TkdPrinter::PdfPrinterName()
{
    return QStringLiteral("PDF ファイルに出力");
}

QStringList TkdPrinter::PrinterNames() const
{
    QStringList names = QPrinterInfo::availablePrinterNames();
    names << PdfPrinterName();
    return names;
}

bool TkdPrinter::IsPdfPrinter() const
{
    return FPrinter && FPrinter->outputFormat() == QPrinter::PdfFormat;
}

void TkdPrinter::CreatePrinter(int AIndex)
{
    const QStringList names = PrinterNames();
    if (AIndex < 0 || AIndex >= names.size()) {
        // The system's default printer, else the PDF entry.
        const QString def = QPrinterInfo::defaultPrinterName();
        AIndex = def.isEmpty() ? int(names.size()) - 1 : int(names.indexOf(def));
        if (AIndex < 0)
            AIndex = int(names.size()) - 1;
    }
    const auto orientation = FPrinter ? FPrinter->pageLayout().orientation()
                                      : QPageLayout::Portrait;
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (AIndex == names.size() - 1) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setResolution(kPdfResolution);
        printer->setPageSize(QPageSize(QPageSize::A4));
    } else {
        printer->setOutputFormat(QPrinter::NativeFormat);
        printer->setPrinterName(names.at(AIndex));
    }
    printer->setPageOrientation(orientation);
    FPrinter = std::move(printer);
    FPrinterIndex = AIndex;
}

void TkdPrinter::SetPrinterIndex(int AIndex)
{
    if (FPrinter && AIndex == FPrinterIndex)
        return;
    CreatePrinter(AIndex);
}

TPrinterOrientation TkdPrinter::Orientation() const
{
    return FPrinter && FPrinter->pageLayout().orientation() == QPageLayout::Landscape
               ? poLandscape
               : poPortrait;
}

void TkdPrinter::SetOrientation(TPrinterOrientation AValue)
{
    if (!FPrinter)
        CreatePrinter(-1);
    FPrinter->setPageOrientation(AValue == poLandscape ? QPageLayout::Landscape
                                                       : QPageLayout::Portrait);
}

TkdPrinterDevice TkdPrinter::ReadDevice(QPrinter &APrinter)
{
    TkdPrinterDevice d;
    const int res = APrinter.resolution();
    d.DPI = QSize(res, res);
    const QPageLayout layout = APrinter.pageLayout();
    const QRect full = layout.fullRectPixels(res);
    const QRect paint = layout.paintRectPixels(res);
    d.PaperSize = {full.width(), full.height()};
    d.PrintableSize = {paint.width(), paint.height()};
    d.LeftMargin = paint.left();
    d.TopMargin = paint.top();
    d.ScaleFactor = 100;
    d.SupportCopies = APrinter.outputFormat() == QPrinter::NativeFormat
                      && APrinter.supportsMultipleCopies();
    d.SupportCollate = d.SupportCopies;
    d.MaxCopies = 999;
    if (APrinter.outputFormat() == QPrinter::PdfFormat) {
        d.SupportColor = true;
    } else {
        const QPrinterInfo info(APrinter);
        d.SupportColor = info.supportedColorModes().contains(QPrinter::Color);
    }
    return d;
}

TkdPrinter::TDeviceReader TkdPrinter::SetDeviceReader(TDeviceReader AReader)
{
    std::swap(FReader, AReader);
    return AReader;
}

void TkdPrinter::Refresh()
{
    if (!FPrinter)
        CreatePrinter(-1);
    const TkdPrinterDevice d = FReader ? FReader(*FPrinter) : ReadDevice(*FPrinter);
    FDPI = d.DPI;
    FPrintableSize = d.PrintableSize;
    FMMPrintableSize = {DPIXToMM(FPrintableSize.Width), DPIYToMM(FPrintableSize.Height)};
    FPaperSize = d.PaperSize;
    FMMPaperSize = {DPIXToMM(FPaperSize.Width), DPIYToMM(FPaperSize.Height)};
    FLeftMargin = d.LeftMargin;
    FTopMargin = d.TopMargin;
    FRightMargin = FPaperSize.Width - FPrintableSize.Width - FLeftMargin;
    FBottomMargin = FPaperSize.Height - FPrintableSize.Height - FTopMargin;
    FMMLeftMargin = DPIXToMM(FLeftMargin);
    FMMRightMargin = DPIXToMM(FRightMargin);
    FMMTopMargin = DPIYToMM(FTopMargin);
    FMMBottomMargin = DPIYToMM(FBottomMargin);
    FScaleFactor = d.ScaleFactor > 0 ? d.ScaleFactor : 100;
    const double s = FScaleFactor / 100.0;
    FScaledPrintableSize = {s * FMMPrintableSize.Width, s * FMMPrintableSize.Height};
    FScaledPaperSize = {s * FMMPaperSize.Width, s * FMMPaperSize.Height};
    FScaledLeftMargin = s * FMMLeftMargin;
    FScaledTopMargin = s * FMMTopMargin;
    FScaledRightMargin = s * FMMRightMargin;
    FScaledBottomMargin = s * FMMBottomMargin;
    FSupportColor = d.SupportColor;
    FSupportCollate = d.SupportCollate;
    FSupportCopies = d.SupportCopies;
    FMaxCopies = d.SupportCopies ? d.MaxCopies : 999;
}

void TkdPrinter::BeginSetting()
{
    if (!FPrinter)
        CreatePrinter(-1);
    FDevMode.Copies = FPrinter->copyCount();
    FDevMode.Collate = FPrinter->collateCopies();
    PDev = &FDevMode;
}

void TkdPrinter::EndSetting()
{
    if (!PDev)
        return;
    PDev = nullptr;
    FPrinter->setCopyCount(std::max(1, FDevMode.Copies));
    FPrinter->setCollateCopies(FDevMode.Collate);
}

int TkdPrinter::MMToDPIX(double MMValue) const
{
    return KdRoundHalfEven(MMValue * FDPI.width() / 25.4);
}

int TkdPrinter::MMToDPIY(double MMValue) const
{
    return KdRoundHalfEven(MMValue * FDPI.height() / 25.4);
}

double TkdPrinter::DPIXToMM(int DPIValue) const
{
    return FDPI.width() ? double(DPIValue) / FDPI.width() * 25.4 : 0.0;
}

double TkdPrinter::DPIYToMM(int DPIValue) const
{
    return FDPI.height() ? double(DPIValue) / FDPI.height() * 25.4 : 0.0;
}

double TkdPrinter::ScreenToPrinterRate() const
{
    return FDPI.height() / 96.0;
}

double TkdPrinter::PrinterToScreenRate() const
{
    return FDPI.height() ? 96.0 / FDPI.height() : 0.0;
}

int TkdPrinter::GetPrintableWidth(double MMLeftMargin, double MMRightMargin) const
{
    return FPaperSize.Width - std::max(MMToDPIX(MMLeftMargin), FLeftMargin)
           - std::max(MMToDPIX(MMRightMargin), FRightMargin);
}

int TkdPrinter::GetPrintableHeight(double MMTopMargin, double MMBottomMargin) const
{
    return FPaperSize.Height - std::max(MMToDPIY(MMTopMargin), FTopMargin)
           - std::max(MMToDPIY(MMBottomMargin), FBottomMargin);
}

TkdPrinter &PrinterMetrics()
{
    // Created on first use and freed when the application object goes, while the printing
    // system is still there.
    static TkdPrinter *metrics = [] {
        auto *m = new TkdPrinter;
        qAddPostRoutine([] { delete &PrinterMetrics(); });
        return m;
    }();
    return *metrics;
}

// ---------------------------------------------------------------------------------------------

QString TkdPrintdata::AlreadyStartedText() { return QStringLiteral("既に印刷が開始されています。"); }
QString TkdPrintdata::NotStartedText() { return QStringLiteral("印刷が開始されていません。"); }
QString TkdPrintdata::NotCompletedText() { return QStringLiteral("印刷が完了していません。"); }

TkdPrintdata::~TkdPrintdata()
{
    EndCanvas();
    while (!FPages.empty())
        FPages.pop_back();
}

void TkdPrintdata::EndCanvas()
{
    if (FCanvas) {
        FCanvas->end(); // completes the page's picture
        FCanvas.reset();
    }
}

void TkdPrintdata::BeginDoc()
{
    if (FPrinting)
        throw TkdPrintdataError(AlreadyStartedText());
    while (!FPages.empty())
        FPages.pop_back();
    FPrinting = true;
    NewPage();
}

void TkdPrintdata::NewPage()
{
    if (!FPrinting)
        throw TkdPrintdataError(NotStartedText());
    FPages.push_back(std::make_unique<QPicture>());
    auto canvas = std::make_unique<QPainter>(FPages.back().get());
    int dpi = PrinterMetrics().DPI().height();
    if (dpi <= 0)
        dpi = 600;
    if (FCanvas) {
        canvas->setFont(FCanvas->font());
        canvas->setPen(FCanvas->pen());
        canvas->setBrush(FCanvas->brush());
        canvas->setBackground(FCanvas->background());
        canvas->setBackgroundMode(FCanvas->backgroundMode());
        canvas->setCompositionMode(FCanvas->compositionMode());
        canvas->setRenderHints(FCanvas->renderHints());
        EndCanvas();
    } else {
        canvas->setFont(KdPrintFont(canvas->font().family(), 9, dpi));
    }
    FCanvas = std::move(canvas);
}

void TkdPrintdata::EndDoc()
{
    if (!FPrinting)
        throw TkdPrintdataError(NotStartedText());
    EndCanvas();
    FPrinting = false;
}

QPainter *TkdPrintdata::Canvas() const
{
    if (!FPrinting)
        throw TkdPrintdataError(NotStartedText());
    return FCanvas.get();
}

const QPicture &TkdPrintdata::Pages(int AIndex) const
{
    if (FPrinting)
        throw TkdPrintdataError(NotCompletedText());
    if (AIndex < 0 || AIndex >= PageCount())
        throw EListError(AIndex);
    return *FPages[size_t(AIndex)];
}

TkdPrintdata &PrintDocument()
{
    if (GDocument)
        return *GDocument;
    static TkdPrintdata *own = [] {
        auto *d = new TkdPrintdata;
        qAddPostRoutine([] { delete GOwnDocument; GOwnDocument = nullptr; });
        GOwnDocument = d;
        return d;
    }();
    return *own;
}

void SetPrintDocument(TkdPrintdata *ADocument)
{
    GDocument = ADocument;
}
