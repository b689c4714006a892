#pragma once
// The one message routine of the program and its companions: a message box with the
// Windows flags and result codes the windows compare with, a form that formats its text
// first, a message with check boxes under the text, and a one-line input dialog with
// optional check boxes. All are modal. A hook lets tests answer every box without a
// window: it receives what would be shown and returns the button pressed.
#include <QDialog>
#include <QFontMetrics>
#include <QSize>
#include <QList>
#include <QString>
#include <QVariantList>
#include <functional>

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Results: the button pressed.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Flags: bits 0-3 the buttons, bits 4-7 the icon, bits 8-9 the default button.
inline constexpr int MB_OK = 0x0;
inline constexpr int MB_OKCANCEL = 0x1;
inline constexpr int MB_ABORTRETRYIGNORE = 0x2;
inline constexpr int MB_YESNOCANCEL = 0x3;
inline constexpr int MB_YESNO = 0x4;
inline constexpr int MB_RETRYCANCEL = 0x5;
inline constexpr int MB_ICONERROR = 0x10;
inline constexpr int MB_ICONQUESTION = 0x20;
inline constexpr int MB_ICONWARNING = 0x30;
inline constexpr int MB_ICONINFORMATION = 0x40;
inline constexpr int MB_ICONHAND = MB_ICONERROR;
inline constexpr int MB_ICONSTOP = MB_ICONERROR;
inline constexpr int MB_ICONEXCLAMATION = MB_ICONWARNING;
inline constexpr int MB_ICONASTERISK = MB_ICONINFORMATION;
inline constexpr int MB_DEFBUTTON1 = 0x000;
inline constexpr int MB_DEFBUTTON2 = 0x100;
inline constexpr int MB_DEFBUTTON3 = 0x200;
inline constexpr int MB_DEFBUTTON4 = 0x300;

// One check box under a message or an input line: its caption and its state, which holds
// the initial state and receives the final one.
struct MsgCheckItem {
    QString Caption;
    bool Checked = false;
};

// What a box would show; handed to the test hook.
struct MessageBoxRequest {
    enum class Kind { Message, CheckMessage, Input };
    Kind kind = Kind::Message;
    QString caption;           // the application title, or the input dialog's caption
    QString text;              // the cleaned message text, or the input dialog's prompt
    int flags = 0;             // message kinds only
    QString value;             // Input: the initial value; the hook may change it
    bool numeric = false;      // Input: digits only, at most 9 characters
    QList<MsgCheckItem> items; // the check boxes; the hook may change their states
};

// Answers every box instead of showing it: returns the button pressed (IDOK accepts an
// input dialog) and may change `value` and the item states of the request. Returns the
// hook that was set before; an empty hook shows real boxes again.
using MessageBoxHook = std::function<int(MessageBoxRequest &)>;
MessageBoxHook SetMessageBoxHook(MessageBoxHook Hook);

// The text a box shows: the data-access prefix "[AnyDAC][Phys][PG][libpq] " removed
// wherever it stands; a text that is then ": " alone reads "ERROR: SQL構文エラー"; a TAB
// reads as a blank.
QString CleanMessageText(const QString &Text);

// The number box of the numeric input dialog: the controls layer registers its number edit.
// Without one the dialog uses a plain edit that keeps digits and one decimal point.
using TNumericEditFactory = std::function<QLineEdit *(QWidget *Parent)>;
void SetNumericEditFactory(TNumericEditFactory Factory);

// Moves a dialog so that it stands centred on the active window (on the screen when there is
// none), kept inside the screen. Every box of this unit is placed this way.
void CenterOnActiveWindow(QWidget *Dialog);

// Shows Text with the application title as caption; returns IDOK ... IDNO.
int ShowMessageBox(const QString &Text, int Flags);

// Formats Fmt with Args (%d, %u, %x, %s, %f, %e, %g, %n, %m, %%, with optional index
// "n:", "-", width and ".precision", as the class library's format routine), then shows it.
int ShowMessageBoxFmt(const QString &Fmt, const QVariantList &Args, int Flags);
QString FormatText(const QString &Fmt, const QVariantList &Args);

// A message with one check box per item under the text. The icon: $10 error, $20
// question, $30 warning, none or $40 information. Returns the button pressed (IDOK ...
// IDNO, 8 for any other result); the item states receive the check states whatever
// button closed the box.
int ShowCheckMessageBox(const QString &Text, quint16 Flags, QList<MsgCheckItem> &Items);

// Asks for one line of text (Numeric: digits and one decimal point, at most 9 characters;
// else at most 255) with optional check boxes. True when OK was pressed; only then Value
// and the item states are updated.
bool InputQueryWithChecks(const QString &Caption, const QString &Prompt, QString &Value,
                          QList<MsgCheckItem> &Items, bool Numeric);

// The width of the 52 letters "A" to "Z" and "a" to "z" in the font, divided by 52
// (integer division), and the font's height: the unit of dialog layouts.
QSize AverageCharSize(const QFontMetrics &Metrics);

// The dialogs behind ShowCheckMessageBox and InputQueryWithChecks, built but not shown,
// so that their layout can be checked.
class TkdCheckMessageDialog : public QDialog {
public:
    TkdCheckMessageDialog(const QString &Text, quint16 Flags, const QList<MsgCheckItem> &Items,
                          QWidget *Parent = nullptr);
    QLabel *Message() const { return FMessage; }
    QList<QCheckBox *> CheckBoxes() const { return FChecks; }
    // The buttons in their order on the dialog (the Windows order for the flags).
    QList<QPushButton *> Buttons() const { return FButtons; }
    QPushButton *DefaultButton() const;
    // The button code of the last button pressed (IDCANCEL when the box was closed).
    int ResultCode() const { return FResultCode; }
    // Copies the check states into Items.
    void ReadChecks(QList<MsgCheckItem> &Items) const;
    // The icon kind: MB_ICONERROR, MB_ICONQUESTION, MB_ICONWARNING or MB_ICONINFORMATION.
    int IconKind() const { return FIconKind; }
private:
    QLabel *FMessage = nullptr;
    QList<QCheckBox *> FChecks;
    QList<QPushButton *> FButtons;
    int FResultCode = IDCANCEL;
    int FIconKind = MB_ICONINFORMATION;
};

class TkdInputQueryDialog : public QDialog {
public:
    TkdInputQueryDialog(const QString &Caption, const QString &Prompt, const QString &Value,
                        const QList<MsgCheckItem> &Items, bool Numeric, QWidget *Parent = nullptr);
    QLabel *PromptLabel() const { return FPrompt; }
    QLineEdit *Edit() const { return FEdit; }
    QList<QCheckBox *> CheckBoxes() const { return FChecks; }
    QPushButton *OkButton() const { return FOk; }
    QPushButton *CancelButton() const { return FCancel; }
    void ReadChecks(QList<MsgCheckItem> &Items) const;
private:
    QLabel *FPrompt = nullptr;
    QLineEdit *FEdit = nullptr;
    QList<QCheckBox *> FChecks;
    QPushButton *FOk = nullptr;
    QPushButton *FCancel = nullptr;
};
