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

// How much the recording sounds like `count` samples of the sound that began
// between `from` and `to` in it, heard piece by piece: each 20 ms of what
// was recorded (from `heardFrom` on) is found where it is most like the
// sound, within a tenth of a second of where the piece before it said the
// sound would be, and the likeness is the median piece's. A busy machine's
// sound output or recorder may drop a moment now and then (Firefox's output,
// beside a busy neighbour: a quarter of a second, seen here), which delays or
// skips the rest of the sound without changing what is heard; compared in
// one piece, the sound would no longer line up with itself after the gap.
// The recording's pieces of near silence (such a gap, or a quiet moment of
// the sound) tell one sound from another by nothing: they are left out, and
// up to half a second of them is looked past. Where a piece does not follow
// on, the sound may also have begun again (played once more, it cuts off
// itself), and the next piece is looked for from its start on.
inline double heardLikeness(const Bytes &rec, long from, long to, const Bytes &wav, size_t count, long heardFrom) {
    constexpr long kPiece = 441, kDrift = 2205, kGaps = 11025;
    const auto w = ParseWavImage(wav.data(), wav.size());
    const std::uint8_t *sound = wav.data() + w->dataOffset;
    const long length = long(w->dataSize);
    if (long(count) < 2 * kPiece) return bestMatch(rec, from, to, wav, count, heardFrom).first;
    // The recording's samples [r, r + kPiece) against the sound's from p.
    const auto pieceLikeness = [&](long r, long p) {
        double sxy = 0, sxx = 0, syy = 0;
        for (long i = 0; i < kPiece; ++i) {
            const double x = double(rec[size_t(r + i)]) - 128, y = double(sound[p + i]) - 128;
            sxy += x * y; sxx += x * x; syy += y * y;
        }
        return sxx > 0 && syy > 0 ? sxy / std::sqrt(sxx * syy) : 0;
    };
    std::vector<double> found;
    long r = std::max({0L, heardFrom, (from + to) / 2});
    long lo = r - to, hi = r - from; // where in the sound the recording may be at r
    const long last = r + long(count) + kGaps; // past a gap or two, but not into what comes next
    for (long compared = 0; compared < long(count) && r + kPiece <= std::min(last, long(rec.size())); r += kPiece) {
        long loud = 0;
        for (long i = r; i < r + kPiece; ++i) loud += std::abs(int(rec[size_t(i)]) - 128) > 3;
        if (loud >= kPiece / 4) compared += kPiece;
        std::pair<double, long> best{-1, -1};
        if (loud >= kPiece / 4)
            for (long p = std::max(0L, lo); p <= std::min(length - kPiece, hi); ++p)
                best = std::max(best, std::pair{pieceLikeness(r, p), p});
        if (best.second >= 0) found.push_back(best.first);
        if (best.first > 0.5) { // the next piece follows on, but for a gap
            lo = best.second + kPiece - kDrift;
            hi = best.second + kPiece + kDrift;
        } else { // the sound went on, stood still while nothing came, or began anew
            lo = 0; // a new play of the same sound cuts off the one playing
            hi += kPiece;
        }
    }
    if (found.empty()) return bestMatch(rec, from, to, wav, count, heardFrom).first;
    std::nth_element(found.begin(), found.begin() + long(found.size() / 2), found.end());
    return found[found.size() / 2];
}

// The likeness of a sound first heard at `at`. A sound that is heard from
// the recording's first moments may have begun before the recorder
// delivered: up to 0.2 s of it may be missing. There only what was heard
// counts: PipeWire hands a new recorder its first cycle (2048 frames) as
// silence, even while the sink plays a sound that began in that cycle, which
// a recorder started long before hears whole.
inline double bestLikeness(const Bytes &rec, long at, const Bytes &wav, size_t count) {
    if (at < 1300) return heardLikeness(rec, -4410, at + 1300, wav, count, at);
    return heardLikeness(rec, at - 1300, at + 1300, wav, count, 0);
}

// The same for an output that skips as it wakes (see
// Session::skipsAtStartMs): up to `skip` samples of the sound's beginning
// may be lost or broken, so the sound may have begun that much before it was
// first heard, and only what was heard after the first `skip` samples counts.
inline double bestLikeness(const Bytes &rec, long at, const Bytes &wav, size_t count, long skip) {
    if (skip <= 0) return bestLikeness(rec, at, wav, count);
    return heardLikeness(rec, at - skip - 1300, at + 1300, wav, count, at + skip);
}

} // namespace tarvo::testing
