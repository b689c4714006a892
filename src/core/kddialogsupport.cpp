#include "core/kddialogsupport.h"

#include "core/kdreg.h"
#include "core/kdsub_service.h"
#include "core/kdsub_text.h"

#include <QFileDialog>
#include <QWidget>

namespace {
QString GeometryKey(const QString &Name)
{
    return QString::fromUtf16(kMainKey) + QStringLiteral("\\GUI\\") + Name;
}

TSaveFileHook &SaveHook()
{
    static TSaveFileHook hook;
    return hook;
}
} // namespace

void LoadDialogGeometry(QWidget *Window, const QString &Name)
{
    TkdRegistry &reg = SharedRegistry();
    const QString key = GeometryKey(Name);
    if (!reg.KeyExists(key) || !reg.OpenKey(key, false))
        return;
    const QRect g = Window->geometry();
    const int left = reg.GetInteger(QStringLiteral("Left"), g.left());
    const int top = reg.GetInteger(QStringLiteral("Top"), g.top());
    const int width = reg.GetInteger(QStringLiteral("Width"), g.width());
    const int height = reg.GetInteger(QStringLiteral("Height"), g.height());
    reg.CloseKey();
    Window->move(left, top);
    Window->resize(std::max(width, 50), std::max(height, 50));
}

void SaveDialogGeometry(const QWidget *Window, const QString &Name)
{
    TkdRegistry &reg = SharedRegistry();
    if (!reg.OpenKey(GeometryKey(Name), true))
        return;
    try {
        const QRect g = Window->geometry();
        reg.WriteInteger(QStringLiteral("Left"), g.left());
        reg.WriteInteger(QStringLiteral("Top"), g.top());
        reg.WriteInteger(QStringLiteral("Width"), g.width());
        reg.WriteInteger(QStringLiteral("Height"), g.height());
    } catch (const std::exception &) {
        // The stored geometry stays as it was.
    }
    reg.CloseKey();
}

TSaveFileHook SetSaveFileHook(TSaveFileHook Hook)
{
    TSaveFileHook previous = std::move(SaveHook());
    SaveHook() = std::move(Hook);
    return previous;
}

QString PromptSaveFile(const TSaveFileRequest &Request)
{
    if (SaveHook()) {
        const std::optional<QString> answer = SaveHook()(Request);
        return answer.value_or(QString());
    }
    QFileDialog dialog(Request.Parent, Request.Title, Request.FileName, QtFileFilter(Request.Filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!Request.DefaultSuffix.isEmpty())
        dialog.setDefaultSuffix(Request.DefaultSuffix);
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

QString SafePathPart(const QString &Name)
{
    if (Name.isEmpty())
        return Name;
    const QString safe = SafeFileName(Name);
    if (safe.isEmpty() || safe == QLatin1String(".") || safe == QLatin1String(".."))
        return QStringLiteral("_") + safe;
    return safe;
}
