#pragma once
// The print dialog and the printing of source text. A window prints through
// TfrmPrint::ShowWindow(title, proc): the user chooses printer (or a PDF file), copies,
// collation, orientation, page range, margins and font; proc then lays its texts out on the
// pages of the print document (BeginPrint, PrintSource per text, EndPrint), and the pages go
// to the printer or to the preview.
#include "controls/kdstdctl.h"

#include <QDialog>
#include <QFont>
#include <QList>
#include <QStringList>
#include <QTextLine>

#include <functional>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QToolButton;

// An up-down pair of arrows bound to a number box: the arrows step the box's value within
// the range; the position is the box's value kept within the range.
class TkdUpDown : public QWidget
{
    Q_OBJECT
public:
    TkdUpDown(TkdNumEdit *AAssociate, QWidget *AParent);
    void SetRange(int AMin, int AMax);
    int Min() const { return FMin; }
    int Max() const { return FMax; }
    int Position() const;
    void SetPosition(int AValue);
    void Step(int ADelta);

private:
    TkdNumEdit *FAssociate;
    int FMin = 0, FMax = 100;
};

// One visual line of printed text on a page: the piece [Start, Start + Length) of source
// line Line, its top Y in page dots, and the runs drawn (tabs and control characters are
// space, not drawn), each with its left X.
struct TkdPrintRun {
    qsizetype Start = 0;
    qsizetype Length = 0;
    double X = 0;
};
struct TkdPrintLine {
    qsizetype Line = 0;
    qsizetype Start = 0;
    qsizetype Length = 0;
    double Y = 0;
    double Height = 0;
    double Ascent = 0;
    QList<TkdPrintRun> Runs;
};
using TkdPrintPage = QList<TkdPrintLine>;

// The lines of a text as a text list reads them: CR LF, CR and LF end a line; a line end at
// the very end starts no further line.
QStringList KdSourceLines(const QString &AText);

// Lays Lines out in a text rectangle W dots wide and H high: each line is broken at word
// boundaries (anywhere when a word is wider than W, never inside a character cluster), tabs
// stop every ATabSpaceCount average character widths. A page takes visual lines while their
// bottom stays below H; a page always takes at least one visual line, so the layout ends
// whatever the sizes. Empty lines at the top of a page are dropped.
// ADraw, when given, is called for each visual line as it is placed, with the page's index
// and the line's top, while the line's layout still exists.
using TkdPrintLineDraw = std::function<void(int APage, const QTextLine &ALine, double AY)>;
QList<TkdPrintPage> KdPaginate(const QStringList &Lines, const QFont &AFont, int W, double H,
                               int ATabSpaceCount, const TkdPrintLineDraw &ADraw = {});

class TfrmPrint : public QDialog
{
    Q_OBJECT
public:
    using TPrintProc = std::function<void()>;

    explicit TfrmPrint(QWidget *AParent = nullptr);
    ~TfrmPrint() override;

    // Runs the dialog until the user cancels, the pages were sent, or the preview was closed.
    // Errors are shown through the message routine; true when pages were sent to the printer.
    static bool ShowWindow(const QString &Title, const TPrintProc &PrintProc);
    static void BeginPrint();
    static void EndPrint();
    static void PrintSource(const QString &Title, const QStringList &Source,
                            bool ResetPageNumber);

    // The PDF file name is asked when 印刷 is pressed with the PDF entry chosen; tests answer.
    using TFileNameHook = std::function<QString(QWidget *AParent, const QString &ASuggested)>;
    static TFileNameHook SetFileNameHook(TFileNameHook AHook);

    // The font list of the dialog; tests may narrow it.
    static QStringList FontFamilies();

    QString FTitle;
    QString FPdfFile;

    QGroupBox *grpPrinter;
    QLabel *lblPrinterName;
    TkdComboBox *cmbPrinterName;
    QPushButton *btnProperty;
    QGroupBox *grpRange;
    TkdRadioButton *rdoRangeAll;
    TkdRadioButton *rdoRangeSelect;
    TkdNumEdit *txtRangeFrom;
    QLabel *lblRange;
    TkdNumEdit *txtRangeTo;
    QGroupBox *grpCopies;
    QLabel *lblCopies;
    TkdNumEdit *txtCopies;
    TkdUpDown *btnCopies;
    QCheckBox *chkCollate;
    QGroupBox *grpOrientation;
    QRadioButton *rdoPortrait;
    QRadioButton *rdoLandscape;
    QGroupBox *grpMargin;
    QLabel *lblTopMargin, *lblBottomMargin, *lblLeftMargin, *lblRightMargin;
    TkdNumEdit *txtTopMargin, *txtBottomMargin, *txtLeftMargin, *txtRightMargin;
    TkdUpDown *btnTopMargin, *btnBottomMargin, *btnLeftMargin, *btnRightMargin;
    QGroupBox *grpFont;
    QListWidget *lstFontName;
    QLabel *lblFontSize1;
    TkdNumEdit *txtFontSize;
    QLabel *lblFontSize2;
    QPushButton *btnOk;
    QPushButton *btnPreview;
    QPushButton *btnCancel;
    QPushButton *btnHelp;

    // The orientation chosen in grpOrientation (its item index).
    int OrientationItem() const;
    void SetOrientationItem(int AItem);

    // The handlers of the buttons and controls.
    void btnOkClick();
    void btnPreviewClick();
    void btnHelpClick();
    void btnPropertyClick();
    void cmbPrinterNameSelect();
    void grpOrientationClick();
    void txtCopiesChange();
    void rdoRangeAllClick();

    // The request of the dialog loop: 0 none, 1 print, 2 preview.
    static int PrintRequest();

private:
    void SelectPrinter();
    void LoadPrintOption();
    void ApplyPrinterSettings();
    void StorePrintOption();
    bool SendToPrinter();
    // The page indexes the range selects, in order.
    QList<int> SelectedPages(int APageCount) const;
    // Refuses a font size or margins that leave no room for text; true when they are fine.
    bool CheckLayoutValues();
    // Asks the PDF file name and checks that it can be written; true when it can.
    bool AskPdfFile();
};
