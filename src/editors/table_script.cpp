#include "editors/table_script.h"

#include "core/kdeditorreg.h"
#include "core/kdforms.h"
#include "core/kdsub_options.h"
#include "core/kdsub_text.h"
#include "editors/table_def.h"

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
}
