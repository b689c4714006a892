#include "editors/constraint_editor.h"

#include "controls/kdgrid.h"
#include "controls/kdmemo.h"
#include "controls/kdstdctl.h"
#include "core/kdsub_object.h"
#include "core/kdsub_text.h"
#include "editors/column_chooser.h"
#include "platform/db/dbquery.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const char *const kTabColSql =
    "SELECT A.attname FROM pg_class C JOIN pg_namespace N ON C.relnamespace = N.oid "
    "JOIN pg_attribute A ON C.oid = A.attrelid WHERE NOT A.attisdropped AND C.relkind IN ('r', 'p') "
    "AND N.nspname = :SCHEMA AND C.relname = :TBLNAME AND A.attnum > 0 ORDER BY A.attnum";
const char *const kSchemaSql =
    "SELECT nspname FROM pg_namespace WHERE nspname NOT LIKE 'pg\\_%' AND nspname <> 'information_schema' ORDER BY 1";
const char *const kTableSql =
    "SELECT C.relname FROM pg_class C JOIN pg_namespace N ON N.oid = C.relnamespace "
    "WHERE N.nspname = :SCHEMA AND C.relkind IN ('r', 'p') ORDER BY 1";
const char *const kRefIndexSql =
    "SELECT C.relname FROM pg_class C JOIN pg_namespace N ON C.relnamespace = N.oid "
    "JOIN pg_index I ON C.oid = I.indexrelid JOIN pg_am A ON C.relam = A.oid JOIN pg_class C2 ON C2.oid = I.indrelid "
    "WHERE A.amname IN ('btree', 'hash') AND I.indpred IS NULL AND N.nspname = :SCHEMANAME "
    "AND C2.relname = :TBLNAME ORDER BY 1";
// Exclusion needs a method that can exclude (gist, spgist, btree, hash; brin and gin cannot).
const char *const kAccessMethodSql =
    "SELECT UPPER(amname) FROM pg_am WHERE amtype = 'i' AND pg_indexam_has_property(oid, 'can_exclude') "
    "ORDER BY amname";
const char *const kOpClassSql =
    "SELECT DISTINCT OP.opcname FROM pg_opclass OP JOIN pg_am AM ON AM.oid = OP.opcmethod WHERE AM.amname = :AMNAME ORDER BY 1";
const char *const kOperatorSql = "SELECT DISTINCT oprname FROM pg_operator ORDER BY oprname";
const char *const kOperatorExistsSql = "SELECT count(*) FROM pg_operator WHERE oprname = :OPR";
const QStringList kTypes{QStringLiteral("PRIMARY KEY"), QStringLiteral("UNIQUE KEY"), QStringLiteral("FOREIGN KEY"),
                         QStringLiteral("CHECK"), QStringLiteral("EXCLUDE")};
const QStringList kActionTexts{QStringLiteral("何もしない(NO ACTION)"), QStringLiteral("遅延不可(RESTRICT)"),
                               QStringLiteral("連鎖(CASCADE)"), QStringLiteral("NULL(SET NULL)"),
                               QStringLiteral("初期値(SET DEFAULT)")};

// Grid columns of grdExclude.
enum { xcColumn, xcOrder, xcNulls, xcOpClass, xcOperator };

TkdComboBox *Combo(QWidget *parent, const char *name, bool editable)
{
    auto *c = new TkdComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->setEditable(editable);
    c->setMinimumWidth(160);
    return c;
}

QGroupBox *ActionGroup(QWidget *parent, const char *name, const QString &title, QButtonGroup *&group)
{
    auto *box = new QGroupBox(title, parent);
    box->setObjectName(QLatin1String(name));
    auto *lay = new QVBoxLayout(box);
    group = new QButtonGroup(box);
    for (int i = 0; i < kActionTexts.size(); ++i) {
        auto *r = new QRadioButton(kActionTexts[i], box);
        lay->addWidget(r);
        group->addButton(r, i);
    }
    group->button(0)->setChecked(true);
    return box;
}

bool IsOperatorText(const QString &s)
{
    if (s.isEmpty() || s.size() > 63)
        return false;
    for (QChar c : s)
        if (!QStringLiteral("+-*/<>=~!@#%^&|`?").contains(c))
            return false;
    return true;
}

} // namespace

const TEditorPolicy &TfrmConst::ConstPolicy()
{
    static const TEditorPolicy policy = [] {
        TEditorPolicy p;
        p.Kind = QStringLiteral("CONSTRAINT");
        p.LayoutKey = QStringLiteral("CONST");
        p.CaptionMode = 5;
        p.ObjType = 66;
        p.HasGrant = false;
        p.HasCross = false;
        return p;
    }();
    return policy;
}

TfrmConst::TfrmConst(TkdConnForm *Owner, const TObjectArgs &Args, TSourceMode Mode)
    : TObjectEditor(Owner, ConstPolicy(), Mode)
    , FTableName(Args.TableName)
{
    setObjectName(QStringLiteral("frmConst"));
    resize(700, 480);
    SetTaskIcon(66);

    auto *outer = new QVBoxLayout(tabDefine);
    pnlObj = new QWidget(tabDefine);
    pnlObj->setObjectName(QStringLiteral("pnlObj"));
    auto *top = new QHBoxLayout(pnlObj);
    top->setContentsMargins(0, 0, 0, 0);
    cmbConstType = Combo(pnlObj, "cmbConstType", false);
    cmbConstType->addItems(kTypes);
    cmbTableName = Combo(pnlObj, "cmbTableName", true);
    top->addWidget(new QLabel(QStringLiteral("タイプ"), pnlObj));
    top->addWidget(cmbConstType);
    top->addSpacing(16);
    top->addWidget(new QLabel(QStringLiteral("テーブル"), pnlObj));
    top->addWidget(cmbTableName, 1);
    outer->addWidget(pnlObj);

    pagType = new QStackedWidget(tabDefine);
    pagType->setObjectName(QStringLiteral("pagType"));
    outer->addWidget(pagType, 1);

    tabPrimary = new QWidget(pagType);
    tabPrimary->setObjectName(QStringLiteral("tabPrimary"));
    auto *prim = new QVBoxLayout(tabPrimary);
    prim->setContentsMargins(0, 0, 0, 0);
    fraColumns = new TColumnChooser(tabPrimary, true);
    prim->addWidget(fraColumns);

    tabForeign = new QWidget(pagType);
    tabForeign->setObjectName(QStringLiteral("tabForeign"));
    auto *fk = new QGridLayout(tabForeign);
    cmbRefSchema = Combo(tabForeign, "cmbRefSchema", true);
    cmbRefTable = Combo(tabForeign, "cmbRefTable", true);
    cmbRefIndex = Combo(tabForeign, "cmbRefIndex", true);
    fk->addWidget(new QLabel(QStringLiteral("スキーマ"), tabForeign), 0, 0);
    fk->addWidget(cmbRefSchema, 0, 1);
    fk->addWidget(new QLabel(QStringLiteral("テーブル"), tabForeign), 1, 0);
    fk->addWidget(cmbRefTable, 1, 1);
    fk->addWidget(new QLabel(QStringLiteral("インデックス"), tabForeign), 2, 0);
    fk->addWidget(cmbRefIndex, 2, 1);
    rdoUpdateAction = ActionGroup(tabForeign, "rdoUpdateAction", QStringLiteral("更新時のアクション"), grpUpdate);
    rdoDeleteAction = ActionGroup(tabForeign, "rdoDeleteAction", QStringLiteral("削除時のアクション"), grpDelete);
    fk->addWidget(rdoUpdateAction, 3, 0, 1, 2);
    fk->addWidget(rdoDeleteAction, 4, 0, 1, 2);
    grdForeign = new TkdStringGrid(tabForeign);
    grdForeign->setObjectName(QStringLiteral("grdForeign"));
    grdForeign->SetColCount(2);
    grdForeign->SetRowCount(2);
    grdForeign->SetHeader({QStringLiteral("参照先項目名"), QStringLiteral("テーブル項目名")});
    grdForeign->SetGridMode(geAccess);
    grdForeign->SetEditStyles(1, geDropList);
    grdForeign->OnGetPickListitems = [this](int ACol, int, QStringList &AItems) {
        if (ACol == 1)
            AItems = FTableColumns;
    };
    fk->addWidget(grdForeign, 0, 2, 5, 1);
    fk->setColumnStretch(2, 1);

    tabCheck = new QWidget(pagType);
    tabCheck->setObjectName(QStringLiteral("tabCheck"));
    auto *chk = new QVBoxLayout(tabCheck);
    chk->setContentsMargins(0, 0, 0, 0);
    txtCheck = new TkdMemo(tabCheck);
    txtCheck->setObjectName(QStringLiteral("txtCheck"));
    chk->addWidget(txtCheck);

    tabExclude = new QWidget(pagType);
    tabExclude->setObjectName(QStringLiteral("tabExclude"));
    auto *ex = new QVBoxLayout(tabExclude);
    ex->setContentsMargins(0, 0, 0, 0);
    pnlExclude = new QWidget(tabExclude);
    pnlExclude->setObjectName(QStringLiteral("pnlExclude"));
    auto *exTop = new QHBoxLayout(pnlExclude);
    exTop->setContentsMargins(0, 0, 0, 0);
    cmbAccessMethod = Combo(pnlExclude, "cmbAccessMethod", false);
    exTop->addWidget(new QLabel(QStringLiteral("アクセスメソッド"), pnlExclude));
    exTop->addWidget(cmbAccessMethod);
    exTop->addStretch(1);
    btnGridIns = new QToolButton(tabExclude);
    btnGridIns->setObjectName(QStringLiteral("btnGridIns"));
    btnGridIns->setText(QStringLiteral("追加"));
    btnGridDel = new QToolButton(tabExclude);
    btnGridDel->setObjectName(QStringLiteral("btnGridDel"));
    btnGridDel->setText(QStringLiteral("削除"));
    if (TkdMainForm *host = TkdMainForm::Instance()) {
        btnGridIns->setIcon(host->Image(39));
        btnGridDel->setIcon(host->Image(40));
    }
    for (QToolButton *b : {btnGridIns, btnGridDel})
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    exTop->addWidget(btnGridIns);
    exTop->addWidget(btnGridDel);
    ex->addWidget(pnlExclude);
    grdExclude = new TkdStringGrid(tabExclude);
    grdExclude->setObjectName(QStringLiteral("grdExclude"));
    grdExclude->SetColCount(5);
    grdExclude->SetRowCount(2);
    grdExclude->SetHeader({QStringLiteral("項目名"), QStringLiteral("順序"), QStringLiteral("NULL順序"),
                           QStringLiteral("演算子クラス"), QStringLiteral("演算子")});
    grdExclude->SetGridMode(geAccess);
    for (int c = 0; c < 5; ++c)
        grdExclude->SetEditStyles(c, gePickList);
    const int widths[] = {120, 58, 91, 169, 132};
    for (int c = 0; c < 5; ++c)
        grdExclude->setColumnWidth(c, widths[c]);
    grdExclude->OnGetPickListitems = [this](int ACol, int, QStringList &AItems) {
        GuardedCall([&] { AItems = ExcludePickList(ACol); });
    };
    ex->addWidget(grdExclude, 1);

    pagType->addWidget(tabPrimary);
    pagType->addWidget(tabForeign);
    pagType->addWidget(tabCheck);
    pagType->addWidget(tabExclude);

    tabStorage = AddTablespacePage(cmbTBS);

    if (cmbSchema)
        cmbSchema->setEditText(Args.Schema);
    txtName->setText(Args.ObjectName);
    cmbTableName->setEditText(Args.TableName);
    if (Mode == smShow) {
        GuardedCall([this, &Args] {
            FDefaultTBS = FillTablespaces(cmbTBS);
            const QStringList schemas = ReadList(QString::fromLatin1(kSchemaSql), {});
            cmbRefSchema->addItems(schemas);
            if (cmbSchema && Args.ObjectName.isEmpty()) {
                cmbSchema->addItems(schemas);
                cmbSchema->setEditText(Args.Schema);
            }
        });
        if (Args.ObjectName.isEmpty())
            cmbRefSchema->setEditText(Args.Schema);
    }

    FinishSetup();
    connect(cmbConstType, &QComboBox::activated, this, [this] {
        cmbConstTypeChange();
        OnChange();
    });
    connect(cmbTableName, &QComboBox::editTextChanged, this, [this] { OnChange(); });
    connect(cmbTableName->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        if (cmbTableName->Text() != FLoaded.Table || FTableColumns.isEmpty())
            GuardedCall([this] { ShowTabCol(); });
    });
    connect(cmbTableName, &QComboBox::textActivated, this, [this] { GuardedCall([this] { ShowTabCol(); }); });
    connect(fraColumns, &TColumnChooser::changed, this, [this] { OnChange(); });
    for (TkdComboBox *c : {cmbRefSchema, cmbRefTable, cmbRefIndex})
        connect(c, &QComboBox::editTextChanged, this, [this] { OnChange(); });
    connect(cmbRefSchema, &QComboBox::textActivated, this, [this] { GuardedCall([this] { FillRefTables(); }); });
    connect(cmbRefTable, &QComboBox::textActivated, this, [this] { GuardedCall([this] { FillRefIndexes(); }); });
    connect(cmbRefIndex, &QComboBox::textActivated, this, [this] { GuardedCall([this] { cmbRefIndexSelect(); }); });
    connect(grpUpdate, &QButtonGroup::idClicked, this, [this] { OnChange(); });
    connect(grpDelete, &QButtonGroup::idClicked, this, [this] { OnChange(); });
    connect(grdForeign, &TkdStringGrid::OnSetEditText, this, [this] { OnChange(); });
    connect(txtCheck, &QsciScintilla::textChanged, this, [this] { OnChange(); });
    connect(cmbAccessMethod, &QComboBox::activated, this, [this] {
        cmbAccessMethodChange();
        OnChange();
    });
    connect(grdExclude, &TkdStringGrid::OnSetEditText, this, [this](TkdStringGrid *, int, int ARow, const QString &AValue) {
        if (ARow == grdExclude->RowCount() - 1 && !AValue.trimmed().isEmpty()) {
            grdExclude->SetRowCount(grdExclude->RowCount() + 1);
            for (int c = 0; c < 5; ++c)
                grdExclude->SetCells(c, grdExclude->RowCount() - 1, QString());
        }
        OnChange();
    });
    connect(btnGridIns, &QToolButton::clicked, this, [this] { btnGridInsClick(); });
    connect(btnGridDel, &QToolButton::clicked, this, [this] { btnGridDelClick(); });
    connect(cmbTBS, &QComboBox::activated, this, [this] { OnChange(); });
}

QWidget *TfrmConst::Open(TkdConnForm *Owner, const TObjectArgs &Args)
{
    // The window always opens on its definition.
    TObjectArgs args = Args;
    args.OpenMode = omDefine;
    return OpenEditorWindow<TfrmConst>(Owner, args, ConstPolicy());
}

void TfrmConst::Script(TkdConnForm *Owner, const TObjectArgs &Args, TScriptSink &Sink)
{
    TConstraintDef def;
    if (Args.TableName.isEmpty() || !LoadConstraintDef(Owner, Args.Schema, Args.TableName, Args.ObjectName, def))
        throw EAbort();
    Sink.WriteScript(ConstraintAddLines(def, SchemaPrefixFor(smText, Args.Schema, Owner->CurrentSchema())));
}

void TfrmConst::ShowTabCol()
{
    TkdWaitCursor wait;
    FTableColumns = (SchemaText().isEmpty() || cmbTableName->Text().isEmpty())
                        ? QStringList()
                        : ReadList(QString::fromLatin1(kTabColSql), {SchemaText(), cmbTableName->Text()});
    fraColumns->SetTableColumns(FTableColumns);
}

void TfrmConst::FillAccessMethods()
{
    if (FMethodsRead)
        return;
    const QString current = cmbAccessMethod->currentText();
    const QSignalBlocker block(cmbAccessMethod);
    for (const QString &m : ReadList(QString::fromLatin1(kAccessMethodSql), {}))
        if (cmbAccessMethod->findText(m) < 0)
            cmbAccessMethod->addItem(m);
    FMethodsRead = true;
    if (!current.isEmpty())
        SelectComboItem(cmbAccessMethod, current);
}

void TfrmConst::FillRefTables()
{
    const QString table = cmbRefTable->Text();
    const QSignalBlocker block(cmbRefTable);
    cmbRefTable->clear();
    cmbRefTable->addItems(ReadList(QString::fromLatin1(kTableSql), {cmbRefSchema->Text()}));
    cmbRefTable->setEditText(table);
}

void TfrmConst::FillRefIndexes()
{
    const QString index = cmbRefIndex->Text();
    const QSignalBlocker block(cmbRefIndex);
    cmbRefIndex->clear();
    cmbRefIndex->addItems(ReadList(QString::fromLatin1(kRefIndexSql), {cmbRefSchema->Text(), cmbRefTable->Text()}));
    cmbRefIndex->setEditText(index);
}

// The referenced columns of the chosen index fill the left column of the grid.
void TfrmConst::cmbRefIndexSelect()
{
    if (cmbRefSchema->IsNull() || cmbRefIndex->IsNull())
        return;
    TIndexDef ix;
    if (!LoadIndexDef(OwnerForm(), cmbRefSchema->Text(), cmbRefIndex->Text(), ix))
        return;
    QStringList names;
    for (const TIndexColumn &c : ix.Columns)
        if (!c.Name.isEmpty())
            names << c.Name;
    grdForeign->SetRowCount(qMax(int(names.size()) + 1, 2));
    for (int r = 1; r < grdForeign->RowCount(); ++r) {
        grdForeign->SetCells(0, r, names.value(r - 1));
        grdForeign->SetCells(1, r, QString());
    }
    OnChange();
}

void TfrmConst::cmbConstTypeChange()
{
    const int kind = cmbConstType->currentIndex();
    switch (kind) {
    case 2: pagType->setCurrentWidget(tabForeign); break;
    case 3: pagType->setCurrentWidget(tabCheck); break;
    case 4:
        pagType->setCurrentWidget(tabExclude);
        if (IsNew() && SourceMode == smShow) {
            GuardedCall([this] { FillAccessMethods(); });
            if (cmbAccessMethod->currentIndex() < 0 && cmbAccessMethod->count() > 0)
                cmbAccessMethod->setCurrentIndex(0);
        }
        break;
    default:
        pagType->setCurrentWidget(tabPrimary);
        fraColumns->lblIdxCol->setText(kind == 0 ? QStringLiteral("主キーの列") : QStringLiteral("一意キーの列"));
        break;
    }
    pagObject->setTabVisible(pagObject->indexOf(tabStorage), kind == 0 || kind == 1 || kind == 4);
}

void TfrmConst::cmbAccessMethodChange()
{
    // Order, NULLS order and operator class belong to the method: the last row's are emptied.
    const int r = grdExclude->RowCount() - 1;
    if (r >= 1)
        for (int c : {xcOrder, xcNulls, xcOpClass})
            grdExclude->SetCells(c, r, QString());
}

void TfrmConst::btnGridInsClick()
{
    grdExclude->setFocus();
    grdExclude->SetRowCount(grdExclude->RowCount() + 1);
    for (int c = 0; c < 5; ++c)
        grdExclude->SetCells(c, grdExclude->RowCount() - 1, QString());
    OnChange();
}

void TfrmConst::btnGridDelClick()
{
    if (grdExclude->RowCount() <= 2)
        return;
    const int r = grdExclude->Row();
    if (r >= 1)
        grdExclude->DeleteRow(r);
    OnChange();
}

QStringList TfrmConst::ExcludePickList(int Col) const
{
    switch (Col) {
    case xcColumn: return FTableColumns;
    case xcOrder: return {QStringLiteral("ASC"), QStringLiteral("DESC")};
    case xcNulls: return {QStringLiteral("FIRST"), QStringLiteral("LAST")};
    case xcOpClass: {
        const QString method = cmbAccessMethod->currentText().toLower();
        if (method != FOpClassMethod) {
            FOpClasses = ReadList(QString::fromLatin1(kOpClassSql), {method});
            FOpClassMethod = method;
        }
        return FOpClasses;
    }
    case xcOperator:
        if (FOperators.isEmpty())
            FOperators = ReadList(QString::fromLatin1(kOperatorSql), {});
        return FOperators;
    default: return {};
    }
}

void TfrmConst::SetControls(const TConstraintDef &Def)
{
    cmbConstType->setCurrentIndex(ConstraintKindIndex(Def.Type));
    cmbTableName->setEditText(Def.Table);
    QList<TColumnChooser::TItem> items;
    if (Def.Type == QLatin1Char('p') || Def.Type == QLatin1Char('u'))
        for (const QString &c : Def.Columns)
            items << TColumnChooser::TItem{c, QString(), -1};
    fraColumns->SetItems(items);

    cmbRefSchema->setEditText(Def.RefSchema);
    cmbRefTable->setEditText(Def.RefTable);
    cmbRefIndex->setEditText(Def.RefIndex);
    grpUpdate->button(ConstraintActionIndex(Def.UpdateAction))->setChecked(true);
    grpDelete->button(ConstraintActionIndex(Def.DeleteAction))->setChecked(true);
    const int fkRows = Def.Type == QLatin1Char('f') ? int(qMin(Def.Columns.size(), Def.RefColumns.size())) : 0;
    grdForeign->SetRowCount(qMax(fkRows + 1, 2));
    for (int r = 1; r < grdForeign->RowCount(); ++r) {
        grdForeign->SetCells(0, r, r <= fkRows ? Def.RefColumns[r - 1] : QString());
        grdForeign->SetCells(1, r, r <= fkRows ? Def.Columns[r - 1] : QString());
    }

    txtCheck->setText(Def.Type == QLatin1Char('c') ? Def.Check : QString());

    {
        const QSignalBlocker block(cmbAccessMethod);
        const QString method = Def.Method.toUpper();
        if (Def.Type == QLatin1Char('x')) {
            if (cmbAccessMethod->findText(method) < 0)
                cmbAccessMethod->addItem(method);
            SelectComboItem(cmbAccessMethod, method);
        }
    }
    const bool ordered = IndexMethodOrdered(Def.Method);
    const int xRows = Def.Type == QLatin1Char('x') ? int(Def.Elements.size()) : 0;
    grdExclude->SetRowCount(xRows + 2);
    for (int r = 1; r < grdExclude->RowCount(); ++r) {
        for (int c = 0; c < 5; ++c)
            grdExclude->SetCells(c, r, QString());
        grdExclude->SetObjects(xcColumn, r, QVariant());
        if (r > xRows)
            continue;
        const TExcludeElement &e = Def.Elements[r - 1];
        grdExclude->SetCells(xcColumn, r, e.Column.Name.isEmpty() ? e.Column.Expression : e.Column.Name);
        grdExclude->SetObjects(xcColumn, r, r - 1);
        if (ordered) {
            grdExclude->SetCells(xcOrder, r, e.Column.Desc ? QStringLiteral("DESC") : QStringLiteral("ASC"));
            grdExclude->SetCells(xcNulls, r, e.Column.NullsFirst ? QStringLiteral("FIRST") : QStringLiteral("LAST"));
        }
        grdExclude->SetCells(xcOpClass, r, e.Column.OpClass);
        grdExclude->SetCells(xcOperator, r, e.Operator);
    }

    if (!Def.IndexTablespace.isEmpty()) {
        if (cmbTBS->findText(Def.IndexTablespace) < 0)
            cmbTBS->addItem(Def.IndexTablespace);
        SelectComboItem(cmbTBS, Def.IndexTablespace);
    } else {
        SelectComboItem(cmbTBS, FDefaultTBS);
    }
    cmbConstTypeChange();
}

void TfrmConst::LoadDefinition()
{
    TConstraintDef def;
    if (cmbTableName->Text().isEmpty())
        cmbTableName->setEditText(FTableName);
    if (!LoadConstraintDef(OwnerForm(), SchemaText(), cmbTableName->Text(), NameText(), def))
        ObjectMissing();
    FLoaded = def;
    if (SourceMode != smShow)
        return;
    SetControls(def);
    ShowTabCol();
}

void TfrmConst::SaveControls()
{
    if (IsNew()) {
        FLoaded = TConstraintDef();
        FLoaded.Schema = SchemaText();
        FLoaded.Table = cmbTableName->Text();
        FLoaded.RefSchema = SchemaText();
        if (SourceMode == smShow) {
            SetControls(FLoaded);
            cmbRefSchema->setEditText(SchemaText());
            GuardedCall([this] { ShowTabCol(); });
        }
    }
    FSaved = ControlsDef();
    for (TkdComboBox *c : {cmbConstType, cmbTableName, cmbRefSchema, cmbRefTable, cmbRefIndex, cmbAccessMethod, cmbTBS})
        c->Save();
    grdForeign->Save();
    grdExclude->Save();
}

TConstraintDef TfrmConst::ControlsDef() const
{
    if (SourceMode != smShow)
        return FLoaded;
    TConstraintDef d = FLoaded;
    d.Definition.clear();
    d.Schema = SchemaText();
    d.Table = cmbTableName->Text();
    d.Name = NameText();
    d.Type = ConstraintKindType(cmbConstType->currentIndex());
    const bool sameType = d.Type == FLoaded.Type;
    if (!sameType) {
        // Attributes of another kind do not carry over.
        d.Include.clear();
        d.NullsNotDistinct = false;
        d.NoInherit = false;
        d.Validated = true;
        d.Where.clear();
        d.Match = QLatin1Char('s');
        d.DeleteSetColumns.clear();
    }
    d.Columns.clear();
    d.RefColumns.clear();
    d.Elements.clear();
    switch (d.Type.toLatin1()) {
    case 'p':
    case 'u':
        d.Columns = fraColumns->Names();
        break;
    case 'f':
        d.RefSchema = cmbRefSchema->Text();
        d.RefTable = cmbRefTable->Text();
        d.RefIndex = cmbRefIndex->Text();
        d.UpdateAction = ConstraintActionCode(grpUpdate->checkedId());
        d.DeleteAction = ConstraintActionCode(grpDelete->checkedId());
        // A row without both columns is left out.
        for (int r = 1; r < grdForeign->RowCount(); ++r) {
            const QString ref = grdForeign->Cells(0, r).trimmed();
            const QString own = grdForeign->Cells(1, r).trimmed();
            if (ref.isEmpty() || own.isEmpty())
                continue;
            d.RefColumns << ref;
            d.Columns << own;
        }
        if (d.DeleteAction != FLoaded.DeleteAction)
            d.DeleteSetColumns.clear();
        break;
    case 'c':
        d.Check = txtCheck->text();
        break;
    case 'x': {
        d.Method = cmbAccessMethod->currentText().toLower();
        const bool ordered = IndexMethodOrdered(d.Method);
        for (int r = 1; r < grdExclude->RowCount(); ++r) {
            const QString col = grdExclude->Cells(xcColumn, r).trimmed();
            if (col.isEmpty())
                continue;
            const QVariant tag = grdExclude->Objects(xcColumn, r);
            const int at = tag.isValid() ? tag.toInt() : -1;
            const TExcludeElement *loaded = (sameType && at >= 0 && at < FLoaded.Elements.size()) ? &FLoaded.Elements[at] : nullptr;
            TExcludeElement e;
            const QString loadedKey = loaded ? (loaded->Column.Name.isEmpty() ? loaded->Column.Expression : loaded->Column.Name) : QString();
            if (loaded && col == loadedKey) {
                e.Column.Name = loaded->Column.Name;
                e.Column.Expression = loaded->Column.Expression;
                e.Column.Collation = loaded->Column.Collation;
            } else if (FTableColumns.contains(col)) {
                e.Column.Name = col;
            } else {
                e.Column.Expression = col.startsWith(QLatin1Char('(')) ? col : QLatin1Char('(') + col + QLatin1Char(')');
            }
            const QString opc = grdExclude->Cells(xcOpClass, r).trimmed();
            e.Column.OpClass = (loaded && opc == loaded->Column.OpClass && d.Method == FLoaded.Method) ? opc
                                                                                                      : QuoteIdentifier(opc);
            if (ordered) {
                e.Column.Desc = grdExclude->Cells(xcOrder, r).trimmed().toUpper() == QLatin1String("DESC");
                const QString nulls = grdExclude->Cells(xcNulls, r).trimmed().toUpper();
                e.Column.NullsFirst = nulls.isEmpty() ? e.Column.Desc : nulls == QLatin1String("FIRST");
            }
            e.Operator = grdExclude->Cells(xcOperator, r).trimmed();
            d.Elements << e;
        }
        break;
    }
    default: break;
    }
    if (d.Type == QLatin1Char('p') || d.Type == QLatin1Char('u') || d.Type == QLatin1Char('x')) {
        const QString tbs = cmbTBS->currentText();
        d.IndexTablespace = (tbs == FDefaultTBS && FLoaded.IndexTablespace.isEmpty()) ? QString() : tbs;
    } else {
        d.IndexTablespace.clear();
        d.IndexOptions.clear();
    }
    return d;
}

void TfrmConst::ValidateInput()
{
    auto define = [this] { pagObject->setCurrentWidget(tabDefine); };
    if (cmbTableName->IsNull()) {
        define();
        Refuse(QStringLiteral("テーブルを設定して下さい。"), cmbTableName);
    }
    const int kind = cmbConstType->currentIndex();
    if (kind == 2) {
        if (cmbRefSchema->IsNull()) {
            define();
            Refuse(QStringLiteral("スキーマを設定して下さい。"), cmbRefSchema);
        }
        if (cmbRefTable->IsNull()) {
            define();
            Refuse(QStringLiteral("親テーブルを設定して下さい。"), cmbRefTable);
        }
    }
    const TConstraintDef d = ControlsDef();
    if ((kind == 0 || kind == 1) && d.Columns.isEmpty()) {
        define();
        Refuse(QStringLiteral("列を指定して下さい。"), fraColumns->lstIdxCol);
    }
    if (kind == 2 && d.Columns.isEmpty()) {
        define();
        Refuse(QStringLiteral("列を指定して下さい。"), grdForeign);
    }
    if (kind == 3 && TrimBlanks(d.Check).isEmpty()) {
        define();
        Refuse(QStringLiteral("条件を入力して下さい。"), txtCheck);
    }
    if (kind == 4) {
        if (d.Elements.isEmpty()) {
            define();
            Refuse(QStringLiteral("列を指定して下さい。"), grdExclude);
        }
        // Operators reach the statement as written, so each one must be an operator the
        // server has (the loaded ones, qualified, are taken as they are).
        QStringList loaded;
        for (const TExcludeElement &e : FLoaded.Elements)
            loaded << e.Operator;
        for (const TExcludeElement &e : d.Elements) {
            if (loaded.contains(e.Operator) && !e.Operator.isEmpty())
                continue;
            bool exists = false;
            if (IsOperatorText(e.Operator)) {
                db::Query *q = OwnerForm()->OpenSQL(QString::fromLatin1(kOperatorExistsSql), {e.Operator});
                exists = !q->eof() && q->field(0).asInteger() > 0;
                q->close();
            }
            if (!exists) {
                define();
                Refuse(e.Operator.isEmpty() ? QStringLiteral("演算子を指定して下さい。")
                                            : QStringLiteral("演算子 %1 は存在しません。").arg(e.Operator),
                       grdExclude);
            }
        }
    }
}

bool TfrmConst::MustRecreate() const
{
    return TObjectEditor::MustRecreate() || !(ControlsDef() == FSaved);
}

void TfrmConst::GetSourceCreate(QStringList &Lines)
{
    Lines += ConstraintAddLines(ControlsDef(), SourceMode == smText
                                                   ? SchemaPrefixFor(smText, SchemaText(), OwnerForm()->CurrentSchema())
                                                   : QuoteIdentifier(SchemaText()) + QLatin1Char('.'));
}

void TfrmConst::GetSourceAlter(QStringList &Lines)
{
    Q_UNUSED(Lines); // every change is a rebuild
}

void TfrmConst::GetSourceDrop(QStringList &Lines)
{
    Lines += ConstraintDropLines(SchemaText(), FLoaded.Table.isEmpty() ? cmbTableName->Text() : FLoaded.Table, NameText());
}

QString TfrmConst::DropStatement(bool Cascade) const
{
    Q_UNUSED(Cascade);
    return ConstraintDropStatement(SchemaText(), FLoaded.Table.isEmpty() ? cmbTableName->Text() : FLoaded.Table, NameText());
}

void TfrmConst::ChangedIsNewEditor()
{
    if (!IsNew()) {
        const QString table = FLoaded.Table.isEmpty() ? cmbTableName->Text() : FLoaded.Table;
        setWindowTitle(CaptionFor(OwnerForm(), ConstPolicy(), SchemaText(), NameText(), table));
    }
    pagObject->setTabVisible(pagObject->indexOf(tabSource), false);
    // Schema, table, name, kind and access method are fixed once the constraint exists.
    pnlObj->setEnabled(IsNew());
    cmbAccessMethod->setEnabled(IsNew());
    if (IsNew() && SourceMode == smShow)
        cmbTableName->setFocus();
}
