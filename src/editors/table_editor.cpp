#include "editors/table_editor.h"

#include "browser/fobject.h"
#include "controls/kdgrid.h"
#include "controls/kdstdctl.h"
#include "controls/fprint.h"
#include "core/kddialogsupport.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_service.h"
#include "core/kdsub_options.h"
#include "core/kdsub_text.h"
#include "editors/table_rebuild.h"
#include "frames/data_frame.h"
#include "frames/filter_panel.h"
#include "frames/storage_frame.h"
#include "browser/ffldlist.h"

#include <QAction>
#include <QMdiSubWindow>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// The pick list of the type column.
const QStringList &TypeList()
{
    static const QStringList list = {
        "bigint", "bigserial", "boolean", "bytea", "character", "character varying", "date", "double precision",
        "integer", "interval", "json", "jsonb", "numeric", "real", "serial", "smallint", "text",
        "time without time zone", "time with time zone", "timestamp without time zone", "timestamp with time zone",
        "uuid"};
    return list;
}

} // namespace

const TEditorPolicy &TfrmTable::TablePolicy()
{
    static const TEditorPolicy policy = [] {
        TEditorPolicy p;
        p.Kind = QStringLiteral("TABLE");
        p.LayoutKey = QStringLiteral("TABLE");
        p.CaptionMode = 3;
        p.ObjType = 45;
        p.OfferCascade = true;
        return p;
    }();
    return policy;
}

QWidget *TfrmTable::Open(TkdConnForm *Owner, const TObjectArgs &Args)
{
    return OpenEditorWindow<TfrmTable>(Owner, Args, TablePolicy());
}

TfrmTable::TfrmTable(TkdConnForm *Owner, const TObjectArgs &Args, TSourceMode Mode)
    : TObjectEditor(Owner, TablePolicy(), Mode)
{
    setObjectName(QStringLiteral("frmTable"));
    resize(760, 520);
    SetTaskIcon(45);

    auto *page = new QVBoxLayout(tabDefine);
    auto *commentRow = new QHBoxLayout;
    commentRow->addWidget(new QLabel(QStringLiteral("コメント"), tabDefine));
    txtComment = new TkdStrEdit(tabDefine);
    txtComment->setObjectName(QStringLiteral("txtComment"));
    commentRow->addWidget(txtComment, 1);
    page->addLayout(commentRow);

    ToolBar1 = new QToolBar(tabDefine);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    btnColInsert = ToolBar1->addAction(QStringLiteral("列の追加"));
    btnColInsert->setObjectName(QStringLiteral("btnColInsert"));
    btnColDelete = ToolBar1->addAction(QStringLiteral("列の削除"));
    btnColDelete->setObjectName(QStringLiteral("btnColDelete"));
    actColUp = ToolBar1->addAction(QStringLiteral("上へ移動"));
    actColUp->setObjectName(QStringLiteral("actColUp"));
    actColDown = ToolBar1->addAction(QStringLiteral("下へ移動"));
    actColDown->setObjectName(QStringLiteral("actColDown"));
    page->addWidget(ToolBar1);

    auto *split = new QSplitter(Qt::Vertical, tabDefine);
    split->setObjectName(QStringLiteral("spl1"));
    grdColumn = new TkdStringGrid(split);
    grdColumn->setObjectName(QStringLiteral("grdColumn"));
    grdColumn->SetColCount(7);
    grdColumn->SetRowCount(2);
    grdColumn->SetHeader({QStringLiteral("主キー"), QStringLiteral("項目名"), QStringLiteral("型"),
                          QStringLiteral("長さ"), QStringLiteral("必須"), QStringLiteral("省略時値"),
                          QStringLiteral("コメント")});
    grdColumn->SetEditStyles(tgcKey, geCheckBox);
    grdColumn->SetEditStyles(tgcType, gePickList);
    grdColumn->SetEditStyles(tgcNotNull, geCheckBox);
    const int widths[] = {48, 175, 100, 92, 39, 107, 133};
    for (int i = 0; i < 7; ++i)
        grdColumn->setColumnWidth(i, widths[i]);
    grdColumn->horizontalHeader()->setStretchLastSection(true);
    grdColumn->verticalHeader()->setDefaultSectionSize(18);
    grdColumn->OnGetPickListitems = [](int ACol, int, QStringList &AItems) {
        if (ACol == tgcType)
            AItems = TypeList();
    };
    lstConst = new QTreeWidget(split);
    lstConst->setObjectName(QStringLiteral("lstConst"));
    lstConst->setHeaderLabels({QStringLiteral("名前"), QStringLiteral("タイプ"), QStringLiteral("パラメータ")});
    lstConst->setColumnWidth(0, 180);
    lstConst->setColumnWidth(1, 120);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    page->addWidget(split, 1);

    // The storage page: tablespace, storage type, autovacuum settings, parents.
    tabStorage = new QWidget;
    tabStorage->setObjectName(QStringLiteral("tabStorage"));
    auto *storage = new QVBoxLayout(tabStorage);
    fraStorage = new TfraStorage(tabStorage);
    fraStorage->setObjectName(QStringLiteral("fraStorage"));
    storage->addWidget(fraStorage);
    pagObject->insertTab(1, tabStorage, QStringLiteral("領域情報"));

    // The data page: the filter panel over the rows.
    tabData = new QWidget;
    tabData->setObjectName(QStringLiteral("tabData"));
    auto *data = new QVBoxLayout(tabData);
    data->setContentsMargins(2, 2, 2, 2);
    splWhere = new QSplitter(Qt::Vertical, tabData);
    splWhere->setObjectName(QStringLiteral("splWhere"));
    pnlWhere = new TfraFilterPanel(TFilterStyle::Table(), splWhere);
    // Without a limit from the opener the page still opens at a bounded number of rows.
    pnlWhere->SetRowLimit(Args.DefTopRecord > 0 ? Args.DefTopRecord : 1000);
    fraData = new TfraData(splWhere);
    fraData->setObjectName(QStringLiteral("fraData"));
    splWhere->setStretchFactor(0, 0);
    splWhere->setStretchFactor(1, 1);
    splWhere->setSizes({TFilterStyle::Table().PanelHeight, 400});
    data->addWidget(splWhere, 1);
    pagObject->insertTab(2, tabData, QStringLiteral("データ"));
    pnlWhere->OnChooseColumns = [this](QStringList &Columns) {
        TfrmFieldList::ShowWindow(OwnerForm(), SchemaText(), NameText(), Columns);
    };
    connect(pnlWhere, &TfraFilterPanel::ExecRequested, this, [this] {
        GuardedCall([this] {
            Reload();
            if (!Modified() && pagObject->currentWidget() == tabData)
                ShowData();
        });
    });

    if (cmbSchema) {
        cmbSchema->setEditText(Args.Schema);
        if (auto *conn = dynamic_cast<TfrmObject *>(OwnerForm()); conn && Mode == smShow && Args.ObjectName.isEmpty()) {
            QStringList schemas;
            GuardedCall([&] { conn->GetSchemaInfo(schemas, false); });
            cmbSchema->addItems(schemas);
            cmbSchema->setEditText(Args.Schema);
        }
    }
    txtName->setText(Args.ObjectName);
    EnsureInputRow();

    // The output menu: print and file save of the CREATE text.
    TOutputMenu output;
    output.Before = actRefresh;
    output.ObjectSubmenu = true;
    AddOutputMenu(output);

    FinishSetup();
    connect(txtComment, &QLineEdit::textChanged, this, [this] { OnChange(); });
    connect(grdColumn, &TkdStringGrid::OnSetEditText, this, [this](TkdStringGrid *, int, int ARow, const QString &) {
        if (ARow == grdColumn->RowCount() - 1 && !TrimBlanks(grdColumn->Cells(tgcName, ARow)).isEmpty())
            EnsureInputRow();
        OnChange();
    });
    connect(btnColInsert, &QAction::triggered, this, [this] { GuardedCall([this] { btnColInsertClick(); }); });
    connect(btnColDelete, &QAction::triggered, this, [this] { GuardedCall([this] { btnColDeleteClick(); }); });
    connect(actColUp, &QAction::triggered, this, [this] { GuardedCall([this] { MoveColumn(-1); }); });
    connect(actColDown, &QAction::triggered, this, [this] { GuardedCall([this] { MoveColumn(1); }); });
    connect(pagObject, &QTabWidget::currentChanged, this, [this](int) {
        if (pagObject->currentWidget() == tabData && !IsNew())
            GuardedCall([this] { ShowData(); });
    });
}

void TfrmTable::EnsureInputRow()
{
    // The grid always ends with one empty row, in which a new column is typed.
    const int last = grdColumn->RowCount() - 1;
    bool empty = last >= 1;
    if (last >= 1)
        for (int c = 0; c < 7; ++c)
            if (!grdColumn->Cells(c, last).isEmpty())
                empty = false;
    if (!empty) {
        grdColumn->SetRowCount(grdColumn->RowCount() + 1);
        for (int c = 0; c < 7; ++c)
            grdColumn->SetCells(c, grdColumn->RowCount() - 1, QString());
        grdColumn->SetObjects(tgcName, grdColumn->RowCount() - 1, QVariant());
    }
}

void TfrmTable::FillGrid(const TTableDef &Def)
{
    grdColumn->Clear();
    grdColumn->SetRowCount(Def.Columns.size() + 2);
    int r = 1;
    for (const TTableColumn &c : Def.Columns) {
        grdColumn->SetCells(tgcKey, r, c.PrimaryKey ? QStringLiteral("1") : QString());
        grdColumn->SetCells(tgcName, r, c.Name);
        grdColumn->SetCells(tgcType, r, c.TypeName);
        grdColumn->SetCells(tgcLength, r, c.Length);
        grdColumn->SetCells(tgcNotNull, r, c.NotNull ? QStringLiteral("1") : QString());
        grdColumn->SetCells(tgcDefault, r, c.Default);
        grdColumn->SetCells(tgcComment, r, c.Comment);
        grdColumn->SetObjects(tgcName, r, c.LoadPos);
        ++r;
    }
    for (int c = 0; c < 7; ++c)
        grdColumn->SetCells(c, r, QString());
    grdColumn->SetObjects(tgcName, r, QVariant());
    grdColumn->SetCurrentCell(tgcName, 1);
}

void TfrmTable::LoadDefinition()
{
    TTableDef def;
    if (!LoadTableDef(OwnerForm(), SchemaText(), NameText(), def))
        ObjectMissing();
    FLoaded = def;
    SetIsToastObject(def.RelKind == QLatin1Char('t'));
    txtComment->setText(def.Comment);
    FillGrid(def);
    ShowConstTree();
    fraStorage->Init(SchemaText(), NameText());
    fraStorage->ShowDefine();
    // The filter grid follows the columns (carry-over of its cells).
    QList<TFilterColumn> columns;
    for (const TTableColumn &c : def.Columns)
        columns << TFilterColumn{c.Name, c.TypeName};
    pnlWhere->SetObject(OwnerForm(), SchemaText(), NameText());
    pnlWhere->SetColumns(columns);
}

void TfrmTable::ShowConstTree()
{
    lstConst->clear();
    auto *cons = new QTreeWidgetItem(lstConst, {QStringLiteral("CONSTRAINT")});
    auto *idx = new QTreeWidgetItem(lstConst, {QStringLiteral("INDEX")});
    auto *trg = new QTreeWidgetItem(lstConst, {QStringLiteral("TRIGGER")});
    if (IsNew())
        return;
    for (const TTableConstraint &k : FLoaded.Constraints) {
        QString kind;
        switch (k.Type.toLatin1()) {
        case 'p': kind = QStringLiteral("PRIMARY KEY"); break;
        case 'u': kind = QStringLiteral("UNIQUE"); break;
        case 'f': kind = QStringLiteral("FOREIGN KEY"); break;
        case 'x': kind = QStringLiteral("EXCLUDE"); break;
        default: kind = QStringLiteral("CHECK"); break;
        }
        QString body = k.Definition;
        if (body.startsWith(kind + QLatin1Char(' ')))
            body = body.mid(kind.size() + 1);
        new QTreeWidgetItem(cons, {k.Name, kind, body});
    }
    for (const TTableIndex &i : FLoaded.Indexes) {
        const int using_ = i.Definition.indexOf(QLatin1String(" USING "));
        new QTreeWidgetItem(idx, {i.Name, i.Definition.contains(QLatin1String("UNIQUE INDEX")) ? QStringLiteral("UNIQUE") : QString(),
                                  using_ >= 0 ? i.Definition.mid(using_ + 7) : i.Definition});
    }
    for (const TTableTrigger &t : FLoaded.Triggers)
        new QTreeWidgetItem(trg, {t.Name, t.Enabled == QLatin1Char('D') ? QStringLiteral("無効") : QString(), t.Definition});
    lstConst->expandAll();
}

void TfrmTable::SaveControls()
{
    txtComment->Save();
    grdColumn->Save();
    if (!fraStorage->IsInit())
        fraStorage->Init(SchemaText(), NameText());
    fraStorage->Save();
    if (IsNew()) {
        FLoaded = TTableDef();
    }
}

TTableDef TfrmTable::ControlsDef() const
{
    TTableDef d = FLoaded;
    d.Schema = SchemaText();
    d.Name = NameText();
    d.Comment = txtComment->text();
    d.Columns.clear();
    for (int r = 1; r < grdColumn->RowCount(); ++r) {
        if (TrimBlanks(grdColumn->Cells(tgcName, r)).isEmpty())
            continue;
        const int pos = grdColumn->Objects(tgcName, r).toInt();
        TTableColumn c;
        for (const TTableColumn &o : FLoaded.Columns)
            if (pos && o.LoadPos == pos)
                c = o;
        c.LoadPos = pos;
        c.Name = grdColumn->Cells(tgcName, r);
        c.TypeName = grdColumn->Cells(tgcType, r);
        c.Length = grdColumn->Cells(tgcLength, r);
        c.NotNull = grdColumn->Checked(tgcNotNull, r);
        c.PrimaryKey = grdColumn->Checked(tgcKey, r);
        c.Default = grdColumn->Cells(tgcDefault, r);
        c.Comment = grdColumn->Cells(tgcComment, r);
        d.Columns << c;
    }
    return d;
}

TTableDef TfrmTable::CompileDef() const
{
    TTableDef d = ControlsDef();
    // A tablespace chosen on the storage page (ALTER TABLE ... SET TABLESPACE for a loaded
    // table); a new table takes its storage clauses from the page as they are.
    if (!IsNew() && fraStorage->IsInit() && fraStorage->cmbTBS->IsChanged())
        d.Tablespace = TrimBlanks(fraStorage->cmbTBS->currentText());
    if (IsNew() && fraStorage->IsInit() && fraStorage->StorageType() == ptTemp)
        d.Persistence = QLatin1Char('t');
    if (TkdOption::Global().DefaultAutoQuote)
        for (TTableColumn &c : d.Columns)
            c.Default = AutoQuotedDefault(c.TypeName, c.Default);
    return d;
}

void TfrmTable::btnColInsertClick()
{
    const int row = qMax(1, grdColumn->Row());
    grdColumn->InsertRow(row);
    for (int c = 0; c < 7; ++c)
        grdColumn->SetCells(c, row, QString());
    grdColumn->SetObjects(tgcName, row, QVariant());
    grdColumn->SetCurrentCell(tgcName, row);
    OnChange();
}

void TfrmTable::btnColDeleteClick()
{
    const int row = grdColumn->Row();
    if (row < 1 || row >= grdColumn->RowCount() - 1)
        return;
    grdColumn->DeleteRow(row);
    OnChange();
}

void TfrmTable::MoveColumn(int Delta)
{
    const int row = grdColumn->Row();
    const int to = row + Delta;
    // The input row stays last.
    if (row < 1 || to < 1 || row >= grdColumn->RowCount() - 1 || to >= grdColumn->RowCount() - 1)
        return;
    grdColumn->MoveRow(row, to);
    grdColumn->SetCurrentCell(grdColumn->Col(), to);
    OnChange();
}

TTableTextOptions TfrmTable::TextOptions() const
{
    TTableTextOptions opt;
    opt.UseLowerName = TkdOption::Global().UseLowerName;
    opt.Prefix = SchemaPrefix(SchemaText(), OwnerForm()->CurrentSchema());
    opt.WithIndexes = true;
    return opt;
}

void TfrmTable::ValidateInput()
{
    for (int r = 1; r < grdColumn->RowCount(); ++r) {
        if (TrimBlanks(grdColumn->Cells(tgcName, r)).isEmpty())
            continue;
        if (TrimBlanks(grdColumn->Cells(tgcType, r)).isEmpty()) {
            grdColumn->SetCurrentCell(tgcType, r);
            Refuse(QStringLiteral("型を入力して下さい。"), grdColumn);
        }
        CheckNameLength(grdColumn->Cells(tgcName, r), grdColumn);
    }
}

bool TfrmTable::MustRecreate() const
{
    const bool tablePage = DefinePageShown() || pagObject->currentWidget() == tabStorage;
    return TObjectEditor::MustRecreate() || (tablePage && TableNeedsRebuild(FLoaded, ControlsDef()));
}

bool TfrmTable::FinishRecreate(QStringList &Lines)
{
    // The base hands over DROP + CREATE (or the source text); the rebuild writes its own
    // DROP at its place in the list.
    const QStringList drop = TableDropLines(SchemaText(), NameText(), false);
    QStringList body = Lines;
    if (body.mid(0, drop.size()) == drop)
        body = body.mid(drop.size());
    const bool source = SourcePageShown();

    TRebuildFacts facts;
    ReadRebuildFacts(OwnerForm(), FLoaded, facts);
    if (!facts.Refusals.isEmpty()) {
        ShowMessageBox(QStringLiteral("次のオブジェクトがあるため、テーブルを再作成できません。\r\n")
                           + facts.Refusals.join(QStringLiteral("\r\n")),
                       MB_ICONWARNING | MB_OK);
        throw EAbort();
    }
    TRebuildOptions opt;
    opt.Backup = TkdOption::Global().BackupData;
    opt.CopyBack = !source;
    opt.KeepBackup = source;
    opt.UseLowerName = TkdOption::Global().UseLowerName;
    opt.Prefix = TextOptions().Prefix;
    auto ask = [](const QString &text) {
        if (ShowMessageBox(text, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
            throw EAbort();
    };
    if (!opt.Backup)
        ask(QStringLiteral("テーブルを再作成する為、既存のデータは全て失われます。\r\n"
                           "また、テーブルの作成に失敗しても、テーブルは削除されますのでご注意ください。\r\n"
                           "処理を続行しますか？"));
    else if (source)
        ask(QStringLiteral("ソース修正時には、既存のデータは別テーブルに退避され、再作成後のテーブルは空になります。\r\n"
                           "処理を続行しますか？"));
    const QStringList asLogin = GrantsRecordedAsLogin(facts, SchemaText() + QLatin1Char('.') + NameText());
    if (!asLogin.isEmpty())
        ask(QStringLiteral("次の権限は元の付与者として付与できないため、ログインユーザー「") + facts.CurrentUser
            + QStringLiteral("」による付与として再作成されます。\r\n") + asLogin.join(QStringLiteral("\r\n"))
            + QStringLiteral("\r\n処理を続行しますか？"));
    Lines = TableRebuildLines(FLoaded, CompileDef(), facts, opt, source ? &body : nullptr);
    return true;
}

void TfrmTable::GetSourceCreate(QStringList &Lines)
{
    TTableDef d = CompileDef();
    if (!IsNew()) {
        Lines += TableCreateLines(d, TextOptions());
        return;
    }
    d.Constraints.clear();
    QStringList create = TableCreateLines(d, TextOptions());
    // The storage page's clauses (WITH, TABLESPACE, ON COMMIT, INHERITS) end the CREATE TABLE.
    QStringList clauses;
    if (fraStorage->IsInit())
        fraStorage->GetSourceCreate(clauses);
    const int end = create.indexOf(QStringLiteral(";"));
    if (end >= 0)
        for (int i = 0; i < clauses.size(); ++i)
            create.insert(end + i, clauses[i]);
    Lines += create;
}

void TfrmTable::GetSourceAlter(QStringList &Lines)
{
    Lines += TableAlterLines(FLoaded, CompileDef(), TkdOption::Global().UseLowerName);
    // Autovacuum settings and parents of the storage page.
    if (fraStorage->IsInit()) {
        fraStorage->GetSourceAlterV(Lines);
        fraStorage->GetSourceAlterP(Lines);
    }
}

void TfrmTable::GetSourceDrop(QStringList &Lines)
{
    Lines += TableDropLines(SchemaText(), NameText(), false);
}

QString TfrmTable::DropStatement(bool Cascade) const
{
    return TableDropLines(SchemaText(), NameText(), Cascade).value(0);
}

std::optional<int> TfrmTable::DataRowLimit() const
{
    return pnlWhere->RowLimit();
}

QString TfrmTable::DataColumnComment(const QString &FieldName) const
{
    for (int r = 1; r < grdColumn->RowCount(); ++r)
        if (grdColumn->Cells(tgcName, r) == FieldName)
            return grdColumn->Cells(tgcComment, r);
    return QString();
}

void TfrmTable::ShowData()
{
    const QString table = QuoteIdentifier(SchemaText(), true) + QLatin1Char('.') + QuoteIdentifier(NameText(), true);
    const QString sql = pnlWhere->GetSelectSQL();
    fraData->SetTableName(table);
    fraData->SetSQL(sql);
    fraData->Prepare();
    fraData->Open();
    pnlWhere->grdWhere->SetCurrentCell(1, 1);
}

void TfrmTable::AfterCommit(bool Recreated, bool WasNew)
{
    Q_UNUSED(Recreated)
    if (!WasNew || !fraStorage->IsInit() || fraStorage->StorageType() != ptTemp)
        return;
    // A temporary table lives in the session's own schema, not in the one typed: the window
    // cannot read it back and closes.
    SetModified(false);
    ShowMessageBox(QStringLiteral("一時表は「pg_temp」スキーマから\r\n画面を呼び出してご確認ください。"),
                   MB_ICONINFORMATION | MB_OK);
    QWidget *frame = qobject_cast<QMdiSubWindow *>(parentWidget()) ? parentWidget() : this;
    QMetaObject::invokeMethod(frame, &QWidget::close, Qt::QueuedConnection);
    throw EAbort();
}
