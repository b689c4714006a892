#include "editors/editor_table.h"

#include "core/kdeditorreg.h"

void RegisterEditors()
{
    // One RegisterEditor(code, open, script) per editor. Codes without an editor yet open
    // nothing: OpenObject tells the user the window is not available, scripts stay empty.
}
