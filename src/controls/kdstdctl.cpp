#include "controls/kdstdctl.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

#include <cmath>
#include <limits>

bool KdIsBlankText(const QString &AText)
{
    for (const QChar c : AText)
        if (c.unicode() > 32)
            return false;
    return true;
}

bool KdSameTextAscii(const QString &A, const QString &B)
{
    if (A.size() != B.size())
        return false;
    for (qsizetype i = 0; i < A.size(); ++i) {
        char16_t a = A.at(i).unicode();
        char16_t b = B.at(i).unicode();
        if (a >= u'A' && a <= u'Z')
            a = char16_t(a - u'A' + u'a');
        if (b >= u'A' && b <= u'Z')
            b = char16_t(b - u'A' + u'a');
        if (a != b)
            return false;
    }
    return true;
}

void KdDrawCheckGlyph(QPainter *APainter, const QWidget *AControl, const QRect &ARect,
                      Qt::CheckState AState, bool AEnabled, bool AFlat)
{
    QStyle *style = AControl->style();
    const int w = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, AControl);
    const int h = style->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, AControl);
    QStyleOptionButton option;
    option.initFrom(AControl);
    option.rect = QRect(ARect.left() + (ARect.width() - w) / 2, ARect.top() + (ARect.height() - h) / 2, w, h);
    option.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
    option.state.setFlag(QStyle::State_Enabled, AEnabled);
    option.state |= AState == Qt::Checked ? QStyle::State_On
                  : AState == Qt::PartiallyChecked ? QStyle::State_NoChange
                                                   : QStyle::State_Off;
    APainter->save();
    if (AFlat)
        APainter->setClipRect(option.rect.adjusted(2, 2, -2, -2)); // the glyph's interior only
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, APainter, AControl);
    APainter->restore();
    if (AFlat) {
        APainter->save();
        APainter->setBrush(Qt::NoBrush);
        APainter->setPen(AControl->palette().color(QPalette::Dark));
        APainter->drawRect(option.rect.adjusted(1, 1, -2, -2));
        APainter->restore();
    }
}

bool KdIsMultiSelect(const QAbstractItemView *AView)
{
    return AView->selectionMode() == QAbstractItemView::ExtendedSelection
        || AView->selectionMode() == QAbstractItemView::MultiSelection;
}

void KdSetMultiSelect(QAbstractItemView *AView, bool AValue)
{
    AView->setSelectionMode(AValue ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}

bool KdDefaultButtonTakesEnter(const QWidget *AControl)
{
    // Only a dialog presses its default button on Enter; it does so for the first visible
    // button marked as default.
    const auto *dialog = qobject_cast<const QDialog *>(AControl->window());
    if (!dialog)
        return false;
    const auto buttons = dialog->findChildren<QPushButton *>();
    for (const QPushButton *button : buttons)
        if (button->isDefault() && button->isVisible())
            return true;
    return false;
}

TkdNavigation::TNavMove TkdNavigation::ReturnMove(const QWidget *AControl, const QKeyEvent *AEvent) const
{
    if (!FWantReturns || (AEvent->key() != Qt::Key_Return && AEvent->key() != Qt::Key_Enter))
        return TNavMove::None;
    return KdDefaultButtonTakesEnter(AControl) ? TNavMove::None : TNavMove::Next;
}

TkdNavigation::TNavMove TkdNavigation::TextEndMove(const QLineEdit *AEdit, int AKey)
{
    if (AKey == Qt::Key_Left && AEdit->cursorPosition() == 0 && !AEdit->hasSelectedText())
        return TNavMove::Previous;
    const int selStart = AEdit->hasSelectedText() ? AEdit->selectionStart() : AEdit->cursorPosition();
    if (AKey == Qt::Key_Right && selStart == AEdit->text().size())
        return TNavMove::Next;
    return TNavMove::None;
}

bool TkdNavigation::ClaimsTab(const QEvent *AEvent) const
{
    if (!FWantTabs || AEvent->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent *>(AEvent)->key();
    return key == Qt::Key_Tab || key == Qt::Key_Backtab;
}

QString KdNumericFilter(const QString &AText, bool AAllowMinus)
{
    // Walk backwards so that the last point of the text is the one kept.
    QString result;
    result.reserve(AText.size() + 1);
    bool pointKept = false;
    for (qsizetype i = AText.size() - 1; i >= 0; --i) {
        const QChar c = AText.at(i);
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            result.prepend(c);
        else if (c == QLatin1Char('.') && !pointKept) {
            result.prepend(c);
            pointKept = true;
        }
    }
    if (AAllowMinus && AText.contains(QLatin1Char('-')))
        result.prepend(QLatin1Char('-'));
    return result;
}

QValidator::State TkdTextFilter::validate(QString &AInput, int &APos) const
{
    if (FNumeric) {
        const QString filtered = KdNumericFilter(AInput, FAllowMinus);
        if (filtered != AInput) {
            // The whole text is replaced, so the caret goes to its start.
            AInput = filtered;
            APos = 0;
        }
    }
    if (FCharCase != ecNormal) {
        const QString converted = FCharCase == ecUpperCase ? AInput.toUpper() : AInput.toLower();
        if (converted != AInput) {
            AInput = converted;
            APos = qMin<int>(APos, int(AInput.size()));
        }
    }
    return Acceptable;
}

namespace {

// Text boxes and the combo box show the window colour when enabled and the button face when
// disabled, whatever colour they were given before.
void ApplyEnabledColour(QWidget *AControl)
{
    const QPalette app = QApplication::palette(AControl);
    const QColor colour = app.color(QPalette::Active, AControl->isEnabled() ? QPalette::Base : QPalette::Button);
    QPalette p = AControl->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(group, QPalette::Base, colour);
    AControl->setPalette(p);
}

} // namespace

// ---------------------------------------------------------------- TkdStrEdit

TkdStrEdit::TkdStrEdit(QWidget *AOwner) : TkdNavControl(AOwner), FFilter(new TkdTextFilter(this))
{
    setValidator(FFilter);
}

void TkdStrEdit::SetCharCase(TEditCharCase AValue)
{
    FFilter->FCharCase = AValue;
    QString converted = text();
    int pos = cursorPosition();
    FFilter->validate(converted, pos);
    if (converted != text())
        setText(converted);
}

void TkdStrEdit::keyPressEvent(QKeyEvent *AEvent)
{
    if (HandleReturn(AEvent))
        return;
    TNavMove move = TNavMove::None;
    if (FWantArrow) {
        if (AEvent->key() == Qt::Key_Up)
            move = TNavMove::Previous;
        else if (AEvent->key() == Qt::Key_Down)
            move = TNavMove::Next;
        else
            move = TextEndMove(this, AEvent->key());
    }
    const bool moved = MoveFocus(move);
    QLineEdit::keyPressEvent(AEvent);
    if (moved)
        AEvent->accept();
}

void TkdStrEdit::changeEvent(QEvent *AEvent)
{
    QLineEdit::changeEvent(AEvent);
    if (AEvent->type() == QEvent::EnabledChange)
        ApplyEnabledColour(this);
}

// ---------------------------------------------------------------- TkdNumEdit

TkdNumEdit::TkdNumEdit(QWidget *AOwner) : TkdStrEdit(AOwner)
{
    FFilter->FNumeric = true;
}

void TkdNumEdit::SetAllowMinus(bool AValue)
{
    FFilter->FAllowMinus = AValue;
}

void TkdNumEdit::focusInEvent(QFocusEvent *AEvent)
{
    TkdStrEdit::focusInEvent(AEvent);
    selectAll();
}

bool KdDecimalTextToInt64(const QString &AText, qint64 &AValue)
{
    qsizetype i = 0;
    const bool negative = AText.startsWith(QLatin1Char('-'));
    if (negative)
        ++i;
    // The magnitude may reach 2^63 for the most negative value.
    const quint64 limit = negative ? quint64(std::numeric_limits<qint64>::max()) + 1
                                   : quint64(std::numeric_limits<qint64>::max());
    quint64 magnitude = 0;
    int digits = 0;
    for (; i < AText.size() && AText.at(i).isDigit(); ++i, ++digits) {
        const quint64 d = quint64(AText.at(i).unicode() - '0');
        if (magnitude > (limit - d) / 10)
            return false;
        magnitude = magnitude * 10 + d;
    }
    QString fraction;
    if (i < AText.size() && AText.at(i) == QLatin1Char('.')) {
        for (++i; i < AText.size() && AText.at(i).isDigit(); ++i)
            fraction.append(AText.at(i));
    }
    if (i != AText.size() || (digits == 0 && fraction.isEmpty()))
        return false;
    // Round half to even on the exact decimal digits.
    bool up = false;
    if (!fraction.isEmpty()) {
        const QChar first = fraction.at(0);
        if (first > QLatin1Char('5'))
            up = true;
        else if (first == QLatin1Char('5')) {
            bool rest = false;
            for (qsizetype k = 1; k < fraction.size(); ++k)
                rest = rest || fraction.at(k) != QLatin1Char('0');
            up = rest || (magnitude % 2) == 1;
        }
    }
    if (up) {
        if (magnitude == limit)
            return false;
        ++magnitude;
    }
    AValue = negative ? qint64(0 - magnitude) : qint64(magnitude);
    return true;
}

QString KdFloatToPlainText(double AValue)
{
    if (!std::isfinite(AValue))
        return QString();
    if (AValue == 0)
        return QStringLiteral("0");
    // Scientific text with 15 significant digits, then written out in plain decimal form.
    const QString sci = QString::number(AValue, 'e', 14);
    const qsizetype ePos = sci.indexOf(QLatin1Char('e'));
    QString mantissa = sci.left(ePos);
    const int exponent = sci.mid(ePos + 1).toInt();
    const bool negative = mantissa.startsWith(QLatin1Char('-'));
    if (negative)
        mantissa.remove(0, 1);
    mantissa.remove(QLatin1Char('.'));
    while (mantissa.size() > 1 && mantissa.endsWith(QLatin1Char('0')))
        mantissa.chop(1);
    const int pointAt = exponent + 1; // digits before the decimal point
    QString result;
    if (pointAt <= 0)
        result = QStringLiteral("0.") + QString(-pointAt, QLatin1Char('0')) + mantissa;
    else if (pointAt >= mantissa.size())
        result = mantissa + QString(pointAt - mantissa.size(), QLatin1Char('0'));
    else
        result = mantissa.left(pointAt) + QLatin1Char('.') + mantissa.mid(pointAt);
    return negative ? QLatin1Char('-') + result : result;
}

qint64 TkdNumEdit::ValueInt() const
{
    qint64 value = 0;
    return KdDecimalTextToInt64(text(), value) ? value : 0;
}

void TkdNumEdit::SetValueInt(qint64 AValue)
{
    if (text().isEmpty() && AValue == 0)
        return;
    setText(QString::number(AValue));
}

double TkdNumEdit::ValueFloat() const
{
    bool ok = false;
    const double value = text().toDouble(&ok);
    return ok ? value : 0.0;
}

void TkdNumEdit::SetValueFloat(double AValue)
{
    QString value = KdFloatToPlainText(AValue);
    if (value.isEmpty())
        value = QStringLiteral("0"); // not a finite number
    if (text().isEmpty() && value == QLatin1String("0"))
        return;
    setText(value);
}

// ---------------------------------------------------------------- TkdComboBox

TkdComboBox::TkdComboBox(QWidget *AOwner) : TkdNavControl(AOwner)
{
    setMaxVisibleItems(20);
    // Enter must not add the typed text to the items.
    setInsertPolicy(QComboBox::NoInsert);
}

void TkdComboBox::SetCharCase(TEditCharCase AValue)
{
    FCharCase = AValue;
    ApplyCharCase(true);
}

void TkdComboBox::ApplyCharCase(bool AConvertText)
{
    QLineEdit *edit = lineEdit();
    if (!edit)
        return;
    // No completion of typed text from the items.
    if (edit->completer())
        edit->setCompleter(nullptr);
    auto *filter = edit->findChild<TkdTextFilter *>(QString(), Qt::FindDirectChildrenOnly);
    if (!filter) {
        filter = new TkdTextFilter(edit);
        edit->setValidator(filter);
    }
    filter->FCharCase = FCharCase;
    if (!AConvertText)
        return;
    QString converted = edit->text();
    int pos = edit->cursorPosition();
    filter->validate(converted, pos);
    if (converted != edit->text())
        edit->setText(converted);
}

bool TkdComboBox::event(QEvent *AEvent)
{
    // The line edit of an editable box is created by setEditable; it gets the case filter for
    // what is typed from now on when it appears. The text standing in it is left as it is: a
    // name loaded after SetCharCase (for example a mixed-case name read from the catalogs) must
    // not change just because the box is shown or focused.
    if (AEvent->type() == QEvent::Show || AEvent->type() == QEvent::FocusIn)
        ApplyCharCase(false);
    return TkdNavControl::event(AEvent);
}

void TkdComboBox::keyPressEvent(QKeyEvent *AEvent)
{
    if (HandleReturn(AEvent))
        return;
    TNavMove move = TNavMove::None;
    if (FWantArrow) {
        // A drop-down list leaves on Left and Right at once; Up and Down change its item.
        if (!lineEdit() && AEvent->key() == Qt::Key_Left)
            move = TNavMove::Previous;
        else if (!lineEdit() && AEvent->key() == Qt::Key_Right)
            move = TNavMove::Next;
        else if (lineEdit())
            move = TextEndMove(lineEdit(), AEvent->key());
    }
    const bool moved = MoveFocus(move);
    QComboBox::keyPressEvent(AEvent);
    if (moved)
        AEvent->accept();
}

void TkdComboBox::changeEvent(QEvent *AEvent)
{
    QComboBox::changeEvent(AEvent);
    if (AEvent->type() == QEvent::EnabledChange)
        ApplyEnabledColour(this);
}

// ---------------------------------------------------------------- TkdCheckBox, TkdRadioButton

TkdCheckBox::TkdCheckBox(QWidget *AOwner) : TkdNavControl(AOwner) {}

TkdCheckBox::TkdCheckBox(const QString &ACaption, QWidget *AOwner) : TkdNavControl(ACaption, AOwner) {}

TkdRadioButton::TkdRadioButton(QWidget *AOwner) : TkdNavControl(AOwner) {}

TkdRadioButton::TkdRadioButton(const QString &ACaption, QWidget *AOwner) : TkdNavControl(ACaption, AOwner) {}

// ---------------------------------------------------------------- TkdListBox

TkdListBox::TkdListBox(QWidget *AOwner) : QListWidget(AOwner) {}

void TkdListBox::selectAll()
{
    if (MultiSelect())
        QListWidget::selectAll();
}
