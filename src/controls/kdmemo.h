#pragma once
// The SQL and DDL editor control of every window that shows SQL text, its property set shared
// by all editors, and the keyword-colouring lexer fed from the keyword list.
#include <QColor>
#include <QEvent>
#include <QFont>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QVector>
#include <Qsci/qscilexercustom.h>
#include <Qsci/qsciscintilla.h>

#include "core/kdassist.h"
#include "core/kdmessage.h"
#include "core/kdsub_options.h"

class TkdCodeAssist;
class TkdMacroList;
class QStatusBar;
class QFrame;

// The colour to paint with for a stored colour (TColor); an invalid QColor for clNone.
QColor WinColorToQColor(TColor value);
// Maps the Windows font names kept in the settings to installed Japanese fonts (done once).
void InstallFontSubstitutions();
// The installed family that the editor draws a stored font name with.
QString EditorFontFamily(const QString &name);

// One coloured text class of the editor (comment, literal, reserved word, search hit).
struct TFountainColor {
    TColor Color = clNone;
    TColor BkColor = clNone;
    bool Bold = false, Italic = false, Underline = false;
    bool operator==(const TFountainColor &) const = default;
};
// One mark of the editor (EOF, line break, tab, spaces, underline of the caret row).
struct TEditorMark {
    TColor Color = clNone;
    bool Visible = false;
    bool operator==(const TEditorMark &) const = default;
};

// The editor property set shared by every SQL editor (the main window holds one).
class TkdMemoProp
{
public:
    struct TFontProp {
        QString Name = QStringLiteral("ＭＳ ゴシック");
        int Size = 12;
        TColor Color = clWindowText;
        bool Bold = false, Italic = false, Underline = false;
        bool operator==(const TFontProp &) const = default;
    } Font;
    TColor Color = clWindow;
    struct TCaretProp {
        bool AutoCursor = true, AutoIndent = false, BackSpaceUnIndent = false, FreeCaret = false,
             InTab = false, LockScroll = false, NextLine = true, TabIndent = false,
             SoftTab = false, SelMove = true, KeepCaret = true;
        int TabSpaceCount = 8;
        bool operator==(const TCaretProp &) const = default;
    } Caret;
    struct TImagebarProp {
        bool Visible = false;
        bool operator==(const TImagebarProp &) const = default;
    } Imagebar;
    struct TLeftbarProp {
        bool Visible = true;
        int LeftMargin = 2, RightMargin = 2, Column = 5;
        TColor BkColor = clBtnFace;
        TColor Color = clWindowText;
        bool operator==(const TLeftbarProp &) const = default;
    } Leftbar;
    struct TRulerProp {
        bool Visible = true;
        int GaugeRange = 10;
        TFountainColor Colors{clWindowText, clBtnFace};
        TColor MarkColor = 0x000000FF;
        bool operator==(const TRulerProp &) const = default;
    } Ruler;
    struct TMarginProp {
        int Left = 2;
        bool operator==(const TMarginProp &) const = default;
    } Margin;
    struct TMarksProp {
        TEditorMark EofMark{clNone, false}, RetMark{0x00808000, true}, Underline{clNone, false},
            TabMark{0x00C0C0C0, true}, SemiSpaceMark{clNone, false}, SpaceMark{0x00C0C0C0, true};
        bool operator==(const TMarksProp &) const = default;
    } Marks;
    struct TViewProp {
        struct TColors {
            TFountainColor Comment{0x00008000, clNone}, Str{clNone, clNone},
                Reserve{0x00FF0000, clNone}, Hit{clNone, 0x00C0C0C0};
            bool operator==(const TColors &) const = default;
        } Colors;
        QString Commenter = QStringLiteral("--");
        QString Quotation = QStringLiteral("'");
        QString DoubleQuotation = QStringLiteral("\"");
        // The comment bracket "/*" "*/", coloured like line comments.
        TFountainColor CommentBracket{0x00008000, clNone};
        bool operator==(const TViewProp &) const = default;
    } View;
    bool ScrollBarsBoth = true;
    QStringList ReserveWordList;

    // From and to the plain record that the settings store loads and saves.
    void LoadFrom(const TkdEditorSettings &s);
    void SaveTo(TkdEditorSettings &s) const;

    // Copies every property into the editor and applies them.
    void AssignTo(class TkdMemo *memo) const;
    // Takes every property from the editor.
    void Assign(const class TkdMemo *memo);
    bool operator==(const TkdMemoProp &) const = default;
};

// Colouring of SQL text: line comments, block comments, single- and double-quoted text and
// the words of the reserved-word list. Styling runs only over the range Scintilla asks for,
// from the start of its first line, carrying the open block comment or quotation from line
// to line in the line state, so editing a long script restyles only what is shown.
class TkdSqlLexer : public QsciLexerCustom
{
    Q_OBJECT
public:
    enum Style { Default = 0, Comment = 1, Literal = 2, Reserved = 3 };
    explicit TkdSqlLexer(QObject *parent = nullptr);
    const char *language() const override { return "SQL"; }
    QString description(int style) const override;
    void styleText(int start, int end) override;

    // Sets the word list (compared without regard to case); the marker "KDSTS" in the
    // alphabetically first entry switches to multi-word matching.
    void SetWords(const QStringList &words);
    bool IsReserved(const QString &word) const;

private:
    QSet<QString> FWords;   // upper-cased
    bool FStatsPack = false;
};

// The size a code-assist popup opens with; each closing writes the popup's size back.
struct TkdCodeAssistSize {
    int Width = 256;
    int Height = 150;
    QVector<int> ColumnWidth{125, 90};
};

class TkdMemo;

// The ruler above an editor's text: a mark for every column, a longer one with the column
// number every GaugeRange columns (10 or 8), a medium one half-way, and the caret's column
// marked. Columns are half-width character cells of the editor's font; the ruler follows the
// editor's horizontal scrolling, font, zoom and left margins.
class TkdMemoRuler : public QWidget
{
    Q_OBJECT
public:
    explicit TkdMemoRuler(TkdMemo *memo);
    // The left edge of text column `column` (0-based) in the ruler's coordinates, which are
    // the editor viewport's horizontally.
    int ColumnX(int column) const;
    // The width of one column in pixels (characters stand at fractional positions).
    double ColumnWidth() const;
    // The left edge of the text area (after the line numbers and margins).
    int TextLeft() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *e) override;

private:
    QFont RulerFont() const;
    TkdMemo *FMemo;
};

class TkdMemo : public QsciScintilla
{
    Q_OBJECT
public:
    explicit TkdMemo(QWidget *parent = nullptr);
    ~TkdMemo() override;

    // Stored only; window layouts set them.
    QFrame *CaretPosPanel() const { return FCaretPosPanel; }
    void SetCaretPosPanel(QFrame *p) { FCaretPosPanel = p; }
    QStatusBar *CaretPosBar() const { return FCaretPosBar; }
    void SetCaretPosBar(QStatusBar *b) { FCaretPosBar = b; }

    TkdMacroList *MacroList() const { return FMacroList; }
    void SetMacroList(TkdMacroList *l) { FMacroList = l; }

    TkdCodeAssist *CodeAssist = nullptr; // the open popup, owned; nullptr when none is open
    TkdCodeAssistSize CASize;

    // The word fragment before the caret that code assist completes.
    QString GetCodeAssistToken() const { return GetCodeAssistTokenInfo().Text; }
    // The same with the 0-based column where its part being typed begins.
    kdassist::TAssistToken GetCodeAssistTokenInfo() const;
    // Closes the open popup and remembers its size; nothing when none is open. The editor
    // takes the focus unless takeFocus is false (the focus went to another window).
    void CloseCodeAssist(bool takeFocus = true);

    // Selects the whole rows SP through EP (0-based).
    void MultiLineSelect(int SP, int EP);
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }
    // Focuses the editor and puts the caret at the start of Line (from 1) with about ten
    // lines of context below and above.
    void Jump(int Line);
    void SelUpperCase() { ConvertSelCase(true); }
    void SelLowerCase() { ConvertSelCase(false); }
    // Puts the caret SelIndex characters (line breaks included) after the start of StartRow.
    void SetSelIndex(int StartRow, int SelIndex);
    // Selects the word at the caret by the editor's word rule.
    void SelectWordFromCaret();
    // Undo, or redo when wParam is 1; nothing on a read-only editor.
    void UndoMessage(int wParam);

    // Search options of Search.
    enum TSearchOption { sfrDown = 1, sfrMatchCase = 2 };
    // Finds Text as plain text (no patterns) after the selection (sfrDown) or before it and
    // selects the match; false when there is none. The search does not wrap around.
    bool Search(const QString &Text, int Options);
    // Indents (or unindents) the selected rows, or the caret row, by one tab stop.
    void SelTabIndent();
    void SelTabUnIndent();
    // The selection in characters from the start of the text, every line break counting two
    // characters (a CR LF), whatever the text's own line ends are.
    int SelStart() const;
    int SelLength() const;
    void SetSelStart(int Value);
    void SetSelLength(int Value);
    // Caret row and column, both from 0, in characters.
    int Row() const;
    int Col() const;
    // Number of lines of the text (at least 1).
    int GetLineNumberCount() const { return qMax(1, lines()); }
    // Box (rectangular) or line selection.
    enum TSelectionMode { smLine, smBox };
    TSelectionMode SelectionMode() const;
    void SetSelectionMode(TSelectionMode Mode);

    // Toggles "--" line comments on the selected rows or the caret row.
    void SelCommentOut();
    // Selects the multi-word keyword token at the caret.
    void SelectWordFromCaretStatsPack();

    // Keyboard macros over the shared list; each does nothing while no list is set.
    virtual void BeginRec();
    virtual void EndRec();
    virtual void CancelRec();
    virtual void Execute();
    virtual void CancelExec();

    // The reserved-word list that colours keywords and that code assist offers.
    const QStringList &ReserveWordList() const { return FReserveWordList; }
    void SetReserveWordList(const QStringList &words);
    TkdSqlLexer *SqlLexer() const { return FLexer; }
    // The properties last assigned by TkdMemoProp::AssignTo.
    const TkdMemoProp &Prop() const { return FProp; }
    void ApplyProp(const TkdMemoProp &prop);

    // The ruler above the text (shown while the property Ruler.Visible is on).
    TkdMemoRuler *Ruler() const { return FRuler; }

    // The window the code-assist request goes to; when none is set, the nearest ancestor
    // that handles the request.
    void SetAssistOwner(QWidget *w) { FAssistOwner = w; }
    // The caret's position (left of its cell, top of its row) in the editor's coordinates.
    QPoint CaretClientPos() const;
    // The text of a line without its line break.
    QString RowText(int line) const;
    // Number of characters before the caret in its row.
    int CaretColumn() const;

protected:
    bool event(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void wheelEvent(QWheelEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void inputMethodEvent(QInputMethodEvent *e) override;

private:
    void ConvertSelCase(bool upper);
    void ShiftSelectedRows(bool forward);
    void PaintMarks();
    void SendCodeAssistRequest();
    void PlayRecord(int index);
    void LayoutRuler();

    QFrame *FCaretPosPanel = nullptr;
    QStatusBar *FCaretPosBar = nullptr;
    TkdMacroList *FMacroList = nullptr;
    TkdSqlLexer *FLexer = nullptr;
    TkdMemoRuler *FRuler = nullptr;
    QStringList FReserveWordList;
    TkdMemoProp FProp;
    QPointer<QWidget> FAssistOwner;
    int FUpdateCount = 0;
    int FWheelRemainder = 0;
    bool FOverridePending = false; // a key was recorded at its shortcut check
    int FOverrideKey = 0;
    Qt::KeyboardModifiers FOverrideMods;
};
