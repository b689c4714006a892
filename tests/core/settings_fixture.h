#pragma once
// A private settings folder per test: the user's settings file and the machine file point
// into a temporary folder, and the shared unit is started afresh on them.
#include "core/kdreg.h"
#include "core/kdsub_options.h"
#include "core/kdsub_start.h"
#include "platform/settingsstore.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class FreshSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FOldConfig = qgetenv("VANTOR_CONFIG_DIR");
        qputenv("VANTOR_CONFIG_DIR", (FDir.path() + QStringLiteral("/config")).toLocal8Bit());
        qputenv("VANTOR_MACHINE_CONFIG", MachineFile().toLocal8Bit());
        InitializeSharedUnit();
        ResetAllOptions();
    }

    void TearDown() override
    {
        FinalizeSharedUnit();
        qputenv("VANTOR_CONFIG_DIR", FOldConfig);
        qunsetenv("VANTOR_MACHINE_CONFIG");
    }

    QString ConfigFile() const { return settings::SettingsStore::userFilePath(); }
    QString MachineFile() const { return FDir.path() + QStringLiteral("/machine.conf"); }
    QString Folder() const { return FDir.path(); }

    QString FileText() const
    {
        QFile f(ConfigFile());
        if (!f.open(QIODevice::ReadOnly))
            return QString();
        return QString::fromUtf8(f.readAll());
    }

    // Writes a settings file by hand, as a user or another program would.
    void WriteFile(const QString &path, const QByteArray &text) const
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

    // Simulates the next start of the program: stores reopened, records zeroed.
    void Restart()
    {
        FinalizeSharedUnit();
        InitializeSharedUnit();
        ResetAllOptions();
    }

    QTemporaryDir FDir;
    QByteArray FOldConfig;
};
