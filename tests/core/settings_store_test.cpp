// The settings file: value kinds, names, order, the text form, corrupt files, two writers
// on one file and a writer killed in the middle of its writes.
#include "settings_fixture.h"
#include "support/qstring_printer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <sys/stat.h>

using settings::SettingsStore;
using settings::Value;
using settings::ValueType;

namespace {

const QString kKey = QStringLiteral("\\Software\\Tarnwell\\ZUMAQ");

int FileMode(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return st.st_mode & 0777;
}

} // namespace

class SettingsStoreTest : public FreshSettingsTest {};

TEST_F(SettingsStoreTest, KindsNamesAndOrderSurviveAReopen)
{
    const QString file = Folder() + QStringLiteral("/a/settings.conf");
    struct Case {
        QString name;
        Value value;
    };
    const QList<Case> cases = {
        {QStringLiteral("Text"), Value::fromString(QStringLiteral("日本語 \"quoted\" back\\slash"))},
        {QStringLiteral("Lines"), Value::fromString(QStringLiteral("one\r\ntwo\r\n\ttab\x01"))},
        {QStringLiteral("Empty"), Value::fromString(QString())},
        {QStringLiteral("Big"), Value::fromDWord(0xFF000008u)},
        {QStringLiteral("Zero"), Value::fromDWord(0)},
        {QStringLiteral("Bytes"), Value::fromBinary(QByteArray("\x00\x01\xfe\xff", 4))},
        {QStringLiteral("NoBytes"), Value::fromBinary(QByteArray())},
        {QStringLiteral("name \"with\" = and \\"), Value::fromString(QStringLiteral("x"))},
        {QString(), Value::fromString(QStringLiteral("unnamed"))},
    };
    {
        SettingsStore store(file);
        for (const Case &c : cases)
            ASSERT_TRUE(store.setValue(kKey, c.name, c.value)) << qPrintable(store.lastError());
    }
    SettingsStore again(file);
    QStringList names;
    for (const Case &c : cases) {
        names += c.name;
        const auto v = again.value(kKey, c.name);
        ASSERT_TRUE(v.has_value()) << qPrintable(c.name);
        EXPECT_EQ(*v, c.value) << qPrintable(c.name);
    }
    EXPECT_EQ(again.valueNames(kKey), names);  // order of first writing
    EXPECT_TRUE(again.takeWarnings().isEmpty());
}

TEST_F(SettingsStoreTest, NamesIgnoreCaseAndKeepTheirFirstSpelling)
{
    SettingsStore store(ConfigFile());
    ASSERT_TRUE(store.setValue(kKey, QStringLiteral("TreeSort"), Value::fromDWord(1)));
    ASSERT_TRUE(store.setValue(QStringLiteral("\\software\\TARNWELL\\zumaq"), QStringLiteral("TREESORT"),
                               Value::fromDWord(2)));
    EXPECT_EQ(store.valueNames(kKey), QStringList{QStringLiteral("TreeSort")});
    EXPECT_EQ(store.value(kKey, QStringLiteral("treesort"))->dword, 2u);
    EXPECT_EQ(store.subKeys(QStringLiteral("\\Software")), QStringList{QStringLiteral("Tarnwell")});
}

TEST_F(SettingsStoreTest, SubkeysAreListedSortedAndDeleteTakesTheirChildren)
{
    SettingsStore store(ConfigFile());
    for (const char *k : {"b", "C", "a", "B2"})
        ASSERT_TRUE(store.createKey(kKey + QStringLiteral("\\") + QLatin1String(k)));
    ASSERT_TRUE(store.setValue(kKey + QStringLiteral("\\a\\deep\\deeper"), QStringLiteral("v"),
                               Value::fromDWord(1)));
    EXPECT_EQ(store.subKeys(kKey), (QStringList{"a", "b", "B2", "C"}));

    ASSERT_TRUE(store.deleteKey(kKey + QStringLiteral("\\A")));
    EXPECT_FALSE(store.keyExists(kKey + QStringLiteral("\\a\\deep")));
    EXPECT_EQ(store.subKeys(kKey), (QStringList{"b", "B2", "C"}));
    EXPECT_FALSE(store.deleteKey(kKey + QStringLiteral("\\a")));  // already gone

    SettingsStore again(ConfigFile());
    EXPECT_EQ(again.subKeys(kKey), (QStringList{"b", "B2", "C"}));
}

TEST_F(SettingsStoreTest, KeyNamesWithSpecialCharactersSurvive)
{
    // Database names become key names (object-tree filter per database).
    const QString odd = QStringLiteral("db]%[x\ty 日本");
    SettingsStore store(ConfigFile());
    ASSERT_TRUE(store.setValue(kKey + QStringLiteral("\\OBJECTTREE\\") + odd, QStringLiteral("v"),
                               Value::fromString(QStringLiteral("1"))));
    SettingsStore again(ConfigFile());
    EXPECT_EQ(again.subKeys(kKey + QStringLiteral("\\OBJECTTREE")), QStringList{odd});
    EXPECT_TRUE(again.takeWarnings().isEmpty());
}

TEST_F(SettingsStoreTest, FileIsReadableTextWithPrivateModes)
{
    SettingsStore store(ConfigFile());
    ASSERT_TRUE(store.setValue(kKey, QStringLiteral("DateFormat"), Value::fromString(QStringLiteral("yyyy/MM/dd"))));
    ASSERT_TRUE(store.setValue(kKey, QStringLiteral("SQLBuf"), Value::fromDWord(32)));
    ASSERT_TRUE(store.setValue(kKey + QStringLiteral("\\PERFORM"), QStringLiteral("LastAutoSave"),
                               Value::fromBinary(QByteArray(8, '\0'))));
    const QString text = FileText();
    EXPECT_TRUE(text.contains(QStringLiteral("[\\Software\\Tarnwell\\ZUMAQ]\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\"DateFormat\"=\"yyyy/MM/dd\"\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\"SQLBuf\"=dword:00000020\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\"LastAutoSave\"=hex:00,00,00,00,00,00,00,00\n")));
    EXPECT_EQ(FileMode(ConfigFile()), 0600);
    EXPECT_EQ(FileMode(QFileInfo(ConfigFile()).absolutePath()), 0700);
}

TEST_F(SettingsStoreTest, HandEditedFileIsRead)
{
    QDir().mkpath(QFileInfo(ConfigFile()).absolutePath());
    WriteFile(ConfigFile(), "\xEF\xBB\xBF; edited by hand\r\n"
                            "[\\Software\\Tarnwell\\ZUMAQ]\r\n"
                            "  \"SQLBuf\" = dword:40\r\n"
                            "# comment\n"
                            "\"DateFormat\"=\"dd/MM/yyyy\"\n"
                            "[\\Software\\Tarnwell\\ZUMAQ\\RESERVE]\n"
                            "\"MYWORD\"=\"\"\n");
    SettingsStore store(ConfigFile());
    EXPECT_TRUE(store.takeWarnings().isEmpty());
    EXPECT_EQ(store.value(kKey, QStringLiteral("SQLBuf"))->dword, 0x40u);
    EXPECT_EQ(store.value(kKey, QStringLiteral("DateFormat"))->text, QStringLiteral("dd/MM/yyyy"));
    EXPECT_EQ(store.valueNames(kKey + QStringLiteral("\\RESERVE")), QStringList{QStringLiteral("MYWORD")});
}

TEST_F(SettingsStoreTest, CorruptFileIsKeptAsideAndTheStoreStartsEmpty)
{
    const QList<QByteArray> corrupt = {
        QByteArray("[\\Software\\Tarnwell\\ZUMAQ]\n\"SQLBuf\"=dword:zz\n"),
        QByteArray("\"Orphan\"=\"value before any key\"\n"),
        QByteArray("[\\Software\\Tarnwell\\ZUMAQ\n"),
        QByteArray("[\\Software]\n\"Text\"=\"unterminated\n"),
        QByteArray("[\\Software]\n\"Text\"=\"\xff\xfe\"\n"),  // not UTF-8
        QByteArray("[\\Software]\n\"Bytes\"=hex:0g\n"),
    };
    for (const QByteArray &bytes : corrupt) {
        const QString dir = Folder() + QStringLiteral("/c%1").arg(QRandomGenerator::global()->generate());
        QDir().mkpath(dir);
        const QString file = dir + QStringLiteral("/settings.conf");
        WriteFile(file, bytes);
        SettingsStore store(file);
        const QStringList warnings = store.takeWarnings();
        ASSERT_EQ(warnings.size(), 1) << bytes.constData();
        EXPECT_TRUE(store.subKeys(QString()).isEmpty());
        // The unreadable file is kept, byte for byte, under a new name.
        const QStringList aside = QDir(dir).entryList({QStringLiteral("settings.conf.corrupt-*")});
        ASSERT_EQ(aside.size(), 1);
        QFile kept(dir + QLatin1Char('/') + aside.first());
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), bytes);
        EXPECT_TRUE(warnings.first().contains(aside.first()));
        // The store goes on working.
        EXPECT_TRUE(store.setValue(kKey, QStringLiteral("v"), Value::fromDWord(1)));
        EXPECT_TRUE(SettingsStore(file).value(kKey, QStringLiteral("v")).has_value());
    }
}

TEST_F(SettingsStoreTest, CorruptFileGivesDefaultsAndOneWarningAtLoad)
{
    QDir().mkpath(QFileInfo(ConfigFile()).absolutePath());
    WriteFile(ConfigFile(), "[\\Software\\Tarnwell\\ZUMAQ]\n\"SQLBuf\"=dword:00000005\ngarbage\n");
    Restart();
    const QStringList warnings = LoadSettings();
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_EQ(TkdOption::Global().SQLBuf, 32);
}

TEST_F(SettingsStoreTest, TwoStoresOnOneFileKeepEachOthersValues)
{
    SettingsStore a(ConfigFile());
    SettingsStore b(ConfigFile());
    // b has read the file before a writes: its write must not undo a's.
    EXPECT_FALSE(b.keyExists(kKey));
    ASSERT_TRUE(a.setValue(kKey, QStringLiteral("FromA"), Value::fromDWord(1)));
    ASSERT_TRUE(b.setValue(kKey, QStringLiteral("FromB"), Value::fromDWord(2)));
    b.beginTransaction();
    ASSERT_TRUE(b.setValue(kKey + QStringLiteral("\\EDITOR"), QStringLiteral("FontSize"), Value::fromDWord(12)));
    ASSERT_TRUE(a.setValue(kKey + QStringLiteral("\\EDITOR"), QStringLiteral("Color"), Value::fromDWord(5)));
    ASSERT_TRUE(b.commit());

    for (SettingsStore *s : {&a, &b}) {
        EXPECT_EQ(s->value(kKey, QStringLiteral("FromA"))->dword, 1u);
        EXPECT_EQ(s->value(kKey, QStringLiteral("FromB"))->dword, 2u);
        EXPECT_EQ(s->value(kKey + QStringLiteral("\\EDITOR"), QStringLiteral("FontSize"))->dword, 12u);
        EXPECT_EQ(s->value(kKey + QStringLiteral("\\EDITOR"), QStringLiteral("Color"))->dword, 5u);
    }
}

TEST_F(SettingsStoreTest, TransactionIsOneWriteAndRollbackDropsIt)
{
    SettingsStore store(ConfigFile());
    ASSERT_TRUE(store.setValue(kKey, QStringLiteral("Kept"), Value::fromDWord(1)));
    store.beginTransaction();
    ASSERT_TRUE(store.setValue(kKey, QStringLiteral("Pending"), Value::fromDWord(2)));
    EXPECT_TRUE(store.value(kKey, QStringLiteral("Pending")).has_value());  // visible at once
    EXPECT_FALSE(SettingsStore(ConfigFile()).value(kKey, QStringLiteral("Pending")).has_value());
    store.rollback();
    EXPECT_FALSE(store.value(kKey, QStringLiteral("Pending")).has_value());
    EXPECT_TRUE(store.value(kKey, QStringLiteral("Kept")).has_value());

    store.beginTransaction();
    ASSERT_TRUE(store.deleteKey(kKey));
    ASSERT_TRUE(store.setValue(kKey + QStringLiteral("\\RESERVE"), QStringLiteral("W"), Value::fromString({})));
    ASSERT_TRUE(store.commit());
    SettingsStore again(ConfigFile());
    EXPECT_FALSE(again.value(kKey, QStringLiteral("Kept")).has_value());
    EXPECT_EQ(again.valueNames(kKey + QStringLiteral("\\RESERVE")), QStringList{QStringLiteral("W")});
}

TEST_F(SettingsStoreTest, MachineFileIsReadOnly)
{
    WriteFile(MachineFile(), "[\\SOFTWARE\\ORACLE]\n\"ORACLE_HOME\"=\"/opt/client\"\n");
    SettingsStore machine(MachineFile(), true);
    EXPECT_EQ(machine.value(QStringLiteral("\\SOFTWARE\\ORACLE"), QStringLiteral("oracle_home"))->text,
              QStringLiteral("/opt/client"));
    EXPECT_FALSE(machine.setValue(QStringLiteral("\\SOFTWARE"), QStringLiteral("x"), Value::fromDWord(1)));
    EXPECT_FALSE(machine.createKey(QStringLiteral("\\NEW")));
    WriteFile(MachineFile(), "not a settings file\n");
    SettingsStore broken(MachineFile(), true);
    EXPECT_EQ(broken.takeWarnings().size(), 1);
    EXPECT_TRUE(QFileInfo::exists(MachineFile()));  // never renamed
}

// ---------------------------------------------------------------------------------------
// Writers in other processes. The test program runs itself with a filter that selects
// SettingsStoreChild.Writer and the environment variables below.

TEST(SettingsStoreChild, Writer)
{
    const QString file = qEnvironmentVariable("VANTOR_STORE_CHILD_FILE");
    if (file.isEmpty())
        GTEST_SKIP() << "runs only as a child of the tests below";
    const QString mode = qEnvironmentVariable("VANTOR_STORE_CHILD_MODE");
    const QString tag = qEnvironmentVariable("VANTOR_STORE_CHILD_TAG");
    SettingsStore store(file);
    if (mode == QLatin1String("batches")) {
        // Endless: each round rewrites 200 values with the round number in one write.
        for (quint32 round = 1;; ++round) {
            store.beginTransaction();
            for (int i = 0; i < 200; ++i)
                store.setValue(kKey, QStringLiteral("v%1").arg(i), Value::fromDWord(round));
            ASSERT_TRUE(store.commit()) << store.lastError().toStdString();
        }
    }
    for (int i = 0; i < 60; ++i)
        ASSERT_TRUE(store.setValue(kKey, tag + QString::number(i), Value::fromDWord(i)));
}

namespace {

QProcess *StartChild(const QString &file, const QString &mode, const QString &tag)
{
    auto *p = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VANTOR_STORE_CHILD_FILE"), file);
    env.insert(QStringLiteral("VANTOR_STORE_CHILD_MODE"), mode);
    env.insert(QStringLiteral("VANTOR_STORE_CHILD_TAG"), tag);
    p->setProcessEnvironment(env);
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start(QCoreApplication::applicationFilePath(),
             {QStringLiteral("--gtest_filter=SettingsStoreChild.Writer")});
    return p;
}

} // namespace

TEST_F(SettingsStoreTest, WriterKilledMidSaveLeavesAWholeFile)
{
    const QString file = ConfigFile();
    for (int attempt = 0; attempt < 6; ++attempt) {
        std::unique_ptr<QProcess> child(StartChild(file, QStringLiteral("batches"), QString()));
        ASSERT_TRUE(child->waitForStarted());
        // Let it write for a while, then kill it without warning.
        QElapsedTimer t;
        t.start();
        while (!QFileInfo::exists(file) && t.elapsed() < 10000)
            QThread::msleep(5);
        QThread::msleep(20 + QRandomGenerator::global()->bounded(80));
        child->kill();
        child->waitForFinished();

        SettingsStore store(file);
        ASSERT_TRUE(store.takeWarnings().isEmpty()) << "attempt " << attempt;
        // The next write clears what the killed writer left behind.
        ASSERT_TRUE(store.setValue(kKey + QStringLiteral("\\After"), QStringLiteral("x"), Value::fromDWord(1)));
        EXPECT_TRUE(QDir(QFileInfo(file).absolutePath())
                        .entryList({QStringLiteral("settings.conf.tmp-*")}, QDir::Files)
                        .isEmpty());
        const QStringList names = store.valueNames(kKey);
        ASSERT_EQ(names.size(), 200);
        const quint32 round = store.value(kKey, QStringLiteral("v0"))->dword;
        for (int i = 0; i < 200; ++i)
            ASSERT_EQ(store.value(kKey, QStringLiteral("v%1").arg(i))->dword, round) << i;
    }
}

TEST_F(SettingsStoreTest, TwoProcessesWritingAtOnceLoseNothing)
{
    const QString file = ConfigFile();
    std::unique_ptr<QProcess> a(StartChild(file, QStringLiteral("values"), QStringLiteral("a")));
    std::unique_ptr<QProcess> b(StartChild(file, QStringLiteral("values"), QStringLiteral("b")));
    ASSERT_TRUE(a->waitForFinished(60000));
    ASSERT_TRUE(b->waitForFinished(60000));
    ASSERT_EQ(a->exitCode(), 0);
    ASSERT_EQ(b->exitCode(), 0);
    SettingsStore store(file);
    EXPECT_EQ(store.valueNames(kKey).size(), 120);
    for (int i = 0; i < 60; ++i) {
        EXPECT_TRUE(store.value(kKey, QStringLiteral("a%1").arg(i)).has_value()) << i;
        EXPECT_TRUE(store.value(kKey, QStringLiteral("b%1").arg(i)).has_value()) << i;
    }
}
