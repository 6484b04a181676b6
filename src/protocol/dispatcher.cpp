#include "dispatcher.h"

#include "commands.h"
#include "message.h"
#include "packet.h"

namespace kovrel {
namespace {

bool flagValue(std::string_view text)
{
    return ParseInteger(text) == 1;
}

void dispatchTextStyle(std::string_view rest, ChatEvents& events)
{
    events.onTextStyle(ParseTextStyle(rest));
}

void dispatchPublicMessage(std::string_view rest, ChatEvents& events)
{
    MessageValues values(rest);
    const std::string_view sender = values.next();
    events.onPublicMessage(sender, values.rest());
}

void dispatchPrivateMessage(std::string_view rest, ChatEvents& events)
{
    MessageValues values(rest);
    const std::string_view from = values.next();
    const std::string_view to = values.next();
    events.onPrivateMessage(from, to, values.rest());
}

void dispatchStateUser(std::string_view rest, ChatEvents& events)
{
    MessageValues values(rest);
    const std::string_view nick = values.next();
    events.onStateUser(nick, ParseInteger(values.rest()));
}

} // namespace

TextStyleValues ParseTextStyle(std::string_view text)
{
    MessageValues values(text);
    if (values.next() == command::PrivatUser) {
        values.next();
        values.next();
    }
    TextStyleValues style;
    style.charset = ParseInteger(values.next());
    style.color = ParseInteger(values.next());
    style.height = ParseInteger(values.next());
    style.bold = flagValue(values.next());
    style.italic = flagValue(values.next());
    style.underline = flagValue(values.next());
    style.strikeout = flagValue(values.next());
    style.fontName = values.rest();
    return style;
}

void DispatchMessage(std::string_view field, ChatEvents& events)
{
    const auto [name, rest] = SplitFirst(field);
    if (name == command::AddUser) {
        events.onAddUser(rest);
    } else if (name == command::GetUser) {
        events.onGetUser(rest);
    } else if (name == command::DelUser) {
        events.onDelUser(rest);
    } else if (name == command::Topic) {
        events.onTopic(rest);
    } else if (name == command::GetInfo) {
        events.onGetInfo(rest);
    } else if (name == command::TextStyle) {
        dispatchTextStyle(rest, events);
    } else if (name == command::ClearTextStyle) {
        events.onClearTextStyle();
    } else if (name == command::AllUser) {
        dispatchPublicMessage(rest, events);
    } else if (name == command::PrivatUser) {
        dispatchPrivateMessage(rest, events);
    } else if (name == command::Disconnect) {
        events.onDisconnect();
    } else if (name == command::ExistUser) {
        events.onExistUser(rest);
    } else if (name == command::GetNick) {
        events.onGetNick();
    } else if (name == command::StateUser) {
        dispatchStateUser(rest, events);
    } else if (name == command::GetIPUser) {
        events.onGetIPUser(rest);
    } else if (name == command::TestConnection) {
        events.onTestConnection(field);
    } else {
        events.onUnknown(name, rest);
    }
}

} // namespace kovrel
