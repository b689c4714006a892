#pragma once
// The page "権限" of the table, view, sequence and function/type editors: every login role,
// "public" and every group role with its privileges on one object; the user ticks privileges
// and grant options for the selected grantees, and the difference to what was read becomes
// GRANT and REVOKE statements for the host's DDL line list.
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class QGroupBox;
class QLabel;
class QRadioButton;
class QTreeWidgetItem;
class TkdCheckListBox;
class TkdConnForm;
class TkdListView;

// One privilege column: the letter in the server's access lists, the keyword (column caption
// and statement word) and the text of the check list.
struct TGrantPrivilege
{
    QChar Letter;
    QString Keyword;
    QString Text;
};

// The privilege columns of an object kind (45/47 seven, 52 and 55 one, 58 three; none else).
QList<TGrantPrivilege> GrantPrivileges(int objType);

// A grantee row as the frame keeps it: cells "" (not granted), "*" (granted) or "G" (with
// grant option), one per privilege, and the cells as read from the server.
struct TGrantRow
{
    QString Name;
    QStringList Cells;
    QStringList Snapshot;
    bool FromServer = false; // a cell was filled from the server
    bool IsPublic() const { return Name == QLatin1String("public"); }
};

// Fills the cells of `rows` from the object's access list. `aclNull`: the object has no list
// (default privileges): the owner gets every privilege, and for a function or a type (codes
// 52, 55) "public" too. Otherwise each entry grantee=letters/grantor marks its grantee's
// row, whoever the grantor is. Filled cells are copied into the snapshot.
void FillGrantCells(QList<TGrantRow> &rows, const QList<TGrantPrivilege> &privileges, int objType,
                    const QString &owner, bool aclNull, const QStringList &aclItems);

// The object as GRANT names it: "TABLE s.n" (views too), "FUNCTION s.n(args)" or
// "PROCEDURE s.n(args)", "TYPE s.n", "SEQUENCE s.n"; names through QuoteIdentifier.
QString GrantObjectText(int objType, const QString &schema, const QString &name, const QString &argList,
                        bool isProcedure);

// The statements that turn each row's snapshot into its cells, each followed by a line ";".
QStringList GrantChangeStatements(const QList<TGrantRow> &rows, const QList<TGrantPrivilege> &privileges,
                                  const QString &objectText);
// The statements that set every cell again from nothing (after a type was re-created).
QStringList GrantReregistStatements(const QList<TGrantRow> &rows, const QList<TGrantPrivilege> &privileges,
                                    const QString &objectText);

class TfraGrant : public QWidget
{
    Q_OBJECT
public:
    explicit TfraGrant(QWidget *AOwner = nullptr);

    // Loads the grantee list of one object. pintOid is read for functions only, pstrTypLst
    // (the argument list written in statements) for functions only, pstrDataType (typtype)
    // for types only. Errors of the catalog reads pass to the caller.
    void ShowData(const QString &Schema, const QString &ObjName, qint64 pintOid = -1,
                  const QString &pstrTypLst = QString(), const QString &pstrDataType = QString());
    void GetSource(QStringList &S) const;
    void GetSourceReregist(QStringList &S) const;

    // The rows as shown (list order).
    QList<TGrantRow> Rows() const;
    const QList<TGrantPrivilege> &Privileges() const { return FPrivileges; }

    // Handlers (public so that hosts and tests reach them as the user would).
    void rdoShowModeClick();
    void lstGrantClick();
    void lstGrantSelectionChanged();
    void chkGrantClick();

    QWidget *pnlTop;
    QGroupBox *rdoShowMode;
    QRadioButton *rdoShowGranted;
    QRadioButton *rdoShowAll;
    QGroupBox *grpGrantOption;
    TkdCheckListBox *chkGrant;
    QLabel *lblComment;
    TkdListView *lstGrant;

private:
    TkdConnForm *FOwnerForm = nullptr;
    int FObjType = 0;
    QString FSchema, FObjName;
    qint64 L_intOID = -1;
    QString L_strTypLst;
    QString L_strDataType;
    bool FIsProcedure = false;
    QList<TGrantPrivilege> FPrivileges;
    bool FLoading = false;

    void BuildColumns(bool forReading);
    void AddRow(const TGrantRow &row, int image);
    static TGrantRow RowOf(const QTreeWidgetItem *item, int count);
    QString ObjectText() const;
};
