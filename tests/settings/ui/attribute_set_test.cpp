// SPDX-License-Identifier: GPL-3.0-or-later
#include "attribute_set.h"

#include <ostream>

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QTextEdit>

#include "qt_printers.h"
#include "settings_sandbox.h"

namespace kovrel {

void PrintTo(const AttributeSet& set, std::ostream* out)
{
    const TextStyle& font = set.font;
    *out << '{' << font.name.toStdString() << " charset " << font.charset << " colour " << font.color
         << " height " << font.height << " size " << font.size << (font.bold ? " bold" : "")
         << (font.italic ? " italic" : "") << (font.underline ? " underline" : "")
         << (font.strikeout ? " strikeout" : "") << " background " << set.background << '}';
}

namespace {

using namespace Qt::Literals::StringLiterals;

constexpr int kRed = 0x0000ff;
constexpr int kYellow = 0x00ffff;
constexpr int kButtonFaceColor = static_cast<int>(0x8000000fu);

AttributeSet serifSet()
{
    AttributeSet set;
    set.font = {.name = u"DejaVu Serif"_s,
                .charset = 204,
                .color = kRed,
                .height = -20,
                .size = 15,
                .bold = true,
                .strikeout = true};
    set.background = kYellow;
    return set;
}

class AttributeSetTest : public ::testing::Test
{
protected:
    test::SettingsSandbox m_settings;
};

TEST_F(AttributeSetTest, AStoredSetLoadsBackWhole)
{
    SaveAttributeSet(u"Приват", serifSet());
    AttributeSet other;
    other.font = {.name = u"Other"_s,
                  .charset = 0,
                  .color = 1,
                  .height = 2,
                  .size = 3,
                  .bold = false,
                  .italic = true,
                  .underline = false,
                  .strikeout = false};
    other.background = 4;

    EXPECT_EQ(LoadAttributeSet(u"Приват", other), serifSet());
    EXPECT_TRUE(m_settings.problems().isEmpty()) << m_settings.problems().join(u'\n').toStdString();
}

TEST_F(AttributeSetTest, ASetNeverStoredKeepsTheCurrentValuesButNotTheStyle)
{
    AttributeSet expected = serifSet();
    expected.font.bold = false;
    expected.font.strikeout = false;
    EXPECT_EQ(LoadAttributeSet(u"Юзеры", serifSet()), expected);
}

TEST_F(AttributeSetTest, ApplyingASetToATextEditChangesItsFontTextColorAndPage)
{
    QTextEdit edit;
    ApplyAttributeSet(&edit, serifSet());

    const QFontInfo shown(edit.font());
    EXPECT_EQ(shown.family(), u"DejaVu Serif"_s);
    EXPECT_EQ(shown.pointSize(), 15);
    EXPECT_TRUE(shown.bold());
    EXPECT_TRUE(edit.font().strikeOut());
    EXPECT_EQ(edit.document()->defaultFont(), edit.font());
    EXPECT_EQ(edit.palette().color(QPalette::Text), QColor(255, 0, 0));
    EXPECT_EQ(edit.viewport()->palette().color(QPalette::Base), QColor(255, 255, 0));

    const AttributeSet read = AttributeSetOf(&edit);
    EXPECT_EQ(read.font.color, kRed);
    EXPECT_EQ(read.background, kYellow);
    EXPECT_EQ(read.font.size, 15);
}

// A system colour is the desktop's, not what an earlier set gave the control.
TEST_F(AttributeSetTest, SystemColorsComeFromTheDesktopAndReadBackAsSystemColors)
{
    QTextEdit edit;
    ApplyAttributeSet(&edit, serifSet());
    AttributeSet system = serifSet();
    system.font.color = kWindowTextColor;
    system.background = kButtonFaceColor;
    ApplyAttributeSet(&edit, system);

    const QPalette desktop = QApplication::palette(&edit);
    EXPECT_EQ(edit.palette().color(QPalette::Text), desktop.color(QPalette::Text));
    EXPECT_EQ(edit.viewport()->palette().color(QPalette::Base), desktop.color(QPalette::Button));
    EXPECT_EQ(AttributeSetOf(&edit).font.color, kWindowTextColor);
    const QTextEdit fresh;
    EXPECT_EQ(AttributeSetOf(&fresh).background, kWindowColor);
}

} // namespace
} // namespace kovrel
