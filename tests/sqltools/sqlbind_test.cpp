// The bind-variable type table: which names the grid knows and how values convert.
#include "platform/db/dbquery.h"
#include "sqltools/sqlbind.h"
#include "support/qstring_printer.h"

#include <gtest/gtest.h>

namespace {

TEST(SqlBind, TypeNamesMapToParameterTypes)
{
    using P = db::ParamType;
    struct Case { const char *name; P type; bool known; };
    const QList<Case> cases = {
        {"smallint", P::Integer, true}, {"integer", P::Integer, true}, {"integer[]", P::Integer, true},
        {"bigint", P::LargeInt, true}, {"numeric", P::Decimal, true}, {"real", P::Float, true},
        {"double precision", P::Float, true}, {"smallserial", P::Integer, true}, {"serial", P::Integer, true},
        {"bigserial", P::LargeInt, true}, {"text", P::Text, true}, {"character varying", P::Text, true},
        {"date", P::Date, true}, {"time(6) without time zone", P::Time, true},
        {"timestamp(6) without time zone", P::DateTime, true}, {"boolean", P::Boolean, true},
        {"Integer", P::Text, false}, {"json", P::Text, false}, {"", P::Text, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BindParamType(QString::fromUtf8(c.name)), c.type);
        EXPECT_EQ(IsKnownBindType(QString::fromUtf8(c.name)), c.known);
    }
}

TEST(SqlBind, ValuesConvertExactlyOrFail)
{
    const QLocale de(QLocale::German, QLocale::Germany);
    const QLocale ja(QLocale::Japanese, QLocale::Japan);
    struct Case { const char *name; const char *type; QString value; QLocale locale; const char *sent; };
    const QList<Case> cases = {
        {"30-digit numeric exact", "numeric", "123456789012345678901234567890.5", ja, "123456789012345678901234567890.5"},
        {"numeric in a comma locale", "numeric", "1.234,5", de, "1234.5"},
        {"numeric ISO form in a comma locale", "numeric", "1234.5", de, "1234.5"},
        {"bigserial 2^40", "bigserial", "1099511627776", ja, "1099511627776"},
        {"bigint negative", "bigint", "-9223372036854775808", ja, "-9223372036854775808"},
        {"integer array", "integer[]", "42", ja, "42"},
        {"date ISO", "date", "2024-02-29", de, "2024-02-29"},
        {"date in the locale", "date", "29.02.24", de, "2024-02-29"},
        {"date japanese locale", "date", "2024/02/29", ja, "2024-02-29"},
        {"timestamp ISO", "timestamp(6) without time zone", "2024-02-29 13:45:01", ja, "2024-02-29 13:45:01.000"},
        {"time", "time(6) without time zone", "13:45:01", ja, "13:45:01.000"},
        {"boolean word", "boolean", "TRUE", ja, "true"},
        {"boolean number", "boolean", "0", ja, "false"},
        {"unknown type as text", "json", "{\"a\":1}", ja, "{\"a\":1}"},
        {"empty text", "text", "", ja, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        db::Param p(QStringLiteral("v"));
        BindParamValue(p, QString::fromUtf8(c.type), c.value, c.locale);
        EXPECT_EQ(p.asString(), QString::fromUtf8(c.sent));
    }
}

TEST(SqlBind, ValuesThatDoNotConvertFail)
{
    struct Case { const char *type; const char *value; };
    const QList<Case> cases = {
        {"integer", "abc"}, {"integer", ""}, {"smallint", "40000"}, {"integer", "3000000000"},
        {"numeric", "1e"}, {"date", "2024-13-01"}, {"boolean", "maybe"}, {"bigint", "1.5"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.type) + " " + c.value);
        db::Param p;
        EXPECT_THROW(BindParamValue(p, QString::fromUtf8(c.type), QString::fromUtf8(c.value), QLocale::c()),
                     EBindConvertError);
    }
}

} // namespace
