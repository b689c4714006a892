#include "controls/fprint.h"
#include "controls/fpreview.h"
#include "controls/kdhhelp.h"
#include "controls/kdprinter.h"
#include "core/kdforms.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_start.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTextLayout>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr int kHelpContext = 20400;

// The dialog loop's request and the pending first page of the document.
int GPrintRequest = 0;
bool GFirstPagePending = false;
TfrmPrint::TFileNameHook GFileNameHook;

QString CopiesTooManyText() { return QStringLiteral("印刷部数の値を小さくして下さい。"); }

bool IsControlChar(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7F;
}

int EditInt(const TkdNumEdit *AEdit, int ADefault)
{
    bool ok = false;
    const int v = AEdit->text().trimmed().toInt(&ok);
    return ok ? v : ADefault;
}

} // namespace

// ---------------------------------------------------------------------------------------------

TkdUpDown::TkdUpDown(TkdNumEdit *AAssociate, QWidget *AParent)
    : QWidget(AParent), FAssociate(AAssociate)
{
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    auto *up = new QToolButton(this);
    auto *down = new QToolButton(this);
    up->setArrowType(Qt::UpArrow);
    down->setArrowType(Qt::DownArrow);
    for (QToolButton *b : {up, down}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(16, 11);
        lay->addWidget(b);
    }
    connect(up, &QToolButton::clicked, this, [this] { Step(1); });
    connect(down, &QToolButton::clicked, this, [this] { Step(-1); });
}

void TkdUpDown::SetRange(int AMin, int AMax)
{
    FMin = AMin;
    FMax = std::max(AMin, AMax);
}

int TkdUpDown::Position() const
{
    bool ok = false;
    const int v = FAssociate->text().trimmed().toInt(&ok);
    return std::clamp(ok ? v : FMin, FMin, FMax);
}

void TkdUpDown::SetPosition(int AValue)
{
    FAssociate->setText(QString::number(std::clamp(AValue, FMin, FMax)));
}

void TkdUpDown::Step(int ADelta)
{
    SetPosition(Position() + ADelta);
}

// ---------------------------------------------------------------------------------------------
// Layout of source text

QStringList KdSourceLines(const QString &AText)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = AText.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = AText.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines << AText.mid(start, i - start);
        if (c == u'\r' && i + 1 < n && AText.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines << AText.mid(start);
    return lines;
}

QList<TkdPrintPage> KdPaginate(const QStringList &Lines, const QFont &AFont, int W, double H,
                               int ATabSpaceCount, const TkdPrintLineDraw &ADraw)
{
    QList<TkdPrintPage> pages;
    TkdPrintPage page;
    double y = 0;
    const QFontMetricsF fm(AFont);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTabStopDistance(std::max(1.0, std::max(1, ATabSpaceCount) * fm.averageCharWidth()));
    const double width = std::max(1, W);

    for (qsizetype li = 0; li < Lines.size(); ++li) {
        const QString &text = Lines.at(li);
        if (text.isEmpty() && page.isEmpty())
            continue; // an empty line at the top of a page is dropped
        // Control characters other than the tab take the room of a blank and are not drawn.
        QString shown = text;
        for (QChar &c : shown)
            if (c != u'\t' && IsControlChar(c))
                c = u' ';
        QTextLayout layout(shown, AFont);
        layout.setTextOption(option);
        layout.setCacheEnabled(true);
        layout.beginLayout();
        double ly = 0;
        for (QTextLine tl = layout.createLine(); tl.isValid(); tl = layout.createLine()) {
            tl.setLineWidth(width);
            tl.setPosition(QPointF(0, ly));
            ly += tl.height();
        }
        layout.endLayout();

        for (int v = 0; v < layout.lineCount(); ++v) {
            const QTextLine tl = layout.lineAt(v);
            const double h = tl.height();
            if (!page.isEmpty() && y + h >= H) {
                pages << page;
                page.clear();
                y = 0;
            }
            if (text.isEmpty() && page.isEmpty())
                break; // the line break fell on the page boundary
            TkdPrintLine pl;
            pl.Line = li;
            pl.Start = tl.textStart();
            pl.Length = tl.textLength();
            pl.Y = y;
            pl.Height = h;
            pl.Ascent = tl.ascent();
            // Runs between tabs and control characters, each placed where the layout put it.
            const qsizetype end = pl.Start + pl.Length;
            qsizetype runStart = pl.Start;
            for (qsizetype i = pl.Start; i <= end; ++i) {
                if (i < end && !IsControlChar(text.at(i)))
                    continue;
                if (i > runStart)
                    pl.Runs << TkdPrintRun{runStart, i - runStart, tl.cursorToX(int(runStart))};
                runStart = i + 1;
            }
            if (ADraw)
                ADraw(int(pages.size()), tl, y);
            page << pl;
            y += h;
        }
    }
    if (!page.isEmpty())
        pages << page;
    return pages;
}

// ---------------------------------------------------------------------------------------------

TfrmPrint::TFileNameHook TfrmPrint::SetFileNameHook(TFileNameHook AHook)
{
    std::swap(GFileNameHook, AHook);
    return AHook;
}

QStringList TfrmPrint::FontFamilies()
{
    return QFontDatabase::families();
}

int TfrmPrint::PrintRequest()
{
    return GPrintRequest;
}

TfrmPrint::TfrmPrint(QWidget *AParent) : QDialog(AParent)
{
    setObjectName(QStringLiteral("frmPrint"));
    setWindowTitle(QStringLiteral("印刷"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint);

    auto named = [](QWidget *w, const char *name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };

    // Printer
    grpPrinter = new QGroupBox(QStringLiteral(" プリンタ "), this);
    lblPrinterName = new QLabel(QStringLiteral("プリンタ名(&N)"), grpPrinter);
    cmbPrinterName = new TkdComboBox(grpPrinter);
    cmbPrinterName->setMaxVisibleItems(20);
    cmbPrinterName->setMinimumWidth(260);
    lblPrinterName->setBuddy(cmbPrinterName);
    btnProperty = new QPushButton(QStringLiteral("プロパティ(&P)..."), grpPrinter);
    {
        auto *l = new QHBoxLayout(grpPrinter);
        l->addWidget(lblPrinterName);
        l->addWidget(cmbPrinterName, 1);
        l->addWidget(btnProperty);
    }

    // Range
    grpRange = new QGroupBox(QStringLiteral(" 印刷範囲 "), this);
    rdoRangeAll = new TkdRadioButton(QStringLiteral("すべて(&A)"), grpRange);
    rdoRangeSelect = new TkdRadioButton(QStringLiteral("ページ指定(&G)"), grpRange);
    txtRangeFrom = new TkdNumEdit(grpRange);
    lblRange = new QLabel(QStringLiteral("～"), grpRange);
    txtRangeTo = new TkdNumEdit(grpRange);
    rdoRangeAll->setChecked(true);
    for (TkdNumEdit *e : {txtRangeFrom, txtRangeTo})
        e->setFixedWidth(50);
    {
        auto *l = new QGridLayout(grpRange);
        l->addWidget(rdoRangeAll, 0, 0, 1, 4);
        l->addWidget(rdoRangeSelect, 1, 0);
        l->addWidget(txtRangeFrom, 1, 1);
        l->addWidget(lblRange, 1, 2);
        l->addWidget(txtRangeTo, 1, 3);
        l->setColumnStretch(4, 1);
    }

    // Copies
    grpCopies = new QGroupBox(QStringLiteral(" 部数 "), this);
    lblCopies = new QLabel(QStringLiteral("部数(&C)"), grpCopies);
    txtCopies = new TkdNumEdit(grpCopies);
    txtCopies->setFixedWidth(50);
    lblCopies->setBuddy(txtCopies);
    btnCopies = new TkdUpDown(txtCopies, grpCopies);
    btnCopies->SetRange(1, 999);
    txtCopies->setText(QStringLiteral("1"));
    chkCollate = new QCheckBox(QStringLiteral("部単位で印刷"), grpCopies);
    chkCollate->setEnabled(false);
    {
        auto *l = new QGridLayout(grpCopies);
        l->addWidget(lblCopies, 0, 0);
        l->addWidget(txtCopies, 0, 1);
        l->addWidget(btnCopies, 0, 2);
        l->addWidget(chkCollate, 1, 0, 1, 4);
        l->setColumnStretch(3, 1);
    }

    // Orientation
    grpOrientation = new QGroupBox(QStringLiteral(" 用紙方向 "), this);
    rdoPortrait = new QRadioButton(QStringLiteral("縦"), grpOrientation);
    rdoLandscape = new QRadioButton(QStringLiteral("横"), grpOrientation);
    rdoPortrait->setChecked(true);
    {
        auto *l = new QVBoxLayout(grpOrientation);
        l->addWidget(rdoPortrait);
        l->addWidget(rdoLandscape);
        l->addStretch(1);
    }

    // Margins
    grpMargin = new QGroupBox(QStringLiteral(" 余白(mm) "), this);
    auto margin = [this](const QString &caption, QLabel *&lbl, TkdNumEdit *&txt,
                         TkdUpDown *&btn) {
        lbl = new QLabel(caption, grpMargin);
        txt = new TkdNumEdit(grpMargin);
        txt->SetAllowMinus(true);
        txt->setFixedWidth(44);
        btn = new TkdUpDown(txt, grpMargin);
        btn->SetRange(0, 100);
        txt->setText(QStringLiteral("10"));
    };
    margin(QStringLiteral("上"), lblTopMargin, txtTopMargin, btnTopMargin);
    margin(QStringLiteral("下"), lblBottomMargin, txtBottomMargin, btnBottomMargin);
    margin(QStringLiteral("左"), lblLeftMargin, txtLeftMargin, btnLeftMargin);
    margin(QStringLiteral("右"), lblRightMargin, txtRightMargin, btnRightMargin);
    {
        auto *l = new QGridLayout(grpMargin);
        l->addWidget(lblTopMargin, 0, 0);
        l->addWidget(txtTopMargin, 0, 1);
        l->addWidget(btnTopMargin, 0, 2);
        l->addWidget(lblBottomMargin, 0, 3);
        l->addWidget(txtBottomMargin, 0, 4);
        l->addWidget(btnBottomMargin, 0, 5);
        l->addWidget(lblLeftMargin, 1, 0);
        l->addWidget(txtLeftMargin, 1, 1);
        l->addWidget(btnLeftMargin, 1, 2);
        l->addWidget(lblRightMargin, 1, 3);
        l->addWidget(txtRightMargin, 1, 4);
        l->addWidget(btnRightMargin, 1, 5);
        l->setColumnStretch(6, 1);
    }

    // Font
    grpFont = new QGroupBox(QStringLiteral(" フォント "), this);
    lstFontName = new QListWidget(grpFont);
    lstFontName->setSortingEnabled(true);
    lblFontSize1 = new QLabel(QStringLiteral("サイズ"), grpFont);
    txtFontSize = new TkdNumEdit(grpFont);
    txtFontSize->setMaxLength(3);
    txtFontSize->setFixedWidth(44);
    lblFontSize2 = new QLabel(QStringLiteral("pt."), grpFont);
    {
        auto *l = new QGridLayout(grpFont);
        l->addWidget(lstFontName, 0, 0, 1, 4);
        l->addWidget(lblFontSize1, 1, 0);
        l->addWidget(txtFontSize, 1, 1);
        l->addWidget(lblFontSize2, 1, 2);
        l->setColumnStretch(3, 1);
    }

    btnOk = new QPushButton(QStringLiteral("印刷"), this);
    btnPreview = new QPushButton(QStringLiteral("プレビュー"), this);
    btnCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    btnHelp = new QPushButton(QStringLiteral("ヘルプ"), this);
    btnOk->setDefault(true);

    named(grpPrinter, "grpPrinter");
    named(lblPrinterName, "lblPrinterName");
    named(cmbPrinterName, "cmbPrinterName");
    named(btnProperty, "btnProperty");
    named(grpRange, "grpRange");
    named(rdoRangeAll, "rdoRangeAll");
    named(rdoRangeSelect, "rdoRangeSelect");
    named(txtRangeFrom, "txtRangeFrom");
    named(lblRange, "lblRange");
    named(txtRangeTo, "txtRangeTo");
    named(grpCopies, "grpCopies");
    named(txtCopies, "txtCopies");
    named(btnCopies, "btnCopies");
    named(chkCollate, "chkCollate");
    named(grpOrientation, "grpOrientation");
    named(grpMargin, "grpMargin");
    named(txtTopMargin, "txtTopMargin");
    named(txtBottomMargin, "txtBottomMargin");
    named(txtLeftMargin, "txtLeftMargin");
    named(txtRightMargin, "txtRightMargin");
    named(grpFont, "grpFont");
    named(lstFontName, "lstFontName");
    named(txtFontSize, "txtFontSize");
    named(btnOk, "btnOk");
    named(btnPreview, "btnPreview");
    named(btnCancel, "btnCancel");
    named(btnHelp, "btnHelp");

    auto *grid = new QGridLayout;
    grid->addWidget(grpPrinter, 0, 0, 1, 2);
    grid->addWidget(grpRange, 1, 0);
    grid->addWidget(grpCopies, 1, 1);
    grid->addWidget(grpOrientation, 2, 0);
    grid->addWidget(grpMargin, 2, 1);
    grid->addWidget(grpFont, 3, 0, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton *b : {btnOk, btnPreview, btnCancel, btnHelp})
        buttons->addWidget(b);
    auto *main = new QVBoxLayout(this);
    main->addLayout(grid);
    main->addLayout(buttons);

    rdoRangeAllClick();

    connect(btnOk, &QPushButton::clicked, this, [this] { GuardedCall([this] { btnOkClick(); }); });
    connect(btnPreview, &QPushButton::clicked, this,
            [this] { GuardedCall([this] { btnPreviewClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnHelp, &QPushButton::clicked, this, [this] { btnHelpClick(); });
    connect(btnProperty, &QPushButton::clicked, this,
            [this] { GuardedCall([this] { btnPropertyClick(); }); });
    connect(cmbPrinterName, &QComboBox::activated, this,
            [this] { GuardedCall([this] { cmbPrinterNameSelect(); }); });
    connect(rdoPortrait, &QRadioButton::clicked, this, [this] { grpOrientationClick(); });
    connect(rdoLandscape, &QRadioButton::clicked, this, [this] { grpOrientationClick(); });
    for (TkdNumEdit *e : {txtCopies, txtTopMargin, txtBottomMargin, txtLeftMargin,
                          txtRightMargin, txtRangeFrom, txtRangeTo})
        connect(e, &QLineEdit::textChanged, this, [this] { txtCopiesChange(); });
    connect(rdoRangeAll, &QRadioButton::toggled, this, [this] { rdoRangeAllClick(); });
    connect(rdoRangeSelect, &QRadioButton::toggled, this, [this] { rdoRangeAllClick(); });
}

TfrmPrint::~TfrmPrint() = default;

int TfrmPrint::OrientationItem() const
{
    return rdoLandscape->isChecked() ? 1 : 0;
}

void TfrmPrint::SetOrientationItem(int AItem)
{
    (AItem == 1 ? rdoLandscape : rdoPortrait)->setChecked(true);
}

void TfrmPrint::txtCopiesChange()
{
    chkCollate->setEnabled(btnCopies->Position() > 1);
}

void TfrmPrint::rdoRangeAllClick()
{
    const bool on = rdoRangeSelect->isChecked();
    txtRangeFrom->setEnabled(on);
    txtRangeTo->setEnabled(on);
    lblRange->setEnabled(on);
}

void TfrmPrint::grpOrientationClick()
{
    PrinterMetrics().SetOrientation(TPrinterOrientation(OrientationItem()));
    PrinterMetrics().Refresh();
}

void TfrmPrint::cmbPrinterNameSelect()
{
    SelectPrinter();
}

void TfrmPrint::btnHelpClick()
{
    ShowHelpContext(kHelpContext);
}

void TfrmPrint::btnPropertyClick()
{
    SelectPrinter();
    TkdPrinter &m = PrinterMetrics();
    m.SetOrientation(TPrinterOrientation(OrientationItem()));
    QPageSetupDialog dlg(m.Printer(), this);
    if (dlg.exec() == QDialog::Accepted) {
        SetOrientationItem(m.Orientation());
        cmbPrinterName->setCurrentIndex(m.PrinterIndex());
        SelectPrinter();
    }
}

void TfrmPrint::SelectPrinter()
{
    TkdPrinter &m = PrinterMetrics();
    m.SetPrinterIndex(cmbPrinterName->currentIndex());
    m.Refresh();
    cmbPrinterName->setCurrentIndex(m.PrinterIndex());
    btnCopies->SetRange(1, m.MaxCopies());
}

void TfrmPrint::LoadPrintOption()
{
    const TkdPrintOption &o = TkdPrintOption::Global();
    SetOrientationItem(o.Orientation == poLandscape ? 1 : 0);
    btnTopMargin->SetPosition(o.MMTopMargin);
    btnBottomMargin->SetPosition(o.MMBottomMargin);
    btnLeftMargin->SetPosition(o.MMLeftMargin);
    btnRightMargin->SetPosition(o.MMRightMargin);
    lstFontName->setCurrentRow(-1);
    const auto found = lstFontName->findItems(o.FontName, Qt::MatchExactly);
    if (!found.isEmpty())
        lstFontName->setCurrentItem(found.first());
    txtFontSize->setText(QString::number(o.FontSize));
}

void TfrmPrint::StorePrintOption()
{
    TkdPrintOption &o = TkdPrintOption::Global();
    o.Orientation = OrientationItem() == 1 ? poLandscape : poPortrait;
    o.MMTopMargin = btnTopMargin->Position();
    o.MMBottomMargin = btnBottomMargin->Position();
    o.MMLeftMargin = btnLeftMargin->Position();
    o.MMRightMargin = btnRightMargin->Position();
    // With no font selected the stored name stays (it may be a name this machine maps).
    if (QListWidgetItem *item = lstFontName->currentItem(); item && item->isSelected())
        o.FontName = item->text();
    const int size = EditInt(txtFontSize, 0);
    if (size > 0)
        o.FontSize = size;
}

void TfrmPrint::ApplyPrinterSettings()
{
    SelectPrinter();
    TkdPrinter &m = PrinterMetrics();
    m.SetOrientation(TPrinterOrientation(OrientationItem()));
    m.BeginSetting();
    struct EndGuard {
        ~EndGuard() { PrinterMetrics().EndSetting(); }
    } guard;
    if (m.SupportCollate())
        m.PDev->Collate = chkCollate->isChecked();
    if (m.SupportCopies())
        m.PDev->Copies = chkCollate->isChecked() && !m.SupportCollate() ? 1 : btnCopies->Position();
}

bool TfrmPrint::CheckLayoutValues()
{
    // The font size: a positive number of points.
    const int size = EditInt(txtFontSize, 0);
    if (size <= 0) {
        txtFontSize->setFocus();
        ShowMessageBox(QStringLiteral("フォントサイズを正しく指定して下さい。"), MB_ICONWARNING);
        return false;
    }
    // The margins: the text rectangle must hold one line and one character.
    TkdPrinter &m = PrinterMetrics();
    m.SetPrinterIndex(cmbPrinterName->currentIndex());
    m.SetOrientation(TPrinterOrientation(OrientationItem()));
    m.Refresh();
    QString family = TkdPrintOption::Global().FontName;
    if (QListWidgetItem *item = lstFontName->currentItem(); item && item->isSelected())
        family = item->text();
    const QFontMetricsF fm(KdPrintFont(family, size, std::max(1, m.DPI().height())));
    const int w = m.GetPrintableWidth(btnLeftMargin->Position(), btnRightMargin->Position());
    const int h = m.GetPrintableHeight(btnTopMargin->Position(), btnBottomMargin->Position());
    TkdNumEdit *bad = nullptr;
    if (h <= fm.height())
        bad = btnTopMargin->Position() >= btnBottomMargin->Position() ? txtTopMargin
                                                                       : txtBottomMargin;
    else if (w < fm.maxWidth())
        bad = btnLeftMargin->Position() >= btnRightMargin->Position() ? txtLeftMargin
                                                                       : txtRightMargin;
    if (bad) {
        bad->setFocus();
        ShowMessageBox(QStringLiteral("余白が大きすぎるため、印刷できません。"), MB_ICONWARNING);
        return false;
    }
    return true;
}

bool TfrmPrint::AskPdfFile()
{
    QString suggested = DocumentFolder();
    QString base = FTitle;
    base.replace(QRegularExpression(QStringLiteral("[\\\\/:*?\"<>|]")), QStringLiteral("_"));
    suggested = QDir(suggested).filePath((base.isEmpty() ? QStringLiteral("print") : base)
                                         + QStringLiteral(".pdf"));
    const QString file = GFileNameHook
        ? GFileNameHook(this, suggested)
        : QFileDialog::getSaveFileName(this, QStringLiteral("PDF ファイルに出力"), suggested,
                                       QStringLiteral("PDF ファイル (*.pdf)"));
    if (file.isEmpty())
        return false;
    // The file must be writable before the pages are laid out.
    const QFileInfo info(file);
    const bool existed = info.exists();
    QFile probe(file);
    if (!probe.open(QIODevice::WriteOnly | QIODevice::Append)) {
        ShowMessageBox(QStringLiteral("ファイル \"%1\" に書き込めません。").arg(QDir::toNativeSeparators(file)),
                       MB_ICONWARNING);
        return false;
    }
    probe.close();
    if (!existed)
        probe.remove();
    FPdfFile = file;
    return true;
}

void TfrmPrint::btnOkClick()
{
    int copies = EditInt(txtCopies, 1);
    if (copies > PrinterMetrics().MaxCopies()) {
        txtCopies->setFocus();
        ShowMessageBox(CopiesTooManyText(), MB_ICONWARNING);
        throw EAbort();
    }
    if (!CheckLayoutValues())
        throw EAbort();
    if (PrinterMetrics().IsPdfPrinter() && !AskPdfFile())
        throw EAbort();
    GPrintRequest = 1;
    accept();
}

void TfrmPrint::btnPreviewClick()
{
    if (!CheckLayoutValues())
        throw EAbort();
    GPrintRequest = 2;
    accept();
}

QList<int> TfrmPrint::SelectedPages(int APageCount) const
{
    QList<int> pages;
    const int from = EditInt(txtRangeFrom, 0);
    const int to = EditInt(txtRangeTo, 0);
    for (int i = 0; i < APageCount; ++i) {
        if (!rdoRangeAll->isChecked()) {
            if (!rdoRangeSelect->isChecked())
                continue;
            if (from != 0 && i < from - 1)
                continue;
            if (to != 0 && i > to - 1)
                continue;
        }
        pages << i;
    }
    return pages;
}

bool TfrmPrint::SendToPrinter()
{
    TkdPrinter &m = PrinterMetrics();
    TkdPrintdata &doc = PrintDocument();
    const QList<int> pages = SelectedPages(doc.PageCount());
    if (pages.isEmpty()) {
        ShowMessageBox(QStringLiteral("印刷するページがありません。"), MB_ICONWARNING);
        return false;
    }
    TkdWaitCursor wait;
    const TkdPrintOption &o = TkdPrintOption::Global();
    const int x = std::max(0, m.MMToDPIX(o.MMLeftMargin) - m.LeftMargin());
    const int y = std::max(0, m.MMToDPIY(o.MMTopMargin) - m.TopMargin());

    const int copies = btnCopies->Position();
    int passes = 1, repeat = 1;
    if (!m.SupportCollate()) {
        if (chkCollate->isChecked())
            passes = copies;
        else if (!m.SupportCopies())
            repeat = copies;
    }

    QPrinter *printer = m.Printer();
    printer->setDocName(QStringLiteral("ZUMAQ - ") + FTitle);
    const bool pdf = m.IsPdfPrinter();
    if (pdf)
        printer->setOutputFileName(FPdfFile);
    QPainter painter;
    try {
        if (!painter.begin(printer))
            throw std::runtime_error(
                (pdf ? QStringLiteral("ファイル \"%1\" に書き込めません。")
                           .arg(QDir::toNativeSeparators(FPdfFile))
                     : QStringLiteral("プリンタ \"%1\" で印刷を開始できません。")
                           .arg(printer->printerName()))
                    .toStdString());
        bool first = true;
        for (int pass = 0; pass < passes; ++pass)
            for (int index : pages)
                for (int r = 0; r < repeat; ++r) {
                    if (!first && !printer->newPage())
                        throw std::runtime_error(
                            QStringLiteral("印刷中にエラーが発生しました。").toStdString());
                    first = false;
                    KdDrawPage(painter, doc.Pages(index), QPointF(x, y));
                }
        if (!painter.end())
            throw std::runtime_error(QStringLiteral("印刷中にエラーが発生しました。").toStdString());
        if (pdf && !QFileInfo(FPdfFile).isFile())
            throw std::runtime_error(QStringLiteral("ファイル \"%1\" に書き込めません。")
                                         .arg(QDir::toNativeSeparators(FPdfFile))
                                         .toStdString());
    } catch (...) {
        printer->abort();
        if (painter.isActive())
            painter.end();
        if (pdf)
            QFile::remove(FPdfFile);
        throw;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------

bool TfrmPrint::ShowWindow(const QString &Title, const TPrintProc &PrintProc)
{
    if (!PrintProc)
        return false;
    bool sent = false;
    GPrintRequest = 1;
    try {
        while (GPrintRequest != 0) {
            if (GPrintRequest == 1) {
                QWidget *owner = TkdMainForm::Instance() ? TkdMainForm::Instance()->Widget()
                                                         : QApplication::activeWindow();
                TfrmPrint dlg(owner);
                dlg.FTitle = Title;
                dlg.lstFontName->addItems(FontFamilies());
                const QStringList printers = PrinterMetrics().PrinterNames();
                dlg.cmbPrinterName->addItems(printers);
                if (PrinterMetrics().PrinterIndex() < 0)
                    PrinterMetrics().SetPrinterIndex(-1);
                dlg.cmbPrinterName->setCurrentIndex(PrinterMetrics().PrinterIndex());
                dlg.SelectPrinter();
                dlg.LoadPrintOption();
                GPrintRequest = 0;
                if (dlg.exec() == QDialog::Accepted) {
                    dlg.ApplyPrinterSettings();
                    dlg.StorePrintOption();
                    if (GPrintRequest == 1) {
                        PrintProc();
                        sent = dlg.SendToPrinter();
                        GPrintRequest = 0;
                    }
                }
            } else {
                PrintProc();
                GPrintRequest = TfrmPreview::ShowWindow() ? 1 : 0;
            }
        }
    } catch (...) {
        GPrintRequest = 0;
        if (PrintDocument().Printing())
            PrintDocument().EndDoc();
        GuardedCall([] { throw; });
        return false;
    }
    return sent;
}

void TfrmPrint::BeginPrint()
{
    PrintDocument().BeginDoc();
    GFirstPagePending = true;
}

void TfrmPrint::EndPrint()
{
    PrintDocument().EndDoc();
}

void TfrmPrint::PrintSource(const QString &Title, const QStringList &Source,
                            bool ResetPageNumber)
{
    TkdPrintdata &doc = PrintDocument();
    TkdPrinter &m = PrinterMetrics();
    const TkdPrintOption &o = TkdPrintOption::Global();
    const int base = ResetPageNumber && !GFirstPagePending ? doc.PageCount() : 0;
    const int W = m.GetPrintableWidth(o.MMLeftMargin, o.MMRightMargin);
    const int H = m.GetPrintableHeight(o.MMTopMargin, o.MMBottomMargin);
    const int dpi = m.DPI().height() > 0 ? m.DPI().height() : 600;

    const QFont font = KdPrintFont(o.FontName, o.FontSize > 0 ? o.FontSize : 10, dpi);
    doc.Canvas()->setFont(font);

    QStringList lines;
    for (const QString &s : Source) {
        if (s.contains(u'\r') || s.contains(u'\n'))
            lines << KdSourceLines(s);
        else
            lines << s;
    }
    // Each visual line is drawn from the layout that placed it; a page is opened, with its
    // title and number, when its first line arrives.
    int current = -1;
    QPainter *c = nullptr;
    KdPaginate(lines, font, W, H, KdPrintTabSpaceCount(),
               [&](int APage, const QTextLine &ALine, double AY) {
                   if (APage != current) {
                       current = APage;
                       if (GFirstPagePending)
                           GFirstPagePending = false;
                       else
                           doc.NewPage();
                       c = doc.Canvas();
                       const int h = c->fontMetrics().height();
                       const int flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine;
                       c->drawText(QRect(0, -2 * h, W, 2 * h), flags, Title);
                       c->drawText(QRect(0, H, W, 2 * h), flags,
                                   QString::number(doc.PageCount() - base));
                   }
                   ALine.draw(c, QPointF(0, AY - ALine.y()));
               });
}
