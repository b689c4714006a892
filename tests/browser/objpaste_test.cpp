// Renaming a copied object's script for its copy: whole identifier tokens only, never parts
// of other names, literals, comments or bodies; new names through QuoteIdentifier; schemas
// moved only in the first statement's head; index names only where an index is named.
#include "browser/objpaste.h"
#include "core/kdsub_options.h"
#include "support/qstring_printer.h"

#include <gtest/gtest.h>

namespace {

QString u(const char *s) { return QString::fromUtf8(s); }

QStringList L(std::initializer_list<const char *> lines)
{
    QStringList l;
    for (const char *s : lines)
        l << QString::fromUtf8(s);
    return l;
}

TPasteRename R(int type, const char *s, const char *n, const char *t, const char *nn)
{
    TPasteRename r;
    r.Type = type;
    r.Schema = u(s);
    r.Name = u(n);
    r.NewSchema = u(t);
    r.NewName = u(nn);
    return r;
}

class PasteRenameTest : public ::testing::Test
{
protected:
    void SetUp() override { TkdOption::Global().UseLowerName = false; }
};

struct RenameCase {
    const char *Label;
    TPasteRename Rename;
    QStringList In;
    QStringList Out;
};

TEST_F(PasteRenameTest, RenamesWholeTokensOnly)
{
    const RenameCase cases[] = {
        {"sequence: header and later statements, not a longer name nor a literal",
         R(58, "public", "seq", "work", "seq2"),
         L({"CREATE SEQUENCE public.seq INCREMENT BY 1", ";", "COMMENT ON SEQUENCE public.seq IS 'public.seq of public.seq_x'",
            ";", "ALTER SEQUENCE public.seq_x OWNED BY NONE", ";"}),
         L({"CREATE SEQUENCE work.seq2 INCREMENT BY 1", ";", "COMMENT ON SEQUENCE work.seq2 IS 'public.seq of public.seq_x'",
            ";", "ALTER SEQUENCE public.seq_x OWNED BY NONE", ";"})},
        {"function, lower-case name unquoted, new name with capitals is quoted, schema moved in the head",
         R(52, "public", "calc", "work", "NewCalc"),
         L({"CREATE OR REPLACE FUNCTION public.calc(a public.money_t) RETURNS integer AS $$", "BEGIN",
            "  RETURN public.calc_inner(a); -- public.calc", "END;", "$$ LANGUAGE plpgsql", ";"}),
         L({"CREATE OR REPLACE FUNCTION work.\"NewCalc\"(a work.money_t) RETURNS integer AS $$", "BEGIN",
            "  RETURN public.calc_inner(a); -- public.calc", "END;", "$$ LANGUAGE plpgsql", ";"})},
        {"function, new name in lower case inserted as typed",
         R(52, "public", "calc", "public", "calc_copy"),
         L({"CREATE FUNCTION public.calc() RETURNS int AS 'select 1' LANGUAGE sql", ";"}),
         L({"CREATE FUNCTION public.calc_copy() RETURNS int AS 'select 1' LANGUAGE sql", ";"})},
        {"quoted mixed-case name, new name with a quote and a blank",
         R(52, "Sales Dept", "MyFn", "public", "a\"b c"),
         L({"CREATE FUNCTION \"Sales Dept\".\"MyFn\"() RETURNS int AS $f$ SELECT \"MyFn\" $f$ LANGUAGE sql", ";"}),
         L({"CREATE FUNCTION public.\"a\"\"b c\"() RETURNS int AS $f$ SELECT \"MyFn\" $f$ LANGUAGE sql", ";"})},
        {"new name beginning with a double quote is a name of its own",
         R(58, "public", "s", "public", "\"x"),
         L({"CREATE SEQUENCE public.s", ";"}),
         L({"CREATE SEQUENCE public.\"\"\"x\"", ";"})},
        {"trigger: name after TRIGGER, its table moved, a table of the same name stays the table",
         R(57, "public", "audit", "work", "audit2"),
         L({"CREATE TRIGGER audit BEFORE INSERT", "ON public.audit FOR EACH ROW EXECUTE FUNCTION public.audit_fn()", ";",
            "COMMENT ON TRIGGER audit ON public.audit IS 'audit'", ";"}),
         L({"CREATE TRIGGER audit2 BEFORE INSERT", "ON work.audit FOR EACH ROW EXECUTE FUNCTION work.audit_fn()", ";",
            "COMMENT ON TRIGGER audit2 ON work.audit IS 'audit'", ";"})},
        {"rule: the action after DO keeps its schema",
         R(127, "public", "r1", "work", "r2"),
         L({"CREATE RULE r1 AS ON INSERT TO public.t DO INSTEAD INSERT INTO public.log VALUES (1)", ";"}),
         L({"CREATE RULE r2 AS ON INSERT TO work.t DO INSTEAD INSERT INTO public.log VALUES (1)", ";"})},
        {"schema: name after SCHEMA only",
         R(4, "", "hr", "", "hr2"),
         L({"CREATE SCHEMA hr AUTHORIZATION hr", ";", "GRANT USAGE ON SCHEMA hr TO hr", ";"}),
         L({"CREATE SCHEMA hr2 AUTHORIZATION hr", ";", "GRANT USAGE ON SCHEMA hr2 TO hr", ";"})},
        {"Japanese names",
         R(58, "営業", "番号", "public", "番号2"),
         L({"CREATE SEQUENCE 営業.番号", ";"}),
         L({"CREATE SEQUENCE public.番号2", ";"})},
    };
    for (const RenameCase &c : cases)
        EXPECT_EQ(RenamePastedScript(c.In, c.Rename), c.Out) << c.Label;
}

TEST_F(PasteRenameTest, TableScriptFromItsBuilderKeepsColumnsAndRenamesIndexesOfItsOwn)
{
    // The builder writes the copy under its new names; a column named like the old table stays.
    TPasteRename r = R(45, "public", "emp", "work", "emp2");
    r.IndexNames = {{u("emp2_pkey"), u("pk_new")}, {u("emp2_ix"), u("IxNew")}};
    const QStringList in = L({"CREATE TABLE work.emp2", "(", "    emp integer,", "    note text DEFAULT 'emp2_ix',",
                              "    CONSTRAINT emp2_pkey PRIMARY KEY (emp)", ")", ";",
                              "CREATE INDEX emp2_ix ON work.emp2 USING btree (emp)", ";",
                              "ALTER TABLE work.emp2 CLUSTER ON emp2_ix", ";",
                              "CREATE INDEX emp2_ix_b ON work.emp2 USING btree (note)", ";"});
    const QStringList out = L({"CREATE TABLE work.emp2", "(", "    emp integer,", "    note text DEFAULT 'emp2_ix',",
                               "    CONSTRAINT pk_new PRIMARY KEY (emp)", ")", ";",
                               "CREATE INDEX \"IxNew\" ON work.emp2 USING btree (emp)", ";",
                               "ALTER TABLE work.emp2 CLUSTER ON \"IxNew\"", ";",
                               "CREATE INDEX emp2_ix_b ON work.emp2 USING btree (note)", ";"});
    EXPECT_EQ(RenamePastedScript(in, r), out);
    EXPECT_EQ(ScriptIndexNames(in), (QStringList{u("emp2_pkey"), u("emp2_ix"), u("emp2_ix_b")}));
    // Another table's script is untouched by these pairs (they belong to the first table).
    TPasteRename other = R(45, "public", "dept", "work", "dept2");
    const QStringList dept = L({"CREATE TABLE work.dept2", "(", "    id integer", ")", ";",
                                "CREATE UNIQUE INDEX dept2_ix ON work.dept2 USING btree (id)", ";"});
    EXPECT_EQ(RenamePastedScript(dept, other), dept);
    EXPECT_EQ(ScriptIndexNames(dept), QStringList{u("dept2_ix")});
}

TEST_F(PasteRenameTest, TargetSchemaByNodeAndTreeOrder)
{
    struct Case {
        int Level, Image;
        const char *Text, *Parent;
        int Sort;
        const char *Expected;
    } cases[] = {
        {1, 4, "sales", "db", 0, "sales"},    // a schema node gives its text
        {2, 126, "login", "TABLE", 1, "login"},
        {0, 1, "db", "", 0, "scott"},         // the root: the login user
        {2, 45, "TABLE", "sales", 0, "sales"}, // schemas first: the schema above the type node
        {1, 45, "TABLE", "db", 1, "scott"},   // types first: the login user
        {-1, -1, "", "", 0, "scott"},         // no node
    };
    for (const Case &c : cases)
        EXPECT_EQ(PasteTargetSchema(c.Level, c.Image, u(c.Text), u(c.Parent), c.Sort, u("scott")), u(c.Expected))
            << c.Level << " " << c.Image;
}

TEST_F(PasteRenameTest, DataStatementQuotesEveryName)
{
    EXPECT_EQ(PasteDataLines(u("Sales"), u("emp"), u("work"), u("Emp 2")),
              (QStringList{u("INSERT INTO work.\"Emp 2\" SELECT * FROM \"Sales\".emp"), u(";")}));
}

} // namespace
