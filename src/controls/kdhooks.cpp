#include "controls/kdhooks.h"

#include "controls/kdcodeassist.h"
#include "controls/kdsharedsettings.h"
#include "controls/kdstdctl.h"
#include "core/kdforms.h"
#include "core/kdsub_msg.h"

namespace {
// Under the name option "lower-case names" a child window's text boxes and combo boxes take
// names in the letter case typed: any upper- or lower-case conversion set when the window was
// built is switched off.
void ResetNameCase(QWidget *control)
{
    TkdForm *form = nullptr;
    for (QWidget *w = control->parentWidget(); w && !form; w = w->parentWidget())
        form = qobject_cast<TkdForm *>(w);
    if (!form || !form->UseLowerName())
        return;
    if (auto *edit = qobject_cast<TkdStrEdit *>(control))
        edit->SetCharCase(ecNormal);
    else if (auto *combo = qobject_cast<TkdComboBox *>(control))
        combo->SetCharCase(ecNormal);
}
} // namespace

void InstallControlHooks()
{
    SetControlHook([](QWidget *control) {
        ApplySharedSettings(control);
        ResetNameCase(control);
    });
    SetCodeAssistHook(&CodeAssistHost);
    SetNumericEditFactory([](QWidget *parent) -> QLineEdit * { return new TkdNumEdit(parent); });
}

void RemoveControlHooks()
{
    SetControlHook({});
    SetCodeAssistHook({});
    SetNumericEditFactory({});
}
