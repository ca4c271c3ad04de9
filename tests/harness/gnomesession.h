// SPDX-License-Identifier: MIT
// GNOME's compositor for the tests that play the real game: mutter, nested
// in the tests' own Xvfb (it draws its whole desktop into one X window, at
// 0,0 and as large as the screen), with the game on Qt's Wayland platform.
// Mutter leaves title bars to its clients, so the game draws its own here.
// Keys and clicks go to mutter's X window through XTest, and pictures come
// from it, title bars included.
//
// Mutter has no list of windows to ask for: the one window on screen is
// what differs from the empty desktop, whatever its title. So the cases
// that open a second window (a box) and the scale-2 case are skipped here
// (whyNot); and the application id, which mutter does not show, is left to
// sway.
#pragma once

#include "compositor.h"
#include "xsession.h"

namespace tarvo::testing {

class Mutter : public Compositor {
public:
    Mutter() : Compositor("mutter", {"mutter", "dbus-run-session"}, "mutter and dbus-daemon") {
        if (!ok()) return;
        if (!x_.ok()) {
            error_ = x_.error();
            return;
        }
        // GNOME's settings from a file of our own: no animations, whose windows
        // shrinking away or growing in would be taken for the game's.
        QDir(dir()).mkpath("config/glib-2.0/settings");
        QFile settings(filePath("config/glib-2.0/settings/keyfile"));
        if (!settings.open(QIODevice::WriteOnly) ||
            settings.write("[org/gnome/desktop/interface]\nenable-animations=false\n") < 0) {
            error_ = "cannot write mutter's settings";
            return;
        }
        settings.close();
        QProcessEnvironment env;
        env.insert("DISPLAY", x_.display());
        env.insert("XDG_CONFIG_HOME", filePath("config"));
        env.insert("GSETTINGS_BACKEND", "keyfile");
        env.insert("MUTTER_DEBUG_DUMMY_MODE_SPECS", "640x480");
        socket_ = filePath("wayland-tarvo");
        const auto drawn = [&] {
            if (!QFile::exists(socket_) || !x_.findWindow("mutter")) return false;
            // Its pointer rests in the corner, out of the way; the keyboard
            // follows the pointer into mutter's window. The desktop is drawn
            // once the screen is no longer black and stays as it is for a
            // second (mutter 48 moves its cursor there only after a while).
            x_.xdotool({"mousemove", QString::number(kParked.x()), QString::number(kParked.y())});
            QImage first = x_.screen();
            for (int same = 0; same < 3 && first.pixel(320, 240) != 0xff000000u;) {
                QThread::msleep(400);
                const QImage now = x_.screen();
                same = now == first ? same + 1 : 0;
                first = now;
                if (same == 3) desktop_ = first;
            }
            return !desktop_.isNull();
        };
        // Mutter wants a session bus of its own.
        start({"dbus-run-session", "--", "mutter", "--nested", "--wayland", "--no-x11", "--wayland-display=wayland-tarvo"},
              env, drawn, 15000, 50, "mutter did not start");
    }
    ~Mutter() override { stop(); } // before the Xvfb it is shown in
    // Before a game starts, the last one's window is off the screen: mutter
    // puts the new window where the old one was, and a picture of the old
    // one that mutter has not yet redrawn (under load) passed for it.
    void prepare(QProcessEnvironment &env) const override {
        for (int i = 0; i < 250 && placeIn(x_.screen()).isValid(); ++i) QThread::msleep(20);
        Compositor::prepare(env);
    }
    void key(const QString &keys) override { x_.key(keys); }
    bool hasWindow(const QString &title) override { return place(title).isValid(); }
    QString appId(const QString &) override { return {}; }
    QImage grab(const QString &) override {
        const QImage now = x_.screen();
        const QRect r = placeIn(now);
        return r.isValid() ? now.copy(r) : QImage();
    }
    QImage screen() override { return x_.screen(); }
    void focus(const QString &) override {} // mutter gives a new window the keyboard
    void setScale(int) override {}
    int scale() const override { return 1; }
    QString whyNot(Ability a) const override {
        switch (a) {
        case SecondWindow:
            return "mutter has no list of windows to ask: a window here is what differs from the empty desktop, "
                   "so a box cannot be told from the game's window by its title";
        case Twice:
            return "this session shows the game at scale 1 only: it sets no scale on mutter's output or on the game";
        case AppId: return "mutter does not tell a window's application id";
        default: return Compositor::whyNot(a);
        }
    }
    QRect place(const QString &) override { return placeIn(x_.screen()); }
    void click(QPoint at, int count) override {
        x_.xdotool({"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "--repeat",
                    QString::number(count), "--delay", "80", "1"});
        x_.xdotool({"mousemove", "639", "479"});
        QThread::msleep(300);
    }

private:
    // Where the pointer waits between clicks, in the screen's corner. Mutter
    // may draw it into the picture there (it did under emulation), so the
    // corner does not count as a window.
    static constexpr QPoint kParked{639, 479};
    static bool underPointer(int x, int y) { return x > kParked.x() - 32 && y > kParked.y() - 32; }

    // The smallest rectangle holding every pixel unlike the empty desktop
    // (whose gradient mutter dithers anew wherever it redraws it).
    QRect placeIn(const QImage &now) const {
        QRect r;
        for (int y = 0; y < now.height() && y < desktop_.height(); ++y)
            for (int x = 0; x < now.width() && x < desktop_.width(); ++x) {
                if (underPointer(x, y)) continue;
                const QRgb a = now.pixel(x, y), b = desktop_.pixel(x, y);
                if (std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)) > 24)
                    r |= QRect(x, y, 1, 1);
            }
        return r;
    }
    mutable Xvfb x_; // pictures are taken in prepare() too
    QImage desktop_;
};

} // namespace tarvo::testing
