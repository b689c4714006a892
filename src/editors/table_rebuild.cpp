#include "editors/table_rebuild.h"

#include "core/kdforms.h"
#include "core/kdsub_text.h"
#include "platform/db/dbquery.h"

#include <QSet>

namespace {

// Catalog reads of the rebuild, all by oid (":OID" is the rebuilt table or a dependent view).
const char *const kRefusalSql =
    "SELECT CASE WHEN c.relispartition THEN 'p' ELSE 'c' END, format('%I.%I', n.nspname, c.relname) "
    "FROM pg_inherits i JOIN pg_class c ON c.oid = i.inhrelid JOIN pg_namespace n ON n.oid = c.relnamespace "
    "WHERE i.inhparent = CAST(:OID AS oid) "
    "UNION ALL SELECT 'o', quote_ident(polname) FROM pg_policy WHERE polrelid = CAST(:OID AS oid) "
    "UNION ALL SELECT 'b', quote_ident(p.pubname) FROM pg_publication_rel r "
    "JOIN pg_publication p ON p.oid = r.prpubid WHERE r.prrelid = CAST(:OID AS oid) ORDER BY 1, 2";
const char *const kTableSql =
    "SELECT c.relrowsecurity, c.relforcerowsecurity, c.relreplident, "
    "COALESCE((SELECT quote_ident(ic.relname) FROM pg_index i JOIN pg_class ic ON ic.oid = i.indexrelid "
    "WHERE i.indrelid = c.oid AND i.indisreplident LIMIT 1), ''), current_user, c.relnamespace "
    "FROM pg_class c WHERE c.oid = CAST(:OID AS oid)";
// Column settings the CREATE text does not carry: statistics targets and storage.
const char *const kColumnSettingSql =
    "SELECT a.attname, a.attstattarget, CASE WHEN a.attstorage <> t.typstorage THEN a.attstorage ELSE '' END "
    "FROM pg_attribute a JOIN pg_type t ON t.oid = a.atttypid WHERE a.attrelid = CAST(:OID AS oid) "
    "AND a.attnum > 0 AND NOT a.attisdropped AND (a.attstattarget >= 0 OR a.attstorage <> t.typstorage) "
    "ORDER BY a.attnum";
const char *const kRuleSql =
    "SELECT r.rulename, pg_get_ruledef(r.oid), r.ev_enabled, COALESCE(obj_description(r.oid, 'pg_rewrite'), '') "
    "FROM pg_rewrite r WHERE r.ev_class = CAST(:OID AS oid) AND r.rulename <> '_RETURN' ORDER BY r.rulename";
const char *const kStatisticsSql =
    "SELECT format('%I.%I', n.nspname, s.stxname), pg_get_statisticsobjdef(s.oid), s.stxstattarget, "
    "COALESCE(obj_description(s.oid, 'pg_statistic_ext'), '') FROM pg_statistic_ext s "
    "JOIN pg_namespace n ON n.oid = s.stxnamespace WHERE s.stxrelid = CAST(:OID AS oid) ORDER BY s.stxname";
const char *const kIncomingKeySql =
    "SELECT format('%I.%I', n.nspname, c.relname), k.conname, pg_get_constraintdef(k.oid), "
    "COALESCE(obj_description(k.oid, 'pg_constraint'), '') FROM pg_constraint k "
    "JOIN pg_class c ON c.oid = k.conrelid JOIN pg_namespace n ON n.oid = c.relnamespace "
    "WHERE k.contype = 'f' AND k.confrelid = CAST(:OID AS oid) AND k.conrelid <> CAST(:OID AS oid) "
    "AND k.conparentid = 0 ORDER BY 1, 2";
// Relations whose rewrite rules use the table, recursively, with the longest path to it.
const char *const kDependentSql =
    "WITH RECURSIVE dep(oid, depth) AS ("
    "SELECT DISTINCT r.ev_class, 1 FROM pg_depend d JOIN pg_rewrite r ON r.oid = d.objid "
    "WHERE d.classid = 'pg_rewrite'::regclass AND d.refclassid = 'pg_class'::regclass "
    "AND d.refobjid = CAST(:OID AS oid) AND r.ev_class <> CAST(:OID AS oid) "
    "UNION SELECT r.ev_class, dep.depth + 1 FROM dep JOIN pg_depend d ON d.refobjid = dep.oid "
    "AND d.classid = 'pg_rewrite'::regclass AND d.refclassid = 'pg_class'::regclass "
    "JOIN pg_rewrite r ON r.oid = d.objid WHERE r.ev_class <> dep.oid AND dep.depth < 64) "
    "SELECT c.oid, n.nspname, c.relname, c.relkind, max(dep.depth), pg_get_userbyid(c.relowner), "
    "COALESCE(array_to_string(c.reloptions, ', '), ''), c.relispopulated, "
    "COALESCE(obj_description(c.oid, 'pg_class'), ''), "
    "CASE WHEN c.relkind IN ('v', 'm') THEN pg_get_viewdef(c.oid) ELSE '' END "
    "FROM dep JOIN pg_class c ON c.oid = dep.oid JOIN pg_namespace n ON n.oid = c.relnamespace "
    "GROUP BY c.oid, n.nspname, c.relname ORDER BY max(dep.depth), n.nspname, c.relname";
const char *const kViewColumnSql =
    "SELECT a.attnum, a.attname, COALESCE(col_description(a.attrelid, a.attnum), ''), "
    "COALESCE(pg_get_expr(d.adbin, d.adrelid), '') FROM pg_attribute a "
    "LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum "
    "WHERE a.attrelid = CAST(:OID AS oid) AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum";
const char *const kViewIndexSql =
    "SELECT ic.relname, format('%I.%I', n.nspname, ic.relname), "
    "COALESCE(obj_description(i.indexrelid, 'pg_class'), '') FROM pg_index i "
    "JOIN pg_class ic ON ic.oid = i.indexrelid JOIN pg_namespace n ON n.oid = ic.relnamespace "
    "WHERE i.indrelid = CAST(:OID AS oid) ORDER BY ic.relname";
const char *const kViewTriggerSql =
    "SELECT tgname, pg_get_triggerdef(oid), tgenabled, COALESCE(obj_description(oid, 'pg_trigger'), '') "
    "FROM pg_trigger WHERE tgrelid = CAST(:OID AS oid) AND NOT tgisinternal ORDER BY tgname";
// ACL groups of a relation and its columns, in the order of the ACL.
const char *const kAclSql =
    "SELECT 0, pg_get_userbyid(a.grantor), CASE WHEN a.grantee = 0 THEN '' ELSE pg_get_userbyid(a.grantee) END, "
    "a.is_grantable, string_agg(a.privilege_type, ',' ORDER BY a.ord), pg_has_role(current_user, a.grantor, 'MEMBER'), "
    "min(a.ord) FROM pg_class c, aclexplode(c.relacl) WITH ORDINALITY a(grantor, grantee, privilege_type, is_grantable, ord) "
    "WHERE c.oid = CAST(:OID AS oid) GROUP BY a.grantor, a.grantee, a.is_grantable "
    "UNION ALL SELECT t.attnum, pg_get_userbyid(a.grantor), "
    "CASE WHEN a.grantee = 0 THEN '' ELSE pg_get_userbyid(a.grantee) END, a.is_grantable, "
    "string_agg(a.privilege_type, ',' ORDER BY a.ord), pg_has_role(current_user, a.grantor, 'MEMBER'), min(a.ord) "
    "FROM pg_attribute t, aclexplode(t.attacl) WITH ORDINALITY a(grantor, grantee, privilege_type, is_grantable, ord) "
    "WHERE t.attrelid = CAST(:OID AS oid) AND t.attnum > 0 AND NOT t.attisdropped "
    "GROUP BY t.attnum, a.grantor, a.grantee, a.is_grantable ORDER BY 1, 7";
const char *const kAclSetSql = "SELECT c.relacl IS NOT NULL, pg_get_userbyid(c.relowner) FROM pg_class c WHERE c.oid = CAST(:OID AS oid)";
const char *const kIdentitySql =
    "SELECT a.attname, format('%I.%I', sn.nspname, s.relname), COALESCE(pg_sequence_last_value(s.oid)::text, '') "
    "FROM pg_attribute a JOIN pg_depend d ON d.refobjid = a.attrelid AND d.refobjsubid = a.attnum "
    "AND d.classid = 'pg_class'::regclass AND d.refclassid = 'pg_class'::regclass AND d.deptype = 'i' "
    "JOIN pg_class s ON s.oid = d.objid AND s.relkind = 'S' JOIN pg_namespace sn ON sn.oid = s.relnamespace "
    "WHERE a.attrelid = CAST(:OID AS oid) AND a.attidentity <> '' ORDER BY a.attnum";
const char *const kNameTakenSql =
    "SELECT count(*) FROM pg_class WHERE relnamespace = CAST(:NSP AS oid) AND relname = :NAME";

using Rows = QList<QStringList>;

Rows Read(TkdConnForm *Conn, const char *Sql, const QStringList &Values)
{
    Rows rows;
    db::Query *q = Conn->OpenSQL(QString::fromLatin1(Sql), Values);
    for (; !q->eof(); q->next()) {
        QStringList row;
        for (int i = 0; i < q->fieldCount(); ++i)
            row << q->field(i).asString();
        rows << row;
    }
    q->close();
    return rows;
}

bool IsTrue(const QString &s)
{
    return s == QLatin1String("t") || s == QLatin1String("true");
}

QString QX(const QString &s)
{
    return QuoteIdentifier(s, true);
}

QString Exact(const QString &Schema, const QString &Name)
{
    return QX(Schema) + QLatin1Char('.') + QX(Name);
}

void Statement(QStringList &l, const QString &text)
{
    l << text << QStringLiteral(";");
}

// pg_get_ruledef and pg_get_viewdef end their text with ";"; the line list ends statements
// itself.
QString WithoutSemicolon(QString s)
{
    s = s.trimmed();
    if (s.endsWith(QLatin1Char(';')))
        s.chop(1);
    return s;
}

void EnableState(QStringList &l, const QString &target, QChar state, const QString &what, const QString &name)
{
    if (state == QLatin1Char('D'))
        Statement(l, QStringLiteral("ALTER TABLE ") + target + QStringLiteral(" DISABLE ") + what + QLatin1Char(' ') + name);
    else if (state == QLatin1Char('R'))
        Statement(l, QStringLiteral("ALTER TABLE ") + target + QStringLiteral(" ENABLE REPLICA ") + what + QLatin1Char(' ') + name);
    else if (state == QLatin1Char('A'))
        Statement(l, QStringLiteral("ALTER TABLE ") + target + QStringLiteral(" ENABLE ALWAYS ") + what + QLatin1Char(' ') + name);
}

void ReadRules(TkdConnForm *Conn, const QString &Oid, const QString &Target, QStringList &l)
{
    for (const QStringList &r : Read(Conn, kRuleSql, {Oid})) {
        Statement(l, WithoutSemicolon(r[1]));
        EnableState(l, Target, r[2].isEmpty() ? QChar() : r[2].at(0), QStringLiteral("RULE"), QX(r[0]));
        if (!r[3].isEmpty())
            Statement(l, QStringLiteral("COMMENT ON RULE ") + QX(r[0]) + QStringLiteral(" ON ") + Target
                             + QStringLiteral(" IS ") + QuoteLiteral(r[3]));
    }
}

TRebuildAcl ReadAcl(TkdConnForm *Conn, const QString &Oid)
{
    TRebuildAcl acl;
    const Rows set = Read(Conn, kAclSetSql, {Oid});
    if (set.isEmpty())
        return acl;
    acl.Set = IsTrue(set[0][0]);
    acl.Owner = set[0][1];
    for (const QStringList &r : Read(Conn, kAclSql, {Oid})) {
        TRebuildGrant g;
        g.AttNum = r[0].toInt();
        g.Grantor = r[1];
        g.Grantee = r[2];
        g.Grantable = IsTrue(r[3]);
        g.Privileges = r[4].split(QLatin1Char(','), Qt::SkipEmptyParts);
        g.CanSetRole = IsTrue(r[5]);
        acl.Grants << g;
    }
    return acl;
}

void ReadView(TkdConnForm *Conn, const QStringList &r, TRebuildView &v)
{
    const QString oid = r[0];
    v.Schema = r[1];
    v.Name = r[2];
    v.Kind = r[3].isEmpty() ? QLatin1Char('v') : r[3].at(0);
    v.Depth = r[4].toInt();
    const bool mat = v.Kind == QLatin1Char('m');
    const QString q = Exact(v.Schema, v.Name);
    const QString kind = mat ? QStringLiteral("MATERIALIZED VIEW ") : QStringLiteral("VIEW ");
    QStringList &l = v.CreateLines;
    l << QStringLiteral("CREATE ") + kind + q + (r[6].isEmpty() ? QString() : QStringLiteral(" WITH (") + r[6] + QLatin1Char(')'))
             + QStringLiteral(" AS");
    l << WithoutSemicolon(r[9]).split(QLatin1Char('\n'));
    if (mat)
        l << (IsTrue(r[7]) ? QStringLiteral("WITH DATA") : QStringLiteral("WITH NO DATA"));
    l << QStringLiteral(";");
    Statement(l, QStringLiteral("ALTER ") + kind + q + QStringLiteral(" OWNER TO ") + QX(r[5]));
    if (!r[8].isEmpty())
        Statement(l, QStringLiteral("COMMENT ON ") + kind + q + QStringLiteral(" IS ") + QuoteLiteral(r[8]));
    for (const QStringList &c : Read(Conn, kViewColumnSql, {oid})) {
        v.ColumnNames.insert(c[0].toInt(), c[1]);
        if (!c[2].isEmpty())
            Statement(l, QStringLiteral("COMMENT ON COLUMN ") + q + QLatin1Char('.') + QX(c[1]) + QStringLiteral(" IS ")
                             + QuoteLiteral(c[2]));
        if (!c[3].isEmpty())
            Statement(l, QStringLiteral("ALTER ") + kind + q + QStringLiteral(" ALTER COLUMN ") + QX(c[1])
                             + QStringLiteral(" SET DEFAULT ") + c[3]);
    }
    // A materialized view's indexes, written by the same index text as the table's.
    const Rows indexComments = Read(Conn, kViewIndexSql, {oid});
    TIndexTextOptions iopt;
    iopt.NewTable = q;
    for (const TIndexDef &i : LoadTableIndexDefsByOid(Conn, oid)) {
        l << IndexCreateLines(i, iopt);
        for (const QStringList &c : indexComments)
            if (c[0] == i.Name && !c[2].isEmpty())
                Statement(l, QStringLiteral("COMMENT ON INDEX ") + c[1] + QStringLiteral(" IS ") + QuoteLiteral(c[2]));
    }
    ReadRules(Conn, oid, q, l);
    for (const QStringList &t : Read(Conn, kViewTriggerSql, {oid})) {
        Statement(l, t[1]);
        EnableState(l, q, t[2].isEmpty() ? QChar() : t[2].at(0), QStringLiteral("TRIGGER"), QX(t[0]));
        if (!t[3].isEmpty())
            Statement(l, QStringLiteral("COMMENT ON TRIGGER ") + QX(t[0]) + QStringLiteral(" ON ") + q
                             + QStringLiteral(" IS ") + QuoteLiteral(t[3]));
    }
    v.Acl = ReadAcl(Conn, oid);
}

// Names the table's columns keep in the new table (the loaded ones; renames come last),
// by attribute number, for the columns the edit keeps.
QMap<int, QString> KeptColumns(const TTableDef &Loaded, const TTableDef &Edited)
{
    QMap<int, QString> names;
    for (const TTableColumn &e : Edited.Columns) {
        if (e.LoadPos == 0 || TrimBlanks(e.Name).isEmpty())
            continue;
        for (const TTableColumn &o : Loaded.Columns)
            if (o.LoadPos == e.LoadPos)
                names.insert(o.AttNum, o.Name);
    }
    return names;
}

// The edited table as the rebuild creates it: kept columns under their loaded names (the
// renames run after everything that names them has been put back), and the primary key
// following the column marks.
TTableDef RebuildDef(const TTableDef &Loaded, const TTableDef &Edited, QList<QPair<QString, QString>> &Renames)
{
    TTableDef d = Edited;
    bool marksChanged = false;
    QStringList marked;
    for (TTableColumn &c : d.Columns) {
        const TTableColumn *o = nullptr;
        for (const TTableColumn &l : Loaded.Columns)
            if (c.LoadPos && l.LoadPos == c.LoadPos)
                o = &l;
        if (o && o->Name != c.Name && !TrimBlanks(c.Name).isEmpty()) {
            Renames << qMakePair(o->Name, c.Name);
            c.Name = o->Name;
        }
        if ((o ? o->PrimaryKey : false) != c.PrimaryKey)
            marksChanged = true;
        if (c.PrimaryKey && !TrimBlanks(c.Name).isEmpty())
            marked << QX(c.Name);
    }
    for (const TTableColumn &o : Loaded.Columns) {
        bool kept = false;
        for (const TTableColumn &c : Edited.Columns)
            kept = kept || (c.LoadPos == o.LoadPos && !TrimBlanks(c.Name).isEmpty());
        if (o.PrimaryKey && !kept)
            marksChanged = true;
    }
    if (marksChanged) {
        bool had = false;
        for (int i = d.Constraints.size() - 1; i >= 0; --i) {
            if (d.Constraints[i].Type != QLatin1Char('p'))
                continue;
            had = true;
            if (marked.isEmpty())
                d.Constraints.removeAt(i);
            else
                d.Constraints[i].Definition = QStringLiteral("PRIMARY KEY (") + marked.join(QStringLiteral(", ")) + QLatin1Char(')');
        }
        Q_UNUSED(had)
    }
    return d;
}

} // namespace

void ReadRebuildFacts(TkdConnForm *Conn, const TTableDef &Loaded, TRebuildFacts &Facts)
{
    TRebuildFacts f;
    const QString oid = Loaded.Oid;
    // The table as it stands now: the grid's positions refer to the columns read at load.
    TTableDef now;
    if (!LoadTableDef(Conn, Loaded.Schema, Loaded.Name, now) || now.Oid != oid) {
        f.Refusals << QStringLiteral("テーブルが読み込み後に削除または再作成されました。");
    } else {
        auto shape = [](const TTableDef &d) {
            QStringList s;
            for (const TTableColumn &c : d.Columns)
                s << QString::number(c.AttNum) + QLatin1Char(':') + c.Name;
            return s;
        };
        if (shape(now) != shape(Loaded))
            f.Refusals << QStringLiteral("テーブルの列が読み込み後に変更されました。再読み込みして下さい。");
    }
    for (const QStringList &r : Read(Conn, kRefusalSql, {oid})) {
        const QChar k = r[0].at(0);
        const QString what = k == QLatin1Char('p')   ? QStringLiteral("パーティション")
                             : k == QLatin1Char('c') ? QStringLiteral("継承する子テーブル")
                             : k == QLatin1Char('o') ? QStringLiteral("行セキュリティポリシー")
                                                     : QStringLiteral("パブリケーション");
        f.Refusals << what + QStringLiteral(": ") + r[1];
    }

    const Rows table = Read(Conn, kTableSql, {oid});
    QString nsp;
    if (!table.isEmpty()) {
        const QStringList &t = table[0];
        const QString T = Exact(Loaded.Schema, Loaded.Name);
        if (IsTrue(t[0]))
            Statement(f.TableLines, QStringLiteral("ALTER TABLE ") + T + QStringLiteral(" ENABLE ROW LEVEL SECURITY"));
        if (IsTrue(t[1]))
            Statement(f.TableLines, QStringLiteral("ALTER TABLE ") + T + QStringLiteral(" FORCE ROW LEVEL SECURITY"));
        if (t[2] == QLatin1String("f"))
            Statement(f.TableLines, QStringLiteral("ALTER TABLE ") + T + QStringLiteral(" REPLICA IDENTITY FULL"));
        else if (t[2] == QLatin1String("n"))
            Statement(f.TableLines, QStringLiteral("ALTER TABLE ") + T + QStringLiteral(" REPLICA IDENTITY NOTHING"));
        else if (t[2] == QLatin1String("i") && !t[3].isEmpty())
            Statement(f.TableLines, QStringLiteral("ALTER TABLE ") + T + QStringLiteral(" REPLICA IDENTITY USING INDEX ") + t[3]);
        f.CurrentUser = t[4];
        nsp = t[5];
        for (const QStringList &c : Read(Conn, kColumnSettingSql, {oid})) {
            if (c[1].toInt() >= 0)
                Statement(f.TableLines, QStringLiteral("ALTER TABLE ") + T + QStringLiteral(" ALTER COLUMN ") + QX(c[0])
                                            + QStringLiteral(" SET STATISTICS ") + c[1]);
            static const QMap<QString, QString> storage = {{"p", "PLAIN"}, {"e", "EXTERNAL"}, {"m", "MAIN"}, {"x", "EXTENDED"}};
            if (storage.contains(c[2]))
                Statement(f.TableLines, QStringLiteral("ALTER TABLE ") + T + QStringLiteral(" ALTER COLUMN ") + QX(c[0])
                                            + QStringLiteral(" SET STORAGE ") + storage.value(c[2]));
        }
    }

    // Indexes and triggers as they stand now.
    const QString T = Exact(Loaded.Schema, Loaded.Name);
    const QString indexPrefix = QX(Loaded.Schema) + QLatin1Char('.');
    for (const TTableIndex &ix : now.Indexes)
        f.IndexLines << TableIndexLines(ix, T, T, indexPrefix);
    ReadRules(Conn, oid, T, f.RuleLines);
    for (const QStringList &s : Read(Conn, kStatisticsSql, {oid})) {
        Statement(f.StatisticsLines, s[1]);
        if (s[2].toInt() >= 0)
            Statement(f.StatisticsLines, QStringLiteral("ALTER STATISTICS ") + s[0] + QStringLiteral(" SET STATISTICS ") + s[2]);
        if (!s[3].isEmpty())
            Statement(f.StatisticsLines, QStringLiteral("COMMENT ON STATISTICS ") + s[0] + QStringLiteral(" IS ") + QuoteLiteral(s[3]));
    }
    for (const QStringList &k : Read(Conn, kIncomingKeySql, {oid}))
        f.IncomingKeys << TIncomingKey{k[0], k[1], k[2], k[3]};
    for (const QStringList &r : Read(Conn, kDependentSql, {oid})) {
        const QChar kind = r[3].isEmpty() ? QChar() : r[3].at(0);
        if (kind != QLatin1Char('v') && kind != QLatin1Char('m')) {
            // A rule of another table that uses this one: its text cannot be replayed here.
            f.Refusals << QStringLiteral("このテーブルを参照するルールを持つテーブル: ") + Exact(r[1], r[2]);
            continue;
        }
        TRebuildView v;
        ReadView(Conn, r, v);
        f.Views << v;
    }
    for (const QStringList &i : Read(Conn, kIdentitySql, {oid}))
        f.IdentityValues << TIdentityValue{i[0], i[1], i[2]};
    f.Acl = ReadAcl(Conn, oid);
    if (f.Acl.Owner.isEmpty())
        f.Acl.Owner = Loaded.Owner;
    f.BackupName = TableBackupName(Loaded.Name, [&](const QString &candidate) {
        return Read(Conn, kNameTakenSql, {nsp, candidate}).value(0).value(0).toInt() > 0;
    });
    // The triggers of the table, read now (the tree may be older than the catalog).
    f.TriggerLines = TableTriggerLines(now);
    Facts = f;
}

QStringList RebuildGrantLines(const QString &Target, const TRebuildAcl &Acl, const QMap<int, QString> &Columns)
{
    QStringList l;
    if (!Acl.Set)
        return l;
    Statement(l, QStringLiteral("REVOKE ALL ON TABLE ") + Target + QStringLiteral(" FROM ") + QX(Acl.Owner));
    // Each grantor must hold its grant option before it grants: the owner's grants first,
    // then those whose grantor has received a grantable privilege.
    QList<TRebuildGrant> pending = Acl.Grants;
    QSet<QString> holders = {Acl.Owner};
    QList<TRebuildGrant> ordered;
    while (!pending.isEmpty()) {
        bool progress = false;
        for (int i = 0; i < pending.size(); ++i) {
            if (!holders.contains(pending[i].Grantor))
                continue;
            if (pending[i].Grantable)
                holders.insert(pending[i].Grantee);
            ordered << pending.takeAt(i);
            --i;
            progress = true;
        }
        if (!progress) {
            ordered << pending;
            pending.clear();
        }
    }
    for (const TRebuildGrant &g : ordered) {
        QString privileges;
        if (g.AttNum > 0) {
            if (!Columns.contains(g.AttNum))
                continue; // the column is gone
            QStringList each;
            for (const QString &p : g.Privileges)
                each << p + QStringLiteral(" (") + QX(Columns.value(g.AttNum)) + QLatin1Char(')');
            privileges = each.join(QStringLiteral(", "));
        } else {
            privileges = g.Privileges.join(QStringLiteral(", "));
        }
        const bool setRole = g.Grantor != Acl.Owner && g.CanSetRole;
        if (setRole)
            Statement(l, QStringLiteral("SET ROLE ") + QX(g.Grantor));
        Statement(l, QStringLiteral("GRANT ") + privileges + QStringLiteral(" ON TABLE ") + Target + QStringLiteral(" TO ")
                         + (g.Grantee.isEmpty() ? QStringLiteral("PUBLIC") : QX(g.Grantee))
                         + (g.Grantable ? QStringLiteral(" WITH GRANT OPTION") : QString()));
        if (setRole)
            Statement(l, QStringLiteral("RESET ROLE"));
    }
    return l;
}

QStringList GrantsRecordedAsLogin(const TRebuildFacts &Facts, const QString &Table)
{
    QStringList l;
    auto collect = [&](const QString &name, const TRebuildAcl &acl) {
        if (!acl.Set)
            return;
        for (const TRebuildGrant &g : acl.Grants)
            if (g.Grantor != acl.Owner && !g.CanSetRole)
                l << name + QStringLiteral(": ") + g.Privileges.join(QStringLiteral(", ")) + QStringLiteral(" → ")
                         + (g.Grantee.isEmpty() ? QStringLiteral("PUBLIC") : g.Grantee) + QStringLiteral("（付与者 ")
                         + g.Grantor + QStringLiteral("）");
    };
    collect(Table, Facts.Acl);
    for (const TRebuildView &v : Facts.Views)
        collect(v.Schema + QLatin1Char('.') + v.Name, v.Acl);
    return l;
}

QStringList TableRebuildLines(const TTableDef &Loaded, const TTableDef &Edited, const TRebuildFacts &Facts,
                              const TRebuildOptions &Opt, const QStringList *Source)
{
    const bool temp = Loaded.Persistence == QLatin1Char('t');
    const QString T = Exact(Loaded.Schema, Loaded.Name);
    const QString B = Exact(Loaded.Schema, Facts.BackupName);
    QList<QPair<QString, QString>> renames;
    const TTableDef def = RebuildDef(Loaded, Edited, renames);
    const QMap<int, QString> kept = KeptColumns(Loaded, Edited);
    auto keptName = [&](const QString &loadedName) {
        for (const QString &n : kept)
            if (n == loadedName)
                return true;
        return false;
    };
    QStringList l;

    // Everything that would fall with the table, or stop its DROP, is taken off first.
    for (const TOwnedSequence &s : Loaded.Sequences)
        Statement(l, QStringLiteral("ALTER SEQUENCE ") + Exact(s.Schema, s.Name) + QStringLiteral(" OWNED BY NONE"));
    for (const TIncomingKey &k : Facts.IncomingKeys)
        Statement(l, QStringLiteral("ALTER TABLE ") + k.Table + QStringLiteral(" DROP CONSTRAINT ") + QX(k.Name));
    for (int i = Facts.Views.size() - 1; i >= 0; --i) {
        const TRebuildView &v = Facts.Views[i];
        Statement(l, (v.Kind == QLatin1Char('m') ? QStringLiteral("DROP MATERIALIZED VIEW ") : QStringLiteral("DROP VIEW "))
                         + Exact(v.Schema, v.Name));
    }
    if (Opt.Backup)
        Statement(l, (temp ? QStringLiteral("CREATE TEMPORARY TABLE ") + QX(Facts.BackupName)
                           : QStringLiteral("CREATE UNLOGGED TABLE ") + B)
                         + QStringLiteral(" AS SELECT * FROM ") + T);
    Statement(l, QStringLiteral("DROP TABLE ") + T);

    // The table anew.
    if (Source) {
        l << *Source;
        if (!l.isEmpty() && l.last().trimmed() != QLatin1String(";"))
            l << QStringLiteral(";");
    } else {
        TTableTextOptions topt;
        topt.Prefix = Opt.Prefix;
        topt.UseLowerName = Opt.UseLowerName;
        topt.KeepSequences = true;
        // A partition's own indexes must stand before it is attached, or the attach would
        // make the parent's copies beside them.
        topt.WithIndexes = !Loaded.PartitionOf.isEmpty();
        l << TableCreateLines(def, topt);
    }
    if (!Loaded.Owner.isEmpty())
        Statement(l, QStringLiteral("ALTER TABLE ") + T + QStringLiteral(" OWNER TO ") + QX(Loaded.Owner));

    // The rows, by attribute number (the new table carries the kept columns under their
    // loaded names); generated columns are computed anew.
    if (Opt.Backup && Opt.CopyBack && !Source) {
        QStringList cols;
        for (const TTableColumn &c : def.Columns)
            if (c.LoadPos > 0 && c.Generated.isEmpty() && keptName(c.Name))
                cols << QX(c.Name);
        if (!cols.isEmpty())
            Statement(l, QStringLiteral("INSERT INTO ") + T + QStringLiteral(" (") + cols.join(QStringLiteral(", "))
                             + QStringLiteral(") OVERRIDING SYSTEM VALUE SELECT ") + cols.join(QStringLiteral(", "))
                             + QStringLiteral(" FROM ") + B);
    }
    for (const TIdentityValue &v : Facts.IdentityValues)
        if (!v.LastValue.isEmpty() && keptName(v.Column) && !Source)
            Statement(l, QStringLiteral("SELECT setval(") + QuoteLiteral(v.Sequence) + QStringLiteral(", ") + v.LastValue
                             + QStringLiteral(", true)"));
    for (const TOwnedSequence &s : Loaded.Sequences) {
        if (keptName(s.Column))
            Statement(l, QStringLiteral("ALTER SEQUENCE ") + Exact(s.Schema, s.Name) + QStringLiteral(" OWNED BY ") + T
                             + QLatin1Char('.') + QX(s.Column));
        else
            // The column that owned it is gone; so is the sequence, as DROP COLUMN would do.
            Statement(l, QStringLiteral("DROP SEQUENCE ") + Exact(s.Schema, s.Name));
    }

    // What hung on the old table.
    if (Loaded.PartitionOf.isEmpty() || Source)
        l << Facts.IndexLines;
    l << Facts.TriggerLines << Facts.RuleLines << Facts.StatisticsLines << Facts.TableLines;
    for (const TIncomingKey &k : Facts.IncomingKeys) {
        Statement(l, QStringLiteral("ALTER TABLE ") + k.Table + QStringLiteral(" ADD CONSTRAINT ") + QX(k.Name)
                         + QLatin1Char(' ') + k.Definition);
        if (!k.Comment.isEmpty())
            Statement(l, QStringLiteral("COMMENT ON CONSTRAINT ") + QX(k.Name) + QStringLiteral(" ON ") + k.Table
                             + QStringLiteral(" IS ") + QuoteLiteral(k.Comment));
    }
    for (const TRebuildView &v : Facts.Views)
        l << v.CreateLines;
    l << RebuildGrantLines(T, Facts.Acl, kept);
    for (const TRebuildView &v : Facts.Views)
        l << RebuildGrantLines(Exact(v.Schema, v.Name), v.Acl, v.ColumnNames);

    // Renames last: every text above names the columns as they were.
    for (const auto &r : renames)
        Statement(l, QStringLiteral("ALTER TABLE ") + T + QStringLiteral(" RENAME COLUMN ") + QX(r.first)
                         + QStringLiteral(" TO ") + QX(r.second));
    if (Opt.Backup && !Opt.KeepBackup)
        Statement(l, QStringLiteral("DROP TABLE ") + B);
    return l;
}
