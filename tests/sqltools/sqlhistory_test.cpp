// The SQL history store in temporary folders: numbering, reuse, limits, failures, encodings.
#include "sqltools/sqlhistory.h"
#include "support/qstring_printer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList Names(int from, int to) // "SQLLOGfrom.SQL" .. "SQLLOGto.SQL", descending when from > to
{
    QStringList l;
    for (int n = from; from > to ? n >= to : n <= to; n += from > to ? -1 : 1)
        l << QStringLiteral("SQLLOG%1.SQL").arg(n);
    return l;
}

TEST(SqlHistory, NumbersAreTakenAndReusedNewestFirst)
{
    QTemporaryDir dir;
    QStringList index;
    TSQLHistory h(index, dir.path() + QStringLiteral("/sub/"), 32, TFileEncoding::Utf8);
    for (int i = 1; i <= 32; ++i)
        ASSERT_EQ(h.Record(QStringLiteral("SELECT %1\r\n").arg(i)), TSQLHistory::TRecordResult::Recorded);
    EXPECT_EQ(index, Names(32, 1));
    // Full: the oldest (SQLLOG1) leaves, its number and file are reused, the new entry on top.
    ASSERT_EQ(h.Record(QStringLiteral("SELECT 33\r\n")), TSQLHistory::TRecordResult::Recorded);
    EXPECT_EQ(index.size(), 32);
    EXPECT_EQ(index.first(), QStringLiteral("SQLLOG1.SQL"));
    EXPECT_EQ(index.last(), QStringLiteral("SQLLOG2.SQL"));
    EXPECT_EQ(h.Read(0).value(), QStringLiteral("SELECT 33\r\n"));
    // The index file lists the same names, CR LF after each, with the UTF-8 mark.
    const QByteArray idx = ReadAll(TSQLHistory::IndexPath(dir.path() + QStringLiteral("/sub")));
    EXPECT_TRUE(idx.startsWith("\xEF\xBB\xBFSQLLOG1.SQL\r\nSQLLOG32.SQL\r\n"));
    EXPECT_TRUE(ReadAll(h.FilePath(0)).startsWith("\xEF\xBB\xBF"));
}

TEST(SqlHistory, LoweredBufferTrimsToOneBelowAndNeverStopsSilently)
{
    QTemporaryDir dir;
    QStringList index = Names(32, 1);
    TSQLHistory h(index, dir.path(), 10, TFileEncoding::Utf8);
    ASSERT_EQ(h.Record(QStringLiteral("x\r\n")), TSQLHistory::TRecordResult::Recorded);
    ASSERT_EQ(index.size(), 10);
    // 32..24 stayed; the first free number among 1..10 is 1.
    EXPECT_EQ(index.first(), QStringLiteral("SQLLOG1.SQL"));
    EXPECT_EQ(index.mid(1), Names(32, 24));
    ASSERT_EQ(h.Record(QStringLiteral("y\r\n")), TSQLHistory::TRecordResult::Recorded);
    EXPECT_EQ(index.first(), QStringLiteral("SQLLOG2.SQL"));
    EXPECT_EQ(index.size(), 10);
}

TEST(SqlHistory, BufferOffRecordsNothing)
{
    for (int buf : {0, -1}) {
        QTemporaryDir dir;
        QStringList index = {QStringLiteral("SQLLOG1.SQL")};
        TSQLHistory h(index, dir.path(), buf, TFileEncoding::Utf8);
        EXPECT_EQ(h.Record(QStringLiteral("x")), TSQLHistory::TRecordResult::Off);
        EXPECT_EQ(index, QStringList({QStringLiteral("SQLLOG1.SQL")}));
        EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    }
}

TEST(SqlHistory, WriteFailureLeavesTheIndexUnchanged)
{
    QTemporaryDir dir;
    // A folder below a plain file can be neither created nor written, whoever runs the test.
    QFile blocker(dir.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QStringList index = Names(3, 1);
    TSQLHistory h(index, dir.filePath(QStringLiteral("file/history/")), 3, TFileEncoding::Utf8);
    EXPECT_EQ(h.Record(QStringLiteral("x")), TSQLHistory::TRecordResult::Failed);
    EXPECT_EQ(index, Names(3, 1));
    EXPECT_FALSE(TSQLHistory::FailureText().isEmpty());
}

TEST(SqlHistory, MissingFilesReadAsNothing)
{
    QTemporaryDir dir;
    QStringList index = {QStringLiteral("SQLLOG7.SQL")};
    TSQLHistory h(index, dir.path(), 32, TFileEncoding::Utf8);
    EXPECT_FALSE(h.Read(0).has_value());
    EXPECT_FALSE(h.Read(1).has_value());
    EXPECT_FALSE(h.Read(-1).has_value());
}

TEST(SqlHistory, EntriesReadInTheirEncodingWithOrWithoutMark)
{
    for (TFileEncoding enc : {TFileEncoding::Utf8, TFileEncoding::Utf16LE, TFileEncoding::Utf16BE, TFileEncoding::Ansi}) {
        QTemporaryDir dir;
        QStringList index;
        TSQLHistory h(index, dir.path(), 5, enc);
        const QString text = QStringLiteral("SELECT '日本語'\r\n");
        ASSERT_EQ(h.Record(text), TSQLHistory::TRecordResult::Recorded);
        EXPECT_EQ(h.Read(0).value(), text);
        // The same text written without a mark reads the same.
        QFile f(h.FilePath(0));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray bytes = EncodeFileText(text, enc);
        for (const QByteArray &bom : {QByteArray("\xEF\xBB\xBF"), QByteArray("\xFF\xFE"), QByteArray("\xFE\xFF")})
            if (bytes.startsWith(bom))
                bytes.remove(0, bom.size());
        f.write(bytes);
        f.close();
        EXPECT_EQ(h.Read(0).value(), text);
    }
}

TEST(SqlHistory, IndexEncodingComesFromItsMarkAndIsWrittenBack)
{
    struct Case { const char *name; TFileEncoding enc; bool mark; };
    const QList<Case> cases = {
        {"UTF-8 with mark", TFileEncoding::Utf8, true},
        {"UTF-16LE", TFileEncoding::Utf16LE, true},
        {"UTF-16BE", TFileEncoding::Utf16BE, true},
        {"no mark: system code page", TFileEncoding::Ansi, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = TSQLHistory::IndexPath(dir.path());
        ASSERT_TRUE(TSQLHistory::SaveIndex(path, Names(1, 3), c.enc));
        TFileEncoding read = TFileEncoding::Utf7;
        EXPECT_EQ(TSQLHistory::LoadIndex(path, &read), Names(1, 3));
        EXPECT_EQ(read, c.enc);
        const QByteArray before = ReadAll(path);
        ASSERT_TRUE(TSQLHistory::SaveIndex(path, Names(1, 3), read));
        EXPECT_EQ(ReadAll(path), before);
    }
    TFileEncoding read = TFileEncoding::Utf8;
    EXPECT_TRUE(TSQLHistory::LoadIndex(QStringLiteral("/nonexistent/SQLLOG.IDX"), &read).isEmpty());
    EXPECT_EQ(read, TFileEncoding::Ansi);
}

} // namespace
