// SPDX-License-Identifier: MIT
// The browser page for the tests that play the real game, in one of three
// engines (TARVO_BROWSER, chromium when unset):
//  - chromium: Debian's headless Chromium through chromedriver (W3C
//    WebDriver over HTTP). Everything the cases ask: real key, mouse and
//    touch events, the page's size and pixel ratio, its console.
//  - firefox: Firefox ESR over WebDriver BiDi (firefox_bidi.h), not headless
//    but on the tests' own Xvfb with its window given the keyboard, so that
//    Enter works a focused button as for a player. Touch actions are touch
//    events; the page's size and pixel ratio are set through BiDi.
//  - webkit: WebKitGTK's MiniBrowser through WebKitWebDriver (W3C WebDriver
//    over HTTP) on the tests' Xvfb. Keys (F12 too) reach the page; touch
//    actions arrive as mouse events; the window is no narrower than its tool
//    bar (447 pixels), so neither a phone's page nor, at twice the scale
//    (GTK's, GDK_SCALE), a stage of just twice the size; a tab of its own
//    leaves the page shown (the window is taken off the screen instead); the
//    driver has no console log (a script of ours notes the page's errors).
// Each game is a browser of its own, started with the game's environment (its
// sound server among it) and given the page (Page, below: what is started
// in a browser); keys and taps are real input events, and pictures are what
// the browser composited: "TARVO" is the game's window (its menu bar and
// stage), a box is the page's open dialog with that title.
#pragma once

#include "session.h"
#include "webdriver.h"
#include "firefox_bidi.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QStandardPaths>
#include <QUrl>

// X11's headers after Qt's network ones, whose names (None) they take as macros.
#include "xsession.h"

namespace tarvo::testing {

class WebSession : public Session {
public:
    enum class Browser { Chromium, Firefox, WebKit };
    static Browser FromEnvironment() {
        const QByteArray name = qgetenv("TARVO_BROWSER");
        return name == "firefox" ? Browser::Firefox : name == "webkit" ? Browser::WebKit : Browser::Chromium;
    }
    // WebKitGTK's MiniBrowser, wherever this machine's packages put it; "" when none.
    static QString MiniBrowser() {
        for (const QString root : {"/usr/lib", "/usr/libexec", "/usr/local/lib"})
            for (const QString &dir : QDir(root).entryList({"*"}, QDir::Dirs | QDir::NoDotAndDotDot))
                for (const QString &sub : {root + "/" + dir, root + "/" + dir + "/webkit2gtk-4.1", root + "/" + dir + "/webkitgtk-6.0"})
                    if (QFileInfo(sub + "/MiniBrowser").isExecutable()) return sub + "/MiniBrowser";
        return {};
    }

    explicit WebSession(Browser browser = FromEnvironment()) : browser_(browser) {
        QStringList tools{"chromium", "chromedriver"};
        if (browser_ == Browser::Firefox) tools = {"firefox-esr", "Xvfb", "xdotool"};
        if (browser_ == Browser::WebKit) tools = {"WebKitWebDriver", "Xvfb"};
        for (const QString &tool : tools)
            if (QStandardPaths::findExecutable(tool).isEmpty())
                error_ += tool + " is not installed (./test installs it). ";
        if (browser_ == Browser::WebKit && MiniBrowser().isEmpty())
            error_ += "WebKitGTK's MiniBrowser is not installed (./test installs webkit2gtk-driver). ";
        if (!error_.isEmpty()) return;
        if (browser_ != Browser::Chromium) {
            x_ = std::make_unique<Xvfb>();
            if (!x_->ok()) error_ = x_->error();
        }
        if (browser_ == Browser::Firefox)
            driver_ = std::make_unique<FirefoxBiDi>([this] {
                x_->xdotool({"search", "--sync", "--onlyvisible", "--class", "firefox", "windowfocus", "--sync"});
            });
        else
            driver_ = std::make_unique<HttpWebDriver>(
                browser_ == Browser::WebKit ? HttpWebDriver::Kind::WebKit : HttpWebDriver::Kind::Chromium, MiniBrowser());
    }
    ~WebSession() override { quit(); }

    Browser browser() const { return browser_; }
    // Firefox on PulseAudio skips, or loses, the first moments of a sound
    // that its idle audio output wakes for (seen here, on Debian 12's and
    // 13's: the recording matches the sound for 90 ms, then runs on out of
    // step with it, or begins up to a fifth of a second into it; likeness
    // 0.54 to 0.80, against 0.98 for a sound that follows another closely,
    // and 0.99 in WebKit).
    int skipsAtStartMs() const override { return browser_ == Browser::Firefox ? 250 : 0; }
    // What a case may need that not every engine's driver can do, and what no
    // page has.
    QString whyNot(Ability a) const override {
        const bool webkit = browser_ == Browser::WebKit;
        switch (a) {
        case OwnTitleBar: return "a page has no title bar: the window around it is the browser's";
        case AppId: return "a page has no window of its own for the desktop to match with a launcher entry";
        case Touch: return webkit ? "WebKitWebDriver's touch actions arrive as mouse events" : QString();
        case NarrowPage: return webkit ? "MiniBrowser's window is no narrower than its tool bar (447 pixels)" : QString();
        case Twice:
            return webkit ? "this browser's window is wider than 240 pixels: at twice the scale its page has room for "
                            "the stage three times over"
                          : QString();
        case Installable: // its DevTools protocol tells
            return browser_ == Browser::Chromium ? QString() : "only Chromium tells whether a page can be installed";
        default: return {};
        }
    }

    bool ok() const override { return error_.isEmpty(); }
    QString error() const override { return error_; }
    void prepare(QProcessEnvironment &env) const override {
        if (x_) {
            env.insert("DISPLAY", x_->display());
            env.remove("WAYLAND_DISPLAY");
        }
    }

    // Starts the browser in `proc` with the game's environment and opens the
    // page: a file, or an http address.
    bool open(QProcess &proc, const QProcessEnvironment &env, const QString &page) {
        quit();
        const QUrl url = page.startsWith("/") ? QUrl::fromLocalFile(page) : QUrl(page); // a file, or an address
        return driver_ && driver_->start(proc, env, url, view_);
    }
    // Ends the browser that open() started, before its process is ended.
    void quit() {
        if (driver_) driver_->stop();
    }
    // Each key goes down in order and comes up in reverse order.
    void key(const QString &keys) override {
        QJsonArray down, up;
        for (const QString &k : keys.split('+')) {
            const QString v = keyValue(k);
            down.append(QJsonObject{{"type", "keyDown"}, {"value", v}});
            up.prepend(QJsonObject{{"type", "keyUp"}, {"value", v}});
        }
        for (const auto &a : up) down.append(a);
        act({QJsonObject{{"type", "key"}, {"id", "keyboard"}, {"actions", down}}});
    }
    // A tap of a finger at a point of the page (its own pixels).
    void tap(QPoint at) {
        const QJsonArray steps{QJsonObject{{"type", "pointerMove"}, {"duration", 0}, {"x", at.x()}, {"y", at.y()}},
                               QJsonObject{{"type", "pointerDown"}, {"button", 0}},
                               QJsonObject{{"type", "pointerUp"}, {"button", 0}}};
        act({QJsonObject{{"type", "pointer"}, {"id", "finger"}, {"parameters", QJsonObject{{"pointerType", "touch"}}},
                         {"actions", steps}}});
    }
    // A left click of the mouse at a point of the page.
    void click(QPoint at, int count) override {
        QJsonArray steps{QJsonObject{{"type", "pointerMove"}, {"duration", 0}, {"x", at.x()}, {"y", at.y()}}};
        for (int i = 0; i < count; ++i) {
            steps.append(QJsonObject{{"type", "pointerDown"}, {"button", 0}});
            steps.append(QJsonObject{{"type", "pointerUp"}, {"button", 0}});
        }
        act({QJsonObject{{"type", "pointer"}, {"id", "mouse"}, {"parameters", QJsonObject{{"pointerType", "mouse"}}},
                         {"actions", steps}}});
    }
    // Where an element lies on the page, in its own pixels.
    QRect rectOf(const QString &selector) {
        const QJsonObject r = run("const r = document.querySelector(arguments[0]).getBoundingClientRect();"
                                  "return {x: r.x, y: r.y, w: r.width, h: r.height};", {selector}).toObject();
        return QRect(int(r["x"].toDouble()), int(r["y"].toDouble()), int(r["w"].toDouble()), int(r["h"].toDouble()));
    }
    QPoint centreOf(const QString &selector) { return rectOf(selector).center(); }

    bool hasWindow(const QString &title) override { return !elementFor(title).isEmpty(); }
    QImage grab(const QString &title) override {
        const QString element = elementFor(title);
        return element.isEmpty() || !driver_ ? QImage() : driver_->shot(element);
    }
    QImage screen() override { return driver_ ? driver_->shot({}) : QImage(); }
    QString appId(const QString &) override { return {}; }
    void focus(const QString &) override {}
    void setScale(int scale) override { view_.scale = scale; }
    int scale() const override { return view_.scale; }
    // The size of the page (for the next browser), in its own pixels: at
    // 240 x 180 the stage is shown at its own size, in as many device pixels
    // as the scale has; a phone's is taken as one, with touch.
    void setViewport(QSize size, bool phone = false) {
        view_.size = size;
        view_.phone = phone;
    }

    // Runs a script in the page; what it returns.
    QJsonValue run(const QString &script, const QJsonArray &args = {}) { return driver_ ? driver_->run(script, args) : QJsonValue(); }
    // What the page wrote to the console so far, as "LEVEL message" lines.
    QStringList console() { return driver_ ? driver_->console() : QStringList(); }
    // Whether Chromium would offer to install the page: what keeps it from
    // being installed, as Chromium says; empty when nothing does.
    QStringList installabilityErrors() {
        auto *http = dynamic_cast<HttpWebDriver *>(driver_.get());
        const QJsonObject said = http ? http->cdp("Page.getInstallabilityErrors", {}).toObject() : QJsonObject();
        if (!said.contains("installabilityErrors")) return {"no answer from the browser"};
        QStringList errors;
        for (const auto &e : said["installabilityErrors"].toArray()) errors << e.toObject()["errorId"].toString();
        return errors;
    }
    // Opens a new tab in front of the page, or goes back to the page. A tab
    // of MiniBrowser's own leaves the page shown: there the window is taken
    // off the screen instead, as a minimized one is.
    void hidePage(bool hide) {
        if (browser_ != Browser::WebKit) {
            if (driver_) driver_->hidePage(hide);
            return;
        }
        if (hide) {
            QByteArray found;
            x_->xdotool({"search", "--onlyvisible", "--class", "MiniBrowser"}, &found);
            hidden_ = QString::fromLatin1(found).split('\n', Qt::SkipEmptyParts);
        }
        for (const QString &w : hidden_) x_->xdotool({hide ? "windowunmap" : "windowmap", "--sync", w});
    }

private:
    static QString keyValue(const QString &k) {
        static const QMap<QString, QString> named{
            {"ctrl", "\uE009"},   {"shift", "\uE008"},   {"Shift_L", "\uE008"}, {"Shift_R", "\uE050"},
            {"alt", "\uE00A"},    {"super", "\uE03D"},   {"Return", "\uE007"},  {"Escape", "\uE00C"},
            {"Left", "\uE012"},   {"Up", "\uE013"},      {"Right", "\uE014"},   {"Down", "\uE015"},
            {"KP_Right", "\uE05A"}, {"space", " "}};
        if (named.contains(k)) return named[k];
        if (k.size() > 1 && k[0] == 'F') return QString(QChar(0xE031 + k.mid(1).toInt() - 1)); // F1 .. F12
        return k;
    }
    void act(const QJsonArray &sources) {
        if (driver_) driver_->act(sources);
    }
    // The driver's id of the element that shows this window, or "".
    QString elementFor(const QString &title) {
        const QJsonValue found = run(
            "if (arguments[0] === 'TARVO') { const f = document.getElementById('form1'); return f && !f.hidden ? f : null; }"
            "const d = document.getElementById('box');"
            "return d && d.open && document.getElementById('box-title').textContent === arguments[0] ? d : null;",
            {title});
        return found.toObject().value(ElementKey).toString();
    }

    Browser browser_;
    QString error_;
    Viewport view_;
    QStringList hidden_; // MiniBrowser's windows off the screen
    std::unique_ptr<Xvfb> x_; // Firefox's and WebKit's display, one for all their browsers
    std::unique_ptr<WebDriver> driver_;
};

// The page (a file, or an http address) opened in a browser of its own.
class Page : public Launcher {
public:
    Page(WebSession &browser, const QString &page, int startMs = 30000)
        : browser_(browser), page_(page), startMs_(startMs) {}
    bool start(QProcess &proc, const QProcessEnvironment &env) override { return browser_.open(proc, env, page_); }
    void stop() override { browser_.quit(); }
    int startMs() const override { return startMs_; }
    std::unique_ptr<Launcher> another(const QString &page) const override {
        return std::make_unique<Page>(browser_, page, startMs_);
    }

private:
    WebSession &browser_;
    QString page_;
    int startMs_;
};

} // namespace tarvo::testing
