// The data-set model under blocks arriving, edits and a lost backend; the column and row
// models of the grids: defaults, assigned values, write-through, state and streaming.
#include "controls/dbgrid_fixture.h"

#include <QAbstractItemModelTester>
#include <QBuffer>
#include <QScrollBar>
#include <QSignalSpy>

namespace {

using ModelTest = GridFixture;

TEST_F(ModelTest, StaysConsistentWhileBlocksArriveAndRecordsChange)
{
    Open(QStringLiteral("SELECT * FROM t ORDER BY id"), 7);
    EXPECT_EQ(FModel->rowCount(), 7);
    EXPECT_EQ(FModel->columnCount(), 4);
    EXPECT_TRUE(FModel->canFetchMore(QModelIndex()));
    {
        // The tester itself fetches while it checks: every block arrives under it.
        QAbstractItemModelTester tester(FModel.get(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        while (FModel->canFetchMore(QModelIndex()))
            FModel->fetchMore(QModelIndex());
        EXPECT_EQ(FModel->rowCount(), 30);
    }

    // Rows fetched by navigation come in one insert, not one per block.
    Open(QStringLiteral("SELECT * FROM t ORDER BY id"), 3);
    QSignalSpy inserted(FModel.get(), &QAbstractItemModel::rowsInserted);
    FQuery->last();
    EXPECT_EQ(FModel->rowCount(), 30);
    EXPECT_EQ(inserted.count(), 1);
    QAbstractItemModelTester tester2(FModel.get(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy reset(FModel.get(), &QAbstractItemModel::modelReset);

    // Insert, post, delete and cancel change single rows and never reset the model.
    FQuery->setRecNo(5);
    FQuery->insert();
    EXPECT_EQ(FModel->rowCount(), 31);
    FQuery->field(0).setText(QStringLiteral("100"));
    FQuery->field(1).setText(QStringLiteral("新しい"));
    FQuery->post();
    EXPECT_EQ(FModel->data(FModel->index(4, 1)).toString(), QStringLiteral("新しい"));
    FQuery->deleteRecord();
    EXPECT_EQ(FModel->rowCount(), 30);
    FQuery->append();
    EXPECT_EQ(FModel->rowCount(), 31);
    FQuery->cancel();
    EXPECT_EQ(FModel->rowCount(), 30);
    EXPECT_EQ(reset.count(), 0);
}

TEST_F(ModelTest, NullIsEmptyButDistinctAndLongValuesAreCutForPainting)
{
    exec(QStringLiteral("INSERT INTO t VALUES (100, NULL, '', 0), (101, repeat('x', 1000000), E'a\\r\\nb', 1)"));
    Open(QStringLiteral("SELECT name, note FROM t WHERE id >= 100 ORDER BY id"));
    EXPECT_EQ(FModel->data(FModel->index(0, 0)).toString(), QString());
    EXPECT_TRUE(FModel->data(FModel->index(0, 0), TkdDataSetModel::NullRole).toBool());
    EXPECT_EQ(FModel->data(FModel->index(0, 1)).toString(), QString());
    EXPECT_FALSE(FModel->data(FModel->index(0, 1), TkdDataSetModel::NullRole).toBool());
    const QString big = FModel->data(FModel->index(1, 0)).toString();
    EXPECT_EQ(big.size(), TkdDataSetModel::MaxDisplayChars + 1);
    EXPECT_EQ(FModel->data(FModel->index(1, 0), Qt::EditRole).toString().size(), 1000000);
    EXPECT_EQ(FModel->data(FModel->index(1, 1)).toString(), QStringLiteral("a…"));
    EXPECT_EQ(FModel->data(FModel->index(1, 1), Qt::EditRole).toString(), QStringLiteral("a\r\nb"));
}

TEST_F(ModelTest, LostBackendWhileScrollingGivesOneMessageAndKeepsTheRows)
{
    exec(QStringLiteral("INSERT INTO t SELECT i, 'n' || i FROM generate_series(31, 3000) i"));
    Open(QStringLiteral("SELECT * FROM t ORDER BY id"), 50);
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDOK);
    TkdDBGridV &grid = GridV();
    QSignalSpy failed(FModel.get(), &TkdDataSetModel::FetchFailed);
    exec(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(FDb.backendPid()));
    QTest::qWait(100);
    for (int i = 0; i < 3; ++i) {
        if (FModel->canFetchMore(QModelIndex()))
            FModel->fetchMore(QModelIndex());
        grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
        QApplication::processEvents();
    }
    EXPECT_EQ(failed.count(), 1);
    EXPECT_FALSE(FModel->canFetchMore(QModelIndex()));
    EXPECT_EQ(FModel->rowCount(), FQuery->fetchedCount());
    EXPECT_LT(FModel->rowCount(), 3000);
    EXPECT_FALSE(FQuery->fetchedAll()); // never shown as complete
    ASSERT_EQ(boxes.Shown().size(), 1);
    EXPECT_TRUE(boxes.Last().text.contains(QStringLiteral("残りの行を読み込めませんでした")));
    EXPECT_EQ(FModel->data(FModel->index(4, 1)).toString(), QStringLiteral("n5"));
}

TEST_F(ModelTest, ScrollingWhileTheConnectionIsBusyFetchesLater)
{
    exec(QStringLiteral("INSERT INTO t SELECT i, 'n' || i FROM generate_series(31, 3000) i"));
    Open(QStringLiteral("SELECT * FROM t ORDER BY id"), 50);
    QSignalSpy failed(FModel.get(), &TkdDataSetModel::FetchFailed);
    // A waiter that scrolls while a statement runs on the same connection: the fetch is
    // refused, nothing is marked failed, and the rows come once the call has returned.
    struct Scroller : db::CallWaiter {
        TkdDataSetModel *model = nullptr;
        int tries = 0;
        void waiting(db::Connection &) override
        {
            if (tries++ == 0 && model->canFetchMore(QModelIndex()))
                model->fetchMore(QModelIndex());
        }
    } scroller;
    scroller.model = FModel.get();
    db::CallWaiter *previous = db::setCallWaiter(&scroller);
    FDb.execute(QStringLiteral("SELECT pg_sleep(0.3)"));
    db::setCallWaiter(previous);
    EXPECT_GT(scroller.tries, 0);
    EXPECT_EQ(failed.count(), 0);
    EXPECT_TRUE(FModel->canFetchMore(QModelIndex()));
    while (FModel->canFetchMore(QModelIndex()))
        FModel->fetchMore(QModelIndex());
    EXPECT_EQ(FModel->rowCount(), 3000);
}

// ---- column and row models ------------------------------------------------------------------

TEST_F(ModelTest, ColumnSettingsFollowDefaultsUntilAssigned)
{
    Open(QStringLiteral("SELECT id, name FROM t ORDER BY id"));
    TkdDBGridV &grid = GridV();
    TDBGridColumns &cols = grid.Columns();
    ASSERT_EQ(cols.Count(), 2);
    EXPECT_EQ(cols.State(), csDefault);
    auto id = [&] { return cols[0]; };
    struct Case {
        const char *what;
        std::function<bool()> check;
    };
    const std::vector<Case> cases = {
        {"a new column: 7 drop-down rows, cbsAuto, visible, not expanded",
         [&] {
             TDBGridColumns scratch(nullptr);
             TColumn *c = scratch.Add();
             return c->DropDownRows() == 7 && c->ButtonStyle() == cbsAuto && c->Visible() && !c->Expanded();
         }},
        {"numbers are right-aligned by the field, text left",
         [&] { return id()->Alignment() == TAlignment::Right && cols[1]->Alignment() == TAlignment::Left; }},
        {"a hidden column reads width -1 even with a width assigned",
         [&] {
             TDBGridColumns scratch(nullptr);
             TColumn *c = scratch.Add();
             c->SetWidth(100);
             c->SetVisible(false);
             return c->Width() == -1;
         }},
        {"setting width -1 stores nothing",
         [&] {
             TDBGridColumns scratch(nullptr);
             TColumn *c = scratch.Add();
             c->SetWidth(-1);
             return !c->IsAssigned(cvWidth) && c->Width() == 64;
         }},
        {"a colour equal to the grid's still sets the flag, and is not streamed while equal",
         [&] {
             const QColor before = grid.Color();
             id()->SetColor(before);
             const bool flagged = id()->IsAssigned(cvColor);
             const bool streamed = id()->Save().contains(QStringLiteral("Color"));
             grid.SetColor(Qt::yellow);
             const bool fixed = id()->Color() == before;
             grid.SetColor(before);
             return flagged && !streamed && fixed;
         }},
        {"a default column's caption goes to the field's label and sets no flag",
         [&] {
             cols[1]->Title()->SetCaption(QStringLiteral("名前"));
             return !cols[1]->IsAssigned(cvTitleCaption) && FQuery->field(1).displayName() == QStringLiteral("名前")
                    && cols[1]->Title()->DefaultCaption() == QStringLiteral("名前");
         }},
        {"a default column's alignment goes to the field",
         [&] {
             cols[1]->SetAlignment(TAlignment::Center);
             return !cols[1]->IsAssigned(cvAlignment) && FQuery->field(1).alignment() == TAlignment::Center;
         }},
        {"RestoreDefaults forgets every assigned setting",
         [&] {
             id()->SetFont(QFont(QStringLiteral("Serif"), 20));
             id()->SetReadOnly(true);
             id()->SetPickList({QStringLiteral("a")});
             id()->RestoreDefaults();
             return id()->AssignedValues() == 0 && id()->PickList().isEmpty() && id()->Font() == grid.font();
         }},
    };
    for (const Case &c : cases)
        EXPECT_TRUE(c.check()) << c.what;
}

TEST_F(ModelTest, DefaultColumnsBindByPositionCustomizedOnesByName)
{
    // Two columns of the same name stay two columns with their own values.
    Open(QStringLiteral("SELECT id AS x, name AS x, note FROM t ORDER BY id"));
    TkdDBGridV &grid = GridV();
    ASSERT_EQ(grid.Columns().Count(), 3);
    EXPECT_EQ(grid.Columns()[0]->FieldIndex(), 0);
    EXPECT_EQ(grid.Columns()[1]->FieldIndex(), 1);
    EXPECT_EQ(grid.Columns()[1]->Field()->asString(), QStringLiteral("n1"));

    grid.Columns().SetState(csCustomized);
    EXPECT_EQ(grid.Columns().State(), csCustomized);
    ASSERT_EQ(grid.Columns().Count(), 3);
    EXPECT_EQ(grid.Columns()[2]->FieldName(), QStringLiteral("note"));
    EXPECT_EQ(grid.Columns()[2]->FieldIndex(), 2);
    grid.Columns().SetState(csDefault);
    EXPECT_EQ(grid.Columns().State(), csDefault);

    // Customizing without a data set leaves the collection empty and default.
    TkdDBGridV bare;
    bare.Columns().SetState(csCustomized);
    EXPECT_EQ(bare.Columns().Count(), 0);
    EXPECT_EQ(bare.Columns().State(), csDefault);
}

TEST_F(ModelTest, StreamRoundTripKeepsTheWrittenSettings)
{
    Open(QStringLiteral("SELECT id, name, note FROM t ORDER BY id"));
    TkdDBGridV &grid = GridV();
    grid.Columns().RebuildColumns();
    TColumn *name = grid.Columns()[1];
    name->SetWidth(150);
    name->SetColor(QColor(0x12, 0x34, 0x56));
    name->Title()->SetCaption(QStringLiteral("社員名"));
    name->Title()->SetAlignment(TAlignment::Center);
    name->SetPickList({QStringLiteral("一"), QStringLiteral("二")});
    name->SetButtonStyle(cbsEllipsis);
    name->SetDropDownRows(3);
    grid.Columns()[2]->SetVisible(false);
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    grid.Columns().SaveToStream(buffer);
    buffer.seek(0);

    TkdDBGridV other;
    other.SetDataSource(FModel.get());
    other.Columns().LoadFromStream(buffer);
    ASSERT_EQ(other.Columns().Count(), 3);
    EXPECT_EQ(other.Columns().State(), csCustomized);
    TColumn *copy = other.Columns()[1];
    EXPECT_EQ(copy->FieldName(), QStringLiteral("name"));
    EXPECT_EQ(copy->Width(), 150);
    EXPECT_EQ(copy->Color(), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(copy->Title()->Caption(), QStringLiteral("社員名"));
    EXPECT_EQ(copy->Title()->Alignment(), TAlignment::Center);
    EXPECT_EQ(copy->PickList(), (QStringList{QStringLiteral("一"), QStringLiteral("二")}));
    EXPECT_EQ(copy->ButtonStyle(), cbsEllipsis);
    EXPECT_EQ(copy->DropDownRows(), 3);
    EXPECT_FALSE(other.Columns()[2]->Visible());
    EXPECT_FALSE(other.Columns()[0]->IsAssigned(cvWidth)); // nothing written, nothing assigned

    // A malformed stream leaves the collection as it was.
    QBuffer bad;
    bad.setData("{\"Columns\": 5}");
    bad.open(QIODevice::ReadOnly);
    EXPECT_THROW(other.Columns().LoadFromStream(bad), std::runtime_error);
    EXPECT_EQ(other.Columns().Count(), 3);

    // Rows keep the same rules without a width.
    TkdDBGridH h;
    h.SetDataSource(FModel.get());
    h.Rows().RebuildRows();
    h.Rows()[0]->SetWidth(99);
    EXPECT_EQ(h.Rows()[0]->Width(), -1);
    QBuffer rows;
    rows.open(QIODevice::ReadWrite);
    h.Rows().SaveToStream(rows);
    EXPECT_FALSE(rows.data().contains("Width"));
    EXPECT_TRUE(rows.data().contains("\"Rows\""));
}

} // namespace
