// SPDX-License-Identifier: GPL-3.0-or-later
#include "kovrel_application.h"

#include "qt_printers.h"

#include <QDialogButtonBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include <stdexcept>

namespace kovrel {
namespace {

// An object whose event handler fails, as a handler of ours would if it did not catch its own errors.
class FailingObject : public QObject
{
public:
    bool event(QEvent*) override { throw std::runtime_error("it broke"); }
};

TEST(KovrelApplication, AnErrorThatEscapesAHandlerIsReportedNotThrown)
{
    auto* application = static_cast<KovrelApplication*>(QApplication::instance());
    QString reported;
    application->setErrorReport(
        [&](const QString& message, const QString& className) { reported = message + " in " + className; });
    FailingObject failing;
    QEvent event(QEvent::User);
    EXPECT_FALSE(QApplication::sendEvent(&failing, &event));
    EXPECT_EQ(reported, "it broke in QObject");
    application->setErrorReport({});
}

TEST(KovrelApplication, QtsOwnButtonsSpeakRussian)
{
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), "Отмена");
}

} // namespace
} // namespace kovrel
