// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_handler.h"

#include "handler_fixture.h"

#include <gtest/gtest.h>

namespace kovrel::server::test {
namespace {

using LoginTest = HandlerTest;

TEST_F(LoginTest, ExistUserAnswersForBlacklistedAddresses)
{
    FakeConnection& client = connect();
    send(client, "ExistUser|10.0.0.66");
    send(client, "ExistUser|10.0.0.67");
    EXPECT_EQ(received(client), (Fields{"ExistUser|1", "ExistUser|-1"}));
}

TEST_F(LoginTest, ExistUserAnswersForNicksWithoutRegardToLetterCase)
{
    login(utf8("Вася"));
    FakeConnection& client = connect();
    send(client, "ExistUser|" + utf8("вАСЯ"));
    send(client, "ExistUser|" + utf8("Петя"));
    // Not a dotted address, so a nick (nobody's).
    send(client, "ExistUser|10.0.0.066");
    EXPECT_EQ(received(client), (Fields{"ExistUser|1", "ExistUser|-1", "ExistUser|-1"}));
}

TEST_F(LoginTest, AddUserAnnouncesTheNewcomerToEveryoneItselfIncluded)
{
    FakeConnection& vasya = login(utf8("Вася"));
    FakeConnection& petya = connect();
    send(petya, "AddUser|" + utf8("Петя"));

    EXPECT_TRUE(petya.handler.loggedIn());
    EXPECT_EQ(received(petya), Fields{utf8("AddUser|Петя")});
    EXPECT_EQ(received(vasya), Fields{utf8("AddUser|Петя")});
    EXPECT_NE(logText.str().find("login"), std::string::npos);
}

TEST_F(LoginTest, InvalidNicksAreToldToDisconnectAndNotAdmitted)
{
    FakeConnection& watcher = login("watcher");
    const std::string invalid[] = {
        "", " ", "a|b", "tab\there", "new\nline", std::string(65, 'n'), " Vasya", "Vasya ", "\xa0Vasya"};
    for (const std::string& nick : invalid) {
        FakeConnection& client = connect();
        send(client, "AddUser|" + nick);
        EXPECT_EQ(received(client), Fields{"Disconnect|"}) << '"' << nick << '"';
        EXPECT_FALSE(client.handler.loggedIn()) << '"' << nick << '"';
    }
    EXPECT_EQ(room.size(), 1u);
    EXPECT_TRUE(received(watcher).empty());
}

TEST_F(LoginTest, ATakenNickIsRefusedAndTheRefusedLogOutTouchesNobodyElse)
{
    FakeConnection& vasya = login(utf8("Вася"));
    FakeConnection& intruder = connect();
    send(intruder, "AddUser|" + utf8("ВАСЯ"));
    EXPECT_EQ(received(intruder), Fields{"Disconnect|"});

    // The refused client logs out and waits for its "DelUser"; Вася stays.
    send(intruder, "DelUser|" + utf8("ВАСЯ"));
    EXPECT_EQ(received(intruder), Fields{utf8("DelUser|ВАСЯ")});
    EXPECT_TRUE(received(vasya).empty());
    EXPECT_NE(room.find(utf8("Вася")), nullptr);
}

TEST_F(LoginTest, BeforeLoggingInOnlyTheLoginConversationIsAnswered)
{
    FakeConnection& watcher = login("watcher");
    FakeConnection& stranger = connect();
    for (const char* message :
         {"TextStyle|AllUser|204|0|-13|0|0|0|0|Arial", "AllUser|watcher|hello", "PrivatUser|x|watcher|psst",
          "StateUser|x|2", "Topic|hijacked", "SetInfo|x|1|2|3|4|5|6|7|8|9|10|11", "GetInfo|watcher",
          "GetIPUser|watcher", "GetNick|", "TestConnection|", "ClearTextStyle|", "Disconnect|"}) {
        send(stranger, message);
    }
    EXPECT_TRUE(received(stranger).empty());
    EXPECT_TRUE(received(watcher).empty());
    EXPECT_EQ(room.topic(), "");
    EXPECT_EQ(room.findCard("x"), nullptr);

    send(stranger, "GetUser|x");
    EXPECT_EQ(received(stranger), Fields{"GetUser|watcher"});
}

TEST_F(LoginTest, AddUserWhileLoggedInChangesNothing)
{
    FakeConnection& vasya = login("Vasya");
    send(vasya, "AddUser|Other");
    EXPECT_EQ(vasya.handler.nick(), "Vasya");
    EXPECT_TRUE(received(vasya).empty());
    EXPECT_EQ(room.find("Other"), nullptr);
}

TEST_F(LoginTest, DelUserAnnouncesTheDepartureAndKeepsTheConnectionUsable)
{
    FakeConnection& vasya = login("Vasya");
    FakeConnection& petya = login("Petya");
    // The nick in the message does not matter: a user can only log itself out.
    send(vasya, "DelUser|Petya");

    EXPECT_EQ(received(vasya), Fields{"DelUser|Vasya"});
    EXPECT_EQ(received(petya), Fields{"DelUser|Vasya"});
    EXPECT_FALSE(vasya.handler.loggedIn());
    EXPECT_TRUE(petya.handler.loggedIn());

    send(vasya, "AllUser|Vasya|still here?");
    EXPECT_TRUE(received(petya).empty());
    send(vasya, "AddUser|Vasya");
    EXPECT_EQ(received(petya), Fields{"AddUser|Vasya"});
}

TEST_F(LoginTest, AConnectionClosedWithoutDelUserIsAnnouncedToTheOthers)
{
    FakeConnection& vasya = login("Vasya");
    FakeConnection& petya = login("Petya");
    vasya.handler.connectionClosed();

    EXPECT_EQ(received(petya), Fields{"DelUser|Vasya"});
    EXPECT_EQ(room.find("Vasya"), nullptr);
    petya.handler.connectionClosed();
    connect().handler.connectionClosed(); // never logged in: nothing to announce
    EXPECT_EQ(room.size(), 0u);
}

TEST_F(LoginTest, GetUserListsUsersStatesAndTopicInOneDelivery)
{
    login("a");
    FakeConnection& b = login("b");
    send(b, "StateUser|b|2");
    send(b, "Topic|release on Friday");
    FakeConnection& newcomer = connect();
    send(newcomer, "GetUser|c");

    ASSERT_EQ(newcomer.participant->deliveries().size(), 1u);
    EXPECT_EQ(received(newcomer),
              (Fields{"GetUser|a", "GetUser|b", "StateUser|b|2", "Topic|release on Friday"}));
}

TEST_F(LoginTest, KeepAlivesUnknownCommandsAndFieldsWithoutSeparatorGetNoAnswer)
{
    FakeConnection& vasya = login("Vasya");
    for (const char* message : {"TestConnection|", "TestConnection|7", "GetNick|Vasya", "getuser|x",
                                "Nonsense|1", "GetUser", "", "|||"}) {
        send(vasya, message);
    }
    EXPECT_TRUE(received(vasya).empty());
}

} // namespace
} // namespace kovrel::server::test
