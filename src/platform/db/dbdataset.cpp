#include "platform/db/dbdataset.h"

#include "platform/db/dbdatetext.h"

#include <algorithm>
#include <cstring>
#include <libpq-fe.h>

namespace db {

namespace {

Error usage(const QString &text) { return Error(Error::Kind::Usage, text); }

// Types whose values cannot be compared with "=" (or whose "=" is not identity): they are
// left out of the condition that finds a row again.
bool hasEquality(unsigned typeOid, char typeKind)
{
    static const unsigned without[] = {114 /*json*/, 142 /*xml*/, 600 /*point*/, 601 /*lseg*/,
                                       602 /*path*/, 603 /*box*/, 604 /*polygon*/, 628 /*line*/,
                                       718 /*circle*/};
    if (typeKind == 'c' || typeKind == 'p')
        return false;
    return std::find(std::begin(without), std::end(without), typeOid) == std::end(without);
}

} // namespace

DataSet::DataSet(QObject *parent) : QObject(parent) {}

DataSet::~DataSet()
{
    releaseResult();
}

// ---- opening and closing ---------------------------------------------------------------

void DataSet::openOn(Connection *conn, detail::ResultPtr first, const Source &source)
{
    releaseResult();
    FConn = conn;
    conn->attach(this);
    FSource = source;
    FLost.clear();
    setupFields(first.get());
    const int got = PQntuples(first.get());
    FFetchedAll = source.cursor.isEmpty() || got < FFetchRows;
    FNextFetch = std::min(FFetchRows * 4, FMaxFetchRows > 0 ? FMaxFetchRows : FFetchRows * 256);
    addBlock(std::move(first), conn->iconvNow());
    if (FFetchedAll)
        closeCursor();
    FFetchWanted = FFetchRows;
    FUpdatableKnown = false;
    FUpdatable = false;
    FCurrent = 0;
    FBof = true;
    FEof = FRows.empty();
    FState = State::Browse;
    prefetch();
    emit afterOpen();
    emit stateChanged();
}

void DataSet::setupFields(const pg_result *cres)
{
    auto *res = const_cast<PGresult *>(cres);
    FFields.clear();
    const int n = PQnfields(res);
    FFields.reserve(std::size_t(n)); // no reallocation below: fields never move
    for (int i = 0; i < n; ++i) {
        Field &f = FFields.emplace_back(this, i);
        const char *name = PQfname(res, i);
        f.FName = FConn ? FConn->decode(name, int(std::strlen(name))) : QString::fromUtf8(name);
        f.FTypeOid = PQftype(res, i);
        f.FTypeMod = PQfmod(res, i);
        f.FType = fieldTypeOf(f.FTypeOid);
        f.FTableOid = PQftable(res, i);
        f.FTableColumn = PQftablecol(res, i);
        int size = 0;
        if ((f.FTypeOid == 1043 || f.FTypeOid == 1042) && f.FTypeMod > 4)
            size = f.FTypeMod - 4;
        else if (f.FTypeOid == 1700 && f.FTypeMod > 4)
            size = ((f.FTypeMod - 4) >> 16) & 0xffff;
        f.FSize = size;
        int width;
        switch (f.FType) {
        case FieldType::Integer: width = 11; break;
        case FieldType::LargeInt: width = 20; break;
        case FieldType::LongWord: width = 10; break;
        case FieldType::Float: width = 24; break;
        case FieldType::Decimal: width = size > 0 ? size + 2 : 20; break;
        case FieldType::Boolean: width = 5; break;
        case FieldType::Date: width = 10; break;
        case FieldType::DateTime: width = 19; break;
        default: width = size > 0 ? size : 30; break;
        }
        f.FDisplayWidth = std::max<int>(width, int(f.FName.size()));
        f.FReadOnly = FReadOnly;
        switch (f.FType) {
        case FieldType::Integer: case FieldType::LargeInt: case FieldType::LongWord:
        case FieldType::Float: case FieldType::Decimal:
            f.FAlignment = Alignment::Right;
            break;
        default:
            f.FAlignment = Alignment::Left;
            break;
        }
    }
}

void DataSet::close()
{
    if (FState == State::Inactive)
        return;
    emit beforeClose();
    releaseResult();
    emit afterClose();
    emit stateChanged();
}

void DataSet::releaseResult()
{
    if (FInsertAt >= 0)
        FInsertAt = -1;
    closeCursor();
    if (FConn)
        FConn->detach(this);
    FFetched.reset();
    FFetchError.clear();
    FBlocks.clear();
    FBlockCodec.clear();
    FRows.clear();
    FFields.clear();
    FBuffer.clear();
    FColumnNames.clear();
    FHasEquality.clear();
    FCoversTable = false;
    FCurrent = 0;
    FEof = FBof = true;
    FFetchedAll = true;
    FLost.clear();
    FState = State::Inactive;
}

void DataSet::connectionGone()
{
    if (!FFetchedAll && FLost.isEmpty())
        FLost = QStringLiteral("接続が閉じられました。");
    FSource.cursor.clear();
    FConn = nullptr;
}

void DataSet::setReadOnly(bool on)
{
    FReadOnly = on;
    for (Field &f : FFields)
        f.FReadOnly = on;
    FUpdatableKnown = false;
}

// ---- fetching ------------------------------------------------------------------------------

void DataSet::addBlock(detail::ResultPtr res, const QByteArray &codec)
{
    const int n = PQntuples(res.get());
    const auto block = quint32(FBlocks.size());
    FBlocks.push_back(std::move(res));
    FBlockCodec.push_back(codec);
    for (int i = 0; i < n; ++i)
        FRows.push_back({block, quint32(i), newId()});
}

void DataSet::throwLost() const
{
    throw Error(Error::Kind::ResultLost,
                QStringLiteral("結果の残りの行を取得できません。表示中の行は結果の一部です。\n") + FLost);
}

bool DataSet::sendFetch()
{
    // Outside the caller's block only: there a failed fetch would abort the block, so
    // those fetches run synchronously under a savepoint instead.
    Connection *c = FConn;
    c->settle();
    const bool guard = c->FOwnBlock && c->FOwnCursors > 1; // other cursors share the layer's block
    QByteArray sql = "FETCH FORWARD " + QByteArray::number(FNextFetch) + " FROM " + FSource.cursor;
    if (guard)
        sql = "SAVEPOINT vantor_fetch; " + sql + "; RELEASE SAVEPOINT vantor_fetch";
    if (PQsendQuery(c->FConn, sql.constData()) != 1) {
        FFetchError = QString::fromLocal8Bit(PQerrorMessage(c->FConn)).trimmed();
        return false;
    }
    ++c->FRoundTrips;
    c->FPendingFetch = this;
    FFetchWanted = FNextFetch;
    FFetchGuarded = guard;
    return true;
}

void DataSet::collectFetch()
{
    // Takes the answer of a FETCH sent before; never throws (it may run inside another
    // caller's statement). A failure is kept for the next fetch to raise.
    Connection *c = FConn;
    detail::ResultPtr rows;
    QString error;
    // A large block or a slow statement may take long to come: the window keeps painting and
    // Esc cancels the fetch (which then fails as any failed fetch does).
    c->awaitAnswer();
    while (PGresult *r = PQgetResult(c->FConn)) {
        detail::ResultPtr part(r);
        const ExecStatusType st = PQresultStatus(r);
        if (st == PGRES_TUPLES_OK) {
            if (!rows)
                rows = std::move(part);
        } else if (st != PGRES_COMMAND_OK && error.isEmpty()) {
            try {
                c->raiseFromResult(r, Connection::Filter::Never);
            } catch (const Error &e) {
                error = e.message;
            }
        }
    }
    c->afterCommand();
    if (error.isEmpty() && !rows)
        error = QString::fromLocal8Bit(PQerrorMessage(c->FConn)).trimmed();
    if (!error.isEmpty()) {
        if (FFetchGuarded && PQtransactionStatus(c->FConn) == PQTRANS_INERROR) {
            ++c->FRoundTrips;
            detail::ResultPtr(PQexec(c->FConn, "ROLLBACK TO SAVEPOINT vantor_fetch; RELEASE SAVEPOINT vantor_fetch"));
            c->afterCommand();
        }
        FFetchError = error;
        return;
    }
    FFetched = std::move(rows);
    FFetchedCodec = c->iconvNow(); // the encoding the rows arrived in
}

bool DataSet::fetchBlock()
{
    if (FFetchedAll)
        return false;
    if (!FLost.isEmpty())
        throwLost();
    Connection *c = FConn;
    // A connection busy in another call refuses the fetch; the result stays as it is and
    // can be read further once the call has returned.
    if (c)
        c->requireIdle();
    if (c && c->FPendingFetch == this) {
        c->FPendingFetch = nullptr;
        collectFetch();
        c->closeIfAsked(); // a close asked during the wait: the block's error tells why
    }
    if (!FFetched && FFetchError.isEmpty()) {
        if (!c || !c->FConn) {
            FLost = QStringLiteral("接続が閉じられました。");
            throwLost();
        }
        if (FSource.ownBlock ? c->ownCursorLost(FSource.generation)
                             : (!FSource.hold && c->FBlockGeneration != FSource.generation)) {
            FLost = c->FOwnFailure.isEmpty() || !FSource.ownBlock
                        ? QStringLiteral("結果を読み出していたトランザクションが終了し、カーソルが閉じられました。")
                        : c->FOwnFailure;
            FSource.cursor.clear();
            throwLost();
        }
        c->requireOpen();
        if (c->inTransaction()) {
            // In the caller's block: under a savepoint, so that a failure spares the block.
            const QByteArray sql = "FETCH FORWARD " + QByteArray::number(FNextFetch) + " FROM " + FSource.cursor;
            FFetchWanted = FNextFetch;
            try {
                c->protect([&] {
                    FFetched = c->run(sql, Connection::Filter::Never);
                    FFetchedCodec = c->iconvNow();
                });
            } catch (const Error &e) {
                FFetchError = e.message;
            }
        } else if (sendFetch()) {
            c->FPendingFetch = nullptr;
            collectFetch();
            c->closeIfAsked();
        }
    }
    if (!FFetchError.isEmpty() || !FFetched) {
        FLost = FFetchError.isEmpty() ? QStringLiteral("カーソルから行を取得できませんでした。") : FFetchError;
        FFetchError.clear();
        FSource.cursor.clear();
        if (FSource.ownBlock && c && c->FConn)
            c->releaseOwnCursor();
        throwLost();
    }
    detail::ResultPtr res = std::move(FFetched);
    const int got = PQntuples(res.get());
    const int wanted = FFetchWanted;
    FNextFetch = std::min(FNextFetch * 4, FMaxFetchRows > 0 ? FMaxFetchRows : FFetchRows * 256);
    addBlock(std::move(res), FFetchedCodec);
    if (got < wanted) {
        FFetchedAll = true;
        closeCursor();
    } else {
        prefetch();
    }
    emitData();
    return got > 0;
}

void DataSet::prefetch()
{
    // While the caller reads this block, the server already prepares the next one.
    Connection *c = FConn;
    if (!FFetchedAll && !FSource.cursor.isEmpty() && FLost.isEmpty() && !FFetched && c && c->isConnected()
        && !c->inTransaction() && !c->FPendingFetch
        && !(FSource.ownBlock && c->ownCursorLost(FSource.generation)))
        sendFetch();
}

void DataSet::closeCursor()
{
    if (FSource.cursor.isEmpty())
        return;
    Connection *c = FConn;
    if (c && c->FPendingFetch == this) {
        c->FPendingFetch = nullptr;
        collectFetch();
    }
    FFetched.reset();
    FFetchError.clear();
    const QByteArray name = FSource.cursor;
    FSource.cursor.clear();
    if (!c || !c->isConnected())
        return;
    try {
        if (FSource.ownBlock) {
            if (c->ownCursorLost(FSource.generation))
                return; // gone with the layer's block
            if (c->FOwnBlock && c->FOwnCursors <= 1) {
                // The last cursor of the layer's block: close it and end the block at once.
                c->FOwnCursors = 0;
                c->FOwnBlock = false;
                c->run("CLOSE " + name + "; COMMIT", Connection::Filter::Never);
                return;
            }
            c->run("CLOSE " + name, Connection::Filter::Never);
            c->releaseOwnCursor();
        } else if (FSource.hold || c->FBlockGeneration == FSource.generation) {
            if (c->inTransaction())
                c->protect([&] { c->run("CLOSE " + name, Connection::Filter::Never); });
            else
                c->run("CLOSE " + name, Connection::Filter::Never);
        }
    } catch (const Error &) {
        // Closing is best effort: the cursor goes with its transaction or connection anyway.
    }
}

bool DataSet::fetchMore()
{
    requireActive();
    return fetchBlock();
}

void DataSet::fetchAll()
{
    requireActive();
    if (FFetchedAll)
        return;
    disableControls();
    try {
        while (!FFetchedAll)
            fetchBlock();
    } catch (...) {
        enableControls();
        throw;
    }
    enableControls();
}

// ---- fields --------------------------------------------------------------------------------

void DataSet::throwFieldRange(int col)
{
    throw usage(QStringLiteral("列番号 %1 は範囲外です。").arg(col));
}

Field *DataSet::findField(const QString &name)
{
    for (Field &f : FFields)
        if (f.name().compare(name, Qt::CaseInsensitive) == 0)
            return &f;
    return nullptr;
}

Field &DataSet::fieldByName(const QString &name)
{
    if (Field *f = findField(name))
        return *f;
    throw usage(QStringLiteral("列 %1 が見つかりません。").arg(name));
}

// ---- navigation ---------------------------------------------------------------------------

void DataSet::requireActive() const
{
    if (FState == State::Inactive)
        throw usage(QStringLiteral("データセットが開かれていません。"));
}

void DataSet::requireRecord() const
{
    requireActive();
    if (FRows.empty())
        throw usage(QStringLiteral("レコードがありません。"));
}

void DataSet::checkBrowse()
{
    if (FState == State::Edit || FState == State::Insert)
        post();
}

void DataSet::first()
{
    requireActive();
    checkBrowse();
    FCurrent = 0;
    FBof = true;
    FEof = FRows.empty();
    emitRecord();
}

void DataSet::next()
{
    requireActive();
    checkBrowse();
    if (std::size_t(FCurrent) + 1 < FRows.size() || (fetchBlock() && std::size_t(FCurrent) + 1 < FRows.size())) {
        ++FCurrent;
        FBof = false;
        FEof = false;
    } else {
        FEof = true;
    }
    emitRecord();
}

void DataSet::prior()
{
    requireActive();
    checkBrowse();
    if (FCurrent > 0) {
        --FCurrent;
        FBof = false;
        FEof = false;
    } else {
        FBof = true;
    }
    emitRecord();
}

void DataSet::last()
{
    requireActive();
    checkBrowse();
    fetchAll();
    FCurrent = FRows.empty() ? 0 : int(FRows.size()) - 1;
    FEof = true;
    FBof = FRows.empty();
    emitRecord();
}

bool DataSet::isEmpty()
{
    return FRows.empty();
}

void DataSet::setRecNo(int recNo)
{
    requireActive();
    checkBrowse();
    while (int(FRows.size()) < recNo && fetchBlock()) {
    }
    if (FRows.empty())
        return;
    FCurrent = std::clamp(recNo, 1, int(FRows.size())) - 1;
    FBof = FEof = false;
    emitRecord();
}

int DataSet::recordCount()
{
    if (FState == State::Inactive)
        return 0;
    fetchAll();
    return int(FRows.size());
}

// ---- direct access -------------------------------------------------------------------------

const DataSet::Row &DataSet::rowAt(int row) const
{
    if (row < 0 || std::size_t(row) >= FRows.size())
        throw usage(QStringLiteral("行番号 %1 は範囲外です。").arg(row));
    return FRows[std::size_t(row)];
}

bool DataSet::isNull(int row, int col) const
{
    const Row &r = rowAt(row);
    if (r.block == PendingBlock) {
        const auto &b = FBuffer[std::size_t(col)];
        return !b || !*b;
    }
    return PQgetisnull(blockOf(r), int(r.index), col) != 0;
}

QByteArrayView DataSet::raw(int row, int col) const
{
    const Row &r = rowAt(row);
    if (r.block == PendingBlock) {
        const auto &b = FBuffer[std::size_t(col)];
        return b && *b ? QByteArrayView(**b) : QByteArrayView();
    }
    pg_result *res = blockOf(r);
    return QByteArrayView(PQgetvalue(res, int(r.index), col), PQgetlength(res, int(r.index), col));
}

QString DataSet::valueString(int row, int col) const
{
    return decodeCell(row, col, raw(row, col));
}

QString DataSet::decodeCell(int row, int col, QByteArrayView v) const
{
    // Each block is decoded in the encoding it arrived in; values typed into the edit
    // buffer were encoded in the encoding of that moment.
    const Row &r = rowAt(row);
    const bool buffered = r.block == PendingBlock
                          || (row == FCurrent && (FState == State::Edit || FState == State::Insert)
                              && FBuffer[std::size_t(col)]);
    if (buffered)
        return FConn ? FConn->decode(v.data(), int(v.size())) : QString::fromUtf8(v);
    return Connection::decodeIn(FBlockCodec[r.block], v.data(), int(v.size()));
}

QString DataSet::displayText(int row, int col) const
{
    if (col < 0 || col >= fieldCount())
        throw usage(QStringLiteral("列番号 %1 は範囲外です。").arg(col));
    return displayTextOf(row, FFields[std::size_t(col)], raw(row, col), isNull(row, col));
}

QString DataSet::displayTextOf(int row, const Field &f, QByteArrayView v, bool null) const
{
    if (null)
        return QString();
    const DisplayFormats &fmt = displayFormats();
    switch (f.dataType()) {
    case FieldType::Boolean:
        return !v.isEmpty() && v[0] == 't' ? QStringLiteral("True") : QStringLiteral("False");
    case FieldType::Bytes:
        return v.startsWith("\\x") ? QString::fromLatin1(v.sliced(2)) : QString::fromLatin1(f.asBytes().toHex());
    case FieldType::Date: {
        QString text = isoDateText(v, fmt.date);
        if (!text.isNull())
            return text;
        break;
    }
    case FieldType::DateTime: {
        QString text = isoTimestampText(v, fmt.date, fmt.time);
        if (!text.isNull())
            return text;
        break;
    }
    default:
        break;
    }
    return decodeCell(row, f.index(), v);
}

QByteArrayView DataSet::currentRaw(int col) const
{
    // The common case first: browsing a fetched row.
    int index = 0;
    if (pg_result *res = browsedRow(col, index))
        return QByteArrayView(PQgetvalue(res, index, col), PQgetlength(res, index, col));
    if (col < 0 || col >= fieldCount())
        throw usage(QStringLiteral("列番号 %1 は範囲外です。").arg(col));
    if ((FState == State::Edit || FState == State::Insert) && FBuffer[std::size_t(col)]) {
        const OptBytes &b = *FBuffer[std::size_t(col)];
        return b ? QByteArrayView(*b) : QByteArrayView();
    }
    if (FRows.empty())
        return QByteArrayView();
    return raw(FCurrent, col);
}

bool DataSet::currentIsNull(int col) const
{
    int index = 0;
    if (pg_result *res = browsedRow(col, index))
        return PQgetisnull(res, index, col) != 0;
    if (col < 0 || col >= fieldCount())
        throw usage(QStringLiteral("列番号 %1 は範囲外です。").arg(col));
    if ((FState == State::Edit || FState == State::Insert) && FBuffer[std::size_t(col)])
        return !*FBuffer[std::size_t(col)];
    if (FRows.empty())
        return true;
    return isNull(FCurrent, col);
}

// ---- bookmarks -----------------------------------------------------------------------------

DataSet::Bookmark DataSet::bookmark() const
{
    if (FRows.empty() || FState == State::Inactive)
        return {};
    return {FRows[std::size_t(FCurrent)].id, FCurrent};
}

DataSet::Bookmark DataSet::bookmarkAt(int row) const
{
    if (FState == State::Inactive || row < 0 || std::size_t(row) >= FRows.size())
        return {};
    return {FRows[std::size_t(row)].id, row};
}

int DataSet::findRow(const Bookmark &mark) const
{
    if (mark.isNull())
        return -1;
    if (mark.hint >= 0 && std::size_t(mark.hint) < FRows.size() && FRows[std::size_t(mark.hint)].id == mark.id)
        return mark.hint;
    for (std::size_t i = 0; i < FRows.size(); ++i)
        if (FRows[i].id == mark.id)
            return int(i);
    return -1;
}

bool DataSet::bookmarkValid(const Bookmark &mark)
{
    return findRow(mark) >= 0;
}

void DataSet::gotoBookmark(const Bookmark &mark)
{
    requireActive();
    checkBrowse();
    const int row = findRow(mark);
    if (row < 0)
        throw usage(QStringLiteral("ブックマークが指すレコードがありません。"));
    FCurrent = row;
    FBof = FEof = false;
    emitRecord();
}

int DataSet::compareBookmarks(const Bookmark &a, const Bookmark &b)
{
    const int ra = findRow(a), rb = findRow(b);
    return ra < rb ? -1 : (ra > rb ? 1 : 0);
}

// ---- observers -----------------------------------------------------------------------------

void DataSet::enableControls()
{
    if (FDisabled > 0 && --FDisabled == 0) {
        if (FPendingData || FPendingRecord)
            emit dataChanged();
        FPendingData = FPendingRecord = false;
    }
}

void DataSet::emitData()
{
    if (FDisabled > 0)
        FPendingData = true;
    else
        emit dataChanged();
}

void DataSet::emitRecord()
{
    if (FDisabled > 0)
        FPendingRecord = true;
    else
        emit recordChanged();
}

void DataSet::setState(State s)
{
    if (FState == s)
        return;
    FState = s;
    emit stateChanged();
}

// ---- editing -------------------------------------------------------------------------------

bool DataSet::canModify()
{
    if (!isActive() || FReadOnly || !FConn)
        return false;
    if (FUpdatableKnown)
        return FUpdatable;
    FUpdatableKnown = true;
    FUpdatable = false;
    if (FFields.empty())
        return false;
    const unsigned table = FFields.front().tableOid();
    for (const Field &f : FFields)
        if (f.tableOid() != table || table == 0 || f.tableColumn() <= 0)
            return false;
    // The base table and its columns: names, generated columns and which types compare.
    detail::ResultPtr rel, cols;
    try {
        const std::vector<unsigned> types{26};
        const std::vector<std::optional<QByteArray>> values{QByteArray::number(table)};
        FConn->protect([&] {
            rel = FConn->runParams(
                "SELECT n.nspname, c.relname, c.relkind FROM pg_catalog.pg_class c "
                "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace WHERE c.oid = $1",
                types, values, Connection::Filter::Never);
            cols = FConn->runParams(
                "SELECT a.attnum, a.attname, a.attgenerated::text <> '', "
                "coalesce(e.oid, b.oid), coalesce(e.typtype, b.typtype) "
                "FROM pg_catalog.pg_attribute a "
                "JOIN pg_catalog.pg_type t ON t.oid = a.atttypid "
                "JOIN pg_catalog.pg_type b ON b.oid = CASE WHEN t.typtype = 'd' THEN t.typbasetype ELSE t.oid END "
                "LEFT JOIN pg_catalog.pg_type e ON e.oid = b.typelem AND b.typcategory = 'A' "
                "WHERE a.attrelid = $1 AND a.attnum > 0 AND NOT a.attisdropped",
                types, values, Connection::Filter::Never);
        });
    } catch (const Error &) {
        return false;
    }
    if (!rel || PQntuples(rel.get()) != 1 || !cols)
        return false;
    const char kind = PQgetvalue(rel.get(), 0, 2)[0];
    if (kind != 'r' && kind != 'p')
        return false;
    FTableSchema = FConn->decode(PQgetvalue(rel.get(), 0, 0), PQgetlength(rel.get(), 0, 0));
    FTableName = FConn->decode(PQgetvalue(rel.get(), 0, 1), PQgetlength(rel.get(), 0, 1));
    FColumnNames.assign(FFields.size(), QString());
    FHasEquality.assign(FFields.size(), false);
    bool anyEquality = false;
    for (int r = 0; r < PQntuples(cols.get()); ++r) {
        const int attnum = QByteArray(PQgetvalue(cols.get(), r, 0)).toInt();
        for (Field &f : FFields) {
            if (f.tableColumn() != attnum)
                continue;
            const std::size_t i = std::size_t(f.index());
            FColumnNames[i] = FConn->decode(PQgetvalue(cols.get(), r, 1), PQgetlength(cols.get(), r, 1));
            if (PQgetvalue(cols.get(), r, 2)[0] == 't')
                f.FReadOnly = true;
            FHasEquality[i] = hasEquality(QByteArray(PQgetvalue(cols.get(), r, 3)).toUInt(),
                                          PQgetvalue(cols.get(), r, 4)[0]);
            anyEquality = anyEquality || FHasEquality[i];
        }
    }
    for (const QString &n : FColumnNames)
        if (n.isEmpty())
            return false;
    // Rows that agree in every column of the table are true duplicates; rows that agree
    // only in the columns shown may differ in the others.
    std::vector<int> shown;
    for (const Field &f : FFields)
        shown.push_back(f.tableColumn());
    std::sort(shown.begin(), shown.end());
    shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
    FCoversTable = int(shown.size()) == PQntuples(cols.get());
    (void)anyEquality;
    FUpdatable = true;
    return FUpdatable;
}

static Error readOnlyError()
{
    return Error(Error::Kind::Usage, QStringLiteral("この結果セットは読み取り専用のため、変更できません。"));
}

void DataSet::beginEditBuffer()
{
    FBuffer.assign(FFields.size(), std::nullopt);
}

void DataSet::edit()
{
    requireActive();
    if (FState == State::Edit || FState == State::Insert)
        return;
    if (!canModify())
        throw readOnlyError();
    if (FRows.empty()) {
        append();
        return;
    }
    beginEditBuffer();
    setState(State::Edit);
}

void DataSet::insert()
{
    requireActive();
    checkBrowse();
    if (!canModify())
        throw readOnlyError();
    beginEditBuffer();
    FInsertAt = FRows.empty() ? 0 : FCurrent;
    emit rowsAboutToBeInserted(FInsertAt, FInsertAt);
    FRows.insert(FRows.begin() + FInsertAt, Row{PendingBlock, 0, newId()});
    emit rowsInserted(FInsertAt, FInsertAt);
    FCurrent = FInsertAt;
    FBof = FEof = false;
    setState(State::Insert);
    emitData();
}

void DataSet::append()
{
    requireActive();
    checkBrowse();
    if (!canModify())
        throw readOnlyError();
    fetchAll();
    beginEditBuffer();
    FInsertAt = int(FRows.size());
    emit rowsAboutToBeInserted(FInsertAt, FInsertAt);
    FRows.push_back(Row{PendingBlock, 0, newId()});
    emit rowsInserted(FInsertAt, FInsertAt);
    FCurrent = FInsertAt;
    FBof = FEof = false;
    setState(State::Insert);
    emitData();
}

void DataSet::setBuffer(int col, OptBytes value)
{
    requireActive();
    Field &f = field(col);
    if (f.readOnly() || FReadOnly)
        throw Error(Error::Kind::Usage, QStringLiteral("列 %1 は変更できません。").arg(f.name()));
    if (value && f.dataType() != FieldType::Bytes && value->contains('\0'))
        throw Error(Error::Kind::Refused,
                    QStringLiteral("列 %1 の値に NUL 文字 (0x00) が含まれているため、送信しませんでした。").arg(f.name()));
    if (FState == State::Browse)
        edit();
    FBuffer[std::size_t(col)] = std::move(value);
    emitRecord();
}

void DataSet::cancel()
{
    if (FState == State::Insert) {
        const int at = FInsertAt;
        emit rowsAboutToBeRemoved(at, at);
        FRows.erase(FRows.begin() + at);
        FInsertAt = -1;
        emit rowsRemoved(at, at);
        if (FCurrent >= int(FRows.size()))
            FCurrent = std::max(0, int(FRows.size()) - 1);
        FEof = FRows.empty();
        FBuffer.clear();
        setState(State::Browse);
        emitData();
        return;
    }
    if (FState == State::Edit) {
        FBuffer.clear();
        setState(State::Browse);
        emitRecord();
    }
}

QByteArray DataSet::quoteIdent(Connection *c, const QString &name)
{
    // libpq's own identifier quoting, on the name in the client encoding.
    const QByteArray bytes = c->encode(name);
    char *q = PQescapeIdentifier(c->conn(), bytes.constData(), std::size_t(bytes.size()));
    if (!q)
        throw Error(Error::Kind::Refused, QStringLiteral("名前 %1 を引用符で囲めません。").arg(name));
    QByteArray out(q);
    PQfreemem(q);
    return out;
}

QByteArray DataSet::returningList() const
{
    QByteArray out;
    for (std::size_t i = 0; i < FFields.size(); ++i) {
        if (i)
            out += ", ";
        out += quoteIdent(FConn, FColumnNames[i]);
    }
    return out;
}

QByteArray DataSet::rowCondition(const Row &row, std::vector<unsigned> &types,
                                 std::vector<std::optional<QByteArray>> &values) const
{
    // The row is found by all its original values, each compared by its text form as the
    // server writes it (format('%s', col), the type's own output), so values that "=" calls
    // equal but that show differently (numeric 1.0 and 1.00, interval '1 day' and '24 hours',
    // float -0 and 0, jsonb 1.0 and 1.00) and types without "=" (json, xml, geometry) take
    // part. Where the type has "=" the value is compared with it too, first, so an index
    // can find the candidates. A NULL is "IS NULL".
    QByteArray equal, text;
    pg_result *res = blockOf(row);
    for (std::size_t i = 0; i < FFields.size(); ++i) {
        const QByteArray col = quoteIdent(FConn, FColumnNames[i]);
        if (PQgetisnull(res, int(row.index), int(i))) {
            equal += (equal.isEmpty() ? "" : " AND ") + col + " IS NULL";
            continue;
        }
        const QByteArray value(PQgetvalue(res, int(row.index), int(i)), PQgetlength(res, int(row.index), int(i)));
        if (FHasEquality[i]) {
            types.push_back(FFields[i].typeOid());
            values.emplace_back(value);
            equal += (equal.isEmpty() ? "" : " AND ") + col + " = $" + QByteArray::number(qsizetype(values.size()));
        }
        types.push_back(25); // text
        values.emplace_back(value);
        text += " AND pg_catalog.format('%s', " + col + ") = $" + QByteArray::number(qsizetype(values.size()));
    }
    return equal.isEmpty() ? QByteArray("true") + text : equal + text;
}

QByteArray DataSet::identityWhere(const Row &row, std::vector<unsigned> &types,
                                  std::vector<std::optional<QByteArray>> &values) const
{
    const QByteArray cond = rowCondition(row, types, values);
    const QByteArray table = quoteIdent(FConn, FTableSchema) + "." + quoteIdent(FConn, FTableName);
    // Rows equal in every column of the table are interchangeable: one of them is taken by
    // its physical address. When columns are not shown, the subquery finds every match, and
    // more than one makes the server refuse (cardinality violation) instead of picking one.
    return "(tableoid, ctid) = (SELECT tableoid, ctid FROM " + table + " WHERE " + cond
           + (FCoversTable ? " LIMIT 1)" : ")");
}

void DataSet::requireSingleMatch(const Row &row)
{
    if (FCoversTable)
        return;
    // The result does not show every column of the table: rows that look the same may
    // differ in the others, and no edit may guess which one is meant.
    const QByteArray table = quoteIdent(FConn, FTableSchema) + "." + quoteIdent(FConn, FTableName);
    std::vector<unsigned> types;
    std::vector<std::optional<QByteArray>> values;
    const QByteArray cond = rowCondition(row, types, values);
    detail::ResultPtr res;
    FConn->leaveOwnBlock();
    FConn->protect([&] {
        res = FConn->runParams("SELECT count(*) FROM (SELECT 1 FROM " + table + " WHERE " + cond + " LIMIT 2) s", types,
                               values, Connection::Filter::Never);
    });
    if (res && QByteArray(PQgetvalue(res.get(), 0, 0)).toInt() > 1)
        throw Error(Error::Kind::Refused,
                    QStringLiteral("表示されている列の値が同じ行が複数あるため、どの行か決められません。"
                                   "変更しませんでした。行を一意に識別できる列（主キーなど）を含めて検索してください。"));
}

detail::ResultPtr DataSet::runChange(const QByteArray &sql, const std::vector<unsigned> &types,
                                     const std::vector<std::optional<QByteArray>> &values)
{
    // One change, exactly one row, all or nothing: under a savepoint inside a block, or in
    // a block of its own. Errors of a change are never dropped by the filter.
    Connection *c = FConn;
    c->requireOpen();
    c->leaveOwnBlock();
    if (!c->inTransaction() && !c->autoCommit())
        c->runControl("BEGIN"); // without auto-commit the change opens a block that stays open
    const bool ownTx = !c->inTransaction();
    const QByteArray sp = c->nextName("vantor_edit").toLatin1();
    c->runControl(ownTx ? QByteArray("BEGIN") : "SAVEPOINT " + sp);
    detail::ResultPtr res;
    auto undo = [&] {
        if (!c->FConn || PQstatus(c->FConn) != CONNECTION_OK)
            return;
        detail::ResultPtr(c->execRaw(ownTx ? QByteArray("ROLLBACK") : "ROLLBACK TO SAVEPOINT " + sp + "; RELEASE SAVEPOINT " + sp));
        c->afterCommand();
    };
    try {
        res = c->runParams(sql, types, values, Connection::Filter::Never);
        const qint64 n = QByteArray(PQcmdTuples(res.get())).toLongLong();
        if (n != 1)
            throw Error(Error::Kind::Refused,
                        n == 0 ? QStringLiteral("対象の行が見つかりません。他のユーザーが変更または削除した可能性があります。変更は取り消されました。")
                               : QStringLiteral("%1 行が対象になったため、変更を取り消しました。").arg(n));
    } catch (...) {
        undo();
        throw;
    }
    if (ownTx) {
        detail::ResultPtr done = c->run("COMMIT", Connection::Filter::Never);
        c->checkCommitTag(done.get());
    } else {
        c->runControl("RELEASE SAVEPOINT " + sp);
    }
    return res;
}

void DataSet::post()
{
    requireActive();
    if (FState != State::Edit && FState != State::Insert)
        return;
    std::vector<unsigned> types;
    std::vector<std::optional<QByteArray>> values;
    QByteArray sql;
    const QByteArray table = quoteIdent(FConn, FTableSchema) + "." + quoteIdent(FConn, FTableName);
    if (FState == State::Edit) {
        QByteArray sets;
        for (std::size_t i = 0; i < FFields.size(); ++i) {
            if (!FBuffer[i])
                continue;
            types.push_back(FFields[i].typeOid());
            values.push_back(*FBuffer[i]);
            if (!sets.isEmpty())
                sets += ", ";
            sets += quoteIdent(FConn, FColumnNames[i]) + " = $" + QByteArray::number(qsizetype(values.size()));
        }
        if (sets.isEmpty()) {
            cancel();
            return;
        }
        requireSingleMatch(FRows[std::size_t(FCurrent)]);
        const QByteArray where = identityWhere(FRows[std::size_t(FCurrent)], types, values);
        sql = "UPDATE " + table + " SET " + sets + " WHERE " + where + " RETURNING " + returningList();
    } else {
        QByteArray cols, params;
        for (std::size_t i = 0; i < FFields.size(); ++i) {
            if (!FBuffer[i])
                continue;
            types.push_back(FFields[i].typeOid());
            values.push_back(*FBuffer[i]);
            if (!cols.isEmpty()) {
                cols += ", ";
                params += ", ";
            }
            cols += quoteIdent(FConn, FColumnNames[i]);
            params += "$" + QByteArray::number(qsizetype(values.size()));
        }
        sql = "INSERT INTO " + table
              + (cols.isEmpty() ? QByteArray(" DEFAULT VALUES") : " (" + cols + ") VALUES (" + params + ")")
              + " RETURNING " + returningList();
    }
    detail::ResultPtr res = runChange(sql, types, values);
    // The row as the server now holds it (defaults, triggers) replaces the old one.
    Row &row = FRows[std::size_t(FCurrent)];
    const auto block = quint32(FBlocks.size());
    FBlocks.push_back(std::move(res));
    FBlockCodec.push_back(FConn->iconvNow());
    row.block = block;
    row.index = 0;
    FInsertAt = -1;
    FBuffer.clear();
    setState(State::Browse);
    emit rowChanged(FCurrent);
    emitData();
    emitRecord();
}

void DataSet::deleteRecord()
{
    requireRecord();
    if (FState == State::Insert) {
        cancel();
        return;
    }
    if (!canModify())
        throw readOnlyError();
    requireSingleMatch(FRows[std::size_t(FCurrent)]);
    FBuffer.clear();
    setState(State::Browse);
    std::vector<unsigned> types;
    std::vector<std::optional<QByteArray>> values;
    const QByteArray table = quoteIdent(FConn, FTableSchema) + "." + quoteIdent(FConn, FTableName);
    const QByteArray where = identityWhere(FRows[std::size_t(FCurrent)], types, values);
    runChange("DELETE FROM " + table + " WHERE " + where, types, values);
    const int at = FCurrent;
    emit rowsAboutToBeRemoved(at, at);
    FRows.erase(FRows.begin() + at);
    emit rowsRemoved(at, at);
    if (FCurrent >= int(FRows.size()))
        FCurrent = std::max(0, int(FRows.size()) - 1);
    FEof = FRows.empty();
    emitData();
    emitRecord();
}

void DataSet::dropRecord()
{
    requireRecord();
    if (FState == State::Insert) {
        cancel();
        return;
    }
    FBuffer.clear();
    setState(State::Browse);
    const int at = FCurrent;
    emit rowsAboutToBeRemoved(at, at);
    FRows.erase(FRows.begin() + at);
    emit rowsRemoved(at, at);
    if (FCurrent >= int(FRows.size()))
        FCurrent = std::max(0, int(FRows.size()) - 1);
    FEof = FRows.empty();
    emitData();
    emitRecord();
}

} // namespace db
