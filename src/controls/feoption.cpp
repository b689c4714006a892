#include "controls/feoption.h"

#include "controls/kdhhelp.h"
#include "controls/kdstdctl.h"
#include "core/kdreserve.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_start.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

// ---------------------------------------------------------------------------------------------
// Colour grid

TColorGrid::TColorGrid(QWidget *parent) : QWidget(parent)
{
    setMinimumSize(96, 96);
}

void TColorGrid::SetForegroundIndex(int i)
{
    FForegroundIndex = i;
    update();
}

void TColorGrid::SetBackgroundIndex(int i)
{
    FBackgroundIndex = i;
    update();
}

QRect TColorGrid::CellRect(int index) const
{
    const int w = width() / 4, h = height() / 4;
    return QRect((index % 4) * w, (index / 4) * h, w, h);
}

void TColorGrid::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    static const TColor colors[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                                      0x808000, 0xC0C0C0, 0x808080, 0x0000FF, 0x00FF00, 0x00FFFF,
                                      0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
    for (int i = 0; i < 16; ++i) {
        const QRect r = CellRect(i).adjusted(1, 1, -1, -1);
        const QColor c = WinColorToQColor(colors[i]);
        p.fillRect(r, isEnabled() ? c : c.lighter(150));
        p.setPen(Qt::gray);
        p.drawRect(r.adjusted(0, 0, -1, -1));
        QStringList marks;
        if (i == FForegroundIndex && ForegroundEnabled)
            marks << QStringLiteral("FG");
        if (i == FBackgroundIndex && BackgroundEnabled)
            marks << QStringLiteral("BG");
        if (!marks.isEmpty()) {
            p.setPen(c.lightness() > 128 ? Qt::black : Qt::white);
            p.drawText(r, Qt::AlignCenter, marks.join(QLatin1Char('/')));
        }
    }
}

void TColorGrid::mouseReleaseEvent(QMouseEvent *e)
{
    if (!isEnabled())
        return;
    for (int i = 0; i < 16; ++i) {
        if (!CellRect(i).contains(e->position().toPoint()))
            continue;
        if (e->button() == Qt::LeftButton && ForegroundEnabled)
            SetForegroundIndex(i);
        else if (e->button() == Qt::RightButton && BackgroundEnabled)
            SetBackgroundIndex(i);
        emit Released(e->button());
        return;
    }
}

// ---------------------------------------------------------------------------------------------
// Colour manager

namespace {
// Release events of the panel and its labels reach the manager through this filter.
class TReleaseFilter : public QObject
{
public:
    TReleaseFilter(QObject *parent, std::function<void(Qt::MouseButton)> f) : QObject(parent), FOn(std::move(f)) {}
protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::MouseButtonRelease) {
            auto *w = qobject_cast<QWidget *>(o);
            if (w && w->isEnabled())
                FOn(static_cast<QMouseEvent *>(e)->button());
        }
        return false;
    }
private:
    std::function<void(Qt::MouseButton)> FOn;
};
} // namespace

TEditorColorManager::TEditorColorManager(TColorGrid *ColorGrid, QFrame *clNonePanel, QLabel *BGLabel,
                                         QLabel *FGLabel, QCheckBox *BoldCheckBox,
                                         QCheckBox *UnderlineCheckBox, QCheckBox *ItalicCheckBox)
    : FColorGrid(ColorGrid), FclNonePanel(clNonePanel), FBGLabel(BGLabel), FFGLabel(FGLabel),
      FBoldCheckBox(BoldCheckBox), FUnderlineCheckBox(UnderlineCheckBox), FItalicCheckBox(ItalicCheckBox)
{
    FillColorList();
    QObject::connect(FColorGrid, &TColorGrid::Released, FColorGrid,
                     [this](Qt::MouseButton b) { MouseReleased(b, true); });
    auto *filter = new TReleaseFilter(FclNonePanel, [this](Qt::MouseButton b) { MouseReleased(b, false); });
    for (QWidget *w : {static_cast<QWidget *>(FclNonePanel), static_cast<QWidget *>(FBGLabel),
                       static_cast<QWidget *>(FFGLabel)})
        if (w)
            w->installEventFilter(filter);
    for (QCheckBox *box : {FBoldCheckBox, FUnderlineCheckBox, FItalicCheckBox})
        if (box)
            QObject::connect(box, &QCheckBox::clicked, box, [this] { StyleClicked(); });
}

void TEditorColorManager::FillColorList()
{
    // The 16 standard colours in the grid's order, then "no colour".
    for (TColor c : {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xC0C0C0,
                     0x808080, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF})
        AddColor(c);
    AddColor(clNone);
}

int TEditorColorManager::IndexOf(TColor c) const
{
    return FColorList.indexOf(c);
}

void TEditorColorManager::Notify()
{
    if (OnChange)
        OnChange();
}

void TEditorColorManager::SetFountainColor(TFountainColor *Value)
{
    SetState(TColorEditState::csFountainColor);
    FFountainColor = Value;
    FEditorMark = nullptr;
    FColorGrid->ForegroundEnabled = true;
    FColorGrid->BackgroundEnabled = true;
    for (QCheckBox *box : {FBoldCheckBox, FUnderlineCheckBox, FItalicCheckBox})
        if (box)
            box->setEnabled(true);
    if (!Value) {
        FColorGrid->SetForegroundIndex(16);
        FColorGrid->SetBackgroundIndex(16);
        FColorGrid->setEnabled(false);
        FBGLabel->hide();
        FFGLabel->hide();
        FclNonePanel->setEnabled(false);
        for (QCheckBox *box : {FBoldCheckBox, FUnderlineCheckBox, FItalicCheckBox})
            if (box) {
                box->setChecked(false);
                box->setEnabled(false);
            }
        return;
    }
    FColorGrid->setEnabled(true);
    FclNonePanel->setEnabled(true);
    const int bg = IndexOf(Value->BkColor), fg = IndexOf(Value->Color);
    FColorGrid->SetBackgroundIndex(bg);
    FColorGrid->SetForegroundIndex(fg);
    FBGLabel->setVisible(bg < 0 || bg > 15);
    FFGLabel->setVisible(fg < 0 || fg > 15);
    if (FBoldCheckBox)
        FBoldCheckBox->setChecked(Value->Bold);
    if (FUnderlineCheckBox)
        FUnderlineCheckBox->setChecked(Value->Underline);
    if (FItalicCheckBox)
        FItalicCheckBox->setChecked(Value->Italic);
}

void TEditorColorManager::SetEditorMark(TEditorMark *Value)
{
    SetState(TColorEditState::csEditorMark);
    FEditorMark = Value;
    FFountainColor = nullptr;
    FColorGrid->ForegroundEnabled = true;
    FColorGrid->BackgroundEnabled = false;
    FBGLabel->hide();
    for (QCheckBox *box : {FBoldCheckBox, FUnderlineCheckBox, FItalicCheckBox})
        if (box) {
            box->setChecked(false);
            box->setEnabled(false);
        }
    if (!Value) {
        FColorGrid->SetForegroundIndex(16);
        FColorGrid->setEnabled(false);
        FclNonePanel->setEnabled(false);
        FFGLabel->hide();
        return;
    }
    FColorGrid->setEnabled(true);
    FclNonePanel->setEnabled(true);
    const int fg = IndexOf(Value->Color);
    FColorGrid->SetForegroundIndex(fg);
    FFGLabel->setVisible(fg < 0 || fg > 15);
    FColorGrid->update();
}

void TEditorColorManager::MouseReleased(Qt::MouseButton button, bool onGrid)
{
    const bool left = button == Qt::LeftButton, right = button == Qt::RightButton;
    if (FState == TColorEditState::csFountainColor && FFountainColor) {
        if (onGrid && left) {
            FFountainColor->Color = FColorList.value(FColorGrid->ForegroundIndex(), clNone);
            FFGLabel->hide();
        } else if (onGrid && right) {
            FFountainColor->BkColor = FColorList.value(FColorGrid->BackgroundIndex(), clNone);
            FBGLabel->hide();
        } else if (!onGrid && left) {
            FFountainColor->Color = clNone;
            FColorGrid->SetForegroundIndex(16);
            FFGLabel->show();
        } else if (!onGrid && right) {
            FFountainColor->BkColor = clNone;
            FColorGrid->SetBackgroundIndex(16);
            FBGLabel->show();
        } else {
            return;
        }
        Notify();
    } else if (FState == TColorEditState::csEditorMark && FEditorMark && left) {
        if (onGrid) {
            FEditorMark->Color = FColorList.value(FColorGrid->ForegroundIndex(), clNone);
            FFGLabel->hide();
        } else {
            FEditorMark->Color = clNone;
            FColorGrid->SetForegroundIndex(16);
            FFGLabel->show();
        }
        Notify();
    }
}

void TEditorColorManager::StyleClicked()
{
    if (FState != TColorEditState::csFountainColor || !FFountainColor)
        return;
    if (FBoldCheckBox)
        FFountainColor->Bold = FBoldCheckBox->isChecked();
    if (FUnderlineCheckBox)
        FFountainColor->Underline = FUnderlineCheckBox->isChecked();
    if (FItalicCheckBox)
        FFountainColor->Italic = FItalicCheckBox->isChecked();
}

// ---------------------------------------------------------------------------------------------
// Dialog

TfrmEditorOption::TfrmEditorOption(TkdMemoProp *EditorProp, QWidget *parent)
    : QDialog(parent), FEditorProp(EditorProp)
{
    setObjectName(QStringLiteral("frmEditorOption"));
    setWindowTitle(QStringLiteral("エディタオプション"));
    setFixedSize(532, 453);
    auto *lay = new QVBoxLayout(this);
    pgcOption = new QTabWidget(this);
    lay->addWidget(pgcOption);
    BuildGeneralPage();
    BuildColorPage();
    BuildReservePage();
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    btnHelp = new QPushButton(QStringLiteral("ヘルプ"), this);
    btnOK->setDefault(true);
    for (QPushButton *b : {btnOK, btnCancel, btnHelp})
        buttons->addWidget(b);
    lay->addLayout(buttons);
    connect(btnOK, &QPushButton::clicked, this, [this] { Confirm(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnHelp, &QPushButton::clicked, this, [] { ShowHelpContext(50200); });

    if (FEditorProp)
        FSample = *FEditorProp;
    PrepareShow();
}

TfrmEditorOption::~TfrmEditorOption()
{
    delete FViewColorManager;
}

bool TfrmEditorOption::ShowWindow(TkdMemoProp *EditorProp)
{
    if (!EditorProp)
        return false;
    TfrmEditorOption dlg(EditorProp, QApplication::activeWindow());
    if (QScreen *screen = QGuiApplication::primaryScreen())
        dlg.move(screen->availableGeometry().center() - dlg.rect().center());
    return dlg.exec() == QDialog::Accepted;
}

void TfrmEditorOption::BuildGeneralPage()
{
    tabGeneral = new QWidget;
    pgcOption->addTab(tabGeneral, QStringLiteral("全般"));
    auto *lay = new QVBoxLayout(tabGeneral);
    auto *grp = new QGroupBox(QStringLiteral("　編集時の動作 "), tabGeneral);
    auto *g = new QVBoxLayout(grp);
    struct Box { QCheckBox **box; const char *name; const char *caption; bool TkdMemoProp::TCaretProp::*field; };
    const Box boxes[] = {
        {&chkAutoIndent, "chkAutoIndent", "オートインデント", &TkdMemoProp::TCaretProp::AutoIndent},
        {&chkBackSpaceUnIndent, "chkBackSpaceUnIndent", "バックスペース アンインデント",
         &TkdMemoProp::TCaretProp::BackSpaceUnIndent},
        {&chkFreeCaret, "chkFreeCaret", "フリーカーソル ( 改行コードを超えてカーソルを移動できる )",
         &TkdMemoProp::TCaretProp::FreeCaret},
        {&chkInTab, "chkInTab", "タブ文字上を移動可能にする", &TkdMemoProp::TCaretProp::InTab},
        {&chkNextLine, "chkNextLine", "行末から次行の先頭にカーソルを移動する", &TkdMemoProp::TCaretProp::NextLine},
        {&chkTabIndent, "chkTabIndent", "タブ文字を使ってインデントする", &TkdMemoProp::TCaretProp::TabIndent},
        {&chkSoftTab, "chkSoftTab", "タブ文字を空白に置き換える", &TkdMemoProp::TCaretProp::SoftTab},
        {&chkSelMove, "chkSelMove", "選択領域のマウス・ドラッグを許可", &TkdMemoProp::TCaretProp::SelMove},
    };
    for (const Box &b : boxes) {
        *b.box = new QCheckBox(QString::fromUtf8(b.caption), grp);
        (*b.box)->setObjectName(QLatin1String(b.name));
        g->addWidget(*b.box);
        auto field = b.field;
        connect(*b.box, &QCheckBox::toggled, this, [this, field](bool on) {
            if (FLoading)
                return;
            FSample.Caret.*field = on;
            ApplySample();
        });
    }
    auto *tabRow = new QHBoxLayout;
    tabRow->addWidget(new QLabel(QStringLiteral("タブ文字数"), grp));
    spnTabSize = new QSpinBox(grp);
    spnTabSize->setObjectName(QStringLiteral("spnTabSize"));
    spnTabSize->setRange(2, 8);
    spnTabSize->setSingleStep(2);
    spnTabSize->setKeyboardTracking(false);
    spnTabSize->findChild<QLineEdit *>()->setReadOnly(true);
    tabRow->addWidget(spnTabSize);
    tabRow->addStretch();
    g->addLayout(tabRow);
    connect(spnTabSize, &QSpinBox::valueChanged, this, [this](int v) {
        if (FLoading)
            return;
        FSample.Caret.TabSpaceCount = v;
        ApplySample();
    });
    lay->addWidget(grp);
    lay->addStretch();
}

void TfrmEditorOption::BuildColorPage()
{
    tabColor = new QWidget;
    pgcOption->addTab(tabColor, QStringLiteral("色・フォント"));
    auto *lay = new QGridLayout(tabColor);
    lstColors = new QListWidget(tabColor);
    lstColors->setObjectName(QStringLiteral("lstColors"));
    lstColors->addItems({QStringLiteral("基本色"), QStringLiteral("コメント"), QStringLiteral("リテラル値"),
                         QStringLiteral("予約語"), QStringLiteral("EOF記号"), QStringLiteral("改行記号"),
                         QStringLiteral("半角スペース記号"), QStringLiteral("全角スペース記号"),
                         QStringLiteral("下線"), QStringLiteral("検索結果")});
    lay->addWidget(lstColors, 0, 0, 2, 1);

    auto *colorBox = new QVBoxLayout;
    pnlColors = new QFrame(tabColor);
    pnlColors->setObjectName(QStringLiteral("pnlColors"));
    pnlColors->setFrameShape(QFrame::Panel);
    pnlColors->setFrameShadow(QFrame::Sunken);
    auto *pl = new QHBoxLayout(pnlColors);
    pl->addWidget(new QLabel(QStringLiteral("指定なし"), pnlColors));
    lblFG = new QLabel(QStringLiteral("FG"), pnlColors);
    lblBG = new QLabel(QStringLiteral("BG"), pnlColors);
    pl->addWidget(lblFG);
    pl->addWidget(lblBG);
    grdColors = new TColorGrid(tabColor);
    grdColors->setObjectName(QStringLiteral("grdColors"));
    colorBox->addWidget(pnlColors);
    colorBox->addWidget(grdColors);
    grpStyle = new QGroupBox(QStringLiteral(" スタイル "), tabColor);
    auto *sl = new QHBoxLayout(grpStyle);
    chkBold = new QCheckBox(QStringLiteral("太字"), grpStyle);
    chkUL = new QCheckBox(QStringLiteral("下線"), grpStyle);
    chkItalic = new QCheckBox(QStringLiteral("斜体"), grpStyle);
    sl->addWidget(chkBold);
    sl->addWidget(chkUL);
    sl->addWidget(chkItalic);
    grpStyle->setVisible(false);
    colorBox->addWidget(grpStyle);
    lay->addLayout(colorBox, 0, 1, 2, 1);

    auto *fontBox = new QVBoxLayout;
    fontBox->addWidget(new QLabel(QStringLiteral("フォント"), tabColor));
    lstFontName = new QListWidget(tabColor);
    lstFontName->setObjectName(QStringLiteral("lstFontName"));
    fontBox->addWidget(lstFontName);
    auto *sizeRow = new QHBoxLayout;
    sizeRow->addWidget(new QLabel(QStringLiteral("サイズ"), tabColor));
    txtFontSize = new TkdNumEdit(tabColor);
    txtFontSize->setObjectName(QStringLiteral("txtFontSize"));
    txtFontSize->setMaxLength(2);
    sizeRow->addWidget(txtFontSize);
    fontBox->addLayout(sizeRow);
    lstFontSize = new QListWidget(tabColor);
    lstFontSize->setObjectName(QStringLiteral("lstFontSize"));
    fontBox->addWidget(lstFontSize);
    lay->addLayout(fontBox, 0, 2, 2, 1);

    txtSample = new TkdMemo(tabColor);
    txtSample->setObjectName(QStringLiteral("txtSample"));
    txtSample->setEnabled(false);
    lay->addWidget(txtSample, 2, 0, 1, 3);
    auto *viewRow = new QHBoxLayout;
    chkLeftBarVisible = new QCheckBox(QStringLiteral("行番号を表示する"), tabColor);
    chkRulerVisible = new QCheckBox(QStringLiteral("ルーラーを表示する"), tabColor);
    rdoRulerRange = new QGroupBox(QStringLiteral(" ルーラー単位 "), tabColor);
    auto *rl = new QHBoxLayout(rdoRulerRange);
    rdoRuler10 = new QRadioButton(QStringLiteral("10"), rdoRulerRange);
    rdoRuler8 = new QRadioButton(QStringLiteral("8"), rdoRulerRange);
    rl->addWidget(rdoRuler10);
    rl->addWidget(rdoRuler8);
    viewRow->addWidget(chkLeftBarVisible);
    viewRow->addWidget(chkRulerVisible);
    viewRow->addWidget(rdoRulerRange);
    lay->addLayout(viewRow, 3, 0, 1, 3);
    lay->setRowStretch(2, 1);

    connect(chkLeftBarVisible, &QCheckBox::toggled, this, [this](bool on) {
        if (FLoading)
            return;
        FSample.Leftbar.Visible = on;
        ApplySample();
    });
    connect(chkRulerVisible, &QCheckBox::toggled, this, [this](bool on) {
        if (FLoading)
            return;
        FSample.Ruler.Visible = on;
        ApplySample();
    });
    connect(rdoRuler10, &QRadioButton::toggled, this, [this](bool on) {
        if (FLoading)
            return;
        FSample.Ruler.GaugeRange = on ? 10 : 8;
        ApplySample();
    });
    connect(lstColors, &QListWidget::currentRowChanged, this, [this](int row) { SelectColorElement(row); });
    connect(lstFontName, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        FSample.Font.Name = item->text();
        ApplySample();
    });
    connect(lstFontSize, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { txtFontSize->setText(item->text()); });
    connect(txtFontSize, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (FLoading)
            return;
        bool ok = false;
        const int size = text.trimmed().toInt(&ok);
        FSample.Font.Size = ok ? size : 10;
        ApplySample();
    });
}

void TfrmEditorOption::BuildReservePage()
{
    tabReserve = new QWidget;
    pgcOption->addTab(tabReserve, QStringLiteral("予約語"));
    auto *lay = new QVBoxLayout(tabReserve);
    txtReserve = new QPlainTextEdit(tabReserve);
    txtReserve->setObjectName(QStringLiteral("txtReserve"));
    txtReserve->setLineWrapMode(QPlainTextEdit::NoWrap);
    lay->addWidget(txtReserve);
    btnInitReserveword = new QPushButton(QStringLiteral("初期値"), tabReserve);
    btnInitReserveword->setObjectName(QStringLiteral("btnInitReserveword"));
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(btnInitReserveword);
    lay->addLayout(row);
    connect(btnInitReserveword, &QPushButton::clicked, this, [this] { InitReserveWords(); });
}

void TfrmEditorOption::PrepareShow()
{
    FLoading = true;
    txtSample->setText(QStringLiteral("/* 表示サンプル */\nSELECT COL01, 'ABC' FROM SAMPLE01\n\tORDER BY 1; -- COL01 でソート"));
    // The base colour element stands for the background, the text colour and the text style.
    FFontFountain.Color = FSample.Font.Color;
    FFontFountain.BkColor = FSample.Color;
    FFontFountain.Bold = FSample.Font.Bold;
    FFontFountain.Italic = FSample.Font.Italic;
    FFontFountain.Underline = FSample.Font.Underline;
    FRulerFountain = FSample.Ruler.Colors;
    FRulerMark = {FSample.Ruler.MarkColor, true};
    FLeftbarFountain = {FSample.Leftbar.Color, FSample.Leftbar.BkColor};
    FViewColorManager = new TEditorColorManager(grdColors, pnlColors, lblBG, lblFG, chkBold, chkUL, chkItalic);
    FViewColorManager->OnChange = [this] { DoColorChange(); };

    chkAutoIndent->setChecked(FSample.Caret.AutoIndent);
    chkBackSpaceUnIndent->setChecked(FSample.Caret.BackSpaceUnIndent);
    chkFreeCaret->setChecked(FSample.Caret.FreeCaret);
    chkInTab->setChecked(FSample.Caret.InTab);
    chkNextLine->setChecked(FSample.Caret.NextLine);
    chkTabIndent->setChecked(FSample.Caret.TabIndent);
    chkSoftTab->setChecked(FSample.Caret.SoftTab);
    chkSelMove->setChecked(FSample.Caret.SelMove);
    spnTabSize->setValue(FSample.Caret.TabSpaceCount);
    chkLeftBarVisible->setChecked(FSample.Leftbar.Visible);
    chkRulerVisible->setChecked(FSample.Ruler.Visible);
    (FSample.Ruler.GaugeRange == 8 ? rdoRuler8 : rdoRuler10)->setChecked(true);

    // Fixed-pitch fonts only: the stored Windows names that map to an installed fixed font,
    // then the installed fixed-pitch families, then "MS UI Gothic".
    InstallFontSubstitutions();
    lstFontName->clear();
    QStringList names;
    const QStringList families = QFontDatabase::families();
    for (const QString &mapped : {QStringLiteral("ＭＳ ゴシック"), QStringLiteral("FixedSys")}) {
        const QStringList subs = QFont::substitutes(mapped);
        if (!subs.isEmpty() && families.contains(subs.first(), Qt::CaseInsensitive))
            names << mapped;
    }
    for (const QString &family : families) {
        if (family.startsWith(QLatin1Char('@')) || names.contains(family))
            continue;
        if (FShowTrueType || QFontDatabase::isFixedPitch(family))
            names << family;
    }
    names << QStringLiteral("MS UI Gothic");
    lstFontName->addItems(names);
    const int fontRow = names.indexOf(FSample.Font.Name);
    lstFontName->setCurrentRow(fontRow >= 0 ? fontRow : 0);
    if (fontRow < 0)
        FSample.Font.Name = names.first();

    lstFontSize->clear();
    for (int s = 8; s <= 50; ++s)
        lstFontSize->addItem(QString::number(s));
    const int sizeRow = FSample.Font.Size - 8;
    if (sizeRow >= 0 && sizeRow < lstFontSize->count()) {
        lstFontSize->setCurrentRow(sizeRow);
    } else {
        lstFontSize->setCurrentRow(0);
        FSample.Font.Size = 8;
    }
    txtFontSize->setText(QString::number(FSample.Font.Size));

    ApplySample();
    txtReserve->setPlainText(txtSample->ReserveWordList().join(QLatin1Char('\n')));
    txtSample->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtSample->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FLoading = false;
    lstColors->setCurrentRow(0);
    SelectColorElement(0);
    pgcOption->setCurrentWidget(tabGeneral);
}

void TfrmEditorOption::ApplySample()
{
    FSample.AssignTo(txtSample);
    txtSample->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtSample->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void TfrmEditorOption::SelectColorElement(int index)
{
    if (!FViewColorManager)
        return;
    switch (index) {
    case 0: FViewColorManager->SetFountainColor(&FFontFountain); break;
    case 1: FViewColorManager->SetFountainColor(&FSample.View.Colors.Comment); break;
    case 2: FViewColorManager->SetFountainColor(&FSample.View.Colors.Str); break;
    case 3: FViewColorManager->SetFountainColor(&FSample.View.Colors.Reserve); break;
    case 4: FViewColorManager->SetEditorMark(&FSample.Marks.EofMark); break;
    case 5: FViewColorManager->SetEditorMark(&FSample.Marks.RetMark); break;
    case 6: FViewColorManager->SetEditorMark(&FSample.Marks.SemiSpaceMark); break;
    case 7: FViewColorManager->SetEditorMark(&FSample.Marks.SpaceMark); break;
    case 8: FViewColorManager->SetEditorMark(&FSample.Marks.Underline); break;
    case 9: FViewColorManager->SetFountainColor(&FSample.View.Colors.Hit); break;
    default: FViewColorManager->SetFountainColor(nullptr); break;
    }
    if (lstColors->currentRow() != index && index >= 0 && index < lstColors->count()) {
        const QSignalBlocker block(lstColors);
        lstColors->setCurrentRow(index);
    }
}

void TfrmEditorOption::DoColorChange()
{
    // The base colour element writes back into the background, text colour and style.
    FSample.Color = FFontFountain.BkColor;
    FSample.Font.Color = FFontFountain.Color;
    FSample.Font.Bold = FFontFountain.Bold;
    FSample.Font.Italic = FFontFountain.Italic;
    FSample.Font.Underline = FFontFountain.Underline;
    for (TEditorMark *m : {&FSample.Marks.EofMark, &FSample.Marks.RetMark, &FSample.Marks.Underline,
                           &FSample.Marks.SemiSpaceMark, &FSample.Marks.SpaceMark})
        m->Visible = m->Color != clNone;
    FSample.View.CommentBracket = {FSample.View.Colors.Comment.Color, FSample.View.Colors.Comment.BkColor};
    ApplySample();
}

void TfrmEditorOption::InitReserveWords()
{
    if (ShowMessageBox(QStringLiteral("予約語を初期値に戻しますか？"), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    QStringList words;
    AddReservedWords(words);
    SortWordsCaseInsensitive(words);
    txtReserve->setPlainText(words.join(QLatin1Char('\n')));
}

bool TfrmEditorOption::NormaliseReserveWords(const QString &memoText, QStringList *words, QString *badLine)
{
    auto trimmed = [](const QString &s) {
        int b = 0, e = s.size();
        while (b < e && s.at(b).unicode() <= 0x20)
            ++b;
        while (e > b && s.at(e - 1).unicode() <= 0x20)
            --e;
        return s.mid(b, e - b);
    };
    QString text = memoText;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString &line : lines) {
        line = trimmed(line);
        if (line.contains(QLatin1Char(' '))) {
            if (badLine)
                *badLine = line;
            return false;
        }
    }
    QString joined;
    for (const QString &line : lines)
        joined += line + QStringLiteral("\r\n");
    int lead = 0;
    while (lead < joined.size() && joined.at(lead).unicode() <= 0x20)
        ++lead;
    joined = joined.mid(lead);
    joined.replace(QLatin1String("\r\n\r\n"), QLatin1String("\r\n"));
    QStringList out = joined.split(QStringLiteral("\r\n"));
    if (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    *words = out;
    return true;
}

bool TfrmEditorOption::Confirm()
{
    if (txtFontSize->ValueInt() <= 0) {
        pgcOption->setCurrentWidget(tabColor);
        ShowMessageBox(QStringLiteral("サイズは1以上の整数で入力して下さい。"), MB_ICONWARNING);
        txtFontSize->setFocus();
        return false;
    }
    QStringList words;
    QString bad;
    if (!NormaliseReserveWords(txtReserve->toPlainText(), &words, &bad)) {
        pgcOption->setCurrentWidget(tabReserve);
        ShowMessageBox(QStringLiteral("予約語に空白が含まれているため登録できません。(") + bad + QLatin1Char(')'), MB_OK);
        txtReserve->setFocus();
        return false;
    }
    txtReserve->setPlainText(words.join(QLatin1Char('\n')));
    FSample.Font.Size = int(txtFontSize->ValueInt());
    FSample.ReserveWordList = words;
    txtSample->SetReserveWordList(words);
    KeywordList() = words;
    if (FEditorProp) {
        *FEditorProp = FSample;
        FEditorProp->ReserveWordList = words;
        FEditorProp->ScrollBarsBoth = true;
    }
    accept();
    return true;
}
