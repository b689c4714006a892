#pragma once
// Renaming inside a new object's CREATE text when the user leaves the schema or name box.
// The editors that start a new object from a template (views, functions, types) write
// "CREATE … schema.name …" into their source text; when the user then changes the schema
// or the name box, the first matching "schema." or ".name" in the text follows the change.
#include <QString>
#include <QStringList>

enum class TTemplatePart { Schema, Name };

// Looks for the old quoted schema followed by "." (Part Schema) or "." followed by the old
// quoted name (Part Name). The first line holding it (exact comparison) is taken and in it the
// first occurrence, compared ignoring case, is replaced by the new quoted text. Only a whole
// identifier matches: "public.orders" never matches inside "xpublic.orders" or
// "public.orders_new". Returns whether a line changed; no match leaves Lines unchanged.
bool RenameInTemplate(QStringList &Lines, TTemplatePart Part, const QString &OldQuoted,
                      const QString &NewQuoted);

// The same on a whole text whose lines end in "\n".
bool RenameInTemplateText(QString &Text, TTemplatePart Part, const QString &OldQuoted,
                          const QString &NewQuoted);
