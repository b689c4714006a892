#include "platform/settingsstore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace settings {

namespace {

// ---------------------------------------------------------------------------------------
// The tree

struct Node {
    QString name;
    QList<std::pair<QString, Value>> values;
    std::map<QString, std::unique_ptr<Node>> children;  // by case-folded name

    Node *child(const QString &n) const
    {
        auto it = children.find(n.toCaseFolded());
        return it == children.end() ? nullptr : it->second.get();
    }
    Node *ensureChild(const QString &n)
    {
        auto &slot = children[n.toCaseFolded()];
        if (!slot) {
            slot = std::make_unique<Node>();
            slot->name = n;
        }
        return slot.get();
    }
    qsizetype valueIndex(const QString &n) const
    {
        for (qsizetype i = 0; i < values.size(); ++i)
            if (QString::compare(values.at(i).first, n, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }
    void setValue(const QString &n, const Value &v)
    {
        const qsizetype i = valueIndex(n);
        if (i >= 0)
            values[i].second = v;
        else
            values.append({n, v});
    }
};

Node *findNode(Node *root, const QStringList &segs)
{
    Node *n = root;
    for (const QString &s : segs) {
        n = n->child(s);
        if (!n)
            return nullptr;
    }
    return n;
}

Node *ensureNode(Node *root, const QStringList &segs)
{
    Node *n = root;
    for (const QString &s : segs)
        n = n->ensureChild(s);
    return n;
}

enum class OpKind { CreateKey, SetValue, DeleteValue, DeleteKey };

struct Op {
    OpKind kind;
    QStringList path;
    QString name;
    Value value;
};

void applyOp(Node &root, const Op &op)
{
    switch (op.kind) {
    case OpKind::CreateKey:
        ensureNode(&root, op.path);
        break;
    case OpKind::SetValue:
        ensureNode(&root, op.path)->setValue(op.name, op.value);
        break;
    case OpKind::DeleteValue:
        if (Node *n = findNode(&root, op.path)) {
            const qsizetype i = n->valueIndex(op.name);
            if (i >= 0)
                n->values.removeAt(i);
        }
        break;
    case OpKind::DeleteKey:
        if (op.path.isEmpty()) {
            root.values.clear();
            root.children.clear();
        } else if (Node *parent = findNode(&root, op.path.mid(0, op.path.size() - 1))) {
            parent->children.erase(op.path.last().toCaseFolded());
        }
        break;
    }
}

// ---------------------------------------------------------------------------------------
// The text form

QString escapeSegment(const QString &s)
{
    QString out;
    for (QChar c : s) {
        const ushort u = c.unicode();
        if (u == '\\' || u == ']' || u == '[' || u == '%' || u < 0x20 || u == 0x7F)
            out += QStringLiteral("%%1").arg(u, 2, 16, QLatin1Char('0')).toUpper();
        else
            out += c;
    }
    return out;
}

bool unescapeSegment(const QString &s, QString &out)
{
    out.clear();
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s.at(i) != QLatin1Char('%')) {
            out += s.at(i);
            continue;
        }
        const QString hex = s.mid(i + 1, 2);
        bool ok = false;
        const int v = hex.toInt(&ok, 16);
        if (!ok || hex.size() != 2)
            return false;
        out += QChar(v);
        i += 2;
    }
    return true;
}

QString quote(const QString &s)
{
    QString out = QStringLiteral("\"");
    for (QChar c : s) {
        const ushort u = c.unicode();
        switch (u) {
        case '\\': out += QStringLiteral("\\\\"); break;
        case '"': out += QStringLiteral("\\\""); break;
        case '\r': out += QStringLiteral("\\r"); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        default:
            if (u < 0x20 || u == 0x7F)
                out += QStringLiteral("\\u%1").arg(u, 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

// Reads a quoted text starting at line[pos] == '"'; pos ends after the closing quote.
bool unquote(const QString &line, qsizetype &pos, QString &out)
{
    out.clear();
    if (pos >= line.size() || line.at(pos) != QLatin1Char('"'))
        return false;
    for (++pos; pos < line.size(); ++pos) {
        const QChar c = line.at(pos);
        if (c == QLatin1Char('"')) {
            ++pos;
            return true;
        }
        if (c != QLatin1Char('\\')) {
            out += c;
            continue;
        }
        if (++pos >= line.size())
            return false;
        switch (line.at(pos).unicode()) {
        case '\\': out += QLatin1Char('\\'); break;
        case '"': out += QLatin1Char('"'); break;
        case 'r': out += QLatin1Char('\r'); break;
        case 'n': out += QLatin1Char('\n'); break;
        case 't': out += QLatin1Char('\t'); break;
        case 'u': {
            bool ok = false;
            const QString hex = line.mid(pos + 1, 4);
            const uint v = hex.toUInt(&ok, 16);
            if (!ok || hex.size() != 4)
                return false;
            out += QChar(static_cast<char16_t>(v));
            pos += 4;
            break;
        }
        default: return false;
        }
    }
    return false;
}

void writeNode(const Node &n, const QString &path, QString &out)
{
    out += QLatin1Char('[') + (path.isEmpty() ? QStringLiteral("\\") : path) + QStringLiteral("]\n");
    for (const auto &[name, v] : n.values) {
        out += quote(name) + QLatin1Char('=');
        switch (v.type) {
        case ValueType::String: out += quote(v.text); break;
        case ValueType::DWord:
            out += QStringLiteral("dword:%1").arg(v.dword, 8, 16, QLatin1Char('0'));
            break;
        case ValueType::Binary: {
            QStringList bytes;
            for (char b : v.binary)
                bytes += QStringLiteral("%1").arg(static_cast<quint8>(b), 2, 16, QLatin1Char('0'));
            out += QStringLiteral("hex:") + bytes.join(QLatin1Char(','));
            break;
        }
        }
        out += QLatin1Char('\n');
    }
    for (const auto &[key, child] : n.children)
        writeNode(*child, path + QLatin1Char('\\') + escapeSegment(child->name), out);
}

QByteArray serialize(const Node &root)
{
    QString out = QStringLiteral(
        "; Kelvane for Symfoware settings. Keys in [brackets]; values as \"name\"=\"text\",\n"
        "; \"name\"=dword:<8 hex digits> or \"name\"=hex:<bytes>.\n");
    const bool rootEmpty = root.values.isEmpty();
    if (!rootEmpty)
        writeNode(root, QString(), out);
    else
        for (const auto &[key, child] : root.children)
            writeNode(*child, QLatin1Char('\\') + escapeSegment(child->name), out);
    return out.toUtf8();
}

bool parse(const QByteArray &bytes, Node &root, QString &error)
{
    QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = dec.decode(bytes);
    if (dec.hasError()) {
        error = QStringLiteral("invalid UTF-8");
        return false;
    }
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    Node *current = nullptr;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype ln = 0; ln < lines.size(); ++ln) {
        QString line = lines.at(ln);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        auto fail = [&](const char *what) {
            error = QStringLiteral("line %1: %2").arg(ln + 1).arg(QLatin1String(what));
            return false;
        };
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']')))
                return fail("unterminated key header");
            const QString inner = line.mid(1, line.size() - 2);
            if (!inner.startsWith(QLatin1Char('\\')))
                return fail("key path must start with a backslash");
            QStringList segs;
            for (const QString &raw : inner.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
                QString seg;
                if (!unescapeSegment(raw, seg))
                    return fail("bad escape in key name");
                segs += seg;
            }
            current = ensureNode(&root, segs);
            continue;
        }
        if (!current)
            return fail("value outside a key");
        qsizetype pos = 0;
        QString name;
        if (!unquote(line, pos, name))
            return fail("bad value name");
        while (pos < line.size() && line.at(pos).isSpace())
            ++pos;
        if (pos >= line.size() || line.at(pos) != QLatin1Char('='))
            return fail("missing '='");
        ++pos;
        while (pos < line.size() && line.at(pos).isSpace())
            ++pos;
        const QString rest = line.mid(pos);
        Value v;
        if (rest.startsWith(QLatin1Char('"'))) {
            qsizetype p = pos;
            QString s;
            if (!unquote(line, p, s) || !line.mid(p).trimmed().isEmpty())
                return fail("bad text value");
            v = Value::fromString(s);
        } else if (rest.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
            const QString hex = rest.mid(6).trimmed();
            bool ok = false;
            const uint d = hex.toUInt(&ok, 16);
            if (!ok || hex.isEmpty() || hex.size() > 8)
                return fail("bad dword value");
            v = Value::fromDWord(d);
        } else if (rest.startsWith(QLatin1String("hex:"), Qt::CaseInsensitive)) {
            const QString list = rest.mid(4).trimmed();
            QByteArray b;
            if (!list.isEmpty()) {
                for (const QString &part : list.split(QLatin1Char(','))) {
                    bool ok = false;
                    const QString h = part.trimmed();
                    const uint x = h.toUInt(&ok, 16);
                    if (!ok || h.isEmpty() || h.size() > 2)
                        return fail("bad binary value");
                    b.append(static_cast<char>(x));
                }
            }
            v = Value::fromBinary(b);
        } else {
            return fail("unknown value kind");
        }
        current->setValue(name, v);
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// Files

struct FileSig {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    qint64 sec = 0;
    qint64 nsec = 0;
    bool operator==(const FileSig &) const = default;
};

FileSig statFile(const QString &path)
{
    FileSig s;
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
        s.exists = true;
        s.dev = st.st_dev;
        s.ino = st.st_ino;
        s.size = st.st_size;
        s.sec = st.st_mtim.tv_sec;
        s.nsec = st.st_mtim.tv_nsec;
    }
    return s;
}

QString errnoText() { return QString::fromLocal8Bit(std::strerror(errno)); }

// An exclusive flock on "<file>.lock", released when the object goes.
class FileLock {
public:
    explicit FileLock(const QString &file)
    {
        const QByteArray p = QFile::encodeName(file + QStringLiteral(".lock"));
        fd = ::open(p.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            error = errnoText();
            return;
        }
        while (::flock(fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                error = errnoText();
                ::close(fd);
                fd = -1;
                return;
            }
        }
    }
    ~FileLock()
    {
        if (fd >= 0) {
            ::flock(fd, LOCK_UN);
            ::close(fd);
        }
    }
    bool ok() const { return fd >= 0; }
    QString error;

private:
    int fd = -1;
};

bool readAll(const QString &path, QByteArray &out, bool &exists)
{
    QFile f(path);
    exists = f.exists();
    if (!exists) {
        out.clear();
        return true;
    }
    if (!f.open(QIODevice::ReadOnly))
        return false;
    out = f.readAll();
    return f.error() == QFileDevice::NoError;
}

bool writeAtomically(const QString &path, const QByteArray &data, QString &error)
{
    static int counter = 0;
    const QString tmp = path + QStringLiteral(".tmp-%1-%2").arg(::getpid()).arg(++counter);
    const QByteArray tp = QFile::encodeName(tmp);
    const int fd = ::open(tp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = errnoText();
        return false;
    }
    const char *p = data.constData();
    qsizetype left = data.size();
    bool ok = true;
    while (left > 0) {
        const ssize_t w = ::write(fd, p, static_cast<size_t>(left));
        if (w < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        p += w;
        left -= w;
    }
    if (ok && ::fsync(fd) != 0)
        ok = false;
    if (!ok)
        error = errnoText();
    ::close(fd);
    if (ok && ::rename(tp.constData(), QFile::encodeName(path).constData()) != 0) {
        error = errnoText();
        ok = false;
    }
    if (!ok) {
        ::unlink(tp.constData());
        return false;
    }
    // Make the rename itself durable.
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    const int dfd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

} // namespace

// ---------------------------------------------------------------------------------------

QStringList splitKeyPath(const QString &path)
{
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

struct SettingsStore::Private {
    QString path;
    bool readOnly = false;
    std::unique_ptr<Node> root = std::make_unique<Node>();
    FileSig sig;
    bool loaded = false;
    int txDepth = 0;
    std::vector<Op> pending;
    QString lastError;
    QStringList warnings;

    // Keeps a file that cannot be parsed under a new name (not for a read-only store).
    void keepAside(const QString &why)
    {
        if (readOnly) {
            warnings += QStringLiteral("設定ファイル「%1」を読み込めませんでした (%2)。既定の設定を使います。")
                            .arg(QDir::toNativeSeparators(path), why);
            return;
        }
        const QString aside = path + QStringLiteral(".corrupt-")
            + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
        if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()) == 0)
            warnings += QStringLiteral("設定ファイル「%1」を読み込めませんでした (%2)。"
                                       "元のファイルを「%3」として残し、既定の設定で起動します。")
                            .arg(QDir::toNativeSeparators(path), why, QDir::toNativeSeparators(aside));
        else
            warnings += QStringLiteral("設定ファイル「%1」を読み込めませんでした (%2)。既定の設定を使います。")
                            .arg(QDir::toNativeSeparators(path), why);
    }

    // Reads the file into a new tree. A corrupt file is kept aside and gives an empty tree.
    // Call with the lock held when the store may write.
    // readFailed tells a file that exists but cannot be read (it must not be overwritten).
    std::unique_ptr<Node> readTree(FileSig &outSig, bool *readFailed = nullptr)
    {
        auto tree = std::make_unique<Node>();
        outSig = statFile(path);
        QByteArray bytes;
        bool exists = false;
        if (readFailed)
            *readFailed = false;
        if (!readAll(path, bytes, exists)) {
            lastError = QStringLiteral("cannot read %1").arg(path);
            if (readFailed)
                *readFailed = true;
            return tree;
        }
        QString err;
        if (exists && !parse(bytes, *tree, err)) {
            keepAside(err);
            tree = std::make_unique<Node>();
            outSig = statFile(path);
        }
        return tree;
    }

    void ensureFresh()
    {
        const FileSig now = statFile(path);
        if (loaded && now == sig)
            return;
        if (readOnly || !now.exists) {
            root = readTree(sig);
        } else {
            FileLock lock(path);
            root = readTree(sig);
        }
        loaded = true;
        for (const Op &op : pending)
            applyOp(*root, op);
    }

    bool ensureFolder()
    {
        const QString dir = QFileInfo(path).absolutePath();
        if (QFileInfo::exists(dir))
            return true;
        if (!QDir().mkpath(dir)) {
            lastError = QStringLiteral("cannot create %1").arg(dir);
            return false;
        }
        ::chmod(QFile::encodeName(dir).constData(), 0700);
        return true;
    }

    // Temporary files left by a writer that died before its rename. Every writer holds
    // the lock while its temporary file exists, so under the lock any of them is stale.
    void removeStaleTemporaries()
    {
        const QFileInfo fi(path);
        QDir dir(fi.absolutePath());
        const QStringList stale = dir.entryList({fi.fileName() + QStringLiteral(".tmp-*")}, QDir::Files | QDir::Hidden);
        for (const QString &name : stale)
            dir.remove(name);
    }

    // Re-reads the file under the lock, applies ops and writes the result atomically.
    bool write(const std::vector<Op> &ops)
    {
        if (readOnly) {
            lastError = QStringLiteral("%1 is read-only").arg(path);
            return false;
        }
        if (!ensureFolder())
            return false;
        FileLock lock(path);
        if (!lock.ok()) {
            lastError = QStringLiteral("cannot lock %1: %2").arg(path, lock.error);
            loaded = false;
            return false;
        }
        removeStaleTemporaries();
        FileSig s;
        bool readFailed = false;
        std::unique_ptr<Node> tree = readTree(s, &readFailed);
        if (readFailed) {
            loaded = false;
            return false;  // writing now would replace values that could not be read
        }
        for (const Op &op : ops)
            applyOp(*tree, op);
        QString err;
        if (!writeAtomically(path, serialize(*tree), err)) {
            lastError = QStringLiteral("cannot write %1: %2").arg(path, err);
            loaded = false;  // the next read shows the file as it is
            return false;
        }
        root = std::move(tree);
        sig = statFile(path);
        loaded = true;
        for (const Op &op : pending)  // writes of an open transaction stay visible
            applyOp(*root, op);
        return true;
    }

    bool submit(Op op)
    {
        if (readOnly) {
            lastError = QStringLiteral("%1 is read-only").arg(path);
            return false;
        }
        if (txDepth > 0) {
            ensureFresh();
            applyOp(*root, op);
            pending.push_back(std::move(op));
            return true;
        }
        return write({op});
    }
};

SettingsStore::SettingsStore(const QString &filePath, bool readOnly) : d(std::make_unique<Private>())
{
    d->path = filePath;
    d->readOnly = readOnly;
    d->ensureFresh();
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::userFolder()
{
    const QString env = qEnvironmentVariable("VANTOR_CONFIG_DIR");
    if (!env.isEmpty())
        return QDir::cleanPath(env);
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/vantor");
}

QString SettingsStore::userFilePath() { return userFolder() + QStringLiteral("/settings.conf"); }

QString SettingsStore::machineFilePath()
{
    if (qEnvironmentVariableIsSet("VANTOR_MACHINE_CONFIG"))
        return qEnvironmentVariable("VANTOR_MACHINE_CONFIG");
    QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/etc/xdg");
    for (const QString &dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        const QString f = dir + QStringLiteral("/vantor/machine.conf");
        if (QFileInfo::exists(f))
            return f;
    }
    return QString();
}

QString SettingsStore::filePath() const { return d->path; }
bool SettingsStore::isReadOnly() const { return d->readOnly; }

bool SettingsStore::keyExists(const QString &path) const
{
    d->ensureFresh();
    return findNode(d->root.get(), splitKeyPath(path)) != nullptr;
}

QStringList SettingsStore::subKeys(const QString &path) const
{
    d->ensureFresh();
    QStringList out;
    if (const Node *n = findNode(d->root.get(), splitKeyPath(path)))
        for (const auto &[key, child] : n->children)
            out += child->name;
    return out;
}

QStringList SettingsStore::valueNames(const QString &path) const
{
    d->ensureFresh();
    QStringList out;
    if (const Node *n = findNode(d->root.get(), splitKeyPath(path)))
        for (const auto &[name, v] : n->values)
            out += name;
    return out;
}

std::optional<Value> SettingsStore::value(const QString &path, const QString &name) const
{
    d->ensureFresh();
    const Node *n = findNode(d->root.get(), splitKeyPath(path));
    if (!n)
        return std::nullopt;
    const qsizetype i = n->valueIndex(name);
    if (i < 0)
        return std::nullopt;
    return n->values.at(i).second;
}

bool SettingsStore::createKey(const QString &path)
{
    if (keyExists(path))
        return true;
    return d->submit({OpKind::CreateKey, splitKeyPath(path), {}, {}});
}

bool SettingsStore::setValue(const QString &path, const QString &name, const Value &v)
{
    return d->submit({OpKind::SetValue, splitKeyPath(path), name, v});
}

bool SettingsStore::deleteValue(const QString &path, const QString &name)
{
    if (!value(path, name)) {
        d->lastError = QStringLiteral("no value %1").arg(name);
        return false;
    }
    return d->submit({OpKind::DeleteValue, splitKeyPath(path), name, {}});
}

bool SettingsStore::deleteKey(const QString &path)
{
    if (!keyExists(path)) {
        d->lastError = QStringLiteral("no key %1").arg(path);
        return false;
    }
    return d->submit({OpKind::DeleteKey, splitKeyPath(path), {}, {}});
}

void SettingsStore::beginTransaction() { ++d->txDepth; }

bool SettingsStore::commit()
{
    if (d->txDepth == 0)
        return true;
    if (--d->txDepth > 0)
        return true;
    std::vector<Op> ops;
    ops.swap(d->pending);
    if (ops.empty())
        return true;
    return d->write(ops);
}

void SettingsStore::rollback()
{
    d->txDepth = 0;
    d->pending.clear();
    d->loaded = false;
}

bool SettingsStore::inTransaction() const { return d->txDepth > 0; }
QString SettingsStore::lastError() const { return d->lastError; }

QStringList SettingsStore::takeWarnings()
{
    QStringList w;
    w.swap(d->warnings);
    return w;
}

} // namespace settings
