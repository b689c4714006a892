// The column picker offscreen: columns in table order, quoted names matched, all chosen shown
// as none chosen, moves append at the end.
#include "browser/ffldlist.h"
#include "support/qstring_printer.h"

#include <QListWidget>
#include <gtest/gtest.h>

namespace {

QStringList Items(QListWidget *l)
{
    QStringList s;
    for (int i = 0; i < l->count(); ++i)
        s << l->item(i)->text();
    return s;
}

TEST(ColumnPicker, FillAndMove)
{
    const QStringList cols{QStringLiteral("id"), QStringLiteral("Name"), QStringLiteral("price")};
    TfrmFieldList d;
    d.Fill(cols, {QStringLiteral("price"), QStringLiteral("\"Name\""), QStringLiteral("gone")});
    EXPECT_EQ(Items(d.lstSelect), QStringList({QStringLiteral("Name"), QStringLiteral("price")}));
    EXPECT_EQ(Items(d.lstAll), QStringList({QStringLiteral("id")}));

    d.Fill(cols, cols);
    EXPECT_TRUE(Items(d.lstSelect).isEmpty());
    EXPECT_EQ(Items(d.lstAll), cols);

    d.lstAll->item(2)->setSelected(true);
    d.lstAll->item(0)->setSelected(true);
    d.btnInsClick();
    EXPECT_EQ(Items(d.lstSelect), QStringList({QStringLiteral("id"), QStringLiteral("price")}));
    d.lstSelect->item(0)->setSelected(true);
    d.btnDelClick();
    EXPECT_EQ(Items(d.lstAll), QStringList({QStringLiteral("Name"), QStringLiteral("id")}));
    d.btnInsAllClick();
    EXPECT_TRUE(Items(d.lstAll).isEmpty());
    EXPECT_EQ(Items(d.lstSelect).size(), 3);
    EXPECT_TRUE(TfrmFieldList::FieldSQL().contains(QStringLiteral("'p'")));
}

} // namespace
