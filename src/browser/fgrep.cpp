// Options dialog of the full-text search.
#include "browser/fgrep.h"

#include "browser/side_button_dialog.h"
#include "core/kdsub_msg.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TfrmGrep::TfrmGrep(QWidget *AParent) : QDialog(AParent)
{
    const TSideButtonFrame frame = BuildSideButtonFrame(this, QStringLiteral("frmGrep"), QStringLiteral("GREP"),
                                                        392, 193, QStringLiteral("開始"));
    QVBoxLayout *left = frame.Controls;
    btnOk = frame.Ok;
    btnCancel = frame.Cancel;
    left->addWidget(new QLabel(QStringLiteral("検索文字列"), this));
    txtGrepWord = new QLineEdit(this);
    txtGrepWord->setObjectName(QStringLiteral("txtGrepWord"));
    left->addWidget(txtGrepWord);
    auto *group = new QGroupBox(QStringLiteral(" 対象オブジェクト "), this);
    group->setObjectName(QStringLiteral("rdoObject"));
    auto *radios = new QVBoxLayout(group);
    grpObject = new QButtonGroup(this);
    const char *const items[] = {"現在選択中のオブジェクト", "現在一覧表示されているオブジェクト",
                                 "現在選択中のスキーマ、タイプで再検索したオブジェクト", "全てのオブジェクト"};
    for (int i = 0; i < 4; ++i) {
        rdoObject[i] = new QRadioButton(QString::fromUtf8(items[i]), group);
        grpObject->addButton(rdoObject[i], i);
        radios->addWidget(rdoObject[i]);
    }
    left->addWidget(group);
    chkCharCase = new QCheckBox(QStringLiteral("大文字小文字を区別する"), this);
    chkCharCase->setObjectName(QStringLiteral("chkCharCase"));
    left->addWidget(chkCharCase);
    connect(btnOk, &QPushButton::clicked, this, &TfrmGrep::btnOkClick);
}

void TfrmGrep::btnOkClick()
{
    if (txtGrepWord->text().trimmed().isEmpty()) {
        ShowMessageBox(QStringLiteral("検索する文字列を指定して下さい。"), MB_ICONWARNING | MB_OK);
        txtGrepWord->setFocus();
        return;
    }
    done(1);
}

bool TfrmGrep::ShowWindow(QString &GrepWord, int &Mode, bool &CharCase)
{
    TfrmGrep form(QApplication::activeWindow());
    form.txtGrepWord->setText(GrepWord);
    if (Mode >= 0 && Mode < 4)
        form.rdoObject[Mode]->setChecked(true);
    else
        form.rdoObject[0]->setChecked(true);
    form.chkCharCase->setChecked(false);
    if (form.exec() != 1)
        return false;
    CharCase = form.chkCharCase->isChecked();
    GrepWord = form.txtGrepWord->text();
    if (!CharCase)
        GrepWord = QLocale().toUpper(GrepWord);
    Mode = form.grpObject->checkedId();
    return true;
}
