// File encodings, the WHERE history files, running client programs with their output,
// the client folder look-up and the double-byte test.
#include "core/kdsub_service.h"
#include "core/settings_fixture.h"
#include "support/qstring_printer.h"
#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QString u(const char *s) { return QString::fromUtf8(s); }

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

TEST(FileEncoding, OptionValuesAndByteOrderMarks)
{
    struct Case { int option; TFileEncoding encoding; QByteArray encodedA; };
    const Case cases[] = {
        {0, TFileEncoding::Ansi, QByteArray("\x82\xa0", 2)},
        {1, TFileEncoding::Utf7, QByteArray("+MEI-")},
        {2, TFileEncoding::Utf8, QByteArray("\xEF\xBB\xBF\xE3\x81\x82", 6)},
        {3, TFileEncoding::Utf16LE, QByteArray("\xFF\xFE\x42\x30", 4)},
        {4, TFileEncoding::Utf16BE, QByteArray("\xFE\xFF\x30\x42", 4)},
        {7, TFileEncoding::Ansi, QByteArray("\x82\xa0", 2)},
        {0x102, TFileEncoding::Utf8, QByteArray("\xEF\xBB\xBF\xE3\x81\x82", 6)}, // low byte counts
    };
    for (const Case &c : cases) {
        EXPECT_EQ(GetFileEncoding(c.option), c.encoding) << c.option;
        EXPECT_EQ(EncodeFileText(u("あ"), c.encoding), c.encodedA) << c.option;
        EXPECT_EQ(DecodeFileText(c.encodedA, c.encoding), u("あ")) << c.option;
    }
    // without a byte-order mark the text reads the same; the mark of another encoding is text
    EXPECT_EQ(DecodeFileText(QByteArray("\xE3\x81\x82", 3), TFileEncoding::Utf8), u("あ"));
    const QString text = u("SELECT * FROM 社員 WHERE 名前 = 'ｶﾅ';\r\n");
    for (TFileEncoding e : {TFileEncoding::Ansi, TFileEncoding::Utf7, TFileEncoding::Utf8,
                            TFileEncoding::Utf16LE, TFileEncoding::Utf16BE})
        EXPECT_EQ(DecodeFileText(EncodeFileText(text, e), e), text);
}

TEST(WhereHistory, FileNameAndEmptyTable)
{
    QTemporaryDir dir;
    EXPECT_EQ(WhereHistoryFile(dir.path(), u("a/b"), u("c:d")), dir.path() + u("/ab.cd.ini"));
    EXPECT_EQ(WhereHistoryFile(dir.path() + u("/"), u("%"), u("%")), dir.path() + u("/%.%.ini"));

    const QString folder = dir.filePath(u("sub/temp"));
    EXPECT_TRUE(LoadWhereHistory(u("s"), QString(), folder, TFileEncoding::Utf8).isEmpty());
    EXPECT_FALSE(QDir(folder).exists()); // touched nothing
    // saving does not test the table name
    SaveWhereHistory(u("s"), QString(), {u("x = 1")}, folder, TFileEncoding::Utf8);
    EXPECT_TRUE(QFile::exists(folder + u("/s..ini")));
}

TEST(WhereHistory, RoundTripGapsLimitAndOtherSections)
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    const QString file = WhereHistoryFile(folder, u("hr"), u("社員"));
    for (TFileEncoding e : {TFileEncoding::Ansi, TFileEncoding::Utf16LE, TFileEncoding::Utf8}) {
        writeAll(file, EncodeFileText(u("[COLUMN]\r\nWidth0=80\r\n[WHERE]\r\n00=id = 1\r\n05=名前 = 'ｶﾅ'\r\n[OTHER]\r\nx=y\r\n"), e));
        EXPECT_EQ(LoadWhereHistory(u("hr"), u("社員"), folder, e), (QStringList{u("id = 1"), u("名前 = 'ｶﾅ'")}));
    }

    const TFileEncoding e = TFileEncoding::Utf8;
    QStringList many;
    for (int i = 0; i < 25; ++i)
        many << QStringLiteral("c = %1").arg(i);
    SaveWhereHistory(u("hr"), u("社員"), many, folder, e);
    const QStringList loaded = LoadWhereHistory(u("hr"), u("社員"), folder, e);
    EXPECT_EQ(loaded, many.mid(0, 20));
    const QString text = DecodeFileText(readAll(file), e);
    EXPECT_TRUE(readAll(file).startsWith("\xEF\xBB\xBF"));
    EXPECT_TRUE(text.contains(u("19=c = 19")));
    EXPECT_FALSE(text.contains(u("20=")));
    // the other sections are kept
    EXPECT_TRUE(text.contains(u("[COLUMN]\r\nWidth0=80\r\n")));
    EXPECT_TRUE(text.contains(u("[OTHER]\r\nx=y\r\n")));
}

TEST(WhereHistory, ShorterListRemovesTheRest)
{
    QTemporaryDir dir;
    const TFileEncoding e = TFileEncoding::Utf8;
    const QStringList five{u("a = 1"), u("a = 2"), u("a = 3"), u("a = 4"), u("a = 5")};
    SaveWhereHistory(u("s"), u("t"), five, dir.path(), e);
    SaveWhereHistory(u("s"), u("t"), {u("b = 1"), u("a = 1"), u("a = 2")}, dir.path(), e);
    EXPECT_EQ(LoadWhereHistory(u("s"), u("t"), dir.path(), e),
              (QStringList{u("b = 1"), u("a = 1"), u("a = 2")}));
    SaveWhereHistory(u("s"), u("t"), {}, dir.path(), e);
    EXPECT_TRUE(LoadWhereHistory(u("s"), u("t"), dir.path(), e).isEmpty());
}

TEST(WhereHistory, FileErrorsAreRaised)
{
    QTemporaryDir dir;
    const QString blocker = dir.filePath(u("plainfile"));
    writeAll(blocker, "x");
    // a folder that cannot be created because a file stands in its way
    EXPECT_THROW(LoadWhereHistory(u("s"), u("t"), blocker + u("/sub"), TFileEncoding::Utf8), TkdFileError);
    EXPECT_THROW(SaveWhereHistory(u("s"), u("t"), {u("x")}, blocker + u("/sub"), TFileEncoding::Utf8), TkdFileError);
}

struct Collected {
    QStringList lines;
    int batches = 0;
    TkdProcessRunner::LineSink sink()
    {
        return [this](const QStringList &l) { lines += l; ++batches; };
    }
};

TEST(RunWithOutput, MissingProgramReportsNotStarted)
{
    Collected c;
    TRunResult r;
    EXPECT_FALSE(RunWithOutput(u("/nonexistent/vantor-no-such-program --x"), c.sink(), &r));
    EXPECT_FALSE(r.Started);
    EXPECT_FALSE(r.ErrorText.isEmpty());
    EXPECT_TRUE(c.lines.isEmpty());
    EXPECT_FALSE(RunWithOutput(QString(), c.sink(), &r));
}

TEST(RunWithOutput, LinesOfBothChannelsAndExitStatus)
{
    Collected c;
    TRunResult r;
    ASSERT_TRUE(RunWithOutput(u("sh -c \"printf 'one\\r\\ntwo\\n'; echo err 1>&2; printf 'last'; exit 3\""), c.sink(), &r));
    EXPECT_TRUE(r.Started);
    EXPECT_EQ(r.ExitCode, 3);
    EXPECT_FALSE(r.Crashed);
    EXPECT_FALSE(r.Stopped);
    EXPECT_EQ(c.lines.size(), 4);
    EXPECT_EQ(c.lines.indexOf(u("one")) + 1, c.lines.indexOf(u("two")));
    EXPECT_TRUE(c.lines.contains(u("err")));
    EXPECT_EQ(c.lines.back(), u("last")); // a last line without a break is still shown
}

TEST(RunWithOutput, DecodesUtf8AndCp932)
{
    Collected c;
    // the command line is split at blanks outside double quotes
    ASSERT_TRUE(RunWithOutput(u("printf \"\\202\\240\\n\\343\\201\\202\\n\""), c.sink()));
    EXPECT_EQ(c.lines, (QStringList{u("あ"), u("あ")}));
}

TEST(RunWithOutput, ManyLinesArriveInBatches)
{
    Collected c;
    TRunResult r;
    ASSERT_TRUE(RunWithOutput(u("seq 1 200000"), c.sink(), &r));
    EXPECT_EQ(r.ExitCode, 0);
    ASSERT_EQ(c.lines.size(), 200000);
    EXPECT_EQ(c.lines.front(), u("1"));
    EXPECT_EQ(c.lines.back(), u("200000"));
    EXPECT_LT(c.batches, 2000);
}

TEST(RunWithOutput, HangingChildCanBeStopped)
{
    TkdProcessRunner runner;
    runner.SetStopGraceMs(500);
    Collected c;
    // the child ignores the polite request, so it has to be killed
    QObject::connect(&runner, &TkdProcessRunner::Started, &runner, [&] {
        QTimer::singleShot(200, &runner, [&] { runner.Stop(); });
    });
    const TRunResult r = runner.Run(u("sh -c \"trap '' TERM; echo ready; sleep 60\""), c.sink());
    EXPECT_TRUE(r.Started);
    EXPECT_TRUE(r.Stopped);
    EXPECT_TRUE(r.Crashed);
    EXPECT_FALSE(runner.IsRunning());
    EXPECT_EQ(c.lines, QStringList{u("ready")});
}

TEST(LineSplitter, JoinsCharactersSplitOverReads)
{
    TkdLineSplitter s;
    const QByteArray utf8 = u("日本語\r\n").toUtf8();
    QStringList lines;
    for (char b : utf8)
        lines += s.Feed(QByteArray(1, b));
    EXPECT_EQ(lines, QStringList{u("日本語")});
    EXPECT_TRUE(s.Feed("\x82").isEmpty());
    EXPECT_EQ(s.Feed("\xa0\n"), QStringList{u("あ")});
    EXPECT_TRUE(s.Feed("tail\r").isEmpty());
    EXPECT_EQ(s.Finish(), QStringList{u("tail")});
    EXPECT_TRUE(s.Finish().isEmpty());
    EXPECT_EQ(s.Feed("\n\n"), (QStringList{u(""), u("")}));
}

TEST(ClientFolder, SixtyFourBitClientWins)
{
    struct Case { QMap<QString, QString> values; bool parent; QString expected; };
    const QString cl32 = u("\\SOFTWARE\\FUJITSU\\SymfowareSV\\CL32");
    const QString cl64 = u("\\SOFTWARE\\FUJITSU\\SymfowareSV\\CL64");
    const Case cases[] = {
        {{{cl32, u("/opt/c32")}, {cl64, u("/opt/c64")}}, true, u("/opt/c64")},
        {{{cl32, u("/opt/c32")}}, true, u("/opt/c32")},
        {{{cl64, u("/opt/c64")}}, true, u("/opt/c64")},
        {{{cl32, u("/opt/c32")}}, false, u("")},
        {{}, true, u("")},
    };
    for (const Case &c : cases) {
        SymfowareClientFolder().clear();
        TMachineKeys keys;
        keys.KeyExists = [&](const QString &k) { return c.parent && k == u("\\SOFTWARE\\FUJITSU\\SymfowareSV"); };
        keys.FirstValue = [&](const QString &k) -> std::optional<QString> {
            if (!c.values.contains(k))
                return std::nullopt;
            return c.values.value(k);
        };
        FindSymfowareClientFolder(keys);
        EXPECT_EQ(SymfowareClientFolder(), c.expected);
        // once found, it is not searched again
        int calls = 0;
        keys.KeyExists = [&](const QString &) { ++calls; return true; };
        FindSymfowareClientFolder(keys);
        EXPECT_EQ(calls, c.expected.isEmpty() ? 1 : 0);
    }
    SymfowareClientFolder().clear();
}

class ClientFolderFromMachineSettings : public FreshSettingsTest {};

TEST_F(ClientFolderFromMachineSettings, ReadsTheFirstValueOfTheClientKeys)
{
    SymfowareClientFolder().clear();
    FindSymfowareClientFolder();
    EXPECT_EQ(SymfowareClientFolder(), u("")); // no machine file: not installed
    {
        settings::SettingsStore machine(MachineFile());
        ASSERT_TRUE(machine.createKey(u("\\SOFTWARE\\FUJITSU\\SymfowareSV")));
        ASSERT_TRUE(machine.setValue(u("\\SOFTWARE\\FUJITSU\\SymfowareSV\\CL32"), u("Path"),
                                     settings::Value::fromString(u("/opt/symfo32"))));
        ASSERT_TRUE(machine.setValue(u("\\SOFTWARE\\FUJITSU\\SymfowareSV\\CL32"), u("Other"),
                                     settings::Value::fromString(u("/ignored"))));
    }
    FindSymfowareClientFolder();
    EXPECT_EQ(SymfowareClientFolder(), u("/opt/symfo32"));
    SymfowareClientFolder().clear();
}

TEST(SmallServices, ShortFolderPathAndDoubleByte)
{
    QTemporaryDir dir;
    const QString clean = QDir::cleanPath(dir.path());
    EXPECT_EQ(ShortFolderPath(dir.path()), clean + u("/"));
    EXPECT_EQ(ShortFolderPath(dir.path() + u("/")), clean + u("/"));
    EXPECT_EQ(ShortFolderPath(dir.path() + u("/missing")), u(""));
    EXPECT_EQ(ShortFolderPath(QString()), u(""));

    const QString s = u("aあｱ漢😀");
    EXPECT_FALSE(IsDoubleByteChar(s, 1));
    EXPECT_TRUE(IsDoubleByteChar(s, 2));
    EXPECT_FALSE(IsDoubleByteChar(s, 3)); // half-width katakana is one byte
    EXPECT_TRUE(IsDoubleByteChar(s, 4));
    EXPECT_FALSE(IsDoubleByteChar(s, 5)); // not in the code page
    EXPECT_FALSE(IsDoubleByteChar(s, 0));
    EXPECT_FALSE(IsDoubleByteChar(s, 99));
}

} // namespace

TEST(FileDialogs, ExcelFilterFollowsTheExactExtension)
{
    const QString xlsx = QStringLiteral("Excelファイル(*.xlsx)|*.xlsx");
    const QString xls = QStringLiteral("Excelファイル(*.xls)|*.xls");
    const std::pair<const char *, QString> cases[] = {
        {".XLSX", xlsx}, {".xlsx", xls}, {".XLS", xls}, {"", xls}, {"XLSX", xls},
    };
    for (const auto &[ext, filter] : cases)
        EXPECT_EQ(ExcelFileFilterFor(QString::fromUtf8(ext)), filter) << ext;
}

TEST(FileDialogs, PipeFiltersBecomeDialogFilters)
{
    const std::pair<QString, QString> cases[] = {
        // Texts that show their masks stay as they are.
        {QStringLiteral("Excelファイル(*.xlsx)|*.xlsx|すべてのファイル(*.*)|*.*"),
         QStringLiteral("Excelファイル(*.xlsx);;すべてのファイル(*.*)")},
        // Masks the text does not show are added; ";" separates masks.
        {QStringLiteral("SQLファイル|*.sql;*.txt"), QStringLiteral("SQLファイル (*.sql *.txt)")},
        // Parentheses showing other masks than the filter's do not hide the real ones.
        {QStringLiteral("テキスト(*.txt)|*.csv"), QStringLiteral("テキスト(*.txt) (*.csv)")},
        {QStringLiteral("CSV (*.csv;*.tsv)|*.csv;*.tsv"), QStringLiteral("CSV (*.csv;*.tsv)")},
        {QString(), QString()},
    };
    for (const auto &[pipe, qt] : cases)
        EXPECT_EQ(QtFileFilter(pipe), qt) << pipe.toStdString();
}
