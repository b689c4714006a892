#pragma once
// The SQL history: one file "SQLLOGn.SQL" per recorded text in a folder, and the index
// "SQLLOG.IDX" naming them newest first. The index in memory is the program-wide list
// (SQLHistoryList()); the SQL window and the index adviser record and read through this
// class. Files are replaced whole (QSaveFile), so a failed write never leaves half a file.
#include "core/kdhistoryindex.h"
#include "core/kdsub_service.h"

#include <QString>
#include <QStringList>
#include <optional>

class TSQLHistory
{
public:
    // Index: the list changed in place; Folder ends with a separator; Buffer = SQLBuf.
    TSQLHistory(QStringList &Index, const QString &Folder, int Buffer, TFileEncoding Encoding);
    // The program-wide list with the folder, size and encoding of the current options.
    static TSQLHistory Global();

    enum class TRecordResult { Recorded, Off, Failed };
    // Records Text (the editor's lines, CR LF after each) as the newest entry. Off: SQLBuf <= 0;
    // Failed: the folder or a file could not be
    // written, the index is as it was.
    TRecordResult Record(const QString &Text);
    // The message shown when recording failed.
    static QString FailureText();

    // The text of entry Position (0 = newest); nullopt when the file cannot be read.
    std::optional<QString> Read(int Position) const;
    // The file of entry Position.
    QString FilePath(int Position) const;
    int Count() const { return int(FIndex.size()); }

    // The index file path in Folder.
    static QString IndexPath(const QString &Folder);
    // Reads the index file: the encoding from its byte-order mark (UTF-8, UTF-16 LE/BE), the
    // system code page when it has none. A missing or unreadable file gives an empty list.
    static QStringList LoadIndex(const QString &Path, TFileEncoding *ReadEncoding = nullptr);
    // Writes the index in Encoding (with its mark, where it has one); false on failure.
    static bool SaveIndex(const QString &Path, const QStringList &Index, TFileEncoding Encoding);

private:
    bool WriteFile(const QString &Path, const QString &Text) const;
    QStringList &FIndex;
    QString FFolder;
    int FBuffer;
    TFileEncoding FEncoding;
};

