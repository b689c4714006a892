#pragma once
// What the shared core needs of the main window. The main window implements this
// interface and registers itself with SetMainServices() when it is created (before it
// calls LoadSettings) and unregisters (SetMainServices(nullptr)) when it is destroyed.
// Core code reaches it through MainServices(), which is nullptr when no main window
// exists (tests, tools); every caller then does without it.
#include <QString>

class QAction;
struct TkdEditorSettings;

class TkdMainServices {
public:
    virtual ~TkdMainServices() = default;

    // The main window's action of that name ("actEditCopy"), nullptr when it has none.
    // The settings store reads and sets the shortcuts of the 67 actions of the shortcut
    // table (core/kdshortcut.h).
    virtual QAction *FindAction(const QString &actionName) const = 0;

    // LoadSettings has filled TkdEditorSettings::Global(): copy it into the shared editor
    // settings (prpEditor).
    virtual void EditorSettingsLoaded(const TkdEditorSettings &settings) = 0;

    // SaveSettings is about to write the editor settings: copy the shared editor settings
    // (prpEditor) into settings.
    virtual void CollectEditorSettings(TkdEditorSettings &settings) = 0;
};

TkdMainServices *MainServices();
void SetMainServices(TkdMainServices *services);
