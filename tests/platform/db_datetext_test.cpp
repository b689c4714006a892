#include <gtest/gtest.h>

#include "platform/db/dbdatetext.h"

#include <QDate>
#include <QTime>

namespace {

// The fast texts must equal what Qt writes for the same value and format, for every format
// a user may set, including those the fast path hands back to Qt.
TEST(DateText, EqualsQtForEveryFormat)
{
    const QStringList dateFormats = {
        "yyyy/MM/dd", "yyyy-MM-dd", "dd.MM.yyyy", "d/M/yy", "yyyy年M月d日", "'Day' dd 'of' MM, yyyy",
        "yy''MM''dd", "ddd yyyy/MM/dd", "MMMM d, yyyy", "yyyyMMdd"};
    const QStringList timeFormats = {"HH:mm:ss", "H:m:s", "hh:mm", "HH時mm分ss秒", "HH:mm:ss.zzz", "h:mm AP",
                                     "'at' HH:mm"};
    const QList<QByteArray> dates = {"2024-01-02", "1999-12-31", "0099-03-04", "2000-02-29"};
    const QList<QByteArray> times = {"00:00:00", "09:05:07", "23:59:59", "12:30:00"};
    for (const QString &df : dateFormats) {
        for (const QByteArray &d : dates) {
            const QDate qd = QDate::fromString(QString::fromLatin1(d), Qt::ISODate);
            ASSERT_TRUE(qd.isValid()) << d.constData();
            EXPECT_EQ(db::isoDateText(d, df), qd.toString(df)) << qPrintable(df) << " " << d.constData();
            for (const QString &tf : timeFormats) {
                for (const QByteArray &t : times) {
                    const QTime qt = QTime::fromString(QString::fromLatin1(t), QStringLiteral("HH:mm:ss"));
                    const QString want = qd.toString(df) + QLatin1Char(' ') + qt.toString(tf);
                    EXPECT_EQ(db::isoTimestampText(d + ' ' + t, df, tf), want) << qPrintable(df + " " + tf);
                    // Fractions and zones of the server's text are not shown.
                    EXPECT_EQ(db::isoTimestampText(d + ' ' + t + ".123456+09", df, tf), want);
                }
            }
        }
    }
}

TEST(DateText, ValuesThatAreNotPlainIsoDatesGiveNull)
{
    const char *dates[] = {"2024-02-30", "2024-13-01", "2024-1-01x", "20240101", "12345-01-01", "2024-01-01 BC",
                           "infinity", ""};
    for (const char *d : dates)
        EXPECT_TRUE(db::isoDateText(QByteArrayView(d), "yyyy/MM/dd").isNull()) << d;
    const char *stamps[] = {"2024-01-01 25:00:00", "2024-01-01T10:00:00", "2024-01-01 10:00", "-infinity",
                            "2024-02-30 10:00:00"};
    for (const char *s : stamps)
        EXPECT_TRUE(db::isoTimestampText(QByteArrayView(s), "yyyy/MM/dd", "HH:mm:ss").isNull()) << s;
}

} // namespace
