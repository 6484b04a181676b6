#pragma once

#include <QApplication>

#include <functional>

namespace kovrel {

// The application object. An exception that escapes any event handler is caught here and handed to the
// error report, named by the class of the object whose event was being handled: it becomes a line of the
// common conversation, never a crash and never a dialog.
class KovrelApplication : public QApplication
{
    Q_OBJECT

public:
    using ErrorReport = std::function<void(const QString& message, const QString& className)>;

    KovrelApplication(int& argc, char** argv);

    void setErrorReport(ErrorReport report) { m_report = std::move(report); }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    void report(const QString& message, const QObject* receiver);

    ErrorReport m_report;
};

} // namespace kovrel
