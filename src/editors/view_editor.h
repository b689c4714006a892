#pragma once
// The view editor: the view's query as CREATE OR REPLACE text, its comments, privileges and
// references, its rows (data page) and the plan of the SELECT that reads them (plan page),
// print and file save. A compile replaces the view in place and never drops it; it runs
// without a transaction of its own.
#include "editors/object_editor.h"
#include "editors/view_def.h"
#include "frames/data_frame_host.h"

class QMenu;
class QToolButton;
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

    // The SELECT of the data and plan pages. The filter panel, when it lands, plugs in here:
    // it sits in pnlFilter (inside pnlWhere, which moves between the two pages) and adds its
    // WHERE and ORDER BY to this text.
    QString GetSelectSQL() const;
    // Opens the rows of the data page / the plan of the plan page.
    void ShowData();
    void ShowPlan();

    // The exit of the schema and name boxes: the CREATE VIEW template into an empty source,
    // otherwise the old name in the first CREATE line follows the box.
    void txtNameExit(QWidget *Sender);
    void actPrintExecute();
    void actSaveExecute();
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
    QWidget *pnlWhere = nullptr;   // the bar above the data and plan frames
    QWidget *pnlFilter = nullptr;  // where the filter panel goes
    QAction *btnExec = nullptr;
    TkdNumEdit *txtRecord = nullptr;
    TfraData *fraData = nullptr;
    TfraExplan *fraExplan = nullptr;
    QAction *actDataGenerate = nullptr;
    QAction *actOutput = nullptr;
    QAction *actPrint = nullptr;
    QAction *actSave = nullptr;
    QMenu *popOutput = nullptr;
    QStringList FShowFld; // columns the data page shows; empty: all
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
    QWidget *OpeningPage(TOpenMode Mode, bool New) override;
    bool eventFilter(QObject *Watched, QEvent *Event) override;

private:
    void FillGrid(const TViewDef &Def);
    QStringList ScriptText(); // the text in script form (print and save)
    void PageShown();

    TViewDef FLoaded;
    QString FSchemaAtEnter, FNameAtEnter;
};
