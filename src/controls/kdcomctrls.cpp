#include "controls/kdcomctrls.h"
#include "controls/kdstdctl.h"

#include <QApplication>
#include <QClipboard>
#include <QCollator>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

double KdNumberOfText(const QString &AText)
{
    QString text = AText;
    text.remove(QLatin1Char(','));
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok ? value : 0.0;
}

namespace {

int CompareNumbers(double AX, double AY)
{
    // nearbyint rounds half to even in the default rounding mode.
    const double d = std::nearbyint((AX - AY) * 100.0);
    return d < 0 ? -1 : d > 0 ? 1 : 0;
}

} // namespace

int KdCompareNumberTexts(const QString &AText1, const QString &AText2)
{
    return CompareNumbers(KdNumberOfText(AText1), KdNumberOfText(AText2));
}

// ---------------------------------------------------------------- TkdListView

TkdListView::TkdListView(QWidget *AOwner) : QTreeWidget(AOwner)
{
    // Report style: a flat list with columns.
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    setDragEnabled(false);
    header()->setSectionsClickable(true);
    connect(header(), &QHeaderView::sectionClicked, this, &TkdListView::ColumnClick);
    setItemDelegate(new TkdColumnAlignDelegate(this));
    connect(itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] {
        QTreeWidgetItem *item = FEditItem;
        FEditItem = nullptr;
        if (!item)
            return;
        item->setFlags(FEditFlags);
        QString text = item->text(0);
        if (text == FEditOld)
            return;
        if (OnEdited)
            OnEdited(this, item, text);
        item->setText(0, text.isEmpty() ? FEditOld : text);
    });
}

void TkdListView::EditCaption(QTreeWidgetItem *AItem)
{
    if (!AItem)
        AItem = currentItem();
    if (!AItem || IsEditing())
        return;
    FEditItem = AItem;
    FEditOld = AItem->text(0);
    FEditFlags = AItem->flags();
    AItem->setFlags(FEditFlags | Qt::ItemIsEditable);
    scrollToItem(AItem);
    editItem(AItem, 0);
}

bool TkdListView::IsEditing() const
{
    return FEditItem != nullptr;
}

QString TkdListView::SubItem(const QTreeWidgetItem *AItem, int AIndex)
{
    return AIndex + 1 < AItem->columnCount() ? AItem->text(AIndex + 1) : QString();
}

bool TkdListView::IsNumericColumn(int AColumn) const
{
    return (headerItem()->textAlignment(AColumn) & Qt::AlignRight) != 0;
}

void TkdListView::ColumnClick(int AColumn)
{
    const int k = AColumn + 1;
    FSortID = std::abs(FSortID) == k ? -FSortID : k;
    Sort();
    Q_EMIT OnColumnClick(this, AColumn);
}

int TkdListView::Compare(QTreeWidgetItem *AItem1, QTreeWidgetItem *AItem2) const
{
    int result = 0;
    const int column = std::abs(FSortID) - 1;
    if (FSortID == 0 || column >= columnCount())
        return result; // items taken as equal; the window's hook is not asked
    QTreeWidgetItem *x = FSortID > 0 ? AItem1 : AItem2;
    QTreeWidgetItem *y = FSortID > 0 ? AItem2 : AItem1;
    const QString tx = column < x->columnCount() ? x->text(column) : QString();
    const QString ty = column < y->columnCount() ? y->text(column) : QString();
    if (IsNumericColumn(column))
        result = KdCompareNumberTexts(tx, ty);
    else
        result = QString::localeAwareCompare(tx, ty);
    if (OnCompare)
        OnCompare(const_cast<TkdListView *>(this), AItem1, AItem2, 0, result);
    return result;
}

void TkdListView::Sort()
{
    const int column = std::abs(FSortID) - 1;
    if (FSortID == 0 || column >= columnCount() || topLevelItemCount() < 2)
        return;
    const bool descending = FSortID < 0;
    const bool numeric = IsNumericColumn(column);

    QTreeWidgetItem *current = currentItem();
    QList<QTreeWidgetItem *> selected = selectedItems();
    QList<QTreeWidgetItem *> items = invisibleRootItem()->takeChildren();

    if (OnCompare) {
        // The window's hook decides item by item.
        std::stable_sort(items.begin(), items.end(), [this](QTreeWidgetItem *a, QTreeWidgetItem *b) {
            return Compare(a, b) < 0;
        });
    } else {
        // Keys are computed once per item, so a long list sorts quickly.
        struct TKey
        {
            QTreeWidgetItem *Item;
            double Number;
            QCollatorSortKey Text;
        };
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseSensitive);
        QList<TKey> keys;
        keys.reserve(items.size());
        for (QTreeWidgetItem *item : std::as_const(items)) {
            const QString text = column < item->columnCount() ? item->text(column) : QString();
            keys.append(TKey{item, numeric ? KdNumberOfText(text) : 0.0,
                             collator.sortKey(numeric ? QString() : text)});
        }
        std::stable_sort(keys.begin(), keys.end(), [numeric, descending](const TKey &a, const TKey &b) {
            const TKey &x = descending ? b : a;
            const TKey &y = descending ? a : b;
            return (numeric ? CompareNumbers(x.Number, y.Number) : x.Text.compare(y.Text)) < 0;
        });
        for (qsizetype i = 0; i < keys.size(); ++i)
            items[i] = keys[i].Item;
    }
    addTopLevelItems(items);
    if (current)
        setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
    for (QTreeWidgetItem *item : std::as_const(selected))
        item->setSelected(true);
}

void TkdListView::selectAll()
{
    if (state() == QAbstractItemView::EditingState || !MultiSelect())
        return;
    QTreeWidget::selectAll();
}

void TkdListView::copy()
{
    if (state() == QAbstractItemView::EditingState)
        return;
    QStringList captions;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = topLevelItem(i);
        if (item->isSelected())
            captions << item->text(0);
    }
    if (!captions.isEmpty())
        QApplication::clipboard()->setText(captions.join(QStringLiteral("\r\n")));
}

void TkdListView::keyPressEvent(QKeyEvent *AEvent)
{
    if (AEvent->matches(QKeySequence::Copy)) {
        copy();
        AEvent->accept();
        return;
    }
    if (AEvent->matches(QKeySequence::SelectAll)) {
        selectAll();
        AEvent->accept();
        return;
    }
    QTreeWidget::keyPressEvent(AEvent);
}

// ---------------------------------------------------------------- TkdTreeNode

TkdTreeNode::TkdTreeNode() : QTreeWidgetItem(QTreeWidgetItem::UserType) {}

TkdTreeNode::TkdTreeNode(QTreeWidgetItem *AParent, const QString &AText)
    : QTreeWidgetItem(AParent, QTreeWidgetItem::UserType)
{
    setText(0, AText);
}

TkdTreeNode::TkdTreeNode(QTreeWidget *AParent, const QString &AText)
    : QTreeWidgetItem(AParent, QTreeWidgetItem::UserType)
{
    setText(0, AText);
}

void TkdTreeNode::SetSubItems(const QStringList &AItems)
{
    FSubItems = AItems;
    emitDataChanged();
}

void TkdTreeNode::AddSubItem(const QString &AText)
{
    FSubItems.append(AText);
    emitDataChanged();
}

QVariant TkdTreeNode::data(int AColumn, int ARole) const
{
    if (AColumn >= 1) {
        if (ARole == Qt::DisplayRole || ARole == Qt::ToolTipRole)
            return AColumn - 1 < FSubItems.size() ? QVariant(FSubItems.at(AColumn - 1)) : QVariant();
    }
    return QTreeWidgetItem::data(AColumn, ARole);
}

TkdTreeNode *TkdTreeNode::FindBelow(const QTreeWidgetItem *AParent,
                                     const std::function<bool(const TkdTreeNode *)> &AMatch, bool ARecurse)
{
    for (int i = 0; i < AParent->childCount(); ++i) {
        auto *node = dynamic_cast<TkdTreeNode *>(AParent->child(i));
        if (!node)
            continue;
        if (AMatch(node))
            return node;
        if (ARecurse)
            if (TkdTreeNode *found = FindBelow(node, AMatch, true))
                return found;
    }
    return nullptr;
}

namespace {

std::function<bool(const TkdTreeNode *)> NameMatch(const QString &AName)
{
    return [AName](const TkdTreeNode *n) { return KdSameTextAscii(n->text(0), AName); };
}

std::function<bool(const TkdTreeNode *)> DataMatch(const QVariant &AData)
{
    return [AData](const TkdTreeNode *n) { return n->Data() == AData; };
}

} // namespace

TkdTreeNode *TkdTreeNode::FindName(const QString &AName, bool ARecurse) const
{
    return FindBelow(this, NameMatch(AName), ARecurse);
}

TkdTreeNode *TkdTreeNode::FindData(const QVariant &AData, bool ARecurse) const
{
    return FindBelow(this, DataMatch(AData), ARecurse);
}

// ---------------------------------------------------------------- TkdTreeView

TkdTreeView::TkdTreeView(QWidget *AOwner) : QTreeWidget(AOwner)
{
    setItemDelegate(new TkdTreeDelegate(this));
    setAllColumnsShowFocus(true);
}

TkdTreeNode *TkdTreeView::AddNode(TkdTreeNode *AParent, const QString &AText)
{
    if (AParent)
        return new TkdTreeNode(AParent, AText);
    return new TkdTreeNode(this, AText);
}

TkdTreeNode *TkdTreeView::FindName(const QString &AName, bool ARecurse) const
{
    return TkdTreeNode::FindBelow(invisibleRootItem(), NameMatch(AName), ARecurse);
}

TkdTreeNode *TkdTreeView::FindData(const QVariant &AData, bool ARecurse) const
{
    return TkdTreeNode::FindBelow(invisibleRootItem(), DataMatch(AData), ARecurse);
}

TkdTreeNode *TkdTreeView::NodeFromIndex(const QModelIndex &AIndex) const
{
    return dynamic_cast<TkdTreeNode *>(itemFromIndex(AIndex));
}

void TkdTreeView::mousePressEvent(QMouseEvent *AEvent)
{
    QTreeWidget::mousePressEvent(AEvent);
    if (AEvent->button() != Qt::LeftButton)
        return;
    // The node anywhere on the clicked row becomes the selected node; none on an empty spot.
    const int y = AEvent->position().toPoint().y();
    QTreeWidgetItem *item = itemAt(QPoint(columnViewportPosition(0), y));
    if (item)
        setCurrentItem(item);
    else {
        clearSelection();
        setCurrentItem(nullptr);
    }
}

void TkdTreeView::scrollContentsBy(int ADx, int ADy)
{
    QTreeWidget::scrollContentsBy(ADx, ADy);
    Q_EMIT OnScroll(this);
}

void TkdColumnAlignDelegate::initStyleOption(QStyleOptionViewItem *AOption, const QModelIndex &AIndex) const
{
    QStyledItemDelegate::initStyleOption(AOption, AIndex);
    const QVariant align = FView->headerItem()->data(AIndex.column(), Qt::TextAlignmentRole);
    if (align.isValid() && AIndex.column() > 0)
        AOption->displayAlignment = Qt::Alignment(align.toInt() & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter;
}

TkdTreeDelegate::TkdTreeDelegate(TkdTreeView *ATree) : TkdColumnAlignDelegate(ATree), FTree(ATree) {}

void TkdTreeDelegate::paint(QPainter *APainter, const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const
{
    if (AIndex.column() >= 1 && FTree->OnCustomDrawSubItem) {
        auto *node = FTree->NodeFromIndex(AIndex);
        if (node && AIndex.column() - 1 < node->SubItems().size()) {
            bool defaultDraw = true;
            FTree->OnCustomDrawSubItem(FTree, node, AIndex.column() - 1, AOption.state, AOption.rect, defaultDraw);
            if (!defaultDraw)
                return;
        }
    }
    TkdColumnAlignDelegate::paint(APainter, AOption, AIndex);
}
