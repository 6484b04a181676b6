// SPDX-License-Identifier: GPL-3.0-or-later
#include "float_placement.h"

#include <algorithm>
#include <limits>

namespace kovrel {

namespace {

// How far the window's centre lies outside the screen, squared; 0 when inside.
qint64 squaredDistance(const QRect& screen, const QPoint& point)
{
    const qint64 dx =
        std::max({qint64(screen.left()) - point.x(), qint64(0), qint64(point.x()) - screen.right()});
    const qint64 dy =
        std::max({qint64(screen.top()) - point.y(), qint64(0), qint64(point.y()) - screen.bottom()});
    return dx * dx + dy * dy;
}

QPoint clampInto(const QRect& screen, const QRect& window)
{
    const int left = std::clamp(window.left(), screen.left(),
                                std::max(screen.left(), screen.right() + 1 - window.width()));
    const int top =
        std::clamp(window.top(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - window.height()));
    return {left, top};
}

} // namespace

QPoint PlaceOnScreens(const QRect& window, const QList<QRect>& screens)
{
    const bool visible = std::any_of(screens.begin(), screens.end(),
                                     [&](const QRect& screen) { return screen.intersects(window); });
    if (visible || screens.isEmpty()) {
        return window.topLeft();
    }
    const QRect* nearest = nullptr;
    qint64 nearestDistance = std::numeric_limits<qint64>::max();
    for (const QRect& screen : screens) {
        const qint64 distance = squaredDistance(screen, window.center());
        if (distance < nearestDistance) {
            nearest = &screen;
            nearestDistance = distance;
        }
    }
    return clampInto(*nearest, window);
}

} // namespace kovrel
