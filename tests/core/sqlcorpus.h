#pragma once
// The statements of tests/core/data/statements.sql and the layouts they are formatted with.
#include "core/kdsub_options.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>

namespace sqlcorpus {

struct TCase {
    QString FName;
    QString FText; // lines joined with CR LF
    bool FRuns = true;
};

// The folder of a source file named by __FILE__, which the build gives relative to the
// build folder (the test program's parent folder) while the tests run in folders of their own.
inline QString SourceFolder(const char *file)
{
    const QString path = QString::fromUtf8(file);
    if (QFileInfo(path).isAbsolute())
        return QFileInfo(path).absolutePath();
    const QString program = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return QFileInfo(QFileInfo(program).absolutePath() + QStringLiteral("/../") + path).absolutePath();
}

// The cases of the corpus file; a line "--@ name [norun]" starts each.
inline QList<TCase> Cases()
{
    QFile file(SourceFolder(__FILE__) + QStringLiteral("/data/statements.sql"));
    QList<TCase> cases;
    if (!file.open(QIODevice::ReadOnly))
        return cases;
    QStringList lines;
    auto flush = [&] {
        if (!cases.isEmpty()) {
            while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
                lines.removeLast();
            cases.last().FText = lines.join(QStringLiteral("\r\n"));
        }
        lines.clear();
    };
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (line.startsWith(QStringLiteral("--@ "))) {
            flush();
            QString name = line.mid(4).trimmed();
            const bool runs = !name.endsWith(QStringLiteral(" norun"));
            if (!runs)
                name.chop(6);
            cases.append(TCase{name, QString(), runs});
        } else {
            lines.append(line);
        }
    }
    flush();
    return cases;
}

inline TFormatOption DefaultLayout()
{
    TFormatOption o;
    o.Reset();
    return o;
}

// Every combination of the two-valued options with each case choice: 288 layouts.
inline QList<TFormatOption> AllLayouts()
{
    QList<TFormatOption> all;
    for (int bits = 0; bits < 32; ++bits)
        for (int rt = 0; rt < 3; ++rt)
            for (int it = 0; it < 3; ++it) {
                TFormatOption o = DefaultLayout();
                o.Indent = (bits & 1) ? 0 : 4;
                o.ItemReturn = (bits >> 1) & 1;
                o.ReservePos = (bits >> 2) & 1;
                o.CommaPos = (bits >> 3) & 1;
                o.AndPos = (bits >> 4) & 1;
                o.ReserveTrans = rt;
                o.ItemTrans = it;
                all.append(o);
            }
    return all;
}

inline QString Describe(const TFormatOption &o)
{
    return QStringLiteral("Indent %1 ItemReturn %2 ReservePos %3 CommaPos %4 AndPos %5 ReserveTrans %6 ItemTrans %7")
        .arg(o.Indent).arg(o.ItemReturn).arg(o.ReservePos).arg(o.CommaPos).arg(o.AndPos).arg(o.ReserveTrans).arg(o.ItemTrans);
}

} // namespace sqlcorpus
