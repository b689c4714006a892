#pragma once
// Input controls of the forms. The text boxes, the combo box, the check box and the radio
// button keep a snapshot of their value (Save) so that an editor can ask which values the
// user changed (IsChanged) and whether a text is blank (IsNull); the generated DDL depends on
// these answers. They also navigate like a paper form: Enter moves to the next control, the
// arrow keys leave a text box at its ends.
#include "core/kdlisterror.h" // the indexed properties of the controls raise EListError

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QString>
#include <QValidator>
#include <QKeyEvent>
#include <QtGlobal>

class QPainter;
class QAbstractItemView;

// True when Text is empty after removing leading and trailing characters of code 32 or below
// (other blanks, such as the full-width space, stay).
bool KdIsBlankText(const QString &AText);

// ASCII letters compared without regard to case, every other character exactly.
bool KdSameTextAscii(const QString &A, const QString &B);

// Draws a check-box glyph centred in ARect: Qt::PartiallyChecked shows the three-state look;
// AFlat draws it with a plain one-pixel outline in the button-shadow colour.
void KdDrawCheckGlyph(QPainter *APainter, const QWidget *AControl, const QRect &ARect,
                      Qt::CheckState AState, bool AEnabled, bool AFlat);

// A list that allows several selected items (the MultiSelect switch of the lists).
bool KdIsMultiSelect(const QAbstractItemView *AView);
void KdSetMultiSelect(QAbstractItemView *AView, bool AValue);

// True when the window of AControl has a visible default push button, which then takes the
// Enter key before any control acts on it.
bool KdDefaultButtonTakesEnter(const QWidget *AControl);

// Letter-case conversion of a text box.
enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

// Navigation switches shared by the five snapshot controls.
class TkdNavigation
{
public:
    bool AutoSave() const { return FAutoSave; }
    void SetAutoSave(bool AValue) { FAutoSave = AValue; }
    bool WantArrow() const { return FWantArrow; }
    void SetWantArrow(bool AValue) { FWantArrow = AValue; }
    bool WantReturns() const { return FWantReturns; }
    void SetWantReturns(bool AValue) { FWantReturns = AValue; }
    bool WantTabs() const { return FWantTabs; }
    void SetWantTabs(bool AValue) { FWantTabs = AValue; }

protected:
    // What a key press asks of the control.
    enum class TNavMove { None, Previous, Next };
    // Enter: Next when WantReturns is on and no default button takes the key.
    TNavMove ReturnMove(const QWidget *AControl, const QKeyEvent *AEvent) const;
    // Left at the start with nothing selected, or Right with the caret (selection start) at
    // the end of the text: the key leaves the text box.
    static TNavMove TextEndMove(const QLineEdit *AEdit, int AKey);
    // True when the event is a Tab key press that the control claims (WantTabs).
    bool ClaimsTab(const QEvent *AEvent) const;

    bool FAutoSave = false;
    bool FWantArrow = true;
    bool FWantReturns = true;
    bool FWantTabs = false;
};

// Case conversion and, for the numeric box, the numeric filter, applied to every change of
// the text from any source (typing, paste, assignment).
class TkdTextFilter : public QValidator
{
    Q_OBJECT
public:
    explicit TkdTextFilter(QObject *AParent) : QValidator(AParent) {}
    State validate(QString &AInput, int &APos) const override;

    TEditCharCase FCharCase = ecNormal;
    bool FNumeric = false;
    bool FAllowMinus = false;
};

// The numeric filter on its own: keeps digits and the last point, and a leading minus sign
// when the text held one and AAllowMinus is set.
QString KdNumericFilter(const QString &AText, bool AAllowMinus);

// The snapshot and the form navigation on top of a standard control: Save keeps the
// current value, IsChanged compares with it exactly; Enter moves to the next control, Tab can
// be claimed; on focus-in the control raises its entered() signal and then, with AutoSave,
// takes the snapshot.
template <class TBase, class TValue>
class TkdNavControl : public TBase, public TkdNavigation
{
public:
    using TBase::TBase;

    void Save() { FSaveValue = CurrentValue(); }
    TValue SaveValue() const { return FSaveValue; }
    void SetSaveValue(const TValue &AValue) { FSaveValue = AValue; }
    bool IsChanged() const { return CurrentValue() != FSaveValue; }

protected:
    virtual TValue CurrentValue() const = 0;
    // Raises the control's entered() signal.
    virtual void Entered() = 0;

    // Enter: moves to the next control unless WantReturns is off or a default button takes
    // the key; true when the key was consumed.
    bool HandleReturn(QKeyEvent *AEvent)
    {
        if (ReturnMove(this, AEvent) != TNavMove::Next)
            return false;
        MoveFocus(TNavMove::Next);
        AEvent->accept();
        return true;
    }
    // The focus request: the next or previous control of the window's tab order.
    bool MoveFocus(TNavMove AMove)
    {
        return AMove != TNavMove::None && this->focusNextPrevChild(AMove == TNavMove::Next);
    }
    bool event(QEvent *AEvent) override
    {
        if (ClaimsTab(AEvent)) {
            this->keyPressEvent(static_cast<QKeyEvent *>(AEvent));
            AEvent->accept(); // the key stays here and goes to no parent
            return true;
        }
        return TBase::event(AEvent);
    }
    void keyPressEvent(QKeyEvent *AEvent) override
    {
        if (!HandleReturn(AEvent))
            TBase::keyPressEvent(AEvent);
    }
    void focusInEvent(QFocusEvent *AEvent) override
    {
        TBase::focusInEvent(AEvent);
        Entered();
        if (FAutoSave)
            Save();
    }

    TValue FSaveValue{};
};

class TkdStrEdit : public TkdNavControl<QLineEdit, QString>
{
    Q_OBJECT
public:
    explicit TkdStrEdit(QWidget *AOwner = nullptr);

    bool IsNull() const { return KdIsBlankText(text()); }
    TEditCharCase CharCase() const { return FFilter->FCharCase; }
    void SetCharCase(TEditCharCase AValue);

Q_SIGNALS:
    // Raised when the control receives the focus, before the AutoSave snapshot.
    void entered();

protected:
    QString CurrentValue() const override { return text(); }
    void Entered() override { Q_EMIT entered(); }
    void keyPressEvent(QKeyEvent *AEvent) override;
    void changeEvent(QEvent *AEvent) override;

    TkdTextFilter *FFilter;
};

class TkdNumEdit : public TkdStrEdit
{
    Q_OBJECT
public:
    explicit TkdNumEdit(QWidget *AOwner = nullptr);

    bool AllowMinus() const { return FFilter->FAllowMinus; }
    void SetAllowMinus(bool AValue);

    // The value as a 64-bit integer: the text rounded to the nearest integer, halves to the
    // even neighbour, read exactly from the decimal text; 0 when the text is empty or holds
    // no number inside the 64-bit range.
    qint64 ValueInt() const;
    // Writes the decimal text of the value; an empty box stays empty for 0.
    void SetValueInt(qint64 AValue);
    // The text as a floating-point number; 0 when it does not convert.
    double ValueFloat() const;
    // Writes the value as plain decimal text (at most 15 significant digits, never exponent
    // form); an empty box stays empty when the value reads "0".
    void SetValueFloat(double AValue);

protected:
    void focusInEvent(QFocusEvent *AEvent) override;
};

// Plain decimal text of a double with at most 15 significant digits (no exponent).
QString KdFloatToPlainText(double AValue);
// Exact round-half-even of a decimal text ("-12.5") to a 64-bit integer; false when the text
// is not a number or lies outside the 64-bit range.
bool KdDecimalTextToInt64(const QString &AText, qint64 &AValue);

class TkdComboBox : public TkdNavControl<QComboBox, QString>
{
    Q_OBJECT
public:
    explicit TkdComboBox(QWidget *AOwner = nullptr);

    // The edit text of an editable box, the current item's text of a drop-down list.
    QString Text() const { return currentText(); }
    bool IsNull() const { return KdIsBlankText(Text()); }
    TEditCharCase CharCase() const { return FCharCase; }
    void SetCharCase(TEditCharCase AValue);

Q_SIGNALS:
    void entered();

protected:
    QString CurrentValue() const override { return currentText(); }
    void Entered() override { Q_EMIT entered(); }
    bool event(QEvent *AEvent) override;
    void keyPressEvent(QKeyEvent *AEvent) override;
    void changeEvent(QEvent *AEvent) override;

private:
    // Installs the case filter on the line edit; with AConvertText the standing text is
    // converted too (an explicit SetCharCase).
    void ApplyCharCase(bool AConvertText);

    TEditCharCase FCharCase = ecNormal;
};

class TkdCheckBox : public TkdNavControl<QCheckBox, Qt::CheckState>
{
    Q_OBJECT
public:
    explicit TkdCheckBox(QWidget *AOwner = nullptr);
    explicit TkdCheckBox(const QString &ACaption, QWidget *AOwner = nullptr);

Q_SIGNALS:
    void entered();

protected:
    Qt::CheckState CurrentValue() const override { return checkState(); }
    void Entered() override { Q_EMIT entered(); }
};

class TkdRadioButton : public TkdNavControl<QRadioButton, bool>
{
    Q_OBJECT
public:
    explicit TkdRadioButton(QWidget *AOwner = nullptr);
    explicit TkdRadioButton(const QString &ACaption, QWidget *AOwner = nullptr);

Q_SIGNALS:
    void entered();

protected:
    bool CurrentValue() const override { return isChecked(); }
    void Entered() override { Q_EMIT entered(); }
};

// List box that selects all of its items on request (the select-all command) when it allows
// several selected items; a single-select list is left alone.
class TkdListBox : public QListWidget
{
    Q_OBJECT
public:
    explicit TkdListBox(QWidget *AOwner = nullptr);

    bool MultiSelect() const { return KdIsMultiSelect(this); }
    void SetMultiSelect(bool AValue) { KdSetMultiSelect(this, AValue); }

public Q_SLOTS:
    void selectAll() override;
};
