#pragma once
// Conversion between QString and byte encodings that Qt does not carry itself
// (CP932, EUC-JP, UTF-7, ...), through glibc iconv. UTF-8 and UTF-16 take Qt's fast paths.
#include <QByteArray>
#include <QString>

namespace textcodec {

// Encodes text in the iconv encoding `encoding` ("CP932", "EUC-JP", "UTF-7", "UTF-8",
// "UTF-16LE", ...). Characters the encoding cannot hold become '?', and *ok is set false.
QByteArray encode(const QString &text, const char *encoding, bool *ok = nullptr);

// Decodes bytes in `encoding`. Invalid sequences become U+FFFD, and *ok is set false.
QString decode(const QByteArray &bytes, const char *encoding, bool *ok = nullptr);

// The system "ANSI" code page of the original platform: Japanese Windows, CP932.
inline constexpr const char *AnsiCodePage = "CP932";

} // namespace textcodec
