// SPDX-License-Identifier: MIT
// A private X server (Xvfb) for the tests that play the real game: real key
// events through XTest, and what a window shows read back from the server.
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

#include "process.h"
#include "session.h"

namespace tarvo::testing {

// Windows come and go under the tests' feet (a box closing, a game ending):
// a request about one that has just gone is no reason to end the test run.
inline int IgnoreXErrors(Display *, XErrorEvent *) { return 0; }

// The tests' own X server (Xvfb). It has no window manager: the tests hand
// the keyboard to a window themselves.
class Xvfb : public Session {
public:
    Xvfb() {
        XSetErrorHandler(IgnoreXErrors);
        for (int n = 40 + int(QCoreApplication::applicationPid() % 200); n < 400 && !dpy_; n += 7) {
            if (QFile::exists(QString("/tmp/.X%1-lock").arg(n))) continue;
            display_ = QString(":%1").arg(n);
            server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            server_.setStandardOutputFile(QProcess::nullDevice());
            // Only the socket file in this machine's /tmp, no abstract socket:
            // those are shared by every root on the machine, and a client
            // would reach another root's server of the same number (a suite
            // running in a Debian root beside this one).
            server_.start("Xvfb", {display_, "-screen", "0", "640x480x24", "-nolisten", "tcp", "-nolisten", "local", "-noreset"});
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
    ~Xvfb() override {
        if (dpy_) XCloseDisplay(dpy_);
        server_.terminate();
        if (!server_.waitForFinished(3000)) server_.kill();
    }
    Display *dpy() const { return dpy_; }
    const QString &display() const { return display_; }

    bool ok() const override { return dpy_ != nullptr; }
    QString error() const override { return "Xvfb did not start: " + server_.errorString(); }
    void prepare(QProcessEnvironment &env) const override {
        env.insert("DISPLAY", display_);
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.remove("WAYLAND_DISPLAY");
        if (scale_ != 1) env.insert("QT_SCALE_FACTOR", QString::number(scale_));
    }
    // Through xdotool (XTest underneath); right Shift straight through XTest.
    void key(const QString &keys) override {
        if (keys == "Shift_R") {
            keycode(62);
            return;
        }
        xdotool({"key", "--delay", "0", keys});
    }
    bool hasWindow(const QString &title) override { return findWindow(title.toStdString()) != 0; }
    QString appId(const QString &title) override {
        XClassHint hint{};
        if (!XGetClassHint(dpy_, findWindow(title.toStdString()), &hint)) return {};
        const QString cls = QString::fromLatin1(hint.res_class);
        XFree(hint.res_name);
        XFree(hint.res_class);
        return cls;
    }
    QImage grab(const QString &title) override { return grabWindow(findWindow(title.toStdString())); }
    QImage screen() override { return grabWindow(dpy_ ? DefaultRootWindow(dpy_) : 0); }
    void focus(const QString &title) override {
        if (Window w = findWindow(title.toStdString())) xdotool({"windowfocus", "--sync", QString::number(w)});
    }
    void setScale(int scale) override { scale_ = scale; }
    int scale() const override { return scale_; }
    QString whyNot(Ability a) const override {
        return a == OwnTitleBar ? "under X11 the window manager draws a window's title bar, not the game (and the "
                                  "tests' Xvfb has none)"
                                : NoBrowser(a);
    }

    // xdotool's exit code; what it printed goes to `output`, if given.
    int xdotool(const QStringList &args, QByteArray *output = nullptr) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        prepare(env);
        return Run("xdotool", args, env, 10000, output);
    }
    // A key by its keycode straight through XTest (62 is right Shift).
    void keycode(unsigned code, bool press = true, bool release = true) {
        if (press) XTestFakeKeyEvent(dpy_, code, True, CurrentTime);
        if (release) XTestFakeKeyEvent(dpy_, code, False, CurrentTime);
        XFlush(dpy_);
    }

    // A top-level window by its exact title, or 0.
    Window findWindow(const std::string &title) const {
        if (!dpy_) return 0;
        Window root = DefaultRootWindow(dpy_), parent, *children = nullptr;
        unsigned n = 0;
        Window found = 0;
        XSync(dpy_, False);
        if (!XQueryTree(dpy_, root, &root, &parent, &children, &n)) return 0;
        for (unsigned i = 0; i < n && !found; ++i) {
            XWindowAttributes a;
            if (titleOf(children[i]) == title && XGetWindowAttributes(dpy_, children[i], &a) &&
                a.map_state == IsViewable)
                found = children[i];
        }
        if (children) XFree(children);
        return found;
    }

    // _NET_WM_NAME (UTF-8), else WM_NAME.
    std::string titleOf(Window w) const {
        Atom net = XInternAtom(dpy_, "_NET_WM_NAME", False), utf8 = XInternAtom(dpy_, "UTF8_STRING", False);
        Atom type;
        int format;
        unsigned long items = 0, after;
        unsigned char *data = nullptr;
        std::string title;
        if (XGetWindowProperty(dpy_, w, net, 0, 1024, False, utf8, &type, &format, &items, &after, &data) == Success &&
            data) {
            title.assign(reinterpret_cast<char *>(data), items);
            XFree(data);
            return title;
        }
        char *name = nullptr;
        if (XFetchName(dpy_, w, &name) && name) {
            title = name;
            XFree(name);
        }
        return title;
    }

    // A window as the X server has it.
    QImage grabWindow(Window win) const {
        XWindowAttributes a;
        if (!win || !XGetWindowAttributes(dpy_, win, &a)) return {};
        XImage *img = XGetImage(dpy_, win, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
        if (!img) return {};
        QImage out(a.width, a.height, QImage::Format_RGB32);
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x) out.setPixel(x, y, 0xff000000u | (XGetPixel(img, x, y) & 0xffffff));
        XDestroyImage(img);
        return out;
    }

private:
    QString display_;
    QProcess server_;
    Display *dpy_ = nullptr;
    int scale_ = 1;
};

} // namespace tarvo::testing
