// The code-assist popup: filtering while typing, accepting, cancelling, paging.
#include "controls/kdcodeassist.h"
#include "controls/kdmemo.h"
#include "controls/memo_fixture.h"
#include "core/kdreg.h"
#include "support/qstring_printer.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

struct PopupFixture : public MemoWindowFixture<700, 500> {
    void TearDown() override { TkdCodeAssist::SetVerbatimNamesProvider({}); }
    // Opens a popup for the text before the caret, as the provider does.
    TkdCodeAssist *Open(const QString &text, const QList<std::tuple<QString, QString, int>> &items)
    {
        memo->setText(text);
        memo->setCursorPosition(0, text.size());
        const kdassist::TAssistToken tok = memo->GetCodeAssistTokenInfo();
        const QPoint p = memo->CaretClientPos();
        auto *popup = new TkdCodeAssist(memo, &window, p.x(), p.y());
        memo->CodeAssist = popup;
        popup->SetPrefixStart(memo->positionFromLineIndex(0, tok.PrefixStart));
        for (const auto &[c, d, i] : items)
            popup->AddCandidate(c, d, i);
        const QString prefix = text.mid(tok.PrefixStart);
        if (!prefix.isEmpty())
            popup->SetBuffer(prefix);
        popup->ShowItems();
        popup->show();
        popup->setFocus();
        return popup;
    }
    QStringList Rows(TkdCodeAssist *p)
    {
        QStringList r;
        for (int i = 0; i < p->topLevelItemCount(); ++i)
            r << p->topLevelItem(i)->text(0);
        return r;
    }
    const QList<std::tuple<QString, QString, int>> Objects{
        {"dept", "TABLE", 45}, {"employee", "TABLE", 45}, {"EMP", "VIEW", 47},
        {"emp_no", "INDEX", 46}, {"Emp", "TABLE", 45}, {"my table", "TABLE", 45},
        {"SELECT", "KEYWORD", 10}, {"EMPTY", "KEYWORD", 10}};
};

} // namespace

TEST_F(PopupFixture, TypingNarrowsTheListAndReachesTheEditor)
{
    TkdCodeAssist *p = Open("select em", Objects);
    EXPECT_EQ(Rows(p), (QStringList{"employee", "EMP", "emp_no", "Emp", "EMPTY"}));
    QTest::keyClicks(p, "p_");
    EXPECT_EQ(p->Buf->text(), "emp_");
    EXPECT_EQ(memo->text(), "select emp_");
    EXPECT_EQ(Rows(p), QStringList{"emp_no"});
    QTest::keyClick(p, Qt::Key_Backspace);
    EXPECT_EQ(memo->text(), "select emp");
    EXPECT_EQ(Rows(p).size(), 5);
}

TEST_F(PopupFixture, InputMethodTextNarrowsAndReachesTheEditor)
{
    QList<std::tuple<QString, QString, int>> items{{"社員", "TABLE", 45}, {"社員番号", "INDEX", 46},
                                                  {"部署", "TABLE", 45}};
    TkdCodeAssist *p = Open("select ", items);
    QInputMethodEvent ime;
    ime.setCommitString(QStringLiteral("社員"));
    QApplication::sendEvent(p, &ime);
    EXPECT_EQ(p->Buf->text(), "社員");
    EXPECT_EQ(memo->text(), "select 社員");
    EXPECT_EQ(Rows(p), (QStringList{"社員", "社員番号"}));
    p->setCurrentItem(p->topLevelItem(1));
    p->currentItem()->setSelected(true);
    QTest::keyClick(p, Qt::Key_Return);
    EXPECT_EQ(memo->text(), "select 社員番号");
}

TEST_F(PopupFixture, AcceptingReplacesThePrefix)
{
    struct Case { QString text; QString pick; Qt::Key key; QString result; };
    const Case cases[] = {
        {"select emp", "employee", Qt::Key_Return, "select employee"},
        {"select emp", "employee", Qt::Key_Comma, "select employee,"},
        {"select emp", "employee", Qt::Key_Space, "select employee "},
        {"select emp", "Emp", Qt::Key_Return, "select \"Emp\""},
        {"select emp", "emp_no", Qt::Key_Period, "select emp_no."},
        {"select sel", "SELECT", Qt::Key_Return, "select SELECT"},   // keywords unquoted
        {"select my", "my table", Qt::Key_Return, "select \"my table\""},
        {"select x.", "dept", Qt::Key_Return, "select x.dept"},
    };
    for (const Case &c : cases) {
        TkdCodeAssist *p = Open(c.text, Objects);
        const QList<QTreeWidgetItem *> found = p->findItems(c.pick, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << c.pick.toStdString();
        p->setCurrentItem(found.first());
        found.first()->setSelected(true);
        QTest::keyClick(p, c.key);
        EXPECT_EQ(memo->text(), c.result) << c.text.toStdString() << " / " << c.pick.toStdString();
        EXPECT_EQ(memo->CodeAssist, nullptr);
        QApplication::processEvents();
    }
}

TEST_F(PopupFixture, NamesListedAsVerbatimAreNotQuoted)
{
    TkdCodeAssist::SetVerbatimNamesProvider([] { return QStringList{"Emp"}; });
    EXPECT_EQ(TkdCodeAssist::InsertTextFor("Emp", 45), "Emp");
    EXPECT_EQ(TkdCodeAssist::InsertTextFor("EMP", 45), "\"EMP\"");
    EXPECT_EQ(TkdCodeAssist::InsertTextFor("SELECT", 10), "SELECT");
    // Without a provider: the value names of the user's DREM\RESERVE key.
    TkdCodeAssist::SetVerbatimNamesProvider({});
    EXPECT_EQ(TkdCodeAssist::InsertTextFor("Dept", 45), "\"Dept\"");
    TkdRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Tarnwell\\DREM\\RESERVE", true));
    reg.WriteString("Dept", "");
    reg.WriteString("SELECT", "");
    reg.CloseKey();
    EXPECT_EQ(TkdCodeAssist::VerbatimNames(), (QStringList{"Dept", "SELECT"}));
    EXPECT_EQ(TkdCodeAssist::InsertTextFor("Dept", 45), "Dept");
    EXPECT_EQ(TkdCodeAssist::InsertTextFor("SELECT", 45), "SELECT");
    EXPECT_EQ(TkdCodeAssist::InsertTextFor("DEPT", 45), "\"DEPT\"") << "names compare with case";
    ASSERT_TRUE(reg.OpenKey("\\Software\\Tarnwell\\DREM", false));
    reg.DeleteKey("RESERVE");
    reg.CloseKey();
}

TEST_F(PopupFixture, AcceptAfterMovingTheCaretReplacesUpToTheCaret)
{
    TkdCodeAssist *p = Open("select emp", Objects);
    QTest::keyClick(p, Qt::Key_Left);
    EXPECT_EQ(p->Buf->cursorPosition(), 2);
    EXPECT_EQ(memo->CaretColumn(), 9);
    p->setCurrentItem(p->findItems("employee", Qt::MatchExactly).first());
    p->currentItem()->setSelected(true);
    QTest::keyClick(p, Qt::Key_Return);
    EXPECT_EQ(memo->text(), "select employeep");
}

TEST_F(PopupFixture, CancelKeys)
{
    // Esc keeps the typed prefix.
    TkdCodeAssist *p = Open("select em", Objects);
    QTest::keyClick(p, Qt::Key_Escape);
    EXPECT_EQ(memo->CodeAssist, nullptr);
    EXPECT_EQ(memo->text(), "select em");
    QApplication::processEvents();
    // Backspace with an empty filter closes and deletes the character before the caret.
    p = Open("select x.", Objects);
    QTest::keyClick(p, Qt::Key_Backspace);
    EXPECT_EQ(memo->CodeAssist, nullptr);
    EXPECT_EQ(memo->text(), "select x");
    QApplication::processEvents();
    // Ctrl+Space changes nothing.
    p = Open("select em", Objects);
    QTest::keyClick(p, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(memo->CodeAssist, p);
    EXPECT_EQ(memo->text(), "select em");
    // Left at the start of the filter closes and moves the editor's caret.
    QTest::keyClick(p, Qt::Key_Left);
    QTest::keyClick(p, Qt::Key_Left);
    EXPECT_EQ(memo->CodeAssist, p);
    QTest::keyClick(p, Qt::Key_Left);
    EXPECT_EQ(memo->CodeAssist, nullptr);
    EXPECT_EQ(memo->CaretColumn(), 6);
}

TEST_F(PopupFixture, PagingPastOneHundredRows)
{
    QList<std::tuple<QString, QString, int>> many;
    for (int i = 0; i < 250; ++i)
        many.append({QString("t%1").arg(i, 3, 10, QChar('0')), "TABLE", 45});
    many.append({"other", "TABLE", 45});
    TkdCodeAssist *p = Open("select t", many);
    EXPECT_EQ(p->CaptionListW.size(), 250);
    EXPECT_EQ(p->topLevelItemCount(), 100);
    QTest::keyClick(p, Qt::Key_PageDown);
    EXPECT_EQ(p->topLevelItemCount(), 108);
    QTest::keyClick(p, Qt::Key_Down);
    EXPECT_EQ(p->topLevelItemCount(), 109);
    QTest::keyClick(p, Qt::Key_End);
    EXPECT_EQ(p->topLevelItemCount(), 250);
    EXPECT_EQ(p->currentItem()->text(0), "t249");
    // Narrowing starts over at the first rows.
    QTest::keyClicks(p, "00");
    EXPECT_EQ(p->topLevelItemCount(), 10);
}

TEST_F(PopupFixture, SizeIsRememberedAndBounded)
{
    TkdCodeAssist *p = Open("select em", Objects);
    EXPECT_EQ(p->width(), 256);
    p->resize(400, 180);
    memo->CloseCodeAssist();
    EXPECT_EQ(memo->CASize.Width, 400);
    EXPECT_EQ(memo->CASize.Height, 180);
    QApplication::processEvents();
    p = Open("select em", Objects);
    EXPECT_EQ(p->width(), 400);
    p->resize(50, 20);
    EXPECT_GE(p->width(), 200);
    EXPECT_GE(p->height(), 100);
}

TEST_F(PopupFixture, EditorClickAndFocusLossClosePopup)
{
    TkdCodeAssist *p = Open("select em", Objects);
    QTest::mouseClick(memo->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(memo->CodeAssist, nullptr);
    QApplication::processEvents();
    p = Open("select em", Objects);
    QLineEdit other(&window);
    other.show();
    other.setFocus();
    QApplication::processEvents();
    EXPECT_EQ(memo->CodeAssist, nullptr);
    (void)p;
}
