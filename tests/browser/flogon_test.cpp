// The logon dialog: the stored connections in the settings, the checks of OK, and the logon
// against the sandbox server with its retry after a failure.
#include "app/fmain.h"
#include "browser/flogon.h"
#include "browser/fobject.h"
#include "controls/kdstdctl.h"
#include "core/kdreg.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_start.h"
#include "platform/settingsstore.h"
#include "support/fake_server.h"
#include "support/qstring_printer.h"
#include "support/testdb.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QTest>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

const QString kDatabase = QString::fromUtf16(kMainKey) + QStringLiteral("\\DATABASE");

TLogonFields Fields(const QString &user, const QString &host, const QString &port, const QString &db,
                    const QString &schema, const QString &password = QString())
{
    TLogonFields f;
    f.UserID = user;
    f.Host = host;
    f.Port = port;
    f.Database = db;
    f.Schema = schema;
    f.Password = password;
    return f;
}

void WriteEntry(const QString &key, const TLogonFields &f)
{
    TkdRegistry &reg = SharedRegistry();
    ASSERT_TRUE(reg.OpenKey(kDatabase + QLatin1Char('\\') + key, true));
    reg.WriteString(QStringLiteral("UserID"), f.UserID);
    reg.WriteString(QStringLiteral("Database"), f.Database);
    reg.WriteString(QStringLiteral("Password"), ScramblePassword(f.Password));
    reg.WriteString(QStringLiteral("Host"), f.Host);
    reg.WriteString(QStringLiteral("Port"), f.Port);
    reg.WriteString(QStringLiteral("Schema"), f.Schema);
    reg.CloseKey();
}

void WriteSort(const QString &sort)
{
    TkdRegistry &reg = SharedRegistry();
    ASSERT_TRUE(reg.OpenKey(kDatabase, true));
    reg.WriteString(QStringLiteral("Sort"), sort);
    reg.CloseKey();
}

QStringList Keys(const QList<TLogonFields> &rows)
{
    QStringList keys;
    for (const TLogonFields &r : rows)
        keys << r.Key;
    return keys;
}

class StoredConnectionsTest : public ::testing::Test
{
protected:
    void SetUp() override { SharedRegistry().DeleteKey(kDatabase); }
    void TearDown() override { SharedRegistry().DeleteKey(kDatabase); }
};

} // namespace

TEST(LogonMatching, HostAndPortIgnoreAsciiCaseOnly)
{
    const TLogonFields base = Fields("app", "DB.Example", "5432", "sales", "public");
    struct Case {
        const char *what;
        TLogonFields row;
        bool matches;
    };
    const Case cases[] = {
        {"same", base, true},
        {"host in other case", Fields("app", "db.example", "5432", "sales", "public"), true},
        {"user in other case", Fields("APP", "DB.Example", "5432", "sales", "public"), false},
        {"database in other case", Fields("app", "DB.Example", "5432", "Sales", "public"), false},
        {"schema differs", Fields("app", "DB.Example", "5432", "sales", "other"), false},
        {"port differs", Fields("app", "DB.Example", "5433", "sales", "public"), false},
        {"password does not count", Fields("app", "DB.Example", "5432", "sales", "public", "x"), true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(MatchesLogon(c.row, base), c.matches) << c.what;
}

TEST(LogonChecks, RequiredFieldsAndPortRangeInOrder)
{
    struct Case {
        TLogonFields fields;
        QString message;
        int field;
    };
    const Case cases[] = {
        {Fields("", "", "", "", ""), QStringLiteral("ユーザー名を入力して下さい。"), 0},
        {Fields("u", "", "", "", ""), QStringLiteral("データベースを入力して下さい。"), 1},
        {Fields("u", "", "", "d", ""), QStringLiteral("ホストを入力して下さい。"), 2},
        {Fields("u", "h", "", "d", ""), QStringLiteral("ポートを入力して下さい。"), 3},
        {Fields("u", "h", "0", "d", ""), QStringLiteral("ポートの範囲は1～65535です。"), 3},
        {Fields("u", "h", "-5", "d", ""), QStringLiteral("ポートの範囲は1～65535です。"), 3},
        {Fields("u", "h", "65536", "d", ""), QStringLiteral("ポートの範囲は1～65535です。"), 3},
        {Fields("u", "h", "65535", "d", ""), QString(), -1},
        {Fields("u", "h", "1", "d", "", ""), QString(), -1}, // schema and password are not checked
    };
    for (const Case &c : cases) {
        int field = -1;
        EXPECT_EQ(CheckLogonFields(c.fields, &field), c.message) << c.fields.Port.toStdString();
        EXPECT_EQ(field, c.field);
    }
}

TEST_F(StoredConnectionsTest, OrderFollowsSortWithUnknownNamesDroppedAndNewKeysAppended)
{
    WriteEntry("DB000", Fields("a", "h", "1", "d", "s"));
    WriteEntry("DB001", Fields("b", "h", "1", "d", "s"));
    WriteEntry("DB002", Fields("c", "h", "1", "d", "s"));
    // DB001 is named twice (the later place counts), DB009 does not exist, DB002 is not named.
    WriteSort(QStringLiteral("DB001\r\nDB009\r\nDB000\r\nDB001\r\n"));
    EXPECT_EQ(Keys(LoadConnectionList(SharedRegistry())), (QStringList{"DB000", "DB001", "DB002"}));
    WriteSort(QStringLiteral("DB002\r\nDB000\r\n"));
    const QList<TLogonFields> rows = LoadConnectionList(SharedRegistry());
    EXPECT_EQ(Keys(rows), (QStringList{"DB002", "DB000", "DB001"}));
    EXPECT_EQ(rows[0].UserID, QStringLiteral("c"));
}

TEST_F(StoredConnectionsTest, SavingStoresNewEntriesInTheFirstFreeKeyAndRewritesOnlyTheMatchingPassword)
{
    WriteEntry("DB000", Fields("a", "h", "1", "d", "s", "pa"));
    WriteEntry("DB002", Fields("c", "h", "1", "d", "s", "pc"));
    QList<TLogonFields> rows = LoadConnectionList(SharedRegistry());

    // A new connection takes DB001, with its password scrambled, and is listed after a reload.
    const TLogonFields fresh = Fields("new", "host", "5432", "db", "sc", "  spaced pw  ");
    SaveConnectionList(SharedRegistry(), rows, fresh, true, true);
    rows = LoadConnectionList(SharedRegistry());
    EXPECT_EQ(Keys(rows), (QStringList{"DB000", "DB002", "DB001"}));
    EXPECT_EQ(rows[2].Password, QStringLiteral("  spaced pw  "));
    ASSERT_TRUE(SharedRegistry().OpenKey(kDatabase + QStringLiteral("\\DB001"), false));
    EXPECT_NE(SharedRegistry().GetString(QStringLiteral("Password"), QString()), QStringLiteral("  spaced pw  "));
    SharedRegistry().CloseKey();

    // A matching connection (host in another case) only gets the new password.
    SaveConnectionList(SharedRegistry(), rows, Fields("a", "H", "1", "d", "s", "changed"), true, true);
    rows = LoadConnectionList(SharedRegistry());
    EXPECT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].Password, QStringLiteral("changed"));
    EXPECT_EQ(rows[0].Host, QStringLiteral("h"));

    // Stored without its password: the stored one is removed.
    SaveConnectionList(SharedRegistry(), rows, Fields("a", "h", "1", "d", "s", "secret"), true, false);
    rows = LoadConnectionList(SharedRegistry());
    EXPECT_EQ(rows[0].Password, QString());

    // The last values hold no password; without chkSave nothing new is stored.
    SaveConnectionList(SharedRegistry(), rows, Fields("z", "h", "1", "d", "s", "pz"), false, true);
    EXPECT_EQ(LoadConnectionList(SharedRegistry()).size(), 3);
    ASSERT_TRUE(SharedRegistry().OpenKey(kDatabase, false));
    EXPECT_EQ(SharedRegistry().GetString(QStringLiteral("UserID"), QString()), QStringLiteral("z"));
    EXPECT_FALSE(SharedRegistry().ValueExists(QStringLiteral("Password")));
    SharedRegistry().CloseKey();

    // The store keeps its private modes.
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(settings::SettingsStore::userFilePath()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(QFile::encodeName(settings::SettingsStore::userFolder()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(StoredConnectionsTest, DialogFillsThePasswordOfTheLastMatchingRowAndEditsTheList)
{
    WriteEntry("DB000", Fields("a", "h", "1", "d", "s", "first"));
    WriteEntry("DB001", Fields("a", "H", "1", "d", "s", "second"));
    WriteEntry("DB002", Fields("b", "h", "1", "d", "s", "other"));
    TfrmLogon dialog;
    dialog.SetFields(Fields("a", "h", "1", "d", "s"));
    dialog.LoadConnections();
    EXPECT_EQ(dialog.txtPassword->text(), QStringLiteral("second"));
    ASSERT_EQ(dialog.lstUserID->topLevelItemCount(), 3);
    EXPECT_EQ(dialog.lstUserID->topLevelItem(2)->text(0), QStringLiteral("b"));

    // Selecting a row fills the fields.
    dialog.lstUserID->setCurrentItem(dialog.lstUserID->topLevelItem(2));
    EXPECT_EQ(dialog.txtUserID->text(), QStringLiteral("b"));
    EXPECT_EQ(dialog.txtPassword->text(), QStringLiteral("other"));
    EXPECT_TRUE(dialog.actUp->isEnabled());
    EXPECT_FALSE(dialog.actDown->isEnabled());

    // Up moves the row and keeps it selected; the order is stored by the next save.
    dialog.actUpExecute();
    EXPECT_EQ(Keys(dialog.Rows()), (QStringList{"DB000", "DB002", "DB001"}));
    EXPECT_EQ(dialog.lstUserID->selectedItems().value(0), dialog.lstUserID->topLevelItem(1));
    EXPECT_EQ(Keys(LoadConnectionList(SharedRegistry())), (QStringList{"DB000", "DB001", "DB002"}));
    dialog.SaveConnections();
    EXPECT_EQ(Keys(LoadConnectionList(SharedRegistry())), (QStringList{"DB000", "DB002", "DB001"}));

    // Delete removes the key at once.
    dialog.actDelExecute();
    EXPECT_EQ(Keys(dialog.Rows()), (QStringList{"DB000", "DB001"}));
    EXPECT_FALSE(SharedRegistry().KeyExists(kDatabase + QStringLiteral("\\DB002")));
}

TEST(LogonDialog, PasswordIsNeverTrimmedAndMayBeEmpty)
{
    QStringList boxes;
    const MessageBoxHook old = SetMessageBoxHook([&](MessageBoxRequest &r) {
        boxes << r.text;
        return IDOK;
    });
    TfrmLogon dialog;
    EXPECT_FALSE(dialog.btnOk->isEnabled());
    dialog.SetFields(Fields("  app\t", " host ", " 5432 ", " db ", " sc ", "  pw with blanks  "));
    EXPECT_TRUE(dialog.btnOk->isEnabled());
    dialog.actOkExecute();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const TLogonFields f = dialog.Fields();
    EXPECT_EQ(f.UserID, QStringLiteral("app"));
    EXPECT_EQ(f.Host, QStringLiteral("host"));
    EXPECT_EQ(f.Port, QStringLiteral("5432"));
    EXPECT_EQ(f.Database, QStringLiteral("db"));
    EXPECT_EQ(f.Schema, QStringLiteral("sc"));
    EXPECT_EQ(f.Password, QStringLiteral("  pw with blanks  "));
    EXPECT_TRUE(boxes.isEmpty());

    // An empty password still allows OK (the client may find one in ~/.pgpass).
    TfrmLogon second;
    second.SetFields(Fields("app", "host", "5432", "db", "", ""));
    EXPECT_TRUE(second.btnOk->isEnabled());

    // A failing check keeps the dialog open and says why.
    TfrmLogon third;
    third.SetFields(Fields("app", "host", "0", "db", ""));
    third.actOkExecute();
    EXPECT_NE(third.result(), QDialog::Accepted);
    EXPECT_EQ(boxes, QStringList{QStringLiteral("ポートの範囲は1～65535です。")});
    SetMessageBoxHook(old);
}

namespace {

// Logon against the sandbox server through the dialog.
class LogonTest : public testdb::SchemaTest
{
protected:
    void SetUp() override
    {
        testdb::SchemaTest::SetUp();
        SharedRegistry().DeleteKey(kDatabase);
        FOld = SetMessageBoxHook([this](MessageBoxRequest &r) {
            Boxes << r.text;
            if (OnBox)
                OnBox();
            return IDOK;
        });
        Main = new TfrmMain;
        Main->SetCloseSteps({});
        TkdOption::Global().UpdateToCommit = false;
        TkdOption::Global().CharacterSet = QStringLiteral("UTF8");
    }
    void TearDown() override
    {
        Main->close();
        delete Main;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        SetMessageBoxHook(FOld);
        SharedRegistry().DeleteKey(kDatabase);
        testdb::SchemaTest::TearDown();
    }
    // Runs `fn` on the next modal logon dialog once it is shown.
    static void OnNextDialog(std::function<void(TfrmLogon *)> fn)
    {
        QTimer::singleShot(0, [fn] {
            auto *d = qobject_cast<TfrmLogon *>(QApplication::activeModalWidget());
            if (!d) {
                OnNextDialog(fn);
                return;
            }
            fn(d);
        });
    }
    TfrmMain *Main = nullptr;
    QStringList Boxes;
    std::function<void()> OnBox;

private:
    MessageBoxHook FOld;
};

} // namespace

TEST_F(LogonTest, AutomaticLogonOpensTheConnectionWindowAndRemembersTheValues)
{
    const testdb::Params &p = testdb::params();
    EXPECT_TRUE(TfrmLogon::ShowWindow(p.host, p.port, p.database, schema(), p.user, p.password, true));
    ASSERT_EQ(Main->Connections().size(), 1);
    EXPECT_TRUE(Boxes.isEmpty());
    TkdRegistry &reg = SharedRegistry();
    ASSERT_TRUE(reg.OpenKey(kDatabase, false));
    EXPECT_EQ(reg.GetString(QStringLiteral("UserID"), QString()), p.user);
    EXPECT_EQ(reg.GetString(QStringLiteral("Schema"), QString()), schema());
    EXPECT_FALSE(reg.ValueExists(QStringLiteral("Password")));
    reg.CloseKey();
    EXPECT_TRUE(LoadConnectionList(reg).isEmpty()); // chkSave starts off
}

TEST_F(LogonTest, WrongPasswordShowsTheErrorAndOffersTheDialogAgain)
{
    const testdb::Params &p = testdb::params();
    // After the error box, the dialog comes back with what was entered; the user fixes the
    // password, asks to store the connection and connects.
    OnBox = [&] {
        OnBox = nullptr;
        OnNextDialog([&](TfrmLogon *d) {
            EXPECT_EQ(d->txtUserID->text(), p.user);
            EXPECT_EQ(d->txtPassword->text(), QStringLiteral("wrong"));
            d->txtPassword->setText(p.password);
            d->chkSave->setChecked(true);
            d->btnOk->click();
        });
    };
    EXPECT_TRUE(TfrmLogon::ShowWindow(p.host, p.port, p.database, schema(), p.user, QStringLiteral("wrong"), true));
    ASSERT_EQ(Boxes.size(), 1);
    EXPECT_TRUE(Boxes[0].contains(QStringLiteral("password"))) << Boxes[0].toStdString();
    EXPECT_EQ(Main->Connections().size(), 1);
    const QList<TLogonFields> rows = LoadConnectionList(SharedRegistry());
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].Password, p.password);

    // The next logon with the same values takes the stored password.
    EXPECT_TRUE(TfrmLogon::ShowWindow(p.host, p.port, p.database, schema(), p.user, QString(), true));
    EXPECT_EQ(Main->Connections().size(), 2);
}

TEST_F(LogonTest, UnreachableHostSaysSoAndLeavesNoWindow)
{
    const testdb::Params &p = testdb::params();
    OnBox = [&] {
        OnBox = nullptr;
        OnNextDialog([](TfrmLogon *d) { d->btnCancel->click(); });
    };
    EXPECT_FALSE(TfrmLogon::ShowWindow(QStringLiteral("127.0.0.1"), QStringLiteral("1"), p.database, schema(), p.user,
                                       p.password, true));
    ASSERT_EQ(Boxes.size(), 1);
    EXPECT_TRUE(Boxes[0].startsWith(QStringLiteral("データベースに接続できませんでした。"))) << Boxes[0].toStdString();
    EXPECT_TRUE(Main->ChildWindows().isEmpty());
    EXPECT_EQ(Main->cmbDBName->count(), 0);
}

// ---- connecting without freezing -----------------------------------------------------------

namespace {
const QString kConnectingText = QStringLiteral("データベースに接続中です．．．");

QProgressDialog *ConnectingBox(QWidget *main)
{
    return main->findChild<QProgressDialog *>(QStringLiteral("dlgConnecting"));
}
} // namespace

TEST_F(LogonTest, SilentServerTimesOutWhileTheWindowsKeepRunning)
{
    testdb::FakeServer silent(testdb::FakeServer::Mode::Silent);
    const testdb::Params &p = testdb::params();
    TkdOption::Global().ConnectTimeout = 2;
    int ticks = 0;
    QTimer tick;
    tick.setInterval(50);
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start();
    bool boxShown = false;
    QTimer::singleShot(1000, [&] {
        QProgressDialog *box = ConnectingBox(Main);
        boxShown = box && box->isVisible() && box->labelText() == kConnectingText;
        if (box)
            box->grab().save(QStringLiteral("/tmp/vantor-connecting-box.png"));
        Main->grab().save(QStringLiteral("/tmp/vantor-connecting-main.png"));
    });
    OnBox = [&] {
        OnBox = nullptr;
        OnNextDialog([](TfrmLogon *d) { d->btnCancel->click(); });
    };
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(TfrmLogon::ShowWindow(QStringLiteral("127.0.0.1"), silent.port(), p.database, schema(), p.user,
                                       p.password, true));
    tick.stop();
    TkdOption::Global().ConnectTimeout = 30;
    EXPECT_GE(t.elapsed(), 1900);
    EXPECT_LT(t.elapsed(), 10000);
    ASSERT_EQ(Boxes.size(), 1);
    EXPECT_TRUE(Boxes[0].startsWith(QStringLiteral("データベースに接続できませんでした。"))) << Boxes[0].toStdString();
    EXPECT_TRUE(Boxes[0].contains(QStringLiteral("2 秒以内に応答がなかった"))) << Boxes[0].toStdString();
    // The GUI thread went on: 2 s of 50 ms ticks, with room for a loaded machine.
    EXPECT_GE(ticks, 10);
    EXPECT_TRUE(boxShown);
    EXPECT_EQ(ConnectingBox(Main), nullptr);
    EXPECT_TRUE(Main->ChildWindows().isEmpty());
    EXPECT_EQ(Main->cmbDBName->count(), 0);
    EXPECT_EQ(Main->StatusText(2), QString());
    EXPECT_FALSE(SharedRegistry().KeyExists(kDatabase)); // nothing of the failed attempt kept
}

TEST_F(LogonTest, EscOrTheBoxsCancelEndTheAttemptAtOnceAndOfferTheDialogAgain)
{
    testdb::FakeServer silent(testdb::FakeServer::Mode::Silent);
    const testdb::Params &p = testdb::params();
    struct Case { const char *how; std::function<void(QWidget *main)> giveUp; };
    const Case cases[] = {
        {"Esc", [](QWidget *main) {
             QProgressDialog *box = ConnectingBox(main);
             QTest::keyClick(box ? static_cast<QWidget *>(box) : main, Qt::Key_Escape);
         }},
        {"Esc in the main window", [](QWidget *main) { QTest::keyClick(main, Qt::Key_Escape); }},
        {"キャンセル", [](QWidget *main) {
             QProgressDialog *box = ConnectingBox(main);
             ASSERT_NE(box, nullptr);
             QPushButton *cancel = box->findChild<QPushButton *>();
             ASSERT_NE(cancel, nullptr);
             EXPECT_EQ(cancel->text(), QStringLiteral("キャンセル"));
             cancel->click();
         }},
    };
    for (const Case &c : cases) {
        bool offeredAgain = false;
        QElapsedTimer t;
        QTimer::singleShot(1000, [&] {
            c.giveUp(Main);
            t.start();
            OnNextDialog([&](TfrmLogon *d) {
                offeredAgain = d->txtPort->text() == silent.port();
                d->btnCancel->click();
            });
        });
        QElapsedTimer all;
        all.start();
        EXPECT_FALSE(TfrmLogon::ShowWindow(QStringLiteral("127.0.0.1"), silent.port(), p.database, schema(), p.user,
                                           p.password, true))
            << c.how;
        EXPECT_LT(all.elapsed(), 5000) << c.how; // the 30 s time-out never came into play
        EXPECT_TRUE(offeredAgain) << c.how;
        EXPECT_TRUE(Boxes.isEmpty()) << c.how << ": " << Boxes.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(ConnectingBox(Main), nullptr) << c.how;
        EXPECT_TRUE(Main->ChildWindows().isEmpty()) << c.how;
        EXPECT_EQ(Main->StatusText(2), QString()) << c.how;
    }
    // The program stays usable: a real logon afterwards works.
    EXPECT_TRUE(TfrmLogon::ShowWindow(p.host, p.port, p.database, schema(), p.user, p.password, true));
    EXPECT_EQ(Main->Connections().size(), 1);
}

TEST_F(LogonTest, FailedLogonsClearTheStatusTextAndLeaveNothingBehind)
{
    testdb::FakeServer hangUp(testdb::FakeServer::Mode::HangUp);
    const testdb::Params &p = testdb::params();
    struct Case { const char *what; QString host, port, password; };
    const Case cases[] = {
        {"refused port", QStringLiteral("127.0.0.1"), QStringLiteral("1"), p.password},
        {"unknown host", QStringLiteral("no-such-host.invalid"), p.port, p.password},
        {"wrong password", p.host, p.port, QStringLiteral("wrong")},
        {"server gone during the logon", QStringLiteral("127.0.0.1"), hangUp.port(), p.password},
    };
    for (const Case &c : cases) {
        Boxes.clear();
        OnBox = [&] {
            OnBox = nullptr;
            OnNextDialog([](TfrmLogon *d) { d->btnCancel->click(); });
        };
        EXPECT_FALSE(TfrmLogon::ShowWindow(c.host, c.port, p.database, schema(), p.user, c.password, true)) << c.what;
        ASSERT_EQ(Boxes.size(), 1) << c.what;
        EXPECT_TRUE(Boxes[0].startsWith(QStringLiteral("データベースに接続できませんでした。\n"))) << c.what;
        EXPECT_EQ(Main->StatusText(2), QString()) << c.what;
        EXPECT_TRUE(Main->ChildWindows().isEmpty()) << c.what;
        EXPECT_EQ(Main->cmbDBName->count(), 0) << c.what;
        EXPECT_FALSE(SharedRegistry().KeyExists(kDatabase)) << c.what;
    }
}

TEST_F(LogonTest, UnknownSchemaIsNamedReplacedAndNeverRemembered)
{
    const testdb::Params &p = testdb::params();
    EXPECT_TRUE(TfrmLogon::ShowWindow(p.host, p.port, p.database, QStringLiteral("no_such_schema"), p.user, p.password,
                                      true));
    ASSERT_EQ(Main->Connections().size(), 1);
    ASSERT_EQ(Boxes.size(), 1);
    EXPECT_TRUE(Boxes[0].contains(QStringLiteral("\"no_such_schema\""))) << Boxes[0].toStdString();
    TkdRegistry &reg = SharedRegistry();
    ASSERT_TRUE(reg.OpenKey(kDatabase, false));
    const QString remembered = reg.GetString(QStringLiteral("Schema"), QString());
    reg.CloseKey();
    EXPECT_NE(remembered, QStringLiteral("no_such_schema"));
    EXPECT_FALSE(remembered.isEmpty());
    EXPECT_TRUE(Boxes[0].contains(QStringLiteral("\"") + remembered + QStringLiteral("\""))) << Boxes[0].toStdString();
    // A schema that exists is taken without a word.
    Boxes.clear();
    EXPECT_TRUE(TfrmLogon::ShowWindow(p.host, p.port, p.database, schema(), p.user, p.password, true));
    EXPECT_TRUE(Boxes.isEmpty());
}
