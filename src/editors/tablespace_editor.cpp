#include "editors/tablespace_editor.h"

#include "controls/kdcomctrls.h"
#include "controls/kdgrid.h"
#include "controls/kdmemo.h"
#include "controls/kdstdctl.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_text.h"
#include "editors/list_loop.h"
#include "editors/privilege_list.h"
#include "editors/tool_window.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"

#include <QAction>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSysInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const char *const kUsersSql = "SELECT usename FROM pg_user ORDER BY 1";
const char *const kRolesSql = "SELECT rolname FROM pg_roles WHERE rolcanlogin = False ORDER BY 1";
const char *const kExistsSql = "SELECT count(*) FROM pg_tablespace WHERE spcname = :spcname";

// Enter opens and Delete drops the selected stored objects.
class TKeyFilter : public QObject
{
public:
    TKeyFilter(QObject *parent, std::function<void()> open, std::function<void()> drop)
        : QObject(parent), FOpen(std::move(open)), FDrop(std::move(drop))
    {
    }
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::KeyPress) {
            auto *k = static_cast<QKeyEvent *>(e);
            auto *list = qobject_cast<TkdListView *>(o);
            if (list && list->IsEditing())
                return false;
            if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
                FOpen();
                return true;
            }
            if (k->key() == Qt::Key_Delete) {
                FDrop();
                return true;
            }
        }
        return false;
    }

private:
    std::function<void()> FOpen, FDrop;
};

QStringList ColumnOf(TkdConnForm *conn, const char *sql)
{
    QStringList list;
    db::Query *q = conn->OpenSQL(QString::fromLatin1(sql), {});
    while (!q->eof()) {
        list << q->field(0).asString();
        q->next();
    }
    q->close();
    return list;
}

bool TablespaceExists(TkdConnForm *conn, const QString &name)
{
    db::Query *q = conn->OpenSQL(QString::fromLatin1(kExistsSql), {name});
    const bool found = !q->eof() && q->field(0).asInteger() > 0;
    q->close();
    return found;
}

// Rows of the stored objects asked for at a time.
constexpr int kContentsBlockRows = 2000;

// A number with "," between groups of three digits (as KiloBytesText writes it), into `buffer`.
QByteArrayView GroupedDigits(qint64 value, char (&buffer)[32])
{
    char *end = buffer + sizeof buffer;
    char *p = end;
    const bool negative = value < 0;
    quint64 v = negative ? 0 - quint64(value) : quint64(value);
    int n = 0;
    do {
        if (n > 0 && n % 3 == 0)
            *--p = ',';
        *--p = char('0' + v % 10);
        v /= 10;
        ++n;
    } while (v != 0);
    if (negative)
        *--p = '-';
    return QByteArrayView(p, end - p);
}

} // namespace

const TEditorPolicy &TfrmTBS::TBSPolicy()
{
    static const TEditorPolicy policy = [] {
        TEditorPolicy p;
        p.Kind = QStringLiteral("TABLESPACE");
        p.LayoutKey = QStringLiteral("TBS");
        p.CaptionMode = 6;
        p.ObjType = 69;
        p.HasSchema = false;
        p.HasGrant = false;
        p.HasCross = false;
        // CREATE and DROP TABLESPACE refuse to run inside a transaction block.
        p.Transaction = false;
        p.PreviewWithSchema = false;
        return p;
    }();
    return policy;
}

TfrmTBS::TfrmTBS(TkdConnForm *Owner, const TObjectArgs &Args, TSourceMode Mode)
    : TObjectEditor(Owner, TBSPolicy(), Mode)
{
    setObjectName(QStringLiteral("frmTBS"));
    resize(644, 437);
    SetTaskIcon(69);

    auto *define = new QVBoxLayout(tabDefine);
    auto *top = new QGridLayout;
    auto *lblOwner = new QLabel(QStringLiteral("所有者"), tabDefine);
    lblOwner->setObjectName(QStringLiteral("lblOwner"));
    auto *owner = new TDropDownComboBox(tabDefine);
    cmbOwner = owner;
    cmbOwner->setObjectName(QStringLiteral("cmbOwner"));
    cmbOwner->setEditable(false);
    cmbOwner->setMaxVisibleItems(20);
    // Role names are shown exactly as the catalog holds them.
    cmbOwner->SetCharCase(ecNormal);
    cmbOwner->setMinimumWidth(200);
    auto *lblDir = new QLabel(QStringLiteral("ディレクトリ"), tabDefine);
    lblDir->setObjectName(QStringLiteral("lblDir"));
    txtDir = new TkdStrEdit(tabDefine);
    txtDir->setObjectName(QStringLiteral("txtDir"));
    // A folder is taken exactly as typed.
    txtDir->SetCharCase(ecNormal);
    btnDir = new QToolButton(tabDefine);
    btnDir->setObjectName(QStringLiteral("btnDir"));
    btnDir->setText(QStringLiteral("…"));
    btnDir->setFixedSize(24, 24);
    btnDir->setFocusPolicy(Qt::NoFocus);
    btnDir->setToolTip(QStringLiteral("出力先を選択して下さい。"));
    top->addWidget(lblOwner, 0, 0);
    top->addWidget(cmbOwner, 0, 1);
    top->addWidget(lblDir, 1, 0);
    top->addWidget(txtDir, 1, 1, 1, 2);
    top->addWidget(btnDir, 1, 3);
    top->setColumnStretch(2, 1);
    define->addLayout(top);

    auto *lists = new QHBoxLayout;
    auto *rolePanel = new QWidget(tabDefine);
    auto *roleLayout = new QVBoxLayout(rolePanel);
    roleLayout->setContentsMargins(0, 0, 0, 0);
    roleLayout->addWidget(new QLabel(QStringLiteral("ロール / GRANT OPTION"), rolePanel));
    chkRole = new TPrivilegeList({QString()}, rolePanel);
    chkRole->setObjectName(QStringLiteral("chkRole"));
    roleLayout->addWidget(chkRole, 1);
    lists->addWidget(rolePanel, 1);
    grdTbsOption = new TkdStringGrid(tabDefine);
    grdTbsOption->setObjectName(QStringLiteral("grdTbsOption"));
    grdTbsOption->SetColCount(2);
    grdTbsOption->SetFixedRows(1);
    grdTbsOption->SetRowCount(1 + int(TablespaceGridOptions().size()));
    grdTbsOption->SetHeader({QStringLiteral("パラメータ名"), QStringLiteral("値")});
    grdTbsOption->setColumnWidth(0, 140);
    grdTbsOption->setColumnWidth(1, 112);
    grdTbsOption->verticalHeader()->hide();
    lists->addWidget(grdTbsOption, 1);
    define->addLayout(lists, 1);

    // Stored objects.
    tabContents = new QWidget;
    tabContents->setObjectName(QStringLiteral("tabContents"));
    auto *contents = new QVBoxLayout(tabContents);
    auto *sizes = new QHBoxLayout;
    auto sizeLabel = [this](const char *name) {
        auto *l = new QLabel(tabContents);
        l->setObjectName(QLatin1String(name));
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setMinimumWidth(110);
        return l;
    };
    lblAllUseSize = sizeLabel("lblAllUseSize");
    lblSelfUseSize = sizeLabel("lblSelfUseSize");
    sizes->addWidget(new QLabel(QStringLiteral("全データベースの使用量"), tabContents));
    sizes->addWidget(lblAllUseSize);
    sizes->addWidget(new QLabel(QStringLiteral("KB"), tabContents));
    sizes->addSpacing(24);
    sizes->addWidget(new QLabel(QStringLiteral("接続データベースの使用量"), tabContents));
    sizes->addWidget(lblSelfUseSize);
    sizes->addWidget(new QLabel(QStringLiteral("KB"), tabContents));
    sizes->addStretch(1);
    contents->addLayout(sizes);
    lstObject = new TkdListView(tabContents);
    lstObject->setObjectName(QStringLiteral("lstObject"));
    lstObject->SetMultiSelect(true);
    lstObject->setRootIsDecorated(false);
    lstObject->setUniformRowHeights(true);
    lstObject->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstObject->setHeaderLabels({QStringLiteral("オブジェクト名"), QStringLiteral("タイプ"), QStringLiteral("スキーマ"),
                                QStringLiteral("所有者"), QStringLiteral("サイズ(KB)")});
    const int widths[] = {200, 120, 100, 100, 120};
    for (int i = 0; i < 5; ++i)
        lstObject->setColumnWidth(i, widths[i]);
    lstObject->headerItem()->setTextAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
    contents->addWidget(lstObject, 1);
    pagObject->addTab(tabContents, QStringLiteral("格納オブジェクト"));

    actOpenObject = new QAction(QStringLiteral("オブジェクトを開く"), this);
    actOpenObject->setObjectName(QStringLiteral("actOpenObject"));
    actDelObject = new QAction(QStringLiteral("オブジェクトを削除"), this);
    actDelObject->setObjectName(QStringLiteral("actDelObject"));
    if (TkdMainForm *host = TkdMainForm::Instance()) {
        actOpenObject->setIcon(host->Image(17));
        actDelObject->setIcon(host->Image(41));
    }
    auto *mnuContents = new QMenu(this);
    mnuContents->setObjectName(QStringLiteral("mnuContents"));
    mnuContents->addAction(actOpenObject);
    mnuContents->addAction(actDelObject);
    lstObject->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lstObject, &QWidget::customContextMenuRequested, this,
            [this, mnuContents](const QPoint &p) { mnuContents->popup(lstObject->viewport()->mapToGlobal(p)); });
    connect(actOpenObject, &QAction::triggered, this, [this] { GuardedCall([this] { actOpenObjectExecute(); }); });
    connect(actDelObject, &QAction::triggered, this, [this] { GuardedCall([this] { actDelObjectExecute(); }); });
    connect(lstObject, &QTreeWidget::itemDoubleClicked, this,
            [this] { GuardedCall([this] { actOpenObjectExecute(); }); });
    connect(lstObject, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateActions(); });
    lstObject->installEventFilter(new TKeyFilter(
        this, [this] { GuardedCall([this] { actOpenObjectExecute(); }); },
        [this] { GuardedCall([this] { actDelObjectExecute(); }); }));

    // Delete refuses inside the user's open block before it asks.
    disconnect(actDelete, &QAction::triggered, this, nullptr);
    connect(actDelete, &QAction::triggered, this, [this] { GuardedCall([this] { actDeleteTablespace(); }); });

    if (Mode == smShow && OwnerForm())
        ShowRoleList();
    txtName->setText(Args.ObjectName);
    owner->OnDropDown = [this] { FillOwners(); };

    FinishSetup();
    connect(cmbOwner, &QComboBox::currentTextChanged, this, [this] { OnChange(); });
    connect(txtDir, &QLineEdit::textChanged, this, [this] { OnChange(); });
    connect(chkRole, &TkdCheckListBox::OnClickCheckL, this, [this] { OnChange(); });
    connect(chkRole, &TkdCheckListBox::OnClickCheckR, this, [this] { OnChange(); });
    connect(grdTbsOption, &TkdStringGrid::OnShowEditor, this,
            [](TkdStringGrid *, int col, int, TkdInplaceEditor *editor) {
                if (editor)
                    editor->SetMaxLength(col == 0 ? -1 : 0); // the option names stay as they are
            });
    connect(grdTbsOption, &TkdStringGrid::OnSetEditText, this, [this] { OnChange(); });
    connect(btnDir, &QToolButton::clicked, this, [this] { GuardedCall([this] { btnDirClick(); }); });
}

QWidget *TfrmTBS::Open(TkdConnForm *Owner, const TObjectArgs &Args)
{
    return OpenEditorWindow<TfrmTBS>(Owner, Args, TBSPolicy());
}

void TfrmTBS::Script(TkdConnForm *Owner, const TObjectArgs &Args, TScriptSink &Sink)
{
    TTablespaceDef def;
    if (Args.ObjectName.isEmpty() || !LoadTablespaceDef(Owner, Args.ObjectName, def))
        throw EAbort();
    Sink.WriteScript(TablespaceScriptLines(def));
}

bool TfrmTBS::ContentsPageShown() const
{
    return pagObject->currentWidget() == tabContents;
}

bool TfrmTBS::ServerIsLocal() const
{
    if (!OwnerForm())
        return false;
    const QString host = OwnerForm()->ConnectionParam(QStringLiteral("Server")).trimmed().toLower();
    return host.isEmpty() || host.startsWith(QLatin1Char('/')) || host == QLatin1String("localhost")
           || host.startsWith(QLatin1String("127.")) || host == QLatin1String("::1")
           || host == QSysInfo::machineHostName().toLower();
}

void TfrmTBS::ChangedIsNewEditor()
{
    pagObject->setTabVisible(pagObject->indexOf(tabContents), !IsNew());
    btnDir->setVisible(ServerIsLocal());
}

void TfrmTBS::UpdateEditorActions()
{
    if (!actOpenObject)
        return;
    const bool selected = lstObject && !lstObject->selectedItems().isEmpty();
    actOpenObject->setEnabled(selected);
    actDelObject->setEnabled(selected);
    if (ContentsPageShown())
        actCompile->setEnabled(false);
}

void TfrmTBS::FillOwners()
{
    const QString current = cmbOwner->currentText();
    QStringList users = ColumnOf(OwnerForm(), kUsersSql);
    // The owner is read directly: a group role that owns the tablespace is offered too.
    if (!FDef.Owner.isEmpty() && !users.contains(FDef.Owner))
        users << FDef.Owner;
    const QSignalBlocker block(cmbOwner);
    cmbOwner->clear();
    cmbOwner->addItems(users);
    SelectComboItem(cmbOwner, current);
}

void TfrmTBS::ShowRoleList()
{
    FRoles = ColumnOf(OwnerForm(), kRolesSql);
    chkRole->SetRoles(FRoles);
}

void TfrmTBS::LoadDefinition()
{
    TTablespaceDef def;
    if (!LoadTablespaceDef(OwnerForm(), NameText(), def))
        ObjectMissing();
    FDef = def;
    if (SourceMode == smText)
        return;
    FillOwners();
    {
        const QSignalBlocker block(cmbOwner);
        SelectComboItem(cmbOwner, def.Owner);
    }
    txtDir->setText(def.Location);
    for (int i = 0; i < chkRole->count(); ++i) {
        chkRole->SetCheckedL(i, false);
        chkRole->SetCheckedR(i, false);
    }
    // Items of one grantee from several grantors add up.
    for (const TAclEntry &e : def.Acl) {
        const int line = chkRole->LineOf(e.Grantee, 0);
        if (line < 0 || !e.Has(u'C'))
            continue;
        chkRole->SetCheckedL(line, true);
        if (e.HasGrantOption(u'C'))
            chkRole->SetCheckedR(line, true);
    }
    chkRole->viewport()->update();
    const QStringList &names = TablespaceGridOptions();
    for (int i = 0; i < names.size(); ++i)
        grdTbsOption->SetCells(1, i + 1, def.Option(names.at(i)));
    if (ContentsPageShown())
        ShowContents();
}

void TfrmTBS::SaveControls()
{
    const QStringList &names = TablespaceGridOptions();
    for (int i = 0; i < names.size(); ++i)
        grdTbsOption->SetCells(0, i + 1, names.at(i));
    if (IsNew()) {
        FDef = TTablespaceDef();
        {
            const QSignalBlocker block(cmbOwner);
            FillOwners();
            SelectComboItem(cmbOwner, OwnerForm()->ConnectionParam(QStringLiteral("User_Name")));
        }
        // A new tablespace proposes no folder: the folder belongs to the server's machine.
        txtDir->clear();
        for (int i = 0; i < chkRole->count(); ++i) {
            chkRole->SetCheckedL(i, false);
            chkRole->SetCheckedR(i, false);
        }
        for (int i = 0; i < names.size(); ++i)
            grdTbsOption->SetCells(1, i + 1, QString());
    }
    L_wRoleR.clear();
    for (int i = 0; i < chkRole->count(); ++i)
        L_wRoleR << chkRole->CheckedR(i);
    txtDir->Save();
    cmbOwner->Save();
    grdTbsOption->Save();
    chkRole->Save();
}

QList<TTablespaceOptionRow> TfrmTBS::OptionRows() const
{
    QList<TTablespaceOptionRow> rows;
    const QStringList &names = TablespaceGridOptions();
    for (int i = 0; i < names.size(); ++i)
        rows << TTablespaceOptionRow{names.at(i), grdTbsOption->Cells(1, i + 1).trimmed()};
    return rows;
}

QList<TTablespaceOptionRow> TfrmTBS::AllOptionRows() const
{
    QList<TTablespaceOptionRow> rows = OptionRows();
    for (const QString &o : FDef.Options) {
        const QString name = o.section(u'=', 0, 0).trimmed();
        if (!TablespaceGridOptions().contains(name))
            rows << TTablespaceOptionRow{name, o.section(u'=', 1).trimmed()};
    }
    return rows;
}

QList<TAclEntry> TfrmTBS::CurrentAcl() const
{
    QList<TAclEntry> acl;
    // Without an access list the owner holds CREATE with the grant option implicitly.
    if (FDef.AclNull && !FDef.Owner.isEmpty())
        acl << TAclEntry{FDef.Owner, QStringLiteral("C*"), FDef.Owner};
    for (const TAclEntry &e : FDef.Acl)
        if (!FRoles.contains(e.Grantee))
            acl << e;
    for (int i = 0; i < chkRole->count(); ++i)
        if (chkRole->CheckedL(i))
            acl << TAclEntry{chkRole->RoleOfLine(i), chkRole->CheckedR(i) ? QStringLiteral("C*") : QStringLiteral("C"),
                             FDef.Owner};
    return acl;
}

bool TfrmTBS::CurrentAclNull() const
{
    return FDef.AclNull && !chkRole->IsChanged();
}

bool TfrmTBS::Moving() const
{
    return !IsNew() && SourceMode == smShow && DefinePageShown() && txtDir->IsChanged();
}

bool TfrmTBS::MustRecreate() const
{
    return TObjectEditor::MustRecreate() || txtDir->IsChanged();
}

void TfrmTBS::RefuseInsideBlock() const
{
    db::Connection *c = OwnerForm() ? OwnerForm()->dbsMain() : nullptr;
    if (c && c->inTransaction()) {
        ShowMessageBox(QStringLiteral("表領域の作成・削除はトランザクションブロック内では実行できません。\r\n"
                                      "コミットまたはロールバックしてから実行して下さい。"),
                       MB_ICONWARNING | MB_OK);
        throw EAbort();
    }
}

void TfrmTBS::ValidateInput()
{
    if (txtDir->IsNull())
        Refuse(QStringLiteral("ディレクトリを入力して下さい。"), txtDir);
    const QList<TTablespaceOptionRow> rows = OptionRows();
    for (int i = 0; i < rows.size(); ++i)
        if (!IsTablespaceOptionValue(rows.at(i).second)) {
            grdTbsOption->SetCurrentCell(1, i + 1);
            Refuse(QStringLiteral("値には数値を入力して下さい。"), grdTbsOption);
        }
    if (MustRecreate())
        RefuseInsideBlock();
}

void TfrmTBS::GetSourceGrant(QStringList &Lines, bool CreateMode) const
{
    if (!CreateMode && !chkRole->IsChanged())
        return;
    for (int i = 0; i < chkRole->count(); ++i) {
        if (!CreateMode && !chkRole->IsChangedLines(i))
            continue;
        Lines << TablespaceGrantLines(NameText(), chkRole->RoleOfLine(i), chkRole->CheckedL(i), chkRole->CheckedR(i),
                                      L_wRoleR.value(i), CreateMode);
    }
}

void TfrmTBS::GetSourceCreate(QStringList &Lines)
{
    if (SourceMode == smText) {
        Lines << TablespaceScriptLines(FDef);
        return;
    }
    const QString name = TrimBlanks(NameText());
    const QString owner = cmbOwner->currentText();
    const QString dir = txtDir->text().trimmed();
    if (IsNew()) {
        Lines << TablespaceCreateLines(name, owner, dir);
        Lines << TablespaceSetLines(name, OptionRows());
        GetSourceGrant(Lines, true);
        return;
    }
    if (Moving()) {
        FTempName = TablespaceTempName();
        Lines << TablespaceMoveLines(name, FTempName, owner, dir, TablespaceSetLines(FTempName, AllOptionRows()),
                                     TablespaceAclLines(FTempName, owner, CurrentAclNull(), CurrentAcl()));
        return;
    }
    // The source page: the whole tablespace, every option and the whole access list.
    Lines << TablespaceCreateLines(name, owner, dir);
    Lines << TablespaceSetLines(name, AllOptionRows());
    Lines << TablespaceAclLines(name, owner, CurrentAclNull(), CurrentAcl());
}

void TfrmTBS::GetSourceAlter(QStringList &Lines)
{
    const QString name = NameText();
    if (cmbOwner->IsChanged())
        Lines << TablespaceOwnerLines(name, cmbOwner->currentText());
    if (grdTbsOption->IsChanged())
        Lines << TablespaceOptionLines(name, OptionRows());
    GetSourceGrant(Lines, false);
}

void TfrmTBS::GetSourceDrop(QStringList &Lines)
{
    // A location change drops the old tablespace only once the new one stands.
    if (Moving())
        return;
    Lines << TablespaceDropLines(NameText());
}

QString TfrmTBS::DropStatement(bool Cascade) const
{
    Q_UNUSED(Cascade);
    return TablespaceDropLines(NameText()).first();
}

void TfrmTBS::Compile()
{
    FTempName.clear();
    try {
        TObjectEditor::Compile();
    } catch (...) {
        RepairMove();
        throw;
    }
    RepairMove();
}

void TfrmTBS::RepairMove()
{
    if (FTempName.isEmpty() || !OwnerForm())
        return;
    const QString temp = FTempName;
    FTempName.clear();
    try {
        if (!TablespaceExists(OwnerForm(), temp))
            return;
        if (TablespaceExists(OwnerForm(), NameText())) {
            // The old tablespace still stands: the new one goes again, nothing changed.
            OwnerForm()->ExecuteSQL(TablespaceDropLines(temp).first());
        } else {
            OwnerForm()->ExecuteSQL(QStringLiteral("ALTER TABLESPACE ") + QuoteIdentifier(temp)
                                    + QStringLiteral(" RENAME TO ") + QuoteIdentifier(NameText()));
            ShowDefine();
        }
    } catch (const EAbort &) {
    } catch (const std::exception &e) {
        ShowError(QStringLiteral("一時的な表領域 %1 を片付けられませんでした。\r\n").arg(temp) + QString::fromUtf8(e.what()));
    }
}

void TfrmTBS::actDeleteTablespace()
{
    if (IsNew())
        return;
    RefuseInsideBlock();
    // A failed DROP raises to the guard, which shows the server's message with the error icon.
    actDeleteExecute();
}

void TfrmTBS::ShowContents()
{
    TkdWaitCursor wait;
    lblAllUseSize->clear();
    lblSelfUseSize->clear();
    TkdConnForm *conn = OwnerForm();
    TListFill fill(lstObject, conn->dbsMain());
    fill.Clear();
    qint64 sum = 0;
    bool stopped = false;
    try {
        // The rows are read behind a cursor in blocks of a bounded size, so no single wait
        // for the server is long, and kept as texts in one block (a tablespace may hold
        // 100,000 relations). The size column is written digit by digit, as KiloBytesText does.
        db::Query query(conn->dbsMain());
        query.setSql(TablespaceContentsSQL());
        query.paramByName(QStringLiteral("DB_NAME")).setAsString(conn->ConnectionParam(QStringLiteral("Database")));
        query.paramByName(QStringLiteral("TBL_SPACE")).setAsString(NameText());
        query.setFetchRows(kContentsBlockRows);
        query.setMaxFetchRows(kContentsBlockRows);
        query.open();
        auto texts = std::make_shared<TListTexts>(5);
        texts->SetAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
        TkdMainForm *host = TkdMainForm::Instance();
        const bool utf8 = conn->dbsMain()->clientEncoding() == QLatin1String("UTF8");
        auto cell = [&texts, utf8](const db::Field &f) {
            if (utf8)
                texts->AddCell(f.raw());
            else
                texts->AddCell(f.asString().toUtf8());
        };
        QHash<QByteArray, int> codes; // type name → image index, asked once per kind
        int row = 0;
        char digits[32];
        while (!query.eof()) {
            if (fill.Escape()) {
                stopped = true;
                break;
            }
            const QByteArrayView type = query.field(2).raw();
            auto known = codes.constFind(QByteArray::fromRawData(type.data(), type.size()));
            if (known == codes.constEnd()) {
                const int code = ObjectTypeOfName(query.field(2).asString());
                known = codes.insert(type.toByteArray(), code);
                if (host && code >= 0)
                    texts->SetIcon(code, host->Image(code));
            }
            const qint64 kb = query.field(5).asLargeInt() / 1024;
            texts->BeginRow(known.value());
            cell(query.field(1));
            cell(query.field(2));
            cell(query.field(3));
            cell(query.field(4));
            texts->AddCell(GroupedDigits(kb, digits));
            sum += kb;
            fill.Add(new TListTextItem(texts, row++));
            query.next();
        }
        query.close();
        fill.Finish();
        lblSelfUseSize->setText(KiloBytesText(sum));
        // The total of every database comes after the list: the server walks the
        // tablespace's files for it, which takes long for a tablespace of many relations.
        if (!stopped) {
            fill.Pump(true);
            ShowTotalSize();
        }
    } catch (const std::exception &e) {
        // Esc while the server worked cancelled the call: the rows read so far stay.
        if (!CancelledByUser(e))
            throw;
    }
    fill.Finish();
    if (lblSelfUseSize->text().isEmpty())
        lblSelfUseSize->setText(KiloBytesText(sum));
    UpdateActions();
}

void TfrmTBS::ShowTotalSize()
{
    TkdConnForm *conn = OwnerForm();
    db::Query *su = conn->OpenSQL(TablespaceSuperUserSQL(), {conn->ConnectionParam(QStringLiteral("User_Name"))});
    const bool superUser = !su->eof() && su->field(0).asBoolean();
    su->close();
    if (!superUser) {
        lblAllUseSize->setText(QStringLiteral("(非表示)"));
        return;
    }
    db::Query *q = conn->OpenSQL(TablespaceSizeSQL(), {NameText()});
    lblAllUseSize->setText(q->eof() ? QString() : KiloBytesText(q->field(0).asLargeInt() / 1024));
    q->close();
}

void TfrmTBS::actOpenObjectExecute()
{
    const QList<QTreeWidgetItem *> selected = lstObject->selectedItems();
    if (selected.isEmpty())
        return;
    QList<QTreeWidgetItem *> ordered;
    for (int i = 0; i < lstObject->topLevelItemCount(); ++i)
        if (lstObject->topLevelItem(i)->isSelected())
            ordered << lstObject->topLevelItem(i);
    TkdLoopScope loop;
    int count = 0;
    for (QTreeWidgetItem *item : ordered) {
        if (loop.Step(++count, int(ordered.size())))
            break;
        const int code = item->data(0, Qt::UserRole).toInt();
        OwnerForm()->OpenObject(code, item->text(2), item->text(0), TOpenMode(TkdOption::Global().OpenMode), false,
                                0, 0, QString());
        item->setSelected(false);
    }
}

void TfrmTBS::actDelObjectExecute()
{
    const QList<QTreeWidgetItem *> selected = lstObject->selectedItems();
    if (selected.isEmpty())
        return;
    bool cascadeOffered = false;
    for (QTreeWidgetItem *i : selected)
        if (!StoredObjectDropSQL(i->text(1), i->text(2), i->text(0), false).isEmpty())
            cascadeOffered = true;
    bool cascade = false;
    if (!AskDropRows(cascadeOffered, cascade))
        return;
    struct TEnd {
        TfrmTBS *w;
        ~TEnd() { w->UpdateActions(); }
    } end{this};
    const TDropOutcome out = DropSelectedRows(
        lstObject, OwnerForm(), TkdOption::Global().DelErr,
        [cascade](QTreeWidgetItem *i) { return StoredObjectDropSQL(i->text(1), i->text(2), i->text(0), cascade); },
        [](QTreeWidgetItem *i) { return i->text(2) + QLatin1Char('.') + i->text(0); });
    ShowDropOutcome(out);
}

void TfrmTBS::btnDirClick()
{
    const QString dir = QFileDialog::getExistingDirectory(this, QStringLiteral("出力先を選択して下さい。"), txtDir->text());
    if (dir.isEmpty())
        return;
    txtDir->setText(dir);
}
