#pragma once
// Inner structures of the workbook layer, shared by its units only.
#include "platform/workbook.h"
#include <QByteArray>
#include <QDomDocument>
#include <QHash>
#include <QMap>
#include <functional>
#include <vector>

namespace wb {

// Kinds of a stored cell. A cell record without a value keeps only its format.
enum CellKind : quint8 { KBlank = 0, KNumber, KShared, KBool, KError, KFormula };

struct Cell {
    union {
        double num;
        quint32 idx; // KShared: shared-string index; KError/KFormula: index into the sheet's side table
    };
    quint32 style = 0;
    quint16 col = 0;
    quint8 kind = KBlank;
    quint8 flags = 0;
    Cell() : num(0) {}
};

// A formula cell's formula and the value last computed for it.
struct Formula {
    QString text;      // without "="
    QString arrayRef;  // the range of an array formula, empty otherwise
    quint8 cachedKind = 0; // 0 none, 1 number, 2 string, 3 boolean, 4 error
    QString cached;
};

enum RowFlag : quint8 {
    RowHasStyle = 1, RowCustomHeight = 2, RowHidden = 4, RowCollapsed = 8, RowHasHeight = 16,
    RowThickTop = 32, RowThickBottom = 64,
};

struct Row {
    int r = 0;
    quint32 style = 0;
    float ht = 0;
    quint8 flags = 0;
    quint8 outline = 0;
    std::vector<Cell> cells; // ascending by column
};

struct Sheet::Data {
    QString partName;
    QString relId;
    QString name;
    bool isChart = false;
    QByteArray raw;            // the part as read, until the sheet is parsed
    bool parsed = false;       // dom and rawSheetData hold the sheet
    bool cellsLoaded = false;  // rows hold the sheet's cells
    bool changed = false;      // must be written from dom and rows
    QDomDocument dom;          // the worksheet with an empty sheetData element
    QString prefix;            // namespace prefix of the worksheet's elements ("" or "x:")
    QByteArray rawSheetData;   // inner text of sheetData until cellsLoaded
    std::vector<Row> rows;     // ascending by row
    std::vector<Formula> formulas;
    std::vector<QString> errors;
    std::vector<quint32> colStyles; // style per column (index 0 unused); built on demand
    bool colStylesValid = false;
};

struct Workbook::Data {
    QString fileName;
    QMap<QString, QByteArray> parts; // every part by name (without leading "/")
    QStringList order;               // part order of the package
    QHash<QString, QDomDocument> domParts; // parts held as documents (written from these)

    QString workbookPart;
    QString stylesPart;
    QString sstPart;
    std::vector<std::unique_ptr<Sheet>> sheets;

    // shared strings: plain text of each entry; raw inner XML of entries that are more than
    // one plain text (rich text, phonetic guides), which are written back unchanged
    std::vector<QString> sstText;
    QHash<quint32, QByteArray> sstRaw; // only the entries that are more than one plain text
    // index of the plain entries by text: open addressing over entry numbers + 1 (0 = free),
    // which keeps a million texts small and quick to find
    std::vector<quint32> sstSlots;
    size_t sstIndexed = 0;
    quint32 findSharedString(const QString &text, size_t hash) const;
    void indexSharedString(quint32 idx, size_t hash);
    bool sstChanged = false;

    // cell formats
    std::vector<quint8> xfFlags; // XfText, XfQuote
    QHash<quint64, quint32> derivedXf;
    int cut = 0;
    bool cellsChanged = false;
    bool structureChanged = false;

    // helpers (workbook.cpp)
    [[noreturn]] void fail(const QString &part, const QString &what) const;
    QDomDocument &dom(const QString &part);
    bool hasDom(const QString &part) const { return domParts.contains(part); }
    QDomDocument &rels(const QString &part, bool create = false);
    bool hasPart(const QString &part) const { return parts.contains(part) || domParts.contains(part); }
    void putPart(const QString &part, const QByteArray &bytes);
    void putDom(const QString &part, const QDomDocument &doc);
    QString uniquePartName(const QString &like) const;
    void setOverride(const QString &part, const QString &contentType);
    QString contentTypeOf(const QString &part);
    QString addRelationship(const QString &from, const QString &type, const QString &target);
    QDomElement workbookView();
    QDomElement sheetsElement();
    QDomElement definedNames(bool create);
    QString relPrefix();

    quint32 addSharedString(const QString &text);
    QString sharedString(quint32 idx) const;
    quint32 deriveXf(quint32 base, int change); // change: 1 quote on, 2 quote off, 3 text format
    bool xfIsText(quint32 xf) const;
    bool xfIsQuote(quint32 xf) const;
    void loadStyles();
    void loadSharedStrings();
    int sheetIndex(const Sheet *s) const;
};

enum XfFlag : quint8 { XfText = 1, XfQuote = 2 };
enum XfChange { XfQuoteOn = 1, XfQuoteOff = 2, XfTextFormat = 3 };

// workbook.cpp
QString resolveTarget(const QString &sourcePart, const QString &target);
QString relsPartOf(const QString &part);
QString localName(const QString &qname);
QString message(const char *utf8);
void activateSheetIndex(Workbook::Data &d, int index);

// workbook_sheet.cpp
void ensureParsed(Sheet::Data &s, Workbook::Data &b);
void ensureCells(Sheet::Data &s, Workbook::Data &b);
// Writes the worksheet's XML in pieces: `sink` receives the text gathered so far (about a
// mebibyte at a time) and may empty it.
using Sink = std::function<void(QByteArray &)>;
void writeSheet(Sheet::Data &s, Workbook::Data &b, const Sink &sink);
QByteArray sheetBytes(Sheet::Data &s, Workbook::Data &b);
void appendXmlText(QByteArray &out, const QString &text, bool attribute);
QString decodeEscapes(const QString &text);
void appendNumber(QByteArray &out, double v);
QString numberText(double v);
QString quoteSheetName(const QString &name);

} // namespace wb
