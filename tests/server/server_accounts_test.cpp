// SPDX-License-Identifier: GPL-3.0-or-later
// Reserved nicks on the real kovrel-server: accounts kept in its state database by its own commands, the
// password given over TLS before the log-in, and what a client that gives none sees.

#include "server_process.h"
#include "test_client.h"

#include "cp1251.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kovrel::server::test {
namespace {

namespace fs = std::filesystem;
using Fields = std::vector<std::string>;

// As the administrator types them (UTF-8) and as the clients send them (Windows-1251). The password is
// everything after the nick, "|" included; its Latin part is what the files and the log are searched for.
const std::string kNick = "Вася";
const std::string kPassword = "пароль|tr0ub4dor";
const std::string kSecretPart = "tr0ub4dor";

std::string wire(const std::string& utf8)
{
    return cp1251::fromUtf8(utf8);
}

std::string auth(const std::string& nick, const std::string& password)
{
    return "Auth|" + wire(nick) + "|" + wire(password);
}

std::string contentOf(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::size_t occurrences(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class ServerAccounts : public ::testing::Test
{
protected:
    // The server with a TLS listener beside the plain one, keeping its state (and certificate) here.
    std::unique_ptr<ServerProcess> startServer(std::vector<std::string> more = {}) const
    {
        std::vector<std::string> arguments = {"--state", stateFile.string(), "--tls-listen", "127.0.0.1:0"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return std::make_unique<ServerProcess>(arguments);
    }

    // An account command on the state database, `input` on its standard input.
    ProgramResult accounts(const std::vector<std::string>& arguments, const std::string& input = {}) const
    {
        std::vector<std::string> command = {KOVREL_SERVER_PATH, "--state", stateFile.string()};
        command.insert(command.end(), arguments.begin(), arguments.end());
        return runProgram(command, input);
    }

    void addAccount(const std::string& nick, const std::string& password = kPassword) const
    {
        const ProgramResult added = accounts({"--add-account", nick}, password + "\n");
        EXPECT_EQ(added.exitStatus, 0) << added.errors;
        EXPECT_EQ(added.output, "added an account for \"" + nick + "\"\n");
    }

    TemporaryDirectory folder;
    fs::path stateFile = folder.path() / "state";
};

TEST_F(ServerAccounts, TheRightPasswordOverTlsTakesTheReservedNickAndIsAnsweredBeforeWhatFollows)
{
    addAccount(kNick);
    const auto server = startServer({"--threads", "2"});
    TestClient owner(server->tlsPort(), TestClient::Tls{});
    // As the client does: the password, and at once the admission check, in one write.
    owner.send({auth(kNick, kPassword), "ExistUser|127.0.0.1"});
    EXPECT_EQ(owner.readUntil("ExistUser|"), (Fields{"Auth|1", "ExistUser|-1"}));
    owner.login(wire(kNick));

    // The owner is a user like any other.
    TestClient petya(server->port());
    EXPECT_TRUE(contains(petya.login("Petya"), "GetUser|" + wire(kNick)));
    petya.send({"GetIPUser|" + wire(kNick)});
    EXPECT_EQ(petya.expect("GetIPUser|"), "GetIPUser|127.0.0.1");

    // Online, the nick is not taken over, the password notwithstanding.
    TestClient second(server->tlsPort(), TestClient::Tls{});
    second.send({auth("ВАСЯ", kPassword)});
    EXPECT_EQ(second.expect("Auth|"), "Auth|1");
    EXPECT_TRUE(knownTo(second, wire(kNick)));
    EXPECT_EQ(tryLogin(second, wire(kNick)), "Disconnect|");
    EXPECT_NE(server->log().find("password accepted"), std::string::npos) << server->log();
}

TEST_F(ServerAccounts, WithoutItsPasswordAReservedNickAndItsLookAlikesReadAsTakenAndTheSpareNickServes)
{
    addAccount(kNick);
    const auto server = startServer();
    TestClient guesser(server->tlsPort(), TestClient::Tls{});
    guesser.send({auth(kNick, "пароль|tr0ub4dor "), "ExistUser|127.0.0.1"});
    EXPECT_EQ(guesser.readUntil("ExistUser|"), (Fields{"Auth|0", "ExistUser|-1"}));

    // A client from before accounts gives no password at all.
    TestClient old(server->port());
    for (const std::string& nick : {kNick, std::string("ВАСЯ"), std::string("Bacя")}) { // Latin B, a, c
        old.send({"ExistUser|" + wire(nick)});
        EXPECT_EQ(old.expect("ExistUser|"), "ExistUser|1") << nick;
    }
    for (TestClient* client : {&guesser, &old}) {
        client->send({"GetUser|" + wire(kNick)});
        EXPECT_EQ(tryLogin(*client, wire("Bacя")), "Disconnect|");
        EXPECT_EQ(tryLogin(*client, wire(kNick)), "Disconnect|");
        client->logout(wire(kNick));
    }
    // Its spare nick is free.
    old.send({"ExistUser|" + wire("Вася_2")});
    EXPECT_EQ(old.expect("ExistUser|"), "ExistUser|-1");
    EXPECT_EQ(tryLogin(old, wire("Вася_2")), "AddUser|" + wire("Вася_2"));
    EXPECT_EQ(occurrences(server->log(), "nick reserved"), 4u) << server->log();
}

TEST_F(ServerAccounts, OnAPlainConnectionAPasswordIsRefusedWithoutBeingLookedAt)
{
    addAccount(kNick);
    const auto server = startServer();
    TestClient plain(server->port());
    for (int i = 0; i < 6; ++i) {
        plain.send({auth(kNick, kPassword), "ExistUser|127.0.0.1"});
        EXPECT_EQ(plain.readUntil("ExistUser|"), (Fields{"Auth|0", "ExistUser|-1"}));
    }
    const std::string log = server->log();
    EXPECT_EQ(occurrences(log, "Auth on a plain connection: the password is not looked at"), 6u) << log;
    for (const char* checked : {"password accepted", "wrong password", "not checked"}) {
        EXPECT_EQ(log.find(checked), std::string::npos) << checked;
    }
    // None of them reached the checks: the address has no failures, and the same password over TLS opens.
    TestClient secure(server->tlsPort(), TestClient::Tls{});
    secure.send({auth(kNick, kPassword)});
    EXPECT_EQ(secure.expect("Auth|"), "Auth|1");
}

TEST_F(ServerAccounts, TheSixthPasswordWithinAMinuteFromOneAddressIsNotChecked)
{
    addAccount(kNick);
    const auto server = startServer();
    TestClient guesser(server->tlsPort(), TestClient::Tls{});
    for (int i = 0; i < 4; ++i) {
        guesser.send({auth(kNick, "guess " + std::to_string(i))});
        EXPECT_EQ(guesser.expect("Auth|"), "Auth|0");
    }
    guesser.send({auth("Nobody", kPassword)}); // a nick without an account fails too
    EXPECT_EQ(guesser.expect("Auth|"), "Auth|0");
    guesser.send({auth(kNick, kPassword)});
    EXPECT_EQ(guesser.expect("Auth|"), "Auth|0");
    TestClient again(server->tlsPort(), TestClient::Tls{});
    again.send({auth(kNick, kPassword)});
    EXPECT_EQ(again.expect("Auth|"), "Auth|0");

    const std::string log = server->log();
    EXPECT_EQ(occurrences(log, "Auth wrong password"), 4u) << log;
    EXPECT_EQ(occurrences(log, "no account for this nick"), 1u) << log;
    EXPECT_EQ(occurrences(log, "within a minute: not checked"), 2u) << log;
    // Another address is not held back.
    TestClient elsewhere(server->tlsPort(), TestClient::Tls{}, 0, asio::ip::make_address_v4("127.0.0.2"));
    elsewhere.send({auth(kNick, kPassword)});
    EXPECT_EQ(elsewhere.expect("Auth|"), "Auth|1");
}

// The command runs in a process of its own while the server keeps its connections to the database open.
TEST_F(ServerAccounts, AnAccountAddedOrRemovedWhileTheServerRunsIsHonouredAtOnce)
{
    const auto server = startServer();
    TestClient asker(server->port());
    asker.send({"ExistUser|" + wire("Петя")});
    EXPECT_EQ(asker.expect("ExistUser|"), "ExistUser|-1");

    addAccount("Петя");
    asker.send({"ExistUser|" + wire("петя")});
    EXPECT_EQ(asker.expect("ExistUser|"), "ExistUser|1");
    const ProgramResult listed = accounts({"--list-accounts"});
    EXPECT_EQ(listed.exitStatus, 0) << listed.errors;
    EXPECT_EQ(listed.output, "Петя\n");

    const ProgramResult removed = accounts({"--remove-account", "ПЕТЯ"});
    EXPECT_EQ(removed.exitStatus, 0) << removed.errors;
    EXPECT_EQ(removed.output, "removed the account of \"Петя\"\n");
    asker.send({"ExistUser|" + wire("Петя")});
    EXPECT_EQ(asker.expect("ExistUser|"), "ExistUser|-1") << server->log();
}

TEST_F(ServerAccounts, ThePasswordIsNeitherLoggedNorKeptAnywhere)
{
    addAccount(kNick);
    const auto server = startServer({"--verbose"});
    TestClient secure(server->tlsPort(), TestClient::Tls{});
    secure.send({auth(kNick, kPassword + " wrong")});
    EXPECT_EQ(secure.expect("Auth|"), "Auth|0");
    secure.send({auth(kNick, kPassword)});
    EXPECT_EQ(secure.expect("Auth|"), "Auth|1");
    secure.login(wire(kNick));
    TestClient plain(server->port());
    plain.send({auth(kNick, kPassword)});
    EXPECT_EQ(plain.expect("Auth|"), "Auth|0");
    plain.close();
    server->signal(SIGTERM);
    secure.logout(wire(kNick));
    secure.close();
    EXPECT_EQ(server->waitForExit(), 0);

    const std::string log = server->log();
    EXPECT_NE(log.find("(password not logged)"), std::string::npos) << log;
    EXPECT_EQ(log.find(kSecretPart), std::string::npos) << log;
    std::size_t files = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder.path())) {
        EXPECT_EQ(contentOf(entry.path()).find(kSecretPart), std::string::npos) << entry.path();
        ++files;
    }
    EXPECT_GE(files, 3u); // the database, the certificate and its key
    EXPECT_NE(contentOf(stateFile).find("$scrypt$ln=15,r=8,p=1$"), std::string::npos);
}

// The account command on a terminal of its own (a pseudo-terminal), typed at as an administrator would:
// each line once the text before it has appeared.
struct TerminalSession
{
    int exitStatus = -1;
    std::string screen; // everything the terminal showed
};

// Reads what the terminal shows until `text` has appeared, or until it closes when `text` is empty.
bool readScreen(int terminal, std::string& screen, const std::string& text)
{
    const auto deadline = std::chrono::steady_clock::now() + TestClient::kDeadline;
    while (text.empty() || screen.find(text) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable{terminal, POLLIN, 0};
        char buffer[1024];
        ssize_t length = 0;
        if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0 ||
            (length = ::read(terminal, buffer, sizeof buffer)) <= 0) {
            return text.empty(); // closed (EIO once the program is gone), or out of time
        }
        screen.append(buffer, static_cast<std::size_t>(length));
    }
    return true;
}

TerminalSession onTerminal(std::vector<std::string> command,
                           const std::vector<std::pair<std::string, std::string>>& typing)
{
    std::vector<char*> argv;
    for (std::string& argument : command) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    int terminal = -1;
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    TerminalSession session;
    for (const auto& [prompt, line] : typing) {
        EXPECT_TRUE(readScreen(terminal, session.screen, prompt)) << session.screen;
        EXPECT_EQ(::write(terminal, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    }
    readScreen(terminal, session.screen, {});
    ::close(terminal);
    int status = 0;
    ::waitpid(pid, &status, 0);
    session.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return session;
}

using ServerAccountCommands = ServerAccounts;

TEST_F(ServerAccountCommands, FromStandardInputTheyAddListAndRemoveByWhatTheNickReadsAs)
{
    addAccount(kNick);
    addAccount("Petya", "another one");
    // In the order of what the nicks read as: "bacя", "petya".
    EXPECT_EQ(accounts({"--list-accounts"}).output, kNick + "\nPetya\n");

    for (const auto& [nick, message] : std::vector<std::pair<std::string, std::string>>{
             {kNick, "\"Вася\" has an account already"},
             {"Bacя", "\"Bacя\" reads like \"Вася\", which has an account already"}}) {
        const ProgramResult refused = accounts({"--add-account", nick}, "whatever\n");
        EXPECT_EQ(refused.exitStatus, 1);
        EXPECT_NE(refused.errors.find(message), std::string::npos) << refused.errors;
    }

    const ProgramResult removed = accounts({"--remove-account", "ВАСЯ"});
    EXPECT_EQ(removed.exitStatus, 0) << removed.errors;
    EXPECT_EQ(removed.output, "removed the account of \"Вася\"\n");
    const ProgramResult again = accounts({"--remove-account", kNick});
    EXPECT_EQ(again.exitStatus, 1);
    EXPECT_NE(again.errors.find("no account for \"Вася\""), std::string::npos) << again.errors;
    EXPECT_EQ(accounts({"--list-accounts"}).output, "Petya\n");
}

TEST_F(ServerAccountCommands, RefuseEmptyPasswordsAndNicksOrPasswordsNoClientCouldSend)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> refusals = {
        {{"--add-account", kNick}, ""},
        {{"--add-account", kNick}, "\n"},
        {{"--add-account", "a|b"}, "secret\n"},
        {{"--add-account", " Vasya"}, "secret\n"},
        {{"--add-account", "10.0.0.7"}, "secret\n"},
        {{"--add-account", std::string(65, 'n')}, "secret\n"},
        {{"--add-account", "日本"}, "secret\n"},
        {{"--add-account", kNick}, "日本\n"},
    };
    for (const auto& [arguments, input] : refusals) {
        const ProgramResult refused = accounts(arguments, input);
        EXPECT_EQ(refused.exitStatus, 1) << arguments[1] << " " << input;
        EXPECT_NE(refused.errors.find("kovrel-server: "), std::string::npos) << refused.errors;
    }
    EXPECT_EQ(accounts({"--list-accounts"}).output, "");
    const ProgramResult nowhere = runProgram({KOVREL_SERVER_PATH, "--add-account", kNick}, "secret\n");
    EXPECT_EQ(nowhere.exitStatus, 2);
}

TEST_F(ServerAccountCommands, OnATerminalThePasswordIsTypedTwiceWithoutEcho)
{
    const std::vector<std::string> add = {KOVREL_SERVER_PATH, "--state", stateFile.string(), "--add-account",
                                          kNick};
    const TerminalSession differing =
        onTerminal(add, {{"Password for \"Вася\": ", "first try\n"}, {"again: ", "second try\n"}});
    EXPECT_EQ(differing.exitStatus, 1) << differing.screen;
    EXPECT_NE(differing.screen.find("the two passwords differ"), std::string::npos) << differing.screen;
    EXPECT_EQ(accounts({"--list-accounts"}).output, "");

    const TerminalSession same =
        onTerminal(add, {{"Password for \"Вася\": ", kPassword + "\n"}, {"again: ", kPassword + "\n"}});
    EXPECT_EQ(same.exitStatus, 0) << same.screen;
    EXPECT_NE(same.screen.find("added an account for \"Вася\""), std::string::npos) << same.screen;
    for (const std::string& typed : {std::string("first try"), std::string("second try"), kSecretPart}) {
        EXPECT_EQ(differing.screen.find(typed), std::string::npos) << typed;
        EXPECT_EQ(same.screen.find(typed), std::string::npos) << typed;
    }
    EXPECT_EQ(accounts({"--list-accounts"}).output, kNick + "\n");
}

} // namespace
} // namespace kovrel::server::test
