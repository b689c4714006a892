// The three pages drawn with Japanese names from the sample database. Set
// VANTOR_SCREENSHOT_DIR to keep the pictures (frame-cross.png, frame-grant.png,
// frame-storage.png) for a look.
#include "controls/kdcomctrls.h"
#include "controls/kdstdctl.h"
#include "frames/cross_frame.h"
#include "frames/grant_frame.h"
#include "frames/storage_frame.h"
#include "frames_fixture.h"
#include "support/testdb.h"

#include <QDir>
#include <QPixmap>
#include <QTest>
#include <gtest/gtest.h>

namespace {

void Keep(QWidget *w, const QString &name)
{
    w->show();
    QTest::qWait(50);
    const QPixmap shot = w->grab();
    EXPECT_FALSE(shot.isNull());
    const QString dir = qEnvironmentVariable("VANTOR_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        EXPECT_TRUE(shot.save(dir + QLatin1Char('/') + name));
    }
}

} // namespace

TEST(FramePictures, ThreePagesWithJapaneseNames)
{
    ResetFrameOptions();
    FakeConnForm conn(testdb::params().sampleDatabase);
    {
        FrameHostForm<TfraCross> host(&conn, 45);
        host.Frame->ShowData(QStringLiteral("経理"), QStringLiteral("請求書"));
        EXPECT_GT(host.Frame->lstTree1->topLevelItem(0)->childCount(), 0);
        Keep(&host, QStringLiteral("frame-cross.png"));
    }
    {
        FrameHostForm<TfraGrant> host(&conn, 45);
        host.Frame->rdoShowAll->setChecked(true);
        host.Frame->ShowData(QStringLiteral("sales"), QStringLiteral("customers"));
        host.Frame->lstGrant->topLevelItem(0)->setSelected(true);
        Keep(&host, QStringLiteral("frame-grant.png"));
    }
    {
        FrameHostForm<TfraStorage> host(&conn, 45);
        host.Frame->cmbTBS->setEditText(QStringLiteral("pg_default"));
        host.Frame->Init(QStringLiteral("inventory"), QStringLiteral("stock"));
        host.Frame->ShowDefine();
        host.Frame->Save();
        Keep(&host, QStringLiteral("frame-storage.png"));
        FrameHostForm<TfraStorage> child(&conn, 45);
        child.Frame->Init(QStringLiteral("inventory"), QStringLiteral("冷蔵点検"));
        child.Frame->ShowDefine();
        child.Frame->cmbStorageType->setCurrentText(QStringLiteral("継承"));
        Keep(&child, QStringLiteral("frame-storage-parents.png"));
    }
}

TEST(FramePictures, ClerkLoadsEveryPage)
{
    ResetFrameOptions();
    FakeConnForm conn(testdb::params().sampleDatabase, QStringLiteral("sample_clerk"), QStringLiteral("sample_clerk"));
    FrameHostForm<TfraCross> cross(&conn, 45);
    cross.Frame->ShowData(QStringLiteral("sales"), QStringLiteral("orders"));
    EXPECT_GT(cross.Frame->lstTree2->topLevelItem(0)->childCount(), 0);
    FrameHostForm<TfraGrant> grant(&conn, 45);
    grant.Frame->ShowData(QStringLiteral("sales"), QStringLiteral("orders"));
    FrameHostForm<TfraStorage> storage(&conn, 45);
    storage.Frame->Init(QStringLiteral("inventory"), QStringLiteral("stock"));
    storage.Frame->ShowDefine();
    EXPECT_EQ(storage.Frame->Field(0, 3)->text(), "0.05");
}
