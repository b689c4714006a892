#include "app/fsupport.h"

#include "core/kdforms.h"
#include "core/kdopeners.h"
#include "core/kdsub_msg.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <dlfcn.h>
#include <grp.h>
#include <libpq-fe.h>
#include <unistd.h>

#ifndef VANTOR_VERSION
#define VANTOR_VERSION "0"
#endif

TSupportFacts SupportFacts()
{
    TSupportFacts f;
    f.Version = QStringLiteral(VANTOR_VERSION " (") + QSysInfo::currentCpuArchitecture() + QLatin1Char(')');
    f.ProgramPath = QCoreApplication::applicationFilePath();
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&PQlibVersion), &info) != 0 && info.dli_fname)
        f.LibpqPath = QString::fromLocal8Bit(info.dli_fname);
    f.LibpqVersion = PQlibVersion();
    f.OS = QSysInfo::prettyProductName();
    if (geteuid() == 0) {
        f.Group = QStringLiteral("root");
    } else if (const group *g = getgrgid(getegid())) {
        f.Group = QString::fromLocal8Bit(g->gr_name);
    } else {
        f.Group = QStringLiteral("Unknown");
    }
    f.Path = qEnvironmentVariable("PATH");
    return f;
}

static QString LibpqVersionText(int v)
{
    if (v <= 0)
        return QString();
    // From 10 on: major * 10000 + minor.
    return v >= 100000 ? QStringLiteral("%1.%2").arg(v / 10000).arg(v % 10000)
                       : QStringLiteral("%1.%2.%3").arg(v / 10000).arg(v / 100 % 100).arg(v % 100);
}

QStringList SupportText(const TSupportFacts &facts)
{
    QStringList s;
    s << QStringLiteral("【Kelvane情報】");
    s << QStringLiteral("  バージョン         : ") + facts.Version;
    s << QStringLiteral("  プログラムのパス   : ") + facts.ProgramPath;
    s << QString() << QStringLiteral("【PostgreSQL情報】");
    s << QStringLiteral("  libpqのパス        : ") + facts.LibpqPath;
    s << QStringLiteral("  libpqのバージョン  : ") + LibpqVersionText(facts.LibpqVersion);
    s << QString() << QStringLiteral("【OS情報】");
    s << QStringLiteral("  OS                 : ") + (facts.OS.isEmpty() ? QStringLiteral("Unknown") : facts.OS);
    s << QStringLiteral("  ユーザ権限         : ") + (facts.Group.isEmpty() ? QStringLiteral("Unknown") : facts.Group);
    const QStringList pieces = facts.Path.split(QLatin1Char(':'));
    for (int i = 0; i < pieces.size(); ++i)
        s << (i == 0 ? QStringLiteral("  PATH環境変数       : ") : QString(23, QLatin1Char(' '))) + pieces.at(i);
    return s;
}

TfrmSupport::TfrmSupport(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSupport"));
    setWindowTitle(QStringLiteral("サポート情報"));
    auto *box = new QVBoxLayout(this);
    auto *tolCmd = new QToolBar;
    tolCmd->setObjectName(QStringLiteral("tolCmd"));
    tolCmd->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto *popOutput = new QMenu(this);
    QAction *actCopy = popOutput->addAction(QStringLiteral("クリップボード出力(&C)"));
    actCopy->setObjectName(QStringLiteral("actCopy"));
    QAction *actPrint = popOutput->addAction(QStringLiteral("印刷(&P)"));
    actPrint->setObjectName(QStringLiteral("actPrint"));
    if (TkdMainForm *main = TkdMainForm::Instance()) {
        actCopy->setIcon(main->Image(21));
        actPrint->setIcon(main->Image(98));
    }
    connect(actCopy, &QAction::triggered, this, [this] { GuardedCall([this] { actCopyExecute(); }); });
    connect(actPrint, &QAction::triggered, this, [this] { GuardedCall([this] { actPrintExecute(); }); });
    auto *btnOutput = new QToolButton;
    btnOutput->setObjectName(QStringLiteral("btnOutput"));
    btnOutput->setText(QStringLiteral("出力(&P)"));
    btnOutput->setMenu(popOutput);
    btnOutput->setPopupMode(QToolButton::InstantPopup);
    tolCmd->addWidget(btnOutput);
    box->addWidget(tolCmd);
    txtSupport = new QPlainTextEdit;
    txtSupport->setObjectName(QStringLiteral("txtSupport"));
    txtSupport->setReadOnly(true);
    txtSupport->setLineWrapMode(QPlainTextEdit::NoWrap);
    // A monospaced font whose Japanese characters are two columns wide keeps the colons of the
    // labels in one column.
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (QFontDatabase::hasFamily(QStringLiteral("Noto Sans Mono CJK JP")))
        font.setFamily(QStringLiteral("Noto Sans Mono CJK JP"));
    txtSupport->setFont(font);
    box->addWidget(txtSupport, 1);
    auto *buttons = new QDialogButtonBox;
    QPushButton *btnOK = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    box->addWidget(buttons);
    resize(594, 292);
    txtSupport->setPlainText(SupportText(SupportFacts()).join(QLatin1Char('\n')));
}

int TfrmSupport::ShowWindow(QWidget *parent)
{
    TfrmSupport dlg(parent);
    return dlg.exec();
}

void TfrmSupport::actCopyExecute()
{
    QApplication::clipboard()->setText(txtSupport->toPlainText());
    ShowMessageBox(QStringLiteral("クリップボードに出力しました。"), MB_OK | MB_ICONINFORMATION);
}

void TfrmSupport::actPrintExecute()
{
    TOpenerArgs args;
    args.Parent = this;
    args.Values = {{QStringLiteral("Title"), QStringLiteral("サポート情報")},
                   {QStringLiteral("Lines"), txtSupport->toPlainText().split(QLatin1Char('\n'))}};
    kdopeners::Open(QStringLiteral("TfrmPrint"), args);
    txtSupport->setFocus();
}
