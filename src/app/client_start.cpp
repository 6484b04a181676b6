// SPDX-License-Identifier: GPL-3.0-or-later
#include "client_start.h"

#include "chat_main_form.h"
#include "command_line.h"
#include "kovrel_application.h"
#include "settings_store.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace kovrel {
namespace {

// Read before any window system is touched, so that --help and --version work without a display.
CommandLineResult readCommandLine(int& argc, char** argv)
{
    const QCoreApplication parsing(argc, argv);
    return ParseCommandLine(QCoreApplication::arguments());
}

} // namespace

int RunClient(int argc, char** argv, const std::function<void(TChatMainForm& window)>& windowShown)
{
    const CommandLineResult commandLine = readCommandLine(argc, argv);
    if (!commandLine.options) {
        std::fputs(qPrintable(commandLine.message), commandLine.exitCode == 0 ? stdout : stderr);
        return commandLine.exitCode;
    }
    if (!commandLine.options->settingsFile.isEmpty()) {
        useSettingsFile(commandLine.options->settingsFile);
    }
    KovrelApplication application(argc, argv);
    // Problems met while the command line's settings are stored are shown once the window can show them.
    QStringList earlyProblems;
    SettingsStore::setProblemReporter([&earlyProblems](const QString& problem) { earlyProblems << problem; });
    try {
        StoreLaunchOptions(*commandLine.options);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kovrel: cannot store the server settings: %s\n", error.what());
        return 1;
    }

    TChatMainForm window;
    application.setErrorReport([&window](const QString& message, const QString& className) {
        window.reportError(message, className);
    });
    for (const QString& problem : earlyProblems) {
        window.reportError(problem, QStringLiteral("SettingsStore"));
    }
    window.show();
    if (commandLine.options->hasServer()) {
        QTimer::singleShot(0, &window, &TChatMainForm::Button1Click);
    }
    if (windowShown) {
        windowShown(window);
    }
    return application.exec();
}

} // namespace kovrel
