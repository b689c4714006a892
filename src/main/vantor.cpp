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

    int result = 0;
    {
        // The program takes no arguments besides the logon switches.
        TfrmMain frmMain(QCoreApplication::arguments().mid(1));
        frmMain.show();
        result = app.exec();
    }
    SetLogonProc({});
    RemoveControlHooks();
    ClearEditorRegistry();
    FinalizeSharedUnit();
    return result;
}
