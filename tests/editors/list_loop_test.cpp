// The rows of the long lists of the editors layer (user list, stored objects): texts kept in
// one block behind each item (what the view, a sort and a rename see), and the fill's sort,
// made from keys while the rows come and merged in slices, which must put the rows exactly
// where the list's own sort puts them: every sort key and direction, equal keys in their
// order, lists longer than one slice, and the window's compare hook.
#include "controls/kdcomctrls.h"
#include "core/kdsub_options.h"
#include "editors/list_loop.h"
#include "support/qstring_printer.h"

#include <QApplication>
#include <QPixmap>
#include <QRegularExpression>

#include <QThread>
#include <gtest/gtest.h>

#include <random>

namespace {

QStringList Column(TkdListView &list, int column)
{
    QStringList texts;
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        texts << list.topLevelItem(i)->text(column);
    return texts;
}

TEST(ListTexts, CellsItemsAndWhatIsSetAfterwards)
{
    auto texts = std::make_shared<TListTexts>(3);
    QPixmap red(8, 8);
    red.fill(Qt::red);
    texts->SetIcon(45, QIcon(red));
    texts->SetAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    const QList<QStringList> rows{{"表領域の\"表\"", "", "1,024"}, {"a'b", "TABLE", "0"}, {"", "INDEX", ""}};
    for (int r = 0; r < rows.size(); ++r) {
        texts->BeginRow(r == 0 ? 45 : -1);
        for (const QString &cell : rows.at(r))
            texts->AddCell(cell.toUtf8());
    }
    ASSERT_EQ(texts->Rows(), 3);
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(texts->Text(r, c), rows.at(r).at(c)) << r << "," << c;
    EXPECT_TRUE(texts->Text(3, 0).isEmpty()) << "beyond the rows";
    EXPECT_TRUE(texts->Text(0, 3).isEmpty()) << "beyond the columns";

    TkdListView list;
    list.setColumnCount(3);
    auto *first = new TListTextItem(texts, 0);
    auto *second = new TListTextItem(texts, 1);
    list.addTopLevelItems({first, second});
    EXPECT_EQ(first->columnCount(), 3) << "compares and sub-items look at the item's column count";
    EXPECT_EQ(TkdListView::SubItem(first, 1), "1,024");
    EXPECT_EQ(first->data(0, Qt::UserRole).toInt(), 45);
    EXPECT_EQ(second->data(0, Qt::UserRole).toInt(), -1);
    EXPECT_FALSE(first->icon(0).isNull());
    EXPECT_TRUE(second->icon(0).isNull());
    EXPECT_EQ(first->textAlignment(2), int(Qt::AlignRight | Qt::AlignVCenter));
    // The view's model reads through the item.
    EXPECT_EQ(list.model()->index(1, 0).data().toString(), "a'b");

    // A rename, another image and another image index take the place of what is stored.
    first->setText(0, "新しい名前");
    second->setData(0, Qt::UserRole, 3);
    second->setIcon(0, QIcon(red));
    EXPECT_EQ(first->text(0), "新しい名前");
    EXPECT_EQ(list.model()->index(0, 0).data().toString(), "新しい名前");
    EXPECT_EQ(first->text(1), "") << "the other cells stay";
    EXPECT_EQ(second->data(0, Qt::UserRole).toInt(), 3);
    EXPECT_FALSE(second->icon(0).isNull());
    // An emptied caption is a text too.
    second->setText(0, QString());
    EXPECT_EQ(second->text(0), "");
}

// Rows arrive in a shuffled order with equal names (told apart by the second column, their
// arrival number), upper and lower case, Japanese and numbers; the fill's result must be the
// list's own sort of the same rows added in the same order.
struct TSortCase {
    const char *Name;
    int SortID;
    int Rows;
    bool Hook;
    bool ClearedByTheFill = false; // the list held rows, which the fill removes first
};

class ListFillSort : public ::testing::TestWithParam<TSortCase>
{
protected:
    void SetUp() override
    {
        FSaved = TkdOption::Global().Progress;
        TkdOption::Global().Progress = false;
    }
    void TearDown() override { TkdOption::Global().Progress = FSaved; }
    bool FSaved = false;
};

void Prepare(TkdListView &list, int sortId, bool hook)
{
    list.setColumnCount(3);
    list.headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    list.SetSortID(sortId);
    if (hook)
        list.OnCompare = [](TkdListView *, QTreeWidgetItem *a, QTreeWidgetItem *b, int, int &result) {
            // Longer names first, then as the list compares.
            if (a->text(0).size() != b->text(0).size())
                result = a->text(0).size() > b->text(0).size() ? -1 : 1;
        };
}

TEST_P(ListFillSort, PutsRowsWhereTheListsOwnSortPutsThem)
{
    const TSortCase &c = GetParam();
    static const QStringList names{"b", "B", "a", "ａ", "表", "Abc", "abc", "t_10", "t_9", "", "z", "テーブル", "b"};
    std::mt19937 random(7);
    QList<QStringList> rows;
    for (int i = 0; i < c.Rows; ++i) {
        const QString name = names.at(int(random() % names.size())) + (i % 3 == 0 ? QString::number(random() % 50) : QString());
        rows << QStringList{name, QString::number(i), QString::number(int(random() % 2000) - 100)};
    }

    TkdListView expected;
    Prepare(expected, c.SortID, c.Hook);
    QList<QTreeWidgetItem *> plain;
    for (const QStringList &r : rows)
        plain << new QTreeWidgetItem(r);
    expected.addTopLevelItems(plain);
    expected.Sort();

    TkdListView filled;
    Prepare(filled, c.SortID, c.Hook);
    auto texts = std::make_shared<TListTexts>(3);
    if (c.ClearedByTheFill)
        filled.addTopLevelItems({new QTreeWidgetItem(QStringList{"old", "-1", "0"}), new QTreeWidgetItem(QStringList{"older", "-2", "0"})});
    {
        TListFill fill(&filled);
        if (c.ClearedByTheFill)
            fill.Clear();
        for (int i = 0; i < rows.size(); ++i) {
            ASSERT_FALSE(fill.Escape());
            texts->BeginRow(-1);
            for (const QString &cell : rows.at(i))
                texts->AddCell(cell.toUtf8());
            fill.Add(new TListTextItem(texts, i));
        }
        fill.Finish();
    }
    ASSERT_EQ(filled.topLevelItemCount(), rows.size());
    EXPECT_EQ(Column(filled, 1), Column(expected, 1)) << c.Name;
}

INSTANTIATE_TEST_SUITE_P(Keys, ListFillSort,
                         ::testing::Values(TSortCase{"name ascending", 1, 500, false},
                                           TSortCase{"name descending", -1, 500, false},
                                           TSortCase{"second text column", 2, 300, false},
                                           TSortCase{"number column", 3, 300, false},
                                           TSortCase{"number column descending", -3, 300, false},
                                           TSortCase{"unsorted", 0, 200, false},
                                           TSortCase{"window's compare hook", 1, 300, true},
                                           TSortCase{"several slices, ascending", 1, 20000, false},
                                           TSortCase{"several slices, descending", -1, 20000, false},
                                           TSortCase{"several slices, window's compare hook", 1, 20000, true},
                                           TSortCase{"list cleared by the fill", 1, 20000, false, true},
                                           TSortCase{"list cleared by the fill, hook", -1, 20000, true, true},
                                           TSortCase{"list cleared by the fill, number column", 3, 300, false, true}),
                         [](const ::testing::TestParamInfo<TSortCase> &i) {
                             QString n = QString::fromLatin1(i.param.Name);
                             n.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")), QStringLiteral("_"));
                             return n.toStdString();
                         });

// The end of a long fill sorts in slices and lets the event loop run between them before the
// rows go in, also when the list held rows that the fill cleared and when the window's hook
// decides the order (a sort of them all in one piece held the window for over 100 ms).
TEST_F(ListFillSort, TheEndSortLetsTheEventLoopRunBeforeTheRowsGoIn)
{
    for (const bool hook : {false, true}) {
        SCOPED_TRACE(hook ? "window's compare hook" : "collator keys");
        TkdListView list;
        Prepare(list, 1, hook);
        list.addTopLevelItem(new QTreeWidgetItem(QStringList{"old", "-1", "0"}));
        list.show(); // the fill lets the event loop run for the active window only
        QApplication::setActiveWindow(&list);
        auto texts = std::make_shared<TListTexts>(3);
        int rowsWhenTheEventRan = -1;
        {
            TListFill fill(&list);
            fill.Clear();
            std::mt19937 random(3);
            for (int i = 0; i < 30000; ++i) {
                texts->BeginRow(-1);
                texts->AddCell(QByteArray("t_") + QByteArray::number(int(random() % 100000)));
                texts->AddCell(QByteArray::number(i));
                texts->AddCell("0");
                fill.Add(new TListTextItem(texts, i));
            }
            QThread::msleep(120); // the fill has run for longer than its interval (50 ms)
            QMetaObject::invokeMethod(&list, [&] { rowsWhenTheEventRan = list.topLevelItemCount(); }, Qt::QueuedConnection);
            fill.Finish();
        }
        EXPECT_EQ(rowsWhenTheEventRan, 0) << "the event ran during the sort, before the rows were added";
        EXPECT_EQ(list.topLevelItemCount(), 30000);
    }
}

TEST_F(ListFillSort, RowsAlreadyInOrderAndAnEmptyFill)
{
    TkdListView list;
    Prepare(list, 1, false);
    auto texts = std::make_shared<TListTexts>(3);
    {
        TListFill fill(&list);
        for (int i = 0; i < 3; ++i) {
            texts->BeginRow(-1);
            texts->AddCell(QByteArray("r") + QByteArray::number(i));
            texts->AddCell(QByteArray::number(i));
            texts->AddCell("0");
            fill.Add(new TListTextItem(texts, i));
        }
    }
    EXPECT_EQ(Column(list, 0), QStringList({"r0", "r1", "r2"})) << "the destructor adds the rows";
    TkdListView empty;
    Prepare(empty, 1, false);
    {
        TListFill fill(&empty);
        fill.Finish();
        fill.Finish();
    }
    EXPECT_EQ(empty.topLevelItemCount(), 0);
}

} // namespace
