// SPDX-License-Identifier: GPL-3.0-or-later
#include "font_config_dlg.h"

#include <functional>
#include <utility>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QColorDialog>
#include <QFontInfo>
#include <QLineEdit>
#include <QTest>

#include "font_chooser_dialog.h"
#include "modal_answerer.h"
#include "qt_printers.h"
#include "settings_layout.h"
#include "settings_sandbox.h"

namespace kovrel {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::control;

constexpr int kButtonFaceColor = static_cast<int>(0x8000000fu);

QString setKey(int row)
{
    return u"Software\\Kovrel\\Client\\Font\\"_s + kFontSets[row].toString();
}

void click(const QWidget& dialog, const QString& name)
{
    QTest::mouseClick(&control<QAbstractButton>(dialog, name), Qt::LeftButton);
}

void confirm(TFontConfigDlg& dialog)
{
    click(dialog, u"SpeedButton5"_s);
}

void cancel(TFontConfigDlg& dialog)
{
    click(dialog, u"SpeedButton6"_s);
}

class FontConfigDlgTest : public ::testing::Test
{
protected:
    // Opens the dialog, lets `answer` act in it (it must close it) and returns what the dialog returned.
    bool execute(const std::function<void(TFontConfigDlg&)>& answer)
    {
        m_answerer.answerNext<TFontConfigDlg>(answer);
        return m_dialog.ExecuteFontDialog();
    }
    // Answers the next font or colour chooser the dialog opens.
    template <typename Chooser> void answerChooser(std::function<void(Chooser&)> answer)
    {
        m_chooserAnswerer.answerNext<Chooser>(std::move(answer));
    }
    QLineEdit& preview(int row) { return control<QLineEdit>(m_dialog, u"Edit"_s + QString::number(row + 1)); }
    QString stored(int row, const QString& name) { return storedIn(setKey(row), name); }
    QString storedStyle(int row, const QString& name) { return storedIn(setKey(row) + u"\\Style"_s, name); }

    test::SettingsSandbox m_settings;
    TFontConfigDlg m_dialog;
    test::ModalAnswerer m_answerer;
    test::ModalAnswerer m_chooserAnswerer;

private:
    QString storedIn(const QString& key, const QString& name)
    {
        const SettingsValue* value = m_settings.storedValue(key, name);
        return value ? value->data : u"(none)"_s;
    }
};

TEST_F(FontConfigDlgTest, RowsAreNamedAfterTheirSets)
{
    EXPECT_EQ(m_dialog.windowTitle(), u"Конфигурация шрифтов"_s);
    EXPECT_EQ(m_dialog.setName(FontRow::Common), kFontSets[0]);
    EXPECT_EQ(m_dialog.setName(FontRow::Private), kFontSets[1]);
    EXPECT_EQ(m_dialog.setName(FontRow::Users), kFontSets[2]);
    EXPECT_EQ(m_dialog.setName(FontRow::MsgInput), kFontSets[3]);
}

// At first start the previews show system colours, which are stored as such.
TEST_F(FontConfigDlgTest, OkStoresAllFourSetsUnchanged)
{
    EXPECT_TRUE(execute(confirm));

    for (int row = 0; row < TFontConfigDlg::kRows; ++row) {
        SCOPED_TRACE(kFontSets[row].toString().toStdString());
        EXPECT_EQ(stored(row, u"Name"_s), QFontInfo(preview(row).font()).family());
        EXPECT_EQ(stored(row, u"Charset"_s), u"1"_s);
        EXPECT_EQ(stored(row, u"Color"_s), QString::number(kWindowTextColor));
        EXPECT_EQ(stored(row, u"Background Color"_s), QString::number(kWindowColor));
        EXPECT_EQ(stored(row, u"Size"_s), QString::number(QFontInfo(preview(row).font()).pointSize()));
        EXPECT_NE(stored(row, u"Height"_s), u"(none)"_s);
        for (const QString& flag : {u"Bold"_s, u"Italic"_s, u"Underline"_s, u"Strikeout"_s})
            EXPECT_EQ(storedStyle(row, flag), u"0"_s) << flag.toStdString();
    }
}

TEST_F(FontConfigDlgTest, CancelStoresNothing)
{
    const bool confirmed = execute([this](TFontConfigDlg& dialog) {
        answerChooser<QColorDialog>([](QColorDialog& colors) {
            colors.setCurrentColor(Qt::darkBlue);
            colors.accept();
        });
        click(dialog, u"SpeedButton7"_s);
        cancel(dialog);
    });

    EXPECT_FALSE(confirmed);
    EXPECT_FALSE(m_settings.settingsFileExists());
}

// A value the dialog does not change is stored as it was read: a system colour as its number, which the
// preview alone could not tell from a plain colour, and the character set, which a font does not keep.
TEST_F(FontConfigDlgTest, UnchangedSystemColorAndCharsetAreStoredAsRead)
{
    WriteFontNumber(kFontSets[2], FontNumber::BackgroundColor, kButtonFaceColor);
    WriteFontNumber(kFontSets[2], FontNumber::Charset, 204);

    EXPECT_TRUE(execute(confirm));

    EXPECT_EQ(stored(2, u"Background Color"_s), QString::number(kButtonFaceColor));
    EXPECT_EQ(stored(2, u"Charset"_s), u"204"_s);
}

TEST_F(FontConfigDlgTest, FontChooserStartsFromThePreviewAndItsChoiceIsStored)
{
    QFont offered;
    EXPECT_TRUE(execute([this, &offered](TFontConfigDlg& dialog) {
        answerChooser<FontChooserDialog>([&offered](FontChooserDialog& chooser) {
            offered = chooser.chosenFont();
            click(chooser, u"underlineBox"_s);
            click(chooser, u"okButton"_s);
        });
        click(dialog, u"SpeedButton2"_s);
        confirm(dialog);
    }));

    EXPECT_EQ(QFontInfo(offered).family(), QFontInfo(m_dialog.font()).family());
    EXPECT_TRUE(preview(1).font().underline());
    EXPECT_EQ(storedStyle(1, u"Underline"_s), u"1"_s);
    EXPECT_EQ(storedStyle(0, u"Underline"_s), u"0"_s);
}

TEST_F(FontConfigDlgTest, ApplyChangesOnlyTheRowWhoseButtonOpenedTheChooser)
{
    bool chooserStayedOpen = false;
    QList<bool> struckOut;
    execute([&, this](TFontConfigDlg& dialog) {
        answerChooser<FontChooserDialog>(
            [](FontChooserDialog& chooser) { click(chooser, u"cancelButton"_s); });
        click(dialog, u"SpeedButton1"_s);
        answerChooser<FontChooserDialog>([&, this](FontChooserDialog& chooser) {
            click(chooser, u"strikeOutBox"_s);
            click(chooser, u"applyButton"_s);
            chooserStayedOpen = chooser.isVisible();
            for (int row = 0; row < TFontConfigDlg::kRows; ++row)
                struckOut.append(preview(row).font().strikeOut());
            click(chooser, u"cancelButton"_s);
        });
        click(dialog, u"SpeedButton3"_s);
        cancel(dialog);
    });

    EXPECT_TRUE(chooserStayedOpen);
    EXPECT_EQ(struckOut, QList<bool>({false, false, true, false}));
}

TEST_F(FontConfigDlgTest, BackgroundChooserStartsFromThePreviewAndItsChoiceIsStored)
{
    WriteFontNumber(kFontSets[3], FontNumber::BackgroundColor, 0x0000ff);
    QColor offered;
    EXPECT_TRUE(execute([this, &offered](TFontConfigDlg& dialog) {
        answerChooser<QColorDialog>([&offered](QColorDialog& colors) {
            offered = colors.currentColor();
            colors.setCurrentColor(QColor(0, 0, 128));
            colors.accept();
        });
        click(dialog, u"SpeedButton10"_s);
        confirm(dialog);
    }));

    EXPECT_EQ(offered, QColor(255, 0, 0));
    EXPECT_EQ(preview(3).palette().color(QPalette::Base), QColor(0, 0, 128));
    EXPECT_EQ(stored(3, u"Background Color"_s), QString::number(0x800000));
}

// Between openings the store may change: another copy of the program, or a hand edit.
TEST_F(FontConfigDlgTest, PreviewsReloadFromTheStoreAtEachOpening)
{
    AttributeSet input;
    input.font.name = u"DejaVu Serif"_s;
    input.font.color = 0x0000ff;
    input.font.size = 15;
    input.font.italic = true;
    input.background = 0x00ffff;
    SaveAttributeSet(kFontSets[3], input);
    execute(cancel);

    EXPECT_EQ(QFontInfo(preview(3).font()).family(), u"DejaVu Serif"_s);
    EXPECT_EQ(preview(3).font().pointSize(), 15);
    EXPECT_TRUE(preview(3).font().italic());
    EXPECT_EQ(preview(3).palette().color(QPalette::Text), QColor(255, 0, 0));
    EXPECT_EQ(preview(3).palette().color(QPalette::Base), QColor(255, 255, 0));

    input.font.size = 9;
    input.font.italic = false;
    SaveAttributeSet(kFontSets[3], input);
    execute(cancel);

    EXPECT_EQ(preview(3).font().pointSize(), 9);
    EXPECT_FALSE(preview(3).font().italic());
}

TEST_F(FontConfigDlgTest, AHandEditedSetWhoseSizeAndHeightDisagreeShowsItsSize)
{
    m_settings.setSettingsFileContent("Windows Registry Editor Version 5.00\n\n"
                                      "[HKEY_CURRENT_USER\\Software\\Kovrel\\Client\\Font\\Общий]\n"
                                      "\"Height\"=\"-11\"\n"
                                      "\"Size\"=\"20\"\n");
    execute(cancel);

    EXPECT_EQ(preview(0).font().pointSize(), 20);
    EXPECT_TRUE(m_settings.problems().isEmpty()) << m_settings.problems().join(u'\n').toStdString();
}

} // namespace
} // namespace kovrel
