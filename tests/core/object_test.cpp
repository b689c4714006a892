// Object-type codes and names, and the identity texts of connections and objects.
#include "core/kdconnservices.h"
#include "core/kdsub_object.h"
#include "support/qstring_printer.h"
#include <QMap>
#include <gtest/gtest.h>

namespace {

QString u(const char *s) { return QString::fromUtf8(s); }

TEST(ObjectType, NamesAndCodesBothWays)
{
    struct Case { QString name; int code; };
    const Case toCode[] = {
        {u("TABLE"), 45}, {u("table"), 45}, {u("Table"), 45}, {u(" TABLE"), -1}, {u("TABLE "), -1},
        {u("Rule"), 127}, {u("USERS"), -1}, {u(""), -1}, {u("USER"), 2}, {u("function"), 52},
        {u("package body"), 54}, {u("MATERIALIZED VIEW LOG"), 62}, {u("TABLE PARTITION"), 73},
        {u("SCHEMA"), -1}, {u("テーブル"), -1},
    };
    for (const Case &c : toCode)
        EXPECT_EQ(ObjectTypeOfName(c.name), c.code) << c.name.toStdString();

    const QMap<int, QString> toName{{2, u("USER")}, {3, u("USER")}, {4, u("")}, {71, u("")},
                                    {126, u("")}, {0, u("")}, {-1, u("")}, {45, u("TABLE")},
                                    {69, u("TABLESPACE")}, {74, u("INDEX PARTITION")},
                                    {127, u("RULE")}, {128, u("")}};
    for (auto it = toName.begin(); it != toName.end(); ++it)
        EXPECT_EQ(NameOfObjectType(it.key()), it.value()) << it.key();

    // every named code except the second user code converts back to itself
    for (int code = -1; code <= 200; ++code) {
        const QString name = NameOfObjectType(code);
        if (!name.isEmpty() && code != 3) {
            EXPECT_EQ(ObjectTypeOfName(name), code) << code;
        }
    }
}

TEST(RecParam, FormatModesAndCut)
{
    const TRecParam r = MakeRecParam(u("srv"), u("db1"), u("hr"), u("5432"), u("scott"),
                                     u("secret"), u("emp"), QString(), u("dept"));
    struct Case { int mode; bool cut; QString expected; };
    const Case cases[] = {
        {0, false, u("scott @ db1/srv:5432")},
        {0, true, u("scott @ db…")},
        {1, false, u("scott @ db1/srv:5432:hr")},
        {2, false, u("hr @ db1/srv:5432")},
        {3, false, u("hr.emp @ db1/srv:5432")},
        {4, false, u("hr.emp @ db1/srv:5432")},
        {5, false, u("hr.dept.emp @ db1/srv:5432")},
        {6, false, u("emp @ db1/srv:5432")},
        {7, false, u("")}, {7, true, u("")}, {-1, false, u("")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FormatRecParam(r, c.mode, c.cut), c.expected) << c.mode << " " << c.cut;

    TRecParam f = r;
    f.strParamNm = u("integer, text");
    EXPECT_EQ(FormatRecParam(f, 4, false), u("hr.emp(integer, text) @ db1/srv:5432"));
    for (const TRecParam &rec : {r, f})
        for (int mode = 0; mode <= 6; ++mode)
            EXPECT_FALSE(FormatRecParam(rec, mode).contains(u("secret")));

    // the cut: 12 characters stay whole, 13 become 10 and an ellipsis
    TRecParam twelve = MakeRecParam(u("s"), u("d"), u(""), u("1"), u("abcd"), u(""));
    ASSERT_EQ(FormatRecParam(twelve, 0).size(), 12);
    EXPECT_EQ(FormatRecParam(twelve, 0, true), FormatRecParam(twelve, 0));
    twelve.strUserNm = u("abcde");
    EXPECT_EQ(FormatRecParam(twelve, 0, true), u("abcde @ d/…"));
    TRecParam ja = MakeRecParam(u("サーバ"), u("データベース"), u(""), u("5432"), u("利用者"), u(""));
    EXPECT_EQ(FormatRecParam(ja, 0, true), u("利用者 @ データベ…"));
}

TEST(RecParam, ConnectionsCompareExactly)
{
    const TRecParam a = MakeRecParam(u("srv"), u("Sales"), u("public"), u("5432"), u("Scott"), u("p1"));
    TRecParam b = a;
    b.strSchema = u("other");
    b.strPassword = u("p2");
    b.strObjNm = u("emp");
    EXPECT_TRUE(SameConnection(a, b));
    struct Change { QString TRecParam::*field; QString value; };
    const Change changes[] = {{&TRecParam::strDB, u("sales")}, {&TRecParam::strUserNm, u("scott")},
                              {&TRecParam::strServer, u("SRV2")}, {&TRecParam::strPort, u("5433")}};
    for (const Change &c : changes) {
        TRecParam other = a;
        other.*c.field = c.value;
        EXPECT_FALSE(SameConnection(a, other)) << c.value.toStdString();
    }
    const QStringList ids{ConnectionIdentity(MakeRecParam(u("srv"), u("sales"), u(""), u("5432"), u("scott"), u(""))),
                          ConnectionIdentity(a)};
    EXPECT_EQ(IndexOfConnectionIdentity(ids, ConnectionIdentity(a)), 1);
    EXPECT_EQ(IndexOfConnectionIdentity(ids, u("SCOTT @ SALES/srv:5432")), -1);
}

class FakeConnection : public TkdConnServices {
public:
    QMap<QString, QString> FParams;
    db::Connection *dbsMain() const override { return nullptr; }
    QString ConnectionParam(const QString &Name) const override { return FParams.value(Name); }
    int DBVer() const override { return 150004; }
    int DBAMODE() const override { return 0; }
};

TEST(RecParam, BuiltFromConnectionParameters)
{
    FakeConnection c;
    c.FParams = {{u("Server"), u("h")}, {u("Database"), u("d")}, {u("MetaDefSchema"), u("s")},
                 {u("Port"), u("5")}, {u("User_Name"), u("u")}, {u("Password"), u("p")}};
    const TRecParam r = c.RecParam();
    EXPECT_EQ(FormatRecParam(r, 1), u("u @ d/h:5:s"));
    EXPECT_EQ(r.strPassword, u("p"));
    EXPECT_EQ(c.CurrentSchema(), u("s"));
}

} // namespace
