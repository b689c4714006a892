#include "controls/kdsqlerrormark.h"

#include "controls/kdmemo.h"
#include "core/kdsub_sql.h"
#include "platform/db/dberror.h"
#include "platform/db/dbquery.h"

void MarkSQLError(TkdMemo *Memo, db::Query *Query, const QString &Owner, int StartLine, int EndLine,
                  const QString &Message)
{
    if (!Memo)
        return;
    QStringList lines;
    lines.reserve(Memo->lines());
    for (int l = 0; l < Memo->lines(); ++l)
        lines.append(Memo->RowText(l));

    TkdTableLookup lookup;
    if (Query) {
        lookup = [Query](const QString &owner, const QString &table) -> std::optional<bool> {
            try {
                Query->close();
                Query->setParamCreation(true);
                Query->setSql(SQLErrorTableQuery());
                Query->paramByName(QStringLiteral("OWNER")).setAsString(owner);
                Query->paramByName(QStringLiteral("TABLE_NAME")).setAsString(table);
                Query->open();
                const bool found = !Query->isEmpty();
                Query->close();
                return found;
            } catch (const db::Error &) {
                return std::nullopt;
            }
        };
    }

    const TkdErrorMark mark =
        LocateSQLError(lines, StartLine, EndLine, Owner, Message, Memo->hasSelectedText(), lookup);
    switch (mark.FKind) {
    case TkdErrorMark::mkKeep:
        break;
    case TkdErrorMark::mkLines:
        Memo->MultiLineSelect(mark.FStartLine, mark.FEndLine);
        break;
    case TkdErrorMark::mkRange: {
        // Offsets count every line break as CR LF; the name lies within one line.
        int start = 0;
        for (int l = 0; l < lines.size(); ++l) {
            const int len = int(lines.at(l).size());
            if (mark.FSelStart <= start + len) {
                const int col = mark.FSelStart - start;
                Memo->setSelection(l, col, l, col + mark.FSelLength);
                break;
            }
            start += len + 2;
        }
        break;
    }
    }
}
