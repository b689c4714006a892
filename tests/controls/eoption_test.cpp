// The editor options dialog: loading, immediate effects, colour editing, checks and OK/Cancel.
#include "controls/feoption.h"
#include "controls/kdstdctl.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_start.h"
#include "support/qstring_printer.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct EOptionFixture : public ::testing::Test {
    TkdMemoProp prop;
    QStringList messages;
    int answer = IDYES;
    MessageBoxHook oldHook;
    QStringList keywordsBefore;
    void SetUp() override
    {
        prop.ReserveWordList = {"SELECT", "FROM", "WHERE"};
        oldHook = SetMessageBoxHook([this](MessageBoxRequest &r) {
            messages << r.text;
            return answer;
        });
        keywordsBefore = KeywordList();
    }
    void TearDown() override
    {
        SetMessageBoxHook(oldHook);
        KeywordList() = keywordsBefore;
    }
};

} // namespace

TEST(EOption, ShowWindowWithoutPropertiesDoesNothing)
{
    EXPECT_FALSE(TfrmEditorOption::ShowWindow(nullptr));
}

TEST_F(EOptionFixture, LoadsThePropertiesIntoTheControls)
{
    prop.Caret.AutoIndent = true;
    prop.Caret.TabSpaceCount = 4;
    prop.Ruler.GaugeRange = 8;
    prop.Font.Size = 7; // not in the size list: 8 is taken
    TfrmEditorOption dlg(&prop);
    EXPECT_EQ(dlg.windowTitle(), "エディタオプション");
    EXPECT_TRUE(dlg.chkAutoIndent->isChecked());
    EXPECT_TRUE(dlg.chkNextLine->isChecked());
    EXPECT_EQ(dlg.spnTabSize->value(), 4);
    EXPECT_TRUE(dlg.rdoRuler8->isChecked());
    EXPECT_EQ(dlg.lstFontSize->currentItem()->text(), "8");
    EXPECT_EQ(dlg.Sample().Font.Size, 8);
    EXPECT_EQ(dlg.txtFontSize->text(), "8");
    EXPECT_EQ(dlg.txtReserve->toPlainText(), "FROM\nSELECT\nWHERE");
    EXPECT_EQ(dlg.pgcOption->currentWidget(), dlg.tabGeneral);
    EXPECT_EQ(dlg.txtSample->lines(), 3);
    // The stored Windows font name is offered and stays selected.
    EXPECT_EQ(dlg.lstFontName->currentItem()->text(), "ＭＳ ゴシック");
    EXPECT_EQ(dlg.lstFontName->item(dlg.lstFontName->count() - 1)->text(), "MS UI Gothic");
}

TEST_F(EOptionFixture, ProportionalFontIsReplacedByTheFirstListedFont)
{
    prop.Font.Name = "Noto Sans CJK JP";
    TfrmEditorOption dlg(&prop);
    const QString first = dlg.lstFontName->item(0)->text();
    EXPECT_EQ(dlg.lstFontName->currentRow(), 0);
    EXPECT_EQ(dlg.Sample().Font.Name, first);
    ASSERT_TRUE(dlg.Confirm());
    EXPECT_EQ(prop.Font.Name, first);
}

TEST_F(EOptionFixture, ImmediateEffectsOnTheSample)
{
    TfrmEditorOption dlg(&prop);
    dlg.spnTabSize->setValue(6);
    EXPECT_EQ(dlg.txtSample->tabWidth(), 6);
    dlg.chkLeftBarVisible->setChecked(false);
    EXPECT_EQ(dlg.txtSample->marginWidth(0), 0);
    dlg.txtFontSize->setText("");
    EXPECT_EQ(dlg.Sample().Font.Size, 10);
    dlg.txtFontSize->setText("14");
    EXPECT_EQ(dlg.Sample().Font.Size, 14);
    dlg.chkSoftTab->setChecked(true);
    EXPECT_FALSE(dlg.txtSample->indentationsUseTabs());
}

TEST_F(EOptionFixture, ColourEditing)
{
    TfrmEditorOption dlg(&prop);
    dlg.show();
    // Base colour: text and background are system colours, so no cell is marked.
    dlg.SelectColorElement(0);
    EXPECT_EQ(dlg.grdColors->ForegroundIndex(), -1);
    EXPECT_FALSE(dlg.lblFG->isHidden());
    EXPECT_FALSE(dlg.lblBG->isHidden());

    // Comment in red with the left button: the comment and its bracket turn red.
    dlg.SelectColorElement(1);
    QTest::mouseClick(dlg.grdColors, Qt::LeftButton, {}, dlg.grdColors->CellRect(9).center());
    EXPECT_EQ(dlg.Sample().View.Colors.Comment.Color, 0x0000FF);
    EXPECT_EQ(dlg.Sample().View.CommentBracket.Color, 0x0000FF);
    EXPECT_EQ(dlg.txtSample->SqlLexer()->color(TkdSqlLexer::Comment), QColor(Qt::red));
    // Background with the right button, removed again on the panel.
    QTest::mouseClick(dlg.grdColors, Qt::RightButton, {}, dlg.grdColors->CellRect(11).center());
    EXPECT_EQ(dlg.Sample().View.Colors.Comment.BkColor, 0x00FFFF);
    QTest::mouseClick(dlg.pnlColors, Qt::RightButton, {}, QPoint(2, 2));
    EXPECT_EQ(dlg.Sample().View.Colors.Comment.BkColor, clNone);
    EXPECT_FALSE(dlg.lblBG->isHidden());

    // The EOF mark: marks take the left button only; "none" hides the mark.
    dlg.SelectColorElement(5); // line-break mark, visible by default
    EXPECT_EQ(dlg.ColorManager()->State(), TColorEditState::csEditorMark);
    EXPECT_TRUE(dlg.Sample().Marks.RetMark.Visible);
    QTest::mouseClick(dlg.pnlColors, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(dlg.Sample().Marks.RetMark.Color, clNone);
    EXPECT_FALSE(dlg.Sample().Marks.RetMark.Visible);
    EXPECT_FALSE(dlg.txtSample->eolVisibility());
    QTest::mouseClick(dlg.grdColors, Qt::RightButton, {}, dlg.grdColors->CellRect(3).center());
    EXPECT_EQ(dlg.Sample().Marks.RetMark.Color, clNone);
    QTest::mouseClick(dlg.grdColors, Qt::LeftButton, {}, dlg.grdColors->CellRect(6).center());
    EXPECT_EQ(dlg.Sample().Marks.RetMark.Color, 0x808000);
    EXPECT_TRUE(dlg.Sample().Marks.RetMark.Visible);
}

TEST_F(EOptionFixture, ReservedWordText)
{
    struct Case { QString text; bool ok; QStringList words; QString bad; };
    const Case cases[] = {
        {" SELECT \nFROM\n\n\nWHERE", true, {"SELECT", "FROM", "", "WHERE"}, ""},
        {"\n\n  \nSELECT\r\nFROM\n", true, {"SELECT", "FROM"}, ""},
        {"SELECT\n\n\n\n\nWHERE", true, {"SELECT", "", "", "WHERE"}, ""},
        {"SELECT\n ORDER BY \nWHERE", false, {}, "ORDER BY"},
        {"", true, {}, ""},
    };
    for (const Case &c : cases) {
        QStringList words;
        QString bad;
        EXPECT_EQ(TfrmEditorOption::NormaliseReserveWords(c.text, &words, &bad), c.ok) << c.text.toStdString();
        if (c.ok)
            EXPECT_EQ(words, c.words) << c.text.toStdString();
        else
            EXPECT_EQ(bad, c.bad);
    }
}

TEST_F(EOptionFixture, ChecksOfOk)
{
    TfrmEditorOption dlg(&prop);
    const TkdMemoProp before = prop;
    dlg.txtFontSize->setText("");
    EXPECT_FALSE(dlg.Confirm());
    EXPECT_EQ(messages.value(0), "サイズは1以上の整数で入力して下さい。");
    EXPECT_EQ(dlg.pgcOption->currentWidget(), dlg.tabColor);
    EXPECT_EQ(dlg.result(), 0);

    dlg.txtFontSize->setText("11");
    dlg.txtReserve->setPlainText("SELECT\nORDER BY\nGROUP BY");
    EXPECT_FALSE(dlg.Confirm());
    EXPECT_EQ(messages.value(1), "予約語に空白が含まれているため登録できません。(ORDER BY)");
    EXPECT_EQ(dlg.pgcOption->currentWidget(), dlg.tabReserve);
    EXPECT_EQ(prop, before);
    EXPECT_EQ(KeywordList(), keywordsBefore);
}

TEST_F(EOptionFixture, OkWritesBackCancelDoesNot)
{
    {
        TfrmEditorOption dlg(&prop);
        dlg.spnTabSize->setValue(2);
        dlg.txtReserve->setPlainText("select\nFROM");
        dlg.btnCancel->click();
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
    }
    EXPECT_EQ(prop.Caret.TabSpaceCount, 8);
    EXPECT_EQ(KeywordList(), keywordsBefore);

    prop.ScrollBarsBoth = false;
    TfrmEditorOption dlg(&prop);
    dlg.spnTabSize->setValue(2);
    dlg.txtFontSize->setText("16");
    dlg.txtReserve->setPlainText("  select \n\nFROM\n");
    dlg.btnOK->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(prop.Caret.TabSpaceCount, 2);
    EXPECT_EQ(prop.Font.Size, 16);
    EXPECT_TRUE(prop.ScrollBarsBoth);
    // A single empty line goes as well: every CR LF CR LF becomes one CR LF.
    EXPECT_EQ(prop.ReserveWordList, (QStringList{"select", "FROM"}));
    EXPECT_EQ(KeywordList(), (QStringList{"select", "FROM"}));
}

TEST_F(EOptionFixture, ResetToBuiltInWords)
{
    TfrmEditorOption dlg(&prop);
    answer = IDNO;
    dlg.btnInitReserveword->click();
    EXPECT_EQ(dlg.txtReserve->toPlainText(), "FROM\nSELECT\nWHERE");
    answer = IDYES;
    dlg.btnInitReserveword->click();
    EXPECT_EQ(messages.last(), "予約語を初期値に戻しますか？");
    const QStringList lines = dlg.txtReserve->toPlainText().split('\n');
    EXPECT_EQ(lines.size(), 397);
    EXPECT_EQ(lines.first(), "ABORT");
    EXPECT_EQ(lines.last(), "ZONE");
}
