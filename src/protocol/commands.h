// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

// The command names of the chat protocol. A message is a command name, "|", and its values joined by
// "|"; names are compared byte for byte.
namespace kovrel::command {

inline constexpr std::string_view AddUser = "AddUser";
inline constexpr std::string_view DelUser = "DelUser";
inline constexpr std::string_view AllUser = "AllUser";
inline constexpr std::string_view GetUser = "GetUser";
inline constexpr std::string_view GetNick = "GetNick";
inline constexpr std::string_view Disconnect = "Disconnect";
inline constexpr std::string_view PrivatUser = "PrivatUser";
inline constexpr std::string_view ExistUser = "ExistUser";
inline constexpr std::string_view StateUser = "StateUser";
inline constexpr std::string_view GetIPUser = "GetIPUser";
inline constexpr std::string_view TextStyle = "TextStyle";
inline constexpr std::string_view ClearTextStyle = "ClearTextStyle";
inline constexpr std::string_view TestConnection = "TestConnection";
inline constexpr std::string_view Topic = "Topic";
inline constexpr std::string_view SetInfo = "SetInfo";
inline constexpr std::string_view GetInfo = "GetInfo";
// "Auth|NICK|PASSWORD" before "AddUser", over TLS only: the password is everything after the nick, "|"
// included. Answered "Auth|1" (the connection may take the reserved nick) or "Auth|0", in order with the
// answers to the messages around it. A server from before accounts ignores it and answers nothing.
inline constexpr std::string_view Auth = "Auth";

// Number of fields of a personal card, after the nick.
inline constexpr int kCardFieldCount = 11;

} // namespace kovrel::command
