#pragma once
// Turns fuzzer bytes into formatter options and SQL text. The first byte picks the layout;
// the rest is read as UTF-16 when the second byte is odd (so unpaired surrogates and any
// code unit occur), else as UTF-8.
#include "core/kdsub_sql.h"

#include <cstddef>
#include <cstdint>

inline TFormatOption FuzzLayout(uint8_t b)
{
    TFormatOption o;
    o.Indent = b % 9;
    o.ItemReturn = (b >> 1) & 1;
    o.ReservePos = (b >> 2) & 1;
    o.CommaPos = (b >> 3) & 1;
    o.AndPos = (b >> 4) & 1;
    o.ReserveTrans = (b >> 5) % 3;
    o.ItemTrans = (b >> 6) % 3;
    return o;
}

inline QString FuzzText(const uint8_t *data, size_t size)
{
    if (size > 0 && (data[0] & 1))
        return QString(reinterpret_cast<const QChar *>(data + 1), qsizetype((size - 1) / 2));
    return QString::fromUtf8(reinterpret_cast<const char *>(data + (size > 0 ? 1 : 0)), qsizetype(size > 0 ? size - 1 : 0));
}
