#include "support/xlsxcheck.h"

#include <QBuffer>
#include <QDomDocument>
#include <QFile>
#include <QRect>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>
#include <quazip.h>
#include <quazipfile.h>
#include <quazipnewinfo.h>

namespace xlsxcheck {

namespace {

QString local(const QString &qname)
{
    const int colon = qname.indexOf(QLatin1Char(':'));
    return colon < 0 ? qname : qname.mid(colon + 1);
}

QList<QDomElement> children(const QDomElement &parent, const QString &name)
{
    QList<QDomElement> out;
    for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        if (local(e.tagName()) == name)
            out.append(e);
    return out;
}

QDomElement child(const QDomElement &parent, const QString &name)
{
    const auto list = children(parent, name);
    return list.isEmpty() ? QDomElement() : list.first();
}

QString relsOf(const QString &part)
{
    const int slash = part.lastIndexOf(QLatin1Char('/'));
    return (slash < 0 ? QString() : part.left(slash + 1)) + QLatin1String("_rels/") + part.mid(slash + 1)
        + QLatin1String(".rels");
}

QString resolve(const QString &source, const QString &target)
{
    QStringList segs;
    if (!target.startsWith(QLatin1Char('/'))) {
        const int slash = source.lastIndexOf(QLatin1Char('/'));
        if (slash > 0)
            segs = source.left(slash).split(QLatin1Char('/'));
    }
    for (const QString &s : target.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (s == QLatin1String(".."))
            segs.isEmpty() ? void() : segs.removeLast();
        else if (s != QLatin1String("."))
            segs.append(s);
    }
    return segs.join(QLatin1Char('/'));
}

bool parseRef(const QString &ref, int *row, int *col)
{
    static const QRegularExpression re(QStringLiteral("^([A-Z]{1,3})([0-9]+)$"));
    const auto m = re.match(ref);
    if (!m.hasMatch())
        return false;
    int c = 0;
    for (QChar ch : m.captured(1))
        c = c * 26 + (ch.unicode() - 'A' + 1);
    *col = c;
    *row = m.captured(2).toInt();
    return c >= 1 && c <= 16384 && *row >= 1 && *row <= 1048576;
}

} // namespace

QMap<QString, QByteArray> readParts(const QString &fileName)
{
    QMap<QString, QByteArray> parts;
    QuaZip zip(fileName);
    if (!zip.open(QuaZip::mdUnzip))
        return parts;
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        QuaZipFile f(&zip);
        if (f.open(QIODevice::ReadOnly))
            parts.insert(zip.getCurrentFileName(), f.readAll());
    }
    return parts;
}

bool writeZip(const QString &fileName, const QMap<QString, QByteArray> &parts)
{
    QuaZip zip(fileName);
    if (!zip.open(QuaZip::mdCreate))
        return false;
    for (auto it = parts.begin(); it != parts.end(); ++it) {
        QuaZipFile f(&zip);
        if (!f.open(QIODevice::WriteOnly, QuaZipNewInfo(it.key())))
            return false;
        f.write(it.value());
        f.close();
    }
    zip.close();
    return zip.getZipError() == 0;
}

QStringList problems(const QString &fileName)
{
    QStringList out;
    const QMap<QString, QByteArray> parts = readParts(fileName);
    if (parts.isEmpty())
        return {QStringLiteral("not a zip or empty: ") + fileName};
    auto doc = [&](const QString &name, QDomDocument *d) {
        if (!parts.contains(name)) {
            out << QStringLiteral("missing part ") + name;
            return false;
        }
        QString err;
        int line = 0;
        if (!d->setContent(parts.value(name), false, &err, &line)) {
            out << QStringLiteral("malformed XML in %1 line %2: %3").arg(name).arg(line).arg(err);
            return false;
        }
        return true;
    };
    // content types
    QDomDocument ct;
    if (!doc(QStringLiteral("[Content_Types].xml"), &ct))
        return out;
    QSet<QString> defaults;
    QMap<QString, QString> overrides;
    for (const QDomElement &e : children(ct.documentElement(), QStringLiteral("Default")))
        defaults.insert(e.attribute(QStringLiteral("Extension")).toLower());
    for (const QDomElement &e : children(ct.documentElement(), QStringLiteral("Override"))) {
        const QString p = e.attribute(QStringLiteral("PartName")).mid(1);
        overrides.insert(p, e.attribute(QStringLiteral("ContentType")));
        if (!parts.contains(p))
            out << QStringLiteral("override for missing part ") + p;
    }
    for (auto it = parts.begin(); it != parts.end(); ++it) {
        if (it.key() == QLatin1String("[Content_Types].xml"))
            continue;
        const QString ext = it.key().mid(it.key().lastIndexOf(QLatin1Char('.')) + 1).toLower();
        if (!overrides.contains(it.key()) && !defaults.contains(ext))
            out << QStringLiteral("no content type for ") + it.key();
    }
    // relationships: targets present, every part reachable
    QSet<QString> reached{QStringLiteral("[Content_Types].xml")};
    QStringList todo{QString()};
    QString workbookPart;
    QMap<QString, QMap<QString, QString>> relTargets; // part -> id -> target part
    QMap<QString, QMap<QString, QString>> relTypes;
    while (!todo.isEmpty()) {
        const QString part = todo.takeLast();
        const QString rels = part.isEmpty() ? QStringLiteral("_rels/.rels") : relsOf(part);
        if (!parts.contains(rels))
            continue;
        reached.insert(rels);
        QDomDocument r;
        if (!doc(rels, &r))
            continue;
        for (const QDomElement &e : children(r.documentElement(), QStringLiteral("Relationship"))) {
            if (e.attribute(QStringLiteral("TargetMode")) == QLatin1String("External"))
                continue;
            const QString target = resolve(part, e.attribute(QStringLiteral("Target")));
            relTargets[part][e.attribute(QStringLiteral("Id"))] = target;
            relTypes[part][e.attribute(QStringLiteral("Id"))] = e.attribute(QStringLiteral("Type"));
            if (e.attribute(QStringLiteral("Type")).endsWith(QLatin1String("/officeDocument")))
                workbookPart = target;
            if (!parts.contains(target)) {
                out << QStringLiteral("relationship %1 of %2 points to missing %3").arg(e.attribute(QStringLiteral("Id")), rels, target);
                continue;
            }
            if (!reached.contains(target)) {
                reached.insert(target);
                todo.append(target);
            }
        }
    }
    for (auto it = parts.begin(); it != parts.end(); ++it)
        if (!reached.contains(it.key()))
            out << QStringLiteral("unreachable part ") + it.key();
    if (workbookPart.isEmpty())
        return out << QStringLiteral("no workbook part");

    // styles and shared strings
    int xfCount = 0, sstCount = -1;
    for (auto it = relTypes[workbookPart].begin(); it != relTypes[workbookPart].end(); ++it) {
        const QString target = relTargets[workbookPart][it.key()];
        if (it.value().endsWith(QLatin1String("/styles"))) {
            QDomDocument st;
            if (doc(target, &st)) {
                const QDomElement xfs = child(st.documentElement(), QStringLiteral("cellXfs"));
                xfCount = int(children(xfs, QStringLiteral("xf")).size());
                if (xfs.attribute(QStringLiteral("count")).toInt() != xfCount)
                    out << QStringLiteral("cellXfs count %1 but %2 entries").arg(xfs.attribute(QStringLiteral("count"))).arg(xfCount);
            }
        } else if (it.value().endsWith(QLatin1String("/sharedStrings"))) {
            QDomDocument sst;
            if (doc(target, &sst)) {
                sstCount = int(children(sst.documentElement(), QStringLiteral("si")).size());
                if (sst.documentElement().hasAttribute(QStringLiteral("uniqueCount"))
                    && sst.documentElement().attribute(QStringLiteral("uniqueCount")).toInt() != sstCount)
                    out << QStringLiteral("sst uniqueCount %1 but %2 entries").arg(sst.documentElement().attribute(QStringLiteral("uniqueCount"))).arg(sstCount);
            }
        } else if (it.value().endsWith(QLatin1String("/calcChain")) && !parts.contains(target)) {
            out << QStringLiteral("dangling calcChain");
        }
    }
    if (xfCount == 0)
        out << QStringLiteral("no cellXfs");

    // workbook: sheets, names, active tab
    QDomDocument wb;
    if (!doc(workbookPart, &wb))
        return out;
    const QList<QDomElement> sheets = children(child(wb.documentElement(), QStringLiteral("sheets")), QStringLiteral("sheet"));
    QSet<QString> names;
    static const QRegularExpression bad(QStringLiteral("[\\[\\]:*?/\\\\]"));
    QStringList sheetParts;
    for (const QDomElement &s : sheets) {
        const QString name = s.attribute(QStringLiteral("name"));
        if (name.isEmpty() || name.size() > 31 || name.contains(bad) || name.startsWith(QLatin1Char('\''))
            || name.endsWith(QLatin1Char('\'')))
            out << QStringLiteral("invalid sheet name ") + name;
        if (names.contains(name.toLower()))
            out << QStringLiteral("duplicate sheet name ") + name;
        names.insert(name.toLower());
        QString id;
        const QDomNamedNodeMap attrs = s.attributes();
        for (int i = 0; i < attrs.count(); ++i)
            if (attrs.item(i).nodeName().endsWith(QLatin1String(":id")))
                id = attrs.item(i).nodeValue();
        if (!relTargets[workbookPart].contains(id))
            out << QStringLiteral("sheet %1 has no relationship %2").arg(name, id);
        sheetParts << relTargets[workbookPart].value(id);
    }
    const int active = child(child(wb.documentElement(), QStringLiteral("bookViews")), QStringLiteral("workbookView"))
                           .attribute(QStringLiteral("activeTab"), QStringLiteral("0")).toInt();
    if (active < 0 || active >= sheets.size())
        out << QStringLiteral("activeTab %1 outside the sheets").arg(active);
    for (const QDomElement &n : children(child(wb.documentElement(), QStringLiteral("definedNames")), QStringLiteral("definedName")))
        if (n.hasAttribute(QStringLiteral("localSheetId")) && n.attribute(QStringLiteral("localSheetId")).toInt() >= sheets.size())
            out << QStringLiteral("name %1 on missing sheet %2").arg(n.attribute(QStringLiteral("name")), n.attribute(QStringLiteral("localSheetId")));

    // worksheets
    int selected = 0;
    for (int si = 0; si < sheetParts.size(); ++si) {
        const QString &part = sheetParts.at(si);
        if (!parts.contains(part))
            continue;
        const QByteArray &bytes = parts.value(part);
        if (bytes.contains("tabSelected=\"1\""))
            ++selected;
        QXmlStreamReader xml(bytes);
        int lastRow = 0, lastCol = 0, row = 0;
        QList<QRect> merges;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            const QString name = xml.name().toString();
            const auto a = xml.attributes();
            if (name == QLatin1String("row")) {
                row = a.value(QLatin1String("r")).toInt();
                if (row <= lastRow)
                    out << QStringLiteral("%1: row %2 after row %3").arg(part).arg(row).arg(lastRow);
                lastRow = row;
                lastCol = 0;
                if (a.hasAttribute(QLatin1String("s")) && a.value(QLatin1String("s")).toInt() >= xfCount)
                    out << QStringLiteral("%1: row %2 style out of range").arg(part).arg(row);
            } else if (name == QLatin1String("c")) {
                int r = 0, c = 0;
                const QString ref = a.value(QLatin1String("r")).toString();
                if (!parseRef(ref, &r, &c) || r != row || c <= lastCol)
                    out << QStringLiteral("%1: cell %2 out of place in row %3").arg(part, ref).arg(row);
                lastCol = c;
                if (a.value(QLatin1String("s")).toInt() >= xfCount)
                    out << QStringLiteral("%1: cell %2 style %3 out of range").arg(part, ref, a.value(QLatin1String("s")).toString());
                if (a.value(QLatin1String("t")) == QLatin1String("s")) {
                    xml.readNextStartElement();
                    const int idx = xml.readElementText().toInt();
                    if (idx < 0 || idx >= sstCount)
                        out << QStringLiteral("%1: cell %2 shared string %3 out of range").arg(part, ref).arg(idx);
                }
            } else if (name == QLatin1String("mergeCell")) {
                const QStringList ends = a.value(QLatin1String("ref")).toString().split(QLatin1Char(':'));
                int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
                if (ends.size() != 2 || !parseRef(ends[0], &r1, &c1) || !parseRef(ends[1], &r2, &c2)) {
                    out << QStringLiteral("%1: bad merge %2").arg(part, a.value(QLatin1String("ref")).toString());
                    continue;
                }
                for (const QRect &m : merges)
                    if (m.intersects(QRect(QPoint(c1, r1), QPoint(c2, r2))))
                        out << QStringLiteral("%1: merge %2 overlaps another").arg(part, a.value(QLatin1String("ref")).toString());
                merges.append(QRect(QPoint(c1, r1), QPoint(c2, r2)));
            } else if (name == QLatin1String("col")) {
                if (a.value(QLatin1String("style")).toInt() >= xfCount)
                    out << QStringLiteral("%1: column style out of range").arg(part);
            }
        }
        if (xml.hasError())
            out << QStringLiteral("%1: %2").arg(part, xml.errorString());
    }
    if (selected > 1)
        out << QStringLiteral("%1 sheets selected").arg(selected);
    return out;
}

} // namespace xlsxcheck
