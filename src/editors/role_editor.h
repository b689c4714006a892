#pragma once
// The role editor (group roles, which cannot log in) and the user editor (login roles): one
// window class configured by whether the edited role logs in. The definition page shows the
// attributes, the memberships in group roles with the admin option and the CREATE / USAGE
// privileges on schemas, and the object privileges the role holds (revoked from the list);
// the user editor adds password, account expiry and connection limit.
// Passwords never appear as clear text: every PASSWORD clause carries the verifier the
// client library computes in the server's password_encryption form.
#include "editors/object_editor.h"
#include "editors/role_def.h"

class QDateEdit;
class QGroupBox;
class QTimeEdit;
class TkdCheckBox;
class TkdNumEdit;
class TPrivilegeList;
class TObjectPrivilegeList;

class TfrmRoleEditor : public TObjectEditor
{
    Q_OBJECT
public:
    TfrmRoleEditor(TkdConnForm *Owner, const TObjectArgs &Args, TSourceMode Mode, bool Login);

    bool IsLogin() const { return FLogin; }
    QString Keyword() const { return FLogin ? QStringLiteral("USER") : QStringLiteral("ROLE"); }
    // The definition the controls show now (password aside).
    TRoleDef ControlsDef() const;
    void SetControls(const TRoleDef &Def);
    // The login user's rights as last read.
    bool LoginSuperUser() const { return G_SuperUser; }
    bool LoginCreateRole() const { return G_CreateRole; }

    void Compile() override;
    // Checking the superuser box also checks the catalog-update box (servers before 9.5).
    void chkSuperUserClick();
    void chkPassClick();
    // Opens the role editor of the selected membership line.
    void chkRoleDblClick();
    // Fills the object privilege list from the catalogs (empty for a new role).
    void ShowObjectGrant();
    // Revokes the selected object privileges after the question (also the Delete key).
    void popRevokeClick();
    void actRevokeUpdate();

    TkdCheckBox *chkSuperUser = nullptr;
    TkdCheckBox *chkCreateDB = nullptr;
    TkdCheckBox *chkCreateRole = nullptr;
    TkdCheckBox *chkSucParRole = nullptr;
    TkdCheckBox *chkCatupdate = nullptr;
    TkdCheckBox *chkReplication = nullptr;
    TPrivilegeList *chkRole = nullptr;
    TPrivilegeList *chkSchema = nullptr;
    TObjectPrivilegeList *lstObj = nullptr;
    // User editor only (nullptr in the role editor).
    TkdStrEdit *txtPassword1 = nullptr;
    TkdStrEdit *txtPassword2 = nullptr;
    TkdCheckBox *chkPass = nullptr;
    QDateEdit *dtpLapseDate = nullptr;
    QTimeEdit *dtpLapseTime = nullptr;
    TkdNumEdit *txtConRest = nullptr;

protected:
    void LoadDefinition() override;
    void SaveControls() override;
    void ValidateInput() override;
    void GetSourceCreate(QStringList &Lines) override;
    void GetSourceAlter(QStringList &Lines) override;
    void GetSourceDrop(QStringList &Lines) override;
    QString DropStatement(bool Cascade) const override;

private:
    TRoleText Text() const;
    QString Verifier(const QString &Password) const;
    bool PasswordChanged() const;
    QString ExpiryText() const;
    void CheckLoginUser();

    bool FLogin;
    bool G_SuperUser = false, G_CreateRole = false, G_Catupdate = false;
    TRoleDef FSaved;
    QString FSavedExpiry;
    QStringList FGroups, FSchemas;
};

class TfrmRole : public TfrmRoleEditor
{
    Q_OBJECT
public:
    TfrmRole(TkdConnForm *Owner, const TObjectArgs &Args, TSourceMode Mode) : TfrmRoleEditor(Owner, Args, Mode, false) {}
    static const TEditorPolicy &RolePolicy();
    // The editor table's entries (code 68).
    static QWidget *Open(TkdConnForm *Owner, const TObjectArgs &Args);
    static void Script(TkdConnForm *Owner, const TObjectArgs &Args, TScriptSink &Sink);
};

class TfrmUser : public TfrmRoleEditor
{
    Q_OBJECT
public:
    TfrmUser(TkdConnForm *Owner, const TObjectArgs &Args, TSourceMode Mode) : TfrmRoleEditor(Owner, Args, Mode, true) {}
    static const TEditorPolicy &UserPolicy();
    // The editor table's entries (codes 2 and 3).
    static QWidget *Open(TkdConnForm *Owner, const TObjectArgs &Args);
    static void Script(TkdConnForm *Owner, const TObjectArgs &Args, TScriptSink &Sink);
};
