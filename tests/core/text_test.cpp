// Identifier and literal quoting, text, value and file helpers of the shared unit.
#include "core/kdsub_options.h"
#include "core/kdsub_text.h"
#include "support/qstring_printer.h"
#include "support/testdb.h"
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <algorithm>

namespace {

const QString Q = QStringLiteral("\"");
QString u(const char *s) { return QString::fromUtf8(s); }

struct QuoteCase { QString name; bool useLower; QString expected; };

TEST(QuoteIdentifier, RulesAndOddInputs)
{
    const QString name63 = QString(63, u'a');
    const QuoteCase cases[] = {
        {u("emp"), true, u("\"emp\"")},
        {u("emp"), false, u("emp")},
        {u("Emp"), false, u("\"Emp\"")},
        {u("my-tab"), false, u("\"my-tab\"")},
        {u("a b"), false, u("\"a b\"")},
        {u("a\"B"), false, u("\"a\"\"B\"")},
        // a lower-case name holding a double quote cannot stay bare either
        {u("a\"b"), false, u("\"a\"\"b\"")},
        {u("\"emp\""), false, u("\"emp\"")},
        {u("\"emp\""), true, u("\"emp\"")},
        {u("\"a b\""), false, u("\"\"\"a b\"\"\"")},
        {u("\"a b\""), true, u("\"\"\"a b\"\"\"")},
        {u("emp "), false, u("\"emp \"")},
        {u(" emp"), false, u("\" emp\"")},
        {u("f(x)"), false, u("\"f(x)\"")},
        {u("表（1）"), false, u("\"表（1）\"")},
        {u("a@b"), false, u("\"a@b\"")},
        {u("a=b"), false, u("\"a=b\"")},
        {u("社員"), false, u("社員")},
        {u("社員"), true, u("\"社員\"")},
        {u("ｶﾅ表"), false, u("ｶﾅ表")},
        {u("社　員"), false, u("\"社　員\"")}, // ideographic space
        {u("Ａ表"), false, u("\"Ａ表\"")},       // full-width letter with a lower-case form
        {name63, false, name63},
        {u("_x$1"), false, u("_x$1")},
        {u("1abc"), false, u("\"1abc\"")},
        {u("$a"), false, u("\"$a\"")},
        {u("a.b"), false, u("\"a.b\"")},
        {u("select"), false, u("\"select\"")},
        {u("user"), false, u("\"user\"")},
        {u("char"), false, u("\"char\"")},
        {u("varchar"), false, u("\"varchar\"")},
        {u("name"), false, u("name")},   // unreserved keyword
        {u("text"), false, u("text")},
        {u(""), false, u("")},
        {u(""), true, u("\"\"")},
    };
    for (const QuoteCase &c : cases)
        EXPECT_EQ(QuoteIdentifier(c.name, c.useLower), c.expected)
            << c.name.toStdString() << " useLower=" << c.useLower;
    QString placeholder = u("a");
    placeholder += QChar(BlankPlaceholder);
    EXPECT_EQ(QuoteIdentifier(placeholder, false), Q + placeholder + Q);
}

// With the option off, every name that does not begin with a double quote must come back
// exactly as the server's own quote_ident() writes it; the keyword list is checked
// against the server's complete list.
TEST(QuoteIdentifier, MatchesServerQuoteIdentWhenOptionOff)
{
    auto conn = testdb::connect();
    PGresult *res = PQexec(conn.get(), "SELECT word, quote_ident(word) FROM pg_get_keywords()");
    ASSERT_EQ(PQresultStatus(res), PGRES_TUPLES_OK);
    ASSERT_GT(PQntuples(res), 400);
    for (int i = 0; i < PQntuples(res); ++i) {
        const QString word = QString::fromUtf8(PQgetvalue(res, i, 0));
        EXPECT_EQ(QuoteIdentifier(word, false), QString::fromUtf8(PQgetvalue(res, i, 1)))
            << word.toStdString();
    }
    PQclear(res);

    // quote_ident() also quotes "$" and characters beyond ASCII, which the server's scanner
    // reads bare all the same; those names are only checked by reading them back.
    const char *names[] = {"emp", "Emp", "my-tab", "a b", "x1", "_x", "a$", "1a", "a.b", "a\"b",
                           "trailing ", "select", "Select", "from", "user", "社員", "ｶﾅ", "x社員$"};
    for (const char *n : names) {
        const QString name = QString::fromUtf8(n);
        const bool plainAscii = std::all_of(name.begin(), name.end(),
            [](QChar c) { return c.unicode() < 0x80 && c != u'$'; });
        if (plainAscii) {
            const QString viaServer = testdb::scalar(conn.get(),
                QStringLiteral("SELECT quote_ident(%1)").arg(QuoteLiteral(name)));
            EXPECT_EQ(QuoteIdentifier(name, false), viaServer) << n;
        }
        // the written form names the same identifier when the server reads it back
        const QString roundTrip = testdb::scalar(conn.get(),
            QStringLiteral("SELECT (parse_ident(%1))[1]").arg(QuoteLiteral(QuoteIdentifier(name, false))));
        EXPECT_EQ(roundTrip, name) << n;
    }
}

TEST(QuoteNameList, SplitsQuotesAndRejoins)
{
    struct Case { QString names; bool comma; QString delim; bool useLower; QString expected; };
    const Case cases[] = {
        {u("integer"), false, u("."), false, u("integer")},
        {u("character varying"), false, u("."), false, u("character varying")},
        {u("character varying"), false, u("."), true, u("character varying")},
        {u("s.Typ"), false, u("."), false, u("s.\"Typ\"")},
        {u("s.typ"), false, u("."), false, u("s.typ")},
        {u("s.my tab"), false, u("."), true, u("\"s\".\"my tab\"")},
        {u("s.\"my tab\""), false, u("."), true, u("\"s\".\"my tab\"")},
        {u("a, B"), true, QString(), false, u("a,\" B\"")},
        {u("a,b,"), true, QString(), false, u("a,b,")},
        {u("integer,text"), true, QString(), true, u("\"integer\",\"text\"")},
        {u(""), true, QString(), true, u("")},
        {u("s.select"), false, u("."), false, u("s.\"select\"")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(QuoteNameList(c.names, c.comma, c.delim, c.useLower), c.expected)
            << c.names.toStdString();
}

TEST(QuoteLiteral, TextAndServerRoundTrip)
{
    EXPECT_EQ(QuoteLiteral(u("abc")), u("'abc'"));
    EXPECT_EQ(QuoteLiteral(u("it's")), u("'it''s'"));
    EXPECT_EQ(QuoteLiteral(u("")), u("''"));
    EXPECT_EQ(QuoteLiteral(u("a\\b")), u("E'a\\\\b'"));

    // Whatever standard_conforming_strings is, the literal must read back as the text.
    auto conn = testdb::connect();
    const QString texts[] = {u("plain"), u("it's"), u("a\\b"), u("\\'; DROP TABLE x; --"),
                             u("末尾\\"), u("''\\\\''"), u("日本語テキスト"), u("")};
    for (const char *setting : {"on", "off"}) {
        testdb::exec(conn.get(), QStringLiteral("SET standard_conforming_strings = %1").arg(QString::fromLatin1(setting)));
        for (const QString &t : texts) {
            const QString back = testdb::scalar(conn.get(),
                QStringLiteral("SELECT %1::text || '|'").arg(QuoteLiteral(t)));
            EXPECT_EQ(back, t + u'|') << t.toStdString() << " scs=" << setting;
        }
    }
}

TEST(UnquoteIdentifier, InverseOfQuoting)
{
    struct Case { QString in, out; };
    const Case cases[] = {
        {u("\"a\"\"b\""), u("a\"b")}, {u("abc"), u("abc")}, {u("\"x\"y"), u("x")},
        {u("\"社員\""), u("社員")}, {u("\""), u("")}, {u(""), u("")}, {u("\"open"), u("open")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(UnquoteIdentifier(c.in), c.out) << c.in.toStdString();
    for (const QString &n : {u("Emp"), u("a\"b"), u("a b"), u("表（1）")})
        EXPECT_EQ(UnquoteIdentifier(QuoteIdentifier(n, true)), n);
}

TEST(TextHelpers, StripTrimCopy)
{
    EXPECT_EQ(StripQuotes(Q), u(""));
    EXPECT_EQ(StripQuotes(u("\"abc")), u("\"abc"));
    EXPECT_EQ(StripQuotes(u("\"a\"\"b\"")), u("a\"\"b"));
    EXPECT_EQ(StripQuotes(u("abc")), u("abc"));
    EXPECT_EQ(StripQuotes(u("")), u(""));

    EXPECT_EQ(TrimBlanks(u("\f x \t\r\n")), u("\f x"));
    EXPECT_EQ(TrimBlanks(u(" \t\r\n")), u(""));
    EXPECT_EQ(TrimBlanks(u("　全角　")), u("　全角　"));

    struct Case { QString s; int from, to; QString expected; };
    const Case cases[] = {
        {u("abcdef"), 2, 4, u("bcd")}, {u("abcdef"), 4, 3, u("")}, {u("abcdef"), 4, 1, u("")},
        {u("abcdef"), 5, 99, u("ef")}, {u("abcdef"), 7, 9, u("")}, {u("abcdef"), 0, 2, u("abc")},
        {u("abcdef"), -1, 1, u("abc")}, {u(""), 1, 1, u("")}, {u("日本語"), 2, 2, u("本")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(CopyRange(c.s, c.from, c.to), c.expected) << c.from << ".." << c.to;
}

TEST(TextHelpers, AnsiPosFromMatchesOnlyAtCharacterStarts)
{
    const QByteArray s = QByteArray("ab") + QByteArray("\x83\x41", 2) + QByteArray("A") + QByteArray("ab");
    EXPECT_EQ(AnsiPosFrom("ab", s, 1), 1);
    EXPECT_EQ(AnsiPosFrom("ab", s, 2), 6);
    // "A" (0x41) is also the trail byte of the double-byte character; only the real one counts
    EXPECT_EQ(AnsiPosFrom("A", s, 1), 5);
    EXPECT_EQ(AnsiPosFrom("zz", s, 1), 0);
    EXPECT_EQ(AnsiPosFrom("ab", s, 8), 0);
    EXPECT_EQ(AnsiPosFrom("ab", s, 99), 0);
    EXPECT_EQ(AnsiPosFrom("", s, 1), 0);
}

TEST(TextHelpers, StrInArrayAndComboItems)
{
    EXPECT_TRUE(StrInArray(u("b"), {u("a"), u("b")}));
    EXPECT_FALSE(StrInArray(u("B"), {u("a"), u("b")}));
    EXPECT_FALSE(StrInArray(u("a"), QStringList()));

    QComboBox combo;
    combo.addItems({u("one"), u("Two"), u("two"), u("two")});
    EXPECT_EQ(IndexOfComboItem(&combo, u("two")), 2);
    EXPECT_EQ(IndexOfComboItem(&combo, u("TWO")), -1);
    SelectComboItem(&combo, u("Two"));
    EXPECT_EQ(combo.currentIndex(), 1);
    SelectComboItem(&combo, u("none"));
    EXPECT_EQ(combo.currentIndex(), -1);
}

TEST(ValueHelpers, ConversionsWithDefault)
{
    EXPECT_EQ(VarToIntDef(QVariant(), 7), 7);
    EXPECT_EQ(VarToIntDef(QVariant(u("abc")), 7), 7);
    EXPECT_EQ(VarToIntDef(QVariant(u("12")), 7), 12);
    EXPECT_EQ(VarToIntDef(QVariant(u(" 12 ")), 7), 12);
    EXPECT_EQ(VarToIntDef(QVariant(u("99999999999")), 7), 7);
    EXPECT_EQ(VarToIntDef(QVariant(2.5), 7), 2);
    EXPECT_EQ(VarToIntDef(QVariant(3.5), 7), 4);
    EXPECT_EQ(VarToIntDef(QVariant(true), 7), 1);
    EXPECT_EQ(VarToIntDef(QVariant(qlonglong(1) << 40), 7), 7);
    EXPECT_DOUBLE_EQ(VarToFloatDef(QVariant(), 1.5), 1.5);
    EXPECT_DOUBLE_EQ(VarToFloatDef(QVariant(u("2.25")), 1.5), 2.25);
    EXPECT_DOUBLE_EQ(VarToFloatDef(QVariant(u("x")), 1.5), 1.5);
    EXPECT_DOUBLE_EQ(VarToFloatDef(QVariant(4), 1.5), 4.0);
    const QDateTime def(QDate(2000, 1, 1), QTime(0, 0));
    EXPECT_EQ(VarToDateTimeDef(QVariant(), def), def);
    EXPECT_EQ(VarToDateTimeDef(QVariant(u("nope")), def), def);
    EXPECT_EQ(VarToDateTimeDef(QVariant(u("2024-05-06T07:08:09")), def),
              QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)));
    EXPECT_EQ(VarToDateTimeDef(QVariant(u("2024/05/06")), def), QDateTime(QDate(2024, 5, 6), QTime(0, 0)));
    EXPECT_EQ(VarToDateTimeDef(QVariant(QDate(2024, 5, 6)), def), QDateTime(QDate(2024, 5, 6), QTime(0, 0)));
    EXPECT_EQ(IfThenVar(true, 1, 2).toInt(), 1);
    EXPECT_EQ(IfThenVar(false, 1, 2).toInt(), 2);
}

TEST(ValueHelpers, DisplayWidthAndHex)
{
    struct W { QString s; int width; };
    const W widths[] = {{u("ｱA"), 2}, {u("日本"), 4}, {u("\t"), 2}, {u(""), 0}, {u("~ "), 2},
                        {u("｡ﾟ"), 2}, {u("😀"), 4}};
    for (const W &w : widths)
        EXPECT_EQ(TextDisplayWidth(w.s), w.width) << w.s.toStdString();

    struct H { QString s; int count; QString hex; };
    const H hexes[] = {{u("A"), -1, u("4100")}, {u("A"), 4, u("41000000")}, {u("AB"), 1, u("41")},
                       {u("あ"), -1, u("4230")}, {u(""), 0, u("")}, {u(""), 2, u("0000")}};
    for (const H &h : hexes)
        EXPECT_EQ(TextToHex(h.s, h.count), h.hex) << h.s.toStdString() << " " << h.count;
}

TEST(FileHelpers, SafeFileName)
{
    EXPECT_EQ(SafeFileName(u("a/b*c?d\\e:f<g>h\"i|j")), u("abcdefghij"));
    EXPECT_EQ(SafeFileName(u("社員.表.ini")), u("社員.表.ini"));
}

TEST(FileHelpers, UniqueFileNameNeverReturnsAnExistingFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto touch = [&](const QString &name) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    };
    EXPECT_EQ(UniqueFileName(dir.filePath(u("book.xls"))), dir.filePath(u("book.xls")));
    touch(u("book.xls"));
    touch(u("book01.xls"));
    EXPECT_EQ(UniqueFileName(dir.filePath(u("book.xls"))), dir.filePath(u("book02.xls")));
    touch(u("noext"));
    EXPECT_EQ(UniqueFileName(dir.filePath(u("noext"))), dir.filePath(u("noext01")));
    // a dot in a folder name is no extension
    QDir(dir.path()).mkdir(u("d.x"));
    touch(u("d.x/file"));
    EXPECT_EQ(UniqueFileName(dir.filePath(u("d.x/file"))), dir.filePath(u("d.x/file01")));
    // past 99 the count goes on, and an existing "100" is skipped too
    touch(u("r.txt"));
    for (int i = 1; i <= 100; ++i)
        touch(QStringLiteral("r%1.txt").arg(i, 2, 10, QChar(u'0')));
    EXPECT_EQ(UniqueFileName(dir.filePath(u("r.txt"))), dir.filePath(u("r101.txt")));
}

TEST(FileHelpers, RemoveBlankLinesOnlyEmptyOnes)
{
    QStringList lines{u("a"), u(""), u("  "), u(""), u("b"), u("")};
    QStringList kept = lines;
    RemoveBlankLines(kept, false);
    EXPECT_EQ(kept, lines);
    RemoveBlankLines(lines, true);
    EXPECT_EQ(lines, (QStringList{u("a"), u("  "), u("b")}));
}

class KeyCounter : public QLineEdit {
public:
    int FEscapes = 0;
protected:
    void keyPressEvent(QKeyEvent *e) override
    {
        if (e->key() == Qt::Key_Escape)
            ++FEscapes;
        QLineEdit::keyPressEvent(e);
    }
};

TEST(EscapePressed, SeesWaitingEscWithoutTakingIt)
{
    // no active window: false, and the key is still delivered afterwards
    KeyCounter inactive;
    QCoreApplication::postEvent(&inactive, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    if (!QApplication::activeWindow()) {
        EXPECT_FALSE(EscapePressed());
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(inactive.FEscapes, 1);

    QWidget window;
    auto *edit = new KeyCounter;
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(edit);
    window.show();
    QApplication::setActiveWindow(&window);
    edit->setFocus();
    ASSERT_EQ(QApplication::activeWindow(), &window);

    QCoreApplication::processEvents();
    EXPECT_FALSE(EscapePressed());
    QCoreApplication::postEvent(edit, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, u("a")));
    EXPECT_FALSE(EscapePressed());
    QCoreApplication::postEvent(edit, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    EXPECT_TRUE(EscapePressed());
    EXPECT_TRUE(EscapePressed()); // still waiting: polling does not consume it
    EXPECT_EQ(edit->FEscapes, 0);
    EXPECT_EQ(edit->text(), u(""));
    QCoreApplication::processEvents();
    EXPECT_EQ(edit->FEscapes, 1);
    EXPECT_EQ(edit->text(), u("a"));
}

TEST(CommitActiveEdit, FinishesLineEditAndGridEditor)
{
    QStandardItemModel model(1, 1);
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *edit = new QLineEdit;
    auto *view = new QTableView;
    view->setModel(&model);
    layout->addWidget(edit);
    layout->addWidget(view);
    window.show();
    QApplication::setActiveWindow(&window);

    CommitActiveEdit(); // nothing focused yet: nothing happens

    int finished = 0;
    QObject::connect(edit, &QLineEdit::editingFinished, [&] { ++finished; });
    edit->setFocus();
    edit->setText(u("x"));
    CommitActiveEdit();
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(QApplication::focusWidget(), edit);

    view->setFocus();
    view->edit(model.index(0, 0));
    QWidget *editor = QApplication::focusWidget();
    auto *cellEditor = qobject_cast<QLineEdit *>(editor);
    ASSERT_NE(cellEditor, nullptr);
    cellEditor->setText(u("値"));
    CommitActiveEdit();
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), u("値"));
}

} // namespace

namespace {

// The short forms read the global option records.
TEST(OptionReadingForms, FollowTheGlobalRecords)
{
    TkdOption &opt = TkdOption::Global();
    TScriptOption &script = TScriptOption::Global();
    const bool oldLower = opt.UseLowerName, oldNull = script.NullLine;
    opt.UseLowerName = true;
    EXPECT_EQ(QuoteIdentifier(u("emp")), u("\"emp\""));
    EXPECT_EQ(QuoteNameList(u("s.t"), false, u(".")), u("\"s\".\"t\""));
    opt.UseLowerName = false;
    EXPECT_EQ(QuoteIdentifier(u("emp")), u("emp"));
    EXPECT_EQ(QuoteNameList(u("s.T"), false, u(".")), u("s.\"T\""));
    QStringList lines{u("a"), u(""), u("b")};
    script.NullLine = false;
    RemoveBlankLines(lines);
    EXPECT_EQ(lines.size(), 3);
    script.NullLine = true;
    RemoveBlankLines(lines);
    EXPECT_EQ(lines, (QStringList{u("a"), u("b")}));
    opt.UseLowerName = oldLower;
    script.NullLine = oldNull;
}

} // namespace
