// The parts of the source editor that need no server: templates and their renaming, the
// statement cut of a source text, the attribute lines of composite types, DROP statements
// and the schema rewrite of a routine's script.
#include <gtest/gtest.h>

#include "core/kdsub_options.h"
#include "editors/name_template.h"
#include "editors/source_def.h"
#include "support/qstring_printer.h"

namespace {

struct SplitCase {
    const char *what;
    QStringList lines;
    QStringList statements;
};

TEST(SourceStatements, SemicolonLinesSplitOnlyOutsideBodiesLiteralsAndComments)
{
    const QList<SplitCase> cases = {
        {"plain list", {"DROP TYPE s.t", ";", "CREATE TYPE s.t AS (a int)", ";"},
         {"DROP TYPE s.t", "CREATE TYPE s.t AS (a int)"}},
        {"blanks around the semicolon", {"SELECT 1", "  ; \t", "SELECT 2"}, {"SELECT 1", "SELECT 2"}},
        {"dollar body keeps its semicolon line",
         {"CREATE FUNCTION f() RETURNS int AS $$", "BEGIN", "  RETURN 1", ";", "END", "$$ LANGUAGE plpgsql", ";",
          "SELECT 3"},
         {"CREATE FUNCTION f() RETURNS int AS $$\nBEGIN\n  RETURN 1\n;\nEND\n$$ LANGUAGE plpgsql", "SELECT 3"}},
        {"tagged dollar body", {"DO $x$", ";", "$x$", ";"}, {"DO $x$\n;\n$x$"}},
        {"literal over lines", {"SELECT 'a", ";", "b'", ";"}, {"SELECT 'a\n;\nb'"}},
        {"escape literal with a quote", {"SELECT E'it\\'s", ";", "'", ";"}, {"SELECT E'it\\'s\n;\n'"}},
        {"quoted name over lines", {"CREATE TABLE \"a", ";", "b\" (x int)", ";"}, {"CREATE TABLE \"a\n;\nb\" (x int)"}},
        {"block comment", {"SELECT 1 /*", ";", "*/", ";", "SELECT 2"}, {"SELECT 1 /*\n;\n*/", "SELECT 2"}},
        {"line comment does not hide the next line", {"SELECT 1 -- note", ";", "SELECT 2"}, {"SELECT 1 -- note", "SELECT 2"}},
        {"comments alone are no statement", {"SELECT 1", ";", "-- trailing note", "/* more */", ";", ""}, {"SELECT 1"}},
        {"blank statements are left out", {";", "", ";", "SELECT 1"}, {"SELECT 1"}},
        {"semicolon at a line end is no cut", {"SELECT 1;", "SELECT 2;"}, {"SELECT 1;\nSELECT 2;"}},
    };
    for (const SplitCase &c : cases)
        EXPECT_EQ(SplitSourceStatements(c.lines), c.statements) << c.what;
}

TEST(SourceTemplates, FunctionAndTypeTemplatesAsTheUserSeesThem)
{
    TkdOption::Global().UseLowerName = false;
    const QStringList f = FunctionTemplate("sales", "Calc");
    ASSERT_EQ(f.size(), 22);
    EXPECT_EQ(f.first(), "CREATE FUNCTION sales.\"Calc\"() /* (引数, 引数...) */");
    EXPECT_EQ(f.at(7), "$$ LANGUAGE plpgsql;");
    EXPECT_EQ(f.last(), "");
    const QStringList t = TypeTemplate("sales", "t");
    ASSERT_EQ(t.size(), 40);
    EXPECT_EQ(t.first(), "CREATE TYPE sales.t");
    EXPECT_EQ(t.at(9), "-- 範囲型の場合(Ver9.2から使用可)");
    EXPECT_EQ(t.last(), "CREATE TYPE name");
    // The template of a new function is one statement: its body's ";" never cuts it.
    EXPECT_EQ(SplitSourceStatements(f).size(), 1);
}

TEST(SourceTemplates, SchemaFirstThenNameFillsTheFirstLine)
{
    TkdOption::Global().UseLowerName = false;
    // The user leaves the schema box with an empty name, then types the name.
    QStringList lines = FunctionTemplate("public", "");
    EXPECT_TRUE(RenameInTemplate(lines, TTemplatePart::Schema, "public", "sales"));
    EXPECT_TRUE(RenameInTemplate(lines, TTemplatePart::Name, "", "\"Total\""));
    EXPECT_EQ(lines.first(), "CREATE FUNCTION sales.\"Total\"() /* (引数, 引数...) */");
    QStringList type = TypeTemplate("s", "t");
    EXPECT_TRUE(RenameInTemplate(type, TTemplatePart::Name, "t", "t2"));
    EXPECT_EQ(type.first(), "CREATE TYPE s.t2");
    EXPECT_EQ(type.last(), "CREATE TYPE name") << "only the first matching line changes";
}

TEST(SourceTypeText, CompositeAttributeLinesLineUpAndNeverJoinNameAndType)
{
    EXPECT_EQ(CompositeAttributeLine("a", "integer", false), "    a" + QString(29, ' ') + "integer,");
    EXPECT_EQ(CompositeAttributeLine("b", "text", true), "    b" + QString(29, ' ') + "text");
    const QString longName = QString(30, 'n');
    EXPECT_EQ(CompositeAttributeLine(longName, "text", true), "    " + longName + " text");
    EXPECT_EQ(CompositeAttributeLine("\"" + QString(40, 'x') + "\"", "int", true), "    \"" + QString(40, 'x') + "\" int");
}

TEST(SourceDrop, DropStatementsNameTheObjectAndItsArguments)
{
    TkdOption::Global().UseLowerName = false;
    EXPECT_EQ(RoutineDropStatement(false, "s", "f", "int4,text", false), "DROP FUNCTION s.f(int4,text)");
    EXPECT_EQ(RoutineDropStatement(false, "s", "f", "", true), "DROP FUNCTION s.f() CASCADE");
    EXPECT_EQ(RoutineDropStatement(true, "Sales", "p", "int8", false), "DROP PROCEDURE \"Sales\".p(int8)");
    EXPECT_EQ(TypeDropStatement("s", "a\"b", true), "DROP TYPE s.\"a\"\"b\" CASCADE");
}

TEST(SourceRoutineText, ScriptRewritesOnlyTheQualificationOfTheCreateLine)
{
    TRoutineDef d;
    d.Schema = "sales";
    d.Name = "calc_total";
    d.QuotedSchema = "sales";
    d.QuotedName = "calc_total";
    d.Definition = {"CREATE OR REPLACE FUNCTION sales.calc_total(p integer)", " RETURNS integer",
                    " LANGUAGE sql", "AS $function$ SELECT sales.calc_total(p - 1) FROM sales.orders $function$"};
    const QStringList window = RoutineSourceLines(d, false, QString());
    EXPECT_EQ(window, d.Definition + QStringList{";"}) << "a window shows the text unchanged";
    const QStringList bare = RoutineSourceLines(d, true, QString());
    EXPECT_EQ(bare.first(), "CREATE OR REPLACE FUNCTION calc_total(p integer)");
    EXPECT_EQ(bare.at(3), d.Definition.at(3)) << "the body keeps its qualified names";
    EXPECT_EQ(bare.last(), ";");
    const QStringList other = RoutineSourceLines(d, true, "x.");
    EXPECT_EQ(other.first(), "CREATE OR REPLACE FUNCTION x.calc_total(p integer)");
    TRoutineDef p = d;
    p.QuotedSchema = "\"Sales\"";
    p.QuotedName = "\"Move\"";
    p.Definition = {"CREATE OR REPLACE PROCEDURE \"Sales\".\"Move\"()", " LANGUAGE sql", "AS $procedure$ SELECT 1 $procedure$"};
    EXPECT_EQ(RoutineSourceLines(p, true, QString()).first(), "CREATE OR REPLACE PROCEDURE \"Move\"()");
}

} // namespace
