#pragma once
// Runs the main window's options command: `act` works on the open dialog once its modal loop
// runs; a dialog that `act` leaves open is then ended with OK (okAtEnd) or Cancel. Returns
// whether the dialog was there.
#include "app/fmain.h"
#include "app/foption.h"

#include <QAction>
#include <QCoreApplication>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

inline bool RunOptionsCommand(TfrmMain *main, const std::function<void(TfrmOption *)> &act, bool okAtEnd)
{
    bool ran = false;
    QTimer::singleShot(0, [&] {
        TfrmOption *d = TfrmOption::Current();
        ASSERT_NE(d, nullptr);
        ran = true;
        act(d);
        if (d->ModalResult() == 0)
            (okAtEnd ? d->btnOk : d->btnCancel)->click();
    });
    main->Act(QStringLiteral("actToolOption"))->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(TfrmOption::Current(), nullptr);
    return ran;
}
