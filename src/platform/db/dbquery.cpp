#include "platform/db/dbquery.h"

#include <algorithm>
#include <cstring>
#include <libpq-fe.h>

namespace db {

namespace {

Error usage(const QString &text) { return Error(Error::Kind::Usage, text); }

unsigned oidOf(ParamType t)
{
    switch (t) {
    case ParamType::Text: return 0; // untyped: the server infers it as for a quoted literal
    case ParamType::Integer: return 23;
    case ParamType::LargeInt: return 20;
    case ParamType::Float: return 701;
    case ParamType::Decimal: return 1700;
    case ParamType::Date: return 1082;
    case ParamType::Time: return 1083;
    case ParamType::DateTime: return 1114;
    case ParamType::Boolean: return 16;
    }
    return 0;
}

} // namespace

QString Param::asString() const
{
    if (isNull())
        return QString();
    switch (FValue.typeId()) {
    case QMetaType::Bool:
        return FValue.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(FValue.toDouble(), 'g', 17);
    case QMetaType::QDate:
        return FValue.toDate().toString(Qt::ISODate);
    case QMetaType::QTime:
        return FValue.toTime().toString(QStringLiteral("HH:mm:ss.zzz"));
    case QMetaType::QDateTime:
        return FValue.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    default:
        return FValue.toString();
    }
}

Query::Query(Connection *conn, QObject *parent) : DataSet(parent)
{
    setConnectionInternal(conn);
}

void Query::setConnection(Connection *conn)
{
    close();
    setConnectionInternal(conn);
}

void Query::setSql(const QStringList &lines)
{
    close();
    FSql = lines;
    FPrepared = false;
    rebuildParams();
}

void Query::setSql(const QString &text)
{
    setSql(text.split(QLatin1Char('\n')));
}

void Query::setParamCreation(bool on)
{
    if (FParamCreation == on)
        return;
    FParamCreation = on;
    FPrepared = false;
    rebuildParams();
}

void Query::rebuildParams()
{
    if (!FParamCreation) {
        FParams.clear();
        FParsed = ParsedSql();
        return;
    }
    FParsed = parseParams(sqlText());
    std::vector<Param> fresh;
    fresh.reserve(std::size_t(FParsed.names.size()));
    for (const QString &name : FParsed.names) {
        Param p(name);
        if (Param *old = findParam(name)) {
            p.setDataType(old->dataType());
            p.setValue(old->value());
        }
        fresh.push_back(std::move(p));
    }
    FParams = std::move(fresh);
}

Param &Query::param(int i)
{
    if (i < 0 || i >= paramCount())
        throw usage(QStringLiteral("パラメータ番号 %1 は範囲外です。").arg(i));
    return FParams[std::size_t(i)];
}

Param *Query::findParam(const QString &name)
{
    for (Param &p : FParams)
        if (p.name().compare(name, Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

Param &Query::paramByName(const QString &name)
{
    if (Param *p = findParam(name))
        return *p;
    throw usage(QStringLiteral("パラメータ %1 が見つかりません。").arg(name));
}

void Query::clearParams()
{
    FParams.clear();
}

void Query::prepare()
{
    const bool withParams = FParamCreation && !FParams.empty();
    FInfo = classify(withParams ? FParsed.text : sqlText());
    FPrepared = true;
}

CommandKind Query::commandKind()
{
    if (!FPrepared)
        prepare();
    return FInfo.kind;
}

QString Query::commandKeyword()
{
    if (!FPrepared)
        prepare();
    return FInfo.keyword;
}

detail::ResultPtr Query::runStatement(bool forOpen)
{
    Connection *c = connection();
    if (!c)
        throw usage(QStringLiteral("クエリに接続が設定されていません。"));
    c->requireOpen();
    if (!FPrepared)
        prepare();
    c->notifyStatement(sqlText());
    const bool withParams = FParamCreation && !FParams.empty();
    std::vector<unsigned> types;
    std::vector<std::optional<QByteArray>> values;
    if (withParams) {
        for (const Param &p : FParams) {
            types.push_back(oidOf(p.dataType()));
            if (p.isNull())
                values.emplace_back(std::nullopt);
            else
                values.emplace_back(c->encode(p.asString()));
        }
    }
    FRowsAffected = -1;

    if (forOpen && FInfo.cursorable && !FSmallResult) {
        // A plain query runs behind a cursor so that its first rows show at once and other
        // statements can run while it is partly read.
        const QByteArray body = c->encode(FInfo.cursorText);
        const QByteArray name = c->nextName("vantor_c").toLatin1();
        const QByteArray fetch = "FETCH FORWARD " + QByteArray::number(fetchRows()) + " FROM " + name;
        Source src;
        src.cursor = name;
        detail::ResultPtr first;
        // Declares the cursor and fetches the first block; a dropped error leaves `first` null.
        // A statement that must go out as one command (parameters, or a caller that wants
        // the server to refuse a second command) declares over the extended protocol.
        auto declareAndFetch = [&](const QByteArray &declare, const QByteArray &prefix) {
            if (withParams || FSingleStatement) {
                if (!prefix.isEmpty())
                    c->runControl(prefix.constData());
                if (c->runParams(declare, types, values))
                    first = c->run(fetch);
            } else {
                // The ";" after the declaration goes on a line of its own: a query that
                // ends in a "--" comment would otherwise swallow it.
                first = c->run(prefix + (prefix.isEmpty() ? "" : ";\n") + declare + "\n;\n" + fetch);
            }
        };
        if (c->inTransaction()) {
            // In the caller's block: the cursor lives as long as the block.
            src.generation = c->FBlockGeneration;
            const QByteArray declare = "DECLARE " + name + " NO SCROLL CURSOR FOR " + body;
            auto work = [&] { declareAndFetch(declare, QByteArray()); };
            if (c->statementSavepoints())
                c->protect(work);
            else
                work();
        } else {
            // Outside any block: a block of the layer's own, ended before the caller sends
            // anything else; the cursor is held beyond it. Beside other open cursors of
            // that block the opening runs under a savepoint, so a failure spares them.
            src.hold = true;
            src.ownBlock = true;
            const bool nested = c->FOwnBlock && c->FOwnCursors > 0;
            const QByteArray declare = "DECLARE " + name + " NO SCROLL CURSOR WITH HOLD FOR " + body;
            auto undoNested = [&] {
                if (c->isConnected()) {
                    detail::ResultPtr(c->execRaw("ROLLBACK TO SAVEPOINT vantor_open; RELEASE SAVEPOINT vantor_open"));
                    c->afterCommand();
                }
            };
            try {
                QByteArray prefix;
                if (nested) {
                    // Sent on its own: a statement that fails to parse would take a
                    // savepoint in the same text down with it.
                    c->runControl("SAVEPOINT vantor_open");
                } else if (!c->FOwnBlock) {
                    c->markOwnBlockStarted();
                    prefix = "BEGIN"; // begin, declare and the first block in one round trip
                }
                src.generation = c->FOwnBlockId;
                declareAndFetch(declare, prefix);
                if (nested && first)
                    c->runControl("RELEASE SAVEPOINT vantor_open");
            } catch (...) {
                if (nested)
                    undoNested();
                else if (c->FOwnCursors == 0)
                    c->leaveOwnBlock();
                throw;
            }
            if (!first) { // an error dropped by the filter
                if (nested)
                    undoNested();
                else if (c->FOwnCursors == 0)
                    c->leaveOwnBlock();
                return nullptr;
            }
            c->registerOwnCursor();
        }
        if (first)
            openOn(c, std::move(first), src);
        return nullptr;
    }

    c->leaveOwnBlock();
    const QByteArray text = c->encode(withParams ? FParsed.text : sqlText());
    detail::ResultPtr res;
    auto work = [&] {
        res = (withParams || FSingleStatement) ? c->runParams(text, types, values) : c->run(text);
        if (res && FInfo.kind == CommandKind::Commit)
            c->checkCommitTag(res.get());
    };
    if (c->statementSavepoints() && c->inTransaction() && !isTransactionControl(FInfo.keyword))
        c->protect(work);
    else
        work();
    if (res) {
        const char *n = PQcmdTuples(res.get());
        FRowsAffected = n && *n ? QByteArray(n).toLongLong() : -1;
    }
    return res;
}

void Query::open()
{
    close();
    detail::ResultPtr res = runStatement(true);
    if (isActive() || !res)
        return; // opened on a cursor, or an error was dropped by the filter
    if (PQresultStatus(res.get()) != PGRES_TUPLES_OK)
        throw usage(QStringLiteral("この文は結果セットを返しませんでした。"));
    openOn(connection(), std::move(res), Source());
}

void Query::execute()
{
    close();
    if (commandKind() == CommandKind::Select)
        throw usage(QStringLiteral("行を返す文は実行できません。"
                                   "Use open for SELECT-like commands (結果を返す文は open で開いてください)。"));
    FReturnedNames.clear();
    FReturnedValues.clear();
    const detail::ResultPtr res = runStatement(false);
    if (res && PQresultStatus(res.get()) == PGRES_TUPLES_OK && PQntuples(res.get()) > 0) {
        Connection *c = connection();
        for (int i = 0; i < PQnfields(res.get()); ++i) {
            const char *name = PQfname(res.get(), i);
            FReturnedNames << c->decode(name, int(std::strlen(name)));
            FReturnedValues << (PQgetisnull(res.get(), 0, i)
                                    ? QString()
                                    : c->decode(PQgetvalue(res.get(), 0, i), PQgetlength(res.get(), 0, i)));
        }
    }
}

} // namespace db
