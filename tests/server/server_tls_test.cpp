// SPDX-License-Identifier: GPL-3.0-or-later
// The real kovrel-server with a TLS listener beside its plain one: one room for both, its own certificate
// made once and kept (whole, even when the server is killed), a lone or mismatched certificate refused,
// connections that speak the wrong way to a port closed at once, and deliberate closes that TLS clients
// can tell from a cut connection.

#include "server_process.h"
#include "test_client.h"

#include "state_database.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <asio/ssl/error.hpp>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <sys/wait.h>

namespace kovrel::server::test {
namespace {

namespace fs = std::filesystem;

// A TLS listener on a free port, with the server's own certificate kept in `folder`.
std::vector<std::string> tlsArguments(const fs::path& folder, std::vector<std::string> more = {})
{
    std::vector<std::string> arguments = {"--tls-listen", "127.0.0.1:0", "--tls-dir", folder.string()};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

// The fingerprint in the server's "tls" log line.
std::string loggedFingerprint(const ServerProcess& server)
{
    const std::string prefix = "certificate SHA-256 ";
    const std::string log = server.log();
    const std::size_t at = log.find(prefix);
    return at == std::string::npos ? ""
                                   : log.substr(at + prefix.size(), log.find('\n', at) - at - prefix.size());
}

// The names in `folder`, sorted; none when it does not exist.
std::vector<std::string> filesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code missing;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, missing)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

const std::vector<std::string> kOwnPair = {"kovrel-server.crt", "kovrel-server.key"};

// The first flight of an OpenSSL client: its ClientHello.
std::string clientHello()
{
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    SSL* ssl = SSL_new(context);
    BIO* received = BIO_new(BIO_s_mem());
    BIO* sent = BIO_new(BIO_s_mem());
    SSL_set_bio(ssl, received, sent);
    SSL_connect(ssl); // stops for the server's answer
    char* bytes = nullptr;
    const long size = BIO_get_mem_data(sent, &bytes);
    std::string hello(bytes, static_cast<std::size_t>(size));
    SSL_free(ssl);
    SSL_CTX_free(context);
    return hello;
}

// Whether `file` holds a whole private key.
bool holdsAKey(const fs::path& file)
{
    BIO* bio = BIO_new_file(file.c_str(), "r");
    EVP_PKEY* key = bio != nullptr ? PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr) : nullptr;
    const bool whole = key != nullptr;
    EVP_PKEY_free(key);
    BIO_free(bio);
    return whole;
}

std::string startUpErrors(const fs::path& folder)
{
    const ProgramResult result = runProgram(
        {KOVREL_SERVER_PATH, "--listen", "127.0.0.1:0", "--tls-listen", "127.0.0.1:0", "--tls-dir", folder});
    EXPECT_EQ(result.exitStatus, 1) << result.errors;
    return result.errors;
}

TEST(ServerTls, ATlsClientAndAPlainClientTalkInOneRoom)
{
    const TemporaryDirectory folder;
    ServerProcess server(tlsArguments(folder.path()));
    TestClient plain(server.port());
    plain.login("Plain");
    TestClient secure(server.tlsPort(), TestClient::Tls{});
    EXPECT_TRUE(contains(secure.login("Secure"), "GetUser|Plain"));
    EXPECT_EQ(plain.expect("AddUser|"), "AddUser|Secure");

    secure.send({"AllUser|Secure|over TLS"});
    EXPECT_EQ(chatLine(plain, "AllUser")[1], "AllUser|Secure|over TLS");
    EXPECT_EQ(chatLine(secure, "AllUser")[1], "AllUser|Secure|over TLS"); // the server echoes our own lines
    plain.send({"PrivatUser|Plain|Secure|in the clear"});
    EXPECT_EQ(chatLine(secure, "PrivatUser")[1], "PrivatUser|Plain|Secure|in the clear");

    server.signal(SIGTERM);
    EXPECT_EQ(plain.expect("Disconnect"), "Disconnect|");
    EXPECT_EQ(secure.expect("Disconnect"), "Disconnect|");
    plain.logout("Plain");
    EXPECT_EQ(secure.expect("DelUser|"), "DelUser|Plain");
    secure.logout("Secure");
    EXPECT_EQ(server.waitForExit(), 0) << server.log();
}

// A TLS record costs far more than the line in it: lines that come a millisecond apart reach a TLS reader
// gathered into a few records, not one record (and one TCP segment) each.
TEST(ServerTls, LinesInQuickSuccessionReachATlsReaderInAFewRecords)
{
    const TemporaryDirectory folder;
    ServerProcess server(tlsArguments(folder.path(), {"--chat-rate", "0", "--chat-bytes", "0"}));
    TestClient reader(server.tlsPort(), TestClient::Tls{});
    reader.login("Reader");
    TestClient talker(server.port());
    talker.login("Talker");
    reader.expect("AddUser|Talker");

    constexpr int kLines = 40;
    const unsigned segmentsBefore = reader.dataSegmentsReceived();
    for (int i = 0; i < kLines; ++i) {
        talker.send({"AllUser|Talker|line " + std::to_string(i)});
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(reader.expect("AllUser|Talker|line " + std::to_string(kLines - 1)),
              "AllUser|Talker|line " + std::to_string(kLines - 1));
    EXPECT_LT(reader.dataSegmentsReceived() - segmentsBefore, unsigned{kLines / 3});
}

TEST(ServerTls, ItsOwnCertificateIsMadePrivateOnceAndKeptAcrossStarts)
{
    const TemporaryDirectory folder;
    std::string first;
    {
        ServerProcess server(tlsArguments(folder.path()));
        first = loggedFingerprint(server);
    }
    EXPECT_TRUE(std::regex_match(first, std::regex("([0-9A-F]{2}:){31}[0-9A-F]{2}"))) << first;
    for (const char* name : {"kovrel-server.crt", "kovrel-server.key"}) {
        EXPECT_EQ(fs::status(folder.path() / name).permissions(),
                  fs::perms::owner_read | fs::perms::owner_write)
            << name;
    }

    ServerProcess again(tlsArguments(folder.path()));
    EXPECT_EQ(loggedFingerprint(again), first);
    const ProgramResult printed =
        runProgram({KOVREL_SERVER_PATH, "--fingerprint", "--tls-dir", folder.path().string()});
    EXPECT_EQ(printed.exitStatus, 0);
    EXPECT_EQ(printed.output, first + "\n");
    // A server with a state file keeps its certificate beside it.
    const std::string state = (folder.path() / "state").string();
    EXPECT_EQ(runProgram({KOVREL_SERVER_PATH, "--fingerprint", "--state", state}).output, first + "\n");
}

TEST(ServerTls, ALoneCertificateOrKeyStopsStartUpNamingIt)
{
    const TemporaryDirectory folder;
    const fs::path pair = folder.path() / "pair";
    ASSERT_EQ(runProgram({KOVREL_SERVER_PATH, "--fingerprint", "--tls-dir", pair}).exitStatus, 0);
    for (const auto& [lone, missing] :
         {std::pair(kOwnPair[0], kOwnPair[1]), std::pair(kOwnPair[1], kOwnPair[0])}) {
        const fs::path alone = folder.path() / lone;
        fs::create_directory(alone);
        fs::copy_file(pair / lone, alone / lone);
        const std::string errors = startUpErrors(alone);
        EXPECT_NE(errors.find((alone / lone).string() + " has no " + missing + " beside it"),
                  std::string::npos)
            << errors;
        EXPECT_NE(errors.find("remove " + lone + " to have a new pair made"), std::string::npos) << errors;
        EXPECT_NE(errors.find("--tls-cert and --tls-key"), std::string::npos) << errors;
        // Nothing was made beside it.
        EXPECT_EQ(filesIn(alone), std::vector<std::string>{lone});
    }
}

TEST(ServerTls, ACertificateWithTheKeyOfAnotherPairStopsStartUp)
{
    const TemporaryDirectory folder;
    const fs::path first = folder.path() / "first";
    const fs::path second = folder.path() / "second";
    for (const fs::path& pair : {first, second}) {
        ASSERT_EQ(runProgram({KOVREL_SERVER_PATH, "--fingerprint", "--tls-dir", pair}).exitStatus, 0);
    }
    const std::string mismatch = "the key " + (second / kOwnPair[1]).string() +
                                 " is not the key of the certificate " + (first / kOwnPair[0]).string();
    const ProgramResult given =
        runProgram({KOVREL_SERVER_PATH, "--listen", "127.0.0.1:0", "--tls-listen", "127.0.0.1:0",
                    "--tls-cert", first / kOwnPair[0], "--tls-key", second / kOwnPair[1]});
    EXPECT_EQ(given.exitStatus, 1);
    EXPECT_NE(given.errors.find(mismatch), std::string::npos) << given.errors;

    // The server's own pair, its key swapped for another.
    fs::copy_file(second / kOwnPair[1], first / kOwnPair[1], fs::copy_options::overwrite_existing);
    const std::string errors = startUpErrors(first);
    EXPECT_NE(errors.find("the key " + (first / kOwnPair[1]).string() +
                          " is not the key of the certificate " + (first / kOwnPair[0]).string()),
              std::string::npos)
        << errors;
}

// Both are closed long before the log-in deadline (30 s), which TestClient's own deadline (20 s) is shorter
// than.
TEST(ServerTls, PlainTextToTheTlsPortAndTlsToThePlainPortAreClosedAtOnce)
{
    const TemporaryDirectory folder;
    ServerProcess server(tlsArguments(folder.path()));
    TestClient plainToTls(server.tlsPort());
    plainToTls.send({"ExistUser|127.0.0.1"});
    EXPECT_TRUE(plainToTls.readUntilClosed().empty());
    EXPECT_TRUE(server.waitForLog("TLS handshake failed: "));

    EXPECT_THROW(TestClient(server.port(), TestClient::Tls{}), std::system_error);
    EXPECT_TRUE(server.waitForLog("length prefix is not five digits: a TLS handshake on a plain port"));
}

TEST(ServerTls, StalledHandshakesCountAgainstTheAddressAndCloseAtTheLogInDeadline)
{
    const TemporaryDirectory folder;
    ServerProcess server(tlsArguments(folder.path(), {"--login-timeout", "1", "--max-per-address", "2"}));
    std::vector<std::unique_ptr<TestClient>> silent;
    for (int i = 0; i < 3; ++i) {
        silent.push_back(std::make_unique<TestClient>(server.tlsPort()));
    }
    for (const auto& client : silent) {
        EXPECT_TRUE(client->readUntilClosed().empty());
    }
    EXPECT_TRUE(server.waitForLog("too many connections from this address"));
    EXPECT_TRUE(server.waitForLog("not logged in within 1 s"));
}

TEST(ServerTls, EveryThreadServesTheTlsPort)
{
    const TemporaryDirectory folder;
    ServerProcess server(tlsArguments(folder.path(), {"--threads", "2"}));
    // Enough that the kernel gives some to each thread.
    std::vector<std::unique_ptr<TestClient>> clients;
    for (int i = 0; i < 8; ++i) {
        clients.push_back(std::make_unique<TestClient>(server.tlsPort(), TestClient::Tls{}));
        clients.back()->login("Secure" + std::to_string(i));
    }
    TestClient plain(server.port());
    plain.login("Plain");
    for (int i = 0; i < 8; ++i) {
        EXPECT_TRUE(knownTo(plain, "Secure" + std::to_string(i))) << i;
    }
    plain.send({"AllUser|Plain|to all"});
    for (const auto& client : clients) {
        EXPECT_EQ(chatLine(*client, "AllUser")[1], "AllUser|Plain|to all");
    }
}

// Without TLS's closing alert, a client cannot tell a close the server meant from an attacker cutting the
// connection: Asio reports the latter as stream_truncated.
TEST(ServerTls, DeliberateClosesEndWithTheClosingAlert)
{
    const TemporaryDirectory folder;
    ServerProcess server(tlsArguments(folder.path(), {"--login-timeout", "1", "--probe-interval", "1"}));
    TestClient late(server.tlsPort(), TestClient::Tls{});
    TestClient silent(server.tlsPort(), TestClient::Tls{});
    silent.login("Silent");
    silent.answerProbes(false);

    EXPECT_TRUE(late.readUntilClosed().empty());
    EXPECT_EQ(late.ending(), asio::error::eof) << late.ending().message();
    EXPECT_TRUE(server.waitForLog("not logged in within 1 s"));
    silent.readUntilClosed();
    EXPECT_EQ(silent.ending(), asio::error::eof) << silent.ending().message();
    EXPECT_TRUE(server.waitForLog("\"Silent\" silent for three probe periods"));

    // Asked to log out as the server stops, it stays.
    TestClient stays(server.tlsPort(), TestClient::Tls{});
    stays.login("Stays");
    server.signal(SIGTERM);
    EXPECT_EQ(stays.expect("Disconnect"), "Disconnect|");
    stays.readUntilClosed();
    EXPECT_EQ(stays.ending(), asio::error::eof) << stays.ending().message();
    EXPECT_EQ(server.waitForExit(), 0) << server.log();
    EXPECT_NE(server.log().find("\"Stays\" the server is stopping"), std::string::npos);
}

// A client that reads nothing leaves the server's write to it under way: the closing alert cannot get
// through behind it, and the connection is cut after a short wait instead of holding the server up.
TEST(ServerTls, AClientThatDoesNotReadCannotHoldUpTheServersStop)
{
    const TemporaryDirectory folder;
    ServerProcess server(tlsArguments(folder.path(), {"--chat-rate", "0", "--chat-bytes", "0"}));
    TestClient stuck(server.tlsPort(), TestClient::Tls{}, 4096);
    stuck.login("Stuck");
    TestClient talker(server.port());
    talker.login("Talker");
    // More than the sockets take (a few MB on loopback), less than a client may leave unread (4 MB).
    const std::string text(2000, 'x');
    for (int batch = 0; batch < 15; ++batch) {
        for (int i = 0; i < 100; ++i) {
            talker.send({"AllUser|Talker|" + std::to_string(batch * 100 + i) + text});
        }
        EXPECT_NE(talker.expect("AllUser|Talker|" + std::to_string(batch * 100 + 99) + "x"), "");
    }
    server.signal(SIGTERM);
    EXPECT_EQ(talker.expect("Disconnect"), "Disconnect|");
    talker.logout("Talker");
    EXPECT_EQ(server.waitForExit(), 0) << server.log();
    EXPECT_NE(server.log().find("\"Stuck\" the server is stopping"), std::string::npos) << server.log();
}

// SIGKILL while connections are in every stage of their handshake and the state is being written: the
// next start is at once on the same ports, with the same certificate and the state intact.
TEST(ServerTls, AServerKilledDuringHandshakesLeavesItsCertificateAndStateWhole)
{
    const TemporaryDirectory folder;
    const fs::path certificates = folder.path() / "tls";
    const fs::path state = folder.path() / "state";
    StateDatabase(state).replaceAll(
        {"before the crash",
         {{"keeper",
           {"Keeper", "kept|card", "127.0.0.1", secondsSinceEpoch(std::chrono::system_clock::now())},
           1}}});
    std::vector<std::string> topics = {"Topic|before the crash"};
    const auto options = [&](const std::string& plain, const std::string& tls) {
        return std::vector<std::string>{"--listen",          "127.0.0.1:" + plain,
                                        "--tls-listen",      "127.0.0.1:" + tls,
                                        "--tls-dir",         certificates,
                                        "--state",           state,
                                        "--max-per-address", "100",
                                        "--chat-rate",       "0"};
    };
    std::string fingerprint;
    unsigned short plainPort = 0;
    unsigned short tlsPort = 0;
    {
        ServerProcess server(options("0", "0"));
        fingerprint = loggedFingerprint(server);
        plainPort = server.port();
        tlsPort = server.tlsPort();
        const std::string hello = clientHello();
        std::vector<std::unique_ptr<TestClient>> clients;
        for (int i = 0; i < 10; ++i) {
            // Stalled after a whole ClientHello (the server has answered), halfway through one, and garbage.
            for (const std::string& bytes :
                 {hello, hello.substr(0, hello.size() / 2), std::string(300, '\x16')}) {
                clients.push_back(std::make_unique<TestClient>(tlsPort));
                clients.back()->sendRaw(bytes);
            }
            clients.push_back(std::make_unique<TestClient>(tlsPort, TestClient::Tls{}));
            clients.back()->login("Secure" + std::to_string(i));
        }
        // The topic is being written while the server is killed.
        for (int i = 0; i < 50; ++i) {
            topics.push_back("Topic|change " + std::to_string(i));
            clients.back()->send({topics.back()});
        }
        server.signal(SIGKILL);
        EXPECT_EQ(server.waitForExit(), -1);
    }
    EXPECT_EQ(filesIn(certificates), kOwnPair);

    ServerProcess again(options(std::to_string(plainPort), std::to_string(tlsPort)));
    EXPECT_EQ(again.port(), plainPort);
    EXPECT_EQ(again.tlsPort(), tlsPort);
    EXPECT_EQ(loggedFingerprint(again), fingerprint);
    TestClient secure(tlsPort, TestClient::Tls{});
    const std::vector<std::string> roster = secure.login("After");
    EXPECT_EQ(std::count_if(roster.begin(), roster.end(),
                            [&topics](const std::string& field) { return contains(topics, field); }),
              1);
    secure.send({"GetInfo|Keeper"});
    EXPECT_EQ(secure.expect("GetInfo|"), "GetInfo|Keeper|kept|card");
}

// Killed at every moment of its first start, the server leaves a pair that a later start uses, nothing
// (a later start makes one), or, killed between naming the two files, a whole key alone, which a later
// start refuses with a message.
TEST(ServerTls, AServerKilledWhileMakingItsCertificateLeavesAWholePairOrNothing)
{
    const TemporaryDirectory folder;
    // How long a start takes to make its pair: the kills below fall before, during and after that.
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(
        runProgram({KOVREL_SERVER_PATH, "--fingerprint", "--tls-dir", folder.path() / "timing"}).exitStatus,
        0);
    const auto making = std::chrono::steady_clock::now() - started;
    constexpr int kKills = 24;
    for (int i = 0; i < kKills; ++i) {
        const fs::path certificates = folder.path() / std::to_string(i);
        const pid_t pid = startProgram({KOVREL_SERVER_PATH, "--listen", "127.0.0.1:0", "--tls-listen",
                                        "127.0.0.1:0", "--tls-dir", certificates});
        std::this_thread::sleep_for(making * i / (kKills - 4));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        const std::vector<std::string> files = filesIn(certificates);
        if (files == std::vector<std::string>{kOwnPair[1]}) {
            EXPECT_TRUE(holdsAKey(certificates / kOwnPair[1])) << i;
            EXPECT_NE(startUpErrors(certificates).find("has no kovrel-server.crt beside it"),
                      std::string::npos);
            continue;
        }
        EXPECT_TRUE(files.empty() || files == kOwnPair) << i << ": " << ::testing::PrintToString(files);
        ServerProcess again(tlsArguments(certificates));
        TestClient secure(again.tlsPort(), TestClient::Tls{});
        EXPECT_TRUE(contains(secure.login("After"), "AddUser|After")) << i;
    }
}

} // namespace
} // namespace kovrel::server::test
