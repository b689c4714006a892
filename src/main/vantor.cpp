// Program entry: starts the shared unit (folders, settings store, global lists), sets the
// application title, registers the logon with the main window, creates the main window
// (which loads the settings and, at its first paint, starts the logon) and runs until the
// main window closes.
#include "app/fmain.h"
#include "app/app_openers.h"
#include "browser/browser_openers.h"
#include "browser/flogon.h"
#include "controls/kdhooks.h"
#include "core/kdcallwait.h"
#include "core/kdforms.h"
#include "core/kdeditorreg.h"
#include "core/kdsub_start.h"
#include "editors/editor_table.h"
#include "sqltools/fsql.h"

#include <QApplication>
#include <QFile>
#include <QTimer>
#include <QWidget>
#include <memory>

#include <time.h>

namespace {

// Start-up measurement (bench/startup.sh): with VANTOR_STARTUP_MARK naming a file, the
// program writes into it the wall-clock time (ns since the epoch) at which the first
// connection window has painted, i.e. the user sees a logged-on window. Nothing else
// changes; without the variable the filter is never installed.
class StartupMark : public QObject {
public:
    explicit StartupMark(QString path) : FPath(std::move(path)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (FDone || e->type() != QEvent::Paint || !watched->isWidgetType())
            return false;
        auto *w = static_cast<QWidget *>(watched);
        QWidget *form = w;
        while (form && !dynamic_cast<TkdConnForm *>(form))
            form = form->parentWidget();
        if (!form || !w->isVisible())
            return false;
        FDone = true;
        // Once this paint has been handled and the window system has the picture.
        QTimer::singleShot(0, this, [this] {
            timespec ts{};
            clock_gettime(CLOCK_REALTIME, &ts);
            QFile f(FPath);
            if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
                f.write(QByteArray::number(qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec) + '\n');
        });
        return false;
    }

private:
    QString FPath;
    bool FDone = false;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    InitializeApplicationTitle();
    QApplication::setQuitOnLastWindowClosed(true);
    InitializeSharedUnit();

    // Child windows give each control the shared settings of its kind and answer the
    // code-assist requests of their SQL editors; the numeric input box uses the number edit.
    InstallControlHooks();
    // A statement that takes long keeps the windows painting and is cancelled by Esc.
    InstallCallWaiter();
    // The connection windows open editors and write scripts through the editor table.
    RegisterEditors();
    // Dialogs that editors and tools open through the window-opener table.
    RegisterBrowserOpeners();
    RegisterAppOpeners();
    // The commands that open the SQL window reach it through the opener table.
    RegisterSQLWindow();
    // The main window reaches the logon dialog through the core's logon entry.
    SetLogonProc([](const TLogonValues &v, bool autoPass) {
        return TfrmLogon::ShowWindow(v.Host, v.Port, v.Database, v.Schema, v.UserID, v.Password, autoPass);
    });

    std::unique_ptr<StartupMark> startupMark;
    if (qEnvironmentVariableIsSet("VANTOR_STARTUP_MARK")) {
        startupMark = std::make_unique<StartupMark>(qEnvironmentVariable("VANTOR_STARTUP_MARK"));
        app.installEventFilter(startupMark.get());
    }

    int result = 0;
    {
        // The program takes no arguments besides the logon switches.
        TfrmMain frmMain(QCoreApplication::arguments().mid(1));
        frmMain.show();
        result = app.exec();
    }
    startupMark.reset();
    SetLogonProc({});
    RemoveControlHooks();
    ClearEditorRegistry();
    FinalizeSharedUnit();
    return result;
}
