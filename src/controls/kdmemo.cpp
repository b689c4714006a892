#include "controls/kdmemo.h"

#include "controls/kdcodeassist.h"
#include "controls/kdmacro.h"
#include "core/kdreserve.h"

#include <QAction>
#include <QApplication>
#include <QFontDatabase>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

using kdassist::TAssistToken;

QColor WinColorToQColor(TColor stored)
{
    if (stored == clNone)
        return QColor();
    const quint32 value = quint32(stored);
    if ((value & 0xFF000000u) == 0xFF000000u) {
        // System colours of the original platform, taken from the application's palette.
        const QPalette pal = QApplication::palette();
        switch (value & 0xFF) {
        case 5: return pal.color(QPalette::Base);               // window
        case 8: return pal.color(QPalette::Text);               // window text
        case 13: return pal.color(QPalette::Highlight);
        case 14: return pal.color(QPalette::HighlightedText);
        case 15: return pal.color(QPalette::Button);            // button face
        case 16: return pal.color(QPalette::Mid);               // button shadow
        case 17: return pal.color(QPalette::Disabled, QPalette::Text); // gray text
        case 18: return pal.color(QPalette::ButtonText);
        case 24: return pal.color(QPalette::ToolTipBase);
        case 23: return pal.color(QPalette::ToolTipText);
        default: return pal.color(QPalette::Window);
        }
    }
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

void InstallFontSubstitutions()
{
    static const bool done = [] {
        const QStringList mono{QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("DejaVu Sans Mono"),
                               QStringLiteral("Monospace")};
        const QStringList prop{QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Sans Serif")};
        QFont::insertSubstitutions(QStringLiteral("ＭＳ ゴシック"), mono);
        QFont::insertSubstitutions(QStringLiteral("MS Gothic"), mono);
        QFont::insertSubstitutions(QStringLiteral("FixedSys"), mono);
        QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"), prop);
        QFont::insertSubstitutions(QStringLiteral("MS UI Gothic"), prop);
        return true;
    }();
    (void)done;
}

QString EditorFontFamily(const QString &name)
{
    InstallFontSubstitutions();
    // The base editor passes family names on as Latin-1: a Japanese name such as
    // "ＭＳ ゴシック" would arrive garbled and the text would fall back to a proportional
    // default font. The installed font the name stands for is handed on instead.
    // (Qt keeps substitutes in lower case; the installed family's own spelling is returned.)
    const QStringList installed = QFontDatabase::families();
    for (const QString &family : QFont::substitutes(name))
        for (const QString &have : installed)
            if (have.compare(family, Qt::CaseInsensitive) == 0)
                return have;
    return name;
}

// ---------------------------------------------------------------------------------------------
// Lexer

TkdSqlLexer::TkdSqlLexer(QObject *parent) : QsciLexerCustom(parent) {}

QString TkdSqlLexer::description(int style) const
{
    switch (style) {
    case Default: return QStringLiteral("Default");
    case Comment: return QStringLiteral("Comment");
    case Literal: return QStringLiteral("Literal");
    case Reserved: return QStringLiteral("Reserved");
    default: return QString();
    }
}

void TkdSqlLexer::SetWords(const QStringList &words)
{
    FWords.clear();
    for (const QString &w : words)
        FWords.insert(w.toUpper());
    FStatsPack = !words.isEmpty()
        && words.first().contains(QLatin1String(kdassist::StatsPackMarker), Qt::CaseInsensitive);
}

bool TkdSqlLexer::IsReserved(const QString &word) const
{
    return FWords.contains(word.toUpper());
}

namespace {
inline bool IsWordByte(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'
        || c == '$' || c >= 0x80;
}
// Line states kept by the lexer: what is open at the end of a line.
enum LineState { lsNone = 0, lsBlockComment = 1, lsQuote = 2, lsDoubleQuote = 3 };
} // namespace

void TkdSqlLexer::styleText(int start, int end)
{
    QsciScintilla *ed = editor();
    if (!ed || end <= start)
        return;
    using B = QsciScintillaBase;
    int line = int(ed->SendScintilla(B::SCI_LINEFROMPOSITION, (unsigned long)start));
    const int from = int(ed->SendScintilla(B::SCI_POSITIONFROMLINE, (unsigned long)line));
    int state = line > 0 ? int(ed->SendScintilla(B::SCI_GETLINESTATE, (unsigned long)(line - 1))) : lsNone;
    const int len = end - from;
    const char *p = reinterpret_cast<const char *>(
        ed->SendScintilla(B::SCI_GETRANGEPOINTER, (unsigned long)from, (long)len));
    if (!p)
        return;
    startStyling(from);

    int runStyle = -1, runLen = 0;
    auto put = [&](int n, int style) {
        if (style != runStyle) {
            if (runLen > 0)
                setStyling(runLen, runStyle);
            runStyle = style;
            runLen = 0;
        }
        runLen += n;
    };
    int lineStart = 0; // index in p of the current line's start
    QByteArray upper;
    int i = 0;
    while (i < len) {
        const unsigned char c = p[i];
        if (c == '\n') {
            put(1, state == lsNone ? Default : (state == lsBlockComment ? Comment : Literal));
            ed->SendScintilla(B::SCI_SETLINESTATE, (unsigned long)line, (long)state);
            ++line;
            ++i;
            lineStart = i;
            continue;
        }
        if (state == lsBlockComment) {
            int j = i;
            while (j < len && p[j] != '\n' && !(p[j] == '*' && j + 1 < len && p[j + 1] == '/'))
                ++j;
            if (j < len && p[j] == '*') {
                j += 2;
                state = lsNone;
            }
            put(j - i, Comment);
            i = j;
            continue;
        }
        if (state == lsQuote || state == lsDoubleQuote) {
            const char q = state == lsQuote ? '\'' : '"';
            int j = i;
            while (j < len && p[j] != '\n' && p[j] != q)
                ++j;
            if (j < len && p[j] == q) {
                ++j;
                state = lsNone;
            }
            put(j - i, Literal);
            i = j;
            continue;
        }
        if (c == '-' && i + 1 < len && p[i + 1] == '-') {
            int j = i;
            while (j < len && p[j] != '\n')
                ++j;
            put(j - i, Comment);
            i = j;
            continue;
        }
        if (c == '/' && i + 1 < len && p[i + 1] == '*') {
            state = lsBlockComment;
            put(2, Comment);
            i += 2;
            continue;
        }
        if (c == '\'' || c == '"') {
            state = c == '\'' ? lsQuote : lsDoubleQuote;
            put(1, Literal);
            ++i;
            continue;
        }
        if (IsWordByte(c)) {
            int j = i;
            bool ascii = true;
            while (j < len && IsWordByte((unsigned char)p[j])) {
                if ((unsigned char)p[j] >= 0x80)
                    ascii = false;
                ++j;
            }
            bool reserved = false;
            if (!FWords.isEmpty()) {
                if (FStatsPack) {
                    int e = lineStart;
                    while (e < len && p[e] != '\n')
                        ++e;
                    const QString lineText = QString::fromUtf8(p + lineStart, e - lineStart);
                    const int tokStart = QString::fromUtf8(p + lineStart, i - lineStart).size();
                    const int tokLen = QString::fromUtf8(p + i, j - i).size();
                    const QString key = QLatin1String(kdassist::StatsPackMarker)
                        + kdassist::TokenStringStatsPack(lineText, tokStart, tokLen);
                    reserved = FWords.contains(key.toUpper());
                } else if (ascii) {
                    upper = QByteArray(p + i, j - i).toUpper();
                    reserved = FWords.contains(QString::fromLatin1(upper));
                } else {
                    reserved = FWords.contains(QString::fromUtf8(p + i, j - i).toUpper());
                }
            }
            put(j - i, reserved ? Reserved : Default);
            i = j;
            continue;
        }
        put(1, Default);
        ++i;
    }
    if (runLen > 0)
        setStyling(runLen, runStyle);
}

// ---------------------------------------------------------------------------------------------
// Property set

void TkdMemoProp::LoadFrom(const TkdEditorSettings &s)
{
    Font.Name = s.FontName;
    Font.Size = s.FontSize;
    Font.Color = s.FontColor;
    Color = s.Color;
    Caret.AutoCursor = s.CaretAutoCursor;
    Caret.AutoIndent = s.CaretAutoIndent;
    Caret.BackSpaceUnIndent = s.CaretBackSpaceUnIndent;
    Caret.FreeCaret = s.CaretFreeCaret;
    Caret.InTab = s.CaretInTab;
    Caret.LockScroll = s.CaretLockScroll;
    Caret.NextLine = s.CaretNextLine;
    Caret.TabIndent = s.CaretTabIndent;
    Caret.SoftTab = s.CaretSoftTab;
    Caret.TabSpaceCount = s.CaretTabSpaceCount;
    Caret.SelMove = s.CaretSelMove;
    Caret.KeepCaret = s.CaretKeepCaret;
    Imagebar.Visible = s.ImagebarVisible;
    Leftbar.Visible = s.LeftbarVisible;
    Leftbar.LeftMargin = s.LeftbarLeftMargin;
    Leftbar.RightMargin = s.LeftbarRightMargin;
    Leftbar.Column = s.LeftbarColumn;
    Leftbar.BkColor = s.LeftbarBkColor;
    Ruler.Visible = s.RulerVisible;
    Ruler.GaugeRange = s.RulerGaugeRange;
    ScrollBarsBoth = s.ScrollBars == ssBoth;
    Marks.EofMark = {s.EofMarkColor, s.EofMarkVisible};
    Marks.RetMark = {s.RetMarkColor, s.RetMarkVisible};
    Marks.Underline = {s.UnderlineColor, s.UnderlineVisible};
    Marks.TabMark = {s.TabMarkColor, s.TabMarkVisible};
    Marks.SemiSpaceMark = {s.SemiSpaceMarkColor, s.SemiSpaceMarkVisible};
    Marks.SpaceMark = {s.SpaceMarkColor, s.SpaceMarkVisible};
    Margin.Left = s.MarginLeft;
    View.Commenter = s.Commenter;
    View.Quotation = s.Quotation;
    View.DoubleQuotation = s.DoubleQuotation;
    View.Colors.Comment.Color = s.CommentColor;
    View.Colors.Comment.BkColor = s.CommentBkColor;
    View.Colors.Str.Color = s.StrColor;
    View.Colors.Str.BkColor = s.StrBkColor;
    View.Colors.Reserve.Color = s.ReserveColor;
    View.Colors.Reserve.BkColor = s.ReserveBkColor;
    View.Colors.Hit.Color = s.HitColor;
    View.Colors.Hit.BkColor = s.HitBkColor;
    View.CommentBracket = {s.CommentColor, s.CommentBkColor};
    for (const TkdEditorBracket &b : s.Brackets)
        if (b.Left == QLatin1String("/*"))
            View.CommentBracket = {b.Color, b.BkColor};
    ReserveWordList = s.ReserveWordList;
}

void TkdMemoProp::SaveTo(TkdEditorSettings &s) const
{
    s.FontName = Font.Name;
    s.FontSize = Font.Size;
    s.FontColor = Font.Color;
    s.Color = Color;
    s.CaretAutoCursor = Caret.AutoCursor;
    s.CaretAutoIndent = Caret.AutoIndent;
    s.CaretBackSpaceUnIndent = Caret.BackSpaceUnIndent;
    s.CaretFreeCaret = Caret.FreeCaret;
    s.CaretInTab = Caret.InTab;
    s.CaretLockScroll = Caret.LockScroll;
    s.CaretNextLine = Caret.NextLine;
    s.CaretTabIndent = Caret.TabIndent;
    s.CaretSoftTab = Caret.SoftTab;
    s.CaretTabSpaceCount = Caret.TabSpaceCount;
    s.CaretSelMove = Caret.SelMove;
    s.CaretKeepCaret = Caret.KeepCaret;
    s.ImagebarVisible = Imagebar.Visible;
    s.LeftbarVisible = Leftbar.Visible;
    s.LeftbarLeftMargin = Leftbar.LeftMargin;
    s.LeftbarRightMargin = Leftbar.RightMargin;
    s.LeftbarColumn = Leftbar.Column;
    s.LeftbarBkColor = Leftbar.BkColor;
    s.RulerVisible = Ruler.Visible;
    s.RulerGaugeRange = Ruler.GaugeRange;
    s.ScrollBars = ScrollBarsBoth ? ssBoth : ssVertical;
    s.EofMarkColor = Marks.EofMark.Color;
    s.EofMarkVisible = Marks.EofMark.Visible;
    s.RetMarkColor = Marks.RetMark.Color;
    s.RetMarkVisible = Marks.RetMark.Visible;
    s.UnderlineColor = Marks.Underline.Color;
    s.UnderlineVisible = Marks.Underline.Visible;
    s.TabMarkColor = Marks.TabMark.Color;
    s.TabMarkVisible = Marks.TabMark.Visible;
    s.SemiSpaceMarkColor = Marks.SemiSpaceMark.Color;
    s.SemiSpaceMarkVisible = Marks.SemiSpaceMark.Visible;
    s.SpaceMarkColor = Marks.SpaceMark.Color;
    s.SpaceMarkVisible = Marks.SpaceMark.Visible;
    s.MarginLeft = Margin.Left;
    s.Commenter = View.Commenter;
    s.Quotation = View.Quotation;
    s.DoubleQuotation = View.DoubleQuotation;
    s.CommentColor = View.Colors.Comment.Color;
    s.CommentBkColor = View.Colors.Comment.BkColor;
    s.StrColor = View.Colors.Str.Color;
    s.StrBkColor = View.Colors.Str.BkColor;
    s.ReserveColor = View.Colors.Reserve.Color;
    s.ReserveBkColor = View.Colors.Reserve.BkColor;
    s.HitColor = View.Colors.Hit.Color;
    s.HitBkColor = View.Colors.Hit.BkColor;
    s.Brackets = {TkdEditorBracket{QStringLiteral("/*"), QStringLiteral("*/"), View.CommentBracket.Color,
                                   View.CommentBracket.BkColor}};
    s.ReserveWordList = ReserveWordList;
}

void TkdMemoProp::AssignTo(TkdMemo *memo) const
{
    if (memo)
        memo->ApplyProp(*this);
}

void TkdMemoProp::Assign(const TkdMemo *memo)
{
    if (!memo)
        return;
    *this = memo->Prop();
    ReserveWordList = memo->ReserveWordList();
}

// ---------------------------------------------------------------------------------------------
// Editor

TkdMemo::TkdMemo(QWidget *parent) : QsciScintilla(parent)
{
    InstallFontSubstitutions();
    setUtf8(true);
    FLexer = new TkdSqlLexer(this);
    setLexer(FLexer);
    setMarginWidth(1, 0);
    setBraceMatching(QsciScintilla::SloppyBraceMatch);
    // The horizontal scroll range follows the longest line shown.
    SendScintilla(SCI_SETSCROLLWIDTH, 1UL);
    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1UL);
    auto closeOnUserScroll = [this](int) { CloseCodeAssist(); };
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, closeOnUserScroll);
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this, closeOnUserScroll);
    // The ruler repaints whenever the view scrolls, the caret moves or the zoom changes.
    FRuler = new TkdMemoRuler(this);
    connect(this, &QsciScintillaBase::SCN_UPDATEUI, FRuler, [this](int) { FRuler->update(); });
    connect(this, &QsciScintillaBase::SCN_ZOOM, this, [this] { LayoutRuler(); });
    ApplyProp(FProp);
}

TkdMemo::~TkdMemo()
{
    if (FMacroList) {
        if (FMacroList->Status() == TkdMacroStatus::msRecording)
            EndRec();
        if (FMacroList->Status() == TkdMacroStatus::msRunning)
            CancelExec();
    }
    if (CodeAssist) {
        CodeAssist->setEnabled(false);
        delete CodeAssist;
        CodeAssist = nullptr;
    }
}

void TkdMemo::SetReserveWordList(const QStringList &words)
{
    // One entry per word (compared without regard to case), sorted without regard to case.
    QStringList list = UniqueWordsCaseInsensitive(words);
    SortWordsCaseInsensitive(list);
    FReserveWordList = list;
    FProp.ReserveWordList = list;
    FLexer->SetWords(list);
    recolor();
}

void TkdMemo::ApplyProp(const TkdMemoProp &prop)
{
    FProp = prop;
    QFont f(EditorFontFamily(prop.Font.Name));
    f.setPointSize(qMax(1, prop.Font.Size));
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    const QColor fg = WinColorToQColor(prop.Font.Color).isValid() ? WinColorToQColor(prop.Font.Color)
                                                                   : QColor(Qt::black);
    const QColor bg = WinColorToQColor(prop.Color).isValid() ? WinColorToQColor(prop.Color)
                                                            : QColor(Qt::white);
    auto styled = [&](bool bold, bool italic, bool underline) {
        QFont g = f;
        g.setBold(bold);
        g.setItalic(italic);
        g.setUnderline(underline);
        return g;
    };
    FLexer->setDefaultFont(f);
    FLexer->setDefaultColor(fg);
    FLexer->setDefaultPaper(bg);
    FLexer->setFont(styled(prop.Font.Bold, prop.Font.Italic, prop.Font.Underline), TkdSqlLexer::Default);
    FLexer->setColor(fg, TkdSqlLexer::Default);
    FLexer->setPaper(bg, TkdSqlLexer::Default);
    const std::pair<int, const TFountainColor *> classes[] = {
        {TkdSqlLexer::Comment, &prop.View.Colors.Comment},
        {TkdSqlLexer::Literal, &prop.View.Colors.Str},
        {TkdSqlLexer::Reserved, &prop.View.Colors.Reserve}};
    for (const auto &[style, fc] : classes) {
        const QColor c = WinColorToQColor(fc->Color);
        const QColor b = WinColorToQColor(fc->BkColor);
        FLexer->setFont(styled(fc->Bold, fc->Italic, fc->Underline), style);
        FLexer->setColor(c.isValid() ? c : fg, style);
        FLexer->setPaper(b.isValid() ? b : bg, style);
    }
    setPaper(bg);
    setColor(fg);
    setCaretForegroundColor(fg);

    setAutoIndent(prop.Caret.AutoIndent);
    setBackspaceUnindents(prop.Caret.BackSpaceUnIndent);
    setTabIndents(prop.Caret.TabIndent);
    setIndentationsUseTabs(!prop.Caret.SoftTab);
    setTabWidth(qMax(1, prop.Caret.TabSpaceCount));
    // Free caret: the caret may move past the end of a line into virtual space.
    SendScintilla(SCI_SETVIRTUALSPACEOPTIONS, (unsigned long)(prop.Caret.FreeCaret ? 3 : 1));

    setMarginType(0, QsciScintilla::NumberMargin);
    setMarginsFont(f);
    if (prop.Leftbar.Visible)
        setMarginWidth(0, QString(qMax(1, prop.Leftbar.Column) + 1, QLatin1Char('9')));
    else
        setMarginWidth(0, 0);
    const QColor lbBk = WinColorToQColor(prop.Leftbar.BkColor);
    const QColor lbFg = WinColorToQColor(prop.Leftbar.Color);
    if (lbBk.isValid())
        setMarginsBackgroundColor(lbBk);
    if (lbFg.isValid())
        setMarginsForegroundColor(lbFg);
    setMarginWidth(1, prop.Imagebar.Visible ? 16 : 0);
    SendScintilla(SCI_SETMARGINLEFT, 0UL, (long)prop.Margin.Left);

    // Marks (line ends, tabs, blanks, full-width blanks, end of text, caret-row underline)
    // are painted by the editor itself over the text (PaintMarks).
    setEolVisibility(false);
    setWhitespaceVisibility(QsciScintilla::WsInvisible);
    viewport()->update();
    const QColor hitBk = WinColorToQColor(prop.View.Colors.Hit.BkColor);
    if (hitBk.isValid())
        setSelectionBackgroundColor(hitBk.darker(110));

    setHorizontalScrollBarPolicy(prop.ScrollBarsBoth ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    // Dragging a selection to move it is the base editor's; without SelMove a press inside
    // the selection starts a new one instead (mousePressEvent).
    SetReserveWordList(prop.ReserveWordList);
    LayoutRuler();
}

void TkdMemo::LayoutRuler()
{
    if (!FRuler)
        return;
    const bool visible = FProp.Ruler.Visible;
    const int h = visible ? FRuler->sizeHint().height() : 0;
    setViewportMargins(0, h, 0, 0);
    if (visible) {
        const QRect vp = viewport()->geometry();
        FRuler->setGeometry(vp.x(), vp.y() - h, vp.width(), h);
        FRuler->show();
        FRuler->update();
    } else {
        FRuler->hide();
    }
}

// ---------------------------------------------------------------------------------------------
// Ruler

TkdMemoRuler::TkdMemoRuler(TkdMemo *memo) : QWidget(memo), FMemo(memo)
{
    setObjectName(QStringLiteral("Ruler"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QFont TkdMemoRuler::RulerFont() const
{
    QFont f = FMemo->Prop().Font.Name.isEmpty() ? font() : QFont(FMemo->Prop().Font.Name);
    f.setPixelSize(9);
    return f;
}

double TkdMemoRuler::ColumnWidth() const
{
    // The width of a half-width digit in the text's own style (zoom included), measured over
    // a hundred of them: the editor places characters at fractional positions.
    static const QByteArray digits(100, '0');
    const long w = FMemo->SendScintilla(QsciScintillaBase::SCI_TEXTWIDTH, (unsigned long)TkdSqlLexer::Default,
                                        digits.constData());
    return qMax(1.0, double(w) / 100.0);
}

int TkdMemoRuler::TextLeft() const
{
    int left = int(FMemo->SendScintilla(QsciScintillaBase::SCI_GETMARGINLEFT));
    for (int i = 0; i < 5; ++i)
        left += FMemo->marginWidth(i);
    return left;
}

int TkdMemoRuler::ColumnX(int column) const
{
    const int xOffset = int(FMemo->SendScintilla(QsciScintillaBase::SCI_GETXOFFSET));
    return TextLeft() - xOffset + qRound(column * ColumnWidth());
}

QSize TkdMemoRuler::sizeHint() const
{
    const QFontMetrics fm(RulerFont());
    return QSize(200, fm.height() + 7);
}

void TkdMemoRuler::paintEvent(QPaintEvent *)
{
    const TkdMemoProp::TRulerProp &r = FMemo->Prop().Ruler;
    QColor bg = WinColorToQColor(r.Colors.BkColor);
    QColor fg = WinColorToQColor(r.Colors.Color);
    QColor mark = WinColorToQColor(r.MarkColor);
    if (!bg.isValid())
        bg = palette().color(QPalette::Button);
    if (!fg.isValid())
        fg = palette().color(QPalette::ButtonText);
    if (!mark.isValid())
        mark = Qt::red;
    QPainter p(this);
    p.fillRect(rect(), bg);
    const int h = height();
    const int left = TextLeft();
    p.setPen(fg.lighter(180));
    p.drawLine(0, h - 1, width(), h - 1);
    p.setClipRect(QRect(left, 0, width() - left, h));

    const double cw = ColumnWidth();
    const int gauge = r.GaugeRange == 8 ? 8 : 10;
    const int half = gauge / 2;
    const int x0 = ColumnX(0);
    const int first = qMax(0, int((left - x0) / cw) - 1);
    const int last = int((width() - x0) / cw) + 1;
    const QFont f = RulerFont();
    p.setFont(f);
    const QFontMetrics fm(f);
    p.setPen(fg);
    for (int c = first; c <= last; ++c) {
        const int x = ColumnX(c);
        int tick = 2;
        if (c % gauge == 0)
            tick = h - 2;
        else if (c % half == 0)
            tick = 5;
        p.drawLine(x, h - 1 - tick, x, h - 1);
        if (c % gauge == 0 && c > 0)
            p.drawText(QPoint(x + 2, fm.ascent() + 1), QString::number(c));
    }
    // The caret's column: a marked cell at the caret's own position, so wide characters and
    // virtual space are shown where the caret really stands.
    const long pos = FMemo->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS);
    int cx = int(FMemo->SendScintilla(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0UL, pos));
    const long virt = FMemo->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONNCARETVIRTUALSPACE,
                                           (unsigned long)FMemo->SendScintilla(QsciScintillaBase::SCI_GETMAINSELECTION));
    cx += qRound(double(virt) * cw);
    QColor cell = mark;
    cell.setAlpha(90);
    p.fillRect(QRect(cx, 0, qMax(1, qRound(cw)), h - 1), cell);
    p.setPen(mark);
    p.drawLine(cx, 0, cx, h - 1);
}

QString TkdMemo::RowText(int line) const
{
    QString row = text(line);
    while (row.endsWith(QLatin1Char('\n')) || row.endsWith(QLatin1Char('\r')))
        row.chop(1);
    return row;
}

int TkdMemo::CaretColumn() const
{
    int line = 0, index = 0;
    getCursorPosition(&line, &index);
    return index;
}

QPoint TkdMemo::CaretClientPos() const
{
    const long pos = SendScintilla(SCI_GETCURRENTPOS);
    const int x = int(SendScintilla(SCI_POINTXFROMPOSITION, 0UL, pos));
    const int y = int(SendScintilla(SCI_POINTYFROMPOSITION, 0UL, pos));
    return viewport()->mapTo(this, QPoint(x, y));
}

TAssistToken TkdMemo::GetCodeAssistTokenInfo() const
{
    int line = 0, index = 0;
    getCursorPosition(&line, &index);
    if (lines() == 0)
        return {};
    const QString row = RowText(line);
    return kdassist::CodeAssistToken(row, index);
}

void TkdMemo::CloseCodeAssist(bool takeFocus)
{
    if (!CodeAssist)
        return;
    TkdCodeAssist *popup = CodeAssist;
    CodeAssist = nullptr;
    CASize.Width = popup->width();
    CASize.Height = popup->height();
    CASize.ColumnWidth = {popup->columnWidth(0), popup->columnWidth(1)};
    // Disabled first, so that its own loss of focus does nothing while it goes.
    popup->setEnabled(false);
    popup->hide();
    popup->deleteLater();
    if (takeFocus && isVisible())
        setFocus();
}

void TkdMemo::MultiLineSelect(int SP, int EP)
{
    if (lines() == 0)
        return;
    SP = qBound(0, SP, lines() - 1);
    EP = qBound(SP, EP, lines() - 1);
    if (EP + 1 < lines())
        setSelection(SP, 0, EP + 1, 0);
    else
        setSelection(SP, 0, EP, text(EP).size());
}

void TkdMemo::BeginUpdate()
{
    if (FUpdateCount++ == 0)
        viewport()->setUpdatesEnabled(false);
}

void TkdMemo::EndUpdate()
{
    if (FUpdateCount == 0)
        return;
    if (--FUpdateCount == 0) {
        viewport()->setUpdatesEnabled(true);
        viewport()->update();
    }
}

void TkdMemo::Jump(int Line)
{
    setFocus();
    const int n = lines();
    // Context below and above the target first, so that it ends up in the middle.
    if (Line + 9 >= 0 && Line + 9 < n) {
        setCursorPosition(Line + 9, 0);
        ensureCursorVisible();
    }
    if (Line - 11 >= 0 && Line - 11 < n) {
        setCursorPosition(Line - 11, 0);
        ensureCursorVisible();
    }
    setCursorPosition(qBound(0, Line - 1, qMax(0, n - 1)), 0);
    ensureCursorVisible();
}

void TkdMemo::SetSelIndex(int StartRow, int SelIndex)
{
    if (lines() == 0)
        return;
    StartRow = qBound(0, StartRow, lines() - 1);
    long pos = positionFromLineIndex(StartRow, 0);
    if (SelIndex > 0) {
        const long moved = SendScintilla(SCI_POSITIONRELATIVE, (unsigned long)pos, (long)SelIndex);
        pos = moved > 0 ? moved : SendScintilla(SCI_GETLENGTH);
    }
    int line = 0, index = 0;
    lineIndexFromPosition(int(pos), &line, &index);
    setCursorPosition(line, index);
}

void TkdMemo::SelectWordFromCaret()
{
    int line = 0, index = 0;
    getCursorPosition(&line, &index);
    if (lines() == 0)
        return;
    const QString row = RowText(line);
    int s = 0, n = 0;
    if (kdassist::WordAt(row, index, &s, &n))
        setSelection(line, s, line, s + n);
}

void TkdMemo::SelectWordFromCaretStatsPack()
{
    int line = 0, index = 0;
    getCursorPosition(&line, &index);
    if (lines() == 0)
        return;
    const QString row = RowText(line);
    // Plain tokens of the line: runs of word characters, and single other characters.
    int i = 0;
    while (i < row.size()) {
        int j = i + 1;
        if (kdassist::IsStatsPackChar(row.at(i)) || row.at(i).isLetterOrNumber())
            while (j < row.size() && (row.at(j).isLetterOrNumber() || row.at(j) == QLatin1Char('_')))
                ++j;
        const QString t = kdassist::TokenStringStatsPack(row, i, j - i);
        if (i <= index && i + t.size() - 1 >= index) {
            const int n = t.startsWith(QLatin1Char(' ')) ? t.size() - 1 : t.size();
            setSelection(line, i, line, i + n);
            return;
        }
        i = j;
    }
}

void TkdMemo::UndoMessage(int wParam)
{
    if (isReadOnly())
        return;
    if (wParam == 1)
        redo();
    else
        undo();
}

void TkdMemo::ConvertSelCase(bool upper)
{
    if (isReadOnly() || !hasSelectedText() || lines() == 0)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    int lf = 0, if_ = 0, lt = 0, it = 0;
    getSelection(&lf, &if_, &lt, &it);
    const QString sel = selectedText();
    const QString conv = kdassist::ConvertCase(sel, upper);
    if (conv != sel) {
        // One undo step, so the conversion can be taken back like any other edit.
        beginUndoAction();
        replaceSelectedText(conv);
        endUndoAction();
        setSelection(lf, if_, lt, it);
    }
    ensureCursorVisible();
    viewport()->update();
    QApplication::restoreOverrideCursor();
}

void TkdMemo::SelCommentOut()
{
    if (isReadOnly() || lines() == 0)
        return;
    kdassist::TCommentToggle opt;
    opt.TabWidth = tabWidth();
    // Wrapped lines wrap only on screen here; every line may be changed.
    opt.WrapByte = 0;
    int first = 0, last = 0, caretLine = 0, caretIndex = 0;
    getCursorPosition(&caretLine, &caretIndex);
    const bool rect = SendScintilla(SCI_SELECTIONISRECTANGLE) != 0;
    const bool hadSel = hasSelectedText();
    if (rect) {
        const long a = SendScintilla(SCI_GETRECTANGULARSELECTIONANCHOR);
        const long c = SendScintilla(SCI_GETRECTANGULARSELECTIONCARET);
        int la = 0, ia = 0, lc = 0, ic = 0;
        lineIndexFromPosition(int(a), &la, &ia);
        lineIndexFromPosition(int(c), &lc, &ic);
        first = qMin(la, lc);
        last = qMin(qMax(la, lc), lines() - 1);
        opt.BoxMode = true;
        opt.BoxLeft = qMin(ia, ic);
    } else if (hadSel) {
        int lf = 0, if_ = 0, lt = 0, it = 0;
        getSelection(&lf, &if_, &lt, &it);
        first = lf;
        last = (it == 0 && lt > lf) ? lt - 1 : lt;
    } else {
        first = last = caretLine;
    }
    QStringList rows;
    for (int l = first; l <= last; ++l) {
        rows << RowText(l);
    }
    const QStringList out = kdassist::ToggleLineComments(rows, opt);
    if (out == rows)
        return;
    beginUndoAction();
    setSelection(first, 0, last, rows.last().size());
    QString eol = QStringLiteral("\n");
    if (eolMode() == QsciScintilla::EolWindows)
        eol = QStringLiteral("\r\n");
    else if (eolMode() == QsciScintilla::EolMac)
        eol = QStringLiteral("\r");
    replaceSelectedText(out.join(eol));
    endUndoAction();
    if (hadSel || rect) {
        setSelection(first, 0, last, out.last().size());
    } else {
        const int delta = out.first().size() - rows.first().size();
        setCursorPosition(caretLine, qBound(0, caretIndex + delta, int(out.first().size())));
    }
}

// ---------------------------------------------------------------------------------------------
// Events

bool TkdMemo::event(QEvent *e)
{
    if (FMacroList && FMacroList->Status() == TkdMacroStatus::msRecording) {
        if (e->type() == QEvent::ShortcutOverride) {
            // Recorded here, before any shortcut can swallow the key; the key press that
            // follows when no shortcut took it is then not recorded a second time.
            auto *k = static_cast<QKeyEvent *>(e);
            const int key = k->key();
            if (key != Qt::Key_unknown && key != 0 && !IsModifierKey(key)) {
                FMacroList->Add(e);
                FOverridePending = true;
                FOverrideKey = k->key();
                FOverrideMods = k->modifiers();
            }
        } else if (e->type() == QEvent::KeyPress) {
            auto *k = static_cast<QKeyEvent *>(e);
            const int key = k->key();
            if (FOverridePending && FOverrideKey == key && FOverrideMods == k->modifiers())
                FOverridePending = false;
            else if (!IsModifierKey(key))
                FMacroList->Add(e);
        }
    }
    return QsciScintilla::event(e);
}

void TkdMemo::inputMethodEvent(QInputMethodEvent *e)
{
    if (FMacroList && FMacroList->Status() == TkdMacroStatus::msRecording)
        FMacroList->Add(e);
    QsciScintilla::inputMethodEvent(e);
}

void TkdMemo::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_F6) {
        SendCodeAssistRequest();
        e->accept();
        return;
    }
    // Without NextLine the caret stops at the end of a line instead of moving on to the start
    // of the next (with FreeCaret it goes on into the space after the line, as the base
    // editor does).
    if (e->key() == Qt::Key_Right && !FProp.Caret.NextLine && !FProp.Caret.FreeCaret
        && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        && ((e->modifiers() & Qt::ShiftModifier) || !hasSelectedText())) {
        int line = 0, index = 0;
        getCursorPosition(&line, &index);
        if (index >= RowText(line).size()) {
            e->accept();
            return;
        }
    }
    QsciScintilla::keyPressEvent(e);
}

void TkdMemo::SendCodeAssistRequest()
{
    const QPoint p = CaretClientPos();
    TCodeAssistEvent ev(this, p.x(), p.y());
    ev.ignore();
    if (FAssistOwner) {
        QCoreApplication::sendEvent(FAssistOwner, &ev);
        return;
    }
    // The nearest enclosing window that handles the request (it accepts the event).
    for (QWidget *w = parentWidget(); w; w = w->parentWidget()) {
        QCoreApplication::sendEvent(w, &ev);
        if (ev.isAccepted())
            return;
    }
}

void TkdMemo::mousePressEvent(QMouseEvent *e)
{
    CloseCodeAssist();
    // Without SelMove a selection cannot be dragged: a plain press inside it drops it, so the
    // base editor starts a new selection at the point instead of a drag.
    if (!FProp.Caret.SelMove && e->button() == Qt::LeftButton && !(e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))
        && hasSelectedText()) {
        const QPoint pt = e->position().toPoint();
        const long pos = SendScintilla(SCI_POSITIONFROMPOINTCLOSE, (unsigned long)pt.x(), (long)pt.y());
        const long from = SendScintilla(SCI_GETSELECTIONSTART);
        const long to = SendScintilla(SCI_GETSELECTIONEND);
        if (pos >= 0 && pos >= from && pos < to)
            SendScintilla(SCI_SETEMPTYSELECTION, (unsigned long)pos);
    }
    QsciScintilla::mousePressEvent(e);
}

void TkdMemo::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() == Qt::RightButton)
        CloseCodeAssist();
    QsciScintilla::mouseReleaseEvent(e);
}

void TkdMemo::mouseDoubleClickEvent(QMouseEvent *e)
{
    // The first press already put the caret at the nearest character boundary; the word
    // rule of this editor takes the place of the base editor's word selection.
    if (e->button() == Qt::LeftButton) {
        SelectWordFromCaret();
        e->accept();
        return;
    }
    QsciScintilla::mouseDoubleClickEvent(e);
}

void TkdMemo::wheelEvent(QWheelEvent *e)
{
    const int dy = e->angleDelta().y();
    if (dy == 0 || (e->modifiers() & Qt::ControlModifier)) {
        QsciScintilla::wheelEvent(e);
        return;
    }
    // One row per wheel step.
    FWheelRemainder += dy;
    const int steps = FWheelRemainder / 120;
    FWheelRemainder -= steps * 120;
    if (steps != 0) {
        const int top = int(SendScintilla(SCI_GETFIRSTVISIBLELINE));
        SendScintilla(SCI_SETFIRSTVISIBLELINE, (unsigned long)qMax(0, top - steps));
    }
    e->accept();
}

void TkdMemo::paintEvent(QPaintEvent *e)
{
    QsciScintilla::paintEvent(e);
    PaintMarks();
}

void TkdMemo::PaintMarks()
{
    const TkdMemoProp::TMarksProp &m = FProp.Marks;
    const QColor ret = m.RetMark.Visible ? WinColorToQColor(m.RetMark.Color) : QColor();
    const QColor eof = m.EofMark.Visible ? WinColorToQColor(m.EofMark.Color) : QColor();
    const QColor tab = m.TabMark.Visible ? WinColorToQColor(m.TabMark.Color) : QColor();
    const QColor half = m.SemiSpaceMark.Visible ? WinColorToQColor(m.SemiSpaceMark.Color) : QColor();
    const QColor full = m.SpaceMark.Visible ? WinColorToQColor(m.SpaceMark.Color) : QColor();
    const QColor under = m.Underline.Visible ? WinColorToQColor(m.Underline.Color) : QColor();
    if (!ret.isValid() && !eof.isValid() && !tab.isValid() && !half.isValid() && !full.isValid()
        && !under.isValid())
        return;
    QPainter p(viewport());
    const int first = int(SendScintilla(SCI_GETFIRSTVISIBLELINE));
    const int shown = int(SendScintilla(SCI_LINESONSCREEN)) + 1;
    const int n = lines();
    const int marginLeft = int(SendScintilla(SCI_GETMARGINLEFT));
    int textLeft = marginLeft;
    for (int i = 0; i < 5; ++i)
        textLeft += marginWidth(i);
    p.setClipRect(QRect(textLeft, 0, viewport()->width() - textLeft, viewport()->height()));
    int caretLine = 0, caretIndex = 0;
    getCursorPosition(&caretLine, &caretIndex);
    for (int v = first; v < first + shown; ++v) {
        const int line = int(SendScintilla(SCI_DOCLINEFROMVISIBLE, (unsigned long)v));
        if (line >= n)
            break;
        const long start = SendScintilla(SCI_POSITIONFROMLINE, (unsigned long)line);
        const long end = SendScintilla(SCI_GETLINEENDPOSITION, (unsigned long)line);
        const int top = int(SendScintilla(SCI_POINTYFROMPOSITION, 0UL, start));
        const int h = int(SendScintilla(SCI_TEXTHEIGHT, (unsigned long)line));
        if (tab.isValid() || half.isValid() || full.isValid()) {
            const QString row = text(line);
            long pos = start;
            for (int i = 0; i < row.size() && pos < end; ++i) {
                const QChar c = row.at(i);
                const long next = SendScintilla(SCI_POSITIONAFTER, (unsigned long)pos);
                if ((c == QLatin1Char('\t') && tab.isValid()) || (c == QLatin1Char(' ') && half.isValid())
                    || (c.unicode() == 0x3000 && full.isValid())) {
                    const int x0 = int(SendScintilla(SCI_POINTXFROMPOSITION, 0UL, pos));
                    const int x1 = int(SendScintilla(SCI_POINTXFROMPOSITION, 0UL, next));
                    const QRect cell(x0, top, qMax(2, x1 - x0), h);
                    if (c == QLatin1Char('\t')) {
                        p.setPen(tab);
                        const int y = cell.center().y();
                        p.drawLine(cell.left() + 2, y, cell.left() + 8, y);
                        p.drawLine(cell.left() + 5, y - 3, cell.left() + 8, y);
                        p.drawLine(cell.left() + 5, y + 3, cell.left() + 8, y);
                    } else if (c == QLatin1Char(' ')) {
                        p.setPen(half);
                        p.drawPoint(cell.center());
                    } else {
                        p.setPen(QPen(full, 1, Qt::DotLine));
                        p.drawRect(cell.adjusted(2, 3, -3, -3));
                    }
                }
                if (c.isHighSurrogate())
                    ++i;
                pos = next;
            }
        }
        const int xEnd = int(SendScintilla(SCI_POINTXFROMPOSITION, 0UL, end));
        const bool last = line == n - 1;
        if (!last && ret.isValid()) {
            // A small bent arrow after the last character of the line.
            p.setPen(ret);
            const int x = xEnd + 3, y = top + h / 2;
            p.drawLine(x + 6, top + 4, x + 6, y);
            p.drawLine(x + 6, y, x, y);
            p.drawLine(x, y, x + 3, y - 3);
            p.drawLine(x, y, x + 3, y + 3);
        }
        if (last && eof.isValid()) {
            p.setPen(eof);
            QFont f = font();
            f.setPointSizeF(qMax(6.0, f.pointSizeF() * 0.8));
            p.setFont(f);
            p.drawText(QRect(xEnd + 3, top, 80, h), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("[EOF]"));
        }
        if (line == caretLine && under.isValid()) {
            p.setPen(under);
            p.drawLine(textLeft, top + h - 1, viewport()->width(), top + h - 1);
        }
    }
}

void TkdMemo::resizeEvent(QResizeEvent *e)
{
    CloseCodeAssist();
    QsciScintilla::resizeEvent(e);
    LayoutRuler();
}

void TkdMemo::focusOutEvent(QFocusEvent *e)
{
    if (CodeAssist && CodeAssist->isEnabled()) {
        QWidget *f = QApplication::focusWidget();
        const bool toPopup = f && (f == CodeAssist || CodeAssist->isAncestorOf(f));
        // The focus went elsewhere: it stays there.
        if (!toPopup && f != this)
            CloseCodeAssist(false);
    }
    QsciScintilla::focusOutEvent(e);
}

// ---------------------------------------------------------------------------------------------
// Keyboard macros

void TkdMemo::BeginRec()
{
    if (!FMacroList)
        return;
    const TkdMacroStatus s = FMacroList->Status();
    if (s == TkdMacroStatus::msRecording || s == TkdMacroStatus::msRunning)
        return;
    FMacroList->Clear();
    FOverridePending = false;
    FMacroList->SetStatus(TkdMacroStatus::msRecording);
}

void TkdMemo::EndRec()
{
    if (FMacroList && FMacroList->Status() == TkdMacroStatus::msRecording)
        FMacroList->SetStatus(TkdMacroStatus::msWaiting);
}

void TkdMemo::CancelRec()
{
    if (!FMacroList || FMacroList->Status() != TkdMacroStatus::msRecording)
        return;
    EndRec();
    FMacroList->Clear();
    FMacroList->SetStatus(TkdMacroStatus::msNone);
}

void TkdMemo::CancelExec()
{
    if (FMacroList && FMacroList->Status() == TkdMacroStatus::msRunning)
        FMacroList->SetStatus(TkdMacroStatus::msWaiting);
}

void TkdMemo::Execute()
{
    TkdMacroList *list = FMacroList;
    if (!list || list->Status() != TkdMacroStatus::msWaiting || list->Count() == 0)
        return;
    QPointer<TkdMemo> self(this);
    list->SetStatus(TkdMacroStatus::msRunning);
    try {
        for (int i = 0; i < list->Count(); ++i) {
            PlayRecord(i);
            // The editor closed or the playback was cancelled while the input ran.
            if (!self || list->Status() != TkdMacroStatus::msRunning)
                break;
        }
    } catch (...) {
        list->SetStatus(TkdMacroStatus::msWaiting);
        throw;
    }
    list->SetStatus(TkdMacroStatus::msWaiting);
}

void TkdMemo::PlayRecord(int index)
{
    const TKeyMacroData d = FMacroList->Item(index);
    if (d.Msg == QEvent::InputMethod) {
        QInputMethodEvent ev;
        ev.setCommitString(d.Text);
        QCoreApplication::sendEvent(this, &ev);
        return;
    }
    Qt::KeyboardModifiers mods;
    if (d.Shift)
        mods |= Qt::ShiftModifier;
    if (d.Ctrl)
        mods |= Qt::ControlModifier;
    if (d.Alt)
        mods |= Qt::AltModifier;
    // As with typed keys: the editor first says whether it wants the key itself; otherwise an
    // enabled action of the window with that shortcut takes it.
    QKeyEvent over(QEvent::ShortcutOverride, d.CharCode, mods, d.Text, d.AutoRepeat);
    over.ignore();
    QCoreApplication::sendEvent(this, &over);
    if (!over.isAccepted()) {
        const QKeySequence seq(QKeyCombination(mods, Qt::Key(d.CharCode)));
        const QList<QAction *> actions = window()->findChildren<QAction *>();
        for (QAction *a : actions) {
            if (a->isEnabled() && a->shortcuts().contains(seq)) {
                a->trigger();
                return;
            }
        }
    }
    QKeyEvent press(QEvent::KeyPress, d.CharCode, mods, d.Text, d.AutoRepeat);
    QCoreApplication::sendEvent(this, &press);
    QKeyEvent release(QEvent::KeyRelease, d.CharCode, mods, d.Text, d.AutoRepeat);
    QCoreApplication::sendEvent(this, &release);
}
