// SPDX-License-Identifier: GPL-3.0-or-later
// kovrel-soak-client: the real client, started as the program starts (its command line, settings file and
// main window), with a probe that watches it through a soak.
//   KOVREL_SOAK_DIR=FOLDER KOVREL_SOAK_STATE=CODE kovrel-soak-client [kovrel's options]
// FOLDER holds the fault proxy's "deliveries" for this client; "stop" there ends the run and "report" says
// how it went. CODE is the state the user chooses at the first log-in (2 away, 3 busy).

#include "chat_main_form.h"
#include "client_start.h"
#include "soak_probe.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    const char* folder = std::getenv("KOVREL_SOAK_DIR");
    const char* state = std::getenv("KOVREL_SOAK_STATE");
    if (!folder || !state) {
        std::fputs("kovrel-soak-client: set KOVREL_SOAK_DIR and KOVREL_SOAK_STATE\n", stderr);
        return 2;
    }
    return kovrel::RunClient(argc, argv, [&](kovrel::TChatMainForm& window) {
        new kovrel::soak::SoakProbe(window, QString::fromLocal8Bit(folder), std::atoi(state));
    });
}
