// Test entry for every test program: a private home and settings folder, the offscreen
// platform, one QApplication, then all gtest cases.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cstdlib>

int main(int argc, char **argv)
{
    // Nothing a test does may reach the user's real folders: home, settings, data and
    // cache all point into a folder that is removed when the program ends.
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/vantor-test-XXXXXX"));
    const QByteArray h = home.path().toLocal8Bit();
    setenv("HOME", h.constData(), 1);
    setenv("XDG_CONFIG_HOME", (h + "/config").constData(), 1);
    setenv("XDG_DATA_HOME", (h + "/data").constData(), 1);
    setenv("XDG_CACHE_HOME", (h + "/cache").constData(), 1);
    setenv("XDG_DOCUMENTS_DIR", (h + "/documents").constData(), 1);
    setenv("VANTOR_CONFIG_DIR", (h + "/config/vantor").constData(), 1);
    setenv("TMPDIR", (h + "/tmp").constData(), 1);
    setenv("XDG_RUNTIME_DIR", (h + "/runtime").constData(), 1);
    QDir().mkpath(home.path() + QStringLiteral("/runtime"));
    QFile::setPermissions(home.path() + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir().mkpath(home.path() + QStringLiteral("/tmp"));
    QDir().mkpath(home.path() + QStringLiteral("/documents"));
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("LANG", "C.UTF-8", 0);

    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvane for Symfoware"));
    return RUN_ALL_TESTS();
}
