#pragma once
// The SQL window: the user types SQL, chooses one of the open connections and runs the text
// statement by statement. Every row-returning statement shows its rows in a result tab of its
// own, every other statement reports the rows it touched; plan mode shows the plan of the
// first statement instead. Bind variables (":name") take their values from the grid beside the
// editor; every run records a changed text in the SQL history.
#include "core/kdforms.h"
#include "frames/data_frame_host.h"
#include "sqltools/sqlsplit.h"

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QStringList>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QSplitter;
class QTabWidget;
class QToolBar;
class QToolButton;
class TkdMemo;
class TkdStringGrid;
class TkdDBGridV;
class TkdDataSetModel;
namespace db { class Query; }

class TfraData;
class TfraExplan;

// One result of a run: a data frame in a tab. The first one is part of the window's layout;
// the others are made for the second and later row-returning statements.
class TSQLResultPane : public QWidget
{
    Q_OBJECT
public:
    explicit TSQLResultPane(QWidget *parent);
    ~TSQLResultPane() override;
    TfraData *Frame() const { return FFrame; }
    db::Query *Query() const;
    // Closes the query (the grids stay bound to the frame's model).
    void Release();
    void SetConnection(db::Connection *conn);
private:
    TfraData *FFrame;
};

class TfrmSQL : public TkdForm, public TkdDataFrameHost
{
    Q_OBJECT
public:
    // Builds the window for the connection window AOwner and shows it in the main window.
    explicit TfrmSQL(TkdConnForm *AOwner);
    ~TfrmSQL() override;

    // Runs the editor text (or the selection when the option asks).
    void actExecExecute();
    void actPrevExecute();
    void actNextExecute();
    void actLogExecute();
    // Puts the window into plan mode (down) or back into result mode.
    void btnExplanClick();

    void DBChange() override;
    void LoadWindowLayout() override;
    void SaveWindowLayout() override;
    void Activate() override;
    // The result frame's "read again" runs the editor text again.
    void DataReRead() override { actExecExecute(); }

    // Components.
    QToolBar *tolCmd = nullptr;
    QToolBar *tolOption = nullptr;
    QAction *actExec = nullptr, *actPrev = nullptr, *actNext = nullptr, *actLog = nullptr;
    QAction *actOpen = nullptr, *actSave = nullptr, *actExit = nullptr;
    QToolButton *btnShowDesign = nullptr;
    QToolButton *btnExplan = nullptr;
    QLabel *pnlName = nullptr;
    QComboBox *cmbDBName = nullptr;
    QSplitter *splSQL = nullptr;
    QSplitter *splParam = nullptr;
    TkdMemo *txtSQL = nullptr;
    TkdStringGrid *grdParam = nullptr;
    QTabWidget *pagData = nullptr;
    QTabWidget *pagExplan = nullptr;
    TSQLResultPane *fraData = nullptr;
    TfraExplan *fraExplan = nullptr;  // the plan of the first statement
    db::Query *qrySQL = nullptr;      // code assist and the error locator
    db::Query *qryExec = nullptr;     // every statement that returns no rows
    QMenu *mnuTool = nullptr;         // "SQL実行(&O)", merged into the main menu bar

    // Run state readable by tests.
    int FLog = -1;
    QList<TSQLResultPane *> fraDatas; // the result of each row-returning statement of the run
    int FSQLCount = 0;
    bool FIsSelect = false;
    int FTab = 0;
    QString L_strDBNmBfr;
    QStringList L_tstrTypLst;
    bool FTypeListLoaded = false;
    bool FRunning = false; // a run is going on
    // The identity with schema of a connection window, as the connection box shows it.
    static QString BoxText(TkdConnForm *form);

protected:
    void closeEvent(QCloseEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    struct TRunState {
        QStringList Lines;
        bool NoMoreDialogs = false;
        bool ContinueAfterErrors = false;
        qint64 TotalMs = 0;
        int LineOffset = 0; // editor line of the first line being run
    };
    void BuildWindow();
    void FillConnectionBox();
    void cmbDBNameChange();
    void DiscardResults();
    QStringList LinesToRun(int &offset) const;
    // Runs one statement; false when the run ends.
    bool RunStatement(const TSqlStatementLines &st, TRunState &state);
    void RunPlan(TRunState &state);
    // Binds the query's variables from the grid; throws EAbort when the grid had to change.
    void BindParams(db::Query *query);
    // Sizes the bind grid as it opens: widths, and the editor panel's height for its rows.
    void FitParamGrid();
    void ReadBackParams(db::Query *query);
    TSQLResultPane *NewResultPane();
    void ShowTime(qint64 ms);
    void RecordHistory();
    void ShowHistoryEntry();
    void UpdateActions();
    void SetPlanHeaderWidths();
    // A failure of a statement; returns true when the run goes on.
    bool StatementFailed(const QString &message, const TSqlStatementLines &st, TRunState &state, bool offerContinue);
    // A statement that Esc cancelled: marked like a failure; the run ends.
    void StatementCancelled(const QString &message, const TSqlStatementLines &st, TRunState &state);
};

// Registers the window opener "TfrmSQL" (values: "SQL" the text, "Run" true to run it, "Plan"
// true for plan mode).
void RegisterSQLWindow();
