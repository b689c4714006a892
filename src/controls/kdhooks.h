#pragma once
// What the core's child windows and dialogs take from the controls layer, registered in one
// place at start-up: the shared settings of each control of a child window, the code-assist
// host that answers F6 in every child window's SQL editors, and the number box of the numeric
// input dialog.

void InstallControlHooks();
// Unregisters them all (at program end, and in tests).
void RemoveControlHooks();
