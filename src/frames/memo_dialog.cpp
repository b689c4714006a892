#include "frames/memo_dialog.h"

#include "controls/kdmemo.h"
#include "controls/kdsharedsettings.h"
#include "core/kddialogsupport.h"
#include "core/kdforms.h"
#include "frames/frame_support.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QString GeometryKey = QStringLiteral("COMMENT");
}

TfrmMemo::TfrmMemo(QWidget *AParent) : QDialog(AParent)
{
    setObjectName(QStringLiteral("frmMemo"));
    setWindowTitle(QStringLiteral("文字列の編集"));
    setWindowIcon(FrameImage(93));
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(5, 5, 5, 0);
    FMemo = new TkdMemo(this);
    FMemo->setObjectName(QStringLiteral("txtComment"));
    outer->addWidget(FMemo, 1);
    auto *buttons = new QWidget(this);
    buttons->setObjectName(QStringLiteral("pnlButtons"));
    buttons->setFixedHeight(37);
    auto *row = new QHBoxLayout(buttons);
    row->addStretch();
    FOk = new QPushButton(QStringLiteral("OK"), buttons);
    FOk->setObjectName(QStringLiteral("btnOk"));
    FCancel = new QPushButton(QStringLiteral("キャンセル"), buttons);
    FCancel->setObjectName(QStringLiteral("btnCancel"));
    FOk->setAutoDefault(false);
    FCancel->setAutoDefault(false);
    row->addWidget(FOk);
    row->addWidget(FCancel);
    row->addStretch();
    outer->addWidget(buttons);
    connect(FOk, &QPushButton::clicked, this, [this] { done(1); });
    connect(FCancel, &QPushButton::clicked, this, [this] { done(2); });
    resize(392, 266);
}

std::function<void(TfrmMemo *)> &TfrmMemo::ShowHook()
{
    static std::function<void(TfrmMemo *)> hook;
    return hook;
}

void TfrmMemo::showEvent(QShowEvent *AEvent)
{
    QDialog::showEvent(AEvent);
    // The caret stands after the last character, also after a closing line break.
    FMemo->SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    FMemo->setFocus();
    if (ShowHook())
        QTimer::singleShot(0, this, [this] { ShowHook()(this); });
}

int TfrmMemo::ShowWindow(QString &AComment)
{
    TkdMainForm *main = TkdMainForm::Instance();
    TfrmMemo dlg(main ? main->Widget() : nullptr);
    LoadDialogGeometry(&dlg, GeometryKey);
    ApplySharedSettings(dlg.FMemo);
    // Enter and Tab go into the text; no line numbers, no wrap; new lines as LF, so a value
    // read from the server keeps its line breaks.
    dlg.FMemo->setWrapMode(QsciScintilla::WrapNone);
    dlg.FMemo->setMarginWidth(0, 0);
    dlg.FMemo->setMarginWidth(1, 0);
    dlg.FMemo->setEolMode(QsciScintilla::EolUnix);
    dlg.FMemo->setEolVisibility(true);
    dlg.FMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    dlg.FMemo->setText(AComment);
    dlg.FMemo->setModified(false);
    if (main)
        dlg.move(main->Widget()->geometry().center() - dlg.rect().center());
    const int result = dlg.exec();
    if (result == 1 && dlg.FMemo->isModified())
        AComment = dlg.FMemo->text();
    SaveDialogGeometry(&dlg, GeometryKey);
    return result == 1 ? 1 : 2;
}
