// Finding the place of a failed statement in the SQL editor: the statement's lines, or the
// name that an error message of the form "CODE: NAME: text" points at.
#include "core/kdsub_sql.h"
#include "core/kdsqllex.h"

using namespace kdsqllex;

namespace {

// Characters that may stand on either side of a name that stands alone.
bool IsNameDelimiter(QChar c)
{
    static const QString delimiters = QStringLiteral(" ()%;.,+-<>{}[]\"'\r\n\t");
    return delimiters.contains(c);
}

// Removes double quotes and white space / control characters at both ends.
QString ErrorIdentifier(const QString &Message)
{
    const qsizetype a = Message.indexOf(u':');
    if (a < 0)
        return QString();
    const qsizetype b = Message.indexOf(u':', a + 1);
    if (b < 0)
        return QString();
    QString name = Message.mid(a + 1, b - a - 1);
    name.remove(u'"');
    qsizetype s = 0, e = name.size();
    while (s < e && name.at(s).unicode() <= 32)
        ++s;
    while (e > s && name.at(e - 1).unicode() <= 32)
        --e;
    return name.mid(s, e - s);
}

// Offset of the first occurrence of Name that stands alone in lines StartLine..EndLine
// (compared with the upper-case form of each line), -1 when there is none.
qsizetype FindStandaloneName(const QStringList &Lines, int StartLine, int EndLine, const QString &Name)
{
    if (Name.isEmpty())
        return -1;
    qsizetype offset = 0;
    for (int li = 0; li < Lines.size() && li <= EndLine; ++li) {
        const QString &line = Lines.at(li);
        if (li >= StartLine) {
            const QString upper = line.toUpper();
            qsizetype from = 0;
            for (;;) {
                const qsizetype k = upper.indexOf(Name, from);
                if (k < 0)
                    break;
                const qsizetype after = k + Name.size();
                const bool before = k == 0 || IsNameDelimiter(upper.at(k - 1));
                const bool behind = after >= upper.size() || IsNameDelimiter(upper.at(after));
                if (before && behind)
                    return offset + k;
                from = k + 1;
            }
        }
        offset += line.size() + 2;
    }
    return -1;
}

TkdErrorMark LinesMark(int StartLine, int EndLine)
{
    TkdErrorMark mark;
    mark.FKind = TkdErrorMark::mkLines;
    mark.FStartLine = StartLine;
    mark.FEndLine = EndLine;
    return mark;
}

TkdErrorMark RangeMark(qsizetype Start, qsizetype Length)
{
    TkdErrorMark mark;
    mark.FKind = TkdErrorMark::mkRange;
    mark.FSelStart = int(Start);
    mark.FSelLength = int(Length);
    return mark;
}

QString UnquoteName(const QString &Name)
{
    // The text between the opening quote and its closing quote, doubled quotes made single.
    QString out;
    for (qsizetype i = 1; i < Name.size(); ++i) {
        if (Name.at(i) == u'"') {
            if (i + 1 < Name.size() && Name.at(i + 1) == u'"') {
                out += u'"';
                ++i;
                continue;
            }
            break;
        }
        out += Name.at(i);
    }
    return out;
}

} // namespace

QString NormaliseErrorName(const QString &Name)
{
    QString s = Name;
    if (s.endsWith(u';'))
        s.chop(1);
    if (s.startsWith(u'"'))
        return UnquoteName(s);
    return s.toUpper();
}

QString SQLErrorTableQuery()
{
    return QStringLiteral("SELECT TABLE_NAME FROM ALL_TABLES WHERE OWNER = :OWNER AND TABLE_NAME = :TABLE_NAME");
}

TkdErrorMark LocateSQLError(const QStringList &Lines, int StartLine, int EndLine, const QString &Owner,
                            const QString &Message, bool HasSelection, const TkdTableLookup &Lookup)
{
    if (Message.contains(QStringLiteral("ORA-00904"))) {
        const QString name = ErrorIdentifier(Message);
        const qsizetype at = FindStandaloneName(Lines, StartLine, EndLine, name);
        if (at >= 0)
            return RangeMark(at, name.size());
        return LinesMark(StartLine, EndLine);
    }

    if (Message.contains(QStringLiteral("ORA-00942")) && Lookup) {
        QStringList statement;
        for (int li = qMax(0, StartLine); li <= EndLine && li < Lines.size(); ++li)
            statement.append(Lines.at(li));
        TkdParseList items, tables, orders;
        QStringList conditions, groups, havings;
        QString viewName;
        bool parseFailed = false;
        try {
            ParseSQL(statement.join(QStringLiteral("\r\n")), items, tables, orders, conditions, groups, havings,
                     QString(), viewName);
        } catch (const ESQLParseError &) {
            parseFailed = true;
        }
        bool lookupFailed = false;
        for (int t = 0; t < tables.Count() && !lookupFailed; ++t) {
            const QString table = tables.ObjectName(t);
            const qsizetype dot = table.indexOf(u'.');
            const QString owner = dot < 0 ? Owner : NormaliseErrorName(table.left(dot));
            const QString name = NormaliseErrorName(dot < 0 ? table : table.mid(dot + 1));
            const std::optional<bool> exists = Lookup(owner, name);
            if (!exists) {
                lookupFailed = true;
                break;
            }
            if (!*exists) {
                const QString upper = table.toUpper();
                const qsizetype at = FindStandaloneName(Lines, StartLine, EndLine, upper);
                if (at >= 0)
                    return RangeMark(at, upper.size());
            }
        }
        if (parseFailed)
            return LinesMark(StartLine, EndLine);
        if (!lookupFailed)
            return TkdErrorMark();
        // The look-up itself failed: mark the statement as for any other message.
    }

    if (!HasSelection)
        return LinesMark(StartLine, EndLine);
    return TkdErrorMark();
}
