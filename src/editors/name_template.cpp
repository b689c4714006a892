#include "editors/name_template.h"

namespace {

bool IsIdentChar(QChar C)
{
    return C.isLetterOrNumber() || C == u'_' || C == u'$';
}

// Position of the first whole-identifier occurrence of Find in Line at or after From, or -1.
// For a schema ("x.") the character before must not continue an identifier; for a name
// (".x") the character after must not. A quoted name ends at its quote, but a doubled quote
// right after it would make it part of a longer quoted name.
qsizetype FindWhole(const QString &Line, TTemplatePart Part, const QString &Find, Qt::CaseSensitivity Cs)
{
    qsizetype at = Line.indexOf(Find, 0, Cs);
    while (at >= 0) {
        bool ok = true;
        if (Part == TTemplatePart::Schema) {
            if (at > 0) {
                const QChar before = Line.at(at - 1);
                if (IsIdentChar(before) || before == u'"' || before == u'.')
                    ok = false;
            }
        } else {
            const qsizetype end = at + Find.size();
            if (end < Line.size()) {
                const QChar after = Line.at(end);
                if (Find.endsWith(u'"') ? after == u'"' : IsIdentChar(after) || after == u'"')
                    ok = false;
            }
        }
        if (ok)
            return at;
        at = Line.indexOf(Find, at + 1, Cs);
    }
    return -1;
}

} // namespace

bool RenameInTemplate(QStringList &Lines, TTemplatePart Part, const QString &OldQuoted, const QString &NewQuoted)
{
    const QString find = Part == TTemplatePart::Schema ? OldQuoted + u'.' : u'.' + OldQuoted;
    const QString repl = Part == TTemplatePart::Schema ? NewQuoted + u'.' : u'.' + NewQuoted;
    for (QString &line : Lines) {
        if (FindWhole(line, Part, find, Qt::CaseSensitive) < 0)
            continue;
        const qsizetype at = FindWhole(line, Part, find, Qt::CaseInsensitive);
        line.replace(at, find.size(), repl);
        return true;
    }
    return false;
}

bool RenameInTemplateText(QString &Text, TTemplatePart Part, const QString &OldQuoted, const QString &NewQuoted)
{
    QStringList lines = Text.split(u'\n');
    if (!RenameInTemplate(lines, Part, OldQuoted, NewQuoted))
        return false;
    Text = lines.join(u'\n');
    return true;
}
