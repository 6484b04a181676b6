// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

// The program's built-in pictures: our own SVG drawings kept in the Qt resource of kovrel_artwork.
// Every picture is drawn on a 16 × 16 grid (the application, tray and about pictures on 32 × 32) and scales
// cleanly to any icon size. An index outside the documented range gives a null QIcon.
namespace kovrel::artwork {

inline constexpr int kStatePictureCount = 10;
inline constexpr int kToolbarImageCount = 7;
inline constexpr int kTrayPhaseCount = 2;
inline constexpr int kAboutPictureCount = 2;

// The state pictures in roster order: 0 other user on line (a light bulb), 2 own entry on line (a red arrow
// pointing right), 4 unavailable (a traffic light), 6 away (a walking figure), 8 busy (a hammer on a tile);
// each odd index is the picture before it lit up, shown while a message waits unread.
QIcon statePicture(int index);

// Tool bar images: 0 log in (not connected), 1 send, 2 connected, 3 close page, 4 clear page, 5 log,
// 6 configuration.
QIcon toolbarImage(int index);

// Phase 0 is the application picture, phase 1 its lit-up form; alternating them flashes the tray icon.
QIcon trayIcon(int phase);

QIcon applicationIcon();

// A closed padlock, shown while the connection is encrypted.
QIcon lockPicture();

// The about dialog's pictures: 0 the enciphered conversation beside the product line, 1 the scroll beside
// the credits.
QIcon aboutPicture(int index);

} // namespace kovrel::artwork
