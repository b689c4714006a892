#pragma once
// The report-style list view of the program's lists and the tree view whose nodes carry
// extra data and sub-item columns.
//
// TkdListView sorts by a clicked column (a second click reverses the order; right-aligned
// columns compare as numbers), copies the captions of the selected items and selects all
// items on request. TkdTreeView shows TkdTreeNode sub-items under the header sections 1..n.
#include "controls/kdstdctl.h"

#include <QStringList>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVariant>

#include <functional>

class TkdListView;
class TkdTreeView;
class TkdTreeNode;

// The window's own compare hook: may change ACompare (negative, zero, positive).
using TLVCompareEvent = std::function<void(TkdListView *ASender, QTreeWidgetItem *AItem1,
                                           QTreeWidgetItem *AItem2, int AData, int &ACompare)>;

// The number compare of right-aligned columns: each text with "," removed read as a number
// (0 when it is none); the sign of (x - y) * 100 rounded half to even, so values that differ
// by less than half a hundredth compare equal.
int KdCompareNumberTexts(const QString &AText1, const QString &AText2);
// The number a right-aligned column's text stands for (0 when it is none).
double KdNumberOfText(const QString &AText);

class TkdListView : public QTreeWidget
{
    Q_OBJECT
public:
    explicit TkdListView(QWidget *AOwner = nullptr);

    // 0 unsorted; +k ascending by column k - 1; -k descending. 1 after construction.
    int SortID() const { return FSortID; }
    void SetSortID(int AValue) { FSortID = AValue; }
    // What a click on the header of column AColumn does: choose the key, sort, then raise
    // OnColumnClick.
    void ColumnClick(int AColumn);
    // Sorts the items by the current key (nothing for a key of 0 or beyond the columns).
    void Sort();
    // The compare of two items by the current key, the window's OnCompare included.
    int Compare(QTreeWidgetItem *AItem1, QTreeWidgetItem *AItem2) const;

    bool MultiSelect() const { return KdIsMultiSelect(this); }
    void SetMultiSelect(bool AValue) { KdSetMultiSelect(this, AValue); }
    // Caption (column 0) and sub-items (columns 1..) of an item.
    static QString SubItem(const QTreeWidgetItem *AItem, int AIndex);

    TLVCompareEvent OnCompare;

    // In-place editing of an item's caption (column 0); nothing without an item. When the
    // editing ends with a changed text, OnEdited gets the item and the new text (which it may
    // change; an empty text put back by the handler restores the old caption).
    void EditCaption(QTreeWidgetItem *AItem = nullptr);
    bool IsEditing() const;
    std::function<void(TkdListView *ASender, QTreeWidgetItem *AItem, QString &AText)> OnEdited;

public Q_SLOTS:
    void selectAll() override;
    // Captions of the selected items, in list order and joined by CR LF, to the clipboard.
    void copy();

Q_SIGNALS:
    void OnColumnClick(TkdListView *ASender, int AColumn);

protected:
    void keyPressEvent(QKeyEvent *AEvent) override;

private:
    bool IsNumericColumn(int AColumn) const;
    int FSortID = 1;
    QTreeWidgetItem *FEditItem = nullptr;
    QString FEditOld;
    Qt::ItemFlags FEditFlags;
};

class TkdTreeNode : public QTreeWidgetItem
{
public:
    TkdTreeNode();
    explicit TkdTreeNode(QTreeWidgetItem *AParent, const QString &AText = QString());
    explicit TkdTreeNode(QTreeWidget *AParent, const QString &AText = QString());

    QVariant Data() const { return FData; }
    void SetData(const QVariant &AValue) { FData = AValue; }
    QVariant Data2() const { return FData2; }
    void SetData2(const QVariant &AValue) { FData2 = AValue; }
    QVariant Data3() const { return FData3; }
    void SetData3(const QVariant &AValue) { FData3 = AValue; }
    // Texts shown in the columns 1.. of the node's row.
    const QStringList &SubItems() const { return FSubItems; }
    void SetSubItems(const QStringList &AItems);
    void AddSubItem(const QString &AText);

    // First child whose text equals AName ignoring ASCII letter case; with ARecurse a child
    // that does not match is searched in its own children before the next sibling.
    TkdTreeNode *FindName(const QString &AName, bool ARecurse) const;
    // The same search by Data.
    TkdTreeNode *FindData(const QVariant &AData, bool ARecurse) const;

    QVariant data(int AColumn, int ARole) const override;

    // The search below any item (the tree's invisible root included).
    static TkdTreeNode *FindBelow(const QTreeWidgetItem *AParent,
                                  const std::function<bool(const TkdTreeNode *)> &AMatch, bool ARecurse);

private:
    QVariant FData;
    QVariant FData2;
    QVariant FData3;
    QStringList FSubItems;
};

// Per sub-item drawing hook: set ADefaultDraw false when the handler drew the sub-item.
using TTVCustomDrawSubItemEvent = std::function<void(TkdTreeView *ASender, TkdTreeNode *ANode, int AIndex,
                                                     QStyle::State AState, const QRect &ARect, bool &ADefaultDraw)>;

class TkdTreeView : public QTreeWidget
{
    Q_OBJECT
public:
    explicit TkdTreeView(QWidget *AOwner = nullptr);

    // Adds a node under AParent (a top-level node when AParent is nullptr).
    TkdTreeNode *AddNode(TkdTreeNode *AParent, const QString &AText);
    // Top-level search, as TkdTreeNode::FindName and FindData.
    TkdTreeNode *FindName(const QString &AName, bool ARecurse) const;
    TkdTreeNode *FindData(const QVariant &AData, bool ARecurse) const;
    TkdTreeNode *NodeFromIndex(const QModelIndex &AIndex) const;

    TTVCustomDrawSubItemEvent OnCustomDrawSubItem;

Q_SIGNALS:
    // After each vertical or horizontal scroll.
    void OnScroll(TkdTreeView *ASender);

protected:
    void mousePressEvent(QMouseEvent *AEvent) override;
    void scrollContentsBy(int ADx, int ADy) override;
};

// Aligns each column's texts as its header section is aligned (a right-aligned number column
// shows its values right-aligned).
class TkdColumnAlignDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit TkdColumnAlignDelegate(QTreeWidget *AView) : QStyledItemDelegate(AView), FView(AView) {}

protected:
    void initStyleOption(QStyleOptionViewItem *AOption, const QModelIndex &AIndex) const override;

private:
    QTreeWidget *FView;
};

class TkdTreeDelegate : public TkdColumnAlignDelegate
{
    Q_OBJECT
public:
    explicit TkdTreeDelegate(TkdTreeView *ATree);
    void paint(QPainter *APainter, const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const override;

private:
    TkdTreeView *FTree;
};
