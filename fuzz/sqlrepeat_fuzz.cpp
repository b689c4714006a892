// The input repeated to about 256 KB: a routine whose time grows faster than the length
// (long runs of blanks, quotes or comments) runs into the fuzzer's timeout here.
#include "sqltext_input.h"
#include "core/kdsqltoken.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2 || size > 64)
        return 0;
    const TFormatOption layout = FuzzLayout(data[0]);
    const QString unit = FuzzText(data + 1, size - 1);
    if (unit.isEmpty())
        return 0;
    QString text;
    text.reserve(1 << 18);
    while (text.size() < (1 << 18))
        text += unit;

    if (!kdsqltoken::SameStatementText(text, FormatSQL(text, layout)))
        __builtin_trap(); // the formatter changed what the text means
    QStringList lines = text.split(QStringLiteral("\r\n"));
    StripSQLComments(lines, false);
    TkdParseList items, tables, orders;
    QStringList conditions, groups, havings;
    QString viewName;
    for (const QString &message : {QStringLiteral("strict"), QString()}) {
        try {
            ParseSQL(text, items, tables, orders, conditions, groups, havings, message, viewName);
        } catch (const ESQLParseError &) {
        }
    }
    return 0;
}
