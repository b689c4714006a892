// Small services: file encoding, WHERE history, client programs, client folder.
#include "core/kdsub_service.h"
#include "core/kdreg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_text.h"
#include "platform/textcodec.h"
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTimer>

// ---- file encoding -------------------------------------------------------------------------

TFileEncoding GetFileEncoding(int OptionValue)
{
    switch (OptionValue & 0xFF) {
    case 1: return TFileEncoding::Utf7;
    case 2: return TFileEncoding::Utf8;
    case 3: return TFileEncoding::Utf16LE;
    case 4: return TFileEncoding::Utf16BE;
    default: return TFileEncoding::Ansi;
    }
}

TFileEncoding GetFileEncoding()
{
    return GetFileEncoding(TkdOption::Global().Encoding);
}

namespace {

QByteArray bomOf(TFileEncoding e)
{
    switch (e) {
    case TFileEncoding::Utf8: return QByteArray("\xEF\xBB\xBF", 3);
    case TFileEncoding::Utf16LE: return QByteArray("\xFF\xFE", 2);
    case TFileEncoding::Utf16BE: return QByteArray("\xFE\xFF", 2);
    default: return QByteArray();
    }
}

} // namespace

QByteArray EncodeFileText(const QString &Text, TFileEncoding Encoding)
{
    QByteArray out = bomOf(Encoding);
    switch (Encoding) {
    case TFileEncoding::Utf8: out += Text.toUtf8(); break;
    case TFileEncoding::Utf16LE: out += textcodec::encode(Text, "UTF-16LE"); break;
    case TFileEncoding::Utf16BE: out += textcodec::encode(Text, "UTF-16BE"); break;
    case TFileEncoding::Utf7: out += textcodec::encode(Text, "UTF-7"); break;
    case TFileEncoding::Ansi: out += textcodec::encode(Text, textcodec::AnsiCodePage); break;
    }
    return out;
}

QString DecodeFileText(const QByteArray &Bytes, TFileEncoding Encoding)
{
    const QByteArray bom = bomOf(Encoding);
    const QByteArray body = !bom.isEmpty() && Bytes.startsWith(bom) ? Bytes.mid(bom.size()) : Bytes;
    switch (Encoding) {
    case TFileEncoding::Utf8: return QString::fromUtf8(body);
    case TFileEncoding::Utf16LE: return textcodec::decode(body, "UTF-16LE");
    case TFileEncoding::Utf16BE: return textcodec::decode(body, "UTF-16BE");
    case TFileEncoding::Utf7: return textcodec::decode(body, "UTF-7");
    case TFileEncoding::Ansi: break;
    }
    return textcodec::decode(body, textcodec::AnsiCodePage);
}

// ---- WHERE history -------------------------------------------------------------------------

namespace {

const QString WhereSection = QStringLiteral("WHERE");
constexpr int MaxWhereEntries = 20;

QString whereKey(int i)
{
    return QStringLiteral("%1").arg(i, 2, 10, QChar(u'0'));
}

// An ini file held in memory: sections in file order, each with its lines as written, so
// that sections and lines this code does not touch are written back unchanged.
class IniText {
public:
    explicit IniText(const QString &text)
    {
        FSections.append({QString(), {}});
        QStringList lines = text.split(u'\n');
        if (!lines.isEmpty() && lines.back().isEmpty())
            lines.removeLast();
        for (QString line : lines) {
            if (line.endsWith(u'\r'))
                line.chop(1);
            const QString t = line.trimmed();
            if (t.startsWith(u'[') && t.endsWith(u']')) {
                FSections.append({t.mid(1, t.size() - 2).trimmed(), {}});
                continue;
            }
            FSections.back().lines << line;
        }
    }

    QString value(const QString &section, const QString &key) const
    {
        const Section *s = find(section);
        if (!s)
            return QString();
        for (const QString &line : s->lines) {
            const qsizetype eq = line.indexOf(u'=');
            if (eq > 0 && line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
                return line.mid(eq + 1);
        }
        return QString();
    }

    void setValue(const QString &section, const QString &key, const QString &value)
    {
        Section *s = find(section);
        if (!s) {
            FSections.append({section, {}});
            s = &FSections.back();
        }
        const QString line = key + u'=' + value;
        for (QString &l : s->lines) {
            const qsizetype eq = l.indexOf(u'=');
            if (eq > 0 && l.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0) {
                l = line;
                return;
            }
        }
        // New keys go after the last key of the section, before trailing blank lines.
        qsizetype at = s->lines.size();
        while (at > 0 && s->lines.at(at - 1).trimmed().isEmpty())
            --at;
        s->lines.insert(at, line);
    }

    void removeKey(const QString &section, const QString &key)
    {
        Section *s = find(section);
        if (!s)
            return;
        s->lines.removeIf([&](const QString &l) {
            const qsizetype eq = l.indexOf(u'=');
            return eq > 0 && l.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0;
        });
    }

    // The lines of a section (none when it is missing).
    QStringList lines(const QString &section) const
    {
        const Section *s = find(section);
        return s ? s->lines : QStringList();
    }
    void setLines(const QString &section, const QStringList &lines)
    {
        Section *s = find(section);
        if (!s) {
            FSections.append({section, {}});
            s = &FSections.back();
        }
        s->lines = lines;
    }

    QString text() const
    {
        QString out;
        for (qsizetype i = 0; i < FSections.size(); ++i) {
            const Section &s = FSections.at(i);
            if (i > 0)
                out += u'[' + s.name + QStringLiteral("]\r\n");
            for (const QString &l : s.lines)
                out += l + QStringLiteral("\r\n");
        }
        return out;
    }

private:
    struct Section { QString name; QStringList lines; };
    const Section *find(const QString &name) const
    {
        for (qsizetype i = 1; i < FSections.size(); ++i)
            if (FSections.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
                return &FSections.at(i);
        return nullptr;
    }
    Section *find(const QString &name)
    {
        return const_cast<Section *>(std::as_const(*this).find(name));
    }
    QList<Section> FSections; // the first holds the lines before any section header
};

void makeFolder(const QString &folder)
{
    if (folder.isEmpty() || QDir(folder).exists())
        return;
    if (!QDir().mkpath(folder))
        throw TkdFileError(QStringLiteral("フォルダを作成できません: %1").arg(folder));
}

IniText readIni(const QString &path, TFileEncoding encoding)
{
    QFile f(path);
    if (!f.exists())
        return IniText(QString());
    if (!f.open(QIODevice::ReadOnly))
        throw TkdFileError(QStringLiteral("ファイルを読み込めません: %1 (%2)").arg(path, f.errorString()));
    return IniText(DecodeFileText(f.readAll(), encoding));
}

// Replaces the file as a whole, so a failed write leaves the old file.
void writeIni(const QString &path, const IniText &ini, TFileEncoding encoding)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw TkdFileError(QStringLiteral("ファイルを書き込めません: %1 (%2)").arg(path, f.errorString()));
    f.write(EncodeFileText(ini.text(), encoding));
    if (!f.commit())
        throw TkdFileError(QStringLiteral("ファイルを書き込めません: %1 (%2)").arg(path, f.errorString()));
}

} // namespace

QString WhereHistoryFile(const QString &Folder, const QString &Schema, const QString &Table)
{
    QString folder = Folder;
    if (!folder.isEmpty() && !folder.endsWith(u'/'))
        folder += u'/';
    return folder + SafeFileName(Schema + u'.' + Table + QStringLiteral(".ini"));
}

QStringList LoadWhereHistory(const QString &Schema, const QString &Table, const QString &Folder,
                             TFileEncoding Encoding)
{
    QStringList items;
    if (Table.isEmpty())
        return items;
    makeFolder(Folder);
    const IniText ini = readIni(WhereHistoryFile(Folder, Schema, Table), Encoding);
    for (int i = 0; i < MaxWhereEntries; ++i) {
        const QString v = ini.value(WhereSection, whereKey(i));
        if (!v.isEmpty())
            items << v;
    }
    return items;
}

void SaveWhereHistory(const QString &Schema, const QString &Table, const QStringList &Items,
                      const QString &Folder, TFileEncoding Encoding)
{
    makeFolder(Folder);
    const QString path = WhereHistoryFile(Folder, Schema, Table);
    IniText ini = readIni(path, Encoding);
    const int count = int(std::min<qsizetype>(Items.size(), MaxWhereEntries));
    for (int i = 0; i < count; ++i)
        ini.setValue(WhereSection, whereKey(i), Items.at(i));
    // Entries beyond the new list would come back at the next load: they go.
    for (int i = count; i < MaxWhereEntries; ++i)
        ini.removeKey(WhereSection, whereKey(i));
    writeIni(path, ini, Encoding);
}

namespace {

// Keys of the per-table sections are column titles: the characters that would break the
// line or the section syntax are written as %XX.
QString escapeIniKey(const QString &key)
{
    QString out;
    out.reserve(key.size());
    for (const QChar c : key) {
        switch (c.unicode()) {
        case u'%': out += QStringLiteral("%25"); break;
        case u'=': out += QStringLiteral("%3D"); break;
        case u'[': out += QStringLiteral("%5B"); break;
        case u']': out += QStringLiteral("%5D"); break;
        case u';': out += QStringLiteral("%3B"); break;
        case u'\r': out += QStringLiteral("%0D"); break;
        case u'\n': out += QStringLiteral("%0A"); break;
        default: out += c;
        }
    }
    return out;
}

QString unescapeIniKey(const QString &key)
{
    QString out;
    out.reserve(key.size());
    for (qsizetype i = 0; i < key.size(); ++i) {
        if (key.at(i) == u'%' && i + 2 < key.size()) {
            bool ok = false;
            const int v = key.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out += QChar(v);
                i += 2;
                continue;
            }
        }
        out += key.at(i);
    }
    return out;
}

} // namespace

QString TableIniFile(const QString &Folder, const QString &BaseName)
{
    QString folder = Folder;
    if (!folder.isEmpty() && !folder.endsWith(u'/'))
        folder += u'/';
    return folder + SafeFileName(BaseName + QStringLiteral(".ini"));
}

QList<QPair<QString, QString>> LoadIniSection(const QString &Path, const QString &Section,
                                              TFileEncoding Encoding)
{
    QList<QPair<QString, QString>> out;
    for (const QString &line : readIni(Path, Encoding).lines(Section)) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0)
            out.append({unescapeIniKey(line.left(eq)), line.mid(eq + 1)});
    }
    return out;
}

void SaveIniSection(const QString &Path, const QString &Section,
                    const QList<QPair<QString, QString>> &Values, TFileEncoding Encoding)
{
    makeFolder(QFileInfo(Path).absolutePath());
    IniText ini = readIni(Path, Encoding);
    QStringList lines;
    for (const auto &kv : Values)
        lines << escapeIniKey(kv.first) + u'=' + kv.second;
    ini.setLines(Section, lines);
    writeIni(Path, ini, Encoding);
}

void LoadWhereHistory(const QString &Schema, const QString &Table, QStringList &Items)
{
    Items = LoadWhereHistory(Schema, Table, TkdOption::Global().TempDir, GetFileEncoding());
}

void SaveWhereHistory(const QString &Schema, const QString &Table, const QStringList &Items)
{
    SaveWhereHistory(Schema, Table, Items, TkdOption::Global().TempDir, GetFileEncoding());
}

// ---- running client programs ---------------------------------------------------------------

QStringList TkdLineSplitter::Feed(const QByteArray &Bytes)
{
    FPending += Bytes;
    QStringList lines;
    qsizetype start = 0;
    for (;;) {
        const qsizetype lf = FPending.indexOf('\n', start);
        if (lf < 0)
            break;
        qsizetype end = lf;
        if (end > start && FPending.at(end - 1) == '\r')
            --end;
        lines << DecodeLine(FPending.mid(start, end - start));
        start = lf + 1;
    }
    FPending.remove(0, start);
    return lines;
}

QStringList TkdLineSplitter::Finish()
{
    QByteArray rest;
    rest.swap(FPending);
    if (rest.endsWith('\r'))
        rest.chop(1);
    if (rest.isEmpty())
        return {};
    return {DecodeLine(rest)};
}

QString TkdLineSplitter::DecodeLine(const QByteArray &Bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(Bytes);
    if (!utf8.hasError())
        return text;
    return textcodec::decode(Bytes, textcodec::AnsiCodePage);
}

struct TkdProcessRunner::Impl {
    QProcess *process = nullptr;
    QEventLoop *loop = nullptr;
    bool stopped = false;
};

TkdProcessRunner::TkdProcessRunner(QObject *Parent) : QObject(Parent), d(std::make_unique<Impl>()) {}

TkdProcessRunner::~TkdProcessRunner()
{
    if (d->process && d->process->state() != QProcess::NotRunning) {
        d->process->kill();
        d->process->waitForFinished(1000);
    }
}

bool TkdProcessRunner::IsRunning() const
{
    return d->process && d->process->state() != QProcess::NotRunning;
}

void TkdProcessRunner::Stop()
{
    if (!IsRunning())
        return;
    d->stopped = true;
    d->process->terminate();
    QProcess *p = d->process;
    QTimer::singleShot(FStopGraceMs, p, [p] {
        if (p->state() != QProcess::NotRunning)
            p->kill();
    });
}

TRunResult TkdProcessRunner::Run(const QString &CommandLine, const LineSink &Sink)
{
    TRunResult result;
    QStringList args = QProcess::splitCommand(CommandLine);
    if (args.isEmpty()) {
        result.ErrorText = QStringLiteral("コマンドラインが空です。");
        return result;
    }
    const QString program = args.takeFirst();

    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct CursorBack { ~CursorBack() { QApplication::restoreOverrideCursor(); } } cursorBack;

    QProcess process;
    QEventLoop loop;
    d->process = &process;
    d->loop = &loop;
    d->stopped = false;
    struct Detach {
        Impl &d;
        ~Detach() { d.process = nullptr; d.loop = nullptr; }
    } detach{*d};

    TkdLineSplitter out, err;
    QStringList batch;
    auto flush = [&] {
        if (!batch.isEmpty() && Sink) {
            QStringList lines;
            lines.swap(batch);
            Sink(lines);
        }
    };
    QTimer flushTimer;
    flushTimer.setInterval(100);
    QObject::connect(&flushTimer, &QTimer::timeout, &loop, flush);

    QObject::connect(&process, &QProcess::readyReadStandardOutput, &loop,
                     [&] { batch += out.Feed(process.readAllStandardOutput()); });
    QObject::connect(&process, &QProcess::readyReadStandardError, &loop,
                     [&] { batch += err.Feed(process.readAllStandardError()); });
    bool failedToStart = false;
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            failedToStart = true;
            loop.quit();
        }
    });
    QObject::connect(&process, &QProcess::finished, &loop, [&] { loop.quit(); });

    process.setProgram(program);
    process.setArguments(args);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QIODevice::ReadOnly);
    if (!failedToStart && process.state() != QProcess::NotRunning) {
        emit Started();
        flushTimer.start();
        if (process.state() != QProcess::NotRunning)
            loop.exec();
    }
    flushTimer.stop();
    if (failedToStart || process.error() == QProcess::FailedToStart) {
        result.ErrorText = process.errorString();
        return result;
    }
    // Whatever is left in the pipes, then the text after the last line break.
    batch += out.Feed(process.readAllStandardOutput());
    batch += err.Feed(process.readAllStandardError());
    batch += out.Finish();
    batch += err.Finish();
    flush();

    result.Started = true;
    result.Stopped = d->stopped;
    result.Crashed = process.exitStatus() == QProcess::CrashExit;
    result.ExitCode = result.Crashed ? -1 : process.exitCode();
    return result;
}

bool RunWithOutput(const QString &CommandLine, const TkdProcessRunner::LineSink &Sink,
                   TRunResult *Result)
{
    TkdProcessRunner runner;
    const TRunResult r = runner.Run(CommandLine, Sink);
    if (Result)
        *Result = r;
    return r.Started;
}

// ---- file dialogs -------------------------------------------------------------------------

QStringList XlsColumnNames()
{
    QStringList names;
    for (int i = 0; i < 256; ++i) {
        QString s;
        if (i >= 26)
            s += QChar(u'A' + i / 26 - 1);
        s += QChar(u'A' + i % 26);
        names << s;
    }
    return names;
}

QString &ExcelFileFilter()
{
    static QString filter = ExcelFileFilterFor(QString());
    return filter;
}

QString ExcelFileFilterFor(const QString &Ext)
{
    return Ext == QLatin1String(".XLSX") ? QStringLiteral("Excelファイル(*.xlsx)|*.xlsx")
                                         : QStringLiteral("Excelファイル(*.xls)|*.xls");
}

QString QtFileFilter(const QString &PipeFilter)
{
    // Masks as QFileDialog reads them: separated by blanks.
    const auto masksOf = [](QString text) {
        text.replace(QLatin1Char(';'), QLatin1Char(' '));
        return text.simplified();
    };
    const QStringList parts = PipeFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString text = parts.at(i).trimmed();
        const QString masks = i + 1 < parts.size() ? masksOf(parts.at(i + 1)) : QString();
        if (text.isEmpty() && masks.isEmpty())
            continue;
        // QFileDialog takes the masks from the parentheses that end the text; keep a text
        // whose parentheses show exactly the masks, add them otherwise.
        const qsizetype open = text.lastIndexOf(QLatin1Char('('));
        if (masks.isEmpty()
            || (open >= 0 && text.endsWith(QLatin1Char(')'))
                && masksOf(text.mid(open + 1, text.size() - open - 2)) == masks))
            filters << text;
        else
            filters << text + QStringLiteral(" (") + masks + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

// ---- the database client -------------------------------------------------------------------

QString &SymfowareClientFolder()
{
    static QString folder;
    return folder;
}

void FindSymfowareClientFolder(const TMachineKeys &Keys)
{
    QString &folder = SymfowareClientFolder();
    if (!folder.isEmpty() || !Keys.KeyExists || !Keys.FirstValue)
        return;
    if (!Keys.KeyExists(QStringLiteral("\\SOFTWARE\\FUJITSU\\SymfowareSV")))
        return;
    if (const auto cl32 = Keys.FirstValue(QStringLiteral("\\SOFTWARE\\FUJITSU\\SymfowareSV\\CL32")))
        folder = *cl32;
    if (const auto cl64 = Keys.FirstValue(QStringLiteral("\\SOFTWARE\\FUJITSU\\SymfowareSV\\CL64")))
        folder = *cl64;
}

void FindSymfowareClientFolder()
{
    TkdRegistry reg(HKEY_LOCAL_MACHINE);
    TMachineKeys keys;
    keys.KeyExists = [&reg](const QString &key) { return reg.KeyExists(key); };
    keys.FirstValue = [&reg](const QString &key) -> std::optional<QString> {
        if (!reg.OpenKeyReadOnly(key))
            return std::nullopt;
        const QStringList names = reg.GetValueNames();
        std::optional<QString> data;
        if (!names.isEmpty())
            data = reg.GetString(names.front(), QString());
        reg.CloseKey();
        return data;
    };
    FindSymfowareClientFolder(keys);
}

QString ShortFolderPath(const QString &Path)
{
    if (Path.isEmpty())
        return QString();
    const QFileInfo info(Path);
    if (!info.exists())
        return QString();
    QString r = QDir::cleanPath(info.absoluteFilePath());
    if (!r.endsWith(u'/'))
        r += u'/';
    return r;
}

bool IsDoubleByteChar(const QString &S, int Index)
{
    if (Index < 1 || Index > S.size())
        return false;
    bool ok = false;
    const QByteArray b = textcodec::encode(QString(S.at(Index - 1)), textcodec::AnsiCodePage, &ok);
    if (!ok || b.isEmpty())
        return false;
    return IsCp932LeadByte(static_cast<unsigned char>(b.at(0)));
}
