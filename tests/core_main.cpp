// GoogleTest main for the tests that drive other programs: a QCoreApplication
// for QProcess and timers, no window of its own.
#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
