#pragma once
// Printing foundations: the metrics of the selected printer (dots and millimetres, what the
// printer supports), and the print document, whose pages are recorded once as pictures in
// printer dots and then replayed on the preview or on the printer.
//
// The printer list is the system's printers plus a last entry that writes a PDF file, so a
// machine without any printer can still print.
#include "core/kdsub_options.h"

#include <QPicture>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include <QPainter>
class QPrinter;

struct TSizeI {
    int Width = 0;
    int Height = 0;
    bool operator==(const TSizeI &) const = default;
};
struct TSizeD {
    double Width = 0;
    double Height = 0;
    bool operator==(const TSizeD &) const = default;
};

// What a printer device reports: resolution, sheet, printable area, capabilities. Read from
// the QPrinter by default; tests inject their own device.
struct TkdPrinterDevice {
    QSize DPI;                // dots per inch, horizontal and vertical
    TSizeI PrintableSize;     // printable area in dots
    TSizeI PaperSize;         // whole sheet in dots
    int LeftMargin = 0;       // unprintable border left and top, in dots
    int TopMargin = 0;
    int ScaleFactor = 100;    // percent
    bool SupportColor = false;
    bool SupportCollate = false;
    bool SupportCopies = false;
    int MaxCopies = 999;
};

// The copy count and collation handed to the printer for the next job (BeginSetting ..
// EndSetting).
struct TkdDevMode {
    int Copies = 1;
    bool Collate = false;
};

// The metrics of the selected printer. One instance (PrinterMetrics()) serves the program;
// callers run Refresh before they read a metric.
class TkdPrinter
{
public:
    TkdPrinter();
    ~TkdPrinter();
    TkdPrinter(const TkdPrinter &) = delete;
    TkdPrinter &operator=(const TkdPrinter &) = delete;

    // The entries of the printer list: the system's printers, then the PDF entry.
    QStringList PrinterNames() const;
    static QString PdfPrinterName();
    bool IsPdfPrinter() const;

    // Index into PrinterNames(). Choosing another printer starts from its defaults; choosing
    // the selected one keeps its settings.
    int PrinterIndex() const { return FPrinterIndex; }
    void SetPrinterIndex(int AIndex);

    TPrinterOrientation Orientation() const;
    void SetOrientation(TPrinterOrientation AValue);

    // The printer object of the selected entry (owned here; replaced when another printer
    // is chosen).
    QPrinter *Printer() const { return FPrinter.get(); }

    // Re-reads every metric from the device.
    void Refresh();

    // Edit of the job settings: BeginSetting reads them into PDev, EndSetting hands them to
    // the printer object.
    void BeginSetting();
    void EndSetting();
    TkdDevMode *PDev = nullptr;

    int MMToDPIX(double MMValue) const;
    int MMToDPIY(double MMValue) const;
    double DPIXToMM(int DPIValue) const;
    double DPIYToMM(int DPIValue) const;
    double ScreenToPrinterRate() const;
    double PrinterToScreenRate() const;
    int GetPrintableWidth(double MMLeftMargin, double MMRightMargin) const;
    int GetPrintableHeight(double MMTopMargin, double MMBottomMargin) const;

    QSize DPI() const { return FDPI; }
    TSizeI PaperSize() const { return FPaperSize; }
    TSizeI PrintableSize() const { return FPrintableSize; }
    int LeftMargin() const { return FLeftMargin; }
    int TopMargin() const { return FTopMargin; }
    int RightMargin() const { return FRightMargin; }
    int BottomMargin() const { return FBottomMargin; }
    TSizeD MMPaperSize() const { return FMMPaperSize; }
    TSizeD MMPrintableSize() const { return FMMPrintableSize; }
    double MMLeftMargin() const { return FMMLeftMargin; }
    double MMTopMargin() const { return FMMTopMargin; }
    double MMRightMargin() const { return FMMRightMargin; }
    double MMBottomMargin() const { return FMMBottomMargin; }
    int ScaleFactor() const { return FScaleFactor; }
    TSizeD ScaledPrintableSize() const { return FScaledPrintableSize; }
    TSizeD ScaledPaperSize() const { return FScaledPaperSize; }
    double ScaledLeftMargin() const { return FScaledLeftMargin; }
    double ScaledTopMargin() const { return FScaledTopMargin; }
    double ScaledRightMargin() const { return FScaledRightMargin; }
    double ScaledBottomMargin() const { return FScaledBottomMargin; }
    bool SupportColor() const { return FSupportColor; }
    bool SupportCollate() const { return FSupportCollate; }
    bool SupportCopies() const { return FSupportCopies; }
    int MaxCopies() const { return FMaxCopies; }

    // How Refresh reads the device; tests install their own. Returns the reader set before.
    using TDeviceReader = std::function<TkdPrinterDevice(QPrinter &)>;
    TDeviceReader SetDeviceReader(TDeviceReader AReader);
    // The reader used when none is installed: resolution, page layout and QPrinterInfo.
    static TkdPrinterDevice ReadDevice(QPrinter &APrinter);

private:
    void CreatePrinter(int AIndex);

    std::unique_ptr<QPrinter> FPrinter;
    int FPrinterIndex = -1;
    TDeviceReader FReader;
    TkdDevMode FDevMode;

    QSize FDPI;
    TSizeI FPrintableSize, FPaperSize;
    int FLeftMargin = 0, FTopMargin = 0, FRightMargin = 0, FBottomMargin = 0;
    TSizeD FMMPrintableSize, FMMPaperSize;
    double FMMLeftMargin = 0, FMMTopMargin = 0, FMMRightMargin = 0, FMMBottomMargin = 0;
    int FScaleFactor = 0;
    TSizeD FScaledPrintableSize, FScaledPaperSize;
    double FScaledLeftMargin = 0, FScaledTopMargin = 0, FScaledRightMargin = 0,
           FScaledBottomMargin = 0;
    bool FSupportColor = false, FSupportCollate = false, FSupportCopies = false;
    int FMaxCopies = 0;
};

// The metrics of the program's printer, created on first use.
TkdPrinter &PrinterMetrics();

// Rounds to the nearest whole number, halves to even.
int KdRoundHalfEven(double AValue);

// A font of APoints points measured in the dots of a device of ADpi dots per inch.
QFont KdPrintFont(const QString &AName, double APoints, int ADpi);

// The tab width of printed text in average character widths: the shared editor settings'.
int KdPrintTabSpaceCount();

// Replays a recorded page at AAt (in the painter's coordinates, which count printer dots),
// whatever the resolution of the painter's device: the picture's own replay scaling by
// device resolution is undone.
void KdDrawPage(QPainter &APainter, const QPicture &APage, const QPointF &AAt);

class TkdPrintdataError : public std::runtime_error
{
public:
    explicit TkdPrintdataError(const QString &AMessage)
        : std::runtime_error(AMessage.toStdString()) {}
};

// A document of recorded pages, idle or printing (BeginDoc .. EndDoc).
class TkdPrintdata
{
public:
    TkdPrintdata() = default;
    ~TkdPrintdata();
    TkdPrintdata(const TkdPrintdata &) = delete;
    TkdPrintdata &operator=(const TkdPrintdata &) = delete;

    void BeginDoc();
    void NewPage();
    void EndDoc();
    QPainter *Canvas() const;
    const QPicture &Pages(int AIndex) const;
    int PageCount() const { return int(FPages.size()); }
    bool Printing() const { return FPrinting; }

    // The messages of the state errors.
    static QString AlreadyStartedText();
    static QString NotStartedText();
    static QString NotCompletedText();

private:
    void EndCanvas();

    bool FPrinting = false;
    std::vector<std::unique_ptr<QPicture>> FPages;
    std::unique_ptr<QPainter> FCanvas;
};

// The program's one print document: the one the main window set, else a document of the
// controls layer's own.
TkdPrintdata &PrintDocument();
void SetPrintDocument(TkdPrintdata *ADocument);
