// SPDX-License-Identifier: MIT
#include "wav_image.h"

#include <algorithm>
#include <cstring>

namespace tarvo {
namespace {

std::uint32_t le32(const std::uint8_t *p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24); }
std::uint16_t le16(const std::uint8_t *p) { return std::uint16_t(p[0] | (p[1] << 8)); }

} // namespace

std::optional<WavImage> ParseWavImage(const std::uint8_t *bytes, std::size_t size) {
    if (bytes == nullptr || size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0)
        return std::nullopt;
    const std::size_t end = std::min<std::size_t>(size, std::size_t(le32(bytes + 4)) + 8);
    WavImage w;
    bool haveFormat = false, haveData = false;
    std::size_t pos = 12;
    while (pos + 8 <= end) {
        const std::uint8_t *chunk = bytes + pos;
        const std::size_t length = le32(chunk + 4);
        const std::size_t body = pos + 8;
        const std::size_t available = end - body;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (length < 16 || available < 16) return std::nullopt;
            if (le16(chunk + 8) != 1) return std::nullopt; // PCM only
            w.channels = le16(chunk + 10);
            w.sampleRate = int(le32(chunk + 12));
            w.bitsPerSample = le16(chunk + 22);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            w.dataOffset = body;
            w.dataSize = std::min(length, available);
            haveData = true;
            break;
        }
        if (length > available) break;
        pos = body + length + (length & 1);
    }
    if (!haveFormat || !haveData) return std::nullopt;
    if (w.channels < 1 || w.channels > 8 || w.sampleRate < 1000 || w.sampleRate > 192000) return std::nullopt;
    if (w.bitsPerSample != 8 && w.bitsPerSample != 16) return std::nullopt;
    return w;
}

} // namespace tarvo
