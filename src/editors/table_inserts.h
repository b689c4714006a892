#pragma once
// A table's rows as INSERT statements. The rows are read with COPY in text form under fixed
// output settings (ISO dates, postgres intervals, exact floats, hex bytea), so each value is
// the server's own text; numbers and booleans are written plain, NULL as null, every other
// value as a quoted literal with a cast to its column's type. Rows are written as they
// arrive, in blocks, so memory stays flat however many rows the table holds.
#include <QString>
#include <QStringList>
#include <functional>

class TkdConnForm;
struct TTableDef;

// How a column's values are written.
enum class TInsertKind { Number, Boolean, Quoted, Generated };

struct TInsertColumn {
    QString Type;  // format_type with the modifier
    TInsertKind Kind = TInsertKind::Quoted;
};

// The kind of a formatted type.
TInsertKind InsertKindOf(const QString &FormattedType);

// One value as SQL: null, a plain number or boolean, or QuoteLiteral + "::" + type. A number
// the server writes as a word (NaN, Infinity) is quoted with its cast.
QString InsertLiteral(const QString &Value, bool IsNull, const TInsertColumn &Column);

// Appends one row's statement: Head ("INSERT INTO t VALUES(") and the values, a new line
// once the current one is longer than 70 characters, ")" and the line ";". A generated
// column is written DEFAULT.
void AppendInsertRow(QStringList &Out, const QString &Head, const QList<TInsertColumn> &Columns,
                     const QStringList &Values, const QList<bool> &Nulls);

// Decodes one row of COPY text output (without its line end) into values and NULL marks.
void DecodeCopyRow(const QString &Row, QStringList &Values, QList<bool> &Nulls);

// Reads the rows of the loaded table and hands their statements to Write in blocks; Head
// names the target ("INSERT INTO " + name, the copy's name for a copy). Returns the rows.
// Server errors are thrown; the settings are undone in every case.
qint64 WriteTableInserts(TkdConnForm *Conn, const TTableDef &Def, const QString &Target,
                         const std::function<void(const QStringList &)> &Write);
