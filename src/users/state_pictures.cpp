// SPDX-License-Identifier: GPL-3.0-or-later
#include "state_pictures.h"

#include "artwork.h"
#include "settings_layout.h"

#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>

namespace kovrel {

namespace {

using namespace Qt::Literals::StringLiterals;

static_assert(kStatePictureCount == artwork::kStatePictureCount);

// The device pixel ratios a picture carries versions for.
constexpr std::array kPixelRatios{1, 2, 3};

// A state picture is drawn 16 pixels high; a file far beyond what that needs is refused before it is
// decoded, so that a hostile one (an SVG declaring a huge canvas or nesting deeply, a small file unpacking
// to a huge image) cannot take the machine's memory.
constexpr qint64 kMaxPictureFileBytes = 1 << 20;
constexpr int kMaxPictureSide = 4096;
// What a reader may allocate for one image, for formats whose size is only known while decoding (an icon
// file's largest entry, a header that lies): a square of kMaxPictureSide in 32-bit colour.
constexpr int kReaderAllocationLimitMb = 64;

bool isAcceptedSuffix(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == u"png"_s || suffix == u"svg"_s || suffix == u"bmp"_s || suffix == u"ico"_s;
}

// Why the file is too big to be read as a picture, or nothing. Checked before a reader looks at it: telling
// an SVG's size already means parsing all of it.
std::optional<QString> oversizedFile(const QString& path)
{
    if (QFileInfo(path).size() > kMaxPictureFileBytes) {
        return u"файл картинки больше %1 КиБ"_s.arg(kMaxPictureFileBytes / 1024);
    }
    return std::nullopt;
}

// Why the picture is too big to be drawn, or nothing.
std::optional<QString> oversizedPicture(const QSize& natural)
{
    if (natural.width() > kMaxPictureSide || natural.height() > kMaxPictureSide) {
        return u"картинка %1×%2 точек больше предельных %3×%3"_s.arg(natural.width())
            .arg(natural.height())
            .arg(kMaxPictureSide);
    }
    return std::nullopt;
}

// `natural` fitted into a square of `side`, its proportions kept; a very thin picture stays a pixel thick
// rather than vanishing.
QSize fitted(const QSize& natural, int side)
{
    return natural.scaled(side, side, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

// The picture read at `side` device pixels, its proportions kept, centred on a transparent square.
std::optional<QImage> readSquare(const QString& path, int side, QString& error)
{
    if (const std::optional<QString> tooBig = oversizedFile(path)) {
        error = *tooBig;
        return std::nullopt;
    }
    // The limit holds for every reader of the process; no other picture the program reads comes near it.
    QImageReader::setAllocationLimit(kReaderAllocationLimitMb);
    QImageReader reader(path);
    const QSize natural = reader.size();
    if (const std::optional<QString> tooBig = oversizedPicture(natural)) {
        error = *tooBig;
        return std::nullopt;
    }
    // A reader that can draw at any size (SVG) draws at this one; the others are scaled after reading.
    const bool drawsAtSize = reader.supportsOption(QImageIOHandler::ScaledSize) && natural.isValid();
    if (drawsAtSize) {
        reader.setScaledSize(fitted(natural, side));
    }
    QImage image = reader.read();
    if (image.isNull()) {
        error = reader.errorString();
        return std::nullopt;
    }
    if (!drawsAtSize) {
        image = image.scaled(fitted(image.size(), side), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    QImage square(side, side, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    QPainter painter(&square);
    painter.drawImage((side - image.width()) / 2, (side - image.height()) / 2, image);
    return square;
}

} // namespace

StatePictureSet BuiltInStatePictures()
{
    StatePictureSet pictures;
    for (int position = 0; position < kStatePictureCount; ++position) {
        pictures[static_cast<std::size_t>(position)] = artwork::statePicture(position);
    }
    return pictures;
}

LoadedPicture LoadStatePicture(const QString& path)
{
    if (!isAcceptedSuffix(path)) {
        return {std::nullopt, u"%1: не картинка PNG, SVG, BMP или ICO"_s.arg(path)};
    }
    QIcon picture;
    for (const int ratio : kPixelRatios) {
        QString error;
        const std::optional<QImage> square = readSquare(path, kStatePictureSize * ratio, error);
        if (!square) {
            return {std::nullopt, u"%1: %2"_s.arg(path, error)};
        }
        QPixmap pixmap = QPixmap::fromImage(*square);
        pixmap.setDevicePixelRatio(ratio);
        picture.addPixmap(pixmap);
    }
    return {picture, QString()};
}

QImage StatePicturePreview(const QString& path, int side)
{
    if (!isAcceptedSuffix(path)) {
        return {};
    }
    QString error;
    return readSquare(path, side, error).value_or(QImage());
}

StateImageList::StateImageList(QObject* parent) : QObject(parent), m_pictures(BuiltInStatePictures()) {}

QIcon StateImageList::picture(int position) const
{
    if (position < 0 || position >= kStatePictureCount) {
        return {};
    }
    return m_pictures[static_cast<std::size_t>(position)];
}

void StateImageList::assign(const StatePictureSet& pictures)
{
    m_pictures = pictures;
    emit changed();
}

QStringList ApplyStoredPictures(StateImageList& pictures)
{
    StatePictureSet working = BuiltInStatePictures();
    QStringList problems;
    const auto apply = [&](const QString& path, int position) {
        if (path.isEmpty()) {
            return;
        }
        const LoadedPicture loaded = LoadStatePicture(path);
        if (loaded.picture) {
            working[static_cast<std::size_t>(position)] = *loaded.picture;
        } else {
            problems << loaded.error;
        }
    };
    for (const StatePictureRow& row : kStatePictureRowPositions) {
        apply(ReadStatePicture(row.caption, StatePicture::Plain), row.plain);
        apply(ReadStatePicture(row.caption, StatePicture::Incoming), row.incoming);
    }
    pictures.assign(working);
    return problems;
}

} // namespace kovrel
