// Statistics snapshot choice dialog.
#include "app/fstatlist.h"

#include "core/kdforms.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TfrmStatList::TfrmStatList(QWidget *AParent) : QDialog(AParent)
{
    setObjectName(QStringLiteral("frmStatList"));
    setWindowTitle(QStringLiteral("データベース統計履歴の削除"));
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    resize(352, 382);
    if (TkdMainForm *host = TkdMainForm::Instance())
        setWindowIcon(host->Image(86));
    auto *box = new QVBoxLayout(this);
    lstLog = new QListWidget(this);
    lstLog->setObjectName(QStringLiteral("lstLog"));
    box->addWidget(lstLog, 1);
    auto *label = new QLabel(QStringLiteral("削除したい履歴にチェックを入れ、削除ボタンを押してください。"), this);
    label->setWordWrap(true);
    box->addWidget(label);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnDelete = new QPushButton(QStringLiteral("削除(&D)"), this);
    btnDelete->setObjectName(QStringLiteral("btnDelete"));
    btnExit = new QPushButton(QStringLiteral("閉じる(&X)"), this);
    btnExit->setObjectName(QStringLiteral("btnExit"));
    btnDelete->setFlat(true);
    btnExit->setFlat(true);
    buttons->addWidget(btnDelete);
    buttons->addWidget(btnExit);
    box->addLayout(buttons);
    connect(btnDelete, &QPushButton::clicked, this, [this] { done(1); });
    connect(btnExit, &QPushButton::clicked, this, [this] { done(2); });
}

bool TfrmStatList::ShowWindow(const std::function<QString(const QString &)> &FileNameToDate, const QStringList &S,
                              QList<bool> &Marked)
{
    TkdMainForm *host = TkdMainForm::Instance();
    TfrmStatList form(host ? host->Widget() : QApplication::activeWindow());
    for (const QString &name : S) {
        auto *item = new QListWidgetItem(FileNameToDate ? FileNameToDate(name) : name, form.lstLog);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    if (form.exec() != 1)
        return false;
    Marked.clear();
    for (int i = 0; i < S.size(); ++i)
        Marked << (i < form.lstLog->count() && form.lstLog->item(i)->checkState() == Qt::Checked);
    return true;
}
