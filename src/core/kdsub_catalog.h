#pragma once
// Catalog SQL fragments and data-type texts of the shared unit: the FROM and WHERE parts
// of the object listings, a function's argument list read from the catalogs and its
// identity signature, the display and DDL text of a data type from its name and type
// modifier, and one access-control item split into grantee, privileges and grantor.
#include <QList>
#include <QString>
#include <QVariant>

namespace db { class Query; }

// One argument of a function.
struct TFuncArgument {
    quint32 intOid = 0;      // the argument's type oid
    QString strMode;         // "i" in, "o" out, "b" in-out, "v" variadic, "t" table column
    QString strArgName;      // empty when the argument has no name
    QString strSchema;       // schema of the type
    QString strTypeNaOri;    // the type's own name (pg_type.typname; "_int4" for an array)
    QString strTypeNaCon;    // the type's display name (format_type)
    QString strTypeNaConLen; // not filled by GetFunctionArgs
    int intLength = 0;       // not filled by GetFunctionArgs
};
using FncArgArray = QList<TFuncArgument>;

// The FROM and WHERE parts of the listing of one kind of object (object-type code), each
// beginning with a blank; both empty for a kind without a listing. The fixed aliases
// (TblInf, TblNsp, TblRol, Prc, ...) are what the callers' SELECT lists refer to; every
// kind joins pg_roles as TblRol for the owner. Callers add their own conditions with
// "AND" when WhereText is not empty and with "WHERE" when it is.
void ObjectListSQL(int Code, QString &FromText, QString &WhereText);
// The relation kinds listed as tables ('r' ordinary, 'f' foreign, 't' TOAST, 'p' partitioned)
// and as views ('v'), each as an SQL list of literals. Every statement that lists tables or
// their columns takes them from here, so what the listings show always has its columns.
QString TableRelkindsSQL();
QString ViewRelkindsSQL();

// The statement that reads the argument arrays of the function :OID, and the statement
// that reads the types of Count arguments (:OID0 ... :OID<Count-1>) in argument order.
QString FunctionArgsSQL();
QString FunctionArgTypesSQL(int Count);
// Builds the arguments from the type, mode and name lists (array elements joined by
// CR LF) that FunctionArgsSQL returns. Throws db::Error when a type line is not an oid.
FncArgArray ParseFunctionArgs(const QString &AryType, const QString &AryMode, const QString &AryNm);

// Reads the arguments of function Oid through Query (on an open connection): two
// statements, the query closed after each, also when an error passes. True when it ran to
// its end; server errors propagate. Works for every kind of routine, aggregates included.
bool GetFunctionArgs(quint32 Oid, db::Query &Query, FncArgArray &Args);

// The comma list of argument types of the modes that Selector counts: 0 "i", 1 "o", 2
// "b", 3 "v", 4 "t", 5 the identity of the function ("i", "b", "v": what DROP, ALTER and
// GRANT name), 6 every mode, 7 none. Each type goes through QuoteIdentifier and is
// qualified with its schema unless that is "pg_catalog" or equals Schema.
QString FormatFunctionArgs(const FncArgArray &Args, int Selector, const QString &Schema,
                           bool useLowerName);
QString FormatFunctionArgs(const FncArgArray &Args, int Selector, const QString &Schema);

// The type text with its modifier for DDL and display ("character varying(10)",
// "numeric(10,2)", "timestamp(3) without time zone", "interval DAY TO SECOND (3)", ...).
QString FormatDataType(const QString &TypeName, int Typmod, bool useLowerName);
QString FormatDataType(const QString &TypeName, int Typmod);
// The length or precision alone ("10", "10,2", "5,-2", "3"); empty when there is none.
QString FormatTypmod(const QString &TypeName, int Typmod);
// The type name with its interval qualifier, without precision.
QString FormatIntervalType(const QString &TypeName, int Typmod);
// The length column of column lists from the fields of a column row (null values are
// null or invalid variants).
QString ColumnLengthText(const QString &TypeName, const QVariant &LengthField,
                         const QVariant &PrecisionField, const QVariant &ScaleField);

// Decoded numeric type modifier: precision and scale (the scale may be negative).
struct NumericTypmod { int precision = 0; int scale = 0; };
NumericTypmod DecodeNumericTypmod(int Typmod);

// One item of an access-control list as the server writes it,
// grantee=privileges/grantor with names in double quotes where they need them: Grantee
// is the unquoted grantee ("public" for the empty grantee of PUBLIC), Privileges the
// letters (each possibly followed by "*"), Grantor the unquoted grantor when asked for.
// The parts are found from the item itself, whoever granted it.
void SplitAclItem(const QString &AclItem, QString &Grantee, QString &Privileges,
                  QString *Grantor = nullptr);
