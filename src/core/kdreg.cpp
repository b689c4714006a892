#include "core/kdreg.h"

#include "core/kdmainservices.h"
#include "core/kdreserve.h"
#include "core/kdshortcut.h"
#include "core/kdsub_options.h"
#include "core/kdsub_start.h"

#include <QtEndian>
#include <cmath>
#include <cstring>
#include <memory>

using settings::SettingsStore;
using settings::Value;
using settings::ValueType;

// ---------------------------------------------------------------------------------------
// The program's stores

namespace {

struct TStores {
    std::unique_ptr<SettingsStore> User;
    std::unique_ptr<SettingsStore> Machine;
    std::unique_ptr<TkdRegistry> Shared;
};

TStores &Stores()
{
    static TStores stores;
    return stores;
}

QByteArray DoubleBytes(double v)
{
    QByteArray b(8, '\0');
    quint64 bits;
    std::memcpy(&bits, &v, 8);
    qToLittleEndian(bits, b.data());
    return b;
}

double BytesDouble(const QByteArray &b)
{
    const quint64 bits = qFromLittleEndian<quint64>(b.constData());
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}

} // namespace

void OpenSettingsStores()
{
    TStores &s = Stores();
    s.Shared.reset();
    s.User = std::make_unique<SettingsStore>(SettingsStore::userFilePath());
    s.Machine = std::make_unique<SettingsStore>(SettingsStore::machineFilePath(), true);
    s.Shared = std::make_unique<TkdRegistry>(HKEY_CURRENT_USER);
}

void CloseSettingsStores()
{
    TStores &s = Stores();
    s.Shared.reset();
    s.User.reset();
    s.Machine.reset();
}

SettingsStore &UserSettingsStore()
{
    if (!Stores().User)
        Stores().User = std::make_unique<SettingsStore>(SettingsStore::userFilePath());
    return *Stores().User;
}

SettingsStore &MachineSettingsStore()
{
    if (!Stores().Machine)
        Stores().Machine = std::make_unique<SettingsStore>(SettingsStore::machineFilePath(), true);
    return *Stores().Machine;
}

TkdRegistry &SharedRegistry()
{
    if (!Stores().Shared)
        Stores().Shared = std::make_unique<TkdRegistry>(HKEY_CURRENT_USER);
    return *Stores().Shared;
}

// ---------------------------------------------------------------------------------------
// TkdRegistry

TkdRegistry::TkdRegistry(TRootKey root) : FStore(nullptr), FRootKey(root) { SetRootKey(root); }

TkdRegistry::TkdRegistry(SettingsStore &store)
    : FStore(&store), FRootKey(HKEY_CURRENT_USER), FReadOnly(store.isReadOnly())
{
}

void TkdRegistry::SetRootKey(TRootKey root)
{
    FRootKey = root;
    FStore = root == HKEY_LOCAL_MACHINE ? &MachineSettingsStore() : &UserSettingsStore();
    FReadOnly = FStore->isReadOnly();
    CloseKey();
}

QString TkdRegistry::Resolve(const QString &Key) const
{
    QStringList segs;
    if (!Key.startsWith(QLatin1Char('\\')) && FHasCurrentKey)
        segs = settings::splitKeyPath(FCurrentPath);
    segs += settings::splitKeyPath(Key);
    return segs.isEmpty() ? QString() : QLatin1Char('\\') + segs.join(QLatin1Char('\\'));
}

bool TkdRegistry::OpenKey(const QString &Key, bool CanCreate)
{
    const QString path = Resolve(Key);
    bool ok = FStore->keyExists(path);
    if (!ok && CanCreate && !FReadOnly)
        ok = FStore->createKey(path);
    FHasCurrentKey = ok;
    FCurrentPath = ok ? path : QString();
    return ok;
}

bool TkdRegistry::OpenKeyReadOnly(const QString &Key) { return OpenKey(Key, false); }

void TkdRegistry::CloseKey()
{
    FHasCurrentKey = false;
    FCurrentPath.clear();
}

bool TkdRegistry::KeyExists(const QString &Key) const { return FStore->keyExists(Resolve(Key)); }

bool TkdRegistry::DeleteKey(const QString &Key)
{
    if (FReadOnly)
        return false;
    const QString path = Resolve(Key);
    if (path.isEmpty())
        return false;
    const bool ok = FStore->deleteKey(path);
    if (ok && FHasCurrentKey
        && (FCurrentPath.compare(path, Qt::CaseInsensitive) == 0
            || FCurrentPath.startsWith(path + QLatin1Char('\\'), Qt::CaseInsensitive)))
        CloseKey();
    return ok;
}

QStringList TkdRegistry::GetKeyNames() const
{
    return FHasCurrentKey ? FStore->subKeys(FCurrentPath) : QStringList();
}

QStringList TkdRegistry::GetValueNames() const
{
    return FHasCurrentKey ? FStore->valueNames(FCurrentPath) : QStringList();
}

bool TkdRegistry::ValueExists(const QString &Name) const
{
    return FHasCurrentKey && FStore->value(FCurrentPath, Name).has_value();
}

bool TkdRegistry::DeleteValue(const QString &Name)
{
    return FHasCurrentKey && !FReadOnly && FStore->deleteValue(FCurrentPath, Name);
}

void TkdRegistry::BeginUpdate() { FStore->beginTransaction(); }

void TkdRegistry::EndUpdate()
{
    if (!FStore->commit())
        throw ERegistryException(FStore->lastError());
}

void TkdRegistry::CancelUpdate() { FStore->rollback(); }

Value TkdRegistry::ReadValue(const QString &Name, ValueType type) const
{
    if (!FHasCurrentKey)
        throw ERegistryException(QStringLiteral("no current key to read %1").arg(Name));
    const std::optional<Value> v = FStore->value(FCurrentPath, Name);
    if (!v)
        throw ERegistryException(QStringLiteral("value %1 is missing").arg(Name));
    if (v->type != type)
        throw ERegistryException(QStringLiteral("value %1 is of another kind").arg(Name));
    return *v;
}

void TkdRegistry::WriteValue(const QString &Name, const Value &v)
{
    if (!FHasCurrentKey)
        throw ERegistryException(QStringLiteral("no current key to write %1").arg(Name));
    if (FReadOnly || !FStore->setValue(FCurrentPath, Name, v))
        throw ERegistryException(QStringLiteral("cannot write %1: %2").arg(Name, FStore->lastError()));
}

bool TkdRegistry::ReadBool(const QString &Name) const { return ReadInteger(Name) != 0; }

int TkdRegistry::ReadInteger(const QString &Name) const
{
    return static_cast<int>(ReadValue(Name, ValueType::DWord).dword);
}

QString TkdRegistry::ReadString(const QString &Name) const
{
    return ReadValue(Name, ValueType::String).text;
}

QByteArray TkdRegistry::ReadBinaryData(const QString &Name) const
{
    return ReadValue(Name, ValueType::Binary).binary;
}

double TkdRegistry::ReadFloat(const QString &Name) const
{
    const QByteArray b = ReadBinaryData(Name);
    if (b.size() != 8)
        throw ERegistryException(QStringLiteral("value %1 is not 8 bytes").arg(Name));
    return BytesDouble(b);
}

double TkdRegistry::ReadCurrency(const QString &Name) const
{
    const QByteArray b = ReadBinaryData(Name);
    if (b.size() != 8)
        throw ERegistryException(QStringLiteral("value %1 is not 8 bytes").arg(Name));
    return static_cast<double>(qFromLittleEndian<qint64>(b.constData())) / 10000.0;
}

QDateTime TkdRegistry::ReadDateTime(const QString &Name) const
{
    const double days = ReadFloat(Name);
    if (!std::isfinite(days) || std::fabs(days) > 2958466.0)  // beyond 9999-12-31
        throw ERegistryException(QStringLiteral("value %1 is not a date").arg(Name));
    return DaysToDateTime(days);
}

QDate TkdRegistry::ReadDate(const QString &Name) const { return ReadDateTime(Name).date(); }
QTime TkdRegistry::ReadTime(const QString &Name) const { return ReadDateTime(Name).time(); }

void TkdRegistry::WriteBool(const QString &Name, bool Value)
{
    WriteValue(Name, Value::fromDWord(Value ? 1 : 0));
}

void TkdRegistry::WriteInteger(const QString &Name, int Value)
{
    WriteValue(Name, Value::fromDWord(static_cast<quint32>(Value)));
}

void TkdRegistry::WriteString(const QString &Name, const QString &Value)
{
    WriteValue(Name, Value::fromString(Value));
}

void TkdRegistry::WriteBinaryData(const QString &Name, const QByteArray &Value)
{
    WriteValue(Name, Value::fromBinary(Value));
}

void TkdRegistry::WriteFloat(const QString &Name, double Value)
{
    WriteBinaryData(Name, DoubleBytes(Value));
}

void TkdRegistry::WriteCurrency(const QString &Name, double Value)
{
    QByteArray b(8, '\0');
    qToLittleEndian(static_cast<qint64>(std::llround(Value * 10000.0)), b.data());
    WriteBinaryData(Name, b);
}

void TkdRegistry::WriteDateTime(const QString &Name, const QDateTime &Value)
{
    WriteFloat(Name, DateTimeToDays(Value));
}

void TkdRegistry::WriteDate(const QString &Name, const QDate &Value)
{
    WriteDateTime(Name, QDateTime(Value, QTime(0, 0)));
}

void TkdRegistry::WriteTime(const QString &Name, const QTime &Value)
{
    WriteFloat(Name, Value.msecsSinceStartOfDay() / 86400000.0);
}

// The readers that never fail: any error of the reader gives the default.
namespace {
template <class T, class Read>
T OrDefault(Read read, const T &def)
{
    try {
        return read();
    } catch (const ERegistryException &) {
        return def;
    }
}
} // namespace

bool TkdRegistry::GetBool(const QString &Name, bool DefaultValue) const
{
    return OrDefault([&] { return ReadBool(Name); }, DefaultValue);
}

int TkdRegistry::GetInteger(const QString &Name, int DefaultValue) const
{
    return OrDefault([&] { return ReadInteger(Name); }, DefaultValue);
}

double TkdRegistry::GetFloat(const QString &Name, double DefaultValue) const
{
    return OrDefault([&] { return ReadFloat(Name); }, DefaultValue);
}

double TkdRegistry::GetCurrency(const QString &Name, double DefaultValue) const
{
    return OrDefault([&] { return ReadCurrency(Name); }, DefaultValue);
}

QDate TkdRegistry::GetDate(const QString &Name, const QDate &DefaultValue) const
{
    return OrDefault([&] { return ReadDate(Name); }, DefaultValue);
}

QTime TkdRegistry::GetTime(const QString &Name, const QTime &DefaultValue) const
{
    return OrDefault([&] { return ReadTime(Name); }, DefaultValue);
}

QDateTime TkdRegistry::GetDateTime(const QString &Name, const QDateTime &DefaultValue) const
{
    return OrDefault([&] { return ReadDateTime(Name); }, DefaultValue);
}

// An empty stored text counts as missing.
QString TkdRegistry::GetString(const QString &Name, const QString &DefaultValue) const
{
    const QString s = OrDefault([&] { return ReadString(Name); }, QString());
    return s.isEmpty() ? DefaultValue : s;
}

// ---------------------------------------------------------------------------------------
// Loading and saving

void ReadClientHomeFolder()
{
    TkdRegistry machine(HKEY_LOCAL_MACHINE);
    ClientHomeFolder().clear();
    if (machine.OpenKeyReadOnly(QStringLiteral("\\SOFTWARE\\ORACLE")))
        ClientHomeFolder() = machine.GetString(QStringLiteral("ORACLE_HOME"), QString());
    machine.CloseKey();
}

namespace {

QString GroupKey(const char *sub)
{
    const QString main = QString::fromUtf16(kMainKey);
    return *sub ? main + QLatin1Char('\\') + QLatin1String(sub) : main;
}

std::function<QAction *(const QString &)> ActionLookup()
{
    return [](const QString &name) -> QAction * {
        TkdMainServices *services = MainServices();
        return services ? services->FindAction(name) : nullptr;
    };
}

// One group of settings: its key below the main key, and what loading and saving do on
// that key once it is the current key.
struct TSettingsGroup {
    const char *Key;
    void (*Load)(TkdRegistry &);
    void (*Save)(TkdRegistry &);
};

template <class R>
constexpr TSettingsGroup RecordGroup()
{
    return {OptionKey<R>(), [](TkdRegistry &reg) { LoadOptionRecord(reg, R::Global()); },
            [](TkdRegistry &reg) { SaveOptionRecord(reg, R::Global()); }};
}

void LoadReserve(TkdRegistry &reg) { KeywordList() = MergeKeywordList(reg.GetValueNames()); }

// The keyword list replaces the whole key: delete it and write it again, in the one write
// of its group.
void SaveReserve(TkdRegistry &reg)
{
    const QString key = GroupKey("RESERVE");
    reg.CloseKey();
    reg.DeleteKey(key);
    if (!reg.OpenKey(key, true))
        throw ERegistryException(reg.Store().lastError());
    for (const QString &word : std::as_const(KeywordList()))
        reg.WriteString(word, QString());
}

void SaveEditor(TkdRegistry &reg)
{
    if (TkdMainServices *services = MainServices())
        services->CollectEditorSettings(TkdEditorSettings::Global());
    SaveOptionRecord(reg, TkdEditorSettings::Global());
}

// The groups in the order of loading. Saving takes the same order except that the
// keyword list comes last, after the editor settings.
std::span<const TSettingsGroup> SettingsGroups()
{
    static const TSettingsGroup groups[] = {
        RecordGroup<TkdOption>(),
        RecordGroup<TkdPrintOption>(),
        {"SHORTCUT", [](TkdRegistry &reg) { LoadShortcuts(reg, ActionLookup()); },
         [](TkdRegistry &reg) { SaveShortcuts(reg, ActionLookup()); }},
        RecordGroup<TScriptOption>(),
        RecordGroup<TExpOption>(),
        RecordGroup<TImpOption>(),
        RecordGroup<TExpdpOption>(),
        RecordGroup<TImpdpOption>(),
        RecordGroup<TLoadOption>(),
        RecordGroup<TStatsOption>(),
        RecordGroup<TTrcOption>(),
        RecordGroup<TCompOption>(),
        RecordGroup<TPerformOption>(),
        RecordGroup<TLockOption>(),
        RecordGroup<TFormatOption>(),
        RecordGroup<TDBTestOption>(),
        {"RESERVE", LoadReserve, SaveReserve},
        {"EDITOR", [](TkdRegistry &reg) { LoadOptionRecord(reg, TkdEditorSettings::Global()); }, SaveEditor},
    };
    return groups;
}

} // namespace

QStringList LoadSettings()
{
    TkdRegistry &reg = SharedRegistry();
    // Creating the missing keys of a first start is one write.
    reg.BeginUpdate();
    for (const TSettingsGroup &g : SettingsGroups()) {
        // A key that cannot be opened leaves no current key, so its group reads defaults.
        reg.OpenKey(GroupKey(g.Key), true);
        g.Load(reg);
        reg.CloseKey();
    }
    try {
        reg.EndUpdate();
    } catch (const ERegistryException &) {
        // The keys are created again at exit, where a failure is reported.
    }
    if (TkdMainServices *services = MainServices())
        services->EditorSettingsLoaded(TkdEditorSettings::Global());
    return UserSettingsStore().takeWarnings() + MachineSettingsStore().takeWarnings();
}

QStringList SaveSettings()
{
    TkdRegistry &reg = SharedRegistry();
    QStringList failed;
    QString reason;
    // Each group is one atomic write; a group that fails is noted and the save goes on.
    auto save = [&](const TSettingsGroup &g) {
        try {
            reg.BeginUpdate();
            if (!reg.OpenKey(GroupKey(g.Key), true))
                throw ERegistryException(reg.Store().lastError());
            g.Save(reg);
            reg.CloseKey();
            reg.EndUpdate();
        } catch (const ERegistryException &e) {
            reg.CancelUpdate();
            reg.CloseKey();
            failed += *g.Key ? QString::fromLatin1(g.Key) : QString::fromUtf16(kMainKey);
            if (reason.isEmpty())
                reason = e.Message();
        }
    };
    const TSettingsGroup *reserve = nullptr;
    for (const TSettingsGroup &g : SettingsGroups()) {
        if (qstrcmp(g.Key, "RESERVE") == 0)
            reserve = &g;
        else
            save(g);
    }
    if (reserve)
        save(*reserve);

    QStringList warnings = UserSettingsStore().takeWarnings();
    if (!failed.isEmpty())
        warnings += QStringLiteral("次の設定を保存できませんでした。\n%1\n\n%2")
                        .arg(failed.join(QStringLiteral(", ")), reason);
    return warnings;
}
