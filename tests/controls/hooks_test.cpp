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
