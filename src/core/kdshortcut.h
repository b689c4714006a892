#pragma once
// Keyboard shortcuts of the main window's actions as they are stored.
//
// Text form: the modifiers in the order "Shift+", "Ctrl+", "Alt+" (and "Meta+", which
// this platform adds), then the key: "BkSp", "Tab", "Enter", "Esc", "Space", "PgUp",
// "PgDn", "End", "Home", "Left", "Up", "Right", "Down", "Ins", "Del", a digit or capital
// letter as itself (keypad digits too), "F1" to "F24", any other key by its portable
// name ("-" for the minus key). An empty text means no shortcut.
//
// In the settings file an action without a shortcut is stored as "None" (kNoShortCutText):
// an empty stored text reads back as the action's default key, so a key the user took away
// would come back at the next start. Files that hold an empty text keep working (default).
#include <QKeySequence>
#include <QString>
#include <functional>
#include <span>

class QAction;
class TkdRegistry;

// The stored text of a shortcut (its first key combination); empty for none.
QString ShortCutToText(const QKeySequence &shortcut);
// The shortcut of a stored text; empty when the text is empty, "None" or does not convert.
// Names are compared without regard to case.
QKeySequence TextToShortCut(const QString &text);

// The stored form of "no shortcut".
inline constexpr char kNoShortCutText[] = "None";
// The text written to the settings file: ShortCutToText, or "None" for no shortcut.
QString ShortCutToStoredText(const QKeySequence &shortcut);

// One stored shortcut: value name in the key "SHORTCUT", action name, design-time shortcut.
struct TShortcutRow {
    const char *Value;
    const char *Action;
    const char *Default;  // stored text form, "" for none
};
// The 67 rows in the order in which they are read and written.
std::span<const TShortcutRow> ShortcutRows();

// Reads the current key ("SHORTCUT" opened by the caller): for every row whose action
// findAction knows, the action's current shortcut is the default and the stored text
// becomes its shortcut (a text that does not convert leaves it without one).
void LoadShortcuts(TkdRegistry &reg, const std::function<QAction *(const QString &)> &findAction);
// Writes the current shortcut of every row's action into the current key ("None" for none).
void SaveShortcuts(TkdRegistry &reg, const std::function<QAction *(const QString &)> &findAction);

// The integer shortcut code of command files: 8192 Shift, 16384 Ctrl, 32768 Alt, plus the
// key's virtual-key number (letters and digits as their capital ASCII codes, F1 = 112 …).
// 0 or a key without a counterpart gives no shortcut.
QKeySequence ShortcutCodeToKeySequence(int code);
int KeySequenceToShortcutCode(const QKeySequence &shortcut);
