// SPDX-License-Identifier: MIT
// Long runs of the real game under Xvfb: 200 bouts as fast as real key
// events allow, with the memory they leave behind; and ten bouts under
// valgrind's memcheck.
#include <QCoreApplication>
#include <gtest/gtest.h>

#include "pulse_server.h"
#include "xsession.h"

#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace tarvo::testing {
namespace {

long ResidentKiB(qint64 pid) {
    QFile f(QString("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// One bout: mostly a foul (the quickest bout there is), now and then a full
// duel to the resolution. True when it ended as it should.
bool Bout(Game &game, int n) {
    game.key("ctrl+s");
    if (game.waitFor([](const QImage &s) { return Shows(s, "ready.bmp"); }, 10000) < 0) return false;
    if (n % 25 == 24) {
        if (game.waitFor([](const QImage &s) { return Shows(s, "kill.bmp"); }, 10000) < 0) return false;
        game.key("Right");
        return game.waitFor([](const QImage &s) { return Shows(s, "win2p.bmp"); }, 10000) >= 0;
    }
    const bool left = n % 2 == 0;
    game.key(left ? "shift" : "Right");
    return game.waitFor([&](const QImage &s) { return Shows(s, left ? "fall1p.bmp" : "fall2p.bmp"); }, 10000) >= 0;
}

TEST(Soak, TwoHundredBoutsLeaveTheMemoryWhereTenDid) {
    Xvfb x;
    ASSERT_NE(x.dpy(), nullptr);
    PulseServer pulse;
    ASSERT_TRUE(pulse.ok());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PULSE_SERVER", pulse.address());
    Game game(x, env);
    ASSERT_TRUE(game.ok());
    const qint64 pid = game.process().processId();
    long at10 = 0, at200 = 0;
    QElapsedTimer clock;
    clock.start();
    for (int n = 0; n < 200; ++n) {
        ASSERT_TRUE(Bout(game, n)) << "bout " << n;
        if (n == 9) { QThread::msleep(1500); at10 = ResidentKiB(pid); }
    }
    QThread::msleep(1500);
    at200 = ResidentKiB(pid);
    std::printf("200 bouts in %.1f s; resident memory %ld KiB after 10, %ld KiB after 200\n",
                clock.elapsed() / 1000.0, at10, at200);
    ASSERT_GT(at10, 0);
    EXPECT_LE(at200 - at10, 1024) << "within 1 MiB";
}

// Whether a memcheck record's block was allocated by the game's own code: the
// first frame past the allocator and past code inlined from system headers is
// in one of the game's sources. A block that the toolkit allocates for itself
// (while QApplication starts, say) is the toolkit's, even when main() is below.
bool AllocatedByTheGame(const QString &record) {
    static const QRegularExpression frame(R"(==\d+==\s+(?:at|by) 0x[0-9A-F]+: .* \(([^()]*)\)\n)");
    for (auto m = frame.globalMatch(record); m.hasNext();) {
        const QString where = m.next().captured(1);
        if (where.startsWith("vg_replace_malloc.c") || where.startsWith("in /usr/libexec/valgrind/") ||
            where.startsWith("/usr/include/"))
            continue;
        return where.startsWith(TARVO_SOURCE_DIR "/src/");
    }
    return false;
}

TEST(Soak, TenBoutsUnderMemcheckLoseNoMemoryOfOurs) {
    ASSERT_FALSE(QStandardPaths::findExecutable("valgrind").isEmpty())
        << "valgrind is not installed (Debian package valgrind; ./test --long installs it)";
    Xvfb x;
    ASSERT_NE(x.dpy(), nullptr);
    QTemporaryDir dir;
    const QString log = dir.filePath("memcheck.log");
    {
        // Full source paths in the stacks tell the game's code from the rest;
        // the suppressions drop what the toolkit itself never frees.
        Game game(x, QProcessEnvironment::systemEnvironment(),
                  // The session-bus library may fork a child that fails to
                  // start its helper and ends at once: its copy of the game's
                  // memory is no leak of the game's.
                  {"valgrind", "--tool=memcheck", "--leak-check=full", "--show-leak-kinds=definite",
                   "--child-silent-after-fork=yes", "--num-callers=30", "--fullpath-after=",
                   "--suppressions=" TARVO_MEMCHECK_SUPPRESSIONS, "--log-file=" + log},
                  180000);
        ASSERT_TRUE(game.ok()) << game.output().toStdString();
        for (int n = 0; n < 10; ++n) ASSERT_TRUE(Bout(game, n)) << "bout " << n;
        // Quit from the menu, so that the program ends normally.
        x.xdotool({"mousemove", "--window", QString::number(x.findWindow("TARVO")), "20", "10", "click", "1"});
        QThread::msleep(1000);
        game.key("Down");
        game.key("Down");
        game.key("Return");
        ASSERT_TRUE(game.process().waitForFinished(120000));
        EXPECT_EQ(game.process().exitCode(), 0);
    }
    QFile f(log);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    // Each record: a "definitely lost" header and its stack, up to a blank line.
    const QStringList records = text.split(QRegularExpression(R"(==\d+== \n)"));
    QStringList ours, theirs;
    for (const QString &r : records)
        if (r.contains("definitely lost in loss record")) (AllocatedByTheGame(r) ? ours : theirs) << r;
    // The summary, or one per process should a child report too.
    QStringList summaries;
    for (auto m = QRegularExpression(R"(definitely lost: [^\n]*)").globalMatch(text); m.hasNext();)
        summaries << m.next().captured(0);
    std::printf("memcheck: %s; %lld records the game's, %lld the libraries'\n",
                qPrintable(summaries.isEmpty() ? QString("no leak summary") : summaries.join(" / ")),
                qlonglong(ours.size()), qlonglong(theirs.size()));
    for (const QString &r : theirs) std::printf("not the game's:\n%s\n", qPrintable(r));
    EXPECT_FALSE(summaries.isEmpty()) << "memcheck's leak summary";
    EXPECT_TRUE(ours.isEmpty()) << ours.join("\n").toStdString();
}

} // namespace
} // namespace tarvo::testing
