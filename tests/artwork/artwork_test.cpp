// SPDX-License-Identifier: GPL-3.0-or-later
#include "artwork.h"

#include <gtest/gtest.h>

#include <QImage>

namespace kovrel::artwork {
namespace {

QImage render(const QIcon& icon)
{
    return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}

// A file that is missing or does not parse renders empty, so this checks that every drawing is sound.
void expectDrawnOnTransparentGround(const QIcon& icon, const char* list, int index)
{
    SCOPED_TRACE(testing::Message() << list << " " << index);
    const QImage image = render(icon);
    ASSERT_EQ(image.size(), QSize(16, 16));
    int opaque = 0;
    int transparent = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            opaque += qAlpha(image.pixel(x, y)) == 255 ? 1 : 0;
            transparent += qAlpha(image.pixel(x, y)) == 0 ? 1 : 0;
        }
    }
    EXPECT_GT(opaque, 32);
    EXPECT_GT(transparent, 0);
}

void expectAllDifferent(QIcon (*picture)(int), int count, const char* list)
{
    for (int first = 0; first < count; ++first) {
        expectDrawnOnTransparentGround(picture(first), list, first);
        for (int second = first + 1; second < count; ++second)
            EXPECT_NE(render(picture(first)), render(picture(second)))
                << list << " " << first << ", " << second;
    }
}

TEST(Artwork, EveryPictureIsDrawnAndTellsItsMeaningApart)
{
    expectAllDifferent(statePicture, kStatePictureCount, "state picture");
    expectAllDifferent(toolbarImage, kToolbarImageCount, "tool bar image");
    expectAllDifferent(trayIcon, kTrayPhaseCount, "tray phase");
    expectAllDifferent(aboutPicture, kAboutPictureCount, "about picture");
    expectDrawnOnTransparentGround(applicationIcon(), "application", 0);
    EXPECT_EQ(applicationIcon().pixmap(48, 48).size(), QSize(48, 48));
}

TEST(Artwork, IndexOutsideTheListGivesNullIcon)
{
    EXPECT_TRUE(statePicture(-1).isNull());
    EXPECT_TRUE(statePicture(kStatePictureCount).isNull());
    EXPECT_TRUE(toolbarImage(kToolbarImageCount).isNull());
    EXPECT_TRUE(trayIcon(kTrayPhaseCount).isNull());
    EXPECT_TRUE(aboutPicture(kAboutPictureCount).isNull());
}

} // namespace
} // namespace kovrel::artwork
