// Open definition from the selected text of an SQL editor: one catalog query over nine kinds
// of object finds every object of that schema and name; each row opens its window.
#include "app/fmain.h"

#include "controls/kdmemo.h"
#include "core/kdsub_catalog.h"
#include "core/kdsub_object.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_sql.h"
#include "platform/db/dbquery.h"

namespace {
struct TDefBranch {
    int Code;
    QStringList Select;
    const char *Name;   // the name condition without its leading WHERE or AND
    QStringList Owner;
};

QList<TDefBranch> DefBranches()
{
    const auto sel = [](const char *schema, const char *type, int no, const char *name, const char *oid,
                        const char *table) {
        return QStringList{QString::fromLatin1(schema), QString::fromLatin1(type),
                           QStringLiteral("        %1                 AS ObjNo").arg(no), QString::fromLatin1(name),
                           QString::fromLatin1(oid), QString::fromLatin1(table)};
    };
    const char *zero = "        0                 AS OID";
    return {
        {45, sel("SELECT  TblNsp.nspname    AS SchemaNm", "        'TABLE'         AS ObjTyp", 1,
                 "        TblInf.relname    AS ObjNm", zero, "        TblInf.relname    AS TblNm"),
         "TblInf.relname    =   :OBJNM", {QStringLiteral("AND     TblNsp.nspname    =   :OWNER")}},
        {47, sel("SELECT  TblNsp.nspname    AS SchemaNm", "        'VIEW'          AS ObjTyp", 2,
                 "        TblInf.relname    AS ObjNm", zero, "        TblInf.relname    AS TblNm"),
         "TblInf.relname    =   :OBJNM", {QStringLiteral("AND     TblNsp.nspname    =   :OWNER")}},
        {46, sel("SELECT  N.nspname         AS SchemaNm", "        'INDEX'         AS ObjTyp", 3,
                 "        C.relname         AS ObjNm", zero, "        ''              AS TblNm"),
         "C.relname         =   :OBJNM", {QStringLiteral("AND     N.nspname         =   :OWNER")}},
        {52, sel("SELECT  Nms.nspname       AS SchemaNm", "        'FUNCTION'      AS ObjTyp", 4,
                 "        Prc.proname       AS ObjNm", "        Prc.oid           AS OID", "        ''              AS TblNm"),
         "Prc.proname       =   :OBJNM", {QStringLiteral("AND     Nms.nspname       =   :OWNER")}},
        {55, sel("SELECT  N.nspname         AS SchemaNm", "        'TYPE'          AS ObjTyp", 5,
                 "        T.typname         AS ObjNm", zero, "        ''              AS TblNm"),
         "T.typname         =   :OBJNM", {QStringLiteral("AND     N.nspname         =   :OWNER")}},
        {57,
         {QStringLiteral("SELECT  CASE"), QStringLiteral("          WHEN TblShe.schemaname IS NULL THEN VieShe.schemaname"),
          QStringLiteral("          ELSE TblShe.schemaname"), QStringLiteral("        END               AS SchemaNm"),
          QStringLiteral("        'TRIGGER'       AS ObjTyp"), QStringLiteral("        6                 AS ObjNo"),
          QStringLiteral("        TrgInf.tgname     AS ObjNm"), QString::fromLatin1(zero), QStringLiteral("        CASE"),
          QStringLiteral("          WHEN TblShe.tablename IS NULL THEN VieShe.viewname"),
          QStringLiteral("          ELSE TblShe.tablename"), QStringLiteral("        END               AS TblNm")},
         "TrgInf.tgname     =   :OBJNM",
         {QStringLiteral("AND     ("), QStringLiteral("              TblShe.schemaname   =   :OWNER"),
          QStringLiteral("          OR  VieShe.schemaname   =   :OWNER"), QStringLiteral("        )")}},
        {58, sel("SELECT  N.nspname         AS SchemaNm", "        'SEQUENCE'      AS ObjTyp", 7,
                 "        C.relname         AS ObjNm", zero, "        ''              AS TblNm"),
         "C.relname         =   :OBJNM", {QStringLiteral("AND     N.nspname         =   :OWNER")}},
        {66, sel("SELECT  ConNsp.nspname    AS SchemaNm", "        'CONSTRAINT'    AS ObjTyp", 8,
                 "        ConInf.conname    AS ObjNm", zero, "        TblInf.relname    AS TblNm"),
         "ConInf.conname    =   :OBJNM", {QStringLiteral("AND     ConNsp.nspname    =   :OWNER")}},
        {127, sel("SELECT  ns.nspname        AS SchemaNm", "        'RULE'          AS ObjTyp", 9,
                  "        r.rulename        AS ObjNm", zero, "        c.relname         AS TblNm"),
         "r.rulename        =   :OBJNM", {QStringLiteral("AND     ns.nspname        =   :OWNER")}},
    };
}
} // namespace

QString OpenDefinitionSQL()
{
    QString sql;
    bool first = true;
    for (const TDefBranch &b : DefBranches()) {
        if (!first)
            sql += QStringLiteral(" UNION ALL");
        first = false;
        for (int i = 0; i < b.Select.size(); ++i) {
            const QString &piece = b.Select.at(i);
            // The continuation pieces of a CASE expression join with a blank, not a comma.
            const QString word = piece.trimmed();
            if (i == 0 || word.startsWith(QLatin1String("WHEN ")) || word.startsWith(QLatin1String("ELSE "))
                || word.startsWith(QLatin1String("END ")))
                sql += QLatin1Char(' ') + piece;
            else
                sql += QLatin1Char(',') + piece;
        }
        QString from, where;
        ObjectListSQL(b.Code, from, where);
        sql += QLatin1Char(' ') + from + QLatin1Char(' ') + where;
        sql += (where.trimmed().isEmpty() ? QStringLiteral(" WHERE   ") : QStringLiteral(" AND     "))
               + QLatin1String(b.Name);
        for (const QString &piece : b.Owner)
            sql += QLatin1Char(' ') + piece;
    }
    return sql;
}

void TfrmMain::EditOpen()
{
    auto *memo = qobject_cast<TkdMemo *>(FocusedControl());
    if (!memo)
        return;
    // Every failure ends the command quietly; windows opened before it stay open.
    try {
        TkdConnForm *current = CurrentForm();
        if (!current || !current->dbsMain())
            return;
        const QString text = memo->selectedText();
        QString schema, name = text;
        const int dot = text.indexOf(QLatin1Char('.'));
        if (dot >= 0) {
            schema = text.left(dot);
            name = text.mid(dot + 1);
        } else {
            schema = current->ConnectionParam(QStringLiteral("MetaDefSchema"));
        }
        if (schema.isEmpty())
            return;
        struct TRow {
            QString Schema, Type, Table;
            qint64 Oid;
        };
        QList<TRow> rows;
        {
            TkdWaitCursor wait;
            db::Query q(current->dbsMain());
            q.setSql(OpenDefinitionSQL());
            q.paramByName(QStringLiteral("OBJNM")).setAsString(name);
            q.paramByName(QStringLiteral("OWNER")).setAsString(schema);
            q.open();
            for (; !q.eof(); q.next())
                rows.append({q.fieldByName(QStringLiteral("SchemaNm")).asString(),
                             q.fieldByName(QStringLiteral("ObjTyp")).asString(),
                             q.fieldByName(QStringLiteral("TblNm")).asString(),
                             q.fieldByName(QStringLiteral("OID")).asString().toLongLong()});
            q.close();
        }
        for (const TRow &r : rows)
            current->OpenObject(ObjectTypeOfName(r.Type), r.Schema, name, TkdOption::Global().OpenMode, true, 0,
                                quint32(r.Oid), r.Table);
    } catch (...) {
    }
}

// SQL formatting of the focused editor: the selection from the start of its first row, or the
// whole text; refused while any row is longer than 1000 characters.
void TfrmMain::EditFormat()
{
    auto *memo = qobject_cast<TkdMemo *>(FocusedControl());
    if (!memo || memo->isReadOnly())
        return;
    for (int l = 0; l < memo->lines(); ++l)
        if (memo->RowText(l).size() > 1000) {
            ShowMessageBox(QStringLiteral("1行の文字数が1000文字を超えているため、整形できません。"),
                           MB_OK | MB_ICONWARNING);
            return;
        }
    if (memo->hasSelectedText()) {
        // From the start of the row where the selection begins to its end.
        int l1 = 0, i1 = 0, l2 = 0, i2 = 0;
        memo->getSelection(&l1, &i1, &l2, &i2);
        memo->setSelection(l1, 0, l2, i2);
        memo->replaceSelectedText(FormatSQL(memo->selectedText()));
    } else {
        memo->selectAll(true);
        memo->replaceSelectedText(FormatSQL(memo->text()));
    }
}

