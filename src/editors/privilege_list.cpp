#include "editors/privilege_list.h"

#include "core/kdsub_catalog.h"

#include <QPainter>

namespace {

// Draws a line in red while its grant option is ticked.
class TGrantOptionDelegate : public TkdCheckListDelegate
{
public:
    explicit TGrantOptionDelegate(TkdCheckListBox *AList) : TkdCheckListDelegate(AList), FList(AList) {}
    void paint(QPainter *APainter, const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const override
    {
        QStyleOptionViewItem option(AOption);
        if (AIndex.row() < FList->count() && FList->CheckedR(AIndex.row())) {
            option.palette.setColor(QPalette::Text, QColor(255, 0, 0));
            option.palette.setColor(QPalette::HighlightedText, QColor(255, 0, 0));
        }
        TkdCheckListDelegate::paint(APainter, option, AIndex);
    }

private:
    TkdCheckListBox *FList;
};

} // namespace

QList<TAclEntry> ReadAcl(const QStringList &Items)
{
    QList<TAclEntry> list;
    for (const QString &item : Items) {
        if (item.trimmed().isEmpty())
            continue;
        TAclEntry e;
        SplitAclItem(item, e.Grantee, e.Privileges, &e.Grantor);
        list << e;
    }
    return list;
}

TPrivilegeList::TPrivilegeList(const QStringList &Suffixes, QWidget *Parent)
    : TkdCheckListBox(Parent), FSuffixes(Suffixes)
{
    setItemDelegate(new TGrantOptionDelegate(this));
}

void TPrivilegeList::SetRoles(const QStringList &Roles)
{
    FRoles = Roles;
    clear();
    for (const QString &role : Roles)
        for (const QString &suffix : FSuffixes)
            addItem(role + suffix);
}

int TPrivilegeList::LineOf(const QString &Role, int Privilege) const
{
    const qsizetype i = FRoles.indexOf(Role);
    return i < 0 ? -1 : int(i) * int(FSuffixes.size()) + Privilege;
}

QString TPrivilegeList::RoleOfLine(int Line) const
{
    const int n = int(FSuffixes.size());
    return Line >= 0 && n > 0 && Line / n < FRoles.size() ? FRoles.at(Line / n) : QString();
}
