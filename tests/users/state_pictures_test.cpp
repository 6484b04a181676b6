// SPDX-License-Identifier: GPL-3.0-or-later
#include "state_pictures.h"

#include "artwork.h"
#include "settings_layout.h"
#include "settings_sandbox.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QtEndian>

#include <gtest/gtest.h>

namespace kovrel::test {
namespace {

const QString kSvg =
    QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' width='40' height='20' viewBox='0 0 40 20'>"
                   "<rect width='40' height='20' fill='#0000ff'/></svg>");

// Pictures written by the test into its sandbox.
class StatePictureFiles : public testing::Test
{
protected:
    // A square of one colour, in the format its suffix names.
    QString writeImage(const QString& name, const QSize& size, const QColor& color) const
    {
        QImage image(size, QImage::Format_ARGB32);
        image.fill(color);
        const QString path = sandbox.path(name);
        const QByteArray format = name.section(u'.', -1).toLower().toLatin1();
        EXPECT_TRUE(image.save(path, format.constData())) << name.toStdString();
        return path;
    }

    QString writeFile(const QString& name, const QByteArray& content) const
    {
        QFile file(sandbox.path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return file.fileName();
    }

    static QImage shown(const QIcon& picture, int ratio = 1)
    {
        return picture.pixmap(QSize(kStatePictureSize, kStatePictureSize), ratio).toImage();
    }

    SettingsSandbox sandbox;
};

TEST_F(StatePictureFiles, PngBmpIcoAndSvgLoadWithTheirSuffixInAnyLetterCase)
{
    for (const QString& name : {QStringLiteral("a.png"), QStringLiteral("b.BMP"), QStringLiteral("c.Ico")}) {
        const LoadedPicture loaded = LoadStatePicture(writeImage(name, {16, 16}, Qt::red));
        ASSERT_TRUE(loaded.picture) << name.toStdString() << ": " << loaded.error.toStdString();
        EXPECT_EQ(shown(*loaded.picture).pixelColor(8, 8), QColor(Qt::red)) << name.toStdString();
    }
    const LoadedPicture svg = LoadStatePicture(writeFile("d.SVG", kSvg.toUtf8()));
    ASSERT_TRUE(svg.picture) << svg.error.toStdString();
    EXPECT_EQ(shown(*svg.picture).pixelColor(8, 8), QColor(Qt::blue));
}

TEST_F(StatePictureFiles, ALargePictureFitsTheListKeepingItsShapeAndStaysSharpOnDenseScreens)
{
    const LoadedPicture loaded = LoadStatePicture(writeImage("wide.png", {64, 32}, Qt::green));
    ASSERT_TRUE(loaded.picture);
    const QImage plain = shown(*loaded.picture);
    EXPECT_EQ(plain.size(), QSize(16, 16));
    EXPECT_EQ(plain.pixelColor(8, 8), QColor(Qt::green));
    EXPECT_EQ(plain.pixelColor(8, 1).alpha(), 0) << "above and below the wide picture it is transparent";
    EXPECT_EQ(shown(*loaded.picture, 2).size(), QSize(32, 32))
        << "a version of its own for two pixels a pixel";

    // An SVG is drawn at each size rather than enlarged: a thin line stays one device pixel wide.
    const LoadedPicture svg = LoadStatePicture(
        writeFile("line.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='16' height='16'>"
                              "<rect x='0' y='0' width='16' height='16' fill='white'/>"
                              "<rect x='0' y='8' width='16' height='0.5' fill='black'/></svg>"));
    ASSERT_TRUE(svg.picture) << svg.error.toStdString();
    const QImage dense = shown(*svg.picture, 2);
    EXPECT_EQ(dense.pixelColor(8, 16), QColor(Qt::black));
    EXPECT_EQ(dense.pixelColor(8, 17), QColor(Qt::white));
}

TEST_F(StatePictureFiles, WhatIsNoPictureIsRefusedWithItsReason)
{
    const LoadedPicture missing = LoadStatePicture(sandbox.path("missing.png"));
    EXPECT_FALSE(missing.picture);
    EXPECT_TRUE(missing.error.startsWith(sandbox.path("missing.png") + ": ")) << missing.error.toStdString();

    EXPECT_FALSE(LoadStatePicture(writeFile("garbage.bmp", "not a bitmap at all")).picture);
    const LoadedPicture metafile = LoadStatePicture(writeFile("old.emf", "whatever"));
    EXPECT_FALSE(metafile.picture);
    EXPECT_TRUE(metafile.error.contains("PNG, SVG, BMP")) << metafile.error.toStdString();
}

// The CRC-32 of PNG chunks (ISO 3309), bit by bit.
quint32 pngCrc(const QByteArray& bytes)
{
    quint32 crc = 0xffffffffU;
    for (const char byte : bytes) {
        crc ^= static_cast<quint8>(byte);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xedb88320U & (0U - (crc & 1U)));
        }
    }
    return ~crc;
}

// A real PNG whose header claims `width` by `height` pixels: a small file that would unpack to a huge image.
QByteArray pngClaiming(quint32 width, quint32 height)
{
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    // Signature (8), length (4), then the CRC covers "IHDR" and its 13 bytes, width and height first.
    constexpr int kIhdrType = 12;
    QByteArray ihdr = png.mid(kIhdrType, 4 + 13);
    qToBigEndian(width, ihdr.data() + 4);
    qToBigEndian(height, ihdr.data() + 8);
    png.replace(kIhdrType, ihdr.size(), ihdr);
    QByteArray crc(4, '\0');
    qToBigEndian(pngCrc(ihdr), crc.data());
    png.replace(kIhdrType + ihdr.size(), 4, crc);
    return png;
}

TEST_F(StatePictureFiles, AnOversizedPictureIsRefusedBeforeItIsDecoded)
{
    const LoadedPicture huge = LoadStatePicture(writeFile("huge.png", pngClaiming(100000, 100000)));
    EXPECT_FALSE(huge.picture);
    EXPECT_TRUE(huge.error.contains(QStringLiteral("100000×100000"))) << huge.error.toStdString();

    // An SVG is drawn at the list's size, but one declaring a huge canvas is no state picture either.
    const LoadedPicture canvas = LoadStatePicture(
        writeFile("canvas.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='100000' height='50000'>"
                                "<rect width='100000' height='50000' fill='red'/></svg>"));
    EXPECT_FALSE(canvas.picture);
    EXPECT_TRUE(canvas.error.contains(QStringLiteral("100000×50000"))) << canvas.error.toStdString();

    // A file of more than a mebibyte is refused unread, however small the picture it starts with.
    QByteArray padded = pngClaiming(4, 4);
    padded.append(QByteArray(1 << 20, ' '));
    const LoadedPicture bulky = LoadStatePicture(writeFile("bulky.png", padded));
    EXPECT_FALSE(bulky.picture);
    EXPECT_TRUE(bulky.error.contains(QStringLiteral("1024 КиБ"))) << bulky.error.toStdString();

    // The limit leaves room for any real picture: one of the largest side allowed still loads, and so thin
    // that it is drawn one pixel high.
    const LoadedPicture largest = LoadStatePicture(writeImage("largest.png", {4096, 16}, Qt::green));
    ASSERT_TRUE(largest.picture) << largest.error.toStdString();
    EXPECT_EQ(shown(*largest.picture).pixelColor(8, 7), QColor(Qt::green));
}

TEST_F(StatePictureFiles, StoredPicturesReplaceTheirPositionsAndAMissingFileLeavesTheBuiltInOne)
{
    const QString busy = writeImage("busy.png", {16, 16}, Qt::yellow);
    WriteStatePicture(u"Busy", StatePicture::Incoming, busy);
    WriteStatePicture(u"Current", StatePicture::Plain, sandbox.path("gone.png"));
    StateImageList pictures;
    QSignalSpy changed(&pictures, &StateImageList::changed);

    const QStringList problems = ApplyStoredPictures(pictures);

    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems.front().startsWith(sandbox.path("gone.png"))) << problems.front().toStdString();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(shown(pictures.picture(9)).pixelColor(8, 8), QColor(Qt::yellow));
    for (const int position : {2, 8}) {
        EXPECT_EQ(shown(pictures.picture(position)), shown(artwork::statePicture(position))) << position;
    }
    EXPECT_TRUE(pictures.picture(10).isNull());
}

} // namespace
} // namespace kovrel::test
