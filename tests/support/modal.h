#pragma once
// Runs a test's actions on a modal dialog once its event loop has started.
#include <QApplication>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

template <class D>
void OnModalDialog(std::function<void(D *)> Act)
{
    QTimer::singleShot(0, [Act] {
        auto *d = qobject_cast<D *>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        Act(d);
    });
}
