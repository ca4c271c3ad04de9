// SPDX-License-Identifier: MIT
// Plays one WAV image at a time from memory through the PulseAudio client
// library, which both PulseAudio and PipeWire's PulseAudio layer serve.
//
// All talk with the sound server happens on the player's own main-loop
// thread: play() copies the samples, hands them over and returns without
// waiting for the server, whatever state the server is in (gone, starting,
// hanging, slow). Each sound gets its own playback stream, which is drained
// and released as soon as its data has played, so nothing runs between
// sounds. A new sound releases the stream still playing at once and starts
// from its beginning. The client library is opened, and the first connection
// made, in the background at prepare() or at the first sound, whichever comes
// first; a sound asked for before they are ready waits for them (up to a
// second and a half) and plays from its start. A lost or missing server is not polled for: the next sound connects
// anew, so that a game without a server costs nothing while it waits, and
// one whose server comes back is heard at its next sound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tarvo::on_linux {

class PulsePlayer {
public:
    PulsePlayer();
    ~PulsePlayer();
    PulsePlayer(const PulsePlayer &) = delete;
    PulsePlayer &operator=(const PulsePlayer &) = delete;

    // Opens the client library and connects, in the background; returns at once.
    void prepare();
    // Starts the image's sound (cutting off the one playing) and returns at once.
    void play(const std::uint8_t *image, std::size_t size);
    // Stops the sound playing, if any; returns at once.
    void stop();
    // Whether a sound has been handed over and not yet ended or been refused.
    bool playing() const;

    struct Loop; // the main-loop side, private to the player

private:
    std::unique_ptr<Loop> loop_;
};

} // namespace tarvo::on_linux
