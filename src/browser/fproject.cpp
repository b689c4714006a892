// Schema filter dialog of the object tree.
#include "browser/fproject.h"

#include "browser/objtree.h"
#include "core/kdconnservices.h"
#include "core/kdsub_msg.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TfrmProject::TfrmProject(QWidget *AParent) : QDialog(AParent)
{
    setObjectName(QStringLiteral("frmProject"));
    setWindowTitle(QStringLiteral("表示スキーマ設定"));
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    resize(352, 304);
    auto *box = new QHBoxLayout(this);
    auto *left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("表示するスキーマ"), this));
    chkUserList = new QListWidget(this);
    chkUserList->setObjectName(QStringLiteral("chkUserList"));
    left->addWidget(chkUserList, 1);
    box->addLayout(left, 1);
    auto *buttons = new QVBoxLayout;
    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    buttons->addStretch(1);
    box->addLayout(buttons);
    connect(btnOk, &QPushButton::clicked, this, &TfrmProject::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, [this] { done(2); });
}

QStringList TfrmProject::Ticked() const
{
    QStringList names;
    for (int i = 0; i < chkUserList->count(); ++i)
        if (chkUserList->item(i)->checkState() == Qt::Checked)
            names << chkUserList->item(i)->text();
    return names;
}

void TfrmProject::btnOkClick()
{
    if (Ticked().isEmpty()) {
        ShowMessageBox(QStringLiteral("所属するスキーマを最低一つは選択して下さい。"), MB_ICONWARNING | MB_OK);
        chkUserList->setFocus();
        return;
    }
    done(1);
}

bool TfrmProject::ShowWindow(TkdConnServices *AOwner,
                             const std::function<void(QStringList &)> &GetSchemaInfo,
                             const QString & /*ProjectName*/)
{
    TfrmProject form(QApplication::activeWindow());
    QStringList schemas;
    if (GetSchemaInfo)
        GetSchemaInfo(schemas);
    const QString database = AOwner ? AOwner->ConnectionParam(QStringLiteral("Database")) : QString();
    const QStringList stored = ReadStoredSchemas(database);
    for (const QString &name : schemas) {
        auto *item = new QListWidgetItem(name, form.chkUserList);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(stored.contains(name) ? Qt::Checked : Qt::Unchecked);
    }
    if (form.exec() != 1)
        return false;
    WriteStoredSchemas(database, form.Ticked());
    return true;
}
