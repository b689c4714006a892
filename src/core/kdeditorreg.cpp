#include "core/kdeditorreg.h"

#include "core/kdforms.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_text.h"

#include <QIODevice>
#include <QLoggingCategory>
#include <QMap>

Q_LOGGING_CATEGORY(lcScript, "vantor.script")

// ---- script sinks --------------------------------------------------------------------------

TScriptSink::TScriptSink(QIODevice *Device, TFileEncoding Encoding) : FDevice(Device), FEncoding(Encoding) {}

QByteArray TScriptSink::EncodeLines(const QStringList &Lines, TFileEncoding Encoding)
{
    qsizetype size = 0;
    for (const QString &line : Lines)
        size += line.size() + 2;
    QString text;
    text.reserve(size);
    for (const QString &line : Lines) {
        text += line;
        text += QLatin1String("\r\n");
    }
    if (Encoding == TFileEncoding::Utf8)
        return text.toUtf8(); // no byte-order mark to add and take off again
    QByteArray bytes = EncodeFileText(text, Encoding);
    // EncodeFileText starts with the encoding's byte-order mark; a script never carries one.
    const QByteArray empty = EncodeFileText(QString(), Encoding);
    if (!empty.isEmpty() && bytes.startsWith(empty))
        bytes.remove(0, empty.size());
    return bytes;
}

void TScriptSink::WriteLines(const QStringList &Lines)
{
    if (Lines.isEmpty())
        return;
    if (FDevice) {
        const QByteArray bytes = EncodeLines(Lines, FEncoding);
        if (FDevice->write(bytes) != bytes.size())
            throw TkdFileError(QStringLiteral("スクリプトを書き込めません: %1").arg(FDevice->errorString()));
    } else {
        FLines += Lines;
    }
    FLineCount += Lines.size();
}

void TScriptSink::WriteScript(QStringList Lines)
{
    RemoveBlankLines(Lines);
    WriteLines(Lines);
}

QString TScriptSink::Text() const
{
    QString text;
    for (const QString &line : FLines)
        text += line + QStringLiteral("\r\n");
    return text;
}

// ---- the registry --------------------------------------------------------------------------

namespace {
QMap<int, TEditorEntry> &Registry()
{
    static QMap<int, TEditorEntry> registry;
    return registry;
}

// The part of a partition's name before its first "."; empty when there is none.
QString ParentName(const QString &Name)
{
    const qsizetype dot = Name.indexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : Name.left(dot);
}
} // namespace

void RegisterEditor(int EditorCode, TOpenProc Open, TScriptProc Script)
{
    Registry().insert(EditorCode, TEditorEntry{std::move(Open), std::move(Script)});
}

void UnregisterEditor(int EditorCode)
{
    Registry().remove(EditorCode);
}

void ClearEditorRegistry()
{
    Registry().clear();
}

const TEditorEntry *FindEditor(int EditorCode)
{
    auto it = Registry().constFind(EditorCode);
    return it == Registry().constEnd() ? nullptr : &it.value();
}

namespace {

// What an editor receives besides the object type, the object name and the page.
enum TArgPart : unsigned {
    apSchema = 1,         // the schema (not for users, roles, tablespaces and schemas)
    apTopRecord = 2,      // the row count of the data page
    apOID = 4,            // the function's OID
    apTableName = 8,      // the table of a trigger, constraint or rule
    apParentName = 16,    // the name before the first "." instead of the name (partitions)
    apDefinePage = 32,    // always the definition page (a one-page editor)
    apCopyNames = 64,     // scripts: the copy's schema and name
    apIndex = 128,        // scripts: with the indexes
};

// One row per object-type code that has an editor: the editor that opens it and what that
// receives, and the editor that scripts it (0: no script) and what that receives.
struct TEditorRoute {
    int ObjectType;
    int OpenEditor;
    unsigned OpenParts;
    int ScriptEditor;
    unsigned ScriptParts;
};

constexpr TEditorRoute EditorRoutes[] = {
    {2, 2, 0, 2, 0},
    {3, 2, 0, 2, 0},
    {4, 4, 0, 4, 0},
    {126, 4, 0, 4, 0}, // the login schema is a schema like any other, for its script too
    {68, 68, 0, 68, 0},
    {69, 69, 0, 69, 0},
    {45, 45, apSchema | apTopRecord, 45, apSchema | apCopyNames | apIndex},
    {47, 47, apSchema | apTopRecord, 47, apSchema | apCopyNames},
    {46, 46, apSchema, 46, apSchema},
    {58, 58, apSchema, 58, apSchema},
    {55, 55, apSchema, 55, apSchema},
    // Procedures are scripted by the source editor like functions, by their OID.
    {51, 51, apSchema, 51, apSchema | apOID},
    {52, 52, apSchema | apOID, 52, apSchema | apOID},
    {57, 57, apSchema | apTableName, 57, apSchema | apTableName},
    {127, 127, apSchema | apTableName, 127, apSchema | apTableName},
    {66, 66, apSchema | apTableName | apDefinePage, 66, apSchema | apTableName},
    // Partitions open the editor of their parent and have no script of their own.
    {73, 45, apSchema | apParentName, 0, 0},
    {74, 46, apSchema | apParentName, 0, 0},
};

const TEditorRoute *RouteOf(int ObjectType)
{
    for (const TEditorRoute &route : EditorRoutes)
        if (route.ObjectType == ObjectType)
            return &route;
    return nullptr;
}

// The arguments named by Parts, from the caller's values.
TObjectArgs ArgsOf(unsigned Parts, int ObjectType, const QString &Schema, const QString &ObjectName,
                   TOpenMode OpenMode, const TObjectArgs &Extra)
{
    TObjectArgs args;
    args.ObjectType = ObjectType;
    args.OpenMode = (Parts & apDefinePage) ? omDefine : OpenMode;
    args.ObjectName = (Parts & apParentName) ? ParentName(ObjectName) : ObjectName;
    if (Parts & apSchema)
        args.Schema = Schema;
    if (Parts & apTopRecord)
        args.DefTopRecord = Extra.DefTopRecord;
    if (Parts & apOID)
        args.OID = Extra.OID;
    if (Parts & apTableName)
        args.TableName = Extra.TableName;
    if (Parts & apCopyNames) {
        args.NewSchema = Extra.NewSchema;
        args.NewObjectName = Extra.NewObjectName;
    }
    if (Parts & apIndex)
        args.Index = Extra.Index;
    return args;
}

} // namespace

bool OpenArgsOf(int ObjectType, const QString &Schema, const QString &ObjectName, TOpenMode OpenMode,
                int DefTopRecord, quint32 OID, const QString &TableName, int &EditorCode, TObjectArgs &Args)
{
    const TEditorRoute *route = RouteOf(ObjectType);
    if (!route) {
        Args = TObjectArgs();
        Args.ObjectType = ObjectType;
        Args.OpenMode = OpenMode;
        return false;
    }
    TObjectArgs extra;
    extra.DefTopRecord = DefTopRecord;
    extra.OID = OID;
    extra.TableName = TableName;
    EditorCode = route->OpenEditor;
    Args = ArgsOf(route->OpenParts, ObjectType, Schema, ObjectName, OpenMode, extra);
    return true;
}

bool ScriptArgsOf(int ObjectType, const QString &Schema, const QString &ObjectName,
                  const QString &NewSchema, const QString &NewObjectName, quint32 OID,
                  const QString &TableName, bool Index, int &EditorCode, TObjectArgs &Args)
{
    const TEditorRoute *route = RouteOf(ObjectType);
    if (!route || route->ScriptEditor == 0) {
        Args = TObjectArgs();
        Args.ObjectType = ObjectType;
        return false;
    }
    TObjectArgs extra;
    extra.OID = OID;
    extra.TableName = TableName;
    extra.NewSchema = NewSchema;
    extra.NewObjectName = NewObjectName;
    extra.Index = Index;
    EditorCode = route->ScriptEditor;
    Args = ArgsOf(route->ScriptParts, ObjectType, Schema, ObjectName, omDefine, extra);
    return true;
}

QString EditorNotAvailableText()
{
    return QStringLiteral("このオブジェクトのウィンドウはまだ利用できません。");
}

QWidget *OpenObjectWindow(TkdConnForm *Owner, int ObjectType, const QString &Schema,
                          const QString &ObjectName, TOpenMode OpenMode, bool ShowRefObject,
                          int DefTopRecord, quint32 OID, const QString &TableName)
{
    Q_UNUSED(ShowRefObject); // accepted from the callers; it does not change the window
    QWidget *window = nullptr;
    try {
        CommitActiveEdit();
        int code = 0;
        TObjectArgs args;
        if (!OpenArgsOf(ObjectType, Schema, ObjectName, OpenMode, DefTopRecord, OID, TableName, code, args))
            return nullptr;
        const TEditorEntry *entry = FindEditor(code);
        if (!entry || !entry->Open) {
            ShowMessageBox(EditorNotAvailableText(), MB_ICONINFORMATION | MB_OK);
            return nullptr;
        }
        // A copy: an editor may register or unregister while it is being built.
        const TOpenProc open = entry->Open;
        window = open(Owner, args);
    } catch (const EAbort &) {
        return nullptr;
    } catch (const std::exception &e) {
        ShowError(QString::fromUtf8(e.what()));
        return nullptr;
    } catch (...) {
        return nullptr;
    }
    return window;
}

bool OutputObjectScript(TkdConnForm *Owner, int ObjectType, const QString &Schema,
                        const QString &ObjectName, TScriptSink &Sink, const QString &NewSchema,
                        const QString &NewObjectName, quint32 OID, const QString &TableName)
{
    int code = 0;
    TObjectArgs args;
    if (!ScriptArgsOf(ObjectType, Schema, ObjectName, NewSchema, NewObjectName, OID, TableName,
                      TScriptOption::Global().Index, code, args)) {
        qCInfo(lcScript) << "no script for object type" << ObjectType << Schema << ObjectName;
        return false;
    }
    const TEditorEntry *entry = FindEditor(code);
    if (!entry || !entry->Script) {
        qCInfo(lcScript) << "no script editor registered for object type" << ObjectType;
        return false;
    }
    const qint64 before = Sink.LineCount();
    const TScriptProc script = entry->Script;
    try {
        script(Owner, args, Sink);
    } catch (const EAbort &) {
        // Every script function may end this way.
    } catch (const std::exception &e) {
        qCInfo(lcScript) << "script of" << Schema << ObjectName << "failed:" << e.what();
    } catch (...) {
        qCInfo(lcScript) << "script of" << Schema << ObjectName << "failed";
    }
    if (Sink.LineCount() == before) {
        qCInfo(lcScript) << "script of" << Schema << ObjectName << "is empty (object not found?)";
        return false;
    }
    return true;
}

bool TkdConnForm::OutputScript(int ObjectType, const QString &Schema, const QString &ObjectName,
                               TScriptSink &Sink, const QString &NewSchema, const QString &NewObjectName,
                               quint32 OID, const QString &TableName)
{
    return OutputObjectScript(this, ObjectType, Schema, ObjectName, Sink, NewSchema, NewObjectName, OID, TableName);
}
