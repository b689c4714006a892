#pragma once
// What the schema, role, user and tablespace editors share about privileges: one reader of
// access-list items (grantee, privilege letters, grant options, grantor) and the two-box
// privilege list (left box: the privilege, right box: its grant option) whose lines with a
// grant option are drawn in red.
#include "controls/kdchklst.h"

#include <QList>
#include <QString>
#include <QStringList>

// One access-list item read with its own grantor.
struct TAclEntry {
    QString Grantee;    // "public" for PUBLIC
    QString Privileges; // the letters, each possibly followed by "*"
    QString Grantor;
    // Whether the item holds privilege letter `p`, and its grant option.
    bool Has(QChar p) const { return Privileges.contains(p); }
    bool HasGrantOption(QChar p) const { return Privileges.contains(QString(p) + QLatin1Char('*')); }
    bool operator==(const TAclEntry &) const = default;
};

// The items of an access list as the server writes them ("grantee=letters/grantor").
QList<TAclEntry> ReadAcl(const QStringList &Items);

// A two-box list of privilege lines: per role, one line per privilege, each line the role
// name followed by the privilege's suffix (all suffixes of one list have the same length).
class TPrivilegeList : public TkdCheckListBox
{
    Q_OBJECT
public:
    explicit TPrivilegeList(const QStringList &Suffixes, QWidget *Parent = nullptr);
    // Fills the lines of the roles (replacing any before).
    void SetRoles(const QStringList &Roles);
    const QStringList &Roles() const { return FRoles; }
    int SuffixCount() const { return int(FSuffixes.size()); }
    // Line of a role's privilege (by suffix position); -1 when the role has no lines. The
    // role must match as a whole name, never as a prefix of another.
    int LineOf(const QString &Role, int Privilege) const;
    // The role of a line: its text without the suffix.
    QString RoleOfLine(int Line) const;

private:
    QStringList FSuffixes;
    QStringList FRoles;
};
