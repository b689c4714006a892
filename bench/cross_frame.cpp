// The reference frame on a table used by 500 views and 500 two-argument functions, at
// CrossLevel 3. Goals: the statements per ShowData are bounded per tree and level (at most 3
// per tree and level, plus the root lookup), ShowData takes under 1 s, and it is at least
// 10 times faster than building the same trees node by node (one dependency and one
// resolving statement per node, plus statements per function and argument type), measured
// in the same run.
//
// Needs the sandbox server: run with the variables of its env file set
// (set -a; . /tmp/vantor-pg-<port>/env; set +a). The database "vantor_bench_cross" is
// created on the first run and kept for the next.
//   bench_cross_frame [objects]
#include "bench_db.h"
#include "controls/kdcomctrls.h"
#include "core/kdforms.h"
#include "core/kdsub_options.h"
#include "core/kdsub_start.h"
#include "frames/cross_frame.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

const char *kDatabase = "vantor_bench_cross";

using bench::env;
using bench::scalar;
using bench::setParams;

// The connection window as the frame sees it.
class BenchConn : public QWidget, public TkdConnForm
{
public:
    BenchConn() { setParams(Db, QString::fromLatin1(kDatabase)); Db.open(); Query = std::make_unique<db::Query>(&Db); }
    db::Connection Db;
    std::unique_ptr<db::Query> Query;
    db::Connection *dbsMain() const override { return const_cast<db::Connection *>(&Db); }
    QString ConnectionParam(const QString &n) const override { return Db.param(n); }
    int DBVer() const override { return Db.dbVer(); }
    int DBAMODE() const override { return 0; }
    QWidget *Widget() override { return this; }
    int ObjectCount() const override { return 0; }
    int SelectedObjectCount() const override { return 0; }
    void ExecuteSQL(const QString &s) override { Db.execute(s); }
    void FormActivate() override {}
    db::Query *OpenSQL(const QString &sql, const QStringList &values) override
    {
        Query->close();
        Query->setParamCreation(true);
        Query->setSql(sql);
        for (int i = 0; i < Query->paramCount(); ++i)
            Query->param(i).setAsString(values.value(i));
        Query->open();
        return Query.get();
    }
};

class BenchHost : public TkdForm
{
public:
    explicit BenchHost(BenchConn *conn) : TkdForm(conn)
    {
        SetObjType(45);
        auto *l = new QVBoxLayout(this);
        Frame = new TfraCross(this);
        l->addWidget(Frame);
    }
    TfraCross *Frame;
};

void prepareDatabase(int objects)
{
    db::Connection admin;
    setParams(admin, env("PGDATABASE").isEmpty() ? QStringLiteral("postgres") : env("PGDATABASE"));
    admin.open();
    if (scalar(admin, QStringLiteral("SELECT count(*) FROM pg_database WHERE datname = '%1'").arg(QLatin1String(kDatabase))) == u"0")
        admin.execute(QStringLiteral("CREATE DATABASE %1").arg(QLatin1String(kDatabase)));
    db::Connection c;
    setParams(c, QString::fromLatin1(kDatabase));
    c.open();
    c.execute(QStringLiteral("CREATE SCHEMA IF NOT EXISTS crossb"));
    c.execute(QStringLiteral("CREATE TABLE IF NOT EXISTS crossb.t (id int4, v text)"));
    const int have = scalar(c, QStringLiteral("SELECT count(*) FROM pg_class WHERE relnamespace = 'crossb'::regnamespace AND relkind = 'v'")).toInt();
    if (have >= objects)
        return;
    std::fprintf(stderr, "creating %d views and functions...\n", objects - have);
    c.startTransaction();
    for (int i = have; i < objects; ++i) {
        c.execute(QStringLiteral("CREATE VIEW crossb.v%1 AS SELECT id, v FROM crossb.t WHERE id > %1").arg(i));
        c.execute(QStringLiteral("CREATE FUNCTION crossb.f%1(a int4, b text) RETURNS bigint LANGUAGE sql BEGIN ATOMIC "
                                 "SELECT count(*) FROM crossb.t WHERE id = a AND v = b; END").arg(i));
    }
    c.commit();
}

// ---- the node-by-node build, as a yardstick ---------------------------------------------
struct Ref { QString cat, type, name, schema, table, args; quint32 oid = 0; };

class NodeByNode
{
public:
    explicit NodeByNode(db::Connection *c) : Q(c) {}
    int Nodes = 0;
    int Statements = 0;

    QList<QStringList> Rows(const QString &sql)
    {
        ++Statements;
        Q.close();
        Q.setSql(sql);
        Q.open();
        Q.fetchAll();
        QList<QStringList> rows;
        for (int r = 0; r < Q.fetchedCount(); ++r) {
            QStringList row;
            for (int c = 0; c < Q.fieldCount(); ++c)
                row << Q.valueString(r, c);
            rows << row;
        }
        Q.close();
        return rows;
    }

    void Build(int code, quint32 oid, bool uses, int level, const QString &ownSchema, const QString &ownName)
    {
        if (code == 47) {
            const auto r = uses ? Rows(QStringLiteral("SELECT r.oid FROM pg_rewrite r WHERE rulename = '_RETURN' AND ev_class = %1").arg(oid))
                                : Rows(QStringLiteral("SELECT ev_class FROM pg_rewrite r WHERE rulename = '_RETURN' AND r.oid = %1").arg(oid));
            if (!r.isEmpty())
                oid = r.first().first().toUInt();
        }
        const QString dep = uses
            ? QStringLiteral("SELECT DISTINCT c.relname, d.refobjid FROM pg_depend d LEFT JOIN pg_class c ON c.oid = d.refclassid "
                             "WHERE d.objid = %1 OR d.objid IN (SELECT att.oid FROM pg_attrdef att WHERE adrelid = %1) ORDER BY 1")
            : QStringLiteral("SELECT DISTINCT c.relname, d.objid FROM pg_depend d LEFT JOIN pg_class c ON c.oid = d.classid "
                             "WHERE d.refobjid = %1 OR d.refobjid IN (SELECT att.oid FROM pg_attrdef att WHERE adrelid = %1) ORDER BY 1");
        QList<Ref> refs;
        for (const QStringList &r : Rows(dep.arg(oid)))
            refs << Ref{r[0], {}, {}, {}, {}, {}, r[1].toUInt()};
        QStringList subs;
        for (const Ref &r : refs) {
            const QString n = QString::number(r.oid);
            if (r.cat == u"pg_class")
                subs << "SELECT x.oid, nsp.nspname::text, relname::text, 'CLASS'::text, relkind::text, ''::text FROM pg_class x LEFT JOIN pg_namespace nsp ON x.relnamespace = nsp.oid WHERE x.oid = " + n + " AND relkind NOT IN ('t')";
            else if (r.cat == u"pg_proc")
                subs << "SELECT x.oid, nsp.nspname::text, proname::text, 'FUNCTION'::text, ''::text, ''::text FROM pg_proc x LEFT JOIN pg_namespace nsp ON x.pronamespace = nsp.oid WHERE x.oid = " + n;
            else if (r.cat == u"pg_rewrite")
                subs << "SELECT x.oid, nsp.nspname::text, CASE x.rulename WHEN '_RETURN' THEN relname ELSE x.rulename END::text, CASE x.rulename WHEN '_RETURN' THEN 'VIEW' ELSE 'RULE' END::text, ''::text, c.relname::text FROM pg_rewrite x LEFT JOIN pg_class c ON x.ev_class = c.oid LEFT JOIN pg_namespace nsp ON c.relnamespace = nsp.oid WHERE x.oid = " + n;
        }
        if (!subs.isEmpty()) {
            for (const QStringList &row : Rows(subs.join(QStringLiteral(" UNION ALL "))))
                for (Ref &r : refs)
                    if (r.oid == row[0].toUInt()) {
                        r.schema = row[1];
                        r.name = row[2];
                        r.type = row[3] == u"CLASS" ? (row[4] == u"r" ? QStringLiteral("TABLE") : row[4] == u"v" ? QStringLiteral("VIEW") : QString()) : row[3];
                        r.table = row[5];
                        if (r.type == u"FUNCTION") {
                            QStringList names;
                            const auto a = Rows(QStringLiteral("SELECT CASE WHEN proallargtypes IS NULL THEN array_to_string(proargtypes, E'\\n') ELSE array_to_string(proallargtypes, E'\\n') END FROM pg_proc WHERE oid = %1").arg(r.oid));
                            for (const QString &t : a.value(0).value(0).split(u'\n', Qt::SkipEmptyParts))
                                names << Rows(QStringLiteral("SELECT typname FROM pg_type WHERE oid = %1").arg(t)).value(0).value(0);
                            r.args = names.join(u',');
                        }
                    }
        }
        for (const Ref &r : refs) {
            if (r.type.isEmpty() || r.name.isEmpty() || (r.name == ownName && r.schema == ownSchema))
                continue;
            ++Nodes;
            if (level + 1 < 3)
                Build(ObjectTypeOfName(r.type), r.oid, uses, level + 1, r.schema, r.name);
        }
    }
    db::Query Q;
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int objects = argc > 1 ? std::atoi(argv[1]) : 500;
    InitializeSharedUnit();
    TkdOption::Global().CrossLevel = 3;
    prepareDatabase(objects);

    BenchConn conn;
    BenchHost host(&conn);
    int statements = 0;
    conn.Db.setStatementObserver([&](const QString &) { ++statements; });
    QList<qint64> times;
    for (int run = 0; run < 5; ++run) {
        statements = 0;
        QElapsedTimer t;
        t.start();
        host.Frame->ShowData(QStringLiteral("crossb"), QStringLiteral("t"));
        times << t.elapsed();
    }
    std::sort(times.begin(), times.end());
    const qint64 frameMs = times[times.size() / 2];
    int nodes = 0;
    for (TkdTreeView *tree : {host.Frame->lstTree1, host.Frame->lstTree2}) {
        std::function<void(QTreeWidgetItem *)> count = [&](QTreeWidgetItem *i) {
            ++nodes;
            for (int k = 0; k < i->childCount(); ++k)
                count(i->child(k));
        };
        for (int k = 0; k < tree->topLevelItemCount(); ++k)
            count(tree->topLevelItem(k));
    }
    conn.Db.setStatementObserver({});

    db::Connection c2;
    setParams(c2, QString::fromLatin1(kDatabase));
    c2.open();
    const quint32 oid = scalar(c2, QStringLiteral("SELECT 'crossb.t'::regclass::oid")).toUInt();
    NodeByNode naive(&c2);
    QElapsedTimer t;
    t.start();
    naive.Build(45, oid, true, 0, QStringLiteral("crossb"), QStringLiteral("t"));
    naive.Build(45, oid, false, 0, QStringLiteral("crossb"), QStringLiteral("t"));
    const qint64 naiveMs = t.elapsed();

    const int bound = 1 + 2 * 3 * 3;
    const double ratio = frameMs > 0 ? double(naiveMs) / double(frameMs) : double(naiveMs);
    std::printf("objects: %d views + %d functions, CrossLevel 3\n", objects, objects);
    std::printf("ShowData: %lld ms (median of 5), %d statements (bound %d), %d nodes\n",
                static_cast<long long>(frameMs), statements, bound, nodes);
    std::printf("node by node: %lld ms, %d statements, %d nodes\n", static_cast<long long>(naiveMs),
                naive.Statements, naive.Nodes + 2);
    std::printf("speed-up: %.1fx\n", ratio);
    const bool ok = statements <= bound && frameMs < 1000 && ratio >= 10.0;
    std::printf("%s\n", ok ? "goals met" : "GOALS NOT MET");
    return ok ? 0 : 1;
}
