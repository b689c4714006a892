#include "core/kdshortcut.h"

#include "core/kdreg.h"

#include <QAction>

namespace {

struct KeyName {
    Qt::Key Key;
    const char *Name;
};

// Keys with a name of their own; the first row of a key gives its text.
constexpr KeyName kKeyNames[] = {
    {Qt::Key_Backspace, "BkSp"}, {Qt::Key_Tab, "Tab"},       {Qt::Key_Backtab, "Tab"},
    {Qt::Key_Return, "Enter"},   {Qt::Key_Enter, "Enter"},   {Qt::Key_Escape, "Esc"},
    {Qt::Key_Space, "Space"},    {Qt::Key_PageUp, "PgUp"},   {Qt::Key_PageDown, "PgDn"},
    {Qt::Key_End, "End"},        {Qt::Key_Home, "Home"},     {Qt::Key_Left, "Left"},
    {Qt::Key_Up, "Up"},          {Qt::Key_Right, "Right"},   {Qt::Key_Down, "Down"},
    {Qt::Key_Insert, "Ins"},     {Qt::Key_Delete, "Del"},
};

struct ModName {
    Qt::KeyboardModifier Mod;
    const char *Name;
};

constexpr ModName kModNames[] = {
    {Qt::ShiftModifier, "Shift+"},
    {Qt::ControlModifier, "Ctrl+"},
    {Qt::AltModifier, "Alt+"},
    {Qt::MetaModifier, "Meta+"},
};

QString KeyToText(int key)
{
    for (const KeyName &k : kKeyNames)
        if (k.Key == key)
            return QString::fromLatin1(k.Name);
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z))
        return QString(QChar(key));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return QStringLiteral("F%1").arg(key - Qt::Key_F1 + 1);
    return QKeySequence(key).toString(QKeySequence::PortableText);
}

int TextToKey(const QString &name)
{
    if (name.isEmpty())
        return 0;
    for (const KeyName &k : kKeyNames)
        if (name.compare(QLatin1String(k.Name), Qt::CaseInsensitive) == 0)
            return k.Key;
    if (name.size() == 1) {
        const QChar c = name.at(0).toUpper();
        if ((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')))
            return c.unicode();
    }
    if (name.size() >= 2 && (name.at(0) == QLatin1Char('F') || name.at(0) == QLatin1Char('f'))) {
        bool ok = false;
        const int n = name.mid(1).toInt(&ok);
        if (ok) {  // function keys F1 to F24 only, written without leading zeros
            if (n >= 1 && n <= 24 && name.mid(1) == QString::number(n))
                return Qt::Key_F1 + n - 1;
            return 0;
        }
    }
    const QKeySequence seq = QKeySequence::fromString(name, QKeySequence::PortableText);
    if (seq.count() != 1 || seq[0].keyboardModifiers() != Qt::NoModifier)
        return 0;
    const int key = seq[0].key();
    return key == Qt::Key_unknown ? 0 : key;
}

} // namespace

QString ShortCutToText(const QKeySequence &shortcut)
{
    if (shortcut.isEmpty())
        return QString();
    const QKeyCombination combo = shortcut[0];
    const QString key = KeyToText(combo.key());
    if (key.isEmpty())
        return QString();
    Qt::KeyboardModifiers mods = combo.keyboardModifiers() & ~Qt::KeypadModifier;
    if (combo.key() == Qt::Key_Backtab)
        mods |= Qt::ShiftModifier;
    QString text;
    for (const ModName &m : kModNames)
        if (mods & m.Mod)
            text += QString::fromLatin1(m.Name);
    return text + key;
}

QString ShortCutToStoredText(const QKeySequence &shortcut)
{
    const QString text = ShortCutToText(shortcut);
    return text.isEmpty() ? QString::fromLatin1(kNoShortCutText) : text;
}

QKeySequence TextToShortCut(const QString &text)
{
    if (text.trimmed().compare(QLatin1String(kNoShortCutText), Qt::CaseInsensitive) == 0)
        return QKeySequence();
    QString rest = text;
    Qt::KeyboardModifiers mods;
    for (bool found = true; found;) {
        found = false;
        for (const ModName &m : kModNames) {
            const QLatin1String name(m.Name);
            if (rest.size() > name.size() && rest.startsWith(name, Qt::CaseInsensitive)) {
                mods |= m.Mod;
                rest = rest.mid(name.size());
                found = true;
            }
        }
    }
    const int key = TextToKey(rest);
    if (key == 0)
        return QKeySequence();
    return QKeySequence(QKeyCombination(mods, static_cast<Qt::Key>(key)));
}

std::span<const TShortcutRow> ShortcutRows()
{
    static const TShortcutRow rows[] = {
        {"DBCommit", "actDBCommit", ""},
        {"DBRollback", "actDBRollback", ""},
        {"DBLogon", "actDBLogon", ""},
        {"DBLogoff", "actDBLogoff", ""},
        {"FileExit", "actFileExit", ""},
        {"EditUndo", "actEditUndo", "Ctrl+Z"},
        {"EditRedo", "actEditRedo", "Ctrl+Y"},
        {"EditCut", "actEditCut", "Ctrl+X"},
        {"EditCopy", "actEditCopy", "Ctrl+C"},
        {"EditPaste", "actEditPaste", "Ctrl+V"},
        {"EditDelete", "actEditDelete", ""},
        {"EditRename", "actEditRename", ""},
        {"EditSelectAll", "actEditSelectAll", "Ctrl+A"},
        {"EditSelectMode", "actEditSelectMode", ""},
        {"EditFind", "actEditFind", "Ctrl+F"},
        {"EditFindNext", "actEditFindNext", "F3"},
        {"EditFindPrev", "actEditFindPrev", "Shift+F3"},
        {"EditReplace", "actEditReplace", "Ctrl+R"},
        {"EditJump", "actEditJump", "Ctrl+G"},
        {"EditFormat", "actEditFormat", ""},
        {"EditComment", "actEditComment", "Ctrl+-"},
        {"EditUpperCase", "actEditUpperCase", ""},
        {"EditLowerCase", "actEditLowerCase", ""},
        {"EditIndentF", "actEditIndentF", ""},
        {"EditIndentR", "actEditIndentR", ""},
        {"EditMacroSave", "actEditMacroSave", ""},
        {"EditMacroExec", "actEditMacroExec", ""},
        {"EditOpen", "actEditOpen", ""},
        {"ObjectNew", "actNew", ""},
        {"ObjectOpen", "actOpen", ""},
        {"ObjectOpenDefine", "actOpenDefine", ""},
        {"ObjectOpenSource", "actOpenSource", ""},
        {"ObjectOpenData", "actOpenData", ""},
        {"ObjectOpenDataTop", "actOpenDataTop", ""},
        {"ObjectExec", "actExec", ""},
        {"ObjectScript", "actScript", ""},
        {"ObjectPrint", "actPrint", ""},
        {"ObjectCross", "actCross", ""},
        {"ObjectMatrix", "actMatrix", ""},
        {"ObjectGrant", "actGrant", ""},
        {"ObjectAnalyze", "actAnalyze", ""},
        {"ObjectDelete", "actDelete", "Del"},
        {"ObjectGrep", "actGrep", ""},
        {"ObjectExport", "actExport", ""},
        {"ObjectLoad", "actLoad", ""},
        {"ViewSQL", "actViewSQL", "Ctrl+S"},
        {"ViewScript", "actViewScript", ""},
        {"ViewField", "actViewField", "Ctrl+T"},
        {"ViewTemplate", "actViewTemplate", "Ctrl+J"},
        {"ViewSQLCatch", "actViewSQLCatch", ""},
        {"ViewSQLCRUD", "actViewSQLCRUD", ""},
        {"AdminUser", "actAdminUser", ""},
        {"AdminStorage", "actAdminStorage", ""},
        {"AdminSession", "actAdminSession", ""},
        {"AdminLock", "actAdminLock", ""},
        {"AdminDatabase", "actAdminDatabase", ""},
        {"AdminPerform", "actAdminPerform", ""},
        {"AdminExport", "actAdminExport", ""},
        {"AdminImport", "actAdminImport", ""},
        {"AdminLoad", "actAdminLoad", ""},
        {"ToolCommandSetup", "actToolCommandSetup", ""},
        {"ToolReportSetup", "actToolReportSetup", ""},
        {"ToolOption", "actToolOption", ""},
        {"ViewComp", "actViewComp", ""},
        {"ToolIndexAdviser", "actToolIndexAdviser", ""},
        {"ToolEditorOption", "actToolEditorOption", ""},
        {"ToolScriptOption", "actToolScriptOption", ""},
    };
    return rows;
}

void LoadShortcuts(TkdRegistry &reg, const std::function<QAction *(const QString &)> &findAction)
{
    for (const TShortcutRow &row : ShortcutRows()) {
        QAction *action = findAction ? findAction(QLatin1String(row.Action)) : nullptr;
        if (!action)
            continue;
        const QString def = ShortCutToText(action->shortcut());
        action->setShortcut(TextToShortCut(reg.GetString(QLatin1String(row.Value), def)));
    }
}

void SaveShortcuts(TkdRegistry &reg, const std::function<QAction *(const QString &)> &findAction)
{
    for (const TShortcutRow &row : ShortcutRows()) {
        QAction *action = findAction ? findAction(QLatin1String(row.Action)) : nullptr;
        if (action)
            reg.WriteString(QLatin1String(row.Value), ShortCutToStoredText(action->shortcut()));
    }
}

namespace {
struct VirtualKey {
    int Code;
    Qt::Key Key;
};
constexpr VirtualKey kVirtualKeys[] = {
    {0x08, Qt::Key_Backspace}, {0x09, Qt::Key_Tab},    {0x0D, Qt::Key_Return}, {0x1B, Qt::Key_Escape},
    {0x20, Qt::Key_Space},     {0x21, Qt::Key_PageUp}, {0x22, Qt::Key_PageDown}, {0x23, Qt::Key_End},
    {0x24, Qt::Key_Home},      {0x25, Qt::Key_Left},   {0x26, Qt::Key_Up},     {0x27, Qt::Key_Right},
    {0x28, Qt::Key_Down},      {0x2D, Qt::Key_Insert}, {0x2E, Qt::Key_Delete}, {0xBD, Qt::Key_Minus},
};
} // namespace

QKeySequence ShortcutCodeToKeySequence(int code)
{
    if (code <= 0)
        return QKeySequence();
    Qt::KeyboardModifiers mods;
    if (code & 0x2000)
        mods |= Qt::ShiftModifier;
    if (code & 0x4000)
        mods |= Qt::ControlModifier;
    if (code & 0x8000)
        mods |= Qt::AltModifier;
    const int vk = code & 0xFF;
    int key = 0;
    if ((vk >= 0x30 && vk <= 0x39) || (vk >= 0x41 && vk <= 0x5A))
        key = vk;
    else if (vk >= 0x60 && vk <= 0x69)
        key = Qt::Key_0 + (vk - 0x60);
    else if (vk >= 0x70 && vk <= 0x87)
        key = Qt::Key_F1 + (vk - 0x70);
    else
        for (const VirtualKey &v : kVirtualKeys)
            if (v.Code == vk)
                key = v.Key;
    if (key == 0)
        return QKeySequence();
    return QKeySequence(QKeyCombination(mods, static_cast<Qt::Key>(key)));
}

int KeySequenceToShortcutCode(const QKeySequence &shortcut)
{
    if (shortcut.isEmpty())
        return 0;
    const QKeyCombination kc = shortcut[0];
    const int key = kc.key();
    int vk = 0;
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z))
        vk = key;
    else if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        vk = 0x70 + (key - Qt::Key_F1);
    else
        for (const VirtualKey &v : kVirtualKeys)
            if (v.Key == key)
                vk = v.Code;
    if (vk == 0)
        return 0;
    int code = vk;
    if (kc.keyboardModifiers() & Qt::ShiftModifier)
        code |= 0x2000;
    if (kc.keyboardModifiers() & Qt::ControlModifier)
        code |= 0x4000;
    if (kc.keyboardModifiers() & Qt::AltModifier)
        code |= 0x8000;
    return code;
}
