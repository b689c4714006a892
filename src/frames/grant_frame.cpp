#include "frames/grant_frame.h"

#include "controls/kdchklst.h"
#include "controls/kdcomctrls.h"
#include "core/kdforms.h"
#include "core/kdsub_catalog.h"
#include "core/kdsub_object.h"
#include "core/kdsub_text.h"
#include "frames/frame_support.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

constexpr int SnapshotRole = Qt::UserRole + 1; // per cell: the cell as read from the server
constexpr int FromServerRole = Qt::UserRole + 2; // column 0: a cell was filled while loading

// The access list arrives as one entry per line.
const QString AclSeparator = QStringLiteral("\r\n");

QString GrantQuery(int objType)
{
    switch (objType) {
    case 45:
    case 47:
        // Partitioned tables hold an access list of their own and are listed with tables.
        return QStringLiteral(
            "SELECT ro.rolname, array_to_string(cl.relacl, E'\\r\\n'), array_length(cl.relacl, 1) "
            "FROM pg_class cl LEFT JOIN pg_namespace na ON cl.relnamespace = na.oid "
            "LEFT JOIN pg_roles ro ON cl.relowner = ro.oid "
            "WHERE cl.relkind IN ('r', 'v', 'p') AND na.nspname = :SCHEMA AND cl.relname = :TABLE");
    case 52:
        return QStringLiteral(
            "SELECT ro.rolname, array_to_string(pr.proacl, E'\\r\\n'), array_length(pr.proacl, 1), pr.prokind "
            "FROM pg_proc pr LEFT JOIN pg_namespace na ON pr.pronamespace = na.oid "
            "LEFT JOIN pg_roles ro ON pr.proowner = ro.oid WHERE pr.oid = :FUNCTION");
    case 55:
        return QStringLiteral(
            "SELECT ro.rolname, array_to_string(ty.typacl, E'\\r\\n'), array_length(ty.typacl, 1), ty.typtype "
            "FROM pg_type ty LEFT JOIN pg_namespace na ON ty.typnamespace = na.oid "
            "LEFT JOIN pg_class cl ON ty.typrelid = cl.oid LEFT JOIN pg_roles ro ON ty.typowner = ro.oid "
            "WHERE (cl.relkind = 'c' OR ty.typtype = 'e' OR ty.typtype = 'r' OR ( ty.typtype = 'b' AND "
            "ty.typcategory NOT IN('A','B','C','D','E','G','I','N','P','R','S','T','V','X')) ) "
            "AND na.nspname = :SCHEMA AND ty.typname = :TYPE");
    case 58:
        return QStringLiteral(
            "SELECT ro.rolname, array_to_string(cl.relacl, E'\\r\\n'), array_length(cl.relacl, 1) "
            "FROM pg_class cl LEFT JOIN pg_namespace na ON cl.relnamespace = na.oid "
            "LEFT JOIN pg_roles ro ON cl.relowner = ro.oid "
            "WHERE cl.relkind = 'S' AND na.nspname = :SCHEMA AND cl.relname = :SEQUENCE");
    default:
        return QString();
    }
}

} // namespace

QList<TGrantPrivilege> GrantPrivileges(int objType)
{
    auto p = [](char letter, const char *keyword, const char *text) {
        return TGrantPrivilege{QChar::fromLatin1(letter), QString::fromLatin1(keyword), QString::fromUtf8(text)};
    };
    switch (objType) {
    case 45:
    case 47:
        return {p('d', "DELETE", "DELETE(データ削除権)"),      p('a', "INSERT", "INSERT(データ追加権)"),
                p('x', "REFERENCES", "REFERENCES(制約作成権)"), p('r', "SELECT", "SELECT(データ問合せ権)"),
                p('t', "TRIGGER", "TRIGGER(トリガ作成権)"),     p('D', "TRUNCATE", "TRUNCATE(データ消去権)"),
                p('w', "UPDATE", "UPDATE(データ更新権)")};
    case 52:
        return {p('X', "EXECUTE", "EXECUTE(関数実行権)")};
    case 55:
        return {p('U', "USAGE", "USAGE(関数実行権)")};
    case 58:
        return {p('r', "SELECT", "SELECT(データ問合せ権)"), p('w', "UPDATE", "UPDATE(データ更新権)"),
                p('U', "USAGE", "USAGE(関数実行権)")};
    default:
        return {};
    }
}

void FillGrantCells(QList<TGrantRow> &rows, const QList<TGrantPrivilege> &privileges, int objType,
                    const QString &owner, bool aclNull, const QStringList &aclItems)
{
    auto setCell = [](TGrantRow &row, int i, const QString &value) {
        row.Cells[i] = value;
        row.Snapshot[i] = value;
        row.FromServer = true;
    };
    if (aclNull) {
        bool publicDone = false;
        for (TGrantRow &row : rows) {
            const bool isOwner = row.Name == owner;
            const bool isPublic = !publicDone && row.IsPublic() && (objType == 52 || objType == 55);
            if (isPublic)
                publicDone = true;
            if (isOwner || isPublic)
                for (int i = 0; i < privileges.size(); ++i)
                    setCell(row, i, QStringLiteral("*"));
        }
        return;
    }
    for (const QString &item : aclItems) {
        if (item.isEmpty())
            continue;
        QString grantee, letters;
        SplitAclItem(item, grantee, letters);
        for (TGrantRow &row : rows) {
            if (row.Name != grantee)
                continue;
            for (int i = 0; i < privileges.size(); ++i) {
                const int at = letters.indexOf(privileges[i].Letter); // case-sensitive: d and D differ
                if (at < 0)
                    continue;
                const bool grantOption = at + 1 < letters.size() && letters.at(at + 1) == u'*';
                setCell(row, i, grantOption ? QStringLiteral("G") : QStringLiteral("*"));
            }
        }
    }
}

QString GrantObjectText(int objType, const QString &schema, const QString &name, const QString &argList,
                        bool isProcedure)
{
    const QString qualified = QuoteIdentifier(schema) + QLatin1Char('.') + QuoteIdentifier(name);
    switch (objType) {
    case 45:
    case 47:
        return QStringLiteral("TABLE ") + qualified;
    case 52:
        return (isProcedure ? QStringLiteral("PROCEDURE ") : QStringLiteral("FUNCTION ")) + qualified +
               QLatin1Char('(') + argList + QLatin1Char(')');
    case 55:
        return QStringLiteral("TYPE ") + qualified;
    case 58:
        return QStringLiteral("SEQUENCE ") + qualified;
    default:
        return qualified;
    }
}

namespace {
void AddStatement(QStringList &s, const QString &statement)
{
    s << statement << QStringLiteral(";");
}
} // namespace

QStringList GrantChangeStatements(const QList<TGrantRow> &rows, const QList<TGrantPrivilege> &privileges,
                                  const QString &objectText)
{
    QStringList s;
    for (const TGrantRow &row : rows) {
        const QString user = QuoteIdentifier(row.Name);
        for (int i = 0; i < privileges.size(); ++i) {
            const QString was = row.Snapshot.value(i);
            const QString now = row.Cells.value(i);
            if (was == now)
                continue;
            const QString grant = QStringLiteral("GRANT ") + privileges[i].Keyword + QStringLiteral(" ON ") +
                                  objectText + QStringLiteral(" TO ") + user;
            const QString revoke = QStringLiteral("REVOKE ") + privileges[i].Keyword + QStringLiteral(" ON ") +
                                   objectText + QStringLiteral(" FROM ") + user;
            if (now.isEmpty()) {
                AddStatement(s, revoke);
            } else if (now == u"*") {
                if (was == u"G")
                    AddStatement(s, revoke);
                AddStatement(s, grant);
            } else if (now == u"G") {
                if (!row.IsPublic())
                    AddStatement(s, grant + QStringLiteral(" WITH GRANT OPTION"));
                else if (was.isEmpty())
                    AddStatement(s, grant); // PUBLIC takes no grant option
            }
        }
    }
    return s;
}

QStringList GrantReregistStatements(const QList<TGrantRow> &rows, const QList<TGrantPrivilege> &privileges,
                                    const QString &objectText)
{
    QStringList s;
    for (const TGrantRow &row : rows) {
        const QString user = QuoteIdentifier(row.Name);
        for (int i = 0; i < privileges.size(); ++i) {
            const QString cell = row.Cells.value(i);
            const QString on = privileges[i].Keyword + QStringLiteral(" ON ") + objectText;
            if (cell == u"G")
                AddStatement(s, QStringLiteral("GRANT ") + on + QStringLiteral(" TO ") + user +
                                    QStringLiteral(" WITH GRANT OPTION"));
            else if (cell == u"*")
                AddStatement(s, QStringLiteral("GRANT ") + on + QStringLiteral(" TO ") + user);
            else
                AddStatement(s, QStringLiteral("REVOKE ") + on + QStringLiteral(" FROM ") + user);
        }
    }
    return s;
}

// ---------------------------------------------------------------------------------------------

TfraGrant::TfraGrant(QWidget *AOwner) : QWidget(AOwner)
{
    setObjectName(QStringLiteral("fraGrant"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    pnlTop = new QWidget(this);
    pnlTop->setObjectName(QStringLiteral("pnlTop"));
    pnlTop->setFixedHeight(209);
    auto *top = new QHBoxLayout(pnlTop);
    top->setContentsMargins(4, 4, 4, 4);

    rdoShowMode = new QGroupBox(QStringLiteral(" 表示対象 "), pnlTop);
    rdoShowMode->setObjectName(QStringLiteral("rdoShowMode"));
    auto *modeLayout = new QVBoxLayout(rdoShowMode);
    rdoShowGranted = new QRadioButton(QStringLiteral("権限付与済みのユーザーのみ表示"), rdoShowMode);
    rdoShowAll = new QRadioButton(QStringLiteral("全てのユーザーを表示"), rdoShowMode);
    rdoShowGranted->setChecked(true);
    modeLayout->addWidget(rdoShowGranted);
    modeLayout->addWidget(rdoShowAll);
    modeLayout->addStretch();
    top->addWidget(rdoShowMode);

    auto *right = new QVBoxLayout;
    grpGrantOption = new QGroupBox(QStringLiteral(" 選択したユーザーの権限 / GRANT OPTION "), pnlTop);
    grpGrantOption->setObjectName(QStringLiteral("grpGrantOption"));
    auto *optLayout = new QVBoxLayout(grpGrantOption);
    chkGrant = new TkdCheckListBox(grpGrantOption);
    chkGrant->setObjectName(QStringLiteral("chkGrant"));
    chkGrant->SetFlat(false);
    chkGrant->SetAllowGrayed(true);
    chkGrant->setEnabled(false);
    chkGrant->setBackgroundRole(QPalette::Button);
    optLayout->addWidget(chkGrant);
    right->addWidget(grpGrantOption);
    lblComment = new QLabel(QStringLiteral("\u3000* : 権限付与済\u3000G : GRANT OPTION\u3000"), pnlTop);
    lblComment->setObjectName(QStringLiteral("lblComment"));
    lblComment->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    right->addWidget(lblComment);
    top->addLayout(right, 1);
    layout->addWidget(pnlTop);

    lstGrant = new TkdListView(this);
    lstGrant->setObjectName(QStringLiteral("lstGrant"));
    lstGrant->SetMultiSelect(true);
    lstGrant->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstGrant->setRootIsDecorated(false);
    layout->addWidget(lstGrant, 1);

    connect(rdoShowGranted, &QRadioButton::clicked, this, [this] { GuardedCall([this] { rdoShowModeClick(); }); });
    connect(rdoShowAll, &QRadioButton::clicked, this, [this] { GuardedCall([this] { rdoShowModeClick(); }); });
    connect(lstGrant, &QTreeWidget::itemSelectionChanged, this, [this] {
        lstGrantSelectionChanged();
        lstGrantClick();
    });
    connect(chkGrant, &TkdCheckListBox::OnClickCheckL, this, [this] { chkGrantClick(); });
    connect(chkGrant, &TkdCheckListBox::OnClickCheckR, this, [this] { chkGrantClick(); });
}

void TfraGrant::BuildColumns(bool forReading)
{
    QStringList heads{QStringLiteral("ユーザー名")};
    for (const TGrantPrivilege &p : FPrivileges)
        heads << (forReading ? QString(p.Letter) : p.Keyword);
    lstGrant->setColumnCount(int(heads.size()));
    lstGrant->setHeaderLabels(heads);
    lstGrant->setColumnWidth(0, 200);
    for (int i = 1; i < heads.size(); ++i) {
        lstGrant->setColumnWidth(i, 90);
        lstGrant->headerItem()->setTextAlignment(i, Qt::AlignCenter);
    }
}

void TfraGrant::AddRow(const TGrantRow &row, int image)
{
    auto *item = new QTreeWidgetItem(lstGrant);
    item->setText(0, row.Name);
    item->setIcon(0, FrameImage(image));
    item->setData(0, Qt::UserRole, image);
    item->setData(0, FromServerRole, row.FromServer);
    for (int i = 0; i < FPrivileges.size(); ++i) {
        item->setText(i + 1, row.Cells.value(i));
        item->setData(i + 1, SnapshotRole, row.Snapshot.value(i));
        item->setTextAlignment(i + 1, Qt::AlignCenter);
    }
}

TGrantRow TfraGrant::RowOf(const QTreeWidgetItem *item, int count)
{
    TGrantRow row;
    row.Name = item->text(0);
    row.FromServer = item->data(0, FromServerRole).toBool();
    for (int i = 0; i < count; ++i) {
        row.Cells << item->text(i + 1);
        row.Snapshot << item->data(i + 1, SnapshotRole).toString();
    }
    return row;
}

QList<TGrantRow> TfraGrant::Rows() const
{
    QList<TGrantRow> rows;
    for (int i = 0; i < lstGrant->topLevelItemCount(); ++i)
        rows << RowOf(lstGrant->topLevelItem(i), int(FPrivileges.size()));
    return rows;
}

void TfraGrant::ShowData(const QString &Schema, const QString &ObjName, qint64 pintOid, const QString &pstrTypLst,
                         const QString &pstrDataType)
{
    TkdForm *host = FrameHost(this);
    if (!host)
        return;
    L_intOID = pintOid;
    L_strTypLst = pstrTypLst;
    FSchema = Schema;
    FObjName = ObjName;
    FOwnerForm = host->OwnerForm();
    FObjType = host->ObjType();
    FIsProcedure = false;
    L_strDataType = FObjType == 55 ? pstrDataType : QString();
    FPrivileges = GrantPrivileges(FObjType);

    TkdWaitCursor wait;
    FLoading = true;
    struct Done { bool &flag; ~Done() { flag = false; } } done{FLoading};
    lstGrant->setUpdatesEnabled(false);
    struct Updates { QWidget *w; ~Updates() { w->setUpdatesEnabled(true); } } updates{lstGrant};

    lstGrant->clear();
    chkGrant->clear();
    chkGrant->setEnabled(false);
    BuildColumns(false);
    for (const TGrantPrivilege &p : FPrivileges)
        chkGrant->addItem(p.Text);
    if (!FOwnerForm)
        return;

    // Login roles, then "public", then the group roles.
    QStringList users, roles;
    FOwnerForm->GetUser(users, true);
    FOwnerForm->GetRole(roles);
    const QString me = FOwnerForm->ConnectionParam(QStringLiteral("User_Name"));
    const int n = int(FPrivileges.size());
    QList<TGrantRow> rows;
    QList<int> images;
    for (const QString &u : users) {
        rows << TGrantRow{u, QStringList(n, QString()), QStringList(n, QString())};
        images << (u == me && u != QLatin1String("public") ? 3 : 2);
    }
    for (const QString &r : roles) {
        rows << TGrantRow{r, QStringList(n, QString()), QStringList(n, QString())};
        images << 68;
    }

    const QString sql = GrantQuery(FObjType);
    if (!sql.isEmpty()) {
        const QStringList values = FObjType == 52 ? QStringList{QString::number(L_intOID)}
                                                  : QStringList{FSchema, FObjName};
        const QList<TFrameRow> found = ReadFrameRows(FOwnerForm, sql, values);
        if (!found.isEmpty()) {
            const TFrameRow &r = found.first();
            const bool aclNull = !r.value(2).isValid();
            FillGrantCells(rows, FPrivileges, FObjType, r.value(0).toString(), aclNull,
                           r.value(1).toString().split(AclSeparator));
            if (FObjType == 52)
                FIsProcedure = r.value(3).toString() == u"p";
        }
    }

    const bool onlyGranted = rdoShowGranted->isChecked();
    for (int i = 0; i < rows.size(); ++i)
        if (!onlyGranted || rows[i].FromServer)
            AddRow(rows[i], images[i]);
}

QString TfraGrant::ObjectText() const
{
    return GrantObjectText(FObjType, FSchema, FObjName, L_strTypLst, FIsProcedure);
}

void TfraGrant::GetSource(QStringList &S) const
{
    S << GrantChangeStatements(Rows(), FPrivileges, ObjectText());
}

void TfraGrant::GetSourceReregist(QStringList &S) const
{
    const QString object = QStringLiteral("TYPE ") + QuoteIdentifier(FSchema) + QLatin1Char('.') +
                           QuoteIdentifier(FObjName);
    S << GrantReregistStatements(Rows(), FPrivileges, object);
}

void TfraGrant::rdoShowModeClick()
{
    // The frame's own editor window reloads the page (it may first ask about unsaved changes).
    if (TkdForm *host = FrameHost(this)) {
        TkdMessageEvent e(WM_RELOAD);
        QApplication::sendEvent(host, &e);
    }
}

void TfraGrant::lstGrantSelectionChanged()
{
    if (L_strDataType == u"p")
        return; // a pseudo-type takes no privileges
    const QList<QTreeWidgetItem *> selected = lstGrant->selectedItems();
    chkGrant->setEnabled(!selected.isEmpty());
    if (selected.isEmpty())
        return;
    const int s = int(selected.size());
    for (int i = 0; i < FPrivileges.size(); ++i) {
        int l = 0, r = 0;
        for (const QTreeWidgetItem *item : selected) {
            const QString cell = item->text(i + 1);
            if (cell == u"*" || cell == u"G")
                ++l;
            if (cell == u"G")
                ++r;
        }
        auto state = [s](int count) {
            return count == 0 ? Qt::Unchecked : count >= s ? Qt::Checked : Qt::PartiallyChecked;
        };
        chkGrant->SetStateL(i, state(l));
        chkGrant->SetStateR(i, state(r));
    }
}

void TfraGrant::lstGrantClick()
{
    const QList<QTreeWidgetItem *> selected = lstGrant->selectedItems();
    if (selected.isEmpty())
        return;
    // PostgreSQL gives no grant option to PUBLIC.
    const bool onlyPublic = selected.size() == 1 && selected.first()->text(0) == u"public";
    for (int i = 0; i < chkGrant->count(); ++i)
        chkGrant->SetItemEnabledR(i, !onlyPublic);
}

void TfraGrant::chkGrantClick()
{
    if (TkdForm *host = FrameHost(this))
        host->SetModified(true);
    for (QTreeWidgetItem *item : lstGrant->selectedItems()) {
        const bool isPublic = item->text(0) == u"public";
        for (int i = 0; i < FPrivileges.size(); ++i) {
            QString cell = item->text(i + 1);
            switch (chkGrant->StateL(i)) {
            case Qt::Unchecked: cell.clear(); break;
            case Qt::Checked:
                if (cell.isEmpty())
                    cell = QStringLiteral("*");
                break;
            default: break;
            }
            // A grayed right box keeps each row's grant option as it is; only a box that the
            // user cleared or set changes it.
            if (chkGrant->StateR(i) == Qt::Checked)
                cell = isPublic ? QStringLiteral("*") : QStringLiteral("G");
            else if (chkGrant->StateR(i) == Qt::Unchecked && cell == u"G")
                cell = QStringLiteral("*");
            item->setText(i + 1, cell);
        }
    }
}
