// SPDX-License-Identifier: MIT
// How much a recording of the null sink sounds like one of the game's WAV
// files: the sound tests' measure of which sound was heard, and from where.
#pragma once

#include "formats/wav_image.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace tarvo::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes sound(int id) {
    std::ifstream in(std::string(TARVO_ASSETS_DIR) + "/" + std::to_string(id) + ".wav", std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline double seconds(long samples) { return double(samples) / 22050.0; }

// Correlation of the recording from `at` with a sound's own samples; a
// negative `at` is a recording that began -at samples into the sound. The
// recording before `heardFrom` is left out.
inline double likeness(const Bytes &rec, long at, const Bytes &wav, size_t count, long heardFrom = 0) {
    const auto w = ParseWavImage(wav.data(), wav.size());
    const long skip = std::max({0L, -at, heardFrom - at}), end = std::min({skip + long(count), long(w->dataSize), long(rec.size()) - at});
    double sxy = 0, sxx = 0, syy = 0;
    for (long i = skip; i < end; ++i) {
        const double x = double(rec[size_t(at + i)]) - 128, y = double(wav[w->dataOffset + size_t(i)]) - 128;
        sxy += x * y; sxx += x * x; syy += y * y;
    }
    return sxx > 0 && syy > 0 ? sxy / std::sqrt(sxx * syy) : 0;
}

// The best likeness for a start in [from, to], and where it is.
inline std::pair<double, long> bestMatch(const Bytes &rec, long from, long to, const Bytes &wav, size_t count,
                                         long heardFrom = 0) {
    std::pair<double, long> best{-1, -1};
    for (long at = from; at <= to; ++at) best = std::max(best, std::pair{likeness(rec, at, wav, count, heardFrom), at});
    return best;
}

// The best likeness within 60 ms of `at` (the recording starts a little late
// or early). A sound that is heard from the recording's first moments may
// have begun before the recorder delivered: up to 0.2 s of it may be missing.
// There only what was heard counts: PipeWire hands a new recorder its first
// cycle (2048 frames) as silence, even while the sink plays a sound that
// began in that cycle, which a recorder started long before hears whole.
inline double bestLikeness(const Bytes &rec, long at, const Bytes &wav, size_t count) {
    if (at < 1300) return bestMatch(rec, -4410, at + 1300, wav, count, at).first;
    return bestMatch(rec, at - 1300, at + 1300, wav, count).first;
}

// The same for an output that skips as it wakes (see
// Session::skipsAtStartMs): up to `skip` samples of the sound's beginning
// may be lost or broken, so the sound may have begun that much before it was
// first heard, and only what was heard after the first `skip` samples counts.
inline double bestLikeness(const Bytes &rec, long at, const Bytes &wav, size_t count, long skip) {
    if (skip <= 0) return bestLikeness(rec, at, wav, count);
    return bestMatch(rec, at - skip - 1300, at + 1300, wav, count, at + skip).first;
}

} // namespace tarvo::testing
