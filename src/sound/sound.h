// SPDX-License-Identifier: MIT
// The nine built-in sounds and the two moments that play them: a bout's
// result and a foul. Every play reloads its resource; nothing is cached.
#pragma once

#include "../platform/platform.h"

#include <cstdint>
#include <vector>

namespace tarvo {

class Sound {
public:
    explicit Sound(Platform &platform) : platform_(platform) {}

    // The sound that goes with death pose p (0..4); q (0..9) picks the rare
    // variant of pose 1.
    void PlayResultSound(int p, int q);
    // One of the three foul sounds, drawn at random.
    void PlayFoulSound();
    // Loads the resource into soundBuffer and starts it.
    void PlaySoundResource(std::int16_t id);

    // The bytes of the sound loaded last; empty until the first play.
    const std::vector<std::uint8_t> &soundBuffer() const { return soundBuffer_; }

private:
    Platform &platform_;
    std::vector<std::uint8_t> soundBuffer_;
};

} // namespace tarvo
