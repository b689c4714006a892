#pragma once
// The page "相関" of the table, view, sequence, trigger, rule and function/type editors: two
// trees built from the server's dependency catalog, the objects the object uses (left) and
// the objects that use it (right), filtered by object type and expanded down to the option
// CrossLevel. A double-click opens the object's editor through the connection window.
//
// The trees are built level by level: for all nodes of one level together, one statement
// reads their dependencies and one resolves them into typed, named objects (function
// argument types included), so the number of statements grows with the depth, not with the
// number of nodes.
#include <QHash>
#include <QSet>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QWidget>

class QGroupBox;
class QLabel;
class QMenu;
class QSplitter;
class QToolButton;
class TkdConnForm;
class TkdTreeNode;
class TkdTreeView;

// One dependency: the catalog that holds the object and its OID there, resolved into a type
// ("TABLE", "INDEX", "VIEW", "FUNCTION", "TYPE", "TRIGGER", "RULE", "SEQUENCE"; empty when
// unresolved), name, schema, table (trigger, rule) and argument type list (function).
struct TRefObj
{
    QString sCatalog;
    quint32 nOid = 0;
    QString sType;
    QString sName;
    QString sSchema;
    QString sTable;
    QString sFncArg;
    // The catalog of nOid after resolution (a column default stands for its table).
    QString sKeyCatalog;
    bool operator==(const TRefObj &) const = default;
};
Q_DECLARE_METATYPE(TRefObj)

// The display text of a node: code 52 schema.name(args); 57 and 127 schema.table.name;
// others schema.name. Names are not quoted.
QString CrossDisplayText(int code, const QString &schema, const QString &name, const QString &table,
                         const QString &args);

// The catalog reads of the trees, with resolutions cached for the life of the object (one
// ShowData).
class TCrossCatalog
{
public:
    explicit TCrossCatalog(TkdConnForm *conn) : FConn(conn) {}

    // The root object of code `code`: its catalog and OID (nOid 0 and an empty catalog when
    // it is not found). A function uses `oid` when it is above 0, else the overload whose
    // argument type list equals `args` (the only one when there is a single one).
    TRefObj FindRoot(int code, const QString &schema, const QString &name, const QString &table,
                     const QString &args, quint32 oid);

    // The resolved dependencies of every node of one level: what each uses (`uses`) or what
    // uses each. One list per node, in the order of `nodes`; entries ordered by catalog name,
    // then display text. Two statements for the whole level (none for an empty level).
    QList<QList<TRefObj>> Children(bool uses, const QList<TRefObj> &nodes);

private:
    TkdConnForm *FConn;
    QHash<QString, TRefObj> FResolved; // key: catalog + ":" + oid
    QSet<QString> FUnresolvable;
    void Resolve(const QList<TRefObj> &entries);
};

class TfraCross : public QWidget
{
    Q_OBJECT
public:
    explicit TfraCross(QWidget *AOwner = nullptr);

    // Rebuilds both trees for one object; returns an empty text. ObjTable: the table of a
    // trigger or rule; ObjPalams: the argument type list of a function; ObjOid: the OID of a
    // function when the host knows it (0: found by ObjPalams). Errors pass to the caller
    // with both trees empty.
    QString ShowData(const QString &Schema, const QString &ObjName, const QString &ObjTable = QString(),
                     const QString &ObjPalams = QString(), quint32 ObjOid = 0);

    // The object a node stands for (empty for nodes of another tree).
    static TRefObj NodeObject(const TkdTreeNode *node);
    // Opens the selected node of `tree` (not the root) through the connection window.
    void OpenNode(TkdTreeView *tree);

    void popOpenClick();
    void popExpandClick();
    void popCollapseClick();
    void popExpandAllClick();
    void popCollapseAllClick();

    QGroupBox *pnlTop;
    QToolButton *btnTree1Table, *btnTree1Index, *btnTree1View, *btnTree1Func, *btnTree1Type, *btnTree1Trigger,
        *btnTree1Seq, *btnTree1Rule;
    QWidget *pnlTree1, *pnlTree2;
    QLabel *lblTree1, *lblTree2;
    TkdTreeView *lstTree1, *lstTree2;
    QSplitter *splTree;
    QMenu *popTree;

protected:
    void resizeEvent(QResizeEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    TkdConnForm *FOwnerForm = nullptr;
    int FObjType = 0;
    TkdTreeView *FMenuTree = nullptr;

    bool TypeShown(const QString &type) const;
    void BuildTree(TCrossCatalog &catalog, TkdTreeView *tree, TkdTreeNode *root, const TRefObj &rootObj, bool uses);
    TkdTreeView *FocusedTree() const;
    void FrameResize();
};
