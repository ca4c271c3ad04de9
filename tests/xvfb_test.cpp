// The real tarvo on a private X server, played with real key events and
// judged by what the window shows.
#include <QCoreApplication>
#include <gtest/gtest.h>

#include "xsession.h"

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

} // namespace
} // namespace tarvo::testing

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
