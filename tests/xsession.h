// Drives the real game on a private X server (Xvfb): starts both, finds the
// window, sends real key events and reads back what the window shows.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QString>
#include <QThread>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <functional>
#include <optional>
#include <string>

namespace tarvo::testing {

// Windows come and go under the tests' feet (a box closing, a game ending):
// a request about one that has just gone is no reason to end the test run.
inline int IgnoreXErrors(Display *, XErrorEvent *) { return 0; }

class Xvfb {
public:
    Xvfb() {
        XSetErrorHandler(IgnoreXErrors);
        for (int n = 40 + int(QCoreApplication::applicationPid() % 200); n < 400 && !dpy_; n += 7) {
            if (QFile::exists(QString("/tmp/.X%1-lock").arg(n))) continue;
            display_ = QString(":%1").arg(n);
            server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            server_.setStandardOutputFile(QProcess::nullDevice());
            server_.start("Xvfb", {display_, "-screen", "0", "640x480x24", "-nolisten", "tcp", "-noreset"});
            if (!server_.waitForStarted(5000)) continue;
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < 8000 && server_.state() == QProcess::Running) {
                if ((dpy_ = XOpenDisplay(display_.toLatin1().constData()))) break;
                QThread::msleep(30);
            }
            if (!dpy_) { server_.kill(); server_.waitForFinished(); }
        }
    }
    ~Xvfb() {
        if (dpy_) XCloseDisplay(dpy_);
        server_.terminate();
        if (!server_.waitForFinished(3000)) server_.kill();
    }
    Display *dpy() const { return dpy_; }
    const QString &display() const { return display_; }

private:
    QString display_;
    QProcess server_;
    Display *dpy_ = nullptr;
};

// The game, running on `x`.
class Game {
public:
    explicit Game(Xvfb &x, QProcessEnvironment env = QProcessEnvironment::systemEnvironment(),
                  const QString &program = TARVO_BINARY, const QStringList &prefix = {}, int startMs = 20000)
        : x_(x) {
        env.insert("DISPLAY", x.display());
        env.insert("QT_QPA_PLATFORM", "xcb");
        if (!env.contains("PULSE_SERVER")) env.insert("PULSE_SERVER", "unix:/nonexistent/tarvo-test");
        env_ = env;
        proc_.setProcessEnvironment(env);
        proc_.setProcessChannelMode(QProcess::MergedChannels);
        if (prefix.isEmpty()) proc_.start(program, {});
        else proc_.start(prefix.first(), prefix.mid(1) + QStringList{program});
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < startMs && proc_.state() != QProcess::NotRunning) {
            if ((win_ = findWindow("TARVO"))) break;
            QThread::msleep(20);
        }
        if (win_) {
            QThread::msleep(150);
            focus();
        }
    }
    ~Game() {
        if (proc_.state() != QProcess::NotRunning) {
            proc_.terminate();
            if (!proc_.waitForFinished(5000)) proc_.kill();
        }
    }
    bool ok() const { return win_ != 0; }
    Window window() const { return win_; }
    QProcess &process() { return proc_; }
    QString output() { return QString::fromLocal8Bit(proc_.readAll()); }

    // A top-level window by its exact title, or 0.
    Window findWindow(const char *title) const {
        Window root = DefaultRootWindow(x_.dpy()), parent, *children = nullptr;
        unsigned n = 0;
        Window found = 0;
        XSync(x_.dpy(), False);
        if (!XQueryTree(x_.dpy(), root, &root, &parent, &children, &n)) return 0;
        for (unsigned i = 0; i < n && !found; ++i) {
            XWindowAttributes a;
            if (titleOf(children[i]) == title && XGetWindowAttributes(x_.dpy(), children[i], &a) &&
                a.map_state == IsViewable)
                found = children[i];
        }
        if (children) XFree(children);
        return found;
    }

    // _NET_WM_NAME (UTF-8), else WM_NAME.
    std::string titleOf(Window w) const {
        Atom net = XInternAtom(x_.dpy(), "_NET_WM_NAME", False), utf8 = XInternAtom(x_.dpy(), "UTF8_STRING", False);
        Atom type;
        int format;
        unsigned long items = 0, after;
        unsigned char *data = nullptr;
        std::string title;
        if (XGetWindowProperty(x_.dpy(), w, net, 0, 1024, False, utf8, &type, &format, &items, &after, &data) == Success &&
            data) {
            title.assign(reinterpret_cast<char *>(data), items);
            XFree(data);
            return title;
        }
        char *name = nullptr;
        if (XFetchName(x_.dpy(), w, &name) && name) {
            title = name;
            XFree(name);
        }
        return title;
    }

    void focus() { xdotool({"windowfocus", "--sync", QString::number(win_)}); }

    // Real key presses through xdotool (XTest underneath), e.g. "ctrl+s".
    void key(const QString &keys) { xdotool({"key", "--delay", "0", keys}); }
    int xdotool(const QStringList &args) {
        QProcess p;
        p.setProcessEnvironment(env_);
        p.start("xdotool", args);
        p.waitForFinished(10000);
        return p.exitCode();
    }
    // A key by its keycode straight through XTest (62 is right Shift).
    void keycode(unsigned code, bool press = true, bool release = true) {
        if (press) XTestFakeKeyEvent(x_.dpy(), code, True, CurrentTime);
        if (release) XTestFakeKeyEvent(x_.dpy(), code, False, CurrentTime);
        XFlush(x_.dpy());
    }

    // The window as the X server has it.
    QImage grabWindow() const {
        XWindowAttributes a;
        if (!XGetWindowAttributes(x_.dpy(), win_, &a)) return {};
        XImage *img = XGetImage(x_.dpy(), win_, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
        if (!img) return {};
        QImage out(a.width, a.height, QImage::Format_RGB32);
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x) out.setPixel(x, y, 0xff000000u | (XGetPixel(img, x, y) & 0xffffff));
        XDestroyImage(img);
        return out;
    }
    // The 200 x 100 client area: the bottom of the window, under the menu bar.
    QImage stage() const {
        const QImage w = grabWindow();
        return w.isNull() ? w : w.copy(0, w.height() - 100, 200, 100);
    }

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
    Xvfb &x_;
    QProcess proc_;
    QProcessEnvironment env_;
    Window win_ = 0;
};

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

} // namespace tarvo::testing
