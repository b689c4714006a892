// The code-assist host of every child window: F6 in a TkdMemo of a plain TkdForm, answered on
// the sample database through the window's connection.
#include "controls/codeassist_fixture.h"
#include "controls/kdcodeassist.h"
#include "controls/kdmemo.h"
#include "core/kdforms.h"
#include "core/kdsub_options.h"
#include "core/msghook.h"
#include "platform/db/dbconnection.h"
#include "support/qstring_printer.h"
#include "support/testdb.h"
#include "support/testdb_connform.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A connection window over a real connection to the sample database.
class SampleConnForm : public testdb::DbConnForm
{
public:
    explicit SampleConnForm(const QString &schema) : DbConnForm(testdb::params().sampleDatabase, schema) {}
};

// A child window editing a routine, as the function source editor does.
class RoutineForm : public PlainForm, public TCodeAssistRoutine
{
public:
    using PlainForm::PlainForm;
    quint32 CodeAssistRoutineOid() const override { return Oid; }
    quint32 Oid = 0;
};

class CodeAssistHostTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (testdb::params().host.isEmpty())
            GTEST_SKIP() << "no sandbox server";
        SetCodeAssistHook(&CodeAssistHost);
        TkdOption::Global().CodeAssist = true;
    }
    void TearDown() override
    {
        form.reset();
        conn.reset();
        SetCodeAssistHook({});
    }
    template <class Form = PlainForm>
    Form *Open(const QString &schema)
    {
        form.reset();
        conn = std::make_unique<SampleConnForm>(schema);
        auto *f = new Form(conn.get());
        form.reset(f);
        f->memo->SetReserveWordList({"SELECT", "FROM", "WHERE"});
        f->show();
        QApplication::setActiveWindow(f);
        f->memo->setFocus();
        return f;
    }
    // Puts the text into the editor with the caret at its end and presses F6.
    void F6(const QString &text)
    {
        TkdMemo *memo = static_cast<PlainForm *>(form.get())->memo;
        memo->CloseCodeAssist();
        memo->setText(text);
        const int last = memo->lines() - 1;
        memo->setCursorPosition(last, memo->text(last).size());
        QTest::keyClick(memo, Qt::Key_F6);
    }
    TkdCodeAssist *Popup() const { return static_cast<PlainForm *>(form.get())->memo->CodeAssist; }
    quint32 OidOf(const QString &regprocedure)
    {
        testdb::ConnPtr c = testdb::connect(testdb::params().sampleDatabase);
        return testdb::scalar(c.get(), "SELECT '" + regprocedure + "'::regprocedure::oid").toUInt();
    }
    std::unique_ptr<SampleConnForm> conn;
    std::unique_ptr<TkdForm> form;
};

} // namespace

TEST_F(CodeAssistHostTest, PartitionedTableOffersItsColumns)
{
    struct Case { QString schema, text; };
    const Case cases[] = {
        {"sales", "SELECT * FROM inventory.stock_movements WHERE inventory.stock_movements."},
        {"inventory", "SELECT stock_movements."},
        {"sales", "SELECT m. FROM inventory.stock_movements m"},
    };
    for (const Case &c : cases) {
        Open(c.schema);
        if (c.text.endsWith(" m")) {
            // The caret right after "m." in the middle of the line.
            TkdMemo *memo = static_cast<PlainForm *>(form.get())->memo;
            memo->setText(c.text);
            memo->setCursorPosition(0, 9);
            QTest::keyClick(memo, Qt::Key_F6);
        } else {
            F6(c.text);
        }
        TkdCodeAssist *p = Popup();
        ASSERT_NE(p, nullptr) << c.text.toStdString();
        EXPECT_EQ(p->CaptionList,
                  QStringList({"*", "movement_id", "warehouse_id", "product_id", "quantity", "reason", "moved_at"}))
            << c.text.toStdString();
        // The key columns carry the key image.
        EXPECT_EQ(p->ImageList.value(1), 46);
        EXPECT_EQ(p->ImageList.value(6), 46);
        EXPECT_EQ(p->ImageList.value(2), -1);
    }
}

TEST_F(CodeAssistHostTest, JapaneseTableThroughAlias)
{
    Open("sales");
    F6("SELECT * FROM hr.\"社員\" AS s WHERE s.");
    TkdCodeAssist *p = Popup();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->headerItem()->text(0), "列名");
    ASSERT_GE(p->CaptionList.size(), 4);
    EXPECT_EQ(p->CaptionList.mid(0, 4), QStringList({"*", "社員番号", "氏名", "フリガナ"}));
    EXPECT_EQ(p->ImageList.value(1), 46);
    // Accepting a Japanese column name inserts it as it stands: it has no upper-case letter.
    {
        // Typed through the input method, as Japanese text is.
        QInputMethodEvent typed;
        typed.setCommitString(QStringLiteral("氏"));
        QCoreApplication::sendEvent(p, &typed);
    }
    ASSERT_EQ(p->topLevelItemCount(), 1);
    QTest::keyClick(p, Qt::Key_Return);
    EXPECT_EQ(static_cast<PlainForm *>(form.get())->memo->text(),
              QStringLiteral("SELECT * FROM hr.\"社員\" AS s WHERE s.氏名"));
}

TEST_F(CodeAssistHostTest, RoutineArgumentsComeFirstOnlyForAnExistingRoutine)
{
    struct Case {
        QString routine;
        int objType;
        bool isNew;
        QStringList args;
        QVector<int> images;
    };
    const Case cases[] = {
        {"sales.customer_stats(integer)", 52, false,
         {"p_customer_id", "order_count", "total_amount", "last_order"}, {80, 81, 81, 81}},
        {"sales.normalize_range(numeric, numeric)", 52, false, {"lo", "hi"}, {82, 82}},
        {"sales.customer_stats(integer)", 51, false,
         {"p_customer_id", "order_count", "total_amount", "last_order"}, {80, 81, 81, 81}},
        {"sales.customer_stats(integer)", 52, true, {}, {}},  // not created yet
        {"sales.customer_stats(integer)", 47, false, {}, {}}, // not a routine editor
    };
    for (const Case &c : cases) {
        RoutineForm *f = Open<RoutineForm>("sales");
        f->Oid = OidOf(c.routine);
        ASSERT_NE(f->Oid, 0u) << c.routine.toStdString();
        f->SetObjType(c.objType);
        f->SetIsNew(c.isNew);
        F6("SELECT ");
        TkdCodeAssist *p = Popup();
        ASSERT_NE(p, nullptr) << c.routine.toStdString();
        EXPECT_EQ(p->headerItem()->text(0), "オブジェクト名");
        const int n = int(c.args.size());
        EXPECT_EQ(p->CaptionList.mid(0, n), c.args) << c.routine.toStdString() << c.objType;
        EXPECT_EQ(p->ImageList.mid(0, n), c.images) << c.routine.toStdString() << c.objType;
        // After the arguments (or at once) the objects of the schema follow.
        ASSERT_GT(p->SubItemList.size(), n);
        EXPECT_EQ(p->SubItemList.at(n), "TABLE") << c.routine.toStdString() << c.objType;
    }
}

TEST_F(CodeAssistHostTest, CatalogErrorIsShownAndLeavesNoPopup)
{
    Open("sales");
    conn->FDb.close();
    // The window's guard shows the error through the one message routine; no popup stays.
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDOK);
    F6("SELECT orders.");
    ASSERT_EQ(boxes.Shown().size(), 1);
    EXPECT_EQ(boxes.Last().flags & 0xF0, MB_ICONERROR);
    EXPECT_EQ(Popup(), nullptr);
    EXPECT_TRUE(form->findChildren<TkdCodeAssist *>().isEmpty());
}

TEST_F(CodeAssistHostTest, WindowWithoutConnectionDoesNothing)
{
    auto *f = new PlainForm(nullptr);
    form.reset(f);
    f->show();
    F6("SELECT orders.");
    EXPECT_EQ(Popup(), nullptr);
}
