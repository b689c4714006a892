#include "controls/kdmacro.h"

#include <QInputMethodEvent>
#include <QKeyEvent>

const TKeyMacroData *TkdMacroList::Add(const QEvent *event)
{
    TKeyMacroData d;
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
        const auto *k = static_cast<const QKeyEvent *>(event);
        d.Msg = QEvent::KeyPress;
        d.CharCode = k->key();
        d.Text = k->text();
        d.Shift = k->modifiers().testFlag(Qt::ShiftModifier);
        d.Ctrl = k->modifiers().testFlag(Qt::ControlModifier);
        d.Alt = k->modifiers().testFlag(Qt::AltModifier);
        d.AutoRepeat = k->isAutoRepeat();
    } else if (event->type() == QEvent::InputMethod) {
        // Only the committed text is recorded: the input method delivers it once, so playing
        // it back enters it once. Preedit updates are not input.
        const auto *im = static_cast<const QInputMethodEvent *>(event);
        if (im->commitString().isEmpty())
            return nullptr;
        d.Msg = QEvent::InputMethod;
        d.Text = im->commitString();
    } else {
        return nullptr;
    }
    FItems.append(d);
    return &FItems.last();
}

TkdMacroList *SharedMacroList()
{
    static TkdMacroList list;
    return &list;
}
