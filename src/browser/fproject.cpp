// Schema filter dialog of the object tree.
#include "browser/fproject.h"

#include "browser/objtree.h"
#include "browser/side_button_dialog.h"
#include "core/kdconnservices.h"
#include "core/kdsub_msg.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TfrmProject::TfrmProject(QWidget *AParent) : QDialog(AParent)
{
    const TSideButtonFrame frame = BuildSideButtonFrame(this, QStringLiteral("frmProject"),
                                                        QStringLiteral("表示スキーマ設定"), 352, 304, QStringLiteral("OK"));
    btnOk = frame.Ok;
    btnCancel = frame.Cancel;
    frame.Controls->addWidget(new QLabel(QStringLiteral("表示するスキーマ"), this));
    chkUserList = new QListWidget(this);
    chkUserList->setObjectName(QStringLiteral("chkUserList"));
    frame.Controls->addWidget(chkUserList, 1);
    connect(btnOk, &QPushButton::clicked, this, &TfrmProject::btnOkClick);
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
