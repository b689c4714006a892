#pragma once
// A client-side data set over one query result: fields, a current record, navigation,
// bookmarks, rows fetched in blocks on demand, and editing of the rows of one base table.
// Values stay in the libpq results they arrived in; nothing is copied per cell.
#include "platform/db/dbconnection.h"
#include "platform/db/dbfield.h"
#include <QObject>
#include <optional>
#include <vector>

namespace db {

class DataSet : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };

    // A mark of one record that stays valid while the record exists (moves, fetches and
    // edits of other records keep it). A default-constructed bookmark is invalid.
    struct Bookmark {
        quint64 id = 0;
        int hint = -1; // the row it was at; speeds up the search
        bool isNull() const { return id == 0; }
    };

    explicit DataSet(QObject *parent = nullptr);
    ~DataSet() override;

    Connection *connection() const { return FConn; }
    bool isActive() const { return FState != State::Inactive; }
    State state() const { return FState; }
    void close(); // ends editing without posting, releases the result and its cursor

    // ---- fields --------------------------------------------------------------------
    int fieldCount() const { return int(FFields.size()); }
    // Fields[i]; throws Error (Usage) when out of range. Inline: it is called per value.
    Field &field(int i)
    {
        if (unsigned(i) >= FFields.size())
            throwFieldRange(i);
        return FFields[std::size_t(i)];
    }
    Field *findField(const QString &name); // null when none (name compared without case)
    Field &fieldByName(const QString &name); // throws Error (Usage) when none

    // ---- navigation (records are numbered from 1) ----------------------------------
    // Moving past the rows fetched so far fetches the next block. Outside the caller's
    // block the next block is asked for ahead, while the current one is read; other
    // statements may still be run at any time (the block on its way is collected first).
    void first();
    void next();
    void prior();
    void last();  // fetches the rest
    bool eof() const { return FEof; }
    bool bof() const { return FBof; }
    bool isEmpty();
    int recNo() const { return FRows.empty() ? 0 : FCurrent + 1; }
    void setRecNo(int recNo); // fetches as far as needed; clamps to the last record
    int recordCount();        // fetches the rest, then counts
    int fetchedCount() const { return int(FRows.size()); }
    bool fetchedAll() const { return FFetchedAll; }
    bool fetchMore(); // one more block; false when everything is fetched
    void fetchAll();
    // Rows fetched in the first block (default 1000); later blocks grow up to 256 times it.
    int fetchRows() const { return FFetchRows; }
    void setFetchRows(int rows) { FFetchRows = rows > 0 ? rows : 1; }
    // The largest later block (0: 256 times the first). A caller that shows rows while they
    // come keeps blocks small, so that no single wait for a block is long.
    void setMaxFetchRows(int rows) { FMaxFetchRows = rows > 0 ? rows : 0; }

    // ---- direct access by row (0-based, within the rows fetched so far) ---------------
    bool isNull(int row, int col) const;
    QByteArrayView raw(int row, int col) const;
    QString valueString(int row, int col) const;
    QString displayText(int row, int col) const; // as Field::text()

    // ---- bookmarks -----------------------------------------------------------------
    Bookmark bookmark() const;
    Bookmark bookmarkAt(int row) const; // of a fetched row (0-based); invalid out of range
    bool bookmarkValid(const Bookmark &mark);
    void gotoBookmark(const Bookmark &mark); // throws Error (Usage) when invalid
    // -1, 0, 1 by record order; an invalid bookmark sorts first.
    int compareBookmarks(const Bookmark &a, const Bookmark &b);

    // ---- observers -----------------------------------------------------------------
    // While disabled (counted), no change signals are sent; enabling the last level sends
    // dataChanged() once when anything changed.
    void disableControls() { ++FDisabled; }
    void enableControls();
    bool controlsDisabled() const { return FDisabled > 0; }

    // ---- editing -------------------------------------------------------------------
    // Editable when not set read-only and every column comes from the same base table.
    bool readOnly() const { return FReadOnly; }
    void setReadOnly(bool on); // while closed: applies at the next open
    bool canModify(); // asks the catalog once per result
    void edit();
    void insert(); // a new record before the current one
    void append(); // a new record at the end (fetches the rest)
    // Writes the change: one row is changed, inserted or deleted in a savepoint (or a
    // block of its own), identified by all its original values; any other number of rows
    // undoes the change and throws. The new values are read back from the server.
    void post();
    void cancel();
    void deleteRecord();
    // Forgets the current record without telling the server: for a caller that rolled back
    // the transaction in which the record was posted. A pending insert is cancelled.
    void dropRecord();

signals:
    void afterOpen();
    void beforeClose();
    void afterClose();
    void dataChanged();   // rows were added, removed or replaced
    void recordChanged(); // the current record moved, or a value of it changed
    void stateChanged();
    // Row-level changes, sent at once even while the controls are disabled, so that a view
    // can follow an insert, delete or post without resetting. Rows are 0-based. Rows added
    // by fetching further blocks are announced by dataChanged() alone (fetchedCount grows).
    void rowsAboutToBeInserted(int first, int last);
    void rowsInserted(int first, int last);
    void rowsAboutToBeRemoved(int first, int last);
    void rowsRemoved(int first, int last);
    void rowChanged(int row); // a posted row was replaced by the server's values

protected:
    // Used by Query: takes a first result (a block fetched from a cursor, or the complete
    // result) and opens the data set on it.
    struct Source {
        QByteArray cursor; // empty: the result is complete
        bool hold = false; // the cursor survives the end of its block
        bool ownBlock = false;
        quint64 generation = 0; // the caller's block, or the layer's own block, it was declared in
    };
    void openOn(Connection *conn, detail::ResultPtr first, const Source &source);
    void setConnectionInternal(Connection *conn) { FConn = conn; }

private:
    friend class Field;
    friend class Connection;
    struct Row {
        quint32 block;
        quint32 index;
        quint64 id;
    };
    static QByteArray quoteIdent(Connection *c, const QString &name);
    void connectionGone(); // the connection closed: keep the rows, lose the cursor
    QString displayTextOf(int row, const Field &f, QByteArrayView v, bool null) const;
    QString decodeCell(int row, int col, QByteArrayView v) const;
    int findRow(const Bookmark &mark) const;
    void checkBrowse(); // posts a pending edit before moving
    void throwLost() const;
    [[noreturn]] static void throwFieldRange(int col);
    // The libpq result and row index of the current record while it is browsed as fetched,
    // or null (editing, a pending row, no rows, a column out of range): the fast path of
    // Field::raw() and Field::isNull().
    pg_result *browsedRow(int col, int &index) const
    {
        if (FState != State::Browse || std::size_t(FCurrent) >= FRows.size() || unsigned(col) >= FFields.size())
            return nullptr;
        const Row &r = FRows[std::size_t(FCurrent)];
        if (r.block == PendingBlock)
            return nullptr;
        index = int(r.index);
        return FBlocks[r.block].get();
    }
    // The condition that finds a row again by its values, the WHERE of a change built on
    // it, and the refusal when a result that hides columns matches more than one row.
    QByteArray rowCondition(const Row &row, std::vector<unsigned> &types,
                            std::vector<std::optional<QByteArray>> &values) const;
    QByteArray identityWhere(const Row &row, std::vector<unsigned> &types,
                             std::vector<std::optional<QByteArray>> &values) const;
    void requireSingleMatch(const Row &row);
    QByteArray returningList() const;
    detail::ResultPtr runChange(const QByteArray &sql, const std::vector<unsigned> &types,
                                const std::vector<std::optional<QByteArray>> &values);
    static constexpr quint32 PendingBlock = 0xffffffffu;
    using OptBytes = std::optional<QByteArray>;

    pg_result *blockOf(const Row &row) const { return FBlocks[row.block].get(); }
    const Row &rowAt(int row) const;
    void requireActive() const;
    void requireRecord() const;
    void setupFields(const pg_result *res);
    void resolveUpdatable();
    void addBlock(detail::ResultPtr res, const QByteArray &codec);
    bool fetchBlock();
    bool sendFetch();
    void collectFetch();
    void prefetch();
    void closeCursor();
    void releaseResult();
    void emitData();
    void emitRecord();
    void setState(State s);
    void beginEditBuffer();
    QByteArrayView currentRaw(int col) const;
    bool currentIsNull(int col) const;
    void setBuffer(int col, OptBytes value);
    quint64 newId() { return ++FIdCounter; }

    Connection *FConn = nullptr;
    State FState = State::Inactive;
    std::vector<Field> FFields; // reserved to its size at setup: Field references stay valid
    std::vector<detail::ResultPtr> FBlocks;
    std::vector<QByteArray> FBlockCodec; // per block: the encoding it arrived in
    std::vector<Row> FRows;
    int FCurrent = 0;
    bool FEof = true;
    bool FBof = true;
    bool FFetchedAll = true;
    int FFetchRows = 1000;
    int FNextFetch = 1000;
    int FMaxFetchRows = 0;
    Source FSource;
    int FDisabled = 0;
    bool FPendingData = false;
    bool FPendingRecord = false;
    quint64 FIdCounter = 0;
    // editing
    bool FReadOnly = false;
    bool FUpdatable = false;
    bool FUpdatableKnown = false;
    QString FLost; // why the rest of the result can no longer be fetched
    detail::ResultPtr FFetched; // a block fetched ahead, not yet added
    QByteArray FFetchedCodec;   // the encoding it arrived in
    QString FFetchError;        // why the block fetched ahead failed
    int FFetchWanted = 0;
    bool FFetchGuarded = false;
    QString FTableSchema, FTableName;
    std::vector<QString> FColumnNames;  // attribute names in the base table, per field
    std::vector<bool> FHasEquality;     // per field: the type has an equality operator
    bool FCoversTable = false;          // the fields show every column of the base table
    std::vector<std::optional<OptBytes>> FBuffer; // pending values (unset / NULL / bytes)
    int FInsertAt = -1; // row index of a record being inserted
};

} // namespace db
