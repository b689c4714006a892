#include "controls/kdstsbar.h"

#include <QEvent>

TkdStatusBar::TkdStatusBar(QWidget *parent) : QStatusBar(parent)
{
    setSizeGripEnabled(true);
    // The main window turns an action's hint into a temporary message, which would hide the
    // panels; such a message is cleared as soon as it appears.
    connect(this, &QStatusBar::messageChanged, this, [this](const QString &text) {
        if (!text.isEmpty())
            clearMessage();
    });
}

QLabel *TkdStatusBar::AddPanel(int width, Qt::Alignment alignment)
{
    auto *label = new QLabel(this);
    label->setAlignment(alignment);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    if (width > 0) {
        label->setMinimumWidth(width);
        addWidget(label, 0);
    } else {
        addWidget(label, 1);
    }
    FPanels.append(label);
    return label;
}

QString TkdStatusBar::PanelText(int index) const
{
    const QLabel *label = Panel(index);
    return label ? label->text() : QString();
}

void TkdStatusBar::SetPanelText(int index, const QString &text)
{
    if (QLabel *label = Panel(index))
        label->setText(text);
}

bool TkdStatusBar::event(QEvent *e)
{
    // Action hints arrive as status-tip events; the panels are the windows' own.
    if (e->type() == QEvent::StatusTip)
        return true;
    return QStatusBar::event(e);
}
