// Marking a failed statement in the editor: lines, a quoted name, and a failing table look-up
// that must fall back to the statement's lines.
#include "controls/kdmemo.h"
#include "controls/kdsqlerrormark.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"
#include "support/testdb.h"
#include "support/testdb_layer.h"

namespace {

class SqlErrorMarkTest : public testdb::SchemaTest {
protected:
    void SetUp() override
    {
        testdb::SchemaTest::SetUp();
        testdb::setLayerParams(FConn);
        FConn.open();
        memo.setText(QStringLiteral("select 1;\nSELECT EMPNO2, EMPNO\n  FROM EMP;\nselect 2;"));
    }
    db::Connection FConn;
    TkdMemo memo;
};

TEST_F(SqlErrorMarkTest, ServerMessageSelectsTheStatementLinesUnlessTextIsSelected)
{
    MarkSQLError(&memo, nullptr, QStringLiteral("scott"), 1, 2,
                 QStringLiteral("ERROR: column \"x\" does not exist"));
    int l1, i1, l2, i2;
    memo.getSelection(&l1, &i1, &l2, &i2);
    EXPECT_EQ(l1, 1);
    EXPECT_EQ(i1, 0);
    EXPECT_EQ(l2, 3);
    EXPECT_EQ(i2, 0);

    memo.setSelection(0, 0, 0, 6);
    MarkSQLError(&memo, nullptr, QStringLiteral("scott"), 1, 2, QStringLiteral("ERROR: syntax error"));
    EXPECT_EQ(memo.selectedText(), QStringLiteral("select"));
}

TEST_F(SqlErrorMarkTest, QuotedIdentifierIsSelectedWhereItStandsAlone)
{
    MarkSQLError(&memo, nullptr, QStringLiteral("scott"), 1, 2,
                 QStringLiteral("ORA-00904: \"EMPNO\": invalid identifier"));
    EXPECT_EQ(memo.selectedText(), QStringLiteral("EMPNO"));
    int l1, i1, l2, i2;
    memo.getSelection(&l1, &i1, &l2, &i2);
    EXPECT_EQ(l1, 1);
    EXPECT_EQ(i1, 15);
}

TEST_F(SqlErrorMarkTest, FailingTableLookUpFallsBackToTheStatementLines)
{
    // This server has no ALL_TABLES: the look-up fails and must not replace the user's error.
    db::Query query(&FConn);
    EXPECT_NO_THROW(MarkSQLError(&memo, &query, QStringLiteral("scott"), 1, 2,
                                 QStringLiteral("ORA-00942: table or view does not exist")));
    int l1, i1, l2, i2;
    memo.getSelection(&l1, &i1, &l2, &i2);
    EXPECT_EQ(l1, 1);
    EXPECT_EQ(l2, 3);
    // The connection stays usable afterwards.
    db::Query check(&FConn);
    check.setSql(QStringLiteral("SELECT 42"));
    check.open();
    EXPECT_EQ(check.field(0).asInteger(), 42);
}

} // namespace
