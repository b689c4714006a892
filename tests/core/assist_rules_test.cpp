// Word, token, comment and quoting rules of the SQL editor.
#include "core/kdassist.h"
#include "support/qstring_printer.h"

#include <gtest/gtest.h>

using namespace kdassist;

TEST(AssistToken, TokenBeforeCaret)
{
    struct Case { QString row; int caret; QString token; int prefixStart; };
    const Case cases[] = {
        {"select t.", 9, "t.", 9},
        {"select t.c", 10, "t.c", 9},
        {"select ", 7, "", 7},
        {"select", 6, "select", 0},
        {"emp", 2, "emp", 0},                        // caret between «em» and «p»
        {"select public.emp.", 18, "public.emp.", 18},
        {"select \"MyTab\".", 15, "MyTab.", 15},     // quotes of the name dropped
        {"select \"My Tab\".", 16, "Tab.", 16},      // the blank inside ends the word
        {".", 1, ".", 1},
        {"", 0, "", 0},
        {"  abc", 0, "", 0},                         // caret at the start of the row
        {"where e.na", 10, "e.na", 8},
        {"x = 表名", 6, "表名", 4},                    // Japanese names are words
        {"copy t to 'a.csv'.", 18, ".", 18},
    };
    for (const Case &c : cases) {
        const TAssistToken t = CodeAssistToken(c.row, c.caret);
        EXPECT_EQ(t.Text, c.token) << c.row.toStdString() << " @" << c.caret;
        EXPECT_EQ(t.PrefixStart, c.prefixStart) << c.row.toStdString() << " @" << c.caret;
    }
}

TEST(AssistWord, WordUnderColumn)
{
    struct Case { QString row; int column; bool found; int start; int length; };
    const Case cases[] = {
        {"select public.emp", 16, true, 14, 3},   // only the part after the dot
        {"select public.emp", 14, false, 0, 0},   // the character before the boundary is "."
        {"select public.emp", 7, false, 0, 0},    // just after a blank
        {"select public.emp", 1, true, 0, 6},
        {"", 1, false, 0, 0},
        {"abc", 0, false, 0, 0},
        {"社員.氏名", 5, true, 3, 2},
    };
    for (const Case &c : cases) {
        int s = -1, n = -1;
        EXPECT_EQ(WordAt(c.row, c.column, &s, &n), c.found) << c.row.toStdString() << " @" << c.column;
        if (c.found) {
            EXPECT_EQ(s, c.start) << c.row.toStdString();
            EXPECT_EQ(n, c.length) << c.row.toStdString();
        }
    }
}

TEST(AssistComment, ToggleRows)
{
    struct Case { QStringList rows; QStringList expected; };
    const Case cases[] = {
        {{"select *", "  from t"}, {"--select *", "--  from t"}},
        {{"--select *", "--  from t"}, {"select *", "  from t"}},
        {{"--a", "b"}, {"----a", "--b"}},
        {{"  --x -- note", "--y"}, {"  x -- note", "y"}},
        {{""}, {"--"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ToggleLineComments(c.rows, {}), c.expected) << c.rows.join('|').toStdString();
}

TEST(AssistComment, BoxAndWrappedRows)
{
    TCommentToggle box;
    box.BoxMode = true;
    box.BoxLeft = 4;
    EXPECT_EQ(ToggleLineComments({"abc defg", "ab", "xyz hij"}, box),
              (QStringList{"abc --defg", "ab", "xyz --hij"}));
    EXPECT_EQ(ToggleLineComments({"abc --defg", "xyz --hij"}, box),
              (QStringList{"abc defg", "xyz hij"}));

    TCommentToggle wrap;
    wrap.WrapByte = 80;
    wrap.TabWidth = 8;
    const QString row79(79, QLatin1Char('x'));
    EXPECT_EQ(ToggleLineComments({row79}, wrap), QStringList{row79});
    EXPECT_EQ(ToggleLineComments({"short"}, wrap), QStringList{"--short"});
    // A row marked as the continuation of a wrapped line is left alone.
    EXPECT_EQ(ToggleLineComments({"a", "b"}, {}, {true, false}), (QStringList{"--a", "b"}));
}

TEST(AssistStatsPack, MultiWordToken)
{
    const QString line = QStringLiteral("Load Profile");
    EXPECT_EQ(TokenStringStatsPack(line, 0, 4), QStringLiteral("Load Profile"));
    EXPECT_EQ(TokenStringStatsPack(line, 5, 7), QStringLiteral("Load Profile"));
    EXPECT_EQ(TokenStringStatsPack(QStringLiteral("Load Profile  x"), 0, 4), QStringLiteral("Load Profile"));
    EXPECT_EQ(TokenStringStatsPack(QStringLiteral("Top 10 Events"), 0, 3), QStringLiteral("Top 1"));
}

TEST(AssistQuote, QuoteForInsert)
{
    struct Case { QString name; QString inserted; };
    const Case cases[] = {
        {"emp_no", "emp_no"},
        {"Emp", "\"Emp\""},
        {"my table", "\"my table\""},
        {"SELECT", "\"SELECT\""},
        {"a-b", "\"a-b\""},
        {"say\"hi", "say\"hi"},
        {"社員", "社員"},
        {"f(x)", "\"f(x)\""},
        {"\"Quoted\"", "\"Quoted\""},
        {"\"a b\"", "\"\"\"a b\"\"\""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(QuoteForInsert(c.name), c.inserted) << c.name.toStdString();
}

TEST(AssistFilter, PrefixWithoutCase)
{
    const QStringList captions{"employee", "EMP", "dept", "Emptiness", "xemp"};
    EXPECT_EQ(FilterCandidates(captions, "emp"), (QVector<int>{0, 1, 3}));
    EXPECT_EQ(FilterCandidates(captions, "  EmP "), (QVector<int>{0, 1, 3}));
    EXPECT_EQ(FilterCandidates(captions, ""), (QVector<int>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(FilterCandidates(captions, "zzz").isEmpty());
}

TEST(AssistCase, ConversionKeepsLength)
{
    EXPECT_EQ(ConvertCase("select 'ß' from 表", true), QStringLiteral("SELECT 'ß' FROM 表"));
    EXPECT_EQ(ConvertCase("ABC ｘＹＺ", false), QStringLiteral("abc ｘｙｚ"));
}
