#include "editors/tool_window.h"

#include "core/kdforms.h"
#include "core/kdreg.h"

#include <QComboBox>
#include <QSignalBlocker>
#include <QWidget>

namespace {

QString FullKey(const QString &Key)
{
    return QString::fromUtf16(kMainKey) + QStringLiteral("\\GUI\\") + Key;
}

} // namespace

void LoadToolWindowSize(QWidget *Window, const QString &Key)
{
    TkdRegistry &reg = SharedRegistry();
    if (!reg.OpenKey(FullKey(Key), true))
        return;
    if (!Window->isMaximized() && !Window->isMinimized())
        Window->resize(reg.GetInteger(QStringLiteral("Width"), Window->width()),
                       reg.GetInteger(QStringLiteral("Height"), Window->height()));
    reg.CloseKey();
}

void SaveToolWindowSize(QWidget *Window, const QString &Key)
{
    TkdRegistry &reg = SharedRegistry();
    if (!reg.OpenKey(FullKey(Key), true))
        return;
    QWidget *frame = Window->parentWidget() ? Window->parentWidget() : Window;
    if (!frame->isMaximized() && !frame->isMinimized()) {
        reg.WriteInteger(QStringLiteral("Width"), Window->width());
        reg.WriteInteger(QStringLiteral("Height"), Window->height());
    }
    reg.CloseKey();
}

void TDropDownComboBox::showPopup()
{
    if (OnDropDown)
        GuardedCall(OnDropDown);
    TkdComboBox::showPopup();
}

void FillConnectionBox(QComboBox *Box, QList<TkdConnForm *> &Connections, TkdConnForm *Fallback,
                       const QString &Select)
{
    const QSignalBlocker block(Box);
    Box->clear();
    Connections.clear();
    if (TkdMainForm *host = TkdMainForm::Instance())
        Connections = host->Connections();
    if (Connections.isEmpty() && Fallback)
        Connections << Fallback;
    for (TkdConnForm *c : Connections)
        Box->addItem(c->Identity());
    Box->setCurrentIndex(Box->findText(Select));
}
