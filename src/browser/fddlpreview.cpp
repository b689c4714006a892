#include "browser/fddlpreview.h"

#include "browser/ddllog_memo.h"
#include <Qsci/qsciscintilla.h>
#include "controls/kdstdctl.h"
#include "core/kddialogsupport.h"
#include "core/kdforms.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_service.h"
#include "core/kdsub_text.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

namespace {
const QString kRebuild = QStringLiteral("インデックスの再構築");
const QString kGeometry = QStringLiteral("SQLPREVIEW");

// Joins the lines as the memo shows them, and splits the memo's text back into lines.
QString JoinLines(const QStringList &lines)
{
    return lines.join(QLatin1Char('\n'));
}
} // namespace

QString TfrmDDLPreview::CaptionFor(const QString &Schema, const QString &ObjName)
{
    if (ObjName == kRebuild)
        return ObjName + QStringLiteral("を実行");
    if (!Schema.isEmpty())
        return Schema + QStringLiteral(".") + ObjName + QStringLiteral(" のコンパイル");
    return ObjName + QStringLiteral(" のコンパイル");
}

QString TfrmDDLPreview::ProposedFileName(const QString &Schema, const QString &ObjName)
{
    const QString name = SafePathPart(ObjName == kRebuild ? QStringLiteral("script") : ObjName);
    if (!Schema.isEmpty())
        return SafePathPart(Schema) + QStringLiteral(".") + name + QStringLiteral(".sql");
    return name + QStringLiteral(".sql");
}

TfrmDDLPreview::TfrmDDLPreview(QWidget *parent, const QString &Schema, const QString &ObjName)
    : QDialog(parent), FSchema(Schema), FObjName(ObjName == kRebuild ? QStringLiteral("script") : ObjName)
{
    setObjectName(QStringLiteral("frmDDLPreview"));
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setWindowTitle(CaptionFor(Schema, ObjName));
    if (TkdMainForm *host = TkdMainForm::Instance())
        setWindowIcon(host->Image(10));
    auto *box = new QVBoxLayout(this);
    box->setContentsMargins(5, 5, 5, 0);
    box->setSpacing(0);
    txtLog = CreateStatementMemo(this, false);
    box->addWidget(txtLog, 1);

    auto *pnlBottom = new QWidget(this);
    pnlBottom->setObjectName(QStringLiteral("pnlBottom"));
    pnlBottom->setFixedHeight(37);
    auto *bottom = new QHBoxLayout(pnlBottom);
    bottom->setContentsMargins(0, 0, 0, 0);
    chkModifySource = new TkdCheckBox(QStringLiteral("ソースを変更可能にする"), pnlBottom);
    chkModifySource->setObjectName(QStringLiteral("chkModifySource"));
    chkModifySource->setVisible(false);
    btnOK = new QPushButton(QStringLiteral("開始(&E)"), pnlBottom);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnSave = new QPushButton(QStringLiteral("&SQL出力"), pnlBottom);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnCancel = new QPushButton(QStringLiteral("キャンセル"), pnlBottom);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    bottom->addWidget(chkModifySource);
    bottom->addStretch(1);
    bottom->addWidget(btnOK);
    bottom->addWidget(btnSave);
    bottom->addWidget(btnCancel);
    bottom->addStretch(1);
    box->addWidget(pnlBottom);
    btnOK->setDefault(true);
    setTabOrder(btnOK, btnSave);
    setTabOrder(btnSave, btnCancel);

    connect(btnOK, &QPushButton::clicked, this, [this] { done(1); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { done(2); });
    connect(btnSave, &QPushButton::clicked, this, [this] { GuardedCall([this] { btnSaveClick(); }); });
    resize(592, 366);
}

QStringList TfrmDDLPreview::Lines() const
{
    QString text = txtLog->text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text.split(QLatin1Char('\n'));
}

void TfrmDDLPreview::btnSaveClick()
{
    TSaveFileRequest request;
    request.Parent = this;
    request.Title = QStringLiteral("SQL文の保存");
    request.DefaultSuffix = QStringLiteral("SQL");
    request.Filter = QStringLiteral("SQLファイル(*.sql)|*.sql|すべてのファイル(*.*)|*.*");
    request.FileName = ProposedFileName(FSchema, FObjName);
    const QString path = PromptSaveFile(request);
    if (path.isEmpty())
        return;
    QString text;
    for (const QString &line : Lines())
        text += line + QStringLiteral("\r\n");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw TkdFileError(QStringLiteral("ファイルを作成できません: %1 (%2)").arg(path, file.errorString()));
    file.write(EncodeFileText(text, GetFileEncoding()));
    if (!file.commit())
        throw TkdFileError(QStringLiteral("ファイルを書き込めません: %1 (%2)").arg(path, file.errorString()));
    ShowMessageBox(QStringLiteral("SQL文の保存が完了しました。"), MB_ICONINFORMATION | MB_OK);
}

bool TfrmDDLPreview::ShowWindow(QStringList &ASQL, const QString &Schema, const QString &ObjName)
{
    if (!TkdOption::Global().ShowDDL)
        return true;
    TkdMainForm *host = TkdMainForm::Instance();
    QWidget *parent = host ? host->Widget() : nullptr;
    TfrmDDLPreview form(parent, Schema, ObjName);
    LoadDialogGeometry(&form, kGeometry);
    if (parent) {
        // Centred over the main window: the stored size shows, the position follows the owner.
        const QPoint centre = parent->frameGeometry().center();
        form.move(centre.x() - form.width() / 2, centre.y() - form.height() / 2);
    }
    const QString shown = JoinLines(ASQL);
    form.txtLog->setText(shown);
    form.txtLog->setCursorPosition(0, 0);
    const int result = form.exec();
    if (result == 1) {
        // The text cannot be edited; the list is replaced only should it differ.
        QString now = form.txtLog->text();
        now.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        if (now != shown)
            ASQL = form.Lines();
    }
    SaveDialogGeometry(&form, kGeometry);
    return result == 1;
}
