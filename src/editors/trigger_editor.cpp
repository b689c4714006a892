#include "editors/trigger_editor.h"

#include "browser/ffldlist.h"
#include "browser/fobject.h"
#include "controls/kdmemo.h"
#include "controls/kdstdctl.h"
#include "core/kdsub_object.h"
#include "core/kdsub_text.h"
#include "frames/cross_frame.h"
#include "platform/db/dbquery.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <functional>

namespace {

// The look-ups of the trigger editor.
const char *const kTableTypeSql =
    "SELECT CASE WHEN c.relkind = 'v' THEN 'VIEW' ELSE 'TABLE' END FROM pg_class c "
    "JOIN pg_namespace n ON n.oid = c.relnamespace "
    "WHERE n.nspname = :OWNER AND c.relname = :TBLNM AND c.relkind IN ('r', 'p', 'f', 'v')";
const char *const kTableListSql =
    "SELECT c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
    "WHERE n.nspname = :OWNER AND c.relkind IN (%1) AND NOT c.relispartition ORDER BY c.relname";
const char *const kFunctionListSql =
    "SELECT  Prc.proname FROM    pg_proc           AS Prc "
    "LEFT JOIN pg_namespace    AS Nms   ON  Prc.pronamespace    = Nms.oid "
    "LEFT JOIN pg_type         AS Typ   ON  Prc.prorettype      = Typ.oid "
    "WHERE   Nms.nspname       = :SCHEMA AND     Typ.typname       = :TYPENM %1"
    "ORDER BY      Prc.proname";

QString AsciiLower(const QString &s)
{
    QString r = s;
    for (QChar &c : r)
        if (c.unicode() >= 'A' && c.unicode() <= 'Z')
            c = QChar(c.unicode() + 32);
    return r;
}

// A name box whose list is read when it drops down.
class TDropDownBox : public TkdComboBox
{
public:
    using TkdComboBox::TkdComboBox;
    std::function<void()> OnDropDown;
    void showPopup() override
    {
        if (OnDropDown)
            GuardedCall(OnDropDown);
        TkdComboBox::showPopup();
    }
};

TDropDownBox *NameBox(QWidget *parent, const char *name)
{
    auto *b = new TDropDownBox(parent);
    b->setObjectName(QLatin1String(name));
    b->setEditable(true);
    b->setMinimumWidth(150);
    b->setMaxVisibleItems(20);
    return b;
}

} // namespace

bool ParseColumnList(const QString &Text, QStringList &Names, QString &Error)
{
    QList<TListItem> items;
    switch (SplitQuotedList(Text, QLatin1Char('"'), items)) {
    case TListError::None: break;
    case TListError::Unclosed:
        Error = QStringLiteral("変更列の引用符が閉じられていません。");
        return false;
    case TListError::AfterQuote:
    case TListError::QuoteInBare:
        Error = QStringLiteral("変更列の指定が正しくありません。列名は「,」で区切って下さい。");
        return false;
    case TListError::Empty:
        Error = QStringLiteral("変更列に空の列名があります。");
        return false;
    }
    QStringList out;
    for (const TListItem &i : items) {
        if (i.Text.isEmpty()) {
            Error = QStringLiteral("変更列に空の列名があります。");
            return false;
        }
        out << (i.Quoted ? i.Text : AsciiLower(i.Text));
    }
    Names = out;
    return true;
}

const TEditorPolicy &TfrmTrigger::TriggerPolicy()
{
    static const TEditorPolicy policy = [] {
        TEditorPolicy p;
        p.Kind = QStringLiteral("TRIGGER");
        p.LayoutKey = QStringLiteral("TRIGGER");
        p.CaptionMode = 5;
        p.ObjType = 57;
        p.HasGrant = false;
        p.RunLog = false; // ExecuteSQL inside the transaction, "コンパイルは正常に終了しました。"
        p.OfferCascade = true;
        return p;
    }();
    return policy;
}

QWidget *TfrmTrigger::Open(TkdConnForm *Owner, const TObjectArgs &Args)
{
    return OpenEditorWindow<TfrmTrigger>(Owner, Args, TriggerPolicy());
}

void TfrmTrigger::Script(TkdConnForm *Owner, const TObjectArgs &Args, TScriptSink &Sink)
{
    // Without its table a trigger cannot be found.
    if (Args.TableName.isEmpty())
        throw EAbort();
    TTriggerDef def;
    if (!LoadTriggerDef(Owner, Args.Schema, Args.TableName, Args.ObjectName, def))
        throw EAbort();
    Sink.WriteScript(TriggerCreateLines(def, SchemaPrefixFor(smText, Args.Schema, Owner->CurrentSchema())));
}

TfrmTrigger::TfrmTrigger(TkdConnForm *Owner, const TObjectArgs &Args, TSourceMode Mode)
    : TObjectEditor(Owner, TriggerPolicy(), Mode)
{
    setObjectName(QStringLiteral("frmTrigger"));
    resize(845, 485);
    SetTaskIcon(57);
    FFilling = true;

    // The table box joins the name panel between schema and name.
    lblTableName = new QLabel(QStringLiteral("テーブル"), pnlName);
    lblTableName->setObjectName(QStringLiteral("lblTableName"));
    cmbTableName = NameBox(pnlName, "cmbTableName");
    if (auto *row = qobject_cast<QHBoxLayout *>(pnlName->layout())) {
        row->insertWidget(2, lblTableName);
        row->insertWidget(3, cmbTableName);
    }
    // Schema, table and name need the width: their panel gets a row of its own below the
    // command bar.
    if (auto *main = qobject_cast<QVBoxLayout *>(layout()))
        main->insertWidget(1, pnlName);
    if (cmbSchema)
        cmbSchema->setMinimumWidth(180);
    txtName->setMinimumWidth(200);

    auto *page = new QVBoxLayout(tabDefine);
    auto *head = new QGroupBox(QStringLiteral("起動条件"), tabDefine);
    head->setObjectName(QStringLiteral("grpHead"));
    grpHead = head;
    page->addWidget(head);
    page->addStretch(1);
    auto *hl = new QGridLayout(head);

    grpTiming = new QGroupBox(QStringLiteral("タイミング"), head);
    grpTiming->setObjectName(QStringLiteral("grpTiming"));
    auto *tl = new QHBoxLayout(grpTiming);
    rdoBefore = new TkdRadioButton(QStringLiteral("前"), grpTiming);
    rdoBefore->setObjectName(QStringLiteral("rdoBefore"));
    rdoAfter = new TkdRadioButton(QStringLiteral("後"), grpTiming);
    rdoAfter->setObjectName(QStringLiteral("rdoAfter"));
    rdoInstead = new TkdRadioButton(QStringLiteral("代替"), grpTiming);
    rdoInstead->setObjectName(QStringLiteral("rdoInstead"));
    rdoBefore->setChecked(true);
    tl->addWidget(rdoBefore);
    tl->addWidget(rdoAfter);
    tl->addWidget(rdoInstead);
    tl->addStretch(1);
    hl->addWidget(grpTiming, 0, 0);

    grpEvent = new QGroupBox(QStringLiteral("イベント"), head);
    grpEvent->setObjectName(QStringLiteral("grpEvent"));
    auto *el = new QGridLayout(grpEvent);
    chkInsert = new TkdCheckBox(QStringLiteral("INSERT"), grpEvent);
    chkInsert->setObjectName(QStringLiteral("chkInsert"));
    chkUpdate = new TkdCheckBox(QStringLiteral("UPDATE"), grpEvent);
    chkUpdate->setObjectName(QStringLiteral("chkUpdate"));
    chkDelete = new TkdCheckBox(QStringLiteral("DELETE"), grpEvent);
    chkDelete->setObjectName(QStringLiteral("chkDelete"));
    chkTruncate = new TkdCheckBox(QStringLiteral("TRUNCATE"), grpEvent);
    chkTruncate->setObjectName(QStringLiteral("chkTruncate"));
    chkRow = new TkdCheckBox(QStringLiteral("行トリガー"), grpEvent);
    chkRow->setObjectName(QStringLiteral("chkRow"));
    auto *evRow = new QHBoxLayout;
    for (QWidget *w : {static_cast<QWidget *>(chkInsert), static_cast<QWidget *>(chkUpdate),
                       static_cast<QWidget *>(chkDelete), static_cast<QWidget *>(chkTruncate)})
        evRow->addWidget(w);
    evRow->addSpacing(20);
    evRow->addWidget(chkRow);
    evRow->addStretch(1);
    el->addLayout(evRow, 0, 0, 1, 3);
    lblUpdCol = new QLabel(QStringLiteral("変更列"), grpEvent);
    lblUpdCol->setObjectName(QStringLiteral("lblUpdCol"));
    txtUpdCol = new TkdStrEdit(grpEvent);
    txtUpdCol->setObjectName(QStringLiteral("txtUpdCol"));
    btnField = new QToolButton(grpEvent);
    btnField->setObjectName(QStringLiteral("btnField"));
    btnField->setToolTip(QStringLiteral("項目一覧"));
    btnField->setText(QStringLiteral("…"));
    if (TkdMainForm *host = TkdMainForm::Instance())
        btnField->setIcon(host->Image(12));
    el->addWidget(lblUpdCol, 1, 0);
    el->addWidget(txtUpdCol, 1, 1);
    el->addWidget(btnField, 1, 2);
    lblWhen = new QLabel(QStringLiteral("　制限"), grpEvent);
    lblWhen->setObjectName(QStringLiteral("lblWhen"));
    txtWhen = new TkdStrEdit(grpEvent);
    txtWhen->setObjectName(QStringLiteral("txtWhen"));
    el->addWidget(lblWhen, 2, 0);
    el->addWidget(txtWhen, 2, 1, 1, 2);
    chkConstraint = new TkdCheckBox(QStringLiteral("制約トリガー"), grpEvent);
    chkConstraint->setObjectName(QStringLiteral("chkConstraint"));
    el->addWidget(chkConstraint, 3, 0, 1, 3);
    el->setColumnStretch(1, 1);
    hl->addWidget(grpEvent, 1, 0, 2, 1);

    grpConstraint = new QGroupBox(head);
    grpConstraint->setObjectName(QStringLiteral("grpConstraint"));
    auto *cl = new QGridLayout(grpConstraint);
    lblRefSkm = new QLabel(QStringLiteral("スキーマ"), grpConstraint);
    lblRefSkm->setObjectName(QStringLiteral("lblRefSkm"));
    cmbRefSkm = NameBox(grpConstraint, "cmbRefSkm");
    lblRefTblNm = new QLabel(QStringLiteral("制約参照テーブル"), grpConstraint);
    lblRefTblNm->setObjectName(QStringLiteral("lblRefTblNm"));
    cmbRefTblNm = NameBox(grpConstraint, "cmbRefTblNm");
    cl->addWidget(lblRefSkm, 0, 0);
    cl->addWidget(cmbRefSkm, 0, 1);
    cl->addWidget(lblRefTblNm, 1, 0);
    cl->addWidget(cmbRefTblNm, 1, 1);
    cl->setColumnStretch(1, 1);
    hl->addWidget(grpConstraint, 0, 1);

    grpDefTiming = new QGroupBox(QStringLiteral("デフォルトタイミング"), head);
    grpDefTiming->setObjectName(QStringLiteral("grpDefTiming"));
    auto *dl = new QVBoxLayout(grpDefTiming);
    chkDeferrable = new TkdCheckBox(QStringLiteral("制約遅延あり"), grpDefTiming);
    chkDeferrable->setObjectName(QStringLiteral("chkDeferrable"));
    dl->addWidget(chkDeferrable);
    grpLimChkTim = new QGroupBox(QStringLiteral("制約検査時期"), grpDefTiming);
    grpLimChkTim->setObjectName(QStringLiteral("grpLimChkTim"));
    auto *ll = new QHBoxLayout(grpLimChkTim);
    rdoSentence = new TkdRadioButton(QStringLiteral("各文実行後"), grpLimChkTim);
    rdoSentence->setObjectName(QStringLiteral("rdoSentence"));
    rdoTran = new TkdRadioButton(QStringLiteral("トランザクション終了時"), grpLimChkTim);
    rdoTran->setObjectName(QStringLiteral("rdoTran"));
    rdoSentence->setChecked(true);
    ll->addWidget(rdoSentence);
    ll->addWidget(rdoTran);
    dl->addWidget(grpLimChkTim);
    hl->addWidget(grpDefTiming, 1, 1);

    grpFnc = new QGroupBox(QStringLiteral("ファンクション"), head);
    grpFnc->setObjectName(QStringLiteral("grpFnc"));
    auto *fl = new QGridLayout(grpFnc);
    lblFncSkm = new QLabel(QStringLiteral("スキーマ"), grpFnc);
    lblFncSkm->setObjectName(QStringLiteral("lblFncSkm"));
    cmbFncSkm = NameBox(grpFnc, "cmbFncSkm");
    lblFnc = new QLabel(QStringLiteral("使用ファンクション"), grpFnc);
    lblFnc->setObjectName(QStringLiteral("lblFnc"));
    cmbFncNm = NameBox(grpFnc, "cmbFncNm");
    lblParam = new QLabel(QStringLiteral("引数"), grpFnc);
    lblParam->setObjectName(QStringLiteral("lblParam"));
    txtParam = new TkdStrEdit(grpFnc);
    txtParam->setObjectName(QStringLiteral("txtParam"));
    fl->addWidget(lblFncSkm, 0, 0);
    fl->addWidget(cmbFncSkm, 0, 1);
    fl->addWidget(lblFnc, 1, 0);
    fl->addWidget(cmbFncNm, 1, 1);
    fl->addWidget(lblParam, 2, 0);
    fl->addWidget(txtParam, 2, 1);
    fl->setColumnStretch(1, 1);
    hl->addWidget(grpFnc, 2, 1);
    hl->setColumnStretch(0, 1);
    hl->setColumnStretch(1, 1);

    if (cmbSchema)
        cmbSchema->setEditText(Args.Schema);
    cmbRefSkm->setEditText(Args.Schema);
    cmbFncSkm->setEditText(Args.Schema);
    txtName->setText(Args.ObjectName);
    cmbTableName->setEditText(Args.TableName);

    FinishSetup();
    ApplyVersionGate(OwnerForm() ? OwnerForm()->DBVer() : 999999);

    // Edits: OnChange marks the window modified; the rule controls also re-apply the rules;
    // the schema boxes check the name that depends on them.
    auto changed = [this] {
        if (!FFilling)
            OnChange();
    };
    auto rules = [this] {
        if (FFilling)
            return;
        OnChange();
        GuardedCall([this] { SetControlState(); });
    };
    for (TkdStrEdit *e : {txtUpdCol, txtWhen, txtParam})
        connect(e, &QLineEdit::textChanged, this, changed);
    connect(cmbRefTblNm, &QComboBox::editTextChanged, this, changed);
    connect(rdoSentence, &QRadioButton::clicked, this, changed);
    connect(rdoTran, &QRadioButton::clicked, this, changed);
    for (QAbstractButton *b : std::initializer_list<QAbstractButton *>{rdoBefore, rdoAfter, rdoInstead, chkInsert, chkUpdate,
                                                                       chkDelete, chkTruncate, chkRow, chkConstraint,
                                                                       chkDeferrable})
        connect(b, &QAbstractButton::clicked, this, rules);
    // Names are checked when the user has chosen or finished typing one, not per keystroke
    // (a partly typed table name would otherwise be cleared at its first letter).
    connect(cmbTableName, &QComboBox::editTextChanged, this, changed);
    connect(cmbTableName, &QComboBox::textActivated, this, rules);
    connect(cmbTableName->lineEdit(), &QLineEdit::editingFinished, this, [this, rules] {
        if (cmbTableName->IsChanged())
            rules();
    });
    connect(cmbFncNm, &QComboBox::editTextChanged, this, rules);
    for (TkdComboBox *b : {cmbSchema, cmbRefSkm, cmbFncSkm}) {
        if (!b)
            continue;
        connect(b, &QComboBox::textActivated, this, [this, b] { OnChangeVaChk(b); });
        connect(b->lineEdit(), &QLineEdit::editingFinished, this, [this, b] { OnChangeVaChk(b); });
    }
    static_cast<TDropDownBox *>(cmbRefSkm)->OnDropDown = [this] { FillSchemas(cmbRefSkm); };
    static_cast<TDropDownBox *>(cmbFncSkm)->OnDropDown = [this] { FillSchemas(cmbFncSkm); };
    static_cast<TDropDownBox *>(cmbTableName)->OnDropDown = [this] { FillTableList(); };
    static_cast<TDropDownBox *>(cmbRefTblNm)->OnDropDown = [this] { FillRefTableList(); };
    static_cast<TDropDownBox *>(cmbFncNm)->OnDropDown = [this] { FillFunctionList(); };
    if (cmbSchema && Mode == smShow && Args.ObjectName.isEmpty())
        GuardedCall([this] { FillSchemas(cmbSchema); });
    connect(btnField, &QToolButton::clicked, this, [this] { GuardedCall([this] { btnFieldClick(); }); });
    FFilling = false;
}

QString TfrmTrigger::TableText() const
{
    return cmbTableName->Text();
}

void TfrmTrigger::ApplyVersionGate(int DBVer)
{
    FDBVer = DBVer;
    const bool on = DBVer >= 90100;
    rdoInstead->setVisible(on);
    chkConstraint->setVisible(on);
    grpConstraint->setVisible(on);
    grpDefTiming->setVisible(on);
}

TTriggerDef TfrmTrigger::ControlsDef() const
{
    TTriggerDef d = FLoaded;
    const bool gate = FDBVer >= 90100;
    d.Schema = SchemaText();
    d.Table = TableText();
    d.Name = NameText();
    d.Timing = rdoAfter->isChecked()                 ? TTriggerTiming::After
               : (gate && rdoInstead->isChecked()) ? TTriggerTiming::InsteadOf
                                                    : TTriggerTiming::Before;
    d.Insert = chkInsert->isChecked();
    d.Update = chkUpdate->isChecked();
    d.Delete = chkDelete->isChecked();
    d.Truncate = chkTruncate->isChecked();
    d.Row = chkRow->isChecked();
    QStringList cols;
    QString error;
    if (txtUpdCol->isEnabled() && ParseColumnList(txtUpdCol->text(), cols, error))
        d.UpdateColumns = cols;
    else
        d.UpdateColumns.clear();
    d.When = txtWhen->isEnabled() ? TrimBlanks(txtWhen->text()) : QString();
    d.Constraint = gate && chkConstraint->isChecked();
    d.RefSchema = cmbRefSkm->Text();
    d.RefTable = cmbRefTblNm->Text();
    d.Deferrable = chkDeferrable->isChecked();
    d.InitDeferred = chkDeferrable->isChecked() && rdoTran->isChecked();
    d.FuncSchema = cmbFncSkm->Text();
    d.FuncName = cmbFncNm->Text();
    QStringList args;
    if (ParseTriggerArgs(txtParam->text(), args, error))
        d.Args = args;
    else
        d.Args.clear();
    return d;
}

void TfrmTrigger::SetControls(const TTriggerDef &Def)
{
    const bool filling = FFilling;
    FFilling = true;
    if (cmbSchema)
        cmbSchema->setEditText(Def.Schema);
    cmbTableName->setEditText(Def.Table);
    rdoBefore->setChecked(Def.Timing == TTriggerTiming::Before);
    rdoAfter->setChecked(Def.Timing == TTriggerTiming::After);
    rdoInstead->setChecked(Def.Timing == TTriggerTiming::InsteadOf);
    chkInsert->setChecked(Def.Insert);
    chkUpdate->setChecked(Def.Update);
    chkDelete->setChecked(Def.Delete);
    chkTruncate->setChecked(Def.Truncate);
    chkRow->setChecked(Def.Row);
    chkConstraint->setChecked(Def.Constraint);
    cmbRefSkm->setEditText(Def.RefSchema);
    cmbRefTblNm->setEditText(Def.RefTable);
    QStringList cols;
    for (const QString &c : Def.UpdateColumns)
        cols << QuoteIdentifier(c);
    txtUpdCol->setText(cols.join(QStringLiteral(", ")));
    txtWhen->setText(Def.When);
    cmbFncSkm->setEditText(Def.FuncSchema);
    cmbFncNm->setEditText(Def.FuncName);
    txtParam->setText(TriggerArgsText(Def.Args));
    chkDeferrable->setChecked(Def.Deferrable);
    rdoTran->setChecked(Def.InitDeferred);
    rdoSentence->setChecked(!Def.InitDeferred);
    FFilling = filling;
}

void TfrmTrigger::LoadDefinition()
{
    TTriggerDef def;
    if (!LoadTriggerDef(OwnerForm(), SchemaText(), TableText(), NameText(), def))
        ObjectMissing();
    FLoaded = def;
    SetControls(def);
    const bool filling = FFilling;
    FFilling = true;
    SetControlState();
    FFilling = filling;
    cmbTableName->Save();
}

void TfrmTrigger::SaveControls()
{
    if (!IsNew())
        return;
    const bool filling = FFilling;
    FFilling = true;
    GuardedCall([this] { SetControlState(); });
    FFilling = filling;
}

QString TfrmTrigger::GetTableType(const QString &Name, const QString &Schema) const
{
    if (Name.isEmpty() || !OwnerForm())
        return QString();
    const QStringList r = ReadList(QString::fromLatin1(kTableTypeSql), {Schema, Name});
    return r.value(0);
}

QStringList TfrmTrigger::GetTableList(const QString &Schema, const QString &Kind) const
{
    const QString tables = QStringLiteral("'r', 'p', 'f'");
    const QString views = QStringLiteral("'v'");
    if (Kind == QLatin1String("TABLE"))
        return ReadList(QString::fromLatin1(kTableListSql).arg(tables), {Schema});
    if (Kind == QLatin1String("VIEW"))
        return ReadList(QString::fromLatin1(kTableListSql).arg(views), {Schema});
    return ReadList(QString::fromLatin1(kTableListSql).arg(tables), {Schema})
           + ReadList(QString::fromLatin1(kTableListSql).arg(views), {Schema});
}

QStringList TfrmTrigger::GetFunctionList() const
{
    return ReadList(QString::fromLatin1(kFunctionListSql).arg(QString()),
                     {cmbFncSkm->Text(), QStringLiteral("trigger")});
}

TTriggerControls TfrmTrigger::CurrentTicks() const
{
    TTriggerControls c;
    c.Before = rdoBefore->isChecked();
    c.After = rdoAfter->isChecked();
    c.Instead = rdoInstead->isChecked();
    c.Insert = chkInsert->isChecked();
    c.Update = chkUpdate->isChecked();
    c.Delete = chkDelete->isChecked();
    c.Truncate = chkTruncate->isChecked();
    c.Row = chkRow->isChecked();
    c.Constraint = chkConstraint->isChecked();
    c.Deferrable = chkDeferrable->isChecked();
    return c;
}

void TfrmTrigger::SetControlState()
{
    TTriggerControls c = CurrentTicks();
    const QString kind = GetTableType(TableText(), SchemaText());
    ApplyTriggerRules(c, kind, IsNew(), cmbFncNm->Text().isEmpty());

    const bool filling = FFilling;
    FFilling = true;
    rdoBefore->setChecked(c.Before);
    rdoAfter->setChecked(c.After);
    rdoInstead->setChecked(c.Instead);
    if (!c.Before && !c.After && !c.Instead)
        rdoBefore->setChecked(true);
    chkTruncate->setChecked(c.Truncate);
    chkRow->setChecked(c.Row);
    rdoBefore->setEnabled(c.BeforeOn);
    rdoAfter->setEnabled(c.AfterOn);
    rdoInstead->setEnabled(c.InsteadOn);
    chkTruncate->setEnabled(c.TruncateOn);
    for (QWidget *w : {static_cast<QWidget *>(lblRefSkm), static_cast<QWidget *>(cmbRefSkm),
                       static_cast<QWidget *>(lblRefTblNm), static_cast<QWidget *>(cmbRefTblNm)})
        w->setEnabled(c.RefOn);
    chkRow->setEnabled(c.RowOn);
    chkDeferrable->setEnabled(c.DeferrableOn);
    rdoSentence->setEnabled(c.CheckTimeOn);
    rdoTran->setEnabled(c.CheckTimeOn);
    lblUpdCol->setEnabled(c.UpdColOn);
    txtUpdCol->setEnabled(c.UpdColOn);
    btnField->setEnabled(c.UpdColOn);
    lblWhen->setEnabled(c.WhenOn);
    txtWhen->setEnabled(c.WhenOn);
    chkConstraint->setEnabled(c.ConstraintOn);
    if (c.ClearTable && !TableText().isEmpty()) {
        cmbTableName->setEditText(QString());
    }
    lblParam->setEnabled(c.ParamOn);
    txtParam->setEnabled(c.ParamOn);
    if (!c.ParamOn)
        txtParam->clear();
    FFilling = filling;
}

void TfrmTrigger::OnChangeVaChk(QWidget *Sender)
{
    if (FFilling)
        return;
    auto *box = qobject_cast<TkdComboBox *>(Sender);
    if (!box || !box->IsChanged())
        return;
    box->Save();
    OnChange();
    GuardedCall([this, Sender] {
        if (Sender == cmbSchema) {
            if (GetTableType(TableText(), SchemaText()).isEmpty())
                cmbTableName->setEditText(QString());
        } else if (Sender == cmbRefSkm) {
            if (GetTableType(cmbRefTblNm->Text(), cmbRefSkm->Text()).isEmpty())
                cmbRefTblNm->setEditText(QString());
        } else if (Sender == cmbFncSkm) {
            const QStringList found
                = ReadList(QString::fromLatin1(kFunctionListSql).arg(QStringLiteral("AND     Prc.proname       = :FNCNM ")),
                           {cmbFncSkm->Text(), QStringLiteral("trigger"), cmbFncNm->Text()});
            if (found.isEmpty())
                cmbFncNm->setEditText(QString());
        }
        SetControlState();
    });
}

void TfrmTrigger::SetItems(TkdComboBox *Box, const QStringList &Names)
{
    // The typed text stays; filling the list is no edit.
    const QString text = Box->Text();
    const bool filling = FFilling;
    FFilling = true;
    Box->clear();
    Box->addItems(Names);
    Box->setEditText(text);
    FFilling = filling;
}

void TfrmTrigger::FillSchemas(TkdComboBox *Box)
{
    auto *conn = dynamic_cast<TfrmObject *>(OwnerForm());
    if (!conn)
        return;
    QStringList schemas;
    conn->GetSchemaInfo(schemas, false);
    SetItems(Box, schemas);
}

void TfrmTrigger::FillTableList()
{
    const TTriggerControls c = CurrentTicks();
    SetItems(cmbTableName, GetTableList(SchemaText(), TriggerTableListKind(c, FDBVer)));
}

void TfrmTrigger::FillRefTableList()
{
    SetItems(cmbRefTblNm, GetTableList(cmbRefSkm->Text(), QString()));
}

void TfrmTrigger::FillFunctionList()
{
    SetItems(cmbFncNm, GetFunctionList());
}

void TfrmTrigger::btnFieldClick()
{
    QStringList fields;
    for (const QString &part : txtUpdCol->text().split(QLatin1Char(',')))
        if (!part.trimmed().isEmpty())
            fields << part.trimmed();
    const QStringList before = fields;
    TfrmFieldList::ShowWindow(OwnerForm(), SchemaText(), TableText(), fields);
    if (fields == before)
        return;
    QStringList quoted;
    for (const QString &f : fields)
        quoted << QuoteIdentifier(UnquoteIdentifier(f));
    const QString text = quoted.join(QStringLiteral(", "));
    if (!text.isEmpty() && text != txtUpdCol->text())
        txtUpdCol->setText(text);
}

void TfrmTrigger::ValidateInput()
{
    if (DefinePageShown()) {
        if (cmbTableName->IsNull())
            Refuse(QStringLiteral("テーブル名を入力して下さい。"), cmbTableName);
        if (!chkInsert->isChecked() && !chkUpdate->isChecked() && !chkDelete->isChecked() && !chkTruncate->isChecked())
            Refuse(QStringLiteral("トリガーの起動イベントを指定して下さい。"), chkInsert);
    }
    if (chkConstraint->isVisibleTo(this) && chkConstraint->isChecked()) {
        if (cmbRefSkm->IsNull() && !cmbRefTblNm->IsNull())
            Refuse(QStringLiteral("スキーマ名を入力して下さい。"), cmbRefSkm);
    }
    if (cmbFncSkm->IsNull())
        Refuse(QStringLiteral("スキーマ名を入力して下さい。"), cmbFncSkm);
    if (cmbFncNm->IsNull())
        Refuse(QStringLiteral("ファンクション名を入力して下さい。"), cmbFncNm);
    if (DefinePageShown()) {
        QString error;
        QStringList list;
        if (txtParam->isEnabled() && !ParseTriggerArgs(txtParam->text(), list, error))
            Refuse(error, txtParam);
        if (txtUpdCol->isEnabled() && !ParseColumnList(txtUpdCol->text(), list, error))
            Refuse(error, txtUpdCol);
        if (IsNew())
            CheckNameLength(TableText(), cmbTableName);
    }
}

void TfrmTrigger::GetSourceCreate(QStringList &Lines)
{
    // The reference page has nothing to run.
    if (SourceMode == smShow && CrossPageShown())
        return;
    TTriggerDef d = ControlsDef();
    if (IsNew()) {
        d.Enabled = QLatin1Char('O');
        d.OldTable.clear();
        d.NewTable.clear();
    }
    Lines += TriggerCreateLines(d, SchemaPrefix(SchemaText(), OwnerForm()->CurrentSchema()));
}

void TfrmTrigger::GetSourceDrop(QStringList &Lines)
{
    if (SourceMode == smShow && CrossPageShown())
        return;
    // The loaded trigger is the one dropped (schema, table and name are locked once it exists).
    Lines << TriggerDropStatement(SchemaText(), TableText(), NameText(), false) << QStringLiteral(";");
}

QString TfrmTrigger::DropStatement(bool Cascade) const
{
    return TriggerDropStatement(SchemaText(), TableText(), NameText(), Cascade);
}

void TfrmTrigger::ChangedIsNewEditor()
{
    if (!IsNew()) {
        setWindowTitle(CaptionFor(OwnerForm(), TriggerPolicy(), SchemaText(), NameText(), TableText()));
        SetTaskCaption(NameText());
    }
    // Names read from the catalog keep their case; a new trigger's table box folds like
    // the other name boxes.
    cmbTableName->SetCharCase(IsNew() && !UseLowerName() ? ecLowerCase : ecNormal);
}

void TfrmTrigger::ShowCross()
{
    fraCross->ShowData(SchemaText(), NameText(), TableText());
}
