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

bool isAcceptedSuffix(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == u"png"_s || suffix == u"svg"_s || suffix == u"bmp"_s || suffix == u"ico"_s;
}

// The picture read at `side` device pixels, its proportions kept, centred on a transparent square.
std::optional<QImage> readSquare(const QString& path, int side, QString& error)
{
    QImageReader reader(path);
    const QSize natural = reader.size();
    // A reader that can draw at any size (SVG) draws at this one; the others are scaled after reading.
    const bool drawsAtSize = reader.supportsOption(QImageIOHandler::ScaledSize) && natural.isValid();
    if (drawsAtSize) {
        reader.setScaledSize(natural.scaled(side, side, Qt::KeepAspectRatio));
    }
    QImage image = reader.read();
    if (image.isNull()) {
        error = reader.errorString();
        return std::nullopt;
    }
    if (!drawsAtSize) {
        image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
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
