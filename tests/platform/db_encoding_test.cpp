// Text that the client encoding would change on its way to the server is refused before
// anything is sent, on every path; text that survives is stored exactly as given.
#include "platform/db/dbconnection.h"
#include "platform/db/dbquery.h"
#include "platform/db_fixture.h"

#include <functional>

namespace {

using dbtest::DbTest;

class DbEncoding : public DbTest {
protected:
    void useEncoding(const char *encoding)
    {
        FDb.execute(QStringLiteral("SET CLIENT_ENCODING TO '%1'").arg(QLatin1String(encoding)));
        ASSERT_EQ(FDb.clientEncoding(), QLatin1String(encoding));
    }
    // The stored texts, read in UTF-8 on the fixture's own connection.
    QString stored(const QString &sql) { return scalar(sql.arg(schema())); }
};

// The characters that Shift_JIS (as the server converts it) turns into others.
const char16_t *const kChangedInSjis[] = {u"¥", u"‾", u"〜", u"−", u"‖", u"¢", u"£", u"¬", u"—"};

TEST_F(DbEncoding, SjisRefusesEveryCharacterItWouldChangeAndNamesIt)
{
    FDb.execute(QStringLiteral("CREATE TABLE t (v text)"));
    useEncoding("SJIS");
    for (const char16_t *ch : kChangedInSjis) {
        const QString c = QString::fromUtf16(ch);
        db::Query q(&FDb);
        q.setSql(QStringLiteral("INSERT INTO t VALUES (:v)"));
        q.param(0).setAsString(QStringLiteral("ab\nc") + c);
        try {
            q.execute();
            ADD_FAILURE() << c.toStdString() << ": accepted";
        } catch (const db::Error &e) {
            EXPECT_EQ(e.kind, db::Error::Kind::Refused);
            EXPECT_TRUE(e.message.contains(QStringLiteral("「") + c + QStringLiteral("」"))) << e.message.toStdString();
            EXPECT_TRUE(e.message.contains(QStringLiteral("2 行 2 文字目"))) << e.message.toStdString();
            EXPECT_TRUE(e.message.contains(QStringLiteral("SJIS"))) << e.message.toStdString();
        }
    }
    // Their full-width look-alikes, which SJIS holds, pass and are stored as given.
    const QString safe = QStringLiteral("＼～－∥￠￡￢―①ｱ");
    db::Query q(&FDb);
    q.setSql(QStringLiteral("INSERT INTO t VALUES (:v)"));
    q.param(0).setAsString(safe);
    q.execute();
    useEncoding("UTF8");
    EXPECT_EQ(stored(QStringLiteral("SELECT string_agg(v, '') FROM %1.t")), safe);
}

TEST_F(DbEncoding, CharactersTheServersOwnTableChangesAreRefusedToo)
{
    // glibc's tables keep these, the server's conversion does not.
    FDb.execute(QStringLiteral("CREATE TABLE t (v text)"));
    struct Case { const char *encoding; QString text; QString becomes; };
    const Case cases[] = {
        {"SHIFT_JIS_2004", QStringLiteral("¥"), QStringLiteral("\\")},
        {"SHIFT_JIS_2004", QStringLiteral("～"), QStringLiteral("~")},
        {"EUC_JIS_2004", QStringLiteral("￥"), QStringLiteral("¥")},
        {"BIG5", QStringLiteral("～"), QStringLiteral("∼")},
        {"BIG5", QStringLiteral("￡"), QStringLiteral("£")},
    };
    for (const Case &c : cases) {
        useEncoding(c.encoding);
        db::Query q(&FDb);
        q.setSql(QStringLiteral("INSERT INTO t VALUES (:v)"));
        q.param(0).setAsString(QStringLiteral("a") + c.text);
        try {
            q.execute();
            ADD_FAILURE() << c.encoding << " " << c.text.toStdString() << ": accepted";
        } catch (const db::Error &e) {
            EXPECT_EQ(e.kind, db::Error::Kind::Refused);
            EXPECT_TRUE(e.message.contains(QStringLiteral("「%1」").arg(c.becomes))) << e.message.toStdString();
            EXPECT_TRUE(e.message.contains(QStringLiteral("1 行 2 文字目"))) << e.message.toStdString();
        }
    }
    useEncoding("UTF8");
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM t")), QStringLiteral("0"));
}

TEST_F(DbEncoding, EveryPathRefusesAChangedCharacterAndSendsNothing)
{
    FDb.execute(QStringLiteral("CREATE TABLE t (id int, v text)"));
    FDb.execute(QStringLiteral("INSERT INTO t VALUES (1, 'one')"));
    useEncoding("SJIS");
    const QString yen = QStringLiteral("C:¥temp");
    struct Case { const char *path; std::function<void()> run; };
    const Case cases[] = {
        {"statement text", [&] { FDb.execute(QStringLiteral("INSERT INTO t VALUES (2, '%1')").arg(yen)); }},
        {"query text", [&] {
             db::Query q(&FDb);
             q.setSql(QStringLiteral("UPDATE t SET v = '%1'").arg(yen));
             q.execute();
         }},
        {"parameter", [&] {
             db::Query q(&FDb);
             q.setSql(QStringLiteral("UPDATE t SET v = :v"));
             q.param(0).setAsString(yen);
             q.execute();
         }},
        {"edited value", [&] {
             db::Query q(&FDb);
             q.setSql(QStringLiteral("SELECT id, v FROM t"));
             q.open();
             q.edit();
             q.field(1).setAsString(yen);
             q.post();
         }},
        {"appended row", [&] {
             db::Query q(&FDb);
             q.setSql(QStringLiteral("SELECT id, v FROM t"));
             q.open();
             q.append();
             q.field(0).setAsInteger(3);
             q.field(1).setAsString(yen);
             q.post();
         }},
        {"COPY data", [&] {
             FDb.copyIn(QStringLiteral("COPY t FROM STDIN"), [&](QByteArray &out) {
                 out = FDb.encode(QStringLiteral("4\t%1\n").arg(yen));
                 return false;
             });
         }},
        {"COPY statement", [&] {
             FDb.copyIn(QStringLiteral("COPY t FROM STDIN WITH (NULL '%1')").arg(yen), [&](QByteArray &out) {
                 out = "5\tx\n";
                 return false;
             });
         }},
    };
    for (const Case &c : cases) {
        try {
            c.run();
            ADD_FAILURE() << c.path << ": accepted";
        } catch (const db::Error &e) {
            EXPECT_EQ(e.kind, db::Error::Kind::Refused) << c.path << ": " << e.message.toStdString();
            EXPECT_TRUE(e.message.contains(QStringLiteral("「¥」"))) << c.path << ": " << e.message.toStdString();
        }
    }
    useEncoding("UTF8");
    EXPECT_EQ(stored(QStringLiteral("SELECT string_agg(id || '=' || v, ';' ORDER BY id) FROM %1.t")), QStringLiteral("1=one"));
}

TEST_F(DbEncoding, EveryClientEncodingStoresWhatItAcceptsExactly)
{
    // A sample per script and the characters that encodings like to fold: for each client
    // encoding, each sample is either refused or stored exactly as given, never changed.
    const QStringList samples = {
        QStringLiteral("plain ASCII ~\\"), QStringLiteral("日本語のテキスト"), QStringLiteral("ｶﾀｶﾅ①Ⅱ㈱"),
        QStringLiteral("¥‾〜−‖¢£¬—"), QStringLiteral("～－∥￠￡￢―＼"), QStringLiteral("àéîõüßÆ"),
        QStringLiteral("čšžłőű"), QStringLiteral("€‚„…†‰"), QStringLiteral("Привет Ґґ"),
        QStringLiteral("Ελληνικά"), QStringLiteral("ภาษาไทย"), QStringLiteral("한국어"),
        QStringLiteral("简体中文"), QStringLiteral("繁體中文"), QStringLiteral("𠮷野家"), QStringLiteral("髙﨑"),
    };
    const char *encodings[] = {"UTF8", "SQL_ASCII", "SJIS", "EUC_JP", "EUC_JIS_2004", "SHIFT_JIS_2004",
                               "LATIN1", "LATIN2", "LATIN9", "WIN1250", "WIN1251", "WIN1252", "WIN874",
                               "EUC_KR", "EUC_CN", "EUC_TW", "BIG5", "GBK", "GB18030", "UHC", "KOI8R",
                               "KOI8U", "ISO_8859_5", "ISO_8859_7"};
    FDb.execute(QStringLiteral("CREATE TABLE t (enc text, i int, v text)"));
    QMap<QString, QStringList> accepted;
    for (const char *enc : encodings) {
        useEncoding(enc);
        int acceptedHere = 0;
        for (int i = 0; i < samples.size(); ++i) {
            db::Query q(&FDb);
            q.setSql(QStringLiteral("INSERT INTO t VALUES (:e, :i, :v)"));
            q.param(0).setAsString(QLatin1String(enc));
            q.param(1).setAsInteger(i);
            q.param(2).setAsString(samples[i]);
            try {
                q.execute();
                ++acceptedHere;
            } catch (const db::Error &e) {
                // Refused here, or by the server as a character it cannot convert: never changed.
                EXPECT_TRUE(e.kind == db::Error::Kind::Refused || e.sqlState == QLatin1String("22P05"))
                    << enc << " " << samples[i].toStdString() << ": " << e.message.toStdString();
            }
        }
        EXPECT_GE(acceptedHere, 1) << enc; // ASCII at least
    }
    useEncoding("UTF8");
    db::Query q(&FDb);
    q.setSql(QStringLiteral("SELECT enc, i, v FROM t ORDER BY enc, i"));
    q.open();
    int rows = 0;
    for (; !q.eof(); q.next(), ++rows)
        EXPECT_EQ(q.field(2).asString(), samples[q.field(1).asInteger()]) << q.field(0).asString().toStdString();
    EXPECT_GT(rows, int(std::size(encodings)));
    // The Japanese encodings hold Japanese text.
    for (const char *enc : {"SJIS", "EUC_JP", "EUC_JIS_2004", "SHIFT_JIS_2004"})
        EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM t WHERE enc = '%1' AND i = 1").arg(QLatin1String(enc))),
                  QStringLiteral("1"))
            << enc;
}

} // namespace
