// SPDX-License-Identifier: GPL-3.0-or-later
#include "kovrel_application.h"

#include <QDebug>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <exception>

namespace kovrel {

KovrelApplication::KovrelApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Kovrel"));
    installQtTranslations();
}

void KovrelApplication::installQtTranslations()
{
    auto* translator = new QTranslator(this);
    if (translator->load(QLocale(QLocale::Russian), QStringLiteral("qt"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        installTranslator(translator);
    } else {
        qWarning() << "Qt's Russian translations are not installed: its own dialogs will show in English";
    }
}

bool KovrelApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        report(QString::fromUtf8(error.what()), receiver);
    } catch (...) {
        report(QStringLiteral("unknown error"), receiver);
    }
    return false;
}

void KovrelApplication::report(const QString& message, const QObject* receiver)
{
    const QString className = receiver ? QString::fromLatin1(receiver->metaObject()->className()) : QString();
    if (!m_report) {
        qWarning().noquote() << "Error:" << message << "in" << className;
        return;
    }
    try {
        m_report(message, className);
    } catch (...) {
        // Reporting failed too (the settings cannot be read, say); nothing is left to tell it to.
        qWarning().noquote() << "Error:" << message << "in" << className;
    }
}

} // namespace kovrel
