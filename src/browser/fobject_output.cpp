// Script output, printing and full-text search of the selected objects: all three take each
// object's DDL from OutputScript. The login schema's code (126) is scripted as a schema (4).
#include "browser/fobject.h"

#include "browser/fgrep.h"
#include "browser/fsoption.h"
#include "browser/objcommands.h"
#include "browser/objlist.h"
#include "browser/objtree.h"
#include "browser/savedsource.h"
#include "browser/scriptout.h"
#include "controls/fprint.h"
#include "controls/kdcomctrls.h"
#include "core/kdeditorreg.h"
#include "core/kdscriptbatch.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_object.h"
#include "core/kdsub_options.h"
#include "core/kdsub_service.h"
#include "core/kdsub_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalBlocker>

namespace {

// Type code of a row for scripting.
int ScriptCode(int image)
{
    return image == 126 ? 4 : image;
}

// Opens an output file by the open rule: created empty, or continued at its end when
// `keep` and it exists. Throws TkdFileError naming the path.
void OpenOutput(QFile &file, bool keep)
{
    const QString dir = QFileInfo(file.fileName()).absolutePath();
    if (!QDir().mkpath(dir))
        throw TkdFileError(QStringLiteral("フォルダを作成できません: %1").arg(dir));
    const QIODevice::OpenMode mode = keep && file.exists() ? QIODevice::WriteOnly | QIODevice::Append
                                                           : QIODevice::WriteOnly | QIODevice::Truncate;
    if (!file.open(mode))
        throw TkdFileError(QStringLiteral("ファイルを作成できません: %1 (%2)").arg(file.fileName(), file.errorString()));
}

// Announces rows to a script batch with the codes and names WriteItemScript passes, so that
// the scripts of many indexes, constraints, triggers, tables or sequences read their catalogs
// together.
void Announce(TScriptBatch &batch, const TObjListRow &row)
{
    const TListObject o = ListObjectOf(row.Caption, row.ImageIndex, row.SubItems);
    if (o.Type == 52)
        return;
    const bool hasTable = o.Type == 57 || o.Type == 127 || o.Type == 66;
    batch.Add(ScriptCode(o.Type), o.Schema, o.Name, hasTable ? o.Table : QString());
}

} // namespace

bool TfrmObject::WriteItemScript(int row, TScriptSink &sink)
{
    const TObjectListModel *m = lstObject->Model();
    const TListObject o = ListObjectOf(m->Row(row).Caption, m->Row(row).ImageIndex, m->Row(row).SubItems);
    const int code = ScriptCode(o.Type);
    if (o.Type == 52) {
        bool ok = false;
        const quint32 oid = o.Oid.toUInt(&ok);
        if (!ok)
            throw TkdFileError(QStringLiteral("'%1' は整数ではありません。").arg(o.Oid));
        return OutputScript(code, o.Schema, o.Name, sink, QString(), QString(), oid, QString());
    }
    const bool hasTable = o.Type == 57 || o.Type == 127 || o.Type == 66;
    return OutputScript(code, o.Schema, o.Name, sink, QString(), QString(), 0, hasTable ? o.Table : QString());
}

bool TfrmObject::BacksConstraint(const QString &schema, const QString &name)
{
    bool backs = false;
    dbsMain()->protect([&] {
        db::Query *q = OpenSQL(BackingConstraintSQL(), {schema, name});
        backs = !q->isEmpty();
        q->close();
    });
    return backs;
}

// ---------------------------------------------------------------------------------------------
// Script output

void TfrmObject::actScriptExecute()
{
    if (lstObject->SelectedRows().isEmpty())
        return;
    QString path, nameTable;
    if (!TfrmScriptOption::ShowWindow(this, path, nameTable))
        return;
    const TScriptOption &opt = TScriptOption::Global();
    TScriptPlan plan;
    plan.Path = opt.OneScript ? path.trimmed() : NormalizeScriptFolder(path);
    plan.OneScript = opt.OneScript;
    plan.Dir = opt.Dir;
    plan.Grant = opt.Grant;
    plan.GrantMode = opt.GrantMode;
    plan.TypesFirst = FTreePane->Order() == TTreeOrder::TypeFirst;
    if (plan.Path.isEmpty())
        return;
    const TFileEncoding encoding = GetFileEncoding();
    TkdWaitCursor wait;
    if (plan.OneScript && opt.SameName)
        QFile::remove(plan.Path);

    const TObjectListModel *m = lstObject->Model();
    int written = 0;
    QStringList emptyScripts;
    bool firstGrantFile = true;
    const TScriptLoopScope lookups(this);
    TScriptBatch batch(this);
    for (int row : lstObject->SelectedRows())
        Announce(batch, m->Row(row));
    const int walked = ObjectLoop(true, [&](int row) {
        const TListObject o = ListObjectOf(m->Row(row).Caption, m->Row(row).ImageIndex, m->Row(row).SubItems);
        const QString typeName = m->SubItem(row, kSubTypeName).isEmpty() ? NameOfObjectType(o.Type)
                                                                         : m->SubItem(row, kSubTypeName);
        if (o.Type == 46 && BacksConstraint(o.Schema, o.Name)) {
            firstGrantFile = false;
            return true;
        }
        QString scriptName;
        if (!nameTable.isEmpty() && !plan.OneScript) {
            dbsMain()->protect([&] {
                db::Query *q = OpenSQL(NameTableSQL(nameTable), {o.Schema, o.Name, NameOfObjectType(o.Type)});
                if (!q->isEmpty() && !q->field(0).isNull())
                    scriptName = q->field(0).asString();
                q->close();
            });
        }
        const QString fileName = ScriptFileName(o.Name, scriptName);
        QFile file(ScriptFilePath(plan, o.Schema, typeName, fileName));
        OpenOutput(file, plan.OneScript || !opt.SameName);
        TScriptSink sink(&file, encoding);
        if (WriteItemScript(row, sink))
            ++written;
        else
            emptyScripts << o.Schema + u'.' + o.Name;
        if (plan.Grant) {
            const QString grantPath = GrantFilePath(plan, o.Schema, typeName, fileName);
            const QString oid = o.Type == 52 ? o.Oid : QString();
            if (grantPath.isEmpty()) {
                OutputGrant(o.Schema, o.Name, sink, 1, typeName, oid);
            } else {
                QFile grants(grantPath);
                // The shared grant file starts by the overwrite rule with the first object.
                const bool keep = plan.GrantMode == 2 ? !(firstGrantFile && opt.SameName) : !opt.SameName;
                OpenOutput(grants, keep);
                TScriptSink grantSink(&grants, encoding);
                OutputGrant(o.Schema, o.Name, grantSink, 1, typeName, oid);
            }
        }
        firstGrantFile = false;
        return true;
    });
    // A selection that vanished meanwhile (the list was refilled) wrote nothing: no success.
    if (walked == 0)
        return;
    QString text = QStringLiteral("スクリプトが出力されました。");
    // Objects whose script came out empty (no script builder yet, or it failed) are named.
    if (!emptyScripts.isEmpty())
        text += QStringLiteral("\r\nスクリプトを作成できなかったオブジェクト: %1 個\r\n").arg(emptyScripts.size())
                + emptyScripts.join(QStringLiteral("\r\n"));
    ShowMessageBox(text, (emptyScripts.isEmpty() ? MB_ICONINFORMATION : MB_ICONWARNING) | MB_OK);
}

// ---------------------------------------------------------------------------------------------
// Print

void TfrmObject::PrintSelected()
{
    if (lstObject->SelectedRows().isEmpty())
        return;
    const TObjectListModel *m = lstObject->Model();
    TfrmPrint::BeginPrint();
    struct End {
        ~End() { TfrmPrint::EndPrint(); }
    } end;
    const TScriptLoopScope lookups(this);
    TScriptBatch batch(this);
    for (int row : lstObject->SelectedRows())
        Announce(batch, m->Row(row));
    ObjectLoop(true, [&](int row) {
        const TListObject o = ListObjectOf(m->Row(row).Caption, m->Row(row).ImageIndex, m->Row(row).SubItems);
        if (o.Type == 46 && BacksConstraint(o.Schema, o.Name))
            return true;
        TScriptSink sink;
        WriteItemScript(row, sink);
        TfrmPrint::PrintSource(o.Schema + u'.' + o.Name, sink.Lines(), true);
        return true;
    });
}

void TfrmObject::actPrintExecute()
{
    TfrmPrint::ShowWindow(QStringLiteral("選択したオブジェクト"), [this] { PrintSelected(); });
}

// ---------------------------------------------------------------------------------------------
// Full-text search

void TfrmObject::actGrepExecute()
{
    QString word = FListPane->cmbFind->currentText();
    int scope = lstObject->SelectedRows().isEmpty() ? 1 : 0;
    bool charCase = false;
    if (!TfrmGrep::ShowWindow(word, scope, charCase) || word.isEmpty())
        return;
    Grep(word, scope, charCase);
}

void TfrmObject::Grep(const QString &word, int scope, bool charCase)
{
    TScriptOption &opt = TScriptOption::Global();
    const bool oldInsert = opt.Insert;
    opt.Insert = false;
    struct Restore {
        bool &flag;
        bool value;
        ~Restore() { flag = value; }
    } restore{opt.Insert, oldInsert};
    TkdWaitCursor wait;

    TObjectListModel *m = lstObject->Model();
    std::vector<TObjListRow> candidates;
    if (scope == 0) {
        for (int row : lstObject->SelectedRows())
            candidates.push_back(m->Row(row));
    } else {
        if (scope == 3) {
            trvObject->setCurrentItem(trvObject->topLevelItem(0));
            ShowObject(true);
        } else if (scope == 2) {
            ShowObject(true);
        }
        for (int row = 0; row < m->rowCount(); ++row)
            candidates.push_back(m->Row(row));
    }
    if (candidates.empty())
        return;
    // The list keeps its columns and shows the hits only.
    const QList<TObjListColumn> columns = m->Columns();
    m->SetColumns(columns);
    const QSignalBlocker quietTree(trvObject);
    TkdLoopScope loop;
    const QString needle = charCase ? word : word.toUpper();
    const int total = int(candidates.size());
    const TScriptLoopScope lookups(this);
    TScriptBatch batch(this);
    for (const TObjListRow &c : candidates)
        Announce(batch, c);
    for (int n = 0; n < total; ++n) {
        if (loop.Step(n + 1, total))
            return; // Esc: the hits so far stay, no message
        const TObjListRow &c = candidates[size_t(n)];
        TScriptSink sink;
        const TListObject o = ListObjectOf(c.Caption, c.ImageIndex, c.SubItems);
        if (o.Type == 52) {
            OutputScript(52, o.Schema, o.Name, sink, QString(), QString(), o.Oid.toUInt(), QString());
        } else {
            const bool hasTable = o.Type == 57 || o.Type == 127 || o.Type == 66;
            OutputScript(ScriptCode(o.Type), o.Schema, o.Name, sink, QString(), QString(), 0,
                         hasTable ? o.Table : QString());
        }
        const QString text = charCase ? sink.Text() : sink.Text().toUpper();
        if (text.contains(needle)) {
            std::vector<TObjListRow> hit{c};
            m->AppendRows(std::move(hit));
        }
    }
    ShowMessageBox(QStringLiteral("検索を完了しました。"), MB_ICONINFORMATION | MB_OK);
}
