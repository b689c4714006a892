// The data frame in a small host window against the sandbox server: open, sort, row limit,
// editing switch, deletion with and without UpdateToCommit, column widths, copy, workbook
// output read back, aggregates, the text editor and the date popup.
#include "controls/kddbgrid.h"
#include "controls/kddbmodel.h"
#include "controls/kdmemo.h"
#include "controls/kdstdctl.h"
#include "core/kddialogsupport.h"
#include "core/kdsub_service.h"
#include "frames/data_frame.h"
#include "frames/date_popup.h"
#include "frames/memo_dialog.h"
#include "frames/xls_sql_dialog.h"
#include "frames_fixture.h"
#include "platform/db/dbquery.h"
#include "platform/workbook.h"
#include "support/testdb.h"
#include "../core/msghook.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

class DataHost : public TkdForm, public TkdDataFrameHost
{
public:
    DataHost(TkdConnForm *conn, TDataHostKind kind) : TkdForm(conn->Widget()), Kind(kind)
    {
        setAttribute(Qt::WA_DeleteOnClose, false);
        auto *l = new QVBoxLayout(this);
        Frame = new TfraData(this);
        l->addWidget(Frame);
        resize(900, 500);
    }
    TDataHostKind DataHostKind() const override { return Kind; }
    std::optional<int> DataRowLimit() const override { return Limit; }
    QString DataColumnComment(const QString &f) const override { return Comments.value(f); }
    void DataReRead() override
    {
        ++ReReads;
        Frame->Prepare();
        Frame->Open();
    }
    TDataHostKind Kind;
    std::optional<int> Limit;
    QHash<QString, QString> Comments;
    int ReReads = 0;
    TfraData *Frame;
};

class DataFrameTest : public testdb::SchemaTest
{
protected:
    void SetUp() override
    {
        testdb::SchemaTest::SetUp();
        ResetFrameOptions();
        ASSERT_TRUE(FTemp.isValid());
        TkdOption::Global().TempDir = FTemp.path() + QStringLiteral("/tmp/");
        TkdOption::Global().ExcelDir = FTemp.path() + QStringLiteral("/xls/");
        TkdOption::Global().UpdateToCommit = true;
        Conn = std::make_unique<FakeConnForm>();
        Conn->ExecuteSQL(QStringLiteral("SET search_path TO ") + schema());
    }
    void TearDown() override
    {
        Conn.reset();
        testdb::SchemaTest::TearDown();
    }
    std::unique_ptr<DataHost> Host(TDataHostKind kind = TDataHostKind::Other)
    {
        return std::make_unique<DataHost>(Conn.get(), kind);
    }
    static QStringList Column(TfraData *f, int col)
    {
        QStringList out;
        db::Query *q = f->qryData();
        q->first();
        while (!q->eof()) {
            out << q->field(col).asString();
            q->next();
        }
        q->first();
        return out;
    }
    static void Show(TfraData *f, const QString &sql)
    {
        f->SetSQL(sql);
        f->Prepare();
        f->Open();
    }
    QTemporaryDir FTemp;
    std::unique_ptr<FakeConnForm> Conn;
};

TEST_F(DataFrameTest, SortCycleUsesPositionsAndKeepsParameters)
{
    exec("CREATE TABLE t (a int, b text)");
    exec("INSERT INTO t VALUES (1,'c'),(2,'b'),(3,'a'),(4,'d')");
    auto host = Host();
    TfraData *f = host->Frame;
    f->SetSQL(QStringLiteral("SELECT a, b FROM t WHERE a > :lo;"));
    f->Prepare();
    f->qryData()->paramByName(QStringLiteral("lo")).setAsInteger(1);
    f->Open();
    EXPECT_EQ(Column(f, 0).size(), 3);
    f->SortBy(1); // b ascending
    EXPECT_EQ(Column(f, 1), (QStringList{"a", "b", "c"}));
    EXPECT_TRUE(f->qryData()->sqlText().endsWith("\nORDER BY 2"));
    f->SortBy(1); // same column: descending
    EXPECT_EQ(Column(f, 1), (QStringList{"c", "b", "a"}));
    f->SortBy(1); // and ascending again
    EXPECT_EQ(Column(f, 1), (QStringList{"a", "b", "c"}));
    f->SortBy(0);
    EXPECT_EQ(Column(f, 0), (QStringList{"2", "3", "4"}));
    EXPECT_EQ(f->qryData()->paramByName(QStringLiteral("lo")).value().toInt(), 1);
    // The column-wise grid sorts the same way.
    f->btnGridTypeClick();
    f->SortBy(0);
    EXPECT_EQ(Column(f, 0), (QStringList{"4", "3", "2"}));
}

TEST_F(DataFrameTest, SortRulesForOrderByWindowFunctionsAndLimit)
{
    exec("CREATE TABLE t (a int)");
    exec("INSERT INTO t SELECT generate_series(1, 10)");
    auto host = Host();
    TfraData *f = host->Frame;
    // A top-level ORDER BY of the statement is kept; no second clause is added.
    Show(f, QStringLiteral("select a from t order by a desc"));
    f->SortBy(0);
    EXPECT_EQ(Column(f, 0).first(), "10");
    EXPECT_FALSE(f->qryData()->sqlText().contains("ORDER BY 1"));
    // A window function's ORDER BY does not block sorting.
    Show(f, QStringLiteral("SELECT a, row_number() OVER (ORDER BY a DESC) AS r FROM t"));
    f->SortBy(1);
    EXPECT_EQ(Column(f, 1).first(), "1");
    EXPECT_EQ(Column(f, 0).first(), "10");
    // A statement ending in LIMIT is wrapped, so the server accepts the sort.
    Show(f, QStringLiteral("SELECT a FROM t ORDER BY a LIMIT 3 -- first three"));
    EXPECT_EQ(Column(f, 0), (QStringList{"1", "2", "3"}));
    Show(f, QStringLiteral("SELECT a FROM t WHERE a < 4 LIMIT 3;"));
    f->SortBy(0);
    f->SortBy(0);
    EXPECT_EQ(Column(f, 0), (QStringList{"3", "2", "1"}));
}

TEST_F(DataFrameTest, RowLimitAndClientEncodingOnlyInEditors)
{
    exec("CREATE TABLE t (a int)");
    exec("INSERT INTO t SELECT generate_series(1, 10)");
    for (TDataHostKind kind : {TDataHostKind::Table, TDataHostKind::View, TDataHostKind::Other}) {
        auto host = Host(kind);
        host->Limit = 4;
        Show(host->Frame, QStringLiteral("SELECT a FROM t;"));
        const bool editor = kind != TDataHostKind::Other;
        EXPECT_EQ(Column(host->Frame, 0).size(), editor ? 4 : 10);
        EXPECT_EQ(host->Frame->qryData()->sqlText().endsWith("\nLIMIT 4"), editor);
    }
    auto host = Host(TDataHostKind::Table);
    Show(host->Frame, QStringLiteral("SELECT a FROM t"));
    EXPECT_EQ(Column(host->Frame, 0).size(), 10); // an empty row-limit box adds nothing
}

TEST_F(DataFrameTest, ButtonsFollowTheQueryAndTheEditingSwitch)
{
    exec("CREATE TABLE t (a int PRIMARY KEY, b text)");
    exec("INSERT INTO t VALUES (1, 'x')");
    auto host = Host();
    TfraData *f = host->Frame;
    EXPECT_FALSE(f->Button("btnCopy")->isEnabled());
    Show(f, QStringLiteral("SELECT * FROM t"));
    EXPECT_TRUE(f->Button("btnCopy")->isEnabled());
    EXPECT_FALSE(f->Button("btnDel")->isEnabled()); // read-only by default
    f->btnUpdate()->setChecked(true);
    f->btnUpdateClick();
    EXPECT_TRUE(f->Button("btnDel")->isEnabled());
    EXPECT_TRUE(f->grdData1()->HasOption(dgEditing));
    // A join cannot be written: warning, and the switch is released.
    Show(f, QStringLiteral("SELECT t.a, u.a FROM t, t u"));
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDOK);
    f->btnUpdate()->setChecked(true);
    f->btnUpdateClick();
    EXPECT_EQ(boxes.Last().text, "この結果セットには書き込み出来ません。");
    EXPECT_FALSE(f->btnUpdate()->isChecked());
    EXPECT_FALSE(f->grdData1()->HasOption(dgEditing));
}

TEST_F(DataFrameTest, DeleteCommitsOrStaysInTheOpenBlock)
{
    exec("CREATE TABLE t (a int, b text)");
    exec("INSERT INTO t VALUES (1,'x'),(1,'x'),(2,'y'),(3,'z'),(4,'w')");
    for (bool commit : {true, false}) {
        TkdOption::Global().UpdateToCommit = commit;
        auto host = Host();
        TfraData *f = host->Frame;
        f->btnUpdate()->setChecked(true);
        Show(f, QStringLiteral("SELECT a, b FROM t ORDER BY a"));
        ScriptedMessageBoxes boxes;
        boxes.Answer(IDOK);
        f->btnDelClick(); // the current record: one of the two identical rows
        EXPECT_EQ(Conn->FDb.inTransaction(), !commit);
        EXPECT_FALSE(Conn->FDb.autoCommit());
        EXPECT_EQ(scalar("SELECT count(*) FROM t WHERE a = 1"), commit ? "1" : "2");
        if (!commit)
            Conn->FDb.rollback();
    }
}

TEST_F(DataFrameTest, MultiDeleteReopensAndStopsAtAFailure)
{
    exec("CREATE TABLE t (a int PRIMARY KEY)");
    exec("INSERT INTO t SELECT generate_series(1, 6)");
    exec("CREATE FUNCTION no5() RETURNS trigger LANGUAGE plpgsql AS "
         "$$BEGIN IF OLD.a = 5 THEN RAISE EXCEPTION 'keep five'; END IF; RETURN OLD; END$$");
    exec("CREATE TRIGGER t_no5 BEFORE DELETE ON t FOR EACH ROW EXECUTE FUNCTION no5()");
    auto host = Host();
    TfraData *f = host->Frame;
    f->btnUpdate()->setChecked(true);
    Show(f, QStringLiteral("SELECT a FROM t ORDER BY a"));
    auto select = [&](std::initializer_list<int> recs) {
        for (int r : recs) {
            f->qryData()->setRecNo(r);
            f->grdData1()->SelectedRows().SetCurrentRowSelected(true);
        }
    };
    select({1, 2, 3});
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDOK);
    f->btnDelClick();
    EXPECT_EQ(Column(f, 0), (QStringList{"4", "5", "6"})); // reopened
    EXPECT_EQ(f->grdData1()->SelectedRows().Count(), 0);
    // Last first: 6 goes, 5 refuses, 4 stays; the message says so and the result is re-read.
    select({1, 2, 3});
    boxes.Answer(IDOK).Answer(IDOK);
    f->btnDelClick();
    EXPECT_TRUE(boxes.Last().text.contains("keep five"));
    EXPECT_TRUE(boxes.Last().text.contains("選択した 3 件のうち、1 件を削除しました。"));
    EXPECT_EQ(Column(f, 0), (QStringList{"4", "5"}));
    EXPECT_FALSE(Conn->FDb.autoCommit());
}

TEST_F(DataFrameTest, ColumnWidthsAreStoredPerTableWithAwkwardTitles)
{
    exec("CREATE TABLE t (\"a=b\" int, \"[x];y\" text, \"Mixed\" text, mixed text, \"名前\" text)");
    auto host = Host(TDataHostKind::Table);
    TfraData *f = host->Frame;
    f->SetTableName(schema() + QStringLiteral(".t"));
    Show(f, QStringLiteral("SELECT * FROM t"));
    for (int i = 0; i < 5; ++i)
        f->grdData1()->Columns()[i]->SetWidth(40 + i * 7);
    f->qryData()->close();
    const QString file = f->WidthFile();
    ASSERT_TRUE(QFile::exists(file)) << file.toStdString();
    Show(f, QStringLiteral("SELECT * FROM t"));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(f->grdData1()->Columns()[i]->Width(), 40 + i * 7) << i;
    // The WHERE history in the same file survives.
    SaveWhereHistory(schema(), QStringLiteral("t"), {QStringLiteral("a = 1")});
    f->qryData()->close();
    QStringList where;
    LoadWhereHistory(schema(), QStringLiteral("t"), where);
    EXPECT_EQ(where, QStringList{"a = 1"});

    // 100 columns: nothing is written.
    QString cols;
    for (int i = 0; i < 100; ++i)
        cols += QStringLiteral("%1c%2 int").arg(i ? "," : "").arg(i);
    exec("CREATE TABLE wide (" + cols + ")");
    auto wide = Host(TDataHostKind::Table);
    wide->Frame->SetTableName(schema() + QStringLiteral(".wide"));
    Show(wide->Frame, QStringLiteral("SELECT * FROM wide"));
    wide->Frame->qryData()->close();
    EXPECT_FALSE(QFile::exists(wide->Frame->WidthFile()));
    // Other hosts keep no widths.
    auto other = Host();
    other->Frame->SetTableName(schema() + QStringLiteral(".t"));
    EXPECT_TRUE(other->Frame->WidthFile().isEmpty());
}

TEST_F(DataFrameTest, CopyQuotesValuesAndFollowsTheHeadingOptions)
{
    exec("CREATE TABLE t (n int, s text, b bytea)");
    exec("INSERT INTO t VALUES (1, E'two\\r\\nlines', '\\xdead'), (2, 'say \"hi\"', NULL), (NULL, E'a\\tb', '')");
    auto host = Host();
    host->Comments.insert("s", "説明");
    TfraData *f = host->Frame;
    Show(f, QStringLiteral("SELECT n AS \"番号\", s, b FROM t ORDER BY n NULLS LAST"));
    TkdOption &opt = TkdOption::Global();
    struct Case { bool dialog; int title; bool headingBox; bool commaBox; QString firstLine; QString sep; };
    const Case cases[] = {
        {false, tmColumnName, false, false, "番号\ts\tb", "\t"},
        {false, tmNone, false, false, "", "\t"},
        {false, tmComment, false, false, "番号\t説明\tb", "\t"},
        {true, tmNone, true, true, "番号,s,b", ","},
        {true, tmColumnName, false, false, "", "\t"},
    };
    for (const Case &c : cases) {
        opt.PasteDialog = c.dialog;
        opt.PasteTitle = TTitleMode(c.title);
        opt.PasteColumn = 0;
        ScriptedMessageBoxes boxes;
        if (c.dialog)
            boxes.Answer(IDYES, [&](MessageBoxRequest &r) {
                r.items[0].Checked = c.headingBox;
                r.items[1].Checked = c.commaBox;
            });
        boxes.Answer(IDOK);
        f->btnCopyClick();
        EXPECT_EQ(boxes.Last().text, "クリップボードに出力しました。");
        const QString text = QApplication::clipboard()->text();
        const QString body = QStringLiteral("1%1\"two\nlines\"%1DEAD\r\n2%1\"say \"\"hi\"\"\"%1\r\n%1\"a\tb\"%1\r\n").arg(c.sep);
        EXPECT_EQ(text, c.firstLine.isEmpty() ? body : c.firstLine + "\r\n" + body) << c.title;
        EXPECT_EQ(opt.PasteColumn, c.sep == "," ? 1 : 0);
    }
    // Cancelling the dialog copies nothing.
    opt.PasteDialog = true;
    QApplication::clipboard()->setText("keep");
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDNO);
    f->btnCopyClick();
    EXPECT_EQ(QApplication::clipboard()->text(), "keep");
}

class WorkbookOutput : public DataFrameTest
{
protected:
    // Runs the Excel command with the options dialog answered by `fill`.
    void Export(TfraData *f, const std::function<void(TfrmXlsSQL *)> &fill, ScriptedMessageBoxes &boxes)
    {
        TfrmXlsSQL::ShowHook() = [&](TfrmXlsSQL *d) {
            fill(d);
            d->btnOkClick();
            if (d->isVisible())
                d->reject();
        };
        f->btnExcelClick();
        TfrmXlsSQL::ShowHook() = nullptr;
        Q_UNUSED(boxes);
    }
    QString File(const QString &name) { return FTemp.path() + "/" + name; }
};

TEST_F(WorkbookOutput, StartCellDirectionsTitlesAndComments)
{
    exec("CREATE TABLE t (id int, name text, b bytea)");
    exec("INSERT INTO t VALUES (1, '東京', '\\x0a'), (2, '007', NULL)");
    auto host = Host();
    host->Comments.insert("name", "名称");
    TfraData *f = host->Frame;
    f->SetTableName(schema() + ".t");
    Show(f, "SELECT id, name, b FROM t ORDER BY id");
    struct Case { int mode; int title; int col; int row; };
    const Case cases[] = {{0, tmColumnName, 2, 5}, {1, tmComment, 0, 1}, {0, tmNone, 0, 1}};
    for (const Case &c : cases) {
        const QString out = File(QStringLiteral("out%1%2.xlsx").arg(c.mode).arg(c.title));
        ScriptedMessageBoxes boxes;
        boxes.Answer(IDOK);
        Export(f, [&](TfrmXlsSQL *d) {
            d->txtSaveFile()->setText(out);
            d->cmbColumn()->setCurrentIndex(c.col);
            d->txtRow()->setText(QString::number(c.row));
            d->rdoExcel()->button(c.mode)->setChecked(true);
            d->rdoExcelTitle()->button(c.title)->setChecked(true);
        }, boxes);
        EXPECT_EQ(boxes.Last().text, "ファイルに出力しました。");
        wb::Workbook book = wb::Workbook::open(out);
        wb::Sheet &s = book.activeSheet();
        const int r0 = c.row - 1, c0 = c.col;
        auto at = [&](int record, int field) { // record -1: the titles
            const int k = record + (c.title == tmNone ? 0 : 1);
            return c.mode == 0 ? s.text(r0 + 1 + k, c0 + 1 + field) : s.text(r0 + 1 + field, c0 + 1 + k);
        };
        if (c.title != tmNone) {
            EXPECT_EQ(at(-1, 0), "id");
            EXPECT_EQ(at(-1, 1), c.title == tmComment ? "名称" : "name");
        }
        EXPECT_EQ(at(0, 1), "東京");
        EXPECT_EQ(at(1, 1), "007"); // a text column keeps its text
        EXPECT_EQ(at(0, 2), "0A");
        EXPECT_EQ(at(1, 0), "2");
        if (c.mode == 0 && c.col == 2 && c.row == 5)
            EXPECT_EQ(s.text(5, 3), "id"); // C5
    }
}

TEST_F(WorkbookOutput, FormBookSheetsReReadLimitsAndCutValues)
{
    exec("CREATE TABLE t (id int, v text)");
    exec("INSERT INTO t VALUES (1, repeat('x', 40000)), (2, 'short')");
    auto host = Host();
    TfraData *f = host->Frame;
    Show(f, "SELECT * FROM t ORDER BY id");
    // A form book with a sheet of its own.
    const QString form = File("form.xlsx");
    {
        wb::Workbook b = wb::Workbook::blank();
        b.activeSheet().setText(1, 1, "表紙");
        b.addSheet("データ");
        b.sheetByName("Sheet1").activate();
        b.save(form);
    }
    for (const QString &sheet : {QStringLiteral("データ"), QStringLiteral("新規"), QString()}) {
        const QString out = File("form-out-" + QString::number(sheet.size()) + ".xlsx");
        ScriptedMessageBoxes boxes;
        boxes.Answer(IDOK);
        Export(f, [&](TfrmXlsSQL *d) {
            d->txtSaveFile()->setText(out);
            d->txtFormFile()->setText(form);
            d->txtSheet()->setText(sheet);
            d->chkRefresh()->setChecked(true);
            d->rdoExcel()->button(0)->setChecked(true);
            d->rdoExcelTitle()->button(0)->setChecked(true);
            d->cmbColumn()->setCurrentIndex(0);
            d->txtRow()->setText("1");
        }, boxes);
        EXPECT_TRUE(boxes.Last().text.contains("32767 文字を超える値 1 件は切り詰めて出力しました。"))
            << boxes.Last().text.toStdString();
        wb::Workbook book = wb::Workbook::open(out);
        wb::Sheet &s = sheet.isEmpty() ? book.sheetByName("Sheet1") : book.sheetByName(sheet);
        EXPECT_EQ(s.text(3, 2), "short");
        EXPECT_EQ(s.text(2, 2).size(), wb::MaxTextLength);
        EXPECT_EQ(book.sheetByName("Sheet1").text(sheet.isEmpty() ? 2 : 1, 1), sheet.isEmpty() ? "1" : "表紙");
    }
    EXPECT_EQ(host->ReReads, 3); // "read again first" goes through the host
    // A result wider than a sheet in the "records as columns" direction is refused.
    exec("CREATE TABLE many AS SELECT generate_series(1, 16400) AS n");
    Show(f, "SELECT n FROM many");
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDOK);
    Export(f, [&](TfrmXlsSQL *d) {
        d->txtSaveFile()->setText(File("many.xlsx"));
        d->txtFormFile()->setText(QString());
        d->chkRefresh()->setChecked(false);
        d->rdoExcel()->button(1)->setChecked(true);
    }, boxes);
    EXPECT_EQ(boxes.Last().text, "Excelの最大列数を超えているため、出力できません。");
    EXPECT_FALSE(QFile::exists(File("many.xlsx")));
    TkdOption::Global().ExcelMode = 0;
}

TEST_F(DataFrameTest, AggregatesOfAColumn)
{
    exec("CREATE TABLE t (id int, n int, a int, b int)");
    exec("INSERT INTO t VALUES (1, NULL, 1, 1), (2, NULL, 2, 2)");
    auto host = Host();
    TfraData *f = host->Frame;
    Show(f, "SELECT id, n FROM t; -- all of it");
    struct Case { int item; QString fn; QString text; int icon; };
    const Case cases[] = {
        {0, "COUNT", "\"id\"列の件数 = 2", 0},
        {0, "SUM", "\"id\"列の合計 = 3", 0},
        {0, "MAX", "\"id\"列の最大 = 2", 0},
        {0, "AVG", "\"id\"列の平均 = 1.5000000000000000", 0},
        {1, "COUNT", "\"n\"列の件数 = 0", 0},
        {1, "SUM", "レコードがありません", MB_ICONWARNING},
    };
    for (const Case &c : cases) {
        ScriptedMessageBoxes boxes;
        boxes.Answer(IDOK);
        f->SetSelectedItem(c.item);
        f->ShowAggregate(c.fn);
        EXPECT_EQ(boxes.Last().text, c.text);
        EXPECT_EQ(boxes.Last().flags & 0xF0, c.icon);
    }
    // Two columns of the same name: the server cannot tell them apart.
    Show(f, "SELECT t.a, u.a FROM t, t u");
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDOK);
    f->SetSelectedItem(1);
    f->ShowAggregate("SUM");
    EXPECT_EQ(boxes.Last().text, "集計情報を求めることができません。");
}

TEST_F(DataFrameTest, MemoDialogAndDatePopupEditCells)
{
    exec("CREATE TABLE t (id int PRIMARY KEY, s text, d date)");
    exec("INSERT INTO t VALUES (1, E'one\\ntwo\\n', NULL)");
    auto host = Host();
    host->show();
    TfraData *f = host->Frame;
    f->btnUpdate()->setChecked(true);
    Show(f, "SELECT id, s, d FROM t");
    // Unchanged OK: the value stays exactly (LF kept); the caret stands after the last break.
    int caretLine = -1, caretIndex = -1;
    TfrmMemo::ShowHook() = [&](TfrmMemo *m) {
        m->txtComment()->getCursorPosition(&caretLine, &caretIndex);
        m->btnOk()->click();
    };
    f->grdData1()->SetSelectedIndex(1);
    f->EditCell();
    EXPECT_EQ(caretLine, 2);
    EXPECT_EQ(caretIndex, 0);
    EXPECT_EQ(f->qryData()->state(), db::DataSet::State::Browse);
    // Edited: the field takes the text, written when the record is posted.
    TfrmMemo::ShowHook() = [&](TfrmMemo *m) {
        m->txtComment()->append("three");
        m->btnOk()->click();
    };
    f->EditCell();
    EXPECT_EQ(f->qryData()->fieldByName("s").asString(), "one\ntwo\nthree");
    // Cancel leaves the value alone.
    TfrmMemo::ShowHook() = [&](TfrmMemo *m) {
        m->txtComment()->setText("gone");
        m->btnCancel()->click();
    };
    f->EditCell();
    EXPECT_EQ(f->qryData()->fieldByName("s").asString(), "one\ntwo\nthree");
    TfrmMemo::ShowHook() = nullptr;
    if (f->qryData()->state() == db::DataSet::State::Edit) {
        TkdAutoCommitScope scope(f->qryData());
        f->qryData()->post();
    }
    EXPECT_EQ(scalar("SELECT s FROM t"), "one\ntwo\nthree");

    // The date popup on an empty value: today, the placeholder, then the chosen date.
    f->grdData1()->SetSelectedIndex(2);
    f->EditCell();
    TkdDatePopup *p = f->DatePopup();
    ASSERT_TRUE(p->isVisible());
    EXPECT_EQ(p->Calendar()->selectedDate(), QDate::currentDate());
    EXPECT_EQ(p->DisplayText(), "g");
    p->Calendar()->setSelectedDate(QDate(2024, 2, 29));
    EXPECT_FALSE(p->Placeholder());
    EXPECT_EQ(f->qryData()->fieldByName("d").asDate(), QDate(2024, 2, 29));
    p->Close();
    EXPECT_FALSE(p->isVisible());
    {
        TkdAutoCommitScope scope(f->qryData());
        f->qryData()->post();
    }
    EXPECT_EQ(scalar("SELECT d FROM t"), "2024-02-29");
}

TEST_F(DataFrameTest, XlsDialogChecksAndStoresOptions)
{
    TkdOption &opt = TkdOption::Global();
    opt.ExcelLeft = 27;
    opt.ExcelTop = 4;
    opt.ExcelMode = 1;
    TfrmXlsSQL d;
    EXPECT_EQ(d.cmbColumn()->currentText(), "AB");
    EXPECT_EQ(d.txtRow()->text(), "5");
    EXPECT_TRUE(d.rdoExcel()->button(1)->isChecked());
    struct Case { QString row; bool ok; };
    for (const Case &c : {Case{"0", false}, Case{"65537", false}, Case{"1", true}, Case{"65536", true}}) {
        TfrmXlsSQL dlg;
        dlg.txtSaveFile()->setText(FTemp.path() + "/new.xls");
        dlg.txtRow()->setText(c.row);
        ScriptedMessageBoxes boxes;
        if (!c.ok)
            boxes.Answer(IDOK);
        dlg.btnOkClick();
        EXPECT_EQ(dlg.result() == 1, c.ok) << c.row.toStdString();
        if (!c.ok)
            EXPECT_EQ(boxes.Last().text, "行は 1 ～ 65536 の範囲で指定して下さい。");
        else {
            EXPECT_EQ(opt.ExcelTop, c.row.toInt() - 1);
            EXPECT_EQ(dlg.txtSaveFile()->text(), FTemp.path() + "/new.xlsx");
        }
    }
    // A missing form book, a legacy .xls form book, an existing target answered No.
    QFile legacy(FTemp.path() + "/old.xls");
    ASSERT_TRUE(legacy.open(QIODevice::WriteOnly));
    legacy.write("x");
    legacy.close();
    QFile existing(FTemp.path() + "/there.xlsx");
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    struct Bad { QString form; QString target; QString message; };
    const Bad bads[] = {
        {FTemp.path() + "/none.xlsx", "", FTemp.path() + "/none.xlsx が存在しません。"},
        {legacy.fileName(), "", legacy.fileName() + " は .xls 形式のため、フォームファイルに使用できません。"},
        {"", existing.fileName(), existing.fileName() + " はすでに存在します。\r\n上書きしますか？"},
    };
    for (const Bad &b : bads) {
        opt.ExcelSheet = "before";
        TfrmXlsSQL dlg;
        dlg.txtFormFile()->setText(b.form);
        dlg.txtSaveFile()->setText(b.target);
        dlg.txtSheet()->setText("after");
        ScriptedMessageBoxes boxes;
        boxes.Answer(IDNO);
        dlg.btnOkClick();
        EXPECT_NE(dlg.result(), 1);
        EXPECT_TRUE(boxes.Last().text.startsWith(b.message)) << boxes.Last().text.toStdString();
        EXPECT_EQ(opt.ExcelSheet, "before");
    }
}

TEST_F(DataFrameTest, GridsWithJapaneseDataPicture)
{
    exec("CREATE TABLE t (番号 int, 氏名 text, 金額 numeric, 備考 text)");
    exec("INSERT INTO t VALUES (1, '山田 太郎', .25, '東京都'), (2, '佐藤 花子', -.5, E'複数\\n行'), "
         "(3, '鈴木 一郎', 1200, NULL)");
    TkdOption::Global().AddStripe = true;
    auto host = Host();
    Show(host->Frame, "SELECT * FROM t ORDER BY 1");
    host->show();
    QTest::qWait(50);
    const QString dir = qEnvironmentVariable("VANTOR_SCREENSHOT_DIR");
    const QPixmap v = host->grab();
    host->Frame->btnGridTypeClick();
    TkdOption::Global().DataShowMode = 2;
    QTest::qWait(50);
    const QPixmap h = host->grab();
    EXPECT_FALSE(v.isNull());
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        v.save(dir + "/data-frame-rows.png");
        h.save(dir + "/data-frame-columns.png");
    }
}

} // namespace
