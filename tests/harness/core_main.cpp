// SPDX-License-Identifier: MIT
// GoogleTest main for the tests that drive other programs: a QCoreApplication
// for QProcess and timers, no window of its own.
#include <QCoreApplication>
#include <QStandardPaths>
#include <QStringList>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#ifndef TARVO_TEST_TOOLS
#define TARVO_TEST_TOOLS ""
#endif

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    bool listing = false;
    for (int i = 1; i < argc; ++i) listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
    // The programs that this binary's tests start (TARVO_TEST_TOOLS, separated
    // by ':'): when one is missing, the run fails at once and names it, instead
    // of every test waiting for a server or a window that cannot come.
    QStringList missing;
    for (const QString &tool : QString(TARVO_TEST_TOOLS).split(':', Qt::SkipEmptyParts))
        if (QStandardPaths::findExecutable(tool).isEmpty()) missing << tool;
    if (!listing && !missing.isEmpty()) {
        std::fprintf(stderr, "not installed: %s (./test installs them)\n", qPrintable(missing.join(", ")));
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
