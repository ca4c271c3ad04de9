// SPDX-License-Identifier: MIT
// The Windows window's sounds: sndPlaySoundA, made on a thread of its own, so
// that the key or tick that asks for a sound shows its frame first.
//
// sndPlaySoundA returns before the sound is heard, but not at once: it first
// stops the sound still playing and waits until that sound's thread has let
// its wave device go, then starts a thread for the new one. Under Wine that
// is a few milliseconds with no sound server and mostly 5 to 20 through
// PulseAudio, where closing the old stream waits out a 10 ms period of Wine's
// own; a sound asked for while the first of all is still opening the audio
// system waits for that too. Called in a key's handler, all of it would come
// before the handler's frame reached the screen.
//
// So the window copies each image it is given, and once its handler's frame
// is painted hands the copies over; this thread calls
// sndPlaySoundA(image, SND_ASYNC | SND_NODEFAULT | SND_MEMORY) for each, in
// the order they were asked for. Each call stops the sound before it: two
// sounds asked for in one handler (a double foul) both start, the second
// cutting the first off. A copy is let go only once the next call, or the
// stop, has returned: by then nothing plays from it. The engine's own bytes
// are read only while it hands them over.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace tarvo::on_windows {

class SoundPlayer {
public:
    SoundPlayer() = default;
    ~SoundPlayer() { stop(); }
    SoundPlayer(const SoundPlayer &) = delete;
    SoundPlayer &operator=(const SoundPlayer &) = delete;

    // Starts the thread. False when the system refuses (see GetLastError).
    bool start();
    // Copies the WAV image, to be played once the window calls handOver().
    // The window's thread only.
    void ask(const std::uint8_t *image, std::size_t size);
    // What was asked for since the last call goes to the thread, in order.
    // The window's thread only.
    void handOver();
    // Drops what has not started, stops the sound still playing and ends the
    // thread; nothing plays after it. Safe to call again, or before start().
    void stop();

private:
    using Image = std::vector<std::uint8_t>;
    static DWORD WINAPI run(void *self);
    void loop();

    std::vector<Image> asked_; // the window's thread's, until handed over
    HANDLE thread_ = nullptr;

    SRWLOCK lock_ = SRWLOCK_INIT; // guards what follows
    CONDITION_VARIABLE wake_ = CONDITION_VARIABLE_INIT;
    std::deque<Image> handed_; // handed over, not started yet
    bool quit_ = false;
};

} // namespace tarvo::on_windows
