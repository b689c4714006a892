#pragma once
// GRANT statements rebuilt from an object's access list: the catalog statements that read
// the lists, and the statements written for one row, as a DDL line list (each statement a
// line, then a line ";"). Plain functions, tested without a window.
#include <QString>
#include <QStringList>

// One object and its access list as the catalog statements return it.
struct TAclRow {
    QString Cls;      // "TABLE", "FUNCTION", "PROCEDURE", "TYPE" or "SEQUENCE"
    QString Schema;
    QString Name;
    QString Owner;
    QString AclText;  // entries joined by CR LF
    bool AclNull = true; // no list stored: the owner holds the server's defaults
    quint32 Oid = 0;  // functions and procedures
};

// The catalog statement of one object by its kind code (45/47 tables and views, partitioned
// tables included; 52 functions and procedures, parameter FUNCOID; 58 sequences; 55 types
// from server 9.2 on) with parameters SCHEMA and OBJNAME; empty for anything else.
QString GrantObjectSQL(int Code, int DBVer);
// The statement of every object the role (parameter UNAME) owns or holds a privilege on,
// outside the system schemas, ordered by schema and name. The role is found by its OID in
// the exploded lists, so a name holding quotes or a name that only occurs as grantor
// is handled right.
QString GrantRoleSQL(int DBVer);

// The statements of one row. Designation: "TABLE s.t", "FUNCTION s.f(integer)", ...
// RoleMode: only what Role holds, and the defaults only when Role owns the object.
QStringList GrantStatements(const TAclRow &Row, const QString &Designation, bool RoleMode, const QString &Role);
// The designation of a row: class word, schema prefix (by the script option Owner against
// CurrentSchema) and quoted name; Args is the argument list of a function or procedure.
QString GrantDesignation(const TAclRow &Row, const QString &CurrentSchema, const QString &Args);
