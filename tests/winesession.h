// SPDX-License-Identifier: MIT
// Windows programs under Wine, on the tests' own Xvfb, in a Wine prefix of
// the tests' own (made on first use through tests/wine.sh, which sets up
// every program's Wine environment). Wine gives each Windows window an X
// window of its own, holding the menu bar and the client area (the title bar
// would be the window manager's, and Xvfb has none), so everything else is
// the X11 session's. The scale is Wine's dpi setting (LogPixels): 96 or 192.
#pragma once

#include "xsession.h"

namespace tarvo::testing {

class WineSession : public Xvfb {
public:
    // `prefix`: where the Wine prefix is (or is to be made).
    explicit WineSession(const QString &prefix, const QString &script = QString(TARVO_TESTS_DIR) + "/wine.sh")
        : prefix_(prefix), script_(script) {
        if (!Xvfb::ok()) return;
        // Made, or brought up to date, before the first program and its clock.
        if (run({"wineboot", "-i"}, 180000) != 0 || run({"wineserver", "-w"}, 60000) != 0) {
            error_ = "wineboot did not make the prefix " + prefix_;
            return;
        }
        // One wine server for all the programs started, until the end (or
        // until the dpi changes).
        ok_ = setDpi(96);
    }
    ~WineSession() override { run({"wineserver", "-k"}, 10000); }

    bool ok() const override { return ok_; }
    QString error() const override { return error_.isEmpty() ? Xvfb::error() : error_; }
    void setScale(int scale) override {
        if (scale != scale_ && setDpi(96 * scale)) scale_ = scale;
    }
    int scale() const override { return scale_; }

    // How a Windows program is started here: what goes before its path.
    QStringList launcher() const { return {script_, prefix_, "wine"}; }
    // Runs a command in the prefix's environment; its exit code, or -1.
    int run(const QStringList &command, int ms) const {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        prepare(env);
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
    QString prefix_, script_, error_;
    bool ok_ = false;
    int scale_ = 1;
};

} // namespace tarvo::testing
