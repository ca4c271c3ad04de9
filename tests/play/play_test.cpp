// SPDX-License-Identifier: MIT
// The real tarvo on a display server of its own, played with real key events
// and judged by what the window shows on screen. The same cases run under X11
// (Xvfb), Wayland (sway), GNOME (mutter), for the Windows program under Wine
// on Xvfb, and for the page in a browser: TARVO_SESSION=x11, wayland, gnome,
// wine or web picks the environment (harness/environments.h), whose display
// is started once for all of them (Wine: TARVO_WINDOWS_EXE is the program,
// TARVO_WINEPREFIX its prefix; web: TARVO_BROWSER the browser, TARVO_WEB_PAGE
// the page). A case that needs what an environment cannot do is skipped
// there, saying why. With TARVO_SCREENSHOTS=DIR, each case leaves a picture
// of the whole screen there at its end.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

// Qt's network headers before X11's, whose macros (None) they cannot take.
#include "environments.h"

#include "likeness.h"
#include "pulse_server.h"
#include "ready_at_twice.h"
#include "sound/sound_ids.h"

namespace tarvo::testing {
namespace {

class PlayTest : public ::testing::Test {
protected:
    // Where the game is shown, and what is started there.
    static inline std::unique_ptr<Session> session;
    static inline std::unique_ptr<Launcher> launcher;
    static void SetUpTestSuite() {
        // x11 when unset; web is the page in the browser TARVO_BROWSER names.
        QString name = qEnvironmentVariable("TARVO_SESSION", "x11");
        if (name == "web") name = qEnvironmentVariable("TARVO_BROWSER", "chromium");
        Environment e = EnvironmentNamed(name, {TARVO_BINARY, qEnvironmentVariable("TARVO_WINDOWS_EXE"),
                                                qEnvironmentVariable("TARVO_WINEPREFIX"),
                                                qEnvironmentVariable("TARVO_WEB_PAGE")});
        session = std::move(e.session);
        launcher = std::move(e.launcher);
    }
    static std::unique_ptr<Game> makeGame(QProcessEnvironment env = QProcessEnvironment::systemEnvironment()) {
        return std::make_unique<Game>(*session, *launcher, env);
    }
    static void TearDownTestSuite() {
        launcher.reset();
        session.reset();
    }
    // Whether the session and what is started there can do `a`; where they
    // cannot, why not (a case skipped for it says so).
    static std::string whyNot(Session::Ability a) {
        const QString why = session->whyNot(a);
        return (why.isEmpty() ? launcher->whyNot(a) : why).toStdString();
    }
    static bool can(Session::Ability a) { return whyNot(a).empty(); }

    std::unique_ptr<Game> game;
    void SetUp() override {
        ASSERT_TRUE(session->ok()) << session->error().toStdString();
        ASSERT_TRUE(launcher->ok()) << launcher->error().toStdString();
        game = makeGame();
        ASSERT_TRUE(game->ok()) << "no window with the two figures at start-up\n" << game->output().toStdString();
    }
    void TearDown() override {
        keepScreen("");
        game.reset();
        session->setScale(1);
    }
    QImage stage() { return game->stage(); }
    // With TARVO_SCREENSHOTS set, the screen as it is now, for a person to look at.
    void keepScreen(const QString &what) {
        const QString dir = qEnvironmentVariable("TARVO_SCREENSHOTS");
        if (dir.isEmpty()) return;
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        session->screen().save(QString("%1/%2-%3%4.png").arg(dir, qgetenv("TARVO_SESSION"), info->name(), what));
    }
    void startBout() { ASSERT_TRUE(StartBout(*game)) << "Ctrl+S shows Ready?"; }
    static inline const int late = Late(); // under emulation (session.h)
};

TEST_F(PlayTest, TheWindowAsAPlayerFirstSeesIt) {
    const QImage s = stage();
    QImage white(200, 50, QImage::Format_RGB32);
    white.fill(Qt::white);
    EXPECT_EQ(BannerOf(s), white) << "the banner strip is white";
    EXPECT_EQ(Slot1P(s), Cell(0, 1));
    EXPECT_EQ(Slot2P(s), Cell(0, 0));
    EXPECT_GT(game->stageTop(), 10) << "a menu bar above the 200 x 100 stage";
    // The launcher entry is io.tarvo.tarvo.desktop, with StartupWMClass=TARVO for X11.
    if (can(Session::AppId)) { // mutter does not tell; Wine names the program
        EXPECT_EQ(session->appId("TARVO"), qgetenv("TARVO_SESSION") == "wayland" ? "io.tarvo.tarvo" : "TARVO");
    }
    // Where the window is larger than the stage, the rest is white too.
    const QImage w = game->window();
    for (int y = game->stageTop(); y < w.height(); ++y)
        for (int x = y < game->stageTop() + 100 ? 200 : 0; x < w.width(); ++x)
            ASSERT_EQ(w.pixel(x, y), 0xffffffffu) << x << "," << y;
}

TEST_F(PlayTest, CtrlSShowsReadyAndTurnsTheFiguresToFace) {
    startBout();
    const QImage s = stage();
    EXPECT_EQ(Slot1P(s), Cell(0, 0));
    EXPECT_EQ(Slot2P(s), Cell(0, 1));
}

TEST_F(PlayTest, EitherShiftAloneAndRightArrowAreTheTriggers) {
    // Each a foul during Ready?: the one who fired kneels (facing the other) under his FALL banner.
    const struct {
        const char *key, *why;
        bool onePs;
    } triggers[] = {{"Shift_L", "left Shift alone is mask 1", true},
                    {"Shift_R", "right Shift alone is mask 1", true},
                    {"Right", "Right arrow is key 39", false},
                    {"KP_Right", "the keypad's Right arrow too", false}};
    for (const auto &t : triggers) {
        startBout();
        game->key(t.key);
        EXPECT_GE(game->waitFor([&](const QImage &s) {
            return t.onePs ? Shows(s, "fall1p.bmp") && Slot1P(s) == Cell(7, 0)
                           : Shows(s, "fall2p.bmp") && Slot2P(s) == Cell(7, 1);
        }, 2000 + late), 0) << t.why;
    }
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
    EXPECT_LE(kill, 4050 + late);
    QElapsedTimer sinceShot; // from before the key: a late frame only makes it longer
    sinceShot.start();
    game->key("Right");
    ASSERT_GE(game->waitFor([](const QImage &s) { return Shows(s, "bung.bmp") && Slot2P(s) == Cell(1, 1); }, 1000 + late), 0);
    ASSERT_GE(game->waitFor([](const QImage &s) { return Shows(s, "win2p.bmp"); }, 3000 + late), 0);
    const qint64 win = sinceShot.elapsed();
    EXPECT_GE(win, 800);
    EXPECT_LE(win, 1300 + late);
    const QImage s = stage();
    EXPECT_GE(DeathPose(Slot1P(s), 0), 2) << "1P lies dead";
    EXPECT_EQ(Slot2P(s), Cell(8, 1)) << "2P stands victorious";
}

TEST_F(PlayTest, AFoulBout) {
    startBout();
    QThread::msleep(500);
    game->key("shift");
    ASSERT_GE(game->waitFor([](const QImage &s) { return Shows(s, "fall1p.bmp"); }, 1000 + late), 0);
    const QImage s = stage();
    EXPECT_EQ(Slot1P(s), Cell(7, 0));
    EXPECT_EQ(Slot2P(s), Cell(0, 1));
    QThread::msleep(4500);
    EXPECT_TRUE(Shows(stage(), "fall1p.bmp")) << "no KILL after a foul";
}

TEST_F(PlayTest, F12ShowsTheScoreAndTheKeyboardComesBack) {
    if (!can(Session::SecondWindow)) GTEST_SKIP() << whyNot(Session::SecondWindow);
    startBout();
    game->key("Right"); // 2P fouls: 1 to 0
    ASSERT_GE(game->waitFor([](const QImage &s) { return Shows(s, "fall2p.bmp"); }, 1000 + late), 0);
    game->key("F12");
    const QString box = "対戦成績";
    for (int i = 0; i < 200 && !session->hasWindow(box); ++i) QThread::msleep(10);
    ASSERT_TRUE(session->hasWindow(box)) << "a window titled 対戦成績";
    EXPECT_FALSE(session->grab(box).isNull()) << "the box is on screen";
    keepScreen("-box");
    session->focus(box);
    game->key("Return");
    for (int i = 0; i < 200 && session->hasWindow(box); ++i) QThread::msleep(10);
    EXPECT_FALSE(session->hasWindow(box)) << "Return closes it";
    session->focus("TARVO");
    startBout();
    game->key("shift");
    EXPECT_GE(game->waitFor([](const QImage &s) { return Shows(s, "fall1p.bmp"); }, 1000 + late), 0)
        << "the game window has the keyboard again";
}

// What a player hears, on a sound server of the test's own: a foul's sound,
// then nothing while the next bout starts and counts down and 1P fires, then
// the result's sound, each one of the sounds that go with it.
TEST_F(PlayTest, AFoulAndAResultAreEachHeard) {
    if (!can(Session::Heard)) GTEST_SKIP() << whyNot(Session::Heard);
    SoundServer server(SoundServer::Kind::PulseAudio);
    ASSERT_TRUE(server.ok()) << server.log().toStdString();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PULSE_SERVER", server.address());
    game.reset(); // the first game's window is gone before the next one is looked for
    game = makeGame(env);
    ASSERT_TRUE(game->ok()) << game->output().toStdString();
    QElapsedTimer clock;
    clock.start();
    SoundServer::Recording rec(server, clock);
    ASSERT_TRUE(rec.waitUntilDelivering()) << "the monitor records nothing";
    startBout();
    // 2P fires a moment into Ready?, as a hasty player does: by then an
    // audio output that the key starting the bout woke (a browser's) has
    // settled, past the skips of its first moments.
    QThread::msleep(700);
    const long beforeFoul = rec.samplesSoFar();
    game->key("Right");
    ASSERT_GE(game->waitFor([](const QImage &s) { return Shows(s, "fall2p.bmp"); }, 1000 + late), 0);
    QThread::msleep(2500); // the longest foul sound lasts 1.4 s
    const long beforeBout = rec.samplesSoFar();
    game->key("ctrl+s");
    ASSERT_GE(game->waitFor([](const QImage &s) { return Shows(s, "kill.bmp"); }, 6000 + late), 0);
    game->key("shift");
    ASSERT_GE(game->waitFor([](const QImage &s) { return Shows(s, "win1p.bmp"); }, 3000 + late), 0);
    QThread::msleep(2500); // the longest result sound lasts 1.56 s
    const Bytes r = rec.stop();
    // The best likeness of the first sound heard in [from, to) with any of `ids`.
    const long skip = long(session->skipsAtStartMs()) * 22050 / 1000;
    const auto heard = [&](long from, long to, std::vector<int> ids) {
        const long first = AudibleSpan(r, 3, from, to).first;
        const Bytes part(r.begin(), r.begin() + to); // nothing of what comes after
        double best = -1;
        if (first >= 0)
            for (int id : ids) best = std::max(best, bestLikeness(part, first, sound(id), 4000, skip));
        return best;
    };
    EXPECT_GT(heard(beforeFoul, beforeBout, {kSoundSadTrombone, kSoundSlideWhistle, kSoundBuzzer}), 0.8) << "a foul sound";
    EXPECT_GT(heard(beforeBout, long(r.size()), {kSoundHeadBlownOff, kSoundBodyHit, kSoundBodyHitRare, kSoundFaceHit,
                                                 kSoundElectricBurst, kSoundThrownBack}), 0.8)
        << "the first sound after the foul's is a result sound";
}

// Where the game draws its own title bar (GNOME): the icon, the caption and a
// close button. Clicks and double clicks anywhere else on it, and mutter's
// maximize shortcuts, leave the window where it is, at its size.
TEST_F(PlayTest, TheTitleBarOnlyMovesAndCloses) {
    if (!can(Session::OwnTitleBar)) GTEST_SKIP() << whyNot(Session::OwnTitleBar);
    const QRect at = session->place("TARVO");
    ASSERT_TRUE(at.isValid()) << "the session tells where the window is";
    const QImage w = game->window();
    const QImage icon = QImage(QString(TARVO_ASSETS_DIR) + "/icon.png")
                            .convertToFormat(QImage::Format_ARGB32_Premultiplied)
                            .scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    int opaque = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            if (qAlpha(icon.pixel(x, y)) < 255) continue;
            ++opaque;
            ASSERT_EQ(w.pixel(4 + x, 4 + y), icon.pixel(x, y)) << "the icon at the left, pixel " << x << "," << y;
        }
    EXPECT_GT(opaque, 100);
    auto dark = [&](int x0, int x1) {
        int n = 0;
        for (int y = 0; y < 23; ++y)
            for (int x = x0; x < x1; ++x) n += qGray(w.pixel(x, y)) < 100;
        return n;
    };
    EXPECT_GT(dark(24, w.width() - 24), 30) << "a caption";
    EXPECT_GT(dark(w.width() - 24, w.width()), 10) << "a close button at the right";
    for (int x = 2; x < w.width() - 24; x += 14)
        for (int clicks : {1, 2}) {
            session->click(at.topLeft() + QPoint(x, 12), clicks);
            ASSERT_EQ(session->place("TARVO"), at) << clicks << " click(s) at x " << x;
        }
    for (const char *shortcut : {"super+Up", "alt+F10"}) {
        game->key(shortcut);
        QThread::msleep(500);
        EXPECT_EQ(session->place("TARVO"), at) << shortcut;
    }
    EXPECT_TRUE(StartBout(*game)) << "still the game";
    session->click(at.topLeft() + QPoint(w.width() - 12, 12), 1);
    EXPECT_TRUE(game->process().waitForFinished(3000 + late)) << "the close button ends the game";
}

TEST_F(PlayTest, AtTwiceTheScaleEveryPictureIsDoubledPixelForPixel) {
    if (!can(Session::Twice)) GTEST_SKIP() << whyNot(Session::Twice);
    game.reset();
    session->setScale(2);
    game = makeGame();
    ASSERT_TRUE(game->ok()) << "no window with the two figures at twice the size\n" << game->output().toStdString();
    startBout();
    EXPECT_TRUE(IsReadyStageAtTwice(game->deviceStage()));
}

} // namespace
} // namespace tarvo::testing
