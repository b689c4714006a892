#include "editors/view_editor.h"

#include "browser/fobject.h"
#include "controls/fprint.h"
#include "controls/kdgrid.h"
#include "controls/kdmemo.h"
#include "controls/kdstdctl.h"
#include "core/kddialogsupport.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_service.h"
#include "core/kdsub_text.h"
#include "editors/name_template.h"
#include "frames/data_frame.h"
#include "frames/filter_panel.h"
#include "browser/ffldlist.h"
#include "frames/memo_dialog.h"
#include "frames/plan_frame.h"

#include <QAction>
#include <QDir>
#include <QEvent>
#include <QSaveFile>
#include <QSplitter>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The column list of the CREATE line: in a shown window by ShowColumnSource, in a script
// by the script option ViewCol.
bool WithColumns(TSourceMode Mode)
{
    return Mode == smText ? TScriptOption::Global().ViewCol : TkdOption::Global().ShowColumnSource;
}

} // namespace

const TEditorPolicy &TfrmView::ViewPolicy()
{
    static const TEditorPolicy policy = [] {
        TEditorPolicy p;
        p.Kind = QStringLiteral("VIEW");
        p.LayoutKey = QStringLiteral("VIEW");
        p.CaptionMode = 3;
        p.ObjType = 47;
        // CREATE OR REPLACE stands on its own: no transaction of the editor, and the window
        // waits for the run log also after a stopped run.
        p.Transaction = false;
        p.WaitAfterRollback = true;
        return p;
    }();
    return policy;
}

QWidget *TfrmView::Open(TkdConnForm *Owner, const TObjectArgs &Args)
{
    auto *w = qobject_cast<TfrmView *>(OpenEditorWindow<TfrmView>(Owner, Args, ViewPolicy()));
    if (w && !w->IsNew() && (w->pagObject->currentWidget() == w->tabData || w->pagObject->currentWidget() == w->tabExplan))
        GuardedCall([w] { w->PageShown(); });
    return w;
}

void TfrmView::Script(TkdConnForm *Owner, const TObjectArgs &Args, TScriptSink &Sink)
{
    TViewDef def;
    if (!LoadViewDef(Owner, Args.Schema, Args.ObjectName, def))
        throw EAbort();
    // A copy needs both names; one of them alone renames nothing.
    const bool copy = !Args.NewSchema.isEmpty() && !Args.NewObjectName.isEmpty();
    const QString schema = copy ? Args.NewSchema : Args.Schema;
    const QString name = copy ? Args.NewObjectName : Args.ObjectName;
    Sink.WriteScript(ViewSourceLines(def, SchemaPrefixFor(smText, schema, Owner->CurrentSchema()), name, WithColumns(smText)));
}

TfrmView::TfrmView(TkdConnForm *Owner, const TObjectArgs &Args, TSourceMode Mode)
    : TObjectEditor(Owner, ViewPolicy(), Mode)
{
    setObjectName(QStringLiteral("frmView"));
    resize(937, 460);
    SetTaskIcon(47);
    TkdMainForm *host = TkdMainForm::Instance();
    auto image = [host](int i) { return host ? host->Image(i) : QIcon(); };

    actDataGenerate = new QAction(QStringLiteral("生成(&W)"), this);
    actDataGenerate->setObjectName(QStringLiteral("actDataGenerate"));
    actDataGenerate->setToolTip(QStringLiteral("テーブルデータを自動生成します。"));
    actDataGenerate->setStatusTip(actDataGenerate->toolTip());
    actDataGenerate->setIcon(image(103));
    connect(actDataGenerate, &QAction::triggered, this, [this] { GuardedCall([this] { actDataGenerateExecute(); }); });
    // Tool bar: 作成, 生成, 出力, 削除, 戻す, 終了; the object menu: 作成, 削除, 生成, then
    // the output menu's 印刷 and ファイル保存.
    tolCmd->insertAction(actDelete, actDataGenerate);
    mnuObject->addAction(actDataGenerate);
    AddOutputMenu();
    actDataGenerate->setVisible(!OwnerForm() || OwnerForm()->DBVer() >= 90300);

    // Definition page: comment and columns.
    auto *page = new QVBoxLayout(tabDefine);
    auto *commentRow = new QHBoxLayout;
    commentRow->addWidget(new QLabel(QStringLiteral("コメント"), tabDefine));
    txtComment = new TkdStrEdit(tabDefine);
    txtComment->setObjectName(QStringLiteral("txtComment"));
    commentRow->addWidget(txtComment, 1);
    page->addLayout(commentRow);
    grdColumn = new TkdStringGrid(tabDefine);
    grdColumn->setObjectName(QStringLiteral("grdColumn"));
    grdColumn->SetColCount(4);
    grdColumn->SetRowCount(2);
    grdColumn->SetHeader({QStringLiteral("項目名"), QStringLiteral("型"), QStringLiteral("長さ"), QStringLiteral("コメント")});
    grdColumn->SetGridMode(geAccess);
    grdColumn->SetEditStyles(vgcComment, geEllipsis);
    const int widths[] = {180, 210, 90, 300};
    for (int i = 0; i < 4; ++i)
        grdColumn->setColumnWidth(i, widths[i]);
    grdColumn->horizontalHeader()->setStretchLastSection(true);
    grdColumn->verticalHeader()->setDefaultSectionSize(17);
    page->addWidget(grdColumn, 1);

    // The data and plan pages share one filter panel; it moves to the page shown. On the
    // data page a splitter sits between it and the rows.
    tabData = new QWidget;
    tabData->setObjectName(QStringLiteral("tabData"));
    auto *dataLayout = new QVBoxLayout(tabData);
    dataLayout->setContentsMargins(2, 2, 2, 2);
    splWhere = new QSplitter(Qt::Vertical, tabData);
    splWhere->setObjectName(QStringLiteral("splWhere"));
    splWhere->setChildrenCollapsible(false);
    pnlWhere = new TfraFilterPanel(TFilterStyle::View(), splWhere);
    btnExec = pnlWhere->btnExec;
    txtRecord = pnlWhere->txtRecord;
    pnlWhere->SetRowLimit(Args.DefTopRecord > 0                      ? Args.DefTopRecord
                          : TkdOption::Global().DefTopRecord > 0 ? TkdOption::Global().DefTopRecord
                                                                  : 1000);
    pnlWhere->OnChooseColumns = [this](QStringList &Columns) {
        TfrmFieldList::ShowWindow(OwnerForm(), SchemaText(), NameText(), Columns);
    };
    dataLayout->addWidget(splWhere, 1);
    fraData = new TfraData(splWhere);
    fraData->setObjectName(QStringLiteral("fraData"));
    splWhere->setStretchFactor(0, 0);
    splWhere->setStretchFactor(1, 1);
    splWhere->setSizes({TFilterStyle::View().PanelHeight, 400});
    pagObject->insertTab(2, tabData, QStringLiteral("データ"));

    tabExplan = new QWidget;
    tabExplan->setObjectName(QStringLiteral("tabExplan"));
    auto *planLayout = new QVBoxLayout(tabExplan);
    planLayout->setContentsMargins(2, 2, 2, 2);
    fraExplan = new TfraExplan(tabExplan);
    fraExplan->setObjectName(QStringLiteral("fraExplan"));
    planLayout->addWidget(fraExplan, 1);
    pagObject->insertTab(3, tabExplan, QStringLiteral("実行計画"));

    if (cmbSchema) {
        cmbSchema->setMinimumWidth(160);
        cmbSchema->setEditText(Args.Schema);
        if (auto *conn = dynamic_cast<TfrmObject *>(OwnerForm()); conn && Mode == smShow && Args.ObjectName.isEmpty()) {
            QStringList schemas;
            GuardedCall([&] { conn->GetSchemaInfo(schemas, false); });
            cmbSchema->addItems(schemas);
            cmbSchema->setEditText(Args.Schema);
        }
    }
    txtName->setText(Args.ObjectName);

    FinishSetup();
    // Typing a name or schema does not mark the window modified (only the source does).
    if (cmbSchema)
        disconnect(cmbSchema, &QComboBox::editTextChanged, this, nullptr);
    disconnect(txtName, &QLineEdit::textChanged, this, nullptr);
    connect(txtComment, &QLineEdit::textChanged, this, [this] { OnChange(); });
    connect(grdColumn, &TkdStringGrid::OnShowEditor, this,
            [](TkdStringGrid *, int ACol, int, TkdInplaceEditor *AEditor) {
                // Only the comment column is edited; names, types and lengths are read-only.
                if (ACol != vgcComment && AEditor)
                    AEditor->SetMaxLength(-1);
            });
    connect(grdColumn, &TkdStringGrid::OnSetEditText, this, [this](TkdStringGrid *, int, int, const QString &) {
        if (grdColumn->IsChanged())
            OnChange();
    });
    connect(grdColumn, &TkdStringGrid::OnEditButtonClick, this, [this](TkdStringGrid *) {
        GuardedCall([this] {
            const int col = grdColumn->Col();
            const int row = grdColumn->Row();
            if (col != vgcComment || row < 1)
                return;
            QString text = grdColumn->Cells(col, row);
            if (TfrmMemo::ShowWindow(text) == 1 && text != grdColumn->Cells(col, row))
                grdColumn->StoreEditText(col, row, text);
        });
    });
    connect(pnlWhere, &TfraFilterPanel::ExecRequested, this, [this] { GuardedCall([this] { ExecFilter(); }); });
    connect(txtName, &TkdStrEdit::entered, this, [this] { FNameAtEnter = txtName->text(); });
    connect(txtName, &QLineEdit::editingFinished, this, [this] { GuardedCall([this] { txtNameExit(txtName); }); });
    if (cmbSchema) {
        connect(cmbSchema, &TkdComboBox::entered, this, [this] { FSchemaAtEnter = cmbSchema->Text(); });
        connect(cmbSchema->lineEdit(), &QLineEdit::editingFinished, this,
                [this] { GuardedCall([this] { txtNameExit(cmbSchema); }); });
    }
    FNameAtEnter = txtName->text();
    FSchemaAtEnter = SchemaText();
    txtSource->installEventFilter(this);
    connect(pagObject, &QTabWidget::currentChanged, this, [this](int) { GuardedCall([this] { PageShown(); }); });
}

QWidget *TfrmView::OpeningPage(TOpenMode Mode, bool New)
{
    if (New)
        return tabSource;
    if (Mode == omData)
        return tabData;
    return TObjectEditor::OpeningPage(Mode, New);
}

bool TfrmView::eventFilter(QObject *Watched, QEvent *Event)
{
    // A new view's text cannot be written before it has a name.
    if (Watched == txtSource && Event->type() == QEvent::FocusIn && SourceMode == smShow
        && TrimBlanks(txtName->text()).isEmpty() && pnlName->isEnabled())
        txtName->setFocus();
    return TObjectEditor::eventFilter(Watched, Event);
}

void TfrmView::ChangedIsNewEditor()
{
    // A new view has only its source page.
    {
        QSignalBlocker block(pagObject);
        if (IsNew() && pagObject->currentWidget() != tabSource)
            pagObject->setCurrentWidget(tabSource);
        for (QWidget *p : {tabDefine, tabData, tabExplan, tabGrant, tabCross})
            if (p)
                pagObject->setTabVisible(pagObject->indexOf(p), !IsNew());
        pagObject->setTabVisible(pagObject->indexOf(tabSource), true);
    }
}

void TfrmView::UpdateEditorActions()
{
    if (!actDataGenerate)
        return;
    const bool data = pagObject->currentWidget() == tabData;
    actDelete->setEnabled(!IsNew() && !data);
    actDataGenerate->setEnabled(!IsNew());
}

void TfrmView::FillGrid(const TViewDef &Def)
{
    grdColumn->Clear();
    grdColumn->SetRowCount(qMax(2, int(Def.Columns.size()) + 1));
    for (int c = 0; c < 4; ++c)
        grdColumn->SetCells(c, 1, QString());
    int r = 1;
    for (const TViewColumn &c : Def.Columns) {
        grdColumn->SetCells(vgcName, r, c.Name);
        grdColumn->SetCells(vgcType, r, c.Type);
        grdColumn->SetCells(vgcLength, r, c.Length);
        grdColumn->SetCells(vgcComment, r, c.Comment);
        ++r;
    }
    grdColumn->SetCurrentCell(vgcComment, 1);
}

void TfrmView::LoadDefinition()
{
    TViewDef def;
    if (!LoadViewDef(OwnerForm(), SchemaText(), NameText(), def))
        ObjectMissing();
    FLoaded = def;
    txtComment->setText(def.Comment);
    FillGrid(def);
    // The filter grid follows the columns (carry-over of its cells); shown columns the view
    // no longer has are dropped.
    QList<TFilterColumn> columns;
    for (const TViewColumn &c : def.Columns)
        columns << TFilterColumn{c.Name, c.Type};
    pnlWhere->SetObject(OwnerForm(), SchemaText(), NameText());
    pnlWhere->SetColumns(columns);
}

void TfrmView::SaveControls()
{
    txtComment->Save();
    grdColumn->Save();
    if (IsNew())
        FLoaded = TViewDef();
}

TViewDef TfrmView::ControlsDef() const
{
    TViewDef d = FLoaded;
    d.Comment = txtComment->text();
    for (int i = 0; i < d.Columns.size(); ++i)
        d.Columns[i].Comment = grdColumn->Cells(vgcComment, i + 1);
    return d;
}

void TfrmView::GetSourceCreate(QStringList &Lines)
{
    // A new view's text is the user's own.
    if (IsNew())
        return;
    const bool copy = !CopySchema.isEmpty() && !CopyView.isEmpty();
    const QString schema = copy ? CopySchema : SchemaText();
    const QString name = copy ? CopyView : NameText();
    if (FLoaded.Definition.isEmpty())
        ObjectMissing();
    Lines += ViewSourceLines(ControlsDef(), SchemaPrefix(schema, OwnerForm()->CurrentSchema()), name,
                             WithColumns(SourceMode));
}

void TfrmView::GetSourceAlter(QStringList &Lines)
{
    // The definition page writes only the comments that changed.
    if (IsNew() || !DefinePageShown())
        return;
    Lines += ViewCommentLines(FLoaded, ControlsDef(), SchemaPrefix(SchemaText(), OwnerForm()->CurrentSchema()), NameText());
}

QString TfrmView::DropStatement(bool Cascade) const
{
    Q_UNUSED(Cascade);
    return ViewDropStatement(SchemaText(), NameText());
}

void TfrmView::AfterCommit(bool Recreated, bool WasNew)
{
    Q_UNUSED(Recreated);
    Q_UNUSED(WasNew);
    // The data page shows all columns again (the reload that follows refills the list).
    pnlWhere->SetShownColumns({});
}

QString TfrmView::GetSelectSQL()
{
    return pnlWhere->GetSelectSQL();
}

std::optional<int> TfrmView::DataRowLimit() const
{
    return pnlWhere->RowLimit();
}

QString TfrmView::DataColumnComment(const QString &FieldName) const
{
    for (int r = 1; r < grdColumn->RowCount(); ++r)
        if (grdColumn->Cells(vgcName, r) == FieldName)
            return grdColumn->Cells(vgcComment, r);
    return QString();
}

void TfrmView::PageShown()
{
    if (IsNew())
        return;
    QWidget *page = pagObject->currentWidget();
    if (page == tabData) {
        SetModified(false);
        if (pnlWhere->parentWidget() != splWhere)
            splWhere->insertWidget(0, pnlWhere);
        ShowData();
    } else if (page == tabExplan) {
        SetModified(false);
        if (pnlWhere->parentWidget() != tabExplan)
            static_cast<QVBoxLayout *>(tabExplan->layout())->insertWidget(0, pnlWhere);
        ShowPlan();
    }
    UpdateActions();
}

void TfrmView::ShowData()
{
    const QString sql = GetSelectSQL();
    fraData->SetTableName(SchemaText() + QLatin1Char('.') + NameText());
    fraData->SetSQL(sql);
    if (!sql.isEmpty()) {
        fraData->Prepare();
        fraData->Open();
    }
    pnlWhere->grdWhere->SetCurrentCell(1, 1);
}

void TfrmView::ShowPlan()
{
    // The plan of what the data page reads, row limit included.
    QString sql = GetSelectSQL();
    if (const std::optional<int> limit = DataRowLimit())
        sql += QStringLiteral("\nLIMIT ") + QString::number(*limit);
    fraExplan->SetSQL(sql);
    if (!fraExplan->SQL().isEmpty())
        fraExplan->ShowData();
    pnlWhere->grdWhere->SetCurrentCell(1, 1);
}

void TfrmView::ExecFilter()
{
    Reload();
    // A refused reload (changes kept) reads nothing.
    if (!Modified())
        PageShown();
}

void TfrmView::txtNameExit(QWidget *Sender)
{
    if (!pnlName->isEnabled())
        return;
    const QString schema = SchemaText();
    const QString name = NameText();
    if (TrimBlanks(txtSource->text()).isEmpty()) {
        if (TrimBlanks(name).isEmpty())
            return;
        // The template a new view starts from; the schema is always written here.
        txtSource->setText(QStringLiteral("CREATE VIEW ") + QuoteIdentifier(schema) + QLatin1Char('.') + QuoteIdentifier(name)
                           + QStringLiteral(" AS\nSELECT\n"));
    } else {
        QString text = txtSource->text();
        bool changed = false;
        if (Sender == cmbSchema && FSchemaAtEnter != schema)
            changed = RenameInTemplateText(text, TTemplatePart::Schema, QuoteIdentifier(FSchemaAtEnter),
                                           QuoteIdentifier(schema));
        else if (Sender == txtName && FNameAtEnter != name)
            changed = RenameInTemplateText(text, TTemplatePart::Name, QuoteIdentifier(FNameAtEnter), QuoteIdentifier(name));
        if (changed)
            txtSource->setText(text);
    }
    // The next exit compares with what the box holds now.
    if (Sender == cmbSchema)
        FSchemaAtEnter = schema;
    else
        FNameAtEnter = name;
}

QStringList TfrmView::OutputText()
{
    const TSourceMode mode = SourceMode;
    SourceMode = smText;
    QStringList lines;
    try {
        GetSourceCreate(lines);
    } catch (...) {
        SourceMode = mode;
        throw;
    }
    SourceMode = mode;
    RemoveBlankLines(lines);
    return lines;
}

void TfrmView::actDataGenerateExecute()
{
    ShowMessageBox(QStringLiteral("この機能はまだ利用できません。"), MB_ICONINFORMATION | MB_OK);
}
