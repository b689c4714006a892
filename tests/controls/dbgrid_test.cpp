// The two data grids offscreen over the sandbox server: selection states by mouse and keys,
// key handling, copy and paste, the auto-commit bracket seen from a second connection, failing
// pastes and posts, and the shared data font.
#include "controls/dbgrid_fixture.h"
#include "controls/kdsharedsettings.h"

#include <QListWidget>
#include <QPainter>
#include <QScrollBar>

namespace {

using GridV_ = GridFixture;
using GridH_ = GridFixture;
using GridDb = GridFixture;

// ---- selection states --------------------------------------------------------------------------

struct SelectionCase {
    const char *action;
    std::function<void(GridFixture &, TkdDBGridBase &)> run;
    std::vector<int> records;
    int start, end;
    bool whole;
};

void RunSelectionCases(GridFixture &AFix, TkdDBGridBase &AGrid, const std::vector<SelectionCase> &ACases)
{
    for (const SelectionCase &c : ACases) {
        // Every case starts from a click on record 2, item 1.
        GridFixture::ClickCell(AGrid, 2, 1);
        c.run(AFix, AGrid);
        EXPECT_EQ(AFix.Selected(AGrid), c.records) << c.action;
        EXPECT_EQ(AGrid.SelStart(), c.start) << c.action;
        EXPECT_EQ(AGrid.SelEnd(), c.end) << c.action;
        EXPECT_EQ(AGrid.WholeSelected(), c.whole) << c.action;
    }
}

TEST_F(GridV_, SelectionStatesByMouseAndKeys)
{
    Open(QStringLiteral("SELECT id, name, note, amount FROM t ORDER BY id"));
    TkdDBGridV &grid = GridV();
    using F = GridFixture;
    const std::vector<SelectionCase> cases = {
        {"click on a data cell", [](F &, TkdDBGridBase &g) { F::ClickCell(g, 3, 2); }, {}, 2, 2, false},
        {"Shift+click on a data cell", [](F &, TkdDBGridBase &g) { F::ClickCell(g, 4, 3, Qt::ShiftModifier); }, {2, 3, 4}, 1, 3, false},
        {"Ctrl+click on a data cell", [](F &, TkdDBGridBase &g) { F::ClickCell(g, 3, 2, Qt::ControlModifier); }, {3}, 2, 2, true},
        {"click in the indicator", [](F &, TkdDBGridBase &g) { F::ClickIndicator(g, 3); }, {3}, 1, 1, true},
        {"Shift+click in the indicator", [](F &, TkdDBGridBase &g) { F::ClickIndicator(g, 4, Qt::ShiftModifier); }, {2, 3, 4}, 1, 1, true},
        {"Ctrl+click in the indicator", [](F &, TkdDBGridBase &g) { F::ClickIndicator(g, 3, Qt::ControlModifier); }, {3}, 1, 1, false},
        {"Right", [](F &, TkdDBGridBase &) { F::Key(Qt::Key_Right); }, {2}, 2, 2, false},
        {"Enter", [](F &, TkdDBGridBase &) { F::Key(Qt::Key_Return); }, {2}, 2, 2, false},
        {"Shift+Right", [](F &, TkdDBGridBase &) { F::Key(Qt::Key_Right, Qt::ShiftModifier); }, {2}, 1, 2, false},
        {"Shift+Down twice", [](F &, TkdDBGridBase &) { F::Key(Qt::Key_Down, Qt::ShiftModifier); F::Key(Qt::Key_Down, Qt::ShiftModifier); }, {2, 3, 4}, 1, 1, false},
        {"Shift+Down, Shift+Up goes back", [](F &, TkdDBGridBase &) { F::Key(Qt::Key_Down, Qt::ShiftModifier); F::Key(Qt::Key_Down, Qt::ShiftModifier); F::Key(Qt::Key_Up, Qt::ShiftModifier); }, {2, 3}, 1, 1, false},
        {"Right then Ctrl+Down", [](F &, TkdDBGridBase &) { F::Key(Qt::Key_Right); F::Key(Qt::Key_Down, Qt::ControlModifier); }, {}, 2, 2, false},
        {"Right then Down", [](F &, TkdDBGridBase &) { F::Key(Qt::Key_Right); F::Key(Qt::Key_Down); }, {}, 2, 2, false},
        {"Ctrl+Right", [](F &, TkdDBGridBase &) { F::Key(Qt::Key_Right); F::Key(Qt::Key_Right, Qt::ControlModifier); }, {}, 3, 3, true},
        {"Right then Esc", [](F &, TkdDBGridBase &) { F::Key(Qt::Key_Right); F::Key(Qt::Key_Escape); }, {}, 2, 2, false},
        {"select-all", [](F &, TkdDBGridBase &g) { g.HideEditor(); g.selectAll(); }, [] { std::vector<int> all; for (int i = 0; i < 30; ++i) all.push_back(i); return all; }(), 0, 3, false},
    };
    RunSelectionCases(*this, grid, cases);
}

TEST_F(GridH_, SelectionStatesOfTheColumnWiseGrid)
{
    Open(QStringLiteral("SELECT id, name, note, amount FROM t ORDER BY id"));
    TkdDBGridH &grid = GridH();
    using F = GridFixture;
    const std::vector<SelectionCase> cases = {
        {"click on a data cell", [](F &, TkdDBGridBase &g) { F::ClickCell(g, 3, 2); }, {}, 2, 2, false},
        {"Ctrl+click on a data cell", [](F &, TkdDBGridBase &g) { F::ClickCell(g, 3, 2, Qt::ControlModifier); }, {}, 2, 2, true},
        {"Down selects the current record without Ctrl", [](F &, TkdDBGridBase &) { F::Key(Qt::Key_Down); }, {2}, 2, 2, false},
        {"Enter moves to the next field", [](F &, TkdDBGridBase &) { F::Key(Qt::Key_Return); }, {2}, 2, 2, false},
        {"Ctrl+Down: emptied, then the current record", [](F &, TkdDBGridBase &) { F::Key(Qt::Key_Right, Qt::ShiftModifier); F::Key(Qt::Key_Down, Qt::ControlModifier); }, {3}, 3, 3, true},
        {"Shift+Right twice", [](F &, TkdDBGridBase &) { F::Key(Qt::Key_Right, Qt::ShiftModifier); F::Key(Qt::Key_Right, Qt::ShiftModifier); }, {2, 3, 4}, 1, 1, false},
        {"Shift+click in the indicator row", [](F &, TkdDBGridBase &g) { F::ClickIndicator(g, 4, Qt::ShiftModifier); }, {2, 3, 4}, 1, 1, true},
        {"Ctrl+PgDn only clears", [](F &, TkdDBGridBase &) { F::Key(Qt::Key_Down); F::Key(Qt::Key_PageDown, Qt::ControlModifier); }, {}, 2, 2, false},
    };
    RunSelectionCases(*this, grid, cases);
    // Ctrl+Left and Ctrl+Right keep the selection.
    ClickIndicator(grid, 3);
    Key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(Selected(grid), std::vector<int>{3});
    // PgDn moves by the record columns in view.
    ClickCell(grid, 0, 0);
    const int before = grid.CurrentRecord();
    Key(Qt::Key_PageDown);
    EXPECT_GT(grid.CurrentRecord(), before + 1);
}

// ---- keys ----------------------------------------------------------------------------------------

TEST_F(GridV_, KeysMoveWrapAppendAndCancel)
{
    Open(QStringLiteral("SELECT id, name, note, amount FROM t ORDER BY id"));
    TkdDBGridV &grid = GridV();
    ClickCell(grid, 0, 2);
    Key(Qt::Key_Return);
    EXPECT_EQ(grid.SelectedIndex(), 3);
    Key(Qt::Key_Return); // the last column: stays, the record is selected
    EXPECT_EQ(grid.SelectedIndex(), 3);
    EXPECT_EQ(Selected(grid), std::vector<int>{0});
    Key(Qt::Key_Tab); // wraps to the first column of the next record
    EXPECT_EQ(grid.CurrentRecord(), 1);
    EXPECT_EQ(grid.SelectedIndex(), 0);
    Key(Qt::Key_Backtab); // and back
    EXPECT_EQ(grid.CurrentRecord(), 0);
    EXPECT_EQ(grid.SelectedIndex(), 3);

    Key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(grid.CurrentRecord(), 29);
    Key(Qt::Key_Down); // appends an empty record
    EXPECT_EQ(FQuery->state(), db::DataSet::State::Insert);
    EXPECT_EQ(FModel->rowCount(), 31);
    Key(Qt::Key_Down); // an unchanged appended record at the end stays
    EXPECT_EQ(FModel->rowCount(), 31);
    Key(Qt::Key_Up); // and Up drops it
    EXPECT_EQ(FQuery->state(), db::DataSet::State::Browse);
    EXPECT_EQ(FModel->rowCount(), 30);
    EXPECT_EQ(grid.CurrentRecord(), 29);
    Key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(grid.CurrentRecord(), 0);
    EXPECT_FALSE(FDb.autoCommit());
}

TEST_F(GridV_, WheelOnlyScrolls)
{
    Open(QStringLiteral("SELECT id, name FROM t ORDER BY id"));
    TkdDBGridV &grid = GridV();
    ClickCell(grid, 0, 1);
    QTest::keyClicks(grid.InplaceEditor()->Edit(), QStringLiteral("changed"));
    ASSERT_EQ(FQuery->state(), db::DataSet::State::Edit);
    QWheelEvent wheel(QPointF(50, 50), grid.viewport()->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid.viewport(), &wheel);
    EXPECT_EQ(grid.CurrentRecord(), 0);
    EXPECT_EQ(FQuery->state(), db::DataSet::State::Edit); // nothing posted
    EXPECT_GT(grid.verticalScrollBar()->value(), 0);
    Key(Qt::Key_Escape);
}

// ---- copy and paste ------------------------------------------------------------------------------

TEST_F(GridV_, CopyCases)
{
    exec(QStringLiteral("UPDATE t SET name = E'a\\tb' WHERE id = 1"));
    exec(QStringLiteral("UPDATE t SET note = E'q\"r' WHERE id = 2"));
    exec(QStringLiteral("UPDATE t SET name = E'x\\r\\ny' WHERE id = 3"));
    Open(QStringLiteral("SELECT id, name, note, amount FROM t ORDER BY id"));
    TkdDBGridV &grid = GridV();
    struct Case {
        const char *what;
        std::function<void()> select;
        QString expected;
    };
    const std::vector<Case> cases = {
        {"a data cell: its value alone, unquoted", [&] { ClickCell(grid, 0, 1); }, QStringLiteral("a\tb")},
        {"the indicator: every shown field, one line without a break",
         [&] { ClickIndicator(grid, 0); }, QStringLiteral("1\t\"a\tb\"\tv1\t1.50")},
        {"Shift+click two down and two right: three lines of three fields",
         [&] { ClickCell(grid, 0, 1); ClickCell(grid, 2, 3, Qt::ShiftModifier); },
         QStringLiteral("\"a\tb\"\tv1\t1.50\r\nn2\t\"q\"\"r\"\t3.00\r\n\"x\r\ny\"\tv3\t4.50\r\n")},
        {"a hidden column is left out of a whole-record copy",
         [&] { grid.Columns()[2]->SetVisible(false); ClickIndicator(grid, 1); }, QStringLiteral("2\tn2\t3.00")},
        {"the item range follows display order",
         [&] { grid.Columns()[2]->SetVisible(true); grid.Columns()[3]->SetIndex(0); ClickCell(grid, 1, 0); ClickCell(grid, 1, 1, Qt::ShiftModifier); },
         QStringLiteral("3.00\t2")},
    };
    for (const Case &c : cases) {
        c.select();
        grid.copy();
        EXPECT_EQ(QGuiApplication::clipboard()->text(), c.expected) << c.what;
    }
}

TEST(GridClipboard, ParseIsTheInverseOfCopy)
{
    struct Case {
        QString text;
        QList<QStringList> records;
    };
    const std::vector<Case> cases = {
        {QStringLiteral("a\tb"), {{QStringLiteral("a"), QStringLiteral("b")}}},
        {QStringLiteral("a\tb\r\nc\td\r\n"), {{QStringLiteral("a"), QStringLiteral("b")}, {QStringLiteral("c"), QStringLiteral("d")}}},
        {QStringLiteral("\"x\ty\"\tz\n"), {{QStringLiteral("x\ty"), QStringLiteral("z")}}},
        {QStringLiteral("\"l1\r\nl2\"\t\"q\"\"r\"\r\n"), {{QStringLiteral("l1\r\nl2"), QStringLiteral("q\"r")}}},
        {QStringLiteral("\ta\t\r\n"), {{QString(), QStringLiteral("a"), QString()}}},
        {QStringLiteral("\"ab\"cd\te"), {{QStringLiteral("ab"), QStringLiteral("e")}}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(KdParseClipboardRecords(c.text), c.records) << c.text.toStdString();
}

TEST_F(GridDb, PasteRoundTripIntoAGridWithAHiddenAndAMovedColumn)
{
    exec(QStringLiteral("UPDATE t SET name = E'two\\r\\nlines' WHERE id = 2"));
    exec(QStringLiteral("UPDATE t SET name = E'tab\\there \"q\"' WHERE id = 3"));
    exec(QStringLiteral("CREATE TABLE u (id int PRIMARY KEY, name text, note varchar(20), amount numeric(10,2))"));
    Open(QStringLiteral("SELECT id, name, note, amount FROM t ORDER BY id"));
    TkdDBGridV &from = GridV();
    auto customize = [](TkdDBGridV &g) {
        g.Columns().SetState(csCustomized);
        g.Columns()[3]->SetIndex(0);      // amount first
        g.Columns()[3]->SetVisible(false); // note hidden (now at index 3)
    };
    customize(from);
    ClickIndicator(from, 1);
    ClickIndicator(from, 3, Qt::ShiftModifier);
    from.copy();
    const QString text = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(text.startsWith(QStringLiteral("3.00\t2\t\"two\r\nlines\"\r\n"))) << text.toStdString();

    db::Query target(&FDb);
    target.setSql(QStringLiteral("SELECT id, name, note, amount FROM u ORDER BY id"));
    target.open();
    TkdDataSetModel model(&target);
    TkdDBGridV to;
    to.SetOptions(dgDefaultOptions | dgBit(dgMultiSelect));
    to.SetDataSource(&model);
    customize(to);
    to.resize(600, 300);
    to.show();
    TkdOption::Global().UpdateToCommit = true;
    ASSERT_TRUE(to.PasteRecords(text));
    EXPECT_EQ(scalar(QStringLiteral("SELECT string_agg(id || '|' || name || '|' || coalesce(note, 'NULL') || '|' || amount, ';' ORDER BY id) FROM u")),
              scalar(QStringLiteral("SELECT string_agg(id || '|' || name || '|NULL|' || amount, ';' ORDER BY id) FROM t WHERE id BETWEEN 2 AND 4")));
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), QStringLiteral("2")); // in the copied order
    EXPECT_FALSE(FDb.autoCommit());
}

TEST_F(GridDb, FailingPasteUndoesEveryLineAndNamesTheLine)
{
    Open(QStringLiteral("SELECT id, name FROM t ORDER BY id"));
    TkdDBGridV &grid = GridV();
    ClickCell(grid, 0, 0);
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDOK);
    TkdOption::Global().UpdateToCommit = true;
    EXPECT_FALSE(grid.PasteRecords(QStringLiteral("100\tA\r\n1\tduplicate\r\n102\tC\r\n")));
    ASSERT_EQ(boxes.Shown().size(), 1);
    EXPECT_TRUE(boxes.Last().text.startsWith(QStringLiteral("2 行目を貼り付けできませんでした"))) << boxes.Last().text.toStdString();
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM t")), QStringLiteral("30"));
    EXPECT_EQ(FModel->rowCount(), 30);
    EXPECT_EQ(FQuery->state(), db::DataSet::State::Browse); // no empty record left open
    EXPECT_FALSE(FDb.inTransaction());

    // A zero byte is refused before anything reaches the server.
    boxes.Answer(IDOK);
    EXPECT_FALSE(grid.PasteRecords(QStringLiteral("200\ta") + QChar(0) + QStringLiteral("b\r\n")));
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM t")), QStringLiteral("30"));
    EXPECT_EQ(FModel->rowCount(), 30);
}

TEST_F(GridDb, ReadOnlyResultTakesNoInsertDeleteOrPaste)
{
    Open(QStringLiteral("SELECT a.id, b.name || '' AS name FROM t a JOIN t b ON b.id = a.id ORDER BY a.id"));
    TkdDBGridV &grid = GridV();
    ScriptedMessageBoxes boxes; // no box may appear
    ClickCell(grid, 0, 1);
    ASSERT_NE(grid.InplaceEditor(), nullptr);
    EXPECT_TRUE(grid.InplaceEditor()->Edit()->isReadOnly());
    Key(Qt::Key_Insert);
    EXPECT_EQ(FQuery->state(), db::DataSet::State::Browse);
    ClickIndicator(grid, 0);
    Key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_FALSE(grid.PasteRecords(QStringLiteral("1\tx\r\n")));
    EXPECT_EQ(FModel->rowCount(), 30);
    EXPECT_TRUE(boxes.Shown().isEmpty());
}

// ---- the auto-commit bracket, seen from a second connection -------------------------------------------

TEST_F(GridDb, UpdateToCommitDecidesWhatASecondConnectionSees)
{
    Open(QStringLiteral("SELECT id, name FROM t ORDER BY id"));
    TkdDBGridV &grid = GridV();
    QLineEdit other; // shown when the user leaves for it
    struct Case {
        const char *what;
        bool updateToCommit;
        std::function<void()> change;
        QString check;    // what a second connection counts
        QString expected; // with UpdateToCommit on
    };
    const std::vector<Case> cases = {
        {"Down posts", true, [&] { ClickCell(grid, 0, 1); QTest::keyClicks(grid.InplaceEditor()->Edit(), QStringLiteral("down")); Key(Qt::Key_Down); },
         QStringLiteral("SELECT count(*) FROM t WHERE name = 'down'"), QStringLiteral("1")},
        {"leaving the grid posts", true, [&] { ClickCell(grid, 1, 1); QTest::keyClicks(grid.InplaceEditor()->Edit(), QStringLiteral("leave")); Leave(other); },
         QStringLiteral("SELECT count(*) FROM t WHERE name = 'leave'"), QStringLiteral("1")},
        {"paste", true, [&] { grid.setFocus(); ClickCell(grid, 2, 0); grid.PasteRecords(QStringLiteral("500\tpasted\r\n")); },
         QStringLiteral("SELECT count(*) FROM t WHERE id = 500"), QStringLiteral("1")},
        {"editor Delete with a selected record", true, [&] {
             ScriptedMessageBoxes boxes;
             boxes.Answer(IDOK);
             ClickIndicator(grid, 5);
             ClickCell(grid, 5, 1, Qt::ControlModifier);
             ASSERT_NE(grid.InplaceEditor(), nullptr);
             QTest::keyClick(grid.InplaceEditor()->Edit(), Qt::Key_Delete);
             EXPECT_EQ(boxes.Shown().size(), 1);
             EXPECT_EQ(grid.SelectedRecords().Count(), 0);
         },
         QStringLiteral("SELECT count(*) FROM t WHERE id = 6"), QStringLiteral("0")},
    };
    for (const bool on : {true, false}) {
        for (const Case &c : cases) {
            exec(QStringLiteral("DELETE FROM t WHERE id = 500"));
            exec(QStringLiteral("INSERT INTO t VALUES (6, 'n6', 'v6', 9) ON CONFLICT DO NOTHING"));
            exec(QStringLiteral("UPDATE t SET name = 'n' || id WHERE id < 500"));
            Open(QStringLiteral("SELECT id, name FROM t ORDER BY id"));
            grid.SetDataSource(FModel.get());
            QApplication::setActiveWindow(&grid);
            grid.setFocus();
            QApplication::processEvents();
            TkdOption::Global().UpdateToCommit = on;
            const QString before = scalar(c.check);
            c.change();
            const QString seen = scalar(c.check);
            EXPECT_EQ(seen, on ? c.expected : before) << c.what << (on ? " (on)" : " (off)");
            EXPECT_FALSE(FDb.autoCommit()) << c.what;
            EXPECT_EQ(FDb.inTransaction(), !on) << c.what;
            if (FDb.inTransaction())
                FDb.rollback();
        }
    }
}

TEST_F(GridDb, OneOfTwoIdenticalRowsIsEdited)
{
    exec(QStringLiteral("CREATE TABLE d (a int, b text)"));
    exec(QStringLiteral("INSERT INTO d VALUES (1, 'x'), (1, 'x')"));
    Open(QStringLiteral("SELECT a, b FROM d"));
    TkdDBGridV &grid = GridV();
    TkdOption::Global().UpdateToCommit = true;
    ClickCell(grid, 1, 1);
    QTest::keyClicks(grid.InplaceEditor()->Edit(), QStringLiteral("y"));
    Key(Qt::Key_Up);
    EXPECT_EQ(scalar(QStringLiteral("SELECT string_agg(b, ',' ORDER BY b) FROM d")), QStringLiteral("x,y"));
}

TEST_F(GridDb, FailingPostOnLeavingIsShownAndTheRecordStaysInEdit)
{
    Open(QStringLiteral("SELECT id, amount FROM t ORDER BY id"));
    TkdDBGridV &grid = GridV();
    QLineEdit other; // shown when the user leaves for it
    ClickCell(grid, 0, 1);
    QTest::keyClicks(grid.InplaceEditor()->Edit(), QStringLiteral("abc"));
    ASSERT_EQ(FQuery->state(), db::DataSet::State::Edit);
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDOK);
    Leave(other);
    ASSERT_EQ(boxes.Shown().size(), 1) ;
    EXPECT_TRUE(boxes.Last().text.contains(QStringLiteral("numeric"))) << boxes.Last().text.toStdString();
    EXPECT_EQ(FQuery->state(), db::DataSet::State::Edit);
    EXPECT_EQ(FQuery->field(1).asString(), QStringLiteral("abc")); // the typed value is kept
    EXPECT_FALSE(FDb.autoCommit());
    // Moving off the record fails the same way and keeps the cell current.
    QApplication::setActiveWindow(&grid);
    grid.setFocus();
    boxes.Answer(IDOK);
    EXPECT_TRUE(grid.KeyDown(Qt::Key_Down, Qt::NoModifier));
    EXPECT_EQ(grid.CurrentRecord(), 0);
    EXPECT_EQ(boxes.Shown().size(), 2);
    grid.KeyDown(Qt::Key_Escape, Qt::NoModifier);
    EXPECT_EQ(FQuery->state(), db::DataSet::State::Browse);
}

// ---- the column-wise grid ------------------------------------------------------------------------------

TEST_F(GridH_, SizingOneRecordColumnSizesAllAndTheEndFetchesMore)
{
    exec(QStringLiteral("INSERT INTO t SELECT i, 'n' || i FROM generate_series(31, 3000) i"));
    Open(QStringLiteral("SELECT id, name, note, amount FROM t ORDER BY id"), 50);
    TkdDBGridH &grid = GridH();
    grid.horizontalHeader()->resizeSection(1, 120);
    EXPECT_EQ(grid.DefaultColWidth(), 120);
    EXPECT_EQ(grid.columnWidth(0), 120);
    EXPECT_EQ(grid.columnWidth(3), 120);
    EXPECT_GE(grid.GetColWidth(0), 64);
    const int before = FModel->rowCount();
    grid.horizontalScrollBar()->setValue(grid.horizontalScrollBar()->maximum());
    QApplication::processEvents();
    EXPECT_GT(FModel->rowCount(), before);
    // The title column is as wide as the longest caption + 4, never below 64.
    EXPECT_EQ(grid.verticalHeader()->width(), 64);
}

TEST_F(GridH_, CopyGivesOneLinePerRecordInFieldOrder)
{
    Open(QStringLiteral("SELECT id, name FROM t ORDER BY id"));
    TkdDBGridH &grid = GridH();
    ClickIndicator(grid, 0);
    ClickIndicator(grid, 1, Qt::ShiftModifier);
    grid.copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("1\tn1\r\n2\tn2\r\n"));
}

// ---- shared settings --------------------------------------------------------------------------------------

TEST_F(GridDb, DataFontOnBothGridsAndRecordWidthInCapitals)
{
    Open(QStringLiteral("SELECT id, name FROM t ORDER BY id"));
    TkdOption &option = TkdOption::Global();
    const TkdOption saved = option;
    option.DataFontName = QStringLiteral("Noto Sans Mono CJK JP");
    option.DataFontSize = 11;
    option.DataColWidthH = 20;
    TkdDBGridV &v = GridV();
    TkdDBGridH &h = GridH();
    ApplySharedSettings(&v);
    ApplySharedSettings(&h);
    EXPECT_TRUE(v.font().fixedPitch());
    EXPECT_EQ(v.font().pointSize(), 11);
    EXPECT_EQ(h.font(), v.font());
    EXPECT_EQ(h.DefaultColWidth(), QFontMetrics(h.font()).horizontalAdvance(QString(20, QLatin1Char('A'))));
    EXPECT_EQ(h.columnWidth(0), h.DefaultColWidth());
    option = saved;
}

} // namespace

// ---- pictures ------------------------------------------------------------------------------------------

// Both grids over the sample table with a selection and an open pick list, written as PNG files
// to VANTOR_SHOT_DIR when it is set, for a look by eye.
TEST(GridPictures, BothGridsOverTheSampleStaffTable)
{
    const QString dir = qEnvironmentVariable("VANTOR_SHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "VANTOR_SHOT_DIR not set";
    db::Connection conn;
    testdb::setLayerParams(conn, testdb::params().sampleDatabase);
    conn.setParam(QStringLiteral("CharacterSet"), QStringLiteral("UTF8"));
    conn.open();
    db::Query query(&conn);
    query.setParamCreation(false);
    query.setSql(QStringLiteral("SELECT * FROM hr.\"社員\" ORDER BY \"社員番号\""));
    query.open();
    TkdDataSetModel model(&query);
    struct Restore {
        TkdOption saved = TkdOption::Global();
        ~Restore() { TkdOption::Global() = saved; }
    } restore;
    TkdOption::Global().DataFontName = QStringLiteral("Noto Sans Mono CJK JP");
    TkdOption::Global().DataFontSize = 10;
    TkdOption::Global().DataColWidthH = 16;
    auto shoot = [&](TkdDBGridBase &grid, const QString &name, int pickItem) {
        grid.SetOptions(dgDefaultOptions | dgBit(dgMultiSelect));
        ApplySharedSettings(&grid);
        grid.SetDataSource(&model);
        grid.resize(1000, 420);
        grid.show();
        GridFixture::Activate(grid);
        grid.setFocus();
        QApplication::processEvents();
        GridFixture::ClickIndicator(grid, 1);
        GridFixture::ClickIndicator(grid, 3, Qt::ShiftModifier);
        GridFixture::ClickCell(grid, 4, pickItem, Qt::ControlModifier);
        ASSERT_NE(grid.InplaceEditor(), nullptr);
        grid.InplaceEditor()->DropDown();
        QApplication::processEvents();
        QPixmap shot = grid.grab();
        QWidget *list = grid.InplaceEditor()->ListBox();
        if (list->isVisible()) {
            QPainter p(&shot);
            p.drawPixmap(grid.mapFromGlobal(list->mapToGlobal(QPoint(0, 0))), list->grab());
        }
        EXPECT_TRUE(shot.save(dir + QLatin1Char('/') + name));
        grid.InplaceEditor()->CloseUp(false);
    };
    TkdDBGridV v;
    v.SetDataSource(&model);
    v.Columns()[3]->SetPickList({QStringLiteral("A01"), QStringLiteral("B02"), QStringLiteral("C03")});
    shoot(v, QStringLiteral("grid-v.png"), 3);
    v.SetDataSource(nullptr);
    TkdDBGridH h;
    h.SetDataSource(&model);
    h.Rows()[3]->SetPickList({QStringLiteral("A01"), QStringLiteral("B02"), QStringLiteral("C03")});
    shoot(h, QStringLiteral("grid-h.png"), 3);
}
