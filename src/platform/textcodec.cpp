#include "platform/textcodec.h"

#include <QList>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace textcodec {

namespace {

bool isUtf8(const char *e) { return qstricmp(e, "UTF-8") == 0 || qstricmp(e, "UTF8") == 0; }

// Runs iconv over the whole input. On an unconvertible or invalid sequence, `onBad` appends
// a replacement to the output and tells how many input bytes to skip.
template <typename OnBad>
QByteArray convert(const char *from, const char *to, const QByteArray &in, bool &ok, OnBad onBad)
{
    ok = true;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        ok = false;
        return QByteArray();
    }
    QByteArray out;
    out.reserve(in.size() * 2 + 16);
    char buf[4096];
    char *inp = const_cast<char *>(in.constData());
    size_t inLeft = static_cast<size_t>(in.size());
    while (inLeft > 0) {
        char *outp = buf;
        size_t outLeft = sizeof buf;
        const size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
        out.append(buf, static_cast<qsizetype>(outp - buf));
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            ok = false;
            const size_t skip = onBad(out, inLeft);
            inp += skip;
            inLeft -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    // Flush a stateful encoding (UTF-7, ISO-2022-JP) back to its initial state.
    char *outp = buf;
    size_t outLeft = sizeof buf;
    iconv(cd, nullptr, nullptr, &outp, &outLeft);
    out.append(buf, static_cast<qsizetype>(outp - buf));
    iconv_close(cd);
    return out;
}

} // namespace

QByteArray encode(const QString &text, const char *encoding, bool *ok)
{
    if (ok)
        *ok = true;
    if (isUtf8(encoding))
        return text.toUtf8();
    // Go through UTF-32 so that one unconvertible character is one 4-byte unit to skip.
    const QList<uint> ucs = text.toUcs4();
    QByteArray in(reinterpret_cast<const char *>(ucs.constData()), ucs.size() * 4);
    bool good = true;
    QByteArray out = convert("UTF-32LE", encoding, in, good, [](QByteArray &o, size_t) {
        o.append('?');
        return size_t(4);
    });
    if (ok)
        *ok = good;
    return out;
}

QString decode(const QByteArray &bytes, const char *encoding, bool *ok)
{
    if (ok)
        *ok = true;
    if (isUtf8(encoding))
        return QString::fromUtf8(bytes);
    bool good = true;
    const QByteArray out = convert(encoding, "UTF-16LE", bytes, good, [](QByteArray &o, size_t) {
        const char16_t rep = 0xFFFD;
        o.append(reinterpret_cast<const char *>(&rep), 2);
        return size_t(1);
    });
    if (ok)
        *ok = good;
    return QString(reinterpret_cast<const QChar *>(out.constData()), out.size() / 2);
}

} // namespace textcodec
