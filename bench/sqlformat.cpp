// Formatting and analysing long SQL scripts. Goal: a 10,000-line script in under 1 s, and
// 20,000 lines in under 2.2 times the time of 10,000 (the routines are linear).
//   ./bench_sqlformat                      (Google Benchmark options apply)
#include "core/kdsub_sql.h"

#include <benchmark/benchmark.h>

namespace {

// A script of about Lines lines: queries with joins and conditions, changes, comments,
// literals and a function with a dollar-quoted body, statements ended by ";" lines.
QStringList Script(int Lines)
{
    const QStringList block = {
        "-- report of the day",
        "SELECT e.id, e.name AS \"Name\", d.name, count(*) /* all rows */",
        "  FROM emp e LEFT OUTER JOIN dept d ON d.id = e.dept_id",
        " WHERE e.salary BETWEEN 100 AND 500 AND (d.name = 'it''s' OR d.name IS NULL)",
        " GROUP BY e.id, e.name, d.name HAVING count(*) > 1 ORDER BY 2 DESC, 1",
        ";",
        "insert into emp (id, name, dept_id) values (1, E'a\\'b', 2)",
        ";",
        "update emp set salary = salary * 1.05, name = 'x  y' where id in (1, 2, 3)",
        ";",
        "CREATE FUNCTION f() RETURNS integer AS $$",
        "BEGIN",
        "  RETURN 1; -- inside the body",
        "END;",
        "$$ LANGUAGE plpgsql",
        ";",
    };
    QStringList out;
    while (out.size() < Lines)
        out += block;
    return out.mid(0, Lines);
}

TFormatOption Defaults()
{
    TFormatOption o;
    o.Indent = 4;
    o.ItemTrans = 2;
    return o;
}

void BM_FormatScript(benchmark::State &state)
{
    const QString text = Script(int(state.range(0))).join(QStringLiteral("\r\n"));
    const TFormatOption layout = Defaults();
    for (auto _ : state)
        benchmark::DoNotOptimize(FormatSQL(text, layout));
    state.SetComplexityN(state.range(0));
}

// What the SQL window and the query builder do with a script: clean it of comments, cut it
// at the ";" lines and analyse each statement.
void BM_AnalyseScript(benchmark::State &state)
{
    const QStringList script = Script(int(state.range(0)));
    for (auto _ : state) {
        QStringList lines = script;
        StripSQLComments(lines, false);
        QStringList statement;
        int kinds = 0;
        for (const QString &line : std::as_const(lines)) {
            if (line.trimmed() != u";") {
                statement.append(line);
                continue;
            }
            TkdParseList items, tables, orders;
            QStringList conditions, groups, havings;
            QString viewName;
            try {
                kinds += int(ParseSQL(statement.join(QStringLiteral("\r\n")), items, tables, orders, conditions,
                                      groups, havings, QString(), viewName));
            } catch (const ESQLParseError &) {
            }
            statement.clear();
        }
        benchmark::DoNotOptimize(kinds);
    }
    state.SetComplexityN(state.range(0));
}

// Long runs that a quadratic scan would not survive.
void BM_FormatLongRuns(benchmark::State &state)
{
    const int n = int(state.range(0));
    const QString text = QStringLiteral("SELECT a") + QString(n, u' ') + QStringLiteral("\r\n").repeated(n / 2)
                         + QStringLiteral("- - ").repeated(n / 4) + QStringLiteral("'x'").repeated(n / 3)
                         + QStringLiteral("/**/").repeated(n / 4) + QStringLiteral(";").repeated(n / 4);
    const TFormatOption layout = Defaults();
    for (auto _ : state)
        benchmark::DoNotOptimize(FormatSQL(text, layout));
    state.SetComplexityN(n);
}

} // namespace

BENCHMARK(BM_FormatScript)->Arg(10000)->Arg(20000)->Arg(40000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(BM_AnalyseScript)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(BM_FormatLongRuns)->Arg(100000)->Arg(200000)->Arg(400000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK_MAIN();
