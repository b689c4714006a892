#pragma once
// A connection to the server over libpq: named parameters, connect and close, server
// version and backend pid, notices, the client encoding in force, transactions with
// savepoints inside an open block, COPY in and out, and cancel.
#include "platform/db/dberror.h"
#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QElapsedTimer;
struct pg_conn;
struct pg_result;
struct pg_cancel;

namespace db {

class Connection;
class DataSet;
class Query;

namespace detail {
struct ResultDeleter { void operator()(pg_result *r) const; };
using ResultPtr = std::unique_ptr<pg_result, ResultDeleter>;
} // namespace detail

// How a connection waits for its socket while it is being opened. The default blocks in
// poll(); a program with windows installs one that keeps its event loop running and lets
// the user give up (Esc, a cancel button).
class ConnectWaiter {
public:
    enum class Result { Ready, TimedOut, Abandoned };
    virtual ~ConnectWaiter() = default;
    // Around one connection attempt (end() is called however it ends).
    virtual void begin() {}
    virtual void end() {}
    // Until `socket` is readable (or writable), `msecs` have passed (-1: no limit), or the
    // user gave up.
    virtual Result wait(int socket, bool forWrite, int msecs) = 0;
};
// The waiter of every connection opened from now on; nullptr restores the default. Returns
// the previous one.
ConnectWaiter *setConnectWaiter(ConnectWaiter *waiter);
// The default wait: poll() on the socket.
ConnectWaiter::Result pollSocket(int socket, bool forWrite, int msecs);

// How a call waits for the server's answer once it takes long. Every statement, fetch and
// transaction command is sent without blocking; while the answer is out, the layer waits on
// the socket and, once the call has waited kCallWaitDelayMs, calls the waiter about every
// kCallWaitIntervalMs. A program with windows installs one that repaints, holds back other
// input and turns Esc into Connection::cancel(). Without a waiter the call simply waits.
class CallWaiter {
public:
    virtual ~CallWaiter() = default;
    virtual void waiting(Connection &connection) = 0;
};
constexpr int kCallWaitDelayMs = 100;
// The delay a long list fill asks for (setCallWaitDelay): with the waiter's interval after
// it, no pause of the event loop during the fill's waits comes near 100 ms.
constexpr int kFillCallWaitDelayMs = 20;
constexpr int kCallWaitIntervalMs = 50;
// The waiter of every call from now on (all connections); nullptr: none. Returns the previous one.
CallWaiter *setCallWaiter(CallWaiter *waiter);

// Seconds a connection attempt may take when neither the parameter "LoginTimeout" nor
// a service file or the environment (connect_timeout, PGCONNECT_TIMEOUT) says otherwise.
constexpr int kDefaultLoginTimeout = 30;

// One row of a streamed result (Connection::streamRows), valid only inside the call that
// receives it. Values are decoded in the client encoding the result arrived in; a value
// equal to the one of the row before in the same column shares that row's text, so the
// texts that repeat down a list (a schema, an owner, a kind) are made and held once.
class RowView {
public:
    int fieldCount() const;
    bool isNull(int col) const;
    QString text(int col) const; // empty for NULL
private:
    friend class Connection;
    struct Last {
        std::string bytes;
        QString text;
    };
    RowView(const pg_result *row, const QByteArray &iconv, std::vector<Last> &last)
        : FRow(row), FIconv(iconv), FLast(last)
    {
    }
    const pg_result *FRow;
    const QByteArray &FIconv;
    std::vector<Last> &FLast;
};

// The state of the server-side transaction as libpq reports it.
enum class TransactionState { Idle, Active, InBlock, InFailedBlock, Unknown };

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // ---- parameters ------------------------------------------------------------------
    // Names as the design writes them: "Server", "Port", "Database", "User_Name",
    // "Password", "MetaDefSchema", "ApplicationName", "CharacterSet", and "LoginTimeout"
    // (seconds; 0 waits without limit) (others are kept and ignored). They reach libpq as keyword/value arrays, never as a conninfo text.
    QString param(const QString &name) const;
    void setParam(const QString &name, const QString &value);
    const QMap<QString, QString> &params() const { return FParams; }
    void clearParams();

    // ---- connect -----------------------------------------------------------------
    // Throws Error; "CharacterSet" becomes the client encoding when not empty. The attempt
    // runs without blocking the thread's event loop (see ConnectWaiter): it ends after the
    // time-out (a connect_timeout of a service file or the environment wins over
    // "LoginTimeout") with Kind::Client, or when the user gives up with Kind::Abandoned.
    void open();
    // The time-out in seconds the last open() used (0: none).
    int loginTimeoutUsed() const { return FLoginTimeoutUsed; }
    void close(); // never throws; open results lose their server-side cursor
    bool isConnected() const;

    // Server version as libpq reports it (150004 for 15.4, 90204 for 9.2.4), 0 when closed.
    int serverVersion() const;
    // The same as major × 10000 + minor × 100 + patch (150400 for 15.4, 90204 for 9.2.4).
    int dbVer() const;
    int backendPid() const; // 0 when closed
    // The password verifier the server stores for `user`, computed here in the server's
    // `password_encryption` form (SCRAM-SHA-256, md5): DDL then carries the verifier, never
    // the clear text. Throws Error when closed or when libpq cannot compute it.
    QString encryptPassword(const QString &password, const QString &user) const;

    // ---- notices (never raised) ------------------------------------------------
    QStringList notices() const { return FNotices; }
    QStringList takeNotices();

    // ---- text encoding -------------------------------------------------------------
    // The client encoding libpq reports right now ("UTF8", "SJIS", "EUC_JP", …). It may change
    // by any statement ("SET CLIENT_ENCODING TO …"); every text is converted in it.
    QString clientEncoding() const;
    // Text → bytes in the client encoding. Throws Error (Refused) for a text holding U+0000,
    // a character the encoding cannot hold, or one it would silently change (the bytes do
    // not decode back to the same text: SJIS turns ¥ into \ and 〜 into ～), before anything
    // is sent; the message names the first such character and its line and column. Every
    // text the layer sends goes through it; callers encode COPY data with it too.
    QByteArray encode(const QString &text) const;
    QString decode(const char *bytes, int length) const;

    // ---- transactions --------------------------------------------------------------
    // startTransaction() sends "BEGIN" when no block is open, else a SAVEPOINT; commit() and
    // rollback() end the innermost level: RELEASE / ROLLBACK TO a savepoint, or COMMIT /
    // ROLLBACK of the block. A COMMIT that the server answers with ROLLBACK (the block had
    // failed) throws. The state is read from libpq, so "BEGIN"/"COMMIT"/"ROLLBACK" sent as
    // plain statements are followed too.
    void startTransaction();
    void commit();
    void rollback();
    bool inTransaction() const; // a block opened by a statement or startTransaction is open
    TransactionState transactionState() const;
    int savepointLevel() const { return int(FSavepoints.size()); }

    // Whether a change of the data sets (post, delete) outside a block ends by itself
    // (default true). When false, such a change opens a block that stays open.
    bool autoCommit() const { return FAutoCommit; }
    void setAutoCommit(bool on) { FAutoCommit = on; }

    // While a block is open, every statement run by a Query runs under a savepoint, so an
    // error (raised or dropped by the filter) undoes only that statement and the block
    // stays usable (default true).
    bool statementSavepoints() const { return FStatementSavepoints; }
    void setStatementSavepoints(bool on) { FStatementSavepoints = on; }

    // Runs `work` under a savepoint while a block is open (directly otherwise): on an
    // exception the savepoint is rolled back and the exception passes on. For loops that
    // go on after errors and for lookups inside a block.
    void protect(const std::function<void()> &work);

    // Runs one statement over the simple protocol and returns the rows affected (-1 when
    // the command reports none). Rows it returns are discarded.
    qint64 execute(const QString &sql);

    // Runs one plain query of the caller and hands its rows to `row` one at a time as the
    // server sends them (libpq's single-row mode), for long lists that are shown while they
    // arrive: no cursor, so the server may spread the statement over parallel workers, and
    // no row is held after its call. The connection stays busy until the call returns.
    // Before each wait for rows that have not come yet, `beforeWait` (when set) is called.
    // Either may return false to stop: the rest of the statement is cancelled and dropped.
    // Waits go through the call waiter. Inside a block the statement runs under a
    // savepoint. Throws Error as a Query does (a Cancelled error for Esc in the call
    // waiter); an error dropped by the filter ends the call quietly. An exception thrown
    // by `row` or `beforeWait` cancels the statement and passes on. Returns the rows
    // handed over.
    using RowSink = std::function<bool(const RowView &row)>;
    qint64 streamRows(const QString &sql, const RowSink &row, const std::function<bool()> &beforeWait = {});

    // ---- errors --------------------------------------------------------------------
    // Called with every error before it is raised. Clearing an error drops it for the
    // caller's own statements; errors of the layer's own work (fetching further rows,
    // edits of data sets, COPY, transaction control) are raised even when cleared.
    void setOnError(ErrorHook hook) { FOnError = std::move(hook); }
    // When off, no error of the caller's statements is dropped, neither by the filter nor
    // by a hook that clears it (default on). For callers that must see every failure.
    bool errorFilter() const { return FErrorFilter; }
    void setErrorFilter(bool on) { FErrorFilter = on; }

    // ---- statement observer ----------------------------------------------------------
    // Called with the text of every statement of a caller (Query open/execute,
    // Connection::execute) before it is sent; the layer's own work (fetches, savepoints,
    // transaction control) is not reported. For counting and tracing; an empty function
    // turns it off.
    using StatementObserver = std::function<void(const QString &sql)>;
    void setStatementObserver(StatementObserver observer) { FStatementObserver = std::move(observer); }
    // Counts the statement, moves the catalog generation on when the statement may change
    // the catalog, and tells the observer.
    void notifyStatement(const QString &sql);
    // Counters since the connection was made: the callers' statements (as reported to the
    // observer) and the messages sent to the server that wait for an answer (each a round
    // trip: statements, fetches, savepoints, transaction control, COPY). The connection's
    // own start-up exchange is not counted. For tests and benchmarks.
    qint64 statementCount() const { return FStatementCount; }
    qint64 roundTrips() const { return FRoundTrips; }

    // ---- catalog generation and caches --------------------------------------------------
    // A number that moves on whenever what the catalog shows this session may have changed:
    // before a caller's statement that may change it (mayChangeCatalog in dbsql.h; any
    // statement sent while the block has failed, since it ends in a rollback), with
    // rollback(), with commit() of a failed block, when the connection opens or closes, and
    // with markCatalogChanged() (the user's reload, for changes made by other sessions).
    quint64 catalogGeneration() const { return FCatalogGeneration; }
    void markCatalogChanged() { ++FCatalogGeneration; }
    // What a caller reads from the catalog and keeps for later (code assist's schema and
    // column lists) is held by the connection under a key of the caller's (the address of
    // something of its own), so that it never outlives the session it was read in: every
    // cache is dropped when the connection opens, closes or is destroyed. A cache compares
    // catalogGeneration() with the number it was filled at to know when to empty itself.
    class CatalogCache {
    public:
        virtual ~CatalogCache() = default;
    };
    std::shared_ptr<CatalogCache> catalogCache(const void *key) const { return FCatalogCaches.value(key); }
    void setCatalogCache(const void *key, std::shared_ptr<CatalogCache> cache) { FCatalogCaches.insert(key, std::move(cache)); }

    // ---- COPY ----------------------------------------------------------------------
    // COPY … FROM STDIN: `next` fills the chunk (bytes in the client encoding, or binary
    // COPY data) and returns false after the last one; `progress` gets the bytes sent so
    // far and may return false to abort (the COPY then fails and throws). Text data with a
    // zero byte is refused. Returns the rows loaded. Errors are never dropped by the filter.
    using CopySource = std::function<bool(QByteArray &chunk)>;
    using CopySink = std::function<bool(const char *data, int length)>;
    using CopyProgress = std::function<bool(qint64 bytes)>;
    qint64 copyIn(const QString &sql, const CopySource &next, const CopyProgress &progress = {});
    // COPY … TO STDOUT: `sink` receives each row's bytes (in the client encoding) and may
    // return false to stop. Returns the rows written.
    qint64 copyOut(const QString &sql, const CopySink &sink, const CopyProgress &progress = {});

    // ---- cancel --------------------------------------------------------------------
    // Asks the server to cancel the statement running on this connection. Safe to call
    // from another thread while a call of this connection blocks, and from the call waiter.
    // False when not sent. A statement that the server then ends with "canceling statement
    // due to user request" raises Error::Kind::Cancelled.
    bool cancel(QString *errorMessage = nullptr);

    // ---- busy --------------------------------------------------------------------------
    // True while a call waits for its answer (the call waiter runs inside it). A second call
    // on a busy connection is refused with Error::Kind::Refused before anything is sent.
    bool isBusy() const { return FBusy; }
    // How long (ms) a call waits before it first calls the call waiter; kCallWaitDelayMs
    // unless a caller that must keep its window moving (a long list fill) asks for less.
    // Returns the previous delay.
    int setCallWaitDelay(int ms);
    int callWaitDelay() const { return FCallWaitDelay; }

private:
    friend class DataSet;
    friend class Query;
    friend class RowView;
    using ResultPtr = detail::ResultPtr;
    enum class Filter { Apply, Never };

    pg_conn *conn() const { return FConn; }
    void requireOpen() const;
    // Before sending anything of the caller: a block opened only for reading a result ends.
    void leaveOwnBlock();
    void afterCommand();
    // Sends and waits; throws (or returns null when dropped) on failure.
    ResultPtr run(const QByteArray &sql, Filter filter = Filter::Apply);
    ResultPtr runParams(const QByteArray &sql, const std::vector<unsigned> &types,
        const std::vector<std::optional<QByteArray>> &values, Filter filter = Filter::Apply);
    ResultPtr finish(pg_result *res, Filter filter);
    void raiseFromResult(const pg_result *res, Filter filter);
    void raise(Error error, Filter filter);
    void raiseConnectionError(Filter filter);
    QString nextName(const char *prefix);
    void runControl(const char *sql);
    void checkCommitTag(const pg_result *res);
    static void noticeReceiver(void *arg, const pg_result *res);
    // The iconv name of the client encoding now (empty: UTF-8), and decoding in a given one.
    QByteArray iconvNow() const;
    static QString decodeIn(const QByteArray &iconv, const char *bytes, int length);
    static QString changedCharacterMessage(const QString &text, const QByteArray &iconv, const QByteArray &pgEncoding);
    std::optional<Error> endCopy(qint64 &rows);
    bool beginCopy(const QByteArray &sql, bool in);

    // Cursors read in a block the layer opened itself (outside any caller's block).
    void registerOwnCursor() { ++FOwnCursors; }
    void releaseOwnCursor();
    // The layer's own block begins (the caller sends BEGIN with its first statements).
    void markOwnBlockStarted();
    // Cursors declared in an own block that ended without COMMIT are gone; the held
    // cursors of blocks that committed stay.
    bool ownCursorLost(quint64 blockId) const;
    // Open data sets, told when the connection goes away.
    void attach(DataSet *ds);
    void detach(DataSet *ds);
    std::vector<DataSet *> FDataSets;
    // A data set whose FETCH of its next block is on the way; its answer is collected
    // before anything else is sent.
    DataSet *FPendingFetch = nullptr;
    void settle();
    pg_result *execRaw(const char *sql);
    // Sends with `send` (a PQsend… call) and waits for the answer without blocking the
    // thread, calling the call waiter while it takes long. Returns the last result (as
    // PQexec does; a COPY result ends the wait), or null when nothing could be sent.
    pg_result *exec(const std::function<int()> &send);
    // Marks the connection busy for one call; the guard frees it (and closes it when a close
    // was asked meanwhile).
    struct BusyGuard {
        explicit BusyGuard(Connection *c);
        ~BusyGuard();
        Connection *c;
    };
    // Closes the connection when close() was asked while a call was waiting.
    void closeIfAsked();
    // Waits until the answer on its way is whole, busy meanwhile and through the call waiter
    // as a call waits (for the answer of a FETCH sent ahead, collected between calls).
    void awaitAnswer();
    // Reads and drops what an earlier exchange left behind, so that a new command can go.
    void discardLeftovers();
    // The next result of the statement on its way (null after the last), waiting as a call
    // does when it has not come yet.
    ResultPtr nextResult();
    // Reads and drops the remaining results of the statement on its way.
    void dropResults();
    // Waits until libpq holds a whole result (or the connection failed).
    void awaitResult(const QElapsedTimer &clock, qint64 &nextHook);
    // The same for one wait of its own: the waiter first after the usual delay.
    void awaitWhole();
    void requireIdle() const;
    bool FBusy = false;
    bool FCloseWhenIdle = false; // close() was asked while a call was waiting
    int FCallWaitDelay = kCallWaitDelayMs;
    std::atomic<bool> FCancelRequested{false};
    QString FOwnFailure; // why the layer's own block ended badly
    bool FWasInBlock = false;

    QMap<QString, QString> FParams;
    pg_conn *FConn = nullptr;
    pg_cancel *FCancel = nullptr;
    QStringList FNotices;
    ErrorHook FOnError;
    StatementObserver FStatementObserver;
    qint64 FStatementCount = 0;
    qint64 FRoundTrips = 0;
    quint64 FCatalogGeneration = 0;
    QHash<const void *, std::shared_ptr<CatalogCache>> FCatalogCaches;
    void dropCatalogCaches();
    void noteCatalogEffect(const QString &sql);
    std::vector<QString> FSavepoints;
    int FLoginTimeoutUsed = 0;
    bool FAutoCommit = true;
    bool FStatementSavepoints = true;
    bool FErrorFilter = true;
    bool FOwnBlock = false; // the open block was opened by the layer for reading results
    int FOwnCursors = 0;
    quint64 FBlockGeneration = 0; // increases each time a caller's block ends
    quint64 FOwnBlockId = 0;           // numbers the layer's own blocks
    QSet<quint64> FFailedOwnBlocks;    // own blocks that ended without COMMIT
    quint64 FNameCounter = 0;
    mutable QByteArray FEncodingName; // cached server name of the client encoding
    mutable QByteArray FIconvName;    // its iconv name; empty for the UTF-8 path
};

} // namespace db
