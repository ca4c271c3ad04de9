// SPDX-License-Identifier: MIT
// Every environment the game is played in, by name, each written once: where
// it is shown (a Session) and what is started there (a Launcher). The play
// cases run in the one TARVO_SESSION names, the benchmarks measure in theirs;
// a new platform is a row of the table below (and its ctest), with no line
// of a test to change.
#pragma once

// Qt's network headers before X11's, whose macros (None) they cannot take.
#include "websession.h"

#include "gnomesession.h"
#include "wineprogram.h"
#include "wlsession.h"
#include "xsession.h"

namespace tarvo::testing {

// What the environments start: where each of the game's builds is.
struct Programs {
    QString native = {};                      // the Linux program
    QString windowsExe = {}, winePrefix = {}; // the Windows program, and the Wine prefix it runs in
    QString page = {};                        // the page: a file, or an http address
};

struct Environment {
    std::unique_ptr<Session> session;
    std::unique_ptr<Launcher> launcher; // the game
};

// Where a game is shown: a new `S`, made with `args`.
template <class S, auto... args> std::unique_ptr<Session> Shown() { return std::make_unique<S>(args...); }
// What is started there.
inline std::unique_ptr<Launcher> LinuxProgram(Session &, const Programs &p) {
    return std::make_unique<NativeProgram>(p.native);
}
inline std::unique_ptr<Launcher> UnderWine(Session &s, const Programs &p) {
    return std::make_unique<WineProgram>(s, p.windowsExe, p.winePrefix);
}
inline std::unique_ptr<Launcher> ThePage(Session &s, const Programs &p) {
    return std::make_unique<Page>(static_cast<WebSession &>(s), p.page);
}

// The environment called `name`: x11, wayland, gnome, wine, chromium, firefox
// or webkit. Any other name is a mistake of the caller's, and ends the program.
inline Environment EnvironmentNamed(const QString &name, const Programs &programs) {
    using Browser = WebSession::Browser;
    const struct {
        const char *name;
        std::unique_ptr<Session> (*session)();
        std::unique_ptr<Launcher> (*launcher)(Session &, const Programs &);
    } table[] = {
        {"x11", Shown<Xvfb>, LinuxProgram},         // Xvfb
        {"wayland", Shown<Sway>, LinuxProgram},     // sway, headless
        {"gnome", Shown<Mutter>, LinuxProgram},     // mutter, nested in Xvfb
        {"wine", Shown<Xvfb>, UnderWine},           // the Windows program under Wine on Xvfb
        {"chromium", Shown<WebSession, Browser::Chromium>, ThePage},
        {"firefox", Shown<WebSession, Browser::Firefox>, ThePage},
        {"webkit", Shown<WebSession, Browser::WebKit>, ThePage},
    };
    for (const auto &row : table)
        if (name == row.name) {
            Environment e{row.session(), nullptr};
            e.launcher = row.launcher(*e.session, programs);
            return e;
        }
    qFatal("no environment is called %s", qPrintable(name));
}

} // namespace tarvo::testing
