#pragma once
// SQL text routines of the shared unit: comment stripping and first-statement cut, the
// one-pass statement analysis, the error locator's position finding and the SQL formatter.
// All of them work on UTF-16 text one character at a time; words are compared without
// regard to case; line ends are CR LF. They know PostgreSQL's dollar-quoted bodies
// ($$...$$, $tag$...$tag$), E'...' escape strings and nested block comments, so a function
// body is never cut at its first ";" and never read as SQL.
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

// Raised by TkdParseList for an index outside 0..Count-1.
class EListError : public std::out_of_range {
public:
    explicit EListError(int Index);
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

// The layout choices of the formatter (the FORMAT option group).
struct TkdFormatLayout {
    int Indent = 4;       // blanks per block level
    int ItemReturn = 0;   // 0 one item per line, 1 no break between items
    int ReservePos = 0;   // clause keywords 0 right-aligned, 1 left-aligned
    int CommaPos = 0;     // comma 0 at the start of the line, 1 at its end
    int AndPos = 0;       // AND and OR 0 at the start of the line, 1 at its end
    int ReserveTrans = 0; // reserved words 0 upper case, 1 lower case, 2 unchanged
    int ItemTrans = 2;    // other words 0 upper case, 1 lower case, 2 unchanged
};

// Lays SQL text out for reading. Never changes the text of literals, quoted names or
// dollar-quoted bodies; never fails; a blank text gives an empty result.
QString FormatSQL(const QString &Text, const TkdFormatLayout &Layout);

// True when Word is one of the built-in reserved words (case-insensitive).
bool IsFormatReservedWord(const QString &Word);
