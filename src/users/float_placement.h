// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>

namespace kovrel {

// Where a floating window stored at `window` is shown on the screens there are now (their available
// areas): where it was, unless it lies off every screen (a monitor was removed or the resolution fell),
// in which case it is moved wholly inside the screen nearest to it.
QPoint PlaceOnScreens(const QRect& window, const QList<QRect>& screens);

} // namespace kovrel
