#pragma once
#include <QList>
#include <QPair>
// Small services of the shared unit: the encoding of the program's own text files, the
// WHERE-condition history of a table, running a client program with its output shown
// line by line, the filters of file dialogs, locating the database client's installation
// folder, and the double-byte test of the system code page.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

// ---- file encoding -------------------------------------------------------------------------

// The encodings of the option `TkdOption.Encoding`: 0 the system ANSI code page (CP932),
// 1 UTF-7, 2 UTF-8, 3 UTF-16 little-endian, 4 UTF-16 big-endian; any other value ANSI.
enum class TFileEncoding { Ansi, Utf7, Utf8, Utf16LE, Utf16BE };

// The encoding of an option value (its low byte counts).
TFileEncoding GetFileEncoding(int OptionValue);
// The encoding of the current `TkdOption.Encoding`.
TFileEncoding GetFileEncoding();

// Text to file bytes, with the byte-order mark the encoding writes (UTF-8 EF BB BF,
// UTF-16LE FF FE, UTF-16BE FE FF; none for ANSI and UTF-7).
QByteArray EncodeFileText(const QString &Text, TFileEncoding Encoding);
// File bytes to text; a leading byte-order mark of that encoding is skipped.
QString DecodeFileText(const QByteArray &Bytes, TFileEncoding Encoding);

// A file that cannot be read or written, or a folder that cannot be created.
class TkdFileError : public std::runtime_error {
public:
    explicit TkdFileError(const QString &Message)
        : std::runtime_error(Message.toStdString()), FMessage(Message) {}
    const QString &Message() const { return FMessage; }
private:
    QString FMessage;
};

// ---- WHERE history -------------------------------------------------------------------------

// The history file of a table: Folder + SafeFileName(Schema + "." + Table + ".ini").
QString WhereHistoryFile(const QString &Folder, const QString &Schema, const QString &Table);

// Reads the section "WHERE" (keys "00" to "19") of the table's history file in Folder;
// empty values are skipped. An empty Table gives an empty list and touches nothing.
// Throws TkdFileError when the folder cannot be created.
QStringList LoadWhereHistory(const QString &Schema, const QString &Table, const QString &Folder,
                             TFileEncoding Encoding);
// Writes Items (at most 20) as keys "00".. of the section "WHERE" and removes the keys
// after the last one written; other sections of the file stay as they are. The file is
// replaced as a whole, so a failed write leaves the old file. Throws TkdFileError.
void SaveWhereHistory(const QString &Schema, const QString &Table, const QStringList &Items,
                      const QString &Folder, TFileEncoding Encoding);
// The same, in `TkdOption.TempDir` with `TkdOption.Encoding`.
void LoadWhereHistory(const QString &Schema, const QString &Table, QStringList &Items);
void SaveWhereHistory(const QString &Schema, const QString &Table, const QStringList &Items);

// The same ini file for other per-table sections (the data grid's column widths): the file
// Folder + SafeFileName(BaseName + ".ini"), BaseName being "schema.table".
QString TableIniFile(const QString &Folder, const QString &BaseName);
// The keys and values of Section in file order; keys are read back exactly as written by
// SaveIniSection (case kept, "=", "[", "]", ";", "%" and line breaks included). A missing
// file or section gives an empty list. Throws TkdFileError when the file cannot be read.
QList<QPair<QString, QString>> LoadIniSection(const QString &Path, const QString &Section,
                                              TFileEncoding Encoding);
// Replaces Section by Values; the other sections stay as they are. The file is replaced as a
// whole, so a failed write leaves the old file. Throws TkdFileError.
void SaveIniSection(const QString &Path, const QString &Section,
                    const QList<QPair<QString, QString>> &Values, TFileEncoding Encoding);

// ---- running client programs ---------------------------------------------------------------

// How a run ended.
struct TRunResult {
    bool Started = false;  // the process could be started
    bool Stopped = false;  // it was ended by Stop()
    bool Crashed = false;  // it ended by a signal
    int ExitCode = -1;     // its exit code when it ended normally
    QString ErrorText;     // why it could not be started
};

// Cuts a byte stream into lines at LF (a CR before it is dropped) and decodes each line:
// UTF-8 when the bytes are valid UTF-8, else CP932. A character split over two reads is
// joined before it is decoded.
class TkdLineSplitter {
public:
    QStringList Feed(const QByteArray &Bytes);
    // The text after the last line break, as one more line (none when empty).
    QStringList Finish();
    static QString DecodeLine(const QByteArray &Bytes);
private:
    QByteArray FPending;
};

// Runs one client program (pg_dump, pg_restore, ...) without blocking the user interface:
// Run() waits in a local event loop while the child's standard output and standard error
// arrive; complete lines go to the sink in batches, at least every 100 ms while output
// flows, and the rest when the child ends. The wait cursor shows while it runs.
class TkdProcessRunner : public QObject {
    Q_OBJECT
public:
    using LineSink = std::function<void(const QStringList &Lines)>;

    explicit TkdProcessRunner(QObject *Parent = nullptr);
    ~TkdProcessRunner() override;

    // Runs CommandLine (program and arguments, split as a shell would split quoted words)
    // and returns when the child has ended.
    TRunResult Run(const QString &CommandLine, const LineSink &Sink);
    // Asks a running child to end; one that does not end within the grace time is killed.
    void Stop();
    bool IsRunning() const;
    void SetStopGraceMs(int Ms) { FStopGraceMs = Ms; }

signals:
    void Started();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
    int FStopGraceMs = 3000;
};

// Runs CommandLine and hands its output lines to Sink; true when the process could be
// started. Result, when given, receives the exit status.
bool RunWithOutput(const QString &CommandLine, const TkdProcessRunner::LineSink &Sink,
                   TRunResult *Result = nullptr);

// ---- the database client -------------------------------------------------------------------

// ---- file dialogs -----------------------------------------------------------------------------

// The filter of Excel workbooks in every dialog that opens or saves one, set by the main
// window at start-up from the option ExcelExt; pipe notation as below.
QString &ExcelFileFilter();
// The 256 sheet columns "A" .. "IV" in sheet order (start-column lists of workbook output).
QStringList XlsColumnNames();
// "Excelファイル(*.xlsx)|*.xlsx" when Ext is exactly ".XLSX", else the filter of ".xls" files.
QString ExcelFileFilterFor(const QString &Ext);
// A filter in pipe notation ("text|mask|text|mask", masks separated by ";") in the notation
// of QFileDialog ("text (mask mask);;text (mask)"). A text that already shows its masks in
// parentheses is kept as it is, so "Excelファイル(*.xlsx)|*.xlsx" gives "Excelファイル(*.xlsx)".
QString QtFileFilter(const QString &PipeFilter);

// Read access to the machine settings: whether a key can be opened, and the data of its
// first value as text (nothing when the key cannot be opened or has no value).
struct TMachineKeys {
    std::function<bool(const QString &Key)> KeyExists;
    std::function<std::optional<QString>(const QString &Key)> FirstValue;
};

// The client installation folder once found; empty until then.
QString &SymfowareClientFolder();
// Fills SymfowareClientFolder() from the keys "\SOFTWARE\FUJITSU\SymfowareSV\CL32" and then
// "...\CL64" (the 64-bit client wins) when "\SOFTWARE\FUJITSU\SymfowareSV" exists; does
// nothing when the folder is already known.
void FindSymfowareClientFolder(const TMachineKeys &Keys);
// The same, on the program's machine settings.
void FindSymfowareClientFolder();

// The absolute form of an existing folder with a trailing "/"; empty when Path is empty
// or does not exist. (This file system has no short names.)
QString ShortFolderPath(const QString &Path);

// True when the character at Index (1-based) of S is a double-byte character of the
// system code page (CP932).
bool IsDoubleByteChar(const QString &S, int Index);
