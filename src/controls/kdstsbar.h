#pragma once
// The status bar of the main window and of the test-data window: a row of fixed panels whose
// texts the windows write themselves. Hints of actions never reach it, so a panel holding a
// count or a progress text is not overwritten when the mouse passes over a menu item.
#include <QLabel>
#include <QList>
#include <QStatusBar>

class TkdStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit TkdStatusBar(QWidget *parent = nullptr);

    // Appends a panel of `width` pixels (0: it takes the remaining room) with the alignment.
    QLabel *AddPanel(int width, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
    int PanelCount() const { return static_cast<int>(FPanels.size()); }
    QLabel *Panel(int index) const { return FPanels.value(index); }
    QString PanelText(int index) const;
    void SetPanelText(int index, const QString &text);

protected:
    bool event(QEvent *e) override;

private:
    QList<QLabel *> FPanels;
};
