#pragma once
// The settings every window gives its editors and memos when it is built: SQL editors get the
// shared editor property set, the shared context menu and the shared macro list; plain memos
// get the editor font. Other control kinds (the data grids) add their own branch.
#include <QFont>
#include <functional>

class QMenu;
class QWidget;
class TkdMemoProp;
struct TkdEditorSettings;

// The editor property set shared by every SQL editor (the main window's prpEditor).
TkdMemoProp &SharedEditorProp();
// The shared context menu of the SQL editors (the main window's popEditor); null when none.
void SetSharedEditorPopup(QMenu *menu);
QMenu *SharedEditorPopup();
// The font of the shared property set, with the stored font names mapped to installed fonts.
QFont SharedEditorFont();

// Gives Control the shared settings of its kind; other controls are left alone.
void ApplySharedSettings(QWidget *Control);
// A further branch for another kind of control: it returns true when it took the control.
// Branches are tried after the memo and editor branches, in the order they were added.
void AddSharedSettingsBranch(std::function<bool(QWidget *)> branch);

// Bridges between the stored editor settings and the shared property set, for the main
// window's part in loading and saving the settings.
void LoadSharedEditorProp(const TkdEditorSettings &settings);
void SaveSharedEditorProp(TkdEditorSettings &settings);
