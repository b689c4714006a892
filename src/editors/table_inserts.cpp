#include "editors/table_inserts.h"

#include "core/kdconnservices.h"
#include "core/kdforms.h"
#include "core/kdsub_text.h"
#include "editors/table_def.h"
#include "platform/db/dbconnection.h"

#include <exception>

namespace {

// Rows handed to the writer at a time.
constexpr int kBlockRows = 1000;

bool PlainNumber(QStringView v)
{
    if (v.isEmpty())
        return false;
    for (QChar c : v)
        if (!(c.isDigit() || c == QLatin1Char('-') || c == QLatin1Char('+') || c == QLatin1Char('.')
              || c == QLatin1Char('e') || c == QLatin1Char('E')))
            return false;
    return true;
}

} // namespace

TInsertKind InsertKindOf(const QString &FormattedType)
{
    static const QStringList numbers = {"smallint", "integer", "bigint", "real", "double precision", "oid"};
    const QString t = FormattedType.trimmed();
    if (numbers.contains(t) || t == QLatin1String("numeric") || t.startsWith(QLatin1String("numeric(")))
        return TInsertKind::Number;
    if (t == QLatin1String("boolean"))
        return TInsertKind::Boolean;
    return TInsertKind::Quoted;
}

namespace {

// Appends one value as SQL to Out (see InsertLiteral).
void AppendLiteral(QString &Out, QStringView Value, bool IsNull, const TInsertColumn &Column)
{
    if (Column.Kind == TInsertKind::Generated) {
        Out += QLatin1String("DEFAULT");
        return;
    }
    if (IsNull) {
        Out += QLatin1String("null");
        return;
    }
    if (Column.Kind == TInsertKind::Number && PlainNumber(Value))
        Out += Value;
    else if (Column.Kind == TInsertKind::Boolean)
        Out += Value == QLatin1String("t") ? QLatin1String("true") : QLatin1String("false");
    else if (Value.contains(QLatin1Char('\'')) || Value.contains(QLatin1Char('\\')))
        Out += QuoteLiteral(Value.toString()) + QStringLiteral("::") + Column.Type;
    else {
        Out += QLatin1Char('\'');
        Out += Value;
        Out += QLatin1String("'::");
        Out += Column.Type;
    }
}

// Undoes the escapes of COPY text output in one field.
QString Unescape(QStringView f)
{
    QString v;
    v.reserve(f.size());
    for (qsizetype i = 0; i < f.size(); ++i) {
        const QChar c = f.at(i);
        if (c != QLatin1Char('\\') || i + 1 >= f.size()) {
            v += c;
            continue;
        }
        const QChar n = f.at(++i);
        switch (n.unicode()) {
        case 'b': v += QLatin1Char('\b'); break;
        case 'f': v += QLatin1Char('\f'); break;
        case 'n': v += QLatin1Char('\n'); break;
        case 'r': v += QLatin1Char('\r'); break;
        case 't': v += QLatin1Char('\t'); break;
        case 'v': v += QLatin1Char('\v'); break;
        default: v += n; break;
        }
    }
    return v;
}

// The statement of one row from its COPY text, written to Out as AppendInsertRow does.
// Generated columns are not in the COPY row; they take DEFAULT.
void AppendCopyRow(QStringList &Out, const QString &Head, const QList<TInsertColumn> &Columns, QStringView Row)
{
    QString line = Head;
    line.reserve(Head.size() + Row.size() * 2);
    qsizetype at = 0;
    for (int i = 0; i < Columns.size(); ++i) {
        if (Columns[i].Kind == TInsertKind::Generated) {
            AppendLiteral(line, QStringView(), false, Columns[i]);
        } else {
            qsizetype end = Row.indexOf(QLatin1Char('\t'), at);
            if (end < 0)
                end = Row.size();
            const QStringView f = Row.mid(at, end - at);
            at = end + 1;
            if (f == QLatin1String("\\N"))
                AppendLiteral(line, QStringView(), true, Columns[i]);
            else if (f.contains(QLatin1Char('\\')))
                AppendLiteral(line, Unescape(f), false, Columns[i]);
            else
                AppendLiteral(line, f, false, Columns[i]);
        }
        if (i + 1 < Columns.size())
            line += QLatin1Char(',');
        if (line.size() > 70) {
            Out << line;
            line.clear();
        }
    }
    line += QLatin1Char(')');
    Out << line << QStringLiteral(";");
}

} // namespace

QString InsertLiteral(const QString &Value, bool IsNull, const TInsertColumn &Column)
{
    QString out;
    AppendLiteral(out, Value, IsNull, Column);
    return out;
}

void AppendInsertRow(QStringList &Out, const QString &Head, const QList<TInsertColumn> &Columns,
                     const QStringList &Values, const QList<bool> &Nulls)
{
    QString line = Head;
    for (int i = 0; i < Columns.size(); ++i) {
        AppendLiteral(line, Values.value(i), Nulls.value(i, true), Columns[i]);
        if (i + 1 < Columns.size())
            line += QLatin1Char(',');
        if (line.size() > 70) {
            Out << line;
            line.clear();
        }
    }
    Out << line + QLatin1Char(')') << QStringLiteral(";");
}

void DecodeCopyRow(const QString &Row, QStringList &Values, QList<bool> &Nulls)
{
    Values.clear();
    Nulls.clear();
    // A tab inside a value is always written \t, so the row splits on tabs.
    for (const QStringView f : QStringView(Row).split(QLatin1Char('\t'))) {
        const bool null = f == QLatin1String("\\N");
        Nulls << null;
        Values << (null ? QString() : Unescape(f));
    }
}

qint64 WriteTableInserts(TkdConnForm *Conn, const TTableDef &Def, const QString &Target,
                         const std::function<void(const QStringList &)> &Write)
{
    QList<TInsertColumn> columns;
    QStringList read;
    bool overriding = false;
    for (const TTableColumn &c : Def.Columns) {
        TInsertColumn col;
        col.Type = c.FullType;
        col.Kind = c.Generated.isEmpty() ? InsertKindOf(c.FullType) : TInsertKind::Generated;
        if (c.Generated.isEmpty())
            read << QuoteIdentifier(c.Name, true);
        if (c.Identity == QLatin1String("a"))
            overriding = true;
        columns << col;
    }
    // An identity column GENERATED ALWAYS takes the row's own value only with OVERRIDING.
    const QString head = QStringLiteral("INSERT INTO ") + Target
                         + (overriding ? QStringLiteral(" OVERRIDING SYSTEM VALUE") : QString()) + QStringLiteral(" VALUES(");
    const QString source = QuoteIdentifier(Def.Schema, true) + QLatin1Char('.') + QuoteIdentifier(Def.Name, true);
    // The table's own rows: a parent's children and a partitioned table's partitions
    // script their rows themselves (a partitioned table holds none of its own).
    if (Def.RelKind == QLatin1Char('p') || read.isEmpty())
        return 0;
    const QString sql = QStringLiteral("COPY (SELECT ") + read.join(QStringLiteral(", ")) + QStringLiteral(" FROM ONLY ")
                        + source + QStringLiteral(") TO STDOUT");

    db::Connection *c = Conn->dbsMain();
    c->startTransaction();
    qint64 rows = 0;
    std::exception_ptr writeError;
    try {
        c->execute(QStringLiteral("SET LOCAL DateStyle = ISO, YMD"));
        c->execute(QStringLiteral("SET LOCAL IntervalStyle = postgres"));
        c->execute(QStringLiteral("SET LOCAL extra_float_digits = 3"));
        c->execute(QStringLiteral("SET LOCAL bytea_output = hex"));
        QStringList block;
        block.reserve(kBlockRows * 3);
        int inBlock = 0;
        auto flush = [&] {
            if (block.isEmpty())
                return;
            Write(block);
            block.clear();
            inBlock = 0;
        };
        c->copyOut(sql, [&](const char *data, int length) {
            try {
                int n = length;
                if (n > 0 && data[n - 1] == '\n')
                    --n;
                AppendCopyRow(block, head, columns, c->decode(data, n));
                ++rows;
                if (++inBlock >= kBlockRows)
                    flush();
                return true;
            } catch (...) {
                writeError = std::current_exception();
                return false;
            }
        });
        if (writeError)
            std::rethrow_exception(writeError);
        flush();
    } catch (...) {
        try {
            c->rollback();
        } catch (...) {
        }
        throw;
    }
    c->rollback(); // only settings were made
    return rows;
}
