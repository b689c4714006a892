// The workbook layer: typed entry, cells and rectangles, block and sheet copies, columns,
// saving, and the refusal of files it cannot read. Every written file goes through the
// structure check and, where values matter, through openpyxl as an independent reader.
#include "workbook_fixture.h"

#include <QFile>
#include <QRandomGenerator>
#include <cmath>
#include <csignal>
#include <sys/resource.h>

using namespace wbtest;

namespace {

TEST(WorkbookEntry, TypedEntryTable)
{
    const QString longText(40000, QChar(u'あ'));
    struct Case {
        QString text;
        bool textFormat;
        wb::Entry::Kind kind;
        double number;
        QString stored;
        bool quote;
        bool cut;
    };
    const Case cases[] = {
        {QStringLiteral("007"), false, wb::Entry::Number, 7, {}, false, false},
        {QStringLiteral("007"), true, wb::Entry::Text, 0, QStringLiteral("007"), false, false},
        {QStringLiteral("1e5"), false, wb::Entry::Text, 0, QStringLiteral("1e5"), false, false},
        {QStringLiteral("-0.5"), false, wb::Entry::Number, -0.5, {}, false, false},
        {QStringLiteral("+12.50"), false, wb::Entry::Number, 12.5, {}, false, false},
        {QStringLiteral("12345678901234567890"), false, wb::Entry::Text, 0, QStringLiteral("12345678901234567890"), false, false},
        {QStringLiteral("123456789012345"), false, wb::Entry::Number, 123456789012345.0, {}, false, false},
        {QStringLiteral("0.1234567890123456"), false, wb::Entry::Text, 0, QStringLiteral("0.1234567890123456"), false, false},
        {QStringLiteral("'=SUM(A1)"), false, wb::Entry::Text, 0, QStringLiteral("=SUM(A1)"), true, false},
        {QStringLiteral("'123"), false, wb::Entry::Text, 0, QStringLiteral("123"), true, false},
        {QStringLiteral("=1+1"), false, wb::Entry::Text, 0, QStringLiteral("=1+1"), false, false},
        {QStringLiteral("2016/09/29"), false, wb::Entry::Text, 0, QStringLiteral("2016/09/29"), false, false},
        {QStringLiteral("12:30"), false, wb::Entry::Text, 0, QStringLiteral("12:30"), false, false},
        {QString(), false, wb::Entry::Empty, 0, {}, false, false},
        {QStringLiteral(" lead"), false, wb::Entry::Text, 0, QStringLiteral(" lead"), false, false},
        {QStringLiteral(" 12"), false, wb::Entry::Text, 0, QStringLiteral(" 12"), false, false},
        {QStringLiteral("1,000"), false, wb::Entry::Text, 0, QStringLiteral("1,000"), false, false},
        {QStringLiteral("a\x01\x1f" "b"), false, wb::Entry::Text, 0, QStringLiteral("a\x01\x1f" "b"), false, false},
        {QStringLiteral("_x0041_"), false, wb::Entry::Text, 0, QStringLiteral("_x0041_"), false, false},
        {QStringLiteral("社員テーブル"), false, wb::Entry::Text, 0, QStringLiteral("社員テーブル"), false, false},
        {longText, false, wb::Entry::Text, 0, longText.left(wb::MaxTextLength), false, true},
    };
    for (const Case &c : cases) {
        const wb::Entry e = wb::coerceEntry(c.text, c.textFormat);
        const std::string label = c.text.left(30).toStdString() + (c.textFormat ? " @" : "");
        EXPECT_EQ(e.kind, c.kind) << label;
        if (c.kind == wb::Entry::Number)
            EXPECT_EQ(e.number, c.number) << label;
        if (c.kind == wb::Entry::Text)
            EXPECT_EQ(e.text, c.stored) << label;
        EXPECT_EQ(e.quotePrefix, c.quote) << label;
        EXPECT_EQ(e.cut, c.cut) << label;
    }
}

TEST(WorkbookFormula, ShiftTable)
{
    struct Case { const char *in; int dr, dc; const char *out; };
    const Case cases[] = {
        {"A1+B2", 2, 1, "B3+C4"},
        {"$A$1+A$1+$A1", 3, 3, "$A$1+D$1+$A4"},
        {"SUM($A$5:A5)", 40, 0, "SUM($A$5:A45)"},
        {"A5&\"A5\"", 20, 0, "A25&\"A5\""},
        {"'My Sheet'!B2*Other!C3", 1, 0, "'My Sheet'!B3*Other!C4"},
        {"LOG10(A1)", 1, 0, "LOG10(A2)"},
        {"A1", -1, 0, "#REF!"},
        {"SUM(A:A)+SUM(2:3)", 1, 1, "SUM(B:B)+SUM(3:4)"},
        {"SUM($A:$A)", 0, 5, "SUM($A:$A)"},
        {"Table1[Col A1]+A1", 1, 0, "Table1[Col A1]+A2"},
        {"XFD1", 0, 1, "#REF!"},
        {"_xlfn.CONCAT(A1,\"x\")", 0, 1, "_xlfn.CONCAT(B1,\"x\")"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(wb::shiftFormula(QString::fromUtf8(c.in), c.dr, c.dc), QString::fromUtf8(c.out)) << c.in;
}

TEST_F(WorkbookTest, BlankBookValuesReadBackByOpenpyxl)
{
    wb::Workbook book = wb::Workbook::blank();
    ASSERT_EQ(book.sheetCount(), 1);
    wb::Sheet &s = book.activeSheet();
    EXPECT_EQ(s.name(), QStringLiteral("Sheet1"));
    const QString longText(40000, QChar(u'x'));
    s.setText(1, 1, QStringLiteral("007"));
    s.setText(1, 2, QStringLiteral("'=SUM(A1)"));
    s.setText(1, 3, QStringLiteral("=1+1"));
    s.setText(1, 4, QStringLiteral("2016/09/29"));
    s.setText(1, 5, QStringLiteral(" lead "));
    s.setText(1, 6, QStringLiteral("a\x01" "b\r\nc\t\uFFFF"));
    s.setText(1, 7, QStringLiteral("_x0041_"));
    EXPECT_FALSE(s.setText(1, 8, longText));
    s.setText(1, 9, QStringLiteral("日本語テキスト"));
    s.setText(1, 10, QStringLiteral("12345678901234567890"));
    s.setValue(2, 1, QVariant(qulonglong(18446744073709551615ULL)));
    s.setValue(2, 2, QVariant(qlonglong(9007199254740993LL)));
    s.setValue(2, 3, QVariant(42));
    s.setValue(2, 4, QVariant(QStringLiteral("-0.5")));
    s.setText(2, 5, QStringLiteral("日本語テキスト")); // shared with F1's entry
    EXPECT_EQ(book.cutTextCount(), 1);
    saveChecked(book, path(QStringLiteral("blank.xlsx")));

    const QJsonObject j = dump(path(QStringLiteral("blank.xlsx")));
    const QJsonObject sh = sheetOf(j, 0);
    EXPECT_EQ(sh.value(QStringLiteral("name")).toString(), QStringLiteral("Sheet1"));
    struct Expect { const char *ref; QJsonValue v; const char *t; bool quote; };
    const Expect expects[] = {
        {"A1", 7, "n", false},
        {"B1", QStringLiteral("=SUM(A1)"), "s", true},
        {"C1", QStringLiteral("=1+1"), "s", false},
        {"D1", QStringLiteral("2016/09/29"), "s", false},
        {"E1", QStringLiteral(" lead "), "s", false},
        // openpyxl leaves the format's escapes of control characters as they are
        {"F1", QStringLiteral("a_x0001_b_x000D_\nc\t_xFFFF_"), "s", false},
        {"G1", QStringLiteral("_x0041_"), "s", false},
        {"H1", QString(wb::MaxTextLength, QChar(u'x')), "s", false},
        {"I1", QStringLiteral("日本語テキスト"), "s", false},
        {"J1", QStringLiteral("12345678901234567890"), "s", false},
        {"A2", QStringLiteral("18446744073709551615"), "s", false},
        {"B2", QStringLiteral("9007199254740993"), "s", false},
        {"C2", 42, "n", false},
        {"D2", -0.5, "n", false},
    };
    for (const Expect &e : expects) {
        const QJsonObject c = cellOf(sh, QString::fromLatin1(e.ref));
        EXPECT_EQ(c.value(QStringLiteral("v")), e.v) << e.ref;
        EXPECT_EQ(c.value(QStringLiteral("t")).toString(), QString::fromLatin1(e.t)) << e.ref;
        EXPECT_EQ(c.value(QStringLiteral("quote")).toBool(), e.quote) << e.ref;
    }
    EXPECT_EQ(j.value(QStringLiteral("active")).toInt(), 0);

    // and our own reader sees the same
    wb::Workbook again = wb::Workbook::open(path(QStringLiteral("blank.xlsx")));
    wb::Sheet &t = again.sheet(0);
    EXPECT_EQ(t.text(1, 6), QStringLiteral("a\x01" "b\r\nc\t\uFFFF"));
    EXPECT_EQ(t.text(1, 7), QStringLiteral("_x0041_"));
    EXPECT_EQ(t.text(1, 5), QStringLiteral(" lead "));
    EXPECT_TRUE(t.hasQuotePrefix(1, 2));
    EXPECT_EQ(t.cell(1, 1).kind, wb::CellValue::Number);
    EXPECT_EQ(t.text(2, 4), QStringLiteral("-0.5"));
}

TEST_F(WorkbookTest, OutsideTheSheetIsRefusedBeforeWriting)
{
    wb::Workbook book = wb::Workbook::blank();
    wb::Sheet &s = book.activeSheet();
    EXPECT_THROW(s.setText(wb::MaxRows + 1, 1, QStringLiteral("x")), wb::Error);
    EXPECT_THROW(s.setText(1, wb::MaxColumns + 1, QStringLiteral("x")), wb::Error);
    EXPECT_THROW(s.setText(0, 1, QStringLiteral("x")), wb::Error);
    // a rectangle that crosses the last row writes nothing at all
    const QList<QVariantList> rect{{QStringLiteral("a")}, {QStringLiteral("b")}};
    EXPECT_THROW(s.setValues(wb::MaxRows, 1, rect), wb::Error);
    EXPECT_EQ(s.lastRow(), 0);
    s.setValues(wb::MaxRows - 1, wb::MaxColumns, rect);
    EXPECT_EQ(s.text(wb::MaxRows, wb::MaxColumns), QStringLiteral("b"));
    saveChecked(book, path(QStringLiteral("edge.xlsx")));
}

TEST_F(WorkbookTest, RectangleClearsValuesAndKeepsFormats)
{
    const QString form = makeForm(QStringLiteral("styled"), path(QStringLiteral("styled.xlsx")));
    wb::Workbook book = wb::Workbook::open(form);
    wb::Sheet &s = book.activeSheet();
    EXPECT_TRUE(s.isTextFormat(3, 3));
    EXPECT_TRUE(s.isTextFormat(10, 4)); // column D is "@"
    // empty elements clear; C3 is "@" so its digits stay text; D9 takes the column's "@"
    s.setValues(1, 1, {{QVariant(), QStringLiteral("x")}, {QStringLiteral("1"), QString()},
                       {QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("0042")}});
    s.setText(9, 4, QStringLiteral("0099"));
    saveChecked(book, path(QStringLiteral("rect.xlsx")));
    const QJsonObject sh = sheetOf(dump(path(QStringLiteral("rect.xlsx"))), 0);
    EXPECT_TRUE(cellOf(sh, QStringLiteral("A1")).value(QStringLiteral("v")).isNull());
    EXPECT_TRUE(cellOf(sh, QStringLiteral("A1")).value(QStringLiteral("bold")).toBool());
    EXPECT_TRUE(cellOf(sh, QStringLiteral("B2")).value(QStringLiteral("v")).isNull());
    EXPECT_EQ(cellOf(sh, QStringLiteral("B2")).value(QStringLiteral("fill")).toString(), QStringLiteral("FFFF0000"));
    EXPECT_EQ(cellOf(sh, QStringLiteral("A2")).value(QStringLiteral("v")).toInt(), 1);
    EXPECT_EQ(cellOf(sh, QStringLiteral("C3")).value(QStringLiteral("v")).toString(), QStringLiteral("0042"));
    EXPECT_TRUE(cellOf(sh, QStringLiteral("C3")).value(QStringLiteral("bold")).toBool());
    EXPECT_EQ(cellOf(sh, QStringLiteral("C3")).value(QStringLiteral("fmt")).toString(), QStringLiteral("@"));
    EXPECT_EQ(cellOf(sh, QStringLiteral("D9")).value(QStringLiteral("v")).toString(), QStringLiteral("0099"));
    EXPECT_EQ(cellOf(sh, QStringLiteral("D9")).value(QStringLiteral("fmt")).toString(), QStringLiteral("@"));
}

// A definition form of 20 records of 2 rows each, filled with 45 records: the block is
// repeated twice below itself, then the records are written as one rectangle.
TEST_F(WorkbookTest, BodyBlockRepeatedForFortyFiveRecords)
{
    const QString form = makeForm(QStringLiteral("body"), path(QStringLiteral("body.xlsx")));
    wb::Workbook book = wb::Workbook::open(form);
    wb::Sheet &s = book.activeSheet();
    const int top = 5, count = 20, height = 2, records = 45;
    const int pages = (records + count - 1) / count;
    for (int k = 1; k < pages; ++k)
        s.copyBlock(top, 1, top + count * height - 1, 255, top + k * count * height, 1);
    QList<QVariantList> rect;
    for (int i = 0; i < records; ++i) {
        rect.append({QVariant(i + 1), QStringLiteral("列%1").arg(i + 1)});
        rect.append({QVariant(), QVariant()});
    }
    s.setValues(top, 1, rect);
    s.setText(3, 2, QStringLiteral("'=見出し"));
    s.selectA1();
    saveChecked(book, path(QStringLiteral("body-out.xlsx")));

    const QJsonObject j = dump(path(QStringLiteral("body-out.xlsx")));
    const QJsonObject sh = sheetOf(j, 0);
    const int last = top + records * height - 1; // row 94
    EXPECT_EQ(cellOf(sh, QStringLiteral("B%1").arg(last - 1)).value(QStringLiteral("v")).toString(), QStringLiteral("列45"));
    EXPECT_EQ(cellOf(sh, QStringLiteral("A%1").arg(last - 1)).value(QStringLiteral("v")).toInt(), 45);
    // the third page's rows keep the form: fill, height, merges, formulas moved
    EXPECT_EQ(cellOf(sh, QStringLiteral("C%1").arg(top + 2 * 40)).value(QStringLiteral("fill")).toString(), QStringLiteral("FFFFF2CC"));
    EXPECT_EQ(sh.value(QStringLiteral("heights")).toObject().value(QString::number(top + 2 * 40 + 1)).toDouble(), 21.0);
    const QJsonArray merges = sh.value(QStringLiteral("merges")).toArray();
    EXPECT_TRUE(merges.contains(QStringLiteral("D85:D86")));
    EXPECT_TRUE(merges.contains(QStringLiteral("A1:E1")));
    EXPECT_EQ(merges.size(), 1 + 20 * 3);
    EXPECT_EQ(cellOf(sh, QStringLiteral("E85")).value(QStringLiteral("v")).toString(), QStringLiteral("=A85&B85"));
    EXPECT_EQ(cellOf(sh, QStringLiteral("F45")).value(QStringLiteral("v")).toString(), QStringLiteral("=SUM($A$5:A45)"));
    EXPECT_EQ(cellOf(sh, QStringLiteral("C3")).value(QStringLiteral("v")).toString(), QStringLiteral("=ROWS(A5:A44)"));
    EXPECT_EQ(sh.value(QStringLiteral("conditional")).toArray().first().toString(), QStringLiteral("A5:E44 A45:E84 A85:E124"));
    EXPECT_EQ(sh.value(QStringLiteral("validations")).toArray().first().toString(), QStringLiteral("C5:C44 C45:C84 C85:C124"));
    EXPECT_EQ(cellOf(sh, QStringLiteral("B3")).value(QStringLiteral("v")).toString(), QStringLiteral("=見出し"));
    EXPECT_TRUE(cellOf(sh, QStringLiteral("B3")).value(QStringLiteral("quote")).toBool());
    EXPECT_EQ(sh.value(QStringLiteral("activeCell")).toString(), QStringLiteral("A1"));
    EXPECT_EQ(sh.value(QStringLiteral("printArea")).toString(), QStringLiteral("$A$1:$E$44"));
    // no calculation chain left and a full recalculation asked for
    const auto parts = xlsxcheck::readParts(path(QStringLiteral("body-out.xlsx")));
    EXPECT_TRUE(parts.value(QStringLiteral("xl/workbook.xml")).contains("fullCalcOnLoad=\"1\""));
}

// A copy onto rows overlapping its source: the destination takes the source's merges and
// loses those it overlapped, so no two merges overlap (the checker looks).
TEST_F(WorkbookTest, OverlappingCopyLeavesNoOverlappingMerges)
{
    const QString form = makeForm(QStringLiteral("body"), path(QStringLiteral("ov.xlsx")));
    wb::Workbook book = wb::Workbook::open(form);
    wb::Sheet &s = book.activeSheet();
    s.setText(5, 2, QStringLiteral("上"));
    s.copyBlock(5, 1, 8, 255, 6, 1);
    saveChecked(book, path(QStringLiteral("ov-out.xlsx")));
    const QJsonObject sh = sheetOf(dump(path(QStringLiteral("ov-out.xlsx"))), 0);
    const QJsonArray merges = sh.value(QStringLiteral("merges")).toArray();
    for (const char *m : {"D6:D7", "D8:D9", "D11:D12"})
        EXPECT_TRUE(merges.contains(QLatin1String(m))) << m;
    for (const char *m : {"D5:D6", "D9:D10"})
        EXPECT_FALSE(merges.contains(QLatin1String(m))) << m;
    EXPECT_EQ(cellOf(sh, QStringLiteral("B6")).value(QStringLiteral("v")).toString(), QStringLiteral("上"));
    EXPECT_EQ(cellOf(sh, QStringLiteral("E7")).value(QStringLiteral("v")).toString(), QStringLiteral("=A7&B7"));
}

// The matrix form's page repeated down and then to the right, as the dependency matrix does.
TEST_F(WorkbookTest, MatrixPageRepeatedDownAndRight)
{
    const QString form = makeForm(QStringLiteral("matrix"), path(QStringLiteral("matrix.xlsx")));
    wb::Workbook book = wb::Workbook::open(form);
    wb::Sheet &s = book.activeSheet();
    const int R = 4, C = 3, P = 2, Q = 3;
    for (int k = 1; k < P; ++k)
        s.copyBlock(3, 1, R + 2, C + 2, k * R + 3, 1);
    for (int k = 1; k < Q; ++k)
        s.copyBlock(1, 3, P * R + 2, C + 2, 1, k * C + 3);
    for (int r = 0; r < P * R + 2; ++r) {
        QStringList line;
        for (int c = 0; c < Q * C + 2; ++c)
            line << ((r >= 2 && c >= 2 && (r + c) % 3 == 0) ? QStringLiteral("○") : QString());
        s.setRowTexts(r + 1, 1, line);
    }
    s.setText(1, 1, QStringLiteral("OBJECT＼被参照"));
    saveChecked(book, path(QStringLiteral("matrix-out.xlsx")));
    const QJsonObject sh = sheetOf(dump(path(QStringLiteral("matrix-out.xlsx"))), 0);
    const QJsonObject widths = sh.value(QStringLiteral("widths")).toObject();
    for (const char *col : {"C", "F", "I", "K"})
        EXPECT_EQ(widths.value(QLatin1String(col)).toDouble(), 4.0) << col;
    EXPECT_EQ(cellOf(sh, QStringLiteral("K10")).value(QStringLiteral("fill")), QJsonValue()) << "body cell";
    EXPECT_EQ(cellOf(sh, QStringLiteral("K2")).value(QStringLiteral("fill")).toString(), QStringLiteral("FFDDEBF7"));
    EXPECT_EQ(cellOf(sh, QStringLiteral("A10")).value(QStringLiteral("fill")).toString(), QStringLiteral("FFDDEBF7"));
    EXPECT_EQ(sh.value(QStringLiteral("heights")).toObject().value(QStringLiteral("10")).toDouble(), 15.0);
    EXPECT_EQ(cellOf(sh, QStringLiteral("A1")).value(QStringLiteral("v")).toString(), QStringLiteral("OBJECT＼被参照"));
    EXPECT_EQ(cellOf(sh, QStringLiteral("E3")).value(QStringLiteral("v")).toString(), QStringLiteral("○"));
    EXPECT_TRUE(cellOf(sh, QStringLiteral("D3")).value(QStringLiteral("v")).isNull());
}

TEST_F(WorkbookTest, ColumnWidthAndTextFormat)
{
    wb::Workbook book = wb::Workbook::blank();
    wb::Sheet &s = book.activeSheet();
    s.setText(2, 3, QStringLiteral("1")); // an existing number stays as it is, with the format
    s.setColumnWidth(3, 50);
    s.setColumnTextFormat(3);
    s.setRowTextFormat(5);
    s.setText(3, 3, QStringLiteral("007"));
    s.setText(5, 1, QStringLiteral("008"));
    s.setText(6, 1, QStringLiteral("009"));
    s.setColumnWidth(5, 100);
    EXPECT_EQ(s.columnWidth(3), 50.0);
    saveChecked(book, path(QStringLiteral("fmt.xlsx")));
    const QJsonObject sh = sheetOf(dump(path(QStringLiteral("fmt.xlsx"))), 0);
    EXPECT_EQ(sh.value(QStringLiteral("widths")).toObject().value(QStringLiteral("C")).toDouble(), 50.0);
    EXPECT_EQ(sh.value(QStringLiteral("widths")).toObject().value(QStringLiteral("E")).toDouble(), 100.0);
    EXPECT_EQ(sh.value(QStringLiteral("colfmt")).toObject().value(QStringLiteral("C")).toString(), QStringLiteral("@"));
    EXPECT_EQ(sh.value(QStringLiteral("rowfmt")).toObject().value(QStringLiteral("5")).toString(), QStringLiteral("@"));
    EXPECT_EQ(cellOf(sh, QStringLiteral("C3")).value(QStringLiteral("v")).toString(), QStringLiteral("007"));
    EXPECT_EQ(cellOf(sh, QStringLiteral("C2")).value(QStringLiteral("fmt")).toString(), QStringLiteral("@"));
    EXPECT_EQ(cellOf(sh, QStringLiteral("A5")).value(QStringLiteral("v")).toString(), QStringLiteral("008"));
    EXPECT_EQ(cellOf(sh, QStringLiteral("A6")).value(QStringLiteral("v")).toInt(), 9);
}

TEST_F(WorkbookTest, SheetNamesAreCheckedBeforeAnyChange)
{
    wb::Workbook book = wb::Workbook::blank();
    wb::Sheet &first = book.activeSheet();
    wb::Sheet &second = book.addSheet(QStringLiteral("データ"));
    const QString bad[] = {
        QString(), QString(32, QChar(u'a')), QStringLiteral("a[b"), QStringLiteral("a]b"), QStringLiteral("a:b"),
        QStringLiteral("a*b"), QStringLiteral("a?b"), QStringLiteral("a/b"), QStringLiteral("a\\b"),
        QStringLiteral("'ab"), QStringLiteral("ab'"), QStringLiteral("history"), QStringLiteral("SHEET1"),
    };
    for (const QString &name : bad) {
        EXPECT_THROW(book.renameSheet(second, name), wb::Error) << name.toStdString();
        EXPECT_EQ(second.name(), QStringLiteral("データ"));
        if (!name.isEmpty()) // an empty name asks for the next free one
            EXPECT_THROW(book.addSheet(name), wb::Error) << name.toStdString();
    }
    EXPECT_EQ(book.sheetCount(), 2);
    book.renameSheet(second, QString(31, QChar(u'表')));
    book.renameSheet(first, QStringLiteral("it's"));
    book.renameSheet(first, QStringLiteral("sheet1")); // its own name in another case
    EXPECT_EQ(first.name(), QStringLiteral("sheet1"));
    saveChecked(book, path(QStringLiteral("names.xlsx")));
}

TEST_F(WorkbookTest, AddSheetGoesBeforeTheActiveAndBecomesActive)
{
    wb::Workbook book = wb::Workbook::blank();
    wb::Sheet &a = book.addSheet();
    EXPECT_EQ(a.name(), QStringLiteral("Sheet2"));
    EXPECT_EQ(a.index(), 0);
    EXPECT_EQ(&book.activeSheet(), &a);
    wb::Sheet &b = book.addSheet(QStringLiteral("結果"));
    EXPECT_EQ(b.index(), 0);
    b.setText(1, 1, QStringLiteral("x"));
    EXPECT_EQ(&book.sheetByName(QStringLiteral("結果")), &b);
    EXPECT_EQ(book.findSheet(QStringLiteral("nothing")), nullptr);
    EXPECT_THROW(book.sheetByName(QStringLiteral("nothing")), wb::Error);
    saveChecked(book, path(QStringLiteral("add.xlsx")));
    const QJsonObject j = dump(path(QStringLiteral("add.xlsx")));
    EXPECT_EQ(j.value(QStringLiteral("active")).toInt(), 0);
    QStringList names;
    for (const QJsonValue &v : j.value(QStringLiteral("sheets")).toArray())
        names << v.toObject().value(QStringLiteral("name")).toString();
    EXPECT_EQ(names, (QStringList{QStringLiteral("結果"), QStringLiteral("Sheet2"), QStringLiteral("Sheet1")}));
    EXPECT_TRUE(sheetOf(j, 0).value(QStringLiteral("selected")).toBool());
    EXPECT_FALSE(sheetOf(j, 2).value(QStringLiteral("selected")).toBool());
}

// ---- hand-made packages -----------------------------------------------------------------

const char *const Xml = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

// A form made by openpyxl with an image, a comment, printer settings, a calculation chain
// and (for .xlsm) a macro stub added by hand.
QString richForm(const QString &file, bool macros, const QString &workbookType = QString())
{
    const QString base = file + QStringLiteral(".base.xlsx");
    makeForm(QStringLiteral("body"), base);
    QMap<QString, QByteArray> p = xlsxcheck::readParts(base);
    QByteArray &ct = p[QStringLiteral("[Content_Types].xml")];
    QByteArray adds =
        "<Default Extension=\"png\" ContentType=\"image/png\"/>"
        "<Default Extension=\"vml\" ContentType=\"application/vnd.openxmlformats-officedocument.vmlDrawing\"/>"
        "<Default Extension=\"bin\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.printerSettings\"/>"
        "<Override PartName=\"/xl/drawings/drawing1.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.drawing+xml\"/>"
        "<Override PartName=\"/xl/comments1.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.comments+xml\"/>"
        "<Override PartName=\"/xl/calcChain.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml\"/>";
    if (macros) // as the spreadsheet program writes it: .bin defaults to the macro type
        adds.replace("<Default Extension=\"bin\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.printerSettings\"/>",
                     "<Default Extension=\"bin\" ContentType=\"application/vnd.ms-office.vbaProject\"/>"
                     "<Override PartName=\"/xl/printerSettings/printerSettings1.bin\" "
                     "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.printerSettings\"/>");
    ct.replace("</Types>", adds + "</Types>");
    if (!workbookType.isEmpty())
        ct.replace("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml", workbookType.toUtf8());
    p.insert(QStringLiteral("xl/media/image1.png"), QByteArray::fromBase64(
        "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg=="));
    p.insert(QStringLiteral("xl/printerSettings/printerSettings1.bin"), QByteArray(64, '\x07'));
    p.insert(QStringLiteral("xl/drawings/drawing1.xml"), QByteArray(Xml) +
        "<xdr:wsDr xmlns:xdr=\"http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing\" "
        "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
        "<xdr:oneCellAnchor><xdr:from><xdr:col>6</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>1</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:from>"
        "<xdr:ext cx=\"952500\" cy=\"952500\"/><xdr:pic><xdr:nvPicPr><xdr:cNvPr id=\"1\" name=\"Image 1\"/><xdr:cNvPicPr/></xdr:nvPicPr>"
        "<xdr:blipFill><a:blip r:embed=\"rId1\"/><a:stretch><a:fillRect/></a:stretch></xdr:blipFill>"
        "<xdr:spPr><a:prstGeom prst=\"rect\"/></xdr:spPr></xdr:pic><xdr:clientData/></xdr:oneCellAnchor></xdr:wsDr>");
    p.insert(QStringLiteral("xl/drawings/_rels/drawing1.xml.rels"), QByteArray(Xml) +
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/image\" Target=\"../media/image1.png\"/>"
        "</Relationships>");
    p.insert(QStringLiteral("xl/comments1.xml"), QByteArray(Xml) +
        "<comments xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><authors><author>作成者</author></authors>"
        "<commentList><comment ref=\"A3\" authorId=\"0\"><text><t>注記</t></text></comment></commentList></comments>");
    p.insert(QStringLiteral("xl/drawings/vmlDrawing1.vml"),
        "<xml xmlns:v=\"urn:schemas-microsoft-com:vml\" xmlns:o=\"urn:schemas-microsoft-com:office:office\" "
        "xmlns:x=\"urn:schemas-microsoft-com:office:excel\"><o:shapelayout v:ext=\"edit\"><o:idmap v:ext=\"edit\" data=\"1\"/></o:shapelayout>"
        "<v:shape id=\"_x0000_s1025\" type=\"#_x0000_t202\"><x:ClientData ObjectType=\"Note\"><x:Row>2</x:Row><x:Column>0</x:Column></x:ClientData></v:shape></xml>");
    p.insert(QStringLiteral("xl/calcChain.xml"), QByteArray(Xml) +
        "<calcChain xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><c r=\"C3\" i=\"1\"/></calcChain>");
    p.insert(QStringLiteral("xl/worksheets/_rels/sheet1.xml.rels"), QByteArray(Xml) +
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/drawing\" Target=\"../drawings/drawing1.xml\"/>"
        "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/comments\" Target=\"../comments1.xml\"/>"
        "<Relationship Id=\"rId3\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/vmlDrawing\" Target=\"../drawings/vmlDrawing1.vml\"/>"
        "<Relationship Id=\"rId4\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/printerSettings\" Target=\"../printerSettings/printerSettings1.bin\"/>"
        "</Relationships>");
    QByteArray &sheet = p[QStringLiteral("xl/worksheets/sheet1.xml")];
    const QByteArray pageSetup = "<pageSetup orientation=\"landscape\" r:id=\"rId4\"/>";
    if (sheet.contains("<pageSetup"))
        sheet.replace(sheet.indexOf("<pageSetup"), sheet.indexOf("/>", sheet.indexOf("<pageSetup")) + 2 - sheet.indexOf("<pageSetup"), pageSetup);
    else
        sheet.replace("</worksheet>", pageSetup + "</worksheet>");
    sheet.replace("</worksheet>", "<drawing r:id=\"rId1\"/><legacyDrawing r:id=\"rId3\"/></worksheet>");
    if (!sheet.contains("xmlns:r="))
        sheet.replace("<worksheet ", "<worksheet xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" ");
    QByteArray &wbRels = p[QStringLiteral("xl/_rels/workbook.xml.rels")];
    QByteArray relAdds = "<Relationship Id=\"rId90\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/calcChain\" Target=\"calcChain.xml\"/>";
    if (macros) {
        relAdds += "<Relationship Id=\"rId91\" Type=\"http://schemas.microsoft.com/office/2006/relationships/vbaProject\" Target=\"vbaProject.bin\"/>";
        p.insert(QStringLiteral("xl/vbaProject.bin"), QByteArray("macro stub"));
    }
    wbRels.replace("</Relationships>", relAdds + "</Relationships>");
    EXPECT_TRUE(xlsxcheck::writeZip(file, p));
    return file;
}

TEST_F(WorkbookTest, SheetCopyRenameDeleteWithPrintAreaAndImage)
{
    const QString form = richForm(path(QStringLiteral("rich.xlsx")), false);
    EXPECT_TRUE(xlsxcheck::problems(form).isEmpty()) << xlsxcheck::problems(form).join(QLatin1Char(';')).toStdString();
    wb::Workbook book = wb::Workbook::open(form);
    wb::Sheet &tpl = book.activeSheet();
    tpl.setText(1, 1, QStringLiteral("変更済みの見出し")); // the copy takes the sheet as it stands
    wb::Sheet &c1 = book.copySheet(tpl, tpl, true);
    EXPECT_EQ(c1.name(), QStringLiteral("form (2)"));
    EXPECT_EQ(c1.index(), 1);
    EXPECT_EQ(&book.activeSheet(), &c1);
    book.renameSheet(c1, QStringLiteral("public.社員"));
    c1.setText(4, 1, QStringLiteral("コピー先"));
    wb::Sheet &c2 = book.copySheet(tpl, tpl, false);
    book.renameSheet(c2, QStringLiteral("public.部署"));
    EXPECT_EQ(c2.index(), 0);
    EXPECT_THROW(book.renameSheet(c2, QStringLiteral("PUBLIC.社員")), wb::Error);
    book.deleteSheet(tpl);
    EXPECT_EQ(book.sheetCount(), 3);
    saveChecked(book, path(QStringLiteral("copies.xlsx")));

    const QJsonObject j = dump(path(QStringLiteral("copies.xlsx")));
    QStringList names;
    for (const QJsonValue &v : j.value(QStringLiteral("sheets")).toArray())
        names << v.toObject().value(QStringLiteral("name")).toString();
    EXPECT_EQ(names, (QStringList{QStringLiteral("public.部署"), QStringLiteral("public.社員"), QStringLiteral("other")}));
    EXPECT_EQ(j.value(QStringLiteral("active")).toInt(), 0);
    const QJsonObject s0 = sheetOf(j, 0), s1 = sheetOf(j, 1);
    EXPECT_EQ(s0.value(QStringLiteral("printArea")).toString(), QStringLiteral("$A$1:$E$44"));
    EXPECT_EQ(s1.value(QStringLiteral("printArea")).toString(), QStringLiteral("$A$1:$E$44"));
    EXPECT_EQ(s1.value(QStringLiteral("printTitleRows")).toString(), QStringLiteral("3:3"));
    // the names as written: one set per copy, naming its own sheet; the deleted form's are gone
    const QJsonArray written = j.value(QStringLiteral("definedNames")).toArray();
    const QJsonArray expectNames{
        QJsonArray{QStringLiteral("_xlnm.Print_Area"), QStringLiteral("0"), QStringLiteral("'public.部署'!$A$1:$E$44")},
        QJsonArray{QStringLiteral("_xlnm.Print_Area"), QStringLiteral("1"), QStringLiteral("'public.社員'!$A$1:$E$44")},
        QJsonArray{QStringLiteral("_xlnm.Print_Titles"), QStringLiteral("0"), QStringLiteral("'public.部署'!3:3")},
        QJsonArray{QStringLiteral("_xlnm.Print_Titles"), QStringLiteral("1"), QStringLiteral("'public.社員'!3:3")},
    };
    EXPECT_EQ(written, expectNames);
    EXPECT_EQ(cellOf(s1, QStringLiteral("A1")).value(QStringLiteral("v")).toString(), QStringLiteral("変更済みの見出し"));
    EXPECT_EQ(cellOf(s1, QStringLiteral("A4")).value(QStringLiteral("v")).toString(), QStringLiteral("コピー先"));
    EXPECT_TRUE(cellOf(s0, QStringLiteral("A4")).value(QStringLiteral("v")).toString().isEmpty());
    EXPECT_EQ(s1.value(QStringLiteral("merges")).toArray().size(), 21);

    // each copy owns its drawing, comments and printer settings; the image is shared
    const auto parts = xlsxcheck::readParts(path(QStringLiteral("copies.xlsx")));
    int drawings = 0, comments = 0, printers = 0, images = 0, vml = 0;
    for (auto it = parts.begin(); it != parts.end(); ++it) {
        drawings += it.key().startsWith(QLatin1String("xl/drawings/drawing"));
        vml += it.key().startsWith(QLatin1String("xl/drawings/vmlDrawing"));
        comments += it.key().startsWith(QLatin1String("xl/comments"));
        printers += it.key().startsWith(QLatin1String("xl/printerSettings/"));
        images += it.key().startsWith(QLatin1String("xl/media/"));
    }
    EXPECT_EQ(drawings, 2);
    EXPECT_EQ(vml, 2);
    EXPECT_EQ(comments, 2);
    EXPECT_EQ(printers, 2);
    EXPECT_EQ(images, 1);
    EXPECT_FALSE(parts.contains(QStringLiteral("xl/calcChain.xml")));
    EXPECT_FALSE(parts.value(QStringLiteral("[Content_Types].xml")).contains("calcChain"));
    EXPECT_TRUE(parts.value(QStringLiteral("xl/workbook.xml")).contains("fullCalcOnLoad=\"1\""));
}

// The template's shared strings stay as they are, rich text and phonetic guides included;
// new texts are added once each.
TEST_F(WorkbookTest, TemplateStringsKeepRichTextAndPhonetics)
{
    const QString base = makeForm(QStringLiteral("styled"), path(QStringLiteral("rich-base.xlsx")));
    QMap<QString, QByteArray> p = xlsxcheck::readParts(base);
    const QByteArray rich = "<r><rPr><b/><sz val=\"11\"/></rPr><t xml:space=\"preserve\">太字 </t></r><r><t>普通&amp;</t></r>";
    const QByteArray phonetic = "<t>社員</t><rPh sb=\"0\" eb=\"2\"><t>シャイン</t></rPh><phoneticPr fontId=\"1\"/>";
    p.insert(QStringLiteral("xl/sharedStrings.xml"), QByteArray(Xml) +
        "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"2\" uniqueCount=\"2\"><si>"
        + rich + "</si><si>" + phonetic + "</si></sst>");
    p[QStringLiteral("[Content_Types].xml")].replace("</Types>",
        "<Override PartName=\"/xl/sharedStrings.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/></Types>");
    p[QStringLiteral("xl/_rels/workbook.xml.rels")].replace("</Relationships>",
        "<Relationship Id=\"rId99\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
        "Target=\"sharedStrings.xml\"/></Relationships>");
    p[QStringLiteral("xl/worksheets/sheet1.xml")].replace("</sheetData>",
        "<row r=\"20\"><c r=\"A20\" t=\"s\"><v>0</v></c><c r=\"B20\" t=\"s\"><v>1</v></c></row></sheetData>");
    ASSERT_TRUE(xlsxcheck::writeZip(path(QStringLiteral("rich.xlsx")), p));

    wb::Workbook book = wb::Workbook::open(path(QStringLiteral("rich.xlsx")));
    wb::Sheet &s = book.activeSheet();
    EXPECT_EQ(s.text(20, 1), QStringLiteral("太字 普通&"));
    EXPECT_EQ(s.text(20, 2), QStringLiteral("社員"));
    s.setText(21, 1, QStringLiteral("社員")); // same text as a plain entry: a new plain entry
    s.setText(21, 2, QStringLiteral("新しい"));
    s.setText(21, 3, QStringLiteral("新しい"));
    saveChecked(book, path(QStringLiteral("rich-out.xlsx")));
    const QByteArray out = xlsxcheck::readParts(path(QStringLiteral("rich-out.xlsx"))).value(QStringLiteral("xl/sharedStrings.xml"));
    EXPECT_TRUE(out.contains(rich)) << out.toStdString();
    EXPECT_TRUE(out.contains(phonetic)) << out.toStdString();
    EXPECT_EQ(out.count("新しい"), 1);
    const QJsonObject sh = sheetOf(dump(path(QStringLiteral("rich-out.xlsx"))), 0);
    EXPECT_EQ(cellOf(sh, QStringLiteral("A20")).value(QStringLiteral("v")).toString(), QStringLiteral("太字 普通&"));
    EXPECT_EQ(cellOf(sh, QStringLiteral("B20")).value(QStringLiteral("v")).toString(), QStringLiteral("社員"));
    EXPECT_EQ(cellOf(sh, QStringLiteral("A21")).value(QStringLiteral("v")).toString(), QStringLiteral("社員"));
    EXPECT_EQ(cellOf(sh, QStringLiteral("C21")).value(QStringLiteral("v")).toString(), QStringLiteral("新しい"));
}

TEST_F(WorkbookTest, SheetWithTableIsNotCopied)
{
    const QString base = makeForm(QStringLiteral("styled"), path(QStringLiteral("t.xlsx")));
    QMap<QString, QByteArray> p = xlsxcheck::readParts(base);
    p.insert(QStringLiteral("xl/worksheets/_rels/sheet1.xml.rels"), QByteArray(Xml) +
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/table\" Target=\"../tables/table1.xml\"/>"
        "</Relationships>");
    p.insert(QStringLiteral("xl/tables/table1.xml"), QByteArray(Xml) + "<table/>");
    xlsxcheck::writeZip(path(QStringLiteral("table.xlsx")), p);
    wb::Workbook book = wb::Workbook::open(path(QStringLiteral("table.xlsx")));
    EXPECT_THROW(book.copySheet(book.sheet(0), book.sheet(0), true), wb::Error);
    EXPECT_EQ(book.sheetCount(), 1);
}

TEST_F(WorkbookTest, MacroBookAndTemplateSavedAsWorkbook)
{
    struct Case { const char *name; bool macros; const char *type; const char *saveAs; bool keepsMacros; };
    const Case cases[] = {
        {"m.xlsm", true, "application/vnd.ms-excel.sheet.macroEnabled.main+xml", "m-out.xlsx", false},
        {"m2.xlsm", true, "application/vnd.ms-excel.sheet.macroEnabled.main+xml", "m2-out.xlsm", true},
        {"t.xltx", false, "application/vnd.openxmlformats-officedocument.spreadsheetml.template.main+xml", "t-out.xlsx", false},
        {"t.xltm", true, "application/vnd.ms-excel.template.macroEnabled.main+xml", "tm-out.XLSM", true},
    };
    for (const Case &c : cases) {
        const QString in = richForm(path(QString::fromLatin1(c.name)), c.macros, QString::fromLatin1(c.type));
        wb::Workbook book = wb::Workbook::open(in);
        book.activeSheet().setText(2, 2, QStringLiteral("x"));
        const QString out = path(QString::fromLatin1(c.saveAs));
        saveChecked(book, out);
        const auto parts = xlsxcheck::readParts(out);
        EXPECT_EQ(parts.contains(QStringLiteral("xl/vbaProject.bin")), c.keepsMacros) << c.name;
        const QByteArray ct = parts.value(QStringLiteral("[Content_Types].xml"));
        EXPECT_EQ(ct.contains("macroEnabled.main+xml"), QString::fromLatin1(c.saveAs).endsWith(QLatin1String("xlsm"), Qt::CaseInsensitive)) << c.name;
        EXPECT_FALSE(ct.contains("template")) << c.name;
        EXPECT_EQ(ct.contains("vbaProject"), c.keepsMacros) << c.name;
        EXPECT_TRUE(parts.contains(QStringLiteral("xl/printerSettings/printerSettings1.bin"))) << c.name;
        dump(out); // openpyxl reads it
    }
    wb::Workbook book = wb::Workbook::blank();
    for (const char *bad : {"x.xls", "x.csv", "x", "x.xltx"})
        EXPECT_THROW(book.save(path(QString::fromLatin1(bad))), wb::Error) << bad;
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("x.xls"))));
}

TEST_F(WorkbookTest, UnreadableFilesAreRefusedWithTheirName)
{
    const QByteArray cfb("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    QByteArray encrypted = cfb + QByteArray(512, '\0');
    for (char ch : QByteArray("EncryptedPackage"))
        encrypted += ch, encrypted += '\0';
    const QString valid = makeForm(QStringLiteral("styled"), path(QStringLiteral("valid.xlsx")));
    const QMap<QString, QByteArray> good = xlsxcheck::readParts(valid);
    auto variant = [&](const QString &name, auto change) {
        QMap<QString, QByteArray> p = good;
        change(p);
        xlsxcheck::writeZip(path(name), p);
        return name;
    };
    struct Case { QString file; QByteArray bytes; const char *expect; };
    const Case cases[] = {
        {QStringLiteral("old.xlsx"), cfb + QByteArray(512, '\0'), "旧形式"},
        {QStringLiteral("secret.xlsx"), encrypted, "暗号化"},
        {QStringLiteral("text.xlsx"), QByteArray("id,name\n1,a\n"), "ZIP"},
        {QStringLiteral("empty.xlsx"), QByteArray(), "ZIP"},
        {variant(QStringLiteral("nowb.xlsx"), [](auto &p) { p.remove(QStringLiteral("xl/workbook.xml")); }), {}, "xl/workbook.xml"},
        {variant(QStringLiteral("noct.xlsx"), [](auto &p) { p.remove(QStringLiteral("[Content_Types].xml")); }), {}, "[Content_Types].xml"},
        {variant(QStringLiteral("badxml.xlsx"), [](auto &p) { p[QStringLiteral("xl/workbook.xml")].chop(5); }), {}, "xl/workbook.xml"},
        {variant(QStringLiteral("nosheet.xlsx"), [](auto &p) { p.remove(QStringLiteral("xl/worksheets/sheet1.xml")); }), {}, "xl/worksheets/sheet1.xml"},
        {variant(QStringLiteral("strict.xlsx"), [](auto &p) {
             p[QStringLiteral("_rels/.rels")].replace("http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument",
                                                     "http://purl.oclc.org/ooxml/officeDocument/relationships/officeDocument");
         }), {}, "Strict"},
    };
    for (const Case &c : cases) {
        if (!c.bytes.isNull() || c.file == QLatin1String("empty.xlsx")) {
            QFile f(path(c.file));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.bytes);
        }
        try {
            wb::Workbook::open(path(c.file));
            ADD_FAILURE() << "opened " << c.file.toStdString();
        } catch (const wb::Error &e) {
            EXPECT_TRUE(e.message().contains(c.file)) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.expect))) << e.message().toStdString();
        }
    }
    // a malformed sheet is reported when the sheet is first used, naming the part
    variant(QStringLiteral("badsheet.xlsx"), [](auto &p) { p[QStringLiteral("xl/worksheets/sheet1.xml")].replace("</row>", "</rows>"); });
    wb::Workbook book = wb::Workbook::open(path(QStringLiteral("badsheet.xlsx")));
    try {
        book.sheet(0).setText(1, 1, QStringLiteral("x"));
        ADD_FAILURE() << "malformed sheet accepted";
    } catch (const wb::Error &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("xl/worksheets/sheet1.xml"))) << e.message().toStdString();
    }
}

TEST_F(WorkbookTest, FailedSaveKeepsTheOldFile)
{
    const QString target = path(QStringLiteral("keep.xlsx"));
    {
        wb::Workbook small = wb::Workbook::blank();
        small.activeSheet().setText(1, 1, QStringLiteral("old"));
        saveChecked(small, target);
    }
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();

    wb::Workbook big = wb::Workbook::blank();
    QRandomGenerator rng(7);
    for (int r = 1; r <= 3000; ++r)
        big.activeSheet().setText(r, 1, QString::number(rng.generate64(), 36) + QString::number(rng.generate64(), 36));
    // a disk that fills up: the process may not write files beyond 16 KiB
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    auto *previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit lim = old;
    lim.rlim_cur = 16 * 1024;
    setrlimit(RLIMIT_FSIZE, &lim);
    EXPECT_THROW(big.save(target), wb::Error);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    f.close();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.xlsx")});

    // a missing folder is made; the target is replaced only by the complete file
    big.save(dir.filePath(QStringLiteral("new/folder/keep.xlsx")));
    EXPECT_TRUE(xlsxcheck::problems(dir.filePath(QStringLiteral("new/folder/keep.xlsx"))).isEmpty());
    saveChecked(big, target);
    EXPECT_EQ(wb::Workbook::open(target).activeSheet().lastRow(), 3000);
}

TEST_F(WorkbookTest, OpenpyxlBookRoundTripKeepsWhatIsNotTouched)
{
    const QString form = makeForm(QStringLiteral("body"), path(QStringLiteral("rt.xlsx")));
    const QJsonObject before = dump(form);
    {
        wb::Workbook book = wb::Workbook::open(form);
        // nothing changed: everything the reader sees stays
        saveChecked(book, path(QStringLiteral("rt-same.xlsx")));
    }
    QJsonObject after = dump(path(QStringLiteral("rt-same.xlsx")));
    EXPECT_EQ(after, before);
    wb::Workbook book = wb::Workbook::open(path(QStringLiteral("rt-same.xlsx")));
    wb::Sheet &other = book.sheetByName(QStringLiteral("other"));
    EXPECT_EQ(other.text(1, 1), QStringLiteral("他のシート"));
    EXPECT_EQ(book.sheet(0).text(5, 5), QStringLiteral("=A5&B5"));
    other.setText(2, 1, QStringLiteral("追加"));
    other.activate();
    saveChecked(book, path(QStringLiteral("rt-2.xlsx")));
    after = dump(path(QStringLiteral("rt-2.xlsx")));
    EXPECT_EQ(after.value(QStringLiteral("active")).toInt(), 1);
    EXPECT_EQ(sheetOf(after, 0).value(QStringLiteral("cells")), sheetOf(before, 0).value(QStringLiteral("cells")));
    EXPECT_EQ(cellOf(sheetOf(after, 1), QStringLiteral("A2")).value(QStringLiteral("v")).toString(), QStringLiteral("追加"));
    EXPECT_FALSE(sheetOf(after, 0).value(QStringLiteral("selected")).toBool());
}

} // namespace
