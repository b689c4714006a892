#pragma once
// The editable text grid of the forms (column lists, parameter and WHERE grids, report
// layouts). Row 0 is the title row when FixedRows is 1; its texts show in the header and take
// part in the snapshot like every other row. Each column has an edit style: plain, ellipsis
// button, pick list, drop list, check box or display-only check box (a cell holding "1").
// Save takes a snapshot of every cell; the change queries by grid, row, column and cell then
// tell an editor which statements to generate.
#include "controls/kdstdctl.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPoint>
#include <QStringList>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVariant>

#include <functional>

class QDropEvent;
class QListWidget;
class QMimeData;
class QScrollBar;
class QToolButton;
class TkdStringGrid;

enum TkdGridEditorMode { geAccess, geExcel, geNormal };
enum TkdGridEditStyle { geSimple, geEllipsis, gePickList, geDropList, geCheckBox, geViewCheckBox };

// Fills the pick list of cell (ACol, ARow).
using TOnGetPickListItems = std::function<void(int ACol, int ARow, QStringList &AItems)>;

// A drag over the grid or a drop on it: the position in the grid's viewport (what indexAt
// and MouseCoord take), wherever it happened, on a cell or on the cell editor; the data
// carried; and the widget the drag started from (nullptr for a drag from another program).
struct TkdGridDragInfo
{
    QPoint Pos;
    const QMimeData *Data = nullptr;
    QObject *Source = nullptr;
};
// True when the grid takes the drag at that position.
using TOnGridDragOver = std::function<bool(TkdStringGrid *ASender, const TkdGridDragInfo &AInfo)>;
using TOnGridDragDrop = std::function<void(TkdStringGrid *ASender, const TkdGridDragInfo &AInfo)>;

// Cell store of the grid: every row including the title row, text and object per cell. The
// model shows the rows below the fixed rows; the title row feeds the horizontal header.
class TkdStringGridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TkdStringGridModel(QObject *AParent = nullptr);

    int rowCount(const QModelIndex &AParent = QModelIndex()) const override;
    int columnCount(const QModelIndex &AParent = QModelIndex()) const override;
    QVariant data(const QModelIndex &AIndex, int ARole = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &AIndex, const QVariant &AValue, int ARole = Qt::EditRole) override;
    QVariant headerData(int ASection, Qt::Orientation AOrientation, int ARole = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &AIndex) const override;

    // Grid coordinates (row 0 is the first fixed row).
    int GridRowCount() const { return int(FCells.size()); }
    int GridColCount() const { return FColCount; }
    int FixedRows() const { return FFixedRows; }
    void SetFixedRows(int AValue);
    void SetGridRowCount(int AValue);
    void SetGridColCount(int AValue);
    QString Cell(int ACol, int ARow) const;
    void SetCell(int ACol, int ARow, const QString &AText);
    QVariant Object(int ACol, int ARow) const;
    void SetObject(int ACol, int ARow, const QVariant &AObject);
    QStringList RowTexts(int ARow) const;
    void MoveGridRow(int AFrom, int ATo);
    void RemoveGridRow(int ARow);
    void MoveGridCol(int AFrom, int ATo);
    // Empties the text of every non-fixed cell and keeps FixedRows + 1 rows.
    void ClearCells();

    QModelIndex IndexOf(int ACol, int ARow) const;

private:
    struct TCell
    {
        QString Text;
        QVariant Object;
    };
    bool ValidCell(int ACol, int ARow) const;

    QList<QList<TCell>> FCells; // FCells[row][col]
    int FColCount = 5;
    int FFixedRows = 1;
};

class TkdInplaceEditor;

// A grid other than the string grid that hosts the cell editor: it supplies the cell text and
// pick list, takes the edited text, sees every key first, and may take over the editor's
// copy, paste and clear (records instead of text).
class TkdInplaceHost
{
public:
    virtual ~TkdInplaceHost() = default;
    // True when the host used the key; the editor then ignores it.
    virtual bool HostEditorKeyDown(TkdInplaceEditor *AEditor, QKeyEvent *AEvent) = 0;
    virtual void HostStoreEditText(TkdInplaceEditor *AEditor, const QString &AText) = 0;
    virtual QString HostCellText(const TkdInplaceEditor *AEditor) const = 0;
    virtual QStringList HostPickList(const TkdInplaceEditor *AEditor) const = 0;
    virtual int HostDropDownRows(const TkdInplaceEditor *) const { return 7; }
    virtual void HostEditButtonClick(TkdInplaceEditor *AEditor) = 0;
    // True when the host did the copy, paste or clear itself.
    virtual bool HostCopy(TkdInplaceEditor *) { return false; }
    virtual bool HostPaste(TkdInplaceEditor *) { return false; }
    virtual bool HostClear(TkdInplaceEditor *) { return false; }
    virtual void HostEditorGone(TkdInplaceEditor *) {}
};

// The cell editor: a text box, with an ellipsis button or a drop-down list by the column's
// edit style. A drop-list cell (MaxLength -1) changes only by a choice from the list. It
// serves the string grid, or any grid that implements TkdInplaceHost.
class TkdInplaceEditor : public QWidget
{
    Q_OBJECT
public:
    TkdInplaceEditor(TkdStringGrid *AGrid, QWidget *AParent);
    TkdInplaceEditor(TkdInplaceHost *AHost, QWidget *AParent);
    ~TkdInplaceEditor() override;

    // Loads the editor for a cell: style, text and maximum length (-1: not modifiable).
    void Setup(int ACol, int ARow, TkdGridEditStyle AStyle, const QString &AText, int AMaxLength);
    int EditCol() const { return FCol; }
    int EditRow() const { return FRow; }
    TkdGridEditStyle EditStyle() const { return FStyle; }
    QString Text() const;
    void SetText(const QString &AText);
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int AValue);
    TEditCharCase CharCase() const { return FFilter->FCharCase; }
    void SetCharCase(TEditCharCase AValue);
    QLineEdit *Edit() const { return FEdit; }
    QToolButton *Button() const { return FButton; }
    QListWidget *ListBox() const { return FList; }
    QStringList PickList() const { return FPickList; }
    bool ListVisible() const;

    // Commits the editor's text to the cell when it differs.
    void InputComplite();
    // Opens the drop-down list (pick-list and drop-list cells), refreshing its items.
    void DropDown();
    // Closes the list; with AAccept the chosen item is taken.
    void CloseUp(bool AAccept);
    // The edit commands: the host may take them over (records), else they act on the text.
    void Copy();
    void Paste();
    void Clear();
    // The selection starts at 0 and covers the whole text (counted in characters).
    bool WholeTextSelected() const;
    // The host is going away: the editor no longer calls it.
    void DetachHost() { FHost = nullptr; }

Q_SIGNALS:
    // A change made by the user (typing, deletion, cut, paste).
    void Changed();
    // The ellipsis button was pressed (after the grid's OnEditButtonClick).
    void ButtonClicked();

protected:
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
    friend class TkdStringGrid;
    void RefreshPickList();
    bool CompleteFromPickList(const QString &ATyped);
    void ChooseItem(int AIndex);
    void Init();
    void StoreText(const QString &AText);
    QString CellText() const;

    TkdStringGrid *FGrid;
    TkdInplaceHost *FHost = nullptr;
    QLineEdit *FEdit;
    QToolButton *FButton;
    QListWidget *FList;
    TkdTextFilter *FFilter;
    QStringList FPickList;
    TkdGridEditStyle FStyle = geSimple;
    int FCol = -1;
    int FRow = -1;
    int FMaxLength = 0;
};

// Paints check-box cells and creates the cell editor.
class TkdStringGridDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit TkdStringGridDelegate(TkdStringGrid *AGrid);

    QWidget *createEditor(QWidget *AParent, const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const override;
    void setEditorData(QWidget *AEditor, const QModelIndex &AIndex) const override;
    void setModelData(QWidget *AEditor, QAbstractItemModel *AModel, const QModelIndex &AIndex) const override;
    void updateEditorGeometry(QWidget *AEditor, const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const override;
    void paint(QPainter *APainter, const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const override;

private:
    void RaiseDrawCell(QPainter *APainter, const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const;

    TkdStringGrid *FGrid;
};

class TkdStringGrid : public QTableView
{
    Q_OBJECT
public:
    explicit TkdStringGrid(QWidget *AOwner = nullptr);
    ~TkdStringGrid() override;

    TkdStringGridModel *Model() const { return FModel; }

    // Size and contents, in grid coordinates (row 0 is the title row when FixedRows is 1).
    int RowCount() const { return FModel->GridRowCount(); }
    void SetRowCount(int AValue);
    int ColCount() const { return FModel->GridColCount(); }
    void SetColCount(int AValue);
    int FixedRows() const { return FModel->FixedRows(); }
    void SetFixedRows(int AValue) { FModel->SetFixedRows(AValue); }
    QString Cells(int ACol, int ARow) const { return FModel->Cell(ACol, ARow); }
    void SetCells(int ACol, int ARow, const QString &AText) { FModel->SetCell(ACol, ARow, AText); }
    QVariant Objects(int ACol, int ARow) const { return FModel->Object(ACol, ARow); }
    void SetObjects(int ACol, int ARow, const QVariant &AObject) { FModel->SetObject(ACol, ARow, AObject); }
    QStringList Header() const;
    void SetHeader(const QStringList &ATexts);

    // Current cell in grid coordinates.
    int Col() const;
    int Row() const;
    void SetCol(int AValue);
    void SetRow(int AValue);
    void SetCurrentCell(int ACol, int ARow);

    TkdGridEditorMode GridMode() const { return FGridMode; }
    void SetGridMode(TkdGridEditorMode AValue);
    TkdGridEditStyle EditStyles(int AIndex) const;
    void SetEditStyles(int AIndex, TkdGridEditStyle AValue);
    bool FlatCheckBox() const { return FFlatCheckBox; }
    void SetFlatCheckBox(bool AValue);
    // Draws the check box of cell (ACol, ARow) centred in AR: text 1 checked, 2 checked with
    // the three-state look, anything else unchecked.
    void DrawCheck(QPainter *APainter, int ACol, int ARow, const QRect &AR, bool AEnabled) const;
    // True in a check-box column whose cell text is exactly "1".
    bool Checked(int ACol, int ARow) const;
    // Writes "1" or an empty text through the store path (check-box columns only).
    void SetChecked(int ACol, int ARow, bool AValue);
    // The editor of the current cell while it is shown, else nullptr.
    TkdInplaceEditor *InplaceEditor() const;
    bool EditorMode() const { return InplaceEditor() != nullptr; }

    void Clear();
    void MoveRow(int AFromIndex, int AToIndex);
    void InsertRow(int AIndex);
    void DeleteRow(int AIndex);
    void InsertCol(int AIndex);

    // Snapshot and change queries.
    void Save();
    int SaveRowCount() const { return int(FSaveRows.size()); }
    QStringList SaveRows(int ARow) const;
    QString SaveCells(int ACol, int ARow) const;
    QStringList SaveCols(int ACol) const;
    bool IsChanged() const;
    bool IsChangedRow(int ARow) const;
    bool IsChangedCol(int ACol) const;
    bool IsChangedCell(int ACol, int ARow) const;
    bool IsNull(int ACol, int ARow) const;

    // The one path by which a text reaches a cell from the editor, the list or Checked:
    // OnBeforeSetEditText, the text stored, OnSetEditText.
    void StoreEditText(int ACol, int ARow, const QString &AValue);
    // Commits the shown editor's text when it differs from the current cell.
    void InputComplite();

    TOnGetPickListItems OnGetPickListitems;

    // Drag and drop: a grid with a drag-over handler takes the drags it accepts, over its
    // cells and over its cell editor alike; the drop handler runs for an accepted drop.
    // Without a drag-over handler the grid takes no drag (the editor still takes text).
    void SetOnDragOver(TOnGridDragOver AHandler);
    void SetOnDragDrop(TOnGridDragDrop AHandler) { FOnDragDrop = std::move(AHandler); }
    // The cell under a viewport position, in grid coordinates; (-1, -1) outside the cells.
    QPoint MouseCoord(const QPoint &APos) const;
    // The grid's handling of a drag enter, move or drop at APos (viewport coordinates):
    // true, with the event accepted, when the drag-over handler took it.
    bool GridDragEvent(QDropEvent *AEvent, const QPoint &APos);

    // Key handling shared by the grid and its editor; true when the key was consumed.
    bool GridKeyDown(int AKey, Qt::KeyboardModifiers AModifiers);
    // The editor's keys (before its own handling); true when consumed.
    bool EditorKeyDown(TkdInplaceEditor *AEditor, QKeyEvent *AEvent);

public Q_SLOTS:
    // The current cell's text to the clipboard (not while the editor is shown).
    void copy();

Q_SIGNALS:
    void OnShowEditor(TkdStringGrid *ASender, int ACol, int ARow, TkdInplaceEditor *AEditor);
    void OnSelectListItems(TkdStringGrid *ASender, int ACol, int ARow, int AIndex);
    void OnEditButtonClick(TkdStringGrid *ASender);
    void OnBeforeSetEditText(TkdStringGrid *ASender, int ACol, int ARow, const QString &AValue);
    void OnSetEditText(TkdStringGrid *ASender, int ACol, int ARow, const QString &AValue);
    void OnSelectCell(TkdStringGrid *ASender, int ACol, int ARow);
    void OnDataChanged(TkdStringGrid *ASender);
    // After a data cell was drawn (its text, or the check box of a check-box column): the
    // cell in grid coordinates, its rectangle and state, and the painter to draw over it with
    // (valid only during the call; connect directly).
    void OnDrawCell(TkdStringGrid *ASender, int ACol, int ARow, const QRect &ARect, QPainter *APainter,
                    QStyle::State AState);

protected:
    void keyPressEvent(QKeyEvent *AEvent) override;
    void mousePressEvent(QMouseEvent *AEvent) override;
    void mouseDoubleClickEvent(QMouseEvent *AEvent) override;
    void focusInEvent(QFocusEvent *AEvent) override;
    void currentChanged(const QModelIndex &ACurrent, const QModelIndex &APrevious) override;
    void closeEditor(QWidget *AEditor, QAbstractItemDelegate::EndEditHint AHint) override;
    void dragEnterEvent(QDragEnterEvent *AEvent) override;
    void dragMoveEvent(QDragMoveEvent *AEvent) override;
    void dragLeaveEvent(QDragLeaveEvent *AEvent) override;
    void dropEvent(QDropEvent *AEvent) override;

private:
    friend class TkdStringGridDelegate;
    friend class TkdInplaceEditor;
    static QString RowText(const QStringList &ACells);
    bool IsCheckStyle(int ACol) const;
    void ToggleCurrentCheck();
    void ShowEditorIfAlways();
    void HideEditor();
    void SetEditorShown(TkdInplaceEditor *AEditor) { FEditor = AEditor; }
    void MoveRowBy(int ADelta);
    // Page requests of a scroll bar move by half the visible rows or columns.
    void HalfPageSteps(QScrollBar *ABar);

    TkdStringGridModel *FModel;
    TkdGridEditorMode FGridMode = geNormal;
    QList<QStringList> FSaveRows;
    QList<TkdGridEditStyle> FEditStyles;
    bool FFlatCheckBox = false;
    TkdInplaceEditor *FEditor = nullptr;
    TOnGridDragOver FOnDragOver;
    TOnGridDragDrop FOnDragDrop;
};

// The string-grid steps of the shared settings for a control a window passes in: a
// TkdStringGrid gets the editor mode geAccess (and keeps its font); any other table view gets
// the fixed-pitch data font. Returns false when the control is not a string grid.
bool KdApplyGridSettings(QWidget *AControl, const QString &ADataFontName, int ADataFontSize);
// The same with the data font of the general options (TkdOption).
bool KdApplyGridSettings(QWidget *AControl);
