// SPDX-License-Identifier: MIT
// What the tests that play the real game need, on two axes, so that the same
// test bodies run wherever the game does:
//  - where the game is shown, a Session: a display with a keyboard and a way
//    to look at the screen. X11 (Xvfb, XTest: xsession.h), Wayland (sway, a
//    virtual keyboard, grim: wlsession.h), GNOME (mutter nested in Xvfb:
//    gnomesession.h; the two compositors start alike: compositor.h) and a
//    browser (Chromium, Firefox or WebKitGTK through their drivers:
//    websession.h);
//  - what is started there, a Launcher: the Linux program (NativeProgram,
//    below), the Windows program under Wine on Xvfb (WineProgram:
//    wineprogram.h), the page in the browser (Page: websession.h).
// Each environment the game is played in is one of each, named in one table
// (environments.h). What a case needs that not every environment has, it
// asks for (can()), and it is skipped where that is missing, saying why
// (whyNot()).
#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QThread>

#include <functional>
#include <memory>

namespace tarvo::testing {

class Launcher;

// A display server of the test's own (or a browser), with a keyboard and a
// way to look at the screen.
class Session {
public:
    // What a case may need that not every environment has.
    enum Ability {
        OwnTitleBar,  // the game draws its window's title bar itself
        SecondWindow, // a box beside the game's window is told from it by its title
        Twice,        // the game shown at twice the scale, its stage in exactly twice the pixels
        AppId,        // the desktop tells what it matches the window with its launcher entry by
        Heard,        // what the game plays is recorded and judged here
        Touch,        // taps reach the page as touch events
        NarrowPage,   // the page can be as narrow as 240 pixels
        Installable   // the browser tells whether the page can be installed
    };

    virtual ~Session() = default;
    // Whether the server runs and takes key presses; why not, if it does not.
    virtual bool ok() const = 0;
    virtual QString error() const { return {}; }
    // Points a program's environment at this server.
    virtual void prepare(QProcessEnvironment &env) const = 0;
    // Real key presses, as xdotool names them: "ctrl+s", "shift", "Shift_R", "Right", "F12"...
    // Each key goes down in order and comes up in reverse order.
    virtual void key(const QString &keys) = 0;
    // Whether a window with exactly this title is on screen.
    virtual bool hasWindow(const QString &title) = 0;
    // The inside of that window as it is on screen (menu bar included, no
    // frame), in device pixels; null when there is no such window.
    virtual QImage grab(const QString &title) = 0;
    // The whole screen, in device pixels.
    virtual QImage screen() = 0;
    // What the desktop matches that window with its launcher entry by: the
    // application id under Wayland, the window class under X11.
    virtual QString appId(const QString &title) = 0;
    // Gives that window the keyboard, where the server does not do it itself.
    virtual void focus(const QString &title) = 0;
    // The scale at which the next programs started run (1 or 2).
    virtual void setScale(int scale) = 0;
    virtual int scale() const = 0;
    // Where that window's inside lies on the screen; null where the session
    // cannot tell.
    virtual QRect place(const QString &) { return {}; }
    // `count` left clicks in a row (2: a double click) at a point of the
    // screen; nothing where the session has no pointer.
    virtual void click(QPoint, int) {}
    // How long the start of a sound may skip where the sound output wakes
    // for it; what is heard is compared from there on.
    virtual int skipsAtStartMs() const { return 0; }
    // Empty where this session can do `a`; else why not, as a case skipped
    // for it says.
    virtual QString whyNot(Ability a) const = 0;
    bool can(Ability a) const { return whyNot(a).isEmpty(); }

protected:
    // What the sessions that are no browser answer for a page's abilities
    // (and for the others, empty).
    static QString NoBrowser(Ability a) {
        return a == Touch || a == NarrowPage || a == Installable ? "only a page in a browser has that" : QString();
    }
};

// What is started on a session for a game.
class Launcher {
public:
    virtual ~Launcher() = default;
    // Whether it can start the game; why not, if it cannot.
    virtual bool ok() const { return true; }
    virtual QString error() const { return {}; }
    // Starts the game in `proc` with `env` (already pointed at the session);
    // false when it could not.
    virtual bool start(QProcess &proc, const QProcessEnvironment &env) = 0;
    // Ends what start() started, before its process is ended.
    virtual void stop() {}
    // How long the game may take to show its window.
    virtual int startMs() const = 0;
    // Empty where what is started can do `a` (on a session that can); else
    // why not.
    virtual QString whyNot(Session::Ability) const { return {}; }
    // What starts another program of the same platform there the same way
    // (beside the game, as the benchmarks' floors are).
    virtual std::unique_ptr<Launcher> another(const QString &program) const = 0;
};

// A program for this machine: the Linux game, after `prefix` (strace,
// valgrind) if any.
class NativeProgram : public Launcher {
public:
    explicit NativeProgram(const QString &program, const QStringList &prefix = {}, int startMs = 20000)
        : program_(program), prefix_(prefix), startMs_(startMs) {}
    bool start(QProcess &proc, const QProcessEnvironment &env) override {
        proc.setProcessEnvironment(env);
        proc.setProcessChannelMode(QProcess::MergedChannels);
        if (prefix_.isEmpty()) proc.start(program_, {});
        else proc.start(prefix_.first(), prefix_.mid(1) + QStringList{program_});
        return true;
    }
    int startMs() const override { return startMs_; }
    std::unique_ptr<Launcher> another(const QString &program) const override {
        return std::make_unique<NativeProgram>(program, prefix_, startMs_);
    }

private:
    QString program_;
    QStringList prefix_;
    int startMs_;
};

// Under emulation (qemu-user runs the game, the compositor and its software
// renderer) a frame can reach the screen a second or more later than on a
// machine of its own: with GNOME's mutter under qemu-aarch64, KILL showed
// 4.6 and 5.1 s after Ctrl+S. The checks of how soon something shows allow
// this much more there (./test tells the tests, TARVO_EMULATOR); what shows
// is the same.
inline int Late() { return qEnvironmentVariableIsSet("TARVO_EMULATOR") ? 2000 : 0; }

inline QImage Asset(const QString &name) {
    return QImage(QString(TARVO_ASSETS_DIR) + "/" + name).convertToFormat(QImage::Format_RGB32);
}
inline QImage Cell(int column, int row) { return Asset("sprites.bmp").copy(50 * column, 50 * row, 50, 50); }
inline QImage BannerOf(const QImage &stage) { return stage.copy(0, 0, 200, 50); }
inline QImage Slot1P(const QImage &stage) { return stage.copy(0, 50, 50, 50); }
inline QImage Slot2P(const QImage &stage) { return stage.copy(150, 50, 50, 50); }
inline bool Shows(const QImage &stage, const char *banner) { return BannerOf(stage) == Asset(banner); }
// The death pose column (2..6) that a slot shows in `row`, or -1.
inline int DeathPose(const QImage &slot, int row) {
    for (int c = 2; c <= 6; ++c)
        if (slot == Cell(c, row)) return c;
    return -1;
}
// `img` made `n` times smaller by taking one pixel of each n x n block.
inline QImage Shrunk(const QImage &img, int n) {
    if (n == 1 || img.isNull()) return img;
    QImage out(img.width() / n, img.height() / n, QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) out.setPixel(x, y, img.pixel(n * x, n * y));
    return out;
}

#ifdef TARVO_BINARY
// The game, running on a session. It finds the stage in its window by the two
// figures that stand there at start-up: the stage keeps to the top left of the
// window under the menu bar, whatever size the window is given.
class Game {
public:
    // What `launcher` starts, on `s`.
    Game(Session &s, Launcher &launcher, QProcessEnvironment env = QProcessEnvironment::systemEnvironment())
        : s_(s), launcher_(launcher) {
        start(std::move(env), launcher.startMs());
    }
    Game(Session &s, std::unique_ptr<Launcher> launcher, QProcessEnvironment env = QProcessEnvironment::systemEnvironment())
        : s_(s), owned_(std::move(launcher)), launcher_(*owned_) {
        start(std::move(env), launcher_.startMs());
    }
    // The Linux game on `s`, after `prefix` (strace, valgrind) if any.
    explicit Game(Session &s, QProcessEnvironment env = QProcessEnvironment::systemEnvironment(),
                  const QStringList &prefix = {}, int startMs = 20000)
        : Game(s, std::make_unique<NativeProgram>(TARVO_BINARY, prefix, startMs), std::move(env)) {}
    ~Game() {
        launcher_.stop();
        if (proc_.state() != QProcess::NotRunning) {
            proc_.terminate();
            if (!proc_.waitForFinished(5000)) proc_.kill();
        }
    }

    // Whether the window showed up with its two figures.
    bool ok() const { return top_ >= 0; }
    QProcess &process() { return proc_; }
    QString output() { return QString::fromLocal8Bit(proc_.readAll()); }
    void key(const QString &keys) { s_.key(keys); }

    // The window, and the 200 x 100 stage in it, in device pixels.
    QImage window() const { return s_.grab("TARVO"); }
    QImage deviceStage() const {
        const QImage w = window();
        const int n = s_.scale();
        return w.isNull() || top_ < 0 ? QImage() : w.copy(0, top_, 200 * n, 100 * n);
    }
    // The stage in its own pixels.
    QImage stage() const { return Shrunk(deviceStage(), s_.scale()); }
    // Where the stage begins below the window's top edge, in device pixels.
    int stageTop() const { return top_; }

    // Polls the stage until `want` holds or `ms` pass; the time it took, or -1.
    qint64 waitFor(const std::function<bool(const QImage &)> &want, int ms) const {
        QElapsedTimer clock;
        clock.start();
        do {
            if (want(stage())) return clock.elapsed();
            QThread::msleep(5);
        } while (clock.elapsed() < ms);
        return -1;
    }

private:
    void start(QProcessEnvironment env, int startMs) {
        s_.prepare(env);
        if (!env.contains("PULSE_SERVER")) env.insert("PULSE_SERVER", "unix:/nonexistent/tarvo-test");
        if (!launcher_.start(proc_, env)) return;
        const int n = s_.scale();
        const QImage left = Cell(0, 1).scaled(50 * n, 50 * n), right = Cell(0, 0).scaled(50 * n, 50 * n);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < startMs && proc_.state() != QProcess::NotRunning && top_ < 0) {
            const QImage w = s_.grab("TARVO");
            for (int y = 0; y + 100 * n <= w.height() && w.width() >= 200 * n && top_ < 0; ++y)
                if (w.copy(0, y + 50 * n, 50 * n, 50 * n) == left && w.copy(150 * n, y + 50 * n, 50 * n, 50 * n) == right)
                    top_ = y;
            if (top_ < 0) QThread::msleep(20);
        }
        if (top_ >= 0) {
            QThread::msleep(150);
            s_.focus("TARVO");
        }
    }

    Session &s_;
    std::unique_ptr<Launcher> owned_; // the launcher, where the game was given it
    Launcher &launcher_;
    QProcess proc_;
    int top_ = -1;
};

// Ctrl+S, then the Ready? banner within two seconds (more under emulation).
inline bool StartBout(Game &game) {
    game.key("ctrl+s");
    return game.waitFor([](const QImage &s) { return Shows(s, "ready.bmp"); }, 2000 + Late()) >= 0;
}
#endif

} // namespace tarvo::testing
