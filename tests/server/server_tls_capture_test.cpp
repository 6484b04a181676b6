// SPDX-License-Identifier: GPL-3.0-or-later
// What a tap on the wire between a client and the real kovrel-server reads, through a recording relay: of a
// TLS connection nothing of the conversation (the password, the nick, a public line, a private line, the
// card), neither as text nor enciphered as the protocol sends it, and kovrel-wire decodes no field of it; of
// a plain connection all of it.

#include "recording_relay.h"
#include "server_process.h"
#include "test_client.h"

#include "cp1251.h"
#include "field_cipher.h"
#include "wire_tool.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace kovrel::server::test {
namespace {

// Texts found nowhere else: a capture that holds one has leaked it.
const std::string kNick = cp1251::fromUtf8("Шифровальщик");
const std::string kPublicText = cp1251::fromUtf8("Сбор у старой мельницы в полночь");
const std::string kPrivateText = cp1251::fromUtf8("Код от сейфа: 7341-ЗОЛОТО");
const std::string kCity = cp1251::fromUtf8("Зурбаган, улица Грина, 7");
const std::string kCard = "N/A|N/A|N/A|" + kCity + "|N/A|N/A|N/A|N/A|http://|N/A|N/A";
const std::string kPassword = cp1251::fromUtf8("пароль-у-мельницы");
const std::string kAuth = "Auth|" + kNick + "|" + kPassword;

// What the relayed client sends after its log-in, which sends "SetInfo" with the card.
const std::vector<std::string> kSaid = {"AllUser|" + kNick + "|" + kPublicText,
                                        "PrivatUser|" + kNick + "|Reader|" + kPrivateText};
// Fields that cross the wire with the texts in them, one way or both.
const std::vector<std::string> kFieldsWithTexts = {
    kAuth,    "ExistUser|" + kNick, "AddUser|" + kNick, "SetInfo|" + kNick + "|" + kCard, kSaid[0],
    kSaid[1], "DelUser|" + kNick};

// A client gives a password (this server keeps no accounts and refuses it), logs in through the relay, says a
// public line and a private one to Reader (connected directly) and logs out; what the relay saw of it.
RecordingRelay::Capture capturedConversation(bool tls)
{
    const TemporaryDirectory folder;
    ServerProcess server({"--tls-listen", "127.0.0.1:0", "--tls-dir", folder.path().string()});
    TestClient reader(server.port());
    reader.login("Reader");
    RecordingRelay relay(tls ? server.tlsPort() : server.port());
    std::optional<TestClient> client;
    if (tls) {
        client.emplace(relay.port(), TestClient::Tls{});
    } else {
        client.emplace(relay.port());
    }
    client->send({kAuth});
    EXPECT_EQ(client->expect("Auth|"), "Auth|0");
    client->login(kNick, kCard);
    for (const std::string& field : kSaid) {
        client->send({field});
    }
    EXPECT_EQ(reader.expect("PrivatUser|"), kSaid[1]);
    reader.send({"GetInfo|" + kNick});
    EXPECT_EQ(reader.expect("GetInfo|"), "GetInfo|" + kNick + "|" + kCard);
    client->logout(kNick);

    const std::vector<RecordingRelay::Capture> captures = relay.captures();
    EXPECT_EQ(captures.size(), 1u);
    return captures.empty() ? RecordingRelay::Capture{} : captures.front();
}

// What kovrel-wire decodes from captured bytes: a line per field.
std::string decoded(const std::string& bytes)
{
    std::istringstream in(bytes);
    std::ostringstream fields;
    std::ostringstream errors;
    wire::decodeStream(in, fields, errors);
    return fields.str();
}

std::string decodedLine(const std::string& field)
{
    return wire::escapeText(cp1251::toUtf8(field)) + "\n";
}

TEST(ServerTlsCapture, ATapOnATlsConnectionReadsNothingOfTheConversation)
{
    const RecordingRelay::Capture capture = capturedConversation(true);
    for (const std::string* bytes : {&capture.fromClient, &capture.fromServer}) {
        EXPECT_GT(bytes->size(), 0u);
        for (const std::string& text : {kPassword, kNick, kPublicText, kPrivateText, kCity}) {
            EXPECT_EQ(bytes->find(text), std::string::npos) << cp1251::toUtf8(text);
            EXPECT_EQ(bytes->find(EncodeField(text)), std::string::npos) << cp1251::toUtf8(text);
        }
        for (const std::string& field : kFieldsWithTexts) {
            EXPECT_EQ(bytes->find(EncodeField(field)), std::string::npos) << cp1251::toUtf8(field);
        }
        EXPECT_EQ(decoded(*bytes), "");
    }
}

// The same conversation in plain TCP: the tap and kovrel-wire read every field, which shows that the
// checks above look for the right bytes.
TEST(ServerTlsCapture, ATapOnAPlainConnectionReadsTheWholeConversation)
{
    const RecordingRelay::Capture capture = capturedConversation(false);
    const std::string fromClient = decoded(capture.fromClient);
    for (const std::string& field : kFieldsWithTexts) {
        EXPECT_NE(capture.fromClient.find(EncodeField(field)), std::string::npos) << cp1251::toUtf8(field);
        EXPECT_NE(fromClient.find(decodedLine(field)), std::string::npos) << cp1251::toUtf8(field);
    }
    const std::string fromServer = decoded(capture.fromServer);
    for (const std::string& field : {"AddUser|" + kNick, kSaid[0], "DelUser|" + kNick}) {
        EXPECT_NE(fromServer.find(decodedLine(field)), std::string::npos) << cp1251::toUtf8(field);
    }
}

} // namespace
} // namespace kovrel::server::test
