// SPDX-License-Identifier: MIT
// Firefox ESR driven over WebDriver BiDi, its own remote protocol: Debian has
// no geckodriver. Firefox listens on a WebSocket of the test's port
// (--remote-debugging-port); commands and answers are JSON messages, with
// events (here the console's) in between.
#pragma once

#include "webdriver.h"

#include <QDir>
#include <QFile>
#include <QTimer>
#include <QWebSocket>

#include <functional>

namespace tarvo::testing {

class FirefoxBiDi : public WebDriver {
public:
    // `focus` gives Firefox's window the keyboard: a window that never has
    // it (headless Firefox) takes keys, but Enter does not work a focused
    // button as it does for a player. So does the first page: on
    // about:blank Firefox puts the keyboard in its address bar, where it
    // stays when the test's page is loaded over BiDi.
    explicit FirefoxBiDi(std::function<void()> focus) : focus_(std::move(focus)) {
        QObject::connect(&socket_, &QWebSocket::textMessageReceived, [this](const QString &text) { received(text); });
    }
    ~FirefoxBiDi() override { stop(); }

    bool start(QProcess &proc, const QProcessEnvironment &env, const QUrl &url, const Viewport &view) override {
        stop();
        proc_ = &proc;
        // One profile for all the session's browsers: Firefox makes a new one
        // slowly, and restarts itself once on it.
        if (!profile_) {
            profile_ = std::make_unique<QTemporaryDir>();
            writePrefs(profile_->path());
        }
        const quint16 port = FreePort();
        proc.setProcessEnvironment(env);
        proc.setProcessChannelMode(QProcess::MergedChannels);
        proc.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        // Not headless, on the tests' Xvfb (see `focus`).
        proc.start("firefox-esr", {"--remote-debugging-port", QString::number(port), "--profile", profile_->path(),
                                   "--no-remote", "--new-instance", "--width", "600", "--height", "440", "data:text/html,"});
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 20000 && proc.state() != QProcess::NotRunning && !connect(port)) QThread::msleep(100);
        if (socket_.state() != QAbstractSocket::ConnectedState) return false;
        if (!command("session.new", {{"capabilities", QJsonObject{}}}).contains("sessionId")) return false;
        command("session.subscribe", {{"events", QJsonArray{"log.entryAdded"}}});
        page_ = command("browsingContext.getTree", {}).value("contexts").toArray().first().toObject()["context"].toString();
        command("browsingContext.setViewport",
                {{"context", page_},
                 {"viewport", QJsonObject{{"width", view.size.width()}, {"height", view.size.height()}}},
                 {"devicePixelRatio", view.scale}});
        focus_();
        command("browsingContext.navigate", {{"context", page_}, {"url", url.toString()}, {"wait", "complete"}});
        return true;
    }
    void stop() override {
        if (socket_.state() == QAbstractSocket::ConnectedState) {
            command("browser.close", {});
            socket_.abort();
        }
        // The profile is used again once Firefox has let go of it.
        if (proc_ && !proc_->waitForFinished(5000)) proc_->kill();
        proc_ = nullptr;
        log_.clear();
    }

    QJsonValue run(const QString &script, const QJsonArray &args) override {
        QJsonArray values;
        for (const auto &a : args) values.append(toRemote(a));
        const QJsonObject r = command("script.callFunction",
                                      {{"functionDeclaration", "function () {" + script + "\n}"},
                                       {"arguments", values},
                                       {"target", QJsonObject{{"context", page_}}},
                                       {"awaitPromise", true}}); // as W3C WebDriver's scripts do
        if (r.value("type") == "exception") {
            qWarning("script failed: %s", qPrintable(r["exceptionDetails"].toObject()["text"].toString()));
            return {};
        }
        return fromRemote(r.value("result").toObject());
    }
    void act(const QJsonArray &sources) override {
        command("input.performActions", {{"context", page_}, {"actions", sources}});
    }
    QImage shot(const QString &element) override {
        QJsonObject params{{"context", page_}};
        if (!element.isEmpty())
            params["clip"] = QJsonObject{{"type", "element"}, {"element", QJsonObject{{"sharedId", element}}}};
        return Picture(command("browsingContext.captureScreenshot", params).value("data").toString());
    }
    QStringList console() override {
        spin(0);
        return log_;
    }
    void hidePage(bool hide) override {
        if (hide) {
            tab_ = command("browsingContext.create", {{"type", "tab"}}).value("context").toString();
        } else {
            command("browsingContext.close", {{"context", tab_}});
            command("browsingContext.activate", {{"context", page_}});
        }
    }

private:
    // A profile that makes no calls home on a machine with no network: no
    // first-run or welcome pages, no updates, studies, telemetry or
    // safe-browsing lists; sound may start on a page's first key, and taps
    // are touch events.
    static void writePrefs(const QString &dir) {
        QFile f(QDir(dir).filePath("user.js"));
        if (!f.open(QIODevice::WriteOnly)) return;
        const std::initializer_list<std::pair<const char *, const char *>> prefs{
            {"browser.shell.checkDefaultBrowser", "false"},
            {"browser.startup.homepage_override.mstone", "\"ignore\""},
            {"browser.startup.page", "0"},
            {"startup.homepage_welcome_url", "\"about:blank\""},
            {"startup.homepage_welcome_url.additional", "\"\""},
            {"browser.aboutwelcome.enabled", "false"},
            {"trailhead.firstrun.branches", "\"nofirstrun-empty\""},
            {"datareporting.policy.dataSubmissionEnabled", "false"},
            {"datareporting.healthreport.uploadEnabled", "false"},
            {"toolkit.telemetry.enabled", "false"},
            {"toolkit.telemetry.unified", "false"},
            {"toolkit.telemetry.server", "\"\""},
            {"app.update.auto", "false"},
            {"app.update.disabledForTesting", "true"},
            {"app.normandy.enabled", "false"},
            {"app.shield.optoutstudies.enabled", "false"},
            {"browser.safebrowsing.malware.enabled", "false"},
            {"browser.safebrowsing.phishing.enabled", "false"},
            {"browser.safebrowsing.downloads.enabled", "false"},
            {"browser.safebrowsing.blockedURIs.enabled", "false"},
            {"browser.safebrowsing.update.enabled", "false"},
            {"extensions.update.enabled", "false"},
            {"extensions.getAddons.cache.enabled", "false"},
            {"extensions.blocklist.enabled", "false"},
            {"services.settings.server", "\"data:,\""},
            {"network.captive-portal-service.enabled", "false"},
            {"network.connectivity-service.enabled", "false"},
            {"network.dns.disablePrefetch", "true"},
            {"network.prefetch-next", "false"},
            {"browser.newtabpage.enabled", "false"},
            {"browser.newtab.preload", "false"},
            {"browser.region.update.enabled", "false"},
            {"browser.search.update", "false"},
            {"geo.provider.network.url", "\"\""},
            {"browser.sessionstore.resume_from_crash", "false"},
            {"browser.tabs.warnOnClose", "false"},
            {"media.autoplay.default", "0"},
            {"media.autoplay.blocking_policy", "0"},
            {"dom.w3c_touch_events.enabled", "1"},
        };
        for (const auto &[name, value] : prefs) f.write(QString("user_pref(\"%1\", %2);\n").arg(name, value).toUtf8());
    }
    bool connect(quint16 port) {
        socket_.open(QUrl(QString("ws://127.0.0.1:%1/session").arg(port)));
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 2000 && socket_.state() != QAbstractSocket::ConnectedState &&
               socket_.state() != QAbstractSocket::UnconnectedState)
            spin(20);
        if (socket_.state() == QAbstractSocket::ConnectedState) return true;
        socket_.abort();
        return false;
    }
    void spin(int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
    void received(const QString &text) {
        const QJsonObject m = QJsonDocument::fromJson(text.toUtf8()).object();
        if (m.value("type") == "event") {
            if (m.value("method") == "log.entryAdded") {
                const QJsonObject p = m["params"].toObject();
                log_ << p["level"].toString().toUpper() + " " + p["text"].toString();
            }
            return;
        }
        answers_[m.value("id").toInt()] = m;
    }
    // One command: its result, or, when it failed, {"error": ..., "message": ...}.
    QJsonObject command(const QString &method, const QJsonObject &params) {
        const int id = ++lastId_;
        socket_.sendTextMessage(QJsonDocument(QJsonObject{{"id", id}, {"method", method}, {"params", params}})
                                    .toJson(QJsonDocument::Compact));
        QElapsedTimer clock;
        clock.start();
        while (!answers_.contains(id) && clock.elapsed() < 60000 && socket_.state() == QAbstractSocket::ConnectedState)
            spin(2);
        const QJsonObject m = answers_.take(id);
        if (m.value("type") == "success") return m["result"].toObject();
        if (method != "browser.close")
            qWarning("%s: %s %s", qPrintable(method), qPrintable(m["error"].toString()), qPrintable(m["message"].toString()));
        return QJsonObject{{"error", m["error"]}, {"message", m["message"]}};
    }
    // A JSON value as a BiDi local value; an element as its node's shared id.
    static QJsonObject toRemote(const QJsonValue &v) {
        switch (v.type()) {
        case QJsonValue::String: return {{"type", "string"}, {"value", v}};
        case QJsonValue::Double: return {{"type", "number"}, {"value", v}};
        case QJsonValue::Bool: return {{"type", "boolean"}, {"value", v}};
        case QJsonValue::Array: {
            QJsonArray items;
            for (const auto &i : v.toArray()) items.append(toRemote(i));
            return {{"type", "array"}, {"value", items}};
        }
        case QJsonValue::Object: {
            const QJsonObject o = v.toObject();
            if (o.contains(ElementKey)) return {{"sharedId", o[ElementKey]}};
            QJsonArray pairs;
            for (auto i = o.begin(); i != o.end(); ++i) pairs.append(QJsonArray{i.key(), toRemote(i.value())});
            return {{"type", "object"}, {"value", pairs}};
        }
        default: return {{"type", "null"}};
        }
    }
    // A BiDi remote value as JSON; a node as an element, by its shared id.
    static QJsonValue fromRemote(const QJsonObject &r) {
        const QString type = r.value("type").toString();
        const QJsonValue v = r.value("value");
        if (type == "string" || type == "boolean") return v;
        if (type == "number") return v.isString() ? QJsonValue() : v; // NaN, -0, Infinity: none expected
        if (type == "array") {
            QJsonArray out;
            for (const auto &i : v.toArray()) out.append(fromRemote(i.toObject()));
            return out;
        }
        if (type == "object") {
            QJsonObject out;
            for (const auto &pair : v.toArray()) {
                const QJsonArray kv = pair.toArray();
                out[kv[0].isString() ? kv[0].toString() : fromRemote(kv[0].toObject()).toString()] = fromRemote(kv[1].toObject());
            }
            return out;
        }
        if (type == "node") return QJsonObject{{ElementKey, r.value("sharedId")}};
        return {};
    }

    std::function<void()> focus_;
    QWebSocket socket_;
    QProcess *proc_ = nullptr;
    std::unique_ptr<QTemporaryDir> profile_;
    QString page_, tab_;
    QStringList log_;
    QMap<int, QJsonObject> answers_;
    int lastId_ = 0;
};

} // namespace tarvo::testing
