#pragma once
// The table model over one data set, shared by the row-wise and the column-wise data grid:
// one model row per record, one model column per field of the data set. Values are read from
// the data set's results when a cell is painted; the model keeps no copy and no grid state.
// Rows fetched by any path (scrolling, navigation, fetchAll) are announced by one insert; an
// insert, delete or post of one record changes one row and never resets the model.
#include <QAbstractTableModel>
#include <QPointer>

namespace db {
class DataSet;
}

class TkdDataSetModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Roles {
        NullRole = Qt::UserRole + 1, // true for a NULL value (shown empty, like '')
    };
    // Longest display text a cell paints; longer values and the lines after the first are
    // cut before painting, so a huge or multi-line value paints quickly on one line.
    static constexpr int MaxDisplayChars = 1000;

    explicit TkdDataSetModel(db::DataSet *ADataSet, QObject *AParent = nullptr);
    ~TkdDataSetModel() override;

    db::DataSet *DataSet() const { return FDataSet; }

    int rowCount(const QModelIndex &AParent = QModelIndex()) const override;
    int columnCount(const QModelIndex &AParent = QModelIndex()) const override;
    QVariant data(const QModelIndex &AIndex, int ARole = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &AIndex, const QVariant &AValue, int ARole = Qt::EditRole) override;
    QVariant headerData(int ASection, Qt::Orientation AOrientation, int ARole = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &AIndex) const override;
    bool canFetchMore(const QModelIndex &AParent) const override;
    void fetchMore(const QModelIndex &AParent) override;

    // The edit text of a cell: the whole value (hexadecimal digits for binary data); empty
    // for NULL.
    QString EditText(int ARow, int ACol) const;
    // The display text cut for painting.
    QString DisplayText(int ARow, int ACol) const;
    bool IsNull(int ARow, int ACol) const;

    // Makes the rows fetched so far known to the views (one insert).
    void SyncRowCount();
    // The last error of an on-demand fetch (connection or cursor lost); empty when none.
    QString FetchError() const { return FFetchError; }

Q_SIGNALS:
    // Fetching more rows failed; the rows shown stay. Sent once per failure.
    void FetchFailed(const QString &AMessage);

private:
    void Attach();
    void Reset();
    void DataChanged();
    void RowsAboutToBeInserted(int AFirst, int ALast);
    void RowsInserted(int AFirst, int ALast);
    void RowsAboutToBeRemoved(int AFirst, int ALast);
    void RowsRemoved(int AFirst, int ALast);
    void RowChanged(int ARow);
    bool IsEditedRow(int ARow) const;

    QPointer<db::DataSet> FDataSet;
    int FRows = 0;    // rows announced to the views
    int FColumns = 0; // fields announced to the views
    bool FInserting = false;
    bool FRemoving = false;
    mutable QString FFetchError;
    bool FFetchFailed = false;
};
