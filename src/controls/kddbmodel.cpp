#include "controls/kddbmodel.h"

#include "platform/db/dbdataset.h"
#include "platform/db/dberror.h"

TkdDataSetModel::TkdDataSetModel(db::DataSet *ADataSet, QObject *AParent)
    : QAbstractTableModel(AParent), FDataSet(ADataSet)
{
    Attach();
}

TkdDataSetModel::~TkdDataSetModel() = default;

void TkdDataSetModel::Attach()
{
    db::DataSet *ds = FDataSet;
    if (!ds)
        return;
    connect(ds, &db::DataSet::afterOpen, this, &TkdDataSetModel::Reset);
    connect(ds, &db::DataSet::beforeClose, this, [this] { beginResetModel(); FRows = FColumns = 0; });
    connect(ds, &db::DataSet::afterClose, this, [this] { endResetModel(); });
    connect(ds, &db::DataSet::dataChanged, this, &TkdDataSetModel::DataChanged);
    connect(ds, &db::DataSet::recordChanged, this, [this] {
        // The current record's values may have changed (typing into the edit buffer).
        if (FDataSet && FDataSet->isActive() && FRows > 0 && FColumns > 0) {
            const int row = FDataSet->recNo() - 1;
            if (row >= 0 && row < FRows)
                Q_EMIT dataChanged(index(row, 0), index(row, FColumns - 1));
        }
    });
    connect(ds, &db::DataSet::rowsAboutToBeInserted, this, &TkdDataSetModel::RowsAboutToBeInserted);
    connect(ds, &db::DataSet::rowsInserted, this, &TkdDataSetModel::RowsInserted);
    connect(ds, &db::DataSet::rowsAboutToBeRemoved, this, &TkdDataSetModel::RowsAboutToBeRemoved);
    connect(ds, &db::DataSet::rowsRemoved, this, &TkdDataSetModel::RowsRemoved);
    connect(ds, &db::DataSet::rowChanged, this, &TkdDataSetModel::RowChanged);
    connect(ds, &QObject::destroyed, this, [this] { beginResetModel(); FRows = FColumns = 0; endResetModel(); });
    Reset();
}

void TkdDataSetModel::Reset()
{
    beginResetModel();
    db::DataSet *ds = FDataSet;
    FRows = ds && ds->isActive() ? ds->fetchedCount() : 0;
    FColumns = ds && ds->isActive() ? ds->fieldCount() : 0;
    FFetchError.clear();
    FFetchFailed = false;
    endResetModel();
}

void TkdDataSetModel::SyncRowCount()
{
    db::DataSet *ds = FDataSet;
    if (!ds || !ds->isActive() || FInserting || FRemoving)
        return;
    const int count = ds->fetchedCount();
    if (count > FRows) {
        beginInsertRows(QModelIndex(), FRows, count - 1);
        FRows = count;
        endInsertRows();
    } else if (count < FRows) {
        // Rows were dropped behind the model's back (never by the layer's own signals).
        Reset();
    }
}

void TkdDataSetModel::DataChanged()
{
    SyncRowCount();
    if (FRows > 0 && FColumns > 0)
        Q_EMIT dataChanged(index(0, 0), index(FRows - 1, FColumns - 1));
}

void TkdDataSetModel::RowsAboutToBeInserted(int AFirst, int ALast)
{
    // Rows beyond those announced are part of the tail that is announced later.
    if (AFirst > FRows)
        return;
    FInserting = true;
    beginInsertRows(QModelIndex(), AFirst, ALast);
}

void TkdDataSetModel::RowsInserted(int AFirst, int ALast)
{
    if (!FInserting)
        return;
    FInserting = false;
    FRows += ALast - AFirst + 1;
    endInsertRows();
}

void TkdDataSetModel::RowsAboutToBeRemoved(int AFirst, int ALast)
{
    if (AFirst >= FRows)
        return;
    FRemoving = true;
    beginRemoveRows(QModelIndex(), AFirst, std::min(ALast, FRows - 1));
}

void TkdDataSetModel::RowsRemoved(int AFirst, int ALast)
{
    if (!FRemoving)
        return;
    FRemoving = false;
    FRows -= std::min(ALast, FRows - 1) - AFirst + 1;
    endRemoveRows();
}

void TkdDataSetModel::RowChanged(int ARow)
{
    if (ARow >= 0 && ARow < FRows && FColumns > 0)
        Q_EMIT dataChanged(index(ARow, 0), index(ARow, FColumns - 1));
}

int TkdDataSetModel::rowCount(const QModelIndex &AParent) const
{
    return AParent.isValid() ? 0 : FRows;
}

int TkdDataSetModel::columnCount(const QModelIndex &AParent) const
{
    return AParent.isValid() ? 0 : FColumns;
}

bool TkdDataSetModel::IsEditedRow(int ARow) const
{
    const db::DataSet *ds = FDataSet;
    return ds->state() == db::DataSet::State::Edit && ARow == ds->recNo() - 1;
}

bool TkdDataSetModel::IsNull(int ARow, int ACol) const
{
    db::DataSet *ds = FDataSet;
    if (!ds || !ds->isActive() || ARow < 0 || ARow >= ds->fetchedCount() || ACol < 0 || ACol >= ds->fieldCount())
        return true;
    if (IsEditedRow(ARow))
        return ds->field(ACol).isNull();
    return ds->isNull(ARow, ACol);
}

QString TkdDataSetModel::EditText(int ARow, int ACol) const
{
    db::DataSet *ds = FDataSet;
    if (!ds || !ds->isActive() || ARow < 0 || ARow >= ds->fetchedCount() || ACol < 0 || ACol >= ds->fieldCount())
        return QString();
    if (IsEditedRow(ARow))
        return ds->field(ACol).text();
    return ds->displayText(ARow, ACol);
}

QString TkdDataSetModel::DisplayText(int ARow, int ACol) const
{
    QString text = EditText(ARow, ACol);
    qsizetype cut = text.size() > MaxDisplayChars ? MaxDisplayChars : text.size();
    for (qsizetype i = 0; i < cut; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            cut = i;
            break;
        }
    }
    if (cut < text.size()) {
        text.truncate(cut);
        text += QChar(0x2026);
    }
    return text;
}

QVariant TkdDataSetModel::data(const QModelIndex &AIndex, int ARole) const
{
    if (!AIndex.isValid() || AIndex.row() >= FRows || AIndex.column() >= FColumns)
        return QVariant();
    try {
        switch (ARole) {
        case Qt::DisplayRole:
            return DisplayText(AIndex.row(), AIndex.column());
        case Qt::EditRole:
            return EditText(AIndex.row(), AIndex.column());
        case NullRole:
            return IsNull(AIndex.row(), AIndex.column());
        case Qt::TextAlignmentRole: {
            db::DataSet *ds = FDataSet;
            switch (ds->field(AIndex.column()).alignment()) {
            case db::Alignment::Right: return int(Qt::AlignRight | Qt::AlignVCenter);
            case db::Alignment::Center: return int(Qt::AlignHCenter | Qt::AlignVCenter);
            default: return int(Qt::AlignLeft | Qt::AlignVCenter);
            }
        }
        default:
            return QVariant();
        }
    } catch (const db::Error &) {
        return QVariant(); // painting never raises
    }
}

bool TkdDataSetModel::setData(const QModelIndex &AIndex, const QVariant &AValue, int ARole)
{
    db::DataSet *ds = FDataSet;
    if (ARole != Qt::EditRole || !AIndex.isValid() || !ds || !ds->isActive())
        return false;
    // Writes into the current record's edit buffer; the caller moves to the record first.
    if (AIndex.row() != ds->recNo() - 1)
        ds->setRecNo(AIndex.row() + 1);
    db::Field &field = ds->field(AIndex.column());
    const QString text = AValue.toString();
    if (field.text() == text && !(ds->state() == db::DataSet::State::Insert))
        return true;
    field.setText(text);
    Q_EMIT dataChanged(AIndex, AIndex);
    return true;
}

QVariant TkdDataSetModel::headerData(int ASection, Qt::Orientation AOrientation, int ARole) const
{
    db::DataSet *ds = FDataSet;
    if (ARole != Qt::DisplayRole || !ds || !ds->isActive())
        return QVariant();
    if (AOrientation == Qt::Horizontal)
        return ASection >= 0 && ASection < ds->fieldCount() ? ds->field(ASection).displayName() : QVariant();
    return QVariant();
}

Qt::ItemFlags TkdDataSetModel::flags(const QModelIndex &AIndex) const
{
    if (!AIndex.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool TkdDataSetModel::canFetchMore(const QModelIndex &AParent) const
{
    db::DataSet *ds = FDataSet;
    if (AParent.isValid() || !ds || !ds->isActive() || FFetchFailed)
        return false;
    return FRows < ds->fetchedCount() || !ds->fetchedAll();
}

void TkdDataSetModel::fetchMore(const QModelIndex &AParent)
{
    db::DataSet *ds = FDataSet;
    if (AParent.isValid() || !ds || !ds->isActive())
        return;
    if (FRows < ds->fetchedCount()) {
        SyncRowCount();
        return;
    }
    try {
        ds->fetchMore();
    } catch (const db::Error &e) {
        if (e.kind == db::Error::Kind::Refused)
            return; // the connection is busy in a call: asked again at the next scroll
        // Connection or cursor lost: the rows shown stay, the result is not complete, and
        // the view is told once instead of asking again at every scroll.
        FFetchFailed = true;
        FFetchError = e.message;
        Q_EMIT FetchFailed(e.message);
        return;
    }
    SyncRowCount();
}
