#pragma once
// What the program's plain dialogs share: their stored geometry under "GUI\<name>" (Left,
// Top, Width, Height) and the save-file question, which tests answer through a hook instead
// of a real file dialog.
#include <QString>
#include <functional>
#include <optional>

class QWidget;

// Reads Left, Top, Width and Height of "\Software\Tarnwell\ZUMAQ\GUI\" + Name into the
// window's geometry; the key is not created, a missing key or value keeps the current one.
void LoadDialogGeometry(QWidget *Window, const QString &Name);
// Writes the four values (the key is created); a key that cannot be written changes nothing.
void SaveDialogGeometry(const QWidget *Window, const QString &Name);

// A save-file question.
struct TSaveFileRequest {
    QWidget *Parent = nullptr;
    QString Title;
    QString FileName;      // proposed file (a full path or a bare name)
    QString Filter;        // pipe notation: "text|mask|text|mask"
    QString DefaultSuffix; // without the dot; empty for none
};
// Answers the question instead of a dialog: the chosen file, or nothing for Cancel.
using TSaveFileHook = std::function<std::optional<QString>(const TSaveFileRequest &)>;
// Returns the hook set before; an empty hook shows real dialogs again.
TSaveFileHook SetSaveFileHook(TSaveFileHook Hook);
// Asks for a file to write (overwrite prompt, no change of the current folder, resizable);
// empty when the user cancelled.
QString PromptSaveFile(const TSaveFileRequest &Request);

// One part of a file path built from a database name: SafeFileName of it, and "_" in front
// when a non-empty name would become empty, "." or "..", so that no file lands outside the
// folder it was meant for. An empty name stays empty.
QString SafePathPart(const QString &Name);
