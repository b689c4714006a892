#pragma once
// The object tree of a connection window: the root stands for the database, below it the
// schemas and the object types in one of two orders. The tree only navigates; selecting a
// node makes the object list show that node's objects. BuildObjectTree decides the nodes
// without a widget; TObjectTreePane shows them with the tool bar above the tree and reports
// selection changes after a short delay.
#include "browser/objlistsql.h"

#include <QIcon>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

class QTimer;
class QToolButton;
class QToolBar;
class QTreeWidgetItem;
class TkdComboBox;
class TkdConnServices;
class TkdTreeView;
struct TkdOption;

// One node of the tree to build.
struct TObjTreeNode {
    QString Text;
    int Image = -1;
    QList<TObjTreeNode> Children;
};

// The whole tree: the root and which node to select (a path of child indexes below the
// root; empty selects the root) and whether that node is expanded and scrolled to the top.
struct TObjTreeLayout {
    TObjTreeNode Root;
    QList<int> SelectPath;
    bool SelectLoginSchema = false; // the selected node is the login schema's (expand it)
};

// What shapes the tree.
struct TObjTreeInput {
    QStringList Schemas;    // schema names from the catalog (any order)
    QString Database;       // the root's text
    QString LoginSchema;    // the connection's current schema, unquoted
    QStringList Stored;     // the stored schema filter of the database
    int Disp = 0;           // 0 every schema, 1 the login schema, 2 the stored schemas
    TTreeOrder Order = TTreeOrder::SchemaFirst;
    bool UserFirst = false; // the login schema first
    QList<int> Types;       // the codes of the type nodes that are switched on, in tree order
};

// The type codes of the tree in their order, and those switched on by the options.
const QList<int> &ObjectTreeTypeCodes();
QList<int> EnabledObjectTreeTypes(const TkdOption &Option);

// The type codes a schema may show (the temporary and TOAST schemas show only tables, or
// tables and indexes).
bool ObjectTreeTypeAllowed(const QString &Schema, int Code);

// The nodes of the tree for Input.
TObjTreeLayout BuildObjectTree(const TObjTreeInput &Input);

// The order of names in the tree and in the object list: without regard to letter case
// first, then exactly, so "cart_sessions" stands before "ContactHistory" whatever the
// locale. Negative, zero or positive as a < b, a == b, a > b.
int CompareObjectNames(const QString &a, const QString &b);

// The key of a database's tree settings: "\Software\Tarnwell\ZUMAQ\OBJECTTREE\" + Database.
QString ObjectTreeKey(const QString &Database);

// The stored schema filter of a database (value "Schema" under "OBJECTTREE\<database>"):
// one name per line; empty when the key or the value is missing.
QStringList ReadStoredSchemas(const QString &Database);
void WriteStoredSchemas(const QString &Database, const QStringList &Schemas);

// Which node is selected, as the object list needs it.
struct TTreeSelection {
    int Level = -1;        // -1 none, 0 the root, 1 and 2 below it
    QString Text;
    QString ParentText;
    TTreeOrder Order = TTreeOrder::SchemaFirst;
    int Image = -1;        // the node's image index: its object-type code
};

// The left pane of the connection window: the tool bar pnlTool (order buttons, level
// buttons, schema display box) above the tree lstTree.
class TObjectTreePane : public QWidget {
    Q_OBJECT
public:
    explicit TObjectTreePane(TkdConnServices *Conn, QWidget *AParent = nullptr);

    // The schema names for the tree (every schema, pg_catalog, pg_toast and the folded
    // temporary schema names). The connection window sets it to its GetSchemaInfo.
    std::function<void(QStringList &)> GetSchemaInfo;
    // The schema filter dialog; true when the user confirmed it.
    std::function<bool()> ShowSchemaFilter;
    // Sets the images of the nodes and buttons: the image of an image index (object-type
    // code, 1 the database, the button images of the tool bar).
    void SetImages(std::function<QIcon(int)> ImageOf);

    // Rebuilds the whole tree. Throws when the schema names cannot be read; the tree then
    // keeps its former nodes.
    void ShowTree();
    TTreeSelection Selection() const;
    TTreeOrder Order() const;

    int Disp() const { return FDisp; }
    // Sets the schema display filter and the box that shows it (does not rebuild).
    void SetDisp(int Value);

    TkdTreeView *lstTree = nullptr;
    QToolBar *pnlTool = nullptr;
    QToolButton *btnTree1 = nullptr;
    QToolButton *btnTree2 = nullptr;
    QToolButton *btnLevel0 = nullptr;
    QToolButton *btnLevel1 = nullptr;
    TkdComboBox *cmbTree = nullptr;

Q_SIGNALS:
    // The selected node changed and stayed for the change delay (50 ms).
    void TreeChange();
    // The user chose another schema display filter.
    void DispChanged(int Disp);
    // A slot of the pane failed (the schema query of a rebuild): the window shows it.
    void Failed(const QString &Message);

private:
    void btnTreeClick();
    void cmbTreeChange(int Index);
    void Rebuild();
    QIcon Image(int Index) const;
    std::function<QIcon(int)> FImageOf;

    TkdConnServices *FConn;
    QTimer *FChangeTimer;
    int FDisp = 0;
    bool FBuilding = false;
};
