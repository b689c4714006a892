#pragma once
// Structure checks of a written .xlsx file, for every file a test writes: the points on
// which the spreadsheet program refuses a book or offers to repair it.
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

namespace xlsxcheck {

// The problems found in the book at `fileName`; empty when it is sound. Checked: a content
// type for every part and a part for every override; relationship targets present and every
// part reachable from the package relationships; sheet names valid and unique; rows and
// cells ascending with references that match; shared-string indexes and count; style indexes
// within cellXfs; sheet-scoped names and the active tab within the sheets; no calcChain
// without its part.
QStringList problems(const QString &fileName);

// The parts of a book by name (for tests that look inside).
QMap<QString, QByteArray> readParts(const QString &fileName);

// Writes parts into a zip file (for fixtures made by hand).
bool writeZip(const QString &fileName, const QMap<QString, QByteArray> &parts);

} // namespace xlsxcheck
