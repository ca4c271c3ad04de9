// SPDX-License-Identifier: MIT
// GoogleTest main for the tests that need a QApplication.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
    // The window tests draw offscreen unless told otherwise, listing included.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
