#include "frames/xls_sql_dialog.h"

#include "controls/kdstdctl.h"
#include "core/kddialogsupport.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_service.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QToolButton>
#include <algorithm>
#include <functional>

QString XlsTargetFileName(const QString &AChosen)
{
    const QString suffix = QFileInfo(AChosen).suffix().trimmed().toUpper();
    if (suffix == u"XLSX")
        return AChosen;
    if (suffix == u"XLS")
        return AChosen + u'x';
    return AChosen + QStringLiteral(".xlsx");
}

namespace {
QString FileFilter()
{
    return QtFileFilter(ExcelFileFilterFor(QStringLiteral(".XLSX")) + QStringLiteral("|すべてのファイル(*.*)|*.*"));
}
}

TfrmXlsSQL::TfrmXlsSQL(QWidget *AOwner) : QDialog(AOwner)
{
    setObjectName(QStringLiteral("frmXlsSQL"));
    setWindowTitle(QStringLiteral("EXCEL出力(SQL結果)"));
    const TkdOption &opt = TkdOption::Global();
    auto *outer = new QVBoxLayout(this);
    auto *grid = new QGridLayout();
    outer->addLayout(grid);
    auto addFileRow = [&](int row, const QString &label, TkdStrEdit *&edit, const QString &name,
                          const QString &buttonName) {
        grid->addWidget(new QLabel(label, this), row, 0);
        edit = new TkdStrEdit(this);
        edit->setObjectName(name);
        edit->setMinimumWidth(320);
        grid->addWidget(edit, row, 1);
        auto *b = new QToolButton(this);
        b->setObjectName(buttonName);
        b->setText(QStringLiteral("..."));
        grid->addWidget(b, row, 2);
        return b;
    };
    QToolButton *browseSave = addFileRow(0, QStringLiteral("保存ファイル名"), FSaveFile,
                                         QStringLiteral("txtSaveFile"), QStringLiteral("btnSaveFile"));
    grid->addWidget(new QLabel(QStringLiteral("シート名"), this), 1, 0);
    FSheet = new TkdStrEdit(this);
    FSheet->setObjectName(QStringLiteral("txtSheet"));
    FSheet->setText(opt.ExcelSheet);
    grid->addWidget(FSheet, 1, 1);
    QToolButton *browseForm = addFileRow(2, QStringLiteral("フォームファイル"), FFormFile,
                                         QStringLiteral("txtFormFile"), QStringLiteral("btnFormFile"));
    FFormFile->setText(opt.ExcelForm);

    auto *pos = new QGroupBox(QStringLiteral("開始位置"), this);
    auto *posRow = new QHBoxLayout(pos);
    posRow->addWidget(new QLabel(QStringLiteral("桁"), pos));
    FColumn = new TkdComboBox(pos);
    FColumn->setObjectName(QStringLiteral("cmbColumn"));
    FColumn->addItems(XlsColumnNames());
    FColumn->setMaxVisibleItems(20);
    FColumn->setCurrentIndex(std::clamp(opt.ExcelLeft, 0, 255));
    posRow->addWidget(FColumn);
    posRow->addWidget(new QLabel(QStringLiteral("行"), pos));
    FRow = new TkdNumEdit(pos);
    FRow->setObjectName(QStringLiteral("txtRow"));
    FRow->SetValueInt(opt.ExcelTop + 1);
    posRow->addWidget(FRow);
    posRow->addStretch();
    outer->addWidget(pos);

    auto radios = [&](const QString &title, const QStringList &items, QButtonGroup *&group, int checked) {
        auto *box = new QGroupBox(title, this);
        auto *l = new QHBoxLayout(box);
        group = new QButtonGroup(box);
        for (int i = 0; i < items.size(); ++i) {
            auto *r = new QRadioButton(items.at(i), box);
            group->addButton(r, i);
            l->addWidget(r);
            r->setChecked(i == checked);
        }
        outer->addWidget(box);
    };
    radios(QStringLiteral("出力方向"), {QStringLiteral("縦方向"), QStringLiteral("横方向")}, FMode,
           std::clamp(opt.ExcelMode, 0, 1));
    radios(QStringLiteral(" 列タイトル出力 "),
           {QStringLiteral("項目名を使用"), QStringLiteral("コメントを使用"), QStringLiteral("出力しない")}, FTitle,
           std::clamp(int(opt.ExcelTitle), 0, 2));
    FRefresh = new QCheckBox(QStringLiteral("最新のデータを読み直してから出力する"), this);
    FRefresh->setObjectName(QStringLiteral("chkRefresh"));
    FRefresh->setChecked(opt.ExcelRefresh);
    outer->addWidget(FRefresh);

    auto *buttons = new QHBoxLayout();
    buttons->addStretch();
    FOk = new QPushButton(QStringLiteral("開始"), this);
    FOk->setObjectName(QStringLiteral("btnOk"));
    FCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    FCancel->setObjectName(QStringLiteral("btnCancel"));
    buttons->addWidget(FOk);
    buttons->addWidget(FCancel);
    outer->addLayout(buttons);

    connect(FOk, &QPushButton::clicked, this, &TfrmXlsSQL::btnOkClick);
    connect(FCancel, &QPushButton::clicked, this, [this] { done(2); });
    connect(browseSave, &QToolButton::clicked, this, &TfrmXlsSQL::btnSaveFileClick);
    connect(browseForm, &QToolButton::clicked, this, [this] {
        QString text = FFormFile->text();
        if (text.endsWith(u'/') || text.endsWith(u'\\'))
            text.chop(1);
        const QString chosen = QFileDialog::getOpenFileName(this, QString(), text, FileFilter());
        if (!chosen.isEmpty())
            FFormFile->setText(chosen);
    });
}

std::function<void(TfrmXlsSQL *)> &TfrmXlsSQL::ShowHook()
{
    static std::function<void(TfrmXlsSQL *)> hook;
    return hook;
}

void TfrmXlsSQL::showEvent(QShowEvent *AEvent)
{
    QDialog::showEvent(AEvent);
    if (ShowHook())
        QTimer::singleShot(0, this, [this] { ShowHook()(this); });
}

void TfrmXlsSQL::btnSaveFileClick()
{
    QString text = FSaveFile->text();
    if (text.endsWith(u'/') || text.endsWith(u'\\'))
        text.chop(1);
    TSaveFileRequest req;
    req.Parent = this;
    req.FileName = text;
    req.Filter = ExcelFileFilterFor(QStringLiteral(".XLSX")) + QStringLiteral("|すべてのファイル(*.*)|*.*");
    const QString chosen = PromptSaveFile(req);
    if (!chosen.isEmpty())
        FSaveFile->setText(XlsTargetFileName(chosen));
}

void TfrmXlsSQL::btnOkClick()
{
    bool ok = false;
    const qint64 row = FRow->text().trimmed().toLongLong(&ok);
    if (!ok || row < 1 || row > 65536) {
        ShowMessageBox(QStringLiteral("行は 1 ～ 65536 の範囲で指定して下さい。"), MB_OK | MB_ICONWARNING);
        FRow->setFocus();
        return;
    }
    const QString form = FFormFile->text();
    if (!form.isEmpty()) {
        if (!QFileInfo(form).isFile()) {
            ShowMessageBox(form + QStringLiteral(" が存在しません。"), MB_OK | MB_ICONWARNING);
            FFormFile->setFocus();
            return;
        }
        if (QFileInfo(form).suffix().compare(QStringLiteral("xls"), Qt::CaseInsensitive) == 0) {
            ShowMessageBox(form + QStringLiteral(" は .xls 形式のため、フォームファイルに使用できません。"
                                                 ".xlsx 形式で保存したファイルを指定して下さい。"),
                           MB_OK | MB_ICONWARNING);
            FFormFile->setFocus();
            return;
        }
    }
    // Only .xlsx books are written: a target typed as ".xls" is written as ".xlsx".
    QString target = FSaveFile->text();
    if (QFileInfo(target).suffix().compare(QStringLiteral("xls"), Qt::CaseInsensitive) == 0) {
        target += u'x';
        FSaveFile->setText(target);
    }
    if (!target.isEmpty() && QFileInfo(target).isFile()) {
        if (ShowMessageBox(target + QStringLiteral(" はすでに存在します。\r\n上書きしますか？"),
                           MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
            return;
    }
    TkdOption &opt = TkdOption::Global();
    opt.ExcelSheet = FSheet->text();
    opt.ExcelForm = form;
    opt.ExcelMode = std::max(0, FMode->checkedId());
    opt.ExcelTitle = TTitleMode(std::max(0, FTitle->checkedId()));
    opt.ExcelRefresh = FRefresh->isChecked();
    opt.ExcelTop = int(row - 1);
    opt.ExcelLeft = std::max(0, FColumn->currentIndex());
    done(1);
}
