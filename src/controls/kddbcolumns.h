#pragma once
// The column model of the row-wise data grid and the row model of the column-wise one: one
// item per shown field, with its presentation (alignment, colours, fonts, input method,
// read-only flag, pick list, button style, popup menu, visibility, width for columns, and a
// title). Every setting follows a default taken from the bound field and from the grid until
// it is assigned; an assigned setting stays until the item's defaults are restored.
//
// Both families are one template: TColumn / TColumnTitle / TDBGridColumns for columns
// (with widths), TRow / TRowTitle / TDBGridRows for rows (no width).
#include "platform/db/dbfield.h"

#include <QColor>
#include <QFont>
#include <QJsonObject>
#include <QMenu>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QIODevice;
class QMenu;

namespace db {
class DataSet;
}

// The ordinals matter: they are the bits of TColumnValues.
enum TColumnValue {
    cvColor = 0, cvWidth = 1, cvFont = 2, cvAlignment = 3, cvReadOnly = 4, cvTitleColor = 5,
    cvTitleCaption = 6, cvTitleAlignment = 7, cvTitleFont = 8, cvImeMode = 9, cvImeName = 10,
};
using TColumnValues = unsigned; // bit (1 << TColumnValue) per assigned setting
constexpr TColumnValues cvBit(TColumnValue v) { return 1u << unsigned(v); }

enum TColumnButtonStyle { cbsAuto = 0, cbsEllipsis = 1, cbsNone = 2 };
enum TDBGridColumnsState { csDefault = 0, csCustomized = 1 };
// Input method of a cell: left to the user, switched off, or switched on.
enum TImeMode { imDontCare = 0, imClose = 1, imOpen = 2 };
using TAlignment = db::Alignment;

// What an item needs of the grid that owns its collection.
class TkdGridItemHost
{
public:
    virtual ~TkdGridItemHost() = default;
    virtual QColor HostColor() const = 0;
    virtual QFont HostFont() const = 0;
    virtual QColor HostFixedColor() const = 0;
    virtual QFont HostTitleFont() const = 0;
    virtual TImeMode HostImeMode() const = 0;
    virtual QString HostImeName() const = 0;
    virtual bool HostReadOnly() const = 0;
    virtual int HostDefaultColWidth() const = 0;
    virtual bool HostShowsTitles() const = 0;
    // The data set behind the grid, null when none; active or not.
    virtual db::DataSet *HostDataSet() const = 0;
    virtual bool HostLinkActive() const = 0;
    // Set while a layout asked for by the data set runs.
    virtual bool HostLayoutFromDataset() const = 0;
    // Width changes of default columns go to the field's display width.
    virtual bool HostUpdateFields() const = 0;
    // One item changed (index ≥ 0: repaint it and size its grid line) or all (-1: relayout).
    virtual void HostItemChanged(int AIndex) = 0;
};

template <bool Columnar> class TGridItemT;
template <bool Columnar> class TGridItemsT;

template <bool Columnar>
class TGridTitleT
{
public:
    explicit TGridTitleT(TGridItemT<Columnar> *AItem) : FItem(AItem) {}

    TGridItemT<Columnar> *Item() const { return FItem; }
    void Assign(const TGridTitleT &ASource);

    TAlignment Alignment() const;
    void SetAlignment(TAlignment AValue);
    QString Caption() const;
    void SetCaption(const QString &AValue);
    QColor Color() const;
    void SetColor(const QColor &AValue);
    QFont Font() const;
    void SetFont(const QFont &AValue);

    TAlignment DefaultAlignment() const { return TAlignment::Left; }
    QString DefaultCaption() const;
    QColor DefaultColor() const;
    QFont DefaultFont() const;
    void RestoreDefaults();

private:
    friend class TGridItemT<Columnar>;
    TGridItemT<Columnar> *FItem;
    QString FCaption;
    QFont FFont;
    QColor FColor;
    TAlignment FAlignment = TAlignment::Left;
};

template <bool Columnar>
class TGridItemT
{
public:
    using TTitle = TGridTitleT<Columnar>;
    using TItems = TGridItemsT<Columnar>;

    explicit TGridItemT(TItems *ACollection);
    ~TGridItemT();
    TGridItemT(const TGridItemT &) = delete;
    TGridItemT &operator=(const TGridItemT &) = delete;

    TItems *Collection() const { return FCollection; }
    TkdGridItemHost *Grid() const;
    int Index() const;
    // Moves the item within its collection.
    void SetIndex(int AValue);
    bool Stored() const { return FStored; }
    TColumnValues AssignedValues() const { return FAssignedValues; }
    bool IsAssigned(TColumnValue AValue) const { return (FAssignedValues & cvBit(AValue)) != 0; }

    // Copies the settings of another item of the same family (assigned ones only).
    void Assign(const TGridItemT &ASource);
    void RestoreDefaults();

    // ---- binding -------------------------------------------------------------------
    QString FieldName() const { return FFieldName; }
    void SetFieldName(const QString &AValue);
    // The bound field, resolved now: items the grid made bind by field position, items
    // added explicitly by name. Null without an open data set or when no field matches.
    db::Field *Field() const;
    int FieldIndex() const;
    // Binds the item to a field position of the data set (the grid's default items).
    void BindFieldIndex(int AIndex);

    // ---- settings ------------------------------------------------------------------
    TAlignment Alignment() const;
    void SetAlignment(TAlignment AValue);
    QColor Color() const;
    void SetColor(const QColor &AValue);
    QFont Font() const;
    void SetFont(const QFont &AValue);
    TImeMode ImeMode() const;
    void SetImeMode(TImeMode AValue);
    QString ImeName() const;
    void SetImeName(const QString &AValue);
    bool ReadOnly() const;
    void SetReadOnly(bool AValue);
    TColumnButtonStyle ButtonStyle() const { return FButtonStyle; }
    void SetButtonStyle(TColumnButtonStyle AValue);
    int DropDownRows() const { return FDropDownRows; }
    void SetDropDownRows(int AValue) { FDropDownRows = AValue; }
    QStringList PickList() const { return FPickList; }
    void SetPickList(const QStringList &AValue) { FPickList = AValue; }
    QMenu *PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu *AValue) { FPopupMenu = AValue; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool AValue);
    // Structured fields do not occur in this program's results: never expandable.
    bool Expandable() const { return false; }
    bool Expanded() const { return FExpanded && Expandable(); }
    void SetExpanded(bool AValue) { FExpanded = AValue; }
    bool Showing() const { return Visible() && !Expanded(); }
    int Depth() const { return 0; }
    TTitle *Title() const { return FTitle.get(); }

    // Width in pixels (columns only): -1 while the item is not showing.
    int Width() const;
    void SetWidth(int AValue);
    int DefaultWidth() const;

    TAlignment DefaultAlignment() const;
    QColor DefaultColor() const;
    QFont DefaultFont() const;
    TImeMode DefaultImeMode() const;
    QString DefaultImeName() const;
    bool DefaultReadOnly() const;

    // The item's properties by their Written rules, and back.
    QJsonObject Save() const;
    void Load(const QJsonObject &AObject);

    void Changed(bool AAll = false);

private:
    friend class TGridTitleT<Columnar>;
    friend class TGridItemsT<Columnar>;
    TItems *FCollection;
    QString FFieldName;
    mutable int FFieldIndex = -1; // position in the data set (binding by position, or the cached name look-up)
    QColor FColor;
    int FWidth = 0;
    std::unique_ptr<TTitle> FTitle;
    QFont FFont;
    TImeMode FImeMode = imDontCare;
    QString FImeName;
    QStringList FPickList;
    QPointer<QMenu> FPopupMenu;
    int FDropDownRows = 7;
    TColumnButtonStyle FButtonStyle = cbsAuto;
    TAlignment FAlignment = TAlignment::Left;
    bool FReadonly = false;
    TColumnValues FAssignedValues = 0;
    bool FVisible = true;
    bool FExpanded = true;
    bool FStored = true;
};

template <bool Columnar>
class TGridItemsT
{
public:
    using TItem = TGridItemT<Columnar>;

    explicit TGridItemsT(TkdGridItemHost *AGrid) : FGrid(AGrid) {}
    TkdGridItemHost *Grid() const { return FGrid; }

    int Count() const { return int(FItems.size()); }
    TItem *Items(int AIndex) const { return FItems[std::size_t(AIndex)].get(); }
    TItem *operator[](int AIndex) const { return Items(AIndex); }
    void SetItems(int AIndex, const TItem &AValue) { Items(AIndex)->Assign(AValue); }
    int IndexOf(const TItem *AItem) const;

    TItem *Add();         // an item added explicitly (stored)
    TItem *AddUnstored(); // an item the grid makes from a field
    void Delete(int AIndex);
    void Move(int AFrom, int ATo);
    void Clear();
    void Assign(const TGridItemsT &ASource);

    TDBGridColumnsState State() const;
    void SetState(TDBGridColumnsState AValue);
    // One stored item per field of the data set, in field order.
    void RebuildColumns();
    void RebuildRows() { RebuildColumns(); }
    void RestoreDefaults();

    // Changes between BeginUpdate and EndUpdate reach the grid once, as a relayout.
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    bool Updating() const { return FUpdateCount > 0; }
    void ItemChanged(TItem *AItem); // null: all items

    // JSON text holding the items by their Written rules.
    void SaveToStream(QIODevice &AStream) const;
    void LoadFromStream(QIODevice &AStream); // throws std::runtime_error on a malformed stream
    void SaveToFile(const QString &AFileName) const;
    void LoadFromFile(const QString &AFileName);

private:
    TkdGridItemHost *FGrid;
    std::vector<std::unique_ptr<TItem>> FItems;
    int FUpdateCount = 0;
    bool FChangedWhileUpdating = false;
};

using TColumn = TGridItemT<true>;
using TColumnTitle = TGridTitleT<true>;
using TDBGridColumns = TGridItemsT<true>;
using TRow = TGridItemT<false>;
using TRowTitle = TGridTitleT<false>;
using TDBGridRows = TGridItemsT<false>;

extern template class TGridTitleT<true>;
extern template class TGridTitleT<false>;
extern template class TGridItemT<true>;
extern template class TGridItemT<false>;
extern template class TGridItemsT<true>;
extern template class TGridItemsT<false>;
