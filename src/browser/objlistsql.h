#pragma once
// The object list of a connection window as plain functions: which type and schema a tree
// node stands for, the schema and name conditions, the catalog query of one fill, the
// column layout that goes with it, and the conversion of one result row into a list row
// (caption, image and sub-items). Nothing here needs a window; the list widget (objlist.h)
// runs the queries and shows the rows.
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// The order of the object tree: schemas with their types below, or types with their schemas.
enum class TTreeOrder { SchemaFirst, TypeFirst };

// What one fill lists: type filter T ("%" or a type name) and schema filter S.
struct TListFilter {
    bool Fill = false; // false: the list stays empty and nothing is queried
    QString T;
    QString S;
};

// The filter of the selected tree node. Level -1 is no node, 0 the root, 1 and 2 the levels
// below it; NodeText and ParentText are the texts of the node and of its parent. LoginSchema
// is the connection's "MetaDefSchema" as it stands.
TListFilter ChooseListFilter(int Level, TTreeOrder Order, const QString &NodeText,
                             const QString &ParentText, int Disp, const QString &LoginSchema,
                             bool ShowLevel0, bool ShowLevel1);

// The schema condition: "IN ('a','b')" for the stored schemas when S is "%", Disp is 2 and
// Stored is not empty, else "LIKE " + the literal of S ("pg_temp" and "pg_toast_temp" get a
// "%" appended so that every temporary schema matches).
QString SchemaCondition(const QString &S, int Disp, const QStringList &Stored);

// The name pattern of a find text: "%" around the trimmed text when FindAuto is on and the
// text holds no "%", else the trimmed text.
QString NamePattern(const QString &FindText, bool FindAuto);

// The nine type names of the list in the order of the all-types query.
const QStringList &ObjectListTypeNames();

// The SELECT of one type (its code) completed with the schema condition C and the name
// pattern N: the given SELECT list, the type's FROM and WHERE texts and the conditions.
QString CompleteObjectSelect(int Code, const QString &SelectList, const QString &C,
                             const QString &N, int DBVer);

// The lines of the list query: the detail or plain query of type T, or, for T "%", the
// nine all-types SELECTs joined by lines "UNION ALL".
QStringList ObjectListQuery(const QString &T, bool TreeData, const QString &C, const QString &N,
                            int DBVer);

// The query of the type-name map: oid, type name, schema name, in oid order.
QString TypeNameMapSQL();

// One column of a layout.
struct TObjListColumn {
    QString Caption;
    QString WidthValue; // the value under "GUI\OBJECT" the width is read from
    int DefaultWidth = 100;
    Qt::Alignment Align = Qt::AlignLeft;
};

// The layout of a fill and the prefix of the value names its widths are written to
// ("TABLE", ... for the detail layouts, "SOURCE" for the others).
QList<TObjListColumn> ObjectListColumns(const QString &T, bool TreeData);
QString ObjectListViewType(const QString &T, bool TreeData);

// The sequence values of a detail sequence list, in one statement per fill: schema, name and
// the six values (last value, minimum, maximum, increment, "YES"/"NO", cache) of every
// sequence under the schema condition C that the user may read. Servers from 10 on keep the
// values in pg_sequence; older ones only in the sequence relation itself, where the values
// come from SequenceRowSQL, one statement per sequence.
bool SequenceValuesInCatalog(int DBVer);
QString SequenceValuesSQL(const QString &C);
QString SequenceRowSQL(const QString &Schema, const QString &Name);

// The timing ("BEFORE", "AFTER", "INSTEAD" or empty) and the events ("INSERT, UPDATE", ...)
// of a trigger, read from its definition text as the server writes it. Only the clause
// between the trigger's name and "ON" counts, so names of the trigger, its table, its
// columns or its function never read as a timing or an event.
QString TriggerTiming(const QString &Definition);
QString TriggerEvents(const QString &Definition);

// A size in bytes as the list shows it: kilobytes, thousands separators, no decimals,
// right-justified in 12 characters. A text that is no number counts as 0.
QString SizeInKBText(const QString &Bytes);

// One entry of the type-name map.
struct TTypeName {
    QString Name;
    QString Schema;
};
using TTypeNameMap = QHash<quint32, TTypeName>;

// One list row.
struct TObjListRow {
    QString Caption;
    int ImageIndex = -1;
    QStringList SubItems;
};

// What the conversion of a row needs besides the row.
struct TObjListFillContext {
    QString T;
    bool TreeData = false;
    QString LoginSchema;
    bool UseLowerName = false;
    const TTypeNameMap *Types = nullptr;
    // The six sequence values of a sequence row (schema, name); six empty texts when they
    // cannot be read.
    std::function<QStringList(const QString &Schema, const QString &Name)> SequenceValues;
};

// Converts one result row: Column(k) is the text of the k-th column (k from 1, empty for
// NULL), ColumnCount the number of columns.
TObjListRow ConvertObjectListRow(const TObjListFillContext &Ctx, int ColumnCount,
                                 const std::function<QString(int)> &Column);
