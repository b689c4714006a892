// String grid: snapshot queries, row and column operations, check-box cells, editor modes,
// pick-list completion, drop lists and drag and drop.
#include "controls/kdgrid.h"
#include "core/kdsub_options.h"
#include "core/kdsub_sql.h"
#include "support/qstring_printer.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QListWidget>
#include <QMimeData>
#include <QDropEvent>
#include <QPainter>
#include <QSet>
#include <QScrollBar>
#include <QTableWidget>
#include <QToolButton>
#include <QtTest/QtTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

// A grid with a title row and the given body rows (each a list of cell texts).
std::unique_ptr<TkdStringGrid> MakeGrid(const QStringList &AHeader, const QList<QStringList> &ARows)
{
    auto grid = std::make_unique<TkdStringGrid>();
    grid->SetColCount(int(AHeader.size()));
    grid->SetRowCount(int(ARows.size()) + 1);
    grid->SetHeader(AHeader);
    for (int r = 0; r < ARows.size(); ++r)
        for (int c = 0; c < ARows[r].size(); ++c)
            grid->SetCells(c, r + 1, ARows[r][c]);
    return grid;
}

void ShowFocused(QWidget *AWidget)
{
    AWidget->resize(480, 240);
    AWidget->show();
    QApplication::setActiveWindow(AWidget);
    ASSERT_TRUE(QTest::qWaitForWindowActive(AWidget));
    AWidget->setFocus();
    QApplication::processEvents();
}

QPoint CellCentre(TkdStringGrid &AGrid, int ACol, int ARow)
{
    return AGrid.visualRect(AGrid.Model()->IndexOf(ACol, ARow)).center();
}

} // namespace

TEST(GridModel, PassesTheModelTesterThroughRowAndColumnOperations)
{
    auto grid = MakeGrid({"a", "b"}, {{"1", "x"}, {"2", "y"}, {"3", "z"}});
    QAbstractItemModelTester tester(grid->Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    grid->InsertRow(1);
    grid->MoveRow(3, 1);
    grid->DeleteRow(2);
    grid->InsertCol(0);
    grid->SetRowCount(8);
    grid->SetColCount(1);
    grid->Clear();
    grid->SetFixedRows(0);
    EXPECT_EQ(grid->Model()->rowCount(), grid->RowCount());
    EXPECT_FALSE(grid->horizontalHeader()->isVisible() && grid->isVisible());
}

TEST(GridSnapshot, QueriesAgainstTheSnapshotByGridRowColumnAndCell)
{
    auto grid = MakeGrid({"name", "type"}, {{"id", "int"}, {"nm", "text"}});

    // Never saved: everything reads as changed.
    EXPECT_EQ(grid->SaveRowCount(), 0);
    EXPECT_TRUE(grid->IsChanged());
    EXPECT_TRUE(grid->IsChangedCol(0));
    EXPECT_TRUE(grid->IsChangedRow(1));
    EXPECT_TRUE(grid->IsChangedCell(0, 1));

    grid->Save();
    EXPECT_EQ(grid->SaveRowCount(), 3);
    EXPECT_FALSE(grid->IsChanged());
    for (int c = 0; c < 2; ++c)
        EXPECT_FALSE(grid->IsChangedCol(c));
    for (int r = -1; r < 4; ++r)
        EXPECT_FALSE(grid->IsChangedRow(r)) << r;
    EXPECT_EQ(grid->SaveCells(1, 2), QStringLiteral("text"));
    EXPECT_EQ(grid->SaveRows(0), (QStringList{"name", "type"})) << "the title row is saved too";

    grid->SetCells(1, 2, QStringLiteral("TEXT"));
    EXPECT_TRUE(grid->IsChanged());
    EXPECT_TRUE(grid->IsChangedRow(2));
    EXPECT_FALSE(grid->IsChangedRow(1));
    EXPECT_TRUE(grid->IsChangedCol(1));
    EXPECT_FALSE(grid->IsChangedCol(0));
    EXPECT_TRUE(grid->IsChangedCell(1, 2));
    EXPECT_FALSE(grid->IsChangedCell(0, 2));
    grid->SetCells(1, 2, QStringLiteral("text"));
    EXPECT_FALSE(grid->IsChanged()) << "edited back";
    EXPECT_FALSE(grid->IsChangedCell(1, 2));

    grid->SetHeader({"name", "data type"});
    EXPECT_TRUE(grid->IsChanged()) << "the title row takes part";
    EXPECT_TRUE(grid->IsChangedRow(0));
}

TEST(GridSnapshot, QueriesReportPositionsAfterRowsAreInsertedOrAdded)
{
    auto grid = MakeGrid({"c0", "c1"}, {{"a", "1"}, {"b", "2"}});
    grid->Save(); // 3 rows
    grid->InsertRow(1);
    EXPECT_TRUE(grid->IsChanged());
    EXPECT_TRUE(grid->IsChangedRow(1)) << "new empty row against saved row 1";
    EXPECT_TRUE(grid->IsChangedRow(3)) << "old row 2 against no saved row";
    EXPECT_TRUE(grid->IsChangedCol(0));
    EXPECT_TRUE(grid->IsChangedCol(1));
    EXPECT_EQ(grid->Cells(0, 2), QStringLiteral("a"));

    auto two = MakeGrid({"c0"}, {{"x"}});
    two->Save(); // 2 rows
    two->SetRowCount(3);
    EXPECT_FALSE(two->IsChangedCell(0, 2)) << "an empty new cell reads as unchanged";
    two->SetCells(0, 2, QStringLiteral("y"));
    EXPECT_TRUE(two->IsChangedCell(0, 2));
    EXPECT_FALSE(two->IsChangedCell(-1, -1));
    EXPECT_FALSE(two->IsChangedCell(9, 9));
}

TEST(GridSnapshot, SaveColsAndIndexErrors)
{
    auto grid = MakeGrid({"a", "b"}, {{"1", "2"}, {"3", "4"}, {"5", "6"}, {"7", "8"}});
    grid->Save();
    EXPECT_EQ(grid->SaveCols(1), (QStringList{"b", "2", "4", "6", "8"}));
    try {
        (void)grid->SaveCells(2, 1);
        FAIL() << "no error for a column beyond the saved row";
    } catch (const EListError &e) {
        EXPECT_EQ(QString::fromStdString(e.what()), QStringLiteral("リストのインデックスが範囲を超えています (2)"));
    }
    EXPECT_THROW((void)grid->SaveCols(5), EListError);
    EXPECT_THROW((void)grid->IsChangedCol(-1), EListError);
    EXPECT_THROW((void)grid->SaveRows(5), EListError);
    EXPECT_TRUE(grid->IsChangedCol(7)) << "a column beyond the grid reads as changed";
}

TEST(GridRows, InsertDeleteMoveRowsAndColumnsAndClear)
{
    auto grid = MakeGrid({"a", "b", "c"}, {{"1", "x", "p"}, {"2", "y", "q"}, {"3", "z", "r"}});
    grid->SetObjects(0, 3, QStringLiteral("obj"));
    grid->SetEditStyles(1, geCheckBox);

    grid->InsertRow(2);
    EXPECT_EQ(grid->RowCount(), 5);
    EXPECT_EQ(grid->Model()->RowTexts(2), (QStringList{"", "", ""}));
    EXPECT_EQ(grid->Cells(0, 3), QStringLiteral("2"));
    EXPECT_EQ(grid->Objects(0, 4), QVariant(QStringLiteral("obj")));

    grid->MoveRow(4, 1);
    EXPECT_EQ(grid->Cells(0, 1), QStringLiteral("3"));
    EXPECT_EQ(grid->Cells(0, 2), QStringLiteral("1"));

    grid->SetCurrentCell(0, 1);
    grid->DeleteRow(1);
    EXPECT_EQ(grid->RowCount(), 4);
    EXPECT_EQ(grid->Cells(0, 1), QStringLiteral("1"));
    EXPECT_EQ(grid->Row(), 1);

    grid->InsertCol(0);
    EXPECT_EQ(grid->ColCount(), 4);
    EXPECT_EQ(grid->Col(), 0);
    EXPECT_EQ(grid->Header(), (QStringList{"", "a", "b", "c"}));
    EXPECT_EQ(grid->EditStyles(1), geCheckBox) << "styles stay with their positions";
    EXPECT_EQ(grid->EditStyles(3), geSimple);
    EXPECT_EQ(grid->EditStyles(9), geSimple);

    grid->Clear();
    EXPECT_EQ(grid->RowCount(), 2);
    EXPECT_EQ(grid->Cells(1, 1), QString());
    EXPECT_EQ(grid->Header(), (QStringList{"", "a", "b", "c"})) << "fixed row kept";
    EXPECT_EQ(grid->Row(), 1);
    EXPECT_EQ(grid->Col(), 0);
}

TEST(GridCheckBox, CheckedReadsOnlyOneAndWritesThroughTheStorePath)
{
    auto grid = MakeGrid({"null", "name"}, {{"1", "a"}, {"01", "b"}, {"2", "c"}});
    grid->SetEditStyles(0, geCheckBox);
    EXPECT_TRUE(grid->Checked(0, 1));
    EXPECT_FALSE(grid->Checked(0, 2)) << "01 is drawn checked but is not Checked";
    EXPECT_FALSE(grid->Checked(0, 3)) << "2 is the grayed look";
    EXPECT_FALSE(grid->Checked(1, 1)) << "plain column";
    EXPECT_FALSE(grid->Checked(5, 1));

    QStringList events;
    QObject::connect(grid.get(), &TkdStringGrid::OnBeforeSetEditText, grid.get(),
                     [&](TkdStringGrid *, int c, int r, const QString &v) { events << QStringLiteral("before %1,%2=%3").arg(c).arg(r).arg(v); });
    QObject::connect(grid.get(), &TkdStringGrid::OnSetEditText, grid.get(),
                     [&](TkdStringGrid *g, int c, int r, const QString &v) {
                         events << QStringLiteral("set %1,%2=%3 cell=%4").arg(c).arg(r).arg(v, g->Cells(c, r));
                     });
    grid->SetChecked(0, 2, true);
    EXPECT_EQ(grid->Cells(0, 2), QStringLiteral("1"));
    grid->SetChecked(0, 1, false);
    EXPECT_EQ(grid->Cells(0, 1), QString());
    grid->SetChecked(1, 1, true);
    EXPECT_EQ(grid->Cells(1, 1), QStringLiteral("a")) << "Checked ignored in a plain column";
    EXPECT_EQ(events, (QStringList{"before 0,2=1", "set 0,2=1 cell=1", "before 0,1=", "set 0,1= cell="}));
}

// A right click, a click in the title row or a printable key must not flip a NOT NULL box.
TEST(GridCheckBox, OnlyLeftClickOnTheCellOrSpaceToggles)
{
    auto grid = MakeGrid({"not null", "view", "name"}, {{"", "", "a"}, {"1", "1", "b"}});
    grid->SetEditStyles(0, geCheckBox);
    grid->SetEditStyles(1, geViewCheckBox);
    ShowFocused(grid.get());
    grid->SetCurrentCell(0, 1);
    QWidget *vp = grid->viewport();

    struct Step { const char *what; std::function<void()> act; bool toggles; };
    const Step steps[] = {
        {"left click on the cell", [&] { QTest::mouseClick(vp, Qt::LeftButton, {}, CellCentre(*grid, 0, 1)); }, true},
        {"right click on the cell", [&] { QTest::mouseClick(vp, Qt::RightButton, {}, CellCentre(*grid, 0, 1)); }, false},
        {"right click elsewhere", [&] { QTest::mouseClick(vp, Qt::RightButton, {}, CellCentre(*grid, 2, 2)); }, false},
        {"middle click", [&] { QTest::mouseClick(vp, Qt::MiddleButton, {}, CellCentre(*grid, 0, 1)); }, false},
        {"click on the title row", [&] {
             QHeaderView *h = grid->horizontalHeader();
             QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(0) + 5, h->height() / 2));
         }, false},
        {"letter key", [&] { QTest::keyClick(grid.get(), Qt::Key_X); }, false},
        {"digit key", [&] { QTest::keyClick(grid.get(), Qt::Key_1); }, false},
        {"space key", [&] { QTest::keyClick(grid.get(), Qt::Key_Space); }, true},
        {"double click", [&] { QTest::mouseDClick(vp, Qt::LeftButton, {}, CellCentre(*grid, 0, 1)); }, false},
    };
    for (const Step &step : steps) {
        grid->SetCurrentCell(0, 1);
        const bool before = grid->Checked(0, 1);
        step.act();
        QApplication::processEvents();
        EXPECT_EQ(grid->Checked(0, 1) != before, step.toggles) << step.what;
        EXPECT_EQ(grid->Cells(2, 1), QStringLiteral("a")) << step.what;
    }

    // A display-only box never toggles.
    grid->SetCurrentCell(1, 2);
    QTest::mouseClick(vp, Qt::LeftButton, {}, CellCentre(*grid, 1, 2));
    QTest::keyClick(grid.get(), Qt::Key_Space);
    EXPECT_TRUE(grid->Checked(1, 2));
    // A left click that moves to another check cell toggles that cell (it is then current).
    grid->SetCurrentCell(2, 1);
    QTest::mouseClick(vp, Qt::LeftButton, {}, CellCentre(*grid, 0, 2));
    EXPECT_FALSE(grid->Checked(0, 2));
}

TEST(GridModes, AccessModeKeepsTheEditorOpenAndEnterMovesAlongTheRow)
{
    auto grid = MakeGrid({"a", "b", "c"}, {{"", "", ""}, {"", "", ""}});
    ShowFocused(grid.get());
    grid->SetCurrentCell(0, 1);
    grid->SetGridMode(geAccess);
    ASSERT_NE(grid->InplaceEditor(), nullptr) << "the editor is always shown";

    QTest::keyClicks(grid->InplaceEditor()->Edit(), QStringLiteral("id"));
    EXPECT_EQ(grid->Cells(0, 1), QStringLiteral("id")) << "each change reaches the cell";
    QTest::keyClick(grid->InplaceEditor()->Edit(), Qt::Key_Escape);
    EXPECT_EQ(grid->Cells(0, 1), QStringLiteral("id")) << "Esc keeps the text";

    QTest::keyClick(grid->InplaceEditor()->Edit(), Qt::Key_Return);
    EXPECT_EQ(grid->Col(), 1);
    QApplication::processEvents();
    ASSERT_NE(grid->InplaceEditor(), nullptr);
    QTest::keyClicks(grid->InplaceEditor()->Edit(), QStringLiteral("int"));
    QTest::keyClick(grid->InplaceEditor()->Edit(), Qt::Key_Return);
    QApplication::processEvents();
    QTest::keyClick(grid->InplaceEditor()->Edit(), Qt::Key_Return);
    EXPECT_EQ(grid->Col(), 2) << "Enter in the last column keeps the cell";
    EXPECT_EQ(grid->Row(), 1);
    EXPECT_EQ(grid->Cells(1, 1), QStringLiteral("int"));

    QApplication::processEvents();
    QTest::keyClick(grid->InplaceEditor()->Edit(), Qt::Key_Down);
    EXPECT_EQ(grid->Row(), 2);
    QApplication::processEvents();
    QTest::keyClick(grid->InplaceEditor()->Edit(), Qt::Key_Left);
    EXPECT_EQ(grid->Col(), 1) << "Left with an empty cell leaves it";

    // Destroying the grid while its editor has the focus and holds typed text.
    QApplication::processEvents();
    ASSERT_NE(grid->InplaceEditor(), nullptr);
    QTest::keyClicks(grid->InplaceEditor()->Edit(), QStringLiteral("x"));
    grid.reset();
    QApplication::processEvents();
}

TEST(GridModes, ExcelModeEnterMovesDownAndShiftEnterUp)
{
    auto grid = MakeGrid({"a"}, {{"1"}, {"2"}, {"3"}});
    grid->SetGridMode(geExcel);
    ShowFocused(grid.get());
    grid->SetCurrentCell(0, 1);
    QTest::keyClick(grid.get(), Qt::Key_Return);
    EXPECT_EQ(grid->Row(), 2);
    QTest::keyClick(grid.get(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(grid->Row(), 1);
    QTest::keyClick(grid.get(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(grid->Row(), 1);

    // Typing opens the editor; Enter stores the text and moves down.
    QTest::keyClicks(grid.get(), QStringLiteral("9"));
    QApplication::processEvents();
    ASSERT_NE(grid->InplaceEditor(), nullptr);
    QTest::keyClick(grid->InplaceEditor()->Edit(), Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(grid->Cells(0, 1), QStringLiteral("9"));
    EXPECT_EQ(grid->Row(), 2);
    EXPECT_EQ(grid->InplaceEditor(), nullptr);

    auto flat = MakeGrid({"a"}, {{"1"}, {"2"}});
    flat->SetFixedRows(0);
    flat->SetGridMode(geExcel);
    ShowFocused(flat.get());
    flat->SetCurrentCell(0, 1);
    QTest::keyClick(flat.get(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(flat->Row(), 1) << "Shift+Enter on row 1 stays even without a fixed row";
}

TEST(GridPickList, TypingCompletesFromThePickList)
{
    auto grid = MakeGrid({"type"}, {{""}});
    grid->SetEditStyles(0, gePickList);
    grid->OnGetPickListitems = [](int, int, QStringList &items) { items << "ALPHA" << "ALPINE"; };
    ShowFocused(grid.get());
    grid->SetCurrentCell(0, 1);
    grid->edit(grid->currentIndex());
    TkdInplaceEditor *editor = grid->InplaceEditor();
    ASSERT_NE(editor, nullptr);
    QLineEdit *edit = editor->Edit();

    struct Step { QString key; QString text; QString selected; };
    const Step steps[] = {
        {"a", "ALPHA", "LPHA"},
        {"l", "ALPHA", "PHA"},
        {"p", "ALPHA", "HA"},
        {"i", "ALPINE", "NE"},
        {"x", "ALPIx", ""},
    };
    for (const Step &s : steps) {
        QTest::keyClicks(edit, s.key);
        EXPECT_EQ(edit->text(), s.text) << s.key.toStdString();
        EXPECT_EQ(edit->selectedText(), s.selected) << s.key.toStdString();
    }
    EXPECT_EQ(grid->Cells(0, 1), QStringLiteral("ALPIx")) << "typed text reaches the cell";
}

TEST(GridPickList, DropListRefusesTypingAndTakesAChoiceFromTheList)
{
    auto grid = MakeGrid({"type"}, {{"int"}});
    grid->SetEditStyles(0, geDropList);
    grid->OnGetPickListitems = [](int, int, QStringList &items) { items << "int" << "text" << "date"; };
    QObject::connect(grid.get(), &TkdStringGrid::OnShowEditor, grid.get(),
                     [](TkdStringGrid *, int, int, TkdInplaceEditor *e) { e->SetMaxLength(10); });
    QStringList events;
    QObject::connect(grid.get(), &TkdStringGrid::OnBeforeSetEditText, grid.get(), [&](TkdStringGrid *, int, int, const QString &v) { events << "before " + v; });
    QObject::connect(grid.get(), &TkdStringGrid::OnSetEditText, grid.get(), [&](TkdStringGrid *, int, int, const QString &v) { events << "set " + v; });
    QObject::connect(grid.get(), &TkdStringGrid::OnSelectListItems, grid.get(), [&](TkdStringGrid *, int, int, int i) { events << QStringLiteral("select %1").arg(i); });
    ShowFocused(grid.get());
    grid->SetCurrentCell(0, 1);
    grid->edit(grid->currentIndex());
    TkdInplaceEditor *editor = grid->InplaceEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->MaxLength(), -1) << "a handler cannot make a drop-list cell typable";
    QLineEdit *edit = editor->Edit();
    edit->setCursorPosition(3);
    QTest::keyClicks(edit, QStringLiteral("xy"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_Delete);
    QApplication::clipboard()->setText(QStringLiteral("pasted"));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), QStringLiteral("int"));
    EXPECT_EQ(grid->Cells(0, 1), QStringLiteral("int"));
    EXPECT_TRUE(events.isEmpty());

    QTest::keyClick(edit, Qt::Key_Down); // opens the list in geNormal
    ASSERT_TRUE(editor->ListVisible());
    QListWidget *list = editor->ListBox();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
    EXPECT_FALSE(editor->ListVisible());
    EXPECT_EQ(grid->Cells(0, 1), QStringLiteral("text"));
    EXPECT_EQ(events, (QStringList{"before text", "set text", "select 1"}));
}

TEST(GridPickList, DoubleClickOnAOneItemListDoesNothing)
{
    auto grid = MakeGrid({"t"}, {{"only"}});
    grid->SetEditStyles(0, gePickList);
    grid->OnGetPickListitems = [](int, int, QStringList &items) { items << "only"; };
    ShowFocused(grid.get());
    grid->SetCurrentCell(0, 1);
    grid->edit(grid->currentIndex());
    TkdInplaceEditor *editor = grid->InplaceEditor();
    ASSERT_NE(editor, nullptr);
    editor->DropDown();
    editor->CloseUp(false);
    int selects = 0;
    QObject::connect(grid.get(), &TkdStringGrid::OnSelectListItems, grid.get(), [&] { ++selects; });
    QTest::mouseDClick(editor->Edit(), Qt::LeftButton);
    EXPECT_EQ(editor->Text(), QStringLiteral("only"));
    EXPECT_EQ(selects, 0);
}

TEST(GridEditor, EllipsisButtonRaisesTheGridEventAndCopyTakesTheCurrentCell)
{
    auto grid = MakeGrid({"default"}, {{"now()"}});
    grid->SetEditStyles(0, geEllipsis);
    ShowFocused(grid.get());
    grid->SetCurrentCell(0, 1);
    grid->copy();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("now()"));
    QStringList order;
    QObject::connect(grid.get(), &TkdStringGrid::OnEditButtonClick, grid.get(), [&] { order << "grid"; });
    grid->edit(grid->currentIndex());
    ASSERT_NE(grid->InplaceEditor(), nullptr);
    QObject::connect(grid->InplaceEditor(), &TkdInplaceEditor::ButtonClicked, grid.get(), [&] { order << "editor"; });
    QTest::mouseClick(grid->InplaceEditor()->Button(), Qt::LeftButton);
    EXPECT_EQ(order, (QStringList{"grid", "editor"}));
    QApplication::clipboard()->clear();
    grid->copy();
    EXPECT_EQ(QApplication::clipboard()->text(), QString()) << "no copy while the editor is shown";
}

TEST(GridSettings, StringGridGetsAccessModeOtherTablesTheDataFont)
{
    TkdStringGrid grid;
    const QFont before = grid.font();
    EXPECT_TRUE(KdApplyGridSettings(&grid, QStringLiteral("Noto Sans Mono CJK JP"), 11));
    EXPECT_EQ(grid.GridMode(), geAccess);
    EXPECT_EQ(grid.font(), before) << "keeps its own font";

    QTableWidget table;
    EXPECT_TRUE(KdApplyGridSettings(&table, QStringLiteral("Noto Sans Mono CJK JP"), 11));
    EXPECT_EQ(table.font().family(), QStringLiteral("Noto Sans Mono CJK JP"));
    EXPECT_EQ(table.font().pointSize(), 11);
    EXPECT_TRUE(table.font().fixedPitch());

    QLineEdit other;
    EXPECT_FALSE(KdApplyGridSettings(&other, QStringLiteral("x"), 9));

    // The data font of the general options.
    const TkdOption saved = TkdOption::Global();
    TkdOption::Global().DataFontName = QStringLiteral("Noto Sans Mono CJK JP");
    TkdOption::Global().DataFontSize = 13;
    QTableWidget fromOptions;
    EXPECT_TRUE(KdApplyGridSettings(&fromOptions));
    TkdOption::Global() = saved;
    EXPECT_EQ(fromOptions.font().pointSize(), 13);
    EXPECT_TRUE(fromOptions.font().fixedPitch());
}

TEST(GridScroll, PageRequestsMoveByHalfTheVisibleRows)
{
    auto grid = std::make_unique<TkdStringGrid>();
    grid->SetColCount(2);
    grid->SetRowCount(200);
    grid->resize(300, 300);
    grid->show();
    QApplication::processEvents();
    QScrollBar *bar = grid->verticalScrollBar();
    const int page = bar->pageStep();
    ASSERT_GT(page, 2);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(bar->value(), page / 2);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(bar->value(), 2 * (page / 2));
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(bar->value(), page / 2);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(bar->value(), page / 2 + 1) << "a line request moves one row";
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST(GridEditor, EntryRaisesSelectCellAndShowEditorHandlersSetUpTheEditor)
{
    auto grid = MakeGrid({"name"}, {{""}});
    QList<int> selected;
    QObject::connect(grid.get(), &TkdStringGrid::OnSelectCell, grid.get(),
                     [&](TkdStringGrid *, int c, int r) { selected << c << r; });
    QObject::connect(grid.get(), &TkdStringGrid::OnShowEditor, grid.get(),
                     [](TkdStringGrid *, int, int, TkdInplaceEditor *e) {
                         e->SetCharCase(ecUpperCase);
                         e->SetMaxLength(4);
                     });
    ShowFocused(grid.get());
    EXPECT_EQ(selected, (QList<int>{0, 1}));
    grid->SetCurrentCell(0, 1);
    grid->edit(grid->currentIndex());
    ASSERT_NE(grid->InplaceEditor(), nullptr);
    QTest::keyClicks(grid->InplaceEditor()->Edit(), QStringLiteral("abcdef"));
    EXPECT_EQ(grid->Cells(0, 1), QStringLiteral("ABCD"));
}

TEST(GridRows, DeletingTheOnlyDataRowLeavesTheTitleRow)
{
    // The last remaining data row goes like any other; the title row stays whatever is asked.
    auto grid = MakeGrid({"name", "type"}, {{"id", "int"}});
    grid->SetObjects(0, 1, 7);
    grid->SetCurrentCell(0, 1);
    grid->DeleteRow(1);
    EXPECT_EQ(grid->RowCount(), 1);
    EXPECT_EQ(grid->Model()->rowCount(), 0);
    EXPECT_EQ(grid->Cells(0, 1), QString());
    EXPECT_FALSE(grid->Objects(0, 1).isValid());
    EXPECT_EQ(grid->Header(), (QStringList{"name", "type"}));
    grid->DeleteRow(0);
    EXPECT_EQ(grid->RowCount(), 1) << "the title row alone is never removed";
    EXPECT_EQ(grid->Header(), (QStringList{"name", "type"}));
    EXPECT_TRUE(grid->IsChanged()) << "against a snapshot of two rows";

    // With the editor shown on the last row of several, deleting it keeps the editor usable.
    auto two = MakeGrid({"a"}, {{"x"}, {"y"}});
    ShowFocused(two.get());
    two->SetCurrentCell(0, 2);
    two->edit(two->currentIndex());
    ASSERT_NE(two->InplaceEditor(), nullptr);
    two->DeleteRow(2);
    QApplication::processEvents();
    EXPECT_EQ(two->RowCount(), 2);
    EXPECT_EQ(two->Cells(0, 1), QStringLiteral("x"));
    two->DeleteRow(1);
    QApplication::processEvents();
    EXPECT_EQ(two->RowCount(), 1);
    EXPECT_EQ(two->Model()->rowCount(), 0);
}

TEST(GridDrawing, EveryDataCellRaisesDrawCellAfterItsOwnDrawing)
{
    // Check-box cells as well as text cells: the owner may draw over each, with the cell's
    // rectangle, and what it paints shows in the grid.
    auto grid = MakeGrid({"name", "null", "shown"}, {{"id", "1", ""}, {"nm", "", "1"}});
    grid->SetEditStyles(1, geCheckBox);
    grid->SetEditStyles(2, geViewCheckBox);
    grid->resize(480, 240);
    QSet<QPair<int, int>> seen;
    QRect checkRect;
    QObject::connect(grid.get(), &TkdStringGrid::OnDrawCell, grid.get(),
                     [&](TkdStringGrid *sender, int col, int row, const QRect &r, QPainter *p, QStyle::State) {
                         EXPECT_EQ(sender, grid.get());
                         seen.insert({col, row});
                         if (col == 1 && row == 2) {
                             checkRect = r;
                             p->fillRect(r.adjusted(1, 1, -1, -1), QColor(255, 0, 255));
                         }
                     });
    const QImage shot = grid->grab().toImage();
    for (int r = 1; r <= 2; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_TRUE(seen.contains({c, r})) << "cell " << c << "," << r;
    EXPECT_FALSE(seen.contains({0, 0})) << "the title row is the header";
    ASSERT_EQ(checkRect, grid->visualRect(grid->Model()->IndexOf(1, 2)));
    const QPoint centre = grid->viewport()->mapTo(grid.get(), checkRect.center());
    EXPECT_EQ(shot.pixelColor(centre * shot.devicePixelRatio()), QColor(255, 0, 255))
        << "the owner's drawing lies over the check box";
}

namespace {

// Sends a drag enter, a drag move and a drop of a text, all at APos of AWidget, the way Qt
// delivers them to the widget under the mouse. Returns whether the drop was accepted.
bool DragTextOnto(QWidget *AWidget, const QPoint &APos, const QString &AText)
{
    QMimeData data;
    data.setText(AText);
    QDragEnterEvent enter(APos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(AWidget, &enter);
    QDragMoveEvent move(APos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(AWidget, &move);
    QDropEvent drop(APos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(AWidget, &drop);
    return drop.isAccepted();
}

// A grid in access mode with its editor shown on cell (2, 3), and handlers that record what
// they were asked; the drag-over handler takes drags whose text is not "refuse".
struct DropFixture
{
    std::unique_ptr<TkdStringGrid> grid = MakeGrid({"a", "b", "c"}, {{"", "", ""}, {"", "", ""}, {"", "", ""}});
    QList<QPoint> overCells; // MouseCoord of every drag-over position
    QList<QPoint> dropCells;
    QStringList dropTexts;

    explicit DropFixture(bool AHandlers = true)
    {
        ShowFocused(grid.get());
        grid->SetCurrentCell(2, 3);
        grid->SetGridMode(geAccess);
        if (!AHandlers)
            return;
        grid->SetOnDragOver([this](TkdStringGrid *sender, const TkdGridDragInfo &info) {
            EXPECT_EQ(sender, grid.get());
            overCells << sender->MouseCoord(info.Pos);
            return info.Data && info.Data->text() != QLatin1String("refuse");
        });
        grid->SetOnDragDrop([this](TkdStringGrid *sender, const TkdGridDragInfo &info) {
            dropCells << sender->MouseCoord(info.Pos);
            dropTexts << info.Data->text();
        });
    }
};

} // namespace

TEST(GridDrop, DropsOnTheCellsAndOnTheEditorReachTheGridAtTheCellUnderTheMouse)
{
    DropFixture f;
    TkdInplaceEditor *editor = f.grid->InplaceEditor();
    ASSERT_NE(editor, nullptr);
    ASSERT_EQ(editor->EditCol(), 2);
    // The editor's text box is where Qt delivers a drop over the editor; a position near its
    // top-left corner, read as grid coordinates by mistake, would name cell (0, 1).
    struct Case { const char *where; QWidget *target; QPoint pos; QPoint cell; };
    const QList<Case> cases = {
        {"a cell", f.grid->viewport(), CellCentre(*f.grid, 1, 2), {1, 2}},
        {"the editor", editor->Edit(), {3, 3}, {2, 3}},
        {"the editor's middle", editor->Edit(), editor->Edit()->rect().center(), {2, 3}},
    };
    for (const Case &c : cases) {
        f.overCells.clear();
        f.dropCells.clear();
        f.dropTexts.clear();
        EXPECT_TRUE(DragTextOnto(c.target, c.pos, QStringLiteral("orders.id"))) << c.where;
        EXPECT_EQ(f.overCells, (QList<QPoint>{c.cell, c.cell, c.cell})) << c.where << ": enter, move and drop";
        EXPECT_EQ(f.dropCells, QList<QPoint>{c.cell}) << c.where;
        EXPECT_EQ(f.dropTexts, QStringList{QStringLiteral("orders.id")}) << c.where;
    }
    // The grid took the drops: the editor did not insert the text into its cell as well.
    EXPECT_EQ(f.grid->Cells(2, 3), QString());
    ASSERT_NE(f.grid->InplaceEditor(), nullptr);
    EXPECT_EQ(f.grid->InplaceEditor()->Text(), QString());
}

TEST(GridDrop, ARefusedDragIsTheEditorsOwnTextDropAndNeverTheGrids)
{
    // With a handler that refuses, and with no handler at all, a text dropped on the editor
    // is typed into the cell through the store path and the grid's drop handler never runs.
    for (const bool handlers : {true, false}) {
        DropFixture f(handlers);
        QStringList stored;
        QObject::connect(f.grid.get(), &TkdStringGrid::OnSetEditText, f.grid.get(),
                         [&](TkdStringGrid *, int c, int r, const QString &v) {
                             stored << QStringLiteral("%1,%2=%3").arg(c).arg(r).arg(v);
                         });
        ASSERT_NE(f.grid->InplaceEditor(), nullptr);
        EXPECT_TRUE(DragTextOnto(f.grid->InplaceEditor()->Edit(), {3, 3}, QStringLiteral("refuse")));
        EXPECT_TRUE(f.dropCells.isEmpty()) << handlers;
        EXPECT_EQ(f.grid->Cells(2, 3), QStringLiteral("refuse")) << handlers;
        EXPECT_EQ(stored, QStringList{QStringLiteral("2,3=refuse")}) << handlers;
        // Over the cells the grid refuses, or does not take drops at all.
        EXPECT_FALSE(DragTextOnto(f.grid->viewport(), CellCentre(*f.grid, 0, 1), QStringLiteral("refuse")));
        EXPECT_EQ(f.grid->viewport()->acceptDrops(), handlers)
            << "a grid without a drag-over handler leaves drops to its window";
        EXPECT_TRUE(f.dropCells.isEmpty());
        EXPECT_EQ(f.grid->Cells(0, 1), QString());
    }
}

TEST(GridDrop, MouseCoordNamesTheCellInGridCoordinates)
{
    auto grid = MakeGrid({"a", "b"}, {{"1", "2"}, {"3", "4"}});
    grid->resize(300, 200);
    grid->show();
    QApplication::processEvents();
    EXPECT_EQ(grid->MouseCoord(CellCentre(*grid, 1, 2)), QPoint(1, 2));
    EXPECT_EQ(grid->MouseCoord(CellCentre(*grid, 0, 1)), QPoint(0, 1));
    EXPECT_EQ(grid->MouseCoord(QPoint(5, grid->viewport()->height() - 2)), QPoint(-1, -1)) << "below the rows";
}

TEST(GridSnapshot, ListErrorIsOneTypeForTheControlsAndTheSqlAnalysis)
{
    // The grid and the parse list of the SQL analysis raise the same error type with the
    // same message, so one handler catches an index error from either.
    auto grid = MakeGrid({"a"}, {{"1"}});
    grid->Save();
    TkdParseList list;
    list.Add(QStringLiteral("t"), QString());
    const std::function<void()> faults[] = {
        [&] { (void)grid->SaveRows(4); },
        [&] { (void)list.GetObjectName(4); },
    };
    for (const auto &fault : faults) {
        try {
            fault();
            ADD_FAILURE() << "no error for index 4";
        } catch (const EListError &e) {
            EXPECT_EQ(e.message(), EListError::MessageFor(4));
            EXPECT_EQ(QString::fromStdString(e.what()), QStringLiteral("リストのインデックスが範囲を超えています (4)"));
        }
    }
}
