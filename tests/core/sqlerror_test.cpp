// Where the error locator marks a failed statement.
#include "core/kdsub_sql.h"
#include "support/qstring_printer.h"

#include <gtest/gtest.h>

namespace {

TEST(LocateSQLError, ServerMessagesMarkTheStatementLines)
{
    const QStringList lines{"SELECT 1;", "SELECT x", "  FROM t;"};
    const TkdErrorMark mark = LocateSQLError(lines, 1, 2, "scott", "ERROR:  column \"x\" does not exist", false);
    EXPECT_EQ(mark.FKind, TkdErrorMark::mkLines);
    EXPECT_EQ(mark.FStartLine, 1);
    EXPECT_EQ(mark.FEndLine, 2);
    // A selection made by the user stays.
    EXPECT_EQ(LocateSQLError(lines, 1, 2, "scott", "ERROR:  column \"x\" does not exist", true).FKind,
              TkdErrorMark::mkKeep);
}

TEST(LocateSQLError, NamedIdentifierThatStandsAlone)
{
    const QStringList lines{"-- first", "SELECT EMPNO2, EMPNO FROM EMP"};
    for (const char *message : {"ORA-00904: EMPNO: invalid identifier", "ORA-00904: \"EMPNO\": invalid identifier"}) {
        const TkdErrorMark mark = LocateSQLError(lines, 1, 1, "SCOTT", message, true);
        EXPECT_EQ(mark.FKind, TkdErrorMark::mkRange) << message;
        EXPECT_EQ(mark.FSelStart, 10 + 15); // the first line and its CR LF, then the column
        EXPECT_EQ(mark.FSelLength, 5);
    }
    // Only inside longer words: the statement's lines, even over a selection.
    const TkdErrorMark lines2 = LocateSQLError({"SELECT EMPNO2 FROM EMP"}, 0, 0, "SCOTT",
                                               "ORA-00904: EMPNO: invalid identifier", true);
    EXPECT_EQ(lines2.FKind, TkdErrorMark::mkLines);
    // No second colon: an empty name.
    EXPECT_EQ(LocateSQLError({"SELECT 1"}, 0, 0, "", "ORA-00904 EMPNO", true).FKind, TkdErrorMark::mkLines);
}

TEST(LocateSQLError, MissingTableNamedInTheStatement)
{
    const QStringList lines{"SELECT a", "  FROM emp e, scott.dept d"};
    QStringList asked;
    auto lookup = [&asked](const QString &owner, const QString &table) -> std::optional<bool> {
        asked.append(owner + u'.' + table);
        return table != u"DEPT";
    };
    const TkdErrorMark mark = LocateSQLError(lines, 0, 1, "SCOTT", "ORA-00942: table or view does not exist", false, lookup);
    EXPECT_EQ(asked, (QStringList{"SCOTT.EMP", "SCOTT.DEPT"}));
    EXPECT_EQ(mark.FKind, TkdErrorMark::mkRange);
    EXPECT_EQ(mark.FSelStart, 10 + 14);
    EXPECT_EQ(mark.FSelLength, 10);

    // Every table exists: nothing more is marked.
    auto all = [](const QString &, const QString &) -> std::optional<bool> { return true; };
    EXPECT_EQ(LocateSQLError(lines, 0, 1, "SCOTT", "ORA-00942", true, all).FKind, TkdErrorMark::mkKeep);
}

TEST(LocateSQLError, FailedLookupShowsTheStatementNotAnotherError)
{
    // This server has no such dictionary view: the look-up fails and the statement's lines
    // are marked as for any other message, so the caller shows the user's own error.
    auto failing = [](const QString &, const QString &) -> std::optional<bool> { return std::nullopt; };
    const QStringList lines{"SELECT * FROM emp"};
    const TkdErrorMark mark = LocateSQLError(lines, 0, 0, "SCOTT", "ORA-00942", false, failing);
    EXPECT_EQ(mark.FKind, TkdErrorMark::mkLines);
    EXPECT_EQ(LocateSQLError(lines, 0, 0, "SCOTT", "ORA-00942", true, failing).FKind, TkdErrorMark::mkKeep);
    // Without a look-up the same.
    EXPECT_EQ(LocateSQLError(lines, 0, 0, "SCOTT", "ORA-00942", false).FKind, TkdErrorMark::mkLines);
}

TEST(LocateSQLError, UnparsableStatementMarksItsLines)
{
    auto none = [](const QString &, const QString &) -> std::optional<bool> { return true; };
    const TkdErrorMark mark = LocateSQLError({"SELECT a) FROM t"}, 0, 0, "SCOTT", "ORA-00942", true, none);
    EXPECT_EQ(mark.FKind, TkdErrorMark::mkLines);
}

TEST(NormaliseErrorName, Cases)
{
    const std::pair<const char *, const char *> cases[] = {
        {"EMP;", "EMP"}, {"emp", "EMP"}, {"\"Emp\"", "Emp"}, {"\"a\"\"b\";", "a\"b"}, {"\"x\"y", "x"}, {"", ""},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(NormaliseErrorName(QString::fromUtf8(in)), QString::fromUtf8(out)) << in;
}

TEST(SQLErrorTableQuery, Text)
{
    EXPECT_EQ(SQLErrorTableQuery(),
              QStringLiteral("SELECT TABLE_NAME FROM ALL_TABLES WHERE OWNER = :OWNER AND TABLE_NAME = :TABLE_NAME"));
}

} // namespace
