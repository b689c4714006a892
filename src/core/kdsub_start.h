#pragma once
// Start-up and finalisation of the shared unit: the program's folders, the shared settings
// object, the global lists, the operating-system version, and password scrambling.
//
// InitializeSharedUnit() runs once before the main window is created (and again in tests
// that want a fresh state); FinalizeSharedUnit() once after the last window is gone.
#include <QString>
#include <QStringList>

// Runs the start-up: clears the global lists and option records, opens the settings
// store (SharedRegistry) and fixes and creates the three folders.
void InitializeSharedUnit();
// Releases the shared settings object and empties the lists and records.
void FinalizeSharedUnit();

// The folder of the program file, ending with "/".
const QString &ProgramFolder();
// The user's documents folder ending with "/"; ProgramFolder() when the system gives none.
const QString &DocumentFolder();
// The per-user data folder + "ZUMAQ/"; ProgramFolder() when the system gives none.
const QString &AppDataFolder();
// The client home folder that the trace settings use as a default; read from the machine
// settings by ReadClientHomeFolder() (core/kdreg.h) before LoadSettings; empty when unknown.
QString &ClientHomeFolder();

// Names of the SQL history files; loaded and saved by the main window.
QStringList &SQLHistoryList();
// The SQL keyword list of the editors and code assist (filled by LoadSettings).
QStringList &KeywordList();

// The operating-system version the program reports. The message dialogs and the data
// grids' cell editor test it through IsWinVersion6; this platform reports 10.0 so that
// they take the branch of current systems.
struct TOSVersionInfo {
    int MajorVersion = 10;
    int MinorVersion = 0;
    int BuildNumber = 0;
};
const TOSVersionInfo &OSVersionInfo();
// OrLater true: the major version is 6 or higher; false: it is exactly 6.
bool IsWinVersion6(bool OrLater, const TOSVersionInfo &info = OSVersionInfo());

// Reversible scrambling of passwords kept in the settings. The text uses 16 punctuation
// characters only; a password of n bytes (padded with blanks to 64 when shorter) gives
// 2n + 4 characters, and every call gives a different text. The password is taken in
// CP932, or in UTF-8 when it holds characters CP932 cannot encode.
QString ScramblePassword(const QString &Password);
// The exact password that was scrambled, blanks at either end included. An empty text, a
// text shorter than six characters or one that does not decode gives an empty password.
QString UnscramblePassword(const QString &Text);
