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

#include <QPushButton>
#include <QSaveFile>

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
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setWindowTitle(CaptionFor(Schema, ObjName));
    chkModifySource = new TkdCheckBox(QStringLiteral("ソースを変更可能にする"), this);
    chkModifySource->setObjectName(QStringLiteral("chkModifySource"));
    chkModifySource->setVisible(false);
    btnOK = new QPushButton(QStringLiteral("開始(&E)"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnSave = new QPushButton(QStringLiteral("&SQL出力"), this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    txtLog = BuildStatementWindow(this, "frmDDLPreview", false, chkModifySource, {btnOK, btnSave, btnCancel});
    btnOK->setDefault(true);

    connect(btnOK, &QPushButton::clicked, this, [this] { done(1); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { done(2); });
    connect(btnSave, &QPushButton::clicked, this, [this] { GuardedCall([this] { btnSaveClick(); }); });
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
    // Centred over the main window: the stored size shows, the position follows the owner.
    CentreOverMainWindow(&form);
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
