// The SQL editor control: word selection, case conversion, comment toggle, jumps, code-assist
// token and request, keyword colouring.
#include "controls/kdmemo.h"
#include "controls/memo_fixture.h"
#include "support/qstring_printer.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

// A window that answers the code-assist request, as the windows with SQL editors do.
class AssistHost : public QWidget
{
public:
    int Requests = 0;
    QPoint Pos;
protected:
    bool event(QEvent *e) override
    {
        if (IsCodeAssistEvent(e)) {
            ++Requests;
            auto *ca = static_cast<TCodeAssistEvent *>(e);
            Pos = QPoint(ca->X, ca->Y);
            e->accept();
            return true;
        }
        return QWidget::event(e);
    }
};

struct MemoFixture : public MemoWindowFixture<600, 400> {
    QString line(int l) const
    {
        QString s = memo->text(l);
        while (s.endsWith('\n') || s.endsWith('\r'))
            s.chop(1);
        return s;
    }
};

QString Lines(TkdMemo *m) { return m->text().replace("\r\n", "\n"); }

} // namespace

TEST_F(MemoFixture, DoubleClickSelectsWordByEditorRule)
{
    memo->setText("select public.emp from t");
    struct Case { int index; QString selected; };
    const Case cases[] = {{15, "emp"}, {16, "emp"}, {3, "select"}, {7, ""}};
    for (const Case &c : cases) {
        memo->setSelection(0, 0, 0, 0);
        memo->setCursorPosition(0, c.index);
        memo->SelectWordFromCaret();
        EXPECT_EQ(memo->selectedText(), c.selected) << c.index;
    }
    // A real double click on «emp#1»: "#" belongs to words here.
    memo->setText("select public.emp#1 from t");
    const long pos = memo->positionFromLineIndex(0, 15);
    const int x = int(memo->SendScintilla(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0UL, pos));
    const int y = int(memo->SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, pos)) + 4;
    const QPointF pt(x + 2, y);
    const QPointF gp = memo->viewport()->mapToGlobal(pt);
    for (QEvent::Type t : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                           QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        QMouseEvent me(t, pt, gp, Qt::LeftButton,
                       t == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, {});
        QApplication::sendEvent(memo->viewport(), &me);
    }
    int cl, ci;
    memo->getCursorPosition(&cl, &ci);
    EXPECT_EQ(memo->selectedText(), "emp#1") << cl << ":" << ci << " x=" << x << " y=" << y;
}

TEST_F(MemoFixture, CaseConversionOfSelectionIsOneUndoStep)
{
    memo->setText("select a\nfrom テーブル t\nwhere x = 'ab'");
    memo->setSelection(0, 7, 2, 5);
    memo->SelUpperCase();
    EXPECT_EQ(Lines(memo), "select A\nFROM テーブル T\nWHERE x = 'ab'");
    EXPECT_EQ(memo->selectedText(), "A\nFROM テーブル T\nWHERE");
    memo->SelLowerCase();
    EXPECT_EQ(Lines(memo), "select a\nfrom テーブル t\nwhere x = 'ab'");
    memo->SelUpperCase();
    memo->undo();
    EXPECT_EQ(Lines(memo), "select a\nfrom テーブル t\nwhere x = 'ab'");
    // Nothing without a selection, nothing on a read-only editor.
    memo->setSelection(0, 0, 0, 0);
    memo->SelUpperCase();
    EXPECT_EQ(line(0), "select a");
    memo->selectAll();
    memo->setReadOnly(true);
    memo->SelUpperCase();
    EXPECT_EQ(line(0), "select a");
}

TEST_F(MemoFixture, CommentToggleOnLineAndBlock)
{
    memo->setText("select *\n  from t\nwhere 1 = 1");
    // Caret row only.
    memo->setCursorPosition(1, 3);
    memo->SelCommentOut();
    EXPECT_EQ(Lines(memo), "select *\n--  from t\nwhere 1 = 1");
    memo->SelCommentOut();
    EXPECT_EQ(Lines(memo), "select *\n  from t\nwhere 1 = 1");
    // A block; a selection ending at column 0 of the next row leaves that row out.
    memo->setSelection(0, 2, 2, 0);
    memo->SelCommentOut();
    EXPECT_EQ(Lines(memo), "--select *\n--  from t\nwhere 1 = 1");
    int lf, if_, lt, it;
    memo->getSelection(&lf, &if_, &lt, &it);
    EXPECT_EQ(lf, 0);
    EXPECT_EQ(lt, 1);
    memo->SelCommentOut();
    EXPECT_EQ(Lines(memo), "select *\n  from t\nwhere 1 = 1");
    // One step to undo.
    memo->SelCommentOut();
    memo->undo();
    EXPECT_EQ(Lines(memo), "select *\n  from t\nwhere 1 = 1");
}

TEST_F(MemoFixture, CommentToggleOnABoxSelection)
{
    memo->setText("abc defg\nab\nxyz hij");
    const long anchor = memo->positionFromLineIndex(0, 4);
    const long caret = memo->positionFromLineIndex(2, 5);
    memo->SendScintilla(QsciScintillaBase::SCI_SETRECTANGULARSELECTIONANCHOR, (unsigned long)anchor);
    memo->SendScintilla(QsciScintillaBase::SCI_SETRECTANGULARSELECTIONCARET, (unsigned long)caret);
    ASSERT_NE(memo->SendScintilla(QsciScintillaBase::SCI_SELECTIONISRECTANGLE), 0);
    memo->SelCommentOut();
    EXPECT_EQ(Lines(memo), "abc --defg\nab\nxyz --hij");
}

TEST_F(MemoFixture, JumpPutsCaretOnLineWithContext)
{
    QStringList rows;
    for (int i = 1; i <= 300; ++i)
        rows << QString("line %1").arg(i);
    memo->setText(rows.join('\n'));
    // Room for the twenty rows of context the jump brings into view (rows of the fixed-pitch
    // Japanese font are tall, and the ruler takes a row's height).
    window.resize(600, 600);
    QApplication::processEvents();
    for (int target : {1, 150, 300}) {
        memo->Jump(target);
        int l, i;
        memo->getCursorPosition(&l, &i);
        EXPECT_EQ(l, target - 1);
        EXPECT_EQ(i, 0);
        const int first = memo->firstVisibleLine();
        const int shown = int(memo->SendScintilla(QsciScintillaBase::SCI_LINESONSCREEN));
        EXPECT_LE(first, target - 1);
        EXPECT_GE(first + shown, target - 1);
        if (target == 150) {
            EXPECT_LE(first, target - 1 - 5) << "context above";
            EXPECT_GE(first + shown, target + 5) << "context below";
        }
    }
}

TEST_F(MemoFixture, MultiLineSelectAndSelIndex)
{
    memo->setText("a1\nb22\nc333\nd4");
    memo->MultiLineSelect(1, 2);
    EXPECT_EQ(memo->selectedText(), "b22\nc333\n");
    memo->MultiLineSelect(3, 3);
    EXPECT_EQ(memo->selectedText(), "d4");
    memo->SetSelIndex(0, 5);   // «a1», line break, «b2»
    int l, i;
    memo->getCursorPosition(&l, &i);
    EXPECT_EQ(l, 1);
    EXPECT_EQ(i, 2);
}

TEST_F(MemoFixture, CodeAssistTokenAtCaret)
{
    struct Case { QString text; int line; int index; QString token; };
    const Case cases[] = {
        {"select t.", 0, 9, "t."},
        {"select t.c", 0, 10, "t.c"},
        {"select ", 0, 7, ""},
        {"select", 0, 6, "select"},
        {"emp", 0, 2, "emp"},
        {"select *\nfrom \"MyTab\".", 1, 13, "MyTab."},
        {"x\n.", 1, 1, "."},
    };
    for (const Case &c : cases) {
        memo->setText(c.text);
        memo->setCursorPosition(c.line, c.index);
        EXPECT_EQ(memo->GetCodeAssistToken(), c.token) << c.text.toStdString();
    }
}

TEST(MemoAssistRequest, F6GoesToTheHostWindowOnly)
{
    AssistHost host;
    auto *inner = new QWidget(&host);
    auto *lay = new QVBoxLayout(inner);
    auto *memo = new TkdMemo(inner);
    lay->addWidget(memo);
    host.resize(400, 300);
    inner->resize(400, 300);
    host.show();
    memo->setText("select emp");
    memo->setCursorPosition(0, 10);
    memo->setFocus();
    QTest::keyClick(memo, Qt::Key_F6);
    EXPECT_EQ(host.Requests, 1);
    EXPECT_EQ(host.Pos, memo->CaretClientPos());
    EXPECT_EQ(memo->text(), "select emp") << "F6 types nothing";
    // An editor whose windows do not handle the request: nothing happens.
    QWidget plain;
    auto *memo2 = new TkdMemo(&plain);
    plain.show();
    memo2->setText("abc");
    QTest::keyClick(memo2, Qt::Key_F6);
    EXPECT_EQ(memo2->text(), "abc");
}

TEST_F(MemoFixture, WheelScrollsOneRowPerStepAndUndoMessage)
{
    QStringList rows;
    for (int i = 0; i < 200; ++i)
        rows << QString::number(i);
    memo->setText(rows.join('\n'));
    memo->setFirstVisibleLine(50);
    const QPoint c = memo->viewport()->rect().center();
    QWheelEvent down(c, memo->viewport()->mapToGlobal(c), {}, QPoint(0, -120), Qt::NoButton, {},
                     Qt::NoScrollPhase, false);
    QApplication::sendEvent(memo->viewport(), &down);
    EXPECT_EQ(memo->firstVisibleLine(), 51);
    QWheelEvent up(c, memo->viewport()->mapToGlobal(c), {}, QPoint(0, 240), Qt::NoButton, {},
                   Qt::NoScrollPhase, false);
    QApplication::sendEvent(memo->viewport(), &up);
    EXPECT_EQ(memo->firstVisibleLine(), 49);

    memo->setText("a");
    memo->SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
    memo->insertAt("b", 0, 1);
    ASSERT_TRUE(memo->isUndoAvailable());
    memo->UndoMessage(0);
    EXPECT_EQ(memo->text(), "a");
    memo->UndoMessage(1);
    EXPECT_EQ(memo->text(), "ab");
    memo->setReadOnly(true);
    memo->UndoMessage(0);
    EXPECT_EQ(memo->text(), "ab");
}

TEST_F(MemoFixture, KeywordsColouredFromTheWordList)
{
    memo->SetReserveWordList({"select", "FROM", "Where", "SELECT"});
    EXPECT_EQ(memo->ReserveWordList(), (QStringList{"FROM", "select", "Where"}));
    memo->setText("SELECT 氏名, 'from' -- where\nfrom /* select\n where */ 社員 where x");
    memo->SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0UL, -1L);
    auto styleAt = [&](int line, int index) {
        return int(memo->SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT,
                                       (unsigned long)memo->positionFromLineIndex(line, index)));
    };
    EXPECT_EQ(styleAt(0, 0), TkdSqlLexer::Reserved);
    EXPECT_EQ(styleAt(0, 7), TkdSqlLexer::Default);   // 氏名
    EXPECT_EQ(styleAt(0, 12), TkdSqlLexer::Literal);  // 'from'
    EXPECT_EQ(styleAt(0, 22), TkdSqlLexer::Comment);  // -- where
    EXPECT_EQ(styleAt(1, 0), TkdSqlLexer::Reserved);
    EXPECT_EQ(styleAt(1, 8), TkdSqlLexer::Comment);   // inside the block comment
    EXPECT_EQ(styleAt(2, 1), TkdSqlLexer::Comment);   // still inside on the next line
    EXPECT_EQ(styleAt(2, 10), TkdSqlLexer::Default);  // 社員
    EXPECT_EQ(styleAt(2, 13), TkdSqlLexer::Reserved); // where
    // Turning the comment opener into a line comment restyles the lines after it.
    memo->setCursorPosition(1, 5);
    memo->insert("--");
    memo->SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0UL, -1L);
    EXPECT_EQ(styleAt(1, 8), TkdSqlLexer::Comment);
    EXPECT_EQ(styleAt(2, 1), TkdSqlLexer::Reserved);
}

TEST_F(MemoFixture, MultiWordKeywordsWithMarker)
{
    memo->SetReserveWordList({"KDSTSLoad Profile", "KDSTSTop 1"});
    memo->setText("Load Profile\nselect x\nLoad Profile more");
    memo->SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0UL, -1L);
    auto styleAt = [&](int line, int index) {
        return int(memo->SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT,
                                       (unsigned long)memo->positionFromLineIndex(line, index)));
    };
    EXPECT_EQ(styleAt(0, 0), TkdSqlLexer::Reserved);
    EXPECT_EQ(styleAt(0, 6), TkdSqlLexer::Reserved);
    // Single keywords are not coloured while the marker list is in use.
    EXPECT_EQ(styleAt(1, 0), TkdSqlLexer::Default);
    // A longer heading matches only an entry for the longer text.
    EXPECT_EQ(styleAt(2, 0), TkdSqlLexer::Default);
    memo->setCursorPosition(0, 7);
    memo->SelectWordFromCaretStatsPack();
    EXPECT_EQ(memo->selectedText(), "Load Profile");
    memo->setCursorPosition(0, 1);
    memo->SelectWordFromCaretStatsPack();
    EXPECT_EQ(memo->selectedText(), "Load Profile");
}
