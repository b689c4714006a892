#pragma once
// The type table of the SQL window's bind-variable grid: which type names the grid knows,
// and how a value typed in the grid is bound to a parameter of that type. Numbers and
// dates are read in the system locale; ISO forms are accepted too.
#include <QLocale>
#include <QString>
#include <stdexcept>

namespace db { class Param; enum class ParamType; }

// The type name as looked up: a name holding "[]" loses its last two characters.
QString BindTypeKey(const QString &TypeName);
// True when the table knows the name (after the "[]" rule); the pick list keeps only those.
bool IsKnownBindType(const QString &TypeName);
// The parameter type a name binds as (Text for an unknown or empty name).
db::ParamType BindParamType(const QString &TypeName);

// A value that does not convert to its type.
class EBindConvertError : public std::runtime_error
{
public:
    explicit EBindConvertError(const QString &Message)
        : std::runtime_error(Message.toStdString()), FMessage(Message) {}
    const QString &Message() const { return FMessage; }
private:
    QString FMessage;
};

// Binds Value to Param as TypeName says. Throws EBindConvertError when the value does not
// convert (an empty value of a number, date or Boolean type does not).
void BindParamValue(db::Param &Param, const QString &TypeName, const QString &Value,
                    const QLocale &Locale = QLocale::system());
