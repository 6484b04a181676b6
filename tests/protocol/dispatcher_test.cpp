// SPDX-License-Identifier: GPL-3.0-or-later
#include "dispatcher.h"

#include "message.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kovrel {
namespace {

// Writes down every call as one readable line.
class Recorder
{
public:
    static const CommandRoute<Recorder> kRoutes[];
    std::vector<std::string> calls;

    void onAddUser(std::string_view nick) { record("AddUser", nick); }
    void onAllUser(std::string_view values) { record("AllUser", values); }
    void onUnknown(std::string_view command, std::string_view values)
    {
        record("unknown", "[" + std::string(command) + "] " + std::string(values));
    }

private:
    void record(const std::string& what, std::string_view values)
    {
        calls.push_back(what + ": " + std::string(values));
    }
};

const CommandRoute<Recorder> Recorder::kRoutes[] = {
    {"AddUser", &Recorder::onAddUser},
    {"AllUser", &Recorder::onAllUser},
};

std::vector<std::string> dispatch(std::initializer_list<std::string_view> fields)
{
    Recorder recorder;
    for (std::string_view field : fields) {
        DispatchMessage<Recorder>(field, Recorder::kRoutes, recorder, &Recorder::onUnknown);
    }
    return recorder.calls;
}

TEST(Dispatcher, CallsTheRouteOfEachCommandWithItsValues)
{
    EXPECT_EQ(dispatch({"AddUser|Вася", "AllUser|Петя|привет|всем", "AllUser|", "AddUser|Вася|"}),
              (std::vector<std::string>{"AddUser: Вася", "AllUser: Петя|привет|всем",
                                        "AllUser: ", "AddUser: Вася|"}));
}

TEST(Dispatcher, ReportsWhatItDoesNotKnow)
{
    EXPECT_EQ(dispatch({"SetInfo|Вася|N/A", "no separator", "adduser|Вася", "|x", "AddUser"}),
              (std::vector<std::string>{"unknown: [SetInfo] Вася|N/A", "unknown: [] no separator",
                                        "unknown: [adduser] Вася", "unknown: [] x", "unknown: [] AddUser"}))
        << "names are compared byte for byte, and a field without a separator names no command";
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

TEST(Dispatcher, RaisesConversionErrorsForStyleNumbersThatAreNot)
{
    EXPECT_THROW(ParseTextStyle("AllUser|x|0|0|0|0|0|0|Arial"), ConversionError);
    EXPECT_THROW(ParseTextStyle("AllUser"), ConversionError) << "empty values are no numbers";
}

} // namespace
} // namespace kovrel
