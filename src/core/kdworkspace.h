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
// Whether an entry with the same identity (type, name, schema, connection, and for a function
// the OID, for a trigger, constraint or rule the table) is already stored.
bool WorkSpaceContains(const TkdWorkSpace &Entry);
// Index of the first stored entry with the same identity; -1 when none.
int WorkSpaceIndexOf(const TkdWorkSpace &Entry);
