// The real tarvo on a private X server, played with real key events and
// judged by what the window shows.
#include <QCoreApplication>
#include <gtest/gtest.h>

#include "pulse_server.h"
#include "xsession.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <X11/Xatom.h>

namespace tarvo::testing {
namespace {

class PlayTest : public ::testing::Test {
protected:
    Xvfb x;
    std::unique_ptr<Game> game;
    void SetUp() override {
        ASSERT_NE(x.dpy(), nullptr) << "Xvfb did not start";
        game = std::make_unique<Game>(x);
        ASSERT_TRUE(game->ok()) << game->output().toStdString();
    }
    QImage stage() { return game->stage(); }
    // Starts a bout and waits for the Ready? banner.
    void startBout() {
        game->key("ctrl+s");
        ASSERT_GE(game->waitFor([](const QImage &s) { return Shows(s, "ready.bmp"); }, 2000), 0);
    }
    void chooseMachine() {
        // The second menu, then its second item, as a player would.
        game->xdotool({"mousemove", "--window", QString::number(game->window()), "80", "10", "click", "1"});
        QThread::msleep(300);
        game->key("Down");
        game->key("Down");
        game->key("Return");
        QThread::msleep(200);
    }
};

TEST_F(PlayTest, TheWindowAsAPlayerFirstSeesIt) {
    const QImage s = stage();
    QImage white(200, 50, QImage::Format_RGB32);
    white.fill(Qt::white);
    EXPECT_EQ(BannerOf(s), white) << "the banner strip is white";
    EXPECT_EQ(Slot1P(s), Cell(0, 1));
    EXPECT_EQ(Slot2P(s), Cell(0, 0));
    // Fixed size: the size hints say minimum equals maximum.
    XSizeHints hints;
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(x.dpy(), game->window(), &hints, &supplied));
    ASSERT_TRUE(hints.flags & PMinSize);
    ASSERT_TRUE(hints.flags & PMaxSize);
    EXPECT_EQ(hints.min_width, hints.max_width);
    EXPECT_EQ(hints.min_height, hints.max_height);
    EXPECT_EQ(hints.min_width, 200);
    const QImage w = game->grabWindow();
    EXPECT_EQ(w.width(), 200);
    EXPECT_GT(w.height(), 110) << "a menu bar above the 200 x 100 stage";
    // The icon reaches the desktop.
    Atom icon = XInternAtom(x.dpy(), "_NET_WM_ICON", False), type;
    int format;
    unsigned long items = 0, after;
    unsigned char *data = nullptr;
    XGetWindowProperty(x.dpy(), game->window(), icon, 0, 1 << 16, False, XA_CARDINAL, &type, &format, &items, &after, &data);
    ASSERT_GT(items, 2u);
    EXPECT_EQ(reinterpret_cast<unsigned long *>(data)[0], 32u);
    EXPECT_EQ(reinterpret_cast<unsigned long *>(data)[1], 32u);
    XFree(data);
}

TEST_F(PlayTest, CtrlSShowsReadyAndTurnsTheFiguresToFace) {
    startBout();
    const QImage s = stage();
    EXPECT_EQ(Slot1P(s), Cell(0, 0));
    EXPECT_EQ(Slot2P(s), Cell(0, 1));
}

TEST_F(PlayTest, EitherShiftAloneAndRightArrowAreTheTriggers) {
    auto fouled = [&](const char *banner, int column, int row, bool left) {
        return game->waitFor([=](const QImage &s) {
            return Shows(s, banner) && (left ? Slot1P(s) : Slot2P(s)) == Cell(column, row);
        }, 2000) >= 0;
    };
    startBout();
    game->key("Shift_L");
    EXPECT_TRUE(fouled("fall1p.bmp", 7, 0, true)) << "left Shift alone is mask 1";
    startBout();
    game->keycode(62); // right Shift, clean through XTest
    EXPECT_TRUE(fouled("fall1p.bmp", 7, 0, true)) << "right Shift alone is mask 1";
    startBout();
    game->key("Right");
    EXPECT_TRUE(fouled("fall2p.bmp", 7, 1, false)) << "Right arrow is key 39";
    startBout();
    game->key("KP_Right");
    EXPECT_TRUE(fouled("fall2p.bmp", 7, 1, false)) << "the keypad's Right arrow too";
    startBout();
    game->key("ctrl+shift+a");
    game->key("a");
    QThread::msleep(200);
    EXPECT_TRUE(Shows(stage(), "ready.bmp")) << "other keys are no foul";
}

TEST_F(PlayTest, APersonAgainstAPersonBout) {
    game->key("ctrl+s");
    const qint64 kill = game->waitFor([](const QImage &s) { return Shows(s, "kill.bmp"); }, 6000);
    ASSERT_GE(kill, 0);
    EXPECT_GE(kill, 2900);
    EXPECT_LE(kill, 4050);
    game->key("Right");
    ASSERT_GE(game->waitFor([](const QImage &s) { return Shows(s, "bung.bmp") && Slot2P(s) == Cell(1, 1); }, 1000), 0);
    const qint64 win = game->waitFor([](const QImage &s) { return Shows(s, "win2p.bmp"); }, 3000);
    ASSERT_GE(win, 0);
    EXPECT_GE(win, 800);
    EXPECT_LE(win, 1300);
    const QImage s = stage();
    EXPECT_GE(DeathPose(Slot1P(s), 0), 2) << "1P lies dead";
    EXPECT_EQ(Slot2P(s), Cell(8, 1)) << "2P stands victorious";
}

TEST_F(PlayTest, AFoulBout) {
    startBout();
    QThread::msleep(500);
    game->key("shift");
    ASSERT_GE(game->waitFor([](const QImage &s) { return Shows(s, "fall1p.bmp"); }, 1000), 0);
    const QImage s = stage();
    EXPECT_EQ(Slot1P(s), Cell(7, 0));
    EXPECT_EQ(Slot2P(s), Cell(0, 1));
    QThread::msleep(4500);
    EXPECT_TRUE(Shows(stage(), "fall1p.bmp")) << "no KILL after a foul";
}

TEST_F(PlayTest, TheMachineWinsWhenNobodyPresses) {
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

TEST_F(PlayTest, F12ShowsTheScoreAndTheKeyboardComesBack) {
    startBout();
    game->key("Right"); // 2P fouls: 1 to 0
    ASSERT_GE(game->waitFor([](const QImage &s) { return Shows(s, "fall2p.bmp"); }, 1000), 0);
    game->key("F12");
    Window box = 0;
    for (int i = 0; i < 200 && !box; ++i) {
        QThread::msleep(10);
        box = game->findWindow("対戦成績");
    }
    ASSERT_NE(box, 0u) << "a window titled 対戦成績";
    game->xdotool({"windowfocus", "--sync", QString::number(box)});
    game->key("Return");
    for (int i = 0; i < 200 && game->findWindow("対戦成績"); ++i) QThread::msleep(10);
    EXPECT_EQ(game->findWindow("対戦成績"), 0u) << "Return closes it";
    game->focus();
    startBout();
    game->key("shift");
    EXPECT_GE(game->waitFor([](const QImage &s) { return Shows(s, "fall1p.bmp"); }, 1000), 0)
        << "the game window has the keyboard again";
}

TEST_F(PlayTest, CoveringAndUncoveringKeepsWhatWasDrawn) {
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
        Game game(x, env, TARVO_BINARY,
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
