// Object list of the connection window: model, view and fill.
#include "browser/objlist.h"
#include "browser/objtree.h"

#include "controls/kdcomctrls.h"
#include "controls/kdstdctl.h"
#include "core/kdcallwait.h"
#include "core/kdconnservices.h"
#include "core/kdforms.h"
#include "core/kdreg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_service.h"
#include "core/kdsub_text.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <numeric>
#include <chrono>
#include <future>
#include <thread>
#include <variant>

namespace {

// Before a wait for more rows, the rows read so far are shown and Esc looked for once this
// much has passed since the last look.
constexpr int kFillPollBeforeWaitMs = 15;

QString objectLayoutKey()
{
    return QString::fromUtf16(kMainKey) + QStringLiteral("\\GUI\\OBJECT");
}

// The wait cursor of one fill, restored however the fill ends.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

// ---- model ----------------------------------------------------------------------------------

TObjectListModel::TObjectListModel(QObject *AParent) : QAbstractTableModel(AParent) {}

void TObjectListModel::SetColumns(const QList<TObjListColumn> &Columns)
{
    beginResetModel();
    std::vector<TObjListRow> old;
    old.swap(FRows);
    FColumns = Columns;
    endResetModel();
    // Freeing the texts of a list of 100,000 objects takes long enough to stall the window
    // before the next fill starts; no one else holds those rows, so another thread frees them.
    if (old.size() > 20000)
        std::thread([rows = std::move(old)]() mutable { rows.clear(); }).detach();
}

void TObjectListModel::Clear() { SetColumns({}); }

void TObjectListModel::AppendRows(std::vector<TObjListRow> &&Rows)
{
    if (Rows.empty())
        return;
    const int first = int(FRows.size());
    beginInsertRows(QModelIndex(), first, first + int(Rows.size()) - 1);
    FRows.insert(FRows.end(), std::make_move_iterator(Rows.begin()),
                 std::make_move_iterator(Rows.end()));
    endInsertRows();
    Rows.clear();
}

QString TObjectListModel::SubItem(int ARow, int AIndex) const
{
    if (ARow < 0 || ARow >= int(FRows.size()))
        return QString();
    const TObjListRow &r = FRows[size_t(ARow)];
    return AIndex < 0 ? r.Caption : r.SubItems.value(AIndex);
}

int TObjectListModel::rowCount(const QModelIndex &AParent) const
{
    return AParent.isValid() ? 0 : int(FRows.size());
}

int TObjectListModel::columnCount(const QModelIndex &AParent) const
{
    return AParent.isValid() ? 0 : int(FColumns.size());
}

QVariant TObjectListModel::data(const QModelIndex &AIndex, int ARole) const
{
    if (!AIndex.isValid() || AIndex.row() >= int(FRows.size()) || AIndex.column() >= FColumns.size())
        return QVariant();
    const TObjListRow &r = FRows[size_t(AIndex.row())];
    switch (ARole) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::ToolTipRole:
        return AIndex.column() == 0 ? r.Caption : r.SubItems.value(AIndex.column() - 1);
    case Qt::DecorationRole:
        if (AIndex.column() == 0 && ImageOf)
            return ImageOf(r.ImageIndex);
        return QVariant();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(FColumns.at(AIndex.column()).Align | Qt::AlignVCenter));
    case Qt::UserRole:
        return r.ImageIndex;
    default:
        return QVariant();
    }
}

QVariant TObjectListModel::headerData(int ASection, Qt::Orientation AOrientation, int ARole) const
{
    if (AOrientation != Qt::Horizontal || ASection < 0 || ASection >= FColumns.size())
        return QVariant();
    if (ARole == Qt::DisplayRole)
        return FColumns.at(ASection).Caption;
    if (ARole == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(FColumns.at(ASection).Align | Qt::AlignVCenter));
    return QVariant();
}

Qt::ItemFlags TObjectListModel::flags(const QModelIndex &AIndex) const
{
    if (!AIndex.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
    if (AIndex.column() == 0 && CanEditCaption && CanEditCaption(AIndex.row()))
        f |= Qt::ItemIsEditable;
    return f;
}

bool TObjectListModel::setData(const QModelIndex &AIndex, const QVariant &AValue, int ARole)
{
    if (!AIndex.isValid() || AIndex.column() != 0 || ARole != Qt::EditRole || !CaptionEdited)
        return false;
    QString text = AValue.toString();
    if (!CaptionEdited(AIndex.row(), text))
        return false;
    SetCaption(AIndex.row(), text);
    return true;
}

void TObjectListModel::SetCaption(int ARow, const QString &Caption)
{
    if (ARow < 0 || ARow >= rowCount())
        return;
    FRows[size_t(ARow)].Caption = Caption;
    const QModelIndex i = index(ARow, 0);
    Q_EMIT dataChanged(i, i);
}

void TObjectListModel::RemoveRow(int ARow)
{
    if (ARow < 0 || ARow >= rowCount())
        return;
    beginRemoveRows(QModelIndex(), ARow, ARow);
    FRows.erase(FRows.begin() + ARow);
    endRemoveRows();
}

void TObjectListModel::sort(int AColumn, Qt::SortOrder AOrder)
{
    if (AColumn < 0 || AColumn >= FColumns.size() || FRows.size() < 2)
        return;
    const size_t n = FRows.size();
    std::vector<size_t> order(n);
    // Works out the new order without changing a row; false when the rows are in order.
    auto work = [&]() -> bool {
        std::iota(order.begin(), order.end(), size_t(0));
        auto text = [&](size_t i) -> const QString & {
            static const QString empty;
            const TObjListRow &r = FRows[i];
            if (AColumn == 0)
                return r.Caption;
            return AColumn - 1 < r.SubItems.size() ? r.SubItems.at(AColumn - 1) : empty;
        };
        const bool numeric = FColumns.at(AColumn).Align & Qt::AlignRight;
        const bool desc = AOrder == Qt::DescendingOrder;
        // A fill's rows may come in the order asked for already: one pass finds that out,
        // and a stable sort of rows in order would change nothing.
        auto orderBy = [&](auto less) {
            bool ordered = true;
            for (size_t i = 1; i < n && ordered; ++i)
                ordered = !less(i, i - 1);
            if (ordered)
                return false;
            std::stable_sort(order.begin(), order.end(), less);
            return true;
        };
        if (numeric) {
            std::vector<double> keys(n);
            for (size_t i = 0; i < n; ++i)
                keys[i] = KdNumberOfText(text(i));
            if (desc)
                return orderBy([&](size_t a, size_t b) { return keys[b] < keys[a]; });
            return orderBy([&](size_t a, size_t b) { return keys[a] < keys[b]; });
        }
        // Text compares as the tree orders names (CompareObjectNames), the same on every
        // locale: case folded first, then as written. The folded texts are made once, so
        // a list of 100,000 names sorts without folding each name at every comparison.
        std::vector<QString> folded(n);
        for (size_t i = 0; i < n; ++i)
            folded[i] = text(i).toCaseFolded();
        auto compare = [&](size_t a, size_t b) {
            const int c = folded[a].compare(folded[b], Qt::CaseSensitive);
            return c != 0 ? c : text(a).compare(text(b), Qt::CaseSensitive);
        };
        if (desc)
            return orderBy([&](size_t a, size_t b) { return compare(a, b) > 0; });
        return orderBy([&](size_t a, size_t b) { return compare(a, b) < 0; });
    };
    bool changed = false;
    if (WhileSorting && n > kSortAsideRows) {
        // A long sort runs on another thread that only reads the rows, while this one lets
        // the window paint (the caller makes sure nothing changes the rows meanwhile).
        auto done = std::async(std::launch::async, work);
        while (done.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
            WhileSorting();
        changed = done.get();
    } else {
        changed = work();
    }
    if (!changed)
        return;
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<TObjListRow> sorted;
    sorted.reserve(n);
    std::vector<int> newPos(n);
    for (size_t i = 0; i < n; ++i) {
        newPos[order[i]] = int(i);
        sorted.push_back(std::move(FRows[order[i]]));
    }
    FRows.swap(sorted);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &idx : from)
        to << index(newPos[size_t(idx.row())], idx.column());
    changePersistentIndexList(from, to);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

// ---- view -----------------------------------------------------------------------------------

TObjectListView::TObjectListView(QWidget *AParent)
    : QTreeView(AParent), FModel(new TObjectListModel(this))
{
    setObjectName(QStringLiteral("lstObject"));
    setModel(FModel);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // A click on the caption of the current row starts the rename; the model decides.
    setEditTriggers(QAbstractItemView::SelectedClicked);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setSortIndicator(0, Qt::AscendingOrder);
    setSortingEnabled(true);
}

void TObjectListView::SetStyle(TListStyle Style)
{
    FStyle = Style;
    const bool list = Style == TListStyle::List;
    setHeaderHidden(list);
    for (int c = 1; c < FModel->columnCount(); ++c)
        setColumnHidden(c, list);
}

void TObjectListView::SetRowSelect(bool On)
{
    setSelectionBehavior(On ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
}

QList<int> TObjectListView::SelectedRows() const
{
    // Read from the selection's ranges: a list of tens of thousands of selected rows would
    // otherwise be walked cell by cell with a linear search per cell.
    QList<int> rows;
    for (const QItemSelectionRange &r : selectionModel()->selection())
        for (int row = r.top(); row <= r.bottom(); ++row)
            rows << row;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

// ---- pane -----------------------------------------------------------------------------------

TObjectListPane::TObjectListPane(TkdConnServices *Conn, QWidget *AParent)
    : QWidget(AParent), FConn(Conn)
{
    auto *box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);

    pnlFind = new QWidget(this);
    pnlFind->setObjectName(QStringLiteral("pnlFind"));
    auto *findBox = new QHBoxLayout(pnlFind);
    findBox->setContentsMargins(2, 2, 2, 2);
    btnWhere = new QToolButton(pnlFind);
    btnWhere->setObjectName(QStringLiteral("btnWhere"));
    btnWhere->setToolTip(QStringLiteral("オブジェクト名検索"));
    btnWhere->setProperty("ImageIndex", 23);
    btnGrep = new QToolButton(pnlFind);
    btnGrep->setObjectName(QStringLiteral("btnGrep"));
    btnGrep->setProperty("ImageIndex", 24);
    cmbFind = new TkdComboBox(pnlFind);
    cmbFind->setObjectName(QStringLiteral("cmbFind"));
    cmbFind->setEditable(true);
    cmbFind->setMaxVisibleItems(20);
    cmbFind->installEventFilter(this);
    if (cmbFind->lineEdit())
        cmbFind->lineEdit()->installEventFilter(this);
    findBox->addWidget(btnWhere);
    findBox->addWidget(btnGrep);
    findBox->addWidget(cmbFind, 1);
    box->addWidget(pnlFind);
    pnlFind->setVisible(TkdOption::Global().Find);

    lstObject = new TObjectListView(this);
    lstObject->SetRowSelect(TkdOption::Global().RowSelect);
    box->addWidget(lstObject, 1);

    // The list's change notification: the status bar's object count (not while a fill runs).
    connect(lstObject->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!FFilling)
            Q_EMIT DefMessage(lstObject->Model()->rowCount());
    });
    connect(btnWhere, &QToolButton::clicked, this, &TObjectListPane::FindRequested);
    connect(btnGrep, &QToolButton::clicked, this, &TObjectListPane::GrepRequested);
    connect(cmbFind, &TkdComboBox::entered, this, [this] {
        cmbFind->SetCharCase(TkdOption::Global().UseLowerName ? ecNormal : ecLowerCase);
    });
    cmbFind->SetCharCase(TkdOption::Global().UseLowerName ? ecNormal : ecLowerCase);
}

bool TObjectListPane::eventFilter(QObject *AWatched, QEvent *AEvent)
{
    if (AEvent->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(AEvent)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Q_EMIT FindRequested();
            return true;
        }
    }
    return QWidget::eventFilter(AWatched, AEvent);
}

void TObjectListPane::SetImages(std::function<QIcon(int)> ImageOf)
{
    lstObject->Model()->ImageOf = ImageOf;
    if (ImageOf)
        for (QToolButton *b : {btnWhere, btnGrep})
            b->setIcon(ImageOf(b->property("ImageIndex").toInt()));
}

void TObjectListPane::LoadFindHistory()
{
    QStringList items;
    try {
        LoadWhereHistory(QStringLiteral("%"), QStringLiteral("%"), items);
    } catch (const std::exception &) {
        items.clear(); // no history file folder: start without history
    }
    const QString text = cmbFind->currentText();
    cmbFind->clear();
    cmbFind->addItems(items);
    cmbFind->setEditText(text);
}

void TObjectListPane::SaveColumnWidths()
{
    TObjectListModel *m = lstObject->Model();
    if (m->columnCount() == 0)
        return;
    TkdRegistry reg(HKEY_CURRENT_USER);
    if (!reg.OpenKey(objectLayoutKey(), true))
        return;
    // Each width under the value name the layout reads it from, so that it comes back to
    // the column it was set on (the layouts without tree data name their columns apart from
    // their positions).
    const QList<TObjListColumn> &columns = m->Columns();
    for (int c = 0; c < m->columnCount() && c < columns.size(); ++c)
        if (!lstObject->isColumnHidden(c) && !columns.at(c).WidthValue.isEmpty())
            reg.WriteInteger(columns.at(c).WidthValue, lstObject->columnWidth(c));
    reg.CloseKey();
}

void TObjectListPane::ApplyColumns(const QList<TObjListColumn> &Columns)
{
    lstObject->Model()->SetColumns(Columns);
    TkdRegistry reg(HKEY_CURRENT_USER);
    const bool open = reg.OpenKey(objectLayoutKey(), true);
    for (int c = 0; c < Columns.size(); ++c) {
        const int w = open ? reg.GetInteger(Columns.at(c).WidthValue, Columns.at(c).DefaultWidth)
                           : Columns.at(c).DefaultWidth;
        lstObject->setColumnWidth(c, w);
    }
    if (open)
        reg.CloseKey();
    lstObject->SetStyle(lstObject->Style());
}

void TObjectListPane::UpdateFindHistory(const QString &Text)
{
    const int found = IndexOfComboItem(cmbFind, Text);
    if (found < 0)
        cmbFind->insertItem(0, Text);
    else if (found > 0) {
        cmbFind->removeItem(found);
        cmbFind->insertItem(0, Text);
    }
    cmbFind->setCurrentIndex(0);
    QStringList items;
    for (int i = 0; i < cmbFind->count() && i < 20; ++i)
        items << cmbFind->itemText(i);
    try {
        SaveWhereHistory(QStringLiteral("%"), QStringLiteral("%"), items);
    } catch (const std::exception &) {
        // The history file cannot be written: the search itself still runs.
    }
}

void TObjectListPane::ShowObject(bool IsGrep, const TTreeSelection &Node, int Disp)
{
    if (FFilling) {
        // Asked from inside the running fill (its waits let timers and posted events
        // through): that fill stops, and this one runs once it has unwound.
        FDeferredFill = TDeferredFill{IsGrep, Node, Disp};
        StopFill();
        return;
    }
    WaitCursor wait;
    SaveColumnWidths();
    lstObject->Model()->Clear();

    const TkdOption &opt = TkdOption::Global();
    const QString login = FConn ? FConn->CurrentSchema() : QString();
    const TListFilter f = ChooseListFilter(Node.Level, Node.Order, Node.Text, Node.ParentText, Disp,
                                           login, opt.ShowLevel0, opt.ShowLevel1);
    if (!f.Fill) {
        Q_EMIT DefMessage(0);
        return;
    }
    const QStringList stored =
        ReadStoredSchemas(FConn ? FConn->ConnectionParam(QStringLiteral("Database")) : QString());
    const QString C = SchemaCondition(f.S, Disp, stored);
    QString N = QStringLiteral("%");
    const QString findText = cmbFind->currentText();
    if (opt.Find && !findText.isEmpty() && !IsGrep) {
        N = NamePattern(findText, opt.FindAuto);
        UpdateFindHistory(findText);
    }
    FTreeDispState = f.T;
    const QStringList sql = ObjectListQuery(f.T, opt.TreeData, C, N, FConn ? FConn->DBVer() : 0);
    ApplyColumns(ObjectListColumns(f.T, opt.TreeData));
    FViewType = ObjectListViewType(f.T, opt.TreeData);
    FillRows(f.T, sql, C);
}

void TObjectListPane::StopFill()
{
    if (!FFilling)
        return;
    FStopRequested = true;
    db::Connection *conn = FConn ? FConn->dbsMain() : nullptr;
    if (conn && conn->isBusy())
        conn->cancel(); // the waiting call ends with Kind::Cancelled, which ends the fill
}

void TObjectListPane::FillRows(const QString &T, const QStringList &Sql, const QString &C)
{
    const TkdOption &opt = TkdOption::Global();
    TObjectListModel *model = lstObject->Model();
    db::Connection *conn = FConn ? FConn->dbsMain() : nullptr;
    if (!conn)
        return;
    FFilling = true;
    FStopRequested = false;
    // The waits for the server (the list comes in one answer once the server has read it
    // whole) hand the event loop over early and often, so the window keeps painting.
    const int oldWaitDelay = conn->setCallWaitDelay(db::kFillCallWaitDelayMs);
    Q_EMIT LoopMessage(0, 0);
    const bool paint = opt.Progress;
    if (!paint)
        lstObject->setUpdatesEnabled(false);
    std::vector<TObjListRow> pending;
    auto flush = [&] { model->AppendRows(std::move(pending)); };
    db::Query q(conn);
    q.setParamCreation(false);
    struct Finish {
        TObjectListPane *p;
        db::Query &q;
        db::Connection *conn;
        int oldWaitDelay;
        bool paint;
        ~Finish()
        {
            try {
                q.close();
            } catch (const std::exception &) {
                // The connection went away during the fill: nothing left to close.
            }
            conn->setCallWaitDelay(oldWaitDelay);
            QHeaderView *h = p->lstObject->header();
            // The rows stay as they are while the sort waits (a second fill waits for this
            // one, the window's close too), so the window keeps painting meanwhile.
            TObjectListModel *m = p->lstObject->Model();
            m->WhileSorting = [] { PumpEventsDroppingInput(); };
            m->sort(h->sortIndicatorSection(), h->sortIndicatorOrder());
            m->WhileSorting = nullptr;
            if (!paint)
                p->lstObject->setUpdatesEnabled(true);
            p->FFilling = false;
            p->FStopRequested = false;
            Q_EMIT p->DefMessage(p->lstObject->Model()->rowCount());
            Q_EMIT p->FillEnded();
            if (p->FDeferredFill) {
                const TDeferredFill next = *p->FDeferredFill;
                p->FDeferredFill.reset();
                QTimer::singleShot(0, p, [p = p, next] {
                    GuardedCall([&] { p->ShowObject(next.IsGrep, next.Node, next.Disp); });
                });
            }
        }
    } finish{this, q, conn, oldWaitDelay, paint};

    QElapsedTimer tick;
    tick.start();
    bool escaped = false;
    // Shows the rows read so far and looks for Esc, about FPollInterval ms apart.
    auto poll = [&](int count, int interval) {
        if (interval > 0 && tick.elapsed() < interval)
            return false;
        // Rows go to the view when as many have come as it holds: each addition lays out
        // every row of the view again, so additions of doubling size keep that work in
        // proportion to the list while the first screenful still shows at once.
        if (pending.size() >= std::size_t(model->rowCount()))
            flush();
        Q_EMIT LoopMessage(count, 0);
        tick.restart();
        return escaped = EscapePressed() || FStopRequested;
    };

    TObjListFillContext ctx;
    ctx.T = T;
    ctx.TreeData = opt.TreeData;
    ctx.LoginSchema = FConn->CurrentSchema();
    ctx.UseLowerName = opt.UseLowerName;
    TTypeNameMap types;
    ctx.Types = &types;
    try {
        // The type names of the argument types, read once for the whole fill.
        if (T == QLatin1String("FUNCTION") || T == QLatin1String("%")) {
            q.setSql(TypeNameMapSQL());
            q.open();
            for (int r = 0;; ++r) {
                if (r >= q.fetchedCount() && !q.fetchMore())
                    break;
                types.insert(q.valueString(r, 0).toUInt(), {q.valueString(r, 1), q.valueString(r, 2)});
                if ((r & 1023) == 0 && poll(0, FPollInterval))
                    break;
            }
            q.close();
        }
        // Sequence values: one statement for all sequences where the catalog holds them.
        QHash<QString, QStringList> sequences;
        bool lookupsPerRow = false; // a statement per sequence row
        db::Query seq(conn);
        seq.setParamCreation(false);
        if (T == QLatin1String("SEQUENCE") && opt.TreeData) {
            const int ver = FConn->DBVer();
            if (SequenceValuesInCatalog(ver)) {
                try {
                    seq.setSql(SequenceValuesSQL(C));
                    seq.open();
                    seq.fetchAll();
                    for (int r = 0; r < seq.fetchedCount(); ++r) {
                        QStringList v;
                        for (int c = 2; c < 8; ++c)
                            v << seq.valueString(r, c);
                        sequences.insert(seq.valueString(r, 0) + QChar(0) + seq.valueString(r, 1), v);
                    }
                } catch (const db::Error &e) {
                    if (e.kind == db::Error::Kind::Cancelled)
                        throw; // Esc or a stop: the whole fill ends
                    sequences.clear(); // values stay empty
                } catch (const std::exception &) {
                    sequences.clear();
                }
                seq.close();
                ctx.SequenceValues = [&sequences](const QString &s, const QString &n) {
                    return sequences.value(s + QChar(0) + n);
                };
            } else {
                lookupsPerRow = true;
                ctx.SequenceValues = [&seq](const QString &s, const QString &n) {
                    QStringList v;
                    try {
                        seq.setSql(SequenceRowSQL(s, n));
                        seq.open();
                        if (!seq.isEmpty())
                            for (int c = 0; c < 6; ++c)
                                v << seq.valueString(0, c);
                    } catch (const db::Error &e) {
                        if (e.kind == db::Error::Kind::Cancelled)
                            throw;
                        v.clear(); // a sequence the user may not read
                    } catch (const std::exception &) {
                        v.clear();
                    }
                    seq.close();
                    return v;
                };
            }
        }
        if (escaped || FStopRequested)
            return;

        // One plain query whose rows are converted and shown while the server still sends
        // them: no cursor (the list's statement calls obj_description for every row, which
        // the server spreads over parallel workers only for a plain query), and the rows
        // before a wait for more are shown and Esc looked for first, so that the wait and
        // the work before it never add up to a stall.
        int row = 0;
        bool first = true;
        // Sequence values read one statement per row cannot be asked for while the list's
        // statement is still on its way: such rows are kept as texts and converted after.
        std::vector<QStringList> held;
        auto take = [&](const db::RowView &r) {
            if (lookupsPerRow) {
                QStringList texts;
                for (int c = 0; c < r.fieldCount(); ++c)
                    texts << r.text(c);
                held.push_back(std::move(texts));
            } else {
                pending.push_back(ConvertObjectListRow(ctx, r.fieldCount(), [&r](int k) { return r.text(k - 1); }));
            }
            ++row;
            if (first) {
                // The first rows show at once.
                first = false;
                flush();
                if (EscapePressed() || FStopRequested)
                    return !(escaped = true);
                tick.restart();
                return true;
            }
            return !poll(row, FPollInterval);
        };
        auto beforeWait = [&] { return first || !poll(row, std::min(FPollInterval, kFillPollBeforeWaitMs)); };
        conn->streamRows(Sql.join(QLatin1Char('\n')), take, beforeWait);
        for (std::size_t i = 0; i < held.size() && !escaped; ++i) {
            const QStringList &texts = held[i];
            pending.push_back(ConvertObjectListRow(ctx, int(texts.size()), [&texts](int k) { return texts.value(k - 1); }));
            if (poll(int(i) + 1, FPollInterval))
                break;
        }
        flush();
    } catch (const db::Error &e) {
        flush();
        // Esc during a wait for the server, or a close of the connection, cancelled the
        // statement: the fill stops as with Esc and keeps the rows read so far.
        if (e.kind != db::Error::Kind::Cancelled)
            throw;
    } catch (...) {
        flush();
        throw;
    }
}
