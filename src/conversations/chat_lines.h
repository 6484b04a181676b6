// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTime>

// The texts of the lines the client writes into its conversations, and the tests made on them.
namespace kovrel::lines {

// Trims every character of code 32 or below (blanks, tabs, line breaks) from both ends.
QString TrimControls(const QString& text);

// "(" + the time in the locale's long format without zone + ") " while time stamps are on, else empty;
// reads the option at every call.
QString TimePrefix();
QString TimePrefix(bool showTime, const QTime& now);

QString ChatMessage(const QString& prefix, const QString& sender, const QString& text);
QString Arrival(const QString& prefix, const QString& nick);
QString Departure(const QString& prefix, const QString& nick);
QString UnknownCommand(const QString& prefix, const QString& command, const QString& rest);
QString ErrorReport(const QString& prefix, const QString& message, const QString& className);

// Written without time prefix.
QString AddressAnswer(const QString& nick, const QString& address);
QString NoAddressAnswer(const QString& nick);

// Whether a line written into a conversation is an important message that deserves a pop-up: the text
// after the time prefix and the speaker starts with "!" and the speaker is somebody else.
bool IsImportantLine(const QString& line, bool showTime, const QString& ownNick);

// The window caption for a topic: the topic, " - " and the base caption; a blank topic leaves the base.
QString TopicCaption(const QString& topic, const QString& baseCaption);
// The topic shown in a caption that TopicCaption() built; empty when none is shown.
QString TopicOfCaption(const QString& caption, const QString& baseCaption);

} // namespace kovrel::lines
