// Object tree of the connection window.
#include "browser/objtree.h"

#include "controls/kdcomctrls.h"
#include "controls/kdstdctl.h"
#include "core/kdconnservices.h"
#include "core/kdreg.h"
#include "core/kdsub_object.h"
#include "core/kdsub_options.h"
#include "core/kdsub_text.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

bool containsIgnoringCase(const QStringList &List, const QString &Name)
{
    return std::any_of(List.begin(), List.end(), [&](const QString &s) {
        return s.compare(Name, Qt::CaseInsensitive) == 0;
    });
}

// Disp 1 keeps the login schema only; Disp 2 with stored names keeps those.
bool schemaShown(const TObjTreeInput &In, const QString &Schema)
{
    if (In.Disp == 1 && Schema != In.LoginSchema)
        return false;
    if (In.Disp == 2 && !In.Stored.isEmpty() && !containsIgnoringCase(In.Stored, Schema))
        return false;
    return true;
}

int schemaImage(const TObjTreeInput &In, const QString &Schema)
{
    return Schema == In.LoginSchema ? ObjectTypeCode::OtherSchema : ObjectTypeCode::Schema;
}

} // namespace

const QList<int> &ObjectTreeTypeCodes()
{
    static const QList<int> codes{45, 46, 47, 52, 55, 57, 58, 66, 127};
    return codes;
}

QList<int> EnabledObjectTreeTypes(const TkdOption &Option)
{
    const bool on[] = {Option.ShowTable, Option.ShowIndex, Option.ShowView,
                       Option.ShowFunc,  Option.ShowType,  Option.ShowTrigger,
                       Option.ShowSeq,   Option.ShowConst, Option.ShowRule};
    QList<int> codes;
    for (qsizetype i = 0; i < ObjectTreeTypeCodes().size(); ++i)
        if (on[i])
            codes << ObjectTreeTypeCodes().at(i);
    return codes;
}

bool ObjectTreeTypeAllowed(const QString &Schema, int Code)
{
    if (Schema == QLatin1String("pg_temp"))
        return Code == ObjectTypeCode::Table;
    if (Schema == QLatin1String("pg_toast") || Schema == QLatin1String("pg_toast_temp"))
        return Code == ObjectTypeCode::Table || Code == ObjectTypeCode::Index;
    return true;
}

int CompareObjectNames(const QString &a, const QString &b)
{
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c : a.compare(b, Qt::CaseSensitive);
}

TObjTreeLayout BuildObjectTree(const TObjTreeInput &Input)
{
    QStringList schemas = Input.Schemas;
    std::stable_sort(schemas.begin(), schemas.end(), [](const QString &a, const QString &b) {
        return CompareObjectNames(a, b) < 0;
    });
    if (Input.UserFirst) {
        for (qsizetype i = 0; i < schemas.size(); ++i) {
            if (schemas.at(i).compare(Input.LoginSchema, Qt::CaseInsensitive) == 0) {
                schemas.removeAt(i);
                schemas.prepend(Input.LoginSchema);
                break;
            }
        }
    }

    TObjTreeLayout layout;
    layout.Root.Text = Input.Database;
    layout.Root.Image = 1;
    if (Input.Order == TTreeOrder::SchemaFirst) {
        bool selected = false;
        for (const QString &schema : schemas) {
            if (!schemaShown(Input, schema))
                continue;
            TObjTreeNode node{schema, schemaImage(Input, schema), {}};
            for (int code : Input.Types)
                if (ObjectTreeTypeAllowed(schema, code))
                    node.Children.append({NameOfObjectType(code), code, {}});
            layout.Root.Children.append(node);
            if (!selected && schema == Input.LoginSchema) {
                selected = true;
                layout.SelectPath = {int(layout.Root.Children.size() - 1)};
                layout.SelectLoginSchema = true;
            }
        }
    } else {
        for (int code : Input.Types) {
            TObjTreeNode typeNode{NameOfObjectType(code), code, {}};
            for (const QString &schema : schemas)
                if (schemaShown(Input, schema) && ObjectTreeTypeAllowed(schema, code))
                    typeNode.Children.append({schema, schemaImage(Input, schema), {}});
            layout.Root.Children.append(typeNode);
        }
    }
    return layout;
}

QString ObjectTreeKey(const QString &Database)
{
    return QString::fromUtf16(kMainKey) + QStringLiteral("\\OBJECTTREE\\") + Database;
}

QStringList ReadStoredSchemas(const QString &Database)
{
    TkdRegistry reg(HKEY_CURRENT_USER);
    const QString key = ObjectTreeKey(Database);
    if (!reg.KeyExists(key) || !reg.OpenKey(key, false))
        return {};
    const QString text = reg.GetString(QStringLiteral("Schema"), QString());
    reg.CloseKey();
    // The lines of a line list: CR LF, CR or LF end a line; a last line without an end counts.
    QString normal = text;
    normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    QStringList lines = normal.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void WriteStoredSchemas(const QString &Database, const QStringList &Schemas)
{
    TkdRegistry reg(HKEY_CURRENT_USER);
    if (!reg.OpenKey(ObjectTreeKey(Database), true))
        return;
    QString text;
    for (const QString &s : Schemas)
        text += s + QStringLiteral("\r\n");
    reg.WriteString(QStringLiteral("Schema"), text);
    reg.CloseKey();
}

// ---- the pane -------------------------------------------------------------------------------

TObjectTreePane::TObjectTreePane(TkdConnServices *Conn, QWidget *AParent)
    : QWidget(AParent), FConn(Conn), FChangeTimer(new QTimer(this))
{
    auto *box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);

    pnlTool = new QToolBar(this);
    pnlTool->setObjectName(QStringLiteral("pnlTool"));
    pnlTool->setIconSize(QSize(16, 16));
    auto makeButton = [this](const char *name, const QString &hint, int image) {
        auto *b = new QToolButton(pnlTool);
        b->setObjectName(QString::fromLatin1(name));
        b->setCheckable(true);
        b->setToolTip(hint);
        b->setProperty("ImageIndex", image);
        pnlTool->addWidget(b);
        return b;
    };
    btnTree1 = makeButton("btnTree1", QStringLiteral("スキーマ→オブジェクト順に表示"), 75);
    btnTree2 = makeButton("btnTree2", QStringLiteral("オブジェクト→スキーマ順に表示"), 76);
    btnTree1->setAutoExclusive(true);
    btnTree2->setAutoExclusive(true);
    btnTree1->setChecked(true);
    pnlTool->addSeparator();
    btnLevel0 = makeButton("btnLevel0", QStringLiteral("データベース選択時にオブジェクト一覧を表示する"), 94);
    btnLevel1 = makeButton("btnLevel1", QStringLiteral("スキーマ選択時に従属オブジェクトを表示する"), 95);
    btnLevel0->setChecked(true);
    btnLevel1->setChecked(true);
    // The display box sits beside the buttons, outside the tool bar, so that a narrow tree
    // never folds it into the tool bar's overflow menu.
    auto *toolRow = new QHBoxLayout;
    toolRow->setContentsMargins(0, 0, 2, 0);
    toolRow->setSpacing(2);
    pnlTool->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    pnlTool->setMinimumWidth(pnlTool->sizeHint().width());
    toolRow->addWidget(pnlTool);
    auto *pnlName = new QWidget(this);
    pnlName->setObjectName(QStringLiteral("pnlName"));
    auto *nameBox = new QHBoxLayout(pnlName);
    nameBox->setContentsMargins(4, 0, 0, 0);
    nameBox->addWidget(new QLabel(QStringLiteral("表示"), pnlName));
    cmbTree = new TkdComboBox(pnlName);
    cmbTree->setObjectName(QStringLiteral("cmbTree"));
    cmbTree->addItems({QStringLiteral("すべてのスキーマ"), QStringLiteral("ログインスキーマ"),
                       QStringLiteral("設定")});
    cmbTree->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    // The box never becomes narrower than its longest entry, so the choice stays readable.
    cmbTree->setMinimumWidth(cmbTree->sizeHint().width());
    nameBox->addWidget(cmbTree, 1);
    toolRow->addWidget(pnlName, 1);
    box->addLayout(toolRow);

    lstTree = new TkdTreeView(this);
    lstTree->setObjectName(QStringLiteral("lstTree"));
    lstTree->setHeaderHidden(true);
    lstTree->setColumnCount(1);
    lstTree->setIndentation(19);
    lstTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstTree->setSelectionMode(QAbstractItemView::SingleSelection);
    box->addWidget(lstTree, 1);

    FChangeTimer->setSingleShot(true);
    FChangeTimer->setInterval(50);
    connect(FChangeTimer, &QTimer::timeout, this, [this] {
        if (!FBuilding)
            Q_EMIT TreeChange();
    });
    connect(lstTree, &QTreeWidget::currentItemChanged, this, [this] {
        if (!FBuilding)
            FChangeTimer->start();
    });

    const TkdOption &opt = TkdOption::Global();
    if (opt.TreeSort == 1)
        btnTree2->setChecked(true);
    btnLevel0->setChecked(opt.ShowLevel0);
    btnLevel1->setChecked(opt.ShowLevel1);
    if (opt.TreeSort == 1)
        btnLevel1->setToolTip(QStringLiteral("オブジェクトタイプ選択時にオブジェクト一覧を表示する"));
    connect(btnTree1, &QToolButton::clicked, this, &TObjectTreePane::btnTreeClick);
    connect(btnTree2, &QToolButton::clicked, this, &TObjectTreePane::btnTreeClick);
    connect(btnLevel0, &QToolButton::toggled, this, [](bool on) { TkdOption::Global().ShowLevel0 = on; });
    connect(btnLevel1, &QToolButton::toggled, this, [](bool on) { TkdOption::Global().ShowLevel1 = on; });
    connect(cmbTree, &QComboBox::activated, this, &TObjectTreePane::cmbTreeChange);
}

QIcon TObjectTreePane::Image(int Index) const
{
    return FImageOf ? FImageOf(Index) : QIcon();
}

void TObjectTreePane::SetImages(std::function<QIcon(int)> ImageOf)
{
    FImageOf = std::move(ImageOf);
    for (QToolButton *b : {btnTree1, btnTree2, btnLevel0, btnLevel1})
        b->setIcon(Image(b->property("ImageIndex").toInt()));
}

void TObjectTreePane::SetDisp(int Value)
{
    FDisp = Value;
    const QSignalBlocker block(cmbTree);
    cmbTree->setCurrentIndex(Value);
}

TTreeOrder TObjectTreePane::Order() const
{
    return btnTree2->isChecked() ? TTreeOrder::TypeFirst : TTreeOrder::SchemaFirst;
}

void TObjectTreePane::btnTreeClick()
{
    const bool typeFirst = btnTree2->isChecked();
    TkdOption::Global().TreeSort = typeFirst ? 1 : 0;
    btnLevel1->setToolTip(typeFirst ? QStringLiteral("オブジェクトタイプ選択時にオブジェクト一覧を表示する")
                                    : QStringLiteral("スキーマ選択時にオブジェクト一覧を表示する"));
    Rebuild();
}

void TObjectTreePane::cmbTreeChange(int Index)
{
    if (Index == 2) {
        bool confirmed = false;
        try {
            confirmed = ShowSchemaFilter && ShowSchemaFilter();
        } catch (const std::exception &e) {
            Q_EMIT Failed(QString::fromUtf8(e.what()));
        }
        if (!confirmed) {
            SetDisp(FDisp);
            lstTree->setFocus();
            return;
        }
    }
    FDisp = Index;
    Q_EMIT DispChanged(Index);
    Rebuild();
    lstTree->setFocus();
}

void TObjectTreePane::Rebuild()
{
    try {
        ShowTree();
    } catch (const std::exception &e) {
        Q_EMIT Failed(QString::fromUtf8(e.what()));
    }
}

void TObjectTreePane::ShowTree()
{
    TObjTreeInput in;
    if (GetSchemaInfo)
        GetSchemaInfo(in.Schemas); // a failure leaves the tree as it was
    in.Database = FConn ? FConn->ConnectionParam(QStringLiteral("Database")) : QString();
    in.LoginSchema = UnquoteIdentifier(FConn ? FConn->CurrentSchema() : QString());
    in.Stored = ReadStoredSchemas(in.Database);
    in.Disp = FDisp;
    in.Order = Order();
    in.UserFirst = TkdOption::Global().UserFirst;
    in.Types = EnabledObjectTreeTypes(TkdOption::Global());
    const TObjTreeLayout layout = BuildObjectTree(in);

    FBuilding = true;
    FChangeTimer->stop();
    lstTree->setUpdatesEnabled(false);
    struct Resume {
        TObjectTreePane *p;
        ~Resume()
        {
            p->FBuilding = false;
            p->lstTree->setUpdatesEnabled(true);
        }
    } resume{this};
    lstTree->clear();
    std::function<void(TkdTreeNode *, const TObjTreeNode &)> add =
        [&](TkdTreeNode *parent, const TObjTreeNode &spec) {
            for (const TObjTreeNode &c : spec.Children) {
                TkdTreeNode *n = lstTree->AddNode(parent, c.Text);
                n->setIcon(0, Image(c.Image));
                n->SetData(c.Image);
                add(n, c);
            }
        };
    TkdTreeNode *root = lstTree->AddNode(nullptr, layout.Root.Text);
    root->setIcon(0, Image(layout.Root.Image));
    root->SetData(layout.Root.Image);
    add(root, layout.Root);
    root->setExpanded(true);
    QTreeWidgetItem *select = root;
    for (int i : layout.SelectPath)
        select = select->child(i);
    if (layout.SelectLoginSchema) {
        select->setExpanded(true);
        lstTree->setCurrentItem(select);
        lstTree->scrollToItem(select, QAbstractItemView::PositionAtTop);
    } else {
        lstTree->setCurrentItem(select);
    }
}

TTreeSelection TObjectTreePane::Selection() const
{
    TTreeSelection s;
    s.Order = Order();
    QTreeWidgetItem *item = lstTree->currentItem();
    if (!item)
        return s;
    int level = 0;
    for (QTreeWidgetItem *p = item->parent(); p; p = p->parent())
        ++level;
    s.Level = level;
    s.Text = item->text(0);
    if (auto *node = dynamic_cast<TkdTreeNode *>(item))
        s.Image = node->Data().isValid() ? node->Data().toInt() : -1;
    if (item->parent())
        s.ParentText = item->parent()->text(0);
    return s;
}
