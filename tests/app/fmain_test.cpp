// The main window: command-line switches, start-up and shutdown order, the connection
// selector with its enabling rule, CurrentForm, GetDBForm, FindWindow and the status texts.
#include "app/fmain.h"
#include "app/stubconn.h"
#include "controls/kdcodeassist.h"
#include "core/kdsub_msg.h"
#include "core/kdreg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_service.h"
#include "core/kdsub_start.h"
#include "support/qstring_printer.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

namespace {

void Flush()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// A main window with a recording logon and scripted message boxes.
class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FOldHook = SetMessageBoxHook([this](MessageBoxRequest &r) {
            Boxes << r.text;
            return Answer;
        });
        SetLogonProc([this](const TLogonValues &v, bool autoPass) {
            Logons.push_back({v, autoPass});
            return true;
        });
    }
    void TearDown() override
    {
        if (Main) {
            Main->SetCloseSteps({});
            delete Main;
        }
        Flush();
        SetLogonProc({});
        SetMessageBoxHook(FOldHook);
    }
    TfrmMain *Make(const QStringList &args = {}, bool show = true)
    {
        Main = new TfrmMain(args);
        Main->SetCloseSteps({});
        if (show) {
            Main->show();
            QApplication::setActiveWindow(Main);
            Flush();
        }
        return Main;
    }
    QStringList SelectorItems() const
    {
        QStringList items;
        for (int i = 0; i < Main->cmbDBName->count(); ++i)
            items << Main->cmbDBName->itemText(i);
        return items;
    }

    TfrmMain *Main = nullptr;
    QStringList Boxes;
    int Answer = IDOK;
    std::vector<std::pair<TLogonValues, bool>> Logons;

private:
    MessageBoxHook FOldHook;
};

// A child window with a class of its own for FindWindow.
class ProbeForm : public TkdForm
{
    Q_OBJECT
public:
    using TkdForm::TkdForm;
};
class DerivedProbeForm : public ProbeForm
{
    Q_OBJECT
public:
    using ProbeForm::ProbeForm;
};

} // namespace

TEST(LogonSwitches, AreReadFromEveryArgumentAndKeepTheValueCase)
{
    const auto User = [](const QString &user) {
        TLogonValues v;
        v.UserID = user;
        return v;
    };
    struct Case {
        QStringList args;
        TLogonValues expected;
    };
    const Case cases[] = {
        {{QStringLiteral("/u=Scott")}, User(QStringLiteral("Scott"))},
        {{QStringLiteral("/U=")}, {}},
        {{QStringLiteral("/U=first"), QStringLiteral("/U=second")}, User(QStringLiteral("second"))},
        {{QStringLiteral("/USER=x"), QStringLiteral("/Port=5432"), QStringLiteral("/P"), QStringLiteral("other")}, {}},
        {{QStringLiteral("/H=db.example"), QStringLiteral("/p=5433"), QStringLiteral("/d=Sales"),
          QStringLiteral("/s=Public"), QStringLiteral("/ps=Se=cret"), QStringLiteral("/U=app")},
         {QStringLiteral("db.example"), QStringLiteral("5433"), QStringLiteral("Sales"), QStringLiteral("Public"),
          QStringLiteral("app"), QStringLiteral("Se=cret")}},
        // Read as Unicode: characters outside any single code page stay as they are.
        {{QStringLiteral("/U=ユーザー😀"), QStringLiteral("/D=データ")},
         {QString(), QString(), QStringLiteral("データ"), QString(), QStringLiteral("ユーザー😀"), QString()}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        const TLogonValues v = ParseLogonSwitches(c.args);
        EXPECT_EQ(v.Host, c.expected.Host);
        EXPECT_EQ(v.Port, c.expected.Port);
        EXPECT_EQ(v.Database, c.expected.Database);
        EXPECT_EQ(v.Schema, c.expected.Schema);
        EXPECT_EQ(v.UserID, c.expected.UserID);
        EXPECT_EQ(v.Password, c.expected.Password);
    }
}

TEST_F(MainWindowTest, FirstPaintLogsOnAutomaticallyOnlyWithAUserAndOnlyOnce)
{
    Make({QStringLiteral("/U=alice"), QStringLiteral("/PS=pw"), QStringLiteral("/D=sales")});
    ASSERT_EQ(Logons.size(), 1u);
    EXPECT_TRUE(Logons[0].second);
    EXPECT_EQ(Logons[0].first.UserID, QStringLiteral("alice"));
    EXPECT_EQ(Logons[0].first.Password, QStringLiteral("pw"));
    EXPECT_EQ(Logons[0].first.Database, QStringLiteral("sales"));
    // Later paints never start it again.
    Main->hide();
    Main->show();
    Main->repaint();
    Flush();
    EXPECT_EQ(Logons.size(), 1u);
}

TEST_F(MainWindowTest, EmptyUserSwitchOpensTheLogonDialog)
{
    Make({QStringLiteral("/U="), QStringLiteral("/D=sales")});
    ASSERT_EQ(Logons.size(), 1u);
    EXPECT_FALSE(Logons[0].second);
    EXPECT_EQ(Logons[0].first, TLogonValues());
}

TEST_F(MainWindowTest, WithoutConnectionsOnlyTheUserCommandSetupIsEnabled)
{
    Make();
    // With no connection window the default message is empty: a "connecting" text left by a
    // failed or abandoned logon goes away.
    Main->SetStatusText(QStringLiteral("データベースに接続中です．．．"));
    Main->SetDefMessage();
    EXPECT_EQ(Main->StatusText(2), QString());
    EXPECT_EQ(Main->CurrentForm(), nullptr);
    for (QAction *a : Main->findChildren<QAction *>()) {
        const QString name = a->objectName();
        if (name.startsWith(QLatin1String("actDB")) && name != QLatin1String("actDBLogon")) {
            EXPECT_FALSE(a->isEnabled()) << name.toStdString();
        }
        if (name.startsWith(QLatin1String("actView")) || name.startsWith(QLatin1String("actAdmin"))
            || name.startsWith(QLatin1String("btnNew"))) {
            EXPECT_FALSE(a->isEnabled()) << name.toStdString();
        }
    }
    EXPECT_TRUE(Main->actToolCommandSetup->isEnabled());
    EXPECT_TRUE(Main->actDBLogon->isEnabled());
}

TEST_F(MainWindowTest, EnablingRuleFollowsTheSelectorNotActivation)
{
    Make();
    auto *old = StubConnForm::Open(Main, QStringLiteral("u"), QStringLiteral("old"), 70400);
    EXPECT_EQ(Main->CurrentForm(), old);
    EXPECT_TRUE(Main->actDBCommit->isEnabled());
    EXPECT_TRUE(Main->actAdminUser->isEnabled());
    EXPECT_TRUE(Main->btnNewTable->isEnabled());
    EXPECT_FALSE(Main->btnNewType->isEnabled()); // server below 8.0

    auto *modern = StubConnForm::Open(Main, QStringLiteral("u"), QStringLiteral("new"), 150000);
    EXPECT_EQ(Main->CurrentForm(), modern);
    EXPECT_TRUE(Main->btnNewType->isEnabled());

    // Activating the old window changes the current connection but not the enabling.
    Main->mdiMain->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(old->parentWidget()));
    Flush();
    EXPECT_EQ(Main->CurrentForm(), old);
    EXPECT_TRUE(Main->btnNewType->isEnabled());

    // A pick by the user in the selector runs the rule.
    Main->cmbDBName->setCurrentIndex(0);
    emit Main->cmbDBName->activated(0);
    EXPECT_FALSE(Main->btnNewType->isEnabled());

    // Closing the last windows empties the selector and disables the commands again.
    modern->close();
    old->close();
    Flush();
    EXPECT_EQ(Main->cmbDBName->count(), 0);
    EXPECT_EQ(Main->CurrentForm(), nullptr);
    EXPECT_FALSE(Main->actDBCommit->isEnabled());
    EXPECT_FALSE(Main->actAdminUser->isEnabled());
}

TEST_F(MainWindowTest, TwoConnectionsWithOneIdentityAreToldApartByTheirWindow)
{
    Make();
    auto *first = StubConnForm::Open(Main, QStringLiteral("app"), QStringLiteral("sales"));
    auto *second = StubConnForm::Open(Main, QStringLiteral("APP"), QStringLiteral("sales"));
    auto *third = StubConnForm::Open(Main, QStringLiteral("app"), QStringLiteral("sales"));
    EXPECT_EQ(SelectorItems().size(), 3);
    EXPECT_EQ(Main->CurrentForm(), third);

    // Activation selects the window's own item, never the first one with the same text.
    Main->mdiMain->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(second->parentWidget()));
    Flush();
    EXPECT_EQ(Main->CurrentForm(), second);
    Main->mdiMain->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(third->parentWidget()));
    Flush();
    EXPECT_EQ(Main->CurrentForm(), third);

    // GetDBForm prefers the current window, else searches from the last to the first, exactly.
    EXPECT_EQ(Main->GetDBForm(first->Identity()), third);
    EXPECT_EQ(Main->GetDBForm(second->Identity()), second);
    EXPECT_EQ(Main->GetDBForm(QStringLiteral("nobody @ sales/localhost:5432")), nullptr);

    // Commit acts on the current window only.
    Main->actDBCommitExecute();
    EXPECT_TRUE(first->Statements.isEmpty());
    EXPECT_EQ(third->Statements, QStringList{QStringLiteral("COMMIT")});
    EXPECT_EQ(Main->StatusText(2), QStringLiteral("現行データベース [ app @ sales ] のトランザクションを COMMIT しました。"));

    // Closing the first removes its own item; the other two stay.
    first->close();
    Flush();
    EXPECT_EQ(Main->Connections(), (QList<TkdConnForm *>{second, third}));
    EXPECT_EQ(Main->CurrentForm(), third);

    // Log off closes the current window, not another one of the same identity.
    Main->actDBLogoffExecute();
    Flush();
    EXPECT_EQ(Main->Connections(), (QList<TkdConnForm *>{second}));
}

TEST_F(MainWindowTest, FindWindowMatchesClassAndExactCaptionFromTheLast)
{
    Make();
    auto *a = new ProbeForm(Main);
    a->setWindowTitle(QStringLiteral("TABLE - t1"));
    Main->AddChildWindow(a);
    auto *b = new DerivedProbeForm(Main);
    b->setWindowTitle(QStringLiteral("TABLE - t1"));
    Main->AddChildWindow(b);
    auto *other = new TkdForm(Main);
    other->setWindowTitle(QStringLiteral("TABLE - t2"));
    Main->AddChildWindow(other);

    EXPECT_EQ(Main->FindWindow<ProbeForm>(QStringLiteral("TABLE - t1"), false), b);
    EXPECT_EQ(Main->FindWindow<DerivedProbeForm>(QStringLiteral("TABLE - t1"), false), b);
    EXPECT_EQ(Main->FindWindow<ProbeForm>(QStringLiteral("table - t1"), false), nullptr);
    EXPECT_EQ(Main->FindWindow<ProbeForm>(QStringLiteral("TABLE - t2"), false), nullptr);
    EXPECT_EQ(Main->FindWindow<TkdForm>(QStringLiteral("TABLE - t2"), false), other);

    // With show the window comes to the front.
    EXPECT_EQ(Main->FindWindow<DerivedProbeForm>(QStringLiteral("TABLE - t1"), true), b);
    EXPECT_EQ(Main->mdiMain->activeSubWindow()->widget(), b);
}

TEST_F(MainWindowTest, StatusTexts)
{
    Make();
    const std::tuple<int, int, QString> loops[] = {
        {0, 0, QStringLiteral(" [ESC]キーを押すと処理を中断")},
        {5, 0, QStringLiteral("5件処理中... [ESC]キーを押すと処理を中断")},
        {5, -1, QStringLiteral("5件処理中... [ESC]キーを押すと処理を中断")},
        {5, 20, QStringLiteral("5 / 20 [ESC]キーを押すと処理を中断")},
    };
    for (const auto &[now, max, text] : loops) {
        Main->SetLoopMessage(now, max);
        EXPECT_EQ(Main->StatusText(2), text) << now << " " << max;
    }
    auto *conn = StubConnForm::Open(Main, QStringLiteral("u"), QStringLiteral("d"));
    conn->Objects = 12;
    Main->SetDefMessage();
    EXPECT_EQ(Main->StatusText(2), QStringLiteral("12個のオブジェクトがあります。"));
    conn->Selected = 3;
    Main->SetDefMessage();
    EXPECT_EQ(Main->StatusText(2), QStringLiteral("12個中 3個のオブジェクトを選択中。"));

    // A loop scope shows progress and gives the count back when it ends.
    {
        TkdLoopScope loop;
        EXPECT_TRUE(TkdLoopScope::Active());
        EXPECT_FALSE(loop.Step(2, 7));
        EXPECT_EQ(Main->StatusText(2), QStringLiteral("2 / 7 [ESC]キーを押すと処理を中断"));
    }
    EXPECT_FALSE(TkdLoopScope::Active());
    EXPECT_EQ(Main->StatusText(2), QStringLiteral("12個中 3個のオブジェクトを選択中。"));
}

TEST(CloseSteps, EveryStepRunsAndEachFailureIsListed)
{
    QStringList ran;
    const QStringList failures = RunCloseSteps({
        {QStringLiteral("layout"), [&] { ran << "layout"; throw std::runtime_error("disk full"); }},
        {QStringLiteral("options"), [&] { ran << "options"; }},
        {QStringLiteral("history"), [&] { ran << "history"; throw 42; }},
    });
    EXPECT_EQ(ran, (QStringList{"layout", "options", "history"}));
    EXPECT_EQ(failures, (QStringList{QStringLiteral("layout: disk full"), QStringLiteral("history")}));
}

TEST_F(MainWindowTest, ShutdownAsksChildrenThenClosesConnectionsLastFirstThenSavesOnce)
{
    Make();
    QStringList closeLog;
    StubConnForm::Open(Main, QStringLiteral("u1"), QStringLiteral("d"), 150000, &closeLog);
    StubConnForm::Open(Main, QStringLiteral("u2"), QStringLiteral("d"), 150000, &closeLog);
    auto *editor = new TkdForm(Main);
    Main->AddChildWindow(editor);
    editor->SetModified(true);

    QStringList steps;
    Main->SetCloseSteps({
        {QStringLiteral("レイアウト"), [&] { steps << "layout"; throw std::runtime_error("read-only"); }},
        {QStringLiteral("オプション"), [&] { steps << "options"; }},
        {QStringLiteral("SQL履歴"), [&] { steps << "history"; throw std::runtime_error("no folder"); }},
    });

    // Cancel in the unsaved-changes question keeps everything open.
    Answer = IDCANCEL;
    EXPECT_FALSE(Main->close());
    EXPECT_TRUE(closeLog.isEmpty());
    EXPECT_TRUE(steps.isEmpty());
    EXPECT_EQ(Boxes, QStringList{QStringLiteral("情報が変更されています。コンパイルしますか？")});

    // No: the editor is dropped, the connections close from the last to the first, all three
    // save steps run and their failures are reported in one message.
    Boxes.clear();
    Answer = IDNO;
    EXPECT_TRUE(Main->close());
    EXPECT_EQ(closeLog, (QStringList{QStringLiteral("u2 @ d/localhost:5432"), QStringLiteral("u1 @ d/localhost:5432")}));
    EXPECT_EQ(steps, (QStringList{"layout", "options", "history"}));
    ASSERT_EQ(Boxes.size(), 2);
    EXPECT_EQ(Boxes[0], QStringLiteral("情報が変更されています。コンパイルしますか？"));
    EXPECT_TRUE(Boxes[1].contains(QStringLiteral("read-only")));
    EXPECT_TRUE(Boxes[1].contains(QStringLiteral("no folder")));
}

TEST_F(MainWindowTest, TaskButtonsFollowTheirWindows)
{
    Make();
    auto *a = new TkdForm(Main);
    a->setWindowTitle(QStringLiteral("A"));
    Main->AddChildWindow(a);
    a->CreateTaskButton();
    auto *b = new TkdForm(Main);
    b->setWindowTitle(QStringLiteral("B"));
    Main->AddChildWindow(b);
    b->CreateTaskButton();
    ASSERT_TRUE(a->TaskButton() && b->TaskButton());
    EXPECT_TRUE(b->TaskButton()->isChecked());
    EXPECT_FALSE(a->TaskButton()->isChecked()); // grouped: one is down
    EXPECT_EQ(a->TaskButton()->toolTip(), QStringLiteral("A"));

    // Clicking a button brings its window to the front and presses the button.
    a->TaskButton()->click();
    Flush();
    EXPECT_EQ(Main->mdiMain->activeSubWindow()->widget(), a);
    EXPECT_TRUE(a->TaskButton()->isChecked());

    // A caption change reaches the hint.
    a->setWindowTitle(QStringLiteral("A2"));
    EXPECT_EQ(a->TaskButton()->toolTip(), QStringLiteral("A2"));

    // Closing the window takes its button away.
    QPointer<QToolButton> button = a->TaskButton();
    a->close();
    Flush();
    EXPECT_TRUE(button.isNull());

    // The task bar's close item closes the active child window.
    Main->mdiMain->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(b->parentWidget()));
    QPointer<TkdForm> pb = b;
    Main->mnuCloseWindowClick();
    Flush();
    EXPECT_TRUE(pb.isNull());
}

TEST_F(MainWindowTest, ReloadGoesToTheActiveChildOnly)
{
    Make();
    struct Counting : TkdForm {
        using TkdForm::TkdForm;
        int reloads = 0;
        void Reload() override { ++reloads; }
    };
    auto *a = new Counting(Main);
    Main->AddChildWindow(a);
    auto *b = new Counting(Main);
    Main->AddChildWindow(b);
    Main->mnuReloadClick();
    EXPECT_EQ(a->reloads, 0);
    EXPECT_EQ(b->reloads, 1);
}

TEST_F(MainWindowTest, HistoryIndexAndLayoutSurviveARestart)
{
    QTemporaryDir dir;
    const QString temp = dir.path() + QStringLiteral("/not/yet/there/");
    Make();
    TkdOption::Global().TempDir = temp;
    EXPECT_FALSE(QFile::exists(temp + QStringLiteral("SQLLOG.IDX")));
    SQLHistoryList() = QStringList{QStringLiteral("SQLLOG1.SQL"), QStringLiteral("SQLLOG2.SQL")};
    Main->setGeometry(40, 50, 700, 500);
    Main->SetCloseSteps(Main->DefaultCloseSteps());
    EXPECT_TRUE(Main->close());
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join(QLatin1Char('|')).toStdString();
    // The folder was made and the index written.
    QFile file(temp + QStringLiteral("SQLLOG.IDX"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("SQLLOG1.SQL\r\nSQLLOG2.SQL\r\n"));
    file.close();
    delete Main;
    Main = nullptr;

    // The next start reads both back (the temporary folder is an option, saved with the others).
    SQLHistoryList().clear();
    Make({}, false);
    EXPECT_EQ(TkdOption::Global().TempDir, temp);
    EXPECT_EQ(SQLHistoryList(), (QStringList{QStringLiteral("SQLLOG1.SQL"), QStringLiteral("SQLLOG2.SQL")}));
    EXPECT_EQ(Main->geometry().size(), QSize(700, 500));
}

TEST_F(MainWindowTest, MissingHistoryIndexStartsEmpty)
{
    QTemporaryDir dir;
    Make({}, false);
    TkdOption::Global().TempDir = dir.path() + QStringLiteral("/empty/");
    Main->SetCloseSteps(Main->DefaultCloseSteps());
    delete Main;
    Main = nullptr;
    SQLHistoryList() = QStringList{QStringLiteral("stale")};
    Make({}, false);
    EXPECT_TRUE(SQLHistoryList().isEmpty());
}

// Start-up takes the date and time display formats from the options and the Excel file
// filter from the stored workbook extension, whose case matters.
TEST_F(MainWindowTest, StartUpAppliesDateTimeFormatsAndExcelFilter)
{
    const struct {
        const char *ext;
        QString filter;
    } cases[] = {
        {"", QStringLiteral("Excelファイル(*.xlsx)|*.xlsx")},
        {".XLSX", QStringLiteral("Excelファイル(*.xlsx)|*.xlsx")},
        // Only .xlsx books are written: the old extension and any spelling of the new one
        // give the filter of .xlsx files.
        {".xlsx", QStringLiteral("Excelファイル(*.xlsx)|*.xlsx")},
        {".XLS", QStringLiteral("Excelファイル(*.xlsx)|*.xlsx")},
        {".xls", QStringLiteral("Excelファイル(*.xlsx)|*.xlsx")},
    };
    for (const auto &c : cases) {
        {
            TkdRegistry reg;
            ASSERT_TRUE(reg.OpenKey(QString::fromUtf16(kMainKey), true));
            reg.WriteString(QStringLiteral("DateFormat"), QStringLiteral("dd/MM/yy"));
            reg.WriteString(QStringLiteral("TimeFormat"), QStringLiteral("hh:nn"));
            reg.WriteString(QStringLiteral("ExcelExt"), QString::fromUtf8(c.ext));
        }
        ApplyDateTimeFormats(QStringLiteral("yyyy/MM/dd"), QStringLiteral("HH:mm:ss"));
        ExcelFileFilter().clear();
        Make({}, false);
        const TkdFormatSettings &f = TkdFormatSettings::Global();
        EXPECT_EQ(f.ShortDateFormat, QStringLiteral("dd/MM/yy"));
        EXPECT_EQ(f.LongDateFormat, QStringLiteral("dd/MM/yy"));
        EXPECT_EQ(f.ShortTimeFormat, QStringLiteral("hh:nn"));
        EXPECT_EQ(f.LongTimeFormat, QStringLiteral("hh:nn"));
        EXPECT_EQ(QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)).toString(f.QtDateTime()), QStringLiteral("04/03/26 05:06"));
        EXPECT_EQ(ExcelFileFilter(), c.filter) << c.ext;
        delete Main;
        Main = nullptr;
    }
    // Later tests of this program start on the defaults again.
    TkdRegistry reg;
    ASSERT_TRUE(reg.OpenKey(QString::fromUtf16(kMainKey), false));
    for (const char *name : {"DateFormat", "TimeFormat", "ExcelExt"})
        reg.DeleteValue(QString::fromUtf8(name));
}

#include "fmain_test.moc"

// The window titles are the program's own: the application carries no display name, which
// window managers would append to every title ("ログオン — Kelvane for Symfoware") and twice
// to the main window's while a child window is maximised.
TEST_F(MainWindowTest, TitlesAreThePrograms)
{
    InitializeApplicationTitle();
    EXPECT_EQ(QCoreApplication::applicationName(), "Kelvane for Symfoware");
    // No display name of its own: it follows the application name.
    QCoreApplication::setApplicationName("probe");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "probe");
    InitializeApplicationTitle();
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "Kelvane for Symfoware");

    TfrmMain *m = Make();
    EXPECT_EQ(m->windowTitle(), "Kelvane for Symfoware");
    // A maximised child shows its own title beside the main window's, once.
    auto *child = new QWidget;
    child->setWindowTitle("子ウィンドウ");
    m->AddChildWindow(child);
    m->findChild<QMdiArea *>()->activeSubWindow()->showMaximized();
    Flush();
    EXPECT_EQ(m->windowTitle().count("Kelvane for Symfoware"), 1) << m->windowTitle().toStdString();
}

// Code-assist candidates show the main window's images; the login schema, the other schemas
// and the database root each have an image of their own.
TEST_F(MainWindowTest, ImagesOfCandidatesSchemasAndTheRoot)
{
    TfrmMain *m = Make();
    for (int index : {10, 45, 46, 47, 52, 55, 57, 58, 66, 80, 81, 82, 127})
        EXPECT_EQ(TkdCodeAssist::Image(index).cacheKey(), m->Image(index).cacheKey()) << index;
    auto pixels = [&](int index) { return m->Image(index).pixmap(16, 16).toImage(); };
    EXPECT_NE(pixels(126), pixels(4));
    EXPECT_NE(pixels(1), pixels(4));
    EXPECT_NE(pixels(1), pixels(126));
    EXPECT_NE(pixels(80), pixels(81));
}
