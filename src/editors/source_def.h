#pragma once
// Functions, procedures and types as the source editor shows them: the catalog reads, the
// CREATE text of each kind, the templates of a new object, the DROP statements, and the
// statement cut of a source text. Plain values and functions, used by the window and by
// the script entry of the editor table alike.
#include "core/kdforms.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class TkdConnForm;

// The kind of object a source window edits.
enum class TSourceKind { Function, Procedure, Type };

// The kind name shown in captions and menus: "FUNCTION", "PROCEDURE", "TYPE".
QString SourceKindName(TSourceKind Kind);
// The object-type code of the kind (52, 51, 55): the type name of saved sources and scripts.
int SourceKindCode(TSourceKind Kind);

// A function or procedure as read from pg_proc.
struct TRoutineDef {
    quint32 Oid = 0;
    QString Schema, Name;
    QChar ProKind;          // 'f' function, 'p' procedure, 'w' window function, 'a' aggregate
    QString ArgList;        // identity argument types (FormatFunctionArgs, modes i, b, v)
    QStringList Definition; // pg_get_functiondef split into lines (empty for an aggregate)
    QString QuotedSchema;   // schema and name as the server quotes them in the definition
    QString QuotedName;
    bool IsProcedure() const { return ProKind == u'p'; }
};

// Reads the routine with Oid (when not 0) or, with Oid 0, the first routine of that schema
// and name in identity-argument order (procedures only when Procedure is true, else every
// routine but procedures). With an Oid, the schema and name must match as well when they
// are given, so a stale list entry never opens another object. False when there is none;
// server errors are thrown.
bool LoadRoutineDef(TkdConnForm *Conn, quint32 Oid, const QString &Schema, const QString &Name,
                    bool Procedure, TRoutineDef &Def);

// The OIDs of the routines of one schema and name.
QList<quint32> RoutineOids(TkdConnForm *Conn, const QString &Schema, const QString &Name);

// The source lines of a routine followed by a line ";". Script (text-only mode): the first
// line's qualification "schema." of the routine's own name becomes SchemaPrefix (the script
// option's rule); the body and every other line stay as the server wrote them.
QStringList RoutineSourceLines(const TRoutineDef &Def, bool Script, const QString &SchemaPrefix);

// A type as read from pg_type (composite, enum, range, base or shell).
struct TTypeDef {
    quint32 Oid = 0;
    QChar TypType;          // c, e, r, b, p
    QString Comment;        // the type's comment; empty when none
    bool HasComment = false;
    QList<QPair<QString, QString>> AttributeComments; // composite: attribute, comment
    QString Owner;
    bool HasAcl = false;    // false: the default privileges (owner and PUBLIC)
    struct TGrant {
        QString Grantee;    // empty for PUBLIC
        bool Grantable = false;
    };
    QList<TGrant> UsageGrants;
};

// Reads the kind of a type of the source editor (domains and built-in base types are not
// among them). False when there is none; server errors are thrown.
bool LoadTypeDef(TkdConnForm *Conn, const QString &Schema, const QString &Name, TTypeDef &Def);

// How names of other objects are qualified in a type's text: Mode smText follows the script
// option Owner, compared with LoginSchema; objects of pg_catalog are never qualified.
struct TTypeTextContext {
    TSourceMode Mode = smShow;
    QString LoginSchema;
};

// The CREATE TYPE text of a type already read with LoadTypeDef, followed by ")" (every kind
// but a shell type) and ";". Errors of the detail reads of a composite type are thrown;
// those of the other kinds leave the lines read so far.
QStringList TypeSourceLines(TkdConnForm *Conn, const QString &Schema, const QString &Name, const TTypeDef &Def,
                            const TTypeTextContext &Context);

// One attribute line of a composite type: four blanks, the quoted name padded to 30
// characters (at least one blank), the type.
QString CompositeAttributeLine(const QString &QuotedName, const QString &TypeText, bool Last);

// The templates of a new function (22 lines) and a new type (40 lines).
QStringList FunctionTemplate(const QString &Schema, const QString &Name);
QStringList TypeTemplate(const QString &Schema, const QString &Name);

// The statements that give a re-created type the owner and the access list the old one had
// (no access-list statements when it had the defaults), each followed by a line ";".
QStringList TypeOwnerAndAclLines(const TTypeDef &Def, const QString &Schema, const QString &Name);

// DROP statements of Delete (no ";").
QString RoutineDropStatement(bool Procedure, const QString &Schema, const QString &Name, const QString &ArgList,
                             bool Cascade);
QString TypeDropStatement(const QString &Schema, const QString &Name, bool Cascade);

// Cuts source lines into statements at the lines that are ";" alone (blanks around it
// allowed) outside literals, quoted names, dollar-quoted bodies and block comments; a ";"
// line inside one of them belongs to the statement. Statements that hold nothing but
// blanks are left out.
QStringList SplitSourceStatements(const QStringList &Lines);

// The lines of an editor text (LF or CR LF line ends).
QStringList SourceTextLines(const QString &Text);
