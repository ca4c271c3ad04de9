// A private PulseAudio server with one null sink, started and stopped by a
// test, and a recorder on the sink's monitor.
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
#include <csignal>
#include <cstdint>
#include <sys/types.h>
#include <vector>

namespace tarvo::testing {

class PulseServer {
public:
    PulseServer() {
        const QString socket = QDir(path_).filePath("native");
        address_ = "unix:" + socket;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", dir_.path());
        env.insert("HOME", dir_.path());
        server_.setProcessEnvironment(env);
        server_.setProcessChannelMode(QProcess::MergedChannels);
        server_.setStandardOutputFile(dir_.filePath("log"));
        server_.start("pulseaudio", {"-n", "--daemonize=no", "--exit-idle-time=-1", "--disable-shm=yes",
                                     "--log-target=stderr", "-L",
                                     "module-native-protocol-unix auth-anonymous=1 socket=" + socket, "-L",
                                     "module-null-sink sink_name=tarvo_null"});
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000) {
            if (QFile::exists(socket) && pactl({"info"}) == 0) { ok_ = true; break; }
            QThread::msleep(50);
        }
    }
    ~PulseServer() {
        server_.terminate();
        if (!server_.waitForFinished(3000)) server_.kill();
        server_.waitForFinished(1000);
    }
    bool ok() const { return ok_; }
    const QString &address() const { return address_; }
    QString log() const {
        QFile f(QDir(path_).filePath("log"));
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
    }

    int pactl(const QStringList &args) const {
        QProcess p;
        p.setProcessEnvironment(clientEnv());
        p.start("pactl", args);
        p.waitForFinished(5000);
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    QProcessEnvironment clientEnv() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PULSE_SERVER", address_);
        env.insert("XDG_RUNTIME_DIR", path_);
        env.insert("HOME", path_);
        return env;
    }

    // Records the null sink's monitor as unsigned 8-bit mono at 22050 Hz.
    class Recording {
    public:
        explicit Recording(const PulseServer &server) : file_(QDir(server.path_).filePath("recording.raw")) {
            QFile::remove(file_);
            rec_.setProcessEnvironment(server.clientEnv());
            rec_.setStandardOutputFile(file_);
            rec_.start("parec", {"-d", "tarvo_null.monitor", "--raw", "--format=u8", "--rate=22050", "--channels=1",
                                 "--latency-msec=10"});
            rec_.waitForStarted(5000);
            // An idle null sink renders nothing, and a newly joined stream
            // waits for its long first block: keep the sink running with a
            // stream of silence at a low latency, as on a desktop, and wait
            // until the monitor delivers.
            silence_.setProcessEnvironment(server.clientEnv());
            silence_.setStandardInputFile("/dev/zero");
            silence_.start("pacat", {"--playback", "--raw", "--format=s16le", "--rate=44100", "--channels=2",
                                     "--latency-msec=10"});
            silence_.waitForStarted(5000);
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < 8000 && QFileInfo(file_).size() < 6615) QThread::msleep(20);
        }
        // parec flushes what it has on SIGINT (SIGTERM loses the tail).
        std::vector<std::uint8_t> stop() {
            ::kill(pid_t(rec_.processId()), SIGINT);
            if (!rec_.waitForFinished(3000)) rec_.kill();
            silence_.kill();
            silence_.waitForFinished(1000);
            QFile f(file_);
            if (!f.open(QIODevice::ReadOnly)) return {};
            const QByteArray bytes = f.readAll();
            return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
        }
        ~Recording() {
            for (QProcess *p : {&rec_, &silence_})
                if (p->state() != QProcess::NotRunning) { p->kill(); p->waitForFinished(1000); }
        }
    private:
        QString file_;
        QProcess rec_, silence_;
    };

private:
    QTemporaryDir dir_;
    QString path_ = dir_.path();
    QProcess server_;
    QString address_;
    bool ok_ = false;
};

// First and last sample that stands out from silence, or {-1, -1}.
inline std::pair<long, long> AudibleSpan(const std::vector<std::uint8_t> &s, int threshold = 3) {
    long first = -1, last = -1;
    for (size_t i = 0; i < s.size(); ++i)
        if (std::abs(int(s[i]) - 128) > threshold) {
            if (first < 0) first = long(i);
            last = long(i);
        }
    return {first, last};
}

} // namespace tarvo::testing
