// Program entry: sets the application title and runs the main window until it closes.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvane for Symfoware"));
    QApplication::setApplicationDisplayName(QStringLiteral("Kelvane for Symfoware"));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Kelvane for Symfoware"));
    auto *label = new QLabel(QStringLiteral("データベースにログオンしてください。"), &window);
    label->setAlignment(Qt::AlignCenter);
    window.setCentralWidget(label);
    window.resize(1024, 700);
    window.show();
    return app.exec();
}
