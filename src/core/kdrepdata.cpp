#include "core/kdrepdata.h"

namespace {
struct TRepDataItem {
    int Index;
    const char *KeyWord;
};
// The items menus rely on; the labels and the other items come with the report writer.
constexpr TRepDataItem kRepData[] = {
    {0, "OBJECT"}, {1, "TABLE"},      {2, "VIEW"},   {3, "INDEX"},  {4, "OBJECTTYPE"},
    {5, "SEQ"},    {6, "OBJECTNAME"}, {7, "SCHEMA"}, {10, "MAKER"}, {11, "COMMENT"},
};
} // namespace

int RepDataIndex(const QString &Text, int Column)
{
    if (Column != 1)
        return 0;
    for (const TRepDataItem &item : kRepData)
        if (Text == QLatin1String(item.KeyWord))
            return item.Index;
    return 0;
}
