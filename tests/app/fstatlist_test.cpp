// The statistics-history dialog offscreen: ticked entries are marked, the title bar marks
// nothing.
#include "app/fstatlist.h"
#include "support/modal.h"
#include "support/qstring_printer.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

void onDialog(std::function<void(TfrmStatList *)> Act) { OnModalDialog<TfrmStatList>(std::move(Act)); }

TEST(StatListDialog, MarksTheTickedSnapshots)
{
    const QStringList files{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d"),
                            QStringLiteral("e")};
    QStringList shown;
    onDialog([&](TfrmStatList *d) {
        for (int i = 0; i < d->lstLog->count(); ++i)
            shown << d->lstLog->item(i)->text();
        d->lstLog->item(1)->setCheckState(Qt::Checked);
        d->lstLog->item(3)->setCheckState(Qt::Checked);
        d->btnDelete->click();
    });
    QList<bool> marked;
    ASSERT_TRUE(TfrmStatList::ShowWindow([](const QString &f) { return f + QStringLiteral(" 日付"); }, files, marked));
    EXPECT_EQ(shown.first(), QStringLiteral("a 日付"));
    EXPECT_EQ(marked, QList<bool>({false, true, false, true, false}));

    // closing without "削除(&D)" marks nothing and keeps the caller's list
    onDialog([](TfrmStatList *d) {
        d->lstLog->item(0)->setCheckState(Qt::Checked);
        d->reject();
    });
    EXPECT_FALSE(TfrmStatList::ShowWindow({}, files, marked));
    EXPECT_EQ(marked, QList<bool>({false, true, false, true, false}));
}

} // namespace
