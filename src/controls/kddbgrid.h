#pragma once
// The data grids of table and result data. TkdDBGridV shows one record per grid row and one
// field per grid column, with a title row above and an indicator column on the left;
// TkdDBGridH is the same grid turned by a quarter: one record per grid column, the field
// titles in a column on the left and the indicator row on top. Both are views of one
// TkdDataSetModel and share one core; their differences are explicit overrides.
//
// Selection: a set of records (SelectedRows / SelectedCols, kept in record order) times a
// range of items (ColStart..ColEnd / RowStart..RowEnd), or whole records. It decides the
// highlighted cells and what copy() takes. Every change the grid writes (keys, mouse,
// leaving the grid, paste, clear) runs inside TkdAutoCommitScope.
#include "controls/kddbcolumns.h"
#include "controls/kdgrid.h"
#include "platform/db/dbdataset.h"

#include <QHeaderView>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>

#include <functional>
#include <vector>

class QTransposeProxyModel;
class TkdDataSetModel;

namespace db {
class Connection;
}

enum TDBGridOption {
    dgEditing = 0, dgAlwaysShowEditor = 1, dgTitles = 2, dgIndicator = 3, dgColumnResize = 4,
    dgColLines = 5, dgRowLines = 6, dgTabs = 7, dgRowSelect = 8, dgAlwaysShowSelection = 9,
    dgConfirmDelete = 10, dgCancelOnExit = 11, dgMultiSelect = 12,
};
using TDBGridOptions = unsigned;
constexpr TDBGridOptions dgBit(TDBGridOption AOption) { return 1u << unsigned(AOption); }
// A new grid's options: editing, always-show-editor, titles, indicator, column resize, lines,
// tabs, confirm delete, cancel on exit.
constexpr TDBGridOptions dgDefaultOptions = 0xCFF;

// Sets the connection's auto-commit to the general option UpdateToCommit for the life of the
// scope, and to false when the outermost scope ends (also on an exception). Every change a
// grid or its host writes to the data set runs inside one.
class TkdAutoCommitScope
{
public:
    explicit TkdAutoCommitScope(db::DataSet *ADataSet);
    ~TkdAutoCommitScope();
    TkdAutoCommitScope(const TkdAutoCommitScope &) = delete;
    TkdAutoCommitScope &operator=(const TkdAutoCommitScope &) = delete;

private:
    db::Connection *FConnection = nullptr;
};

// The selected records of a grid, as bookmarks kept in the data set's record order.
class TBookmarkList
{
public:
    using Bookmark = db::DataSet::Bookmark;
    explicit TBookmarkList(std::function<db::DataSet *()> ADataSet, std::function<void()> ARepaint);

    int Count() const { return int(FList.size()); }
    Bookmark Items(int AIndex) const { return FList[std::size_t(AIndex)]; }
    const std::vector<Bookmark> &List() const { return FList; }
    // Binary search; AIndex is the found or the insertion position.
    bool Find(const Bookmark &AItem, int &AIndex) const;
    int IndexOf(const Bookmark &AItem) const;
    bool Contains(const Bookmark &AItem) const;
    bool CurrentRowSelected() const;
    void SetCurrentRowSelected(bool AValue);
    void Select(const Bookmark &AItem, bool AValue);
    // Takes a list already in record order (select-all).
    void SetList(std::vector<Bookmark> AList);
    // Empties the list; repaints only when it held entries.
    void Clear();
    // Drops the bookmarks of records that no longer exist; true when any was dropped.
    bool Refresh();
    // Deletes the selected records from the data set, last first, and empties the list.
    void Delete();

private:
    std::function<db::DataSet *()> FDataSet;
    std::function<void()> FRepaint;
    std::vector<Bookmark> FList;
};

// The header of the titles (fields) or of the indicator (records) of a data grid.
class TkdDBGridHeader : public QHeaderView
{
    Q_OBJECT
public:
    enum TKind { hkTitle, hkIndicator };
    TkdDBGridHeader(Qt::Orientation AOrientation, TKind AKind, QWidget *AParent);
    TKind Kind() const { return FKind; }
    std::function<void(QPainter *, const QRect &, int)> OnPaintSection;

protected:
    void paintSection(QPainter *APainter, const QRect &ARect, int ALogicalIndex) const override;

private:
    TKind FKind;
};

class TkdDBGridBase;

// Paints the cells from the grid's selection and item settings, and edits with the cell
// editor of the string grid (text, pick list, ellipsis).
class TkdDBGridDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit TkdDBGridDelegate(TkdDBGridBase *AGrid);
    void paint(QPainter *APainter, const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const override;
    QWidget *createEditor(QWidget *AParent, const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const override;
    void setEditorData(QWidget *AEditor, const QModelIndex &AIndex) const override;
    void setModelData(QWidget *AEditor, QAbstractItemModel *AModel, const QModelIndex &AIndex) const override;
    void updateEditorGeometry(QWidget *AEditor, const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const override;

private:
    TkdDBGridBase *FGrid;
};

// The draw state of a cell handed to OnDrawColumnCell / OnDrawRowCell.
struct TGridDrawState {
    bool Selected = false; // the focused cell
    bool Focused = false;  // the grid has the focus
    bool Highlighted = false;
    int Record = -1; // the record drawn (0-based row of the data set)
};

// The core both grids share. Items are the grid's columns (TkdDBGridV) or rows (TkdDBGridH);
// "records" run along the other direction.
class TkdDBGridBase : public QTableView, public TkdInplaceHost, public TkdGridItemHost
{
    Q_OBJECT
public:
    explicit TkdDBGridBase(bool AColumnar, QWidget *AParent = nullptr);
    ~TkdDBGridBase() override;

    // ---- data ----------------------------------------------------------------------
    // The model of the data set (shared with the other grid); null detaches.
    void SetDataSource(TkdDataSetModel *AModel);
    TkdDataSetModel *DataSource() const { return FModel; }
    db::DataSet *DataSet() const;
    bool LinkActive() const;

    // ---- options and looks ------------------------------------------------------------
    TDBGridOptions Options() const { return FOptions; }
    void SetOptions(TDBGridOptions AValue);
    bool HasOption(TDBGridOption AOption) const { return (FOptions & dgBit(AOption)) != 0; }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool AValue);
    QColor Color() const { return FColor; }
    void SetColor(const QColor &AValue);
    QColor FixedColor() const { return FFixedColor; }
    void SetFixedColor(const QColor &AValue);
    QFont TitleFont() const { return FTitleFont; }
    void SetTitleFont(const QFont &AValue);
    int DefaultColWidth() const { return FDefaultColWidth; }
    virtual void SetDefaultColWidth(int AValue);
    int DefaultRowHeight() const;
    bool DefaultDrawing() const { return FDefaultDrawing; }
    void SetDefaultDrawing(bool AValue) { FDefaultDrawing = AValue; viewport()->update(); }

    // ---- items ---------------------------------------------------------------------
    virtual int ItemCount() const = 0;
    // Item index of the current cell (the grid's SelectedIndex); -1 when none.
    int SelectedIndex() const;
    void SetSelectedIndex(int AValue);
    db::Field *SelectedField() const;
    void SetSelectedField(db::Field *AField);
    // The current record (0-based row of the data set); -1 when none.
    int CurrentRecord() const;

    // ---- selection -------------------------------------------------------------------
    TBookmarkList &SelectedRecords() { return FBookmarks; }
    int SelStart() const { return FSelStart; }
    int SelEnd() const { return FSelEnd; }
    void SetSelStart(int AValue) { FSelStart = AValue; viewport()->update(); }
    void SetSelEnd(int AValue) { FSelEnd = AValue; viewport()->update(); }
    // The selection covers every item of the selected records (one flag per grid).
    bool WholeSelected() const { return FWholeSelected; }
    void SetWholeSelected(bool AValue) { FWholeSelected = AValue; viewport()->update(); }
    // The cell under the last mouse press, in grid coordinates (fixed cells counted).
    QPoint SelectedCell() const { return FSelectedCell; }
    // The rectangle of grid cell (ACol, ARow), fixed cells counted, in the grid's coordinates.
    QRect GetCellRect(int ACol, int ARow) const;
    // Is the cell of a record and an item painted in the highlight colours.
    bool CellHighlighted(int ARecord, int AItem) const;

    // ---- commands for the Edit menu -----------------------------------------------------
    void copy();
    void paste();
    void clear();
    void selectAll() override;
    // The text copy() would put on the clipboard.
    QString SelectionText();

    // ---- handling, public for hosts and tests ------------------------------------------------
    // The grid's key handling (inside the auto-commit bracket); true when the key was used.
    bool KeyDown(int AKey, Qt::KeyboardModifiers AShift);
    // Posts a pending change as when the focus leaves the grid; false when it failed (the
    // failure was shown and the record stays in edit state).
    bool LeaveGrid();
    // Pastes TAB/line-separated records; false when nothing was pasted (the reason was shown).
    bool PasteRecords(const QString &AText);
    // The editor of the current cell, null when none is open.
    TkdInplaceEditor *InplaceEditor() const { return FEditor; }
    bool EditorMode() const { return FEditor != nullptr; }
    void ShowEditor();
    void HideEditor();

    // Events (the design's event properties).
    std::function<void()> OnEditButtonClick;
    std::function<void()> OnDblClick;
    std::function<void()> OnColEnter;
    std::function<void()> OnColExit;

    // ---- item host ---------------------------------------------------------------------
    QColor HostColor() const override { return FColor; }
    QFont HostFont() const override { return font(); }
    QColor HostFixedColor() const override { return FFixedColor; }
    QFont HostTitleFont() const override { return FTitleFont; }
    TImeMode HostImeMode() const override { return imDontCare; }
    QString HostImeName() const override { return QString(); }
    bool HostReadOnly() const override { return FReadOnly; }
    int HostDefaultColWidth() const override { return FDefaultColWidth; }
    bool HostShowsTitles() const override { return HasOption(dgTitles); }
    db::DataSet *HostDataSet() const override { return DataSet(); }
    bool HostLinkActive() const override { return LinkActive(); }
    bool HostLayoutFromDataset() const override { return FLayoutFromDataset; }
    bool HostUpdateFields() const override { return true; }
    void HostItemChanged(int AIndex) override;

    // ---- editor host -----------------------------------------------------------------
    bool HostEditorKeyDown(TkdInplaceEditor *AEditor, QKeyEvent *AEvent) override;
    void HostStoreEditText(TkdInplaceEditor *AEditor, const QString &AText) override;
    QString HostCellText(const TkdInplaceEditor *AEditor) const override;
    QStringList HostPickList(const TkdInplaceEditor *AEditor) const override;
    int HostDropDownRows(const TkdInplaceEditor *AEditor) const override;
    void HostEditButtonClick(TkdInplaceEditor *AEditor) override;
    bool HostCopy(TkdInplaceEditor *AEditor) override;
    bool HostPaste(TkdInplaceEditor *AEditor) override;
    bool HostClear(TkdInplaceEditor *AEditor) override;
    void HostEditorGone(TkdInplaceEditor *AEditor) override;

    // Re-reads the items and lays the grid out.
    void Relayout();

protected:
    friend class TkdDBGridDelegate;

    // ---- what the two grids do differently --------------------------------------------
    bool IsColumnar() const { return FColumnar; }
    QHeaderView *TitleHeader() const { return FColumnar ? horizontalHeader() : verticalHeader(); }
    QHeaderView *IndicatorHeader() const { return FColumnar ? verticalHeader() : horizontalHeader(); }
    int RecordOf(const QModelIndex &AIndex) const { return FColumnar ? AIndex.row() : AIndex.column(); }
    int FieldOf(const QModelIndex &AIndex) const { return FColumnar ? AIndex.column() : AIndex.row(); }
    QModelIndex ViewIndex(int ARecord, int AField) const;

    // Item access for the core.
    virtual db::Field *ItemField(int AItem) const = 0;
    virtual int ItemFieldIndex(int AItem) const = 0;
    virtual bool ItemShowing(int AItem) const = 0;
    virtual bool ItemReadOnly(int AItem) const = 0;
    virtual TAlignment ItemAlignment(int AItem) const = 0;
    virtual QColor ItemColor(int AItem) const = 0;
    virtual QFont ItemFont(int AItem) const = 0;
    virtual QString ItemCaption(int AItem) const = 0;
    virtual QColor ItemTitleColor(int AItem) const = 0;
    virtual QFont ItemTitleFont(int AItem) const = 0;
    virtual TAlignment ItemTitleAlignment(int AItem) const = 0;
    virtual QStringList ItemPickList(int AItem) const = 0;
    virtual int ItemDropDownRows(int AItem) const = 0;
    virtual TColumnButtonStyle ItemButtonStyle(int AItem) const = 0;
    virtual int ItemWidth(int AItem) const = 0;
    virtual QMenu *ItemPopupMenu(int AItem) const = 0;
    // The collection: default items rebuilt from the data set's visible fields.
    virtual void SyncItemsWithFields() = 0;
    virtual void MoveItem(int AFrom, int ATo) = 0;
    virtual void ItemWidthChanged(int AItem, int AWidth) = 0;
    // Events with items.
    virtual void FireTitleClick(int AItem) = 0;
    virtual void FireCellClick(int AItem) = 0;
    virtual void FireDrawCell(QPainter *APainter, const QRect &ARect, int AItem, const TGridDrawState &AState) = 0;
    // Moves to item AItem (skipping hidden items in ADirection) and updates the item range.
    virtual void MoveToItem(int AItem, int ADirection, Qt::KeyboardModifiers AShift);

    // ---- Qt --------------------------------------------------------------------------
    void keyPressEvent(QKeyEvent *AEvent) override;
    void mousePressEvent(QMouseEvent *AEvent) override;
    void mouseReleaseEvent(QMouseEvent *AEvent) override;
    void mouseDoubleClickEvent(QMouseEvent *AEvent) override;
    void wheelEvent(QWheelEvent *AEvent) override;
    void focusInEvent(QFocusEvent *AEvent) override;
    void changeEvent(QEvent *AEvent) override;
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override;
    void currentChanged(const QModelIndex &ACurrent, const QModelIndex &APrevious) override;
    void closeEditor(QWidget *AEditor, QAbstractItemDelegate::EndEditHint AHint) override;

    // ---- shared routines -------------------------------------------------------------
    int ItemOfField(int AField) const;
    int VisibleRecordCount() const;
    int FirstVisibleRecord() const;
    void SyncCurrent();
    void MoveBy(int ADistance);
    void MoveToRecord(int ARecord);
    void NextRecord(bool ASelect, Qt::KeyboardModifiers AShift);
    void PriorRecord(bool ASelect, Qt::KeyboardModifiers AShift);
    void MoveWithSelection(bool ASelect, int ADirection, Qt::KeyboardModifiers AShift);
    void TabToItem(bool AForward);
    void ClearRecordSelection();
    bool ConfirmDelete();
    void DeleteRecords();
    bool CanModifyData();
    bool CanEditCell(int AItem);
    bool InsertUnchanged();
    void StoreEditorText();
    void ResetEdit();
    void IndicatorPress(int ARecord, Qt::MouseButton AButton, Qt::KeyboardModifiers AShift);
    void SelectRecordRange(int AFrom, int ATo);
    void CellPress(int ARecord, int AItem, Qt::MouseButton AButton, Qt::KeyboardModifiers AShift);
    void PaintIndicator(QPainter *APainter, const QRect &ARect, int ARecord) const;
    void PaintTitle(QPainter *APainter, const QRect &ARect, int AField) const;
    void ApplyItemLayout();
    void ShowFetchFailure(const QString &AMessage);
    void FocusChanged(QWidget *AOld, QWidget *ANow);
    bool Guard(const std::function<void()> &AWork);
    int TitleExtent() const;

    bool FColumnar;
    QPointer<TkdDataSetModel> FModel;
    QTransposeProxyModel *FTranspose = nullptr;
    TkdDBGridDelegate *FDelegate;
    TkdDBGridHeader *FTitleHeader;
    TkdDBGridHeader *FIndicatorHeader;
    TkdInplaceEditor *FEditor = nullptr;
    TBookmarkList FBookmarks;
    TDBGridOptions FOptions = dgDefaultOptions;
    QColor FColor;
    QColor FFixedColor;
    QFont FTitleFont;
    int FDefaultColWidth = 64;
    bool FReadOnly = false;
    bool FDefaultDrawing = true;
    bool FLayoutFromDataset = false;
    int FLayoutLock = 0;
    int FSelStart = 0;
    int FSelEnd = 0;
    bool FWholeSelected = false;
    bool FSelecting = false;
    db::DataSet::Bookmark FSelectionAnchor;
    QPoint FSelectedCell{0, 0};
    int FCurrentItem = 0;
    bool FSyncing = false;
    bool FEditModified = false;  // the user changed the current record since it became current
    bool FInCopyOrPaste = false;
    bool FFailureShown = false;
    bool FLeaving = false;
    bool FInItemExit = false;
    bool FTabbing = false;
    db::DataSet::Bookmark FLastRecord; // the record the user's changes belong to
    std::vector<int> FFieldToItem; // field index → item index (-1: not shown by any item)
    QMetaObject::Connection FFocusConnection;
};

template <bool Columnar>
class TkdDBGridT : public TkdDBGridBase
{
public:
    using TItem = TGridItemT<Columnar>;
    using TItems = TGridItemsT<Columnar>;

    explicit TkdDBGridT(QWidget *AParent = nullptr);

    int ItemCount() const override { return FItems.Count(); }
    TItems &Items() { return FItems; }
    const TItems &Items() const { return FItems; }

    // Events with the item (a column of TkdDBGridV, a row of TkdDBGridH).
    std::function<void(TItem *)> OnTitleClick;
    std::function<void(TItem *)> OnCellClick;
    // Called by the delegate after its own painting of a data cell.
    std::function<void(QPainter *, const QRect &, int, TItem *, const TGridDrawState &)> OnDrawCell;
    std::function<void(int, int)> OnItemMoved;

protected:
    db::Field *ItemField(int AItem) const override { return FItems[AItem]->Field(); }
    int ItemFieldIndex(int AItem) const override { return FItems[AItem]->FieldIndex(); }
    bool ItemShowing(int AItem) const override { return FItems[AItem]->Showing(); }
    bool ItemReadOnly(int AItem) const override { return FItems[AItem]->ReadOnly(); }
    TAlignment ItemAlignment(int AItem) const override { return FItems[AItem]->Alignment(); }
    QColor ItemColor(int AItem) const override { return FItems[AItem]->Color(); }
    QFont ItemFont(int AItem) const override { return FItems[AItem]->Font(); }
    QString ItemCaption(int AItem) const override { return FItems[AItem]->Title()->Caption(); }
    QColor ItemTitleColor(int AItem) const override { return FItems[AItem]->Title()->Color(); }
    QFont ItemTitleFont(int AItem) const override { return FItems[AItem]->Title()->Font(); }
    TAlignment ItemTitleAlignment(int AItem) const override { return FItems[AItem]->Title()->Alignment(); }
    QStringList ItemPickList(int AItem) const override { return FItems[AItem]->PickList(); }
    int ItemDropDownRows(int AItem) const override { return FItems[AItem]->DropDownRows(); }
    TColumnButtonStyle ItemButtonStyle(int AItem) const override { return FItems[AItem]->ButtonStyle(); }
    int ItemWidth(int AItem) const override { return FItems[AItem]->Width(); }
    QMenu *ItemPopupMenu(int AItem) const override { return FItems[AItem]->PopupMenu(); }
    void SyncItemsWithFields() override;
    void MoveItem(int AFrom, int ATo) override;
    void ItemWidthChanged(int AItem, int AWidth) override;
    void FireTitleClick(int AItem) override;
    void FireCellClick(int AItem) override;
    void FireDrawCell(QPainter *APainter, const QRect &ARect, int AItem, const TGridDrawState &AState) override;

    TItems FItems;
};

extern template class TkdDBGridT<true>;
extern template class TkdDBGridT<false>;

// One record per row.
class TkdDBGridV : public TkdDBGridT<true>
{
    Q_OBJECT
public:
    explicit TkdDBGridV(QWidget *AParent = nullptr);
    TDBGridColumns &Columns() { return FItems; }
    TBookmarkList &SelectedRows() { return FBookmarks; }
    int ColStart() const { return FSelStart; }
    int ColEnd() const { return FSelEnd; }
    void SetColStart(int AValue) { SetSelStart(AValue); }
    void SetColEnd(int AValue) { SetSelEnd(AValue); }
    bool WholeRowSelected() const { return FWholeSelected; }
    void SetWholeRowSelected(bool AValue) { SetWholeSelected(AValue); }
    std::function<void(QPainter *, const QRect &, int, TColumn *, const TGridDrawState &)> &OnDrawColumnCell() { return OnDrawCell; }
    void MoveToColumn(int AItem, int ADirection, Qt::KeyboardModifiers AShift) { MoveToItem(AItem, ADirection, AShift); }
};

// One record per column.
class TkdDBGridH : public TkdDBGridT<false>
{
    Q_OBJECT
public:
    explicit TkdDBGridH(QWidget *AParent = nullptr);
    TDBGridRows &Rows() { return FItems; }
    TBookmarkList &SelectedCols() { return FBookmarks; }
    int RowStart() const { return FSelStart; }
    int RowEnd() const { return FSelEnd; }
    void SetRowStart(int AValue) { SetSelStart(AValue); }
    void SetRowEnd(int AValue) { SetSelEnd(AValue); }
    bool WholeColSelected() const { return FWholeSelected; }
    void SetWholeColSelected(bool AValue) { SetWholeSelected(AValue); }
    std::function<void(QPainter *, const QRect &, int, TRow *, const TGridDrawState &)> &OnDrawRowCell() { return OnDrawCell; }
    // Every record column has DefaultColWidth; sizing one sizes all.
    void SetDefaultColWidth(int AValue) override;
    // The width of grid column AIndex (0: the title column).
    int GetColWidth(int AIndex) const;
    void MoveToRow(int AItem, int ADirection, Qt::KeyboardModifiers AShift) { MoveToItem(AItem, ADirection, AShift); }

protected:
    void MoveToItem(int AItem, int ADirection, Qt::KeyboardModifiers AShift) override;
};

// Splits clipboard text into records of values: TAB between values, LF or CR LF between
// records; a value that starts with a double quote runs to the next lone double quote, with
// doubled quotes read as one and line breaks kept. The inverse of a grid's copy.
QList<QStringList> KdParseClipboardRecords(const QString &AText);

// Gives both data grids the fixed-pitch data font of the general options, and the
// column-wise grid its record-column width of DataColWidthH capital letters "A".
// Registered as a branch of ApplySharedSettings the first time a data grid is made.
void KdInstallDBGridSettings();
