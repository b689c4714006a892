// Every SQL text routine on any input: no crash, no hang, no undefined behaviour; the
// formatter keeps the token sequence of its input and the comment stripper every token that
// is not a comment.
#include "sqltext_input.h"
#include "core/kdsqltoken.h"

#include <QRegularExpression>

namespace {

QStringList KeysWithoutComments(const QString &text)
{
    QStringList keys;
    for (const kdsqltoken::TToken &t : kdsqltoken::Tokenize(text))
        if (t.FKind != kdsqltoken::TTokenKind::LineComment && t.FKind != kdsqltoken::TTokenKind::BlockComment)
            keys.append(kdsqltoken::TokenKey(text, t));
    return keys;
}

// An empty line or a REM line, which the stripper drops at both ends of the text.
bool DroppedAtTheEnds(const QString &line)
{
    const QString s = line.trimmed().toUpper();
    return s.isEmpty() || s == u"REM" || s == u"REMARK" || s.startsWith(u"REM ") || s.startsWith(u"REM\t")
           || s.startsWith(u"REMARK ") || s.startsWith(u"REMARK\t");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const TFormatOption layout = FuzzLayout(data[0]);
    const QString text = FuzzText(data + 1, size - 1);

    const QString formatted = FormatSQL(text, layout);
    if (FormatSQL(text, layout) != formatted)
        __builtin_trap(); // the result depends only on the text and the layout
    if (!kdsqltoken::SameStatementText(text, formatted))
        __builtin_trap(); // the formatter changed what the text means

    for (bool mode : {false, true}) {
        QStringList lines = text.split(QStringLiteral("\r\n"));
        StripSQLComments(lines, mode);
    }
    {
        // Lines as an editor holds them: no line break inside a line.
        static const QRegularExpression lineEnd(QStringLiteral("\r\n|\n|\r"));
        const QStringList original = text.split(lineEnd);
        if (!DroppedAtTheEnds(original.first()) && !DroppedAtTheEnds(original.last())) {
            QStringList lines = original;
            StripSQLComments(lines, false);
            if (KeysWithoutComments(lines.join(QStringLiteral("\r\n"))) != KeysWithoutComments(original.join(QStringLiteral("\r\n"))))
                __builtin_trap(); // stripping lost or joined a token
        }
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
