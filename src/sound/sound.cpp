// SPDX-License-Identifier: MIT
#include "sound.h"

#include <string>
#include <utility>

namespace tarvo {

void Sound::PlayResultSound(int p, int q) {
    if (p == 0) PlaySoundResource(104);
    if (p == 1) {
        if (q < 9) PlaySoundResource(102);
        else PlaySoundResource(103);
    }
    if (p == 2) PlaySoundResource(101);
    if (p == 3) PlaySoundResource(105);
    if (p == 4) PlaySoundResource(106);
}

void Sound::PlayFoulSound() {
    const int d = RandomInt(platform_.Random(), 3);
    if (d == 0) PlaySoundResource(107);
    if (d == 1) PlaySoundResource(108);
    if (d == 2) PlaySoundResource(109);
}

void Sound::PlaySoundResource(std::int16_t id) {
    std::vector<std::uint8_t> bytes = platform_.LoadSoundResource(id);
    // The previous sound may still be playing from the old bytes: keep them
    // alive in `bytes` until the player has switched to the new ones.
    std::swap(soundBuffer_, bytes);
    if (soundBuffer_.empty())
        platform_.RaiseError("PlaySoundResource", "subscript out of range: sound " + std::to_string(id) + " is empty");
    platform_.PlaySoundFromMemory(soundBuffer_.data(), soundBuffer_.size());
}

} // namespace tarvo
