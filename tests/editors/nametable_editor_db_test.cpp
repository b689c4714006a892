// The script-name table editor against the sandbox server: a database without registration,
// 登録 of a new name (created, filled with the objects of its own schema through a schema
// parameter that holds a quote, registered), a declined create and a table of another layout
// (never registered, a name stored by the options dialog beforehand taken back), the initial
// data of every schema and twice, a registered name that needs quotes, and the opener entry.
#include "controls/kdstdctl.h"
#include "core/kdopeners.h"
#include "editors/nametable_editor.h"
#include "frames/data_frame.h"
#include "platform/db/dbquery.h"
#include "editors/editor_fixture.h"

#include <QAction>
#include <QComboBox>

namespace {

class NameTableTest : public EditorDbTest
{
protected:
    void SetUp() override
    {
        EditorDbTest::SetUp();
        FSaved = TScriptOption::Global().NameTable;
        TScriptOption::Global().NameTable.clear();
        Database = testdb::params().database;
    }
    void TearDown() override
    {
        delete W;
        FlushEvents();
        TScriptOption::Global().NameTable = FSaved;
        for (const QString &s : Schemas)
            exec("DROP SCHEMA IF EXISTS " + QuoteIdentifier(s, true) + " CASCADE");
        EditorDbTest::TearDown();
    }
    TfrmNameTable *Window()
    {
        W = new TfrmNameTable(Conn);
        W->Prepare(Conn);
        FlushEvents();
        return W;
    }
    QString Registered() const
    {
        for (const QString &l : TScriptOption::Global().NameTable)
            if (l.section('=', 0, 0) == Database)
                return l.section('=', 1);
        return QString();
    }
    void SetNames(const QString &schemaName, const QString &name)
    {
        W->cmbSchema->setEditText(schemaName);
        W->cmbName->setEditText(name);
    }
    QString Count(const QString &table, const QString &where = "true")
    {
        return scalar("SELECT count(*) FROM " + table + " WHERE " + where);
    }
    QPointer<TfrmNameTable> W;
    QStringList FSaved;
    QString Database;
    QStringList Schemas;
};

TEST_F(NameTableTest, WithoutRegistrationTheGridStaysEmpty)
{
    TBoxes boxes;
    TfrmNameTable *w = Window();
    EXPECT_EQ(w->cmbDBName->currentText(), Conn->Identity());
    EXPECT_TRUE(w->cmbSchema->currentText().isEmpty());
    EXPECT_TRUE(w->cmbName->currentText().isEmpty());
    EXPECT_EQ(w->RelRes(), TfrmNameTable::rrDefault);
    EXPECT_FALSE(w->mnuInstData->isEnabled());
    w->mnuInstDataClick();
    EXPECT_TRUE(boxes.Texts.isEmpty()) << "the initial data does nothing without a table";
    // 登録 with blanks: the warnings, nothing registered.
    EXPECT_FALSE(GuardedCall([w] { w->btnCommitClick(); }));
    EXPECT_EQ(boxes.Texts.last(), "名前を入力して下さい。");
    w->cmbName->setEditText("n");
    EXPECT_FALSE(GuardedCall([w] { w->btnCommitClick(); }));
    EXPECT_EQ(boxes.Texts.last(), "スキーマ名を入力して下さい。");
    EXPECT_TRUE(Registered().isEmpty());
    EXPECT_TRUE(kdopeners::IsRegistered("TfrmNameTable"));
}

TEST_F(NameTableTest, NewTableIsCreatedFilledFromItsOwnSchemaAndRegistered)
{
    // A schema whose name holds a quote: the filter goes as a parameter.
    const QString own = testdb::uniqueName("it's");
    Schemas << own;
    const QString q = QuoteIdentifier(own, true);
    exec("CREATE SCHEMA " + q);
    exec("CREATE TABLE " + q + ".orders (id int PRIMARY KEY)");
    exec("CREATE VIEW " + q + ".v AS SELECT id FROM " + q + ".orders");
    exec("CREATE SEQUENCE " + q + ".sq");
    exec("CREATE FUNCTION " + q + ".f() RETURNS int LANGUAGE sql AS 'SELECT 1'");
    exec("CREATE TABLE " + schema() + ".elsewhere (a int)");
    TBoxes boxes;
    boxes.Answers = {IDYES, IDYES};
    TfrmNameTable *w = Window();
    SetNames(own, "names");
    ASSERT_TRUE(GuardedCall([w] { w->btnCommitClick(); }));
    FlushEvents();
    EXPECT_TRUE(boxes.Texts.contains("テーブルが見つかりません。新規作成しますか？"));
    EXPECT_TRUE(boxes.Texts.contains("初期データを登録しますか？"));
    EXPECT_EQ(Registered(), own + ".names") << "registered unquoted";
    EXPECT_EQ(w->RelRes(), TfrmNameTable::rrSelect);
    const QString table = q + ".names";
    EXPECT_EQ(Count(table, "object_type = 'TABLE' AND object_name = 'orders'"), "1");
    EXPECT_EQ(Count(table, "object_type = 'INDEX' AND object_name = 'orders_pkey'"), "1");
    EXPECT_EQ(Count(table, "object_type = 'VIEW'"), "1");
    EXPECT_EQ(Count(table, "object_type = 'SEQUENCE'"), "1");
    EXPECT_EQ(Count(table, "object_type = 'FUNCTION' AND script_name = 'f.SQL'"), "1");
    EXPECT_EQ(Count(table, "owner <> " + QuoteLiteral(own)), "0") << "only the objects of its own schema";
    EXPECT_TRUE(w->mnuInstData->isEnabled());
    ASSERT_NE(w->fraData->qryData(), nullptr);
    EXPECT_TRUE(w->fraData->qryData()->isActive());

    // Every object of the database, and twice doubles the rows. Other tests make and drop
    // objects in other schemas meanwhile, so the doubling is counted over this test's schemas.
    const QString mine = "owner IN (" + QuoteLiteral(own) + ", " + QuoteLiteral(schema()) + ")";
    const int before = Count(table, mine).toInt();
    boxes.OnBox = [](MessageBoxRequest &r) {
        if (!r.items.isEmpty())
            r.items[0].Checked = true;
    };
    boxes.Answers = {IDYES};
    w->mnuInstDataClick();
    EXPECT_EQ(Count(table, "owner = " + QuoteLiteral(schema()) + " AND object_name = 'elsewhere'"), "1");
    const int all = Count(table, mine).toInt() - before;
    EXPECT_GT(all, 1);
    EXPECT_GT(Count(table, "owner NOT IN (" + QuoteLiteral(own) + ", " + QuoteLiteral(schema()) + ")").toInt(), 0)
        << "objects of other schemas too";
    boxes.Answers = {IDYES};
    w->mnuInstDataClick();
    EXPECT_EQ(Count(table, mine).toInt(), before + 2 * all);

    // Changing the name closes the grid until 登録.
    w->cmbName->setEditText("other");
    EXPECT_FALSE(w->fraData->qryData()->isActive());
    EXPECT_FALSE(w->mnuInstData->isEnabled());
}

TEST_F(NameTableTest, OnlyAnExistingTableWithTheLayoutIsRegistered)
{
    exec("CREATE TABLE " + schema() + ".wrong (a int)");
    // The options dialog stores the typed name before the window opens.
    TScriptOption::Global().NameTable << Database + "=" + schema() + ".missing";
    TBoxes boxes;
    boxes.Answers = {IDOK, IDNO};
    TfrmNameTable *w = Window();
    EXPECT_EQ(w->cmbSchema->currentText(), schema());
    EXPECT_EQ(w->cmbName->currentText(), "missing");
    EXPECT_EQ(boxes.Texts.value(0), "表またはビューが存在しません。");
    EXPECT_EQ(boxes.Flags.value(0) & 0xF0, MB_ICONERROR);
    // Declined create: nothing is created and the name does not stay registered.
    w->btnCommitClick();
    EXPECT_EQ(boxes.Texts.last(), "テーブルが見つかりません。新規作成しますか？");
    EXPECT_TRUE(Registered().isEmpty());
    EXPECT_FALSE(Exists(schema() + ".missing"));

    // A table of another layout.
    SetNames(schema(), "wrong");
    w->btnCommitClick();
    EXPECT_EQ(boxes.Texts.last(), "テーブルレイアウトが一致しません。");
    EXPECT_EQ(w->RelRes(), TfrmNameTable::rrLayout);
    EXPECT_TRUE(Registered().isEmpty());
}

TEST_F(NameTableTest, RegisteredNameThatNeedsQuotes)
{
    const QString s = testdb::uniqueName("Tools X");
    Schemas << s;
    exec("CREATE SCHEMA " + QuoteIdentifier(s, true));
    exec("CREATE TABLE " + QuoteIdentifier(s, true) + ".\"Names\" (owner varchar(255), object_name varchar(255), "
         "object_type varchar(255), script_name varchar(255))");
    exec("INSERT INTO " + QuoteIdentifier(s, true) + ".\"Names\" VALUES ('a', 'b', 'TABLE', 'b.SQL')");
    TScriptOption::Global().NameTable << Database + "=" + s + ".Names";
    TBoxes boxes;
    TfrmNameTable *w = Window();
    EXPECT_TRUE(boxes.Texts.isEmpty()) << boxes.Texts.join('|').toStdString();
    EXPECT_EQ(w->RelRes(), TfrmNameTable::rrSelect);
    ASSERT_NE(w->fraData->qryData(), nullptr);
    EXPECT_EQ(w->fraData->qryData()->recordCount(), 1);
    EXPECT_TRUE(w->windowTitle().startsWith("スクリプト名テーブル編集 - " + s + ".Names @ ")) << w->windowTitle().toStdString();
    ASSERT_TRUE(GuardedCall([w] { w->btnCommitClick(); }));
    EXPECT_EQ(Registered(), s + ".Names");
}

} // namespace
