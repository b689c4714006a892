#pragma once
// The SQL history's index file "SQLLOG.IDX" as the main window reads it at start-up and
// writes it at exit: its encoding is taken from a byte-order mark (the system code page
// when there is none) and the file is written back in the encoding it was read in.
#include "core/kdsub_service.h"

#include <QString>
#include <QStringList>

// Reads the index: one entry name per line (CR LF or LF). A missing or unreadable file
// gives an empty list. ReadEncoding receives the encoding found (the system code page for
// a missing file or one without a mark).
QStringList LoadSQLHistoryIndex(const QString &Path, TFileEncoding *ReadEncoding = nullptr);
// Writes the index in Encoding (with its mark, where it has one), CR LF after each line,
// replacing the file whole; the folder is created when missing. False on failure.
bool SaveSQLHistoryIndex(const QString &Path, const QStringList &Index, TFileEncoding Encoding);
// The encoding the index was read in at start-up (the system code page until then).
TFileEncoding &SQLHistoryIndexEncoding();
