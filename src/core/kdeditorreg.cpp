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

bool OpenArgsOf(int ObjectType, const QString &Schema, const QString &ObjectName, TOpenMode OpenMode,
                int DefTopRecord, quint32 OID, const QString &TableName, int &EditorCode, TObjectArgs &Args)
{
    Args = TObjectArgs();
    Args.ObjectType = ObjectType;
    Args.OpenMode = OpenMode;
    switch (ObjectType) {
    case 2: case 3:
        EditorCode = 2;
        Args.ObjectName = ObjectName;
        return true;
    case 4: case 126:
        EditorCode = 4;
        Args.ObjectName = ObjectName;
        return true;
    case 68: case 69:
        EditorCode = ObjectType;
        Args.ObjectName = ObjectName;
        return true;
    case 45: case 47:
        EditorCode = ObjectType;
        Args.Schema = Schema;
        Args.ObjectName = ObjectName;
        Args.DefTopRecord = DefTopRecord;
        return true;
    case 46: case 58:
        EditorCode = ObjectType;
        Args.Schema = Schema;
        Args.ObjectName = ObjectName;
        return true;
    case 51: case 55:
        EditorCode = ObjectType;
        Args.Schema = Schema;
        Args.ObjectName = ObjectName;
        return true;
    case 52:
        EditorCode = 52;
        Args.Schema = Schema;
        Args.ObjectName = ObjectName;
        Args.OID = OID;
        return true;
    case 57: case 127:
        EditorCode = ObjectType;
        Args.Schema = Schema;
        Args.ObjectName = ObjectName;
        Args.TableName = TableName;
        return true;
    case 66:
        // The constraint editor has one page only.
        EditorCode = 66;
        Args.Schema = Schema;
        Args.ObjectName = ObjectName;
        Args.TableName = TableName;
        Args.OpenMode = omDefine;
        return true;
    case 73:
        EditorCode = 45;
        Args.Schema = Schema;
        Args.ObjectName = ParentName(ObjectName);
        return true;
    case 74:
        EditorCode = 46;
        Args.Schema = Schema;
        Args.ObjectName = ParentName(ObjectName);
        return true;
    default:
        return false;
    }
}

bool ScriptArgsOf(int ObjectType, const QString &Schema, const QString &ObjectName,
                  const QString &NewSchema, const QString &NewObjectName, quint32 OID,
                  const QString &TableName, bool Index, int &EditorCode, TObjectArgs &Args)
{
    Args = TObjectArgs();
    Args.ObjectType = ObjectType;
    switch (ObjectType) {
    case 2: case 3:
        EditorCode = 2;
        Args.ObjectName = ObjectName;
        return true;
    case 4: case 126:
        // The login schema is a schema like any other for its script.
        EditorCode = 4;
        Args.ObjectName = ObjectName;
        return true;
    case 68: case 69:
        EditorCode = ObjectType;
        Args.ObjectName = ObjectName;
        return true;
    case 45:
        EditorCode = 45;
        Args.Schema = Schema;
        Args.ObjectName = ObjectName;
        Args.NewSchema = NewSchema;
        Args.NewObjectName = NewObjectName;
        Args.Index = Index;
        return true;
    case 47:
        EditorCode = 47;
        Args.Schema = Schema;
        Args.ObjectName = ObjectName;
        Args.NewSchema = NewSchema;
        Args.NewObjectName = NewObjectName;
        return true;
    case 46: case 58: case 55:
        EditorCode = ObjectType;
        Args.Schema = Schema;
        Args.ObjectName = ObjectName;
        return true;
    case 51: case 52:
        // Procedures are scripted by the source editor like functions, by their OID.
        EditorCode = ObjectType;
        Args.Schema = Schema;
        Args.ObjectName = ObjectName;
        Args.OID = OID;
        return true;
    case 57: case 66: case 127:
        EditorCode = ObjectType;
        Args.Schema = Schema;
        Args.ObjectName = ObjectName;
        Args.TableName = TableName;
        return true;
    default:
        return false;
    }
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
