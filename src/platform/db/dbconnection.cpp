#include "platform/db/dbconnection.h"

#include "platform/db/dbdataset.h"
#include "platform/db/dbsql.h"
#include "platform/textcodec.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <libpq-fe.h>
#include <poll.h>

namespace db {

void detail::ResultDeleter::operator()(pg_result *r) const { PQclear(r); }

namespace {

// iconv names of the server's encodings that are not UTF-8. UTF8 and SQL_ASCII take the
// UTF-8 path (nullptr). Each table must match the server's own conversion, or a text that
// survives the round trip here could still change on the server: the server's EUC_JP maps
// like Windows (0xA1C1 is ～), as glibc's EUC-JP-MS does, not like its plain EUC-JP (〜).
const char *iconvNameOf(const char *pg)
{
    struct Map { const char *pg; const char *iconv; };
    static const Map map[] = {
        {"UTF8", nullptr}, {"SQL_ASCII", nullptr}, {"SJIS", "CP932"}, {"EUC_JP", "EUC-JP-MS"},
        {"EUC_JIS_2004", "EUC-JISX0213"}, {"SHIFT_JIS_2004", "SHIFT_JISX0213"},
        {"LATIN1", "ISO-8859-1"}, {"LATIN2", "ISO-8859-2"}, {"LATIN9", "ISO-8859-15"},
        {"WIN1250", "CP1250"}, {"WIN1251", "CP1251"}, {"WIN1252", "CP1252"}, {"WIN874", "CP874"},
        {"EUC_KR", "EUC-KR"}, {"EUC_CN", "EUC-CN"}, {"EUC_TW", "EUC-TW"}, {"BIG5", "BIG5"},
        {"GBK", "GBK"}, {"GB18030", "GB18030"}, {"UHC", "CP949"}, {"KOI8R", "KOI8-R"},
        {"KOI8U", "KOI8-U"}, {"ISO_8859_5", "ISO-8859-5"}, {"ISO_8859_7", "ISO-8859-7"},
    };
    for (const Map &m : map)
        if (qstricmp(pg, m.pg) == 0)
            return m.iconv;
    return pg; // iconv knows many of the remaining names as they are
}

// Characters that glibc's table carries through the round trip but the server's own
// conversion of the encoding turns into others (found by comparing the two tables over
// the symbol, punctuation and full-width ranges).
struct ServerChange { const char *encoding; char16_t from, to; };
const ServerChange kServerChanges[] = {
    {"SHIFT_JIS_2004", 0x00A5, 0x005C}, {"SHIFT_JIS_2004", 0x203E, 0x007E},
    {"SHIFT_JIS_2004", 0xFF3C, 0x005C}, {"SHIFT_JIS_2004", 0xFF5E, 0x007E},
    {"EUC_JIS_2004", 0xFFE3, 0x203E},   {"EUC_JIS_2004", 0xFFE5, 0x00A5},
    {"BIG5", 0x00AF, 0x203E}, {"BIG5", 0x2027, 0x2022}, {"BIG5", 0xFF0F, 0xFFFD},
    {"BIG5", 0xFF3C, 0xFFFD}, {"BIG5", 0xFF5E, 0x223C}, {"BIG5", 0xFFE0, 0x00A2},
    {"BIG5", 0xFFE1, 0x00A3}, {"BIG5", 0xFFE3, 0xFFFD}, {"BIG5", 0xFFE5, 0x00A5},
};

bool hasServerChanges(const QByteArray &encoding)
{
    for (const ServerChange &c : kServerChanges)
        if (encoding == c.encoding)
            return true;
    return false;
}

// What the server makes of `ch` in `encoding`, or 0 when it keeps it.
char16_t serverChangeOf(const QByteArray &encoding, QChar ch)
{
    for (const ServerChange &c : kServerChanges)
        if (ch.unicode() == c.from && encoding == c.encoding)
            return c.to;
    return 0;
}

QString trimmedMessage(QString text)
{
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

} // namespace

Connection::Connection() = default;

Connection::~Connection()
{
    close();
}

QString Connection::param(const QString &name) const
{
    return FParams.value(name);
}

void Connection::setParam(const QString &name, const QString &value)
{
    FParams.insert(name, value);
}

void Connection::clearParams()
{
    FParams.clear();
}

ConnectWaiter::Result pollSocket(int socket, bool forWrite, int msecs)
{
    pollfd p{socket, short(forWrite ? POLLOUT : POLLIN), 0};
    for (;;) {
        const int n = ::poll(&p, 1, msecs);
        if (n > 0)
            return ConnectWaiter::Result::Ready;
        if (n == 0)
            return ConnectWaiter::Result::TimedOut;
        if (errno != EINTR)
            return ConnectWaiter::Result::Ready; // let libpq see and report the socket's trouble
    }
}

namespace {

class PollWaiter : public ConnectWaiter {
public:
    Result wait(int socket, bool forWrite, int msecs) override { return pollSocket(socket, forWrite, msecs); }
};

ConnectWaiter *&installedWaiter()
{
    static ConnectWaiter *waiter = nullptr;
    return waiter;
}

// Frees an attempt's connection unless it was handed over.
struct PendingConn {
    PGconn *conn = nullptr;
    ~PendingConn()
    {
        if (conn)
            PQfinish(conn);
    }
};

// connect_timeout as libpq resolved it from the service file and the environment (our
// parameters never carry it); nullopt when nobody gave one.
std::optional<int> resolvedConnectTimeout(PGconn *c)
{
    std::optional<int> out;
    if (PQconninfoOption *opts = PQconninfo(c)) {
        for (PQconninfoOption *o = opts; o->keyword; ++o)
            if (std::strcmp(o->keyword, "connect_timeout") == 0 && o->val && *o->val) {
                bool ok = false;
                const int v = QByteArray(o->val).trimmed().toInt(&ok);
                if (ok)
                    out = v <= 0 ? 0 : std::max(v, 2); // libpq's own rule: below 2 means 2
            }
        PQconninfoFree(opts);
    }
    return out;
}

} // namespace

ConnectWaiter *setConnectWaiter(ConnectWaiter *waiter)
{
    ConnectWaiter *old = installedWaiter();
    installedWaiter() = waiter;
    return old;
}

void Connection::open()
{
    if (FConn)
        close();
    dropCatalogCaches();
    static const struct { const char *param; const char *keyword; } names[] = {
        {"Server", "host"}, {"Port", "port"}, {"Database", "dbname"}, {"User_Name", "user"},
        {"Password", "password"}, {"ApplicationName", "application_name"},
        {"CharacterSet", "client_encoding"},
    };
    std::vector<QByteArray> values;
    std::vector<const char *> keys, vals;
    for (const auto &n : names) {
        const QString v = FParams.value(QLatin1String(n.param));
        if (v.isEmpty())
            continue;
        if (v.contains(QChar(0)))
            throw Error(Error::Kind::Refused, QStringLiteral("接続パラメータ %1 に NUL 文字が含まれています。").arg(QLatin1String(n.param)));
        values.push_back(v.toUtf8());
        keys.push_back(n.keyword);
    }
    for (const QByteArray &v : values)
        vals.push_back(v.constData());
    keys.push_back(nullptr);
    vals.push_back(nullptr);

    // The attempt never blocks: libpq is polled whenever its socket is ready, and the
    // waiter keeps the caller's event loop running meanwhile.
    PendingConn pending;
    pending.conn = PQconnectStartParams(keys.data(), vals.data(), 0);
    PGconn *c = pending.conn;
    if (!c)
        throw Error(Error::Kind::Client, QStringLiteral("libpq のメモリが不足しています。"));
    auto failure = [&] {
        Error e(Error::Kind::Client, trimmedMessage(QString::fromUtf8(PQerrorMessage(c))));
        if (e.message.isEmpty())
            e.message = QStringLiteral("データベースに接続できません。");
        return e;
    };
    if (PQstatus(c) == CONNECTION_BAD) {
        raise(failure(), Filter::Apply);
        return;
    }
    bool given = false;
    int seconds = FParams.value(QStringLiteral("LoginTimeout")).trimmed().toInt(&given);
    if (!given || seconds < 0)
        seconds = kDefaultLoginTimeout;
    if (const std::optional<int> fromClient = resolvedConnectTimeout(c))
        seconds = *fromClient;
    FLoginTimeoutUsed = seconds;
    const QDeadlineTimer deadline = seconds > 0 ? QDeadlineTimer(qint64(seconds) * 1000) : QDeadlineTimer(QDeadlineTimer::Forever);

    static PollWaiter pollWaiter;
    ConnectWaiter &waiter = installedWaiter() ? *installedWaiter() : pollWaiter;
    waiter.begin();
    struct End {
        ConnectWaiter &w;
        ~End() { w.end(); }
    } end{waiter};

    PostgresPollingStatusType status = PGRES_POLLING_WRITING;
    for (;;) {
        if (status == PGRES_POLLING_OK)
            break;
        if (status == PGRES_POLLING_FAILED) {
            raise(failure(), Filter::Apply);
            return;
        }
        if (PQsocket(c) < 0) { // no socket to wait on: libpq reports what went wrong
            status = PQconnectPoll(c);
            if (status != PGRES_POLLING_OK)
                status = PGRES_POLLING_FAILED;
            continue;
        }
        ConnectWaiter::Result r = ConnectWaiter::Result::TimedOut;
        if (!deadline.hasExpired()) {
            const qint64 left = deadline.remainingTime();
            r = waiter.wait(PQsocket(c), status == PGRES_POLLING_WRITING, left < 0 ? -1 : int(std::min<qint64>(left, INT_MAX)));
        }
        if (r == ConnectWaiter::Result::Abandoned)
            throw Error(Error::Kind::Abandoned, QStringLiteral("データベースへの接続を中止しました。"));
        if (r == ConnectWaiter::Result::TimedOut) {
            if (!deadline.hasExpired())
                continue;
            const QString host = QString::fromUtf8(PQhost(c));
            const QString port = QString::fromUtf8(PQport(c));
            raise(Error(Error::Kind::Client,
                        QStringLiteral("サーバー %1:%2 から %3 秒以内に応答がなかったため、接続を打ち切りました。")
                            .arg(host, port)
                            .arg(seconds)),
                  Filter::Apply);
            return;
        }
        status = PQconnectPoll(c);
    }
    if (PQstatus(c) != CONNECTION_OK) {
        raise(failure(), Filter::Apply);
        return;
    }
    FConn = c;
    pending.conn = nullptr;
    PQsetNoticeReceiver(FConn, &Connection::noticeReceiver, this);
    FCancel = PQgetCancel(FConn);
    FNotices.clear();
    FSavepoints.clear();
    FOwnBlock = false;
    FOwnCursors = 0;
    FWasInBlock = false;
    FEncodingName.clear();
}

void Connection::close()
{
    if (FBusy) {
        // Asked from inside a waiting call (the call waiter let an event through): the
        // call still uses the connection, so it closes once the call has returned.
        FCloseWhenIdle = true;
        cancel();
        return;
    }
    // Open data sets keep the rows they hold, but lose their cursor.
    const std::vector<DataSet *> sets = FDataSets;
    for (DataSet *ds : sets)
        ds->connectionGone();
    FDataSets.clear();
    FPendingFetch = nullptr; // dropped with the connection
    if (FCancel) {
        PQfreeCancel(FCancel);
        FCancel = nullptr;
    }
    if (FConn) {
        PQfinish(FConn);
        FConn = nullptr;
    }
    FSavepoints.clear();
    FOwnBlock = false;
    FOwnCursors = 0;
    FWasInBlock = false;
    ++FBlockGeneration;
    dropCatalogCaches();
}

void Connection::dropCatalogCaches()
{
    // A cache still in a caller's hands is stale from now on; the connection lets go of all.
    markCatalogChanged();
    FCatalogCaches.clear();
}

void Connection::notifyStatement(const QString &sql)
{
    ++FStatementCount;
    noteCatalogEffect(sql);
    if (FStatementObserver)
        FStatementObserver(sql);
}

void Connection::noteCatalogEffect(const QString &sql)
{
    // Before the statement is sent, so that nothing read after it is taken for current. In
    // a failed block the server refuses every statement but the one that ends the block,
    // and that rolls back (a COMMIT too).
    if (transactionState() == TransactionState::InFailedBlock || mayChangeCatalog(sql))
        markCatalogChanged();
}

bool Connection::isConnected() const
{
    return FConn && PQstatus(FConn) == CONNECTION_OK;
}

int Connection::serverVersion() const
{
    return FConn ? PQserverVersion(FConn) : 0;
}

int Connection::dbVer() const
{
    const int v = serverVersion();
    if (v >= 100000)
        return (v / 10000) * 10000 + (v % 10000) * 100; // from 10 on: major.minor
    return v;
}

int Connection::backendPid() const
{
    return FConn ? PQbackendPID(FConn) : 0;
}

QString Connection::encryptPassword(const QString &password, const QString &user) const
{
    if (!FConn)
        throw Error(Error::Kind::Usage, QStringLiteral("not connected"));
    const QByteArray pw = encode(password);
    const QByteArray us = encode(user);
    char *verifier = PQencryptPasswordConn(FConn, pw.constData(), us.constData(), nullptr);
    if (!verifier)
        throw Error(Error::Kind::Client, decode(PQerrorMessage(FConn), int(std::strlen(PQerrorMessage(FConn)))).trimmed());
    const QString out = QString::fromLatin1(verifier);
    PQfreemem(verifier);
    return out;
}

QStringList Connection::takeNotices()
{
    QStringList out;
    out.swap(FNotices);
    return out;
}

void Connection::noticeReceiver(void *arg, const PGresult *res)
{
    auto *self = static_cast<Connection *>(arg);
    const char *sev = PQresultErrorField(res, PG_DIAG_SEVERITY);
    const char *msg = PQresultErrorField(res, PG_DIAG_MESSAGE_PRIMARY);
    QString text;
    if (sev && msg) {
        text = self->decode(sev, int(std::strlen(sev))) + QStringLiteral(": ")
               + self->decode(msg, int(std::strlen(msg)));
    } else {
        const char *all = PQresultErrorMessage(res);
        text = trimmedMessage(self->decode(all, int(std::strlen(all))));
    }
    self->FNotices.append(text);
}

// ---- encoding ------------------------------------------------------------------------

QString Connection::clientEncoding() const
{
    if (!FConn)
        return QString();
    const char *enc = PQparameterStatus(FConn, "client_encoding");
    return enc ? QString::fromLatin1(enc) : QString();
}

QByteArray Connection::iconvNow() const
{
    const char *enc = FConn ? PQparameterStatus(FConn, "client_encoding") : nullptr;
    if (!enc)
        return QByteArray();
    if (FEncodingName != enc) {
        FEncodingName = enc;
        const char *ic = iconvNameOf(enc);
        FIconvName = ic ? QByteArray(ic) : QByteArray();
    }
    return FIconvName;
}

QString Connection::decodeIn(const QByteArray &iconv, const char *bytes, int length)
{
    if (length <= 0)
        return QString();
    if (iconv.isEmpty())
        return QString::fromUtf8(bytes, length);
    return textcodec::decode(QByteArray::fromRawData(bytes, length), iconv.constData());
}

QByteArray Connection::encode(const QString &text) const
{
    if (text.contains(QChar(0)))
        throw Error(Error::Kind::Refused,
                    QStringLiteral("送信するテキストに NUL 文字 (0x00) が含まれているため、送信しませんでした。"));
    const QByteArray ic = iconvNow();
    if (ic.isEmpty())
        return text.toUtf8();
    bool ok = true;
    QByteArray out = textcodec::encode(text, ic.constData(), &ok);
    bool changed = !ok || textcodec::decode(out, ic.constData()) != text;
    if (!changed && hasServerChanges(FEncodingName))
        changed = std::any_of(text.cbegin(), text.cend(), [&](QChar ch) { return serverChangeOf(FEncodingName, ch) != 0; });
    if (changed)
        throw Error(Error::Kind::Refused, changedCharacterMessage(text, ic, FEncodingName));
    return out;
}

QString Connection::changedCharacterMessage(const QString &text, const QByteArray &iconv, const QByteArray &pgEncoding)
{
    const QString encoding = QString::fromLatin1(pgEncoding);
    // Only on the way to a refusal: the first character that does not come back as itself.
    int line = 1, column = 1;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString ch = text.mid(i, n);
        bool ok = true;
        const QByteArray bytes = textcodec::encode(ch, iconv.constData(), &ok);
        QString back = ok ? textcodec::decode(bytes, iconv.constData()) : QString();
        if (ok && back == ch)
            if (const char16_t server = serverChangeOf(pgEncoding, ch.at(0)))
                back = QString(QChar(server));
        if (!ok || back != ch) {
            const QString where = QStringLiteral("%1 行 %2 文字目").arg(line).arg(column);
            const QString code = QStringLiteral("U+%1").arg(ch.toUcs4().value(0), 4, 16, QLatin1Char('0')).toUpper();
            if (!ok)
                return QStringLiteral("文字「%1」(%2, %3) はクライアントの文字コード %4 で表せないため、送信しませんでした。")
                    .arg(ch, code, where, encoding);
            const QString backCode = QStringLiteral("U+%1").arg(back.toUcs4().value(0), 4, 16, QLatin1Char('0')).toUpper();
            return QStringLiteral("文字「%1」(%2, %3) はクライアントの文字コード %4 では「%5」(%6) に変わってしまうため、送信しませんでした。")
                .arg(ch, code, where, encoding, back, backCode);
        }
        if (ch == QLatin1String("\n")) {
            ++line;
            column = 1;
        } else {
            ++column;
        }
        i += n;
    }
    return QStringLiteral("クライアントの文字コード %1 で正しく送れない文字が含まれているため、送信しませんでした。").arg(encoding);
}

QString Connection::decode(const char *bytes, int length) const
{
    return decodeIn(iconvNow(), bytes, length);
}

// ---- errors ----------------------------------------------------------------------------

void Connection::raise(Error error, Filter filter)
{
    if (!FErrorFilter)
        filter = Filter::Never;
    std::optional<Error> e(error);
    if (FOnError)
        FOnError(e);
    if (!e) {
        // The handler cleared it. The layer's own work (fetching, edits, COPY, transaction
        // control) cannot go on as if it had succeeded: there the error is raised anyway.
        if (filter == Filter::Never)
            throw error;
        return;
    }
    if (filter == Filter::Apply && errorIsFiltered(e->message))
        return;
    throw *e;
}

void Connection::raiseFromResult(const PGresult *res, Filter filter)
{
    auto field = [&](int code) {
        const char *v = PQresultErrorField(res, code);
        return v ? decode(v, int(std::strlen(v))) : QString();
    };
    Error e;
    e.kind = Error::Kind::Server;
    e.severity = field(PG_DIAG_SEVERITY);
    e.sqlState = field(PG_DIAG_SQLSTATE);
    e.primary = field(PG_DIAG_MESSAGE_PRIMARY);
    e.detail = field(PG_DIAG_MESSAGE_DETAIL);
    e.hint = field(PG_DIAG_MESSAGE_HINT);
    e.context = field(PG_DIAG_CONTEXT);
    e.position = field(PG_DIAG_STATEMENT_POSITION).toInt();
    if (e.primary.isEmpty()) {
        // Made by libpq itself (lost connection, protocol trouble): its own text.
        const char *all = PQresultErrorMessage(res);
        e.message = trimmedMessage(decode(all, int(std::strlen(all))));
        if (e.message.isEmpty() && FConn)
            e.message = trimmedMessage(QString::fromLocal8Bit(PQerrorMessage(FConn)));
        e.kind = Error::Kind::Client;
    } else {
        e.message = e.severity + QStringLiteral(": ") + e.primary;
        if (!e.detail.isEmpty())
            e.message += QStringLiteral("\nDETAIL: ") + e.detail;
        if (!e.hint.isEmpty())
            e.message += QStringLiteral("\nHINT: ") + e.hint;
    }
    if (e.sqlState == QLatin1String("57014") && FCancelRequested)
        e.kind = Error::Kind::Cancelled; // ended at the user's request, not by a time-out
    if (FConn && PQstatus(FConn) == CONNECTION_BAD) {
        e.kind = Error::Kind::ConnectionLost;
        const QString lost = trimmedMessage(QString::fromLocal8Bit(PQerrorMessage(FConn)));
        if (!lost.isEmpty() && !e.message.contains(lost))
            e.message += QLatin1Char('\n') + lost;
    }
    raise(std::move(e), filter);
}

void Connection::raiseConnectionError(Filter filter)
{
    Error e(PQstatus(FConn) == CONNECTION_BAD ? Error::Kind::ConnectionLost : Error::Kind::Client,
            trimmedMessage(QString::fromLocal8Bit(PQerrorMessage(FConn))));
    raise(std::move(e), filter);
}

void Connection::requireOpen() const
{
    if (!FConn)
        throw Error(Error::Kind::ConnectionLost, QStringLiteral("データベースに接続されていません。"));
    if (PQstatus(FConn) == CONNECTION_BAD)
        throw Error(Error::Kind::ConnectionLost,
                    QStringLiteral("データベースとの接続が切断されています。再接続してください。"));
}

// ---- running -----------------------------------------------------------------------------

Connection::ResultPtr Connection::finish(PGresult *raw, Filter filter)
{
    ResultPtr res(raw);
    if (!res) {
        afterCommand();
        raiseConnectionError(filter);
        return nullptr;
    }
    switch (PQresultStatus(res.get())) {
    case PGRES_COMMAND_OK:
    case PGRES_TUPLES_OK:
    case PGRES_COPY_IN:
    case PGRES_COPY_OUT:
    case PGRES_EMPTY_QUERY:
        afterCommand();
        return res;
    default:
        afterCommand();
        raiseFromResult(res.get(), filter);
        return nullptr;
    }
}

void Connection::settle()
{
    // Every send begins here: a connection whose call is still waiting takes no other.
    requireIdle();
    if (FPendingFetch) {
        DataSet *ds = FPendingFetch;
        FPendingFetch = nullptr;
        ds->collectFetch();
        // A close asked while that answer was awaited happens now, before anything is sent.
        closeIfAsked();
        requireOpen();
    }
}

PGresult *Connection::execRaw(const char *sql)
{
    settle();
    ++FRoundTrips;
    return exec([&] { return PQsendQuery(FConn, sql); });
}

namespace {
CallWaiter *&callWaiterSlot()
{
    static CallWaiter *waiter = nullptr;
    return waiter;
}
} // namespace

CallWaiter *setCallWaiter(CallWaiter *waiter)
{
    CallWaiter *old = callWaiterSlot();
    callWaiterSlot() = waiter;
    return old;
}

int Connection::setCallWaitDelay(int ms)
{
    const int old = FCallWaitDelay;
    FCallWaitDelay = std::max(0, ms);
    return old;
}

void Connection::requireIdle() const
{
    if (FBusy)
        throw Error(Error::Kind::Refused,
                    QStringLiteral("この接続では別の処理を実行中です。処理が終わってから、もう一度実行してください。"));
}

void Connection::awaitResult(const QElapsedTimer &clock, qint64 &nextHook)
{
    while (FConn && PQisBusy(FConn)) {
        CallWaiter *waiter = callWaiterSlot();
        int timeout = -1;
        if (waiter)
            timeout = int(std::clamp<qint64>(nextHook - clock.elapsed(), 0, kCallWaitIntervalMs * 4));
        const int socket = PQsocket(FConn);
        if (socket < 0)
            return; // PQgetResult reports the trouble
        pollfd pfd{socket, POLLIN, 0};
        const int rc = ::poll(&pfd, 1, timeout);
        if (rc < 0 && errno != EINTR)
            return;
        if (rc > 0 && PQconsumeInput(FConn) == 0)
            return; // a broken connection: PQgetResult returns the error
        if (waiter && clock.elapsed() >= nextHook) {
            waiter->waiting(*this);
            nextHook = clock.elapsed() + kCallWaitIntervalMs;
        }
    }
}

Connection::BusyGuard::BusyGuard(Connection *conn) : c(conn)
{
    c->requireIdle();
    c->FBusy = true;
    c->FCancelRequested = false;
}

Connection::BusyGuard::~BusyGuard()
{
    c->FBusy = false;
    c->closeIfAsked();
}

void Connection::closeIfAsked()
{
    if (FCloseWhenIdle && !FBusy) {
        FCloseWhenIdle = false;
        close();
    }
}

void Connection::awaitAnswer()
{
    if (!FConn || FBusy || !PQisBusy(FConn))
        return;
    FBusy = true;
    FCancelRequested = false;
    try {
        awaitWhole();
    } catch (...) {
        FBusy = false;
        throw;
    }
    FBusy = false;
}

void Connection::discardLeftovers()
{
    // What an earlier exchange left behind (a COPY abandoned by an exception, unread
    // results) is ended first, as PQexec does, so that the new command can be sent.
    while (PGresult *left = PQgetResult(FConn)) {
        const ExecStatusType st = PQresultStatus(left);
        PQclear(left);
        if (st == PGRES_COPY_IN) {
            PQputCopyEnd(FConn, "COPY terminated by a new command");
        } else if (st == PGRES_COPY_OUT) {
            char *buf = nullptr;
            while (PQgetCopyData(FConn, &buf, 0) > 0)
                PQfreemem(buf);
        } else if (st == PGRES_COPY_BOTH) {
            break;
        }
        if (PQstatus(FConn) == CONNECTION_BAD)
            break;
    }
}

PGresult *Connection::exec(const std::function<int()> &send)
{
    BusyGuard busy(this);
    discardLeftovers();
    if (send() != 1)
        return nullptr;
    QElapsedTimer clock;
    clock.start();
    qint64 nextHook = FCallWaitDelay;
    PGresult *last = nullptr;
    for (;;) {
        awaitResult(clock, nextHook);
        if (!FConn)
            break;
        PGresult *r = PQgetResult(FConn);
        if (!r)
            break;
        if (last)
            PQclear(last);
        last = r;
        const ExecStatusType st = PQresultStatus(r);
        if (st == PGRES_COPY_IN || st == PGRES_COPY_OUT || st == PGRES_COPY_BOTH || PQstatus(FConn) == CONNECTION_BAD)
            break;
    }
    return last;
}

int RowView::fieldCount() const { return PQnfields(FRow); }

bool RowView::isNull(int col) const { return PQgetisnull(FRow, 0, col) != 0; }

QString RowView::text(int col) const
{
    const char *bytes = PQgetvalue(FRow, 0, col);
    const int length = PQgetlength(FRow, 0, col);
    if (unsigned(col) >= FLast.size())
        return Connection::decodeIn(FIconv, bytes, length);
    Last &last = FLast[std::size_t(col)];
    if (last.bytes.size() != std::size_t(length) || std::memcmp(last.bytes.data(), bytes, std::size_t(length)) != 0) {
        last.bytes.assign(bytes, std::size_t(length)); // keeps its capacity: no allocation per row
        last.text = Connection::decodeIn(FIconv, bytes, length);
    }
    return last.text;
}

void Connection::awaitWhole()
{
    // Each wait counts on its own: results that keep coming never call the waiter, a pause
    // of the server does after the usual delay.
    QElapsedTimer clock;
    clock.start();
    qint64 nextHook = FCallWaitDelay;
    awaitResult(clock, nextHook);
}

Connection::ResultPtr Connection::nextResult()
{
    awaitWhole();
    return ResultPtr(FConn ? PQgetResult(FConn) : nullptr);
}

void Connection::dropResults()
{
    while (ResultPtr r = nextResult())
        if (PQstatus(FConn) == CONNECTION_BAD)
            break;
}

qint64 Connection::streamRows(const QString &sql, const RowSink &row, const std::function<bool()> &beforeWait)
{
    requireOpen();
    notifyStatement(sql);
    leaveOwnBlock();
    const QByteArray text = encode(sql);
    qint64 count = 0;
    protect([&] {
        settle();
        BusyGuard busy(this);
        discardLeftovers();
        ++FRoundTrips;
        if (PQsendQuery(FConn, text.constData()) != 1) {
            afterCommand();
            raiseConnectionError(Filter::Apply);
            return;
        }
        PQsetSingleRowMode(FConn);
        const QByteArray iconv = iconvNow();
        std::vector<RowView::Last> last;
        bool stopped = false;
        // Stops reading: the server is asked to give up, and what it still sends is dropped.
        auto stop = [&] {
            stopped = true;
            cancel();
            dropResults();
            afterCommand();
        };
        ResultPtr failure;
        try {
            for (;;) {
                if (FConn && PQisBusy(FConn) && beforeWait && !beforeWait()) {
                    stop();
                    break;
                }
                ResultPtr r = nextResult();
                if (!r)
                    break;
                const ExecStatusType st = PQresultStatus(r.get());
                if (st == PGRES_SINGLE_TUPLE) {
                    ++count;
                    if (last.empty())
                        last.resize(std::size_t(PQnfields(r.get())));
                    if (!row(RowView(r.get(), iconv, last))) {
                        stop();
                        break;
                    }
                } else if (st != PGRES_TUPLES_OK && st != PGRES_COMMAND_OK && !failure) {
                    failure = std::move(r);
                }
                if (PQstatus(FConn) == CONNECTION_BAD)
                    break;
            }
        } catch (...) {
            if (!stopped && FConn) {
                cancel();
                dropResults();
            }
            afterCommand();
            throw;
        }
        if (stopped) {
            // The cancel the stop asked for is no failure. Inside a block it left the block
            // failed: protect() rolls back to its savepoint.
            return;
        }
        afterCommand();
        if (failure)
            raiseFromResult(failure.get(), Filter::Apply);
        else if (FConn && PQstatus(FConn) == CONNECTION_BAD)
            raiseConnectionError(Filter::Apply);
    });
    return count;
}

Connection::ResultPtr Connection::run(const QByteArray &sql, Filter filter)
{
    requireOpen();
    settle();
    ++FRoundTrips;
    return finish(exec([&] { return PQsendQuery(FConn, sql.constData()); }), filter);
}

Connection::ResultPtr Connection::runParams(const QByteArray &sql, const std::vector<unsigned> &types,
                                           const std::vector<std::optional<QByteArray>> &values, Filter filter)
{
    requireOpen();
    settle();
    std::vector<const char *> ptrs(values.size());
    std::vector<int> lengths(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        ptrs[i] = values[i] ? values[i]->constData() : nullptr;
        lengths[i] = values[i] ? int(values[i]->size()) : 0;
    }
    ++FRoundTrips;
    return finish(exec([&] {
                      return PQsendQueryParams(FConn, sql.constData(), int(values.size()),
                                               reinterpret_cast<const Oid *>(types.data()), ptrs.data(),
                                               lengths.data(), nullptr, 0);
                  }),
                  filter);
}

void Connection::afterCommand()
{
    if (!FConn)
        return;
    const PGTransactionStatusType st = PQtransactionStatus(FConn);
    const bool inBlock = st == PQTRANS_INTRANS || st == PQTRANS_INERROR || st == PQTRANS_ACTIVE;
    if (FWasInBlock && !inBlock) {
        // A block ended (by COMMIT, ROLLBACK or a lost connection): its savepoints and
        // the cursors declared in it are gone.
        FSavepoints.clear();
        if (FOwnBlock) {
            FOwnBlock = false;
            FFailedOwnBlocks.insert(FOwnBlockId);
        } else {
            ++FBlockGeneration;
        }
    }
    if (st == PQTRANS_UNKNOWN) {
        FSavepoints.clear();
        ++FBlockGeneration;
        if (FOwnBlock)
            FFailedOwnBlocks.insert(FOwnBlockId);
    }
    FWasInBlock = inBlock;
}

QString Connection::nextName(const char *prefix)
{
    return QString::fromLatin1(prefix) + QString::number(++FNameCounter);
}

void Connection::runControl(const char *sql)
{
    run(QByteArray(sql), Filter::Never);
}

void Connection::checkCommitTag(const PGresult *res)
{
    if (res && std::strcmp(PQcmdStatus(const_cast<PGresult *>(res)), "ROLLBACK") == 0) {
        Error e(Error::Kind::Server,
                QStringLiteral("ERROR: トランザクションはエラーで中断されていたため、コミットされずにロールバックされました。"));
        e.severity = QStringLiteral("ERROR");
        e.sqlState = QStringLiteral("25P02");
        e.primary = e.message.mid(7);
        raise(std::move(e), Filter::Never);
    }
}

// ---- the layer's own block for reading results -------------------------------------------

void Connection::markOwnBlockStarted()
{
    settle(); // a fetch still on its way belongs to the state before the block
    FOwnBlock = true;
    FWasInBlock = true;
    ++FOwnBlockId;
}

bool Connection::ownCursorLost(quint64 blockId) const
{
    return FFailedOwnBlocks.contains(blockId);
}

void Connection::leaveOwnBlock()
{
    if (!FOwnBlock || !FConn)
        return;
    // Ending the block keeps its cursors (WITH HOLD): the server computes their remaining
    // rows now. If that fails, the cursors are lost and their data sets say so on the next fetch.
    PGresult *raw = execRaw("COMMIT");
    ResultPtr res(raw);
    const bool ok = res && PQresultStatus(res.get()) == PGRES_COMMAND_OK
                    && std::strcmp(PQcmdStatus(res.get()), "COMMIT") == 0;
    if (!ok) {
        if (res && PQresultErrorMessage(res.get())[0])
            FOwnFailure = trimmedMessage(decode(PQresultErrorMessage(res.get()),
                                                int(std::strlen(PQresultErrorMessage(res.get())))));
        if (PQtransactionStatus(FConn) != PQTRANS_IDLE)
            ResultPtr(execRaw("ROLLBACK"));
        FFailedOwnBlocks.insert(FOwnBlockId); // its cursors are gone; older held ones stay
    }
    FOwnBlock = false;
    FWasInBlock = false;
    FOwnCursors = 0;
}

void Connection::releaseOwnCursor()
{
    if (FOwnCursors > 0)
        --FOwnCursors;
    if (FOwnCursors == 0 && FOwnBlock)
        leaveOwnBlock();
}

void Connection::attach(DataSet *ds)
{
    if (std::find(FDataSets.begin(), FDataSets.end(), ds) == FDataSets.end())
        FDataSets.push_back(ds);
}

void Connection::detach(DataSet *ds)
{
    FDataSets.erase(std::remove(FDataSets.begin(), FDataSets.end(), ds), FDataSets.end());
}

// ---- transactions ------------------------------------------------------------------------

TransactionState Connection::transactionState() const
{
    if (!FConn)
        return TransactionState::Unknown;
    switch (PQtransactionStatus(FConn)) {
    case PQTRANS_IDLE:
        return TransactionState::Idle;
    case PQTRANS_ACTIVE:
        // A block of rows fetched ahead is on its way; such fetches run outside any
        // block of the caller.
        return FPendingFetch ? TransactionState::Idle : TransactionState::Active;
    case PQTRANS_INTRANS:
        return FOwnBlock ? TransactionState::Idle : TransactionState::InBlock;
    case PQTRANS_INERROR:
        return FOwnBlock ? TransactionState::Idle : TransactionState::InFailedBlock;
    default:
        return TransactionState::Unknown;
    }
}

bool Connection::inTransaction() const
{
    const TransactionState st = transactionState();
    return st == TransactionState::InBlock || st == TransactionState::InFailedBlock;
}

void Connection::startTransaction()
{
    requireOpen();
    leaveOwnBlock();
    if (!inTransaction()) {
        runControl("BEGIN");
        return;
    }
    const QString name = nextName("vantor_tx");
    runControl(("SAVEPOINT " + name).toLatin1().constData());
    FSavepoints.push_back(name);
}

void Connection::commit()
{
    requireOpen();
    leaveOwnBlock();
    if (transactionState() == TransactionState::InFailedBlock)
        markCatalogChanged(); // the block ends in a rollback
    if (!FSavepoints.empty()) {
        const QString name = FSavepoints.back();
        FSavepoints.pop_back();
        runControl(("RELEASE SAVEPOINT " + name).toLatin1().constData());
        return;
    }
    if (!inTransaction())
        return;
    ResultPtr res = run("COMMIT", Filter::Never);
    checkCommitTag(res.get());
}

void Connection::rollback()
{
    requireOpen();
    leaveOwnBlock();
    if (!FSavepoints.empty()) {
        const QString name = FSavepoints.back();
        FSavepoints.pop_back();
        markCatalogChanged(); // a rollback can undo DDL
        runControl(("ROLLBACK TO SAVEPOINT " + name + "; RELEASE SAVEPOINT " + name).toLatin1().constData());
        return;
    }
    if (!inTransaction())
        return;
    markCatalogChanged();
    runControl("ROLLBACK");
}

void Connection::protect(const std::function<void()> &work)
{
    requireOpen();
    leaveOwnBlock();
    if (!inTransaction()) {
        work();
        return;
    }
    const quint64 generation = FBlockGeneration;
    const QByteArray name = nextName("vantor_sp").toLatin1();
    runControl("SAVEPOINT " + name);
    auto stillOurs = [&] { return FConn && FBlockGeneration == generation && inTransaction(); };
    try {
        work();
    } catch (...) {
        if (stillOurs() && PQstatus(FConn) == CONNECTION_OK) {
            ResultPtr(execRaw("ROLLBACK TO SAVEPOINT " + name + "; RELEASE SAVEPOINT " + name));
            afterCommand();
        }
        throw;
    }
    if (!stillOurs())
        return; // the work ended the block itself (COMMIT, ROLLBACK)
    if (PQtransactionStatus(FConn) == PQTRANS_INERROR) // an error was dropped by the filter
        runControl("ROLLBACK TO SAVEPOINT " + name + "; RELEASE SAVEPOINT " + name);
    else
        runControl("RELEASE SAVEPOINT " + name);
}

qint64 Connection::execute(const QString &sql)
{
    requireOpen();
    notifyStatement(sql);
    leaveOwnBlock();
    const QByteArray text = encode(sql);
    const StatementInfo info = classify(sql);
    qint64 rows = -1;
    auto work = [&] {
        ResultPtr res = run(text);
        if (!res)
            return;
        if (info.kind == CommandKind::Commit)
            checkCommitTag(res.get());
        const char *n = PQcmdTuples(res.get());
        rows = n && *n ? QByteArray(n).toLongLong() : -1;
    };
    if (FStatementSavepoints && !isTransactionControl(info.keyword))
        protect(work);
    else
        work();
    return rows;
}

// ---- COPY ----------------------------------------------------------------------------------

std::optional<Error> Connection::endCopy(qint64 &rows)
{
    // The results after the data: the row count, or the first error (never filtered).
    std::optional<Error> failure;
    while (PGresult *r = PQgetResult(FConn)) {
        ResultPtr part(r);
        if (PQresultStatus(r) == PGRES_COMMAND_OK) {
            rows = QByteArray(PQcmdTuples(r)).toLongLong();
        } else if (!failure) {
            try {
                raiseFromResult(r, Filter::Never);
            } catch (const Error &e) {
                failure = e;
            }
        }
    }
    afterCommand();
    return failure;
}

bool Connection::beginCopy(const QByteArray &sql, bool in)
{
    // Starts the COPY and checks its direction; a COPY the other way is ended at once so
    // that the connection stays usable. Returns whether the data are binary.
    ResultPtr res = run(sql, Filter::Never);
    const ExecStatusType st = res ? PQresultStatus(res.get()) : PGRES_FATAL_ERROR;
    if (st == (in ? PGRES_COPY_IN : PGRES_COPY_OUT))
        return PQbinaryTuples(res.get()) != 0;
    if (st == PGRES_COPY_IN) {
        PQputCopyEnd(FConn, "wrong direction");
    } else if (st == PGRES_COPY_OUT) {
        char *buf = nullptr;
        while (PQgetCopyData(FConn, &buf, 0) > 0)
            PQfreemem(buf);
    }
    if (st == PGRES_COPY_IN || st == PGRES_COPY_OUT) {
        qint64 ignored = 0;
        endCopy(ignored);
    }
    throw Error(Error::Kind::Usage, in ? QStringLiteral("COPY … FROM STDIN ではない文が渡されました。")
                                       : QStringLiteral("COPY … TO STDOUT ではない文が渡されました。"));
}

qint64 Connection::copyIn(const QString &sql, const CopySource &next, const CopyProgress &progress)
{
    requireOpen();
    leaveOwnBlock();
    noteCatalogEffect(sql); // a text that is not COPY runs before it is refused
    const QByteArray text = encode(sql);
    qint64 rows = 0;
    protect([&] {
        const bool binary = beginCopy(text, true);
        qint64 sent = 0;
        QByteArray chunk;
        const char *abort = nullptr;
        std::optional<Error> refusal;
        while (true) {
            chunk.clear();
            const bool more = next(chunk);
            if (!chunk.isEmpty()) {
                if (!binary && chunk.contains('\0')) {
                    refusal = Error(Error::Kind::Refused,
                                    QStringLiteral("読み込むデータに NUL 文字 (0x00) が含まれているため、読み込みを中止しました。"));
                    abort = "data holds a zero byte";
                    break;
                }
                if (PQputCopyData(FConn, chunk.constData(), int(chunk.size())) != 1)
                    break;
                sent += chunk.size();
                if (progress && !progress(sent)) {
                    abort = "canceled by the user";
                    break;
                }
            }
            if (!more)
                break;
        }
        PQputCopyEnd(FConn, abort);
        const std::optional<Error> failure = endCopy(rows);
        if (refusal)
            throw *refusal;
        if (failure)
            throw *failure;
        if (PQstatus(FConn) == CONNECTION_BAD)
            raiseConnectionError(Filter::Never);
    });
    return rows;
}

qint64 Connection::copyOut(const QString &sql, const CopySink &sink, const CopyProgress &progress)
{
    requireOpen();
    leaveOwnBlock();
    noteCatalogEffect(sql); // a text that is not COPY runs before it is refused
    const QByteArray text = encode(sql);
    qint64 rows = 0;
    protect([&] {
        beginCopy(text, false);
        qint64 received = 0;
        qint64 count = 0;
        bool stopped = false;
        while (true) {
            char *buf = nullptr;
            const int n = PQgetCopyData(FConn, &buf, 0);
            if (n > 0) {
                if (!stopped) {
                    received += n;
                    ++count;
                    if (!sink(buf, n) || (progress && !progress(received))) {
                        stopped = true;
                        cancel();
                    }
                }
                PQfreemem(buf);
                continue;
            }
            break; // -1: done; -2: error, reported by PQgetResult below
        }
        std::optional<Error> failure = endCopy(rows);
        if (stopped)
            failure.reset(); // the cancel the stop asked for
        if (failure)
            throw *failure;
        if (stopped) {
            rows = count;
            // A cancelled COPY inside a block leaves it failed; the savepoint of protect()
            // only helps when we raise, so undo it here.
            if (PQtransactionStatus(FConn) == PQTRANS_INERROR)
                throw Error(Error::Kind::Usage, QStringLiteral("COPY を中断しました。"));
        }
    });
    return rows;
}

bool Connection::cancel(QString *errorMessage)
{
    if (!FCancel)
        return false;
    char err[256] = {0};
    const bool ok = PQcancel(FCancel, err, sizeof err) == 1;
    if (ok)
        FCancelRequested = true;
    if (!ok && errorMessage)
        *errorMessage = QString::fromLocal8Bit(err);
    return ok;
}

} // namespace db
