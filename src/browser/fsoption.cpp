// Script-output options dialog.
#include "browser/fsoption.h"

#include "browser/fobject.h"
#include "browser/savedsource.h"
#include "browser/scriptout.h"
#include "core/kddialogsupport.h"
#include "core/kdopeners.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QButtonGroup *RadioRow(QWidget *parent, QBoxLayout *into, const QString &title, const QStringList &items, bool vertical)
{
    auto *g = new QGroupBox(title, parent);
    QBoxLayout *l = vertical ? static_cast<QBoxLayout *>(new QVBoxLayout(g)) : new QHBoxLayout(g);
    auto *group = new QButtonGroup(parent);
    for (int i = 0; i < items.size(); ++i) {
        auto *r = new QRadioButton(items.at(i), g);
        group->addButton(r, i);
        l->addWidget(r);
    }
    into->addWidget(g);
    return group;
}

const QStringList kPlaces = {QStringLiteral("自身のスクリプトに追加"), QStringLiteral("別フォルダに出力"),
                             QStringLiteral("別ファイルに出力")};

QString NameTableLine(const QStringList &lines, const QString &database)
{
    return NameTableOf(lines, database);
}

void SetNameTableLine(QStringList &lines, const QString &database, const QString &table)
{
    for (int i = int(lines.size()) - 1; i >= 0; --i)
        if (lines.at(i).section(u'=', 0, 0) == database)
            lines.removeAt(i);
    if (!table.isEmpty())
        lines << database + u'=' + table;
}

} // namespace

TfrmScriptOption::TfrmScriptOption(TfrmObject *AOwner, QWidget *AParent) : QDialog(AParent), OwnerForm(AOwner)
{
    setObjectName(QStringLiteral("frmScriptOption"));
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    auto *box = new QVBoxLayout(this);

    grpFile = new QGroupBox(QStringLiteral(" 出力先 "), this);
    auto *file = new QGridLayout(grpFile);
    chkOneScript = new QCheckBox(QStringLiteral("同時に出力するスクリプトを一つにまとめる"), grpFile);
    chkDir = new QCheckBox(QStringLiteral("タイプに応じたサブフォルダを作成する"), grpFile);
    lblNameTable = new QLabel(QStringLiteral("名前TBL"), grpFile);
    cmbNameTable = new QComboBox(grpFile);
    cmbNameTable->setEditable(true);
    cmbNameTable->setObjectName(QStringLiteral("cmbNameTable"));
    btnNameTable = new QPushButton(QStringLiteral("設定"), grpFile);
    btnNameTable->setEnabled(false);
    auto *lblDir = new QLabel(QStringLiteral("出力先"), grpFile);
    txtDir = new QLineEdit(grpFile);
    txtDir->setObjectName(QStringLiteral("txtDir"));
    btnDialog = new QToolButton(grpFile);
    btnDialog->setText(QStringLiteral("..."));
    chkSameName = new QCheckBox(QStringLiteral("すでに同じファイルが存在する場合は上書きする"), grpFile);
    file->addWidget(chkOneScript, 0, 0, 1, 3);
    file->addWidget(chkDir, 1, 0, 1, 3);
    file->addWidget(lblNameTable, 2, 0);
    file->addWidget(cmbNameTable, 2, 1);
    file->addWidget(btnNameTable, 2, 2);
    file->addWidget(lblDir, 3, 0);
    file->addWidget(txtDir, 3, 1);
    file->addWidget(btnDialog, 3, 2);
    file->addWidget(chkSameName, 4, 0, 1, 3);
    box->addWidget(grpFile);

    rdoOwner = RadioRow(this, box, QStringLiteral(" スキーマ名の出力 "),
                        {QStringLiteral("常に出力する"), QStringLiteral("オブジェクト所有者と違うスキーマの場合に出力する"),
                         QStringLiteral("出力しない")},
                        true);
    chkIndex = new QCheckBox(QStringLiteral("テーブルスクリプトに従属インデックスも追加する"), this);
    box->addWidget(chkIndex);
    chkInsert = new QCheckBox(QStringLiteral("テーブルスクリプト出力時、データも出力(INSERT文)"), this);
    box->addWidget(chkInsert);
    rdoInsert = RadioRow(this, box, QString(), kPlaces, false);
    chkStorage = new QCheckBox(QStringLiteral("テーブルスクリプトに領域情報も追加する"), this);
    box->addWidget(chkStorage);
    chkListViewCol = new QCheckBox(QStringLiteral("ビューのスクリプト出力時、項目名を出力する"), this);
    box->addWidget(chkListViewCol);
    chkGrant = new QCheckBox(QStringLiteral("オブジェクト権限を出力する"), this);
    box->addWidget(chkGrant);
    rdoGrant = RadioRow(this, box, QString(), kPlaces, false);
    chkNullLine = new QCheckBox(QStringLiteral("空白行を出力しない"), this);
    box->addWidget(chkNullLine);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnOk = new QPushButton(QStringLiteral("開始"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    box->addLayout(buttons);

    connect(chkOneScript, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            chkDir->setChecked(false);
        UpdateStates();
    });
    connect(chkInsert, &QCheckBox::toggled, this, [this] { UpdateStates(); });
    connect(chkGrant, &QCheckBox::toggled, this, [this] { UpdateStates(); });
    connect(cmbNameTable, &QComboBox::editTextChanged, this, [this] { UpdateStates(); });
    connect(btnOk, &QPushButton::clicked, this, &TfrmScriptOption::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, [this] { done(2); });
    connect(btnDialog, &QToolButton::clicked, this, &TfrmScriptOption::btnDialogClick);
    connect(btnNameTable, &QPushButton::clicked, this, [this] {
        GuardedCall([this] {
            TScriptOption &opt = TScriptOption::Global();
            SetNameTableLine(opt.NameTable, Database(), cmbNameTable->currentText().trimmed());
            TOpenerArgs args;
            args.Owner = OwnerForm;
            args.Parent = this;
            kdopeners::Open(QStringLiteral("TfrmNameTable"), args);
            cmbNameTable->setEditText(NameTableLine(opt.NameTable, Database()));
        });
    });
}

QString TfrmScriptOption::Database() const
{
    return OwnerForm ? OwnerForm->ConnectionParam(QStringLiteral("Database")) : QString();
}

void TfrmScriptOption::UpdateStates()
{
    const bool one = chkOneScript->isChecked();
    chkDir->setEnabled(!one);
    const bool names = !one && OwnerForm;
    cmbNameTable->setEnabled(names);
    lblNameTable->setEnabled(OwnerForm);
    btnNameTable->setEnabled(OwnerForm && !cmbNameTable->currentText().trimmed().isEmpty());
    for (QAbstractButton *b : rdoInsert->buttons())
        b->setEnabled(chkInsert->isChecked());
    for (QAbstractButton *b : rdoGrant->buttons())
        b->setEnabled(chkGrant->isChecked());
}

void TfrmScriptOption::ShowOptions()
{
    const TScriptOption &o = TScriptOption::Global();
    chkOneScript->setChecked(o.OneScript);
    chkDir->setChecked(o.Dir);
    txtDir->setText(o.Path);
    chkSameName->setChecked(o.SameName);
    if (OwnerForm)
        cmbNameTable->setEditText(NameTableLine(o.NameTable, Database()));
    if (auto *b = rdoOwner->button(o.Owner))
        b->setChecked(true);
    chkIndex->setChecked(o.Index);
    chkInsert->setChecked(o.Insert);
    if (auto *b = rdoInsert->button(o.InsertMode))
        b->setChecked(true);
    chkStorage->setChecked(o.Storage);
    chkListViewCol->setChecked(o.ViewCol);
    chkGrant->setChecked(o.Grant);
    if (auto *b = rdoGrant->button(o.GrantMode))
        b->setChecked(true);
    chkNullLine->setChecked(o.NullLine);
    UpdateStates();
}

void TfrmScriptOption::SaveOptions()
{
    TScriptOption &o = TScriptOption::Global();
    if (!chkOneScript->isChecked())
        txtDir->setText(NormalizeScriptFolder(txtDir->text()));
    o.OneScript = chkOneScript->isChecked();
    o.Dir = chkDir->isChecked();
    o.Path = txtDir->text();
    o.SameName = chkSameName->isChecked();
    if (OwnerForm)
        SetNameTableLine(o.NameTable, Database(), cmbNameTable->currentText().trimmed());
    o.Owner = qMax(0, rdoOwner->checkedId());
    o.Index = chkIndex->isChecked();
    o.Insert = chkInsert->isChecked();
    o.InsertMode = qMax(0, rdoInsert->checkedId());
    o.Storage = chkStorage->isChecked();
    o.ViewCol = chkListViewCol->isChecked();
    o.Grant = chkGrant->isChecked();
    o.GrantMode = qMax(0, rdoGrant->checkedId());
    o.NullLine = chkNullLine->isChecked();
}

void TfrmScriptOption::btnOkClick()
{
    // An empty output path would write into the root folder: refused.
    if (txtDir->text().trimmed().isEmpty()) {
        ShowMessageBox(QStringLiteral("出力先を指定して下さい。"), MB_ICONWARNING | MB_OK);
        txtDir->setFocus();
        return;
    }
    const QString table = cmbNameTable->currentText().trimmed();
    if (cmbNameTable->isEnabled() && !table.isEmpty() && OwnerForm) {
        try {
            OwnerForm->dbsMain()->protect([&] {
                db::Query *q = OwnerForm->OpenSQL(NameTableTestSQL(table));
                q->close();
            });
        } catch (const std::exception &e) {
            ShowMessageBox(QStringLiteral("名前TBL名が無効です。\r\n") + QString::fromUtf8(e.what()), MB_ICONWARNING | MB_OK);
            cmbNameTable->setFocus();
            return;
        }
    }
    done(1);
}

void TfrmScriptOption::btnDialogClick()
{
    if (chkOneScript->isChecked()) {
        QString path = txtDir->text();
        while (path.endsWith(u'\\') || path.endsWith(u'/'))
            path.chop(1);
        TSaveFileRequest request;
        request.Parent = this;
        request.FileName = path;
        request.Filter = QStringLiteral("SQLファイル(*.sql)|*.sql|すべてのファイル(*.*)|*.*");
        const QString chosen = PromptSaveFile(request);
        if (!chosen.isEmpty())
            txtDir->setText(chosen);
        return;
    }
    const QString dir = QFileDialog::getExistingDirectory(this, QStringLiteral("出力先を選択して下さい。"), txtDir->text());
    if (!dir.isEmpty())
        txtDir->setText(NormalizeScriptFolder(dir));
}

bool TfrmScriptOption::ShowWindow(TfrmObject *AOwner, QString &ScriptPath, QString &NameTable)
{
    TfrmScriptOption form(AOwner, QApplication::activeWindow());
    form.setWindowTitle(QStringLiteral("スクリプト出力"));
    form.btnOk->setText(QStringLiteral("開始"));
    form.ShowOptions();
    if (form.exec() != 1)
        return false;
    form.SaveOptions();
    ScriptPath = form.txtDir->text();
    NameTable = form.cmbNameTable->currentText().trimmed();
    return true;
}

bool TfrmScriptOption::ShowWindow()
{
    TfrmScriptOption form(nullptr, QApplication::activeWindow());
    form.setWindowTitle(QStringLiteral("スクリプト出力オプション"));
    form.btnOk->setText(QStringLiteral("OK"));
    form.ShowOptions();
    form.lblNameTable->setEnabled(false);
    form.cmbNameTable->setEnabled(false);
    form.btnNameTable->setEnabled(false);
    if (form.exec() != 1)
        return false;
    form.SaveOptions();
    return true;
}
