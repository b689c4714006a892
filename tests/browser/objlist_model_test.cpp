// The object list's model: sorting by a text column orders names exactly as the tree does
// (CompareObjectNames) for names whose case folding is tricky, and keeps equal names in the
// order they came; a list that already is in order stays untouched.
#include "browser/objlist.h"
#include "browser/objtree.h"

#include <QSignalSpy>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

QString u(const char *s) { return QString::fromUtf8(s); }

TObjectListModel *Filled(const QStringList &names)
{
    auto *m = new TObjectListModel;
    m->SetColumns({{u("名前"), u("W0"), 100, Qt::AlignLeft}, {u("番号"), u("W1"), 50, Qt::AlignRight}});
    std::vector<TObjListRow> rows;
    for (int i = 0; i < names.size(); ++i)
        rows.push_back({names.at(i), -1, {QString::number(i)}});
    m->AppendRows(std::move(rows));
    return m;
}

TEST(ObjectListModel, TextSortMatchesTheTreeOrder)
{
    // Mixed case, the Kelvin sign and k, sharp s, final sigma, full-width letters, a
    // character outside the BMP beside a full-width one, quotes, digits and Japanese.
    const QStringList names = {
        u("Emp"), u("emp"), u("EMP"), u("\u212Aey"), u("key"), u("Key"), u("stra\u00DFe"), u("STRASSE"),
        u("\u03C3\u03BF\u03C6\u03CC\u03C2"), u("\u03A3\u039F\u03A6\u038C\u03A3"), u("\uFF21\uFF22"), u("\uFF41\uFF42"),
        u("\U0001F600x"), u("\uFF3Ax"), u("\"Quoted\""), u("t10"), u("t9"), u("表"), u("テーブル"), u("_x"), u("emp"),
    };
    QStringList expected = names;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const QString &a, const QString &b) { return CompareObjectNames(a, b) < 0; });
    for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
        std::unique_ptr<TObjectListModel> m(Filled(names));
        m->sort(0, order);
        QStringList got;
        for (int r = 0; r < m->rowCount(); ++r)
            got << m->Row(r).Caption;
        QStringList want = expected;
        if (order == Qt::DescendingOrder) {
            want = names;
            std::stable_sort(want.begin(), want.end(),
                             [](const QString &a, const QString &b) { return CompareObjectNames(a, b) > 0; });
        }
        EXPECT_EQ(got, want) << (order == Qt::AscendingOrder ? "ascending" : "descending");
    }
    // Equal names keep their order: the two "emp" rows came as rows 1 and 20.
    std::unique_ptr<TObjectListModel> m(Filled(names));
    m->sort(0, Qt::AscendingOrder);
    QStringList numbers;
    for (int r = 0; r < m->rowCount(); ++r)
        if (m->Row(r).Caption == u("emp"))
            numbers << m->SubItem(r, 0);
    EXPECT_EQ(numbers, (QStringList{u("1"), u("20")}));
}

TEST(ObjectListModel, ListInOrderIsLeftAlone)
{
    std::unique_ptr<TObjectListModel> m(Filled({u("a"), u("B"), u("c")}));
    QSignalSpy layout(m.get(), &QAbstractItemModel::layoutChanged);
    m->sort(0, Qt::AscendingOrder);
    EXPECT_EQ(layout.count(), 0);
    m->sort(1, Qt::DescendingOrder); // numbers 2, 1, 0
    EXPECT_EQ(layout.count(), 1);
    EXPECT_EQ(m->Row(0).Caption, u("c"));
}

TEST(ObjectListModel, LongSortAsideGivesTheSameOrder)
{
    // More rows than are sorted on the window's thread, names repeating in mixed case.
    QStringList names;
    quint32 x = 12345;
    for (size_t i = 0; i < TObjectListModel::kSortAsideRows + 5000; ++i) {
        x = x * 1103515245u + 12345u;
        const QString n = QStringLiteral("t%1").arg((x >> 8) % 9000);
        names << ((x >> 4) & 1 ? n.toUpper() : n);
    }
    QStringList want = names;
    std::stable_sort(want.begin(), want.end(),
                     [](const QString &a, const QString &b) { return CompareObjectNames(a, b) < 0; });
    std::unique_ptr<TObjectListModel> m(Filled(names));
    int pumps = 0;
    m->WhileSorting = [&] { ++pumps; };
    m->sort(0, Qt::AscendingOrder);
    QStringList got;
    for (int r = 0; r < m->rowCount(); ++r)
        got << m->Row(r).Caption;
    EXPECT_EQ(got, want);
    // Stable: equal names keep the order they came in.
    for (int r = 1; r < m->rowCount(); ++r) {
        if (got.at(r) == got.at(r - 1)) {
            ASSERT_LT(m->SubItem(r - 1, 0).toInt(), m->SubItem(r, 0).toInt()) << r;
        }
    }
    (void)pumps; // how often depends on the machine; the order is what counts
}

} // namespace
