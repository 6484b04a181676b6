// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace kovrel {

// Keeps a shown window out of the desktop's task bar, or puts it back: on X11 through the window manager's
// "skip taskbar" state. Elsewhere the window keeps its entry.
void SetTaskbarEntryHidden(QWidget* window, bool hidden);

} // namespace kovrel
