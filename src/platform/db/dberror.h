#pragma once
// The one exception type of the data-access layer, and the rule that drops four kinds of
// server errors (a zero byte in text, a cursor that no longer exists) instead of raising them.
#include <QByteArray>
#include <QString>
#include <exception>
#include <functional>
#include <optional>

namespace db {

class Error : public std::exception {
public:
    // Where the error came from. Server errors carry the fields of the server's report;
    // the others are refusals of the layer itself or a lost connection or result.
    enum class Kind {
        Server,         // reported by the server (severity, SQLSTATE, ... are set)
        Client,         // reported by libpq (connection failure, protocol trouble)
        ConnectionLost, // the connection is gone; the next call must reconnect
        ResultLost,     // the rest of an open result can no longer be fetched
        Refused,        // the layer refused the request before sending anything
        Usage,          // the caller used the layer wrongly (no such field, wrong state)
        Abandoned,      // the user gave up waiting (a connection attempt abandoned)
        Cancelled,      // the user cancelled the running statement (the server ended it)
    };

    Error() = default;
    Error(Kind kind, const QString &message);

    Kind kind = Kind::Client;
    // The full text: severity + ": " + primary message, then "DETAIL: " and "HINT: " lines
    // when present. Layer errors carry their own text without any prefix.
    QString message;
    QString severity; // as the server wrote it ("ERROR", "FATAL", ...)
    QString sqlState; // five characters, empty when unknown
    QString primary;
    QString detail;
    QString hint;
    QString context;
    int position = 0; // 1-based character position in the statement, 0 when none

    const char *what() const noexcept override;

private:
    mutable QByteArray FWhat;
};

// Called with every error before it is raised; it may change the error, replace it, or
// reset the optional to drop it (the operation then goes on as if it had succeeded).
using ErrorHook = std::function<void(std::optional<Error> &error)>;

// True when `message` holds both fragments of one of the four dropped pairs
// (case-sensitive substring search, fragments in any order).
bool errorIsFiltered(const QString &message);

} // namespace db
