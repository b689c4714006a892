#include "platform/db/dberror.h"

namespace db {

Error::Error(Kind k, const QString &text) : kind(k), message(text) {}

const char *Error::what() const noexcept
{
    FWhat = message.toUtf8();
    return FWhat.constData();
}

bool errorIsFiltered(const QString &message)
{
    // A zero byte in text sent to the server, and a cursor that no longer exists, in the
    // server's Japanese and English wording.
    static const char16_t *const pairs[][2] = {
        {u"ERROR: 符号化方式", u"で無効なバイトシーケンスです: 0x00"},
        {u"ERROR: invalid byte sequence for encoding ", u": 0x00"},
        {u"ERROR: カーソル", u"は存在しません"},
        {u"ERROR: cursor ", u" does not exist"},
    };
    for (const auto &pair : pairs) {
        if (message.contains(QString::fromUtf16(pair[0]), Qt::CaseSensitive)
            && message.contains(QString::fromUtf16(pair[1]), Qt::CaseSensitive))
            return true;
    }
    return false;
}

} // namespace db
