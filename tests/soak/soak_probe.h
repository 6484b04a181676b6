// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <optional>

namespace kovrel {
class ConversationPages;
class TChatMainForm;
} // namespace kovrel

namespace kovrel::soak {

// Watches a real client window through a soak and judges it at the end. The window's event loop is probed
// every 20 ms: a probe answered late by more than the time the thread spent waiting for a processor
// means the loop was blocked. It times every log-in and log-out against the session's own waits, and each
// idle spell between automatic log-in attempts against the back-off; after every automatic log-in it
// expects the state chosen at the first one to come back (within 10 s unless the proxy holds the
// connection, within 50 s in any case). Every 15 s online it asks for its own address from the user list's
// menu, as a user would, and times the wait against the address query's bound. Once the file "stop"
// appears in `folder`, it waits to be online, logs out, checks that every field the fault proxy delivered
// ("deliveries" in `folder`) shows once, in order, on its page, writes "report" and ends the program: exit
// status 0 when every check held.
class SoakProbe : public QObject
{
    Q_OBJECT

public:
    SoakProbe(TChatMainForm& window, const QString& folder, int chosenState);

private:
    void tick();
    void measureLag();
    void loginRunning(bool running);
    void onlineChanged(bool online);
    void checkOwnState();
    void askOwnAddress();
    void stopWhenOnline();
    void finish();
    void checkDeliveries();
    ConversationPages* conversationPages();
    void fail(const QString& what);
    qint64 now() const { return m_clock.elapsed(); }

    TChatMainForm& m_window;
    QDir m_folder;
    const int m_chosenState;
    QElapsedTimer m_clock;
    QTimer m_ticks;
    int m_tickCount = 0;

    // The event loop's probe.
    qint64 m_lastTick = 0;
    std::int64_t m_lastRunQueueNs = 0;
    qint64 m_longestGapMs = 0;
    qint64 m_longestBlockMs = 0;
    int m_blocks = 0;

    // Log-ins and losses.
    bool m_online = false;
    bool m_everOnline = false;
    std::optional<qint64> m_loginStart;
    qint64 m_idleSince = 0;
    int m_attemptsSinceLoss = 0;
    int m_attempts = 0;
    int m_losses = 0;
    qint64 m_longestLoginMs = 0;
    qint64 m_longestIdleOverBackOffMs = 0; // an attempt before its back-off ran out counts as 0
    std::optional<qint64> m_lostAt;
    qint64 m_longestOutageMs = 0;
    std::optional<qint64> m_awaitingState;
    int m_statesRestored = 0;
    int m_slowStates = 0;
    qint64 m_longestStateMs = 0;

    // Address queries.
    bool m_askingAddress = false;
    int m_addressQueries = 0;
    int m_addressesAnswered = 0;
    qint64 m_longestAddressMs = 0;

    std::optional<qint64> m_stopAsked;
    QStringList m_report;
    QStringList m_failures;
};

} // namespace kovrel::soak
