#include "editors/table_script.h"

#include "core/kddialogsupport.h"
#include "core/kdeditorreg.h"
#include "core/kdforms.h"
#include "core/kdsub_options.h"
#include "core/kdsub_service.h"
#include "core/kdsub_text.h"
#include "editors/table_def.h"
#include "editors/table_inserts.h"

#include <QDir>
#include <QFile>
#include <memory>

namespace {

// The data file of the rows when they do not go into the script: one file per table
// (replaced) or one common file (appended), in the layout schema first.
std::unique_ptr<QFile> OpenDataFile(const TScriptOption &o, const QString &Schema, const QString &Name)
{
    const QString schema = SafePathPart(Schema);
    QString path;
    bool append = false;
    if (o.InsertMode == 1) {
        QDir().mkpath(o.Path + schema + QStringLiteral("/DATA"));
        path = o.Path + schema + QStringLiteral("/DATA/") + SafePathPart(Name) + QStringLiteral(".SQL");
    } else {
        if (o.Dir) {
            QDir().mkpath(o.Path + schema);
            path = o.Path + schema + QStringLiteral("/_DATA.SQL");
        } else {
            path = o.Path + QStringLiteral("_DATA.SQL");
        }
        append = true;
    }
    auto file = std::make_unique<QFile>(path);
    if (!file->open(append ? QIODevice::WriteOnly | QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate))
        throw TkdFileError(QStringLiteral("ファイルを作成できません。\r\n") + path);
    return file;
}

} // namespace

void TableScript(TkdConnForm *Owner, const TObjectArgs &Args, TScriptSink &Sink)
{
    TTableDef def;
    if (!LoadTableDef(Owner, Args.Schema, Args.ObjectName, def))
        throw EAbort();
    TTableTextOptions opt;
    opt.UseLowerName = TkdOption::Global().UseLowerName;
    opt.WithIndexes = Args.Index;
    opt.CopySchema = Args.NewSchema;
    opt.CopyName = Args.NewObjectName;
    const bool copy = !opt.CopySchema.isEmpty() && !opt.CopyName.isEmpty();
    opt.Prefix = SchemaPrefixFor(smText, copy ? opt.CopySchema : Args.Schema, Owner->CurrentSchema());
    Sink.WriteScript(TableCreateLines(def, opt));

    const TScriptOption &so = TScriptOption::Global();
    if (!so.Insert)
        return;
    // The rows of the table itself, named as the copy when a copy is scripted.
    const QString target = def.Persistence == QLatin1Char('t')
                               ? QuoteIdentifier(copy ? opt.CopyName : def.Name, opt.UseLowerName)
                               : opt.Prefix + QuoteIdentifier(copy ? opt.CopyName : def.Name, opt.UseLowerName);
    std::unique_ptr<QFile> file;
    std::unique_ptr<TScriptSink> fileSink;
    const bool toScript = so.OneScript || (so.InsertMode != 1 && so.InsertMode != 2);
    WriteTableInserts(Owner, def, target, [&](const QStringList &Lines) {
        if (toScript) {
            Sink.WriteLines(Lines);
            return;
        }
        // Opened at the first row: a table without rows makes no file.
        if (!fileSink) {
            file = OpenDataFile(so, Args.Schema, Args.ObjectName);
            fileSink = std::make_unique<TScriptSink>(file.get(), GetFileEncoding());
        }
        fileSink->WriteLines(Lines);
    });
}
