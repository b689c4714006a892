#include "core/kdopeners.h"
#include "core/kdsub_msg.h"

#include <QHash>

namespace kdopeners {
namespace {

// Built on first use: the design forbids global objects with constructors.
QHash<QString, TWindowOpener> &Table()
{
    static QHash<QString, TWindowOpener> table;
    return table;
}

} // namespace

QString NotAvailableText()
{
    return QStringLiteral("この機能はまだ利用できません。");
}

void Register(const QString &Key, TWindowOpener Opener)
{
    if (Opener)
        Table().insert(Key, std::move(Opener));
    else
        Table().remove(Key);
}

bool IsRegistered(const QString &Key)
{
    return Table().contains(Key);
}

QStringList Keys()
{
    QStringList keys = Table().keys();
    keys.sort();
    return keys;
}

QWidget *Open(const QString &Key, const TOpenerArgs &Args)
{
    const auto it = Table().constFind(Key);
    if (it == Table().constEnd()) {
        ShowMessageBox(NotAvailableText(), MB_OK | MB_ICONINFORMATION);
        return nullptr;
    }
    // A copy, so an opener that re-registers its own key cannot pull the function away
    // from under its own call.
    const TWindowOpener opener = it.value();
    return opener(Args);
}

void Clear()
{
    Table().clear();
}

} // namespace kdopeners
