// Keyboard macros: recording in one editor and playing back into another.
#include "controls/kdmacro.h"
#include "controls/kdmemo.h"
#include "controls/kdsharedsettings.h"
#include "support/qstring_printer.h"

#include <QAction>
#include <QApplication>
#include <QInputMethodEvent>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

struct MacroFixture : public ::testing::Test {
    QWidget window;
    TkdMemo *a = nullptr;
    TkdMemo *b = nullptr;
    TkdMacroList list;
    void SetUp() override
    {
        auto *lay = new QVBoxLayout(&window);
        a = new TkdMemo(&window);
        b = new TkdMemo(&window);
        lay->addWidget(a);
        lay->addWidget(b);
        a->SetMacroList(&list);
        b->SetMacroList(&list);
        window.resize(500, 400);
        window.show();
        QApplication::setActiveWindow(&window);
        a->setFocus();
        QTest::qWait(1);
    }
    QString Text(TkdMemo *m) { return m->text().replace("\r\n", "\n"); }
};

} // namespace

TEST_F(MacroFixture, RecordedKeysPlayBackIntoAnotherEditor)
{
    a->BeginRec();
    EXPECT_EQ(list.Status(), TkdMacroStatus::msRecording);
    QTest::keyClicks(a, "abc");
    QTest::keyClick(a, Qt::Key_Return);
    QTest::keyClicks(a, "def");
    a->EndRec();
    EXPECT_EQ(list.Status(), TkdMacroStatus::msWaiting);
    EXPECT_EQ(Text(a), "abc\ndef");
    EXPECT_EQ(list.Count(), 7);

    b->setFocus();
    b->Execute();
    EXPECT_EQ(Text(b), "abc\ndef");
    EXPECT_EQ(list.Status(), TkdMacroStatus::msWaiting);
    b->Execute();
    EXPECT_EQ(Text(b), "abc\ndefabc\ndef");
}

TEST_F(MacroFixture, ModifiersAreReplayedAndShortcutKeysRecorded)
{
    int triggered = 0;
    auto *act = new QAction(&window);
    act->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    window.addAction(act);
    QObject::connect(act, &QAction::triggered, [&] { ++triggered; });

    a->setText("first\nsecond");
    a->setCursorPosition(1, 6);
    a->BeginRec();
    QTest::keyClick(a, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClicks(a, "X");
    QTest::keyClick(a, Qt::Key_G, Qt::ControlModifier);
    a->EndRec();
    EXPECT_EQ(Text(a), "Xfirst\nsecond");
    EXPECT_EQ(triggered, 1);

    b->setText("one\ntwo");
    b->setCursorPosition(1, 3);
    b->setFocus();
    b->Execute();
    EXPECT_EQ(Text(b), "Xone\ntwo");
    EXPECT_EQ(triggered, 2) << "the key taken by the shortcut is played back to it";
}

TEST_F(MacroFixture, InputMethodTextPlaysBackOnce)
{
    a->BeginRec();
    QInputMethodEvent preedit(QStringLiteral("しゃ"), {});
    QApplication::sendEvent(a, &preedit);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("社員"));
    QApplication::sendEvent(a, &commit);
    QTest::keyClicks(a, "1");
    a->EndRec();
    EXPECT_EQ(Text(a), "社員1");
    b->Execute();
    EXPECT_EQ(Text(b), "社員1");
}

TEST_F(MacroFixture, StatusTransitions)
{
    // Playing with nothing recorded does nothing.
    b->Execute();
    EXPECT_EQ(Text(b), "");
    a->BeginRec();
    QTest::keyClicks(a, "ab");
    a->BeginRec(); // already recording: nothing happens, the keys so far stay
    QTest::keyClicks(a, "c");
    a->EndRec();
    EXPECT_EQ(list.Count(), 3);
    // A new recording discards the old macro.
    a->BeginRec();
    QTest::keyClicks(a, "z");
    a->EndRec();
    b->Execute();
    EXPECT_EQ(Text(b), "z");
    // Cancelling a recording forgets it.
    a->BeginRec();
    QTest::keyClicks(a, "q");
    a->CancelRec();
    EXPECT_EQ(list.Status(), TkdMacroStatus::msNone);
    EXPECT_EQ(list.Count(), 0);
    // An empty recording waits with nothing to play.
    a->BeginRec();
    a->EndRec();
    EXPECT_EQ(list.Status(), TkdMacroStatus::msWaiting);
    b->Execute();
    EXPECT_EQ(Text(b), "z");
    // Without a list every operation does nothing.
    TkdMemo lone;
    lone.BeginRec();
    lone.Execute();
    EXPECT_EQ(list.Status(), TkdMacroStatus::msWaiting);
}

TEST_F(MacroFixture, ClosingTheEditorKeepsTheRecordedKeys)
{
    a->BeginRec();
    QTest::keyClicks(a, "sel");
    delete a;
    a = nullptr;
    EXPECT_EQ(list.Status(), TkdMacroStatus::msWaiting);
    b->Execute();
    EXPECT_EQ(Text(b), "sel");
}

TEST(SharedMacroListTest, OneListForTheWholeRun)
{
    EXPECT_EQ(SharedMacroList(), SharedMacroList());
}

TEST(SharedMacroListTest, ARecordingInOneEditorPlaysBackInAnother)
{
    QWidget window;
    auto *box = new QVBoxLayout(&window);
    auto *first = new TkdMemo;
    auto *second = new TkdMemo;
    box->addWidget(first);
    box->addWidget(second);
    // Every SQL editor gets the one list when its window is built.
    ApplySharedSettings(first);
    ApplySharedSettings(second);
    ASSERT_EQ(first->MacroList(), SharedMacroList());
    ASSERT_EQ(second->MacroList(), SharedMacroList());
    window.show();
    QApplication::setActiveWindow(&window);
    first->setFocus();
    QCoreApplication::processEvents();
    first->BeginRec();
    QTest::keyClicks(first, QStringLiteral("xy"));
    first->EndRec();
    EXPECT_EQ(SharedMacroList()->Status(), TkdMacroStatus::msWaiting);
    second->setFocus();
    QCoreApplication::processEvents();
    second->Execute();
    EXPECT_EQ(second->text(), QStringLiteral("xy"));
    EXPECT_EQ(first->text(), QStringLiteral("xy"));
}
