#include "chat_main_form.h"
#include "command_line.h"
#include "kovrel_application.h"
#include "settings_store.h"

#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    kovrel::KovrelApplication application(argc, argv);
    const kovrel::CommandLineResult commandLine = kovrel::ParseCommandLine(application.arguments());
    if (!commandLine.options) {
        std::fputs(qPrintable(commandLine.message), commandLine.exitCode == 0 ? stdout : stderr);
        return commandLine.exitCode;
    }
    try {
        kovrel::StoreLaunchOptions(*commandLine.options);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kovrel: cannot store the server settings: %s\n", error.what());
        return 1;
    }

    // Problems found while the window is being built are shown once it can show them.
    QStringList earlyProblems;
    kovrel::SettingsStore::setProblemReporter(
        [&earlyProblems](const QString& problem) { earlyProblems << problem; });
    kovrel::TChatMainForm window;
    const auto report = [&window](const QString& message, const QString& className) {
        window.ReportAppError(message, className);
    };
    application.setErrorReport(report);
    kovrel::SettingsStore::setProblemReporter(
        [report](const QString& problem) { report(problem, QStringLiteral("SettingsStore")); });
    for (const QString& problem : earlyProblems) {
        report(problem, QStringLiteral("SettingsStore"));
    }
    window.show();
    if (commandLine.options->hasServer()) {
        QTimer::singleShot(0, &window, &kovrel::TChatMainForm::Button1Click);
    }
    return application.exec();
}
