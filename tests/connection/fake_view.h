#pragma once

#include "chat_client.h"
#include "chat_view.h"
#include "qt_printers.h"

#include <QStringList>
#include <QTest>

#include <functional>
#include <vector>

namespace kovrel::test {

// A window played by the test: it records what the client core asks it to show.
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
    QStringList greetings;
    bool acceptDialog = true;
    int dialogRuns = 0;
    // Runs when an important line is shown, as a pop-up's own event loop would.
    std::function<void(const QString&)> onImportant;

    // Like the window, it shows no line of a private conversation whose page is not open.
    void writeLine(const ChatLine& line) override
    {
        if (!line.partner || opened.contains(*line.partner)) {
            lines.push_back(line);
        }
    }
    bool openConversation(const QString& partner) override
    {
        if (opened.contains(partner)) {
            return false;
        }
        opened << partner;
        return true;
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
    void setLoginCaption(const QString& caption) override { captions << caption; }
    void setLoginRunning(bool on) override { running.push_back(on); }
    void setWaitCursor(bool) override {}
    bool runConnectDialog() override
    {
        ++dialogRuns;
        return acceptDialog;
    }
    // As the window does: the text goes out as a public message from the input.
    void sendAsPublicMessage(const QString& text) override
    {
        greetings << text;
        client->send(std::nullopt, text, false);
    }

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
