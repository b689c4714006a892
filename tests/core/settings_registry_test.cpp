// TkdRegistry: keys opened by path, typed reads that fall back to their defaults, writes.
#include "settings_fixture.h"
#include "support/qstring_printer.h"

#include <cmath>

using settings::SettingsStore;
using settings::Value;

class RegistryTest : public FreshSettingsTest {
protected:
    void SetUp() override
    {
        FreshSettingsTest::SetUp();
        FStore = std::make_unique<SettingsStore>(ConfigFile());
        const QString k = QStringLiteral("\\Software\\Test");
        FStore->setValue(k, QStringLiteral("Dword"), Value::fromDWord(0xFFFFFFFEu));
        FStore->setValue(k, QStringLiteral("Text"), Value::fromString(QStringLiteral("abc")));
        FStore->setValue(k, QStringLiteral("EmptyText"), Value::fromString(QString()));
        FStore->setValue(k, QStringLiteral("Bytes4"), Value::fromBinary(QByteArray(4, '\1')));
        FStore->setValue(k, QStringLiteral("NaN"), Value::fromBinary(QByteArray("\0\0\0\0\0\0\xf8\x7f", 8)));
    }
    std::unique_ptr<SettingsStore> FStore;
};

TEST_F(RegistryTest, ReadersFallBackToTheirDefaultOnAnyError)
{
    TkdRegistry reg(*FStore);
    // No current key: every reader gives its default.
    EXPECT_EQ(reg.GetInteger(QStringLiteral("Dword"), 7), 7);
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\Software\\Test"), false));

    const QDateTime defDt(QDate(2001, 2, 3), QTime(4, 5, 6));
    struct Case {
        const char *Name;
        bool Bool;
        int Int;
        QString Str;
        double Float;
    };
    // Stored: Dword (dword), Text/EmptyText (string), Bytes4 (binary, 4 bytes), NaN (8 bytes).
    const Case cases[] = {
        {"Dword", true, -2, QStringLiteral("def"), 1.5},
        {"Text", false, 9, QStringLiteral("abc"), 1.5},
        {"EmptyText", false, 9, QStringLiteral("def"), 1.5},
        {"Bytes4", false, 9, QStringLiteral("def"), 1.5},
        {"NaN", false, 9, QStringLiteral("def"), NAN},
        {"Missing", false, 9, QStringLiteral("def"), 1.5},
    };
    for (const Case &c : cases) {
        const QString n = QLatin1String(c.Name);
        EXPECT_EQ(reg.GetBool(n, false), c.Bool) << c.Name;
        EXPECT_EQ(reg.GetInteger(n, 9), c.Int) << c.Name;
        EXPECT_EQ(reg.GetString(n, QStringLiteral("def")), c.Str) << c.Name;
        if (std::isnan(c.Float)) {
            EXPECT_TRUE(std::isnan(reg.GetFloat(n, 1.5))) << c.Name;
        } else {
            EXPECT_EQ(reg.GetFloat(n, 1.5), c.Float) << c.Name;
        }
        EXPECT_EQ(reg.GetDateTime(n, defDt), defDt) << c.Name;
        EXPECT_EQ(reg.GetDate(n, defDt.date()), defDt.date()) << c.Name;
        EXPECT_EQ(reg.GetTime(n, defDt.time()), defDt.time()) << c.Name;
        if (n != QLatin1String("NaN")) {  // any 8 bytes are a currency value
            EXPECT_EQ(reg.GetCurrency(n, 2.5), 2.5) << c.Name;
        }
    }
    EXPECT_THROW(reg.ReadInteger(QStringLiteral("Text")), ERegistryException);
    EXPECT_THROW(reg.ReadString(QStringLiteral("Missing")), ERegistryException);
}

TEST_F(RegistryTest, WrittenValuesReadBackWithTheirKinds)
{
    TkdRegistry reg(*FStore);
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\Software\\Test\\New"), true));
    const QDateTime dt(QDate(2024, 2, 29), QTime(23, 59, 58, 500));
    reg.WriteBool(QStringLiteral("B"), true);
    reg.WriteInteger(QStringLiteral("I"), -123456);
    reg.WriteString(QStringLiteral("S"), QStringLiteral("文字列"));
    reg.WriteFloat(QStringLiteral("F"), 3.25);
    reg.WriteCurrency(QStringLiteral("C"), 1234.5678);
    reg.WriteDateTime(QStringLiteral("DT"), dt);
    reg.WriteDate(QStringLiteral("D"), dt.date());
    reg.WriteTime(QStringLiteral("T"), dt.time());
    reg.CloseKey();

    TkdRegistry other(*FStore);
    ASSERT_TRUE(other.OpenKey(QStringLiteral("\\Software"), false));
    ASSERT_TRUE(other.OpenKey(QStringLiteral("Test\\New"), false));  // relative to the current key
    EXPECT_EQ(other.CurrentPath(), QStringLiteral("\\Software\\Test\\New"));
    EXPECT_TRUE(other.GetBool(QStringLiteral("B"), false));
    EXPECT_EQ(other.GetInteger(QStringLiteral("I"), 0), -123456);
    EXPECT_EQ(other.GetString(QStringLiteral("S"), QString()), QStringLiteral("文字列"));
    EXPECT_EQ(other.GetFloat(QStringLiteral("F"), 0), 3.25);
    EXPECT_EQ(other.GetCurrency(QStringLiteral("C"), 0), 1234.5678);
    EXPECT_EQ(other.GetDateTime(QStringLiteral("DT"), {}), dt);
    EXPECT_EQ(other.GetDate(QStringLiteral("D"), {}), dt.date());
    EXPECT_EQ(other.GetTime(QStringLiteral("T"), {}), dt.time());
    EXPECT_EQ(other.GetValueNames(), (QStringList{"B", "I", "S", "F", "C", "DT", "D", "T"}));
    EXPECT_EQ(FStore->value(QStringLiteral("\\Software\\Test\\New"), QStringLiteral("B"))->dword, 1u);
    EXPECT_EQ(FStore->value(QStringLiteral("\\Software\\Test\\New"), QStringLiteral("DT"))->binary.size(), 8);
}

TEST_F(RegistryTest, KeysOpenCreateAndDelete)
{
    TkdRegistry reg(*FStore);
    EXPECT_FALSE(reg.OpenKey(QStringLiteral("\\Software\\Nope"), false));
    EXPECT_FALSE(reg.HasCurrentKey());
    EXPECT_FALSE(FStore->keyExists(QStringLiteral("\\Software\\Nope")));
    EXPECT_THROW(reg.WriteInteger(QStringLiteral("x"), 1), ERegistryException);

    ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\Software\\A\\B\\C"), true));
    reg.WriteInteger(QStringLiteral("x"), 1);
    reg.CloseKey();
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\Software\\A"), false));
    EXPECT_EQ(reg.GetKeyNames(), QStringList{QStringLiteral("B")});
    EXPECT_TRUE(reg.DeleteKey(QStringLiteral("B")));
    EXPECT_FALSE(reg.KeyExists(QStringLiteral("\\Software\\A\\B\\C")));
    EXPECT_TRUE(reg.KeyExists(QStringLiteral("\\Software\\A")));
    EXPECT_FALSE(reg.DeleteKey(QStringLiteral("B")));
}

TEST_F(RegistryTest, MachineRootIsReadOnly)
{
    WriteFile(MachineFile(), "[\\SOFTWARE\\ORACLE]\n\"ORACLE_HOME\"=\"/opt/o\"\n");
    Restart();
    TkdRegistry machine(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(machine.OpenKey(QStringLiteral("\\SOFTWARE\\NEW"), true));
    ASSERT_TRUE(machine.OpenKey(QStringLiteral("\\SOFTWARE\\ORACLE"), true));
    EXPECT_EQ(machine.GetString(QStringLiteral("ORACLE_HOME"), QString()), QStringLiteral("/opt/o"));
    EXPECT_THROW(machine.WriteString(QStringLiteral("ORACLE_HOME"), QStringLiteral("x")), ERegistryException);
    EXPECT_FALSE(machine.DeleteKey(QStringLiteral("\\SOFTWARE\\ORACLE")));
    // Without a machine file the client home is empty.
    ASSERT_TRUE(QFile::remove(MachineFile()));
    Restart();
    ReadClientHomeFolder();
    EXPECT_EQ(ClientHomeFolder(), QString());
}
