#include "editors/schema_editor.h"

#include "controls/kdstdctl.h"
#include "editors/privilege_list.h"
#include "platform/db/dbquery.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

const char *const kOwnerSql = "SELECT rolname FROM pg_roles ORDER BY 1";

QWidget *ListPanel(QWidget *parent, const QString &title, TPrivilegeList *list)
{
    auto *panel = new QWidget(parent);
    auto *l = new QVBoxLayout(panel);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(new QLabel(title, panel));
    l->addWidget(list, 1);
    return panel;
}

} // namespace

const TEditorPolicy &TfrmSchema::SchemaPolicy()
{
    static const TEditorPolicy policy = [] {
        TEditorPolicy p;
        p.Kind = QStringLiteral("SCHEMA");
        p.LayoutKey = QStringLiteral("SCHEMA");
        p.CaptionMode = 6;
        p.ObjType = 4;
        p.HasSchema = false;
        p.HasGrant = false;
        p.HasCross = false;
        p.OfferCascade = true;
        p.PreviewWithSchema = false;
        return p;
    }();
    return policy;
}

TfrmSchema::TfrmSchema(TkdConnForm *Owner, const TObjectArgs &Args, TSourceMode Mode)
    : TObjectEditor(Owner, SchemaPolicy(), Mode)
{
    setObjectName(QStringLiteral("frmSchema"));
    resize(649, 511);
    SetTaskIcon(4);

    auto *define = new QVBoxLayout(tabDefine);
    auto *pnlUser = new QHBoxLayout;
    pnlUser->addWidget(new QLabel(QStringLiteral("オーナー"), tabDefine));
    cmbOwner = new TkdComboBox(tabDefine);
    cmbOwner->setObjectName(QStringLiteral("cmbOwner"));
    cmbOwner->setEditable(true);
    cmbOwner->setMaxVisibleItems(20);
    // Role names are shown and written exactly as the catalog holds them.
    cmbOwner->SetCharCase(ecNormal);
    cmbOwner->setMinimumWidth(200);
    pnlUser->addWidget(cmbOwner);
    auto *group = new QGroupBox(QStringLiteral("public権限"), tabDefine);
    auto *groupRow = new QHBoxLayout(group);
    chkCreate = new TkdCheckBox(QStringLiteral("CREATE"), group);
    chkCreate->setObjectName(QStringLiteral("chkCreate"));
    chkUsage = new TkdCheckBox(QStringLiteral("USAGE"), group);
    chkUsage->setObjectName(QStringLiteral("chkUsage"));
    groupRow->addWidget(chkCreate);
    groupRow->addWidget(chkUsage);
    pnlUser->addWidget(group);
    pnlUser->addStretch(1);
    define->addLayout(pnlUser);

    const QStringList suffixes = {QStringLiteral(" [CREATE]"), QStringLiteral(" [USAGE] ")};
    chkRole = new TPrivilegeList(suffixes, tabDefine);
    chkRole->setObjectName(QStringLiteral("chkRole"));
    chkUser = new TPrivilegeList(suffixes, tabDefine);
    chkUser->setObjectName(QStringLiteral("chkUser"));
    auto *lists = new QHBoxLayout;
    lists->addWidget(ListPanel(tabDefine, QStringLiteral("ロール / Grant Option"), chkRole), 1);
    lists->addWidget(ListPanel(tabDefine, QStringLiteral("ユーザー / Grant Option"), chkUser), 1);
    define->addLayout(lists, 1);

    // The role lists are filled once; roles created later appear in a new window.
    if (Mode == smShow && OwnerForm()) {
        QStringList roles, users;
        SchemaRoleOrder(OwnerForm(), &roles, &users);
        chkRole->SetRoles(roles);
        chkUser->SetRoles(users);
        ShowOwnerList();
    }
    txtName->setText(Args.ObjectName);
    cmbOwner->setEditText(OwnerForm() ? OwnerForm()->ConnectionParam(QStringLiteral("User_Name")) : QString());

    FinishSetup();
    connect(cmbOwner, &QComboBox::editTextChanged, this, [this] { OnChange(); });
    for (TkdCheckBox *c : {chkCreate, chkUsage})
        connect(c, &QCheckBox::clicked, this, [this] { OnChange(); });
    for (TPrivilegeList *list : {chkRole, chkUser}) {
        connect(list, &TkdCheckListBox::OnClickCheckL, this, [this] { OnChange(); });
        connect(list, &TkdCheckListBox::OnClickCheckR, this, [this] { OnChange(); });
        connect(list, &QListWidget::itemDoubleClicked, this, [this, list] { OpenRoleOfLine(list); });
    }
}

QWidget *TfrmSchema::Open(TkdConnForm *Owner, const TObjectArgs &Args)
{
    return OpenEditorWindow<TfrmSchema>(Owner, Args, SchemaPolicy());
}

void TfrmSchema::Script(TkdConnForm *Owner, const TObjectArgs &Args, TScriptSink &Sink)
{
    TSchemaDef def;
    if (!LoadSchemaDef(Owner, Args.ObjectName, def))
        throw EAbort();
    Sink.WriteScript(SchemaCreateLines(def, Args.ObjectName, SchemaRoleOrder(Owner)));
}

QStringList TfrmSchema::RoleOrder() const
{
    return chkRole->Roles() + chkUser->Roles();
}

void TfrmSchema::ShowOwnerList()
{
    TkdWaitCursor wait;
    QStringList owners;
    db::Query *q = OwnerForm()->OpenSQL(QString::fromLatin1(kOwnerSql), {});
    while (!q->eof()) {
        owners << q->field(0).asString().trimmed();
        q->next();
    }
    q->close();
    const QString text = cmbOwner->Text();
    const QSignalBlocker block(cmbOwner);
    cmbOwner->clear();
    cmbOwner->addItems(owners);
    cmbOwner->setEditText(text);
}

TSchemaDef TfrmSchema::ControlsDef() const
{
    TSchemaDef d;
    d.Owner = cmbOwner->Text();
    d.PublicCreate = chkCreate->isChecked();
    d.PublicUsage = chkUsage->isChecked();
    d.AclExplicit = FAclExplicit && !IsNew();
    for (TPrivilegeList *list : {chkRole, chkUser})
        for (const QString &role : list->Roles()) {
            const int c = list->LineOf(role, 0);
            const int u = list->LineOf(role, 1);
            const TSchemaGrant g{list->CheckedL(c), list->CheckedR(c), list->CheckedL(u), list->CheckedR(u)};
            if (g != TSchemaGrant() && !d.Grants.contains(role))
                d.Grants[role] = g;
        }
    return d;
}

void TfrmSchema::SetControls(const TSchemaDef &Def)
{
    cmbOwner->setEditText(Def.Owner);
    FAclExplicit = Def.AclExplicit;
    chkCreate->setChecked(Def.PublicCreate);
    chkUsage->setChecked(Def.PublicUsage);
    for (TPrivilegeList *list : {chkRole, chkUser})
        for (int i = 0; i < list->count(); ++i) {
            list->SetCheckedL(i, false);
            list->SetCheckedR(i, false);
        }
    for (auto it = Def.Grants.cbegin(); it != Def.Grants.cend(); ++it) {
        // A role line first, else a user line; a grantee in neither list is left out.
        TPrivilegeList *list = chkRole->LineOf(it.key(), 0) >= 0 ? chkRole : chkUser;
        const int c = list->LineOf(it.key(), 0);
        if (c < 0)
            continue;
        list->SetCheckedL(c, it->Create);
        list->SetCheckedR(c, it->CreateGrant);
        list->SetCheckedL(c + 1, it->Usage);
        list->SetCheckedR(c + 1, it->UsageGrant);
    }
    chkRole->viewport()->update();
    chkUser->viewport()->update();
}

void TfrmSchema::LoadDefinition()
{
    TSchemaDef def;
    if (!LoadSchemaDef(OwnerForm(), NameText(), def))
        ObjectMissing();
    SetControls(def);
}

void TfrmSchema::SaveControls()
{
    cmbOwner->Save();
    chkCreate->Save();
    chkUsage->Save();
    chkRole->Save();
    chkUser->Save();
    FSaved = ControlsDef();
}

void TfrmSchema::ValidateInput()
{
    if (DefinePageShown() && cmbOwner->IsNull())
        Refuse(QStringLiteral("オーナーを入力して下さい。"), cmbOwner);
}

void TfrmSchema::GetSourceCreate(QStringList &Lines)
{
    Lines += SchemaCreateLines(ControlsDef(), NameText(), RoleOrder());
}

void TfrmSchema::GetSourceAlter(QStringList &Lines)
{
    Lines += SchemaAlterLines(FSaved, ControlsDef(), NameText(), RoleOrder());
}

void TfrmSchema::GetSourceDrop(QStringList &Lines)
{
    Lines += SchemaDropLines(NameText());
}

QString TfrmSchema::DropStatement(bool Cascade) const
{
    return SchemaDropStatement(NameText(), Cascade);
}

void TfrmSchema::OpenRoleOfLine(TPrivilegeList *List)
{
    const int line = List->currentRow();
    if (line < 0 || !OwnerForm())
        return;
    OwnerForm()->OpenObject(List == chkRole ? 68 : 2, QString(), List->RoleOfLine(line), TkdOption::Global().OpenMode);
}
