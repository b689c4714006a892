// The built-in reserved words and the keyword list kept under RESERVE.
#include "settings_fixture.h"
#include "support/qstring_printer.h"

#include "core/kdreserve.h"

using settings::SettingsStore;
using settings::Value;

namespace {
const QString kReserveKey = QStringLiteral("\\Software\\Tarnwell\\ZUMAQ\\RESERVE");
}

TEST(ReservedWords, BuiltInListIsSortedUpperCaseAndDistinct)
{
    QStringList list;
    AddReservedWords(list);
    ASSERT_EQ(list.size(), 397);
    EXPECT_EQ(list.first(), QStringLiteral("ABORT"));
    EXPECT_EQ(list.last(), QStringLiteral("ZONE"));
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString &w = list.at(i);
        EXPECT_FALSE(w.isEmpty());
        for (QChar c : w)
            EXPECT_TRUE((c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || c == QLatin1Char('_')) << qPrintable(w);
        if (i > 0) {
            EXPECT_LT(list.at(i - 1), w);
            EXPECT_LT(QString::compare(list.at(i - 1), w, Qt::CaseInsensitive), 0);
        }
    }
    EXPECT_EQ(BuiltInReservedWords().size(), 397u);
}

TEST(ReservedWords, AddAppendsWithoutClearingOrCheckingAndLookupIgnoresCase)
{
    QStringList list{QStringLiteral("SELECT"), QStringLiteral("mine")};
    AddReservedWords(list);
    EXPECT_EQ(list.size(), 399);
    EXPECT_EQ(list.at(1), QStringLiteral("mine"));
    EXPECT_EQ(list.count(QStringLiteral("SELECT")), 2);

    const std::pair<const char *, bool> cases[] = {
        {"select", true}, {"Select", true}, {"CURRENT_TIMESTAMP", true}, {"xmlserialize", true},
        {"SELECTS", false}, {"", false}, {"NOW", false}, {"varchar2", false},
    };
    for (const auto &[word, reserved] : cases)
        EXPECT_EQ(IsReservedWord(QString::fromLatin1(word)), reserved) << word;
}

TEST(ReservedWords, MergeKeepsEachWordOnceAndSortsIgnoringCase)
{
    const QStringList merged = MergeKeywordList({QStringLiteral("zzz"), QStringLiteral("Select"),
                                                 QStringLiteral("alpha"), QStringLiteral("ALPHA")});
    EXPECT_EQ(merged.size(), 397 + 2);
    EXPECT_EQ(merged.first(), QStringLiteral("ABORT"));
    EXPECT_TRUE(merged.contains(QStringLiteral("Select")));   // the user's spelling wins
    EXPECT_FALSE(merged.contains(QStringLiteral("SELECT")));
    EXPECT_EQ(merged.count(QStringLiteral("alpha")), 1);
    EXPECT_FALSE(merged.contains(QStringLiteral("ALPHA")));
    EXPECT_EQ(merged.last(), QStringLiteral("zzz"));
    for (qsizetype i = 1; i < merged.size(); ++i)
        EXPECT_LE(QString::compare(merged.at(i - 1), merged.at(i), Qt::CaseInsensitive), 0);
}

class KeywordStoreTest : public FreshSettingsTest {};

TEST_F(KeywordStoreTest, UserWordsJoinTheListAndTheKeyIsRebuiltAtExit)
{
    {
        SettingsStore store(ConfigFile());
        ASSERT_TRUE(store.setValue(kReserveKey, QStringLiteral("MYWORD"), Value::fromString({})));
        ASSERT_TRUE(store.setValue(kReserveKey, QStringLiteral("select"), Value::fromString(QStringLiteral("ignored"))));
    }
    Restart();
    LoadSettings();
    EXPECT_EQ(KeywordList().size(), 398);
    EXPECT_TRUE(KeywordList().contains(QStringLiteral("MYWORD")));
    EXPECT_EQ(std::count_if(KeywordList().cbegin(), KeywordList().cend(),
                            [](const QString &w) { return w.compare(QLatin1String("select"), Qt::CaseInsensitive) == 0; }),
              1);
    // The editors' copy holds each word once.
    EXPECT_EQ(TkdEditorSettings::Global().ReserveWordList.size(), 398);

    ASSERT_TRUE(SaveSettings().isEmpty());
    SettingsStore store(ConfigFile());
    QStringList stored = store.valueNames(kReserveKey);
    EXPECT_EQ(stored.size(), 398);
    EXPECT_TRUE(stored.contains(QStringLiteral("MYWORD")));
    EXPECT_TRUE(stored.contains(QStringLiteral("ZONE")));

    // The list does not grow at later starts, and a word removed from it disappears.
    for (int start = 0; start < 2; ++start) {
        Restart();
        LoadSettings();
        EXPECT_EQ(KeywordList().size(), 398);
        ASSERT_TRUE(SaveSettings().isEmpty());
    }
    KeywordList().removeAll(QStringLiteral("MYWORD"));
    ASSERT_TRUE(SaveSettings().isEmpty());
    stored = SettingsStore(ConfigFile()).valueNames(kReserveKey);
    EXPECT_EQ(stored.size(), 397);
    EXPECT_FALSE(stored.contains(QStringLiteral("MYWORD")));
}
