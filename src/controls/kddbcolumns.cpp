#include "controls/kddbcolumns.h"

#include "platform/db/dbdataset.h"

#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMenu>
#include <QPalette>

#include <stdexcept>

namespace {

QString AlignmentName(TAlignment AValue)
{
    switch (AValue) {
    case TAlignment::Right: return QStringLiteral("taRightJustify");
    case TAlignment::Center: return QStringLiteral("taCenter");
    default: return QStringLiteral("taLeftJustify");
    }
}

TAlignment AlignmentFromName(const QString &AName)
{
    if (AName == QLatin1String("taRightJustify"))
        return TAlignment::Right;
    if (AName == QLatin1String("taCenter"))
        return TAlignment::Center;
    return TAlignment::Left;
}

QString ColorText(const QColor &AColor)
{
    return AColor.name(QColor::HexArgb);
}

QColor WindowColor()
{
    return QGuiApplication::palette().color(QPalette::Base);
}

QColor ButtonFaceColor()
{
    return QGuiApplication::palette().color(QPalette::Button);
}

} // namespace

// ============================================================================ title

template <bool Columnar>
void TGridTitleT<Columnar>::Assign(const TGridTitleT &ASource)
{
    if (ASource.FItem->IsAssigned(cvTitleAlignment))
        SetAlignment(ASource.Alignment());
    if (ASource.FItem->IsAssigned(cvTitleColor))
        SetColor(ASource.Color());
    if (ASource.FItem->IsAssigned(cvTitleCaption))
        SetCaption(ASource.Caption());
    if (ASource.FItem->IsAssigned(cvTitleFont))
        SetFont(ASource.Font());
}

template <bool Columnar>
TAlignment TGridTitleT<Columnar>::Alignment() const
{
    return FItem->IsAssigned(cvTitleAlignment) ? FAlignment : DefaultAlignment();
}

template <bool Columnar>
void TGridTitleT<Columnar>::SetAlignment(TAlignment AValue)
{
    if (FItem->IsAssigned(cvTitleAlignment) && AValue == FAlignment)
        return;
    FAlignment = AValue;
    FItem->FAssignedValues |= cvBit(cvTitleAlignment);
    FItem->Changed();
}

template <bool Columnar>
QString TGridTitleT<Columnar>::DefaultCaption() const
{
    if (db::Field *field = FItem->Field())
        return field->displayName();
    return FItem->FieldName();
}

template <bool Columnar>
QString TGridTitleT<Columnar>::Caption() const
{
    return FItem->IsAssigned(cvTitleCaption) ? FCaption : DefaultCaption();
}

template <bool Columnar>
void TGridTitleT<Columnar>::SetCaption(const QString &AValue)
{
    // An item the grid made writes its caption through to the field's display label.
    if (!FItem->Stored()) {
        TkdGridItemHost *grid = FItem->Grid();
        if (grid && grid->HostLinkActive()) {
            if (db::Field *field = FItem->Field()) {
                field->setDisplayName(AValue);
                FItem->Changed();
            }
        }
        return;
    }
    if (FItem->IsAssigned(cvTitleCaption) && AValue == FCaption)
        return;
    FCaption = AValue;
    FItem->FAssignedValues |= cvBit(cvTitleCaption);
    FItem->Changed();
}

template <bool Columnar>
QColor TGridTitleT<Columnar>::DefaultColor() const
{
    TkdGridItemHost *grid = FItem->Grid();
    return grid ? grid->HostFixedColor() : ButtonFaceColor();
}

template <bool Columnar>
QColor TGridTitleT<Columnar>::Color() const
{
    return FItem->IsAssigned(cvTitleColor) ? FColor : DefaultColor();
}

template <bool Columnar>
void TGridTitleT<Columnar>::SetColor(const QColor &AValue)
{
    if (FItem->IsAssigned(cvTitleColor) && AValue == FColor)
        return;
    FColor = AValue;
    FItem->FAssignedValues |= cvBit(cvTitleColor);
    FItem->Changed();
}

template <bool Columnar>
QFont TGridTitleT<Columnar>::DefaultFont() const
{
    TkdGridItemHost *grid = FItem->Grid();
    return grid ? grid->HostTitleFont() : FItem->Font();
}

template <bool Columnar>
QFont TGridTitleT<Columnar>::Font() const
{
    return FItem->IsAssigned(cvTitleFont) ? FFont : DefaultFont();
}

template <bool Columnar>
void TGridTitleT<Columnar>::SetFont(const QFont &AValue)
{
    FFont = AValue;
    FItem->FAssignedValues |= cvBit(cvTitleFont);
    // A title font can change the height of the title line: relayout.
    FItem->Changed(true);
}

template <bool Columnar>
void TGridTitleT<Columnar>::RestoreDefaults()
{
    const bool fontAssigned = FItem->IsAssigned(cvTitleFont);
    FItem->FAssignedValues &= ~(cvBit(cvTitleColor) | cvBit(cvTitleCaption) | cvBit(cvTitleAlignment) | cvBit(cvTitleFont));
    FCaption.clear();
    FFont = QFont();
    FItem->Changed(fontAssigned);
}

// ============================================================================ item

template <bool Columnar>
TGridItemT<Columnar>::TGridItemT(TItems *ACollection) : FCollection(ACollection), FTitle(std::make_unique<TTitle>(this))
{
}

template <bool Columnar>
TGridItemT<Columnar>::~TGridItemT() = default;

template <bool Columnar>
TkdGridItemHost *TGridItemT<Columnar>::Grid() const
{
    return FCollection ? FCollection->Grid() : nullptr;
}

template <bool Columnar>
int TGridItemT<Columnar>::Index() const
{
    return FCollection ? FCollection->IndexOf(this) : -1;
}

template <bool Columnar>
void TGridItemT<Columnar>::SetIndex(int AValue)
{
    if (!FCollection)
        return;
    const int from = Index();
    if (from < 0 || AValue == from || AValue < 0 || AValue >= FCollection->Count())
        return;
    FCollection->Move(from, AValue);
}

template <bool Columnar>
void TGridItemT<Columnar>::Changed(bool AAll)
{
    if (FCollection)
        FCollection->ItemChanged(AAll ? nullptr : this);
}

template <bool Columnar>
void TGridItemT<Columnar>::Assign(const TGridItemT &ASource)
{
    if (FCollection)
        FCollection->BeginUpdate();
    RestoreDefaults();
    FFieldName = ASource.FFieldName;
    FFieldIndex = ASource.FStored ? -1 : ASource.FFieldIndex;
    if (ASource.IsAssigned(cvColor))
        SetColor(ASource.Color());
    if constexpr (Columnar) {
        if (ASource.IsAssigned(cvWidth)) {
            FWidth = ASource.FWidth;
            FAssignedValues |= cvBit(cvWidth);
        }
    }
    if (ASource.IsAssigned(cvFont))
        SetFont(ASource.Font());
    if (ASource.IsAssigned(cvImeMode))
        SetImeMode(ASource.ImeMode());
    if (ASource.IsAssigned(cvImeName))
        SetImeName(ASource.ImeName());
    if (ASource.IsAssigned(cvAlignment))
        SetAlignment(ASource.Alignment());
    if (ASource.IsAssigned(cvReadOnly))
        SetReadOnly(ASource.ReadOnly());
    FTitle->Assign(*ASource.FTitle);
    FDropDownRows = ASource.FDropDownRows;
    FButtonStyle = ASource.FButtonStyle;
    FPickList = ASource.FPickList;
    FPopupMenu = ASource.FPopupMenu;
    FVisible = ASource.FVisible;
    FExpanded = ASource.FExpanded;
    if (FCollection)
        FCollection->EndUpdate();
}

template <bool Columnar>
void TGridItemT<Columnar>::RestoreDefaults()
{
    const bool fontAssigned = IsAssigned(cvFont);
    FTitle->RestoreDefaults();
    FAssignedValues = 0;
    FFont = QFont();
    FPickList.clear();
    FButtonStyle = cbsAuto;
    Changed(fontAssigned);
}

// ---- binding -----------------------------------------------------------------------------

template <bool Columnar>
int TGridItemT<Columnar>::FieldIndex() const
{
    db::Field *field = Field();
    return field ? field->index() : -1;
}

template <bool Columnar>
db::Field *TGridItemT<Columnar>::Field() const
{
    TkdGridItemHost *grid = Grid();
    db::DataSet *ds = grid ? grid->HostDataSet() : nullptr;
    if (!ds || !ds->isActive())
        return nullptr;
    if (!FStored) {
        // Items the grid made bind by position: two fields of the same name stay two.
        if (FFieldIndex >= 0 && FFieldIndex < ds->fieldCount())
            return &ds->field(FFieldIndex);
        return nullptr;
    }
    if (FFieldName.isEmpty())
        return nullptr;
    if (FFieldIndex >= 0 && FFieldIndex < ds->fieldCount()
        && ds->field(FFieldIndex).name().compare(FFieldName, Qt::CaseInsensitive) == 0)
        return &ds->field(FFieldIndex);
    db::Field *field = ds->findField(FFieldName);
    FFieldIndex = field ? field->index() : -1;
    return field;
}

template <bool Columnar>
void TGridItemT<Columnar>::BindFieldIndex(int AIndex)
{
    FFieldIndex = AIndex;
    TkdGridItemHost *grid = Grid();
    db::DataSet *ds = grid ? grid->HostDataSet() : nullptr;
    if (ds && ds->isActive() && AIndex >= 0 && AIndex < ds->fieldCount())
        FFieldName = ds->field(AIndex).name();
    else
        FFieldName.clear();
}

template <bool Columnar>
void TGridItemT<Columnar>::SetFieldName(const QString &AValue)
{
    FFieldName = AValue;
    FFieldIndex = -1;
    if (!FStored) {
        TkdGridItemHost *grid = Grid();
        db::DataSet *ds = grid ? grid->HostDataSet() : nullptr;
        db::Field *field = ds && ds->isActive() && !AValue.isEmpty() ? ds->findField(AValue) : nullptr;
        FFieldIndex = field ? field->index() : -1;
    }
    Changed();
}

// ---- settings ----------------------------------------------------------------------------

template <bool Columnar>
TAlignment TGridItemT<Columnar>::DefaultAlignment() const
{
    if (db::Field *field = Field())
        return field->alignment();
    return TAlignment::Left;
}

template <bool Columnar>
TAlignment TGridItemT<Columnar>::Alignment() const
{
    return IsAssigned(cvAlignment) ? FAlignment : DefaultAlignment();
}

template <bool Columnar>
void TGridItemT<Columnar>::SetAlignment(TAlignment AValue)
{
    if (!FStored) {
        // An item the grid made never keeps an alignment of its own: it goes to the field.
        TkdGridItemHost *grid = Grid();
        if (grid && grid->HostLinkActive())
            if (db::Field *field = Field()) {
                field->setAlignment(AValue);
                Changed();
            }
        return;
    }
    if (IsAssigned(cvAlignment) && AValue == FAlignment)
        return;
    FAlignment = AValue;
    FAssignedValues |= cvBit(cvAlignment);
    Changed();
}

template <bool Columnar>
QColor TGridItemT<Columnar>::DefaultColor() const
{
    TkdGridItemHost *grid = Grid();
    return grid ? grid->HostColor() : WindowColor();
}

template <bool Columnar>
QColor TGridItemT<Columnar>::Color() const
{
    return IsAssigned(cvColor) ? FColor : DefaultColor();
}

template <bool Columnar>
void TGridItemT<Columnar>::SetColor(const QColor &AValue)
{
    if (IsAssigned(cvColor) && AValue == FColor)
        return;
    FColor = AValue;
    FAssignedValues |= cvBit(cvColor);
    Changed();
}

template <bool Columnar>
QFont TGridItemT<Columnar>::DefaultFont() const
{
    TkdGridItemHost *grid = Grid();
    return grid ? grid->HostFont() : FFont;
}

template <bool Columnar>
QFont TGridItemT<Columnar>::Font() const
{
    return IsAssigned(cvFont) ? FFont : DefaultFont();
}

template <bool Columnar>
void TGridItemT<Columnar>::SetFont(const QFont &AValue)
{
    FFont = AValue;
    FAssignedValues |= cvBit(cvFont);
    Changed();
}

template <bool Columnar>
TImeMode TGridItemT<Columnar>::DefaultImeMode() const
{
    TkdGridItemHost *grid = Grid();
    return grid ? grid->HostImeMode() : FImeMode;
}

template <bool Columnar>
TImeMode TGridItemT<Columnar>::ImeMode() const
{
    return IsAssigned(cvImeMode) ? FImeMode : DefaultImeMode();
}

template <bool Columnar>
void TGridItemT<Columnar>::SetImeMode(TImeMode AValue)
{
    if (IsAssigned(cvImeMode) || AValue != DefaultImeMode()) {
        FImeMode = AValue;
        FAssignedValues |= cvBit(cvImeMode);
    }
    Changed();
}

template <bool Columnar>
QString TGridItemT<Columnar>::DefaultImeName() const
{
    TkdGridItemHost *grid = Grid();
    return grid ? grid->HostImeName() : FImeName;
}

template <bool Columnar>
QString TGridItemT<Columnar>::ImeName() const
{
    return IsAssigned(cvImeName) ? FImeName : DefaultImeName();
}

template <bool Columnar>
void TGridItemT<Columnar>::SetImeName(const QString &AValue)
{
    if (IsAssigned(cvImeName) || AValue != DefaultImeName()) {
        FImeName = AValue;
        FAssignedValues |= cvBit(cvImeName);
    }
    Changed();
}

template <bool Columnar>
bool TGridItemT<Columnar>::DefaultReadOnly() const
{
    TkdGridItemHost *grid = Grid();
    db::Field *field = Field();
    return (grid && grid->HostReadOnly()) || (field && field->readOnly());
}

template <bool Columnar>
bool TGridItemT<Columnar>::ReadOnly() const
{
    return IsAssigned(cvReadOnly) ? FReadonly : DefaultReadOnly();
}

template <bool Columnar>
void TGridItemT<Columnar>::SetReadOnly(bool AValue)
{
    if (!FStored) {
        TkdGridItemHost *grid = Grid();
        db::Field *field = grid && grid->HostLinkActive() ? Field() : nullptr;
        if (field) {
            field->setReadOnly(AValue);
            Changed();
            return;
        }
    }
    if (IsAssigned(cvReadOnly) && AValue == FReadonly)
        return;
    FReadonly = AValue;
    FAssignedValues |= cvBit(cvReadOnly);
    Changed();
}

template <bool Columnar>
void TGridItemT<Columnar>::SetButtonStyle(TColumnButtonStyle AValue)
{
    if (AValue == FButtonStyle)
        return;
    FButtonStyle = AValue;
    Changed();
}

template <bool Columnar>
void TGridItemT<Columnar>::SetVisible(bool AValue)
{
    if (AValue == FVisible)
        return;
    FVisible = AValue;
    Changed(true);
}

// ---- width (columns) ------------------------------------------------------------------------

template <bool Columnar>
int TGridItemT<Columnar>::DefaultWidth() const
{
    TkdGridItemHost *grid = Grid();
    if (!grid)
        return 64;
    db::Field *field = Field();
    if (!field)
        return grid->HostDefaultColWidth();
    const QFontMetrics metrics(Font());
    int width = field->displayWidth() * metrics.horizontalAdvance(QLatin1Char('0')) + 4;
    if (grid->HostShowsTitles())
        width = std::max(width, QFontMetrics(FTitle->Font()).horizontalAdvance(FTitle->Caption()) + 4);
    return width;
}

template <bool Columnar>
int TGridItemT<Columnar>::Width() const
{
    if constexpr (!Columnar)
        return -1;
    if (!Showing())
        return -1;
    return IsAssigned(cvWidth) ? FWidth : DefaultWidth();
}

template <bool Columnar>
void TGridItemT<Columnar>::SetWidth(int AValue)
{
    if constexpr (!Columnar)
        return;
    TkdGridItemHost *grid = Grid();
    bool keep = true;
    if (!FStored && grid) {
        db::Field *field = Field();
        if (field && grid->HostUpdateFields() && AValue > 0) {
            // The width of a default column is kept as the field's display width.
            const QFontMetrics metrics(Font());
            const int avg = std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));
            field->setDisplayWidth(std::max(1, (AValue + avg / 2 - 3) / avg));
        }
        keep = !grid->HostLayoutFromDataset() || IsAssigned(cvWidth);
    }
    if (keep && AValue != -1 && (IsAssigned(cvWidth) || AValue != DefaultWidth())) {
        FWidth = AValue;
        FAssignedValues |= cvBit(cvWidth);
    }
    Changed();
}

// ---- streaming -------------------------------------------------------------------------------

template <bool Columnar>
QJsonObject TGridItemT<Columnar>::Save() const
{
    QJsonObject o;
    if (IsAssigned(cvAlignment) && Alignment() != DefaultAlignment())
        o[QStringLiteral("Alignment")] = AlignmentName(Alignment());
    if (FButtonStyle != cbsAuto)
        o[QStringLiteral("ButtonStyle")] = int(FButtonStyle);
    if (IsAssigned(cvColor) && Color() != DefaultColor())
        o[QStringLiteral("Color")] = ColorText(Color());
    if (FDropDownRows != 7)
        o[QStringLiteral("DropDownRows")] = FDropDownRows;
    if (!FExpanded)
        o[QStringLiteral("Expanded")] = false;
    o[QStringLiteral("FieldName")] = FFieldName;
    if (IsAssigned(cvFont))
        o[QStringLiteral("Font")] = FFont.toString();
    if (IsAssigned(cvImeMode) && ImeMode() != DefaultImeMode())
        o[QStringLiteral("ImeMode")] = int(FImeMode);
    if (IsAssigned(cvImeName) && ImeName() != DefaultImeName())
        o[QStringLiteral("ImeName")] = FImeName;
    o[QStringLiteral("PickList")] = QJsonArray::fromStringList(FPickList);
    o[QStringLiteral("PopupMenu")] = FPopupMenu ? QJsonValue(FPopupMenu->objectName()) : QJsonValue();
    if (IsAssigned(cvReadOnly) && ReadOnly() != DefaultReadOnly())
        o[QStringLiteral("ReadOnly")] = FReadonly;
    QJsonObject title;
    if (IsAssigned(cvTitleAlignment) && FTitle->Alignment() != TAlignment::Left)
        title[QStringLiteral("Alignment")] = AlignmentName(FTitle->Alignment());
    if (IsAssigned(cvTitleCaption) && FTitle->Caption() != FTitle->DefaultCaption())
        title[QStringLiteral("Caption")] = FTitle->Caption();
    if (IsAssigned(cvTitleColor) && FTitle->Color() != FTitle->DefaultColor())
        title[QStringLiteral("Color")] = ColorText(FTitle->Color());
    if (IsAssigned(cvTitleFont))
        title[QStringLiteral("Font")] = FTitle->FFont.toString();
    o[QStringLiteral("Title")] = title;
    if constexpr (Columnar) {
        if (IsAssigned(cvWidth) && FWidth != DefaultWidth())
            o[QStringLiteral("Width")] = FWidth;
    }
    o[QStringLiteral("Visible")] = FVisible;
    return o;
}

template <bool Columnar>
void TGridItemT<Columnar>::Load(const QJsonObject &AObject)
{
    // Straight into the fields: the scratch collection a stream is read into has no grid.
    auto has = [&](const char *key) { return AObject.contains(QLatin1String(key)); };
    if (has("Alignment")) {
        FAlignment = AlignmentFromName(AObject.value(QLatin1String("Alignment")).toString());
        FAssignedValues |= cvBit(cvAlignment);
    }
    FButtonStyle = TColumnButtonStyle(std::clamp(AObject.value(QLatin1String("ButtonStyle")).toInt(0), 0, 2));
    if (has("Color")) {
        FColor = QColor(AObject.value(QLatin1String("Color")).toString());
        FAssignedValues |= cvBit(cvColor);
    }
    FDropDownRows = AObject.value(QLatin1String("DropDownRows")).toInt(7);
    FExpanded = AObject.value(QLatin1String("Expanded")).toBool(true);
    FFieldName = AObject.value(QLatin1String("FieldName")).toString();
    if (has("Font")) {
        FFont.fromString(AObject.value(QLatin1String("Font")).toString());
        FAssignedValues |= cvBit(cvFont);
    }
    if (has("ImeMode")) {
        FImeMode = TImeMode(std::clamp(AObject.value(QLatin1String("ImeMode")).toInt(), 0, 2));
        FAssignedValues |= cvBit(cvImeMode);
    }
    if (has("ImeName")) {
        FImeName = AObject.value(QLatin1String("ImeName")).toString();
        FAssignedValues |= cvBit(cvImeName);
    }
    FPickList.clear();
    for (const QJsonValue &v : AObject.value(QLatin1String("PickList")).toArray())
        FPickList.append(v.toString());
    if (has("ReadOnly")) {
        FReadonly = AObject.value(QLatin1String("ReadOnly")).toBool();
        FAssignedValues |= cvBit(cvReadOnly);
    }
    const QJsonObject title = AObject.value(QLatin1String("Title")).toObject();
    if (title.contains(QLatin1String("Alignment"))) {
        FTitle->FAlignment = AlignmentFromName(title.value(QLatin1String("Alignment")).toString());
        FAssignedValues |= cvBit(cvTitleAlignment);
    }
    if (title.contains(QLatin1String("Caption"))) {
        FTitle->FCaption = title.value(QLatin1String("Caption")).toString();
        FAssignedValues |= cvBit(cvTitleCaption);
    }
    if (title.contains(QLatin1String("Color"))) {
        FTitle->FColor = QColor(title.value(QLatin1String("Color")).toString());
        FAssignedValues |= cvBit(cvTitleColor);
    }
    if (title.contains(QLatin1String("Font"))) {
        FTitle->FFont.fromString(title.value(QLatin1String("Font")).toString());
        FAssignedValues |= cvBit(cvTitleFont);
    }
    if constexpr (Columnar) {
        if (has("Width")) {
            FWidth = AObject.value(QLatin1String("Width")).toInt();
            FAssignedValues |= cvBit(cvWidth);
        }
    }
    FVisible = AObject.value(QLatin1String("Visible")).toBool(true);
}

// ============================================================================ collection

template <bool Columnar>
int TGridItemsT<Columnar>::IndexOf(const TItem *AItem) const
{
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == AItem)
            return int(i);
    return -1;
}

template <bool Columnar>
typename TGridItemsT<Columnar>::TItem *TGridItemsT<Columnar>::Add()
{
    FItems.push_back(std::make_unique<TItem>(this));
    ItemChanged(nullptr);
    return FItems.back().get();
}

template <bool Columnar>
typename TGridItemsT<Columnar>::TItem *TGridItemsT<Columnar>::AddUnstored()
{
    auto item = std::make_unique<TItem>(this);
    item->FStored = false;
    FItems.push_back(std::move(item));
    ItemChanged(nullptr);
    return FItems.back().get();
}

template <bool Columnar>
void TGridItemsT<Columnar>::Delete(int AIndex)
{
    if (AIndex < 0 || AIndex >= Count())
        return;
    FItems.erase(FItems.begin() + AIndex);
    ItemChanged(nullptr);
}

template <bool Columnar>
void TGridItemsT<Columnar>::Move(int AFrom, int ATo)
{
    if (AFrom == ATo || AFrom < 0 || ATo < 0 || AFrom >= Count() || ATo >= Count())
        return;
    auto item = std::move(FItems[std::size_t(AFrom)]);
    FItems.erase(FItems.begin() + AFrom);
    FItems.insert(FItems.begin() + ATo, std::move(item));
    ItemChanged(nullptr);
}

template <bool Columnar>
void TGridItemsT<Columnar>::Clear()
{
    if (FItems.empty())
        return;
    FItems.clear();
    ItemChanged(nullptr);
}

template <bool Columnar>
void TGridItemsT<Columnar>::Assign(const TGridItemsT &ASource)
{
    BeginUpdate();
    FItems.clear();
    for (const auto &src : ASource.FItems) {
        auto item = std::make_unique<TItem>(this);
        item->FStored = src->FStored;
        FItems.push_back(std::move(item));
        FItems.back()->Assign(*src);
    }
    FChangedWhileUpdating = true;
    EndUpdate();
}

template <bool Columnar>
TDBGridColumnsState TGridItemsT<Columnar>::State() const
{
    return !FItems.empty() && FItems.front()->FStored ? csCustomized : csDefault;
}

template <bool Columnar>
void TGridItemsT<Columnar>::SetState(TDBGridColumnsState AValue)
{
    if (AValue == State())
        return;
    if (AValue == csDefault)
        Clear();
    else
        RebuildColumns();
}

template <bool Columnar>
void TGridItemsT<Columnar>::RebuildColumns()
{
    BeginUpdate();
    FItems.clear();
    FChangedWhileUpdating = true;
    db::DataSet *ds = FGrid ? FGrid->HostDataSet() : nullptr;
    if (ds && ds->isActive()) {
        for (int i = 0; i < ds->fieldCount(); ++i) {
            TItem *item = Add();
            item->FFieldName = ds->field(i).name();
            item->FFieldIndex = i;
        }
    }
    EndUpdate();
}

template <bool Columnar>
void TGridItemsT<Columnar>::RestoreDefaults()
{
    BeginUpdate();
    for (auto &item : FItems)
        item->RestoreDefaults();
    EndUpdate();
}

template <bool Columnar>
void TGridItemsT<Columnar>::EndUpdate()
{
    if (FUpdateCount > 0 && --FUpdateCount == 0 && FChangedWhileUpdating) {
        FChangedWhileUpdating = false;
        if (FGrid)
            FGrid->HostItemChanged(-1);
    }
}

template <bool Columnar>
void TGridItemsT<Columnar>::ItemChanged(TItem *AItem)
{
    if (!FGrid)
        return;
    if (FUpdateCount > 0) {
        FChangedWhileUpdating = true;
        return;
    }
    FGrid->HostItemChanged(AItem ? IndexOf(AItem) : -1);
}

template <bool Columnar>
void TGridItemsT<Columnar>::SaveToStream(QIODevice &AStream) const
{
    QJsonArray items;
    for (const auto &item : FItems)
        items.append(item->Save());
    QJsonObject root;
    root[Columnar ? QStringLiteral("Columns") : QStringLiteral("Rows")] = items;
    AStream.write(QJsonDocument(root).toJson(QJsonDocument::Indented));
}

template <bool Columnar>
void TGridItemsT<Columnar>::LoadFromStream(QIODevice &AStream)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(AStream.readAll(), &error);
    const QString key = Columnar ? QStringLiteral("Columns") : QStringLiteral("Rows");
    if (error.error != QJsonParseError::NoError || !doc.isObject() || !doc.object().value(key).isArray())
        throw std::runtime_error("the stream holds no item list");
    // Read into a scratch collection without a grid, then take it over in one update.
    TGridItemsT scratch(nullptr);
    for (const QJsonValue &v : doc.object().value(key).toArray()) {
        if (!v.isObject())
            throw std::runtime_error("an item of the stream is not an object");
        scratch.FItems.push_back(std::make_unique<TItem>(&scratch));
        scratch.FItems.back()->Load(v.toObject());
    }
    Assign(scratch);
}

template <bool Columnar>
void TGridItemsT<Columnar>::SaveToFile(const QString &AFileName) const
{
    QFile file(AFileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error(file.errorString().toStdString());
    SaveToStream(file);
}

template <bool Columnar>
void TGridItemsT<Columnar>::LoadFromFile(const QString &AFileName)
{
    QFile file(AFileName);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(file.errorString().toStdString());
    LoadFromStream(file);
}

template class TGridTitleT<true>;
template class TGridTitleT<false>;
template class TGridItemT<true>;
template class TGridItemT<false>;
template class TGridItemsT<true>;
template class TGridItemsT<false>;
