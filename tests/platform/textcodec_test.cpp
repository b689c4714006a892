// Round trips through the encodings the program reads and writes besides UTF-8.
#include "platform/textcodec.h"
#include "support/qstring_printer.h"
#include <gtest/gtest.h>

namespace {

struct Case { const char *encoding; QString text; };

TEST(TextCodec, RoundTripsJapaneseText)
{
    const QString ja = QStringLiteral("社員テーブル（ｶﾅ）①～");
    const Case cases[] = {
        {"CP932", ja}, {"EUC-JP", QStringLiteral("社員テーブル")}, {"UTF-7", ja},
        {"UTF-16LE", ja}, {"UTF-16BE", ja}, {"UTF-8", ja}, {"CP932", QString()},
    };
    for (const Case &c : cases) {
        bool ok1 = false, ok2 = false;
        const QByteArray b = textcodec::encode(c.text, c.encoding, &ok1);
        EXPECT_TRUE(ok1) << c.encoding;
        EXPECT_EQ(textcodec::decode(b, c.encoding, &ok2), c.text) << c.encoding;
        EXPECT_TRUE(ok2) << c.encoding;
    }
}

TEST(TextCodec, KnownBytes)
{
    EXPECT_EQ(textcodec::encode(QStringLiteral("あ"), "CP932"), QByteArray("\x82\xa0"));
    EXPECT_EQ(textcodec::encode(QStringLiteral("～"), "CP932"), QByteArray("\x81\x60"));
    EXPECT_EQ(textcodec::encode(QStringLiteral("A+B"), "UTF-7"), QByteArray("A+-B"));
}

TEST(TextCodec, UnmappableAndInvalidAreReportedNotDropped)
{
    bool ok = true;
    EXPECT_EQ(textcodec::encode(QStringLiteral("a😀b"), "CP932", &ok), QByteArray("a?b"));
    EXPECT_FALSE(ok);
    ok = true;
    const QString s = textcodec::decode(QByteArray("a\x82"), "CP932", &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(s, QString(QStringLiteral("a")) + QChar(0xFFFD));
}

} // namespace
