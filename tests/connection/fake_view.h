// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chat_client.h"
#include "chat_view.h"
#include "qt_printers.h"

#include <QStringList>
#include <QTest>

#include <functional>
#include <vector>

namespace kovrel::test {

// A window played by the test: it records what the client core asks it to show, and what its session
// reports of the log-in.
class FakeView : public ChatView
{
public:
    ChatClient* client = nullptr;
    std::vector<ChatLine> lines;
    QStringList opened;
    QStringList important;
    QStringList topics;
    std::vector<PersonalCard> cards;
    QStringList captions{QStringLiteral("Вход")};
    std::vector<bool> running;
    int setupRequests = 0;
    // Runs when an important line is shown, as a pop-up's own event loop would.
    std::function<void(const QString&)> onImportant;

    void attach(ChatClient& shown)
    {
        client = &shown;
        ChatSession* session = &shown.session();
        QObject::connect(session, &ChatSession::loginCaptionChanged, session,
                         [this](const QString& caption) { captions << caption; });
        QObject::connect(session, &ChatSession::loginRunningChanged, session,
                         [this](bool on) { running.push_back(on); });
        QObject::connect(session, &ChatSession::serverSetupNeeded, session, [this] { ++setupRequests; });
    }

    // Like the window, it shows no line of a private conversation whose page is not open.
    void writeLine(const ChatLine& line) override
    {
        if (!line.partner || opened.contains(*line.partner)) {
            lines.push_back(line);
        }
    }
    // Like the window, a page it opens is the one shown.
    void openConversation(const QString& partner) override
    {
        if (!opened.contains(partner)) {
            opened << partner;
            client->conversationOpened(partner);
        }
    }
    void showImportantMessage(const QString& line) override
    {
        important << line;
        if (onImportant) {
            onImportant(line);
        }
    }
    void showTopic(const QString& topic) override { topics << topic; }
    void showCard(const PersonalCard& card) override { cards.push_back(card); }

    const QString& caption() const { return captions.back(); }

    // The texts of the lines written into a conversation (none: the common one).
    QStringList texts(const std::optional<QString>& partner = std::nullopt) const
    {
        QStringList written;
        for (const ChatLine& line : lines) {
            if (line.partner == partner) {
                written << line.text;
            }
        }
        return written;
    }

    bool waitForLine(const QString& text, const std::optional<QString>& partner = std::nullopt,
                     int timeoutMs = 10000) const
    {
        return QTest::qWaitFor([&] { return texts(partner).contains(text); }, timeoutMs);
    }
};

} // namespace kovrel::test
