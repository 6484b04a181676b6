// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kovrel {

// Gives a control the object name that finds it and the name screen readers announce for it.
template <typename Widget>
Widget* named(Widget* widget, const QString& objectName, const QString& accessibleName)
{
    widget->setObjectName(objectName);
    widget->setAccessibleName(accessibleName);
    return widget;
}

} // namespace kovrel
