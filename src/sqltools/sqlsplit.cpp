#include "sqltools/sqlsplit.h"
#include "platform/db/dbsql.h"

QString TrimControl(const QString &Line)
{
    qsizetype b = 0, e = Line.size();
    while (b < e && Line.at(b).unicode() <= 32)
        ++b;
    while (e > b && Line.at(e - 1).unicode() <= 32)
        --e;
    return Line.mid(b, e - b);
}

bool IsStatementEnd(const QString &Line, bool Exact)
{
    return Exact ? Line == QLatin1String(";") : TrimControl(Line) == QLatin1String(";");
}

QList<TSqlStatementLines> SplitStatements(const QStringList &Lines, bool Exact)
{
    QList<TSqlStatementLines> result;
    TSqlStatementLines cur;
    for (int i = 0; i < Lines.size(); ++i) {
        if (IsStatementEnd(Lines.at(i), Exact)) {
            cur.LastLine = i;
            result << cur;
            cur = TSqlStatementLines();
            cur.FirstLine = i + 1;
        } else {
            cur.Lines << Lines.at(i);
        }
    }
    if (!cur.Lines.isEmpty()) {
        cur.LastLine = int(Lines.size()) - 1;
        result << cur;
    }
    return result;
}

namespace {

QString TrimBlanks(const QString &s)
{
    auto blank = [](QChar c) { return c == u'\t' || c == u'\n' || c == u'\r' || c == u' '; };
    qsizetype b = 0, e = s.size();
    while (b < e && blank(s.at(b)))
        ++b;
    while (e > b && blank(s.at(e - 1)))
        --e;
    return s.mid(b, e - b);
}

bool IsRemark(const QString &trimmed)
{
    const QString u = trimmed.toUpper();
    for (const QLatin1String word : {QLatin1String("REMARK"), QLatin1String("REM")}) {
        if (!u.startsWith(word))
            continue;
        if (u.size() == word.size())
            return true;
        const QChar next = u.at(word.size());
        if (next == u'\t' || next == u'\n' || next == u'\r' || next == u' ')
            return true;
    }
    return false;
}

bool Removable(const QString &line)
{
    const QString t = TrimBlanks(line);
    return t.isEmpty() || IsRemark(t);
}

bool StartsWithSelect(const QString &line)
{
    qsizetype b = 0;
    while (b < line.size() && line.at(b).unicode() <= 32)
        ++b;
    return line.mid(b, 6).compare(QLatin1String("select"), Qt::CaseInsensitive) == 0;
}

} // namespace

QStringList CleanStatementLines(const QStringList &Lines)
{
    qsizetype b = 0, e = Lines.size();
    while (b < e && Removable(Lines.at(b)))
        ++b;
    while (e > b && Removable(Lines.at(e - 1)))
        --e;
    QStringList out = Lines.mid(b, e - b);
    if (!out.isEmpty() && (StartsWithSelect(out.first()) || StartsWithSelect(out.last())))
        for (QString &l : out)
            l.replace(u'\t', u' ');
    return out;
}

QString StatementText(const QStringList &CleanLines)
{
    QString text;
    for (const QString &l : CleanLines)
        text += l + QStringLiteral("\r\n");
    return text;
}

QStringList SelectionLines(const QString &Selection)
{
    QString s = Selection;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(u'\r', u'\n');
    return s.split(u'\n');
}

bool DropsTrailingSemicolon(db::CommandKind Kind, const QString &Text)
{
    using K = db::CommandKind;
    switch (Kind) {
    case K::Delete: case K::Insert: case K::Update: case K::Create: case K::Alter:
    case K::Drop: case K::Commit: case K::Rollback:
        break;
    default:
        return false;
    }
    if (!Text.trimmed().endsWith(u';'))
        return false;
    if (Text.contains(QLatin1String("CREATE "))) {
        for (const char *word : {" PROCEDURE ", " FUNCTION ", " PACKAGE ", " TRIGGER ", " TYPE "})
            if (Text.contains(QLatin1String(word)))
                return false;
    }
    return true;
}

QString WithoutTrailingSemicolon(const QString &Text)
{
    const QString t = Text.trimmed();
    return t.endsWith(u';') ? t.left(t.size() - 1) : Text;
}

bool IsCreateStatement(const QString &Text)
{
    return Text.left(6).toUpper() == QLatin1String("CREATE");
}
