#pragma once
// A list with two check boxes in front of each item: the left box grants a privilege (or a
// membership), the right box adds its grant option (or admin option). User toggles keep the
// two consistent: clearing the left box clears the right one, setting the right box sets the
// left one. Save takes a snapshot of both boxes of every item; IsChanged and IsChangedLines
// tell the privilege windows which GRANT and REVOKE statements to generate.
#include "controls/kdstdctl.h"

#include <QList>
#include <QListWidget>
#include <QStyledItemDelegate>

class TkdCheckListBox : public QListWidget
{
    Q_OBJECT
public:
    explicit TkdCheckListBox(QWidget *AOwner = nullptr);

    // Box states of item AIndex; an index outside the items raises EListError.
    Qt::CheckState StateL(int AIndex) const { return State(AIndex, FStateLRole); }
    Qt::CheckState StateR(int AIndex) const { return State(AIndex, FStateRRole); }
    void SetStateL(int AIndex, Qt::CheckState AValue) { SetState(AIndex, FStateLRole, AValue); }
    void SetStateR(int AIndex, Qt::CheckState AValue) { SetState(AIndex, FStateRRole, AValue); }
    bool CheckedL(int AIndex) const { return StateL(AIndex) == Qt::Checked; }
    bool CheckedR(int AIndex) const { return StateR(AIndex) == Qt::Checked; }
    void SetCheckedL(int AIndex, bool AValue);
    void SetCheckedR(int AIndex, bool AValue);
    bool ItemEnabledL(int AIndex) const { return !Flag(AIndex, FDisabledLRole); }
    bool ItemEnabledR(int AIndex) const { return !Flag(AIndex, FDisabledRRole); }
    void SetItemEnabledL(int AIndex, bool AValue) { SetFlag(AIndex, FDisabledLRole, !AValue); }
    void SetItemEnabledR(int AIndex, bool AValue) { SetFlag(AIndex, FDisabledRRole, !AValue); }
    // The program's own data of an item (0 when none was given).
    int ItemData(int AIndex) const;
    void SetItemData(int AIndex, int AValue);

    bool AllowGrayed() const { return FAllowGrayed; }
    void SetAllowGrayed(bool AValue) { FAllowGrayed = AValue; }
    bool Flat() const { return FFlat; }
    void SetFlat(bool AValue);
    bool AutoSave() const { return FAutoSave; }
    void SetAutoSave(bool AValue) { FAutoSave = AValue; }

    void Save();
    bool IsChanged() const;
    bool IsChangedLines(int AIndex) const;

    // Width of one box column: the check-box glyph plus 2 pixels.
    int CheckWidth() const;

Q_SIGNALS:
    // A box changed by a user toggle (also when changed by the coupling of the other box).
    void OnClickCheckL(TkdCheckListBox *ASender);
    void OnClickCheckR(TkdCheckListBox *ASender);

protected:
    void mousePressEvent(QMouseEvent *AEvent) override;
    void keyPressEvent(QKeyEvent *AEvent) override;
    void focusInEvent(QFocusEvent *AEvent) override;

private:
    static constexpr int FStateLRole = Qt::UserRole + 1;
    static constexpr int FStateRRole = Qt::UserRole + 2;
    static constexpr int FDisabledLRole = Qt::UserRole + 3;
    static constexpr int FDisabledRRole = Qt::UserRole + 4;

    QListWidgetItem *CheckedItem(int AIndex) const;
    Qt::CheckState State(int AIndex, int ARole) const;
    void SetState(int AIndex, int ARole, Qt::CheckState AValue);
    bool Flag(int AIndex, int ARole) const;
    void SetFlag(int AIndex, int ARole, bool AValue);
    int Packed(int AIndex) const;
    // A user toggle of one box with the coupling rules.
    void ToggleBox(int AIndex, bool ARight);

    bool FAllowGrayed = false;
    bool FFlat = true;
    bool FAutoSave = false;
    QList<int> FSaveChecked;

    friend class TkdCheckListDelegate;
};

// Draws the two boxes left of each item's text; the text is grey when the left box is
// disabled.
class TkdCheckListDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit TkdCheckListDelegate(TkdCheckListBox *AList) : QStyledItemDelegate(AList), FList(AList) {}
    void paint(QPainter *APainter, const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const override;
    QSize sizeHint(const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const override;

private:
    TkdCheckListBox *FList;
};
