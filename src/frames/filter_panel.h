#pragma once
// The filter panel above the data page of the table and view editors: a grid with one row per
// column for conditions (＝, ＜＞, ≦, ≧, LIKE) and a sort order, a free condition with its
// history, the row limit, and buttons to run, to choose the shown columns, to show or hide
// the grid, to clear it and to copy the SELECT to the clipboard.
//
// The SELECT text and the carry-over of the grid between loads are plain functions
// (`BuildFilterSelect`, `CarryOverFilterRows`); the widget only maps its controls to them.
// The two editors differ in five points, given by `TFilterStyle`.
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>

class QAction;
class QLabel;
class QToolBar;
class TkdComboBox;
class TkdConnForm;
class TkdNumEdit;
class TkdStringGrid;

// Where the table and the view editor differ.
struct TFilterStyle {
    int PanelHeight = 120;          // designed height of the panel with the grid (view: 130)
    bool ExecAsCaption = false;     // "データを表示" as the run button's caption, not its hint (view)
    bool PatternWrap = true;        // a LIKE value without % and _ becomes '%value%' (table)
    bool NationalTypes = true;      // national character types and arrays of character
                                    // types are auto-quoted too (table)
    static TFilterStyle Table() { return TFilterStyle(); }
    static TFilterStyle View()
    {
        TFilterStyle s;
        s.PanelHeight = 130;
        s.ExecAsCaption = true;
        s.PatternWrap = false;
        s.NationalTypes = false;
        return s;
    }
};

// Cells of a grid row after the column name.
enum TFilterCell { fcEqual = 0, fcNotEqual, fcLower, fcUpper, fcLike, fcSort, fcCount };

struct TFilterRow {
    QString Column;
    QStringList Cells = QStringList(fcCount, QString()); // fcEqual .. fcSort
    bool operator==(const TFilterRow &) const = default;
};

struct TFilterColumn {
    QString Name;
    QString Type; // as the column grid shows it ("character varying", "text", ...)
};

// True for the types whose conditions are quoted automatically.
bool IsFilterCharacterType(const QString &Type, const TFilterStyle &Style);

// The grid after a load: one row per column; a column found among the previous rows (first
// match, case-insensitive) keeps its cells, others start empty; with AutoQuote the condition
// cells of character columns that do not start with a quote are quoted (the table's LIKE
// value without % or _ wrapped in %...% first). Cells holding only blanks count as empty.
QList<TFilterRow> CarryOverFilterRows(const QList<TFilterRow> &Previous, const QList<TFilterColumn> &Columns,
                                      bool AutoQuote, const TFilterStyle &Style);

// The SELECT text of the shown columns (all quoted), the conditions of the rows, the free
// condition `Where` and the sort. The sort cells of `Rows` are rewritten as the grid then
// shows them: rank 1, 2, ... (with " DESC") for sorted rows, empty for the others. No row limit.
QString BuildFilterSelect(const QString &Schema, const QString &Name, const QStringList &Columns,
                          QList<TFilterRow> &Rows, const QString &Where);

// Moves Text to the top of a history list (a case-insensitive duplicate removed), at most 20.
void PushFilterHistory(QStringList &Items, const QString &Text);

class TfraFilterPanel : public QWidget
{
    Q_OBJECT
public:
    explicit TfraFilterPanel(const TFilterStyle &Style, QWidget *Parent = nullptr);

    // The object whose rows are shown: the history of its free conditions is read.
    void SetObject(TkdConnForm *Owner, const QString &Schema, const QString &Name);
    // After each load of the definition: the grid takes the columns (carry-over), and the
    // shown columns lose the ones that are gone (all columns when none is left).
    void SetColumns(const QList<TFilterColumn> &Columns);
    // The SELECT text for the data frame. Shows "表示件数には1以上の整数を入力して下さい。"
    // and ends with the silent abort for a row limit that is not a positive integer; moves a
    // free condition to the top of the history.
    QString GetSelectSQL();
    // The row limit; none when the box is empty.
    std::optional<int> RowLimit() const;
    void SetRowLimit(int Rows);
    const QStringList &ShownColumns() const { return FShowFld; }
    void SetShownColumns(const QStringList &Columns) { FShowFld = Columns; }
    // Grid rows as they stand (for the host's tests and for carry-over).
    QList<TFilterRow> Rows() const;
    void SetRows(const QList<TFilterRow> &Rows);

    // The column picker of the host (the frame layer has none of its own): edits the shown
    // columns in place.
    std::function<void(QStringList &Columns)> OnChooseColumns;

    // Handlers.
    void btnWhereClick();
    void btnGrdWhereClearClick();
    void btnExecSQLClick();
    void btnFieldClick();

    QToolBar *tolField = nullptr;
    QAction *btnExec = nullptr;
    QAction *btnField = nullptr;
    QAction *btnWhere = nullptr;
    QAction *btnGrdWhereClear = nullptr;
    QAction *btnExecSQL = nullptr;
    QWidget *pnlWhere3 = nullptr;
    TkdComboBox *cmbWhere = nullptr;
    QLabel *lblRecord = nullptr;
    TkdNumEdit *txtRecord = nullptr;
    TkdStringGrid *grdWhere = nullptr;

signals:
    // The host reloads its data page: the run button, Enter in the condition or the row
    // limit, a new choice of columns.
    void ExecRequested();

protected:
    bool eventFilter(QObject *Watched, QEvent *Event) override;

private:
    TFilterStyle FStyle;
    TkdConnForm *FOwner = nullptr;
    QString FSchema, FName;
    QStringList FShowFld;
    QList<TFilterColumn> FColumns;
};
