// Two-box check list: snapshot, box coupling on user toggles, mouse and keyboard.
#include "controls/kdchklst.h"
#include "support/qstring_printer.h"

#include <QApplication>
#include <QtTest/QtTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

struct Fixture
{
    std::unique_ptr<TkdCheckListBox> list = std::make_unique<TkdCheckListBox>();
    QStringList events;

    Fixture()
    {
        list->addItems({QStringLiteral("SELECT"), QStringLiteral("INSERT"), QStringLiteral("UPDATE")});
        QObject::connect(list.get(), &TkdCheckListBox::OnClickCheckL, list.get(),
                         [this] { events << QStringLiteral("L"); });
        QObject::connect(list.get(), &TkdCheckListBox::OnClickCheckR, list.get(),
                         [this] { events << QStringLiteral("R"); });
        list->resize(300, 200);
        list->show();
        QApplication::setActiveWindow(list.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(list.get()));
    }
    // A press of AButton on box 0 (left), 1 (right) or 2 (the text) of item AIndex.
    void Click(int AIndex, int ABox, Qt::MouseButton AButton = Qt::LeftButton)
    {
        const QRect r = list->visualItemRect(list->item(AIndex));
        const int cw = list->CheckWidth();
        QTest::mouseClick(list->viewport(), AButton, {}, QPoint(r.left() + ABox * cw + cw / 2, r.center().y()));
    }
};

} // namespace

TEST(CheckList, SnapshotCountsItemsAndBothBoxes)
{
    Fixture f;
    EXPECT_TRUE(f.list->IsChanged()) << "three items against an empty snapshot";
    f.list->Save();
    EXPECT_FALSE(f.list->IsChanged());

    f.list->SetStateR(1, Qt::Checked);
    EXPECT_TRUE(f.list->IsChanged());
    EXPECT_TRUE(f.list->IsChangedLines(1));
    EXPECT_FALSE(f.list->IsChangedLines(0));
    f.list->SetStateR(1, Qt::Unchecked);
    EXPECT_FALSE(f.list->IsChanged()) << "back to the original";

    f.list->SetStateL(2, Qt::PartiallyChecked);
    EXPECT_TRUE(f.list->IsChangedLines(2)) << "grayed differs from unchecked";
    f.list->Save();

    f.list->addItem(QStringLiteral("DELETE"));
    EXPECT_TRUE(f.list->IsChanged());
    EXPECT_TRUE(f.list->IsChangedLines(3)) << "the new item";
    EXPECT_FALSE(f.list->IsChangedLines(0));
    EXPECT_TRUE(f.list->IsChangedLines(-1));
    EXPECT_TRUE(f.list->IsChangedLines(9));
    EXPECT_TRUE(f.events.isEmpty()) << "property writes raise no click events";
}

TEST(CheckList, UserTogglesCoupleTheBoxes)
{
    struct Case {
        const char *what;
        bool allowGrayed;
        Qt::CheckState l, r;
        bool disabledL, disabledR;
        int box; // 0 left, 1 right
        Qt::CheckState wantL, wantR;
        QStringList events;
    };
    const Case cases[] = {
        {"clearing L clears R", false, Qt::Checked, Qt::Checked, false, false, 0, Qt::Unchecked, Qt::Unchecked, {"L", "R"}},
        {"setting R sets L", false, Qt::Unchecked, Qt::Unchecked, false, false, 1, Qt::Checked, Qt::Checked, {"R", "L"}},
        {"setting L alone", false, Qt::Unchecked, Qt::Unchecked, false, false, 0, Qt::Checked, Qt::Unchecked, {"L"}},
        {"clearing R alone", false, Qt::Checked, Qt::Checked, false, false, 1, Qt::Checked, Qt::Unchecked, {"R"}},
        {"grayed R couples nothing", true, Qt::Unchecked, Qt::Unchecked, false, false, 1, Qt::Unchecked, Qt::PartiallyChecked, {"R"}},
        {"grayed R to checked sets L", true, Qt::Unchecked, Qt::PartiallyChecked, false, false, 1, Qt::Checked, Qt::Checked, {"R", "L"}},
        {"grayed L to checked", true, Qt::PartiallyChecked, Qt::Unchecked, false, false, 0, Qt::Checked, Qt::Unchecked, {"L"}},
        {"disabled R still follows L", false, Qt::Checked, Qt::Checked, false, true, 0, Qt::Unchecked, Qt::Unchecked, {"L", "R"}},
        {"disabled L does not toggle", false, Qt::Checked, Qt::Unchecked, true, false, 0, Qt::Checked, Qt::Unchecked, {}},
        {"R click with disabled L sets L", false, Qt::Unchecked, Qt::Unchecked, true, false, 1, Qt::Checked, Qt::Checked, {"R", "L"}},
    };
    for (const Case &c : cases) {
        Fixture f;
        f.list->SetAllowGrayed(c.allowGrayed);
        f.list->SetStateL(1, c.l);
        f.list->SetStateR(1, c.r);
        f.list->SetItemEnabledL(1, !c.disabledL);
        f.list->SetItemEnabledR(1, !c.disabledR);
        f.Click(1, c.box);
        EXPECT_EQ(f.list->StateL(1), c.wantL) << c.what;
        EXPECT_EQ(f.list->StateR(1), c.wantR) << c.what;
        EXPECT_EQ(f.events, c.events) << c.what;
        EXPECT_EQ(f.list->StateL(0), Qt::Unchecked) << c.what;
    }
}

TEST(CheckList, SpaceTogglesTheLeftBoxAndOtherPressesOnlySelect)
{
    Fixture f;
    f.list->setFocus();
    f.list->setCurrentRow(2);
    QTest::keyClick(f.list.get(), Qt::Key_Space);
    EXPECT_TRUE(f.list->CheckedL(2));
    EXPECT_FALSE(f.list->CheckedR(2));

    f.Click(0, 0, Qt::RightButton);
    f.Click(0, 1, Qt::RightButton);
    f.Click(0, 2); // on the text
    EXPECT_EQ(f.list->StateL(0), Qt::Unchecked);
    EXPECT_EQ(f.list->StateR(0), Qt::Unchecked);
    EXPECT_EQ(f.list->currentRow(), 0) << "the text press selects";

    f.list->SetItemEnabledL(0, false);
    f.list->setCurrentRow(0);
    QTest::keyClick(f.list.get(), Qt::Key_Space);
    EXPECT_EQ(f.list->StateL(0), Qt::Unchecked) << "a disabled left box ignores Space";
    EXPECT_EQ(f.events, (QStringList{"L"}));
}

TEST(CheckList, IndexedPropertiesAndTheirErrors)
{
    Fixture f;
    f.list->SetStateL(0, Qt::PartiallyChecked);
    EXPECT_FALSE(f.list->CheckedL(0));
    f.list->SetCheckedL(0, false);
    EXPECT_EQ(f.list->StateL(0), Qt::PartiallyChecked) << "the read value is already false";
    f.list->SetCheckedL(0, true);
    EXPECT_EQ(f.list->StateL(0), Qt::Checked);
    f.list->SetStateR(1, Qt::Checked);
    EXPECT_EQ(f.list->StateL(1), Qt::Unchecked) << "no coupling on program writes";
    EXPECT_TRUE(f.list->ItemEnabledL(2));
    f.list->SetItemData(2, 42);
    EXPECT_EQ(f.list->ItemData(2), 42);
    EXPECT_EQ(f.list->ItemData(1), 0);

    try {
        f.list->SetStateL(3, Qt::Checked);
        FAIL();
    } catch (const EListError &e) {
        EXPECT_EQ(QString::fromStdString(e.what()), QStringLiteral("リストのインデックスが範囲を超えています (3)"));
    }
    EXPECT_THROW((void)f.list->StateR(-1), EListError);
    EXPECT_THROW((void)f.list->ItemEnabledR(7), EListError);
    EXPECT_EQ(f.list->count(), 3);
}

TEST(CheckList, AutoSaveOnEntry)
{
    Fixture f;
    f.list->SetAutoSave(true);
    f.list->SetStateL(0, Qt::Checked);
    f.list->clearFocus();
    f.list->setFocus();
    QApplication::processEvents();
    EXPECT_FALSE(f.list->IsChanged());
}
