#pragma once
// The size of a tool window of the editors layer under "\Software\Tarnwell\ZUMAQ\GUI\" + key
// (values "Width" and "Height"): read when the window is built, written when it closes,
// both only while the window (its frame, inside the main window) is in the normal state.
#include "controls/kdstdctl.h"

#include <QList>
#include <QString>
#include <functional>

class QComboBox;
class QWidget;
class TkdConnForm;

// A combo box that runs OnDropDown (under the guard) before its list drops down, so the list
// can be read afresh.
class TDropDownComboBox : public TkdComboBox
{
public:
    using TkdComboBox::TkdComboBox;
    std::function<void()> OnDropDown;
    void showPopup() override;
};

// Fills a tool window's connection box with the main window's open connections (or
// `Fallback` alone without a main window), keeps them in `Connections` in the box's order,
// and selects the item whose text is `Select` (none when absent). Emits no change signal.
void FillConnectionBox(QComboBox *Box, QList<TkdConnForm *> &Connections, TkdConnForm *Fallback,
                       const QString &Select);

void LoadToolWindowSize(QWidget *Window, const QString &Key);
void SaveToolWindowSize(QWidget *Window, const QString &Key);
