#pragma once
// The result and table-data frame: the rows of one SELECT in the row-wise grid (grdData1) or
// the column-wise grid (grdData2), sorted by a clicked column, edited in place, with records
// inserted and deleted, long texts edited in "文字列の編集", dates in a calendar popup, column
// widths kept per table, clipboard copy, workbook output and column aggregates.
//
// The window that holds the frame tells it what it is through TkdDataFrameHost (the table
// and view editors, the SQL window, …); a window without it is "other": no row limit, no
// client-encoding statement, no stored widths, headings from the field names.
#include "frames/data_frame_host.h"

#include <QString>
#include <QWidget>
#include <optional>

class QAction;
class QMenu;
class QToolButton;
class QScrollArea;
class TkdDataSetModel;
class TkdDBGridV;
class TkdDBGridH;
class TkdDBGridBase;
class TkdConnForm;
struct TGridDrawState;
class QPainter;
class TkdLoopScope;

namespace db {
class Connection;
class Query;
class Field;
}

// The date editor laid over a cell: a calendar and a time box, opened at once.
class TkdDatePopup;

class TfraData : public QWidget
{
    Q_OBJECT
public:
    explicit TfraData(QWidget *AOwner = nullptr);
    ~TfraData() override;

    // ---- what the host sets --------------------------------------------------------------
    // The connection qryData runs on. Without one, Prepare takes the host window's
    // connection window's dbsMain.
    void SetConnection(db::Connection *AConnection);
    QString SQL() const { return FSQL; }
    void SetSQL(const QString &AText); // clears the frame's sort; runs nothing
    QString TableName() const { return FTableName; }
    void SetTableName(const QString &AName) { FTableName = AName; }
    bool GridType() const { return FGridType; }
    void SetGridType(bool AValue);

    // Loads FSQL with the frame's sort into qryData, read-only unless editing is on.
    void Prepare();
    // Runs it: the host's row limit and client encoding, the open, the column check.
    // Errors pass to the caller.
    void Open();

    // ---- commands -------------------------------------------------------------------------
    void btnUpdateClick();
    void btnGridTypeClick();
    void btnCopyClick();
    void btnExcelClick();
    void btnDelClick();
    void btnInsClick();
    void MoveTo(int AWhere); // 0 first, 1 previous, 2 next, 3 last
    // Sort by the item (column of grdData1, field row of grdData2) at AIndex.
    void SortBy(int AIndex);
    // One aggregate of the item the column menu was opened on: "COUNT", "SUM", "AVG",
    // "MAX", "MIN".
    void ShowAggregate(const QString &AFunction);
    // The text editor or the date popup for the selected cell.
    void EditCell();

    // ---- parts, for hosts and tests ------------------------------------------------------
    db::Query *qryData() const { return FQuery; }
    TkdDataSetModel *Model() const { return FModel; }
    TkdDBGridV *grdData1() const { return FGrid1; }
    TkdDBGridH *grdData2() const { return FGrid2; }
    TkdDBGridBase *VisibleGrid() const;
    QToolButton *btnUpdate() const { return FBtnUpdate; }
    QToolButton *Button(const QString &AName) const;
    QMenu *popRecord() const { return FPopRecord; }
    QMenu *popColumn() const { return FPopColumn; }
    TkdDatePopup *DatePopup() const { return FDatePopup; }
    int SortColumn() const { return FSort; }
    bool SortDescending() const { return FDesc; }
    // The item the column menu acts on (column of grdData1 or row of grdData2).
    int SelectedItem() const { return FSelectedItem; }
    void SetSelectedItem(int AIndex) { FSelectedItem = AIndex; }
    // The column-width file of the table (empty when the frame keeps no widths).
    QString WidthFile() const;

    // The clipboard text of the whole result (heading when AHeading), as the copy builds it.
    QString ResultText(bool AHeading, bool AComma, bool *AStopped = nullptr);
    // The cell text of a field at the current record, as copy and workbook output take it.
    static QString CellText(db::Field &AField, bool AForWorkbook);

private:
    // Fetches the rest of the result; false when Esc stopped it.
    bool FetchRest(TkdLoopScope &ALoop);
    void BuildToolBar();
    void BuildMenus();
    void AfterOpenClose();
    void BeforeClose();
    void UpdateButtons();
    void ApplyReadOnly();
    void LoadWidths();
    void StoreWidths();
    void DrawCell(QPainter *APainter, const QRect &ARect, db::Field *AField, int ARecord,
                  const TGridDrawState &AState, bool AColumnWise);
    void OpenDateEditor(db::Field *AField);
    QString HeadingOf(db::Field &AField, int ATitleMode) const;
    TkdDataFrameHost *Host() const;
    TDataHostKind HostKind() const;
    bool Guard(const std::function<void()> &AWork);
    void ChooseMenu(TkdDBGridBase *AGrid, const QPoint &APos);

    db::Query *FQuery;
    TkdDataSetModel *FModel;
    TkdDBGridV *FGrid1;
    TkdDBGridH *FGrid2;
    QWidget *FToolBar;
    QToolButton *FBtnUpdate;
    QMenu *FPopRecord;
    QMenu *FPopColumn;
    TkdDatePopup *FDatePopup;
    QString FSQL;
    QString FTableName;
    int FSort = 0;
    bool FDesc = false;
    bool FGridType = false;
    int FSelectedItem = 0;
};
