#include "editors/editor_table.h"

#include "core/kdeditorreg.h"
#include "editors/role_editor.h"
#include "editors/schema_editor.h"
#include "editors/sequence_editor.h"
#include "editors/source_editor.h"
#include "editors/table_editor.h"
#include "editors/table_script.h"

void RegisterEditors()
{
    // One RegisterEditor(code, open, script) per editor. Codes without an editor yet open
    // nothing: OpenObject tells the user the window is not available, scripts stay empty.
    RegisterEditor(2, &TfrmUser::Open, &TfrmUser::Script);
    RegisterEditor(3, &TfrmUser::Open, &TfrmUser::Script);
    RegisterEditor(4, &TfrmSchema::Open, &TfrmSchema::Script);
    RegisterEditor(58, &TfrmSeq::Open, &TfrmSeq::Script);
    RegisterEditor(45, &TfrmTable::Open, &TableScript);
    RegisterEditor(68, &TfrmRole::Open, &TfrmRole::Script);
    RegisterEditor(51, &TfrmSource::Open, &TfrmSource::Script);
    RegisterEditor(52, &TfrmSource::Open, &TfrmSource::Script);
    RegisterEditor(55, &TfrmSource::Open, &TfrmSource::Script);
}
