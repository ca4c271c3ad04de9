// SPDX-License-Identifier: MIT
// Timer1 for the Windows window: a tick every 100 ms on a fixed grid of the
// performance counter, so that no error adds up from one tick to the next.
//
// A window timer (SetTimer) would not do: Windows rounds each of its
// intervals up to the system's clock tick (15.6 ms unless some program asks
// for finer), so 100 ms become 109.4 ms and a bout's countdown drifts by
// tenths of a second. Here a thread of its own waits on a high-resolution
// waitable timer for each tick's due time, counted from the moment the timer
// was switched on, and posts the tick to the window. Posted messages reach
// the window through whatever loop runs on its thread, also while a message
// box or a menu is open, so a bout goes on behind an open box. The thread only
// keeps time: every tick is handled on the window's thread.
#pragma once

#include <windows.h>

namespace tarvo::on_windows {

class Timer1 {
public:
    static constexpr int kIntervalMs = 100;

    Timer1() = default;
    ~Timer1();
    Timer1(const Timer1 &) = delete;
    Timer1 &operator=(const Timer1 &) = delete;

    // Starts the time-keeping thread, posting `message` to `window` with a
    // schedule number in wParam. False when the system refuses (see
    // GetLastError).
    bool start(HWND window, UINT message);
    // On: the first tick comes one whole interval from now. Off: no more
    // ticks, also none that was posted and not yet taken.
    void setEnabled(bool on);
    bool enabled() const;
    // The window asks this for each tick message it gets: false for one that
    // belongs to a schedule since switched off or restarted.
    bool take(WPARAM schedule);

private:
    static DWORD WINAPI run(void *self);
    void loop();
    LONGLONG now() const;

    HWND window_ = nullptr;
    UINT message_ = 0;
    HANDLE timer_ = nullptr, wake_ = nullptr, thread_ = nullptr;
    bool coarse_ = false; // no high-resolution timer: timeBeginPeriod(1) instead
    LONGLONG frequency_ = 1, period_ = 1;

    mutable SRWLOCK lock_ = SRWLOCK_INIT; // guards what follows
    bool on_ = false, quit_ = false;
    WPARAM schedule_ = 0;
    LONGLONG due_ = 0;     // the next tick, on the performance counter
    bool posted_ = false;  // a tick is on its way and not yet taken
};

} // namespace tarvo::on_windows
