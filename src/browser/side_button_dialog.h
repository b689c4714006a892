#pragma once
// The frame the connection window's small option dialogs share: kept above the other
// windows, the controls in a column on the left, and at the top right a column of two
// buttons: the default one (btnOk) and "キャンセル" (btnCancel), which ends the dialog with 2.
#include <QString>

class QDialog;
class QPushButton;
class QVBoxLayout;

struct TSideButtonFrame {
    QVBoxLayout *Controls = nullptr; // the left column, for the dialog's own controls
    QPushButton *Ok = nullptr;       // connected by the dialog
    QPushButton *Cancel = nullptr;
};

// Names the dialog AName with the caption ACaption and the size AWidth × AHeight, and lays
// the frame out in it with AOkCaption on the default button.
TSideButtonFrame BuildSideButtonFrame(QDialog *ADialog, const QString &AName, const QString &ACaption,
                                      int AWidth, int AHeight, const QString &AOkCaption);
