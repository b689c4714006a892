#pragma once
// Printing under test: the program's printer metrics read an injected device (600 dpi, A4,
// a 100-dot unprintable border) or the real PDF entry, each test has its own print document,
// and the print options are set to known values and restored afterwards.
#include "controls/kdprinter.h"
#include "core/kdsub_options.h"

#include <QDir>
#include <QPrinter>
#include <QWidget>
#include <gtest/gtest.h>

// With VANTOR_SHOTS set to a folder, saves a picture of what a test shows there, to be
// looked at by hand.
inline void SaveShot(const QImage &image, const QString &name)
{
    const QString dir = qEnvironmentVariable("VANTOR_SHOTS");
    if (!dir.isEmpty())
        image.save(QDir(dir).filePath(name + QStringLiteral(".png")));
}
inline void SaveShot(QWidget *w, const QString &name)
{
    if (!qEnvironmentVariable("VANTOR_SHOTS").isEmpty())
        SaveShot(w->grab().toImage(), name);
}

// A4 at 600 dpi with a border of 100 dots on each side.
inline TkdPrinterDevice InjectedDevice()
{
    TkdPrinterDevice d;
    d.DPI = QSize(600, 600);
    d.PaperSize = {4961, 7016};
    d.PrintableSize = {4961 - 200, 7016 - 200};
    d.LeftMargin = 100;
    d.TopMargin = 100;
    d.ScaleFactor = 100;
    d.MaxCopies = 999;
    return d;
}

class PrintTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FOldOption = TkdPrintOption::Global();
        TkdPrintOption &o = TkdPrintOption::Global();
        o.Orientation = poPortrait;
        o.MMLeftMargin = o.MMTopMargin = o.MMRightMargin = o.MMBottomMargin = 20;
        o.FontName = QStringLiteral("ＭＳ ゴシック");
        o.FontSize = 10;
        SetPrintDocument(&Doc);
        PrinterMetrics().SetPrinterIndex(int(PrinterMetrics().PrinterNames().size()) - 1);
        InjectDevice(InjectedDevice());
    }
    void TearDown() override
    {
        PrinterMetrics().SetDeviceReader({});
        SetPrintDocument(nullptr);
        TkdPrintOption::Global() = FOldOption;
    }
    void InjectDevice(const TkdPrinterDevice &d)
    {
        PrinterMetrics().SetDeviceReader([d](QPrinter &) { return d; });
        PrinterMetrics().Refresh();
    }
    // The real PDF device, with the copy and collation support stubbed.
    void UsePdfDevice(bool copies, bool collate)
    {
        PrinterMetrics().SetDeviceReader([copies, collate](QPrinter &p) {
            TkdPrinterDevice d = TkdPrinter::ReadDevice(p);
            d.SupportCopies = copies;
            d.SupportCollate = collate;
            return d;
        });
        PrinterMetrics().Refresh();
    }

    TkdPrintdata Doc;
    TkdPrintOption FOldOption;
};
