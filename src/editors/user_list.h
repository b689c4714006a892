#pragma once
// The user list window: the login roles, the group roles or the schemas of one connection on
// three tabs; from there they are created, opened, renamed in place, dropped (one multi-pass
// loop with "削除時のエラーを無視する", reporting how many were dropped and how many were
// not), scripted to files and, for schemas, handed to the backup window. One window per
// connection; its connection box switches it to another open connection.
#include "core/kdforms.h"

#include <QStringList>

class QAction;
class QComboBox;
class QMenu;
class QTabWidget;
class QToolBar;
class QTreeWidgetItem;
class TkdListView;

// The list statement of a tab (image index 3 users, 68 roles, 4 schemas) for a server version.
QString UserListSQL(int TabCode, int DBVer);
// The column captions and widths of a tab.
QList<QPair<QString, int>> UserListColumns(int TabCode, int DBVer);
// The file a user's, role's or schema's script goes to: Path (a folder ending in "/") +
// the kind's folder when SubDir ("USER", "ROLE"; none for a schema) + the name + ".SQL";
// the name passes SafePathPart.
QString UserListScriptFile(const QString &Path, bool SubDir, int TabCode, const QString &Name);
// The privilege file of GrantMode 1 ("GRANT/" + name + ".SQL") or 2 ("_GRANT.SQL", in the
// kind's folder with SubDir); empty for GrantMode 0.
QString UserListGrantFile(const QString &Path, bool SubDir, int GrantMode, int TabCode, const QString &Name);
// The rename statement of a row image (2 and 3 users, 4 schemas, 68 roles).
QString UserListRenameSQL(int Image, const QString &OldName, const QString &NewName);
// The drop statement of a tab.
QString UserListDropSQL(int TabCode, const QString &Name, bool Cascade);

class TfrmUserList : public TkdForm
{
    Q_OBJECT
public:
    // Opens the list of `Owner`'s connection, or brings the open one of that connection to
    // the front (nullptr then).
    static TfrmUserList *ShowWindow(TkdConnForm *Owner);
    // The caption of the list of a connection.
    static QString CaptionFor(TkdConnForm *Owner);

    // The image index of the active tab: 3, 68 or 4.
    int TabCode() const;
    void SetTab(int TabCode);

    ~TfrmUserList() override;
    void Activate() override;
    void Reload() override;
    void DBChange() override;
    void LoadWindowLayout() override;
    void SaveWindowLayout() override;

    // Handlers, public so that tests reach them as the user would.
    void actNewExecute();
    void actOpenExecute();
    void actScriptExecute();
    void actDeleteExecute();
    void actExportExecute();
    void cmbDBNameChange();
    // Renames the row in place (F2 starts it).
    void RenameRow(QTreeWidgetItem *Item, QString &Text);
    void UpdateActions();

    QToolBar *tolCmd = nullptr;
    QComboBox *cmbDBName = nullptr;
    QTabWidget *pagUsrList = nullptr;
    QWidget *tabUser = nullptr;
    QWidget *tabRole = nullptr;
    QWidget *tabSchema = nullptr;
    TkdListView *lstObject = nullptr;
    QMenu *mnuObject = nullptr;
    QAction *actNew = nullptr;
    QAction *actOpen = nullptr;
    QAction *actScript = nullptr;
    QAction *actDelete = nullptr;
    QAction *actExport = nullptr;
    QAction *actRefresh = nullptr;
    QAction *actExit = nullptr;

protected:
    explicit TfrmUserList(TkdConnForm *Owner);
    bool eventFilter(QObject *Watched, QEvent *Event) override;

private:
    void FillConnections(const QString &Select);
    void pagUsrListChange();
    QList<QTreeWidgetItem *> SelectedInOrder() const;
    QList<TkdConnForm *> FConnections;
};
