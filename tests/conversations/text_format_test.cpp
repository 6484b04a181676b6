// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_format.h"

#include "qt_printers.h"

#include <QApplication>
#include <QFontDatabase>

#include <gtest/gtest.h>

namespace kovrel {
namespace {

TEST(TextFormat, ColorNumbersAsPeersSendThem)
{
    const QPalette palette;
    EXPECT_EQ(ColorFromNumber(0x0000ff, palette), QColor(255, 0, 0)) << "0x00BBGGRR";
    EXPECT_EQ(NumberForColor(QColor(0x12, 0x34, 0x56)), 0x563412);
    EXPECT_EQ(ColorFromNumber(kWindowTextColor, palette), palette.color(QPalette::Text));
}

TEST(TextFormat, AnUnchangedSystemColorStaysASystemColor)
{
    const QPalette palette;
    TextStyle own;
    own.color = kWindowTextColor;
    const QFont font(QStringLiteral("DejaVu Sans"), 11);
    EXPECT_EQ(TextStyleFromChoice(font, palette.color(QPalette::Text), own, palette).color, kWindowTextColor);
    EXPECT_EQ(TextStyleFromChoice(font, QColor(0, 0, 255), own, palette).color, 0xff0000);
}

// A hand-edited attribute set may hold a size and a height that disagree: the size is what is shown.
TEST(TextFormat, AGivenSizeDecidesOverTheHeight)
{
    TextStyle style;
    style.height = -11;
    style.size = 20;
    EXPECT_EQ(FontFromTextStyle(style, QFont()).pointSize(), 20);
    style.size = 0;
    EXPECT_EQ(FontFromTextStyle(style, QFont()).pixelSize(), 11) << "a received style has only a height";
}

TEST(TextFormat, ThePlatformFontGoesOutUnderARealFaceName)
{
    QFont generic(QStringLiteral("Sans Serif"));
    generic.setPointSize(9);
    const TextStyle style = PlatformTextStyle(generic);
    EXPECT_TRUE(QFontDatabase::hasFamily(style.name)) << style.name.toStdString();
    EXPECT_NE(style.name, "Sans Serif");
    EXPECT_EQ(style.size, 9);
    EXPECT_LT(style.height, 0) << "a pixel height, as peers expect";
    EXPECT_EQ(style.color, kWindowTextColor);
}

} // namespace
} // namespace kovrel
