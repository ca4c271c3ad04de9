// SPDX-License-Identifier: MIT
// Windows programs under Wine, on an X11 session (the tests' own Xvfb), in a
// Wine prefix of the tests' own (made on first use through wine.sh, which
// sets up every program's Wine environment). Wine gives each Windows window
// an X window of its own, holding the menu bar and the client area (the title
// bar would be the window manager's, and Xvfb has none), so everything else
// is the X11 session's. The scale is Wine's dpi setting (LogPixels): 96 or
// 192, following the session's scale.
#pragma once

#include "session.h"

namespace tarvo::testing {

class WineProgram : public Launcher {
public:
    // `exe` on `shownOn`, with the Wine prefix `prefix` (made, or brought up
    // to date, here).
    WineProgram(const Session &shownOn, const QString &exe, const QString &prefix,
                const QString &script = QString(TARVO_HARNESS_DIR) + "/wine.sh")
        : shownOn_(shownOn), exe_(exe), prefix_(prefix), script_(script) {
        if (!shownOn_.ok()) {
            error_ = "no display for Wine";
            return;
        }
        // Made, or brought up to date, before the first program and its clock.
        if (run({"wineboot", "-i"}, 180000) != 0 || run({"wineserver", "-w"}, 60000) != 0) {
            error_ = "wineboot did not make the prefix " + prefix_;
            return;
        }
        // One wine server for all the programs started, until the end (or
        // until the dpi changes).
        ok_ = setDpi(96);
        if (!ok_) error_ = "cannot set Wine's dpi in " + prefix_;
    }
    ~WineProgram() override { run({"wineserver", "-k"}, 10000); }

    bool ok() const override { return ok_; }
    QString error() const override { return error_; }
    // At the session's scale; Wine takes a few seconds more to start.
    bool start(QProcess &proc, const QProcessEnvironment &env) override {
        if (const int scale = shownOn_.scale(); scale != scale_) {
            if (!setDpi(96 * scale)) return false;
            scale_ = scale;
        }
        proc.setProcessEnvironment(env);
        proc.setProcessChannelMode(QProcess::MergedChannels);
        proc.start(script_, {prefix_, "wine", exe_});
        return true;
    }
    int startMs() const override { return 60000; }
    QString whyNot(Session::Ability a) const override {
        if (a == Session::AppId)
            return "Wine names the window's class after the Windows program, not after the launcher entry of the Linux "
                   "one";
        return {};
    }

    // Runs a command in the prefix's environment; its exit code, or -1.
    int run(const QStringList &command, int ms) const {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        shownOn_.prepare(env);
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.setStandardOutputFile(QProcess::nullDevice());
        p.start(script_, QStringList{prefix_} + command);
        if (!p.waitForFinished(ms)) {
            p.kill();
            p.waitForFinished();
            return -1;
        }
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

private:
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
    const Session &shownOn_;
    QString exe_, prefix_, script_, error_;
    bool ok_ = false;
    int scale_ = 1; // the dpi's
};

} // namespace tarvo::testing
