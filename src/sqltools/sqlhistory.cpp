#include "sqltools/sqlhistory.h"
#include "core/kdhistoryindex.h"
#include "core/kdsub_options.h"
#include "core/kdsub_start.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

TSQLHistory::TSQLHistory(QStringList &Index, const QString &Folder, int Buffer, TFileEncoding Encoding)
    : FIndex(Index), FFolder(Folder), FBuffer(Buffer), FEncoding(Encoding)
{
    if (!FFolder.isEmpty() && !FFolder.endsWith(u'/') && !FFolder.endsWith(u'\\'))
        FFolder += u'/';
}

TSQLHistory TSQLHistory::Global()
{
    const TkdOption &o = TkdOption::Global();
    return TSQLHistory(SQLHistoryList(), o.TempDir, o.SQLBuf, GetFileEncoding());
}

QString TSQLHistory::FailureText()
{
    return QStringLiteral("ファイルのアクセスに失敗しました。OSの権限を見直してください。");
}

QString TSQLHistory::IndexPath(const QString &Folder)
{
    QString f = Folder;
    if (!f.isEmpty() && !f.endsWith(u'/') && !f.endsWith(u'\\'))
        f += u'/';
    return f + QStringLiteral("SQLLOG.IDX");
}

bool TSQLHistory::WriteFile(const QString &Path, const QString &Text) const
{
    QSaveFile f(Path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = EncodeFileText(Text, FEncoding);
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

TSQLHistory::TRecordResult TSQLHistory::Record(const QString &Text)
{
    if (FBuffer <= 0)
        return TRecordResult::Off;
    // The oldest entries leave until one place is free, also when SQLBuf was lowered below
    // the index's length: SQLBuf - 1 entries hold at most SQLBuf - 1 of the numbers 1..SQLBuf,
    // so a free number always exists and a recording never stops silently.
    QStringList index = FIndex;
    while (index.size() >= FBuffer)
        index.removeLast();
    QString name;
    for (int n = 1; n <= FBuffer; ++n) {
        const QString candidate = QStringLiteral("SQLLOG%1.SQL").arg(n);
        if (!index.contains(candidate, Qt::CaseInsensitive)) {
            name = candidate;
            break;
        }
    }
    if (name.isEmpty())
        return TRecordResult::Failed; // cannot happen: see above
    if (!QDir().mkpath(FFolder) || !WriteFile(FFolder + name, Text))
        return TRecordResult::Failed;
    index.prepend(name);
    if (!WriteFile(IndexPath(FFolder), index.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")))
        return TRecordResult::Failed;
    FIndex = index;
    return TRecordResult::Recorded;
}

QString TSQLHistory::FilePath(int Position) const
{
    if (Position < 0 || Position >= FIndex.size())
        return QString();
    return FFolder + FIndex.at(Position);
}

std::optional<QString> TSQLHistory::Read(int Position) const
{
    const QString path = FilePath(Position);
    if (path.isEmpty())
        return std::nullopt;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return DecodeFileText(f.readAll(), FEncoding);
}

QStringList TSQLHistory::LoadIndex(const QString &Path, TFileEncoding *ReadEncoding)
{
    return LoadSQLHistoryIndex(Path, ReadEncoding);
}

bool TSQLHistory::SaveIndex(const QString &Path, const QStringList &Index, TFileEncoding Encoding)
{
    return SaveSQLHistoryIndex(Path, Index, Encoding);
}
