// SPDX-License-Identifier: MIT
// What the Wayland compositors of the tests (sway: wlsession.h, mutter:
// gnomesession.h) share: each runs in a runtime folder of its own, as nobody
// when the tests run as root, with its log there; the game reaches it through
// its socket, with a runtime folder of its own beside it. Neither has what
// only a browser has, nor judges what is heard (play_x11 does).
#pragma once

#include "session.h"

#include <QDir>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <functional>

namespace tarvo::testing {

class Compositor : public Session {
public:
    ~Compositor() override { stop(); }
    bool ok() const override { return error_.isEmpty(); }
    QString error() const override { return error_; }
    void prepare(QProcessEnvironment &env) const override {
        env.insert("WAYLAND_DISPLAY", socket_);
        env.insert("QT_QPA_PLATFORM", "wayland");
        env.insert("XDG_RUNTIME_DIR", client_dir_.path());
        env.remove("DISPLAY");
        env.remove("QT_SCALE_FACTOR");
    }
    QString whyNot(Ability a) const override {
        return a == Heard ? "what the Linux program plays does not depend on the display server: it is heard "
                            "under X11 (play_x11)"
                          : NoBrowser(a);
    }

protected:
    // `name`'s folder; `tools` are the programs it needs, which `package`
    // brings (said when one is missing).
    Compositor(const QString &name, const QStringList &tools, const QString &package) : name_(name) {
        for (const QString &tool : tools)
            if (QStandardPaths::findExecutable(tool).isEmpty()) {
                error_ = QString("%1 is not installed (./test installs %2)").arg(tool, package);
                return;
            }
        if (!server_dir_.isValid() || !client_dir_.isValid()) error_ = "no temporary folder";
    }
    // Ends the compositor with everything it started (its process group), and
    // waits until its socket is gone, before the folders are removed: first
    // thing in a compositor's destructor, while what it runs on is still up.
    void stop() {
        if (const pid_t group = pid_t(server_.processId()); server_.state() != QProcess::NotRunning && group > 0) {
            ::kill(-group, SIGTERM);
            if (!server_.waitForFinished(5000)) ::kill(-group, SIGKILL);
            server_.waitForFinished(1000);
            for (int i = 0; i < 100 && QFile::exists(socket_); ++i) QThread::msleep(20);
        }
    }
    QString dir() const { return server_dir_.path(); }
    QString filePath(const QString &name) const { return server_dir_.filePath(name); }
    // Starts `command` in the runtime folder, with `env` besides its PATH,
    // HOME and XDG_RUNTIME_DIR (the folder), and checks every `stepMs` until
    // it is `ready`; false, and error() says why, when it did not start or
    // `ms` passed first (`late` says that).
    //
    // Compositors refuse to run as root: there it runs as nobody, and its
    // runtime folder is handed to nobody; the machine's users stay as they
    // are. Either way it runs in a process group of its own, which ends with
    // the tests, also when they are killed.
    bool start(const QStringList &command, QProcessEnvironment env, const std::function<bool()> &ready, int ms,
               int stepMs, const QString &late) {
        uid_t uid = geteuid();
        gid_t gid = getegid();
        if (uid == 0) {
            const passwd *nobody = getpwnam("nobody");
            if (!nobody) return fail("no user nobody to run the compositor as");
            uid = nobody->pw_uid;
            gid = nobody->pw_gid;
            if (chown(QFile::encodeName(dir()).constData(), uid, gid) != 0) return fail("cannot hand " + dir() + " to nobody");
        }
        server_.setChildProcessModifier([uid, gid] {
            setpgid(0, 0);
            if (getuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)) _exit(126);
            prctl(PR_SET_PDEATHSIG, SIGTERM);
        });
        env.insert("PATH", QProcessEnvironment::systemEnvironment().value("PATH", "/usr/bin:/bin"));
        env.insert("HOME", dir());
        env.insert("XDG_RUNTIME_DIR", dir());
        server_.setProcessEnvironment(env);
        server_.setWorkingDirectory(dir());
        server_.setProcessChannelMode(QProcess::MergedChannels);
        server_.setStandardOutputFile(filePath(name_ + ".log"));
        server_.start(command.first(), command.mid(1));
        if (!server_.waitForStarted(5000)) return fail(name_ + " did not start: " + server_.errorString());
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms && server_.state() != QProcess::NotRunning) {
            QThread::msleep(stepMs);
            if (ready()) return true;
        }
        return fail(late);
    }
    // Fails with `why` and the end of the compositor's log: false.
    bool fail(const QString &why) {
        QFile log(filePath(name_ + ".log"));
        QString tail;
        if (log.open(QIODevice::ReadOnly)) tail = QString::fromLocal8Bit(log.readAll().right(2000));
        error_ = why + (tail.isEmpty() ? QString() : "\n" + name_ + "'s log ends:\n" + tail);
        return false;
    }

    QString socket_, error_; // the socket: where the game connects

private:
    QString name_;
    QTemporaryDir server_dir_{QDir::tempPath() + "/tarvo-" + name_ + "-XXXXXX"};
    QTemporaryDir client_dir_{QDir::tempPath() + "/tarvo-client-XXXXXX"};
    QProcess server_;
};

} // namespace tarvo::testing
