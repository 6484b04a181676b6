// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>

#include <functional>

namespace kovrel {

// The application object. Its interface, Qt's own dialogs and context menus included, is in Russian.
// An exception that escapes an event handler (our handlers catch their own; this is the last resort) is
// handed to the error report, named by the class of the object whose event was being handled: it becomes
// a line of the common conversation, never a crash and never a dialog.
class KovrelApplication : public QApplication
{
    Q_OBJECT

public:
    using ErrorReport = std::function<void(const QString& message, const QString& className)>;

    KovrelApplication(int& argc, char** argv);

    void setErrorReport(ErrorReport report) { m_report = std::move(report); }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    void installQtTranslations();
    void report(const QString& message, const QObject* receiver);

    ErrorReport m_report;
};

} // namespace kovrel
