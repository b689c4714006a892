#pragma once
// The tokens of SQL text as the PostgreSQL server reads them: words, numbers, parameters,
// string literals (with their E, B, X, N and U& prefixes), quoted names, dollar-quoted
// bodies, comments, operators and punctuation. White space is no token. The formatter uses
// them to prove that its result holds the tokens of its input; the tests and the fuzz
// targets use them to check the same.
#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

struct TFormatOption;

namespace kdsqltoken {

enum class TTokenKind {
    Word,         // keyword or unquoted name
    Number,
    Param,        // $1
    String,       // '...', E'...', B'...', X'...', N'...', U&'...'
    QuotedName,   // "...", U&"..."
    Dollar,       // a whole $tag$...$tag$ body
    DollarTag,    // the opening or closing tag of a body whose content is tokenised as well
    LineComment,  // -- up to the line end (without it)
    BlockComment, // /* ... */, nested
    Operator,
    Punct
};

struct TToken {
    TTokenKind FKind;
    qsizetype FStart;
    qsizetype FLength;
    qsizetype End() const { return FStart + FLength; }
};

// The tokens of Text in order. An unclosed literal, name, body or comment runs to the end.
std::vector<TToken> Tokenize(QStringView Text);

// The same, with the body of every LANGUAGE plpgsql or LANGUAGE sql routine (CREATE
// FUNCTION / PROCEDURE, and DO, whose language is plpgsql unless named) in dollar quotes
// split into its opening tag, the tokens of its content and its closing tag.
std::vector<TToken> TokenizeRoutines(QStringView Text);

// Start positions of the opening and closing tags of those bodies, ascending.
std::vector<qsizetype> RoutineBodyTags(QStringView Text);

// The token as compared: words and numbers in upper case (the server folds their case),
// the prefix of a string in upper case; everything else exactly as written.
QString TokenKey(QStringView Text, const TToken &Token);

// The keys of TokenizeRoutines(Text), comments included.
QStringList TokenKeys(QStringView Text);

// True when B reads as the same text as A: the same token keys, and string literals
// continued over a line break (which the server joins) in the same places.
bool SameStatementText(QStringView A, QStringView B);

// True when the two tokens would not be read as these two tokens if written together.
bool NeedBlankBetween(QStringView Left, QStringView Right);

} // namespace kdsqltoken
