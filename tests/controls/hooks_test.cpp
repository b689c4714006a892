// What the controls layer lends the core's windows and dialogs: the number edit of the
// numeric input box, and the code-assist host and shared settings of child windows.
#include "controls/kdhooks.h"
#include "controls/kdmemo.h"
#include "controls/kdstdctl.h"
#include "core/kdforms.h"
#include "core/kdsub_msg.h"
#include "support/qstring_printer.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {
QString u(const char *s) { return QString::fromUtf8(s); }

struct HooksTest : public ::testing::Test {
    void SetUp() override { InstallControlHooks(); }
    void TearDown() override { RemoveControlHooks(); }
};
} // namespace

TEST_F(HooksTest, NumericInputBoxIsANumberEdit)
{
    TkdInputQueryDialog dialog(u("行ジャンプ"), u("指定行"), QString(), {}, true);
    auto *edit = qobject_cast<TkdNumEdit *>(dialog.Edit());
    ASSERT_NE(edit, nullptr);
    EXPECT_FALSE(edit->AllowMinus());
    EXPECT_EQ(edit->maxLength(), 9);
    // Typing: digits and one decimal point stay; the box takes at most nine characters.
    struct Case { QString typed, text; };
    const Case cases[] = {
        {u("12.5"), u("12.5")},
        {u("1234567890123"), u("123456789")},
    };
    for (const Case &c : cases) {
        edit->clear();
        QTest::keyClicks(edit, c.typed);
        EXPECT_EQ(edit->text(), c.text) << c.typed.toStdString();
    }
    // Whatever reaches the text: letters, a minus sign and full-width digits are dropped, and
    // only the last decimal point stays.
    struct Set { QString text, shown; };
    const Set sets[] = {{u("-42"), u("42")}, {u("12a3.4.5"), u("1234.5")}, {u("１２3"), u("3")}};
    for (const Set &c : sets) {
        edit->setText(c.text);
        EXPECT_EQ(edit->text(), c.shown) << c.text.toStdString();
    }
    // The text box stays a plain one.
    TkdInputQueryDialog text(u("c"), u("p"), QString(), {}, false);
    EXPECT_EQ(qobject_cast<TkdNumEdit *>(text.Edit()), nullptr);
    EXPECT_EQ(text.Edit()->maxLength(), 255);
}

TEST_F(HooksTest, WithoutTheControlsTheNumericBoxStillTakesDigitsOnly)
{
    RemoveControlHooks();
    TkdInputQueryDialog dialog(u("件数"), u("件数を入力"), QString(), {}, true);
    EXPECT_EQ(qobject_cast<TkdNumEdit *>(dialog.Edit()), nullptr);
    QTest::keyClicks(dialog.Edit(), u("-1x2"));
    EXPECT_EQ(dialog.Edit()->text(), u("12"));
}

TEST_F(HooksTest, ChildWindowEditorsGetTheSharedSettings)
{
    class Form : public TkdForm
    {
    public:
        Form() : TkdForm(nullptr)
        {
            auto *lay = new QVBoxLayout(this);
            memo = new TkdMemo(this);
            lay->addWidget(memo);
            InitForm();
        }
        TkdMemo *memo;
    } form;
    // The shared settings give every editor the shared macro list.
    EXPECT_NE(form.memo->MacroList(), nullptr);
}

namespace {
// A child window whose name boxes ask for upper case, as a window's definition may.
class CaseForm : public TkdForm
{
public:
    CaseForm() : TkdForm(nullptr)
    {
        auto *lay = new QVBoxLayout(this);
        auto *frame = new QWidget(this);
        auto *inner = new QVBoxLayout(frame);
        edit = new TkdStrEdit(this);
        num = new TkdNumEdit(this);
        combo = new TkdComboBox(frame);
        combo->setEditable(true);
        lay->addWidget(edit);
        lay->addWidget(num);
        inner->addWidget(combo);
        lay->addWidget(frame);
        edit->SetCharCase(ecUpperCase);
        combo->SetCharCase(ecLowerCase);
        InitForm();
    }
    TkdStrEdit *edit;
    TkdNumEdit *num;
    TkdComboBox *combo;
};
} // namespace

TEST_F(HooksTest, LowerCaseNamesOptionLetsNameBoxesKeepTheTypedCase)
{
    // With the option on, every text box and combo box of the window (in frames too) takes
    // text as typed; with it off the window's own letter case stays.
    const bool old = TkdOption::Global().UseLowerName;
    struct Case { bool option; TEditCharCase edit, combo; QString editText, comboText; };
    const Case cases[] = {
        {true, ecNormal, ecNormal, u("MyTable"), u("MySchema")},
        {false, ecUpperCase, ecLowerCase, u("MYTABLE"), u("myschema")},
    };
    for (const Case &c : cases) {
        TkdOption::Global().UseLowerName = c.option;
        CaseForm form;
        EXPECT_EQ(form.UseLowerName(), c.option);
        EXPECT_EQ(form.edit->CharCase(), c.edit) << c.option;
        EXPECT_EQ(form.combo->CharCase(), c.combo) << c.option;
        EXPECT_EQ(form.num->CharCase(), ecNormal);
        form.edit->setText(u("MyTable"));
        form.combo->setEditText(u("MySchema"));
        EXPECT_EQ(form.edit->text(), c.editText) << c.option;
        EXPECT_EQ(form.combo->currentText(), c.comboText) << c.option;
    }
    TkdOption::Global().UseLowerName = old;
}
