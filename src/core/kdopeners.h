#pragma once
// The one table of window openers. A command that opens another window (a tool, a dialog,
// an administration window) names it here by a key (the window's class name, for example
// "TfrmSQL") instead of linking the layer that builds it: the layers above register their
// openers from main() at start-up, tests register fakes. A key nobody registered yet answers
// with "この機能はまだ利用できません。" so its command stays visible and harmless.
#include <QString>
#include <QStringList>
#include <QVariantHash>
#include <functional>

class QWidget;
class TkdConnForm;

// What an opener receives: the connection window it works for (may be null for windows of
// the main window alone), the widget to parent a dialog to, and the named extra values a
// window takes (object names, modes, counts).
struct TOpenerArgs {
    TkdConnForm *Owner = nullptr;
    QWidget *Parent = nullptr;
    QVariantHash Values;
};

// Returns the window it opened or raised (nullptr when none, for example a dialog that ran
// modally and ended, or an open window raised instead).
using TWindowOpener = std::function<QWidget *(const TOpenerArgs &)>;

namespace kdopeners {

// The text shown for a key without an opener.
QString NotAvailableText();

// Registers (or replaces; an empty function removes) the opener of a key.
void Register(const QString &Key, TWindowOpener Opener);
bool IsRegistered(const QString &Key);
QStringList Keys();

// Runs the opener of a key. Without one it shows the not-available message and returns
// nullptr. Exceptions of the opener pass to the caller's guard.
QWidget *Open(const QString &Key, const TOpenerArgs &Args = TOpenerArgs());

// Removes every opener (tests).
void Clear();

// A window that gives results back receives pointers from its caller as values
// (QVariant::fromValue<void *>(&result)); this reads the one under Key (nullptr when none).
template <class T>
T *OpenerOut(const QVariantHash &Values, const char *Key)
{
    return static_cast<T *>(Values.value(QString::fromUtf8(Key)).value<void *>());
}

} // namespace kdopeners
