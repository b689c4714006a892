// Worksheets: the compact cell store, typed entry, rectangles, block copy, columns, and
// reading and writing a worksheet part.
#include "platform/workbook_p.h"

#include <QXmlStreamReader>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace wb {

// ---- texts and numbers --------------------------------------------------------------------

namespace {

bool isHex(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        || (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
}

// "_xHHHH_" at position i of text
bool escapeAt(const QString &text, qsizetype i)
{
    return i + 6 < text.size() && text.at(i) == QLatin1Char('_') && (text.at(i + 1) == QLatin1Char('x'))
        && isHex(text.at(i + 2)) && isHex(text.at(i + 3)) && isHex(text.at(i + 4)) && isHex(text.at(i + 5))
        && text.at(i + 6) == QLatin1Char('_');
}

void appendEscape(QByteArray &out, ushort u)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "_x%04X_", unsigned(u));
    out += buf;
}

} // namespace

void appendXmlText(QByteArray &out, const QString &text, bool attribute)
{
    const QChar *p = text.constData();
    const qsizetype n = text.size();
    qsizetype plainFrom = 0;
    auto flush = [&](qsizetype to) {
        if (to > plainFrom)
            out += QStringView(p + plainFrom, to - plainFrom).toUtf8();
    };
    for (qsizetype i = 0; i < n; ++i) {
        const ushort u = p[i].unicode();
        const char *rep = nullptr;
        bool escape = false;
        switch (u) {
        case '&': rep = "&amp;"; break;
        case '<': rep = "&lt;"; break;
        case '>': rep = "&gt;"; break;
        case '"': rep = attribute ? "&quot;" : nullptr; break;
        case '\t': case '\n': break;
        case '\r': escape = !attribute; if (attribute) rep = "&#13;"; break;
        case '_': escape = !attribute && escapeAt(text, i); break;
        default:
            if (u < 0x20 || u == 0xFFFE || u == 0xFFFF)
                escape = true;
            else if (QChar::isHighSurrogate(u))
                escape = !(i + 1 < n && QChar::isLowSurrogate(p[i + 1].unicode())), i += escape ? 0 : 1;
            else if (QChar::isLowSurrogate(u))
                escape = true;
        }
        if (!rep && !escape)
            continue;
        flush(i);
        if (rep)
            out += rep;
        else if (attribute)
            out += ' '; // attributes never carry these; they are not text of ours
        else
            appendEscape(out, u);
        plainFrom = i + 1;
    }
    flush(n);
}

QString decodeEscapes(const QString &text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (escapeAt(text, i)) {
            out += QChar(ushort(text.mid(i + 2, 4).toUInt(nullptr, 16)));
            i += 6;
        } else {
            out += text.at(i);
        }
    }
    return out;
}

void appendNumber(QByteArray &out, double v)
{
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr - buf);
}

QString numberText(double v)
{
    QByteArray b;
    appendNumber(b, v);
    return QString::fromLatin1(b);
}

QString quoteSheetName(const QString &name)
{
    QString q = name;
    q.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

QString columnName(int column)
{
    if (column < 1 || column > MaxColumns)
        return {};
    QString out;
    while (column > 0) {
        const int rem = (column - 1) % 26;
        out.prepend(QChar(ushort('A' + rem)));
        column = (column - 1) / 26;
    }
    return out;
}

namespace {

void appendRef(QByteArray &out, int row, int column)
{
    char buf[16];
    int n = 0;
    char letters[4];
    int k = 0;
    for (int c = column; c > 0; c = (c - 1) / 26)
        letters[k++] = char('A' + (c - 1) % 26);
    while (k > 0)
        buf[n++] = letters[--k];
    const auto res = std::to_chars(buf + n, buf + sizeof buf, row);
    out.append(buf, res.ptr - buf);
}

QString refText(int row, int column)
{
    return columnName(column) + QString::number(row);
}

// Parses "$A$1" style parts. Returns false when not a cell reference.
bool parseRefParts(QStringView s, bool *colAbs, int *col, bool *rowAbs, int *row)
{
    qsizetype i = 0;
    *colAbs = i < s.size() && s[i] == QLatin1Char('$');
    if (*colAbs)
        ++i;
    int c = 0;
    const qsizetype letters = i;
    while (i < s.size() && s[i].isLetter() && s[i].unicode() < 128) {
        c = c * 26 + (s[i].toUpper().unicode() - 'A' + 1);
        ++i;
        if (i - letters > 3)
            return false;
    }
    if (i == letters || c > MaxColumns)
        return false;
    *rowAbs = i < s.size() && s[i] == QLatin1Char('$');
    if (*rowAbs)
        ++i;
    const qsizetype digits = i;
    qint64 r = 0;
    while (i < s.size() && s[i].isDigit() && s[i].unicode() < 128) {
        r = r * 10 + (s[i].unicode() - '0');
        if (r > MaxRows)
            return false;
        ++i;
    }
    if (i == digits || i != s.size() || r < 1)
        return false;
    *col = c;
    *row = int(r);
    return true;
}

} // namespace

bool parseCellRef(const QString &ref, int *row, int *column)
{
    bool ca, ra;
    return parseRefParts(ref, &ca, column, &ra, row);
}

Entry coerceEntry(const QString &text, bool textFormat)
{
    Entry e;
    if (text.isEmpty())
        return e;
    e.kind = Entry::Text;
    if (text.front() == QLatin1Char('\'')) {
        e.quotePrefix = true;
        e.text = text.mid(1);
    } else {
        e.text = text;
    }
    if (e.text.size() > MaxTextLength) {
        e.text.truncate(MaxTextLength);
        if (e.text.back().isHighSurrogate())
            e.text.chop(1);
        e.cut = true;
    }
    if (e.quotePrefix || textFormat)
        return e;
    // a plain decimal number: [+-]digits[.digits] or [+-].digits, at most 15 significant digits
    const QChar *p = text.constData();
    const qsizetype n = text.size();
    qsizetype i = 0;
    if (p[0] == QLatin1Char('+') || p[0] == QLatin1Char('-'))
        ++i;
    int digits = 0, significant = 0, pendingZeros = 0;
    bool leading = true, point = false;
    for (; i < n; ++i) {
        const ushort u = p[i].unicode();
        if (u == '.' && !point) {
            point = true;
            continue;
        }
        if (u < '0' || u > '9')
            return e;
        ++digits;
        if (u == '0' && leading)
            continue;
        leading = false;
        if (u == '0' && point) {
            ++pendingZeros; // trailing zeros of a fraction do not count
            continue;
        }
        significant += pendingZeros + 1;
        pendingZeros = 0;
    }
    if (!point)
        significant += pendingZeros;
    if (digits == 0 || significant > 15)
        return e;
    bool ok = false;
    const double v = QStringView(text).toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return e;
    e.kind = Entry::Number;
    e.number = v == 0 ? 0.0 : v;
    e.text.clear();
    return e;
}

// ---- formulas -----------------------------------------------------------------------------

QString shiftFormula(const QString &f, int dr, int dc)
{
    QString out;
    out.reserve(f.size() + 8);
    const qsizetype n = f.size();
    auto isNameChar = [](QChar c) {
        return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('.') || c == QLatin1Char('$')
            || c == QLatin1Char('\\');
    };
    auto shifted = [&](QStringView tok, bool *ok) -> QString {
        bool ca, ra;
        int c, r;
        *ok = parseRefParts(tok, &ca, &c, &ra, &r);
        if (!*ok)
            return {};
        const int nc = ca ? c : c + dc;
        const int nr = ra ? r : r + dr;
        if (nc < 1 || nc > MaxColumns || nr < 1 || nr > MaxRows)
            return QStringLiteral("#REF!");
        return (ca ? QStringLiteral("$") : QString()) + columnName(nc) + (ra ? QStringLiteral("$") : QString())
            + QString::number(nr);
    };
    // whole columns "A:C" and whole rows "1:3"
    auto shiftLine = [&](QStringView tok, bool columns, bool *ok) -> QString {
        const bool abs = tok.startsWith(QLatin1Char('$'));
        QStringView body = abs ? tok.mid(1) : tok;
        *ok = !body.isEmpty();
        int v = 0;
        for (QChar ch : body) {
            if (columns ? !(ch.isLetter() && ch.unicode() < 128) : !(ch.isDigit() && ch.unicode() < 128)) {
                *ok = false;
                return {};
            }
            v = columns ? v * 26 + (ch.toUpper().unicode() - 'A' + 1) : v * 10 + (ch.unicode() - '0');
            if (v > (columns ? MaxColumns : MaxRows)) {
                *ok = false;
                return {};
            }
        }
        if (abs)
            return tok.toString();
        const int nv = v + (columns ? dc : dr);
        if (nv < 1 || nv > (columns ? MaxColumns : MaxRows))
            return QStringLiteral("#REF!");
        return columns ? columnName(nv) : QString::number(nv);
    };
    qsizetype i = 0;
    while (i < n) {
        const QChar ch = f[i];
        if (ch == QLatin1Char('"')) { // string literal
            qsizetype j = i + 1;
            while (j < n) {
                if (f[j] == QLatin1Char('"')) {
                    if (j + 1 < n && f[j + 1] == QLatin1Char('"')) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            out += f.mid(i, j + 1 - i);
            i = j + 1;
            continue;
        }
        if (ch == QLatin1Char('\'')) { // quoted sheet name
            qsizetype j = i + 1;
            while (j < n) {
                if (f[j] == QLatin1Char('\'')) {
                    if (j + 1 < n && f[j + 1] == QLatin1Char('\'')) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            out += f.mid(i, j + 1 - i);
            i = j + 1;
            continue;
        }
        if (ch == QLatin1Char('[')) { // structured reference or external book
            int level = 0;
            qsizetype j = i;
            for (; j < n; ++j) {
                if (f[j] == QLatin1Char('['))
                    ++level;
                else if (f[j] == QLatin1Char(']') && --level == 0)
                    break;
            }
            out += f.mid(i, j + 1 - i);
            i = j + 1;
            continue;
        }
        if (isNameChar(ch)) {
            qsizetype j = i;
            while (j < n && isNameChar(f[j]))
                ++j;
            const QStringView tok = QStringView(f).mid(i, j - i);
            const QChar next = j < n ? f[j] : QChar();
            if (next == QLatin1Char('(') || next == QLatin1Char('!')) {
                out += tok;
                i = j;
                continue;
            }
            bool ok = false;
            QString s = shifted(tok, &ok);
            if (!ok && next == QLatin1Char(':')) {
                // "A:C" or "1:3": the second part follows the colon
                qsizetype k = j + 1;
                while (k < n && isNameChar(f[k]))
                    ++k;
                const QStringView tok2 = QStringView(f).mid(j + 1, k - j - 1);
                for (bool columns : {true, false}) {
                    bool ok1 = false, ok2 = false;
                    const QString a = shiftLine(tok, columns, &ok1);
                    const QString b = ok1 ? shiftLine(tok2, columns, &ok2) : QString();
                    if (ok1 && ok2) {
                        out += (a.startsWith(QLatin1Char('#')) || b.startsWith(QLatin1Char('#')))
                            ? QStringLiteral("#REF!") : a + QLatin1Char(':') + b;
                        i = k;
                        ok = true;
                        break;
                    }
                }
                if (ok)
                    continue;
            }
            out += ok ? s : tok.toString();
            i = j;
            continue;
        }
        out += ch;
        ++i;
    }
    return out;
}

// ---- parsing a worksheet --------------------------------------------------------------------

namespace {

QDomElement firstChildL(const QDomElement &parent, const char *local)
{
    for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        if (localName(e.tagName()) == QLatin1String(local))
            return e;
    return {};
}

QList<QDomElement> childrenL(const QDomElement &parent, const char *local)
{
    QList<QDomElement> out;
    for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        if (localName(e.tagName()) == QLatin1String(local))
            out.append(e);
    return out;
}

} // namespace

void ensureParsed(Sheet::Data &s, Workbook::Data &b)
{
    if (s.parsed)
        return;
    if (s.isChart)
        b.fail(s.partName, message("グラフシート「%1」にはセルがありません。").arg(s.name));
    // The cells are cut out of the text and read only when needed; the rest becomes a
    // small document.
    const QByteArray &raw = s.raw;
    qsizetype start = -1, tagEnd = -1, end = -1;
    QByteArray qname = "sheetData";
    for (qsizetype pos = raw.indexOf("sheetData"); pos >= 0; pos = raw.indexOf("sheetData", pos + 9)) {
        qsizetype lt = pos - 1;
        while (lt >= 0 && raw[lt] != '<' && raw[lt] != '>' && raw[lt] != '/' && raw[lt] != ' ')
            --lt;
        if (lt >= 0 && raw[lt] == '<') {
            start = lt;
            qname = raw.mid(lt + 1, pos + 9 - lt - 1);
            break;
        }
    }
    QByteArray rest;
    if (start >= 0) {
        tagEnd = raw.indexOf('>', start);
        if (tagEnd < 0)
            b.fail(s.partName, message("XMLが正しくありません(sheetData)。"));
        if (raw[tagEnd - 1] == '/') {
            end = tagEnd + 1;
            s.rawSheetData.clear();
        } else {
            const QByteArray close = "</" + qname + '>';
            const qsizetype c = raw.indexOf(close, tagEnd);
            if (c < 0)
                b.fail(s.partName, message("XMLが正しくありません(sheetData が閉じていません)。"));
            s.rawSheetData = raw.mid(tagEnd + 1, c - tagEnd - 1);
            end = c + close.size();
        }
        rest = raw.left(start) + '<' + qname + "/>" + raw.mid(end);
    } else {
        rest = raw;
    }
    QDomDocument doc;
    QString err;
    int line = 0, column = 0;
    if (!doc.setContent(rest, false, &err, &line, &column))
        b.fail(s.partName, message("XMLが正しくありません(%1 行 %2 桁: %3)。").arg(line).arg(column).arg(err));
    QDomElement root = doc.documentElement();
    if (localName(root.tagName()) != QLatin1String("worksheet"))
        b.fail(s.partName, message("ワークシートの部品ではありません。"));
    const int colon = root.tagName().indexOf(QLatin1Char(':'));
    s.prefix = colon < 0 ? QString() : root.tagName().left(colon + 1);
    if (start < 0) {
        QDomElement sd = doc.createElement(s.prefix + QStringLiteral("sheetData"));
        QDomElement before;
        for (QDomElement e = root.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
            const QString l = localName(e.tagName());
            if (l != QLatin1String("sheetPr") && l != QLatin1String("dimension") && l != QLatin1String("sheetViews")
                && l != QLatin1String("sheetFormatPr") && l != QLatin1String("cols")) {
                before = e;
                break;
            }
        }
        root.insertBefore(sd, before);
    }
    s.dom = doc;
    s.parsed = true;
    s.raw.clear();
}

void ensureCells(Sheet::Data &s, Workbook::Data &b)
{
    ensureParsed(s, b);
    if (s.cellsLoaded)
        return;
    s.cellsLoaded = true;
    if (s.rawSheetData.trimmed().isEmpty())
        return;
    QXmlStreamReader xml(QByteArray("<sheetData>") + s.rawSheetData + "</sheetData>");
    xml.setNamespaceProcessing(false);
    Row *row = nullptr;
    int nextRow = 1, nextCol = 1;
    QHash<int, QPair<QString, QPair<int, int>>> shared; // si -> (formula, anchor row/col)
    auto attr = [&](const char *name) { return xml.attributes().value(QLatin1String(name)); };
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        // without namespace processing the reader gives qualified names only
        const QStringView qn = xml.qualifiedName();
        const QStringView local = qn.contains(QLatin1Char(':')) ? qn.mid(qn.indexOf(QLatin1Char(':')) + 1) : qn;
        if (local == QLatin1String("sheetData"))
            continue; // the wrapper around the cut-out cells
        if (local == QLatin1String("row")) {
            Row r;
            const QStringView rr = attr("r");
            r.r = rr.isEmpty() ? nextRow : rr.toInt();
            if (r.r < 1 || r.r > MaxRows || (!s.rows.empty() && r.r <= s.rows.back().r))
                b.fail(s.partName, message("行番号 %1 が正しくありません。").arg(rr.toString()));
            nextRow = r.r + 1;
            nextCol = 1;
            if (!attr("s").isEmpty() && (attr("customFormat") == QLatin1String("1") || attr("customFormat") == QLatin1String("true"))) {
                r.style = attr("s").toUInt();
                r.flags |= RowHasStyle;
            }
            if (!attr("ht").isEmpty()) {
                r.ht = attr("ht").toFloat();
                r.flags |= RowHasHeight;
            }
            auto on = [&](const char *n) { return attr(n) == QLatin1String("1") || attr(n) == QLatin1String("true"); };
            if (on("customHeight")) r.flags |= RowCustomHeight;
            if (on("hidden")) r.flags |= RowHidden;
            if (on("collapsed")) r.flags |= RowCollapsed;
            if (on("thickTop")) r.flags |= RowThickTop;
            if (on("thickBot")) r.flags |= RowThickBottom;
            r.outline = quint8(attr("outlineLevel").toUInt());
            s.rows.push_back(std::move(r));
            row = &s.rows.back();
        } else if (local == QLatin1String("c") && row) {
            Cell c;
            const QString ref = attr("r").toString();
            int rr = row->r, cc = nextCol;
            if (!ref.isEmpty() && (!parseCellRef(ref, &rr, &cc) || rr != row->r))
                b.fail(s.partName, message("セル番地 %1 が正しくありません。").arg(ref));
            if (!row->cells.empty() && cc <= row->cells.back().col)
                b.fail(s.partName, message("セル番地 %1 の順序が正しくありません。").arg(ref));
            nextCol = cc + 1;
            c.col = quint16(cc);
            c.style = attr("s").toUInt();
            const QString t = attr("t").toString();
            QString v, fText, fType, fRef, inlineText;
            int si = -1;
            bool hasF = false, hasV = false;
            while (xml.readNextStartElement()) {
                const QString sub = localName(xml.qualifiedName().toString());
                if (sub == QLatin1String("v")) {
                    v = xml.readElementText();
                    hasV = true;
                } else if (sub == QLatin1String("f")) {
                    hasF = true;
                    fType = attr("t").toString();
                    fRef = attr("ref").toString();
                    si = attr("si").isEmpty() ? -1 : attr("si").toInt();
                    fText = xml.readElementText();
                } else if (sub == QLatin1String("is")) {
                    int depth = 1;
                    bool inPh = false;
                    while (depth > 0 && !xml.atEnd()) {
                        const auto tok = xml.readNext();
                        if (tok == QXmlStreamReader::StartElement) {
                            ++depth;
                            const QString l = localName(xml.qualifiedName().toString());
                            if (l == QLatin1String("rPh"))
                                inPh = true;
                            else if (l == QLatin1String("t") && !inPh) {
                                inlineText += decodeEscapes(xml.readElementText(QXmlStreamReader::IncludeChildElements));
                                --depth;
                            }
                        } else if (tok == QXmlStreamReader::EndElement) {
                            --depth;
                            if (localName(xml.qualifiedName().toString()) == QLatin1String("rPh"))
                                inPh = false;
                        }
                    }
                } else {
                    xml.skipCurrentElement();
                }
            }
            if (hasF) {
                if (fType == QLatin1String("shared")) {
                    if (!fText.isEmpty())
                        shared.insert(si, {fText, {row->r, cc}});
                    else if (shared.contains(si)) {
                        const auto m = shared.value(si);
                        fText = shiftFormula(m.first, row->r - m.second.first, cc - m.second.second);
                    }
                }
                Formula f;
                f.text = fText;
                if (fType == QLatin1String("array"))
                    f.arrayRef = fRef;
                if (hasV && !v.isEmpty()) {
                    f.cached = v;
                    f.cachedKind = t == QLatin1String("str") ? 2 : t == QLatin1String("b") ? 3 : t == QLatin1String("e") ? 4 : 1;
                }
                if (!fText.isEmpty() || !f.arrayRef.isEmpty()) {
                    c.kind = KFormula;
                    c.idx = quint32(s.formulas.size());
                    s.formulas.push_back(std::move(f));
                    row->cells.push_back(c);
                    continue;
                }
            }
            if (t == QLatin1String("s") && hasV) {
                bool ok = false;
                c.idx = v.toUInt(&ok);
                if (!ok || c.idx >= b.sstText.size())
                    b.fail(s.partName, message("セル %1 の共有文字列番号 %2 が正しくありません。").arg(ref, v));
                c.kind = KShared;
            } else if (t == QLatin1String("inlineStr") || (t == QLatin1String("str") && hasV)) {
                c.kind = KShared;
                c.idx = b.addSharedString(t == QLatin1String("str") ? v : inlineText);
            } else if (t == QLatin1String("b") && hasV) {
                c.kind = KBool;
                c.num = v.trimmed() == QLatin1String("1") ? 1 : 0;
            } else if (t == QLatin1String("e") && hasV) {
                c.kind = KError;
                c.idx = quint32(s.errors.size());
                s.errors.push_back(v);
            } else if (hasV && !v.isEmpty()) {
                bool ok = false;
                c.num = v.toDouble(&ok);
                if (!ok)
                    b.fail(s.partName, message("セル %1 の数値 %2 が正しくありません。").arg(ref, v));
                c.kind = KNumber;
            }
            row->cells.push_back(c);
        } else {
            xml.skipCurrentElement();
        }
    }
    if (xml.hasError())
        b.fail(s.partName, message("XMLが正しくありません(%1 行: %2)。").arg(xml.lineNumber()).arg(xml.errorString()));
    s.rawSheetData.clear();
    s.rawSheetData.squeeze();
}

// ---- writing a worksheet -------------------------------------------------------------------

namespace {

void updateDimension(Sheet::Data &s)
{
    QDomElement root = s.dom.documentElement();
    QDomElement dim = firstChildL(root, "dimension");
    int r1 = 0, r2 = 0, c1 = 0, c2 = 0;
    for (const Row &r : s.rows) {
        if (r.cells.empty())
            continue;
        if (!r1)
            r1 = r.r;
        r2 = r.r;
        c1 = c1 ? std::min<int>(c1, r.cells.front().col) : r.cells.front().col;
        c2 = std::max<int>(c2, r.cells.back().col);
    }
    if (dim.isNull())
        return;
    dim.setAttribute(QStringLiteral("ref"), r1 == 0 ? QStringLiteral("A1")
                     : (r1 == r2 && c1 == c2) ? refText(r1, c1)
                                              : refText(r1, c1) + QLatin1Char(':') + refText(r2, c2));
}

void appendFloat(QByteArray &out, float v)
{
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr - buf);
}

} // namespace

QByteArray sheetBytes(Sheet::Data &s, Workbook::Data &b)
{
    QByteArray all;
    writeSheet(s, b, [&all](QByteArray &piece) {
        all += piece;
        piece.resize(0);
    });
    return all;
}

void writeSheet(Sheet::Data &s, Workbook::Data &b, const Sink &sink)
{
    if (!s.parsed) {
        QByteArray raw = s.raw;
        sink(raw);
        return;
    }
    if (s.cellsLoaded)
        updateDimension(s);
    QByteArray head = s.dom.toByteArray(-1);
    if (!head.startsWith("<?xml"))
        head.prepend("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n");
    const QByteArray p = s.prefix.toUtf8();
    const QByteArray placeholder = '<' + p + "sheetData/>";
    const qsizetype at = head.indexOf(placeholder);
    if (at < 0)
        b.fail(s.partName, message("sheetData が見つかりません。"));
    QByteArray out;
    out.reserve(head.size() + (s.cellsLoaded ? (1 << 20) + 4096 : s.rawSheetData.size()) + 64);
    out.append(head.constData(), at);
    out += '<' + p + "sheetData>";
    if (!s.cellsLoaded) {
        out += s.rawSheetData;
    } else {
        const QByteArray rowTag = '<' + p + "row r=\"";
        const QByteArray rowEnd = "</" + p + "row>";
        const QByteArray cTag = '<' + p + "c r=\"";
        const QByteArray cEnd = "</" + p + "c>";
        const QByteArray vOpen = '<' + p + "v>", vClose = "</" + p + "v>";
        const QByteArray fOpen = '<' + p + "f", fClose = "</" + p + "f>";
        for (const Row &r : s.rows) {
            if (out.size() > (1 << 20))
                sink(out);
            if (r.cells.empty() && !(r.flags & (RowHasStyle | RowHasHeight | RowHidden)) && r.outline == 0)
                continue;
            out += rowTag;
            out += QByteArray::number(r.r);
            out += '"';
            if (r.flags & RowHasStyle)
                out += " s=\"" + QByteArray::number(r.style) + "\" customFormat=\"1\"";
            if (r.flags & RowHasHeight) {
                out += " ht=\"";
                appendFloat(out, r.ht);
                out += '"';
            }
            if (r.flags & RowCustomHeight) out += " customHeight=\"1\"";
            if (r.flags & RowHidden) out += " hidden=\"1\"";
            if (r.outline) out += " outlineLevel=\"" + QByteArray::number(r.outline) + '"';
            if (r.flags & RowCollapsed) out += " collapsed=\"1\"";
            if (r.flags & RowThickTop) out += " thickTop=\"1\"";
            if (r.flags & RowThickBottom) out += " thickBot=\"1\"";
            if (r.cells.empty()) {
                out += "/>";
                continue;
            }
            out += '>';
            for (const Cell &c : r.cells) {
                out += cTag;
                appendRef(out, r.r, c.col);
                out += '"';
                if (c.style)
                    out += " s=\"" + QByteArray::number(c.style) + '"';
                switch (c.kind) {
                case KBlank:
                    out += "/>";
                    continue;
                case KNumber:
                    out += '>';
                    out += vOpen;
                    appendNumber(out, c.num);
                    out += vClose;
                    break;
                case KShared:
                    out += " t=\"s\">";
                    out += vOpen;
                    out += QByteArray::number(c.idx);
                    out += vClose;
                    break;
                case KBool:
                    out += " t=\"b\">";
                    out += vOpen;
                    out += c.num != 0 ? '1' : '0';
                    out += vClose;
                    break;
                case KError:
                    out += " t=\"e\">";
                    out += vOpen;
                    appendXmlText(out, s.errors[c.idx], false);
                    out += vClose;
                    break;
                case KFormula: {
                    const Formula &f = s.formulas[c.idx];
                    static const char *const types[] = {"", "", " t=\"str\"", " t=\"b\"", " t=\"e\""};
                    out += types[f.cachedKind];
                    out += '>';
                    out += fOpen;
                    if (!f.arrayRef.isEmpty())
                        out += " t=\"array\" ref=\"" + f.arrayRef.toUtf8() + '"';
                    out += '>';
                    appendXmlText(out, f.text, true);
                    out += fClose;
                    if (f.cachedKind) {
                        out += vOpen;
                        appendXmlText(out, f.cached, true);
                        out += vClose;
                    }
                    break;
                }
                }
                out += cEnd;
            }
            out += rowEnd;
        }
    }
    out += "</" + p + "sheetData>";
    out.append(head.constData() + at + placeholder.size(), head.size() - at - placeholder.size());
    sink(out);
}

// ---- the cell store ------------------------------------------------------------------------

namespace {

Row *findRow(Sheet::Data &s, int r)
{
    auto it = std::lower_bound(s.rows.begin(), s.rows.end(), r, [](const Row &a, int v) { return a.r < v; });
    return (it != s.rows.end() && it->r == r) ? &*it : nullptr;
}

Row &rowAt(Sheet::Data &s, int r)
{
    if (s.rows.empty() || s.rows.back().r < r) {
        s.rows.emplace_back();
        s.rows.back().r = r;
        return s.rows.back();
    }
    auto it = std::lower_bound(s.rows.begin(), s.rows.end(), r, [](const Row &a, int v) { return a.r < v; });
    if (it != s.rows.end() && it->r == r)
        return *it;
    Row nr;
    nr.r = r;
    return *s.rows.insert(it, std::move(nr));
}

const Cell *findCell(const Row *row, int c)
{
    if (!row)
        return nullptr;
    auto it = std::lower_bound(row->cells.begin(), row->cells.end(), c, [](const Cell &a, int v) { return a.col < v; });
    return (it != row->cells.end() && it->col == c) ? &*it : nullptr;
}

void buildColStyles(Sheet::Data &s)
{
    s.colStyles.assign(MaxColumns + 1, 0);
    for (const QDomElement &col : childrenL(firstChildL(s.dom.documentElement(), "cols"), "col")) {
        const quint32 style = col.attribute(QStringLiteral("style")).toUInt();
        const int lo = std::max(1, col.attribute(QStringLiteral("min")).toInt());
        const int hi = std::min(MaxColumns, col.attribute(QStringLiteral("max")).toInt());
        for (int c = lo; c <= hi; ++c)
            s.colStyles[size_t(c)] = style;
    }
    s.colStylesValid = true;
}

// The format a new cell at (row, c) takes: its row's when the row has one, else its column's.
quint32 defaultStyle(Sheet::Data &s, const Row &row, int c)
{
    if (row.flags & RowHasStyle)
        return row.style;
    if (!s.colStylesValid)
        buildColStyles(s);
    return s.colStyles[size_t(c)];
}

Cell &cellAt(Sheet::Data &s, Row &row, int c)
{
    if (row.cells.empty() || row.cells.back().col < c) {
        Cell nc;
        nc.col = quint16(c);
        nc.style = defaultStyle(s, row, c);
        row.cells.push_back(nc);
        return row.cells.back();
    }
    auto it = std::lower_bound(row.cells.begin(), row.cells.end(), c, [](const Cell &a, int v) { return a.col < v; });
    if (it != row.cells.end() && it->col == c)
        return *it;
    Cell nc;
    nc.col = quint16(c);
    nc.style = defaultStyle(s, row, c);
    return *row.cells.insert(it, nc);
}

void checkCell(const Sheet::Data &s, int row, int column)
{
    if (row < 1 || row > MaxRows || column < 1 || column > MaxColumns)
        throw Error(message("シート「%1」のセル(%2 行, %3 列)はシートの範囲(1,048,576 行 × 16,384 列)の外です。")
                        .arg(s.name).arg(row).arg(column));
}

} // namespace

Sheet::Sheet(Workbook *book) : FBook(book), d(std::make_unique<Data>()) {}
Sheet::~Sheet() = default;

QString Sheet::name() const { return d->name; }
int Sheet::index() const { return FBook->data().sheetIndex(this); }

void Sheet::activate()
{
    Workbook::Data &b = FBook->data();
    const int idx = index();
    activateSheetIndex(b, idx);
}

namespace {

struct Store {
    Sheet::Data &s;
    Workbook::Data &b;
    // Writes one entry into a cell; returns false when the text was cut.
    bool put(int row, int column, const QString &text)
    {
        Row &r = rowAt(s, row);
        Cell *existing = const_cast<Cell *>(findCell(&r, column));
        quint32 style = existing ? existing->style : defaultStyle(s, r, column);
        const Entry e = coerceEntry(text, b.xfIsText(style));
        if (e.kind == Entry::Empty && !existing)
            return true;
        Cell &c = existing ? *existing : cellAt(s, r, column);
        b.cellsChanged = true;
        s.changed = true;
        if (e.cut)
            ++b.cut;
        switch (e.kind) {
        case Entry::Empty:
            c.kind = KBlank;
            c.num = 0;
            break;
        case Entry::Number:
            c.kind = KNumber;
            c.num = e.number;
            c.style = b.deriveXf(c.style, XfQuoteOff);
            break;
        case Entry::Text:
            c.kind = KShared;
            c.idx = b.addSharedString(e.text);
            c.style = b.deriveXf(c.style, e.quotePrefix ? XfQuoteOn : XfQuoteOff);
            break;
        }
        return !e.cut;
    }
    void putNumber(int row, int column, double v)
    {
        Row &r = rowAt(s, row);
        Cell &c = cellAt(s, r, column);
        c.kind = KNumber;
        c.num = v;
        c.style = b.deriveXf(c.style, XfQuoteOff);
        b.cellsChanged = true;
        s.changed = true;
    }
};

} // namespace

bool Sheet::setText(int row, int column, const QString &text)
{
    checkCell(*d, row, column);
    ensureCells(*d, FBook->data());
    return Store{*d, FBook->data()}.put(row, column, text);
}

void Sheet::setNumber(int row, int column, double value)
{
    checkCell(*d, row, column);
    ensureCells(*d, FBook->data());
    if (!std::isfinite(value))
        throw Error(message("セル %1 に書き込む数値が正しくありません。").arg(refText(row, column)));
    Store{*d, FBook->data()}.putNumber(row, column, value);
}

void Sheet::clearValue(int row, int column) { setText(row, column, QString()); }

namespace {

bool isNumberVariant(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::Double: case QMetaType::Float:
    case QMetaType::Short: case QMetaType::UShort: case QMetaType::Long: case QMetaType::ULong:
        return true;
    case QMetaType::LongLong:
        return std::llabs(v.toLongLong()) <= (1LL << 53);
    case QMetaType::ULongLong:
        return v.toULongLong() <= (1ULL << 53);
    default:
        return false;
    }
}

} // namespace

bool Sheet::setValue(int row, int column, const QVariant &value)
{
    if (isNumberVariant(value) && std::isfinite(value.toDouble())) {
        setNumber(row, column, value.toDouble());
        return true;
    }
    if (!value.isValid() || value.isNull())
        return setText(row, column, QString());
    if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::ULongLong) {
        // beyond what a double holds exactly: kept as text, every digit intact
        checkCell(*d, row, column);
        ensureCells(*d, FBook->data());
        Workbook::Data &b = FBook->data();
        Row &r = rowAt(*d, row);
        Cell &c = cellAt(*d, r, column);
        c.kind = KShared;
        c.idx = b.addSharedString(value.toString());
        c.style = b.deriveXf(c.style, XfQuoteOff);
        b.cellsChanged = d->changed = true;
        return true;
    }
    return setText(row, column, value.toString());
}

int Sheet::setValues(int top, int left, const QList<QVariantList> &values)
{
    int width = 0;
    for (const QVariantList &r : values)
        width = std::max(width, int(r.size()));
    if (values.isEmpty() || width == 0)
        return 0;
    checkCell(*d, top, left);
    checkCell(*d, top + int(values.size()) - 1, left + width - 1);
    Workbook::Data &b = FBook->data();
    ensureCells(*d, b);
    const int before = b.cut;
    for (int r = 0; r < values.size(); ++r) {
        const QVariantList &line = values.at(r);
        Row &row = rowAt(*d, top + r);
        if (row.cells.empty())
            row.cells.reserve(size_t(width));
        for (int c = 0; c < width; ++c)
            setValue(top + r, left + c, c < line.size() ? line.at(c) : QVariant());
    }
    return b.cut - before;
}

int Sheet::setRowTexts(int row, int left, const QStringList &texts)
{
    if (texts.isEmpty())
        return 0;
    checkCell(*d, row, left);
    checkCell(*d, row, left + int(texts.size()) - 1);
    Workbook::Data &b = FBook->data();
    ensureCells(*d, b);
    const int before = b.cut;
    Store st{*d, b};
    Row &r = rowAt(*d, row);
    if (r.cells.empty())
        r.cells.reserve(size_t(texts.size())); // a new row takes exactly what it needs
    for (int c = 0; c < texts.size(); ++c)
        st.put(row, left + c, texts.at(c));
    return b.cut - before;
}

CellValue Sheet::cell(int row, int column) const
{
    Workbook::Data &b = FBook->data();
    ensureCells(*d, b);
    CellValue v;
    const Cell *c = findCell(findRow(*d, row), column);
    if (!c)
        return v;
    v.style = int(c->style);
    switch (c->kind) {
    case KBlank: break;
    case KNumber: v.kind = CellValue::Number; v.number = c->num; break;
    case KShared: v.kind = CellValue::Text; v.text = b.sharedString(c->idx); break;
    case KBool: v.kind = CellValue::Boolean; v.number = c->num; break;
    case KError: v.kind = CellValue::Error; v.text = d->errors[c->idx]; break;
    case KFormula: v.kind = CellValue::Formula; v.text = d->formulas[c->idx].text; break;
    }
    return v;
}

QString Sheet::text(int row, int column) const
{
    const CellValue v = cell(row, column);
    switch (v.kind) {
    case CellValue::Empty: return {};
    case CellValue::Number: return numberText(v.number);
    case CellValue::Boolean: return v.number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case CellValue::Formula: return QLatin1Char('=') + v.text;
    default: return v.text;
    }
}

bool Sheet::hasQuotePrefix(int row, int column) const
{
    const Cell *c = (ensureCells(*d, FBook->data()), findCell(findRow(*d, row), column));
    return c && FBook->data().xfIsQuote(c->style);
}

bool Sheet::isTextFormat(int row, int column) const
{
    Workbook::Data &b = FBook->data();
    ensureCells(*d, b);
    Row *r = findRow(*d, row);
    if (const Cell *c = findCell(r, column))
        return b.xfIsText(c->style);
    if (r && (r->flags & RowHasStyle))
        return b.xfIsText(r->style);
    if (!d->colStylesValid)
        buildColStyles(*d);
    return b.xfIsText(d->colStyles[size_t(column)]);
}

int Sheet::lastRow() const
{
    ensureCells(*d, FBook->data());
    for (auto it = d->rows.rbegin(); it != d->rows.rend(); ++it)
        if (!it->cells.empty())
            return it->r;
    return 0;
}

int Sheet::lastColumn() const
{
    ensureCells(*d, FBook->data());
    int c = 0;
    for (const Row &r : d->rows)
        if (!r.cells.empty())
            c = std::max<int>(c, r.cells.back().col);
    return c;
}

// ---- columns -------------------------------------------------------------------------------

namespace {

QDomElement colsElement(Sheet::Data &s)
{
    QDomElement root = s.dom.documentElement();
    QDomElement cols = firstChildL(root, "cols");
    if (cols.isNull()) {
        cols = s.dom.createElement(s.prefix + QStringLiteral("cols"));
        root.insertBefore(cols, firstChildL(root, "sheetData"));
    }
    return cols;
}

double defaultWidth(Sheet::Data &s)
{
    const QDomElement fmt = firstChildL(s.dom.documentElement(), "sheetFormatPr");
    if (fmt.hasAttribute(QStringLiteral("defaultColWidth")))
        return fmt.attribute(QStringLiteral("defaultColWidth")).toDouble();
    return 8.38 + 0.62; // eight characters of the standard font plus its padding
}

// The <col> element for exactly one column, splitting a range that covers it.
QDomElement singleCol(Sheet::Data &s, int column)
{
    QDomElement cols = colsElement(s);
    for (QDomElement e : childrenL(cols, "col")) {
        const int lo = e.attribute(QStringLiteral("min")).toInt();
        const int hi = e.attribute(QStringLiteral("max")).toInt();
        if (column < lo)
            break;
        if (column > hi)
            continue;
        if (lo < column) {
            QDomElement before = e.cloneNode(true).toElement();
            before.setAttribute(QStringLiteral("max"), column - 1);
            cols.insertBefore(before, e);
        }
        if (hi > column) {
            QDomElement after = e.cloneNode(true).toElement();
            after.setAttribute(QStringLiteral("min"), column + 1);
            cols.insertAfter(after, e);
        }
        e.setAttribute(QStringLiteral("min"), column);
        e.setAttribute(QStringLiteral("max"), column);
        return e;
    }
    QDomElement e = s.dom.createElement(s.prefix + QStringLiteral("col"));
    e.setAttribute(QStringLiteral("min"), column);
    e.setAttribute(QStringLiteral("max"), column);
    e.setAttribute(QStringLiteral("width"), defaultWidth(s));
    QDomElement next;
    for (const QDomElement &o : childrenL(cols, "col"))
        if (o.attribute(QStringLiteral("min")).toInt() > column) {
            next = o;
            break;
        }
    cols.insertBefore(e, next);
    return e;
}

QString widthText(double w) { return numberText(std::round(w * 1e6) / 1e6); }

} // namespace

void Sheet::setColumnWidth(int column, double width)
{
    checkCell(*d, 1, column);
    if (!(width >= 0 && width <= 255))
        throw Error(message("列幅 %1 は 0 から 255 の範囲で指定してください。").arg(width));
    ensureParsed(*d, FBook->data());
    QDomElement e = singleCol(*d, column);
    e.setAttribute(QStringLiteral("width"), widthText(width));
    e.setAttribute(QStringLiteral("customWidth"), QStringLiteral("1"));
    d->changed = true;
}

double Sheet::columnWidth(int column) const
{
    ensureParsed(*d, FBook->data());
    for (const QDomElement &e : childrenL(firstChildL(d->dom.documentElement(), "cols"), "col"))
        if (e.attribute(QStringLiteral("min")).toInt() <= column && column <= e.attribute(QStringLiteral("max")).toInt())
            return e.attribute(QStringLiteral("width")).toDouble();
    return 0;
}

void Sheet::setColumnTextFormat(int column)
{
    checkCell(*d, 1, column);
    Workbook::Data &b = FBook->data();
    ensureCells(*d, b);
    QDomElement e = singleCol(*d, column);
    e.setAttribute(QStringLiteral("style"), b.deriveXf(e.attribute(QStringLiteral("style")).toUInt(), XfTextFormat));
    d->colStylesValid = false;
    for (Row &r : d->rows) {
        if (Cell *c = const_cast<Cell *>(findCell(&r, column)))
            c->style = b.deriveXf(c->style, XfTextFormat);
        else if (r.flags & RowHasStyle)
            cellAt(*d, r, column).style = b.deriveXf(r.style, XfTextFormat);
    }
    d->changed = true;
}

void Sheet::setRowTextFormat(int row)
{
    checkCell(*d, row, 1);
    Workbook::Data &b = FBook->data();
    ensureCells(*d, b);
    Row &r = rowAt(*d, row);
    r.style = b.deriveXf((r.flags & RowHasStyle) ? r.style : 0, XfTextFormat);
    r.flags |= RowHasStyle;
    for (Cell &c : r.cells)
        c.style = b.deriveXf(c.style, XfTextFormat);
    // cells of formatted columns keep their column format in that row, as text
    if (!d->colStylesValid)
        buildColStyles(*d);
    d->changed = true;
}

void Sheet::selectA1()
{
    ensureParsed(*d, FBook->data());
    QDomElement root = d->dom.documentElement();
    QDomElement views = firstChildL(root, "sheetViews");
    if (views.isNull()) {
        views = d->dom.createElement(d->prefix + QStringLiteral("sheetViews"));
        QDomElement before = firstChildL(root, "sheetFormatPr");
        if (before.isNull())
            before = firstChildL(root, "cols");
        if (before.isNull())
            before = firstChildL(root, "sheetData");
        root.insertBefore(views, before);
    }
    QDomElement view = firstChildL(views, "sheetView");
    if (view.isNull()) {
        view = d->dom.createElement(d->prefix + QStringLiteral("sheetView"));
        view.setAttribute(QStringLiteral("workbookViewId"), QStringLiteral("0"));
        views.appendChild(view);
    }
    view.removeAttribute(QStringLiteral("topLeftCell"));
    const QList<QDomElement> sels = childrenL(view, "selection");
    const bool hasPane = !firstChildL(view, "pane").isNull();
    if (sels.isEmpty()) {
        QDomElement sel = d->dom.createElement(d->prefix + QStringLiteral("selection"));
        view.appendChild(sel);
    }
    for (QDomElement sel : childrenL(view, "selection")) {
        if (hasPane && sel.attribute(QStringLiteral("pane")) != QLatin1String("topLeft") && sels.size() > 1)
            continue;
        sel.setAttribute(QStringLiteral("activeCell"), QStringLiteral("A1"));
        sel.setAttribute(QStringLiteral("sqref"), QStringLiteral("A1"));
        sel.removeAttribute(QStringLiteral("activeCellId"));
    }
    d->changed = true;
}

// ---- block copy -----------------------------------------------------------------------------

namespace {

struct Rect { int r1, c1, r2, c2; };

bool parseRange(const QString &text, Rect *rc)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() > 2)
        return false;
    int r1, c1, r2, c2;
    if (!parseCellRef(parts.at(0), &r1, &c1))
        return false;
    r2 = r1;
    c2 = c1;
    if (parts.size() == 2 && !parseCellRef(parts.at(1), &r2, &c2))
        return false;
    *rc = {std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2)};
    return true;
}

QString rangeText(const Rect &r)
{
    return (r.r1 == r.r2 && r.c1 == r.c2) ? refText(r.r1, r.c1)
                                          : refText(r.r1, r.c1) + QLatin1Char(':') + refText(r.r2, r.c2);
}

bool inside(const Rect &inner, const Rect &outer)
{
    return inner.r1 >= outer.r1 && inner.r2 <= outer.r2 && inner.c1 >= outer.c1 && inner.c2 <= outer.c2;
}

bool overlaps(const Rect &a, const Rect &b)
{
    return a.r1 <= b.r2 && b.r1 <= a.r2 && a.c1 <= b.c2 && b.c1 <= a.c2;
}

} // namespace

void Sheet::copyBlock(int top, int left, int bottom, int right, int destTop, int destLeft)
{
    if (bottom < top || right < left)
        throw Error(message("コピー元の範囲が正しくありません。"));
    checkCell(*d, top, left);
    checkCell(*d, bottom, right);
    const int dr = destTop - top, dc = destLeft - left;
    checkCell(*d, destTop, destLeft);
    checkCell(*d, bottom + dr, right + dc);
    Workbook::Data &b = FBook->data();
    ensureCells(*d, b);
    const Rect src{top, left, bottom, right};
    const Rect dst{destTop, destLeft, bottom + dr, right + dc};

    // snapshot of the source rows (the destination may overlap them)
    struct SrcRow { int r; quint32 style; float ht; quint8 flags; std::vector<Cell> cells; bool exists; };
    std::vector<SrcRow> rows;
    std::vector<Formula> formulas;
    for (int r = top; r <= bottom; ++r) {
        SrcRow sr{r, 0, 0, 0, {}, false};
        if (Row *row = findRow(*d, r)) {
            sr.exists = true;
            sr.style = row->style;
            sr.ht = row->ht;
            sr.flags = row->flags;
            auto lo = std::lower_bound(row->cells.begin(), row->cells.end(), left, [](const Cell &a, int v) { return a.col < v; });
            for (auto it = lo; it != row->cells.end() && it->col <= right; ++it) {
                Cell c = *it;
                if (c.kind == KFormula) {
                    Formula f = d->formulas[c.idx];
                    f.text = shiftFormula(f.text, dr, dc);
                    if (!f.arrayRef.isEmpty()) {
                        Rect ar;
                        f.arrayRef = parseRange(f.arrayRef, &ar) ? rangeText({ar.r1 + dr, ar.c1 + dc, ar.r2 + dr, ar.c2 + dc})
                                                                 : QString();
                    }
                    c.idx = quint32(formulas.size());
                    formulas.push_back(std::move(f));
                } else if (c.kind == KError) {
                    formulas.emplace_back();
                    formulas.back().cached = d->errors[c.idx];
                    c.idx = quint32(formulas.size() - 1);
                }
                sr.cells.push_back(c);
            }
        }
        rows.push_back(std::move(sr));
    }
    const bool wholeRows = left == 1 && right >= 255;
    for (const SrcRow &sr : rows) {
        Row &row = rowAt(*d, sr.r + dr);
        // clear the destination stretch, then place the copies
        auto lo = std::lower_bound(row.cells.begin(), row.cells.end(), destLeft, [](const Cell &a, int v) { return a.col < v; });
        auto hi = std::lower_bound(lo, row.cells.end(), destLeft + (right - left) + 1, [](const Cell &a, int v) { return a.col < v; });
        std::vector<Cell> placed;
        placed.reserve(sr.cells.size());
        for (Cell c : sr.cells) {
            c.col = quint16(c.col + dc);
            if (c.kind == KFormula) {
                d->formulas.push_back(formulas[c.idx]);
                c.idx = quint32(d->formulas.size() - 1);
            } else if (c.kind == KError) {
                d->errors.push_back(formulas[c.idx].cached);
                c.idx = quint32(d->errors.size() - 1);
            }
            placed.push_back(c);
        }
        const auto at = row.cells.erase(lo, hi);
        row.cells.insert(at, placed.begin(), placed.end());
        // heights (and the row format of a full-width copy) follow the source rows
        if (sr.exists && (sr.flags & RowHasHeight)) {
            row.ht = sr.ht;
            row.flags = quint8((row.flags & ~(RowHasHeight | RowCustomHeight)) | (sr.flags & (RowHasHeight | RowCustomHeight)));
        }
        if (wholeRows && sr.exists) {
            row.style = sr.style;
            row.flags = quint8((row.flags & ~RowHasStyle) | (sr.flags & RowHasStyle));
        }
    }
    // widths for a copy to the right
    if (dc != 0 && dr == 0) {
        for (int c = left; c <= right; ++c) {
            const double w = columnWidth(c);
            if (w > 0)
                setColumnWidth(c + dc, w);
        }
    }
    // merges, conditional formats and validations inside the block
    QDomElement root = d->dom.documentElement();
    QDomElement merges = firstChildL(root, "mergeCells");
    if (!merges.isNull()) {
        // the destination takes exactly the source's merges: any merge it overlapped goes
        // (overlapping merges make a book the spreadsheet program has to repair)
        QList<Rect> add;
        for (const QDomElement &m : childrenL(merges, "mergeCell")) {
            Rect rc;
            if (parseRange(m.attribute(QStringLiteral("ref")), &rc) && inside(rc, src))
                add.append({rc.r1 + dr, rc.c1 + dc, rc.r2 + dr, rc.c2 + dc});
        }
        for (QDomElement m : childrenL(merges, "mergeCell")) {
            Rect rc;
            if (parseRange(m.attribute(QStringLiteral("ref")), &rc) && overlaps(rc, dst))
                merges.removeChild(m);
        }
        for (const Rect &rc : add) {
            QDomElement m = d->dom.createElement(d->prefix + QStringLiteral("mergeCell"));
            m.setAttribute(QStringLiteral("ref"), rangeText(rc));
            merges.appendChild(m);
        }
        merges.setAttribute(QStringLiteral("count"), int(childrenL(merges, "mergeCell").size()));
    }
    auto extendSqref = [&](QDomElement e) {
        QStringList refs = e.attribute(QStringLiteral("sqref")).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QStringList added;
        for (const QString &ref : refs) {
            Rect rc;
            if (parseRange(ref, &rc) && inside(rc, src))
                added.append(rangeText({rc.r1 + dr, rc.c1 + dc, rc.r2 + dr, rc.c2 + dc}));
        }
        if (!added.isEmpty())
            e.setAttribute(QStringLiteral("sqref"), (refs + added).join(QLatin1Char(' ')));
    };
    for (QDomElement cf : childrenL(root, "conditionalFormatting"))
        extendSqref(cf);
    for (QDomElement dv : childrenL(firstChildL(root, "dataValidations"), "dataValidation"))
        extendSqref(dv);
    b.cellsChanged = true;
    d->changed = true;
}

} // namespace wb
