// SPDX-License-Identifier: GPL-3.0-or-later
// The main of the main window's tests: the real application object, whose error report is under test.

#include "kovrel_application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    kovrel::KovrelApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
