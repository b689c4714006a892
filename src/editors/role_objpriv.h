#pragma once
// The object privileges of a role as the role and user editors list them: one line per
// privilege the role holds on a table, view, function, procedure, sequence or type
// ("SELECT ON TABLE s.t"), marked when it carries the grant option. The lines are read from
// the catalogs in one statement (a role holding privileges on ten thousand objects opens at
// once) and are revoked one by one with "REVOKE <line> FROM <role>".
#include <QAbstractListModel>
#include <QList>
#include <QListView>
#include <QString>
#include <QStringList>

class QAction;
class QMenu;
class TkdConnForm;

// One line of the list: the privilege keyword, " ON " and the object text.
struct TObjectPrivilege {
    QString Text;
    bool GrantOption = false;
    bool operator==(const TObjectPrivilege &) const = default;
};

// One object row of the catalog statement.
struct TObjectPrivilegeRow {
    QString Kind;        // TABLE, FUNCTION, PROCEDURE, SEQUENCE or TYPE
    QString Schema;
    QString Name;
    QString ArgTypes;    // routines: JSON array of [schema, type name] in argument order
    bool Owned = false;  // the role owns the object
    bool AclNull = false; // the object has no access list (its owner holds every privilege)
    QStringList Held;      // privilege keywords the role holds through the access list
    QStringList Grantable; // those of them it holds with the grant option
};

// The catalog statement (parameter :UNAME, the role's name). MatViews: materialised views
// are listed among the tables; types are listed from servers 9.2 on, procedures apart from
// functions from servers 11 on.
QString ObjectPrivilegeSQL(int DBVer, bool MatViews);
// The lines of the rows, in row order; within an object the privileges in alphabetical order.
// Argument types are qualified unless in pg_catalog or CurrentSchema.
QList<TObjectPrivilege> ObjectPrivilegeItems(const QList<TObjectPrivilegeRow> &Rows, const QString &CurrentSchema);
// Reads the lines of a role through the connection window (errors are thrown).
QList<TObjectPrivilege> LoadObjectPrivileges(TkdConnForm *Conn, const QString &Role, bool MatViews);
// "REVOKE <line> FROM <role>" with " CASCADE" when asked.
QString ObjectRevokeStatement(const TObjectPrivilege &Item, const QString &Role, bool Cascade);

// The lines as a list model: the text, red while the line carries the grant option, the flag
// under Qt::UserRole.
class TObjectPrivilegeModel : public QAbstractListModel
{
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;
    void SetItems(const QList<TObjectPrivilege> &Items);
    const QList<TObjectPrivilege> &Items() const { return FItems; }
    int rowCount(const QModelIndex &Parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &Index, int Role = Qt::DisplayRole) const override;

private:
    QList<TObjectPrivilege> FItems;
};

// The object privilege list of the role and user editors: several lines selectable, the
// pop-up menu popObj with popRevoke "取消(&R)"; the Delete key and popRevoke ask for the
// revoke (RevokeRequested).
class TObjectPrivilegeList : public QListView
{
    Q_OBJECT
public:
    explicit TObjectPrivilegeList(QWidget *Parent = nullptr);
    void SetItems(const QList<TObjectPrivilege> &Items) { FModel->SetItems(Items); }
    const QList<TObjectPrivilege> &Items() const { return FModel->Items(); }
    int count() const { return FModel->rowCount(); }
    // The selected lines in list order.
    QList<TObjectPrivilege> SelectedItems() const;
    // Selects the lines (by row) and nothing else.
    void SelectRows(const QList<int> &Rows);

    QMenu *popObj = nullptr;
    QAction *popRevoke = nullptr;

signals:
    void RevokeRequested();

protected:
    void keyPressEvent(QKeyEvent *Event) override;
    void contextMenuEvent(QContextMenuEvent *Event) override;

private:
    TObjectPrivilegeModel *FModel;
};
