#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kovrel {

// The values of a received "TextStyle": the text style that the following lines are written in.
struct TextStyleValues
{
    std::int32_t charset = 0;
    std::int32_t color = 0;
    std::int32_t height = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    std::string fontName;

    friend bool operator==(const TextStyleValues&, const TextStyleValues&) = default;
};

// Parses the values after "TextStyle|". A kind of "PrivatUser" is followed by sender and addressee, which
// are skipped. Only the number 1 switches a style flag on. Throws ConversionError for a number that does not
// convert.
TextStyleValues ParseTextStyle(std::string_view values);

// What the client does with each received message. Values are wire text (cp1251).
class ChatEvents
{
public:
    virtual ~ChatEvents() = default;

    virtual void onAddUser(std::string_view nick) = 0;
    virtual void onGetUser(std::string_view nick) = 0;
    virtual void onDelUser(std::string_view nick) = 0;
    virtual void onTopic(std::string_view topic) = 0;
    // The nick and the eleven card fields, still joined by "|".
    virtual void onGetInfo(std::string_view card) = 0;
    virtual void onTextStyle(const TextStyleValues& style) = 0;
    virtual void onClearTextStyle() = 0;
    virtual void onPublicMessage(std::string_view sender, std::string_view text) = 0;
    virtual void onPrivateMessage(std::string_view from, std::string_view to, std::string_view text) = 0;
    virtual void onDisconnect() = 0;
    virtual void onExistUser(std::string_view answer) = 0;
    virtual void onGetNick() = 0;
    virtual void onStateUser(std::string_view nick, std::int32_t code) = 0;
    virtual void onGetIPUser(std::string_view address) = 0;
    // The whole message, to be sent back unchanged.
    virtual void onTestConnection(std::string_view message) = 0;
    virtual void onUnknown(std::string_view command, std::string_view rest) = 0;
};

// Splits one received field into command and values and calls the matching handler. Command names are
// compared byte for byte. Throws ConversionError when a value that must be a number is not.
void DispatchMessage(std::string_view field, ChatEvents& events);

} // namespace kovrel
