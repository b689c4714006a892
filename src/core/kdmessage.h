#pragma once
// Application messages. Each is a QEvent whose type number is the message number, so a window
// tells them apart by `type()`; they are sent synchronously to a window.
#include <QEvent>
#include <QtGlobal>

class QWidget;

enum TkdMessage : int {
    WM_DBCHANGE = 0x8001,   // the set of open connections changed
    WM_RELOAD = 0x8002,     // reload the window's content (View -> Reload, F5)
    WM_CODEASSIST = 0x8003, // an editor asks its window for code-assist candidates
};

class TkdMessageEvent : public QEvent
{
public:
    explicit TkdMessageEvent(TkdMessage msg, qintptr wParam = 0, qintptr lParam = 0);
    // The QEvent type that carries `msg` (the number itself, reserved once with Qt).
    static QEvent::Type TypeOf(TkdMessage msg);
    TkdMessage Message() const { return TkdMessage(int(type())); }
    qintptr WParam;
    qintptr LParam;
};

// The code-assist request an editor sends to its window when F6 is pressed: the editor and the
// caret's position (left edge of its character cell, top of its row) in the editor's
// coordinates, also carried as WParam and LParam.
class TCodeAssistEvent : public TkdMessageEvent
{
public:
    TCodeAssistEvent(QWidget *editor, int x, int y)
        : TkdMessageEvent(WM_CODEASSIST, x, y), Editor(editor), X(x), Y(y)
    {
    }
    QWidget *Editor;
    int X, Y;
};

// True when `e` is a code-assist request.
inline bool IsCodeAssistEvent(const QEvent *e) { return int(e->type()) == WM_CODEASSIST; }
