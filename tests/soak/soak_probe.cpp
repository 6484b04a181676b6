// SPDX-License-Identifier: GPL-3.0-or-later
#include "soak_probe.h"

#include "chat_client.h"
#include "chat_lines.h"
#include "chat_main_form.h"
#include "chat_session.h"
#include "conversation_pages.h"
#include "conversation_view.h"
#include "cp1251.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextStream>
#include <QToolButton>

#include <algorithm>
#include <fstream>
#include <map>
#include <utility>

namespace kovrel::soak {
namespace {

constexpr int kTickMs = 20;
// A probe answered later than this, beyond the wait for a processor, fails the soak.
constexpr qint64 kBlockLimitMs = 100;
// Room for timers firing late on a loaded machine, under the sanitizers.
constexpr qint64 kSlackMs = 2000;
constexpr qint64 kAnswerWaitMs = ChatSession::kAnswerWait.count();
// A log-in waits at most for the connection, the address check and two nick checks.
constexpr qint64 kLoginBoundMs = 4 * kAnswerWaitMs + kSlackMs;
constexpr qint64 kLogoutBoundMs = kAnswerWaitMs + kSlackMs;
// The chosen state is announced at once after an automatic log-in and echoed by the server; the proxy may
// hold a fresh connection for up to 40 s (a black hole) before either gets through.
constexpr qint64 kStateBoundMs = 40000 + 10000;
constexpr qint64 kStateQuickMs = 10000;
constexpr qint64 kAddressBoundMs = ChatSession::kAddressWait.count() + kSlackMs;
// Ticks between two address queries: 15 s.
constexpr int kAddressEveryTicks = 15000 / kTickMs;
// A client still offline this long after the stop was asked for has not come back.
constexpr qint64 kComeBackMs = 120000;

// Nanoseconds this thread has spent runnable but waiting for a processor.
std::int64_t runQueueWaitNs()
{
    std::ifstream stats("/proc/thread-self/schedstat");
    std::int64_t running = 0;
    std::int64_t waiting = 0;
    stats >> running >> waiting;
    return waiting;
}

qint64 backOffMs(int attempt)
{
    const auto& steps = ChatSession::kAutoLoginBackOff;
    const std::size_t step = std::min<std::size_t>(static_cast<std::size_t>(attempt), steps.size() - 1);
    return steps[step] * ChatSession::kAutoLoginUnit.count();
}

const char* stateAction(int state)
{
    static constexpr const char* kNames[] = {"OnLine1", "OffLine1", "Alive1", "Busy1"};
    return kNames[std::clamp(state, 0, 3)];
}

} // namespace

SoakProbe::SoakProbe(TChatMainForm& window, const QString& folder, int chosenState)
    : QObject(&window), m_window(window), m_folder(folder), m_chosenState(chosenState)
{
    m_clock.start();
    m_lastRunQueueNs = runQueueWaitNs();
    ChatSession& session = window.client().session();
    connect(&session, &ChatSession::loginRunningChanged, this, &SoakProbe::loginRunning);
    connect(&session, &ChatSession::onlineChanged, this,
            [this](bool online, bool) { onlineChanged(online); });
    connect(&m_ticks, &QTimer::timeout, this, &SoakProbe::tick);
    m_ticks.start(kTickMs);
}

void SoakProbe::tick()
{
    measureLag();
    checkOwnState();
    if (m_askingAddress) {
        return; // a tick within the address query's wait
    }
    if (m_stopAsked) {
        stopWhenOnline();
    } else if (++m_tickCount % 25 == 0 && m_folder.exists(QStringLiteral("stop"))) {
        m_stopAsked = now();
    } else if (m_tickCount % kAddressEveryTicks == 0) {
        // Not from within this tick: a timer does not fire again while its own handler runs, so the ticks
        // would stop for the whole wait.
        QTimer::singleShot(0, this, &SoakProbe::askOwnAddress);
    }
}

void SoakProbe::measureLag()
{
    const qint64 at = now();
    const std::int64_t runQueue = runQueueWaitNs();
    if (m_lastTick != 0) {
        const qint64 gap = at - m_lastTick - kTickMs;
        const qint64 blocked = gap - (runQueue - m_lastRunQueueNs) / 1000000;
        m_longestGapMs = std::max(m_longestGapMs, gap);
        m_longestBlockMs = std::max(m_longestBlockMs, blocked);
        if (blocked > kBlockLimitMs) {
            ++m_blocks;
        }
    }
    m_lastTick = at;
    m_lastRunQueueNs = runQueue;
}

void SoakProbe::loginRunning(bool running)
{
    if (running) {
        if (!m_stopAsked) {
            const qint64 idleOverBackOff = now() - m_idleSince - backOffMs(m_attemptsSinceLoss);
            m_longestIdleOverBackOffMs = std::max(m_longestIdleOverBackOffMs, idleOverBackOff);
            if (idleOverBackOff > kSlackMs) {
                fail(QStringLiteral("automatic log-in attempt %1 after a loss came %2 ms after its back-off")
                         .arg(m_attemptsSinceLoss + 1)
                         .arg(idleOverBackOff));
            }
        }
        ++m_attemptsSinceLoss;
        ++m_attempts;
        m_loginStart = now();
        return;
    }
    if (!m_loginStart) {
        return;
    }
    const qint64 took = now() - *std::exchange(m_loginStart, std::nullopt);
    m_longestLoginMs = std::max(m_longestLoginMs, took);
    // The one log-out, at the end, is held to its own bound by finish().
    if (took > kLoginBoundMs) {
        fail(QStringLiteral("a log-in took %1 ms (bound %2 ms)").arg(took).arg(kLoginBoundMs));
    }
    m_idleSince = now();
}

void SoakProbe::onlineChanged(bool online)
{
    m_online = online;
    if (!online) {
        if (!m_stopAsked) {
            ++m_losses;
            m_lostAt = now();
            m_idleSince = now();
            m_attemptsSinceLoss = 0;
        }
        return;
    }
    m_attemptsSinceLoss = 0;
    if (m_lostAt) {
        m_longestOutageMs = std::max(m_longestOutageMs, now() - *std::exchange(m_lostAt, std::nullopt));
    }
    if (!std::exchange(m_everOnline, true)) {
        // The user picks a state from the user list's menu once, at the first log-in.
        if (auto* choice = m_window.findChild<QAction*>(QLatin1String(stateAction(m_chosenState)))) {
            choice->trigger();
        } else {
            fail(QStringLiteral("no state action to choose the state with"));
        }
    } else {
        m_awaitingState = now();
    }
}

void SoakProbe::checkOwnState()
{
    if (!m_awaitingState || !m_online) {
        return;
    }
    const RosterModel& roster = m_window.client().roster();
    const std::optional<int> own = roster.findOwnEntry();
    const qint64 waited = now() - *m_awaitingState;
    if (own && roster.at(*own).state == m_chosenState) {
        ++m_statesRestored;
        m_slowStates += waited > kStateQuickMs ? 1 : 0;
        m_longestStateMs = std::max(m_longestStateMs, waited);
        m_awaitingState.reset();
    } else if (waited > kStateBoundMs) {
        fail(QStringLiteral("the chosen state was not back %1 ms after an automatic log-in").arg(waited));
        m_awaitingState.reset();
    }
}

// The user list's "address" item on the own entry: the wait keeps the event loop running (the ticks go on
// measuring it) and ends with the answer, the connection's loss or the query's deadline.
void SoakProbe::askOwnAddress()
{
    if (!m_online || m_loginStart || m_stopAsked) {
        return;
    }
    // The main window's list, not the message editor's of the same name.
    auto* panel = m_window.findChild<QWidget*>(QStringLiteral("Panel3"));
    auto* list = panel ? panel->findChild<QAbstractItemView*>(QStringLiteral("UserList")) : nullptr;
    auto* ask = m_window.findChild<QAction*>(QStringLiteral("GetIP1"));
    if (!list || !ask) {
        fail(QStringLiteral("no user list or no address item to ask with"));
        return;
    }
    // The own entry, picked in the list as a user would.
    const QAbstractItemModel* model = list->model();
    const QModelIndexList own = model->match(model->index(0, 0), Qt::DisplayRole, m_window.client().nick(), 1,
                                             Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (own.isEmpty()) {
        return;
    }
    list->setCurrentIndex(own.front());
    m_askingAddress = true;
    const qint64 start = now();
    ask->trigger();
    const qint64 took = now() - start;
    m_askingAddress = false;
    ++m_addressQueries;
    m_longestAddressMs = std::max(m_longestAddressMs, took);
    if (took > kAddressBoundMs) {
        fail(QStringLiteral("an address query took %1 ms (bound %2 ms)").arg(took).arg(kAddressBoundMs));
    }
    // The answer, or the word that none came, is the newest line of the common page.
    ConversationPages* pages = conversationPages();
    if (!pages) {
        return;
    }
    const ConversationView* common = pages->viewOf(std::nullopt);
    if (!common) {
        fail(QStringLiteral("no common page to read the address answer on"));
        return;
    }
    pages->flushLines();
    const QString nick = m_window.client().nick();
    const QString answer = common->document()->lastBlock().text();
    if (answer.startsWith(lines::AddressAnswer(nick, QString()))) {
        ++m_addressesAnswered;
    } else if (answer != lines::NoAddressAnswer(nick)) {
        fail(QStringLiteral("an address query ended without a line: %1").arg(answer));
    }
}

ConversationPages* SoakProbe::conversationPages()
{
    auto* pages = m_window.findChild<ConversationPages*>(QStringLiteral("PageControl1"));
    if (!pages) {
        fail(QStringLiteral("no conversation pages"));
    }
    return pages;
}

void SoakProbe::stopWhenOnline()
{
    const bool late = now() - *m_stopAsked > kComeBackMs;
    if (!(m_online && !m_loginStart && !m_awaitingState) && !late) {
        return;
    }
    m_ticks.stop();
    if (late) {
        fail(QStringLiteral("not logged in again %1 s after the network calmed").arg(kComeBackMs / 1000));
    }
    checkDeliveries();
    finish();
}

void SoakProbe::finish()
{
    auto* logInOut = m_window.findChild<QToolButton*>(QStringLiteral("ToolButton1"));
    QElapsedTimer logOut;
    logOut.start();
    if (m_online && logInOut) {
        logInOut->click(); // returns once the log-out has ended
    }
    m_report << QStringLiteral("log-out: %1 ms").arg(logOut.elapsed());
    if (logOut.elapsed() > kLogoutBoundMs) {
        fail(QStringLiteral("the log-out took %1 ms").arg(logOut.elapsed()));
    }
    m_report << QStringLiteral("log-in attempts %1, longest log-in or log-out %2 ms; connections lost %3, "
                               "longest time to return %4 ms; idle spells at most %5 ms over the back-off")
                    .arg(m_attempts)
                    .arg(m_longestLoginMs)
                    .arg(m_losses)
                    .arg(m_longestOutageMs)
                    .arg(m_longestIdleOverBackOffMs);
    m_report << QStringLiteral("address queries %1 (%2 answered, the others given up), longest %3 ms")
                    .arg(m_addressQueries)
                    .arg(m_addressesAnswered)
                    .arg(m_longestAddressMs);
    m_report << QStringLiteral(
                    "chosen state back after %1 automatic log-ins, at most %2 ms after (%3 of them "
                    "after more than %4 s)")
                    .arg(m_statesRestored)
                    .arg(m_longestStateMs)
                    .arg(m_slowStates)
                    .arg(kStateQuickMs / 1000);
    m_report << QStringLiteral(
                    "event loop: longest probe gap %1 ms, longest not spent waiting for a processor "
                    "%2 ms, gaps over %3 ms %4")
                    .arg(m_longestGapMs)
                    .arg(m_longestBlockMs)
                    .arg(kBlockLimitMs)
                    .arg(m_blocks);
    if (m_blocks > 0) {
        fail(QStringLiteral("the event loop was blocked for up to %1 ms").arg(m_longestBlockMs));
    }
    QFile report(m_folder.filePath(QStringLiteral("report")));
    if (report.open(QIODevice::WriteOnly | QIODevice::Text)) {
        QTextStream out(&report);
        for (const QString& line : m_report + m_failures) {
            out << line << '\n';
        }
    }
    QCoreApplication::exit(m_failures.isEmpty() ? 0 : 1);
}

namespace {

// Where a delivered line belongs: the common page ("AllUser|SENDER|TEXT") or the sender's private page
// ("PrivatUser|SENDER|RECIPIENT|TEXT"); nothing for other fields.
std::optional<std::pair<QString, QString>> pageAndText(std::string_view field)
{
    const bool isPublic = field.starts_with("AllUser|");
    if (!isPublic && !field.starts_with("PrivatUser|")) {
        return std::nullopt;
    }
    const auto part = [&field] {
        const std::size_t bar = std::min(field.find('|'), field.size());
        const std::string_view taken = field.substr(0, bar);
        field.remove_prefix(std::min(bar + 1, field.size()));
        return QString::fromStdString(cp1251::toUtf8(taken));
    };
    part(); // the command
    const QString sender = part();
    if (!isPublic) {
        part(); // the recipient: this client, under whatever nick it had then
    }
    return std::pair(isPublic ? QString() : sender, QString::fromStdString(cp1251::toUtf8(field)));
}

} // namespace

void SoakProbe::checkDeliveries()
{
    ConversationPages* pages = conversationPages();
    if (!pages) {
        return;
    }
    pages->flushLines();
    struct Page
    {
        QString shown;
        qsizetype last = -1;
    };
    std::map<QString, Page> shown;
    const auto pageOf = [&](const QString& partner) -> Page& {
        const auto [page, added] = shown.try_emplace(partner);
        if (added) {
            const ConversationView* view =
                pages->viewOf(partner.isEmpty() ? std::nullopt : std::optional(partner));
            page->second.shown = view ? view->toPlainText() : QString();
        }
        return page->second;
    };
    std::ifstream deliveries(m_folder.filePath(QStringLiteral("deliveries")).toStdString(), std::ios::binary);
    int delivered = 0;
    int privately = 0;
    int missing = 0;
    int twice = 0;
    int outOfOrder = 0;
    for (std::string line; std::getline(deliveries, line);) {
        // "CONNECTION<TAB>FIELD"
        const auto found =
            pageAndText(std::string_view(line).substr(std::min(line.find('\t') + 1, line.size())));
        if (!found) {
            continue;
        }
        ++delivered;
        privately += found->first.isEmpty() ? 0 : 1;
        Page& page = pageOf(found->first);
        const qsizetype at = page.shown.indexOf(found->second, page.last + 1);
        if (at < 0) {
            ++(page.shown.indexOf(found->second) < 0 ? missing : outOfOrder);
            continue;
        }
        twice += page.shown.indexOf(found->second, at + 1) >= 0 ? 1 : 0;
        page.last = at;
    }
    m_report << QStringLiteral(
                    "lines that reached the client %1 (%2 private): missing %3, shown twice %4, out "
                    "of order %5")
                    .arg(delivered)
                    .arg(privately)
                    .arg(missing)
                    .arg(twice)
                    .arg(outOfOrder);
    if (delivered == privately || privately == 0 || missing + twice + outOfOrder > 0) {
        fail(QStringLiteral("the pages do not show the lines that reached the client once and in order"));
    }
}

void SoakProbe::fail(const QString& what)
{
    m_failures << QStringLiteral("FAILED: ") + what;
}

} // namespace kovrel::soak
