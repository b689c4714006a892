#pragma once
// The object list of a connection window: a model of our own over the rows of the catalog
// query (caption, image, sub-items in the fixed positions other windows read), a tree view
// in report or list style over it, and the right pane with the find bar that fills the
// list for the node selected in the object tree.
//
// A fill runs the list query behind a cursor and adds the rows in batches; with the option
// Progress on, the rows read so far are shown about ten times a second while the fill
// goes on. Esc stops the fill and keeps what was read.
#include "browser/objlistsql.h"
#include "browser/objtree.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QTreeView>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

class QToolButton;
class TkdComboBox;
class TkdConnServices;

class TObjectListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TObjectListModel(QObject *AParent = nullptr);

    // Replaces the columns and drops every row.
    void SetColumns(const QList<TObjListColumn> &Columns);
    const QList<TObjListColumn> &Columns() const { return FColumns; }
    // Drops every row and every column.
    void Clear();
    void AppendRows(std::vector<TObjListRow> &&Rows);

    const TObjListRow &Row(int ARow) const { return FRows[size_t(ARow)]; }
    // Caption (index -1) or sub-item of a row; empty beyond the sub-items.
    QString SubItem(int ARow, int AIndex) const;

    // The image of an image index.
    std::function<QIcon(int)> ImageOf;
    // Rename in place: whether a row's caption may be edited, and the edit's end (the new
    // text; false keeps the old caption). Without them captions are not editable.
    std::function<bool(int Row)> CanEditCaption;
    std::function<bool(int Row, QString &Text)> CaptionEdited;

    // Removes one row (a dropped object).
    void RemoveRow(int ARow);
    // Replaces the caption of a row.
    void SetCaption(int ARow, const QString &Caption);
    bool setData(const QModelIndex &AIndex, const QVariant &AValue, int ARole = Qt::EditRole) override;

    int rowCount(const QModelIndex &AParent = QModelIndex()) const override;
    int columnCount(const QModelIndex &AParent = QModelIndex()) const override;
    QVariant data(const QModelIndex &AIndex, int ARole = Qt::DisplayRole) const override;
    QVariant headerData(int ASection, Qt::Orientation AOrientation,
                        int ARole = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &AIndex) const override;
    // Stable sort by a column: right-aligned columns as numbers, the others as names
    // in the tree's order (CompareObjectNames). Persistent indexes (the selection) follow their rows.
    void sort(int AColumn, Qt::SortOrder AOrder = Qt::AscendingOrder) override;
    // Set by a caller that can keep the rows unchanged meanwhile: a sort of more than
    // kSortAsideRows rows runs on another thread and this is called about every 20 ms.
    std::function<void()> WhileSorting;
    static constexpr size_t kSortAsideRows = 20000;

private:
    QList<TObjListColumn> FColumns;
    std::vector<TObjListRow> FRows;
};

// Report style (columns with a header) or list style (the captions only).
enum class TListStyle { Report, List };

class TObjectListView : public QTreeView {
    Q_OBJECT
public:
    explicit TObjectListView(QWidget *AParent = nullptr);
    TObjectListModel *Model() const { return FModel; }

    TListStyle Style() const { return FStyle; }
    void SetStyle(TListStyle Style);
    // Whole-row selection (option RowSelect).
    void SetRowSelect(bool On);
    // Rows of the selection in list order.
    QList<int> SelectedRows() const;
    // True while a caption is being edited in place.
    bool Editing() const { return state() == QAbstractItemView::EditingState; }

private:
    TObjectListModel *FModel;
    TListStyle FStyle = TListStyle::Report;
};

// The right pane: the find bar pnlFind (btnWhere, btnGrep, cmbFind) above lstObject.
class TObjectListPane : public QWidget {
    Q_OBJECT
public:
    explicit TObjectListPane(TkdConnServices *Conn, QWidget *AParent = nullptr);

    // Rebuilds the list for the selected tree node. With IsGrep the find text is ignored.
    // Query errors end the fill (the rows read so far stay) and pass to the caller.
    // Asked while a fill runs (from a timer or the window's handling of an event that the
    // fill's waits let through), the running fill stops as with Esc and the new one runs
    // once it has returned; the latest such request wins.
    void ShowObject(bool IsGrep, const TTreeSelection &Node, int Disp);
    bool Filling() const { return FFilling; }
    // Asks a running fill to stop (the rows read so far stay); a statement the fill is
    // waiting for is cancelled on the server.
    void StopFill();

    // Sets the images of the rows and of the find-bar buttons.
    void SetImages(std::function<QIcon(int)> ImageOf);

    // Loads the find history at creation (most recent first).
    void LoadFindHistory();

    // How often (ms) a running fill shows its rows and looks for Esc; 0 after every row.
    void SetPollInterval(int Ms) { FPollInterval = Ms; }

    QString ViewType() const { return FViewType; }
    // The type filter of the last fill ("%" or a type name).
    QString TreeDispState() const { return FTreeDispState; }

    TObjectListView *lstObject = nullptr;
    QWidget *pnlFind = nullptr;
    QToolButton *btnWhere = nullptr;
    QToolButton *btnGrep = nullptr;
    TkdComboBox *cmbFind = nullptr;

    // Writes the widths of the list's columns under "GUI\OBJECT", each under the value name
    // its layout reads it from (a fill does it before it changes the layout; the window's
    // close does it for the last one).
    void SaveColumnWidths();

Q_SIGNALS:
    // The find button or Enter in the find box asks for a fill.
    void FindRequested();
    // The full-text search button.
    void GrepRequested();
    // Progress of a fill (rows so far, 0 for the Esc hint), and the object count after it.
    void LoopMessage(int Count, int Total);
    void DefMessage(int Count);
    // A fill has ended (also when it stopped early or failed).
    void FillEnded();

protected:
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
    void ApplyColumns(const QList<TObjListColumn> &Columns);
    void UpdateFindHistory(const QString &Text);
    void FillRows(const QString &T, const QStringList &Sql, const QString &C);

    TkdConnServices *FConn;
    QString FViewType;
    QString FTreeDispState;
    bool FFilling = false;
    bool FStopRequested = false;
    // A fill asked for while another ran: run after it.
    struct TDeferredFill {
        bool IsGrep = false;
        TTreeSelection Node;
        int Disp = 0;
    };
    std::optional<TDeferredFill> FDeferredFill;
    int FPollInterval = 50;
};
