#pragma once
// Object-type vocabulary and connection identity of the shared unit: the integer code of
// every kind of database object (also its image index and the kind stored in the
// workspace), the kind names that go with the codes, and TRecParam, one connection and
// optionally one object of it, with the identity texts built from it.
#include <QString>
#include <QStringList>

// Object-type codes that windows refer to by name.
namespace ObjectTypeCode {
inline constexpr int User = 2;
inline constexpr int User2 = 3;
inline constexpr int Schema = 4;        // the schema of the logon (also the schema window)
inline constexpr int Table = 45;
inline constexpr int Index = 46;
inline constexpr int View = 47;
inline constexpr int Procedure = 51;
inline constexpr int Function = 52;
inline constexpr int Type = 55;
inline constexpr int Trigger = 57;
inline constexpr int Sequence = 58;
inline constexpr int Constraint = 66;
inline constexpr int Role = 68;
inline constexpr int Tablespace = 69;
inline constexpr int TablePartition = 73;
inline constexpr int IndexPartition = 74;
inline constexpr int OtherSchema = 126; // any schema other than the logon's
inline constexpr int Rule = 127;
} // namespace ObjectTypeCode

// The code of a kind name ("TABLE", "function", ...; upper-cased, not trimmed); -1 when the
// name is not a kind.
int ObjectTypeOfName(const QString &Name);
// The name of a code; empty for a code without a name (4, 71, 126, ...).
QString NameOfObjectType(int Code);

// One connection (the first six fields) and optionally one object of it.
struct TRecParam {
    QString strServer;
    QString strDB;
    QString strSchema;
    QString strPort;
    QString strUserNm;
    QString strPassword; // never part of any text built here
    QString strObjNm;
    QString strParamNm;  // argument list of a function, without parentheses
    QString strTblNm;    // table of a constraint, rule or trigger
};

TRecParam MakeRecParam(const QString &Server, const QString &DB, const QString &Schema,
                       const QString &Port, const QString &UserNm, const QString &Password,
                       const QString &ObjNm = QString(), const QString &ParamNm = QString(),
                       const QString &TblNm = QString());

// The identity text of Rec in Mode 0..6 (see the table in the .cpp); any other mode gives
// an empty text. Cut: a text longer than 12 characters becomes its first 10 and "…".
QString FormatRecParam(const TRecParam &Rec, int Mode, bool Cut = false);

// The connection identity: user, " @ ", database, "/", server, ":", port (mode 0).
inline QString ConnectionIdentity(const TRecParam &Rec) { return FormatRecParam(Rec, 0); }

// True when both records name the same connection: server, port, database and user
// compared exactly (user and database names are case-sensitive on the server).
bool SameConnection(const TRecParam &A, const TRecParam &B);

// Index of the first of Identities equal to Identity, compared exactly; -1 when none.
// Identity texts can be ambiguous (a user name holding " @ "); where the connection
// object is at hand, compare that instead.
int IndexOfConnectionIdentity(const QStringList &Identities, const QString &Identity);
