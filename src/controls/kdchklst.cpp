#include "controls/kdchklst.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace {

// Ordinals of the packed snapshot value: unchecked 0, checked 1, grayed 2.
int StateOrdinal(Qt::CheckState AState)
{
    switch (AState) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    default:
        return 0;
    }
}

} // namespace

TkdCheckListBox::TkdCheckListBox(QWidget *AOwner) : QListWidget(AOwner)
{
    setItemDelegate(new TkdCheckListDelegate(this));
}

QListWidgetItem *TkdCheckListBox::CheckedItem(int AIndex) const
{
    QListWidgetItem *it = AIndex >= 0 ? item(AIndex) : nullptr;
    if (!it)
        throw EListError(AIndex);
    return it;
}

Qt::CheckState TkdCheckListBox::State(int AIndex, int ARole) const
{
    const QVariant v = CheckedItem(AIndex)->data(ARole);
    return v.isValid() ? Qt::CheckState(v.toInt()) : Qt::Unchecked;
}

void TkdCheckListBox::SetState(int AIndex, int ARole, Qt::CheckState AValue)
{
    QListWidgetItem *it = CheckedItem(AIndex);
    if (State(AIndex, ARole) != AValue)
        it->setData(ARole, int(AValue)); // the view repaints the item
}

bool TkdCheckListBox::Flag(int AIndex, int ARole) const
{
    return CheckedItem(AIndex)->data(ARole).toBool();
}

void TkdCheckListBox::SetFlag(int AIndex, int ARole, bool AValue)
{
    QListWidgetItem *it = CheckedItem(AIndex);
    if (Flag(AIndex, ARole) != AValue)
        it->setData(ARole, AValue);
}

void TkdCheckListBox::SetCheckedL(int AIndex, bool AValue)
{
    if (CheckedL(AIndex) != AValue)
        SetStateL(AIndex, AValue ? Qt::Checked : Qt::Unchecked);
}

void TkdCheckListBox::SetCheckedR(int AIndex, bool AValue)
{
    if (CheckedR(AIndex) != AValue)
        SetStateR(AIndex, AValue ? Qt::Checked : Qt::Unchecked);
}

int TkdCheckListBox::ItemData(int AIndex) const
{
    return CheckedItem(AIndex)->data(Qt::UserRole).toInt();
}

void TkdCheckListBox::SetItemData(int AIndex, int AValue)
{
    CheckedItem(AIndex)->setData(Qt::UserRole, AValue);
}

void TkdCheckListBox::SetFlat(bool AValue)
{
    if (AValue == FFlat)
        return;
    FFlat = AValue;
    viewport()->update();
}

int TkdCheckListBox::Packed(int AIndex) const
{
    return StateOrdinal(StateL(AIndex)) * 65536 + StateOrdinal(StateR(AIndex));
}

void TkdCheckListBox::Save()
{
    FSaveChecked.clear();
    for (int i = 0; i < count(); ++i)
        FSaveChecked.append(Packed(i));
}

bool TkdCheckListBox::IsChanged() const
{
    if (count() != FSaveChecked.size())
        return true;
    for (int i = 0; i < count(); ++i)
        if (Packed(i) != FSaveChecked.at(i))
            return true;
    return false;
}

bool TkdCheckListBox::IsChangedLines(int AIndex) const
{
    if (AIndex < 0 || AIndex >= count() || AIndex >= FSaveChecked.size())
        return true;
    return Packed(AIndex) != FSaveChecked.at(AIndex);
}

int TkdCheckListBox::CheckWidth() const
{
    return style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this) + 2;
}

void TkdCheckListBox::ToggleBox(int AIndex, bool ARight)
{
    if (AIndex < 0 || AIndex >= count())
        return;
    if (ARight ? !ItemEnabledR(AIndex) : !ItemEnabledL(AIndex))
        return;
    const Qt::CheckState state = ARight ? StateR(AIndex) : StateL(AIndex);
    const Qt::CheckState next = state == Qt::Unchecked ? (FAllowGrayed ? Qt::PartiallyChecked : Qt::Checked)
                              : state == Qt::Checked   ? Qt::Unchecked
                                                       : Qt::Checked;
    if (ARight) {
        SetStateR(AIndex, next);
        Q_EMIT OnClickCheckR(this);
        // A grant option needs the privilege itself (also when that box is disabled).
        if (next == Qt::Checked && StateL(AIndex) != Qt::Checked) {
            SetStateL(AIndex, Qt::Checked);
            Q_EMIT OnClickCheckL(this);
        }
    } else {
        SetStateL(AIndex, next);
        Q_EMIT OnClickCheckL(this);
        // Without the privilege its grant option goes too.
        if (next == Qt::Unchecked && StateR(AIndex) != Qt::Unchecked) {
            SetStateR(AIndex, Qt::Unchecked);
            Q_EMIT OnClickCheckR(this);
        }
    }
}

void TkdCheckListBox::mousePressEvent(QMouseEvent *AEvent)
{
    QListWidget::mousePressEvent(AEvent);
    if (AEvent->button() != Qt::LeftButton)
        return;
    const QPoint pos = AEvent->position().toPoint();
    QListWidgetItem *it = itemAt(pos);
    if (!it || !visualItemRect(it).contains(pos))
        return;
    const int x = pos.x() - visualItemRect(it).left();
    const int cw = CheckWidth();
    if (x < cw)
        ToggleBox(row(it), false);
    else if (x < 2 * cw)
        ToggleBox(row(it), true);
}

void TkdCheckListBox::keyPressEvent(QKeyEvent *AEvent)
{
    QListWidget::keyPressEvent(AEvent);
    if (AEvent->key() == Qt::Key_Space && currentRow() >= 0)
        ToggleBox(currentRow(), false);
}

void TkdCheckListBox::focusInEvent(QFocusEvent *AEvent)
{
    QListWidget::focusInEvent(AEvent);
    if (FAutoSave)
        Save();
}

// ---------------------------------------------------------------- TkdCheckListDelegate

void TkdCheckListDelegate::paint(QPainter *APainter, const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const
{
    const int cw = FList->CheckWidth();
    const QRect item = AOption.rect;
    const int row = AIndex.row();
    const bool enabled = FList->isEnabled();
    const QRect boxR(item.left() + cw, item.top(), cw, item.height());
    const QRect boxL(item.left(), item.top(), cw, item.height());
    KdDrawCheckGlyph(APainter, FList, boxR, FList->StateR(row), enabled && FList->ItemEnabledR(row), FList->Flat());
    KdDrawCheckGlyph(APainter, FList, boxL, FList->StateL(row), enabled && FList->ItemEnabledL(row), FList->Flat());
    // Text, highlight and focus frame lie right of the boxes.
    QStyleOptionViewItem option = AOption;
    option.rect = item.adjusted(2 * cw, 0, 0, 0);
    if (!FList->ItemEnabledL(row))
        option.palette.setColor(QPalette::Text, option.palette.color(QPalette::Disabled, QPalette::Text));
    QStyledItemDelegate::paint(APainter, option, AIndex);
}

QSize TkdCheckListDelegate::sizeHint(const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const
{
    QSize size = QStyledItemDelegate::sizeHint(AOption, AIndex);
    size.rwidth() += 2 * FList->CheckWidth();
    return size;
}
