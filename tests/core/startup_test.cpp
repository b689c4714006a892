// Start-up of the shared unit: folders, globals, version test and password scrambling.
#include "settings_fixture.h"
#include "support/qstring_printer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>

class StartupTest : public FreshSettingsTest {};

TEST_F(StartupTest, FoldersAreFixedCreatedAndPrivateToTheTest)
{
    const QString home = QDir::homePath();
    ASSERT_TRUE(home.contains(QStringLiteral("vantor-test-")));  // the test's private home
    struct Case {
        QString Folder;
        QString Suffix;
    };
    for (const Case &c : {Case{DocumentFolder(), QString()}, Case{AppDataFolder(), QStringLiteral("/ZUMAQ/")},
                          Case{ProgramFolder(), QString()}}) {
        EXPECT_TRUE(c.Folder.endsWith(QLatin1Char('/'))) << qPrintable(c.Folder);
        EXPECT_TRUE(c.Folder.endsWith(c.Suffix)) << qPrintable(c.Folder);
        EXPECT_TRUE(QFileInfo(c.Folder).isDir()) << qPrintable(c.Folder);
    }
    EXPECT_TRUE(DocumentFolder().startsWith(home)) << qPrintable(DocumentFolder());
    EXPECT_TRUE(AppDataFolder().startsWith(home)) << qPrintable(AppDataFolder());
    EXPECT_EQ(ProgramFolder(), QCoreApplication::applicationDirPath() + QLatin1Char('/'));
    // The settings file lives in the folder the environment names.
    EXPECT_TRUE(settings::SettingsStore::userFilePath().startsWith(Folder()));

    // The default work folder follows the data folder.
    LoadSettings();
    EXPECT_EQ(TkdOption::Global().TempDir, AppDataFolder() + QStringLiteral("temp/"));
}

TEST_F(StartupTest, StartUpEmptiesTheGlobalLists)
{
    SQLHistoryList() << QStringLiteral("SQLLOG1.SQL");
    KeywordList() << QStringLiteral("X");
    AlertPath() << QStringLiteral("/a");
    TScriptOption::Global().NameTable << QStringLiteral("a=b");
    Restart();
    EXPECT_TRUE(SQLHistoryList().isEmpty());
    EXPECT_TRUE(KeywordList().isEmpty());
    InitializeSharedUnit();
    EXPECT_TRUE(AlertPath().isEmpty());
    EXPECT_TRUE(TScriptOption::Global().NameTable.isEmpty());
}

TEST(OSVersion, WinVersion6Test)
{
    struct Case {
        int Major, Minor;
        bool OrLater, Exactly;
    };
    for (const Case &c : {Case{6, 1, true, true}, Case{5, 1, false, false}, Case{10, 0, true, false}}) {
        TOSVersionInfo v;
        v.MajorVersion = c.Major;
        v.MinorVersion = c.Minor;
        EXPECT_EQ(IsWinVersion6(true, v), c.OrLater) << c.Major;
        EXPECT_EQ(IsWinVersion6(false, v), c.Exactly) << c.Major;
    }
}

TEST(PasswordScramble, ShapeOfTheText)
{
    const QString alphabet = QStringLiteral("!#$%&()*+,-./:;<");
    struct Case {
        QString Password;
        int Length;
    };
    const Case cases[] = {
        {QString(), 0},
        {QStringLiteral("a"), 132},
        {QString(10, QLatin1Char('x')), 132},
        {QString(64, QLatin1Char('x')), 132},
        {QString(70, QLatin1Char('x')), 144},
        {QStringLiteral("パスワード"), 132},  // 10 bytes in CP932
    };
    for (const Case &c : cases) {
        const QString text = ScramblePassword(c.Password);
        EXPECT_EQ(text.size(), c.Length) << qPrintable(c.Password);
        for (QChar ch : text)
            EXPECT_TRUE(alphabet.contains(ch)) << qPrintable(text);
    }
    // Random at every call.
    QSet<QString> texts;
    for (int i = 0; i < 20; ++i)
        texts.insert(ScramblePassword(QStringLiteral("tiger")));
    EXPECT_GT(texts.size(), 15);
}

TEST(PasswordScramble, UnscrambleReturnsExactlyThePassword)
{
    const QString passwords[] = {
        QStringLiteral("tiger"),
        QStringLiteral("  blanks at both ends  "),
        QStringLiteral("\ttab and control\x01"),
        QStringLiteral("日本語のパスワード"),
        QStringLiteral("emoji \U0001F600 and ü outside CP932"),
        QString(64, QLatin1Char(' ')),
        QString(200, QLatin1Char('z')),
        QStringLiteral("x"),
    };
    for (const QString &p : passwords)
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(UnscramblePassword(ScramblePassword(p)), p) << qPrintable(p);
}

TEST(PasswordScramble, TextsThatDoNotDecodeGiveAnEmptyPassword)
{
    const QString good = ScramblePassword(QStringLiteral("secret"));
    const QString bad[] = {
        QString(), QStringLiteral("!#$%&"), QStringLiteral("!#$%&("),  // too short to hold a pad count
        good.left(good.size() - 1),                                    // odd length
        QStringLiteral("ab") + good.mid(2),                            // outside the alphabet
        good.left(40),                                                 // cut short
    };
    for (const QString &t : bad)
        EXPECT_EQ(UnscramblePassword(t), QString()) << qPrintable(t);
}
