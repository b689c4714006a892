// Text, identifier and value helpers of the shared unit.
#include "core/kdsub_text.h"
#include "core/kdsub_options.h"
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <memory>
#include <vector>

namespace {

// Keywords of the server that a bare name may not be: every keyword that is not in the
// "unreserved" category (reserved, column-name and type-or-function-name keywords), the
// words the server's own quote_ident() quotes. Sorted for binary search.
constexpr char16_t const *ReservedWords[] = {
    u"all", u"analyse", u"analyze", u"and", u"any", u"array", u"as", u"asc", u"asymmetric",
    u"authorization", u"between", u"bigint", u"binary", u"bit", u"boolean", u"both", u"case",
    u"cast", u"char", u"character", u"check", u"coalesce", u"collate", u"collation", u"column",
    u"concurrently", u"constraint", u"create", u"cross", u"current_catalog", u"current_date",
    u"current_role", u"current_schema", u"current_time", u"current_timestamp", u"current_user",
    u"dec", u"decimal", u"default", u"deferrable", u"desc", u"distinct", u"do", u"else", u"end",
    u"except", u"exists", u"extract", u"false", u"fetch", u"float", u"for", u"foreign", u"freeze",
    u"from", u"full", u"grant", u"greatest", u"group", u"grouping", u"having", u"ilike", u"in",
    u"initially", u"inner", u"inout", u"int", u"integer", u"intersect", u"interval", u"into",
    u"is", u"isnull", u"join", u"lateral", u"leading", u"least", u"left", u"like", u"limit",
    u"localtime", u"localtimestamp", u"national", u"natural", u"nchar", u"none", u"normalize",
    u"not", u"notnull", u"null", u"nullif", u"numeric", u"offset", u"on", u"only", u"or", u"order",
    u"out", u"outer", u"overlaps", u"overlay", u"placing", u"position", u"precision", u"primary",
    u"real", u"references", u"returning", u"right", u"row", u"select", u"session_user", u"setof",
    u"similar", u"smallint", u"some", u"substring", u"symmetric", u"table", u"tablesample",
    u"then", u"time", u"timestamp", u"to", u"trailing", u"treat", u"trim", u"true", u"union",
    u"unique", u"user", u"using", u"values", u"varchar", u"variadic", u"verbose", u"when",
    u"where", u"window", u"with", u"xmlattributes", u"xmlconcat", u"xmlelement", u"xmlexists",
    u"xmlforest", u"xmlnamespaces", u"xmlparse", u"xmlpi", u"xmlroot", u"xmlserialize", u"xmltable"
};

bool isAsciiLower(QChar c) { return c >= u'a' && c <= u'z'; }
bool isAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Characters that force quotes even on a name that is already in double quotes.
bool hasForcingCharacter(const QString &name)
{
    for (QChar c : name) {
        switch (c.unicode()) {
        case u'(': case u')': case 0xFF08: case 0xFF09: case u' ': case u'@': case u'=':
        case BlankPlaceholder:
            return true;
        default:
            break;
        }
    }
    return false;
}

// True when the server reads `name` unquoted as exactly this name: it starts with a
// lower-case letter or "_", goes on with lower-case letters, digits, "_" or "$", and is no
// keyword. Characters beyond ASCII are identifier characters to the server's scanner and
// are never folded in UTF-8, so they pass, except blanks and the characters of
// hasForcingCharacter, and except letters that have a lower-case form.
bool survivesUnquoted(const QString &name)
{
    if (name.isEmpty())
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (c.unicode() >= 0x80) {
            if (c.isSpace() || c.category() == QChar::Other_Control || c.toLower() != c)
                return false;
            continue;
        }
        if (isAsciiLower(c) || c == u'_')
            continue;
        if (i > 0 && (isAsciiDigit(c) || c == u'$'))
            continue;
        return false;
    }
    return !IsReservedIdentifier(name);
}

QString doubleQuoted(const QString &name)
{
    QString r = name;
    r.replace(u'"', QStringLiteral("\"\""));
    return u'"' + r + u'"';
}

QString trimControl(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s.at(b).unicode() <= 0x20)
        ++b;
    while (e > b && s.at(e - 1).unicode() <= 0x20)
        --e;
    return s.mid(b, e - b);
}

// The non-strict delimited-text reader: blanks and control characters around items are
// skipped, a double-quoted part runs to its closing quote (doubled quotes stand for one,
// the quotes are dropped), a delimiter at the end adds an empty item.
QStringList splitDelimited(const QString &text, QChar delimiter)
{
    QStringList items;
    if (text.isEmpty())
        return items;
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto skipBlanks = [&] { while (i < n && text.at(i).unicode() <= 0x20) ++i; };
    skipBlanks();
    while (i < n) {
        QString item;
        if (text.at(i) == u'"') {
            item = ReadQuotedText(text, i);
        } else {
            while (i < n && text.at(i) != delimiter && text.at(i).unicode() > 0x20)
                item += text.at(i++);
        }
        items << item;
        skipBlanks();
        if (i < n && text.at(i) == delimiter) {
            ++i;
            skipBlanks();
            if (i >= n)
                items << QString();
        }
    }
    return items;
}

} // namespace

bool IsReservedIdentifier(const QString &word)
{
    const auto less = [](const char16_t *a, const QString &b) { return QStringView(a) < b; };
    const auto *end = std::end(ReservedWords);
    const auto *it = std::lower_bound(std::begin(ReservedWords), end, word, less);
    return it != end && QStringView(*it) == word;
}

QString QuoteIdentifier(const QString &Name, bool useLowerName)
{
    const QString t = trimControl(Name);
    if (!t.startsWith(u'"')) {
        if (useLowerName)
            return doubleQuoted(Name);
        if (Name.isEmpty())
            return Name;
        if (t != Name.toLower() || Name.contains(u'-') || !survivesUnquoted(Name))
            return doubleQuoted(Name);
    }
    if (hasForcingCharacter(Name))
        return doubleQuoted(Name);
    return Name;
}

QString QuoteIdentifier(const QString &Name)
{
    return QuoteIdentifier(Name, TkdOption::Global().UseLowerName);
}

QString QuoteNameList(const QString &Names, bool CommaList, const QString &Delimiter)
{
    return QuoteNameList(Names, CommaList, Delimiter, TkdOption::Global().UseLowerName);
}

QString QuoteNameList(const QString &Names, bool CommaList, const QString &Delimiter,
                      bool useLowerName)
{
    QString text = Names;
    text.replace(u' ', QChar(BlankPlaceholder));
    QString result;
    if (CommaList) {
        QStringList parts = splitDelimited(text, u',');
        for (QString &p : parts)
            p = QuoteIdentifier(p, useLowerName);
        result = parts.join(u',');
    } else if (Delimiter.isEmpty() || !text.contains(Delimiter)) {
        result = text;
    } else {
        QStringList parts = splitDelimited(text, Delimiter.at(0));
        for (QString &p : parts)
            p = QuoteIdentifier(p, useLowerName);
        result = parts.join(Delimiter);
    }
    result.replace(QChar(BlankPlaceholder), u' ');
    return result;
}

QString QuoteLiteral(const QString &S)
{
    QString r = S;
    r.replace(u'\'', QStringLiteral("''"));
    if (r.contains(u'\\')) {
        r.replace(u'\\', QStringLiteral("\\\\"));
        return QStringLiteral("E'") + r + u'\'';
    }
    return u'\'' + r + u'\'';
}

QString UnquoteIdentifier(const QString &S)
{
    if (!S.startsWith(u'"'))
        return S;
    qsizetype pos = 0;
    return ReadQuotedText(S, pos);
}

QString ReadQuotedText(const QString &S, qsizetype &Pos)
{
    QString r;
    for (++Pos; Pos < S.size(); ++Pos) {
        if (S.at(Pos) == u'"') {
            if (Pos + 1 < S.size() && S.at(Pos + 1) == u'"') {
                r += u'"';
                ++Pos;
                continue;
            }
            ++Pos;
            break;
        }
        r += S.at(Pos);
    }
    return r;
}

QString StripQuotes(const QString &S)
{
    if (!S.isEmpty() && S.front() == u'"' && S.back() == u'"')
        return S.size() == 1 ? QString() : S.mid(1, S.size() - 2);
    return S;
}

QString TrimBlanks(const QString &S)
{
    auto blank = [](QChar c) { return c == u'\t' || c == u'\n' || c == u'\r' || c == u' '; };
    qsizetype b = 0, e = S.size();
    while (b < e && blank(S.at(b)))
        ++b;
    while (e > b && blank(S.at(e - 1)))
        --e;
    return CopyRange(S, int(b) + 1, int(e));
}

QString CopyRange(const QString &S, int From, int To)
{
    const qint64 count = qint64(To) - From + 1;
    if (count <= 0)
        return QString();
    const qint64 start = From < 1 ? 1 : From;
    if (start > S.size())
        return QString();
    return S.mid(start - 1, std::min<qint64>(count, S.size() - start + 1));
}

int AnsiPosFrom(const QByteArray &Sub, const QByteArray &S, int Offset)
{
    if (Sub.isEmpty() || Offset < 1 || S.size() < Offset)
        return 0;
    qsizetype i = Offset - 1;
    while (i + Sub.size() <= S.size()) {
        if (S.sliced(i, Sub.size()) == Sub)
            return int(i) + 1;
        i += IsCp932LeadByte(static_cast<unsigned char>(S.at(i))) ? 2 : 1;
    }
    return 0;
}

bool StrInArray(const QString &S, std::initializer_list<QString> Items)
{
    return std::find(Items.begin(), Items.end(), S) != Items.end();
}

bool StrInArray(const QString &S, const QStringList &Items)
{
    return Items.contains(S, Qt::CaseSensitive);
}

int IndexOfComboItem(const QComboBox *Combo, const QString &Text)
{
    if (!Combo)
        return -1;
    for (int i = 0; i < Combo->count(); ++i)
        if (Combo->itemText(i) == Text)
            return i;
    return -1;
}

void SelectComboItem(QComboBox *Combo, const QString &Text)
{
    if (Combo)
        Combo->setCurrentIndex(IndexOfComboItem(Combo, Text));
}

namespace {

bool isNullVariant(const QVariant &v)
{
    return !v.isValid() || v.isNull();
}

} // namespace

double VarToFloatDef(const QVariant &V, double Default)
{
    if (isNullVariant(V))
        return Default;
    if (V.typeId() == QMetaType::QString) {
        bool ok = false;
        const double d = V.toString().trimmed().toDouble(&ok);
        return ok ? d : Default;
    }
    bool ok = false;
    const double d = V.toDouble(&ok);
    return ok ? d : Default;
}

int VarToIntDef(const QVariant &V, int Default)
{
    if (isNullVariant(V))
        return Default;
    bool ok = false;
    switch (V.typeId()) {
    case QMetaType::QString: {
        const int i = V.toString().trimmed().toInt(&ok);
        return ok ? i : Default;
    }
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = V.toDouble();
        if (!std::isfinite(d) || d < -2147483648.0 || d > 2147483647.0)
            return Default;
        return int(std::nearbyint(d)); // halves to even, as the default rounding mode does
    }
    case QMetaType::Bool:
        return V.toBool() ? 1 : 0;
    default: {
        const qlonglong l = V.toLongLong(&ok);
        if (!ok || l < INT_MIN || l > INT_MAX)
            return Default;
        return int(l);
    }
    }
}

QDateTime VarToDateTimeDef(const QVariant &V, const QDateTime &Default)
{
    if (isNullVariant(V))
        return Default;
    switch (V.typeId()) {
    case QMetaType::QDateTime:
        return V.toDateTime();
    case QMetaType::QDate:
        return V.toDate().startOfDay();
    case QMetaType::QString: {
        const QString s = V.toString().trimmed();
        for (Qt::DateFormat f : {Qt::ISODateWithMs, Qt::ISODate}) {
            const QDateTime dt = QDateTime::fromString(s, f);
            if (dt.isValid())
                return dt;
        }
        for (const char *f : {"yyyy/MM/dd HH:mm:ss", "yyyy/MM/dd HH:mm", "yyyy/MM/dd",
                              "yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd"}) {
            const QDateTime dt = QDateTime::fromString(s, QString::fromLatin1(f));
            if (dt.isValid())
                return dt;
        }
        return Default;
    }
    default:
        return Default;
    }
}

int TextDisplayWidth(const QString &S)
{
    int w = 0;
    for (QChar c : S) {
        const char16_t u = c.unicode();
        w += ((u >= 0x20 && u <= 0x7E) || (u >= 0xFF61 && u <= 0xFF9F)) ? 1 : 2;
    }
    return w;
}

QString TextToHex(const QString &S, int Count)
{
    QByteArray bytes;
    bytes.reserve(S.size() * 2);
    for (QChar c : S) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    if (Count >= 0) {
        if (bytes.size() > Count)
            bytes.truncate(Count);
        else
            bytes.append(QByteArray(Count - bytes.size(), '\0'));
    }
    return QString::fromLatin1(bytes.toHex().toUpper());
}

QString SafeFileName(const QString &S)
{
    QString r = S;
    for (QChar c : {u'/', u'*', u'?', u'\\', u':', u'<', u'>', u'"', u'|'})
        r.remove(c);
    return r;
}

QString UniqueFileName(const QString &FileName)
{
    if (!QFileInfo::exists(FileName))
        return FileName;
    // The extension is the text from the last "." after the last folder separator.
    const qsizetype sep = std::max(FileName.lastIndexOf(u'/'), FileName.lastIndexOf(u'\\'));
    const qsizetype dot = FileName.lastIndexOf(u'.');
    const QString base = dot > sep ? FileName.left(dot) : FileName;
    const QString ext = dot > sep ? FileName.mid(dot) : QString();
    for (qint64 n = 1;; ++n) {
        const QString candidate = base + QStringLiteral("%1").arg(n, 2, 10, QChar(u'0')) + ext;
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

void RemoveBlankLines(QStringList &Lines, bool nullLine)
{
    if (!nullLine)
        return;
    for (qsizetype i = Lines.size() - 1; i >= 0; --i)
        if (Lines.at(i).isEmpty())
            Lines.removeAt(i);
}

void RemoveBlankLines(QStringList &Lines)
{
    RemoveBlankLines(Lines, TScriptOption::Global().NullLine);
}

namespace {

// Holds back the input events that arrive while EscapePressed lets the queue run, noting
// an Esc key press for the active window; the held events are posted again afterwards so
// that nothing is lost and the order is kept.
class EscapeProbe : public QObject {
public:
    bool FEscape = false;
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> FHeld;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
            break;
        default:
            return false;
        }
        if (!watched->isWidgetType())
            return false;
        if (event->type() == QEvent::KeyPress
            && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            QWidget *active = QApplication::activeWindow();
            QWidget *w = static_cast<QWidget *>(watched);
            if (active && (w == active || active->isAncestorOf(w)))
                FEscape = true;
        }
        FHeld.emplace_back(QPointer<QObject>(watched), std::unique_ptr<QEvent>(event->clone()));
        return true;
    }
};

} // namespace

bool EscapePressed()
{
    if (!QApplication::activeWindow())
        return false;
    EscapeProbe probe;
    qApp->installEventFilter(&probe);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    qApp->removeEventFilter(&probe);
    for (auto &[target, event] : probe.FHeld)
        if (target)
            QCoreApplication::postEvent(target, event.release());
    return probe.FEscape;
}

void CommitActiveEdit()
{
    QWidget *focus = QApplication::focusWidget();
    if (!focus)
        return;
    // An item view's in-place editor: the view writes the editor's value into the model.
    for (QWidget *w = focus->parentWidget(); w; w = w->parentWidget()) {
        if (auto *view = qobject_cast<QAbstractItemView *>(w)) {
            QWidget *editor = focus;
            while (editor->parentWidget() && editor->parentWidget() != view->viewport())
                editor = editor->parentWidget();
            // commitData ignores a widget that is no editor of the view.
            if (editor->parentWidget() == view->viewport())
                QMetaObject::invokeMethod(view, "commitData", Qt::DirectConnection,
                                          Q_ARG(QWidget *, editor));
            break;
        }
    }
    // The exit processing of the control itself, with the focus left where it is.
    QFocusEvent out(QEvent::FocusOut, Qt::OtherFocusReason);
    QCoreApplication::sendEvent(focus, &out);
    if (QApplication::focusWidget() == focus) {
        QFocusEvent in(QEvent::FocusIn, Qt::OtherFocusReason);
        QCoreApplication::sendEvent(focus, &in);
    }
}
