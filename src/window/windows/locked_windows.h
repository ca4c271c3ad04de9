// SPDX-License-Identifier: MIT
// An SRW lock held for as long as this lives, for the Windows front end's
// threads (Timer1's, the sounds').
#pragma once

#include <windows.h>

namespace tarvo::on_windows {

struct Locked {
    explicit Locked(SRWLOCK &l) : lock(l) { AcquireSRWLockExclusive(&lock); }
    ~Locked() { ReleaseSRWLockExclusive(&lock); }
    Locked(const Locked &) = delete;
    Locked &operator=(const Locked &) = delete;
    SRWLOCK &lock;
};

} // namespace tarvo::on_windows
