#pragma once
// The work space: the user's list of registered objects, kept in the settings store under
// "WORKSPACE" (one subkey per entry, named by its position) and shared by the main window and
// the connection windows.
#include <QList>
#include <QString>

struct TkdWorkSpace {
    int ObjectType = 0;
    QString Title;
    QString Schema;
    QString ObjectName;
    QString Connect;    // the connection identity it was registered from
    qint64 oid = 0;     // functions (52) only
    QString TableName;  // triggers (57), constraints (66) and rules (127) only
    bool operator==(const TkdWorkSpace &) const = default;
};

// The one store (re-read by LoadWorkSpace, written whole by SaveWorkSpace).
QList<TkdWorkSpace> &WorkSpaceStore();
void LoadWorkSpace();
// Deletes and rewrites "WORKSPACE" in one atomic write of the settings file, so an
// interruption never leaves the store half written.
void SaveWorkSpace();

// The title of a newly registered entry: name (args) (schema) for a function, name
// (schema.table) for a trigger, constraint or rule, name (schema) for any other type.
QString WorkSpaceTitle(int ObjectType, const QString &Name, const QString &Schema, const QString &Args,
                       const QString &TableName);
// The sub-item of an object-list row that holds a function's argument types, found by the
// list's column captions (column n shows sub-item n - 1): the column "引数"; -1 when the
// layout has none. The plain and the detail function lists hold it in different places.
int WorkSpaceArgsSubItem(const QStringList &ColumnCaptions);

// One object of an object list as the work space registers it.
struct TkdWorkSpaceItem {
    int ObjectType = 0;
    QString Name;
    QStringList SubItems; // 0 schema, 8 a function's OID, 11 the table of a trigger, constraint or rule
    int ArgsSubItem = -1; // WorkSpaceArgsSubItem of the item's list
};
// Appends to the store an entry for each item not stored yet for that connection (titles by
// WorkSpaceTitle); returns how many were appended. The caller saves and shows them.
int AppendWorkSpaceItems(const QString &Connect, const QList<TkdWorkSpaceItem> &Items);

// Whether an entry with the same identity (type, name, schema, connection, and for a function
// the OID, for a trigger, constraint or rule the table) is already stored.
bool WorkSpaceContains(const TkdWorkSpace &Entry);
// Index of the first stored entry with the same identity; -1 when none.
int WorkSpaceIndexOf(const TkdWorkSpace &Entry);
