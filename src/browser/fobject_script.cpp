// The connection window's object windows, scripts and saved sources.
#include "browser/fobject.h"
#include "browser/savedsource.h"

#include "core/kddialogsupport.h"
#include "core/kdeditorreg.h"
#include "core/kdsub_object.h"
#include "core/kdsub_service.h"

#include <QDir>
#include <QSaveFile>

QWidget *TfrmObject::OpenObject(int ObjectType, const QString &Schema, const QString &ObjectName,
                                TOpenMode OpenMode, bool ShowRefObject, int DefTopRecord, quint32 OID,
                                const QString &TableName)
{
    return OpenObjectWindow(this, ObjectType, Schema, ObjectName, OpenMode, ShowRefObject, DefTopRecord, OID,
                            TableName);
}

namespace {
void SaveSource(TfrmObject *form, bool after, const QString &Schema, const QString &ObjectName, int ObjectType,
                quint32 OID, const QString &TableName)
{
    const TSavedSourceOptions options = SavedSourceOptions(after);
    if (!options.Save)
        return;
    const QString typeName = NameOfObjectType(ObjectType);
    const QString folder = SavedSourceFolder(options.Dir, Schema, typeName);
    if (!QDir().mkpath(folder))
        throw TkdFileError(QStringLiteral("フォルダを作成できません: %1").arg(folder));

    QString base = ObjectName;
    const QString table = NameTableOf(TScriptOption::Global().NameTable, form->ConnectionParam(QStringLiteral("Database")));
    if (!table.isEmpty()) {
        db::Query *q = form->OpenSQL(NameTableSQL(table), {Schema, ObjectName, typeName});
        if (!q->isEmpty() && !q->field(0).isNull())
            base = q->field(0).asString();
        q->close();
    }
    QString path = SavedSourceFile(folder, base, options.Renum);
    if (options.Dialog) {
        TSaveFileRequest request;
        TkdMainForm *host = TkdMainForm::Instance();
        request.Parent = host ? host->Widget() : nullptr;
        request.Title = after ? QStringLiteral("変更後ソースの保存") : QStringLiteral("変更前ソースの保存");
        request.FileName = path;
        request.Filter = QStringLiteral("SQLファイル(*.sql)|*.sql|テキストファイル(*.txt)|*.txt|すべてのファイル(*.*)|*.*");
        path = PromptSaveFile(request);
        if (path.isEmpty())
            return;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw TkdFileError(QStringLiteral("ファイルを作成できません: %1 (%2)").arg(path, file.errorString()));
    TScriptSink sink(&file, GetFileEncoding());
    if (options.Head)
        sink.WriteLines({SavedSourceHeader(QDateTime::currentDateTime(), after)});
    form->OutputScript(ObjectType, Schema, ObjectName, sink, QString(), QString(), OID, TableName);
    if (!file.commit())
        throw TkdFileError(QStringLiteral("ファイルを書き込めません: %1 (%2)").arg(path, file.errorString()));
}
} // namespace

void TfrmObject::SaveBeforeSource(const QString &Schema, const QString &ObjectName, int ObjectType, quint32 OID,
                                  const QString &TableName)
{
    SaveSource(this, false, Schema, ObjectName, ObjectType, OID, TableName);
}

void TfrmObject::SaveAfterSource(const QString &Schema, const QString &ObjectName, int ObjectType, quint32 OID,
                                 const QString &TableName)
{
    SaveSource(this, true, Schema, ObjectName, ObjectType, OID, TableName);
}
