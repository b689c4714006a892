#include "controls/kdhooks.h"

#include "controls/kdcodeassist.h"
#include "controls/kdsharedsettings.h"
#include "controls/kdstdctl.h"
#include "core/kdforms.h"
#include "core/kdsub_msg.h"

void InstallControlHooks()
{
    SetControlHook([](QWidget *control) { ApplySharedSettings(control); });
    SetCodeAssistHook(&CodeAssistHost);
    SetNumericEditFactory([](QWidget *parent) -> QLineEdit * { return new TkdNumEdit(parent); });
}

void RemoveControlHooks()
{
    SetControlHook({});
    SetCodeAssistHook({});
    SetNumericEditFactory({});
}
