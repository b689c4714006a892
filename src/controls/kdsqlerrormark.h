#pragma once
// Marks in a SQL editor where a failed statement went wrong, before the caller shows the
// error message: the statement's lines (unless the user has text selected), or the name the
// message quotes when it can be found standing alone in the statement.
#include <QString>

class TkdMemo;
namespace db { class Query; }

// Query (may be null) serves the look-up of tables that a message says do not exist; when
// the look-up fails, the statement's lines are marked as for any other message, so the
// caller's message about the user's own error is still the one shown.
void MarkSQLError(TkdMemo *Memo, db::Query *Query, const QString &Owner, int StartLine, int EndLine,
                  const QString &Message);
