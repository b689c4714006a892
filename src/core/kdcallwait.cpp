#include "core/kdcallwait.h"
#include "platform/db/dbconnection.h"

#include <QApplication>
#include <QKeyEvent>
#include <QThread>

namespace {

// Drops input while queued events run; remembers an Esc key press.
class InputDropper : public QObject
{
public:
    bool FEscape = false;

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        switch (e->type()) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent *>(e)->key() == Qt::Key_Escape)
                FEscape = true;
            return true;
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::Drop:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            return true;
        case QEvent::Close:
            // Closing a window by the window system while its call runs would pull the
            // connection from under the call.
            return e->spontaneous();
        default:
            return false;
        }
    }
};

bool OnGuiThread()
{
    return qApp && QThread::currentThread() == qApp->thread();
}

class TkdCallWaiter : public db::CallWaiter
{
public:
    void waiting(db::Connection &connection) override
    {
        if (!OnGuiThread() || FDepth > 0)
            return;
        ++FDepth;
        const bool escape = PumpEventsDroppingInput();
        --FDepth;
        if (escape)
            connection.cancel(); // the call ends with Error::Kind::Cancelled
    }

private:
    int FDepth = 0;
};

} // namespace

bool PumpEventsDroppingInput()
{
    if (!OnGuiThread())
        return false;
    InputDropper dropper;
    qApp->installEventFilter(&dropper);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    qApp->removeEventFilter(&dropper);
    return dropper.FEscape;
}

void InstallCallWaiter()
{
    static TkdCallWaiter *waiter = nullptr;
    if (waiter)
        return;
    waiter = new TkdCallWaiter;
    db::setCallWaiter(waiter);
}
