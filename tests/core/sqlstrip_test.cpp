// Comment stripping and the first-statement cut.
#include "core/kdsub_sql.h"
#include "support/qstring_printer.h"

#include <gtest/gtest.h>

namespace {

struct StripCase {
    const char *name;
    QStringList before;
    bool mode;
    QStringList after;
};

class StripTest : public ::testing::TestWithParam<StripCase> {};

TEST_P(StripTest, GivesTheExpectedLines)
{
    QStringList lines = GetParam().before;
    StripSQLComments(lines, GetParam().mode);
    EXPECT_EQ(lines, GetParam().after);
}

const StripCase kStripCases[] = {
    {"RemAndBlankLinesAtBothEnds",
     {"", "REM first", "  remark x", "SELECT a", "FROM t", "REM end", ""}, false, {"SELECT a", "FROM t"}},
    {"RemLineInsideStays", {"SELECT a", "rem note", "FROM t"}, false, {"SELECT a", "rem note", "FROM t"}},
    {"RemoveIsNoRemLine", {"REMOVE x", "REM"}, false, {"REMOVE x"}},
    {"RemWithTab", {"REM\tx", "REMARK", "SELECT 1"}, false, {"SELECT 1"}},
    {"LineCommentKeepsBlankBeforeIt", {"SELECT 'a--b' FROM t -- note"}, false, {"SELECT 'a--b' FROM t "}},
    {"QuotedNameProtects", {"SELECT \"a/*b\", \"c--d\" FROM t"}, false, {"SELECT \"a/*b\", \"c--d\" FROM t"}},
    {"BlockCommentInLine", {"SELECT a /* one */ , b"}, false, {"SELECT a  , b"}},
    {"BlockCommentOverLines", {"SELECT a /* x", "still comment", "end */ , b FROM t"}, false,
     {"SELECT a ", "", " , b FROM t"}},
    {"CutAtFirstSemicolon", {"SELECT 1; SELECT 2", "SELECT 3"}, true, {"SELECT 1"}},
    {"NoCutWithModeOff", {"SELECT 1; SELECT 2", "SELECT 3"}, false, {"SELECT 1; SELECT 2", "SELECT 3"}},
    {"SemicolonInLiteral", {"SELECT ';' FROM t;"}, true, {"SELECT ';' FROM t"}},
    {"EmptyStaysEmpty", {}, true, {}},
    {"OnlyBlankAndRem", {" ", "REM a", "\t", "remark"}, false, {}},
    {"JapaneseBeforeQuoteAndHyphen", {"SELECT 'め'--x"}, false, {"SELECT 'め'"}},
    {"UnclosedBlockCommentEmptiesTheRest", {"SELECT a /* x", "b", "c"}, false, {"SELECT a ", "", ""}},
    {"SlashStarSlashDoesNotClose", {"SELECT a /*/ b */ c"}, false, {"SELECT a  c"}},
    // PostgreSQL syntax: dollar-quoted bodies, escape strings and nested comments.
    {"DollarBodyIsNotCut",
     {"CREATE FUNCTION f() RETURNS int AS $$ BEGIN RETURN 1; END; $$ LANGUAGE plpgsql; SELECT 2"}, true,
     {"CREATE FUNCTION f() RETURNS int AS $$ BEGIN RETURN 1; END; $$ LANGUAGE plpgsql"}},
    {"TaggedDollarBodyOverLines",
     {"DO $body$", "  -- kept", "  PERFORM 1; /* kept */", "$body$;", "SELECT 2"}, true,
     {"DO $body$", "  -- kept", "  PERFORM 1; /* kept */", "$body$"}},
    {"DollarInsideNameIsNoQuote", {"SELECT a$b$ FROM t; -- c"}, true, {"SELECT a$b$ FROM t"}},
    {"DollarBehindANumberOpensAQuote", {"SELECT 1$$ -- $$ AS a -- c"}, false, {"SELECT 1$$ -- $$ AS a "}},
    {"DollarBodyRightBehindAnother", {"SELECT $q$a$q$$q$ -- $q$ -- c"}, false, {"SELECT $q$a$q$$q$ -- $q$ "}},
    {"DollarBehindAParameterOrExponent", {"SELECT $1$$ -- $$, 1e5$$ -- $$, a1$$ -- c"}, false,
     {"SELECT $1$$ -- $$, 1e5$$ -- $$, a1$$ "}},
    {"PositionalParameterIsNoQuote", {"SELECT $1; SELECT 2"}, true, {"SELECT $1"}},
    {"EscapeStringQuote", {"SELECT E'it\\'s -- no' -- yes"}, false, {"SELECT E'it\\'s -- no' "}},
    {"PlainStringBackslashEndsLiteral", {"SELECT 'a\\' -- c"}, false, {"SELECT 'a\\' "}},
    {"NestedBlockComment", {"SELECT /* a /* b */ c */ 1"}, false, {"SELECT  1"}},
    {"ScanResumesWithTheQuoteState",
     {"SELECT 'x", "y' /* c */ , 'z' -- note"}, false, {"SELECT 'x", "y'  , 'z' "}},
    // A comment between two tokens leaves a blank, so they never run together.
    {"ManyCommentsOnOneLine", {"a/**/b/**/c/**/d"}, false, {"a b c d"}},
    {"CommentBetweenNumberAndWord", {"SELECT 1/*c*/AS a"}, false, {"SELECT 1 AS a"}},
    {"CommentBetweenOperators", {"SELECT 2-/*c*/-1"}, false, {"SELECT 2- -1"}},
    {"NestedCommentBetweenWords", {"SELECT a/* x /* y */ z */FROM t"}, false, {"SELECT a FROM t"}},
    {"CommentAtLineStartAndEndLeavesNoBlank", {"/*a*/SELECT 1/*b*/", "/*c*/FROM t"}, false, {"SELECT 1", "FROM t"}},
    {"LiteralOverLinesKeepsItsBlanks", {"SELECT 'a  ", "   b' FROM t  "}, false, {"SELECT 'a  ", "   b' FROM t"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, StripTest, ::testing::ValuesIn(kStripCases),
                         [](const ::testing::TestParamInfo<StripCase> &info) { return std::string(info.param.name); });

TEST(StripSQLComments, LongRunsStayLinear)
{
    // Many comments and quotes on one line are handled in one pass.
    QString line;
    for (int i = 0; i < 20000; ++i)
        line += QStringLiteral("/**/''");
    QStringList lines{line};
    StripSQLComments(lines, true);
    EXPECT_EQ(lines.first().size(), 40000 + 19999); // a blank where each comment stood between two literals

    // Many blank lines at the start are dropped at once.
    QStringList blank(200000, QStringLiteral("  "));
    blank.append(QStringLiteral("SELECT 1"));
    StripSQLComments(blank, false);
    EXPECT_EQ(blank, QStringList{QStringLiteral("SELECT 1")});
}

} // namespace
