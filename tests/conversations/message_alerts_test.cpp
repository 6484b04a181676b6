// SPDX-License-Identifier: GPL-3.0-or-later
#include "message_alerts.h"

#include "qt_printers.h"
#include "settings_layout.h"
#include "settings_sandbox.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace kovrel {
namespace {

using namespace std::chrono_literals;

class MessageAlertsTest : public testing::Test
{
protected:
    MessageAlertsTest() { alerts.setFlashInterval(20ms); }

    test::SettingsSandbox sandbox;
    MessageAlerts alerts;
    QSignalSpy beeps{&alerts, &MessageAlerts::beepRequested};
    QSignalSpy phases{&alerts, &MessageAlerts::flashPhaseChanged};
};

TEST_F(MessageAlertsTest, NothingBeepsOrFlashesWhileTheProgramIsShown)
{
    WriteConfigFlag(ConfigFlag::BeepOnPublic, true);
    QSignalSpy last(&alerts, &MessageAlerts::lastMessageChanged);
    alerts.messageArrived(std::nullopt, QStringLiteral("Петя: привет"));
    EXPECT_EQ(alerts.lastMessage(), "Петя: привет") << "the tray tip follows every message";
    EXPECT_EQ(last.count(), 1);
    EXPECT_EQ(beeps.count(), 0);
    EXPECT_FALSE(alerts.isFlashing());
}

TEST_F(MessageAlertsTest, MinimisedWithASoundOptionEachMessageBeepsAndTheFlashGoesOnInItsPhase)
{
    WriteConfigFlag(ConfigFlag::BeepOnPublic, true);
    QSignalSpy window(&alerts, &MessageAlerts::notificationWindowChanged);
    QSignalSpy commands(&alerts, &MessageAlerts::trayCommandsChanged);
    alerts.setMinimized(true);
    ASSERT_EQ(window.count(), 1);
    EXPECT_TRUE(window.front().front().toBool());
    EXPECT_TRUE(commands.front().front().toBool());

    alerts.messageArrived(std::nullopt, QStringLiteral("Петя: раз"));
    EXPECT_EQ(beeps.count(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return phases.count() >= 3; }));
    EXPECT_EQ(phases[0].front().toInt(), 1) << "the first tick shows the second pictures";
    EXPECT_EQ(phases[1].front().toInt(), 0);
    EXPECT_EQ(phases[2].front().toInt(), 1);
    const int phaseBefore = alerts.flashPhase();
    const qsizetype ticks = phases.count();
    alerts.messageArrived(std::nullopt, QStringLiteral("Петя: два"));
    EXPECT_EQ(beeps.count(), 2) << "a second message beeps again";
    EXPECT_EQ(phases.count(), ticks) << "and does not restart the flash";
    EXPECT_EQ(alerts.flashPhase(), phaseBefore);

    ASSERT_TRUE(QTest::qWaitFor([&] { return alerts.flashPhase() == 1; }));
    alerts.stopFlash();
    EXPECT_FALSE(alerts.isFlashing());
    EXPECT_EQ(alerts.flashPhase(), 0);
    EXPECT_EQ(phases.back().front().toInt(), 0) << "stopped in its lit phase, the pictures go back to normal";
    alerts.messageArrived(QStringLiteral("Петя"), QStringLiteral("Петя: лично"));
    EXPECT_EQ(beeps.count(), 2) << "private messages have their own option, which is off";

    alerts.setMinimized(false);
    EXPECT_FALSE(window.back().front().toBool());
    EXPECT_FALSE(commands.back().front().toBool());
}

TEST_F(MessageAlertsTest, WithBothOptionsOffMinimisingShowsNoWindowAndNothingBeeps)
{
    QSignalSpy window(&alerts, &MessageAlerts::notificationWindowChanged);
    alerts.setMinimized(true);
    EXPECT_FALSE(window.front().front().toBool());
    // An option switched on while minimised counts from the next minimising.
    WriteConfigFlag(ConfigFlag::BeepOnPrivate, true);
    alerts.messageArrived(QStringLiteral("Петя"), QStringLiteral("Петя: лично"));
    EXPECT_EQ(beeps.count(), 0);
    EXPECT_FALSE(alerts.isNotificationWindowShown());
}

} // namespace
} // namespace kovrel
