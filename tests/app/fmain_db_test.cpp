// The main window's commands that read the catalogs, against the sandbox server: open
// definition from the selected text, and work-space entries of functions whose OID changed.
#include "app/fmain.h"
#include "app/stubconn.h"
#include "controls/kdcomctrls.h"
#include "controls/kdmemo.h"
#include "core/kdreg.h"
#include "core/kdsub_msg.h"
#include "core/kdworkspace.h"
#include "support/qstring_printer.h"
#include "support/testdb.h"
#include "support/testdb_layer.h"

#include <QApplication>
#include <QMdiArea>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

void Flush()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// A connection window whose connection reaches the sandbox server.
class DbConnForm : public StubConnForm
{
public:
    explicit DbConnForm(const QString &schema)
        : StubConnForm(testdb::params().user, testdb::params().database, testdb::params().host, testdb::params().port)
    {
        testdb::setLayerParams(FConn);
        FConn.setParam(QStringLiteral("MetaDefSchema"), schema);
        FConn.open();
        SetParam(QStringLiteral("MetaDefSchema"), schema);
    }
    db::Connection *dbsMain() const override { return const_cast<db::Connection *>(&FConn); }

private:
    db::Connection FConn;
};

class MainDbTest : public testdb::SchemaTest
{
protected:
    void SetUp() override
    {
        testdb::SchemaTest::SetUp();
        FOldHook = SetMessageBoxHook([this](MessageBoxRequest &r) {
            Boxes << r.text;
            return IDOK;
        });
        SetLogonProc([](const TLogonValues &, bool) { return true; });
        exec(QStringLiteral("CREATE TABLE %1.emp (id int PRIMARY KEY, name text)").arg(schema()));
        exec(QStringLiteral("CREATE TABLE %1.t2 (id int)").arg(schema()));
        exec(QStringLiteral("CREATE FUNCTION %1.calc(integer) RETURNS integer AS 'SELECT $1' LANGUAGE sql").arg(schema()));
        exec(QStringLiteral("CREATE FUNCTION %1.calc(text) RETURNS text AS 'SELECT $1' LANGUAGE sql").arg(schema()));
        exec(QStringLiteral("CREATE FUNCTION %1.emp() RETURNS integer AS 'SELECT 1' LANGUAGE sql").arg(schema()));
        exec(QStringLiteral("CREATE FUNCTION %1.trgf() RETURNS trigger AS 'BEGIN RETURN NEW; END' LANGUAGE plpgsql")
                 .arg(schema()));
        exec(QStringLiteral("CREATE TRIGGER trg BEFORE INSERT ON %1.emp FOR EACH ROW EXECUTE FUNCTION %1.trgf()").arg(schema()));
        exec(QStringLiteral("CREATE TRIGGER trg BEFORE INSERT ON %1.t2 FOR EACH ROW EXECUTE FUNCTION %1.trgf()").arg(schema()));
        exec(QStringLiteral("CREATE TABLE %1.\"b.c\" (id int)").arg(schema()));
        SharedRegistry().DeleteKey(QString::fromUtf16(kMainKey) + QStringLiteral("\\WORKSPACE"));
        Main = new TfrmMain(QStringList());
        Main->SetCloseSteps({});
        Main->show();
        QApplication::setActiveWindow(Main);
        Flush();
        Conn = new DbConnForm(QStringLiteral("public"));
        Main->AddChildWindow(Conn);
        Main->AddConnection(Conn);
        Editor = new TkdMemo;
        Main->AddChildWindow(Editor);
        Flush();
    }
    void TearDown() override
    {
        Main->SetCloseSteps({});
        delete Main;
        Flush();
        SharedRegistry().DeleteKey(QString::fromUtf16(kMainKey) + QStringLiteral("\\WORKSPACE"));
        SetLogonProc({});
        SetMessageBoxHook(FOldHook);
        testdb::SchemaTest::TearDown();
    }
    QStringList OpenSelected(const QString &text)
    {
        Conn->Opened.clear();
        Editor->setText(text);
        Editor->selectAll(true);
        QApplication::setActiveWindow(Main);
        Editor->setFocus();
        Flush();
        Main->UpdateEditActions();
        Main->Act(QStringLiteral("actEditOpen"))->trigger();
        QStringList opened = Conn->Opened;
        // OIDs differ from run to run: a function shows as "oid".
        for (QString &o : opened) {
            QStringList f = o.split(QLatin1Char('|'));
            if (f.value(0) == QLatin1String("52"))
                f[5] = QStringLiteral("oid");
            o = f.join(QLatin1Char('|'));
        }
        opened.sort();
        return opened;
    }
    QString Oid(const QString &signature) { return scalar(QStringLiteral("SELECT '%1.%2'::regprocedure::oid").arg(schema(), signature)); }

    TfrmMain *Main = nullptr;
    DbConnForm *Conn = nullptr;
    TkdMemo *Editor = nullptr;
    QStringList Boxes;

private:
    MessageBoxHook FOldHook;
};

} // namespace

TEST_F(MainDbTest, OpenDefinitionOpensEveryObjectOfTheSelectedSchemaAndName)
{
    const QString s = schema();
    // Qualified: the table and the function of the same name, in that schema though public is current.
    EXPECT_EQ(OpenSelected(s + QStringLiteral(".emp")),
              (QStringList{"45|" + s + "|emp|0|0|0|emp", "52|" + s + "|emp|0|0|oid|"}));
    // Two overloads open two windows; triggers of one name on two tables one each.
    EXPECT_EQ(OpenSelected(s + QStringLiteral(".calc")), (QStringList{"52|" + s + "|calc|0|0|oid|", "52|" + s + "|calc|0|0|oid|"}));
    EXPECT_EQ(OpenSelected(s + QStringLiteral(".trg")),
              (QStringList{"57|" + s + "|trg|0|0|0|emp", "57|" + s + "|trg|0|0|0|t2"}));
    // The name after the first dot, further dots included.
    EXPECT_EQ(OpenSelected(s + QStringLiteral(".b.c")), QStringList{"45|" + s + "|b.c|0|0|0|b.c"});
    // Names compare exactly; quotes stay part of the name; the current schema is public.
    EXPECT_TRUE(OpenSelected(s + QStringLiteral(".EMP")).isEmpty());
    EXPECT_TRUE(OpenSelected(QStringLiteral("\"") + s + QStringLiteral("\".emp")).isEmpty());
    EXPECT_TRUE(OpenSelected(QStringLiteral("emp")).isEmpty());
    Conn->SetParam(QStringLiteral("MetaDefSchema"), s);
    EXPECT_EQ(OpenSelected(QStringLiteral("emp")).size(), 2);
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join(QLatin1Char('\n')).toStdString();
}

TEST_F(MainDbTest, AFunctionWhoseOidChangedOpensAllItsOverloadsWithOneWarning)
{
    const QString s = schema();
    const QString identity = Conn->Identity();
    WorkSpaceStore() = {
        {52, QStringLiteral("calc(integer) (x)"), s, QStringLiteral("calc"), identity, Oid(QStringLiteral("calc(integer)")).toLongLong(), QString()},
        {52, QStringLiteral("calc(lost) (x)"), s, QStringLiteral("calc"), identity, 1, QString()},
        {52, QStringLiteral("emp(lost) (x)"), s, QStringLiteral("emp"), identity, 2, QString()},
    };
    SaveWorkSpace();
    Main->ShowWorkSpace(nullptr);
    QTreeWidget *list = Main->lstWorkSpace;
    ASSERT_EQ(list->topLevelItemCount(), 3);
    // The entry whose function still exists opens that one function, without a warning.
    list->topLevelItem(0)->setSelected(true);
    Main->WorkSpaceOpen(omDefine);
    EXPECT_EQ(Conn->Opened, QStringList{"52|" + s + "|calc|0|0|" + Oid(QStringLiteral("calc(integer)")) + "|"});
    EXPECT_TRUE(Boxes.isEmpty());
    // Two lost entries: every overload of each name, and the warning once.
    Conn->Opened.clear();
    list->clearSelection();
    list->topLevelItem(1)->setSelected(true);
    list->topLevelItem(2)->setSelected(true);
    Main->WorkSpaceOpen(omDefine);
    EXPECT_EQ(Conn->Opened.size(), 3);
    ASSERT_EQ(Boxes.size(), 1);
    EXPECT_TRUE(Boxes.first().startsWith(QStringLiteral("OID番号が一致するFUNCTIONが見つからなかった為、")));
}
