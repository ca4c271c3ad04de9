// SPDX-License-Identifier: MIT
// The browser page for the tests that play the real game: Debian's headless
// Chromium driven through chromedriver (the W3C WebDriver protocol, spoken
// here over HTTP). Each game is a browser of its own, started with the
// game's environment (its sound server among it) and given the page; keys
// and taps are real input events, and pictures are what Chromium composited:
// "TARVO" is the game's window (its menu bar and stage), a box is the page's
// open dialog with that title.
#pragma once

#include "session.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

namespace tarvo::testing {

class WebSession : public Session {
public:
    WebSession() {
        for (const char *tool : {"chromium", "chromedriver"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                error_ += QString(tool) + " is not installed (./test installs chromium and chromium-driver). ";
    }
    ~WebSession() override { quit(); }

    bool ok() const override { return error_.isEmpty(); }
    QString error() const override { return error_; }
    void prepare(QProcessEnvironment &) const override {}

    // Starts chromedriver with the game's environment (Chromium inherits it),
    // a browser with a profile of its own, and opens the page: a file, or an
    // http address.
    bool launch(QProcess &proc, const QProcessEnvironment &env, const QString &page, const QStringList &) override {
        quit();
        QTcpServer probe; // a free port for chromedriver
        probe.listen(QHostAddress::LocalHost, 0);
        port_ = probe.serverPort();
        probe.close();
        proc.setProcessEnvironment(env);
        proc.setProcessChannelMode(QProcess::MergedChannels);
        proc.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        proc.start("chromedriver", {"--port=" + QString::number(port_)});
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 15000 && !call("GET", "/status").toObject().value("ready").toBool()) QThread::msleep(50);
        profile_ = std::make_unique<QTemporaryDir>();
        // As a machine with no network reaches nothing: no calls home, no
        // first-run pages. The window's size is a small desktop's.
        QJsonArray args{"--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                        "--disable-background-networking", "--disable-component-update", "--disable-sync",
                        "--disable-default-apps", "--window-size=800,600", "--user-data-dir=" + profile_->path()};
        const QJsonObject caps{{"browserName", "chrome"},
                               {"goog:chromeOptions", QJsonObject{{"binary", "/usr/bin/chromium"}, {"args", args}}},
                               {"goog:loggingPrefs", QJsonObject{{"browser", "ALL"}}}};
        const QJsonObject made = call("POST", "/session", {{"capabilities", QJsonObject{{"alwaysMatch", caps}}}}).toObject();
        id_ = made.value("sessionId").toString();
        if (id_.isEmpty()) return false;
        // The page's size and pixel ratio, as a screen of that size would give them.
        cdp("Emulation.setDeviceMetricsOverride", {{"width", viewport_.width()}, {"height", viewport_.height()},
                                                    {"deviceScaleFactor", scale_}, {"mobile", mobile_}});
        if (mobile_) cdp("Emulation.setTouchEmulationEnabled", {{"enabled", true}, {"maxTouchPoints", 5}});
        const QUrl url = page.startsWith("/") ? QUrl::fromLocalFile(page) : QUrl(page); // a file, or an address
        call("POST", "/url", {{"url", url.toString()}});
        return true;
    }
    void quit() override {
        if (!id_.isEmpty()) call("DELETE", "");
        id_.clear();
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
        if (element.isEmpty()) return {};
        return picture(call("GET", "/element/" + element + "/screenshot").toString());
    }
    QImage screen() override { return picture(call("GET", "/screenshot").toString()); }
    QString appId(const QString &) override { return {}; }
    void focus(const QString &) override {}
    void setScale(int scale) override { scale_ = scale; }
    int scale() const override { return scale_; }
    // The size of the page (for the next browser), in its own pixels: at
    // 240 x 180 the stage is shown at its own size, in as many device pixels
    // as the scale has; a phone's is taken as one, with touch.
    void setViewport(QSize size, bool phone = false) {
        viewport_ = size;
        mobile_ = phone;
    }
    // A command of Chromium's own (the DevTools protocol).
    QJsonValue cdp(const QString &command, const QJsonObject &params) {
        return call("POST", "/goog/cdp/execute", {{"cmd", command}, {"params", params}});
    }

    // Runs a script in the page; what it returns.
    QJsonValue run(const QString &script, const QJsonArray &args = {}) {
        return call("POST", "/execute/sync", {{"script", script}, {"args", args}});
    }
    // What the page wrote to the console so far, as "LEVEL message" lines.
    QStringList console() {
        QStringList lines;
        for (const auto &e : call("POST", "/se/log", {{"type", "browser"}}).toArray())
            lines << e.toObject()["level"].toString() + " " + e.toObject()["message"].toString();
        return lines;
    }
    // Opens a new tab in front of the page, or goes back to the page.
    void hidePage(bool hide) {
        if (hide) {
            page_ = call("GET", "/window").toString();
            const QString tab = call("POST", "/window/new", {{"type", "tab"}}).toObject()["handle"].toString();
            call("POST", "/window", {{"handle", tab}});
        } else {
            call("DELETE", "/window");
            call("POST", "/window", {{"handle", page_}});
        }
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
    void act(const QJsonArray &sources) { call("POST", "/actions", {{"actions", sources}}); }
    // The WebDriver id of the element that shows this window, or "".
    QString elementFor(const QString &title) {
        const QJsonValue found = run(
            "if (arguments[0] === 'TARVO') { const f = document.getElementById('form1'); return f && !f.hidden ? f : null; }"
            "const d = document.getElementById('box');"
            "return d && d.open && document.getElementById('box-title').textContent === arguments[0] ? d : null;",
            {title});
        const QJsonObject o = found.toObject();
        return o.isEmpty() ? QString() : o.begin().value().toString();
    }
    static QImage picture(const QString &base64) {
        QImage img;
        img.loadFromData(QByteArray::fromBase64(base64.toLatin1()), "PNG");
        return img.isNull() ? img : img.convertToFormat(QImage::Format_RGB32);
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

    QString error_, id_, page_;
    QSize viewport_{240, 180};
    bool mobile_ = false;
    quint16 port_ = 0;
    int scale_ = 1;
    std::unique_ptr<QTemporaryDir> profile_;
    QNetworkAccessManager net_;
};

} // namespace tarvo::testing
