// Program entry: sets the application title, creates the main window (which loads the
// settings and, at its first paint, starts the logon) and runs until the main window closes.
#include "app/fmain.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvane for Symfoware"));
    QApplication::setApplicationDisplayName(QStringLiteral("Kelvane for Symfoware"));
    QApplication::setQuitOnLastWindowClosed(true);

    // The program takes no arguments besides the logon switches.
    TfrmMain *frmMain = new TfrmMain(QCoreApplication::arguments().mid(1));
    frmMain->setAttribute(Qt::WA_DeleteOnClose);
    frmMain->show();
    return app.exec();
}
