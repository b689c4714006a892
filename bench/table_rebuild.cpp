// The rebuild of a table of N rows (default 1,000,000) with a moved column against the
// sandbox server: the statement list the table editor builds (facts read by oid, then the
// list) run through the program's connection in one transaction, side by side with the same
// statements run by `psql -1 -f`. Goal: within 1.3 times psql's wall time. The table is
// rebuilt twice (once each way), so both runs start from the same table shape.
//
// Run with the sandbox's variables set (set -a; . /tmp/vantor-pg-<port>/env; set +a), under
// the offscreen platform: QT_QPA_PLATFORM=offscreen bench_table_rebuild [rows]
// Exits non-zero when the goal is missed.
#include "browser/fobject.h"
#include "core/kdeditorreg.h"
#include "core/kdforms.h"
#include "core/kdreg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_start.h"
#include "editors/editor_table.h"
#include "editors/table_def.h"
#include "editors/table_rebuild.h"
#include "platform/db/dbconnection.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {
QString env(const char *name) { return QString::fromLocal8Bit(qgetenv(name)); }

// The rebuild list of bench_rb.t with its second and third columns swapped.
QStringList RebuildList(TfrmObject *form)
{
    TTableDef loaded;
    LoadTableDef(form, QStringLiteral("bench_rb"), QStringLiteral("t"), loaded);
    TTableDef edited = loaded;
    std::swap(edited.Columns[1], edited.Columns[2]);
    TRebuildFacts facts;
    ReadRebuildFacts(form, loaded, facts);
    TRebuildOptions opt;
    opt.Prefix = QStringLiteral("bench_rb.");
    return TableRebuildLines(loaded, edited, facts, opt);
}

QStringList Statements(const QStringList &lines)
{
    QStringList out, cur;
    for (const QString &l : lines) {
        if (l.trimmed() == QLatin1String(";")) {
            out << cur.join(QLatin1Char('\n'));
            cur.clear();
        } else {
            cur << l;
        }
    }
    return out;
}
} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir config;
    qputenv("VANTOR_CONFIG_DIR", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    InitializeSharedUnit();
    LoadSettings();
    TkdOption::Global().UpdateToCommit = true;
    RegisterEditors();
    const QString database = env("PGDATABASE").isEmpty() ? QStringLiteral("postgres") : env("PGDATABASE");
    TfrmObject *form = TfrmObject::Create({env("PGHOST"), env("PGPORT"), database, QStringLiteral("public"), env("PGUSER"), env("PGPASSWORD")});
    form->ExecuteSQL(QStringLiteral("DROP SCHEMA IF EXISTS bench_rb CASCADE"));
    form->ExecuteSQL(QStringLiteral("CREATE SCHEMA bench_rb"));
    form->ExecuteSQL(QStringLiteral("CREATE TABLE bench_rb.t (id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, a text, "
                                    "b numeric, c timestamptz, d int)"));
    form->ExecuteSQL(QStringLiteral("CREATE INDEX ON bench_rb.t (d)"));
    form->ExecuteSQL(QStringLiteral("CREATE VIEW bench_rb.v AS SELECT id, a FROM bench_rb.t"));
    form->ExecuteSQL(QStringLiteral("INSERT INTO bench_rb.t (a, b, c, d) SELECT 'row ' || g, g / 3.0, now(), g % 1000 "
                                    "FROM generate_series(1, %1) g")
                         .arg(rows));
    form->ExecuteSQL(QStringLiteral("VACUUM ANALYZE bench_rb.t"));

    // Ours: the list through the connection in one transaction.
    QElapsedTimer t;
    t.start();
    const QStringList ourList = RebuildList(form);
    db::Connection *c = form->dbsMain();
    c->startTransaction();
    for (const QString &s : Statements(ourList))
        c->execute(s);
    c->commit();
    const double ours = t.nsecsElapsed() / 1e9;

    // psql: the list of the second rebuild (the same statements for the swapped table).
    const QStringList psqlList = RebuildList(form);
    QTemporaryDir out;
    QFile f(out.filePath("rebuild.sql"));
    f.open(QIODevice::WriteOnly);
    for (const QString &s : Statements(psqlList))
        f.write((s + QStringLiteral(";\n")).toUtf8());
    f.close();
    QProcess psql;
    psql.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    t.restart();
    psql.start(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-1"), QStringLiteral("-v"),
                                        QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-f"), f.fileName(),
                                        QStringLiteral("-h"), env("PGHOST"), QStringLiteral("-p"), env("PGPORT"),
                                        QStringLiteral("-U"), env("PGUSER"), database});
    psql.waitForFinished(-1);
    psql.readAllStandardOutput();
    const double theirs = t.nsecsElapsed() / 1e9;
    std::printf("rebuild of %d rows (%d statements): %.2f s; psql -1 -f: %.2f s (exit %d); ratio %.2f (goal <= 1.3)\n", rows,
                int(Statements(ourList).size()), ours, theirs, psql.exitCode(), ours / theirs);
    form->ExecuteSQL(QStringLiteral("DROP SCHEMA bench_rb CASCADE"));
    delete form;
    return psql.exitCode() == 0 && ours <= 1.3 * theirs ? 0 : 1;
}
