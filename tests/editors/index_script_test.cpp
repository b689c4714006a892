// Index and constraint texts without a server: the element list of a pg_get_indexdef text
// split with quotes and parentheses respected, collation and operator class read off an
// element, the element written back with order and NULLS, whole CREATE INDEX statements, and
// ADD CONSTRAINT statements of every kind with the attributes pg_get_constraintdef leaves
// out or that a rebuild used to lose.
#include "core/kdsub_options.h"
#include "core/kdsub_text.h"
#include "editors/constraint_def.h"
#include "editors/index_script.h"
#include "support/qstring_printer.h"
#include "editors/qstring_stream.h"

#include <gtest/gtest.h>

namespace {

class IndexTextTest : public ::testing::Test
{
protected:
    void SetUp() override { TkdOption::Global().UseLowerName = false; }
};

TEST_F(IndexTextTest, ElementsOfDefinitionRespectQuotesAndParentheses)
{
    struct Case {
        QString def;
        QStringList elements;
    };
    const QList<Case> cases = {
        {"CREATE INDEX ix ON s.t USING btree (a, b DESC)", {"a", "b DESC"}},
        {"CREATE UNIQUE INDEX \"x USING y\" ON s.\"t(1)\" USING gist (lower((b)::text), f(a, ',')) WHERE (a > 1)",
         {"lower((b)::text)", "f(a, ',')"}},
        {"CREATE INDEX i ON ONLY s.p USING btree (\"a,b\" text_pattern_ops, \"c)\" COLLATE \"C\") INCLUDE (d)",
         {"\"a,b\" text_pattern_ops", "\"c)\" COLLATE \"C\""}},
        {"CREATE INDEX i ON s.t USING btree (((a || E'\\\\)')), b)", {"((a || E'\\\\)'))", "b"}},
        {"no list here", {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(IndexDefElements(c.def), c.elements) << c.def;
}

TEST_F(IndexTextTest, ElementSuffixGivesCollationAndOperatorClass)
{
    struct Case {
        QString element, key;
        bool ok;
        QString collation, opclass;
    };
    const QList<Case> cases = {
        {"b COLLATE \"C\" text_pattern_ops DESC", "b", true, "\"C\"", "text_pattern_ops"},
        {"((c + 1)) DESC NULLS LAST", "(c + 1)", true, "", ""},
        {"\"my col\" public.my_ops", "\"my col\"", true, "", "public.my_ops"},
        {"x gist_trgm_ops(siglen='32')", "x", true, "", "gist_trgm_ops(siglen='32')"},
        {"a NULLS FIRST", "a", true, "", ""},
        {"a COLLATE public.\"de x\" NULLS FIRST", "a", true, "public.\"de x\"", ""},
        {"lower(b) COLLATE \"C\"", "lower(b)", true, "\"C\"", ""},
        {"ab", "a", false, "", ""},
    };
    for (const Case &c : cases) {
        TIndexColumn col;
        EXPECT_EQ(ParseIndexElement(c.element, c.key, col), c.ok) << c.element;
        EXPECT_EQ(col.Collation, c.collation) << c.element;
        EXPECT_EQ(col.OpClass, c.opclass) << c.element;
    }
}

TEST_F(IndexTextTest, ColumnTextWritesOrderOnlyForOrderedMethods)
{
    struct Case {
        bool desc, nullsFirst, ordered;
        QString text;
    };
    const QList<Case> cases = {
        {false, false, true, "\"Col\" COLLATE \"C\" text_ops"},
        {false, true, true, "\"Col\" COLLATE \"C\" text_ops NULLS FIRST"},
        {true, true, true, "\"Col\" COLLATE \"C\" text_ops DESC"},
        {true, false, true, "\"Col\" COLLATE \"C\" text_ops DESC NULLS LAST"},
        {true, false, false, "\"Col\" COLLATE \"C\" text_ops"},
    };
    for (const Case &c : cases) {
        TIndexColumn col;
        col.Name = "Col";
        col.Collation = "\"C\"";
        col.OpClass = "text_ops";
        col.Desc = c.desc;
        col.NullsFirst = c.nullsFirst;
        EXPECT_EQ(IndexColumnText(col, c.ordered), c.text);
    }
    TIndexColumn expr;
    expr.Expression = "lower(name)";
    EXPECT_EQ(IndexColumnText(expr, true), "lower(name)");
}

TEST_F(IndexTextTest, CreateIndexKeepsEveryPart)
{
    TIndexDef d;
    d.Schema = "s";
    d.Name = "ix order";
    d.Table = "select";
    d.Method = "btree";
    d.Unique = true;
    TIndexColumn a;
    a.Name = "a";
    a.Desc = true;
    a.NullsFirst = false;
    TIndexColumn b;
    b.Name = "日本語";
    b.OpClass = "text_pattern_ops";
    d.Columns = {a, b};
    d.Include = {"c", "D"};
    d.NullsNotDistinct = true;
    d.Options = {"fillfactor=70", "deduplicate_items=off"};
    d.Tablespace = "fast space";
    d.Where = "a > 0";
    TIndexTextOptions opt;
    opt.Prefix = "s.";
    EXPECT_EQ(IndexCreateLines(d, opt),
              QStringList({"CREATE UNIQUE INDEX \"ix order\"", "ON s.\"select\"", "USING btree",
                           "(a DESC NULLS LAST, 日本語 text_pattern_ops)", "INCLUDE (c, \"D\")", "NULLS NOT DISTINCT",
                           "WITH (fillfactor='70', deduplicate_items='off')", "TABLESPACE \"fast space\"", "WHERE (a > 0)",
                           ";"}));
    opt.Tablespace = false;
    opt.NewName = "copy_ix";
    opt.NewTable = "s2.\"T\"";
    const QStringList copy = IndexCreateLines(d, opt);
    EXPECT_EQ(copy.value(0), "CREATE UNIQUE INDEX copy_ix");
    EXPECT_EQ(copy.value(1), "ON s2.\"T\"");
    EXPECT_FALSE(copy.join('\n').contains("TABLESPACE"));
    EXPECT_EQ(IndexPredicateText("(a > 1)"), "(a > 1)");
    EXPECT_EQ(IndexPredicateText("(a > 1) AND (b > 1)"), "((a > 1) AND (b > 1))");
    EXPECT_EQ(IndexTablespaceLines("s", "Ix", "pg_default"),
              QStringList({"ALTER INDEX s.\"Ix\" SET TABLESPACE pg_default", ";"}));
    EXPECT_EQ(IndexDropLines("s", "a.b"), QStringList({"DROP INDEX s.\"a.b\"", ";"}));
}

TConstraintDef Con(QChar type)
{
    TConstraintDef d;
    d.Schema = "s";
    d.Table = "t";
    d.Name = "k";
    d.Type = type;
    return d;
}

TEST_F(IndexTextTest, AddConstraintKeepsAttributesOfEveryKind)
{
    TConstraintDef fk = Con('f');
    fk.Columns = {"a", "B"};
    fk.RefColumns = {"x", "y"};
    fk.RefSchema = "r s";
    fk.RefTable = "parent";
    fk.Match = 'f';
    fk.UpdateAction = 'c';
    fk.DeleteAction = 'd';
    fk.Deferrable = true;
    fk.Deferred = true;
    fk.Validated = false;
    TConstraintDef ck = Con('c');
    ck.Check = "(a > 0)\nAND (b > 0)";
    ck.Validated = false;
    ck.NoInherit = true;
    TConstraintDef pk = Con('p');
    pk.Columns = {"id", "line no"};
    pk.Include = {"c"};
    pk.IndexOptions = {"fillfactor=80"};
    pk.IndexTablespace = "tbs";
    pk.Deferrable = true;
    TConstraintDef uq = Con('u');
    uq.Columns = {"a"};
    uq.NullsNotDistinct = true;
    TConstraintDef ex = Con('x');
    ex.Method = "gist";
    TExcludeElement e1{{}, "&&"};
    e1.Column.Name = "during";
    TExcludeElement e2{{}, "OPERATOR(public.=)"};
    e2.Column.Expression = "((c + 1))";
    ex.Elements = {e1, e2};
    ex.Where = "(a > 0)";
    TConstraintDef bx = Con('x');
    bx.Method = "btree";
    TExcludeElement b1{{}, "="};
    b1.Column.Name = "b";
    b1.Column.OpClass = "text_pattern_ops";
    b1.Column.Desc = true;
    bx.Elements = {b1};
    struct Case {
        TConstraintDef def;
        QString body;
    };
    const QList<Case> cases = {
        {fk, "FOREIGN KEY (a, \"B\") REFERENCES \"r s\".parent(x, y) MATCH FULL ON UPDATE CASCADE ON DELETE SET DEFAULT "
             "DEFERRABLE INITIALLY DEFERRED NOT VALID"},
        {ck, "CHECK ((a > 0) AND (b > 0)) NO INHERIT NOT VALID"},
        {pk, "PRIMARY KEY (id, \"line no\") INCLUDE (c) WITH (fillfactor='80') USING INDEX TABLESPACE tbs DEFERRABLE"},
        {uq, "UNIQUE NULLS NOT DISTINCT (a)"},
        {ex, "EXCLUDE USING gist (during WITH &&, ((c + 1)) WITH OPERATOR(public.=)) WHERE (a > 0)"},
        {bx, "EXCLUDE USING btree (b text_pattern_ops DESC NULLS LAST WITH =)"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ConstraintAddLines(c.def, "s."), QStringList({"ALTER TABLE s.t ADD CONSTRAINT k", c.body, ";"}));
    EXPECT_EQ(ConstraintDropLines("s", "t", "K"), QStringList({"ALTER TABLE s.t DROP CONSTRAINT \"K\"", ";"}));
}

// A condition that begins with "(" and ends with ")" is still wrapped: "(a>0) AND (b>0)"
// written bare would leave the AND outside the CHECK.
TEST_F(IndexTextTest, CheckConditionIsAlwaysWrapped)
{
    EXPECT_EQ(ConstraintCheckText("(a>0) AND (b>0)"), "CHECK ((a>0) AND (b>0))");
    EXPECT_EQ(ConstraintCheckText("price > 0"), "CHECK (price > 0)");
    EXPECT_EQ(ConstraintCheckText("a > 0\r\nAND b > 0\n"), "CHECK (a > 0 AND b > 0)");
}

TEST_F(IndexTextTest, KindAndActionCodesMapBothWays)
{
    const QString types = "pufcx";
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(ConstraintKindIndex(types[i]), i);
        EXPECT_EQ(ConstraintKindType(i), types[i]);
    }
    const QString actions = "arcnd";
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(ConstraintActionIndex(actions[i]), i);
        EXPECT_EQ(ConstraintActionCode(i), actions[i]);
    }
    EXPECT_EQ(ConstraintActionIndex('?'), 0);
}

} // namespace
