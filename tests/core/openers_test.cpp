// The window-opener table: a registered opener receives exactly what the caller passed, a
// key without one shows the not-available message and opens nothing, and an opener that
// replaces its own entry while running does not pull the function away from under itself.
#include "core/kdopeners.h"
#include "core/msghook.h"

#include <QWidget>
#include <gtest/gtest.h>

namespace {

struct OpenersTest : ::testing::Test {
    void TearDown() override { kdopeners::Clear(); }
};

TEST_F(OpenersTest, UnregisteredKeyShowsNotAvailableAndOpensNothing)
{
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDOK);
    EXPECT_EQ(kdopeners::Open(QStringLiteral("TfrmNothingYet")), nullptr);
    ASSERT_EQ(boxes.Shown().size(), 1);
    EXPECT_EQ(boxes.Last().text, QStringLiteral("この機能はまだ利用できません。"));
}

TEST_F(OpenersTest, RegisteredOpenerGetsTheArgumentsAndReturnsItsWindow)
{
    QWidget window;
    QWidget parent;
    TOpenerArgs received;
    kdopeners::Register(QStringLiteral("TfrmTest"), [&](const TOpenerArgs &a) {
        received = a;
        return &window;
    });
    TOpenerArgs args;
    args.Parent = &parent;
    args.Values.insert(QStringLiteral("Schema"), QStringLiteral("\"Archive\""));
    EXPECT_EQ(kdopeners::Open(QStringLiteral("TfrmTest"), args), &window);
    EXPECT_EQ(received.Parent, &parent);
    EXPECT_EQ(received.Values.value(QStringLiteral("Schema")).toString(),
              QStringLiteral("\"Archive\""));
    EXPECT_TRUE(kdopeners::IsRegistered(QStringLiteral("TfrmTest")));

    kdopeners::Register(QStringLiteral("TfrmTest"), {});
    EXPECT_FALSE(kdopeners::IsRegistered(QStringLiteral("TfrmTest")));
}

TEST_F(OpenersTest, OpenerThatReplacesItselfWhileRunningCompletes)
{
    int calls = 0;
    kdopeners::Register(QStringLiteral("TfrmSelf"), [&](const TOpenerArgs &) -> QWidget * {
        const QString captured = QStringLiteral("kept alive by the copy");
        kdopeners::Register(QStringLiteral("TfrmSelf"), {});
        ++calls;
        EXPECT_EQ(captured.size(), 22);
        return nullptr;
    });
    kdopeners::Open(QStringLiteral("TfrmSelf"));
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(kdopeners::IsRegistered(QStringLiteral("TfrmSelf")));
}

} // namespace
