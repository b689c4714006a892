#pragma once
// The read-only sample source of a function or a type, beside the source editor that asked
// for it. Each editor has at most one sample window; a second request reloads it.
#include "core/kdforms.h"

#include <QPointer>

class QToolButton;
class TkdMemo;

class TfrmSample : public TkdForm {
    Q_OBJECT
public:
    // Shows the sample of ObjectType (52 function, 55 type) for AOwner, whose SampleWindow
    // slot keeps the window. A missing file or another type: "ファイルが見つかりません。" and
    // the window closes.
    static int ShowWindow(QWidget *AOwner, QPointer<TfrmSample> &SampleWindow, int ObjectType);

    // The folder of the sample files (environment VANTOR_SAMPLE_DIR, beside the program, or
    // the source tree's resources/sample when run from a build folder).
    static QString SampleFolder();

    explicit TfrmSample(QWidget *AOwner);
    ~TfrmSample() override;

    QToolButton *btnExit = nullptr;
    TkdMemo *txtSample = nullptr;
};
