// The SQL formatter: the documented layouts, option variants and the cases where the text
// of literals, quoted names and dollar bodies must survive unchanged.
#include "core/kdsub_sql.h"
#include "support/qstring_printer.h"

#include <gtest/gtest.h>

namespace {

QString Lines(const QStringList &lines)
{
    return lines.join(QStringLiteral("\r\n"));
}

TFormatOption Layout(std::initializer_list<std::pair<const char *, int>> values = {})
{
    TFormatOption o;
    o.Reset();
    for (const auto &[name, value] : values) {
        const std::string n(name);
        if (n == "Indent") o.Indent = value;
        else if (n == "ItemReturn") o.ItemReturn = value;
        else if (n == "ReservePos") o.ReservePos = value;
        else if (n == "CommaPos") o.CommaPos = value;
        else if (n == "AndPos") o.AndPos = value;
        else if (n == "ReserveTrans") o.ReserveTrans = value;
        else if (n == "ItemTrans") o.ItemTrans = value;
    }
    return o;
}

const QString kSample = QString::fromUtf8(
    "/* 表示サンプル */\r\nBEGIN SELECT S01.COL01, S01.COL02 FROM SAMPLE01 S01, SMAPLE02 S02 WHERE S01.COL01 = "
    "S02.COL1 AND S01.COL2 IS NOT NULL GROUP BY COL1 HAVING COL1 > 1 AND COL2 IS NOT NULL ORDER BY COL1, COL2 "
    "DESC; END;");

const QStringList kSampleDefault = {
    QString::fromUtf8("/* 表示サンプル */"),
    "BEGIN",
    "    SELECT S01.COL01",
    "          ,S01.COL02",
    "      FROM SAMPLE01 S01",
    "          ,SMAPLE02 S02",
    "     WHERE S01.COL01 = S02.COL1",
    "       AND S01.COL2 IS NOT NULL",
    "     GROUP BY COL1",
    "    HAVING COL1 > 1",
    "       AND COL2 IS NOT NULL",
    "     ORDER BY COL1",
    "             ,COL2 DESC; ",
    "END;",
};

struct FormatCase {
    const char *name;
    QString input;
    TFormatOption layout;
    QStringList output;
};

class FormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTest, LaysOutTheText)
{
    EXPECT_EQ(FormatSQL(GetParam().input, GetParam().layout), Lines(GetParam().output));
}

QStringList Lowered(const QStringList &lines)
{
    QStringList out;
    for (const QString &l : lines)
        out.append(l.toLower());
    return out;
}

QStringList Unindented(const QStringList &lines, int by)
{
    QStringList out;
    for (const QString &l : lines)
        out.append(l.startsWith(QString(by, u' ')) ? l.mid(by) : l);
    return out;
}

const QString kBody = QStringLiteral(
    "DECLARE n integer; BEGIN IF n > 0 THEN n := 1; ELSE n := 2; END IF; FOR i IN 1..3 LOOP n := n + i; END "
    "LOOP; RETURN n; EXCEPTION WHEN others THEN RETURN 0; END;");

const FormatCase kFormatCases[] = {
    {"SampleDefaults", kSample, Layout(), kSampleDefault},
    {"SampleCommaAtEnd", kSample, Layout({{"CommaPos", 1}}),
     {kSampleDefault[0], "BEGIN", "    SELECT S01.COL01,", "           S01.COL02", "      FROM SAMPLE01 S01,",
      "           SMAPLE02 S02", "     WHERE S01.COL01 = S02.COL1", "       AND S01.COL2 IS NOT NULL",
      "     GROUP BY COL1", "    HAVING COL1 > 1", "       AND COL2 IS NOT NULL", "     ORDER BY COL1,",
      "              COL2 DESC; ", "END;"}},
    {"SampleAndAtEnd", kSample, Layout({{"AndPos", 1}}),
     {kSampleDefault[0], "BEGIN", "    SELECT S01.COL01", "          ,S01.COL02", "      FROM SAMPLE01 S01",
      "          ,SMAPLE02 S02", "     WHERE S01.COL01 = S02.COL1 AND", "           S01.COL2 IS NOT NULL",
      "     GROUP BY COL1", "    HAVING COL1 > 1 AND", "           COL2 IS NOT NULL", "     ORDER BY COL1",
      "             ,COL2 DESC; ", "END;"}},
    {"SampleKeywordsLeft", kSample, Layout({{"ReservePos", 1}}),
     {kSampleDefault[0], "BEGIN", "    SELECT S01.COL01", "          ,S01.COL02", "    FROM   SAMPLE01 S01",
      "          ,SMAPLE02 S02", "    WHERE  S01.COL01 = S02.COL1", "    AND    S01.COL2 IS NOT NULL",
      "    GROUP BY COL1", "    HAVING COL1 > 1", "    AND    COL2 IS NOT NULL", "    ORDER BY COL1",
      "            ,COL2 DESC; ", "END;"}},
    {"SampleNoItemBreaks", kSample, Layout({{"ItemReturn", 1}}),
     {kSampleDefault[0], "BEGIN", "    SELECT S01.COL01, S01.COL02", "      FROM SAMPLE01 S01, SMAPLE02 S02",
      "     WHERE S01.COL01 = S02.COL1 AND S01.COL2 IS NOT NULL", "     GROUP BY COL1",
      "    HAVING COL1 > 1 AND COL2 IS NOT NULL", "     ORDER BY COL1, COL2 DESC; ", "END;"}},
    {"SampleLowerCase", kSample, Layout({{"ReserveTrans", 1}, {"ItemTrans", 1}}), Lowered(kSampleDefault)},
    {"SampleIndentTwo", kSample, Layout({{"Indent", 2}}), Unindented(kSampleDefault, 2)},
    {"LeadingBlockComment", "/* hello */ select a from t", Layout({{"ItemTrans", 0}}),
     {"/* hello */ ", "SELECT A", "  FROM T"}},
    {"Insert", "insert into t (a, b, c) values (1, 'x', 3)", Layout(),
     {"INSERT INTO t", "       (a", "       ,b", "       ,c)", "VALUES (1", "       ,'x'", "       ,3)"}},
    {"Update", "update t set a = 1, b = 'x' where c = 2", Layout(),
     {"UPDATE t", "   SET a = 1", "      ,b = 'x'", " WHERE c = 2"}},
    {"DeleteBetween", "delete from t where a between 1 and 5 and b like 'x%'", Layout(),
     {"DELETE ", "  FROM t", " WHERE a BETWEEN 1 AND 5", "   AND b LIKE 'x%'"}},
    {"Union", "select a from t union select b from u", Layout(),
     {"SELECT a", "  FROM t", " UNION ", "SELECT b", "  FROM u"}},
    {"ForUpdate", "select * from t for update", Layout(), {"SELECT *", "  FROM t", "   FOR UPDATE"}},
    {"SemicolonAloneOnItsLine", "SELECT a FROM t\r\n;\r\nSELECT b FROM u", Layout(),
     {"SELECT a", "  FROM t", ";", "SELECT b", "  FROM u"}},
    {"ProceduralBlock", kBody, Layout(),
     {"DECLARE", "n INTEGER; ", "BEGIN", "    IF n > 0 THEN", "        n := 1; ", "    ELSE", "        n := 2; ",
      "    END IF;", "    FOR i IN 1..3 LOOP", "        n := n + i; ", "    END LOOP;", "    RETURN n; ", "EXCEPTION",
      "    WHEN others THEN", "        RETURN 0; ", "END;"}},
    {"EmptyText", "", Layout(), {""}},
    {"BlankText", "   \r\n  ", Layout(), {""}},
    {"QuoteInCommentChangesNothing", "SELECT a FROM t WHERE x = 1 -- don't\r\nAND y = 'z'", Layout(),
     {"SELECT a", "  FROM t", " WHERE x = 1 -- don't", "   AND y = 'z'"}},
    {"CommentsBehindItems", "SELECT a, -- c1\r\n b -- c2\r\nFROM t", Layout(),
     {"SELECT a", "      ,-- c1", "       b -- c2", "  FROM t"}},
    {"CommentsBehindItemsCommaAtEnd", "SELECT a, -- c1\r\n b -- c2\r\nFROM t", Layout({{"CommaPos", 1}}),
     {"SELECT a,-- c1", "       b -- c2", "  FROM t"}},
    {"LineCommentToTheEnd", "SELECT a FROM t -- note", Layout(), {"SELECT a", "  FROM t -- note"}},
    {"LineCommentBeforeTheLastLineEnd", "SELECT a FROM t -- note\r\n  \r\n", Layout(),
     {"SELECT a", "  FROM t -- note"}},
    {"LineCommentBehindAnItemBeforeTheEnd", "SELECT a, -- note\r\n", Layout(), {"SELECT a", "      ,-- note"}},
    {"UnclosedBlockComment", "SELECT a FROM t /* open", Layout(), {"SELECT a", "  FROM t /* open"}},
    {"UnclosedBlockCommentOverLines", "SELECT a FROM t /* open\r\n  still", Layout(),
     {"SELECT a", "  FROM t /* open", "  still"}},
    {"BlockCommentBehindComma", "SELECT a, /* c */\r\nb FROM t", Layout(),
     {"SELECT a", "      ,/* c */", "      b", "  FROM t"}},
    {"CommasInParentheses", "SELECT f(a, b), c FROM t", Layout(), {"SELECT f(a, b) ", "      ,c", "  FROM t"}},
    {"InListInCondition", "SELECT a FROM t WHERE a IN (1, 2, 3) AND b = f(x, y)", Layout(),
     {"SELECT a", "  FROM t", " WHERE a IN(1 , 2 , 3)", "   AND b = f(x , y)"}},
    {"ParenthesisedOr", "SELECT a FROM t WHERE a = 1 AND (b = 2 OR c = 3)", Layout(),
     {"SELECT a", "  FROM t", " WHERE a = 1", "   AND (b = 2 OR c = 3)"}},
    {"ParenthesisedOrNoBlank", "SELECT a FROM t WHERE a = 1 AND(b = 2 OR c = 3)", Layout(),
     {"SELECT a", "  FROM t", " WHERE a = 1", "   AND (b = 2 OR c = 3)"}},
    {"OperatorsGetBlanks", "SELECT a FROM t WHERE a=1 AND b<>2", Layout(),
     {"SELECT a", "  FROM t", " WHERE a = 1", "   AND b <> 2"}},
    {"OuterJoin", "SELECT a FROM t1 LEFT OUTER JOIN t2 ON t1.k = t2.k INNER JOIN t3 ON t2.k = t3.k", Layout(),
     {"SELECT a", "  FROM t1", "  LEFT OUTER", "  JOIN t2 ON t1.k = t2.k", " INNER JOIN t3 ON t2.k = t3.k"}},
    {"UpdateExpressions", "UPDATE t SET a = (b+1)*2, c = 'x y' WHERE d = 1", Layout(),
     {"UPDATE t", "   SET a =(b+1) * 2", "      ,c = 'x y'", " WHERE d = 1"}},
    // A comment keeps its place among the tokens: it is not moved in front of the AND.
    {"CommentBehindAnd", "SELECT a FROM t WHERE x = 1 AND -- c\r\ny = 2", Layout(),
     {"SELECT a", "  FROM t", " WHERE x = 1 AND -- c", " y = 2"}},
    {"CommentBehindAndAtEnd", "SELECT a FROM t WHERE x = 1 AND -- c\r\ny = 2", Layout({{"AndPos", 1}}),
     {"SELECT a", "  FROM t", " WHERE x = 1 AND-- c", "        y = 2"}},
    {"InsertValuesOnly", "INSERT INTO t VALUES (1, f(2, 3), 'x')", Layout(),
     {"INSERT INTO t", "VALUES (1", "       ,f(2, 3) ", "       ,'x')"}},
    {"OrderByLeftCommaAtEnd", "SELECT a FROM t ORDER BY a DESC, b", Layout({{"ReservePos", 1}, {"CommaPos", 1}}),
     {"SELECT a", "FROM   t", "ORDER BY a DESC,", "         b"}},
    {"DoubledQuotesAndQuotedNames", "SELECT 'it''s', \"Col\" FROM t", Layout(),
     {"SELECT 'it''s'", "      ,\"Col\"", "  FROM t"}},
    // The text of literals, quoted names and dollar bodies is never changed, and nothing is
    // added behind the last word.
    {"WordAtTheEndGetsNoCR", "commit", Layout(), {"COMMIT"}},
    {"UnclosedLiteralPassesUnchanged", "SELECT 'abc FROM t WHERE x = 1", Layout(), {"SELECT 'abc FROM t WHERE x = 1"}},
    {"LiteralOverTwoLinesKeepsItsText", "SELECT 'a\r\n  b' FROM t", Layout(), {"SELECT 'a", "  b'", "  FROM t"}},
    {"QuotedNameOverTwoLines", "SELECT \"a\r\nb\" FROM t", Layout(), {"SELECT \"a", "b\"", "  FROM t"}},
    {"TabInLiteralStays", "SELECT 'a\tb'\tFROM t", Layout(), {"SELECT 'a\tb'", "  FROM t"}},
    {"LiteralOutsideStatementsKeepsLineStarts", "DO 'a\r\n   b';", Layout(), {"DO 'a", "   b';"}},
    // The body of a plpgsql or sql routine is laid out by the block rules; other bodies,
    // and bodies in single quotes, stay as written.
    {"PlpgsqlFunctionBody",
     "CREATE FUNCTION f() RETURNS integer AS $$ DECLARE n integer; BEGIN IF n > 0 THEN n := 1; ELSE n := 2; END IF; "
     "FOR i IN 1..3 LOOP n := n + i; END LOOP; RETURN n; EXCEPTION WHEN others THEN RETURN 0; END; $$ LANGUAGE "
     "plpgsql;",
     Layout(),
     {"CREATE FUNCTION f() RETURNS INTEGER AS $$ ", "DECLARE", "n INTEGER; ", "BEGIN", "    IF n > 0 THEN",
      "        n := 1; ", "    ELSE", "        n := 2; ", "    END IF;", "    FOR i IN 1..3 LOOP", "        n := n + i; ",
      "    END LOOP;", "    RETURN n; ", "EXCEPTION", "    WHEN others THEN", "        RETURN 0; ",
      "END; $$ LANGUAGE plpgsql;"}},
    {"PlpgsqlBodyLanguageFirstKeepsItsLiterals",
     "create function f() returns text language plpgsql as $f$ begin if x then return 'a;  b' || $q$ end; $q$; end if; end $f$",
     Layout(),
     {"CREATE FUNCTION f() RETURNS TEXT LANGUAGE plpgsql AS $f$ ", "BEGIN", "    IF x THEN",
      "        return 'a;  b' || $q$ end; $q$; ", "    END IF;", "END $f$"}},
    {"OtherLanguageBodyStaysAsWritten",
     "CREATE FUNCTION f() RETURNS integer AS $$ begin  return 1; end $$ LANGUAGE plperl;", Layout(),
     {"CREATE FUNCTION f() RETURNS INTEGER AS $$ begin  return 1; end $$ LANGUAGE plperl;"}},
    {"SingleQuotedBodyStaysAsWritten",
     "CREATE FUNCTION f() RETURNS integer AS 'begin  return 1; end' LANGUAGE plpgsql;", Layout(),
     {"CREATE FUNCTION f() RETURNS INTEGER AS 'begin  return 1; end' LANGUAGE plpgsql;"}},
    {"DollarBodyInsideStatement", "select $q$ a ,\tb\r\n  c $q$ from t", Layout({{"ItemTrans", 0}}),
     {"SELECT $q$ a ,\tb\r\n  c $q$", "  FROM T"}},
    {"EscapeStringStaysOnePiece", "select a from t where b = e'x\\' and y' and c = 1", Layout(),
     {"SELECT a", "  FROM t", " WHERE b = e'x\\' and y'", "   AND c = 1"}},
    {"PrefixStaysOnItsQuote", "select a from t where b = B'101' and c = U&'\\0061'", Layout(),
     {"SELECT a", "  FROM t", " WHERE b = B'101'", "   AND c = U&'\\0061'"}},
    {"OperatorsStayWhole", "select a from t where tags @> '{x}' and b <= 2 and c ->> 'k' = 'v' and d !~ 'z'", Layout(),
     {"SELECT a", "  FROM t", " WHERE tags @>'{x}'", "   AND b <= 2", "   AND c ->>'k'= 'v'", "   AND d !~ 'z'"}},
    {"ExponentStaysOneNumber", "select 1.5e-3 from t where x > 2E+4", Layout(),
     {"SELECT 1.5e-3", "  FROM t", " WHERE x > 2E+4"}},
    {"SetListKeepsItsTerminator", "update t set a = 1; select 1", Layout(), {"UPDATE t", "   SET a = 1; ", "SELECT 1"}},
    {"WordsNeverRunTogether", "delete from t using u left join v on u.k = v.k where t.k = u.k", Layout(),
     {"DELETE ", "  FROM t USING u LEFT JOIN v ON u.k = v.k", " WHERE t.k = u.k"}},
    {"NestedBlockComment", "select a /* x /* y */ z */, b from t", Layout(),
     {"SELECT a /* x /* y */ z */", "      ,b", "  FROM t"}},
    {"OnlyAsciiLettersChangeCase", QString::fromUtf8("select straße, é from t"), Layout({{"ItemTrans", 0}}),
     {QString::fromUtf8("SELECT STRAßE"), QString::fromUtf8("      ,é"), "  FROM T"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, FormatTest, ::testing::ValuesIn(kFormatCases),
                         [](const ::testing::TestParamInfo<FormatCase> &info) { return std::string(info.param.name); });

TEST(FormatSQL, DeepNestingKeepsTheResultSmall)
{
    // Every THEN opens a level; the indentation in front of a line is capped.
    const QString text = QStringLiteral("THEN ").repeated(50000);
    const QString result = FormatSQL(text, Layout());
    EXPECT_LT(result.size(), 50000 * 250);
    EXPECT_TRUE(result.endsWith(QString(240, u' ') + QStringLiteral("THEN")));

    // An absurd stored Indent neither overflows nor floods the result.
    const QString huge = FormatSQL(QStringLiteral("BEGIN x; BEGIN y; END; END;"), Layout({{"Indent", 2000000000}}));
    EXPECT_LT(huge.size(), 1000);
    EXPECT_EQ(FormatSQL(QStringLiteral("BEGIN x; END;"), Layout({{"Indent", -5}})), Lines({"BEGIN", "x; ", "END;"}));
}

TEST(FormatSQL, OneArgumentFormUsesTheProgramOptions)
{
    TFormatOption &global = TFormatOption::Global();
    const TFormatOption saved = global;
    global = Layout({{"CommaPos", 1}, {"ItemTrans", 0}});
    EXPECT_EQ(FormatSQL(QStringLiteral("select a, b from t")), Lines({"SELECT A,", "       B", "  FROM T"}));
    global = saved;
}

TEST(FormatSQL, ResultDependsOnlyOnTheLayout)
{
    const TFormatOption a = Layout({{"CommaPos", 1}});
    const QString first = FormatSQL(kSample, a);
    FormatSQL(kSample, Layout({{"ReservePos", 1}}));
    EXPECT_EQ(FormatSQL(kSample, a), first);
}

} // namespace
