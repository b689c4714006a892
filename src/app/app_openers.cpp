// Registration of the application layer's windows in the window-opener table.
#include "app/app_openers.h"

#include "app/foption.h"
#include "app/fsample.h"
#include "app/fstatlist.h"
#include "core/kdopeners.h"

#include <QVariantHash>

using kdopeners::OpenerOut;

void RegisterAppOpeners()
{
    // The options dialog runs modally; the caller applies the commit-mode change afterwards.
    kdopeners::Register(QStringLiteral("TfrmOption"), [](const TOpenerArgs &a) -> QWidget * {
        const bool ok = TfrmOption::ShowWindow();
        if (bool *accepted = OpenerOut<bool>(a.Values, "Accepted"))
            *accepted = ok;
        return nullptr;
    });
    kdopeners::Register(QStringLiteral("TfrmSample"), [](const TOpenerArgs &a) -> QWidget * {
        auto *slot = OpenerOut<QPointer<TfrmSample>>(a.Values, "SampleWindow");
        if (!slot)
            return nullptr;
        TfrmSample::ShowWindow(a.Parent, *slot, a.Values.value(QStringLiteral("ObjectType")).toInt());
        return slot->data();
    });
    kdopeners::Register(QStringLiteral("TfrmStatList"), [](const TOpenerArgs &a) -> QWidget * {
        auto *marked = OpenerOut<QList<bool>>(a.Values, "Marked");
        auto *toDate = OpenerOut<std::function<QString(const QString &)>>(a.Values, "FileNameToDate");
        const bool ok = marked && TfrmStatList::ShowWindow(toDate ? *toDate : std::function<QString(const QString &)>(),
                                                           a.Values.value(QStringLiteral("Files")).toStringList(), *marked);
        if (bool *accepted = OpenerOut<bool>(a.Values, "Accepted"))
            *accepted = ok;
        return nullptr;
    });
}
