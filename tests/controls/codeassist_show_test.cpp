// F6 in an editor through its window to the provider and the popup, on the sandbox server.
#include "controls/codeassist_fixture.h"
#include "core/kdassist.h"

TEST_F(AssistShowTest, SingleCandidateIsInsertedAtOnce)
{
    struct Case { QString text; QString result; };
    const Case cases[] = {
        {"select * from only", "select * from only_view"},
        {"sel", "SELECT"},                                   // a keyword, never quoted
    };
    for (const Case &c : cases) {
        Type(c.text);
        F6();
        EXPECT_EQ(win->memo->text(), c.result) << c.text.toStdString();
        EXPECT_EQ(win->memo->CodeAssist, nullptr);
    }
    // A quoted column through an alias, the caret in the middle of the line.
    Type("select e.Hi from emp e");
    win->memo->setCursorPosition(0, 11);
    F6();
    EXPECT_EQ(win->memo->text(), "select e.\"Hired\" from emp e");
}

TEST_F(AssistShowTest, PopupListsAndAccepts)
{
    Type("select emp.");
    F6();
    TkdCodeAssist *p = win->memo->CodeAssist;
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(p->isVisible());
    EXPECT_EQ(p->headerItem()->text(0), "列名");
    EXPECT_EQ(p->topLevelItemCount(), 4);
    QTest::keyClicks(p, "en");
    EXPECT_EQ(win->memo->text(), "select emp.en");
    ASSERT_EQ(p->topLevelItemCount(), 1);
    QTest::keyClick(p, Qt::Key_Return);
    EXPECT_EQ(win->memo->text(), "select emp.ename");
    EXPECT_EQ(win->memo->CodeAssist, nullptr);
}

TEST_F(AssistShowTest, CatalogErrorLeavesNoPopupBehind)
{
    Type("select emp.");
    FDb->close();
    F6();
    EXPECT_FALSE(win->LastError.isEmpty());
    EXPECT_EQ(win->memo->CodeAssist, nullptr);
    EXPECT_TRUE(win->findChildren<TkdCodeAssist *>().isEmpty());
    FDb->open();
    win->LastError.clear();
    F6();
    EXPECT_TRUE(win->LastError.isEmpty()) << win->LastError.toStdString();
    ASSERT_NE(win->memo->CodeAssist, nullptr);
    EXPECT_TRUE(win->memo->CodeAssist->isVisible());
}

TEST_F(AssistShowTest, NothingWhileTheOptionIsOffOrAPopupIsOpen)
{
    TkdOption::Global().CodeAssist = false;
    Type("select emp.");
    F6();
    EXPECT_EQ(win->memo->CodeAssist, nullptr);
    TkdOption::Global().CodeAssist = true;
    F6();
    TkdCodeAssist *first = win->memo->CodeAssist;
    ASSERT_NE(first, nullptr);
    QTest::keyClick(win->memo, Qt::Key_F6);
    EXPECT_EQ(win->memo->CodeAssist, first);
}

// A schema with more objects for a prefix than the popup reads at first: the popup holds the
// first ones and asks the server again before it would show a row past them, so paging,
// End, typing further and Backspace show exactly what the whole list would, with the
// keywords after every object.
class AssistManyObjectsTest : public AssistShowTest
{
protected:
    void SetUp() override
    {
        AssistShowTest::SetUp();
        if (HasFatalFailure())
            return;
        exec(QStringLiteral("DO $$ BEGIN FOR i IN 1..%1 LOOP EXECUTE format('CREATE TABLE %2.%I (id int)', "
                            "'t' || lpad(i::text, 4, '0')); END LOOP; END $$")
                 .arg(kTables)
                 .arg(schema()));
        win->memo->SetReserveWordList({"SELECT", "TABLE", "WHERE"});
    }
    static constexpr int kTables = kdassist::kAssistObjectRows + 100;
    // t0001 … in the list's order, then the keyword.
    static QStringList Expected(int from, int to)
    {
        QStringList names;
        for (int i = from; i <= to; ++i)
            names << QStringLiteral("t%1").arg(i, 4, 10, QLatin1Char('0'));
        return names << QStringLiteral("TABLE");
    }
    static QStringList Rows(TkdCodeAssist *p)
    {
        QStringList rows;
        for (int i = 0; i < p->topLevelItemCount(); ++i)
            rows << p->topLevelItem(i)->text(0);
        return rows;
    }
};

TEST_F(AssistManyObjectsTest, CutListReadsMoreBeforeShowingPastIt)
{
    Type("select t");
    F6();
    TkdCodeAssist *p = win->memo->CodeAssist;
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->topLevelItemCount(), p->ItemMax);
    EXPECT_EQ(p->CaptionList.size(), kdassist::kAssistObjectRows + 3) << "the first read is bounded (+ 3 keywords)";
    EXPECT_EQ(Rows(p), Expected(1, p->ItemMax).mid(0, p->ItemMax));
    QTest::keyClick(p, Qt::Key_End);
    EXPECT_EQ(Rows(p), Expected(1, kTables));
    EXPECT_TRUE(win->LastError.isEmpty()) << win->LastError.toStdString();
}

TEST_F(AssistManyObjectsTest, TypingFurtherAndBackspaceAskAgain)
{
    // "t1" past the cut: among the first 1000 held only t1000 starts with it.
    Type("select t");
    F6();
    TkdCodeAssist *p = win->memo->CodeAssist;
    ASSERT_NE(p, nullptr);
    QTest::keyClick(p, '1');
    EXPECT_EQ(win->memo->text(), "select t1");
    EXPECT_EQ(p->topLevelItemCount(), p->ItemMax);
    QTest::keyClick(p, Qt::Key_End);
    EXPECT_EQ(Rows(p), Expected(1000, kTables).mid(0, kTables - 999));

    // Asked for "t10" (not cut), then Backspace twice: the whole "t" list again.
    win->memo->CloseCodeAssist();
    Type("select t10");
    F6();
    p = win->memo->CodeAssist;
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Rows(p), Expected(1000, 1099).mid(0, 100)); // no keyword starts with T10
    QTest::keyClick(p, Qt::Key_Backspace);
    QTest::keyClick(p, Qt::Key_Backspace);
    EXPECT_EQ(win->memo->text(), "select t");
    QTest::keyClick(p, Qt::Key_End);
    EXPECT_EQ(Rows(p), Expected(1, kTables));
    EXPECT_TRUE(win->LastError.isEmpty()) << win->LastError.toStdString();
}
