#pragma once
// Text rules of the SQL editor that need no widget: the word and code-assist token rules,
// the "--" line-comment toggle, the multi-word keyword text, the quoting of accepted
// candidates and the filtering of code-assist candidates. The editor control and the
// code-assist popup call these; tests call them directly.
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

namespace kdassist {

// Delimiters of words: blank ( ) % ; . , + - < > { } [ ] " ' CR LF TAB.
bool IsWordDelimiter(QChar c);
// The same set without "." (code-assist tokens keep their dots).
bool IsTokenDelimiter(QChar c);

// The word under a point of a row. `column` is the number of characters before the nearest
// column boundary of the point. Returns false (nothing to select) when the column is 0, the
// row is empty or the character just before the boundary is a delimiter; otherwise `start`
// (0-based) and `length` of the word.
bool WordAt(const QString &row, int column, int *start, int *length);

// The word fragment before the caret that code assist completes.
struct TAssistToken {
    QString Text;        // the token, "" when there is none
    int PrefixStart = 0; // 0-based column where the part being typed (after the last ".") starts
};
// `caretColumn` is the number of characters of the row before the caret.
TAssistToken CodeAssistToken(const QString &row, int caretColumn);

// Line-comment toggle of a range of rows.
struct TCommentToggle {
    bool BoxMode = false; // box selection: rows are taken from BoxLeft on
    int BoxLeft = 0;      // 0-based column of the box's left edge
    int WrapByte = 0;     // fixed wrap width; 0 when rows are not wrapped
    int TabWidth = 8;
};
// Returns the rows with "--" added to or removed from each (all rows count as commented when
// every one, after its leading characters up to U+0020, begins with "--"). `changeable`
// may mark rows that must stay as they are (continuation rows of a wrapped line).
QStringList ToggleLineComments(const QStringList &rows, const TCommentToggle &opt,
                               const QVector<bool> &changeable = {});
// Whether all rows count as commented for the toggle above.
bool RowsCommented(const QStringList &rows, const TCommentToggle &opt);

// Marker that switches on multi-word keyword matching when the first word list entry holds it.
inline constexpr const char *StatsPackMarker = "KDSTS";
// Characters that continue a multi-word keyword: A-Z, a-z, 1-9, "(", ")", "-".
bool IsStatsPackChar(QChar c);
// The multi-word keyword text of the token at [tokenStart, tokenStart + tokenLength) of `line`:
// the text of the line before the token followed by the token extended to the right.
QString TokenStringStatsPack(const QString &line, int tokenStart, int tokenLength);

// S without its characters up to U+0020 at both ends.
QString TrimControl(const QString &s);

// A candidate name as it is inserted into the editor: in double quotes (inner ones doubled)
// when it needs them.
QString QuoteForInsert(const QString &name);

// Candidates of one code-assist popup, kept in three lists of equal length.
struct TAssistCandidates {
    QStringList Captions;
    QStringList Details;
    QVector<int> Images;
    void append(const QString &caption, const QString &detail, int image)
    {
        Captions << caption;
        Details << detail;
        Images << image;
    }
    int size() const { return Captions.size(); }
};
// Image index of keyword candidates; such candidates are inserted without quoting.
inline constexpr int KeywordImage = 10;

// Indexes of the candidates whose caption begins with the filter (trimmed, compared without
// regard to case); every index when the filter is empty.
QVector<int> FilterCandidates(const QStringList &captions, const QString &filter);

// Case conversion of one character at a time, so the length of the text never changes.
QString ConvertCase(const QString &text, bool upper);

} // namespace kdassist

namespace db { class Query; }

namespace kdassist {

// ---- code-assist provider --------------------------------------------------------------------
// What the user asked for with F6, and what the catalogs offer for it. The provider reads the
// catalogs through the window's query; showing the popup is the control layer's part.

// Finds the object a table alias of the statement stands for: true and the object name as
// written in the statement (possibly schema-qualified and quoted) when the statement has a
// table with that alias (ignoring case; an empty alias matches a table without one).
using TAliasLookup = std::function<bool(const QString &statement, const QString &alias, QString *objectName)>;
// The lookup of the editors: comments stripped, the statement analysed tolerantly.
bool FindTableAlias(const QString &statement, const QString &alias, QString *objectName);

struct TAssistRequest {
    QString Token;        // the editor's code-assist token
    QString EditorText;   // the editor's whole text, searched for table aliases
    QString Schema;       // the connection's current schema
    QStringList Keywords; // the editor's reserved-word list
    // The edited routine of a function source editor that exists on the server; 0 otherwise.
    quint32 FunctionOid = 0;
    TAliasLookup AliasLookup; // none: FindTableAlias
};

enum class TAssistListKind { None, Objects, Columns };

struct TAssistResult {
    TAssistListKind Kind = TAssistListKind::None;
    QString ListSchema;   // the schema of the list
    QString ListTable;    // the table of a column list
    bool HasPrefix = false;
    QString Filter;       // the part being typed, upper-cased
    TAssistCandidates Candidates;
    QString Caption0, Caption1; // column captions of the popup
    // An object list holds at most kAssistObjectRows objects; when the schema offers more,
    // ObjectsCut is set, the objects end at ObjectsEnd in Candidates (the keywords follow)
    // and ReadRemainingObjects gives the rest, in order, to be put in at ObjectsEnd.
    bool ObjectsCut = false;
    int ObjectsBegin = 0, ObjectsEnd = 0;
};

// Objects read for the first showing of an object list: the popup shows 100 rows at once,
// so the rest is read only when the user pages beyond what is held.
inline constexpr int kAssistObjectRows = 1000;

// Image indexes of candidates (the main window's image list).
inline constexpr int ImageTable = 45, ImageView = 47, ImageIndex = 46, ImageFunction = 52,
                     ImageType = 55, ImageTrigger = 57, ImageSequence = 58, ImageConstraint = 66,
                     ImageRule = 127, ImageArgIn = 80, ImageArgOut = 81, ImageArgInOut = 82,
                     ImagePrimaryKey = 46;

// The catalog statement of kind 0 to 12: existence of a table (0), view (1), schema (2),
// index (3), function (4), type (5), trigger (6), sequence (7), constraint (8), rule (9) of a
// name in a schema; the objects of a schema (10); the columns of a table or view (11); the
// primary-key columns of a table (12); the objects of a schema whose name matches the regular
// expression :PATTERN (13, the same rows as 10 narrowed on the server); the schemas that kind 2
// accepts (14).
QString CodeAssistSQL(int kind);
// The regular expression (the server's advanced syntax, anchored at the start) that accepts
// exactly the names the popup's filter keeps for Prefix: every name that starts with Prefix
// compared ignoring case (QString::startsWith with Qt::CaseInsensitive, i.e. Unicode simple
// case folding per character). Empty for an empty prefix.
QString PrefixPattern(const QString &Prefix);
// One trailing ";" removed; a name in double quotes unquoted, any other name lower-cased.
QString NormaliseAssistName(const QString &name);
// Works out what the token names and gathers the candidates. Catalog errors propagate
// (db::Error); nothing is left behind when they do. The schema list, whether a name is a
// table or view, and column lists are kept with the query's connection and read again only
// after the connection's catalog generation moved on (db::Connection::catalogGeneration);
// object lists are read each time.
TAssistResult GatherCodeAssist(db::Query &query, const TAssistRequest &request);
// Objects of the object list of `schema` whose name starts with `filter` (ignoring case as
// the popup does; every object for an empty filter), in the list's order: from `offset` on,
// at most `limit` (0: all). Parts read with offsets join up to the whole list.
TAssistCandidates ReadObjects(db::Query &query, const QString &schema, const QString &filter, int offset,
                              int limit);

} // namespace kdassist
