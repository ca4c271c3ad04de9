// SPDX-License-Identifier: MIT
#include "sound.h"

#include "sound/sound_ids.h"

#include <string>
#include <utility>

namespace tarvo {

void Sound::PlayResultSound(int p, int q) {
    if (p == 0) PlaySoundResource(kSoundFaceHit);
    if (p == 1) {
        if (q < 9) PlaySoundResource(kSoundBodyHit);
        else PlaySoundResource(kSoundBodyHitRare);
    }
    if (p == 2) PlaySoundResource(kSoundHeadBlownOff);
    if (p == 3) PlaySoundResource(kSoundElectricBurst);
    if (p == 4) PlaySoundResource(kSoundThrownBack);
}

void Sound::PlayFoulSound() {
    const int d = RandomInt(platform_.Random(), 3);
    if (d == 0) PlaySoundResource(kSoundSadTrombone);
    if (d == 1) PlaySoundResource(kSoundSlideWhistle);
    if (d == 2) PlaySoundResource(kSoundBuzzer);
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
