#include "editors/role_editor.h"

#include "controls/kdmemo.h"
#include "controls/kdstdctl.h"
#include "core/kdsub_text.h"
#include "editors/privilege_list.h"
#include "editors/role_objpriv.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace {

// The password boxes of an existing user hold this placeholder; unchanged it sets nothing.
const QString kPlaceholder = QString(10, QLatin1Char(' '));
const QString kIsoFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QWidget *ListPanel(QWidget *parent, const QString &title, QWidget *list)
{
    auto *panel = new QWidget(parent);
    auto *l = new QVBoxLayout(panel);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(new QLabel(title, panel));
    l->addWidget(list, 1);
    return panel;
}

TkdCheckBox *Check(QWidget *parent, const QString &caption, const char *name)
{
    auto *c = new TkdCheckBox(caption, parent);
    c->setObjectName(QLatin1String(name));
    return c;
}

TEditorPolicy MakePolicy(bool login)
{
    TEditorPolicy p;
    p.Kind = login ? QStringLiteral("USER") : QStringLiteral("ROLE");
    p.LayoutKey = p.Kind;
    p.CaptionMode = 6;
    p.ObjType = login ? 3 : 68;
    p.HasSchema = false;
    p.HasGrant = false;
    p.HasCross = false;
    p.PreviewWithSchema = false;
    return p;
}

bool UserExists(TkdConnForm *owner, const QString &name, bool login, TRoleDef &def)
{
    return LoadRoleDef(owner, name, login, def);
}

} // namespace

const TEditorPolicy &TfrmRole::RolePolicy()
{
    static const TEditorPolicy policy = MakePolicy(false);
    return policy;
}

const TEditorPolicy &TfrmUser::UserPolicy()
{
    static const TEditorPolicy policy = MakePolicy(true);
    return policy;
}

TfrmRoleEditor::TfrmRoleEditor(TkdConnForm *Owner, const TObjectArgs &Args, TSourceMode Mode, bool Login)
    : TObjectEditor(Owner, Login ? TfrmUser::UserPolicy() : TfrmRole::RolePolicy(), Mode), FLogin(Login)
{
    setObjectName(Login ? QStringLiteral("frmUser") : QStringLiteral("frmRole"));
    resize(754, 511);
    SetTaskIcon(Login ? 3 : 68);
    const int ver = OwnerForm() ? OwnerForm()->DBVer() : 150000;

    auto *define = new QVBoxLayout(tabDefine);
    auto *pnlUser = new QHBoxLayout;
    if (Login) {
        auto *pnlLeft = new QGridLayout;
        txtPassword1 = new TkdStrEdit(tabDefine);
        txtPassword1->setObjectName(QStringLiteral("txtPassword1"));
        txtPassword2 = new TkdStrEdit(tabDefine);
        txtPassword2->setObjectName(QStringLiteral("txtPassword2"));
        for (TkdStrEdit *e : {txtPassword1, txtPassword2}) {
            e->setEchoMode(QLineEdit::Password);
            // A password is taken exactly as typed.
            e->SetCharCase(ecNormal);
            e->setMinimumWidth(180);
        }
        chkPass = Check(tabDefine, QStringLiteral("パスワード有効期限"), "chkPass");
        dtpLapseDate = new QDateEdit(QDate::currentDate(), tabDefine);
        dtpLapseDate->setObjectName(QStringLiteral("dtpLapseDate"));
        dtpLapseDate->setCalendarPopup(true);
        dtpLapseDate->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
        dtpLapseTime = new QTimeEdit(QTime::currentTime(), tabDefine);
        dtpLapseTime->setObjectName(QStringLiteral("dtpLapseTime"));
        dtpLapseTime->setDisplayFormat(QStringLiteral("HH:mm:ss"));
        dtpLapseDate->setEnabled(false);
        dtpLapseTime->setEnabled(false);
        txtConRest = new TkdNumEdit(tabDefine);
        txtConRest->setObjectName(QStringLiteral("txtConRest"));
        txtConRest->SetAllowMinus(true);
        pnlLeft->addWidget(new QLabel(QStringLiteral("パスワード"), tabDefine), 0, 0);
        pnlLeft->addWidget(txtPassword1, 0, 1, 1, 2);
        pnlLeft->addWidget(new QLabel(QStringLiteral("(確認入力)"), tabDefine), 1, 0);
        pnlLeft->addWidget(txtPassword2, 1, 1, 1, 2);
        pnlLeft->addWidget(chkPass, 2, 1, 1, 2);
        pnlLeft->addWidget(new QLabel(QStringLiteral("アカウント失効"), tabDefine), 3, 0);
        pnlLeft->addWidget(dtpLapseDate, 3, 1);
        pnlLeft->addWidget(dtpLapseTime, 3, 2);
        pnlLeft->addWidget(new QLabel(QStringLiteral("接続制限数"), tabDefine), 4, 0);
        pnlLeft->addWidget(txtConRest, 4, 1);
        pnlUser->addLayout(pnlLeft);
    }
    auto *grpPrivilege = new QGroupBox(QStringLiteral("ロール特権"), tabDefine);
    auto *grid = new QGridLayout(grpPrivilege);
    chkSuperUser = Check(grpPrivilege, QStringLiteral("スーパーユーザ"), "chkSuperUser");
    chkCreateDB = Check(grpPrivilege, QStringLiteral("データベース作成権限"), "chkCreateDB");
    chkCreateRole = Check(grpPrivilege, QStringLiteral("ロール作成権限"), "chkCreateRole");
    chkSucParRole = Check(grpPrivilege, QStringLiteral("親ロール継承"), "chkSucParRole");
    chkCatupdate = Check(grpPrivilege, QStringLiteral("システムカタログ更新権限"), "chkCatupdate");
    chkReplication = Check(grpPrivilege, QStringLiteral("ストリーミングレプリケーション"), "chkReplication");
    grid->addWidget(chkSuperUser, 0, 0);
    grid->addWidget(chkCreateDB, 1, 0);
    grid->addWidget(chkCreateRole, 2, 0);
    grid->addWidget(chkSucParRole, 0, 1);
    grid->addWidget(chkCatupdate, 1, 1);
    grid->addWidget(chkReplication, 2, 1);
    chkCatupdate->setVisible(ver < 90500);
    chkReplication->setVisible(ver >= 90100);
    pnlUser->addWidget(grpPrivilege);
    pnlUser->addStretch(1);
    define->addLayout(pnlUser);

    chkRole = new TPrivilegeList({QString()}, tabDefine);
    chkRole->setObjectName(QStringLiteral("chkRole"));
    chkSchema = new TPrivilegeList({QStringLiteral(" [CREATE]"), QStringLiteral(" [USAGE] ")}, tabDefine);
    chkSchema->setObjectName(QStringLiteral("chkSchema"));
    auto *lists = new QHBoxLayout;
    lists->addWidget(ListPanel(tabDefine, QStringLiteral("ロール / Admin Option"), chkRole), 1);
    lists->addWidget(ListPanel(tabDefine, QStringLiteral("スキーマ / Grant Option"), chkSchema), 1);
    lstObj = new TObjectPrivilegeList(tabDefine);
    lists->addWidget(ListPanel(tabDefine, QStringLiteral("オブジェクト権限"), lstObj), 2);
    define->addLayout(lists, 1);

    // The role and schema lists are filled once; later roles and schemas need a new window.
    if (OwnerForm()) {
        FGroups = RoleGroupOrder(OwnerForm());
        if (!Login)
            FGroups.removeAll(Args.ObjectName);
        FSchemas = RoleSchemaOrder(OwnerForm());
        chkRole->SetRoles(FGroups);
        chkSchema->SetRoles(FSchemas);
    }
    txtName->setText(Args.ObjectName);
    if (Login)
        txtConRest->setText(QStringLiteral("-1"));

    FinishSetup();
    for (TkdCheckBox *c : {chkCreateDB, chkCreateRole, chkSucParRole, chkCatupdate, chkReplication})
        connect(c, &QCheckBox::clicked, this, [this] { OnChange(); });
    connect(chkSuperUser, &QCheckBox::clicked, this, [this] { chkSuperUserClick(); });
    for (TPrivilegeList *list : {chkRole, chkSchema}) {
        connect(list, &TkdCheckListBox::OnClickCheckL, this, [this] { OnChange(); });
        connect(list, &TkdCheckListBox::OnClickCheckR, this, [this] { OnChange(); });
    }
    connect(chkRole, &QListWidget::itemDoubleClicked, this, [this] { chkRoleDblClick(); });
    connect(lstObj, &TObjectPrivilegeList::RevokeRequested, this, [this] { GuardedCall([this] { popRevokeClick(); }); });
    connect(lstObj->popObj, &QMenu::aboutToShow, this, [this] { actRevokeUpdate(); });
    if (Login) {
        for (TkdStrEdit *e : {txtPassword1, txtPassword2, static_cast<TkdStrEdit *>(txtConRest)})
            connect(e, &QLineEdit::textEdited, this, [this] { OnChange(); });
        connect(chkPass, &QCheckBox::clicked, this, [this] { chkPassClick(); });
        connect(dtpLapseDate, &QDateEdit::dateChanged, this, [this] { OnChange(); });
        connect(dtpLapseTime, &QTimeEdit::timeChanged, this, [this] { OnChange(); });
    }
}

QWidget *TfrmRole::Open(TkdConnForm *Owner, const TObjectArgs &Args)
{
    return OpenEditorWindow<TfrmRole>(Owner, Args, RolePolicy());
}

QWidget *TfrmUser::Open(TkdConnForm *Owner, const TObjectArgs &Args)
{
    return OpenEditorWindow<TfrmUser>(Owner, Args, UserPolicy());
}

namespace {

void ScriptRole(TkdConnForm *Owner, const TObjectArgs &Args, TScriptSink &Sink, bool login)
{
    TRoleDef def;
    if (Args.ObjectName.isEmpty() || !UserExists(Owner, Args.ObjectName, login, def))
        throw EAbort();
    TRoleText t;
    t.Keyword = login ? QStringLiteral("USER") : QStringLiteral("ROLE");
    t.DBVer = Owner->DBVer();
    Sink.WriteScript(RoleCreateLines(def, Args.ObjectName, t));
}

} // namespace

void TfrmRole::Script(TkdConnForm *Owner, const TObjectArgs &Args, TScriptSink &Sink)
{
    ScriptRole(Owner, Args, Sink, false);
}

void TfrmUser::Script(TkdConnForm *Owner, const TObjectArgs &Args, TScriptSink &Sink)
{
    ScriptRole(Owner, Args, Sink, true);
}

QString TfrmRoleEditor::ExpiryText() const
{
    if (!FLogin)
        return FSaved.ValidUntil;
    if (!chkPass->isChecked()) {
        // No expiry: a loaded "none" stays as the catalog held it (NULL or infinity).
        return IsUnlimitedExpiry(FSaved.ValidUntil) && !IsNew() ? FSaved.ValidUntil : QStringLiteral("infinity");
    }
    return QDateTime(dtpLapseDate->date(), dtpLapseTime->time()).toString(kIsoFormat);
}

TRoleDef TfrmRoleEditor::ControlsDef() const
{
    TRoleDef d = FSaved; // comment, settings, members and BYPASSRLS are kept as loaded
    d.Login = FLogin;
    d.SuperUser = chkSuperUser->isChecked();
    d.CreateDB = chkCreateDB->isChecked();
    d.CreateRole = chkCreateRole->isChecked();
    d.Inherit = chkSucParRole->isChecked();
    d.Catupdate = chkCatupdate->isChecked();
    d.Replication = chkReplication->isChecked();
    if (FLogin) {
        d.ConnLimit = txtConRest->text().trimmed();
        d.ValidUntil = ExpiryText();
    }
    for (const QString &g : FGroups)
        d.MemberOf.remove(g);
    for (const QString &g : FGroups) {
        const int line = chkRole->LineOf(g, 0);
        if (line >= 0 && chkRole->CheckedL(line))
            d.MemberOf[g] = chkRole->CheckedR(line);
    }
    d.Schemas.clear();
    for (const QString &s : FSchemas) {
        const int c = chkSchema->LineOf(s, 0);
        const TSchemaGrant g{chkSchema->CheckedL(c), chkSchema->CheckedR(c), chkSchema->CheckedL(c + 1),
                             chkSchema->CheckedR(c + 1)};
        if (g != TSchemaGrant())
            d.Schemas[s] = g;
    }
    return d;
}

void TfrmRoleEditor::SetControls(const TRoleDef &Def)
{
    chkSuperUser->setChecked(Def.SuperUser);
    chkCreateDB->setChecked(Def.CreateDB);
    chkCreateRole->setChecked(Def.CreateRole);
    chkSucParRole->setChecked(Def.Inherit);
    chkCatupdate->setChecked(Def.Catupdate);
    chkReplication->setChecked(Def.Replication);
    for (TPrivilegeList *list : {chkRole, chkSchema})
        for (int i = 0; i < list->count(); ++i) {
            list->SetCheckedL(i, false);
            list->SetCheckedR(i, false);
        }
    for (auto it = Def.MemberOf.cbegin(); it != Def.MemberOf.cend(); ++it) {
        const int line = chkRole->LineOf(it.key(), 0);
        if (line < 0)
            continue;
        chkRole->SetCheckedL(line, true);
        chkRole->SetCheckedR(line, it.value());
    }
    for (auto it = Def.Schemas.cbegin(); it != Def.Schemas.cend(); ++it) {
        const int c = chkSchema->LineOf(it.key(), 0);
        if (c < 0)
            continue;
        chkSchema->SetCheckedL(c, it->Create);
        chkSchema->SetCheckedR(c, it->CreateGrant);
        chkSchema->SetCheckedL(c + 1, it->Usage);
        chkSchema->SetCheckedR(c + 1, it->UsageGrant);
    }
    if (FLogin) {
        txtPassword1->setText(kPlaceholder);
        txtPassword2->setText(kPlaceholder);
        txtConRest->setText(Def.ConnLimit);
        const bool limited = !IsUnlimitedExpiry(Def.ValidUntil);
        const QDateTime at = limited ? QDateTime::fromString(Def.ValidUntil, kIsoFormat) : QDateTime::currentDateTime();
        const QSignalBlocker b1(dtpLapseDate), b2(dtpLapseTime);
        chkPass->setChecked(limited);
        dtpLapseDate->setDate(at.date());
        dtpLapseTime->setTime(QTime(at.time().hour(), at.time().minute(), at.time().second()));
    }
    chkRole->viewport()->update();
    chkSchema->viewport()->update();
}

void TfrmRoleEditor::LoadDefinition()
{
    TRoleDef def;
    if (!LoadRoleDef(OwnerForm(), NameText(), FLogin, def))
        ObjectMissing();
    FSaved = def;
    SetControls(def);
    // The text-only window (scripts) needs no privilege list.
    if (SourceMode == smShow)
        ShowObjectGrant();
}

void TfrmRoleEditor::ShowObjectGrant()
{
    lstObj->SetItems({});
    if (IsNew() || !OwnerForm())
        return;
    TkdWaitCursor wait;
    // Materialised views are tables to a login user's eye only.
    lstObj->SetItems(LoadObjectPrivileges(OwnerForm(), NameText(), FLogin));
}

void TfrmRoleEditor::actRevokeUpdate()
{
    lstObj->popRevoke->setEnabled(true);
}

void TfrmRoleEditor::popRevokeClick()
{
    const QList<TObjectPrivilege> selected = lstObj->SelectedItems();
    if (selected.isEmpty() || !OwnerForm())
        return;
    QList<MsgCheckItem> items{{QStringLiteral("CASCADE オプション"), false}};
    if (ShowCheckMessageBox(QStringLiteral("オブジェクト権限を取り消しますか？"), MB_YESNO | MB_ICONQUESTION, items) != IDYES)
        return;
    const bool cascade = items.value(0).Checked;
    db::Connection *conn = OwnerForm()->dbsMain();
    const QString role = NameText();
    for (const TObjectPrivilege &item : selected) {
        try {
            if (conn)
                conn->takeNotices();
            OwnerForm()->ExecuteSQL(ObjectRevokeStatement(item, role, cascade));
        } catch (const EAbort &) {
            ShowObjectGrant();
            throw;
        } catch (const std::exception &e) {
            // The items before stay revoked; the list shows what the server holds now.
            ShowError(QString::fromUtf8(e.what()));
            ShowObjectGrant();
            return;
        }
        // A REVOKE the login user may not make only warns ("no privileges could be
        // revoked"): that is a failure too, not a success.
        const QStringList notices = conn ? conn->takeNotices() : QStringList();
        if (!notices.isEmpty()) {
            ShowMessageBox(notices.join(QLatin1Char('\n')), MB_ICONWARNING);
            ShowObjectGrant();
            return;
        }
    }
    ShowMessageBox(QStringLiteral("権限を取り消しました。"), MB_ICONINFORMATION);
    ShowObjectGrant();
}

void TfrmRoleEditor::SaveControls()
{
    if (IsNew()) {
        FSaved = TRoleDef();
        FSaved.Login = FLogin;
    }
    for (TkdCheckBox *c : {chkSuperUser, chkCreateDB, chkCreateRole, chkSucParRole, chkCatupdate, chkReplication})
        c->Save();
    chkRole->Save();
    chkSchema->Save();
    if (FLogin) {
        txtPassword1->Save();
        txtPassword2->Save();
        chkPass->Save();
        txtConRest->Save();
        FSavedExpiry = ExpiryText();
    }
    CheckLoginUser();
}

void TfrmRoleEditor::CheckLoginUser()
{
    G_SuperUser = G_CreateRole = G_Catupdate = false;
    TkdConnForm *owner = OwnerForm();
    if (!owner)
        return;
    const QString login = owner->ConnectionParam(QStringLiteral("User_Name"));
    const QString sql = QStringLiteral("SELECT rolcreaterole, rolsuper, ")
                        + (owner->DBVer() < 90500 ? QStringLiteral("rolcatupdate") : QStringLiteral("NULL"))
                        + QStringLiteral(" FROM pg_roles WHERE rolname = :USERNAME");
    db::Query *q = owner->OpenSQL(sql, {login});
    if (q->eof()) {
        q->close();
        if (SourceMode == smShow)
            ShowMessageBox(QStringLiteral("ログインユーザーの権限を読み込めませんでした。"), MB_ICONERROR);
        throw EAbort();
    }
    auto yes = [q](int i) {
        const QString t = q->field(i).asString();
        return t == QLatin1String("t") || t == QLatin1String("true");
    };
    G_CreateRole = yes(0);
    G_SuperUser = yes(1);
    G_Catupdate = yes(2);
    q->close();
    const bool creator = G_CreateRole || G_SuperUser;
    chkSuperUser->setEnabled(G_SuperUser);
    for (TkdCheckBox *c : {chkCreateDB, chkCreateRole, chkSucParRole})
        c->setEnabled(creator);
    chkCatupdate->setEnabled(G_Catupdate && G_SuperUser && chkSuperUser->isChecked());
    chkReplication->setEnabled(G_SuperUser);
    if (FLogin) {
        // A login user may always change their own password.
        const bool own = NameText() == login;
        txtPassword1->setEnabled(creator || own);
        txtPassword2->setEnabled(creator || own);
        chkPass->setEnabled(creator);
        txtConRest->setEnabled(creator);
        dtpLapseDate->setEnabled(creator && chkPass->isChecked());
        dtpLapseTime->setEnabled(creator && chkPass->isChecked());
    }
}

void TfrmRoleEditor::chkSuperUserClick()
{
    OnChange();
    chkCatupdate->setChecked(chkSuperUser->isChecked());
    if (G_Catupdate && G_SuperUser)
        chkCatupdate->setEnabled(chkSuperUser->isChecked());
}

void TfrmRoleEditor::chkPassClick()
{
    const bool on = chkPass->isChecked() && (G_CreateRole || G_SuperUser);
    dtpLapseDate->setEnabled(on);
    dtpLapseTime->setEnabled(on);
    OnChange();
}

void TfrmRoleEditor::chkRoleDblClick()
{
    const int line = chkRole->currentRow();
    if (line < 0 || !OwnerForm())
        return;
    OwnerForm()->OpenObject(68, QString(), chkRole->RoleOfLine(line), TkdOption::Global().OpenMode);
}

bool TfrmRoleEditor::PasswordChanged() const
{
    return FLogin && txtPassword1->IsChanged();
}

QString TfrmRoleEditor::Verifier(const QString &Password) const
{
    db::Connection *c = OwnerForm() ? OwnerForm()->dbsMain() : nullptr;
    if (!c)
        throw EAbort();
    return c->encryptPassword(Password, NameText());
}

TRoleText TfrmRoleEditor::Text() const
{
    TRoleText t;
    t.Keyword = Keyword();
    t.DBVer = OwnerForm() ? OwnerForm()->DBVer() : 150000;
    t.GroupOrder = FGroups;
    t.SchemaOrder = FSchemas;
    if (FLogin) {
        const QString pw = txtPassword1->text();
        if (!KdIsBlankText(pw) && (IsNew() || PasswordChanged()))
            t.PasswordVerifier = Verifier(pw);
        t.PasswordChanged = PasswordChanged();
        t.ExpiryChanged = chkPass->IsChanged() || ExpiryText() != FSavedExpiry;
        t.ConnLimitChanged = txtConRest->IsChanged();
    }
    return t;
}

void TfrmRoleEditor::ValidateInput()
{
    CheckNameLength(NameText(), txtName);
    if (!FLogin || !DefinePageShown())
        return;
    const bool isNew = IsNew();
    if (txtPassword1->IsNull() && (isNew || txtPassword1->IsChanged()))
        Refuse(QStringLiteral("パスワードを入力して下さい。"), txtPassword1->isEnabled() ? txtPassword1 : nullptr);
    if (txtPassword2->IsNull() && (isNew || txtPassword2->IsChanged()))
        Refuse(QStringLiteral("パスワードを入力して下さい。"), txtPassword2);
    if (txtPassword1->text() != txtPassword2->text() && (isNew || txtPassword1->IsChanged() || txtPassword2->IsChanged()))
        Refuse(QStringLiteral("パスワードが一致しません。"), txtPassword2);
    QString limit = txtConRest->text();
    if (!NormalizeConnLimit(limit))
        Refuse(QStringLiteral("接続制限数は整数を入力して下さい。"), txtConRest);
    if (limit != txtConRest->text())
        txtConRest->setText(limit);
}

void TfrmRoleEditor::Compile()
{
    if (FLogin && SourcePageShown()) {
        const QString text = txtSource->text();
        // A line with the bare keyword sets no password: the user's text stays for fixing.
        if (HasBarePasswordLine(text)) {
            ShowMessageBox(QStringLiteral("パスワード（PASSWORD句）を入力してください。"), MB_ICONWARNING);
            return;
        }
        // Clear-text password literals become verifiers before anything is shown or saved.
        QString rewritten;
        try {
            rewritten = EncryptPasswordLiterals(text, [this](const QString &pw) { return Verifier(pw); });
        } catch (const db::Error &e) {
            ShowMessageBox(e.message, MB_ICONERROR);
            return;
        }
        if (rewritten != text)
            txtSource->setText(rewritten);
    }
    TObjectEditor::Compile();
}

void TfrmRoleEditor::GetSourceCreate(QStringList &Lines)
{
    Lines += RoleCreateLines(ControlsDef(), NameText(), Text());
}

void TfrmRoleEditor::GetSourceAlter(QStringList &Lines)
{
    Lines += RoleAlterLines(FSaved, ControlsDef(), NameText(), Text());
}

void TfrmRoleEditor::GetSourceDrop(QStringList &Lines)
{
    TRoleText t;
    t.Keyword = Keyword();
    Lines += RoleDropLines(NameText(), t);
}

QString TfrmRoleEditor::DropStatement(bool Cascade) const
{
    Q_UNUSED(Cascade);
    return RoleDropStatement(NameText(), Keyword());
}
