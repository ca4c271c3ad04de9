// SPDX-License-Identifier: MIT
// The real tarvo on a private X server, played with real key events and
// judged by what the window shows: the cases that only X11 has.
#include <QCoreApplication>
#include <gtest/gtest.h>

#include "pulse_server.h"
#include "xsession.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <X11/Xatom.h>

namespace tarvo::testing {
namespace {

// What only X11 shows, or only the X11 tests can do (a mouse, a window of
// their own); the cases shared with Wayland are in play_test.cpp.
class XPlayTest : public ::testing::Test {
protected:
    Xvfb x;
    std::unique_ptr<Game> game;
    void SetUp() override {
        ASSERT_TRUE(x.ok()) << x.error().toStdString();
        game = std::make_unique<Game>(x);
        ASSERT_TRUE(game->ok()) << game->output().toStdString();
    }
    Window window() { return x.findWindow("TARVO"); }
    QImage stage() { return game->stage(); }
    void startBout() { ASSERT_TRUE(StartBout(*game)) << "Ctrl+S shows Ready?"; }
    void chooseMachine() {
        // The second menu, then its second item, as a player would.
        x.xdotool({"mousemove", "--window", QString::number(window()), "80", "10", "click", "1"});
        QThread::msleep(300);
        game->key("Down");
        game->key("Down");
        game->key("Return");
        QThread::msleep(200);
    }
};

TEST_F(XPlayTest, TheWindowHasAFixedSizeAndAnIcon) {
    // Fixed size: the size hints say minimum equals maximum.
    XSizeHints hints;
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(x.dpy(), window(), &hints, &supplied));
    ASSERT_TRUE(hints.flags & PMinSize);
    ASSERT_TRUE(hints.flags & PMaxSize);
    EXPECT_EQ(hints.min_width, hints.max_width);
    EXPECT_EQ(hints.min_height, hints.max_height);
    EXPECT_EQ(hints.min_width, 200);
    const QImage w = game->window();
    EXPECT_EQ(w.width(), 200);
    EXPECT_GT(w.height(), 110) << "a menu bar above the 200 x 100 stage";
    // The icon reaches the desktop.
    Atom icon = XInternAtom(x.dpy(), "_NET_WM_ICON", False), type;
    int format;
    unsigned long items = 0, after;
    unsigned char *data = nullptr;
    XGetWindowProperty(x.dpy(), window(), icon, 0, 1 << 16, False, XA_CARDINAL, &type, &format, &items, &after, &data);
    ASSERT_GT(items, 2u);
    EXPECT_EQ(reinterpret_cast<unsigned long *>(data)[0], 32u);
    EXPECT_EQ(reinterpret_cast<unsigned long *>(data)[1], 32u);
    XFree(data);
}

TEST_F(XPlayTest, TheMachineWinsWhenNobodyPresses) {
    chooseMachine();
    game->key("ctrl+s");
    ASSERT_GE(game->waitFor([](const QImage &s) { return Shows(s, "kill.bmp") || Shows(s, "bung.bmp"); }, 6000), 0);
    ASSERT_GE(game->waitFor([](const QImage &s) { return Shows(s, "win2p.bmp"); }, 12000), 0);
    const QImage s = stage();
    EXPECT_GE(DeathPose(Slot1P(s), 0), 2);
    EXPECT_EQ(Slot2P(s), Cell(8, 1));
    // After the menu the window still has the keyboard: Shift during Ready? fouls.
    startBout();
    game->key("shift");
    EXPECT_GE(game->waitFor([](const QImage &st) { return Shows(st, "fall1p.bmp"); }, 1000), 0);
}

TEST_F(XPlayTest, CoveringAndUncoveringKeepsWhatWasDrawn) {
    startBout();
    game->key("shift");
    ASSERT_GE(game->waitFor([](const QImage &s) { return Shows(s, "fall1p.bmp"); }, 1000), 0);
    const QImage before = stage();
    Window cover = XCreateSimpleWindow(x.dpy(), DefaultRootWindow(x.dpy()), 0, 0, 400, 300, 0, 0, 0);
    XMapRaised(x.dpy(), cover);
    XSync(x.dpy(), False);
    QThread::msleep(300);
    XUnmapWindow(x.dpy(), cover);
    XDestroyWindow(x.dpy(), cover);
    XSync(x.dpy(), False);
    EXPECT_GE(game->waitFor([&](const QImage &s) { return s == before; }, 2000), 0);
}

// Plays one bout against the machine: Ctrl+S, then the machine wins.
bool PlayOneBout(Game &game) {
    game.key("ctrl+s");
    if (game.waitFor([](const QImage &s) { return Shows(s, "ready.bmp"); }, 5000) < 0) return false;
    game.key("Right"); // a foul by 2P: a sound plays at once
    if (game.waitFor([](const QImage &s) { return Shows(s, "fall2p.bmp"); }, 5000) < 0) return false;
    game.key("ctrl+s");
    if (game.waitFor([](const QImage &s) { return Shows(s, "kill.bmp"); }, 8000) < 0) return false;
    game.key("shift");
    return game.waitFor([](const QImage &s) { return Shows(s, "win1p.bmp"); }, 5000) >= 0;
}

TEST(Faults, WithoutAnyCjkFontTheGameStillStartsAndPlays) {
    Xvfb x;
    ASSERT_NE(x.dpy(), nullptr);
    QTemporaryDir dir;
    QFile conf(dir.filePath("fonts.conf"));
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
    conf.write("<?xml version=\"1.0\"?><!DOCTYPE fontconfig SYSTEM \"fonts.dtd\"><fontconfig>"
               "<dir>/usr/share/fonts/truetype/dejavu</dir><cachedir>");
    conf.write(dir.filePath("cache").toUtf8());
    conf.write("</cachedir></fontconfig>");
    conf.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("FONTCONFIG_FILE", conf.fileName());
    Game game(x, env);
    ASSERT_TRUE(game.ok()) << game.output().toStdString();
    EXPECT_TRUE(PlayOneBout(game));
}

TEST(Faults, ABoutWritesNoFileAndOpensNoNetworkConnection) {
    if (qEnvironmentVariableIsSet("TARVO_EMULATOR"))
        GTEST_SKIP() << "qemu-user has no ptrace, so strace cannot watch the game there";
    Xvfb x;
    ASSERT_NE(x.dpy(), nullptr);
    PulseServer pulse;
    ASSERT_TRUE(pulse.ok());
    QTemporaryDir home, logs;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.remove("XDG_RUNTIME_DIR");
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    env.insert("PULSE_SERVER", pulse.address());
    const QString trace = logs.filePath("trace");
    {
        Game game(x, env,
                  {"strace", "-f", "-qq", "-e", "trace=openat,creat,socket,connect", "-o", trace});
        ASSERT_TRUE(game.ok()) << game.output().toStdString();
        ASSERT_TRUE(PlayOneBout(game));
    }
    QFile f(trace);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString pulseSocket = pulse.address().mid(5);
    const QRegularExpression open(R"re((openat|creat)\((?:AT_FDCWD, )?"([^"]*)", ([A-Z_|]+)[^)]*\) = (\d+))re");
    const QRegularExpression sock(R"re(socket\((AF_[A-Z0-9]+),.*\) = (\d+))re");
    const QRegularExpression conn(R"re(connect\(\d+, \{sa_family=(AF_[A-Z0-9]+)(?:, sun_path=@?"([^"]*)")?)re");
    QStringList offences;
    int opens = 0, connects = 0;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (auto m = open.match(line); m.hasMatch()) {
            ++opens;
            const QString path = m.captured(2), flags = m.captured(3);
            const bool writes = flags.contains("O_WRONLY") || flags.contains("O_RDWR") || flags.contains("O_CREAT") ||
                                m.captured(1) == "creat";
            const bool allowed = path.startsWith("/dev/") || path.startsWith(home.path() + "/.config/pulse/");
            if (writes && !allowed) offences << "writes " + line;
        } else if (auto m = sock.match(line); m.hasMatch()) {
            if (m.captured(1) != "AF_UNIX") offences << "socket " + line;
        } else if (auto m = conn.match(line); m.hasMatch()) {
            ++connects;
            const QString path = m.captured(2);
            const bool allowed = m.captured(1) == "AF_UNIX" &&
                                 (path.startsWith("/tmp/.X11-unix/X") || path == pulseSocket || path.endsWith("/bus") ||
                                  path == "/var/run/nscd/socket"); // the C library asking who the user is
            if (!allowed) offences << "connect " + line;
        }
    }
    EXPECT_GT(opens, 50) << "the trace saw the game";
    EXPECT_GT(connects, 0);
    EXPECT_TRUE(offences.isEmpty()) << offences.join("\n").toStdString();
}

} // namespace
} // namespace tarvo::testing
