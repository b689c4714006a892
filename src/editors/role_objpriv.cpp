#include "editors/role_objpriv.h"

#include "core/kdforms.h"
#include "core/kdsub_catalog.h"
#include "core/kdsub_text.h"
#include "platform/db/dbquery.h"

#include <QContextMenuEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QMenu>
#include <QStyledItemDelegate>

namespace {

// The privileges the list knows, in the order an object's lines are written.
const char *const kKeywords[] = {"DELETE",  "EXECUTE", "INSERT",   "REFERENCES", "SELECT",
                                 "TRIGGER", "TRUNCATE", "UPDATE", "USAGE"};

// What the owner of an object without an access list holds implicitly, by kind.
QStringList OwnerPrivileges(const QString &kind)
{
    if (kind == QLatin1String("TABLE"))
        return {QStringLiteral("DELETE"), QStringLiteral("INSERT"), QStringLiteral("REFERENCES"),
                QStringLiteral("SELECT"), QStringLiteral("TRIGGER"), QStringLiteral("TRUNCATE"),
                QStringLiteral("UPDATE")};
    if (kind == QLatin1String("FUNCTION") || kind == QLatin1String("PROCEDURE"))
        return {QStringLiteral("EXECUTE")};
    if (kind == QLatin1String("SEQUENCE"))
        return {QStringLiteral("SELECT"), QStringLiteral("UPDATE"), QStringLiteral("USAGE")};
    if (kind == QLatin1String("TYPE"))
        return {QStringLiteral("USAGE")};
    return {};
}

QString ArgumentList(const QString &json, const QString &currentSchema)
{
    FncArgArray args;
    const QJsonArray list = QJsonDocument::fromJson(json.toUtf8()).array();
    for (const QJsonValue &v : list) {
        const QJsonArray pair = v.toArray();
        TFuncArgument a;
        a.strMode = QStringLiteral("i");
        a.strSchema = pair.at(0).toString();
        a.strTypeNaOri = pair.at(1).toString();
        args << a;
    }
    return FormatFunctionArgs(args, 5, currentSchema);
}

QString ObjectText(const TObjectPrivilegeRow &row, const QString &currentSchema)
{
    QString text = row.Kind + QLatin1Char(' ') + QuoteIdentifier(row.Schema) + QLatin1Char('.') + QuoteIdentifier(row.Name);
    if (row.Kind == QLatin1String("FUNCTION") || row.Kind == QLatin1String("PROCEDURE"))
        text += QLatin1Char('(') + ArgumentList(row.ArgTypes, currentSchema) + QLatin1Char(')');
    return text;
}

QStringList Words(const QString &commaList)
{
    return commaList.split(QLatin1Char(','), Qt::SkipEmptyParts);
}

// Draws a line in red while it carries the grant option, selected or not.
class TGrantOptionTextDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *Option, const QModelIndex &Index) const override
    {
        QStyledItemDelegate::initStyleOption(Option, Index);
        if (Index.data(Qt::UserRole).toBool()) {
            Option->palette.setColor(QPalette::Text, QColor(255, 0, 0));
            Option->palette.setColor(QPalette::HighlightedText, QColor(255, 0, 0));
        }
    }
};

} // namespace

QString ObjectPrivilegeSQL(int DBVer, bool MatViews)
{
    const QString relkinds = TableRelkindsSQL() + QStringLiteral(", ") + ViewRelkindsSQL()
                             + (MatViews ? QStringLiteral(", 'm'") : QString());
    const QString routineKind = DBVer >= 110000
                                    ? QStringLiteral("CASE WHEN pr.prokind = 'p' THEN 'PROCEDURE' ELSE 'FUNCTION' END")
                                    : QStringLiteral("'FUNCTION'");
    const QString userSchema = QStringLiteral(" AND NOT (na.nspname LIKE 'pg\\_%') AND na.nspname <> 'information_schema'");
    QString objects =
        QStringLiteral("SELECT 'TABLE'::text AS cls, na.nspname, cl.relname AS objname, NULL::oidvector AS argtypes, "
                       "cl.relowner AS owner, cl.relacl AS acl FROM pg_class cl "
                       "JOIN pg_namespace na ON cl.relnamespace = na.oid WHERE cl.relkind IN (")
        + relkinds + QLatin1Char(')') + userSchema
        + QStringLiteral(" UNION ALL SELECT ") + routineKind
        + QStringLiteral(", na.nspname, pr.proname, pr.proargtypes, pr.proowner, pr.proacl FROM pg_proc pr "
                         "JOIN pg_namespace na ON pr.pronamespace = na.oid WHERE true")
        + userSchema
        + QStringLiteral(" UNION ALL SELECT 'SEQUENCE', na.nspname, cl.relname, NULL, cl.relowner, cl.relacl "
                         "FROM pg_class cl JOIN pg_namespace na ON cl.relnamespace = na.oid WHERE cl.relkind = 'S'")
        + userSchema;
    if (DBVer > 90199)
        objects += QStringLiteral(" UNION ALL SELECT 'TYPE', na.nspname, ty.typname, NULL, ty.typowner, ty.typacl "
                                  "FROM pg_type ty JOIN pg_namespace na ON ty.typnamespace = na.oid "
                                  "LEFT JOIN pg_class cl ON ty.typrelid = cl.oid "
                                  "WHERE (cl.relkind = 'c' OR ty.typtype = 'e' OR ty.typtype = 'r' "
                                  "OR (ty.typtype = 'b' AND ty.typcategory NOT IN "
                                  "('A','B','C','D','E','G','I','N','P','R','S','T','V','X')))")
                   + userSchema;
    // The grantee is matched by the role's oid, so neither a name inside another name
    // nor the quoting of names in the access list matters; a privilege received from
    // several grantors is one line, with the grant option when any of them gave it.
    return QStringLiteral("SELECT o.cls, o.nspname, o.objname, "
                          "(SELECT json_agg(json_build_array(tn.nspname, ty.typname) ORDER BY a.n) "
                          "FROM unnest(o.argtypes::oid[]) WITH ORDINALITY AS a(typ, n) "
                          "JOIN pg_type ty ON ty.oid = a.typ JOIN pg_namespace tn ON tn.oid = ty.typnamespace)::text, "
                          "(o.owner = r.oid)::int, (o.acl IS NULL)::int, p.held, p.grantable "
                          "FROM (SELECT oid FROM pg_roles WHERE rolname = :UNAME) r CROSS JOIN LATERAL (")
           + objects
           + QStringLiteral(") o LEFT JOIN LATERAL (SELECT string_agg(DISTINCT e.privilege_type, ',') AS held, "
                            "string_agg(DISTINCT CASE WHEN e.is_grantable THEN e.privilege_type END, ',') AS grantable "
                            "FROM aclexplode(o.acl) e WHERE e.grantee = r.oid) p ON true "
                            "WHERE o.owner = r.oid OR p.held IS NOT NULL ORDER BY 2, 3, 1, 4");
}

QList<TObjectPrivilege> ObjectPrivilegeItems(const QList<TObjectPrivilegeRow> &Rows, const QString &CurrentSchema)
{
    QList<TObjectPrivilege> items;
    for (const TObjectPrivilegeRow &row : Rows) {
        // An object without an access list: its owner holds what the kind allows, without
        // the grant option. An empty access list (everything revoked) gives nothing.
        const QStringList implicit = row.Owned && row.AclNull ? OwnerPrivileges(row.Kind) : QStringList();
        const QStringList allowed = OwnerPrivileges(row.Kind);
        const QString object = ObjectText(row, CurrentSchema);
        for (const char *k : kKeywords) {
            const QString word = QLatin1String(k);
            if (!allowed.contains(word))
                continue;
            const bool held = implicit.contains(word) || row.Held.contains(word);
            if (held)
                items << TObjectPrivilege{word + QStringLiteral(" ON ") + object, row.Grantable.contains(word)};
        }
    }
    return items;
}

QList<TObjectPrivilege> LoadObjectPrivileges(TkdConnForm *Conn, const QString &Role, bool MatViews)
{
    QList<TObjectPrivilegeRow> rows;
    db::Query *q = Conn->OpenSQL(ObjectPrivilegeSQL(Conn->DBVer(), MatViews), {Role});
    try {
        while (!q->eof()) {
            TObjectPrivilegeRow r;
            r.Kind = q->field(0).asString();
            r.Schema = q->field(1).asString();
            r.Name = q->field(2).asString();
            r.ArgTypes = q->field(3).asString();
            r.Owned = q->field(4).asInteger() != 0;
            r.AclNull = q->field(5).asInteger() != 0;
            r.Held = Words(q->field(6).asString());
            r.Grantable = Words(q->field(7).asString());
            rows << r;
            q->next();
        }
    } catch (...) {
        q->close();
        throw;
    }
    q->close();
    return ObjectPrivilegeItems(rows, Conn->CurrentSchema());
}

QString ObjectRevokeStatement(const TObjectPrivilege &Item, const QString &Role, bool Cascade)
{
    return QStringLiteral("REVOKE ") + Item.Text + QStringLiteral(" FROM ") + QuoteIdentifier(Role)
           + (Cascade ? QStringLiteral(" CASCADE") : QString());
}

// ---- model and list ------------------------------------------------------------------------

void TObjectPrivilegeModel::SetItems(const QList<TObjectPrivilege> &Items)
{
    beginResetModel();
    FItems = Items;
    endResetModel();
}

int TObjectPrivilegeModel::rowCount(const QModelIndex &Parent) const
{
    return Parent.isValid() ? 0 : int(FItems.size());
}

QVariant TObjectPrivilegeModel::data(const QModelIndex &Index, int Role) const
{
    if (!Index.isValid() || Index.row() < 0 || Index.row() >= FItems.size() || Index.column() != 0)
        return {};
    const TObjectPrivilege &item = FItems.at(Index.row());
    switch (Role) {
    case Qt::DisplayRole:
        return item.Text;
    case Qt::ForegroundRole:
        return item.GrantOption ? QVariant(QColor(255, 0, 0)) : QVariant();
    case Qt::UserRole:
        return item.GrantOption;
    default:
        return {};
    }
}

TObjectPrivilegeList::TObjectPrivilegeList(QWidget *Parent) : QListView(Parent), FModel(new TObjectPrivilegeModel(this))
{
    setObjectName(QStringLiteral("lstObj"));
    setModel(FModel);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every line has the same height: long lists lay out at once.
    setUniformItemSizes(true);
    setItemDelegate(new TGrantOptionTextDelegate(this));
    popObj = new QMenu(this);
    popObj->setObjectName(QStringLiteral("popObj"));
    popRevoke = popObj->addAction(QStringLiteral("取消(&R)"));
    popRevoke->setObjectName(QStringLiteral("popRevoke"));
    connect(popRevoke, &QAction::triggered, this, &TObjectPrivilegeList::RevokeRequested);
}

QList<TObjectPrivilege> TObjectPrivilegeList::SelectedItems() const
{
    QList<int> rows;
    for (const QModelIndex &i : selectionModel()->selectedIndexes())
        rows << i.row();
    std::sort(rows.begin(), rows.end());
    QList<TObjectPrivilege> items;
    for (int r : rows)
        items << Items().at(r);
    return items;
}

void TObjectPrivilegeList::SelectRows(const QList<int> &Rows)
{
    QItemSelection selection;
    for (int r : Rows)
        selection.select(FModel->index(r), FModel->index(r));
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void TObjectPrivilegeList::keyPressEvent(QKeyEvent *Event)
{
    if (Event->key() == Qt::Key_Delete && Event->modifiers() == Qt::NoModifier) {
        emit RevokeRequested();
        Event->accept();
        return;
    }
    QListView::keyPressEvent(Event);
}

void TObjectPrivilegeList::contextMenuEvent(QContextMenuEvent *Event)
{
    popRevoke->setEnabled(true);
    popObj->exec(Event->globalPos());
    Event->accept();
}
