#include "dispatcher.h"

#include "message.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kovrel {
namespace {

// Writes down every call as one readable line.
class RecordingEvents : public ChatEvents
{
public:
    std::vector<std::string> calls;
    TextStyleValues style;

    void onAddUser(std::string_view nick) override { record("AddUser", nick); }
    void onGetUser(std::string_view nick) override { record("GetUser", nick); }
    void onDelUser(std::string_view nick) override { record("DelUser", nick); }
    void onTopic(std::string_view topic) override { record("Topic", topic); }
    void onGetInfo(std::string_view card) override { record("GetInfo", card); }
    void onTextStyle(const TextStyleValues& values) override
    {
        style = values;
        record("TextStyle", values.fontName);
    }
    void onClearTextStyle() override { record("ClearTextStyle", ""); }
    void onPublicMessage(std::string_view sender, std::string_view text) override
    {
        record("AllUser", std::string(sender) + " / " + std::string(text));
    }
    void onPrivateMessage(std::string_view from, std::string_view to, std::string_view text) override
    {
        record("PrivatUser", std::string(from) + " / " + std::string(to) + " / " + std::string(text));
    }
    void onDisconnect() override { record("Disconnect", ""); }
    void onExistUser(std::string_view answer) override { record("ExistUser", answer); }
    void onGetNick() override { record("GetNick", ""); }
    void onStateUser(std::string_view nick, std::int32_t code) override
    {
        record("StateUser", std::string(nick) + " = " + std::to_string(code));
    }
    void onGetIPUser(std::string_view address) override { record("GetIPUser", address); }
    void onTestConnection(std::string_view message) override { record("TestConnection", message); }
    void onUnknown(std::string_view command, std::string_view rest) override
    {
        std::string values = "[";
        values.append(command).append("] ").append(rest);
        record("unknown", values);
    }

private:
    void record(const std::string& what, std::string_view values)
    {
        calls.push_back(what + ": " + std::string(values));
    }
};

std::vector<std::string> dispatch(std::initializer_list<std::string_view> fields)
{
    RecordingEvents events;
    for (std::string_view field : fields) {
        DispatchMessage(field, events);
    }
    return events.calls;
}

TEST(Dispatcher, CallsTheHandlerOfEachCommand)
{
    EXPECT_EQ(dispatch({"AddUser|Вася", "GetUser|Петя", "DelUser|Вася", "Topic|о погоде|и о прочем",
                        "AllUser|Петя|привет|всем", "PrivatUser|Петя|Вася|тс-с", "ExistUser|-1",
                        "GetIPUser|10.0.0.7", "StateUser|Петя|3", "GetNick|", "ClearTextStyle|",
                        "Disconnect|", "GetInfo|Петя|Пётр|Петров|rest"}),
              (std::vector<std::string>{
                  "AddUser: Вася", "GetUser: Петя", "DelUser: Вася", "Topic: о погоде|и о прочем",
                  "AllUser: Петя / привет|всем", "PrivatUser: Петя / Вася / тс-с", "ExistUser: -1",
                  "GetIPUser: 10.0.0.7", "StateUser: Петя = 3",
                  "GetNick: ", "ClearTextStyle: ", "Disconnect: ", "GetInfo: Петя|Пётр|Петров|rest"}));
}

TEST(Dispatcher, ReportsWhatItDoesNotKnow)
{
    EXPECT_EQ(dispatch({"SetInfo|Вася|N/A", "no separator", "adduser|Вася", "|x"}),
              (std::vector<std::string>{"unknown: [SetInfo] Вася|N/A", "unknown: [] no separator",
                                        "unknown: [adduser] Вася", "unknown: [] x"}));
}

TEST(Dispatcher, HandsTheWholeProbeBack)
{
    EXPECT_EQ(dispatch({"TestConnection|17"}),
              (std::vector<std::string>{"TestConnection: TestConnection|17"}));
}

TEST(Dispatcher, ReadsTextStylesOfBothKinds)
{
    const TextStyleValues expected{204, 255, -13, true, false, false, true, "Times New Roman"};
    EXPECT_EQ(ParseTextStyle("AllUser|204|255|-13|1|0|0|1|Times New Roman"), expected);
    EXPECT_EQ(ParseTextStyle("PrivatUser|Петя|Вася|204|255|-13|1|0|0|1|Times New Roman"), expected);
    // Only 1 switches a flag on: 2 does not.
    const TextStyleValues style = ParseTextStyle("AllUser|0|0|0|1|2|0|0|Arial|x");
    EXPECT_TRUE(style.bold);
    EXPECT_FALSE(style.italic);
    EXPECT_EQ(style.fontName, "Arial|x");
}

TEST(Dispatcher, RaisesConversionErrorsForNumbersThatAreNot)
{
    RecordingEvents events;
    EXPECT_THROW(DispatchMessage("StateUser|Петя|away", events), ConversionError);
    EXPECT_THROW(DispatchMessage("TextStyle|AllUser|x|0|0|0|0|0|0|Arial", events), ConversionError);
    EXPECT_THROW(DispatchMessage("TextStyle|AllUser", events), ConversionError)
        << "empty values are no numbers";
    EXPECT_TRUE(events.calls.empty());
}

} // namespace
} // namespace kovrel
