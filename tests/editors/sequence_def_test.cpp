// The sequence editor's DDL text without a window or server: the exact CREATE lines of the
// defaults, the ALTER lines of single changes, the in-place setval of a new last value,
// OWNED BY, the cache rules, the type's limits and the quoting of awkward names with the
// option UseLowerName on and off.
#include "core/kdsub_options.h"
#include "core/kdsub_text.h"
#include "editors/sequence_def.h"
#include "support/qstring_printer.h"
#include "editors/qstring_stream.h"

#include <gtest/gtest.h>

namespace {

class SequenceDefTest : public ::testing::Test
{
protected:
    void SetUp() override { TkdOption::Global().UseLowerName = false; }
    void TearDown() override { TkdOption::Global().UseLowerName = false; }
};

TEST_F(SequenceDefTest, CreateTextOfTheDefaults)
{
    const QStringList expected = {"CREATE SEQUENCE s1.seq", "INCREMENT 1",   "START 1",        "NO MAXVALUE", "NO MINVALUE",
                                  "NO CYCLE ",              "CACHE 1",       "OWNED BY NONE", ";"};
    EXPECT_EQ(SequenceCreateLines(TSequenceDef(), "s1.", "s1", "seq"), expected);
}

TEST_F(SequenceDefTest, CreateTextOfEachSetting)
{
    struct Case {
        const char *what;
        std::function<void(TSequenceDef &)> change;
        QStringList expected;
    };
    const QList<Case> cases = {
        {"integer type, limits",
         [](TSequenceDef &d) {
             d.TypeName = "integer";
             d.NoMax = false;
             d.MaxValue = "1000";
             d.NoMin = false;
             d.MinValue = "5";
             d.LastValue = "7";
             d.Cycle = true;
         },
         {"CREATE SEQUENCE seq", "AS integer", "INCREMENT 1", "START 7", "MAXVALUE 1000", "MINVALUE 5", "CYCLE ", "CACHE 1",
          "OWNED BY NONE", ";"}},
        {"smallint descending",
         [](TSequenceDef &d) {
             d.TypeName = "smallint";
             d.Increment = "-1";
             d.LastValue = "-1";
         },
         {"CREATE SEQUENCE seq", "AS smallint", "INCREMENT -1", "START -1", "NO MAXVALUE", "NO MINVALUE", "NO CYCLE ",
          "CACHE 1", "OWNED BY NONE", ";"}},
        {"cache empty, owned by",
         [](TSequenceDef &d) {
             d.Cache.clear();
             d.OwnedNone = false;
             d.Table = "Orders";
             d.Column = "id";
         },
         {"CREATE SEQUENCE seq", "INCREMENT 1", "START 1", "NO MAXVALUE", "NO MINVALUE", "NO CYCLE ",
          "OWNED BY s1.\"Orders\".id", ";"}},
        {"empty texts give no line",
         [](TSequenceDef &d) {
             d.Increment.clear();
             d.LastValue.clear();
             d.NoMax = false;
             d.MaxValue.clear();
             d.NoMin = false;
             d.MinValue = " ";
         },
         {"CREATE SEQUENCE seq", "NO CYCLE ", "CACHE 1", "OWNED BY NONE", ";"}},
    };
    for (const Case &c : cases) {
        TSequenceDef d;
        c.change(d);
        EXPECT_EQ(SequenceCreateLines(d, QString(), "s1", "seq"), c.expected) << c.what;
    }
}

TEST_F(SequenceDefTest, AlterTextOfSingleChanges)
{
    TSequenceDef saved;
    saved.LastValue = "10";
    struct Case {
        const char *what;
        std::function<void(TSequenceDef &)> change;
        QStringList expected;
    };
    const QString head = "ALTER SEQUENCE s1.seq";
    const QList<Case> cases = {
        {"nothing", [](TSequenceDef &) {}, {}},
        {"increment only", [](TSequenceDef &d) { d.Increment = "5"; }, {head, "INCREMENT 5", ";"}},
        {"last value: setval in place, quoted as a literal",
         [](TSequenceDef &d) { d.LastValue = "42"; },
         {"SELECT setval('s1.seq', 42)", ";"}},
        {"max set", [](TSequenceDef &d) { d.NoMax = false; d.MaxValue = "99"; }, {head, "MAXVALUE 99", ";"}},
        {"NoMax unticked, max text unchanged: no line", [](TSequenceDef &d) { d.NoMax = false; }, {}},
        {"min set", [](TSequenceDef &d) { d.NoMin = false; d.MinValue = "0"; }, {head, "MINVALUE 0", ";"}},
        {"cycle", [](TSequenceDef &d) { d.Cycle = true; }, {head, "CYCLE ", ";"}},
        {"cache emptied", [](TSequenceDef &d) { d.Cache.clear(); }, {head, "CACHE 1", ";"}},
        {"cache changed", [](TSequenceDef &d) { d.Cache = "20"; }, {head, "CACHE 20", ";"}},
        {"owned by a column",
         [](TSequenceDef &d) {
             d.OwnedNone = false;
             d.Table = "t";
             d.Column = "Id";
         },
         {head, "OWNED BY s1.t.\"Id\"", ";"}},
    };
    for (const Case &c : cases) {
        TSequenceDef now = saved;
        c.change(now);
        EXPECT_EQ(SequenceAlterLines(saved, now, "s1", "seq"), c.expected) << c.what;
    }

    TSequenceDef owned = saved;
    owned.OwnedNone = false;
    owned.Table = "t";
    owned.Column = "c";
    TSequenceDef none = owned;
    none.OwnedNone = true;
    EXPECT_EQ(SequenceAlterLines(owned, none, "s1", "seq"), QStringList({head, "OWNED BY NONE", ";"}));
    // Ticking NONE clears nothing; unticking it again with the same texts sets the owner back.
    EXPECT_EQ(SequenceAlterLines(none, owned, "s1", "seq"), QStringList({head, "OWNED BY s1.t.c", ";"}));
}

TEST_F(SequenceDefTest, NamesGoThroughTheQuotingRoutines)
{
    const QStringList names = {"Upper", "with blank", "a\"b", "a'b", "表1", "x（y）", QString(63, QLatin1Char('n')), "select"};
    for (bool lower : {false, true}) {
        TkdOption::Global().UseLowerName = lower;
        for (const QString &name : names) {
            const QString q = QuoteIdentifier(name);
            const QStringList create = SequenceCreateLines(TSequenceDef(), QString(), "Sch", name);
            EXPECT_EQ(create.first(), "CREATE SEQUENCE " + q) << name << lower;
            EXPECT_EQ(SequenceDropLines("Sch", name), QStringList({"DROP SEQUENCE " + QuoteIdentifier("Sch") + "." + q, ";"}));
            EXPECT_EQ(SequenceNameLiteral("Sch", name), QuoteLiteral(QuoteIdentifier("Sch") + "." + q)) << name;
            if (!lower && name == "select") {
                EXPECT_EQ(q, "\"select\"");
            }
            if (!lower && name == "a'b") {
                EXPECT_EQ(SequenceNameLiteral("Sch", name), "'\"Sch\".\"a''b\"'");
            }
        }
    }
}

TEST_F(SequenceDefTest, NoMinAndNoMaxFollowTheTypeLimits)
{
    struct Case {
        const char *type, *inc, *min, *max;
        bool noMin, noMax;
    };
    const QList<Case> cases = {
        {"bigint", "1", "1", "9223372036854775807", true, true},
        {"bigint", "1", "2", "100", false, false},
        {"integer", "1", "1", "2147483647", true, true},
        {"integer", "1", "1", "9223372036854775807", true, false},
        {"smallint", "1", "1", "32767", true, true},
        {"bigint", "-1", "-9223372036854775808", "-1", true, true},
        {"bigint", "-1", "-9223372036854775807", "-1", true, true},
        {"integer", "-1", "-2147483648", "-1", true, true},
        {"smallint", "-2", "-32768", "-5", true, false},
        {"bigint", "x", "1", "9223372036854775807", false, false},
    };
    for (const Case &c : cases) {
        TSequenceDef d;
        d.TypeName = c.type;
        d.Increment = c.inc;
        d.MinValue = c.min;
        d.MaxValue = c.max;
        InferSequenceDefaults(d);
        EXPECT_EQ(d.NoMin, c.noMin) << c.type << " " << c.inc << " " << c.min;
        EXPECT_EQ(d.NoMax, c.noMax) << c.type << " " << c.inc << " " << c.max;
    }
}

} // namespace
