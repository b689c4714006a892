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

TkdFormatLayout Layout(std::initializer_list<std::pair<const char *, int>> values)
{
    TkdFormatLayout o;
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
    TkdFormatLayout layout;
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
    {"SampleDefaults", kSample, {}, kSampleDefault},
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
    {"Insert", "insert into t (a, b, c) values (1, 'x', 3)", {},
     {"INSERT INTO t", "       (a", "       ,b", "       ,c)", "VALUES (1", "       ,'x'", "       ,3)"}},
    {"Update", "update t set a = 1, b = 'x' where c = 2", {},
     {"UPDATE t", "   SET a = 1", "      ,b = 'x'", " WHERE c = 2"}},
    {"DeleteBetween", "delete from t where a between 1 and 5 and b like 'x%'", {},
     {"DELETE ", "  FROM t", " WHERE a BETWEEN 1 AND 5", "   AND b LIKE 'x%'"}},
    {"Union", "select a from t union select b from u", {},
     {"SELECT a", "  FROM t", " UNION ", "SELECT b", "  FROM u"}},
    {"ForUpdate", "select * from t for update", {}, {"SELECT *", "  FROM t", "   FOR UPDATE"}},
    {"SemicolonAloneOnItsLine", "SELECT a FROM t\r\n;\r\nSELECT b FROM u", {},
     {"SELECT a", "  FROM t", ";", "SELECT b", "  FROM u"}},
    {"ProceduralBlock", kBody, {},
     {"DECLARE", "n INTEGER; ", "BEGIN", "    IF n > 0 THEN", "        n := 1; ", "    ELSE", "        n := 2; ",
      "    END IF;", "    FOR i IN 1..3 LOOP", "        n := n + i; ", "    END LOOP;", "    RETURN n; ", "EXCEPTION",
      "    WHEN others THEN", "        RETURN 0; ", "END;"}},
    {"EmptyText", "", {}, {""}},
    {"BlankText", "   \r\n  ", {}, {""}},
    {"QuoteInCommentChangesNothing", "SELECT a FROM t WHERE x = 1 -- don't\r\nAND y = 'z'", {},
     {"SELECT a", "  FROM t", " WHERE x = 1 -- don't", "   AND y = 'z'"}},
    {"CommentsBehindItems", "SELECT a, -- c1\r\n b -- c2\r\nFROM t", {},
     {"SELECT a", "      ,-- c1", "       b -- c2", "  FROM t"}},
    {"CommentsBehindItemsCommaAtEnd", "SELECT a, -- c1\r\n b -- c2\r\nFROM t", Layout({{"CommaPos", 1}}),
     {"SELECT a,-- c1", "       b -- c2", "  FROM t"}},
    {"LineCommentToTheEnd", "SELECT a FROM t -- note", {}, {"SELECT a", "  FROM t -- note"}},
    {"UnclosedBlockComment", "SELECT a FROM t /* open", {}, {"SELECT a", "  FROM t /* open"}},
    {"UnclosedBlockCommentOverLines", "SELECT a FROM t /* open\r\n  still", {},
     {"SELECT a", "  FROM t /* open", "         still"}},
    {"BlockCommentBehindComma", "SELECT a, /* c */\r\nb FROM t", {},
     {"SELECT a", "      ,/* c */", "      b", "  FROM t"}},
    {"CommasInParentheses", "SELECT f(a, b), c FROM t", {}, {"SELECT f(a, b) ", "      ,c", "  FROM t"}},
    {"InListInCondition", "SELECT a FROM t WHERE a IN (1, 2, 3) AND b = f(x, y)", {},
     {"SELECT a", "  FROM t", " WHERE a IN(1 , 2 , 3)", "   AND b = f(x , y)"}},
    {"ParenthesisedOr", "SELECT a FROM t WHERE a = 1 AND (b = 2 OR c = 3)", {},
     {"SELECT a", "  FROM t", " WHERE a = 1", "   AND (b = 2 OR c = 3)"}},
    {"ParenthesisedOrNoBlank", "SELECT a FROM t WHERE a = 1 AND(b = 2 OR c = 3)", {},
     {"SELECT a", "  FROM t", " WHERE a = 1", "   AND (b = 2 OR c = 3)"}},
    {"OperatorsGetBlanks", "SELECT a FROM t WHERE a=1 AND b<>2", {},
     {"SELECT a", "  FROM t", " WHERE a = 1", "   AND b <> 2"}},
    {"OuterJoin", "SELECT a FROM t1 LEFT OUTER JOIN t2 ON t1.k = t2.k INNER JOIN t3 ON t2.k = t3.k", {},
     {"SELECT a", "  FROM t1", "  LEFT OUTER", "  JOIN t2 ON t1.k = t2.k", " INNER JOIN t3 ON t2.k = t3.k"}},
    {"UpdateExpressions", "UPDATE t SET a = (b+1)*2, c = 'x y' WHERE d = 1", {},
     {"UPDATE t", "   SET a =(b+1) * 2", "      ,c = 'x y'", " WHERE d = 1"}},
    {"CommentBehindAnd", "SELECT a FROM t WHERE x = 1 AND -- c\r\ny = 2", {},
     {"SELECT a", "  FROM t", " WHERE x = 1-- c", "   AND y = 2"}},
    {"CommentBehindAndAtEnd", "SELECT a FROM t WHERE x = 1 AND -- c\r\ny = 2", Layout({{"AndPos", 1}}),
     {"SELECT a", "  FROM t", " WHERE x = 1 AND-- c", "        y = 2"}},
    {"InsertValuesOnly", "INSERT INTO t VALUES (1, f(2, 3), 'x')", {},
     {"INSERT INTO t", "VALUES (1", "       ,f(2, 3) ", "       ,'x')"}},
    {"OrderByLeftCommaAtEnd", "SELECT a FROM t ORDER BY a DESC, b", Layout({{"ReservePos", 1}, {"CommaPos", 1}}),
     {"SELECT a", "FROM   t", "ORDER BY a DESC,", "         b"}},
    {"DoubledQuotesAndQuotedNames", "SELECT 'it''s', \"Col\" FROM t", {},
     {"SELECT 'it''s'", "      ,\"Col\"", "  FROM t"}},
    // The text of literals, quoted names and dollar bodies is never changed, and nothing is
    // added behind the last word.
    {"WordAtTheEndGetsNoCR", "commit", {}, {"COMMIT"}},
    {"UnclosedLiteralPassesUnchanged", "SELECT 'abc FROM t WHERE x = 1", {}, {"SELECT 'abc FROM t WHERE x = 1"}},
    {"LiteralOverTwoLinesKeepsItsText", "SELECT 'a\r\n  b' FROM t", {}, {"SELECT 'a", "  b'", "  FROM t"}},
    {"QuotedNameOverTwoLines", "SELECT \"a\r\nb\" FROM t", {}, {"SELECT \"a", "b\"", "  FROM t"}},
    {"TabInLiteralStays", "SELECT 'a\tb'\tFROM t", {}, {"SELECT 'a\tb'", "  FROM t"}},
    {"LiteralOutsideStatementsKeepsLineStarts", "DO 'a\r\n   b';", {}, {"DO 'a", "   b';"}},
    {"FunctionBodyStaysAsWritten",
     "CREATE FUNCTION f() RETURNS integer AS $$ DECLARE n integer; BEGIN IF n > 0 THEN n := 1; END IF; "
     "RETURN n; END; $$ LANGUAGE plpgsql;",
     {},
     {"CREATE FUNCTION f() RETURNS INTEGER AS $$ DECLARE n integer; BEGIN IF n > 0 THEN n := 1; END IF; "
      "RETURN n; END; $$ LANGUAGE plpgsql;"}},
    {"DollarBodyInsideStatement", "select $q$ a ,\tb\r\n  c $q$ from t", Layout({{"ItemTrans", 0}}),
     {"SELECT $q$ a ,\tb\r\n  c $q$", "  FROM T"}},
    {"EscapeStringStaysOnePiece", "select a from t where b = e'x\\' and y' and c = 1", {},
     {"SELECT a", "  FROM t", " WHERE b = e'x\\' and y'", "   AND c = 1"}},
    {"PrefixStaysOnItsQuote", "select a from t where b = B'101' and c = U&'\\0061'", {},
     {"SELECT a", "  FROM t", " WHERE b = B'101'", "   AND c = U&'\\0061'"}},
    {"OperatorsStayWhole", "select a from t where tags @> '{x}' and b <= 2 and c ->> 'k' = 'v' and d !~ 'z'", {},
     {"SELECT a", "  FROM t", " WHERE tags @>'{x}'", "   AND b <= 2", "   AND c ->>'k'= 'v'", "   AND d !~ 'z'"}},
    {"ExponentStaysOneNumber", "select 1.5e-3 from t where x > 2E+4", {},
     {"SELECT 1.5e-3", "  FROM t", " WHERE x > 2E+4"}},
    {"SetListKeepsItsTerminator", "update t set a = 1; select 1", {}, {"UPDATE t", "   SET a = 1; ", "SELECT 1"}},
    {"WordsNeverRunTogether", "delete from t using u left join v on u.k = v.k where t.k = u.k", {},
     {"DELETE ", "  FROM t USING u LEFT JOIN v ON u.k = v.k", " WHERE t.k = u.k"}},
    {"NestedBlockComment", "select a /* x /* y */ z */, b from t", {},
     {"SELECT a /* x /* y */ z */", "      ,b", "  FROM t"}},
    {"OnlyAsciiLettersChangeCase", QString::fromUtf8("select straße, é from t"), Layout({{"ItemTrans", 0}}),
     {QString::fromUtf8("SELECT STRAßE"), QString::fromUtf8("      ,é"), "  FROM T"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, FormatTest, ::testing::ValuesIn(kFormatCases),
                         [](const ::testing::TestParamInfo<FormatCase> &info) { return std::string(info.param.name); });

TEST(FormatSQL, ReservedWordList)
{
    EXPECT_TRUE(IsFormatReservedWord(QStringLiteral("abort")));
    EXPECT_TRUE(IsFormatReservedWord(QStringLiteral("ZONE")));
    EXPECT_TRUE(IsFormatReservedWord(QStringLiteral("Integer")));
    EXPECT_FALSE(IsFormatReservedWord(QStringLiteral("plpgsql")));
    EXPECT_FALSE(IsFormatReservedWord(QString()));
}

TEST(FormatSQL, ResultDependsOnlyOnTheLayout)
{
    const TkdFormatLayout a = Layout({{"CommaPos", 1}});
    const QString first = FormatSQL(kSample, a);
    FormatSQL(kSample, Layout({{"ReservePos", 1}}));
    EXPECT_EQ(FormatSQL(kSample, a), first);
}

} // namespace
