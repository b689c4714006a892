#pragma once
// The modal preview of the statements a window is about to run: shown only while the
// option ShowDDL is on; the user starts the run, cancels it, or saves the statements to a
// file. The statements arrive as a DDL line list (a line ";" ends a statement).
#include <QDialog>
#include <QStringList>

class QPushButton;
class TkdCheckBox;
class QsciScintilla;

class TfrmDDLPreview : public QDialog
{
    Q_OBJECT
public:
    // True when the caller may run the statements: at once when ShowDDL is off (nothing is
    // shown, ASQL untouched), otherwise when the user pressed "開始(&E)".
    static bool ShowWindow(QStringList &ASQL, const QString &Schema, const QString &ObjName);

    // The caption and the proposed file name of the save command for a caller's schema and
    // object name. File-name parts are made safe: no folder separators, and a part that
    // would be empty, "." or ".." gets "_" in front.
    static QString CaptionFor(const QString &Schema, const QString &ObjName);
    static QString ProposedFileName(const QString &Schema, const QString &ObjName);

    QsciScintilla *txtLog = nullptr; // a TkdMemo
    TkdCheckBox *chkModifySource = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnCancel = nullptr;

private:
    TfrmDDLPreview(QWidget *parent, const QString &Schema, const QString &ObjName);
    void btnSaveClick();
    QStringList Lines() const;

    QString FSchema;
    QString FObjName;
};
