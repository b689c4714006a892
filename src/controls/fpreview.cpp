#include "controls/fpreview.h"
#include "controls/kdhhelp.h"
#include "controls/kdprinter.h"
#include "core/kdforms.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QScrollArea>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

QIcon MainImage(int AIndex)
{
    TkdMainForm *main = TkdMainForm::Instance();
    return main ? main->Image(AIndex) : QIcon();
}

// The zoom in quarter steps, exact: 0.5 .. 2.0 is 2 .. 8.
int ZoomSteps(double ARate)
{
    return int(std::lround(ARate * 4));
}

} // namespace

TfrmPreview::TfrmPreview(QWidget *AParent) : QDialog(AParent)
{
    setObjectName(QStringLiteral("frmPreview"));
    setWindowTitle(QStringLiteral("印刷プレビュー"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint
                   | Qt::WindowContextHelpButtonHint);
    setSizeGripEnabled(true);
    setWindowIcon(MainImage(99));

    auto action = [this](const char *name, const QString &caption, int image,
                         const QString &hint) {
        auto *a = new QAction(MainImage(image), caption, this);
        a->setObjectName(QLatin1String(name));
        const qsizetype bar = hint.indexOf(u'|');
        a->setToolTip(hint.left(bar));
        a->setStatusTip(hint.mid(bar + 1));
        return a;
    };
    actPrint = action("actPrint", QStringLiteral("印刷(&P)"), 98,
                      QStringLiteral("印刷|ダイアグラムを印刷します。"));
    actPrevPage = action("actPrevPage", QStringLiteral("前頁(&R)"), 32,
                         QStringLiteral("前頁|前のページを表示します。"));
    actNextPage = action("actNextPage", QStringLiteral("次頁(&N)"), 33,
                         QStringLiteral("次頁|次のページを表示します。"));
    actZoomUp = action("actZoomUp", QStringLiteral("拡大(&U)"), 100,
                       QStringLiteral("拡大|印刷イメージを拡大します。"));
    actZoomDown = action("actZoomDown", QStringLiteral("縮小(&D)"), 101,
                         QStringLiteral("縮小|印刷イメージを縮小します。"));
    actExit = action("actExit", QStringLiteral("終了(&X)"), 42,
                     QStringLiteral("終了|プレビュー画面を閉じます。"));

    tolCmd = new QToolBar(this);
    tolCmd->setObjectName(QStringLiteral("tolCmd"));
    tolCmd->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    tolCmd->setMovable(false);
    tolCmd->setFloatable(false);
    for (QAction *a : {actPrint, actPrevPage, actNextPage, actZoomUp, actZoomDown, actExit})
        tolCmd->addAction(a);

    scrPreview = new QScrollArea(this);
    scrPreview->setObjectName(QStringLiteral("scrPreview"));
    scrPreview->setBackgroundRole(QPalette::Dark);
    {
        QPalette p = scrPreview->palette();
        p.setColor(QPalette::Dark, QColor(0xC0, 0xC0, 0xC0));
        scrPreview->setPalette(p);
    }
    imgPreview = new QLabel;
    imgPreview->setObjectName(QStringLiteral("imgPreview"));
    imgPreview->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    scrPreview->setWidget(imgPreview);
    scrPreview->setWidgetResizable(false);

    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    lay->addWidget(tolCmd);
    lay->addWidget(scrPreview, 1);

    connect(actPrint, &QAction::triggered, this, &QDialog::accept);
    connect(actExit, &QAction::triggered, this, &QDialog::reject);
    connect(actPrevPage, &QAction::triggered, this, [this] {
        if (FPage > 1) {
            --FPage;
            GuardedCall([this] { ShowPage(); });
        }
    });
    connect(actNextPage, &QAction::triggered, this, [this] {
        if (FPage < PrintDocument().PageCount()) {
            ++FPage;
            GuardedCall([this] { ShowPage(); });
        }
    });
    connect(actZoomUp, &QAction::triggered, this, [this] {
        if (ZoomSteps(FRate) < 8) {
            FRate = (ZoomSteps(FRate) + 1) / 4.0;
            GuardedCall([this] { ShowPage(); });
        }
    });
    connect(actZoomDown, &QAction::triggered, this, [this] {
        if (ZoomSteps(FRate) > 2) {
            FRate = (ZoomSteps(FRate) - 1) / 4.0;
            GuardedCall([this] { ShowPage(); });
        }
    });
    resize(900, 700);
}

void TfrmPreview::showEvent(QShowEvent *AEvent)
{
    if (!FShown) {
        FShown = true;
        for (QAction *a : tolCmd->actions())
            if (QWidget *w = tolCmd->widgetForAction(a))
                w->setMinimumWidth(78);
    }
    QDialog::showEvent(AEvent);
}

void TfrmPreview::UpdateActions()
{
    actPrevPage->setEnabled(FPage > 1);
    actNextPage->setEnabled(FPage < PrintDocument().PageCount());
    actZoomUp->setEnabled(ZoomSteps(FRate) < 8);
    actZoomDown->setEnabled(ZoomSteps(FRate) > 2);
}

QImage TfrmPreview::RenderPage(int AIndex, double ARate)
{
    const qint64 key = qint64(AIndex) * 16 + ZoomSteps(ARate);
    if (auto it = FCache.constFind(key); it != FCache.constEnd())
        return *it;

    TkdPrinter &m = PrinterMetrics();
    m.Refresh();
    const TkdPrintOption &o = TkdPrintOption::Global();
    const int x0 = std::max(m.LeftMargin(), m.MMToDPIX(o.MMLeftMargin));
    const int y0 = std::max(m.TopMargin(), m.MMToDPIY(o.MMTopMargin));
    const TSizeI paper = m.PaperSize();
    const int dpi = m.DPI().height() > 0 ? m.DPI().height() : 600;
    // The sheet at its physical size on the screen, times the zoom.
    const double screenDpi = logicalDpiY() > 0 ? logicalDpiY() : 96;
    const double scale = screenDpi / dpi * ARate;
    const QSize size(KdRoundHalfEven((paper.Width + 150) * scale),
                     KdRoundHalfEven((paper.Height + 150) * scale));
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    image.fill(QColor(0xC0, 0xC0, 0xC0));
    {
        QPainter p(&image);
        p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing
                         | QPainter::SmoothPixmapTransform);
        p.scale(scale, scale);
        p.fillRect(QRect(100, 100, paper.Width, paper.Height), QColor(0x80, 0x80, 0x80));
        p.setPen(QPen(Qt::black, 0));
        p.setBrush(Qt::white);
        p.drawRect(QRect(50, 50, paper.Width, paper.Height));
        KdDrawPage(p, PrintDocument().Pages(AIndex), QPointF(x0 + 50, y0 + 50));
    }
    FCache.insert(key, image);
    return image;
}

void TfrmPreview::ShowPage()
{
    imgPreview->clear();
    UpdateActions();
    const QImage image = RenderPage(FPage - 1, FRate);
    imgPreview->setPixmap(QPixmap::fromImage(image));
    imgPreview->resize(image.size());
}

bool TfrmPreview::ShowWindow()
{
    TkdMainForm *main = TkdMainForm::Instance();
    QWidget *mainWidget = main ? main->Widget() : nullptr;
    TfrmPreview preview(mainWidget);
    bool wasVisible = false;
    if (mainWidget) {
        wasVisible = mainWidget->isVisible();
        preview.setWindowState(mainWidget->windowState());
        preview.setGeometry(mainWidget->geometry());
    }
    struct ShowAgain {
        QWidget *w;
        bool visible;
        ~ShowAgain()
        {
            if (w && visible)
                w->show();
        }
    } showAgain{mainWidget, wasVisible};
    if (mainWidget)
        mainWidget->hide();
    preview.ShowPage();
    return preview.exec() == QDialog::Accepted;
}
