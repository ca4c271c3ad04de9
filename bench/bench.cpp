// SPDX-License-Identifier: MIT
// Measures the game against its floors in one run and prints one table:
// start-up, memory, idle cost, key to screen, tick accuracy, sound start.
//   tarvo-bench OUT.md [--quick]
#include <QApplication>
#include <QEventLoop>
#include <QTimer>

// Qt's network headers (the browser's WebDriver) before X11's macros.
#include "websession.h"

#include "platform/wav_player.h"
#include "window/form1.h"
#include "pulse_server.h"
#include "xsession.h"

#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
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

void RunEvents(int msecs) {
    QEventLoop loop;
    QTimer::singleShot(msecs, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Row { QString what, figure, target; bool met; };
QString wineVersion; // when the Windows program was measured too
std::vector<Row> rows;
void Report(const QString &what, const QString &figure, const QString &target, bool met) {
    rows.push_back({what, figure, target, met});
    std::printf("%-34s %-44s %-22s %s\n", qPrintable(what), qPrintable(figure), qPrintable(target), met ? "met" : "MISSED");
    std::fflush(stdout);
}

// A program on Xvfb, driven by XTest.
class Program {
public:
    Program(Xvfb &x, const QStringList &command, const char *title,
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment())
        : x_(x), title_(title) {
        env.insert("DISPLAY", x.display());
        env.insert("QT_QPA_PLATFORM", "xcb");
        if (!env.contains("PULSE_SERVER")) env.insert("PULSE_SERVER", "unix:/nonexistent/tarvo-bench");
        proc_.setProcessEnvironment(env);
        proc_.setStandardOutputFile(QProcess::nullDevice());
        proc_.setStandardErrorFile(QProcess::nullDevice());
        started_ = Clock::now();
        proc_.start(command.first(), command.mid(1));
    }
    ~Program() {
        proc_.kill();
        proc_.waitForFinished(3000);
    }
    // Waits until the window is mapped and shows its white ground: the first frame.
    double waitFirstFrame() {
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (Clock::now() < deadline) {
            if (!win_) win_ = find();
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
    Window find() {
        Window root = DefaultRootWindow(x_.dpy()), parent, *kids = nullptr;
        unsigned n = 0;
        Window found = 0;
        if (XQueryTree(x_.dpy(), root, &root, &parent, &kids, &n))
            for (unsigned i = 0; i < n && !found; ++i) {
                char *name = nullptr;
                XWindowAttributes a;
                if (XFetchName(x_.dpy(), kids[i], &name) && name) {
                    if (std::string(name) == title_ && XGetWindowAttributes(x_.dpy(), kids[i], &a) &&
                        a.map_state == IsViewable)
                        found = kids[i];
                    XFree(name);
                }
            }
        if (kids) XFree(kids);
        return found;
    }
    Xvfb &x_;
    std::string title_;
    QProcess proc_;
    Clock::time_point started_;
    Window win_ = 0;
};

// The game and its floor, as started on the machine (or under Wine).
struct Pair {
    QString where;           // "" natively, "Wine: " under Wine
    QStringList game, bare;  // the commands that start them
};

void StartUp(Xvfb &x, const Pair &on, int runs) {
    std::vector<double> game, bare;
    for (int i = 0; i < runs; ++i) {
        { Program p(x, on.game, "TARVO"); game.push_back(p.waitFirstFrame()); }
        { Program p(x, on.bare, "BARE"); bare.push_back(p.waitFirstFrame()); }
    }
    const double g = Percentile(game, 0.5), b = Percentile(bare, 0.5);
    Report(on.where + "Start-up to first frame (median)", QString("%1 ms vs bare %2 ms: ratio %3").arg(g, 0, 'f', 1).arg(b, 0, 'f', 1).arg(g / b, 0, 'f', 3),
           "ratio <= 1.15", g / b <= 1.15);
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
    Report("Peak resident memory, 10 bouts", QString("%1 KiB vs bare %2 KiB: ratio %3").arg(game).arg(bare).arg(double(game) / bare, 0, 'f', 3),
           "ratio <= 1.15", double(game) / bare <= 1.15);
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

// `helper`: a process that works for the game (Wine's server), counted too.
void Idle(Xvfb &x, const Pair &on, int seconds, const QString &helper = {}) {
    Program p(x, on.game, "TARVO");
    p.waitFirstFrame();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double before = p.cpuNs(), helperBefore = helper.isEmpty() ? 0 : CpuNsOf(helper);
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double used = p.cpuNs() - before, helped = helper.isEmpty() ? 0 : CpuNsOf(helper) - helperBefore;
    const double share = (used + helped) / 1e6 / ms(Clock::now() - t0) * 100;
    QString figure = QString("%1 ms used: %2 % of one core").arg((used + helped) / 1e6, 0, 'f', 1).arg(share, 0, 'f', 3);
    if (!helper.isEmpty()) figure += QString(" (%1 ms of it %2's)").arg(helped / 1e6, 0, 'f', 1).arg(helper);
    Report(QString("%1Idle CPU over %2 s").arg(on.where).arg(seconds), figure, "< 0.3 %", share < 0.3);
}

void KeyToScreen(Xvfb &x, const Pair &on, int presses) {
    std::vector<double> game, floor;
    {
        Program p(x, on.game, "TARVO");
        p.waitFirstFrame();
        p.focus();
        const QImage ready = Asset("ready.bmp"), fall = Asset("fall1p.bmp");
        for (int i = 0; i < presses; ++i) {
            p.ctrlS();
            if (p.until([&](const QImage &b) { return b == ready; }, Clock::now(), 3000) < 0) continue;
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            const auto t0 = Clock::now();
            p.press(XK_Shift_L, true);
            const double t = p.until([&](const QImage &b) { return b == fall; }, t0, 2000);
            p.press(XK_Shift_L, false);
            if (t >= 0) game.push_back(t);
        }
    }
    {
        Program p(x, on.bare, "BARE");
        p.waitFirstFrame();
        p.focus();
        for (int i = 0; i < presses; ++i) {
            const QImage before = p.banner();
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            const auto t0 = Clock::now();
            p.press(XK_Shift_L, true);
            const double t = p.until([&](const QImage &b) { return b != before; }, t0, 2000);
            p.press(XK_Shift_L, false);
            if (t >= 0) floor.push_back(t);
        }
    }
    const double g50 = Percentile(game, 0.5), g99 = Percentile(game, 0.99), f50 = Percentile(floor, 0.5), f99 = Percentile(floor, 0.99);
    Report(QString("%1Key to screen, %2 fouls").arg(on.where).arg(game.size()),
           QString("p50 %1 ms, p99 %2 ms; floor p50 %3, p99 %4").arg(g50, 0, 'f', 2).arg(g99, 0, 'f', 2).arg(f50, 0, 'f', 2).arg(f99, 0, 'f', 2),
           "p99 < floor p99 + 2 ms", g99 < f99 + 2.0);
}

void Countdown(Xvfb &x, const Pair &on, int bouts) {
    std::vector<double> off, fromReady;
    Program p(x, on.game, "TARVO");
    p.waitFirstFrame();
    p.focus();
    const QImage kill = Asset("kill.bmp"), win = Asset("win1p.bmp"), ready = Asset("ready.bmp");
    auto stepError = [](double t) { return t - std::clamp(std::round(t / 100) * 100, 3000.0, 3900.0); };
    for (int i = 0; i < bouts; ++i) {
        const auto t0 = Clock::now();
        p.ctrlS();
        const double r = p.until([&](const QImage &b) { return b == ready; }, t0, 2000);
        const double t = p.until([&](const QImage &b) { return b == kill; }, t0, 5000);
        if (t < 0 || r < 0) continue;
        off.push_back(stepError(t));
        fromReady.push_back(stepError(t - r));
        p.tap(XK_Shift_L);
        p.until([&](const QImage &b) { return b == win; }, Clock::now(), 3000);
    }
    double worst = 0;
    for (double o : off) worst = std::max(worst, std::abs(o));
    Report(QString("%1Ctrl+S to KILL, %2 bouts").arg(on.where).arg(off.size()),
           QString("off its 100 ms step by %1 ms median, %2 ms worst").arg(Percentile(off, 0.5), 0, 'f', 2).arg(worst, 0, 'f', 2),
           "every one within 5 ms", worst <= 5.0 && !off.empty());
    double worstReady = 0;
    for (double o : fromReady) worstReady = std::max(worstReady, std::abs(o));
    Report(on.where + "  the same, Ready? shown to KILL shown",
           QString("off by %1 ms median, %2 ms worst").arg(Percentile(fromReady, 0.5), 0, 'f', 2).arg(worstReady, 0, 'f', 2),
           "(for comparison)", true);
}

void Drift(int ticks) {
    tarvo::Form1 form; // offscreen
    std::vector<Clock::time_point> at;
    QObject::connect(&form.timer1(), &QTimer::timeout, [&] { at.push_back(Clock::now()); });
    QEventLoop loop;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] { if (int(at.size()) > ticks) loop.quit(); });
    watch.start(50);
    loop.exec();
    // Error of tick k against the ideal 100 ms grid from the first tick, and its trend.
    std::vector<double> err;
    for (int k = 0; k <= ticks; ++k) err.push_back(ms(at[size_t(k)] - at[0]) - 100.0 * k);
    double mk = ticks / 2.0, me = std::accumulate(err.begin(), err.end(), 0.0) / err.size(), sxy = 0, sxx = 0, worst = 0;
    for (int k = 0; k <= ticks; ++k) { sxy += (k - mk) * (err[size_t(k)] - me); sxx += (k - mk) * (k - mk); worst = std::max(worst, std::abs(err[size_t(k)])); }
    const double slope = sxy / sxx * 1000; // ms per 1000 ticks
    Report(QString("Timer drift over %1 ticks").arg(ticks),
           QString("%1 ms at the end, worst %2 ms, trend %3 ms/1000 ticks").arg(err.back(), 0, 'f', 2).arg(worst, 0, 'f', 2).arg(slope, 0, 'f', 3),
           "no growing drift", std::abs(err.back()) < 5 && std::abs(slope) < 1.0);
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
    const QString name = QString("Sound start on %1").arg(SoundServer::Name(kind));
    SoundServer server(kind, 0); // PipeWire's own cycle, as on a desktop
    if (!server.ok()) { Report(name, "no sound server could be started", "< 40 ms", false); return; }
    // Keep the null sink running at a low latency, as a desktop's would be.
    QProcess silence;
    silence.setProcessEnvironment(server.clientEnv());
    silence.setStandardInputFile("/dev/zero");
    silence.start("pacat", {"--playback", "--raw", "--format=s16le", "--rate=44100", "--channels=2", "--latency-msec=5"});
    qputenv("PULSE_SERVER", server.address().toLocal8Bit());
    StampedRecorder rec(server.address());
    if (!rec.ok()) { Report(name, "could not record the monitor", "< 40 ms", false); return; }
    RunEvents(1500);
    std::ifstream in(std::string(TARVO_ASSETS_DIR) + "/104.wav", std::ios::binary);
    const std::vector<uint8_t> wav((std::istreambuf_iterator<char>(in)), {});
    tarvo::WavPlayer player;
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
    const double p50 = Percentile(delays, 0.5), worst = delays.empty() ? NAN : *std::max_element(delays.begin(), delays.end());
    Report(QString("%1, %2 plays").arg(name).arg(delays.size()),
           QString("median %1 ms, worst %2 ms").arg(p50, 0, 'f', 1).arg(worst, 0, 'f', 1), "< 40 ms", worst < 40);
}

// The Windows program's rows, under Wine in a prefix of the bench's own:
// Wine's figures, not Windows'.
void WineRows(const QString &windows, bool quick) {
    const QString prefix = QDir(windows).filePath("wine-bench"), script = QString(TARVO_TESTS_DIR) + "/wine.sh";
    const auto wine = [&](const QString &exe) { return QStringList{script, prefix, "wine", QDir(windows).filePath(exe)}; };
    const auto run = [&](const QStringList &command, QString *output = nullptr) {
        QProcess p;
        p.start(script, QStringList{prefix} + command);
        p.waitForFinished(600000);
        if (output) *output = QString::fromUtf8(p.readAllStandardOutput());
    };
    QString version;
    run({"wine", "--version"}, &version);
    wineVersion = version.trimmed();
    // The prefix made, and one Wine server kept for every program started.
    run({"wineboot"});
    run({"wineserver", "-w"});
    run({"wineserver", "-p"});
    {
        Xvfb x;
        if (!x.dpy()) { Report("Wine", "Xvfb did not start", "", false); return; }
        const Pair onWine{"Wine: ", wine("src/win32/tarvo.exe"), wine("bench/bare_window_win32.exe")};
        StartUp(x, onWine, quick ? 3 : 20);
        Idle(x, onWine, quick ? 5 : 30, "wineserver64");
        KeyToScreen(x, onWine, quick ? 20 : 200);
        Countdown(x, onWine, quick ? 5 : 50);
    }
    // Timer1 timed on its own, and a plain window timer beside it.
    QString drift;
    run({"wine", QDir(windows).filePath("bench/timer_drift_win32.exe"), quick ? "100" : "1000"}, &drift);
    for (const QString &line : drift.split('\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.split(' ');
        if (f.size() < 7) continue;
        const double end = f[2].toDouble(), worst = f[4].toDouble(), trend = f[6].toDouble();
        const bool ours = f[0] == "Timer1";
        Report(ours ? QString("Wine: Timer drift over %1 ticks").arg(quick ? 100 : 1000)
                    : QString("Wine:   the same, a plain SetTimer"),
               QString("%1 ms at the end, worst %2 ms, trend %3 ms/1000 ticks").arg(end, 0, 'f', 2).arg(worst, 0, 'f', 2).arg(trend, 0, 'f', 3),
               ours ? "no growing drift" : "(for comparison)", !ours || (std::abs(end) < 5 && std::abs(trend) < 1.0));
    }
    run({"wineserver", "-k"});
}

// The browser page's rows, in Debian's headless Chromium: the page's weight,
// and, measured inside the page with performance.now(), a key to the frame
// that shows what it did, Ctrl+S to KILL, Timer1's ticks; and the CPU all of
// Chromium uses while the page idles, beside a blank page's.
void WebRows(const QString &page, bool quick) {
    QFile file(page);
    if (!file.open(QIODevice::ReadOnly)) { Report("Browser", "no page at " + page, "", false); return; }
    const QByteArray bytes = file.readAll();
    const qint64 packed = qCompress(bytes, 9).size() - 4 + 18; // as gzip -9 would send it
    Report("Browser: page weight, all of it", QString("%1 KB, %2 KB compressed").arg(bytes.size() / 1000.0, 0, 'f', 0).arg(packed / 1000.0, 0, 'f', 0),
           "< 1 MB (aim < 400 KB)", bytes.size() < 1000000);

    WebSession web;
    if (!web.ok()) { Report("Browser", web.error(), "", false); return; }
    // A point of the banner where Ready?, KILL, the FALL and the WIN banners all differ.
    const char *names[] = {"ready.bmp", "kill.bmp", "fall1p.bmp", "win1p.bmp"};
    QPoint at;
    for (int y = 0; y < 50 && at.isNull(); ++y)
        for (int x = 0; x < 200 && at.isNull(); ++x) {
            QSet<QRgb> seen;
            for (const char *n : names) seen.insert(Asset(n).pixel(x, y) & 0xffffff);
            if (seen.size() == 4) at = QPoint(x, y);
        }
    const auto colour = [&](const char *n) { return Asset(n).pixel(at) & 0xffffff; };
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
    const auto after = [&](QRgb want, int ms) {
        QElapsedTimer c;
        c.start();
        while (c.elapsed() < ms) {
            const double t = web.run("const f = __b.frames.find(f => f[0] >= __b.key && f[1] === arguments[0]);"
                                     "return f ? f[0] - __b.key : -1;", {int(want)}).toDouble();
            if (t >= 0) return t;
            QThread::msleep(20);
        }
        return -1.0;
    };
    {
        Game game(web, QProcessEnvironment::systemEnvironment(), page, {}, 30000);
        if (!game.ok()) { Report("Browser", "the page did not start", "", false); return; }
        web.run(probe);
        std::vector<double> frames;
        for (int i = 0; i < (quick ? 10 : 100); ++i) {
            web.key("ctrl+s");
            if (after(colour("ready.bmp"), 2000) < 0) continue;
            web.run("__b.frames = [];");
            web.key("shift");
            if (const double t = after(colour("fall1p.bmp"), 2000); t >= 0) frames.push_back(t);
        }
        Report(QString("Browser: key to frame, %1 fouls").arg(frames.size()),
               QString("p50 %1 ms, p99 %2 ms").arg(Percentile(frames, 0.5), 0, 'f', 2).arg(Percentile(frames, 0.99), 0, 'f', 2),
               "p99 < 20 ms (a frame)", !frames.empty() && Percentile(frames, 0.99) < 20);
        std::vector<double> off;
        auto stepError = [](double t) { return t - std::clamp(std::round(t / 100) * 100, 3000.0, 3900.0); };
        for (int i = 0; i < (quick ? 5 : 50); ++i) {
            web.run("__b.frames = [];");
            web.key("ctrl+s");
            const double t = after(colour("kill.bmp"), 5000);
            if (t < 0) continue;
            off.push_back(stepError(t));
            web.key("shift");
            after(colour("win1p.bmp"), 3000);
        }
        double worst = 0;
        for (double o : off) worst = std::max(worst, std::abs(o));
        Report(QString("Browser: Ctrl+S to KILL, %1 bouts").arg(off.size()),
               QString("off its 100 ms step by %1 ms median, %2 ms worst").arg(Percentile(off, 0.5), 0, 'f', 2).arg(worst, 0, 'f', 2),
               "every one within 5 ms", worst <= 5.0 && !off.empty());
        // Timer1's ticks on their grid.
        const int ticks = quick ? 100 : 1000;
        web.run("__b.ticks = [];");
        QThread::msleep(100 * ticks + 500);
        std::vector<double> err;
        const QJsonArray at = web.run("return __b.ticks;").toArray();
        for (int k = 0; k < std::min<int>(ticks + 1, int(at.size())); ++k) err.push_back(at[k].toDouble() - at[0].toDouble() - 100.0 * k);
        double w = 0;
        for (double e : err) w = std::max(w, std::abs(e));
        const double end = err.empty() ? NAN : err.back();
        Report(QString("Browser: Timer1 over %1 ticks").arg(int(err.size()) - 1),
               QString("%1 ms at the end, worst %2 ms").arg(end, 0, 'f', 2).arg(w, 0, 'f', 2), "no growing drift",
               !err.empty() && std::abs(end) < 5);
    }
    // Idle: all of Chromium's processes, the page idling, then a blank page.
    const auto idle = [&](const QString &what) {
        Game game(web, QProcessEnvironment::systemEnvironment(), what, {}, what == page ? 30000 : 0);
        std::this_thread::sleep_for(std::chrono::seconds(3));
        const double before = CpuNsOf("chromium");
        const auto t0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(quick ? 5 : 30));
        return (CpuNsOf("chromium") - before) / 1e6 / ms(Clock::now() - t0) * 100;
    };
    const double busy = idle(page), blank = idle("about:blank");
    Report(QString("Browser: idle CPU over %1 s").arg(quick ? 5 : 30),
           QString("all of Chromium %1 % of one core; with a blank page %2 %").arg(busy, 0, 'f', 3).arg(blank, 0, 'f', 3),
           "< blank + 0.3 %", busy < blank + 0.3);
}

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("PULSE_SERVER", "unix:/nonexistent/tarvo-bench");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool quick = args.contains("--quick");
    const bool webOnly = args.contains("--web");
    const bool soundOnly = args.contains("--sound"), wineOnly = args.contains("--wine") || webOnly;
    const QString out = args.size() > 1 && !args[1].startsWith("--") ? args[1] : QString();
    // A cross-built Windows tree (tools/make-windows with the benchmarks):
    // the same rows for the Windows program under Wine.
    const QString windows = qEnvironmentVariable("TARVO_BENCH_WINDOWS");
    // The browser build (tools/make-web): the page's rows in Chromium.
    const QString page = qEnvironmentVariable("TARVO_BENCH_WEB");
    std::printf("%-34s %-44s %-22s %s\n", "measure", "figure", "target", "");
    if (!soundOnly && !wineOnly) {
        Xvfb x;
        if (!x.dpy()) { std::fprintf(stderr, "Xvfb did not start\n"); return 1; }
        const Pair native{"", {TARVO_BINARY}, {BARE_BINARY}};
        StartUp(x, native, quick ? 3 : 20);
        Memory(x, native);
        Idle(x, native, quick ? 5 : 30);
        KeyToScreen(x, native, quick ? 20 : 200);
        Countdown(x, native, quick ? 5 : 50);
    }
    if (!soundOnly && !wineOnly) Drift(quick ? 100 : 1000);
    if (!soundOnly && !webOnly && !windows.isEmpty()) WineRows(windows, quick);
    if (!soundOnly && !page.isEmpty()) WebRows(page, quick);
    if (!wineOnly) {
        SoundStart(SoundServer::Kind::PulseAudio, quick ? 5 : 20);
        SoundStart(SoundServer::Kind::PipeWire, quick ? 5 : 20);
    }

    if (!out.isEmpty()) {
        QFile f(out);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            QTextStream s(&f);
            s << "# Benchmark results\n\n" << "Machine: " << qgetenv("TARVO_BENCH_CPU") << ", " << QThread::idealThreadCount()
              << " cores. Date: " << QDateTime::currentDateTimeUtc().toString("yyyy-MM-dd HH:mm") << " UTC.\n\n";
            if (!wineVersion.isEmpty())
                s << "The rows that begin with \"Wine:\" are the Windows program (and a bare Win32 window) under "
                  << wineVersion << ", on the same Xvfb: Wine's figures, not Windows'.\n\n";
            s << "| measure | figure | target | |\n|---|---|---|---|\n";
            for (const Row &r : rows) s << "| " << r.what << " | " << r.figure << " | " << r.target << " | " << (r.met ? "met" : "missed") << " |\n";
        }
    }
    bool all = true;
    for (const Row &r : rows) all &= r.met;
    return all ? 0 : 3;
}
