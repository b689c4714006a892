#pragma once
// The editor options dialog: caret and indentation behaviour, tab width, font, colours of
// text classes and marks, line numbers and ruler, and the reserved-word list of every SQL
// editor. It edits a copy shown in a sample editor and writes it back only on OK.
#include <QDialog>
#include <QVector>
#include <functional>

#include "controls/kdmemo.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class TkdNumEdit;

// A grid of the 16 standard colours: the left button picks the text colour (marked "FG"), the
// right button the background colour (marked "BG"). Index 16, or -1, marks no cell.
class TColorGrid : public QWidget
{
    Q_OBJECT
public:
    explicit TColorGrid(QWidget *parent = nullptr);
    int ForegroundIndex() const { return FForegroundIndex; }
    int BackgroundIndex() const { return FBackgroundIndex; }
    void SetForegroundIndex(int i);
    void SetBackgroundIndex(int i);
    bool ForegroundEnabled = true;
    bool BackgroundEnabled = true;
    QSize sizeHint() const override { return {128, 128}; }
    QRect CellRect(int index) const;
signals:
    void Released(Qt::MouseButton button);
protected:
    void paintEvent(QPaintEvent *) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
private:
    int FForegroundIndex = 16;
    int FBackgroundIndex = 16;
};

enum class TColorEditState { csFountainColor, csEditorMark };

// Binds the colour grid, the no-colour panel with its labels and the three style boxes to
// the colour element being edited.
class TEditorColorManager
{
public:
    TEditorColorManager(TColorGrid *ColorGrid, QFrame *clNonePanel, QLabel *BGLabel, QLabel *FGLabel,
                        QCheckBox *BoldCheckBox, QCheckBox *UnderlineCheckBox, QCheckBox *ItalicCheckBox);
    virtual ~TEditorColorManager() = default;

    TColorEditState State() const { return FState; }
    TFountainColor *FountainColor() const { return FFountainColor; }
    TEditorMark *EditorMark() const { return FEditorMark; }
    virtual void SetFountainColor(TFountainColor *Value);
    virtual void SetEditorMark(TEditorMark *Value);
    virtual void SetState(TColorEditState Value) { FState = Value; }
    std::function<void()> OnChange;

    // The colour values of the grid's cells, then clNone.
    const QVector<TColor> &ColorList() const { return FColorList; }
    // A mouse button released on the grid (onGrid) or on the no-colour panel or its labels.
    virtual void MouseReleased(Qt::MouseButton button, bool onGrid);
    void StyleClicked();

protected:
    virtual void FillColorList();
    virtual void AddColor(TColor color) { FColorList << color; }

private:
    int IndexOf(TColor c) const;
    void Notify();

    TColorEditState FState = TColorEditState::csFountainColor;
    TFountainColor *FFountainColor = nullptr;
    TEditorMark *FEditorMark = nullptr;
    QVector<TColor> FColorList;
    TColorGrid *FColorGrid;
    QFrame *FclNonePanel;
    QLabel *FBGLabel;
    QLabel *FFGLabel;
    QCheckBox *FBoldCheckBox;
    QCheckBox *FUnderlineCheckBox;
    QCheckBox *FItalicCheckBox;
};

class TfrmEditorOption : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmEditorOption(TkdMemoProp *EditorProp, QWidget *parent = nullptr);
    ~TfrmEditorOption() override;

    // Edits EditorProp in the dialog; true when it closed with OK. False at once without one.
    static bool ShowWindow(TkdMemoProp *EditorProp);

    // The reserved words of the memo text: each line trimmed, leading empty lines dropped and
    // every run of two empty lines made one. False, with the offending trimmed line, when a
    // line holds a blank.
    static bool NormaliseReserveWords(const QString &memoText, QStringList *words, QString *badLine);

    // The sample's current properties.
    const TkdMemoProp &Sample() const { return FSample; }
    // Selects a colour element of lstColors (0 to 9).
    void SelectColorElement(int index);
    TEditorColorManager *ColorManager() const { return FViewColorManager; }
    // OK: checks, then writes back and closes; false when a check failed.
    bool Confirm();

    QTabWidget *pgcOption;
    QWidget *tabGeneral, *tabColor, *tabReserve;
    QCheckBox *chkAutoIndent, *chkBackSpaceUnIndent, *chkFreeCaret, *chkInTab, *chkNextLine,
        *chkTabIndent, *chkSoftTab, *chkSelMove;
    QSpinBox *spnTabSize;
    QListWidget *lstColors;
    QFrame *pnlColors;
    QLabel *lblFG, *lblBG;
    TColorGrid *grdColors;
    QGroupBox *grpStyle;
    QCheckBox *chkBold, *chkUL, *chkItalic;
    TkdMemo *txtSample;
    QCheckBox *chkLeftBarVisible, *chkRulerVisible;
    QGroupBox *rdoRulerRange;
    QRadioButton *rdoRuler10, *rdoRuler8;
    QListWidget *lstFontName;
    TkdNumEdit *txtFontSize;
    QListWidget *lstFontSize;
    QPlainTextEdit *txtReserve;
    QPushButton *btnInitReserveword, *btnOK, *btnCancel, *btnHelp;

private:
    void BuildGeneralPage();
    void BuildColorPage();
    void BuildReservePage();
    void PrepareShow();
    void ApplySample();
    void DoColorChange();
    void InitReserveWords();

    TkdMemoProp *FEditorProp;
    TkdMemoProp FSample;
    bool FShowTrueType = false;
    TEditorColorManager *FViewColorManager = nullptr;
    TFountainColor FFontFountain;
    TFountainColor FRulerFountain;
    TEditorMark FRulerMark;
    TFountainColor FLeftbarFountain;
    bool FLoading = false;
};
