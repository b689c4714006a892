// The base child window: owner at construction, the state properties, the task button, the
// close question, the application messages and Ctrl+PgUp/PgDn.
#include "app/fmain.h"
#include "app/stubconn.h"
#include "core/kdforms.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "support/qstring_printer.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

void Flush()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// A window that counts the calls of its virtual operations.
class CountingForm : public TkdForm
{
public:
    explicit CountingForm(QObject *owner) : TkdForm(owner) {}
    int changedIsNew = 0, compiles = 0, reloads = 0, dbChanges = 0, saves = 0;
    bool compileClears = false;
    bool failDBChange = false;
    void ChangedIsNew() override { ++changedIsNew; }
    void Compile() override
    {
        ++compiles;
        if (compileClears)
            SetModified(false);
        else
            throw std::runtime_error("compile failed");
    }
    void Reload() override { ++reloads; }
    void DBChange() override
    {
        ++dbChanges;
        if (failDBChange)
            throw std::runtime_error("cannot re-check");
    }
    void SaveWindowLayout() override { ++saves; }
};

// A window with a page control of `pages` pages and an edit box that counts its keys.
class PagedForm : public TkdForm
{
public:
    class KeyEdit : public QLineEdit
    {
    public:
        int keys = 0;
    protected:
        void keyPressEvent(QKeyEvent *e) override
        {
            if (e->key() != Qt::Key_Control)
                ++keys;
            QLineEdit::keyPressEvent(e);
        }
    };
    PagedForm(QObject *owner, int pages) : TkdForm(owner)
    {
        auto *box = new QVBoxLayout(this);
        edit = new KeyEdit;
        box->addWidget(edit);
        if (pages > 0) {
            tabs = new QTabWidget;
            for (int i = 0; i < pages; ++i)
                tabs->addTab(new QWidget, QString::number(i));
            box->addWidget(tabs);
        }
        InitForm();
    }
    KeyEdit *edit = nullptr;
    QTabWidget *tabs = nullptr;
};

class BaseWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FOld = SetMessageBoxHook([this](MessageBoxRequest &r) {
            Boxes << r.text;
            return Answer;
        });
        SetLogonProc([](const TLogonValues &, bool) { return false; });
        Main = new TfrmMain;
        Main->SetCloseSteps({});
        Main->show();
        QApplication::setActiveWindow(Main);
        Flush();
    }
    void TearDown() override
    {
        Answer = IDNO;
        delete Main;
        Flush();
        SetLogonProc({});
        SetMessageBoxHook(FOld);
    }
    template <class T, class... A>
    T *Add(A &&...args)
    {
        auto *f = new T(std::forward<A>(args)...);
        Main->AddChildWindow(f);
        return f;
    }
    TfrmMain *Main = nullptr;
    QStringList Boxes;
    int Answer = IDNO;

private:
    MessageBoxHook FOld;
};

} // namespace

TEST_F(BaseWindowTest, OwnerFormComesFromTheOwner)
{
    auto *conn = StubConnForm::Open(Main, QStringLiteral("u"), QStringLiteral("d"));
    auto *other = StubConnForm::Open(Main, QStringLiteral("v"), QStringLiteral("d"));
    EXPECT_EQ(Main->CurrentForm(), other);
    auto *fromMain = Add<CountingForm>(Main);
    auto *fromConn = Add<CountingForm>(conn);
    auto *fromForm = Add<CountingForm>(fromConn);
    QObject stranger;
    auto *fromStranger = Add<CountingForm>(&stranger);
    EXPECT_EQ(fromConn->OwnerForm(), conn);
    EXPECT_EQ(fromMain->OwnerForm(), other);
    EXPECT_EQ(fromForm->OwnerForm(), conn);
    EXPECT_EQ(fromStranger->OwnerForm(), nullptr);

    // Activating a window selects its own connection's item; without a connection, none.
    Main->mdiMain->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(fromConn->parentWidget()));
    Flush();
    EXPECT_EQ(Main->CurrentForm(), conn);
    Main->mdiMain->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(fromStranger->parentWidget()));
    Flush();
    EXPECT_EQ(Main->cmbDBName->currentIndex(), -1);

    // A connection that closes is no longer open for its windows.
    EXPECT_TRUE(fromConn->OwnerFormOpen());
    conn->close();
    Flush();
    EXPECT_FALSE(fromConn->OwnerFormOpen());
}

TEST_F(BaseWindowTest, PropertiesAndTaskCaption)
{
    auto *f = Add<CountingForm>(Main);
    EXPECT_EQ(f->TaskCaption(), QString()); // no button yet
    f->SetTaskCaption(QStringLiteral("ignored"));
    f->SetIsNew(false);
    f->SetIsNew(false);
    EXPECT_EQ(f->changedIsNew, 2); // called on every assignment
    EXPECT_TRUE(f->UseLowerName() == TkdOption::Global().UseLowerName);

    f->CreateTaskButton();
    f->SetObjType(0);
    EXPECT_TRUE(f->TaskButton()->icon().isNull()); // 0 on a new window changes nothing
    f->SetObjType(45);
    EXPECT_FALSE(f->windowIcon().isNull());
    EXPECT_FALSE(f->TaskButton()->icon().isNull());
    const std::pair<QString, QString> captions[] = {
        {QStringLiteral("123456789012"), QStringLiteral("123456789012")},
        {QStringLiteral("1234567890123"), QStringLiteral("123456789012…")},
        {QStringLiteral("新規"), QStringLiteral("新規")},
    };
    for (const auto &[in, out] : captions) {
        f->SetTaskCaption(in);
        EXPECT_EQ(f->TaskCaption(), out);
    }
}

TEST_F(BaseWindowTest, CloseQuestionAnswers)
{
    struct Case {
        const char *what;
        int answer;
        bool compileClears;
        bool closes;
        int compiles;
        int saves;
    };
    const Case cases[] = {
        {"cancel keeps it open without saving the layout", IDCANCEL, true, false, 0, 0},
        {"no closes without compiling", IDNO, true, true, 0, 1},
        {"yes compiles and closes", IDYES, true, true, 1, 1},
        {"yes with a failing compile keeps it open", IDYES, false, false, 1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Boxes.clear();
        auto *f = Add<CountingForm>(Main);
        QPointer<CountingForm> alive = f;
        f->SetModified(true);
        f->compileClears = c.compileClears;
        Answer = c.answer;
        const int compiles0 = f->compiles;
        const int saves0 = f->saves;
        const int compiles = c.compiles;
        const int saves = c.saves;
        qobject_cast<QMdiSubWindow *>(f->parentWidget())->close();
        if (alive) {
            EXPECT_EQ(alive->compiles - compiles0, compiles);
            EXPECT_EQ(alive->saves - saves0, saves);
        }
        Flush();
        EXPECT_EQ(alive.isNull(), c.closes);
        // The failing compile's message and the question itself.
        EXPECT_EQ(Boxes.value(0), QStringLiteral("情報が変更されています。コンパイルしますか？"));
        if (alive) {
            alive->SetModified(false);
            alive->close();
            Flush();
        }
    }
}

TEST_F(BaseWindowTest, ToastFlagBelongsToTheWindowThatSetIt)
{
    auto *toast = Add<CountingForm>(Main);
    auto *other = Add<CountingForm>(Main);
    toast->SetIsToastObject(true);
    toast->SetModified(true);
    other->SetModified(true);
    Answer = IDCANCEL;
    EXPECT_TRUE(toast->close()); // no question for the TOAST table's own window
    EXPECT_TRUE(Boxes.isEmpty());
    EXPECT_FALSE(other->close()); // the other window still asks
    EXPECT_EQ(Boxes.size(), 1);
}

TEST_F(BaseWindowTest, MessagesCallTheirOperationsAndErrorsStayInside)
{
    auto *a = Add<CountingForm>(Main);
    auto *b = Add<CountingForm>(Main);
    a->failDBChange = true;
    SendKdMessage(Main->ChildWindows(), WM_DBCHANGE);
    EXPECT_EQ(a->dbChanges, 1);
    EXPECT_EQ(b->dbChanges, 1);
    EXPECT_EQ(Boxes, QStringList{QStringLiteral("cannot re-check")});
    SendKdMessage({b}, WM_RELOAD);
    EXPECT_EQ(b->reloads, 1);
    EXPECT_EQ(a->reloads, 0);
    EXPECT_EQ(int(TkdMessageEvent::TypeOf(WM_CODEASSIST)), 0x8003);
}

TEST_F(BaseWindowTest, CtrlPageKeysSwitchPagesAndAreNeverPassedOn)
{
    auto *f = Add<PagedForm>(Main, 3);
    Main->mdiMain->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(f->parentWidget()));
    f->edit->setFocus();
    Flush();
    ASSERT_EQ(f->PageControl(), f->tabs);
    QTest::keyClick(f->edit, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(f->tabs->currentIndex(), 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(f->tabs->currentIndex(), 2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(f->tabs->currentIndex(), 2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(f->tabs->currentIndex(), 1);

    // One page or none: nothing visible happens and the edit box never sees the key.
    for (int pages : {1, 0}) {
        auto *g = Add<PagedForm>(Main, pages);
        Main->mdiMain->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(g->parentWidget()));
        g->edit->setFocus();
        Flush();
        QTest::keyClick(g->edit, Qt::Key_PageDown, Qt::ControlModifier);
        EXPECT_EQ(g->edit->keys, 0) << pages;
        QTest::keyClick(g->edit, Qt::Key_A);
        EXPECT_EQ(g->edit->keys, 1) << pages;
    }
}

TEST_F(BaseWindowTest, SchemaPrefixFollowsTheScriptOptionInTextMode)
{
    auto *f = Add<CountingForm>(Main);
    TkdOption::Global().UseLowerName = false;
    struct Case {
        TSourceMode mode;
        int owner;
        QString schema, compare, expected;
    };
    const Case cases[] = {
        {smShow, 2, QStringLiteral("sales"), QStringLiteral("sales"), QStringLiteral("sales.")},
        {smShow, 0, QStringLiteral("Sales"), QString(), QStringLiteral("\"Sales\".")},
        {smShow, 0, QStringLiteral("  "), QString(), QString()},
        {smText, 0, QStringLiteral("sales"), QStringLiteral("sales"), QStringLiteral("sales.")},
        {smText, 1, QStringLiteral(" sales "), QStringLiteral("sales"), QString()},
        {smText, 1, QStringLiteral("sales"), QStringLiteral("other"), QStringLiteral("sales.")},
        {smText, 2, QStringLiteral("sales"), QStringLiteral("other"), QString()},
        {smText, 0, QString(), QString(), QString()},
    };
    for (const Case &c : cases) {
        f->SourceMode = c.mode;
        TScriptOption::Global().Owner = c.owner;
        EXPECT_EQ(f->SchemaPrefix(c.schema, c.compare), c.expected)
            << c.mode << " " << c.owner << " " << c.schema.toStdString();
    }
    TScriptOption::Global().Owner = 1;
    f->SourceMode = smText;
    EXPECT_EQ(f->SchemaPrefix(QStringLiteral("sales")), QString());
    TScriptOption::Global().Owner = 0;
}

TEST_F(BaseWindowTest, EveryControlGetsTheSharedSettingsWhenTheWindowIsBuilt)
{
    QList<QWidget *> seen;
    SetControlHook([&](QWidget *w) { seen << w; });
    auto *f = Add<PagedForm>(Main, 2);
    SetControlHook({});
    EXPECT_TRUE(seen.contains(f->edit));
    EXPECT_TRUE(seen.contains(f->tabs));
    EXPECT_FALSE(seen.contains(f));
}
