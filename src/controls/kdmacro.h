#pragma once
// Keyboard macros: one list of recorded key input shared by every SQL editor. Recording keeps
// the key presses (with their Shift, Ctrl and Alt states) and the text committed by the input
// method; playback sends the same input to an editor again.
#include <QEvent>
#include <QList>
#include <QString>
#include <Qt>

enum class TkdMacroStatus { msNone, msRecording, msWaiting, msRunning };

// One recorded input.
struct TKeyMacroData {
    QEvent::Type Msg = QEvent::KeyPress; // KeyPress, or InputMethod for committed IME text
    int CharCode = 0;                    // the key code (Qt::Key)
    QString Text;                        // the key's text, or the committed IME text
    bool Shift = false;
    bool Ctrl = false;
    bool Alt = false;
    bool AutoRepeat = false;
};

class TkdMacroList
{
public:
    TkdMacroList() = default;
    virtual ~TkdMacroList() { Clear(); }
    TkdMacroList(const TkdMacroList &) = delete;
    TkdMacroList &operator=(const TkdMacroList &) = delete;

    // Records one input event (a key press or an input-method commit); returns the new record,
    // or nullptr when the event is not one that is recorded.
    virtual const TKeyMacroData *Add(const QEvent *event);
    // Forgets every record; the status is left as it is.
    virtual void Clear() { FItems.clear(); }

    int Count() const { return FItems.size(); }
    const TKeyMacroData &Item(int i) const { return FItems.at(i); }
    TkdMacroStatus Status() const { return FStatus; }
    void SetStatus(TkdMacroStatus s) { FStatus = s; }

private:
    QList<TKeyMacroData> FItems;
    TkdMacroStatus FStatus = TkdMacroStatus::msNone;
};

// The one macro list of all editors, created at first use and alive for the whole run.
TkdMacroList *SharedMacroList();
