// The print preview: page navigation, zoom limits, the rendered sheet, the cache, and the
// main window hidden while it is open and shown again on every exit.
#include "app/fmain.h"
#include "controls/fpreview.h"
#include "controls/fprint.h"
#include "core/msghook.h"
#include "print_fixture.h"
#include "support/qstring_printer.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

void OnNext(const QMetaObject *cls, std::function<void(QWidget *)> fn)
{
    QTimer::singleShot(0, [cls, fn] {
        QWidget *w = QApplication::activeModalWidget();
        if (!w || !w->metaObject()->inherits(cls)) {
            OnNext(cls, fn);
            return;
        }
        fn(w);
    });
}

QStringList Lines(int n)
{
    QStringList l;
    for (int i = 1; i <= n; ++i)
        l << QStringLiteral("SELECT 列%1 FROM 表;").arg(i);
    return l;
}

class PreviewTest : public PrintTest {
protected:
    void SetUp() override
    {
        PrintTest::SetUp();
        Main = new TfrmMain;
        Main->SetCloseSteps({});
        Main->show();
    }
    void TearDown() override
    {
        Main->close();
        delete Main;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        PrintTest::TearDown();
    }
    void Record(int lines)
    {
        TfrmPrint::BeginPrint();
        TfrmPrint::PrintSource(QStringLiteral("public.プレビュー"), Lines(lines), true);
        TfrmPrint::EndPrint();
    }
    TfrmMain *Main = nullptr;
};

} // namespace

TEST_F(PreviewTest, NavigatesPagesAndStopsTheZoomAtItsLimits)
{
    Record(130); // three pages
    ASSERT_EQ(Doc.PageCount(), 3);
    bool mainHidden = false;
    OnNext(&TfrmPreview::staticMetaObject, [&](QWidget *w) {
        auto *p = static_cast<TfrmPreview *>(w);
        mainHidden = !Main->isVisible();
        EXPECT_EQ(p->windowTitle(), QStringLiteral("印刷プレビュー"));
        struct Hint { QAction *a; const char *tip, *status; };
        for (const Hint &h : {Hint{p->actPrint, "印刷", "ダイアグラムを印刷します。"},
                              Hint{p->actPrevPage, "前頁", "前のページを表示します。"},
                              Hint{p->actNextPage, "次頁", "次のページを表示します。"},
                              Hint{p->actZoomUp, "拡大", "印刷イメージを拡大します。"},
                              Hint{p->actZoomDown, "縮小", "印刷イメージを縮小します。"},
                              Hint{p->actExit, "終了", "プレビュー画面を閉じます。"}}) {
            EXPECT_EQ(h.a->toolTip(), QString::fromUtf8(h.tip));
            EXPECT_EQ(h.a->statusTip(), QString::fromUtf8(h.status));
        }
        EXPECT_GE(p->tolCmd->widgetForAction(p->actPrint)->width(), 78);
        SaveShot(p, QStringLiteral("preview-window"));
        // pages
        EXPECT_FALSE(p->actPrevPage->isEnabled());
        EXPECT_TRUE(p->actNextPage->isEnabled());
        p->actNextPage->trigger();
        EXPECT_EQ(p->FPage, 2);
        EXPECT_TRUE(p->actPrevPage->isEnabled());
        p->actNextPage->trigger();
        EXPECT_EQ(p->FPage, 3);
        EXPECT_FALSE(p->actNextPage->isEnabled());
        p->actNextPage->trigger();
        EXPECT_EQ(p->FPage, 3);
        p->actPrevPage->trigger();
        p->actPrevPage->trigger();
        p->actPrevPage->trigger();
        EXPECT_EQ(p->FPage, 1);
        // zoom: 1.0 up to 2.0 in quarter steps, down to 0.5; the sheet grows with it
        const int w1 = p->imgPreview->width();
        for (int i = 0; i < 6; ++i)
            p->actZoomUp->trigger();
        EXPECT_DOUBLE_EQ(p->FRate, 2.0);
        EXPECT_FALSE(p->actZoomUp->isEnabled());
        EXPECT_NEAR(p->imgPreview->width(), 2 * w1, 1);
        for (int i = 0; i < 9; ++i)
            p->actZoomDown->trigger();
        EXPECT_DOUBLE_EQ(p->FRate, 0.5);
        EXPECT_FALSE(p->actZoomDown->isEnabled());
        EXPECT_TRUE(p->actZoomUp->isEnabled());
        EXPECT_NEAR(p->imgPreview->width(), w1 / 2.0, 1);
        p->actExit->trigger();
    });
    EXPECT_FALSE(TfrmPreview::ShowWindow());
    EXPECT_TRUE(mainHidden);
    EXPECT_TRUE(Main->isVisible());
}

TEST_F(PreviewTest, RendersTheSheetAtItsPhysicalSizeWithTheTextOnIt)
{
    Record(10);
    TfrmPreview p(Main);
    const QImage image = p.RenderPage(0, 1.0);
    // A4 plus the shadow border at the screen's resolution
    const double px = p.logicalDpiY() / 600.0;
    EXPECT_NEAR(image.width(), (4961 + 150) * px, 1);
    EXPECT_NEAR(image.height(), (7016 + 150) * px, 1);
    EXPECT_EQ(image.pixelColor(2, 2), QColor(0xC0, 0xC0, 0xC0));              // ground
    EXPECT_EQ(image.pixelColor(int((4961 + 75) * px), int((7016 + 75) * px)), QColor(0x80, 0x80, 0x80)); // shadow
    EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2), QColor(Qt::white));
    // dark text pixels in the text rectangle's first line
    const int top = int((50 + 472) * px), left = int((50 + 472) * px);
    int dark = 0;
    for (int y = top; y < top + 20; ++y)
        for (int x = left; x < left + 200; ++x)
            dark += qGray(image.pixel(x, y)) < 160;
    EXPECT_GT(dark, 20);
    // the cache hands back the same image
    EXPECT_EQ(p.RenderPage(0, 1.0).cacheKey(), image.cacheKey());
    SaveShot(image, QStringLiteral("preview-sheet"));
}

TEST_F(PreviewTest, MainWindowComesBackAfterAnError)
{
    // A print procedure that leaves the document open: the preview cannot read its pages.
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDOK);
    OnNext(&TfrmPrint::staticMetaObject, [](QWidget *w) {
        static_cast<TfrmPrint *>(w)->btnPreview->click();
    });
    EXPECT_FALSE(TfrmPrint::ShowWindow(QStringLiteral("t"), [] {
        TfrmPrint::BeginPrint();
        TfrmPrint::PrintSource(QStringLiteral("t"), Lines(3), true);
    }));
    ASSERT_EQ(boxes.Shown().size(), 1);
    EXPECT_EQ(boxes.Last().text, QStringLiteral("印刷が完了していません。"));
    EXPECT_TRUE(Main->isVisible());
    EXPECT_FALSE(Doc.Printing());
}
