// SPDX-License-Identifier: MIT
// Windows programs under Wine, on an X11 session (the tests' own Xvfb), in a
// Wine prefix of the tests' own (made on first use through wine.sh, which
// sets up every program's Wine environment). Wine gives each Windows window
// an X window of its own, holding the menu bar and the client area (the title
// bar would be the window manager's, and Xvfb has none), so everything else
// is the X11 session's. The scale is Wine's dpi setting (LogPixels): 96 or
// 192, following the session's scale.
#pragma once

#include "process.h"
#include "session.h"

#include <memory>

namespace tarvo::testing {

class WineProgram : public Launcher {
public:
    // `exe` on `shownOn`, with the Wine prefix `prefix` (made, or brought up
    // to date, here).
    WineProgram(const Session &shownOn, const QString &exe, const QString &prefix,
                const QString &script = QString(TARVO_HARNESS_DIR) + "/wine.sh")
        : prefix_(std::make_shared<Prefix>(shownOn, prefix, script)), exe_(exe) {}

    bool ok() const override { return prefix_->error.isEmpty(); }
    QString error() const override { return prefix_->error; }
    // At the session's scale; Wine takes a few seconds more to start.
    bool start(QProcess &proc, const QProcessEnvironment &env) override {
        if (const int scale = prefix_->shownOn.scale(); scale != prefix_->scale) {
            if (!prefix_->setDpi(96 * scale)) return false;
            prefix_->scale = scale;
        }
        proc.setProcessEnvironment(env);
        proc.setProcessChannelMode(QProcess::MergedChannels);
        proc.start(prefix_->script, {prefix_->path, "wine", exe_});
        return true;
    }
    int startMs() const override { return 60000; }
    QString whyNot(Session::Ability a) const override {
        if (a == Session::AppId)
            return "Wine names the window's class after the Windows program, not after the launcher entry of the Linux "
                   "one";
        return {};
    }
    // Another Windows program in the same prefix, served by the same Wine server.
    std::unique_ptr<Launcher> another(const QString &exe) const override {
        return std::unique_ptr<Launcher>(new WineProgram(prefix_, exe));
    }

    // Runs a command in the prefix's environment; its exit code, or -1. What
    // it writes to its standard output goes to `output`, if given.
    int run(const QStringList &command, int ms, QString *output = nullptr) const {
        return prefix_->run(command, ms, output);
    }

private:
    // The prefix, and the one Wine server for all the programs started in it
    // until the last of them is gone (or until the dpi changes).
    struct Prefix {
        Prefix(const Session &shownOn, const QString &path, const QString &script)
            : shownOn(shownOn), path(path), script(script) {
            if (!shownOn.ok()) {
                error = "no display for Wine";
                return;
            }
            // Made, or brought up to date, before the first program and its clock.
            if (run({"wineboot", "-i"}, 180000) != 0 || run({"wineserver", "-w"}, 60000) != 0) {
                error = "wineboot did not make the prefix " + path;
                return;
            }
            if (!setDpi(96)) error = "cannot set Wine's dpi in " + path;
        }
        ~Prefix() { run({"wineserver", "-k"}, 10000); }
        int run(const QStringList &command, int ms, QString *output = nullptr) const {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            shownOn.prepare(env);
            QByteArray out;
            const int code = Run(script, QStringList{path} + command, env, ms, output ? &out : nullptr);
            if (output) *output = QString::fromUtf8(out);
            return code;
        }
        // Windows' display setting, as its control panel writes it. Newer Wine
        // reads it when its server starts, as Windows at sign-in: the server
        // starts anew with it.
        bool setDpi(int dpi) const {
            const bool set = run({"wine", "reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t",
                                  "REG_DWORD", "/d", QString::number(dpi), "/f"}, 60000) == 0;
            run({"wineserver", "-k"}, 10000);
            run({"wineserver", "-w"}, 10000);
            run({"wineserver", "-p"}, 10000);
            return set;
        }
        const Session &shownOn;
        QString path, script, error;
        int scale = 1; // the dpi's
    };
    WineProgram(std::shared_ptr<Prefix> prefix, const QString &exe) : prefix_(std::move(prefix)), exe_(exe) {}

    std::shared_ptr<Prefix> prefix_;
    QString exe_;
};

} // namespace tarvo::testing
