#include "controls/kdhhelp.h"

#include "core/kdsub_msg.h"
#include "core/kdsub_start.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QPointer>

namespace {
QString &HelpFileRef()
{
    static QString file;
    return file;
}
std::function<bool(const QUrl &)> &OpenHookRef()
{
    static std::function<bool(const QUrl &)> hook;
    return hook;
}
QPointer<THTMLHelp> &InstanceRef()
{
    static QPointer<THTMLHelp> help;
    return help;
}
} // namespace

THTMLHelp::THTMLHelp(QObject *AOwner) : QObject(AOwner)
{
    InstanceRef() = this;
}

THTMLHelp::~THTMLHelp() = default;

THTMLHelp *THTMLHelp::Instance() { return InstanceRef(); }

void THTMLHelp::SetApplicationHelpFile(const QString &file) { HelpFileRef() = file; }

QString THTMLHelp::ApplicationHelpFile()
{
    if (!HelpFileRef().isEmpty())
        return HelpFileRef();
    const QString exe = QCoreApplication::applicationFilePath();
    const QFileInfo fi(exe.isEmpty() ? QStringLiteral("vantor") : exe);
    return fi.absolutePath() + QLatin1Char('/') + fi.completeBaseName() + QStringLiteral(".chm");
}

void THTMLHelp::SetOpenHook(std::function<bool(const QUrl &)> hook) { OpenHookRef() = std::move(hook); }

QString THTMLHelp::HelpFolder()
{
    QStringList candidates;
    // A folder named in the environment is the only one looked at.
    const QByteArray env = qgetenv("VANTOR_HELP_DIR");
    if (!env.isEmpty()) {
        const QString c = QString::fromLocal8Bit(env);
        return QFileInfo::exists(c + QStringLiteral("/index.html")) ? QDir(c).absolutePath() : QString();
    }
    const QString program = QCoreApplication::applicationDirPath();
    candidates << program + QStringLiteral("/help") << program + QStringLiteral("/../share/vantor/help");
    // Run from a build folder: the pages of the source tree.
    QDir up(program);
    for (int i = 0; i < 5 && up.cdUp(); ++i)
        candidates << up.absolutePath() + QStringLiteral("/resources/help");
    for (const QString &c : candidates)
        if (QFileInfo::exists(c + QStringLiteral("/index.html")))
            return QDir(c).absolutePath();
    return QString();
}

QString THTMLHelp::PageFor(int context)
{
    const QString folder = HelpFolder();
    if (folder.isEmpty())
        return QString();
    return folder + QStringLiteral("/%1.html").arg(context);
}

bool THTMLHelp::Open(const QString &page)
{
    if (!page.isEmpty() && !QFileInfo::exists(page) && !HelpFolder().isEmpty()) {
        // The help is there but has no page for this context: say which page is missing
        // rather than silently showing another one.
        ShowMessageBox(QStringLiteral("ヘルプのページが見つかりません。\r\n") + QDir::toNativeSeparators(page),
                       MB_ICONERROR);
        return false;
    }
    if (page.isEmpty() || !QFileInfo::exists(page)) {
        ShowMessageBox(QStringLiteral("ヘルプファイルが見つかりません。\r\n") + QDir::toNativeSeparators(
                           HelpFolder().isEmpty() ? QStringLiteral("help/index.html") : page),
                       MB_ICONERROR);
        return false;
    }
    const QUrl url = QUrl::fromLocalFile(page);
    const bool ok = OpenHookRef() ? OpenHookRef()(url) : QDesktopServices::openUrl(url);
    if (!ok)
        ShowMessageBox(QStringLiteral("ヘルプを表示できません。\r\n") + QDir::toNativeSeparators(page), MB_ICONERROR);
    return ok;
}

bool THTMLHelp::OnApplicationHelp(int Command, qintptr Data, bool &CallHelp)
{
    if (QFileInfo(ApplicationHelpFile()).suffix().compare(QLatin1String("chm"), Qt::CaseInsensitive) != 0)
        return false;
    CallHelp = false;
    switch (Command) {
    case HELP_CONTEXT:
    case HELP_CONTEXTPOPUP:
        Open(PageFor(int(Data)));
        break;
    case HELP_INDEX:
    case HELP_FINDER: {
        const QString folder = HelpFolder();
        Open(folder.isEmpty() ? QString() : folder + QStringLiteral("/index.html"));
        break;
    }
    case HELP_SETPOPUP_POS:
        FPopupPos = QPoint(int(quint32(Data) & 0xFFFF), int((quint32(Data) >> 16) & 0xFFFF));
        break;
    default:
        break;
    }
    return false;
}

void ShowHelpContext(int context)
{
    bool callHelp = true;
    if (THTMLHelp *help = THTMLHelp::Instance()) {
        help->OnApplicationHelp(HELP_CONTEXT, context, callHelp);
    } else {
        THTMLHelp temp;
        temp.OnApplicationHelp(HELP_CONTEXT, context, callHelp);
    }
}
