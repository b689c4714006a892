// Message boxes and input dialogs: text clean-up, flags, results and check boxes, answered
// through the test hook; the dialogs' layout checked on the built, unshown dialogs.
#include "core/kdsub_msg.h"
#include "core/msghook.h"
#include "support/qstring_printer.h"
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>
#include <cmath>

namespace {

QString u(const char *s) { return QString::fromUtf8(s); }
const QString Prefix = QStringLiteral("[AnyDAC][Phys][PG][libpq] ");

TEST(MessageBox, TextIsCleanedAndCaptionIsTheTitle)
{
    struct Case { QString text, shown; };
    const Case cases[] = {
        {Prefix + u("ERROR: relation \"x\" does not exist"), u("ERROR: relation \"x\" does not exist")},
        {Prefix + u("a") + Prefix + u("b") + Prefix, u("ab")},
        {Prefix + u(": "), u("ERROR: SQL構文エラー")},
        {u(": "), u("ERROR: SQL構文エラー")},
        {u(": x"), u(": x")},
        {u(":  "), u(":  ")},
        {u("[anydac][Phys][PG][libpq] x"), u("[anydac][Phys][PG][libpq] x")},
        {u("[AnyDAC][Phys][PG][libpq]x"), u("[AnyDAC][Phys][PG][libpq]x")},
        {u(""), u("")},
        {u("テーブルを削除しました。"), u("テーブルを削除しました。")},
        // A TAB of a server message reads as a blank.
        {Prefix + u("ERROR:\tsyntax error\tat \"x\""), u("ERROR: syntax error at \"x\"")},
        {u("\t\t"), u("  ")},
    };
    ScriptedMessageBoxes boxes;
    for (const Case &c : cases) {
        boxes.Answer(IDOK);
        EXPECT_EQ(ShowMessageBox(c.text, MB_OK | MB_ICONINFORMATION), IDOK);
        EXPECT_EQ(boxes.Last().text, c.shown);
        EXPECT_EQ(boxes.Last().caption, u("Kelvane for Symfoware"));
        EXPECT_EQ(boxes.Last().flags, 64);
        EXPECT_EQ(boxes.Last().kind, MessageBoxRequest::Kind::Message);
    }
}

TEST(MessageBox, FlagsPassUnchangedAndButtonCodesComeBack)
{
    ScriptedMessageBoxes boxes;
    const int flags[] = {48, 64, 16, 36, 292, 35, 52, 68, 0};
    const int answers[] = {IDOK, IDOK, IDOK, IDYES, IDNO, IDCANCEL, IDYES, IDNO, IDOK};
    for (int i = 0; i < 9; ++i) {
        boxes.Answer(answers[i]);
        EXPECT_EQ(ShowMessageBox(u("?"), flags[i]), answers[i]);
        EXPECT_EQ(boxes.Last().flags, flags[i]);
    }
    EXPECT_EQ(IDOK, 1);
    EXPECT_EQ(IDCANCEL, 2);
    EXPECT_EQ(IDYES, 6);
    EXPECT_EQ(IDNO, 7);
    EXPECT_EQ(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, 292);
}

TEST(MessageBox, FormatFirst)
{
    struct Case { QString fmt; QVariantList args; QString expected; };
    const Case cases[] = {
        {u("%s を削除しますか？"), {u("emp")}, u("emp を削除しますか？")},
        {u("%d 件 / %d 件"), {3, 10}, u("3 件 / 10 件")},
        {u("100%%"), {}, u("100%")},
        {u("[%5s][%-5s]"), {u("ab"), u("cd")}, u("[   ab][cd   ]")},
        {u("%.3d %x %.2f"), {7, 255, 1.005}, u("007 FF 1.00")},
        {u("%1:s %0:s"), {u("a"), u("b")}, u("b a")},
        {u("%n"), {1234567.5}, u("1,234,567.50")},
        {u("%.2s"), {u("abc")}, u("ab")},
        {u("%d"), {-5}, u("-5")},
        {u("末尾の%"), {}, u("末尾の%")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FormatText(c.fmt, c.args), c.expected) << c.fmt.toStdString();

    ScriptedMessageBoxes boxes;
    boxes.Answer(IDYES);
    EXPECT_EQ(ShowMessageBoxFmt(u("%s.%s を削除しますか？"), {u("hr"), u("emp")}, 292), IDYES);
    EXPECT_EQ(boxes.Last().text, u("hr.emp を削除しますか？"));
}

TEST(CheckMessageBox, StatesComeBackWhateverButtonClosedIt)
{
    ScriptedMessageBoxes boxes;
    QList<MsgCheckItem> items{{u("CASCADE オプション"), true}, {u("見出しを出力する"), false}};
    boxes.Answer(IDNO, [](MessageBoxRequest &r) {
        r.items[0].Checked = false;
        r.items[1].Checked = true;
    });
    EXPECT_EQ(ShowCheckMessageBox(Prefix + u("削除しますか？"), 292, items), IDNO);
    EXPECT_FALSE(items[0].Checked);
    EXPECT_TRUE(items[1].Checked);
    EXPECT_EQ(boxes.Last().text, u("削除しますか？"));
    EXPECT_EQ(boxes.Last().kind, MessageBoxRequest::Kind::CheckMessage);
    ASSERT_EQ(boxes.Last().items.size(), 2);
    EXPECT_TRUE(boxes.Last().items[0].Checked); // shown with the initial states
    EXPECT_EQ(boxes.Last().items[0].Caption, u("CASCADE オプション"));

    boxes.Answer(IDCANCEL, [](MessageBoxRequest &r) { r.items[1].Checked = false; });
    EXPECT_EQ(ShowCheckMessageBox(u(": "), 35, items), IDCANCEL);
    EXPECT_FALSE(items[1].Checked);
    EXPECT_EQ(boxes.Last().text, u("ERROR: SQL構文エラー"));

    boxes.Answer(42);
    EXPECT_EQ(ShowCheckMessageBox(u("x"), 0, items), 8);
}

TEST(CheckMessageBox, DialogIconButtonsAndDefault)
{
    struct Case {
        quint16 flags; int icon; QStringList buttons; int defaultIndex;
    };
    const Case cases[] = {
        {292, MB_ICONQUESTION, {u("はい(&Y)"), u("いいえ(&N)")}, 1},
        {36, MB_ICONQUESTION, {u("はい(&Y)"), u("いいえ(&N)")}, 0},
        {52, MB_ICONWARNING, {u("はい(&Y)"), u("いいえ(&N)")}, 0},
        {16, MB_ICONERROR, {u("OK")}, 0},
        {0, MB_ICONINFORMATION, {u("OK")}, 0},
        {64, MB_ICONINFORMATION, {u("OK")}, 0},
        {35 | MB_DEFBUTTON3, MB_ICONQUESTION, {u("はい(&Y)"), u("いいえ(&N)"), u("キャンセル")}, 2},
        {MB_OKCANCEL | MB_DEFBUTTON4, MB_ICONINFORMATION, {u("OK"), u("キャンセル")}, 0},
        {MB_ABORTRETRYIGNORE, MB_ICONINFORMATION, {u("中止(&A)"), u("再試行(&R)"), u("無視(&I)")}, 0},
        {MB_RETRYCANCEL | MB_DEFBUTTON2, MB_ICONINFORMATION, {u("再試行(&R)"), u("キャンセル")}, 1},
    };
    for (const Case &c : cases) {
        TkdCheckMessageDialog dialog(u("本文"), c.flags, {});
        EXPECT_EQ(dialog.IconKind(), c.icon) << c.flags;
        QStringList captions;
        for (QPushButton *b : dialog.Buttons())
            captions << b->text();
        EXPECT_EQ(captions, c.buttons) << c.flags;
        EXPECT_EQ(dialog.DefaultButton(), dialog.Buttons().value(c.defaultIndex)) << c.flags;
        EXPECT_EQ(dialog.windowTitle(), u("Kelvane for Symfoware"));
    }
}

TEST(CheckMessageBox, CheckBoxesStandUnderTheTextAndResultMapsTheButton)
{
    const QList<MsgCheckItem> items{{u("一つ目"), true}, {u("二つ目"), false}};
    TkdCheckMessageDialog dialog(Prefix + u("本文\n二行目"), 292, items);
    dialog.show();
    EXPECT_EQ(dialog.Message()->text(), u("本文\n二行目"));
    EXPECT_EQ(dialog.Message()->objectName(), u("Message"));
    ASSERT_EQ(dialog.CheckBoxes().size(), 2);
    QCheckBox *first = dialog.findChild<QCheckBox *>(u("Check0"));
    QCheckBox *second = dialog.findChild<QCheckBox *>(u("Check1"));
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(first->isChecked());
    EXPECT_FALSE(second->isChecked());
    EXPECT_EQ(first->text(), u("一つ目"));
    EXPECT_GE(first->y(), dialog.Message()->y() + dialog.Message()->height());
    EXPECT_GT(second->y(), first->y());
    EXPECT_EQ(first->x(), dialog.Message()->x());

    first->setChecked(false);
    QTest::mouseClick(dialog.Buttons().at(1), Qt::LeftButton);
    EXPECT_EQ(dialog.ResultCode(), IDNO);
    QList<MsgCheckItem> out = items;
    dialog.ReadChecks(out);
    EXPECT_FALSE(out[0].Checked);
    EXPECT_FALSE(out[1].Checked);
}

TEST(InputQuery, OkUpdatesCancelLeavesValue)
{
    ScriptedMessageBoxes boxes;
    QString value = u("10");
    QList<MsgCheckItem> items{{u("全件"), false}};
    boxes.Answer(IDCANCEL, [](MessageBoxRequest &r) {
        r.value = u("99");
        r.items[0].Checked = true;
    });
    EXPECT_FALSE(InputQueryWithChecks(u("件数"), u("件数を入力"), value, items, true));
    EXPECT_EQ(value, u("10"));
    EXPECT_FALSE(items[0].Checked);
    EXPECT_EQ(boxes.Last().kind, MessageBoxRequest::Kind::Input);
    EXPECT_EQ(boxes.Last().caption, u("件数"));
    EXPECT_EQ(boxes.Last().text, u("件数を入力"));
    EXPECT_EQ(boxes.Last().value, u("10"));
    EXPECT_TRUE(boxes.Last().numeric);

    boxes.Answer(IDOK, [](MessageBoxRequest &r) {
        r.value = u("12345678901");
        r.items[0].Checked = true;
    });
    EXPECT_TRUE(InputQueryWithChecks(u("件数"), u("件数を入力"), value, items, true));
    EXPECT_EQ(value, u("123456789"));
    EXPECT_TRUE(items[0].Checked);

    QList<MsgCheckItem> none;
    boxes.Answer(IDOK, [](MessageBoxRequest &r) { r.value = u("名前"); });
    EXPECT_TRUE(InputQueryWithChecks(u("c"), u("p"), value, none, false));
    EXPECT_EQ(value, u("名前"));
}

TEST(InputQuery, DialogLayoutAndNumericBox)
{
    {
        TkdInputQueryDialog dialog(u("件数"), u("件数を入力"), u("5"), {}, true);
        QLineEdit *edit = dialog.Edit();
        EXPECT_EQ(edit->maxLength(), 9);
        EXPECT_EQ(edit->text(), u("5"));
        EXPECT_TRUE(edit->hasSelectedText());
        EXPECT_EQ(dialog.OkButton()->y() - (edit->y() + edit->height()), 16);
        EXPECT_EQ(edit->y(), dialog.PromptLabel()->y() + dialog.PromptLabel()->height() + 5);
        EXPECT_EQ(dialog.height(), dialog.CancelButton()->y() + dialog.CancelButton()->height() + 13);
        EXPECT_TRUE(dialog.OkButton()->isDefault());
        edit->clear();
        QTest::keyClicks(edit, u("12a3.4.5-67890123"));
        EXPECT_EQ(edit->text(), u("123.45678"));
    }
    {
        const QList<MsgCheckItem> one{{u("見出しを出力する"), true}};
        TkdInputQueryDialog dialog(u("c"), u("p"), QString(), one, false);
        EXPECT_EQ(dialog.Edit()->maxLength(), 255);
        ASSERT_EQ(dialog.CheckBoxes().size(), 1);
        QCheckBox *check = dialog.CheckBoxes().front();
        EXPECT_EQ(check->objectName(), u("Check0"));
        EXPECT_TRUE(check->isChecked());
        EXPECT_EQ(check->y(), dialog.Edit()->y() + dialog.Edit()->height() + 2);
        EXPECT_EQ(dialog.OkButton()->y() - (check->y() + check->height()), 5);

        check->setChecked(false);
        QList<MsgCheckItem> out = one;
        dialog.ReadChecks(out);
        EXPECT_FALSE(out[0].Checked);
    }
}

TEST(InputQuery, DialogUnitsFollowTheFont)
{
    const QFontMetrics fm(QApplication::font());
    const QSize unit = AverageCharSize(fm);
    EXPECT_EQ(unit.width(), fm.horizontalAdvance(u("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52);
    EXPECT_EQ(unit.height(), fm.height());
    TkdInputQueryDialog dialog(u("c"), u("p"), QString(), {}, false);
    const QSize u2 = AverageCharSize(dialog.fontMetrics());
    EXPECT_EQ(dialog.width(), int(std::lround(180.0 * u2.width() / 4)));
    EXPECT_EQ(dialog.Edit()->width(), int(std::lround(164.0 * u2.width() / 4)));
}

TEST(MessageBox, BoxesStandCentredOnTheActiveWindow)
{
    QWidget window;
    window.setGeometry(40, 60, 700, 500);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_EQ(QApplication::activeWindow(), &window);
    TkdCheckMessageDialog check(u("削除しますか？"), MB_YESNO | MB_ICONQUESTION, {{u("CASCADE オプション"), false}});
    TkdInputQueryDialog input(u("件数"), u("件数を入力"), u("5"), {}, true);
    for (QDialog *d : {static_cast<QDialog *>(&check), static_cast<QDialog *>(&input)}) {
        d->adjustSize();
        CenterOnActiveWindow(d);
        const QPoint centre = QRect(d->pos(), d->frameGeometry().size().expandedTo(d->size())).center();
        EXPECT_LE((centre - window.frameGeometry().center()).manhattanLength(), 2);
    }
    // Without an active window the box stands in the middle of the screen.
    window.hide();
    QApplication::setActiveWindow(nullptr);
    CenterOnActiveWindow(&check);
    const QRect screen = check.screen()->availableGeometry();
    const QPoint centre = QRect(check.pos(), check.frameGeometry().size().expandedTo(check.size())).center();
    EXPECT_LE((centre - screen.center()).manhattanLength(), 2);
}

TEST(MessageBox, HookIsRestored)
{
    int calls = 0;
    MessageBoxHook outer = [&](MessageBoxRequest &) { ++calls; return IDYES; };
    const MessageBoxHook before = SetMessageBoxHook(outer);
    {
        ScriptedMessageBoxes boxes;
        boxes.Answer(IDNO);
        EXPECT_EQ(ShowMessageBox(u("x"), 36), IDNO);
    }
    EXPECT_EQ(ShowMessageBox(u("x"), 36), IDYES);
    EXPECT_EQ(calls, 1);
    SetMessageBoxHook(before);
}

} // namespace
