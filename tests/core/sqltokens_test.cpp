// The formatter and the comment stripper keep the token sequence of what they are given: the
// tokens as the server reads them, over a corpus of statements of every kind and every
// layout, the letter case of each word exactly as the options ask.
#include "core/kdreserve.h"
#include "core/kdsqltoken.h"
#include "core/kdsub_sql.h"
#include "sqlcorpus.h"
#include "support/qstring_printer.h"

#include <gtest/gtest.h>

namespace {

using kdsqltoken::TToken;
using kdsqltoken::TTokenKind;

QStringList Texts(const QString &s, const std::vector<TToken> &tokens)
{
    QStringList out;
    for (const TToken &t : tokens)
        out.append(s.mid(t.FStart, t.FLength));
    return out;
}

struct LexCase {
    const char *name;
    QString text;
    QStringList tokens;
};

class LexTest : public ::testing::TestWithParam<LexCase> {};

TEST_P(LexTest, ReadsTheTokensAsTheServerDoes)
{
    EXPECT_EQ(Texts(GetParam().text, kdsqltoken::Tokenize(GetParam().text)), GetParam().tokens);
}

const LexCase kLexCases[] = {
    {"DoubledQuoteStaysInTheLiteral", "SELECT 'it''s', x", {"SELECT", "'it''s'", ",", "x"}},
    {"EscapeString", "E'a\\'b' e'c'", {"E'a\\'b'", "e'c'"}},
    {"PlainStringBackslashEndsIt", "'a\\' b", {"'a\\'", "b"}},
    {"Prefixes", "B'1' X'f' N'n' U&'\\0061' U&\"x\" UESCAPE '!'",
     {"B'1'", "X'f'", "N'n'", "U&'\\0061'", "U&\"x\"", "UESCAPE", "'!'"}},
    {"PrefixLetterInsideAWordIsNoPrefix", "abcE'x'", {"abcE", "'x'"}},
    {"DollarBodiesAndParameters", "$1 $$a$$ $t$ $$ $t$ a$b$ $", {"$1", "$$a$$", "$t$ $$ $t$", "a$b$", "$"}},
    {"DollarQuoteBehindANumber", "1$$a$$ x1$$", {"1", "$$a$$", "x1$$"}},
    {"Numbers", "1.5e-3 .5 5. 1..3 2E+4 1e", {"1.5e-3", ".5", "5.", "1", "..", "3", "2E+4", "1", "e"}},
    {"OperatorsEndBeforeComments", "a+-b c*/*x*/d e--f\ng", {"a", "+", "-", "b", "c", "*", "/*x*/", "d", "e", "--f", "g"}},
    {"OperatorKeepsTrailingMinusWithSpecialCharacter", "a@-b a<-1 a->>'k'", {"a", "@-", "b", "a", "<", "-", "1", "a", "->>", "'k'"}},
    {"CastsAndAssignment", "a::int b := 1", {"a", "::", "int", "b", ":=", "1"}},
    {"NestedBlockComment", "/* a /* b */ c */ x", {"/* a /* b */ c */", "x"}},
    {"QuotedNameWithDoubledQuote", "\"a\"\"b\".c", {"\"a\"\"b\"", ".", "c"}},
    {"UnclosedPiecesRunToTheEnd", "x 'abc", {"x", "'abc"}},
    {"JapaneseName", QString::fromUtf8("SELECT 名前"), {"SELECT", QString::fromUtf8("名前")}},
};

INSTANTIATE_TEST_SUITE_P(Cases, LexTest, ::testing::ValuesIn(kLexCases),
                         [](const ::testing::TestParamInfo<LexCase> &info) { return std::string(info.param.name); });

TEST(RoutineBodies, OnlyPlpgsqlAndSqlBodiesAreOpened)
{
    struct Case {
        const char *text;
        int tags;
    };
    const Case cases[] = {
        {"CREATE FUNCTION f() RETURNS int AS $$ BEGIN RETURN 1; END $$ LANGUAGE plpgsql", 2},
        {"create or replace function f() returns int language SQL as $b$ select 1 $b$", 2},
        {"CREATE PROCEDURE p() LANGUAGE 'plpgsql' AS $$ BEGIN END $$", 2},
        {"DO $$ BEGIN END $$", 2},
        {"DO LANGUAGE plperl $$ 1; $$", 0},
        {"CREATE FUNCTION f() RETURNS int AS $$ return 1 $$ LANGUAGE plpython3u", 0},
        {"CREATE FUNCTION f() RETURNS int AS 'SELECT 1' LANGUAGE sql", 0},
        {"SELECT $$ BEGIN END $$ AS x; CREATE FUNCTION g() RETURNS int AS $$ SELECT 1 $$ LANGUAGE sql", 2},
        {"CREATE FUNCTION f() RETURNS int LANGUAGE sql AS $$ SELECT 1 $$; CREATE FUNCTION g() RETURNS int AS $$ x $$ LANGUAGE c", 2},
    };
    for (const Case &c : cases)
        EXPECT_EQ(int(kdsqltoken::RoutineBodyTags(QString::fromUtf8(c.text)).size()), c.tags) << c.text;
}

// Every word of Formatted has the case the options give to the same word of Text.
void ExpectWordCase(const QString &text, const QString &formatted, const TFormatOption &o, const std::string &where)
{
    const std::vector<TToken> a = kdsqltoken::TokenizeRoutines(text);
    const std::vector<TToken> b = kdsqltoken::TokenizeRoutines(formatted);
    ASSERT_EQ(a.size(), b.size()) << where;
    for (size_t k = 0; k < a.size(); ++k) {
        if (a[k].FKind != TTokenKind::Word)
            continue;
        const QString w = text.mid(a[k].FStart, a[k].FLength);
        const int option = IsReservedWord(w) ? o.ReserveTrans : o.ItemTrans;
        QString want = w;
        for (QChar &c : want) {
            if (option == 0 && c >= u'a' && c <= u'z')
                c = QChar(c.unicode() - 32);
            else if (option == 1 && c >= u'A' && c <= u'Z')
                c = QChar(c.unicode() + 32);
        }
        ASSERT_EQ(formatted.mid(b[k].FStart, b[k].FLength), want) << where << " word " << k;
    }
}

TEST(FormatCorpus, EveryLayoutKeepsTheTokenSequence)
{
    const QList<sqlcorpus::TCase> cases = sqlcorpus::Cases();
    ASSERT_GT(cases.size(), 50);
    const QList<TFormatOption> layouts = sqlcorpus::AllLayouts();
    for (const sqlcorpus::TCase &c : cases) {
        for (const QString &text : {c.FText, QString(c.FText).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))}) {
            for (const TFormatOption &o : layouts) {
                const QString formatted = FormatSQL(text, o);
                const std::string where = c.FName.toStdString() + " / " + sqlcorpus::Describe(o).toStdString() + "\n"
                                          + formatted.toStdString();
                ASSERT_TRUE(kdsqltoken::SameStatementText(text, formatted)) << where;
                ExpectWordCase(text, formatted, o, where);
                if (HasFatalFailure())
                    return;
            }
        }
    }
}

TEST(FormatCorpus, CutTextsKeepTheirTokens)
{
    // Every case cut short leaves literals, names, bodies and comments open at the end.
    const TFormatOption o = sqlcorpus::DefaultLayout();
    for (const sqlcorpus::TCase &c : sqlcorpus::Cases()) {
        for (qsizetype n = 1; n < c.FText.size(); n += 5) {
            const QString text = c.FText.left(n);
            const QString formatted = FormatSQL(text, o);
            ASSERT_TRUE(kdsqltoken::SameStatementText(text, formatted))
                << c.FName.toStdString() << " cut at " << n << "\n" << text.toStdString() << "\n---\n" << formatted.toStdString();
        }
    }
}

// The faults seen in formatted statements: what must and must not be in the result.
struct MeaningCase {
    const char *name;
    QString text;
    TFormatOption layout;
    QStringList contains;    // each piece must occur in the result
    QStringList notContains; // none of these may
};

class MeaningTest : public ::testing::TestWithParam<MeaningCase> {};

TEST_P(MeaningTest, KeepsWhatTheStatementMeans)
{
    const QString r = FormatSQL(GetParam().text, GetParam().layout);
    EXPECT_TRUE(kdsqltoken::SameStatementText(GetParam().text, r)) << r.toStdString();
    for (const QString &piece : GetParam().contains)
        EXPECT_TRUE(r.contains(piece)) << piece.toStdString() << "\n" << r.toStdString();
    for (const QString &piece : GetParam().notContains)
        EXPECT_FALSE(r.contains(piece)) << piece.toStdString() << "\n" << r.toStdString();
}

TFormatOption KeepCase()
{
    TFormatOption o = sqlcorpus::DefaultLayout();
    o.ReserveTrans = 2;
    o.ItemTrans = 2;
    return o;
}

const MeaningCase kMeaningCases[] = {
    {"WithinGroupGetsNoBy", "SELECT percentile_cont(0.5) WITHIN GROUP (ORDER BY a) FROM t", sqlcorpus::DefaultLayout(),
     {"WITHIN GROUP"}, {"GROUP BY ("}},
    {"ExcludeGroupGetsNoBy", "SELECT sum(a) OVER (ORDER BY a ROWS 1 PRECEDING EXCLUDE GROUP) FROM t",
     sqlcorpus::DefaultLayout(), {"EXCLUDE"}, {"GROUP BY"}},
    {"PartitionByKeepsBy", "SELECT rank() OVER (PARTITION BY a ORDER BY b), count(*) OVER (PARTITION BY c) FROM t",
     sqlcorpus::DefaultLayout(), {"PARTITION BY a", "PARTITION BY c"}, {}},
    {"ModifyingCteKeepsItsParenthesis", "WITH t AS (UPDATE u SET a = 1 RETURNING *) SELECT * FROM t",
     sqlcorpus::DefaultLayout(), {"*)"}, {}},
    {"MergeAfterWithKeepsInto", "WITH s AS (SELECT 1 AS id) MERGE INTO t USING s ON t.id = s.id WHEN MATCHED THEN DELETE",
     sqlcorpus::DefaultLayout(), {"MERGE INTO t"}, {}},
    {"StringContinuationKeepsItsLineBreak", "SELECT 'a'\r\n'b' AS x FROM t", sqlcorpus::DefaultLayout(),
     {"'a'\r\n"}, {"'a' 'b'"}},
    {"KeptCaseInsertInto", "insert into t (a) values (1)", KeepCase(), {"insert into t"}, {"INSERT", "INTO", "VALUES"}},
    {"KeptCaseOrderAndGroupBy", "select a from t group by a order by a", KeepCase(), {"group by", "order by"},
     {"GROUP", "ORDER", "BY"}},
    {"KeptMixedCase", "Select a From t Group By a Order By a", KeepCase(), {"Group By", "Order By"}, {"GROUP", "ORDER"}},
    {"CommentBetweenTokensStays", "SELECT 1/*c*/AS a", sqlcorpus::DefaultLayout(), {"/*c*/"}, {"1AS"}},
    {"LiteralLeftOpenInABodyMeetsItsClosingTag",
     "CREATE FUNCTION f() RETURNS int AS $$ BEGIN x := 'open; $$ LANGUAGE plpgsql", sqlcorpus::DefaultLayout(),
     {"'open; $$"}, {}},
    {"LineCommentIsEndedByALineBreak", "SELECT a, -- note\r\nb FROM t", sqlcorpus::DefaultLayout(), {"-- note\r\n"}, {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, MeaningTest, ::testing::ValuesIn(kMeaningCases),
                         [](const ::testing::TestParamInfo<MeaningCase> &info) { return std::string(info.param.name); });

// The keys of the tokens that are not comments, dollar bodies read as one token each.
QStringList KeysWithoutComments(const QString &text)
{
    QStringList keys;
    for (const TToken &t : kdsqltoken::Tokenize(text))
        if (t.FKind != TTokenKind::LineComment && t.FKind != TTokenKind::BlockComment)
            keys.append(kdsqltoken::TokenKey(text, t));
    return keys;
}

TEST(StripCorpus, StrippingLeavesEveryOtherToken)
{
    for (const sqlcorpus::TCase &c : sqlcorpus::Cases()) {
        QStringList lines = c.FText.split(QStringLiteral("\r\n"));
        StripSQLComments(lines, false);
        const QString stripped = lines.join(QStringLiteral("\r\n"));
        EXPECT_EQ(KeysWithoutComments(stripped), KeysWithoutComments(c.FText)) << c.FName.toStdString() << "\n"
                                                                               << stripped.toStdString();
    }
}

} // namespace
