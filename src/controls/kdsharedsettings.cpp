#include "controls/kdsharedsettings.h"

#include "controls/kdmacro.h"
#include "controls/kdmemo.h"

#include <QList>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>

namespace {
QPointer<QMenu> &PopupRef()
{
    static QPointer<QMenu> menu;
    return menu;
}
QList<std::function<bool(QWidget *)>> &Branches()
{
    static QList<std::function<bool(QWidget *)>> list;
    return list;
}
} // namespace

TkdMemoProp &SharedEditorProp()
{
    static TkdMemoProp prop;
    return prop;
}

void SetSharedEditorPopup(QMenu *menu) { PopupRef() = menu; }
QMenu *SharedEditorPopup() { return PopupRef(); }

QFont SharedEditorFont()
{
    InstallFontSubstitutions();
    const TkdMemoProp &p = SharedEditorProp();
    QFont f(p.Font.Name);
    f.setPointSize(qMax(1, p.Font.Size));
    f.setStyleHint(QFont::TypeWriter);
    f.setBold(p.Font.Bold);
    f.setItalic(p.Font.Italic);
    f.setUnderline(p.Font.Underline);
    return f;
}

void AddSharedSettingsBranch(std::function<bool(QWidget *)> branch)
{
    Branches().append(std::move(branch));
}

void ApplySharedSettings(QWidget *Control)
{
    if (!Control)
        return;
    if (qobject_cast<QPlainTextEdit *>(Control) || qobject_cast<QTextEdit *>(Control)) {
        Control->setFont(SharedEditorFont());
        return;
    }
    if (auto *memo = qobject_cast<TkdMemo *>(Control)) {
        SharedEditorProp().AssignTo(memo);
        memo->setContextMenuPolicy(Qt::CustomContextMenu);
        QObject::disconnect(memo, &QWidget::customContextMenuRequested, nullptr, nullptr);
        QObject::connect(memo, &QWidget::customContextMenuRequested, memo, [memo](const QPoint &pos) {
            if (QMenu *menu = SharedEditorPopup())
                menu->exec(memo->mapToGlobal(pos));
        });
        memo->SetMacroList(SharedMacroList());
        return;
    }
    for (const auto &branch : Branches())
        if (branch(Control))
            return;
}

void LoadSharedEditorProp(const TkdEditorSettings &settings)
{
    SharedEditorProp().LoadFrom(settings);
}

void SaveSharedEditorProp(TkdEditorSettings &settings)
{
    SharedEditorProp().SaveTo(settings);
}
