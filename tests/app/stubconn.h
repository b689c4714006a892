#pragma once
// A connection window without a server, for tests of the main window's bookkeeping (the
// selector, the enabling rule, activation and close order). Windows that run SQL are tested
// with the real connection window against the sandbox server.
#include "core/kdforms.h"
#include "core/kdsub_object.h"

#include <QCloseEvent>
#include <QMap>
#include <QStringList>
#include <QWidget>

class StubConnForm : public QWidget, public TkdConnForm
{
public:
    StubConnForm(const QString &user, const QString &database, const QString &server, const QString &port,
                 int dbVer = 150000, QStringList *closeLog = nullptr)
        : FDBVer(dbVer), FCloseLog(closeLog)
    {
        FParams = {{QStringLiteral("User_Name"), user}, {QStringLiteral("Database"), database},
                   {QStringLiteral("Server"), server}, {QStringLiteral("Port"), port}};
        setAttribute(Qt::WA_DeleteOnClose);
        setWindowTitle(QStringLiteral("オブジェクトリスト - ") + Identity());
    }
    // Adds the window to the main window and joins the selector, as a connection window does.
    static StubConnForm *Open(TkdMainForm *host, const QString &user, const QString &database,
                              int dbVer = 150000, QStringList *closeLog = nullptr)
    {
        auto *f = new StubConnForm(user, database, QStringLiteral("localhost"), QStringLiteral("5432"), dbVer, closeLog);
        host->AddChildWindow(f);
        host->AddConnection(f);
        return f;
    }
    db::Connection *dbsMain() const override { return nullptr; }
    QString ConnectionParam(const QString &name) const override { return FParams.value(name); }
    int DBVer() const override { return FDBVer; }
    int DBAMODE() const override { return 0; }
    QWidget *Widget() override { return this; }
    int ObjectCount() const override { return Objects; }
    int SelectedObjectCount() const override { return Selected; }
    void ExecuteSQL(const QString &sqlText) override { Statements << sqlText; }
    void FormActivate() override
    {
        if (TkdMainForm *host = TkdMainForm::Instance())
            host->SelectConnection(this);
    }
    QWidget *OpenObject(int ObjectType, const QString &Schema, const QString &ObjectName, TOpenMode OpenMode,
                        bool ShowRefObject, int DefTopRecord, quint32 OID, const QString &TableName) override
    {
        Q_UNUSED(ShowRefObject);
        Opened << QStringLiteral("%1|%2|%3|%4|%5|%6|%7")
                      .arg(ObjectType).arg(Schema, ObjectName).arg(int(OpenMode)).arg(DefTopRecord).arg(OID).arg(TableName);
        return nullptr;
    }
    QWidget *ObjectListWidget() const override { return ObjectList; }
    void SetObjectListStyle(bool Report) override { ReportStyle = Report; }
    bool ReportStyle = true;
    QList<TObjectItem> SelectedObjectItems() const override { return Items; }
    void SetParam(const QString &name, const QString &value) { FParams[name] = value; }

    int Objects = 0;
    int Selected = 0;
    QStringList Statements;
    // OpenObject calls as "type|schema|name|mode|count|oid|table".
    QStringList Opened;
    QWidget *ObjectList = nullptr;
    QList<TObjectItem> Items;

protected:
    void closeEvent(QCloseEvent *e) override
    {
        if (FCloseLog)
            FCloseLog->append(Identity());
        if (TkdMainForm *host = TkdMainForm::Instance())
            host->RemoveConnection(this);
        e->accept();
    }

private:
    QMap<QString, QString> FParams;
    int FDBVer;
    QStringList *FCloseLog;
};
