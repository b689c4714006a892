// The status bar keeps the texts the windows write, whatever the actions' hints say.
#include "controls/kdstsbar.h"
#include "support/qstring_printer.h"

#include <QApplication>
#include <QMainWindow>
#include <QStatusTipEvent>
#include <gtest/gtest.h>

TEST(StatusBar, PanelsHoldTheirTextsAndIgnoreActionHints)
{
    QMainWindow window;
    auto *bar = new TkdStatusBar(&window);
    window.setStatusBar(bar);
    bar->AddPanel(100, Qt::AlignRight | Qt::AlignVCenter);
    bar->AddPanel(20, Qt::AlignCenter);
    bar->AddPanel(0);
    ASSERT_EQ(bar->PanelCount(), 3);
    bar->SetPanelText(2, QStringLiteral("12個のオブジェクトがあります。"));

    window.show();
    // A hint reaches the bar through the main window (a hovered action) or directly.
    QStatusTipEvent viaWindow(QStringLiteral("データベースにログオンします"));
    QApplication::sendEvent(&window, &viaWindow);
    EXPECT_TRUE(bar->currentMessage().isEmpty());
    QStatusTipEvent direct(QStringLiteral("接続を切断します"));
    QApplication::sendEvent(bar, &direct);
    EXPECT_TRUE(bar->currentMessage().isEmpty());
    bar->showMessage(QStringLiteral("一時メッセージ"));
    EXPECT_TRUE(bar->currentMessage().isEmpty());

    EXPECT_EQ(bar->PanelText(2), QStringLiteral("12個のオブジェクトがあります。"));
    EXPECT_TRUE(bar->Panel(2)->isVisible());
    EXPECT_EQ(bar->Panel(0)->alignment(), Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_EQ(bar->PanelText(7), QString());
    bar->SetPanelText(7, QStringLiteral("x")); // out of range: ignored, no crash
}
