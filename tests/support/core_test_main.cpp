// SPDX-License-Identifier: GPL-3.0-or-later
// The main of the client core's test programs: sockets, timers and waits need an application object, and
// a QCoreApplication proves that the core runs without widgets or a display.

#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
