// The trigger editor's plain parts: type bits, argument bytes, the WHEN cut from the printed
// definition, the argument and column boxes, the CREATE text, and the control rules as a
// table of cases.
#include "core/kdsub_options.h"
#include "editors/trigger_def.h"
#include "editors/trigger_editor.h"
#include "support/qstring_printer.h"

#include <gtest/gtest.h>

namespace {

class TriggerDefTest : public ::testing::Test
{
protected:
    void SetUp() override { TkdOption::Global().UseLowerName = false; }
};

TEST_F(TriggerDefTest, TypeBitsDecideTimingAndEventsWhateverTheName)
{
    struct Case {
        int bits;
        TTriggerTiming timing;
        bool row, ins, del, upd, trunc;
    };
    const QList<Case> cases = {
        {1 | 2 | 4, TTriggerTiming::Before, true, true, false, false, false},
        {4 | 8 | 16 | 32, TTriggerTiming::After, false, true, true, true, true},
        {1 | 64 | 4 | 16, TTriggerTiming::InsteadOf, true, true, false, true, false},
        {8, TTriggerTiming::After, false, false, true, false, false},
        {1 | 2 | 16, TTriggerTiming::Before, true, false, false, true, false},
    };
    for (const Case &c : cases) {
        TTriggerDef d;
        d.Name = QStringLiteral("after_insert_before_delete"); // a name never decides anything
        DecodeTriggerType(c.bits, d);
        EXPECT_EQ(d.Timing, c.timing) << c.bits;
        EXPECT_EQ(d.Row, c.row) << c.bits;
        EXPECT_EQ(d.Insert, c.ins) << c.bits;
        EXPECT_EQ(d.Delete, c.del) << c.bits;
        EXPECT_EQ(d.Update, c.upd) << c.bits;
        EXPECT_EQ(d.Truncate, c.trunc) << c.bits;
        EXPECT_EQ(EncodeTriggerType(d), c.bits);
    }
}

TEST_F(TriggerDefTest, ArgumentBytesSplitAtZeroBytes)
{
    EXPECT_EQ(SplitTriggerArgs(QByteArray()), QStringList());
    EXPECT_EQ(SplitTriggerArgs(QByteArray("a\0", 2)), QStringList({"a"}));
    EXPECT_EQ(SplitTriggerArgs(QByteArray("it's\0\0x, y\0", 11)), QStringList({"it's", "", "x, y"}));
    EXPECT_EQ(SplitTriggerArgs(QByteArray("日本\0", 7)), QStringList({"日本"}));
}

TEST_F(TriggerDefTest, WhenIsCutAtTheTopLevel)
{
    struct Case {
        const char *def;
        const char *when;
    };
    const QList<Case> cases = {
        {"CREATE TRIGGER t BEFORE INSERT ON s.x FOR EACH ROW EXECUTE FUNCTION s.f()", ""},
        {"CREATE TRIGGER t BEFORE UPDATE ON s.x FOR EACH ROW WHEN (old.a IS DISTINCT FROM new.a) EXECUTE FUNCTION s.f()",
         "(old.a IS DISTINCT FROM new.a)"},
        // words inside literals, quoted names and parentheses do not count
        {"CREATE TRIGGER \"when\" AFTER INSERT ON s.\"execute\" FOR EACH ROW WHEN ((new.\"when\" = 'EXECUTE WHEN'::text)) "
         "EXECUTE FUNCTION s.f('WHEN')",
         "((new.\"when\" = 'EXECUTE WHEN'::text))"},
        {"CREATE TRIGGER each_when AFTER DELETE ON s.x FOR EACH STATEMENT EXECUTE FUNCTION s.f('FOR EACH ROW WHEN (x) EXECUTE')",
         ""},
        {"CREATE TRIGGER t AFTER UPDATE ON s.x FOR EACH ROW WHEN (new.a > (SELECT 1 WHERE true)) EXECUTE FUNCTION s.f()",
         "(new.a > (SELECT 1 WHERE true))"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(CutTriggerWhen(QString::fromUtf8(c.def)), QString::fromUtf8(c.when)) << c.def;
}

TEST_F(TriggerDefTest, ArgumentBoxReadsLiteralsAndBareWords)
{
    struct Case {
        const char *text;
        bool ok;
        QStringList args;
    };
    const QList<Case> cases = {
        {"", true, {}},
        {"   ", true, {}},
        {"x", true, {"x"}},
        {"'a', 'b'", true, {"a", "b"}},
        {"'it''s', x , '日本'", true, {"it's", "x", "日本"}},
        {"'a,b'", true, {"a,b"}},
        {"''", true, {""}},
        {"'a\\b'", true, {"a\\b"}},
        {"'abc", false, {}},
        {"'a' b", false, {}},
        {"a'b", false, {}},
        {"a,,b", false, {}},
        {"a,", false, {}},
    };
    for (const Case &c : cases) {
        QStringList args{"unchanged"};
        QString error;
        EXPECT_EQ(ParseTriggerArgs(QString::fromUtf8(c.text), args, error), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(args, c.args) << c.text;
            // what the box shows reads back the same
            QStringList again;
            EXPECT_TRUE(ParseTriggerArgs(TriggerArgsText(args), again, error));
            EXPECT_EQ(again, args) << c.text;
        } else {
            EXPECT_EQ(args, QStringList{"unchanged"}) << c.text;
            EXPECT_FALSE(error.isEmpty());
        }
    }
}

TEST_F(TriggerDefTest, ColumnBoxReadsQuotedAndBareNames)
{
    struct Case {
        const char *text;
        bool ok;
        QStringList names;
    };
    const QList<Case> cases = {
        {"a, B", true, {"a", "b"}},
        {"\"Mixed\", \"a,b\", \"q\"\"t\"", true, {"Mixed", "a,b", "q\"t"}},
        {"\"the one\" , 列", true, {"the one", "列"}},
        {"\"open", false, {}},
        {"a,,b", false, {}},
        {"\"a\"x", false, {}},
    };
    for (const Case &c : cases) {
        QStringList names;
        QString error;
        EXPECT_EQ(ParseColumnList(QString::fromUtf8(c.text), names, error), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(names, c.names) << c.text;
        }
    }
}

TTriggerDef Def()
{
    TTriggerDef d;
    d.Schema = "s";
    d.Table = "orders";
    d.Name = "trg";
    d.FuncSchema = "s";
    d.FuncName = "f";
    return d;
}

TEST_F(TriggerDefTest, CreateTextOfABeforeRowTrigger)
{
    TTriggerDef d = Def();
    d.Insert = true;
    d.Row = true;
    EXPECT_EQ(TriggerCreateLines(d, "s."), QStringList({"CREATE TRIGGER trg", "BEFORE INSERT ", "ON s.orders", "FOR EACH ROW",
                                                        "EXECUTE PROCEDURE s.f()", ";"}));
}

TEST_F(TriggerDefTest, EventsInTheirOrderAndUpdateColumnsQuoted)
{
    TTriggerDef d = Def();
    d.Timing = TTriggerTiming::After;
    d.Insert = d.Delete = d.Update = d.Truncate = true;
    d.UpdateColumns = {"a", "Odd Col", "select"};
    const QStringList l = TriggerCreateLines(d, QString());
    EXPECT_EQ(l.value(1), "AFTER INSERT OR DELETE OR UPDATE OF a, \"Odd Col\", \"select\" OR TRUNCATE ");
    EXPECT_EQ(l.value(2), "ON orders");
}

TEST_F(TriggerDefTest, ArgumentsAreLiteralsNeverRawText)
{
    TTriggerDef d = Def();
    d.Insert = true;
    d.Args = {"it's", "x'); DROP TABLE t; --", "a\\b"};
    const QStringList l = TriggerCreateLines(d, QString());
    EXPECT_EQ(l.value(l.size() - 2),
              "EXECUTE PROCEDURE s.f('it''s', 'x''); DROP TABLE t; --', E'a\\\\b')");
}

TEST_F(TriggerDefTest, ConstraintTriggerWithFromDeferralAndDisabledState)
{
    TTriggerDef d = Def();
    d.Name = "del_log";
    d.Timing = TTriggerTiming::After;
    d.Delete = true;
    d.Row = true;
    d.Constraint = true;
    d.RefSchema = "other";
    d.RefTable = "Ref";
    d.Deferrable = true;
    d.InitDeferred = true;
    d.When = "(old.a > 0)";
    d.Enabled = 'D';
    EXPECT_EQ(TriggerCreateLines(d, "s."),
              QStringList({"CREATE CONSTRAINT TRIGGER del_log", "AFTER DELETE ", "ON s.orders", "FROM other.\"Ref\"",
                           "DEFERRABLE ", "INITIALLY DEFERRED", "FOR EACH ROW", "WHEN (old.a > 0)",
                           "EXECUTE PROCEDURE s.f()", ";", "ALTER TABLE s.orders DISABLE TRIGGER del_log", ";"}));
}

TEST_F(TriggerDefTest, OnlyClausesThatApplyContributeText)
{
    // INSTEAD OF takes neither WHEN nor UPDATE OF; a plain trigger takes no FROM or deferral.
    TTriggerDef d = Def();
    d.Timing = TTriggerTiming::InsteadOf;
    d.Update = true;
    d.Row = true;
    d.UpdateColumns = {"a"};
    d.When = "(new.a > 0)";
    d.RefSchema = "s";
    d.RefTable = "r";
    d.Deferrable = true;
    const QString text = TriggerCreateLines(d, QString()).join('\n');
    EXPECT_FALSE(text.contains("WHEN"));
    EXPECT_FALSE(text.contains(" OF a"));
    EXPECT_FALSE(text.contains("FROM"));
    EXPECT_FALSE(text.contains("DEFERRABLE"));
    EXPECT_TRUE(text.contains("INSTEAD OF UPDATE "));
}

TEST_F(TriggerDefTest, TransitionTablesAndEnabledStates)
{
    TTriggerDef d = Def();
    d.Timing = TTriggerTiming::After;
    d.Update = true;
    d.OldTable = "old rows";
    d.NewTable = "nt";
    d.Enabled = 'A';
    const QStringList l = TriggerCreateLines(d, QString());
    EXPECT_TRUE(l.contains("REFERENCING OLD TABLE AS \"old rows\" NEW TABLE AS nt"));
    EXPECT_EQ(l.value(l.size() - 2), "ALTER TABLE orders ENABLE ALWAYS TRIGGER trg");
    d.Enabled = 'R';
    EXPECT_EQ(TriggerCreateLines(d, QString()).value(l.size() - 2), "ALTER TABLE orders ENABLE REPLICA TRIGGER trg");
    EXPECT_EQ(TriggerDropStatement("s", "My Tab", "t", true), "DROP TRIGGER t ON s.\"My Tab\" CASCADE");
}

// ---- control rules --------------------------------------------------------------------------

struct RuleCase {
    const char *what;
    TTriggerControls in;
    QString kind;
    bool isNew;
    bool fnEmpty;
    // expected
    bool before, after, instead, truncate, row;
    bool beforeOn, afterOn, insteadOn, truncateOn, rowOn, refOn, deferOn, checkOn, updColOn, whenOn, constraintOn,
        paramOn, clear;
};

TTriggerControls In(std::initializer_list<const char *> ticks)
{
    TTriggerControls c;
    c.Before = false;
    for (const char *t : ticks) {
        const QString s = QString::fromLatin1(t);
        if (s == "before") c.Before = true;
        if (s == "after") c.After = true;
        if (s == "instead") c.Instead = true;
        if (s == "insert") c.Insert = true;
        if (s == "update") c.Update = true;
        if (s == "delete") c.Delete = true;
        if (s == "truncate") c.Truncate = true;
        if (s == "row") c.Row = true;
        if (s == "constraint") c.Constraint = true;
        if (s == "deferrable") c.Deferrable = true;
    }
    return c;
}

TEST_F(TriggerDefTest, ControlRuleMatrix)
{
    const QList<RuleCase> cases = {
        // what, in, kind, new, fnEmpty | before after instead truncate row | beforeOn afterOn insteadOn truncOn rowOn refOn deferOn checkOn updColOn whenOn constraintOn paramOn clear
        {"new before insert row on table", In({"before", "insert", "row"}), "TABLE", true, false,
         true, false, false, false, true, true, true, true, false, true, false, false, false, false, true, true, true, false},
        {"constraint forces after and row", In({"before", "insert", "truncate", "constraint"}), "TABLE", true, false,
         false, true, false, false, true, false, true, false, false, false, true, true, false, false, true, true, true, false},
        {"constraint deferrable enables check time", In({"after", "update", "constraint", "deferrable"}), "TABLE", true, false,
         false, true, false, false, true, false, true, false, false, false, true, true, true, true, true, true, true, false},
        {"truncate statement on table", In({"after", "truncate"}), "TABLE", true, false,
         false, true, false, true, false, true, true, true, true, false, false, false, false, false, true, true, true, false},
        // the rules run in order: TRUNCATE is unticked first, so no event asks for a table
        {"truncate on a view is refused", In({"after", "truncate"}), "VIEW", true, false,
         false, true, false, false, false, true, true, true, false, true, false, false, false, false, true, true, true, false},
        {"row with truncate drops truncate", In({"before", "truncate", "row", "insert"}), "TABLE", true, false,
         true, false, false, false, true, true, true, true, false, true, false, false, false, false, true, true, true, false},
        {"instead of on a view", In({"instead", "update"}), "VIEW", true, false,
         false, false, true, false, true, true, true, true, false, false, false, false, false, false, false, true, true, false},
        {"instead of on a table clears the table", In({"instead", "insert"}), "TABLE", true, false,
         false, false, true, false, true, true, true, true, false, false, false, false, false, false, false, true, true, true},
        {"existing instead of: before and after locked", In({"instead", "insert", "row"}), "VIEW", false, false,
         false, false, true, false, true, false, false, true, false, false, false, false, false, false, false, false, true, false},
        {"existing after trigger: instead locked", In({"after", "delete", "row"}), "TABLE", false, false,
         false, true, false, false, true, true, true, false, false, true, false, false, false, false, true, true, true, false},
        {"existing statement trigger on a view", In({"before", "insert"}), "VIEW", false, false,
         true, false, false, false, false, true, true, false, false, false, false, false, false, false, true, false, true, false},
        {"row trigger needs a table", In({"before", "update", "row"}), "VIEW", true, false,
         true, false, false, false, true, true, true, true, false, true, false, false, false, true, true, true, true, true},
        {"unknown name is cleared where a kind is needed", In({"before", "update", "row"}), "", true, false,
         true, false, false, false, true, true, true, true, false, true, false, false, false, true, true, true, true, true},
        {"statement insert on a view is allowed", In({"after", "insert"}), "VIEW", true, false,
         false, true, false, false, false, true, true, true, false, true, false, false, false, false, true, true, true, false},
        {"no function: no arguments", In({"before", "insert", "row"}), "TABLE", true, true,
         true, false, false, false, true, true, true, true, false, true, false, false, false, false, true, true, false, false},
    };
    for (const RuleCase &c : cases) {
        TTriggerControls r = c.in;
        ApplyTriggerRules(r, c.kind, c.isNew, c.fnEmpty);
        SCOPED_TRACE(c.what);
        EXPECT_EQ(r.Before, c.before);
        EXPECT_EQ(r.After, c.after);
        EXPECT_EQ(r.Instead, c.instead);
        EXPECT_EQ(r.Truncate, c.truncate);
        EXPECT_EQ(r.Row, c.row);
        EXPECT_EQ(r.BeforeOn, c.beforeOn);
        EXPECT_EQ(r.AfterOn, c.afterOn);
        EXPECT_EQ(r.InsteadOn, c.insteadOn);
        EXPECT_EQ(r.TruncateOn, c.truncateOn);
        EXPECT_EQ(r.RowOn, c.rowOn);
        EXPECT_EQ(r.RefOn, c.refOn);
        EXPECT_EQ(r.DeferrableOn, c.deferOn);
        EXPECT_EQ(r.CheckTimeOn, c.checkOn);
        EXPECT_EQ(r.UpdColOn, c.updColOn);
        EXPECT_EQ(r.WhenOn, c.whenOn);
        EXPECT_EQ(r.ConstraintOn, c.constraintOn);
        EXPECT_EQ(r.ParamOn, c.paramOn);
        EXPECT_EQ(r.ClearTable, c.clear);
    }
}

TEST_F(TriggerDefTest, TableListKindFollowsTheChoices)
{
    EXPECT_EQ(TriggerTableListKind(In({"after", "insert", "constraint"}), 150000), "TABLE");
    EXPECT_EQ(TriggerTableListKind(In({"instead", "insert"}), 150000), "VIEW");
    EXPECT_EQ(TriggerTableListKind(In({"before", "insert", "row"}), 150000), "TABLE");
    EXPECT_EQ(TriggerTableListKind(In({"before", "insert"}), 150000), "");
    EXPECT_EQ(TriggerTableListKind(In({"before", "insert"}), 90000), "TABLE");
    EXPECT_EQ(TriggerTableListKind(In({"after", "truncate"}), 150000), "TABLE");
    EXPECT_EQ(TriggerTableListKind(In({"after"}), 150000), "");
}

} // namespace
