#pragma once
// Text rules of the SQL editor that need no widget: the word and code-assist token rules,
// the "--" line-comment toggle, the multi-word keyword text, the quoting of accepted
// candidates and the filtering of code-assist candidates. The editor control and the
// code-assist popup call these; tests call them directly.
#include <QString>
#include <QStringList>
#include <QVector>

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
