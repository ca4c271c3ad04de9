// SPDX-License-Identifier: MIT
#include "timer1_windows.h"

#include "locked_windows.h"

#include <mmsystem.h>

#include <algorithm>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace tarvo::on_windows {

bool Timer1::start(HWND window, UINT message) {
    window_ = window;
    message_ = message;
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    frequency_ = f.QuadPart;
    period_ = frequency_ * kIntervalMs / 1000;
    // Windows 10 (1803) and later keep high-resolution timers to about a
    // millisecond; older systems refuse the flag, and then the system clock
    // is asked to tick every millisecond while the game runs.
    timer_ = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    if (!timer_) {
        timer_ = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
        if (!timer_) return false;
        coarse_ = timeBeginPeriod(1) == TIMERR_NOERROR;
    }
    wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!wake_) return false;
    thread_ = CreateThread(nullptr, 0, &Timer1::run, this, 0, nullptr);
    if (!thread_) return false;
    SetThreadPriority(thread_, THREAD_PRIORITY_TIME_CRITICAL);
    return true;
}

Timer1::~Timer1() {
    if (thread_) {
        {
            Locked l(lock_);
            quit_ = true;
        }
        SetEvent(wake_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    if (wake_) CloseHandle(wake_);
    if (timer_) CloseHandle(timer_);
    if (coarse_) timeEndPeriod(1);
}

LONGLONG Timer1::now() const {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

void Timer1::setEnabled(bool on) {
    {
        Locked l(lock_);
        on_ = on;
        ++schedule_;
        due_ = now() + period_;
    }
    SetEvent(wake_);
}

bool Timer1::enabled() const {
    Locked l(lock_);
    return on_;
}

bool Timer1::take(WPARAM schedule) {
    Locked l(lock_);
    posted_ = false;
    return on_ && schedule == schedule_;
}

DWORD WINAPI Timer1::run(void *self) {
    static_cast<Timer1 *>(self)->loop();
    return 0;
}

void Timer1::loop() {
    for (;;) {
        bool ticking = false;
        LONGLONG due = 0;
        {
            Locked l(lock_);
            if (quit_) return;
            if (on_) {
                const LONGLONG t = now();
                if (t >= due_) {
                    // One tick on its way at a time: a window too busy to
                    // take them gets the next one, not a pile of them.
                    if (!posted_ && PostMessageW(window_, message_, schedule_, 0)) posted_ = true;
                    due_ += period_;
                    // After a stall of a whole interval or more (the machine
                    // slept, say) the grid starts afresh from now.
                    if (due_ <= t) due_ = t + period_;
                }
                ticking = true;
                due = due_;
            }
        }
        if (ticking) {
            // The wait counts from the moment the timer is set, so it is
            // measured here, after the tick was posted: under Wine posting
            // goes through its server, and the time it took would otherwise
            // make every tick late by as much. In units of 100 ns, negative
            // for "from now"; never zero, which would not wait at all.
            LARGE_INTEGER rel;
            rel.QuadPart = -std::max<LONGLONG>(1, (due - now()) * 10000000 / frequency_);
            SetWaitableTimer(timer_, &rel, 0, nullptr, nullptr, FALSE);
            const HANDLE both[2] = {wake_, timer_};
            WaitForMultipleObjects(2, both, FALSE, INFINITE);
        } else {
            CancelWaitableTimer(timer_);
            WaitForSingleObject(wake_, INFINITE);
        }
    }
}

} // namespace tarvo::on_windows
