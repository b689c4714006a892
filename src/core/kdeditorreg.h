#pragma once
// The editor table: every object-type code reaches its editor window, and the DDL script of
// an object, through one dispatch. Each editor registers an open function and a script
// function under the code it serves (the program does it at start-up, tests register fakes);
// the connection window's OpenObject and OutputScript services go through here, so frames
// and the main window reach the editors without linking them.
#include "core/kdsub_options.h"
#include "core/kdsub_service.h"

#include <QString>
#include <QStringList>
#include <functional>

class QIODevice;
class QWidget;
class TkdConnForm;

// The arguments an editor receives, for opening and for scripting alike.
struct TObjectArgs {
    int ObjectType = 0;            // the code the caller asked for (73 for a table partition, ...)
    QString Schema;                // empty for users, roles, tablespaces and schemas
    QString ObjectName;            // empty: a new object
    TOpenMode OpenMode = omDefine; // the page to open on
    int DefTopRecord = 0;          // row count of the data page (tables and views), 0 = default
    quint32 OID = 0;               // a function's OID; 0 = none
    QString TableName;             // table of a trigger, constraint or rule
    QString NewSchema;             // scripts of tables and views: the copy's schema and name
    QString NewObjectName;
    bool Index = false;            // table scripts: with the indexes
    bool operator==(const TObjectArgs &) const = default;
};

// Where a script goes. A memory sink keeps the lines as text (no encoding); a file sink
// appends each line with CR LF to a device in the given encoding, never with a byte-order
// mark, so several scripts follow one another in one file.
class TScriptSink {
public:
    TScriptSink() = default;                        // memory
    TScriptSink(QIODevice *Device, TFileEncoding Encoding);
    bool IsMemory() const { return FDevice == nullptr; }
    // Appends the lines (each followed by CR LF in a file). Throws TkdFileError when the
    // device refuses the bytes.
    void WriteLines(const QStringList &Lines);
    // An editor's script: empty lines dropped when the script option NullLine is on.
    void WriteScript(QStringList Lines);
    // Lines written so far (to either kind of sink).
    qint64 LineCount() const { return FLineCount; }
    // Memory sink: the lines, and the text with every line followed by CR LF.
    const QStringList &Lines() const { return FLines; }
    QString Text() const;
    // The bytes of Text in Encoding without a byte-order mark.
    static QByteArray EncodeLines(const QStringList &Lines, TFileEncoding Encoding);

private:
    QIODevice *FDevice = nullptr;
    TFileEncoding FEncoding = TFileEncoding::Utf8;
    QStringList FLines;
    qint64 FLineCount = 0;
};

// Opens the editor window for the arguments; returns the window, or nullptr after the open
// one of the same object was brought to the front (or when the editor decided so itself).
using TOpenProc = std::function<QWidget *(TkdConnForm *Owner, const TObjectArgs &Args)>;
// Writes the object's DDL as a DDL line list to the sink; writes nothing for an object
// that cannot be loaded. May end with the silent abort.
using TScriptProc = std::function<void(TkdConnForm *Owner, const TObjectArgs &Args, TScriptSink &Sink)>;

struct TEditorEntry {
    TOpenProc Open;
    TScriptProc Script;
};

// Registers (or replaces) the editor of an editor code: 2 users, 4 schemas, 45 tables,
// 46 indexes, 47 views, 51/52/55 the source editor's codes, 57 triggers, 58 sequences,
// 66 constraints, 68 roles, 69 tablespaces, 127 rules. Either function may be empty.
void RegisterEditor(int EditorCode, TOpenProc Open, TScriptProc Script = {});
void UnregisterEditor(int EditorCode);
void ClearEditorRegistry();
// The entry of an editor code; nullptr when none is registered.
const TEditorEntry *FindEditor(int EditorCode);

// The editor code that opens an object-type code and the arguments it receives: the codes
// 3 and 2 open the user editor, 126 and 4 the schema editor, 73 and 74 the table and index
// of the parent named before the first "." of ObjectName (no "." gives an empty name, a new
// object). 46 passes no table, 66 no page, 51 and 55 no OID, users/roles/tablespaces and
// schemas no schema. False for a code without an editor.
bool OpenArgsOf(int ObjectType, const QString &Schema, const QString &ObjectName,
                TOpenMode OpenMode, int DefTopRecord, quint32 OID, const QString &TableName,
                int &EditorCode, TObjectArgs &Args);

// The same for scripts: 126 is scripted as 4 and 51 by the source editor with its OID;
// 45 carries the copy's names and Index, 47 the copy's names. False for a code whose
// objects have no script (73, 74 and codes without an editor).
bool ScriptArgsOf(int ObjectType, const QString &Schema, const QString &ObjectName,
                  const QString &NewSchema, const QString &NewObjectName, quint32 OID,
                  const QString &TableName, bool Index, int &EditorCode, TObjectArgs &Args);

// The message for a code whose editor has not been registered.
QString EditorNotAvailableText();

// The dispatch behind TkdConnForm::OpenObject: hands the pending edit of the focused
// control over, opens the editor of the code, and returns its window or nullptr. The
// silent abort (the open window was raised) gives nullptr quietly; any other error is
// shown once and gives nullptr. A known code whose editor is not registered shows
// EditorNotAvailableText(); an unknown code gives nullptr silently.
QWidget *OpenObjectWindow(TkdConnForm *Owner, int ObjectType, const QString &Schema,
                          const QString &ObjectName, TOpenMode OpenMode, bool ShowRefObject,
                          int DefTopRecord, quint32 OID, const QString &TableName);

// The dispatch behind TkdConnForm::OutputScript: runs the script function of the code and
// swallows whatever it ends with. True when it wrote at least one line; when it wrote
// nothing, the reason goes to the log, never to the user.
bool OutputObjectScript(TkdConnForm *Owner, int ObjectType, const QString &Schema,
                        const QString &ObjectName, TScriptSink &Sink, const QString &NewSchema,
                        const QString &NewObjectName, quint32 OID, const QString &TableName);
