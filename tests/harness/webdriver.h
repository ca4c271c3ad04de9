// SPDX-License-Identifier: MIT
// What WebSession (websession.h) asks of a browser's remote control, and the
// W3C WebDriver over HTTP that chromedriver and WebKitGTK's WebKitWebDriver
// speak. Firefox's own protocol is in firefox_bidi.h.
#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSize>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <csignal>
#include <memory>
#include <sys/prctl.h>

namespace tarvo::testing {

// How WebDriver names an element in a script's arguments and results; the
// BiDi driver uses the same shape for its nodes.
inline const QString ElementKey = "element-6066-11e4-a52e-4f735466cecf";

// What the next browser is to show: the page's size in its own pixels, its
// pixel ratio, and whether it is a phone's (touch).
struct Viewport {
    QSize size{240, 180};
    int scale = 1;
    bool phone = false;
};

// One browser and its remote control.
class WebDriver {
public:
    virtual ~WebDriver() = default;
    // Starts the browser in `proc` with `env` and opens `url`; false when it could not.
    virtual bool start(QProcess &proc, const QProcessEnvironment &env, const QUrl &url, const Viewport &view) = 0;
    virtual void stop() = 0;
    // A script's body, run as a function of `args` (elements as {ElementKey: id}); what it returns.
    virtual QJsonValue run(const QString &script, const QJsonArray &args) = 0;
    // W3C input sources, their actions performed together.
    virtual void act(const QJsonArray &sources) = 0;
    // A picture of an element, or of the whole page when `element` is empty, in device pixels.
    virtual QImage shot(const QString &element) = 0;
    // What the page logged as "LEVEL message" lines.
    virtual QStringList console() = 0;
    // Opens a tab in front of the page, or closes it and goes back to the page.
    virtual void hidePage(bool hide) = 0;
};

// A screenshot as WebDriver hands it over: PNG, in base64.
inline QImage Picture(const QString &base64) {
    QImage img;
    img.loadFromData(QByteArray::fromBase64(base64.toLatin1()), "PNG");
    return img.isNull() ? img : img.convertToFormat(QImage::Format_RGB32);
}

inline quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// chromedriver with headless Chromium, or WebKitWebDriver with WebKitGTK's
// MiniBrowser on the tests' Xvfb.
class HttpWebDriver : public WebDriver {
public:
    enum class Kind { Chromium, WebKit };
    HttpWebDriver(Kind kind, QString miniBrowser = {}) : kind_(kind), miniBrowser_(std::move(miniBrowser)) {}
    ~HttpWebDriver() override { stop(); }

    bool start(QProcess &proc, const QProcessEnvironment &env, const QUrl &url, const Viewport &view) override {
        stop();
        port_ = FreePort();
        QProcessEnvironment driverEnv = env;
        if (kind_ == Kind::WebKit) {
            // GTK scales the whole window, the page's pixel ratio with it.
            if (view.scale != 1) driverEnv.insert("GDK_SCALE", QString::number(view.scale));
            // WebKit's web process plays Web Audio through GStreamer, and its
            // bubblewrap sandbox shows it only the usual PulseAudio socket
            // under XDG_RUNTIME_DIR, never the test's private one (nor does
            // bubblewrap run as root here); this browser opens only the game.
            driverEnv.insert("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "1");
        }
        proc.setProcessEnvironment(driverEnv);
        proc.setProcessChannelMode(QProcess::MergedChannels);
        proc.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        proc.start(kind_ == Kind::Chromium ? "chromedriver" : "WebKitWebDriver", {"--port=" + QString::number(port_)});
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 15000 && !call("GET", "/status").toObject().value("ready").toBool()) QThread::msleep(50);
        QJsonObject caps;
        if (kind_ == Kind::Chromium) {
            profile_ = std::make_unique<QTemporaryDir>();
            // As a machine with no network reaches nothing: no calls home, no
            // first-run pages. The window's size is a small desktop's.
            QJsonArray args{"--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                            "--disable-background-networking", "--disable-component-update", "--disable-sync",
                            "--disable-default-apps", "--window-size=800,600", "--user-data-dir=" + profile_->path()};
            caps = {{"browserName", "chrome"},
                    {"goog:chromeOptions", QJsonObject{{"binary", "/usr/bin/chromium"}, {"args", args}}},
                    {"goog:loggingPrefs", QJsonObject{{"browser", "ALL"}}}};
        } else {
            // No browserName: WebKitWebDriver matches none ("Failed to match
            // capabilities"). Without --automation MiniBrowser never answers
            // the driver and the session hangs.
            caps = {{"webkitgtk:browserOptions",
                     QJsonObject{{"binary", miniBrowser_}, {"args", QJsonArray{"--automation", "--autoplay-policy=allow"}}}}};
        }
        const QJsonObject made = call("POST", "/session", {{"capabilities", QJsonObject{{"alwaysMatch", caps}}}}).toObject();
        id_ = made.value("sessionId").toString();
        if (id_.isEmpty()) return false;
        if (kind_ == Kind::Chromium) {
            // The page's size and pixel ratio, as a screen of that size would give them.
            cdp("Emulation.setDeviceMetricsOverride", {{"width", view.size.width()}, {"height", view.size.height()},
                                                        {"deviceScaleFactor", view.scale}, {"mobile", view.phone}});
            if (view.phone) cdp("Emulation.setTouchEmulationEnabled", {{"enabled", true}, {"maxTouchPoints", 5}});
        } else {
            // The window as large as the page's size and MiniBrowser's tool
            // bar; no narrower than the tool bar lets it (447 pixels).
            const QJsonArray frame = run("return [outerWidth - innerWidth, outerHeight - innerHeight];", {}).toArray();
            call("POST", "/window/rect", {{"width", view.size.width() + frame[0].toInt()},
                                          {"height", view.size.height() + frame[1].toInt()}});
        }
        call("POST", "/url", {{"url", url.toString()}});
        if (kind_ == Kind::WebKit) hookConsole();
        return true;
    }
    void stop() override {
        if (!id_.isEmpty()) call("DELETE", "");
        id_.clear();
    }

    QJsonValue run(const QString &script, const QJsonArray &args) override {
        return call("POST", "/execute/sync", {{"script", script}, {"args", args}});
    }
    void act(const QJsonArray &sources) override { call("POST", "/actions", {{"actions", sources}}); }
    QImage shot(const QString &element) override {
        if (element.isEmpty() || kind_ == Kind::Chromium)
            return Picture(call("GET", element.isEmpty() ? "/screenshot" : "/element/" + element + "/screenshot").toString());
        // WebKitWebDriver's element screenshots lie lower than the element
        // (its top shows as black): the element's part of the page's instead.
        const QJsonObject r = run("const r = arguments[0].getBoundingClientRect(), n = devicePixelRatio;"
                                  "return {x: r.x * n, y: r.y * n, w: r.width * n, h: r.height * n};",
                                  {QJsonObject{{ElementKey, element}}}).toObject();
        return Picture(call("GET", "/screenshot").toString())
            .copy(qRound(r["x"].toDouble()), qRound(r["y"].toDouble()), qRound(r["w"].toDouble()), qRound(r["h"].toDouble()));
    }
    QStringList console() override {
        QStringList lines;
        if (kind_ == Kind::Chromium) {
            for (const auto &e : call("POST", "/se/log", {{"type", "browser"}}).toArray())
                lines << e.toObject()["level"].toString() + " " + e.toObject()["message"].toString();
        } else {
            for (const auto &l : run("return window.__tarvoConsole || ['ERROR no console hook in the page'];", {}).toArray())
                lines << l.toString();
        }
        return lines;
    }
    void hidePage(bool hide) override {
        if (hide) {
            page_ = call("GET", "/window").toString();
            const QString tab = call("POST", "/window/new", {{"type", "tab"}}).toObject()["handle"].toString();
            call("POST", "/window", {{"handle", tab}});
        } else {
            call("DELETE", "/window");
            call("POST", "/window", {{"handle", page_}});
        }
    }
    // A command of Chromium's own (the DevTools protocol).
    QJsonValue cdp(const QString &command, const QJsonObject &params) {
        return call("POST", "/goog/cdp/execute", {{"cmd", command}, {"params", params}});
    }

private:
    // WebKitWebDriver has no log command: the page's console errors, its
    // uncaught errors and unhandled rejections are noted by a script of
    // ours, installed once the page has loaded (what went wrong while it
    // loaded shows all the same: the game would not have come up).
    void hookConsole() {
        run("window.__tarvoConsole = [];"
            "const note = (level, text) => __tarvoConsole.push(level + ' ' + text);"
            "const error = console.error.bind(console);"
            "console.error = (...a) => { note('ERROR', a.join(' ')); error(...a); };"
            "addEventListener('error', e => note('ERROR', e.message));"
            "addEventListener('unhandledrejection', e => note('ERROR', 'unhandled rejection: ' + e.reason));", {});
    }
    // One WebDriver command: its "value", or null.
    QJsonValue call(const QByteArray &method, const QString &path, const QJsonObject &body = {}) {
        if (port_ == 0) return {};
        const QString where = path.startsWith("/session") || path == "/status" ? path : "/session/" + id_ + path;
        QNetworkRequest request(QUrl(QString("http://127.0.0.1:%1%2").arg(port_).arg(where)));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        request.setTransferTimeout(60000);
        QNetworkReply *reply = net_.sendCustomRequest(request, method,
                                                      method == "GET" || method == "DELETE" ? QByteArray()
                                                                                              : QJsonDocument(body).toJson());
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        const QJsonValue value = QJsonDocument::fromJson(reply->readAll()).object().value("value");
        reply->deleteLater();
        return value;
    }

    Kind kind_;
    QString miniBrowser_, id_, page_;
    quint16 port_ = 0;
    std::unique_ptr<QTemporaryDir> profile_;
    QNetworkAccessManager net_;
};

} // namespace tarvo::testing
