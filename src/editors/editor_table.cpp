#include "editors/editor_table.h"

#include "core/kdeditorreg.h"
#include "editors/constraint_editor.h"
#include "editors/index_editor.h"
#include "editors/role_editor.h"
#include "editors/schema_editor.h"
#include "editors/sequence_editor.h"
#include "editors/source_editor.h"
#include "editors/table_editor.h"
#include "editors/table_script.h"
#include "editors/tablespace_editor.h"
#include "editors/trigger_editor.h"
#include "editors/user_list.h"
#include "editors/view_editor.h"
#include "editors/nametable_editor.h"
#include "core/kdopeners.h"

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
    RegisterEditor(46, &TfrmIndex::Open, &TfrmIndex::Script);
    RegisterEditor(47, &TfrmView::Open, &TfrmView::Script);
    RegisterEditor(57, &TfrmTrigger::Open, &TfrmTrigger::Script);
    RegisterEditor(66, &TfrmConst::Open, &TfrmConst::Script);
    RegisterEditor(69, &TfrmTBS::Open, &TfrmTBS::Script);
    // The user list is a tool window: it goes into the window-opener table under the key
    // the main window's and the connection window's "ユーザー情報(&U)" commands use.
    kdopeners::Register(QStringLiteral("TfrmUserList"), [](const TOpenerArgs &a) -> QWidget * {
        return TfrmUserList::ShowWindow(a.Owner);
    });
    // The script-name table editor, opened by the script-output options dialog.
    kdopeners::Register(QStringLiteral("TfrmNameTable"), [](const TOpenerArgs &a) -> QWidget * {
        TfrmNameTable::ShowWindow(a.Owner);
        return nullptr;
    });
    RegisterEditor(51, &TfrmSource::Open, &TfrmSource::Script);
    RegisterEditor(52, &TfrmSource::Open, &TfrmSource::Script);
    RegisterEditor(55, &TfrmSource::Open, &TfrmSource::Script);
}
