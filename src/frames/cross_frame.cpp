#include "frames/cross_frame.h"

#include "controls/kdcomctrls.h"
#include "core/kdforms.h"
#include "core/kdsub_object.h"
#include "core/kdsub_options.h"
#include "frames/frame_support.h"

#include <QContextMenuEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QSet>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace {

QString KeyOf(const QString &catalog, quint32 oid)
{
    return catalog + QLatin1Char(':') + QString::number(oid);
}

// Root lookups by object-type code.
const char *RootSql(int code)
{
    switch (code) {
    case 55:
        return "SELECT x.oid FROM pg_type x LEFT OUTER JOIN pg_namespace ns ON ns.oid = x.typnamespace "
               "WHERE ns.nspname = :schema AND x.typname = :objname";
    case 57:
        return "SELECT x.oid FROM pg_trigger x LEFT OUTER JOIN pg_class c ON c.oid = x.tgrelid "
               "LEFT OUTER JOIN pg_namespace ns ON ns.oid = c.relnamespace "
               "WHERE ns.nspname = :schema AND c.relname = :table AND x.tgname = :objname";
    case 127:
        return "SELECT re.oid FROM pg_rewrite re LEFT JOIN pg_class c ON re.ev_class = c.oid "
               "LEFT JOIN pg_namespace ns ON c.relnamespace = ns.oid "
               "WHERE ns.nspname = :schema AND c.relname = :table AND re.rulename = :objname";
    default:
        return "SELECT c.oid FROM pg_class c LEFT OUTER JOIN pg_namespace ns ON ns.oid = c.relnamespace "
               "WHERE ns.nspname = :nspname AND c.relname = :relname";
    }
}

// The argument type names of a function in argument order, joined with ",".
const char *FunctionArgsExpr =
    "COALESCE((SELECT string_agg(t.typname, ',' ORDER BY a.n) "
    "FROM unnest(COALESCE(x.proallargtypes, x.proargtypes::oid[])) WITH ORDINALITY AS a(typ, n) "
    "JOIN pg_type t ON t.oid = a.typ), '')";

// What the objects of a level use. A view is represented by its "_RETURN" rule; the
// dependencies of a table's column defaults count as the table's own.
const char *UsesSql =
    "WITH k AS (SELECT k.n, CASE WHEN rw.oid IS NULL THEN k.cls ELSE 'pg_rewrite'::regclass END AS cls, "
    "COALESCE(rw.oid, k.obj) AS obj "
    "FROM unnest(CAST(:CATS AS regclass[]), CAST(:OIDS AS oid[])) WITH ORDINALITY AS k(cls, obj, n) "
    "LEFT JOIN pg_rewrite rw ON k.cls = 'pg_class'::regclass AND rw.ev_class = k.obj AND rw.rulename = '_RETURN') "
    "SELECT k.n, c.relname, d.refobjid FROM k "
    "JOIN pg_depend d ON d.classid = k.cls AND d.objid = k.obj "
    "JOIN pg_class c ON c.oid = d.refclassid "
    "UNION "
    "SELECT k.n, c.relname, d.refobjid FROM k "
    "JOIN pg_attrdef a ON k.cls = 'pg_class'::regclass AND a.adrelid = k.obj "
    "JOIN pg_depend d ON d.classid = 'pg_attrdef'::regclass AND d.objid = a.oid "
    "JOIN pg_class c ON c.oid = d.refclassid "
    "ORDER BY 1, 2, 3";

// What uses the objects of a level. A view reached through its rule stands for the view.
const char *UsedBySql =
    "WITH k AS (SELECT k.n, CASE WHEN rw.oid IS NULL THEN k.cls ELSE 'pg_class'::regclass END AS cls, "
    "COALESCE(rw.ev_class, k.obj) AS obj "
    "FROM unnest(CAST(:CATS AS regclass[]), CAST(:OIDS AS oid[])) WITH ORDINALITY AS k(cls, obj, n) "
    "LEFT JOIN pg_rewrite rw ON k.cls = 'pg_rewrite'::regclass AND rw.oid = k.obj AND rw.rulename = '_RETURN') "
    "SELECT k.n, c.relname, d.objid FROM k "
    "JOIN pg_depend d ON d.refclassid = k.cls AND d.refobjid = k.obj "
    "JOIN pg_class c ON c.oid = d.classid "
    "UNION "
    "SELECT k.n, c.relname, d.objid FROM k "
    "JOIN pg_attrdef a ON k.cls = 'pg_class'::regclass AND a.adrelid = k.obj "
    "JOIN pg_depend d ON d.refclassid = 'pg_attrdef'::regclass AND d.refobjid = a.oid "
    "JOIN pg_class c ON c.oid = d.classid "
    "ORDER BY 1, 2, 3";

// One branch of the resolving statement per catalog; :P is replaced by the catalog's own
// parameter name. Columns: catalog, oid, nspname, objname, objtype, objsubtype, add_info,
// add_oid, argument types.
struct TResolveBranch
{
    const char *Catalog;
    const char *Sql;
};
const TResolveBranch ResolveBranches[] = {
    {"pg_class",
     "SELECT 'pg_class'::text, x.oid, nsp.nspname::text, x.relname::text, 'CLASS'::text, x.relkind::text, "
     "''::text, 0::oid, ''::text FROM pg_class x LEFT JOIN pg_namespace nsp ON x.relnamespace = nsp.oid "
     "WHERE x.oid = ANY(CAST(:P AS oid[])) AND x.relkind NOT IN ('t')"},
    {"pg_attrdef",
     "SELECT 'pg_attrdef'::text, x.oid, nsp.nspname::text, c.relname::text, 'CLASS'::text, c.relkind::text, "
     "''::text, c.oid, ''::text FROM pg_attrdef x LEFT JOIN pg_class c ON x.adrelid = c.oid "
     "LEFT JOIN pg_namespace nsp ON c.relnamespace = nsp.oid "
     "WHERE x.oid = ANY(CAST(:P AS oid[])) AND c.relkind NOT IN ('t')"},
    {"pg_proc",
     "SELECT 'pg_proc'::text, x.oid, nsp.nspname::text, x.proname::text, 'FUNCTION'::text, ''::text, ''::text, "
     "0::oid, %ARGS% FROM pg_proc x LEFT JOIN pg_namespace nsp ON x.pronamespace = nsp.oid "
     "WHERE x.oid = ANY(CAST(:P AS oid[]))"},
    {"pg_trigger",
     "SELECT 'pg_trigger'::text, x.oid, nsp.nspname::text, x.tgname::text, 'TRIGGER'::text, ''::text, "
     "c.relname::text, 0::oid, ''::text FROM pg_trigger x LEFT JOIN pg_class c ON x.tgrelid = c.oid "
     "LEFT JOIN pg_namespace nsp ON c.relnamespace = nsp.oid WHERE x.oid = ANY(CAST(:P AS oid[]))"},
    {"pg_type",
     "SELECT 'pg_type'::text, x.oid, nsp.nspname::text, x.typname::text, 'TYPE'::text, ''::text, ''::text, "
     "0::oid, ''::text FROM pg_type x LEFT JOIN pg_namespace nsp ON x.typnamespace = nsp.oid "
     "LEFT JOIN pg_class c ON x.typrelid = c.oid "
     "WHERE (c.relkind = 'c' OR x.typtype = 'e' OR x.typtype = 'r' OR x.typtype = 'p' OR (x.typtype = 'b' "
     "AND x.typcategory NOT IN ('A','B','C','D','E','G','I','N','P','R','S','T','V','X'))) "
     "AND x.oid = ANY(CAST(:P AS oid[]))"},
    {"pg_rewrite",
     "SELECT 'pg_rewrite'::text, x.oid, nsp.nspname::text, "
     "CASE x.rulename WHEN '_RETURN' THEN c.relname ELSE x.rulename END::text, "
     "CASE x.rulename WHEN '_RETURN' THEN 'VIEW' ELSE 'RULE' END::text, ''::text, c.relname::text, 0::oid, "
     "''::text FROM pg_rewrite x LEFT JOIN pg_class c ON x.ev_class = c.oid "
     "LEFT JOIN pg_namespace nsp ON c.relnamespace = nsp.oid WHERE x.oid = ANY(CAST(:P AS oid[]))"},
};

// The type of a relation kind; empty for kinds that are not shown.
QString TypeOfRelkind(const QString &kind)
{
    if (kind == u"r" || kind == u"t" || kind == u"f" || kind == u"p")
        return QStringLiteral("TABLE");
    if (kind == u"i" || kind == u"I")
        return QStringLiteral("INDEX");
    if (kind == u"S")
        return QStringLiteral("SEQUENCE");
    if (kind == u"v")
        return QStringLiteral("VIEW");
    if (kind == u"c")
        return QStringLiteral("TYPE");
    return QString();
}

QString RootCatalog(int code)
{
    switch (code) {
    case 52: return QStringLiteral("pg_proc");
    case 55: return QStringLiteral("pg_type");
    case 57: return QStringLiteral("pg_trigger");
    case 127: return QStringLiteral("pg_rewrite");
    default: return QStringLiteral("pg_class");
    }
}

} // namespace

QString CrossDisplayText(int code, const QString &schema, const QString &name, const QString &table,
                         const QString &args)
{
    switch (code) {
    case 52:
        return schema + QLatin1Char('.') + name + QLatin1Char('(') + args + QLatin1Char(')');
    case 57:
    case 127:
        return schema + QLatin1Char('.') + table + QLatin1Char('.') + name;
    default:
        return schema + QLatin1Char('.') + name;
    }
}

// ---------------------------------------------------------------------------------------------

TRefObj TCrossCatalog::FindRoot(int code, const QString &schema, const QString &name, const QString &table,
                                const QString &args, quint32 oid)
{
    TRefObj root;
    root.sType = NameOfObjectType(code);
    root.sSchema = schema;
    root.sName = name;
    root.sTable = table;
    root.sFncArg = args;
    if (code == 52) {
        if (oid == 0) {
            const QString sql = QStringLiteral("SELECT x.oid, ") + QLatin1String(FunctionArgsExpr) +
                                QStringLiteral(" FROM pg_proc x JOIN pg_namespace ns ON ns.oid = x.pronamespace "
                                               "WHERE ns.nspname = :SCHEMA AND x.proname = :NAME ORDER BY x.oid");
            const QList<TFrameRow> rows = ReadFrameRows(FConn, sql, {schema, name});
            if (rows.size() == 1)
                oid = rows.first().value(0).toUInt();
            else
                for (const TFrameRow &r : rows)
                    if (r.value(1).toString() == args) {
                        oid = r.value(0).toUInt();
                        break;
                    }
        }
    } else {
        // Parameters take their values in order of first appearance.
        const QStringList ordered = (code == 57 || code == 127) ? QStringList{schema, table, name}
                                                                 : QStringList{schema, name};
        const QList<TFrameRow> rows = ReadFrameRows(FConn, QString::fromLatin1(RootSql(code)), ordered);
        if (!rows.isEmpty())
            oid = rows.first().value(0).toUInt();
    }
    if (oid != 0) {
        root.sCatalog = RootCatalog(code);
        root.sKeyCatalog = root.sCatalog;
        root.nOid = oid;
    }
    return root;
}

void TCrossCatalog::Resolve(const QList<TRefObj> &entries)
{
    // The OIDs still unknown, per catalog that has a branch.
    QHash<QString, QList<quint32>> wanted;
    QSet<QString> seen;
    for (const TRefObj &e : entries) {
        const QString key = KeyOf(e.sCatalog, e.nOid);
        if (FResolved.contains(key) || FUnresolvable.contains(key) || seen.contains(key))
            continue;
        seen.insert(key);
        wanted[e.sCatalog] << e.nOid;
    }
    QStringList branches, values;
    for (const TResolveBranch &b : ResolveBranches) {
        const QString catalog = QString::fromLatin1(b.Catalog);
        if (!wanted.contains(catalog))
            continue;
        QString sql = QString::fromLatin1(b.Sql);
        sql.replace(QStringLiteral("%ARGS%"), QLatin1String(FunctionArgsExpr));
        sql.replace(QStringLiteral(":P "), QStringLiteral(":P%1 ").arg(branches.size()));
        branches << sql;
        values << OidArrayText(wanted.value(catalog));
    }
    for (const QString &key : seen)
        FUnresolvable.insert(key); // replaced below by every row found
    if (branches.isEmpty())
        return;
    const QList<TFrameRow> rows = ReadFrameRows(FConn, branches.join(QStringLiteral(" UNION ALL ")), values);
    for (const TFrameRow &r : rows) {
        TRefObj obj;
        obj.sCatalog = r.value(0).toString();
        obj.nOid = r.value(1).toUInt();
        obj.sKeyCatalog = obj.sCatalog;
        obj.sSchema = r.value(2).toString();
        obj.sName = r.value(3).toString();
        const QString objtype = r.value(4).toString();
        if (objtype == u"CLASS") {
            const quint32 addOid = r.value(7).toUInt();
            if (addOid > 0) {
                obj.nOid = addOid; // a column default stands for its table
                obj.sKeyCatalog = QStringLiteral("pg_class");
            }
            obj.sType = TypeOfRelkind(r.value(5).toString());
        } else {
            obj.sType = objtype;
        }
        if (obj.sType == u"TRIGGER" || obj.sType == u"RULE")
            obj.sTable = r.value(6).toString();
        if (obj.sType == u"FUNCTION")
            obj.sFncArg = r.value(8).toString();
        const QString key = KeyOf(obj.sCatalog, r.value(1).toUInt());
        FUnresolvable.remove(key);
        FResolved.insert(key, obj);
    }
}

QList<QList<TRefObj>> TCrossCatalog::Children(bool uses, const QList<TRefObj> &nodes)
{
    QList<QList<TRefObj>> result(nodes.size());
    if (nodes.isEmpty())
        return result;
    // One key per distinct object of the level; the rows are shared out to its nodes after.
    QHash<QString, int> keyIndex;
    QList<QString> keyCats;
    QList<quint32> keyOids;
    QList<int> nodeKey;
    for (const TRefObj &n : nodes) {
        const QString key = KeyOf(n.sKeyCatalog, n.nOid);
        auto it = keyIndex.find(key);
        if (it == keyIndex.end()) {
            it = keyIndex.insert(key, int(keyCats.size()));
            keyCats << n.sKeyCatalog;
            keyOids << n.nOid;
        }
        nodeKey << it.value();
    }
    const QString cats = QLatin1Char('{') + QStringList(keyCats).join(QLatin1Char(',')) + QLatin1Char('}');
    const QList<TFrameRow> rows =
        ReadFrameRows(FConn, QString::fromLatin1(uses ? UsesSql : UsedBySql), {cats, OidArrayText(keyOids)});

    QList<QList<TRefObj>> perKey(keyCats.size());
    QList<TRefObj> all;
    for (const TFrameRow &r : rows) {
        TRefObj e;
        e.sCatalog = r.value(1).toString();
        e.nOid = r.value(2).toUInt();
        perKey[r.value(0).toInt() - 1] << e;
        all << e;
    }
    Resolve(all);
    for (QList<TRefObj> &list : perKey) {
        for (TRefObj &e : list) {
            const auto it = FResolved.constFind(KeyOf(e.sCatalog, e.nOid));
            if (it != FResolved.constEnd())
                e = it.value();
        }
        std::stable_sort(list.begin(), list.end(), [](const TRefObj &a, const TRefObj &b) {
            if (a.sCatalog != b.sCatalog)
                return a.sCatalog < b.sCatalog;
            const int ca = ObjectTypeOfName(a.sType), cb = ObjectTypeOfName(b.sType);
            return CrossDisplayText(ca, a.sSchema, a.sName, a.sTable, a.sFncArg) <
                   CrossDisplayText(cb, b.sSchema, b.sName, b.sTable, b.sFncArg);
        });
    }
    for (int i = 0; i < nodes.size(); ++i)
        result[i] = perKey[nodeKey[i]];
    return result;
}

// ---------------------------------------------------------------------------------------------

namespace {
constexpr int RefObjRole = Qt::UserRole + 10;

QToolButton *FilterButton(QToolBar *bar, const QString &objectName, const QString &text, int image)
{
    auto *b = new QToolButton(bar);
    b->setObjectName(objectName);
    b->setText(text);
    b->setToolTip(text);
    b->setIcon(FrameImage(image));
    b->setCheckable(true);
    b->setChecked(true);
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->addWidget(b);
    return b;
}

TkdTreeView *CrossTree(QWidget *parent, const QString &name)
{
    auto *t = new TkdTreeView(parent);
    t->setObjectName(name);
    t->setHeaderHidden(true);
    t->setIndentation(19);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setContextMenuPolicy(Qt::DefaultContextMenu);
    return t;
}
} // namespace

TfraCross::TfraCross(QWidget *AOwner) : QWidget(AOwner)
{
    setObjectName(QStringLiteral("fraCross"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    pnlTop = new QGroupBox(QStringLiteral("表示対象オブジェクト"), this);
    pnlTop->setObjectName(QStringLiteral("pnlTop"));
    auto *topLayout = new QHBoxLayout(pnlTop);
    topLayout->setContentsMargins(4, 2, 4, 2);
    auto *bar = new QToolBar(pnlTop);
    bar->setObjectName(QStringLiteral("pnlTree1Obj"));
    btnTree1Table = FilterButton(bar, QStringLiteral("btnTree1Table"), QStringLiteral("テーブル"), 45);
    btnTree1Index = FilterButton(bar, QStringLiteral("btnTree1Index"), QStringLiteral("インデックス"), 46);
    btnTree1View = FilterButton(bar, QStringLiteral("btnTree1View"), QStringLiteral("ビュー"), 47);
    btnTree1Func = FilterButton(bar, QStringLiteral("btnTree1Func"), QStringLiteral("ファンクション"), 52);
    btnTree1Type = FilterButton(bar, QStringLiteral("btnTree1Type"), QStringLiteral("タイプ"), 55);
    btnTree1Trigger = FilterButton(bar, QStringLiteral("btnTree1Trigger"), QStringLiteral("トリガー"), 57);
    btnTree1Seq = FilterButton(bar, QStringLiteral("btnTree1Seq"), QStringLiteral("シーケンス"), 58);
    btnTree1Rule = FilterButton(bar, QStringLiteral("btnTree1Rule"), QStringLiteral("ルール"), 127);
    topLayout->addWidget(bar);
    layout->addWidget(pnlTop);

    splTree = new QSplitter(Qt::Horizontal, this);
    splTree->setObjectName(QStringLiteral("splTree"));
    splTree->setChildrenCollapsible(false);
    auto panel = [this](const QString &name, const QString &heading, QLabel *&label, TkdTreeView *&tree,
                        const QString &treeName) {
        auto *p = new QWidget(splTree);
        p->setObjectName(name);
        p->setMinimumWidth(30);
        auto *l = new QVBoxLayout(p);
        l->setContentsMargins(0, 0, 0, 0);
        l->setSpacing(1);
        label = new QLabel(heading, p);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Raised);
        l->addWidget(label);
        tree = CrossTree(p, treeName);
        tree->installEventFilter(this);
        l->addWidget(tree, 1);
        return p;
    };
    pnlTree1 = panel(QStringLiteral("pnlTree1"), QStringLiteral(" 【 参\u3000照 】"), lblTree1, lstTree1,
                     QStringLiteral("lstTree1"));
    pnlTree2 = panel(QStringLiteral("pnlTree2"), QStringLiteral(" 【 被参照 】"), lblTree2, lstTree2,
                     QStringLiteral("lstTree2"));
    layout->addWidget(splTree, 1);

    popTree = new QMenu(this);
    popTree->setObjectName(QStringLiteral("popTree"));
    QAction *popOpen = popTree->addAction(FrameImage(17), QStringLiteral("オブジェクト情報を表示"));
    popOpen->setObjectName(QStringLiteral("popOpen"));
    popTree->addSeparator();
    QAction *popExpand = popTree->addAction(QStringLiteral("開く"));
    popExpand->setObjectName(QStringLiteral("popExpand"));
    QAction *popCollapse = popTree->addAction(QStringLiteral("閉じる"));
    popCollapse->setObjectName(QStringLiteral("popCollapse"));
    QAction *popExpandAll = popTree->addAction(QStringLiteral("全て開く"));
    popExpandAll->setObjectName(QStringLiteral("popExpandAll"));
    QAction *popCollapseAll = popTree->addAction(QStringLiteral("全て閉じる"));
    popCollapseAll->setObjectName(QStringLiteral("popCollapseAll"));
    connect(popOpen, &QAction::triggered, this, [this] { GuardedCall([this] { popOpenClick(); }); });
    connect(popExpand, &QAction::triggered, this, [this] { popExpandClick(); });
    connect(popCollapse, &QAction::triggered, this, [this] { popCollapseClick(); });
    connect(popExpandAll, &QAction::triggered, this, [this] { popExpandAllClick(); });
    connect(popCollapseAll, &QAction::triggered, this, [this] { popCollapseAllClick(); });
    for (TkdTreeView *tree : {lstTree1, lstTree2})
        connect(tree, &QTreeWidget::itemDoubleClicked, this, [this, tree](QTreeWidgetItem *, int) {
            GuardedCall([this, tree] { OpenNode(tree); });
        });
}

void TfraCross::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    FrameResize();
}

void TfraCross::FrameResize()
{
    const int half = (splTree->width() - splTree->handleWidth()) / 2;
    splTree->setSizes({half, splTree->width() - splTree->handleWidth() - half});
}

bool TfraCross::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::ContextMenu && (watched == lstTree1 || watched == lstTree2)) {
        FMenuTree = static_cast<TkdTreeView *>(watched);
        popTree->popup(static_cast<QContextMenuEvent *>(e)->globalPos());
        return true;
    }
    if (e->type() == QEvent::FocusIn && (watched == lstTree1 || watched == lstTree2))
        FMenuTree = static_cast<TkdTreeView *>(watched);
    return QWidget::eventFilter(watched, e);
}

bool TfraCross::TypeShown(const QString &type) const
{
    const std::pair<const char *, QToolButton *> buttons[] = {
        {"TABLE", btnTree1Table}, {"INDEX", btnTree1Index},     {"VIEW", btnTree1View}, {"FUNCTION", btnTree1Func},
        {"TYPE", btnTree1Type},   {"TRIGGER", btnTree1Trigger}, {"SEQUENCE", btnTree1Seq}, {"RULE", btnTree1Rule}};
    for (const auto &[name, button] : buttons)
        if (type == QLatin1String(name))
            return button->isChecked();
    return true;
}

TRefObj TfraCross::NodeObject(const TkdTreeNode *node)
{
    return node ? node->data(0, RefObjRole).value<TRefObj>() : TRefObj();
}

void TfraCross::BuildTree(TCrossCatalog &catalog, TkdTreeView *tree, TkdTreeNode *root, const TRefObj &rootObj,
                          bool uses)
{
    Q_UNUSED(tree);
    if (rootObj.nOid == 0)
        return;
    const int levels = TkdOption::Global().CrossLevel;
    QList<TkdTreeNode *> levelNodes{root};
    QList<TRefObj> levelObjs{rootObj};
    for (int level = 0; !levelNodes.isEmpty(); ++level) {
        const QList<QList<TRefObj>> children = catalog.Children(uses, levelObjs);
        QList<TkdTreeNode *> nextNodes;
        QList<TRefObj> nextObjs;
        for (int i = 0; i < levelNodes.size(); ++i) {
            const TRefObj &own = levelObjs[i];
            for (const TRefObj &c : children[i]) {
                if (c.sType.isEmpty() || c.sName.isEmpty() || c.sSchema.isEmpty() || !TypeShown(c.sType))
                    continue;
                if (c.sName == own.sName && c.sSchema == own.sSchema)
                    continue; // never its own child
                const int code = ObjectTypeOfName(c.sType);
                auto *node = new TkdTreeNode(levelNodes[i], CrossDisplayText(code, c.sSchema, c.sName, c.sTable, c.sFncArg));
                node->SetData(code);
                node->setIcon(0, FrameImage(code));
                node->setData(0, RefObjRole, QVariant::fromValue(c));
                if (level + 1 < levels) {
                    nextNodes << node;
                    nextObjs << c;
                }
            }
        }
        levelNodes = nextNodes;
        levelObjs = nextObjs;
    }
}

QString TfraCross::ShowData(const QString &Schema, const QString &ObjName, const QString &ObjTable,
                            const QString &ObjPalams, quint32 ObjOid)
{
    TkdForm *host = FrameHost(this);
    if (!host)
        return QString();
    FOwnerForm = host->OwnerForm();
    FObjType = host->ObjType();

    TkdWaitCursor wait;
    lstTree1->setUpdatesEnabled(false);
    lstTree2->setUpdatesEnabled(false);
    struct Updates {
        TfraCross *f;
        ~Updates()
        {
            f->lstTree1->setUpdatesEnabled(true);
            f->lstTree2->setUpdatesEnabled(true);
        }
    } updates{this};
    lstTree1->clear();
    lstTree2->clear();
    if (!FOwnerForm)
        return QString();

    const QString text = CrossDisplayText(FObjType, Schema, ObjName, ObjTable, ObjPalams);
    try {
        TCrossCatalog catalog(FOwnerForm);
        const TRefObj rootObj = catalog.FindRoot(FObjType, Schema, ObjName, ObjTable, ObjPalams, ObjOid);
        for (auto [tree, uses] : {std::pair{lstTree1, true}, std::pair{lstTree2, false}}) {
            TkdTreeNode *root = tree->AddNode(nullptr, text);
            root->SetData(FObjType);
            root->setIcon(0, FrameImage(FObjType));
            BuildTree(catalog, tree, root, rootObj, uses);
            tree->expandAll();
        }
    } catch (...) {
        // Nothing of a half load stays on screen.
        lstTree1->clear();
        lstTree2->clear();
        throw;
    }
    return QString();
}

TkdTreeView *TfraCross::FocusedTree() const
{
    if (lstTree1->hasFocus())
        return lstTree1;
    if (lstTree2->hasFocus())
        return lstTree2;
    return FMenuTree;
}

void TfraCross::OpenNode(TkdTreeView *tree)
{
    if (!tree || !FOwnerForm)
        return;
    auto *node = dynamic_cast<TkdTreeNode *>(tree->currentItem());
    if (!node || !node->isSelected() || !node->parent())
        return; // nothing selected, or the root
    const TRefObj obj = NodeObject(node);
    const int code = node->Data().toInt();
    const quint32 oid = code == 52 ? obj.nOid : 0;
    const QString table = (code == 57 || code == 127) ? obj.sTable : QString();
    FOwnerForm->OpenObject(code, obj.sSchema, obj.sName, TkdOption::Global().OpenMode, true, 0, oid, table);
}

void TfraCross::popOpenClick()
{
    OpenNode(FocusedTree());
}

namespace {
QTreeWidgetItem *SelectedItem(TkdTreeView *tree)
{
    if (!tree)
        return nullptr;
    QTreeWidgetItem *item = tree->currentItem();
    return item && item->isSelected() ? item : nullptr;
}
void SetSubtreeExpanded(QTreeWidgetItem *item, bool expanded)
{
    item->setExpanded(expanded);
    for (int i = 0; i < item->childCount(); ++i)
        SetSubtreeExpanded(item->child(i), expanded);
}
} // namespace

void TfraCross::popExpandClick()
{
    if (QTreeWidgetItem *item = SelectedItem(FocusedTree()))
        item->setExpanded(true);
}

void TfraCross::popCollapseClick()
{
    if (QTreeWidgetItem *item = SelectedItem(FocusedTree()))
        item->setExpanded(false);
}

void TfraCross::popExpandAllClick()
{
    if (QTreeWidgetItem *item = SelectedItem(FocusedTree()))
        SetSubtreeExpanded(item, true);
}

void TfraCross::popCollapseAllClick()
{
    if (QTreeWidgetItem *item = SelectedItem(FocusedTree()))
        SetSubtreeExpanded(item, false);
}
