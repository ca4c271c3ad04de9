// SPDX-License-Identifier: MIT
// Reads the layout of a RIFF WAVE image in place: its PCM format and where its
// samples are. Chunks other than "fmt " and "data" are skipped, extra format
// bytes are ignored, and so is anything after the RIFF chunk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace tarvo {

struct WavImage {
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    std::size_t dataOffset = 0; // from the image's first byte
    std::size_t dataSize = 0;   // bytes of samples
};

// The layout of a playable PCM image (format tag 1, 8 or 16 bits), or nothing.
std::optional<WavImage> ParseWavImage(const std::uint8_t *bytes, std::size_t size);

} // namespace tarvo
