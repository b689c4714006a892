#pragma once
// The round trip every object editor proves itself with on the sandbox server: the object's
// script is written through the editor table, the object is dropped, the script is run, and
// `pg_dump --schema-only` of the object reads the same as before (comment lines and the
// random "\restrict" lines of newer pg_dump versions left out).
#include "core/kdeditorreg.h"
#include "core/kdforms.h"
#include "core/kdsub_text.h"
#include "support/qstring_printer.h"
#include "support/testdb.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <gtest/gtest.h>

namespace roundtrip {

// The dump text of `args` (for example {"-t", pattern} or {"-n", pattern}) in the test
// database, without "--" lines, "\restrict"/"\unrestrict" lines and blank lines. Fails the
// test when pg_dump fails.
inline QString SchemaDump(const QStringList &args)
{
    const testdb::Params &p = testdb::params();
    QProcess proc;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), p.password);
    proc.setProcessEnvironment(env);
    proc.start(QStringLiteral("pg_dump"), QStringList{QStringLiteral("--schema-only"), QStringLiteral("-h"), p.host,
                                                      QStringLiteral("-p"), p.port, QStringLiteral("-U"), p.user}
                                              + args + QStringList{p.database});
    if (!proc.waitForFinished(120000) || proc.exitCode() != 0) {
        ADD_FAILURE() << "pg_dump failed: " << proc.readAllStandardError().toStdString();
        return QString();
    }
    QStringList kept;
    for (const QString &line : QString::fromUtf8(proc.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("--")) || line.startsWith(QLatin1String("\\restrict"))
            || line.startsWith(QLatin1String("\\unrestrict")) || line.trimmed().isEmpty())
            continue;
        kept << line;
    }
    return kept.join(QLatin1Char('\n'));
}

// A pg_dump pattern that matches exactly one name (each part in double quotes).
inline QString ExactPattern(const QString &schema, const QString &name = QString())
{
    auto quote = [](const QString &s) { return QLatin1Char('"') + QString(s).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"'); };
    return name.isEmpty() ? quote(schema) : quote(schema) + QLatin1Char('.') + quote(name);
}

// Runs a DDL line list (a line ";" ends a statement) statement by statement on the window.
inline void RunLines(TkdConnForm *conn, const QStringList &lines)
{
    QStringList statement;
    auto flush = [&] {
        const QString text = statement.join(QLatin1Char('\n'));
        statement.clear();
        if (!TrimBlanks(text).isEmpty())
            conn->ExecuteSQL(text);
    };
    for (const QString &line : lines) {
        if (line.trimmed() == QLatin1String(";"))
            flush();
        else
            statement << line;
    }
    flush();
}

// Scripts the object through the editor table, drops it with `dropSql`, runs the script and
// compares the dumps of `dumpArgs` before and after. Returns the script.
inline QStringList CheckScriptRoundTrip(TkdConnForm *conn, int code, const QString &schema, const QString &name,
                                        const QString &dropSql, const QStringList &dumpArgs)
{
    const QString before = SchemaDump(dumpArgs);
    EXPECT_FALSE(before.isEmpty()) << "the object is in the dump";
    TScriptSink sink;
    EXPECT_TRUE(conn->OutputScript(code, schema, name, sink)) << name;
    conn->ExecuteSQL(dropSql);
    RunLines(conn, sink.Lines());
    EXPECT_EQ(SchemaDump(dumpArgs), before) << sink.Lines().join(QLatin1Char('\n'));
    return sink.Lines();
}

} // namespace roundtrip
