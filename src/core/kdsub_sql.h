#pragma once
// SQL text routines of the shared unit: comment stripping and first-statement cut, the
// one-pass statement analysis, the error locator's position finding and the SQL formatter.
// All of them work on UTF-16 text one character at a time; words are compared without
// regard to case; line ends are CR LF. They know PostgreSQL's dollar-quoted bodies
// ($$...$$, $tag$...$tag$), E'...' escape strings and nested block comments, so a function
// body is never cut at its first ";" and never read as SQL.
#include "core/kdlisterror.h" // TkdParseList raises EListError for an index outside 0..Count-1
#include "core/kdsub_options.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <stdexcept>

// ---------------------------------------------------------------------------------------
// Comment stripping and statement cut

// Cleans Lines in place: drops empty and REM/REMARK lines at both ends, trims every line,
// removes line and block comments outside literals and quoted names; with Mode true keeps
// only the text before the first ";" outside literals, quoted names and comments.
// Text inside a literal, quoted name or dollar-quoted body that spans lines keeps its blanks.
void StripSQLComments(QStringList &Lines, bool Mode);

// ---------------------------------------------------------------------------------------
// Statement analysis

enum class TkdSQLType { sqltNone, sqltSelect, sqltInsert, sqltUpdate, sqltDelete, sqltCreateView };

struct TkdParseItem {
    QString FObjectName;
    QString FAlias;
};

// Raised by ParseSQL for text it cannot take; carries the caller's message unchanged.
class ESQLParseError : public std::runtime_error {
public:
    explicit ESQLParseError(const QString &Message);
    QString message() const { return FMessage; }
private:
    QString FMessage;
};


// An ordered list of (object name, alias) pairs with an explicit capacity.
class TkdParseList {
public:
    TkdParseList() = default;
    int Count() const { return FCount; }
    int Capacity() const { return FCapacity; }
    void SetCapacity(int Value);
    int Add(const QString &AObjectName, const QString &AAlias);
    void Insert(int Index, const QString &AObjectName, const QString &AAlias);
    void Delete(int Index);
    void Clear();
    int IndexOf(const QString &AObjectName, const QString &AAlias) const;
    QString GetObjectName(int Index) const;
    QString GetAlias(int Index) const;
    void SetObjectName(int Index, const QString &Value);
    void SetAlias(int Index, const QString &Value);
    QString ObjectName(int Index) const { return GetObjectName(Index); }
    QString Alias(int Index) const { return GetAlias(Index); }
private:
    void Grow();
    void CheckIndex(int Index) const;
    QList<TkdParseItem> FList;
    int FCount = 0;
    int FCapacity = 0;
};

// Cuts one SELECT, INSERT, UPDATE, DELETE or CREATE VIEW statement into its lists (it only
// adds to them). An empty ErrorMessage selects the tolerant mode of the code assist and the
// error locator. Raises ESQLParseError carrying ErrorMessage.
TkdSQLType ParseSQL(const QString &SQLText, TkdParseList &Items, TkdParseList &Tables,
                    TkdParseList &Orders, QStringList &Conditions, QStringList &Groups,
                    QStringList &Havings, const QString &ErrorMessage, QString &ViewName);

// ---------------------------------------------------------------------------------------
// SQL error locator (the part without a widget)

// A trailing ";" is removed; a name in double quotes is unquoted, any other is upper-cased.
QString NormaliseErrorName(const QString &Name);

// What the editor should select after a failed statement.
struct TkdErrorMark {
    enum Kind {
        mkKeep,  // leave the editor's selection as it is
        mkLines, // select whole lines StartLine..EndLine (the editor's MultiLineSelect)
        mkRange  // select SelLength characters from SelStart
    };
    Kind FKind = mkKeep;
    int FStartLine = 0;
    int FEndLine = 0;
    int FSelStart = 0;  // 0-based character offset in the editor text with CR LF line ends
    int FSelLength = 0;
};

// Answers whether table Table of owner Owner exists; std::nullopt when the look-up itself
// failed (the locator then falls back to marking the statement's lines).
using TkdTableLookup = std::function<std::optional<bool>(const QString &Owner, const QString &Table)>;

// The dictionary query of the table look-up (parameters :OWNER and :TABLE_NAME).
QString SQLErrorTableQuery();

// Decides where a failure of the statement on editor lines StartLine..EndLine (0-based,
// both included) lies. Lines are the editor's lines; HasSelection tells whether the user
// has text selected. The editor control applies the result: mkLines through its
// MultiLineSelect, mkRange through SelStart/SelLength (offsets count each line break as the
// two characters CR LF). The look-up is only asked for messages that quote the code of a
// missing table; when it is empty or fails, the statement's lines are marked and the caller
// shows the user's original message.
TkdErrorMark LocateSQLError(const QStringList &Lines, int StartLine, int EndLine,
                            const QString &Owner, const QString &Message, bool HasSelection,
                            const TkdTableLookup &Lookup = {});

// ---------------------------------------------------------------------------------------
// SQL formatter

// Lays SQL text out for reading with the layout choices of Layout. Never changes the text
// of literals, quoted names or dollar-quoted bodies; never fails; a blank text gives an
// empty result. Reserved words are the built-in words alone (not the user's keyword list).
QString FormatSQL(const QString &Text, const TFormatOption &Layout);

// The same with the program's FORMAT options (TFormatOption::Global()).
QString FormatSQL(const QString &Text);
