// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace kovrel {

class TChatMainForm;

// The client's start-up and event loop: the command line, the settings it names, the application object,
// the main window and a log-in at start when the command line names a server. `windowShown` runs once the
// window is up, before the event loop starts (a harness that watches the window hooks in there).
int RunClient(int argc, char** argv, const std::function<void(TChatMainForm& window)>& windowShown = {});

} // namespace kovrel
