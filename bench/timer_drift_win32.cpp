// SPDX-License-Identifier: MIT
// How well Timer1 keeps its 100 ms grid on Windows: the game's own ticker
// posting to a window of its own, each tick timed as the window's thread
// takes it; and, for comparison, a plain window timer (SetTimer) of the
// same interval. Each is timed from its eleventh tick on, once the program
// has settled, against the grid that starts where the timer was switched
// on, as a bout's countdown does: the worst figure is also the worst that a
// KILL can be off its step inside the program.
//   timer_drift_win32 [TICKS]   prints one line each: "NAME end E worst W trend T" (ms; trend per 1000 ticks)
#include "win32/timer1.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <vector>

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
    std::vector<double> at;
    double on = 0;
    MSG msg;
    {
        tarvo::Ticker timer1;
        timer1.start(w, kTick);
        on = Now();
        timer1.setEnabled(true);
        for (int seen = 0; int(at.size()) <= ticks && GetMessageW(&msg, nullptr, 0, 0) > 0;)
            if (msg.message == kTick && timer1.take(msg.wParam) && ++seen > 10) at.push_back(Now());
    }
    Report("Timer1", on, at);
    at.clear();
    on = Now();
    SetTimer(w, 1, 100, nullptr);
    for (int seen = 0; int(at.size()) <= ticks && GetMessageW(&msg, nullptr, 0, 0) > 0;)
        if (msg.message == WM_TIMER && ++seen > 10) at.push_back(Now());
    Report("SetTimer", on, at);
    return 0;
}
