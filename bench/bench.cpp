// SPDX-License-Identifier: MIT
// Measures the game against its floors and prints one table: start-up,
// memory, idle cost, key to screen, the countdown, Timer1, sound start. Every
// timing is taken beside a floor in the same run, interleaved or at the same
// time, so that both meet the same noise: a bare program of the same
// platform that loads the same toolkit and keeps the same timer the same way
// (bare_window.cpp, bare_window_win32.cpp, floor.html). Each goal is judged on
// the game's figure against its floor's. With --repeat N the whole table is
// measured N times, and each figure is the median of the N, with its range.
//   tarvo-bench OUT.md [--quick] [--repeat N] [--sound|--wine|--web]
#include <QApplication>
#include <QTemporaryDir>
#include <QEventLoop>
#include <QTimer>

// Qt's network headers (the browser's WebDriver) before X11's macros.
#include "static_server.h"
#include "environments.h"

#include "window/linux/pulse_player_linux.h"
#include "window/linux/form1_linux.h"
#include "pulse_server.h"

#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

using namespace tarvo::testing;
using Clock = std::chrono::steady_clock;

namespace {

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    const double at = p * double(v.size() - 1);
    const size_t lo = size_t(std::floor(at)), hi = size_t(std::ceil(at));
    return v[lo] + (v[hi] - v[lo]) * (at - double(lo));
}
double Worst(const std::vector<double> &v) {
    double w = v.empty() ? NAN : 0;
    for (double x : v) w = std::max(w, std::abs(x));
    return w;
}

void RunEvents(int msecs) {
    QEventLoop loop;
    QTimer::singleShot(msecs, &loop, &QEventLoop::quit);
    loop.exec();
}

// How a row's goal is judged: the game's figure against its floor's (their
// ratio, or what the game adds), or the game's alone.
enum class Judge { Ratio, Adds, Alone, Info };

struct Row {
    QString what, unit, goal;
    Judge judge = Judge::Info;
    double limit = 0;
    std::vector<double> game, floor; // one figure each per repeat
    QString note;                    // the latest run's details
};
std::vector<Row> rows;
QString wineVersion; // when the Windows program was measured too

double Derived(const Row &r, size_t i) {
    return r.judge == Judge::Ratio ? r.game[i] / r.floor[i] : r.judge == Judge::Adds ? r.game[i] - r.floor[i] : r.game[i];
}
bool Met(const Row &r, double median) {
    return r.judge == Judge::Info || (std::isfinite(median) && median <= r.limit);
}
QString Num(double v, int decimals) { return std::isfinite(v) ? QString::number(v, 'f', decimals) : QString("-"); }
// "median (low to high)" over the repeats, or the one figure.
QString Spread(const std::vector<double> &v, int decimals) {
    if (v.empty()) return "-";
    QString out = Num(Percentile(v, 0.5), decimals);
    if (v.size() > 1)
        out += QString(" (%1 to %2)").arg(Num(*std::min_element(v.begin(), v.end()), decimals),
                                          Num(*std::max_element(v.begin(), v.end()), decimals));
    return out;
}

// One figure of this repeat: the game's, and its floor's (NAN for none).
void Report(const QString &what, double game, double floor, const QString &unit, Judge judge, double limit,
            const QString &goal, const QString &note = {}) {
    auto it = std::find_if(rows.begin(), rows.end(), [&](const Row &r) { return r.what == what; });
    if (it == rows.end()) {
        rows.push_back({what, unit, goal, judge, limit, {}, {}, {}});
        it = rows.end() - 1;
    }
    it->game.push_back(game);
    it->floor.push_back(floor);
    it->note = note;
    const double d = Derived(*it, it->game.size() - 1);
    std::printf("%-46s game %-9s floor %-9s %-8s %-22s %s %s\n", qPrintable(what), qPrintable(Num(game, 3)),
                qPrintable(Num(floor, 3)), qPrintable(Num(d, 3)), qPrintable(goal), Met(*it, d) ? "met" : "MISSED",
                qPrintable(note));
    std::fflush(stdout);
}
// A row that could not be measured this time.
void Failed(const QString &what, const QString &why) {
    std::printf("%-46s %s\n", qPrintable(what), qPrintable(why));
    std::fflush(stdout);
    Report(what, NAN, NAN, "", Judge::Alone, 0, "(could not be measured)", why);
}

// A program on the harness's Xvfb, started by the harness's launcher and
// driven by XTest; its window found by its title, and its pixels read
// straight from the X server.
class Program {
public:
    Program(Xvfb &x, Launcher &launcher, const char *title,
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment())
        : x_(x), launcher_(launcher), title_(title) {
        x.prepare(env);
        if (!env.contains("PULSE_SERVER")) env.insert("PULSE_SERVER", "unix:/nonexistent/tarvo-bench");
        proc_.setStandardOutputFile(QProcess::nullDevice()); // the launcher merges its errors into it
        started_ = Clock::now();
        launcher.start(proc_, env);
    }
    ~Program() {
        launcher_.stop();
        proc_.kill();
        proc_.waitForFinished(3000);
    }
    // Waits until the window is mapped and shows its white ground: the first
    // frame, in ms from the start of its process.
    double waitFirstFrame() {
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (Clock::now() < deadline) {
            if (!win_ && proc_.state() != QProcess::NotRunning) win_ = x_.findWindow(title_);
            if (win_) {
                XWindowAttributes a;
                if (XGetWindowAttributes(x_.dpy(), win_, &a) && a.map_state == IsViewable) {
                    XImage *img = XGetImage(x_.dpy(), win_, 100, a.height - 25, 1, 1, AllPlanes, ZPixmap);
                    if (img) {
                        const unsigned long px = XGetPixel(img, 0, 0) & 0xffffff;
                        XDestroyImage(img);
                        if (px == 0xffffff) return ms(Clock::now() - started_);
                    }
                }
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        return -1;
    }
    void focus() {
        XSetInputFocus(x_.dpy(), win_, RevertToParent, CurrentTime);
        XSync(x_.dpy(), False);
    }
    // Puts the window at x on the screen (there is no window manager), so
    // that two programs measured side by side never cover each other.
    void moveTo(int x) {
        XMoveWindow(x_.dpy(), win_, x, 0);
        XSync(x_.dpy(), False);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    void press(KeySym sym, bool down) {
        XTestFakeKeyEvent(x_.dpy(), XKeysymToKeycode(x_.dpy(), sym), down ? True : False, CurrentTime);
        XFlush(x_.dpy());
    }
    void tap(KeySym sym) { press(sym, true); press(sym, false); }
    void ctrlS() { press(XK_Control_L, true); tap(XK_s); press(XK_Control_L, false); }
    // The banner strip of the client area as the X server has it.
    QImage banner() {
        XWindowAttributes a;
        XGetWindowAttributes(x_.dpy(), win_, &a);
        XImage *img = XGetImage(x_.dpy(), win_, 0, a.height - 100, 200, 50, AllPlanes, ZPixmap);
        QImage out(200, 50, QImage::Format_RGB32);
        if (!img) return {};
        for (int y = 0; y < 50; ++y)
            for (int xx = 0; xx < 200; ++xx) out.setPixel(xx, y, 0xff000000u | (XGetPixel(img, xx, y) & 0xffffff));
        XDestroyImage(img);
        return out;
    }
    // Polls the banner until `want`; the time it took, in ms, or -1.
    double until(const std::function<bool(const QImage &)> &want, Clock::time_point from, int limitMs) {
        const auto deadline = from + std::chrono::milliseconds(limitMs);
        while (Clock::now() < deadline) {
            const QImage b = banner();
            const auto at = Clock::now();
            if (want(b)) return ms(at - from);
        }
        return -1;
    }
    qint64 pid() const { return proc_.processId(); }
    long status(const char *field) {
        QFile f(QString("/proc/%1/status").arg(pid()));
        if (!f.open(QIODevice::ReadOnly)) return -1;
        for (const QByteArray &line : f.readAll().split('\n'))
            if (line.startsWith(field)) return line.mid(int(strlen(field))).trimmed().split(' ').first().toLong();
        return -1;
    }
    // CPU time of every thread, in ns.
    double cpuNs() {
        double sum = 0;
        for (const QString &t : QDir(QString("/proc/%1/task").arg(pid())).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile f(QString("/proc/%1/task/%2/schedstat").arg(pid()).arg(t));
            if (f.open(QIODevice::ReadOnly)) sum += f.readAll().split(' ').first().toDouble();
        }
        return sum;
    }

private:
    Xvfb &x_;
    Launcher &launcher_;
    std::string title_;
    QProcess proc_;
    Clock::time_point started_;
    Window win_ = 0;
};

// The game and its floor, as started on the machine (or under Wine).
struct Pair {
    QString where;          // "" natively, "Wine: " under Wine
    Launcher &game, &bare;  // what starts them
};

// Starts, one after the other, interleaved: the median time to the first frame.
void StartUp(Xvfb &x, const Pair &on, int runs) {
    std::vector<double> game, bare;
    for (int i = 0; i < runs; ++i) {
        { Program p(x, on.game, "TARVO"); game.push_back(p.waitFirstFrame()); }
        { Program p(x, on.bare, "BARE"); bare.push_back(p.waitFirstFrame()); }
    }
    Report(on.where + "Start-up to first frame, median of " + QString::number(runs), Percentile(game, 0.5),
           Percentile(bare, 0.5), "ms", Judge::Ratio, 1.05, "ratio <= 1.05");
}

bool Foul(Program &p) {
    const QImage ready = Asset("ready.bmp"), fall = Asset("fall1p.bmp");
    p.ctrlS();
    if (p.until([&](const QImage &b) { return b == ready; }, Clock::now(), 3000) < 0) return false;
    p.press(XK_Shift_L, true);
    const bool ok = p.until([&](const QImage &b) { return b == fall; }, Clock::now(), 3000) >= 0;
    p.press(XK_Shift_L, false);
    return ok;
}

void Memory(Xvfb &x, const Pair &on) {
    long game = 0, bare = 0;
    {
        Program p(x, on.game, "TARVO");
        p.waitFirstFrame();
        p.focus();
        for (int i = 0; i < 10; ++i) Foul(p);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        game = p.status("VmHWM:");
    }
    {
        Program p(x, on.bare, "BARE");
        p.waitFirstFrame();
        p.focus();
        for (int i = 0; i < 10; ++i) { p.ctrlS(); p.tap(XK_Shift_L); std::this_thread::sleep_for(std::chrono::milliseconds(20)); }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        bare = p.status("VmHWM:");
    }
    Report(on.where + "Peak resident memory, 10 bouts", game / 1024.0, bare / 1024.0, "MiB", Judge::Ratio, 1.15,
           "ratio <= 1.15");
}

// CPU time of every thread of the processes with this name, in ns.
double CpuNsOf(const QString &name) {
    double sum = 0;
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm("/proc/" + pid + "/comm");
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != name.toLatin1()) continue;
        for (const QString &t : QDir("/proc/" + pid + "/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile f("/proc/" + pid + "/task/" + t + "/schedstat");
            if (f.open(QIODevice::ReadOnly)) sum += f.readAll().split(' ').first().toDouble();
        }
    }
    return sum;
}

// CPU time of a process and everything it started since, in ns.
double CpuNsOfTree(qint64 root) {
    std::map<qint64, qint64> parent;
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat("/proc/" + pid + "/stat");
        if (!stat.open(QIODevice::ReadOnly)) continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> after = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (after.size() > 1) parent[pid.toLongLong()] = after[1].toLongLong();
    }
    double sum = 0;
    for (const auto &[pid, up] : parent) {
        qint64 p = pid;
        while (p > 1 && p != root) p = parent.count(p) ? parent[p] : 0;
        if (p != root) continue;
        for (const QString &t : QDir(QString("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile f(QString("/proc/%1/task/%2/schedstat").arg(pid).arg(t));
            if (f.open(QIODevice::ReadOnly)) sum += f.readAll().split(' ').first().toDouble();
        }
    }
    return sum;
}

// The game idling with a sound server, the game idling with none, and the
// bare window, all at the same time: % of one core each. Natively the
// server is a private PulseAudio; under Wine, whose own server (wineserver)
// serves both programs and cannot be shared out, the programs' own threads
// are counted, and the server's time is told apart.
void Idle(Xvfb &x, const Pair &on, int seconds, const QString &helper = {}) {
    SoundServer server(SoundServer::Kind::PulseAudio);
    QProcessEnvironment withServer = QProcessEnvironment::systemEnvironment();
    if (server.ok()) withServer.insert("PULSE_SERVER", server.address());
    Program heard(x, on.game, "TARVO", withServer), silent(x, on.game, "TARVO"), bare(x, on.bare, "BARE");
    std::this_thread::sleep_for(std::chrono::seconds(on.where.isEmpty() ? 3 : 8)); // all three up and settled
    const double h0 = heard.cpuNs(), s0 = silent.cpuNs(), b0 = bare.cpuNs(), w0 = helper.isEmpty() ? 0 : CpuNsOf(helper);
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double span = ms(Clock::now() - t0) * 1e6 / 100; // ns in 1 % of a core
    const double h = (heard.cpuNs() - h0) / span, s = (silent.cpuNs() - s0) / span, b = (bare.cpuNs() - b0) / span;
    const QString note = helper.isEmpty() ? QString()
                                          : QString("%1 beside them: %2 %").arg(helper).arg((CpuNsOf(helper) - w0) / span, 0, 'f', 3);
    if (!server.ok()) Failed(on.where + "Idle CPU", "no sound server could be started");
    else Report(QString("%1Idle CPU over %2 s, with a sound server").arg(on.where).arg(seconds), h, b, "% of a core",
                Judge::Adds, 0.1, "adds <= 0.1 %", note);
    Report(QString("%1Idle CPU over %2 s, no sound server").arg(on.where).arg(seconds), s, b, "% of a core", Judge::Adds,
           0.1 + (server.ok() ? std::max(0.0, h - b) : 0.0), "as with a server, +0.1 %", note);
}

// The game and its floor each measured `rounds` times, in turn: both on the
// screen side by side, a round of each by turns, so that both meet the same
// noise. Under Wine, which keeps its own idea of which of its windows has the
// keyboard (a focus moved from outside does not change it while two of its
// windows are up), all the game's rounds come first, then all the floor's.
void InTurn(Xvfb &x, const Pair &on, int rounds, const std::function<void(Program &)> &gameRound,
            const std::function<void(Program &)> &floorRound) {
    if (on.where.isEmpty()) {
        Program game(x, on.game, "TARVO"), bare(x, on.bare, "BARE");
        game.waitFirstFrame();
        bare.waitFirstFrame();
        game.moveTo(0);
        bare.moveTo(320);
        for (int i = 0; i < rounds; ++i) {
            game.focus();
            gameRound(game);
            bare.focus();
            floorRound(bare);
        }
        return;
    }
    for (const bool isGame : {true, false}) {
        Program p(x, isGame ? on.game : on.bare, isGame ? "TARVO" : "BARE");
        p.waitFirstFrame();
        p.focus();
        for (int i = 0; i < rounds; ++i) (isGame ? gameRound : floorRound)(p);
    }
}

// A key press to the frame that shows what it did: a foul's banner in the
// game, the floor's top half turned black or white.
void KeyToScreen(Xvfb &x, const Pair &on, int presses) {
    std::vector<double> game, floor;
    const QImage ready = Asset("ready.bmp"), fall = Asset("fall1p.bmp");
    InTurn(x, on, presses,
           [&](Program &p) {
               p.ctrlS();
               if (p.until([&](const QImage &b) { return b == ready; }, Clock::now(), 3000) < 0) return;
               std::this_thread::sleep_for(std::chrono::milliseconds(3));
               const auto t0 = Clock::now();
               p.press(XK_Shift_L, true);
               const double t = p.until([&](const QImage &b) { return b == fall; }, t0, 2000);
               p.press(XK_Shift_L, false);
               if (t >= 0) game.push_back(t);
           },
           [&](Program &p) {
               const QImage before = p.banner();
               std::this_thread::sleep_for(std::chrono::milliseconds(3));
               const auto t0 = Clock::now();
               p.press(XK_Shift_L, true);
               const double t = p.until([&](const QImage &b) { return b != before; }, t0, 2000);
               p.press(XK_Shift_L, false);
               if (t >= 0) floor.push_back(t);
           });
    Report(on.where + "Key to screen, p99 of " + QString::number(presses), Percentile(game, 0.99), Percentile(floor, 0.99),
           "ms", Judge::Adds, 2.0, "adds < 2 ms",
           QString("p50 %1 vs %2").arg(Percentile(game, 0.5), 0, 'f', 2).arg(Percentile(floor, 0.5), 0, 'f', 2));
}

// Ctrl+S to KILL on screen, off its 100 ms step (the game's KILL comes 3.0 to
// 3.9 s after the key, the floor's black 3.0 s after it).
void Countdown(Xvfb &x, const Pair &on, int bouts) {
    std::vector<double> game, floor;
    const QImage kill = Asset("kill.bmp"), win = Asset("win1p.bmp");
    const auto isDark = [](const QImage &b) { return qGray(b.pixel(100, 25)) < 50; };
    const auto stepError = [](double t) { return t - std::clamp(std::round(t / 100) * 100, 3000.0, 3900.0); };
    InTurn(x, on, bouts,
           [&](Program &p) {
               const auto t0 = Clock::now();
               p.ctrlS();
               if (const double t = p.until([&](const QImage &b) { return b == kill; }, t0, 5000); t >= 0) {
                   game.push_back(stepError(t));
                   p.tap(XK_Shift_L);
                   p.until([&](const QImage &b) { return b == win; }, Clock::now(), 3000);
               }
           },
           [&](Program &p) {
               if (isDark(p.banner())) { // white again first, so that black is the KILL
                   p.tap(XK_Shift_L);
                   p.until([&](const QImage &b) { return !isDark(b); }, Clock::now(), 2000);
               }
               const auto t0 = Clock::now();
               p.ctrlS();
               if (const double t = p.until(isDark, t0, 5000); t >= 0) floor.push_back(t - 3000);
           });
    Report(on.where + "Ctrl+S to KILL, worst of " + QString::number(bouts) + " off its step", Worst(game), Worst(floor),
           "ms", Judge::Adds, 1.0, "adds < 1 ms",
           QString("median %1 vs %2").arg(Percentile(game, 0.5), 0, 'f', 2).arg(Percentile(floor, 0.5), 0, 'f', 2));
}

// Timer1 and a bare precise 100 ms timer, in this process at the same time:
// each tick against the grid from its own first tick.
void Drift(int ticks) {
    tarvo::on_linux::Form1 form; // offscreen
    QTimer bare;
    bare.setTimerType(Qt::PreciseTimer);
    bare.setInterval(100);
    std::vector<Clock::time_point> at, floorAt;
    QObject::connect(&form.timer1(), &QTimer::timeout, [&] { at.push_back(Clock::now()); });
    QObject::connect(&bare, &QTimer::timeout, [&] { floorAt.push_back(Clock::now()); });
    bare.start();
    QEventLoop loop;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] { if (int(std::min(at.size(), floorAt.size())) > ticks) loop.quit(); });
    watch.start(50);
    loop.exec();
    const auto errors = [&](const std::vector<Clock::time_point> &t) {
        std::vector<double> err;
        for (int k = 0; k <= ticks; ++k) err.push_back(ms(t[size_t(k)] - t[0]) - 100.0 * k);
        return err;
    };
    const std::vector<double> game = errors(at), floor = errors(floorAt);
    Report(QString("Timer1, worst of %1 ticks off its grid").arg(ticks), Worst(game), Worst(floor), "ms", Judge::Adds, 1.0,
           "adds < 1 ms", QString("at the end %1 vs %2").arg(game.back(), 0, 'f', 2).arg(floor.back(), 0, 'f', 2));
}

// Records the null sink's monitor on a thread, stamping every sample with the
// wall-clock time the stream says it was captured.
class StampedRecorder {
public:
    explicit StampedRecorder(const QString &server) {
        pa_sample_spec format{PA_SAMPLE_U8, 22050, 1};
        pa_buffer_attr attr{uint32_t(-1), uint32_t(-1), uint32_t(-1), uint32_t(-1), 110}; // 5 ms fragments
        int err = 0;
        s_ = pa_simple_new(server.toLocal8Bit().constData(), "tarvo-bench", PA_STREAM_RECORD, "tarvo_null.monitor",
                           "monitor", &format, nullptr, &attr, &err);
        if (s_) thread_ = std::thread([this] { loop(); });
    }
    ~StampedRecorder() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (s_) pa_simple_free(s_);
    }
    bool ok() const { return s_ != nullptr; }
    // Capture time of the first sample since clear() that stands out from silence.
    std::optional<Clock::time_point> firstAudible() {
        std::lock_guard lock(m_);
        for (auto &[v, t] : samples_)
            if (std::abs(int(v) - 128) > 6) return t;
        return std::nullopt;
    }
    void clear() { std::lock_guard lock(m_); samples_.clear(); }
private:
    void loop() {
        uint8_t buf[110];
        while (!stop_) {
            int err = 0;
            if (pa_simple_read(s_, buf, sizeof buf, &err) < 0) return;
            const auto now = Clock::now();
            const pa_usec_t latency = pa_simple_get_latency(s_, &err);
            std::lock_guard lock(m_);
            for (size_t i = 0; i < sizeof buf; ++i) {
                const auto age = std::chrono::microseconds(latency) +
                                 std::chrono::microseconds(long((sizeof buf - 1 - i) * 1e6 / 22050));
                samples_.emplace_back(buf[i], now - age);
            }
        }
    }
    pa_simple *s_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex m_;
    std::vector<std::pair<uint8_t, Clock::time_point>> samples_;
};

void SoundStart(SoundServer::Kind kind, int plays) {
    const QString name = QString("Sound start on %1, worst of %2").arg(SoundServer::Name(kind)).arg(plays);
    SoundServer server(kind, 0); // PipeWire's own cycle, as on a desktop
    if (!server.ok()) { Failed(name, "no sound server could be started"); return; }
    // Keep the null sink running at a low latency, as a desktop's would be.
    QProcess silence;
    silence.setProcessEnvironment(server.clientEnv());
    silence.setStandardInputFile("/dev/zero");
    silence.start("pacat", {"--playback", "--raw", "--format=s16le", "--rate=44100", "--channels=2", "--latency-msec=5"});
    qputenv("PULSE_SERVER", server.address().toLocal8Bit());
    StampedRecorder rec(server.address());
    if (!rec.ok()) { Failed(name, "could not record the monitor"); return; }
    RunEvents(1500);
    std::ifstream in(std::string(TARVO_ASSETS_DIR) + "/104.wav", std::ios::binary);
    const std::vector<uint8_t> wav((std::istreambuf_iterator<char>(in)), {});
    tarvo::on_linux::PulsePlayer player;
    std::vector<double> delays;
    for (int i = 0; i < plays; ++i) {
        rec.clear();
        RunEvents(300);
        const auto t0 = Clock::now();
        player.play(wav.data(), wav.size());
        RunEvents(700);
        if (auto t = rec.firstAudible()) delays.push_back(ms(*t - t0));
    }
    silence.kill();
    silence.waitForFinished();
    Report(name, delays.empty() ? NAN : *std::max_element(delays.begin(), delays.end()), NAN, "ms", Judge::Alone, 40,
           "< 40 ms", QString("median %1").arg(Percentile(delays, 0.5), 0, 'f', 1));
}

// The Windows program's rows, under Wine in a prefix of the bench's own:
// Wine's figures, not Windows'.
void WineRows(const QString &windows, bool quick) {
    const QDir built(windows);
    // The prefix made, and one Wine server kept for every program started.
    Environment wine = EnvironmentNamed("wine", {.windowsExe = built.filePath("tarvo.exe"),
                                                 .winePrefix = built.filePath("wine-bench")});
    auto &x = dynamic_cast<Xvfb &>(*wine.session);
    auto &game = dynamic_cast<WineProgram &>(*wine.launcher);
    if (!x.ok() || !game.ok()) { Failed("Wine", x.ok() ? game.error() : x.error()); return; }
    QString version;
    game.run({"wine", "--version"}, 60000, &version);
    wineVersion = version.trimmed();
    const auto bare = game.another(built.filePath("bench/bare_window_win32.exe"));
    const Pair onWine{"Wine: ", game, *bare};
    StartUp(x, onWine, quick ? 3 : 12);
    Idle(x, onWine, quick ? 5 : 20, "wineserver64");
    KeyToScreen(x, onWine, quick ? 10 : 40);
    Countdown(x, onWine, quick ? 3 : 10);
    // Timer1 timed on its own, beside its floor.
    QString drift;
    const int ticks = quick ? 100 : 300;
    game.run({"wine", built.filePath("bench/timer_drift_win32.exe"), QString::number(ticks)}, 600000, &drift);
    std::map<QString, std::pair<double, double>> worstAndEnd;
    for (const QString &line : drift.split('\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.split(' ');
        if (f.size() >= 7) worstAndEnd[f[0]] = {f[4].toDouble(), f[2].toDouble()};
    }
    if (!worstAndEnd.count("Timer1") || !worstAndEnd.count("floor")) Failed("Wine: Timer1", "timer_drift_win32 gave " + drift);
    else Report(QString("Wine: Timer1, worst of %1 ticks off its grid").arg(ticks), worstAndEnd["Timer1"].first,
                worstAndEnd["floor"].first, "ms", Judge::Adds, 1.0, "adds < 1 ms",
                QString("at the end %1 vs %2").arg(worstAndEnd["Timer1"].second, 0, 'f', 2).arg(worstAndEnd["floor"].second, 0, 'f', 2));
}

void Launches(WebSession &web, const QString &where, const QString &page, bool quick);

// The browser page's rows in one engine, each beside the same browser showing
// the floor page (floor.html: the same canvas drawing and the same timer, no
// game): measured inside the page with performance.now(), a key to the frame
// that shows what it did, Ctrl+S to KILL, Timer1's ticks; and the CPU that
// all of the browser uses while the page idles.
void WebRows(const QString &page, const QString &engine, bool quick) {
    const QString where = engine + ": ";
    Environment browser = EnvironmentNamed(engine, {.page = page});
    auto &web = dynamic_cast<WebSession &>(*browser.session);
    if (!web.ok()) { Failed(where + "the page", web.error()); return; }
    const QString floorPage = QString(TARVO_BENCH_DIR) + "/floor.html";
    // A point of the banner where Ready?, KILL, the FALL and the WIN banners all differ.
    const char *names[] = {"ready.bmp", "kill.bmp", "fall1p.bmp", "win1p.bmp"};
    QPoint at;
    for (int y = 0; y < 50 && at.isNull(); ++y)
        for (int x = 0; x < 200 && at.isNull(); ++x) {
            QSet<QRgb> seen;
            for (const char *n : names) seen.insert(Asset(n).pixel(x, y) & 0xffffff);
            if (seen.size() == 4) at = QPoint(x, y);
        }
    const auto colour = [&](const char *n) { return int(Asset(n).pixel(at) & 0xffffff); };
    // Every frame that draws the stage, with the colour at that point; the
    // time of the latest key; every tick.
    const QString probe = QString(
        "const stage = document.getElementById('stage'), k = stage.width / 200;"
        "window.__b = {key: 0, frames: [], ticks: []};"
        "addEventListener('keydown', () => { __b.key = performance.now(); }, true);"
        "const draw = CanvasRenderingContext2D.prototype.drawImage;"
        "CanvasRenderingContext2D.prototype.drawImage = function (...a) { draw.apply(this, a);"
        "  if (this.canvas === stage) { const p = this.getImageData(%1 * k, %2 * k, 1, 1).data;"
        "    __b.frames.push([performance.now(), p[0] << 16 | p[1] << 8 | p[2]]); } };"
        "const tick = Module._tarvo_tick; Module._tarvo_tick = function () { __b.ticks.push(performance.now()); return tick(); };")
                              .arg(at.x()).arg(at.y());
    // The first frame since the latest key whose point has that colour: ms after the key, or -1.
    const auto after = [&](int want, int ms) {
        QElapsedTimer c;
        c.start();
        while (c.elapsed() < ms) {
            const double t = web.run("const f = __b.frames.find(f => f[0] >= __b.key && f[1] === arguments[0]);"
                                     "return f ? f[0] - __b.key : -1;", {want}).toDouble();
            if (t >= 0) return t;
            QThread::msleep(20);
        }
        return -1.0;
    };
    const auto stepError = [](double t) { return t - std::clamp(std::round(t / 100) * 100, 3000.0, 3900.0); };
    // The page, then the floor: each measured in a browser of its own.
    struct Figures { std::vector<double> frames, countdown, ticks; };
    const auto measure = [&](const QString &what, bool game) {
        Figures out;
        Game shown(web, std::make_unique<Page>(web, what, game ? 30000 : 0));
        if (game && !shown.ok()) return out;
        if (!game) QThread::msleep(1500);
        web.run(probe);
        const int dark = game ? colour("fall1p.bmp") : 0, idle = game ? colour("ready.bmp") : 0xffffff;
        for (int i = 0; i < (quick ? 10 : 30); ++i) {
            if (game) {
                web.key("ctrl+s");
                if (after(idle, 2000) < 0) continue;
            } else if (web.run("return __b.frames.length ? __b.frames[__b.frames.length - 1][1] : 0xffffff").toInt() != idle) {
                web.key("shift");
                after(idle, 2000);
            }
            web.run("__b.frames = [];");
            web.key("shift");
            if (const double t = after(dark, 2000); t >= 0) out.frames.push_back(t);
        }
        for (int i = 0; i < (quick ? 3 : 8); ++i) {
            if (!game && web.run("return __b.frames.length ? __b.frames[__b.frames.length - 1][1] : 0xffffff").toInt() != 0xffffff) {
                web.key("shift");
                after(0xffffff, 2000);
            }
            web.run("__b.frames = [];");
            web.key("ctrl+s");
            const double t = after(game ? colour("kill.bmp") : 0, 5000);
            if (t < 0) continue;
            out.countdown.push_back(game ? stepError(t) : t - 3000);
            if (game) {
                web.key("shift");
                after(colour("win1p.bmp"), 3000);
            }
        }
        const int ticks = quick ? 100 : 200;
        web.run("__b.ticks = [];");
        QThread::msleep(100 * ticks + 500);
        const QJsonArray when = web.run("return __b.ticks;").toArray();
        for (int k = 0; k < std::min<int>(ticks + 1, int(when.size())); ++k)
            out.ticks.push_back(when[k].toDouble() - when[0].toDouble() - 100.0 * k);
        return out;
    };
    const Figures game = measure(page, true), floor = measure(floorPage, false);
    if (game.frames.empty()) { Failed(where + "the page", "it did not start, or no foul was seen"); return; }
    Report(where + "key to frame, p99", Percentile(game.frames, 0.99), Percentile(floor.frames, 0.99), "ms", Judge::Adds, 2.0,
           "adds < 2 ms", QString("p50 %1 vs %2").arg(Percentile(game.frames, 0.5), 0, 'f', 2).arg(Percentile(floor.frames, 0.5), 0, 'f', 2));
    Report(where + "Ctrl+S to KILL, worst off its step", Worst(game.countdown), Worst(floor.countdown), "ms", Judge::Adds, 1.0,
           "adds < 1 ms", QString("median %1 vs %2").arg(Percentile(game.countdown, 0.5), 0, 'f', 2).arg(Percentile(floor.countdown, 0.5), 0, 'f', 2));
    Report(where + "Timer1, worst tick off its grid", Worst(game.ticks), Worst(floor.ticks), "ms", Judge::Adds, 1.0,
           "adds < 1 ms", QString("at the end %1 vs %2").arg(game.ticks.empty() ? NAN : game.ticks.back(), 0, 'f', 2)
                              .arg(floor.ticks.empty() ? NAN : floor.ticks.back(), 0, 'f', 2));
    // Idle: all of the browser's processes, the page idling, then the floor,
    // then a blank page.
    const auto idle = [&](const QString &what, int startMs) {
        Game shown(web, std::make_unique<Page>(web, what, startMs));
        // The page lets its audio output go after half a minute without a
        // sound, a key or a tap: idle is what comes after that.
        std::this_thread::sleep_for(std::chrono::seconds(quick ? 3 : 33));
        const qint64 root = shown.process().processId();
        const double before = CpuNsOfTree(root);
        const auto t0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(quick ? 5 : 15));
        return (CpuNsOfTree(root) - before) / 1e6 / ms(Clock::now() - t0) * 100;
    };
    const double busy = idle(page, 30000), bare = idle(floorPage, 0), blank = idle("about:blank", 0);
    Report(where + "idle CPU, all of the browser", busy, bare, "% of a core", Judge::Adds, 0.1, "adds <= 0.1 %",
           QString("a blank page %1 %").arg(blank, 0, 'f', 3));
    Launches(web, where, page, quick);
}

// The page from a host of its own, as an installed game opens: the first
// visit, with nothing kept (as any page loads), in a browser of its own each
// time; then, once the worker keeps it, launches with the host answering,
// with the host gone, and with a host that takes the connection and never
// answers. Each from the start of the navigation to the page's first frame
// of the game (the mark the page sets then).
void Launches(WebSession &web, const QString &where, const QString &page, bool quick) {
    QTemporaryDir site;
    const QDir built = QFileInfo(page).absoluteDir();
    for (const QString &f : built.entryList({"*.html", "*.js", "*.webmanifest", "*.png"}, QDir::Files))
        QFile::copy(built.filePath(f), QDir(site.path()).filePath(f));
    auto host = std::make_unique<StaticServer>(site.path());
    const QString url = host->url();
    const auto firstFrame = [&](int ms) {
        QElapsedTimer c;
        c.start();
        while (c.elapsed() < ms) {
            const QJsonValue t = web.run("const m = window.__left ? [] : performance.getEntriesByName('tarvo-first-frame');"
                                         "return m.length ? m[0].startTime : -1;");
            if (t.toDouble() >= 0) return t.toDouble();
            QThread::msleep(10);
        }
        return -1.0;
    };
    std::vector<double> uncached;
    std::map<QString, std::vector<double>> launched;
    const int visits = quick ? 2 : 5;
    for (int i = 0; i < (quick ? 1 : 3); ++i) {
        Game shown(web, std::make_unique<Page>(web, url));
        if (const double t = firstFrame(10000); t >= 0) uncached.push_back(t);
        if (i < (quick ? 0 : 2)) continue;
        for (int k = 0; k < 200 && !web.run("return !!navigator.serviceWorker.controller").toBool(); ++k) QThread::msleep(50);
        QThread::msleep(1000); // the worker has kept everything
        for (const QString state : {"answering", "never answering", "gone"}) {
            if (state == "never answering") host->setHanging(true);
            if (state == "gone") host.reset();
            for (int v = 0; v < visits; ++v) {
                web.run("window.__left = true; location.assign(arguments[0]);", {url});
                if (const double t = firstFrame(10000); t >= 0) launched[state].push_back(t);
            }
        }
    }
    const double first = Percentile(uncached, 0.5), answering = Percentile(launched["answering"], 0.5);
    Report(where + "installed page to first frame, host answering", answering, first, "ms", Judge::Ratio, 1.0,
           "ratio <= 1 (the floor: a first visit)", QString("median of %1, first visits %2").arg(visits).arg(uncached.size()));
    for (const QString state : {"never answering", "gone"})
        Report(where + "installed page to first frame, host " + state, Percentile(launched[state], 0.5), answering, "ms",
               Judge::Adds, 5.0, "adds < 5 ms (the floor: host answering)", QString("median of %1").arg(visits));
}

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("PULSE_SERVER", "unix:/nonexistent/tarvo-bench");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool quick = args.contains("--quick");
    const bool webOnly = args.contains("--web"), soundOnly = args.contains("--sound"), wineOnly = args.contains("--wine");
    const bool all = !webOnly && !soundOnly && !wineOnly;
    const int at = int(args.indexOf("--repeat"));
    const int repeats = at > 0 && at + 1 < args.size() ? std::max(1, args[at + 1].toInt()) : 1;
    const QString out = args.size() > 1 && !args[1].startsWith("--") ? args[1] : QString();
    // A cross-built Windows tree (tools/make-windows with the benchmarks):
    // the same rows for the Windows program under Wine.
    const QString windows = qEnvironmentVariable("TARVO_BENCH_WINDOWS");
    // The browser build (tools/make-web): the page's rows in each engine.
    const QString page = qEnvironmentVariable("TARVO_BENCH_WEB");
    const QStringList engines = qEnvironmentVariable("TARVO_BENCH_BROWSERS", "chromium firefox webkit").split(' ', Qt::SkipEmptyParts);
    QString load;
    if (QFile f("/proc/loadavg"); f.open(QIODevice::ReadOnly)) load = QString::fromLatin1(f.readAll()).section(' ', 0, 2);
    const QDateTime began = QDateTime::currentDateTimeUtc();

    for (int round = 1; round <= repeats; ++round) {
        std::printf("== repeat %d of %d\n", round, repeats);
        if (all) {
            Environment x11 = EnvironmentNamed("x11", {.native = TARVO_BINARY});
            auto &x = dynamic_cast<Xvfb &>(*x11.session);
            if (!x.dpy()) { std::fprintf(stderr, "Xvfb did not start\n"); return 1; }
            const auto bare = x11.launcher->another(BARE_BINARY);
            const Pair native{"", *x11.launcher, *bare};
            StartUp(x, native, quick ? 3 : 12);
            Memory(x, native);
            Idle(x, native, quick ? 5 : 20);
            KeyToScreen(x, native, quick ? 10 : 40);
            Countdown(x, native, quick ? 3 : 10);
            Drift(quick ? 100 : 300);
        }
        if ((all || wineOnly) && !windows.isEmpty()) WineRows(windows, quick);
        if ((all || webOnly) && !page.isEmpty())
            for (const QString &engine : engines) WebRows(page, engine, quick);
        if (all || soundOnly) {
            SoundStart(SoundServer::Kind::PulseAudio, quick ? 5 : 10);
            SoundStart(SoundServer::Kind::PipeWire, quick ? 5 : 10);
        }
    }

    bool met = true;
    QString table = "| measure | game | floor | game against floor | goal | |\n|---|---|---|---|---|---|\n";
    for (const Row &r : rows) {
        std::vector<double> derived;
        for (size_t i = 0; i < r.game.size(); ++i) derived.push_back(Derived(r, i));
        const double median = Percentile(derived, 0.5);
        const bool ok = Met(r, median);
        met = met && ok;
        const QString against = r.judge == Judge::Ratio ? "ratio " + Spread(derived, 3)
                                : r.judge == Judge::Adds ? "adds " + Spread(derived, 3) + " " + r.unit
                                                         : QString("-");
        table += QString("| %1 | %2 %3 | %4 | %5 | %6 | %7 |\n")
                     .arg(r.what, Spread(r.game, 3), r.unit, r.judge == Judge::Alone ? "-" : Spread(r.floor, 3) + " " + r.unit,
                          against, r.goal, r.judge == Judge::Info ? "" : ok ? "met" : "missed");
    }
    std::printf("\n%s", qPrintable(table));
    if (!out.isEmpty()) {
        QFile f(out);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            QTextStream s(&f);
            s << "# Benchmark results\n\n"
              << "Machine: " << qgetenv("TARVO_BENCH_CPU") << ", " << QThread::idealThreadCount() << " cores. Began "
              << began.toString("yyyy-MM-dd HH:mm") << " UTC, load average " << load << " at the start. "
              << repeats << (repeats == 1 ? " run" : " runs") << " of the whole table"
              << (repeats > 1 ? ": each figure is the median of the runs, with their range in brackets, and a goal is met when the median meets it" : "")
              << ".\n\n";
            if (!wineVersion.isEmpty())
                s << "The rows that begin with \"Wine:\" are the Windows program (and a bare Win32 window) under "
                  << wineVersion << ", on the same Xvfb: Wine's figures, not Windows'.\n\n";
            s << table;
        }
    }
    return met ? 0 : 3;
}
