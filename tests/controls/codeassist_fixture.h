#pragma once
// Windows whose SQL editor answers F6: a plain window calling the popup on a layer connection
// to the sandbox server (with a test schema holding emp, dept and only_view), and the plainest
// child window of a connection window, answered by the program's code-assist host.
#include "controls/kdcodeassist.h"
#include "controls/kdmemo.h"
#include "core/kdforms.h"
#include "core/kdsub_options.h"
#include "platform/db/dbconnection.h"
#include "platform/db/dberror.h"
#include "platform/db/dbquery.h"
#include "support/qstring_printer.h"
#include "support/testdb.h"
#include "support/testdb_layer.h"

#include <QApplication>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>

// A window with a SQL editor that answers F6 as the program's windows do, reporting errors.
class AssistWindow : public QWidget, public TCodeAssistRoutine
{
public:
    AssistWindow(db::Connection *conn, const QString &schema) : FQuery(conn), FSchema(schema)
    {
        auto *lay = new QVBoxLayout(this);
        memo = new TkdMemo(this);
        lay->addWidget(memo);
        resize(700, 400);
    }
    quint32 CodeAssistRoutineOid() const override { return RoutineOid; }
    TkdMemo *memo;
    QString LastError;
    quint32 RoutineOid = 0;
protected:
    bool event(QEvent *e) override
    {
        if (!IsCodeAssistEvent(e))
            return QWidget::event(e);
        auto *ca = static_cast<TCodeAssistEvent *>(e);
        try {
            ShowCodeAssist(memo, this, FQuery, FSchema, 0, false, ca->X, ca->Y);
        } catch (const db::Error &err) {
            LastError = err.message;
        }
        e->accept();
        return true;
    }
private:
    db::Query FQuery;
    QString FSchema;
};

class AssistShowTest : public testdb::SchemaTest
{
protected:
    void SetUp() override
    {
        testdb::SchemaTest::SetUp();
        if (HasFatalFailure())
            return;
        exec("CREATE TABLE emp (empno integer PRIMARY KEY, ename text, \"Hired\" date)");
        exec("CREATE TABLE dept (deptno integer)");
        exec("CREATE VIEW only_view AS SELECT 1 AS one");
        FDb = std::make_unique<db::Connection>();
        testdb::setLayerParams(*FDb);
        FDb->open();
        FDb->setParam("MetaDefSchema", schema());
        TkdOption::Global().CodeAssist = true;
        win = std::make_unique<AssistWindow>(FDb.get(), schema());
        win->memo->SetReserveWordList({"SELECT", "FROM", "WHERE"});
        win->show();
        QApplication::setActiveWindow(win.get());
        win->memo->setFocus();
    }
    void TearDown() override
    {
        win.reset();
        FDb.reset();
        testdb::SchemaTest::TearDown();
    }
    void Type(const QString &text)
    {
        win->memo->setText(text);
        const int lines = win->memo->lines();
        win->memo->setCursorPosition(lines - 1, win->memo->text(lines - 1).size());
    }
    void F6() { QTest::keyClick(win->memo, Qt::Key_F6); }
    std::unique_ptr<db::Connection> FDb;
    std::unique_ptr<AssistWindow> win;
};

// The plainest child window holding a SQL editor: nothing of its own answers F6, so the
// code-assist host registered with SetCodeAssistHook does.
class PlainForm : public TkdForm
{
public:
    explicit PlainForm(QObject *owner) : TkdForm(owner)
    {
        auto *lay = new QVBoxLayout(this);
        memo = new TkdMemo(this);
        lay->addWidget(memo);
        resize(700, 400);
        InitForm();
    }
    TkdMemo *memo;
};
