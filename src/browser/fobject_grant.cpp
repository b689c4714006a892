// The connection window's privilege scripts.
#include "browser/fobject.h"
#include "browser/grantscript.h"

#include "core/kdsub_catalog.h"
#include "core/kdsub_object.h"

#include <vector>

void TfrmObject::OutputGrant(const QString &Schema, const QString &ObjectName, TScriptSink &Sink, int intMode,
                             const QString &strObjCls, const QString &strOid)
{
    const bool roleMode = intMode != 1;
    QString sql;
    QStringList values;
    if (!roleMode) {
        int code = ObjectTypeOfName(strObjCls);
        if (strObjCls.compare(QLatin1String("PROCEDURE"), Qt::CaseInsensitive) == 0)
            code = 52;
        sql = GrantObjectSQL(code, DBVer());
        if (sql.isEmpty())
            return;
        if (code == 51 || code == 52) {
            bool ok = false;
            const quint32 oid = strOid.trimmed().toUInt(&ok);
            if (!ok)
                throw db::Error(db::Error::Kind::Usage, QStringLiteral("'%1' は有効な整数ではありません").arg(strOid));
            values << QString::number(oid);
        } else {
            values << Schema << ObjectName;
        }
    } else {
        sql = GrantRoleSQL(DBVer());
        values << Schema;
    }

    // Rows first: the argument lists of functions are read on a query of their own.
    std::vector<TAclRow> rows;
    {
        TkdWaitCursor wait;
        db::Query *q = OpenSQL(sql, values);
        while (!q->eof()) {
            TAclRow row;
            row.Cls = q->field(0).asString();
            row.Schema = q->field(1).asString();
            row.Name = q->field(2).asString();
            row.Owner = q->field(3).asString();
            row.AclText = q->field(4).asString();
            row.AclNull = q->field(5).isNull();
            row.Oid = q->field(6).isNull() ? 0 : q->field(6).asString().toUInt();
            rows.push_back(row);
            q->next();
        }
        q->close();
    }
    QStringList lines;
    db::Query args(dbsMain());
    for (const TAclRow &row : rows) {
        QString argText;
        if (row.Oid != 0) {
            FncArgArray list;
            GetFunctionArgs(row.Oid, args, list);
            // The identity signature: what GRANT names (RETURNS TABLE columns are no arguments).
            argText = FormatFunctionArgs(list, 5, CurrentSchema());
        }
        lines += GrantStatements(row, GrantDesignation(row, CurrentSchema(), argText), roleMode, Schema);
    }
    Sink.WriteLines(lines);
}
