#pragma once
// A typed, hierarchical settings store kept in one human-readable file.
//
// Keys form a tree addressed by paths such as "\Software\Tarnwell\ZUMAQ\EDITOR" (segments
// separated by backslashes; a leading backslash is optional). Each key holds named values
// of three kinds: string, dword (32 bits) and binary. Key and value names are compared
// without regard to case and keep the spelling they were first written with. Subkeys are
// listed sorted without regard to case; values in the order they were first written.
//
// The file: UTF-8 text, one "[\path\of\key]" header per key followed by its values, one per
// line: "name"="text", "name"=dword:0000002a or "name"=hex:01,02. In key headers the
// characters \ ] % and control characters of a segment are written as %XX; in quoted
// names and texts \\ \" \r \n \t and \uXXXX are escapes. Lines starting with ; or # are
// comments.
//
// Durability and sharing: every write (or every transaction) re-reads the file under an
// exclusive lock (flock on "<file>.lock"), applies its changes to what it read, writes a
// temporary file in the same folder, flushes it and renames it over the file. A crash
// therefore leaves either the old or the new file, and two programs writing the same
// file keep each other's values. Reads see the file's newest state: the store reloads when
// the file changed on disk.
//
// A file that cannot be parsed is renamed to "<file>.corrupt-<time>" and the store starts
// empty; takeWarnings() then returns one warning for the program to show.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace settings {

enum class ValueType { String, DWord, Binary };

struct Value {
    ValueType type = ValueType::String;
    QString text;       // String
    quint32 dword = 0;  // DWord
    QByteArray binary;  // Binary

    static Value fromString(const QString &s) { return {ValueType::String, s, 0, {}}; }
    static Value fromDWord(quint32 d) { return {ValueType::DWord, {}, d, {}}; }
    static Value fromBinary(const QByteArray &b) { return {ValueType::Binary, {}, 0, b}; }
    bool operator==(const Value &) const = default;
};

class SettingsStore {
public:
    // A store on filePath. A read-only store never writes, locks or renames anything.
    explicit SettingsStore(const QString &filePath, bool readOnly = false);
    ~SettingsStore();
    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    // The per-user folder: $VANTOR_CONFIG_DIR, else $XDG_CONFIG_HOME/vantor
    // (~/.config/vantor). Created with mode 0700 by the first write.
    static QString userFolder();
    // userFolder() + "/settings.conf".
    static QString userFilePath();
    // The machine-wide read-only file: $VANTOR_MACHINE_CONFIG when set, else the first
    // existing "vantor/machine.conf" under $XDG_CONFIG_DIRS (default /etc/xdg); an empty
    // text when there is none.
    static QString machineFilePath();

    QString filePath() const;
    bool isReadOnly() const;

    bool keyExists(const QString &path) const;
    QStringList subKeys(const QString &path) const;
    QStringList valueNames(const QString &path) const;
    std::optional<Value> value(const QString &path, const QString &name) const;

    // Each returns false (see lastError()) when the file could not be written; outside a
    // transaction the change is then not kept. createKey creates missing parents too.
    bool createKey(const QString &path);
    bool setValue(const QString &path, const QString &name, const Value &v);
    bool deleteValue(const QString &path, const QString &name);   // false when missing
    bool deleteKey(const QString &path);                          // with subkeys; false when missing

    // Collects the writes that follow (visible to reads at once) and writes them to the
    // file together, atomically, at commit(). Transactions nest; the outermost commit
    // writes. rollback() drops what was collected.
    void beginTransaction();
    bool commit();
    void rollback();
    bool inTransaction() const;

    QString lastError() const;
    // Warnings collected since the last call (a corrupt file kept aside, ...).
    QStringList takeWarnings();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Parses a path into its segments ("\A\\B\" -> {"A", "B"}).
QStringList splitKeyPath(const QString &path);

} // namespace settings
