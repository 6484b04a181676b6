// SPDX-License-Identifier: GPL-3.0-or-later
// The client's receive path: fields from a server played by the harness, over a loopback socket, through
// the connection's stream reader and the dispatcher into the client core, which tells a fake window what
// to show (offscreen, no widgets). Each input is one logged-in session: no field sequence may crash the
// client or keep it from reading on.
//
// Input: field texts, each ended by a zero byte (no field text holds one). After them the harness sends a
// probe and waits for the client to answer it, or to have logged out when a field told it to.

#include "chat_client.h"
#include "fake_view.h"
#include "packet.h"
#include "scripted_peer.h"
#include "settings_layout.h"
#include "settings_sandbox.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::chrono_literals;
using kovrel::ChatClient;

// The field that ends every input; the client sends it back unchanged.
const std::string kEndProbe = "TestConnection|end of input";
// A client that answers nothing for this long is taken to hang.
constexpr int kHangMs = 10000;

void fail(const char* what)
{
    std::fprintf(stderr, "fuzz_client_receive: %s\n", what);
    std::abort();
}

// The application, the server and the settings the client logs in with, kept for the whole run: writing
// the settings file for each input would cost more than the input.
struct Environment
{
    Environment() : application(argc, argv)
    {
        kovrel::WritePort(peer.port());
        kovrel::WriteHost(QString());
        kovrel::WriteAddress(QStringLiteral("127.0.0.1"));
        kovrel::WriteNick(QStringLiteral("Вася"));
        kovrel::WriteAnotherNick(QStringLiteral("Василий"));
        kovrel::WriteFirstTime(false);
    }

    int argc = 1;
    char name[20] = "fuzz_client_receive";
    char* argv[2] = {name, nullptr};
    QCoreApplication application;
    kovrel::test::SettingsSandbox sandbox;
    kovrel::test::ScriptedPeer peer;
};

std::vector<std::string> splitFields(std::string_view input)
{
    std::vector<std::string> fields;
    while (!input.empty()) {
        const std::size_t end = std::min(input.find('\0'), input.size());
        fields.emplace_back(input.substr(0, std::min(end, kovrel::kMaxFieldTextSize)));
        input.remove_prefix(std::min(end + 1, input.size()));
    }
    return fields;
}

bool answeredEndProbe(const kovrel::test::ScriptedPeer& peer)
{
    const auto& received = peer.fields();
    return std::find(received.begin(), received.end(), kEndProbe) != received.end();
}

// Runs the event loop until `done` holds, sleeping while nothing happens; false after kHangMs.
bool runUntil(const std::function<bool()>& done)
{
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.start(kHangMs);
    while (!done()) {
        if (!deadline.isActive()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void runSession(kovrel::test::ScriptedPeer& peer, const std::vector<std::string>& fields)
{
    peer.forgetReceived();
    kovrel::test::FakeView view;
    ChatClient client(view);
    view.attach(client);
    client.session().setAnswerWaits(2s, 2s);
    client.ToggleLogin();
    if (!client.isConnected()) {
        fail("the client did not log in to the harness's server");
    }
    std::string packet = kovrel::BuildPacket(fields);
    kovrel::AppendFramedField(packet, kEndProbe);
    peer.sendRaw(packet);
    if (!runUntil([&] { return answeredEndProbe(peer) || !client.isConnected(); })) {
        fail("the client stopped reading: no answer to the probe after the input");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Environment environment;
    runSession(environment.peer, splitFields(std::string_view(reinterpret_cast<const char*>(data), size)));
    // Closed sockets are deleted later: let that happen, so that nothing piles up from input to input.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
