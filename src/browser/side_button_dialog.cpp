#include "browser/side_button_dialog.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TSideButtonFrame BuildSideButtonFrame(QDialog *ADialog, const QString &AName, const QString &ACaption,
                                      int AWidth, int AHeight, const QString &AOkCaption)
{
    ADialog->setObjectName(AName);
    ADialog->setWindowTitle(ACaption);
    ADialog->setWindowFlags(ADialog->windowFlags() | Qt::WindowStaysOnTopHint);
    ADialog->resize(AWidth, AHeight);
    TSideButtonFrame frame;
    auto *box = new QHBoxLayout(ADialog);
    frame.Controls = new QVBoxLayout;
    box->addLayout(frame.Controls, 1);
    auto *buttons = new QVBoxLayout;
    frame.Ok = new QPushButton(AOkCaption, ADialog);
    frame.Ok->setObjectName(QStringLiteral("btnOk"));
    frame.Ok->setDefault(true);
    frame.Cancel = new QPushButton(QStringLiteral("キャンセル"), ADialog);
    frame.Cancel->setObjectName(QStringLiteral("btnCancel"));
    buttons->addWidget(frame.Ok);
    buttons->addWidget(frame.Cancel);
    buttons->addStretch(1);
    box->addLayout(buttons);
    QObject::connect(frame.Cancel, &QPushButton::clicked, ADialog, [ADialog] { ADialog->done(2); });
    return frame;
}
