// SPDX-License-Identifier: GPL-3.0-or-later
// The main of the test programs that need Qt: widgets, sockets, timers and nested event loops all want
// an application object before the first test runs.

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Headless unless told otherwise, also while CTest lists the cases.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Tests never reach the desktop's own session bus, its secret store or its notifications: a test that
    // needs a bus starts its own.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/kovrel-test-session-bus");
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
