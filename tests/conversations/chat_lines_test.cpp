// SPDX-License-Identifier: GPL-3.0-or-later
#include "chat_lines.h"

#include <gtest/gtest.h>

namespace kovrel::lines {
namespace {

TEST(ChatLines, BuildsTheCatalogueTexts)
{
    EXPECT_EQ(Arrival("(12:00:00) ", "Вася"), "(12:00:00) К нам пришёл (пришла) Вася...");
    EXPECT_EQ(Departure("", "Вася"), "От нас ушёл (ушла) Вася...");
    EXPECT_EQ(UnknownCommand("", "SetInfo", "a|b"),
              "Неизвестный пакет... Комманда: SetInfo, Сообщение: a|b...");
    EXPECT_EQ(ErrorReport("", "'x' is not a valid integer value", "TClientSocket"),
              "Ошибка: 'x' is not a valid integer value,Класс: TClientSocket");
    EXPECT_EQ(AddressAnswer("Петя", "127.0.0.1"), "Петя's IP is 127.0.0.1");
    EXPECT_EQ(ChatMessage("", "Петя", "привет"), "Петя: привет");
}

TEST(ChatLines, TimePrefixOnlyWhileTimeIsShown)
{
    EXPECT_EQ(TimePrefix(false, QTime(9, 5, 7)), "");
    const QString prefix = TimePrefix(true, QTime(9, 5, 7));
    EXPECT_TRUE(prefix.startsWith('(') && prefix.endsWith(") ")) << prefix.toStdString();
    EXPECT_TRUE(prefix.contains("05") && prefix.contains("07"))
        << "seconds are shown: " << prefix.toStdString();
}

TEST(ChatLines, ImportantLinesComeFromSomebodyElseAndStartWithABang)
{
    EXPECT_TRUE(IsImportantLine("Петя: !обед", false, "Вася"));
    EXPECT_FALSE(IsImportantLine("Вася: !обед", false, "Вася")) << "the own line opens nothing";
    EXPECT_FALSE(IsImportantLine("Петя: обед!", false, "Вася"));
    EXPECT_TRUE(IsImportantLine("(12:00:00) Петя: !обед", true, "Вася"));
    // With time stamps the time goes first: a colon inside the time is not the speaker's.
    EXPECT_FALSE(IsImportantLine("(12:00:00) Вася: !обед", true, "Вася"));
    // Without a colon the speaker is empty and only the first character goes.
    EXPECT_TRUE(IsImportantLine("x!system", false, "Вася"));
    EXPECT_FALSE(IsImportantLine("К нам пришёл (пришла) Петя...", false, "Вася"));
}

TEST(ChatLines, TopicCaption)
{
    const QString base = "Kovrel v 1.84";
    EXPECT_EQ(TopicCaption("  о погоде ", base), "  о погоде  - Kovrel v 1.84");
    EXPECT_EQ(TopicCaption(" \t ", base), base);
    EXPECT_EQ(TopicOfCaption("о погоде - Kovrel v 1.84", base), "о погоде");
    EXPECT_EQ(TopicOfCaption(base, base), "");
}

TEST(ChatLines, TrimControlsTakesEverythingUpToBlank)
{
    EXPECT_EQ(TrimControls(" \t\r\n a b \n"), "a b");
    EXPECT_EQ(TrimControls("\x01\x1f"), "");
}

} // namespace
} // namespace kovrel::lines
