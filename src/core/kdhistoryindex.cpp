#include "core/kdhistoryindex.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

QStringList LoadSQLHistoryIndex(const QString &Path, TFileEncoding *ReadEncoding)
{
    if (ReadEncoding)
        *ReadEncoding = TFileEncoding::Ansi;
    QFile f(Path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.readAll();
    TFileEncoding enc = TFileEncoding::Ansi;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        enc = TFileEncoding::Utf8;
    else if (bytes.startsWith("\xFF\xFE"))
        enc = TFileEncoding::Utf16LE;
    else if (bytes.startsWith("\xFE\xFF"))
        enc = TFileEncoding::Utf16BE;
    if (ReadEncoding)
        *ReadEncoding = enc;
    QString text = DecodeFileText(bytes, enc);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = text.split(u'\n');
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool SaveSQLHistoryIndex(const QString &Path, const QStringList &Index, TFileEncoding Encoding)
{
    if (!QDir().mkpath(QFileInfo(Path).absolutePath()))
        return false;
    QSaveFile f(Path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QString text;
    for (const QString &l : Index)
        text += l + QStringLiteral("\r\n");
    const QByteArray bytes = EncodeFileText(text, Encoding);
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

TFileEncoding &SQLHistoryIndexEncoding()
{
    static TFileEncoding encoding = TFileEncoding::Ansi;
    return encoding;
}
