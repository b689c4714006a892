#pragma once
// The statements the data frame builds around the SELECT its host hands it, and the text
// forms of values for the clipboard and workbooks. Plain functions, tested without a window.
//
// The statement is read as the server's lexer reads it: string literals, quoted names, dollar
// quotes and both comment forms are skipped, and only clauses outside parentheses count.
#include "platform/db/dbfield.h"

#include <QString>
#include <optional>

namespace dataframe {

// The statement without a ";" that ends it (outside literals and comments); any other text,
// trailing comments included, stays as written.
QString StripTrailingSemicolon(const QString &Sql);

// True when the statement has an ORDER BY of its own outside parentheses (any letter case);
// one inside a window function or a subquery does not count.
bool HasTopLevelOrderBy(const QString &Sql);

// True when LIMIT, OFFSET or FETCH stands outside parentheses: a clause appended after it
// would be refused, so the statement is wrapped instead.
bool HasTopLevelLimit(const QString &Sql);

// The text the frame runs: Sql unchanged when neither a sort nor a row limit applies;
// otherwise the trailing ";" dropped, the statement wrapped as a derived table
// ("SELECT * FROM (" … ") AS t", the ")" on its own line) when it ends in LIMIT/OFFSET/FETCH,
// then "ORDER BY <SortColumn>[ DESC]" and "LIMIT <RowLimit>" on lines of their own.
// SortColumn 0 means no sort; a statement with an ORDER BY of its own is never re-sorted.
QString BuildDataSQL(const QString &Sql, int SortColumn, bool Descending, std::optional<int> RowLimit);

// "SELECT <Function>(<QuotedName>) FROM (" + statement + ") TBL", the statement without
// its trailing ";" and the ")" on a line of its own so a closing line comment stays harmless.
QString AggregateSQL(const QString &Function, const QString &QuotedName, const QString &Sql);

// A cell text as the clipboard gets it: a text holding TAB, LF, CR or '"' has its line
// breaks turned into single LFs and is put in double quotes with inner quotes doubled.
QString QuoteCellText(const QString &Text);

// A number text that begins with "." gets a "0" in front (".25" → "0.25"); "-.25" stays.
QString FixLeadingPoint(const QString &Text);

// How a data cell is drawn over the grid's own painting.
struct TCellLook {
    enum Place { Grid, Left, Right }; // Grid: the grid's own drawing stays
    Place place = Grid;
    bool fixPoint = false; // a leading "." gets a "0"
    bool operator==(const TCellLook &) const = default;
};
// Row-wise grid (AColumnWise false): numbers right with the "0" fix, memo-like and bytes
// left, the rest as the grid draws it. Column-wise grid by DataShowMode: 0 as the row-wise
// grid; 1 everything left (numbers without the fix); 2 everything right.
TCellLook CellLook(db::FieldType AType, bool AColumnWise, int AShowMode);

} // namespace dataframe
