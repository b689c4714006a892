// The workbook as a package: opening, the workbook part, shared strings, cell formats,
// sheet management and saving. Cells live in workbook_sheet.cpp.
#include "platform/workbook_p.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QTextStream>
#include <QXmlStreamReader>
#include <quazip.h>
#include <quazipfile.h>
#include <quazipnewinfo.h>
#include <zlib.h>

namespace wb {

namespace {

const char *const NsMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char *const NsRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const char *const NsPkgRel = "http://schemas.openxmlformats.org/package/2006/relationships";
const char *const RelBase = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
const char *const StrictNs = "http://purl.oclc.org/ooxml/";

const char *const CtWorkbook = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";
const char *const CtMacroWorkbook = "application/vnd.ms-excel.sheet.macroEnabled.main+xml";
const char *const CtSheet = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
const char *const CtStyles = "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml";
const char *const CtStrings = "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml";

bool relTypeIs(const QString &type, const char *tail)
{
    return type.endsWith(QLatin1Char('/') + QLatin1String(tail));
}

QString fileFolder(const QString &part)
{
    const int slash = part.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : part.left(slash);
}

QByteArray domBytes(const QDomDocument &doc)
{
    QByteArray out = doc.toByteArray(-1);
    if (!out.startsWith("<?xml"))
        out.prepend("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n");
    return out;
}

QList<QDomElement> childElements(const QDomElement &parent, const QString &local)
{
    QList<QDomElement> out;
    for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        if (localName(e.tagName()) == local)
            out.append(e);
    return out;
}

QDomElement firstChild(const QDomElement &parent, const QString &local)
{
    for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        if (localName(e.tagName()) == local)
            return e;
    return {};
}

QString prefixOf(const QDomElement &e)
{
    const int colon = e.tagName().indexOf(QLatin1Char(':'));
    return colon < 0 ? QString() : e.tagName().left(colon + 1);
}

// The value of an attribute given by local name with any prefix ("r:id", "ns1:id").
QString prefixedAttribute(const QDomElement &e, const QString &local, QString *qname = nullptr)
{
    const QDomNamedNodeMap attrs = e.attributes();
    for (int i = 0; i < attrs.count(); ++i) {
        const QDomAttr a = attrs.item(i).toAttr();
        if (a.name().contains(QLatin1Char(':')) && localName(a.name()) == local
            && !a.name().startsWith(QLatin1String("xmlns"))) {
            if (qname)
                *qname = a.name();
            return a.value();
        }
    }
    return {};
}

const QByteArray CfbSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

QByteArray utf16Bytes(const char *latin)
{
    QByteArray out;
    for (const char *p = latin; *p; ++p) {
        out.append(*p);
        out.append('\0');
    }
    return out;
}

} // namespace

QString message(const char *utf8) { return QString::fromUtf8(utf8); }

QString localName(const QString &qname)
{
    const int colon = qname.indexOf(QLatin1Char(':'));
    return colon < 0 ? qname : qname.mid(colon + 1);
}

QString relsPartOf(const QString &part)
{
    const QString folder = fileFolder(part);
    const QString file = part.mid(folder.isEmpty() ? 0 : folder.size() + 1);
    return (folder.isEmpty() ? QString() : folder + QLatin1Char('/')) + QLatin1String("_rels/") + file
        + QLatin1String(".rels");
}

QString resolveTarget(const QString &sourcePart, const QString &target)
{
    QString t = target;
    const int hash = t.indexOf(QLatin1Char('#'));
    if (hash >= 0)
        t.truncate(hash);
    QStringList segments;
    if (!t.startsWith(QLatin1Char('/'))) {
        const QString folder = fileFolder(sourcePart);
        if (!folder.isEmpty())
            segments = folder.split(QLatin1Char('/'));
    }
    for (const QString &seg : t.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (seg == QLatin1String(".."))
            segments.isEmpty() ? void() : segments.removeLast();
        else if (seg != QLatin1String("."))
            segments.append(seg);
    }
    return segments.join(QLatin1Char('/'));
}

Error::Error(const QString &message) : std::runtime_error(message.toStdString()), FMessage(message) {}

// ---- package helpers ------------------------------------------------------------------

void Workbook::Data::fail(const QString &part, const QString &what) const
{
    const QString file = fileName.isEmpty() ? message("新しいブック") : QDir::toNativeSeparators(fileName);
    if (part.isEmpty())
        throw Error(message("%1: %2").arg(file, what));
    throw Error(message("%1 の部品 %2: %3").arg(file, part, what));
}

QDomDocument &Workbook::Data::dom(const QString &part)
{
    auto it = domParts.find(part);
    if (it != domParts.end())
        return *it;
    if (!parts.contains(part))
        fail(part, message("部品が見つかりません。"));
    QDomDocument doc;
    QString err;
    int line = 0, column = 0;
    if (!doc.setContent(parts.value(part), false, &err, &line, &column))
        fail(part, message("XMLが正しくありません(%1 行 %2 桁: %3)。").arg(line).arg(column).arg(err));
    parts.remove(part);
    return *domParts.insert(part, doc);
}

QDomDocument &Workbook::Data::rels(const QString &part, bool create)
{
    const QString relsPart = relsPartOf(part);
    if (!hasPart(relsPart)) {
        static QDomDocument empty;
        if (!create) {
            empty = QDomDocument();
            return empty;
        }
        QDomDocument doc;
        QDomElement root = doc.createElement(QStringLiteral("Relationships"));
        root.setAttribute(QStringLiteral("xmlns"), QLatin1String(NsPkgRel));
        doc.appendChild(root);
        putDom(relsPart, doc);
        if (!order.contains(relsPart))
            order.append(relsPart);
    }
    return dom(relsPart);
}

void Workbook::Data::putPart(const QString &part, const QByteArray &bytes)
{
    domParts.remove(part);
    parts.insert(part, bytes);
    if (!order.contains(part))
        order.append(part);
}

void Workbook::Data::putDom(const QString &part, const QDomDocument &doc)
{
    parts.remove(part);
    domParts.insert(part, doc);
    if (!order.contains(part))
        order.append(part);
}

QString Workbook::Data::uniquePartName(const QString &like) const
{
    const QString folder = fileFolder(like);
    QString file = like.mid(folder.size() + 1);
    const int dot = file.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot < 0 ? QString() : file.mid(dot);
    QString stem = dot < 0 ? file : file.left(dot);
    while (!stem.isEmpty() && stem.back().isDigit())
        stem.chop(1);
    for (int n = 1;; ++n) {
        const QString name = folder + QLatin1Char('/') + stem + QString::number(n) + ext;
        if (!hasPart(name))
            return name;
    }
}

void Workbook::Data::setOverride(const QString &part, const QString &contentType)
{
    QDomDocument &ct = dom(QStringLiteral("[Content_Types].xml"));
    QDomElement root = ct.documentElement();
    const QString name = QLatin1Char('/') + part;
    for (QDomElement e : childElements(root, QStringLiteral("Override"))) {
        if (e.attribute(QStringLiteral("PartName")).compare(name, Qt::CaseInsensitive) == 0) {
            if (contentType.isEmpty())
                root.removeChild(e);
            else
                e.setAttribute(QStringLiteral("ContentType"), contentType);
            return;
        }
    }
    if (contentType.isEmpty())
        return;
    QDomElement o = ct.createElement(prefixOf(root) + QStringLiteral("Override"));
    o.setAttribute(QStringLiteral("PartName"), name);
    o.setAttribute(QStringLiteral("ContentType"), contentType);
    root.appendChild(o);
}

QString Workbook::Data::contentTypeOf(const QString &part)
{
    QDomElement root = dom(QStringLiteral("[Content_Types].xml")).documentElement();
    const QString name = QLatin1Char('/') + part;
    for (const QDomElement &e : childElements(root, QStringLiteral("Override")))
        if (e.attribute(QStringLiteral("PartName")).compare(name, Qt::CaseInsensitive) == 0)
            return e.attribute(QStringLiteral("ContentType"));
    const QString ext = part.mid(part.lastIndexOf(QLatin1Char('.')) + 1);
    for (const QDomElement &e : childElements(root, QStringLiteral("Default")))
        if (e.attribute(QStringLiteral("Extension")).compare(ext, Qt::CaseInsensitive) == 0)
            return e.attribute(QStringLiteral("ContentType"));
    return {};
}

QString Workbook::Data::addRelationship(const QString &from, const QString &type, const QString &target)
{
    QDomDocument &doc = rels(from, true);
    QDomElement root = doc.documentElement();
    QSet<QString> used;
    for (const QDomElement &e : childElements(root, QStringLiteral("Relationship")))
        used.insert(e.attribute(QStringLiteral("Id")));
    QString id;
    for (int n = 1;; ++n) {
        id = QStringLiteral("rId%1").arg(n);
        if (!used.contains(id))
            break;
    }
    QDomElement r = doc.createElement(prefixOf(root) + QStringLiteral("Relationship"));
    r.setAttribute(QStringLiteral("Id"), id);
    r.setAttribute(QStringLiteral("Type"), type);
    r.setAttribute(QStringLiteral("Target"), target);
    root.appendChild(r);
    return id;
}

QDomElement Workbook::Data::workbookView()
{
    QDomDocument &doc = dom(workbookPart);
    QDomElement root = doc.documentElement();
    QDomElement views = firstChild(root, QStringLiteral("bookViews"));
    if (views.isNull()) {
        views = doc.createElement(prefixOf(root) + QStringLiteral("bookViews"));
        root.insertBefore(views, sheetsElement());
    }
    QDomElement view = firstChild(views, QStringLiteral("workbookView"));
    if (view.isNull()) {
        view = doc.createElement(prefixOf(root) + QStringLiteral("workbookView"));
        views.appendChild(view);
    }
    return view;
}

QDomElement Workbook::Data::sheetsElement()
{
    return firstChild(dom(workbookPart).documentElement(), QStringLiteral("sheets"));
}

QDomElement Workbook::Data::definedNames(bool create)
{
    QDomDocument &doc = dom(workbookPart);
    QDomElement root = doc.documentElement();
    QDomElement names = firstChild(root, QStringLiteral("definedNames"));
    if (names.isNull() && create) {
        names = doc.createElement(prefixOf(root) + QStringLiteral("definedNames"));
        // definedNames follows sheets, functionGroups and externalReferences
        QDomElement after = sheetsElement();
        for (const char *n : {"functionGroups", "externalReferences"}) {
            const QDomElement e = firstChild(root, QLatin1String(n));
            if (!e.isNull())
                after = e;
        }
        root.insertAfter(names, after);
    }
    return names;
}

QString Workbook::Data::relPrefix()
{
    QDomElement root = dom(workbookPart).documentElement();
    const QDomNamedNodeMap attrs = root.attributes();
    for (int i = 0; i < attrs.count(); ++i) {
        const QDomAttr a = attrs.item(i).toAttr();
        if (a.name().startsWith(QLatin1String("xmlns:")) && a.value() == QLatin1String(NsRel))
            return a.name().mid(6) + QLatin1Char(':');
    }
    root.setAttribute(QStringLiteral("xmlns:r"), QLatin1String(NsRel));
    return QStringLiteral("r:");
}

int Workbook::Data::sheetIndex(const Sheet *s) const
{
    for (size_t i = 0; i < sheets.size(); ++i)
        if (sheets[i].get() == s)
            return int(i);
    return -1;
}

// ---- shared strings ---------------------------------------------------------------------

namespace {

// Writes the current start element of the reader, with its attributes, into out.
void appendStartTag(QByteArray &out, const QXmlStreamReader &xml)
{
    out += '<';
    out += xml.qualifiedName().toUtf8();
    for (const QXmlStreamAttribute &a : xml.attributes()) {
        out += ' ';
        out += a.qualifiedName().toUtf8();
        out += "=\"";
        appendXmlText(out, a.value().toString(), true);
        out += '"';
    }
    for (const QXmlStreamNamespaceDeclaration &n : xml.namespaceDeclarations()) {
        out += n.prefix().isEmpty() ? QByteArray(" xmlns") : " xmlns:" + n.prefix().toUtf8();
        out += "=\"";
        appendXmlText(out, n.namespaceUri().toString(), true);
        out += '"';
    }
    out += '>';
}

} // namespace

void Workbook::Data::loadSharedStrings()
{
    if (sstPart.isEmpty())
        return;
    QXmlStreamReader xml(parts.value(sstPart));
    xml.setNamespaceProcessing(false);
    int depth = 0;          // depth inside <si>
    QByteArray raw;
    QString text;
    bool plain = true;
    int tCount = 0;
    bool inPhonetic = false;
    qsizetype openEnd = -1; // end of the last start tag written, while nothing follows it
    while (!xml.atEnd()) {
        const auto tok = xml.readNext();
        if (tok == QXmlStreamReader::StartElement) {
            const QString local = localName(xml.qualifiedName().toString());
            if (depth == 0 && local == QLatin1String("si")) {
                depth = 1;
                raw.clear();
                text.clear();
                plain = true;
                tCount = 0;
                continue;
            }
            if (depth > 0) {
                ++depth;
                appendStartTag(raw, xml);
                openEnd = raw.size();
                if (local == QLatin1String("rPh"))
                    inPhonetic = true;
                if (local == QLatin1String("t")) {
                    ++tCount;
                    if (depth != 2)
                        plain = false;
                } else {
                    plain = false;
                }
                if (local == QLatin1String("t") && !inPhonetic) {
                    // readElementText consumes the end tag, so the depth stays
                    const QString t = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                    text += decodeEscapes(t);
                    appendXmlText(raw, t, true);
                    raw += "</" + xml.qualifiedName().toUtf8() + '>';
                    --depth;
                }
            }
        } else if (tok == QXmlStreamReader::EndElement) {
            if (depth == 1) {
                depth = 0;
                sstText.push_back(text);
                if (plain && tCount <= 1)
                    indexSharedString(quint32(sstText.size() - 1), qHash(text));
                else
                    sstRaw.insert(quint32(sstText.size() - 1), raw);
            } else if (depth > 1) {
                --depth;
                if (localName(xml.qualifiedName().toString()) == QLatin1String("rPh"))
                    inPhonetic = false;
                if (raw.size() == openEnd) { // nothing inside: written as an empty element
                    raw.chop(1);
                    raw += "/>";
                } else {
                    raw += "</" + xml.qualifiedName().toUtf8() + '>';
                }
                openEnd = -1;
            }
        } else if (tok == QXmlStreamReader::Characters && depth > 1) {
            appendXmlText(raw, xml.text().toString(), true);
        }
    }
    if (xml.hasError())
        fail(sstPart, message("XMLが正しくありません(%1 行: %2)。").arg(xml.lineNumber()).arg(xml.errorString()));
}

quint32 Workbook::Data::findSharedString(const QString &text, size_t hash) const
{
    if (sstSlots.empty())
        return quint32(-1);
    const size_t mask = sstSlots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const quint32 slot = sstSlots[i];
        if (slot == 0)
            return quint32(-1);
        if (sstText[slot - 1] == text)
            return slot - 1;
    }
}

void Workbook::Data::indexSharedString(quint32 idx, size_t hash)
{
    if ((sstIndexed + 1) * 2 > sstSlots.size()) {
        // grow to twice the size and place every plain entry again
        std::vector<quint32> old;
        old.swap(sstSlots);
        sstSlots.assign(std::max<size_t>(1024, old.size() * 2), 0);
        const size_t mask = sstSlots.size() - 1;
        for (quint32 slot : old) {
            if (!slot)
                continue;
            size_t i = qHash(sstText[slot - 1]) & mask;
            while (sstSlots[i])
                i = (i + 1) & mask;
            sstSlots[i] = slot;
        }
    }
    const size_t mask = sstSlots.size() - 1;
    size_t i = hash & mask;
    while (sstSlots[i])
        i = (i + 1) & mask;
    sstSlots[i] = idx + 1;
    ++sstIndexed;
}

quint32 Workbook::Data::addSharedString(const QString &text)
{
    const size_t hash = qHash(text);
    const quint32 found = findSharedString(text, hash);
    if (found != quint32(-1))
        return found;
    sstText.push_back(text);
    const quint32 idx = quint32(sstText.size() - 1);
    indexSharedString(idx, hash);
    sstChanged = true;
    return idx;
}

QString Workbook::Data::sharedString(quint32 idx) const
{
    return idx < sstText.size() ? sstText[idx] : QString();
}

// ---- cell formats -------------------------------------------------------------------------

void Workbook::Data::loadStyles()
{
    xfFlags.clear();
    QDomElement root = dom(stylesPart).documentElement();
    QSet<int> textFormats{49};
    for (const QDomElement &f : childElements(firstChild(root, QStringLiteral("numFmts")), QStringLiteral("numFmt")))
        if (f.attribute(QStringLiteral("formatCode")) == QLatin1String("@"))
            textFormats.insert(f.attribute(QStringLiteral("numFmtId")).toInt());
    for (const QDomElement &xf : childElements(firstChild(root, QStringLiteral("cellXfs")), QStringLiteral("xf"))) {
        quint8 flags = 0;
        if (textFormats.contains(xf.attribute(QStringLiteral("numFmtId"), QStringLiteral("0")).toInt()))
            flags |= XfText;
        const QString q = xf.attribute(QStringLiteral("quotePrefix"));
        if (q == QLatin1String("1") || q == QLatin1String("true"))
            flags |= XfQuote;
        xfFlags.push_back(flags);
    }
    if (xfFlags.empty())
        fail(stylesPart, message("セルの書式(cellXfs)がありません。"));
}

bool Workbook::Data::xfIsText(quint32 xf) const { return xf < xfFlags.size() && (xfFlags[xf] & XfText); }
bool Workbook::Data::xfIsQuote(quint32 xf) const { return xf < xfFlags.size() && (xfFlags[xf] & XfQuote); }

quint32 Workbook::Data::deriveXf(quint32 base, int change)
{
    if (base >= xfFlags.size())
        base = 0;
    const quint8 flags = xfFlags[base];
    if ((change == XfQuoteOn && (flags & XfQuote)) || (change == XfQuoteOff && !(flags & XfQuote))
        || (change == XfTextFormat && (flags & XfText)))
        return base;
    const quint64 key = (quint64(base) << 8) | quint64(change);
    auto it = derivedXf.constFind(key);
    if (it != derivedXf.constEnd())
        return *it;
    QDomElement cellXfs = firstChild(dom(stylesPart).documentElement(), QStringLiteral("cellXfs"));
    const QList<QDomElement> xfs = childElements(cellXfs, QStringLiteral("xf"));
    QDomElement copy = xfs.at(int(base)).cloneNode(true).toElement();
    quint8 newFlags = flags;
    if (change == XfQuoteOn) {
        copy.setAttribute(QStringLiteral("quotePrefix"), QStringLiteral("1"));
        newFlags |= XfQuote;
    } else if (change == XfQuoteOff) {
        copy.removeAttribute(QStringLiteral("quotePrefix"));
        newFlags &= ~XfQuote;
    } else {
        copy.setAttribute(QStringLiteral("numFmtId"), QStringLiteral("49"));
        copy.setAttribute(QStringLiteral("applyNumberFormat"), QStringLiteral("1"));
        newFlags |= XfText;
    }
    // an identical existing format is reused
    for (int i = 0; i < xfs.size(); ++i) {
        if (xfFlags[size_t(i)] != newFlags)
            continue;
        QDomElement a = xfs.at(i).cloneNode(true).toElement();
        if (a.ownerDocument().isNull())
            continue;
        QString sa, sb;
        QTextStream ta(&sa), tb(&sb);
        xfs.at(i).save(ta, -1);
        copy.save(tb, -1);
        if (sa == sb) {
            derivedXf.insert(key, quint32(i));
            return quint32(i);
        }
    }
    cellXfs.appendChild(copy);
    cellXfs.setAttribute(QStringLiteral("count"), int(xfs.size() + 1));
    xfFlags.push_back(newFlags);
    const quint32 idx = quint32(xfFlags.size() - 1);
    derivedXf.insert(key, idx);
    return idx;
}

// ---- opening ------------------------------------------------------------------------------

namespace {

const char *const BlankStyles =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
    "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"游ゴシック\"/><family val=\"3\"/>"
    "<charset val=\"128\"/></font></fonts>"
    "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
    "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
    "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
    "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
    "<cellXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/></cellXfs>"
    "<cellStyles count=\"1\"><cellStyle name=\"標準\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
    "<dxfs count=\"0\"/><tableStyles count=\"0\"/>"
    "</styleSheet>";

QByteArray blankSheet(bool selected)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                      "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                      "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                      "<dimension ref=\"A1\"/><sheetViews><sheetView ")
        + (selected ? "tabSelected=\"1\" " : "")
        + "workbookViewId=\"0\"><selection activeCell=\"A1\" sqref=\"A1\"/></sheetView></sheetViews>"
          "<sheetFormatPr defaultRowHeight=\"18.75\"/><sheetData/>"
          "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/>"
          "</worksheet>";
}

} // namespace

Workbook::Workbook() : d(std::make_unique<Data>()) {}
Workbook::Workbook(Workbook &&) noexcept = default;
Workbook &Workbook::operator=(Workbook &&) noexcept = default;
Workbook::~Workbook() = default;

static void loadPackage(Workbook &book, Workbook::Data &d)
{
    if (!d.hasPart(QStringLiteral("[Content_Types].xml")))
        d.fail(QStringLiteral("[Content_Types].xml"), message("部品が見つかりません。Excelブックではありません。"));
    d.dom(QStringLiteral("[Content_Types].xml"));
    QDomElement rootRels = d.rels(QString()).documentElement();
    if (rootRels.isNull())
        d.fail(QStringLiteral("_rels/.rels"), message("部品が見つかりません。Excelブックではありません。"));
    for (const QDomElement &r : childElements(rootRels, QStringLiteral("Relationship"))) {
        const QString type = r.attribute(QStringLiteral("Type"));
        if (type.startsWith(QLatin1String(StrictNs)))
            d.fail(QString(), message("Strict Open XML 形式のブックには対応していません。"
                                      "Excelで通常の .xlsx 形式に保存したコピーを指定してください。"));
        if (relTypeIs(type, "officeDocument"))
            d.workbookPart = resolveTarget(QString(), r.attribute(QStringLiteral("Target")));
    }
    if (d.workbookPart.isEmpty())
        d.fail(QString(), message("ワークブックの部品がありません。Excelブックではありません。"));
    QDomElement wbRoot = d.dom(d.workbookPart).documentElement();
    if (wbRoot.attribute(QStringLiteral("xmlns")).startsWith(QLatin1String(StrictNs)))
        d.fail(QString(), message("Strict Open XML 形式のブックには対応していません。"
                                  "Excelで通常の .xlsx 形式に保存したコピーを指定してください。"));
    if (localName(wbRoot.tagName()) != QLatin1String("workbook"))
        d.fail(d.workbookPart, message("ワークブックの部品ではありません。"));

    QHash<QString, QPair<QString, QString>> targets; // id -> (type, part)
    for (const QDomElement &r : childElements(d.rels(d.workbookPart).documentElement(), QStringLiteral("Relationship"))) {
        if (r.attribute(QStringLiteral("TargetMode")) == QLatin1String("External"))
            continue;
        const QString type = r.attribute(QStringLiteral("Type"));
        const QString part = resolveTarget(d.workbookPart, r.attribute(QStringLiteral("Target")));
        targets.insert(r.attribute(QStringLiteral("Id")), {type, part});
        if (relTypeIs(type, "styles"))
            d.stylesPart = part;
        else if (relTypeIs(type, "sharedStrings"))
            d.sstPart = part;
    }
    for (const QString *p : {&d.stylesPart, &d.sstPart})
        if (!p->isEmpty() && !d.hasPart(*p))
            d.fail(*p, message("関係先の部品が見つかりません。"));
    if (d.stylesPart.isEmpty()) {
        d.stylesPart = resolveTarget(d.workbookPart, QStringLiteral("styles.xml"));
        d.putPart(d.stylesPart, BlankStyles);
        d.addRelationship(d.workbookPart, QLatin1String(RelBase) + QStringLiteral("styles"), QStringLiteral("styles.xml"));
        d.setOverride(d.stylesPart, QLatin1String(CtStyles));
    }
    d.loadStyles();
    d.loadSharedStrings();

    const QDomElement sheets = d.sheetsElement();
    for (const QDomElement &s : childElements(sheets, QStringLiteral("sheet"))) {
        const QString id = prefixedAttribute(s, QStringLiteral("id"));
        const auto t = targets.value(id);
        if (t.second.isEmpty() || !d.hasPart(t.second))
            d.fail(t.second.isEmpty() ? d.workbookPart : t.second,
                   message("シート「%1」の関係先の部品が見つかりません。").arg(s.attribute(QStringLiteral("name"))));
        std::unique_ptr<Sheet> sheet(new Sheet(&book));
        Sheet::Data &sd = sheet->data();
        sd.partName = t.second;
        sd.relId = id;
        sd.name = s.attribute(QStringLiteral("name"));
        sd.isChart = relTypeIs(t.first, "chartsheet");
        sd.raw = d.parts.value(t.second);
        d.sheets.push_back(std::move(sheet));
    }
    if (d.sheets.empty())
        d.fail(d.workbookPart, message("シートがありません。"));
}

Workbook Workbook::blank()
{
    Workbook book;
    Data &d = *book.d;
    d.putPart(QStringLiteral("[Content_Types].xml"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
              "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
              "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
              "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
              "<Override PartName=\"/xl/workbook.xml\" ContentType=\"" + QByteArray(CtWorkbook) + "\"/>"
              "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"" + QByteArray(CtSheet) + "\"/>"
              "<Override PartName=\"/xl/styles.xml\" ContentType=\"" + QByteArray(CtStyles) + "\"/>"
              "</Types>");
    d.putPart(QStringLiteral("_rels/.rels"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
              "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
              "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" Target=\"xl/workbook.xml\"/>"
              "</Relationships>");
    d.putPart(QStringLiteral("xl/workbook.xml"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
              "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
              "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
              "<bookViews><workbookView activeTab=\"0\"/></bookViews>"
              "<sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets>"
              "<calcPr calcId=\"191029\"/></workbook>");
    d.putPart(QStringLiteral("xl/_rels/workbook.xml.rels"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
              "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
              "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
              "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" Target=\"styles.xml\"/>"
              "</Relationships>");
    d.putPart(QStringLiteral("xl/styles.xml"), BlankStyles);
    d.putPart(QStringLiteral("xl/worksheets/sheet1.xml"), blankSheet(true));
    loadPackage(book, d);
    d.structureChanged = true;
    return book;
}

Workbook Workbook::open(const QString &fileName)
{
    Workbook book;
    Data &d = *book.d;
    d.fileName = QFileInfo(fileName).absoluteFilePath();
    const QString shown = QDir::toNativeSeparators(d.fileName);
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(message("ファイル %1 を開けません: %2").arg(shown, file.errorString()));
    const QByteArray bytes = file.readAll();
    file.close();
    if (bytes.startsWith(CfbSignature)) {
        if (bytes.contains(utf16Bytes("EncryptedPackage")) || bytes.contains(utf16Bytes("EncryptionInfo")))
            throw Error(message("%1 はパスワードで暗号化されたブックのため開けません。"
                                "パスワードを解除して保存したコピーを指定してください。").arg(shown));
        throw Error(message("%1 は旧形式(.xls)のExcelファイルのため開けません。"
                            "Excelで .xlsx 形式に保存したコピーを指定してください。").arg(shown));
    }
    QBuffer buffer;
    buffer.setData(bytes);
    QuaZip zip(&buffer);
    if (!zip.open(QuaZip::mdUnzip))
        throw Error(message("%1 はExcelブック(.xlsx)ではありません(ZIP形式として読めません)。").arg(shown));
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        const QString name = zip.getCurrentFileName();
        if (name.endsWith(QLatin1Char('/')))
            continue;
        QuaZipFile entry(&zip);
        if (!entry.open(QIODevice::ReadOnly))
            throw Error(message("%1 の部品 %2 を読み出せません。").arg(shown, name));
        const QByteArray content = entry.readAll();
        entry.close();
        if (entry.getZipError() != 0)
            throw Error(message("%1 の部品 %2 が壊れています。").arg(shown, name));
        d.putPart(name.startsWith(QLatin1Char('/')) ? name.mid(1) : name, content);
    }
    if (zip.getZipError() != 0)
        throw Error(message("%1 はExcelブック(.xlsx)ではありません(ZIP形式として読めません)。").arg(shown));
    zip.close();
    loadPackage(book, d);
    return book;
}

QString Workbook::fileName() const { return d->fileName; }
int Workbook::sheetCount() const { return int(d->sheets.size()); }
Sheet &Workbook::sheet(int index) const
{
    if (index < 0 || index >= sheetCount())
        d->fail(QString(), message("シート番号 %1 はありません。").arg(index + 1));
    return *d->sheets[size_t(index)];
}

Sheet *Workbook::findSheet(const QString &name) const
{
    for (const auto &s : d->sheets)
        if (s->data().name.compare(name, Qt::CaseInsensitive) == 0)
            return s.get();
    return nullptr;
}

Sheet &Workbook::sheetByName(const QString &name) const
{
    Sheet *s = findSheet(name);
    if (!s)
        d->fail(QString(), message("シート「%1」がありません。").arg(name));
    return *s;
}

Sheet &Workbook::activeSheet() const
{
    const int tab = d->workbookView().attribute(QStringLiteral("activeTab"), QStringLiteral("0")).toInt();
    return *d->sheets[size_t(qBound(0, tab, sheetCount() - 1))];
}

int Workbook::cutTextCount() const { return d->cut; }

QString Workbook::checkSheetName(const QString &name, const Sheet *except) const
{
    if (name.isEmpty())
        return message("シート名が空です。");
    if (name.size() > MaxSheetNameLength)
        return message("シート名「%1」は31文字を超えています。").arg(name);
    for (QChar c : name)
        if (QStringLiteral("[]:*?/\\").contains(c))
            return message("シート名「%1」には [ ] : * ? / \\ を使用できません。").arg(name);
    if (name.startsWith(QLatin1Char('\'')) || name.endsWith(QLatin1Char('\'')))
        return message("シート名「%1」の先頭と末尾にはアポストロフィを使用できません。").arg(name);
    if (name.compare(QLatin1String("History"), Qt::CaseInsensitive) == 0)
        return message("シート名「%1」は予約されているため使用できません。").arg(name);
    for (const auto &s : d->sheets)
        if (s.get() != except && s->data().name.compare(name, Qt::CaseInsensitive) == 0)
            return message("シート名「%1」は既に使われています。").arg(name);
    return {};
}

// ---- sheets -------------------------------------------------------------------------------

namespace {

// Moves every sheet-scoped name at or after `from` by `delta`; names of `removed` go.
void renumberLocalNames(Workbook::Data &d, int from, int delta, int removed = -1)
{
    QDomElement names = d.definedNames(false);
    for (QDomElement n : childElements(names, QStringLiteral("definedName"))) {
        if (!n.hasAttribute(QStringLiteral("localSheetId")))
            continue;
        const int id = n.attribute(QStringLiteral("localSheetId")).toInt();
        if (id == removed)
            names.removeChild(n);
        else if (id >= from)
            n.setAttribute(QStringLiteral("localSheetId"), id + delta);
    }
    if (!names.isNull() && names.firstChildElement().isNull())
        names.parentNode().removeChild(names);
}

// Replaces references to sheet `from` by references to `to` in a formula text.
QString renameInFormula(const QString &text, const QString &from, const QString &to)
{
    QString out = text;
    QString quotedFrom = from;
    quotedFrom.replace(QLatin1Char('\''), QStringLiteral("''"));
    out.replace(QLatin1Char('\'') + quotedFrom + QStringLiteral("'!"), quoteSheetName(to) + QLatin1Char('!'),
                Qt::CaseInsensitive);
    // unquoted form: only where no name character precedes
    QString result;
    const QString needle = from + QLatin1Char('!');
    int pos = 0;
    while (true) {
        const int hit = out.indexOf(needle, pos, Qt::CaseInsensitive);
        if (hit < 0)
            break;
        const bool boundary = hit == 0 || !(out.at(hit - 1).isLetterOrNumber() || out.at(hit - 1) == QLatin1Char('_')
                                           || out.at(hit - 1) == QLatin1Char('.') || out.at(hit - 1) == QLatin1Char('\''));
        result += out.mid(pos, hit - pos);
        result += boundary ? quoteSheetName(to) + QLatin1Char('!') : out.mid(hit, needle.size());
        pos = hit + needle.size();
    }
    result += out.mid(pos);
    return result;
}

void setSelectedTab(Sheet::Data &s, Workbook::Data &b, bool selected)
{
    if (s.isChart && !s.parsed)
        return;
    ensureParsed(s, b);
    QDomElement root = s.dom.documentElement();
    QDomElement views = firstChild(root, QStringLiteral("sheetViews"));
    QDomElement view = firstChild(views, QStringLiteral("sheetView"));
    if (view.isNull()) {
        if (!selected)
            return;
        if (views.isNull()) {
            views = s.dom.createElement(s.prefix + QStringLiteral("sheetViews"));
            QDomElement before;
            for (const char *n : {"sheetFormatPr", "cols", "sheetData"})
                if (before.isNull())
                    before = firstChild(root, QLatin1String(n));
            root.insertBefore(views, before);
        }
        view = s.dom.createElement(s.prefix + QStringLiteral("sheetView"));
        view.setAttribute(QStringLiteral("workbookViewId"), QStringLiteral("0"));
        views.appendChild(view);
    }
    const bool was = view.attribute(QStringLiteral("tabSelected")) == QLatin1String("1");
    if (was == selected)
        return;
    if (selected)
        view.setAttribute(QStringLiteral("tabSelected"), QStringLiteral("1"));
    else
        view.removeAttribute(QStringLiteral("tabSelected"));
    s.changed = true;
}

void setActiveIndex(Workbook::Data &d, int index)
{
    QDomElement view = d.workbookView();
    view.setAttribute(QStringLiteral("activeTab"), index);
    if (view.attribute(QStringLiteral("firstSheet")).toInt() > index)
        view.removeAttribute(QStringLiteral("firstSheet"));
    for (size_t i = 0; i < d.sheets.size(); ++i) {
        Sheet::Data &s = d.sheets[i]->data();
        // only sheets already read or the new active one need their views touched
        if (int(i) == index || s.parsed || s.raw.contains("tabSelected"))
            setSelectedTab(s, d, int(i) == index);
    }
    // a hidden sheet cannot be the active one
    QList<QDomElement> elems = childElements(d.sheetsElement(), QStringLiteral("sheet"));
    if (index < elems.size())
        elems[index].removeAttribute(QStringLiteral("state"));
    d.structureChanged = true;
}

int nextSheetId(Workbook::Data &d)
{
    int maxId = 0;
    for (const QDomElement &e : childElements(d.sheetsElement(), QStringLiteral("sheet")))
        maxId = std::max(maxId, e.attribute(QStringLiteral("sheetId")).toInt());
    return maxId + 1;
}

// Inserts a sheet element and its Sheet at `index` and makes it active.
Sheet &insertSheet(Workbook &book, Workbook::Data &d, std::unique_ptr<Sheet> sheet, int index)
{
    Sheet::Data &sd = sheet->data();
    const QString folder = fileFolder(d.workbookPart);
    const QString target = !folder.isEmpty() && sd.partName.startsWith(folder + QLatin1Char('/'))
        ? sd.partName.mid(folder.size() + 1) : QLatin1Char('/') + sd.partName;
    sd.relId = d.addRelationship(d.workbookPart, QLatin1String(RelBase) + QStringLiteral("worksheet"), target);
    d.setOverride(sd.partName, QLatin1String(CtSheet));
    QDomDocument &wbDoc = d.dom(d.workbookPart);
    QDomElement sheets = d.sheetsElement();
    QDomElement e = wbDoc.createElement(prefixOf(sheets) + QStringLiteral("sheet"));
    e.setAttribute(QStringLiteral("name"), sd.name);
    e.setAttribute(QStringLiteral("sheetId"), nextSheetId(d));
    e.setAttribute(d.relPrefix() + QStringLiteral("id"), sd.relId);
    const QList<QDomElement> elems = childElements(sheets, QStringLiteral("sheet"));
    if (index < elems.size())
        sheets.insertBefore(e, elems.at(index));
    else
        sheets.appendChild(e);
    renumberLocalNames(d, index, 1);
    d.sheets.insert(d.sheets.begin() + index, std::move(sheet));
    d.order.append(sd.partName);
    setActiveIndex(d, index);
    Q_UNUSED(book);
    return *d.sheets[size_t(index)];
}

QString nextFreeName(const Workbook &book, const QString &base, bool numbered)
{
    for (int n = numbered ? 2 : 1;; ++n) {
        QString suffix = numbered ? QStringLiteral(" (%1)").arg(n) : QString::number(n);
        const QString name = base.left(MaxSheetNameLength - int(suffix.size())) + suffix;
        if (!book.findSheet(name))
            return name;
    }
}

} // namespace

void activateSheetIndex(Workbook::Data &d, int index) { setActiveIndex(d, index); }

Sheet &Workbook::addSheet(const QString &name)
{
    const QString newName = name.isEmpty() ? nextFreeName(*this, QStringLiteral("Sheet"), false) : name;
    const QString problem = checkSheetName(newName);
    if (!problem.isEmpty())
        throw Error(problem);
    std::unique_ptr<Sheet> sheet(new Sheet(this));
    sheet->data().name = newName;
    sheet->data().partName = d->uniquePartName(QStringLiteral("xl/worksheets/sheet1.xml"));
    sheet->data().raw = blankSheet(false);
    d->parts.insert(sheet->data().partName, QByteArray()); // reserve the name
    return insertSheet(*this, *d, std::move(sheet), activeSheet().index());
}

namespace {

// Copies `part` and everything it owns; images and other media stay shared. `map` holds
// the copies made so far.
QString clonePart(Workbook::Data &d, const QString &part, QHash<QString, QString> &map)
{
    if (map.contains(part))
        return map.value(part);
    const QString copy = d.uniquePartName(part);
    map.insert(part, copy);
    d.parts.insert(copy, QByteArray()); // reserve
    const QString type = d.contentTypeOf(part);
    QByteArray bytes;
    if (d.hasDom(part))
        bytes = domBytes(d.dom(part));
    else
        bytes = d.parts.value(part);
    d.putPart(copy, bytes);
    if (!type.isEmpty()) {
        QDomElement root = d.dom(QStringLiteral("[Content_Types].xml")).documentElement();
        bool hasOverride = false;
        for (const QDomElement &e : childElements(root, QStringLiteral("Override")))
            hasOverride |= e.attribute(QStringLiteral("PartName")).compare(QLatin1Char('/') + part, Qt::CaseInsensitive) == 0;
        if (hasOverride)
            d.setOverride(copy, type);
    }
    const QDomDocument srcRels = d.rels(part);
    if (!srcRels.isNull() && !srcRels.documentElement().isNull()) {
        QDomDocument rels = srcRels.cloneNode(true).toDocument();
        for (QDomElement r : childElements(rels.documentElement(), QStringLiteral("Relationship"))) {
            if (r.attribute(QStringLiteral("TargetMode")) == QLatin1String("External"))
                continue;
            const QString t = r.attribute(QStringLiteral("Type"));
            if (relTypeIs(t, "image") || relTypeIs(t, "hyperlink") || relTypeIs(t, "oleObject")
                || relTypeIs(t, "package") || t.contains(QLatin1String("/media")))
                continue;
            const QString target = resolveTarget(part, r.attribute(QStringLiteral("Target")));
            if (!d.hasPart(target))
                continue;
            const QString copied = clonePart(d, target, map);
            QString text = r.attribute(QStringLiteral("Target"));
            const QString oldFile = target.mid(target.lastIndexOf(QLatin1Char('/')) + 1);
            const QString newFile = copied.mid(copied.lastIndexOf(QLatin1Char('/')) + 1);
            text.replace(text.size() - oldFile.size(), oldFile.size(), newFile);
            r.setAttribute(QStringLiteral("Target"), text);
        }
        d.putDom(relsPartOf(copy), rels);
    }
    return copy;
}

} // namespace

Sheet &Workbook::copySheet(Sheet &source, Sheet &anchor, bool after)
{
    Data &b = *d;
    Sheet::Data &src = source.data();
    if (src.isChart)
        b.fail(src.partName, message("グラフシート「%1」はコピーできません。").arg(src.name));
    const QDomDocument srcRels = b.rels(src.partName);
    for (const QDomElement &r : childElements(srcRels.documentElement(), QStringLiteral("Relationship"))) {
        const QString t = r.attribute(QStringLiteral("Type"));
        if (relTypeIs(t, "table") || relTypeIs(t, "pivotTable"))
            throw Error(message("シート「%1」にはテーブルまたはピボットテーブルがあるためコピーできません。").arg(src.name));
    }
    const QString newName = nextFreeName(*this, src.name, true);
    const int srcIndex = source.index();
    const QByteArray bytes = sheetBytes(src, b);
    QHash<QString, QString> map;
    std::unique_ptr<Sheet> sheet(new Sheet(this));
    Sheet::Data &sd = sheet->data();
    sd.name = newName;
    b.putPart(src.partName, bytes); // the source as it stands now, so that its copy is equal
    src.raw = bytes;
    src.parsed = src.cellsLoaded = src.changed = false;
    src.rows.clear();
    src.formulas.clear();
    src.errors.clear();
    src.colStylesValid = false;
    sd.partName = clonePart(b, src.partName, map);
    sd.raw = b.parts.value(sd.partName);
    b.order.removeAll(sd.partName);
    const int index = anchor.index() + (after ? 1 : 0);
    Sheet &made = insertSheet(*this, b, std::move(sheet), index);
    // sheet-scoped names of the source (print area, print titles) follow the copy
    const int srcNow = source.index();
    QDomElement names = b.definedNames(false);
    QList<QDomElement> copies;
    for (const QDomElement &n : childElements(names, QStringLiteral("definedName")))
        if (n.hasAttribute(QStringLiteral("localSheetId")) && n.attribute(QStringLiteral("localSheetId")).toInt() == srcNow)
            copies.append(n);
    for (const QDomElement &n : copies) {
        QDomElement c = n.cloneNode(true).toElement();
        c.setAttribute(QStringLiteral("localSheetId"), index);
        const QString text = c.text();
        while (c.hasChildNodes())
            c.removeChild(c.firstChild());
        c.appendChild(b.dom(b.workbookPart).createTextNode(renameInFormula(text, src.name, newName)));
        names.insertAfter(c, n);
    }
    Q_UNUSED(srcIndex);
    return made;
}

void Workbook::renameSheet(Sheet &sheet, const QString &name)
{
    const QString problem = checkSheetName(name, &sheet);
    if (!problem.isEmpty())
        throw Error(problem);
    Sheet::Data &s = sheet.data();
    const QString old = s.name;
    if (old == name)
        return;
    QList<QDomElement> elems = childElements(d->sheetsElement(), QStringLiteral("sheet"));
    elems[sheet.index()].setAttribute(QStringLiteral("name"), name);
    QDomElement names = d->definedNames(false);
    for (QDomElement n : childElements(names, QStringLiteral("definedName"))) {
        const QString text = n.text();
        const QString renamed = renameInFormula(text, old, name);
        if (renamed != text) {
            while (n.hasChildNodes())
                n.removeChild(n.firstChild());
            n.appendChild(d->dom(d->workbookPart).createTextNode(renamed));
        }
    }
    s.name = name;
    d->structureChanged = true;
}

void Workbook::deleteSheet(Sheet &sheet)
{
    if (sheetCount() <= 1)
        throw Error(message("ブックの最後のシート「%1」は削除できません。").arg(sheet.name()));
    const int index = sheet.index();
    const bool wasActive = activeSheet().index() == index;
    int active = activeSheet().index();
    QDomElement sheets = d->sheetsElement();
    sheets.removeChild(childElements(sheets, QStringLiteral("sheet")).at(index));
    QDomElement rels = d->rels(d->workbookPart).documentElement();
    for (QDomElement r : childElements(rels, QStringLiteral("Relationship")))
        if (r.attribute(QStringLiteral("Id")) == sheet.data().relId)
            rels.removeChild(r);
    renumberLocalNames(*d, index + 1, -1, index);
    const QString oldName = sheet.data().name;
    d->sheets.erase(d->sheets.begin() + index); // the parts it owned go when the book is saved
    if (wasActive)
        active = std::min(index, sheetCount() - 1);
    else if (active > index)
        --active;
    Q_UNUSED(oldName);
    setActiveIndex(*d, active);
}

// ---- saving -------------------------------------------------------------------------------

namespace {

// Parts reachable from the package's relationships; everything else is left out on save.
QSet<QString> reachableParts(Workbook::Data &d)
{
    QSet<QString> seen;
    QStringList todo{QString()};
    while (!todo.isEmpty()) {
        const QString part = todo.takeLast();
        const QDomDocument rels = d.rels(part);
        if (rels.isNull() || rels.documentElement().isNull())
            continue;
        seen.insert(relsPartOf(part));
        for (const QDomElement &r : childElements(rels.documentElement(), QStringLiteral("Relationship"))) {
            if (r.attribute(QStringLiteral("TargetMode")) == QLatin1String("External"))
                continue;
            const QString target = resolveTarget(part, r.attribute(QStringLiteral("Target")));
            if (!seen.contains(target) && d.hasPart(target)) {
                seen.insert(target);
                todo.append(target);
            }
        }
    }
    return seen;
}

void writeSharedStrings(const Workbook::Data &d, const Sink &sink)
{
    QByteArray out;
    out.reserve((1 << 20) + 4096);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<sst xmlns=\"";
    out += NsMain;
    out += "\" uniqueCount=\"" + QByteArray::number(qulonglong(d.sstText.size())) + "\">";
    for (size_t i = 0; i < d.sstText.size(); ++i) {
        if (out.size() > (1 << 20))
            sink(out);
        const auto raw = d.sstRaw.constFind(quint32(i));
        if (raw != d.sstRaw.constEnd()) {
            out += "<si>";
            out += *raw;
            out += "</si>";
            continue;
        }
        const QString &t = d.sstText[i];
        const bool keepSpace = !t.isEmpty() && (t.front().isSpace() || t.back().isSpace() || t.contains(QLatin1Char('\n')));
        out += keepSpace ? "<si><t xml:space=\"preserve\">" : "<si><t>";
        appendXmlText(out, t, false);
        out += "</t></si>";
    }
    out += "</sst>";
    sink(out);
}

// One part of the package, written in pieces.
class EntryWriter {
public:
    EntryWriter(QuaZip &zip, const QString &name, const QString &shownFile, bool large)
        : FFile(&zip), FName(name), FShown(shownFile)
    {
        QuaZipNewInfo info(name);
        info.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        // large sheets favour speed: the fastest deflate level shrinks them nearly as well
        if (!FFile.open(QIODevice::WriteOnly, info, nullptr, 0, Z_DEFLATED, large ? 1 : 6))
            fail();
    }
    void write(QByteArray &bytes)
    {
        if (!bytes.isEmpty() && FFile.write(bytes) != bytes.size())
            fail();
        bytes.resize(0);
    }
    void close()
    {
        FFile.close();
        if (FFile.getZipError() != 0)
            fail();
    }

private:
    [[noreturn]] void fail()
    {
        throw Error(message("%1 に書き込めません(部品 %2)。ディスクの空き容量を確認してください。").arg(FShown, FName));
    }
    QuaZipFile FFile;
    QString FName, FShown;
};

} // namespace

void Workbook::save(const QString &fileName)
{
    Data &b = *d;
    const QFileInfo info(fileName);
    const QString target = info.absoluteFilePath();
    const QString shown = QDir::toNativeSeparators(target);
    const QString suffix = info.suffix().toLower();
    if (suffix != QLatin1String("xlsx") && suffix != QLatin1String("xlsm"))
        throw Error(message("%1: 保存先の拡張子は .xlsx または .xlsm にしてください。").arg(shown));
    if (!QDir().mkpath(info.absolutePath()))
        throw Error(message("フォルダ %1 を作成できません。").arg(QDir::toNativeSeparators(info.absolutePath())));

    // workbook-level fixes: macros, template type, calculation chain, full recalculation
    QDomElement wbRels = b.rels(b.workbookPart).documentElement();
    for (QDomElement r : childElements(wbRels, QStringLiteral("Relationship"))) {
        const QString t = r.attribute(QStringLiteral("Type"));
        if (relTypeIs(t, "calcChain") || (suffix == QLatin1String("xlsx") && relTypeIs(t, "vbaProject")))
            wbRels.removeChild(r);
    }
    bool hasMacros = false;
    for (const QDomElement &r : childElements(wbRels, QStringLiteral("Relationship")))
        hasMacros |= relTypeIs(r.attribute(QStringLiteral("Type")), "vbaProject");
    b.setOverride(b.workbookPart, QLatin1String(suffix == QLatin1String("xlsm") ? CtMacroWorkbook : CtWorkbook));
    Q_UNUSED(hasMacros);
    if (b.cellsChanged) {
        QDomDocument &wb = b.dom(b.workbookPart);
        QDomElement root = wb.documentElement();
        QDomElement calc = firstChild(root, QStringLiteral("calcPr"));
        if (calc.isNull()) {
            calc = wb.createElement(prefixOf(root) + QStringLiteral("calcPr"));
            QDomElement after = b.sheetsElement();
            for (const char *n : {"functionGroups", "externalReferences", "definedNames"}) {
                const QDomElement e = firstChild(root, QLatin1String(n));
                if (!e.isNull())
                    after = e;
            }
            root.insertAfter(calc, after);
        }
        calc.setAttribute(QStringLiteral("fullCalcOnLoad"), QStringLiteral("1"));
    }
    // shared strings: a part of their own once any exist
    if (b.sstPart.isEmpty() && !b.sstText.empty()) {
        b.sstPart = resolveTarget(b.workbookPart, QStringLiteral("sharedStrings.xml"));
        b.addRelationship(b.workbookPart, QLatin1String(RelBase) + QStringLiteral("sharedStrings"),
                          QStringLiteral("sharedStrings.xml"));
        b.setOverride(b.sstPart, QLatin1String(CtStrings));
        b.putPart(b.sstPart, QByteArray());
        b.sstChanged = true;
    }
    // the sheets' own parts must exist for the reachability walk
    for (const auto &s : b.sheets)
        if (!b.hasPart(s->data().partName))
            b.parts.insert(s->data().partName, s->data().raw);

    const QSet<QString> keep = reachableParts(b);
    // content types: no override for a part that is not written
    QDomElement ctRoot = b.dom(QStringLiteral("[Content_Types].xml")).documentElement();
    for (QDomElement e : childElements(ctRoot, QStringLiteral("Override")))
        if (!keep.contains(e.attribute(QStringLiteral("PartName")).mid(1)))
            ctRoot.removeChild(e);
    // a macro type left as the default of an extension no written part uses goes as well
    for (QDomElement e : childElements(ctRoot, QStringLiteral("Default"))) {
        if (!e.attribute(QStringLiteral("ContentType")).contains(QLatin1String("vbaProject")))
            continue;
        const QString ext = QLatin1Char('.') + e.attribute(QStringLiteral("Extension"));
        bool used = false;
        for (const QString &p : keep)
            used |= p.endsWith(ext, Qt::CaseInsensitive) && b.contentTypeOf(p) == e.attribute(QStringLiteral("ContentType"));
        if (!used)
            ctRoot.removeChild(e);
    }

    QSaveFile out(target);
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly))
        throw Error(message("%1 に保存できません: %2").arg(shown, out.errorString()));
    try {
        QuaZip zip(&out);
        zip.setAutoClose(false); // the file is committed below, only when complete
        // Zip64 records only for books that may pass 4 GiB; readers of ordinary books need none
        qint64 estimate = 0;
        for (auto it = b.parts.cbegin(); it != b.parts.cend(); ++it)
            estimate += it.value().size();
        for (const auto &s : b.sheets)
            for (const Row &r : s->data().rows)
                estimate += 64 + qint64(r.cells.size()) * 48;
        for (const QString &t : b.sstText)
            estimate += 16 + t.size() * 3;
        zip.setZip64Enabled(estimate > (qint64(3) << 30));
        zip.setUtf8Enabled(true);
        if (!zip.open(QuaZip::mdCreate))
            throw Error(message("%1 に保存できません。").arg(shown));
        QStringList names{QStringLiteral("[Content_Types].xml")};
        for (const QString &p : b.order)
            if (p != names.first() && keep.contains(p) && !names.contains(p))
                names.append(p);
        QHash<QString, Sheet::Data *> sheetByPart;
        for (const auto &s : b.sheets)
            sheetByPart.insert(s->data().partName, &s->data());
        for (const QString &p : names) {
            Sheet::Data *s = sheetByPart.value(p);
            const bool strings = p == b.sstPart && (b.sstChanged || b.parts.value(p).isEmpty());
            EntryWriter entry(zip, p, shown, (s && s->cellsLoaded) || strings);
            const Sink sink = [&entry](QByteArray &bytes) { entry.write(bytes); };
            QByteArray bytes;
            if (s)
                writeSheet(*s, b, sink);
            else if (strings)
                writeSharedStrings(b, sink);
            else if (b.hasDom(p))
                bytes = domBytes(b.dom(p));
            else
                bytes = b.parts.value(p);
            entry.write(bytes);
            entry.close();
        }
        zip.close();
        if (zip.getZipError() != 0)
            throw Error(message("%1 に保存できません。ディスクの空き容量を確認してください。").arg(shown));
    } catch (...) {
        out.cancelWriting();
        throw;
    }
    if (!out.commit())
        throw Error(message("%1 に保存できません: %2").arg(shown, out.errorString()));
}

} // namespace wb
