#pragma once
// Reading and writing Excel workbooks (.xlsx, .xlsm; templates .xltx, .xltm are read).
//
// A read-modify-write layer: a book is opened (or made blank), its sheets are filled cell by
// cell or by rectangles, row blocks of a form are repeated, sheets are copied, renamed and
// deleted, and the book is saved as a complete new file that replaces the target only once
// it is whole. Parts this layer does not understand (themes, drawings, comments, macros,
// printer settings ...) travel byte for byte.
//
// Rows and columns count from 1, as in the spreadsheet program (row 1 .. 1,048,576,
// column 1 .. 16,384). Every failure raises wb::Error with a Japanese message for the user;
// checks run before anything is changed, so a refused call leaves the book as it was.
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <stdexcept>
#include <vector>

namespace wb {

inline constexpr int MaxRows = 1048576;
inline constexpr int MaxColumns = 16384;
inline constexpr int MaxTextLength = 32767;
inline constexpr int MaxSheetNameLength = 31;

class Error : public std::runtime_error {
public:
    explicit Error(const QString &message);
    QString message() const { return FMessage; }

private:
    QString FMessage;
};

// The outcome of typed entry for one text (see coerceEntry).
struct Entry {
    enum Kind { Empty, Number, Text };
    Kind kind = Empty;
    double number = 0;
    QString text;             // Text: the text to store (without a leading apostrophe)
    bool quotePrefix = false; // Text came from "'..." and is shown with the quote prefix
    bool cut = false;         // Text was longer than MaxTextLength and was cut
};

// Typed entry: what the spreadsheet program would keep for `text` typed into a cell whose
// effective number format is text ("@") when `textFormat` is set. An empty text clears;
// "'rest" is text "rest" with the quote prefix; a plain decimal number (optional sign,
// digits, optional fraction, no blanks, no exponent, no thousands separators) becomes a
// number unless textFormat or it has more than 15 significant digits; everything else
// (formulas "=...", dates, texts with edge blanks) stays text as given.
Entry coerceEntry(const QString &text, bool textFormat);

// "A" for 1, "AB" for 28; "" outside 1..MaxColumns.
QString columnName(int column);
// "B3" -> row 3, column 2; false for anything that is not a single cell reference ($ allowed).
bool parseCellRef(const QString &ref, int *row, int *column);

// A formula's text with its relative references moved by (rows, columns); "$" parts stay.
// A reference moved off the sheet becomes #REF!. Strings and quoted sheet names are kept.
QString shiftFormula(const QString &formula, int rows, int columns);

class Workbook;

// What a cell holds, for reading back.
struct CellValue {
    enum Kind { Empty, Number, Text, Boolean, Error, Formula };
    Kind kind = Empty;
    double number = 0;
    QString text;      // Text, Error: the text; Formula: the formula without "="
    int style = 0;     // index into the book's cell formats
    bool isEmpty() const { return kind == Empty; }
};

class Sheet {
public:
    ~Sheet();
    Sheet(const Sheet &) = delete;
    Sheet &operator=(const Sheet &) = delete;

    Workbook &book() const { return *FBook; }
    QString name() const;
    int index() const;

    // Makes this the book's active sheet (the one shown and selected when the file opens).
    void activate();

    // One cell as typed entry (coerceEntry, with the cell's effective "@" format). Returns
    // false when the text was cut to MaxTextLength. The cell keeps its format.
    bool setText(int row, int column, const QString &text);
    // A number stays a number whatever the format.
    void setNumber(int row, int column, double value);
    // Clears the value (and formula), keeps the format.
    void clearValue(int row, int column);
    // An invalid or null QVariant or an empty string clears; numbers stay numbers; strings go
    // through setText; anything else through its string form.
    bool setValue(int row, int column, const QVariant &value);

    CellValue cell(int row, int column) const;
    // The cell's text as the reader sees it: texts as stored, numbers in their shortest exact
    // decimal form, formulas with a leading "=".
    QString text(int row, int column) const;
    bool hasQuotePrefix(int row, int column) const;
    // True when the cell's effective number format (cell, row, column) is text "@".
    bool isTextFormat(int row, int column) const;

    // A rectangle whose top-left cell is (top, left): values[r][c] lands r rows and c columns
    // from it (setValue rules, so empty elements clear values and keep formats). The whole
    // rectangle is checked against the sheet's limits before anything is written. Returns
    // the number of texts cut to MaxTextLength.
    int setValues(int top, int left, const QList<QVariantList> &values);
    // One row of texts from (row, left) to the right, as typed entry.
    int setRowTexts(int row, int left, const QStringList &texts);

    // Copies the block rows top..bottom, columns left..right so that its top-left cell lands
    // on (destTop, destLeft): values, formulas with relative references moved, formats, and
    // the merges, conditional formats and data validations that lie inside the block; the
    // source rows' heights go to the destination rows, and for a copy to the right the
    // source columns' widths to the destination columns.
    void copyBlock(int top, int left, int bottom, int right, int destTop, int destLeft);

    // Column width in characters (the spreadsheet program's unit).
    void setColumnWidth(int column, double width);
    double columnWidth(int column) const; // 0 when the column has no width of its own
    // Number format "@" (text) for a whole column or row, existing cells included.
    void setColumnTextFormat(int column);
    void setRowTextFormat(int row);

    // Makes A1 the current cell and the whole selection.
    void selectA1();

    // The last row and column holding a cell record (0 when the sheet is empty).
    int lastRow() const;
    int lastColumn() const;

    // For the layer's own units: the sheet's store.
    struct Data;
    explicit Sheet(Workbook *book);
    Data &data() const { return *d; }

private:
    Workbook *FBook;
    std::unique_ptr<Data> d;
};

class Workbook {
public:
    Workbook(Workbook &&) noexcept;
    Workbook &operator=(Workbook &&) noexcept;
    ~Workbook();

    // A new book with one empty sheet "Sheet1".
    static Workbook blank();
    // Opens .xlsx, .xlsm, .xltx or .xltm (recognised by content). A legacy .xls, an encrypted
    // book, a file that is no workbook or a broken part raise Error naming file and part.
    static Workbook open(const QString &fileName);

    QString fileName() const; // the file opened, empty for a blank book

    int sheetCount() const;
    Sheet &sheet(int index) const;
    Sheet *findSheet(const QString &name) const; // without regard to case; nullptr if none
    Sheet &sheetByName(const QString &name) const; // Error when there is none
    Sheet &activeSheet() const;

    // A new empty sheet before the active one, becoming active. An empty name takes the next
    // free "SheetN".
    Sheet &addSheet(const QString &name = QString());
    // A copy of `source` placed before or after `anchor`, named "<name> (2)" (or the next free
    // number), becoming active. Its drawings, comments and printer settings are copied, images
    // shared, and its sheet-scoped names (print area, print titles) copied. A sheet with
    // tables or pivot tables is refused.
    Sheet &copySheet(Sheet &source, Sheet &anchor, bool after);
    // Error for an invalid or duplicate name (see checkSheetName); the book stays unchanged.
    void renameSheet(Sheet &sheet, const QString &name);
    // Removes the sheet with its own parts and sheet-scoped names; the last sheet cannot go.
    void deleteSheet(Sheet &sheet);

    // Error text for a sheet name that cannot be used (empty, over 31 characters, one of
    // [ ] : * ? / \, an apostrophe at either end, "History", the name of another sheet
    // ignoring case); empty when the name is fine. `except` is the sheet being renamed.
    QString checkSheetName(const QString &name, const Sheet *except = nullptr) const;

    // Number of texts cut to MaxTextLength since the book was opened.
    int cutTextCount() const;

    // Writes the book to fileName (.xlsx or .xlsm only). Missing folders are created. The
    // file is written beside the target and replaces it only when complete, so a failure
    // leaves an existing file untouched. Saved as .xlsx, a macro book loses its macros and a
    // template becomes a workbook.
    void save(const QString &fileName);

    struct Data;
    Data &data() const { return *d; }

private:
    Workbook();
    std::unique_ptr<Data> d;
};

} // namespace wb
