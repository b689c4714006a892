// The editors' script entries and opening times against the sandbox server:
// 1. script N sequences (default 5,000) of one schema through the editor table, side by
//    side with `pg_dump --schema-only -n` of that schema; goal: within 2 times its wall time;
// 2. open a sequence editor 50 times (build, load, first paint); goal: median under 100 ms;
// 3. open a schema editor 50 times with R roles (default 5,000); goal: median under 100 ms;
// 4. script 5,000 indexes and 5,000 constraints of one schema (100 tables with 50 indexes and
//    40 checks and 10 unique keys each) through the editor table, side by side with
//    `pg_dump --schema-only -n` of that schema; goal: within 2 times its wall time;
// 5. script T triggers (default 5,000, on 50 tables) of one schema through the editor table,
//    side by side with `pg_dump --schema-only -n` of that schema; goal: within 2 times.
// Parts 1, 4 and 5 script as the list's script output does (its loop scope and its batch of
// the announced objects, which reads the catalogs a block at a time); each also times the
// same loop without the batch (one read per object, the editors' path) for comparison, and
// checks that both wrote the same text.
//
// Run with the sandbox's variables set (set -a; . /tmp/vantor-pg-<port>/env; set +a), under
// the offscreen platform: QT_QPA_PLATFORM=offscreen bench_editor_script [sequences] [roles]
// Exits non-zero when a goal is missed. A fourth argument sets T.
#include "browser/fobject.h"
#include "core/kdeditorreg.h"
#include "core/kdforms.h"
#include "core/kdreg.h"
#include "core/kdscriptbatch.h"
#include "core/kdsub_options.h"
#include "core/kdsub_start.h"
#include "editors/editor_table.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {
QString env(const char *name) { return QString::fromLocal8Bit(qgetenv(name)); }

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

// Median milliseconds of 50 opens (build, load, first paint) of one object's editor.
double openMedian(TfrmObject *form, int code, const QString &schema, const QString &name)
{
    QList<double> times;
    for (int i = 0; i < 50; ++i) {
        QElapsedTimer t;
        t.start();
        QWidget *w = form->OpenObject(code, schema, name);
        if (!w)
            return -1;
        w->resize(760, 520);
        w->show();
        w->grab(); // the first paint
        times << t.nsecsElapsed() / 1e6;
        if (auto *f = qobject_cast<TkdForm *>(w))
            f->SetModified(false);
        delete w;
        QCoreApplication::processEvents();
    }
    return median(times);
}
// Seconds of `pg_dump --schema-only -n schema`.
double dumpSeconds(const QString &schema, const QString &database)
{
    QProcess dump;
    dump.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    dump.start(QStringLiteral("pg_dump"), {QStringLiteral("--schema-only"), QStringLiteral("-n"), schema, QStringLiteral("-h"),
                                           env("PGHOST"), QStringLiteral("-p"), env("PGPORT"), QStringLiteral("-U"),
                                           env("PGUSER"), database});
    dump.waitForFinished(-1);
    dump.readAllStandardOutput();
    return timer.nsecsElapsed() / 1e9;
}

// Scripts `count` triggers (on 50 tables) through the editor table; returns ours / pg_dump.
double benchTriggers(TfrmObject *form, int count, const QString &database)
{
    form->ExecuteSQL(QStringLiteral("DROP SCHEMA IF EXISTS bench_trg CASCADE"));
    form->ExecuteSQL(QStringLiteral("CREATE SCHEMA bench_trg"));
    form->ExecuteSQL(QStringLiteral("CREATE FUNCTION bench_trg.f() RETURNS trigger LANGUAGE plpgsql AS $f$BEGIN RETURN NULL; END$f$"));
    form->ExecuteSQL(QStringLiteral("DO $$ BEGIN FOR i IN 1..50 LOOP EXECUTE format('CREATE TABLE bench_trg.t%1 (a int, b text)', i); END LOOP; END $$")
                         .arg(QStringLiteral("%s")));
    form->ExecuteSQL(QStringLiteral("DO $$ BEGIN FOR i IN 1..%1 LOOP EXECUTE format("
                                    "'CREATE TRIGGER tr%2 BEFORE UPDATE OF b ON bench_trg.t%2 FOR EACH ROW "
                                    "WHEN (new.a > %2) EXECUTE FUNCTION bench_trg.f(%3, ''x'')', i, i % 50 + 1, i, i); END LOOP; END $$")
                         .arg(count)
                         .arg(QStringLiteral("%s"))
                         .arg(QStringLiteral("%L")));
    QList<QPair<QString, QString>> triggers;
    db::Query *q = form->OpenSQL(QStringLiteral("SELECT c.relname, t.tgname FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid "
                                                "WHERE c.relnamespace = 'bench_trg'::regnamespace ORDER BY 1, 2"));
    while (!q->eof()) {
        triggers << qMakePair(q->field(0).asString(), q->field(1).asString());
        q->next();
    }
    q->close();
    const auto run = [&](bool batched, TScriptSink &sink) {
        QElapsedTimer timer;
        timer.start();
        const TfrmObject::TScriptLoopScope lookups(form);
        TScriptBatch batch(form);
        if (batched)
            for (const auto &[table, name] : triggers)
                batch.Add(57, QStringLiteral("bench_trg"), name, table);
        for (const auto &[table, name] : triggers)
            form->OutputScript(57, QStringLiteral("bench_trg"), name, sink, QString(), QString(), 0, table);
        return timer.nsecsElapsed() / 1e9;
    };
    TScriptSink single, sink;
    const double one = run(false, single);
    const double ours = run(true, sink);
    const double theirs = dumpSeconds(QStringLiteral("bench_trg"), database);
    std::printf("script %d triggers: %.2f s (%lld lines, %s); one read per object: %.2f s; pg_dump -n: %.2f s; "
                "ratio %.2f (goal <= 2)\n",
                int(triggers.size()), ours, sink.LineCount(), sink.Lines() == single.Lines() ? "same text" : "TEXT DIFFERS", one,
                theirs, ours / theirs);
    form->ExecuteSQL(QStringLiteral("DROP SCHEMA bench_trg CASCADE"));
    return ours / theirs;
}
} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir config;
    qputenv("VANTOR_CONFIG_DIR", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int roles = argc > 2 ? std::atoi(argv[2]) : 5000;
    const int triggerCount = argc > 3 ? std::atoi(argv[3]) : 5000;
    InitializeSharedUnit();
    LoadSettings();
    TkdOption::Global().UpdateToCommit = true;
    RegisterEditors();
    const QString database = env("PGDATABASE").isEmpty() ? QStringLiteral("postgres") : env("PGDATABASE");
    TfrmObject *form = TfrmObject::Create({env("PGHOST"), env("PGPORT"), database, QStringLiteral("public"), env("PGUSER"), env("PGPASSWORD")});
    form->ExecuteSQL(QStringLiteral("DROP SCHEMA IF EXISTS bench_seq CASCADE"));
    form->ExecuteSQL(QStringLiteral("CREATE SCHEMA bench_seq"));
    form->ExecuteSQL(QStringLiteral("DO $$ BEGIN FOR i IN 1..%1 LOOP EXECUTE format('CREATE SEQUENCE bench_seq.s%2 START %2', i, i); END LOOP; END $$")
                         .arg(count)
                         .arg(QStringLiteral("%s")));

    QStringList names;
    db::Query *q = form->OpenSQL(QStringLiteral("SELECT relname FROM pg_class WHERE relnamespace = 'bench_seq'::regnamespace AND relkind = 'S' ORDER BY 1"));
    while (!q->eof()) {
        names << q->field(0).asString();
        q->next();
    }
    q->close();

    const auto runSeq = [&](bool batched, TScriptSink &sink) {
        QElapsedTimer timer;
        timer.start();
        const TfrmObject::TScriptLoopScope lookups(form);
        TScriptBatch batch(form);
        if (batched)
            for (const QString &name : names)
                batch.Add(58, QStringLiteral("bench_seq"), name, QString());
        for (const QString &name : names)
            form->OutputScript(58, QStringLiteral("bench_seq"), name, sink);
        return timer.nsecsElapsed() / 1e9;
    };
    TScriptSink seqSingle, sink;
    const double seqOne = runSeq(false, seqSingle);
    const double ours = runSeq(true, sink);
    QElapsedTimer timer;

    QProcess dump;
    dump.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    timer.restart();
    dump.start(QStringLiteral("pg_dump"), {QStringLiteral("--schema-only"), QStringLiteral("-n"), QStringLiteral("bench_seq"),
                                           QStringLiteral("-h"), env("PGHOST"), QStringLiteral("-p"), env("PGPORT"),
                                           QStringLiteral("-U"), env("PGUSER"), database});
    dump.waitForFinished(-1);
    dump.readAllStandardOutput();
    const double theirs = timer.nsecsElapsed() / 1e9;
    std::printf("script %d sequences: %.2f s (%lld lines, %s); one read per object: %.2f s; pg_dump -n: %.2f s; "
                "ratio %.2f (goal <= 2)\n",
                int(names.size()), ours, sink.LineCount(), sink.Lines() == seqSingle.Lines() ? "same text" : "TEXT DIFFERS",
                seqOne, theirs, ours / theirs);

    const double seqOpen = openMedian(form, 58, QStringLiteral("bench_seq"), names.value(0));
    std::printf("sequence editor open: median %.1f ms (goal < 100)\n", seqOpen);

    form->ExecuteSQL(QStringLiteral("DO $$ BEGIN FOR i IN 1..%1 LOOP EXECUTE format('CREATE ROLE bench_role_%2', i); END LOOP; END $$")
                         .arg(roles)
                         .arg(QStringLiteral("%s")));
    const double schemaOpen = openMedian(form, 4, QString(), QStringLiteral("bench_seq"));
    std::printf("schema editor open with %d more roles: median %.1f ms (goal < 100)\n", roles, schemaOpen);
    form->ExecuteSQL(QStringLiteral("DO $$ BEGIN FOR i IN 1..%1 LOOP EXECUTE format('DROP ROLE bench_role_%2', i); END LOOP; END $$")
                         .arg(roles)
                         .arg(QStringLiteral("%s")));
    form->ExecuteSQL(QStringLiteral("DROP SCHEMA bench_seq CASCADE"));

    // Indexes and constraints.
    form->ExecuteSQL(QStringLiteral("DROP SCHEMA IF EXISTS bench_ix CASCADE"));
    form->ExecuteSQL(QStringLiteral("CREATE SCHEMA bench_ix"));
    form->ExecuteSQL(QStringLiteral(
        "DO $$ BEGIN FOR t IN 1..100 LOOP "
        "EXECUTE format('CREATE TABLE bench_ix.t%s (id int, a int, b text, c int)', t); "
        "FOR i IN 1..50 LOOP EXECUTE format('CREATE INDEX t%s_ix%s ON bench_ix.t%s (a DESC, b text_pattern_ops) WHERE c > %s', t, i, t, i); END LOOP; "
        "FOR i IN 1..40 LOOP EXECUTE format('ALTER TABLE bench_ix.t%s ADD CONSTRAINT t%s_ck%s CHECK (c > %s) NOT VALID', t, t, i, i); END LOOP; "
        "FOR i IN 1..10 LOOP EXECUTE format('ALTER TABLE bench_ix.t%s ADD CONSTRAINT t%s_uq%s UNIQUE (a, c) WITH (fillfactor = 80)', t, t, i); END LOOP; "
        "END LOOP; END $$"));
    QList<QPair<QString, QString>> indexes, constraints;
    q = form->OpenSQL(QStringLiteral("SELECT c.relname FROM pg_class c JOIN pg_index i ON i.indexrelid = c.oid "
                                     "WHERE c.relnamespace = 'bench_ix'::regnamespace AND NOT EXISTS "
                                     "(SELECT 1 FROM pg_constraint k WHERE k.conindid = c.oid) ORDER BY 1"));
    while (!q->eof()) {
        indexes << qMakePair(q->field(0).asString(), QString());
        q->next();
    }
    q->close();
    q = form->OpenSQL(QStringLiteral("SELECT k.conname, t.relname FROM pg_constraint k JOIN pg_class t ON t.oid = k.conrelid "
                                     "WHERE t.relnamespace = 'bench_ix'::regnamespace ORDER BY 2, 1"));
    while (!q->eof()) {
        constraints << qMakePair(q->field(0).asString(), q->field(1).asString());
        q->next();
    }
    q->close();
    const auto runIx = [&](bool batched, TScriptSink &sink, double &ixSeconds, double &conSeconds) {
        const TfrmObject::TScriptLoopScope lookups(form);
        QElapsedTimer t;
        t.start();
        {
            TScriptBatch batch(form);
            if (batched)
                for (const auto &ix : indexes)
                    batch.Add(46, QStringLiteral("bench_ix"), ix.first, QString());
            for (const auto &ix : indexes)
                form->OutputScript(46, QStringLiteral("bench_ix"), ix.first, sink);
        }
        ixSeconds = t.nsecsElapsed() / 1e9;
        t.restart();
        TScriptBatch batch(form);
        if (batched)
            for (const auto &k : constraints)
                batch.Add(66, QStringLiteral("bench_ix"), k.first, k.second);
        for (const auto &k : constraints)
            form->OutputScript(66, QStringLiteral("bench_ix"), k.first, sink, QString(), QString(), 0, k.second);
        conSeconds = t.nsecsElapsed() / 1e9;
    };
    TScriptSink ixSingle, ixSink;
    double ixOne = 0, conOne = 0, ixTime = 0, conTime = 0;
    runIx(false, ixSingle, ixOne, conOne);
    runIx(true, ixSink, ixTime, conTime);
    QProcess dump2;
    dump2.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    timer.restart();
    dump2.start(QStringLiteral("pg_dump"), {QStringLiteral("--schema-only"), QStringLiteral("-n"), QStringLiteral("bench_ix"),
                                            QStringLiteral("-h"), env("PGHOST"), QStringLiteral("-p"), env("PGPORT"),
                                            QStringLiteral("-U"), env("PGUSER"), database});
    dump2.waitForFinished(-1);
    dump2.readAllStandardOutput();
    const double dumpTime = timer.nsecsElapsed() / 1e9;
    std::printf("script %d indexes: %.2f s; %d constraints: %.2f s (%lld lines, %s); one read per object: %.2f + %.2f s; "
                "pg_dump -n: %.2f s; ratio %.2f (goal <= 2)\n",
                int(indexes.size()), ixTime, int(constraints.size()), conTime, ixSink.LineCount(),
                ixSink.Lines() == ixSingle.Lines() ? "same text" : "TEXT DIFFERS", ixOne, conOne, dumpTime,
                (ixTime + conTime) / dumpTime);
    form->ExecuteSQL(QStringLiteral("DROP SCHEMA bench_ix CASCADE"));
    const double triggerRatio = benchTriggers(form, triggerCount, database);
    const bool ok = ours <= 2 * theirs && seqOpen >= 0 && seqOpen < 100 && schemaOpen >= 0 && schemaOpen < 100
                    && ixTime + conTime <= 2 * dumpTime && triggerRatio <= 2;
    delete form;
    return ok ? 0 : 1;
}
