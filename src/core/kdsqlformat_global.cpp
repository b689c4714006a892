// The formatter with the program's FORMAT options (kept apart from the formatter itself so
// that the formatter builds without the option store, for instance in the fuzz targets).
#include "core/kdsub_sql.h"

QString FormatSQL(const QString &Text)
{
    return FormatSQL(Text, TFormatOption::Global());
}
