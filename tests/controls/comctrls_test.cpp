// List view sorting, copy and select-all; tree node search and sub-item columns.
#include "controls/kdcomctrls.h"
#include "support/qstring_printer.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QScrollBar>
#include <QtTest/QtTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

// A list of (caption, size, owner) rows; the size column is right-aligned.
std::unique_ptr<TkdListView> MakeList(const QList<QStringList> &ARows)
{
    auto list = std::make_unique<TkdListView>();
    list->setHeaderLabels({QStringLiteral("名前"), QStringLiteral("サイズ"), QStringLiteral("所有者")});
    list->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    for (const QStringList &row : ARows)
        list->addTopLevelItem(new QTreeWidgetItem(row));
    return list;
}

QStringList Column(const TkdListView &AList, int AColumn)
{
    QStringList texts;
    for (int i = 0; i < AList.topLevelItemCount(); ++i)
        texts << AList.topLevelItem(i)->text(AColumn);
    return texts;
}

} // namespace

TEST(ListViewSort, ClicksChooseTheKeyAndReverseIt)
{
    auto list = MakeList({{"b", "1", "z"}, {"a", "3", "x"}, {"c", "2", "y"}});
    QAbstractItemModelTester tester(list->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    QList<int> clicked;
    QObject::connect(list.get(), &TkdListView::OnColumnClick, list.get(),
                     [&](TkdListView *l, int c) { clicked << c << l->SortID(); });
    EXPECT_EQ(list->SortID(), 1);

    struct Step { int column; int sortId; QStringList captions; };
    const Step steps[] = {
        {0, -1, {"c", "b", "a"}}, // the first click on column 0 sorts descending
        {0, 1, {"a", "b", "c"}},
        {2, 3, {"a", "c", "b"}},  // by sub-item 1, ascending
        {2, -3, {"b", "c", "a"}},
        {1, 2, {"b", "c", "a"}},
    };
    for (const Step &s : steps) {
        list->ColumnClick(s.column);
        EXPECT_EQ(list->SortID(), s.sortId);
        EXPECT_EQ(Column(*list, 0), s.captions) << "column " << s.column;
    }
    EXPECT_EQ(clicked, (QList<int>{0, -1, 0, 1, 2, 3, 2, -3, 1, 2})) << "raised after sorting";

    // A click on the header itself does the same.
    list->show();
    QHeaderView *h = list->header();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(1) + 5, h->height() / 2));
    EXPECT_EQ(list->SortID(), -2);
    EXPECT_EQ(Column(*list, 0), (QStringList{"a", "c", "b"}));
}

TEST(ListViewSort, RightAlignedColumnsCompareAsNumbers)
{
    struct Case { QString x; QString y; int sign; };
    const Case cases[] = {
        {"1,000", "999.5", 1},
        {"1.001", "1.004", 0},
        {"abc", "5", -1},
        {"abc", "0", 0},
        {"30,000,000", "1", 1},
        {"-2", "1", -1},
        {"1e300", "-1e300", 1},
        {"0.005", "0", 0}, // half a hundredth rounds to the even neighbour 0
        {"0.015", "0", 1},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(KdCompareNumberTexts(c.x, c.y), c.sign) << c.x.toStdString() << " vs " << c.y.toStdString();
        EXPECT_EQ(KdCompareNumberTexts(c.y, c.x), -c.sign) << c.y.toStdString() << " vs " << c.x.toStdString();
    }

    auto list = MakeList({{"a", "1,000"}, {"b", "999.5"}, {"c", "abc"}, {"d", "30,000,000"}, {"e", "10"}});
    list->ColumnClick(1);
    EXPECT_EQ(Column(*list, 1), (QStringList{"abc", "10", "999.5", "1,000", "30,000,000"}));
    list->ColumnClick(1);
    EXPECT_EQ(Column(*list, 1), (QStringList{"30,000,000", "1,000", "999.5", "10", "abc"}));

    // Text columns compare as text, so 10 sorts before 9.
    list->ColumnClick(2);
    list->headerItem()->setTextAlignment(1, Qt::AlignLeft);
    list->ColumnClick(1);
    EXPECT_EQ(Column(*list, 1).first(), QStringLiteral("1,000"));
}

TEST(ListViewSort, WindowCompareHookAndKeysBeyondTheColumns)
{
    auto list = MakeList({{"x", "1"}, {"y", "2"}, {"z", "3"}});
    int calls = 0;
    list->OnCompare = [&calls](TkdListView *, QTreeWidgetItem *, QTreeWidgetItem *, int, int &compare) {
        ++calls;
        compare = -compare; // the window reverses every answer
    };
    list->ColumnClick(1);
    EXPECT_EQ(Column(*list, 0), (QStringList{"z", "y", "x"}));
    EXPECT_GT(calls, 0);

    calls = 0;
    list->SetSortID(9);
    list->Sort();
    list->SetSortID(0);
    list->Sort();
    EXPECT_EQ(calls, 0) << "no compare for a key of 0 or beyond the columns";
    EXPECT_EQ(Column(*list, 0), (QStringList{"z", "y", "x"}));
}

TEST(ListView, SortKeepsSelectionAndCopyTakesSelectedCaptionsInListOrder)
{
    auto list = MakeList({{"b", "2"}, {"a", "1"}, {"c", "3"}, {"d", "4"}});
    list->SetMultiSelect(true);
    list->topLevelItem(2)->setSelected(true); // c
    list->topLevelItem(0)->setSelected(true); // b
    list->topLevelItem(1)->setSelected(true); // a
    list->ColumnClick(0);
    list->ColumnClick(0); // ascending
    EXPECT_EQ(list->selectedItems().size(), 3);
    list->copy();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("a\r\nb\r\nc"));

    QApplication::clipboard()->setText(QStringLiteral("unchanged"));
    list->clearSelection();
    list->copy();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("unchanged")) << "nothing selected";

    list->selectAll();
    EXPECT_EQ(list->selectedItems().size(), 4);
    list->show();
    list->setFocus();
    QTest::keyClick(list.get(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("a\r\nb\r\nc\r\nd"));
}

TEST(ListView, SelectAllLeavesASingleSelectListAlone)
{
    auto list = MakeList({{"a"}, {"b"}});
    list->show();
    list->setFocus();
    list->setCurrentItem(list->topLevelItem(0));
    QTest::keyClick(list.get(), Qt::Key_A, Qt::ControlModifier);
    list->selectAll();
    EXPECT_EQ(list->selectedItems().size(), 1);
}

TEST(TreeView, FindByNameAndDataDepthFirst)
{
    TkdTreeView tree;
    TkdTreeNode *root = tree.AddNode(nullptr, QStringLiteral("root"));
    TkdTreeNode *a = tree.AddNode(root, QStringLiteral("a"));
    TkdTreeNode *grand = tree.AddNode(a, QStringLiteral("Target"));
    TkdTreeNode *later = tree.AddNode(root, QStringLiteral("TARGET"));
    TkdTreeNode *japanese = tree.AddNode(root, QStringLiteral("表ａ"));
    grand->SetData(7);
    later->SetData(7);
    a->SetData(QStringLiteral("x"));
    new QTreeWidgetItem(root, QStringList{QStringLiteral("plain")}); // not one of ours

    struct Case { QString name; bool recurse; TkdTreeNode *want; };
    const Case cases[] = {
        {"target", false, later},   // direct children only
        {"target", true, grand},    // a grandchild before a later sibling
        {"A", false, a},            // ASCII case ignored
        {"表Ａ", true, nullptr},    // full-width letters compare exactly
        {"表ａ", false, japanese},
        {"plain", true, nullptr},
        {"missing", true, nullptr},
    };
    for (const Case &c : cases)
        EXPECT_EQ(root->FindName(c.name, c.recurse), c.want) << c.name.toStdString() << " " << c.recurse;

    EXPECT_EQ(root->FindData(7, false), later);
    EXPECT_EQ(root->FindData(7, true), grand);
    EXPECT_EQ(root->FindData(QStringLiteral("x"), false), a);
    EXPECT_EQ(root->FindData(8, true), nullptr);
    EXPECT_EQ(tree.FindName(QStringLiteral("Target"), true), grand);
    EXPECT_EQ(tree.FindData(7, false), nullptr);
}

TEST(TreeView, SubItemsShowUnderTheHeaderSectionsAndDrawHook)
{
    TkdTreeView tree;
    QAbstractItemModelTester tester(tree.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    tree.setHeaderLabels({QStringLiteral("ノード"), QStringLiteral("コスト"), QStringLiteral("行数")});
    tree.headerItem()->setTextAlignment(1, Qt::AlignRight);
    TkdTreeNode *node = tree.AddNode(nullptr, QStringLiteral("Seq Scan"));
    node->SetSubItems({QStringLiteral("12.5"), QStringLiteral("100"), QStringLiteral("hidden")});
    node->SetData2(1);
    node->SetData3(QStringLiteral("three"));
    EXPECT_EQ(node->text(1), QStringLiteral("12.5"));
    EXPECT_EQ(node->text(2), QStringLiteral("100"));
    EXPECT_EQ(node->Data2(), QVariant(1));

    QList<int> drawn;
    tree.OnCustomDrawSubItem = [&](TkdTreeView *, TkdTreeNode *n, int index, QStyle::State, const QRect &, bool &def) {
        drawn << index;
        def = index != 0;
        EXPECT_EQ(n, node);
    };
    tree.resize(400, 200);
    tree.show();
    QApplication::processEvents();
    (void)tree.grab();
    std::sort(drawn.begin(), drawn.end());
    drawn.erase(std::unique(drawn.begin(), drawn.end()), drawn.end());
    EXPECT_EQ(drawn, (QList<int>{0, 1})) << "sub-item 2 has no section";

    node->AddSubItem(QStringLiteral("x"));
    EXPECT_EQ(node->SubItems().size(), 4);
}

TEST(TreeView, ClickAnywhereOnARowSelectsItsNodeAndScrollRaisesOnScroll)
{
    TkdTreeView tree;
    tree.setHeaderLabels({QStringLiteral("a"), QStringLiteral("b")});
    tree.header()->resizeSection(0, 80);
    tree.header()->resizeSection(1, 80);
    for (int i = 0; i < 60; ++i)
        tree.AddNode(nullptr, QStringLiteral("n%1").arg(i));
    tree.resize(400, 200);
    tree.show();
    QApplication::processEvents();
    QTreeWidgetItem *second = tree.topLevelItem(1);
    const QRect r = tree.visualItemRect(second);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, QPoint(tree.viewport()->width() - 3, r.center().y()));
    EXPECT_EQ(tree.currentItem(), second) << "beyond the last column";
    EXPECT_TRUE(second->isSelected());

    int scrolls = 0;
    QObject::connect(&tree, &TkdTreeView::OnScroll, &tree, [&] { ++scrolls; });
    tree.verticalScrollBar()->setValue(10);
    EXPECT_GE(scrolls, 1);
}
