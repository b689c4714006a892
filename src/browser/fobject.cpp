#include "browser/fobject.h"

#include "browser/objlist.h"
#include "browser/objtree.h"

#include "core/kdsub_catalog.h"
#include "core/kdsub_object.h"
#include "core/kdreg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_text.h"
#include "platform/db/dbconnection.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

QString TrimCtl(const QString &s)
{
    qsizetype from = 0;
    qsizetype to = s.size();
    while (from < to && s.at(from).unicode() <= 0x20)
        ++from;
    while (to > from && s.at(to - 1).unicode() <= 0x20)
        --to;
    return s.mid(from, to - from);
}

namespace {
const QString kConnecting = QStringLiteral("データベースに接続中です．．．");

// Restores the cursor and the status-bar count however the creation ends.
class TCreateGuard
{
public:
    ~TCreateGuard()
    {
        if (TkdMainForm *host = TkdMainForm::Instance())
            host->SetDefMessage();
    }
};
} // namespace

TfrmObject::TfrmObject()
    : FdbsMain(std::make_unique<db::Connection>()), FdbsBG(std::make_unique<db::Connection>()),
      FdbsTrace(std::make_unique<db::Connection>())
{
    setObjectName(QStringLiteral("frmObject"));
    setAttribute(Qt::WA_DeleteOnClose);
    qryExec = new db::Query(FdbsMain.get(), this);
    qryExec->setObjectName(QStringLiteral("qryExec"));
    qryObject = new db::Query(FdbsMain.get(), this);
    qryObject->setObjectName(QStringLiteral("qryObject"));

    // Tree on the left, object list on the right; both are filled by their own units.
    auto *box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    splObject = new QSplitter(Qt::Horizontal, this);
    splObject->setObjectName(QStringLiteral("splObject"));
    splObject->setChildrenCollapsible(false);
    pnlTree = new QWidget;
    pnlTree->setObjectName(QStringLiteral("pnlTree"));
    pnlTree->setMinimumWidth(30);
    auto *treeBox = new QVBoxLayout(pnlTree);
    treeBox->setContentsMargins(0, 0, 0, 0);
    CreateObjectPanes();
    treeBox->addWidget(FTreePane);
    splObject->addWidget(pnlTree);
    splObject->addWidget(FListPane);
    splObject->setStretchFactor(1, 1);
    // Wide enough for the tree's tool buttons and its display box at first start.
    splObject->setSizes({300, 600});
    box->addWidget(splObject);
    CreateCommands();
    resize(820, 520);
}

TfrmObject::~TfrmObject()
{
    // The queries go before the connections they run on.
    delete qryExec;
    delete qryObject;
    delete FTaskButton.data();
    if (FJoined && !FClosed)
        if (TkdMainForm *host = TkdMainForm::Instance())
            host->RemoveConnection(this);
}

TfrmObject *TfrmObject::Create(const TConnectArgs &args)
{
    auto *form = new TfrmObject;
    try {
        form->CreateSteps(args);
    } catch (...) {
        // No half-built window stays behind, and no selector item points to it.
        if (form->FJoined)
            if (TkdMainForm *host = TkdMainForm::Instance()) {
                host->RemoveConnection(form);
                form->FJoined = false;
            }
        form->FClosed = true;
        form->FdbsMain->close();
        delete form;
        throw;
    }
    return form;
}

void TfrmObject::CreateSteps(const TConnectArgs &args)
{
    TkdMainForm *host = TkdMainForm::Instance();
    TCreateGuard guard;
    TkdWaitCursor wait;
    if (host)
        host->SetStatusText(kConnecting);

    const TRecParam rec = MakeRecParam(args.Host, args.Database, args.Schema, args.Port, args.UserID, args.Password);
    setWindowTitle(QStringLiteral("オブジェクトリスト - ") + FormatRecParam(rec, 0));
    if (host)
        setWindowIcon(host->Image(94));

    db::Connection &c = *FdbsMain;
    c.setParam(QStringLiteral("DriverID"), QStringLiteral("PG"));
    c.setParam(QStringLiteral("Server"), args.Host);
    c.setParam(QStringLiteral("Database"), args.Database);
    c.setParam(QStringLiteral("MetaDefSchema"), args.Schema);
    c.setParam(QStringLiteral("Port"), args.Port);
    c.setParam(QStringLiteral("User_Name"), args.UserID);
    c.setParam(QStringLiteral("Password"), args.Password);
    c.setParam(QStringLiteral("ApplicationName"), QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    c.setParam(QStringLiteral("CharacterSet"), TkdOption::Global().CharacterSet);
    c.setParam(QStringLiteral("LoginTimeout"), QString::number(TkdOption::Global().ConnectTimeout));
    // Inside an open block each statement runs under its own savepoint, so an error that a
    // service swallows never aborts the user's transaction.
    c.setStatementSavepoints(true);
    c.open();

    DBName = args.Database;
    // libpq knows the backend's process id from the start-up exchange; asking the server
    // would cost a round trip.
    MYSID = c.backendPid() > 0 ? c.backendPid() : GetMySID();
    ReadServerVersion();

    QString schema = args.Schema;
    QStringList schemas;
    GetSchemaInfo(schemas, true);
    FLogonSchemas = schemas;
    if (!schemas.contains(schema) && !schemas.isEmpty()) {
        schema = schemas.first();
        c.setParam(QStringLiteral("MetaDefSchema"), schema);
    }
    try {
        RunStatement(QStringLiteral("set search_path to ") + QuoteIdentifier(schema, TkdOption::Global().UseLowerName));
    } catch (const std::exception &) {
        // A search path the server refuses leaves the default one.
    }
    // The explicit transaction starts after the session settings: a later ROLLBACK of the
    // user's work must not take the search path back with it.
    if (!TkdOption::Global().UpdateToCommit)
        ExecuteSQL(QStringLiteral("BEGIN"));
    if (args.UserID.isEmpty())
        c.setParam(QStringLiteral("OSAuthent"), QStringLiteral("Yes"));

    if (host) {
        host->AddChildWindow(this);
        host->AddConnection(this);
        FJoined = true;
        SendKdMessage(host->ChildWindows(), WM_DBCHANGE);
    }
    // The layout holds the stored schema display filter that the tree is built with.
    LoadWindowLayout();
    ShowTree();
    FLogonSchemas.reset();
    if (host) {
        FTaskButton = host->CreateTaskButton(this);
        FTaskButton->setText(FormatRecParam(rec, 0, true));
        FTaskButton->setIcon(host->Image(94));
    }
}

void TfrmObject::ReadServerVersion()
{
    // The version number comes from the server's numeric version, which every server from
    // 7.4 on reports; the text of version() only tells whether the server runs on Linux.
    FDBVer = FdbsMain->dbVer();
    if (FDBVer <= 0)
        FDBVer = 999999;
}

bool TfrmObject::g_Linux_Ver()
{
    if (!FLinuxVer) {
        try {
            db::Query *q = OpenLookup(QStringLiteral("SELECT version()"));
            const QString text = q->isEmpty() ? QString() : q->field(0).asString();
            q->close();
            FLinuxVer = text.contains(QLatin1String("linux"));
        } catch (const std::exception &) {
            return false; // asked again next time
        }
    }
    return *FLinuxVer;
}

QString TfrmObject::ConnectionParam(const QString &name) const
{
    return FdbsMain->param(name);
}

int TfrmObject::ObjectCount() const
{
    return lstObject->model()->rowCount();
}

int TfrmObject::SelectedObjectCount() const
{
    return int(lstObject->SelectedRows().size());
}

void TfrmObject::FormActivate()
{
    mnuObjectClick();
    if (TkdMainForm *host = TkdMainForm::Instance()) {
        host->SelectConnection(this);
        host->MergeMenu(mnuObject);
    }
    if (FTaskButton)
        FTaskButton->setChecked(true);
}

bool TfrmObject::event(QEvent *e)
{
    switch (int(e->type())) {
    case WM_RELOAD:
        // The user's reload also shows what other sessions changed: what code assist keeps
        // of the catalog is read again.
        FdbsMain->markCatalogChanged();
        GuardedCall([this] { ShowObject(false); });
        return true;
    case WM_DBCHANGE:
        return true; // the connection window keeps its own connection
    case QEvent::WindowTitleChange:
        // The connection window's button carries its caption as its text.
        if (FTaskButton)
            FTaskButton->setText(windowTitle());
        break;
    default:
        break;
    }
    return QWidget::event(e);
}

// ---------------------------------------------------------------------------------------------
// Close

bool TfrmObject::FormCloseQuery()
{
    TkdMainForm *host = TkdMainForm::Instance();
    if (!host)
        return true;
    const QList<QWidget *> windows = host->ChildWindows();
    for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
        auto *form = qobject_cast<TkdForm *>(*it);
        if (form && form->OwnerForm() == this && !form->CanClose())
            return false;
    }
    return true;
}

void TfrmObject::FormClose()
{
    TkdMainForm *host = TkdMainForm::Instance();
    if (host)
        host->SetStatusText(QString());
    GuardedCall([this] { SaveWindowLayout(); });
    // The widths of the list's columns, under the value names of its layout.
    GuardedCall([this] { FListPane->SaveColumnWidths(); });
    if (!TkdOption::Global().UpdateToCommit && FdbsMain->isConnected()) {
        try {
            FdbsMain->execute(QStringLiteral("ROLLBACK"));
        } catch (const std::exception &) {
            // A failed rollback changes nothing: the connection closes next.
        }
    }
    qryExec->close();
    qryObject->close();
    FdbsMain->close();
    FdbsBG->close();
    FdbsTrace->close();
    FClosed = true;
    ClearCopiedObjects();
    if (host) {
        // Only this window's own menu leaves the menu bar: when another window is active,
        // its merged menu stays.
        host->UnmergeMenu(mnuObject);
        host->SetDefMessage();
    }
    if (host && FJoined) {
        host->RemoveConnection(this);
        FJoined = false;
        SendKdMessage(host->ChildWindows(), WM_DBCHANGE);
    }
}

void TfrmObject::closeEvent(QCloseEvent *e)
{
    if (FClosed) {
        e->accept();
        return;
    }
    if (FListPane && FListPane->Filling()) {
        FCloseAfterFill = true;
        FListPane->StopFill();
        e->ignore();
        return;
    }
    bool may = false;
    GuardedCall([&] { may = FormCloseQuery(); });
    if (!may) {
        e->ignore();
        return;
    }
    FormClose();
    e->accept();
}

namespace {
QString ObjectLayoutKey()
{
    return QString::fromUtf16(kMainKey) + QStringLiteral("\\GUI\\OBJECT");
}
} // namespace

void TfrmObject::LoadWindowLayout()
{
    TkdRegistry &reg = SharedRegistry();
    Disp = 0;
    const QString treeKey = ObjectTreeKey(ConnectionParam(QStringLiteral("Database")));
    if (reg.KeyExists(treeKey) && reg.OpenKey(treeKey, false)) {
        Disp = reg.GetInteger(QStringLiteral("Disp"), 0);
        reg.CloseKey();
    }
    if (!reg.OpenKey(ObjectLayoutKey(), true))
        return;
    QWidget *frame = parentWidget() ? parentWidget() : this;
    TkdMainForm *host = TkdMainForm::Instance();
    int state = 0;
    if (host && host->ChildWindows().size() == 1) {
        state = reg.GetInteger(QStringLiteral("WindowState"), 0);
        if (state == 2)
            frame->showMaximized();
    }
    if (state != 2)
        frame->resize(reg.GetInteger(QStringLiteral("Width"), frame->width()),
                      reg.GetInteger(QStringLiteral("Height"), frame->height()));
    const int tree = std::max(30, reg.GetInteger(QStringLiteral("TreeWidth"), pnlTree->width()));
    splObject->setSizes({tree, std::max(100, splObject->width() - tree)});
    reg.CloseKey();
}

void TfrmObject::SaveWindowLayout()
{
    TkdRegistry &reg = SharedRegistry();
    QWidget *frame = parentWidget() ? parentWidget() : this;
    if (reg.OpenKey(ObjectLayoutKey(), true)) {
        const int state = frame->isMaximized() ? 2 : frame->isMinimized() ? 1 : 0;
        reg.WriteInteger(QStringLiteral("WindowState"), state);
        if (state == 0) {
            reg.WriteInteger(QStringLiteral("Width"), frame->width());
            reg.WriteInteger(QStringLiteral("Height"), frame->height());
        }
        reg.WriteInteger(QStringLiteral("TreeWidth"), pnlTree->width());
        reg.CloseKey();
    }
    if (reg.OpenKey(ObjectTreeKey(ConnectionParam(QStringLiteral("Database"))), true)) {
        reg.WriteInteger(QStringLiteral("Disp"), Disp);
        reg.CloseKey();
    }
}

// ---------------------------------------------------------------------------------------------
// SQL services

void TfrmObject::RunStatement(const QString &sqlText)
{
    qryExec->close();
    qryExec->setParamCreation(false);
    qryExec->clearParams();
    qryExec->setSql(sqlText);
    RunPrepared();
}

void TfrmObject::RunPrepared()
{
    try {
        qryExec->prepare();
        // A plain query is opened (its rows are never read); everything else is executed.
        if (qryExec->commandKind() == db::CommandKind::Select)
            qryExec->open();
        else
            qryExec->execute();
    } catch (...) {
        qryExec->close();
        throw;
    }
    qryExec->close();
}

void TfrmObject::ExecuteSQL(const QString &sqlText)
{
    TkdWaitCursor wait;
    RunStatement(sqlText);
}

void TfrmObject::ExecuteSQL(const QStringList &sqlText, bool ignoreError)
{
    TkdWaitCursor wait;
    QString buffer;
    auto flush = [&] {
        if (!TrimCtl(buffer).isEmpty()) {
            try {
                RunStatement(buffer);
            } catch (const std::exception &) {
                if (!ignoreError)
                    throw;
            }
        }
        buffer.clear();
    };
    for (const QString &line : sqlText) {
        if (TrimCtl(line) == QLatin1String(";"))
            flush();
        else
            buffer += line + QStringLiteral("\r\n");
    }
    flush();
}

void TfrmObject::PrepareWithValues(const QString &sqlText, const QStringList &values)
{
    qryExec->close();
    qryExec->setParamCreation(true);
    qryExec->setSql(sqlText);
    if (qryExec->paramCount() > values.size())
        throw db::Error(db::Error::Kind::Usage, QStringLiteral("パラメータの値が足りません。(%1 / %2)")
                                                    .arg(values.size())
                                                    .arg(qryExec->paramCount()));
    for (int i = 0; i < qryExec->paramCount(); ++i)
        qryExec->param(i).setAsString(values.at(i));
}

void TfrmObject::ExecuteSQL(const QString &sqlText, const QStringList &values)
{
    TkdWaitCursor wait;
    try {
        PrepareWithValues(sqlText, values);
    } catch (...) {
        qryExec->close();
        throw;
    }
    RunPrepared();
}

db::Query *TfrmObject::OpenSQL(const QString &sqlText)
{
    qryExec->close();
    qryExec->setSmallResult(false);
    qryExec->setParamCreation(false);
    qryExec->clearParams();
    qryExec->setSql(sqlText);
    try {
        qryExec->open();
    } catch (...) {
        qryExec->close();
        throw;
    }
    return qryExec;
}

db::Query *TfrmObject::OpenSQL(const QString &sqlText, const QStringList &values)
{
    try {
        PrepareWithValues(sqlText, values);
        // While scripts are built in a loop every query is a small catalog look-up: one round
        // trip each, without a cursor around it.
        qryExec->setSmallResult(FScriptLoops > 0);
        qryExec->open();
    } catch (...) {
        qryExec->close();
        throw;
    }
    return qryExec;
}

db::Query *TfrmObject::OpenLookup(const QString &sqlText, const QStringList &values)
{
    try {
        qryExec->close();
        if (values.isEmpty()) {
            qryExec->setParamCreation(false);
            qryExec->clearParams();
            qryExec->setSql(sqlText);
        } else {
            PrepareWithValues(sqlText, values);
        }
        qryExec->setSmallResult(true);
        qryExec->open();
    } catch (...) {
        qryExec->close();
        qryExec->setSmallResult(false);
        throw;
    }
    qryExec->setSmallResult(false); // the rows are read; later services choose again
    return qryExec;
}

namespace {
// Reads the first column of every row of an open query into `list`, then closes it.
void ReadFirstColumn(db::Query *q, QStringList &list)
{
    while (!q->eof()) {
        list << q->field(0).asString();
        q->next();
    }
    q->close();
}
} // namespace

void TfrmObject::GetUser(QStringList &listData, bool addPublic)
{
    TkdWaitCursor wait;
    listData.clear();
    ReadFirstColumn(OpenLookup(QStringLiteral("SELECT rolname FROM pg_roles WHERE rolcanlogin = True ORDER BY 1")), listData);
    if (addPublic)
        listData << QStringLiteral("public");
}

void TfrmObject::GetRole(QStringList &listData)
{
    TkdWaitCursor wait;
    listData.clear();
    ReadFirstColumn(OpenLookup(QStringLiteral("SELECT rolname FROM pg_roles WHERE rolcanlogin = False ORDER BY 1")), listData);
}

void TfrmObject::GetTBS(QStringList &listData)
{
    TkdWaitCursor wait;
    listData.clear();
    ReadFirstColumn(OpenLookup(QStringLiteral("SELECT spcname FROM pg_tablespace ORDER BY 1")), listData);
}

void TfrmObject::GetSchemaInfo(QStringList &listData, bool objList)
{
    if (objList && FLogonSchemas) {
        listData = *FLogonSchemas; // read moments ago by the logon
        return;
    }
    TkdWaitCursor wait;
    listData.clear();
    const QString sql = objList
        ? QStringLiteral("SELECT DISTINCT CASE WHEN nspname LIKE 'pg_temp%' THEN 'pg_temp' WHEN nspname LIKE "
                         "'pg_toast_temp%' THEN 'pg_toast_temp' ELSE nspname END FROM pg_namespace WHERE "
                         "(NOT(nspname LIKE 'pg_%') OR (nspname = 'pg_catalog') OR (nspname LIKE 'pg_temp%') OR "
                         "(nspname LIKE 'pg_toast') OR (nspname LIKE 'pg_toast_temp%')) ORDER BY 1;")
        : QStringLiteral("SELECT nspname FROM pg_namespace WHERE (NOT(nspname LIKE 'pg_%') OR nspname = "
                         "'pg_catalog') ORDER BY 1;");
    ReadFirstColumn(OpenLookup(sql), listData);
}

int TfrmObject::GetMySID()
{
    try {
        db::Query *q = OpenLookup(QStringLiteral("SELECT pg_backend_pid()"));
        const int pid = q->isEmpty() ? 0 : q->field(0).asString().toInt();
        q->close();
        return pid;
    } catch (const std::exception &) {
        return -1;
    }
}

QString TfrmObject::GetObjComment(int objType, int oid)
{
    QString catalog;
    switch (objType) {
    case 45: case 46: case 47: case 58: catalog = QStringLiteral("pg_class"); break;
    case 52: catalog = QStringLiteral("pg_proc"); break;
    case 55: catalog = QStringLiteral("pg_type"); break;
    case 57: catalog = QStringLiteral("pg_trigger"); break;
    case 66: catalog = QStringLiteral("pg_constraint"); break;
    case 127: catalog = QStringLiteral("pg_rewrite"); break;
    default: return QString();
    }
    db::Query *q = OpenLookup(QStringLiteral(" SELECT obj_description(x.oid, ") + QuoteLiteral(catalog)
                               + QStringLiteral(") AS obj_comment") + QStringLiteral(" FROM ") + catalog
                               + QStringLiteral(" x") + QStringLiteral(" WHERE x.oid = :OID"),
                           {QString::number(oid)});
    const QString text = q->isEmpty() ? QString() : q->field(0).asString();
    q->close();
    return text;
}

void TfrmObject::GetObject(QStringList &listData, const QString &schema, const QString &objectType)
{
    TkdWaitCursor wait;
    listData.clear();
    const QString schemaValue = schema.trimmed().isEmpty() ? QStringLiteral("%") : schema;
    const QString typeName = objectType.trimmed().isEmpty() ? QStringLiteral("%") : objectType;
    const int code = ObjectTypeOfName(typeName);
    QString selectPart, schemaColumn, orderPart;
    switch (code) {
    case 45:
    case 47:
        selectPart = QStringLiteral("SELECT  TblInf.relname");
        schemaColumn = QStringLiteral("TblNsp.nspname = :SCHEMA");
        orderPart = QStringLiteral("BY      TblInf.relname");
        break;
    case 52:
        selectPart = QStringLiteral("SELECT  Prc.proname");
        schemaColumn = QStringLiteral("Nms.nspname = :SCHEMA");
        orderPart = QStringLiteral("BY      Prc.proname");
        break;
    default:
        // Only tables, views and functions are listed; anything else is refused clearly.
        throw db::Error(db::Error::Kind::Usage,
                        QStringLiteral("オブジェクトの種類 %1 の一覧は取得できません。").arg(typeName));
    }
    QString fromText, whereText;
    ObjectListSQL(code, fromText, whereText);
    whereText += whereText.isEmpty() ? QStringLiteral(" WHERE ") + schemaColumn
                                     : QStringLiteral(" AND   ") + schemaColumn;
    const QString sql = QLatin1Char(' ') + selectPart + fromText + whereText + QStringLiteral(" ORDER ") + orderPart;
    ReadFirstColumn(OpenLookup(sql, {schemaValue}), listData);
}

namespace {
const char *const kDataTypeSQL = R"SQL(SELECT CASE WHEN strpos(TLst.TypNm, '.') > 0 THEN REPLACE(TLst.TypNm, '"', '')
            ELSE CASE WHEN TLst.OrdNo1 = 1 THEN REPLACE(TLst.nspname || '.' || TLst.TypNm, '"', '')
                      ELSE REPLACE(TLst.TypNm, '"', '') END END
FROM (
  SELECT DISTINCT format_type(TLst.oid, NULL) AS TypNm, TLst.typname AS RealNm, TLst.OrdNo1, TLst.OrdNo2, TLst.nspname
  FROM (
    SELECT Typ.OID, Typ.typname, Typ.typtype, Typ.typcategory, Typ.typelem, Typ.typarray, 0 AS OrdNo1,
           CASE WHEN Typ.typarray = 0 THEN 1 ELSE 0 END AS OrdNo2, Nms.nspname
    FROM pg_type AS Typ LEFT JOIN pg_namespace AS Nms ON Typ.typnamespace = Nms.oid
    WHERE Nms.nspname = 'pg_catalog'
      AND Typ.typtype <> 'd'
      AND substr(Typ.typname, 1, 3) <> 'pg_'
      AND Typ.typname NOT IN (SELECT relname FROM pg_class WHERE relkind IN ('r', 'f', 't'))
      AND Typ.typname NOT IN (SELECT relname FROM pg_class WHERE relkind = 'v')
      AND Typ.typname NOT IN (SELECT relname FROM pg_class WHERE relkind = 'S')
    UNION ALL
    SELECT Typ.OID, Typ.typname, Typ.typtype, Typ.typcategory, Typ.typelem, Typ.typarray, 1 AS OrdNo1,
           CASE WHEN Typ.typarray = 0 THEN 1 ELSE 0 END AS OrdNo2, Nms.nspname
    FROM pg_type AS Typ LEFT JOIN pg_namespace AS Nms ON Typ.typnamespace = Nms.oid
    WHERE Nms.nspname <> 'pg_catalog'
      AND Typ.typtype <> 'd'
      AND substr(Typ.typname, 1, 3) <> 'pg_'
      AND (Typ.typname IN (SELECT S.typname FROM pg_type AS S
                             LEFT JOIN pg_namespace AS SN ON S.typnamespace = SN.oid
                             LEFT JOIN pg_class AS SC ON S.typrelid = SC.oid
                            WHERE SC.relkind = 'c' OR S.typtype IN ('e', 'r', 'p')
                               OR (S.typtype = 'b' AND S.typcategory NOT IN
                                   ('A','B','C','D','E','G','I','N','P','R','S','T','V','X')))
        OR substr(Typ.typname, 2) IN (SELECT S.typname FROM pg_type AS S
                             LEFT JOIN pg_namespace AS SN ON S.typnamespace = SN.oid
                             LEFT JOIN pg_class AS SC ON S.typrelid = SC.oid
                            WHERE SC.relkind = 'c' OR S.typtype IN ('e', 'r', 'p')
                               OR (S.typtype = 'b' AND S.typcategory NOT IN
                                   ('A','B','C','D','E','G','I','N','P','R','S','T','V','X'))))
  ) AS TLst
  UNION ALL SELECT 'smallserial', 'smallserial', 0, 0, 'pg_catalog'
  UNION ALL SELECT 'serial', 'serial', 0, 0, 'pg_catalog'
  UNION ALL SELECT 'bigserial', 'bigserial', 0, 0, 'pg_catalog'
%1) AS TLst
ORDER BY TLst.OrdNo1, TLst.TypNm)SQL";
} // namespace

void TfrmObject::GetDataType(QStringList &listData, int objType)
{
    Q_UNUSED(objType); // every editor is offered the same list
    TkdWaitCursor wait;
    listData.clear();
    static const char *const qualifiers[] = {"YEAR", "MONTH", "DAY", "HOUR", "MINUTE", "SECOND", "YEAR TO MONTH",
                                             "DAY TO HOUR", "DAY TO MINUTE", "DAY TO SECOND", "HOUR TO MINUTE",
                                             "HOUR TO SECOND", "MINUTE TO SECOND"};
    QString intervals;
    for (const char *q : qualifiers) {
        const QString name = QStringLiteral("interval ") + QLatin1String(q);
        intervals += QStringLiteral("  UNION ALL SELECT '%1', '%1', 0, 0, 'pg_catalog'\n").arg(name);
        intervals += QStringLiteral("  UNION ALL SELECT '%1[]', '_%1', 0, 1, 'pg_catalog'\n").arg(name);
    }
    static const QStringList skipped = {
        QStringLiteral("any"),      QStringLiteral("anyarray"),  QStringLiteral("anyelement"),
        QStringLiteral("anyenum"),  QStringLiteral("anynonarray"), QStringLiteral("cstring"),
        QStringLiteral("cstring[]"), QStringLiteral("internal"), QStringLiteral("language_handler"),
        QStringLiteral("opaque"),   QStringLiteral("record"),    QStringLiteral("record[]"),
        QStringLiteral("trigger"),  QStringLiteral("void")};
    static const QStringList timed = {
        QStringLiteral("time with time zone"),          QStringLiteral("time with time zone[]"),
        QStringLiteral("time without time zone"),       QStringLiteral("time without time zone[]"),
        QStringLiteral("timestamp with time zone"),     QStringLiteral("timestamp with time zone[]"),
        QStringLiteral("timestamp without time zone"),  QStringLiteral("timestamp without time zone[]")};
    QStringList names;
    ReadFirstColumn(OpenLookup(QString::fromUtf8(kDataTypeSQL).arg(intervals)), names);
    for (const QString &name : names) {
        if (skipped.contains(name))
            continue;
        if (timed.contains(name)) {
            listData << FormatDataType(name, 6); // time(6) with time zone
        } else {
            listData << name;
        }
    }
}
