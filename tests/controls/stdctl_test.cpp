// Snapshot, blank test, numeric filter and form navigation of the input controls.
#include "controls/kdstdctl.h"
#include "support/qstring_printer.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest/QtTest>
#include <gtest/gtest.h>

#include <limits>
#include <memory>

namespace {

// A shown, active window holding the given controls in tab order.
class Form
{
public:
    explicit Form(QWidget *AWindow = nullptr) : FWindow(AWindow ? AWindow : new QWidget)
    {
        FLayout = new QVBoxLayout(FWindow.get());
    }
    template <class T> T *Add(T *AControl)
    {
        FLayout->addWidget(AControl);
        return AControl;
    }
    void Show()
    {
        FWindow->show();
        QApplication::setActiveWindow(FWindow.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(FWindow.get()));
    }
    QWidget *Window() const { return FWindow.get(); }

private:
    std::unique_ptr<QWidget> FWindow;
    QVBoxLayout *FLayout;
};

void Focus(QWidget *AControl)
{
    AControl->setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
    ASSERT_TRUE(AControl->hasFocus());
}

} // namespace

TEST(StdCtlSnapshot, TextControlsTrackExactChangesAgainstTheSnapshot)
{
    TkdStrEdit edit;
    TkdNumEdit num;
    TkdComboBox combo;
    combo.setEditable(true);

    // Before any Save the snapshot is empty: changed exactly when there is text.
    EXPECT_FALSE(edit.IsChanged());
    edit.setText(QStringLiteral("abc"));
    EXPECT_TRUE(edit.IsChanged());
    edit.Save();
    EXPECT_FALSE(edit.IsChanged());
    EXPECT_EQ(edit.SaveValue(), QStringLiteral("abc"));
    edit.setText(QStringLiteral("ABC"));
    EXPECT_TRUE(edit.IsChanged()) << "comparison is case-sensitive";
    edit.setText(QStringLiteral("abc"));
    EXPECT_FALSE(edit.IsChanged()) << "back to the original";
    edit.setText(QString());
    EXPECT_TRUE(edit.IsChanged());
    edit.SetSaveValue(QString());
    EXPECT_FALSE(edit.IsChanged()) << "writing SaveValue sets the snapshot";

    num.setText(QStringLiteral("10"));
    num.Save();
    num.setText(QStringLiteral("010"));
    EXPECT_TRUE(num.IsChanged());
    num.SetValueInt(10);
    EXPECT_FALSE(num.IsChanged());

    combo.setEditText(QStringLiteral("text"));
    EXPECT_TRUE(combo.IsChanged());
    combo.Save();
    EXPECT_FALSE(combo.IsChanged());
    combo.setEditText(QStringLiteral("Text"));
    EXPECT_TRUE(combo.IsChanged());

    TkdComboBox list; // a drop-down list: the text is the chosen item
    list.addItems({QStringLiteral("a"), QStringLiteral("b")});
    list.Save();
    list.setCurrentIndex(1);
    EXPECT_TRUE(list.IsChanged());
    list.setCurrentIndex(0);
    EXPECT_FALSE(list.IsChanged());
}

TEST(StdCtlSnapshot, CheckBoxCountsAllThreeStatesAndRadioButtonItsCheck)
{
    Form form;
    auto *box = form.Add(new TkdCheckBox(QStringLiteral("NOT NULL")));
    auto *radio = form.Add(new TkdRadioButton(QStringLiteral("ASC")));
    form.Show();

    EXPECT_FALSE(box->IsChanged());
    box->setTristate(true);
    box->setCheckState(Qt::PartiallyChecked);
    EXPECT_TRUE(box->IsChanged()) << "grayed against an empty (unchecked) snapshot";
    box->Save();
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(box->checkState(), Qt::Checked);
    EXPECT_TRUE(box->IsChanged()) << "grayed to checked is a change";
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(box->checkState(), Qt::Unchecked);
    EXPECT_TRUE(box->IsChanged());
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(box->checkState(), Qt::PartiallyChecked);
    EXPECT_FALSE(box->IsChanged()) << "back to grayed";

    EXPECT_FALSE(radio->IsChanged());
    QTest::mouseClick(radio, Qt::LeftButton);
    EXPECT_TRUE(radio->IsChanged());
    radio->Save();
    EXPECT_FALSE(radio->IsChanged());
    EXPECT_TRUE(radio->SaveValue());
}

TEST(StdCtlSnapshot, IsNullIgnoresControlCharactersButNotOtherBlanks)
{
    struct Case { QString text; bool null; };
    const Case cases[] = {
        {QString(), true},
        {QStringLiteral("   "), true},
        {QStringLiteral("\t\r\n \x01"), true},
        {QStringLiteral("\u3000"), false}, // full-width blank
        {QStringLiteral("\u00a0"), false},
        {QStringLiteral("  x "), false},
    };
    TkdStrEdit edit;
    TkdComboBox combo;
    combo.setEditable(true);
    for (const Case &c : cases) {
        edit.setText(c.text);
        combo.setEditText(c.text);
        EXPECT_EQ(edit.IsNull(), c.null) << c.text.toStdString();
        EXPECT_EQ(combo.IsNull(), c.null) << c.text.toStdString();
        EXPECT_EQ(KdIsBlankText(c.text), c.null);
    }
}

TEST(StdCtlSnapshot, AutoSaveTakesTheSnapshotOnEntryAfterTheEntryHandler)
{
    Form form;
    auto *first = form.Add(new TkdStrEdit);
    auto *search = form.Add(new TkdStrEdit);
    auto *combo = form.Add(new TkdComboBox);
    auto *box = form.Add(new TkdCheckBox(QStringLiteral("x")));
    combo->setEditable(true);
    search->SetAutoSave(true);
    combo->SetAutoSave(true);
    box->SetAutoSave(true);
    QObject::connect(search, &TkdStrEdit::entered, search, [search] { search->setText(QStringLiteral("rewritten")); });
    form.Show();
    Focus(first);

    Focus(search);
    EXPECT_EQ(search->SaveValue(), QStringLiteral("rewritten"));
    EXPECT_FALSE(search->IsChanged());
    QTest::keyClicks(search, QStringLiteral("!"));
    EXPECT_TRUE(search->IsChanged());

    combo->setEditText(QStringLiteral("v"));
    box->setChecked(true);
    Focus(combo);
    Focus(box);
    EXPECT_FALSE(combo->IsChanged());
    EXPECT_FALSE(box->IsChanged());

    // Without AutoSave entering changes nothing.
    first->setText(QStringLiteral("typed"));
    Focus(first);
    EXPECT_TRUE(first->IsChanged());
}

TEST(StdCtlNumEdit, FilterKeepsDigitsTheLastPointAndALeadingMinus)
{
    struct Case { QString in; bool minus; QString out; };
    const Case cases[] = {
        {QStringLiteral("12.3.4"), false, QStringLiteral("123.4")},
        {QStringLiteral("1-2"), true, QStringLiteral("-12")},
        {QStringLiteral("1-2"), false, QStringLiteral("12")},
        {QStringLiteral("--5"), true, QStringLiteral("-5")},
        {QStringLiteral("１２3"), false, QStringLiteral("3")}, // full-width digits go
        {QStringLiteral("1.5E20"), false, QStringLiteral("1.520")},
        {QStringLiteral("abc"), false, QString()},
        {QStringLiteral(" 1 000,5 "), false, QStringLiteral("10005")},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(KdNumericFilter(c.in, c.minus), c.out) << c.in.toStdString();
        TkdNumEdit num;
        num.SetAllowMinus(c.minus);
        num.setText(c.in);
        EXPECT_EQ(num.text(), c.out) << "assignment passes the filter: " << c.in.toStdString();
    }
}

TEST(StdCtlNumEdit, TypingAndPastingPassTheFilterAndChangeHandlersSeeFilteredText)
{
    Form form;
    auto *num = form.Add(new TkdNumEdit);
    form.Show();
    Focus(num);
    QStringList seen;
    QObject::connect(num, &QLineEdit::textChanged, num, [&seen](const QString &t) { seen << t; });

    QTest::keyClicks(num, QStringLiteral("12"));
    EXPECT_EQ(num->text(), QStringLiteral("12"));
    QTest::keyClick(num, Qt::Key_A);
    EXPECT_EQ(num->text(), QStringLiteral("12")) << "a letter is refused";
    EXPECT_EQ(num->cursorPosition(), 0) << "the filter replaced the text: caret at the start";
    EXPECT_FALSE(num->hasSelectedText());

    num->clear();
    QApplication::clipboard()->setText(QStringLiteral("-1,234.5.6x"));
    num->paste();
    EXPECT_EQ(num->text(), QStringLiteral("12345.6"));
    num->SetAllowMinus(true);
    num->clear();
    num->paste();
    EXPECT_EQ(num->text(), QStringLiteral("-12345.6"));
    for (const QString &t : seen)
        EXPECT_EQ(t, KdNumericFilter(t, true)) << "handler saw unfiltered text " << t.toStdString();
}

TEST(StdCtlNumEdit, ValueIntReadsAndWritesEmptyAndSignedValues)
{
    TkdNumEdit num;
    EXPECT_EQ(num.ValueInt(), 0);
    num.SetValueInt(0);
    EXPECT_EQ(num.text(), QString()) << "0 leaves an empty box empty";
    num.SetValueInt(7);
    EXPECT_EQ(num.text(), QStringLiteral("7"));
    num.setText(QStringLiteral("5"));
    num.SetValueInt(0);
    EXPECT_EQ(num.text(), QStringLiteral("0"));
    num.SetValueInt(-5);
    EXPECT_EQ(num.text(), QStringLiteral("5")) << "no minus without AllowMinus";
    num.SetAllowMinus(true);
    num.SetValueInt(-5);
    EXPECT_EQ(num.text(), QStringLiteral("-5"));
    EXPECT_EQ(num.ValueInt(), -5);
}

TEST(StdCtlNumEdit, ValueIntRoundsHalfToEvenExactlyOverThe64BitRange)
{
    struct Case { QString text; qint64 value; };
    const Case cases[] = {
        {QStringLiteral("2.5"), 2},
        {QStringLiteral("3.5"), 4},
        {QStringLiteral("2.51"), 3},
        {QStringLiteral("-2.5"), -2},
        {QStringLiteral("-3.5"), -4},
        {QStringLiteral(".7"), 1},
        {QStringLiteral("."), 0},
        {QStringLiteral("9223372036854775807"), std::numeric_limits<qint64>::max()},
        {QStringLiteral("-9223372036854775808"), std::numeric_limits<qint64>::min()},
        {QStringLiteral("9007199254740993"), Q_INT64_C(9007199254740993)}, // not a double
        {QStringLiteral("9223372036854775808"), 0},                       // beyond the range
        {QStringLiteral("9223372036854775807.5"), 0},
    };
    TkdNumEdit num;
    num.SetAllowMinus(true);
    for (const Case &c : cases) {
        num.setText(c.text);
        EXPECT_EQ(num.ValueInt(), c.value) << c.text.toStdString();
    }
    // Sequence limits written through ValueInt come back unchanged and without exponent.
    for (qint64 v : {std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min(), Q_INT64_C(-1)}) {
        num.SetValueInt(v);
        EXPECT_EQ(num.text(), QString::number(v));
        EXPECT_EQ(num.ValueInt(), v);
    }
}

TEST(StdCtlNumEdit, ValueFloatWritesPlainDecimalTextWithoutExponent)
{
    struct Case { double value; QString text; };
    const Case cases[] = {
        {1.5e20, QStringLiteral("150000000000000000000")},
        {0.1, QStringLiteral("0.1")},
        {2.5, QStringLiteral("2.5")},
        {1.0 / 3, QStringLiteral("0.333333333333333")},
        {1e-7, QStringLiteral("0.0000001")},
        {123456789012345678.0, QStringLiteral("123456789012346000")},
        {-42.25, QStringLiteral("-42.25")},
    };
    TkdNumEdit num;
    num.SetAllowMinus(true);
    for (const Case &c : cases) {
        EXPECT_EQ(KdFloatToPlainText(c.value), c.text);
        num.setText(QStringLiteral("1"));
        num.SetValueFloat(c.value);
        EXPECT_EQ(num.text(), c.text);
    }
    num.setText(QString());
    num.SetValueFloat(0);
    EXPECT_EQ(num.text(), QString()) << "0 leaves an empty box empty";
    num.SetValueFloat(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(num.text(), QString());
    num.setText(QStringLiteral("3"));
    num.SetValueFloat(std::numeric_limits<double>::infinity());
    EXPECT_EQ(num.text(), QStringLiteral("0"));
    num.setText(QStringLiteral("12.75"));
    EXPECT_DOUBLE_EQ(num.ValueFloat(), 12.75);
    num.setText(QStringLiteral("."));
    EXPECT_DOUBLE_EQ(num.ValueFloat(), 0.0);
}

TEST(StdCtlNavigation, EnterAndArrowKeysMoveBetweenControls)
{
    Form form;
    auto *a = form.Add(new TkdStrEdit);
    auto *b = form.Add(new TkdStrEdit);
    auto *c = form.Add(new TkdNumEdit);
    auto *d = form.Add(new TkdCheckBox(QStringLiteral("d")));
    auto *e = form.Add(new TkdRadioButton(QStringLiteral("e")));
    form.Show();
    a->setText(QStringLiteral("abc"));
    b->setText(QStringLiteral("xyz"));

    Focus(a);
    QTest::keyClick(a, Qt::Key_Return);
    EXPECT_TRUE(b->hasFocus()) << "Enter moves on";

    b->setCursorPosition(1);
    QTest::keyClick(b, Qt::Key_Right);
    EXPECT_TRUE(b->hasFocus()) << "caret inside: Right moves the caret";
    EXPECT_EQ(b->cursorPosition(), 2);
    QTest::keyClick(b, Qt::Key_Right);
    QTest::keyClick(b, Qt::Key_Right);
    EXPECT_TRUE(c->hasFocus()) << "Right at the end moves on";

    Focus(b);
    b->selectAll();
    b->setSelection(0, 3);
    QTest::keyClick(b, Qt::Key_Left);
    EXPECT_TRUE(b->hasFocus()) << "something selected: Left stays";
    b->setCursorPosition(0);
    QTest::keyClick(b, Qt::Key_Left);
    EXPECT_TRUE(a->hasFocus()) << "Left at position 0 moves back";

    QTest::keyClick(a, Qt::Key_Down);
    EXPECT_TRUE(b->hasFocus());
    QTest::keyClick(b, Qt::Key_Up);
    EXPECT_TRUE(a->hasFocus());

    Focus(d);
    QTest::keyClick(d, Qt::Key_Enter);
    EXPECT_TRUE(e->hasFocus()) << "check box: Enter moves on";
    EXPECT_FALSE(d->isChecked());
    QTest::keyClick(e, Qt::Key_Return);
    EXPECT_TRUE(a->hasFocus()) << "radio button: Enter moves on (wrapping)";
}

TEST(StdCtlNavigation, SwitchesTurnNavigationOffAndClaimTheTabKey)
{
    Form form;
    auto *a = form.Add(new TkdStrEdit);
    auto *b = form.Add(new TkdStrEdit);
    auto *c = form.Add(new TkdStrEdit);
    form.Show();
    a->SetWantReturns(false);
    a->SetWantArrow(false);
    b->SetWantTabs(true);
    QSignalSpy returns(a, &QLineEdit::returnPressed);

    Focus(a);
    QTest::keyClick(a, Qt::Key_Return);
    EXPECT_TRUE(a->hasFocus());
    EXPECT_EQ(returns.count(), 1) << "Enter left to the standard handling";
    QTest::keyClick(a, Qt::Key_Down);
    QTest::keyClick(a, Qt::Key_Right);
    EXPECT_TRUE(a->hasFocus());

    QTest::keyClick(a, Qt::Key_Tab);
    EXPECT_TRUE(b->hasFocus()) << "a normal control leaves Tab to focus movement";
    QTest::keyClick(b, Qt::Key_Tab);
    EXPECT_TRUE(b->hasFocus()) << "WantTabs keeps Tab in the control";
    b->SetWantTabs(false);
    QTest::keyClick(b, Qt::Key_Tab);
    EXPECT_TRUE(c->hasFocus());
}

TEST(StdCtlNavigation, DefaultButtonTakesEnterBeforeTheControls)
{
    Form form(new QDialog);
    auto *a = form.Add(new TkdStrEdit);
    auto *b = form.Add(new TkdStrEdit);
    auto *ok = form.Add(new QPushButton(QStringLiteral("OK")));
    form.Show();
    // A dialog makes its first auto-default button the default one when it is shown.
    ok->setAutoDefault(false);
    ok->setDefault(false);
    QSignalSpy clicked(ok, &QPushButton::clicked);

    Focus(a);
    QTest::keyClick(a, Qt::Key_Return);
    EXPECT_TRUE(b->hasFocus()) << "no default button: Enter moves on";
    ok->setDefault(true);
    QTest::keyClick(b, Qt::Key_Return);
    EXPECT_EQ(clicked.count(), 1) << "the default button takes Enter";
}

TEST(StdCtlNavigation, ComboBoxArrowKeysByStyle)
{
    Form form;
    auto *before = form.Add(new TkdStrEdit);
    auto *list = form.Add(new TkdComboBox);
    auto *edit = form.Add(new TkdComboBox);
    auto *after = form.Add(new TkdStrEdit);
    list->addItems({QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")});
    edit->setEditable(true);
    edit->addItems({QStringLiteral("x")});
    form.Show();

    Focus(list);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_TRUE(list->hasFocus());
    EXPECT_EQ(list->currentIndex(), 1) << "Down changes the item";
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(list->currentIndex(), 0);
    QTest::keyClick(list, Qt::Key_Left);
    EXPECT_TRUE(before->hasFocus()) << "drop-down list: Left always moves";
    Focus(list);
    QTest::keyClick(list, Qt::Key_Right);
    EXPECT_TRUE(edit->hasFocus()) << "drop-down list: Right always moves";

    edit->setEditText(QStringLiteral("ab"));
    edit->lineEdit()->setCursorPosition(1);
    QTest::keyClick(edit, Qt::Key_Right);
    EXPECT_TRUE(edit->hasFocus());
    QTest::keyClick(edit, Qt::Key_Right);
    EXPECT_TRUE(after->hasFocus());
    Focus(edit);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_TRUE(after->hasFocus());
    EXPECT_EQ(edit->count(), 1) << "Enter does not add the text as an item";
    EXPECT_EQ(edit->lineEdit()->completer(), nullptr) << "no completion from the items";
}

TEST(StdCtlLook, DisabledTextBoxesShowTheButtonFaceAndCharCaseConverts)
{
    TkdStrEdit edit;
    TkdComboBox combo;
    combo.setEditable(true);
    const QColor face = QApplication::palette().color(QPalette::Active, QPalette::Button);
    const QColor window = QApplication::palette().color(QPalette::Active, QPalette::Base);
    for (QWidget *w : std::initializer_list<QWidget *>{&edit, &combo}) {
        w->setEnabled(false);
        EXPECT_EQ(w->palette().color(QPalette::Disabled, QPalette::Base), face);
        w->setEnabled(true);
        EXPECT_EQ(w->palette().color(QPalette::Active, QPalette::Base), window);
    }
    edit.setText(QStringLiteral("MixEd"));
    edit.SetCharCase(ecLowerCase);
    EXPECT_EQ(edit.text(), QStringLiteral("mixed"));
    combo.SetCharCase(ecUpperCase);
    combo.setEditText(QStringLiteral("name"));
    EXPECT_EQ(combo.Text(), QStringLiteral("NAME"));
}

TEST(StdCtlLook, ShowingOrFocusingAComboBoxKeepsTheCaseOfALoadedName)
{
    // The case rule is set before the box becomes editable (as a window sets its boxes up),
    // then a name read from the catalogs is loaded.
    for (TEditCharCase charCase : {ecLowerCase, ecUpperCase}) {
        QWidget window;
        auto *combo = new TkdComboBox(&window);
        auto *other = new QLineEdit(&window);
        combo->SetCharCase(charCase);
        combo->setEditable(true);
        combo->setEditText(QStringLiteral("Orders"));
        window.show();
        QApplication::setActiveWindow(&window);
        QCoreApplication::processEvents();
        EXPECT_EQ(combo->Text(), QStringLiteral("Orders"));
        combo->setFocus();
        other->setFocus();
        combo->setFocus();
        QCoreApplication::processEvents();
        EXPECT_EQ(combo->Text(), QStringLiteral("Orders"));
        // What is typed from now on follows the rule.
        combo->lineEdit()->clear();
        QTest::keyClicks(combo->lineEdit(), QStringLiteral("MiXed"));
        EXPECT_EQ(combo->Text(), charCase == ecLowerCase ? QStringLiteral("mixed") : QStringLiteral("MIXED"));
        // Setting the rule explicitly converts the standing text, as for the edit box.
        combo->setEditText(QStringLiteral("Orders"));
        combo->SetCharCase(charCase);
        EXPECT_EQ(combo->Text(), charCase == ecLowerCase ? QStringLiteral("orders") : QStringLiteral("ORDERS"));
    }
}

TEST(StdCtlListBox, SelectAllOnlyInMultiSelectLists)
{
    TkdListBox list;
    list.addItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    list.selectAll();
    EXPECT_EQ(list.selectedItems().size(), 0);
    list.SetMultiSelect(true);
    list.selectAll();
    EXPECT_EQ(list.selectedItems().size(), 3);
}
