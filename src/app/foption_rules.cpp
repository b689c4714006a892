// The rules of the options dialog that need no window: hot keys, folder boxes, column letters
// and the preview statement.
#include "app/foption.h"

#include "core/kdsub_sql.h"

namespace {

struct TVirtualKeyRow {
    int QtKey;
    int Vk;
    int BaseKey; // the key a shortcut names (the unshifted key of the same key cap)
};

// The symbol keys of the Japanese keyboard and the digits' shifted symbols: a symbol typed
// with Shift reaches the program as the shifted character, while the shortcut is formed from
// the key cap, as the key number is.
constexpr TVirtualKeyRow kSymbolKeys[] = {
    {Qt::Key_Exclam, 0x31, Qt::Key_1},       {Qt::Key_QuoteDbl, 0x32, Qt::Key_2},
    {Qt::Key_NumberSign, 0x33, Qt::Key_3},   {Qt::Key_Dollar, 0x34, Qt::Key_4},
    {Qt::Key_Percent, 0x35, Qt::Key_5},      {Qt::Key_Ampersand, 0x36, Qt::Key_6},
    {Qt::Key_Apostrophe, 0x37, Qt::Key_7},   {Qt::Key_ParenLeft, 0x38, Qt::Key_8},
    {Qt::Key_ParenRight, 0x39, Qt::Key_9},
    {Qt::Key_Colon, 186, Qt::Key_Colon},     {Qt::Key_Asterisk, 186, Qt::Key_Colon},
    {Qt::Key_Semicolon, 187, Qt::Key_Semicolon}, {Qt::Key_Plus, 187, Qt::Key_Semicolon},
    {Qt::Key_Comma, 188, Qt::Key_Comma},     {Qt::Key_Less, 188, Qt::Key_Comma},
    {Qt::Key_Minus, 189, Qt::Key_Minus},     {Qt::Key_Equal, 189, Qt::Key_Minus},
    {Qt::Key_Period, 190, Qt::Key_Period},   {Qt::Key_Greater, 190, Qt::Key_Period},
    {Qt::Key_Slash, 191, Qt::Key_Slash},     {Qt::Key_Question, 191, Qt::Key_Slash},
    {Qt::Key_At, 192, Qt::Key_At},           {Qt::Key_QuoteLeft, 192, Qt::Key_At},
    {Qt::Key_BracketLeft, 219, Qt::Key_BracketLeft}, {Qt::Key_BraceLeft, 219, Qt::Key_BracketLeft},
    {Qt::Key_Backslash, 220, Qt::Key_Backslash}, {Qt::Key_yen, 220, Qt::Key_Backslash},
    {Qt::Key_Bar, 220, Qt::Key_Backslash},
    {Qt::Key_BracketRight, 221, Qt::Key_BracketRight}, {Qt::Key_BraceRight, 221, Qt::Key_BracketRight},
    {Qt::Key_AsciiCircum, 222, Qt::Key_AsciiCircum}, {Qt::Key_AsciiTilde, 222, Qt::Key_AsciiCircum},
    {Qt::Key_Underscore, 226, Qt::Key_Underscore},
};

const TVirtualKeyRow *SymbolRow(int qtKey)
{
    for (const TVirtualKeyRow &row : kSymbolKeys)
        if (row.QtKey == qtKey)
            return &row;
    return nullptr;
}

bool Assignable(int vk)
{
    return vk == 46 || (vk >= 48 && vk <= 90) || (vk >= 112 && vk <= 121) || (vk >= 186 && vk <= 190)
        || (vk >= 192 && vk <= 221) || vk == 223;
}

} // namespace

int HotKeyVirtualKey(int qtKey)
{
    if (qtKey == Qt::Key_Space)
        return 32;
    if (qtKey == Qt::Key_Delete)
        return 46;
    if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z))
        return qtKey;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return 112 + (qtKey - Qt::Key_F1);
    if (const TVirtualKeyRow *row = SymbolRow(qtKey))
        return row->Vk;
    return 0;
}

THotKeyResult HotKeyFor(int qtKey, Qt::KeyboardModifiers modifiers)
{
    const int vk = HotKeyVirtualKey(qtKey);
    if (vk == 32)
        return {THotKeyAction::Clear, {}};
    if (!Assignable(vk))
        return {};
    const Qt::KeyboardModifiers mods = modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (((vk >= 48 && vk <= 57) || (vk >= 65 && vk <= 90)) && mods == Qt::NoModifier)
        return {};
    int key = qtKey;
    if (const TVirtualKeyRow *row = SymbolRow(qtKey))
        key = row->BaseKey;
    return {THotKeyAction::Assign, QKeySequence(QKeyCombination(mods, static_cast<Qt::Key>(key)))};
}

QString NormalizeFolderText(const QString &text, const QString &defaultFolder)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return defaultFolder;
    return trimmed.endsWith(QLatin1Char('/')) ? trimmed : trimmed + QLatin1Char('/');
}

QString OptionSampleSQL()
{
    return QStringLiteral("/* 表示サンプル */\r\n"
                          "BEGIN SELECT S01.COL01, S01.COL02 FROM SAMPLE01 S01, SMAPLE02 S02 WHERE S01.COL01 = "
                          "S02.COL1 AND S01.COL2 IS NOT NULL GROUP BY COL1 HAVING COL1 > 1 AND COL2 IS NOT NULL "
                          "ORDER BY COL1, COL2 DESC; END;");
}

QString OptionPreviewText(const QString &sql, const TFormatOption &layout)
{
    try {
        return FormatSQL(sql, layout);
    } catch (const std::exception &) {
        return sql;
    }
}
