#pragma once
// The frames' surroundings in tests: a connection window over a data-access connection to a
// sandbox database (its lookups run the same catalog reads as the real window's, and it
// records every OpenObject call), and a small editor window that hosts a frame.
#include "core/kdforms.h"
#include "core/kdreg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_start.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"
#include "support/qstring_printer.h"
#include "support/testdb.h"
#include "support/testdb_layer.h"

#include <QStringList>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>

struct TOpenObjectCall
{
    int ObjectType;
    QString Schema, ObjectName;
    TOpenMode OpenMode;
    bool ShowRefObject;
    int DefTopRecord;
    quint32 OID;
    QString TableName;
    bool operator==(const TOpenObjectCall &) const = default;
};

inline std::ostream &operator<<(std::ostream &os, const TOpenObjectCall &c)
{
    return os << "OpenObject(" << c.ObjectType << ", " << c.Schema.toStdString() << ", "
              << c.ObjectName.toStdString() << ", " << int(c.OpenMode) << ", " << c.ShowRefObject << ", "
              << c.DefTopRecord << ", " << c.OID << ", " << c.TableName.toStdString() << ")";
}

class FakeConnForm : public QWidget, public TkdConnForm
{
public:
    // Connects to `database` (the test database when empty) as the sandbox user, or as
    // `user`/`password` when given.
    explicit FakeConnForm(const QString &database = QString(), const QString &user = QString(),
                          const QString &password = QString())
    {
        testdb::setLayerParams(FDb, database);
        if (!user.isEmpty()) {
            FDb.setParam(QStringLiteral("User_Name"), user);
            FDb.setParam(QStringLiteral("Password"), password);
        }
        FDb.open();
        FQuery = std::make_unique<db::Query>(&FDb);
    }
    db::Connection *dbsMain() const override { return const_cast<db::Connection *>(&FDb); }
    QString ConnectionParam(const QString &name) const override { return FDb.param(name); }
    int DBVer() const override { return FDb.dbVer(); }
    int DBAMODE() const override { return 0; }
    QWidget *Widget() override { return this; }
    int ObjectCount() const override { return 0; }
    int SelectedObjectCount() const override { return 0; }
    void ExecuteSQL(const QString &sqlText) override { FDb.execute(sqlText); }
    void FormActivate() override {}

    QWidget *OpenObject(int ObjectType, const QString &Schema, const QString &ObjectName, TOpenMode OpenMode,
                        bool ShowRefObject, int DefTopRecord, quint32 OID, const QString &TableName) override
    {
        Opened << TOpenObjectCall{ObjectType, Schema, ObjectName, OpenMode, ShowRefObject, DefTopRecord, OID, TableName};
        return nullptr;
    }
    db::Query *OpenSQL(const QString &sqlText, const QStringList &values) override
    {
        FQuery->close();
        FQuery->setParamCreation(true);
        FQuery->setSql(sqlText);
        for (int i = 0; i < FQuery->paramCount(); ++i)
            FQuery->param(i).setAsString(values.value(i));
        FQuery->open();
        return FQuery.get();
    }
    void GetUser(QStringList &listData, bool addPublic) override
    {
        listData = Column(QStringLiteral("SELECT rolname FROM pg_roles WHERE rolcanlogin = True ORDER BY 1"));
        if (addPublic)
            listData << QStringLiteral("public");
    }
    void GetRole(QStringList &listData) override
    {
        listData = Column(QStringLiteral("SELECT rolname FROM pg_roles WHERE rolcanlogin = False ORDER BY 1"));
    }
    void GetTBS(QStringList &listData) override
    {
        listData = Column(QStringLiteral("SELECT spcname FROM pg_tablespace ORDER BY 1"));
    }

    QList<TOpenObjectCall> Opened;
    db::Connection FDb;

private:
    QStringList Column(const QString &sql)
    {
        db::Query *q = OpenSQL(sql, {});
        QStringList list;
        while (!q->eof()) {
            list << q->field(0).asString();
            q->next();
        }
        q->close();
        return list;
    }
    std::unique_ptr<db::Query> FQuery;
};

// An editor window holding one frame of type F.
template <class F>
class FrameHostForm : public TkdForm
{
public:
    FrameHostForm(TkdConnForm *conn, int objType, bool isNew = false) : TkdForm(conn->Widget())
    {
        setAttribute(Qt::WA_DeleteOnClose, false);
        SetObjType(objType);
        SetIsNew(isNew);
        auto *l = new QVBoxLayout(this);
        Frame = new F(this);
        l->addWidget(Frame);
        resize(900, 600);
        Reloads = 0;
    }
    void Reload() override { ++Reloads; }
    F *Frame;
    int Reloads = 0;
};

// Fresh option records with their defaults.
inline void ResetFrameOptions()
{
    InitializeSharedUnit();
    LoadSettings();
}
