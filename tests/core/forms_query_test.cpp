// The base child window's queries follow its connection: bound when the window is built,
// closed and rebound when OwnerForm changes, closed when the window is destroyed. Against the
// sandbox server: two connection windows on two databases.
#include "core/kdforms.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"
#include "support/qstring_printer.h"
#include "support/testdb.h"
#include "support/testdb_connform.h"

#include <QApplication>
#include <QPointer>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>

namespace {

using testdb::DbConnForm;

// A window whose queries exist before InitForm, one of them inside a frame-like child.
class QueryForm : public TkdForm
{
public:
    explicit QueryForm(QObject *owner) : TkdForm(owner)
    {
        auto *frame = new QWidget(this);
        (new QVBoxLayout(this))->addWidget(frame);
        qryMain = new db::Query(nullptr, this);
        qryFrame = new db::Query(nullptr, frame);
        InitForm();
    }
    db::Query *qryMain;
    db::Query *qryFrame;
};

QString Scalar(db::Query &q, const QString &sql)
{
    q.setSql(sql);
    q.open();
    return q.field(0).asString();
}

// Cursors the session of `conn` holds open on the server.
int OpenCursors(db::Connection *conn)
{
    db::Query q(conn);
    q.setSmallResult(true);
    return Scalar(q, QStringLiteral("SELECT count(*) FROM pg_cursors")).toInt();
}

class FormQueryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (testdb::params().host.isEmpty())
            GTEST_SKIP() << "no sandbox server";
        First = std::make_unique<DbConnForm>(testdb::params().database);
        Second = std::make_unique<DbConnForm>(testdb::params().sampleDatabase);
    }
    std::unique_ptr<DbConnForm> First, Second;
};

} // namespace

TEST_F(FormQueryTest, QueriesMadeBeforeInitFormJoinTheOwnersConnection)
{
    auto form = std::make_unique<QueryForm>(First.get());
    EXPECT_EQ(form->qryMain->connection(), First->dbsMain());
    EXPECT_EQ(form->qryFrame->connection(), First->dbsMain()) << "queries inside child widgets too";
    EXPECT_EQ(Scalar(*form->qryFrame, QStringLiteral("SELECT current_database()")), testdb::params().database);

    // A window without an owner leaves its queries as they were made.
    QObject stranger;
    auto loose = std::make_unique<QueryForm>(&stranger);
    EXPECT_EQ(loose->qryMain->connection(), nullptr);
}

TEST_F(FormQueryTest, ChangingTheOwnerClosesAndRebindsEveryQuery)
{
    auto form = std::make_unique<QueryForm>(First.get());
    // An open result behind a server-side cursor on the first connection.
    form->qryMain->setSql(QStringLiteral("SELECT g FROM generate_series(1, 5000) g"));
    form->qryMain->open();
    ASSERT_TRUE(form->qryMain->isActive());
    ASSERT_GE(OpenCursors(First->dbsMain()), 1);
    int closes = 0;
    QObject::connect(form->qryMain, &db::DataSet::afterClose, [&] { ++closes; });
    QList<TkdConnForm *> signalled;
    QObject::connect(form.get(), &TkdForm::OwnerFormChanged, [&](TkdConnForm *f) {
        // The queries are already bound when the window hears of the change.
        EXPECT_EQ(form->qryMain->connection(), f ? f->dbsMain() : nullptr);
        signalled << f;
    });

    form->SetOwnerForm(Second.get());
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(form->qryMain->isActive());
    EXPECT_EQ(OpenCursors(First->dbsMain()), 0) << "the old connection keeps no cursor";
    EXPECT_EQ(form->qryMain->connection(), Second->dbsMain());
    EXPECT_EQ(form->qryFrame->connection(), Second->dbsMain());
    EXPECT_EQ(Scalar(*form->qryMain, QStringLiteral("SELECT current_database()")),
              testdb::params().sampleDatabase);
    EXPECT_EQ(Scalar(*form->qryFrame, QStringLiteral("SELECT current_database()")),
              testdb::params().sampleDatabase);

    // The same owner again changes nothing; the open query stays open.
    form->SetOwnerForm(Second.get());
    EXPECT_TRUE(form->qryMain->isActive());
    EXPECT_EQ(signalled.size(), 1);

    // Without an owner the queries are closed and unbound.
    form->SetOwnerForm(nullptr);
    EXPECT_FALSE(form->qryMain->isActive());
    EXPECT_FALSE(form->qryFrame->isActive());
    EXPECT_EQ(form->qryMain->connection(), nullptr);
    EXPECT_EQ(signalled, (QList<TkdConnForm *>{Second.get(), nullptr}));
}

TEST_F(FormQueryTest, DestroyingTheWindowClosesItsQueries)
{
    auto *form = new QueryForm(First.get());
    form->qryMain->setSql(QStringLiteral("SELECT g FROM generate_series(1, 5000) g"));
    form->qryMain->open();
    form->qryFrame->setSql(QStringLiteral("SELECT g FROM generate_series(1, 5000) g"));
    form->qryFrame->open();
    ASSERT_GE(OpenCursors(First->dbsMain()), 2);
    int closes = 0;
    for (db::Query *q : {form->qryMain, form->qryFrame})
        QObject::connect(q, &db::DataSet::afterClose, [&] { ++closes; });
    delete form;
    EXPECT_EQ(closes, 2) << "listeners hear the close";
    EXPECT_EQ(OpenCursors(First->dbsMain()), 0);
    EXPECT_TRUE(First->dbsMain()->isConnected());
}
