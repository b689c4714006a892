// What code assist keeps of the catalog per connection, seen through the popup on the sandbox
// server: a second popup reads nothing, changes made through the connection (also undone
// ones) show in the next popup, and nothing kept outlives the session it was read in.
#include "controls/codeassist_fixture.h"

#include <functional>

namespace {

class AssistCacheTest : public AssistShowTest
{
protected:
    // The popup's rows for the text (caption and detail), closed again; "<none>" when no
    // popup came up.
    QStringList Popup(const QString &text)
    {
        win->memo->CloseCodeAssist();
        Type(text);
        F6();
        TkdCodeAssist *p = win->memo->CodeAssist;
        if (!p)
            return {QStringLiteral("<none>") + win->LastError};
        QStringList rows;
        for (int i = 0; i < p->CaptionList.size(); ++i)
            rows << p->CaptionList.at(i) + QLatin1Char('/') + p->SubItemList.at(i) + QLatin1Char('/')
                        + QString::number(p->ImageList.value(i));
        win->memo->CloseCodeAssist();
        return rows;
    }
    // Statements and round trips the connection has sent so far.
    QPair<qint64, qint64> Sent() const { return {FDb->statementCount(), FDb->roundTrips()}; }
    static QStringList Names(const QStringList &rows)
    {
        QStringList names;
        for (const QString &r : rows)
            names << r.section(QLatin1Char('/'), 0, 0);
        return names;
    }
};

} // namespace

TEST_F(AssistCacheTest, SecondPopupForTheSameColumnsSendsNothing)
{
    const QString S = schema();
    // Every way a token names a table's columns: plain, schema-qualified, by alias, with a
    // part being typed.
    const QString texts[] = {"select emp.", "select " + S + ".emp.", "select * from emp e where e.", "select emp.e"};
    for (const QString &text : texts) {
        const QStringList cold = Popup(text);
        ASSERT_GT(cold.size(), 1) << text.toStdString() << cold.join(", ").toStdString();
        const auto before = Sent();
        const QStringList warm = Popup(text);
        EXPECT_EQ(Sent(), before) << text.toStdString() << ": the second popup went to the server";
        EXPECT_EQ(warm, cold) << text.toStdString();
    }
    EXPECT_EQ(Popup("select emp."),
              QStringList({"*//-1", "empno/int4/46", "ename/text/-1", "Hired/date/-1"}));
    // The schema list is kept too: a second popup of a schema's objects reads only the
    // objects, which are narrowed to the prefix each time.
    const QStringList cold = Popup("select " + S + ".");
    const auto before = Sent();
    EXPECT_EQ(Popup("select " + S + "."), cold);
    EXPECT_EQ(Sent().first - before.first, 1) << "only the object list";
}

TEST_F(AssistCacheTest, ChangesMadeThroughTheConnectionShowInTheNextPopup)
{
    const QString S = schema();
    const QStringList original = Names(Popup("select emp."));
    ASSERT_EQ(original, QStringList({"*", "empno", "ename", "Hired"}));
    ASSERT_EQ(Popup("select newtab.").value(0), "<none>");
    // Each change goes through the connection the way the windows send statements.
    db::Query q(FDb.get());
    q.setParamCreation(false);
    auto viaQuery = [&](const QString &sql) {
        q.close();
        q.setSql(sql);
        q.execute();
    };
    viaQuery("ALTER TABLE " + S + ".emp ADD COLUMN bonus integer");
    EXPECT_EQ(Names(Popup("select emp.")), original + QStringList{"bonus"});
    FDb->execute("SELECT 1; ALTER TABLE " + S + ".emp RENAME COLUMN bonus TO extra");
    EXPECT_EQ(Names(Popup("select emp.")), original + QStringList{"extra"});
    FDb->execute("CREATE TABLE " + S + ".newtab (a integer)");
    EXPECT_EQ(Names(Popup("select newtab.")), QStringList({"*", "a"}));
    viaQuery("DROP TABLE " + S + ".newtab");
    EXPECT_EQ(Popup("select newtab.").value(0), "<none>");
}

TEST_F(AssistCacheTest, UndoneChangesAreNotShownAfterTheRollback)
{
    const QString S = schema();
    const QStringList original = Names(Popup("select emp."));
    const QStringList added = original + QStringList{"bonus"};
    // The block and its savepoints as the windows' commands open and end them, and as a user
    // types them into the SQL window.
    struct Case {
        const char *label;
        std::function<void(db::Connection &)> open, undo;
    };
    const QString alter = "ALTER TABLE " + S + ".emp ADD COLUMN bonus integer";
    const Case cases[] = {
        {"block, rollback()", [](db::Connection &c) { c.startTransaction(); },
         [](db::Connection &c) { c.rollback(); }},
        {"savepoint, rollback()",
         [](db::Connection &c) {
             c.startTransaction();
             c.startTransaction();
         },
         [](db::Connection &c) {
             c.rollback();
             c.commit();
         }},
        {"ROLLBACK typed", [](db::Connection &c) { c.execute("BEGIN"); },
         [](db::Connection &c) { c.execute("ROLLBACK"); }},
        {"ROLLBACK TO SAVEPOINT typed",
         [](db::Connection &c) {
             c.execute("BEGIN");
             c.execute("SAVEPOINT s1");
         },
         [](db::Connection &c) {
             c.execute("ROLLBACK TO SAVEPOINT s1");
             c.execute("COMMIT");
         }},
        {"COMMIT of a failed block",
         [](db::Connection &c) {
             c.setStatementSavepoints(false);
             c.execute("BEGIN");
         },
         [](db::Connection &c) {
             EXPECT_THROW(c.execute("SELECT 1 / 0"), db::Error);
             EXPECT_THROW(c.execute("COMMIT"), db::Error); // the server answers ROLLBACK
             c.setStatementSavepoints(true);
         }},
    };
    for (const Case &c : cases) {
        c.open(*FDb);
        FDb->execute(alter);
        EXPECT_EQ(Names(Popup("select emp.")), added) << c.label;
        c.undo(*FDb);
        ASSERT_FALSE(FDb->inTransaction()) << c.label;
        EXPECT_EQ(Names(Popup("select emp.")), original) << c.label;
    }
}

TEST_F(AssistCacheTest, NothingKeptOutlivesTheSessionItWasReadIn)
{
    const QString S = schema();
    QStringList want = Names(Popup("select emp."));
    // A change by another session is not seen while the session lasts (until the user's
    // reload)...
    exec("ALTER TABLE " + S + ".emp ADD COLUMN other1 integer");
    EXPECT_EQ(Names(Popup("select emp.")), want);
    want << "other1";
    // ...but the next session reads the catalog afresh: the same connection opened again,
    // and a new connection in place of a destroyed one (which may get the same address).
    const std::function<void()> nextSession[] = {
        [&] {
            FDb->close();
            FDb->open();
        },
        [&] {
            win.reset();
            FDb.reset();
            FDb = std::make_unique<db::Connection>();
            testdb::setLayerParams(*FDb);
            FDb->open();
            win = std::make_unique<AssistWindow>(FDb.get(), S);
            win->show();
        },
    };
    for (const auto &next : nextSession) {
        next();
        EXPECT_EQ(Names(Popup("select emp.")), want);
        const QString column = QStringLiteral("other%1").arg(want.size());
        exec("ALTER TABLE " + S + ".emp ADD COLUMN " + column + " integer");
        want << column;
    }
}
