#pragma once
// Access to the settings store with typed readers that never fail, the one shared
// instance, and the loading and saving of every option group.
//
// TkdRegistry works like a registry object: a root (the user's settings or the read-only
// machine settings), one current key at a time opened by path ("\Software\Tarnwell\ZUMAQ"
// absolute, "EDITOR" relative to the current key), typed reads and writes of the current
// key's values. The Read* and Write* operations throw ERegistryException on any error;
// the Get* readers return their default instead (a missing value, a value of another
// kind or size, no current key; GetString also when the stored text is empty).
#include "platform/settingsstore.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTime>
#include <stdexcept>

enum TRootKey { HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE };

class ERegistryException : public std::runtime_error {
public:
    explicit ERegistryException(const QString &message)
        : std::runtime_error(message.toStdString()), FMessage(message) {}
    const QString &Message() const { return FMessage; }

private:
    QString FMessage;
};

class TkdRegistry {
public:
    // On the program's store of root (see UserSettingsStore / MachineSettingsStore).
    explicit TkdRegistry(TRootKey root = HKEY_CURRENT_USER);
    // On a store of the caller's (tests, tools).
    explicit TkdRegistry(settings::SettingsStore &store);

    TRootKey RootKey() const { return FRootKey; }
    void SetRootKey(TRootKey root);
    settings::SettingsStore &Store() const { return *FStore; }

    // The current key, "" at the root; HasCurrentKey() is false after CloseKey or a failed
    // OpenKey.
    QString CurrentPath() const { return FCurrentPath; }
    bool HasCurrentKey() const { return FHasCurrentKey; }

    bool OpenKey(const QString &Key, bool CanCreate);
    bool OpenKeyReadOnly(const QString &Key);
    void CloseKey();
    bool KeyExists(const QString &Key) const;
    bool DeleteKey(const QString &Key);  // with every subkey and value
    QStringList GetKeyNames() const;
    QStringList GetValueNames() const;
    bool ValueExists(const QString &Name) const;
    bool DeleteValue(const QString &Name);

    // Writes reach the file at once; between BeginUpdate and EndUpdate they are collected
    // and reach it together, in one atomic write. EndUpdate throws when that write fails.
    void BeginUpdate();
    void EndUpdate();
    void CancelUpdate();

    bool ReadBool(const QString &Name) const;
    int ReadInteger(const QString &Name) const;
    QString ReadString(const QString &Name) const;
    double ReadFloat(const QString &Name) const;
    double ReadCurrency(const QString &Name) const;
    QDate ReadDate(const QString &Name) const;
    QTime ReadTime(const QString &Name) const;
    QDateTime ReadDateTime(const QString &Name) const;
    QByteArray ReadBinaryData(const QString &Name) const;

    void WriteBool(const QString &Name, bool Value);
    void WriteInteger(const QString &Name, int Value);
    void WriteString(const QString &Name, const QString &Value);
    void WriteFloat(const QString &Name, double Value);
    void WriteCurrency(const QString &Name, double Value);
    void WriteDate(const QString &Name, const QDate &Value);
    void WriteTime(const QString &Name, const QTime &Value);
    void WriteDateTime(const QString &Name, const QDateTime &Value);
    void WriteBinaryData(const QString &Name, const QByteArray &Value);

    bool GetBool(const QString &Name, bool DefaultValue) const;
    int GetInteger(const QString &Name, int DefaultValue) const;
    QString GetString(const QString &Name, const QString &DefaultValue) const;
    double GetFloat(const QString &Name, double DefaultValue) const;
    double GetCurrency(const QString &Name, double DefaultValue) const;
    QDate GetDate(const QString &Name, const QDate &DefaultValue) const;
    QTime GetTime(const QString &Name, const QTime &DefaultValue) const;
    QDateTime GetDateTime(const QString &Name, const QDateTime &DefaultValue) const;

private:
    QString Resolve(const QString &Key) const;
    settings::Value ReadValue(const QString &Name, settings::ValueType type) const;
    void WriteValue(const QString &Name, const settings::Value &v);

    settings::SettingsStore *FStore;
    TRootKey FRootKey;
    QString FCurrentPath;
    bool FHasCurrentKey = false;
    bool FReadOnly = false;
};

// The program's stores: the user's file (SettingsStore::userFilePath()) and the
// machine-wide read-only file (SettingsStore::machineFilePath(), absent by default).
// Opened by InitializeSharedUnit; tests re-run it after pointing VANTOR_CONFIG_DIR
// elsewhere.
settings::SettingsStore &UserSettingsStore();
settings::SettingsStore &MachineSettingsStore();
void OpenSettingsStores();
void CloseSettingsStores();

// The one TkdRegistry of the program on the user's settings.
TkdRegistry &SharedRegistry();

// The main key of the program's settings.
inline constexpr const char16_t *kMainKey = u"\\Software\\Tarnwell\\ZUMAQ";

// Reads the client home folder from the machine settings ("\SOFTWARE\ORACLE", value
// "ORACLE_HOME") into ClientHomeFolder(); empty when missing. The main window calls it
// before LoadSettings, whose trace defaults use it.
void ReadClientHomeFolder();

// Loads every option group, the action shortcuts and the keyword list (in this order:
// main key, PRINTOPTION, SHORTCUT, TEXTOUT, EXPORT, IMPORT, EXPORT_DP, IMPORT_DP, LOADER,
// STATSPACK, TRACE, COMP, PERFORM, LOCK, FORMAT, DBTEST, RESERVE, EDITOR). Every key is
// created when missing. Never fails because of the file's contents.
//
// Returns the warnings to show the user (for example that an unreadable settings file
// was kept aside): the main window passes each to the message-box routine (warning icon,
// OK). The texts are complete Japanese messages.
QStringList LoadSettings();

// Writes every group back. A group that cannot be written does not stop the others;
// the result then holds one warning naming the groups that were not saved, for the main
// window to show like the warnings of LoadSettings.
QStringList SaveSettings();
