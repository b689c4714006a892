#pragma once
// The view editor: the view's query as CREATE OR REPLACE text, its comments, privileges and
// references, its rows (data page) and the plan of the SELECT that reads them (plan page),
// print and file save. A compile replaces the view in place and never drops it; it runs
// without a transaction of its own.
#include "editors/object_editor.h"
#include "editors/view_def.h"
#include "frames/data_frame_host.h"

class QMenu;
class QSplitter;
class QToolButton;
class TfraFilterPanel;
class TfraData;
class TfraExplan;
class TkdNumEdit;
class TkdStringGrid;
class TkdStrEdit;

// Columns of the column grid.
enum TViewGridCol { vgcName = 0, vgcType, vgcLength, vgcComment };

class TfrmView : public TObjectEditor, public TkdDataFrameHost
{
    Q_OBJECT
public:
    TfrmView(TkdConnForm *Owner, const TObjectArgs &Args, TSourceMode Mode);

    static const TEditorPolicy &ViewPolicy();
    // The editor table's entries (code 47).
    static QWidget *Open(TkdConnForm *Owner, const TObjectArgs &Args);
    static void Script(TkdConnForm *Owner, const TObjectArgs &Args, TScriptSink &Sink);

    // The view as the controls show it (definition and options as loaded).
    TViewDef ControlsDef() const;
    const TViewDef &LoadedDef() const { return FLoaded; }

    // The SELECT of the data and plan pages, built by the filter panel (shown columns, the
    // grid's conditions, the free condition and the sort). Moves a free condition to the top
    // of its history and renumbers the sort cells; ends with the silent abort for a row
    // limit that is not a positive integer.
    QString GetSelectSQL();
    // Opens the rows of the data page / the plan of the plan page.
    void ShowData();
    void ShowPlan();

    // The exit of the schema and name boxes: the CREATE VIEW template into an empty source,
    // otherwise the old name in the first CREATE line follows the box.
    void txtNameExit(QWidget *Sender);
    void actDataGenerateExecute();

    // TkdDataFrameHost
    TDataHostKind DataHostKind() const override { return TDataHostKind::View; }
    std::optional<int> DataRowLimit() const override;
    QString DataColumnComment(const QString &FieldName) const override;
    void DataReRead() override { ShowData(); }

    TkdStrEdit *txtComment = nullptr;
    TkdStringGrid *grdColumn = nullptr;
    QWidget *tabData = nullptr;
    QWidget *tabExplan = nullptr;
    // The filter panel above the data and plan frames; it moves to the page shown.
    TfraFilterPanel *pnlWhere = nullptr;
    QSplitter *splWhere = nullptr; // the panel over fraData on the data page
    QAction *btnExec = nullptr;    // the panel's run button
    TkdNumEdit *txtRecord = nullptr; // the panel's row limit
    TfraData *fraData = nullptr;
    TfraExplan *fraExplan = nullptr;
    QAction *actDataGenerate = nullptr;
    QString CopySchema, CopyView;

protected:
    void LoadDefinition() override;
    void SaveControls() override;
    bool MustRecreate() const override { return false; }
    void GetSourceCreate(QStringList &Lines) override;
    void GetSourceAlter(QStringList &Lines) override;
    void GetSourceDrop(QStringList &Lines) override { Q_UNUSED(Lines); }
    QString DropStatement(bool Cascade) const override;
    void AfterCommit(bool Recreated, bool WasNew) override;
    void ChangedIsNewEditor() override;
    void UpdateEditorActions() override;
    // Print and save: the text in script form.
    QStringList OutputText() override;
    QWidget *OpeningPage(TOpenMode Mode, bool New) override;
    bool eventFilter(QObject *Watched, QEvent *Event) override;

private:
    void FillGrid(const TViewDef &Def);
    void PageShown();
    // Run button, Enter in the condition or the row limit, a new column choice: the
    // definition is read again (carry-over of the grid), then the page shown reads its rows
    // or its plan.
    void ExecFilter();

    TViewDef FLoaded;
    QString FSchemaAtEnter, FNameAtEnter;
};
