#include "controls/kdmemo.h"

#include "controls/kdcodeassist.h"
#include "controls/kdmacro.h"

#include <QAction>
#include <QApplication>
#include <QFontDatabase>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
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
    auto closeOnUserScroll = [this](int) { CloseCodeAssist(); };
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, closeOnUserScroll);
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this, closeOnUserScroll);
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
    QStringList list;
    QSet<QString> seen;
    for (const QString &w : words) {
        const QString key = w.toUpper();
        if (seen.contains(key))
            continue;
        seen.insert(key);
        list << w;
    }
    std::stable_sort(list.begin(), list.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    FReserveWordList = list;
    FProp.ReserveWordList = list;
    FLexer->SetWords(list);
    recolor();
}

void TkdMemo::ApplyProp(const TkdMemoProp &prop)
{
    FProp = prop;
    QFont f(prop.Font.Name);
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

    // Marks: line ends, and blanks and tabs (shown together by the base editor).
    setEolVisibility(prop.Marks.RetMark.Visible);
    const bool ws = prop.Marks.SemiSpaceMark.Visible;
    setWhitespaceVisibility(ws ? QsciScintilla::WsVisible : QsciScintilla::WsInvisible);
    const QColor wsColor = WinColorToQColor(prop.Marks.SemiSpaceMark.Visible ? prop.Marks.SemiSpaceMark.Color
                                                                            : prop.Marks.TabMark.Color);
    if (wsColor.isValid())
        setWhitespaceForegroundColor(wsColor);
    const QColor hitBk = WinColorToQColor(prop.View.Colors.Hit.BkColor);
    if (hitBk.isValid())
        setSelectionBackgroundColor(hitBk.darker(110));

    setHorizontalScrollBarPolicy(prop.ScrollBarsBoth ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    SetReserveWordList(prop.ReserveWordList);
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
    QString row = text(line);
    while (row.endsWith(QLatin1Char('\n')) || row.endsWith(QLatin1Char('\r')))
        row.chop(1);
    return kdassist::CodeAssistToken(row, index);
}

void TkdMemo::CloseCodeAssist()
{
    if (!CodeAssist)
        return;
    TkdCodeAssist *popup = CodeAssist;
    CodeAssist = nullptr;
    CASize.Width = popup->width();
    CASize.Height = popup->height();
    CASize.ColumnWidth.resize(2);
    CASize.ColumnWidth[0] = popup->columnWidth(0);
    CASize.ColumnWidth[1] = popup->columnWidth(1);
    // Disabled first, so that its own loss of focus does nothing while it goes.
    popup->setEnabled(false);
    popup->hide();
    popup->deleteLater();
    if (isVisible())
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
    QString row = text(line);
    while (row.endsWith(QLatin1Char('\n')) || row.endsWith(QLatin1Char('\r')))
        row.chop(1);
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
    QString row = text(line);
    while (row.endsWith(QLatin1Char('\n')) || row.endsWith(QLatin1Char('\r')))
        row.chop(1);
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
        QString r = text(l);
        while (r.endsWith(QLatin1Char('\n')) || r.endsWith(QLatin1Char('\r')))
            r.chop(1);
        rows << r;
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
            if (k->key() != Qt::Key_unknown && !k->text().isNull()) {
                FMacroList->Add(e);
                FOverridePending = true;
                FOverrideKey = k->key();
                FOverrideMods = k->modifiers();
            }
        } else if (e->type() == QEvent::KeyPress) {
            auto *k = static_cast<QKeyEvent *>(e);
            if (FOverridePending && FOverrideKey == k->key() && FOverrideMods == k->modifiers())
                FOverridePending = false;
            else
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
    QsciScintilla::keyPressEvent(e);
}

void TkdMemo::SendCodeAssistRequest()
{
    const QPoint p = CaretClientPos();
    TCodeAssistEvent ev(p.x(), p.y());
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

void TkdMemo::resizeEvent(QResizeEvent *e)
{
    CloseCodeAssist();
    QsciScintilla::resizeEvent(e);
}

void TkdMemo::focusOutEvent(QFocusEvent *e)
{
    if (CodeAssist && CodeAssist->isEnabled()) {
        QWidget *f = QApplication::focusWidget();
        const bool toPopup = f && (f == CodeAssist || CodeAssist->isAncestorOf(f));
        if (!toPopup && f != this) {
            TkdCodeAssist *popup = CodeAssist;
            CodeAssist = nullptr;
            CASize.Width = popup->width();
            CASize.Height = popup->height();
            CASize.ColumnWidth = {popup->columnWidth(0), popup->columnWidth(1)};
            popup->setEnabled(false);
            popup->hide();
            popup->deleteLater();
        }
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
