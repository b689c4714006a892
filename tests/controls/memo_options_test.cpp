// Stored editor options that act on the editor: the ruler above the text (shown, hidden, in
// step with horizontal scrolling and the font), the caret's stop at the end of a line
// (NextLine) and dragging a selection (SelMove).
#include "controls/kdmemo.h"
#include "controls/memo_fixture.h"
#include "support/qstring_printer.h"

#include <QApplication>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct MemoOptionsTest : public MemoWindowFixture<640, 300> {
    void Apply(const std::function<void(TkdMemoProp &)> &change)
    {
        TkdMemoProp prop = memo->Prop();
        change(prop);
        memo->ApplyProp(prop);
        QApplication::processEvents();
    }
    // Where column `column` of line `line` starts, in the viewport's coordinates.
    int TextX(int line, int column) const
    {
        const long pos = memo->positionFromLineIndex(line, column);
        return int(memo->SendScintilla(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0UL, pos));
    }
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(memo, Qt::Key(key), mods); }
    QPair<int, int> Caret() const
    {
        int line = 0, index = 0;
        memo->getCursorPosition(&line, &index);
        return {line, index};
    }
};

} // namespace

TEST_F(MemoOptionsTest, RulerStandsAboveTheTextByDefault)
{
    TkdMemoRuler *ruler = memo->Ruler();
    ASSERT_NE(ruler, nullptr);
    EXPECT_TRUE(memo->Prop().Ruler.Visible);
    EXPECT_TRUE(ruler->isVisible());
    // Directly above the text area, as wide as it.
    EXPECT_EQ(ruler->geometry().bottom() + 1, memo->viewport()->geometry().top());
    EXPECT_EQ(ruler->width(), memo->viewport()->width());
    EXPECT_GT(ruler->height(), 8);

    Apply([](TkdMemoProp &p) { p.Ruler.Visible = false; });
    EXPECT_FALSE(ruler->isVisible());
    const QRect frame = memo->contentsRect();
    EXPECT_EQ(memo->viewport()->geometry().top(), frame.top()); // the rows get the room back
    Apply([](TkdMemoProp &p) { p.Ruler.Visible = true; });
    EXPECT_TRUE(ruler->isVisible());
    EXPECT_EQ(ruler->geometry().bottom() + 1, memo->viewport()->geometry().top());
}

TEST_F(MemoOptionsTest, RulerColumnsFollowScrollingFontAndLineNumbers)
{
    memo->setText(QString(400, QLatin1Char('x')) + "\nab");
    struct Case { int fontSize; bool lineNumbers; int xOffset; };
    const Case cases[] = {
        {12, true, 0}, {12, true, 55}, {12, true, 301}, {20, true, 0},
        {20, true, 123}, {9, false, 0}, {9, false, 77},
    };
    for (const Case &c : cases) {
        Apply([&](TkdMemoProp &p) {
            p.Font.Size = c.fontSize;
            p.Leftbar.Visible = c.lineNumbers;
        });
        memo->SendScintilla(QsciScintillaBase::SCI_SETXOFFSET, (unsigned long)c.xOffset);
        QApplication::processEvents();
        for (int column : {0, 1, 9, 10, 37, 80, 200}) {
            EXPECT_NEAR(memo->Ruler()->ColumnX(column), TextX(0, column), 1)
                << "font " << c.fontSize << " offset " << c.xOffset << " column " << column;
        }
    }
    // Zooming changes the text's size; the ruler follows it too.
    memo->zoomIn(3);
    QApplication::processEvents();
    EXPECT_NEAR(memo->Ruler()->ColumnX(50), TextX(0, 50), 1);
}

// The stored font names are Windows names ("ＭＳ ゴシック"); the text must be drawn with the
// installed font they stand for, a fixed-pitch one, not with a fallback.
TEST_F(MemoOptionsTest, TextIsDrawnInTheFixedPitchFontTheStoredNameStandsFor)
{
    for (const QString &name : {QStringLiteral("ＭＳ ゴシック"), QStringLiteral("FixedSys")}) {
        Apply([&](TkdMemoProp &p) { p.Font.Name = name; });
        char face[256] = {0};
        memo->SendScintilla(QsciScintillaBase::SCI_STYLEGETFONT, (unsigned long)TkdSqlLexer::Default, face);
        EXPECT_EQ(QString::fromLatin1(face), EditorFontFamily(name)) << name.toStdString();
        EXPECT_NE(EditorFontFamily(name), name) << name.toStdString();
        auto width = [&](char ch) {
            return memo->SendScintilla(QsciScintillaBase::SCI_TEXTWIDTH, (unsigned long)TkdSqlLexer::Default,
                                       QByteArray(10, ch).constData());
        };
        EXPECT_EQ(width('i'), width('M')) << name.toStdString();
        EXPECT_EQ(width('0'), width('_')) << name.toStdString();
    }
}

TEST_F(MemoOptionsTest, RulerMarksTheCaretColumn)
{
    memo->setText("select 1");
    Apply([](TkdMemoProp &p) { p.Ruler.MarkColor = 0x000000FF; }); // red
    for (int column : {0, 4, 7}) {
        memo->setCursorPosition(0, column);
        QApplication::processEvents();
        const QImage img = memo->Ruler()->grab().toImage();
        const int x = memo->Ruler()->ColumnX(column);
        const QColor c = img.pixelColor(x, 1);
        EXPECT_GT(c.red(), 200) << column;
        EXPECT_LT(c.green(), 80) << column;
        // Elsewhere the ruler is not marked.
        const QColor other = img.pixelColor(memo->Ruler()->ColumnX(column + 20) + 1, 1);
        EXPECT_LT(other.red() - other.green(), 40) << column;
    }
}

TEST_F(MemoOptionsTest, CaretAtTheEndOfALineFollowsNextLine)
{
    memo->setText("abc\ndef");
    struct Case { bool nextLine, freeCaret; Qt::KeyboardModifiers mods; QPair<int, int> after; };
    const Case cases[] = {
        {true, false, Qt::NoModifier, {1, 0}},    // on to the start of the next line
        {false, false, Qt::NoModifier, {0, 3}},   // stops at the end of the line
        {false, false, Qt::ShiftModifier, {0, 3}},
        {true, false, Qt::ShiftModifier, {1, 0}},
        {false, true, Qt::NoModifier, {0, 3}},    // into the space after the line
    };
    for (const Case &c : cases) {
        Apply([&](TkdMemoProp &p) {
            p.Caret.NextLine = c.nextLine;
            p.Caret.FreeCaret = c.freeCaret;
        });
        memo->setSelection(0, 0, 0, 0);
        memo->setCursorPosition(0, 3);
        Key(Qt::Key_Right, c.mods);
        EXPECT_EQ(Caret(), c.after) << c.nextLine << c.freeCaret << int(c.mods);
        if (c.freeCaret) {
            const long virt = memo->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONNCARETVIRTUALSPACE, 0UL);
            EXPECT_EQ(virt, 1);
        }
    }
    // Inside a line the caret moves as always, and Left at the start still goes back a line.
    Apply([](TkdMemoProp &p) {
        p.Caret.NextLine = false;
        p.Caret.FreeCaret = false;
    });
    memo->setCursorPosition(0, 1);
    Key(Qt::Key_Right);
    EXPECT_EQ(Caret(), qMakePair(0, 2));
    memo->setCursorPosition(1, 0);
    Key(Qt::Key_Left);
    EXPECT_EQ(Caret(), qMakePair(0, 3));
}

TEST_F(MemoOptionsTest, PressInsideSelectionStartsADragOnlyWithSelMove)
{
    memo->setText("select name from emp");
    for (bool selMove : {true, false}) {
        Apply([&](TkdMemoProp &p) { p.Caret.SelMove = selMove; });
        memo->setSelection(0, 7, 0, 11); // "name"
        ASSERT_TRUE(memo->hasSelectedText());
        const int line0 = int(memo->SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, 0L));
        const QPoint inside(TextX(0, 9), line0 + 3);
        QTest::mousePress(memo->viewport(), Qt::LeftButton, Qt::NoModifier, inside);
        // With SelMove the press keeps the selection, ready to be dragged; without it the
        // selection is gone and the caret stands where the press was.
        EXPECT_EQ(memo->hasSelectedText(), selMove) << selMove;
        QTest::mouseRelease(memo->viewport(), Qt::LeftButton, Qt::NoModifier, inside);
        EXPECT_EQ(Caret(), qMakePair(0, 9)) << selMove;
    }
}
