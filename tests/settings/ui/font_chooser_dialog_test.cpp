// SPDX-License-Identifier: GPL-3.0-or-later
#include "font_chooser_dialog.h"

#include <algorithm>
#include <optional>

#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QColorDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include "modal_answerer.h"

namespace {

using kovrel::FontChooserDialog;
using kovrel::test::control;
using kovrel::test::ModalAnswerer;
using namespace Qt::Literals::StringLiterals;

// Two installed faces that both have a bold and a bold slanted style, for moving a choice between them.
QStringList facesWithBoldSlant()
{
    QStringList faces;
    for (const QString& family : QFontDatabase::families()) {
        const QStringList styles = QFontDatabase::styles(family);
        const bool boldSlant = std::any_of(styles.begin(), styles.end(), [&family](const QString& style) {
            const QFont face = QFontDatabase::font(family, style, 12);
            return face.weight() == QFont::Bold && face.style() != QFont::StyleNormal;
        });
        if (boldSlant && styles.contains(u"Bold"_s))
            faces.append(family);
    }
    return faces;
}

QString faceWithoutBold()
{
    const QStringList families = QFontDatabase::families();
    const auto found = std::find_if(families.begin(), families.end(), [](const QString& family) {
        const QStringList styles = QFontDatabase::styles(family);
        return std::none_of(styles.begin(), styles.end(), [&family](const QString& style) {
            return QFontDatabase::weight(family, style) >= QFont::Bold;
        });
    });
    return found == families.end() ? QString() : *found;
}

QColor sampleColor(const QWidget& dialog)
{
    const auto& sample = control<QLabel>(dialog, u"sample"_s);
    return sample.palette().color(sample.foregroundRole());
}

class FontChooserDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_faces = facesWithBoldSlant();
        if (m_faces.size() < 2)
            GTEST_SKIP() << "needs two installed faces with bold and bold slanted styles";
        m_dialog.show();
    }

    template <typename Control> Control& find(const QString& name)
    {
        return control<Control>(m_dialog, name);
    }
    void click(const QString& name) { QTest::mouseClick(&find<QAbstractButton>(name), Qt::LeftButton); }
    void clickRow(const QString& listName, const QString& text)
    {
        auto& list = find<QListWidget>(listName);
        const QList<QListWidgetItem*> items = list.findItems(text, Qt::MatchExactly);
        ASSERT_FALSE(items.isEmpty()) << text.toStdString();
        list.scrollToItem(items.first());
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(items.first()).center());
    }
    QString currentRow(const QString& listName)
    {
        const QListWidgetItem* item = find<QListWidget>(listName).currentItem();
        return item ? item->text() : QString();
    }

    QStringList m_faces;
    FontChooserDialog m_dialog;
    ModalAnswerer m_answerer;
};

TEST_F(FontChooserDialogTest, ShowsThePresetFontAndColor)
{
    QFont preset(m_faces[0], 14, QFont::Bold);
    preset.setUnderline(true);
    m_dialog.setChosenFont(preset);
    m_dialog.setChosenColor(Qt::darkRed);

    EXPECT_EQ(currentRow(u"familyList"_s), m_faces[0]);
    EXPECT_EQ(currentRow(u"styleList"_s), u"Bold"_s);
    EXPECT_EQ(find<QSpinBox>(u"sizeSpin"_s).value(), 14);
    EXPECT_EQ(currentRow(u"sizeList"_s), u"14"_s);
    EXPECT_TRUE(find<QCheckBox>(u"underlineBox"_s).isChecked());
    EXPECT_FALSE(find<QCheckBox>(u"strikeOutBox"_s).isChecked());
    EXPECT_EQ(find<QToolButton>(u"colorButton"_s).accessibleDescription(), QColor(Qt::darkRed).name());

    const QFont chosen = m_dialog.chosenFont();
    EXPECT_EQ(chosen.family(), m_faces[0]);
    EXPECT_EQ(chosen.pointSize(), 14);
    EXPECT_TRUE(chosen.bold());
    EXPECT_FALSE(chosen.italic());
    EXPECT_TRUE(chosen.underline());
    EXPECT_EQ(m_dialog.chosenColor(), QColor(Qt::darkRed));
    EXPECT_EQ(find<QLabel>(u"sample"_s).font(), chosen);
    EXPECT_EQ(sampleColor(m_dialog), QColor(Qt::darkRed));
}

// A family that is not installed, or one given by pixel size, shows as Qt draws it.
TEST_F(FontChooserDialogTest, ShowsAFontTheListsDoNotHoldAsDrawn)
{
    QFont missing(u"No Such Face Installed"_s);
    missing.setPixelSize(20);
    m_dialog.setChosenFont(missing);

    EXPECT_EQ(currentRow(u"familyList"_s), QFontInfo(missing).family());
    EXPECT_FALSE(currentRow(u"styleList"_s).isEmpty());
    EXPECT_EQ(m_dialog.chosenFont().pointSize(), QFontInfo(missing).pointSize());
}

TEST_F(FontChooserDialogTest, ListsChooseFaceStyleAndSize)
{
    m_dialog.setChosenFont(QFont(m_faces[0], 10));

    clickRow(u"familyList"_s, m_faces[1]);
    clickRow(u"styleList"_s, u"Bold"_s);
    clickRow(u"sizeList"_s, u"24"_s);

    const QFont chosen = m_dialog.chosenFont();
    EXPECT_EQ(chosen.family(), m_faces[1]);
    EXPECT_TRUE(chosen.bold());
    EXPECT_EQ(chosen.pointSize(), 24);
    EXPECT_EQ(find<QSpinBox>(u"sizeSpin"_s).value(), 24);
    EXPECT_EQ(find<QLabel>(u"sample"_s).font(), chosen);
}

// Also after passing a face that lacks them: browsing the faces must not lose the chosen style.
TEST_F(FontChooserDialogTest, AnotherFaceKeepsWeightAndSlant)
{
    const QString withoutBold = faceWithoutBold();
    if (withoutBold.isEmpty())
        GTEST_SKIP() << "needs an installed face without a bold style";
    m_dialog.setChosenFont(QFont(m_faces[0], 12, QFont::Bold, true));

    clickRow(u"familyList"_s, withoutBold);
    EXPECT_FALSE(m_dialog.chosenFont().bold());
    clickRow(u"familyList"_s, m_faces[1]);

    EXPECT_EQ(m_dialog.chosenFont().family(), m_faces[1]);
    EXPECT_TRUE(m_dialog.chosenFont().bold());
    EXPECT_TRUE(m_dialog.chosenFont().italic());
    EXPECT_EQ(m_dialog.chosenFont().pointSize(), 12);
}

TEST_F(FontChooserDialogTest, EffectBoxesSetUnderlineAndStrikeOut)
{
    m_dialog.setChosenFont(QFont(m_faces[0], 12));

    click(u"underlineBox"_s);
    click(u"strikeOutBox"_s);
    EXPECT_TRUE(m_dialog.chosenFont().underline());
    EXPECT_TRUE(m_dialog.chosenFont().strikeOut());
    EXPECT_TRUE(find<QLabel>(u"sample"_s).font().strikeOut());

    click(u"underlineBox"_s);
    EXPECT_FALSE(m_dialog.chosenFont().underline());
    EXPECT_TRUE(m_dialog.chosenFont().strikeOut());
}

TEST_F(FontChooserDialogTest, ColorButtonChoosesTheColorThroughAColorDialog)
{
    m_dialog.setChosenColor(Qt::black);
    QColor offered;
    m_answerer.answerNext<QColorDialog>([&offered](QColorDialog& colors) {
        offered = colors.currentColor();
        colors.setCurrentColor(Qt::darkGreen);
        colors.accept();
    });
    click(u"colorButton"_s);

    EXPECT_EQ(offered, QColor(Qt::black));
    EXPECT_EQ(m_dialog.chosenColor(), QColor(Qt::darkGreen));
    EXPECT_EQ(sampleColor(m_dialog), QColor(Qt::darkGreen));

    m_answerer.answerNext<QColorDialog>([](QColorDialog& colors) {
        colors.setCurrentColor(Qt::yellow);
        colors.reject();
    });
    click(u"colorButton"_s);
    EXPECT_EQ(m_dialog.chosenColor(), QColor(Qt::darkGreen));
}

TEST_F(FontChooserDialogTest, ApplyIsHiddenUntilAskedForAndHandsTheChoiceOverWithoutClosing)
{
    EXPECT_FALSE(find<QPushButton>(u"applyButton"_s).isVisible());
    EXPECT_TRUE(find<QPushButton>(u"okButton"_s).isVisible());
    EXPECT_TRUE(find<QPushButton>(u"cancelButton"_s).isVisible());

    m_dialog.setApplyButtonVisible(true);
    m_dialog.setChosenColor(Qt::blue);
    click(u"underlineBox"_s);
    std::optional<FontChooserDialog::Choice> applied;
    QObject::connect(&m_dialog, &FontChooserDialog::applied, [this, &applied] {
        applied = {m_dialog.chosenFont(), m_dialog.chosenColor()};
    });
    click(u"applyButton"_s);

    ASSERT_TRUE(applied);
    EXPECT_TRUE(applied->font.underline());
    EXPECT_EQ(applied->color, QColor(Qt::blue));
    EXPECT_TRUE(m_dialog.isVisible());
    EXPECT_EQ(find<QPushButton>(u"applyButton"_s).text().remove(u'&'), u"Применить"_s);
}

TEST_F(FontChooserDialogTest, EveryControlHasAnObjectNameAndAnAccessibleName)
{
    m_dialog.setApplyButtonVisible(true);
    for (QWidget* widget : m_dialog.findChildren<QWidget*>()) {
        // A widget handing its focus to another (a spin box's line edit) is part of that control.
        if (widget->focusPolicy() == Qt::NoFocus || widget->focusProxy() || !widget->isVisible())
            continue;
        const std::string kind = widget->metaObject()->className();
        EXPECT_FALSE(widget->objectName().isEmpty()) << kind;
        const QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(accessible, nullptr) << kind;
        EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty()) << widget->objectName().toStdString();
    }
}

TEST_F(FontChooserDialogTest, GetChoiceReturnsTheChoiceOnOk)
{
    m_answerer.answerNext<FontChooserDialog>([](FontChooserDialog& chooser) {
        EXPECT_EQ(chooser.windowTitle(), u"Шрифт сообщений"_s);
        QTest::mouseClick(&control<QCheckBox>(chooser, u"strikeOutBox"_s), Qt::LeftButton);
        QTest::mouseClick(&control<QPushButton>(chooser, u"okButton"_s), Qt::LeftButton);
    });
    const auto choice =
        FontChooserDialog::getChoice({QFont(m_faces[1], 11), Qt::darkBlue}, &m_dialog, u"Шрифт сообщений"_s);

    ASSERT_TRUE(choice);
    EXPECT_EQ(choice->font.family(), m_faces[1]);
    EXPECT_EQ(choice->font.pointSize(), 11);
    EXPECT_TRUE(choice->font.strikeOut());
    EXPECT_EQ(choice->color, QColor(Qt::darkBlue));
}

TEST_F(FontChooserDialogTest, GetChoiceReturnsNothingOnCancel)
{
    m_answerer.answerNext<FontChooserDialog>([](FontChooserDialog& chooser) {
        QTest::mouseClick(&control<QCheckBox>(chooser, u"underlineBox"_s), Qt::LeftButton);
        QTest::mouseClick(&control<QPushButton>(chooser, u"cancelButton"_s), Qt::LeftButton);
    });
    EXPECT_FALSE(FontChooserDialog::getChoice({QFont(m_faces[0], 11), Qt::red}, &m_dialog, u"Шрифт"_s));
}

} // namespace
