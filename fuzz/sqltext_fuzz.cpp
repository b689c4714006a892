// Every SQL text routine on any input: no crash, no hang, no undefined behaviour.
#include "sqltext_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const TFormatOption layout = FuzzLayout(data[0]);
    const QString text = FuzzText(data + 1, size - 1);

    const QString formatted = FormatSQL(text, layout);
    if (FormatSQL(text, layout) != formatted)
        __builtin_trap(); // the result depends only on the text and the layout

    for (bool mode : {false, true}) {
        QStringList lines = text.split(QStringLiteral("\r\n"));
        StripSQLComments(lines, mode);
    }

    for (const QString &message : {QStringLiteral("strict"), QString()}) {
        TkdParseList items, tables, orders;
        QStringList conditions, groups, havings;
        QString viewName;
        try {
            ParseSQL(text, items, tables, orders, conditions, groups, havings, message, viewName);
        } catch (const ESQLParseError &) {
        }
    }

    const QStringList lines = text.split(QStringLiteral("\r\n"));
    auto lookup = [](const QString &, const QString &table) -> std::optional<bool> {
        if (table.size() % 3 == 0)
            return std::nullopt;
        return table.size() % 3 == 1;
    };
    LocateSQLError(lines, 0, int(lines.size()) - 1, QStringLiteral("OWNER"), QStringLiteral("ORA-00942 ") + text, false, lookup);
    LocateSQLError(lines, 0, int(lines.size()), QString(), QStringLiteral("ORA-00904: ") + text, true, lookup);
    return 0;
}
