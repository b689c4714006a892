#include "controls/kddbgrid.h"

#include "controls/kddbmodel.h"
#include "controls/kdsharedsettings.h"
#include "core/kdforms.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dberror.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QTransposeProxyModel>

#include <algorithm>

// The font-name mapping of the editors (kdmemo), whose header cannot be included beside
// kdforms.h.
void InstallFontSubstitutions();

namespace {

int &AutoCommitDepth()
{
    static int depth = 0;
    return depth;
}

// Is W the grid or one of its parts (the cell editor, its pick-list popup, the headers)?
bool Within(const QWidget *AGrid, const QWidget *AWidget)
{
    for (const QWidget *w = AWidget; w; w = w->parentWidget())
        if (w == AGrid)
            return true;
    return false;
}

Qt::Alignment ToQt(TAlignment AValue)
{
    switch (AValue) {
    case TAlignment::Right: return Qt::AlignRight;
    case TAlignment::Center: return Qt::AlignHCenter;
    default: return Qt::AlignLeft;
    }
}

// A clipboard value: quoted when it holds a TAB, a line break or a double quote, with the
// quotes inside doubled. Line breaks stay as they are, so the paste gives the same value.
QString QuoteValue(const QString &AText)
{
    if (!AText.contains(QLatin1Char('\t')) && !AText.contains(QLatin1Char('\n')) && !AText.contains(QLatin1Char('\r'))
        && !AText.contains(QLatin1Char('"')))
        return AText;
    QString out = AText;
    out.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

} // namespace

// Splits clipboard text into records of values: TAB between values, a line break (LF or
// CR LF) between records; a value that starts with a double quote runs to the next lone
// double quote, with doubled quotes read as one and line breaks kept.
QList<QStringList> KdParseClipboardRecords(const QString &AText)
{
    QList<QStringList> records;
    QStringList values;
    QString value;
    const qsizetype n = AText.size();
    qsizetype i = 0;
    bool atValueStart = true;
    while (i < n) {
        const QChar c = AText.at(i);
        if (atValueStart && c == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (AText.at(i) == QLatin1Char('"')) {
                    if (i + 1 < n && AText.at(i + 1) == QLatin1Char('"')) {
                        value += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += AText.at(i++);
            }
            // Characters after the closing quote up to the separator are dropped.
            while (i < n && AText.at(i) != QLatin1Char('\t') && AText.at(i) != QLatin1Char('\n')
                   && !(AText.at(i) == QLatin1Char('\r') && i + 1 < n && AText.at(i + 1) == QLatin1Char('\n')))
                ++i;
            atValueStart = false;
            continue;
        }
        atValueStart = false;
        if (c == QLatin1Char('\t')) {
            values.append(value);
            value.clear();
            atValueStart = true;
            ++i;
        } else if (c == QLatin1Char('\n') || (c == QLatin1Char('\r') && i + 1 < n && AText.at(i + 1) == QLatin1Char('\n'))) {
            values.append(value);
            value.clear();
            records.append(values);
            values.clear();
            atValueStart = true;
            i += c == QLatin1Char('\r') ? 2 : 1;
        } else {
            value += c;
            ++i;
        }
    }
    if (!atValueStart || !values.isEmpty() || !value.isEmpty()) {
        values.append(value);
        records.append(values);
    }
    return records;
}

// ============================================================================ auto-commit

TkdAutoCommitScope::TkdAutoCommitScope(db::DataSet *ADataSet)
    : FConnection(ADataSet ? ADataSet->connection() : nullptr)
{
    if (!FConnection)
        return;
    FConnection->setAutoCommit(TkdOption::Global().UpdateToCommit);
    ++AutoCommitDepth();
}

TkdAutoCommitScope::~TkdAutoCommitScope()
{
    if (!FConnection)
        return;
    if (--AutoCommitDepth() <= 0) {
        AutoCommitDepth() = 0;
        FConnection->setAutoCommit(false);
    }
}

// ============================================================================ bookmarks

TBookmarkList::TBookmarkList(std::function<db::DataSet *()> ADataSet, std::function<void()> ARepaint)
    : FDataSet(std::move(ADataSet)), FRepaint(std::move(ARepaint))
{
}

bool TBookmarkList::Find(const Bookmark &AItem, int &AIndex) const
{
    db::DataSet *ds = FDataSet();
    int lo = 0, hi = int(FList.size()) - 1;
    bool found = false;
    while (ds && lo <= hi) {
        const int mid = (lo + hi) / 2;
        const int c = FList[std::size_t(mid)].id == AItem.id ? 0 : ds->compareBookmarks(FList[std::size_t(mid)], AItem);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                lo = mid;
            }
        }
    }
    AIndex = lo;
    return found;
}

int TBookmarkList::IndexOf(const Bookmark &AItem) const
{
    int index = -1;
    return Find(AItem, index) ? index : -1;
}

bool TBookmarkList::Contains(const Bookmark &AItem) const
{
    if (AItem.isNull() || FList.empty())
        return false;
    int index = -1;
    return Find(AItem, index);
}

bool TBookmarkList::CurrentRowSelected() const
{
    db::DataSet *ds = FDataSet();
    return ds && ds->isActive() && Contains(ds->bookmark());
}

void TBookmarkList::Select(const Bookmark &AItem, bool AValue)
{
    if (AItem.isNull())
        return;
    int index = -1;
    if (Find(AItem, index) == AValue)
        return;
    if (AValue)
        FList.insert(FList.begin() + index, AItem);
    else
        FList.erase(FList.begin() + index);
    FRepaint();
}

void TBookmarkList::SetCurrentRowSelected(bool AValue)
{
    db::DataSet *ds = FDataSet();
    if (!ds || !ds->isActive())
        throw db::Error(db::Error::Kind::Usage, QStringLiteral("データセットは閉じているため, この操作は実行できません"));
    Select(ds->bookmark(), AValue);
}

void TBookmarkList::SetList(std::vector<Bookmark> AList)
{
    FList = std::move(AList);
    FRepaint();
}

void TBookmarkList::Clear()
{
    if (FList.empty())
        return;
    FList.clear();
    FRepaint();
}

bool TBookmarkList::Refresh()
{
    db::DataSet *ds = FDataSet();
    bool removed = false;
    for (int i = int(FList.size()) - 1; i >= 0; --i)
        if (!ds || !ds->bookmarkValid(FList[std::size_t(i)])) {
            FList.erase(FList.begin() + i);
            removed = true;
        }
    if (removed)
        FRepaint();
    return removed;
}

void TBookmarkList::Delete()
{
    db::DataSet *ds = FDataSet();
    if (!ds)
        return;
    ds->disableControls();
    try {
        while (!FList.empty()) {
            const Bookmark mark = FList.back();
            if (ds->bookmarkValid(mark)) {
                ds->gotoBookmark(mark);
                ds->deleteRecord();
            }
            FList.pop_back();
        }
    } catch (...) {
        ds->enableControls();
        FRepaint();
        throw;
    }
    ds->enableControls();
    FRepaint();
}

// ============================================================================ header

TkdDBGridHeader::TkdDBGridHeader(Qt::Orientation AOrientation, TKind AKind, QWidget *AParent)
    : QHeaderView(AOrientation, AParent), FKind(AKind)
{
    setHighlightSections(false);
    setSectionsClickable(true);
}

void TkdDBGridHeader::paintSection(QPainter *APainter, const QRect &ARect, int ALogicalIndex) const
{
    if (OnPaintSection)
        OnPaintSection(APainter, ARect, ALogicalIndex);
    else
        QHeaderView::paintSection(APainter, ARect, ALogicalIndex);
}

// ============================================================================ delegate

TkdDBGridDelegate::TkdDBGridDelegate(TkdDBGridBase *AGrid) : QStyledItemDelegate(AGrid), FGrid(AGrid) {}

void TkdDBGridDelegate::paint(QPainter *APainter, const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const
{
    // Only what the model and the grid hold in memory: painting never talks to the server.
    TkdDBGridBase *grid = FGrid;
    const int record = grid->RecordOf(AIndex);
    const int item = grid->ItemOfField(grid->FieldOf(AIndex));
    const QRect r = AOption.rect;
    if (item < 0) {
        APainter->fillRect(r, grid->FColor);
        return;
    }
    const QPalette &pal = grid->palette();
    TGridDrawState state;
    state.Selected = AIndex == grid->currentIndex();
    state.Focused = Within(grid, QApplication::focusWidget());
    state.Highlighted = grid->CellHighlighted(record, item);
    state.Record = record;
    QColor back = grid->ItemColor(item);
    QColor fore = pal.color(QPalette::Text);
    if (state.Highlighted) {
        back = pal.color(QPalette::Highlight);
        fore = pal.color(QPalette::HighlightedText);
    }
    if (!grid->isEnabled())
        fore = pal.color(QPalette::Disabled, QPalette::Text);
    APainter->save();
    APainter->fillRect(r, back);
    if (grid->FDefaultDrawing) {
        const QFont font = grid->ItemFont(item);
        APainter->setFont(font);
        APainter->setPen(fore);
        const QString text = AIndex.data(Qt::DisplayRole).toString();
        const QRect textRect = r.adjusted(2, 0, -2, 0);
        const QString shown = QFontMetrics(font).elidedText(text, Qt::ElideRight, textRect.width());
        APainter->drawText(textRect, int(ToQt(grid->ItemAlignment(item)) | Qt::AlignVCenter | Qt::TextSingleLine), shown);
    }
    APainter->restore();
    grid->FireDrawCell(APainter, r, item, state);
    if (grid->FDefaultDrawing && state.Selected && state.Focused && !grid->HasOption(dgRowSelect)) {
        QStyleOptionFocusRect focus;
        focus.rect = r.adjusted(0, 0, -1, -1);
        focus.state = QStyle::State_HasFocus;
        focus.backgroundColor = back;
        grid->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, APainter, grid);
    }
}

QWidget *TkdDBGridDelegate::createEditor(QWidget *AParent, const QStyleOptionViewItem &, const QModelIndex &AIndex) const
{
    TkdDBGridBase *grid = FGrid;
    const int record = grid->RecordOf(AIndex);
    const int item = grid->ItemOfField(grid->FieldOf(AIndex));
    if (item < 0)
        return nullptr;
    auto *editor = new TkdInplaceEditor(static_cast<TkdInplaceHost *>(grid), AParent);
    TkdGridEditStyle style = geSimple;
    const bool canEdit = grid->CanEditCell(item);
    switch (grid->ItemButtonStyle(item)) {
    case cbsEllipsis: style = geEllipsis; break;
    case cbsNone: style = geSimple; break;
    default:
        if (!grid->ItemPickList(item).isEmpty() && canEdit)
            style = gePickList;
        break;
    }
    int maxLength = canEdit ? 0 : -1;
    if (canEdit) {
        if (db::Field *field = grid->ItemField(item))
            if ((field->dataType() == db::FieldType::WideString || field->dataType() == db::FieldType::FixedWideChar) && field->size() > 0)
                maxLength = field->size();
    }
    QString text;
    if (grid->FModel)
        text = grid->FModel->EditText(record, grid->FieldOf(AIndex));
    editor->Setup(item, record, style, text, maxLength);
    editor->setFont(grid->ItemFont(item));
    editor->setAutoFillBackground(true);
    grid->FEditor = editor;
    QObject::connect(editor, &TkdInplaceEditor::Changed, grid, [grid, editor] { grid->HostStoreEditText(editor, editor->Text()); });
    return editor;
}

void TkdDBGridDelegate::setEditorData(QWidget *, const QModelIndex &) const
{
    // The editor is loaded when it is made and follows the user's typing; a refresh of the
    // model must not overwrite what is being typed.
}

void TkdDBGridDelegate::setModelData(QWidget *, QAbstractItemModel *, const QModelIndex &) const
{
    // Every change of the editor is written to the field as it is typed (HostStoreEditText).
}

void TkdDBGridDelegate::updateEditorGeometry(QWidget *AEditor, const QStyleOptionViewItem &AOption, const QModelIndex &) const
{
    AEditor->setGeometry(AOption.rect.adjusted(0, 0, -1, -1));
}

// ============================================================================ grid core

TkdDBGridBase::TkdDBGridBase(bool AColumnar, QWidget *AParent)
    : QTableView(AParent), FColumnar(AColumnar), FDelegate(new TkdDBGridDelegate(this)),
      FTitleHeader(new TkdDBGridHeader(AColumnar ? Qt::Horizontal : Qt::Vertical, TkdDBGridHeader::hkTitle, this)),
      FIndicatorHeader(new TkdDBGridHeader(AColumnar ? Qt::Vertical : Qt::Horizontal, TkdDBGridHeader::hkIndicator, this)),
      FBookmarks([this] { return DataSet(); },
                 [this] {
                     viewport()->update();
                     FIndicatorHeader->viewport()->update();
                 })
{
    KdInstallDBGridSettings();
    if (AColumnar) {
        setHorizontalHeader(FTitleHeader);
        setVerticalHeader(FIndicatorHeader);
    } else {
        setHorizontalHeader(FIndicatorHeader);
        setVerticalHeader(FTitleHeader);
    }
    FTitleHeader->OnPaintSection = [this](QPainter *p, const QRect &r, int f) { PaintTitle(p, r, f); };
    FIndicatorHeader->OnPaintSection = [this](QPainter *p, const QRect &r, int rec) { PaintIndicator(p, r, rec); };
    FIndicatorHeader->viewport()->installEventFilter(this);
    FTitleHeader->setSectionsMovable(true);
    FTitleHeader->setSectionResizeMode(AColumnar ? QHeaderView::Interactive : QHeaderView::Fixed);
    FIndicatorHeader->setSectionResizeMode(AColumnar ? QHeaderView::Fixed : QHeaderView::Interactive);
    FIndicatorHeader->setSectionsClickable(false);
    setItemDelegate(FDelegate);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    FColor = palette().color(QPalette::Base);
    FFixedColor = palette().color(QPalette::Button);
    FTitleFont = font();

    connect(FTitleHeader, &QHeaderView::sectionClicked, this, [this](int field) {
        const int item = ItemOfField(field);
        if (item >= 0)
            Guard([&] { FireTitleClick(item); });
    });
    connect(FTitleHeader, &QHeaderView::sectionMoved, this, [this](int, int from, int to) {
        if (FLayoutLock > 0)
            return;
        MoveItem(from, to);
    });
    connect(FTitleHeader, &QHeaderView::sectionResized, this, [this](int field, int, int size) {
        if (FLayoutLock > 0 || !FColumnar)
            return;
        const int item = ItemOfField(field);
        if (item >= 0)
            ItemWidthChanged(item, size);
    });
    connect(FIndicatorHeader, &QHeaderView::sectionResized, this, [this](int, int, int size) {
        if (FLayoutLock > 0 || FColumnar)
            return;
        SetDefaultColWidth(size);
    });
    FFocusConnection = connect(qApp, &QApplication::focusChanged, this, &TkdDBGridBase::FocusChanged);
}

TkdDBGridBase::~TkdDBGridBase()
{
    disconnect(FFocusConnection);
    if (FEditor)
        FEditor->DetachHost();
    FEditor = nullptr;
}

db::DataSet *TkdDBGridBase::DataSet() const
{
    return FModel ? FModel->DataSet() : nullptr;
}

bool TkdDBGridBase::LinkActive() const
{
    db::DataSet *ds = DataSet();
    return ds && ds->isActive();
}

void TkdDBGridBase::SetDataSource(TkdDataSetModel *AModel)
{
    if (AModel == FModel)
        return;
    HideEditor();
    FBookmarks.Clear();
    if (FModel) {
        disconnect(FModel, nullptr, this, nullptr);
        if (db::DataSet *old = FModel->DataSet())
            disconnect(old, nullptr, this, nullptr);
    }
    FModel = AModel;
    if (FColumnar) {
        setModel(AModel);
    } else {
        if (!FTranspose)
            FTranspose = new QTransposeProxyModel(this);
        FTranspose->setSourceModel(AModel);
        setModel(AModel ? FTranspose : nullptr);
    }
    if (AModel) {
        connect(AModel, &QAbstractItemModel::modelReset, this, [this] {
            FBookmarks.Clear();
            FEditModified = false;
            Relayout();
        });
        connect(AModel, &TkdDataSetModel::FetchFailed, this, &TkdDBGridBase::ShowFetchFailure);
        if (db::DataSet *ds = AModel->DataSet()) {
            connect(ds, &db::DataSet::recordChanged, this, [this] {
                if (!FSyncing)
                    SyncCurrent();
            });
            connect(ds, &db::DataSet::dataChanged, this, [this] {
                if (!FSyncing)
                    SyncCurrent();
            });
            connect(ds, &db::DataSet::stateChanged, this, [this] {
                db::DataSet *d = DataSet();
                if (d && d->state() == db::DataSet::State::Browse)
                    FEditModified = false;
                FIndicatorHeader->viewport()->update();
            });
        }
    }
    Relayout();
}

void TkdDBGridBase::SetOptions(TDBGridOptions AValue)
{
    if (AValue & dgBit(dgRowSelect))
        AValue &= ~(dgBit(dgEditing) | dgBit(dgAlwaysShowEditor));
    if (AValue == FOptions)
        return;
    const TDBGridOptions old = FOptions;
    FOptions = AValue;
    if ((old & dgBit(dgMultiSelect)) && !(AValue & dgBit(dgMultiSelect)))
        FBookmarks.Clear();
    setTabKeyNavigation(HasOption(dgTabs));
    Relayout();
}

void TkdDBGridBase::SetReadOnly(bool AValue)
{
    FReadOnly = AValue;
    viewport()->update();
}

void TkdDBGridBase::SetColor(const QColor &AValue)
{
    FColor = AValue;
    viewport()->update();
}

void TkdDBGridBase::SetFixedColor(const QColor &AValue)
{
    FFixedColor = AValue;
    FTitleHeader->viewport()->update();
    FIndicatorHeader->viewport()->update();
}

void TkdDBGridBase::SetTitleFont(const QFont &AValue)
{
    FTitleFont = AValue;
    Relayout();
}

void TkdDBGridBase::SetDefaultColWidth(int AValue)
{
    FDefaultColWidth = AValue;
    Relayout();
}

int TkdDBGridBase::DefaultRowHeight() const
{
    return QFontMetrics(font()).height() + 3 + (HasOption(dgRowLines) ? 1 : 0);
}

int TkdDBGridBase::TitleExtent() const
{
    int height = QFontMetrics(FTitleFont).height() + 4;
    for (int i = 0; i < ItemCount(); ++i)
        height = std::max(height, QFontMetrics(ItemTitleFont(i)).height() + 4);
    return height;
}

QModelIndex TkdDBGridBase::ViewIndex(int ARecord, int AField) const
{
    if (!model())
        return QModelIndex();
    return FColumnar ? model()->index(ARecord, AField) : model()->index(AField, ARecord);
}

int TkdDBGridBase::ItemOfField(int AField) const
{
    return AField >= 0 && std::size_t(AField) < FFieldToItem.size() ? FFieldToItem[std::size_t(AField)] : -1;
}

int TkdDBGridBase::CurrentRecord() const
{
    db::DataSet *ds = DataSet();
    return ds && ds->isActive() && ds->fetchedCount() > 0 ? ds->recNo() - 1 : -1;
}

int TkdDBGridBase::SelectedIndex() const
{
    return ItemCount() > 0 ? std::clamp(FCurrentItem, 0, ItemCount() - 1) : -1;
}

void TkdDBGridBase::SetSelectedIndex(int AValue)
{
    MoveToItem(AValue, 0, Qt::NoModifier);
}

db::Field *TkdDBGridBase::SelectedField() const
{
    const int item = SelectedIndex();
    return item >= 0 ? ItemField(item) : nullptr;
}

void TkdDBGridBase::SetSelectedField(db::Field *AField)
{
    if (!AField)
        return;
    for (int i = 0; i < ItemCount(); ++i)
        if (ItemField(i) == AField)
            MoveToItem(i, 0, Qt::NoModifier);
}

void TkdDBGridBase::HostItemChanged(int AIndex)
{
    if (FLayoutLock > 0)
        return;
    if (AIndex < 0) {
        Relayout();
        return;
    }
    const int field = ItemFieldIndex(AIndex);
    if (FColumnar && field >= 0) {
        ++FLayoutLock;
        const int width = ItemWidth(AIndex);
        FTitleHeader->setSectionHidden(field, width < 0);
        if (width >= 0)
            FTitleHeader->resizeSection(field, width);
        --FLayoutLock;
    }
    FTitleHeader->viewport()->update();
    viewport()->update();
}

void TkdDBGridBase::Relayout()
{
    if (FLayoutLock > 0)
        return;
    ApplyItemLayout();
}

void TkdDBGridBase::ApplyItemLayout()
{
    ++FLayoutLock;
    SyncItemsWithFields();
    const int fields = FModel ? FModel->columnCount() : 0;
    FFieldToItem.assign(std::size_t(fields), -1);
    int pos = 0;
    for (int i = 0; i < ItemCount(); ++i) {
        const int f = ItemFieldIndex(i);
        if (f < 0 || f >= fields || FFieldToItem[std::size_t(f)] >= 0)
            continue;
        FFieldToItem[std::size_t(f)] = i;
        const int from = FTitleHeader->visualIndex(f);
        if (from != pos && from >= 0)
            FTitleHeader->moveSection(from, pos);
        ++pos;
    }
    const int rowHeight = DefaultRowHeight();
    for (int f = 0; f < fields; ++f) {
        const int item = FFieldToItem[std::size_t(f)];
        const bool hidden = item < 0 || !ItemShowing(item);
        FTitleHeader->setSectionHidden(f, hidden);
        if (!hidden && FColumnar)
            FTitleHeader->resizeSection(f, std::max(0, ItemWidth(item)));
    }
    const int titleExtent = TitleExtent();
    if (FColumnar) {
        FIndicatorHeader->setMinimumSectionSize(1);
        FIndicatorHeader->setDefaultSectionSize(rowHeight);
        FIndicatorHeader->setFixedWidth(11);
        FIndicatorHeader->setVisible(HasOption(dgIndicator));
        FTitleHeader->setFixedHeight(titleExtent);
        FTitleHeader->setVisible(HasOption(dgTitles));
    } else {
        FTitleHeader->setMinimumSectionSize(1);
        FTitleHeader->setDefaultSectionSize(rowHeight);
        for (int f = 0; f < fields; ++f)
            if (!FTitleHeader->isSectionHidden(f))
                FTitleHeader->resizeSection(f, rowHeight);
        int width = 64;
        for (int i = 0; i < ItemCount(); ++i)
            width = std::max(width, QFontMetrics(FTitleFont).horizontalAdvance(ItemCaption(i)) + 4);
        FTitleHeader->setFixedWidth(width);
        FTitleHeader->setVisible(HasOption(dgTitles));
        FIndicatorHeader->setMinimumSectionSize(8);
        if (FIndicatorHeader->defaultSectionSize() != FDefaultColWidth)
            FIndicatorHeader->setDefaultSectionSize(FDefaultColWidth);
        FIndicatorHeader->setFixedHeight(titleExtent);
        FIndicatorHeader->setVisible(HasOption(dgIndicator));
    }
    setShowGrid(HasOption(dgColLines) || HasOption(dgRowLines));
    --FLayoutLock;
    SyncCurrent();
    viewport()->update();
    FTitleHeader->viewport()->update();
}

// ---- geometry -------------------------------------------------------------------------------

int TkdDBGridBase::VisibleRecordCount() const
{
    const int extent = FColumnar ? viewport()->height() : viewport()->width();
    const int size = FColumnar ? std::max(1, DefaultRowHeight()) : std::max(1, FDefaultColWidth);
    return std::max(1, extent / size);
}

int TkdDBGridBase::FirstVisibleRecord() const
{
    const int r = FColumnar ? rowAt(0) : columnAt(0);
    return std::max(0, r);
}

QRect TkdDBGridBase::GetCellRect(int ACol, int ARow) const
{
    // Grid coordinates: column 0 and row 0 are the fixed indicator and title lines.
    const int record = FColumnar ? ARow - 1 : ACol - 1;
    const int item = FColumnar ? ACol - 1 : ARow - 1;
    if (record < 0 || item < 0 || item >= ItemCount())
        return QRect();
    const QModelIndex index = ViewIndex(record, ItemFieldIndex(item));
    QRect r = visualRect(index);
    if (!r.isValid() || !viewport()->rect().intersects(r))
        return QRect();
    return r.translated(viewport()->pos());
}

bool TkdDBGridBase::CellHighlighted(int ARecord, int AItem) const
{
    db::DataSet *ds = DataSet();
    if (!ds || !ds->isActive())
        return false;
    bool marked = HasOption(dgMultiSelect) && FBookmarks.Count() > 0 && FBookmarks.Contains(ds->bookmarkAt(ARecord));
    if (!marked) {
        const bool focused = Within(this, QApplication::focusWidget());
        marked = ARecord == CurrentRecord() && AItem == FCurrentItem && (focused || HasOption(dgAlwaysShowSelection));
    }
    if (!marked)
        return false;
    return FWholeSelected || (AItem >= std::min(FSelStart, FSelEnd) && AItem <= std::max(FSelStart, FSelEnd));
}

// ---- current record and item ------------------------------------------------------------------

void TkdDBGridBase::SyncCurrent()
{
    db::DataSet *ds = DataSet();
    if (!FModel || !ds || !ds->isActive() || FLayoutLock > 0)
        return;
    FModel->SyncRowCount();
    const int record = CurrentRecord();
    const db::DataSet::Bookmark mark = ds->bookmark();
    if (mark.id != FLastRecord.id) {
        FLastRecord = mark;
        if (ds->state() != db::DataSet::State::Insert)
            FEditModified = false;
    }
    if (record < 0 || ItemCount() == 0)
        return;
    if (FCurrentItem >= ItemCount() || FCurrentItem < 0 || !ItemShowing(FCurrentItem)) {
        FCurrentItem = 0;
        while (FCurrentItem < ItemCount() - 1 && !ItemShowing(FCurrentItem))
            ++FCurrentItem;
    }
    const QModelIndex index = ViewIndex(record, ItemFieldIndex(FCurrentItem));
    if (!index.isValid())
        return;
    if (index != currentIndex()) {
        FSyncing = true;
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
        FSyncing = false;
    }
    scrollTo(index);
    FIndicatorHeader->viewport()->update();
    viewport()->update();
    if (HasOption(dgAlwaysShowEditor) && Within(this, QApplication::focusWidget()) && !FInCopyOrPaste)
        ShowEditor();
}

void TkdDBGridBase::currentChanged(const QModelIndex &ACurrent, const QModelIndex &APrevious)
{
    QTableView::currentChanged(ACurrent, APrevious);
    if (FSyncing)
        return;
    // The view moved its current cell itself (rows inserted or removed around it): the data
    // set's current record decides, once the change is complete.
    QMetaObject::invokeMethod(this, [this] {
        if (!FSyncing)
            SyncCurrent();
    }, Qt::QueuedConnection);
}

void TkdDBGridBase::MoveToRecord(int ARecord)
{
    db::DataSet *ds = DataSet();
    if (!ds || !ds->isActive() || ds->fetchedCount() == 0)
        return;
    if (ARecord != CurrentRecord())
        ds->setRecNo(std::max(0, ARecord) + 1);
    SyncCurrent();
}

void TkdDBGridBase::MoveBy(int ADistance)
{
    db::DataSet *ds = DataSet();
    if (!ds || !ds->isActive() || ds->fetchedCount() == 0)
        return;
    if (ADistance == 1)
        ds->next();
    else if (ADistance == -1)
        ds->prior();
    else if (ADistance != 0)
        ds->setRecNo(std::max(1, ds->recNo() + ADistance));
    SyncCurrent();
}

void TkdDBGridBase::MoveToItem(int AItem, int ADirection, Qt::KeyboardModifiers AShift)
{
    const int n = ItemCount();
    if (n == 0)
        return;
    int item = std::clamp(AItem, 0, n - 1);
    if (ADirection != 0) {
        while (item >= 0 && item < n && !ItemShowing(item))
            item += ADirection;
        if (item < 0 || item >= n)
            return;
    }
    if (item != FCurrentItem) {
        if (!FInItemExit) {
            FInItemExit = true;
            if (OnColExit)
                OnColExit();
            FInItemExit = false;
        }
        HideEditor();
        FCurrentItem = item;
        SyncCurrent();
        if (OnColEnter)
            OnColEnter();
    }
    if ((AShift & Qt::ShiftModifier) && !FTabbing) {
        FSelEnd = item;
    } else {
        FSelStart = item;
        FSelEnd = item;
    }
    FWholeSelected = (AShift & Qt::ControlModifier) != 0;
    if (HasOption(dgMultiSelect) && LinkActive() && CurrentRecord() >= 0)
        FBookmarks.SetCurrentRowSelected(!(AShift & Qt::ControlModifier));
    viewport()->update();
}

void TkdDBGridH::MoveToItem(int AItem, int ADirection, Qt::KeyboardModifiers AShift)
{
    const int before = FCurrentItem;
    const int n = ItemCount();
    int target = n > 0 ? std::clamp(AItem, 0, n - 1) : 0;
    if (ADirection != 0) {
        while (target >= 0 && target < n && !ItemShowing(target))
            target += ADirection;
        if (target < 0 || target >= n)
            return;
    }
    Q_UNUSED(before);
    TkdDBGridBase::MoveToItem(target, 0, AShift);
    // The column-wise grid selects the current record on every field move, Ctrl or not.
    if (HasOption(dgMultiSelect) && LinkActive() && CurrentRecord() >= 0)
        FBookmarks.SetCurrentRowSelected(true);
}

bool TkdDBGridBase::InsertUnchanged()
{
    db::DataSet *ds = DataSet();
    return ds && ds->state() == db::DataSet::State::Insert && !FEditModified;
}

void TkdDBGridBase::NextRecord(bool ASelect, Qt::KeyboardModifiers AShift)
{
    db::DataSet *ds = DataSet();
    if (InsertUnchanged()) {
        if (CurrentRecord() >= ds->fetchedCount() - 1 && ds->fetchedAll())
            return; // an empty appended record at the end stays as it is
        ds->cancel();
        SyncCurrent();
        return;
    }
    MoveWithSelection(ASelect, 1, AShift);
    if (ds->eof() && CanModifyData() && !FReadOnly && HasOption(dgEditing)) {
        HideEditor();
        ds->append();
        FEditModified = false;
        SyncCurrent();
    }
}

void TkdDBGridBase::PriorRecord(bool ASelect, Qt::KeyboardModifiers AShift)
{
    db::DataSet *ds = DataSet();
    if (InsertUnchanged() && CurrentRecord() >= ds->fetchedCount() - 1) {
        HideEditor();
        ds->cancel();
        SyncCurrent();
        return;
    }
    MoveWithSelection(ASelect, -1, AShift);
}

void TkdDBGridBase::MoveWithSelection(bool ASelect, int ADirection, Qt::KeyboardModifiers AShift)
{
    db::DataSet *ds = DataSet();
    bool selectAfter = false;
    if (HasOption(dgMultiSelect) && LinkActive()) {
        if (ASelect && (AShift & Qt::ShiftModifier)) {
            if (!FSelecting) {
                FSelectionAnchor = ds->bookmark();
                FBookmarks.SetCurrentRowSelected(true);
                FSelecting = true;
                selectAfter = true;
            } else if (ds->compareBookmarks(ds->bookmark(), FSelectionAnchor) == -ADirection) {
                FBookmarks.SetCurrentRowSelected(false); // going back towards the anchor
            } else {
                selectAfter = true;
            }
        } else {
            ClearRecordSelection();
        }
    }
    MoveBy(ADirection);
    if (selectAfter)
        FBookmarks.SetCurrentRowSelected(true);
}

void TkdDBGridBase::TabToItem(bool AForward)
{
    const int n = ItemCount();
    if (n == 0)
        return;
    FTabbing = true;
    const int start = FCurrentItem;
    int item = start;
    int wraps = 0;
    for (;;) {
        item += AForward ? 1 : -1;
        if (item >= n) {
            if (++wraps > 1)
                break;
            NextRecord(false, Qt::NoModifier);
            item = 0;
        } else if (item < 0) {
            if (++wraps > 1)
                break;
            PriorRecord(false, Qt::NoModifier);
            item = n - 1;
        }
        if (item == start)
            break;
        db::Field *field = ItemField(item);
        const bool tabStop = ItemShowing(item)
                             && (!FColumnar || (!ItemReadOnly(item) && field && !field->readOnly()));
        if (tabStop) {
            MoveToItem(item, 0, Qt::NoModifier);
            break;
        }
    }
    FTabbing = false;
}

void TkdDBGridBase::ClearRecordSelection()
{
    if (HasOption(dgMultiSelect)) {
        FBookmarks.Clear();
        FSelecting = false;
    }
}

bool TkdDBGridBase::ConfirmDelete()
{
    if (!HasOption(dgConfirmDelete))
        return true;
    const QString text = FBookmarks.Count() > 1 ? QStringLiteral("選択されたレコードをすべて削除してよいですか？")
                                                : QStringLiteral("レコードを削除しますか？");
    return ShowMessageBox(text, MB_OKCANCEL | MB_ICONQUESTION) != IDCANCEL;
}

bool TkdDBGridBase::CanModifyData()
{
    db::DataSet *ds = DataSet();
    return ds && ds->isActive() && ds->canModify();
}

bool TkdDBGridBase::CanEditCell(int AItem)
{
    if (FReadOnly || !LinkActive() || AItem < 0 || AItem >= ItemCount() || ItemReadOnly(AItem))
        return false;
    db::Field *field = ItemField(AItem);
    if (!field || field->readOnly() || field->dataType() == db::FieldType::Bytes)
        return false;
    // Decided from the result's columns alone: every column must come from the same table.
    // The catalog check of the data set runs at the first change, not when the editor opens,
    // so that opening a large result sends nothing more to the server (a statement would end
    // the block that reads the result and make the server compute every remaining row).
    db::DataSet *ds = DataSet();
    if (ds->readOnly() || ds->fieldCount() == 0)
        return false;
    const unsigned table = ds->field(0).tableOid();
    for (int i = 0; i < ds->fieldCount(); ++i)
        if (ds->field(i).tableOid() != table || table == 0 || ds->field(i).tableColumn() <= 0)
            return false;
    return true;
}

void TkdDBGridBase::DeleteRecords()
{
    db::DataSet *ds = DataSet();
    TkdWaitCursor wait;
    HideEditor();
    if (FBookmarks.Count() > 0)
        FBookmarks.Delete();
    else
        ds->deleteRecord();
    FBookmarks.Clear();
    SyncCurrent();
}

// ---- keys -------------------------------------------------------------------------------------

bool TkdDBGridBase::Guard(const std::function<void()> &AWork)
{
    try {
        AWork();
        return true;
    } catch (const db::Error &e) {
        ShowError(e.message);
    } catch (const std::exception &e) {
        ShowError(QString::fromUtf8(e.what()));
    }
    return false;
}

bool TkdDBGridBase::KeyDown(int AKey, Qt::KeyboardModifiers AShift)
{
    bool used = false;
    Guard([&] {
        db::DataSet *ds = DataSet();
        TkdAutoCommitScope scope(ds);
        if (!ds || !ds->isActive())
            return;
        const bool ctrl = AShift & Qt::ControlModifier;
        const int recPrev = FColumnar ? Qt::Key_Up : Qt::Key_Left;
        const int recNext = FColumnar ? Qt::Key_Down : Qt::Key_Right;
        const int itemPrev = FColumnar ? Qt::Key_Left : Qt::Key_Up;
        const int itemNext = FColumnar ? Qt::Key_Right : Qt::Key_Down;
        const int n = ItemCount();
        const int lastVisible = std::min(ds->fetchedCount() - 1, FirstVisibleRecord() + VisibleRecordCount() - 1);
        used = true;
        if (ctrl) {
            if (AKey == recPrev) {
                if (FColumnar)
                    ClearRecordSelection();
                MoveToRecord(FirstVisibleRecord());
            } else if (AKey == recNext) {
                if (FColumnar)
                    ClearRecordSelection();
                MoveToRecord(lastVisible);
            } else if (AKey == Qt::Key_PageUp) {
                ClearRecordSelection();
                if (FColumnar)
                    MoveToRecord(FirstVisibleRecord());
            } else if (AKey == Qt::Key_PageDown) {
                ClearRecordSelection();
                if (FColumnar)
                    MoveToRecord(lastVisible);
            } else if (AKey == Qt::Key_Home) {
                ClearRecordSelection();
                ds->first();
                SyncCurrent();
            } else if (AKey == Qt::Key_End) {
                ClearRecordSelection();
                TkdWaitCursor wait;
                ds->last();
                SyncCurrent();
            } else if (AKey == itemPrev) {
                if (!FColumnar)
                    ClearRecordSelection();
                MoveToItem(0, 1, AShift);
            } else if (AKey == itemNext) {
                if (!FColumnar)
                    ClearRecordSelection();
                MoveToItem(n - 1, -1, AShift);
            } else if (AKey == Qt::Key_Delete) {
                if (!FReadOnly && ds->fetchedCount() > 0 && CanModifyData() && ConfirmDelete())
                    DeleteRecords();
            } else {
                used = false;
            }
            return;
        }
        if (AKey == recPrev) {
            PriorRecord(true, AShift);
        } else if (AKey == recNext) {
            NextRecord(true, AShift);
        } else if (AKey == itemPrev) {
            MoveToItem(FCurrentItem - 1, -1, AShift);
        } else if (AKey == itemNext || AKey == Qt::Key_Return || AKey == Qt::Key_Enter) {
            MoveToItem(FCurrentItem + 1, 1, AShift);
        } else if (AKey == Qt::Key_Home) {
            if (n == 1) {
                ClearRecordSelection();
                ds->first();
                SyncCurrent();
            } else {
                MoveToItem(0, 1, AShift);
            }
        } else if (AKey == Qt::Key_End) {
            if (n == 1) {
                ClearRecordSelection();
                ds->last();
                SyncCurrent();
            } else {
                MoveToItem(n - 1, -1, AShift);
            }
        } else if (AKey == Qt::Key_PageDown) {
            ClearRecordSelection();
            MoveBy(VisibleRecordCount());
        } else if (AKey == Qt::Key_PageUp) {
            ClearRecordSelection();
            MoveBy(-VisibleRecordCount());
        } else if (AKey == Qt::Key_Insert) {
            if (CanModifyData() && !FReadOnly && HasOption(dgEditing)) {
                ClearRecordSelection();
                HideEditor();
                ds->insert();
                FEditModified = false;
                SyncCurrent();
            }
        } else if (AKey == Qt::Key_Tab || AKey == Qt::Key_Backtab) {
            if (!(AShift & Qt::AltModifier))
                TabToItem(AKey == Qt::Key_Tab && !(AShift & Qt::ShiftModifier));
        } else if (AKey == Qt::Key_Escape) {
            ResetEdit();
            ClearRecordSelection();
        } else if (AKey == Qt::Key_F2) {
            ShowEditor();
        } else {
            used = false;
        }
    });
    return used;
}

void TkdDBGridBase::ResetEdit()
{
    db::DataSet *ds = DataSet();
    HideEditor();
    if (ds && (ds->state() == db::DataSet::State::Edit || ds->state() == db::DataSet::State::Insert))
        ds->cancel();
    FEditModified = false;
    SyncCurrent();
}

void TkdDBGridBase::keyPressEvent(QKeyEvent *AEvent)
{
    if (AEvent->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    if (AEvent->matches(QKeySequence::Paste)) {
        paste();
        return;
    }
    if (KeyDown(AEvent->key(), AEvent->modifiers())) {
        AEvent->accept();
        return;
    }
    // Typing on a cell without an open editor opens it and types there.
    if (!AEvent->text().isEmpty() && AEvent->text().at(0).isPrint() && !(AEvent->modifiers() & Qt::ControlModifier)) {
        ShowEditor();
        if (FEditor) {
            FEditor->Edit()->selectAll();
            QKeyEvent copyEvent(AEvent->type(), AEvent->key(), AEvent->modifiers(), AEvent->text());
            QApplication::sendEvent(FEditor->Edit(), &copyEvent);
            return;
        }
    }
    AEvent->ignore();
}

// ---- editor ---------------------------------------------------------------------------------

void TkdDBGridBase::ShowEditor()
{
    if (FEditor || FLayoutLock > 0 || !LinkActive() || HasOption(dgRowSelect) || !HasOption(dgEditing))
        return;
    const QModelIndex index = currentIndex();
    if (!index.isValid())
        return;
    QAbstractItemView::edit(index);
    if (FEditor)
        FEditor->setFocus();
}

void TkdDBGridBase::HideEditor()
{
    if (!FEditor)
        return;
    TkdInplaceEditor *editor = FEditor;
    if (!editor->isVisible()) {
        // Already released by the view (its row went away); it is deleted later.
        editor->DetachHost();
        FEditor = nullptr;
        return;
    }
    const bool hadFocus = Within(editor, QApplication::focusWidget());
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    if (hadFocus)
        setFocus();
}

void TkdDBGridBase::closeEditor(QWidget *AEditor, QAbstractItemDelegate::EndEditHint AHint)
{
    // The view closes its editor itself when the current cell changes: forget it here.
    if (AEditor == FEditor) {
        FEditor->DetachHost();
        FEditor = nullptr;
    }
    QTableView::closeEditor(AEditor, AHint);
}

void TkdDBGridBase::HostEditorGone(TkdInplaceEditor *AEditor)
{
    if (FEditor == AEditor)
        FEditor = nullptr;
}

void TkdDBGridBase::StoreEditorText()
{
    // Every change is written as it is typed; nothing is pending in the editor.
}

void TkdDBGridBase::HostStoreEditText(TkdInplaceEditor *AEditor, const QString &AText)
{
    db::DataSet *ds = DataSet();
    if (!ds || !ds->isActive() || AEditor->EditRow() != CurrentRecord())
        return;
    const int item = AEditor->EditCol();
    const bool written = Guard([&] {
        db::Field *field = ItemField(item);
        if (!field || !CanEditCell(item))
            return;
        field->setText(AText);
        FEditModified = true;
    });
    if (!written && !ds->canModify() && FEditor == AEditor) {
        // The result turned out read-only: the editor shows the value again and takes no typing.
        AEditor->SetText(HostCellText(AEditor));
        AEditor->SetMaxLength(-1);
    }
}

QString TkdDBGridBase::HostCellText(const TkdInplaceEditor *AEditor) const
{
    const int field = ItemFieldIndex(AEditor->EditCol());
    return FModel && field >= 0 ? FModel->EditText(AEditor->EditRow(), field) : QString();
}

QStringList TkdDBGridBase::HostPickList(const TkdInplaceEditor *AEditor) const
{
    const int item = AEditor->EditCol();
    return item >= 0 && item < ItemCount() ? ItemPickList(item) : QStringList();
}

int TkdDBGridBase::HostDropDownRows(const TkdInplaceEditor *AEditor) const
{
    const int item = AEditor->EditCol();
    return item >= 0 && item < ItemCount() ? ItemDropDownRows(item) : 7;
}

void TkdDBGridBase::HostEditButtonClick(TkdInplaceEditor *)
{
    if (OnEditButtonClick)
        Guard([&] { OnEditButtonClick(); });
}

bool TkdDBGridBase::HostEditorKeyDown(TkdInplaceEditor *AEditor, QKeyEvent *AEvent)
{
    const int key = AEvent->key();
    const Qt::KeyboardModifiers mods = AEvent->modifiers();
    if (key == Qt::Key_Down && (mods & Qt::AltModifier) && AEditor->EditStyle() == gePickList) {
        AEditor->DropDown();
        return true;
    }
    bool toGrid = false;
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
        toGrid = (mods & Qt::ControlModifier) || AEditor->WholeTextSelected();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
        toGrid = true;
        break;
    case Qt::Key_Insert:
        toGrid = !(mods & (Qt::ShiftModifier | Qt::ControlModifier));
        break;
    case Qt::Key_Delete:
        toGrid = (mods & Qt::ControlModifier) != 0;
        break;
    default:
        break;
    }
    if (!toGrid)
        return false;
    KeyDown(key, mods);
    return true;
}

bool TkdDBGridBase::HostCopy(TkdInplaceEditor *)
{
    if (FBookmarks.Count() == 0)
        return false;
    copy();
    return true;
}

bool TkdDBGridBase::HostPaste(TkdInplaceEditor *)
{
    const QString text = QGuiApplication::clipboard()->text();
    if (!text.contains(QLatin1Char('\t')) && !text.contains(QLatin1Char('\n')))
        return false;
    PasteRecords(text);
    return true;
}

bool TkdDBGridBase::HostClear(TkdInplaceEditor *)
{
    if (FBookmarks.Count() == 0)
        return false;
    clear();
    return true;
}

// ---- mouse -------------------------------------------------------------------------------------

void TkdDBGridBase::SelectRecordRange(int AFrom, int ATo)
{
    // A Shift+click: the records from the old current one to the clicked one, and the item
    // range grows to the current item.
    db::DataSet *ds = DataSet();
    std::vector<db::DataSet::Bookmark> marks;
    for (int r = std::max(0, std::min(AFrom, ATo)); r <= std::max(AFrom, ATo); ++r)
        marks.push_back(ds->bookmarkAt(r));
    FBookmarks.SetList(std::move(marks));
    FSelEnd = FCurrentItem;
}

void TkdDBGridBase::CellPress(int ARecord, int AItem, Qt::MouseButton AButton, Qt::KeyboardModifiers AShift)
{
    FSelectedCell = FColumnar ? QPoint(AItem + 1, ARecord + 1) : QPoint(ARecord + 1, AItem + 1);
    const int oldRecord = CurrentRecord();
    const int oldItem = FCurrentItem;
    HideEditor();
    if (ARecord != oldRecord)
        MoveToRecord(ARecord);
    if (CurrentRecord() != ARecord)
        return; // the move failed (the record being left could not be posted)
    if (AItem >= 0)
        MoveToItem(AItem, 0, AShift);
    if (HasOption(dgMultiSelect)) {
        FSelecting = false;
        if (AShift & Qt::ControlModifier) {
            FBookmarks.SetCurrentRowSelected(!FBookmarks.CurrentRowSelected());
        } else {
            FBookmarks.Clear();
            if (AShift & Qt::ShiftModifier)
                SelectRecordRange(oldRecord, ARecord);
            FWholeSelected = false;
        }
    }
    if (AButton == Qt::LeftButton && ((ARecord == oldRecord && AItem == oldItem) || HasOption(dgAlwaysShowEditor)))
        ShowEditor();
    viewport()->update();
}

void TkdDBGridBase::IndicatorPress(int ARecord, Qt::MouseButton AButton, Qt::KeyboardModifiers AShift)
{
    db::DataSet *ds = DataSet();
    // A right press on the indicator keeps the selected records for a popup menu.
    if (AButton == Qt::RightButton && FBookmarks.Count() > 0)
        return;
    FSelectedCell = FColumnar ? QPoint(0, ARecord + 1) : QPoint(ARecord + 1, 0);
    const int oldRecord = CurrentRecord();
    HideEditor();
    if (ARecord != oldRecord)
        MoveToRecord(ARecord);
    if (CurrentRecord() != ARecord)
        return;
    if (HasOption(dgMultiSelect)) {
        FSelecting = false;
        if (AShift & Qt::ControlModifier) {
            FBookmarks.SetCurrentRowSelected(!FBookmarks.CurrentRowSelected());
        } else {
            if (AShift & Qt::ShiftModifier) {
                SelectRecordRange(oldRecord, ARecord);
            } else {
                FBookmarks.SetList({ds->bookmark()});
            }
            FWholeSelected = true;
        }
    }
    viewport()->update();
    setFocus();
}

void TkdDBGridBase::mousePressEvent(QMouseEvent *AEvent)
{
    const QModelIndex index = indexAt(AEvent->position().toPoint());
    if (!index.isValid()) {
        QTableView::mousePressEvent(AEvent);
        return;
    }
    if (AEvent->button() == Qt::RightButton) {
        const int item = ItemOfField(FieldOf(index));
        if (item >= 0)
            if (QMenu *menu = ItemPopupMenu(item)) {
                menu->popup(AEvent->globalPosition().toPoint());
                return;
            }
    }
    setFocus();
    Guard([&] {
        TkdAutoCommitScope scope(DataSet());
        if (LinkActive())
            CellPress(RecordOf(index), ItemOfField(FieldOf(index)), AEvent->button(), AEvent->modifiers());
    });
}

void TkdDBGridBase::mouseReleaseEvent(QMouseEvent *AEvent)
{
    const QModelIndex index = indexAt(AEvent->position().toPoint());
    if (AEvent->button() == Qt::LeftButton && index.isValid() && SelectedIndex() >= 0)
        Guard([&] { FireCellClick(SelectedIndex()); });
}

void TkdDBGridBase::mouseDoubleClickEvent(QMouseEvent *AEvent)
{
    if (AEvent->button() == Qt::LeftButton && OnDblClick)
        Guard([&] { OnDblClick(); });
}

void TkdDBGridBase::wheelEvent(QWheelEvent *AEvent)
{
    // The wheel only scrolls: it neither moves the current record nor writes anything.
    QTableView::wheelEvent(AEvent);
}

bool TkdDBGridBase::eventFilter(QObject *AWatched, QEvent *AEvent)
{
    if (AWatched == FIndicatorHeader->viewport() && AEvent->type() == QEvent::MouseButtonPress) {
        auto *mouse = static_cast<QMouseEvent *>(AEvent);
        const QPoint pos = mouse->position().toPoint();
        const int along = FColumnar ? pos.y() : pos.x();
        const int record = FIndicatorHeader->logicalIndexAt(along);
        if (record < 0)
            return false;
        if (!FColumnar) {
            // Near a border of a record column the header sizes the columns.
            const int start = FIndicatorHeader->sectionViewportPosition(record);
            const int end = start + FIndicatorHeader->sectionSize(record);
            if (along - start <= 3 || end - along <= 3)
                return false;
        }
        Guard([&] {
            TkdAutoCommitScope scope(DataSet());
            if (LinkActive())
                IndicatorPress(record, mouse->button(), mouse->modifiers());
        });
        return true;
    }
    return QTableView::eventFilter(AWatched, AEvent);
}

void TkdDBGridBase::focusInEvent(QFocusEvent *AEvent)
{
    QTableView::focusInEvent(AEvent);
    if (HasOption(dgAlwaysShowEditor) && !FEditor)
        QMetaObject::invokeMethod(this, [this] {
            if (hasFocus())
                ShowEditor();
        }, Qt::QueuedConnection);
    viewport()->update();
}

void TkdDBGridBase::changeEvent(QEvent *AEvent)
{
    QTableView::changeEvent(AEvent);
    if (AEvent->type() == QEvent::FontChange)
        Relayout();
}

void TkdDBGridBase::FocusChanged(QWidget *AOld, QWidget *ANow)
{
    if (FLeaving)
        return;
    const bool wasIn = Within(this, AOld);
    const bool nowIn = Within(this, ANow);
    if (wasIn != nowIn)
        viewport()->update();
    // A message box of the grid itself takes the focus for a moment: not a leave. The focus
    // going nowhere (another window became active) is a leave.
    if (wasIn && !nowIn && !FInCopyOrPaste)
        LeaveGrid();
}

bool TkdDBGridBase::LeaveGrid()
{
    db::DataSet *ds = DataSet();
    if (!ds || !ds->isActive())
        return true;
    FLeaving = true;
    bool ok = true;
    try {
        TkdAutoCommitScope scope(ds);
        if (HasOption(dgCancelOnExit) && InsertUnchanged())
            ds->cancel();
        else if (ds->state() == db::DataSet::State::Edit || ds->state() == db::DataSet::State::Insert)
            ds->post();
    } catch (const db::Error &e) {
        // Always shown: the record stays in edit state in front of the user.
        ok = false;
        ShowError(e.message);
        if (isVisible() && isEnabled())
            setFocus();
    }
    FLeaving = false;
    return ok;
}

// ---- painting of the headers ----------------------------------------------------------------------

void TkdDBGridBase::PaintIndicator(QPainter *APainter, const QRect &ARect, int ARecord) const
{
    APainter->save();
    APainter->fillRect(ARect, FFixedColor);
    APainter->setPen(palette().color(QPalette::Mid));
    APainter->drawLine(ARect.topRight(), ARect.bottomRight());
    APainter->drawLine(ARect.bottomLeft(), ARect.bottomRight());
    db::DataSet *ds = DataSet();
    if (ds && ds->isActive()) {
        const bool current = ARecord == CurrentRecord();
        const bool selected = HasOption(dgMultiSelect) && FBookmarks.Count() > 0 && FBookmarks.Contains(ds->bookmarkAt(ARecord));
        int glyph = -1;
        if (current) {
            switch (ds->state()) {
            case db::DataSet::State::Edit: glyph = 1; break;
            case db::DataSet::State::Insert: glyph = 2; break;
            default: glyph = selected ? 4 : 0; break;
            }
        } else if (selected) {
            glyph = 3;
        }
        if (glyph >= 0) {
            // 6 × 11 glyphs (11 × 6 turned in the column-wise grid), centred in the cell.
            const QPoint c = ARect.center();
            APainter->setRenderHint(QPainter::Antialiasing, false);
            APainter->setPen(Qt::black);
            APainter->setBrush(Qt::black);
            auto pt = [&](int along, int across) {
                return FColumnar ? QPoint(c.x() - 3 + along, c.y() - 5 + across) : QPoint(c.x() - 5 + across, c.y() - 3 + along);
            };
            switch (glyph) {
            case 0: // arrow
            case 4: // arrow of a selected record
                APainter->drawPolygon(QPolygon({pt(1, 1), pt(5, 5), pt(1, 9)}));
                if (glyph == 4)
                    APainter->drawEllipse(QRect(pt(-2, 4), QSize(2, 2)));
                break;
            case 1: // editing: an I-beam
                APainter->drawLine(pt(3, 0), pt(3, 10));
                APainter->drawLine(pt(1, 0), pt(5, 0));
                APainter->drawLine(pt(1, 10), pt(5, 10));
                break;
            case 2: // inserting: an asterisk
                APainter->drawLine(pt(3, 2), pt(3, 8));
                APainter->drawLine(pt(0, 5), pt(6, 5));
                APainter->drawLine(pt(1, 3), pt(5, 7));
                APainter->drawLine(pt(5, 3), pt(1, 7));
                break;
            case 3: // selected: a dot
                APainter->drawEllipse(QRect(pt(2, 4), QSize(3, 3)));
                break;
            }
        }
    }
    APainter->restore();
}

void TkdDBGridBase::PaintTitle(QPainter *APainter, const QRect &ARect, int AField) const
{
    APainter->save();
    const int item = ItemOfField(AField);
    APainter->fillRect(ARect, item >= 0 ? ItemTitleColor(item) : FFixedColor);
    APainter->setPen(palette().color(QPalette::Mid));
    APainter->drawLine(ARect.topRight(), ARect.bottomRight());
    APainter->drawLine(ARect.bottomLeft(), ARect.bottomRight());
    if (item >= 0) {
        const QFont font = ItemTitleFont(item);
        APainter->setFont(font);
        APainter->setPen(palette().color(QPalette::ButtonText));
        const QRect textRect = ARect.adjusted(2, 0, -2, 0);
        const QString text = QFontMetrics(font).elidedText(ItemCaption(item), Qt::ElideRight, textRect.width());
        APainter->drawText(textRect, int(ToQt(ItemTitleAlignment(item)) | Qt::AlignVCenter | Qt::TextSingleLine), text);
    }
    APainter->restore();
}

void TkdDBGridBase::ShowFetchFailure(const QString &AMessage)
{
    // Shown once, after the scroll that ran into it has finished.
    QMetaObject::invokeMethod(this, [AMessage] {
        ShowError(QStringLiteral("残りの行を読み込めませんでした。表示中の行はそのまま残ります。\n%1").arg(AMessage));
    }, Qt::QueuedConnection);
}

// ---- edit commands ---------------------------------------------------------------------------------

QString TkdDBGridBase::SelectionText()
{
    db::DataSet *ds = DataSet();
    if (!ds || !ds->isActive())
        return QString();
    if (FBookmarks.Count() == 0) {
        const int item = SelectedIndex();
        const int field = item >= 0 ? ItemFieldIndex(item) : -1;
        return field >= 0 && CurrentRecord() >= 0 ? FModel->EditText(CurrentRecord(), field) : QString();
    }
    // The highlighted items in display order: every shown item, or the item range.
    std::vector<int> fields;
    const int lo = std::min(FSelStart, FSelEnd), hi = std::max(FSelStart, FSelEnd);
    for (int i = 0; i < ItemCount(); ++i) {
        if (!ItemShowing(i) || ItemFieldIndex(i) < 0)
            continue;
        if (FWholeSelected || (i >= lo && i <= hi))
            fields.push_back(ItemFieldIndex(i));
    }
    const bool many = FBookmarks.Count() > 1;
    QString out;
    TkdLoopScope loop;
    const int total = FBookmarks.Count();
    int done = 0;
    for (const db::DataSet::Bookmark &mark : FBookmarks.List()) {
        if ((++done % 1000) == 0 && loop.Step(done, total))
            throw EAbort();
        const int row = [&] {
            for (int guess : {mark.hint}) // the row the bookmark was taken at, usually still right
                if (guess >= 0 && guess < ds->fetchedCount() && ds->bookmarkAt(guess).id == mark.id)
                    return guess;
            ds->disableControls();
            const db::DataSet::Bookmark keep = ds->bookmark();
            ds->gotoBookmark(mark);
            const int r = ds->recNo() - 1;
            ds->gotoBookmark(keep);
            ds->enableControls();
            return r;
        }();
        for (std::size_t k = 0; k < fields.size(); ++k) {
            if (k > 0)
                out += QLatin1Char('\t');
            out += QuoteValue(FModel->EditText(row, fields[k]));
        }
        if (many)
            out += QStringLiteral("\r\n");
    }
    return out;
}

void TkdDBGridBase::copy()
{
    FInCopyOrPaste = true;
    Guard([&] {
        TkdWaitCursor wait;
        try {
            const QString text = SelectionText();
            QGuiApplication::clipboard()->setText(text);
        } catch (const EAbort &) {
            // Esc: the clipboard keeps what it held
        }
    });
    FInCopyOrPaste = false;
}

void TkdDBGridBase::paste()
{
    const QString text = QGuiApplication::clipboard()->text();
    if (text.contains(QLatin1Char('\t')) || text.contains(QLatin1Char('\n'))) {
        PasteRecords(text);
        return;
    }
    ShowEditor();
    if (FEditor && !FEditor->Edit()->isReadOnly()) {
        FEditor->Edit()->paste();
        HostStoreEditText(FEditor, FEditor->Text());
    }
}

void TkdDBGridBase::clear()
{
    if (FBookmarks.Count() == 0) {
        if (FEditor)
            FEditor->Clear();
        return;
    }
    FInCopyOrPaste = true;
    Guard([&] {
        db::DataSet *ds = DataSet();
        TkdAutoCommitScope scope(ds);
        if (FReadOnly || !CanModifyData() || !ConfirmDelete())
            return;
        DeleteRecords();
    });
    FInCopyOrPaste = false;
}

bool TkdDBGridBase::PasteRecords(const QString &AText)
{
    db::DataSet *ds = DataSet();
    if (!ds || !ds->isActive() || FReadOnly || !CanModifyData())
        return false; // a read-only result takes no records
    const QList<QStringList> records = KdParseClipboardRecords(AText);
    if (records.isEmpty())
        return false;
    // The shown items in display order receive the values of a line.
    std::vector<int> fields;
    for (int i = 0; i < ItemCount(); ++i)
        if (ItemShowing(i) && ItemFieldIndex(i) >= 0)
            fields.push_back(ItemFieldIndex(i));
    FInCopyOrPaste = true;
    HideEditor();
    bool ok = false;
    Guard([&] {
        TkdAutoCommitScope scope(ds);
        TkdWaitCursor wait;
        db::Connection *conn = ds->connection();
        if (ds->state() != db::DataSet::State::Browse)
            ds->post();
        // One transaction for all lines: a savepoint inside an open block. Without
        // auto-commit the block stays open for the user's commit.
        if (!conn->inTransaction() && !conn->autoCommit())
            conn->execute(QStringLiteral("BEGIN"));
        conn->startTransaction();
        std::vector<db::DataSet::Bookmark> posted;
        int line = 0;
        bool cancelled = false;
        QString failure;
        TkdLoopScope loop;
        ds->disableControls();
        try {
            // Inserted in reverse before the current record, so that the lines keep their order.
            for (int i = int(records.size()) - 1; i >= 0; --i) {
                line = i + 1;
                if (loop.Step(int(records.size()) - i, int(records.size()))) {
                    cancelled = true;
                    break;
                }
                ds->insert();
                const QStringList &values = records[i];
                for (int k = 0; k < values.size() && std::size_t(k) < fields.size(); ++k)
                    ds->field(fields[std::size_t(k)]).setText(values[k]);
                ds->post();
                posted.push_back(ds->bookmark());
            }
            if (!cancelled)
                conn->commit();
        } catch (const db::Error &e) {
            failure = e.message;
        }
        if (cancelled || !failure.isEmpty()) {
            if (ds->state() != db::DataSet::State::Browse)
                ds->cancel();
            try {
                conn->rollback();
            } catch (const db::Error &) {
                // the block is gone already (a failed COMMIT)
            }
            for (const db::DataSet::Bookmark &mark : posted)
                if (ds->bookmarkValid(mark)) {
                    ds->gotoBookmark(mark);
                    ds->dropRecord();
                }
        }
        ds->enableControls();
        FEditModified = false;
        SyncCurrent();
        if (!failure.isEmpty()) {
            ShowError(QStringLiteral("%1 行目を貼り付けできませんでした。貼り付けはすべて取り消しました。\n%2").arg(line).arg(failure));
            return;
        }
        ok = !cancelled;
    });
    FInCopyOrPaste = false;
    return ok;
}

void TkdDBGridBase::selectAll()
{
    if (FEditor && !FEditor->WholeTextSelected()) {
        FEditor->Edit()->selectAll();
        return;
    }
    db::DataSet *ds = DataSet();
    if (!ds || !ds->isActive())
        return;
    FInCopyOrPaste = true;
    Guard([&] {
        TkdWaitCursor wait;
        TkdLoopScope loop;
        while (!ds->fetchedAll()) {
            ds->fetchMore();
            if (loop.Step(ds->fetchedCount(), 0))
                return; // Esc: nothing selected
        }
        FModel->SyncRowCount();
        std::vector<db::DataSet::Bookmark> marks;
        marks.reserve(std::size_t(ds->fetchedCount()));
        for (int r = 0; r < ds->fetchedCount(); ++r)
            marks.push_back(ds->bookmarkAt(r));
        FBookmarks.SetList(std::move(marks));
        FSelStart = 0;
        FSelEnd = std::max(0, ItemCount() - 1);
        viewport()->update();
    });
    FInCopyOrPaste = false;
}

// ============================================================================ the two grids

template <bool Columnar>
TkdDBGridT<Columnar>::TkdDBGridT(QWidget *AParent) : TkdDBGridBase(Columnar, AParent), FItems(this)
{
}

template <bool Columnar>
void TkdDBGridT<Columnar>::SyncItemsWithFields()
{
    // Items the grid made give way to items added explicitly after them.
    bool seenUnstored = false, mixed = false;
    for (int i = 0; i < FItems.Count(); ++i) {
        if (!FItems[i]->Stored())
            seenUnstored = true;
        else if (seenUnstored)
            mixed = true;
    }
    if (mixed)
        for (int i = FItems.Count() - 1; i >= 0; --i)
            if (!FItems[i]->Stored())
                FItems.Delete(i);
    if (FItems.State() == csCustomized)
        return;
    db::DataSet *ds = DataSet();
    std::vector<int> fields;
    if (ds && ds->isActive())
        for (int i = 0; i < ds->fieldCount(); ++i)
            if (ds->field(i).visible())
                fields.push_back(i);
    // Keep the grid's items (their order, widths and visibility as the user left them) while
    // they still bind the same fields.
    bool same = FItems.Count() == int(fields.size());
    if (same) {
        std::vector<int> bound;
        for (int i = 0; same && i < FItems.Count(); ++i) {
            const int f = FItems[i]->FieldIndex();
            same = f >= 0 && FItems[i]->FieldName() == ds->field(f).name();
            bound.push_back(f);
        }
        std::sort(bound.begin(), bound.end());
        same = same && bound == fields;
    }
    if (same)
        return;
    FItems.BeginUpdate();
    FItems.Clear();
    for (int f : fields)
        FItems.AddUnstored()->BindFieldIndex(f);
    FItems.EndUpdate();
}

template <bool Columnar>
void TkdDBGridT<Columnar>::MoveItem(int AFrom, int ATo)
{
    ++FLayoutLock;
    FItems.Move(AFrom, ATo);
    --FLayoutLock;
    if (FCurrentItem == AFrom)
        FCurrentItem = ATo;
    Relayout();
    if (OnItemMoved)
        OnItemMoved(AFrom, ATo);
}

template <bool Columnar>
void TkdDBGridT<Columnar>::ItemWidthChanged(int AItem, int AWidth)
{
    if constexpr (Columnar) {
        ++FLayoutLock;
        FItems[AItem]->SetWidth(AWidth);
        --FLayoutLock;
    }
}

template <bool Columnar>
void TkdDBGridT<Columnar>::FireTitleClick(int AItem)
{
    if (OnTitleClick)
        OnTitleClick(FItems[AItem]);
}

template <bool Columnar>
void TkdDBGridT<Columnar>::FireCellClick(int AItem)
{
    if (OnCellClick)
        OnCellClick(FItems[AItem]);
}

template <bool Columnar>
void TkdDBGridT<Columnar>::FireDrawCell(QPainter *APainter, const QRect &ARect, int AItem, const TGridDrawState &AState)
{
    if (OnDrawCell)
        OnDrawCell(APainter, ARect, AItem, FItems[AItem], AState);
}

template class TkdDBGridT<true>;
template class TkdDBGridT<false>;

TkdDBGridV::TkdDBGridV(QWidget *AParent) : TkdDBGridT<true>(AParent)
{
    setObjectName(QStringLiteral("TkdDBGridV"));
}

TkdDBGridH::TkdDBGridH(QWidget *AParent) : TkdDBGridT<false>(AParent)
{
    setObjectName(QStringLiteral("TkdDBGridH"));
}

void TkdDBGridH::SetDefaultColWidth(int AValue)
{
    if (AValue <= 0)
        return;
    FDefaultColWidth = AValue;
    ++FLayoutLock;
    FIndicatorHeader->setDefaultSectionSize(AValue);
    --FLayoutLock;
    HideEditor();
    Relayout();
}

int TkdDBGridH::GetColWidth(int AIndex) const
{
    if (AIndex == 0)
        return FTitleHeader->isVisible() ? FTitleHeader->width() : 0;
    return columnWidth(AIndex - 1);
}

// ============================================================================ shared settings

void KdInstallDBGridSettings()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    AddSharedSettingsBranch([](QWidget *AControl) {
        auto *grid = qobject_cast<TkdDBGridBase *>(AControl);
        if (!grid)
            return false;
        InstallFontSubstitutions();
        const TkdOption &option = TkdOption::Global();
        QFont font(option.DataFontName, option.DataFontSize > 0 ? option.DataFontSize : 10);
        font.setFixedPitch(true);
        font.setStyleHint(QFont::Monospace);
        grid->setFont(font);
        grid->SetTitleFont(font);
        if (auto *h = qobject_cast<TkdDBGridH *>(grid)) {
            const int chars = option.DataColWidthH > 0 ? option.DataColWidthH : 20;
            h->SetDefaultColWidth(QFontMetrics(font).horizontalAdvance(QString(chars, QLatin1Char('A'))));
        }
        return true;
    });
}
