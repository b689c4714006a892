#pragma once
// Input controls of the forms. The text boxes, the combo box, the check box and the radio
// button keep a snapshot of their value (Save) so that an editor can ask which values the
// user changed (IsChanged) and whether a text is blank (IsNull); the generated DDL depends on
// these answers. They also navigate like a paper form: Enter moves to the next control, the
// arrow keys leave a text box at its ends.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QString>
#include <QValidator>
#include <QtGlobal>

#include <stdexcept>

class QKeyEvent;
class QPainter;

// An index outside a list: raised by the indexed properties of the grid and the check list
// (a caller's programming error), with the list error message of the forms.
class EListError : public std::out_of_range
{
public:
    explicit EListError(qsizetype AIndex);
    static QString MessageFor(qsizetype AIndex);
};

// True when Text is empty after removing leading and trailing characters of code 32 or below
// (other blanks, such as the full-width space, stay).
bool KdIsBlankText(const QString &AText);

// ASCII letters compared without regard to case, every other character exactly.
bool KdSameTextAscii(const QString &A, const QString &B);

// Draws a check-box glyph centred in ARect: Qt::PartiallyChecked shows the three-state look;
// AFlat draws it with a plain one-pixel outline in the button-shadow colour.
void KdDrawCheckGlyph(QPainter *APainter, const QWidget *AControl, const QRect &ARect,
                      Qt::CheckState AState, bool AEnabled, bool AFlat);

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

class TkdStrEdit : public QLineEdit, public TkdNavigation
{
    Q_OBJECT
public:
    explicit TkdStrEdit(QWidget *AOwner = nullptr);

    void Save() { FSaveValue = text(); }
    QString SaveValue() const { return FSaveValue; }
    void SetSaveValue(const QString &AValue) { FSaveValue = AValue; }
    bool IsChanged() const { return text() != FSaveValue; }
    bool IsNull() const { return KdIsBlankText(text()); }

    TEditCharCase CharCase() const { return FFilter->FCharCase; }
    void SetCharCase(TEditCharCase AValue);

Q_SIGNALS:
    // Raised when the control receives the focus, before the AutoSave snapshot.
    void entered();

protected:
    bool event(QEvent *AEvent) override;
    void keyPressEvent(QKeyEvent *AEvent) override;
    void focusInEvent(QFocusEvent *AEvent) override;
    void changeEvent(QEvent *AEvent) override;

    TkdTextFilter *FFilter;
    QString FSaveValue;
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

class TkdComboBox : public QComboBox, public TkdNavigation
{
    Q_OBJECT
public:
    explicit TkdComboBox(QWidget *AOwner = nullptr);

    // The edit text of an editable box, the current item's text of a drop-down list.
    QString Text() const { return currentText(); }
    void Save() { FSaveValue = Text(); }
    QString SaveValue() const { return FSaveValue; }
    void SetSaveValue(const QString &AValue) { FSaveValue = AValue; }
    bool IsChanged() const { return Text() != FSaveValue; }
    bool IsNull() const { return KdIsBlankText(Text()); }

    TEditCharCase CharCase() const { return FCharCase; }
    void SetCharCase(TEditCharCase AValue);

Q_SIGNALS:
    void entered();

protected:
    bool event(QEvent *AEvent) override;
    void keyPressEvent(QKeyEvent *AEvent) override;
    void focusInEvent(QFocusEvent *AEvent) override;
    void changeEvent(QEvent *AEvent) override;

private:
    void ApplyCharCase();

    QString FSaveValue;
    TEditCharCase FCharCase = ecNormal;
};

class TkdCheckBox : public QCheckBox, public TkdNavigation
{
    Q_OBJECT
public:
    explicit TkdCheckBox(QWidget *AOwner = nullptr);
    explicit TkdCheckBox(const QString &ACaption, QWidget *AOwner = nullptr);

    void Save() { FSaveValue = checkState(); }
    Qt::CheckState SaveValue() const { return FSaveValue; }
    void SetSaveValue(Qt::CheckState AValue) { FSaveValue = AValue; }
    bool IsChanged() const { return checkState() != FSaveValue; }

Q_SIGNALS:
    void entered();

protected:
    bool event(QEvent *AEvent) override;
    void keyPressEvent(QKeyEvent *AEvent) override;
    void focusInEvent(QFocusEvent *AEvent) override;

private:
    Qt::CheckState FSaveValue = Qt::Unchecked;
};

class TkdRadioButton : public QRadioButton, public TkdNavigation
{
    Q_OBJECT
public:
    explicit TkdRadioButton(QWidget *AOwner = nullptr);
    explicit TkdRadioButton(const QString &ACaption, QWidget *AOwner = nullptr);

    void Save() { FSaveValue = isChecked(); }
    bool SaveValue() const { return FSaveValue; }
    void SetSaveValue(bool AValue) { FSaveValue = AValue; }
    bool IsChanged() const { return isChecked() != FSaveValue; }

Q_SIGNALS:
    void entered();

protected:
    bool event(QEvent *AEvent) override;
    void keyPressEvent(QKeyEvent *AEvent) override;
    void focusInEvent(QFocusEvent *AEvent) override;

private:
    bool FSaveValue = false;
};

// List box that selects all of its items on request (the select-all command) when it allows
// several selected items; a single-select list is left alone.
class TkdListBox : public QListWidget
{
    Q_OBJECT
public:
    explicit TkdListBox(QWidget *AOwner = nullptr);

    bool MultiSelect() const;
    void SetMultiSelect(bool AValue);

public Q_SLOTS:
    void selectAll() override;
};
