#pragma once
// Text, identifier and value helpers of the shared unit: quoting of identifiers and
// literals for generated SQL, trimming and copying of text, list and combo-box look-ups,
// conversions of variant values with a default, display widths, hexadecimal dumps, file
// names, blank-line removal, Esc polling and committing the focused control's edit.
// None of them keeps state of its own.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <initializer_list>

class QComboBox;

// Stands for a blank inside a name list while the list is split (private-use character).
inline constexpr char16_t BlankPlaceholder = 0xF8F3;

// ---- identifiers and literals ----------------------------------------------------------

// Puts Name in double quotes (inner double quotes doubled) when it needs them.
// A name whose trimmed text begins with a double quote counts as already quoted and is
// only quoted again when it holds "(", ")", full-width parentheses, a blank, "@", "=" or
// the blank placeholder. Otherwise the name is quoted when `useLowerName` is on, and with
// it off whenever it would not survive unquoted: anything but a lower-case letter or "_"
// followed by lower-case letters, digits, "_" or "$" (characters beyond ASCII pass as the
// server's scanner passes them), and every keyword the server does not accept as a bare
// name. An empty name stays empty when the option is off.
QString QuoteIdentifier(const QString &Name, bool useLowerName);
// The same, with `TkdOption.UseLowerName`.
QString QuoteIdentifier(const QString &Name);

// True when `word` (lower-case) is a keyword that needs quotes when used as a name.
bool IsReservedIdentifier(const QString &word);

// Passes every name of a list through QuoteIdentifier. CommaList: the text is a comma list
// and the names are joined with ","; else the text is split at the first character of
// Delimiter (a text without Delimiter comes back as it is). Blanks survive the split.
QString QuoteNameList(const QString &Names, bool CommaList, const QString &Delimiter,
                      bool useLowerName);
QString QuoteNameList(const QString &Names, bool CommaList, const QString &Delimiter);

// A SQL string literal of S that reads the same whatever the server's
// standard_conforming_strings is: 'S' with quotes doubled, or E'S' with quotes and
// backslashes doubled when S holds a backslash.
QString QuoteLiteral(const QString &S);

// The inverse of QuoteIdentifier: a text that begins with a double quote gives the text up
// to the matching closing quote with doubled quotes made single (the rest is dropped);
// any other text comes back unchanged.
QString UnquoteIdentifier(const QString &S);

// Reads the double-quoted text that begins at S[Pos] (a double quote): the text up to the
// closing quote with doubled quotes made single. Pos moves past the closing quote, or to
// the end when there is none.
QString ReadQuotedText(const QString &S, qsizetype &Pos);

// S without its first and last character when both are a double quote.
QString StripQuotes(const QString &S);

// ---- text ------------------------------------------------------------------------------

// S without TAB, LF, CR and blank at both ends (other control characters stay).
QString TrimBlanks(const QString &S);
// Characters From..To (1-based, both included); a start below 1 counts as 1.
QString CopyRange(const QString &S, int From, int To);
// True when b is the first byte of a double-byte character of CP932.
inline bool IsCp932LeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
// 1-based byte position of Sub in S (CP932 bytes) at or after Offset, matching only at
// character starts; 0 when not found or S is shorter than Offset.
int AnsiPosFrom(const QByteArray &Sub, const QByteArray &S, int Offset);
// True when S equals one of Items exactly.
bool StrInArray(const QString &S, std::initializer_list<QString> Items);
bool StrInArray(const QString &S, const QStringList &Items);

// Index of the first item of Combo equal to Text (case-sensitive); -1 when none.
int IndexOfComboItem(const QComboBox *Combo, const QString &Text);
// Selects that item; a text not in the list clears the selection.
void SelectComboItem(QComboBox *Combo, const QString &Text);

// ---- values ----------------------------------------------------------------------------

inline QVariant IfThenVar(bool Flag, const QVariant &A, const QVariant &B) { return Flag ? A : B; }
// Conversions with a default: a null (invalid) value or one that does not convert gives
// Default.
double VarToFloatDef(const QVariant &V, double Default);
int VarToIntDef(const QVariant &V, int Default);
QDateTime VarToDateTimeDef(const QVariant &V, const QDateTime &Default);

// Width of S in half-width cells: 1 for printable ASCII and half-width katakana, else 2.
int TextDisplayWidth(const QString &S);
// Upper-case hexadecimal text of the UTF-16LE bytes of S, cut or zero-filled to Count
// bytes when Count >= 0.
QString TextToHex(const QString &S, int Count);

// ---- files -----------------------------------------------------------------------------

// S without / * ? \ : < > " and |.
QString SafeFileName(const QString &S);
// FileName when no such file exists, else the first of Base01.ext, Base02.ext, ...,
// Base100.ext, ... that does not exist. Never returns an existing file.
QString UniqueFileName(const QString &FileName);
// Deletes the empty lines of Lines when `nullLine` is on (a line of blanks stays).
void RemoveBlankLines(QStringList &Lines, bool nullLine);
// The same, with `TScriptOption.NullLine`.
void RemoveBlankLines(QStringList &Lines);

// ---- user interface --------------------------------------------------------------------

// True when an Esc key press is waiting for the active window. Pending events are looked
// at without being lost: input that arrives while the poll runs is held back and
// delivered again once control returns to the event loop. False when no window is active.
bool EscapePressed();

// Hands the pending value of the focused control over: an open item-view editor commits
// its data, and the focused widget gets its focus-out processing (editingFinished and the
// like) while it keeps the focus. Does nothing when nothing has the focus.
void CommitActiveEdit();
