#pragma once
// The built-in list of SQL reserved words and the keyword list built from it.
//
// The built-in list holds 397 distinct upper-case words in ascending order. It seeds the
// keyword list that the SQL editors colour and code assist offers (KeywordList,
// core/kdsub_start.h), and it is the reference list of the SQL formatter.
#include <QString>
#include <QStringList>
#include <QStringView>
#include <span>

// The 397 built-in words, "ABORT" first and "ZONE" last.
std::span<const char16_t *const> BuiltInReservedWords();

// Appends the built-in words to List in their order. It neither clears List nor checks
// for words already there.
void AddReservedWords(QStringList &List);

// Whether word is a built-in reserved word, compared without regard to case.
bool IsReservedWord(QStringView word);

// Sorts without regard to case; words equal but for case keep their order.
void SortWordsCaseInsensitive(QStringList &list);

// The list with each word once (the first spelling wins), compared without regard to case.
QStringList UniqueWordsCaseInsensitive(const QStringList &list);

// The keyword list of the editors: the user's stored words followed by the built-in words,
// each word once (without regard to case; the user's spelling wins), sorted without
// regard to case.
QStringList MergeKeywordList(const QStringList &userWords);
