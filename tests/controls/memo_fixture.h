#pragma once
// A shown window holding one SQL editor with the focus, for tests of the editor and its popup.
#include "controls/kdmemo.h"

#include <QApplication>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

template <int Width, int Height>
struct MemoWindowFixture : public ::testing::Test {
    QWidget window;
    TkdMemo *memo = nullptr;
    void SetUp() override
    {
        auto *lay = new QVBoxLayout(&window);
        memo = new TkdMemo(&window);
        lay->addWidget(memo);
        window.resize(Width, Height);
        window.show();
        QApplication::setActiveWindow(&window);
        memo->setFocus();
        QTest::qWait(1);
    }
};
