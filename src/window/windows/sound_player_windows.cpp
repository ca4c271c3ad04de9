// SPDX-License-Identifier: MIT
#include "sound_player_windows.h"

#include "locked_windows.h"

#include <mmsystem.h>

#include <iterator>
#include <utility>

namespace tarvo::on_windows {

bool SoundPlayer::start() {
    thread_ = CreateThread(nullptr, 0, &SoundPlayer::run, this, 0, nullptr);
    return thread_ != nullptr;
}

void SoundPlayer::ask(const std::uint8_t *image, std::size_t size) { asked_.emplace_back(image, image + size); }

void SoundPlayer::handOver() {
    if (asked_.empty()) return;
    {
        Locked l(lock_);
        if (!quit_) handed_.insert(handed_.end(), std::make_move_iterator(asked_.begin()), std::make_move_iterator(asked_.end()));
    }
    asked_.clear();
    WakeConditionVariable(&wake_);
}

void SoundPlayer::stop() {
    {
        Locked l(lock_);
        quit_ = true;
        handed_.clear();
    }
    asked_.clear();
    if (!thread_) return;
    WakeConditionVariable(&wake_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
}

DWORD WINAPI SoundPlayer::run(void *self) {
    static_cast<SoundPlayer *>(self)->loop();
    return 0;
}

void SoundPlayer::loop() {
    Image playing; // the image sndPlaySoundA was given last
    for (;;) {
        Image next;
        {
            Locked l(lock_);
            while (!quit_ && handed_.empty()) SleepConditionVariableSRW(&wake_, &lock_, INFINITE, 0);
            if (quit_) break;
            next = std::move(handed_.front());
            handed_.pop_front();
        }
        // Flags 7: return at once, no default sound when this one cannot
        // play, the argument is the image in memory. What it returns is of no
        // interest: a sound that cannot play is simply not heard. The sound
        // still playing has stopped before the call returns; only then are
        // its bytes let go (with `next`, after the swap).
        sndPlaySoundA(reinterpret_cast<LPCSTR>(next.data()), SND_ASYNC | SND_NODEFAULT | SND_MEMORY);
        playing.swap(next);
    }
    sndPlaySoundA(nullptr, 0); // stops the sound still playing, and then `playing` goes
}

} // namespace tarvo::on_windows
