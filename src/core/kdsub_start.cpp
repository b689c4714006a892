#include "core/kdsub_start.h"

#include "core/kdreg.h"
#include "core/kdsub_options.h"
#include "platform/textcodec.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>

namespace {

struct TSharedUnitState {
    QString ProgramFolder;
    QString DocumentFolder;
    QString AppDataFolder;
    QString ClientHomeFolder;
    QStringList SQLHistoryList;
    QStringList KeywordList;
    TOSVersionInfo OSVersionInfo;
};

TSharedUnitState &State()
{
    static TSharedUnitState state;
    return state;
}

QString WithSlash(const QString &path)
{
    QString p = QDir::fromNativeSeparators(path);
    if (!p.endsWith(QLatin1Char('/')))
        p += QLatin1Char('/');
    return p;
}

QString ProgramFolderPath()
{
    if (QCoreApplication::instance())
        return WithSlash(QCoreApplication::applicationDirPath());
    return WithSlash(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(
        QLatin1Char('/'), 0, -2));
}

} // namespace

void InitializeSharedUnit()
{
    TSharedUnitState &s = State();
    s.SQLHistoryList.clear();
    s.KeywordList.clear();
    s.ClientHomeFolder.clear();
    s.ProgramFolder = ProgramFolderPath();

    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    s.DocumentFolder = docs.isEmpty() ? s.ProgramFolder : WithSlash(docs);
    QDir().mkpath(s.DocumentFolder);

    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    s.AppDataFolder = data.isEmpty() ? s.ProgramFolder : WithSlash(data) + QStringLiteral("ZUMAQ/");
    QDir().mkpath(s.AppDataFolder);

    s.OSVersionInfo = TOSVersionInfo();
    OpenSettingsStores();

    // The records start zeroed; LoadSettings gives them their values.
    ClearAllOptions();
}

void FinalizeSharedUnit()
{
    TSharedUnitState &s = State();
    s.SQLHistoryList.clear();
    s.KeywordList.clear();
    ClearAllOptions();
    CloseSettingsStores();
}

const QString &ProgramFolder() { return State().ProgramFolder; }
const QString &DocumentFolder() { return State().DocumentFolder; }
const QString &AppDataFolder() { return State().AppDataFolder; }
QString &ClientHomeFolder() { return State().ClientHomeFolder; }
QStringList &SQLHistoryList() { return State().SQLHistoryList; }
QStringList &KeywordList() { return State().KeywordList; }
const TOSVersionInfo &OSVersionInfo() { return State().OSVersionInfo; }

bool IsWinVersion6(bool OrLater, const TOSVersionInfo &info)
{
    return OrLater ? info.MajorVersion >= 6 : info.MajorVersion == 6;
}

// ---------------------------------------------------------------------------------------
// Password scrambling
//
// Layout of the text (every byte written as two characters of the alphabet, high nibble
// first): the start byte S in clear, then the flag byte, then the (padded) password bytes.
// The flag byte holds the number of padding blanks (0..63) and bit 7 set for UTF-8 bytes;
// it and the password bytes are XORed with a key stream that S seeds. Carrying the pad
// count lets the reverse return the password exactly, blanks typed at its ends included.

namespace {

constexpr char kAlphabet[] = "!#$%&()*+,-./:;<";  // 16 distinct printable punctuation
static_assert(sizeof kAlphabet == 17);
constexpr int kPadTo = 64;

quint8 NextKey(quint32 &state)
{
    state = state * 1103515245u + 12345u;
    return static_cast<quint8>(state >> 16);
}

int AlphabetIndex(QChar c)
{
    for (int i = 0; i < 16; ++i)
        if (c == QLatin1Char(kAlphabet[i]))
            return i;
    return -1;
}

} // namespace

QString ScramblePassword(const QString &Password)
{
    if (Password.isEmpty())
        return QString();
    bool ok = true;
    QByteArray bytes = textcodec::encode(Password, textcodec::AnsiCodePage, &ok);
    quint8 flag = 0;
    if (!ok) {
        bytes = Password.toUtf8();
        flag = 0x80;
    }
    const int pad = bytes.size() < kPadTo ? kPadTo - static_cast<int>(bytes.size()) : 0;
    bytes.append(QByteArray(pad, ' '));
    flag |= static_cast<quint8>(pad);

    const quint8 start = static_cast<quint8>(QRandomGenerator::global()->bounded(256));
    quint32 state = start * 2654435761u + 0x9E37u;
    QString out;
    out.reserve(2 * bytes.size() + 4);
    auto put = [&](quint8 b) {
        out += QLatin1Char(kAlphabet[b >> 4]);
        out += QLatin1Char(kAlphabet[b & 0x0F]);
    };
    put(start);
    put(flag ^ NextKey(state));
    for (char c : std::as_const(bytes))
        put(static_cast<quint8>(c) ^ NextKey(state));
    return out;
}

QString UnscramblePassword(const QString &Text)
{
    if (Text.size() < 6 || Text.size() % 2 != 0)
        return QString();
    QByteArray raw;
    raw.reserve(Text.size() / 2);
    for (qsizetype i = 0; i < Text.size(); i += 2) {
        const int hi = AlphabetIndex(Text.at(i));
        const int lo = AlphabetIndex(Text.at(i + 1));
        if (hi < 0 || lo < 0)
            return QString();
        raw.append(static_cast<char>((hi << 4) | lo));
    }
    const quint8 start = static_cast<quint8>(raw.at(0));
    quint32 state = start * 2654435761u + 0x9E37u;
    const quint8 flag = static_cast<quint8>(raw.at(1)) ^ NextKey(state);
    QByteArray bytes = raw.mid(2);
    for (char &c : bytes)
        c = static_cast<char>(static_cast<quint8>(c) ^ NextKey(state));
    const int pad = flag & 0x7F;
    if (pad > bytes.size() || (pad > 0 && bytes.size() != kPadTo))
        return QString();
    bytes.chop(pad);
    bool ok = true;
    const QString password = (flag & 0x80) ? QString::fromUtf8(bytes)
                                           : textcodec::decode(bytes, textcodec::AnsiCodePage, &ok);
    if (!ok)
        return QString();
    if ((flag & 0x80) && password.toUtf8() != bytes)
        return QString();
    return password;
}
