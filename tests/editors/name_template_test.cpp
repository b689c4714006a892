#include <gtest/gtest.h>

#include "editors/name_template.h"

namespace {

struct RenameCase {
    const char *what;
    TTemplatePart part;
    QStringList before;
    QString oldQuoted;
    QString newQuoted;
    QStringList after;
    bool changed;
};

TEST(NameTemplate, RenamesOnlyTheWholeIdentifierOfTheFirstMatchingLine)
{
    const QList<RenameCase> cases = {
        {"name in the view template", TTemplatePart::Name,
         {"CREATE VIEW public.orders AS", "SELECT"}, "orders", "orders_new",
         {"CREATE VIEW public.orders_new AS", "SELECT"}, true},
        {"longer name is not the old one", TTemplatePart::Name,
         {"CREATE VIEW public.orders_new AS", "SELECT * FROM public.orders"}, "orders", "o2",
         {"CREATE VIEW public.orders_new AS", "SELECT * FROM public.o2"}, true},
        {"schema inside a longer word is skipped", TTemplatePart::Schema,
         {"CREATE VIEW xpublic.v AS", "SELECT 1 FROM public.t"}, "public", "sales",
         {"CREATE VIEW xpublic.v AS", "SELECT 1 FROM sales.t"}, true},
        {"schema with an empty name (source template)", TTemplatePart::Name,
         {"CREATE FUNCTION public.()", "RETURNS void"}, "", "f",
         {"CREATE FUNCTION public.f()", "RETURNS void"}, true},
        {"quoted names", TTemplatePart::Name,
         {"CREATE VIEW \"販売\".\"注文\" AS"}, "\"注文\"", "\"注文一覧\"",
         {"CREATE VIEW \"販売\".\"注文一覧\" AS"}, true},
        {"a doubled quote continues the quoted name", TTemplatePart::Name,
         {"CREATE VIEW s.\"a\"\"b\" AS", "-- s.\"a\""}, "\"a\"", "\"c\"",
         {"CREATE VIEW s.\"a\"\"b\" AS", "-- s.\"c\""}, true},
        {"line found exactly, replaced ignoring case at its first occurrence", TTemplatePart::Schema,
         {"-- PUBLIC.x and public.y"}, "public", "hr",
         {"-- hr.x and public.y"}, true},
        {"no line holds it", TTemplatePart::Schema,
         {"CREATE VIEW sales.v AS"}, "public", "hr",
         {"CREATE VIEW sales.v AS"}, false},
    };
    for (const RenameCase &c : cases) {
        QStringList lines = c.before;
        EXPECT_EQ(RenameInTemplate(lines, c.part, c.oldQuoted, c.newQuoted), c.changed) << c.what;
        EXPECT_EQ(lines, c.after) << c.what;
    }
}

TEST(NameTemplate, TextFormKeepsLineBreaks)
{
    QString text = "CREATE VIEW public.orders AS\nSELECT\n";
    EXPECT_TRUE(RenameInTemplateText(text, TTemplatePart::Schema, "public", "sales"));
    EXPECT_EQ(text, QString("CREATE VIEW sales.orders AS\nSELECT\n"));
}

} // namespace
