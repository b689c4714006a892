// Sample source window.
#include "app/fsample.h"

#include "controls/kdmemo.h"
#include "core/kdreg.h"
#include "core/kdsub_msg.h"
#include "core/kdsub_object.h"
#include "core/kdsub_options.h"
#include "core/kdsub_service.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
QString LayoutKey()
{
    return QString::fromUtf16(kMainKey) + QStringLiteral("\\GUI\\SAMPLE");
}
} // namespace

QString TfrmSample::SampleFolder()
{
    const QByteArray env = qgetenv("VANTOR_SAMPLE_DIR");
    if (!env.isEmpty())
        return QDir(QString::fromLocal8Bit(env)).absolutePath();
    const QString program = QCoreApplication::applicationDirPath();
    QStringList candidates{program + QStringLiteral("/sample"), program + QStringLiteral("/../share/vantor/sample")};
    QDir up(program);
    for (int i = 0; i < 5 && up.cdUp(); ++i)
        candidates << up.absolutePath() + QStringLiteral("/resources/sample");
    for (const QString &c : candidates)
        if (QFileInfo(c).isDir())
            return QDir(c).absolutePath();
    return QString();
}

TfrmSample::TfrmSample(QWidget *AOwner) : TkdForm(AOwner)
{
    setObjectName(QStringLiteral("frmSample"));
    setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_DeleteOnClose);
    auto *box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    auto *tolCmd = new QToolBar(this);
    btnExit = new QToolButton(tolCmd);
    btnExit->setText(QStringLiteral("終了(&X)"));
    btnExit->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    if (TkdMainForm *host = TkdMainForm::Instance()) {
        btnExit->setIcon(host->Image(42));
        setWindowIcon(host->Image(99));
    }
    tolCmd->addWidget(btnExit);
    box->addWidget(tolCmd);
    txtSample = new TkdMemo(this);
    txtSample->setObjectName(QStringLiteral("txtSample"));
    txtSample->setReadOnly(true);
    txtSample->setWrapMode(QsciScintilla::WrapNone);
    box->addWidget(txtSample, 1);
    connect(btnExit, &QToolButton::clicked, this, &QWidget::close);
    resize(671, 477);
    TkdRegistry reg(HKEY_CURRENT_USER);
    if (reg.OpenKey(LayoutKey(), true)) {
        if (reg.GetInteger(QStringLiteral("WindowState"), 0) == 2) {
            setWindowState(Qt::WindowMaximized);
        } else {
            resize(reg.GetInteger(QStringLiteral("Width"), width()), reg.GetInteger(QStringLiteral("Height"), height()));
        }
        reg.CloseKey();
    }
    if (TkdMainForm *host = TkdMainForm::Instance())
        if (QWidget *main = host->Widget())
            move(main->geometry().center() - rect().center());
}

TfrmSample::~TfrmSample()
{
    TkdRegistry reg(HKEY_CURRENT_USER);
    if (reg.OpenKey(LayoutKey(), true)) {
        const int state = isMaximized() ? 2 : 0;
        reg.WriteInteger(QStringLiteral("WindowState"), state);
        if (state == 0) {
            reg.WriteInteger(QStringLiteral("Left"), x());
            reg.WriteInteger(QStringLiteral("Top"), y());
            reg.WriteInteger(QStringLiteral("Width"), width());
            reg.WriteInteger(QStringLiteral("Height"), height());
        }
        reg.CloseKey();
    }
}

int TfrmSample::ShowWindow(QWidget *AOwner, QPointer<TfrmSample> &SampleWindow, int ObjectType)
{
    if (!SampleWindow) {
        SampleWindow = new TfrmSample(AOwner);
        SampleWindow->setWindowTitle(NameOfObjectType(ObjectType) + QStringLiteral(" - サンプル"));
    }
    QString file;
    const QString folder = SampleFolder();
    if (!folder.isEmpty() && ObjectType == 52)
        file = folder + QStringLiteral("/function.sql");
    else if (!folder.isEmpty() && ObjectType == 55)
        file = folder + QStringLiteral("/type.sql");
    QFile f(file);
    if (file.isEmpty() || !f.open(QIODevice::ReadOnly)) {
        ShowMessageBox(QStringLiteral("ファイルが見つかりません。"), MB_ICONWARNING | MB_OK);
        SampleWindow->close();
        return 0;
    }
    TkdMemo *memo = SampleWindow->txtSample;
    memo->setReadOnly(false);
    memo->setText(DecodeFileText(f.readAll(), GetFileEncoding()));
    memo->setReadOnly(true);
    memo->setModified(false);
    memo->SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
    SampleWindow->show();
    SampleWindow->raise();
    SampleWindow->activateWindow();
    return 0;
}
