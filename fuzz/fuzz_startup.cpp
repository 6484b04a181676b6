// SPDX-License-Identifier: GPL-3.0-or-later
// The client's start-up from any settings file: the main window (offscreen) is made from it, restoring its
// place, panes, options, fonts and colours and state pictures, shown, and closed again, storing its place;
// nothing a settings file holds may crash it. The file is the only settings the window sees: it lives in a
// sandbox, and a file the store cannot parse is put aside and reported as the program would.
//
// Input: the settings file.

#include "chat_main_form.h"
#include "fontconfig_leak.h"
#include "harness_arguments.h"
#include "settings_sandbox.h"

#include <QApplication>
#include <QByteArray>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

struct Environment
{
    // Kept to the end of the process: Qt's font caches outlive a destroyed application and would read as
    // leaks.
    Environment() : application(new QApplication(arguments.argc, arguments.argv)) {}

    kovrel::fuzz::HarnessArguments arguments{"fuzz_startup"};
    QApplication* application;
    kovrel::test::SettingsSandbox sandbox;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Environment environment;
    QFile::remove(environment.sandbox.settingsPath() + QStringLiteral(".bad"));
    environment.sandbox.setSettingsFileContent(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    {
        auto window = std::make_unique<kovrel::TChatMainForm>();
        window->show();
        // What the window asks for right after showing (its placement, its task bar entry).
        QCoreApplication::processEvents();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
