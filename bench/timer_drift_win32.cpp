// SPDX-License-Identifier: MIT
// How well Timer1 keeps its 100 ms grid on Windows: the game's own ticker
// posting to a window of its own, each tick timed as the window's thread
// takes it; and at the same time, so that both meet the same noise, its
// floor: a bare thread waiting on a high-resolution waitable timer for the
// same grid, each wake timed in that thread. Each is timed from its eleventh
// tick on, once the program has settled, against the grid that starts where
// the timer was switched on, as a bout's countdown does: the worst figure is
// also the worst that a KILL can be off its step inside the program.
//   timer_drift_win32 [TICKS]   prints one line each: "NAME end E worst W trend T" (ms; trend per 1000 ticks)
#include "window/windows/timer1_windows.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <thread>
#include <vector>

// Older MinGW headers lack it (Windows 10 1803 and later have it).
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {

constexpr UINT kTick = WM_APP + 1;

double Now() {
    static LARGE_INTEGER f = [] { LARGE_INTEGER v; QueryPerformanceFrequency(&v); return v; }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1000.0 / double(f.QuadPart);
}

// `at`: the times of ticks 11, 12, ... of a timer switched on at `on`.
void Report(const char *name, double on, const std::vector<double> &at) {
    const int n = int(at.size()) - 1;
    std::vector<double> err;
    for (int k = 0; k <= n; ++k) err.push_back(at[size_t(k)] - on - 100.0 * (k + 11));
    const double mk = n / 2.0, me = std::accumulate(err.begin(), err.end(), 0.0) / double(err.size());
    double sxy = 0, sxx = 0, worst = 0;
    for (int k = 0; k <= n; ++k) {
        sxy += (k - mk) * (err[size_t(k)] - me);
        sxx += (k - mk) * (k - mk);
        worst = std::max(worst, std::abs(err[size_t(k)]));
    }
    std::printf("%s end %.2f worst %.2f trend %.3f\n", name, err.back(), worst, sxy / sxx * 1000);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv) {
    const int ticks = argc > 1 ? std::atoi(argv[1]) : 1000;
    HWND w = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    std::vector<double> at, bare;
    const double on = Now();
    double onTimer1 = on;
    // The floor, on a thread of its own.
    std::thread floor([&] {
        HANDLE t = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
        if (!t) return;
        for (int k = 1; int(bare.size()) <= ticks; ++k) {
            LARGE_INTEGER due;
            due.QuadPart = -LONGLONG((on + 100.0 * k - Now()) * 10000); // relative, in 100 ns
            if (due.QuadPart > 0) due.QuadPart = 0;
            SetWaitableTimer(t, &due, 0, nullptr, nullptr, FALSE);
            WaitForSingleObject(t, INFINITE);
            if (k > 10) bare.push_back(Now());
        }
        CloseHandle(t);
    });
    {
        tarvo::on_windows::Timer1 timer1;
        timer1.start(w, kTick);
        onTimer1 = Now();
        timer1.setEnabled(true);
        MSG msg;
        for (int seen = 0; int(at.size()) <= ticks && GetMessageW(&msg, nullptr, 0, 0) > 0;)
            if (msg.message == kTick && timer1.take(msg.wParam) && ++seen > 10) at.push_back(Now());
    }
    floor.join();
    Report("Timer1", onTimer1, at);
    Report("floor", on, bare);
    return 0;
}
