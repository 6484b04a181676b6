// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop_notifications.h"

#include "fake_notification_server.h"
#include "private_bus.h"
#include "qt_printers.h"

#include <gtest/gtest.h>

#include <memory>

#include <QSignalSpy>
#include <QTest>

namespace {

using namespace Qt::Literals::StringLiterals;
using kovrel::DesktopNotifications;
using kovrel::test::FakeNotificationServer;
using kovrel::test::NotifyCall;
using kovrel::test::PrivateBus;

const QString kService = u"org.freedesktop.Notifications"_s;

// What every bubble of ours carries besides its texts.
NotifyCall bubble(const QString& summary, const QString& body, uint replacesId, uint id)
{
    return {u"Kovrel"_s,
            replacesId,
            u"kovrel"_s,
            summary,
            body,
            {u"default"_s, u"Открыть"_s},
            {{u"category"_s, u"im.received"_s}},
            -1,
            id};
}

class DesktopNotificationsTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_FALSE(m_bus.address().isEmpty()) << "dbus-daemon did not start"; }

    FakeNotificationServer& startServer(const QStringList& capabilities = {u"body"_s, u"body-markup"_s})
    {
        m_server = std::make_unique<FakeNotificationServer>(m_bus.address(), capabilities);
        EXPECT_TRUE(m_server->isRegistered());
        EXPECT_TRUE(QTest::qWaitFor([this] { return m_notifications.isAvailable(); }));
        return *m_server;
    }
    QStringList activatedKeys() const
    {
        QStringList keys;
        for (const QList<QVariant>& arguments : m_activated)
            keys.append(arguments.at(0).toString());
        return keys;
    }

    PrivateBus m_bus;
    std::unique_ptr<FakeNotificationServer> m_server;
    DesktopNotifications m_notifications{m_bus.connect()};
    QSignalSpy m_activated{&m_notifications, &DesktopNotifications::activated};
};

TEST_F(DesktopNotificationsTest, AMarkupServerGetsTheBodyEscapedAndTheDefaultAction)
{
    FakeNotificationServer& server = startServer();
    m_notifications.show(u"Вася"_s, u"<b>жирный</b> & <a href=\"x\">ссылка</a> &amp;"_s, u"Вася"_s);
    ASSERT_TRUE(server.waitForCalls(1));
    EXPECT_EQ(server.calls().at(0),
              bubble(u"Вася"_s,
                     u"&lt;b&gt;жирный&lt;/b&gt; &amp; &lt;a href=\"x\"&gt;ссылка&lt;/a&gt; &amp;amp;"_s, 0,
                     1));
}

TEST_F(DesktopNotificationsTest, AServerWithoutMarkupGetsTheBodyAsItIs)
{
    FakeNotificationServer& server = startServer({u"body"_s, u"actions"_s});
    m_notifications.show(u"Вася"_s, u"<b>1 & 2</b>"_s, u"Вася"_s);
    ASSERT_TRUE(server.waitForCalls(1));
    EXPECT_EQ(server.calls().at(0).body, u"<b>1 & 2</b>"_s);
}

TEST_F(DesktopNotificationsTest, AKeyKeepsOneBubbleEvenWhenItsIdIsNotKnownYet)
{
    FakeNotificationServer& server = startServer();
    server.setAnswer(FakeNotificationServer::Answer::Nothing);
    m_notifications.show(u"Вася"_s, u"1"_s, u"Вася"_s);
    ASSERT_TRUE(server.waitForCalls(1));
    // While the first call waits for its id, only the newest message of the key is kept.
    m_notifications.show(u"Вася"_s, u"2"_s, u"Вася"_s);
    m_notifications.show(u"Вася"_s, u"3"_s, u"Вася"_s);
    server.answerHeld();
    ASSERT_TRUE(server.waitForCalls(2));
    m_notifications.show(u"Петя"_s, u"4"_s, u"Петя"_s);
    ASSERT_TRUE(server.waitForCalls(3));
    m_notifications.show(u"Вася"_s, u"5"_s, u"Вася"_s);
    ASSERT_TRUE(server.waitForCalls(4));

    EXPECT_EQ(server.calls(),
              (QList<NotifyCall>{bubble(u"Вася"_s, u"1"_s, 0, 1), bubble(u"Вася"_s, u"3"_s, 1, 1),
                                 bubble(u"Петя"_s, u"4"_s, 0, 2), bubble(u"Вася"_s, u"5"_s, 1, 1)}));
}

TEST_F(DesktopNotificationsTest, AClickOnOurBubbleNamesItsKeyOtherActionsAndClosedBubblesDoNot)
{
    FakeNotificationServer& server = startServer();
    m_notifications.show(u"Вася"_s, u"1"_s, u"Вася"_s);
    m_notifications.show(u"Петя"_s, u"2"_s, u"Петя"_s);
    ASSERT_TRUE(server.waitForCalls(2));
    const uint vasya = server.calls().at(0).summary == u"Вася"_s ? 1 : 2;
    const uint petya = 3 - vasya;

    // Signals of one sender arrive in order, so the last click shows that the ones before were seen.
    server.invoke(77, u"default"_s); // another program's bubble
    server.invoke(vasya, u"reply"_s);
    server.invoke(vasya, u"default"_s);
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_activated.size() == 1; }));
    server.dismiss(vasya);
    server.invoke(vasya, u"default"_s);
    server.invoke(petya, u"default"_s);
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_activated.size() == 2; }));
    EXPECT_EQ(activatedKeys(), (QStringList{u"Вася"_s, u"Петя"_s}));

    // A closed bubble is not replaced: its id may belong to another program's bubble by now.
    m_notifications.show(u"Вася"_s, u"3"_s, u"Вася"_s);
    ASSERT_TRUE(server.waitForCalls(3));
    EXPECT_EQ(server.calls().at(2).replacesId, 0u);
}

TEST_F(DesktopNotificationsTest, AvailableOnlyWhileAServerOwnsTheNameAndNothingWaitsForOne)
{
    EXPECT_FALSE(m_notifications.isAvailable());
    m_notifications.show(u"Вася"_s, u"без сервера"_s, u"Вася"_s);

    FakeNotificationServer& server = startServer();
    m_notifications.show(u"Вася"_s, u"с сервером"_s, u"Вася"_s);
    ASSERT_TRUE(server.waitForCalls(1));
    EXPECT_EQ(server.calls().at(0).body, u"с сервером"_s);

    m_server.reset();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !m_notifications.isAvailable(); }));
}

TEST_F(DesktopNotificationsTest, AnErrorOrAServerQuittingMidCallLeavesTheNextShowWorking)
{
    FakeNotificationServer& failing = startServer();
    failing.setAnswer(FakeNotificationServer::Answer::Error);
    m_notifications.show(u"Вася"_s, u"1"_s, u"Вася"_s);
    ASSERT_TRUE(failing.waitForCalls(1));
    failing.setAnswer(FakeNotificationServer::Answer::Id);
    m_notifications.show(u"Вася"_s, u"2"_s, u"Вася"_s);
    ASSERT_TRUE(failing.waitForCalls(2));
    ASSERT_EQ(failing.calls().at(1), bubble(u"Вася"_s, u"2"_s, 0, 1));

    // The bubble's id is known once a click on it is seen; then the server quits while a call is open.
    failing.invoke(1, u"default"_s);
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_activated.size() == 1; }));
    failing.setAnswer(FakeNotificationServer::Answer::Nothing);
    m_notifications.show(u"Вася"_s, u"3"_s, u"Вася"_s);
    ASSERT_TRUE(failing.waitForCalls(3));
    m_server.reset();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !m_notifications.isAvailable(); }));

    // The next server starts its own ids: the old one is not passed on.
    FakeNotificationServer& next = startServer();
    m_notifications.show(u"Вася"_s, u"4"_s, u"Вася"_s);
    ASSERT_TRUE(next.waitForCalls(1));
    EXPECT_EQ(next.calls().at(0), bubble(u"Вася"_s, u"4"_s, 0, 1));
}

TEST(DesktopNotificationsWithoutServerTest, AServiceTheBusStartsOnDemandCountsAsAvailable)
{
    PrivateBus bus({kService});
    ASSERT_FALSE(bus.address().isEmpty());
    DesktopNotifications notifications(bus.connect());
    EXPECT_TRUE(notifications.isAvailable());
}

TEST(DesktopNotificationsWithoutServerTest, WithoutABusNothingIsAvailableAndShowDoesNothing)
{
    const QString name = kovrel::test::uniqueConnectionName();
    {
        DesktopNotifications notifications(QDBusConnection::connectToBus(u"unix:path=/nonexistent"_s, name));
        EXPECT_FALSE(notifications.isAvailable());
        notifications.show(u"Вася"_s, u"текст"_s, u"Вася"_s);
    }
    QDBusConnection::disconnectFromBus(name);
}

} // namespace
