#include "controls/kdgrid.h"
#include "core/kdsub_options.h"

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListWidget>
#include <QPainter>
#include <QScrollBar>
#include <QTableWidget>
#include <QToolButton>

// ---------------------------------------------------------------- TkdStringGridModel

TkdStringGridModel::TkdStringGridModel(QObject *AParent) : QAbstractTableModel(AParent)
{
    FCells.resize(5, QList<TCell>(FColCount));
}

int TkdStringGridModel::rowCount(const QModelIndex &AParent) const
{
    return AParent.isValid() ? 0 : GridRowCount() - FFixedRows;
}

int TkdStringGridModel::columnCount(const QModelIndex &AParent) const
{
    return AParent.isValid() ? 0 : FColCount;
}

QVariant TkdStringGridModel::data(const QModelIndex &AIndex, int ARole) const
{
    if (!AIndex.isValid() || (ARole != Qt::DisplayRole && ARole != Qt::EditRole))
        return {};
    return Cell(AIndex.column(), AIndex.row() + FFixedRows);
}

bool TkdStringGridModel::setData(const QModelIndex &AIndex, const QVariant &AValue, int ARole)
{
    if (!AIndex.isValid() || ARole != Qt::EditRole)
        return false;
    SetCell(AIndex.column(), AIndex.row() + FFixedRows, AValue.toString());
    return true;
}

QVariant TkdStringGridModel::headerData(int ASection, Qt::Orientation AOrientation, int ARole) const
{
    if (AOrientation == Qt::Horizontal && ARole == Qt::DisplayRole && FFixedRows > 0
        && ASection >= 0 && ASection < FColCount)
        return Cell(ASection, 0);
    return QAbstractTableModel::headerData(ASection, AOrientation, ARole);
}

Qt::ItemFlags TkdStringGridModel::flags(const QModelIndex &AIndex) const
{
    if (!AIndex.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool TkdStringGridModel::ValidCell(int ACol, int ARow) const
{
    return ARow >= 0 && ARow < GridRowCount() && ACol >= 0 && ACol < FColCount;
}

QModelIndex TkdStringGridModel::IndexOf(int ACol, int ARow) const
{
    if (!ValidCell(ACol, ARow) || ARow < FFixedRows)
        return {};
    return index(ARow - FFixedRows, ACol);
}

void TkdStringGridModel::SetFixedRows(int AValue)
{
    AValue = qBound(0, AValue, 1);
    if (AValue == FFixedRows)
        return;
    beginResetModel();
    FFixedRows = AValue;
    while (GridRowCount() < FFixedRows + 1)
        FCells.append(QList<TCell>(FColCount));
    endResetModel();
}

void TkdStringGridModel::SetGridRowCount(int AValue)
{
    AValue = qMax(AValue, FFixedRows);
    const int old = GridRowCount();
    if (AValue > old) {
        beginInsertRows({}, old - FFixedRows, AValue - FFixedRows - 1);
        FCells.resize(AValue, QList<TCell>(FColCount));
        endInsertRows();
    } else if (AValue < old) {
        beginRemoveRows({}, AValue - FFixedRows, old - FFixedRows - 1);
        FCells.resize(AValue);
        endRemoveRows();
    }
}

void TkdStringGridModel::SetGridColCount(int AValue)
{
    AValue = qMax(AValue, 1);
    const int old = FColCount;
    if (AValue > old) {
        beginInsertColumns({}, old, AValue - 1);
        FColCount = AValue;
        for (auto &row : FCells)
            row.resize(AValue);
        endInsertColumns();
    } else if (AValue < old) {
        beginRemoveColumns({}, AValue, old - 1);
        FColCount = AValue;
        for (auto &row : FCells)
            row.resize(AValue);
        endRemoveColumns();
    }
}

QString TkdStringGridModel::Cell(int ACol, int ARow) const
{
    return ValidCell(ACol, ARow) ? FCells.at(ARow).at(ACol).Text : QString();
}

void TkdStringGridModel::SetCell(int ACol, int ARow, const QString &AText)
{
    if (!ValidCell(ACol, ARow) || FCells[ARow][ACol].Text == AText)
        return;
    FCells[ARow][ACol].Text = AText;
    if (ARow < FFixedRows)
        Q_EMIT headerDataChanged(Qt::Horizontal, ACol, ACol);
    else {
        const QModelIndex i = index(ARow - FFixedRows, ACol);
        Q_EMIT dataChanged(i, i);
    }
}

QVariant TkdStringGridModel::Object(int ACol, int ARow) const
{
    return ValidCell(ACol, ARow) ? FCells.at(ARow).at(ACol).Object : QVariant();
}

void TkdStringGridModel::SetObject(int ACol, int ARow, const QVariant &AObject)
{
    if (ValidCell(ACol, ARow))
        FCells[ARow][ACol].Object = AObject;
}

QStringList TkdStringGridModel::RowTexts(int ARow) const
{
    QStringList texts;
    if (ARow < 0 || ARow >= GridRowCount())
        return texts;
    texts.reserve(FColCount);
    for (const TCell &cell : FCells.at(ARow))
        texts << cell.Text;
    return texts;
}

void TkdStringGridModel::MoveGridRow(int AFrom, int ATo)
{
    if (AFrom == ATo || AFrom < 0 || ATo < 0 || AFrom >= GridRowCount() || ATo >= GridRowCount())
        return;
    if (AFrom < FFixedRows || ATo < FFixedRows) {
        // The title row takes part: everything may change.
        beginResetModel();
        FCells.move(AFrom, ATo);
        endResetModel();
        return;
    }
    const int from = AFrom - FFixedRows;
    const int to = ATo - FFixedRows;
    beginMoveRows({}, from, from, {}, to > from ? to + 1 : to);
    FCells.move(AFrom, ATo);
    endMoveRows();
}

void TkdStringGridModel::RemoveGridRow(int ARow)
{
    // The last data row goes like any other, leaving the fixed rows alone; only a fixed row
    // that is all the grid holds stays.
    if (ARow < 0 || ARow >= GridRowCount() || GridRowCount() <= FFixedRows)
        return;
    if (ARow < FFixedRows) {
        beginResetModel();
        FCells.removeAt(ARow);
        endResetModel();
        return;
    }
    beginRemoveRows({}, ARow - FFixedRows, ARow - FFixedRows);
    FCells.removeAt(ARow);
    endRemoveRows();
}

void TkdStringGridModel::MoveGridCol(int AFrom, int ATo)
{
    if (AFrom == ATo || AFrom < 0 || ATo < 0 || AFrom >= FColCount || ATo >= FColCount)
        return;
    beginMoveColumns({}, AFrom, AFrom, {}, ATo > AFrom ? ATo + 1 : ATo);
    for (auto &row : FCells)
        row.move(AFrom, ATo);
    endMoveColumns();
    Q_EMIT headerDataChanged(Qt::Horizontal, qMin(AFrom, ATo), qMax(AFrom, ATo));
}

void TkdStringGridModel::ClearCells()
{
    for (int r = FFixedRows; r < GridRowCount(); ++r)
        for (TCell &cell : FCells[r])
            cell.Text.clear();
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, FColCount - 1));
    SetGridRowCount(FFixedRows + 1);
}

// ---------------------------------------------------------------- TkdInplaceEditor

namespace {

bool IsListStyle(TkdGridEditStyle AStyle)
{
    return AStyle == gePickList || AStyle == geDropList;
}

// The drag events that carry a position and data (a leave carries neither).
bool IsDragEvent(QEvent::Type AType)
{
    return AType == QEvent::DragEnter || AType == QEvent::DragMove || AType == QEvent::Drop;
}

} // namespace

TkdInplaceEditor::TkdInplaceEditor(TkdStringGrid *AGrid, QWidget *AParent)
    : QWidget(AParent), FGrid(AGrid), FEdit(new QLineEdit(this)), FButton(new QToolButton(this)),
      FList(new QListWidget(this)), FFilter(new TkdTextFilter(FEdit))
{
    Init();
}

TkdInplaceEditor::TkdInplaceEditor(TkdInplaceHost *AHost, QWidget *AParent)
    : QWidget(AParent), FGrid(nullptr), FHost(AHost), FEdit(new QLineEdit(this)), FButton(new QToolButton(this)),
      FList(new QListWidget(this)), FFilter(new TkdTextFilter(FEdit))
{
    Init();
}

void TkdInplaceEditor::Init()
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(FEdit, 1);
    layout->addWidget(FButton);
    FEdit->setFrame(false);
    FEdit->setValidator(FFilter);
    FButton->setFocusPolicy(Qt::NoFocus);
    FButton->hide();
    setFocusProxy(FEdit);
    setAutoFillBackground(true);
    FList->setWindowFlags(Qt::Popup);
    FList->hide();
    FEdit->installEventFilter(this);
    FList->installEventFilter(this);

    connect(FEdit, &QLineEdit::textEdited, this, &TkdInplaceEditor::Changed);
    connect(FButton, &QToolButton::clicked, this, [this] {
        if (FStyle == geEllipsis) {
            if (FGrid)
                Q_EMIT FGrid->OnEditButtonClick(FGrid);
            else if (FHost)
                FHost->HostEditButtonClick(this);
            Q_EMIT ButtonClicked();
        } else if (ListVisible())
            CloseUp(false);
        else
            DropDown();
    });
    connect(FList, &QListWidget::itemClicked, this, [this](QListWidgetItem *) { CloseUp(true); });
}

TkdInplaceEditor::~TkdInplaceEditor()
{
    if (FGrid && FGrid->FEditor == this)
        FGrid->FEditor = nullptr;
    if (FHost)
        FHost->HostEditorGone(this);
}

void TkdInplaceEditor::StoreText(const QString &AText)
{
    if (FGrid)
        FGrid->StoreEditText(FCol, FRow, AText);
    else if (FHost)
        FHost->HostStoreEditText(this, AText);
}

QString TkdInplaceEditor::CellText() const
{
    if (FGrid)
        return FGrid->Cells(FCol, FRow);
    return FHost ? FHost->HostCellText(this) : QString();
}

bool TkdInplaceEditor::WholeTextSelected() const
{
    // Characters, not bytes of some code page: a selection of the whole text is exactly that.
    const QString text = FEdit->text();
    if (text.isEmpty())
        return true;
    return FEdit->hasSelectedText() && FEdit->selectionStart() == 0 && FEdit->selectedText().size() >= text.size();
}

void TkdInplaceEditor::Copy()
{
    if (FHost && FHost->HostCopy(this))
        return;
    FEdit->copy();
}

void TkdInplaceEditor::Paste()
{
    if (FEdit->isReadOnly())
        return;
    if (FHost && FHost->HostPaste(this))
        return;
    FEdit->paste();
    Q_EMIT Changed();
}

void TkdInplaceEditor::Clear()
{
    if (FHost && FHost->HostClear(this))
        return;
    if (FEdit->isReadOnly())
        return;
    FEdit->del();
    Q_EMIT Changed();
}

void TkdInplaceEditor::Setup(int ACol, int ARow, TkdGridEditStyle AStyle, const QString &AText, int AMaxLength)
{
    FCol = ACol;
    FRow = ARow;
    FStyle = AStyle;
    FPickList.clear();
    FButton->setVisible(AStyle == geEllipsis || IsListStyle(AStyle));
    if (AStyle == geEllipsis) {
        FButton->setArrowType(Qt::NoArrow);
        FButton->setText(QStringLiteral("…"));
    } else
        FButton->setArrowType(Qt::DownArrow);
    FEdit->setText(AText);
    SetMaxLength(AMaxLength);
    // Whole text selected with the caret at its start, so a long text shows its beginning.
    FEdit->setSelection(int(AText.size()), -int(AText.size()));
}

QString TkdInplaceEditor::Text() const
{
    return FEdit->text();
}

void TkdInplaceEditor::SetText(const QString &AText)
{
    FEdit->setText(AText);
}

void TkdInplaceEditor::SetMaxLength(int AValue)
{
    FMaxLength = AValue;
    // -1: the cell is not modifiable by typing; 0: no limit.
    FEdit->setReadOnly(AValue == -1);
    FEdit->setMaxLength(AValue > 0 ? AValue : 32767);
}

void TkdInplaceEditor::SetCharCase(TEditCharCase AValue)
{
    FFilter->FCharCase = AValue;
}

bool TkdInplaceEditor::ListVisible() const
{
    return FList->isVisible();
}

void TkdInplaceEditor::InputComplite()
{
    if (!FGrid && !FHost)
        return; // the grid is being destroyed
    if (FEdit->text() != CellText())
        StoreText(FEdit->text());
}

void TkdInplaceEditor::RefreshPickList()
{
    FPickList.clear();
    if (FGrid && FGrid->OnGetPickListitems)
        FGrid->OnGetPickListitems(FCol, FRow, FPickList);
    else if (FHost)
        FPickList = FHost->HostPickList(this);
}

void TkdInplaceEditor::DropDown()
{
    if (!IsListStyle(FStyle))
        return;
    RefreshPickList();
    FList->clear();
    FList->addItems(FPickList);
    FList->setCurrentRow(int(FPickList.indexOf(FEdit->text())));
    const int rows = qBound(1, int(FPickList.size()), FHost ? qMax(1, FHost->HostDropDownRows(this)) : 20);
    const int rowHeight = qMax(FList->sizeHintForRow(0), fontMetrics().height());
    FList->resize(qMax(width(), FList->sizeHintForColumn(0) + 24), rows * rowHeight + 2 * FList->frameWidth());
    FList->move(mapToGlobal(rect().bottomLeft()));
    FList->show();
    FList->setFocus();
}

void TkdInplaceEditor::CloseUp(bool AAccept)
{
    const int index = FList->currentRow();
    FList->hide();
    FEdit->setFocus();
    if (AAccept && index >= 0)
        ChooseItem(index);
}

void TkdInplaceEditor::ChooseItem(int AIndex)
{
    if ((!FGrid && !FHost) || AIndex < 0 || AIndex >= FPickList.size())
        return;
    const QString item = FPickList.at(AIndex);
    if (item != FEdit->text() || FHost) {
        FEdit->setText(item);
        StoreText(item);
    }
    if (FGrid)
        Q_EMIT FGrid->OnSelectListItems(FGrid, FCol, FRow, AIndex);
}

bool TkdInplaceEditor::CompleteFromPickList(const QString &ATyped)
{
    if (ATyped.size() != 1 || ATyped.at(0).unicode() < 32 || ATyped.at(0).unicode() == 127)
        return false; // Backspace, Tab, Esc and other control keys are not completed
    const QString text = FEdit->text();
    const QString typedText = (FEdit->hasSelectedText() ? text.left(FEdit->selectionStart()) : text) + ATyped;
    RefreshPickList();
    for (const QString &item : std::as_const(FPickList)) {
        if (item.size() >= typedText.size() && KdSameTextAscii(item.left(typedText.size()), typedText)) {
            FEdit->setText(item);
            // Caret after the typed part, the rest of the item selected.
            FEdit->setSelection(int(item.size()), -int(item.size() - typedText.size()));
            return true;
        }
    }
    return false;
}

bool TkdInplaceEditor::eventFilter(QObject *AWatched, QEvent *AEvent)
{
    if (!FGrid && !FHost)
        return QWidget::eventFilter(AWatched, AEvent);
    if (AWatched == FEdit) {
        if (AEvent->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(AEvent);
            if (FGrid ? FGrid->EditorKeyDown(this, key) : FHost->HostEditorKeyDown(this, key))
                return true;
            if (FHost) {
                // The edit commands go through the host, which may act on records.
                if (key->matches(QKeySequence::Copy)) {
                    Copy();
                    return true;
                }
                if (key->matches(QKeySequence::Paste)) {
                    Paste();
                    return true;
                }
                if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier) {
                    if (FHost->HostClear(this))
                        return true;
                }
            }
            if (FStyle == gePickList && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
                && CompleteFromPickList(key->text()))
                return true;
        } else if (AEvent->type() == QEvent::FocusIn) {
            // The view selects the whole text when it opens the editor; keep the caret at the
            // start so that a long text shows its beginning.
            FEdit->event(AEvent);
            const int length = int(FEdit->text().size());
            if (length > 0 && FEdit->selectedText().size() == length)
                FEdit->setSelection(length, -length);
            return true;
        } else if (FGrid && IsDragEvent(AEvent->type())) {
            // A drag the grid takes is the grid's alone, at the same place in the grid's
            // coordinates; the text box never inserts its text as well. A drag the grid
            // refuses stays the text box's own text drop.
            auto *drag = static_cast<QDropEvent *>(AEvent);
            const QPoint at = FEdit->mapTo(FGrid->viewport(), drag->position().toPoint());
            if (FGrid->GridDragEvent(drag, at)) {
                if (AEvent->type() == QEvent::Drop) {
                    QDragLeaveEvent leave; // takes the text box's drop caret away
                    QCoreApplication::sendEvent(FEdit, &leave);
                }
                return true;
            }
        } else if (AEvent->type() == QEvent::MouseButtonDblClick && IsListStyle(FStyle)) {
            // A list of fewer than two items has nothing to cycle through.
            if (FPickList.size() >= 2)
                ChooseItem(int((FPickList.indexOf(FEdit->text()) + 1) % FPickList.size()));
            return true;
        }
    } else if (AWatched == FList && AEvent->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(AEvent)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            CloseUp(true);
            return true;
        }
        if (key == Qt::Key_Escape) {
            CloseUp(false);
            return true;
        }
    }
    return QWidget::eventFilter(AWatched, AEvent);
}

// ---------------------------------------------------------------- TkdStringGridDelegate

TkdStringGridDelegate::TkdStringGridDelegate(TkdStringGrid *AGrid) : QStyledItemDelegate(AGrid), FGrid(AGrid) {}

QWidget *TkdStringGridDelegate::createEditor(QWidget *AParent, const QStyleOptionViewItem &, const QModelIndex &AIndex) const
{
    const int col = AIndex.column();
    const int row = AIndex.row() + FGrid->FixedRows();
    if (FGrid->IsCheckStyle(col))
        return nullptr; // check boxes toggle in place
    const TkdGridEditStyle style = FGrid->EditStyles(col);
    auto *editor = new TkdInplaceEditor(FGrid, AParent);
    editor->Setup(col, row, style, FGrid->Cells(col, row), style == geDropList ? -1 : 0);
    FGrid->FEditor = editor;
    Q_EMIT FGrid->OnShowEditor(FGrid, col, row, editor);
    if (style == geDropList)
        editor->SetMaxLength(-1); // a handler cannot make a drop-list cell typable
    auto *self = const_cast<TkdStringGridDelegate *>(this);
    // Every change the user makes reaches the cell at once.
    connect(editor, &TkdInplaceEditor::Changed, self, [self, editor] { Q_EMIT self->commitData(editor); });
    return editor;
}

void TkdStringGridDelegate::setEditorData(QWidget *AEditor, const QModelIndex &AIndex) const
{
    auto *editor = static_cast<TkdInplaceEditor *>(AEditor);
    const QString text = AIndex.data(Qt::EditRole).toString();
    if (editor->Text() != text) // the text just stored from the editor comes back here
        editor->SetText(text);
}

void TkdStringGridDelegate::setModelData(QWidget *AEditor, QAbstractItemModel *, const QModelIndex &) const
{
    // Also reached from a focus change while the grid is being destroyed; InputComplite
    // then does nothing.
    static_cast<TkdInplaceEditor *>(AEditor)->InputComplite();
}

void TkdStringGridDelegate::updateEditorGeometry(QWidget *AEditor, const QStyleOptionViewItem &AOption, const QModelIndex &) const
{
    AEditor->setGeometry(AOption.rect);
}

void TkdStringGridDelegate::paint(QPainter *APainter, const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const
{
    const int col = AIndex.column();
    if (!FGrid->IsCheckStyle(col)) {
        QStyledItemDelegate::paint(APainter, AOption, AIndex);
        RaiseDrawCell(APainter, AOption, AIndex);
        return;
    }
    // Background and selection as for any cell, then the box instead of the text.
    QStyleOptionViewItem option = AOption;
    initStyleOption(&option, AIndex);
    option.text.clear();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &option, APainter, widget);
    FGrid->DrawCheck(APainter, col, AIndex.row() + FGrid->FixedRows(), option.rect, true);
    RaiseDrawCell(APainter, AOption, AIndex);
}

void TkdStringGridDelegate::RaiseDrawCell(QPainter *APainter, const QStyleOptionViewItem &AOption,
                                          const QModelIndex &AIndex) const
{
    // After the cell's own drawing (text or check box) the owner may draw over it; its
    // painter changes stay inside the cell.
    APainter->save();
    Q_EMIT FGrid->OnDrawCell(FGrid, AIndex.column(), AIndex.row() + FGrid->FixedRows(), AOption.rect, APainter,
                             AOption.state);
    APainter->restore();
}

// ---------------------------------------------------------------- TkdStringGrid

TkdStringGrid::TkdStringGrid(QWidget *AOwner) : QTableView(AOwner), FModel(new TkdStringGridModel(this))
{
    setModel(FModel);
    setItemDelegate(new TkdStringGridDelegate(this));
    verticalHeader()->hide();
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed);
    setTabKeyNavigation(true);
    FEditStyles.resize(ColCount(), geSimple);
    HalfPageSteps(verticalScrollBar());
    HalfPageSteps(horizontalScrollBar());
    connect(FModel, &QAbstractItemModel::modelReset, this, [this] {
        horizontalHeader()->setVisible(FModel->FixedRows() > 0);
    });
}

TkdStringGrid::~TkdStringGrid()
{
    // Editors (also closed ones awaiting deletion) outlive this part of the grid.
    const auto editors = viewport()->findChildren<TkdInplaceEditor *>();
    for (TkdInplaceEditor *editor : editors)
        editor->FGrid = nullptr;
    FEditor = nullptr;
}

void TkdStringGrid::SetRowCount(int AValue)
{
    FModel->SetGridRowCount(AValue);
}

void TkdStringGrid::SetColCount(int AValue)
{
    FModel->SetGridColCount(AValue);
    FEditStyles.resize(ColCount(), geSimple);
}

QStringList TkdStringGrid::Header() const
{
    return FModel->RowTexts(0);
}

void TkdStringGrid::SetHeader(const QStringList &ATexts)
{
    for (int c = 0; c < ATexts.size() && c < ColCount(); ++c)
        FModel->SetCell(c, 0, ATexts.at(c));
}

int TkdStringGrid::Col() const
{
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.column() : 0;
}

int TkdStringGrid::Row() const
{
    const QModelIndex i = currentIndex();
    return (i.isValid() ? i.row() : 0) + FixedRows();
}

void TkdStringGrid::SetCurrentCell(int ACol, int ARow)
{
    const QModelIndex i = FModel->IndexOf(ACol, ARow);
    if (i.isValid())
        setCurrentIndex(i);
}

void TkdStringGrid::SetCol(int AValue)
{
    SetCurrentCell(AValue, Row());
}

void TkdStringGrid::SetRow(int AValue)
{
    SetCurrentCell(Col(), AValue);
}

void TkdStringGrid::SetGridMode(TkdGridEditorMode AValue)
{
    if (AValue == FGridMode)
        return;
    FGridMode = AValue;
    ShowEditorIfAlways();
}

TkdGridEditStyle TkdStringGrid::EditStyles(int AIndex) const
{
    return AIndex >= 0 && AIndex < FEditStyles.size() ? FEditStyles.at(AIndex) : geSimple;
}

void TkdStringGrid::SetEditStyles(int AIndex, TkdGridEditStyle AValue)
{
    if (AIndex < 0 || AIndex >= FEditStyles.size())
        return;
    FEditStyles[AIndex] = AValue;
    viewport()->update();
}

void TkdStringGrid::SetFlatCheckBox(bool AValue)
{
    if (AValue == FFlatCheckBox)
        return;
    FFlatCheckBox = AValue;
    viewport()->update();
}

bool TkdStringGrid::IsCheckStyle(int ACol) const
{
    const TkdGridEditStyle style = EditStyles(ACol);
    return style == geCheckBox || style == geViewCheckBox;
}

void TkdStringGrid::DrawCheck(QPainter *APainter, int ACol, int ARow, const QRect &AR, bool AEnabled) const
{
    bool ok = false;
    const int value = Cells(ACol, ARow).toInt(&ok);
    const Qt::CheckState state = !ok ? Qt::Unchecked
                               : value == 1 ? Qt::Checked
                               : value == 2 ? Qt::PartiallyChecked
                                            : Qt::Unchecked;
    KdDrawCheckGlyph(APainter, this, AR, state, AEnabled, FFlatCheckBox);
}

bool TkdStringGrid::Checked(int ACol, int ARow) const
{
    return ACol < ColCount() && IsCheckStyle(ACol) && Cells(ACol, ARow) == QLatin1String("1");
}

void TkdStringGrid::SetChecked(int ACol, int ARow, bool AValue)
{
    if (ACol >= ColCount() || !IsCheckStyle(ACol))
        return;
    StoreEditText(ACol, ARow, AValue ? QStringLiteral("1") : QString());
}

TkdInplaceEditor *TkdStringGrid::InplaceEditor() const
{
    return FEditor;
}

void TkdStringGrid::StoreEditText(int ACol, int ARow, const QString &AValue)
{
    Q_EMIT OnBeforeSetEditText(this, ACol, ARow, AValue);
    FModel->SetCell(ACol, ARow, AValue);
    Q_EMIT OnSetEditText(this, ACol, ARow, AValue);
}

void TkdStringGrid::InputComplite()
{
    if (FEditor)
        FEditor->InputComplite();
}

void TkdStringGrid::HideEditor()
{
    if (!FEditor)
        return;
    TkdInplaceEditor *editor = FEditor;
    editor->InputComplite();
    FEditor = nullptr;
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    setFocus();
}

void TkdStringGrid::ShowEditorIfAlways()
{
    if (FGridMode != geAccess || FEditor || !currentIndex().isValid() || IsCheckStyle(Col()))
        return;
    edit(currentIndex());
}

void TkdStringGrid::ToggleCurrentCheck()
{
    if (EditStyles(Col()) == geCheckBox && currentIndex().isValid())
        SetChecked(Col(), Row(), !Checked(Col(), Row()));
}

void TkdStringGrid::MoveRowBy(int ADelta)
{
    SetRow(qBound(FixedRows(), Row() + ADelta, RowCount() - 1));
}

void TkdStringGrid::HalfPageSteps(QScrollBar *ABar)
{
    // The bars scroll by whole rows and columns; their page is the visible count, and a page
    // request moves by half of it so that the rows last seen stay in view.
    connect(ABar, &QAbstractSlider::actionTriggered, this, [ABar](int AAction) {
        if (AAction != QAbstractSlider::SliderPageStepAdd && AAction != QAbstractSlider::SliderPageStepSub)
            return;
        const int step = qMax(1, ABar->pageStep() / 2);
        const int from = ABar->value();
        const int to = AAction == QAbstractSlider::SliderPageStepAdd ? from + step : from - step;
        ABar->setSliderPosition(qBound(ABar->minimum(), to, ABar->maximum()));
    });
}

void TkdStringGrid::Clear()
{
    HideEditor();
    FModel->ClearCells();
    SetCurrentCell(0, FixedRows());
    viewport()->update();
}

void TkdStringGrid::MoveRow(int AFromIndex, int AToIndex)
{
    FModel->MoveGridRow(AFromIndex, AToIndex);
}

void TkdStringGrid::InsertRow(int AIndex)
{
    SetRowCount(RowCount() + 1);
    const int last = RowCount() - 1;
    for (int c = 0; c < ColCount(); ++c) {
        FModel->SetCell(c, last, QString());
        FModel->SetObject(c, last, QVariant());
    }
    MoveRow(last, AIndex);
}

void TkdStringGrid::DeleteRow(int AIndex)
{
    const bool editing = FEditor != nullptr;
    if (editing)
        HideEditor();
    FModel->RemoveGridRow(AIndex);
    if (AIndex < RowCount() - 1)
        SetRow(AIndex);
    if (editing) {
        if (FGridMode == geAccess)
            ShowEditorIfAlways();
        else if (!IsCheckStyle(Col()))
            edit(currentIndex());
    }
}

void TkdStringGrid::InsertCol(int AIndex)
{
    SetColCount(ColCount() + 1); // the new last position gets geSimple; styles stay in place
    const int last = ColCount() - 1;
    for (int r = 0; r < RowCount(); ++r) {
        FModel->SetCell(last, r, QString());
        FModel->SetObject(last, r, QVariant());
    }
    FModel->MoveGridCol(last, AIndex);
    SetCol(AIndex);
}

// ---- snapshot

QString TkdStringGrid::RowText(const QStringList &ACells)
{
    QString text;
    for (const QString &cell : ACells)
        text += cell + QStringLiteral("\r\n");
    return text;
}

void TkdStringGrid::Save()
{
    FSaveRows.clear();
    FSaveRows.reserve(RowCount());
    for (int r = 0; r < RowCount(); ++r)
        FSaveRows.append(FModel->RowTexts(r));
}

QStringList TkdStringGrid::SaveRows(int ARow) const
{
    if (ARow < 0 || ARow >= FSaveRows.size())
        throw EListError(ARow);
    return FSaveRows.at(ARow);
}

QString TkdStringGrid::SaveCells(int ACol, int ARow) const
{
    const QStringList row = SaveRows(ARow);
    if (ACol < 0 || ACol >= row.size())
        throw EListError(ACol);
    return row.at(ACol);
}

QStringList TkdStringGrid::SaveCols(int ACol) const
{
    QStringList column;
    column.reserve(FSaveRows.size());
    for (const QStringList &row : FSaveRows) {
        if (ACol < 0 || ACol >= row.size())
            throw EListError(ACol);
        column << row.at(ACol);
    }
    return column;
}

bool TkdStringGrid::IsChanged() const
{
    if (RowCount() != SaveRowCount())
        return true;
    for (int r = 0; r < RowCount(); ++r)
        if (RowText(FModel->RowTexts(r)) != RowText(FSaveRows.at(r)))
            return true;
    return false;
}

bool TkdStringGrid::IsChangedRow(int ARow) const
{
    const QString current = RowText(FModel->RowTexts(ARow)); // empty outside the grid
    const QString saved = ARow >= 0 && ARow < FSaveRows.size() ? RowText(FSaveRows.at(ARow)) : QString();
    return current != saved;
}

bool TkdStringGrid::IsChangedCol(int ACol) const
{
    if (ACol < 0)
        throw EListError(ACol);
    if (RowCount() != SaveRowCount() || ACol >= ColCount() || FSaveRows.isEmpty() || ACol >= FSaveRows.at(0).size())
        return true;
    for (int r = 0; r < RowCount(); ++r) {
        const QStringList &saved = FSaveRows.at(r);
        if (ACol >= saved.size() || Cells(ACol, r) != saved.at(ACol))
            return true;
    }
    return false;
}

bool TkdStringGrid::IsChangedCell(int ACol, int ARow) const
{
    QString saved;
    if (ARow >= 0 && ARow < FSaveRows.size() && ACol >= 0 && ACol < FSaveRows.at(ARow).size())
        saved = FSaveRows.at(ARow).at(ACol);
    return Cells(ACol, ARow) != saved;
}

bool TkdStringGrid::IsNull(int ACol, int ARow) const
{
    return KdIsBlankText(Cells(ACol, ARow));
}

// ---- keyboard and mouse

bool TkdStringGrid::GridKeyDown(int AKey, Qt::KeyboardModifiers AModifiers)
{
    if (AKey != Qt::Key_Return && AKey != Qt::Key_Enter)
        return false;
    switch (FGridMode) {
    case geAccess:
        if (Col() < ColCount() - 1)
            SetCol(Col() + 1);
        break;
    case geExcel:
        if (EditStyles(Col()) == geSimple) {
            HideEditor();
            if (AModifiers & Qt::ShiftModifier) {
                if (Row() > 1)
                    SetRow(Row() - 1);
            } else if (Row() < RowCount() - 1)
                SetRow(Row() + 1);
            break;
        }
        [[fallthrough]];
    case geNormal:
        // Enter shows or hides the editor.
        if (FEditor)
            HideEditor();
        else if (currentIndex().isValid() && !IsCheckStyle(Col()))
            edit(currentIndex());
        break;
    }
    return true;
}

bool TkdStringGrid::EditorKeyDown(TkdInplaceEditor *AEditor, QKeyEvent *AEvent)
{
    const int key = AEvent->key();
    const Qt::KeyboardModifiers mods = AEvent->modifiers();
    const bool listStyle = IsListStyle(AEditor->EditStyle());
    if (key == Qt::Key_Down && listStyle && (FGridMode != geAccess || (mods & Qt::AltModifier))) {
        AEditor->DropDown();
        return true;
    }
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        // Tab moves between cells, wrapping at the row ends.
        AEditor->InputComplite();
        if (FGridMode != geAccess)
            HideEditor();
        const bool back = key == Qt::Key_Backtab || (mods & Qt::ShiftModifier);
        int c = Col() + (back ? -1 : 1);
        int r = Row();
        if (c >= ColCount()) {
            c = 0;
            r = qMin(r + 1, RowCount() - 1);
        } else if (c < 0) {
            c = ColCount() - 1;
            r = qMax(r - 1, FixedRows());
        }
        SetCurrentCell(c, r);
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (FGridMode == geAccess)
            AEditor->InputComplite();
        return GridKeyDown(key, mods);
    }
    if (FGridMode != geAccess)
        return false;
    switch (key) {
    case Qt::Key_Escape:
        AEditor->InputComplite(); // Esc keeps the typed text
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        AEditor->InputComplite();
        const int page = qMax(1, viewport()->height() / qMax(1, rowHeight(0)));
        const int delta = key == Qt::Key_Up ? -1 : key == Qt::Key_Down ? 1 : key == Qt::Key_PageUp ? -page : page;
        MoveRowBy(delta);
        return true;
    }
    case Qt::Key_Left:
    case Qt::Key_Right: {
        // Leave the cell only when its whole text is selected from the start (as on entry).
        const QLineEdit *edit = AEditor->Edit();
        const bool whole = edit->text().isEmpty()
            || (edit->selectionStart() == 0 && edit->selectedText().size() == edit->text().size());
        if (!whole)
            return false;
        AEditor->InputComplite();
        SetCol(qBound(0, Col() + (key == Qt::Key_Left ? -1 : 1), ColCount() - 1));
        return true;
    }
    default:
        return false;
    }
}

void TkdStringGrid::keyPressEvent(QKeyEvent *AEvent)
{
    if (AEvent->matches(QKeySequence::Copy)) {
        copy();
        AEvent->accept();
        return;
    }
    if (GridKeyDown(AEvent->key(), AEvent->modifiers())) {
        AEvent->accept();
        return;
    }
    if (IsCheckStyle(Col()) && AEvent->key() == Qt::Key_Space) {
        // Only Space toggles a check-box cell from the keyboard.
        ToggleCurrentCheck();
        AEvent->accept();
        return;
    }
    QTableView::keyPressEvent(AEvent);
}

void TkdStringGrid::mousePressEvent(QMouseEvent *AEvent)
{
    QTableView::mousePressEvent(AEvent);
    // Only a left click on the check-box cell itself toggles it; a context-menu click must
    // not flip a setting the DDL is generated from.
    if (AEvent->button() != Qt::LeftButton)
        return;
    const QModelIndex hit = indexAt(AEvent->position().toPoint());
    if (hit.isValid() && hit == currentIndex() && EditStyles(hit.column()) == geCheckBox)
        ToggleCurrentCheck();
}

void TkdStringGrid::mouseDoubleClickEvent(QMouseEvent *AEvent)
{
    const QModelIndex hit = indexAt(AEvent->position().toPoint());
    if (hit.isValid() && IsCheckStyle(hit.column()))
        return; // each press of a double click has toggled the box already
    QTableView::mouseDoubleClickEvent(AEvent);
}

void TkdStringGrid::focusInEvent(QFocusEvent *AEvent)
{
    QTableView::focusInEvent(AEvent);
    Q_EMIT OnSelectCell(this, Col(), Row());
    if (FEditor)
        Q_EMIT OnShowEditor(this, Col(), Row(), FEditor);
    ShowEditorIfAlways();
}

void TkdStringGrid::currentChanged(const QModelIndex &ACurrent, const QModelIndex &APrevious)
{
    QTableView::currentChanged(ACurrent, APrevious);
    ShowEditorIfAlways();
}

void TkdStringGrid::closeEditor(QWidget *AEditor, QAbstractItemDelegate::EndEditHint AHint)
{
    if (AEditor == FEditor)
        FEditor = nullptr;
    QTableView::closeEditor(AEditor, AHint);
}

void TkdStringGrid::SetOnDragOver(TOnGridDragOver AHandler)
{
    FOnDragOver = std::move(AHandler);
    // Only a grid that may take a drag stands in the way of drops meant for its window.
    viewport()->setAcceptDrops(bool(FOnDragOver));
}

QPoint TkdStringGrid::MouseCoord(const QPoint &APos) const
{
    const QModelIndex hit = indexAt(APos);
    return hit.isValid() ? QPoint(hit.column(), hit.row() + FixedRows()) : QPoint(-1, -1);
}

bool TkdStringGrid::GridDragEvent(QDropEvent *AEvent, const QPoint &APos)
{
    const TkdGridDragInfo info{APos, AEvent->mimeData(), AEvent->source()};
    if (!FOnDragOver || !FOnDragOver(this, info))
        return false;
    AEvent->acceptProposedAction();
    if (AEvent->type() == QEvent::Drop && FOnDragDrop)
        FOnDragDrop(this, info);
    return true;
}

void TkdStringGrid::dragEnterEvent(QDragEnterEvent *AEvent)
{
    if (!GridDragEvent(AEvent, AEvent->position().toPoint()))
        AEvent->ignore();
}

void TkdStringGrid::dragMoveEvent(QDragMoveEvent *AEvent)
{
    if (!GridDragEvent(AEvent, AEvent->position().toPoint()))
        AEvent->ignore();
}

void TkdStringGrid::dragLeaveEvent(QDragLeaveEvent *AEvent)
{
    AEvent->accept();
}

void TkdStringGrid::dropEvent(QDropEvent *AEvent)
{
    if (!GridDragEvent(AEvent, AEvent->position().toPoint()))
        AEvent->ignore();
}

void TkdStringGrid::copy()
{
    if (!FEditor)
        QApplication::clipboard()->setText(Cells(Col(), Row()));
}

bool KdApplyGridSettings(QWidget *AControl, const QString &ADataFontName, int ADataFontSize)
{
    if (auto *grid = qobject_cast<TkdStringGrid *>(AControl)) {
        grid->SetGridMode(geAccess);
        return true;
    }
    if (auto *table = qobject_cast<QTableWidget *>(AControl)) {
        QFont font(ADataFontName, ADataFontSize);
        font.setFixedPitch(true);
        font.setStyleHint(QFont::Monospace);
        table->setFont(font);
        return true;
    }
    return false;
}

bool KdApplyGridSettings(QWidget *AControl)
{
    const TkdOption &option = TkdOption::Global();
    return KdApplyGridSettings(AControl, option.DataFontName, option.DataFontSize);
}
