#pragma once
// The table editor: the definition page (comment, column grid, tree of constraints, indexes
// and triggers), the source, privilege and reference pages of the base, and a data page
// that browses the rows. Compile alters the table in place where the server can and rebuilds
// it in one transaction where only a rebuild would do (see table_rebuild.h).
#include "editors/object_editor.h"
#include "editors/table_def.h"
#include "frames/data_frame_host.h"

class QToolBar;
class QTreeWidget;
class QSplitter;
class TfraData;
class TfraStorage;
class TfraFilterPanel;
class TkdStringGrid;
class TkdStrEdit;

// Grid columns of the column grid.
enum TTableGridCol { tgcKey = 0, tgcName, tgcType, tgcLength, tgcNotNull, tgcDefault, tgcComment };

class TfrmTable : public TObjectEditor, public TkdDataFrameHost
{
    Q_OBJECT
public:
    TfrmTable(TkdConnForm *Owner, const TObjectArgs &Args, TSourceMode Mode);

    static const TEditorPolicy &TablePolicy();
    // The editor table's open entry (codes 45 and 73).
    static QWidget *Open(TkdConnForm *Owner, const TObjectArgs &Args);

    // The definition as the controls show it now (the loaded facts kept).
    TTableDef ControlsDef() const;
    // The same with the option DefaultAutoQuote applied to the defaults: what the compile
    // writes (the grid keeps what was typed until the table is read again).
    TTableDef CompileDef() const;
    const TTableDef &LoadedDef() const { return FLoaded; }

    void btnColInsertClick();
    void btnColDeleteClick();
    void MoveColumn(int Delta);
    void ShowConstTree();
    void ShowData();
    // TkdDataFrameHost
    TDataHostKind DataHostKind() const override { return TDataHostKind::Table; }
    std::optional<int> DataRowLimit() const override;
    QString DataColumnComment(const QString &FieldName) const override;
    void DataReRead() override { ShowData(); }

    TkdStrEdit *txtComment = nullptr;
    QToolBar *ToolBar1 = nullptr;
    QAction *btnColInsert = nullptr;
    QAction *btnColDelete = nullptr;
    QAction *actColUp = nullptr;
    QAction *actColDown = nullptr;
    TkdStringGrid *grdColumn = nullptr;
    QTreeWidget *lstConst = nullptr;
    QWidget *tabStorage = nullptr;
    TfraStorage *fraStorage = nullptr;
    QWidget *tabData = nullptr;
    QSplitter *splWhere = nullptr;
    TfraFilterPanel *pnlWhere = nullptr;
    TfraData *fraData = nullptr;

protected:
    void LoadDefinition() override;
    void SaveControls() override;
    void ValidateInput() override;
    void GetSourceCreate(QStringList &Lines) override;
    void GetSourceAlter(QStringList &Lines) override;
    void GetSourceDrop(QStringList &Lines) override;
    QString DropStatement(bool Cascade) const override;
    bool MustRecreate() const override;
    void AfterCommit(bool Recreated, bool WasNew) override;
    bool FinishRecreate(QStringList &Lines) override;

private:
    void FillGrid(const TTableDef &Def);
    void EnsureInputRow();
    TTableTextOptions TextOptions() const;

    TTableDef FLoaded;
};
