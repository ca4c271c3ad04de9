// SPDX-License-Identifier: MIT
// A private sound server that speaks the PulseAudio protocol, with one null
// sink as its default, started and stopped by a test; and a recorder on the
// sink's monitor. Two kinds: PulseAudio itself, and PipeWire with its
// session manager and PulseAudio layer on a session bus of its own. Every
// process runs in a runtime folder of its own and dies with the test.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QThread>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "process.h"

namespace tarvo::testing {

class SoundServer {
public:
    enum class Kind { PulseAudio, PipeWire };

    // TARVO_SOUND_SERVER=pipewire picks PipeWire; anything else PulseAudio.
    static Kind KindFromEnvironment() {
        return qgetenv("TARVO_SOUND_SERVER") == "pipewire" ? Kind::PipeWire : Kind::PulseAudio;
    }
    static const char *Name(Kind k) { return k == Kind::PipeWire ? "PipeWire" : "PulseAudio"; }

    // PipeWire's graph runs in cycles of `quantum` samples at 48 kHz. The
    // tests take 2048 (43 ms) rather than a desktop's 1024: on a virtual
    // machine whose host takes its processors away for 20 ms and more now
    // and then (seen here, with several seconds of "steal" in a minute's
    // run), the null sink missed a cycle, and the recording had a gap in the
    // middle of a sound that the player had handed over whole. The
    // benchmarks take PipeWire's own settings (0), as a desktop has them.
    explicit SoundServer(Kind kind = KindFromEnvironment(), int quantum = 2048) : kind_(kind) {
        socket_ = kind_ == Kind::PipeWire ? QDir(path_).filePath("pulse/native") : QDir(path_).filePath("native");
        address_ = "unix:" + socket_;
        // PulseAudio's null sink sleeps through a first long block after it
        // is made: the test's own tools use a socket of their own until the
        // sink runs at a desktop's pace, and only then the game's socket opens.
        own_ = kind_ == Kind::PipeWire ? socket_ : QDir(path_).filePath("tools");
        if (kind_ == Kind::PipeWire) {
            // The null sink is part of the graph from the start, so that it
            // is the only sink and everything plays to it.
            QDir(path_).mkpath("config/pipewire/pipewire.conf.d");
            QFile conf(QDir(path_).filePath("config/pipewire/pipewire.conf.d/tarvo-null.conf"));
            if (conf.open(QIODevice::WriteOnly)) {
                if (quantum > 0)
                    conf.write(QString("context.properties = { default.clock.quantum = %1 default.clock.min-quantum = %1 }\n")
                                   .arg(quantum).toUtf8());
                conf.write("context.objects = [ { factory = adapter args = { factory.name = support.null-audio-sink\n"
                           "  node.name = tarvo_null node.description = \"TARVO test sink\"\n"
                           "  media.class = Audio/Sink audio.position = [ FL FR ] } } ]\n");
            }
            bus_.setProcessEnvironment(serverEnv());
            bus_.setProcessChannelMode(QProcess::MergedChannels);
            bus_.setStandardOutputFile(QDir(path_).filePath("dbus.log"));
            StartChild(bus_, "dbus-daemon", {"--session", "--nofork", "--nopidfile",
                                             "--address=unix:path=" + QDir(path_).filePath("bus")});
            if (!bus_.waitForStarted(5000)) { failure_ = "dbus-daemon does not start"; return; }
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < 5000 && !QFile::exists(QDir(path_).filePath("bus"))) QThread::msleep(10);
        }
        start();
    }
    ~SoundServer() {
        stop();
        if (bus_.state() != QProcess::NotRunning) {
            bus_.terminate();
            if (!bus_.waitForFinished(3000)) bus_.kill();
            bus_.waitForFinished(1000);
        }
    }
    SoundServer(const SoundServer &) = delete;
    SoundServer &operator=(const SoundServer &) = delete;

    Kind kind() const { return kind_; }
    bool ok() const { return ok_; }
    const QString &address() const { return address_; }
    // Why the server is not ok, with its log.
    QString log() const {
        QString all = failure_;
        for (const char *name : {"server.log", "wireplumber.log", "pulse.log", "dbus.log"}) {
            QFile f(QDir(path_).filePath(name));
            if (f.open(QIODevice::ReadOnly)) all += QString("\n--- %1\n").arg(name) + QString::fromLocal8Bit(f.readAll());
        }
        return all;
    }

    // Starts the server (again) and waits until it answers with its null
    // sink as the default.
    bool start() {
        stop();
        ok_ = false;
        failure_.clear();
        QFile::remove(socket_);
        QFile::remove(own_);
        if (kind_ == Kind::PulseAudio) {
            startProcess(0, "pulseaudio", {"-n", "--daemonize=no", "--exit-idle-time=-1", "--disable-shm=yes",
                                           "--log-target=stderr", "-L",
                                           "module-native-protocol-unix auth-anonymous=1 socket=" + own_, "-L",
                                           "module-null-sink sink_name=tarvo_null"}, "server.log");
        } else {
            // The session manager gives up at once when PipeWire's socket is
            // not there yet (a restart under load): it starts once it is.
            const QString core = QDir(path_).filePath("pipewire-0");
            for (const QString &stale : {core, core + ".lock", core + "-manager", core + "-manager.lock"})
                QFile::remove(stale);
            startProcess(0, "pipewire", {}, "server.log");
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < 10000 && !QFile::exists(core)) QThread::msleep(10);
            // No Bluetooth for a test server: WirePlumber 0.4's Bluetooth
            // monitor also needs logind, and where there is none (a bare
            // root, a container) WirePlumber ends at once. This file takes the
            // place of the one that turns it on (0.5 reads other files).
            const QString noBluetooth = QDir(path_).filePath("config/wireplumber/bluetooth.lua.d");
            QDir().mkpath(noBluetooth);
            if (QFile f(noBluetooth + "/90-enable-all.lua"); f.open(QIODevice::WriteOnly))
                f.write("-- Bluetooth stays off\n");
            startProcess(1, "wireplumber", {}, "wireplumber.log");
            startProcess(2, "pipewire-pulse", {}, "pulse.log");
        }
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 15000) {
            for (auto &p : procs_)
                if (p && (p->waitForFinished(0), p->state() == QProcess::NotRunning)) {
                    failure_ = p->program() + " ended or did not start: " + p->errorString();
                    return false;
                }
            if (QFile::exists(own_) && pactl({"set-default-sink", "tarvo_null"}) == 0) { ok_ = true; break; }
            QThread::msleep(20);
        }
        if (!ok_) { failure_ = "the server did not answer within 15 s"; return false; }
        if (kind_ == Kind::PulseAudio) {
            // A stream of silence at a low latency keeps the sink running, as
            // on a desktop; wait until its monitor delivers, then let the game in.
            silence_.setProcessEnvironment(clientEnv());
            silence_.setStandardInputFile("/dev/zero");
            StartChild(silence_, "pacat", {"--playback", "--raw", "--format=s16le", "--rate=44100", "--channels=2",
                                           "--latency-msec=10"});
            {
                QElapsedTimer never;
                never.start();
                Recording warm(*this, never);
                ok_ = warm.waitUntilDelivering();
            }
            if (!ok_ || pactl({"load-module", "module-native-protocol-unix", "auth-anonymous=1",
                               "socket=" + socket_}) != 0) {
                failure_ = "the null sink does not run";
                ok_ = false;
            }
        }
        return ok_;
    }
    // Kills the server at once (as a crash would).
    void stop() {
        if (silence_.state() != QProcess::NotRunning) { silence_.kill(); silence_.waitForFinished(1000); }
        for (auto &p : procs_)
            if (p) {
                SignalChild(*p, SIGKILL);
                p->waitForFinished(3000);
                p.reset();
            }
        ok_ = false;
    }
    // Stops the server's processes (SIGSTOP), and lets them go on again.
    void pause() { signal(SIGSTOP); }
    void resume() { signal(SIGCONT); }

    // pactl's exit code (-1 when it did not finish), and what it printed.
    int pactl(const QStringList &args, QString *output = nullptr) const {
        QByteArray out;
        const int code = Run("pactl", args, clientEnv(), 5000, &out);
        if (output) *output = QString::fromUtf8(out);
        return code;
    }

    // For the test's own tools (pactl, parec, pacat).
    QProcessEnvironment clientEnv() const {
        QProcessEnvironment env = serverEnv();
        env.insert("PULSE_SERVER", "unix:" + own_);
        return env;
    }

    // Records the null sink's monitor as unsigned 8-bit mono at 22050 Hz,
    // and notes when each piece of it arrived.
    class Recording {
    public:
        explicit Recording(const SoundServer &server, const QElapsedTimer &clock)
            : file_(QDir(server.path_).filePath("recording.raw")), clock_(clock) {
            QFile::remove(file_);
            rec_.setProcessEnvironment(server.clientEnv());
            rec_.setStandardOutputFile(file_);
            StartChild(rec_, "parec", {"-d", "tarvo_null.monitor", "--raw", "--format=u8", "--rate=22050",
                                       "--channels=1", "--latency-msec=10"});
            rec_.waitForStarted(5000);
            watcher_ = std::thread([this] {
                qint64 last = 0;
                while (!done_) {
                    const qint64 size = QFileInfo(file_).size();
                    if (size != last) {
                        std::lock_guard<std::mutex> lock(m_);
                        arrivals_.push_back({clock_.elapsed(), size});
                        last = size;
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(3));
                }
            });
        }
        // Waits until the monitor delivers at the pace of the clock (a
        // recorder takes a while to start; a null sink that was stopped
        // first catches up at full speed).
        bool waitUntilDelivering(int ms = 8000) {
            QElapsedTimer c;
            c.start();
            long before = -1;
            while (c.elapsed() < ms) {
                const long now = samplesSoFar();
                if (before >= 2205 && now - before > 2205 / 2 && now - before < 2205 * 3 / 2) return true;
                before = now;
                QThread::msleep(100);
            }
            return false;
        }
        long samplesSoFar() {
            std::lock_guard<std::mutex> lock(m_);
            return arrivals_.empty() ? 0 : long(arrivals_.back().second);
        }
        // When (on the clock) sample `index` was played, or -1: counted back
        // from the latest piece to arrive, as the monitor delivers without a
        // gap once it has started.
        qint64 timeOf(long index) {
            std::lock_guard<std::mutex> lock(m_);
            if (arrivals_.empty()) return -1;
            const auto [at, size] = arrivals_.back();
            return at - (size - index) * 1000 / 22050;
        }
        // What has arrived so far: only samples whose arrival is noted, so
        // that timeOf knows each of them.
        std::vector<std::uint8_t> soFar() {
            std::vector<std::uint8_t> out = all();
            out.resize(std::min(out.size(), std::size_t(samplesSoFar())));
            return out;
        }
        // parec flushes what it has on SIGINT (SIGTERM loses the tail).
        std::vector<std::uint8_t> stop() {
            SignalChild(rec_, SIGINT);
            if (!rec_.waitForFinished(3000)) rec_.kill();
            endWatch();
            return all();
        }
        ~Recording() {
            endWatch();
            if (rec_.state() != QProcess::NotRunning) { rec_.kill(); rec_.waitForFinished(1000); }
        }
    private:
        std::vector<std::uint8_t> all() const {
            QFile f(file_);
            if (!f.open(QIODevice::ReadOnly)) return {};
            const QByteArray bytes = f.readAll();
            return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
        }
        void endWatch() {
            done_ = true;
            if (watcher_.joinable()) watcher_.join();
        }
        QString file_;
        const QElapsedTimer &clock_;
        QProcess rec_;
        std::mutex m_;
        std::vector<std::pair<qint64, qint64>> arrivals_; // (clock ms, bytes so far)
        std::atomic<bool> done_{false};
        std::thread watcher_;
    };

private:
    QProcessEnvironment serverEnv() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", path_);
        env.insert("HOME", path_);
        env.insert("XDG_CONFIG_HOME", QDir(path_).filePath("config"));
        env.insert("XDG_STATE_HOME", QDir(path_).filePath("state"));
        env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QDir(path_).filePath("bus"));
        env.remove("PULSE_SERVER");
        env.remove("PIPEWIRE_REMOTE");
        return env;
    }
    void startProcess(int slot, const QString &program, const QStringList &args, const char *logName) {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(serverEnv());
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->setStandardOutputFile(QDir(path_).filePath(logName), QIODevice::Append);
        StartChild(*p, program, args);
        p->waitForStarted(5000);
        procs_[size_t(slot)] = std::move(p);
    }
    void signal(int sig) {
        for (auto &p : procs_)
            if (p) SignalChild(*p, sig);
    }

    Kind kind_;
    QTemporaryDir dir_;
    QString path_ = dir_.path();
    QString socket_, address_, own_, failure_;
    QProcess bus_, silence_;
    std::unique_ptr<QProcess> procs_[3];
    bool ok_ = false;
};

// The tests that only need some server to play to.
using PulseServer = SoundServer;

// First and last sample that stands out from silence, or {-1, -1}.
inline std::pair<long, long> AudibleSpan(const std::vector<std::uint8_t> &s, int threshold = 3, long from = 0,
                                         long to = -1) {
    long first = -1, last = -1;
    if (to < 0 || to > long(s.size())) to = long(s.size());
    for (long i = std::max(0L, from); i < to; ++i)
        if (std::abs(int(s[size_t(i)]) - 128) > threshold) {
            if (first < 0) first = i;
            last = i;
        }
    return {first, last};
}

// How many 10 ms windows in [from, to) hold a sample far from the midpoint.
inline int LoudWindows(const std::vector<std::uint8_t> &s, long from, long to, int threshold = 3) {
    int loud = 0;
    if (to > long(s.size())) to = long(s.size());
    for (long w = std::max(0L, from); w + 220 <= to; w += 220)
        if (AudibleSpan(s, threshold, w, w + 220).first >= 0) ++loud;
    return loud;
}

} // namespace tarvo::testing
