#include "editors/sequence_editor.h"

#include "browser/fobject.h"
#include "controls/kdstdctl.h"
#include "core/kdsub_text.h"
#include "editors/catalog_lookup.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

namespace {

const char *const kTableListSql = "SELECT tablename FROM PG_TABLES WHERE schemaname = :SCHEMA ORDER BY 1";
const char *const kColumnListSql =
    "SELECT A.attname FROM pg_class C LEFT JOIN pg_namespace N ON C.relnamespace = N.oid "
    "LEFT JOIN pg_attribute A ON C.oid = A.attrelid WHERE C.relkind IN ('r', 'p') AND N.nspname = :SCHEMA "
    "AND C.relname = :TABLE AND A.attnum > 0 AND A.attisdropped = False ORDER BY A.attnum";

TkdNumEdit *NumEdit(QWidget *parent, const char *name, bool minus)
{
    auto *e = new TkdNumEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->SetAllowMinus(minus);
    e->setMinimumWidth(200);
    return e;
}

} // namespace

const TEditorPolicy &TfrmSeq::SeqPolicy()
{
    static const TEditorPolicy policy = [] {
        TEditorPolicy p;
        p.Kind = QStringLiteral("SEQUENCE");
        p.LayoutKey = QStringLiteral("SEQ");
        p.CaptionMode = 3;
        p.ObjType = 58;
        return p;
    }();
    return policy;
}

TfrmSeq::TfrmSeq(TkdConnForm *Owner, const TObjectArgs &Args, TSourceMode Mode)
    : TObjectEditor(Owner, SeqPolicy(), Mode)
{
    setObjectName(QStringLiteral("frmSeq"));
    resize(761, 416);
    SetTaskIcon(58);

    actInc = new QAction(QStringLiteral("加算(&I)"), this);
    actInc->setObjectName(QStringLiteral("actInc"));
    actInc->setToolTip(QStringLiteral("加算"));
    actInc->setStatusTip(QStringLiteral("SEQUENCEの現在値に増分値を加算します。"));
    connect(actInc, &QAction::triggered, this, [this] { GuardedCall([this] { actIncExecute(); }); });
    mnuObject->addSeparator();
    mnuObject->addAction(actInc);

    auto *grid = new QGridLayout(tabDefine);
    grid->setColumnStretch(3, 1);
    int row = 0;
    lblCurrent = new QLabel(QStringLiteral("現 在 値"), tabDefine);
    pnlCurrent = new QLabel(tabDefine);
    pnlCurrent->setObjectName(QStringLiteral("pnlCurrent"));
    pnlCurrent->setFrameShape(QFrame::Panel);
    pnlCurrent->setFrameShadow(QFrame::Sunken);
    pnlCurrent->setMinimumWidth(200);
    btnInc = new QPushButton(tabDefine);
    btnInc->setObjectName(QStringLiteral("btnInc"));
    btnInc->setText(actInc->text());
    connect(btnInc, &QPushButton::clicked, actInc, &QAction::trigger);
    grid->addWidget(lblCurrent, row, 0);
    grid->addWidget(pnlCurrent, row, 1);
    grid->addWidget(btnInc, row, 2, Qt::AlignLeft);
    ++row;
    lblLastNo = new QLabel(QStringLiteral("初 期 値"), tabDefine);
    txtLastNo = NumEdit(tabDefine, "txtLastNo", true);
    grid->addWidget(lblLastNo, row, 0);
    grid->addWidget(txtLastNo, row, 1);
    ++row;
    txtMin = NumEdit(tabDefine, "txtMin", true);
    chkNoMin = new TkdCheckBox(QStringLiteral("NoMinValue"), tabDefine);
    chkNoMin->setObjectName(QStringLiteral("chkNoMin"));
    grid->addWidget(new QLabel(QStringLiteral("範囲(最小)"), tabDefine), row, 0);
    grid->addWidget(txtMin, row, 1);
    grid->addWidget(chkNoMin, row, 2);
    ++row;
    txtMax = NumEdit(tabDefine, "txtMax", true);
    chkNomax = new TkdCheckBox(QStringLiteral("NoMaxValue"), tabDefine);
    chkNomax->setObjectName(QStringLiteral("chkNomax"));
    grid->addWidget(new QLabel(QStringLiteral("　　(最大)"), tabDefine), row, 0);
    grid->addWidget(txtMax, row, 1);
    grid->addWidget(chkNomax, row, 2);
    ++row;
    txtInc = NumEdit(tabDefine, "txtInc", true);
    chkCycle = new TkdCheckBox(QStringLiteral("繰り返し"), tabDefine);
    chkCycle->setObjectName(QStringLiteral("chkCycle"));
    chkCycle->setLayoutDirection(Qt::RightToLeft);
    grid->addWidget(new QLabel(QStringLiteral("増　　分"), tabDefine), row, 0);
    grid->addWidget(txtInc, row, 1);
    grid->addWidget(chkCycle, row, 2, Qt::AlignLeft);
    ++row;
    txtCache = NumEdit(tabDefine, "txtCache", false);
    grid->addWidget(new QLabel(QStringLiteral("キャッシュサイズ"), tabDefine), row, 0);
    grid->addWidget(txtCache, row, 1);
    ++row;
    // The table and column boxes show catalog names exactly (mixed case included).
    cmbTable = new TkdComboBox(tabDefine);
    cmbTable->setObjectName(QStringLiteral("cmbTable"));
    cmbTable->setEditable(true);
    cmbColumn = new TkdComboBox(tabDefine);
    cmbColumn->setObjectName(QStringLiteral("cmbColumn"));
    cmbColumn->setEditable(true);
    chkOwned = new TkdCheckBox(QStringLiteral("NONE"), tabDefine);
    chkOwned->setObjectName(QStringLiteral("chkOwned"));
    auto *owned = new QHBoxLayout;
    owned->addWidget(cmbTable, 1);
    owned->addWidget(cmbColumn, 1);
    grid->addWidget(new QLabel(QStringLiteral("関連付け"), tabDefine), row, 0);
    grid->addLayout(owned, row, 1, 1, 2);
    grid->addWidget(chkOwned, row, 3, Qt::AlignLeft);
    ++row;
    grid->setRowStretch(row, 1);

    // The form's values of a new sequence.
    SetControls(TSequenceDef());

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

    FinishSetup();
    for (TkdNumEdit *e : {txtLastNo, txtMin, txtMax, txtInc, txtCache})
        connect(e, &QLineEdit::textChanged, this, [this] { OnChange(); });
    connect(chkCycle, &QCheckBox::clicked, this, [this] { OnChange(); });
    for (TkdCheckBox *c : {chkNoMin, chkNomax, chkOwned})
        connect(c, &QCheckBox::clicked, this, [this] {
            UpdateEnabling();
            OnChange();
        });
    connect(cmbColumn, &QComboBox::editTextChanged, this, [this] { OnChange(); });
    connect(cmbTable, &QComboBox::editTextChanged, this, [this] { OnChange(); });
    connect(cmbTable, &QComboBox::textActivated, this, [this] {
        cmbColumn->clear();
        cmbColumn->setEditText(QString());
        GuardedCall([this] { ShowColumnList(); });
    });
    if (cmbSchema)
        connect(cmbSchema, &QComboBox::textActivated, this, [this] {
            cmbTable->clear();
            cmbTable->setEditText(QString());
            cmbColumn->clear();
            cmbColumn->setEditText(QString());
            GuardedCall([this] { ShowTableList(); });
        });
}

QWidget *TfrmSeq::Open(TkdConnForm *Owner, const TObjectArgs &Args)
{
    return OpenEditorWindow<TfrmSeq>(Owner, Args, SeqPolicy());
}

void TfrmSeq::Script(TkdConnForm *Owner, const TObjectArgs &Args, TScriptSink &Sink)
{
    TSequenceDef def;
    if (!LoadSequenceDef(Owner, Args.Schema, Args.ObjectName, def))
        throw EAbort();
    Sink.WriteScript(SequenceCreateLines(def, SchemaPrefixFor(smText, Args.Schema, Owner->CurrentSchema()),
                                         Args.Schema, Args.ObjectName));
}

TSequenceDef TfrmSeq::ControlsDef() const
{
    TSequenceDef d;
    d.LastValue = txtLastNo->text();
    d.MinValue = txtMin->text();
    d.MaxValue = txtMax->text();
    d.Increment = txtInc->text();
    d.Cache = txtCache->text();
    d.Cycle = chkCycle->isChecked();
    d.NoMin = chkNoMin->isChecked();
    d.NoMax = chkNomax->isChecked();
    d.OwnedNone = chkOwned->isChecked();
    d.Table = cmbTable->Text();
    d.Column = cmbColumn->Text();
    d.TypeName = FTypeName;
    return d;
}

void TfrmSeq::SetControls(const TSequenceDef &Def)
{
    txtLastNo->setText(Def.LastValue);
    txtMin->setText(Def.MinValue);
    txtMax->setText(Def.MaxValue);
    txtInc->setText(Def.Increment);
    txtCache->setText(Def.Cache);
    chkCycle->setChecked(Def.Cycle);
    chkNoMin->setChecked(Def.NoMin);
    chkNomax->setChecked(Def.NoMax);
    cmbTable->clear();
    cmbColumn->clear();
    cmbTable->setEditText(Def.Table);
    cmbColumn->setEditText(Def.Column);
    chkOwned->setChecked(Def.OwnedNone);
    FTypeName = Def.TypeName;
    UpdateEnabling();
}

void TfrmSeq::UpdateEnabling()
{
    txtMin->setEnabled(!chkNoMin->isChecked());
    txtMax->setEnabled(!chkNomax->isChecked());
    cmbTable->setEnabled(!chkOwned->isChecked());
    cmbColumn->setEnabled(!chkOwned->isChecked());
}

void TfrmSeq::LoadDefinition()
{
    TSequenceDef def;
    if (!LoadSequenceDef(OwnerForm(), SchemaText(), NameText(), def))
        ObjectMissing();
    SetControls(def);
    if (SourceMode == smShow) {
        ShowCurrentValue();
        GuardedCall([this] { ShowTableList(); });
    }
}

void TfrmSeq::ShowCurrentValue()
{
    pnlCurrent->setText(QStringLiteral("(不明)"));
    if (!FNextVal)
        return;
    // The session's current value; an error (no NEXTVAL in this session) leaves "(不明)",
    // and inside an open block only this statement is undone.
    try {
        OwnerForm()->dbsMain()->protect([this] {
            db::Query *q = OwnerForm()->OpenSQL(
                QStringLiteral("SELECT CURRVAL(") + SequenceNameLiteral(SchemaText(), NameText()) + QLatin1Char(')'), {});
            if (!q->eof())
                pnlCurrent->setText(q->field(0).asString());
            q->close();
        });
    } catch (...) {
    }
}

void TfrmSeq::ShowTableList()
{
    TkdWaitCursor wait;
    const QString table = cmbTable->Text();
    const QStringList tables = ReadFirstColumn(OwnerForm(), QString::fromLatin1(kTableListSql), {SchemaText()}, true);
    const QSignalBlocker block(cmbTable);
    cmbTable->clear();
    cmbTable->addItems(tables);
    cmbTable->setEditText(table);
    if (!table.isEmpty())
        ShowColumnList();
}

void TfrmSeq::ShowColumnList()
{
    TkdWaitCursor wait;
    const QString column = cmbColumn->Text();
    const QStringList columns = ReadFirstColumn(OwnerForm(), QString::fromLatin1(kColumnListSql), {SchemaText(), cmbTable->Text()}, true);
    const QSignalBlocker block(cmbColumn);
    cmbColumn->clear();
    cmbColumn->addItems(columns);
    cmbColumn->setEditText(column);
}

void TfrmSeq::SaveControls()
{
    for (TkdNumEdit *e : {txtLastNo, txtMin, txtMax, txtInc, txtCache})
        e->Save();
    for (TkdCheckBox *c : {chkCycle, chkNomax, chkNoMin, chkOwned})
        c->Save();
    cmbTable->Save();
    cmbColumn->Save();
    FSaved = ControlsDef();
}

void TfrmSeq::ValidateInput()
{
    if (!chkOwned->isChecked()) {
        if (cmbTable->IsNull())
            Refuse(QStringLiteral("テーブルを選択して下さい。"), cmbTable);
        if (cmbColumn->IsNull())
            Refuse(QStringLiteral("カラムを選択して下さい。"), cmbColumn);
    }
}

void TfrmSeq::GetSourceCreate(QStringList &Lines)
{
    Lines += SequenceCreateLines(ControlsDef(), SchemaPrefix(SchemaText(), OwnerForm()->CurrentSchema()),
                                 SchemaText(), NameText());
}

void TfrmSeq::GetSourceAlter(QStringList &Lines)
{
    Lines += SequenceAlterLines(FSaved, ControlsDef(), SchemaText(), NameText());
}

void TfrmSeq::GetSourceDrop(QStringList &Lines)
{
    Lines += SequenceDropLines(SchemaText(), NameText());
}

QString TfrmSeq::DropStatement(bool Cascade) const
{
    Q_UNUSED(Cascade);
    return SequenceDropStatement(SchemaText(), NameText());
}

void TfrmSeq::AfterCommit(bool Recreated, bool WasNew)
{
    // A new sequence starts at its START (its first NEXTVAL returns it); an existing one
    // created again from the source page gets back the value the window shows.
    if (!Recreated || WasNew || TrimBlanks(txtLastNo->text()).isEmpty())
        return;
    try {
        OwnerForm()->dbsMain()->protect([this] {
            db::Query *q = OwnerForm()->OpenSQL(QStringLiteral("SELECT setval(") + SequenceNameLiteral(SchemaText(), NameText())
                                                    + QStringLiteral(", ") + TrimBlanks(txtLastNo->text()) + QLatin1Char(')'),
                                                {});
            q->close();
        });
        FNextVal = true;
    } catch (...) {
    }
}

void TfrmSeq::actIncExecute()
{
    {
        TkdWaitCursor wait;
        db::Query *q = OwnerForm()->OpenSQL(
            QStringLiteral("SELECT NEXTVAL(") + SequenceNameLiteral(SchemaText(), NameText()) + QLatin1Char(')'), {});
        q->close();
    }
    FNextVal = true;
    ShowDefine();
}

void TfrmSeq::ChangedIsNewEditor()
{
    lblLastNo->setText(IsNew() ? QStringLiteral("初 期 値") : QStringLiteral("最終番号"));
    lblCurrent->setVisible(!IsNew());
    pnlCurrent->setVisible(!IsNew());
    btnInc->setVisible(!IsNew());
}

void TfrmSeq::UpdateEditorActions()
{
    if (actInc) {
        actInc->setEnabled(!Modified() && !IsNew());
        btnInc->setEnabled(actInc->isEnabled());
    }
}
