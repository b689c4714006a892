// The plan frame against the sandbox server: real plans as trees, copy and workbook rows,
// errors that keep the previous plan, and a second statement refused.
#include "controls/kdcomctrls.h"
#include "core/kddialogsupport.h"
#include "frames/plan_frame.h"
#include "frames_fixture.h"
#include "platform/workbook.h"
#include "support/testdb.h"
#include "../core/msghook.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class PlanFrameTest : public testdb::SchemaTest
{
protected:
    void SetUp() override
    {
        testdb::SchemaTest::SetUp();
        ResetFrameOptions();
        Conn = std::make_unique<FakeConnForm>();
        Conn->ExecuteSQL("SET search_path TO " + schema());
        exec("CREATE TABLE a (id int, x int)");
        exec("CREATE TABLE b (id int)");
    }
    void TearDown() override
    {
        Conn.reset();
        testdb::SchemaTest::TearDown();
    }
    // Each node as "depth:text".
    static QStringList Nodes(TfraExplan *f)
    {
        QStringList out;
        std::function<void(QTreeWidgetItem *, int)> walk = [&](QTreeWidgetItem *it, int d) {
            for (int i = 0; i < it->childCount(); ++i) {
                out << QString::number(d) + ":" + it->child(i)->text(0);
                walk(it->child(i), d + 1);
            }
        };
        walk(f->lstPlan()->invisibleRootItem(), 0);
        return out;
    }
    std::unique_ptr<FakeConnForm> Conn;
};

TEST_F(PlanFrameTest, RealPlansBecomeTrees)
{
    FrameHostForm<TfraExplan> host(Conn.get(), 47);
    TfraExplan *f = host.Frame;
    struct Case { QString sql; QStringList nodes; };
    const Case cases[] = {
        {"SELECT * FROM a", {"0:SELECT STATEMENT", "1:Seq Scan on a"}},
        {"create table c as select * from a", {"0:CREATE TABLE AS STATEMENT", "1:Seq Scan on a"}},
        {"SELECT * FROM a WHERE x > 1", {"0:SELECT STATEMENT", "1:Seq Scan on a Filter: (x > 1)"}},
        {"SELECT * FROM a JOIN b USING (id) WHERE a.x > (SELECT max(id) FROM b)",
         {"0:SELECT STATEMENT",
          "1:Hash Join Hash Cond: (a.id = b.id) InitPlan 1 (returns $0)",
          "2:Aggregate", "3:Seq Scan on b b_1",
          "2:Seq Scan on a Filter: (x > $0)",
          "2:Hash", "3:Seq Scan on b"}},
        {"SELECT id, (SELECT count(*) FROM b WHERE b.id = a.id) FROM a",
         {"0:SELECT STATEMENT", "1:Seq Scan on a SubPlan 1", "2:Aggregate", "3:Seq Scan on b Filter: (id = a.id)"}},
    };
    for (const Case &c : cases) {
        f->SetSQL(c.sql);
        f->ShowData();
        EXPECT_EQ(Nodes(f), c.nodes) << c.sql.toStdString();
    }
    QTreeWidgetItem *scan = f->lstPlan()->topLevelItem(0)->child(0);
    EXPECT_TRUE(scan->text(1).contains(".."));
    EXPECT_FALSE(scan->text(2).isEmpty());
    EXPECT_FALSE(scan->text(3).isEmpty());
    EXPECT_EQ(scan->foreground(0).color(), QTreeWidgetItem().foreground(0).color());
}

TEST_F(PlanFrameTest, ErrorsKeepThePlanAndASecondStatementIsRefused)
{
    FrameHostForm<TfraExplan> host(Conn.get(), 47);
    TfraExplan *f = host.Frame;
    f->SetSQL("SELECT * FROM a");
    f->ShowData();
    const QStringList before = Nodes(f);
    f->SetSQL("SELECT * FROM nowhere");
    EXPECT_ANY_THROW(f->ShowData());
    EXPECT_EQ(Nodes(f), before);
    f->SetSQL("SELECT 1; DROP TABLE b");
    EXPECT_ANY_THROW(f->ShowData());
    EXPECT_EQ(scalar("SELECT count(*) FROM pg_tables WHERE tablename = 'b' AND schemaname = '" + schema() + "'"), "1");
    // The switch hides the plan and the commands without asking again.
    f->btnPlan()->setChecked(false);
    f->btnPlanClick();
    EXPECT_FALSE(f->Button("btnCopy")->isEnabled());
    f->SetSQL("SELECT * FROM b");
    f->ShowData();
    EXPECT_EQ(Nodes(f), before);
}

TEST_F(PlanFrameTest, CopyAndWorkbookRows)
{
    FrameHostForm<TfraExplan> host(Conn.get(), 47);
    TfraExplan *f = host.Frame;
    // An empty tree copies an empty text and still reports success.
    TkdOption::Global().PasteDialog = false;
    {
        ScriptedMessageBoxes boxes;
        boxes.Answer(IDOK);
        f->btnCopyClick();
        EXPECT_EQ(QApplication::clipboard()->text(), "");
        EXPECT_EQ(boxes.Last().text, "クリップボードに出力しました。");
    }
    f->SetSQL("SELECT * FROM a WHERE x > 1");
    f->ShowData();
    TkdOption::Global().PasteDialog = true;
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDYES, [](MessageBoxRequest &r) { r.items[0].Checked = true; }).Answer(IDOK);
    f->btnCopyClick();
    const QStringList lines = QApplication::clipboard()->text().split("\r\n");
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines.at(0), "SELECT STATEMENT,,,");
    EXPECT_TRUE(lines.at(1).startsWith("  ┗Seq Scan on a Filter: (x > 1),0.00.."));
    EXPECT_EQ(TkdOption::Global().PasteColumn, 1);

    QTemporaryDir dir;
    const QString out = dir.path() + "/plan.xlsx";
    auto previous = SetSaveFileHook([&](const TSaveFileRequest &r) -> std::optional<QString> {
        EXPECT_TRUE(r.FileName.endsWith("EXECUTEPLAN.xlsx"));
        return out;
    });
    boxes.Answer(IDOK);
    f->btnExcelClick();
    SetSaveFileHook(previous);
    EXPECT_EQ(boxes.Last().text, "ファイルに出力しました。");
    wb::Workbook book = wb::Workbook::open(out);
    wb::Sheet &s = book.activeSheet();
    EXPECT_EQ(s.text(1, 1), "操作");
    EXPECT_EQ(s.text(1, 3), "BYTE");
    EXPECT_EQ(s.text(2, 1), "SELECT STATEMENT");
    EXPECT_EQ(s.text(3, 1), "  ┗Seq Scan on a Filter: (x > 1)");
    EXPECT_EQ(s.columnWidth(1), 50);
    EXPECT_EQ(TkdOption::Global().ExcelDir, dir.path() + "/");
    host.show();
    QTest::qWait(50);
    const QString shots = qEnvironmentVariable("VANTOR_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        f->SetSQL("SELECT * FROM a JOIN b USING (id) WHERE a.x > (SELECT max(id) FROM b)");
        f->ShowData();
        QTest::qWait(50);
        QDir().mkpath(shots);
        host.grab().save(shots + "/plan-frame.png");
    }
}

} // namespace
