// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_handler.h"

#include "handler_fixture.h"
#include "quick_account.h"

#include <gtest/gtest.h>

#include <chrono>

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>

namespace kovrel::server::test {
namespace {

const std::string kPassword = "open|sesame"; // everything after the nick is the password

class CommandHandlerAuth : public HandlerTest
{
protected:
    CommandHandlerAuth() { book.replace({quickAccount("Vasya", kPassword)}); }

    FakeConnection& connectTo(bool encrypted, std::string address = "192.168.1.20")
    {
        connections.push_back(std::make_unique<FakeConnection>(
            room, blacklist, log, std::move(address),
            PasswordChecks{&accounts, io.get_executor(), [this] { ++answers; }}, encrypted));
        return *connections.back();
    }

    // Runs the event loop until the next password check has been answered.
    void awaitAnswer()
    {
        const int before = answers;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (answers == before && std::chrono::steady_clock::now() < deadline) {
            io.run_one_for(std::chrono::milliseconds(100));
        }
        EXPECT_GT(answers, before) << "no answer";
    }

    asio::io_context io;
    asio::executor_work_guard<asio::io_context::executor_type> work = asio::make_work_guard(io);
    AccountCache book;
    Accounts accounts{book, 1};
    int answers = 0;
};

TEST_F(CommandHandlerAuth, APasswordOnAPlainConnectionIsRefusedAtOnceAndNeverChecked)
{
    FakeConnection& plain = connectTo(false);
    send(plain, "Auth|Vasya|" + kPassword);
    EXPECT_FALSE(plain.handler.checkingPassword());
    send(plain, "ExistUser|Vasya");
    EXPECT_EQ(received(plain), (Fields{"Auth|0", "ExistUser|1"}));
    EXPECT_EQ(answers, 0);
    EXPECT_NE(logText.str().find("Auth on a plain connection"), std::string::npos) << logText.str();
}

TEST_F(CommandHandlerAuth, TheRightPasswordOverTlsFreesTheNickForThatConnectionOnly)
{
    FakeConnection& other = connectTo(true);
    FakeConnection& owner = connectTo(true);
    send(owner, "Auth|vasya|" + kPassword);
    EXPECT_TRUE(owner.handler.checkingPassword());
    EXPECT_TRUE(received(owner).empty()); // not before the check is over
    awaitAnswer();
    EXPECT_FALSE(owner.handler.checkingPassword());
    EXPECT_EQ(received(owner), Fields{"Auth|1"});

    send(other, "ExistUser|Vasya");
    send(other, "AddUser|Vasya");
    EXPECT_EQ(received(other), (Fields{"ExistUser|1", "Disconnect|"}));
    send(owner, "ExistUser|Vasya");
    send(owner, "AddUser|Vasya");
    EXPECT_EQ(received(owner), (Fields{"ExistUser|-1", "AddUser|Vasya"}));
    EXPECT_TRUE(owner.handler.loggedIn());
    EXPECT_NE(logText.str().find("password accepted"), std::string::npos);
}

TEST_F(CommandHandlerAuth, AWrongPasswordLeavesTheNickAndItsLookAlikesTakenAndIsNeverLogged)
{
    FakeConnection& guesser = connectTo(true);
    send(guesser, "Auth|Vasya|open sesame");
    awaitAnswer();
    for (const std::string& nick : Fields{"Vasya", "VASYA", utf8("Vаsya")}) {
        send(guesser, "ExistUser|" + nick);
    }
    send(guesser, "AddUser|" + utf8("Vаsya"));
    EXPECT_EQ(received(guesser),
              (Fields{"Auth|0", "ExistUser|1", "ExistUser|1", "ExistUser|1", "Disconnect|"}));
    const std::string logged = logText.str();
    EXPECT_NE(logged.find("wrong password"), std::string::npos) << logged;
    EXPECT_NE(logged.find("Auth|Vasya|(password not logged)"), std::string::npos) << logged;
    EXPECT_EQ(logged.find("sesame"), std::string::npos) << logged;
    EXPECT_NE(logged.find("nick reserved"), std::string::npos) << logged;
}

TEST_F(CommandHandlerAuth, APasswordAfterAddUserIsRefusedUnchecked)
{
    FakeConnection& petya = connectTo(true);
    send(petya, "AddUser|Petya");
    send(petya, "Auth|Vasya|" + kPassword);
    EXPECT_EQ(received(petya), (Fields{"AddUser|Petya", "Auth|0"}));
    EXPECT_FALSE(petya.handler.checkingPassword());
    EXPECT_NE(logText.str().find("Auth after AddUser"), std::string::npos);
}

TEST_F(CommandHandlerAuth, TheOutcomeForAConnectionThatClosedOrWentAwayIsDropped)
{
    FakeConnection& closed = connectTo(true);
    send(closed, "Auth|Vasya|" + kPassword);
    closed.handler.connectionClosed();
    FakeConnection& gone = connectTo(true);
    send(gone, "Auth|Vasya|" + kPassword);
    connections.back().reset();
    // One checking thread: the outcomes come in the order asked for, this one last.
    FakeConnection& last = connectTo(true);
    send(last, "Auth|Vasya|" + kPassword);
    awaitAnswer();
    EXPECT_EQ(received(last), Fields{"Auth|1"});
    EXPECT_EQ(answers, 1);
    EXPECT_TRUE(received(closed).empty());
}

} // namespace
} // namespace kovrel::server::test
