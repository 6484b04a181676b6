// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <optional>

namespace kovrel {

// The ten state pictures, in the order of StatePictureIndex: 0/1 somebody on line, 2/3 the own entry on
// line, 4/5 unavailable, 6/7 away, 8/9 busy (plain / incoming).
inline constexpr int kStatePictureCount = 10;
using StatePictureSet = std::array<QIcon, kStatePictureCount>;

// The pictures' size in the lists that show them; a picture file of another size is fitted into it.
inline constexpr int kStatePictureSize = 16;

// One row of the state picture choice: its caption (also its section under "States") and the positions of
// its plain and its incoming picture.
struct StatePictureRow
{
    QStringView caption;
    int plain;
    int incoming;
};

inline constexpr std::array<StatePictureRow, 5> kStatePictureRowPositions{{
    {u"Current", 2, 3},
    {u"OnLine", 0, 1},
    {u"OffLine", 4, 5},
    {u"Away", 6, 7},
    {u"Busy", 8, 9},
}};

// The built-in pictures, never changed.
StatePictureSet BuiltInStatePictures();

// A picture file as a state picture, or why it cannot be one. PNG, SVG, BMP and ICO files are read, their
// extension in any letter case; the picture keeps its proportions and its transparency, is scaled smoothly
// to the list's size and holds versions for screens of two and three device pixels per pixel, so that it
// stays sharp there. SVG is drawn anew at each size.
struct LoadedPicture
{
    std::optional<QIcon> picture;
    QString error;
};
LoadedPicture LoadStatePicture(const QString& path);

// The picture file drawn as LoadStatePicture reads it, on a transparent square of `side` device pixels, for
// a preview; a null image when the file is no picture.
QImage StatePicturePreview(const QString& path, int side);

// The state pictures in use, shown by the user list and the floating windows. Those who show them redraw
// on changed().
class StateImageList : public QObject
{
    Q_OBJECT

public:
    explicit StateImageList(QObject* parent = nullptr);

    // A null icon for a position outside 0..9.
    QIcon picture(int position) const;
    const StatePictureSet& pictures() const { return m_pictures; }
    void assign(const StatePictureSet& pictures);

signals:
    void changed();

private:
    StatePictureSet m_pictures;
};

// The stored choice put into `pictures` over the built-in set: each stored path that names a picture
// replaces its position; a path whose file cannot be read leaves the built-in picture and is told in the
// returned list, one text per such file.
QStringList ApplyStoredPictures(StateImageList& pictures);

} // namespace kovrel
