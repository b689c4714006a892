#pragma once
// A statement on a connection: SQL text as a line list, colon parameters, prepare with a
// command kind, open (a data set over the result) and execute (rows affected).
#include "platform/db/dbdataset.h"
#include "platform/db/dbsql.h"
#include <QStringList>
#include <QVariant>
#include <vector>

namespace db {

// Types a parameter is sent as. Text goes out untyped so that the server infers the type
// from the context, as it does for a quoted literal.
enum class ParamType { Text, Integer, LargeInt, Float, Decimal, Date, Time, DateTime, Boolean };

class Param {
public:
    explicit Param(const QString &name = QString()) : FName(name) {}
    const QString &name() const { return FName; }
    ParamType dataType() const { return FType; }
    void setDataType(ParamType type) { FType = type; }
    bool isNull() const { return !FValue.isValid() || FValue.isNull(); } // unassigned is NULL
    const QVariant &value() const { return FValue; }
    void setValue(const QVariant &value) { FValue = value; }
    void clear() { FValue = QVariant(); }

    // Setters that also choose the type the value is sent as.
    void setAsString(const QString &v) { FType = ParamType::Text; FValue = v; }
    void setAsInteger(int v) { FType = ParamType::Integer; FValue = v; }
    void setAsLargeInt(qint64 v) { FType = ParamType::LargeInt; FValue = v; }
    void setAsFloat(double v) { FType = ParamType::Float; FValue = v; }
    void setAsDecimal(const QString &v) { FType = ParamType::Decimal; FValue = v; }
    void setAsDate(const QDate &v) { FType = ParamType::Date; FValue = v; }
    void setAsTime(const QTime &v) { FType = ParamType::Time; FValue = v; }
    void setAsDateTime(const QDateTime &v) { FType = ParamType::DateTime; FValue = v; }
    void setAsBoolean(bool v) { FType = ParamType::Boolean; FValue = v; }
    QString asString() const; // the value as the text that is sent; empty for NULL

private:
    QString FName;
    ParamType FType = ParamType::Text;
    QVariant FValue;
};

class Query : public DataSet {
    Q_OBJECT
public:
    explicit Query(Connection *conn = nullptr, QObject *parent = nullptr);

    void setConnection(Connection *conn); // closes the query first
    // ---- text ------------------------------------------------------------------------
    // The statement is the lines joined by "\n". Changing the text closes the query and
    // unprepares it; with parameter creation on, the parameter list is rebuilt (values of
    // names that stay are kept).
    const QStringList &sql() const { return FSql; }
    void setSql(const QStringList &lines);
    void setSql(const QString &text);
    QString sqlText() const { return FSql.join(QLatin1Char('\n')); }

    // ---- parameters ------------------------------------------------------------------
    // When on, ":NAME" markers become parameters (see parseParams); when off, the text is
    // sent exactly as written. Switching rebuilds or clears the list.
    bool paramCreation() const { return FParamCreation; }
    void setParamCreation(bool on);
    int paramCount() const { return int(FParams.size()); }
    Param &param(int i);                    // throws Error (Usage) when out of range
    Param *findParam(const QString &name);  // name compared without case; null when none
    Param &paramByName(const QString &name); // throws Error (Usage) when none
    void clearParams();                     // drops the list (parameter creation stays)

    // When on, the statement goes over the extended protocol even without parameters, so
    // the server refuses a text that holds more than one statement instead of running them
    // all (for statements built around text the user typed, such as EXPLAIN). Default off.
    bool singleStatement() const { return FSingleStatement; }
    void setSingleStatement(bool on) { FSingleStatement = on; }

    // ---- running -------------------------------------------------------------------
    void prepare(); // classifies the statement; nothing is sent
    bool isPrepared() const { return FPrepared; }
    CommandKind commandKind();   // prepares when needed
    QString commandKeyword();    // first keyword, upper case
    // Runs the statement and opens the data set on its rows. A plain query runs behind a
    // server-side cursor and shows its first block at once. Throws when the statement
    // returns no rows.
    void open();
    // For results the caller knows to be small and reads whole (catalog look-ups): open()
    // then sends a plain query as it is, in one message, and reads every row at once, so no
    // cursor is declared, fetched and closed around it (one round trip instead of two or
    // more outside a block). Inside the caller's block the statement still runs under its
    // savepoint. Off by default; kept until changed.
    bool smallResult() const { return FSmallResult; }
    void setSmallResult(bool on) { FSmallResult = on; }
    // Runs a statement that returns no rows. A plain query (CommandKind::Select) is refused
    // before anything is sent, with a message that holds "SELECT-like commands".
    void execute();
    qint64 rowsAffected() const { return FRowsAffected; } // -1 when the command reports none
    // The first row a statement run by execute() returned (CALL of a procedure with output
    // arguments, a change with RETURNING): column names and values as text (a null value is
    // a null QString). Empty when it returned none.
    const QStringList &returnedNames() const { return FReturnedNames; }
    const QStringList &returnedValues() const { return FReturnedValues; }

private:
    detail::ResultPtr runStatement(bool forOpen);
    void rebuildParams();

    QStringList FSql;
    bool FParamCreation = true;
    bool FSingleStatement = false;
    std::vector<Param> FParams;
    bool FPrepared = false;
    bool FSmallResult = false;
    StatementInfo FInfo;
    ParsedSql FParsed;
    qint64 FRowsAffected = -1;
    QStringList FReturnedNames;
    QStringList FReturnedValues;
};

} // namespace db
